// Compiled once per x86-64 level (TALVOR_ISA_NS).  One vector holds the
// cells of kLanes reference frames (16 on v4, 8 on v3, 4 below).  Each
// lane does the scalar steps of its cell in their order; square roots are
// whole vector instructions, exactly rounded like the scalar one.
#include "DtwKernels.h"

#include "engine/ClassifyDtw.h"

#include "WideVectors.h"

namespace talvor::engine::dtwkernels::TALVOR_ISA_NS {

namespace {

static_assert(kDtwPad >= kLanes + 2, "a whole vector and the two cells below it");

// The distances of the test frame to the V vectors of reference frames from
// j0 on: V sums side by side, each in order of the coefficients.
template <int V>
inline void distanceVectors(const float* testFrame, const float* refT, int stride, int dim, int j0, float* local)
{
    // Unrolled so that the sums stay in registers.
    Floats sum[V] = {};
    for (int c = 0; c < dim; ++c) {
        const float* row = refT + std::ptrdiff_t(c) * stride + j0 - 1;
#pragma GCC unroll 4
        for (int v = 0; v < V; ++v) {
            const Floats diff = testFrame[c] - load<Floats>(row + v * kLanes);
            sum[v] = sum[v] + diff * diff;
        }
    }
#pragma GCC unroll 4
    for (int v = 0; v < V; ++v)
        store(local + j0 + v * kLanes, squareRoot(sum[v]));
}

// local[low..high] (and up to a vector more): four vectors at a time, the
// rest together.
inline void columnDistances(const float* testFrame, const float* refT, int stride, int dim, int low, int high,
                            float* local)
{
    int j0 = low;
    for (; high - j0 + 1 > 3 * kLanes; j0 += 4 * kLanes)
        distanceVectors<4>(testFrame, refT, stride, dim, j0, local);
    switch ((high - j0 + kLanes) / kLanes) {
    case 3:
        distanceVectors<3>(testFrame, refT, stride, dim, j0, local);
        break;
    case 2:
        distanceVectors<2>(testFrame, refT, stride, dim, j0, local);
        break;
    case 1:
        distanceVectors<1>(testFrame, refT, stride, dim, j0, local);
        break;
    default:
        break;
    }
}

}  // namespace

void itakuraColumn(float* d, std::int32_t* kept, const float* testFrame, const float* refT, int stride, int dim,
                   int low, int high, float* local)
{
    columnDistances(testFrame, refT, stride, dim, low, high, local);
    // Blocks of kLanes cells from the top down: a block reads d[j0 - 2 ..
    // j0 + kLanes - 1] before it writes d[j0 .. j0 + kLanes - 1], and the
    // blocks below it have not been written yet, so every read sees column
    // i - 1 as the downward scalar loop does.  Cells below low keep their
    // value.
    const Ints lane = laneNumbers();
    for (int j0 = high - kLanes + 1;; j0 -= kLanes) {
        const Floats twoBelow = load<Floats>(d + j0 - 2);
        const Floats below = load<Floats>(d + j0 - 1);
        const Floats same = load<Floats>(d + j0);
        const Ints wasKept = load<Ints>(kept + j0);
        const Floats h = below < twoBelow ? below : twoBelow;
        const Ints keep = (wasKept == 0) & (same < h);
        const Floats taken = keep ? same : h;
        const Ints inside = lane + j0 >= low;
        store(d + j0, inside ? taken + load<Floats>(local + j0) : same);
        store(kept + j0, inside ? (keep & 1) : wasKept);
        if (j0 <= low)
            break;
    }
    d[low - 1] = kDtwUnreachable;
}

void bandDistances(const float* testFrame, const float* refT, int stride, int dim, int low, int high, float* local)
{
    columnDistances(testFrame, refT, stride, dim, low, high, local);
}

}  // namespace talvor::engine::dtwkernels::TALVOR_ISA_NS
