// Compiled once per x86-64 level (TALVOR_ISA_NS).  A group's lanes (one
// reference each) are one vector of 4, 8 or 16 floats; each lane does the
// scalar steps of its cell in their order: IEEE subtract, multiply, add and
// square root round the same in every lane as in scalar code, no
// multiply-add is fused, and no sum is reordered.
#include "DtwKernels.h"

#include "engine/ClassifyDtw.h"

#include "WideVectors.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <type_traits>

#if defined(__x86_64__)
// GCC 12 takes the intrinsics' undefined pass-through vectors for
// uninitialised reads once they are inlined.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#pragma GCC diagnostic ignored "-Wuninitialized"
#include <immintrin.h>
#pragma GCC diagnostic pop
#endif

// The vectors stay inside this source: no call passes one between copies
// compiled for different levels.
#pragma GCC diagnostic ignored "-Wpsabi"

namespace talvor::engine::dtwkernels::TALVOR_ISA_NS {

namespace {

template <int W>
struct Lanes {
    typedef float F __attribute__((vector_size(W * sizeof(float))));
    typedef std::int32_t I __attribute__((vector_size(W * sizeof(std::int32_t))));
};

template <class V>
inline V splat(float x)
{
    return V{} + x;
}

// The square root of every lane, exactly rounded as std::sqrt.
template <int W>
inline typename Lanes<W>::F squareRoot(typename Lanes<W>::F x)
{
#if defined(__AVX512F__)
    if constexpr (W == 16) {
        // The masked form with every lane set: the same instruction, without
        // the undefined pass-through value GCC 12 warns about.
        const __m512 v = reinterpret_cast<__m512>(x);
        return reinterpret_cast<typename Lanes<W>::F>(_mm512_mask_sqrt_ps(v, static_cast<__mmask16>(0xFFFF), v));
    }
#endif
#if defined(__AVX__)
    if constexpr (W == 8)
        return reinterpret_cast<typename Lanes<W>::F>(_mm256_sqrt_ps(reinterpret_cast<__m256>(x)));
#endif
#if defined(__SSE2__)
    if constexpr (W == 4)
        return reinterpret_cast<typename Lanes<W>::F>(_mm_sqrt_ps(reinterpret_cast<__m128>(x)));
#endif
    for (int k = 0; k < W; ++k)
        x[k] = std::sqrt(x[k]);
    return x;
}

// The cost and flag columns of a group, cells -1..frames+1, a vector each.
template <int W>
struct Columns {
    float* d;
    std::int32_t* kept;

    Columns(const LaneGroup& g)
        : d(g.work), kept(reinterpret_cast<std::int32_t*>(g.work + std::size_t(g.frames + 3) * W))
    {
        std::fill(d, d + std::size_t(g.frames + 3) * W, kDtwUnreachable);
        std::fill(kept, kept + std::size_t(g.frames + 3) * W, 0);
    }
    float* at(int j) const { return d + std::size_t(j + 1) * W; }
    std::int32_t* flagAt(int j) const { return kept + std::size_t(j + 1) * W; }
};

// The local distances of test frame t to the group's reference frames
// j0..j0+K-1, lane by lane: the squared differences summed in order of the
// coefficients, then the square root.  Several frames share each
// coefficient of t, so that several sums are under way at once.
template <int W, int K>
inline void distances(const LaneGroup& g, const float* t, int j0, typename Lanes<W>::F* out)
{
    using F = typename Lanes<W>::F;
    const std::size_t frameStride = std::size_t(g.dim) * std::size_t(g.rowFloats);
    const float* v = g.values + std::size_t(j0 - 1) * frameStride;
    F sum[K];
#pragma GCC unroll 4
    for (int b = 0; b < K; ++b)
        sum[b] = F{};
    for (int c = 0; c < g.dim; ++c, v += g.rowFloats) {
        const float tc = t[c];
#pragma GCC unroll 4
        for (int b = 0; b < K; ++b) {
            const F diff = tc - load<F>(v + std::size_t(b) * frameStride);
            sum[b] = sum[b] + diff * diff;
        }
    }
#pragma GCC unroll 4
    for (int b = 0; b < K; ++b)
        out[b] = squareRoot<W>(sum[b]);
}

// Blocks of up to four frames between lo and hi, upwards or downwards:
// cell(j, distance) for every frame, the frames of a block after their
// distances (in the block's direction).
template <int W, bool Up, class Cell>
inline void blocks(const LaneGroup& g, const float* t, int lo, int hi, Cell&& cell)
{
    using F = typename Lanes<W>::F;
    F d[4];
    for (int done = 0; done < hi - lo + 1; done += 4) {
        const int count = std::min(4, hi - lo + 1 - done);
        const int j0 = Up ? lo + done : hi - done - count + 1;
        switch (count) {
        case 4:
            distances<W, 4>(g, t, j0, d);
            break;
        case 3:
            distances<W, 3>(g, t, j0, d);
            break;
        case 2:
            distances<W, 2>(g, t, j0, d);
            break;
        default:
            distances<W, 1>(g, t, j0, d);
            break;
        }
        if (Up) {
            for (int b = 0; b < count; ++b)
                cell(j0 + b, d[b]);
        } else {
            for (int b = count - 1; b >= 0; --b)
                cell(j0 + b, d[b]);
        }
    }
}

template <int W>
void finish(const LaneGroup& g, const Columns<W>& columns)
{
    for (int k = 0; k < W; ++k)
        g.out[k] = columns.at(g.last[k])[k];
}

template <int W>
void itakura(const LaneGroup& g)
{
    using F = typename Lanes<W>::F;
    using I = typename Lanes<W>::I;
    const Columns<W> columns(g);
    const F unreachable = splat<F>(kDtwUnreachable);
    if (g.rowLow[0] <= g.rowHigh[0]) {
        const I in = load<I>(g.low) == 1;
        blocks<W, true>(g, g.test, 1, 1, [&](int, F d) { store(columns.at(1), in ? d : unreachable); });
    }
    for (int i = 2; i <= g.n; ++i) {
        const int lo = g.rowLow[i - 1], hi = g.rowHigh[i - 1];
        if (lo > hi)
            break;
        const I low = load<I>(g.low + std::size_t(i - 1) * W);
        const I high = load<I>(g.high + std::size_t(i - 1) * W);
        // Downwards, so that cells j-2, j-1 and j still hold column i-1.
        blocks<W, false>(g, g.test + std::size_t(i - 1) * g.dim, lo, hi, [&](int j, F local) {
            const F twoBelow = load<F>(columns.at(j - 2));
            const F below = load<F>(columns.at(j - 1));
            const F same = load<F>(columns.at(j));
            const I wasKept = load<I>(columns.flagAt(j));
            const F h = below < twoBelow ? below : twoBelow;
            // Keeps the reference frame, not twice in a row.
            const I keep = (wasKept == 0) & (same < h);
            const F taken = keep ? same : h;
            const I inside = (low <= j) & (high >= j);
            store(columns.at(j), inside ? taken + local : same);
            store(columns.flagAt(j), inside ? keep : wasKept);
        });
        for (int k = 0; k < W; ++k) {
            const int l = g.low[std::size_t(i - 1) * W + std::size_t(k)];
            if (l != kNoLow)
                columns.at(l - 1)[k] = kDtwUnreachable;
        }
    }
    finish(g, columns);
}

template <int W>
void band(const LaneGroup& g)
{
    using F = typename Lanes<W>::F;
    using I = typename Lanes<W>::I;
    const Columns<W> columns(g);
    const F unreachable = splat<F>(kDtwUnreachable);
    {
        // The first test frame: each cell the one below it plus its
        // distance, up to the lane's limit; cells above it unreachable.
        const I high = load<I>(g.high);
        F before = unreachable;
        if (g.rowLow[0] <= g.rowHigh[0])
            blocks<W, true>(g, g.test, 1, g.rowHigh[0], [&](int j, F local) {
                const F value = j == 1 ? local : before + local;
                before = high >= j ? value : unreachable;
                store(columns.at(j), before);
            });
    }
    for (int i = 2; i <= g.n; ++i) {
        const int lo = g.rowLow[i - 1], hi = g.rowHigh[i - 1];
        if (lo > hi)
            break;
        const I low = load<I>(g.low + std::size_t(i - 1) * W);
        const I high = load<I>(g.high + std::size_t(i - 1) * W);
        const I lowBelow = low - 1;
        // Upwards: `fresh` is cell j-1 of this column, `diag` of the one
        // before.  Cell low - 1 of each lane becomes unreachable.
        F diag = load<F>(columns.at(lo - 1));
        F fresh = lowBelow == lo - 1 ? unreachable : diag;
        store(columns.at(lo - 1), fresh);
        blocks<W, true>(g, g.test + std::size_t(i - 1) * g.dim, lo, hi, [&](int j, F local) {
            const F up = load<F>(columns.at(j));
            const F nearer = diag < fresh ? diag : fresh;
            const F best = up < nearer ? up : nearer;
            const F outside = lowBelow == j ? unreachable : up;
            fresh = (low <= j) & (high >= j) ? local + best : outside;
            store(columns.at(j), fresh);
            diag = up;
        });
    }
    finish(g, columns);
}

// run(lanes) with the group's lane count as a constant: 16, 8 or 4.
template <class Run>
void byLanes(int lanes, Run run)
{
    switch (lanes) {
    case 16:
        run(std::integral_constant<int, 16>{});
        break;
    case 8:
        run(std::integral_constant<int, 8>{});
        break;
    default:
        run(std::integral_constant<int, 4>{});
        break;
    }
}

}  // namespace

void gatherRows(const float* layout, int layoutRow, const int* source, int slots, const std::size_t* blockRows,
                float* out)
{
    std::size_t rows = 0;
    int reach = 0;
    for (int s = 0; s < slots; ++s)
        reach = std::max(reach, source[s]);
    for (int b = 0; b < slots / 16; ++b)
        rows = std::max(rows, blockRows[b]);
    // Rows a few ahead are fetched while this one is copied: a row's values
    // lie in several cache lines, a whole layout row apart from the next.
    constexpr std::size_t kAhead = 6;
#if defined(__AVX512F__)
    // The row's values 0..reach as vectors of 16, two of them a table of 32
    // that one permutation picks from: each block of 16 slots takes its
    // lanes from the tables its references lie in.
    const int vectors = reach / 16 + 1;
    const int tables = (vectors + 1) / 2;
    const int blocks = slots / 16;
    __m512i index[16];         // at most 256 slots
    __mmask16 from[16 * 8] = {};  // and 8 tables
    for (int b = 0; b < blocks; ++b) {
        alignas(64) std::int32_t lane[16];
        for (int k = 0; k < 16; ++k) {
            const int r = source[b * 16 + k];
            lane[k] = r % 32;
            from[std::size_t(b) * std::size_t(tables) + std::size_t(r / 32)] |= static_cast<__mmask16>(1u << k);
        }
        index[b] = _mm512_load_si512(lane);
    }
    const __mmask16 lastVector = static_cast<__mmask16>((2u << (reach % 16)) - 1);
    __m512 row[16];
#endif
    for (std::size_t v = 0; v < rows; ++v, layout += layoutRow, out += slots) {
        if (v + kAhead < rows)
            for (int at = 0; at <= reach; at += 16)
                __builtin_prefetch(layout + kAhead * std::size_t(layoutRow) + at);
#if defined(__AVX512F__)
        for (int q = 0; q < vectors; ++q)
            row[q] = q + 1 < vectors ? _mm512_loadu_ps(layout + 16 * q) : _mm512_maskz_loadu_ps(lastVector, layout + 16 * q);
        if (vectors % 2)
            row[vectors] = _mm512_setzero_ps();
        for (int b = 0; b < blocks; ++b) {
            if (v >= blockRows[b])
                continue;
            __m512 value = _mm512_setzero_ps();
            const __mmask16* mask = from + std::size_t(b) * std::size_t(tables);
            for (int t = 0; t < tables; ++t)
                if (mask[t])
                    value = _mm512_mask_mov_ps(value, mask[t],
                                               _mm512_permutex2var_ps(row[2 * t], index[b], row[2 * t + 1]));
            _mm512_store_ps(out + 16 * b, value);
        }
#else
        for (int s = 0; s < slots; ++s)
            if (v < blockRows[s / 16])
                out[s] = layout[source[s]];
#endif
    }
}

void itakuraLanes(const LaneGroup& group)
{
    byLanes(group.lanes, [&](auto lanes) { itakura<decltype(lanes)::value>(group); });
}

void bandLanes(const LaneGroup& group)
{
    byLanes(group.lanes, [&](auto lanes) { band<decltype(lanes)::value>(group); });
}

}  // namespace talvor::engine::dtwkernels::TALVOR_ISA_NS
