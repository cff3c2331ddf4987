// The vocabulary file: a parsed file whose words the writer accepts reads
// back as the same words, numbered 0 to n-1.
#include "FuzzSupport.h"
#include "common/VocabularyFile.h"

using namespace talvor;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    Vocabulary vocabulary;
    std::string error;
    if (!parseVocabularyText(fuzz::bytesOf(data, size), &vocabulary, &error, "fuzz input")) {
        FUZZ_CHECK(!error.empty());
        return 0;
    }
    std::string text;
    if (!vocabularyFileText(vocabularyWords(vocabulary), &text, &error))
        return 0;
    Vocabulary back;
    FUZZ_CHECK(parseVocabularyText(text, &back, &error, "written text"));
    FUZZ_CHECK(vocabularyWords(back) == vocabularyWords(vocabulary));
    for (std::size_t i = 0; i < back.size(); ++i)
        FUZZ_CHECK(back[i].index == std::int32_t(i));
    return 0;
}
