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

namespace detail {

void FullNotifier::start(std::function<void()> onFull)
{
    cancel();
    std::lock_guard lock(m_mutex);
    m_full = false;
    m_cancelled = false;
    m_onFull = std::move(onFull);
    m_thread = std::thread([this]() {
        std::unique_lock l(m_mutex);
        m_cv.wait(l, [this] { return m_full || m_cancelled; });
        if (m_cancelled)
            return;
        auto f = m_onFull;
        l.unlock();
        if (f)
            f();
    });
}

void FullNotifier::signalFull()
{
    {
        std::lock_guard lock(m_mutex);
        m_full = true;
    }
    m_cv.notify_all();
}

void FullNotifier::cancel()
{
    {
        std::lock_guard lock(m_mutex);
        m_cancelled = true;
    }
    m_cv.notify_all();
    if (m_thread.joinable()) {
        if (m_thread.get_id() == std::this_thread::get_id())
            m_thread.detach();  // close() from inside onBufferFull: it is returning anyway
        else
            m_thread.join();
    }
}

}  // namespace detail

namespace {

using Clock = std::chrono::steady_clock;

std::size_t samplesFor(Clock::duration d)
{
    return std::size_t(std::chrono::duration_cast<std::chrono::microseconds>(d).count() * kSampleRate / 1000000);
}

// An input that delivers a file's samples (or none) and then silence into the
// caller's buffer, paced in real time (10 ms steps) or as fast as possible,
// on a thread of its own that also calls onBufferFull.
class PacedInput final : public SoundInput {
public:
    PacedInput(std::string path, Pace pace) : m_path(std::move(path)), m_pace(pace) {}
    ~PacedInput() override { close(); }

    bool open(std::int16_t* buffer, std::size_t count, std::function<void()> onBufferFull,
              std::string* error) override
    {
        auto fail = [&](const std::string& why) {
            if (error)
                *error = why;
            return false;
        };
        if (m_open.load())
            return fail("The sound input is already open.");
        if (!buffer || count == 0)
            return fail("No buffer to record into.");
        std::vector<std::int16_t> source;
        if (!m_path.empty() && !readWav(m_path, &source, error))
            return false;
        joinThread();
        m_source = std::move(source);
        m_buffer = buffer;
        m_count = count;
        m_onFull = std::move(onBufferFull);
        m_delivered.store(0);
        m_open.store(true);
        // The thread waits for the mutex, so it starts once m_thread is set
        // (it may close the input from onBufferFull, which reads m_thread).
        std::lock_guard lock(m_mutex);
        m_stop = false;
        m_thread = std::thread([this]() { run(); });
        return true;
    }

    std::size_t samplesDelivered() const override { return m_delivered.load(std::memory_order_acquire); }

    std::size_t close() override
    {
        if (!m_open.exchange(false))
            return 0;
        {
            std::lock_guard lock(m_mutex);
            m_stop = true;
        }
        m_cv.notify_all();
        joinThread();
        return m_delivered.load();
    }

    bool isOpen() const override { return m_open.load(); }

private:
    void joinThread()
    {
        if (!m_thread.joinable())
            return;
        if (m_thread.get_id() == std::this_thread::get_id())
            m_thread.detach();  // closed from inside onBufferFull; the thread ends after it
        else
            m_thread.join();
    }

    void deliverUpTo(std::size_t target)
    {
        std::size_t n = m_delivered.load(std::memory_order_relaxed);
        if (target <= n)
            return;
        if (n < m_source.size()) {
            const std::size_t upto = std::min(target, m_source.size());
            std::memcpy(m_buffer + n, m_source.data() + n, (upto - n) * sizeof(std::int16_t));
            n = upto;
        }
        if (n < target)
            std::memset(m_buffer + n, 0, (target - n) * sizeof(std::int16_t));
        m_delivered.store(target, std::memory_order_release);
    }

    void run()
    {
        {
            std::lock_guard lock(m_mutex);  // open() has finished setting up
        }
        const auto start = Clock::now();
        auto next = start;
        for (;;) {
            const std::size_t done = m_delivered.load(std::memory_order_relaxed);
            std::size_t target = m_pace == Pace::Fast ? done + 800 : samplesFor(Clock::now() - start);
            target = std::min(target, m_count);
            deliverUpTo(target);
            std::unique_lock lock(m_mutex);
            if (m_stop)
                return;
            if (target == m_count) {
                // The buffer is full: tell the owner (unless a close came first)
                // and stop, as a device hands its buffer back.  close() joins
                // this thread, so no call happens after it has returned.
                auto f = m_onFull;
                lock.unlock();
                if (f)
                    f();
                return;
            }
            if (m_pace == Pace::RealTime) {
                next += std::chrono::milliseconds(10);
                if (m_cv.wait_until(lock, next, [this] { return m_stop; }))
                    return;
            }
        }
    }

    const std::string m_path;  // empty: a silent room
    const Pace m_pace;
    std::vector<std::int16_t> m_source;
    std::int16_t* m_buffer = nullptr;
    std::size_t m_count = 0;
    std::function<void()> m_onFull;
    std::atomic<std::size_t> m_delivered{0};
    std::atomic<bool> m_open{false};
    std::mutex m_mutex;
    std::condition_variable m_cv;
    bool m_stop = false;
    std::thread m_thread;
};

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
    if (mode == InputMode::Continuous)
        return detail::makeContinuousInput(detail::makeRoomSource(path, pace));
    return std::make_unique<PacedInput>(path, pace);
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
