#pragma once
// The per-frame sums of every Gaussian component of a model, the model's
// components side by side in whole vectors (one copy per instruction-set
// level, common/IsaLevel.h).

#include <cstddef>

#include "common/IsaLevel.h"

namespace talvor::hmmview {

// Components are padded to a multiple of this many lanes (the widest vectors).
inline constexpr std::size_t kComponentLanes = 16;

// For each component c < stride (stride a multiple of kComponentLanes):
//   sums[c] = sum over f in order of (x[f] - means[f * stride + c])^2 * inv[f * stride + c],
// each step (d * d) * inv rounded to float and added to the running float
// sum, a zero inverse adding nothing (not even an infinite or NaN term).
TALVOR_ISA_DECLARE(void componentSums(const float* x, std::size_t features, const float* means,
                                      const float* invCovars, std::size_t stride, float* sums))

}  // namespace talvor::hmmview
