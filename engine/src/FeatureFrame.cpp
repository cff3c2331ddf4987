#include "engine/FeatureFrame.h"

#include "FrameKernels.h"

#include <cmath>
#include <cstring>

namespace talvor::engine {

namespace {

FeatureTables buildTables()
{
    FeatureTables t{};
    // Window in double over the long 2 pi, rounded to float at the end; the
    // divisor is 159 (not 160), as the stored word data was made with.
    for (int i = 0; i < kWindowSamples; ++i)
        t.hamming[i] = static_cast<float>(static_cast<double>(kHammingA) -
                                          static_cast<double>(kHammingB) * std::cos(kTwoPi * i / 159));
    for (int n = 1; n <= kCepstra; ++n)
        t.lifter[n - 1] = 1.0f + 4.0f * std::sin(static_cast<float>(n) * kLifterPi * 0.125f);
    t.deltaDivisor = 0.0f;
    for (int k = 1; k <= 4; ++k)
        t.deltaDivisor += static_cast<float>(k * k);
    t.deltaDivisor *= 2.0f;
    return t;
}

}  // namespace

const FeatureTables& featureTables()
{
    static const FeatureTables tables = buildTables();
    return tables;
}

// The block steps run in the wide kernels of FrameKernels.cpp, each at the
// level it chose on this machine; reference/ReferenceFeatures.h keeps the
// plain loops.
namespace kernels {
namespace {

constexpr decltype(&isa_baseline::preEmphasis) kPreEmphasis[] = TALVOR_ISA_TABLE(preEmphasis);
constexpr decltype(&isa_baseline::hammingWindow) kHammingWindow[] = TALVOR_ISA_TABLE(hammingWindow);
constexpr decltype(&isa_baseline::autocorrelation) kAutocorrelation[] = TALVOR_ISA_TABLE(autocorrelation);

// What the kernels' probes work on: blocks of a vowel-like sound in noise
// (the two short steps pass over them kProbePasses times).
constexpr int kProbeBlocks = 48;
constexpr int kProbePasses = 24;

struct ProbeSignal {
    std::int16_t samples[kProbeBlocks + 1][kBlockSamples];
    float windows[kProbeBlocks][kWindowSamples];
};

const ProbeSignal& probeSignal()
{
    static const ProbeSignal signal = [] {
        ProbeSignal p{};
        std::uint32_t x = 12345;
        for (int b = 0; b <= kProbeBlocks; ++b)
            for (int n = 0; n < kBlockSamples; ++n) {
                x = x * 1664525u + 1013904223u;
                const double t = static_cast<double>(b * kBlockSamples + n) / 8000.0;
                const double v = 4000.0 * std::sin(kTwoPi * 150.0 * t) + 1500.0 * std::sin(kTwoPi * 900.0 * t) +
                                 static_cast<double>(static_cast<int>(x >> 20) - 2048);
                p.samples[b][n] = static_cast<std::int16_t>(v);
            }
        for (int b = 0; b < kProbeBlocks; ++b)
            for (int i = 0; i < kWindowSamples; ++i)
                p.windows[b][i] = static_cast<float>(p.samples[b + i / kBlockSamples][i % kBlockSamples]);
        return p;
    }();
    return signal;
}

isa::Level preEmphasisLevel()
{
    static const isa::Level level = isa::choosePathLevel([](isa::Level l) {
        const ProbeSignal& p = probeSignal();
        std::int16_t block[kBlockSamples];
        for (int pass = 0; pass < kProbePasses; ++pass)
            for (int b = 1; b <= kProbeBlocks; ++b) {
                std::memcpy(block, p.samples[b], sizeof block);
                kPreEmphasis[static_cast<int>(l)](block, p.samples[b - 1][kBlockSamples - 1]);
            }
    });
    return level;
}

isa::Level hammingWindowLevel()
{
    static const isa::Level level = isa::choosePathLevel([](isa::Level l) {
        const ProbeSignal& p = probeSignal();
        float out[kWindowSamples];
        for (int pass = 0; pass < kProbePasses; ++pass)
            for (int b = 0; b < kProbeBlocks; ++b)
                kHammingWindow[static_cast<int>(l)](p.samples[b], p.samples[b + 1], featureTables().hamming, out);
    });
    return level;
}

isa::Level autocorrelationLevel()
{
    static const isa::Level level = isa::choosePathLevel([](isa::Level l) {
        const ProbeSignal& p = probeSignal();
        float r[kLpcOrder + 1];
        for (int b = 0; b < kProbeBlocks; ++b)
            kAutocorrelation[static_cast<int>(l)](p.windows[b], r);
    });
    return level;
}

}  // namespace
}  // namespace kernels

FeatureKernelLevels featureKernelLevels()
{
    return {static_cast<int>(kernels::preEmphasisLevel()), static_cast<int>(kernels::hammingWindowLevel()),
            static_cast<int>(kernels::autocorrelationLevel())};
}

void PreEmphasis(std::int16_t block[kBlockSamples], std::int16_t* lastRaw)
{
    const std::int16_t raw79 = block[kBlockSamples - 1];
    isa::select(kernels::kPreEmphasis, kernels::preEmphasisLevel())(block, *lastRaw);
    *lastRaw = raw79;
}

void HammingWindow(const std::int16_t previous[kBlockSamples], const std::int16_t current[kBlockSamples],
                   float out[kWindowSamples])
{
    isa::select(kernels::kHammingWindow, kernels::hammingWindowLevel())(previous, current, featureTables().hamming,
                                                                        out);
}

void Autocorrelation(const float s[kWindowSamples], float r[kLpcOrder + 1])
{
    isa::select(kernels::kAutocorrelation, kernels::autocorrelationLevel())(s, r);
}

float LogEnergy(float r0)
{
    // The float log10 of the C library is not correctly rounded everywhere
    // (glibc's is one unit in the last place off for a few percent of
    // values, and changes between versions); the double logarithm rounded to
    // float is the nearest float to log10 of the 32-bit sum.
    const float sum = r0 + kEnergyBias;
    return static_cast<float>(std::log10(static_cast<double>(sum)));
}

void LevinsonDurbin(const float rIn[kLpcOrder + 1], float a[kLpcOrder + 1])
{
    float r[kLpcOrder + 1];
    for (int k = 0; k <= kLpcOrder; ++k)
        r[k] = rIn[k];
    if (r[0] < 1e-30f)
        r[0] = 1e-30f;
    for (int j = 0; j <= kLpcOrder; ++j)
        a[j] = 0.0f;
    a[0] = 1.0f;

    // The recursion stops where the prediction error would not stay
    // positive: at an error of zero or less, and before an order whose
    // reflection coefficient is larger than 1 in size (which would make the
    // error negative).  The coefficients of the orders not reached stay 0.
    // A true autocorrelation never gives such a coefficient; rounding on a
    // nearly predictable frame (a pure tone) can, with an error close to 0,
    // and its coefficient can then be huge enough to turn the cepstra and
    // the spectral change infinite.  With every applied coefficient at most
    // 1 in size the predictor stays stable and the cepstra stay small.
    const float k1 = -r[1] / r[0];
    if (!(std::fabs(k1) <= 1.0f))
        return;
    a[1] = k1;
    float e = r[0] * (1.0f - k1 * k1);
    float previous[kLpcOrder + 1];
    for (int i = 2; i <= kLpcOrder; ++i) {
        if (!(e > 0.0f))
            break;
        float sum = r[i];
        for (int j = 1; j <= i - 1; ++j)
            sum += a[j] * r[i - j];
        const float ki = -sum / e;
        if (!(std::fabs(ki) <= 1.0f))
            break;
        for (int j = 1; j <= i - 1; ++j)
            previous[j] = a[j];
        for (int j = 1; j <= i - 1; ++j)
            a[j] = previous[j] + ki * previous[i - j];
        a[i] = ki;
        e = e * (1.0f - ki * ki);
    }
}

void LpcCepstrum(const float r[kLpcOrder + 1], float c[kCepstra])
{
    float a[kLpcOrder + 1];
    LevinsonDurbin(r, a);
    float cep[kCepstra + 1];
    cep[1] = -a[1];
    for (int n = 2; n <= kCepstra; ++n) {
        float sum = 0.0f;
        for (int m = 1; m <= n - 1; ++m)
            sum += (static_cast<float>(m) / static_cast<float>(n)) * cep[m] * a[n - m];
        cep[n] = -a[n] - sum;
    }
    const float* lifter = featureTables().lifter;
    for (int n = 1; n <= kCepstra; ++n)
        c[n - 1] = cep[n] * lifter[n - 1];
}

void DeltaCepstrum(FeatureFrame* frames, int a)
{
    const float divisor = featureTables().deltaDivisor;
    for (int i = 0; i < kCepstra; ++i) {
        float sum = 0.0f;
        for (int k = -4; k <= 4; ++k)
            sum += static_cast<float>(k) * frames[a + k].v[FeatCepstrum + i];
        frames[a].v[FeatDeltaCepstrum + i] = sum / divisor;
    }
    float sum = 0.0f;
    for (int k = -4; k <= 4; ++k)
        sum += static_cast<float>(k) * frames[a + k].v[FeatEnergy];
    frames[a].v[FeatDeltaEnergy] = sum / divisor;
}

void DeltaDeltaEnergy(FeatureFrame* frames, int a)
{
    frames[a].v[FeatDeltaDeltaEnergy] = frames[a + 1].v[FeatDeltaEnergy] - frames[a - 1].v[FeatDeltaEnergy];
}

void SpectralChange(FeatureFrame* frames, int a)
{
    float sum = 0.0f;
    for (int i = 0; i < kCepstra; ++i) {
        float d = 0.0f;
        for (int k = 0; k <= 3; ++k)
            d += frames[a - 4 + k].v[FeatCepstrum + i] - frames[a + 1 + k].v[FeatCepstrum + i];
        sum += d * d;
    }
    frames[a].v[FeatSpectralChange] = sum * kSpectralChangeScale;
}

}  // namespace talvor::engine
