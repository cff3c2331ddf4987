#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QTimer>

#include <chrono>

#include "hmmview/QtMessagePump.h"

namespace talvor::hmmview {
namespace {

std::int64_t msSince(std::chrono::steady_clock::time_point start)
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start).count();
}

struct QtPump : ::testing::Test {
    int argc = 1;
    char name[8] = "pump";
    char* argv[2] = {name, nullptr};
    QCoreApplication app{argc, argv};
    QtMessagePump pump;
};

TEST_F(QtPump, HandlesPostedEventsAndReturnsWhenOneArrives)
{
    bool handled = false;
    QTimer::singleShot(20, &app, [&] { handled = true; });
    const auto start = std::chrono::steady_clock::now();
    while (!handled && msSince(start) < 5000)
        pump.processEvents(10000);  // each call comes back once an event is handled
    EXPECT_TRUE(handled);
    EXPECT_LT(msSince(start), 5000);
}

TEST_F(QtPump, WaitsWithoutEvents)
{
    const auto start = std::chrono::steady_clock::now();
    pump.processEvents(30);
    EXPECT_GE(msSince(start), 25);
}

TEST_F(QtPump, StopPressedWhilePausedEndsTheStep)
{
    SteadyClock clock;
    bool running = true;
    AnimationPacer pacer(clock, pump, [&] { return running; });
    pacer.SetAnimationDelay(0);
    QTimer::singleShot(0, &app, [&] { pacer.PauseAnimation(); });
    QTimer::singleShot(60, &app, [&] { running = false; });
    const auto start = std::chrono::steady_clock::now();
    EXPECT_TRUE(pacer.AnimationStep());
    EXPECT_GE(msSince(start), 50);
    EXPECT_LT(msSince(start), 5000);
}

}  // namespace
}  // namespace talvor::hmmview
