// Compiled once per x86-64 level (TALVOR_ISA_NS), in vectors of the level's
// native width (16 floats on v4, 8 on v3, 4 below).  Each lane does exactly
// the scalar steps of its element, in the same order.
#include "FrameKernels.h"

#include "WideVectors.h"

namespace talvor::engine::kernels::TALVOR_ISA_NS {

namespace {

typedef std::int16_t Shorts __attribute__((vector_size(kLanes * sizeof(std::int16_t))));

constexpr int kLags = 16;  // lags 0..12 and three unused ones: whole vectors at every width
constexpr int kLagVectors = kLags / kLanes;
static_assert(kBlockSamples % kLanes == 0 && kLags % kLanes == 0);
static_assert(kLpcOrder + 1 <= kLags);

}  // namespace

void preEmphasis(std::int16_t block[kBlockSamples], std::int16_t lastRaw)
{
    // x[-1] = lastRaw, then the raw block: every output reads raw samples
    // only, as the downward scalar loop does.
    std::int16_t raw[kBlockSamples + 1];
    raw[0] = lastRaw;
    std::memcpy(raw + 1, block, sizeof(std::int16_t) * kBlockSamples);
    const Floats gain = Floats{} + kPreEmphasisGain;
    const Floats coefficient = Floats{} + kPreEmphasisCoefficient;
    for (int n = 0; n < kBlockSamples; n += kLanes) {
        const Floats x = __builtin_convertvector(load<Shorts>(raw + 1 + n), Floats);
        const Floats xPrev = __builtin_convertvector(load<Shorts>(raw + n), Floats);
        const Floats y = gain * (x - coefficient * xPrev);
        // |y| < 32768 for every pair of 16-bit samples, so the conversion
        // through 32 bits truncates exactly as the scalar one does.
        store(block + n, __builtin_convertvector(__builtin_convertvector(y, Ints), Shorts));
    }
}

void hammingWindow(const std::int16_t previous[kBlockSamples], const std::int16_t current[kBlockSamples],
                   const float window[kWindowSamples], float out[kWindowSamples])
{
    for (int i = 0; i < kBlockSamples; i += kLanes)
        store(out + i, __builtin_convertvector(load<Shorts>(previous + i), Floats) * load<Floats>(window + i));
    for (int i = 0; i < kBlockSamples; i += kLanes)
        store(out + kBlockSamples + i,
              __builtin_convertvector(load<Shorts>(current + i), Floats) * load<Floats>(window + kBlockSamples + i));
}

void autocorrelation(const float s[kWindowSamples], float r[kLpcOrder + 1])
{
    // Lane k holds R_k: at step n it adds s[n + k] s[n], for n ascending as
    // in the scalar sum.  From n = 160 - 15 on, the lanes whose lag runs
    // past the window keep their sum unchanged (not even a zero is added).
    float padded[kWindowSamples + kLags] = {};
    std::memcpy(padded, s, sizeof(float) * kWindowSamples);
    const Ints lane = laneNumbers();
    Floats sum[kLagVectors] = {};
    constexpr int kFull = kWindowSamples - kLags + 1;  // steps where every lane adds
    for (int n = 0; n < kFull; ++n) {
        for (int g = 0; g < kLagVectors; ++g)
            sum[g] = sum[g] + load<Floats>(padded + n + g * kLanes) * s[n];
    }
    for (int n = kFull; n < kWindowSamples; ++n) {
        for (int g = 0; g < kLagVectors; ++g) {
            const Floats added = sum[g] + load<Floats>(padded + n + g * kLanes) * s[n];
            sum[g] = lane + (n + g * kLanes) < kWindowSamples ? added : sum[g];
        }
    }
    for (int k = 0; k <= kLpcOrder; ++k)
        r[k] = sum[k / kLanes][k % kLanes];
}

}  // namespace talvor::engine::kernels::TALVOR_ISA_NS
