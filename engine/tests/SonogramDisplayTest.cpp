#include "engine/SonogramDisplay.h"

#include <gtest/gtest.h>

#include <set>
#include <vector>

#include "engine/ColorScale.h"
#include "engine/Fourier.h"

namespace talvor::engine {
namespace {

using platform::PixelSurface;

constexpr platform::Color kBackground = 0x00123456;  // no colour of the scale

// DftSpectrumFrames whose bin i of frame k holds 10 + i + 5 k dB and
// 20 + 10 i + 50 k in magnitude.
std::vector<float> dftFrames(int frames)
{
    std::vector<float> s(std::size_t(frames) * kDftFrameFloats);
    for (int k = 0; k < frames; ++k) {
        for (int i = 0; i < kDftBins; ++i) {
            s[std::size_t(k * kDftFrameFloats + i)] = float(10 + i + 5 * k);
            s[std::size_t(k * kDftFrameFloats + kDftBins + i)] = float(20 + 10 * i + 50 * k);
        }
    }
    return s;
}

TEST(DisplaySpectrum, FramesAndBinsLandWhereTheyBelong)
{
    // Four frames: three are drawn (the last is not), frame 1 over frame 0 in
    // columns 0..3, frame 2 in columns 4..7; height 79: bin i fills rows
    // 80 - i and 79 - i, the next bin overwriting the upper one.
    for (const int kind : {0, 1}) {
        SCOPED_TRACE(kind);
        PixelSurface surface(12, 90, kBackground);
        const auto spectra = dftFrames(4);
        displaySpectrum(surface, 8, 79, spectra, kind);
        const ColorScale& cs = colorScale();
        const auto colourOf = [&](int frame, int bin) {
            return cs.colorOfValue(kind, spectra[std::size_t(frame * kDftFrameFloats + (kind ? kDftBins : 0) + bin)]);
        };
        for (int y = 0; y < 90; ++y) {
            for (int x = 0; x < 12; ++x) {
                const platform::Color got = surface.pixel(x, y);
                if (x >= 8 || y >= 80) {
                    ASSERT_EQ(got, kBackground) << x << "," << y;
                    continue;
                }
                const int frame = x < 4 ? 1 : 2;
                const int bin = y == 0 ? 79 : 80 - y;
                ASSERT_EQ(got, colourOf(frame, bin)) << x << "," << y;
            }
        }
    }
}

TEST(DisplaySpectrum, NothingForOneFrameOrNone)
{
    for (const int frames : {0, 1, 2}) {
        SCOPED_TRACE(frames);
        PixelSurface surface(10, 90, kBackground);
        const auto spectra = dftFrames(frames);
        displaySpectrum(surface, 8, 79, spectra, 0);
        std::vector<float> extra = spectra;
        extra.resize(extra.size() + 159, 50.0f);  // a partial frame counts for nothing
        displaySpectrum(surface, 8, 79, extra, 0);
        for (int y = 0; y < 90; ++y)
            for (int x = 0; x < 10; ++x)
                ASSERT_EQ(surface.pixel(x, y), kBackground);
    }
}

TEST(DisplaySpectrum, ClipsToTheSurface)
{
    const auto spectra = dftFrames(6);
    PixelSurface large(200, 500, kBackground);
    displaySpectrum(large, 150, 400, spectra, 0);
    PixelSurface small(20, 30, kBackground);
    displaySpectrum(small, 150, 400, spectra, 0);
    for (int y = 0; y < 30; ++y)
        for (int x = 0; x < 20; ++x)
            ASSERT_EQ(small.pixel(x, y), large.pixel(x, y)) << x << "," << y;
    // A picture far larger than the surface draws only what lies on it, quickly.
    PixelSurface tiny(4, 4, kBackground);
    displaySpectrum(tiny, 2000000000, 2000000000, spectra, 0);
    displaySpectrum(tiny, -50, -50, spectra, 1);
    EXPECT_EQ(tiny.width(), 4);
}

// FftSpectrumFrames: bin b of frame i holds 2 + b + 20 i dB, magnitude 13 + 7 b + 90 i.
std::vector<float> fftFrames(int frames)
{
    std::vector<float> s(std::size_t(frames) * kFftFrameFloats);
    for (int i = 0; i < frames; ++i) {
        for (int b = 0; b < kFftBins; ++b) {
            s[std::size_t(i * kFftFrameFloats + b)] = float(2 + b * 0.5 + 20 * i);
            s[std::size_t(i * kFftFrameFloats + kFftBins + b)] = float(13 + 7 * b + 90 * i);
        }
    }
    return s;
}

TEST(DisplaySpectrumFft, DrawsColumnsAndShowsAllButTheLastFrame)
{
    for (const int kind : {0, 3}) {
        SCOPED_TRACE(kind);
        const int scale = kind ? 1 : 0;
        const auto spectra = fftFrames(4);
        PixelSurface memory(10, 140, kBackground);
        PixelSurface destination(6, 256, kBackground);
        displaySpectrumFft(memory, destination, 6, 256, spectra, kind);
        const ColorScale& cs = colorScale();
        const auto colourOf = [&](int frame, int bin) {
            return cs.colorOfValue(scale, spectra[std::size_t(frame * kFftFrameFloats + (scale ? kFftBins : 0) + bin)]);
        };
        for (int x = 0; x < 10; ++x) {
            for (int y = 0; y < 140; ++y) {
                const bool drawn = x < 4 && y >= 1 && y <= 128;
                ASSERT_EQ(memory.pixel(x, y), drawn ? colourOf(x, 128 - y) : kBackground) << x << "," << y;
            }
        }
        // Three columns stretched to six: destination column x shows frame x / 2,
        // row y the memory row y / 2 (row 0 of the memory picture stays background).
        for (int x = 0; x < 6; ++x) {
            for (int y = 0; y < 256; ++y) {
                const int row = y / 2;
                const platform::Color expected = row == 0 ? kBackground : colourOf(x / 2, 128 - row);
                ASSERT_EQ(destination.pixel(x, y), expected) << x << "," << y;
            }
        }
    }
}

TEST(DisplaySpectrumFft, OneSurfaceAsBothPictureAndTarget)
{
    const auto spectra = fftFrames(3);
    PixelSurface both(8, 130, kBackground);
    displaySpectrumFft(both, both, 8, 103, spectra, 0);
    PixelSurface memory(8, 130, kBackground);
    PixelSurface expected(8, 130, kBackground);
    displaySpectrumFft(memory, expected, 8, 103, spectra, 0);
    // The stretched copy overwrites rows 0..102; below them the picture remains.
    for (int y = 0; y < 130; ++y)
        for (int x = 0; x < 8; ++x)
            ASSERT_EQ(both.pixel(x, y), y < 103 ? expected.pixel(x, y) : memory.pixel(x, y)) << x << "," << y;
}

TEST(DisplaySpectrumFft, NothingForOneFrameOrNone)
{
    for (const int frames : {0, 1}) {
        SCOPED_TRACE(frames);
        PixelSurface memory(10, 140, kBackground);
        PixelSurface destination(10, 140, kBackground);
        auto spectra = fftFrames(frames);
        spectra.resize(spectra.size() + 255, 40.0f);
        displaySpectrumFft(memory, destination, 10, 140, spectra, 0);
        for (int y = 0; y < 140; ++y) {
            for (int x = 0; x < 10; ++x) {
                ASSERT_EQ(memory.pixel(x, y), kBackground);
                ASSERT_EQ(destination.pixel(x, y), kBackground);
            }
        }
    }
    // More frames than the memory picture is wide: clipped, no fault.
    PixelSurface narrow(2, 129, kBackground);
    PixelSurface destination(10, 10, kBackground);
    displaySpectrumFft(narrow, destination, 10, 10, fftFrames(50), 0);
    EXPECT_NE(narrow.pixel(1, 5), kBackground);
}

}  // namespace
}  // namespace talvor::engine
