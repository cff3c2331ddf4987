#pragma once
// The vocabulary file <voc>.voc (text, CR LF line ends):
//
//   line 1        the word count n in print-number form: " 3 "
//   lines 2..n+1  for i = 0..n-1: the digits of i, two blanks, word i: "0  one"
//
// The index of a word in this file is its label: the number that word data
// tables, word sets and recognition results use for it.  Readers take the file
// as blank-separated items (count, then index and word per entry), so a word
// holds no blank; they find the file whatever the case of its name.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace talvor {

// A vocabulary file larger than this is refused (a few thousand words take a
// few tens of kilobytes).
inline constexpr std::size_t kVocabularyFileLimit = std::size_t(1) << 20;

struct VocabularyEntry {
    std::int32_t index = 0;  // the word's label
    std::string word;
    bool operator==(const VocabularyEntry&) const = default;
};

using Vocabulary = std::vector<VocabularyEntry>;

// The words in file order.
std::vector<std::string> vocabularyWords(const Vocabulary& vocabulary);

// The file's bytes for these words (indices 0..n-1).  False with a message in
// *error when a word would not read back (empty, blanks, quotes, commas,
// control characters).
bool vocabularyFileText(const std::vector<std::string>& words, std::string* text, std::string* error = nullptr);

// Writes the file whole (a failed write leaves an older file as it was).
bool writeVocabularyFile(const std::string& path, const std::vector<std::string>& words,
                         std::string* error = nullptr);

// Reads the items of a vocabulary text: the count, then that many pairs of
// index and word.  False with a message (naming `sourceName`) when the count or
// an index is no whole number, the count is negative, or fewer entries stand
// in the text than it announces.  Items after the announced entries are ignored.
bool parseVocabularyText(std::string_view text, Vocabulary* vocabulary, std::string* error = nullptr,
                         std::string_view sourceName = "the vocabulary file");

// Reads the file `path` (found whatever the case of its name).
bool readVocabularyFile(const std::string& path, Vocabulary* vocabulary, std::string* error = nullptr);

}  // namespace talvor
