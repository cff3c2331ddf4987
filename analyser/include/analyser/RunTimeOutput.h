#pragma once
// The analyser's run-time result output: in run-time recognition every
// recognised word leaves the analyser while it keeps listening, as a one-line
// result file (output kind 1) or as a posted window message (kind 2) to the
// window whose caption is RTwCapt.  Kinds 3 and 4 are accepted and send
// nothing.
//
// The output reads the run-time settings and the program folder from the
// library's module state (and advances the utterance counter RTcount there);
// it reaches windows, the analyser window's visibility and the message box
// only through RunTimeOutputServices, so it runs headless in tests.
//
// Two events produce output:
//   endOfRecording      the analyser's end of one recording (status 0 only)
//   recogniserAnswered  the external recogniser's answer key (mode 7)
//
// Rules beyond the literal message protocol:
//   - wParam is RTwPar + the word's index as an unsigned 32-bit sum (it wraps),
//     and RTcount wraps to 0 after its largest value.
//   - In string recognition (mode 12) wParam carries each ranked model's
//     vocabulary index (its model ID), not its load order, so a number means
//     the same word as in mode 8.
//   - Mode 7 writes the result file only on the recogniser's answer: the end
//     of the recording does not know the new word yet.
//   - A window of this process (the analyser's own, the workbench's) is never
//     posted to, whatever caption was typed: it is treated as no receiver.
//   - A result file that cannot be written is reported (a message box while
//     the analyser's window is visible, one line on standard error when it
//     listens hidden) and listening goes on.
//   - A recognised index below 0 (nothing recognised) sends nothing.

#include <cstdint>
#include <string>

#include "common/ModuleState.h"

namespace talvor {
class ChainviewControl;
}

namespace talvor::analyser {

// What the output needs of the platform and of the analyser window.
class RunTimeOutputServices {
public:
    virtual ~RunTimeOutputServices() = default;
    // The top-level window with exactly this caption; 0 when there is none.
    virtual std::uint32_t findWindow(const std::string& caption) = 0;
    // True for a window of this process (the analyser's, the workbench's).
    virtual bool isOwnWindow(std::uint32_t window) = 0;
    // Queues the message for the window and returns at once.
    virtual bool postMessage(std::uint32_t window, std::uint32_t msg, std::uint32_t wParam, std::int32_t lParam) = 0;
    // Whether the analyser's window is visible to the user.
    virtual bool windowVisible() = 0;
    virtual void messageBox(const std::string& text) = 0;
    virtual void errorLine(const std::string& line) = 0;
};

// Results in mode 12 are passed on for ranking positions 0..9.
inline constexpr int kStringResultPositions = 10;

// RTwPar + index as the message carries it: an unsigned 32-bit sum.
std::uint32_t resultWParam(std::int32_t RTwPar, std::int32_t index);
// The utterance counter after count: count + 1, 0 after the largest value.
std::int32_t nextUtteranceCount(std::int32_t count);

class RunTimeResultOutput {
public:
    RunTimeResultOutput(ModuleState& state, RunTimeOutputServices& services);

    // End of one recording.  mode: the analyser's operating mode; status: the
    // token status (only 0 produces output); word: the text of the word label
    // (the recognised string in mode 12); wordIndex: the recognised word's
    // index in the word list (mode 8); chainview: the HMM viewer (mode 12).
    void endOfRecording(std::int32_t mode, std::int32_t status, const std::string& word, std::int32_t wordIndex,
                        ChainviewControl* chainview);

    // The external recogniser answered with word index k; word is entry k of
    // the word list.
    void recogniserAnswered(const std::string& word, std::int32_t k);

private:
    void writeFile(const std::string& word);
    // The receiver's window, or 0 (none, or a window of this process).
    std::uint32_t receiver();
    void postOne(std::uint32_t window, std::int32_t index);
    void postRanked(std::uint32_t window, ChainviewControl* chainview);

    ModuleState& m_state;
    RunTimeOutputServices& m_services;
};

}  // namespace talvor::analyser
