#pragma once
// Shared pieces of the sound back ends.
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/Audio.h"

namespace talvor::platform::detail {

// Where a running input's samples come from.  Positions count samples from
// the source's first start and never go back (but for a room at fast pace,
// which is set back to what a recording used).
class CaptureSource {
public:
    virtual ~CaptureSource() = default;
    // Starts capturing unless it already runs; false with the device's text.
    virtual bool start(std::string* error) = 0;
    // Stops capturing and releases the device.
    virtual void stop() = 0;
    // Just past the last sample captured.
    virtual std::uint64_t captured() const = 0;
    // The oldest sample still held.
    virtual std::uint64_t oldest() const = 0;
    // Copies [from, from + n), which lies in [oldest, captured), into out;
    // false when part of it was overwritten while it was copied.
    virtual bool read(std::uint64_t from, std::int16_t* out, std::size_t n) const = 0;
    // A source that produces only as it is read (the room at fast pace).
    virtual bool onDemand() const { return false; }
    virtual void produceUpTo(std::uint64_t) {}
    // A recording used the samples up to `position`; a room at fast pace goes
    // on from there.
    virtual void usedUpTo(std::uint64_t) {}
    // A source that starts afresh at every recording (the per-recording WAV):
    // nothing carries over from one recording to the next.
    virtual bool restartsEachRecording() const { return false; }
};

// The running input over a source (see Audio.h).
std::unique_ptr<SoundInput> makeContinuousInput(std::unique_ptr<CaptureSource> source);

// A WAV file (silence for an empty path) played into a room: continuous, read
// at the first start and played once; per recording, read and played from
// its start at every recording.
std::unique_ptr<CaptureSource> makeRoomSource(const std::string& path, Pace pace, InputMode mode);

// The default PortAudio input device, capturing into a ring.
std::unique_ptr<CaptureSource> makePortAudioSource();

}  // namespace talvor::platform::detail
