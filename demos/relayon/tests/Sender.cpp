// Test helper: posts window messages to the window titled CAPTION, as a
// recogniser in another process does.
//
//   relayon_test_sender CAPTION MSG WPARAM LPARAM [MSG WPARAM LPARAM ...]
//
// Waits up to five seconds for the window; prints "SENT n" (n messages
// posted) or "NO WINDOW" and exits.
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QThread>
#include <cstdio>
#include <cstdlib>

#include "platform/Window.h"

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    if (argc < 2)
        return 2;
    using namespace talvor::platform;
    QElapsedTimer t;
    t.start();
    WindowHandle h = 0;
    while ((h = findWindowByCaption(argv[1])) == 0 && t.elapsed() < 5000)
        QThread::msleep(20);
    if (h == 0) {
        std::printf("NO WINDOW\n");
        return 1;
    }
    int sent = 0;
    for (int i = 2; i + 2 < argc; i += 3)
        sent += postMessage(h, std::uint32_t(std::strtoul(argv[i], nullptr, 10)),
                            std::uint32_t(std::strtoul(argv[i + 1], nullptr, 10)),
                            std::int32_t(std::strtol(argv[i + 2], nullptr, 10)))
                    ? 1
                    : 0;
    std::printf("SENT %d\n", sent);
    return 0;
}
