// The workbench against real processes: the binary started twice, an
// external program started from the program folder and found by its window,
// the watch timer, command keys sent from another process, a failed start.
#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>

#include <filesystem>
#include <sys/wait.h>
#include <unistd.h>
#include <fstream>
#include <functional>

#include <gtest/gtest.h>

#include "RegisteredWindowFixture.h"
#include "platform/Process.h"
#include "platform/Window.h"
#include "testing/EventLoop.h"

using namespace talvor;
using namespace talvor::workbench;
using talvor::test::serveEventsFor;
using talvor::test::serveEventsUntil;
namespace fs = std::filesystem;

namespace {

std::string readAll(const std::string& path)
{
    std::ifstream in(path);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// Puts the test peer into the program folder under an external program's name.
void installPeer(const std::string& folder, const std::string& name)
{
    const fs::path to = fs::path(folder) / name;
    fs::copy_file(TALVOR_TEST_PEER, to, fs::copy_options::overwrite_existing);
    fs::permissions(to, fs::perms::owner_all);
}

class ProgramsFixture : public talvor::workbench::test::RegisteredWindowFixture {
protected:
    std::string stopFile, logFile;

    void SetUp() override
    {
        state.AppPath = dir.path();
        state.InitModeNames();
        stopFile = dir.path() + "/stop";
        logFile = dir.path() + "/peer.log";
        ::setenv("TALVOR_PEER_STOPFILE", stopFile.c_str(), 1);
        ::setenv("TALVOR_PEER_LOG", logFile.c_str(), 1);
        ::unsetenv("TALVOR_PEER_CAPTION");
        ::unsetenv("TALVOR_PEER_TARGET");
        ::unsetenv("TALVOR_PEER_KEYS");
        openWindow();
    }
    void TearDown() override
    {
        std::ofstream(stopFile) << "stop";
        closeWindow();
        ::unsetenv("TALVOR_PEER_CAPTION");
        ::unsetenv("TALVOR_PEER_TARGET");
        ::unsetenv("TALVOR_PEER_KEYS");
    }
};

}  // namespace

TEST_F(ProgramsFixture, TrainerIsFoundByItsWindowAndWatchedUntilItEnds)
{
    installPeer(dir.path(), "statwalk1");
    ::setenv("TALVOR_PEER_CAPTION", "Statwalk in mode: HMM Training", 1);
    Wizard& w = window->wizard();
    w.mode = ModeHmmTraining;
    w.StartWatchedProgram(kTrainerProgram, w.trainerWindow);

    EXPECT_NE(w.trainerWindow, 0u);
    EXPECT_EQ(w.trainerWindow, platform::findWindowByCaption("Statwalk in mode: HMM Training"));
    EXPECT_TRUE(dialogs.shown.empty()) << dialogs.shown.front().text;
    EXPECT_FALSE(window->isVisible());
    EXPECT_EQ(window->windowTitle(), "Talvor Setup");
    EXPECT_EQ(platform::findWindowByCaption("Talvor Setup"), registration->handle());
    EXPECT_TRUE(window->watchTimerActive());
    // Started from the program folder with no arguments.
    EXPECT_NE(readAll(logFile).find("started in " + dir.path() + "\n"), std::string::npos);

    // The wizard comes back at the first tick after the trainer's window has gone.
    serveEventsFor(300);
    EXPECT_FALSE(window->isVisible());
    std::ofstream(stopFile) << "stop";
    EXPECT_TRUE(serveEventsUntil([&] { return window->isVisible(); }, 6000));
    EXPECT_FALSE(window->watchTimerActive());
    EXPECT_EQ(platform::findWindowByCaption("Statwalk in mode: HMM Training"), 0u);
}

TEST_F(ProgramsFixture, MissingProgramGivesCannotStart)
{
    Wizard& w = window->wizard();
    w.mode = ModeHmmMatching;
    QElapsedTimer t;
    t.start();
    w.StartWatchedProgram(kRecogniserProgram, w.recogniserWindow);
    EXPECT_LT(t.elapsed(), 2000);  // nothing waits for a window
    EXPECT_EQ(w.recogniserWindow, 0u);
    ASSERT_EQ(dialogs.shown.size(), 1u);
    const std::string& text = dialogs.shown[0].text;
    const std::string head = "Cannot start " + dir.path() + "/statwalk2\r\n";
    EXPECT_EQ(text.substr(0, head.size()), head);
    EXPECT_GT(text.size(), head.size());  // the system's description of the error
    EXPECT_EQ(dialogs.shown[0].buttons, platform::MessageButtons::Ok);
    EXPECT_TRUE(window->isVisible());
    EXPECT_FALSE(window->watchTimerActive());
    EXPECT_EQ(window->windowTitle(), "Talvor Setup");
}

TEST_F(ProgramsFixture, ProgramThatOpensNoWindowLeavesTheWizardVisible)
{
    installPeer(dir.path(), "statwalk2");
    ::setenv("TALVOR_PEER_CAPTION", "Statwalk in mode: Pick & Match (HMM)", 1);  // not the one looked for
    Wizard& w = window->wizard();
    w.mode = ModeHmmMatching;
    w.StartWatchedProgram(kRecogniserProgram, w.recogniserWindow);
    EXPECT_EQ(w.recogniserWindow, 0u);
    ASSERT_EQ(dialogs.shown.size(), 1u);
    EXPECT_EQ(dialogs.shown[0].text, "Cannot start " + dir.path() +
                                         "/statwalk2\r\nIts window \"Statwalk in mode: HMM Matching\" did not open "
                                         "within 5 seconds.");
    EXPECT_TRUE(window->isVisible());
    EXPECT_FALSE(window->watchTimerActive());
    // The program that did not open its window was told to end.
    EXPECT_TRUE(serveEventsUntil([] { return platform::findWindowByCaption("Statwalk in mode: Pick & Match (HMM)") == 0; },
                        5000));
}

TEST_F(ProgramsFixture, CommandKeysFromAnotherProcess)
{
    struct Row {
        const char* keys;
        std::function<bool()> reached;  // the state the keys lead to
    };
    Wizard& w = window->wizard();
    w.mode = ModeHmmMatching;
    w.savedCaption = "TALVOR II Setup";
    window->setCaption("Talvor Setup");
    window->startWatchTimer(kWatchIntervalMs);
    const Row rows[] = {
        {"26672,26674", [&] { return !window->isVisible(); }},  // 26672 is no main-window command
        {"26675", [&] { return window->isVisible() && window->windowTitle() == "TALVOR II Setup"; }},
        {"26674", [&] { return !window->isVisible(); }},
        {"26666", [&] { return window->isVisible() && !window->watchTimerActive(); }},
        {"26673", [&] { return ended == 1; }},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.keys);
        fs::remove(logFile);
        ::setenv("TALVOR_PEER_TARGET", window->caption().c_str(), 1);
        ::setenv("TALVOR_PEER_KEYS", row.keys, 1);
        std::string error;
        auto peer = platform::ChildProcess::start(TALVOR_TEST_PEER, dir.path(), &error);
        ASSERT_TRUE(peer) << error;
        EXPECT_TRUE(serveEventsUntil(row.reached, 5000));
        EXPECT_EQ(ended, std::string(row.keys) == "26673" ? 1 : 0);
        std::ofstream(stopFile) << "stop";
        EXPECT_TRUE(peer->waitForExit(5000));
        fs::remove(stopFile);
    }
}

TEST(TalvorBinary, SecondStartEndsAtOnceAndKey26673EndsTheFirst)
{
    talvor::test::TempDir folder;
    fs::create_directories(fs::path(folder.path()) / "DATA" / "digits");
    QProcess first;
    first.start(TALVOR_BINARY, {"--program-folder", QString::fromStdString(folder.path())});
    ASSERT_TRUE(first.waitForStarted(5000));
    ASSERT_TRUE(serveEventsUntil([] { return platform::findWindowByCaption("TALVOR II Setup") != 0; }, 10000))
        << first.readAllStandardError().toStdString();
    const platform::WindowHandle h = platform::findWindowByCaption("TALVOR II Setup");

    QProcess second;
    second.start(TALVOR_BINARY, {"--program-folder", QString::fromStdString(folder.path())});
    ASSERT_TRUE(second.waitForFinished(5000));
    EXPECT_EQ(second.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(second.exitCode(), 0);
    // One line naming the running workbench, whose window answered.
    EXPECT_EQ(second.readAllStandardError().toStdString(),
              "talvor: the workbench is already running (window \"TALVOR II Setup\"); it was brought to the front.\n");
    EXPECT_EQ(first.state(), QProcess::Running);
    EXPECT_EQ(platform::findWindowByCaption("TALVOR II Setup"), h);

    platform::postMessage(h, platform::WM_KEYDOWN, 26672, 0);  // ignored
    EXPECT_FALSE(first.waitForFinished(500));
    platform::postMessage(h, platform::WM_KEYDOWN, 26673, 0);
    ASSERT_TRUE(first.waitForFinished(10000));
    EXPECT_EQ(first.exitStatus(), QProcess::NormalExit);  // an orderly end, not an abort
    EXPECT_EQ(first.exitCode(), 0);
    EXPECT_EQ(platform::findWindowByCaption("TALVOR II Setup"), 0u);

    // With the first gone, the program starts again.
    QProcess third;
    third.start(TALVOR_BINARY, {"--program-folder", QString::fromStdString(folder.path())});
    ASSERT_TRUE(serveEventsUntil([] { return platform::findWindowByCaption("TALVOR II Setup") != 0; }, 10000));
    platform::postMessage(platform::findWindowByCaption("TALVOR II Setup"), platform::WM_KEYDOWN, 26673, 0);
    EXPECT_TRUE(third.waitForFinished(10000));
}

TEST_F(ProgramsFixture, ASecondStartBringsTheWizardToTheFront)
{
    const platform::WindowHandle h = platform::findWindowByCaption("TALVOR II Setup");
    ASSERT_NE(h, 0u);
    window->showMinimized();
    ASSERT_TRUE(serveEventsUntil([&] { return window->isMinimized(); }, 2000));
    // As the second start asks (the binary's test sends it from another process).
    EXPECT_EQ(platform::sendMessage(h, kBringToFrontMessage, 0, 0, 5000), 1);
    EXPECT_TRUE(window->isVisible());
    EXPECT_FALSE(window->isMinimized());

    // Hidden while an external program runs: it stays hidden, and says so.
    window->hide();
    EXPECT_EQ(bringRunningWorkbenchToFront(),
              "talvor: the workbench is already running (window \"TALVOR II Setup\"); it is hidden while an "
              "external HMM program runs and comes back when it ends.");
    EXPECT_FALSE(window->isVisible());
}

TEST(TalvorBinary, MissingProgramFolderIsReported)
{
    QProcess p;
    p.start(TALVOR_BINARY, {"--program-folder", "/nonexistent/talvor"});
    ASSERT_TRUE(p.waitForFinished(10000));
    EXPECT_EQ(p.exitCode(), 1);
    EXPECT_EQ(p.readAllStandardError().toStdString(),
              "talvor: the program folder /nonexistent/talvor does not exist\n");
}

TEST(TalvorBinary, AProgramFolderNameIsTakenAsItsBytes)
{
    // A folder name that is not valid UTF-8 reaches the program unchanged (it
    // used to be decoded and re-encoded, and then named no folder).
    const std::string missing = "/nonexistent/talvor-\xff\xfe";
    int out[2];
    ASSERT_EQ(::pipe(out), 0);
    const pid_t child = ::fork();
    if (child == 0) {
        ::dup2(out[1], 2);
        ::close(out[0]);
        ::close(out[1]);
        const char* argv[] = {TALVOR_BINARY, "--program-folder", missing.c_str(), nullptr};
        ::execv(TALVOR_BINARY, const_cast<char* const*>(argv));
        ::_exit(127);
    }
    ASSERT_GT(child, 0);
    ::close(out[1]);
    std::string text;
    char buf[512];
    for (ssize_t n; (n = ::read(out[0], buf, sizeof buf)) > 0;)
        text.append(buf, std::size_t(n));
    ::close(out[0]);
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 1);
    EXPECT_EQ(text, "talvor: the program folder " + missing + " does not exist\n");
}

TEST(TalvorBinary, UnusableRuntimeFolderIsReportedNotTakenForASecondStart)
{
    // The lock's folder cannot be made under a file: that is an error, not
    // "another copy runs" (which ends silently with 0).
    talvor::test::TempDir folder;
    const std::string notAFolder = folder.path() + "/file";
    std::ofstream(notAFolder) << "x";
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), QString::fromStdString(notAFolder));
    p.setProcessEnvironment(env);
    p.start(TALVOR_BINARY, {"--program-folder", QString::fromStdString(folder.path())});
    ASSERT_TRUE(p.waitForFinished(10000));
    EXPECT_EQ(p.exitCode(), 1);
    EXPECT_EQ(p.readAllStandardError().toStdString(),
              "talvor: Cannot create the folder " + notAFolder + "/talvor: Not a directory\n");
}

TEST(ProgramFolder, OptionThenEnvironmentThenExecutableFolder)
{
    talvor::test::TempDir a, b, c;
    std::string error;
    ::unsetenv(kProgramFolderVariable);
    EXPECT_EQ(programFolder({}, c.path(), &error), c.path());
    ::setenv(kProgramFolderVariable, (b.path() + "/").c_str(), 1);
    EXPECT_EQ(programFolder({}, c.path(), &error), b.path());
    EXPECT_EQ(programFolder({"--program-folder", a.path()}, c.path(), &error), a.path());
    EXPECT_EQ(programFolder({"--program-folder=" + a.path() + "/./"}, c.path(), &error), a.path());
    EXPECT_FALSE(programFolder({"--program-folder"}, c.path(), &error));
    EXPECT_EQ(error, "--program-folder needs a folder");
    ::unsetenv(kProgramFolderVariable);
}
