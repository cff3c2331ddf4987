#pragma once
// Shared pieces of the sound back ends.
#include <atomic>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>

#include "platform/Audio.h"

namespace talvor::platform::detail {

// Calls onBufferFull on a thread of its own, once, unless cancelled first.
// cancel() waits for a call under way, so nothing is called after it returns.
// Safe to use from inside the callback (cancel then does not wait for itself).
class FullNotifier {
public:
    void start(std::function<void()> onFull);
    void signalFull();  // any thread, also a real-time audio thread (no allocation)
    void cancel();
    ~FullNotifier() { cancel(); }

private:
    std::mutex m_mutex;
    std::condition_variable m_cv;
    bool m_full = false;
    bool m_cancelled = false;
    std::function<void()> m_onFull;
    std::thread m_thread;
};

}  // namespace talvor::platform::detail
