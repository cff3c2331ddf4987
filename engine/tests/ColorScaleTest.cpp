#include "engine/ColorScale.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>
#include <vector>

#include "AnalysisReference.h"

namespace talvor::engine {
namespace {

constexpr Rgb kWhite = 0x00FFFFFF;
constexpr Rgb kBlack = 0x00000000;

TEST(ColorScale, RunsStartAtTheirAnchorColours)
{
    struct Anchor {
        int entry;
        Rgb colour;  // 0x00BBGGRR
        const char* name;
    };
    const Anchor anchors[] = {
        {0, 0x00FFFFFF, "white"},   {142, 0x0000FFFF, "yellow"}, {284, 0x0000FF00, "green"},
        {426, 0x00FFFF00, "cyan"},  {568, 0x00FF0000, "blue"},   {710, 0x00FF00FF, "magenta"},
        {852, 0x000000FF, "red"},   {994, 0x00000000, "black"},  {999, 0x00000000, "black"},
        // Inside the runs, hand-computed: start +- j x 1.7957747, truncated.
        {3, 0x00F9FFFF, "blue 249.61 -> 249"},
        {287, 0x0005FF00, "blue 5.39 -> 5"},
        {500, 0x00FF7A00, "green 122.11 -> 122"},
        {640, 0x00FF0081, "red 129.30 -> 129"},
        {923, 0x0000007F, "red 127.50 -> 127"},
    };
    const ColorScale& cs = colorScale();
    for (const Anchor& a : anchors) {
        SCOPED_TRACE(a.name);
        EXPECT_EQ(cs.color(a.entry), a.colour) << "entry " << a.entry;
    }
}

TEST(ColorScale, EachRunMovesOneComponentTowardTheNextAnchor)
{
    const ColorScale& cs = colorScale();
    const auto component = [&](int entry, int channel) { return int((cs.color(entry) >> (8 * channel)) & 0xFF); };
    const int moving[] = {2, 0, 2, 1, 0, 2, 0};
    for (int run = 0; run < 7; ++run) {
        SCOPED_TRACE(run);
        const int first = run * ColorScale::kRunLength;
        const int last = first + ColorScale::kRunLength - 1;
        const int channel = moving[run];
        const bool up = component(first, channel) == 0;
        for (int e = first + 1; e <= last; ++e) {
            for (int ch = 0; ch < 3; ++ch) {
                if (ch != channel) {
                    ASSERT_EQ(component(e, ch), component(first, ch)) << "entry " << e;
                }
            }
            const int step = component(e, channel) - component(e - 1, channel);
            ASSERT_TRUE(up ? (step == 1 || step == 2) : (step == -1 || step == -2)) << "entry " << e;
        }
        // 141 steps of 255/142 end one step short of the next anchor, truncated.
        EXPECT_EQ(component(last, channel), up ? 253 : 1);
    }
    for (int e = ColorScale::kFilledColors; e < ColorScale::kColors; ++e)
        EXPECT_EQ(cs.color(e), kBlack);
}

TEST(ColorScale, ThresholdsRunFromLowToHighInEqualSteps)
{
    const ColorScale& cs = colorScale();
    EXPECT_EQ(cs.threshold(0, 0), 1.0f);
    EXPECT_NEAR(cs.threshold(0, 998), 100.0f, 1e-3f);
    EXPECT_EQ(cs.threshold(1, 0), 13.0f);
    EXPECT_NEAR(cs.threshold(1, 998), 1300.0f, 0.05f);  // 998 float steps drift a little
    for (int s = 0; s < 2; ++s) {
        for (int i = 1; i < ColorScale::kThresholds; ++i)
            ASSERT_GT(cs.threshold(s, i), cs.threshold(s, i - 1));
    }
}

TEST(ColorScale, ValuesAtTheEndsAndNonFiniteValues)
{
    constexpr float inf = std::numeric_limits<float>::infinity();
    constexpr float nan = std::numeric_limits<float>::quiet_NaN();
    struct Case {
        int scale;
        float value;
        Rgb colour;
        const char* name;
    };
    const Case cases[] = {
        {0, 1.0f, kWhite, "exactly the low end"},
        {0, 0.5f, kWhite, "below the low end"},
        {0, -1e38f, kWhite, "at the low sentinel"},
        {0, -3e38f, kWhite, "below the low sentinel"},
        {0, -inf, kWhite, "minus infinity"},
        {0, nan, kWhite, "NaN"},
        {0, 100.0f, kBlack, "exactly the high end"},
        {0, 150.0f, kBlack, "above the high end"},
        {0, 3e38f, kBlack, "above the high sentinel"},
        {0, inf, kBlack, "infinity"},
        {1, 13.0f, kWhite, "magnitude low end"},
        {1, 12.0f, kWhite, "below the magnitude low end"},
        {1, 1300.0f, kBlack, "magnitude high end"},
        {1, 1e6f, kBlack, "far above the magnitude high end"},
        {1, 100.0f, colorScale().color(68), "a magnitude of 100"},
        {0, 100.0f - 99.0f / 998.0f * 4.5f, kBlack, "in the lowest black interval"},
        {0, 100.0f - 99.0f / 998.0f * 5.5f, 0x00000001, "in the last filled interval"},
    };
    const ColorScale& cs = colorScale();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(cs.colorOfValue(c.scale, c.value), c.colour);
    }
    EXPECT_NE(cs.colorOfValue(0, std::nextafter(1.0f, 2.0f)), kWhite);  // just above t_0: interval 1
    EXPECT_EQ(cs.intervalOf(0, std::nextafter(1.0f, 2.0f)), 1);
}

TEST(ColorScale, BinarySearchAgreesWithLinearIntervalSearch)
{
    const ColorScale& cs = colorScale();
    std::vector<float> values = {-std::numeric_limits<float>::infinity(), std::numeric_limits<float>::infinity(),
                                 std::numeric_limits<float>::quiet_NaN(), 0.0f, -0.0f};
    for (int s = 0; s < 2; ++s) {
        for (int i = 0; i < ColorScale::kThresholds; ++i) {
            const float t = cs.threshold(s, i);
            values.insert(values.end(), {t, std::nextafter(t, -1e30f), std::nextafter(t, 1e30f)});
        }
    }
    std::mt19937 rng(1);
    std::uniform_real_distribution<float> dist(-100.0f, 1500.0f);
    for (int i = 0; i < 5000; ++i)
        values.push_back(dist(rng));
    for (int s = 0; s < 2; ++s) {
        for (const float v : values) {
            ASSERT_EQ(cs.intervalOf(s, v), reference::intervalLinear(cs, s, v)) << "scale " << s << " value " << v;
            ASSERT_EQ(cs.colorOfValue(s, v), reference::colorLinear(cs, s, v));
        }
    }
}

TEST(ValueToColor, KindSelectsTheScale)
{
    const std::vector<float> values = {1.0f, 50.0f, 200.0f, 1300.0f};
    std::vector<Rgb> db(4), magnitude(4), other(4);
    valueToColor(values, db, 0);
    valueToColor(values, magnitude, 1);
    valueToColor(values, other, 7);
    const ColorScale& cs = colorScale();
    for (std::size_t i = 0; i < values.size(); ++i) {
        EXPECT_EQ(db[i], cs.colorOfValue(0, values[i]));
        EXPECT_EQ(magnitude[i], cs.colorOfValue(1, values[i]));
    }
    EXPECT_EQ(other, magnitude);
    EXPECT_NE(db, magnitude);
}

}  // namespace
}  // namespace talvor::engine
