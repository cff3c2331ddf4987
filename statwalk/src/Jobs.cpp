#include "statwalk/Jobs.h"

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <map>
#include <system_error>

#include "common/DataTree.h"
#include "common/FileNames.h"
#include "common/ModelSetFiles.h"
#include "common/ModuleState.h"
#include "common/NameCheck.h"
#include "common/NumberText.h"
#include "hmmview/Decoders.h"
#include "hmmview/HmmModel.h"
#include "statwalk/ModFile.h"
#include "statwalk/Training.h"

namespace talvor::statwalk {

namespace {

constexpr std::int32_t kMaxStates = 99;
constexpr std::int32_t kMaxMixtures = 99;

void say(const LogSink& log, const std::string& line)
{
    if (log)
        log(line);
}

bool fail(std::string* error, const std::string& message)
{
    if (error)
        *error = message;
    return false;
}

// "90.0": a share in per cent with one decimal, locale-independent.
std::string percentText(std::int32_t part, std::int32_t whole)
{
    if (whole <= 0)
        return "0.0";
    const std::int64_t tenths = (static_cast<std::int64_t>(part) * 2000 + whole) / (2 * whole);
    return std::to_string(tenths / 10) + "." + std::to_string(tenths % 10);
}

std::span<const float> wordValues(const WordSet& set, std::size_t k, std::int32_t features)
{
    const auto first = static_cast<std::size_t>(set.firstValue[k]);
    const auto count = static_cast<std::size_t>(set.words[k].frames) * static_cast<std::size_t>(features);
    return std::span<const float>(set.values).subspan(first, count);
}

// Every value of every word within what a feature can hold.
bool valuesUsable(const WordSet& set, std::int32_t features, const std::string& what, std::string* error)
{
    for (std::size_t k = 0; k < set.words.size(); ++k) {
        const std::span<const float> values = wordValues(set, k, features);
        if (const std::optional<std::size_t> at = firstUnusableFeatureValue(values)) {
            const std::size_t i = *at;
            const float v = values[i];
            const std::size_t frame = i / static_cast<std::size_t>(features);
            const std::size_t feature = i % static_cast<std::size_t>(features);
            return fail(error, what + ": word " + std::to_string(set.words[k].number) + " (position " +
                                   std::to_string(k + 1) + " in the file) holds " +
                                   (std::isnan(v) ? std::string("a value that is not a number")
                                                  : "the value " + numberText(v)) +
                                   " in frame " + std::to_string(frame) + ", selected feature " +
                                   std::to_string(feature + 1) + "; feature values must be finite and within " +
                                   numberText(kWordSetValueLimit) + " either side of 0");
        }
    }
    return true;
}

bool readJobWordSet(const JobPlace& place, const std::string& name, WordSet* set, std::string* error,
                    std::int32_t wordsWanted = -1)
{
    std::string problem;
    if (!checkName(name, NameKind::File, &problem))
        return fail(error, "The word set name \"" + name + "\" cannot be used: " + problem);
    std::string why;
    if (!readWordSet(joinPath(place.workFolder, name + kLabelFileExtension),
                     joinPath(place.workFolder, name + kFeatureFileExtension), place.features, set, &why,
                     wordsWanted))
        return fail(error, "Cannot read the word set " + name + ": " + why);
    return valuesUsable(*set, place.features, "The word set " + name + " cannot be used", error);
}

}  // namespace

bool loadJob(const std::string& programFolder, StatwalkKind kind, StatwalkConfig* job, std::string* error)
{
    const std::string path = DataTree(programFolder).statwalkConfigFile(kind);
    std::string why;
    if (!readStatwalkConfig(path, job, &why))
        return fail(error, why.empty() ? "Cannot read " + path : why);
    if (job->kind != kind)
        return fail(error, std::string(statwalkConfigName(kind)) + " is not a " +
                               (kind == StatwalkKind::Training ? "training" : "recognition") + " configuration");
    if (modeNameTable(job->mode).empty())
        return fail(error, "no operating mode " + std::to_string(job->mode));
    return true;
}

bool resolveJob(const std::string& programFolder, const StatwalkConfig& job, JobPlace* place, std::string* error)
{
    std::string problem;
    if (!checkName(job.vocabulary, NameKind::Vocabulary, &problem))
        return fail(error, "The vocabulary name \"" + job.vocabulary + "\" cannot be used: " + problem);
    if (!checkName(job.workDirectory, NameKind::WorkDirectory, &problem))
        return fail(error, "The work directory name \"" + job.workDirectory + "\" cannot be used: " + problem);
    const DataTree tree(programFolder);
    std::string why;
    Vocabulary vocabulary;
    if (!readVocabularyFile(tree.vocabularyFile(job.vocabulary), &vocabulary, &why))
        return fail(error, "Cannot read the vocabulary " + job.vocabulary + ": " + why);
    std::string work;
    std::error_code ec;
    if (!findFileName(tree.workFolder(job.vocabulary, job.workDirectory), &work) ||
        !std::filesystem::is_directory(work, ec))
        return fail(error, "There is no work directory " + job.workDirectory + " in the vocabulary " +
                               job.vocabulary);
    const std::int32_t features = selectedFeatureCount(job.features);
    if (features < 1)
        return fail(error, "The configuration selects no feature");
    place->workFolder = work;
    place->vocabulary = std::move(vocabulary);
    place->features = features;
    return true;
}

// ---------------------------------------------------------------- training

TrainingOutcome runTraining(const std::string& programFolder, const StatwalkConfig& job, const TrainingDay& day,
                            const LogSink& log, const std::atomic<bool>* cancel)
{
    TrainingOutcome out;
    auto failed = [&](const std::string& message) {
        out.ok = false;
        out.error = message;
        say(log, "Training failed: " + message + ". No model was written.");
        return out;
    };
    JobPlace place;
    std::string error;
    if (!resolveJob(programFolder, job, &place, &error))
        return failed(error);
    if (job.states < 3 || job.states > kMaxStates)
        return failed("A model needs 3 to " + std::to_string(kMaxStates) + " states, not " +
                      std::to_string(job.states));
    if (job.mixtures < 1 || job.mixtures > kMaxMixtures)
        return failed("A state needs 1 to " + std::to_string(kMaxMixtures) + " mixtures, not " +
                      std::to_string(job.mixtures));
    if (job.files.empty())
        return failed("The configuration names no training file");
    const std::int32_t F = place.features;
    say(log, "Vocabulary " + job.vocabulary + ", work directory " + job.workDirectory + ": " +
                 std::to_string(place.vocabulary.size()) + " words, " + std::to_string(job.states) + " states, " +
                 std::to_string(job.mixtures) + " mixtures, " + std::to_string(F) + " features (" +
                 featureMask(job.features) + ")");

    // Every reference word set, its words grouped by label.
    std::vector<WordSet> sets(job.files.size());
    std::map<std::int32_t, std::vector<TrainingSequence>> byLabel;
    std::vector<TrainingSequence> all;
    for (std::size_t k = 0; k < job.files.size(); ++k) {
        if (!readJobWordSet(place, job.files[k], &sets[k], &error))
            return failed(error);
        say(log, "Training file " + job.files[k] + ": " + std::to_string(sets[k].words.size()) + " words");
    }
    for (std::size_t k = 0; k < sets.size(); ++k)
        for (std::size_t w = 0; w < sets[k].words.size(); ++w) {
            const WordSetEntry& e = sets[k].words[w];
            const bool known = std::any_of(place.vocabulary.begin(), place.vocabulary.end(),
                                           [&](const VocabularyEntry& v) { return v.index == e.label; });
            if (!known) {
                say(log, "Word " + std::to_string(e.number) + " of " + job.files[k] + " has the label " +
                             std::to_string(e.label) + ", which is not in the vocabulary: left out");
                continue;
            }
            const TrainingSequence s{wordValues(sets[k], w, F), e.frames};
            byLabel[e.label].push_back(s);
            all.push_back(s);
        }

    TrainingOptions options;
    options.varianceFloor = varianceFloor(all, F);
    const float modelConst = gaussianConstant(F);
    struct Pending {
        std::string finalPath, bytes;
    };
    std::vector<Pending> pending;
    for (const VocabularyEntry& entry : place.vocabulary) {
        if (cancel && cancel->load())
            return failed("The training was stopped");
        const std::vector<TrainingSequence>& seqs = byLabel[entry.index];
        const TrainingResult r = trainWordModel(seqs, job.states, job.mixtures, F, options);
        if (!r.ok) {
            say(log, entry.word + ": no model (" + r.reason + ")");
            out.untrained.push_back(entry.word);
            continue;
        }
        ModHeader header;
        header.word = entry.word;
        header.modelID = entry.index;
        header.year = day.year;
        header.month = day.month;
        header.day = day.day;
        header.modelConst = modelConst;
        Pending p;
        if (!modFileBytes(header, r.model, &p.bytes, &error))
            return failed("The model of " + entry.word + " cannot be written: " + error);
        const std::string name = modelFileName(place.vocabulary, entry.index);
        // Only what the viewer and the recogniser would load is written.
        hmmview::HmmModel check;
        const hmmview::ModLoadReport loads = check.LoadModBytes(p.bytes, name);
        if (!loads.loaded || !loads.warnings.empty())
            return failed("The model of " + entry.word + " is not usable: " +
                          (loads.loaded ? loads.warnings.front() : loads.error));
        p.finalPath = resolveFileName(joinPath(place.workFolder, name));
        std::string line = entry.word + ": " + std::to_string(r.used) + " utterances, " +
                           std::to_string(r.rounds) + " rounds, score " + numberText(r.score);
        if (r.skipped > 0)
            line += " (" + std::to_string(r.skipped) + " utterances shorter than " + std::to_string(job.states) +
                    " frames left out)";
        say(log, line);
        pending.push_back(std::move(p));
    }
    if (pending.empty())
        return failed("No word of the vocabulary has training data");

    // All or none: the old models stay until every new one is in place.
    if (cancel && cancel->load())
        return failed("The training was stopped");
    std::vector<ModelFileBytes> files;
    for (const Pending& p : pending)
        files.push_back({p.finalPath.substr(p.finalPath.rfind('/') + 1), p.bytes});
    if (!replaceModelSet(place.workFolder, files, &error))
        return failed(error);
    for (const Pending& p : pending)
        out.written.push_back(p.finalPath);
    say(log, std::to_string(out.written.size()) + " models written into the work directory " + job.workDirectory);
    out.ok = true;
    return out;
}

// ------------------------------------------------------------- recognition

struct Recogniser::Loaded {
    hmmview::HmmModel model;
    std::int32_t index = 0;
};

Recogniser::Recogniser() = default;
Recogniser::~Recogniser() = default;

std::int32_t Recogniser::modelIndex(std::size_t k) const
{
    return m_models[k]->index;
}

std::string Recogniser::wordOf(std::int32_t index) const
{
    for (const VocabularyEntry& e : m_place.vocabulary)
        if (e.index == index)
            return e.word;
    return {};
}

bool Recogniser::load(const std::string& programFolder, const StatwalkConfig& job, const LogSink& log,
                      std::string* error)
{
    m_job = job;
    m_models.clear();
    m_testSet = WordSet{};
    m_testSetLoaded = false;
    m_refusals.clear();
    if (!resolveJob(programFolder, job, &m_place, error))
        return false;
    auto refused = [&](const std::string& file, const std::string& why) {
        m_refusals.push_back(file + ": " + why);
        say(log, "Model file " + file + " not used: " + why);
    };
    const ModelSetReading reading(m_place.workFolder);
    for (const std::string& file : listFilesWithExtension(m_place.workFolder, ".mod")) {
        auto loaded = std::make_unique<Loaded>();
        std::string name = joinPath(m_place.workFolder, file);
        const hmmview::ModLoadReport report = loaded->model.LoadMOD(name);
        if (!report.loaded) {
            refused(file, report.error);
            continue;
        }
        // A zero variance drops its feature from the density: such a model
        // scores every word too well.
        if (!report.warnings.empty()) {
            refused(file, report.warnings.front());
            continue;
        }
        const hmmview::HmmModel& m = loaded->model;
        if (m.nParams() != m_place.features) {
            refused(file, "it has " + std::to_string(m.nParams()) + " features, the job selects " +
                              std::to_string(m_place.features));
            continue;
        }
        loaded->index = m.modelID();
        if (wordOf(loaded->index).empty()) {
            refused(file, "its model ID " + std::to_string(loaded->index) + " is not in the vocabulary");
            continue;
        }
        const bool taken = std::any_of(m_models.begin(), m_models.end(),
                                       [&](const auto& other) { return other->index == loaded->index; });
        if (taken) {
            refused(file, "it is a second model of " + wordOf(loaded->index));
            continue;
        }
        m_models.push_back(std::move(loaded));
    }
    std::stable_sort(m_models.begin(), m_models.end(),
                     [](const auto& a, const auto& b) { return a->index < b->index; });
    if (m_models.empty())
        return fail(error, "There is no model with " + std::to_string(m_place.features) +
                               " features in the work directory " + job.workDirectory);
    std::string words;
    for (const auto& m : m_models)
        words += (words.empty() ? "" : " ") + wordOf(m->index);
    say(log, std::to_string(m_models.size()) + " models: " + words);
    return true;
}

Recognition Recogniser::recognise(std::span<const float> values, std::int32_t frames) const
{
    Recognition r;
    r.scores.assign(m_models.size(), hmmview::kScoreFloor);
    const hmmview::PackedWord word{values, frames, m_place.features};
    if (!word.complete())
        return r;
    for (std::size_t k = 0; k < m_models.size(); ++k) {
        float score = hmmview::kScoreFloor;
        hmmview::MatchSequentialHMM(m_models[k]->model, word, score, 0, false);
        r.scores[k] = score;
        if (score > hmmview::kScoreFloor && (!r.recognised || score > r.score)) {
            r.recognised = true;
            r.score = score;
            r.index = m_models[k]->index;
        }
    }
    if (r.recognised)
        r.word = wordOf(r.index);
    return r;
}

std::optional<Recognition> Recogniser::recogniseToken(std::string* error) const
{
    WordSet token;
    if (!readJobWordSet(m_place, "x", &token, error, 1))
        return std::nullopt;
    if (token.words.empty()) {
        fail(error, "The token file x.lb holds no word");
        return std::nullopt;
    }
    return recognise(wordValues(token, 0, m_place.features), token.words[0].frames);
}

bool Recogniser::loadTestSet(std::string* error)
{
    if (m_testSetLoaded)
        return true;
    if (m_job.files.size() != 1)
        return fail(error, "The configuration names no test file");
    if (!readJobWordSet(m_place, m_job.files[0], &m_testSet, error))
        return false;
    m_testSetLoaded = true;
    return true;
}

std::optional<Recognition> Recogniser::recogniseTestWord(std::int32_t index, std::string* error) const
{
    if (!m_testSetLoaded) {
        fail(error, "The test file is not loaded");
        return std::nullopt;
    }
    if (index < 0 || static_cast<std::size_t>(index) >= m_testSet.words.size()) {
        fail(error, "The test file " + m_job.files[0] + " has no word " + std::to_string(index));
        return std::nullopt;
    }
    const auto k = static_cast<std::size_t>(index);
    return recognise(wordValues(m_testSet, k, m_place.features), m_testSet.words[k].frames);
}

TestRun recogniseTestSet(Recogniser& recogniser, std::string* error)
{
    TestRun run;
    if (!recogniser.loadTestSet(error))
        return run;
    const WordSet& set = recogniser.testSet();
    for (std::size_t k = 0; k < set.words.size(); ++k) {
        const WordSetEntry& e = set.words[k];
        const std::optional<Recognition> r = recogniser.recogniseTestWord(static_cast<std::int32_t>(k), nullptr);
        ++run.words;
        std::string spoken = recogniser.wordOf(e.label);
        if (spoken.empty())
            spoken = "label " + std::to_string(e.label);
        std::string line = "Word " + std::to_string(e.number) + " (" + spoken + "): ";
        if (r && r->recognised) {
            ++run.recognised;
            const bool right = r->index == e.label;
            run.correct += right ? 1 : 0;
            line += "recognised " + r->word + ", score " + numberText(r->score) + (right ? "" : "  (wrong)");
        } else {
            line += "not recognised (no model reaches its last state)";
        }
        run.lines.push_back(std::move(line));
    }
    run.summary = "Accuracy: " + std::to_string(run.correct) + " of " + std::to_string(run.words) + " words (" +
                  percentText(run.correct, run.words) + " %)";
    return run;
}

}  // namespace talvor::statwalk
