#pragma once
// Instruction-set levels of x86-64 for the wide arithmetic kernels.
//
// A kernel source is compiled once per level (talvor_isa_kernels in
// cmake/Components.cmake), each copy in its own namespace (TALVOR_ISA_NS:
// isa_baseline, isa_v2, isa_v3, isa_v4) and with that level's -march, so one
// binary runs on every x86-64 machine with the vectors the machine has.  A
// caller keeps the four entry points in a table indexed by Level and calls
// select(table, chosen) with its path's choice.  Every level computes the same bits: the kernels keep
// 32-bit float operations in order and never fuse a multiply and an add.
//
// Each path (a kernel, or kernels that work together) runs at the level it
// chose for itself: once, at its first use, it times a small piece of its
// work at every level the machine runs and keeps the fastest (choosePathLevel
// below), since the widest vectors are not always the fastest (a serial chain
// of adds meets the longer latency of 512-bit adds on some processors; lanes
// filled one value at a time cost more the more there are).  Every level
// gives the same bits, so the choice changes only the speed.
//
// setCeiling forces every path to one level (never above the machine's own):
// tests force each level the machine supports; benchmarks compare them.
// Header only: each library that links kernels keeps its own ceiling.

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <limits>
#include <optional>
#include <vector>

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
inline constexpr int kUnforced = -1;  // no ceiling set: each path at its own choice
inline std::atomic<int>& ceiling()
{
    static std::atomic<int> value{kUnforced};
    return value;
}
}  // namespace detail

// Every path runs at `level` (or the machine's own, where that is lower),
// whatever it chose.
inline void setCeiling(Level level)
{
    detail::ceiling().store(static_cast<int>(level), std::memory_order_relaxed);
}

// Whether a ceiling forces the level of every path.
inline bool forced()
{
    return detail::ceiling().load(std::memory_order_relaxed) != detail::kUnforced;
}

// The forced level, or without a ceiling the machine's own.
inline Level activeLevel()
{
    const int ceiling = detail::ceiling().load(std::memory_order_relaxed);
    return static_cast<Level>(std::min(static_cast<int>(supportedLevel()),
                                       ceiling == detail::kUnforced ? static_cast<int>(Level::V4) : ceiling));
}

// The level a path that chose `chosen` runs at now: the forced one, or its
// choice (never above the machine's own).
inline Level pathLevel(Level chosen)
{
    return forced() ? activeLevel() : std::min(chosen, supportedLevel());
}

// The entry of the active level from a table of one entry per level.
template <class F>
F select(const F (&table)[4])
{
    return table[static_cast<int>(activeLevel())];
}

// The entry a path that chose `chosen` runs now (pathLevel).
template <class F>
F select(const F (&table)[4], Level chosen)
{
    return table[static_cast<int>(pathLevel(chosen))];
}

// A path's choice from the time each level took for the same work
// (seconds[level], for the levels up to `top`): the widest level that takes
// at most kChoiceMargin longer than the fastest, so that levels within the
// noise of a short probe keep the wider vectors.
inline constexpr double kChoiceMargin = 0.05;

inline Level fastestLevel(const double (&seconds)[4], Level top)
{
    const int last = static_cast<int>(top);
    double fastest = std::numeric_limits<double>::infinity();
    for (int l = 0; l <= last; ++l)
        fastest = std::min(fastest, seconds[l]);
    for (int l = last; l > 0; --l)
        if (seconds[l] <= fastest * (1.0 + kChoiceMargin))
            return static_cast<Level>(l);
    return Level::Baseline;
}

// Times trial(level) at every level the machine runs, in `rounds` rounds
// that take the levels in turn (upwards, then downwards), and chooses by each
// level's shortest time: a round that the scheduler or a cold cache slowed is
// never the shortest.  The trial does a small representative piece of the
// path's work (some tens of microseconds at the widest level) through the
// level's own entry, whatever the ceiling.
template <class Clock = std::chrono::steady_clock, class Trial>
Level choosePathLevel(Trial&& trial, int rounds = 7)
{
    const int top = static_cast<int>(supportedLevel());
    double seconds[4] = {std::numeric_limits<double>::infinity(), std::numeric_limits<double>::infinity(),
                         std::numeric_limits<double>::infinity(), std::numeric_limits<double>::infinity()};
    for (int r = 0; r < rounds; ++r) {
        for (int k = 0; k <= top; ++k) {
            const int l = r % 2 == 0 ? k : top - k;
            const auto start = Clock::now();
            trial(static_cast<Level>(l));
            const std::chrono::duration<double> took = Clock::now() - start;
            seconds[l] = std::min(seconds[l], took.count());
        }
    }
    return fastestLevel(seconds, static_cast<Level>(top));
}

// Data for a probe's trial: the same values -1..1 (in steps of 0.001) on
// every machine, drawn from `*state` (a linear congruential sequence).
inline float probeValue(std::uint32_t* state)
{
    *state = *state * 1664525u + 1013904223u;
    return static_cast<float>(static_cast<int>(*state >> 16) % 2001 - 1000) * 0.001f;
}

// Forces a level for a scope (a test or a benchmark run), or with no level
// lets every path run at its own choice, and restores the previous ceiling,
// or none, at its end.
class ScopedCeiling {
public:
    explicit ScopedCeiling(Level level)
        : m_previous(detail::ceiling().load())
    {
        setCeiling(level);
    }
    explicit ScopedCeiling(std::optional<Level> level)
        : m_previous(detail::ceiling().load())
    {
        detail::ceiling().store(level ? static_cast<int>(*level) : detail::kUnforced);
    }
    ~ScopedCeiling() { detail::ceiling().store(m_previous); }
    ScopedCeiling(const ScopedCeiling&) = delete;
    ScopedCeiling& operator=(const ScopedCeiling&) = delete;

private:
    int m_previous;
};

// What tests and benchmarks run the kernels at: no level forced (each path
// at its own choice, as programs run), then each level the machine supports.
inline std::vector<std::optional<Level>> chosenAndSupportedLevels()
{
    std::vector<std::optional<Level>> levels = {std::nullopt};
    for (Level level : kAllLevels)
        if (level <= supportedLevel())
            levels.push_back(level);
    return levels;
}

inline const char* levelName(std::optional<Level> level)
{
    return level ? levelName(*level) : "the levels chosen";
}

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
