#include "statwalk/Session.h"

#include <algorithm>

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
            m_actions.show("Last result: " + lastResultText() + ". Close this window to go back.");
        return 1;
    }
    if (msg == kStatwalkPick) {
        // The analyser waits for no key here: the result is shown, and
        // control goes back when the user dismisses it.
        const auto index = static_cast<std::int32_t>(wParam);
        std::string error;
        std::optional<Recognition> r;
        if (m_recogniser.loadTestSet(&error))
            r = m_recogniser.recogniseTestWord(index, &error);
        m_last = r;
        m_lastWhat = "word " + std::to_string(index) + " of the test file";
        std::string text;
        for (const std::string& line : pickResultLines(index, r, error)) {
            log(line);
            text += (text.empty() ? "" : "\n") + line;
        }
        m_holdsControl = true;
        if (m_actions.show)
            m_actions.show(text + "\nClose this window to go back to the analyser.");
        return 1;
    }
    return 0;
}

std::vector<std::string> RecogniserSession::pickResultLines(std::int32_t index, const std::optional<Recognition>& r,
                                                            const std::string& error) const
{
    const WordSet& set = m_recogniser.testSet();
    const std::string file = m_recogniser.job().files.empty() ? std::string() : m_recogniser.job().files[0];
    const bool known = index >= 0 && static_cast<std::size_t>(index) < set.words.size();
    std::string spoken;
    if (known) {
        const std::int32_t label = set.words[static_cast<std::size_t>(index)].label;
        spoken = m_recogniser.wordOf(label);
        if (spoken.empty())
            spoken = "label " + std::to_string(label);
    }
    std::vector<std::string> lines;
    if (known)
        lines.push_back("Picked word " + std::to_string(set.words[static_cast<std::size_t>(index)].number) + " of " +
                        file + ": " + spoken);
    else
        lines.push_back("Picked the word at position " + std::to_string(index) + " of " + file);
    if (!r) {
        lines.push_back("Not recognised: " + error);
        return lines;
    }
    if (!r->recognised) {
        lines.push_back("Not recognised: no model reaches its last state (too few frames)");
        return lines;
    }
    const bool right = known && r->index == set.words[static_cast<std::size_t>(index)].label;
    lines.push_back("Recognised as: " + r->word + (right ? "  (right)" : "  (wrong)"));
    std::vector<std::size_t> order;
    for (std::size_t k = 0; k < r->scores.size(); ++k)
        if (r->scores[k] > -1e30f)
            order.push_back(k);
    std::stable_sort(order.begin(), order.end(),
                     [&](std::size_t a, std::size_t b) { return r->scores[a] > r->scores[b]; });
    std::string best = "Best models:";
    for (std::size_t n = 0; n < order.size() && n < kBestModelsShown; ++n)
        best += "  " + std::to_string(n + 1) + ". " + m_recogniser.wordOf(m_recogniser.modelIndex(order[n])) + " " +
                numberText(r->scores[order[n]]);
    lines.push_back(best);
    return lines;
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
