#include "IsaProbe.h"

namespace talvor::isatest::TALVOR_ISA_NS {

Probe probe()
{
    Probe p{};
#if defined(TALVOR_ISA_LEVEL_v4)
    p.level = 3;
#elif defined(TALVOR_ISA_LEVEL_v3)
    p.level = 2;
#elif defined(TALVOR_ISA_LEVEL_v2)
    p.level = 1;
#else
    p.level = 0;
#endif
#ifdef __SSE4_2__
    p.sse42 = true;
#endif
#ifdef __AVX2__
    p.avx2 = true;
#endif
#ifdef __AVX512F__
    p.avx512 = true;
#endif
#ifdef __FMA__
    p.fma = true;
#endif
    return p;
}

// a[k] * b[k] added in order: a compiler allowed to fuse would round once
// per step instead of twice.
float dotInOrder(const float* a, const float* b, int n)
{
    float sum = 0.0f;
    for (int k = 0; k < n; ++k)
        sum = sum + a[k] * b[k];
    return sum;
}

}  // namespace talvor::isatest::TALVOR_ISA_NS
