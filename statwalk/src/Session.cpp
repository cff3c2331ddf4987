#include "statwalk/Session.h"

#include "common/NumberText.h"

namespace talvor::statwalk {

RecogniserSession::RecogniserSession(Recogniser& recogniser, SessionActions actions)
    : m_recogniser(recogniser), m_actions(std::move(actions))
{
}

std::int32_t RecogniserSession::handle(std::uint32_t msg, std::uint32_t wParam, std::int32_t)
{
    auto log = [&](const std::string& line) {
        if (m_actions.log)
            m_actions.log(line);
    };
    if (msg == kStatwalkCommand && wParam == kCommandClose) {
        log("Close command: ending");
        if (m_actions.quit)
            m_actions.quit();
        return 1;
    }
    if (msg == kStatwalkCommand && wParam == kCommandRecognise) {
        std::string error;
        const std::optional<Recognition> r = m_recogniser.recogniseToken(&error);
        answer(r, "the recorded word", error);
        return 1;
    }
    if (msg == kStatwalkCommand && wParam == kCommandHmmButton) {
        log("HMM button: " + lastResultText());
        m_holdsControl = true;
        if (m_actions.show)
            m_actions.show();
        return 1;
    }
    if (msg == kStatwalkPick) {
        const auto index = static_cast<std::int32_t>(wParam);
        std::string error;
        std::optional<Recognition> r;
        if (m_recogniser.loadTestSet(&error))
            r = m_recogniser.recogniseTestWord(index, &error);
        answer(r, "word " + std::to_string(index) + " of the test file", error);
        if (m_actions.key)
            m_actions.key(kKeyEnable);
        return 1;
    }
    return 0;
}

void RecogniserSession::answer(const std::optional<Recognition>& r, const std::string& what,
                               const std::string& error)
{
    auto log = [&](const std::string& line) {
        if (m_actions.log)
            m_actions.log(line);
    };
    m_last = r;
    m_lastWhat = what;
    if (!r) {
        log("Cannot recognise " + what + ": " + error);
        return;
    }
    if (!r->recognised) {
        log("Recognising " + what + ": no model reaches its last state (too few frames); no answer");
        return;
    }
    log("Recognised " + what + ": " + r->word + " (index " + std::to_string(r->index) + ", score " +
        numberText(r->score) + ")");
    if (m_actions.key)
        m_actions.key(static_cast<std::uint32_t>(r->index));
}

void RecogniserSession::dismissed()
{
    if (!m_holdsControl)
        return;
    m_holdsControl = false;
    if (m_actions.log)
        m_actions.log("Window dismissed: control back to the analyser");
    if (m_actions.key)
        m_actions.key(kKeyEnable);
}

std::string RecogniserSession::lastResultText() const
{
    if (!m_last)
        return "nothing recognised yet";
    if (!m_last->recognised)
        return m_lastWhat + ": not recognised";
    return m_lastWhat + ": " + m_last->word + " (score " + numberText(m_last->score) + ")";
}

}  // namespace talvor::statwalk
