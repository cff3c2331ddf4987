// The run-time result output steps of the recording cycle.  The recording
// cycle calls them only in run-time recognition (RTmode 1 or more):
//   runTimeOutputEndOfRecording  after a recording that gave a result: a
//                                valid token that was written and recognised
//                                (lblWord holds the word or string, wIndex the
//                                word's index in mode 8);
//   runTimeOutputAnswerKey       when the external recogniser's answer k has
//                                been taken (lblWord holds word k).
// Neither is called for a failed token, a token that could not be written,
// or a DTW result of "nothing recognised".
#include "analyser/Profiler.h"
#include "analyser/RunTimeOutput.h"

namespace talvor::analyser {

void Profiler::runTimeOutputEndOfRecording()
{
    if (!m_runTimeOutputServices)
        return;
    RunTimeResultOutput(m_module, *m_runTimeOutputServices)
        .endOfRecording(profilerMode, status, lblWord.text, wIndex, uChainview);
}

void Profiler::runTimeOutputAnswerKey(std::int32_t k)
{
    if (!m_runTimeOutputServices)
        return;
    RunTimeResultOutput(m_module, *m_runTimeOutputServices).recogniserAnswered(lblWord.text, k);
}

}  // namespace talvor::analyser
