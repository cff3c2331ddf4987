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
#include "WizardFixture.h"
#include "RegisteredWindowFixture.h"
#include "common/DataTree.h"
#include "common/FileNames.h"
#include "common/StatwalkConfig.h"
#include "platform/Window.h"
#include "workbench/HostedControls.h"
#include "workbench/SmallWindows.h"
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
    // The program's own controls; a fake stands in for one whose library is
    // not part of this build.
    HostedControls real = makeHostedControls();
    talvor::workbench::test::FakeControls fakes;

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
        window->wizard().setControls(real.wavescope ? real.wavescope.get() : &fakes.wavescope,
                                     real.dtw ? real.dtw.get() : &fakes.dtw,
                                     real.chainview ? real.chainview.get() : &fakes.chainview);
        window->wizard().SetAppPathOnControls();
    }

    // Runs `act` once the analyser's window runs modally: the wizard lets
    // events run before it calls the analyser, so a plain single shot would
    // come too early.
    QTimer poll;
    std::function<void()> pending;
    void whenAnalyserRuns(std::function<void()> act)
    {
        pending = std::move(act);
        if (!poll.isActive()) {
            QObject::connect(&poll, &QTimer::timeout, [this] {
                if (pending && analyserRunning()) {
                    auto a = std::move(pending);
                    pending = nullptr;
                    a();
                }
            });
            poll.start(20);
        }
    }
    bool analyserRunning()
    {
#ifdef TALVOR_HOST_ANALYSER
        if (real.wavescope)
            return static_cast<UscWavescope&>(*real.wavescope).inModalShow();
#endif
        return false;
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

// Saves an experiment file as the wizard's Save does, from a scratch wizard.
struct FakeHostForExperiment {
    explicit FakeHostForExperiment(std::string folder) : m_folder(std::move(folder)) {}
    std::string save(int mode, const std::string& voc, const std::string& work, const std::vector<std::string>& refs)
    {
        talvor::workbench::test::FakeHost host;
        talvor::workbench::test::FakePrograms programs;
        ModuleState state;
        state.AppPath = m_folder;
        Wizard x(host, programs, state);
        x.Form_Load();
        x.mode = mode;
        x.vocName = voc;
        x.workDir = work;
        x.controls.lstRefSelected = refs;
        for (int i = 0; i < 8; ++i)
            x.controls.chkFeature[std::size_t(i)] = true;
        const std::string path = m_folder + "/experiment.cfv";
        EXPECT_TRUE(x.Save_CFV(path));
        return path;
    }
    std::string m_folder;
};

// A WAV file "spoken into the microphone", as fast as it can be read: a
// fixture of the engine's tests, or a path in the repository.
struct SpokenWav {
    explicit SpokenWav(const std::string& name)
    {
        const std::string source = std::getenv("TALVOR_SOURCE_DIR");
        const std::string path = name.find('/') != std::string::npos ? source + "/" + name
                                                                      : source + "/engine/tests/fixtures/" + name;
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
    auto& wavescope = static_cast<UscWavescope&>(*real.wavescope);
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
    whenAnalyserRuns([&] {
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
    });
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
    whenAnalyserRuns([&] {
        SpokenWav spoken("seven_en-gb-f3.wav");
        p.cmdRepeat_Click();
        serveEventsUntil([&] { return !p.listening(); }, 15000);
        said = p.lblSay.text;
        word = p.lblWord.text;
        dialogs.answers = {platform::DialogAnswer::Yes};
        p.Exitus();
    });
    next();
    EXPECT_EQ(said, "Recognized: ") << messages();
    EXPECT_EQ(word, "seven");
    EXPECT_EQ(w().currentPage(), PageBegin);
    // The references' word set and the token, in the new work directory.
    for (const char* f : {"r1.LB", "r1.PR", "x.lb", "x.pr"})
        EXPECT_TRUE(fs::exists(tree.workFolder("pair", "dtw") + "/" + f)) << f;
}

TEST_F(EndToEnd, HiddenRecogniserComesBackThroughTheRestoreWindow)
{
    auto& wavescope = static_cast<UscWavescope&>(*real.wavescope);
    analyser::Profiler& p = wavescope.profiler();
    // An experiment of Speak & Recognize (DTW) on the demo tree, run by the
    // run-time mode with the wizard hidden.
    FakeHostForExperiment saver(dir.path());
    const std::string experiment = saver.save(ModeSpeakRecognizeDtw, "digits", "dtw", {"us1"});
    w().controls.optMode = ModeRuntime;
    dialogs.texts = {experiment};
    next();
    ASSERT_EQ(w().currentPage(), PageOther) << messages();
    w().controls.chcRThide = true;
    next();
    {
        SpokenWav spoken("data/wav/seven.wav");
        next();
    }
    // The analyser listens without a window; only the restore window shows.
    EXPECT_FALSE(window->isVisible());
    EXPECT_FALSE(wavescope.inModalShow());
    ASSERT_NE(window->restoreWindow(), nullptr);
    EXPECT_TRUE(window->restoreWindow()->isVisible());
    EXPECT_TRUE(p.listening());
    EXPECT_EQ(w().currentPage(), PageBegin);

    // Closing it brings back the wizard and, modally, the analyser's window.
    bool analyserShown = false;
    whenAnalyserRuns([&] {
        analyserShown = true;
        p.cmdStop_Click();
        serveEventsUntil([&] { return !p.listening(); }, 15000);
        dialogs.answers = {platform::DialogAnswer::Yes};
        p.Exitus();
    });
    window->restoreWindow()->close();
    EXPECT_TRUE(analyserShown);
    EXPECT_FALSE(window->restoreWindow()->isVisible());
    EXPECT_TRUE(window->isVisible());
    EXPECT_FALSE(p.listening());
}

TEST_F(EndToEnd, LiveRecogniserWritesTheResultFile)
{
    analyser::Profiler& p = static_cast<UscWavescope&>(*real.wavescope).profiler();

    // Speak & Recognize (DTW) on the demo tree (reference us1, work
    // directory dtw, the cepstra), saved as an experiment from the End page.
    w().controls.optMode = ModeSpeakRecognizeDtw;
    next();
    w().controls.lstVocIndex = indexOf(w().controls.lstVoc, "digits");
    w().lstVoc_Click();
    next();
    w().controls.lstRefAvailableIndex = indexOf(w().controls.lstRefAvailable, "us1");
    w().cmdAdd_Click();
    next();
    w().controls.lstWorkDirIndex = indexOf(w().controls.lstWorkDir, "dtw");
    next();
    for (int i = 0; i < 8; ++i)
        w().controls.chkFeature[std::size_t(i)] = true;
    w().chkFeature_Click();
    next();
    ASSERT_EQ(w().currentPage(), PageEnd) << messages();
    const std::string experiment = dir.path() + "/digits.cfv";
    dialogs.texts = {experiment};
    w().cmdSave_Click();
    ASSERT_TRUE(fs::exists(experiment));
    w().cmdPrevious_Click();

    // The run-time mode loads it on its options page; for this mode results
    // go to the text file result.txt unless the user chooses otherwise.
    w().controls.optMode = ModeRuntime;
    dialogs.texts = {experiment};
    next();
    ASSERT_EQ(w().currentPage(), PageOther) << messages();
    EXPECT_EQ(w().mode, ModeSpeakRecognizeDtw);
    EXPECT_EQ(w().runTimeMode, 1);
    next();
    ASSERT_EQ(w().currentPage(), PageEnd);

    // The bundled WAV of the README's example says "seven", again at every
    // listening; the analyser listens after every word until Stop.
    std::string result;
    whenAnalyserRuns([&] {
        serveEventsUntil([&] { return readFileWhole(dir.path() + "/result.txt", &result); }, 20000);
        p.cmdStop_Click();
        serveEventsUntil([&] { return !p.listening(); }, 15000);
        dialogs.answers = {platform::DialogAnswer::Yes};
        p.Exitus();
    });
    {
        SpokenWav spoken("data/wav/seven.wav");
        next();
    }
    EXPECT_EQ(result, "seven\r\n") << messages();
    EXPECT_EQ(w().currentPage(), PageBegin);
    EXPECT_TRUE(window->isVisible());
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

// "STRINGS: Pick & Match (HMM)" on the demo tree: its File page lists the
// demo's word-string recording; without one, Next says how to make one.
TEST_F(EndToEnd, TheStringModesFileListFindsTheDemoStringRecording)
{
    const DataTree tree(dir.path());
    for (const bool withStrings : {true, false}) {
        SCOPED_TRACE(withStrings);
        if (!withStrings)
            fs::remove_all(tree.stringsFolder("digits"));
        dialogs.shown.clear();
        w().controls.optMode = ModeStringsPickMatchHmm;
        next();
        w().controls.lstVocIndex = indexOf(w().controls.lstVoc, "digits");
        w().lstVoc_Click();
        next();
        ASSERT_EQ(w().currentPage(), PageFile);
        if (withStrings) {
            EXPECT_EQ(w().controls.lstFiles, std::vector<std::string>{"us1str"});
            next();
            EXPECT_EQ(w().currentPage(), PageWorkDir) << messages();
            EXPECT_EQ(w().sourceFile, "us1str");
            EXPECT_EQ(messages(), "");
        } else {
            EXPECT_TRUE(w().controls.lstFiles.empty());
            next();
            EXPECT_EQ(w().currentPage(), PageFile);
            const std::string said = messages();
            EXPECT_NE(said.find("There is no word-string recording in the vocabulary digits"), std::string::npos)
                << said;
            EXPECT_NE(said.find("\"New String Text\""), std::string::npos) << said;
        }
        w().cmdPrevious_Click();
    }
}
