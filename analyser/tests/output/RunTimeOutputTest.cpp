#include "analyser/RunTimeOutput.h"

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <limits>
#include <map>
#include <set>
#include <sstream>
#include <tuple>
#include <vector>

#include "common/ControlInterfaces.h"
#include "testing/TempDir.h"

using namespace talvor;
using namespace talvor::analyser;
namespace fs = std::filesystem;

namespace {

using Post = std::tuple<std::uint32_t, std::uint32_t, std::int32_t>;  // msg, wParam, lParam

class FakeServices : public RunTimeOutputServices {
public:
    std::map<std::string, std::uint32_t> windows;
    std::set<std::uint32_t> own;
    bool visible = true;
    std::vector<std::uint32_t> postedTo;
    std::vector<Post> posts;
    std::vector<std::string> boxes, lines;

    std::uint32_t findWindow(const std::string& caption) override
    {
        auto it = windows.find(caption);
        return it == windows.end() ? 0 : it->second;
    }
    bool isOwnWindow(std::uint32_t w) override { return own.count(w) != 0; }
    bool postMessage(std::uint32_t w, std::uint32_t m, std::uint32_t wp, std::int32_t lp) override
    {
        postedTo.push_back(w);
        posts.emplace_back(m, wp, lp);
        return true;
    }
    bool windowVisible() override { return visible; }
    void messageBox(const std::string& text) override { boxes.push_back(text); }
    void errorLine(const std::string& line) override { lines.push_back(line); }
};

// The HMM viewer as the output sees it: a ranking of models (load order) and
// each model's vocabulary index.
class FakeChainview : public ChainviewControl {
public:
    std::vector<std::int32_t> ranking;           // model indices, best first
    std::map<std::int32_t, std::int32_t> vocab;  // model index -> vocabulary index
    int rankQueries = 0;

    std::int32_t revision() const override { return 0; }
    void setRevision(std::int32_t) override {}
    ControlResult SetAppPath(const std::string&) override { return {}; }
    ControlResult ShowChainview(std::int32_t) override { return {}; }
    ControlResult LoadMode(std::int32_t, const std::string&, const std::string&, const std::string&,
                           const std::string&) override
    {
        return {};
    }
    ControlResult PutWordData(std::int32_t, std::span<const float>, std::span<const std::int16_t>, std::int32_t,
                              std::string&, std::int32_t&) override
    {
        return {};
    }
    ControlResult SetPruneTreshold(std::int32_t) override { return {}; }
    ControlResult GetResultByOrder(std::int32_t order, std::int32_t& result) override
    {
        ++rankQueries;
        result = order >= 0 && order < std::int32_t(ranking.size()) ? ranking[std::size_t(order)] : -1;
        return {};
    }
    ControlResult GetModelVocabularyIndex(std::int32_t model, std::int32_t& v) override
    {
        auto it = vocab.find(model);
        v = it == vocab.end() ? -1 : it->second;
        return {};
    }
};

constexpr std::uint32_t kReceiver = 77;
constexpr std::uint32_t kOwn = 5;

std::string slurp(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

struct Fixture {
    ModuleState state;
    FakeServices services;
    FakeChainview chainview;
    RunTimeResultOutput output{state, services};

    explicit Fixture(std::int32_t rtMode, std::int32_t rtWPar = 0, const std::string& appPath = "/nowhere")
    {
        state.AppPath = appPath;
        state.SetRunTimeMode(rtMode, kDefaultRTfile, kDefaultRTwCapt, kDefaultRTmsg, rtWPar, kDefaultRTip,
                             kDefaultRTport, 0, 0);
    }
};

}  // namespace

TEST(RunTimeOutput, WParamAndCounterWrapAsUnsignedAndToZero)
{
    EXPECT_EQ(resultWParam(0, 3), 3u);
    EXPECT_EQ(resultWParam(100, 9), 109u);
    EXPECT_EQ(resultWParam(std::numeric_limits<std::int32_t>::max(), 3), 0x80000002u);
    EXPECT_EQ(resultWParam(-1, 1), 0u);
    EXPECT_EQ(resultWParam(-1, 0), 0xFFFFFFFFu);
    EXPECT_EQ(nextUtteranceCount(0), 1);
    EXPECT_EQ(nextUtteranceCount(std::numeric_limits<std::int32_t>::max()), 0);
}

// Window messages: each row runs a sequence of events against one set-up and
// lists every post that must come out, and the counter at the end.
TEST(RunTimeOutput, MessageTable)
{
    enum Receiver { None, Peer, Own };
    enum Event { End, Answer };
    struct Step {
        Event event;
        std::int32_t mode;
        std::int32_t status;
        std::int32_t index;
    };
    struct Row {
        const char* name;
        std::int32_t rtMode;
        std::int32_t rtWPar;
        std::int32_t startCount;
        Receiver receiver;
        std::vector<std::int32_t> ranking;  // mode 12: model indices (vocabulary index = 10 * model + 1)
        std::vector<Step> steps;
        std::vector<Post> posts;
        std::int32_t endCount;
    };
    const std::int32_t big = std::numeric_limits<std::int32_t>::max();
    const std::vector<Row> rows = {
        {"mode 8: one word per utterance, lParam counts utterances", 2, 0, 0, Peer, {},
         {{End, 8, 0, 3}, {End, 8, 0, 3}},
         {{1025, 3, 0}, {1025, 3, 1}}, 2},
        {"mode 8: a failed token sends nothing", 2, 0, 0, Peer, {},
         {{End, 8, -1, 3}, {End, 8, 1, 3}, {End, 8, -2, 3}}, {}, 0},
        {"mode 8: nothing recognised sends nothing", 2, 0, 0, Peer, {}, {{End, 8, 0, -1}}, {}, 0},
        {"no receiver: nothing, counter unchanged", 2, 0, 4, None, {}, {{End, 8, 0, 3}}, {}, 4},
        {"caption of our own window: nothing, counter unchanged", 2, 0, 4, Own, {}, {{End, 8, 0, 3}}, {}, 4},
        {"mode 12: every ranked model, one lParam, counter + 1 once", 2, 0, 0, Peer, {2, 0, 1},
         {{End, 12, 0, 0}, {End, 12, 0, 0}},
         {{1025, 21, 0}, {1025, 1, 0}, {1025, 11, 0}, {1025, 21, 1}, {1025, 1, 1}, {1025, 11, 1}}, 2},
        {"mode 12: at most ten ranked positions", 2, 0, 0, Peer, {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11},
         {{End, 12, 0, 0}},
         {{1025, 1, 0}, {1025, 11, 0}, {1025, 21, 0}, {1025, 31, 0}, {1025, 41, 0}, {1025, 51, 0},
          {1025, 61, 0}, {1025, 71, 0}, {1025, 81, 0}, {1025, 91, 0}}, 1},
        {"mode 12: nothing ranked still counts the utterance", 2, 0, 0, Peer, {}, {{End, 12, 0, 0}}, {}, 1},
        {"mode 12: a failed token sends nothing", 2, 0, 0, Peer, {1}, {{End, 12, -1, 0}}, {}, 0},
        {"mode 7: only the answer posts", 2, 0, 0, Peer, {},
         {{End, 7, 0, 0}, {Answer, 7, 0, 4}, {End, 7, 0, 0}, {Answer, 7, 0, 6}},
         {{1025, 4, 0}, {1025, 6, 1}}, 2},
        {"other modes send nothing at the end of a recording", 2, 0, 0, Peer, {},
         {{End, 0, 0, 1}, {End, 1, 0, 1}, {End, 10, 0, 1}, {End, 13, 0, 1}}, {}, 0},
        {"a large wParam base wraps", 2, big, 0, Peer, {}, {{End, 8, 0, 3}}, {{1025, 0x80000002u, 0}}, 1},
        {"the counter wraps to 0 after its largest value", 2, 0, big, Peer, {},
         {{End, 8, 0, 1}, {End, 8, 0, 2}}, {{1025, 1, big}, {1025, 2, 0}}, 1},
        {"kinds 3 and 4 send nothing", 3, 0, 0, Peer, {}, {{End, 8, 0, 3}, {Answer, 7, 0, 3}}, {}, 0},
        {"kind 4 sends nothing", 4, 0, 0, Peer, {}, {{End, 8, 0, 3}, {Answer, 7, 0, 3}}, {}, 0},
        {"no run-time output", 0, 0, 0, Peer, {}, {{End, 8, 0, 3}, {Answer, 7, 0, 3}}, {}, 0},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        test::TempDir dir;
        Fixture f(row.rtMode, row.rtWPar, dir.path());
        f.state.runTime.RTcount = row.startCount;
        if (row.receiver == Peer)
            f.services.windows[kDefaultRTwCapt] = kReceiver;
        if (row.receiver == Own) {
            f.services.windows[kDefaultRTwCapt] = kOwn;
            f.services.own.insert(kOwn);
        }
        f.chainview.ranking = row.ranking;
        for (std::int32_t m = 0; m < 20; ++m)
            f.chainview.vocab[m] = 10 * m + 1;
        for (const Step& s : row.steps) {
            if (s.event == End)
                f.output.endOfRecording(s.mode, s.status, "word", s.index, &f.chainview);
            else
                f.output.recogniserAnswered("word", s.index);
        }
        EXPECT_EQ(f.services.posts, row.posts);
        for (std::uint32_t w : f.services.postedTo)
            EXPECT_EQ(w, kReceiver);
        EXPECT_EQ(f.state.runTime.RTcount, row.endCount);
        EXPECT_FALSE(fs::exists(dir.path() + "/result.txt"));
        EXPECT_TRUE(f.services.boxes.empty());
    }
}

TEST(RunTimeOutput, StringModePostsVocabularyIndicesNotLoadOrder)
{
    Fixture f(RTWindowMessage);
    f.services.windows[kDefaultRTwCapt] = kReceiver;
    // Models were loaded in the order "three", "seven", "one"; model 1 has no ID.
    f.chainview.vocab = {{0, 3}, {2, 1}};
    f.chainview.ranking = {2, 1, 0};
    f.output.endOfRecording(ModeStringsSpeakRecognizeHmm, 0, "one three", 0, &f.chainview);
    EXPECT_EQ(f.services.posts, (std::vector<Post>{{1025, 1, 0}, {1025, 3, 0}}));
    EXPECT_EQ(f.state.runTime.RTcount, 1);

    // Without an HMM viewer there is no ranking to pass on.
    f.output.endOfRecording(ModeStringsSpeakRecognizeHmm, 0, "one three", 0, nullptr);
    EXPECT_EQ(f.services.posts.size(), 2u);
}

TEST(RunTimeOutput, FileHoldsOneLinePerUtteranceInTheProgramFolder)
{
    test::TempDir program;
    Fixture f(RTTextFile, 0, program.path());
    f.services.windows[kDefaultRTwCapt] = kReceiver;
    const std::string file = program.path() + "/result.txt";

    f.output.endOfRecording(ModeSpeakRecognizeDtw, 0, "three", 3, nullptr);
    EXPECT_EQ(slurp(file), "three\r\n");
    f.output.endOfRecording(ModeSpeakRecognizeDtw, 0, "seven", 7, nullptr);
    EXPECT_EQ(slurp(file), "seven\r\n");
    f.output.endOfRecording(ModeSpeakRecognizeDtw, -1, "", 7, nullptr);  // failed token
    EXPECT_EQ(slurp(file), "seven\r\n");
    f.output.endOfRecording(ModeStringsSpeakRecognizeHmm, 0, "one two", 0, nullptr);
    EXPECT_EQ(slurp(file), "\"one two\"\r\n");
    fs::remove(file);
    f.output.endOfRecording(ModeSpeakRecognizeDtw, 0, "two", -1, nullptr);  // nothing recognised
    EXPECT_FALSE(fs::exists(file));

    EXPECT_TRUE(f.services.posts.empty());
    EXPECT_EQ(f.state.runTime.RTcount, 0);
    EXPECT_TRUE(f.services.boxes.empty());
    EXPECT_TRUE(f.services.lines.empty());

    // An absolute name is used as given.
    test::TempDir other;
    f.state.runTime.RTfile = other.path() + "/out.txt";
    f.output.endOfRecording(ModeSpeakRecognizeDtw, 0, "nine", 9, nullptr);
    EXPECT_EQ(slurp(other.path() + "/out.txt"), "nine\r\n");
    EXPECT_FALSE(fs::exists(file));
}

// In mode 7 the end of the recording comes before the recogniser's answer:
// the file must only ever hold the word of the answer, never the previous
// result a second time.
TEST(RunTimeOutput, SpeakAndRecognizeHmmWritesOnlyTheAnswer)
{
    test::TempDir program;
    Fixture f(RTTextFile, 0, program.path());
    const std::string file = program.path() + "/result.txt";
    std::vector<std::string> seen;  // what a reader polling the file takes away
    auto take = [&] {
        if (fs::exists(file)) {
            seen.push_back(slurp(file));
            fs::remove(file);
        }
    };
    // Answer after the end of the recording, then answer inside it (before).
    f.output.endOfRecording(ModeSpeakRecognizeHmm, 0, "", 0, nullptr);
    take();
    f.output.recogniserAnswered("three", 3);
    take();
    f.output.recogniserAnswered("five", 5);
    take();
    f.output.endOfRecording(ModeSpeakRecognizeHmm, 0, "five", 0, nullptr);
    take();
    f.output.endOfRecording(ModeSpeakRecognizeHmm, 0, "five", 0, nullptr);
    take();
    f.output.recogniserAnswered("one", 1);
    take();
    EXPECT_EQ(seen, (std::vector<std::string>{"three\r\n", "five\r\n", "one\r\n"}));
}

TEST(RunTimeOutput, AFileThatCannotBeWrittenIsReportedAndListeningGoesOn)
{
    test::TempDir program;
    for (bool visible : {true, false}) {
        SCOPED_TRACE(visible ? "window visible" : "hidden run-time mode");
        Fixture f(RTTextFile, 0, program.path());
        f.services.visible = visible;
        f.state.runTime.RTfile = "no such folder/result.txt";
        f.output.endOfRecording(ModeSpeakRecognizeDtw, 0, "three", 3, nullptr);
        f.output.recogniserAnswered("four", 4);
        const auto& reports = visible ? f.services.boxes : f.services.lines;
        const auto& silent = visible ? f.services.lines : f.services.boxes;
        ASSERT_EQ(reports.size(), 2u);
        EXPECT_NE(reports[0].find("no such folder"), std::string::npos) << reports[0];
        EXPECT_TRUE(silent.empty());
        if (!visible) {
            EXPECT_EQ(reports[0].find('\n'), std::string::npos) << "one line";
        }

        // The next result, with the name mended, is written.
        f.state.runTime.RTfile = "result.txt";
        f.output.endOfRecording(ModeSpeakRecognizeDtw, 0, "five", 5, nullptr);
        EXPECT_EQ(slurp(program.path() + "/result.txt"), "five\r\n");
        EXPECT_EQ(reports.size(), 2u);
    }
}
