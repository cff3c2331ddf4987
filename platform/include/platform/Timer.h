#pragma once
// Timers that fire on the thread that started them, through that thread's
// event loop (precise timers), like the window timers the engine and the
// windows rely on.  stop() may be called from any thread (the audio callback
// stops the detection timer): the timer is then stopped on its owner thread
// and no tick runs after stop() has returned on the owner thread, or after the
// owner thread has processed the stop request otherwise.

// Use:
//     auto timer = Timer::create();
//     if (!timer->start(50, [&] { fetchFrames(); }))   // on the GUI thread
//         showMessage("I can't set the Timer.");
//     ...
//     timer->stop();                                  // from any thread
// Restarting on the owner thread after a stop from elsewhere is safe: the
// queued stop does not undo the restart.  Destroy the timer on its owner
// thread (or after that thread's event loop has ended).

#include <functional>
#include <memory>

namespace talvor::platform {

class Timer {
public:
    static std::unique_ptr<Timer> create();
    virtual ~Timer();
    // Starts (or restarts) ticking every intervalMs on the calling thread.
    // False when the calling thread has no event loop to run it.
    virtual bool start(int intervalMs, std::function<void()> tick) = 0;
    virtual void stop() = 0;          // any thread
    virtual bool isActive() const = 0;
};

}  // namespace talvor::platform
