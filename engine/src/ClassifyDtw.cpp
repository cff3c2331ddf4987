#include "engine/ClassifyDtw.h"

#include "DtwKernels.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace talvor::engine {

namespace {

inline float minOf(float a, float b)
{
    return b < a ? b : a;
}

// An accumulated cost at the unreachable mark (or beyond it, after adding a
// distance) stays unreachable; a reachable one is normalised by the test
// word's frame count.
inline float normalised(float accumulated, int n)
{
    return accumulated >= kDtwUnreachable ? kDtwUnreachable : accumulated / static_cast<float>(n);
}

// Cost columns reused over the references of one classification.
struct DtwWorkspace {
    std::vector<float> column;
    std::vector<unsigned char> flags;
};

float itakura(const float* test, int n, const float* ref, int m, int dim, DtwWorkspace& ws)
{
    if (2 * m < n || 2 * n - 1 < m)
        return kDtwUnreachable;
    // D[-1..m+1]; D[-1] is a guard cell that stays unreachable, read by the
    // two-frame step into reference frame 1.
    ws.column.assign(std::size_t(m) + 3, kDtwUnreachable);
    ws.flags.assign(std::size_t(m) + 2, 0);
    float* d = ws.column.data() + 1;
    unsigned char* kept = ws.flags.data();
    const auto local = [&](int i, int j) {
        return frameDistance(test + std::size_t(i - 1) * dim, ref + std::size_t(j - 1) * dim, dim);
    };
    d[1] = local(1, 1);
    for (int i = 2; i <= n; ++i) {
        const BandLimits b = bandLimits('I', i, n, m, 0);
        if (b.low > b.high)
            return kDtwUnreachable;
        // Downwards, so that d[j-2], d[j-1] and d[j] still hold column i-1.
        for (int j = b.high; j >= b.low; --j) {
            const float h = minOf(d[j - 2], d[j - 1]);
            float taken;
            if (!kept[j] && d[j] < h) {
                taken = d[j];  // keeps the reference frame; not twice in a row
                kept[j] = 1;
            } else {
                taken = h;
                kept[j] = 0;
            }
            d[j] = taken + local(i, j);
        }
        d[b.low - 1] = kDtwUnreachable;
    }
    return normalised(d[m], n);
}

float general(const float* test, int n, const float* ref, int m, int dim, int band, DtwWorkspace& ws)
{
    ws.column.assign(std::size_t(m) + 1, kDtwUnreachable);
    float* d = ws.column.data();
    const auto local = [&](int i, int j) {
        return frameDistance(test + std::size_t(i - 1) * dim, ref + std::size_t(j - 1) * dim, dim);
    };
    // The first test frame takes its band from the limits of frame 0.
    const int high0 = bandLimits('N', 0, n, m, band).high;
    d[1] = local(1, 1);
    for (int j = 2; j <= std::min(high0, m); ++j)
        d[j] = d[j - 1] + local(1, j);
    for (int j = std::max(high0 + 1, 1); j <= m; ++j)
        d[j] = kDtwUnreachable;
    for (int i = 2; i <= n; ++i) {
        const BandLimits b = bandLimits('N', i, n, m, band);
        if (b.low > b.high)
            return kDtwUnreachable;
        float diag = d[b.low - 1];  // cell (i-1, low-1)
        d[b.low - 1] = kDtwUnreachable;
        for (int j = b.low; j <= b.high; ++j) {
            const float up = d[j];  // cell (i-1, j)
            d[j] = local(i, j) + minOf(minOf(d[j - 1], diag), up);
            diag = up;
        }
    }
    return normalised(d[m], n);
}

// The classifier's fast path: the same recursions as itakura() and
// general() above, cell for cell, with the references side by side in the
// lanes of wide vectors (DtwKernels.cpp).  References of similar length go
// together, so that their bands, and the union of them a column computes,
// stay close.
namespace fast {

using dtwkernels::LaneGroup;
using Kernel = decltype(&dtwkernels::isa_baseline::itakuraLanes);
using GatherRows = decltype(&dtwkernels::isa_baseline::gatherRows);

// The widest group of each level (4 lanes below v3, 8 at v3, 16 at v4), and
// for the references that are left at v4 a group of 8 when they fit: it
// takes half the time of a full one.
int groupLanes(isa::Level level, int left)
{
    if (level >= isa::Level::V4)
        return left <= 8 ? 8 : 16;
    return level >= isa::Level::V3 ? 8 : 4;
}

// One group: its references and their bands.
struct Group {
    int first = 0;  // its references: byLength[first..first + count)
    int count = 0;
    int lanes = 0;
    int slot = 0;   // its lane 0 in a row of the side-by-side values
    int frames = 1;
    int top = 0;
    bool matches[16] = {};
    std::vector<std::int32_t> low, high, rowLow, rowHigh, last;
};

// The bands of a group's lanes, column by column, while each is not empty,
// and their union.
void planGroup(char method, int n, int band, std::span<const std::int16_t> refFrames, const int* refs, Group& g)
{
    const std::size_t W = std::size_t(g.lanes);
    g.low.assign(std::size_t(n) * W, dtwkernels::kNoLow);
    g.high.assign(std::size_t(n) * W, dtwkernels::kNoHigh);
    g.rowLow.assign(std::size_t(n), dtwkernels::kNoLow);
    g.rowHigh.assign(std::size_t(n), dtwkernels::kNoHigh);
    g.last.assign(W, 1);
    g.frames = 1;
    for (int k = 0; k < g.count; ++k) {
        const int m = refFrames[std::size_t(refs[k])];
        g.last[std::size_t(k)] = m;
        g.frames = std::max(g.frames, m);
        if (k > 0 && m == g.last[std::size_t(k - 1)]) {
            // The lane before it has the same length, so the same bands.
            for (std::size_t at = std::size_t(k); at < g.low.size(); at += W) {
                g.low[at] = g.low[at - 1];
                g.high[at] = g.high[at - 1];
            }
            g.matches[k] = g.matches[k - 1];
            continue;
        }
        bool alive = true;
        if (method == 'I') {
            alive = !(2 * m < n || 2 * n - 1 < m);
            if (alive) {
                g.low[std::size_t(k)] = 1;
                g.high[std::size_t(k)] = 1;
            }
        } else {
            g.low[std::size_t(k)] = 1;
            g.high[std::size_t(k)] = std::min(bandLimits('N', 0, n, m, band).high, m);
        }
        for (int i = 2; i <= n && alive; ++i) {
            const BandLimits b = bandLimits(method, i, n, m, method == 'N' ? band : 0);
            if (b.low > b.high) {
                alive = false;
                break;
            }
            g.low[std::size_t(i - 1) * W + std::size_t(k)] = b.low;
            g.high[std::size_t(i - 1) * W + std::size_t(k)] = b.high;
        }
        g.matches[k] = alive;
    }
    g.top = 0;
    for (int i = 1; i <= n; ++i) {
        std::int32_t lo = dtwkernels::kNoLow, hi = dtwkernels::kNoHigh;
        for (std::size_t k = 0; k < W; ++k) {
            const std::size_t at = std::size_t(i - 1) * W + k;
            if (g.low[at] <= g.high[at]) {
                lo = std::min(lo, g.low[at]);
                hi = std::max(hi, g.high[at]);
            }
        }
        g.rowLow[std::size_t(i - 1)] = lo;
        g.rowHigh[std::size_t(i - 1)] = hi;
        g.top = std::max(g.top, int(hi));
    }
}

// What a classification needs, kept by the thread: the next one needs about
// the same room, without fresh pages each time.
struct Workspace {
    std::vector<int> byLength;
    std::vector<Group> groups;
    std::vector<int> source;  // per slot: the reference
    std::vector<std::size_t> blockRows, insideRows;  // per block of 16 slots
    std::vector<float> values;  // from the first multiple of 64 bytes in it
    std::vector<float> work;
};

constexpr Kernel kItakuraKernels[] = {dtwkernels::isa_baseline::itakuraLanes, dtwkernels::isa_v2::itakuraLanes,
                                      dtwkernels::isa_v3::itakuraLanes, dtwkernels::isa_v4::itakuraLanes};
constexpr Kernel kBandKernels[] = {dtwkernels::isa_baseline::bandLanes, dtwkernels::isa_v2::bandLanes,
                                   dtwkernels::isa_v3::bandLanes, dtwkernels::isa_v4::bandLanes};
constexpr GatherRows kGathers[] = {dtwkernels::isa_baseline::gatherRows, dtwkernels::isa_v2::gatherRows,
                                   dtwkernels::isa_v3::gatherRows, dtwkernels::isa_v4::gatherRows};

// Every reference's distance, in order of the references, at `level` (the
// groups' width and every kernel); element (r, v) of the references at
// r + wordsPerRow v.
void matchAll(isa::Level level, char method, const float* test, int n, int dim, int band,
              std::span<const float> refWords, int wordsPerRow, std::span<const std::int16_t> refFrames, int nRefs,
              float* results)
{
    using namespace dtwkernels;
    const Kernel kernel = method == 'I' ? kItakuraKernels[int(level)] : kBandKernels[int(level)];
    thread_local Workspace ws;
    // Shortest first; equal lengths in order of the references.
    std::vector<int>& byLength = ws.byLength;
    byLength.resize(std::size_t(nRefs));
    for (int r = 0; r < nRefs; ++r)
        byLength[std::size_t(r)] = r;
    std::stable_sort(byLength.begin(), byLength.end(),
                     [&](int a, int b) { return refFrames[std::size_t(a)] < refFrames[std::size_t(b)]; });
    // The groups, and the slots of a row of values: each group's lanes side
    // by side.  A lane without a reference repeats the group's first one.
    int groups = 0;
    int slots = 0;
    int top = 0;
    int frames = 1;
    ws.source.clear();
    for (int first = 0; first < nRefs; ++groups) {
        if (ws.groups.size() <= std::size_t(groups))
            ws.groups.emplace_back();
        Group& g = ws.groups[std::size_t(groups)];
        g.first = first;
        g.lanes = groupLanes(level, nRefs - first);
        g.count = std::min(g.lanes, nRefs - first);
        g.slot = slots;
        planGroup(method, n, band, refFrames, byLength.data() + first, g);
        for (int k = 0; k < g.lanes; ++k) {
            const int r = byLength[std::size_t(first + (k < g.count ? k : 0))];
            ws.source.push_back(r);
        }
        slots += g.lanes;
        top = std::max(top, g.top);
        frames = std::max(frames, g.frames);
        first += g.count;
    }
    // Frames 1..top of every slot, row (j, c) after row, in one pass over
    // the layout; rows of whole cache lines, so that a group's row is one.
    // Past its reference's last frame a slot holds what the layout holds
    // there (zeros where that lies beyond the layout): values of cells
    // outside every band, which no result reads.
    const std::size_t rowFloats = (std::size_t(slots) + 15) / 16 * 16;
    const std::size_t rows = std::size_t(top) * std::size_t(dim);
    ws.values.resize(rows * rowFloats + 16);
    float* values = ws.values.data();
    values += (64 - reinterpret_cast<std::uintptr_t>(values) % 64) % 64 / sizeof(float);
    ws.source.resize(rowFloats, ws.source.empty() ? 0 : ws.source.front());
    // Each block of 16 slots: the rows its groups compute with, of those
    // the rows whose every slot lies in the layout, and the rest.
    std::size_t inside = rows;
    for (const int r : ws.source)
        inside = std::min(inside, (refWords.size() - std::size_t(r) - 1) / std::size_t(wordsPerRow) + 1);
    ws.blockRows.assign(rowFloats / 16, 0);
    for (int k = 0; k < groups; ++k) {
        const Group& g = ws.groups[std::size_t(k)];
        for (int s = g.slot; s < g.slot + g.lanes; s += 16)
            ws.blockRows[std::size_t(s / 16)] =
                std::max(ws.blockRows[std::size_t(s / 16)], std::size_t(g.top) * std::size_t(dim));
    }
    ws.insideRows.resize(ws.blockRows.size());
    for (std::size_t b = 0; b < ws.blockRows.size(); ++b)
        ws.insideRows[b] = std::min(ws.blockRows[b], inside);
    kGathers[int(level)](refWords.data(), wordsPerRow, ws.source.data(), int(rowFloats), ws.insideRows.data(),
                         values);
    for (std::size_t s = 0; s < rowFloats; ++s) {
        for (std::size_t v = inside; v < ws.blockRows[s / 16]; ++v) {
            const std::size_t at = std::size_t(ws.source[s]) + v * std::size_t(wordsPerRow);
            values[v * rowFloats + s] = at < refWords.size() ? refWords[at] : 0.0f;
        }
    }
    ws.work.resize(std::size_t(workFloats(16, frames)));
    for (int k = 0; k < groups; ++k) {
        Group& g = ws.groups[std::size_t(k)];
        float out[16];
        LaneGroup lanes;
        lanes.lanes = g.lanes;
        lanes.test = test;
        lanes.n = n;
        lanes.dim = dim;
        lanes.values = values + g.slot;
        lanes.rowFloats = int(rowFloats);
        lanes.low = g.low.data();
        lanes.high = g.high.data();
        lanes.rowLow = g.rowLow.data();
        lanes.rowHigh = g.rowHigh.data();
        lanes.last = g.last.data();
        lanes.frames = g.frames;
        lanes.work = ws.work.data();
        lanes.out = out;
        kernel(lanes);
        for (int l = 0; l < g.count; ++l)
            results[byLength[std::size_t(g.first + l)]] = g.matches[l] ? normalised(out[l], n) : kDtwUnreachable;
    }
}

// The level a method's classification runs at on this machine: timed once
// at its first use on 16 references of 40..60 frames, 20 values each.
isa::Level probeLevel(char method)
{
    constexpr int kRefs = 16, kDim = 20, kTestFrames = 50, kBand = 10;
    std::vector<std::int16_t> frames(kRefs);
    for (int r = 0; r < kRefs; ++r)
        frames[std::size_t(r)] = std::int16_t(40 + (r * 7) % 21);
    std::vector<float> test(std::size_t(kTestFrames) * kDim), refs(std::size_t(kRefs) * 60 * kDim);
    std::uint32_t x = 2024;
    for (float& v : test)
        v = isa::probeValue(&x);
    for (float& v : refs)
        v = isa::probeValue(&x);
    std::vector<float> results(kRefs);
    return isa::choosePathLevel([&](isa::Level level) {
        matchAll(level, method, test.data(), kTestFrames, kDim, kBand, refs, kRefs, frames, kRefs, results.data());
    });
}

isa::Level chosenLevel(char method)
{
    if (method == 'I') {
        static const isa::Level itakura = probeLevel('I');
        return itakura;
    }
    static const isa::Level band = probeLevel('N');
    return band;
}

}  // namespace fast

bool wordFits(std::size_t arraySize, int word, int wordsPerRow, long long values)
{
    // Element (word, v) at word + wordsPerRow v, v < values.
    return values <= 0 || static_cast<unsigned long long>(word) +
                                  static_cast<unsigned long long>(wordsPerRow) *
                                      static_cast<unsigned long long>(values - 1) <
                              arraySize;
}

void copyWord(std::span<const float> words, int word, int wordsPerRow, int values, std::vector<float>& out)
{
    out.resize(std::size_t(values));
    for (int v = 0; v < values; ++v)
        out[std::size_t(v)] = words[std::size_t(word) + std::size_t(wordsPerRow) * std::size_t(v)];
}

}  // namespace

float frameDistance(const float* a, const float* b, int dim)
{
    float sum = 0.0f;
    for (int c = 0; c < dim; ++c) {
        const float diff = a[c] - b[c];
        sum = sum + diff * diff;
    }
    return std::sqrt(sum);
}

BandLimits bandLimits(char method, int i, int n, int m, int band)
{
    // 64-bit intermediates: no product or sum of the arguments can wrap.
    const long long li = i, ln = n, lm = m, lb = band;
    if (method == 'I') {
        const long long low = std::max((li + 1) / 2, 2 * li + lm - 2 * ln);
        const long long high = std::min(lm - (ln - li) / 2, 2 * li - 1);
        return {static_cast<int>(std::clamp(low, -1LL << 30, 1LL << 30)),
                static_cast<int>(std::clamp(high, -1LL << 30, 1LL << 30))};
    }
    if (method == 'N') {
        const long long centre = n == 1 ? 1 : (li * (lm - 1) + ln - lm) / (ln - 1);
        long long low = centre - lb;
        if (low <= 0)
            low = 1;
        const long long high = std::min(centre + lb, lm);
        return {static_cast<int>(std::min(low, 1LL << 30)), static_cast<int>(std::max(high, -1LL << 30))};
    }
    return {1, 0};
}

float dtwItakura(const float* test, int n, const float* ref, int m, int dim)
{
    DtwWorkspace ws;
    return itakura(test, n, ref, m, dim, ws);
}

float dtwGeneral(const float* test, int n, const float* ref, int m, int dim, int band)
{
    DtwWorkspace ws;
    return general(test, n, ref, m, dim, band, ws);
}

float dtwLinear(const float* test, int n, const float* ref, int m, int dim)
{
    const float slope = n > 1 ? static_cast<float>(m - 1) / static_cast<float>(n - 1) : 0.0f;
    float sum = 0.0f;
    for (int g = 0; g < n; ++g) {
        const int j = std::clamp(static_cast<int>(static_cast<float>(g) * slope + 1.0f), 1, m);
        sum = sum + frameDistance(test + std::size_t(g) * dim, ref + std::size_t(j - 1) * dim, dim);
    }
    return sum / static_cast<float>(n);
}

int classifierKernelLevel(char method)
{
    return int(fast::chosenLevel(method == 'I' ? 'I' : 'N'));
}

int classifyWordDtw(char method, int dim, int band, int testIndex, std::span<const float> testWords,
                    std::span<const std::int16_t> testFrames, int nRefs, std::span<const float> refWords,
                    std::span<const std::int16_t> refFrames, std::span<float> distances,
                    std::span<std::int16_t> order)
{
    // Everything is checked before anything is written.
    if (testIndex < 1 || testIndex > kDtwTestWords || nRefs < 0 || nRefs > kDtwRefWords || dim < 1)
        return -1;
    if (testFrames.size() < std::size_t(testIndex) || refFrames.size() < std::size_t(nRefs) ||
        distances.size() < std::size_t(nRefs) || order.size() < std::size_t(nRefs))
        return -1;
    const int w = testIndex - 1;
    const int n = testFrames[std::size_t(w)];
    if (n < 1 || static_cast<long long>(dim) * n > kDtwMaxValues ||
        !wordFits(testWords.size(), w, kDtwTestWords, static_cast<long long>(dim) * n))
        return -1;
    for (int r = 0; r < nRefs; ++r) {
        const int m = refFrames[std::size_t(r)];
        if (m < 1 || static_cast<long long>(dim) * m > kDtwMaxValues ||
            !wordFits(refWords.size(), r, kDtwRefWords, static_cast<long long>(dim) * m))
            return -1;
    }

    std::vector<float> test;
    test.reserve(kDtwMaxValues);
    copyWord(testWords, w, kDtwTestWords, dim * n, test);
    std::vector<float> laneResults;
    if (method == 'I' || method == 'N') {
        laneResults.resize(std::size_t(nRefs));
        fast::matchAll(isa::pathLevel(fast::chosenLevel(method)), method, test.data(), n, dim, band, refWords,
                       kDtwRefWords, refFrames, nRefs, laneResults.data());
    }
    std::vector<float> ref;
    float best = kDtwUnreachable;
    int bestIndex = -1;
    for (int r = 0; r < nRefs; ++r) {
        const int m = refFrames[std::size_t(r)];
        float distance = 0.0f;
        switch (method) {
        case 'I':
        case 'N':
            distance = laneResults[std::size_t(r)];
            break;
        case 'L':
            copyWord(refWords, r, kDtwRefWords, dim * m, ref);
            distance = dtwLinear(test.data(), n, ref.data(), m, dim);
            break;
        default:
            break;
        }
        // Results in order of the references: a negative distance stops at
        // the first one, with the earlier results written.
        if (distance < 0.0f)
            return -1;
        if (distance < best) {
            best = distance;
            bestIndex = r;
        }
        distances[std::size_t(r)] = distance;
        order[std::size_t(r)] = static_cast<std::int16_t>(r);
    }
    return bestIndex + 1;
}

int localDistance(std::span<const float> test, std::span<const float> ref, int nTest, int nRef, int dim,
                  std::span<float> matrix, float& min, float& max)
{
    if (nTest > kLocalDistanceRow || dim < 0 || dim > kFeatureFrameFloats)
        return -1;
    const long long rows = std::max(nRef, 0);
    const long long cols = std::max(nTest, 0);
    if (rows > 0 && cols > 0) {
        if (static_cast<long long>(test.size()) < (cols - 1) * kFeatureFrameFloats + dim ||
            static_cast<long long>(ref.size()) < (rows - 1) * kFeatureFrameFloats + dim ||
            static_cast<long long>(matrix.size()) < (rows - 1) * kLocalDistanceRow + cols)
            return -1;
    }
    float hi = 0.0f;
    float lo = kDtwUnreachable;
    for (long long i = 0; i < rows && cols > 0; ++i) {
        for (long long t = 0; t < cols; ++t) {
            const float* a = test.data() + t * kFeatureFrameFloats;
            const float* b = ref.data() + i * kFeatureFrameFloats;
            float sum = 0.0f;
            for (int c = 0; c < dim; ++c) {
                const float diff = a[c] - b[c];
                sum = sum + diff * diff;
            }
            matrix[std::size_t(i * kLocalDistanceRow + t)] = sum;
            if (sum > hi)
                hi = sum;
            if (sum < lo)
                lo = sum;
        }
    }
    max = hi;
    min = lo;
    return 0;
}

long long prDataSourceFloats(int nWords, std::span<const std::int32_t> frameCounts)
{
    long long frames = 0;
    for (int w = 0; w < nWords && std::size_t(w) < frameCounts.size(); ++w)
        frames += std::max(frameCounts[std::size_t(w)], 0);
    return frames > 0 ? (kPrDataFirstFrame + frames) * kFeatureFrameFloats : 0;
}

long long prDataDestinationFloats(int nWords, std::span<const std::int32_t, kFeatureFrameFloats> mask,
                                  std::span<const std::int32_t> frameCounts)
{
    long long frames = 0;
    for (int w = 0; w < nWords && std::size_t(w) < frameCounts.size(); ++w)
        frames += std::max(frameCounts[std::size_t(w)], 0);
    const auto selected = std::count_if(mask.begin(), mask.end(), [](std::int32_t f) { return f != 0; });
    return frames * selected;
}

int makePrData(std::span<const float> source, std::span<float> destination, int nWords,
               std::span<const std::int32_t, kFeatureFrameFloats> mask, std::span<const std::int32_t> frameCounts)
{
    if (nWords > 0 && frameCounts.size() < std::size_t(nWords))
        return -1;
    if (static_cast<long long>(source.size()) < prDataSourceFloats(nWords, frameCounts) ||
        static_cast<long long>(destination.size()) < prDataDestinationFloats(nWords, mask, frameCounts))
        return -1;
    std::size_t out = 0;
    std::size_t frame = kPrDataFirstFrame;
    for (int w = 0; w < nWords; ++w) {
        const int frames = std::max(frameCounts[std::size_t(w)], 0);
        for (int k = 0; k < frames; ++k, ++frame) {
            for (int c = 0; c < kFeatureFrameFloats; ++c) {
                if (mask[std::size_t(c)] != 0)
                    destination[out++] = source[frame * kFeatureFrameFloats + std::size_t(c)];
            }
        }
    }
    return 0;
}

}  // namespace talvor::engine
