// Every program ignores SIGXFSZ, so that a write past the file-size limit
// (ulimit -f) fails with "File too large" and is reported, instead of the
// kernel ending the program in the middle of a save.
#include <gtest/gtest.h>

#include <QProcess>
#include <QProcessEnvironment>
#include <chrono>
#include <csignal>
#include <cstdint>
#include <fstream>
#include <optional>
#include <string>
#include <thread>

#include "testing/TempDir.h"

namespace {

// The process's set of ignored signals, from /proc; nullopt once it is gone.
std::optional<std::uint64_t> ignoredSignals(qint64 pid)
{
    std::ifstream in("/proc/" + std::to_string(pid) + "/status");
    std::string line;
    while (std::getline(in, line))
        if (line.rfind("SigIgn:", 0) == 0)
            return std::stoull(line.substr(7), nullptr, 16);
    return std::nullopt;
}

bool ignores(std::uint64_t mask, int signal) { return (mask >> (signal - 1)) & 1u; }

}  // namespace

TEST(ProgramStart, EveryProgramIgnoresTheFileSizeSignal)
{
    // A child inherits what is ignored: start each one with the default.
    struct sigaction dflt {}, old {};
    dflt.sa_handler = SIG_DFL;
    ASSERT_EQ(::sigaction(SIGXFSZ, &dflt, &old), 0);
    talvor::test::TempDir dir;
    struct Program {
        const char* name;
        const char* path;
    };
    for (const Program& p : {Program{"modelview", MODELVIEW_PROGRAM}, Program{"File", FILE_PROGRAM},
                             Program{"Relayon", RELAYON_PROGRAM}}) {
        SCOPED_TRACE(p.name);
        QProcess child;
        auto env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        env.insert(QStringLiteral("XDG_RUNTIME_DIR"), QString::fromStdString(dir.path()));  // its own sockets
        child.setProcessEnvironment(env);
        child.setWorkingDirectory(QString::fromStdString(dir.path()));
        child.setProgram(QString::fromUtf8(p.path));
        child.start();
        ASSERT_TRUE(child.waitForStarted(5000));
        // Polled: the program may not have reached its first step yet.
        bool ignored = false;
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (!ignored && std::chrono::steady_clock::now() < deadline && child.state() == QProcess::Running) {
            const auto mask = ignoredSignals(child.processId());
            ignored = mask && ignores(*mask, SIGXFSZ);
            if (!ignored)
                std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        EXPECT_TRUE(ignored);
        EXPECT_EQ(child.state(), QProcess::Running) << "it ended: " << child.readAllStandardError().toStdString();
        child.kill();
        child.waitForFinished(5000);
    }
    ::sigaction(SIGXFSZ, &old, nullptr);
}
