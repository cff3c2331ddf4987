#pragma once
// The batch match's kernels: one test word against a group of references side
// by side, one reference to a lane, compiled once per instruction-set level
// (DtwKernels.cpp) and chosen at run time.
//
// Each lane runs the recurrence of DtwMatch.cpp for its own reference, with
// the same float operations in the same order, so every lane's result equals
// the cell-by-cell form bit for bit at every level.  A row's cells are taken
// over the union of the lanes' bands; a cell outside its lane's band is
// impossible (kForbidden), which is exactly what the cell-by-cell forms read
// there (see the notes in DtwMatch.cpp).

#include <cstdint>

#include "common/IsaLevel.h"
#include "timewarp/DtwWordStore.h"

namespace talvor::timewarp::kernels {

inline constexpr int kLanes = DtwWordStore::kLaneWidth;

struct LaneJob {
    const float* test;     // the test word: N frames of nFeat values, frame-major
    const float* values;   // the group: [frame][feature][lane], 64-byte aligned
    int nFeat = 0;
    int N = 0;
    // Row i = 1..N of lane k: the band lo..hi at [(i-1) * kLanes + k] (empty,
    // lo > hi, for a lane without a match; linear warping: lo is the frame),
    // and the union of the lanes' bands per row at [i-1] (the first row of the
    // Itakura method is its cell (1, 1)).
    const std::int32_t* lo = nullptr;
    const std::int32_t* hi = nullptr;
    const std::int32_t* rowLo = nullptr;
    const std::int32_t* rowHi = nullptr;
    const std::int32_t* last = nullptr;  // the end frame M of each lane
    float* work = nullptr;               // ReferenceLanes::work(), 64-byte aligned
    float* out = nullptr;                // per lane: D(N, M), or the linear sum
};

// Itakura and general methods: out[k] = the accumulated distance of cell
// (N, last[k]), kForbidden when no path reaches it.  Linear: out[k] = the float
// sum of the local distances of the frames lo, in order of i.
TALVOR_ISA_DECLARE(void itakuraLanes(const LaneJob& job))
TALVOR_ISA_DECLARE(void generalLanes(const LaneJob& job))
TALVOR_ISA_DECLARE(void linearLanes(const LaneJob& job))

}  // namespace talvor::timewarp::kernels
