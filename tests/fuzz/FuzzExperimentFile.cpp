// The experiment file (.CFV): a file that loads is saved and loads back with
// the same choices; names that load pass the name check.
#include <optional>

#include "FuzzSupport.h"
#include "FuzzWizard.h"
#include "common/ModuleState.h"
#include "common/NameCheck.h"
#include "workbench/Wizard.h"

using namespace talvor;
using namespace talvor::workbench;

namespace {


}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    auto& scratch = fuzz::Scratch::get();
    scratch.fresh();
    const std::string file = scratch.file("in.cfv");
    fuzz::putFile(file, fuzz::bytesOf(data, size));
    fuzz::WizardFuzzHost host;
    fuzz::NoPrograms programs;
    ModuleState state;
    state.AppPath = scratch.path();
    Wizard w(host, programs, state);
    w.controls.lstRefSelected = {"before"};
    if (!w.Load_CFV(file))
        return 0;
    FUZZ_CHECK(w.mode >= 0 && w.mode < kModeCount);
    FUZZ_CHECK(fuzz::nameOk(w.vocName, NameKind::Vocabulary));
    FUZZ_CHECK(fuzz::nameOk(w.sourceFile, NameKind::File));
    FUZZ_CHECK(fuzz::nameOk(w.workDir, NameKind::WorkDirectory));
    for (const std::string& r : w.controls.lstRefSelected)
        FUZZ_CHECK(r == "before" || checkName(r, NameKind::File));
    const fuzz::ExperimentChoices loaded = fuzz::choicesOf(w);
    const std::string again = scratch.file("again.cfv");
    FUZZ_CHECK(w.Save_CFV(again));
    Wizard w2(host, programs, state);
    w2.controls.lstRefSelected = {"before"};
    FUZZ_CHECK(w2.Load_CFV(again));
    FUZZ_CHECK(fuzz::choicesOf(w2) == fuzz::reloadedChoices(loaded));
    return 0;
}
