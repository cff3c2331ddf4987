#include "hmmview/QtMessagePump.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>

#include <algorithm>
#include <chrono>
#include <climits>
#include <thread>

namespace talvor::hmmview {

void QtMessagePump::processEvents(std::int64_t maxWaitMs)
{
    const int waitMs = static_cast<int>(std::clamp<std::int64_t>(maxWaitMs, 0, INT_MAX));
    if (!QCoreApplication::instance()) {
        // No event loop to serve: only the wait remains.
        std::this_thread::sleep_for(std::chrono::milliseconds(waitMs));
        return;
    }
    QCoreApplication::processEvents(QEventLoop::AllEvents);
    if (waitMs == 0)
        return;
    QEventLoop loop;
    QTimer timer;
    timer.setSingleShot(true);
    timer.setTimerType(Qt::PreciseTimer);
    QObject::connect(&timer, &QTimer::timeout, &loop, &QEventLoop::quit);
    timer.start(waitMs);
    // Blocks until at least one event (the timer's, at the latest) has been handled.
    loop.processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
}

}  // namespace talvor::hmmview
