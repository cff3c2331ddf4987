// The workbench against the fake external HMM programs statwalk1 and
// statwalk2 (tests/fakestatwalk): started from the program folder with their
// job in STATWALK1.EDF / STATWALK2.EDF, found by their window, watched until
// they end, and the command keys they send on their way out.
#include <QApplication>

#include <filesystem>
#include <fstream>

#include <gtest/gtest.h>

#include "common/StatwalkConfig.h"
#include "common/VocabularyFile.h"
#include "common/WordSetFile.h"
#include "RegisteredWindowFixture.h"
#include "platform/Window.h"
#include "testing/EventLoop.h"

using namespace talvor;
using namespace talvor::workbench;
using talvor::test::serveEventsFor;
using talvor::test::serveEventsUntil;
namespace fs = std::filesystem;

namespace {

class FakeStatwalkFixture : public talvor::workbench::test::RegisteredWindowFixture {
protected:
    // The program folder: the fake program, its job and behaviour, and a
    // vocabulary with a work directory.
    void install(StatwalkKind kind, std::int32_t mode, const std::string& behaviour)
    {
        const std::string name = statwalkProgramName(kind);
        const fs::path to = fs::path(dir.path()) / name;
        fs::copy_file(kind == StatwalkKind::Training ? FAKE_STATWALK1 : FAKE_STATWALK2, to);
        fs::permissions(to, fs::perms::owner_all);
        fs::create_directories(dir.path() + "/DATA/digits");
        ASSERT_TRUE(writeVocabularyFile(dir.path() + "/DATA/digits/digits.voc", {"one", "two"}));
        fs::create_directories(dir.path() + "/DATA/digits/w");
        StatwalkConfig job;
        job.kind = kind;
        job.mode = mode;
        job.vocabulary = "digits";
        job.workDirectory = "w";
        job.features[0] = job.features[19] = true;
        job.featureCount = 2;
        job.files = {kind == StatwalkKind::Training ? "s1" : "s2"};
        std::string error;
        // The word set the job names: one word of three frames of c1 and ene.
        const std::vector<WordSetEntry> words{{0, 1, 3, 0}};
        ASSERT_TRUE(writeWordSet(dir.path() + "/DATA/digits/w/" + job.files[0] + ".LB",
                                 dir.path() + "/DATA/digits/w/" + job.files[0] + ".PR", words, 2,
                                 std::vector<float>(6, 0.5f), LabelFileSpacing::WordSet, &error))
            << error;
        ASSERT_TRUE(writeStatwalkConfig(dir.path() + "/" + statwalkConfigName(kind), job, &error)) << error;
        std::ofstream(dir.path() + "/fakestatwalk.cfg") << behaviour;
    }

    void SetUp() override { openWindow(); }
};

}  // namespace

TEST_F(FakeStatwalkFixture, TrainingHidesTheWizardUntilTheTrainerHasFinished)
{
    install(StatwalkKind::Training, ModeHmmTraining, "work_ms 600\n");
    Wizard& w = window->wizard();
    w.mode = ModeHmmTraining;
    w.StartWatchedProgram(kTrainerProgram, w.trainerWindow);
    ASSERT_NE(w.trainerWindow, 0u) << (dialogs.shown.empty() ? "" : dialogs.shown[0].text);
    EXPECT_FALSE(window->isVisible());
    EXPECT_EQ(window->windowTitle(), "Talvor Setup");
    EXPECT_TRUE(window->watchTimerActive());

    // The trainer closes its window when done; the next tick brings the wizard back.
    EXPECT_TRUE(serveEventsUntil([&] { return window->isVisible(); }, 8000));
    EXPECT_FALSE(window->watchTimerActive());
    EXPECT_EQ(platform::findWindowByCaption("Statwalk in mode: HMM Training"), 0u);
    EXPECT_EQ(window->windowTitle(), "Talvor Setup");  // the timer does not restore it
    EXPECT_TRUE(fs::exists(dir.path() + "/DATA/digits/w/one.mod"));
    EXPECT_TRUE(dialogs.shown.empty());
}

TEST_F(FakeStatwalkFixture, RecogniserShowsTheWizardWithItsCaptionAsItEnds)
{
    install(StatwalkKind::Recognition, ModeHmmMatching, "work_ms 300\nexit_main_keys 26675\n");
    Wizard& w = window->wizard();
    w.mode = ModeHmmMatching;
    w.StartWatchedProgram(kRecogniserProgram, w.recogniserWindow);
    ASSERT_NE(w.recogniserWindow, 0u) << (dialogs.shown.empty() ? "" : dialogs.shown[0].text);
    EXPECT_FALSE(window->isVisible());

    // Key 26675 on its way out: shown again with the caption from before.
    EXPECT_TRUE(serveEventsUntil([&] { return window->isVisible(); }, 8000));
    EXPECT_EQ(window->windowTitle(), "TALVOR II Setup");
    EXPECT_EQ(platform::findWindowByCaption("TALVOR II Setup"), registration->handle());
    // The watch ends at its next tick, the window being gone.
    EXPECT_TRUE(serveEventsUntil([&] { return !window->watchTimerActive(); }, 4000));
    EXPECT_TRUE(window->isVisible());
}

TEST_F(FakeStatwalkFixture, RecogniserThatRefusesItsJobIsACannotStart)
{
    install(StatwalkKind::Recognition, ModeHmmMatching, "no_such_setting 1\n");
    Wizard& w = window->wizard();
    w.mode = ModeHmmMatching;
    w.StartWatchedProgram(kRecogniserProgram, w.recogniserWindow);
    EXPECT_EQ(w.recogniserWindow, 0u);
    ASSERT_EQ(dialogs.shown.size(), 1u);
    EXPECT_EQ(dialogs.shown[0].text, "Cannot start " + dir.path() +
                                         "/statwalk2\r\nThe program ended without opening its window \"Statwalk in "
                                         "mode: HMM Matching\".");
    EXPECT_TRUE(window->isVisible());
    EXPECT_FALSE(window->watchTimerActive());
}
