// The HMM trainer and recogniser on real speech, beside the DTW comparer.
//
// Every recording of ../shared/data/fsdd (TALVOR_SHARED_DATA/fsdd) goes the
// project's own way, once for each of two rooms: padded (the word detector
// needs background before a word) with quiet noise, as in a quiet room, or
// with noise at the recording's own background level (the level and
// spectral shape of its quietest 40 ms, 400 ms on each side), as in an
// ordinary room; cut out by the engine's word detector with its feature
// frames, the 16 cepstral and delta cepstral features selected, and written
// as word sets.  Of the words detected, two splits:
// - speaker-dependent: per speaker, takes 0-2 of each digit train and the
//   rest (takes 3-4) are the test file;
// - across speakers: per speaker, the words of every other speaker train and
//   the speaker's own are the test file (leave one speaker out).
// The trainer trains each split's ten models in a data tree as statwalk1
// does (8 states, 2 mixtures), and the recogniser recognises the test file as
// statwalk2 does.  The same splits are matched by the DTW comparer's batch
// match with each of its three methods.
//
// Printed: the words detected and the accuracies, the rooms side by side.
// Timed: training one speaker's 10-word vocabulary (3 references a word), and
// recognising one token against the 10 models.
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
#include "../BenchRatio.h"
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

using engine::test::Padding;

// The word the engine's detector finds in a recording, or nothing.
bool detectWord(const std::vector<std::int16_t>& speech, std::uint32_t seed, Padding padding, Word* word)
{
    engine::test::PaddedWord found;
    if (!engine::test::detectPaddedWord(speech, seed, 0, &found, padding))
        return false;
    word->frames = found.frames;
    word->values = selectedFeatureValues(found.values, cepstralFeatures());
    return true;
}

struct Recording {
    int digit = 0;
    std::string speaker;
    int take = 0;
    std::vector<std::int16_t> samples;
};

// Every recording of the folder, in order of file names.
std::vector<Recording> readRecordings(const std::string& folder)
{
    std::vector<fs::path> files;
    for (const auto& entry : fs::directory_iterator(folder))
        if (entry.path().extension() == ".wav")
            files.push_back(entry.path());
    std::sort(files.begin(), files.end());
    std::vector<Recording> recordings;
    for (const fs::path& path : files) {
        // {digit}_{speaker}_{take}.wav
        const std::string name = path.filename().string();
        const auto a = name.find('_'), b = name.rfind('_');
        if (a == std::string::npos || b == a)
            continue;
        Recording r;
        r.digit = std::atoi(name.substr(0, a).c_str());
        r.speaker = name.substr(a + 1, b - a - 1);
        r.take = std::atoi(name.substr(b + 1).c_str());
        std::string error;
        if (!platform::readWav(path.string(), &r.samples, &error))
            continue;
        recordings.push_back(std::move(r));
    }
    return recordings;
}

struct Data {
    std::vector<Speaker> speakers;
    int recordings = 0;
    int undetected = 0;
};

// The words the detector finds, per speaker: takes 0-2 as references, the
// rest as test words, each ordered by digit.
bool detectAll(const std::vector<Recording>& recordings, Padding padding, Data* data)
{
    std::map<std::string, Speaker> bySpeaker;
    for (const Recording& r : recordings) {
        ++data->recordings;
        Word w;
        w.label = r.digit;
        if (!detectWord(r.samples, static_cast<std::uint32_t>(data->recordings), padding, &w)) {
            ++data->undetected;
            continue;
        }
        Speaker& s = bySpeaker[r.speaker];
        s.name = r.speaker;
        (r.take <= 2 ? s.train : s.test).push_back(std::move(w));
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

// One program folder per split with the vocabulary "digits", the work folder
// "hmm" and its word sets TRAIN and TEST.
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

bool makeTree(Tree* tree)
{
    std::string tmpl = (fs::temp_directory_path() / "talvor-bench-XXXXXX").string();
    std::vector<char> buf(tmpl.begin(), tmpl.end());
    buf.push_back('\0');
    if (!::mkdtemp(buf.data()))
        return false;
    tree->root = buf.data();
    return true;
}

// A program folder for the split with its word sets; its path, or "" after a
// message.
std::string prepareProgram(const Tree& tree, const std::string& name, const Speaker& split)
{
    const std::string folder = joinPath(tree.root, name);
    fs::create_directories(folder);
    const DataTree dt(folder);
    std::string error;
    if (!dt.createVocabulary("digits", kDigits, &error) || !dt.createWorkFolder("digits", "hmm", &error)) {
        std::fprintf(stderr, "%s\n", error.c_str());
        return "";
    }
    const std::string work = dt.workFolder("digits", "hmm");
    if (!writeSet(work, "TRAIN", split.train) || !writeSet(work, "TEST", split.test))
        return "";
    return folder;
}

// The DTW comparer's correct words on one split, by one method.
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

const char kDtwMethods[] = {timewarp::kMethodGeneral, timewarp::kMethodItakura, timewarp::kMethodLinear};

// Correct test words of a set of splits, by the HMMs and by each DTW method.
struct Score {
    int words = 0;
    int hmm = 0;
    std::map<char, int> dtw;
};

// Trains and recognises each split (program folders "<prefix>-<split>");
// false after a message.
bool scoreSplits(const Tree& tree, const std::string& prefix, const std::vector<Speaker>& splits, Score* score)
{
    for (const Speaker& split : splits) {
        if (split.test.empty())
            continue;
        const std::string program = prepareProgram(tree, prefix + "-" + split.name, split);
        if (program.empty())
            return false;
        const statwalk::TrainingOutcome t =
            statwalk::runTraining(program, jobFor(StatwalkKind::Training, "TRAIN"), {2026, 1, 1}, nullptr);
        if (!t.ok) {
            std::fprintf(stderr, "training %s %s failed: %s\n", prefix.c_str(), split.name.c_str(), t.error.c_str());
            return false;
        }
        statwalk::Recogniser r;
        std::string error;
        if (!r.load(program, jobFor(StatwalkKind::Recognition, "TEST"), nullptr, &error)) {
            std::fprintf(stderr, "recogniser %s %s: %s\n", prefix.c_str(), split.name.c_str(), error.c_str());
            return false;
        }
        const statwalk::TestRun run = statwalk::recogniseTestSet(r, &error);
        score->words += static_cast<int>(split.test.size());
        score->hmm += run.correct;
        for (char m : kDtwMethods)
            score->dtw[m] += dtwCorrect(split, m);
    }
    return true;
}

// Leave one speaker out: per speaker, every other speaker's words train and
// the speaker's own are tested.
std::vector<Speaker> acrossSpeakers(const std::vector<Speaker>& speakers)
{
    std::vector<Speaker> splits;
    for (const Speaker& left : speakers) {
        Speaker split;
        split.name = left.name;
        for (const Speaker& other : speakers) {
            std::vector<Word>& into = &other == &left ? split.test : split.train;
            into.insert(into.end(), other.train.begin(), other.train.end());
            into.insert(into.end(), other.test.begin(), other.test.end());
        }
        auto byLabel = [](const Word& x, const Word& y) { return x.label < y.label; };
        std::stable_sort(split.train.begin(), split.train.end(), byLabel);
        std::stable_sort(split.test.begin(), split.test.end(), byLabel);
        splits.push_back(std::move(split));
    }
    return splits;
}

// One room: the words detected and the scores of both splits.
struct Room {
    const char* name;
    Padding padding;
    Data data;
    Score dependent, across;
};

std::string cell(int n, int of)
{
    char text[64];
    std::snprintf(text, sizeof text, "%4d of %-4d %5.1f %%", n, of, of > 0 ? 100.0 * n / of : 0.0);
    return text;
}

void printRooms(const std::vector<Room>& rooms)
{
    std::printf("\n%-44s", "");
    for (const Room& room : rooms)
        std::printf("  %-22s", room.name);
    std::printf("\n%-44s", "words detected");
    for (const Room& room : rooms)
        std::printf("  %-22s", cell(room.data.recordings - room.data.undetected, room.data.recordings).c_str());
    const auto block = [&](const char* title, Score Room::*score) {
        std::printf("\n%s\n", title);
        const auto row = [&](const char* name, auto correct) {
            std::printf("  %-42s", name);
            for (const Room& room : rooms)
                std::printf("  %-22s", cell(correct(room.*score), (room.*score).words).c_str());
            std::printf("\n");
        };
        char hmm[64];
        std::snprintf(hmm, sizeof hmm, "HMM (%d states, %d mixtures, %d features)", kStates, kMixtures, kFeatures);
        row(hmm, [](const Score& s) { return s.hmm; });
        row("DTW general constraints (band 10)", [](const Score& s) { return s.dtw.at(timewarp::kMethodGeneral); });
        row("DTW Itakura constraints", [](const Score& s) { return s.dtw.at(timewarp::kMethodItakura); });
        row("DTW linear warping", [](const Score& s) { return s.dtw.at(timewarp::kMethodLinear); });
    };
    block("speaker-dependent (per speaker, takes 0-2 train, the rest test), of the words detected:", &Room::dependent);
    block("across speakers (leave one speaker out), of the words detected:", &Room::across);
}

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
    if (!bench::initialise(argc, argv))
        return 1;
    const std::vector<Recording> recordings = readRecordings(folder);
    if (recordings.empty() || !makeTree(&g_tree)) {
        std::fprintf(stderr, "statwalk on real speech: cannot read the recordings or make the data tree\n");
        return 1;
    }
    std::vector<double> levels;
    for (const Recording& r : recordings)
        levels.push_back(engine::test::RoomNoise(r.samples).deviation());
    std::sort(levels.begin(), levels.end());
    std::printf("background of the recordings (deviation of the quietest 40 ms): median %.1f, "
                "middle half %.1f to %.1f, largest %.1f\n",
                levels[levels.size() / 2], levels[levels.size() / 4], levels[levels.size() * 3 / 4], levels.back());
    std::vector<Room> rooms = {{"quiet room", Padding::Quiet, {}, {}, {}},
                               {"ordinary room", Padding::Room, {}, {}, {}}};
    for (Room& room : rooms) {
        const auto t0 = std::chrono::steady_clock::now();
        if (!detectAll(recordings, room.padding, &room.data)) {
            std::fprintf(stderr, "statwalk on real speech: no word detected in the %s\n", room.name);
            return 1;
        }
        const std::string prefix = room.padding == Padding::Quiet ? "quiet" : "room";
        if (!scoreSplits(g_tree, prefix, room.data.speakers, &room.dependent) ||
            !scoreSplits(g_tree, prefix + "-across", acrossSpeakers(room.data.speakers), &room.across))
            return 1;
        std::printf("fsdd, %s: %d recordings, %d without a detected word, %zu speakers (%.1f s)\n", room.name,
                    room.data.recordings, room.data.undetected, room.data.speakers.size(),
                    std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count());
    }
    printRooms(rooms);

    // Timed: one speaker's vocabulary trained; one token recognised (the
    // quiet room's first speaker).
    const std::string program = joinPath(g_tree.root, "quiet-" + rooms.front().data.speakers.front().name);
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
    std::printf("\n");
    bench::MedianReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    return 0;
}
