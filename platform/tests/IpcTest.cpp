// Windows and messages between processes, with platform_test_peer as the other side.
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QElapsedTimer>
#include <QProcess>
#include <QSysInfo>
#include <atomic>
#include <cstring>
#include <filesystem>
#include <memory>
#include <fstream>
#include <thread>

#include "platform/Process.h"
#include "platform/Window.h"
#include "testing/EventLoop.h"
#include "testing/TempDir.h"

using namespace talvor::platform;

namespace {

// Serves this thread's events in 5 ms slices until done holds or ms have passed.
template <class Done>
bool spinUntil(Done&& done, int ms = 5000)
{
    return talvor::test::serveEventsUntil(done, ms, 5);
}

// One peer process; its first line says whether it registered.
class Peer {
public:
    explicit Peer(const QStringList& args)
    {
        m_process.setProgram(QStringLiteral(TALVOR_TEST_PEER));
        m_process.setArguments(args);
        m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        m_process.start();
        m_process.waitForStarted(5000);
        QElapsedTimer t;
        t.start();
        while (!m_process.canReadLine() && m_process.state() == QProcess::Running && t.elapsed() < 10000)
            m_process.waitForReadyRead(100);
        m_firstLine = QString::fromUtf8(m_process.readLine()).trimmed().toStdString();
    }
    ~Peer()
    {
        if (m_process.state() != QProcess::NotRunning) {
            m_process.kill();
            m_process.waitForFinished(5000);
        }
    }
    bool ready() const { return m_firstLine.rfind("READY ", 0) == 0; }
    const std::string& firstLine() const { return m_firstLine; }
    QProcess& process() { return m_process; }
    void kill9()
    {
        ::kill(pid_t(m_process.processId()), SIGKILL);
        m_process.waitForFinished(5000);
    }

private:
    QProcess m_process;
    std::string m_firstLine;
};

std::vector<std::filesystem::path> sockets()
{
    std::vector<std::filesystem::path> out;
    const std::string dir = runtimeDir();
    for (auto& e : std::filesystem::directory_iterator(dir))
        if (e.is_socket())
            out.push_back(e.path());
    return out;
}

}  // namespace

TEST(Ipc, FindsAPeersWindowAndTalksToIt)
{
    Peer peer({"Statwalk in mode: Speak & Recognize (HMM)"});
    ASSERT_TRUE(peer.ready()) << peer.firstLine();
    const WindowHandle h = findWindowByCaption("Statwalk in mode: Speak & Recognize (HMM)");
    ASSERT_NE(h, 0u);
    EXPECT_EQ(findWindowByCaption("Statwalk in mode: Speak & Recognize (HMM)"), h);  // the same handle again
    EXPECT_EQ(findWindowByCaption("Statwalk in mode: Speak & Recognize"), 0u);
    EXPECT_EQ(sendMessage(h, 1001, 20, 2), 42);
    EXPECT_EQ(sendMessage(h, 1001, 0, -5), -5);  // lParam keeps its sign

    // Posts arrive in the order they were posted.
    for (std::uint32_t i = 0; i < 300; ++i)
        ASSERT_TRUE(postMessage(h, 1000, i, 0));
    EXPECT_EQ(sendMessage(h, 1003, 0, 0), 300);

    // Requests reach the peer's window.
    EXPECT_TRUE(requestWindow(h, WindowRequest::Hide));
    EXPECT_TRUE(requestWindow(h, WindowRequest::Disable));
    EXPECT_EQ(sendMessage(h, 1007, 0, 0), 20 + int(WindowRequest::Disable));

    // A renamed peer window is found under its new caption only.
    EXPECT_EQ(sendMessage(h, 1008, 0, 0), 1);
    EXPECT_EQ(findWindowByCaption("Statwalk in mode: Speak & Recognize (HMM)"), 0u);
    EXPECT_EQ(findWindowByCaption("Statwalk in mode: Speak & Recognize (HMM) renamed"), h);
    EXPECT_EQ(sendMessage(h, 1001, 1, 1), 3);
}

TEST(Ipc, PeerSendsBackInsideASendAndPostsBack)
{
    std::vector<std::pair<std::uint32_t, std::int32_t>> posted;
    auto here = WindowEndpoint::create("ipc analyser", [&](std::uint32_t m, std::uint32_t w, std::int32_t l) {
        if (m == 2000)
            return std::int32_t(w * 10);
        if (m == 2001)
            posted.emplace_back(w, l);
        return 0;
    });
    ASSERT_TRUE(here);
    Peer peer({"ipc recogniser", "ipc analyser"});
    ASSERT_TRUE(peer.ready()) << peer.firstLine();
    const WindowHandle h = findWindowByCaption("ipc recogniser");
    ASSERT_NE(h, 0u);
    // Only our own window counts as one of this process.
    EXPECT_TRUE(isWindowOfThisProcess(here->handle()));
    EXPECT_FALSE(isWindowOfThisProcess(h));
    EXPECT_FALSE(isWindowOfThisProcess(0));
    EXPECT_EQ(sendMessage(h, 1002, 4, 0), 41);  // the peer's own send to us was served meanwhile
    EXPECT_EQ(sendMessage(h, 1002, 9, 0), 91);
    EXPECT_EQ(sendMessage(h, 1004, 5, 6), 1);
    ASSERT_TRUE(spinUntil([&] { return !posted.empty(); }));
    EXPECT_EQ(posted.front(), std::make_pair(5u, 6));
}

TEST(Ipc, ASecondWindowWithTheCaptionIsRefused)
{
    Peer first({"TALVOR recog"});
    ASSERT_TRUE(first.ready()) << first.firstLine();
    std::string error;
    EXPECT_FALSE(WindowEndpoint::create("TALVOR recog", nullptr, &error));
    EXPECT_NE(error.find("already exists"), std::string::npos) << error;
    Peer second({"TALVOR recog"});
    EXPECT_FALSE(second.ready());
    EXPECT_EQ(second.firstLine().rfind("REFUSED", 0), 0u) << second.firstLine();
    second.process().waitForFinished(5000);
    EXPECT_EQ(second.process().exitCode(), 3);
    // The first keeps it.
    const WindowHandle h = findWindowByCaption("TALVOR recog");
    ASSERT_NE(h, 0u);
    EXPECT_EQ(sendMessage(h, 1001, 1, 0), 2);
}

TEST(Ipc, ASocketLeftByAKilledPeerIsTakenOver)
{
    Peer peer({"crashing peer"});
    ASSERT_TRUE(peer.ready()) << peer.firstLine();
    const WindowHandle h = findWindowByCaption("crashing peer");
    ASSERT_NE(h, 0u);
    ASSERT_EQ(sendMessage(h, 1001, 1, 0), 2);
    const auto before = sockets();
    peer.kill9();
    EXPECT_EQ(sockets(), before);  // the dead process left its socket behind

    QElapsedTimer t;
    t.start();
    EXPECT_EQ(findWindowByCaption("crashing peer"), 0u);
    EXPECT_FALSE(postMessage(h, 1000, 0, 0));
    EXPECT_EQ(sendMessage(h, 1001, 1, 0, 10000), 0);
    EXPECT_FALSE(requestWindow(h, WindowRequest::Show));
    EXPECT_LT(t.elapsed(), 3000);  // nothing waits for a dead peer

    std::string error;
    auto mine = WindowEndpoint::create("crashing peer", nullptr, &error);
    ASSERT_TRUE(mine) << error;
    EXPECT_EQ(findWindowByCaption("crashing peer"), mine->handle());
    // And a new process can take it over from us once we are gone.
    mine.reset();
    Peer again({"crashing peer"});
    EXPECT_TRUE(again.ready()) << again.firstLine();
    const WindowHandle h2 = findWindowByCaption("crashing peer");
    EXPECT_NE(h2, 0u);
    EXPECT_NE(h2, h);  // a new window, not the dead one
    EXPECT_EQ(sendMessage(h2, 1001, 2, 0), 4);
    EXPECT_EQ(sendMessage(h, 1001, 2, 0), 0);  // the old handle stays dead
}

TEST(Ipc, ALockFileLeftByAProcessKilledWhileClaimingIsTakenOver)
{
    // A process that died between taking a caption's lock file and listening
    // leaves both a lock file and a socket behind.
    const std::string caption = "Statwalk in mode: HMM Training";
    const std::string sock =
        runtimeDir() + "/" + QCryptographicHash::hash(QByteArray::fromStdString(caption), QCryptographicHash::Sha256)
                                 .left(16)
                                 .toHex()
                                 .toStdString();
    Peer peer({QString::fromStdString(caption)});
    ASSERT_TRUE(peer.ready()) << peer.firstLine();
    const qint64 deadPid = peer.process().processId();
    peer.kill9();
    ASSERT_TRUE(std::filesystem::is_socket(sock));
    {
        std::ofstream lock(sock + ".lock");
        lock << deadPid << "\nplatform_test_peer\n" << QSysInfo::machineHostName().toStdString() << "\n";
    }
    QElapsedTimer t;
    t.start();
    std::string error;
    auto w = WindowEndpoint::create(caption, nullptr, &error);
    ASSERT_TRUE(w) << error;
    EXPECT_LT(t.elapsed(), 1500);  // the dead holder is seen at once, not after the lock's age
    EXPECT_EQ(findWindowByCaption(caption), w->handle());
    EXPECT_FALSE(std::filesystem::exists(sock + ".lock"));  // released once the socket listened
}

TEST(Ipc, APeerThatEndedOrIsSlowCostsABoundedWait)
{
    const auto before = sockets();
    Peer peer({"slow peer"});
    ASSERT_TRUE(peer.ready()) << peer.firstLine();
    const WindowHandle h = findWindowByCaption("slow peer");
    ASSERT_NE(h, 0u);
    QElapsedTimer t;
    t.start();
    EXPECT_EQ(sendMessage(h, 1006, 1000, 0, 200), 0);  // it answers too late
    EXPECT_GE(t.elapsed(), 190);
    EXPECT_LT(t.elapsed(), 950);
    EXPECT_EQ(sendMessage(h, 1001, 3, 0, 10000), 6);  // served once it is free again

    EXPECT_TRUE(postMessage(h, 1005, 0, 0));  // it quits
    ASSERT_TRUE(peer.process().waitForFinished(5000));
    EXPECT_EQ(peer.process().exitCode(), 0);
    t.restart();
    EXPECT_FALSE(postMessage(h, 1000, 0, 0));
    EXPECT_EQ(sendMessage(h, 1001, 1, 0), 0);
    EXPECT_EQ(findWindowByCaption("slow peer"), 0u);
    EXPECT_LT(t.elapsed(), 3000);
    EXPECT_EQ(sockets(), before);  // a peer that ended cleanly removed its socket
}

TEST(Ipc, APeerKilledWhileItHandlesASendAnswersZeroAtOnce)
{
    Peer peer({"dying peer"});
    ASSERT_TRUE(peer.ready()) << peer.firstLine();
    const WindowHandle h = findWindowByCaption("dying peer");
    ASSERT_NE(h, 0u);
    const pid_t pid = pid_t(peer.process().processId());
    std::thread killer([pid]() {
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        ::kill(pid, SIGKILL);
    });
    QElapsedTimer t;
    t.start();
    EXPECT_EQ(sendMessage(h, 1006, 20000, 0, 20000), 0);  // it would answer 7 after 20 s
    killer.join();
    EXPECT_GE(t.elapsed(), 250);
    EXPECT_LT(t.elapsed(), 5000);  // the lost connection ends the wait, not the timeout
    peer.process().waitForFinished(5000);
    EXPECT_EQ(sendMessage(h, 1001, 1, 0), 0);
}

TEST(Ipc, ConnectionsOfAnotherUserAreDropped)
{
    if (::geteuid() != 0)
        GTEST_SKIP() << "needs root to connect as another user";
    Peer peer({"guarded"});
    ASSERT_TRUE(peer.ready()) << peer.firstLine();
    // The caption's socket: named by a hash of the caption's bytes.
    const std::string sock = runtimeDir() + "/" +
                             QCryptographicHash::hash("guarded", QCryptographicHash::Sha256).left(16).toHex().toStdString();
    ASSERT_TRUE(std::filesystem::is_socket(sock)) << sock;
    // Let another user reach the socket at all, so that only the uid check stands.
    const std::string dir = runtimeDir();
    const std::string parent = std::filesystem::path(dir).parent_path().string();
    ASSERT_EQ(::chmod(parent.c_str(), 0711), 0);
    ASSERT_EQ(::chmod(dir.c_str(), 0711), 0);
    ASSERT_EQ(::chmod(sock.c_str(), 0777), 0);
    const pid_t child = ::fork();
    if (child == 0) {
        // Only system calls from here on: this is a copy of a threaded process.
        if (::setuid(65534) != 0)
            ::_exit(10);
        const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
        sockaddr_un addr{};
        addr.sun_family = AF_UNIX;
        std::strncpy(addr.sun_path, sock.c_str(), sizeof addr.sun_path - 1);
        if (::connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0)
            ::_exit(11);
        char query[48] = {};
        const std::uint32_t magic = 0x574C4154;
        const std::uint16_t version = 1, kind = 1;
        std::memcpy(query, &magic, 4);
        std::memcpy(query + 4, &version, 2);
        std::memcpy(query + 6, &kind, 2);
        // The peer may hang up before the query is even written.
        if (::send(fd, query, sizeof query, MSG_NOSIGNAL) != ssize_t(sizeof query))
            ::_exit(errno == EPIPE || errno == ECONNRESET ? 0 : 12);
        char answer[48];
        const ssize_t n = ::read(fd, answer, sizeof answer);  // the peer hangs up unheard
        ::_exit(n <= 0 ? 0 : 13);
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    ::chmod(dir.c_str(), 0700);
    ::chmod(parent.c_str(), 0700);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
    // The peer still serves its own user.
    const WindowHandle h = findWindowByCaption("guarded");
    EXPECT_EQ(sendMessage(h, 1001, 4, 0), 8);
}

TEST(Ipc, ACaptionsSocketIsNamedByTheHashOfItsBytes)
{
    auto socketOf = [](const std::string& caption) {
        const QByteArray bytes(caption.data(), qsizetype(caption.size()));
        return runtimeDir() + "/" + QCryptographicHash::hash(bytes, QCryptographicHash::Sha256).left(16).toHex().toStdString();
    };
    // Captions that could not be file names as they are: a folder separator, a
    // parent step, bytes beyond ASCII, one longer than a socket path may be.
    const std::string odd = "../Statwalk/in mode: \xc3\xa9t\xc3\xa9 " + std::string(200, 'x');
    std::string error;
    auto w = WindowEndpoint::create(odd, nullptr, &error);
    ASSERT_TRUE(w) << error;
    EXPECT_TRUE(std::filesystem::is_socket(socketOf(odd))) << socketOf(odd);
    ASSERT_TRUE(w->setCaption("Statwalk in mode: HMM Training", &error)) << error;
    EXPECT_FALSE(std::filesystem::exists(socketOf(odd)));  // the old caption is free for others
    EXPECT_TRUE(std::filesystem::is_socket(socketOf("Statwalk in mode: HMM Training")));
    w.reset();
    EXPECT_FALSE(std::filesystem::exists(socketOf("Statwalk in mode: HMM Training")));
}

TEST(Ipc, QueriesAreAnsweredRightWhileTheWindowIsRenamed)
{
    // Long captions, so that each rename replaces the caption's storage.
    const std::string first = "Statwalk in mode: Speak & Recognize (HMM), first of two long captions";
    const std::string second = "Statwalk in mode: Speak & Recognize (HMM), second of two long captions";
    std::string error;
    auto w = WindowEndpoint::create(first, nullptr, &error);
    ASSERT_TRUE(w) << error;
    const QByteArray digest = QCryptographicHash::hash(QByteArray::fromStdString(first), QCryptographicHash::Sha256);
    const std::string sock = runtimeDir() + "/" + digest.left(16).toHex().toStdString();
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    ASSERT_GE(fd, 0);
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    std::strncpy(addr.sun_path, sock.c_str(), sizeof addr.sun_path - 1);
    ASSERT_EQ(::connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0) << sock;

    // A peer on this connection keeps asking whether the window is the first
    // caption's, while the window changes between the two captions.
    std::atomic<bool> renaming{true};
    std::atomic<int> yes{0}, no{0}, wrong{0};
    std::thread asker([&]() {
        while (renaming.load()) {
            char frame[48] = {};
            const std::uint32_t magic = 0x574C4154;
            const std::uint16_t version = 1, kind = 1;
            std::memcpy(frame, &magic, 4);
            std::memcpy(frame + 4, &version, 2);
            std::memcpy(frame + 6, &kind, 2);
            std::memcpy(frame + 36, digest.constData(), 8);
            if (::send(fd, frame, sizeof frame, MSG_NOSIGNAL) != ssize_t(sizeof frame))
                break;
            char answer[48];
            std::size_t got = 0;
            while (got < sizeof answer) {
                const ssize_t n = ::read(fd, answer + got, sizeof answer - got);
                if (n <= 0)
                    break;
                got += std::size_t(n);
            }
            if (got < sizeof answer) {
                ++wrong;
                break;
            }
            std::int32_t result;
            std::memcpy(&result, answer + 32, 4);
            if (result == std::int32_t(w->handle()))
                ++yes;
            else if (result == 0)
                ++no;
            else
                ++wrong;
        }
    });
    for (int i = 0; i < 150; ++i) {
        if (!w->setCaption(i % 2 ? first : second, &error)) {
            ADD_FAILURE() << error;
            break;
        }
        std::this_thread::yield();
    }
    renaming = false;
    asker.join();
    ::close(fd);
    EXPECT_EQ(wrong.load(), 0);
    EXPECT_GT(yes.load() + no.load(), 0);
}

TEST(RuntimeDir, RefusesAnUnsafeFolder)
{
    const char* saved = std::getenv("XDG_RUNTIME_DIR");
    const std::string keep = saved ? saved : "";
    talvor::test::TempDir tmp;
    ::setenv("XDG_RUNTIME_DIR", tmp.path().c_str(), 1);
    std::string error;
    const std::string dir = runtimeDir(&error);
    ASSERT_EQ(dir, tmp.path() + "/talvor") << error;
    struct stat st {};
    ASSERT_EQ(::stat(dir.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0700u);

    ASSERT_EQ(::chmod(dir.c_str(), 0755), 0);
    EXPECT_EQ(runtimeDir(&error), "");
    EXPECT_NE(error.find("open to other users"), std::string::npos) << error;
    error.clear();
    EXPECT_FALSE(WindowEndpoint::create("unsafe", nullptr, &error));
    EXPECT_NE(error.find("open to other users"), std::string::npos) << error;
    EXPECT_EQ(findWindowByCaption("anything"), 0u);

    if (::geteuid() == 0) {
        ASSERT_EQ(::chmod(dir.c_str(), 0700), 0);
        ASSERT_EQ(::chown(dir.c_str(), 65534, 65534), 0);
        EXPECT_EQ(runtimeDir(&error), "");
        EXPECT_NE(error.find("another user"), std::string::npos) << error;
        ASSERT_EQ(::chown(dir.c_str(), 0, 0), 0);
    }
    std::filesystem::remove_all(dir);
    std::filesystem::create_symlink("/tmp", dir);
    EXPECT_EQ(runtimeDir(&error), "");
    EXPECT_NE(error.find("not a folder"), std::string::npos) << error;
    std::filesystem::remove(dir);

    ::setenv("XDG_RUNTIME_DIR", (tmp.path() + "/missing").c_str(), 1);
    EXPECT_EQ(runtimeDir(&error), "");
    EXPECT_NE(error.find("Cannot create"), std::string::npos) << error;
    ::setenv("XDG_RUNTIME_DIR", keep.c_str(), 1);
}

namespace {

std::string socketOfCaption(const std::string& caption)
{
    const QByteArray bytes(caption.data(), qsizetype(caption.size()));
    return runtimeDir() + "/" +
           QCryptographicHash::hash(bytes, QCryptographicHash::Sha256).left(16).toHex().toStdString();
}

// A plain connection to a window's socket that says nothing; -1 when the
// socket takes none.
int connectQuietly(const std::string& path)
{
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    std::strncpy(addr.sun_path, path.c_str(), sizeof addr.sun_path - 1);
    if (::connect(fd, reinterpret_cast<const sockaddr*>(&addr), sizeof addr) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

}  // namespace

TEST(Ipc, AWindowOutOfDescriptorsAnswersAgainOnceTheyAreFree)
{
    Peer starved({"starved peer"});
    ASSERT_TRUE(starved.ready()) << starved.firstLine();
    const WindowHandle h = findWindowByCaption("starved peer");
    ASSERT_NE(h, 0u);
    ASSERT_GT(sendMessage(h, 1009, 0, 0), 0);  // no descriptor left in the peer

    // New connections reach its socket but cannot be accepted for now.
    std::vector<int> waiting;
    for (int k = 0; k < 3; ++k) {
        waiting.push_back(connectQuietly(socketOfCaption("starved peer")));
        EXPECT_GE(waiting.back(), 0) << k;
    }
    talvor::test::serveEventsFor(400);
    EXPECT_TRUE(std::filesystem::is_socket(socketOfCaption("starved peer")));  // still listening

    // Freed over the connection made before, it is reached again through a
    // new one, from another process.
    EXPECT_GT(sendMessage(h, 1010, 0, 0), 0);
    Peer helper({"starved peer's helper", "starved peer"});
    ASSERT_TRUE(helper.ready()) << helper.firstLine();
    const WindowHandle helperWindow = findWindowByCaption("starved peer's helper");
    ASSERT_NE(helperWindow, 0u);
    EXPECT_EQ(sendMessage(helperWindow, 1012, 20, 0), 41);
    for (int fd : waiting)
        ::close(fd);
}

TEST(Ipc, AWindowHoldsABoundedNumberOfConnections)
{
    Peer busy({"busy peer"});
    ASSERT_TRUE(busy.ready()) << busy.firstLine();
    const WindowHandle h = findWindowByCaption("busy peer");
    ASSERT_NE(h, 0u);
    const int before = sendMessage(h, 1011, 0, 0);
    ASSERT_GT(before, 0);

    std::vector<int> idle;
    for (int k = 0; k < 150; ++k) {
        idle.push_back(connectQuietly(socketOfCaption("busy peer")));
        if (k % 20 == 19)
            talvor::test::serveEventsFor(20);  // let the queue drain
    }
    talvor::test::serveEventsFor(400);
    const int held = sendMessage(h, 1011, 0, 0);
    EXPECT_LE(held - before, 64) << held << " descriptors, " << before << " before";

    // Once they close, a new process reaches the window again.
    for (int fd : idle)
        if (fd >= 0)
            ::close(fd);
    talvor::test::serveEventsFor(300);
    Peer helper({"busy peer's helper", "busy peer"});
    ASSERT_TRUE(helper.ready()) << helper.firstLine();
    const WindowHandle helperWindow = findWindowByCaption("busy peer's helper");
    ASSERT_NE(helperWindow, 0u);
    EXPECT_EQ(sendMessage(helperWindow, 1012, 5, 0), 11);
    EXPECT_LE(sendMessage(h, 1011, 0, 0) - before, 2);
}

namespace {

int descriptorsOf(qint64 pid)
{
    std::error_code ec;
    int n = 0;
    for (auto it = std::filesystem::directory_iterator("/proc/" + std::to_string(pid) + "/fd", ec);
         !ec && it != std::filesystem::directory_iterator(); it.increment(ec))
        ++n;
    return n;
}

}  // namespace

// Connections that say nothing, or stop in the middle of a frame, held open by
// another process beyond the window's limit: a normal send is still answered
// at once, and they are closed within about two seconds.
TEST(Ipc, AFloodOfIdleAndHalfFrameConnectionsDoesNotLockAWindow)
{
    Peer target({"flooded peer"});
    ASSERT_TRUE(target.ready()) << target.firstLine();
    const qint64 pid = target.process().processId();
    const WindowHandle h = findWindowByCaption("flooded peer");
    ASSERT_NE(h, 0u);
    talvor::test::serveEventsFor(100);
    const int before = descriptorsOf(pid);

    struct Flood {
        const char* name;
        const char* idle;
        const char* half;
    };
    for (const Flood& f : {Flood{"half frames", "0", "200"}, Flood{"idle and half frames", "3000", "200"}}) {
        SCOPED_TRACE(f.name);
        Peer flood({"--flood", QString::fromStdString(socketOfCaption("flooded peer")), f.idle, f.half});
        ASSERT_EQ(flood.firstLine().rfind("FLOODED ", 0), 0u) << flood.firstLine();
        EXPECT_GE(std::stoi(flood.firstLine().substr(8)), std::atoi(f.idle) + std::atoi(f.half));
        QElapsedTimer t;
        t.start();
        EXPECT_EQ(sendMessage(h, 1001, 20, 1, 5000), 41);
        EXPECT_LT(t.elapsed(), 1000);
        // The flood's peer keeps its ends open; the window closes its own.
        EXPECT_TRUE(spinUntil([&]() { return descriptorsOf(pid) <= before + 1; }, 5000))
            << descriptorsOf(pid) << " descriptors, " << before << " before";
        EXPECT_EQ(sendMessage(h, 1001, 3, 1, 5000), 7);
    }
}

// A connection the window closed while it was idle is made again for the
// next message, and a send whose handler takes longer than the idle limit is
// answered over the connection it came by.
TEST(Ipc, IdleConnectionsAreMadeAgainAndLongSendsKeepTheirs)
{
    Peer peer({"idle peer"});
    ASSERT_TRUE(peer.ready()) << peer.firstLine();
    const WindowHandle h = findWindowByCaption("idle peer");
    ASSERT_NE(h, 0u);
    EXPECT_EQ(sendMessage(h, 1001, 1, 0), 2);
    talvor::test::serveEventsFor(2600);  // idle beyond both sides' limits
    EXPECT_EQ(sendMessage(h, 1001, 2, 0), 4);
    EXPECT_TRUE(postMessage(h, 1000, 0, 0));
    talvor::test::serveEventsFor(2600);
    EXPECT_TRUE(postMessage(h, 1000, 1, 0));
    EXPECT_EQ(sendMessage(h, 1003, 0, 0), 2);  // both posts came, in order
    EXPECT_EQ(sendMessage(h, 1006, 3000, 0, 10000), 7);  // sleeps 3 s in its handler
}
