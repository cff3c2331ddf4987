// The batch match's kernels, compiled once per instruction-set level (the
// build defines TALVOR_ISA_NS).  A group's 16 lanes (one per reference) are
// one vector at x86-64-v4, two at v3 and four below.  Every lane's arithmetic is
// the scalar recurrence's: IEEE add, subtract, multiply and square root round
// the same in each lane as in scalar code, no multiply-add is fused, and no
// sum is reordered.
#include "DtwKernels.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstring>
#if defined(__SSE2__)
// GCC 12 takes the intrinsics' undefined pass-through vectors for
// uninitialised reads once they are inlined.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#pragma GCC diagnostic ignored "-Wuninitialized"
#include <immintrin.h>
#pragma GCC diagnostic pop
#endif


namespace talvor::timewarp::kernels::TALVOR_ISA_NS {

namespace {

// The level's own vector of floats (and of 32-bit integers), and how many of
// them make the kLanes lanes of a group.
#if defined(__AVX512F__)
constexpr int kWidth = 16;
#elif defined(__AVX__)
constexpr int kWidth = 8;
#else
constexpr int kWidth = 4;
#endif
constexpr int kParts = kLanes / kWidth;
using Native = float __attribute__((vector_size(kWidth * sizeof(float))));
using NativeInt = std::int32_t __attribute__((vector_size(kWidth * sizeof(std::int32_t))));

// The lanes of a group as kParts native vectors; every operation works part
// by part, lane by lane.
struct V {
    Native p[kParts];
};
struct VI {
    NativeInt p[kParts];
};

// Loads and stores part by part (whole-struct copies go through the stack).
inline V load(const float* a)
{
    V v;
    #pragma GCC unroll 16
    for (int q = 0; q < kParts; ++q)
        std::memcpy(&v.p[q], a + q * kWidth, sizeof(Native));
    return v;
}

inline VI loadInt(const void* a)
{
    VI v;
    #pragma GCC unroll 16
    for (int q = 0; q < kParts; ++q)
        std::memcpy(&v.p[q], static_cast<const char*>(a) + q * sizeof(NativeInt), sizeof(NativeInt));
    return v;
}

inline void store(float* a, const V& v)
{
    #pragma GCC unroll 16
    for (int q = 0; q < kParts; ++q)
        std::memcpy(a + q * kWidth, &v.p[q], sizeof(Native));
}

inline void storeInt(void* a, const VI& v)
{
    #pragma GCC unroll 16
    for (int q = 0; q < kParts; ++q)
        std::memcpy(static_cast<char*>(a) + q * sizeof(NativeInt), &v.p[q], sizeof(NativeInt));
}

inline V splat(float x)
{
    V v;
    #pragma GCC unroll 16
    for (int q = 0; q < kParts; ++q)
        #pragma GCC unroll 16
        for (int k = 0; k < kWidth; ++k)
            v.p[q][k] = x;
    return v;
}

inline V zero()
{
    V v;
    #pragma GCC unroll 16
    for (Native& q : v.p)
        q = Native{};
    return v;
}

// t - b in every lane (t the minuend, as in the scalar form).
inline V operator-(float t, const V& b)
{
    V r;
    #pragma GCC unroll 16
    for (int q = 0; q < kParts; ++q)
        r.p[q] = t - b.p[q];
    return r;
}

inline V operator+(const V& a, const V& b)
{
    V r;
    #pragma GCC unroll 16
    for (int q = 0; q < kParts; ++q)
        r.p[q] = a.p[q] + b.p[q];
    return r;
}

inline V operator*(const V& a, const V& b)
{
    V r;
    #pragma GCC unroll 16
    for (int q = 0; q < kParts; ++q)
        r.p[q] = a.p[q] * b.p[q];
    return r;
}

inline VI operator>(const V& a, const V& b)
{
    VI r;
    #pragma GCC unroll 16
    for (int q = 0; q < kParts; ++q)
        r.p[q] = a.p[q] > b.p[q];
    return r;
}

inline VI operator<(const V& a, const V& b)
{
    VI r;
    #pragma GCC unroll 16
    for (int q = 0; q < kParts; ++q)
        r.p[q] = a.p[q] < b.p[q];
    return r;
}

inline VI operator&(const VI& a, const VI& b)
{
    VI r;
    #pragma GCC unroll 16
    for (int q = 0; q < kParts; ++q)
        r.p[q] = a.p[q] & b.p[q];
    return r;
}

inline VI operator~(const VI& a)
{
    VI r;
    #pragma GCC unroll 16
    for (int q = 0; q < kParts; ++q)
        r.p[q] = ~a.p[q];
    return r;
}

// yes where the lane's mask is set, otherwise no.
inline V select(const VI& mask, const V& yes, const V& no)
{
    V r;
    #pragma GCC unroll 16
    for (int q = 0; q < kParts; ++q)
        r.p[q] = mask.p[q] ? yes.p[q] : no.p[q];
    return r;
}

// Square root in every lane, exactly rounded as std::sqrt.
inline V sqrtLanes(V a)
{
    #pragma GCC unroll 16
    for (Native& q : a.p) {
#if defined(__AVX512F__)
        __m512 x;
        std::memcpy(&x, &q, sizeof q);
        x = _mm512_sqrt_ps(x);
        std::memcpy(&q, &x, sizeof q);
#elif defined(__AVX__)
        __m256 x;
        std::memcpy(&x, &q, sizeof q);
        x = _mm256_sqrt_ps(x);
        std::memcpy(&q, &x, sizeof q);
#elif defined(__SSE2__)
        __m128 x;
        std::memcpy(&x, &q, sizeof q);
        x = _mm_sqrt_ps(x);
        std::memcpy(&q, &x, sizeof q);
#else
        #pragma GCC unroll 16
        for (int k = 0; k < kWidth; ++k)
            q[k] = std::sqrt(q[k]);
#endif
    }
    return a;
}

// base[idx[k]] in every lane, a lane at a time: on the machines measured this
// beats the gather instructions.
inline V gatherLanes(const float* base, const VI& idx)
{
    V v;
#pragma GCC unroll 16
    for (int q = 0; q < kParts; ++q)
#pragma GCC unroll 16
        for (int k = 0; k < kWidth; ++k)
            v.p[q][k] = base[idx.p[q][k]];
    return v;
}

constexpr std::size_t kColumn = DtwWordStore::ReferenceLanes::kColumnFloats;

// Lanes of reference frame j (-1..kMaxFrames+1) in a work column.
inline float* at(float* column, int j)
{
    return column + std::size_t(j + 2) * kLanes;
}

// Local distances of one test frame t against the group's frames lo..hi,
// handed in order of j to edge(j, d) in blocks that start before frame
// `plain` and to inner(j, d) in the others: per lane the square root of the
// float sum over the features, in order, of (t - r) * (t - r).  Frames go in
// blocks of four or three that share each feature of t, so that several sums
// are under way at once; each block's cells follow at once, and their
// recurrence overlaps the next block's distances.
template <int K, class Inner, class Edge>
inline void distanceBlock(const float* t, const float* values, std::size_t stride, int nFeat, int j, bool plain,
                          Inner& inner, Edge& edge)
{
    const float* g = values + std::size_t(j - 1) * stride;
    V a[K];
#pragma GCC unroll 4
    for (int b = 0; b < K; ++b)
        a[b] = zero();
    for (int f = 0; f < nFeat; ++f, g += kLanes) {
        const float tf = t[f];
#pragma GCC unroll 4
        for (int b = 0; b < K; ++b) {
            const V diff = tf - load(g + std::size_t(b) * stride);
            a[b] = a[b] + diff * diff;
        }
    }
    if (plain) {
#pragma GCC unroll 4
        for (int b = 0; b < K; ++b)
            inner(j + b, sqrtLanes(a[b]));
    } else {
#pragma GCC unroll 4
        for (int b = 0; b < K; ++b)
            edge(j + b, sqrtLanes(a[b]));
    }
}

template <class Inner, class Edge>
inline void distances(const float* t, const float* values, int nFeat, int lo, int hi, int plain, Inner&& inner,
                      Edge&& edge)
{
    const std::size_t stride = std::size_t(nFeat) * kLanes;
    const int width = hi - lo + 1;
    // Blocks of three make up what blocks of four leave (9 = 3 x 3 at most).
    const int threes = width >= 9 ? (4 - width % 4) % 4 : 0;
    int j = lo;
    for (; j + 3 <= hi - 3 * threes; j += 4)
        distanceBlock<4>(t, values, stride, nFeat, j, j >= plain, inner, edge);
    for (; j + 2 <= hi; j += 3)
        distanceBlock<3>(t, values, stride, nFeat, j, j >= plain, inner, edge);
    if (j + 1 <= hi) {
        distanceBlock<2>(t, values, stride, nFeat, j, j >= plain, inner, edge);
        j += 2;
    }
    if (j <= hi)
        distanceBlock<1>(t, values, stride, nFeat, j, j >= plain, inner, edge);
}

// The lanes (bit k for lane k) whose band of row i holds reference frame j.
inline std::uint32_t laneBits(const LaneJob& job, int i, int j)
{
    std::uint32_t bits = 0;
    for (int c = 0; c < job.kinds; ++c)
        if (job.kindLo[c][i - 1] <= j && j <= job.kindHi[c][i - 1])
            bits |= job.kindBits[c];
    return bits;
}

// The lanes whose bit is set, as a mask.
inline VI bitMask(std::uint32_t bits)
{
    VI r;
#pragma GCC unroll 16
    for (int q = 0; q < kParts; ++q) {
        NativeInt bit;
#pragma GCC unroll 16
        for (int k = 0; k < kWidth; ++k)
            bit[k] = std::int32_t(1u << (q * kWidth + k));
        r.p[q] = (std::int32_t(bits) & bit) != 0;
    }
    return r;
}

// How far the union of the lanes' bands reaches beyond the frames every
// lane's band holds, at most over the rows 2..N, to the left and to the
// right; narrow when neither reaches further than kEdge frames (then only
// the cells near the edges are masked, otherwise every cell is).
constexpr int kEdge = 8;
struct Edges {
    int left = 0;
    int right = 0;
    bool narrow = true;
};

inline Edges edgesOf(const LaneJob& job)
{
    Edges e;
    for (int i = 2; i <= job.N; ++i) {
        e.left = std::max(e.left, int(job.innerLo[i - 1] - job.rowLo[i - 1]));
        e.right = std::max(e.right, int(job.rowHi[i - 1] - job.innerHi[i - 1]));
    }
    e.narrow = e.left <= kEdge && e.right <= kEdge;
    return e;
}

// The columns of two rows (the previous one P and the current one Q) with a
// flag column each.  Outside the rows' bands every cell of a lane with a match
// is kForbidden and every flag clear.
struct Rows {
    float* P;
    float* Q;
    float* HP;
    float* HQ;
    int pLo = 1;         // lowest frame the previous row wrote
    int qLo = INT_MAX;   // lowest frame the row before it wrote into Q

    Rows(float* work, int top)
        : P(work), Q(work + kColumn), HP(work + 2 * kColumn), HQ(work + 3 * kColumn)
    {
        const V forbidden = splat(kForbidden);
        VI clear;
        #pragma GCC unroll 16
        for (NativeInt& q : clear.p)
            q = NativeInt{};
        for (int j = -1; j <= top; ++j) {
            store(at(P, j), forbidden);
            store(at(Q, j), forbidden);
            storeInt(at(HP, j), clear);
            storeInt(at(HQ, j), clear);
        }
    }
    // Before row lo..: the part of Q below lo still holds the row before last.
    void startRow(int lo)
    {
        const V forbidden = splat(kForbidden);
        VI clear;
        #pragma GCC unroll 16
        for (NativeInt& q : clear.p)
            q = NativeInt{};
        for (int j = qLo; j < lo; ++j) {
            store(at(Q, j), forbidden);
            storeInt(at(HQ, j), clear);
        }
    }
    void endRow(int lo)
    {
        qLo = pLo;
        pLo = lo;
        std::swap(P, Q);
        std::swap(HP, HQ);
    }
};

// The highest frame a row or an end cell reaches.
int topFrame(const LaneJob& job)
{
    int top = job.rowHi[job.N - 1];
    for (int k = 0; k < kLanes; ++k)
        top = std::max(top, int(job.last[k]));
    return top;
}

void finish(const LaneJob& job, float* column)
{
    for (int k = 0; k < kLanes; ++k)
        job.out[k] = at(column, job.last[k])[k];
}

}  // namespace

// Itakura: each cell of row i reads only row i-1, so a row's cells are
// independent: compares and selects in place of the cell-by-cell form's
// branches, with the same tie rules and the same flat-step flag.
void itakuraLanes(const LaneJob& job)
{
    const int N = job.N, nFeat = job.nFeat;
    Rows rows(job.work, topFrame(job));
    const Edges edges = edgesOf(job);
    const V forbidden = splat(kForbidden);
    auto first = [&](int, const V& d) { store(at(rows.P, 1), select(bitMask(laneBits(job, 1, 1)), d, forbidden)); };
    distances(job.test, job.values, nFeat, 1, 1, INT_MAX, first, first);
    for (int i = 2; i <= N; ++i) {
        const int lo = job.rowLo[i - 1], hi = job.rowHi[i - 1];
        rows.startRow(lo);
        const int innerLo = job.innerLo[i - 1], innerHi = job.innerHi[i - 1];
        const float* t = job.test + std::size_t(i - 1) * std::size_t(nFeat);
        // The cell (i, j) before it is kept or masked.
        auto cell = [&](int j, const V& d, VI& flat) {
            const V twoBack = load(at(rows.P, j - 2)), oneBack = load(at(rows.P, j - 1)), same = load(at(rows.P, j));
            const V sloped = select(twoBack > oneBack, oneBack, twoBack);  // a tie keeps j-2
            flat = ~loadInt(at(rows.HP, j)) & (same < sloped);            // a tie keeps the sloped step
            return select(flat, same, sloped) + d;
        };
        auto inner = [&](int j, const V& d) {
            VI flat;
            store(at(rows.Q, j), cell(j, d, flat));
            storeInt(at(rows.HQ, j), flat);
        };
        auto edge = [&](int j, const V& d) {
            VI flat;
            const V value = cell(j, d, flat);
            const VI in = bitMask(laneBits(job, i, j));
            store(at(rows.Q, j), select(in, value, forbidden));
            storeInt(at(rows.HQ, j), in & flat);
        };
        // A cell reads only the row before, so where the bands are narrow
        // the row is computed unmasked and its edges masked afterwards.
        distances(t, job.values, nFeat, lo, hi, edges.narrow ? lo : INT_MAX, inner, edge);
        if (edges.narrow) {
            auto mask = [&](int j) {
                const VI in = bitMask(laneBits(job, i, j));
                store(at(rows.Q, j), select(in, load(at(rows.Q, j)), forbidden));
                storeInt(at(rows.HQ, j), in & loadInt(at(rows.HQ, j)));
            };
            for (int e = 1; e <= edges.left; ++e)
                mask(std::max(innerLo - e, -1));
            for (int e = 1; e <= edges.right; ++e)
                mask(std::min(innerHi + e, kMaxFrames + 4));
        }
        rows.endRow(lo);
    }
    finish(job, rows.P);
}

// General band: the chain along a row (each cell takes the one before it)
// runs in all lanes at once.
void generalLanes(const LaneJob& job)
{
    const int N = job.N, nFeat = job.nFeat;
    Rows rows(job.work, topFrame(job));
    const Edges edges = edgesOf(job);
    const V forbidden = splat(kForbidden);
    int row = 1;
    auto selectBand = [&](int j, const V& value) { return select(bitMask(laneBits(job, row, j)), value, forbidden); };
    {
        // First row: reference frames 1..hi, each the one before plus d.
        const int hi = job.rowHi[0];
        V before = forbidden;
        auto first = [&](int j, const V& d) {
            const V cell = selectBand(j, j == 1 ? d : before + d);
            store(at(rows.P, j), cell);
            before = cell;
        };
        distances(job.test, job.values, nFeat, 1, hi, INT_MAX, first, first);
    }
    for (int i = 2; i <= N; ++i) {
        const int lo = job.rowLo[i - 1], hi = job.rowHi[i - 1];
        rows.startRow(lo);
        row = i;
        const int innerHi = job.innerHi[i - 1];
        const float* t = job.test + std::size_t(i - 1) * std::size_t(nFeat);
        V vert = forbidden;
        auto cell = [&](int j, const V& d) {
            const V diag = load(at(rows.P, j - 1)), up = load(at(rows.P, j));
            const V best = select(diag > up, up, diag);  // ties prefer the diagonal
            return select(best > vert, vert, best) + d;
        };
        auto inner = [&](int j, const V& d) {
            vert = cell(j, d);
            store(at(rows.Q, j), vert);
        };
        auto edge = [&](int j, const V& d) {
            vert = selectBand(j, cell(j, d));
            store(at(rows.Q, j), vert);
        };
        // Where the bands are narrow, only the first frames (up to the left
        // edge) are masked as the chain runs: a lane's chain must start
        // afresh at its band.  Cells right of a lane's band feed only cells
        // further right, so they are masked after the row.
        distances(t, job.values, nFeat, lo, hi, edges.narrow ? lo + edges.left : INT_MAX, inner, edge);
        if (edges.narrow)
            for (int e = 1; e <= edges.right; ++e) {
                const int j = std::min(innerHi + e, kMaxFrames + 4);
                store(at(rows.Q, j), selectBand(j, load(at(rows.Q, j))));
            }
        rows.endRow(lo);
    }
    finish(job, rows.P);
}

// Linear: one cell per test frame, a different reference frame in each lane.
void linearLanes(const LaneJob& job)
{
    const int nFeat = job.nFeat;
    const std::size_t stride = std::size_t(nFeat) * kLanes;
    // Each lane's frames: those of its kind.
    const std::int32_t* frames[kLanes];
    for (int c = 0; c < job.kinds; ++c)
        for (int k = 0; k < kLanes; ++k)
            if (job.kindBits[c] >> k & 1u)
                frames[k] = job.kindLo[c];
    V sum = zero();
    for (int i = 1; i <= job.N; ++i) {
        const float* g[kLanes];
        for (int k = 0; k < kLanes; ++k)
            g[k] = job.values + std::size_t(frames[k][i - 1] - 1) * stride + std::size_t(k);
        const float* t = job.test + std::size_t(i - 1) * std::size_t(nFeat);
        V a = zero();
        for (int f = 0; f < nFeat; ++f) {
            V r = zero();
#pragma GCC unroll 16
            for (int q = 0; q < kParts; ++q)
#pragma GCC unroll 16
                for (int k = 0; k < kWidth; ++k)
                    r.p[q][k] = g[q * kWidth + k][std::size_t(f) * kLanes];
            const V diff = t[f] - r;
            a = a + diff * diff;
        }
        sum = sum + sqrtLanes(a);
    }
    store(job.out, sum);
}

}  // namespace talvor::timewarp::kernels::TALVOR_ISA_NS
