#pragma once
// The shared module state: the operating-mode names, the program folder, the
// run-time settings through which a recognised word leaves the system, and
// the window-caption texts.
//
// Every deliverable (the main program and each control library) keeps its own
// copy: nothing is shared between libraries at run time, the host passes values
// to each control through its interface.  The common library is linked
// statically into each deliverable with hidden symbols, so moduleState() in one
// library is a different object from moduleState() in another, even when both
// are loaded into one process.  Code that wants no global at all holds its own
// ModuleState.

#include <array>
#include <cstdint>
#include <string>

namespace talvor {

// Operating modes, the index into ModeNames.
enum OperatingMode : std::int32_t {
    ModeSpeechRecording = 0,
    ModeSignalExploring = 1,
    ModeDtwMatching = 2,
    ModeHmmTraining = 3,
    ModeHmmMatching = 4,
    ModePickMatchHmm = 5,
    ModePickMatchDtw = 6,
    ModeSpeakRecognizeHmm = 7,
    ModeSpeakRecognizeDtw = 8,
    ModeDatabaseMaintenance = 9,
    ModeStringsPickMatchHmm = 10,
    ModeHmmSequentialParallel = 11,
    ModeStringsSpeakRecognizeHmm = 12,
    ModeRuntime = 13,
};
constexpr int kModeCount = 14;     // modes 0..13
constexpr int kModeNameSlots = 21; // ModeNames 0..20; 14..20 stay empty

// Window-caption texts.  The four that end in "in mode: " are followed by the
// mode's name.
inline constexpr const char* kCaptionSetup = "Talvor Setup";
inline constexpr const char* kCaptionWavescope = "Wavescope in mode: ";
inline constexpr const char* kCaptionStatwalk = "Statwalk in mode: ";
inline constexpr const char* kCaptionWarpscope = "Warpscope in mode: ";
inline constexpr const char* kCaptionChainview = "Chainview in mode: ";

// Run-time result output kinds (RTmode).
enum RunTimeOutput : std::int32_t {
    RTNone = 0,
    RTTextFile = 1,
    RTWindowMessage = 2,
    RTNetwork = 3,    // carried, read by no deliverable
    RTEngineLibrary = 4,
};

// The values the main program's run-time page offers by default.
inline constexpr const char* kDefaultRTfile = "result.txt";
inline constexpr const char* kDefaultRTwCapt = "TALVOR recog";
inline constexpr std::int32_t kDefaultRTmsg = 1025;
inline constexpr std::int32_t kDefaultRTwPar = 0;
inline constexpr const char* kDefaultRTip = "127.0.0.1";
inline constexpr std::int32_t kDefaultRTport = 11111;

struct RunTimeSettings {
    std::int32_t RTmode = 0;
    std::string RTfile;
    std::string RTwCapt;
    std::int32_t RTmsg = 0;
    std::int32_t RTwPar = 0;
    std::string RTip;
    std::int32_t RTport = 0;
    std::int32_t RThide = 0;
    std::int32_t RTcount = 0;
    std::int32_t RTResultList = 0;
};

// The main program's default run-time page values (RTmode 0, hide and list 0).
RunTimeSettings defaultRunTimeSettings();

class ModuleState {
public:
    std::string AppPath;  // the program folder, no trailing "/"
    RunTimeSettings runTime;

    // Fills ModeNames 0..13; 14..20 stay empty.
    void InitModeNames();
    // The name of a mode; "" for 14..20 and for any index outside 0..20.
    const std::string& ModeNames(std::int32_t index) const;

    // "<tool> in mode: " followed by the mode's name, e.g.
    // caption(kCaptionStatwalk, 3) == "Statwalk in mode: HMM Training".
    std::string caption(const char* toolPrefix, std::int32_t mode) const;

    // Stores the nine values of a run-time hand-over (all but RTcount) and
    // resets RTcount to 0.
    void SetRunTimeMode(std::int32_t rtMode, const std::string& rtFile, const std::string& rtWCapt,
                        std::int32_t rtMsg, std::int32_t rtWPar, const std::string& rtIp,
                        std::int32_t rtPort, std::int32_t rtHide, std::int32_t rtResultList);

private:
    std::array<std::string, kModeNameSlots> m_modeNames;
};

// The mode names as the table gives them, letter for letter.
const std::string& modeNameTable(std::int32_t mode);

// This library's own copy of the module state.
ModuleState& moduleState();

// Number of occurrences of pattern in text, overlapping ones included; -1 for
// an empty pattern.  CountSubstrings("aaa", "aa") == 2.
std::int32_t CountSubstrings(const std::string& text, const std::string& pattern);

}  // namespace talvor
