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
//                     the microphone.
//   TALVOR_AUDIO_IN_MODE  how a WAV (or null) input plays:
//                     "per-recording" (default): the file again from its start
//                     at every recording, then silence until closed or full;
//                     "continuous": the file once into a room, from the first
//                     recording on, like a person who keeps speaking; later
//                     recordings continue from where the room has got to, and
//                     after the file's end the room is silent.
//   TALVOR_AUDIO_OUT  unset or "default": PortAudio's default output device;
//                     "null": plays nothing, the position advances in real time;
//                     a path to a .wav file: what is played is written there.
//   TALVOR_AUDIO_PACE "realtime" (default) or "fast": how a WAV or null input
//                     delivers its samples.
// A WAV file must be 8000 Hz, mono, 16-bit PCM; any other format is refused
// with a message (no silent resampling).  Without a device, open fails with
// the device's own error text and a line on how to use a WAV file instead.
//
// Pacing: "realtime" delivers in 10 ms steps at 8000 samples per second;
// "fast" delivers as fast as it can, so the buffer is full (and onBufferFull
// called) almost at once: use it where the whole recording is wanted, real
// time where a consumer must see it grow.  close() may be called from inside
// onBufferFull; from elsewhere it waits for a call under way.  The null and
// WAV outputs advance their position in real time; the WAV output writes the
// whole copy to its file when play() is called.
//
// Inputs that keep running (the microphone, and a WAV or null input in the
// continuous mode) capture on between recordings into a ring of their own
// (kCaptureRingSamples, about 8 s) until release():
//   - open() begins the recording at the moment of the call (a press of
//     Speak); openContinuing() begins it right after the last sample that the
//     previous recording used, so nothing said between two recordings is lost
//     however long the caller took over the last one (a backlog older than
//     the ring is gone: the recording then begins at the oldest sample held).
//   - closeUsed(used) ends a recording and says how many of the samples it
//     delivered the caller consumed; close() counts all delivered as used.
//     close() only stops copying into the caller's buffer: the device runs on.
//   - release() stops capturing for good and releases the device; the next
//     open starts it again (the PortAudio library itself is initialised once
//     per process and never again, see soundBackendInitialisations()).
// The continuous WAV room in realtime pace plays on in real time from the
// first recording whether or not anything records (release() does not stop a
// room: it is the speaker, not the microphone).  At fast pace the room moves
// only as recordings take from it: a recording is delivered as fast as it
// can be read, and at close the room is set back to what the caller used, so
// the next recording (continuing or not) begins right after the last sample
// the previous one used, and a run over a stream is the same at every run.
// Inputs that do not keep running (per-recording WAV and null) treat
// openContinuing() as open() and release() as nothing.
//
// Use:
//     auto in = createSoundInput();          // as the environment says
//     std::string error;
//     if (!in->open(buffer, 104000, [] { /* full: on the input's thread */ }, &error))
//         dialogs().messageBox(error, "ERROR ON THE SOUND CARD MEDIA", ...);
//     ... in->samplesDelivered() from a timer ...
//     std::size_t recorded = in->close();
//     ... in->openContinuing(buffer, 104000, ...) for the next word ...
//     in->release();                          // listening is over

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

    // Begins right after the last sample the previous recording used (see
    // above); an input that does not keep running opens as open() does.
    virtual bool openContinuing(std::int16_t* buffer, std::size_t count, std::function<void()> onBufferFull,
                                std::string* error) = 0;
    // As close(); only the first `used` samples delivered (at most all) were
    // consumed, so a continuing recording begins right after them.
    virtual std::size_t closeUsed(std::size_t used) = 0;
    // Ends any recording, stops capturing for good and releases the device.
    virtual void release() = 0;
    // True for an input that captures on between recordings.
    virtual bool keepsRunning() const = 0;
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
enum class InputMode { PerRecording, Continuous };
std::unique_ptr<SoundInput> createWavFileInput(const std::string& path, Pace pace,
                                               InputMode mode = InputMode::PerRecording);
std::unique_ptr<SoundInput> createNullInput(Pace pace, InputMode mode = InputMode::PerRecording);
std::unique_ptr<SoundInput> createPortAudioInput();
std::unique_ptr<SoundOutput> createWavFileOutput(const std::string& path);
std::unique_ptr<SoundOutput> createNullOutput();
std::unique_ptr<SoundOutput> createPortAudioOutput();

// What the environment selects for the input, as one text (TALVOR_AUDIO_IN,
// TALVOR_AUDIO_IN_MODE, TALVOR_AUDIO_PACE): a holder of an input can tell when
// the selection has changed and a new input is due.
std::string soundInputSelection();

// The samples a running input keeps between recordings (8.192 s).
inline constexpr std::size_t kCaptureRingSamples = std::size_t(1) << 16;

// How many times this process has initialised the PortAudio library (at most
// once: it stays initialised for the process's life).
std::size_t soundBackendInitialisations();

// The longest WAV file read: one hour of sound.
inline constexpr std::int64_t kMaxWavSamples = std::int64_t(8000) * 60 * 60;

// Reads a whole WAV file of 8000 Hz mono 16-bit samples.  False with a message
// for a missing file, another format, or a header that announces more samples
// than the file holds or than kMaxWavSamples.
bool readWav(const std::string& path, std::vector<std::int16_t>* samples, std::string* error);
bool writeWav(const std::string& path, const std::int16_t* samples, std::size_t count, std::string* error);

}  // namespace talvor::platform
