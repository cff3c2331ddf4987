// Speak & Recognize (HMM) with the real analyser and engine library: the
// wizard starts the mode on a copy of the demo tree with its trained work
// directory "models" and the real statwalk2; a WAV file spoken into the
// microphone is cut out by the analyser, written as the token x.lb/x.pr, and
// recognised by statwalk2, whose answer the analyser shows.
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
#endif
