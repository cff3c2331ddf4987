#pragma once
// The services the engine runs on, as small interfaces: sound input and
// output, the detection timer, the sink for the window notifications, message
// boxes and the allocator of sample blocks.  The library wires them to the
// platform layer; tests hand the engine fakes.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

namespace talvor::engine {

// A PCM wave format (the fields of a wave format record).
struct WaveFormat {
    std::uint16_t formatTag = 0;
    std::uint16_t channels = 0;
    std::uint32_t samplesPerSec = 0;
    std::uint32_t avgBytesPerSec = 0;
    std::uint16_t blockAlign = 0;
    std::uint16_t bitsPerSample = 0;
    std::uint16_t extraSize = 0;

    friend bool operator==(const WaveFormat&, const WaveFormat&) = default;
};

// The one format of input and output: PCM, mono, 8000 samples/s, 16 bits.
inline constexpr WaveFormat SoundFormat{1, 1, 8000, 16000, 2, 16, 0};

// Records straight into the caller's buffer.
class SoundIn {
public:
    virtual ~SoundIn() = default;
    // Starts recording `count` samples into `buffer`.  onBufferFull is called
    // once, on the device's own thread, when the buffer is full.  False with
    // the device's error text in *error when the device cannot be opened; a
    // failed open leaves nothing open.
    virtual bool open(const WaveFormat& format, std::int16_t* buffer, std::size_t count,
                      std::function<void()> onBufferFull, std::string* error) = 0;
    // The exact number of samples delivered into the buffer so far (any thread).
    virtual std::size_t samplesDelivered() const = 0;
    // Ends the recording; returns the samples delivered (0 when not open).
    // onBufferFull is not called after close() has returned.  A device that
    // keeps running between recordings only stops copying into the buffer.
    virtual std::size_t close() = 0;

    // A recording that begins right after the last sample the previous one
    // used (a device that does not keep running begins as open() does).
    virtual bool openContinuing(const WaveFormat& format, std::int16_t* buffer, std::size_t count,
                                std::function<void()> onBufferFull, std::string* error)
    {
        return open(format, buffer, count, std::move(onBufferFull), error);
    }
    // As close(); of the samples delivered only the first `used` were consumed.
    virtual std::size_t closeUsed(std::size_t used)
    {
        (void)used;
        return close();
    }
    // Listening is over: the device stops capturing and is released.
    virtual void release() { close(); }
};

// Plays samples that stay valid until close().
class SoundOut {
public:
    virtual ~SoundOut() = default;
    virtual bool play(const WaveFormat& format, const std::int16_t* samples, std::size_t count,
                      std::string* error) = 0;
    // Stops and releases the device; returns the samples played (0 when not open).
    virtual std::size_t close() = 0;
};

// A periodic timer that ticks on the thread that started it.
class TickTimer {
public:
    virtual ~TickTimer() = default;
    // Starts (or restarts) ticking every intervalMs; false when it cannot run.
    virtual bool start(int intervalMs, std::function<void()> tick) = 0;
    // No tick runs after stop() has returned on the thread that started it.
    virtual void stop() = 0;
    virtual bool isActive() const = 0;
};

// Queues a window message for the window's thread (any thread may post).
class MessageSink {
public:
    virtual ~MessageSink() = default;
    virtual bool post(std::uint32_t window, std::uint32_t msg, std::uint32_t wParam, std::int32_t lParam) = 0;
};

enum class MessageIcon { Information, Warning };

// Shows a message to the user and waits until it is acknowledged.
class MessageBoxes {
public:
    virtual ~MessageBoxes() = default;
    virtual void show(const std::string& text, const std::string& caption, MessageIcon icon) = 0;
};

// Allocates a block of samples; null when the memory is not there.
using SampleAllocator = std::function<std::unique_ptr<std::int16_t[]>(std::size_t count)>;
std::unique_ptr<std::int16_t[]> allocateSamples(std::size_t count);  // the plain heap

// Everything an engine needs.  A missing device behaves as a device that
// cannot be opened; a missing timer as one that cannot start.
struct EngineServices {
    std::unique_ptr<SoundIn> soundIn;
    std::unique_ptr<SoundOut> soundOut;
    std::unique_ptr<TickTimer> timer;
    std::unique_ptr<MessageSink> messages;
    std::unique_ptr<MessageBoxes> messageBoxes;
    SampleAllocator allocate = allocateSamples;
};

}  // namespace talvor::engine
