#pragma once
// The wide kernels of the engine's DTW classifier, compiled once per x86-64
// level (DtwKernels.cpp) and chosen at run time (common/IsaLevel.h).
//
// A group of references is matched against one test word side by side, one
// reference to a vector lane.  Each lane runs the column recursion of its
// own reference (itakura() and general() in ClassifyDtw.cpp) with the same
// float steps in the same order, so every lane's result is that recursion's
// bit for bit.  A column's cells are taken over the union of the lanes'
// bands; a lane keeps the value of every cell outside its own band, as the
// recursion leaves such cells alone.

#include "common/IsaLevel.h"

#include <cstddef>
#include <cstdint>

namespace talvor::engine::dtwkernels {

// A band no lane cell falls into.
inline constexpr std::int32_t kNoLow = 1 << 30;
inline constexpr std::int32_t kNoHigh = -(1 << 30);

struct LaneGroup {
    int lanes = 0;           // 4, 8 or 16
    const float* test = nullptr;  // the test word: n frames of dim values, frame after frame
    int n = 0;
    int dim = 0;
    // Coefficient c of reference frame j (1-based) of lane k at
    // values[((j - 1) * dim + c) * rowFloats + k], for every frame of the
    // lanes' bands.
    const float* values = nullptr;
    int rowFloats = 0;
    // Column i (1..n): lane k's band low[(i - 1) * lanes + k] ..
    // high[(i - 1) * lanes + k] (kNoLow/kNoHigh for a lane that takes no
    // part), and the union of the lanes' bands rowLow[i - 1] ..
    // rowHigh[i - 1] (empty: no lane from this column on).  Column 1 of
    // the band method is the first column's chain 1..min(high, m).
    const std::int32_t* low = nullptr;
    const std::int32_t* high = nullptr;
    const std::int32_t* rowLow = nullptr;
    const std::int32_t* rowHigh = nullptr;
    const std::int32_t* last = nullptr;  // lane k's frame count m (its result is cell m)
    // Room for the cost columns: workFloats(lanes, frames) floats, where
    // frames is at least top and every last[k].
    int frames = 0;
    float* work = nullptr;
    float* out = nullptr;  // lane k: D(n, last[k]), not yet normalised
};

inline constexpr long long workFloats(int lanes, int frames)
{
    // The cost column and the flag column, cells -1..frames+1.
    return 2LL * (frames + 3) * lanes;
}

// Itakura: D(1, 1) is the first frames' distance; each later column as the
// recursion's downward loop, then cell low - 1 of each lane unreachable.
TALVOR_ISA_DECLARE(void itakuraLanes(const LaneGroup& group))

// Band method: column 1 the chain of the first test frame; each later
// column the chain from low to high with cell low - 1 unreachable.
TALVOR_ISA_DECLARE(void bandLanes(const LaneGroup& group))

// Side-by-side values: out[v * slots + s] := layout[v * layoutRow +
// source[s]] for the rows v < blockRows[s / 16] (slots a multiple of 16,
// every source below 256 and its rows inside the layout, out 64-byte aligned).
TALVOR_ISA_DECLARE(void gatherRows(const float* layout, int layoutRow, const int* source, int slots,
                                   const std::size_t* blockRows, float* out))

}  // namespace talvor::engine::dtwkernels
