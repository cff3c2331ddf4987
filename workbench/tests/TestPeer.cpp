// A stand-in for an external HMM program in the workbench's tests: started
// with no arguments, it opens a window with a caption, may send the main
// window command keys, and ends when told.  Configured by its environment:
//   TALVOR_PEER_CAPTION   the caption of its window (none: it opens none)
//   TALVOR_PEER_TARGET    caption of the window to send keys to
//   TALVOR_PEER_KEYS      key codes to post to it as WM_KEYDOWN, e.g. "26674,26675"
//   TALVOR_PEER_STOPFILE  it ends as soon as this file exists
//   TALVOR_PEER_LOG       it appends its working folder and each step here
// It never lives longer than 60 seconds.
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTimer>

#include <cstdio>
#include <memory>
#include <string>

#include "platform/Window.h"

namespace {

std::string env(const char* name)
{
    return qEnvironmentVariable(name).toStdString();
}

void log(const std::string& line)
{
    const QString path = qEnvironmentVariable("TALVOR_PEER_LOG");
    if (path.isEmpty())
        return;
    QFile f(path);
    if (f.open(QIODevice::Append))
        f.write((line + "\n").c_str());
}

}  // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    using namespace talvor::platform;
    log("started in " + QDir::currentPath().toStdString());

    std::unique_ptr<WindowEndpoint> window;
    const std::string caption = env("TALVOR_PEER_CAPTION");
    if (!caption.empty()) {
        std::string error;
        window = WindowEndpoint::create(caption, [](std::uint32_t, std::uint32_t, std::int32_t) { return 0; }, &error);
        if (!window) {
            log("cannot open window: " + error);
            return 3;
        }
        log("window " + caption);
    }

    const std::string target = env("TALVOR_PEER_TARGET");
    const QStringList keys = qEnvironmentVariable("TALVOR_PEER_KEYS").split(',', Qt::SkipEmptyParts);
    if (!target.empty() && !keys.isEmpty()) {
        const WindowHandle h = findWindowByCaption(target);
        for (const QString& k : keys) {
            const bool sent = postMessage(h, WM_KEYDOWN, k.toUInt(), 0);
            log("key " + k.toStdString() + (sent ? " sent" : " not sent"));
        }
    }

    const QString stopFile = qEnvironmentVariable("TALVOR_PEER_STOPFILE");
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if (!stopFile.isEmpty() && QFile::exists(stopFile)) {
            log("stopped");
            QCoreApplication::quit();
        }
    });
    poll.start(50);
    QTimer::singleShot(60000, [] { QCoreApplication::quit(); });
    return app.exec();
}
