// A small program that stands in for another process of the message protocol
// in the cross-process tests.
//
//   platform_test_peer CAPTION [REPLY-CAPTION]   registers CAPTION, prints "READY <handle>"
//   platform_test_peer --sound-probe              opens the default sound input once, prints
//                                                "OPENED" or the error text, and ends
//   platform_test_peer --lock NAME                takes the single-instance lock NAME,
//                                                 prints "LOCKED" or "BUSY", then waits
//   platform_test_peer                            (no arguments, as ChildProcess starts it)
//                                                 writes its working folder to started.txt and
//                                                 registers the caption read from peer.cfg
//
// Messages to its window (results are what a send returns):
//   1000 w       recorded (posts in order)
//   1001 w l     2 * w + l
//   1002 w       sends 2000 w to REPLY-CAPTION inside the send; that answer + 1
//   1003         the number of 1000s recorded when they came in order 0, 1, 2, ...; else -1
//   1004 w l     posts 2001 w l to REPLY-CAPTION; 1
//   1005         quits
//   1006 w       sleeps w ms; 7
//   1007         10 * requests seen + the last request's number
//   1008         renames its window to CAPTION + " renamed"; 1 on success
//   1009         lowers its descriptor limit and opens descriptors until none is
//                left; the number opened
//   1010         closes them and restores the limit; the number closed
//   1011         the number of descriptors it holds open
//   1012 w       sends 1001 w 1 to REPLY-CAPTION (a new connection); its answer
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTimer>
#include <chrono>
#include <cstdio>
#include <thread>
#include <dirent.h>
#include <fcntl.h>
#include <sys/resource.h>
#include <unistd.h>
#include <vector>

#include "platform/Audio.h"
#include "platform/Process.h"
#include "platform/Window.h"

using namespace talvor::platform;

namespace {

int openDescriptors()
{
    int n = 0;
    if (DIR* d = ::opendir("/proc/self/fd")) {
        while (dirent* e = ::readdir(d))
            n += e->d_name[0] != '.' ? 1 : 0;
        ::closedir(d);
        --n;  // the listing's own
    }
    return n;
}

std::vector<int> g_filler;
struct rlimit g_oldLimit {};

int exhaustDescriptors()
{
    ::getrlimit(RLIMIT_NOFILE, &g_oldLimit);
    struct rlimit low = g_oldLimit;
    low.rlim_cur = rlim_t(openDescriptors() + 16);
    ::setrlimit(RLIMIT_NOFILE, &low);
    for (;;) {
        const int fd = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
        if (fd < 0)
            break;
        g_filler.push_back(fd);
    }
    return int(g_filler.size());
}

int freeDescriptors()
{
    for (int fd : g_filler)
        ::close(fd);
    const int n = int(g_filler.size());
    g_filler.clear();
    ::setrlimit(RLIMIT_NOFILE, &g_oldLimit);
    return n;
}

}  // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    std::string caption, replyCaption;
    if (argc >= 2 && std::string(argv[1]) == "--sound-probe") {
        std::vector<std::int16_t> buffer(800);
        auto in = createPortAudioInput();
        std::string error;
        if (in->open(buffer.data(), buffer.size(), nullptr, &error)) {
            std::printf("OPENED\n");
            in->release();
        } else {
            std::printf("%s\n", error.c_str());
        }
        return 0;
    }
    if (argc >= 3 && std::string(argv[1]) == "--lock") {
        SingleInstanceLock lock(argv[2]);
        const bool got = lock.tryLock();
        std::printf(got ? "LOCKED\n" : "BUSY\n");
        std::fflush(stdout);
        if (!got)
            return 4;
        return app.exec();  // holds the lock until killed
    }
    if (argc >= 2) {
        caption = argv[1];
        if (argc >= 3)
            replyCaption = argv[2];
    } else {
        QFile started(QStringLiteral("started.txt"));
        if (started.open(QIODevice::WriteOnly))
            started.write(QDir::currentPath().toUtf8());
        started.close();
        QFile cfg(QStringLiteral("peer.cfg"));
        if (!cfg.open(QIODevice::ReadOnly))
            return 2;
        caption = cfg.readLine().trimmed().toStdString();
    }

    std::vector<std::uint32_t> posts;
    int requests = 0;
    int lastRequest = 0;
    std::unique_ptr<WindowEndpoint> window;
    auto handler = [&](std::uint32_t msg, std::uint32_t w, std::int32_t l) -> std::int32_t {
        switch (msg) {
        case 1000: posts.push_back(w); return 0;
        case 1001: return std::int32_t(2 * w) + l;
        case 1002: return sendMessage(findWindowByCaption(replyCaption), 2000, w, 0, 5000) + 1;
        case 1003:
            for (std::size_t i = 0; i < posts.size(); ++i)
                if (posts[i] != i)
                    return -1;
            return std::int32_t(posts.size());
        case 1004: return postMessage(findWindowByCaption(replyCaption), 2001, w, l) ? 1 : 0;
        case 1005: QTimer::singleShot(0, &app, &QCoreApplication::quit); return 0;
        case 1006: std::this_thread::sleep_for(std::chrono::milliseconds(w)); return 7;
        case 1007: return 10 * requests + lastRequest;
        case 1008: return window->setCaption(caption + " renamed") ? 1 : 0;
        case 1009: return exhaustDescriptors();
        case 1010: return freeDescriptors();
        case 1011: return openDescriptors();
        case 1012: return sendMessage(findWindowByCaption(replyCaption), 1001, w, 1, 5000);
        default: return 0;
        }
    };
    std::string error;
    window = WindowEndpoint::create(caption, handler, &error);
    if (!window) {
        std::printf("REFUSED %s\n", error.c_str());
        return 3;
    }
    window->setRequestHandler([&](WindowRequest r) {
        ++requests;
        lastRequest = int(r);
    });
    std::printf("READY %u\n", unsigned(window->handle()));
    std::fflush(stdout);
    const int rc = app.exec();
    window.reset();
    return rc;
}
