#pragma once
// The per-frame sums of every Gaussian component of a model, the model's
// components side by side in whole vectors (one copy per instruction-set
// level, common/IsaLevel.h), and which components are not yet at the
// density floor.

#include <cstddef>
#include <cstdint>

#include "common/IsaLevel.h"

namespace talvor::hmmview {

// Components are padded to a multiple of this many lanes (the widest vectors).
inline constexpr std::size_t kComponentLanes = 16;
// Frames summed together (the arrays of componentSums hold this many).
inline constexpr std::size_t kFramesAtOnce = 4;

// 64-bit words of live bits per frame for `stride` components.
inline constexpr std::size_t liveWords(std::size_t stride) { return (stride + 63) / 64; }

// For frames k < `frames` (at most kFramesAtOnce) of x (`features` values
// each, frame after frame) and each component c < stride (a multiple of
// kComponentLanes):
//   sums[k * stride + c] = sum over f in order of (x - means[f * stride + c])^2 * inv[f * stride + c],
// each step (d * d) * inv rounded to float and added to the running float
// sum, a zero inverse adding nothing (not even an infinite or NaN term); and
// bit c % 64 of live[k * liveWords(stride) + c / 64] set when
// !(sum >= floorFrom[c]) (below the threshold, or NaN).
TALVOR_ISA_DECLARE(void componentSums(const float* x, std::size_t frames, std::size_t features,
                                      const float* means, const float* invCovars, const float* floorFrom,
                                      std::size_t stride, float* sums, std::uint64_t* live))

}  // namespace talvor::hmmview
