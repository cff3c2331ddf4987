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
    // The lanes' bands, by kind: the lanes of kind c (kindMask[c][k] = -1
    // in each, 0 elsewhere) share the band kindLo[c][i-1]..kindHi[c][i-1] of
    // row i = 1..N; each lane is of exactly one kind.  A lane without a match
    // has empty bands (lo > hi); under linear warping lo is the frame of the
    // row.  The union of the lanes' bands per row: rowLo[i-1]..rowHi[i-1]
    // (the first row of the Itakura method is its cell (1, 1)).
    int kinds = 0;
    const std::int32_t* kindLo[kLanes] = {};
    const std::int32_t* kindHi[kLanes] = {};
    std::int32_t kindMask[kLanes][kLanes] = {};
    const std::int32_t* rowLo = nullptr;
    const std::int32_t* rowHi = nullptr;
    // Frames in the band of every lane with a match, per row: there the cells
    // are not masked (a lane without a match computes values nobody reads).
    const std::int32_t* innerLo = nullptr;
    const std::int32_t* innerHi = nullptr;
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
