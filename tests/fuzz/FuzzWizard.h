#pragma once
// The wizard of the fuzz targets and the seed corpus: a host whose file
// dialogs answer with a chosen name and which counts the messages refusing
// an experiment file, no external programs, and the experiment choices that
// a save and a load must keep.
#include <array>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "common/NameCheck.h"
#include "workbench/Wizard.h"

namespace talvor::fuzz {

struct WizardFuzzHost : workbench::WizardHost {
    std::optional<std::string> fileAnswer;  // what the open dialog returns
    int refusals = 0;                       // messages refusing an experiment file
    void messageBox(const std::string& text, workbench::MessageIcon) override
    {
        refusals += text.find("is not a usable Talvor configuration file") != std::string::npos ? 1 : 0;
    }
    std::optional<std::string> openFile(const std::string&, const std::string&) override { return fileAnswer; }
    std::optional<std::string> saveFile(const std::string&, const std::string&) override { return std::nullopt; }
    void showWindow() override {}
    void hideWindow() override {}
    std::string caption() const override { return "fuzz"; }
    void setCaption(const std::string&) override {}
    void endProgram() override {}
    void startWatchTimer(int) override {}
    void stopWatchTimer() override {}
    bool watchTimerActive() const override { return false; }
};

struct NoPrograms : workbench::ExternalPrograms {
    std::unique_ptr<workbench::StartedProgram> start(const std::string&, const std::string&,
                                                     std::string* error) override
    {
        *error = "no programs in the fuzz targets";
        return nullptr;
    }
    workbench::WindowHandle findWindow(const std::string&) override { return 0; }
    workbench::WindowHandle waitForNewWindow(const std::string&, workbench::WindowHandle, int) override { return 0; }
};

// What an experiment file holds, as the wizard has it.
struct ExperimentChoices {
    std::string description, voc, source, work;
    std::int32_t mode;
    std::vector<std::string> refs;
    std::array<bool, workbench::kFeatureCount> features;
    bool operator==(const ExperimentChoices&) const = default;
};

inline ExperimentChoices choicesOf(const workbench::Wizard& w)
{
    return {w.controls.txtDescription, w.vocName, w.sourceFile, w.workDir, w.mode, w.controls.lstRefSelected,
            w.controls.chkFeature};
}

// What a load of a saved file gives: a description of "---" stands for
// none, and an empty list of references leaves the list as it was.
inline ExperimentChoices reloadedChoices(ExperimentChoices saved)
{
    if (saved.description == "---")
        saved.description.clear();
    return saved;
}

// A name the wizard may hold: none, or one that passes the name check.
inline bool nameOk(const std::string& name, NameKind kind) { return name.empty() || checkName(name, kind); }

}  // namespace talvor::fuzz
