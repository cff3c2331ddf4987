#pragma once
// Vectors of the native width of the level a kernel source is compiled for
// (included by the per-level kernel sources only): 16 floats with AVX-512,
// 8 with AVX, 4 below.  Every operation is the exactly rounded IEEE one in
// each lane, so a lane computes the bits of the scalar step.

#include <cmath>
#include <cstdint>
#include <cstring>

#if defined(__x86_64__)
#include <immintrin.h>
#endif

// The vectors stay inside the kernel sources: no call passes one between
// copies compiled for different levels.
#pragma GCC diagnostic ignored "-Wpsabi"

namespace {

#if defined(__AVX512F__)
constexpr int kLanes = 16;
#elif defined(__AVX__)
constexpr int kLanes = 8;
#else
constexpr int kLanes = 4;
#endif

typedef float Floats __attribute__((vector_size(kLanes * sizeof(float))));
typedef std::int32_t Ints __attribute__((vector_size(kLanes * sizeof(std::int32_t))));

template <class V, class T>
inline V load(const T* p)
{
    V v;
    std::memcpy(&v, p, sizeof v);
    return v;
}

template <class V, class T>
inline void store(T* p, V v)
{
    std::memcpy(p, &v, sizeof v);
}

inline Ints laneNumbers()
{
    Ints lane;
    for (int k = 0; k < kLanes; ++k)
        lane[k] = k;
    return lane;
}

// The square root of every lane in one instruction.
inline Floats squareRoot(Floats x)
{
#if defined(__AVX512F__)
    // The masked form with every lane set: the same instruction, without the
    // undefined pass-through value GCC 12 warns about.
    const __m512 v = reinterpret_cast<__m512>(x);
    return reinterpret_cast<Floats>(_mm512_mask_sqrt_ps(v, static_cast<__mmask16>(0xFFFF), v));
#elif defined(__AVX__)
    return reinterpret_cast<Floats>(_mm256_sqrt_ps(reinterpret_cast<__m256>(x)));
#elif defined(__SSE2__)
    return reinterpret_cast<Floats>(_mm_sqrt_ps(reinterpret_cast<__m128>(x)));
#else
    for (int k = 0; k < kLanes; ++k)
        x[k] = std::sqrt(x[k]);
    return x;
#endif
}

}  // namespace
