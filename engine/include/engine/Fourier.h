#pragma once
// Short-time spectra of 16-bit sound at the feature-frame hop of 80 samples:
// a direct 160-point DFT and a 256-point FFT, both over Hamming-windowed
// frames, in 32-bit float arithmetic.
//
// Each function takes the samples it may read as a span; a window that
// reaches past the end of the span counts the missing samples as 0.

#include <array>
#include <cstdint>
#include <span>

namespace talvor::engine {

inline constexpr int kSpectrumHop = 80;        // samples per frame
inline constexpr int kDftLength = 160;         // samples per DFT window
inline constexpr int kDftBins = 80;            // bins 0..79
inline constexpr int kDftFrameFloats = 160;    // DftSpectrumFrame: 80 dB values, 80 magnitudes
inline constexpr int kFftLength = 256;         // samples per FFT window
inline constexpr int kFftStages = 8;           // log2 of kFftLength
inline constexpr int kFftBins = 128;           // bins 0..127
inline constexpr int kFftFrameFloats = 256;    // FftSpectrumFrame: 128 dB values, 128 magnitudes

// Tables of the direct DFT: cos and sin of 2 pi k i / 160 for k = 0..79 and
// i = 0..159, and the 160-point Hamming window.
struct DftTables {
    std::array<float, kDftBins * kDftLength> cosine{};  // [k * 160 + i]
    std::array<float, kDftBins * kDftLength> sine{};
    std::array<float, kDftLength> window{};
};

// Tables of the FFT: cos and sin of 2 pi i / 256, i = 0..255, and the
// 256-point Hamming window.
struct FftTables {
    std::array<float, kFftLength> cosine{};
    std::array<float, kFftLength> sine{};
    std::array<float, kFftLength> window{};
};

// Built once, on first use (thread-safe); never changed afterwards.
const DftTables& dftTables();
const FftTables& fftTables();

// In-place radix-2 decimation-in-frequency FFT of n = 2^stages points over
// separate real and imaginary arrays, followed by the bit-reversal
// permutation, so that re/im end in natural order:
//   X[k] = sum_j x[j] (cos(2 pi j k / n) - i sin(2 pi j k / n)).
// cosine/sine hold cos and sin of 2 pi i / n for i = 0..n-1.
void fft(float* re, float* im, int n, int stages, const float* cosine, const float* sine);

// One DftSpectrumFrame of the first 160 samples (missing ones count as 0):
// out[k] = 10 log10 P_k, out[80 + k] = sqrt P_k, P_k = |X_k|^2 / 160.
void dftFrame(std::span<const std::int16_t> samples, std::span<float, kDftFrameFloats> out);

// DftSpectrumFrames at every hop: frames = count / 80 (none when count < 80),
// frame f from samples 80 f .. 80 f + 159.  Returns the number of floats
// written (160 x frames), or -2 when `out` cannot hold them (nothing written).
int computeSpectrum(std::span<const std::int16_t> samples, int count, std::span<float> out);

// FftSpectrumFrames at every hop: count 0 builds the tables and returns -1;
// frames = count / 80; frames >= out.size() / 256 returns -2 and writes
// nothing; frames <= 0 returns 0; else frame f of samples 80 f .. 80 f + 255
// is written to out[256 f ..] (128 dB values, then 128 magnitudes, P = |X|^2 /
// 256) and the result is 0.
int computeSpectrumFft(std::span<const std::int16_t> samples, int count, std::span<float> out);

}  // namespace talvor::engine
