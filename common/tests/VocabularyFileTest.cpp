#include "common/VocabularyFile.h"

#include <fstream>
#include <gtest/gtest.h>

#include "common/FileNames.h"
#include "testing/TempDir.h"

using namespace talvor;

TEST(VocabularyFile, ThreeWordsByteExact)
{
    std::string text;
    ASSERT_TRUE(vocabularyFileText({"one", "two", "three"}, &text));
    EXPECT_EQ(text, " 3 \r\n0  one\r\n1  two\r\n2  three\r\n");
    ASSERT_TRUE(vocabularyFileText({}, &text));
    EXPECT_EQ(text, " 0 \r\n");
}

TEST(VocabularyFile, RoundTripThroughTheFile)
{
    test::TempDir dir;
    const std::string path = dir.path() + "/digits.voc";
    std::vector<std::string> words;
    for (int i = 0; i < 12; ++i)
        words.push_back("w" + std::to_string(i));
    ASSERT_TRUE(writeVocabularyFile(path, words));
    Vocabulary v;
    std::string err;
    ASSERT_TRUE(readVocabularyFile(path, &v, &err)) << err;
    ASSERT_EQ(v.size(), 12u);
    EXPECT_EQ(vocabularyWords(v), words);
    for (int i = 0; i < 12; ++i)
        EXPECT_EQ(v[std::size_t(i)].index, i);
}

TEST(VocabularyFile, ReadsHandEditedFiles)
{
    struct Case {
        const char* name;
        std::string text;
        Vocabulary expected;
    };
    const Case cases[] = {
        {"the written form", " 3 \r\n0  one\r\n", {}},  // replaced below: short file
        {"LF line ends", " 2 \n0  one\n1  two\n", {{0, "one"}, {1, "two"}}},
        {"no final line end", "2\r\n0 one\r\n5 two", {{0, "one"}, {5, "two"}}},
        {"one line, tabs", "2\t0\tone 1 two", {{0, "one"}, {1, "two"}}},
        {"items after the count are ignored", " 1 \r\n0  one\r\n1  extra\r\n", {{0, "one"}}},
        {"count 0", " 0 \r\n", {}},
    };
    for (std::size_t k = 1; k < std::size(cases); ++k) {
        const auto& c = cases[k];
        SCOPED_TRACE(c.name);
        Vocabulary v{{9, "old"}};
        std::string err;
        ASSERT_TRUE(parseVocabularyText(c.text, &v, &err)) << err;
        EXPECT_EQ(v, c.expected);
    }
    // The reader's own edge case: a count " 3 " then "0  one" gives count 3, index 0, word one
    // (and then a short file).
    Vocabulary v;
    std::string err;
    EXPECT_FALSE(parseVocabularyText(cases[0].text, &v, &err));
    EXPECT_NE(err.find("announces 3 words but holds only 1"), std::string::npos) << err;
}

TEST(VocabularyFile, RejectsBrokenFilesAndUnwritableWords)
{
    const std::pair<std::string, const char*> broken[] = {
        {"", "empty"},
        {"  \r\n", "empty"},
        {"three\r\n0 one\r\n", "no word count"},
        {"-1\r\n", "no word count"},
        {"2\r\n0 one\r\nx two\r\n", "is no whole number"},
        {"2\r\n0 one\r\n1\r\n", "holds only 1"},
    };
    for (const auto& [text, because] : broken) {
        SCOPED_TRACE(text);
        Vocabulary v{{1, "kept"}};
        std::string err;
        EXPECT_FALSE(parseVocabularyText(text, &v, &err, "digits.voc"));
        EXPECT_NE(err.find(because), std::string::npos) << err;
        EXPECT_NE(err.find("digits.voc"), std::string::npos) << err;
        EXPECT_EQ(v, (Vocabulary{{1, "kept"}}));
    }

    test::TempDir dir;
    const std::string path = dir.path() + "/d.voc";
    ASSERT_TRUE(writeFileWhole(path, "old"));
    std::string err;
    EXPECT_FALSE(writeVocabularyFile(path, {"one", "two words"}, &err));
    EXPECT_NE(err.find("holds no blank"), std::string::npos) << err;
    EXPECT_FALSE(writeVocabularyFile(path, {"a,b"}, &err));
    std::string bytes;
    ASSERT_TRUE(readFileWhole(path, &bytes));
    EXPECT_EQ(bytes, "old");  // nothing written

    Vocabulary v;
    EXPECT_FALSE(readVocabularyFile(dir.path() + "/missing.voc", &v, &err));
    EXPECT_NE(err.find("missing.voc"), std::string::npos);
}

TEST(VocabularyFile, FoundWhateverTheCaseOfItsName)
{
    test::TempDir dir;
    std::ofstream(dir.path() + "/digits.voc", std::ios::binary) << " 1 \r\n0  one\r\n";
    Vocabulary v;
    std::string err;
    ASSERT_TRUE(readVocabularyFile(dir.path() + "/digits.VOC", &v, &err)) << err;
    EXPECT_EQ(v, (Vocabulary{{0, "one"}}));
}
