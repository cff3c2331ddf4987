#include "engine/SonogramDisplay.h"

#include <algorithm>
#include <cmath>

#include "engine/ColorScale.h"
#include "engine/Fourier.h"

namespace talvor::engine {

namespace {

// Truncation toward zero, clamped far outside any surface.
long long truncateClamped(double v)
{
    if (std::isnan(v))
        return 0;
    return static_cast<long long>(std::clamp(v, -1e15, 1e15));
}

}  // namespace

void displaySpectrum(platform::PixelSurface& surface, int width, int height, std::span<const float> spectra, int kind)
{
    const long long frames = static_cast<long long>(spectra.size() / kDftFrameFloats) - 1;
    if (frames <= 1)
        return;
    const int half = kind != 0 ? kDftBins : 0;
    const float xs = static_cast<float>(width) / static_cast<float>(frames - 1);
    const float ys = static_cast<float>(height) / 79.0f;
    const long long surfaceW = surface.width();
    const long long surfaceH = surface.height();
    Rgb colours[kDftBins];
    for (long long k = 0; k < frames; ++k) {
        const long long x0 = k < 2 ? 0 : truncateClamped(static_cast<float>(k - 1) * xs);
        // Columns x0, x0 + 1, ... while below x0 + xs, at least one; those on the surface.
        const float limit = static_cast<float>(x0) + xs;
        const long long x1 = std::max(x0 + 1, truncateClamped(std::ceil(static_cast<double>(limit))));
        const long long left = std::max(x0, 0LL);
        const long long right = std::min(x1, surfaceW);
        if (left >= right)
            continue;
        valueToColor(spectra.subspan(std::size_t(k) * kDftFrameFloats + half, kDftBins), colours, kind);
        long long f = 0;
        for (int i = 0; i < kDftBins; ++i) {
            const long long g = truncateClamped(static_cast<float>(i) * ys);
            if (g != f) {
                // Rows height - f down to height - g, those on the surface.
                const long long bottom = std::min<long long>(height - f, surfaceH - 1);
                const long long top = std::max<long long>(height - g, 0);
                for (long long y = bottom; y >= top; --y) {
                    for (long long x = left; x < right; ++x)
                        surface.setPixel(int(x), int(y), colours[i]);
                }
            }
            f = g;
        }
    }
}

void displaySpectrumFft(platform::PixelSurface& memory, platform::PixelSurface& destination, int destWidth,
                        int destHeight, std::span<const float> spectra, int kind)
{
    const std::size_t frames = spectra.size() / kFftFrameFloats;
    if (frames <= 1)
        return;
    const int half = kind != 0 ? kFftBins : 0;
    Rgb colours[kFftBins];
    const std::size_t visible = std::min(frames, std::size_t(std::max(memory.width(), 0)));
    for (std::size_t i = 0; i < visible; ++i) {
        valueToColor(spectra.subspan(i * kFftFrameFloats + std::size_t(half), kFftBins), colours, kind);
        for (int b = 0; b < kFftBins; ++b)
            memory.setPixel(int(i), kFftBins - b, colours[b]);
    }
    // frames - 1 columns of the memory picture: the last frame drawn is not shown.
    const int columns = static_cast<int>(std::min<std::size_t>(frames - 1, 0x7fffffff));
    if (&memory == &destination) {
        const platform::PixelSurface copy = memory;
        destination.stretchFrom(copy, 0, 0, columns, kFftBins, 0, 0, destWidth, destHeight);
    } else {
        destination.stretchFrom(memory, 0, 0, columns, kFftBins, 0, 0, destWidth, destHeight);
    }
}

}  // namespace talvor::engine
