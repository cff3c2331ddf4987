#pragma once
// Plain reference implementations that the tests and benchmarks hold the
// engine's fast paths against: a direct DFT in 64-bit arithmetic, the colour
// lookup by linear interval search, and DTW over a full cost matrix.

#include <complex>
#include <cstdint>
#include <span>
#include <vector>

#include "engine/ColorScale.h"

namespace talvor::engine::reference {

// X[k] = sum_j x[j] e^(-2 pi i j k / n) for k = 0..n-1, in 64-bit arithmetic.
std::vector<std::complex<double>> directDft(std::span<const double> re, std::span<const double> im);

// Power spectrum in dB of one Hamming-windowed frame of `length` samples
// (window divisor length - 1), power divided by `length`, bins 0..bins-1;
// samples past the span count as 0.
std::vector<double> powerDb(std::span<const std::int16_t> samples, int length, int bins);

// The first interval i with lower bound < v <= upper bound, searched from
// the bottom: interval 0 is (-inf, t_0], interval 999 is (t_998, +inf);
// NaN lands in interval 0.
int intervalLinear(const ColorScale& scale, int s, float v);
inline Rgb colorLinear(const ColorScale& scale, int s, float v) { return scale.color(intervalLinear(scale, s, v)); }

// DTW over the whole (n x m) cost matrix with explicit predecessors; the
// same constraints as the engine's column recursions.
float itakuraMatrix(const float* test, int n, const float* ref, int m, int dim);
float generalMatrix(const float* test, int n, const float* ref, int m, int dim, int band);

}  // namespace talvor::engine::reference
