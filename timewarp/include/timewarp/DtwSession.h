#pragma once
// The DTW comparer without Qt: what its control does for the host
// (LoadMode, LoadDTW, SetPMword, GetRecogWord, GetSelectedFeature) and what
// its window frmDTW shows and does (the labels, the enabled buttons and
// menus, the seven pictures, Match and the path animation, Next Word,
// Reference).  The Qt window maps this state onto its widgets and calls the
// command procedures; tests drive it directly.
//
// A session works on a DtwComparerState and a ModuleState that its owner
// keeps (the control owns one of each), never on a process-wide copy.

#include <array>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "common/ControlInterfaces.h"
#include "common/ModuleState.h"
#include "timewarp/DtwCanvas.h"
#include "timewarp/DtwLoading.h"
#include "timewarp/DtwPlot.h"
#include "timewarp/DtwReplay.h"

namespace talvor::timewarp {

// The component's version: version() reads "1.0.5".
inline constexpr int kVersionMajor = 1;
inline constexpr int kVersionMinor = 0;
inline constexpr int kRevision = 5;
std::string versionText(int major, int minor, int revision);

// The window's fixed texts.
inline constexpr const char* kWindowCaptionDesign = "Warpscope for Speech Recognition";
inline constexpr const char* kMessageCaption = "Warpscope";
inline constexpr const char* kStatusDesign = " Press Match to perform DTW match";
inline constexpr const char* kItakuraRefused = "      Itakura constraints do not allow a DTW Match!      ";
inline constexpr const char* kBandRefused = "      The band range does not reach the end of both words!      ";
inline constexpr const char* kAskExitDtw = "Do you want to exit DTW ?";
inline constexpr const char* kAskExit = "Are you sure you want to exit ?";
inline constexpr const char* kCannotSave = "The file cannot be saved!";
inline constexpr const char* kSaveFilter = "Bitmaps (*.bmp)|*.bmp";

// "Dynamic Time Warping - Itakura", "... - General", "Linear Time Warping"
// ("" for an unknown code).
const char* methodTitle(char method);

// Sizes of the pictures in pixels.
inline constexpr int kTrackWidth = 320, kTrackHeight = 84;
inline constexpr int kDistWidth = 320, kDistHeight = 110;
inline constexpr int kBarWidth = 320, kBarHeight = 18;
inline constexpr int kPlotSize = 440;

// The texts of the window's labels.
struct DtwLabels {
    std::array<std::string, 2> featName;  // lblFeatName: 0 test, 1 reference
    std::string testName, refName;        // lblTestName, lblRefName
    std::string testFrames, refFrames;    // lblTestFrames, lblRefFrames
    std::string dtwCaption;               // lblDtwCaption
    std::string distance;                 // lblDistance
    std::string warpTestFrames, warpRefFrames;
    std::string statusLine;               // lblStatusLine
    std::string speakCaption;             // cmdSpeak: "&TALVOR", "&Signal" in modes 6 and 8
};

// The seven pictures.
struct DtwPictures {
    Canvas test{kTrackWidth, kTrackHeight};      // picTest
    Canvas ref{kTrackWidth, kTrackHeight};       // picRef
    Canvas dtw{kPlotSize, kPlotSize};            // picDtw
    Canvas testWarp{kTrackWidth, kTrackHeight};  // picTestWarp
    Canvas refWarp{kTrackWidth, kTrackHeight};   // picRefWarp
    Canvas dist{kDistWidth, kDistHeight};        // picDist
    Canvas bar{kBarWidth, kBarHeight};           // picCurBar
};

// Colours of the tracks and the bar (the window's foreground colours).
inline constexpr std::uint32_t kTestTrackColor = 0xC0E0FF;
inline constexpr std::uint32_t kRefTrackColor = 0xFFC0C0;
inline constexpr std::uint32_t kDifferenceColor = 0x0000FF;
inline constexpr std::uint32_t kBarColor = 0x40C0FF;

// "####0.0#": at least one digit before the point, one or two after it.
std::string distanceText(double value);

class DtwSession {
public:
    DtwSession(DtwComparerState& state, ModuleState& module);

    DtwComparerState& state() { return m_state; }
    const DtwComparerState& state() const { return m_state; }
    ModuleState& module() { return m_module; }

    // --- the control's procedures ------------------------------------------------
    // Configures the comparer; refuses (changing nothing) a mode outside
    // 0..13, fewer than 20 flags, nFeat outside 0..20 or unlike the number
    // of flags set to 1, more than 5 reference sets, and a vocabulary that
    // cannot be read.
    ControlResult LoadMode(std::int32_t pMode, const std::string& vName, const std::string& wParh, std::int32_t nFeat,
                           std::span<const std::int16_t> chkFeat, const std::vector<std::string>& refFiles,
                           const std::string& sourceFile);
    // Loads the word sets and prepares the window (everything but showing
    // it).  A load failure is absorbed (the result stays ok) and its reason
    // shows in the status line.  True in *showModal when the host's call
    // should now show the window modally (modes below 6).
    ControlResult LoadDTW(bool* showModal);
    ControlResult SetPMword(std::int32_t i);
    ControlResult GetRecogWord(std::int32_t& i);
    ControlResult GetSelectedFeature(std::span<bool> sF) const;

    // The window's caption: "Warpscope in mode: " and the mode's name.
    std::string windowCaption() const;

    // --- the window ----------------------------------------------------------------
    // The window was (re)loaded: pictures cleared, the current pair drawn,
    // the status line, the current method's title and the cmdSpeak caption.
    void FormLoad();

    void DrawTestVector();
    void DrawRefVector();
    // Makes the current reference current again and draws the pair; false
    // (with the reason in the status line) when there is no such reference.
    bool Reference();
    // The next test word (after the last, the first); false when there are
    // no test words.
    bool NextWord();
    void PrintStatusToMatch();

    // Commands.  Each is ignored while it is not enabled.
    void cmdMatch();
    void timerTick();
    void cmdPause();
    void cmdContinue();
    void cmdForward();
    void cmdNextWord();
    // What the window does for cmdSpeak and its close box.
    enum class SpeakAction { AskThenHide, Hide, Nothing };
    SpeakAction cmdSpeak() const;
    // Redraws a track (click on picTest / picRef).
    void picTestClick() { DrawTestVector(); }
    void picRefClick() { DrawRefVector(); }

    // Stops a running animation: back to idle, timer off.
    void stopAnimation();

    // Matches the current test word against every reference, makes the best
    // current and shows the pair.  When no reference scores below the
    // forbidden value the current reference stays and the status line says
    // so.  False then, and without a valid test word.
    bool showBestReference();
    // Refills both tracks with the displayed feature and redraws them.
    void refillTracks();
    void setStatusLine(std::string text) { setStatus(std::move(text)); }

    // --- what the window shows ----------------------------------------------------
    const DtwLabels& labels() const { return m_labels; }
    DtwLabels& labels() { return m_labels; }
    const DtwPictures& pictures() const { return m_pictures; }
    DtwPictures& pictures() { return m_pictures; }
    WindowEnables enables() const { return m_animation.enables(); }
    AnimationState animationState() const { return m_animation.state(); }
    const PathReplay& replay() const { return m_replay; }
    const ProjectedPath& projectedPath() const { return m_projected; }
    const Palette& palette() const { return m_palette; }
    float colourStep() const { return m_colourStep; }

    // True when test word and reference of the current pair are loaded.
    bool pairValid() const;
    bool testValid() const { return m_testValid; }
    bool refValid() const { return m_refValid; }

    // Band range of the general method: fixed, or flexibly adjusted to
    // round(0.2 sqrt(N M)) at every match (the method dialog sets it).
    bool flexibleRange = false;

private:
    void matchBody();
    void drawPathStep();
    // Clears the warped tracks, the distance graph and bar, and their labels.
    void clearWarpPictures();
    void setStatus(std::string text) { m_labels.statusLine = std::move(text); }
    bool loadTest(int w);
    bool loadRef(int r);
    // Matches the current test word against every reference and makes the
    // best current; false (current reference kept, status says so) when no
    // reference scores below the forbidden value.
    bool matchAndTakeBest();

    DtwComparerState& m_state;
    ModuleState& m_module;
    DtwLabels m_labels;
    DtwPictures m_pictures;
    AnimationControl m_animation;
    PathReplay m_replay;
    ProjectedPath m_projected;
    Palette m_palette = MakePalette(0);
    float m_colourStep = 0.0f;
    char m_plotStyleDrawn = kPlotFlat;
    bool m_testValid = false;
    bool m_refValid = false;
};

}  // namespace talvor::timewarp
