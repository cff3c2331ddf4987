#pragma once
// The HMM viewer's window without its widgets: the models of one work folder,
// the word list, the model panes (which model each shows, its order and score
// labels and its trellis record), the match run by the three methods, the
// buttons' and menus' states, and the report.  The window maps this state to
// its controls and paints the panes' records; tests drive it directly.
//
// Re-entrancy: a match runs under a busy flag.  An animated match lets events
// run between its steps; meanwhile every command but STOP and Pause/Continue
// is refused (the window also disables them) and host calls fail.

#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "common/ControlInterfaces.h"
#include "common/ModuleState.h"
#include "common/StatwalkConfig.h"
#include "common/VocabularyFile.h"
#include "hmmview/Animation.h"
#include "hmmview/DisplaySettings.h"
#include "hmmview/HmmModel.h"
#include "hmmview/MatchResults.h"
#include "hmmview/RecogLog.h"
#include "hmmview/TrellisRecord.h"
#include "hmmview/WordPacking.h"
#include "worddata/WordDataStore.h"

namespace talvor::hmmview {

enum RecogMethod : std::int32_t { SequentialMethod = 0, ParallelMethod = 1, StringMethod = 2 };

// Texts of the window, word for word.
inline constexpr const char* kReportOpeningModels = "Opening Models:";
inline constexpr const char* kReportTestedFile = "Tested file: ";
inline constexpr const char* kReportSelectedWord = " Selected word: ";
inline constexpr const char* kReportRecognizedWord = "Recognized word: ";
inline constexpr const char* kReportRecognizedString = "Recognized string: ";
inline constexpr const char* kReportNoModels = "No models are loaded: there is nothing to match against.";
inline constexpr const char* kExitQuestion = "Do you want to exit Chainview ?";
inline constexpr const char* kModeStringsWord = "???";
inline constexpr const char* kAnimateCaption = "&Animate";
inline constexpr const char* kStopCaption = "&STOP";
inline constexpr const char* kPauseCaption = "&Pause";
inline constexpr const char* kContinueCaption = "&Continue";
inline constexpr const char* kReturnTalvorCaption = "&TALVOR";
inline constexpr const char* kReturnSignalCaption = "&Signal";
// The order label of every pane after an animation was stopped.
inline constexpr const char* kStoppedOrder = "stopped";

// At most this many models are loaded from a work folder (one pane each).
constexpr int kMaxModels = kMaxPanes;
// The report keeps this many of its newest lines.
constexpr std::size_t kReportLineLimit = 2000;
// The revision number the control reports.
constexpr std::int32_t kChainviewRevision = 1;

struct ChainviewPane {
    std::int32_t modelIndex = -1;  // the model the pane's combo shows; -1 none
    std::string order;             // lblOrder
    std::string score;             // lblScore
    std::int32_t heightRows = 0;   // rows the pane is laid out for (its height)
    PaneRecord record;
};

struct ChainviewButtons {
    bool match = true, words = true, next = true, animate = true, pause = false, back = true;
    bool operator==(const ChainviewButtons&) const = default;
};

// What the window is told.
class ChainviewListener {
public:
    virtual ~ChainviewListener();
    // Buttons, captions, list, labels, menus or the report changed.
    virtual void viewerChanged() {}
    // The pane's record or labels changed (painting only).
    virtual void paneChanged(int pane) { (void)pane; }
    // The set of panes, the models or their geometry changed.
    virtual void panesChanged() {}
};

class ChainviewModel {
public:
    // The clock and the pump pace animated matches (not owned).
    ChainviewModel(Clock& clock, MessagePump& pump);
    ~ChainviewModel();
    ChainviewModel(const ChainviewModel&) = delete;
    ChainviewModel& operator=(const ChainviewModel&) = delete;

    void setListener(ChainviewListener* listener) { m_listener = listener; }

    // --- what the hosts call (through the control) ---
    void SetAppPath(const std::string& path) { m_state.AppPath = path; }
    const std::string& appPath() const { return m_state.AppPath; }
    // Prune threshold: x when x > 0, else 1000.
    void SetPruneTreshold(std::int32_t x);
    float pruneTr() const { return m_pruneTr; }
    // Mode, word list, trainer configuration and the models of the work folder.
    ControlResult LoadMode(std::int32_t pMode, const std::string& vName, const std::string& vStringName,
                           const std::string& lName, const std::string& wParh);
    // Stores word i (1-based; in mode 12 the current entry), matches it, and
    // sets name to the list's current entry.  result -1 and name "" when the
    // store refuses the word or i is outside the list.
    ControlResult PutWordData(std::int32_t i, std::span<const float> v, std::span<const std::int16_t> s,
                              std::int32_t nFrames, std::string& name, std::int32_t& result);
    // The model index ranked at position `order` by the last match; -1 after
    // the last position, for a refused match, and for an order outside 0..200.
    std::int32_t GetResultByOrder(std::int32_t order) const;
    // The model ID of model modelIndex (load order); -1 when there is none.
    std::int32_t GetModelVocabularyIndex(std::int32_t modelIndex) const;
    // "Chainview in mode: " and the mode's name.
    std::string caption() const;
    // Refusal of a host call while a match runs (empty when none).
    std::string busyReason() const;

    // --- the match ---
    // animIt 0: plain; -1: animated (paced by the animation step).
    void MATCH(std::int32_t animIt);
    bool busy() const { return m_busy; }
    bool onAnimate() const { return m_onAnimate; }

    // --- window commands ---
    void cmdMatch_Click();
    void cmboWords_Click(int index);   // the user (or the program) picks an entry
    void cmdNextWord_Click();
    void cmdAnimate_Click();           // Animate, or STOP while animating
    void cmdPause_Click();
    // Ends an animated match at its next step (the window going away).
    void stopAnimation();
    void setRecogMethod(std::int32_t method);
    // The user picked model newIndex in pane `pane`: the first other pane that
    // shows it gets the pane's old model.
    void paneModelPicked(int pane, std::int32_t newIndex);
    // In mode 11 the return button asks kExitQuestion first.
    bool returnAsks() const { return m_mode == ModeHmmSequentialParallel; }

    // --- menus ---
    // "&Open LAB file": the word list from another label file.
    ControlResult openLabFile(const std::string& path);
    // "Save LAB file": the word data (with a word put by a host) to a label file.
    ControlResult saveLabFile(const std::string& path);
    // "Add file with &model ": one more model, in a pane of its own.
    ControlResult addModelFile(const std::string& path);
    // The panes in the order of the vocabulary's words (the vocabulary of the
    // last LoadMode); models whose word is not in it follow in load order.
    // Without a vocabulary, load order (the model files' order), and the
    // report says so.  Each pane keeps what it showed for its model.
    void sortModelsByVocabulary();
    // MATCH(0), then the panes in rank order, the unranked ones last (a
    // stable permutation: ties never put two models on one pane).  Each pane
    // keeps what it showed for its model (trellis, rank, score).
    void sortModelsByScore();
    // Scores every word of the list against every model, packed and decoded
    // the way MATCH does it, and writes recog.log into the program folder
    // (whole or not at all).  A word that cannot be matched scores -1e30.
    ControlResult TestAllToAll();
    // The log's blocks (what TestAllToAll writes).
    ControlResult testAllBlocks(std::vector<RecogLogBlock>& blocks);

    void Button_Enable(bool bMatch, bool cWords, bool bNext, bool bAnimate, bool bPause, bool bBack);
    // Adds a line on top of the report.
    void AddToReport(const std::string& text);

    // --- state ---
    std::int32_t chainviewmode() const { return m_mode; }
    std::int32_t recogMethod() const { return m_recogMethod; }
    bool stringMethodEnabled() const { return m_stringEnabled; }
    bool saveLabEnabled() const { return m_saveLabEnabled; }
    bool menusEnabled() const { return !m_busy; }
    const ChainviewButtons& buttons() const { return m_buttons; }
    const std::string& animateCaption() const { return m_animateCaption; }
    const std::string& pauseCaption() const { return m_pauseCaption; }
    const std::string& returnCaption() const { return m_returnCaption; }

    const std::vector<std::string>& words() const { return m_words; }
    int wordIndex() const { return m_wordIndex; }
    std::string currentWordText() const;

    const std::deque<std::string>& reportLines() const { return m_report; }  // newest first
    std::string reportText() const;  // lines joined by "\n", newest first

    int modelCount() const { return static_cast<int>(m_models.size()); }
    const HmmModel& model(int index) const { return *m_models[static_cast<std::size_t>(index)]; }
    // The model words in load order (each pane's combo).
    std::vector<std::string> modelWords() const;
    int paneCount() const { return static_cast<int>(m_panes.size()); }
    const ChainviewPane& pane(int index) const { return m_panes[static_cast<std::size_t>(index)]; }
    const MatchResults& results() const { return m_results; }
    const TrainerConfig& trainerConfig() const { return m_config; }

    DisplaySettings& settings() { return m_settings; }
    const DisplaySettings& settings() const { return m_settings; }
    AnimationPacer& pacer() { return m_pacer; }
    worddata::WordDataStore& store() { return m_store; }

private:
    class Recorder;
    friend class Recorder;
    // Sets the busy flag for its lifetime.
    struct BusyScope {
        explicit BusyScope(ChainviewModel& model)
            : m(model)
        {
            m.m_busy = true;
            m.changed();
        }
        ~BusyScope()
        {
            m.m_busy = false;
            m.changed();
        }
        ChainviewModel& m;
    };

    void clearPanes();
    // Pane k shows model modelsInOrder[k] (-1 none) with everything it showed
    // for that model before; a model no pane showed gets a cleared pane.
    void arrangePanes(const std::vector<std::int32_t>& modelsInOrder);
    // No ranks: column 2 empty, GetResultByOrder -1.
    void unrank();
    static std::string stoppedReport(int finished, int models);
    void setPaneModel(int pane, std::int32_t modelIndex);
    void resultsNothing();
    void loadModels(const std::string& folder);
    void matchSequential(const PackedFrames& packed, bool animate, const std::string& testedName);
    void matchParallel(const PackedFrames& packed, bool animate);
    void matchString(const PackedFrames& packed, bool animate);
    std::vector<const HmmModel*> paneModels() const;
    void resultsFollowPanes();
    void replaceCurrentEntry(const std::string& text);
    void changed();
    void paneChanged(int pane);
    void panesChanged();

    ModuleState m_state;
    AnimationPacer m_pacer;
    ChainviewListener* m_listener = nullptr;
    DisplaySettings m_settings;
    worddata::WordDataStore m_store;

    std::int32_t m_mode = 0;
    std::int32_t m_recogMethod = SequentialMethod;
    float m_pruneTr = 1000.0f;
    bool m_stringEnabled = false;
    bool m_saveLabEnabled = true;
    bool m_busy = false;
    bool m_onAnimate = false;
    ChainviewButtons m_buttons;
    std::string m_animateCaption = kAnimateCaption;
    std::string m_pauseCaption = kPauseCaption;
    std::string m_returnCaption = kReturnTalvorCaption;

    TrainerConfig m_config;
    std::string m_vocabularyName;
    Vocabulary m_vocabulary;  // of the last LoadMode; empty when it could not be read
    std::vector<std::unique_ptr<HmmModel>> m_models;  // stable addresses
    std::vector<ChainviewPane> m_panes;
    std::vector<std::string> m_words;
    int m_wordIndex = -1;
    MatchResults m_results;
    // The model each pane showed when column 2 was last written.
    std::vector<std::int32_t> m_resultModels;
    std::deque<std::string> m_report;
};

}  // namespace talvor::hmmview
