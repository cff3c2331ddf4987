// statwalk1, the HMM trainer.  Started from the program folder with no
// arguments, it reads STATWALK1.EDF there, registers the window
// "Statwalk in mode: <mode name>", trains one model per vocabulary word on the
// reference word sets and writes the models into the work folder.  When every
// model is written the window closes by itself; after a failure it stays open
// with the reason until the user closes it.  The log is kept in the work
// folder as statwalk1.log.
//
// Exit codes: 0 done, 1 training failed, 2 bad configuration, 3 no window.
#include <QApplication>
#include <QTimer>
#include <atomic>
#include <cstdio>
#include <ctime>
#include <mutex>
#include <thread>

#include "StatwalkWindow.h"
#include "common/FileNames.h"
#include "common/ModuleState.h"
#include "platform/Process.h"
#include "platform/Window.h"
#include "statwalk/Jobs.h"

using namespace talvor;
using namespace talvor::statwalk;

namespace {

constexpr int kLingerMs = 1500;  // the finished log stays this long before the window closes

statwalk::TrainingDay today()
{
    const std::time_t now = std::time(nullptr);
    std::tm day{};
    ::localtime_r(&now, &day);
    return {day.tm_year + 1900, day.tm_mon + 1, day.tm_mday};
}

}  // namespace

int main(int argc, char** argv)
{
    // A write past the file-size limit fails and is reported instead of ending the program.
    platform::ignoreFileSizeSignal();
    const std::string folder = programFolderOf(argc > 0 ? argv[0] : nullptr);
    StatwalkConfig job;
    std::string error;
    if (!loadJob(folder, StatwalkKind::Training, &job, &error)) {
        std::fprintf(stderr, "statwalk1: %s\n", error.c_str());
        return 2;
    }

    QApplication app(argc, argv);
    const std::string caption = std::string(kCaptionStatwalk) + modeNameTable(job.mode);
    StatwalkWindow window(caption);
    auto endpoint = platform::WindowEndpoint::create(
        caption,
        [](std::uint32_t msg, std::uint32_t wParam, std::int32_t) -> std::int32_t {
            // The trainer takes no commands but the close command.
            if (msg == 26666 && wParam == 26672) {
                QTimer::singleShot(0, qApp, [] { qApp->closeAllWindows(); });
                return 1;
            }
            return 0;
        },
        &error);
    if (!endpoint) {
        std::fprintf(stderr, "statwalk1: cannot register the window \"%s\": %s\n", caption.c_str(), error.c_str());
        return 3;
    }
    endpoint->setWidget(&window);

    std::mutex logMutex;
    std::vector<std::string> lines;
    const LogSink log = [&](const std::string& line) {
        {
            std::lock_guard lock(logMutex);
            lines.push_back(line);
        }
        window.appendLine(line);
    };
    window.setStatus("Training the models of the vocabulary " + job.vocabulary + " in the work directory " +
                     job.workDirectory + " ...");
    window.show();

    std::atomic<bool> cancel{false};
    std::atomic<bool> finished{false};
    int exitCode = 0;
    std::thread worker([&] {
        const TrainingOutcome outcome = runTraining(folder, job, today(), log, &cancel);
        QMetaObject::invokeMethod(
            &window,
            [&, outcome] {
                finished = true;
                JobPlace place;
                if (resolveJob(folder, job, &place, nullptr)) {
                    std::lock_guard lock(logMutex);
                    std::string text;
                    for (const std::string& l : lines)
                        text += l + "\r\n";
                    writeFileWhole(joinPath(place.workFolder, "statwalk1.log"), text);
                }
                if (outcome.ok) {
                    window.setStatus("Done: " + std::to_string(outcome.written.size()) + " models written.");
                    QTimer::singleShot(kLingerMs, qApp, &QCoreApplication::quit);
                } else {
                    exitCode = 1;
                    window.setStatus("Training failed: " + outcome.error + ". Close this window to go back.");
                }
            },
            Qt::QueuedConnection);
    });
    // Closing the window stops the training between two words; nothing is written then.
    window.setOnDismiss([&] {
        window.hide();
        if (!finished) {
            cancel = true;
            exitCode = 1;
        }
        QCoreApplication::quit();
    });

    const int rc = app.exec();
    cancel = true;
    worker.join();
    endpoint.reset();
    return rc != 0 ? rc : exitCode;
}
