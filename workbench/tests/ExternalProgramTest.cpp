// Starting an external program and finding its window, the watch timer and
// the main window's command keys, against recording fakes.
#include "WizardFixture.h"

using namespace talvor;
using namespace talvor::workbench;
using talvor::workbench::test::WizardFixture;

TEST_F(WizardFixture, FailedStartShowsTheErrorAndDoesNotWait)
{
    programs.failWith = "No such file or directory";
    WindowHandle h = 5;
    w.mode = ModeHmmMatching;
    w.StartAndFindWindow(h, dir.path() + "/statwalk2", w.StatwalkWindowTitle());
    EXPECT_EQ(h, 0u);
    EXPECT_EQ(programs.waits, 0);
    ASSERT_EQ(host.messages.size(), 1u);
    EXPECT_EQ(host.messages[0], "Cannot start " + dir.path() + "/statwalk2\r\nNo such file or directory");
}

TEST_F(WizardFixture, WatchedProgramHidesTheWizardUntilItsWindowGoes)
{
    w.mode = ModeHmmTraining;
    programs.opensCaption = "Statwalk in mode: HMM Training";
    w.StartWatchedProgram(kTrainerProgram, w.trainerWindow);
    EXPECT_EQ(programs.started, std::vector<std::string>{dir.path() + "/statwalk1"});
    EXPECT_EQ(w.trainerWindow, 77u);
    EXPECT_EQ(w.savedCaption, kDesignCaption);
    EXPECT_EQ(host.windowCaption, "Talvor Setup");
    EXPECT_FALSE(host.visible);
    EXPECT_TRUE(host.timerActive);
    EXPECT_EQ(host.timerInterval, 2000);
    EXPECT_TRUE(host.messages.empty());

    w.tmpMarkov_Timer();  // window still there
    EXPECT_FALSE(host.visible);
    EXPECT_TRUE(host.timerActive);
    programs.windows.clear();
    w.tmpMarkov_Timer();
    EXPECT_TRUE(host.visible);
    EXPECT_FALSE(host.timerActive);
    EXPECT_EQ(host.windowCaption, "Talvor Setup");  // only key 26675 restores it
}

TEST_F(WizardFixture, ProgramWithoutItsWindowLeavesTheWizardVisible)
{
    struct Row {
        const char* name;
        std::string opens;        // caption the program registers
        bool endsAtOnce;
        bool windowBefore;        // a window with the caption exists already
        std::string message;
    };
    const std::string title = "Statwalk in mode: HMM Matching";
    const std::string cmd = dir.path() + "/statwalk2";
    const Row rows[] = {
        {"ends without a window", "", true, false,
         "Cannot start " + cmd + "\r\nThe program ended without opening its window \"" + title + "\"."},
        {"opens another window", "Statwalk in mode: HMM Training", true, false,
         "Cannot start " + cmd + "\r\nThe program ended without opening its window \"" + title + "\"."},
        {"caption taken before the start", "", false, true,
         "Cannot start " + cmd + "\r\nA window titled \"" + title + "\" is open already."},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        host = {};
        programs.windows.clear();
        programs.started.clear();
        programs.opensCaption = row.opens;
        if (row.windowBefore)
            programs.windows[title] = 12;
        programs.endsAtStart = row.endsAtOnce;
        w.mode = ModeHmmMatching;
        w.recogniserWindow = 9;
        w.StartWatchedProgram(kRecogniserProgram, w.recogniserWindow);
        EXPECT_EQ(w.recogniserWindow, 0u);
        EXPECT_EQ(programs.started.size(), row.windowBefore ? 0u : 1u);
        EXPECT_TRUE(host.visible);
        EXPECT_FALSE(host.timerActive);
        EXPECT_EQ(host.windowCaption, "Talvor Setup");
        EXPECT_EQ(host.messages, std::vector<std::string>{row.message});
    }
}

TEST_F(WizardFixture, CommandKeys)
{
    w.mode = ModeHmmMatching;
    programs.opensCaption = "Statwalk in mode: HMM Matching";
    w.StartWatchedProgram(kRecogniserProgram, w.recogniserWindow);
    ASSERT_FALSE(host.visible);

    w.Form_KeyDown(26672);  // not a command of the main window
    w.Form_KeyDown(0);
    EXPECT_FALSE(host.visible);
    EXPECT_TRUE(host.timerActive);
    EXPECT_FALSE(host.ended);

    w.Form_KeyDown(26675);  // shown again, with its old caption
    EXPECT_TRUE(host.visible);
    EXPECT_EQ(host.windowCaption, kDesignCaption);
    w.Form_KeyDown(26674);
    EXPECT_FALSE(host.visible);
    w.Form_KeyDown(26666);  // shown, the watch ends
    EXPECT_TRUE(host.visible);
    EXPECT_FALSE(host.timerActive);
    w.Form_KeyDown(26673);
    EXPECT_TRUE(host.ended);
}

TEST_F(WizardFixture, RestoreKeyBeforeAnyStartKeepsTheCaption)
{
    host.visible = false;
    w.Form_KeyDown(26675);
    EXPECT_TRUE(host.visible);
    EXPECT_EQ(host.windowCaption, kDesignCaption);
}
