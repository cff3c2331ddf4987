// Run-time listening over a spoken stream: one speaker's digits, each padded
// with quiet noise as the speech tests pad them and with quiet between the
// words, played as one continuous WAV "room" into the analyser in hidden
// run-time mode "Speak & Recognize (DTW)" with references from the speaker's
// other takes.  Every word goes to a Relayon log in another process; none may
// be lost between two words, none delivered twice, and they arrive in order.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "PaddedWord.h"
#include "RelayonProbe.h"
#include "analyser/Profiler.h"
#include "analyser/UscWavescope.h"
#include "common/ControlInterfaces.h"
#include "common/DataTree.h"
#include "common/FileNames.h"
#include "common/WordSetFile.h"
#include "platform/Audio.h"
#include "platform/Dialogs.h"
#include "testing/EventLoop.h"
#include "testing/TempDir.h"
#include "timewarp/UscDtw.h"

namespace talvor {
namespace {

namespace fs = std::filesystem;

const std::vector<std::string> kDigits = {"zero", "one", "two", "three", "four",
                                          "five", "six", "seven", "eight", "nine"};
const char* const kLogWords[] = {"Zero", "One", "Two", "Three", "Four", "Five", "Six", "Seven", "Eight", "Nine"};
constexpr const char* kSpeaker = "george";

std::string fsddFolder()
{
    const char* shared = std::getenv("TALVOR_SHARED_DATA");
    const std::string folder = shared ? std::string(shared) + "/fsdd" : std::string();
    return !folder.empty() && fs::is_directory(folder) ? folder : std::string();
}

bool readTake(const std::string& folder, int digit, int take, std::vector<std::int16_t>* speech)
{
    std::string error;
    return platform::readWav(folder + "/" + std::to_string(digit) + "_" + kSpeaker + "_" + std::to_string(take) + ".wav",
                             speech, &error);
}

void appendNoise(std::vector<std::int16_t>* s, std::size_t n, std::mt19937* rng)
{
    std::normal_distribution<float> noise(0.0f, 8.0f);
    for (std::size_t i = 0; i < n; ++i)
        s->push_back(static_cast<std::int16_t>(std::lround(noise(*rng))));
}

// The speaker's takes 2 to 4 of every digit in a shuffled order, each padded
// with half a second of quiet noise on both sides and `gapSeconds` of quiet
// after it.  The digits said, in order, go to *said.
std::vector<std::int16_t> spokenStream(const std::string& folder, std::size_t words, double gapSeconds,
                                       std::vector<int>* said)
{
    std::vector<std::pair<int, int>> order;
    for (int take = 2; take <= 4; ++take)
        for (int d = 0; d < 10; ++d)
            order.emplace_back(d, take);
    std::mt19937 shuffle(7);
    std::shuffle(order.begin(), order.end(), shuffle);
    order.resize(std::min(words, order.size()));
    std::mt19937 rng(11);
    std::vector<std::int16_t> stream;
    for (const auto& [digit, take] : order) {
        std::vector<std::int16_t> speech;
        if (!readTake(folder, digit, take, &speech))
            return {};
        appendNoise(&stream, engine::test::kPadSamples, &rng);
        stream.insert(stream.end(), speech.begin(), speech.end());
        appendNoise(&stream, engine::test::kPadSamples, &rng);
        appendNoise(&stream, std::size_t(gapSeconds * 8000), &rng);
        said->push_back(digit);
    }
    return stream;
}

// The longest common subsequence of two word sequences.
std::size_t commonInOrder(const std::vector<std::string>& a, const std::vector<std::string>& b)
{
    std::vector<std::vector<std::size_t>> t(a.size() + 1, std::vector<std::size_t>(b.size() + 1, 0));
    for (std::size_t i = 1; i <= a.size(); ++i)
        for (std::size_t j = 1; j <= b.size(); ++j)
            t[i][j] = a[i - 1] == b[j - 1] ? t[i - 1][j - 1] + 1 : std::max(t[i - 1][j], t[i][j - 1]);
    return t[a.size()][b.size()];
}

class ScopedEnv {
public:
    ScopedEnv(const char* name, const char* value) : m_name(name)
    {
        if (const char* old = std::getenv(name))
            m_old = old;
        ::setenv(name, value, 1);
    }
    ~ScopedEnv() { m_old.empty() ? (void)::unsetenv(m_name) : (void)::setenv(m_name, m_old.c_str(), 1); }

private:
    const char* m_name;
    std::string m_old;
};

// A program folder with the digits, a work folder whose references are the
// speaker's takes 0 and 1, and the DTW comparer configured on them.
struct StreamFolder {
    test::TempDir dir;
    DataTree tree{dir.path()};
    timewarp::UscDtw dtw;
    std::string error;

    explicit StreamFolder(const std::string& fsdd)
    {
        if (!tree.createVocabulary("digits", kDigits, &error) || !tree.createWorkFolder("digits", "work1", &error))
            return;
        std::vector<WordSetEntry> words;
        std::vector<float> values;
        for (int take = 0; take <= 1; ++take)
            for (int d = 0; d < 10; ++d) {
                std::vector<std::int16_t> speech;
                engine::test::PaddedWord word;
                if (!readTake(fsdd, d, take, &speech) ||
                    !engine::test::detectPaddedWord(speech, unsigned(100 + d + 10 * take), 0, &word)) {
                    error = "no reference word in take " + std::to_string(take) + " of " + std::to_string(d);
                    return;
                }
                words.push_back({std::int32_t(words.size()), d, word.frames, 0});
                values.insert(values.end(), word.values.begin(), word.values.end());
            }
        const std::string work = tree.workFolder("digits", "work1");
        if (!writeWordSet(joinPath(work, "refs.LB"), joinPath(work, "refs.PR"), words, kFeaturesPerFrame, values,
                          LabelFileSpacing::WordSet, &error))
            return;
        dtw.SetAppPath(dir.path());
        std::vector<std::int16_t> flags(kFeaturesPerFrame, 1);
        const ControlResult r = dtw.LoadMode(ModeSpeakRecognizeDtw, "digits", "work1", kFeaturesPerFrame, flags,
                                             {"refs"}, "");
        if (!r)
            error = "the DTW comparer refused its set-up: " + r.error;
    }
};

struct StreamRow {
    const char* name;
    const char* pace;
    std::size_t words;
    double gapSeconds;
};

void PrintTo(const StreamRow& row, std::ostream* os)
{
    *os << row.name;
}

class RunTimeStream : public ::testing::TestWithParam<StreamRow> {};

TEST_P(RunTimeStream, EveryWordOfAContinuousStreamIsDeliveredOnceAndInOrder)
{
    const StreamRow& row = GetParam();
    const std::string fsdd = fsddFolder();
    if (fsdd.empty())
        GTEST_SKIP() << "no recordings at TALVOR_SHARED_DATA/fsdd";
    platform::ScopedScriptedDialogs dialogs;
    StreamFolder f(fsdd);
    ASSERT_EQ(f.error, "");
    std::vector<int> said;
    const std::vector<std::int16_t> stream = spokenStream(fsdd, row.words, row.gapSeconds, &said);
    ASSERT_EQ(said.size(), row.words);
    const std::string wav = joinPath(f.dir.path(), "stream.wav");
    std::string error;
    ASSERT_TRUE(platform::writeWav(wav, stream.data(), stream.size(), &error)) << error;
    std::vector<std::string> spoken;
    for (int d : said)
        spoken.push_back(kLogWords[d]);

    test::RelayonProbe relayon;
    ASSERT_TRUE(relayon.waitReady());

    ScopedEnv in("TALVOR_AUDIO_IN", wav.c_str()), mode("TALVOR_AUDIO_IN_MODE", "continuous"),
        pace("TALVOR_AUDIO_PACE", row.pace), out("TALVOR_AUDIO_OUT", "null");
    UscWavescope w;
    w.SetControls(&f.dtw, nullptr);
    w.SetAppPath(f.dir.path());
    w.SetRunTimeMode(RTWindowMessage, kDefaultRTfile, kDefaultRTwCapt, kDefaultRTmsg, kDefaultRTwPar, kDefaultRTip,
                     kDefaultRTport, /*RThide*/ 1, 0);
    const ControlResult r = w.LoadMode(ModeSpeakRecognizeDtw, "digits", "", "work1");
    ASSERT_TRUE(r.ok) << r.error;
    ASSERT_TRUE(w.profiler().listening());

    // Until every word has come, and then a little longer, so that a word
    // delivered twice would show; the room is silent after the stream.
    const int streamMs = int(stream.size() / 8);
    const int limitMs = std::string(row.pace) == "fast" ? 120000 : streamMs + 30000;
    test::serveEventsUntil(
        [&] {
            relayon.read();
            return relayon.utterances().size() >= row.words;
        },
        limitMs, 5);
    test::serveEventsUntil([&] { relayon.read(); return false; }, 1500, 5);
    w.profiler().cmdStop_Click();
    EXPECT_TRUE(test::serveEventsUntil([&] { return !w.profiler().listening(); }, 20000, 5));
    relayon.read();

    const std::vector<std::string> heard = relayon.utterances();
    std::string heardText;
    for (const std::string& h : heard)
        heardText += h + " ";
    SCOPED_TRACE("delivered: " + heardText);
    RecordProperty("delivered", heardText);
    EXPECT_GE(heard.size() + 1, row.words) << "words of the stream were lost";
    EXPECT_LE(heard.size(), row.words) << "a word was delivered twice";
    for (const std::string& h : heard)
        EXPECT_NE(std::find(std::begin(kLogWords), std::end(kLogWords), h), std::end(kLogWords))
            << "one utterance gave more than one word: " << h;
    // In order: the delivered words follow the spoken ones (a misrecognised
    // word or two aside).
    EXPECT_GE(commonInOrder(heard, spoken) + 2, heard.size());
    EXPECT_EQ(w.state().runTime.RTcount, std::int32_t(heard.size()));
    EXPECT_TRUE(dialogs.shown.empty()) << dialogs.shown.front().text;
}

INSTANTIATE_TEST_SUITE_P(Streams, RunTimeStream,
                         ::testing::Values(StreamRow{"fast_0_6s", "fast", 30, 0.6},
                                           StreamRow{"fast_0_2s", "fast", 30, 0.2},
                                           StreamRow{"realtime_0_6s", "realtime", 5, 0.6}),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace talvor
