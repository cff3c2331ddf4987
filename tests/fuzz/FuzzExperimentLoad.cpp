// The experiment file through the wizard's Load button, on a program folder
// with a small data tree: a file that loads moves the wizard to its End page
// with names that pass the name check, and saves and loads back the same.
#include <filesystem>

#include "FuzzSupport.h"
#include "FuzzWizard.h"
#include "common/DataTree.h"
#include "common/ModuleState.h"
#include "common/NameCheck.h"
#include "workbench/Wizard.h"
#include "worddata/WordDataStore.h"

using namespace talvor;
using namespace talvor::workbench;

namespace {

// The program folder, made once: the vocabulary "digits" with two recordings
// and the work directories "dtw" and "hmm1"; the experiment files go beside it.
const std::string& programFolder()
{
    static const std::string folder = [] {
        const std::string app = fuzz::Scratch::get().file("app");
        const DataTree tree(app);
        std::filesystem::create_directories(tree.dataFolder());
        std::string error;
        if (!tree.createVocabulary("digits", {"zero", "one", "two"}, &error) ||
            !tree.createWorkFolder("digits", "dtw", &error) || !tree.createWorkFolder("digits", "hmm1", &error))
            std::abort();
        worddata::WordDataStore store;
        store.NewVoc(3);
        const std::vector<float> v(20 * 12, 0.5f);
        const std::vector<std::int16_t> s(80 * 12, 100);
        for (std::int32_t k = 1; k <= 3; ++k)
            store.PutWordData(k, v, s, 12, k == 1 ? "zero" : k == 2 ? "one" : "two");
        for (const char* rec : {"s1", "s2"})
            if (store.Save_Data(tree.recordingBase("digits", rec) + ".lab") != 0)
                std::abort();
        return app;
    }();
    return folder;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    auto& scratch = fuzz::Scratch::get();
    const std::string app = programFolder();
    fuzz::WizardFuzzHost host;
    host.fileAnswer = scratch.file("in.cfv");
    fuzz::putFile(*host.fileAnswer, fuzz::bytesOf(data, size));
    fuzz::NoPrograms programs;
    ModuleState state;
    state.AppPath = app;
    Wizard w(host, programs, state);
    w.Form_Load();
    w.controls.lstRefSelected = {"before"};
    const int pageBefore = w.currentPage();
    const fuzz::ExperimentChoices before = fuzz::choicesOf(w);
    w.cmdLoad_Click();
    if (host.refusals > 0) {
        // Refused with a message: nothing changed.
        FUZZ_CHECK(fuzz::choicesOf(w) == before && w.currentPage() == pageBefore);
        return 0;
    }
    FUZZ_CHECK(w.mode >= 0 && w.mode < kModeCount);
    if (w.mode != ModeRuntime)
        FUZZ_CHECK(w.currentPage() == PageEnd);
    FUZZ_CHECK(fuzz::nameOk(w.vocName, NameKind::Vocabulary));
    FUZZ_CHECK(fuzz::nameOk(w.sourceFile, NameKind::File));
    FUZZ_CHECK(fuzz::nameOk(w.workDir, NameKind::WorkDirectory));
    for (const std::string& r : w.controls.lstRefSelected)
        FUZZ_CHECK(r == "before" || checkName(r, NameKind::File));
    std::int32_t selected = 0;
    for (bool on : w.controls.chkFeature)
        selected += on ? 1 : 0;
    FUZZ_CHECK(w.numFeat == selected);

    const fuzz::ExperimentChoices loaded = fuzz::choicesOf(w);
    const std::string again = scratch.file("again.cfv");
    FUZZ_CHECK(w.Save_CFV(again));
    fuzz::WizardFuzzHost host2;
    host2.fileAnswer = again;
    Wizard w2(host2, programs, state);
    w2.Form_Load();
    w2.controls.lstRefSelected = {"before"};
    w2.cmdLoad_Click();
    FUZZ_CHECK(host2.refusals == 0);
    FUZZ_CHECK(fuzz::choicesOf(w2) == fuzz::reloadedChoices(loaded));
    // Nothing in the data tree was touched.
    FUZZ_CHECK(DataTree(app).vocabularies() == std::vector<std::string>{"digits"});
    FUZZ_CHECK(DataTree(app).workFolders("digits") == (std::vector<std::string>{"dtw", "hmm1"}));
    return 0;
}
