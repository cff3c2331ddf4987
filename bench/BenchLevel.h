#pragma once
// A benchmark run at one instruction-set level: the level is the benchmark's
// argument (0 x86-64 .. 3 x86-64-v4), its label names it, and every kernel
// path stays forced to it for the benchmark's scope.  A level this machine
// lacks is reported as skipped.

#include <benchmark/benchmark.h>

#include <optional>

#include "common/IsaLevel.h"

namespace talvor::bench {

class BenchLevel {
public:
    explicit BenchLevel(benchmark::State& state)
    {
        const auto level = static_cast<isa::Level>(state.range(0));
        if (level > isa::supportedLevel()) {
            state.SkipWithError("level not supported by this machine");
            return;
        }
        m_ceiling.emplace(level);
        state.SetLabel(isa::levelName(level));
    }
    bool supported() const { return m_ceiling.has_value(); }

private:
    std::optional<isa::ScopedCeiling> m_ceiling;
};

// Calls check(name) with no level forced (each path at the level it chose),
// then forced to each level the machine supports: for the checks of identical
// results that come before any timing.
template <class Check>
void atEveryLevel(Check check)
{
    for (const std::optional<isa::Level> level : isa::chosenAndSupportedLevels()) {
        const isa::ScopedCeiling ceiling(level);
        check(isa::levelName(level));
    }
}

}  // namespace talvor::bench
