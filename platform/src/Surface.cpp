#include "platform/Surface.h"

#include <algorithm>

namespace talvor::platform {

PixelSurface::PixelSurface(int width, int height, Color fill)
    : m_width(std::max(width, 0)), m_height(std::max(height, 0)),
      m_pixels(std::size_t(m_width) * std::size_t(m_height), fill)
{
    if (m_width == 0 || m_height == 0) {
        m_width = m_height = 0;
        m_pixels.clear();
    }
}

Color PixelSurface::pixel(int x, int y) const
{
    return contains(x, y) ? m_pixels[std::size_t(y) * std::size_t(m_width) + std::size_t(x)] : 0;
}

void PixelSurface::setPixel(int x, int y, Color c)
{
    if (contains(x, y))
        m_pixels[std::size_t(y) * std::size_t(m_width) + std::size_t(x)] = c;
}

void PixelSurface::fill(Color c)
{
    std::fill(m_pixels.begin(), m_pixels.end(), c);
}

void PixelSurface::stretchFrom(const PixelSurface& src, int sx, int sy, int sw, int sh, int dx, int dy, int dw,
                               int dh)
{
    if (sw <= 0 || sh <= 0 || dw <= 0 || dh <= 0 || src.m_pixels.empty() || m_pixels.empty())
        return;
    // Destination pixels that fall on this surface; each takes the source pixel
    // its centre maps to (nearest neighbour), or stays when that lies off the source.
    const int x0 = std::max(dx, 0), x1 = int(std::min<long long>((long long)dx + dw, m_width));
    const int y0 = std::max(dy, 0), y1 = int(std::min<long long>((long long)dy + dh, m_height));
    if (x0 >= x1 || y0 >= y1)
        return;
    std::vector<int> columns(std::size_t(x1 - x0));
    for (int x = x0; x < x1; ++x)
        columns[std::size_t(x - x0)] = int((long long)sx + ((long long)(x - dx) * sw) / dw);
    for (int y = y0; y < y1; ++y) {
        const long long syy = (long long)sy + ((long long)(y - dy) * sh) / dh;
        if (syy < 0 || syy >= src.m_height)
            continue;
        const Color* srow = src.m_pixels.data() + std::size_t(syy) * std::size_t(src.m_width);
        Color* drow = m_pixels.data() + std::size_t(y) * std::size_t(m_width);
        for (int x = x0; x < x1; ++x) {
            const int sxx = columns[std::size_t(x - x0)];
            if (sxx >= 0 && sxx < src.m_width)
                drow[x] = srow[sxx];
        }
    }
}

}  // namespace talvor::platform
