#pragma once
// The word the analyser's buffers hold, as the word displays take it.
#include "analyser/Profiler.h"
#include "analyser/WordDisplays.h"

namespace talvor::analyser {

inline WordSource profilerWord(const Profiler& p)
{
    WordSource word;
    word.samples = p.sampleBuf;
    word.sampleCount = p.sampleCount;
    word.features = p.featureBuf;
    word.wStart = p.wStart;
    word.wStop = p.wStop;
    word.startSample = p.startSample;
    word.endSample = p.endSample;
    word.status = p.status;
    return word;
}

}  // namespace talvor::analyser
