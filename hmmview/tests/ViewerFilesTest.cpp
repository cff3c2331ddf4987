// The viewer's text files and texts: colour schemes (.sc1), the recognition
// log, and the model viewer's text dump and density curves.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "Fixtures.h"
#include "common/FileNames.h"
#include "common/NumberText.h"
#include "hmmview/ModelText.h"
#include "hmmview/RecogLog.h"
#include "hmmview/SchemeFile.h"

namespace talvor::hmmview {
namespace {

const char* const kDefaultScheme =
    "Alpha\r\n"
    "\"X - grid step:\"\t120\r\n"
    "\"Y - grid step:\"\t120\r\n"
    "\"State radius:\"\t15\r\n"
    "\"Border of graph:\"\t200\r\n"
    "\"Left graph pos.:\"\t1800\r\n"
    "\"Gaps between models:\"\t100\r\n"
    "State\t0\r\n"
    "\"State border\"\t16711935\r\n"
    "\"State paths\"\t16777215\r\n"
    "\"Best recognition path\"\t255\r\n"
    "\"Virtual state\"\t16711680\r\n"
    "\"Local best state in frame\"\t65280\r\n"
    "\"The best state in frame\"\t16711680\r\n"
    "\"Model sheet border\"\t-2147483633\r\n"
    "\"Model text\"\t0\r\n"
    "\"Model text border\"\t-2147483633\r\n"
    "\r\n";

TEST(SchemeFile, DefaultsAsTextByteForByte)
{
    EXPECT_EQ(schemeText("Alpha", DisplaySettings{}), std::string(kDefaultScheme));
    EXPECT_FALSE(schemeText("a\"b", DisplaySettings{}));
}

TEST(SchemeFile, RandomRoundTripIsTheIdentity)
{
    unsigned x = 77;
    auto next = [&x](unsigned n) {
        x = x * 1664525u + 1013904223u;
        return (x >> 8) % n;
    };
    for (int round = 0; round < 50; ++round) {
        DisplaySettings s;
        s.grStpX = static_cast<std::int32_t>(1 + next(2000));
        s.grStpY = static_cast<std::int32_t>(1 + next(2000));
        s.grStpR = 1.0f + static_cast<float>(next(7990)) / 4.0f;
        s.grpsh = static_cast<std::int32_t>(1 + next(2000));
        s.leftGraphPos = static_cast<std::int32_t>(1 + next(2000));
        s.modelGap = static_cast<std::int32_t>(1 + next(2000));
        for (int k = 0; k < kColourRoleCount; ++k)
            s.colour(static_cast<ColourRole>(k)) =
                next(4) == 0 ? systemColour(static_cast<std::int32_t>(next(25))) : static_cast<Colour>(next(0x1000000));
        const std::optional<std::string> text = schemeText("scheme " + std::to_string(round), s);
        ASSERT_TRUE(text);
        DisplaySettings back;
        EXPECT_EQ(parseSchemeText(*text, back), 16);
        EXPECT_EQ(back, s) << *text;
    }
}

TEST(SchemeFile, TheStateRadiusReadsBackEqual)
{
    // Radii that seven significant digits do not pin down.
    for (const float r : {1671.19348f, 1.00000012f, 1999.99988f, 3.14159274f, 15.0f}) {
        DisplaySettings s;
        s.grStpR = r;
        const std::optional<std::string> text = schemeText("radius", s);
        ASSERT_TRUE(text);
        EXPECT_NE(text->find("\"State radius:\"\t" + exactFloatText(r) + "\r\n"), std::string::npos) << *text;
        DisplaySettings back;
        back.grStpR = 0.0f;
        EXPECT_EQ(parseSchemeText(*text, back), 16);
        EXPECT_EQ(back.grStpR, r) << *text;
    }
}

TEST(SchemeFile, EarlyEndKeepsTheRestAndValuesClamp)
{
    DisplaySettings s;
    s.clrModelText = 4242;
    // The name, two scale values, then the file ends.
    EXPECT_EQ(parseSchemeText("x\r\n\"X - grid step:\"\t0\r\n\"Y - grid step:\"\t2500\r\n", s), 2);
    EXPECT_EQ(s.grStpX, 1);
    EXPECT_EQ(s.grStpY, 2000);
    EXPECT_EQ(s.grStpR, 15.0f);
    EXPECT_EQ(s.clrModelText, 4242);

    // A value that is not a number ends the reading there.
    DisplaySettings t;
    EXPECT_EQ(parseSchemeText("x a 30 b 40.6 c -7 d zz e 5", t), 3);
    EXPECT_EQ(t.grStpX, 30);
    EXPECT_EQ(t.grStpY, 41);
    EXPECT_EQ(t.grStpR, 1.0f);
    EXPECT_EQ(t.grpsh, 200);
}

TEST(SchemeFile, SavedListedLoadedAndDeletedInTheProgramFolder)
{
    talvor::test::TempDir dir;
    DisplaySettings s;
    s.grStpX = 300;
    std::string error;
    ASSERT_TRUE(saveScheme(dir.path(), "Alpha", s, &error)) << error;
    std::ofstream(dir.path() + "/BETA.SC1") << "BETA a 7\r\n";
    std::ofstream(dir.path() + "/notes.txt") << "x";
    EXPECT_EQ(listSchemes(dir.path()), (std::vector<std::string>{"Alpha", "BETA"}));

    DisplaySettings back;
    ASSERT_TRUE(loadScheme(dir.path(), "alpha", back, &error)) << error;
    EXPECT_EQ(back.grStpX, 300);
    ASSERT_TRUE(loadScheme(dir.path(), "beta", back, &error));
    EXPECT_EQ(back.grStpX, 7);

    for (const char* bad : {"", "a/b", "..", "x\"y", " lead"}) {
        SCOPED_TRACE(bad);
        EXPECT_FALSE(saveScheme(dir.path(), bad, s, &error));
        EXPECT_FALSE(error.empty());
        EXPECT_FALSE(deleteScheme(dir.path(), bad, &error));
    }
    EXPECT_FALSE(deleteScheme(dir.path(), "gamma", &error));
    EXPECT_TRUE(deleteScheme(dir.path(), "Alpha", &error));
    EXPECT_EQ(listSchemes(dir.path()), (std::vector<std::string>{"BETA"}));
    EXPECT_FALSE(loadScheme(dir.path(), "Alpha", back));
}

TEST(SchemeFile, GridSliderArithmetic)
{
    DisplaySettings s;
    s.leftGraphPos = 999;
    gridFromSlider(s, 3, 15);
    EXPECT_EQ(s.grStpX, 120);
    EXPECT_EQ(s.grStpY, 120);
    EXPECT_EQ(s.grStpR, 15.0f);
    EXPECT_EQ(s.grpsh, 180);
    EXPECT_EQ(s.leftGraphPos, 999);
}

TEST(RecogLog, GoldenText)
{
    const std::vector<RecogLogBlock> blocks = {
        {"yes", {"a", "b", "c"}, {-12.5f, 3.25f, -12.5f}},
        {"no", {"a", "b", "c"}, {-1e30f, 0.0f, 0.5f}},
    };
    EXPECT_EQ(recogLogText(blocks),
              "nazdar:\r\n"
              "yes:\r\nbac\r\n 3.25 -12.5 -12.5 \r\n\r\n\r\n"
              "no:\r\ncba\r\n .5  0 -1E+30 \r\n\r\n\r\n");
    // No models: the word line, an empty names line and an empty scores line.
    EXPECT_EQ(recogLogText({{"w", {}, {}}}), "nazdar:\r\nw:\r\n\r\n\r\n\r\n\r\n");
    // No words.
    EXPECT_EQ(recogLogText({}), "nazdar:\r\n");
}

TEST(ModelText, DumpOfAThreeStateModelLineForLine)
{
    testing::ModelDir dir;
    testing::ModSpec desc = testing::ModSpec::leftRight("yes", 3, 2, 2, 0.5f);
    desc.mean(1, 1, 0) = -1.25f;
    desc.var(2, 0, 1) = 0.333333f;
    desc.weights[0] = 0.25f;
    desc.weights[1] = 0.75f;
    const auto model = dir.load(desc);
    const std::string dump = modelTextDump(*model);
    std::vector<std::string> lines;
    for (std::size_t start = 0; start < dump.size();) {
        const std::size_t end = dump.find("\r\n", start);
        ASSERT_NE(end, std::string::npos);
        lines.push_back(dump.substr(start, end - start));
        start = end + 2;
    }
    const std::vector<std::string> expected = {
        "1.state",
        "Trans:\t0.50000\t0.50000\t0",
        "1. mix: \tWeigth:\t0.25000",
        "Means:\t0\t0",
        "Covar:\t1.00000\t1.00000",
        "2. mix: \tWeigth:\t0.75000",
        "Means:\t0\t0",
        "Covar:\t1.00000\t1.00000",
        "",
        "2.state",
        "Trans:\t0\t0.50000\t0.50000",
        "1. mix: \tWeigth:\t0.50000",
        "Means:\t0\t0",
        "Covar:\t1.00000\t1.00000",
        "2. mix: \tWeigth:\t0.50000",
        "Means:\t-1.25000\t0",
        "Covar:\t1.00000\t1.00000",
        "",
        "3.state",
        "Trans:\t0\t0\t0.50000",
        "1. mix: \tWeigth:\t0.50000",
        "Means:\t0\t0",
        "Covar:\t1.00000\t0.33333",
        "2. mix: \tWeigth:\t0.50000",
        "Means:\t0\t0",
        "Covar:\t1.00000\t1.00000",
        "",
    };
    EXPECT_EQ(lines, expected);

    // A model of two states has no dump.
    testing::ModSpec two = testing::ModSpec::leftRight("no", 2, 1, 1);
    std::string path = dir.write("two.mod", two);
    HmmModel small;
    small.LoadMOD(path);
    EXPECT_EQ(modelTextDump(small), "");
    EXPECT_TRUE(densityCurves(small, 0, 0, 0, -3, 3).empty());
}

TEST(ModelText, DensityCurvesAddUpToTheWeights)
{
    testing::ModelDir dir;
    testing::ModSpec desc = testing::ModSpec::leftRight("m", 3, 3, 1);
    desc.weights = {0.2f, 0.3f, 0.5f, 1, 0, 0, 1, 0, 0};
    desc.mean(0, 0, 0) = -1.0f;
    desc.mean(0, 1, 0) = 0.5f;
    desc.mean(0, 2, 0) = 2.0f;
    desc.var(0, 1, 0) = 0.25f;
    const auto model = dir.load(desc);
    const double minX = -12, maxX = 12;
    const auto add = densityCurves(*model, 0, kAddMixtures, 0, minX, maxX);
    ASSERT_EQ(add.size(), 1u);
    ASSERT_EQ(add[0].size(), static_cast<std::size_t>(kCurvePoints));
    double area = 0;
    const double dx = (maxX - minX) / (kCurvePoints - 1);
    for (int i = 1; i < kCurvePoints; ++i)
        area += 0.5 * (add[0][static_cast<std::size_t>(i)] + add[0][static_cast<std::size_t>(i - 1)]) * dx;
    EXPECT_NEAR(area, 1.0, 1e-3);
    // ALL: one curve each; their sum is ADD.
    const auto all = densityCurves(*model, 0, kAllMixtures, 0, minX, maxX);
    ASSERT_EQ(all.size(), 3u);
    EXPECT_NEAR(all[0][500] + all[1][500] + all[2][500], add[0][500], 1e-12);
    // The peak of mixture 2 (index 1) is w / sqrt(2 pi var) at its mean.
    const auto one = densityCurves(*model, 0, 1, 0, 0.5, 0.5);
    ASSERT_EQ(one.size(), 1u);
    EXPECT_NEAR(one[0][0], double(0.3f) / std::sqrt(6.2831854 * 0.25), 1e-12);
    // Outside the model: nothing.
    EXPECT_TRUE(densityCurves(*model, 1, 0, 0, minX, maxX).empty());
    EXPECT_TRUE(densityCurves(*model, 0, 3, 0, minX, maxX).empty());
    EXPECT_TRUE(densityCurves(*model, 0, 0, 3, minX, maxX).empty());
}

}  // namespace
}  // namespace talvor::hmmview
