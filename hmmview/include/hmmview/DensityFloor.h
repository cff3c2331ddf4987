#pragma once
// The floor of a Gaussian component's density.  A component's density for a
// frame is
//   float(double(factor) * exp(double(sum) / -2.0) + 1e-30)
// where sum is the component's 32-bit sum of d * d / var over the features.
// Far from the component's means the first term is too small to move the
// result off float(1e-30), the floor; floorSumThreshold proves from which sum
// on that holds, so that the observation scores can take the floor without
// calling exp and still give the same bits.

#include <cstdint>

namespace talvor::hmmview {

// float(1e-30): the density of a component far from the frame.
float densityFloor();

// The double-precision budget: a product double(factor) * exp(..) of at most
// twice this (after its own rounding) leaves float(p + 1e-30) at the floor.
double densityFloorBudget();

// The smallest 32-bit sum from which the density of a component with this
// factor is exactly densityFloor(): for every float sum >= the result (NaN
// never compares so), the full computation gives the floor.  NaN (no sum
// qualifies) for a negative, infinite or NaN factor; 0 for a zero factor.
float floorSumThreshold(float factor);

}  // namespace talvor::hmmview
