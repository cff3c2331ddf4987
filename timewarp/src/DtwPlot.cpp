#include "timewarp/DtwPlot.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace talvor::timewarp {

UserScale trackScale(const DtwFeatureName& feature)
{
    return {0.5, double(feature.top), 200.5, -double(feature.height)};
}

UserScale gridScale(int N, int M)
{
    const int S = std::max({N, M, 1});
    return {0.5, double(S) + 0.5, double(S), -double(S)};
}

UserScale barScale(double pairDistance)
{
    return {0.0, 1.0, pairDistance + 0.001, -1.0};
}

Palette MakePalette(int brightness)
{
    static constexpr int base[8][3] = {{39, 150, 0},    {103, 174, 71}, {135, 174, 103}, {198, 198, 134},
                                       {167, 150, 71},  {167, 110, 7},  {151, 87, 0},    {87, 54, 0}};
    Palette p{};
    for (int k = 0; k < 8; ++k) {
        auto part = [&](int c) { return std::uint32_t(std::clamp(base[k][c] + brightness, 0, 255)); };
        p[std::size_t(k)] = part(0) | (part(1) << 8) | (part(2) << 16);
    }
    return p;
}

int paletteLevel(float d, float colourStep)
{
    if (!std::isfinite(d) || !std::isfinite(colourStep))
        return 7;
    if (!(colourStep > 0.0f))
        return 0;
    const double q = double(d) / double(colourStep);
    if (!(q < 7.0))
        return 7;
    return std::max(0, int(std::floor(q)));
}

bool bandEdges(char method, int i, int N, int M, int range, Band* out)
{
    if (method != kMethodItakura && method != kMethodGeneral)
        return false;
    *out = WarpBand(method, i, N, M, range);
    return true;
}

Projection3D Projection3D::make(int P, int N, int M, int rotation, int elevation, float maximum)
{
    Projection3D p;
    p.P = P;
    p.S = std::max({N, M, 1});
    const double theta = rotation * 3.14159 / 180.0;
    const double phi = elevation * 3.14159 / 180.0;
    p.a = 0.7 * P * std::cos(theta);
    p.b = 0.5 * P * std::sin(phi) * std::sin(theta);
    p.c = 0.7 * P * std::sin(theta);
    p.e = 0.5 * P * std::sin(phi) * std::cos(theta);
    p.h = maximum > 0.0f && std::isfinite(maximum) ? 0.5 * P * std::cos(phi) / double(maximum) : 0.0;
    p.x0 = int(std::floor((P - p.a - p.c) / 2.0 + p.c));
    p.y0 = int(std::floor(0.15 * P));
    return p;
}

int Projection3D::x(int i, int j) const
{
    return int(std::floor(x0 + (i - 1) * a / S - (j - 1) * c / S));
}

double Projection3D::ground(int i, int j) const
{
    return y0 + (i - 1) * b / S + (j - 1) * e / S;
}

int Projection3D::top(int i, int j, float d) const
{
    const double v = h * double(d) + ground(i, j);
    if (!std::isfinite(v))
        return P;  // a forbidden cell stands as high as the picture
    return int(std::floor(std::clamp(v, -1.0e6, 1.0e6)));
}

void Horizon::drawLine(Canvas& canvas, int x0, int y0, int x1, int y1, std::uint32_t color)
{
    const int dx = x1 - x0;
    const int dy = y1 - y0;
    const int n = std::max(std::abs(dx), std::abs(dy));
    for (int t = 0; t <= n; ++t) {
        int x, y;
        if (n == 0) {
            x = x0;
            y = y0;
        } else if (std::abs(dx) >= std::abs(dy)) {
            x = x0 + (dx > 0 ? t : -t);
            y = int(std::floor(y0 + double(dy) * t / n + 0.5));
        } else {
            y = y0 + (dy > 0 ? t : -t);
            x = int(std::floor(x0 + double(dx) * t / n + 0.5));
        }
        if (x < 0 || x >= width())
            return;
        if (y >= m_height[std::size_t(x)]) {
            canvas.setPixel(canvas.toPixelX(x), canvas.toPixelY(y), color);
            m_height[std::size_t(x)] = y;
        }
    }
}

void Draw3DSurface(Canvas& canvas, const DtwTrace& t, const Palette& palette, float colourStep, int rotation,
                   int elevation, ProjectedPath* path)
{
    const int N = t.N;
    const int M = t.M;
    const int P = canvas.width();
    canvas.setScale({0.0, double(P), double(P), -double(P)});
    *path = ProjectedPath{};
    if (N < 1 || M < 1)
        return;
    const Projection3D v = Projection3D::make(P, N, M, rotation, elevation, t.maximum);
    Horizon horizon(P);
    std::vector<int> prevX(std::size_t(M) + 1), prevTop(std::size_t(M) + 1);

    // The first test frame's edge and the base line along the reference.
    for (int j = 1; j <= M; ++j) {
        const int x = v.x(1, j);
        const int top = v.top(1, j, t.d(1, j));
        canvas.line(x, v.ground(1, j), x, top, kColorBrightWhite);
        prevX[std::size_t(j)] = x;
        prevTop[std::size_t(j)] = top;
    }
    canvas.line(v.x(1, M), v.ground(1, M), v.x0, v.y0, kColorBrightWhite);

    int k = 1;  // the next path point to look for
    for (int i = 1; i <= N; ++i) {
        int lastX = v.x(i, 1);
        int lastTop = v.top(i, 1, t.d(i, 1));
        canvas.line(lastX, v.ground(i, 1), lastX, lastTop, kColorBlack);
        for (int j = 1; j <= M; ++j) {
            const std::uint32_t color = palette[std::size_t(paletteLevel(t.d(i, j), colourStep))];
            const int x = v.x(i, j);
            const int top = v.top(i, j, t.d(i, j));
            horizon.drawLine(canvas, lastX, lastTop, x, top, color);
            horizon.drawLine(canvas, prevX[std::size_t(j)], prevTop[std::size_t(j)], x, top, color);
            prevX[std::size_t(j)] = x;
            prevTop[std::size_t(j)] = top;
            lastX = x;
            lastTop = top;
            if (k <= t.pathLength && k <= kMaxPathPoints && t.q(k) == i && t.p(k) == j) {
                path->x[std::size_t(k)] = x;
                path->y[std::size_t(k)] = top;
                path->visible[std::size_t(k)] = horizon.visible(x, top);
                ++k;
            }
        }
    }
    canvas.line(v.x0 + (N - 1) * v.a / v.S, v.y0 + (N - 1) * v.b / v.S, v.x0, v.y0, kColorBlack);
    canvas.text(std::max(0.0, v.x0 + 0.2 * P), 0.85 * v.y0, "Test word", 0xE0FFFF);
    canvas.text(double((v.x0 - 70) / 2), v.y0, "Reference", 0xFFFF00);
}

}  // namespace talvor::timewarp
