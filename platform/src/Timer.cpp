#include "platform/Timer.h"

#include <QAbstractEventDispatcher>
#include <QCoreApplication>
#include <QPointer>
#include <QThread>
#include <QTimer>
#include <algorithm>
#include <atomic>
#include <mutex>

namespace talvor::platform {

Timer::~Timer() = default;

namespace {

// State shared between the timer object and the QTimer's tick on the owner
// thread.  A stop from another thread records the generation it stops, so a
// tick of that generation never runs the procedure again and a later restart
// on the owner thread is not undone by the queued stop.
struct TimerState {
    std::atomic<std::uint64_t> generation{0};
    std::atomic<std::uint64_t> stoppedGeneration{0};
    std::function<void()> tick;  // touched on the owner thread only
};

class QtTimer final : public Timer {
public:
    QtTimer() : m_state(std::make_shared<TimerState>()) {}

    ~QtTimer() override
    {
        std::lock_guard lock(m_mutex);
        m_state->stoppedGeneration.store(m_state->generation.load());
        if (!m_timer)
            return;
        if (m_timer->thread() == QThread::currentThread())
            delete m_timer.data();
        else
            QMetaObject::invokeMethod(m_timer.data(), [t = m_timer]() { delete t.data(); }, Qt::QueuedConnection);
    }

    bool start(int intervalMs, std::function<void()> tick) override
    {
        QThread* here = QThread::currentThread();
        if (!QCoreApplication::instance() || !here->eventDispatcher())
            return false;
        std::lock_guard lock(m_mutex);
        if (m_timer && m_timer->thread() != here) {
            // Started before on another thread: that QTimer stays there; make one here.
            m_state->stoppedGeneration.store(m_state->generation.load());
            QMetaObject::invokeMethod(m_timer.data(), [t = m_timer]() { delete t.data(); }, Qt::QueuedConnection);
            m_timer.clear();
        }
        if (!m_timer) {
            m_timer = new QTimer;
            m_timer->setTimerType(Qt::PreciseTimer);
            std::weak_ptr<TimerState> weak = m_state;
            QPointer<QTimer> timer = m_timer;
            QObject::connect(m_timer.data(), &QTimer::timeout, m_timer.data(), [weak, timer]() {
                auto s = weak.lock();
                if (!s)
                    return;
                const std::uint64_t gen = s->generation.load();
                if (s->stoppedGeneration.load() == gen) {
                    if (timer)
                        timer->stop();
                    return;
                }
                auto procedure = s->tick;  // a copy: the procedure may restart the timer
                if (procedure)
                    procedure();
            });
        }
        m_state->tick = std::move(tick);
        m_state->generation.fetch_add(1);
        m_timer->start(std::max(intervalMs, 0));
        return true;
    }

    void stop() override
    {
        const std::uint64_t gen = m_state->generation.load();
        m_state->stoppedGeneration.store(gen);
        std::lock_guard lock(m_mutex);
        if (!m_timer)
            return;
        if (m_timer->thread() == QThread::currentThread()) {
            m_timer->stop();
            return;
        }
        std::weak_ptr<TimerState> weak = m_state;
        QMetaObject::invokeMethod(
            m_timer.data(),
            [weak, t = m_timer, gen]() {
                auto s = weak.lock();
                if (s && t && s->generation.load() == gen)
                    t->stop();
            },
            Qt::QueuedConnection);
    }

    bool isActive() const override
    {
        return m_state->generation.load() != m_state->stoppedGeneration.load();
    }

private:
    std::shared_ptr<TimerState> m_state;
    std::mutex m_mutex;  // guards m_timer: stop() may come from any thread
    QPointer<QTimer> m_timer;
};

}  // namespace

std::unique_ptr<Timer> Timer::create()
{
    return std::make_unique<QtTimer>();
}

}  // namespace talvor::platform
