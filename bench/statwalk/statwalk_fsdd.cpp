// The HMM trainer and recogniser on real speech, beside the DTW comparer.
//
// Every recording of ../shared/data/fsdd (TALVOR_SHARED_DATA/fsdd) goes the
// project's own way: padded with quiet noise (the word detector needs
// background before a word), cut out by the engine's word detector with its
// feature frames, the 16 cepstral and delta cepstral features selected, and
// written as word sets.  Per speaker, takes 0-2 of each digit are the
// references (the training file) and takes 3-4 the test file; the trainer
// then trains the speaker's ten models in a data tree as statwalk1 does
// (8 states, 2 mixtures), and the recogniser recognises the test file as
// statwalk2 does.  The same split is matched by the DTW comparer's batch
// match with each of its three methods.
//
// Timed: training one speaker's 10-word vocabulary (3 references a word), and
// recognising one token against the 10 models.  Printed: the accuracies.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "common/DataTree.h"
#include "common/FileNames.h"
#include "common/StatwalkConfig.h"
#include "common/WordSetFile.h"
#include "PaddedWord.h"
#include "platform/Audio.h"
#include "statwalk/Jobs.h"
#include "timewarp/DtwMatch.h"
#include "timewarp/DtwWordStore.h"

using namespace talvor;
namespace fs = std::filesystem;

namespace {

constexpr std::int32_t kStates = 8;
constexpr std::int32_t kMixtures = 2;
constexpr std::int32_t kFeatures = 16;
const std::vector<std::string> kDigits = {"zero", "one", "two", "three", "four",
                                          "five", "six", "seven", "eight", "nine"};

struct Word {
    std::int32_t label = 0;
    std::int32_t frames = 0;
    std::vector<float> values;  // kFeatures per frame
};

struct Speaker {
    std::string name;
    std::vector<Word> train, test;
};

FeatureSelection cepstralFeatures()
{
    FeatureSelection f{};
    for (int i = 0; i < kFeatures; ++i)
        f[static_cast<std::size_t>(i)] = true;
    return f;
}

// The word the engine's detector finds in a recording, or nothing.
bool detectWord(const std::vector<std::int16_t>& speech, std::uint32_t seed, Word* word)
{
    engine::test::PaddedWord found;
    if (!engine::test::detectPaddedWord(speech, seed, 0, &found))
        return false;
    word->frames = found.frames;
    word->values = selectedFeatureValues(found.values, cepstralFeatures());
    return true;
}

struct Data {
    std::vector<Speaker> speakers;
    int recordings = 0;
    int undetected = 0;
};

bool loadData(const std::string& folder, Data* data)
{
    std::map<std::string, Speaker> bySpeaker;
    for (const auto& entry : fs::directory_iterator(folder)) {
        const std::string name = entry.path().filename().string();
        if (entry.path().extension() != ".wav")
            continue;
        // {digit}_{speaker}_{take}.wav
        const auto a = name.find('_'), b = name.rfind('_');
        if (a == std::string::npos || b == a)
            continue;
        const int digit = std::atoi(name.substr(0, a).c_str());
        const std::string speaker = name.substr(a + 1, b - a - 1);
        const int take = std::atoi(name.substr(b + 1).c_str());
        std::vector<std::int16_t> samples;
        std::string error;
        if (!platform::readWav(entry.path().string(), &samples, &error))
            continue;
        ++data->recordings;
        Word w;
        w.label = digit;
        if (!detectWord(samples, static_cast<std::uint32_t>(data->recordings), &w)) {
            ++data->undetected;
            continue;
        }
        Speaker& s = bySpeaker[speaker];
        s.name = speaker;
        (take <= 2 ? s.train : s.test).push_back(std::move(w));
    }
    for (auto& [name, s] : bySpeaker) {
        auto byLabel = [](const Word& x, const Word& y) { return x.label < y.label; };
        std::stable_sort(s.train.begin(), s.train.end(), byLabel);
        std::stable_sort(s.test.begin(), s.test.end(), byLabel);
        data->speakers.push_back(std::move(s));
    }
    return !data->speakers.empty();
}

bool writeSet(const std::string& work, const std::string& name, const std::vector<Word>& words)
{
    std::vector<WordSetEntry> entries;
    std::vector<float> values;
    for (std::size_t k = 0; k < words.size(); ++k) {
        entries.push_back({static_cast<std::int32_t>(k), words[k].label, words[k].frames, 0});
        values.insert(values.end(), words[k].values.begin(), words[k].values.end());
    }
    std::string error;
    if (!writeWordSet(joinPath(work, name + ".LB"), joinPath(work, name + ".PR"), entries, kFeatures, values,
                      LabelFileSpacing::WordSet, &error)) {
        std::fprintf(stderr, "cannot write the word set %s: %s\n", name.c_str(), error.c_str());
        return false;
    }
    return true;
}

// One program folder per speaker with the vocabulary "digits", the work
// folder "hmm" and its word sets TRAIN and TEST.
struct Tree {
    std::string root;
    ~Tree()
    {
        std::error_code ec;
        if (!root.empty())
            fs::remove_all(root, ec);
    }
};

StatwalkConfig jobFor(StatwalkKind kind, const std::string& file)
{
    StatwalkConfig c;
    c.kind = kind;
    c.mode = kind == StatwalkKind::Training ? 3 : 4;
    c.vocabulary = "digits";
    c.workDirectory = "hmm";
    c.features = cepstralFeatures();
    c.featureCount = kFeatures;
    c.files = {file};
    c.states = kStates;
    c.mixtures = kMixtures;
    return c;
}

std::string speakerFolder(const Tree& tree, const Speaker& s)
{
    return joinPath(tree.root, s.name);
}

bool prepareTree(const Data& data, Tree* tree)
{
    std::string tmpl = (fs::temp_directory_path() / "talvor-bench-XXXXXX").string();
    std::vector<char> buf(tmpl.begin(), tmpl.end());
    buf.push_back('\0');
    if (!::mkdtemp(buf.data()))
        return false;
    tree->root = buf.data();
    for (const Speaker& s : data.speakers) {
        const std::string folder = speakerFolder(*tree, s);
        fs::create_directories(folder);
        const DataTree dt(folder);
        std::string error;
        if (!dt.createVocabulary("digits", kDigits, &error) || !dt.createWorkFolder("digits", "hmm", &error)) {
            std::fprintf(stderr, "%s\n", error.c_str());
            return false;
        }
        const std::string work = dt.workFolder("digits", "hmm");
        if (!writeSet(work, "TRAIN", s.train) || !writeSet(work, "TEST", s.test))
            return false;
    }
    return true;
}

// The DTW comparer's accuracy on one speaker's split, by one method.
int dtwCorrect(const Speaker& s, char method)
{
    timewarp::DtwWordStore store;
    store.setNFeat(kFeatures);
    store.method = method;
    int r = 0;
    for (const Word& w : s.train) {
        if (r >= timewarp::kMaxReferences)
            break;
        ++r;
        store.storeReference(r, {1, static_cast<std::int16_t>(r), static_cast<std::int16_t>(w.label),
                                 static_cast<std::int16_t>(w.frames)},
                             w.values);
    }
    store.referenceTotal = static_cast<std::int16_t>(r);
    int correct = 0;
    for (const Word& w : s.test) {
        store.storeTestWord(1, {1, 1, static_cast<std::int16_t>(w.label), static_cast<std::int16_t>(w.frames)},
                            w.values);
        store.testWordCount = 1;
        correct += timewarp::MatchAllReferences(store, 1) == w.label;
    }
    return correct;
}

Data g_data;
Tree g_tree;

}  // namespace

int main(int argc, char** argv)
{
    const char* shared = std::getenv("TALVOR_SHARED_DATA");
    const std::string folder = std::string(shared ? shared : "../shared/data") + "/fsdd";
    if (!fs::is_directory(folder)) {
        std::printf("statwalk on real speech: no recordings in %s (set TALVOR_SHARED_DATA); skipped\n",
                    folder.c_str());
        return 0;
    }
    if (!loadData(folder, &g_data) || !prepareTree(g_data, &g_tree)) {
        std::fprintf(stderr, "statwalk on real speech: cannot prepare the word sets\n");
        return 1;
    }
    int trainWords = 0, testWords = 0;
    for (const Speaker& s : g_data.speakers) {
        trainWords += static_cast<int>(s.train.size());
        testWords += static_cast<int>(s.test.size());
    }
    std::printf("fsdd: %d recordings, %d without a detected word; %zu speakers, %d reference and %d test words\n",
                g_data.recordings, g_data.undetected, g_data.speakers.size(), trainWords, testWords);

    // Accuracy: each speaker's own models (HMM) or references (DTW).
    int hmmCorrect = 0, hmmRecognised = 0;
    std::map<char, int> dtw;
    double trainSeconds = 0.0;
    for (const Speaker& s : g_data.speakers) {
        const std::string program = speakerFolder(g_tree, s);
        const auto t0 = std::chrono::steady_clock::now();
        const statwalk::TrainingOutcome t =
            statwalk::runTraining(program, jobFor(StatwalkKind::Training, "TRAIN"), {2026, 1, 1}, nullptr);
        trainSeconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
        if (!t.ok) {
            std::fprintf(stderr, "training %s failed: %s\n", s.name.c_str(), t.error.c_str());
            return 1;
        }
        statwalk::Recogniser r;
        std::string error;
        if (!r.load(program, jobFor(StatwalkKind::Recognition, "TEST"), nullptr, &error)) {
            std::fprintf(stderr, "recogniser %s: %s\n", s.name.c_str(), error.c_str());
            return 1;
        }
        const statwalk::TestRun run = statwalk::recogniseTestSet(r, &error);
        hmmCorrect += run.correct;
        hmmRecognised += run.recognised;
        for (char m : {timewarp::kMethodItakura, timewarp::kMethodGeneral, timewarp::kMethodLinear})
            dtw[m] += dtwCorrect(s, m);
        std::printf("  %-10s HMM %2d of %2d   DTW general %2d\n", s.name.c_str(), run.correct, run.words,
                    dtwCorrect(s, timewarp::kMethodGeneral));
    }
    auto pct = [&](int n) { return testWords > 0 ? 100.0 * n / testWords : 0.0; };
    std::printf("accuracy on the same split (takes 0-2 train, 3-4 test, per speaker):\n");
    std::printf("  HMM (%d states, %d mixtures, %d features)  %3d of %d  %5.1f %%\n", kStates, kMixtures, kFeatures,
                hmmCorrect, testWords, pct(hmmCorrect));
    std::printf("  DTW general constraints (band 10)    %3d of %d  %5.1f %%\n", dtw['N'], testWords, pct(dtw['N']));
    std::printf("  DTW Itakura constraints              %3d of %d  %5.1f %%\n", dtw['I'], testWords, pct(dtw['I']));
    std::printf("  DTW linear warping                   %3d of %d  %5.1f %%\n", dtw['L'], testWords, pct(dtw['L']));
    std::printf("training, all speakers once: %.2f s\n", trainSeconds);

    // Timed: one speaker's vocabulary trained; one token recognised.
    const Speaker& first = g_data.speakers.front();
    const std::string program = speakerFolder(g_tree, first);
    benchmark::RegisterBenchmark("Statwalk/Train10Words", [&](benchmark::State& state) {
        for (auto _ : state) {
            const auto t = statwalk::runTraining(program, jobFor(StatwalkKind::Training, "TRAIN"), {2026, 1, 1},
                                                 nullptr);
            benchmark::DoNotOptimize(t.ok);
        }
    })->Unit(benchmark::kMillisecond);
    static statwalk::Recogniser recogniser;
    std::string error;
    if (!recogniser.load(program, jobFor(StatwalkKind::Recognition, "TEST"), nullptr, &error) ||
        !recogniser.loadTestSet(&error)) {
        std::fprintf(stderr, "%s\n", error.c_str());
        return 1;
    }
    benchmark::RegisterBenchmark("Statwalk/RecogniseOneToken", [&](benchmark::State& state) {
        std::size_t k = 0;
        const std::size_t n = recogniser.testSet().words.size();
        for (auto _ : state) {
            const auto r = recogniser.recogniseTestWord(static_cast<std::int32_t>(k++ % n), nullptr);
            benchmark::DoNotOptimize(r);
        }
    })->Unit(benchmark::kMicrosecond);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
