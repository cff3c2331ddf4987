#include <atomic>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <mutex>
#include <thread>

#include "AudioInternal.h"
#include "platform/Audio.h"

namespace talvor::platform {

SoundInput::~SoundInput() = default;
SoundOutput::~SoundOutput() = default;

namespace {

using Clock = std::chrono::steady_clock;

std::size_t samplesFor(Clock::duration d)
{
    return std::size_t(std::chrono::duration_cast<std::chrono::microseconds>(d).count() * kSampleRate / 1000000);
}

// An output whose position advances in real time over a copy of the samples;
// the WAV output also writes the copy to its file.
class TimedOutput final : public SoundOutput {
public:
    explicit TimedOutput(std::string path) : m_path(std::move(path)) {}

    bool play(const std::int16_t* samples, std::size_t count, std::string* error) override
    {
        if (!samples || count == 0) {
            if (error)
                *error = "No samples to play.";
            return false;
        }
        std::vector<std::int16_t> copy(samples, samples + count);
        if (!m_path.empty() && !writeWav(m_path, copy.data(), copy.size(), error))
            return false;
        std::lock_guard lock(m_mutex);
        m_copy = std::move(copy);
        m_start = Clock::now();
        m_playing = true;
        return true;
    }

    std::size_t position() const override
    {
        std::lock_guard lock(m_mutex);
        return positionLocked();
    }

    bool isPlaying() const override
    {
        std::lock_guard lock(m_mutex);
        return m_playing && positionLocked() < m_copy.size();
    }

    std::size_t close() override
    {
        std::lock_guard lock(m_mutex);
        const std::size_t p = positionLocked();
        m_playing = false;
        m_stoppedAt = p;
        m_copy.clear();
        return p;
    }

private:
    std::size_t positionLocked() const
    {
        if (!m_playing)
            return m_stoppedAt;
        return std::min(m_copy.size(), samplesFor(Clock::now() - m_start));
    }

    const std::string m_path;
    mutable std::mutex m_mutex;
    std::vector<std::int16_t> m_copy;
    Clock::time_point m_start;
    bool m_playing = false;
    std::size_t m_stoppedAt = 0;
};

std::string envValue(const char* name)
{
    const char* v = std::getenv(name);
    return v ? std::string(v) : std::string();
}

Pace paceFromEnvironment()
{
    const std::string v = envValue("TALVOR_AUDIO_PACE");
    if (v == "fast")
        return Pace::Fast;
    if (!v.empty() && v != "realtime") {
        static std::once_flag warned;
        std::call_once(warned, [&]() {
            std::cerr << "TALVOR_AUDIO_PACE=" << v << " is not \"realtime\" or \"fast\"; using realtime\n";
        });
    }
    return Pace::RealTime;
}

InputMode inputModeFromEnvironment()
{
    const std::string v = envValue("TALVOR_AUDIO_IN_MODE");
    if (v == "continuous")
        return InputMode::Continuous;
    if (!v.empty() && v != "per-recording") {
        static std::once_flag warned;
        std::call_once(warned, [&]() {
            std::cerr << "TALVOR_AUDIO_IN_MODE=" << v << " is not \"per-recording\" or \"continuous\"; using per-recording\n";
        });
    }
    return InputMode::PerRecording;
}

}  // namespace

std::string soundInputSelection()
{
    return envValue("TALVOR_AUDIO_IN") + '\n' + envValue("TALVOR_AUDIO_IN_MODE") + '\n' + envValue("TALVOR_AUDIO_PACE");
}

std::unique_ptr<SoundInput> createWavFileInput(const std::string& path, Pace pace, InputMode mode)
{
    return detail::makeContinuousInput(detail::makeRoomSource(path, pace, mode));
}

std::unique_ptr<SoundInput> createNullInput(Pace pace, InputMode mode)
{
    return createWavFileInput(std::string(), pace, mode);
}

std::unique_ptr<SoundOutput> createWavFileOutput(const std::string& path)
{
    return std::make_unique<TimedOutput>(path);
}

std::unique_ptr<SoundOutput> createNullOutput()
{
    return std::make_unique<TimedOutput>(std::string());
}

std::unique_ptr<SoundInput> createSoundInput()
{
    const std::string v = envValue("TALVOR_AUDIO_IN");
    if (v.empty() || v == "default")
        return createPortAudioInput();
    if (v == "null")
        return createNullInput(paceFromEnvironment(), inputModeFromEnvironment());
    return createWavFileInput(v, paceFromEnvironment(), inputModeFromEnvironment());
}

std::unique_ptr<SoundOutput> createSoundOutput()
{
    const std::string v = envValue("TALVOR_AUDIO_OUT");
    if (v.empty() || v == "default")
        return createPortAudioOutput();
    if (v == "null")
        return createNullOutput();
    return createWavFileOutput(v);
}

}  // namespace talvor::platform
