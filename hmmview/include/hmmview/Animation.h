#pragma once
// Pacing of an animated match: each step waits the animation delay while the
// application keeps handling its events, holds while paused, and tells the
// decoder to stop once the user has stopped the run.

#include <cstdint>
#include <functional>

namespace talvor::hmmview {

// Milliseconds of a clock that never goes back and never wraps.
class Clock {
public:
    virtual ~Clock();
    virtual std::int64_t nowMs() = 0;
};

// The process's steady clock.
class SteadyClock final : public Clock {
public:
    std::int64_t nowMs() override;
};

// The application's event handling.  processEvents handles the pending events
// and waits at most maxWaitMs for more (0: do not wait); it returns early when
// an event has been handled.
class MessagePump {
public:
    virtual ~MessagePump();
    virtual void processEvents(std::int64_t maxWaitMs) = 0;
};

class AnimationPacer {
public:
    // `running` answers whether the animated run still goes on (false once the
    // user has pressed STOP).
    AnimationPacer(Clock& clock, MessagePump& pump, std::function<bool()> running);

    // Waits one step: until the clock has passed now + delay and the run is not
    // paused, handling events meanwhile.  Returns true when the animation must
    // stop; a stop ends the wait at once, paused or not.
    bool AnimationStep();
    void PauseAnimation() { m_paused = true; }
    void ContinueAnimation() { m_paused = false; }
    // delay := value x 10 ms (the slider's unit).
    void SetAnimationDelay(std::int32_t value) { m_delayMs = static_cast<std::int64_t>(value) * 10; }

    std::int64_t animationDelay() const { return m_delayMs; }
    bool animationPaused() const { return m_paused; }
    std::int64_t stepEnd() const { return m_stepEnd; }

    // How long one wait for events lasts while paused.
    static constexpr std::int64_t kPausedWaitMs = 100;

private:
    Clock& m_clock;
    MessagePump& m_pump;
    std::function<bool()> m_running;
    std::int64_t m_delayMs = 100;
    bool m_paused = false;
    std::int64_t m_stepEnd = 0;
};

}  // namespace talvor::hmmview
