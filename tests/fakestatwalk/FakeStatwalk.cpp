// The fake external HMM trainer (statwalk1) or recogniser (statwalk2), for
// tests.  Started from the program folder with no arguments, it reads
// STATWALK1.EDF or STATWALK2.EDF there, registers the window
// "Statwalk in mode: <mode name>" and then does what fakestatwalk.cfg beside it
// says (FakeStatwalkCore.h): writes model files, answers the recognise and pick
// commands with a word index, sends command keys to the main window and the
// analyser, and ends on the close command.  Every step goes to
// statwalk1.log / statwalk2.log in the program folder, one line each.
//
// Exit codes: 0 ended normally, 2 bad configuration, 3 no window.

#include <QApplication>
#include <QLabel>
#include <QTimer>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <fstream>
#include <unistd.h>

#include "FakeStatwalkCore.h"
#include "common/DataTree.h"
#include "common/FileNames.h"
#include "common/ModuleState.h"
#include "common/VocabularyFile.h"
#include "platform/Process.h"
#include "platform/Window.h"

#ifndef FAKE_STATWALK_KIND
#error "FAKE_STATWALK_KIND must be 1 (trainer) or 2 (recogniser)"
#endif

using namespace talvor;
using talvor::platform::WM_KEYDOWN;

namespace {

constexpr std::uint32_t kStatwalkCommand = 26666;
constexpr std::uint32_t kStatwalkPick = 26686;
constexpr std::uint32_t kCommandClose = 26672;
constexpr std::uint32_t kCommandRecognise = 26687;
constexpr std::uint32_t kCommandHmmButton = 26666;

constexpr StatwalkKind kKind = FAKE_STATWALK_KIND == 1 ? StatwalkKind::Training : StatwalkKind::Recognition;

class Log {
public:
    explicit Log(const std::string& path) : m_out(path, std::ios::app) {}
    void line(const std::string& text)
    {
        m_out << text << '\n';
        m_out.flush();
    }

private:
    std::ofstream m_out;
};

// The program folder: where the program was started from (argv[0] as given,
// so a copy or a link in a program folder works), else the current folder.
std::string programFolder(const char* argv0)
{
    std::string p = argv0 ? argv0 : "";
    const auto slash = p.rfind('/');
    std::string folder = slash == std::string::npos ? std::string(".") : p.substr(0, slash);
    if (folder.empty())
        folder = "/";
    if (folder[0] != '/') {
        char cwd[4096];
        if (::getcwd(cwd, sizeof cwd))
            folder = joinPath(cwd, folder);
    }
    return folder;
}

class FakeStatwalk {
public:
    FakeStatwalk(std::string folder, StatwalkConfig job, fake::Behaviour behaviour, Log& log)
        : m_folder(std::move(folder)), m_job(std::move(job)), m_behaviour(std::move(behaviour)), m_log(log)
    {
    }

    bool start()
    {
        const std::string caption = std::string(kCaptionStatwalk) + modeNameTable(m_job.mode);
        std::string error;
        m_window = platform::WindowEndpoint::create(
            caption, [this](std::uint32_t msg, std::uint32_t w, std::int32_t l) { return handle(msg, w, l); }, &error);
        if (!m_window) {
            m_log.line("no window: " + error);
            std::fprintf(stderr, "%s: cannot register the window \"%s\": %s\n", statwalkProgramName(kKind),
                         caption.c_str(), error.c_str());
            return false;
        }
        m_label.setWindowTitle(QString::fromStdString(caption));
        m_label.setText(QString::fromStdString(describeJob()));
        m_label.setMargin(12);
        m_label.resize(420, 160);
        m_window->setWidget(&m_label);
        m_label.show();
        m_log.line("window " + caption);
        sendKeys(m_behaviour.mainCaption, m_behaviour.startMainKeys);
        QTimer::singleShot(m_behaviour.workMs, [this] { workDone(); });
        return true;
    }

    void finish()
    {
        sendKeys(m_behaviour.mainCaption, m_behaviour.exitMainKeys);
        m_log.line("exit");
        m_window.reset();
    }

private:
    std::string describeJob() const
    {
        std::string text = std::string(kKind == StatwalkKind::Training ? "Training" : "Recognition")
                         + " (a stand-in for tests)\nVocabulary: " + m_job.vocabulary + "\nWork directory: "
                         + m_job.workDirectory + "\nFeatures: " + featureMask(m_job.features) + "\nFiles:";
        for (const auto& f : m_job.files)
            text += " " + f;
        text += "\nStates: " + std::to_string(m_job.states) + "   Mixtures: " + std::to_string(m_job.mixtures);
        return text;
    }

    std::string analyserCaption() const
    {
        if (!m_behaviour.analyserCaption.empty())
            return m_behaviour.analyserCaption;
        return std::string(kCaptionWavescope) + modeNameTable(m_job.mode);
    }

    void deliver(platform::WindowHandle to, std::uint32_t msg, std::uint32_t wParam)
    {
        if (m_behaviour.answerBy == fake::Delivery::Send)
            platform::sendMessage(to, msg, wParam, 0);
        else
            platform::postMessage(to, msg, wParam, 0);
    }

    void sendKeys(const std::string& caption, const std::vector<std::int32_t>& keys)
    {
        if (keys.empty())
            return;
        const platform::WindowHandle to = platform::findWindowByCaption(caption);
        for (std::int32_t k : keys) {
            if (to == 0) {
                m_log.line("key " + std::to_string(k) + " not sent: no window \"" + caption + "\"");
                continue;
            }
            deliver(to, WM_KEYDOWN, std::uint32_t(k));
            m_log.line("key " + std::to_string(k) + " to " + caption);
        }
    }

    void answer(std::int32_t index)
    {
        const std::string caption = analyserCaption();
        const platform::WindowHandle to = platform::findWindowByCaption(caption);
        if (to == 0) {
            m_log.line("answer " + std::to_string(index) + " not sent: no window \"" + caption + "\"");
            return;
        }
        deliver(to, WM_KEYDOWN, std::uint32_t(index));
        m_log.line("answer " + std::to_string(index) + " to " + caption);
    }

    std::int32_t handle(std::uint32_t msg, std::uint32_t wParam, std::int32_t lParam)
    {
        m_log.line("received " + std::to_string(msg) + " " + std::to_string(wParam) + " " + std::to_string(lParam));
        if (msg == kStatwalkCommand && wParam == kCommandClose) {
            QTimer::singleShot(0, qApp, &QCoreApplication::quit);
            return 1;
        }
        if (msg == kStatwalkCommand && wParam == kCommandRecognise) {
            answer(m_behaviour.answer);
            return 1;
        }
        if (msg == kStatwalkCommand && wParam == kCommandHmmButton) {
            sendKeys(analyserCaption(), m_behaviour.returnKeys);
            return 1;
        }
        if (msg == kStatwalkPick) {
            answer(m_behaviour.pickAnswer.value_or(std::int32_t(wParam)));
            sendKeys(analyserCaption(), m_behaviour.returnKeys);
            return 1;
        }
        return 0;
    }

    void workDone()
    {
        if (kKind == StatwalkKind::Training && m_behaviour.models)
            writeModels();
        m_log.line("done");
        if (fake::closesWhenDone(m_behaviour, m_job.mode))
            QTimer::singleShot(0, qApp, &QCoreApplication::quit);
    }

    void writeModels()
    {
        const DataTree tree(m_folder);
        Vocabulary vocabulary;
        std::string error;
        if (!readVocabularyFile(tree.vocabularyFile(m_job.vocabulary), &vocabulary, &error)) {
            m_log.line("no models: " + error);
            return;
        }
        const std::time_t now = std::time(nullptr);
        std::tm day{};
        ::localtime_r(&now, &day);
        const std::string work = tree.workFolder(m_job.vocabulary, m_job.workDirectory);
        const int features = selectedFeatureCount(m_job.features);
        for (const auto& entry : vocabulary) {
            const std::string path = joinPath(work, fake::modelFileName(entry.word, entry.index));
            const std::string bytes = fake::modelFileBytes(entry.word, entry.index, features, m_job.states,
                                                           m_job.mixtures, day.tm_year + 1900, day.tm_mon + 1,
                                                           day.tm_mday);
            if (writeFileWhole(path, bytes, &error))
                m_log.line("model " + path);
            else
                m_log.line("model not written: " + error);
        }
    }

    std::string m_folder;
    StatwalkConfig m_job;
    fake::Behaviour m_behaviour;
    Log& m_log;
    QLabel m_label;
    std::unique_ptr<platform::WindowEndpoint> m_window;
};

}  // namespace

int main(int argc, char** argv)
{
    talvor::platform::ignoreFileSizeSignal();
    const std::string folder = programFolder(argc > 0 ? argv[0] : nullptr);
    Log log(joinPath(folder, std::string(statwalkProgramName(kKind)) + ".log"));
    log.line("start in " + folder);

    StatwalkConfig job;
    std::string error;
    const std::string configPath = joinPath(folder, statwalkConfigName(kKind));
    if (!readStatwalkConfig(configPath, &job, &error) || job.kind != kKind) {
        if (error.empty())
            error = configPath + " is not a " + (kKind == StatwalkKind::Training ? "training" : "recognition")
                  + " configuration.";
        log.line("bad configuration: " + error);
        std::fprintf(stderr, "%s: %s\n", statwalkProgramName(kKind), error.c_str());
        return 2;
    }
    if (modeNameTable(job.mode).empty()) {
        log.line("bad configuration: no mode " + std::to_string(job.mode));
        std::fprintf(stderr, "%s: no operating mode %d\n", statwalkProgramName(kKind), int(job.mode));
        return 2;
    }
    fake::Behaviour behaviour;
    std::string behaviourText;
    if (readFileWhole(joinPath(folder, fake::kBehaviourFile), &behaviourText)
        && !fake::parseBehaviour(behaviourText, &behaviour, &error)) {
        log.line("bad behaviour file: " + error);
        std::fprintf(stderr, "%s: %s: %s\n", statwalkProgramName(kKind), fake::kBehaviourFile, error.c_str());
        return 2;
    }
    // A job is refused when the word sets it names are not all there.
    if (!fake::checkWordSets(folder, job, &error)) {
        log.line("bad word sets: " + error);
        std::fprintf(stderr, "%s: %s\n", statwalkProgramName(kKind), error.c_str());
        return 2;
    }
    log.line("job mode " + std::to_string(job.mode) + " vocabulary " + job.vocabulary + " work " + job.workDirectory);

    QApplication app(argc, argv);
    FakeStatwalk program(folder, job, behaviour, log);
    if (!program.start())
        return 3;
    const int rc = app.exec();
    program.finish();
    return rc;
}
