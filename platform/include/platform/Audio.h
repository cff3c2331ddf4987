#pragma once
// Sound devices for 8000 Hz, 16-bit signed, mono.
//
// An input records straight into the caller's buffer, which must stay valid
// until the input is closed.  It publishes the exact number of samples
// delivered so far (samplesDelivered, atomic) and calls onBufferFull once, on
// its own thread, when the buffer is full.  close() (reset and close) returns
// the number of samples delivered.  An output plays a copy of the caller's
// samples and reports its position.
//
// Back ends, chosen by the environment:
//   TALVOR_AUDIO_IN   unset or "default": PortAudio's default input device;
//                     "null": a silent room (zeros at real-time pace);
//                     a path to a .wav file: the file played as if spoken into
//                     the microphone, then silence until closed or full.
//   TALVOR_AUDIO_OUT  unset or "default": PortAudio's default output device;
//                     "null": plays nothing, the position advances in real time;
//                     a path to a .wav file: what is played is written there.
//   TALVOR_AUDIO_PACE "realtime" (default) or "fast": how a WAV or null input
//                     delivers its samples.
// A WAV file must be 8000 Hz, mono, 16-bit PCM; any other format is refused
// with a message (no silent resampling).  Without a device, open fails with
// the device's own error text.
//
// Pacing: "realtime" delivers in 10 ms steps at 8000 samples per second;
// "fast" delivers the file and the silence after it as fast as it can, so the
// buffer is full (and onBufferFull called) almost at once: use it where the
// whole recording is wanted, real time where a consumer must see it grow.
// The WAV input reads its file again at every open.  close() may be called
// from inside onBufferFull; from elsewhere it waits for a call under way.
// The null and WAV outputs advance their position in real time; the WAV
// output writes the whole copy to its file when play() is called.
//
// Use:
//     auto in = createSoundInput();          // as the environment says
//     std::string error;
//     if (!in->open(buffer, 104000, [] { /* full: on the input's thread */ }, &error))
//         dialogs().messageBox(error, "ERROR ON THE SOUND CARD MEDIA", ...);
//     ... in->samplesDelivered() from a timer ...
//     std::size_t recorded = in->close();

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace talvor::platform {

constexpr int kSampleRate = 8000;

class SoundInput {
public:
    virtual ~SoundInput();
    // Starts recording `count` samples into `buffer`.  False with the device's
    // error text in *error when the device cannot be opened.
    virtual bool open(std::int16_t* buffer, std::size_t count, std::function<void()> onBufferFull,
                      std::string* error) = 0;
    virtual std::size_t samplesDelivered() const = 0;  // any thread
    // Stops, releases the device and returns the samples delivered; 0 when not open.
    // onBufferFull is not called after close() has returned.
    virtual std::size_t close() = 0;
    virtual bool isOpen() const = 0;
};

class SoundOutput {
public:
    virtual ~SoundOutput();
    // Plays a copy of `count` samples.  False with the error text when the
    // device cannot be opened.
    virtual bool play(const std::int16_t* samples, std::size_t count, std::string* error) = 0;
    virtual std::size_t position() const = 0;  // samples played so far
    virtual bool isPlaying() const = 0;        // false once everything has been played
    // Stops, releases the device and returns the position.
    virtual std::size_t close() = 0;
};

// Back ends selected by TALVOR_AUDIO_IN / TALVOR_AUDIO_OUT (see above).
std::unique_ptr<SoundInput> createSoundInput();
std::unique_ptr<SoundOutput> createSoundOutput();

// Explicit back ends, for tests and tools.
enum class Pace { RealTime, Fast };
std::unique_ptr<SoundInput> createWavFileInput(const std::string& path, Pace pace);
std::unique_ptr<SoundInput> createNullInput(Pace pace);
std::unique_ptr<SoundInput> createPortAudioInput();
std::unique_ptr<SoundOutput> createWavFileOutput(const std::string& path);
std::unique_ptr<SoundOutput> createNullOutput();
std::unique_ptr<SoundOutput> createPortAudioOutput();

// The longest WAV file read: one hour of sound.
inline constexpr std::int64_t kMaxWavSamples = std::int64_t(8000) * 60 * 60;

// Reads a whole WAV file of 8000 Hz mono 16-bit samples.  False with a message
// for a missing file, another format, or a header that announces more samples
// than the file holds or than kMaxWavSamples.
bool readWav(const std::string& path, std::vector<std::int16_t>* samples, std::string* error);
bool writeWav(const std::string& path, const std::int16_t* samples, std::size_t count, std::string* error);

}  // namespace talvor::platform
