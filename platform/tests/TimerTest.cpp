#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QThread>
#include <atomic>
#include <thread>

#include "platform/Timer.h"
#include "testing/EventLoop.h"

using namespace talvor::platform;

namespace {
// Runs this thread's events until `done` or the time is up.
// Serves this thread's events in 5 ms slices until done holds or ms have passed.
template <class Done>
bool spinUntil(Done&& done, int ms = 5000)
{
    return talvor::test::serveEventsUntil(done, ms, 5);
}

}  // namespace

TEST(Timer, TicksOnTheStartingThreadUntilStopped)
{
    auto timer = Timer::create();
    int ticks = 0;
    bool wrongThread = false;
    QThread* me = QThread::currentThread();
    ASSERT_TRUE(timer->start(5, [&]() {
        wrongThread |= QThread::currentThread() != me;
        ++ticks;
    }));
    EXPECT_TRUE(timer->isActive());
    EXPECT_TRUE(spinUntil([&]() { return ticks >= 3; }, 5000));
    timer->stop();
    EXPECT_FALSE(timer->isActive());
    const int at = ticks;
    spinUntil([] { return false; }, 40);
    EXPECT_EQ(ticks, at);
    EXPECT_FALSE(wrongThread);
}

TEST(Timer, RunsOnAWorkerThreadsOwnLoop)
{
    // Started on a worker thread, it ticks there and not on the main thread.
    std::atomic<int> ticks{0};
    std::atomic<bool> wrongThread{false};
    QThread worker;
    worker.start();
    std::unique_ptr<Timer> timer;
    QObject ctx;
    ctx.moveToThread(&worker);
    QMetaObject::invokeMethod(
        &ctx,
        [&]() {
            timer = Timer::create();
            QThread* here = QThread::currentThread();
            timer->start(2, [&, here]() {
                wrongThread = wrongThread || QThread::currentThread() != here;
                ++ticks;
            });
        },
        Qt::BlockingQueuedConnection);
    EXPECT_TRUE(spinUntil([&]() { return ticks >= 3; }, 5000));
    QMetaObject::invokeMethod(&ctx, [&]() { timer.reset(); }, Qt::BlockingQueuedConnection);
    worker.quit();
    worker.wait();
    EXPECT_FALSE(wrongThread);
}

TEST(Timer, StopFromAnotherThreadIsHonouredOnTheOwner)
{
    auto timer = Timer::create();
    std::atomic<int> ticks{0};
    ASSERT_TRUE(timer->start(1, [&]() { ++ticks; }));
    ASSERT_TRUE(spinUntil([&]() { return ticks >= 2; }, 5000));
    std::thread other([&]() { timer->stop(); });
    other.join();
    // No tick runs once stop() has returned, even before the owner processed it.
    const int at = ticks;
    EXPECT_FALSE(timer->isActive());
    spinUntil([] { return false; }, 30);
    EXPECT_EQ(ticks, at);

    // A restart on the owner thread is not undone by the earlier queued stop.
    std::thread again([&]() { timer->stop(); });
    again.join();
    ASSERT_TRUE(timer->start(1, [&]() { ++ticks; }));
    EXPECT_TRUE(spinUntil([&]() { return ticks >= at + 3; }, 5000));
    EXPECT_TRUE(timer->isActive());
}

TEST(Timer, StopInsideTheTickAndRestart)
{
    auto timer = Timer::create();
    int ticks = 0;
    ASSERT_TRUE(timer->start(1, [&]() {
        if (++ticks == 2)
            timer->stop();
    }));
    spinUntil([] { return false; }, 40);
    EXPECT_EQ(ticks, 2);
    EXPECT_FALSE(timer->isActive());
}

TEST(Timer, RefusesAThreadWithoutEventLoop)
{
    bool started = true;
    std::thread t([&]() { started = Timer::create()->start(10, [] {}); });
    t.join();
    EXPECT_FALSE(started);
}
