#pragma once
// The wide kernels of the engine's DTW classifier, compiled once per x86-64
// level (DtwKernels.cpp) and chosen at run time (common/IsaLevel.h).
//
// A reference word is given coefficient-major: coefficient c of reference
// frame j (1-based) at refT[c * stride + j - 1], with at least kDtwPad
// readable floats before index 0 and after index m - 1 of every row.
// Local distances are those of frameDistance, lane by lane: the squared
// differences summed in order of c, then one square root, bit for bit.

#include "common/IsaLevel.h"

#include <cstdint>

namespace talvor::engine::dtwkernels {

inline constexpr int kDtwPad = 32;

// One column i of the Itakura recursion in place, as the scalar column
// loop: d[j] for low <= j <= high from column i - 1's d[j-2], d[j-1], d[j]
// and the flags kept[j], then d[low - 1] := unreachable; every other cell
// keeps its value.  d, kept and local need kDtwPad cells below index 0; local
// receives the column's distances (see bandDistances).
TALVOR_ISA_DECLARE(void itakuraColumn(float* d, std::int32_t* kept, const float* testFrame, const float* refT,
                                      int stride, int dim, int low, int high, float* local))

// local[j] := the distance of the test frame to reference frame j for
// low <= j <= high; local may be written up to index high + 15.
TALVOR_ISA_DECLARE(void bandDistances(const float* testFrame, const float* refT, int stride, int dim, int low,
                                      int high, float* local))

}  // namespace talvor::engine::dtwkernels
