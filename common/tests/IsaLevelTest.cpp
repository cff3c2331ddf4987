#include "common/IsaLevel.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <limits>
#include <optional>
#include <string>
#include <vector>

#include "IsaProbe.h"

namespace talvor::isatest {
namespace {

using isa::Level;

constexpr Probe (*kProbe[4])() = TALVOR_ISA_TABLE(probe);
constexpr float (*kDot[4])(const float*, const float*, int) = TALVOR_ISA_TABLE(dotInOrder);

TEST(IsaLevel, EachLevelRunsItsOwnCopyCompiledForThatLevel)
{
    for (Level level : isa::kAllLevels) {
        if (level > isa::supportedLevel())
            continue;
        isa::ScopedCeiling ceiling(level);
        EXPECT_EQ(isa::activeLevel(), level);
        const Probe p = isa::select(kProbe)();
        SCOPED_TRACE(isa::levelName(level));
        EXPECT_EQ(p.level, int(level));
#if defined(__x86_64__)
        EXPECT_EQ(p.sse42, level >= Level::V2);
        EXPECT_EQ(p.avx2, level >= Level::V3);
        EXPECT_EQ(p.avx512, level >= Level::V4);
#endif
    }
}

TEST(IsaLevel, CeilingNeverRaisesAboveTheMachineAndIsRestored)
{
    const Level before = isa::activeLevel();
    {
        isa::ScopedCeiling ceiling(Level::V4);
        EXPECT_EQ(isa::activeLevel(), isa::supportedLevel());
        {
            isa::ScopedCeiling inner(Level::Baseline);
            EXPECT_EQ(isa::activeLevel(), Level::Baseline);
        }
        EXPECT_EQ(isa::activeLevel(), isa::supportedLevel());
    }
    EXPECT_EQ(isa::activeLevel(), before);
}

TEST(IsaLevel, NoLevelFusesMultiplyAndAdd)
{
    // 1 + 2^-12 squared is 1 + 2^-11 + 2^-24: the product alone rounds the
    // last term away (ties to even); fused with the -1 before it, it stays.
    const float a[2] = {1.0f, 1.0f + 0x1p-12f};
    const float b[2] = {-1.0f, 1.0f + 0x1p-12f};
    const float inOrder = (a[0] * b[0]) + a[1] * b[1];
    ASSERT_EQ(inOrder, 0x1p-11f);
    for (Level level : isa::kAllLevels) {
        if (level > isa::supportedLevel())
            continue;
        isa::ScopedCeiling ceiling(level);
        EXPECT_EQ(isa::select(kDot)(a, b, 2), inOrder) << isa::levelName(level);
    }
}

TEST(IsaLevel, APathRunsAtItsChoiceUnlessALevelIsForced)
{
    ASSERT_FALSE(isa::forced());
    for (Level chosen : isa::kAllLevels) {
        SCOPED_TRACE(isa::levelName(chosen));
        const Level expected = std::min(chosen, isa::supportedLevel());
        EXPECT_EQ(isa::pathLevel(chosen), expected);
        EXPECT_EQ(isa::select(kProbe, chosen)().level, int(expected));
        for (Level level : isa::kAllLevels) {
            if (level > isa::supportedLevel())
                continue;
            isa::ScopedCeiling ceiling(level);
            EXPECT_TRUE(isa::forced());
            EXPECT_EQ(isa::select(kProbe, chosen)().level, int(level)) << "forced " << isa::levelName(level);
            {
                // A scope without a level inside a forced one: the choice again.
                isa::ScopedCeiling unforced(std::optional<Level>{});
                EXPECT_FALSE(isa::forced());
                EXPECT_EQ(isa::pathLevel(chosen), expected);
            }
            EXPECT_EQ(isa::pathLevel(chosen), level);
        }
        EXPECT_FALSE(isa::forced());
    }
    const std::vector<std::optional<Level>> levels = isa::chosenAndSupportedLevels();
    ASSERT_EQ(levels.size(), std::size_t(int(isa::supportedLevel()) + 2));
    EXPECT_FALSE(levels.front().has_value());
    EXPECT_EQ(levels.back(), isa::supportedLevel());
    EXPECT_EQ(std::string(isa::levelName(levels.front())), "the levels chosen");
}

TEST(IsaLevel, AChoiceKeepsTheWidestLevelWithinTheMarginOfTheFastest)
{
    constexpr double inf = std::numeric_limits<double>::infinity();
    struct Case {
        const char* name;
        double seconds[4];
        Level top;
        Level expected;
    };
    const Case cases[] = {
        {"all equal", {1.0, 1.0, 1.0, 1.0}, Level::V4, Level::V4},
        {"wider is faster", {4.0, 3.0, 2.0, 1.0}, Level::V4, Level::V4},
        {"v3 clearly faster than v4", {4.0, 3.0, 1.0, 1.18}, Level::V4, Level::V3},
        {"v3 faster, but within the margin", {4.0, 3.0, 1.0, 1.04}, Level::V4, Level::V4},
        {"just past the margin", {4.0, 3.0, 1.0, 1.06}, Level::V4, Level::V3},
        {"v2 fastest, v4 far behind", {2.0, 1.0, 1.8, 2.4}, Level::V4, Level::V2},
        {"baseline fastest", {1.0, 2.0, 2.0, 2.0}, Level::V4, Level::Baseline},
        {"levels above the machine's are not taken", {3.0, 2.0, 1.0, 0.1}, Level::V3, Level::V3},
        {"a machine with only the baseline", {1.0, 0.1, 0.1, 0.1}, Level::Baseline, Level::Baseline},
        {"an untimed level loses", {inf, 1.0, inf, inf}, Level::V4, Level::V2},
    };
    for (const Case& c : cases)
        EXPECT_EQ(isa::fastestLevel(c.seconds, c.top), c.expected) << c.name;
}

// A clock that moves only when a trial says so.
struct FakeClock {
    using rep = std::int64_t;
    using period = std::nano;
    using duration = std::chrono::duration<rep, period>;
    using time_point = std::chrono::time_point<FakeClock>;
    static constexpr bool is_steady = true;
    static inline rep now_ns = 0;
    static time_point now() { return time_point(duration(now_ns)); }
};

TEST(IsaLevel, AProbeTakesEachLevelsShortestRoundInAlternatingOrder)
{
    // Each level's trial takes its own time; one round of the fastest level
    // is slowed (as by the scheduler) and must not count against it.
    const Level top = isa::supportedLevel();
    const int fastest = int(top) >= 2 ? 2 : int(top);
    std::vector<int> order;
    bool slowed = false;
    const Level chosen = isa::choosePathLevel<FakeClock>(
        [&](Level level) {
            const int l = int(level);
            order.push_back(l);
            FakeClock::now_ns += l != fastest ? 50'000 + 1'000 * l : slowed ? 10'000 : 900'000;
            slowed = slowed || l == fastest;
        },
        3);
    EXPECT_EQ(chosen, Level(fastest));
    const int levels = int(top) + 1;
    ASSERT_EQ(order.size(), std::size_t(3 * levels));
    for (int k = 0; k < levels; ++k) {
        EXPECT_EQ(order[std::size_t(k)], k);                   // upwards
        EXPECT_EQ(order[std::size_t(levels + k)], levels - 1 - k);  // downwards
        EXPECT_EQ(order[std::size_t(2 * levels + k)], k);
    }
}

}  // namespace
}  // namespace talvor::isatest
