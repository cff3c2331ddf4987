#pragma once
// One feature frame per 10 ms of sound, and the steps that compute it.
//
// A frame is 20 32-bit floats in this order:
//   0-7   liftered LPC cepstral coefficients c1..c8
//   8-15  regression deltas of 0-7 (over frames a-4..a+4)
//   16    regression delta of the log energy (index 19)
//   17    index 16 of the next frame minus index 16 of the previous frame
//   18    spectral change measure
//   19    log10 of the frame energy
// Indices 8-18 of frame a are filled only once frames a+4 (a+5 for index 17)
// have been computed.  Every step uses 32-bit floats in a fixed order, so the
// same sound always gives the same bits.

#include <array>
#include <cstdint>

namespace talvor::engine {

inline constexpr int kFeatureCount = 20;
inline constexpr int kBlockSamples = 80;     // 10 ms hop at 8000 samples/s
inline constexpr int kWindowSamples = 160;   // 20 ms analysis window
inline constexpr int kLpcOrder = 12;
inline constexpr int kCepstra = 8;

enum FeatureIndex : int {
    FeatCepstrum = 0,        // 0..7
    FeatDeltaCepstrum = 8,   // 8..15
    FeatDeltaEnergy = 16,
    FeatDeltaDeltaEnergy = 17,
    FeatSpectralChange = 18,
    FeatEnergy = 19,
};

struct FeatureFrame {
    float v[kFeatureCount];
};
static_assert(sizeof(FeatureFrame) == 80, "frames are stored back to back as 20 floats");

// Constants of the computation, as 32-bit floats where the arithmetic is float.
inline constexpr float kPreEmphasisGain = 0.5128205f;  // 1 / 1.95
inline constexpr float kPreEmphasisCoefficient = 0.95f;
inline constexpr float kHammingA = 0.54f;
inline constexpr float kHammingB = 0.46f;
inline constexpr double kTwoPi = 6.283185307178;
inline constexpr float kEnergyBias = 1e-30f;
inline constexpr float kLifterPi = 3.1415927f;
inline constexpr float kSpectralChangeScale = 0.0625f;

// The tables, built once on first use.
struct FeatureTables {
    float hamming[kWindowSamples];
    float lifter[kCepstra];   // 1 + 4 sin(n pi / 8), n = 1..8
    float deltaDivisor;       // 2 (1 + 4 + 9 + 16) = 60
};
const FeatureTables& featureTables();

// The instruction-set level (0 x86-64, 1 -v2, 2 -v3, 3 -v4) each block step's
// kernel runs at on this machine while no level is forced: each times itself
// at every level the machine runs at its first use and keeps the fastest.
struct FeatureKernelLevels {
    int preEmphasis = 0;
    int hammingWindow = 0;
    int autocorrelation = 0;
};
FeatureKernelLevels featureKernelLevels();

// y[n] = trunc(gain (x[n] - 0.95 x[n-1])) in place, from n = 79 down to 0,
// with x[-1] = *lastRaw; *lastRaw becomes the raw x[79].
void PreEmphasis(std::int16_t block[kBlockSamples], std::int16_t* lastRaw);
// The previous block then the new one, times the Hamming window.
void HammingWindow(const std::int16_t previous[kBlockSamples], const std::int16_t current[kBlockSamples],
                   float out[kWindowSamples]);
// R_k for k = 0..12, each summed in order of n.
void Autocorrelation(const float s[kWindowSamples], float r[kLpcOrder + 1]);
// The frame's log energy log10(r0 + 1e-30): the sum in 32 bits, its logarithm
// rounded once to the nearest float, the same bits with every C library.
float LogEnergy(float r0);
// Levinson-Durbin of order 12 over r[0..12], cepstrum c1..c8, liftered, into c[0..7].
// A prediction error of zero or less stops the recursion, and so does a
// reflection coefficient larger than 1 in size (before its order is applied);
// the remaining predictor coefficients stay 0.
void LpcCepstrum(const float r[kLpcOrder + 1], float c[kCepstra]);
// The predictor coefficients a_1..a_12 of the recursion (a[0] unused, 1).
void LevinsonDurbin(const float r[kLpcOrder + 1], float a[kLpcOrder + 1]);

// Delayed values over a store of frames (frames[a-4..a+4] must exist).
void DeltaCepstrum(FeatureFrame* frames, int a);
void DeltaDeltaEnergy(FeatureFrame* frames, int a);
void SpectralChange(FeatureFrame* frames, int a);

}  // namespace talvor::engine
