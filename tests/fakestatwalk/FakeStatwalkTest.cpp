// The fake HMM programs as the workbench and the analyser meet them: started
// from a program folder with no arguments, found by caption, answering sends,
// ending on close.
#include <QCoreApplication>
#include <chrono>
#include <filesystem>
#include <gtest/gtest.h>
#include <thread>

#include "common/DataTree.h"
#include "common/FileNames.h"
#include "common/StatwalkConfig.h"
#include "common/VocabularyFile.h"
#include "common/WordSetFile.h"
#include "platform/Process.h"
#include "platform/Window.h"
#include "testing/EventLoop.h"
#include "testing/TempDir.h"

using namespace talvor;
namespace fs = std::filesystem;

namespace {

// Serves events until `done` holds or the time is up.
template <class Done>
bool serveUntil(Done done, int timeoutMs = 5000)
{
    return talvor::test::serveEventsUntil(done, timeoutMs);
}

class FakeStatwalk : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_NE(QCoreApplication::instance(), nullptr);  // the test main's application
        ASSERT_FALSE(m_dir.path().empty());
        tree = std::make_unique<DataTree>(m_dir.path());
        std::string err;
        ASSERT_TRUE(tree->createVocabulary("digits", {"zero", "one", "two"}, &err)) << err;
        ASSERT_TRUE(tree->createWorkFolder("digits", "w1", &err)) << err;
    }

    // Copies the built program into the program folder, writes its
    // configuration and behaviour, and starts it.
    // The word sets the job names are written first unless `withWordSets` is false.
    std::unique_ptr<platform::ChildProcess> start(StatwalkKind kind, std::int32_t mode, const std::string& behaviour,
                                                  bool withWordSets = true)
    {
        const std::string built = kind == StatwalkKind::Training ? FAKE_STATWALK1 : FAKE_STATWALK2;
        const std::string program = tree->externalProgram(kind);
        fs::copy_file(built, program, fs::copy_options::overwrite_existing);
        StatwalkConfig c;
        c.kind = kind;
        c.mode = mode;
        c.vocabulary = "digits";
        c.workDirectory = "w1";
        c.features[0] = c.features[19] = true;
        c.featureCount = 2;
        c.files = kind == StatwalkKind::Training ? std::vector<std::string>{"SAB01", "SAB02"}
                                                 : std::vector<std::string>{"X"};
        c.states = 5;
        c.mixtures = 1;
        std::string err;
        const std::string work = tree->workFolder("digits", "w1");
        for (const std::string& f : c.files) {
            fs::remove(joinPath(work, f + ".LB"));
            fs::remove(joinPath(work, f + ".PR"));
            if (withWordSets) {
                const std::vector<WordSetEntry> words{{0, 1, 3, 0}};
                const std::vector<float> values(2 * 3, 0.5f);
                EXPECT_TRUE(writeWordSet(joinPath(work, f + ".LB"), joinPath(work, f + ".PR"), words, 2, values,
                                         LabelFileSpacing::WordSet, &err))
                    << err;
            }
        }
        EXPECT_TRUE(writeStatwalkConfig(tree->statwalkConfigFile(kind), c, &err)) << err;
        EXPECT_TRUE(writeFileWhole(joinPath(m_dir.path(), "fakestatwalk.cfg"), behaviour));
        // Each start's log on its own, so a check never passes on an earlier run's lines.
        fs::remove(joinPath(m_dir.path(), std::string(statwalkProgramName(kind)) + ".log"));
        auto child = platform::ChildProcess::start(program, m_dir.path(), &err);
        EXPECT_TRUE(child) << err;
        return child;
    }

    std::string log(StatwalkKind kind) const
    {
        std::string text;
        readFileWhole(joinPath(m_dir.path(), std::string(statwalkProgramName(kind)) + ".log"), &text);
        return text;
    }

    // A window of this test that records the keys it gets.
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

    std::unique_ptr<DataTree> tree;

private:
    talvor::test::TempDir m_dir;
};

const std::string kRecogniserCaption = "Statwalk in mode: Speak & Recognize (HMM)";

}  // namespace

TEST_F(FakeStatwalk, RecogniserAnswersAndEndsOnClose)
{
    for (const char* delivery : {"post", "send"}) {
        SCOPED_TRACE(delivery);
        std::vector<std::uint32_t> keys;
        // Another caption than the default one, to see the setting followed.
        const std::string caption = "Wavescope of this test";
        auto analyser = keyWindow(caption, &keys);
        auto child = start(StatwalkKind::Recognition, 7,
                           "answer 2\nanswer_by " + std::string(delivery) + "\nanalyser_caption " + caption + "\n");
        ASSERT_TRUE(child);
        const platform::WindowHandle h = platform::waitForNewWindow(kRecogniserCaption, 0, 10000);
        ASSERT_NE(h, 0u) << log(StatwalkKind::Recognition);

        // Recognise: the answer is the chosen word index, sent back while we
        // are still inside the send, or posted.
        EXPECT_EQ(platform::sendMessage(h, 26666, 26687, 0), 1);
        ASSERT_TRUE(serveUntil([&] { return !keys.empty(); })) << log(StatwalkKind::Recognition);
        EXPECT_EQ(keys, std::vector<std::uint32_t>{2});

        // The HMM button hands control back with 26675.
        keys.clear();
        EXPECT_EQ(platform::sendMessage(h, 26666, 26666, 0), 1);
        ASSERT_TRUE(serveUntil([&] { return !keys.empty(); }));
        EXPECT_EQ(keys, std::vector<std::uint32_t>{26675});

        // Close.
        EXPECT_EQ(platform::sendMessage(h, 26666, 26672, 0), 1);
        EXPECT_TRUE(child->waitForExit(10000));
        EXPECT_NE(log(StatwalkKind::Recognition).find("received 26666 26687 0"), std::string::npos);
        EXPECT_NE(log(StatwalkKind::Recognition).find("exit"), std::string::npos);
    }
}

TEST_F(FakeStatwalk, PickAnswersThePickedWord)
{
    std::vector<std::uint32_t> keys;
    auto analyser = keyWindow("Wavescope in mode: Pick & Match (HMM)", &keys);
    auto child = start(StatwalkKind::Recognition, 5, "return_keys 26670\n");
    ASSERT_TRUE(child);
    const platform::WindowHandle h = platform::waitForNewWindow("Statwalk in mode: Pick & Match (HMM)", 0, 10000);
    ASSERT_NE(h, 0u) << log(StatwalkKind::Recognition);
    EXPECT_EQ(platform::sendMessage(h, 26686, 1, 0), 1);
    ASSERT_TRUE(serveUntil([&] { return keys.size() >= 2; }));
    EXPECT_EQ(keys, (std::vector<std::uint32_t>{1, 26670}));
    // Mode 5 does not end by itself.
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    EXPECT_TRUE(child->isRunning());
    EXPECT_EQ(platform::sendMessage(h, 26666, 26672, 0), 1);
    EXPECT_TRUE(child->waitForExit(10000));
}

TEST_F(FakeStatwalk, TrainerWritesModelsAndClosesByItself)
{
    std::vector<std::uint32_t> keys;
    // The main window by its default caption: the runtime folder is this test
    // run's own, so no real workbench of the user can take the keys.
    auto wizard = keyWindow("Talvor Setup", &keys);
    auto child = start(StatwalkKind::Training, 3, "work_ms 200\nstart_main_keys 26674\nexit_main_keys 26675\n");
    ASSERT_TRUE(child);
    EXPECT_NE(platform::waitForNewWindow("Statwalk in mode: HMM Training", 0, 10000), 0u)
        << log(StatwalkKind::Training);
    ASSERT_TRUE(serveUntil([&] { return !child->isRunning(); }, 10000)) << log(StatwalkKind::Training);
    ASSERT_TRUE(serveUntil([&] { return keys.size() >= 2; }));
    EXPECT_EQ(keys, (std::vector<std::uint32_t>{26674, 26675}));
    // One model per word: 52 + 4 (S S + S M + 2 S M F) bytes with S 5, M 1, F 2.
    for (const char* word : {"zero", "one", "two"}) {
        const std::string model = joinPath(tree->workFolder("digits", "w1"), std::string(word) + ".mod");
        ASSERT_TRUE(fs::exists(model)) << word << "\n" << log(StatwalkKind::Training);
        EXPECT_EQ(fs::file_size(model), 52u + 4u * (25 + 5 + 2 * 5 * 2));
    }
}

TEST_F(FakeStatwalk, NoWindowWithoutAUsableConfiguration)
{
    // A behaviour file it cannot follow refuses the start.
    auto child = start(StatwalkKind::Recognition, 7, "answer lots\n");
    ASSERT_TRUE(child);
    EXPECT_TRUE(child->waitForExit(10000));
    EXPECT_NE(log(StatwalkKind::Recognition).find("bad behaviour file"), std::string::npos);

    // So does a missing STATWALK2.EDF.
    ASSERT_TRUE(writeFileWhole(joinPath(tree->appPath(), "fakestatwalk.cfg"), "answer 1\n"));
    fs::remove(tree->statwalkConfigFile(StatwalkKind::Recognition));
    std::string err;
    child = platform::ChildProcess::start(tree->externalProgram(StatwalkKind::Recognition), tree->appPath(), &err);
    ASSERT_TRUE(child) << err;
    EXPECT_TRUE(child->waitForExit(10000));
    const std::string text = log(StatwalkKind::Recognition);
    EXPECT_NE(text.find("bad configuration"), std::string::npos) << text;
    EXPECT_EQ(text.find("window "), std::string::npos) << text;  // it never registered one

    // And a job whose word sets are not in the work directory.
    child = start(StatwalkKind::Training, 3, "", false);
    ASSERT_TRUE(child);
    EXPECT_TRUE(child->waitForExit(10000));
    const std::string training = log(StatwalkKind::Training);
    EXPECT_NE(training.find("bad word sets: word set SAB01"), std::string::npos) << training;
    EXPECT_EQ(training.find("window "), std::string::npos) << training;
}
