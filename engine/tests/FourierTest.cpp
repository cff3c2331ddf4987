#include "engine/Fourier.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <complex>
#include <numbers>
#include <random>
#include <vector>

#include "AnalysisReference.h"

namespace talvor::engine {
namespace {

constexpr float kCanary = -12345.0f;

std::vector<std::int16_t> tone(double hz, double amplitude, std::size_t n)
{
    std::vector<std::int16_t> s(n);
    for (std::size_t i = 0; i < n; ++i)
        s[i] = static_cast<std::int16_t>(std::lround(amplitude * std::sin(2.0 * std::numbers::pi * hz * double(i) / 8000.0)));
    return s;
}

std::vector<std::int16_t> noise(std::size_t n, unsigned seed)
{
    std::mt19937 rng(seed);
    std::uniform_int_distribution<int> dist(-20000, 20000);
    std::vector<std::int16_t> s(n);
    for (auto& v : s)
        v = static_cast<std::int16_t>(dist(rng));
    return s;
}

int peakBin(const float* db, int bins)
{
    return static_cast<int>(std::max_element(db, db + bins) - db);
}

bool untouched(const std::vector<float>& v, std::size_t from)
{
    return std::all_of(v.begin() + std::ptrdiff_t(from), v.end(), [](float f) { return f == kCanary; });
}

TEST(SpectraTables, HoldTheirFormulasRoundedOnce)
{
    // The window formulas in 64-bit arithmetic, rounded once: both ends are
    // the float 0.08 (0.54f - 0.46f in 32-bit arithmetic would give 0.08000001).
    const DftTables& dft = dftTables();
    const FftTables& fft = fftTables();
    EXPECT_EQ(dft.window[0], 0.08f);
    EXPECT_EQ(dft.window[159], 0.08f);
    EXPECT_EQ(fft.window[0], 0.08f);
    EXPECT_EQ(fft.window[255], 0.08f);
    for (int i = 0; i < kDftLength; ++i)
        ASSERT_EQ(dft.window[std::size_t(i)], float(0.54 - 0.46 * std::cos(6.283185307178 * i / 159))) << i;
    for (int i = 0; i < kFftLength; ++i) {
        ASSERT_EQ(fft.window[std::size_t(i)], float(0.54 - 0.46 * std::cos(6.283185307178 * i / 255))) << i;
        ASSERT_EQ(fft.cosine[std::size_t(i)], float(std::cos(i * 0.02454369260617026))) << i;
        ASSERT_EQ(fft.sine[std::size_t(i)], float(std::sin(i * 0.02454369260617026))) << i;
    }
    // The DFT's argument k i x 0.03926991 is a 32-bit value.
    for (int k = 0; k < kDftBins; ++k) {
        for (int i = 0; i < kDftLength; ++i) {
            const float arg = float(k * i) * 0.03926991f;
            ASSERT_EQ(dft.cosine[std::size_t(k * 160 + i)], float(std::cos(double(arg)))) << k << " " << i;
            ASSERT_EQ(dft.sine[std::size_t(k * 160 + i)], float(std::sin(double(arg)))) << k << " " << i;
        }
    }
}

TEST(Fft, MatchesDirectDftOnRandomData)
{
    const FftTables& t = fftTables();
    std::mt19937 rng(7);
    std::uniform_real_distribution<float> dist(-1000.0f, 1000.0f);
    for (int round = 0; round < 5; ++round) {
        SCOPED_TRACE(round);
        float re[kFftLength];
        float im[kFftLength];
        std::vector<double> refRe(kFftLength), refIm(kFftLength);
        for (int j = 0; j < kFftLength; ++j) {
            re[j] = dist(rng);
            im[j] = round % 2 ? dist(rng) : 0.0f;  // real input as the spectra use it, and complex input
            refRe[std::size_t(j)] = re[j];
            refIm[std::size_t(j)] = im[j];
        }
        fft(re, im, kFftLength, kFftStages, t.cosine.data(), t.sine.data());
        const auto expected = reference::directDft(refRe, refIm);
        double largest = 0.0;
        for (const auto& x : expected)
            largest = std::max(largest, std::abs(x));
        for (int k = 0; k < kFftLength; ++k) {
            const std::complex<double> got(re[k], im[k]);
            ASSERT_LE(std::abs(got - expected[std::size_t(k)]), 2e-5 * largest) << "bin " << k;
        }
    }
}

TEST(Fft, UnitImpulseAndConstantGiveFlatAndSingleBin)
{
    const FftTables& t = fftTables();
    float re[kFftLength] = {};
    float im[kFftLength] = {};
    re[0] = 1.0f;
    fft(re, im, kFftLength, kFftStages, t.cosine.data(), t.sine.data());
    for (int k = 0; k < kFftLength; ++k) {
        EXPECT_FLOAT_EQ(re[k], 1.0f) << k;
        EXPECT_FLOAT_EQ(im[k], 0.0f) << k;
    }
    std::fill(std::begin(re), std::end(re), 2.0f);
    std::fill(std::begin(im), std::end(im), 0.0f);
    fft(re, im, kFftLength, kFftStages, t.cosine.data(), t.sine.data());
    EXPECT_FLOAT_EQ(re[0], 512.0f);
    for (int k = 1; k < kFftLength; ++k)
        EXPECT_NEAR(std::hypot(re[k], im[k]), 0.0, 1e-3) << k;
}

TEST(Spectra, ToneOf1000HzPeaksAtItsBin)
{
    // 1000 Hz at 8000 samples/s: bin 20 of 160 points, bin 32 of 256 points.
    const auto s = tone(1000.0, 10000.0, 80 * 12 + 176);
    std::vector<float> dft(160 * 12);
    ASSERT_EQ(computeSpectrum(s, 80 * 12, dft), 160 * 12);
    std::vector<float> fftOut(256 * 13);
    ASSERT_EQ(computeSpectrumFft(s, 80 * 12, fftOut), 0);
    for (int f = 0; f < 12; ++f) {
        SCOPED_TRACE(f);
        EXPECT_EQ(peakBin(&dft[std::size_t(f) * 160], kDftBins), 20);
        EXPECT_EQ(peakBin(&dft[std::size_t(f) * 160 + 80], kDftBins), 20);  // magnitudes
        EXPECT_EQ(peakBin(&fftOut[std::size_t(f) * 256], kFftBins), 32);
        EXPECT_EQ(peakBin(&fftOut[std::size_t(f) * 256 + 128], kFftBins), 32);
    }
}

TEST(Spectra, DbAndMagnitudeHalvesAgreeWithDirectTransform)
{
    const auto s = noise(80 * 6 + 176, 3);
    std::vector<float> dft(160 * 6);
    ASSERT_EQ(computeSpectrum(s, 80 * 6, dft), 960);
    std::vector<float> fftOut(256 * 7);
    ASSERT_EQ(computeSpectrumFft(s, 80 * 6, fftOut), 0);
    for (int f = 0; f < 6; ++f) {
        SCOPED_TRACE(f);
        const auto window = std::span<const std::int16_t>(s).subspan(std::size_t(f) * 80);
        const auto dftRef = reference::powerDb(window, 160, 80);
        const auto fftRef = reference::powerDb(window, 256, 128);
        for (int k = 0; k < 80; ++k) {
            const float db = dft[std::size_t(f) * 160 + std::size_t(k)];
            const float mag = dft[std::size_t(f) * 160 + 80 + std::size_t(k)];
            ASSERT_NEAR(db, dftRef[std::size_t(k)], 0.02) << "DFT bin " << k;
            ASSERT_NEAR(20.0 * std::log10(mag), db, 1e-3) << "DFT bin " << k;
        }
        for (int k = 0; k < 128; ++k) {
            const float db = fftOut[std::size_t(f) * 256 + std::size_t(k)];
            const float mag = fftOut[std::size_t(f) * 256 + 128 + std::size_t(k)];
            ASSERT_NEAR(db, fftRef[std::size_t(k)], 0.02) << "FFT bin " << k;
            ASSERT_NEAR(20.0 * std::log10(mag), db, 1e-3) << "FFT bin " << k;
        }
    }
}

TEST(Spectra, ImpulseGivesItsExactPowerInEveryBin)
{
    // A single sample of 150 at the start of the window: every bin holds
    // x = w_0 x 150 with no imaginary part, so P = x^2 x 0.00625 (DFT) or
    // x^2 x 0.00390625 (FFT), close to 0.9 and 0.56, where 32-bit log10 or a
    // division by 160 instead of the product would each change the last bit.
    std::vector<std::int16_t> s(80 + 176, 0);
    s[0] = 150;
    const float dftX = dftTables().window[0] * 150.0f;
    const float dftP = (dftX * dftX + 0.0f * 0.0f) * 0.00625f;
    std::vector<float> dft(160);
    ASSERT_EQ(computeSpectrum(s, 80, dft), 160);
    const float fftX = fftTables().window[0] * 150.0f;
    const float fftP = (fftX * fftX + 0.0f * 0.0f) * 0.00390625f;
    std::vector<float> fftOut(512);
    ASSERT_EQ(computeSpectrumFft(s, 80, fftOut), 0);
    for (int k = 0; k < kDftBins; ++k) {
        ASSERT_EQ(dft[std::size_t(k)], float(10.0 * std::log10(double(dftP)))) << k;
        ASSERT_EQ(dft[std::size_t(80 + k)], std::sqrt(dftP)) << k;
    }
    for (int k = 0; k < kFftBins; ++k) {
        ASSERT_EQ(fftOut[std::size_t(k)], float(10.0 * std::log10(double(fftP)))) << k;
        ASSERT_EQ(fftOut[std::size_t(128 + k)], std::sqrt(fftP)) << k;
    }
}

TEST(Spectra, SilenceGivesMinusInfinityWithoutTrap)
{
    const std::vector<std::int16_t> s(160, 0);
    std::vector<float> out(160);
    dftFrame(s, std::span<float, kDftFrameFloats>(out.data(), kDftFrameFloats));
    EXPECT_TRUE(std::isinf(out[5]) && out[5] < 0);
    EXPECT_EQ(out[85], 0.0f);
}

TEST(ComputeSpectrum, ReportsFloatsOfWholeFrames)
{
    struct Case {
        int count;
        int expectedFloats;
    };
    const Case cases[] = {{800, 1600}, {850, 1600}, {80, 160}, {79, 0}, {0, 0}, {-400, 0}};
    const auto s = noise(2000, 11);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.count);
        std::vector<float> out(2000, kCanary);
        EXPECT_EQ(computeSpectrum(s, c.count, out), c.expectedFloats);
        EXPECT_TRUE(untouched(out, std::size_t(c.expectedFloats)));
        if (c.expectedFloats > 0) {
            EXPECT_NE(out[std::size_t(c.expectedFloats) - 1], kCanary);
        }
    }
}

TEST(ComputeSpectrum, RefusesTooSmallOutputAndWritesNothing)
{
    const auto s = noise(900, 5);
    std::vector<float> out(1599, kCanary);
    EXPECT_EQ(computeSpectrum(s, 800, out), -2);
    EXPECT_TRUE(untouched(out, 0));
}

TEST(ComputeSpectrum, MissingSamplesPastTheInputCountAsZero)
{
    // The last window of 800 samples reaches 80 samples past them.
    auto s = noise(800, 9);
    std::vector<float> exact(1600);
    ASSERT_EQ(computeSpectrum(s, 800, exact), 1600);
    s.resize(880, 0);
    std::vector<float> padded(1600);
    ASSERT_EQ(computeSpectrum(s, 800, padded), 1600);
    EXPECT_EQ(exact, padded);
}

TEST(ComputeSpectrumFft, OutputSizeEdgeCases)
{
    struct Case {
        const char* name;
        int count;
        int outSize;
        int expected;
        int written;  // floats expected to change
    };
    const Case cases[] = {
        {"count 0 builds the tables", 0, 2816, -1, 0},
        {"10 frames need more than 2560", 800, 2560, -2, 0},
        {"10 frames fit 2816", 800, 2816, 0, 2560},
        {"fewer than 80 samples", 50, 2816, 0, 0},
        {"negative count", -160, 2816, 0, 0},
        {"no output at all", 160, 0, -2, 0},
    };
    const auto s = noise(1200, 4);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<float> storage(4000, kCanary);
        std::span<float> out(storage.data(), std::size_t(c.outSize));
        EXPECT_EQ(computeSpectrumFft(s, c.count, out), c.expected);
        EXPECT_TRUE(untouched(storage, std::size_t(c.written)));
        if (c.written > 0) {
            EXPECT_NE(storage[std::size_t(c.written) - 1], kCanary);
        }
    }
}

TEST(ComputeSpectrumFft, MissingSamplesPastTheInputCountAsZero)
{
    // Each window reaches 176 samples past its hop.
    auto s = noise(800, 21);
    std::vector<float> exact(2816);
    ASSERT_EQ(computeSpectrumFft(s, 800, exact), 0);
    s.resize(976, 0);
    std::vector<float> padded(2816);
    ASSERT_EQ(computeSpectrumFft(s, 800, padded), 0);
    EXPECT_EQ(exact, padded);
}

}  // namespace
}  // namespace talvor::engine
