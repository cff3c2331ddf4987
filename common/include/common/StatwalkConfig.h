#pragma once
// STATWALK1.EDF (training) and STATWALK2.EDF (recognition): the whole job of
// the external HMM trainer and recogniser, and, as the work folder's copy of
// STATWALK1.EDF, the record of which features, states and mixtures the models
// there were trained with.
//
// Text, one item per line, CR LF line ends.  Label lines hold the label alone;
// value lines hold the value behind two blanks (the value starts in column 3).
// Numbers are in print-number form (" 3 "), texts as they are, unquoted:
//
//   Operation Mode:             / mode
//   Vocabulary:                 / vocabulary name
//   Work Directory:             / work folder name
//   Number of features:         / number of selected features
//   Features:                   / 20 characters "0"/"1", character i+1 for feature i
//   Number of training files:   / n, then n word set names (STATWALK1.EDF)
//   Number of test files:       / 1, then the test word set name (STATWALK2.EDF)
//   Number of states:           / states per model
//   Number of mixtures:         / mixtures per state
//
// Readers go by item number; items end at a line end or a comma, leading (and
// trailing) blanks are dropped, empty items are skipped.

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace talvor {

enum class StatwalkKind : std::int32_t { Training = 1, Recognition = 2 };

// "STATWALK1.EDF" / "STATWALK2.EDF".
const char* statwalkConfigName(StatwalkKind kind);
// "statwalk1" / "statwalk2": the programs in the program folder.
const char* statwalkProgramName(StatwalkKind kind);

constexpr int kFeaturesPerFrame = 20;
// One flag per feature, in feature order (c1..c8, dc1..dc8, de, dde, svf, ene).
using FeatureSelection = std::array<bool, kFeaturesPerFrame>;

// 20 characters: "1" at character i+1 when feature i is selected, else "0".
std::string featureMask(const FeatureSelection& features);
// Reads a mask of exactly 20 characters "0" and "1"; false (nothing changed) otherwise.
bool parseFeatureMask(std::string_view mask, FeatureSelection* features);
// Number of selected features.
int selectedFeatureCount(const FeatureSelection& features);

struct StatwalkConfig {
    StatwalkKind kind = StatwalkKind::Training;
    std::int32_t mode = 0;
    std::string vocabulary;
    std::string workDirectory;
    std::int32_t featureCount = 0;  // as written ("Number of features:")
    FeatureSelection features{};
    // Training: the reference word sets; recognition: the one test word set.
    std::vector<std::string> files;
    std::int32_t states = 8;
    std::int32_t mixtures = 1;
    bool operator==(const StatwalkConfig&) const = default;
};

// The items of an EDF text, in order.
std::vector<std::string> statwalkItems(std::string_view text);

// The file's bytes.  False with a message when a name would not read back
// (checked as user names), or a recognition file names other than one test file.
bool statwalkConfigText(const StatwalkConfig& config, std::string* text, std::string* error = nullptr);
bool writeStatwalkConfig(const std::string& path, const StatwalkConfig& config, std::string* error = nullptr);

// Reads a complete file of either kind (told by item 11).  False with a message
// naming `sourceName` when an item is missing, a label is not where it belongs,
// a number or the mask cannot be read.
bool parseStatwalkConfig(std::string_view text, StatwalkConfig* config, std::string* error = nullptr,
                         std::string_view sourceName = "the configuration file");
bool readStatwalkConfig(const std::string& path, StatwalkConfig* config, std::string* error = nullptr);

// Reads only items 1 to 10 (mode, vocabulary, work folder, feature count and
// mask) into *config, leaving its other fields alone: what the analyser and the
// HMM viewer need of a model copy.
bool parseStatwalkHead(std::string_view text, StatwalkConfig* config, std::string* error = nullptr,
                       std::string_view sourceName = "the configuration file");
bool readStatwalkHead(const std::string& path, StatwalkConfig* config, std::string* error = nullptr);

}  // namespace talvor
