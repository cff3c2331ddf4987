// The live recogniser end to end: the analyser with the engine library hears a
// WAV file (as fast as it can be read), recognises it in "Speak & Recognize
// (DTW)" and hands every word on, in hidden run-time mode, as the result file
// that File takes, or as messages to Relayon's log in another process.
#include <gtest/gtest.h>

#include <QProcess>
#include <fcntl.h>
#include <unistd.h>
#include <QWidget>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "RelayonProbe.h"
#include "analyser/Profiler.h"
#include "analyser/UscWavescope.h"
#include "common/ControlInterfaces.h"
#include "common/DataTree.h"
#include "common/FileNames.h"
#include "common/ResultFile.h"
#include "filedemo/FilePoller.h"
#include "platform/Dialogs.h"
#include "testing/EventLoop.h"
#include "common/WordSetFile.h"
#include "testing/TempDir.h"
#include "timewarp/UscDtw.h"

namespace talvor {
namespace {

namespace fs = std::filesystem;

std::string fixture(const char* name)
{
    return std::string(std::getenv("TALVOR_SOURCE_DIR")) + "/engine/tests/fixtures/" + name;
}

// The WAV file is "spoken into the microphone" at every recording.
struct AudioFromFile {
    explicit AudioFromFile(const std::string& wav)
    {
        ::setenv("TALVOR_AUDIO_IN", wav.c_str(), 1);
        ::setenv("TALVOR_AUDIO_OUT", "null", 1);
        ::setenv("TALVOR_AUDIO_PACE", "fast", 1);
    }
    ~AudioFromFile() { ::setenv("TALVOR_AUDIO_IN", "null", 1); }
};

// Stands in for the DTW comparer while the references are recorded: it keeps
// the token files the analyser wrote for each word and recognises nothing.
class TokenCatcher final : public DtwControl {
public:
    std::string workFolder;
    std::vector<float> values;          // every caught token's frames, 20 features each
    std::vector<WordSetEntry> words;    // one entry per caught token
    std::int32_t nextLabel = 0;

    std::string version() const override { return "1.0.0"; }
    void setVersion(const std::string&) override {}
    std::int32_t revision() const override { return 0; }
    void setRevision(std::int32_t) override {}
    ControlResult SetAppPath(const std::string&) override { return {}; }
    ControlResult ShowDTW(std::int32_t) override { return {}; }
    ControlResult LoadDTW() override { return {}; }
    ControlResult LoadMode(std::int32_t, const std::string&, const std::string&, std::int32_t,
                           std::span<const std::int16_t>, const std::vector<std::string>&,
                           const std::string&) override
    {
        return {};
    }
    ControlResult SetPMword(std::int32_t) override { return {}; }
    ControlResult GetRecogWord(std::int32_t& i) override
    {
        i = -1;
        LabelFileContents label;
        std::vector<float> v;
        std::string error;
        if (!readLabelFile(joinPath(workFolder, "x.lb"), &label, &error, 1) ||
            !readFeatureFile(joinPath(workFolder, "x.pr"), &v, &error))
            return ControlResult::failure(error);
        WordSetEntry e;
        e.number = std::int32_t(words.size());
        e.label = nextLabel;
        e.frames = label.words.at(0).frames;
        words.push_back(e);
        values.insert(values.end(), v.begin(), v.begin() + std::ptrdiff_t(e.frames) * kFeaturesPerFrame);
        return {};
    }
    ControlResult GetSelectedFeature(std::span<bool> sF) override
    {
        for (bool& f : sF)
            f = true;
        return {};
    }
};

// A program folder with the digits vocabulary and a work folder whose
// reference word set "refs" holds "three" and "seven", recorded through the
// analyser and the engine from the fixtures; and the DTW comparer configured
// for "Speak & Recognize (DTW)" with all 20 features, as the wizard does.
struct RecognisingFolder {
    test::TempDir dir;
    DataTree tree{dir.path()};
    timewarp::UscDtw dtw;
    std::string setUpError;

    RecognisingFolder()
    {
        tree.createVocabulary("digits", {"zero", "one", "two", "three", "four", "five", "six", "seven", "eight", "nine"});
        tree.createWorkFolder("digits", "work1");
        const std::string work = tree.workFolder("digits", "work1");
        TokenCatcher catcher;
        catcher.workFolder = work;
        {
            UscWavescope recorder;
            recorder.SetAppPath(dir.path());
            recorder.SetControls(&catcher, nullptr);
            analyser::Profiler& p = recorder.profiler();
            if (!p.SetMode(ModeSpeakRecognizeDtw, "digits", "", "work1").ok) {
                setUpError = "the analyser refused mode 8";
                return;
            }
            for (auto [wav, label] : {std::pair{"three_en-gb-f3.wav", 3}, {"seven_en-gb-f3.wav", 7}}) {
                AudioFromFile audio(fixture(wav));
                catcher.nextLabel = label;
                p.cmdRepeat_Click();
                if (!test::serveEventsUntil([&] { return !p.listening(); }, 15000, 5) || p.status != 0) {
                    setUpError = std::string("no word heard in ") + wav;
                    return;
                }
            }
        }
        if (catcher.words.size() != 2) {
            setUpError = "the references were not caught";
            return;
        }
        std::string error;
        if (!writeWordSet(joinPath(work, "refs.LB"), joinPath(work, "refs.PR"), catcher.words, kFeaturesPerFrame,
                          catcher.values, LabelFileSpacing::WordSet, &error)) {
            setUpError = error;
            return;
        }
        dtw.SetAppPath(dir.path());
        std::vector<std::int16_t> flags(kFeaturesPerFrame, 1);
        const ControlResult r = dtw.LoadMode(ModeSpeakRecognizeDtw, "digits", "work1", kFeaturesPerFrame, flags,
                                             {"refs"}, "");
        if (!r)
            setUpError = "the DTW comparer refused its set-up: " + r.error;
    }
};

// Starts the analyser listening hidden in mode 8 with the given output kind.
void startListening(UscWavescope& w, RecognisingFolder& f, std::int32_t rtMode)
{
    w.SetControls(&f.dtw, nullptr);
    w.SetAppPath(f.dir.path());
    w.SetRunTimeMode(rtMode, kDefaultRTfile, kDefaultRTwCapt, kDefaultRTmsg, kDefaultRTwPar, kDefaultRTip,
                     kDefaultRTport, /*RThide*/ 1, 0);
    const ControlResult r = w.LoadMode(ModeSpeakRecognizeDtw, "digits", "", "work1");
    ASSERT_TRUE(r.ok) << r.error;
    ASSERT_TRUE(w.profiler().listening());
    ASSERT_FALSE(w.window()->isVisible());
}

// Stop, as the user presses it: the utterance in progress still finishes.
void stopListening(UscWavescope& w)
{
    w.profiler().cmdStop_Click();
    EXPECT_TRUE(test::serveEventsUntil([&] { return !w.profiler().listening(); }, 15000, 5));
}

// Standard error goes to a file for the object's lifetime.
class StderrToFile {
public:
    explicit StderrToFile(const std::string& path)
    {
        std::fflush(stderr);
        m_saved = ::dup(2);
        const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        ::dup2(fd, 2);
        ::close(fd);
    }
    ~StderrToFile()
    {
        std::fflush(stderr);
        ::dup2(m_saved, 2);
        ::close(m_saved);
    }

private:
    int m_saved = -1;
};

}  // namespace

TEST(RunTimeEndToEnd, FileShowsTheResultFileOfEveryUtterance)
{
    platform::ScopedScriptedDialogs dialogs;
    RecognisingFolder f;
    ASSERT_EQ(f.setUpError, "");
    // Another speaker says "three".
    AudioFromFile audio(fixture("three_en-us.wav"));
    UscWavescope w;
    startListening(w, f, RTTextFile);

    // File watches the result file in the program folder.
    filedemo::FilePoller file(joinPath(f.dir.path(), "result.txt"));
    std::vector<std::string> taken;
    ASSERT_TRUE(test::serveEventsUntil(
        [&] {
            const std::string t = file.poll();
            if (!t.empty())
                taken.push_back(t);
            return taken.size() >= 2;
        },
        20000, 5));
    stopListening(w);
    std::string expected;
    ASSERT_TRUE(resultFileText("three", &expected));
    for (const std::string& t : taken)
        EXPECT_EQ(t, expected);
    EXPECT_TRUE(dialogs.shown.empty()) << dialogs.shown.front().text;
}

// Listening hidden, a result file that cannot be written is one line on
// standard error per utterance, never a message box, and listening goes on.
TEST(RunTimeEndToEnd, HiddenListeningReportsAWriteFailureOnStandardError)
{
    platform::ScopedScriptedDialogs dialogs;
    RecognisingFolder f;
    ASSERT_EQ(f.setUpError, "");
    AudioFromFile audio(fixture("three_en-us.wav"));
    UscWavescope w;
    const std::string errors = joinPath(f.dir.path(), "stderr.txt");
    auto failures = [&] {
        std::string text;
        readFileWhole(errors, &text);
        int n = 0;
        for (std::size_t at = 0; (at = text.find("could not be written to the result file", at)) != std::string::npos; ++at)
            ++n;
        return n;
    };
    {
        StderrToFile redirect(errors);
        w.SetControls(&f.dtw, nullptr);
        w.SetAppPath(f.dir.path());
        w.SetRunTimeMode(RTTextFile, "no such folder/result.txt", kDefaultRTwCapt, kDefaultRTmsg, kDefaultRTwPar,
                         kDefaultRTip, kDefaultRTport, /*RThide*/ 1, 0);
        ASSERT_TRUE(w.LoadMode(ModeSpeakRecognizeDtw, "digits", "", "work1").ok);
        EXPECT_TRUE(test::serveEventsUntil([&] { return failures() >= 2; }, 20000, 5));
        EXPECT_TRUE(w.profiler().listening());
        stopListening(w);
    }
    EXPECT_GE(failures(), 2);
    EXPECT_TRUE(dialogs.shown.empty()) << dialogs.shown.front().text;
}

TEST(RunTimeEndToEnd, RelayonInAnotherProcessLogsEveryUtteranceOnItsOwnLine)
{
    test::RelayonProbe relayon;
    ASSERT_TRUE(relayon.waitReady());

    platform::ScopedScriptedDialogs dialogs;
    RecognisingFolder f;
    ASSERT_EQ(f.setUpError, "");
    AudioFromFile audio(fixture("seven_en-us.wav"));
    UscWavescope w;
    startListening(w, f, RTWindowMessage);
    // lParam 0, then 1: each utterance on its own line.
    ASSERT_TRUE(test::serveEventsUntil(
        [&] {
            relayon.read();
            return relayon.log().rfind("\\r\\nSeven\\r\\nSeven", 0) == 0;
        },
        20000, 5))
        << relayon.log();
    stopListening(w);
    EXPECT_GE(w.state().runTime.RTcount, 2);
    EXPECT_TRUE(relayon.finish());
    EXPECT_TRUE(dialogs.shown.empty());
}

}  // namespace talvor
