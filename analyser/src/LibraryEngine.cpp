// The analyser's engine: the exports of the engine library libtalvor2.so.
#include "analyser/Profiler.h"

#include "engine/talvor2.h"

namespace talvor::analyser {
namespace {

class LibraryEngine final : public AnalyserEngine {
public:
    std::int32_t InitSoundCard() override { return ::InitSoundCard(); }
    std::intptr_t TokenProces(std::uint32_t window) override { return ::TokenProces(window); }
    std::int32_t StopTokenProces() override { return ::StopTokenProces(); }
    std::int32_t GetTokenParam(float* features, std::int32_t* startFrame, std::int32_t* endFrame,
                               std::int16_t* samples, std::int32_t* startSample, std::int32_t* endSample) override
    {
        return ::GetTokenParam(features, startFrame, endFrame, samples, startSample, endSample);
    }
    std::int32_t ChangeTokenMaxFrames(std::int32_t frames) override { return ::ChangeTokenMaxFrames(frames); }
    std::intptr_t OpenSoundCardOut(const std::int16_t* samples, std::int32_t count) override
    {
        return ::OpenSoundCardOut(samples, count);
    }
    std::int32_t CloseSoundCardOut() override { return ::CloseSoundCardOut(); }
    std::int32_t CloseSoundCardIn() override { return ::CloseSoundCardIn(); }
    std::intptr_t ContinueTokenProces(std::uint32_t window) override { return ::ContinueTokenProces(window); }
    std::int32_t ReleaseSoundCardIn() override { return ::ReleaseSoundCardIn(); }
    std::int32_t GetTokenDiscard() override { return ::GetTokenDiscard(); }
};

}  // namespace

std::unique_ptr<AnalyserEngine> makeLibraryEngine()
{
    return std::make_unique<LibraryEngine>();
}

}  // namespace talvor::analyser
