#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "platform/Process.h"
#include "platform/Window.h"
#include "testing/TempDir.h"

using namespace talvor::platform;

namespace {

std::string readAll(const std::string& path)
{
    std::ifstream in(path);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

// A zombie keeps its /proc entry; a reaped process has none.
bool processExists(int pid)
{
    return std::filesystem::exists("/proc/" + std::to_string(pid));
}

bool eventually(const std::function<bool()>& done, int ms = 5000)
{
    QElapsedTimer t;
    t.start();
    while (!done() && t.elapsed() < ms)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    return done();
}

}  // namespace

TEST(ChildProcess, StartsWithoutShellInItsFolderAndItsWindowIsFound)
{
    talvor::test::TempDir dir;
    std::ofstream(dir.path() + "/peer.cfg") << "Statwalk in mode: HMM Matching\n";
    std::string error;
    const WindowHandle before = findWindowByCaption("Statwalk in mode: HMM Matching");
    ASSERT_EQ(before, 0u);
    auto child = ChildProcess::start(TALVOR_TEST_PEER, dir.path(), &error);
    ASSERT_TRUE(child) << error;
    EXPECT_GT(child->pid(), 0);
    const WindowHandle h = waitForNewWindow("Statwalk in mode: HMM Matching", before, 10000);
    ASSERT_NE(h, 0u);
    EXPECT_EQ(readAll(dir.path() + "/started.txt"), std::filesystem::canonical(dir.path()).string());
    EXPECT_TRUE(child->isRunning());

    // The window that was there before the start is not taken for a new one.
    QElapsedTimer t;
    t.start();
    EXPECT_EQ(waitForNewWindow("Statwalk in mode: HMM Matching", h, 200), 0u);
    EXPECT_GE(t.elapsed(), 190);
    EXPECT_LT(t.elapsed(), 3000);

    EXPECT_TRUE(postMessage(h, 1005, 0, 0));  // it ends by itself
    EXPECT_TRUE(child->waitForExit(5000));
    EXPECT_FALSE(child->isRunning());
    EXPECT_FALSE(processExists(child->pid()));  // reaped, no zombie
}

TEST(ChildProcess, AProgramsNameIsNeverReadByAShell)
{
    // A folder and a program name that a shell would split or run as commands.
    talvor::test::TempDir dir;
    const std::string folder = dir.path() + "/Program Files $(touch shelled)";
    std::filesystem::create_directory(folder);
    const std::string program = folder + "/statwalk 2; touch shelled";
    std::filesystem::create_symlink(TALVOR_TEST_PEER, program);
    std::ofstream(folder + "/peer.cfg") << "Statwalk in mode: Pick & Match (HMM)\n";
    std::string error;
    auto child = ChildProcess::start(program, folder, &error);
    ASSERT_TRUE(child) << error;
    const WindowHandle h = waitForNewWindow("Statwalk in mode: Pick & Match (HMM)", 0, 10000);
    ASSERT_NE(h, 0u);
    EXPECT_EQ(readAll(folder + "/started.txt"), std::filesystem::canonical(folder).string());
    EXPECT_TRUE(postMessage(h, 1005, 0, 0));
    EXPECT_TRUE(child->waitForExit(5000));
    for (auto& e : std::filesystem::recursive_directory_iterator(dir.path()))
        EXPECT_NE(e.path().filename(), "shelled") << e.path();
}

TEST(ChildProcess, FailsWithTheSystemsReason)
{
    talvor::test::TempDir dir;
    const std::string plain = dir.path() + "/plain.exe";
    std::ofstream(plain) << "not a program";
    ::chmod(plain.c_str(), 0644);
    struct Case {
        const char* name;
        std::string program, folder;
        const char* reason;
    } cases[] = {
        {"missing program", dir.path() + "/statwalk2.exe", dir.path(), "No such file or directory"},
        {"a folder", dir.path(), dir.path(), "Is a directory"},
        {"not executable", plain, dir.path(), "Permission denied"},
        {"missing folder", TALVOR_TEST_PEER, dir.path() + "/nowhere", "No such file or directory"},
        {"folder is a file", TALVOR_TEST_PEER, plain, "Not a directory"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::string error;
        EXPECT_FALSE(ChildProcess::start(c.program, c.folder, &error));
        EXPECT_EQ(error, c.reason);
    }
}

TEST(ChildProcess, TerminateKillAndReapingInTheBackground)
{
    talvor::test::TempDir dir;
    std::ofstream(dir.path() + "/peer.cfg") << "stoppable\n";
    std::string error;
    for (bool hard : {false, true}) {
        SCOPED_TRACE(hard ? "kill" : "terminate");
        auto child = ChildProcess::start(TALVOR_TEST_PEER, dir.path(), &error);
        ASSERT_TRUE(child) << error;
        ASSERT_NE(waitForNewWindow("stoppable", 0, 10000), 0u);
        hard ? child->kill() : child->terminate();
        EXPECT_TRUE(child->waitForExit(5000));
        EXPECT_FALSE(processExists(child->pid()));
        child->kill();  // after the end: harmless
    }
    // Let go while running: it goes on, and is reaped once it ends.
    auto child = ChildProcess::start(TALVOR_TEST_PEER, dir.path(), &error);
    ASSERT_TRUE(child) << error;
    const int pid = child->pid();
    ASSERT_NE(waitForNewWindow("stoppable", 0, 10000), 0u);
    child.reset();
    EXPECT_TRUE(processExists(pid));
    EXPECT_NE(findWindowByCaption("stoppable"), 0u);
    ::kill(pid, SIGKILL);
    EXPECT_TRUE(eventually([&] { return !processExists(pid); }));
}

TEST(SingleInstanceLock, OneHolderAtATime)
{
    {
        SingleInstanceLock a("Talvor_II"), b("Talvor_II"), other("Other");
        EXPECT_TRUE(a.tryLock());
        EXPECT_TRUE(a.tryLock());  // held already
        EXPECT_FALSE(b.tryLock());
        EXPECT_TRUE(other.tryLock());
    }
    SingleInstanceLock again("Talvor_II");
    EXPECT_TRUE(again.tryLock());  // released with its holder

    // Another process holds it until it dies.
    QProcess holder;
    holder.start(QStringLiteral(TALVOR_TEST_PEER), {"--lock", "workbench"});
    ASSERT_TRUE(holder.waitForReadyRead(10000));
    ASSERT_EQ(holder.readLine().trimmed(), "LOCKED");
    SingleInstanceLock mine("workbench");
    EXPECT_FALSE(mine.tryLock());
    QProcess second;
    second.start(QStringLiteral(TALVOR_TEST_PEER), {"--lock", "workbench"});
    ASSERT_TRUE(second.waitForFinished(10000));
    EXPECT_EQ(second.readAll().trimmed(), "BUSY");
    holder.kill();
    holder.waitForFinished(5000);
    EXPECT_TRUE(mine.tryLock());

    // Names cannot reach outside the runtime folder.
    SingleInstanceLock odd("../../escape/x");
    EXPECT_TRUE(odd.tryLock());
    bool inside = false;
    for (auto& e : std::filesystem::directory_iterator(runtimeDir()))
        inside = inside || e.path().filename().string().find("escape") != std::string::npos;
    EXPECT_TRUE(inside);
}

TEST(SingleInstanceLock, AFolderThatCannotBeUsedIsNotTakenForAnotherCopy)
{
    const char* saved = std::getenv("XDG_RUNTIME_DIR");
    const std::string keep = saved ? saved : "";
    talvor::test::TempDir tmp;
    ::setenv("XDG_RUNTIME_DIR", tmp.path().c_str(), 1);
    ASSERT_FALSE(runtimeDir().empty());
    {
        SingleInstanceLock lock("Talvor_II");
        EXPECT_TRUE(lock.tryLock());
        EXPECT_TRUE(lock.held());
        EXPECT_TRUE(lock.error().empty()) << lock.error();
    }
    // Open to other users: no lock can be trusted there, and no other copy is
    // known to run, so the program is let through with the reason given.
    ASSERT_EQ(::chmod((tmp.path() + "/talvor").c_str(), 0755), 0);
    SingleInstanceLock unsafe("Talvor_II");
    EXPECT_TRUE(unsafe.tryLock());
    EXPECT_FALSE(unsafe.held());
    EXPECT_NE(unsafe.error().find("open to other users"), std::string::npos) << unsafe.error();
    ASSERT_EQ(::chmod((tmp.path() + "/talvor").c_str(), 0700), 0);
    // Once the folder is right again the same object takes the lock for real.
    EXPECT_TRUE(unsafe.tryLock());
    EXPECT_FALSE(unsafe.held());  // its folder was refused when it was made
    SingleInstanceLock later("Talvor_II");
    EXPECT_TRUE(later.tryLock());
    EXPECT_TRUE(later.held());
    SingleInstanceLock second("Talvor_II");
    EXPECT_FALSE(second.tryLock());  // a real holder still stops a second copy
    EXPECT_TRUE(second.error().empty()) << second.error();
    ::setenv("XDG_RUNTIME_DIR", keep.c_str(), 1);
}
