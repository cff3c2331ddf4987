#include "timewarp/DtwMatch.h"

#include <algorithm>
#include <cassert>
#include <cmath>
#include <cstring>

namespace talvor::timewarp {

Band WarpBand(char method, int i, int N, int M, int range, Band unchanged)
{
    if (method == kMethodItakura) {
        const int lo = std::max((i + 1) / 2, M - 2 * (N - i));
        const int hi = std::min(2 * i - 1, M - (N - i) / 2);
        return {std::int16_t(lo), std::int16_t(hi)};
    }
    if (method == kMethodGeneral) {
        // A test word of one frame has no slope: its only frame is centred on 1.
        const int c = N == 1 ? 1 : ((M - 1) * i + N - M) / (N - 1);
        int lo = c - range, hi = c + range;
        if (lo < 1)
            lo = 1;
        if (hi > M)
            hi = M;
        return {std::int16_t(lo), std::int16_t(hi)};
    }
    return unchanged;
}

namespace {

bool validLengths(int N, int M)
{
    return N >= 1 && M >= 1 && N <= kMaxFrames && M <= kMaxFrames;
}

// Square root of the float sum of float squared differences, feature by feature.
inline float frameDistance(const float* t, const float* r, int nFeat)
{
    float sum = 0.0f;
    for (int f = 0; f < nFeat; ++f) {
        const float diff = t[f] - r[f];
        sum = sum + diff * diff;
    }
    return std::sqrt(sum);
}

// Where the recurrences take their local distances from.  row(i, lo, hi) is
// called once per test frame before any distance of that frame is asked for.

// The filled matrix of the pair match.
struct MatrixDistance {
    const DtwTrace& trace;
    void row(int, int, int) {}
    float operator()(int i, int j) const { return trace.d(i, j); }
};

// Straight from the stored values, one cell at a time.
struct StoredDistance {
    const DtwWordStore& store;
    int w, r;
    void row(int, int, int) {}
    float operator()(int i, int j) const { return RefFrameDistance(store, w, r, i, j); }
};

// Four lanes of float arithmetic: each lane rounds exactly as the scalar
// operation does, so lane sums equal scalar sums bit for bit.
using Lanes = float __attribute__((vector_size(16)));

inline Lanes loadLanes(const float* p)
{
    Lanes v;
    std::memcpy(&v, p, sizeof v);
    return v;
}

inline void storeLanes(float* p, Lanes v)
{
    std::memcpy(p, &v, sizeof v);
}

// A band column at a time from the feature-major reference, four reference
// frames to a vector and up to four vectors side by side; the features of each
// cell are summed in order, so every sum is that of frameDistance bit for bit.
// The last vector of a column may run up to three frames past its end: the
// reference and the column are padded for it, and those lanes are never read.
struct ColumnDistance {
    const float* test;  // frame-major values of the test word
    const float* ref;   // feature-major values of the reference
    int nFeat;
    DtwWordStore::Columns& columns;
    void row(int i, int lo, int hi)
    {
        float* const out = &columns.d(lo);
        const int n = hi - lo + 1;
        const float* const t = test + std::size_t(i - 1) * std::size_t(nFeat);
        const float* const r0 = ref + std::size_t(lo - 1);
        int k = 0;
        for (; k + 16 <= n; k += 16) {
            Lanes a0 = {0.0f, 0.0f, 0.0f, 0.0f}, a1 = a0, a2 = a0, a3 = a0;
            const float* rf = r0 + k;
            for (int f = 0; f < nFeat; ++f, rf += kMaxFrames) {
                const Lanes tf = {t[f], t[f], t[f], t[f]};
                const Lanes d0 = tf - loadLanes(rf), d1 = tf - loadLanes(rf + 4);
                const Lanes d2 = tf - loadLanes(rf + 8), d3 = tf - loadLanes(rf + 12);
                a0 = a0 + d0 * d0;
                a1 = a1 + d1 * d1;
                a2 = a2 + d2 * d2;
                a3 = a3 + d3 * d3;
            }
            storeLanes(out + k, a0);
            storeLanes(out + k + 4, a1);
            storeLanes(out + k + 8, a2);
            storeLanes(out + k + 12, a3);
        }
        for (; k < n; k += 4) {
            Lanes a = {0.0f, 0.0f, 0.0f, 0.0f};
            const float* rf = r0 + k;
            for (int f = 0; f < nFeat; ++f, rf += kMaxFrames) {
                const Lanes tf = {t[f], t[f], t[f], t[f]};
                const Lanes d = tf - loadLanes(rf);
                a = a + d * d;
            }
            storeLanes(out + k, a);
        }
        // Whole vectors of square roots, padding included (never read): the
        // sums are never negative, so each root is that of frameDistance.
        for (k = 0; k < n; k += 4) {
            Lanes a = loadLanes(out + k);
            for (int l = 0; l < 4; ++l)
                a[l] = std::sqrt(a[l]);
            storeLanes(out + k, a);
        }
    }
    float operator()(int, int j) { return columns.d(j); }
};

// DTW with Itakura constraints.  Steps into (i, j) come from (i-1, j-2),
// (i-1, j-1) or (i-1, j); the last not twice in a row on one reference frame.
// The choice is greedy, column by column: H(j) remembers that the best way into
// (i-1, j) was the flat step, which then bars the flat step into (i, j) even
// where another way into (i-1, j) would have allowed it.
template <class Distance>
float itakura(DtwWordStore::Columns& c, int N, int M, Distance& dist, DtwTrace* trace)
{
    if (!validLengths(N, M) || N > 2 * M || M > 2 * N - 1)
        return kForbidden;
    for (int j = -1; j <= M; ++j) {
        c.D(j) = kForbidden;
        c.H(j) = false;
    }
    dist.row(1, 1, 1);
    c.D(1) = dist(1, 1);
    if (trace)
        trace->B(1, 1) = 1;
    for (int i = 2; i <= N; ++i) {
        const Band band = WarpBand(kMethodItakura, i, N, M, 0);
        assert(band.lo >= 1 && band.lo <= band.hi && band.hi <= M);
        dist.row(i, band.lo, band.hi);
        // Downwards, so D(j-2), D(j-1) and D(j) still hold test frame i-1.
        for (int j = band.hi; j >= band.lo; --j) {
            float best = c.D(j - 2);
            int k = j - 2;
            if (c.D(j - 2) > c.D(j - 1)) {  // a tie keeps j-2
                best = c.D(j - 1);
                k = j - 1;
            }
            if (!c.H(j) && c.D(j) < best) {  // a tie keeps the sloped step
                c.H(j) = true;
                best = c.D(j);
                k = j;
            } else {
                c.H(j) = false;
            }
            c.D(j) = best + dist(i, j);
            if (trace)
                trace->B(i, j) = std::int16_t(k);
        }
        c.D(band.lo - 1) = kForbidden;
    }
    if (!(c.D(M) < kForbidden))
        return kForbidden;
    return c.D(M) / float(N);
}

// The general band's upper end in the first test frame: that of i = 0 (at
// least 1), or of the only frame of a one-frame test word.
int firstRowEnd(int N, int M, int range)
{
    if (N == 1)
        return WarpBand(kMethodGeneral, 1, N, M, range).hi;
    return std::max(1, int(WarpBand(kMethodGeneral, 0, N, M, range).hi));
}

// DTW with general constraints in the band.  Steps into (i, j) come from
// (i-1, j-1), (i-1, j) and (i, j-1); ties prefer the diagonal, then (i-1, j).
template <class Distance>
float general(DtwWordStore::Columns& c, int N, int M, int range, Distance& dist, DtwTrace* trace)
{
    if (!validLengths(N, M))
        return kForbidden;
    range = std::max(range, 0);
    const int hi0 = firstRowEnd(N, M, range);
    c.D(0) = kForbidden;
    dist.row(1, 1, std::max(1, hi0));
    c.D(1) = dist(1, 1);
    if (trace)
        trace->B(1, 1) = 1;
    for (int j = 2; j <= hi0; ++j) {
        c.D(j) = c.D(j - 1) + dist(1, j);
        if (trace)
            trace->B(1, j) = std::int16_t(-(j - 1));
    }
    for (int j = hi0 + 1; j <= M; ++j)
        c.D(j) = kForbidden;
    for (int i = 2; i <= N; ++i) {
        const Band band = WarpBand(kMethodGeneral, i, N, M, range);
        assert(band.lo >= 1 && band.lo <= band.hi && band.hi <= M);
        dist.row(i, band.lo, band.hi);
        float diag = c.D(band.lo - 1);
        c.D(band.lo - 1) = kForbidden;
        float vert = kForbidden;
        for (int j = band.lo; j <= band.hi; ++j) {
            float best = diag;
            int k = j - 1;
            if (diag > c.D(j)) {
                best = c.D(j);
                k = j;
            }
            if (best > vert) {
                best = vert;
                k = -(j - 1);
            }
            best = best + dist(i, j);
            vert = best;
            diag = c.D(j);
            c.D(j) = best;
            if (trace)
                trace->B(i, j) = std::int16_t(k);
        }
    }
    if (!(c.D(M) < kForbidden))
        return kForbidden;
    return c.D(M) / float(N);
}

// Reference frame of test frame i under linear warping, in exact integers so
// that test frame N meets reference frame M.
inline int linearFrame(int i, int N, int M)
{
    return N == 1 ? 1 : (i - 1) * (M - 1) / (N - 1) + 1;
}

template <class Distance>
float linear(int N, int M, Distance& dist)
{
    if (!validLengths(N, M))
        return kForbidden;
    float sum = 0.0f;
    for (int i = 1; i <= N; ++i) {
        const int j = linearFrame(i, N, M);
        dist.row(i, j, j);
        sum = sum + dist(i, j);
    }
    return sum / float(N);
}

// A pair match starts without a path and with no back-pointer set in its N x M
// cells, so the backtrack can tell the cells this match computed.
void startPairMatch(DtwTrace& t, int N, int M)
{
    t.pathLength = 0;
    N = std::clamp(N, 0, kMaxFrames);
    M = std::clamp(M, 0, kMaxFrames);
    for (int i = 1; i <= N; ++i)
        std::fill_n(&t.B(i, 1), M, kNoBackPointer);
}

}  // namespace

float RefFrameDistance(const DtwWordStore& store, int w, int r, int i, int j)
{
    const int nFeat = store.nFeat();
    return frameDistance(store.testValues(w) + std::size_t(i - 1) * std::size_t(nFeat),
                         store.referenceValues(r) + std::size_t(j - 1) * std::size_t(nFeat), nFeat);
}

float ItakuraMatch(DtwWordStore& store, int N, int M)
{
    DtwTrace& t = store.trace;
    startPairMatch(t, N, M);
    MatrixDistance dist{t};
    const float result = itakura(store.columns, N, M, dist, &t);
    if (result == kForbidden)
        return kForbidden;
    // One reference frame per test frame, back from (N, M); every step must be
    // one the recurrence allows and end at (1, 1).
    t.refFrames[std::size_t(N)] = std::int16_t(M);
    for (int i = N - 1; i >= 1; --i) {
        const int next = t.refFrames[std::size_t(i + 1)];
        const int k = t.B(i + 1, next);
        if (k < std::max(1, next - 2) || k > next)
            return kForbidden;
        t.refFrames[std::size_t(i)] = std::int16_t(k);
    }
    if (t.refFrames[1] != 1)
        return kForbidden;
    for (int i = 1; i <= N; ++i)
        t.testFrames[std::size_t(i)] = std::int16_t(i);
    t.pathLength = std::int16_t(N);
    return result;
}

float GeneralMatch(DtwWordStore& store, int N, int M)
{
    DtwTrace& t = store.trace;
    startPairMatch(t, N, M);
    MatrixDistance dist{t};
    const float result = general(store.columns, N, M, store.bandRange, dist, &t);
    if (result == kForbidden)
        return kForbidden;
    // Back from (N, M) to (1, 1): at most N + M - 1 points, each step legal.
    const int most = N + M - 1;
    int L = 1, i = N, j = M;
    t.testFrames[1] = std::int16_t(i);
    t.refFrames[1] = std::int16_t(j);
    while (i > 1 || j >= 2) {
        const int b = t.B(i, j);
        if (b == kNoBackPointer || L >= most)
            return kForbidden;
        if (b < 0) {
            if (-b != j - 1)
                return kForbidden;
            j = -b;
        } else {
            if (i < 2 || b < 1 || (b != j && b != j - 1))
                return kForbidden;
            i = i - 1;
            j = b;
        }
        ++L;
        t.testFrames[std::size_t(L)] = std::int16_t(i);
        t.refFrames[std::size_t(L)] = std::int16_t(j);
    }
    for (int k = 1; k <= L / 2; ++k) {
        std::swap(t.testFrames[std::size_t(k)], t.testFrames[std::size_t(L + 1 - k)]);
        std::swap(t.refFrames[std::size_t(k)], t.refFrames[std::size_t(L + 1 - k)]);
    }
    t.pathLength = std::int16_t(L);
    return result;
}

float LinearMatch(DtwWordStore& store, int N, int M)
{
    DtwTrace& t = store.trace;
    startPairMatch(t, N, M);
    MatrixDistance dist{t};
    const float result = linear(N, M, dist);
    if (result == kForbidden)
        return kForbidden;
    for (int i = 1; i <= N; ++i) {
        t.testFrames[std::size_t(i)] = std::int16_t(i);
        t.refFrames[std::size_t(i)] = std::int16_t(linearFrame(i, N, M));
    }
    t.pathLength = std::int16_t(N);
    return result;
}

void MatchCurrentPair(DtwWordStore& store)
{
    DtwTrace& t = store.trace;
    const int N = std::clamp<int>(store.N, 0, kMaxFrames);
    const int M = std::clamp<int>(store.M, 0, kMaxFrames);
    const int nFeat = store.nFeat();
    t.N = std::int16_t(N);
    t.M = std::int16_t(M);
    t.minimum = kForbidden;
    t.maximum = 0.0f;
    for (int i = 1; i <= N; ++i) {
        for (int j = 1; j <= M; ++j) {
            const float d = frameDistance(&store.testVector(i, 1), &store.refVector(j, 1), nFeat);
            t.d(i, j) = d;
            if (d > t.maximum)
                t.maximum = d;
            if (d < t.minimum)
                t.minimum = d;
        }
    }
    float distance;
    switch (store.method) {
    case kMethodItakura:
        distance = ItakuraMatch(store, N, M);
        break;
    case kMethodGeneral:
        distance = GeneralMatch(store, N, M);
        break;
    case kMethodLinear:
        distance = LinearMatch(store, N, M);
        break;
    default:
        return;  // an unknown method computes nothing
    }
    t.method = store.method;
    t.testWord = store.currentTestWord;
    t.reference = store.currentReference;
    t.range = store.bandRange;
    t.pairDistance = double(distance);
    if (distance == kForbidden)
        t.pathLength = 0;
    t.steps = t.pathLength;
}

float ItakuraScore(DtwWordStore& store, int w, int N, int r, int M)
{
    StoredDistance dist{store, w, r};
    return itakura(store.columns, N, M, dist, nullptr);
}

float GeneralScore(DtwWordStore& store, int w, int N, int r, int M)
{
    StoredDistance dist{store, w, r};
    return general(store.columns, N, M, store.bandRange, dist, nullptr);
}

float LinearScore(DtwWordStore& store, int w, int N, int r, int M)
{
    StoredDistance dist{store, w, r};
    return linear(N, M, dist);
}

float ItakuraScoreByColumn(DtwWordStore& store, int w, int N, int r, int M)
{
    ColumnDistance dist{store.testValues(w), store.referenceByFeature(r), store.nFeat(), store.columns};
    return itakura(store.columns, N, M, dist, nullptr);
}

float GeneralScoreByColumn(DtwWordStore& store, int w, int N, int r, int M)
{
    ColumnDistance dist{store.testValues(w), store.referenceByFeature(r), store.nFeat(), store.columns};
    return general(store.columns, N, M, store.bandRange, dist, nullptr);
}

float LinearScoreByColumn(DtwWordStore& store, int w, int N, int r, int M)
{
    // One cell per test frame: the frame-major values are read directly, as
    // a column of one cell gains nothing from the feature-major layout.
    StoredDistance dist{store, w, r};
    return linear(N, M, dist);
}

std::int16_t MatchAllReferences(DtwWordStore& store, int w)
{
    store.best = BestResult{};
    if (w < 1 || w > store.testWordCount)
        return store.best.label;
    float (*score)(DtwWordStore&, int, int, int, int) = nullptr;
    switch (store.method) {
    case kMethodItakura:
        score = ItakuraScoreByColumn;
        break;
    case kMethodGeneral:
        score = GeneralScoreByColumn;
        break;
    case kMethodLinear:
        score = LinearScoreByColumn;
        break;
    default:
        return store.best.label;  // an unknown method scores nothing
    }
    const int N = store.testWord(w).frames;
    const int total = std::clamp<int>(store.referenceTotal, 0, kMaxReferences);
    for (int r = 1; r <= total; ++r) {
        const WordRecord& ref = store.reference(r);
        const float s = score(store, w, N, r, ref.frames);
        if (s < store.best.score) {
            store.best.score = s;
            store.best.reference = std::int16_t(r);
            store.best.set = ref.set;
            store.best.label = ref.label;
        }
        store.batch[std::size_t(r)] = BatchResult{s, ref.set, ref.label};
    }
    return store.best.label;
}

}  // namespace talvor::timewarp
