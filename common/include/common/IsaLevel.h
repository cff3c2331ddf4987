#pragma once
// Instruction-set levels of x86-64 for the wide arithmetic kernels.
//
// A kernel source is compiled once per level (talvor_isa_kernels in
// cmake/Components.cmake), each copy in its own namespace (TALVOR_ISA_NS:
// isa_baseline, isa_v2, isa_v3, isa_v4) and with that level's -march, so one
// binary runs on every x86-64 machine and uses the widest vectors the machine
// has.  A caller keeps the four entry points in a table indexed by Level and
// calls select(table).  Every level computes the same bits: the kernels keep
// 32-bit float operations in order and never fuse a multiply and an add.
//
// The active level is the machine's own, lowered by setCeiling (tests force
// each level the machine supports; benchmarks compare them).  Header only:
// each library that links kernels keeps its own ceiling.

#include <algorithm>
#include <atomic>

namespace talvor::isa {

enum class Level : int { Baseline = 0, V2 = 1, V3 = 2, V4 = 3 };

inline constexpr Level kAllLevels[] = {Level::Baseline, Level::V2, Level::V3, Level::V4};

inline const char* levelName(Level level)
{
    switch (level) {
    case Level::V2: return "x86-64-v2";
    case Level::V3: return "x86-64-v3";
    case Level::V4: return "x86-64-v4";
    default: return "x86-64";
    }
}

// The highest level this machine (processor and operating system) runs.
inline Level supportedLevel()
{
#if defined(__x86_64__) && defined(__GNUC__)
    static const Level level = [] {
        __builtin_cpu_init();
#if defined(__clang__)
        // Clang knows no level names here: the levels' telling features.
        const bool v2 = __builtin_cpu_supports("sse4.2") && __builtin_cpu_supports("popcnt") &&
                        __builtin_cpu_supports("ssse3");
        const bool v3 = v2 && __builtin_cpu_supports("avx2") && __builtin_cpu_supports("fma") &&
                        __builtin_cpu_supports("bmi2");
        const bool v4 = v3 && __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512bw") &&
                        __builtin_cpu_supports("avx512dq") && __builtin_cpu_supports("avx512vl");
#else
        const bool v4 = __builtin_cpu_supports("x86-64-v4");
        const bool v3 = __builtin_cpu_supports("x86-64-v3");
        const bool v2 = __builtin_cpu_supports("x86-64-v2");
#endif
        if (v4)
            return Level::V4;
        if (v3)
            return Level::V3;
        if (v2)
            return Level::V2;
        return Level::Baseline;
    }();
    return level;
#else
    return Level::Baseline;  // elsewhere every copy is built for the baseline
#endif
}

namespace detail {
inline std::atomic<int>& ceiling()
{
    static std::atomic<int> value{static_cast<int>(Level::V4)};
    return value;
}
}  // namespace detail

// Kernels run at most at `level` (and never above the machine's own).
inline void setCeiling(Level level)
{
    detail::ceiling().store(static_cast<int>(level), std::memory_order_relaxed);
}

inline Level activeLevel()
{
    return static_cast<Level>(
        std::min(static_cast<int>(supportedLevel()), detail::ceiling().load(std::memory_order_relaxed)));
}

// The entry of the active level from a table of one entry per level.
template <class F>
F select(const F (&table)[4])
{
    return table[static_cast<int>(activeLevel())];
}

// Lowers the ceiling for a scope (a test or a benchmark run) and restores the
// previous one at its end.
class ScopedCeiling {
public:
    explicit ScopedCeiling(Level level)
        : m_previous(detail::ceiling().load())
    {
        setCeiling(level);
    }
    ~ScopedCeiling() { detail::ceiling().store(m_previous); }
    ScopedCeiling(const ScopedCeiling&) = delete;
    ScopedCeiling& operator=(const ScopedCeiling&) = delete;

private:
    int m_previous;
};

}  // namespace talvor::isa

// Declares one kernel in each level's namespace, inside the caller's namespace:
//   TALVOR_ISA_DECLARE(float score(const float* a, int n))
#define TALVOR_ISA_DECLARE(...)        \
    namespace isa_baseline {           \
    __VA_ARGS__;                       \
    }                                  \
    namespace isa_v2 {                 \
    __VA_ARGS__;                       \
    }                                  \
    namespace isa_v3 {                 \
    __VA_ARGS__;                       \
    }                                  \
    namespace isa_v4 {                 \
    __VA_ARGS__;                       \
    }

// The table of one kernel's four copies, in Level order, for select().
#define TALVOR_ISA_TABLE(name) {isa_baseline::name, isa_v2::name, isa_v3::name, isa_v4::name}
