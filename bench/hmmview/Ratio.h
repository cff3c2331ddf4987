#pragma once
// Runs the registered benchmarks (../BenchRatio.h) and then prints how many
// times faster each fast path runs than its plain reference, in rounds in
// turn from CPU time.

#include <benchmark/benchmark.h>

#include <vector>

#include "../BenchRatio.h"

namespace talvor::bench {

inline int runWithRatios(int argc, char** argv, const std::vector<RatioPair>& pairs)
{
    return runAndPrintRatios(argc, argv, pairs);
}

}  // namespace talvor::bench
