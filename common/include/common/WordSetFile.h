#pragma once
// Word sets: the label file (.LB) and the feature file (.PR) of a work folder.
//
// A word set holds labelled words with only the selected features of each
// frame.  The wizard writes word sets from word data files, the analyser writes
// the recorded token as the one-word set x.lb/x.pr, and the DTW comparer and the
// HMM programs read them.  Every one of them goes through this reader and
// writer.
//
// Label file: text, CR LF line ends, numbers in the print statement's form (a
// minus sign or a blank, the digits, one trailing blank).  Line 1 is the number
// of words; then one line per word: its number, its label (its index in the
// vocabulary file), its frame count and its offset in frames into the feature
// file.  Offsets are the running sums of the frame counts.  Word set files put
// one further blank between the numbers of a line; the token file x.lb puts
// none:
//     word set:  " 0   3   45   0 "
//     token:     " 1  0  57  0 "
// Readers take the file as free-format items (separated by blanks, TABs, commas
// and line ends, CR LF or LF alike), so both read the same.
//
// Feature file: raw bytes, no header: for each word in label-file order, for
// each frame, the selected features in feature order, each a 32-bit IEEE float,
// little-endian.  Which features are selected is not stored; writer and reader
// take it from the same configuration.
//
// The recorded token x.lb/x.pr is written by writeTokenWordSet with a stamp
// that both files carry, so that a pair from two different words (a crash or
// a kill between the two writes) is refused rather than read as one word:
// x.lb has a third line "stamp N " (N a decimal number, new for every token),
// which readers of the first word never reach, and x.pr ends, after the
// values, in a trailer of 16 bytes that readers of the announced frames never
// reach: the bytes "TKST", N as 64 bits and the number of values before the
// trailer as 32 bits, little-endian.  readWordSet checks the pair: a stamped
// label file needs a feature file with the same stamp, and a stamped feature
// file a label file with it.  Word sets without stamps read as ever.
//
// File names are found case-insensitively ("x.LB" reaches "x.lb"); files are
// written whole (a failed write leaves the old file).  Nothing throws: failures
// return false with a reason in *error when one is given.

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "common/StatwalkConfig.h"

namespace talvor {

inline constexpr const char* kLabelFileExtension = ".LB";
inline constexpr const char* kFeatureFileExtension = ".PR";
// A label file larger than this is refused (a word takes about 20 bytes).
inline constexpr std::size_t kLabelFileLimit = std::size_t(16) << 20;

// One word line of a label file.
struct WordSetEntry {
    std::int32_t number = 0;  // the word's number (the source's index column)
    std::int32_t label = 0;   // its vocabulary index
    std::int32_t frames = 0;  // its frame count
    std::int32_t offset = 0;  // frames before it in the feature file (read; the writer computes it)
    bool operator==(const WordSetEntry&) const = default;
};

enum class LabelFileSpacing {
    WordSet,  // one further blank between the print-form numbers (the wizard's word sets)
    Token,    // print-form numbers side by side (the recorded token x.lb)
};

// What a label file holds: the count its first line announces and the word
// lines read.
struct LabelFileContents {
    std::int32_t count = 0;
    std::vector<WordSetEntry> words;
    bool stamped = false;     // a "stamp N" line follows the words
    std::uint64_t stamp = 0;
};

// Whether a label file can hold `words` so that it reads back: no negative
// frame count, and every offset (the running sum of the frame counts before
// the word) within the 32-bit range the reader takes.  False with the reason.
bool labelFileFits(std::span<const WordSetEntry> words, std::string* error = nullptr);

// The text of a label file for `words`.  Each word's offset is written as the
// running sum of the frame counts before it (entry.offset is not used), so the
// file always agrees with the feature file written from the same words.
std::string labelFileText(std::span<const WordSetEntry> words, LabelFileSpacing spacing);

// Reads label-file text: the count, then four numbers per word.  wordsWanted < 0
// reads every announced word; otherwise at most that many (the recorded token
// is read by its first word alone).  Fails on an item that is not a whole
// number, a negative count or frame count, or a file that ends before the
// words wanted are complete.  Items after the last word read are ignored.
bool parseLabelFile(std::string_view text, LabelFileContents* out, std::string* error = nullptr,
                    std::int32_t wordsWanted = -1);

bool writeLabelFile(std::string_view path, std::span<const WordSetEntry> words, LabelFileSpacing spacing,
                    std::string* error = nullptr);
bool readLabelFile(std::string_view path, LabelFileContents* out, std::string* error = nullptr,
                   std::int32_t wordsWanted = -1);

// The bytes of a feature file holding `values` (little-endian 32-bit floats).
std::string featureFileBytes(std::span<const float> values);

// The values of feature-file bytes; a trailing partial value is not part of
// any frame and is left out.
std::vector<float> parseFeatureFile(std::string_view bytes);

// The feature-file values of whole feature frames (kFeaturesPerFrame values
// each, frame after frame; a trailing partial frame belongs to no frame): for
// each frame, its selected features in feature order.  With features 0, 1 and
// 19 selected a frame gives c1, c2 and ene, 12 bytes in the feature file.
std::vector<float> selectedFeatureValues(std::span<const float> frames, const FeatureSelection& features);

bool writeFeatureFile(std::string_view path, std::span<const float> values, std::string* error = nullptr);
bool readFeatureFile(std::string_view path, std::vector<float>* values, std::string* error = nullptr);

// A word set read as a whole: the label file's words and, for each, its
// featuresPerFrame x frames values, taken from the feature file one word after
// the other from its start (the words lie in label-file order without gaps).
struct WordSet {
    std::int32_t count = 0;             // as the label file announces it
    std::vector<WordSetEntry> words;    // the words read
    std::vector<float> values;          // all their values, word after word
    std::vector<std::int64_t> firstValue;  // index into values of each word's first value
};

// Reads labelPath and featurePath.  Fails when either cannot be read or parsed
// or when the feature file holds fewer values than the words read need.  When
// the whole set is read (wordsWanted < 0), the feature file must hold exactly
// the values the words need: a longer one is refused as belonging to another
// save (a crash between the writes of a pair) or another feature selection.
// A reader of the first words only (the recorded token, whose feature file
// may start earlier and run longer) takes them from the start.
bool readWordSet(std::string_view labelPath, std::string_view featurePath, std::int32_t featuresPerFrame,
                 WordSet* out, std::string* error = nullptr, std::int32_t wordsWanted = -1);

// Writes the recorded token: one word, its values, and a new stamp in both
// files; the feature file first, each whole, with no flush to disk (scratch
// files, read back at once).
bool writeTokenWordSet(std::string_view labelPath, std::string_view featurePath, const WordSetEntry& word,
                       std::int32_t featuresPerFrame, std::span<const float> values, std::string* error = nullptr);

// Writes both files of a word set: the label file with the given spacing and
// the feature file from `values` (featuresPerFrame x frames of every word, in
// word order).  Fails, writing nothing, when the values do not add up to the
// words' frames or the label file could not hold the words (labelFileFits).
// The feature file is written first: a crash between the two writes leaves a
// pair that readWordSet refuses (unless the new words need exactly as many
// feature bytes as the old ones).
bool writeWordSet(std::string_view labelPath, std::string_view featurePath, std::span<const WordSetEntry> words,
                  std::int32_t featuresPerFrame, std::span<const float> values, LabelFileSpacing spacing,
                  std::string* error = nullptr);

}  // namespace talvor
