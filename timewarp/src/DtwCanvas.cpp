#include "timewarp/DtwCanvas.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace talvor::timewarp {

Canvas::Canvas(int width, int height, std::uint32_t background)
    : m_width(std::max(1, width))
    , m_height(std::max(1, height))
    , m_background(background)
    , m_pixels(std::size_t(m_width) * std::size_t(m_height), background)
{
    m_scale = {0.0, 0.0, double(m_width), double(m_height)};
}

void Canvas::clear()
{
    std::fill(m_pixels.begin(), m_pixels.end(), m_background);
    m_texts.clear();
    m_currentX = 0.0;
    m_currentY = 0.0;
    ++m_revision;
}

namespace {

int toPixel(double v, double origin, double extent, int pixels)
{
    if (extent == 0.0 || !std::isfinite(v))
        return -1;
    const double p = std::floor((v - origin) / extent * double(pixels));
    // Far outside the picture: clamp so the integer arithmetic stays sound.
    return int(std::clamp(p, -1.0e6, 1.0e6));
}

}  // namespace

int Canvas::toPixelX(double x) const
{
    return toPixel(x, m_scale.left, m_scale.width, m_width);
}

int Canvas::toPixelY(double y) const
{
    return toPixel(y, m_scale.top, m_scale.height, m_height);
}

void Canvas::setPixel(int px, int py, std::uint32_t color)
{
    if (px < 0 || py < 0 || px >= m_width || py >= m_height)
        return;
    m_pixels[std::size_t(py) * std::size_t(m_width) + std::size_t(px)] = color;
}

std::uint32_t Canvas::pixel(int px, int py) const
{
    if (px < 0 || py < 0 || px >= m_width || py >= m_height)
        return m_background;
    return m_pixels[std::size_t(py) * std::size_t(m_width) + std::size_t(px)];
}

void Canvas::square(int px, int py, std::uint32_t color, int penWidth)
{
    const int w = std::max(1, penWidth);
    for (int dy = 0; dy < w; ++dy)
        for (int dx = 0; dx < w; ++dx)
            setPixel(px + dx, py + dy, color);
}

void Canvas::pset(double x, double y, std::uint32_t color, int penWidth)
{
    square(toPixelX(x), toPixelY(y), color, penWidth);
    m_currentX = x;
    m_currentY = y;
    ++m_revision;
}

void Canvas::pixelLine(int x0, int y0, int x1, int y1, std::uint32_t color, int penWidth)
{
    const int dx = x1 - x0;
    const int dy = y1 - y0;
    const int n = std::max(std::abs(dx), std::abs(dy));
    if (n == 0) {
        square(x0, y0, color, penWidth);
    } else {
        for (int t = 0; t <= n; ++t) {
            const int x = x0 + int(std::floor(double(dx) * t / n + 0.5));
            const int y = y0 + int(std::floor(double(dy) * t / n + 0.5));
            square(x, y, color, penWidth);
        }
    }
    ++m_revision;
}

void Canvas::line(double x0, double y0, double x1, double y1, std::uint32_t color, int penWidth)
{
    pixelLine(toPixelX(x0), toPixelY(y0), toPixelX(x1), toPixelY(y1), color, penWidth);
    m_currentX = x1;
    m_currentY = y1;
}

void Canvas::lineTo(double x, double y, std::uint32_t color, int penWidth)
{
    line(m_currentX, m_currentY, x, y, color, penWidth);
}

void Canvas::fillBox(double x0, double y0, double x1, double y1, std::uint32_t color)
{
    int a = toPixelX(x0), b = toPixelX(x1);
    int c = toPixelY(y0), d = toPixelY(y1);
    if (a > b)
        std::swap(a, b);
    if (c > d)
        std::swap(c, d);
    // The far edge belongs to the next box, unless the box is thinner than a
    // pixel: then it takes the one pixel it lies in.
    if (b > a)
        --b;
    if (d > c)
        --d;
    a = std::max(a, 0);
    c = std::max(c, 0);
    b = std::min(b, m_width - 1);
    d = std::min(d, m_height - 1);
    for (int y = c; y <= d; ++y)
        for (int x = a; x <= b; ++x)
            m_pixels[std::size_t(y) * std::size_t(m_width) + std::size_t(x)] = color;
    m_currentX = x1;
    m_currentY = y1;
    ++m_revision;
}

void Canvas::text(double x, double y, std::string text, std::uint32_t color, int pointSize, bool bold)
{
    m_texts.push_back({toPixelX(x), toPixelY(y), std::move(text), color, pointSize, bold});
    m_currentX = x;
    m_currentY = y;
    ++m_revision;
}

}  // namespace talvor::timewarp
