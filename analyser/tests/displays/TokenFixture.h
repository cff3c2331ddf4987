#pragma once
// A recorded token from a WAV file: the file (after half a second of quiet
// room) is spoken into the engine's word detector, delivered 50 ms at a time
// as a sound card would, and the token is copied out with GetTokenParam into
// buffers of the analyser's sizes, as the analyser window does.

#include <cstdint>
#include <string>
#include <vector>

#include "Fakes.h"
#include "Signals.h"
#include "analyser/WordDisplays.h"
#include "platform/Audio.h"

namespace talvor::analyser::testing {

struct RecordedToken {
    std::vector<std::int16_t> sampleBuf = std::vector<std::int16_t>(kSampleBufferSize);
    std::vector<float> featureBuf = std::vector<float>(kFeatureBufferSize);
    std::int32_t wStart = 0, wStop = 0, startSample = 0, endSample = 0, status = 1;
    std::int32_t sampleCount = 0;
    std::string error;
    WordSource source() const
    {
        WordSource w;
        w.samples = sampleBuf;
        w.sampleCount = sampleCount;
        w.features = featureBuf;
        w.wStart = wStart;
        w.wStop = wStop;
        w.startSample = startSample;
        w.endSample = endSample;
        w.status = status;
        return w;
    }
};

inline RecordedToken recordToken(const std::string& wavPath)
{
    RecordedToken t;
    std::vector<std::int16_t> word;
    if (!platform::readWav(wavPath, &word, &t.error))
        return t;
    std::vector<std::int16_t> s;
    engine::test::appendNoise(s, 4000, 20);
    s.insert(s.end(), word.begin(), word.end());
    engine::test::appendNoise(s, 8000, 20, 777);
    engine::test::FakeRig rig;
    if (rig.engine->TokenProces(1) == 0) {
        t.error = "the token process did not start";
        return t;
    }
    rig.timer->tick();
    while (rig.in->isOpen() && rig.in->delivered < s.size()) {
        rig.in->deliver(s, 400);
        rig.timer->tick();
    }
    rig.engine->StopTokenProces();
    t.status = rig.engine->GetTokenParam(t.featureBuf.data(), &t.wStart, &t.wStop, t.sampleBuf.data(),
                                         &t.startSample, &t.endSample);
    t.sampleCount = t.endSample + 800 > 0 ? t.endSample + 800 : 0;
    return t;
}

}  // namespace talvor::analyser::testing
