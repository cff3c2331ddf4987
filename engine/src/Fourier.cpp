#include "engine/Fourier.h"

#include <algorithm>
#include <cmath>
#include <memory>

namespace talvor::engine {

namespace {

// The table formulas are evaluated in 64-bit arithmetic (their constants
// carry more digits than a 32-bit float holds) and rounded once into the
// 32-bit tables; only the DFT's argument k i x 2 pi / 160 is a 32-bit value.
// The math library's functions likewise work on the widened 32-bit values
// (cos, sin, log10) and their results are rounded once.
constexpr double kTwoPiWindow = 6.283185307178;
constexpr double kHammingA = 0.54;
constexpr double kHammingB = 0.46;
constexpr float kDftArgStep = 0.03926991f;           // 2 pi / 160, 32-bit
constexpr double kFftArgStep = 0.02454369260617026;  // 2 pi / 256
constexpr float kDftPowerScale = 0.00625f;           // 1 / 160
constexpr float kFftPowerScale = 0.00390625f;        // 1 / 256

float hamming(int i, int divisor)
{
    return static_cast<float>(kHammingA - kHammingB * std::cos(kTwoPiWindow * i / divisor));
}

// 10 log10 p in dB.
inline float decibels(float p)
{
    return static_cast<float>(10.0 * std::log10(static_cast<double>(p)));
}

std::unique_ptr<DftTables> makeDftTables()
{
    auto t = std::make_unique<DftTables>();
    for (int k = 0; k < kDftBins; ++k) {
        for (int i = 0; i < kDftLength; ++i) {
            const float arg = static_cast<float>(k * i) * kDftArgStep;
            t->cosine[k * kDftLength + i] = static_cast<float>(std::cos(static_cast<double>(arg)));
            t->sine[k * kDftLength + i] = static_cast<float>(std::sin(static_cast<double>(arg)));
        }
    }
    for (int i = 0; i < kDftLength; ++i)
        t->window[i] = hamming(i, kDftLength - 1);
    return t;
}

std::unique_ptr<FftTables> makeFftTables()
{
    auto t = std::make_unique<FftTables>();
    for (int i = 0; i < kFftLength; ++i) {
        const double arg = i * kFftArgStep;
        t->cosine[i] = static_cast<float>(std::cos(arg));
        t->sine[i] = static_cast<float>(std::sin(arg));
        t->window[i] = hamming(i, kFftLength - 1);
    }
    return t;
}

// Sample j of `samples`, 0 past its end.
inline float sampleAt(std::span<const std::int16_t> samples, std::size_t j)
{
    return j < samples.size() ? static_cast<float>(samples[j]) : 0.0f;
}

}  // namespace

const DftTables& dftTables()
{
    static const std::unique_ptr<DftTables> tables = makeDftTables();
    return *tables;
}

const FftTables& fftTables()
{
    static const std::unique_ptr<FftTables> tables = makeFftTables();
    return *tables;
}

void fft(float* re, float* im, int n, int stages, const float* cosine, const float* sine)
{
    // Decimation in frequency: butterflies of half-size n/2, n/4, ..., 1.
    for (int s = 0; s < stages; ++s) {
        const int half = n >> (s + 1);
        const int stride = 1 << s;  // twiddle index step: n / (2 * half)
        for (int g = 0; g < n; g += 2 * half) {
            {
                const int a = g;
                const int b = g + half;
                const float tr = re[a] - re[b];
                const float ti = im[a] - im[b];
                re[a] = re[a] + re[b];
                im[a] = im[a] + im[b];
                re[b] = tr;
                im[b] = ti;
            }
            for (int j = 1; j < half; ++j) {
                const int a = g + j;
                const int b = a + half;
                const float c = cosine[j * stride];
                const float sn = sine[j * stride];
                const float tr = re[a] - re[b];
                const float ti = im[a] - im[b];
                re[a] = re[a] + re[b];
                im[a] = im[a] + im[b];
                // (tr + i ti) (c - i sn)
                re[b] = tr * c + ti * sn;
                im[b] = ti * c - tr * sn;
            }
        }
    }
    // Bit-reversal permutation.
    for (int i = 1, j = 0; i < n; ++i) {
        int bit = n >> 1;
        for (; j & bit; bit >>= 1)
            j ^= bit;
        j ^= bit;
        if (i < j) {
            std::swap(re[i], re[j]);
            std::swap(im[i], im[j]);
        }
    }
}

void dftFrame(std::span<const std::int16_t> samples, std::span<float, kDftFrameFloats> out)
{
    const DftTables& t = dftTables();
    float x[kDftLength];
    for (int i = 0; i < kDftLength; ++i)
        x[i] = t.window[i] * sampleAt(samples, std::size_t(i));
    for (int k = 0; k < kDftBins; ++k) {
        const float* c = &t.cosine[k * kDftLength];
        const float* sn = &t.sine[k * kDftLength];
        float re = 0.0f;
        float im = 0.0f;
        // Four terms at a time, in order.
        for (int i = 0; i < kDftLength; i += 4) {
            re = re + (((x[i] * c[i] + x[i + 1] * c[i + 1]) + x[i + 2] * c[i + 2]) + x[i + 3] * c[i + 3]);
            im = im + (((x[i] * sn[i] + x[i + 1] * sn[i + 1]) + x[i + 2] * sn[i + 2]) + x[i + 3] * sn[i + 3]);
        }
        const float p = (re * re + im * im) * kDftPowerScale;
        out[k] = decibels(p);
        out[kDftBins + k] = std::sqrt(p);
    }
}

int computeSpectrum(std::span<const std::int16_t> samples, int count, std::span<float> out)
{
    const int frames = count > 0 ? count / kSpectrumHop : 0;
    const std::size_t floats = std::size_t(frames) * kDftFrameFloats;
    if (floats > out.size())
        return -2;
    for (int f = 0; f < frames; ++f) {
        const std::size_t start = std::size_t(f) * kSpectrumHop;
        const auto window = start < samples.size() ? samples.subspan(start) : std::span<const std::int16_t>();
        dftFrame(window, std::span<float, kDftFrameFloats>(out.data() + std::size_t(f) * kDftFrameFloats,
                                                           kDftFrameFloats));
    }
    return static_cast<int>(floats);
}

int computeSpectrumFft(std::span<const std::int16_t> samples, int count, std::span<float> out)
{
    const FftTables& t = fftTables();  // built here at the latest
    if (count == 0)
        return -1;
    const int frames = count / kSpectrumHop;
    const auto capacity = static_cast<long long>(std::min<std::size_t>(out.size(), 0x7fffffff));
    if (frames >= capacity / kFftFrameFloats)
        return -2;
    if (frames <= 0)
        return 0;
    float re[kFftLength];
    float im[kFftLength];
    for (int f = 0; f < frames; ++f) {
        const std::size_t start = std::size_t(f) * kSpectrumHop;
        for (int j = 0; j < kFftLength; ++j) {
            re[j] = t.window[j] * sampleAt(samples, start + std::size_t(j));
            im[j] = 0.0f;
        }
        fft(re, im, kFftLength, kFftStages, t.cosine.data(), t.sine.data());
        float* o = out.data() + std::size_t(f) * kFftFrameFloats;
        for (int j = 0; j < kFftBins; ++j) {
            const float p = (re[j] * re[j] + im[j] * im[j]) * kFftPowerScale;
            o[j] = decibels(p);
            o[kFftBins + j] = std::sqrt(p);
        }
    }
    return 0;
}

}  // namespace talvor::engine
