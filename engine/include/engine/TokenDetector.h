#pragma once
// The word (token) detector: owns the recording buffer and the store of
// feature frames, fetches the recording block by block, has each block turned
// into a feature frame and decides frame by frame, on the frame energy
// against a running background level, where a word starts and ends.

#include "engine/FeatureFrame.h"
#include "engine/Services.h"

#include <array>
#include <cstdint>
#include <memory>

namespace talvor::engine {

// Status of the endpoint step, as kept in TokenResult::status.
enum TokenStatus : std::int16_t {
    TokenRunning = 1,
    TokenFound = 0,
    TokenBufferUsedUp = -1,
    TokenStartsTooEarly = -2,
};

// Why the detector last gave up a word candidate since its recording began
// (TokenResult::discarded); the search goes on after each.
enum TokenDiscard : std::int16_t {
    DiscardNone = 0,
    DiscardTooShort = 1,  // ended after fewer than 15 frames
    DiscardTooLong = 2,   // still going after the maximum word length
};

// The detected word.
struct TokenResult {
    float* features = nullptr;        // the detector's frame store
    std::int16_t startFrame = 0;      // word start S, a position in the frame store
    std::int16_t endFrame = 0;        // word end Ee
    std::int16_t length = 0;          // Ee - S
    std::int16_t status = TokenRunning;
    std::int16_t* samples = nullptr;  // the recording buffer
    std::int32_t startSample = 0;     // first sample of the block of frame S
    std::int32_t endSample = 0;       // just past the block of frame Ee
    std::int16_t discarded = DiscardNone;  // the last candidate given up (TokenDiscard)
};

class TokenDetector {
public:
    static constexpr int kFrameStoreSize = 232;
    static constexpr int kClearedFrames = 220;
    static constexpr std::int32_t kBufferBytes = 208000;
    static constexpr std::int32_t kBufferSamples = kBufferBytes / 2;  // 13 s
    static constexpr std::int32_t kDefaultMaxWordLength = 200;
    static constexpr int kBackgroundFrames = 2;
    static constexpr int kMinWordLength = 15;
    static constexpr int kFirstWordFrame = 10;   // words starting earlier lack delta context
    static constexpr int kKeptFrames = 11;       // frames kept while waiting for a word
    static constexpr float kEnergyScale = 2.3131724e-12f;
    static constexpr float kEnergyFloor = -90.0f;
    static constexpr float kEnergyOffset = -116.35792f;  // 10 log10(2.313172440052136e-12)

    // Builds the detector and allocates the recording buffer through `allocate`.
    explicit TokenDetector(const SampleAllocator& allocate = allocateSamples);

    bool AllocRecordBuffer(const SampleAllocator& allocate);
    void FreeRecordBuffer();
    bool hasRecordBuffer() const { return m_buffer != nullptr; }
    std::int16_t* recordBuffer() { return m_buffer.get(); }
    const std::int16_t* recordBuffer() const { return m_buffer.get(); }

    void LinkTokenResult(TokenResult* result);

    // 1 when a block has been placed for ComputeFrameFeatures, 0 when none is ready.
    int NextFrame();
    // Computes frame t from the new block and completes the delayed values.
    void ComputeFrameFeatures();
    // One step of the endpoint state machine: 1 go on, 0 word found,
    // -2 word found but starting before frame 10, -1 buffer used up.
    int EndpointStep();
    // NextFrame, ComputeFrameFeatures and EndpointStep for as long as blocks
    // come and the status stays 1; each status goes into the linked result.
    // Returns the last status, or 1 when no block was ready.
    int ProcessFrames();

    // The next NextFrame() starts a new recording.
    void restartFetch() { m_fetchStarted = 0; }
    bool fetchStarted() const { return m_fetchStarted != 0; }
    // Runs detection again from the start of the recording in the buffer.
    void rewind();

    // Samples recorded so far, at most the buffer's size.
    void setRecorded(std::int32_t samples)
    {
        m_recorded = samples < 0 ? 0 : (samples > kBufferSamples ? kBufferSamples : samples);
    }
    std::int32_t recorded() const { return m_recorded; }
    std::int32_t nextSample() const { return m_nextSample; }
    // Longer words than the store holds with their context are not accepted:
    // values above 200 are stored as 200.
    void setMaxWordLength(std::int32_t frames)
    {
        m_maxWordLength = frames > kDefaultMaxWordLength ? kDefaultMaxWordLength : frames;
    }
    std::int32_t maxWordLength() const { return m_maxWordLength; }
    std::uint16_t frameCounter() const { return m_t; }
    std::int16_t state() const { return m_state; }
    float backgroundLevel() const { return m_background; }

    FeatureFrame* frames() { return m_frames.data(); }
    const FeatureFrame* frames() const { return m_frames.data(); }

private:
    std::array<FeatureFrame, kFrameStoreSize> m_frames{};
    TokenResult m_unlinkedResult;
    TokenResult* m_result = &m_unlinkedResult;
    std::int16_t m_state = 0;
    std::int16_t m_fetchStarted = 0;
    std::unique_ptr<std::int16_t[]> m_buffer;
    std::int32_t m_nextSample = 1;  // 1-based
    std::int32_t m_recorded = 0;
    std::uint16_t m_t = 0;
    std::int32_t m_maxWordLength = kDefaultMaxWordLength;
    std::int16_t m_previousBlock[kBlockSamples]{};
    std::int16_t m_newBlock[kBlockSamples]{};
    float m_windowed[kWindowSamples]{};
    std::int16_t m_lastRawSample = 0;

    // Kept by the endpoint step for the detector's whole life.
    bool m_stepStarted = false;
    float m_background = 0.0f;
    float m_energy1 = 0.0f;
    float m_energy2 = 0.0f;
    std::int16_t m_start = 0;
    std::int16_t m_end = 0;
};

}  // namespace talvor::engine
