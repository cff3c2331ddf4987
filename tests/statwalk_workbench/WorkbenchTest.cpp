// End to end with the workbench: the wizard starts each HMM mode on a program
// folder holding recordings and the real statwalk1 and statwalk2; HMM
// Training writes one model per word, HMM Matching recognises the recordings
// of the speaker it was trained on, and in Speak & Recognize (HMM) the
// recogniser answers the analyser's recognise command with the spoken word;
// in Pick & Match (HMM) it shows the result for the picked word of the
// recording and hands control back when that is dismissed.
// The analyser is a recording stand-in here; this test plays its part of the
// protocol (the token files and the window messages) itself.
#include <QApplication>

#include <filesystem>
#include <gtest/gtest.h>

#include "FakeControls.h"
#include "RegisteredWindowFixture.h"
#include "Synthetic.h"
#include "common/DataTree.h"
#include "common/FileNames.h"
#include "common/ModuleState.h"
#include "common/NumberText.h"
#include "platform/Window.h"
#include "testing/EventLoop.h"
#include "worddata/WordDataFiles.h"

using namespace talvor;
namespace fs = std::filesystem;

namespace {

constexpr std::int32_t kStates = 4;
constexpr int kMargin = 10;      // stored frames before and after each word proper
constexpr int kWaitMs = 60000;   // generous under the sanitizers; never a timing assertion

// Selected: c1, c2 and ene (features 0, 1, 19).
const std::vector<int> kSelected{0, 1, 19};

class WorkbenchHmm : public talvor::workbench::test::RegisteredWindowFixture {
protected:
    void SetUp() override
    {
        for (StatwalkKind kind : {StatwalkKind::Training, StatwalkKind::Recognition}) {
            const std::string to = DataTree(dir.path()).externalProgram(kind);
            fs::copy_file(kind == StatwalkKind::Training ? STATWALK1_PROGRAM : STATWALK2_PROGRAM, to);
            fs::permissions(to, fs::perms::owner_all);
        }
        const DataTree tree(dir.path());
        std::string err;
        ASSERT_TRUE(tree.createVocabulary("digits", {"zero", "one", "two"}, &err)) << err;
        ASSERT_TRUE(tree.createWorkFolder("digits", "hmm1", &err)) << err;
        work = tree.workFolder("digits", "hmm1");
        for (std::uint32_t w = 0; w < 3; ++w)
            truth.push_back(statwalk::test::knownModel(500 + w, kStates, 1, static_cast<std::int32_t>(kSelected.size())));
        // Three recordings of the speaker, every word once in each.
        for (std::uint32_t r = 1; r <= 3; ++r)
            writeRecording("s" + std::to_string(r), {2, 0, 1}, 10 * r);
        openWindow();
        window->wizard().setControls(&controls.wavescope, &controls.dtw, &controls.chainview);
    }

    void TearDown() override
    {
        // A recogniser left running by a failed check ends with the close command.
        for (const char* mode : {"Speak & Recognize (HMM)", "Pick & Match (HMM)"})
            if (const auto h = platform::findWindowByCaption(std::string("Statwalk in mode: ") + mode))
                platform::sendMessage(h, 26666, 26672, 0);
        RegisteredWindowFixture::TearDown();
    }

    // A recording as the analyser stores words: per word 10 margin frames,
    // the word, 10 margin frames; 20 features a frame, the selected ones
    // drawn from the word's model.
    void writeRecording(const std::string& name, const std::vector<std::int32_t>& labels, std::uint32_t seed)
    {
        std::mt19937 rng(seed);
        std::normal_distribution<float> noise(0.0f, 3.0f);
        std::string lab;
        std::vector<float> par;
        std::int32_t offset = 0;
        for (std::size_t k = 0; k < labels.size(); ++k) {
            const statwalk::test::Drawn d = statwalk::test::draw(truth[static_cast<std::size_t>(labels[k])], rng);
            const int frames = d.frames() + 2 * kMargin;
            for (int f = 0; f < frames; ++f) {
                const int wf = f - kMargin;
                for (int i = 0; i < 20; ++i) {
                    float v = noise(rng);
                    const auto sel = std::find(kSelected.begin(), kSelected.end(), i);
                    if (wf >= 0 && wf < d.frames() && sel != kSelected.end())
                        v = d.values[static_cast<std::size_t>(wf) * kSelected.size() +
                                     static_cast<std::size_t>(sel - kSelected.begin())];
                    par.push_back(v);
                }
            }
            lab += worddata::labLine(worddata::WordRow{signedDecimal(std::int64_t(k)), signedDecimal(std::int64_t(labels[k])),
                                      signedDecimal(std::int64_t(d.frames())), signedDecimal(std::int64_t(offset)),
                                      "word"});
            offset += frames;
        }
        const std::string base = DataTree(dir.path()).recordingBase("digits", name);
        ASSERT_TRUE(writeFileWhole(base + ".lab", lab));
        ASSERT_TRUE(writeFileWhole(base + ".par", worddata::featureBytes(par)));
        ASSERT_TRUE(writeFileWhole(base + ".rec", std::string(static_cast<std::size_t>(offset) * 160, '\0')));
    }

    // The wizard's choices as its pages leave them, then RunMode.
    void run(std::int32_t mode, const std::string& source, const std::vector<std::string>& refs)
    {
        workbench::Wizard& w = window->wizard();
        w.mode = mode;
        w.vocName = "digits";
        w.workDir = "hmm1";
        w.sourceFile = source;
        w.controls.lstRefSelected = refs;
        w.controls.chkFeature = {};
        for (int i : kSelected)
            w.controls.chkFeature[static_cast<std::size_t>(i)] = true;
        w.numFeat = static_cast<std::int32_t>(kSelected.size());
        w.nStates = kStates;
        w.nMixtures = 1;
        w.RunMode();
    }

    // Training and HMM Matching hide the wizard until the program's window is gone.
    bool waitForTheWizard()
    {
        return talvor::test::serveEventsUntil([&] { return window->isVisible() && !window->watchTimerActive(); },
                                              kWaitMs);
    }

    std::string workFile(const std::string& name) const
    {
        std::string text;
        readFileWhole(joinPath(work, name), &text);
        return text;
    }

    std::string messages() const
    {
        std::string text;
        for (const auto& d : dialogs.shown)
            text += d.text + "\n";
        return text;
    }

    void train()
    {
        run(ModeHmmTraining, "", {"s1", "s2"});
        ASSERT_NE(window->wizard().trainerWindow, 0u) << messages();
        ASSERT_TRUE(waitForTheWizard()) << workFile("statwalk1.log");
    }

    talvor::workbench::test::FakeControls controls;
    std::string work;
    std::vector<statwalk::HmmParameters> truth;
};

}  // namespace

TEST_F(WorkbenchHmm, TrainingWritesOneModelPerWordAndMatchingRecognisesTheSpeaker)
{
    train();
    EXPECT_EQ(listFilesWithExtension(work, ".mod"), (std::vector<std::string>{"one.mod", "two.mod", "zero.mod"}))
        << workFile("statwalk1.log");
    EXPECT_TRUE(DataTree(dir.path()).hasModels("digits", "hmm1"));
    EXPECT_TRUE(dialogs.shown.empty()) << messages();

    // HMM Matching on the third recording of the same speaker.
    ASSERT_TRUE(window->wizard().ReadModelEdf());
    run(ModeHmmMatching, "s3", {});
    ASSERT_NE(window->wizard().recogniserWindow, 0u) << messages();
    ASSERT_TRUE(waitForTheWizard());
    const std::string log = workFile("statwalk2.log");
    EXPECT_NE(log.find("Word 0 (two): recognised two"), std::string::npos) << log;
    EXPECT_NE(log.find("Accuracy: 3 of 3 words (100.0 %)"), std::string::npos) << log;
}

TEST_F(WorkbenchHmm, SpeakAndRecognizeAnswersTheRecordedWord)
{
    train();
    std::vector<std::uint32_t> keys;
    std::string err;
    auto analyser = platform::WindowEndpoint::create(
        "Wavescope in mode: Speak & Recognize (HMM)",
        [&](std::uint32_t msg, std::uint32_t wParam, std::int32_t) {
            if (msg == platform::WM_KEYDOWN)
                keys.push_back(wParam);
            return 0;
        },
        &err);
    ASSERT_TRUE(analyser) << err;

    run(ModeSpeakRecognizeHmm, "", {});
    ASSERT_NE(window->wizard().recogniserWindow, 0u) << messages();
    EXPECT_NE(std::find(controls.log.calls.begin(), controls.log.calls.end(), "wavescope.LoadMode(7,digits,,hmm1)"),
              controls.log.calls.end());
    const platform::WindowHandle h = platform::findWindowByCaption("Statwalk in mode: Speak & Recognize (HMM)");
    ASSERT_NE(h, 0u);
    // Each word spoken: the analyser writes x.lb / x.pr and sends the recognise command.
    for (std::int32_t word : {1, 2, 0}) {
        ASSERT_TRUE(statwalk::test::writeDrawnToken(work, truth[static_cast<std::size_t>(word)], 70 + word, &err))
            << err;
        keys.clear();
        EXPECT_EQ(platform::sendMessage(h, 26666, 26687, 0, kWaitMs), 1);
        ASSERT_TRUE(talvor::test::serveEventsUntil([&] { return !keys.empty(); }, kWaitMs));
        EXPECT_EQ(keys, std::vector<std::uint32_t>{static_cast<std::uint32_t>(word)});
    }
    // The analyser's exit ends the recogniser.
    EXPECT_EQ(platform::sendMessage(h, 26666, 26672, 0, kWaitMs), 1);
    EXPECT_TRUE(talvor::test::serveEventsUntil(
        [] { return platform::findWindowByCaption("Statwalk in mode: Speak & Recognize (HMM)") == 0; }, kWaitMs));
}

TEST_F(WorkbenchHmm, PickAndMatchAnswersThePickedWordOfTheRecording)
{
    train();
    std::vector<std::uint32_t> keys;
    std::string err;
    auto analyser = platform::WindowEndpoint::create(
        "Wavescope in mode: Pick & Match (HMM)",
        [&](std::uint32_t msg, std::uint32_t wParam, std::int32_t) {
            if (msg == platform::WM_KEYDOWN)
                keys.push_back(wParam);
            return 0;
        },
        &err);
    ASSERT_TRUE(analyser) << err;

    // The wizard makes the word set of s3 (two, zero, one) and starts the recogniser.
    run(ModePickMatchHmm, "s3", {});
    ASSERT_NE(window->wizard().recogniserWindow, 0u) << messages();
    const platform::WindowHandle h = platform::findWindowByCaption("Statwalk in mode: Pick & Match (HMM)");
    ASSERT_NE(h, 0u);
    for (const auto& [picked, word] :
         std::vector<std::pair<std::uint32_t, std::string>>{{0, "two"}, {1, "zero"}, {2, "one"}}) {
        keys.clear();
        EXPECT_EQ(platform::sendMessage(h, 26686, picked, 0, kWaitMs), 1);
        // The recogniser shows the result and keeps control until it is dismissed.
        const std::string line = "Picked word " + std::to_string(picked) + " of s3: " + word +
                                 "\r\nRecognised as: " + word + "  (right)";
        ASSERT_TRUE(talvor::test::serveEventsUntil(
            [&] { return workFile("statwalk2.log").find(line) != std::string::npos; }, kWaitMs))
            << workFile("statwalk2.log");
        EXPECT_TRUE(keys.empty());
        EXPECT_TRUE(platform::requestWindow(h, platform::WindowRequest::Hide));
        ASSERT_TRUE(talvor::test::serveEventsUntil([&] { return !keys.empty(); }, kWaitMs));
        EXPECT_EQ(keys, std::vector<std::uint32_t>{26675}) << "picked " << picked;
    }
    EXPECT_EQ(platform::sendMessage(h, 26666, 26672, 0, kWaitMs), 1);
    EXPECT_TRUE(talvor::test::serveEventsUntil(
        [] { return platform::findWindowByCaption("Statwalk in mode: Pick & Match (HMM)") == 0; }, kWaitMs));
}
