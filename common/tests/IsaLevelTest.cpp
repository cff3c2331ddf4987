#include "common/IsaLevel.h"

#include <gtest/gtest.h>

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

}  // namespace
}  // namespace talvor::isatest
