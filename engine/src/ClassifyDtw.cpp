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
// general() above, cell for cell, with the local distances of a column
// in wide vectors (DtwKernels.cpp) and the Itakura column without a branch.
// The band method's column is a chain (each cell needs the one below it):
// several references run in lockstep so their chains overlap.
namespace fast {

using dtwkernels::kDtwPad;

constexpr int kLockstep = 16;

// One reference word coefficient-major, with its cost column.
struct Reference {
    int m = 0;
    int stride = 0;
    std::vector<float> coefficients;  // row c: kDtwPad, frames 1..m, kDtwPad
    std::vector<float> column;        // kDtwPad, d[0..m+1], kDtwPad
    std::vector<std::int32_t> flags;  // the same shape as column
    std::vector<float> local;         // kDtwPad, local[j] for the current column, room for a vector past m
    float distance = 0.0f;
    bool running = false;

    const float* refT() const { return coefficients.data() + kDtwPad; }  // frame j at refT()[c * stride + j - 1]
    float* d() { return column.data() + kDtwPad; }
    std::int32_t* kept() { return flags.data() + kDtwPad; }
    float* localColumn() { return local.data() + kDtwPad; }

    void prepare(int frames, int dim)
    {
        m = frames;
        stride = m + 2 * kDtwPad;
        coefficients.assign(std::size_t(dim) * std::size_t(stride), 0.0f);
        column.assign(std::size_t(m) + 2 + 2 * kDtwPad, kDtwUnreachable);
        flags.assign(column.size(), 0);
        local.assign(std::size_t(m) + 1 + 2 * kDtwPad, 0.0f);
    }

    // frameDistance of a test frame and reference frame j, in its order.
    float distanceTo(const float* testFrame, int j, int dim) const
    {
        float sum = 0.0f;
        for (int c = 0; c < dim; ++c) {
            const float diff = testFrame[c] - refT()[std::ptrdiff_t(c) * stride + j - 1];
            sum = sum + diff * diff;
        }
        return std::sqrt(sum);
    }
};

using ItakuraColumn = decltype(&dtwkernels::isa_baseline::itakuraColumn);
using BandDistances = decltype(&dtwkernels::isa_baseline::bandDistances);

float itakura(const float* test, int n, Reference& ref, int dim, ItakuraColumn column)
{
    const int m = ref.m;
    if (2 * m < n || 2 * n - 1 < m)
        return kDtwUnreachable;
    float* d = ref.d();
    d[1] = ref.distanceTo(test, 1, dim);
    for (int i = 2; i <= n; ++i) {
        const BandLimits b = bandLimits('I', i, n, m, 0);
        if (b.low > b.high)
            return kDtwUnreachable;
        column(d, ref.kept(), test + std::size_t(i - 1) * dim, ref.refT(), ref.stride, dim, b.low, b.high,
               ref.localColumn());
    }
    return normalised(d[m], n);
}

// The band method over up to kLockstep references at once; each one's
// cells are computed exactly as general() computes them.
void general(const float* test, int n, Reference* refs, int count, int dim, int band, BandDistances distances)
{
    for (int k = 0; k < count; ++k) {
        Reference& ref = refs[k];
        const int m = ref.m;
        float* d = ref.d();
        const int high0 = bandLimits('N', 0, n, m, band).high;
        d[1] = ref.distanceTo(test, 1, dim);
        for (int j = 2; j <= std::min(high0, m); ++j)
            d[j] = d[j - 1] + ref.distanceTo(test, j, dim);
        for (int j = std::max(high0 + 1, 1); j <= m; ++j)
            d[j] = kDtwUnreachable;
        ref.running = true;
    }
    // A chain keeps the cell it has just written (the next cell's d[j-1])
    // in a register rather than reading it back.
    struct Chain {
        float* d;
        const float* local;
        int low;
        int high;
        float diag;
        float below;
    };
    Chain chains[kLockstep];
    for (int i = 2; i <= n; ++i) {
        const float* testFrame = test + std::size_t(i - 1) * dim;
        int active = 0;
        int longest = 0;
        for (int k = 0; k < count; ++k) {
            Reference& ref = refs[k];
            if (!ref.running)
                continue;
            const BandLimits b = bandLimits('N', i, n, ref.m, band);
            if (b.low > b.high) {
                ref.running = false;
                ref.distance = kDtwUnreachable;
                continue;
            }
            distances(testFrame, ref.refT(), ref.stride, dim, b.low, b.high, ref.localColumn());
            float* d = ref.d();
            chains[active++] = {d, ref.localColumn(), b.low, b.high, d[b.low - 1], kDtwUnreachable};
            d[b.low - 1] = kDtwUnreachable;
            longest = std::max(longest, b.high - b.low + 1);
        }
        // Step s of every chain, then step s + 1: independent chains side
        // by side, each in its own order.
        for (int s = 0; s < longest; ++s) {
            for (int c = 0; c < active; ++c) {
                Chain& ch = chains[c];
                const int j = ch.low + s;
                if (j > ch.high)
                    continue;
                const float up = ch.d[j];
                const float value = ch.local[j] + minOf(minOf(ch.below, ch.diag), up);
                ch.d[j] = value;
                ch.below = value;
                ch.diag = up;
            }
        }
    }
    for (int k = 0; k < count; ++k) {
        if (refs[k].running)
            refs[k].distance = normalised(refs[k].d()[refs[k].m], n);
    }
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
    using namespace dtwkernels;
    static constexpr fast::ItakuraColumn itakuraColumns[] = TALVOR_ISA_TABLE(itakuraColumn);
    static constexpr fast::BandDistances bandColumns[] = TALVOR_ISA_TABLE(bandDistances);
    const fast::ItakuraColumn itakuraColumn = isa::select(itakuraColumns);
    const fast::BandDistances bandColumn = isa::select(bandColumns);
    std::vector<fast::Reference> group(fast::kLockstep);
    std::vector<float> ref;
    float best = kDtwUnreachable;
    int bestIndex = -1;
    for (int first = 0; first < nRefs; first += fast::kLockstep) {
        const int count = std::min(fast::kLockstep, nRefs - first);
        if (method == 'I' || method == 'N') {
            // Coefficient-major, the group's references together: element
            // (r, v) of the layout lies beside (r + 1, v), so each row v of
            // the layout is read once for the whole group.
            int longest = 0;
            float* rows[fast::kLockstep];
            std::ptrdiff_t strides[fast::kLockstep];
            int frames[fast::kLockstep];
            for (int k = 0; k < count; ++k) {
                fast::Reference& member = group[std::size_t(k)];
                member.prepare(refFrames[std::size_t(first + k)], dim);
                longest = std::max(longest, member.m);
                rows[k] = member.coefficients.data() + kDtwPad;
                strides[k] = member.stride;
                frames[k] = member.m;
            }
            // Blocks of 16 frames of one coefficient: the 16 layout rows
            // stay in the cache while each reference's 16 values are
            // written one after the other.
            const float* source = refWords.data() + std::size_t(first);
            constexpr int kBlock = 16;
            for (int c = 0; c < dim; ++c) {
                for (int j0 = 0; j0 < longest; j0 += kBlock) {
                    for (int k = 0; k < count; ++k) {
                        float* out = rows[k] + std::ptrdiff_t(c) * strides[k];
                        const int end = std::min(j0 + kBlock, frames[k]);
                        for (int j = j0; j < end; ++j)
                            out[j] = source[std::size_t(k) + std::size_t(kDtwRefWords) *
                                                                 (std::size_t(j) * std::size_t(dim) + std::size_t(c))];
                    }
                }
            }
        }
        if (method == 'N')
            fast::general(test.data(), n, group.data(), count, dim, band, bandColumn);
        for (int k = 0; k < count; ++k) {
            const int r = first + k;
            const int m = refFrames[std::size_t(r)];
            float distance = 0.0f;
            switch (method) {
            case 'I':
                distance = fast::itakura(test.data(), n, group[std::size_t(k)], dim, itakuraColumn);
                break;
            case 'N':
                distance = group[std::size_t(k)].distance;
                break;
            case 'L':
                copyWord(refWords, r, kDtwRefWords, dim * m, ref);
                distance = dtwLinear(test.data(), n, ref.data(), m, dim);
                break;
            default:
                break;
            }
            // Results in order of the references: a negative distance stops
            // at the first one, with the earlier results written.
            if (distance < 0.0f)
                return -1;
            if (distance < best) {
                best = distance;
                bestIndex = r;
            }
            distances[std::size_t(r)] = distance;
            order[std::size_t(r)] = static_cast<std::int16_t>(r);
        }
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
