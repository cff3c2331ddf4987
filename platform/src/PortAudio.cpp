// PortAudio back ends on the default input and output devices.
#include <portaudio.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <mutex>
#include <vector>

#include "AudioInternal.h"
#include "platform/Audio.h"

namespace talvor::platform {

namespace {

// Pa_Initialize and Pa_Terminate count their calls but are not thread safe.
std::mutex& paMutex()
{
    static std::mutex* const m = new std::mutex;  // never destroyed: devices may close at exit
    return *m;
}

// The device's own error text; for a host error also the host's text.
std::string paErrorText(PaError err)
{
    std::string text = Pa_GetErrorText(err);
    if (err == paUnanticipatedHostError) {
        const PaHostErrorInfo* info = Pa_GetLastHostErrorInfo();
        if (info && info->errorText && *info->errorText)
            text += std::string(": ") + info->errorText;
    }
    return text;
}

// Opens a default stream in the system's format (the library is initialised
// here and terminated again on failure).
PaStream* openDefault(int inputs, int outputs, PaStreamCallback* callback, void* user, std::string* error)
{
    std::lock_guard lock(paMutex());
    PaError err = Pa_Initialize();
    if (err != paNoError) {
        if (error)
            *error = paErrorText(err);
        return nullptr;
    }
    PaStream* stream = nullptr;
    err = Pa_OpenDefaultStream(&stream, inputs, outputs, paInt16, kSampleRate, paFramesPerBufferUnspecified,
                               callback, user);
    if (err == paNoError) {
        err = Pa_StartStream(stream);
        if (err != paNoError)
            Pa_CloseStream(stream);
    }
    if (err != paNoError) {
        if (error)
            *error = paErrorText(err);
        Pa_Terminate();
        return nullptr;
    }
    return stream;
}

void closeStream(PaStream* stream)
{
    std::lock_guard lock(paMutex());
    Pa_AbortStream(stream);
    Pa_CloseStream(stream);
    Pa_Terminate();
}

class PortAudioInput final : public SoundInput {
public:
    ~PortAudioInput() override { close(); }

    bool open(std::int16_t* buffer, std::size_t count, std::function<void()> onBufferFull,
              std::string* error) override
    {
        if (m_stream) {
            if (error)
                *error = "The sound input is already open.";
            return false;
        }
        if (!buffer || count == 0) {
            if (error)
                *error = "No buffer to record into.";
            return false;
        }
        m_buffer = buffer;
        m_count = count;
        m_delivered.store(0);
        m_recording.store(true);
        m_notifier.start(std::move(onBufferFull));
        m_stream = openDefault(1, 0, &PortAudioInput::callback, this, error);
        if (!m_stream) {
            m_recording.store(false);
            m_notifier.cancel();
            return false;
        }
        return true;
    }

    std::size_t samplesDelivered() const override { return m_delivered.load(std::memory_order_acquire); }

    std::size_t close() override
    {
        if (!m_stream)
            return 0;
        // Recording ends first, so the buffer handed back by the stop raises no notice.
        m_recording.store(false);
        m_notifier.cancel();
        closeStream(m_stream);
        m_stream = nullptr;
        return m_delivered.load();
    }

    bool isOpen() const override { return m_stream != nullptr; }

private:
    static int callback(const void* input, void*, unsigned long frames, const PaStreamCallbackTimeInfo*,
                        PaStreamCallbackFlags, void* user)
    {
        auto* self = static_cast<PortAudioInput*>(user);
        const std::size_t done = self->m_delivered.load(std::memory_order_relaxed);
        const std::size_t n = std::min<std::size_t>(frames, self->m_count - done);
        if (input)
            std::memcpy(self->m_buffer + done, input, n * sizeof(std::int16_t));
        else
            std::memset(self->m_buffer + done, 0, n * sizeof(std::int16_t));
        self->m_delivered.store(done + n, std::memory_order_release);
        if (done + n < self->m_count)
            return paContinue;
        if (self->m_recording.load())
            self->m_notifier.signalFull();
        return paComplete;
    }

    PaStream* m_stream = nullptr;
    std::int16_t* m_buffer = nullptr;
    std::size_t m_count = 0;
    std::atomic<std::size_t> m_delivered{0};
    std::atomic<bool> m_recording{false};
    detail::FullNotifier m_notifier;
};

class PortAudioOutput final : public SoundOutput {
public:
    ~PortAudioOutput() override { close(); }

    bool play(const std::int16_t* samples, std::size_t count, std::string* error) override
    {
        if (!samples || count == 0) {
            if (error)
                *error = "No samples to play.";
            return false;
        }
        close();
        m_copy.assign(samples, samples + count);
        m_position.store(0);
        m_stream = openDefault(0, 1, &PortAudioOutput::callback, this, error);
        if (!m_stream) {
            m_copy.clear();
            return false;
        }
        return true;
    }

    std::size_t position() const override { return m_position.load(std::memory_order_acquire); }
    bool isPlaying() const override { return m_stream && position() < m_copy.size(); }

    std::size_t close() override
    {
        const std::size_t p = m_position.load();
        if (!m_stream)
            return p;
        closeStream(m_stream);
        m_stream = nullptr;
        m_copy.clear();
        return p;
    }

private:
    static int callback(const void*, void* output, unsigned long frames, const PaStreamCallbackTimeInfo*,
                        PaStreamCallbackFlags, void* user)
    {
        auto* self = static_cast<PortAudioOutput*>(user);
        auto* out = static_cast<std::int16_t*>(output);
        const std::size_t done = self->m_position.load(std::memory_order_relaxed);
        const std::size_t n = std::min<std::size_t>(frames, self->m_copy.size() - done);
        std::memcpy(out, self->m_copy.data() + done, n * sizeof(std::int16_t));
        std::memset(out + n, 0, (frames - n) * sizeof(std::int16_t));
        self->m_position.store(done + n, std::memory_order_release);
        return done + n < self->m_copy.size() ? paContinue : paComplete;
    }

    PaStream* m_stream = nullptr;
    std::vector<std::int16_t> m_copy;
    std::atomic<std::size_t> m_position{0};
};

}  // namespace

std::unique_ptr<SoundInput> createPortAudioInput()
{
    return std::make_unique<PortAudioInput>();
}

std::unique_ptr<SoundOutput> createPortAudioOutput()
{
    return std::make_unique<PortAudioOutput>();
}

}  // namespace talvor::platform
