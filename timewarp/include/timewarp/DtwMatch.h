#pragma once
// The three time-warping methods of the DTW comparer.
//
// Pair match: the current test word against the current reference, with the
// whole local-distance matrix, back-pointers and the warping path, recorded in
// store.trace for drawing and animation.  Batch match: a test word against every
// loaded reference, distances computed on the fly, no path, references of
// similar length side by side in vector lanes; the lowest score is the
// recognised word.
//
// Arithmetic is 32-bit float in the order the recurrences give (build with
// -ffp-contract=off): each local distance is the square root of a float sum of
// float squared differences taken feature by feature; accumulated distances add
// one local distance at a time; a score is the accumulated distance divided by
// the test word's frame count N.  A match the constraints do not allow, whose
// end cell cannot be reached, or with a word of no frames scores exactly
// kForbidden and has no path.

#include <cstdint>

#include "timewarp/DtwWordStore.h"

namespace talvor::timewarp {

struct Band {
    std::int16_t lo = 0;  // lowest allowed reference frame
    std::int16_t hi = 0;  // highest allowed reference frame
    bool operator==(const Band&) const = default;
};

// The band of test frame i for the method:
//   'I'  lo = max((i+1) div 2, M - 2(N-i)),  hi = min(2i - 1, M - (N-i) div 2)
//   'N'  centre c = ((M-1) i + N - M) div (N-1); lo = max(1, c - range),
//        hi = min(M, c + range); a test word of one frame has centre 1
// Integer division truncates towards zero; products are 32-bit.  Any other
// method returns `unchanged`.
Band WarpBand(char method, int i, int N, int M, int range, Band unchanged = {});

// Local distance of test frame i of test word w and reference frame j of
// reference r, straight from the stored values.  0 when nFeat is 0.
float RefFrameDistance(const DtwWordStore& store, int w, int r, int i, int j);

// Pair match: fills store.trace's matrix with its minimum and maximum and runs
// the store's method; the trace gets the pair distance, the path and the
// animation steps (N after 'I' and 'L', the path length after 'N', 0 without a
// path).  Any other method code fills the matrix and leaves distance and path
// as they were.
void MatchCurrentPair(DtwWordStore& store);

// The methods over the filled matrix of store.trace, with back-pointers and
// path (and path length).  Each returns the 32-bit distance.
float ItakuraMatch(DtwWordStore& store, int N, int M);
float GeneralMatch(DtwWordStore& store, int N, int M);
float LinearMatch(DtwWordStore& store, int N, int M);

// The methods for one reference, distances by RefFrameDistance, no path: the
// plain form of the recurrences, cell by cell.
float ItakuraScore(DtwWordStore& store, int w, int N, int r, int M);
float GeneralScore(DtwWordStore& store, int w, int N, int r, int M);
float LinearScore(DtwWordStore& store, int w, int N, int r, int M);

// The same scores, bit for bit, by the batch match's kernels: the reference in
// one lane of a group of its own (references side by side, a row of cells at
// a time, each cell's distance summed over the features in order, kernels
// chosen by the processor's instruction-set level).
float ItakuraScoreByColumn(DtwWordStore& store, int w, int N, int r, int M);
float GeneralScoreByColumn(DtwWordStore& store, int w, int N, int r, int M);
float LinearScoreByColumn(DtwWordStore& store, int w, int N, int r, int M);

// The instruction-set level (0 x86-64, 1 -v2, 2 -v3, 3 -v4) the batch match
// runs the method's kernel at on this machine while no level is forced:
// timed at every level the machine runs at its first use, the fastest kept.
// Any letter but 'I' and 'N' stands for linear warping.
int batchKernelLevel(char method);

// Batch match of test word w against references 1..referenceTotal by the
// store's method.  The best result is reset first; a reference becomes the best
// only by a score strictly below the best so far (the first loaded wins ties).
// Writes store.batch for every reference and store.best; returns the best
// label, or -1 when no reference scores below kForbidden (none loaded, all
// forbidden, an invalid w, or an unknown method, which scores nothing).  The
// current pair is not touched: the caller makes the best reference current.
std::int16_t MatchAllReferences(DtwWordStore& store, int w);

}  // namespace talvor::timewarp
