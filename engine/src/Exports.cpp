// The C exports: each delegates to the process-wide engine.

#include "engine/talvor2.h"

#include "ProcessEngine.h"

#include <memory>

namespace talvor::engine {

// Built by the spectra code when it is part of the library: the colour scale
// comes first at load.
void buildColorScale() __attribute__((weak));

namespace {

// The engine lives from load to unload.  At unload the recording is closed
// before the buffer it records into goes away; the services themselves are
// left alone, since the platform they stand on may already be shutting down.
class LoadedEngine {
public:
    LoadedEngine()
    {
        if (buildColorScale)
            buildColorScale();
        m_engine = new Engine(productionServices());
    }
    ~LoadedEngine()
    {
        m_engine->StopTokenProces();
        if (m_engine->recording())
            m_engine->CloseSoundCardIn();
        if (m_engine->playing())
            m_engine->CloseSoundCardOut();
        m_engine->detector().FreeRecordBuffer();
    }
    Engine& engine() { return *m_engine; }

private:
    Engine* m_engine = nullptr;
};

LoadedEngine& loaded()
{
    static LoadedEngine instance;
    return instance;
}

// Built at load, not at the first call.
[[maybe_unused]] const bool builtAtLoad = (loaded(), true);

}  // namespace

Engine& processEngine()
{
    return loaded().engine();
}

}  // namespace talvor::engine

using talvor::engine::processEngine;

extern "C" {

int32_t InitSoundCard(void)
{
    return processEngine().InitSoundCard();
}

intptr_t OpenSoundCardIn(int16_t* samples, int32_t count)
{
    return processEngine().OpenSoundCardIn(samples, count);
}

int32_t CloseSoundCardIn(void)
{
    return processEngine().CloseSoundCardIn();
}

intptr_t OpenSoundCardOut(const int16_t* samples, int32_t count)
{
    return processEngine().OpenSoundCardOut(samples, count);
}

int32_t CloseSoundCardOut(void)
{
    return processEngine().CloseSoundCardOut();
}

intptr_t TokenProces(uint32_t window)
{
    return processEngine().TokenProces(window);
}

int32_t StopTokenProces(void)
{
    return processEngine().StopTokenProces();
}

intptr_t ContinueTokenProces(uint32_t window)
{
    return processEngine().ContinueTokenProces(window);
}

int32_t ReleaseSoundCardIn(void)
{
    processEngine().ReleaseSoundCardIn();
    return 0;
}

int32_t GetTokenParam(float* features, int32_t* startFrame, int32_t* endFrame, int16_t* samples,
                      int32_t* startSample, int32_t* endSample)
{
    return processEngine().GetTokenParam(features, startFrame, endFrame, samples, startSample, endSample);
}

int32_t ChangeTokenMaxFrames(int32_t frames)
{
    return processEngine().ChangeTokenMaxFrames(frames);
}

int32_t Recompute(void)
{
    return processEngine().Recompute();
}

int32_t GetTokenDiscard(void)
{
    return processEngine().GetTokenDiscard();
}

}  // extern "C"
