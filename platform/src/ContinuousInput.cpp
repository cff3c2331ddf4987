// An input that keeps capturing between recordings, and the WAV room that
// plays a file once like a person who keeps speaking (or, per recording,
// again from its start at every recording).
#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <thread>

#include "AudioInternal.h"
#include "platform/Audio.h"

namespace talvor::platform::detail {

namespace {

using Clock = std::chrono::steady_clock;

// How far ahead of what has been read a room at fast pace renders.
constexpr std::size_t kFastStep = 800;

class RoomSource final : public CaptureSource {
public:
    RoomSource(std::string path, Pace pace, InputMode mode) : m_path(std::move(path)), m_pace(pace), m_mode(mode) {}

    bool start(std::string* error) override
    {
        std::lock_guard lock(m_mutex);
        if (m_started && m_mode == InputMode::Continuous)
            return true;
        // A continuous room reads its file once, at the first recording, and
        // holds it for good; per recording, the file is read again and played
        // from its start.
        std::vector<std::int16_t> samples;
        if (!m_path.empty() && !readWav(m_path, &samples, error))
            return false;
        m_samples = std::move(samples);
        m_started = true;
        m_startTime = Clock::now();
        m_position = 0;
        return true;
    }
    bool restartsEachRecording() const override { return m_mode == InputMode::PerRecording; }
    void stop() override {}  // the room plays on: it is the speaker, not the microphone

    std::uint64_t captured() const override
    {
        std::lock_guard lock(m_mutex);
        return capturedLocked();
    }
    std::uint64_t oldest() const override
    {
        std::lock_guard lock(m_mutex);
        const std::uint64_t c = capturedLocked();
        return c > kCaptureRingSamples ? c - kCaptureRingSamples : 0;
    }
    bool read(std::uint64_t from, std::int16_t* out, std::size_t n) const override
    {
        // The file then silence; a pure function of the position.
        const std::uint64_t size = m_samples.size();
        std::size_t k = 0;
        if (from < size) {
            k = std::size_t(std::min<std::uint64_t>(n, size - from));
            std::memcpy(out, m_samples.data() + from, k * sizeof(std::int16_t));
        }
        std::memset(out + k, 0, (n - k) * sizeof(std::int16_t));
        return true;
    }
    bool onDemand() const override { return m_pace == Pace::Fast; }
    void produceUpTo(std::uint64_t position) override
    {
        std::lock_guard lock(m_mutex);
        m_position = std::max(m_position, position);
    }
    void usedUpTo(std::uint64_t position) override
    {
        std::lock_guard lock(m_mutex);
        if (m_pace == Pace::Fast)
            m_position = position;  // set back to what the recording used
    }

private:
    std::uint64_t capturedLocked() const
    {
        if (!m_started)
            return 0;
        if (m_pace == Pace::Fast)
            return m_position;
        const auto us = std::chrono::duration_cast<std::chrono::microseconds>(Clock::now() - m_startTime).count();
        return std::uint64_t(us) * kSampleRate / 1000000;
    }

    const std::string m_path;  // empty: a silent room
    std::vector<std::int16_t> m_samples;  // set by start(), before any recording reads it
    const Pace m_pace;
    const InputMode m_mode;
    mutable std::mutex m_mutex;
    bool m_started = false;
    Clock::time_point m_startTime;
    std::uint64_t m_position = 0;  // fast pace: where the room has got to
};

class ContinuousInput final : public SoundInput {
public:
    explicit ContinuousInput(std::unique_ptr<CaptureSource> source) : m_source(std::move(source)) {}
    ~ContinuousInput() override { release(); }

    bool open(std::int16_t* buffer, std::size_t count, std::function<void()> onBufferFull,
              std::string* error) override
    {
        return begin(false, buffer, count, std::move(onBufferFull), error);
    }
    bool openContinuing(std::int16_t* buffer, std::size_t count, std::function<void()> onBufferFull,
                        std::string* error) override
    {
        return begin(true, buffer, count, std::move(onBufferFull), error);
    }

    std::size_t samplesDelivered() const override { return m_delivered.load(std::memory_order_acquire); }
    std::size_t close() override { return closeUsed(m_delivered.load()); }

    std::size_t closeUsed(std::size_t used) override
    {
        if (!m_open.exchange(false))
            return 0;
        {
            std::lock_guard lock(m_mutex);
            m_stop = true;
        }
        m_cv.notify_all();
        joinThread();
        const std::size_t delivered = m_delivered.load();
        m_next = m_recordingStart + std::min(used, delivered);
        m_haveNext = true;
        m_source->usedUpTo(m_next);
        return delivered;
    }

    void release() override
    {
        close();
        if (m_running) {
            m_source->stop();
            m_running = false;
        }
        m_haveNext = false;
    }

    bool isOpen() const override { return m_open.load(); }
    bool keepsRunning() const override { return !m_source->restartsEachRecording(); }

private:
    bool begin(bool continuing, std::int16_t* buffer, std::size_t count, std::function<void()> onBufferFull,
               std::string* error)
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
        if (!m_running || m_source->restartsEachRecording()) {
            if (!m_source->start(error))
                return false;
            m_running = true;
            m_haveNext = false;  // a device started afresh has no backlog
        }
        joinThread();
        const std::uint64_t now = m_source->captured();
        std::uint64_t start = now;
        if (continuing && m_haveNext)
            start = std::clamp(m_next, std::min(m_source->oldest(), now), now);
        m_recordingStart = start;
        m_buffer = buffer;
        m_count = count;
        m_onFull = std::move(onBufferFull);
        m_delivered.store(0);
        m_open.store(true);
        std::lock_guard lock(m_mutex);
        m_stop = false;
        m_thread = std::thread([this]() { run(); });
        return true;
    }

    void joinThread()
    {
        if (!m_thread.joinable())
            return;
        if (m_thread.get_id() == std::this_thread::get_id())
            m_thread.detach();  // closed from inside onBufferFull; the thread ends after it
        else
            m_thread.join();
    }

    // Copies what the source holds past the samples delivered into the
    // caller's buffer; a stretch the ring lost meanwhile becomes silence.
    void deliverAvailable()
    {
        const std::size_t done = m_delivered.load(std::memory_order_relaxed);
        const std::uint64_t from = m_recordingStart + done;
        if (m_source->onDemand())
            m_source->produceUpTo(from + std::min(kFastStep, m_count - done));
        const std::uint64_t captured = m_source->captured();
        if (captured <= from)
            return;
        const std::size_t n = std::size_t(std::min<std::uint64_t>(captured - from, m_count - done));
        const std::uint64_t oldest = m_source->oldest();
        std::size_t lost = from < oldest ? std::size_t(std::min<std::uint64_t>(oldest - from, n)) : 0;
        std::memset(m_buffer + done, 0, lost * sizeof(std::int16_t));
        if (lost < n && !m_source->read(from + lost, m_buffer + done + lost, n - lost))
            std::memset(m_buffer + done + lost, 0, (n - lost) * sizeof(std::int16_t));
        m_delivered.store(done + n, std::memory_order_release);
    }

    void run()
    {
        {
            std::lock_guard lock(m_mutex);  // begin() has finished setting up
        }
        auto next = Clock::now();
        for (;;) {
            deliverAvailable();
            std::unique_lock lock(m_mutex);
            if (m_stop)
                return;
            if (m_delivered.load() == m_count) {
                // Full: tell the owner (unless a close came first) and stop
                // copying, as a device hands its buffer back.
                auto f = m_onFull;
                lock.unlock();
                if (f)
                    f();
                return;
            }
            if (!m_source->onDemand()) {
                next += std::chrono::milliseconds(10);
                if (m_cv.wait_until(lock, next, [this] { return m_stop; }))
                    return;
            }
        }
    }

    std::unique_ptr<CaptureSource> m_source;
    bool m_running = false;                 // the source captures
    bool m_haveNext = false;                // a recording has ended since the source started
    std::uint64_t m_next = 0;               // where a continuing recording begins
    std::uint64_t m_recordingStart = 0;
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

}  // namespace

std::unique_ptr<SoundInput> makeContinuousInput(std::unique_ptr<CaptureSource> source)
{
    return std::make_unique<ContinuousInput>(std::move(source));
}

std::unique_ptr<CaptureSource> makeRoomSource(const std::string& path, Pace pace, InputMode mode)
{
    return std::make_unique<RoomSource>(path, pace, mode);
}

}  // namespace talvor::platform::detail
