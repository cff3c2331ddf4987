#include "common/StatwalkConfig.h"

#include <fstream>
#include <gtest/gtest.h>

#include "common/FileNames.h"
#include "testing/TempDir.h"

using namespace talvor;

namespace {

FeatureSelection select(std::initializer_list<int> on)
{
    FeatureSelection f{};
    for (int i : on)
        f[std::size_t(i)] = true;
    return f;
}

StatwalkConfig training()
{
    StatwalkConfig c;
    c.kind = StatwalkKind::Training;
    c.mode = 3;
    c.vocabulary = "digits";
    c.workDirectory = "w1";
    c.featureCount = 3;
    c.features = select({0, 8, 19});
    c.files = {"SAB01", "SAB02", "SCD01"};
    c.states = 8;
    c.mixtures = 1;
    return c;
}

}  // namespace

TEST(FeatureMask, CharacterIPlusOneIsFeatureI)
{
    EXPECT_EQ(featureMask(select({0, 8, 19})), "10000000100000000001");
    FeatureSelection f{};
    ASSERT_TRUE(parseFeatureMask("00000000000000000001", &f));
    EXPECT_EQ(f, select({19}));
    EXPECT_EQ(selectedFeatureCount(select({0, 8, 19})), 3);
    for (const char* bad : {"", "1000000010000000000", "100000001000000000011", "1000000010000000000x"}) {
        SCOPED_TRACE(bad);
        FeatureSelection kept = select({5});
        EXPECT_FALSE(parseFeatureMask(bad, &kept));
        EXPECT_EQ(kept, select({5}));
    }
}

TEST(StatwalkConfig, TrainingFileByteExact)
{
    std::string text;
    ASSERT_TRUE(statwalkConfigText(training(), &text));
    EXPECT_EQ(text,
              "Operation Mode:\r\n   3 \r\n"
              "Vocabulary:\r\n  digits\r\n"
              "Work Directory:\r\n  w1\r\n"
              "Number of features:\r\n   3 \r\n"
              "Features:\r\n  10000000100000000001\r\n"
              "Number of training files:\r\n   3 \r\n  SAB01\r\n  SAB02\r\n  SCD01\r\n"
              "Number of states:\r\n   8 \r\n"
              "Number of mixtures:\r\n   1 \r\n");
}

TEST(StatwalkConfig, RecognitionFileByteExact)
{
    StatwalkConfig c = training();
    c.kind = StatwalkKind::Recognition;
    c.mode = 7;
    c.files = {"X"};
    c.states = 5;
    c.mixtures = 2;
    std::string text;
    ASSERT_TRUE(statwalkConfigText(c, &text));
    EXPECT_EQ(text,
              "Operation Mode:\r\n   7 \r\n"
              "Vocabulary:\r\n  digits\r\n"
              "Work Directory:\r\n  w1\r\n"
              "Number of features:\r\n   3 \r\n"
              "Features:\r\n  10000000100000000001\r\n"
              "Number of test files:\r\n   1 \r\n  X\r\n"
              "Number of states:\r\n   5 \r\n"
              "Number of mixtures:\r\n   2 \r\n");
    c.files = {"a", "b"};
    std::string err;
    EXPECT_FALSE(statwalkConfigText(c, &text, &err));
    EXPECT_NE(err.find("exactly one test file"), std::string::npos);
}

TEST(StatwalkConfig, ItemNumbersOfTheReaders)
{
    std::string text;
    ASSERT_TRUE(statwalkConfigText(training(), &text));
    const auto items = statwalkItems(text);
    const std::size_t n = 3;
    ASSERT_EQ(items.size(), 16 + n);
    EXPECT_EQ(items[8 - 1], "3");
    EXPECT_EQ(items[9 - 1], "Features:");
    EXPECT_EQ(items[10 - 1], "10000000100000000001");
    EXPECT_EQ(items[12 - 1], "3");
    EXPECT_EQ(items[13 - 1], "SAB01");
    EXPECT_EQ(items[12 + n - 1], "SCD01");
    EXPECT_EQ(items[14 + n - 1], "8");
    EXPECT_EQ(items[16 + n - 1], "1");
}

TEST(StatwalkConfig, ItemsSplitAtLineEndsAndCommas)
{
    EXPECT_EQ(statwalkItems("a, b ,c\r\n  d \n\ne\r\"f, g\" h\r\n"),
              (std::vector<std::string>{"a", "b", "c", "d", "e", "f, g"}));
}

TEST(StatwalkConfig, RoundTripAndHandEditedCopies)
{
    test::TempDir dir;
    const std::string path = dir.path() + "/w1/STATWALK1.EDF";
    std::filesystem::create_directories(dir.path() + "/w1");
    ASSERT_TRUE(writeStatwalkConfig(path, training()));
    StatwalkConfig back;
    std::string err;
    // Readers name the copy "Statwalk1.edf".
    ASSERT_TRUE(readStatwalkConfig(dir.path() + "/w1/Statwalk1.edf", &back, &err)) << err;
    EXPECT_EQ(back, training());

    // LF line ends, commas, extra blanks and lower-case labels read alike.
    const std::string edited =
        "operation mode:,3\n vocabulary:\n digits\nWork Directory:, w1 \nNumber of features:\n3\n"
        "Features:\n  10000000100000000001\nNumber of training files:\n3\nSAB01,SAB02\nSCD01\n"
        "Number of states:\n8\nNumber of mixtures:\n1";
    ASSERT_TRUE(parseStatwalkConfig(edited, &back, &err)) << err;
    EXPECT_EQ(back, training());

    // The head alone: what the analyser and the viewer take; other fields stay.
    StatwalkConfig head;
    head.states = 99;
    ASSERT_TRUE(parseStatwalkHead("Operation Mode:\r\n 3\r\nVocabulary:\r\nd\r\nWork Directory:\r\nw\r\n"
                                  "Number of features:\r\n 1 \r\nFeatures:\r\n  00000000000000000001\r\n",
                                  &head, &err))
        << err;
    EXPECT_EQ(head.features, select({19}));
    EXPECT_EQ(head.featureCount, 1);
    EXPECT_EQ(head.states, 99);
}

TEST(StatwalkConfig, RejectsBrokenCopiesLeavingTheResultAlone)
{
    std::string good;
    ASSERT_TRUE(statwalkConfigText(training(), &good));
    auto replaced = [&](const std::string& from, const std::string& to) {
        std::string s = good;
        s.replace(s.find(from), from.size(), to);
        return s;
    };
    const std::pair<std::string, const char*> broken[] = {
        {"", "ends before item 1"},
        {good.substr(0, good.find("Number of states:")), "ends before item 16"},
        {replaced("Features:", "Feature mask:"), "where \"Features:\" belongs"},
        {replaced("10000000100000000001", "1000000010000000000"), "feature mask"},
        {replaced("   3 \r\n  SAB01", "   x \r\n  SAB01"), "is no whole number"},
        {replaced("   3 \r\n  SAB01", "   4 \r\n  SAB01"), "where \"Number of states:\" belongs"},
        {replaced("   3 \r\n  SAB01", "   400 \r\n  SAB01"), "announces 400 files"},
        {replaced("   3 \r\n  SAB01", "  -1 \r\n  SAB01"), "negative"},
        {replaced("Number of training files:", "Number of files:"), "item 11"},
        {replaced("   8 ", "   eight "), "number of states"},
    };
    for (const auto& [text, because] : broken) {
        SCOPED_TRACE(because);
        StatwalkConfig c;
        c.mode = 42;
        std::string err;
        EXPECT_FALSE(parseStatwalkConfig(text, &c, &err, "Statwalk1.edf"));
        EXPECT_NE(err.find(because), std::string::npos) << err;
        EXPECT_NE(err.find("Statwalk1.edf"), std::string::npos) << err;
        EXPECT_EQ(c.mode, 42);
    }
}

TEST(StatwalkConfig, RefusesNamesThatWouldNotReadBack)
{
    test::TempDir dir;
    const std::string path = dir.path() + "/STATWALK1.EDF";
    for (auto edit : {+[](StatwalkConfig& c) { c.vocabulary = "a,b"; },
                      +[](StatwalkConfig& c) { c.workDirectory = "_strings"; },
                      +[](StatwalkConfig& c) { c.files[1] = ""; }}) {
        StatwalkConfig c = training();
        edit(c);
        std::string err;
        EXPECT_FALSE(writeStatwalkConfig(path, c, &err));
        EXPECT_FALSE(err.empty());
        EXPECT_FALSE(findFileName(path, nullptr));
    }
}
