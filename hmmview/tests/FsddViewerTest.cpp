// The viewer on real speech: one speaker's digits of the free spoken digit
// recordings (TALVOR_SHARED_DATA/fsdd) cut out by the engine's word detector,
// ten models trained the way the HMM trainer does it (8 states, 2 mixtures,
// the 16 cepstral features) on takes 0-2, and takes 3-4 matched in the viewer.
// Skips when the recordings are not there.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <random>

#include "ViewerFixture.h"
#include "common/DataTree.h"
#include "common/FileNames.h"
#include "common/WordSetFile.h"
#include "PaddedWord.h"
#include "platform/Audio.h"
#include "statwalk/Jobs.h"

namespace talvor::hmmview {
namespace {

namespace fs = std::filesystem;

const std::vector<std::string> kDigits = {"zero", "one", "two", "three", "four",
                                          "five", "six", "seven", "eight", "nine"};

FeatureSelection cepstral()
{
    FeatureSelection f{};
    for (int i = 0; i < 16; ++i)
        f[static_cast<std::size_t>(i)] = true;
    return f;
}

// A stored word: its frames with 10 margin frames on each side, its samples.
struct Cut {
    std::vector<float> frames;  // 20 per frame
    std::vector<std::int16_t> samples;
    std::int32_t nFrames = 0;
};

bool cutWord(const std::vector<std::int16_t>& speech, unsigned seed, Cut* cut)
{
    engine::test::PaddedWord word;
    if (!engine::test::detectPaddedWord(speech, seed, kMarginFrames, &word))
        return false;
    cut->nFrames = word.frames;
    cut->frames = std::move(word.values);
    const std::vector<std::int16_t>& s = word.signal;
    const std::int64_t firstSample = std::max<std::int64_t>(word.result.startSample - 80 * kMarginFrames, 0);
    cut->samples.assign(static_cast<std::size_t>(cut->nFrames) * 80, 0);
    for (std::size_t k = 0; k < cut->samples.size() && firstSample + static_cast<std::int64_t>(k) < static_cast<std::int64_t>(s.size()); ++k)
        cut->samples[k] = s[static_cast<std::size_t>(firstSample) + k];
    return true;
}

TEST(ViewerOnRealSpeech, RecognisesMostOfASpeakersDigits)
{
    const char* shared = std::getenv("TALVOR_SHARED_DATA");
    const std::string folder = shared ? std::string(shared) + "/fsdd" : std::string();
    if (folder.empty() || !fs::is_directory(folder))
        GTEST_SKIP() << "no recordings at TALVOR_SHARED_DATA/fsdd";

    talvor::test::TempDir dir;
    const DataTree tree(dir.path());
    std::string error;
    ASSERT_TRUE(tree.createVocabulary("digits", kDigits, &error)) << error;
    ASSERT_TRUE(tree.createWorkFolder("digits", "hmm", &error)) << error;
    const std::string work = tree.workFolder("digits", "hmm");

    std::vector<WordSetEntry> entries;
    std::vector<float> values;
    std::vector<std::string> testNames;
    std::vector<Cut> tests;
    for (int digit = 0; digit < 10; ++digit)
        for (int take = 0; take < 5; ++take) {
            std::vector<std::int16_t> speech;
            const std::string wav = folder + "/" + std::to_string(digit) + "_george_" + std::to_string(take) + ".wav";
            if (!platform::readWav(wav, &speech, &error))
                continue;
            Cut cut;
            if (!cutWord(speech, static_cast<unsigned>(digit * 5 + take + 1), &cut))
                continue;
            if (take <= 2) {
                const std::int32_t frames = cut.nFrames - 2 * kMarginFrames;
                entries.push_back({static_cast<std::int32_t>(entries.size()), digit, frames, 0});
                const std::vector<float> word(cut.frames.begin() + kMarginFrames * kFeaturesPerFrame,
                                              cut.frames.end() - kMarginFrames * kFeaturesPerFrame);
                const std::vector<float> selected = selectedFeatureValues(word, cepstral());
                values.insert(values.end(), selected.begin(), selected.end());
            } else {
                testNames.push_back(kDigits[static_cast<std::size_t>(digit)]);
                tests.push_back(std::move(cut));
            }
        }
    ASSERT_GE(entries.size(), 25u);
    ASSERT_GE(tests.size(), 15u);
    ASSERT_TRUE(writeWordSet(joinPath(work, "TRAIN.LB"), joinPath(work, "TRAIN.PR"), entries, 16, values,
                             LabelFileSpacing::WordSet, &error))
        << error;
    StatwalkConfig job;
    job.kind = StatwalkKind::Training;
    job.mode = 3;
    job.vocabulary = "digits";
    job.workDirectory = "hmm";
    job.features = cepstral();
    job.featureCount = 16;
    job.files = {"TRAIN"};
    job.states = 8;
    job.mixtures = 2;
    const statwalk::TrainingOutcome trained = statwalk::runTraining(dir.path(), job, {2026, 1, 1}, nullptr);
    ASSERT_TRUE(trained.ok) << trained.error;
    ASSERT_TRUE(writeStatwalkConfig(tree.modelConfigCopy("digits", "hmm"), job, &error)) << error;

    // The test takes as a recording of the vocabulary.
    {
        worddata::WordDataStore store;
        ASSERT_EQ(store.SetNewVoc(testNames, static_cast<std::int32_t>(testNames.size())), 0);
        for (std::size_t k = 0; k < tests.size(); ++k)
            ASSERT_EQ(store.PutWordData(static_cast<std::int32_t>(k + 1), tests[k].frames, tests[k].samples,
                                        tests[k].nFrames, testNames[k]),
                      0)
                << store.lastError();
        ASSERT_EQ(store.Save_Data(tree.recordingBase("digits", "george") + ".lab"), 0) << store.lastError();
    }

    testing::FakeClock clock;
    testing::FakePump pump{clock};
    ChainviewModel viewer(clock, pump);
    viewer.SetAppPath(dir.path());
    ASSERT_TRUE(viewer.LoadMode(4, "digits", "", "george", "hmm"));
    ASSERT_EQ(viewer.modelCount(), static_cast<int>(trained.written.size()));
    int right = 0;
    for (std::size_t k = 0; k < tests.size(); ++k) {
        viewer.cmboWords_Click(static_cast<int>(k));
        viewer.MATCH(0);
        const std::int32_t model = viewer.GetResultByOrder(1);
        ASSERT_GE(model, 0) << viewer.reportLines().front();
        // The model's word and its vocabulary index name the same digit.
        EXPECT_EQ(viewer.model(model).word(), kDigits[static_cast<std::size_t>(viewer.GetModelVocabularyIndex(model))]);
        if (viewer.model(model).word() == testNames[k])
            ++right;
    }
    std::printf("viewer on george's takes 3-4: %d of %zu right\n", right, tests.size());
    EXPECT_GE(right * 10, static_cast<int>(tests.size()) * 7);
}

}  // namespace
}  // namespace talvor::hmmview
