#pragma once
// A kernel compiled once per instruction-set level that tells what it was
// compiled for: the level's number and the widest vector extensions enabled.
#include "common/IsaLevel.h"

namespace talvor::isatest {

struct Probe {
    int level;    // 0 baseline .. 3 v4
    bool sse42;   // v2 and above
    bool avx2;    // v3 and above
    bool avx512;  // v4
    bool fma;     // available to the compiler (never used for contraction)
};

TALVOR_ISA_DECLARE(Probe probe())
TALVOR_ISA_DECLARE(float dotInOrder(const float* a, const float* b, int n))

}  // namespace talvor::isatest
