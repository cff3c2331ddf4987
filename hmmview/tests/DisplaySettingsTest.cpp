#include <gtest/gtest.h>

#include "hmmview/DisplaySettings.h"

namespace talvor::hmmview {
namespace {

TEST(DisplaySettings, DefaultsAndRoleOrder)
{
    const DisplaySettings s;
    EXPECT_EQ(s.modelGap, 100);
    EXPECT_EQ(s.grStpX, 120);
    EXPECT_EQ(s.grStpY, 120);
    EXPECT_EQ(s.grStpR, 15.0f);
    EXPECT_EQ(s.grpsh, 200);
    EXPECT_EQ(s.leftGraphPos, 1800);

    struct Role {
        const char* name;
        Colour value;
    } roles[] = {
        {"State", 0},
        {"State border", 16777215},
        {"State paths", 16711680},
        {"Best recognition path", 255},
        {"Virtual state", 16711935},
        {"Local best state in frame", 16711680},
        {"The best state in frame", 65280},
        {"Model sheet border", -2147483633},
        {"Model text", 0},
        {"Model text border", -2147483633},
    };
    for (int i = 0; i < kColourRoleCount; ++i) {
        SCOPED_TRACE(roles[i].name);
        EXPECT_EQ(colourRoleNames()[static_cast<std::size_t>(i)], roles[i].name);
        EXPECT_EQ(s.colour(static_cast<ColourRole>(i)), roles[i].value);
    }
}

TEST(DisplaySettings, ColourValues)
{
    EXPECT_EQ(rgbColour(255, 0, 0), 255);
    EXPECT_EQ(rgbColour(0, 0, 255), 16711680);
    EXPECT_EQ(rgbColour(255, 0, 255), 16711935);
    EXPECT_TRUE(isSystemColour(systemColour(kButtonFaceColour)));
    EXPECT_EQ(systemColourIndex(-2147483633), 15);
    EXPECT_FALSE(isSystemColour(16777215));

    DisplaySettings s;
    s.colour(ColourRole::BestPath) = rgbColour(1, 2, 3);
    EXPECT_EQ(s.clrStateBPrath, 0x030201);
    s.colour(ColourRole::VirtualState) = 7;
    EXPECT_EQ(s.clrStateV, 7);
    EXPECT_NE(s, DisplaySettings{});
}

}  // namespace
}  // namespace talvor::hmmview
