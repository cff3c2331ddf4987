#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QThread>
#include <QWidget>
#include <atomic>
#include <mutex>
#include <thread>

#include "platform/Window.h"
#include "testing/EventLoop.h"

using namespace talvor::platform;

namespace {

// Serves this thread's events in 5 ms slices until done holds or ms have passed.
template <class Done>
bool spinUntil(Done&& done, int ms = 5000)
{
    return talvor::test::serveEventsUntil(done, ms, 5);
}

struct Received {
    std::uint32_t msg, wParam;
    std::int32_t lParam;
    bool operator==(const Received&) const = default;
};

// A thread with its own event loop, for windows that live elsewhere.
class Worker {
public:
    Worker()
    {
        m_thread.start();
        m_context.moveToThread(&m_thread);
    }
    ~Worker()
    {
        run([this] { m_window.reset(); });
        m_thread.quit();
        m_thread.wait();
    }
    void run(const std::function<void()>& fn) { QMetaObject::invokeMethod(&m_context, fn, Qt::BlockingQueuedConnection); }
    WindowHandle create(const std::string& caption, MessageHandler h)
    {
        run([&] { m_window = WindowEndpoint::create(caption, std::move(h)); });
        return m_window ? m_window->handle() : 0;
    }
    void destroyWindow() { run([this] { m_window.reset(); }); }
    void destroyNow() { m_window.reset(); }  // on the worker thread
    QThread* thread() { return &m_thread; }

private:
    QThread m_thread;
    QObject m_context;
    std::unique_ptr<WindowEndpoint> m_window;
};

}  // namespace

TEST(Window, HandlesCaptionsAndLookup)
{
    std::string error;
    auto a = WindowEndpoint::create("TALVOR recog", nullptr, &error);
    ASSERT_TRUE(a) << error;
    auto b = WindowEndpoint::create("Statwalk in mode: HMM Training", nullptr, &error);
    ASSERT_TRUE(b) << error;
    EXPECT_NE(a->handle(), 0u);
    EXPECT_NE(b->handle(), 0u);
    EXPECT_NE(a->handle(), b->handle());
    EXPECT_EQ(a->caption(), "TALVOR recog");
    EXPECT_EQ(findWindowByCaption("TALVOR recog"), a->handle());
    EXPECT_EQ(findWindowByCaption("Statwalk in mode: HMM Training"), b->handle());
    // Exact captions only.
    EXPECT_EQ(findWindowByCaption("talvor recog"), 0u);
    EXPECT_EQ(findWindowByCaption("TALVOR recog "), 0u);
    EXPECT_EQ(findWindowByCaption(""), 0u);

    // A second window with a caption in use is refused; the first keeps it.
    error.clear();
    EXPECT_FALSE(WindowEndpoint::create("TALVOR recog", nullptr, &error));
    EXPECT_NE(error.find("TALVOR recog"), std::string::npos) << error;
    EXPECT_EQ(findWindowByCaption("TALVOR recog"), a->handle());

    // Changing the caption frees the old one.
    ASSERT_TRUE(a->setCaption("Talvor Setup", &error)) << error;
    EXPECT_EQ(a->caption(), "Talvor Setup");
    EXPECT_EQ(findWindowByCaption("TALVOR recog"), 0u);
    EXPECT_EQ(findWindowByCaption("Talvor Setup"), a->handle());
    // A refused rename says so, also on standard error where no one else shows it.
    error.clear();
    ::testing::internal::CaptureStderr();
    EXPECT_FALSE(a->setCaption("Statwalk in mode: HMM Training", &error));
    const std::string said = ::testing::internal::GetCapturedStderr();
    EXPECT_NE(error.find("\"Statwalk in mode: HMM Training\" already exists"), std::string::npos) << error;
    EXPECT_NE(said.find(error), std::string::npos) << said;
    EXPECT_EQ(a->caption(), "Talvor Setup");
    EXPECT_TRUE(a->setCaption("Talvor Setup"));
    auto c = WindowEndpoint::create("TALVOR recog", nullptr, &error);
    EXPECT_TRUE(c) << error;

    const WindowHandle gone = b->handle();
    b.reset();
    EXPECT_EQ(findWindowByCaption("Statwalk in mode: HMM Training"), 0u);
    EXPECT_FALSE(postMessage(gone, WM_KEYDOWN, 1, 0));
    EXPECT_EQ(sendMessage(gone, WM_KEYDOWN, 1, 0, 100), 0);
    EXPECT_FALSE(requestWindow(gone, WindowRequest::Hide));
}

TEST(Window, HandleZeroIsDropped)
{
    EXPECT_FALSE(postMessage(0, WM_KEYDOWN, 26665, 0));
    EXPECT_EQ(sendMessage(0, 26666, 26687, 0), 0);
    EXPECT_FALSE(requestWindow(0, WindowRequest::Show));
    EXPECT_EQ(sendMessage(0x7FFFFFF0u, 1, 2, 3, 50), 0);  // never handed out
}

TEST(Window, PostsAreQueuedInOrderToTheWindowsThread)
{
    std::vector<Received> got;
    auto w = WindowEndpoint::create("posts", [&](std::uint32_t m, std::uint32_t wp, std::int32_t lp) {
        got.push_back({m, wp, lp});
        return 0;
    });
    ASSERT_TRUE(w);
    for (std::uint32_t i = 0; i < 50; ++i)
        ASSERT_TRUE(postMessage(w->handle(), 1025, i, std::int32_t(i / 10)));
    EXPECT_TRUE(got.empty());  // nothing runs inside postMessage
    ASSERT_TRUE(spinUntil([&] { return got.size() == 50; }));
    for (std::uint32_t i = 0; i < 50; ++i)
        EXPECT_EQ(got[i], (Received{1025, i, std::int32_t(i / 10)}));

    // Posted from other threads, they still run on the window's thread.
    std::atomic<int> wrongThread{0};
    std::atomic<int> count{0};
    QThread* me = QThread::currentThread();
    auto v = WindowEndpoint::create("posts from threads", [&](std::uint32_t, std::uint32_t, std::int32_t) {
        wrongThread += QThread::currentThread() != me;
        ++count;
        return 0;
    });
    std::vector<std::thread> posters;
    for (int t = 0; t < 4; ++t)
        posters.emplace_back([&] {
            for (int i = 0; i < 25; ++i)
                postMessage(v->handle(), WM_KEYDOWN, 26664, 0);
        });
    for (auto& t : posters)
        t.join();
    EXPECT_TRUE(spinUntil([&] { return count == 100; }));
    EXPECT_EQ(wrongThread, 0);

    // Posts still queued when the window goes are dropped.
    int late = 0;
    auto x = WindowEndpoint::create("short-lived", [&](std::uint32_t, std::uint32_t, std::int32_t) {
        ++late;
        return 0;
    });
    postMessage(x->handle(), 1, 2, 3);
    x.reset();
    spinUntil([] { return false; }, 30);
    EXPECT_EQ(late, 0);
}

TEST(Window, SendOnTheSameThreadCallsTheHandlerDirectly)
{
    int depth = 0;
    auto w = WindowEndpoint::create("direct", [&](std::uint32_t m, std::uint32_t wp, std::int32_t lp) {
        ++depth;
        return std::int32_t(m + wp) * lp;
    });
    ASSERT_TRUE(w);
    EXPECT_EQ(sendMessage(w->handle(), 26666, 26687, 2), (26666 + 26687) * 2);
    EXPECT_EQ(depth, 1);  // no event loop ran
    EXPECT_EQ(sendMessage(w->handle(), 1, 2, -1), -3);
}

TEST(Window, SendAcrossThreadsWaitsAndServesMessagesSentBack)
{
    // The main thread's window answers what the worker's handler sends back
    // while the main thread is itself waiting in a send to the worker.
    QThread* me = QThread::currentThread();
    bool mainOnItsThread = true;
    auto mainWindow = WindowEndpoint::create("main side", [&](std::uint32_t m, std::uint32_t wp, std::int32_t) {
        mainOnItsThread = mainOnItsThread && QThread::currentThread() == me;
        return std::int32_t(m == WM_KEYDOWN ? wp * 10 : -1);
    });
    ASSERT_TRUE(mainWindow);
    const WindowHandle mainHandle = mainWindow->handle();
    Worker worker;
    std::atomic<bool> workerOnItsThread{true};
    const WindowHandle remote = worker.create("worker side", [&](std::uint32_t m, std::uint32_t wp, std::int32_t lp) {
        workerOnItsThread = workerOnItsThread && QThread::currentThread() == worker.thread();
        if (m == 26666)
            return sendMessage(mainHandle, WM_KEYDOWN, wp, 0, 2000) + 1;  // sent back inside the send
        return std::int32_t(wp) + lp;
    });
    ASSERT_NE(remote, 0u);
    EXPECT_EQ(findWindowByCaption("worker side"), remote);
    EXPECT_EQ(sendMessage(remote, 1, 40, 2), 42);
    EXPECT_EQ(sendMessage(remote, 26666, 7, 0), 71);
    EXPECT_TRUE(mainOnItsThread);
    EXPECT_TRUE(workerOnItsThread);

    // Many threads at once: every sender gets its own answer.
    std::vector<std::thread> senders;
    std::atomic<int> wrong{0};
    for (int t = 0; t < 4; ++t)
        senders.emplace_back([&, t] {
            for (int i = 0; i < 50; ++i)
                wrong += sendMessage(remote, 1, std::uint32_t(t * 1000 + i), 0) != t * 1000 + i;
        });
    for (auto& t : senders)
        t.join();
    EXPECT_EQ(wrong, 0);
}

TEST(Window, SendTimesOutAndAGoneWindowAnswersZeroAtOnce)
{
    Worker worker;
    std::atomic<bool> release{false};
    const WindowHandle slow = worker.create("slow", [&](std::uint32_t, std::uint32_t, std::int32_t) {
        while (!release)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        return 5;
    });
    ASSERT_NE(slow, 0u);
    QElapsedTimer t;
    t.start();
    EXPECT_EQ(sendMessage(slow, 1, 0, 0, 100), 0);
    EXPECT_GE(t.elapsed(), 95);
    EXPECT_LT(t.elapsed(), 2000);
    release = true;
    // The late answer to the timed-out send goes nowhere; the next one is answered.
    EXPECT_EQ(sendMessage(slow, 1, 0, 0, 5000), 5);

    // A window that goes while a send waits for it: the send gets 0 long
    // before its timeout.  The window's handler destroys it while the send
    // is queued behind the post that runs the handler.
    Worker busy;
    std::atomic<bool> inHandler{false};
    const WindowHandle doomed = busy.create("doomed", [&](std::uint32_t m, std::uint32_t, std::int32_t) {
        if (m == 1) {
            inHandler = true;
            std::this_thread::sleep_for(std::chrono::milliseconds(150));
            busy.destroyNow();
        }
        return 9;
    });
    ASSERT_NE(doomed, 0u);
    ASSERT_TRUE(postMessage(doomed, 1, 0, 0));
    ASSERT_TRUE(spinUntil([&] { return inHandler.load(); }));
    t.restart();
    EXPECT_EQ(sendMessage(doomed, 2, 0, 0, 10000), 0);
    EXPECT_LT(t.elapsed(), 5000);
    EXPECT_EQ(findWindowByCaption("doomed"), 0u);
}

TEST(Window, RequestsActOnTheWidgetOrGoToTheHandler)
{
    QWidget widget;
    widget.show();
    auto w = WindowEndpoint::create("with widget", nullptr);
    ASSERT_TRUE(w);
    w->setWidget(&widget);
    ASSERT_TRUE(requestWindow(w->handle(), WindowRequest::Hide));
    EXPECT_TRUE(widget.isVisible());  // queued, not yet done
    ASSERT_TRUE(spinUntil([&] { return !widget.isVisible(); }));
    requestWindow(w->handle(), WindowRequest::Disable);
    ASSERT_TRUE(spinUntil([&] { return !widget.isEnabled(); }));
    requestWindow(w->handle(), WindowRequest::Enable);
    requestWindow(w->handle(), WindowRequest::Show);
    ASSERT_TRUE(spinUntil([&] { return widget.isEnabled() && widget.isVisible(); }));

    std::vector<WindowRequest> seen;
    w->setRequestHandler([&](WindowRequest r) { seen.push_back(r); });
    requestWindow(w->handle(), WindowRequest::Hide);
    requestWindow(w->handle(), WindowRequest::Disable);
    ASSERT_TRUE(spinUntil([&] { return seen.size() == 2; }));
    EXPECT_EQ(seen, (std::vector<WindowRequest>{WindowRequest::Hide, WindowRequest::Disable}));
    EXPECT_TRUE(widget.isVisible());  // the handler acts instead
    EXPECT_TRUE(widget.isEnabled());

    // A widget that is gone is not touched.
    w->setRequestHandler(nullptr);
    {
        QWidget temporary;
        w->setWidget(&temporary);
    }
    requestWindow(w->handle(), WindowRequest::Hide);
    spinUntil([] { return false; }, 20);
}

TEST(Window, RefusesAThreadWithoutEventLoop)
{
    std::string error;
    std::unique_ptr<WindowEndpoint> w;
    std::thread t([&] { w = WindowEndpoint::create("no loop", nullptr, &error); });
    t.join();
    EXPECT_FALSE(w);
    EXPECT_NE(error.find("event loop"), std::string::npos) << error;
}
