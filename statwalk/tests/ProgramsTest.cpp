// statwalk1 and statwalk2 as the workbench and the analyser meet them:
// started from a program folder with no arguments, found by caption, training
// and recognising on word sets there, answering the analyser's commands.
#include <QCoreApplication>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <gtest/gtest.h>
#include <thread>

#include "Synthetic.h"
#include "common/DataTree.h"
#include "common/FileNames.h"
#include "common/StatwalkConfig.h"
#include "platform/Process.h"
#include "platform/Window.h"
#include "testing/EventLoop.h"
#include "testing/TempDir.h"

using namespace talvor;
using namespace talvor::statwalk;
namespace fs = std::filesystem;

namespace {

constexpr std::int32_t kF = 2;
constexpr std::int32_t kS = 4;
// Slow under the sanitizers on a shared machine: generous, never a timing assertion.
constexpr int kWaitMs = 60000;

template <class Done>
bool serveUntil(Done done, int timeoutMs = kWaitMs)
{
    return talvor::test::serveEventsUntil(done, timeoutMs);
}

class Programs : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_NE(QCoreApplication::instance(), nullptr);
        ASSERT_FALSE(dir.path().empty());
        std::string err;
        ASSERT_TRUE(tree.createVocabulary("digits", {"zero", "one", "two"}, &err)) << err;
        ASSERT_TRUE(tree.createWorkFolder("digits", "w1", &err)) << err;
        work = tree.workFolder("digits", "w1");
        for (std::uint32_t w = 0; w < 3; ++w)
            truth.push_back(statwalk::test::knownModel(300 + w, kS, 1, kF));
        ASSERT_TRUE(statwalk::test::writeDrawnSet(work, "SAB01", truth, {0, 1, 2}, 3, 1, &err)) << err;
        ASSERT_TRUE(statwalk::test::writeDrawnSet(work, "SAB02", truth, {2, 1, 0}, 3, 2, &err)) << err;
        ASSERT_TRUE(statwalk::test::writeDrawnSet(work, "TEST", truth, {1, 2, 0}, 2, 3, &err)) << err;
    }

    void TearDown() override { ::unsetenv("TALVOR_STATWALK_ANSWER_BY"); }

    std::unique_ptr<platform::ChildProcess> start(StatwalkKind kind, std::int32_t mode, std::vector<std::string> files)
    {
        const std::string built = kind == StatwalkKind::Training ? STATWALK1_PROGRAM : STATWALK2_PROGRAM;
        const std::string program = tree.externalProgram(kind);
        fs::copy_file(built, program, fs::copy_options::overwrite_existing);
        StatwalkConfig c;
        c.kind = kind;
        c.mode = mode;
        c.vocabulary = "digits";
        c.workDirectory = "w1";
        c.features[0] = c.features[19] = true;
        c.featureCount = kF;
        c.files = std::move(files);
        c.states = kS;
        c.mixtures = 1;
        std::string err;
        EXPECT_TRUE(writeStatwalkConfig(tree.statwalkConfigFile(kind), c, &err)) << err;
        auto child = platform::ChildProcess::start(program, dir.path(), &err);
        EXPECT_TRUE(child) << err;
        return child;
    }

    // Trains the models the recogniser tests use.
    void train()
    {
        auto child = start(StatwalkKind::Training, 3, {"SAB01", "SAB02"});
        ASSERT_TRUE(child);
        ASSERT_TRUE(serveUntil([&] { return !child->isRunning(); })) << workLog("statwalk1.log");
        ASSERT_EQ(listFilesWithExtension(work, ".mod").size(), 3u) << workLog("statwalk1.log");
    }

    std::string workLog(const std::string& name) const
    {
        std::string text;
        readFileWhole(joinPath(work, name), &text);
        return text;
    }

    std::unique_ptr<platform::WindowEndpoint> keyWindow(const std::string& caption, std::vector<std::uint32_t>* keys)
    {
        std::string err;
        auto w = platform::WindowEndpoint::create(
            caption,
            [keys](std::uint32_t msg, std::uint32_t wParam, std::int32_t) {
                if (msg == platform::WM_KEYDOWN)
                    keys->push_back(wParam);
                return 0;
            },
            &err);
        EXPECT_TRUE(w) << err;
        return w;
    }

    talvor::test::TempDir dir;
    DataTree tree{dir.path()};
    std::string work;
    std::vector<HmmParameters> truth;
};

TEST_F(Programs, TrainerWritesOneModelPerWordAndClosesByItself)
{
    auto child = start(StatwalkKind::Training, 3, {"SAB01", "SAB02"});
    ASSERT_TRUE(child);
    EXPECT_NE(platform::waitForNewWindow("Statwalk in mode: HMM Training", 0, kWaitMs), 0u);
    ASSERT_TRUE(serveUntil([&] { return !child->isRunning(); })) << workLog("statwalk1.log");
    for (const char* word : {"zero", "one", "two"}) {
        const std::string model = joinPath(work, std::string(word) + ".mod");
        ASSERT_TRUE(fs::exists(model)) << word << "\n" << workLog("statwalk1.log");
        EXPECT_EQ(fs::file_size(model), 52u + 4u * (kS * kS + kS + 2 * kS * kF));
    }
    EXPECT_NE(workLog("statwalk1.log").find("3 models written into"), std::string::npos) << workLog("statwalk1.log");
}

TEST_F(Programs, AFailedTrainingStaysOpenWithItsReasonAndWritesNoModel)
{
    auto child = start(StatwalkKind::Training, 3, {"SAB01", "MISSING"});
    ASSERT_TRUE(child);
    const platform::WindowHandle h = platform::waitForNewWindow("Statwalk in mode: HMM Training", 0, kWaitMs);
    ASSERT_NE(h, 0u);
    ASSERT_TRUE(serveUntil([&] { return workLog("statwalk1.log").find("No model was written") != std::string::npos; }));
    EXPECT_NE(workLog("statwalk1.log").find("Cannot read the word set MISSING"), std::string::npos);
    EXPECT_TRUE(listFilesWithExtension(work, ".mod").empty());
    EXPECT_TRUE(child->isRunning());
    // The close command ends it.
    EXPECT_EQ(platform::sendMessage(h, 26666, 26672, 0), 1);
    EXPECT_TRUE(serveUntil([&] { return !child->isRunning(); }));
}

TEST_F(Programs, HmmMatchingRecognisesTheTestFileAndClosesByItself)
{
    train();
    auto child = start(StatwalkKind::Recognition, 4, {"TEST"});
    ASSERT_TRUE(child);
    EXPECT_NE(platform::waitForNewWindow("Statwalk in mode: HMM Matching", 0, kWaitMs), 0u);
    ASSERT_TRUE(serveUntil([&] { return !child->isRunning(); }));
    const std::string text = workLog("statwalk2.log");
    EXPECT_NE(text.find("Word 0 (one): recognised one"), std::string::npos) << text;
    EXPECT_NE(text.find("Accuracy: 6 of 6 words (100.0 %)"), std::string::npos) << text;
}

TEST_F(Programs, SpeakAndRecognizeAnswersTheAnalyserAndEndsOnClose)
{
    train();
    for (const char* delivery : {"post", "send"}) {
        SCOPED_TRACE(delivery);
        ::setenv("TALVOR_STATWALK_ANSWER_BY", delivery, 1);
        std::vector<std::uint32_t> keys;
        auto analyser = keyWindow("Wavescope in mode: Speak & Recognize (HMM)", &keys);
        auto child = start(StatwalkKind::Recognition, 7, {"X"});
        ASSERT_TRUE(child);
        const platform::WindowHandle h =
            platform::waitForNewWindow("Statwalk in mode: Speak & Recognize (HMM)", 0, kWaitMs);
        ASSERT_NE(h, 0u);

        for (std::int32_t word : {2, 0, 1}) {
            std::string err;
            ASSERT_TRUE(statwalk::test::writeDrawnToken(work, truth[static_cast<std::size_t>(word)], 50 + word, &err)) << err;
            keys.clear();
            EXPECT_EQ(platform::sendMessage(h, 26666, 26687, 0, kWaitMs), 1);
            ASSERT_TRUE(serveUntil([&] { return !keys.empty(); }));
            EXPECT_EQ(keys, std::vector<std::uint32_t>{static_cast<std::uint32_t>(word)});
        }

        // The HMM button shows the window and keeps control until the user
        // dismisses it: no key yet.
        keys.clear();
        EXPECT_EQ(platform::sendMessage(h, 26666, 26666, 0, kWaitMs), 1);
        talvor::test::serveEventsFor(200);
        EXPECT_TRUE(keys.empty());
        // Mode 7 does not end by itself; the close command ends it.
        EXPECT_TRUE(child->isRunning());
        EXPECT_EQ(platform::sendMessage(h, 26666, 26672, 0, kWaitMs), 1);
        EXPECT_TRUE(serveUntil([&] { return !child->isRunning(); }));
    }
}

TEST_F(Programs, PickAndMatchShowsThePickedWordsResultUntilDismissed)
{
    train();
    std::vector<std::uint32_t> keys;
    auto analyser = keyWindow("Wavescope in mode: Pick & Match (HMM)", &keys);
    auto child = start(StatwalkKind::Recognition, 5, {"TEST"});
    ASSERT_TRUE(child);
    const platform::WindowHandle h = platform::waitForNewWindow("Statwalk in mode: Pick & Match (HMM)", 0, kWaitMs);
    ASSERT_NE(h, 0u);
    // As the analyser does when its mode starts: the window goes; no key.
    EXPECT_TRUE(platform::requestWindow(h, platform::WindowRequest::Hide));
    // TEST holds one, two, zero, one, two, zero (words 0 to 5).
    for (const auto& [picked, line] : std::vector<std::pair<std::uint32_t, std::string>>{
             {1, "Picked word 1 of TEST: two\r\nRecognised as: two  (right)\r\nBest models:  1. two "},
             {5, "Picked word 5 of TEST: zero\r\nRecognised as: zero  (right)\r\nBest models:  1. zero "}}) {
        SCOPED_TRACE(picked);
        keys.clear();
        EXPECT_EQ(platform::sendMessage(h, 26686, picked, 0, kWaitMs), 1);
        // The result is in the log (and the window); control stays with the recogniser.
        ASSERT_TRUE(serveUntil([&] { return workLog("statwalk2.log").find(line) != std::string::npos; }))
            << workLog("statwalk2.log");
        talvor::test::serveEventsFor(200);
        EXPECT_TRUE(keys.empty());
        // Dismissed (a peer's hide request stands in for the user's close): control back.
        EXPECT_TRUE(platform::requestWindow(h, platform::WindowRequest::Hide));
        ASSERT_TRUE(serveUntil([&] { return !keys.empty(); }));
        EXPECT_EQ(keys, std::vector<std::uint32_t>{26675});
    }
    EXPECT_EQ(platform::sendMessage(h, 26666, 26672, 0, kWaitMs), 1);
    EXPECT_TRUE(serveUntil([&] { return !child->isRunning(); }));
}

TEST_F(Programs, RefusedModelsAreLoggedAndKeepTheMatchingWindowOpen)
{
    train();
    // A model file with every variance 0, beside the three good ones.
    std::string bytes;
    ASSERT_TRUE(readFileWhole(joinPath(work, "two.mod"), &bytes));
    const std::size_t variances = 4 * static_cast<std::size_t>(kS * kF);
    bytes.replace(bytes.size() - variances, variances, std::string(variances, '\0'));
    ASSERT_TRUE(writeFileWhole(joinPath(work, "flat.mod"), bytes));
    auto child = start(StatwalkKind::Recognition, 4, {"TEST"});
    ASSERT_TRUE(child);
    ASSERT_NE(platform::waitForNewWindow("Statwalk in mode: HMM Matching", 0, kWaitMs), 0u);
    ASSERT_TRUE(serveUntil([&] { return workLog("statwalk2.log").find("Accuracy: ") != std::string::npos; }));
    const std::string text = workLog("statwalk2.log");
    EXPECT_NE(text.find("Vocabulary digits, work directory w1, test file TEST"), std::string::npos) << text;
    EXPECT_NE(text.find("Model file flat.mod not used: Model file "), std::string::npos) << text;
    EXPECT_NE(text.find("zero variances"), std::string::npos) << text;
    EXPECT_NE(text.find("Accuracy: 6 of 6 words (100.0 %)"), std::string::npos) << text;
    // It stays open until the user closes it; the close command ends it.
    talvor::test::serveEventsFor(3000);
    EXPECT_TRUE(child->isRunning());
    EXPECT_EQ(platform::sendMessage(platform::findWindowByCaption("Statwalk in mode: HMM Matching"), 26666, 26672, 0,
                                    kWaitMs),
              1);
    EXPECT_TRUE(serveUntil([&] { return !child->isRunning(); }));
}

TEST_F(Programs, NoWindowWithoutAConfiguration)
{
    for (StatwalkKind kind : {StatwalkKind::Training, StatwalkKind::Recognition}) {
        const std::string program = tree.externalProgram(kind);
        fs::copy_file(kind == StatwalkKind::Training ? STATWALK1_PROGRAM : STATWALK2_PROGRAM, program,
                      fs::copy_options::overwrite_existing);
        std::string err;
        auto child = platform::ChildProcess::start(program, dir.path(), &err);
        ASSERT_TRUE(child) << err;
        EXPECT_TRUE(serveUntil([&] { return !child->isRunning(); }));
        EXPECT_EQ(platform::findWindowByCaption("Statwalk in mode: HMM Training"), 0u);
        EXPECT_EQ(platform::findWindowByCaption("Statwalk in mode: HMM Matching"), 0u);
    }
}

}  // namespace
