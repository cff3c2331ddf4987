#include "common/WordSetFile.h"

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <limits>
#include <random>
#include <thread>

#include "common/FileNames.h"
#include "testing/TempDir.h"

using namespace talvor;

namespace {

std::string fileBytes(const std::string& path)
{
    std::string bytes;
    EXPECT_TRUE(readFileWhole(path, &bytes)) << path;
    return bytes;
}

void putFile(const std::string& path, std::string_view bytes)
{
    std::ofstream(path, std::ios::binary) << bytes;
}

}  // namespace

TEST(WordSetFile, LabelFilesByteExact)
{
    struct Case {
        const char* name;
        std::vector<WordSetEntry> words;
        LabelFileSpacing spacing;
        std::string text;
    };
    const Case cases[] = {
        {"two words of a word set", {{0, 3, 45, 0}, {1, 7, 38, 0}}, LabelFileSpacing::WordSet,
         " 2 \r\n 0   3   45   0 \r\n 1   7   38   45 \r\n"},
        {"token of 57 frames", {{1, 0, 57, 0}}, LabelFileSpacing::Token, " 1 \r\n 1  0  57  0 \r\n"},
        {"one-word set: two lines, offset 0", {{4, 2, 9, 0}}, LabelFileSpacing::WordSet, " 1 \r\n 4   2   9   0 \r\n"},
        {"offsets are running sums, whatever the entries say", {{5, 1, 10, 99}, {6, 1, 20, 7}, {7, 2, 3, -4}},
         LabelFileSpacing::WordSet, " 3 \r\n 5   1   10   0 \r\n 6   1   20   10 \r\n 7   2   3   30 \r\n"},
        {"negative numbers in print form", {{-1, -2, 3, 0}}, LabelFileSpacing::Token, " 1 \r\n-1 -2  3  0 \r\n"},
        {"empty set", {}, LabelFileSpacing::WordSet, " 0 \r\n"},
    };
    test::TempDir dir;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(labelFileText(c.words, c.spacing), c.text);
        const std::string path = dir.path() + "/w.LB";
        std::string err;
        ASSERT_TRUE(writeLabelFile(path, c.words, c.spacing, &err)) << err;
        EXPECT_EQ(fileBytes(path), c.text);

        // Round trip: the words come back with their running offsets.
        LabelFileContents back;
        ASSERT_TRUE(readLabelFile(path, &back, &err)) << err;
        EXPECT_EQ(back.count, std::int32_t(c.words.size()));
        ASSERT_EQ(back.words.size(), c.words.size());
        std::int32_t offset = 0;
        for (std::size_t k = 0; k < c.words.size(); ++k) {
            WordSetEntry expected = c.words[k];
            expected.offset = offset;
            offset += expected.frames;
            EXPECT_EQ(back.words[k], expected) << "word " << k + 1;
        }
    }
}

TEST(WordSetFile, ReadsHandEditedLabelFiles)
{
    const std::vector<WordSetEntry> expected = {{0, 3, 45, 0}, {1, 7, 38, 45}};
    const char* texts[] = {
        " 2 \r\n 0   3   45   0 \r\n 1   7   38   45 \r\n",  // as the wizard writes it
        " 2 \r\n 0  3  45  0 \r\n 1  7  38  45 \r\n",        // token spacing
        "2\n0 3 45 0\n1 7 38 45\n",                          // LF line ends, no padding
        "2\n\n\t0,3,45,0\n1 7\n38 45",                       // commas, TABs, split lines, no final line end
        " 2 \r\n 0   3   45   0 \r\n 1   7   38   45 \r\n 9 9 9 9 trailing words are not read\r\n",
    };
    for (const char* text : texts) {
        SCOPED_TRACE(text);
        LabelFileContents got;
        std::string err;
        ASSERT_TRUE(parseLabelFile(text, &got, &err)) << err;
        EXPECT_EQ(got.count, 2);
        EXPECT_EQ(got.words, expected);
    }
}

TEST(WordSetFile, RefusesBrokenLabelFiles)
{
    struct Case {
        const char* text;
        const char* message;
    };
    const Case cases[] = {
        {"", "the label file holds no word count"},
        {" \r\n ", "the label file holds no word count"},
        {"two\r\n", "the word count \"two\" is not a number of words"},
        {"-1\r\n", "the word count \"-1\" is not a number of words"},
        {" 2 \r\n 0   3   45   0 \r\n 1   7   38 \r\n", "the label file ends in word 2 of 2"},
        {" 1 \r\n 0   3   4.5   0 \r\n", "word 1: the frame count \"4.5\" is not a whole number"},
        {" 1 \r\n 0   x   45   0 \r\n", "word 1: the label \"x\" is not a whole number"},
        {" 1 \r\n 0   3   -45   0 \r\n", "word 1: negative frame count -45"},
        {" 1 \r\n 0   3   99999999999   0 \r\n", "word 1: the frame count \"99999999999\" is not a whole number"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        LabelFileContents got;
        got.count = 77;
        std::string err;
        EXPECT_FALSE(parseLabelFile(c.text, &got, &err));
        EXPECT_EQ(err, c.message);
        EXPECT_EQ(got.count, 77);  // untouched
    }
}

TEST(WordSetFile, FirstWordAloneIgnoresTheRest)
{
    // The recorded token is read by its first word; a broken later word does not matter.
    const std::string text = " 3 \r\n 1  0  57  0 \r\n junk";
    LabelFileContents got;
    std::string err;
    ASSERT_TRUE(parseLabelFile(text, &got, &err, 1)) << err;
    EXPECT_EQ(got.count, 3);
    ASSERT_EQ(got.words.size(), 1u);
    EXPECT_EQ(got.words[0], (WordSetEntry{1, 0, 57, 0}));
    EXPECT_FALSE(parseLabelFile(text, &got, &err));
    // Asking for more words than announced reads the announced ones.
    ASSERT_TRUE(parseLabelFile(" 1 \r\n 1  0  57  0 \r\n", &got, &err, 5)) << err;
    EXPECT_EQ(got.words.size(), 1u);
}

TEST(WordSetFile, FeatureFileBytesAreLittleEndianFloats)
{
    const std::vector<float> values = {1.0f, -2.5f, 1e35f};
    const std::string bytes = featureFileBytes(values);
    const unsigned char expected[] = {0x00, 0x00, 0x80, 0x3F, 0x00, 0x00, 0x20, 0xC0, 0x0C, 0x13, 0x9A, 0x79};
    ASSERT_EQ(bytes.size(), sizeof expected);
    EXPECT_EQ(std::memcmp(bytes.data(), expected, sizeof expected), 0);
    EXPECT_EQ(parseFeatureFile(bytes), values);
    // A trailing partial value belongs to no frame.
    EXPECT_EQ(parseFeatureFile(bytes + "\x01\x02"), values);
}

TEST(WordSetFile, SelectedFeaturesOfWholeFrames)
{
    // Three frames of 20 features, value = frame x 100 + feature, and half a frame more.
    std::vector<float> frames;
    for (int f = 0; f < 3; ++f)
        for (int j = 0; j < 20; ++j)
            frames.push_back(float(f * 100 + j));
    frames.insert(frames.end(), 10, -1.0f);
    FeatureSelection c1c2ene{};
    c1c2ene[0] = c1c2ene[1] = c1c2ene[19] = true;
    const auto values = selectedFeatureValues(frames, c1c2ene);
    EXPECT_EQ(values, (std::vector<float>{0, 1, 19, 100, 101, 119, 200, 201, 219}));
    EXPECT_EQ(featureFileBytes(values).size(), 3u * 12u);  // 12 bytes per frame
    EXPECT_TRUE(selectedFeatureValues(frames, FeatureSelection{}).empty());
    FeatureSelection all;
    all.fill(true);
    EXPECT_EQ(selectedFeatureValues(frames, all), std::vector<float>(frames.begin(), frames.begin() + 60));
}

TEST(WordSetFile, WordSetRoundTripWithCaseDifferingNames)
{
    test::TempDir dir;
    // Three selected features (say c1, c2 and ene): 12 bytes per frame.
    const std::vector<WordSetEntry> words = {{0, 3, 2, 0}, {1, 7, 3, 0}};
    std::vector<float> values;
    for (int frame = 0; frame < 5; ++frame)
        for (int f = 0; f < 3; ++f)
            values.push_back(float(frame * 100 + f));
    std::string err;
    ASSERT_TRUE(writeWordSet(dir.path() + "/ref1.lb", dir.path() + "/ref1.pr", words, 3, values,
                             LabelFileSpacing::WordSet, &err))
        << err;
    EXPECT_EQ(std::filesystem::file_size(dir.path() + "/ref1.pr"), 5u * 12u);
    EXPECT_EQ(fileBytes(dir.path() + "/ref1.lb"), " 2 \r\n 0   3   2   0 \r\n 1   7   3   2 \r\n");

    WordSet set;
    ASSERT_TRUE(readWordSet(dir.path() + "/REF1.LB", dir.path() + "/Ref1.PR", 3, &set, &err)) << err;
    EXPECT_EQ(set.count, 2);
    ASSERT_EQ(set.words.size(), 2u);
    EXPECT_EQ(set.words[1], (WordSetEntry{1, 7, 3, 2}));
    EXPECT_EQ(set.values, values);
    EXPECT_EQ(set.firstValue, (std::vector<std::int64_t>{0, 6}));

    // Rewriting through another spelling replaces the file under its own name.
    ASSERT_TRUE(writeWordSet(dir.path() + "/REF1.LB", dir.path() + "/REF1.PR", {words.data(), 1}, 3,
                             {values.data(), 6}, LabelFileSpacing::WordSet, &err))
        << err;
    EXPECT_EQ(fileBytes(dir.path() + "/ref1.lb"), " 1 \r\n 0   3   2   0 \r\n");
    EXPECT_FALSE(std::filesystem::exists(dir.path() + "/REF1.LB"));
}

TEST(WordSetFile, FeatureFileLengthAgainstTheLabelFile)
{
    test::TempDir dir;
    const std::string lb = dir.path() + "/x.lb", pr = dir.path() + "/x.pr";
    putFile(lb, " 2 \r\n 0   3   2   0 \r\n 1   7   3   2 \r\n");
    std::vector<float> values(2 * 5);
    for (std::size_t k = 0; k < values.size(); ++k)
        values[k] = float(k);
    std::string err;

    // Exactly as announced: read.
    putFile(pr, featureFileBytes(values));
    WordSet set;
    ASSERT_TRUE(readWordSet(lb, pr, 2, &set, &err)) << err;
    EXPECT_EQ(set.values, values);

    // Longer than announced: a feature file of another save (or another
    // feature selection) is refused when every word is read; a reader of the
    // first word alone (the recorded token) takes its values from the start.
    std::vector<float> longer = values;
    longer.push_back(42.0f);
    putFile(pr, featureFileBytes(longer));
    set.count = 77;
    EXPECT_FALSE(readWordSet(lb, pr, 2, &set, &err));
    EXPECT_EQ(err, pr + " does not belong to " + lb + ": it holds 44 bytes, the label file's words take 40");
    EXPECT_EQ(set.count, 77);
    EXPECT_FALSE(readWordSet(lb, pr, 1, &set, &err));  // another feature count
    ASSERT_TRUE(readWordSet(lb, pr, 2, &set, &err, 1)) << err;
    EXPECT_EQ(set.values, std::vector<float>(values.begin(), values.begin() + 4));

    // One value short: refused, with the byte counts.
    putFile(pr, featureFileBytes({values.data(), values.size() - 1}));
    set.count = 77;
    EXPECT_FALSE(readWordSet(lb, pr, 2, &set, &err));
    EXPECT_EQ(err, pr + " ends in word 2: 36 bytes, the label file announces 40");
    EXPECT_EQ(set.count, 77);

    // Missing files.
    EXPECT_FALSE(readWordSet(dir.path() + "/none.LB", pr, 2, &set, &err));
    EXPECT_EQ(err, "cannot read " + dir.path() + "/none.LB");
    EXPECT_FALSE(readWordSet(lb, dir.path() + "/none.PR", 2, &set, &err));
    EXPECT_EQ(err, "cannot read " + dir.path() + "/none.PR");
}

TEST(WordSetFile, WriterRefusesValuesThatDoNotMakeTheFrames)
{
    test::TempDir dir;
    const std::vector<WordSetEntry> words = {{0, 3, 2, 0}};
    const std::vector<float> values(7);
    std::string err;
    EXPECT_FALSE(writeWordSet(dir.path() + "/a.LB", dir.path() + "/a.PR", words, 4, values,
                              LabelFileSpacing::WordSet, &err));
    EXPECT_EQ(err, "7 feature values do not make 2 frames of 4 features");
    EXPECT_TRUE(std::filesystem::is_empty(dir.path()));
}

TEST(WordSetFile, AMixedPairFromTwoSavesIsRefused)
{
    // A crash between the writes of a pair: the new feature file beside the
    // old label file.
    test::TempDir dir;
    const std::string lb = dir.path() + "/ref.LB", pr = dir.path() + "/ref.PR";
    const std::vector<WordSetEntry> oldWords = {{0, 3, 2, 0}, {1, 7, 3, 0}};
    std::vector<float> oldValues(2 * 5, 1.0f);
    std::string err;
    ASSERT_TRUE(writeWordSet(lb, pr, oldWords, 2, oldValues, LabelFileSpacing::WordSet, &err)) << err;
    std::vector<float> newValues(2 * 9, 2.0f);  // the next save: 9 frames
    ASSERT_TRUE(writeFeatureFile(pr, newValues, &err)) << err;
    WordSet set;
    EXPECT_FALSE(readWordSet(lb, pr, 2, &set, &err));
    EXPECT_NE(err.find("does not belong to"), std::string::npos) << err;
}

TEST(WordSetFile, WriterAndReaderAgreeOnTheOffsetRange)
{
    // With no feature selected the feature file is empty whatever the frame
    // counts, so offsets can pass the 32-bit range the reader takes.
    test::TempDir dir;
    const std::string lb = dir.path() + "/big.LB", pr = dir.path() + "/big.PR";
    const std::int32_t max = std::numeric_limits<std::int32_t>::max();
    std::string err;

    // The last offset exactly at the limit: written and read back.
    const std::vector<WordSetEntry> fits = {{0, 1, max - 5, 0}, {1, 2, 5, 0}, {2, 3, max, 0}};
    ASSERT_TRUE(labelFileFits(fits, &err)) << err;
    std::vector<WordSetEntry> tooFar = fits;
    tooFar.push_back({3, 4, 1, 0});  // would start at 2 * max
    ASSERT_TRUE(writeWordSet(lb, pr, {fits.data(), 2}, 0, {}, LabelFileSpacing::WordSet, &err)) << err;
    WordSet set;
    ASSERT_TRUE(readWordSet(lb, pr, 0, &set, &err)) << err;
    ASSERT_EQ(set.words.size(), 2u);
    EXPECT_EQ(set.words[1].offset, max - 5);
    ASSERT_TRUE(writeWordSet(lb, pr, fits, 0, {}, LabelFileSpacing::WordSet, &err)) << err;
    ASSERT_TRUE(readWordSet(lb, pr, 0, &set, &err)) << err;
    EXPECT_EQ(set.words[2].offset, max);

    // One frame further is refused by the writer, which writes nothing.
    const std::string before = fileBytes(lb);
    for (const auto& words : {tooFar, std::vector<WordSetEntry>{{0, 1, max, 0}, {1, 2, 1, 0}, {2, 3, 1, 0}}}) {
        EXPECT_FALSE(labelFileFits(words, &err));
        EXPECT_FALSE(writeWordSet(lb, pr, words, 0, {}, LabelFileSpacing::WordSet, &err));
        EXPECT_NE(err.find("beyond the 2147483647"), std::string::npos) << err;
        EXPECT_FALSE(writeLabelFile(lb, words, LabelFileSpacing::Token, &err));
        EXPECT_EQ(fileBytes(lb), before);
    }
}

namespace {

// A token of `frames` frames of 2 features, every value `value`.
bool writeToken(const std::string& dir, std::int32_t frames, float value, std::string* err)
{
    const std::vector<float> values(std::size_t(frames) * 2, value);
    return writeTokenWordSet(dir + "/x.lb", dir + "/x.pr", WordSetEntry{1, 0, frames, 0}, 2, values, err);
}

}  // namespace

// The recorded token's two files carry one stamp: every reader of word sets
// still reads the token, and a pair of two different tokens is refused.
TEST(TokenWordSet, StampedPairReadsAndAMixedPairIsRefused)
{
    talvor::test::TempDir dir;
    const std::string lb = dir.path() + "/x.lb", pr = dir.path() + "/x.pr";
    std::string err;
    ASSERT_TRUE(writeToken(dir.path(), 30, 1.5f, &err)) << err;
    for (std::int32_t wanted : {1, -1}) {
        WordSet set;
        ASSERT_TRUE(readWordSet(lb, pr, 2, &set, &err, wanted)) << err;
        ASSERT_EQ(set.words.size(), 1u);
        EXPECT_EQ(set.words[0].frames, 30);
        EXPECT_EQ(set.values, std::vector<float>(60, 1.5f));
    }
    // The label file's first word and the feature file's first values read
    // as ever, by readers that know nothing of the stamp.
    LabelFileContents label;
    ASSERT_TRUE(readLabelFile(lb, &label, &err, 1)) << err;
    EXPECT_EQ(label.words.at(0), (WordSetEntry{1, 0, 30, 0}));
    EXPECT_TRUE(label.stamped);
    std::vector<float> raw;
    ASSERT_TRUE(readFeatureFile(pr, &raw, &err));
    EXPECT_EQ(std::vector<float>(raw.begin(), raw.begin() + 60), std::vector<float>(60, 1.5f));

    const std::string oldLb = fileBytes(lb), oldPr = fileBytes(pr);
    ASSERT_TRUE(writeToken(dir.path(), 30, 2.5f, &err)) << err;  // same length, another word
    const std::string newLb = fileBytes(lb), newPr = fileBytes(pr);
    EXPECT_NE(oldLb, newLb);
    std::string plainPr;
    ASSERT_TRUE(writeFeatureFile(dir.path() + "/plain.pr", std::vector<float>(60, 1.0f), &err));
    plainPr = fileBytes(dir.path() + "/plain.pr");
    const std::string plainLb = " 1 \r\n 1  0  30  0 \r\n";
    struct Row {
        const char* name;
        const std::string& lb;
        const std::string& pr;
    };
    const Row rows[] = {
        {"new x.pr, old x.lb (a kill between the writes)", oldLb, newPr},
        {"old x.pr, new x.lb", newLb, oldPr},
        {"stamped x.lb, x.pr without a stamp", newLb, plainPr},
        {"x.lb without a stamp, stamped x.pr", plainLb, newPr},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        putFile(lb, r.lb);
        putFile(pr, r.pr);
        WordSet set;
        err.clear();
        EXPECT_FALSE(readWordSet(lb, pr, 2, &set, &err, 1));
        EXPECT_NE(err.find("two different recordings"), std::string::npos) << err;
    }
    // A pair without stamps (a word set of the wizard's) reads as before.
    putFile(lb, plainLb);
    putFile(pr, plainPr);
    WordSet set;
    EXPECT_TRUE(readWordSet(lb, pr, 2, &set, &err, 1)) << err;
}

// A kill at any moment of the token's writes leaves a pair that either reads
// as one whole word or is refused: never one word's values at another's length.
TEST(TokenWordSet, AKillDuringTheWritesNeverGivesAMixedWord)
{
    talvor::test::TempDir dir;
    std::string err;
    ASSERT_TRUE(writeToken(dir.path(), 30, 1.0f, &err)) << err;
    std::mt19937 rng(5);
    int refused = 0;
    for (int trial = 0; trial < 150; ++trial) {
        const pid_t pid = ::fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            for (int k = 0;; ++k)
                writeToken(dir.path(), k % 2 ? 45 : 30, k % 2 ? 2.0f : 1.0f, nullptr);
        }
        std::this_thread::sleep_for(std::chrono::microseconds(std::uniform_int_distribution<int>(0, 3000)(rng)));
        ::kill(pid, SIGKILL);
        ::waitpid(pid, nullptr, 0);
        WordSet set;
        err.clear();
        if (!readWordSet(dir.path() + "/x.lb", dir.path() + "/x.pr", 2, &set, &err, 1)) {
            EXPECT_NE(err.find("two different recordings"), std::string::npos) << err;
            ++refused;
            continue;
        }
        const std::int32_t frames = set.words.at(0).frames;
        ASSERT_TRUE(frames == 30 || frames == 45);
        EXPECT_EQ(set.values, std::vector<float>(std::size_t(frames) * 2, frames == 45 ? 2.0f : 1.0f))
            << "trial " << trial;
    }
    RecordProperty("refused", refused);
}
