// Speak & Recognize (HMM) with the real analyser and engine library: the
// wizard starts the mode on a copy of the demo tree with its trained work
// directory "models" and the real statwalk2; a WAV file spoken into the
// microphone is cut out by the analyser, written as the token x.lb/x.pr, and
// recognised by statwalk2, whose answer the analyser shows.  Pick & Match
// (HMM) on the same tree: statwalk2 shows the picked word's result and hands
// control back when it is dismissed.
#include <QApplication>
#include <QTimer>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <gtest/gtest.h>

#include "FakeControls.h"
#include "RegisteredWindowFixture.h"
#include "common/DataTree.h"
#include "common/FileNames.h"
#include "platform/Window.h"
#include "testing/EventLoop.h"

#ifdef TALVOR_HOST_ANALYSER
#include "analyser/Profiler.h"
#include "analyser/UscWavescope.h"
#endif

using namespace talvor;
using namespace talvor::workbench;
using talvor::test::serveEventsUntil;
namespace fs = std::filesystem;

#ifdef TALVOR_HOST_ANALYSER
namespace {

constexpr int kWaitMs = 60000;  // generous under the sanitizers; never a timing assertion

// A WAV file "spoken into the microphone", as fast as it can be read.
struct SpokenWav {
    explicit SpokenWav(const std::string& name)
    {
        const std::string path = std::string(std::getenv("TALVOR_SOURCE_DIR")) + "/engine/tests/fixtures/" + name;
        ::setenv("TALVOR_AUDIO_IN", path.c_str(), 1);
        ::setenv("TALVOR_AUDIO_OUT", "null", 1);
        ::setenv("TALVOR_AUDIO_PACE", "fast", 1);
    }
    ~SpokenWav() { ::setenv("TALVOR_AUDIO_IN", "null", 1); }
};

class SpeakAndRecognizeHmm : public talvor::workbench::test::RegisteredWindowFixture {
protected:
    void SetUp() override
    {
        const char* source = std::getenv("TALVOR_SOURCE_DIR");
        ASSERT_NE(source, nullptr);
        fs::copy(fs::path(source) / "data" / "DATA", fs::path(dir.path()) / "DATA", fs::copy_options::recursive);
        const std::string to = DataTree(dir.path()).externalProgram(StatwalkKind::Recognition);
        fs::copy_file(STATWALK2_PROGRAM, to);
        fs::permissions(to, fs::perms::owner_all);
        openWindow();
    }
    void TearDown() override
    {
        if (const auto h = platform::findWindowByCaption("Statwalk in mode: Speak & Recognize (HMM)"))
            platform::sendMessage(h, 26666, 26672, 0);
        RegisteredWindowFixture::TearDown();
    }
    std::string messages() const
    {
        std::string s;
        for (const auto& d : dialogs.shown)
            s += d.text + "\n";
        return s;
    }
};

}  // namespace

TEST_F(SpeakAndRecognizeHmm, ASpokenWordIsRecognisedByTheDemoModels)
{
    UscWavescope wavescope;
    // Acts once the analyser's window runs modally.
    QTimer poll;
    std::function<void()> pending;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if (pending && wavescope.inModalShow()) {
            auto act = std::move(pending);
            pending = nullptr;
            act();
        }
    });
    poll.start(20);
    Wizard& w = window->wizard();
    w.setControls(&wavescope, nullptr, nullptr);
    w.SetAppPathOnControls();
    analyser::Profiler& p = wavescope.profiler();

    // The wizard's choices: the demo vocabulary and its trained work
    // directory, whose models set the features.
    w.mode = ModeSpeakRecognizeHmm;
    w.vocName = "digits";
    w.workDir = "models";
    ASSERT_TRUE(w.ReadModelEdf());
    EXPECT_EQ(w.numFeat, 16);

    std::vector<std::pair<std::string, std::string>> heard;  // what the analyser showed, per WAV
    bool recogniserRan = false;
    pending = [&] {
        recogniserRan = platform::findWindowByCaption("Statwalk in mode: Speak & Recognize (HMM)") != 0;
        for (const char* wav : {"seven_en-us.wav", "three_en-us.wav", "seven_en-gb-f3.wav", "three_en-gb-f3.wav",
                                "seven_en-gb-scotland.wav", "three_en-gb-scotland.wav"}) {
            SpokenWav spoken(wav);
            p.lblWord.text.clear();
            p.cmdRepeat_Click();
            serveEventsUntil([&] { return !p.listening(); }, kWaitMs);
            // The answer is a posted key.
            serveEventsUntil([&] { return !p.lblWord.text.empty(); }, kWaitMs);
            heard.emplace_back(p.lblSay.text, p.lblWord.text);
        }
        dialogs.answers = {platform::DialogAnswer::Yes};
        p.Exitus();
    };
    w.RunMode();
    EXPECT_TRUE(recogniserRan) << messages();
    ASSERT_EQ(heard.size(), 6u) << messages();
    for (std::size_t k = 0; k < heard.size(); ++k)
        EXPECT_EQ(heard[k], (std::pair<std::string, std::string>{"Recognized: ", k % 2 ? "three" : "seven"})) << k;
    const std::string work = DataTree(dir.path()).workFolder("digits", "models");
    EXPECT_TRUE(fs::exists(work + "/x.lb"));
    // The analyser's exit ends the recogniser.
    EXPECT_TRUE(serveEventsUntil(
        [] { return platform::findWindowByCaption("Statwalk in mode: Speak & Recognize (HMM)") == 0; }, kWaitMs));
}

// Pick & Match (HMM) with the real analyser and statwalk2: the wizard starts
// the mode on the demo tree (recording us1, work directory "models"); a
// stored word is picked and HMM pressed: statwalk2 takes control, shows the
// result (the word, what it was recognised as, the best models), and gives
// control back to the analyser when its window is dismissed.
class PickAndMatchHmm : public SpeakAndRecognizeHmm {
protected:
    void TearDown() override
    {
        if (const auto h = platform::findWindowByCaption("Statwalk in mode: Pick & Match (HMM)"))
            platform::sendMessage(h, 26666, 26672, 0);
        SpeakAndRecognizeHmm::TearDown();
    }
};

TEST_F(PickAndMatchHmm, ThePickShowsTheResultAndControlReturnsWhenItIsDismissed)
{
    UscWavescope wavescope;
    QTimer poll;
    std::function<void()> pending;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if (pending && wavescope.inModalShow()) {
            auto act = std::move(pending);
            pending = nullptr;
            act();
        }
    });
    poll.start(20);
    Wizard& w = window->wizard();
    w.setControls(&wavescope, nullptr, nullptr);
    w.SetAppPathOnControls();
    analyser::Profiler& p = wavescope.profiler();
    w.mode = ModePickMatchHmm;
    w.vocName = "digits";
    w.sourceFile = "us1";
    w.workDir = "models";
    ASSERT_TRUE(w.ReadModelEdf());

    const std::string work = DataTree(dir.path()).workFolder("digits", "models");
    const std::string caption = "Statwalk in mode: Pick & Match (HMM)";
    auto log = [&] {
        std::string text;
        readFileWhole(joinPath(work, "statwalk2.log"), &text);
        return text;
    };
    struct Seen {
        std::string word;
        bool disabledWhileShown = false;
        bool resultLogged = false;
        bool enabledAfterDismissal = false;
    };
    std::vector<Seen> seen;
    pending = [&] {
        // us1 holds zero .. nine in vocabulary order.
        for (std::int32_t k : {3, 7}) {
            Seen s;
            p.cboWordName_Click(k);
            s.word = p.wordList.at(std::size_t(k));
            p.cmdHmm_Click();
            const std::string line = " of us1: " + s.word +
                                     "\r\nRecognised as: " + s.word + "  (right)\r\nBest models:  1. " + s.word + " ";
            s.resultLogged = serveEventsUntil([&] { return log().find(line) != std::string::npos; }, kWaitMs);
            // The recogniser holds control: the analyser stays disabled.
            talvor::test::serveEventsFor(200);
            s.disabledWhileShown = !p.windowEnabled;
            // The user closes the result window (a hide request stands in for it).
            platform::requestWindow(platform::findWindowByCaption(caption), platform::WindowRequest::Hide);
            s.enabledAfterDismissal = serveEventsUntil([&] { return p.windowEnabled; }, kWaitMs);
            seen.push_back(s);
        }
        dialogs.answers = {platform::DialogAnswer::Yes};
        p.Exitus();
    };
    w.RunMode();
    ASSERT_EQ(seen.size(), 2u) << messages() << log();
    for (const Seen& s : seen) {
        SCOPED_TRACE(s.word);
        EXPECT_TRUE(s.resultLogged) << log();
        EXPECT_TRUE(s.disabledWhileShown);
        EXPECT_TRUE(s.enabledAfterDismissal);
    }
    EXPECT_EQ(seen[0].word, "three");
    EXPECT_EQ(seen[1].word, "seven");
    EXPECT_TRUE(serveEventsUntil([&] { return platform::findWindowByCaption(caption) == 0; }, kWaitMs));
}
#endif
