// The help-caption file, read as the wizard reads it at start: prompts the
// file names take its texts, the others keep their built-in ones; the prompts
// that result are written and read back equal when the writer accepts them.
#include "FuzzSupport.h"
#include "FuzzWizard.h"
#include "common/ModuleState.h"
#include "workbench/HelpCaptions.h"
#include "workbench/Wizard.h"

using namespace talvor;
using namespace talvor::workbench;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    auto& scratch = fuzz::Scratch::get();
    scratch.fresh();
    const std::string text(fuzz::bytesOf(data, size));
    fuzz::putFile(scratch.file(kHelpCaptionFile), text);
    fuzz::WizardFuzzHost host;
    fuzz::NoPrograms programs;
    ModuleState state;
    state.AppPath = scratch.path();
    Wizard w(host, programs, state);
    w.LoadTalvorHelpFile();

    const std::map<int, std::string> entries = parseHelpCaptions(text);
    for (int i = 0; i < kHelpPromptCount; ++i) {
        const auto it = entries.find(i);
        FUZZ_CHECK(w.prompts[std::size_t(i)] == (it == entries.end() ? promptText(i) : it->second));
    }
    for (const auto& [key, value] : entries)
        FUZZ_CHECK(key >= 0 && key < kHelpPromptCount);

    std::string again;
    if (!helpCaptionText(w.prompts, &again))
        return 0;
    const std::map<int, std::string> back = parseHelpCaptions(again);
    FUZZ_CHECK(back.size() == std::size_t(kHelpPromptCount));
    for (int i = 0; i < kHelpPromptCount; ++i)
        FUZZ_CHECK(back.at(i) == w.prompts[std::size_t(i)]);
    return 0;
}
