#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "common/FileNames.h"
#include "testing/TempDir.h"
#include "workbench/HelpCaptions.h"

using namespace talvor;
using namespace talvor::workbench;

namespace {

PromptTexts builtIn()
{
    PromptTexts p;
    for (int i = 0; i < kHelpPromptCount; ++i)
        p[std::size_t(i)] = i == 2 ? "Single" : "Prompt number " + std::to_string(i) + ".";
    return p;
}

TEST(HelpCaptions, AMissingFileIsWrittenFromTheBuiltInTexts)
{
    test::TempDir dir;
    PromptTexts prompts = builtIn();
    EXPECT_FALSE(loadHelpCaptions(dir.path(), prompts));
    EXPECT_EQ(prompts, builtIn());
    std::string bytes;
    ASSERT_TRUE(readFileWhole(dir.path() + "/Talvor_II.c_h", &bytes));
    EXPECT_TRUE(bytes.starts_with("\r\n0000 \"Prompt number 0.\"\r\n\r\n0001 \"Prompt number 1.\"\r\n\r\n")) << bytes;
    EXPECT_NE(bytes.find("\r\n0002 Single\r\n\r\n"), std::string::npos);  // no quotes without a blank
    EXPECT_TRUE(bytes.ends_with("\r\n\r\n0016 \"Prompt number 16.\"\r\n\r\n\r\n")) << bytes;

    // Read back: the same texts.
    PromptTexts other;
    EXPECT_TRUE(loadHelpCaptions(dir.path(), other));
    EXPECT_EQ(other, builtIn());
}

TEST(HelpCaptions, AnEditedFileChangesOnlyItsValidKeys)
{
    test::TempDir dir;
    std::ofstream(dir.path() + "/TALVOR_II.C_H", std::ios::binary)
        << "\r\n0005 \"Five, edited\"\r\n\r\n0001 one\r\n99 \"out of range\"\r\nx \"not a key\"\r\n"
           "0003 \"<b>bold</b> <img src=x>\"\r\n-1 minus\r\n";
    PromptTexts prompts = builtIn();
    EXPECT_TRUE(loadHelpCaptions(dir.path(), prompts));
    PromptTexts expected = builtIn();
    expected[5] = "Five, edited";
    expected[1] = "one";
    expected[3] = "<b>bold</b> <img src=x>";
    EXPECT_EQ(prompts, expected);
}

TEST(HelpCaptions, TooltipsAndUnwritableTexts)
{
    EXPECT_EQ(helpToolTip(0), "Help 0000");
    EXPECT_EQ(helpToolTip(16), "Help 0016");
    PromptTexts p = builtIn();
    p[4] = "say \"hello\"";
    std::string text;
    EXPECT_FALSE(helpCaptionText(p, &text));
    test::TempDir dir;
    EXPECT_FALSE(loadHelpCaptions(dir.path() + "/no-such-folder", p));  // one line on standard error, no throw
}

}  // namespace
