#include "hmmview/DensityFloor.h"

#include <cmath>
#include <limits>

// Why a sum at or above floorSumThreshold(factor) gives exactly the floor.
//
// The full computation of a component's density, step by step:
//   y = double(sum) / -2.0          exact: a float widened to double, halved
//   E = exp(y)                      glibc, double
//   P = double(factor) * E          rounded to double
//   Q = P + 1e-30                   rounded to double
//   density = float(Q)              rounded to nearest float
// Write D for the double 1e-30 and f0 = float(D) = 1.0000000031710769e-30,
// a normal float (the floor).  The next float up is f0 + 2^-123; the midpoint
// between them, mid = f0 + 2^-124, is a double (25 significant bits).  Every
// double in [D, mid) rounds to f0: D itself does and rounding is monotone.
// Let below be the double just under mid, and
//   budget = (below - D) / 2      (both exact: below and D lie within a
//                                  factor of two of each other, Sterbenz;
//                                  about 2.5e-38, ln budget ~ -86.58)
//
// Claim: for a finite factor > 0 and a float sum s >= threshold (defined
// below; s is not NaN), density = f0.
//  1. threshold >= t = 2 (ln factor - ln budget) + 2^-10 - eps, where eps
//     bounds the rounding of the double expression that computes it: two
//     glibc logs of numbers of magnitude < 2^7 (factor is a float, so
//     |ln factor| < 104; |ln budget| < 87), each within 1 ulp (2^-46), and
//     a subtraction, a doubling and an addition, each within half an ulp of
//     a result below 2^9 (2^-44): eps < 2^-41.  The result is rounded up to
//     a float.  So s > 2 (ln factor - ln budget), that is
//     factor * e^(-s/2) < budget.
//  2. glibc's exp is within 0.51 ulp; allow far more: E <= e^y (1 + 2^-48)
//     + 2^-1070 (16 ulps of a normal result, 16 units of the smallest
//     subnormal where e^y underflows).  E >= 0 always.
//  3. P <= factor * E (1 + 2^-53) + 2^-1075 (round to nearest; subnormal
//     products within half the smallest subnormal).  factor < 2^128, so
//     P <= budget (1 + 2^-48)(1 + 2^-53) + 2^-940 < 2 budget = below - D,
//     and P >= 0.
//  4. D <= D + P <= below, and below is a double, so the rounded Q lies in
//     [D, below] (rounding is monotone and keeps the double ends).
//  5. Every double of [D, below] rounds to f0: density = f0.
// A zero factor (+0 or -0): for s >= 0, y <= 0, E <= 1 is finite, P is a
// zero, Q = D, density = f0; so its threshold is 0.  A negative, infinite or
// NaN factor gets NaN: no sum compares >= NaN, the full computation runs.
//
// What follows the density (weight * density + acc, then the log) takes the
// same float f0 either way, so skipping exp changes no bit of any score.

namespace talvor::hmmview {

float densityFloor()
{
    return static_cast<float>(1e-30);
}

double densityFloorBudget()
{
    static const double budget = [] {
        const float f0 = densityFloor();
        const float up = std::nextafter(f0, std::numeric_limits<float>::infinity());
        const double mid = (static_cast<double>(f0) + static_cast<double>(up)) / 2.0;
        const double below = std::nextafter(mid, 0.0);
        return (below - 1e-30) / 2.0;
    }();
    return budget;
}

float floorSumThreshold(float factor)
{
    if (factor == 0.0f)
        return 0.0f;
    if (!(factor > 0.0f) || !std::isfinite(factor))
        return std::numeric_limits<float>::quiet_NaN();
    const double t =
        2.0 * (std::log(static_cast<double>(factor)) - std::log(densityFloorBudget())) + 0x1p-10;
    float threshold = static_cast<float>(t);
    if (static_cast<double>(threshold) < t)
        threshold = std::nextafter(threshold, std::numeric_limits<float>::infinity());
    return threshold;
}

}  // namespace talvor::hmmview
