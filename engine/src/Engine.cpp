#include "engine/Engine.h"

#include <algorithm>
#include <cstring>
#include <utility>

namespace talvor::engine {

namespace {

constexpr const char* kNoDeviceText = "No sound device is available.";
constexpr const char* kOpenFailedText = "The sound device could not be opened.";

}  // namespace

Engine::Engine(EngineServices services)
    : m_services(std::move(services)), m_detector(m_services.allocate)
{
    if (!m_detector.hasRecordBuffer())
        ShowAppMessage(kMemoryErrorText);
    m_detector.setMaxWordLength(TokenDetector::kDefaultMaxWordLength);
    m_result = TokenResult{};
    m_detector.LinkTokenResult(&m_result);
}

Engine::~Engine()
{
    killTimer();
    m_tokenRunning = false;
    ReleaseSoundCardIn();
    CloseSoundCardOut();
}

std::int32_t Engine::InitSoundCard()
{
    m_inputFormat = SoundFormat;
    m_outputFormat = SoundFormat;
    m_soundInitialised = true;
    return 0;
}

DeviceHandle Engine::OpenSoundCardIn(std::int16_t* samples, std::int32_t count)
{
    return openInput(samples, count, false);
}

DeviceHandle Engine::openInput(std::int16_t* samples, std::int32_t count, bool continuing)
{
    if (!m_soundInitialised)
        InitSoundCard();
    if (count <= 0 || samples == nullptr)
        return 0;
    if (m_recording.load())
        return m_inputHandle;

    m_bufferFull.store(false);
    const std::uint64_t generation = m_inputGeneration.fetch_add(1) + 1;
    // Marked before the device starts, so that a buffer filled at once is noticed.
    m_recording.store(true);
    std::string error;
    auto onFull = [this, generation] { SoundInCallback(generation); };
    const auto n = static_cast<std::size_t>(count);
    const bool opened =
        m_services.soundIn && (continuing ? m_services.soundIn->openContinuing(m_inputFormat, samples, n, onFull, &error)
                                          : m_services.soundIn->open(m_inputFormat, samples, n, onFull, &error));
    if (!opened) {
        m_recording.store(false);
        m_inputGeneration.fetch_add(1);
        SoundCardError(m_services.soundIn ? (error.empty() ? kOpenFailedText : error) : kNoDeviceText);
        return 0;
    }
    m_inputBuffer = samples;
    m_inputCount = static_cast<std::size_t>(count);
    m_inputHandle = m_nextHandle++;
    return m_inputHandle;
}

std::int32_t Engine::CloseSoundCardIn()
{
    if (m_inputClosing.exchange(true))
        return -1;
    if (!m_recording.load()) {
        m_inputClosing.store(false);
        return 0;
    }
    // Cleared first, so that the buffer handed back by the close raises nothing.
    m_recording.store(false);
    m_inputGeneration.fetch_add(1);
    // A device that keeps running goes on, for a continuing recording, right
    // after the samples the detector has taken; samples it delivered beyond
    // them (the fetch trails the device by up to a tick, or by the whole
    // buffer at fast pace) belong to the next word.
    std::size_t position;
    if (m_inputBuffer == m_detector.recordBuffer()) {
        const std::int32_t taken = m_detector.fetchStarted() ? m_detector.nextSample() - 1 : 0;
        position = m_services.soundIn->closeUsed(static_cast<std::size_t>(std::max(0, taken)));
    } else
        position = m_services.soundIn->close();
    m_inputHandle = 0;
    m_inputBuffer = nullptr;
    m_inputCount = 0;
    m_inputClosing.store(false);
    return static_cast<std::int32_t>(position);
}

void Engine::ReleaseSoundCardIn()
{
    if (m_tokenRunning)
        StopTokenProces();
    CloseSoundCardIn();
    if (m_services.soundIn)
        m_services.soundIn->release();
}

void Engine::SoundInCallback(std::uint64_t generation)
{
    // Runs on the device's thread: only a flag, read by the next timer tick.
    if (generation != m_inputGeneration.load() || !m_recording.load())
        return;
    m_bufferFull.store(true);
}

DeviceHandle Engine::OpenSoundCardOut(const std::int16_t* samples, std::int32_t count)
{
    if (!m_soundInitialised)
        InitSoundCard();
    if (m_playing)
        return m_outputHandle;
    if (count <= 0 || samples == nullptr)
        return 0;

    m_playbackCopy.reset();
    m_playbackCount = 0;
    auto copy = m_services.allocate ? m_services.allocate(static_cast<std::size_t>(count)) : nullptr;
    if (!copy) {
        ShowAppMessage(kMemoryErrorText);
        return 0;
    }
    std::memcpy(copy.get(), samples, static_cast<std::size_t>(count) * sizeof(std::int16_t));
    m_playbackCopy = std::move(copy);
    m_playbackCount = static_cast<std::size_t>(count);

    std::string error;
    const bool started = m_services.soundOut &&
                         m_services.soundOut->play(m_outputFormat, m_playbackCopy.get(), m_playbackCount, &error);
    if (!started) {
        m_playbackCopy.reset();
        m_playbackCount = 0;
        SoundCardError(m_services.soundOut ? (error.empty() ? kOpenFailedText : error) : kNoDeviceText);
        return 0;
    }
    m_playing = true;
    m_outputHandle = m_nextHandle++;
    return m_outputHandle;
}

std::int32_t Engine::CloseSoundCardOut()
{
    if (m_outputClosing.exchange(true))
        return -1;
    m_playing = false;
    const std::size_t position = m_services.soundOut ? m_services.soundOut->close() : 0;
    m_playbackCopy.reset();
    m_playbackCount = 0;
    m_outputHandle = 0;
    m_outputClosing.store(false);
    return static_cast<std::int32_t>(position);
}

void Engine::killTimer()
{
    if (m_services.timer && m_services.timer->isActive())
        m_services.timer->stop();
}

DeviceHandle Engine::TokenProces(WindowHandle window)
{
    return startTokenProcess(window, false);
}

DeviceHandle Engine::ContinueTokenProces(WindowHandle window)
{
    return startTokenProcess(window, true);
}

DeviceHandle Engine::startTokenProcess(WindowHandle window, bool continuing)
{
    // The previous word's result is void from here on, whatever follows: a
    // caller that stops before the first block (or whose start fails) must
    // read "still running", not the old word's status and bounds.
    m_result.status = TokenRunning;
    if (!m_soundInitialised)
        InitSoundCard();
    if (!m_detector.hasRecordBuffer())
        return 0;

    // A process already under way ends here; the new one starts cleanly.
    killTimer();
    m_tokenRunning = false;
    if (m_recording.load())
        CloseSoundCardIn();

    std::fill_n(m_detector.recordBuffer(), TokenDetector::kBufferSamples, std::int16_t{0});
    m_window = window;
    m_notified = false;
    const DeviceHandle input = openInput(m_detector.recordBuffer(), TokenDetector::kBufferSamples, continuing);
    if (input == 0)
        return 0;

    m_detector.restartFetch();
    m_detector.LinkTokenResult(&m_result);

    if (!m_services.timer || !m_services.timer->start(kTokenTimerMs, [this] { TokenTimerProc(); })) {
        ShowAppMessage(kTimerFailedText);
        CloseSoundCardIn();
        return 0;
    }
    m_tokenRunning = true;
    return input;
}

void Engine::TokenTimerProc()
{
    if (m_timerBusy)
        return;
    m_timerBusy = true;
    if (!m_tokenRunning || m_notified) {
        m_timerBusy = false;
        return;
    }

    // The first call of a new recording's fetch starts it (and resets the
    // recorded count), so it comes before the count is published.
    if (!m_detector.fetchStarted())
        m_detector.NextFrame();

    bool full = false;
    if (m_recording.load() && m_inputBuffer == m_detector.recordBuffer()) {
        full = m_bufferFull.load();
        const std::size_t delivered = full ? m_inputCount : m_services.soundIn->samplesDelivered();
        m_detector.setRecorded(static_cast<std::int32_t>(std::min(delivered, m_inputCount)));
    }

    // With a full buffer every block delivered is taken before the detector
    // reports the buffer used up, so a word in it still ends properly and the
    // one notification is TokenKeyDone; TokenKeyBufferFull remains for a full
    // buffer that left the detector undecided.
    const int status = m_detector.ProcessFrames();
    if (status <= 0 || full) {
        killTimer();
        CloseSoundCardIn();
        m_notified = true;
        if (m_services.messages)
            m_services.messages->post(m_window, WM_KEYDOWN, status <= 0 ? TokenKeyDone : TokenKeyBufferFull, 0);
    }
    m_timerBusy = false;
}

std::int32_t Engine::StopTokenProces()
{
    if (!m_tokenRunning)
        return 0;
    killTimer();
    CloseSoundCardIn();
    m_tokenRunning = false;
    return 0;
}

std::int32_t Engine::GetTokenParam(float* features, std::int32_t* startFrame, std::int32_t* endFrame,
                                   std::int16_t* samples, std::int32_t* startSample, std::int32_t* endSample)
{
    // Frames 0 .. end frame + 9 and samples 0 .. end sample + 800, cut at the
    // end of the frame store and of the recording buffer.
    const int frames = std::clamp(static_cast<int>(m_result.endFrame) + 10, 0, TokenDetector::kFrameStoreSize);
    if (features && frames > 0)
        std::memcpy(features, m_detector.frames(), static_cast<std::size_t>(frames) * sizeof(FeatureFrame));
    if (startFrame)
        *startFrame = m_result.startFrame;
    if (endFrame)
        *endFrame = m_result.endFrame;

    const std::int64_t wanted = static_cast<std::int64_t>(m_result.endSample) + 801;
    const std::int64_t count =
        m_detector.hasRecordBuffer() ? std::clamp<std::int64_t>(wanted, 0, TokenDetector::kBufferSamples) : 0;
    if (samples && count > 0)
        std::memcpy(samples, m_detector.recordBuffer(), static_cast<std::size_t>(count) * sizeof(std::int16_t));
    if (startSample)
        *startSample = m_result.startSample;
    if (endSample)
        *endSample = m_result.endSample;
    return m_result.status;
}

std::int32_t Engine::ChangeTokenMaxFrames(std::int32_t frames)
{
    // Below 15 means the default; the frame store holds words of up to 200
    // frames with their context, so larger values become 200 as well.
    if (frames < kMinTokenMaxFrames || frames > TokenDetector::kDefaultMaxWordLength)
        frames = TokenDetector::kDefaultMaxWordLength;
    m_detector.setMaxWordLength(frames);
    return frames;
}

std::int32_t Engine::Recompute()
{
    const bool recordingIntoBuffer = m_recording.load() && m_inputBuffer == m_detector.recordBuffer();
    if (recordingIntoBuffer || (m_tokenRunning && !m_notified))
        return m_result.status;
    if (m_detector.recorded() < kRecomputeMinSamples)
        return TokenRunning;
    m_detector.rewind();
    m_detector.ProcessFrames();
    return m_result.status;
}

void Engine::SoundCardError(const std::string& text)
{
    if (text.empty() || !m_services.messageBoxes)
        return;
    m_services.messageBoxes->show(text, kSoundErrorCaption, MessageIcon::Information);
}

void Engine::ShowAppMessage(const std::string& text)
{
    if (m_services.messageBoxes)
        m_services.messageBoxes->show(text, kAppMessageCaption, MessageIcon::Warning);
}

}  // namespace talvor::engine
