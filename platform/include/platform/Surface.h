#pragma once
// Pixel surfaces: the drawing target of the engine's spectrum routines in
// place of a device context.  Pixels are 32-bit colours 0x00BBGGRR (red in the
// low byte).  Writes outside the surface are ignored.  A value with the top
// bit set (a system colour number) is stored as it is: resolve it before
// drawing.  The UI shows a surface through toQImage (SurfaceImage.h).
//
// Use:
//     PixelSurface spectrum(frames, 129, rgb(255, 255, 255));
//     spectrum.setPixel(i, 128 - b, colour);
//     pane.stretchFrom(spectrum, 0, 0, frames - 1, 128, 0, 0, width, height);

#include <cstdint>
#include <vector>

namespace talvor::platform {

using Color = std::uint32_t;  // 0x00BBGGRR

constexpr Color rgb(int r, int g, int b)
{
    return Color(r & 0xFF) | (Color(g & 0xFF) << 8) | (Color(b & 0xFF) << 16);
}

class PixelSurface {
public:
    PixelSurface() = default;
    PixelSurface(int width, int height, Color fill = 0x00FFFFFF);

    int width() const { return m_width; }
    int height() const { return m_height; }
    bool contains(int x, int y) const { return x >= 0 && y >= 0 && x < m_width && y < m_height; }
    Color pixel(int x, int y) const;  // 0 outside
    void setPixel(int x, int y, Color c);
    void fill(Color c);
    Color* data() { return m_pixels.data(); }
    const Color* data() const { return m_pixels.data(); }

    // Copies the rectangle (sx, sy, sw, sh) of `src` onto (dx, dy, dw, dh) of
    // this surface, stretching or shrinking by nearest neighbour; both
    // rectangles are clipped to their surfaces.
    void stretchFrom(const PixelSurface& src, int sx, int sy, int sw, int sh, int dx, int dy, int dw, int dh);

private:
    int m_width = 0;
    int m_height = 0;
    std::vector<Color> m_pixels;
};

}  // namespace talvor::platform
