#pragma once
// The engine's isolated-word classifier by dynamic time warping over feature
// frames, with three methods: 'I' (Itakura constraints), 'N' (symmetric steps
// inside a band around the diagonal) and 'L' (linear alignment); a
// frame-pair distance matrix and the packing of selected coefficients.

#include <cstdint>
#include <span>

namespace talvor::engine {

inline constexpr int kDtwTestWords = 50;     // test words: element (w, v) at w + 50 v
inline constexpr int kDtwRefWords = 250;     // references: element (r, v) at r + 250 v
inline constexpr int kDtwMaxValues = 3000;   // dim x frames of one word
inline constexpr float kDtwUnreachable = 3.4028235e38f;
inline constexpr int kLocalDistanceRow = 200;  // floats per row of the distance matrix
inline constexpr int kFeatureFrameFloats = 20;
inline constexpr int kPrDataFirstFrame = 10;   // the words' frames start after 10 margin frames

// sqrt of the sum over dim coefficients of (a_c - b_c)^2, in 32-bit floats.
float frameDistance(const float* a, const float* b, int dim);

struct BandLimits {
    int low;   // lowest reference frame, 1-based
    int high;  // highest reference frame
};
// The reference frames allowed for test frame i (1-based) of N against M
// reference frames: 'I' the Itakura parallelogram, 'N' centre +- band.
// Integer arithmetic in 32 bits, division toward zero; one test frame (N = 1)
// has centre 1.
BandLimits bandLimits(char method, int i, int n, int m, int band);

// Distances of a test word of n frames against a reference of m frames, both
// dim values per frame, frame after frame.  kDtwUnreachable when no path
// satisfies the constraints.  Words of at least one frame.
float dtwItakura(const float* test, int n, const float* ref, int m, int dim);
float dtwGeneral(const float* test, int n, const float* ref, int m, int dim, int band);
float dtwLinear(const float* test, int n, const float* ref, int m, int dim);

// The instruction-set level (0 x86-64, 1 -v2, 2 -v3, 3 -v4) the classifier
// runs the method ('I' Itakura, otherwise the band) at on this machine while
// no level is forced: timed at every level the machine runs at its first use,
// the fastest kept.
int classifierKernelLevel(char method);

// Classifies test word testIndex (1-based) against references 0..nRefs-1 by
// the method letter (any other letter gives distance 0).  distances[r] and
// order[r] := r for each reference.  Returns the 1-based index of the best
// reference (the first of equal distances), 0 when there is no reference or
// none is reachable, and -1 when a distance is negative or an argument lies
// outside the layout: testIndex outside 1..50, nRefs outside 0..250, dim
// below 1, a frame count below 1, more than 3000 values in a word, or arrays
// too small for the words and results (then nothing is written).
int classifyWordDtw(char method, int dim, int band, int testIndex, std::span<const float> testWords,
                    std::span<const std::int16_t> testFrames, int nRefs, std::span<const float> refWords,
                    std::span<const std::int16_t> refFrames, std::span<float> distances,
                    std::span<std::int16_t> order);

// matrix[200 i + t] := sum over dim coefficients of the squared differences
// of test frame t and reference frame i (frames 20 floats apart), for
// t < nTest, i < nRef; min and max of these (3.4028235e38 and 0 when none).
// Returns 0, or -1 when nTest exceeds 200, dim lies outside 0..20 or an
// array is too small (nothing written).
int localDistance(std::span<const float> test, std::span<const float> ref, int nTest, int nRef, int dim,
                  std::span<float> matrix, float& min, float& max);

// For each word w < nWords and its frames k < frameCounts[w], appends the
// coefficients c whose mask[c] is non-zero.  The words lie one after the
// other in the source from frame 10 on: word w starts at source frame 10 +
// the frame counts of the words before it.  Returns 0, or -1 when an array is
// too small (nothing written).
int makePrData(std::span<const float> source, std::span<float> destination, int nWords,
               std::span<const std::int32_t, kFeatureFrameFloats> mask, std::span<const std::int32_t> frameCounts);

// Sizes the arrays of makePrData must have.
long long prDataSourceFloats(int nWords, std::span<const std::int32_t> frameCounts);
long long prDataDestinationFloats(int nWords, std::span<const std::int32_t, kFeatureFrameFloats> mask,
                                  std::span<const std::int32_t> frameCounts);

}  // namespace talvor::engine
