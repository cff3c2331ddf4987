#pragma once
// Serving the event loop of a test's thread while waiting for something that
// arrives through it (timer ticks, window messages, a started program's
// keys).  Header only and needs Qt Core: include it from tests that link the
// platform layer and run inside a Q(Core)Application.
#include <QCoreApplication>
#include <QElapsedTimer>

#include <chrono>
#include <thread>

namespace talvor::test {

// Serves events, sliceMs at a time, until `done` holds or timeoutMs has
// passed; tells whether `done` holds at the end.  Between slices it sleeps a
// little, so that waiting on another process does not spin a shared core.
template <class Done>
bool serveEventsUntil(Done&& done, int timeoutMs, int sliceMs = 20)
{
    QElapsedTimer t;
    t.start();
    while (!done() && t.elapsed() < timeoutMs) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, sliceMs);
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return done();
}

// Serves events for a while, so that a late tick or message shows itself.
inline void serveEventsFor(int ms, int sliceMs = 20)
{
    serveEventsUntil([] { return false; }, ms, sliceMs);
}

}  // namespace talvor::test
