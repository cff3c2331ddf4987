// The experiment file (.CFV): a file that loads is saved and loads back with
// the same choices; names that load pass the name check.
#include <optional>

#include "FuzzSupport.h"
#include "common/ModuleState.h"
#include "common/NameCheck.h"
#include "workbench/Wizard.h"

using namespace talvor;
using namespace talvor::workbench;

namespace {

struct QuietHost : WizardHost {
    void messageBox(const std::string&, MessageIcon) override {}
    std::optional<std::string> openFile(const std::string&, const std::string&) override { return std::nullopt; }
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

struct NoPrograms : ExternalPrograms {
    std::unique_ptr<StartedProgram> start(const std::string&, const std::string&, std::string* error) override
    {
        *error = "no programs in the fuzz target";
        return nullptr;
    }
    WindowHandle findWindow(const std::string&) override { return 0; }
    WindowHandle waitForNewWindow(const std::string&, WindowHandle, int) override { return 0; }
};

struct Choices {
    std::string description, voc, source, work;
    std::int32_t mode;
    std::vector<std::string> refs;
    std::array<bool, kFeatureCount> features;
    bool operator==(const Choices&) const = default;
};

Choices choicesOf(const Wizard& w)
{
    return {w.controls.txtDescription, w.vocName, w.sourceFile, w.workDir, w.mode, w.controls.lstRefSelected,
            w.controls.chkFeature};
}

bool nameOk(const std::string& name, NameKind kind) { return name.empty() || checkName(name, kind); }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    auto& scratch = fuzz::Scratch::get();
    scratch.fresh();
    const std::string file = scratch.file("in.cfv");
    fuzz::putFile(file, fuzz::bytesOf(data, size));
    QuietHost host;
    NoPrograms programs;
    ModuleState state;
    state.AppPath = scratch.path();
    Wizard w(host, programs, state);
    w.controls.lstRefSelected = {"before"};
    if (!w.Load_CFV(file))
        return 0;
    FUZZ_CHECK(w.mode >= 0 && w.mode < kModeCount);
    FUZZ_CHECK(nameOk(w.vocName, NameKind::Vocabulary));
    FUZZ_CHECK(nameOk(w.sourceFile, NameKind::File));
    FUZZ_CHECK(nameOk(w.workDir, NameKind::WorkDirectory));
    for (const std::string& r : w.controls.lstRefSelected)
        FUZZ_CHECK(r == "before" || checkName(r, NameKind::File));
    const Choices loaded = choicesOf(w);
    const std::string again = scratch.file("again.cfv");
    FUZZ_CHECK(w.Save_CFV(again));
    Wizard w2(host, programs, state);
    w2.controls.lstRefSelected = {"before"};
    FUZZ_CHECK(w2.Load_CFV(again));
    Choices reloaded = choicesOf(w2);
    // A description of "---" stands for none, and an empty list of references
    // leaves the list as it was.
    Choices expected = loaded;
    if (expected.description == "---")
        expected.description.clear();
    FUZZ_CHECK(reloaded == expected);
    return 0;
}
