#pragma once
// The signal analyser window's logic (frmProfile), without any widget.
//
// The Profiler holds the window's state (token bounds, status, mode, labels,
// buttons, word list), lays the window out per operating mode, runs the
// recording cycle through the engine, writes the token files x.lb/x.pr, talks
// to the external recogniser's window, stores and saves recorded words, and
// decides when the window is left.  It reaches the outside through three small
// interfaces, so tests drive it headless with fakes:
//   AnalyserEngine  the engine library's sound and token exports
//   ProfilerHost    message boxes, the colour dialog, other programs' windows,
//                   the play timer
//   ProfilerView    the window itself: it maps the state to widgets and draws
//                   the panes (Display, clearing, redrawing the wave)
// The DTW comparer and the HMM viewer are reached only through their control
// interfaces (uDTW, uChainview), which the host hands over.
//
// Status of a token (`status`): 0 word found, 1 detection still running when
// it was stopped, -1 recording buffer used up, -2 word starts too early,
// 10 no token (after start-up, after clearing, and while listening).  A Stop
// request during run-time listening is kept in `oldStatus` (8).
//
// Key codes that reach the window (Form_KeyDown), as WM_KEYDOWN messages of
// the platform layer only: 26664/26665 from the engine, the recogniser's
// answer (a word index), and the command keys 26670 (enable, raise, repaint),
// 26672 (exit), 26674 (hide), 26675 (enable).

#include "common/ControlInterfaces.h"
#include "common/ModuleState.h"
#include "common/StatwalkConfig.h"
#include "worddata/WordDataStore.h"

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace talvor::analyser {

class RunTimeOutputServices;  // analyser/RunTimeOutput.h

// ---------------------------------------------------------------------------
// Engine exports used by the analyser (engine/talvor2.h).
class AnalyserEngine {
public:
    virtual ~AnalyserEngine();
    virtual std::int32_t InitSoundCard() = 0;
    // Non-zero when the token process started.
    virtual std::intptr_t TokenProces(std::uint32_t window) = 0;
    virtual std::int32_t StopTokenProces() = 0;
    virtual std::int32_t GetTokenParam(float* features, std::int32_t* startFrame, std::int32_t* endFrame,
                                       std::int16_t* samples, std::int32_t* startSample,
                                       std::int32_t* endSample) = 0;
    virtual std::int32_t ChangeTokenMaxFrames(std::int32_t frames) = 0;
    virtual std::intptr_t OpenSoundCardOut(const std::int16_t* samples, std::int32_t count) = 0;
    virtual std::int32_t CloseSoundCardOut() = 0;
    virtual std::int32_t CloseSoundCardIn() = 0;
    // As TokenProces, the recording beginning right after the samples the
    // last token process took (the next word of run-time listening).
    virtual std::intptr_t ContinueTokenProces(std::uint32_t window) { return TokenProces(window); }
    // Listening is over for good: the input device stops capturing.
    virtual std::int32_t ReleaseSoundCardIn() { return CloseSoundCardIn(); }
    // Why the detector last gave up a word candidate in this recording:
    // 0 none, 1 too short, 2 too long (GetTokenDiscard).
    virtual std::int32_t GetTokenDiscard() { return 0; }
};

// The engine library libtalvor2.so (its C exports).
std::unique_ptr<AnalyserEngine> makeLibraryEngine();

// ---------------------------------------------------------------------------
enum class BoxIcon { None, Information, Warning, Critical, Question };
enum class BoxButtons { Ok, YesNo, YesNoCancel };
enum class BoxAnswer { Ok, Yes, No, Cancel };

class ProfilerHost {
public:
    virtual ~ProfilerHost();
    virtual BoxAnswer messageBox(const std::string& text, const std::string& caption, BoxIcon icon,
                                 BoxButtons buttons) = 0;
    // A colour 0x00BBGGRR, or nothing when cancelled.
    virtual std::optional<std::uint32_t> chooseColor(std::uint32_t initial) = 0;
    // Other programs' windows, found by exact caption (0 = none).
    virtual std::uint32_t findWindow(const std::string& caption) = 0;
    virtual std::int32_t sendMessage(std::uint32_t window, std::uint32_t msg, std::uint32_t wParam,
                                     std::int32_t lParam) = 0;
    virtual void hidePeerWindow(std::uint32_t window) = 0;
    // The analyser window's own handle, given to the engine's token process.
    virtual std::uint32_t ownWindow() = 0;
    // The play timer: one tick (Profiler::playTimerTick) after intervalMs.
    virtual void startPlayTimer(int intervalMs) = 0;
    virtual void stopPlayTimer() = 0;
};

class ProfilerView {
public:
    virtual ~ProfilerView();
    // Labels, buttons, menu, word list or caption changed.
    virtual void stateChanged() {}
    // Shown, hidden, enabled or disabled (Profiler::windowShown/windowEnabled).
    virtual void windowChanged() {}
    virtual void raiseAndRepaint() {}
    // The panes: show the word in featureBuf/sampleBuf (Display), clear all
    // of them, or redraw the wave pane alone after a failed token (the other
    // panes are cleared first).
    virtual void Display() {}
    // The word the panes show drawn again in the present colours (none: the
    // panes stay clear); the token being listened for does not touch them.
    virtual void redrawShown() { Display(); }
    virtual void clearPanes() {}
    virtual void redrawWave() {}
    // The choosers and helper windows go when the window is left.
    virtual void unloadHelpers() {}
};

// ---------------------------------------------------------------------------
// The message-box texts.
inline constexpr const char* kWavescopeTitle = "Wavescope";
inline constexpr const char* kTalvorTitle = "Talvor II";
inline constexpr const char* kReadyToRecord =
    "The Wavescope is ready to record\r\none   repetition  of  the  vocabulary.\r\n"
    "After  pressing  the  Next word button\r\nyou  wil  be  prompted  to say a word.";
inline constexpr const char* kAllRecorded =
    "All vocabulary items have been recorded.\r\nYou can press TALVOR to return back to Talvor.\r\n";
inline constexpr const char* kNotSavedQuestion = "Your data was not saved. Do you want to save it?";
inline constexpr const char* kExitQuestion = "Do you want to exit Wavescope ?";
inline constexpr const char* kCannotFindWindow = "Cannot find window  ";
inline constexpr const char* kCannotFind = "Cannot find: ";
// A token that brought no word: "No word: " and the reason, where the
// recognised word would stand.
inline constexpr const char* kNoWord = "No word: ";
inline constexpr const char* kNoSpeechFound = "no speech found";
inline constexpr const char* kTooShort = "too short";
inline constexpr const char* kStartedTooSoon = "started too soon after Speak";
inline constexpr const char* kStoppedBeforeTheEnd = "stopped before the word ended";
inline constexpr const char* kInputDidNotStart = "the sound input did not start";

// Key codes.
inline constexpr std::int32_t TokenKeyBufferFull = 26664;
inline constexpr std::int32_t TokenKeyDone = 26665;
inline constexpr std::int32_t KeyBringBack = 26670;
inline constexpr std::int32_t KeyExit = 26672;
inline constexpr std::int32_t KeyHide = 26674;
inline constexpr std::int32_t KeyEnable = 26675;
// Messages to the external recogniser's window.
inline constexpr std::uint32_t StatwalkCommand = 26666;
inline constexpr std::uint32_t StatwalkPick = 26686;
inline constexpr std::uint32_t CommandClose = 26672;
inline constexpr std::uint32_t CommandRecognise = 26687;
inline constexpr std::uint32_t CommandHmmButton = 26666;

// Colours 0x00BBGGRR.
inline constexpr std::uint32_t kRed = 0x0000FF;
inline constexpr std::uint32_t kDarkBlue = 0x800000;
inline constexpr std::uint32_t kBlack = 0x000000;

// Token status values beside the engine's 0, 1, -1, -2.
inline constexpr std::int32_t StatusStopped = 8;
inline constexpr std::int32_t StatusNoToken = 10;

inline constexpr std::size_t kSampleBufSize = 200001;
inline constexpr std::size_t kFeatureBufSize = 15001;
inline constexpr int kMarginFrames = 10;
inline constexpr int kSamplesPerFrame = 80;

// The nine command buttons, in the layout's order.
enum ButtonId : int { BtnNext, BtnStop, BtnRepeat, BtnPlay, BtnSave, BtnDtw, BtnHmm, BtnTalvor, BtnExit, kButtonCount };

struct ButtonState {
    std::string caption;
    bool enabled = false;
    bool visible = true;
    int slot = 0;  // position in button widths from the left edge
};

struct LabelState {
    std::string text;
    std::uint32_t color = kBlack;
    bool visible = true;
};

// One word as the analyser cuts it from a token for the word data: frames
// wStart - 10 .. wStop + 9 and the samples beside them.
struct TokenWord {
    std::vector<float> v;
    std::vector<std::int16_t> s;
    std::int32_t nFrames = 0;
};

class Profiler {
public:
    Profiler(AnalyserEngine& engine, ProfilerHost& host, ModuleState& module);
    ~Profiler();
    Profiler(const Profiler&) = delete;
    Profiler& operator=(const Profiler&) = delete;

    void setView(ProfilerView* view) { m_view = view; }  // not owned; null: none
    ModuleState& module() { return m_module; }
    worddata::WordDataStore& wordData() { return m_store; }

    // --- public window variables ---
    std::int32_t wStart = 0;
    std::int32_t wStop = 0;
    std::int32_t status = StatusNoToken;
    std::int32_t oldStatus = 0;
    std::int32_t profilerMode = 0;
    bool isSavedData = false;
    DtwControl* uDTW = nullptr;
    ChainviewControl* uChainview = nullptr;
    std::int32_t startSample = 0;
    std::int32_t endSample = 0;
    std::int32_t wIndex = 0;
    std::int32_t itemIndex = -1;
    bool waitingResult = false;
    FeatureSelection selFeat{};
    std::vector<std::int16_t> sampleBuf;
    std::vector<float> featureBuf;
    std::int32_t sampleCount = 0;
    bool userPicksWord = false;

    // Colours of the word displays (0x00BBGGRR).
    std::uint32_t colSpeech = 0x12203A;       // RGB(58,32,18)
    std::uint32_t colOutOfSpeech = 0xEAEFF9;  // RGB(249,239,234)
    std::uint32_t colParamOut = 0xEAEFF9;
    std::uint32_t colFrame = 0x3563B7;        // RGB(183,99,53)

    // Paths of the current mode.
    std::string pathVoc, nameVoc, nameLab, pathWork;
    std::int32_t lblWordFontSize = 14;

    // --- what the window shows ---
    std::string caption;
    LabelState lblSay, lblWord;
    std::array<ButtonState, kButtonCount> buttons;
    bool miTalvorEnabled = false;
    bool miExitEnabled = false;
    bool miReplayChecked = false;
    std::vector<std::string> wordList;   // cboWordName
    std::int32_t listIndex = -1;         // its selection, -1 none
    bool wordListVisible = false;
    bool lblWordOverFramePane = false;   // mode 12: lblWord takes the word list's place
    bool windowShown = false;
    bool windowEnabled = true;
    bool listening() const { return m_listening; }
    bool busy() const { return m_busy > 0; }

    // --- life cycle and set-up ---
    void Form_Load();  // once, when the window is first used
    // Configures the window for a mode; a refused argument shows a message
    // and fails with nothing changed.
    ControlResult SetMode(std::int32_t pMode, const std::string& vName, const std::string& lName,
                          const std::string& wParh);
    void SetProfilerMode(std::int32_t pm);
    void SetWordNames();
    // The word table was edited in the word data editor ("Vocabulary
    // operations"): the list shows the store's words again, with the editor's
    // current word selected, so the next stored token goes to that row.
    void wordTableChanged();
    // The user picked word `index` (0-based) in the word data editor: the
    // word list follows, as if it had been picked there.
    void wordPickedInEditor(std::int32_t index);
    void SetNewVoc(const std::vector<std::string>& words, std::int32_t nWords);
    void AllCls();
    void SetCmd(int a1, int a2, int a3, int a4, int a5, int a6, int a7, int a8);
    // A Stop request left from an earlier run is forgotten (LoadMode).
    void clearStopRequest();
    void setShown(bool shown);
    void setEnabled(bool enabled);

    // --- recording cycle ---
    // continuing: the next word of the same listening (run-time loop, full
    // buffer), which begins right after the samples the last one took; else
    // the recording begins now (a press of Speak).
    bool StartListening(bool continuing = false);
    // Listening is over for good: the microphone stops capturing.
    void StopCapture();
    void StopListening();
    void Recorded();
    void Form_KeyDown(std::int32_t keyCode);
    void PlayToken();
    void playTimerTick();

    // --- commands ---
    void cmdNext_Click();
    void cmdStop_Click() { if (!busy()) StopListening(); }
    void cmdRepeat_Click();
    void cmdPlay_Click() { if (!busy()) PlayToken(); }
    void cmdSave_Click();
    void cmdDtw_Click();
    void cmdHmm_Click();
    void cmdTalvor_Click() { miTalvor_Click(); }
    void cmdExit_Click();
    void miTalvor_Click();
    void miReplay_Click();
    void miSig_Click() { chooseColour(colSpeech); }
    void miFrame_Click() { chooseColour(colFrame); }
    void miOkraj_Click() { chooseColour(colOutOfSpeech); }
    void miOkrajParam_Click() { chooseColour(colParamOut); }
    // The user opened the word list or gave it the focus.
    void cboWordName_DropDown();
    // The user picked entry `index` (programmatic selections never come here).
    void cboWordName_Click(std::int32_t index);
    // The close box: false when the user chose to stay.
    bool Form_Unload();

    // Stores the current token under the selected entry; false when there
    // is nothing to store or the store refused it.
    bool miPutWord_Click();
    // Saves the word data; isSavedData only when the save worked.
    bool miSaveVoc_Click();
    // Leaves the window after the questions of the mode; false when the user
    // chose to stay.
    bool Exitus();

    // --- token files and helpers ---
    // Writes x.lb/x.pr into pathWork for a valid token; false with the reason
    // in *error when the files could not be written (or there is no token).
    bool Save_Lb_Pr(std::string* error = nullptr);
    // The token cut out for the word data; nothing when the token's bounds do
    // not lie inside what the engine delivered.
    std::optional<TokenWord> tokenWord() const;
    // Word browsing over the word data (modes 1, 5, 6, 10).
    void ShowStoredWord();
    void PreviousWord();
    void NextWord();
    // Why the last token brought no word (status not 0), after "No word: ":
    // "too long (over 2 s)", "too short", "no speech found", ...
    std::string noWordReason() const;
    // "Cannot find window  " + caption when there is no such window.
    std::uint32_t FindWindowByCaption(const std::string& captionText);
    std::string modeName() const { return m_module.ModeNames(profilerMode); }
    std::string statwalkCaption() const { return kStatwalkPrefix + modeName(); }
    // The recogniser's run-time output steps (analyser/src/RunTimeOutput.cpp).
    void runTimeOutputEndOfRecording();
    void runTimeOutputAnswerKey(std::int32_t k);
    // Where run-time results go (windows, messages, the message box); not
    // owned.  Without services nothing leaves the analyser.
    void setRunTimeOutputServices(RunTimeOutputServices* services) { m_runTimeOutputServices = services; }

    static constexpr const char* kStatwalkPrefix = "Statwalk in mode: ";

private:
    struct BusyScope {
        explicit BusyScope(Profiler& p) : m_p(p) { ++m_p.m_busy; }
        ~BusyScope() { --m_p.m_busy; }
        Profiler& m_p;
    };
    void changed();
    void fail(const std::string& text);
    void failedTokenButtons();
    void showNoWord(const std::string& reason);
    bool listIsSelectable() const { return listIndex >= 0 && listIndex < std::int32_t(wordList.size()); }
    void selectEntry(std::int32_t index);
    void chooseColour(std::uint32_t& colour);
    void hideStatwalk();
    void endRunTimeLoop();

    AnalyserEngine& m_engine;
    ProfilerHost& m_host;
    ModuleState& m_module;
    ProfilerView* m_view = nullptr;
    worddata::WordDataStore m_store;
    std::unique_ptr<worddata::MessageOutput> m_storeMessages;
    RunTimeOutputServices* m_runTimeOutputServices = nullptr;
    bool m_listening = false;
    bool m_loaded = false;
    int m_busy = 0;
    std::uint64_t m_exits = 0;  // counts Exitus, so a procedure sees that the window went during a send
    std::string m_wParh;        // the work directory argument of the last SetMode
    std::int32_t m_maxWordFrames = 200;  // the detector's maximum word length
    std::int32_t m_discarded = 0;        // GetTokenDiscard after the last token
};

// dst[dstStart + i] := src[srcStart + i] for i = 0 .. count - 1 in rising
// order (count > 0), or for i = |count| - 1 down to 0 (count < 0, for
// ranges of one array that overlap upward); count 0 copies nothing.  False,
// with nothing copied, when either range leaves its array.
bool CopyIntegerBlock(std::span<std::int16_t> dst, std::int64_t dstStart, std::int64_t count,
                      std::span<const std::int16_t> src, std::int64_t srcStart);

// The text of x.lb for a token of `frames` frames: " 1 \r\n 1  0  <frames>  0 \r\n".
std::string tokenLabelText(std::int32_t frames);

}  // namespace talvor::analyser
