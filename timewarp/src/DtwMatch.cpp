#include "timewarp/DtwMatch.h"

#include <algorithm>
#include <cassert>
#include <cmath>
#include <array>
#include <climits>
#include <cstring>

#include "DtwKernels.h"

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

namespace {

// --- The batch match: a group of references side by side ---
//
// The kernels (DtwKernels.cpp) run a group's references in the lanes of one
// vector, each on its own band, over the union of the lanes' bands per row.
// They keep two whole rows, with kForbidden (and a clear flag) in every cell
// outside a row's band, where the cell-by-cell forms above keep one column
// updated in place.  Both read the same values:
// - General band: both ends of the band never move down as i grows, so every
//   cell of row i-1 read at row i (frames lo(i)-1..hi(i)) is in that row's
//   band, is D(lo(i-1)-1) (set to kForbidden), or lies above hi(i-1), where no
//   earlier row wrote.
// - Itakura: the same holds for frames lo(i)-1..hi(i) and for the flags.  At
//   lo(i)-2 the column may hold a value of an earlier row only when lo rose by
//   2 at some row and then stood still; lo = max((i+1)/2, M - 2(N-i)) rises by
//   2 only where M - 2(N-i) (rising by 2 each row) leads, and from there on it
//   rises by 2 at every row, so the column holds kForbidden there too.
// References are grouped by frame count, so that a group's bands nearly
// coincide and few cells of the union lie outside a lane's own band.

using Lanes = DtwWordStore::ReferenceLanes;
constexpr int kLanes = DtwWordStore::kLaneWidth;

}  // namespace

namespace kernels {
using Kernel = void (*)(const LaneJob&);
namespace {
const Kernel kItakura[4] = TALVOR_ISA_TABLE(itakuraLanes);
const Kernel kGeneral[4] = TALVOR_ISA_TABLE(generalLanes);
const Kernel kLinear[4] = TALVOR_ISA_TABLE(linearLanes);
}  // namespace
}  // namespace kernels

namespace {

// Group g's values from the members' stored values; frames a member does not
// have are 0.
void fillGroup(DtwWordStore& store, int g, const std::int16_t* members, const int* frames, int groupFrames)
{
    const int nFeat = store.nFeat();
    float* const v = store.lanes.values(g);
    std::fill_n(v, std::size_t(groupFrames) * std::size_t(nFeat) * kLanes, 0.0f);
    for (int k = 0; k < kLanes; ++k) {
        if (members[k] == 0)
            continue;
        const float* src = store.referenceValues(members[k]);
        for (int m = 0; m < frames[k] * nFeat; ++m)
            v[std::size_t(m) * kLanes + std::size_t(k)] = src[m];
    }
}

// References 1..count in groups of kLanes, by frame count (the lower number
// first among equals); references without frames are left out.
void layOutReferences(DtwWordStore& store, int count)
{
    Lanes& L = store.lanes;
    if (L.count == count)
        return;
    std::array<int, kMaxFrames + 2> start{};
    for (int r = 1; r <= count; ++r) {
        const int M = store.reference(r).frames;
        if (M >= 1 && M <= kMaxFrames)
            ++start[std::size_t(M) + 1];
    }
    for (int M = 1; M <= kMaxFrames; ++M)
        start[std::size_t(M) + 1] += start[std::size_t(M)];
    const int placed = start[kMaxFrames + 1];
    std::array<std::int16_t, kMaxReferences> order{};
    for (int r = 1; r <= count; ++r) {
        const int M = store.reference(r).frames;
        if (M >= 1 && M <= kMaxFrames)
            order[std::size_t(start[std::size_t(M)]++)] = std::int16_t(r);
    }
    L.groups = (placed + kLanes - 1) / kLanes;
    for (int g = 0; g < L.groups; ++g) {
        std::int16_t* members = &L.member[std::size_t(g) * kLanes];
        int frames[kLanes] = {};
        int groupFrames = 0;
        for (int k = 0; k < kLanes; ++k) {
            const int n = g * kLanes + k;
            members[k] = n < placed ? order[std::size_t(n)] : 0;
            frames[k] = members[k] ? store.reference(members[k]).frames : 0;
            groupFrames = std::max(groupFrames, frames[k]);
        }
        L.frames[std::size_t(g)] = std::int16_t(groupFrames);
        fillGroup(store, g, members, frames, groupFrames);
    }
    L.count = count;
}

// The bands of every row 1..N for reference length M, once per batch: the
// cell-by-cell forms' bands (the Itakura method's first row is the cell
// (1, 1), the general method's is frames 1..firstRowEnd); linear warping: the
// frame of each row.
void makeBands(std::int32_t* lo, std::int32_t* hi, char method, int N, int M, int range)
{
    if (method == kMethodGeneral && N >= 2) {
        // WarpBand's centre ((M-1) i + N - M) div (N-1) row after row without
        // a division: the numerator is positive from i = 1 on, so the
        // quotient and remainder grow by (M-1) div (N-1) and (M-1) mod (N-1).
        lo[0] = 1;
        hi[0] = firstRowEnd(N, M, range);
        const int step = M - 1, divisor = N - 1;
        const int stepQuotient = step / divisor, stepRemainder = step % divisor;
        int c = (step * 2 + N - M) / divisor, rest = (step * 2 + N - M) % divisor;
        for (int i = 2; i <= N; ++i) {
            lo[i - 1] = std::max(c - range, 1);
            hi[i - 1] = std::min(c + range, M);
            c += stepQuotient;
            rest += stepRemainder;
            if (rest >= divisor) {
                rest -= divisor;
                ++c;
            }
        }
        return;
    }
    for (int i = 1; i <= N; ++i) {
        Band b;
        if (method == kMethodLinear)
            b = {std::int16_t(linearFrame(i, N, M)), std::int16_t(linearFrame(i, N, M))};
        else if (i == 1)
            b = {1, std::int16_t(method == kMethodItakura ? 1 : firstRowEnd(N, M, range))};
        else
            b = WarpBand(method, i, N, M, range);
        lo[i - 1] = b.lo;
        hi[i - 1] = b.hi;
    }
}

void makeBands(Lanes& L, char method, int N, int M, int range)
{
    L.bandReady[std::size_t(M)] = true;
    makeBands(&L.bandLo[std::size_t(M) * kMaxFrames], &L.bandHi[std::size_t(M) * kMaxFrames], method, N, M, range);
}

// A new batch (or test word, method, range): no band made yet, but the empty
// bands of a lane without a match (under linear warping frame 1, a frame
// every lane has).
void startBands(Lanes& L, char method, int N)
{
    std::fill(L.bandReady.begin(), L.bandReady.end(), false);
    const bool linear = method == kMethodLinear;
    for (int i = 0; i < N && i < kMaxFrames; ++i) {
        L.bandLo[std::size_t(i)] = linear ? 1 : kMaxFrames + 8;
        L.bandHi[std::size_t(i)] = linear ? 1 : -8;
    }
}

// The kernel of a method at a level.
kernels::Kernel kernelOf(char method, isa::Level level)
{
    switch (method) {
    case kMethodItakura: return kernels::kItakura[int(level)];
    case kMethodGeneral: return kernels::kGeneral[int(level)];
    default: return kernels::kLinear[int(level)];
    }
}

// The level a method's kernel runs at on this machine: timed once at its
// first use on one group of 16 references of 60 frames against a test word
// of 60, 20 features each, band 10.
isa::Level probeLevel(char method)
{
    constexpr int N = 60, M = 60, F = 20, kRange = 10;
    const auto aligned = [](std::vector<float>& v) {
        auto p = reinterpret_cast<std::uintptr_t>(v.data());
        return reinterpret_cast<float*>((p + 63) & ~std::uintptr_t(63));
    };
    std::vector<float> test(std::size_t(N) * F), values(std::size_t(M) * F * kLanes + 16),
        work(Lanes::kColumnFloats * Lanes::kWorkColumns + 16, 0.0f), out(kLanes);
    std::uint32_t x = 4711;
    for (float& v : test)
        v = isa::probeValue(&x);
    float* const groupValues = aligned(values);
    for (std::size_t v = 0; v < std::size_t(M) * F * kLanes; ++v)
        groupValues[v] = isa::probeValue(&x);
    std::vector<std::int32_t> lo(N), hi(N), last(kLanes, M);
    makeBands(lo.data(), hi.data(), method, N, M, kRange);
    kernels::LaneJob job;
    job.test = test.data();
    job.values = groupValues;
    job.nFeat = F;
    job.N = N;
    job.kinds = 1;
    job.kindLo[0] = lo.data();
    job.kindHi[0] = hi.data();
    job.kindBits[0] = (1u << kLanes) - 1u;
    job.rowLo = job.innerLo = lo.data();
    job.rowHi = job.innerHi = hi.data();
    job.last = last.data();
    job.work = aligned(work);
    job.out = out.data();
    return isa::choosePathLevel([&](isa::Level level) { kernelOf(method, level)(job); });
}

isa::Level chosenLevel(char method)
{
    switch (method) {
    case kMethodItakura: {
        static const isa::Level itakura = probeLevel(kMethodItakura);
        return itakura;
    }
    case kMethodGeneral: {
        static const isa::Level general = probeLevel(kMethodGeneral);
        return general;
    }
    default: {
        static const isa::Level linear = probeLevel(kMethodLinear);
        return linear;
    }
    }
}

// Scores the references of group g (frames[k] of lane k, 0 for none) against
// the test values by the method into score[k]: the cell-by-cell forms'
// scores, kForbidden for a lane without a match.  startBands must have run
// for this test word and method.
void scoreGroup(DtwWordStore& store, int g, const int* frames, char method, const float* test, int N, float* score)
{
    Lanes& L = store.lanes;
    const int range = std::max(int(store.bandRange), 0);
    kernels::LaneJob job;
    int kindLength[kLanes];
    bool matched[kLanes] = {};
    bool any = false;
    std::fill_n(L.rowLo.begin(), std::max(N, 1), INT32_MAX);
    std::fill_n(L.rowHi.begin(), std::max(N, 1), INT32_MIN);
    std::fill_n(L.innerLo.begin(), std::max(N, 1), INT32_MIN);
    std::fill_n(L.innerHi.begin(), std::max(N, 1), INT32_MAX);
    for (int k = 0; k < kLanes; ++k) {
        const int M = frames[k];
        matched[k] = validLengths(N, M) && !(method == kMethodItakura && (N > 2 * M || M > 2 * N - 1));
        L.last[std::size_t(k)] = matched[k] ? M : 1;
        const int length = matched[k] ? M : 0;
        int c = 0;
        while (c < job.kinds && kindLength[c] != length)
            ++c;
        if (c == job.kinds) {
            ++job.kinds;
            kindLength[c] = length;
            if (length > 0 && !L.bandReady[std::size_t(length)])
                makeBands(L, method, N, length, range);
            job.kindLo[c] = &L.bandLo[std::size_t(length) * kMaxFrames];
            job.kindHi[c] = &L.bandHi[std::size_t(length) * kMaxFrames];
            if (length > 0) {
                any = true;
                for (int i = 0; i < N; ++i) {
                    L.rowLo[std::size_t(i)] = std::min(L.rowLo[std::size_t(i)], job.kindLo[c][i]);
                    L.rowHi[std::size_t(i)] = std::max(L.rowHi[std::size_t(i)], job.kindHi[c][i]);
                    L.innerLo[std::size_t(i)] = std::max(L.innerLo[std::size_t(i)], job.kindLo[c][i]);
                    L.innerHi[std::size_t(i)] = std::min(L.innerHi[std::size_t(i)], job.kindHi[c][i]);
                }
            }
        }
        job.kindBits[c] |= 1u << k;
    }
    std::fill_n(score, kLanes, kForbidden);
    if (!any)
        return;
    job.test = test;
    job.values = L.values(g);
    job.nFeat = store.nFeat();
    job.N = N;
    job.rowLo = L.rowLo.data();
    job.rowHi = L.rowHi.data();
    job.innerLo = L.innerLo.data();
    job.innerHi = L.innerHi.data();
    job.last = L.last.data();
    job.work = L.work();
    job.out = L.out.data();
    kernelOf(method, isa::pathLevel(chosenLevel(method)))(job);
    for (int k = 0; k < kLanes; ++k) {
        if (!matched[k])
            continue;
        const float end = L.out[std::size_t(k)];
        if (method == kMethodLinear)
            score[k] = end / float(N);
        else if (end < kForbidden)
            score[k] = end / float(N);
    }
}

// One reference by the batch kernels: a group of one in the scratch group.
float laneScore(DtwWordStore& store, char method, int w, int N, int r, int M)
{
    if (!validLengths(N, M))
        return kForbidden;
    Lanes& L = store.lanes;
    const int g = DtwWordStore::kLaneGroups;
    std::int16_t members[kLanes] = {std::int16_t(r)};
    int frames[kLanes] = {M};
    fillGroup(store, g, members, frames, M);
    startBands(L, method, N);
    float score[kLanes];
    scoreGroup(store, g, frames, method, store.testValues(w), N, score);
    return score[0];
}

}  // namespace

float ItakuraScoreByColumn(DtwWordStore& store, int w, int N, int r, int M)
{
    return laneScore(store, kMethodItakura, w, N, r, M);
}

float GeneralScoreByColumn(DtwWordStore& store, int w, int N, int r, int M)
{
    return laneScore(store, kMethodGeneral, w, N, r, M);
}

float LinearScoreByColumn(DtwWordStore& store, int w, int N, int r, int M)
{
    return laneScore(store, kMethodLinear, w, N, r, M);
}

int batchKernelLevel(char method)
{
    return int(chosenLevel(method == kMethodItakura || method == kMethodGeneral ? method : char(kMethodLinear)));
}

std::int16_t MatchAllReferences(DtwWordStore& store, int w)
{
    store.best = BestResult{};
    if (w < 1 || w > store.testWordCount)
        return store.best.label;
    const char method = store.method;
    if (method != kMethodItakura && method != kMethodGeneral && method != kMethodLinear)
        return store.best.label;  // an unknown method scores nothing
    const int N = store.testWord(w).frames;
    const int total = std::clamp<int>(store.referenceTotal, 0, kMaxReferences);
    layOutReferences(store, total);
    Lanes& L = store.lanes;
    startBands(L, method, N);
    std::array<float, kMaxReferences + 1> scores;
    scores.fill(kForbidden);
    for (int g = 0; g < L.groups; ++g) {
        const std::int16_t* members = &L.member[std::size_t(g) * kLanes];
        int frames[kLanes];
        for (int k = 0; k < kLanes; ++k)
            frames[k] = members[k] ? store.reference(members[k]).frames : 0;
        float score[kLanes];
        scoreGroup(store, g, frames, method, store.testValues(w), N, score);
        for (int k = 0; k < kLanes; ++k)
            if (members[k])
                scores[std::size_t(members[k])] = score[k];
    }
    for (int r = 1; r <= total; ++r) {
        const WordRecord& ref = store.reference(r);
        const float s = scores[std::size_t(r)];
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
