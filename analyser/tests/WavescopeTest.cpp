// The analyser's control and window over the platform layer: modal and
// hidden shows, remote keys, the real engine library with WAV input, and the
// external recogniser's window protocol against the fake statwalk2.
#include "ProfilerFakes.h"
#include "analyser/Profiler.h"
#include "analyser/UscWavescope.h"
#include "common/DataTree.h"
#include "common/FileNames.h"
#include "common/StatwalkConfig.h"
#include "common/WordSetFile.h"
#include "platform/Audio.h"
#include "platform/Dialogs.h"
#include "platform/Process.h"
#include "platform/Window.h"
#include "testing/EventLoop.h"
#include "testing/TempDir.h"
#include "worddata/WordDataStore.h"

#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QAction>
#include <QPushButton>
#include <QTableWidget>
#include <QTimer>
#include <QWidget>
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>

namespace talvor {
namespace {

namespace fs = std::filesystem;
using analyser::Profiler;

// An engine that never hears anything (the window tests need no sound).
class QuietEngine final : public analyser::AnalyserEngine {
public:
    int starts = 0;
    std::int32_t InitSoundCard() override { return 0; }
    std::intptr_t TokenProces(std::uint32_t) override { return ++starts; }
    std::int32_t StopTokenProces() override { return 0; }
    std::int32_t GetTokenParam(float*, std::int32_t* a, std::int32_t* b, std::int16_t*, std::int32_t* c,
                               std::int32_t* d) override
    {
        *a = *b = *c = *d = 0;
        return 1;
    }
    std::int32_t ChangeTokenMaxFrames(std::int32_t f) override { return f; }
    std::intptr_t OpenSoundCardOut(const std::int16_t*, std::int32_t) override { return 0; }
    std::int32_t CloseSoundCardOut() override { return 0; }
    std::int32_t CloseSoundCardIn() override { return 0; }
};

struct Folder {
    talvor::test::TempDir dir;
    DataTree tree{dir.path()};
    Folder()
    {
        tree.createVocabulary("digits", {"zero", "one", "two", "three"});
        tree.createWorkFolder("digits", "work1");
        StatwalkConfig c;
        c.vocabulary = "digits";
        c.workDirectory = "work1";
        c.features[0] = c.features[19] = true;
        c.featureCount = 2;
        c.files = {"train"};
        writeStatwalkConfig(tree.modelConfigCopy("digits", "work1"), c);
    }
};

TEST(UscWavescope, LoadModeReturnsOnlyWhenTheWindowIsLeft)
{
    Folder f;
    platform::ScopedScriptedDialogs dialogs;
    UscWavescope w(std::make_unique<QuietEngine>());
    EXPECT_FALSE(w.windowCreated());
    w.SetAppPath(f.dir.path());
    w.SetRunTimeMode(0, "result.txt", "TALVOR recog", 1025, 0, "127.0.0.1", 11111, 0, 0);
    bool shownWhileWaiting = false;
    // A remote exit (key 26672 through the platform) while LoadMode waits.
    QTimer::singleShot(50, [&] {
        shownWhileWaiting = w.window()->isVisible() && w.inModalShow();
        const platform::WindowHandle h = platform::findWindowByCaption("Wavescope in mode: Speech Recording");
        EXPECT_NE(h, 0u);
        dialogs.answers = {platform::DialogAnswer::No, platform::DialogAnswer::Yes};  // don't save; exit
        platform::postMessage(h, platform::WM_KEYDOWN, analyser::KeyExit, 0);
    });
    const ControlResult r = w.LoadMode(0, "digits", "take1", "");
    EXPECT_TRUE(r.ok) << r.error;
    EXPECT_TRUE(shownWhileWaiting);
    EXPECT_FALSE(w.window()->isVisible());
    EXPECT_FALSE(w.inModalShow());
    EXPECT_EQ(w.window()->windowTitle().toStdString(), "Wavescope in mode: Speech Recording");
    // Hidden, not destroyed: the state stays for the next LoadMode.
    EXPECT_TRUE(w.windowCreated());
    EXPECT_EQ(w.profiler().wordList.size(), 4u);
}

TEST(UscWavescope, HiddenRunTimeModeReturnsAtOnceAndListens)
{
    Folder f;
    platform::ScopedScriptedDialogs dialogs;
    auto engine = std::make_unique<QuietEngine>();
    QuietEngine* e = engine.get();
    UscWavescope w(std::move(engine));
    w.SetAppPath(f.dir.path());
    w.SetRunTimeMode(2, "result.txt", "TALVOR recog", 1025, 0, "127.0.0.1", 11111, 1, 0);
    w.state().runTime.RTcount = 5;
    w.SetRunTimeMode(2, "result.txt", "TALVOR recog", 1025, 0, "127.0.0.1", 11111, 1, 0);
    EXPECT_EQ(w.state().runTime.RTcount, 0);
    w.profiler().miReplayChecked = true;
    const ControlResult r = w.LoadMode(12, "digits", "", "digits/work1");
    // Mode 12 needs the HMM viewer: refused, no window shown.
    EXPECT_FALSE(r.ok);
    EXPECT_FALSE(w.window()->isVisible());

    const ControlResult r8 = w.LoadMode(7, "digits", "", "work1");
    EXPECT_TRUE(r8.ok) << r8.error;
    EXPECT_FALSE(w.window()->isVisible());
    EXPECT_TRUE(w.profiler().listening());
    EXPECT_EQ(e->starts, 1);
    EXPECT_FALSE(w.profiler().miReplayChecked);
}

TEST(UscWavescope, ShowWavescopeCaptionsAndModalFlag)
{
    Folder f;
    platform::ScopedScriptedDialogs dialogs;
    UscWavescope w(std::make_unique<QuietEngine>());
    w.SetAppPath(f.dir.path());
    EXPECT_EQ(w.revision(), UscWavescope::kRevision);
    EXPECT_TRUE(w.ShowWavescope().ok);  // modeless: returns at once
    EXPECT_TRUE(w.window()->isVisible());
    EXPECT_EQ(w.window()->windowTitle().toStdString(), "Wavescope in mode: Speech Recording");
    EXPECT_FALSE(w.ShowWavescope(2).ok);
    const std::vector<std::string> words{"a", "b"};
    EXPECT_FALSE(w.SetNewVoc(words, 3).ok);
    EXPECT_TRUE(w.SetNewVoc(words, 2).ok);
    // Typed keys never reach Form_KeyDown; only platform messages do.
    const platform::WindowHandle h = platform::findWindowByCaption("Wavescope in mode: Speech Recording");
    ASSERT_NE(h, 0u);
    platform::postMessage(h, platform::WM_KEYDOWN, analyser::KeyHide, 0);
    EXPECT_TRUE(talvor::test::serveEventsUntil([&] { return !w.window()->isVisible(); }, 3000));
}

TEST(ProfilerWindow, TheCloseBoxAsksAndHidesWithoutDestroying)
{
    Folder f;
    platform::ScopedScriptedDialogs dialogs;
    UscWavescope w(std::make_unique<QuietEngine>());
    w.SetAppPath(f.dir.path());
    Profiler& p = w.profiler();
    ASSERT_TRUE(p.SetMode(1, "digits", "take1", "").ok);
    w.ShowWavescope(0);
    QWidget* win = w.window();
    dialogs.shown.clear();
    dialogs.answers = {platform::DialogAnswer::No};
    win->close();
    EXPECT_TRUE(win->isVisible());
    ASSERT_EQ(dialogs.shown.size(), 1u);
    EXPECT_EQ(dialogs.shown[0].text, "Do you want to exit Wavescope ?");
    dialogs.answers = {platform::DialogAnswer::Yes};
    win->close();
    EXPECT_FALSE(win->isVisible());
    EXPECT_EQ(w.window(), win);  // the same window comes back
    EXPECT_TRUE(w.ShowWavescope(0).ok);
    EXPECT_TRUE(win->isVisible());
}

TEST(ProfilerWindow, EachModeShowsItsButtonsAndCaptions)
{
    Folder f;
    platform::ScopedScriptedDialogs dialogs;
    UscWavescope w(std::make_unique<QuietEngine>());
    w.SetAppPath(f.dir.path());
    Profiler& p = w.profiler();
    QWidget* win = w.window();
    auto button = [&](const char* name) { return win->findChild<QPushButton*>(name); };
    ASSERT_TRUE(p.SetMode(7, "digits", "", "work1").ok);
    w.ShowWavescope(0);
    EXPECT_EQ(win->windowTitle().toStdString(), "Wavescope in mode: Speak & Recognize (HMM)");
    EXPECT_EQ(button("cmdRepeat")->text().toStdString(), "Sp&eak");
    EXPECT_TRUE(button("cmdRepeat")->isEnabled());
    EXPECT_FALSE(button("cmdPlay")->isEnabled());
    EXPECT_FALSE(button("cmdExit")->isVisible());
    EXPECT_LT(button("cmdRepeat")->x(), button("cmdNext")->x());
    button("cmdRepeat")->click();
    EXPECT_TRUE(button("cmdStop")->isVisible());
    EXPECT_FALSE(button("cmdNext")->isVisible());
    EXPECT_EQ(win->findChild<QLabel*>("lblSay")->text().toStdString(), "SAY A WORD ");

    ASSERT_TRUE(p.SetMode(0, "digits", "take1", "").ok);
    EXPECT_EQ(win->windowTitle().toStdString(), "Wavescope in mode: Speech Recording");
    EXPECT_EQ(button("cmdNext")->text().toStdString(), "&Next word");
    EXPECT_FALSE(win->findChild<QComboBox*>("cboWordName")->isVisible());
    // Programmatic selections do not run the list's click handler.
    EXPECT_EQ(p.itemIndex, -1);
}

// A DTW comparer and an HMM viewer that accept everything.
class QuietDtw final : public DtwControl {
public:
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
        i = 0;
        return {};
    }
    ControlResult GetSelectedFeature(std::span<bool>) override { return {}; }
};

class QuietChainview final : public ChainviewControl {
public:
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
                              std::string& name, std::int32_t& result) override
    {
        name = "zero";
        result = 0;
        return {};
    }
    ControlResult SetPruneTreshold(std::int32_t) override { return {}; }
    ControlResult GetResultByOrder(std::int32_t, std::int32_t& r) override
    {
        r = -1;
        return {};
    }
    ControlResult GetModelVocabularyIndex(std::int32_t, std::int32_t& v) override
    {
        v = -1;
        return {};
    }
};

TEST(ProfilerWindow, WidgetsFollowTheStateInEveryMode)
{
    Folder f;
    platform::ScopedScriptedDialogs dialogs;
    QuietDtw dtw;
    QuietChainview chainview;
    UscWavescope w(std::make_unique<QuietEngine>());
    w.SetAppPath(f.dir.path());
    w.SetControls(&dtw, &chainview);
    Profiler& p = w.profiler();
    QWidget* win = w.window();
    const char* names[analyser::kButtonCount] = {"cmdNext", "cmdStop", "cmdRepeat", "cmdPlay", "cmdSave",
                                                 "cmdDtw",  "cmdHmm",  "cmdTalvor", "cmdExit"};
    const struct {
        int mode;
        const char* v;
        const char* l;
        const char* wp;
    } modes[] = {{0, "digits", "take1", ""}, {1, "digits", "take1", ""}, {2, "", "", ""},
                 {5, "digits", "take1", "work1"}, {6, "digits", "take1", "work1"}, {7, "digits", "", "work1"},
                 {8, "digits", "x", "work1"}, {10, "digits", "s1", "digits/work1"},
                 {12, "digits", "", "digits/work1"}};
    for (const auto& m : modes) {
        SCOPED_TRACE(m.mode);
        ASSERT_TRUE(p.SetMode(m.mode, m.v, m.l, m.wp).ok);
        w.ShowWavescope(0);
        for (int listening = 0; listening < 2; ++listening) {
            if (listening)
                p.cmdRepeat_Click();
            EXPECT_EQ(win->windowTitle().toStdString(), "Wavescope in mode: " + modeNameTable(m.mode));
            EXPECT_EQ(platform::findWindowByCaption(win->windowTitle().toStdString()) != 0, true);
            for (int b = 0; b < analyser::kButtonCount; ++b) {
                SCOPED_TRACE(names[b]);
                const QPushButton* button = win->findChild<QPushButton*>(names[b]);
                const analyser::ButtonState& s = p.buttons[std::size_t(b)];
                ASSERT_NE(button, nullptr);
                EXPECT_EQ(button->text().toStdString(), s.caption);
                EXPECT_EQ(button->isEnabled(), s.enabled);
                EXPECT_EQ(button->isVisible(), s.visible);
                EXPECT_EQ(button->x(), s.slot * button->width());
                EXPECT_LE(button->x() + button->width(), win->findChild<QWidget*>("paneArea")->width());
            }
            EXPECT_EQ(win->findChild<QLabel*>("lblSay")->text().toStdString(), p.lblSay.text);
            EXPECT_EQ(win->findChild<QLabel*>("lblWord")->text().toStdString(), p.lblWord.text);
            EXPECT_EQ(win->findChild<QLabel*>("lblWord")->isVisible(), p.lblWord.visible);
            EXPECT_EQ(win->findChild<QComboBox*>("cboWordName")->isVisible(), p.wordListVisible);
            EXPECT_EQ(win->findChild<QComboBox*>("cboWordName")->count(), int(p.wordList.size()));
        }
        p.StopListening();
    }
}

// ---------------------------------------------------------------------------
// With the engine library

std::string fixture(const char* name)
{
    return std::string(std::getenv("TALVOR_SOURCE_DIR")) + "/engine/tests/fixtures/" + name;
}

struct AudioFromFile {
    explicit AudioFromFile(const std::string& wav)
    {
        ::setenv("TALVOR_AUDIO_IN", wav.c_str(), 1);
        ::setenv("TALVOR_AUDIO_OUT", "null", 1);
        ::setenv("TALVOR_AUDIO_PACE", "fast", 1);
    }
    ~AudioFromFile() { ::setenv("TALVOR_AUDIO_IN", "null", 1); }
};

TEST(WithTheEngine, SpeechRecordingStoresTwoWordsFromTheirStartFrame)
{
    Folder f;
    platform::ScopedScriptedDialogs dialogs;
    writeFileWhole(f.tree.vocabularyFile("digits"), " 2 \r\n0  three\r\n1  seven\r\n");
    UscWavescope w;  // the engine library
    w.SetAppPath(f.dir.path());
    Profiler& p = w.profiler();
    ASSERT_TRUE(p.SetMode(0, "digits", "take1", "").ok);
    w.ShowWavescope(0);
    std::vector<std::vector<float>> tokenFrames;
    for (const char* wav : {"three_en-gb-f3.wav", "seven_en-us.wav"}) {
        SCOPED_TRACE(wav);
        AudioFromFile audio(fixture(wav));
        p.cmdNext_Click();
        ASSERT_TRUE(p.listening());
        ASSERT_TRUE(talvor::test::serveEventsUntil([&] { return !p.listening(); }, 15000, 5));
        ASSERT_EQ(p.status, 0);
        EXPECT_GE(p.wStart, 10);
        tokenFrames.emplace_back(p.featureBuf.begin() + p.wStart * 20, p.featureBuf.begin() + p.wStart * 20 + 20);
    }
    p.cmdSave_Click();
    ASSERT_TRUE(p.isSavedData);

    worddata::WordDataStore fresh;
    ASSERT_EQ(fresh.Open_Data(joinPath(f.tree.vocabularyFolder("digits"), "take1.lab"), "take1.lab"), 0);
    ASSERT_EQ(fresh.Rows(), 3);
    for (int k = 0; k < 2; ++k) {
        worddata::WordData word;
        word.i = k + 1;
        std::int32_t st = -9;
        fresh.GetWordData(word, st);
        ASSERT_EQ(st, 0);
        EXPECT_EQ(word.name, k == 0 ? "three" : "seven");
        EXPECT_EQ(std::vector<float>(word.v.begin() + 200, word.v.begin() + 220), tokenFrames[std::size_t(k)]);
    }
}

TEST(WithTheEngine, SpeakAndRecogniseWithTheFakeRecogniser)
{
    Folder f;
    platform::ScopedScriptedDialogs dialogs;
    const std::string program = f.tree.externalProgram(StatwalkKind::Recognition);
    fs::copy_file(FAKE_STATWALK2, program, fs::copy_options::overwrite_existing);
    StatwalkConfig c;
    c.kind = StatwalkKind::Recognition;
    c.mode = 7;
    c.vocabulary = "digits";
    c.workDirectory = "work1";
    c.features[0] = c.features[19] = true;
    c.featureCount = 2;
    c.files = {"x"};
    ASSERT_TRUE(writeStatwalkConfig(f.tree.statwalkConfigFile(StatwalkKind::Recognition), c));
    const std::string caption = "Statwalk in mode: Speak & Recognize (HMM)";
    const std::string logPath = joinPath(f.dir.path(), "statwalk2.log");

    UscWavescope w;  // the engine library
    w.SetAppPath(f.dir.path());
    Profiler& p = w.profiler();
    // The answer comes back as a posted key after the command, or as a key
    // sent while the recognise command is still being handled.
    const struct {
        const char* delivery;
        int answer;
        const char* word;
    } runs[] = {{"post", 2, "two"}, {"send", 3, "three"}};
    for (const auto& run : runs) {
        SCOPED_TRACE(run.delivery);
        ASSERT_TRUE(writeFileWhole(joinPath(f.dir.path(), "fakestatwalk.cfg"),
                                   "answer " + std::to_string(run.answer) + "\nanswer_by " + run.delivery + "\n"));
        fs::remove(logPath);
        std::string err;
        auto child = platform::ChildProcess::start(program, f.dir.path(), &err);
        ASSERT_TRUE(child) << err;
        ASSERT_NE(platform::waitForNewWindow(caption, 0, 10000), 0u);

        ASSERT_TRUE(p.SetMode(7, "digits", "", "work1").ok);
        w.ShowWavescope(0);
        {
            AudioFromFile audio(fixture("three_en-gb-f3.wav"));
            p.cmdRepeat_Click();
            ASSERT_TRUE(talvor::test::serveEventsUntil([&] { return !p.listening(); }, 15000, 5));
        }
        ASSERT_EQ(p.status, 0);
        ASSERT_TRUE(talvor::test::serveEventsUntil([&] { return !p.waitingResult; }, 10000, 5));
        EXPECT_EQ(p.lblWord.text, run.word);
        EXPECT_EQ(p.lblSay.text, "Recognized: ");
        // x.pr holds the token's frames in the models' layout: features 0 and 19.
        std::string pr;
        ASSERT_TRUE(readFileWhole(joinPath(f.tree.workFolder("digits", "work1"), "x.pr"), &pr));
        EXPECT_EQ(pr.size(), std::size_t(p.wStop - p.wStart) * 2 * 4 + 16);  // and the stamp's trailer
        const std::vector<float> values = parseFeatureFile(pr);
        ASSERT_GE(values.size(), 2u);
        EXPECT_EQ(values[0], p.featureBuf[std::size_t(p.wStart) * 20]);
        EXPECT_EQ(values[1], p.featureBuf[std::size_t(p.wStart) * 20 + 19]);

        dialogs.answers = {platform::DialogAnswer::Yes};
        EXPECT_TRUE(p.Exitus());
        EXPECT_TRUE(child->waitForExit(10000));
        std::string log;
        readFileWhole(logPath, &log);
        EXPECT_NE(log.find("received 26666 26687"), std::string::npos) << log;
        EXPECT_NE(log.find("received 26666 26672"), std::string::npos) << log;
    }

    // No recogniser: its message, and nothing waits.
    dialogs.shown.clear();
    {
        AudioFromFile audio(fixture("three_en-gb-f3.wav"));
        p.cmdRepeat_Click();
        ASSERT_TRUE(talvor::test::serveEventsUntil([&] { return !p.listening(); }, 15000, 5));
    }
    EXPECT_FALSE(p.waitingResult);
    ASSERT_FALSE(dialogs.shown.empty());
    EXPECT_EQ(dialogs.shown.back().text, "Cannot find window  Statwalk in mode: Speak & Recognize (HMM)");
}

// A recording of `quietMs` of a quiet room, a 500 Hz tone of `toneMs`, then
// the quiet room again (never 11 zero samples in a row, which the detector
// would take for samples not yet delivered).
std::string toneWav(const std::string& folder, const char* name, int quietMs, int toneMs)
{
    std::vector<std::int16_t> s;
    auto quiet = [&](int ms) {
        for (int n = 0; n < ms * 8; ++n)
            s.push_back(std::int16_t(n % 2 ? 3 : -3));
    };
    quiet(quietMs);
    for (int n = 0; n < toneMs * 8; ++n)
        s.push_back(std::int16_t(std::lround(8000.0 * std::sin(2 * 3.14159265358979 * 500.0 * n / 8000.0))));
    quiet(1500);
    const std::string path = joinPath(folder, name);
    std::string error;
    EXPECT_TRUE(platform::writeWav(path, s.data(), s.size(), &error)) << error;
    return path;
}

TEST(WithTheEngine, AFailedTokenSaysWhyInEveryListeningMode)
{
    Folder f;
    platform::ScopedScriptedDialogs dialogs;
    analyser::test::FakeChainview chainview;
    UscWavescope w;  // the engine library
    w.SetAppPath(f.dir.path());
    w.SetControls(nullptr, &chainview);
    Profiler& p = w.profiler();
    const struct {
        const char* what;
        int quietMs, toneMs;
        const char* reason;
        const char* reasonInSpeechRecording;  // its words may be 1.3 s long
    } cases[] = {
        {"a quiet room", 0, 0, "no speech found", "no speech found"},
        {"a click of 0.1 s", 800, 100, "too short", "too short"},
        {"a sound of 2.5 s", 800, 2500, "too long (over 2 s)", "too long (over 1.3 s)"},
        {"a sound of 1.6 s", 800, 1600, nullptr, "too long (over 1.3 s)"},
        {"a sound right after the start", 40, 600, "started too soon after Speak", "started too soon after Speak"},
    };
    for (const auto& c : cases) {
        const std::string wav = toneWav(f.dir.path(), "tone.wav", c.quietMs, c.toneMs);
        for (int mode : {0, 7, 12}) {
            SCOPED_TRACE(std::string(c.what) + ", mode " + std::to_string(mode));
            const char* reason = mode == 0 ? c.reasonInSpeechRecording : c.reason;
            switch (mode) {
            case 0: ASSERT_TRUE(p.SetMode(0, "digits", "take1", "").ok); break;
            case 7: ASSERT_TRUE(p.SetMode(7, "digits", "", "work1").ok); break;
            default: ASSERT_TRUE(p.SetMode(12, "digits", "", "digits/work1").ok); break;
            }
            w.ShowWavescope(0);
            AudioFromFile audio(wav);
            if (mode == 0)
                p.cmdNext_Click();
            else
                p.cmdRepeat_Click();
            ASSERT_TRUE(p.listening());
            ASSERT_TRUE(talvor::test::serveEventsUntil([&] { return !p.listening(); }, 15000, 5));
            if (!reason) {  // a word for modes 7 and 12
                EXPECT_EQ(p.status, 0);
                continue;
            }
            EXPECT_NE(p.status, 0);
            if (mode == 12) {
                EXPECT_EQ(p.lblWord.text, std::string("No word: ") + reason + ".  Press 'SPEAK' button");
                EXPECT_EQ(w.window()->findChild<QLabel*>("lblWord")->text().toStdString(), p.lblWord.text);
            } else {
                EXPECT_EQ(p.lblSay.text, "No word: ");
                EXPECT_EQ(p.lblWord.text, reason);
                EXPECT_EQ(w.window()->findChild<QLabel*>("lblSay")->text().toStdString(), "No word: ");
            }
        }
    }
}

TEST(ProfilerWindow, VocabularyOperationsEditsTheAnalysersOwnStore)
{
    Folder f;
    platform::ScopedScriptedDialogs dialogs;
    UscWavescope w(std::make_unique<QuietEngine>());
    w.SetAppPath(f.dir.path());
    Profiler& p = w.profiler();
    ASSERT_TRUE(p.SetMode(0, "digits", "take1", "").ok);
    w.ShowWavescope(0);
    ASSERT_EQ(p.wordList, (std::vector<std::string>{"zero", "one", "two", "three"}));

    QAction* entry = w.window()->findChild<QAction*>("miVocabulary");
    ASSERT_NE(entry, nullptr);
    EXPECT_EQ(entry->text().toStdString(), "Vocabulary operations");
    entry->trigger();
    QWidget* editor = nullptr;
    for (QWidget* top : QApplication::topLevelWidgets())
        if (top->windowTitle() == "Vocabulary operations" && top->isVisible())
            editor = top;
    ASSERT_NE(editor, nullptr);
    auto* grid = editor->findChild<QTableWidget*>();
    ASSERT_NE(grid, nullptr);
    EXPECT_EQ(grid->rowCount(), 4);
    EXPECT_EQ(grid->item(2, 4)->text().toStdString(), "two");

    // Insert before "two": the analyser's list follows, the new row selected.
    grid->setCurrentCell(2, 0);
    for (QAction* a : editor->findChildren<QAction*>())
        if (a->text() == "&Insert new word")
            a->trigger();
    EXPECT_EQ(p.wordList, (std::vector<std::string>{"zero", "one", "", "two", "three"}));
    EXPECT_EQ(p.listIndex, 2);
    EXPECT_EQ(p.wordData().Rows(), 6);
}

TEST(ProfilerWindow, VocabularyOperationsIsCentredAndKeepsInStepWithTheWordList)
{
    Folder f;
    platform::ScopedScriptedDialogs dialogs;
    // A stored recording, browsed in Signal Exploring.
    {
        worddata::WordDataStore store;
        store.SetNewVoc({"zero", "one", "two", "three"}, 4);
        const std::vector<std::string> names{"zero", "one", "two", "three"};
        for (int k = 0; k < 4; ++k) {
            const int frames = 30 + k;
            std::vector<float> v(std::size_t(frames) * 20, 0.5f);
            std::vector<std::int16_t> s(std::size_t(frames) * 80);
            for (std::size_t n = 0; n < s.size(); ++n)
                s[n] = std::int16_t((n * 37) % 2000 - 1000);
            ASSERT_EQ(store.PutWordData(k + 1, v, s, frames, names[std::size_t(k)]), 0);
        }
        ASSERT_EQ(store.SaveFiles(joinPath(f.tree.vocabularyFolder("digits"), "take1.lab"), "take1.lab"), 0);
    }
    UscWavescope w(std::make_unique<QuietEngine>());
    w.SetAppPath(f.dir.path());
    Profiler& p = w.profiler();
    ASSERT_TRUE(p.SetMode(1, "digits", "take1", "").ok);
    w.ShowWavescope(0);
    w.window()->move(300, 200);
    w.window()->findChild<QAction*>("miVocabulary")->trigger();
    QWidget* editor = nullptr;
    for (QWidget* top : QApplication::topLevelWidgets())
        if (top->windowTitle() == "Vocabulary operations" && top->isVisible())
            editor = top;
    ASSERT_NE(editor, nullptr);
    EXPECT_LE((editor->frameGeometry().center() - w.window()->frameGeometry().center()).manhattanLength(), 2);
    // No bare "Label1": the word data file it shows.
    QStringList texts;
    for (QLabel* l : editor->findChildren<QLabel*>())
        texts << l->text();
    EXPECT_FALSE(texts.contains("Label1"));
    EXPECT_TRUE(texts.contains(QString::fromStdString(joinPath(f.tree.vocabularyFolder("digits"), "take1.lab"))))
        << texts.join('|').toStdString();

    auto* grid = editor->findChild<QTableWidget*>();
    auto* currentWord = editor->findChild<QLineEdit*>();
    ASSERT_NE(grid, nullptr);
    ASSERT_NE(currentWord, nullptr);
    // The analyser's Next moves the editor's current word ...
    ASSERT_EQ(p.listIndex, 0);
    p.cmdNext_Click();
    p.cmdNext_Click();
    ASSERT_EQ(p.listIndex, 2);
    EXPECT_EQ(grid->currentRow(), 2);
    EXPECT_EQ(currentWord->text().toStdString(), "two");
    // ... and a row picked in the editor moves the analyser, which shows it.
    grid->setCurrentCell(1, 0);
    EXPECT_EQ(p.listIndex, 1);
    EXPECT_EQ(w.window()->findChild<QComboBox*>("cboWordName")->currentIndex(), 1);
    EXPECT_EQ(currentWord->text().toStdString(), "one");
}

}  // namespace
}  // namespace talvor
