#include <gtest/gtest.h>

#include <functional>
#include <numeric>
#include <stdexcept>
#include <vector>

#include "hmmview/Animation.h"

namespace talvor::hmmview {
namespace {

struct FakeClock : Clock {
    std::int64_t now = 1000;
    std::int64_t nowMs() override { return now; }
};

// Waits as long as asked (moving the fake clock) and runs a script of events
// on given calls.
struct FakePump : MessagePump {
    explicit FakePump(FakeClock& c) : clock(c) {}
    FakeClock& clock;
    std::vector<std::int64_t> waits;
    std::function<void(int call)> onCall;
    void processEvents(std::int64_t maxWaitMs) override
    {
        waits.push_back(maxWaitMs);
        if (waits.size() > 100000)
            throw std::runtime_error("the animation step never returned");
        clock.now += maxWaitMs;
        if (onCall)
            onCall(static_cast<int>(waits.size()));
    }
    std::int64_t waited() const { return std::accumulate(waits.begin(), waits.end(), std::int64_t{0}); }
};

struct Pacing : ::testing::Test {
    FakeClock clock;
    FakePump pump{clock};
    bool running = true;
    AnimationPacer pacer{clock, pump, [this] { return running; }};
};

TEST_F(Pacing, StepWaitsPastTheDelay)
{
    pacer.SetAnimationDelay(10);
    EXPECT_EQ(pacer.animationDelay(), 100);
    const std::int64_t start = clock.now;
    EXPECT_FALSE(pacer.AnimationStep());
    EXPECT_EQ(pacer.stepEnd(), start + 100);
    EXPECT_EQ(clock.now, start + 101);  // the first tick after the step's end
    EXPECT_EQ(pump.waits.front(), 101);  // one wait for events, not a spin
}

TEST_F(Pacing, DelayZeroReturnsAfterTheNextTick)
{
    pacer.SetAnimationDelay(0);
    const std::int64_t start = clock.now;
    EXPECT_FALSE(pacer.AnimationStep());
    EXPECT_EQ(clock.now, start + 1);
    // A pump that comes back early (an event arrived) is asked again for the rest.
    pacer.SetAnimationDelay(5);
    pump.waits.clear();
    std::int64_t early = 0;
    pump.onCall = [&](int call) {
        if (call == 1) {
            early = clock.now;
            clock.now -= 40;  // the first wait ended 40 ms early
        }
    };
    EXPECT_FALSE(pacer.AnimationStep());
    ASSERT_EQ(pump.waits.size(), 2u);
    EXPECT_EQ(pump.waits[1], 40);
    EXPECT_EQ(clock.now, early);
    // Reaching the step's end is not enough: the tick must pass it.
    pump.waits.clear();
    pump.onCall = [&](int call) {
        if (call == 1)
            clock.now = pacer.stepEnd();
    };
    EXPECT_FALSE(pacer.AnimationStep());
    ASSERT_EQ(pump.waits.size(), 2u);
    EXPECT_EQ(pump.waits[1], 1);
    EXPECT_EQ(clock.now, pacer.stepEnd() + 1);
}

TEST_F(Pacing, PauseHoldsUntilContinue)
{
    pacer.SetAnimationDelay(1);
    pump.onCall = [&](int call) {
        if (call == 1)
            pacer.PauseAnimation();  // "&Pause" pressed during the wait
        if (call == 6)
            pacer.ContinueAnimation();
    };
    const std::int64_t start = clock.now;
    EXPECT_FALSE(pacer.AnimationStep());
    EXPECT_EQ(pump.waits.size(), 6u);
    for (std::size_t i = 1; i < 6; ++i)
        EXPECT_EQ(pump.waits[i], AnimationPacer::kPausedWaitMs);
    EXPECT_EQ(clock.now, start + 11 + 5 * AnimationPacer::kPausedWaitMs);
    EXPECT_FALSE(pacer.animationPaused());
}

TEST_F(Pacing, StopWhilePausedReturnsAtOnce)
{
    pump.onCall = [&](int call) {
        if (call == 1)
            pacer.PauseAnimation();
        if (call == 3)
            running = false;  // "&STOP" pressed while paused
    };
    EXPECT_TRUE(pacer.AnimationStep());
    EXPECT_EQ(pump.waits.size(), 3u);
}

TEST_F(Pacing, StoppedRunStillHandlesEventsOnce)
{
    running = false;
    EXPECT_TRUE(pacer.AnimationStep());
    EXPECT_EQ(pump.waits.size(), 1u);
}

TEST_F(Pacing, EachStepClearsAnOldPauseAndTheClockDoesNotWrap)
{
    clock.now = std::int64_t{1} << 40;  // far beyond a 32-bit tick count
    pacer.PauseAnimation();
    pacer.SetAnimationDelay(2);
    EXPECT_FALSE(pacer.AnimationStep());
    EXPECT_EQ(pump.waited(), 21);
}

}  // namespace
}  // namespace talvor::hmmview
