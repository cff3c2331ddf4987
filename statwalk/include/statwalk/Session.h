#pragma once
// The recogniser's side of the window protocol with the analyser, without
// windows: what each command does, told to the program through callbacks.
//
//   26666 / 26672   close: the program ends
//   26666 / 26687   recognise the token x.lb / x.pr in the work folder and
//                   answer with the key of the recognised word's index
//   26666 / 26666   the HMM button: show the window with the last result;
//                   when the user closes or dismisses it, key 26675 hands
//                   control back to the analyser
//   26686 / index   the pick: recognise that word of the test set and show
//                   the window with the result (the word, what it was
//                   recognised as, right or wrong against its label, the
//                   best models with their scores); when the user dismisses
//                   it, key 26675 hands control back to the analyser
//
// A recognised-word key is answered only for the recognise command and a
// word that has a model; a word no model reaches gets a line in the log and
// no answer.

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "statwalk/Jobs.h"

namespace talvor::statwalk {

inline constexpr std::uint32_t kStatwalkCommand = 26666;
inline constexpr std::uint32_t kStatwalkPick = 26686;
inline constexpr std::uint32_t kCommandClose = 26672;
inline constexpr std::uint32_t kCommandRecognise = 26687;
inline constexpr std::uint32_t kCommandHmmButton = 26666;
inline constexpr std::uint32_t kKeyEnable = 26675;

struct SessionActions {
    std::function<void(std::uint32_t key)> key;  // a WM_KEYDOWN to the analyser's window
    std::function<void(const std::string& text)> show;  // show the program's window with this text
    std::function<void()> quit;                  // end the program
    LogSink log;
};

class RecogniserSession {
public:
    RecogniserSession(Recogniser& recogniser, SessionActions actions);

    // Handles one message; 1 when it was a command of the protocol, else 0.
    std::int32_t handle(std::uint32_t msg, std::uint32_t wParam, std::int32_t lParam);

    // The user closed or dismissed the window: control goes back to the
    // analyser when the HMM button had handed it over.
    void dismissed();

    bool holdsControl() const { return m_holdsControl; }
    const std::optional<Recognition>& lastResult() const { return m_last; }
    // The text the window shows for the last result.
    std::string lastResultText() const;
    // What the window shows after a pick of test word `index`: one line each.
    std::vector<std::string> pickResultLines(std::int32_t index, const std::optional<Recognition>& r,
                                             const std::string& error) const;

    // How many of the best models a pick's result lists.
    static constexpr std::size_t kBestModelsShown = 3;

private:
    void answer(const std::optional<Recognition>& r, const std::string& what, const std::string& error);

    Recogniser& m_recogniser;
    SessionActions m_actions;
    std::optional<Recognition> m_last;
    std::string m_lastWhat;
    bool m_holdsControl = false;
};

}  // namespace talvor::statwalk
