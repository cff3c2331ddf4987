#pragma once
// The trainer's and the recogniser's work, without windows.
//
// Both take their job from the program folder's configuration file
// (STATWALK1.EDF or STATWALK2.EDF), find the vocabulary and the work folder
// in the data tree under the program folder, and read the word sets there
// with the features the file selects.  Every name from the file passes the
// user-name check before it reaches the file system; nothing is written
// outside the work folder.

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "common/FeatureValues.h"
#include "common/StatwalkConfig.h"
#include "common/VocabularyFile.h"
#include "common/WordSetFile.h"

namespace talvor::hmmview {
class HmmModel;
}

namespace talvor::statwalk {

// The largest feature value a word set may hold, either side of 0
// (FeatureValues.h).  A word set with a value beyond it, or one that is not a
// finite number, is refused as a whole (training file, test file and the
// recorded token alike), with the word that holds it.
inline constexpr float kWordSetValueLimit = kFeatureMagnitudeLimit;

// One line for the window's log.
using LogSink = std::function<void(const std::string&)>;

// Reads the job of `kind` from the program folder, its kind and operating mode
// checked; false with a message.
bool loadJob(const std::string& programFolder, StatwalkKind kind, StatwalkConfig* job, std::string* error);

// The vocabulary and the work folder of a job, names checked.
struct JobPlace {
    std::string workFolder;
    Vocabulary vocabulary;
    std::int32_t features = 0;  // selected features: values per frame in the word sets
};
bool resolveJob(const std::string& programFolder, const StatwalkConfig& job, JobPlace* place, std::string* error);

// ---------------------------------------------------------------- training

struct TrainingDay {
    std::int32_t year = 0, month = 0, day = 0;
};

struct TrainingOutcome {
    bool ok = false;
    std::string error;                     // why nothing was written
    std::vector<std::string> written;      // the model files, full paths
    std::vector<std::string> untrained;    // words left without a model
};

// Trains one model per vocabulary word on the job's reference word sets and
// writes them into the work folder, all or none (replaceModelSet): the old
// models stay until every new one is in place, and a failure puts them back.
// Every model is checked by the model loader's rules before anything is
// written.  A word with no usable utterance gets no model and a line in the
// log.  A set `cancel` ends the training between words, writing nothing.
TrainingOutcome runTraining(const std::string& programFolder, const StatwalkConfig& job, const TrainingDay& day,
                            const LogSink& log, const std::atomic<bool>* cancel = nullptr);

// ------------------------------------------------------------- recognition

struct Recognition {
    bool recognised = false;
    std::int32_t index = -1;   // vocabulary index of the best model
    std::string word;
    float score = -1e30f;
    // Every model's score in the order of models(), -1e30 when not scored.
    std::vector<float> scores;
};

class Recogniser {
public:
    Recogniser();
    ~Recogniser();
    Recogniser(const Recogniser&) = delete;
    Recogniser& operator=(const Recogniser&) = delete;

    // Reads the vocabulary and every model file of the work folder.  A model
    // that cannot be used (it does not load, has a zero variance, other
    // features, a model ID outside the vocabulary, or a word already taken)
    // is left out with a line in the log and in refusals().  False with a
    // message when the job's places cannot be read or no model fits the job's
    // features.
    bool load(const std::string& programFolder, const StatwalkConfig& job, const LogSink& log, std::string* error);

    // "file: reason" for every model file the last load left out.
    const std::vector<std::string>& refusals() const { return m_refusals; }
    const StatwalkConfig& job() const { return m_job; }
    const Vocabulary& vocabulary() const { return m_place.vocabulary; }
    const std::string& workFolder() const { return m_place.workFolder; }
    std::int32_t features() const { return m_place.features; }
    // The models in vocabulary order.
    std::size_t modelCount() const { return m_models.size(); }
    std::int32_t modelIndex(std::size_t k) const;

    // Scores a word (F values per frame) against every model with the HMM
    // viewer's sequential decoder; the best score above -1e30 wins, the
    // first in vocabulary order on a tie.
    Recognition recognise(std::span<const float> values, std::int32_t frames) const;

    // The token the analyser wrote (x.lb / x.pr in the work folder).
    std::optional<Recognition> recogniseToken(std::string* error) const;

    // The job's test word set; read on first use.
    bool loadTestSet(std::string* error);
    const WordSet& testSet() const { return m_testSet; }
    std::optional<Recognition> recogniseTestWord(std::int32_t index, std::string* error) const;

    // The vocabulary word of an index ("" when none).
    std::string wordOf(std::int32_t index) const;

private:
    StatwalkConfig m_job;
    JobPlace m_place;
    struct Loaded;
    std::vector<std::unique_ptr<Loaded>> m_models;
    WordSet m_testSet;
    bool m_testSetLoaded = false;
    std::vector<std::string> m_refusals;
};

// HMM Matching: every word of the test set recognised, the log lines and the
// accuracy against the labels.
struct TestRun {
    std::int32_t words = 0;
    std::int32_t recognised = 0;
    std::int32_t correct = 0;
    std::vector<std::string> lines;
    std::string summary;  // "Accuracy: 9 of 10 words (90.0 %)"
};
TestRun recogniseTestSet(Recogniser& recogniser, std::string* error);

}  // namespace talvor::statwalk
