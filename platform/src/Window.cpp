// Windows and messages.
//
// Inside the process every window is an entry of one registry: a handle, its
// caption, its handler and a receiver object on the owner thread.  A post is a
// Qt event for the receiver; a send from the owner thread calls the handler
// directly; a send from another thread becomes a job that the owner thread
// runs either from its event loop or, when it is itself waiting in a send,
// from that wait (so messages sent back meanwhile are served).
//
// Across processes each window listens on a Unix domain socket named by a
// hash of its caption in the per-user runtime folder.  One I/O thread per
// process serves those sockets and the connections to peers, so a thread
// blocked in a send never stops traffic.  Messages cross as fixed-size frames.
#include "platform/Window.h"

#include <fcntl.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <QAbstractEventDispatcher>
#include <QCoreApplication>
#include <QCryptographicHash>
#include <QEvent>
#include <QFileInfo>
#include <QLocalSocket>
#include <QLockFile>
#include <QPointer>
#include <QSocketNotifier>
#include <QThread>
#include <QTimer>
#include <QVariant>
#include <QWidget>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <deque>
#include <future>
#include <map>
#include <mutex>
#include <optional>
#include <thread>
#include <unordered_map>

#include "platform/Process.h"

namespace talvor::platform {

WindowEndpoint::~WindowEndpoint() = default;

namespace {

using Clock = std::chrono::steady_clock;

// ---- frames

constexpr std::uint32_t kMagic = 0x574C4154;  // "TALW"
constexpr std::uint16_t kVersion = 1;
constexpr int kConnectTimeoutMs = 1000;
constexpr int kAnswerTimeoutMs = 2000;
constexpr int kMaxTimeoutMs = 10 * 60 * 1000;

enum class Kind : std::uint16_t { Query = 1, Answer = 2, Post = 3, Send = 4, Reply = 5, Request = 6 };

struct Frame {
    std::uint32_t magic = kMagic;
    std::uint16_t version = kVersion;
    std::uint16_t kind = 0;
    std::uint32_t seq = 0;
    std::uint32_t target = 0;     // the receiver's own handle
    std::uint32_t targetPid = 0;  // the receiver's process
    std::uint32_t msg = 0;
    std::uint32_t wParam = 0;
    std::int32_t lParam = 0;
    std::int32_t result = 0;
    std::uint32_t captionHash[2] = {0, 0};  // Query: the caption looked for
    std::uint32_t reserved = 0;
};
static_assert(sizeof(Frame) == 48, "frames have a fixed size");

QByteArray encode(const Frame& f)
{
    return QByteArray(reinterpret_cast<const char*>(&f), sizeof f);
}

// Takes the complete frames off the front of `buffer`; false on a malformed one.
bool takeFrames(QByteArray& buffer, std::vector<Frame>* out)
{
    qsizetype at = 0;
    while (buffer.size() - at >= qsizetype(sizeof(Frame))) {
        Frame f;
        std::memcpy(&f, buffer.constData() + at, sizeof f);
        at += qsizetype(sizeof f);
        if (f.magic != kMagic || f.version != kVersion || f.kind < 1 || f.kind > 6)
            return false;
        out->push_back(f);
    }
    buffer.remove(0, at);
    return true;
}

struct CaptionKey {
    std::string hex;            // the socket's file name
    std::uint32_t words[2]{};   // carried in queries
};

CaptionKey captionKey(const std::string& caption)
{
    const QByteArray digest = QCryptographicHash::hash(
        QByteArray(caption.data(), qsizetype(caption.size())), QCryptographicHash::Sha256);
    CaptionKey k;
    k.hex = digest.left(16).toHex().toStdString();
    std::memcpy(k.words, digest.constData(), sizeof k.words);
    return k;
}

bool peerUid(qintptr fd, uid_t* uid, pid_t* pid)
{
    ucred cred{};
    socklen_t len = sizeof cred;
    if (::getsockopt(int(fd), SOL_SOCKET, SO_PEERCRED, &cred, &len) != 0)
        return false;
    *uid = cred.uid;
    *pid = cred.pid;
    return true;
}

// True when the peer has closed its end (nothing more will ever come).
bool peerClosed(QLocalSocket* s)
{
    if (s->state() != QLocalSocket::ConnectedState)
        return true;
    char c;
    const ssize_t n = ::recv(int(s->socketDescriptor()), &c, 1, MSG_PEEK | MSG_DONTWAIT);
    return n == 0 || (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR);
}

// ---- the registry

struct SendJob {
    WindowHandle target = 0;
    std::uint32_t msg = 0, wParam = 0;
    std::int32_t lParam = 0;
    std::atomic<bool> claimed{false};
    std::function<void(std::int32_t)> complete;
};

// One per thread that owns windows or waits in a send.
struct ThreadContext {
    std::mutex mutex;
    std::condition_variable cv;
    std::deque<std::shared_ptr<SendJob>> inbound;  // sends for this thread's windows
};

struct Reply {
    bool done = false;  // guarded by the waiting thread's context mutex
    std::int32_t result = 0;
};

class Receiver;

// The most connections one window holds at a time.  When a new one comes and
// all are taken, the connection that has been idle longest is closed for it.
constexpr int kMaxConnectionsPerWindow = 64;
// A connection that has not brought a whole frame for this long (since it was
// accepted, its last frame or the last answer it got) and waits for no answer
// is closed: it has nothing to say, or stopped in the middle of a frame.
constexpr auto kIdleConnectionLimit = std::chrono::milliseconds(2000);
constexpr int kIdleSweepMs = 250;
// A sender closes its own idle connection sooner, so that a window closing
// one never meets a frame on its way.
constexpr int kSenderIdleMs = 1500;
// How long a window waits before it accepts again after the process ran out
// of descriptors (or memory) for a new connection.
constexpr int kAcceptRetryMs = 100;

// One connection accepted by a window, on the I/O thread.
struct Inbound {
    QLocalSocket* socket = nullptr;  // null once closed
    QByteArray buffer;               // the start of a frame still coming
    Clock::time_point lastFrame;     // accepted, its last whole frame, or its last answer
    int sendsOpen = 0;               // sends it made that are not answered yet
};

// A window's connections, on the I/O thread: they outlive a change of caption
// (a handle stays valid when its window is renamed), so the listeners of the
// window's captions hand them here.  At most kMaxConnectionsPerWindow are held;
// idle ones are closed (kIdleConnectionLimit); a whole frame that has come is
// always served, also from a connection about to be closed.
class Hub : public QObject {
public:
    explicit Hub(QObject* parent) : QObject(parent)
    {
        m_sweep = new QTimer(this);
        m_sweep->setInterval(kIdleSweepMs);
        QObject::connect(m_sweep, &QTimer::timeout, this, [this]() { sweep(); });
    }

    // Serves one frame that came over a connection.
    std::function<void(const std::shared_ptr<Inbound>&, const Frame&)> onFrame;

    // Takes a newly accepted descriptor (closing it when it is not kept).
    void admit(int fd)
    {
        if (int(m_open.size()) >= kMaxConnectionsPerWindow && !closeIdlest()) {
            ::close(fd);  // every connection waits for an answer: refused
            return;
        }
        auto* sock = new QLocalSocket(this);
        if (!sock->setSocketDescriptor(qintptr(fd), QLocalSocket::ConnectedState, QIODevice::ReadWrite)) {
            ::close(fd);
            delete sock;
            return;
        }
        uid_t uid;
        pid_t pid;
        if (!peerUid(sock->socketDescriptor(), &uid, &pid) || uid != ::getuid()) {
            sock->abort();  // another user's process: dropped unheard
            sock->deleteLater();
            return;
        }
        auto c = std::make_shared<Inbound>();
        c->socket = sock;
        c->lastFrame = Clock::now();
        m_open.push_back(c);
        const std::weak_ptr<Inbound> weak = c;
        QObject::connect(sock, &QLocalSocket::readyRead, this, [this, weak]() {
            if (auto in = weak.lock())
                read(in);
        });
        QObject::connect(sock, &QLocalSocket::disconnected, this, [this, weak]() {
            if (auto in = weak.lock())
                close(in);
        });
        if (!m_sweep->isActive())
            m_sweep->start();
    }

private:
    // Serves the whole frames that have come; the number served, or -1 when
    // the connection sent a malformed frame and was closed.
    int read(const std::shared_ptr<Inbound>& c)
    {
        if (!c->socket)
            return -1;
        c->buffer.append(c->socket->readAll());
        std::vector<Frame> frames;
        if (!takeFrames(c->buffer, &frames)) {
            close(c);
            return -1;
        }
        if (!frames.empty())
            c->lastFrame = Clock::now();
        for (const Frame& f : frames)
            if (onFrame)
                onFrame(c, f);
        return int(frames.size());
    }

    void close(const std::shared_ptr<Inbound>& c)
    {
        const auto it = std::find(m_open.begin(), m_open.end(), c);
        if (it != m_open.end())
            m_open.erase(it);
        QLocalSocket* sock = c->socket;
        if (!sock)
            return;
        c->socket = nullptr;
        QObject::disconnect(sock, nullptr, this, nullptr);
        sock->abort();
        sock->deleteLater();
    }

    // Closes idle connections, after serving what they have sent.
    void sweep()
    {
        const auto now = Clock::now();
        const auto open = m_open;  // a copy: closing changes the list
        for (const auto& c : open)
            if (c->sendsOpen == 0 && now - c->lastFrame >= kIdleConnectionLimit && read(c) == 0)
                close(c);
        if (m_open.empty())
            m_sweep->stop();
    }

    // Makes room: closes the connection idle longest that waits for no answer
    // and has not just sent a frame.  False when there is none.
    bool closeIdlest()
    {
        std::vector<std::shared_ptr<Inbound>> idle;
        for (const auto& c : m_open)
            if (c->sendsOpen == 0)
                idle.push_back(c);
        std::stable_sort(idle.begin(), idle.end(),
                         [](const auto& a, const auto& b) { return a->lastFrame < b->lastFrame; });
        for (const auto& c : idle) {
            const int served = read(c);
            if (served < 0)
                return true;  // closed already
            if (served > 0 || c->sendsOpen > 0)
                continue;
            close(c);
            return true;
        }
        return false;
    }

    std::vector<std::shared_ptr<Inbound>> m_open;
    QTimer* m_sweep = nullptr;
};

// The listening socket of a window's caption, on the I/O thread.  Unlike
// QLocalServer (which closes for good, and removes its socket file, on the
// first failed accept) it keeps listening: when the process has no descriptor
// left for a new connection it waits a little and accepts again, so the window
// answers once descriptors are free.  Its connections go to its hub.
// Deleting it closes the socket and removes its file; the connections it made
// live on under the hub.
class Listener : public QObject {
public:
    explicit Listener(Hub* hub) : QObject(hub), m_hub(hub) {}
    ~Listener() override
    {
        if (m_fd >= 0) {
            ::close(m_fd);
            ::unlink(m_path.c_str());
        }
    }

    bool listen(const std::string& path, std::string* error)
    {
        sockaddr_un addr{};
        addr.sun_family = AF_UNIX;
        if (path.size() >= sizeof addr.sun_path) {
            *error = "the socket name is too long";
            return false;
        }
        std::memcpy(addr.sun_path, path.c_str(), path.size() + 1);
        const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
        if (fd < 0) {
            *error = std::strerror(errno);
            return false;
        }
        if (::bind(fd, reinterpret_cast<const sockaddr*>(&addr), sizeof addr) != 0 || ::listen(fd, 50) != 0) {
            *error = std::strerror(errno);
            ::close(fd);
            return false;
        }
        m_fd = fd;
        m_path = path;
        m_notifier = new QSocketNotifier(qintptr(fd), QSocketNotifier::Read, this);
        QObject::connect(m_notifier, &QSocketNotifier::activated, this, [this]() { acceptPending(); });
        m_retry = new QTimer(this);
        m_retry->setSingleShot(true);
        QObject::connect(m_retry, &QTimer::timeout, this, [this]() {
            m_notifier->setEnabled(true);
            acceptPending();
        });
        // The calls the out-of-descriptors path makes, made once now: the
        // undefined-behaviour checker of a sanitised build needs descriptors
        // of its own to check a member call it has not seen before.
        m_notifier->setEnabled(true);
        m_retry->stop();
        return true;
    }

private:
    void acceptPending()
    {
        for (;;) {
            const int fd = ::accept4(m_fd, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
            if (fd < 0) {
                if (errno == EINTR || errno == ECONNABORTED)
                    continue;
                if (errno != EAGAIN && errno != EWOULDBLOCK) {
                    // Out of descriptors or memory: the connection waits in
                    // the queue; accept again a little later.
                    m_notifier->setEnabled(false);
                    m_retry->start(kAcceptRetryMs);
                }
                return;
            }
            m_hub->admit(fd);
        }
    }

    Hub* m_hub;

    int m_fd = -1;
    std::string m_path;
    QSocketNotifier* m_notifier = nullptr;
    QTimer* m_retry = nullptr;
};

struct Entry {
    WindowHandle handle = 0;
    std::string caption;
    MessageHandler handler;
    std::function<void(WindowRequest)> requestHandler;
    QPointer<QWidget> widget;
    Receiver* receiver = nullptr;  // on the owner thread; deleted after the entry left the registry
    std::shared_ptr<ThreadContext> owner;
    std::thread::id ownerThread;
    // On the I/O thread: the hub owns the listening socket of the current
    // caption and the connections accepted so far.
    Hub* hub = nullptr;
    Listener* server = nullptr;
};

struct Proxy {
    std::string path;
    std::uint32_t remote = 0;
    std::uint32_t pid = 0;
};

class IoThread;

struct State {
    std::mutex mutex;
    std::uint32_t nextHandle = 0;
    std::unordered_map<WindowHandle, std::shared_ptr<Entry>> windows;
    std::unordered_map<WindowHandle, Proxy> proxies;
    std::map<std::thread::id, std::shared_ptr<ThreadContext>> threads;
    IoThread* io = nullptr;
    std::atomic<std::uint32_t> nextSeq{1};

    WindowHandle newHandle()  // with the mutex held
    {
        do
            ++nextHandle;
        while (nextHandle == 0 || windows.count(nextHandle) || proxies.count(nextHandle));
        return nextHandle;
    }
};

void shutdownIo();

// The registry is process-wide: when several libraries of one process each
// link this code, they find one registry through the application object.
State& state()
{
    // Never destroyed: windows, timers and devices held by static objects of
    // other libraries may still reach the registry while the process exits.
    static State* const fallback = new State;
    static std::mutex* const anchorMutex = new std::mutex;
    QCoreApplication* app = QCoreApplication::instance();
    if (!app)
        return *fallback;
    static const char* const kProperty = "_talvor_platform_windows";
    static QCoreApplication* cachedFor = nullptr;  // the property is read once per application
    static State* cached = nullptr;
    std::lock_guard lock(*anchorMutex);
    if (app == cachedFor)
        return *cached;
    const QVariant v = app->property(kProperty);
    if (v.isValid()) {
        cachedFor = app;
        cached = reinterpret_cast<State*>(v.value<quintptr>());
        return *cached;
    }
    // Lives as long as the process (other threads may still reach it while
    // the application object goes); kept reachable here.
    static auto* created = new std::vector<State*>;  // never destroyed
    auto* s = new State;
    created->push_back(s);
    app->setProperty(kProperty, QVariant::fromValue(quintptr(s)));
    cachedFor = app;
    cached = s;
    qAddPostRoutine(&shutdownIo);
    return *s;
}

std::shared_ptr<ThreadContext> contextOf(State& s, std::thread::id id)  // mutex held
{
    auto& c = s.threads[id];
    if (!c)
        c = std::make_shared<ThreadContext>();
    return c;
}

std::shared_ptr<ThreadContext> currentContext()
{
    State& s = state();
    std::lock_guard lock(s.mutex);
    return contextOf(s, std::this_thread::get_id());
}

// ---- delivery on the owner thread

enum : int { kPostEvent = QEvent::User + 0x3A1, kJobEvent, kRequestEvent };

struct PostEvent : QEvent {
    PostEvent(std::uint32_t m, std::uint32_t w, std::int32_t l)
        : QEvent(QEvent::Type(kPostEvent)), msg(m), wParam(w), lParam(l) {}
    std::uint32_t msg, wParam;
    std::int32_t lParam;
};

struct JobEvent : QEvent {
    explicit JobEvent(std::shared_ptr<SendJob> j) : QEvent(QEvent::Type(kJobEvent)), job(std::move(j)) {}
    std::shared_ptr<SendJob> job;
};

struct RequestEvent : QEvent {
    explicit RequestEvent(WindowRequest r) : QEvent(QEvent::Type(kRequestEvent)), request(r) {}
    WindowRequest request;
};

std::shared_ptr<Entry> findEntry(WindowHandle h)
{
    State& s = state();
    std::lock_guard lock(s.mutex);
    auto it = s.windows.find(h);
    return it == s.windows.end() ? nullptr : it->second;
}

// The caption of a window of this process, read under the registry's lock
// (another thread may be renaming the window).
std::optional<std::string> captionOf(WindowHandle h)
{
    State& s = state();
    std::lock_guard lock(s.mutex);
    auto it = s.windows.find(h);
    if (it == s.windows.end())
        return std::nullopt;
    return it->second->caption;
}

std::int32_t callHandler(WindowHandle h, std::uint32_t msg, std::uint32_t w, std::int32_t l)
{
    MessageHandler handler;
    if (auto e = findEntry(h))
        handler = e->handler;
    return handler ? handler(msg, w, l) : 0;
}

void runJob(const std::shared_ptr<SendJob>& job)
{
    if (job->claimed.exchange(true))
        return;
    const std::int32_t r = callHandler(job->target, job->msg, job->wParam, job->lParam);
    if (job->complete)
        job->complete(r);
}

void actOnRequest(WindowHandle h, WindowRequest r)
{
    std::function<void(WindowRequest)> handler;
    QPointer<QWidget> widget;
    {
        State& s = state();
        std::lock_guard lock(s.mutex);
        auto it = s.windows.find(h);
        if (it == s.windows.end())
            return;
        handler = it->second->requestHandler;
        widget = it->second->widget;
    }
    if (handler) {
        handler(r);
        return;
    }
    if (!widget)
        return;
    switch (r) {
    case WindowRequest::Hide: widget->hide(); break;
    case WindowRequest::Show: widget->show(); break;
    case WindowRequest::Enable: widget->setEnabled(true); break;
    case WindowRequest::Disable: widget->setEnabled(false); break;
    }
}

class Receiver final : public QObject {
public:
    Receiver(WindowHandle h, std::shared_ptr<ThreadContext> owner) : m_handle(h), m_owner(std::move(owner)) {}

    bool event(QEvent* e) override
    {
        switch (int(e->type())) {
        case kPostEvent: {
            auto* p = static_cast<PostEvent*>(e);
            callHandler(m_handle, p->msg, p->wParam, p->lParam);
            return true;
        }
        case kJobEvent: {
            auto job = static_cast<JobEvent*>(e)->job;
            {
                std::lock_guard lock(m_owner->mutex);
                auto& q = m_owner->inbound;
                for (auto it = q.begin(); it != q.end(); ++it)
                    if (*it == job) {
                        q.erase(it);
                        break;
                    }
            }
            runJob(job);
            return true;
        }
        case kRequestEvent:
            actOnRequest(m_handle, static_cast<RequestEvent*>(e)->request);
            return true;
        default: return QObject::event(e);
        }
    }

private:
    WindowHandle m_handle;
    std::shared_ptr<ThreadContext> m_owner;
};

// Queues a post for a window of this process; false when there is none.
bool postLocal(WindowHandle h, std::uint32_t msg, std::uint32_t w, std::int32_t l)
{
    State& s = state();
    std::lock_guard lock(s.mutex);
    auto it = s.windows.find(h);
    if (it == s.windows.end())
        return false;
    QCoreApplication::postEvent(it->second->receiver, new PostEvent(msg, w, l));
    return true;
}

bool requestLocal(WindowHandle h, WindowRequest r)
{
    State& s = state();
    std::lock_guard lock(s.mutex);
    auto it = s.windows.find(h);
    if (it == s.windows.end())
        return false;
    QCoreApplication::postEvent(it->second->receiver, new RequestEvent(r));
    return true;
}

// Hands a send to the owner thread of a window of this process: into its
// queue of sends (served by a send it is waiting in) and as an event (served
// by its event loop), whichever comes first.  False when there is no window.
bool dispatchSend(const std::shared_ptr<SendJob>& job)
{
    State& s = state();
    std::lock_guard lock(s.mutex);
    auto it = s.windows.find(job->target);
    if (it == s.windows.end())
        return false;
    {
        std::lock_guard l(it->second->owner->mutex);
        it->second->owner->inbound.push_back(job);
    }
    it->second->owner->cv.notify_all();
    QCoreApplication::postEvent(it->second->receiver, new JobEvent(job));
    return true;
}

// Waits for `reply` (completed under ctx's mutex) until the deadline, serving
// the sends that arrive for this thread's windows meanwhile.
std::int32_t waitForReply(const std::shared_ptr<ThreadContext>& ctx, const std::shared_ptr<Reply>& reply,
                          Clock::time_point deadline)
{
    std::unique_lock lock(ctx->mutex);
    for (;;) {
        if (reply->done)
            return reply->result;
        if (!ctx->inbound.empty()) {
            auto job = ctx->inbound.front();
            ctx->inbound.pop_front();
            lock.unlock();
            runJob(job);
            lock.lock();
            continue;
        }
        if (ctx->cv.wait_until(lock, deadline) == std::cv_status::timeout && !reply->done &&
            ctx->inbound.empty())
            return 0;
    }
}

std::function<void(std::int32_t)> completer(const std::shared_ptr<ThreadContext>& ctx,
                                            const std::shared_ptr<Reply>& reply)
{
    return [ctx, reply](std::int32_t r) {
        {
            std::lock_guard lock(ctx->mutex);
            reply->done = true;
            reply->result = r;
        }
        ctx->cv.notify_all();
    };
}

// ---- the I/O thread

class IoThread {
public:
    IoThread()
    {
        m_thread.setObjectName(QStringLiteral("talvor window I/O"));
        m_context.moveToThread(&m_thread);
        m_thread.start();
    }

    // Runs fn on the I/O thread and waits for it (at once when already there).
    void runBlocking(const std::function<void()>& fn)
    {
        if (QThread::currentThread() == &m_thread) {
            fn();
            return;
        }
        std::promise<void> done;
        QMetaObject::invokeMethod(
            &m_context,
            [&]() {
                fn();
                done.set_value();
            },
            Qt::QueuedConnection);
        done.get_future().wait();
    }
    void runLater(std::function<void()> fn) { QMetaObject::invokeMethod(&m_context, std::move(fn), Qt::QueuedConnection); }

    void stop()
    {
        runBlocking([this]() {
            auto out = std::move(m_out);
            m_out.clear();
            for (auto& [h, c] : out) {
                c.socket->disconnect();  // no signal handler may see the half-torn state
                delete c.socket;
            }
            const QObjectList children = m_context.children();  // a copy: deleting changes the list
            for (QObject* child : children)
                child->disconnect();
            qDeleteAll(children);
        });
        m_thread.quit();
        m_thread.wait();
    }

    // -- windows' sockets (called on the I/O thread)

    // The hub of window h: its connections' frames are served for h.
    Hub* newHub(WindowHandle h)
    {
        auto* hub = new Hub(&m_context);
        hub->onFrame = [this, h](const std::shared_ptr<Inbound>& c, const Frame& f) { serve(c, h, f); };
        return hub;
    }

    Listener* listen(Hub* hub, const std::string& path, std::string* error)
    {
        auto* server = new Listener(hub);
        std::string why;
        if (!server->listen(path, &why)) {
            if (error)
                *error = why;
            delete server;
            return nullptr;
        }
        return server;
    }

    // -- connections to peers' windows

    // Writes a frame to the peer behind a proxy; false when it cannot be reached.
    bool write(WindowHandle proxy, const Proxy& p, Frame f, std::function<void(std::int32_t)> onReply = {})
    {
        Out* out = connection(proxy, p);
        if (!out)
            return false;
        f.target = p.remote;
        f.targetPid = p.pid;
        if (onReply)
            out->pending[f.seq] = std::move(onReply);
        out->socket->write(encode(f));
        out->socket->flush();
        out->idle->start();
        return true;
    }

    // Forgets a send that its sender no longer waits for (it timed out), so a
    // peer that never answers does not collect waiting entries.
    void forget(WindowHandle proxy, std::uint32_t seq)
    {
        auto it = m_out.find(proxy);
        if (it != m_out.end())
            it->second.pending.erase(seq);
    }

private:
    struct Out {
        QLocalSocket* socket = nullptr;
        QTimer* idle = nullptr;  // closes the connection when nothing waits on it (kSenderIdleMs)
        QByteArray buffer;
        std::map<std::uint32_t, std::function<void(std::int32_t)>> pending;
    };

    // A frame that came to window h of this process.
    void serve(const std::shared_ptr<Inbound>& c, WindowHandle h, const Frame& f)
    {
        const bool forUs = f.target == h && f.targetPid == std::uint32_t(::getpid());
        switch (Kind(f.kind)) {
        case Kind::Query: {
            Frame a;
            a.kind = std::uint16_t(Kind::Answer);
            a.seq = f.seq;
            a.targetPid = std::uint32_t(::getpid());
            if (const auto caption = captionOf(h)) {
                const CaptionKey k = captionKey(*caption);
                if (k.words[0] == f.captionHash[0] && k.words[1] == f.captionHash[1])
                    a.result = std::int32_t(h);
            }
            c->socket->write(encode(a));
            c->socket->flush();
            break;
        }
        case Kind::Post:
            if (forUs)
                postLocal(h, f.msg, f.wParam, f.lParam);
            break;
        case Kind::Request:
            if (forUs && f.wParam <= std::uint32_t(WindowRequest::Disable))
                requestLocal(h, WindowRequest(f.wParam));
            break;
        case Kind::Send: {
            const std::uint32_t seq = f.seq;
            ++c->sendsOpen;  // not idle while the handler runs
            const std::weak_ptr<Inbound> weak = c;
            auto reply = [this, weak, seq](std::int32_t r) {
                runLater([weak, seq, r]() {
                    const auto in = weak.lock();
                    if (!in)
                        return;
                    --in->sendsOpen;
                    in->lastFrame = Clock::now();
                    if (!in->socket)
                        return;
                    Frame a;
                    a.kind = std::uint16_t(Kind::Reply);
                    a.seq = seq;
                    a.result = r;
                    in->socket->write(encode(a));
                    in->socket->flush();
                });
            };
            auto job = std::make_shared<SendJob>();
            job->target = h;
            job->msg = f.msg;
            job->wParam = f.wParam;
            job->lParam = f.lParam;
            job->complete = reply;
            if (!forUs || !dispatchSend(job))
                reply(0);
            break;
        }
        case Kind::Answer:
        case Kind::Reply: break;
        }
    }

    Out* connection(WindowHandle proxy, const Proxy& p)
    {
        auto it = m_out.find(proxy);
        if (it != m_out.end()) {
            if (!peerClosed(it->second.socket))
                return &it->second;
            drop(proxy);
        }
        auto* sock = new QLocalSocket(&m_context);
        sock->connectToServer(QString::fromStdString(p.path));
        uid_t uid;
        pid_t pid;
        if (!sock->waitForConnected(kConnectTimeoutMs) || !peerUid(sock->socketDescriptor(), &uid, &pid) ||
            uid != ::getuid() || std::uint32_t(pid) != p.pid) {
            // Gone, or the caption now belongs to another process.
            delete sock;
            return nullptr;
        }
        Out& out = m_out[proxy];
        out.socket = sock;
        out.idle = new QTimer(sock);
        out.idle->setSingleShot(true);
        out.idle->setInterval(kSenderIdleMs);
        QObject::connect(out.idle, &QTimer::timeout, sock, [this, proxy, sock]() {
            auto i = m_out.find(proxy);
            if (i == m_out.end() || i->second.socket != sock)
                return;
            if (i->second.pending.empty())
                drop(proxy);
            else
                i->second.idle->start();
        });
        QObject::connect(sock, &QLocalSocket::readyRead, sock, [this, proxy]() { readReplies(proxy); });
        QObject::connect(sock, &QLocalSocket::disconnected, sock, [this, proxy, sock]() {
            auto i = m_out.find(proxy);
            if (i != m_out.end() && i->second.socket == sock)
                drop(proxy);
        });
        return &out;
    }

    void readReplies(WindowHandle proxy)
    {
        auto it = m_out.find(proxy);
        if (it == m_out.end())
            return;
        Out& out = it->second;
        out.idle->start();
        out.buffer.append(out.socket->readAll());
        std::vector<Frame> frames;
        if (!takeFrames(out.buffer, &frames)) {
            drop(proxy);
            return;
        }
        for (const Frame& f : frames) {
            if (Kind(f.kind) != Kind::Reply)
                continue;
            auto p = out.pending.find(f.seq);
            if (p == out.pending.end())
                continue;
            auto done = std::move(p->second);
            out.pending.erase(p);
            done(f.result);
        }
    }

    // Closes a connection; the sends still waiting on it get 0 at once.
    void drop(WindowHandle proxy)
    {
        auto it = m_out.find(proxy);
        if (it == m_out.end())
            return;
        auto pending = std::move(it->second.pending);
        QLocalSocket* sock = it->second.socket;
        it->second.idle->stop();
        m_out.erase(it);
        sock->disconnect();
        sock->abort();
        sock->deleteLater();
        for (auto& [seq, done] : pending)
            done(0);
    }

    QThread m_thread;
    QObject m_context;
    std::unordered_map<WindowHandle, Out> m_out;
};

IoThread* io()
{
    State& s = state();
    std::lock_guard lock(s.mutex);
    if (!s.io && QCoreApplication::instance())
        s.io = new IoThread;
    return s.io;
}

void shutdownIo()
{
    State& s = state();
    IoThread* t;
    {
        std::lock_guard lock(s.mutex);
        t = s.io;
        s.io = nullptr;
        for (auto& [h, e] : s.windows) {
            e->hub = nullptr;  // deleted with the I/O thread's objects
            e->server = nullptr;
        }
    }
    if (t) {
        t->stop();
        // Kept: replies still handed to it after this are simply never run.
        static auto* retired = new std::vector<IoThread*>;  // never destroyed
        retired->push_back(t);
    }
}

// ---- claiming a caption across processes

struct Claim {
    std::string path;
    Listener* server = nullptr;
};

// Listens on the caption's socket for window h; takes over a socket left by a
// dead process, refuses one of a live window.
bool claimCaption(const std::string& caption, Hub* hub, Claim* claim, std::string* error)
{
    auto fail = [&](const std::string& why) {
        if (error)
            *error = why;
        return false;
    };
    IoThread* t = io();
    if (!t)
        return fail("Cannot register the window \"" + caption + "\": there is no Qt application");
    std::string why;
    const std::string dir = runtimeDir(&why);
    if (dir.empty())
        return fail("Cannot register the window \"" + caption + "\": " + why);
    const CaptionKey key = captionKey(caption);
    const std::string path = dir + "/" + key.hex;
    if (path.size() >= sizeof(sockaddr_un::sun_path))
        return fail("Cannot register the window \"" + caption + "\": the folder " + dir + " has too long a name");

    QLockFile lock(QString::fromStdString(path + ".lock"));
    lock.setStaleLockTime(10000);
    if (!lock.tryLock(kConnectTimeoutMs * 2))
        return fail("Cannot register the window \"" + caption + "\": its lock file is held");
    if (QFileInfo::exists(QString::fromStdString(path))) {
        QLocalSocket probe;
        probe.connectToServer(QString::fromStdString(path));
        if (probe.waitForConnected(kConnectTimeoutMs)) {
            uid_t uid = 0;
            pid_t pid = 0;
            peerUid(probe.socketDescriptor(), &uid, &pid);
            probe.abort();
            return fail("A window titled \"" + caption + "\" already exists (process " + std::to_string(pid) +
                        "); the second one was not registered");
        }
        const auto err = probe.error();
        if (err != QLocalSocket::ConnectionRefusedError && err != QLocalSocket::ServerNotFoundError)
            return fail("A window titled \"" + caption + "\" may already exist: " + probe.errorString().toStdString());
        // A socket left behind by a process that has ended: take it over.
        ::unlink(path.c_str());
    }
    Listener* server = nullptr;
    t->runBlocking([&]() { server = t->listen(hub, path, &why); });
    if (!server)
        return fail("Cannot register the window \"" + caption + "\": " + why);
    claim->path = path;
    claim->server = server;
    return true;
}

// Deletes an object of the I/O thread there: a server (its socket file goes
// with it) or a hub (with its server and connections).
void releaseServer(QObject* server)
{
    if (!server)
        return;
    State& s = state();
    IoThread* t;
    {
        std::lock_guard lock(s.mutex);
        t = s.io;
    }
    if (t)
        t->runBlocking([server]() { delete server; });  // closes it, removes its file and its connections
}

// ---- the endpoint

class Endpoint final : public WindowEndpoint {
public:
    explicit Endpoint(std::shared_ptr<Entry> e) : m_entry(std::move(e)) {}

    ~Endpoint() override
    {
        State& s = state();
        QObject* hub;
        {
            std::lock_guard lock(s.mutex);
            s.windows.erase(m_entry->handle);
            hub = m_entry->hub;
            m_entry->hub = nullptr;
            m_entry->server = nullptr;
        }
        releaseServer(hub);
        // Sends still queued for this window get 0 now rather than at their timeout.
        std::vector<std::shared_ptr<SendJob>> orphans;
        {
            std::lock_guard lock(m_entry->owner->mutex);
            auto& q = m_entry->owner->inbound;
            for (auto it = q.begin(); it != q.end();)
                if ((*it)->target == m_entry->handle) {
                    orphans.push_back(*it);
                    it = q.erase(it);
                } else {
                    ++it;
                }
        }
        for (auto& job : orphans)
            if (!job->claimed.exchange(true) && job->complete)
                job->complete(0);
        // Later: the window may be going from inside its own handler.  Events
        // still queued for the receiver find no window and do nothing.
        m_entry->receiver->deleteLater();
    }

    WindowHandle handle() const override { return m_entry->handle; }

    std::string caption() const override
    {
        std::lock_guard lock(state().mutex);
        return m_entry->caption;
    }

    bool setCaption(const std::string& caption, std::string* error) override
    {
        // Refused like a registration: also on standard error, since a caller
        // renaming its window often has nowhere to show the reason.
        auto fail = [&](const std::string& why) {
            std::fprintf(stderr, "%s\n", why.c_str());
            if (error)
                *error = why;
            return false;
        };
        State& s = state();
        {
            std::lock_guard lock(s.mutex);
            if (m_entry->caption == caption)
                return true;
            for (auto& [h, e] : s.windows)
                if (e->caption == caption)
                    return fail("A window titled \"" + caption + "\" already exists; the window keeps its caption \"" +
                                m_entry->caption + "\"");
        }
        Claim claim;
        Hub* hub;
        {
            std::lock_guard lock(s.mutex);
            hub = m_entry->hub;
        }
        if (!hub)
            return fail("Cannot rename the window \"" + this->caption() + "\": the Qt application has ended");
        std::string why;
        if (!claimCaption(caption, hub, &claim, &why))
            return fail(why);
        Listener* old;
        {
            std::lock_guard lock(s.mutex);
            old = m_entry->server;
            m_entry->server = claim.server;
            m_entry->caption = caption;
        }
        releaseServer(old);
        return true;
    }

    void setWidget(QWidget* widget) override
    {
        std::lock_guard lock(state().mutex);
        m_entry->widget = widget;
    }

    void setRequestHandler(std::function<void(WindowRequest)> handler) override
    {
        std::lock_guard lock(state().mutex);
        m_entry->requestHandler = std::move(handler);
    }

private:
    std::shared_ptr<Entry> m_entry;
};

std::optional<Proxy> proxyOf(WindowHandle h)
{
    State& s = state();
    std::lock_guard lock(s.mutex);
    auto it = s.proxies.find(h);
    if (it == s.proxies.end())
        return std::nullopt;
    return it->second;
}

// Asks the socket of a caption which window serves it.
WindowHandle findRemote(const std::string& caption)
{
    const std::string dir = runtimeDir(nullptr);
    if (dir.empty())
        return 0;
    const CaptionKey key = captionKey(caption);
    const std::string path = dir + "/" + key.hex;
    if (!QFileInfo::exists(QString::fromStdString(path)))
        return 0;
    QLocalSocket sock;
    sock.connectToServer(QString::fromStdString(path));
    if (!sock.waitForConnected(kConnectTimeoutMs))
        return 0;
    uid_t uid;
    pid_t pid;
    if (!peerUid(sock.socketDescriptor(), &uid, &pid) || uid != ::getuid())
        return 0;
    Frame q;
    q.kind = std::uint16_t(Kind::Query);
    q.seq = 1;
    q.captionHash[0] = key.words[0];
    q.captionHash[1] = key.words[1];
    sock.write(encode(q));
    if (!sock.waitForBytesWritten(kConnectTimeoutMs))
        return 0;
    QByteArray buffer;
    const auto deadline = Clock::now() + std::chrono::milliseconds(kAnswerTimeoutMs);
    std::vector<Frame> frames;
    while (frames.empty()) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
        if (left <= 0 || (sock.bytesAvailable() == 0 && !sock.waitForReadyRead(int(left))))
            return 0;
        buffer.append(sock.readAll());
        if (!takeFrames(buffer, &frames))
            return 0;
    }
    sock.abort();
    const Frame& a = frames.front();
    if (Kind(a.kind) != Kind::Answer || a.result == 0 || a.targetPid != std::uint32_t(pid))
        return 0;
    State& s = state();
    std::lock_guard lock(s.mutex);
    for (auto& [h, p] : s.proxies)
        if (p.remote == std::uint32_t(a.result) && p.pid == a.targetPid) {
            p.path = path;  // the same window, perhaps renamed: reconnect there
            return h;
        }
    const WindowHandle h = s.newHandle();
    s.proxies[h] = Proxy{path, std::uint32_t(a.result), a.targetPid};
    return h;
}

int boundedTimeout(int ms)
{
    return std::clamp(ms, 0, kMaxTimeoutMs);
}

}  // namespace

std::unique_ptr<WindowEndpoint> WindowEndpoint::create(const std::string& caption, MessageHandler handler,
                                                       std::string* error)
{
    // A refused registration is also written to standard error, so that it is
    // seen even where the caller shows nothing.
    auto fail = [&](const std::string& why) -> std::unique_ptr<WindowEndpoint> {
        std::fprintf(stderr, "%s\n", why.c_str());
        if (error)
            *error = why;
        return nullptr;
    };
    if (!QCoreApplication::instance() || !QThread::currentThread()->eventDispatcher())
        return fail("Cannot register the window \"" + caption + "\": this thread has no Qt event loop");
    State& s = state();
    auto e = std::make_shared<Entry>();
    e->handler = std::move(handler);
    e->ownerThread = std::this_thread::get_id();
    {
        std::lock_guard lock(s.mutex);
        for (auto& [h, other] : s.windows)
            if (other->caption == caption)
                return fail("A window titled \"" + caption + "\" already exists; the second one was not registered");
        e->handle = s.newHandle();
        e->owner = contextOf(s, e->ownerThread);
    }
    IoThread* t = io();
    if (!t)
        return fail("Cannot register the window \"" + caption + "\": there is no Qt application");
    Hub* hub = nullptr;
    t->runBlocking([&]() { hub = t->newHub(e->handle); });
    e->receiver = new Receiver(e->handle, e->owner);
    Claim claim;
    std::string why;
    if (!claimCaption(caption, hub, &claim, &why)) {
        releaseServer(hub);
        delete e->receiver;
        return fail(why);
    }
    bool taken = false;
    {
        std::lock_guard lock(s.mutex);
        // Another thread of this process may have taken the caption meanwhile.
        for (auto& [h, other] : s.windows)
            taken = taken || other->caption == caption;
        if (!taken) {
            e->caption = caption;
            e->hub = hub;
            e->server = claim.server;
            s.windows[e->handle] = e;
        }
    }
    if (taken) {
        releaseServer(hub);
        delete e->receiver;
        return fail("A window titled \"" + caption + "\" already exists; the second one was not registered");
    }
    return std::make_unique<Endpoint>(e);
}

WindowHandle findWindowByCaption(const std::string& caption)
{
    {
        State& s = state();
        std::lock_guard lock(s.mutex);
        for (auto& [h, e] : s.windows)
            if (e->caption == caption)
                return h;
    }
    return findRemote(caption);
}

bool isWindowOfThisProcess(WindowHandle window)
{
    return window != 0 && findEntry(window) != nullptr;
}

bool postMessage(WindowHandle window, std::uint32_t msg, std::uint32_t wParam, std::int32_t lParam)
{
    if (window == 0)
        return false;
    if (postLocal(window, msg, wParam, lParam))
        return true;
    const auto p = proxyOf(window);
    IoThread* t = p ? io() : nullptr;
    if (!t)
        return false;
    Frame f;
    f.kind = std::uint16_t(Kind::Post);
    f.msg = msg;
    f.wParam = wParam;
    f.lParam = lParam;
    bool ok = false;
    t->runBlocking([&]() { ok = t->write(window, *p, f); });
    return ok;
}

std::int32_t sendMessage(WindowHandle window, std::uint32_t msg, std::uint32_t wParam, std::int32_t lParam,
                         int timeoutMs)
{
    if (window == 0)
        return 0;
    const auto deadline = Clock::now() + std::chrono::milliseconds(boundedTimeout(timeoutMs));
    if (auto e = findEntry(window)) {
        if (e->ownerThread == std::this_thread::get_id())
            return e->handler ? e->handler(msg, wParam, lParam) : 0;
        auto ctx = currentContext();
        auto reply = std::make_shared<Reply>();
        auto job = std::make_shared<SendJob>();
        job->target = window;
        job->msg = msg;
        job->wParam = wParam;
        job->lParam = lParam;
        job->complete = completer(ctx, reply);
        if (!dispatchSend(job))
            return 0;
        const std::int32_t r = waitForReply(ctx, reply, deadline);
        job->claimed.store(true);  // a late run after the timeout would answer no one
        return r;
    }
    const auto p = proxyOf(window);
    IoThread* t = p ? io() : nullptr;
    if (!t)
        return 0;
    auto ctx = currentContext();
    auto reply = std::make_shared<Reply>();
    Frame f;
    f.kind = std::uint16_t(Kind::Send);
    f.seq = state().nextSeq.fetch_add(1);
    f.msg = msg;
    f.wParam = wParam;
    f.lParam = lParam;
    auto done = completer(ctx, reply);
    t->runLater([t, window, proxy = *p, f, done]() {
        if (!t->write(window, proxy, f, done))
            done(0);
    });
    const std::int32_t r = waitForReply(ctx, reply, deadline);
    bool answered;
    {
        std::lock_guard lock(ctx->mutex);
        answered = reply->done;
    }
    if (!answered)
        t->runLater([t, window, seq = f.seq]() { t->forget(window, seq); });
    return r;
}

bool requestWindow(WindowHandle window, WindowRequest request)
{
    if (window == 0)
        return false;
    if (requestLocal(window, request))
        return true;
    const auto p = proxyOf(window);
    IoThread* t = p ? io() : nullptr;
    if (!t)
        return false;
    Frame f;
    f.kind = std::uint16_t(Kind::Request);
    f.wParam = std::uint32_t(request);
    bool ok = false;
    t->runBlocking([&]() { ok = t->write(window, *p, f); });
    return ok;
}

}  // namespace talvor::platform
