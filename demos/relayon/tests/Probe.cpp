// Test helper: a Relayon log in another process, for tests whose sender lives
// in the test process (the analyser never posts to a window of its own
// process).
//
//   relayon_test_probe CAPTION
//
// Registers CAPTION, prints "READY", then after every result message prints
// "LOG " and the whole log with CR and LF written as \r and \n.  Ends when
// its standard input closes.
#include <QCoreApplication>
#include <QSocketNotifier>
#include <cstdio>
#include <unistd.h>

#include "platform/Window.h"
#include "relayon/RelayonLog.h"

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    if (argc < 2)
        return 2;
    talvor::relayon::RelayonLog log;
    std::string error;
    auto window = talvor::platform::WindowEndpoint::create(
        argv[1],
        [&](std::uint32_t msg, std::uint32_t w, std::int32_t l) {
            if (!log.handleMessage(msg, w, l))
                return 0;
            QString escaped = log.text();
            escaped.replace(QStringLiteral("\r"), QStringLiteral("\\r")).replace(QStringLiteral("\n"), QStringLiteral("\\n"));
            std::printf("LOG %s\n", escaped.toUtf8().constData());
            std::fflush(stdout);
            return 0;
        },
        &error);
    if (!window) {
        std::printf("FAILED %s\n", error.c_str());
        return 1;
    }
    std::printf("READY\n");
    std::fflush(stdout);
    QSocketNotifier input(STDIN_FILENO, QSocketNotifier::Read);
    QObject::connect(&input, &QSocketNotifier::activated, &app, [&] {
        char c;
        if (::read(STDIN_FILENO, &c, 1) <= 0)
            app.quit();
    });
    return app.exec();
}
