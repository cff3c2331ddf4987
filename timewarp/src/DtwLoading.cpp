#include "timewarp/DtwLoading.h"

#include <cmath>
#include <optional>
#include <vector>

#include "common/FileNames.h"
#include "common/NameCheck.h"
#include "common/NumberText.h"
#include "common/DataTree.h"
#include "common/VocabularyFile.h"
#include "common/WordSetFile.h"

namespace talvor::timewarp {

const std::array<DtwFeatureName, kMaxFeatures>& DtwFeatureNames()
{
    static const std::array<DtwFeatureName, kMaxFeatures> names = {{
        {"cep1", 5.0f, 10.0f},  {"cep2", 5.0f, 10.0f},  {"cep3", 5.0f, 10.0f},  {"cep4", 5.0f, 10.0f},
        {"cep5", 5.0f, 10.0f},  {"cep6", 5.0f, 10.0f},  {"cep7", 5.0f, 10.0f},  {"cep8", 5.0f, 10.0f},
        {"dcep1", 1.0f, 2.0f},  {"dcep2", 1.0f, 2.0f},  {"dcep3", 1.0f, 2.0f},  {"dcep4", 1.0f, 2.0f},
        {"dcep5", 1.0f, 2.0f},  {"dcep6", 1.0f, 2.0f},  {"dcep7", 1.0f, 2.0f},  {"dcep8", 1.0f, 2.0f},
        {"dene", 1.0f, 2.0f},   {"ddene", 1.0f, 2.0f},  {"svf", 50.0f, 60.0f},  {"ene", 10.0f, 8.0f},
    }};
    return names;
}

DtwComparerState& dtwComparer()
{
    static const std::unique_ptr<DtwComparerState> state = [] {
        auto s = std::make_unique<DtwComparerState>();
        InitDtwDefaults(*s);
        return s;
    }();
    return *state;
}

void InitDtwDefaults(DtwComparerState& state)
{
    state.appPathSlash = normalizeSeparators(state.appPath) + "/";
    state.labelExtension = kLabelFileExtension;
    state.featureExtension = kFeatureFileExtension;
    state.plotStyle = 'F';
    state.store.method = kMethodGeneral;
    state.store.bandRange = 10;
    state.rotation = 30;
    state.elevation = 75;
    state.featureNames = DtwFeatureNames();
}

std::string sourceWordSetName(const DtwComparerState& state)
{
    return state.sourceName.empty() ? std::string("x") : state.sourceName;
}

std::string vocabularyFolder(const DtwComparerState& state)
{
    return DataTree(state.appPath).vocabularyFolder(state.vocabularyName);
}

std::string wordSetFolder(const DtwComparerState& state)
{
    return DataTree(state.appPath).workFolder(state.vocabularyName, state.workDirectoryName);
}

namespace {

void setError(std::string* error, std::string text)
{
    if (error)
        *error = std::move(text);
}

// Reads and checks a word set for the store; `set` is the set number the
// records get.
struct CheckedSet {
    std::vector<WordRecord> records;
    WordSet words;
};

// The vocabulary and work folder names, and the word set's name, must stay
// inside the data tree: a name with a path separator or a name like ".." is
// refused before any file is opened.
bool namesUsable(const DtwComparerState& state, const std::string* wordSetName, std::string* error)
{
    std::optional<std::string> problem = nameProblem(state.vocabularyName, NameKind::Vocabulary);
    if (!problem && wordSetName)
        problem = nameProblem(state.workDirectoryName, NameKind::WorkDirectory);
    if (!problem && wordSetName)
        problem = nameProblem(*wordSetName, NameKind::File);
    if (problem) {
        setError(error, *problem);
        return false;
    }
    return true;
}

bool readCheckedSet(const DtwComparerState& state, const std::string& name, int set, int wordsWanted,
                    CheckedSet* out, std::string* error)
{
    if (!namesUsable(state, &name, error))
        return false;
    const std::string folder = wordSetFolder(state);
    const std::string lb = joinPath(folder, name + state.labelExtension);
    const std::string pr = joinPath(folder, name + state.featureExtension);
    const int nFeat = state.store.nFeat();
    // The words first, so a word the store cannot hold is reported as such
    // rather than as a feature file too short for it.
    LabelFileContents labels;
    if (!readLabelFile(lb, &labels, error, wordsWanted))
        return false;
    for (std::size_t k = 0; k < labels.words.size(); ++k) {
        const WordSetEntry& e = labels.words[k];
        const std::string where = normalizeSeparators(lb) + ": word " + std::to_string(k + 1);
        if (e.frames < 1 || e.frames > kMaxFrames) {
            setError(error, where + " has " + std::to_string(e.frames) + " frames (1 to "
                                + std::to_string(kMaxFrames) + " can be matched)");
            return false;
        }
        if (e.label < 0 || e.label > kMaxLabel) {
            setError(error, where + " has the label " + std::to_string(e.label) + " (labels are 0 to "
                                + std::to_string(kMaxLabel) + ")");
            return false;
        }
        if (e.number < INT16_MIN || e.number > INT16_MAX) {
            setError(error, where + " has the number " + std::to_string(e.number) + ", out of range");
            return false;
        }
    }
    CheckedSet result;
    if (!readWordSet(lb, pr, nFeat, &result.words, error, wordsWanted))
        return false;
    if (result.words.words != labels.words) {
        setError(error, normalizeSeparators(lb) + " changed while it was read");
        return false;
    }
    for (std::size_t k = 0; k < result.words.words.size(); ++k) {
        const WordSetEntry& e = result.words.words[k];
        const float* v = result.words.values.data() + result.words.firstValue[k];
        for (int m = 0; m < nFeat * e.frames; ++m) {
            if (!std::isfinite(v[m])) {
                setError(error, normalizeSeparators(pr) + ": word " + std::to_string(k + 1)
                                    + " holds a value that is not a number");
                return false;
            }
        }
        result.records.push_back(
            {std::int16_t(set), std::int16_t(e.number), std::int16_t(e.label), std::int16_t(e.frames)});
    }
    *out = std::move(result);
    return true;
}

std::span<const float> wordValues(const CheckedSet& set, std::size_t k, int nFeat)
{
    return {set.words.values.data() + set.words.firstValue[k], std::size_t(nFeat) * std::size_t(set.records[k].frames)};
}

}  // namespace

bool ReadVocabulary(DtwComparerState& state, std::string* error)
{
    if (!namesUsable(state, nullptr, error))
        return false;
    Vocabulary entries;
    if (!readVocabularyFile(DataTree(state.appPath).vocabularyFile(state.vocabularyName), &entries, error))
        return false;
    if (entries.size() > std::size_t(INT16_MAX)) {
        setError(error, "the vocabulary file holds " + std::to_string(entries.size()) + " entries");
        return false;
    }
    for (std::size_t k = 0; k < entries.size(); ++k) {
        if (entries[k].index < 0 || entries[k].index > kMaxLabel) {
            setError(error, "vocabulary entry " + std::to_string(k + 1) + " has the index "
                                + std::to_string(entries[k].index) + " (indices are 0 to " + std::to_string(kMaxLabel)
                                + ")");
            return false;
        }
    }
    for (VocabularyEntry& e : entries)
        state.vocabulary[std::size_t(e.index)] = std::move(e.word);
    state.vocabularyCount = std::int16_t(entries.size());
    return true;
}

bool LoadWordData(DtwComparerState& state, std::string* error)
{
    DtwWordStore& store = state.store;
    const int nFeat = store.nFeat();
    if (state.referenceSetCount < 0 || state.referenceSetCount > kMaxReferenceSets) {
        setError(error, std::to_string(state.referenceSetCount) + " reference word sets (at most "
                            + std::to_string(kMaxReferenceSets) + ")");
        return false;
    }

    if (state.mode < 8) {
        CheckedSet test;
        if (!readCheckedSet(state, sourceWordSetName(state), 1, -1, &test, error))
            return false;
        if (test.records.size() > std::size_t(kMaxTestWords)) {
            setError(error, sourceWordSetName(state) + ": " + std::to_string(test.records.size()) + " test words (at most "
                                + std::to_string(kMaxTestWords) + ")");
            return false;
        }
        for (std::size_t k = 0; k < test.records.size(); ++k)
            store.storeTestWord(int(k) + 1, test.records[k], wordValues(test, k, nFeat));
        store.testWordCount = std::int16_t(test.records.size());
    }

    int total = 0;
    for (int s = 1; s <= state.referenceSetCount; ++s) {
        CheckedSet refs;
        if (!readCheckedSet(state, state.referenceNames[std::size_t(s)], s, -1, &refs, error))
            return false;
        if (total + refs.records.size() > std::size_t(kMaxReferences)) {
            setError(error, state.referenceNames[std::size_t(s)] + ": more than "
                                + std::to_string(kMaxReferences) + " references in all");
            return false;
        }
        for (std::size_t k = 0; k < refs.records.size(); ++k)
            store.storeReference(total + int(k) + 1, refs.records[k], wordValues(refs, k, nFeat));
        total += int(refs.records.size());
        store.referenceTotal = std::int16_t(total);
    }
    // Without reference sets no reference of an earlier loading may be
    // matched.
    store.referenceTotal = std::int16_t(total);

    store.currentTestWord = 0;
    store.currentReference = 1;
    state.currentSourceSet = 1;
    state.currentReferenceSet = 1;
    return true;
}

bool CountReferences(const DtwComparerState& state, std::int64_t* total, std::string* error)
{
    *total = 0;
    for (int s = 1; s <= state.referenceSetCount && s < int(state.referenceNames.size()); ++s) {
        const std::string& name = state.referenceNames[std::size_t(s)];
        if (!namesUsable(state, &name, error))
            return false;
        LabelFileContents labels;
        if (!readLabelFile(joinPath(wordSetFolder(state), name + state.labelExtension), &labels, error))
            return false;
        *total += std::int64_t(labels.words.size());
    }
    return true;
}

std::string tooManyReferencesText(std::int64_t total)
{
    return "The reference files make " + std::to_string(total) + " references; the DTW comparer takes at most "
           + std::to_string(kMaxReferences) + ".";
}

bool LoadRecordedWord(DtwComparerState& state, std::string* error)
{
    CheckedSet word;
    const std::string source = sourceWordSetName(state);
    if (!readCheckedSet(state, source, 1, 1, &word, error))
        return false;
    if (word.records.empty()) {
        setError(error, normalizeSeparators(joinPath(wordSetFolder(state), source + state.labelExtension))
                            + " holds no word");
        return false;
    }
    state.store.storeTestWord(1, word.records[0], wordValues(word, 0, state.store.nFeat()));
    state.store.testWordCount = 1;
    return true;
}

bool LoadTestVector(DtwComparerState& state, int w)
{
    DtwWordStore& store = state.store;
    if (w < 1 || w > store.testWordCount)
        return false;
    const WordRecord& word = store.testWord(w);
    const int nFeat = store.nFeat();
    const float* values = store.testValues(w);
    store.currentTestWord = std::int16_t(w);
    store.N = word.frames;
    state.testWordText = state.vocabulary[std::size_t(word.label)];
    int m = 0;
    for (int i = 1; i <= word.frames; ++i) {
        for (int f = 1; f <= nFeat; ++f)
            store.testVector(i, f) = values[m++];
        const int pos = state.displayedPosition;
        state.testTrack[std::size_t(i)] = pos >= 1 && pos <= nFeat ? store.testVector(i, pos) : 0.0f;
    }
    return true;
}

bool LoadRefVector(DtwComparerState& state, int r)
{
    DtwWordStore& store = state.store;
    if (r < 1 || r > store.referenceTotal)
        return false;
    const WordRecord& ref = store.reference(r);
    const int nFeat = store.nFeat();
    const float* values = store.referenceValues(r);
    store.currentReference = std::int16_t(r);
    store.M = ref.frames;
    state.referenceWordText = state.vocabulary[std::size_t(ref.label)];
    state.currentReferenceSet = ref.set;
    int m = 0;
    for (int j = 1; j <= ref.frames; ++j) {
        for (int f = 1; f <= nFeat; ++f)
            store.refVector(j, f) = values[m++];
        const int pos = state.displayedPosition;
        state.referenceTrack[std::size_t(j)] = pos >= 1 && pos <= nFeat ? store.refVector(j, pos) : 0.0f;
    }
    return true;
}

}  // namespace talvor::timewarp
