#include "analyser/Mesh3D.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "engine/AnalysisExports.h"

namespace talvor::analyser {

PlotSink::~PlotSink() = default;

namespace {

// Integer part (rounded down), kept in the 16-bit range of the coordinates.
std::int16_t int16Floor(double v)
{
    if (std::isnan(v))
        return 0;
    return std::int16_t(std::clamp(std::floor(v), -32768.0, 32767.0));
}

// |v| of a dB value; non-finite values are drawn at level 0.
double level(float v)
{
    return std::isfinite(v) ? std::fabs(double(v)) : 0.0;
}

}  // namespace

// ---------------------------------------------------------------- surface

SurfacePlot::SurfacePlot(platform::PixelSurface& surface, Rgb background)
    : m_surface(surface), m_background(background)
{
}

void SurfacePlot::clear()
{
    m_surface.fill(m_background);
}

int SurfacePlot::pixelRow(int y) const
{
    const int W = std::max(m_surface.width(), 1);
    return int(std::floor(double(W - y) * double(m_surface.height()) / double(W)));
}

void SurfacePlot::pset(int x, int y, Rgb colour)
{
    m_surface.setPixel(x, pixelRow(y), colour);
}

void SurfacePlot::line(int x1, int y1, int x2, int y2, Rgb colour)
{
    // Stepped in pixels, end points included.
    const int r1 = pixelRow(y1), r2 = pixelRow(y2);
    const int steps = std::max(std::abs(x2 - x1), std::abs(r2 - r1));
    if (steps == 0) {
        m_surface.setPixel(x1, r1, colour);
        return;
    }
    for (int i = 0; i <= steps; ++i) {
        const double t = double(i) / steps;
        m_surface.setPixel(int(std::lround(x1 + t * (x2 - x1))), int(std::lround(r1 + t * (r2 - r1))), colour);
    }
}

// ---------------------------------------------------------------- the mesh

void Spectrum3D::plot(PlotSink& pic, int x, int y, Rgb colour)
{
    if (x < 0 || x >= int(m_horizon.size()))
        return;
    if (m_horizon[std::size_t(x)] <= y) {
        m_horizon[std::size_t(x)] = y;
        pic.pset(x, y, colour);
    }
}

void Spectrum3D::DrawHorizonLine(PlotSink& pic, int x1, int y1, int x2, int y2, Rgb colour)
{
    int xa = x1, ya = y1, xb = x2, yb = y2;
    if (ya > yb) {
        std::swap(xa, xb);
        std::swap(ya, yb);
    }
    const int dx = xb - xa, dy = yb - ya;
    if (dx == 0) {
        for (int y = ya; y <= yb; ++y)
            plot(pic, xa, y, colour);
        return;
    }
    if (dy == 0) {
        const int step = xb >= xa ? 1 : -1;
        for (int x = xa;; x += step) {
            plot(pic, x, ya, colour);
            if (x == xb)
                break;
        }
        return;
    }
    const float m = float(dy) / float(dx);
    if (std::fabs(m) <= 1.0f) {
        const int step = m > 0 ? 1 : -1;
        for (int x = xa;; x += step) {
            plot(pic, x, int(std::floor(double(float(x - xa) * m) + ya + 0.5)), colour);
            if (x == xb)
                break;
        }
    } else {
        for (int y = ya; y <= yb; ++y)
            plot(pic, int(std::floor(double(float(y - ya) / m) + xa + 0.5)), y, colour);
    }
}

void Spectrum3D::Draw3DSpectrum(PlotSink& pic, std::span<const float> spectrum, std::int32_t n, float rotation,
                                float elevation)
{
    const int rot = int(std::nearbyint(rotation)), ele = int(std::nearbyint(elevation));
    const long long available = std::min<long long>(n, (long long)spectrum.size());
    const long long frames = available > 0 ? available / kSpectrumFloatsPerFrame : 0;
    const double a = rot * 3.141592653589 / 180.0, b = ele * 3.141592653589 / 180.0;

    pic.clear();
    const int W = pic.width();
    m_horizon.assign(std::size_t(std::max(W, 0)), 0);
    if (frames < 1 || W < 1)
        return;

    // Axes: time, frequency, and the level scale per dB.
    const float Tx = float(W * 0.7 * std::cos(a)), Ty = float(W * 0.5 * std::sin(b) * std::sin(a));
    const float Fx = float(W * 0.7 * std::sin(a)), Fy = float(W * 0.5 * std::sin(b) * std::cos(a));
    const float Ls = float(W * 0.5 * std::cos(b) / 30.0);
    const float dFx = Fx / 128.0f, dFy = Fy / 128.0f, dTx = Tx / 128.0f, dTy = Ty / 128.0f;

    const std::int16_t x0 = int16Floor((double(W) - Tx - Fx) / 2.0 + Fx), y0 = int16Floor(W * 0.15);

    // The front edge (frame 0): a black post per bin, then the white base line.
    pic.beginFrame(0);
    float X = x0, Y = y0;
    int px = x0, py = y0;
    for (int k = 1; k <= kBins; ++k) {
        px = int16Floor(X);
        py = int16Floor(Y);
        const std::int16_t v = int16Floor(level(spectrum[std::size_t(k - 1)]) * Ls + Y);
        m_prevX[k] = std::int16_t(px);
        m_prevY[k] = v;
        pic.line(px, py, px, v, kRgbBlack);
        X -= dFx;
        Y += dFy;
    }
    pic.line(px, py, x0, y0, kRgbWhite);

    std::uint32_t colours[kBins];
    for (long long f = 1; f <= frames; ++f) {
        pic.beginFrame(int(f));
        const float* row = spectrum.data() + (f - 1) * kSpectrumFloatsPerFrame;
        X = float(x0) + float(f - 1) * dTx;
        Y = float(y0) + float(f - 1) * dTy;
        px = int16Floor(X);
        py = int16Floor(Ls * level(row[0]) + Y);
        pic.line(px, int16Floor(Y), px, py, kRgbBlack);  // the row's left edge
        Value_To_Color(row, kBins, colours, 0);
        for (int k = 1; k <= kBins; ++k) {
            const int x = int16Floor(X), y = int16Floor(Ls * level(row[k - 1]) + Y);
            DrawHorizonLine(pic, px, py, x, y, colours[k - 1]);                  // along the frequency axis
            DrawHorizonLine(pic, m_prevX[k], m_prevY[k], x, y, colours[k - 1]);  // along the time axis
            m_prevX[k] = std::int16_t(x);
            m_prevY[k] = std::int16_t(y);
            px = x;
            py = y;
            X -= dFx;
            Y += dFy;
        }
    }
}

}  // namespace talvor::analyser
