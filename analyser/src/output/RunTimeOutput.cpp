#include "analyser/RunTimeOutput.h"

#include <limits>

#include "common/ControlInterfaces.h"
#include "common/ResultFile.h"

namespace talvor::analyser {

std::uint32_t resultWParam(std::int32_t RTwPar, std::int32_t index)
{
    return std::uint32_t(RTwPar) + std::uint32_t(index);
}

std::int32_t nextUtteranceCount(std::int32_t count)
{
    return count == std::numeric_limits<std::int32_t>::max() ? 0 : count + 1;
}

RunTimeResultOutput::RunTimeResultOutput(ModuleState& state, RunTimeOutputServices& services)
    : m_state(state), m_services(services)
{
}

void RunTimeResultOutput::endOfRecording(std::int32_t mode, std::int32_t status, const std::string& word,
                                   std::int32_t wordIndex, ChainviewControl* chainview)
{
    const RunTimeSettings& rt = m_state.runTime;
    if (rt.RTmode < RTTextFile || status != 0)
        return;
    if (rt.RTmode == RTTextFile) {
        // Mode 7 learns its word from the recogniser's answer, which writes it.
        if (mode == ModeSpeakRecognizeHmm)
            return;
        if (mode == ModeSpeakRecognizeDtw && wordIndex < 0)
            return;
        writeFile(word);
        return;
    }
    if (rt.RTmode != RTWindowMessage)
        return;
    if (mode != ModeSpeakRecognizeDtw && mode != ModeStringsSpeakRecognizeHmm)
        return;
    if (mode == ModeSpeakRecognizeDtw && wordIndex < 0)
        return;
    const std::uint32_t window = receiver();
    if (window == 0)
        return;
    if (mode == ModeSpeakRecognizeDtw)
        postOne(window, wordIndex);
    else
        postRanked(window, chainview);
    m_state.runTime.RTcount = nextUtteranceCount(m_state.runTime.RTcount);
}

void RunTimeResultOutput::recogniserAnswered(const std::string& word, std::int32_t k)
{
    const RunTimeSettings& rt = m_state.runTime;
    if (k < 0)
        return;
    if (rt.RTmode == RTTextFile) {
        writeFile(word);
    } else if (rt.RTmode == RTWindowMessage) {
        const std::uint32_t window = receiver();
        if (window == 0)
            return;
        postOne(window, k);
        m_state.runTime.RTcount = nextUtteranceCount(m_state.runTime.RTcount);
    }
}

void RunTimeResultOutput::writeFile(const std::string& word)
{
    std::string error;
    if (writeResultFile(m_state.AppPath, m_state.runTime.RTfile, word, &error))
        return;
    if (m_services.windowVisible())
        m_services.messageBox("The recognised word could not be written to the result file:\n" + error +
                              "\nListening goes on.");
    else
        m_services.errorLine("Run-time output: the recognised word could not be written to the result file: " +
                             error);
}

std::uint32_t RunTimeResultOutput::receiver()
{
    const std::uint32_t window = m_services.findWindow(m_state.runTime.RTwCapt);
    if (window == 0 || m_services.isOwnWindow(window))
        return 0;
    return window;
}

void RunTimeResultOutput::postOne(std::uint32_t window, std::int32_t index)
{
    const RunTimeSettings& rt = m_state.runTime;
    m_services.postMessage(window, std::uint32_t(rt.RTmsg), resultWParam(rt.RTwPar, index), rt.RTcount);
}

void RunTimeResultOutput::postRanked(std::uint32_t window, ChainviewControl* chainview)
{
    if (!chainview)
        return;
    for (std::int32_t order = 0; order < kStringResultPositions; ++order) {
        std::int32_t model = -1;
        if (!chainview->GetResultByOrder(order, model) || model < 0)
            break;
        std::int32_t vocabularyIndex = -1;
        if (!chainview->GetModelVocabularyIndex(model, vocabularyIndex) || vocabularyIndex < 0)
            continue;  // a model without a vocabulary index names no word
        postOne(window, vocabularyIndex);
    }
}

}  // namespace talvor::analyser
