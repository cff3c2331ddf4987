#include "worddata/WordDataFiles.h"

#include <gtest/gtest.h>

using namespace talvor::worddata;

TEST(LabFile, LineWithItsTabsAndCrLf)
{
    EXPECT_EQ(labLine({" 3", " 2", " 41", " 120", "yes"}), " 3\t 2\t 41\t 120\tyes\t\r\n");
    EXPECT_EQ(labLine({" 1", " 0", " 0", " 0", ""}), " 1\t 0\t 0\t 0\t\t\r\n");
}

TEST(LabFile, ReadsWrittenAndHandEditedLines)
{
    struct Case {
        const char* name;
        std::string text;
        std::vector<WordRow> rows;
    };
    const Case cases[] = {
        {"as written", " 1\t 0\t 41\t 0\tone\t\r\n 2\t 1\t 0\t 61\t\t\r\n",
         {{" 1", " 0", " 41", " 0", "one"}, {" 2", " 1", " 0", " 61", ""}}},
        {"LF line ends, no last line end", " 1\t 0\t 41\t 0\tone\t\n 2\t 1\t 5\t 61\ttwo",
         {{" 1", " 0", " 41", " 0", "one"}, {" 2", " 1", " 5", " 61", "two"}}},
        {"lone CR line ends", " 1\t 0\t 41\t 0\tone\t\r 2\t 1\t 5\t 61\ttwo\t\r",
         {{" 1", " 0", " 41", " 0", "one"}, {" 2", " 1", " 5", " 61", "two"}}},
        {"blank lines hold no word", "\r\n 1\t 0\t 41\t 0\tone\t\r\n  \r\n\r\n", {{" 1", " 0", " 41", " 0", "one"}}},
        {"short and long lines", " 1\t 0\r\n 2\t 1\t 0\t 0\ttwo\textra\tmore\t\r\n",
         {{" 1", " 0", "", "", ""}, {" 2", " 1", " 0", " 0", "two"}}},
        {"a name with blanks", " 1\t 0\t 3\t 0\tgood day\t\r\n", {{" 1", " 0", " 3", " 0", "good day"}}},
        {"empty", "", {}},
        // Text only beyond the fifth cell: its five cells are blank, as the
        // line that the writer makes of them, so it is no word either.
        {"only cells beyond the fifth", "\t\t \t\t\tx\r\n 1\t 0\t 3\t 0\ta\t\r\n", {{" 1", " 0", " 3", " 0", "a"}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(parseLabText(c.text), c.rows);
    }
}

TEST(ValueFiles, LittleEndianAndWholeValuesOnly)
{
    const float f[] = {1.0f, -2.5f};
    EXPECT_EQ(featureBytes(f), std::string("\x00\x00\x80\x3f\x00\x00\x20\xc0", 8));
    const std::int16_t s[] = {1, -2, 32767};
    EXPECT_EQ(sampleBytes(s), std::string("\x01\x00\xfe\xff\xff\x7f", 6));

    // A partial trailing value is not a value.
    EXPECT_EQ(featuresFromBytes(std::string("\x00\x00\x80\x3f\x00\x00\x20", 7)), std::vector<float>{1.0f});
    EXPECT_EQ(samplesFromBytes(std::string("\x01\x00\xfe\xff\xff", 5)), (std::vector<std::int16_t>{1, -2}));
    EXPECT_TRUE(featuresFromBytes("").empty());
}
