// Loading word sets, the vocabulary and the recorded word into the comparer,
// and making a pair current.
#include "timewarp/DtwLoading.h"

#include <cmath>
#include <filesystem>
#include <fstream>
#include <functional>
#include <gtest/gtest.h>
#include <limits>

#include "common/FileNames.h"
#include "common/WordSetFile.h"
#include "testing/TempDir.h"
#include "timewarp/DtwMatch.h"

using namespace talvor;
using namespace talvor::timewarp;
namespace fs = std::filesystem;

namespace {

// A word of a set to write: its label and frame count.
struct Word {
    int label;
    int frames;
};

// Feature value of a patterned word: version, set, word, frame and feature
// all show in it.
float pattern(int version, int set, int word, int frame, int feature)
{
    return float(version * 100000 + set * 10000 + word * 1000 + frame * 10 + feature);
}

class WordSetLoading : public testing::Test {
public:
    static constexpr int kFeat = 2;

    void SetUp() override
    {
        m_state = std::make_unique<DtwComparerState>();
        InitDtwDefaults(*m_state);
        m_state->appPath = m_dir.path();
        m_state->vocabularyName = "digits";
        m_state->workDirectoryName = "work1";
        m_state->sourceName = "test";
        m_state->referenceNames[1] = "refa";
        m_state->referenceNames[2] = "refb";
        m_state->referenceSetCount = 2;
        m_state->mode = 2;
        m_state->store.setNFeat(kFeat);
        // The folder in another letter case than the state names it.
        fs::create_directories(folder());
    }

    std::string folder() const { return m_dir.path() + "/DATA/Digits/Work1"; }

    // Writes <file>.lb/.pr (lower case on disk) with patterned values.
    void writeSet(const std::string& file, int version, int set, const std::vector<Word>& words)
    {
        std::vector<WordSetEntry> entries;
        std::vector<float> values;
        for (std::size_t k = 0; k < words.size(); ++k) {
            entries.push_back({int(k), words[k].label, words[k].frames, 0});
            for (int frame = 1; frame <= words[k].frames; ++frame)
                for (int f = 1; f <= kFeat; ++f)
                    values.push_back(pattern(version, set, int(k) + 1, frame, f));
        }
        std::string err;
        ASSERT_TRUE(writeWordSet(folder() + "/" + file + ".lb", folder() + "/" + file + ".pr", entries, kFeat, values,
                                 LabelFileSpacing::WordSet, &err))
            << err;
    }

    void writeAll(int version)
    {
        writeSet("test", version, 0, {{1, 3}, {2, 4}, {3, 5}});
        writeSet("refa", version, 1, {{1, 6}, {2, 7}});
        writeSet("refb", version, 2, {{3, 8}, {4, 9}, {5, 10}, {6, 11}});
    }

    // The store's word w (test) or r (reference) holds the pattern of `version`.
    void expectTestWord(int w, int version, const Word& word)
    {
        const DtwWordStore& s = m_state->store;
        EXPECT_EQ(s.testWord(w), (WordRecord{1, std::int16_t(w - 1), std::int16_t(word.label), std::int16_t(word.frames)}));
        EXPECT_EQ(s.testValues(w)[0], pattern(version, 0, w, 1, 1));
        EXPECT_EQ(s.testValues(w)[kFeat * word.frames - 1], pattern(version, 0, w, word.frames, kFeat));
    }
    void expectReference(int r, int version, int set, int wordInSet, const Word& word)
    {
        const DtwWordStore& s = m_state->store;
        EXPECT_EQ(s.reference(r),
                  (WordRecord{std::int16_t(set), std::int16_t(wordInSet - 1), std::int16_t(word.label), std::int16_t(word.frames)}));
        EXPECT_EQ(s.referenceValues(r)[0], pattern(version, set, wordInSet, 1, 1));
        EXPECT_EQ(s.referenceValues(r)[kFeat * word.frames - 1], pattern(version, set, wordInSet, word.frames, kFeat));
    }

    test::TempDir m_dir;
    std::unique_ptr<DtwComparerState> m_state;
};

}  // namespace

TEST_F(WordSetLoading, ThreeTestWordsAndTwoReferenceSets)
{
    writeAll(1);
    m_state->store.currentTestWord = 9;
    std::string err;
    ASSERT_TRUE(LoadWordData(*m_state, &err)) << err;
    const DtwWordStore& s = m_state->store;
    EXPECT_EQ(s.testWordCount, 3);
    EXPECT_EQ(s.referenceTotal, 6);
    expectTestWord(1, 1, {1, 3});
    expectTestWord(3, 1, {3, 5});
    const int sets[] = {1, 1, 2, 2, 2, 2};
    for (int r = 1; r <= 6; ++r)
        EXPECT_EQ(s.reference(r).set, sets[r - 1]) << r;
    expectReference(2, 1, 1, 2, {2, 7});
    expectReference(3, 1, 2, 1, {3, 8});
    expectReference(6, 1, 2, 4, {6, 11});
    EXPECT_EQ(s.currentTestWord, 0);
    EXPECT_EQ(s.currentReference, 1);
    EXPECT_EQ(m_state->currentSourceSet, 1);
    EXPECT_EQ(m_state->currentReferenceSet, 1);

    // Loading again finds the same folder (it is not nested further).
    ASSERT_TRUE(LoadWordData(*m_state, &err)) << err;
    EXPECT_EQ(s.referenceTotal, 6);
}

TEST_F(WordSetLoading, FailuresChangeNothingOfTheFailingSet)
{
    enum Where { Test, RefA, RefB };
    struct Case {
        const char* name;
        Where where;
        std::function<void(WordSetLoading&)> breakIt;
        const char* message;  // the reason ends with this
    };
    auto rewrite = [](const char* file, const std::string& text) {
        return [file, text](WordSetLoading& t) {
            std::ofstream(t.folder() + "/" + file, std::ios::binary) << text;
        };
    };
    const Case cases[] = {
        {"missing label file", RefA, [](WordSetLoading& t) { fs::remove(t.folder() + "/refa.lb"); }, "refa.LB"},
        {"missing feature file", Test, [](WordSetLoading& t) { fs::remove(t.folder() + "/test.pr"); }, "test.PR"},
        {"feature file one value short", RefB,
         [](WordSetLoading& t) { fs::resize_file(t.folder() + "/refb.pr", fs::file_size(t.folder() + "/refb.pr") - 4); },
         "the label file announces 304"},
        {"not a number", RefA, rewrite("refa.lb", " 2 \r\n 0   1   6   0 \r\n 1   two   7   6 \r\n"),
         "word 2: the label \"two\" is not a whole number"},
        {"truncated label file", Test, rewrite("test.lb", " 3 \r\n 0   1   3   0 \r\n 1   2   4 "),
         "the label file ends in word 2 of 3"},
        {"0 frames", RefB, rewrite("refb.lb", " 1 \r\n 0   3   0   0 \r\n"), "word 1 has 0 frames (1 to 200 can be matched)"},
        {"201 frames", Test, rewrite("test.lb", " 1 \r\n 0   3   201   0 \r\n"),
         "word 1 has 201 frames (1 to 200 can be matched)"},
        {"label 51", RefA, rewrite("refa.lb", " 1 \r\n 0   51   6   0 \r\n"), "word 1 has the label 51 (labels are 0 to 50)"},
        {"label -1", RefB, rewrite("refb.lb", " 1 \r\n 0  -1   6   0 \r\n"), "word 1 has the label -1 (labels are 0 to 50)"},
        {"a value that is not a number", RefA,
         [](WordSetLoading& t) {
             std::vector<float> v(2 * 6 + 2 * 7, 1.0f);
             v[5] = std::numeric_limits<float>::quiet_NaN();
             writeFeatureFile(t.folder() + "/refa.pr", v);
         },
         "word 1 holds a value that is not a number"},
        {"101 test words", Test,
         [](WordSetLoading& t) { t.writeSet("test", 2, 0, std::vector<Word>(101, Word{1, 1})); },
         "101 test words (at most 100)"},
        {"501 references", RefB,
         [](WordSetLoading& t) {
             t.writeSet("refa", 2, 1, std::vector<Word>(300, Word{1, 1}));
             t.writeSet("refb", 2, 2, std::vector<Word>(201, Word{1, 1}));
         },
         "refb: more than 500 references in all"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SetUp();
        writeAll(1);
        std::string err;
        ASSERT_TRUE(LoadWordData(*m_state, &err)) << err;
        m_state->store.currentTestWord = 2;
        m_state->store.currentReference = 5;
        // Version 2 of every file, then the fault.
        writeAll(2);
        c.breakIt(*this);
        err.clear();
        EXPECT_FALSE(LoadWordData(*m_state, &err));
        EXPECT_TRUE(err.ends_with(c.message)) << err;
        const DtwWordStore& s = m_state->store;
        // The current word and reference are kept.
        EXPECT_EQ(s.currentTestWord, 2);
        EXPECT_EQ(s.currentReference, 5);
        // Sets before the failing one are the new ones; the failing set and
        // those after it change nothing.
        const int testVersion = c.where == Test ? 1 : 2;
        EXPECT_EQ(s.testWordCount, 3);
        expectTestWord(1, testVersion, {1, 3});
        expectTestWord(3, testVersion, {3, 5});
        if (c.where == RefB && std::string(c.name) == "501 references") {
            EXPECT_EQ(s.referenceTotal, 300);  // set a of 300 words was stored
            continue;
        }
        const int refVersion = c.where == RefB ? 2 : 1;
        expectReference(1, refVersion, 1, 1, {1, 6});
        expectReference(2, refVersion, 1, 2, {2, 7});
        EXPECT_EQ(s.referenceTotal, c.where == RefB ? 2 : 6);
        expectReference(6, 1, 2, 4, {6, 11});  // stored earlier, and left alone
    }
}

TEST_F(WordSetLoading, TooManyReferenceSets)
{
    writeAll(1);
    m_state->referenceSetCount = 6;
    std::string err;
    EXPECT_FALSE(LoadWordData(*m_state, &err));
    EXPECT_EQ(err, "6 reference word sets (at most 5)");
    EXPECT_EQ(m_state->store.testWordCount, 0);
}

TEST_F(WordSetLoading, RecordedWordInSpeakAndRecognize)
{
    writeAll(1);
    fs::remove(folder() + "/test.lb");
    m_state->mode = 8;
    m_state->sourceName = "x";
    std::string err;
    // In mode 8 no test word set is read.
    ASSERT_TRUE(LoadWordData(*m_state, &err)) << err;
    EXPECT_EQ(m_state->store.testWordCount, 0);
    EXPECT_EQ(m_state->store.referenceTotal, 6);

    // No token yet.
    EXPECT_FALSE(LoadRecordedWord(*m_state, &err));
    EXPECT_EQ(m_state->store.testWordCount, 0);

    // The token as the analyser writes it: token spacing, and a feature file
    // that starts earlier and runs longer than the label file announces.
    std::vector<float> values;
    for (int k = 0; k < 2 * 12; ++k)
        values.push_back(float(k));
    ASSERT_TRUE(writeFeatureFile(folder() + "/x.pr", values, &err)) << err;
    ASSERT_TRUE(writeLabelFile(folder() + "/x.lb", std::vector<WordSetEntry>{{1, 0, 9, 0}}, LabelFileSpacing::Token, &err))
        << err;
    ASSERT_TRUE(LoadRecordedWord(*m_state, &err)) << err;
    const DtwWordStore& s = m_state->store;
    EXPECT_EQ(s.testWordCount, 1);
    EXPECT_EQ(s.testWord(1), (WordRecord{1, 1, 0, 9}));
    EXPECT_EQ(s.testValues(1)[0], 0.0f);
    EXPECT_EQ(s.testValues(1)[17], 17.0f);

    // A broken token changes nothing.
    std::ofstream(folder() + "/x.lb", std::ios::binary) << " 1 \r\n 1  0  13  0 \r\n";
    EXPECT_FALSE(LoadRecordedWord(*m_state, &err));
    EXPECT_TRUE(err.ends_with("the label file announces 104")) << err;
    EXPECT_EQ(s.testWord(1).frames, 9);
    std::ofstream(folder() + "/x.lb", std::ios::binary) << " 0 \r\n";
    EXPECT_FALSE(LoadRecordedWord(*m_state, &err));
    EXPECT_TRUE(err.ends_with("holds no word")) << err;
    EXPECT_EQ(s.testWordCount, 1);
}

TEST_F(WordSetLoading, VocabularyFile)
{
    const std::string voc = m_dir.path() + "/DATA/Digits/digits.voc";
    std::ofstream(voc, std::ios::binary) << " 3 \r\n0  one\r\n1  two\r\n2  three\r\n";
    m_state->vocabulary[5] = "five";
    std::string err;
    ASSERT_TRUE(ReadVocabulary(*m_state, &err)) << err;  // opened as digits.VOC
    EXPECT_EQ(m_state->vocabularyCount, 3);
    EXPECT_EQ(m_state->vocabulary[0], "one");
    EXPECT_EQ(m_state->vocabulary[2], "three");
    EXPECT_EQ(m_state->vocabulary[5], "five");  // not listed: kept

    struct Case {
        const char* text;
        const char* message;
    };
    const Case bad[] = {
        {" 2 \r\n0  nil\r\n51  big\r\n", "vocabulary entry 2 has the index 51 (indices are 0 to 50)"},
        {" 2 \r\n0  nil\r\n-1  neg\r\n", "vocabulary entry 2 has the index -1 (indices are 0 to 50)"},
        {" 3 \r\n0  nil\r\n1\r\n", "it announces 3 words but holds only 1."},
        {"three\r\n", "its first item \"three\" is no word count."},
        {"", "it is empty."},
    };
    for (const Case& c : bad) {
        SCOPED_TRACE(c.text);
        std::ofstream(voc, std::ios::binary) << c.text;
        EXPECT_FALSE(ReadVocabulary(*m_state, &err));
        EXPECT_TRUE(err.ends_with(c.message)) << err;
        EXPECT_EQ(m_state->vocabulary[0], "one");
        EXPECT_EQ(m_state->vocabularyCount, 3);
    }
    fs::remove(voc);
    EXPECT_FALSE(ReadVocabulary(*m_state, &err));
    EXPECT_TRUE(err.starts_with("Cannot read the vocabulary file")) << err;
}

TEST_F(WordSetLoading, CurrentPairVectorsTracksAndMatch)
{
    writeAll(1);
    std::ofstream(m_dir.path() + "/DATA/Digits/DIGITS.VOC", std::ios::binary)
        << " 7 \r\n0  nil\r\n1  one\r\n2  two\r\n3  three\r\n4  four\r\n5  five\r\n6  six\r\n";
    std::string err;
    ASSERT_TRUE(ReadVocabulary(*m_state, &err)) << err;
    ASSERT_TRUE(LoadWordData(*m_state, &err)) << err;
    m_state->displayedPosition = 2;

    ASSERT_TRUE(LoadTestVector(*m_state, 2));
    const DtwWordStore& s = m_state->store;
    EXPECT_EQ(s.currentTestWord, 2);
    EXPECT_EQ(s.N, 4);
    EXPECT_EQ(m_state->testWordText, "two");
    EXPECT_EQ(s.testVector(3, 1), pattern(1, 0, 2, 3, 1));
    EXPECT_EQ(m_state->testTrack[3], pattern(1, 0, 2, 3, 2));

    ASSERT_TRUE(LoadRefVector(*m_state, 5));
    EXPECT_EQ(s.M, 10);
    EXPECT_EQ(m_state->referenceWordText, "five");
    EXPECT_EQ(m_state->currentReferenceSet, 2);
    EXPECT_EQ(s.refVector(10, 2), pattern(1, 2, 3, 10, 2));
    EXPECT_EQ(m_state->referenceTrack[10], pattern(1, 2, 3, 10, 2));

    // Out of range: nothing changes.
    EXPECT_FALSE(LoadTestVector(*m_state, 4));
    EXPECT_FALSE(LoadTestVector(*m_state, 0));
    EXPECT_FALSE(LoadRefVector(*m_state, 7));
    EXPECT_EQ(s.N, 4);
    EXPECT_EQ(s.M, 10);
    EXPECT_EQ(s.currentReference, 5);

    // Batch, then the best reference as the pair: the same score.
    const int label = MatchAllReferences(m_state->store, 2);
    ASSERT_GE(label, 0);
    ASSERT_TRUE(LoadRefVector(*m_state, m_state->store.best.reference));
    MatchCurrentPair(m_state->store);
    EXPECT_EQ(float(s.trace.pairDistance), s.best.score);
}

TEST(WordSetLayout, ValuePositionsWithEightFeatures)
{
    // With nFeat = 8 a word of 50 frames takes values 1..400; value 9 is
    // feature position 1 of frame 2.
    test::TempDir dir;
    DtwComparerState state;
    InitDtwDefaults(state);
    state.appPath = dir.path();
    state.vocabularyName = "v";
    state.workDirectoryName = "w";
    state.sourceName = "t";
    state.store.setNFeat(8);
    fs::create_directories(dir.path() + "/DATA/v/w");
    std::vector<float> values(400);
    for (int m = 1; m <= 400; ++m)
        values[std::size_t(m - 1)] = float(m);
    std::string err;
    ASSERT_TRUE(writeWordSet(dir.path() + "/DATA/v/w/t.LB", dir.path() + "/DATA/v/w/t.PR",
                             std::vector<WordSetEntry>{{0, 0, 50, 0}}, 8, values, LabelFileSpacing::WordSet, &err))
        << err;
    ASSERT_TRUE(LoadWordData(state, &err)) << err;
    ASSERT_TRUE(LoadTestVector(state, 1));
    EXPECT_EQ(state.store.testVector(2, 1), 9.0f);
    EXPECT_EQ(state.store.testVector(50, 8), 400.0f);
}

TEST(DtwDefaults, StartUpValues)
{
    const DtwComparerState& s = dtwComparer();
    EXPECT_EQ(s.store.method, 'N');
    EXPECT_EQ(s.store.bandRange, 10);
    EXPECT_EQ(s.plotStyle, 'F');
    EXPECT_EQ(s.rotation, 30);
    EXPECT_EQ(s.elevation, 75);
    EXPECT_EQ(s.labelExtension, ".LB");
    EXPECT_EQ(s.featureExtension, ".PR");
    EXPECT_EQ(s.sourceName, "x");
    struct Row {
        int feature;
        const char* name;
        float top, height;
    };
    const Row rows[] = {{1, "cep1", 5, 10}, {8, "cep8", 5, 10}, {9, "dcep1", 1, 2}, {16, "dcep8", 1, 2},
                        {17, "dene", 1, 2}, {18, "ddene", 1, 2}, {19, "svf", 50, 60}, {20, "ene", 10, 8}};
    for (const Row& r : rows) {
        const DtwFeatureName& f = s.featureNames[std::size_t(r.feature - 1)];
        EXPECT_STREQ(f.name, r.name);
        EXPECT_EQ(f.top, r.top);
        EXPECT_EQ(f.height, r.height);
    }
}

TEST_F(WordSetLoading, NoReferenceSetsLeaveNoReferences)
{
    writeAll(1);
    std::string err;
    ASSERT_TRUE(LoadWordData(*m_state, &err)) << err;
    ASSERT_EQ(m_state->store.referenceTotal, 6);
    // A configuration without reference sets must not match against the
    // references of the earlier loading.
    m_state->referenceSetCount = 0;
    ASSERT_TRUE(LoadWordData(*m_state, &err)) << err;
    EXPECT_EQ(m_state->store.testWordCount, 3);
    EXPECT_EQ(m_state->store.referenceTotal, 0);
    EXPECT_EQ(MatchAllReferences(m_state->store, 1), -1);
    EXPECT_FALSE(LoadRefVector(*m_state, 1));
}

TEST_F(WordSetLoading, EmptySourceNameReadsX)
{
    writeAll(1);
    writeSet("x", 3, 0, {{4, 5}});
    m_state->sourceName.clear();
    EXPECT_EQ(sourceWordSetName(*m_state), "x");
    std::string err;
    ASSERT_TRUE(LoadWordData(*m_state, &err)) << err;
    EXPECT_EQ(m_state->store.testWordCount, 1);
    expectTestWord(1, 3, {4, 5});

    writeSet("x", 4, 0, {{2, 7}, {3, 8}});
    ASSERT_TRUE(LoadRecordedWord(*m_state, &err)) << err;
    EXPECT_EQ(m_state->store.testWordCount, 1);
    expectTestWord(1, 4, {2, 7});
}

TEST_F(WordSetLoading, NamesThatLeaveTheDataTreeAreRefused)
{
    // A complete word set one folder up, where a name with ".." would reach it.
    writeAll(1);
    const std::string work = m_state->workDirectoryName;
    m_state->workDirectoryName = "work2";
    fs::create_directories(m_dir.path() + "/DATA/Digits/work2");
    {
        std::vector<float> values(2 * 5, 7.0f);
        ASSERT_TRUE(writeWordSet(m_dir.path() + "/DATA/Digits/work2/far.LB", m_dir.path() + "/DATA/Digits/work2/far.PR",
                                 std::vector<WordSetEntry>{{0, 9, 5, 0}}, kFeat, values, LabelFileSpacing::WordSet));
    }
    m_state->workDirectoryName = work;
    struct Case {
        const char* name;
        std::function<void(DtwComparerState&)> set;
        const char* message;  // the reason ends with this
    };
    const Case cases[] = {
        {"test word set above the work folder", [](DtwComparerState& s) { s.sourceName = "../work2/far"; },
         "it holds a path separator (\"/\" or \"\\\")."},
        {"reference set above the work folder", [](DtwComparerState& s) { s.referenceNames[2] = "../work2/far"; },
         "it holds a path separator (\"/\" or \"\\\")."},
        {"reference set named ..", [](DtwComparerState& s) { s.referenceNames[1] = ".."; },
         "it names a folder of its own."},
        {"work folder with a separator", [](DtwComparerState& s) { s.workDirectoryName = "work1/../work2"; },
         "it holds a path separator (\"/\" or \"\\\")."},
        {"vocabulary named ..", [](DtwComparerState& s) { s.vocabularyName = ".."; }, "it names a folder of its own."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SetUp();
        std::string err;
        ASSERT_TRUE(LoadWordData(*m_state, &err)) << err;
        c.set(*m_state);
        // Reference set 2 fails after set 1 of two words was read.
        const bool refTwo = std::string(c.name).starts_with("reference set above");
        err.clear();
        EXPECT_FALSE(LoadWordData(*m_state, &err));
        EXPECT_TRUE(err.ends_with(c.message)) << err;
        EXPECT_EQ(m_state->store.testWordCount, 3);
        EXPECT_EQ(m_state->store.referenceTotal, refTwo ? 2 : 6);
        EXPECT_EQ(m_state->store.testWord(1).label, 1);
        if (std::string(c.name).starts_with("test")) {
            EXPECT_FALSE(LoadRecordedWord(*m_state, &err));
            EXPECT_TRUE(err.ends_with(c.message)) << err;
            EXPECT_EQ(m_state->store.testWord(1).frames, 3);
        }
    }
    m_state->vocabularyName = "../DATA/Digits";
    std::string err;
    EXPECT_FALSE(ReadVocabulary(*m_state, &err));
    EXPECT_TRUE(err.ends_with("it holds a path separator (\"/\" or \"\\\").")) << err;
}

TEST(DtwDefaults, EveryFeatureNameAndThePathWithItsSlash)
{
    // The names in feature order, each with the range of its group.
    const auto& names = DtwFeatureNames();
    for (int k = 1; k <= kMaxFeatures; ++k) {
        SCOPED_TRACE(k);
        std::string name;
        float top = 0, height = 0;
        if (k <= 8) {
            name = "cep" + std::to_string(k), top = 5, height = 10;
        } else if (k <= 16) {
            name = "dcep" + std::to_string(k - 8), top = 1, height = 2;
        } else {
            const char* const last[] = {"dene", "ddene", "svf", "ene"};
            const float tops[] = {1, 1, 50, 10}, heights[] = {2, 2, 60, 8};
            name = last[k - 17], top = tops[k - 17], height = heights[k - 17];
        }
        EXPECT_EQ(std::string(names[std::size_t(k - 1)].name), name);
        EXPECT_EQ(names[std::size_t(k - 1)].top, top);
        EXPECT_EQ(names[std::size_t(k - 1)].height, height);
    }

    DtwComparerState state;
    state.appPath = "/opt/talvor";
    InitDtwDefaults(state);
    EXPECT_EQ(state.appPathSlash, "/opt/talvor/");
    EXPECT_EQ(state.featureNames[18].name, names[18].name);
}
