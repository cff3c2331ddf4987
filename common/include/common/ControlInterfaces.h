#pragma once
// The three hosted controls: the signal analyser (WavescopeControl), the DTW
// comparer (DtwControl) and the HMM viewer (ChainviewControl).
//
// The workbench owns one object of each and passes non-owning pointers around
// (the analyser gets the other two through SetControls).  Hosts hold the
// controls only through these classes: the analyser links neither the DTW nor
// the HMM library, and tests put fakes in their places.
//
// Conventions of every member:
//   - The result says whether the call worked.  Where a host's call would fail
//     (a mode out of range, a refused name, an error inside the control) the
//     result is { ok = false, error = the reason }; nothing is thrown.
//   - Out-parameters get a sentinel (-1, or "") when the call fails, never the
//     value of an earlier call.
//   - Strings are passed by const reference and stay owned by the caller;
//     arrays are spans whose sizes the control checks.
//   - A "modal" show runs a local event loop that ends when the window is
//     hidden; a window already shown is raised and the call returns at once.
//
// The dispatch identifiers and ProgIDs below are kept for reference only:
// members are plain virtual calls, there is no dispatch layer.

#include <cstdint>
#include <span>
#include <string>
#include <utility>
#include <vector>

namespace talvor {

struct ControlResult {
    bool ok = true;
    std::string error;  // empty when ok

    static ControlResult success() { return {}; }
    static ControlResult failure(std::string reason) { return {false, std::move(reason)}; }
    explicit operator bool() const { return ok; }
};

class DtwControl;
class ChainviewControl;

// ---------------------------------------------------------------------------
// The signal analyser's control.
class WavescopeControl {
public:
    static constexpr const char* kProgId = "Wavescope.uscWavescope";
    struct DispId {
        static constexpr std::uint32_t revision = 0x40030000;
        static constexpr std::uint32_t SetAppPath = 0x60030000;
        static constexpr std::uint32_t ShowWavescope = 0x60030001;
        static constexpr std::uint32_t LoadMode = 0x60030002;
        static constexpr std::uint32_t SetControls = 0x60030003;
        static constexpr std::uint32_t SetNewVoc = 0x60030005;
        static constexpr std::uint32_t SetRunTimeMode = 0x60030006;
    };

    virtual ~WavescopeControl() = default;

    // The library's revision number, set when the control is made.
    virtual std::int32_t revision() const = 0;
    virtual void setRevision(std::int32_t value) = 0;

    // AppPath := a_path (the program folder).
    virtual ControlResult SetAppPath(const std::string& a_path) = 0;
    // Caption "Wavescope in mode: " + the window's mode name, then shows the
    // window: modal 1 waits until it is hidden, 0 returns at once.
    virtual ControlResult ShowWavescope(std::int32_t modal = 0) = 0;
    // Configures the window for mode pMode (0..13) and shows it; returns when
    // the user has left the window, except in hidden run-time mode, where it
    // returns at once and the analyser listens without a window.
    virtual ControlResult LoadMode(std::int32_t pMode, const std::string& vName,
                                   const std::string& lName, const std::string& wParh) = 0;
    // The host's DTW comparer and HMM viewer; either may be null in modes
    // that do not use it.  Not owned.
    virtual ControlResult SetControls(DtwControl* uD, ChainviewControl* uH) = 0;
    // The words of a new vocabulary, nWords of them (nWords <= words.size()).
    virtual ControlResult SetNewVoc(std::span<const std::string> words, std::int32_t nWords) = 0;
    // Stores the nine run-time settings; the utterance counter RTcount := 0.
    virtual ControlResult SetRunTimeMode(std::int32_t RTmode, const std::string& RTfile,
                                         const std::string& RTwCapt, std::int32_t RTmsg,
                                         std::int32_t RTwPar, const std::string& RTip,
                                         std::int32_t RTport, std::int32_t RThide,
                                         std::int32_t RTResultList) = 0;
};

// ---------------------------------------------------------------------------
// The DTW comparer's control.
class DtwControl {
public:
    static constexpr const char* kProgId = "Warpscope.uscDTW";
    struct DispId {
        static constexpr std::uint32_t version = 0x40030000;
        static constexpr std::uint32_t revision = 0x40030001;
        static constexpr std::uint32_t SetAppPath = 0x60030000;
        static constexpr std::uint32_t ShowDTW = 0x60030001;
        static constexpr std::uint32_t LoadDTW = 0x60030002;
        static constexpr std::uint32_t LoadMode = 0x60030003;
        static constexpr std::uint32_t SetPMword = 0x60030004;
        static constexpr std::uint32_t GetRecogWord = 0x60030005;
        static constexpr std::uint32_t GetSelectedFeature = 0x60030006;
    };
    static constexpr int kFeatureCount = 20;
    static constexpr int kMaxReferenceFiles = 5;

    virtual ~DtwControl() = default;

    // "major.minor.revision", each in plain decimal, e.g. "1.0.5".
    virtual std::string version() const = 0;
    virtual void setVersion(const std::string& value) = 0;
    virtual std::int32_t revision() const = 0;
    virtual void setRevision(std::int32_t value) = 0;

    virtual ControlResult SetAppPath(const std::string& a_path) = 0;
    // Caption "Warpscope in mode: " + the mode name, then shows the window
    // (modal 1 waits until it is hidden).
    virtual ControlResult ShowDTW(std::int32_t modal = 0) = 0;
    // Loads the word sets of the work directory and prepares the window; in
    // modes below 6 shows it modally and returns when it is closed.
    virtual ControlResult LoadDTW() = 0;
    // Configures the comparer.  chkFeat holds the 20 feature flags (1 = the
    // feature is stored).  refFiles holds the reference word set names as a
    // plain list of 1..5 names: the original interface's unused element 0 is
    // not passed.  An empty sourceFile means "x" (the recorded token).
    virtual ControlResult LoadMode(std::int32_t pMode, const std::string& vName,
                                   const std::string& wParh, std::int32_t nFeat,
                                   std::span<const std::int16_t> chkFeat,
                                   const std::vector<std::string>& refFiles,
                                   const std::string& sourceFile) = 0;
    // Pick and match: makes test word i (0-based) current and matches it.
    virtual ControlResult SetPMword(std::int32_t i) = 0;
    // Speak and recognise: loads the token x.lb/x.pr, matches it against every
    // reference and sets i to the best reference's label (vocabulary index);
    // i = -1 when nothing was recognised or the call failed.
    virtual ControlResult GetRecogWord(std::int32_t& i) = 0;
    // sF[k - 1] = true when feature k (1..20) is stored; sF needs 20 elements.
    virtual ControlResult GetSelectedFeature(std::span<bool> sF) = 0;
};

// ---------------------------------------------------------------------------
// The HMM viewer's control.
class ChainviewControl {
public:
    static constexpr const char* kProgId = "Chainview.uscChainview";
    struct DispId {
        static constexpr std::uint32_t revision = 0x40030000;
        static constexpr std::uint32_t SetAppPath = 0x60030000;
        static constexpr std::uint32_t ShowChainview = 0x60030001;
        static constexpr std::uint32_t LoadMode = 0x60030002;
        static constexpr std::uint32_t PutWordData = 0x60030003;
        static constexpr std::uint32_t SetPruneTreshold = 0x60030005;
        static constexpr std::uint32_t GetResultByOrder = 0x60030006;
    };
    static constexpr int kMaxOrder = 200;  // result positions 0..200

    virtual ~ChainviewControl() = default;

    virtual std::int32_t revision() const = 0;
    virtual void setRevision(std::int32_t value) = 0;

    // AppPath := a_path (no separator appended).
    virtual ControlResult SetAppPath(const std::string& a_path) = 0;
    // Caption "Chainview in mode: " + the mode name, then shows the viewer
    // (modal 1 waits until it is hidden).
    virtual ControlResult ShowChainview(std::int32_t modal = 0) = 0;
    // Mode, label file, trainer configuration and every model of the work
    // directory, one pane each.  vStringName is accepted and not used.
    virtual ControlResult LoadMode(std::int32_t pMode, const std::string& vName,
                                   const std::string& vStringName, const std::string& lName,
                                   const std::string& wParh) = 0;
    // Stores word row i (1-based) with its frames v (20 floats a frame) and
    // samples s (80 a frame), nFrames frames including both 10-frame margins,
    // matches it against the loaded models and sets name to the word list's
    // current entry (the recognised string in mode 12, the word's own name
    // otherwise).  result = 0 when the word was stored and matched, -1 when
    // the store refused it or i is outside the list; name is then "".
    virtual ControlResult PutWordData(std::int32_t i, std::span<const float> v,
                                      std::span<const std::int16_t> s, std::int32_t nFrames,
                                      std::string& name, std::int32_t& result) = 0;
    // Prune threshold of parallel decoding: x when x > 0, else 1000.
    virtual ControlResult SetPruneTreshold(std::int32_t x) = 0;
    // The model index (load order) ranked at position order (0..200) by the
    // last match; -1 after the last ranked position.  A model index, not a
    // pane index, so that swapping or sorting panes cannot change what a
    // receiver is told.  result = -1 when order is out of range.
    virtual ControlResult GetResultByOrder(std::int32_t order, std::int32_t& result) = 0;
    // The vocabulary index (the model file's model ID) of model modelIndex
    // (load order); -1 when there is no such model.  Run-time output uses it
    // so that a number means the same word in every mode.
    virtual ControlResult GetModelVocabularyIndex(std::int32_t modelIndex, std::int32_t& vocabularyIndex) = 0;
};

}  // namespace talvor
