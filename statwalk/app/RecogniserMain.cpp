// statwalk2, the HMM recogniser.  Started from the program folder with no
// arguments, it reads STATWALK2.EDF there, registers the window
// "Statwalk in mode: <mode name>" and reads the models of the work folder.
//
// Its log (the model files it left out and why, and every word it recognised)
// is kept in the work folder as statwalk2.log in every mode.
//
// HMM Matching: every word of the test file is recognised, the results and
// the accuracy against the labels are shown, and the window closes by itself,
// unless a model file was left out: then it stays until the user closes it.
//
// Pick & Match (HMM) and Speak & Recognize (HMM): the program stays and
// answers the analyser's window (RecogniserSession): the recognised word's
// vocabulary index as a key, posted; TALVOR_STATWALK_ANSWER_BY=send sends the
// keys instead.  A pick shows its result in the window, which keeps control
// until the user closes it (or a peer asks to hide it).  Closing the window
// only hides it; the close command ends the program.
//
// Exit codes: 0 done, 1 recognition could not run, 2 bad configuration, 3 no window.
#include <QApplication>
#include <QTimer>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

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
    Recogniser recogniser;
    // Every line of the window's log is kept in the work folder as statwalk2.log.
    std::vector<std::string> lines;
    const LogSink log = [&](const std::string& line) {
        lines.push_back(line);
        window.appendLine(line);
    };
    auto saveLog = [&] {
        if (recogniser.workFolder().empty())
            return;
        std::string text;
        for (const std::string& l : lines)
            text += l + "\r\n";
        writeFileWhole(joinPath(recogniser.workFolder(), "statwalk2.log"), text);
    };

    // Refused model files must be seen: the window stays up (a peer's request
    // to hide it is not followed) until the user has dismissed it once.
    bool refusalsUnseen = false;
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
         [&](const std::string& text) {
             window.setStatus(text);
             window.show();
             window.raise();
         },
         [] { QTimer::singleShot(0, qApp, &QCoreApplication::quit); }, log});

    auto endpoint = platform::WindowEndpoint::create(
        caption, [&](std::uint32_t msg, std::uint32_t wParam, std::int32_t lParam) {
            const std::int32_t handled = session.handle(msg, wParam, lParam);
            if (handled)
                saveLog();
            return handled;
        },
        &error);
    if (!endpoint) {
        std::fprintf(stderr, "statwalk2: cannot register the window \"%s\": %s\n", caption.c_str(), error.c_str());
        return 3;
    }
    endpoint->setWidget(&window);
    window.show();

    int exitCode = 0;
    const std::string testFile = job.files.empty() ? std::string() : job.files[0];
    log("Vocabulary " + job.vocabulary + ", work directory " + job.workDirectory +
        (job.mode == 4 ? ", test file " + testFile : std::string()));
    const bool loaded = recogniser.load(folder, job, log, &error);
    if (!loaded) {
        log("Cannot recognise: " + error);
        exitCode = 1;
    }
    std::string refusedNote;
    if (!recogniser.refusals().empty()) {
        refusalsUnseen = true;
        refusedNote = std::to_string(recogniser.refusals().size()) +
                      (recogniser.refusals().size() == 1 ? " model file was" : " model files were") +
                      " not used (see the log): " + recogniser.refusals().front() +
                      (recogniser.refusals().size() > 1 ? "; ..." : "") + ". ";
    }
    saveLog();
    if (staysOpen(job.mode)) {
        window.setStatus(loaded ? refusedNote + (refusalsUnseen ? "Close this window to go on; the recogniser "
                                                                  "waits for the analyser."
                                                                : "Ready: waiting for the analyser.")
                                : "Cannot recognise: " + error);
        auto dismiss = [&] {
            refusalsUnseen = false;
            window.hide();
            session.dismissed();
        };
        window.setOnDismiss(dismiss);
        // The analyser hides the window when its mode starts; a request to
        // hide it while it shows a result is the result being dismissed.
        endpoint->setRequestHandler([&, dismiss](platform::WindowRequest request) {
            switch (request) {
            case platform::WindowRequest::Hide:
                if (refusalsUnseen && !session.holdsControl())
                    return;
                dismiss();
                break;
            case platform::WindowRequest::Show: window.show(); break;
            case platform::WindowRequest::Enable: window.setEnabled(true); break;
            case platform::WindowRequest::Disable: window.setEnabled(false); break;
            }
        });
    } else {
        const std::string what = "the test file " + testFile + " with the models of the work directory " +
                                 job.workDirectory;
        window.setStatus(loaded ? refusedNote + "Recognising " + what + " ..."
                                : "Cannot recognise: " + error + ". Close this window to go back.");
        window.setOnDismiss([] { QCoreApplication::quit(); });
        if (loaded)
            QTimer::singleShot(0, &window, [&, what, refusedNote] {
                std::string why;
                const TestRun run = recogniseTestSet(recogniser, &why);
                if (run.words == 0 && !why.empty()) {
                    log("Cannot recognise: " + why);
                    saveLog();
                    window.setStatus("Cannot recognise: " + why + ". Close this window to go back.");
                    exitCode = 1;
                    return;
                }
                for (const std::string& line : run.lines)
                    log(line);
                log(run.summary);
                saveLog();
                if (!refusedNote.empty()) {
                    // Stays until the user has read why models were left out.
                    window.setStatus("Recognised " + what + ". " + run.summary + ". " + refusedNote +
                                     "Close this window to go back.");
                    return;
                }
                window.setStatus("Recognised " + what + ". " + run.summary);
                QTimer::singleShot(kLingerMs, qApp, &QCoreApplication::quit);
            });
    }

    const int rc = app.exec();
    endpoint.reset();
    return rc != 0 ? rc : exitCode;
}
