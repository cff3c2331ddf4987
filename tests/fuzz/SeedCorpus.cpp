// Writes the seed corpus of every fuzz target with the project's own writers:
//   fuzz_seed_corpus OUTDIR
// makes OUTDIR/<target>/<seed> files (the targets' names without "fuzz_").
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>

#include "FuzzSupport.h"
#include "common/ModuleState.h"
#include "common/StatwalkConfig.h"
#include "common/TabulaTextFile.h"
#include "common/VocabularyFile.h"
#include "common/WordSetFile.h"
#include "hmmview_testing/ModFile.h"
#include "platform/Audio.h"
#include "workbench/Wizard.h"
#include "worddata/WordDataStore.h"

using namespace talvor;
namespace fs = std::filesystem;

namespace {

fs::path g_out;

std::string readAll(const fs::path& p)
{
    std::ifstream in(p, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

void seed(const std::string& target, const std::string& name, const std::string& bytes)
{
    fs::create_directories(g_out / target);
    std::ofstream(g_out / target / name, std::ios::binary) << bytes;
}

std::string joinParts(std::initializer_list<std::string> parts)
{
    std::string out;
    bool first = true;
    for (const std::string& p : parts) {
        if (!first)
            out += fuzz::kPartSeparator;
        out += p;
        first = false;
    }
    return out;
}

struct QuietHost : workbench::WizardHost {
    void messageBox(const std::string&, workbench::MessageIcon) override {}
    std::optional<std::string> openFile(const std::string&, const std::string&) override { return std::nullopt; }
    std::optional<std::string> saveFile(const std::string&, const std::string&) override { return std::nullopt; }
    void showWindow() override {}
    void hideWindow() override {}
    std::string caption() const override { return "seeds"; }
    void setCaption(const std::string&) override {}
    void endProgram() override {}
    void startWatchTimer(int) override {}
    void stopWatchTimer() override {}
    bool watchTimerActive() const override { return false; }
};

struct NoPrograms : workbench::ExternalPrograms {
    std::unique_ptr<workbench::StartedProgram> start(const std::string&, const std::string&, std::string* e) override
    {
        *e = "none";
        return nullptr;
    }
    workbench::WindowHandle findWindow(const std::string&) override { return 0; }
    workbench::WindowHandle waitForNewWindow(const std::string&, workbench::WindowHandle, int) override { return 0; }
};

}  // namespace

// Not a fuzz target: the entry point only satisfies FuzzSupport.h's declaration.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t*, std::size_t) { return 0; }

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: fuzz_seed_corpus OUTDIR\n");
        return 2;
    }
    g_out = argv[1];
    auto& scratch = fuzz::Scratch::get();

    // Text files: lines as the text-file class writes them.
    {
        TabulaTextFile t;
        t.PrintFirstString("Configuration File for TALVOR II", std::string("\r\n"));
        t.PrintToStrAll({std::string("Description:"), std::string("two words"), std::string(" ")});
        t.PrintToStrAll({std::int32_t(3), 2.5f, -1.0 / 3.0, true, std::string("")});
        seed("text_file", "lines", t.MyString() + "\r\n");
    }
    // Vocabulary files.
    {
        std::string text;
        vocabularyFileText({"zero", "one", "two", "three"}, &text);
        seed("vocabulary", "digits", text);
        vocabularyFileText({"x"}, &text);
        seed("vocabulary", "one-word", text);
    }
    // Word sets: label text and feature bytes of one save.
    {
        const std::vector<WordSetEntry> words = {{0, 3, 2, 0}, {1, 7, 3, 0}};
        std::vector<float> values;
        for (int k = 0; k < 2 * 5; ++k)
            values.push_back(0.25f * float(k) - 1.0f);
        // The first byte of an input is the features per frame.
        seed("word_set", "pair", std::string(1, char(2)) + joinParts({labelFileText(words, LabelFileSpacing::WordSet),
                                                                      featureFileBytes(values)}));
        seed("word_set", "token",
             std::string(1, char(2)) + joinParts({labelFileText({words.data(), 1}, LabelFileSpacing::Token),
                                                  featureFileBytes({values.data(), 4})}));
    }
    // Configuration files of the HMM programs.
    {
        StatwalkConfig c;
        c.mode = 5;
        c.vocabulary = "digits";
        c.workDirectory = "hmm1";
        c.features.fill(false);
        c.features[0] = c.features[19] = true;
        c.featureCount = 2;
        c.files = {"s1", "s2"};
        std::string text;
        if (statwalkConfigText(c, &text))
            seed("statwalk_config", "training", text);
        c.kind = StatwalkKind::Recognition;
        c.files = {"t1"};
        if (statwalkConfigText(c, &text))
            seed("statwalk_config", "recognition", text);
    }
    // Experiment files, saved by the wizard.
    {
        QuietHost host;
        NoPrograms programs;
        ModuleState state;
        state.AppPath = scratch.path();
        workbench::Wizard w(host, programs, state);
        w.mode = 3;
        w.vocName = "digits";
        w.sourceFile = "s1";
        w.workDir = "";
        w.controls.lstRefSelected = {"s1", "s2"};
        w.controls.chkFeature.fill(false);
        w.controls.chkFeature[2] = true;
        w.controls.txtDescription = "two speakers\r\n";
        const std::string f = scratch.file("e.cfv");
        if (w.Save_CFV(f))
            seed("experiment_file", "dtw", readAll(f));
    }
    // Word data files, saved by the store.
    {
        worddata::WordDataStore store;
        store.NewVoc(2);
        std::vector<float> v(20 * 25);
        std::vector<std::int16_t> s(80 * 25);
        for (std::size_t k = 0; k < v.size(); ++k)
            v[k] = float(k % 40) - 20.0f;
        for (std::size_t k = 0; k < s.size(); ++k)
            s[k] = std::int16_t((k * 37) % 2000 - 1000);
        store.PutWordData(1, v, s, 25, "yes");
        store.PutWordData(2, v, s, 22, "no");
        const std::string lab = scratch.file("w.lab");
        if (store.Save_Data(lab) == 0)
            seed("word_data", "two-words",
                 joinParts({readAll(lab), readAll(scratch.file("w.par")), readAll(scratch.file("w.rec"))}));
    }
    // Model files, as the trainer writes them.
    {
        auto desc = hmmview::testing::ModSpec::leftRight("one", 3, 2, 2);
        desc.var(1, 0, 1) = 0.0f;
        seed("model", "left-right", hmmview::testing::modBytes(desc));
        seed("model", "small", hmmview::testing::modBytes(hmmview::testing::ModSpec::leftRight("x", 3, 1, 1)));
    }
    // WAV files.
    {
        std::vector<std::int16_t> s(400);
        for (std::size_t k = 0; k < s.size(); ++k)
            s[k] = std::int16_t((k * 91) % 3000 - 1500);
        const std::string f = scratch.file("a.wav");
        if (platform::writeWav(f, s.data(), s.size(), nullptr))
            seed("wav", "ramp", readAll(f));
    }
    std::printf("seed corpus written to %s\n", argv[1]);
    return 0;
}
