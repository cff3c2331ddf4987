#include "ComponentSums.h"

#include <immintrin.h>

namespace talvor::hmmview::TALVOR_ISA_NS {

namespace {

#if defined(TALVOR_ISA_LEVEL_v4)
constexpr std::size_t kLanes = 16;
#elif defined(TALVOR_ISA_LEVEL_v3)
constexpr std::size_t kLanes = 8;
#else
constexpr std::size_t kLanes = 4;
#endif
static_assert(kComponentLanes % kLanes == 0 && 64 % kLanes == 0);

typedef float Vec __attribute__((vector_size(kLanes * sizeof(float))));

// Loads of whole vectors at any float address.
inline Vec load(const float* p)
{
    Vec v;
    __builtin_memcpy(&v, p, sizeof v);
    return v;
}

// One bit per lane: set where !(sum >= threshold).
inline std::uint64_t belowBits(Vec sum, Vec threshold)
{
#if defined(TALVOR_ISA_LEVEL_v4)
    return _mm512_cmp_ps_mask(reinterpret_cast<__m512>(sum), reinterpret_cast<__m512>(threshold), _CMP_NGE_UQ);
#elif defined(TALVOR_ISA_LEVEL_v3)
    return static_cast<unsigned>(_mm256_movemask_ps(
        _mm256_cmp_ps(reinterpret_cast<__m256>(sum), reinterpret_cast<__m256>(threshold), _CMP_NGE_UQ)));
#else
    return static_cast<unsigned>(
        _mm_movemask_ps(_mm_cmpnge_ps(reinterpret_cast<__m128>(sum), reinterpret_cast<__m128>(threshold))));
#endif
}

struct Arrays {
    const float* x;
    std::size_t features;
    const float* means;
    const float* inv;
    const float* floorFrom;
    std::size_t stride;
    float* sums;
    std::uint64_t* live;
};

// N vectors of components from `c` for K frames from `k0`, all features:
// N x K independent sums in flight, each frame's sum in its own order.
template <std::size_t N, std::size_t K>
inline void block(const Arrays& a, std::size_t c, std::size_t k0)
{
    // The loops over k and n unrolled whole, so that the sums stay in registers.
    Vec acc[K][N];
#pragma GCC unroll 4
    for (std::size_t k = 0; k < K; ++k)
#pragma GCC unroll 2
        for (std::size_t n = 0; n < N; ++n)
            acc[k][n] = Vec{};
    const float* x = a.x + k0 * a.features;
    for (std::size_t f = 0; f < a.features; ++f) {
        const float* mf = a.means + f * a.stride + c;
        const float* vf = a.inv + f * a.stride + c;
#pragma GCC unroll 2
        for (std::size_t n = 0; n < N; ++n) {
            const Vec iv = load(vf + n * kLanes);
            const Vec mean = load(mf + n * kLanes);
#pragma GCC unroll 4
            for (std::size_t k = 0; k < K; ++k) {
                const Vec d = x[k * a.features + f] - mean;
                const Vec term = d * d * iv;
                // As in the scalar loop: a zero inverse leaves the sum alone.
                acc[k][n] = iv != 0.0f ? acc[k][n] + term : acc[k][n];
            }
        }
    }
    const std::size_t words = liveWords(a.stride);
#pragma GCC unroll 2
    for (std::size_t n = 0; n < N; ++n) {
        const std::size_t at = c + n * kLanes;
        const Vec threshold = load(a.floorFrom + at);
#pragma GCC unroll 4
        for (std::size_t k = 0; k < K; ++k) {
            __builtin_memcpy(a.sums + (k0 + k) * a.stride + at, &acc[k][n], sizeof(Vec));
            a.live[(k0 + k) * words + at / 64] |= belowBits(acc[k][n], threshold) << (at % 64);
        }
    }
}

template <std::size_t N>
inline void frameGroups(const Arrays& a, std::size_t c, std::size_t frames)
{
    switch (frames) {
    case 4: block<N, 4>(a, c, 0); break;
    case 3: block<N, 3>(a, c, 0); break;
    case 2: block<N, 2>(a, c, 0); break;
    case 1: block<N, 1>(a, c, 0); break;
    default: break;
    }
}

}  // namespace

void componentSums(const float* x, std::size_t frames, std::size_t features, const float* means,
                   const float* invCovars, const float* floorFrom, std::size_t stride, float* sums,
                   std::uint64_t* live)
{
    static_assert(kFramesAtOnce == 4);
    if (frames > kFramesAtOnce)
        frames = kFramesAtOnce;
    const Arrays a{x, features, means, invCovars, floorFrom, stride, sums, live};
    for (std::size_t w = 0; w < frames * liveWords(stride); ++w)
        live[w] = 0;
    std::size_t c = 0;
    for (; c + 2 * kLanes <= stride; c += 2 * kLanes)
        frameGroups<2>(a, c, frames);
    if (c < stride)
        frameGroups<1>(a, c, frames);
}

}  // namespace talvor::hmmview::TALVOR_ISA_NS
