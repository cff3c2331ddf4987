// statwalk2, the HMM recogniser.  Started from the program folder with no
// arguments, it reads STATWALK2.EDF there, registers the window
// "Statwalk in mode: <mode name>" and reads the models of the work folder.
//
// HMM Matching: every word of the test file is recognised, the results and
// the accuracy against the labels are shown (and kept in the work folder as
// statwalk2.log), and the window closes by itself.
//
// Pick & Match (HMM) and Speak & Recognize (HMM): the program stays and
// answers the analyser's window (RecogniserSession): the recognised word's
// vocabulary index as a key, posted; TALVOR_STATWALK_ANSWER_BY=send sends the
// keys instead.  Closing the window only hides it; the close command ends the
// program.
//
// Exit codes: 0 done, 1 recognition could not run, 2 bad configuration, 3 no window.
#include <QApplication>
#include <QTimer>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "StatwalkWindow.h"
#include "common/FileNames.h"
#include "common/ModuleState.h"
#include "platform/Process.h"
#include "platform/Window.h"
#include "statwalk/Jobs.h"
#include "statwalk/Session.h"

using namespace talvor;
using namespace talvor::statwalk;

namespace {

constexpr int kLingerMs = 2000;  // the finished results stay this long before the window closes

bool staysOpen(std::int32_t mode)
{
    return mode == 5 || mode == 7;  // Pick & Match (HMM), Speak & Recognize (HMM)
}

}  // namespace

int main(int argc, char** argv)
{
    // A write past the file-size limit fails and is reported instead of ending the program.
    platform::ignoreFileSizeSignal();
    const std::string folder = programFolderOf(argc > 0 ? argv[0] : nullptr);
    StatwalkConfig job;
    std::string error;
    if (!loadJob(folder, StatwalkKind::Recognition, &job, &error)) {
        std::fprintf(stderr, "statwalk2: %s\n", error.c_str());
        return 2;
    }
    const char* answerBy = std::getenv("TALVOR_STATWALK_ANSWER_BY");
    const bool sendAnswers = answerBy && std::strcmp(answerBy, "send") == 0;

    QApplication app(argc, argv);
    const std::string caption = std::string(kCaptionStatwalk) + modeNameTable(job.mode);
    const std::string analyserCaption = std::string(kCaptionWavescope) + modeNameTable(job.mode);
    StatwalkWindow window(caption);
    const LogSink log = [&](const std::string& line) { window.appendLine(line); };

    Recogniser recogniser;
    RecogniserSession session(
        recogniser,
        {[&](std::uint32_t key) {
             const platform::WindowHandle to = platform::findWindowByCaption(analyserCaption);
             if (to == 0) {
                 log("Key " + std::to_string(key) + " not delivered: no window \"" + analyserCaption + "\"");
                 return;
             }
             if (sendAnswers)
                 platform::sendMessage(to, platform::WM_KEYDOWN, key, 0);
             else
                 platform::postMessage(to, platform::WM_KEYDOWN, key, 0);
         },
         [&] {
             window.setStatus("Last result: " + session.lastResultText() + ". Close this window to go back.");
             window.show();
             window.raise();
         },
         [] { QTimer::singleShot(0, qApp, &QCoreApplication::quit); }, log});

    auto endpoint = platform::WindowEndpoint::create(
        caption, [&](std::uint32_t msg, std::uint32_t wParam, std::int32_t lParam) {
            return session.handle(msg, wParam, lParam);
        },
        &error);
    if (!endpoint) {
        std::fprintf(stderr, "statwalk2: cannot register the window \"%s\": %s\n", caption.c_str(), error.c_str());
        return 3;
    }
    endpoint->setWidget(&window);
    window.show();

    int exitCode = 0;
    const bool loaded = recogniser.load(folder, job, log, &error);
    if (!loaded) {
        log("Cannot recognise: " + error);
        exitCode = 1;
    }
    if (staysOpen(job.mode)) {
        window.setStatus(loaded ? "Ready: waiting for the analyser." : "Cannot recognise: " + error);
        window.setOnDismiss([&] {
            window.hide();
            session.dismissed();
        });
    } else {
        window.setStatus(loaded ? "Recognising the test file " + (job.files.empty() ? std::string() : job.files[0]) +
                                      " ..."
                                : "Cannot recognise: " + error + ". Close this window to go back.");
        window.setOnDismiss([] { QCoreApplication::quit(); });
        if (loaded)
            QTimer::singleShot(0, &window, [&] {
                std::string why;
                const TestRun run = recogniseTestSet(recogniser, &why);
                if (run.words == 0 && !why.empty()) {
                    log("Cannot recognise: " + why);
                    window.setStatus("Cannot recognise: " + why + ". Close this window to go back.");
                    exitCode = 1;
                    return;
                }
                std::string text;
                for (const std::string& line : run.lines) {
                    log(line);
                    text += line + "\r\n";
                }
                log(run.summary);
                text += run.summary + "\r\n";
                writeFileWhole(joinPath(recogniser.workFolder(), "statwalk2.log"), text);
                window.setStatus(run.summary);
                QTimer::singleShot(kLingerMs, qApp, &QCoreApplication::quit);
            });
    }

    const int rc = app.exec();
    endpoint.reset();
    return rc != 0 ? rc : exitCode;
}
