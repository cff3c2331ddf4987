#include "FakeStatwalkCore.h"

#include <cstring>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>

#include "common/WordSetFile.h"
#include "testing/TempDir.h"

using namespace talvor::fake;

TEST(FakeStatwalkBehaviour, DefaultsAndEverySetting)
{
    Behaviour b;
    std::string err;
    ASSERT_TRUE(parseBehaviour("", &b, &err));
    EXPECT_EQ(b.answer, 0);
    EXPECT_FALSE(b.pickAnswer.has_value());
    EXPECT_EQ(b.answerBy, Delivery::Post);
    EXPECT_EQ(b.mainCaption, "Talvor Setup");
    EXPECT_EQ(b.returnKeys, std::vector<std::int32_t>{26675});
    EXPECT_TRUE(closesWhenDone(b, 3));
    EXPECT_TRUE(closesWhenDone(b, 4));
    EXPECT_FALSE(closesWhenDone(b, 5));
    EXPECT_FALSE(closesWhenDone(b, 7));

    ASSERT_TRUE(parseBehaviour("# a comment\r\n"
                               "answer 3\r\n"
                               "pick_answer 7   # fixed\n"
                               "answer_by send\n"
                               "analyser_caption Wavescope in mode: Pick & Match (HMM)\n"
                               "main_caption TALVOR II Setup\n"
                               "start_main_keys 26674\n"
                               "exit_main_keys 26675 26666\n"
                               "return_keys 26670\n"
                               "work_ms 0\n"
                               "close_when_done no\n"
                               "models no\n",
                               &b, &err))
        << err;
    EXPECT_EQ(b.answer, 3);
    EXPECT_EQ(b.pickAnswer, 7);
    EXPECT_EQ(b.answerBy, Delivery::Send);
    EXPECT_EQ(b.analyserCaption, "Wavescope in mode: Pick & Match (HMM)");
    EXPECT_EQ(b.mainCaption, "TALVOR II Setup");
    EXPECT_EQ(b.startMainKeys, std::vector<std::int32_t>{26674});
    EXPECT_EQ(b.exitMainKeys, (std::vector<std::int32_t>{26675, 26666}));
    EXPECT_EQ(b.returnKeys, std::vector<std::int32_t>{26670});
    EXPECT_EQ(b.workMs, 0);
    EXPECT_FALSE(closesWhenDone(b, 3));
    EXPECT_FALSE(b.models);
}

TEST(FakeStatwalkBehaviour, RefusesWhatItDoesNotKnow)
{
    for (const char* bad : {"anser 3", "answer three", "answer_by mail", "work_ms -5", "close_when_done maybe",
                            "return_keys 1 x", "main_caption", "pick_answer"}) {
        SCOPED_TRACE(bad);
        Behaviour b;
        b.answer = 42;
        std::string err;
        EXPECT_FALSE(parseBehaviour(std::string("answer 1\n") + bad, &b, &err));
        EXPECT_NE(err.find("line 2"), std::string::npos) << err;
        EXPECT_EQ(b.answer, 42);
    }
}

TEST(FakeStatwalkModels, FileLayoutTheViewerReads)
{
    const int F = 3, S = 5, M = 2;
    const std::string bytes = modelFileBytes("seven", 7, F, S, M, 2026, 12, 10);
    ASSERT_EQ(bytes.size(), 52u + 4u * (S * S + S * M + 2 * S * M * F));
    EXPECT_EQ(std::string(bytes.data()), "seven");
    auto i16 = [&](std::size_t at) {
        std::int16_t v;
        std::memcpy(&v, bytes.data() + at, 2);
        return v;
    };
    auto f32 = [&](std::size_t at) {
        float v;
        std::memcpy(&v, bytes.data() + at, 4);
        return v;
    };
    EXPECT_EQ(i16(16), 7);
    EXPECT_EQ(i16(18), 8000);
    EXPECT_EQ(i16(24), F);
    EXPECT_EQ(i16(26), S);
    EXPECT_EQ(i16(28), M);
    EXPECT_EQ(i16(42), 2026);
    EXPECT_EQ(i16(44), 12);
    EXPECT_EQ(i16(46), 10);
    // Each state's transitions sum to 1.
    for (int i = 0; i < S; ++i) {
        float sum = 0;
        for (int j = 0; j < S; ++j)
            sum += f32(52 + 4 * std::size_t(S * i + j));
        EXPECT_FLOAT_EQ(sum, 1.0f) << i;
    }
    EXPECT_EQ(f32(52 + 4 * S * S), 0.5f);  // mixture weight 1/M

    EXPECT_EQ(modelFileName("seven", 7), "seven.mod");
    EXPECT_EQ(modelFileName("a/b", 2), "model2.mod");
    EXPECT_EQ(modelFileName("..", 3), "model3.mod");
}

TEST(FakeStatwalkJob, RefusesMissingOrShortWordSets)
{
    talvor::test::TempDir dir;
    const std::string work = dir.path() + "/DATA/digits/w";
    std::filesystem::create_directories(work);
    talvor::StatwalkConfig job;
    job.kind = talvor::StatwalkKind::Training;
    job.mode = 3;
    job.vocabulary = "digits";
    job.workDirectory = "w";
    job.features[0] = job.features[19] = true;  // two values a frame
    job.featureCount = 2;
    job.files = {"s1", "s2"};
    const std::vector<talvor::WordSetEntry> words{{0, 0, 3, 0}, {1, 1, 2, 0}};
    const std::vector<float> values(2 * 5, 1.0f);
    ASSERT_TRUE(talvor::writeWordSet(work + "/s1.LB", work + "/s1.PR", words, 2, values,
                                     talvor::LabelFileSpacing::WordSet));
    std::string err;
    EXPECT_FALSE(checkWordSets(dir.path(), job, &err));
    EXPECT_NE(err.find("word set s2"), std::string::npos) << err;

    ASSERT_TRUE(talvor::writeWordSet(work + "/s2.LB", work + "/s2.PR", words, 2, values,
                                     talvor::LabelFileSpacing::WordSet));
    EXPECT_TRUE(checkWordSets(dir.path(), job, &err)) << err;

    // One value short (a copy made with fewer features than the job names).
    std::ofstream(work + "/s2.PR", std::ios::binary | std::ios::trunc) << std::string(9 * 4, '\0');
    EXPECT_FALSE(checkWordSets(dir.path(), job, &err));
    // No words at all.
    ASSERT_TRUE(talvor::writeWordSet(work + "/s2.LB", work + "/s2.PR", {}, 2, {}, talvor::LabelFileSpacing::WordSet));
    EXPECT_FALSE(checkWordSets(dir.path(), job, &err));
    EXPECT_NE(err.find("holds no word"), std::string::npos) << err;

    // Speak & Recognize (HMM): the token X comes later.
    job.kind = talvor::StatwalkKind::Recognition;
    job.mode = 7;
    job.files = {"X"};
    EXPECT_TRUE(checkWordSets(dir.path(), job, &err)) << err;
    job.mode = 4;
    EXPECT_FALSE(checkWordSets(dir.path(), job, &err));
}
