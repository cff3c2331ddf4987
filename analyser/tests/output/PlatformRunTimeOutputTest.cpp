// The run-time output over the real window layer: a peer process receives the
// posts in order; a window of this process never does.
#include "analyser/PlatformRunTimeOutput.h"

#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QProcess>

#include "platform/Dialogs.h"
#include "platform/Window.h"
#include "testing/EventLoop.h"
#include "testing/TempDir.h"

using namespace talvor;
using namespace talvor::analyser;

namespace {

ModuleState runTimeState(std::int32_t rtMode, const std::string& caption, std::int32_t msg)
{
    ModuleState s;
    s.SetRunTimeMode(rtMode, kDefaultRTfile, caption, msg, 0, kDefaultRTip, kDefaultRTport, 0, 0);
    return s;
}

}  // namespace

TEST(PlatformRunTimeOutput, NeverPostsToAWindowOfThisProcess)
{
    int received = 0;
    auto own = platform::WindowEndpoint::create(kDefaultRTwCapt, [&](std::uint32_t, std::uint32_t, std::int32_t) {
        ++received;
        return 0;
    });
    ASSERT_TRUE(own);
    ModuleState state = runTimeState(RTWindowMessage, kDefaultRTwCapt, 256);  // even a typed WM_KEYDOWN
    PlatformRunTimeOutputServices services([] { return true; });
    RunTimeResultOutput output(state, services);
    output.endOfRecording(ModeSpeakRecognizeDtw, 0, "three", 3, nullptr);
    output.recogniserAnswered("four", 4);
    test::serveEventsFor(100);
    EXPECT_EQ(received, 0);
    EXPECT_EQ(state.runTime.RTcount, 0);
}

TEST(PlatformRunTimeOutput, APeerReceivesEveryResultInOrder)
{
    QProcess peer;
    peer.setProgram(QStringLiteral(TALVOR_TEST_PEER));
    peer.setArguments({QStringLiteral("output receiver")});
    peer.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    peer.start();
    ASSERT_TRUE(peer.waitForStarted(5000));
    QElapsedTimer t;
    t.start();
    while (!peer.canReadLine() && peer.state() == QProcess::Running && t.elapsed() < 10000)
        peer.waitForReadyRead(100);
    ASSERT_TRUE(peer.readLine().startsWith("READY"));

    // The peer records message 1000's wParams and, asked with 1003, says how
    // many came in the order 0, 1, 2, ...
    ModuleState state = runTimeState(RTWindowMessage, "output receiver", 1000);
    PlatformRunTimeOutputServices services([] { return false; });
    RunTimeResultOutput output(state, services);
    for (std::int32_t i = 0; i < 5; ++i)
        output.endOfRecording(ModeSpeakRecognizeDtw, 0, "w", i, nullptr);
    output.recogniserAnswered("w", 5);
    EXPECT_EQ(state.runTime.RTcount, 6);
    const auto h = platform::findWindowByCaption("output receiver");
    ASSERT_NE(h, 0u);
    EXPECT_FALSE(platform::isWindowOfThisProcess(h));
    EXPECT_EQ(platform::sendMessage(h, 1003, 0, 0), 6);
    platform::postMessage(h, 1005, 0, 0);
    peer.waitForFinished(5000);
}

TEST(PlatformRunTimeOutput, AWriteFailureWhileVisibleIsAMessageBox)
{
    test::TempDir program;
    ModuleState state = runTimeState(RTTextFile, kDefaultRTwCapt, kDefaultRTmsg);
    state.AppPath = program.path();
    state.runTime.RTfile = "missing/result.txt";
    platform::ScopedScriptedDialogs dialogs;
    PlatformRunTimeOutputServices services([] { return true; });
    RunTimeResultOutput output(state, services);
    output.endOfRecording(ModeSpeakRecognizeDtw, 0, "three", 3, nullptr);
    ASSERT_EQ(dialogs.shown.size(), 1u);
    EXPECT_EQ(dialogs.shown[0].kind, "message");
    EXPECT_NE(dialogs.shown[0].text.find("missing"), std::string::npos);
}
