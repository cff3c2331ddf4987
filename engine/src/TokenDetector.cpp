#include "engine/TokenDetector.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace talvor::engine {

namespace {

// The buffer is used up: the next step reports it.
constexpr std::int16_t kStateBufferUsedUp = 12;

std::int16_t diff16(int a, int b)
{
    return static_cast<std::int16_t>(a - b);
}

}  // namespace

TokenDetector::TokenDetector(const SampleAllocator& allocate)
{
    AllocRecordBuffer(allocate);
}

bool TokenDetector::AllocRecordBuffer(const SampleAllocator& allocate)
{
    if (m_buffer)
        return true;
    if (allocate)
        m_buffer = allocate(kBufferSamples);
    if (!m_buffer)
        return false;
    std::fill_n(m_buffer.get(), kBufferSamples, std::int16_t{0});
    return true;
}

void TokenDetector::FreeRecordBuffer()
{
    m_buffer.reset();
}

void TokenDetector::LinkTokenResult(TokenResult* result)
{
    m_result = result ? result : &m_unlinkedResult;
    m_result->features = m_frames[0].v;
    m_result->samples = m_buffer.get();
}

void TokenDetector::rewind()
{
    m_result->discarded = DiscardNone;
    m_t = 0;
    m_state = 0;
    m_nextSample = 1;
}

int TokenDetector::NextFrame()
{
    if (!m_fetchStarted) {
        m_result->discarded = DiscardNone;
        m_state = 0;
        m_t = 0;
        m_recorded = 1;
        m_nextSample = 1;
        m_fetchStarted = 1;
        return 0;
    }
    if (m_recorded - m_nextSample < kBlockSamples) {
        // The blocks delivered before the end of the buffer have all been
        // taken: the buffer is used up.
        if (m_recorded >= kBufferSamples) {
            m_state = kStateBufferUsedUp;
            return 1;
        }
        return 0;
    }
    if (!m_buffer)
        return 0;
    std::memcpy(m_previousBlock, m_newBlock, sizeof m_newBlock);
    std::memcpy(m_newBlock, m_buffer.get() + (m_nextSample - 1), sizeof m_newBlock);
    m_nextSample += kBlockSamples;
    return 1;
}

void TokenDetector::ComputeFrameFeatures()
{
    FeatureFrame* f = m_frames.data();
    const int t = m_t;
    PreEmphasis(m_newBlock, &m_lastRawSample);
    HammingWindow(m_previousBlock, m_newBlock, m_windowed);
    float r[kLpcOrder + 1];
    Autocorrelation(m_windowed, r);
    for (int k = 0; k <= kLpcOrder; ++k)
        f[t].v[k] = r[k];
    f[t].v[FeatEnergy] = LogEnergy(r[0]);
    float c[kCepstra];
    LpcCepstrum(r, c);
    for (int i = 0; i < kCepstra; ++i)
        f[t].v[FeatCepstrum + i] = c[i];
    if (t >= 8)
        DeltaCepstrum(f, t - 4);
    if (t >= 10)
        DeltaDeltaEnergy(f, t - 5);
    if (t >= 8)
        SpectralChange(f, t - 4);
}

int TokenDetector::EndpointStep()
{
    if (!m_stepStarted) {
        m_stepStarted = true;
        m_background = 0.0f;
    }
    const float logEnergy = m_frames[m_t].v[FeatEnergy];
    // 10^x < 1e-30 needs x below -29: from -29 up the exact power is at
    // least 1e-29 and powf, within one unit in the last place, cannot come
    // down to 1e-30, so the call (and its result) is only needed below -29.
    // NaN compares false both ways.
    float e;
    if (logEnergy < -29.0f && std::pow(10.0f, logEnergy) < 1e-30f)
        e = 10.0f * std::log10(kEnergyScale * 1e-30f);
    else
        e = 10.0f * logEnergy + kEnergyOffset;
    e = std::max(e, kEnergyFloor);
    const float f = e - m_background;
    const std::int16_t maxLength = static_cast<std::int16_t>(m_maxWordLength);
    TokenResult& result = *m_result;

    auto markStart = [&] {
        m_start = static_cast<std::int16_t>(m_t);
        result.startSample = m_nextSample - 81;
    };
    auto markEnd = [&] {
        m_end = static_cast<std::int16_t>(m_t);
        result.endSample = m_nextSample - 1;
    };

    switch (m_state) {
    case 0:
        m_background = e;
        m_energy1 = e;
        m_energy2 = e;
        m_state = m_t > kBackgroundFrames ? 1 : 0;
        break;
    case 1:
        if (m_t >= kKeptFrames) {
            // Keep only the last 11 frames while the room is quiet.
            std::copy(m_frames.begin() + (m_t - 10), m_frames.begin() + m_t + 1, m_frames.begin());
            m_t = 10;
        }
        if (f > 4.0f) {
            markStart();
            m_state = 2;
        } else {
            m_background = 0.5f * m_energy1 + 0.25f * e + 0.25f * m_energy2;
            m_energy2 = m_energy1;
            m_energy1 = e;
        }
        break;
    case 2:
        if (f <= 4.0f) {
            m_state = 1;
        } else if (f > 10.0f && diff16(m_t, m_start) <= 6) {
            m_state = 9;
        } else if (f > 10.0f) {
            markStart();
            m_state = 9;
        } else if (diff16(m_t, m_start) > 12) {
            m_state = 5;
        }
        break;
    case 3:
        m_state = 4;
        break;
    case 4:
        if (diff16(m_t, m_start) > maxLength) {
            result.discarded = DiscardTooLong;
            m_state = 5;
        } else if (f < 10.0f) {
            markEnd();
            m_state = 6;
        }
        break;
    case 5:
        m_state = 0;
        break;
    case 6:
        if (diff16(m_t, m_start) > maxLength) {
            result.discarded = DiscardTooLong;
            m_state = 5;
        } else if (f >= 7.0f) {
            m_state = 4;
        } else if (diff16(m_t, m_end) >= 6) {
            m_state = 7;
        } else {
            markEnd();
            m_state = 7;
        }
        break;
    case 7:
        if (diff16(m_t, m_start) > maxLength) {
            result.discarded = DiscardTooLong;
            m_state = 5;
        } else if (f >= 10.0f) {
            m_state = 4;
        } else if (diff16(m_t, m_end) <= 25) {
            // still waiting for the quiet after the word
        } else if (diff16(m_end, m_start) < kMinWordLength) {
            result.discarded = DiscardTooShort;
            m_state = 5;
        } else {
            result.startFrame = m_start;
            result.endFrame = m_end;
            result.length = diff16(m_end, m_start);
            m_state = 8;
            return m_start >= kFirstWordFrame ? TokenFound : TokenStartsTooEarly;
        }
        break;
    case 8:
        m_state = 1;
        break;
    case 9:
        if (diff16(m_t, m_start) >= 4)
            m_state = 3;
        else if (f < 7.0f)
            m_state = 0;
        break;
    case kStateBufferUsedUp:
        return TokenBufferUsedUp;
    default:  // states 10 and 11 keep their state
        break;
    }
    ++m_t;
    return TokenRunning;
}

int TokenDetector::ProcessFrames()
{
    int status = TokenRunning;
    while (NextFrame()) {
        // A used-up buffer brings no new block: nothing to compute.
        if (m_state != kStateBufferUsedUp)
            ComputeFrameFeatures();
        status = EndpointStep();
        m_result->status = static_cast<std::int16_t>(status);
        if (status <= 0)
            break;
    }
    return status;
}

}  // namespace talvor::engine
