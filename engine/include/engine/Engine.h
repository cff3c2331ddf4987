#pragma once
// The engine: sound input and output and the token process over injected
// services.  The library's C exports delegate to one process-wide Engine;
// tests build their own with fake services.
//
// Token process: TokenProces(window) records into the detector's buffer and
// starts a 50 ms timer on the calling thread; each tick takes the blocks
// delivered so far, computes their feature frames and runs the endpoint step.
// When the detector ends (word found, word too early, buffer used up) the
// recording is closed and TokenKeyDone is posted to the window; exactly one
// notification is posted per TokenProces, none after StopTokenProces.  The
// sound device's thread only sets flags.
//
// Closing the input (CloseSoundCardIn, and the end of a token process) stops
// the recording into the caller's buffer; a device that keeps running goes on
// capturing until ReleaseSoundCardIn, so that ContinueTokenProces can begin
// the next recording right after the samples the detector took.

#include "engine/Services.h"
#include "engine/TokenDetector.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>

namespace talvor::engine {

using DeviceHandle = std::intptr_t;   // 0 = none
using WindowHandle = std::uint32_t;   // 0 = none

inline constexpr std::uint32_t WM_KEYDOWN = 0x0100;
inline constexpr std::uint32_t TokenKeyBufferFull = 26664;  // 0x6828
inline constexpr std::uint32_t TokenKeyDone = 26665;        // 0x6829
inline constexpr int kTokenTimerMs = 50;
inline constexpr std::int32_t kMinTokenMaxFrames = 15;
inline constexpr std::int32_t kRecomputeMinSamples = 800;

inline constexpr const char* kSoundErrorCaption = "ERROR ON THE SOUND CARD MEDIA";
inline constexpr const char* kAppMessageCaption = "Application message";
inline constexpr const char* kTimerFailedText = "I can't set the Timer.";
inline constexpr const char* kMemoryErrorText = "Memory allocation error";

class Engine {
public:
    // Builds the detector (allocating the recording buffer; a failure is
    // reported by message box) with a maximum word length of 200 frames.
    explicit Engine(EngineServices services);
    ~Engine();
    Engine(const Engine&) = delete;
    Engine& operator=(const Engine&) = delete;

    std::int32_t InitSoundCard();
    DeviceHandle OpenSoundCardIn(std::int16_t* samples, std::int32_t count);
    std::int32_t CloseSoundCardIn();
    DeviceHandle OpenSoundCardOut(const std::int16_t* samples, std::int32_t count);
    std::int32_t CloseSoundCardOut();
    DeviceHandle TokenProces(WindowHandle window);
    // As TokenProces, but the recording begins right after the last sample
    // the previous token process took from an input that kept running (run-
    // time listening loses nothing between words).
    DeviceHandle ContinueTokenProces(WindowHandle window);
    std::int32_t StopTokenProces();
    // Listening is over for good: any token process ends and the input
    // device stops capturing.
    void ReleaseSoundCardIn();
    std::int32_t GetTokenParam(float* features, std::int32_t* startFrame, std::int32_t* endFrame,
                               std::int16_t* samples, std::int32_t* startSample, std::int32_t* endSample);
    std::int32_t ChangeTokenMaxFrames(std::int32_t frames);
    std::int32_t Recompute();
    // Why the last word candidate of this recording was given up (TokenDiscard).
    std::int32_t GetTokenDiscard() const { return m_result.discarded; }

    // For the library's users and tests.
    const TokenDetector& detector() const { return m_detector; }
    TokenDetector& detector() { return m_detector; }
    const TokenResult& tokenResult() const { return m_result; }
    bool soundInitialised() const { return m_soundInitialised; }
    bool recording() const { return m_recording.load(); }
    bool tokenProcessRunning() const { return m_tokenRunning; }
    bool playing() const { return m_playing; }
    std::size_t playbackCopyLength() const { return m_playbackCount; }
    const WaveFormat& inputFormat() const { return m_inputFormat; }
    const WaveFormat& outputFormat() const { return m_outputFormat; }

private:
    DeviceHandle openInput(std::int16_t* samples, std::int32_t count, bool continuing);
    DeviceHandle startTokenProcess(WindowHandle window, bool continuing);
    void TokenTimerProc();
    void SoundInCallback(std::uint64_t generation);
    void SoundCardError(const std::string& text);  // the device's own error text
    void ShowAppMessage(const std::string& text);
    void killTimer();

    EngineServices m_services;
    TokenDetector m_detector;
    TokenResult m_result;

    WaveFormat m_inputFormat{};
    WaveFormat m_outputFormat{};
    bool m_soundInitialised = false;

    // Input side.
    DeviceHandle m_inputHandle = 0;
    std::atomic<bool> m_recording{false};
    std::atomic<bool> m_inputClosing{false};
    std::atomic<bool> m_bufferFull{false};
    std::atomic<std::uint64_t> m_inputGeneration{0};
    std::int16_t* m_inputBuffer = nullptr;
    std::size_t m_inputCount = 0;

    // Output side.
    DeviceHandle m_outputHandle = 0;
    bool m_playing = false;
    std::atomic<bool> m_outputClosing{false};
    std::unique_ptr<std::int16_t[]> m_playbackCopy;
    std::size_t m_playbackCount = 0;

    DeviceHandle m_nextHandle = 1;

    // Token process.
    WindowHandle m_window = 0;
    bool m_tokenRunning = false;
    bool m_timerBusy = false;
    bool m_notified = false;  // the one notification of this process has been posted
};

}  // namespace talvor::engine
