#pragma once
// A picture box of the DTW window without Qt: a pixel raster in the system's
// colour form 0x00BBGGRR with a user scale, the drawing the window does
// (points, lines, filled boxes) and the texts written on it.  The window shows
// the raster and paints the texts over it; tests read the pixels.
//
// User scale: a picture maps user x from `left` to `left + width` and user y
// from `top` to `top + height` onto its pixels (a negative height puts larger
// values higher up).  Pixel (px, py) covers user x in
// [left + px*width/w, left + (px+1)*width/w).

#include <cstdint>
#include <string>
#include <vector>

namespace talvor::timewarp {

// Colours of the standard 16-colour table the window uses, as 0x00BBGGRR.
inline constexpr std::uint32_t kColorBlack = 0x000000;       // 0
inline constexpr std::uint32_t kColorLightRed = 0x0000FF;    // 12
inline constexpr std::uint32_t kColorYellow = 0x00FFFF;      // 14
inline constexpr std::uint32_t kColorBrightWhite = 0xFFFFFF; // 15

struct UserScale {
    double left = 0.0;
    double top = 0.0;
    double width = 1.0;
    double height = 1.0;
};

struct CanvasText {
    int x = 0;  // pixel of the text's top left corner
    int y = 0;
    std::string text;
    std::uint32_t color = 0;
    int pointSize = 9;
    bool bold = false;
};

class Canvas {
public:
    Canvas(int width, int height, std::uint32_t background = kColorBlack);

    int width() const { return m_width; }
    int height() const { return m_height; }
    std::uint32_t background() const { return m_background; }

    // Fills the picture with its background, drops the texts and moves the
    // current point to (0, 0); the scale stays.
    void clear();
    void setScale(const UserScale& scale) { m_scale = scale; }
    const UserScale& scale() const { return m_scale; }

    // User coordinates to the pixel that holds them (may lie outside).
    int toPixelX(double x) const;
    int toPixelY(double y) const;

    // A point of pen width w: a w x w square of pixels from the point's pixel
    // to the right and down.  Moves the current point.
    void pset(double x, double y, std::uint32_t color, int penWidth = 1);
    // A line from (x0, y0) to (x1, y1), both ends included; moves the current
    // point to (x1, y1).
    void line(double x0, double y0, double x1, double y1, std::uint32_t color, int penWidth = 1);
    void lineTo(double x, double y, std::uint32_t color, int penWidth = 1);
    // A box filled with `color` over the pixels between its two corners.
    void fillBox(double x0, double y0, double x1, double y1, std::uint32_t color);
    void text(double x, double y, std::string text, std::uint32_t color, int pointSize = 9, bool bold = false);

    // Pixels, clipped to the picture.
    void setPixel(int px, int py, std::uint32_t color);
    std::uint32_t pixel(int px, int py) const;
    // A line between two pixels, both ends included (pen width squares).
    void pixelLine(int x0, int y0, int x1, int y1, std::uint32_t color, int penWidth = 1);

    double currentX() const { return m_currentX; }
    double currentY() const { return m_currentY; }

    const std::vector<std::uint32_t>& pixels() const { return m_pixels; }
    const std::vector<CanvasText>& texts() const { return m_texts; }
    // Grows at every change, so a window knows when to repaint.
    std::uint64_t revision() const { return m_revision; }

private:
    void square(int px, int py, std::uint32_t color, int penWidth);

    int m_width;
    int m_height;
    std::uint32_t m_background;
    UserScale m_scale;
    std::vector<std::uint32_t> m_pixels;
    std::vector<CanvasText> m_texts;
    double m_currentX = 0.0;
    double m_currentY = 0.0;
    std::uint64_t m_revision = 0;
};

}  // namespace talvor::timewarp
