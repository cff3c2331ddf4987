#pragma once
// The DTW comparer's library state around its word store: start-up defaults,
// the vocabulary, loading the test and reference word sets (or the recorded
// word) from the work folder, and the current pair with its display tracks.
//
// Loaders read a whole word set and check it before anything is stored, so a
// missing, corrupt or out-of-bounds file changes nothing and is reported as a
// failure with its reason.

#include <array>
#include <cstdint>
#include <memory>
#include <string>

#include "timewarp/DtwWordStore.h"

namespace talvor::timewarp {

// A feature's name and its display range: the tracks show top - height at the
// bottom and top at the top.
struct DtwFeatureName {
    const char* name;
    float top;
    float height;
};

// The 20 features in feature order, "cep1".."cep8", "dcep1".."dcep8", "dene",
// "ddene", "svf", "ene"; element k - 1 is feature k.
const std::array<DtwFeatureName, kMaxFeatures>& DtwFeatureNames();

inline constexpr int kVocabularySize = kMaxLabel + 1;  // labels 0..50

struct DtwComparerState {
    DtwWordStore store;

    std::string appPath;       // the program folder, as the host gave it
    std::string appPathSlash;  // the same with a trailing "/"
    std::string labelExtension;    // ".LB"
    std::string featureExtension;  // ".PR"
    char plotStyle = 0;             // 'F' flat grid, 'M' colour map, '3' 3-D surface
    std::int16_t rotation = 0;      // degrees, 3-D plot
    std::int16_t elevation = 0;     // degrees, 3-D plot
    std::array<DtwFeatureName, kMaxFeatures> featureNames{};

    std::int16_t mode = 0;  // operating mode; below 8 the test word set is loaded
    std::string vocabularyName;
    std::string workDirectoryName;
    std::string sourceName = "x";  // test word set, without extension
    std::array<std::string, kMaxReferenceSets + 1> referenceNames;  // slots 1..5
    std::int16_t referenceSetCount = 0;

    std::array<std::string, kVocabularySize> vocabulary;  // word of each label
    std::int16_t vocabularyCount = 0;

    std::string testWordText;       // vocabulary words of the current pair
    std::string referenceWordText;
    std::int16_t currentReferenceSet = 0;
    std::int16_t currentSourceSet = 1;

    std::int16_t displayedFeature = 1;   // 1..20, the feature the tracks show
    std::int16_t displayedPosition = 0;  // 0..20, its position among the stored features
    std::string featureFlags;            // 20 characters, "1" = stored
    std::array<float, kMaxFrames + 1> testTrack{};       // frames 1..N
    std::array<float, kMaxFrames + 1> referenceTrack{};  // frames 1..M
};

// The library's own state, with its defaults set when first used.
DtwComparerState& dtwComparer();

// Start-up defaults: the application path with its trailing "/", the extensions
// ".LB" and ".PR", plot style 'F', method 'N', band range 10, rotation 30 and
// elevation 75 degrees, and the feature names.
void InitDtwDefaults(DtwComparerState& state);

// The test word set's name: sourceName, or "x" when the host gave none.
std::string sourceWordSetName(const DtwComparerState& state);

// <appPath>/DATA/<vocabulary>, and the work folder below it, computed afresh at
// each call.
std::string vocabularyFolder(const DtwComparerState& state);
std::string wordSetFolder(const DtwComparerState& state);

// Reads <vocabulary folder>/<vocabulary name>.VOC (any letter case): the count,
// then index (0..50) and word per entry; listed entries replace their slots,
// the others keep their words.  On any failure (also a vocabulary name that
// would leave the data tree) nothing changes.
bool ReadVocabulary(DtwComparerState& state, std::string* error = nullptr);

// Loads the word sets of the work folder: in modes below 8 the test word set
// <source>.LB/.PR, then the reference word sets 1..referenceSetCount, numbered
// on from reference 1; the reference total is the number of references read,
// 0 without reference sets.  Vocabulary, work folder and word set names that
// would leave the data tree (a path separator, "..") are refused.  Each set is read and checked whole (at most 100 test
// words, 500 references, frames 1..200, labels 0..50, finite values, a feature
// file as long as the label file announces) before it is stored.  The first
// failing set ends the loading: the sets stored before it stay, the failing one
// changes nothing, the current word and reference are kept, and false is
// returned with the reason.  On success the current test word is 0 (none yet)
// and the current reference, reference set and source set are 1.
bool LoadWordData(DtwComparerState& state, std::string* error = nullptr);

// The number of references the reference word sets 1..referenceSetCount hold
// by their label files; false with the reason when a label file cannot be read
// (LoadWordData then says why).
bool CountReferences(const DtwComparerState& state, std::int64_t* total, std::string* error = nullptr);
// "The reference files make 612 references; the DTW comparer takes at most 500."
std::string tooManyReferencesText(std::int64_t total);

// Reads the first word of <source>.LB/.PR in the work folder as test word 1;
// the test word count becomes 1.  On failure nothing changes.
bool LoadRecordedWord(DtwComparerState& state, std::string* error = nullptr);

// Makes test word w current: N, the test word text, the test vector and track.
// False, changing nothing, when w is not a loaded test word.
bool LoadTestVector(DtwComparerState& state, int w);

// Makes reference r current: M, the reference word text, the current reference
// set, the reference vector and track.  False, changing nothing, when r is not
// a loaded reference.
bool LoadRefVector(DtwComparerState& state, int r);

}  // namespace talvor::timewarp
