#include "hmmview/Animation.h"

#include <algorithm>
#include <chrono>

namespace talvor::hmmview {

Clock::~Clock() = default;
MessagePump::~MessagePump() = default;

std::int64_t SteadyClock::nowMs()
{
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

AnimationPacer::AnimationPacer(Clock& clock, MessagePump& pump, std::function<bool()> running)
    : m_clock(clock)
    , m_pump(pump)
    , m_running(std::move(running))
{
}

bool AnimationPacer::AnimationStep()
{
    m_stepEnd = m_clock.nowMs() + m_delayMs;
    m_paused = false;
    for (;;) {
        const std::int64_t now = m_clock.nowMs();
        // Wait for events until the tick after stepEnd; while paused, in slices.
        const std::int64_t wait = m_paused ? kPausedWaitMs : std::max<std::int64_t>(0, m_stepEnd + 1 - now);
        m_pump.processEvents(wait);
        if (!m_running())
            return true;
        if (m_clock.nowMs() > m_stepEnd && !m_paused)
            return false;
    }
}

}  // namespace talvor::hmmview
