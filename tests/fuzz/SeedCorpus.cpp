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
#include "FuzzWizard.h"
#include "common/DataTree.h"
#include "common/ModuleState.h"
#include "common/ResultFile.h"
#include "common/StatwalkConfig.h"
#include "common/TabulaTextFile.h"
#include "common/VocabularyFile.h"
#include "common/WordSetFile.h"
#include "hmmview/SchemeFile.h"
#include "hmmview_testing/ModFile.h"
#include "platform/Audio.h"
#include "statwalk/Jobs.h"
#include "statwalk/ModFile.h"
#include "workbench/HelpCaptions.h"
#include "workbench/Wizard.h"
#include "worddata/WordDataEditor.h"
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

// A word set of `words` words of two features (c1, ene), labels 0..2 in turn.
struct SmallSet {
    std::vector<WordSetEntry> words;
    std::vector<float> values;
};

SmallSet smallSet(std::int32_t count)
{
    SmallSet set;
    for (std::int32_t k = 0; k < count; ++k) {
        const std::int32_t frames = 10 + k;
        set.words.push_back({k, k % 3, frames, 0});
        for (std::int32_t t = 0; t < frames; ++t) {
            set.values.push_back(float(k % 3) + 0.125f * float(t % 4));
            set.values.push_back(-0.5f + 0.0625f * float((t * 5 + k) % 9));
        }
    }
    return set;
}

StatwalkConfig hmmJob(StatwalkKind kind)
{
    StatwalkConfig c;
    c.kind = kind;
    c.mode = kind == StatwalkKind::Training ? ModeHmmTraining : ModeHmmMatching;
    c.vocabulary = "digits";
    c.workDirectory = "hmm1";
    c.features.fill(false);
    c.features[0] = c.features[19] = true;
    c.featureCount = 2;
    c.files = {kind == StatwalkKind::Training ? "s1" : "t1"};
    c.states = 4;
    c.mixtures = 1;
    return c;
}

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
        fuzz::WizardFuzzHost host;
        fuzz::NoPrograms programs;
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
        if (store.Save_Data(lab) == 0) {
            const std::string files =
                joinParts({readAll(lab), readAll(scratch.file("w.par")), readAll(scratch.file("w.rec"))});
            seed("word_data", "two-words", files);
            seed("word_data_editor", "two-words", files);
        }
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
    // Colour schemes, as the Properties dialog saves them.
    {
        hmmview::DisplaySettings s;
        if (const auto text = hmmview::schemeText("Standard", s))
            seed("scheme", "defaults", *text);
        s.grStpX = 90;
        s.grStpR = 1671.19348f;
        s.leftGraphPos = 2000;
        s.clrModelText = 0x80000012;
        s.clrStatePath = 0x00FF8040;
        if (const auto text = hmmview::schemeText("Wide and bright", s))
            seed("scheme", "changed", *text);
    }
    // The help-caption file: the built-in prompts, and edited ones.
    {
        workbench::PromptTexts prompts;
        for (int i = 0; i < workbench::kHelpPromptCount; ++i)
            prompts[std::size_t(i)] = workbench::promptText(i);
        std::string text;
        if (workbench::helpCaptionText(prompts, &text))
            seed("help_captions", "built-in", text);
        prompts[3] = "Pick\r\ntwo lines";
        prompts[16] = "short";
        if (workbench::helpCaptionText(prompts, &text))
            seed("help_captions", "edited", text);
    }
    // Result files, as the analyser writes them.
    {
        std::string text;
        if (resultFileText("seven", &text))
            seed("result_file", "word", text);
        if (resultFileText("two three", &text))
            seed("result_file", "string", text);
    }
    // Experiment files for the Load button: a DTW, a training and a run-time one.
    {
        fuzz::WizardFuzzHost host;
        fuzz::NoPrograms programs;
        ModuleState state;
        state.AppPath = scratch.path();
        struct Case {
            std::int32_t mode;
            const char* voc;
            const char* source;
            const char* work;
            std::vector<std::string> refs;
        };
        const Case cases[] = {
            {ModeSpeakRecognizeDtw, "digits", "", "dtw", {"s1", "s2"}},
            {ModeHmmTraining, "digits", "", "hmm1", {"s1"}},
            {ModeRuntime, "digits", "s1", "dtw", {"s2"}},
        };
        int k = 0;
        for (const Case& c : cases) {
            workbench::Wizard w(host, programs, state);
            w.mode = c.mode;
            w.vocName = c.voc;
            w.sourceFile = c.source;
            w.workDir = c.work;
            w.controls.lstRefSelected = c.refs;
            w.controls.chkFeature.fill(false);
            w.controls.chkFeature[0] = w.controls.chkFeature[19] = true;
            w.controls.txtDescription = "saved for the Load button";
            const std::string f = scratch.file("load.cfv");
            if (w.Save_CFV(f))
                seed("experiment_load", "mode-" + std::to_string(c.mode) + "-" + std::to_string(k++), readAll(f));
        }
    }
    // The HMM programs' inputs: configuration, vocabulary, word sets, the
    // models the trainer makes of them, and the token.
    {
        std::string voc, training, recognition;
        vocabularyFileText({"zero", "one", "two"}, &voc);
        statwalkConfigText(hmmJob(StatwalkKind::Training), &training);
        statwalkConfigText(hmmJob(StatwalkKind::Recognition), &recognition);
        const SmallSet set = smallSet(6);
        const std::string lb = labelFileText(set.words, LabelFileSpacing::WordSet);
        const std::string pr = featureFileBytes(set.values);
        seed("statwalk_training", "digits", joinParts({training, voc, lb, pr}));
        StatwalkConfig more = hmmJob(StatwalkKind::Training);
        more.states = 3;
        more.mixtures = 2;
        std::string moreText;
        if (statwalkConfigText(more, &moreText))
            seed("statwalk_training", "two-mixtures", joinParts({moreText, voc, lb, pr}));

        // Train for real to get a model file of the trainer.
        const std::string app = scratch.file("hmm-app");
        const DataTree tree(app);
        std::filesystem::create_directories(tree.dataFolder());
        std::string error;
        if (tree.createVocabulary("digits", {"zero", "one", "two"}, &error) &&
            tree.createWorkFolder("digits", "hmm1", &error) &&
            writeWordSet(tree.workFolder("digits", "hmm1") + "/s1.LB", tree.workFolder("digits", "hmm1") + "/s1.PR",
                         set.words, 2, set.values, LabelFileSpacing::WordSet, &error)) {
            const auto outcome = statwalk::runTraining(app, hmmJob(StatwalkKind::Training),
                                                       statwalk::TrainingDay{2026, 12, 11},
                                                       [](const std::string&) {});
            if (outcome.ok && !outcome.written.empty()) {
                const SmallSet test = smallSet(3);
                seed("statwalk_recognition", "digits",
                     joinParts({recognition, voc, readAll(outcome.written.front()),
                                labelFileText(test.words, LabelFileSpacing::WordSet), featureFileBytes(test.values)}));
            }
        }
        // The token: one word, its features from the first frame on.
        const SmallSet token = smallSet(1);
        seed("token", "word", joinParts({labelFileText(token.words, LabelFileSpacing::Token),
                                         featureFileBytes(token.values)}));
    }
    std::printf("seed corpus written to %s\n", argv[1]);
    return 0;
}
