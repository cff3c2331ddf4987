// The workbench from its wizard to a started mode, on a copy of the bundled
// demo tree in a temporary program folder:
//   - Speech Recording of a new vocabulary from WAV files in place of a
//     microphone, then Speak & Recognize (DTW) recognising a spoken word, with
//     the real analyser, DTW comparer and engine library;
//   - HMM Training and HMM Matching with the stand-ins of the external HMM
//     programs (tests/fakestatwalk), which read the word sets their job names
//     and refuse a job whose sets are missing or short, so a wrong working
//     copy fails here and not only a missing window.
#include <QApplication>
#include <QPushButton>
#include <QTimer>
#include <cstdlib>
#include <functional>

#include <filesystem>

#include <gtest/gtest.h>

#include "FakeControls.h"
#include "RegisteredWindowFixture.h"
#include "common/DataTree.h"
#include "common/FileNames.h"
#include "common/StatwalkConfig.h"
#include "platform/Window.h"
#include "testing/EventLoop.h"

#ifdef TALVOR_HOST_ANALYSER
#include "analyser/Profiler.h"
#include "analyser/UscWavescope.h"
#endif
#ifdef TALVOR_HOST_TIMEWARP
#include "timewarp/UscDtw.h"
#endif

using namespace talvor;
using namespace talvor::workbench;
using talvor::test::serveEventsUntil;
namespace fs = std::filesystem;

namespace {

int indexOf(const std::vector<std::string>& list, const std::string& s)
{
    auto it = std::find(list.begin(), list.end(), s);
    return it == list.end() ? -1 : int(it - list.begin());
}

std::string fileText(const std::string& path)
{
    std::string text;
    readFileWhole(path, &text);
    return text;
}

class EndToEnd : public talvor::workbench::test::RegisteredWindowFixture {
protected:
    talvor::workbench::test::FakeControls hosted;

    void SetUp() override
    {
        const char* source = std::getenv("TALVOR_SOURCE_DIR");
        ASSERT_NE(source, nullptr);
        fs::copy(fs::path(source) / "data" / "DATA", fs::path(dir.path()) / "DATA", fs::copy_options::recursive);
        for (const char* program : {FAKE_STATWALK1, FAKE_STATWALK2}) {
            const fs::path to = fs::path(dir.path()) / fs::path(program).filename();
            fs::copy_file(program, to);
            fs::permissions(to, fs::perms::owner_all);
        }
        openWindow();
        window->wizard().setControls(&hosted.wavescope, &hosted.dtw, &hosted.chainview);
    }

    Wizard& w() { return window->wizard(); }
    // Next as the user presses it.
    void next()
    {
        window->refresh();
        ASSERT_TRUE(window->nextButton()->isEnabled()) << "page " << w().currentPage();
        window->nextButton()->click();
    }
    std::string messages() const
    {
        std::string s;
        for (const auto& d : dialogs.shown)
            s += d.text + "\n";
        return s;
    }
};

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

}  // namespace

#if defined(TALVOR_HOST_ANALYSER) && defined(TALVOR_HOST_TIMEWARP)
TEST_F(EndToEnd, RecordAVocabularyThenSpeakAndRecognizeByDtw)
{
    UscWavescope wavescope;
    timewarp::UscDtw dtw;
    // Acts once the analyser's window runs modally (the wizard lets events
    // run before it calls the analyser, so a plain single shot comes too early).
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
    w().setControls(&wavescope, &dtw, nullptr);
    w().SetAppPathOnControls();
    analyser::Profiler& p = wavescope.profiler();
    const DataTree tree(dir.path());

    // Speech Recording: the new vocabulary "pair" (three, seven), recording r1.
    w().controls.optMode = ModeSpeechRecording;
    next();
    w().optVocab_Click(1);
    next();
    ASSERT_EQ(w().currentPage(), PageNewVocabulary);
    w().controls.txtVocName = "pair";
    w().txtVocName_Change();
    for (const char* word : {"three", "seven"}) {
        w().controls.txtWord = word;
        w().txtWord_Enter();
    }
    next();
    w().controls.txtFileName = "r1";
    w().txtFileName_Change();
    next();
    ASSERT_EQ(w().currentPage(), PageEnd) << messages();

    // The analyser's window is modal: the user speaks each word while it
    // runs, saves, and leaves it.
    bool saved = false, wizardIdle = true;
    pending = [&] {
        wizardIdle = window->nextButton()->isEnabled();
        for (const char* wav : {"three_en-us.wav", "seven_en-us.wav"}) {
            SpokenWav spoken(wav);
            p.cmdNext_Click();
            if (!serveEventsUntil([&] { return !p.listening(); }, 15000))
                break;
        }
        p.cmdSave_Click();
        saved = p.isSavedData;

        dialogs.answers = {platform::DialogAnswer::Yes};
        p.Exitus();
    };
    next();
    EXPECT_TRUE(saved) << messages();
    EXPECT_FALSE(wizardIdle);
    EXPECT_EQ(w().currentPage(), PageBegin);
    EXPECT_TRUE(fs::exists(tree.vocabularyFile("pair")));
    for (const char* ext : {".lab", ".par", ".rec"})
        EXPECT_TRUE(fs::exists(tree.recordingBase("pair", "r1") + ext)) << ext;

    // Speak & Recognize (DTW) against r1, in a new work directory, on the
    // cepstra: another voice says "seven".
    w().controls.optMode = ModeSpeakRecognizeDtw;
    next();
    w().controls.lstVocIndex = indexOf(w().controls.lstVoc, "pair");
    w().lstVoc_Click();
    next();
    ASSERT_EQ(w().currentPage(), PageReferences);
    w().cmdRefData_Click(0);
    next();
    w().optDirectory_Click(0);
    w().controls.txtWorkDir = "dtw";
    next();
    for (int i = 0; i < 8; ++i)
        w().controls.chkFeature[std::size_t(i)] = true;
    w().chkFeature_Click();
    next();
    ASSERT_EQ(w().currentPage(), PageEnd) << messages();
    std::string said, word;
    pending = [&] {
        SpokenWav spoken("seven_en-gb-f3.wav");
        p.cmdRepeat_Click();
        serveEventsUntil([&] { return !p.listening(); }, 15000);
        said = p.lblSay.text;
        word = p.lblWord.text;
        dialogs.answers = {platform::DialogAnswer::Yes};
        p.Exitus();
    };
    next();
    EXPECT_EQ(said, "Recognized: ") << messages();
    EXPECT_EQ(word, "seven");
    EXPECT_EQ(w().currentPage(), PageBegin);
    // The references' word set and the token, in the new work directory.
    for (const char* f : {"r1.LB", "r1.PR", "x.lb", "x.pr"})
        EXPECT_TRUE(fs::exists(tree.workFolder("pair", "dtw") + "/" + f)) << f;
}
#endif

TEST_F(EndToEnd, HmmTrainingThenMatchingWithTheStandIns)
{
    const DataTree tree(dir.path());
    // HMM Training: both demo recordings, a new work directory, the cepstra.
    w().controls.optMode = ModeHmmTraining;
    next();
    w().controls.lstVocIndex = indexOf(w().controls.lstVoc, "digits");
    w().lstVoc_Click();
    next();
    ASSERT_EQ(w().currentPage(), PageReferences);
    w().cmdRefData_Click(0);
    ASSERT_EQ(w().controls.lstRefSelected, (std::vector<std::string>{"gb1", "us1"}));
    next();
    w().optDirectory_Click(0);
    w().controls.txtWorkDir = "hmm";
    next();
    for (int i = 0; i < 8; ++i)
        w().controls.chkFeature[std::size_t(i)] = true;
    w().chkFeature_Click();
    next();
    ASSERT_EQ(w().currentPage(), PageEnd) << messages();
    next();

    // The job and its working copies are written, the trainer is found by
    // its window, and the wizard waits hidden.
    EXPECT_EQ(messages(), "");
    StatwalkConfig job;
    std::string error;
    ASSERT_TRUE(readStatwalkConfig(tree.statwalkConfigFile(StatwalkKind::Training), &job, &error)) << error;
    EXPECT_EQ(job.files, (std::vector<std::string>{"gb1", "us1"}));
    EXPECT_EQ(job.featureCount, 8);
    EXPECT_EQ(fileText(tree.modelConfigCopy("digits", "hmm")), fileText(tree.statwalkConfigFile(StatwalkKind::Training)));
    for (const char* f : {"gb1.LB", "gb1.PR", "us1.LB", "us1.PR"})
        EXPECT_TRUE(fs::exists(tree.workFolder("digits", "hmm") + "/" + f)) << f;
    EXPECT_FALSE(window->isVisible());
    EXPECT_EQ(window->windowTitle(), "Talvor Setup");
    EXPECT_TRUE(window->watchTimerActive());
    EXPECT_EQ(w().currentPage(), PageBegin);

    // The trainer writes a model per word and closes; the watch timer brings
    // the wizard back.
    ASSERT_TRUE(serveEventsUntil([&] { return window->isVisible(); }, 15000));
    EXPECT_FALSE(window->watchTimerActive());
    const std::string trainerLog = fileText(dir.path() + "/statwalk1.log");
    EXPECT_NE(trainerLog.find("window Statwalk in mode: HMM Training"), std::string::npos) << trainerLog;
    for (const char* word : {"zero", "five", "nine"})
        EXPECT_TRUE(fs::exists(tree.workFolder("digits", "hmm") + "/" + word + ".mod")) << word;

    // HMM Matching of us1 against those models: the features come from them.
    w().controls.chkFeature.fill(false);
    w().controls.optMode = ModeHmmMatching;
    next();
    w().controls.lstVocIndex = indexOf(w().controls.lstVoc, "digits");
    w().lstVoc_Click();
    next();
    w().controls.lstFilesIndex = indexOf(w().controls.lstFiles, "us1");
    next();
    ASSERT_EQ(w().currentPage(), PageWorkDir);
    w().controls.lstWorkDirIndex = indexOf(w().controls.lstWorkDir, "hmm");
    next();
    ASSERT_EQ(w().currentPage(), PageEnd) << messages();
    EXPECT_EQ(w().numFeat, 8);
    next();
    EXPECT_EQ(messages(), "");
    ASSERT_TRUE(readStatwalkConfig(tree.statwalkConfigFile(StatwalkKind::Recognition), &job, &error)) << error;
    EXPECT_EQ(job.files, std::vector<std::string>{"us1"});
    EXPECT_EQ(job.featureCount, 8);
    EXPECT_FALSE(window->isVisible());
    ASSERT_TRUE(serveEventsUntil([&] { return window->isVisible(); }, 15000));
    const std::string recogniserLog = fileText(dir.path() + "/statwalk2.log");
    EXPECT_NE(recogniserLog.find("window Statwalk in mode: HMM Matching"), std::string::npos) << recogniserLog;
    EXPECT_EQ(recogniserLog.find("bad"), std::string::npos) << recogniserLog;
}
