#pragma once
// The workbench's wizard (the window frmTalvor without its widgets): the state
// of the ten pages, the page sequence of the Next button for each operating
// mode, the report pane, Begin again, the experiment-file buttons, and the
// services the main window offers the external HMM programs (starting them,
// watching their window, obeying their command keys).
//
// The model holds the values of the page controls (WizardControls); a window
// shows them and writes the user's input back before each event.  Everything
// that touches the screen, dialogs, timers or other processes goes through
// WizardHost and ExternalPrograms, so the whole wizard runs in tests without a
// window.

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "common/ControlInterfaces.h"
#include "common/StatwalkConfig.h"
#include "common/ModuleState.h"
#include "workbench/HelpCaptions.h"
#include "workbench/ReportPane.h"

namespace talvor::workbench {

// Wizard pages (indices of the tab control).
enum WizardPage : int {
    PageBegin = 0,
    PageVocabulary = 1,
    PageNewVocabulary = 2,
    PageFile = 3,
    PageReferences = 4,
    PageWorkDir = 5,
    PageFeatures = 6,
    PageData = 7,
    PageOther = 8,
    PageEnd = 9,
};
constexpr int kPageCount = 10;
constexpr int kFeatureCount = 20;
constexpr int kMaxReferencesDtw = 5;  // DTW takes at most five reference files
constexpr int kMaxReferenceWordsDtw = 500;  // and at most 500 reference words in all

// Tab captions as shown ("Begin ", "Vocabulary ", ...); page 2's caption is
// changed by the words / word strings choice and is held in WizardControls.
const char* pageCaption(int page);
// Captions of the 14 mode option buttons, "&&" already shown as "&".
const char* modeOptionCaption(int mode);
// Group labels of the mode page and the modes under each, in page order.
struct ModeGroup {
    const char* label;
    std::vector<int> modes;
};
const std::vector<ModeGroup>& modeGroups();
// Captions of the 20 feature boxes ("cep1" .. "ene").
const char* featureBoxCaption(int index);
// Captions of the run-time output options 0..4.
const char* runTimeOptionCaption(int index);
// Built-in prompt texts 0..16 (prompt 0 has none of its own).
const std::string& promptText(int index);
constexpr int kPromptCount = 17;

// Command keys the external HMM programs may send to the main window.
enum MainWindowCommandKeys : std::uint32_t {
    KeyShowAndStopWatch = 26666,
    KeyEndProgram = 26673,
    KeyHideWindow = 26674,
    KeyShowAndRestoreCaption = 26675,
};

constexpr const char* kDesignCaption = "TALVOR II Setup";
constexpr int kWatchIntervalMs = 2000;       // tmpMarkov
constexpr int kExternalWindowWaitMs = 5000;  // how long a started program has to open its window
constexpr const char* kTrainerProgram = "statwalk1";
constexpr const char* kRecogniserProgram = "statwalk2";
constexpr const char* kExperimentFileName = "TALVOR-II.CFV";
constexpr const char* kExperimentFilter = "Talvor configuration file (*.cfv *.CFV)";

using WindowHandle = std::uint32_t;  // 0 = no window

enum class MessageIcon { None, Information, Exclamation, Critical };

// What the wizard asks of its window and of the program around it.
class WizardHost {
public:
    virtual ~WizardHost();
    // A message box with an OK button.
    virtual void messageBox(const std::string& text, MessageIcon icon) = 0;
    // A question with OK and Cancel, Cancel the default; true for OK.  A host
    // that cannot ask answers Cancel.
    virtual bool askOkCancel(const std::string& /*text*/, MessageIcon /*icon*/) { return false; }
    // File dialogs: the chosen path, or nothing when cancelled.
    virtual std::optional<std::string> openFile(const std::string& title, const std::string& presetName) = 0;
    virtual std::optional<std::string> saveFile(const std::string& title, const std::string& presetName) = 0;

    virtual void showWindow() = 0;
    virtual void hideWindow() = 0;
    virtual std::string caption() const = 0;
    virtual void setCaption(const std::string& caption) = 0;
    // Ends the program in order: windows closed, sound released, event loop left.
    virtual void endProgram() = 0;

    // The watch timer tmpMarkov; its ticks call Wizard::tmpMarkov_Timer.
    virtual void startWatchTimer(int intervalMs) = 0;
    virtual void stopWatchTimer() = 0;
    virtual bool watchTimerActive() const = 0;

    // Lets pending window events run (the report pane repaints); user input
    // waits until the wizard is idle again.
    virtual void processEvents() {}
    // The model changed; the window shows it again.
    virtual void modelChanged() {}

    // The model-parameters dialog "Model Parameters" (frmModels), shown
    // modally with the wizard's ModelParameters.
    virtual void showModelParameters() {}
    // The small restore window "TalvorII" (frmV) at the top right of the
    // screen, which stands in for the hidden wizard in run-time mode.
    virtual void showRestoreWindow() {}
    virtual void hideRestoreWindow() {}
};

// What the model-parameters dialog shows of a work directory's models.
struct ModelParameters {
    std::string lblNumFiles;  // "Number of training files:  3"
    std::string lblFiles;     // the training files, each followed by two blanks
    std::string lblStates;    // "Number of states:  8"
    std::string lblMixtures;  // "Number of mixtures:  1"
    std::string lblFeatures;  // "Number of features:  2"
    std::array<bool, 20> chkFeature{};
};

// A program started by ExternalPrograms.
class StartedProgram {
public:
    virtual ~StartedProgram();
    virtual bool isRunning() = 0;
    virtual void terminate() = 0;
};

// Starting programs and finding top-level windows by caption.
class ExternalPrograms {
public:
    virtual ~ExternalPrograms();
    // Starts `program` with no shell and no arguments in `workingDir`; null
    // with the system's description of the error in *error when it cannot.
    virtual std::unique_ptr<StartedProgram> start(const std::string& program, const std::string& workingDir,
                                                  std::string* error) = 0;
    virtual WindowHandle findWindow(const std::string& caption) = 0;
    // Waits up to timeoutMs (letting events run) for a window with the caption
    // that is not `existingBefore`; 0 when none appears.
    virtual WindowHandle waitForNewWindow(const std::string& caption, WindowHandle existingBefore,
                                          int timeoutMs) = 0;
};

// The values of the page controls that the wizard reads and sets.  Indices of
// list selections are -1 when nothing is selected.
struct WizardControls {
    // Page 0
    int optMode = 0;  // the mode option that is on
    // Page 1
    std::vector<std::string> lstVoc;
    int lstVocIndex = -1;
    std::vector<std::string> lstVocPrev;      // preview of the chosen vocabulary's words
    std::vector<std::string> lstVocFilePrev;  // preview of its recordings
    int lstVocFilePrevIndex = -1;
    int optVocab = 1;  // 0 Existing, 1 New
    bool optVocabExistingEnabled = false;
    bool optVocabNewEnabled = true;
    int optVocStr = 0;  // 0 words, 1 word strings
    bool optVocStrStringsEnabled = false;
    // Page 2
    std::string page2Caption = "New Vocabulary ";
    std::string txtVocName;
    std::string txtWord;
    std::vector<std::string> lstVocItems;
    int lstVocItemsIndex = -1;
    std::string txtSize = "0";
    std::vector<std::string> lstStrText;
    int lstStrTextIndex = -1;
    std::vector<std::string> lstString;
    int lstStringIndex = -1;
    // Page 3
    int fileNamePrompt = 3;  // which of the prompts 3, 10, 11, 12 shows
    std::string txtFileName;
    bool txtFileNameEnabled = false;
    std::vector<std::string> lstFiles;
    int lstFilesIndex = -1;
    // Page 4
    std::vector<std::string> lstRefAvailable;
    int lstRefAvailableIndex = -1;
    std::vector<std::string> lstRefSelected;
    int lstRefSelectedIndex = -1;
    bool cmdAddEnabled = true;
    bool cmdRemoveEnabled = false;
    // Page 5
    int workDirPrompt = 5;  // 5, 13 or 14
    int optDirectory = 1;   // 0 New Directory, 1 Existing Directories
    bool optDirectoryNewEnabled = true;
    bool optDirectoryExistingEnabled = true;
    std::string txtWorkDir;
    std::vector<std::string> lstWorkDir;
    int lstWorkDirIndex = -1;
    bool cmdModelsVisible = false;
    // Page 6
    int featuresPrompt = 15;  // 6 or 15
    std::array<bool, kFeatureCount> chkFeature{};
    bool chkFeatureEnabled = true;
    // Page 7 (database maintenance lists)
    std::vector<std::string> lstDataVoc;
    int lstDataVocIndex = -1;
    std::vector<std::string> lstDataFile;
    std::vector<std::string> lstDataDir;
    std::vector<std::string> lstDataFileString;
    int optData = 0;  // 0 "Vocabulary:", 1 "Data Files:", 2 "Work Directories:", 3 "String data:"
    int lstDataFileIndex = -1;
    int lstDataDirIndex = -1;
    int lstDataFileStringIndex = -1;
    // Page 8
    std::string txtConf = "500";
    bool recogniserOptionsEnabled = true;
    bool resultPassingEnabled = false;
    int optRunTime = 0;
    std::array<bool, 5> optRunTimeEnabled{true, false, false, false, false};
    std::string txtRunTimeFile = kDefaultRTfile;
    std::string txtRunTimeWind = kDefaultRTwCapt;
    std::array<std::string, 3> txtRunTimeMsg{"1025", "0", "11111"};
    std::string txtRunTimeServerIP = kDefaultRTip;
    bool chcRThide = false;
    bool chcRThideEnabled = false;
    bool chcRTlist = false;
    // Page 9
    std::string txtDescription = "Experimet description:\r\n";
    // Buttons below the pages
    bool cmdNextEnabled = true;
    bool cmdSaveEnabled = false;
    bool cmdLoadEnabled = true;
};

class Wizard {
public:
    Wizard(WizardHost& host, ExternalPrograms& programs, ModuleState& state);

    // --- state (fields of frmTalvor) ---
    std::int32_t mode = 0;
    std::int32_t runTimeMode = 0;
    std::string vocName;
    std::string labStringName;
    std::string sourceFile;
    std::string workDir;
    std::int32_t nextTab = 0;
    std::int32_t curTab = 0;
    std::int32_t numFeat = 0;
    std::int32_t nStates = 0;
    std::int32_t nMixtures = 0;
    std::int32_t wordStringLimit = 0;
    std::string savedCaption;
    std::string dataPath;
    std::array<std::string, kFeatureCount> FeatureNames;
    bool editingWord = false;
    WindowHandle trainerWindow = 0;
    WindowHandle recogniserWindow = 0;

    WizardControls controls;
    ReportPane report;
    ModelParameters modelParameters;  // frmModels

    // --- hosted controls (owned by the program; any may be null) ---
    void setControls(WavescopeControl* wavescope, DtwControl* dtw, ChainviewControl* chainview);
    WavescopeControl* wavescope() const { return m_wavescope; }
    DtwControl* dtw() const { return m_dtw; }
    ChainviewControl* chainview() const { return m_chainview; }
    // Start-up: SetAppPath with the program folder on the DTW comparer, the
    // HMM viewer and the analyser, in this order.  A control that refuses is
    // reported in a message box.
    void SetAppPathOnControls();

    // While RunMode (or a modal control it called) runs, the wizard is busy:
    // its buttons are off and an end request waits until RunMode returns.
    bool busy() const { return m_busy; }
    // The per-pass choices that RunMode acts on: set by Next on the
    // new-vocabulary page and on the work-directory page with the names fixed
    // there, cleared by Begin again and Load.
    bool newVocabularyThisPass() const { return m_newVocabulary.has_value(); }
    bool newDirectoryThisPass() const { return m_newDirectory.has_value(); }

    // --- pages ---
    int currentPage() const { return m_currentPage; }
    bool pageEnabled(int page) const;
    // The page switch of Next, Begin again and Load: the old page goes off,
    // page p becomes current and on, curTab := p.  A page that becomes
    // current runs its set-up (SSTab1_Click).
    void switchToPage(int page);

    // --- events ---
    void Form_Load();
    void cmdNext_Click();
    void cmdPrevious_Click();  // "Begin again"
    void cmdLoad_Click();
    void cmdSave_Click();
    void cmdExit_Click();
    void Form_KeyDown(std::uint32_t keyCode);  // MainWindowCommandKeys
    void tmpMarkov_Timer();
    // Page set-up when a page becomes current.
    void SSTab1_Click(int page);

    // --- control events the page sequence relies on ---
    void lstVoc_Click();
    // Word strings: shows the strings of the chosen word-string recording.
    void lstVocFilePrev_Click();
    void optVocab_Click(int index);
    void optVocStr_Click(int index);
    void txtVocName_Change();
    void txtWord_Enter();
    void lstStrText_DblClick();
    void cmdStr_Click(int index);
    void txtFileName_Change();
    // Add and "Select all" refuse, with a message that says how many there
    // would be, a DTW choice of more than 500 reference words.
    void cmdAdd_Click();
    void cmdRemove_Click();
    void cmdRefData_Click(int index);
    // The words of these recordings of the vocabulary, as their .lab files
    // list them (a file that cannot be read counts none: the mode's start
    // says why).
    std::int64_t referenceWordCount(const std::vector<std::string>& files) const;
    void optDirectory_Click(int index);
    void chkFeature_Click();
    void optRunTime_Click(int index);
    void lstDataVoc_Click();
    // The Data page: "Refresh" (also when the page is entered), the four
    // options and "Delete".
    void cmdDataRefresh_Click();
    void optData_Click(int index);
    void cmdDelete_Click();
    // The new-vocabulary editor: Enter in the name box (false when the name is
    // taken or refused: the focus stays), a click and a double-click on the list.
    bool txtVocName_Enter();
    void lstVocItems_Click();
    void lstVocItems_DblClick();
    // The help prompts' texts: the built-in ones, replaced from the help-caption
    // file of the program folder (written from them when missing).
    PromptTexts prompts;
    void LoadTalvorHelpFile();
    // The Models button of the Work Dir page.
    void cmdModels_Click();
    // The restore window: a double click, or closing it, hides it and shows
    // the wizard and the analyser's window again.
    void frmV_DblClick();

    // --- external programs ---
    // "Statwalk in mode: " and the current mode's name.
    std::string StatwalkWindowTitle() const;
    // Starts cmd (a program path, no arguments) from the program folder and
    // returns the window it opens with `title` in hwnd (0 when there is none).
    // A failed start shows "Cannot start " + cmd + CR LF + the error.
    void StartAndFindWindow(WindowHandle& hwnd, const std::string& cmd, const std::string& title);
    // Starts statwalk1 or statwalk2 of the program folder as training and HMM
    // matching do: saves the caption, sets "Talvor Setup", starts the program
    // and, when its window was found, hides the wizard and starts the watch.
    void StartWatchedProgram(const std::string& programName, WindowHandle& hwnd);

    // --- starting a mode ---
    // Reads the work directory's copy of STATWALK1.EDF: on success the
    // features, feature count, states and mixtures of the wizard and the
    // model-parameters dialog become those of the models and the result is
    // true.  False, with nothing changed, when there is no copy or it cannot
    // be read whole (the reason in *why when given; empty when no copy).
    bool ReadModelEdf(std::string* why = nullptr);
    // Starts the chosen mode from the End page.
    void RunMode();
    // Makes the word set <fileName>.LB/.PR in the work directory from the
    // vocabulary's <fileName>.LAB/.PAR with the ticked features.  False with
    // the reason in *error, nothing written, when the .LAB or .PAR cannot be
    // read, a cell is not a number, a length is below 1, a word's frames lie
    // outside the .PAR, or a file cannot be written.
    bool MakeLbPrFiles(const std::string& fileName, std::string* error);
    // STATWALK1.EDF (training) in the program folder and its copy in the work
    // directory; STATWALK2.EDF (recognition).  False with the reason when a
    // write or the copy fails; the report line only on success.
    bool MakeMarkovTrainEdf(std::string* error);
    bool MakeMarkovTestEdf(std::string* error);
    // The DTW comparer's whole configuration (LoadMode with the seven values,
    // the test word set named `testFile`).
    ControlResult ConfigDTW(const std::string& testFile);
    // Checks of the run-time page: number boxes of at most 9 digits, a window
    // message with a caption and a number of 1024 or more that is none of the
    // workbench's own, a result file name that can be a file.  Empty when
    // fine, else why not.
    std::string runTimePageProblem() const;
    bool Load_CFV(const std::string& fileName);
    bool Save_CFV(const std::string& fileName);

    ModuleState& state() { return m_state; }
    const ModuleState& state() const { return m_state; }
    // The vocabulary folder: AppPath/DATA/vocName.
    std::string vocabularyPath() const;

private:
    void nextFromVocabulary();
    void nextFromNewVocabulary();
    void nextFromFile();
    void nextFromReferences();
    void nextFromWorkDir();
    void nextFromFeatures();
    void showNoModels(const std::string& why = {});
    void fillVocabularyPreview();
    // RunMode's parts.
    std::string preflightProblem();
    bool runModeSteps();
    bool stopMode(const std::string& reason);
    bool controlStep(const ControlResult& r);
    bool workingCopies(const std::vector<std::string>& files, bool reportLine);
    void startProgram(StatwalkKind kind, WindowHandle& hwnd, bool watched);
    void clearPassChoices();

    WizardHost& m_host;
    ExternalPrograms& m_programs;
    ModuleState& m_state;
    int m_currentPage = 0;
    std::array<bool, kPageCount> m_pageEnabled{};
    std::vector<std::unique_ptr<StartedProgram>> m_started;
    WavescopeControl* m_wavescope = nullptr;
    DtwControl* m_dtw = nullptr;
    ChainviewControl* m_chainview = nullptr;
    bool m_busy = false;
    bool m_endRequested = false;
    bool m_hiddenForRunTime = false;  // RunMode's step 1 hid the wizard
    std::optional<std::string> m_newVocabulary;  // the name fixed at Next on page 2
    std::optional<std::string> m_newDirectory;   // the name fixed at Next on page 5
};

// The program's version and the about box's version line,
// "Version: " + major + "." + minor + ".0." + revision.
constexpr int kVersionMajor = 2, kVersionMinor = 0, kVersionRevision = 1;
std::string aboutVersionLine();

// True when a file name chosen for an experiment file ends in ".cfv" in any
// letter case.
bool hasExperimentSuffix(const std::string& fileName);

}  // namespace talvor::workbench
