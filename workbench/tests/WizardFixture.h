#pragma once
// A wizard over recording fakes of its window and of the program starter, on
// a program folder with a small data tree.
#include <deque>
#include <functional>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "FakeControls.h"
#include "common/StatwalkConfig.h"
#include "testing/TempDir.h"
#include "workbench/Wizard.h"

namespace talvor::workbench::test {

struct FakeHost : WizardHost {
    std::vector<std::string> messages;
    std::deque<std::optional<std::string>> fileAnswers;  // open and save dialogs, in order
    std::vector<std::string> dialogTitles;
    bool visible = true;
    std::string windowCaption = kDesignCaption;
    bool ended = false;
    bool timerActive = false;
    int timerInterval = 0;

    void messageBox(const std::string& text, MessageIcon) override { messages.push_back(text); }
    std::vector<std::string> questions;
    std::deque<bool> okAnswers;  // OK (true) or Cancel; Cancel when none is left
    bool askOkCancel(const std::string& text, MessageIcon) override
    {
        questions.push_back(text);
        if (okAnswers.empty())
            return false;
        const bool a = okAnswers.front();
        okAnswers.pop_front();
        return a;
    }
    std::optional<std::string> openFile(const std::string& title, const std::string&) override
    {
        return answer(title);
    }
    std::optional<std::string> saveFile(const std::string& title, const std::string&) override
    {
        return answer(title);
    }
    std::optional<std::string> answer(const std::string& title)
    {
        dialogTitles.push_back(title);
        if (fileAnswers.empty())
            return std::nullopt;
        auto a = fileAnswers.front();
        fileAnswers.pop_front();
        return a;
    }
    void showWindow() override { visible = true; }
    void hideWindow() override { visible = false; }
    std::string caption() const override { return windowCaption; }
    void setCaption(const std::string& c) override { windowCaption = c; }
    void endProgram() override { ended = true; }
    void startWatchTimer(int ms) override
    {
        timerActive = true;
        timerInterval = ms;
    }
    void stopWatchTimer() override { timerActive = false; }
    bool watchTimerActive() const override { return timerActive; }

    std::function<void()> onChange;  // runs at every model change
    bool restoreShown = false;       // the restore window frmV
    int modelDialogs = 0;            // times the model-parameters dialog was shown
    int eventRuns = 0;
    void modelChanged() override
    {
        if (onChange)
            onChange();
    }
    void processEvents() override { ++eventRuns; }
    void showRestoreWindow() override { restoreShown = true; }
    void hideRestoreWindow() override { restoreShown = false; }
    void showModelParameters() override { ++modelDialogs; }
};

struct FakeProgram : StartedProgram {
    bool* running;
    explicit FakeProgram(bool* r) : running(r) {}
    bool isRunning() override { return *running; }
    void terminate() override { *running = false; }
};

// Programs that "open" a window with a chosen caption when started.
struct FakePrograms : ExternalPrograms {
    std::map<std::string, WindowHandle> windows;  // caption -> handle
    std::vector<std::string> started;
    std::string failWith;          // non-empty: start fails with this error
    std::string opensCaption;      // the caption the started program registers
    bool programRunning = false;
    bool endsAtStart = false;      // the program has ended by the time anyone looks
    int waits = 0;

    std::unique_ptr<StartedProgram> start(const std::string& program, const std::string&, std::string* error) override
    {
        started.push_back(program);
        if (!failWith.empty()) {
            *error = failWith;
            return nullptr;
        }
        programRunning = !endsAtStart;
        if (!opensCaption.empty())
            windows[opensCaption] = 77;
        return std::make_unique<FakeProgram>(&programRunning);
    }
    WindowHandle findWindow(const std::string& caption) override
    {
        auto it = windows.find(caption);
        return it == windows.end() ? 0 : it->second;
    }
    WindowHandle waitForNewWindow(const std::string& caption, WindowHandle before, int) override
    {
        ++waits;
        WindowHandle h = findWindow(caption);
        return h == before ? 0 : h;
    }
};

inline void writeFile(const std::filesystem::path& p, const std::string& bytes)
{
    std::filesystem::create_directories(p.parent_path());
    std::ofstream(p, std::ios::binary) << bytes;
}

class WizardFixture : public ::testing::Test {
protected:
    talvor::test::TempDir dir;
    ModuleState state;
    FakeHost host;
    FakePrograms programs;
    Wizard w{host, programs, state};
    FakeControls hosted;  // the three hosted controls

    std::filesystem::path data() const { return std::filesystem::path(dir.path()) / "DATA"; }

    // DATA/digits with three words, recordings s1 and s2 (one word of three
    // frames each), the work directories hmm1 (models trained on c1) and
    // dtw1, and one word-string recording; DATA/colours with no recordings.
    void makeTree()
    {
        writeFile(data() / "digits" / "digits.voc", " 3 \r\n0  one\r\n1  two\r\n2  three\r\n");
        for (const char* r : {"s1", "s2"}) {
            writeFile(data() / "digits" / (std::string(r) + ".lab"), " 0\t 0\t 3\t 0\tone\t\r\n");
            writeFile(data() / "digits" / (std::string(r) + ".par"), std::string(23 * 80, '\0'));
        }
        StatwalkConfig models;
        models.vocabulary = "digits";
        models.workDirectory = "hmm1";
        models.features[0] = true;
        models.featureCount = 1;
        models.files = {"s1"};
        std::string copy;
        statwalkConfigText(models, &copy);
        writeFile(data() / "digits" / "hmm1" / "STATWALK1.EDF", copy);
        std::filesystem::create_directories(data() / "digits" / "dtw1");
        writeFile(data() / "digits" / "_strings" / "w1.lab", " 0\t 0\t 3\t 0\tone_two\t\r\n");
        writeFile(data() / "colours" / "colours.voc", " 1 \r\n0  red\r\n");
    }

    void SetUp() override
    {
        state.AppPath = dir.path();
        w.Form_Load();
        hosted.log.appPath = dir.path();
        w.setControls(&hosted.wavescope, &hosted.dtw, &hosted.chainview);
    }
};

}  // namespace talvor::workbench::test
