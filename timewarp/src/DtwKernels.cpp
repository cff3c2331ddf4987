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

// The lanes whose value lies in lo..hi.
inline VI between(const VI& lo, const VI& hi, int j)
{
    VI r;
    #pragma GCC unroll 16
    for (int q = 0; q < kParts; ++q)
        r.p[q] = (lo.p[q] <= j) & (hi.p[q] >= j);
    return r;
}

inline VI splatInt(std::int32_t x)
{
    VI v;
#pragma GCC unroll 16
    for (int q = 0; q < kParts; ++q)
#pragma GCC unroll 16
        for (int k = 0; k < kWidth; ++k)
            v.p[q][k] = x;
    return v;
}

inline VI select(const VI& mask, const VI& yes, const VI& no)
{
    VI r;
#pragma GCC unroll 16
    for (int q = 0; q < kParts; ++q)
        r.p[q] = mask.p[q] ? yes.p[q] : no.p[q];
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
// handed to cell(j, d) in order of j: per lane the square root of the float
// sum over the features, in order, of (t - r) * (t - r).  Frames go in blocks
// of four or three that share each feature of t, so that several sums are
// under way at once; each block's cells follow at once, and their recurrence
// overlaps the next block's distances.
template <int K, class Cell>
inline void distanceBlock(const float* t, const float* values, std::size_t stride, int nFeat, int j, Cell& cell)
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
#pragma GCC unroll 4
    for (int b = 0; b < K; ++b)
        cell(j + b, sqrtLanes(a[b]));
}

template <class Cell>
inline void distances(const float* t, const float* values, int nFeat, int lo, int hi, Cell&& cell)
{
    const std::size_t stride = std::size_t(nFeat) * kLanes;
    const int width = hi - lo + 1;
    // Blocks of three make up what blocks of four leave (9 = 3 x 3 at most).
    const int threes = width >= 9 ? (4 - width % 4) % 4 : 0;
    int j = lo;
    for (; j + 3 <= hi - 3 * threes; j += 4)
        distanceBlock<4>(t, values, stride, nFeat, j, cell);
    for (; j + 2 <= hi; j += 3)
        distanceBlock<3>(t, values, stride, nFeat, j, cell);
    if (j + 1 <= hi) {
        distanceBlock<2>(t, values, stride, nFeat, j, cell);
        j += 2;
    }
    if (j <= hi)
        distanceBlock<1>(t, values, stride, nFeat, j, cell);
}

// The lanes' bands of row i.
inline void rowBands(const LaneJob& job, int i, VI& lo, VI& hi)
{
    lo = splatInt(job.kindLo[0][i - 1]);
    hi = splatInt(job.kindHi[0][i - 1]);
    for (int c = 1; c < job.kinds; ++c) {
        const VI mask = loadInt(job.kindMask[c]);
        lo = select(mask, splatInt(job.kindLo[c][i - 1]), lo);
        hi = select(mask, splatInt(job.kindHi[c][i - 1]), hi);
    }
}

// Lanes whose band of a row holds reference frame j.
inline VI inBand(const VI& lo, const VI& hi, int j)
{
    return between(lo, hi, j);
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
    const V forbidden = splat(kForbidden);
    VI bandLo, bandHi;
    rowBands(job, 1, bandLo, bandHi);
    distances(job.test, job.values, nFeat, 1, 1, [&](int, const V& d) {
        store(at(rows.P, 1), select(inBand(bandLo, bandHi, 1), d, forbidden));
    });
    for (int i = 2; i <= N; ++i) {
        const int lo = job.rowLo[i - 1], hi = job.rowHi[i - 1];
        rows.startRow(lo);
        rowBands(job, i, bandLo, bandHi);
        const int innerLo = job.innerLo[i - 1], innerHi = job.innerHi[i - 1];
        const float* t = job.test + std::size_t(i - 1) * std::size_t(nFeat);
        distances(t, job.values, nFeat, lo, hi, [&](int j, const V& d) {
            const V twoBack = load(at(rows.P, j - 2)), oneBack = load(at(rows.P, j - 1)), same = load(at(rows.P, j));
            const V sloped = select(twoBack > oneBack, oneBack, twoBack);  // a tie keeps j-2
            const VI flat = ~loadInt(at(rows.HP, j)) & (same < sloped);  // a tie keeps the sloped step
            const V best = select(flat, same, sloped);
            const V cell = best + d;
            if (j >= innerLo && j <= innerHi) {
                store(at(rows.Q, j), cell);
                storeInt(at(rows.HQ, j), flat);
            } else {
                const VI in = inBand(bandLo, bandHi, j);
                store(at(rows.Q, j), select(in, cell, forbidden));
                storeInt(at(rows.HQ, j), in & flat);
            }
        });
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
    const V forbidden = splat(kForbidden);
    VI bandLo, bandHi;
    {
        // First row: reference frames 1..hi, each the one before plus d.
        const int hi = job.rowHi[0];
        rowBands(job, 1, bandLo, bandHi);
        V before = forbidden;
        distances(job.test, job.values, nFeat, 1, hi, [&](int j, const V& d) {
            const V cell = select(inBand(bandLo, bandHi, j), j == 1 ? d : before + d, forbidden);
            store(at(rows.P, j), cell);
            before = cell;
        });
    }
    for (int i = 2; i <= N; ++i) {
        const int lo = job.rowLo[i - 1], hi = job.rowHi[i - 1];
        rows.startRow(lo);
        rowBands(job, i, bandLo, bandHi);
        const int innerLo = job.innerLo[i - 1], innerHi = job.innerHi[i - 1];
        const float* t = job.test + std::size_t(i - 1) * std::size_t(nFeat);
        V vert = forbidden;
        distances(t, job.values, nFeat, lo, hi, [&](int j, const V& d) {
            const V diag = load(at(rows.P, j - 1)), up = load(at(rows.P, j));
            V best = select(diag > up, up, diag);  // ties prefer the diagonal
            best = select(best > vert, vert, best);
            const V cell = best + d;
            vert = j >= innerLo && j <= innerHi ? cell : select(inBand(bandLo, bandHi, j), cell, forbidden);
            store(at(rows.Q, j), vert);
        });
        rows.endRow(lo);
    }
    finish(job, rows.P);
}

// Linear: one cell per test frame, a different reference frame in each lane.
void linearLanes(const LaneJob& job)
{
    const int nFeat = job.nFeat;
    const std::int32_t stride = nFeat * kLanes;
    VI lane;
    for (int k = 0; k < kLanes; ++k)
        lane.p[k / kWidth][k % kWidth] = k;
    V sum = zero();
    for (int i = 1; i <= job.N; ++i) {
        VI frame, unused;
        rowBands(job, i, frame, unused);
        VI index;
        #pragma GCC unroll 16
        for (int q = 0; q < kParts; ++q)
            index.p[q] = (frame.p[q] - 1) * stride + lane.p[q];
        const float* t = job.test + std::size_t(i - 1) * std::size_t(nFeat);
        V a = zero();
        for (int f = 0; f < nFeat; ++f) {
            const V diff = t[f] - gatherLanes(job.values + std::size_t(f) * kLanes, index);
            a = a + diff * diff;
        }
        sum = sum + sqrtLanes(a);
    }
    store(job.out, sum);
}

}  // namespace talvor::timewarp::kernels::TALVOR_ISA_NS
