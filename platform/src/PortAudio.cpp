// PortAudio back ends on the default input and output devices.
#include <portaudio.h>

#include <dlfcn.h>

#include <algorithm>
#include <atomic>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <vector>

#include "AudioInternal.h"
#include "platform/Audio.h"

namespace talvor::platform {

namespace {

// Pa_Initialize and the stream calls are not thread safe.
std::mutex& paMutex()
{
    static std::mutex* const m = new std::mutex;  // never destroyed: devices may close at exit
    return *m;
}

// While the back ends are probed (initialisation, opening a stream) the
// sound libraries' own messages ("ALSA lib ... cannot find card", "jack
// server is not running ...") are kept off the terminal: a failure reaches
// the user as the device's error text.  Outside a probe they print as usual.
std::atomic<bool> g_probing{false};

using AlsaErrorHandler = void (*)(const char* file, int line, const char* function, int err, const char* fmt, ...);
using AlsaSetHandler = int (*)(AlsaErrorHandler);
using JackMessageFunction = void (*)(const char*);
using JackSetFunction = void (*)(JackMessageFunction);

void alsaMessage(const char* file, int line, const char* function, int err, const char* fmt, ...)
{
    if (g_probing.load())
        return;
    std::fprintf(stderr, "ALSA lib %s:%i:(%s) ", file, line, function);
    va_list args;
    va_start(args, fmt);
    std::vfprintf(stderr, fmt, args);
    va_end(args);
    if (err)
        std::fprintf(stderr, ": %s", std::strerror(err < 0 ? -err : err));
    std::fputc('\n', stderr);
}

void jackMessage(const char* text)
{
    if (!g_probing.load())
        std::fprintf(stderr, "%s\n", text);
}

// The handlers are reached through the libraries PortAudio is linked with,
// when they are there.
void installMessageHandlers()
{
    if (auto set = reinterpret_cast<AlsaSetHandler>(::dlsym(RTLD_DEFAULT, "snd_lib_error_set_handler")))
        set(&alsaMessage);
    for (const char* name : {"jack_set_error_function", "jack_set_info_function"})
        if (auto set = reinterpret_cast<JackSetFunction>(::dlsym(RTLD_DEFAULT, name)))
            set(&jackMessage);
}

class Probing {
public:
    Probing() { g_probing.store(true); }
    ~Probing() { g_probing.store(false); }
};

std::atomic<std::size_t> g_initialisations{0};

// The library is initialised once per process and stays so (terminating it
// unloads plugins that devices closing at exit would still reach).  Called
// with paMutex held.
PaError initialiseOnce()
{
    static bool tried = false;
    static PaError result = paNoError;
    if (!tried) {
        tried = true;
        installMessageHandlers();
        Probing quiet;
        g_initialisations.fetch_add(1);
        result = Pa_Initialize();
    }
    return result;
}

constexpr const char* kNoInputHint =
    "No microphone? Let a WAV file be the speaker: start with TALVOR_AUDIO_IN=path.wav (see the README).";
constexpr const char* kNoOutputHint =
    "No loudspeaker? Start with TALVOR_AUDIO_OUT=null, or TALVOR_AUDIO_OUT=path.wav to write what is played (see the README).";

// The device's own error text; for a host error also the host's text; then
// how to go on without the device.
std::string paErrorText(PaError err, bool input)
{
    std::string text = Pa_GetErrorText(err);
    if (err == paUnanticipatedHostError) {
        const PaHostErrorInfo* info = Pa_GetLastHostErrorInfo();
        if (info && info->errorText && *info->errorText)
            text += std::string(": ") + info->errorText;
    }
    return text + "\n" + (input ? kNoInputHint : kNoOutputHint);
}

// Opens and starts a default stream in the system's format.
PaStream* openDefault(int inputs, int outputs, PaStreamCallback* callback, void* user, std::string* error)
{
    std::lock_guard lock(paMutex());
    PaError err = initialiseOnce();
    if (err != paNoError) {
        if (error)
            *error = paErrorText(err, inputs > 0);
        return nullptr;
    }
    Probing quiet;
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
            *error = paErrorText(err, inputs > 0);
        return nullptr;
    }
    return stream;
}

void closeStream(PaStream* stream)
{
    std::lock_guard lock(paMutex());
    Pa_AbortStream(stream);
    Pa_CloseStream(stream);
}

// The default input device capturing into a ring; the device's callback is
// the only writer.
class PortAudioSource final : public detail::CaptureSource {
public:
    PortAudioSource() : m_ring(kCaptureRingSamples) {}
    ~PortAudioSource() override { stop(); }

    bool start(std::string* error) override
    {
        if (m_stream)
            return true;
        // Positions go on from where the last run ended; nothing before is held.
        m_base.store(m_written.load());
        m_stream = openDefault(1, 0, &PortAudioSource::callback, this, error);
        return m_stream != nullptr;
    }
    void stop() override
    {
        if (!m_stream)
            return;
        closeStream(m_stream);
        m_stream = nullptr;
    }
    std::uint64_t captured() const override { return m_written.load(std::memory_order_acquire); }
    std::uint64_t oldest() const override
    {
        const std::uint64_t w = captured();
        return std::max(m_base.load(), w > m_ring.size() ? w - m_ring.size() : 0);
    }
    bool read(std::uint64_t from, std::int16_t* out, std::size_t n) const override
    {
        const std::size_t mask = m_ring.size() - 1;
        for (std::size_t k = 0; k < n; ++k)
            out[k] = m_ring[std::size_t(from + k) & mask];
        // Still held after the copy: the device did not write over it meanwhile.
        return from >= oldest();
    }

private:
    static int callback(const void* input, void*, unsigned long frames, const PaStreamCallbackTimeInfo*,
                        PaStreamCallbackFlags, void* user)
    {
        auto* self = static_cast<PortAudioSource*>(user);
        const auto* in = static_cast<const std::int16_t*>(input);
        const std::size_t mask = self->m_ring.size() - 1;
        const std::uint64_t w = self->m_written.load(std::memory_order_relaxed);
        for (unsigned long k = 0; k < frames; ++k)
            self->m_ring[std::size_t(w + k) & mask] = in ? in[k] : std::int16_t{0};
        self->m_written.store(w + frames, std::memory_order_release);
        return paContinue;
    }

    std::vector<std::int16_t> m_ring;  // a power of two long
    std::atomic<std::uint64_t> m_written{0};
    std::atomic<std::uint64_t> m_base{0};
    PaStream* m_stream = nullptr;
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
    return detail::makeContinuousInput(std::make_unique<PortAudioSource>());
}

std::size_t soundBackendInitialisations()
{
    return g_initialisations.load();
}

namespace detail {
std::unique_ptr<CaptureSource> makePortAudioSource()
{
    return std::make_unique<PortAudioSource>();
}
}  // namespace detail

std::unique_ptr<SoundOutput> createPortAudioOutput()
{
    return std::make_unique<PortAudioOutput>();
}

}  // namespace talvor::platform
