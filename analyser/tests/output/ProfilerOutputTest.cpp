// The run-time output as the analyser's recording cycle drives it: the
// analyser's logic with a scripted engine, fake peers and fake output
// services.
#include <gtest/gtest.h>

#include <filesystem>
#include <tuple>

#include "../ProfilerFakes.h"
#include "analyser/RunTimeOutput.h"

namespace talvor::analyser::test {
namespace {

namespace fs = std::filesystem;

using Post = std::tuple<std::uint32_t, std::uint32_t, std::int32_t>;

class FakeOutputServices final : public RunTimeOutputServices {
public:
    std::map<std::string, std::uint32_t> windows;
    std::vector<Post> posts;
    std::vector<std::string> boxes, lines;
    bool visible = true;

    std::uint32_t findWindow(const std::string& caption) override
    {
        auto it = windows.find(caption);
        return it == windows.end() ? 0 : it->second;
    }
    bool isOwnWindow(std::uint32_t w) override { return w == 41; }  // the analyser's own handle in the rig
    bool postMessage(std::uint32_t, std::uint32_t m, std::uint32_t w, std::int32_t l) override
    {
        posts.emplace_back(m, w, l);
        return true;
    }
    bool windowVisible() override { return visible; }
    void messageBox(const std::string& text) override { boxes.push_back(text); }
    void errorLine(const std::string& line) override { lines.push_back(line); }
};

struct OutputRig : Rig {
    FakeOutputServices output;
    std::string resultFile() const { return joinPath(folder.dir.path(), "result.txt"); }
    explicit OutputRig(std::int32_t rtMode)
    {
        profiler.setRunTimeOutputServices(&output);
        module.SetRunTimeMode(rtMode, kDefaultRTfile, kDefaultRTwCapt, kDefaultRTmsg, kDefaultRTwPar, kDefaultRTip,
                              kDefaultRTport, 0, 0);
        output.windows[kDefaultRTwCapt] = 700;
    }
    std::string taken()  // what File would take away
    {
        std::string text;
        if (readFileWhole(resultFile(), &text))
            fs::remove(resultFile());
        return text;
    }
};

}  // namespace

TEST(ProfilerOutput, SpeakAndRecognizeDtwPostsEachUtterance)
{
    OutputRig rig(RTWindowMessage);
    ASSERT_TRUE(rig.setMode(8).ok);
    rig.dtw.answer = 3;
    rig.profiler.cmdRepeat_Click();
    rig.speak({});
    rig.dtw.answer = 1;
    rig.speak({});
    rig.speak({.status = -1});  // a failed token sends nothing
    EXPECT_EQ(rig.output.posts, (std::vector<Post>{{1025, 3, 0}, {1025, 1, 1}}));
    EXPECT_TRUE(rig.profiler.listening());
}

TEST(ProfilerOutput, SpeakAndRecognizeDtwWritesTheRecognisedWord)
{
    OutputRig rig(RTTextFile);
    ASSERT_TRUE(rig.setMode(8).ok);
    rig.dtw.answer = 3;
    rig.profiler.cmdRepeat_Click();
    rig.speak({});
    EXPECT_EQ(rig.taken(), "three\r\n");
    rig.dtw.answer = -1;  // nothing recognised: nothing written
    rig.speak({});
    EXPECT_EQ(rig.taken(), "");
    EXPECT_TRUE(rig.output.posts.empty());
}

// Mode 7: the recogniser answers inside the recognise command, or later by a
// posted key.  Either way the result file holds only the answer, once.
TEST(ProfilerOutput, SpeakAndRecognizeHmmOutputsTheAnswerOnly)
{
    for (bool inside : {true, false}) {
        SCOPED_TRACE(inside ? "answer inside the command" : "answer afterwards");
        for (std::int32_t rt : {RTTextFile, RTWindowMessage}) {
            OutputRig rig(rt);
            rig.host.windows[rig.statwalk(7)] = 901;
            ASSERT_TRUE(rig.setMode(7).ok);
            std::vector<std::string> taken;
            std::int32_t answer = 2;
            rig.host.onSend = [&](const Sent& s) {
                if (inside && s.wParam == CommandRecognise)
                    rig.profiler.Form_KeyDown(answer);
            };
            rig.profiler.cmdRepeat_Click();
            for (std::int32_t k : {2, 4}) {
                answer = k;
                rig.speak({});
                taken.push_back(rig.taken());
                if (!inside) {
                    rig.profiler.Form_KeyDown(k);
                    taken.push_back(rig.taken());
                }
            }
            if (rt == RTTextFile) {
                const std::vector<std::string> expected =
                    inside ? std::vector<std::string>{"two\r\n", "four\r\n"}
                           : std::vector<std::string>{"", "two\r\n", "", "four\r\n"};
                EXPECT_EQ(taken, expected);
                EXPECT_TRUE(rig.output.posts.empty());
            } else {
                EXPECT_EQ(rig.output.posts, (std::vector<Post>{{1025, 2, 0}, {1025, 4, 1}}));
            }
        }
    }
}

TEST(ProfilerOutput, StringRecognitionWritesTheStringQuoted)
{
    OutputRig rig(RTTextFile);
    ASSERT_TRUE(rig.setMode(12).ok);
    rig.chainview.recognised = "one two";
    rig.profiler.cmdRepeat_Click();
    rig.speak({});
    EXPECT_EQ(rig.taken(), "\"one two\"\r\n");
}

TEST(ProfilerOutput, AFailedWriteIsReportedAndListeningGoesOn)
{
    OutputRig rig(RTTextFile);
    rig.module.runTime.RTfile = "missing/result.txt";
    ASSERT_TRUE(rig.setMode(8).ok);
    rig.output.visible = false;  // hidden run-time listening
    rig.profiler.cmdRepeat_Click();
    rig.speak({});
    EXPECT_EQ(rig.output.lines.size(), 1u);
    EXPECT_TRUE(rig.output.boxes.empty());
    EXPECT_TRUE(rig.profiler.listening());
}

TEST(ProfilerOutput, TheAnalysersOwnCaptionIsNoReceiver)
{
    OutputRig rig(RTWindowMessage);
    rig.output.windows[kDefaultRTwCapt] = 41;
    ASSERT_TRUE(rig.setMode(8).ok);
    rig.profiler.cmdRepeat_Click();
    rig.speak({});
    EXPECT_TRUE(rig.output.posts.empty());
    EXPECT_EQ(rig.module.runTime.RTcount, 0);
}

}  // namespace talvor::analyser::test
