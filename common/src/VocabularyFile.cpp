#include "common/VocabularyFile.h"

#include <algorithm>

#include "common/FileNames.h"
#include "common/NameCheck.h"
#include "common/NumberText.h"
#include "common/TabulaTextFile.h"

namespace talvor {

std::vector<std::string> vocabularyWords(const Vocabulary& vocabulary)
{
    std::vector<std::string> words;
    words.reserve(vocabulary.size());
    for (const auto& e : vocabulary)
        words.push_back(e.word);
    return words;
}

bool vocabularyFileText(const std::vector<std::string>& words, std::string* text, std::string* error)
{
    std::string out = printNumber(std::int64_t(words.size())) + "\r\n";
    for (std::size_t i = 0; i < words.size(); ++i) {
        if (!checkName(words[i], NameKind::Word, error))
            return false;
        out += std::to_string(i) + "  " + words[i] + "\r\n";
    }
    *text = std::move(out);
    return true;
}

bool writeVocabularyFile(const std::string& path, const std::vector<std::string>& words, std::string* error)
{
    std::string text;
    if (!vocabularyFileText(words, &text, error))
        return false;
    std::string why;
    if (!writeFileWhole(path, text, &why)) {
        if (error)
            *error = "The vocabulary file cannot be written: " + why;
        return false;
    }
    return true;
}

bool parseVocabularyText(std::string_view text, Vocabulary* vocabulary, std::string* error, std::string_view sourceName)
{
    auto fail = [&](const std::string& why) {
        if (error)
            *error = "Cannot read " + std::string(sourceName) + ": " + why;
        return false;
    };
    // The token reader needs a separator after the last item; a hand-edited
    // file may end without a line end.
    TabulaTextFile reader;
    if (reader.InputFromString(std::string(text) + "\r\n") != 0)
        return fail("it is empty.");
    std::string item;
    std::int32_t count = 0;
    if (reader.ReadNextData(item) < 0)
        return fail("it is empty.");
    if (!parseInt32(item, &count) || count < 0)
        return fail("its first item \"" + item + "\" is no word count.");
    Vocabulary entries;
    entries.reserve(std::size_t(std::min<std::int32_t>(count, 100000)));
    for (std::int32_t k = 0; k < count; ++k) {
        VocabularyEntry entry;
        std::string indexText;
        if (reader.ReadNextData(indexText) < 0 || reader.ReadNextData(entry.word) < 0)
            return fail("it announces " + std::to_string(count) + " words but holds only " + std::to_string(k) + ".");
        if (!parseInt32(indexText, &entry.index))
            return fail("the index \"" + indexText + "\" of entry " + std::to_string(k + 1) + " is no whole number.");
        entries.push_back(std::move(entry));
    }
    *vocabulary = std::move(entries);
    return true;
}

bool readVocabularyFile(const std::string& path, Vocabulary* vocabulary, std::string* error)
{
    std::string bytes, why;
    if (!readFileWhole(path, &bytes, kVocabularyFileLimit, &why)) {
        if (error)
            *error = "Cannot read the vocabulary file " + normalizeSeparators(path) +
                     (why.find("larger than") != std::string::npos ? ": " + why + "."
                                                                   : ": it is missing or unreadable.");
        return false;
    }
    return parseVocabularyText(bytes, vocabulary, error, "the vocabulary file " + normalizeSeparators(path));
}

}  // namespace talvor
