#pragma once
// A benchmark run at one instruction-set level: the level is the benchmark's
// argument (0 x86-64 .. 3 x86-64-v4), its label names it, and the kernels'
// ceiling stays lowered to it for the benchmark's scope.  A level this machine
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

}  // namespace talvor::bench
