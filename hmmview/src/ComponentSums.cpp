#include "ComponentSums.h"

namespace talvor::hmmview::TALVOR_ISA_NS {

namespace {

#if defined(TALVOR_ISA_LEVEL_v4)
constexpr std::size_t kLanes = 16;
#elif defined(TALVOR_ISA_LEVEL_v3)
constexpr std::size_t kLanes = 8;
#else
constexpr std::size_t kLanes = 4;
#endif
static_assert(kComponentLanes % kLanes == 0);

typedef float Vec __attribute__((vector_size(kLanes * sizeof(float))));

// Loads and stores of whole vectors at any float address.
inline Vec load(const float* p)
{
    Vec v;
    __builtin_memcpy(&v, p, sizeof v);
    return v;
}

// N vectors of components from `c`, all features: N independent sums in flight.
template <std::size_t N>
inline void block(const float* x, std::size_t features, const float* means, const float* inv,
                  std::size_t stride, std::size_t c, float* sums)
{
    Vec acc[N];
    for (std::size_t k = 0; k < N; ++k)
        acc[k] = Vec{};
    for (std::size_t f = 0; f < features; ++f) {
        const float xf = x[f];
        const float* mf = means + f * stride + c;
        const float* vf = inv + f * stride + c;
        for (std::size_t k = 0; k < N; ++k) {
            const Vec iv = load(vf + k * kLanes);
            const Vec d = xf - load(mf + k * kLanes);
            const Vec term = d * d * iv;
            // As in the scalar loop: a zero inverse leaves the sum alone.
            acc[k] = iv != 0.0f ? acc[k] + term : acc[k];
        }
    }
    for (std::size_t k = 0; k < N; ++k)
        __builtin_memcpy(sums + c + k * kLanes, &acc[k], sizeof(Vec));
}

}  // namespace

void componentSums(const float* x, std::size_t features, const float* means, const float* invCovars,
                   std::size_t stride, float* sums)
{
    std::size_t c = 0;
    for (; c + 4 * kLanes <= stride; c += 4 * kLanes)
        block<4>(x, features, means, invCovars, stride, c, sums);
    switch ((stride - c) / kLanes) {
    case 3: block<3>(x, features, means, invCovars, stride, c, sums); break;
    case 2: block<2>(x, features, means, invCovars, stride, c, sums); break;
    case 1: block<1>(x, features, means, invCovars, stride, c, sums); break;
    default: break;
    }
}

}  // namespace talvor::hmmview::TALVOR_ISA_NS
