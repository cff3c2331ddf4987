#include "common/ResultFile.h"

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <sstream>
#include <unistd.h>

#include "common/TabulaTextFile.h"
#include "testing/TempDir.h"

using namespace talvor;
namespace fs = std::filesystem;

namespace {

std::string slurp(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

}  // namespace

// The text of the file for a word, and that the shared reader gets the word
// back from it as one item.
TEST(ResultFile, TextQuotesWhatWouldSplitAndReadsBack)
{
    struct Case {
        const char* word;
        const char* text;
    } cases[] = {
        {"seven", "seven\r\n"},
        {"one two three", "\"one two three\"\r\n"},
        {"a\rb", "\"a\rb\"\r\n"},
        {"a\nb", "\"a\nb\"\r\n"},
        {"", "\"\"\r\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.word);
        std::string text;
        ASSERT_TRUE(resultFileText(c.word, &text));
        EXPECT_EQ(text, c.text);
        if (*c.word == '\0')
            continue;  // an empty item reads back as no token: nothing to compare
        TabulaTextFile reader;
        reader.InputFromString(text);
        std::string back;
        ASSERT_GT(reader.ReadNextData(back), 0);
        EXPECT_EQ(back, c.word);
    }
    std::string text = "untouched";
    EXPECT_FALSE(resultFileText("say \"hi\"", &text));
    EXPECT_EQ(text, "untouched");
}

TEST(ResultFile, RelativeNamesLiveInTheProgramFolder)
{
    struct Case {
        const char* folder;
        const char* name;
        const char* path;  // "" = refused
    } cases[] = {
        {"/opt/talvor", "result.txt", "/opt/talvor/result.txt"},
        {"/opt/talvor", "out/result.txt", "/opt/talvor/out/result.txt"},
        {"/opt/talvor", "out\\result.txt", "/opt/talvor/out/result.txt"},
        {"/opt/talvor", "/tmp/r.txt", "/tmp/r.txt"},
        {"/opt/talvor", "\\tmp\\r.txt", "/tmp/r.txt"},
        {"", "result.txt", "result.txt"},
        {"/opt/talvor", "", ""},
        {"/opt/talvor", "out/", ""},
        {"/opt/talvor", "out/..", ""},
        {"/opt/talvor", ".", ""},
        {"/opt/talvor", "res\nult.txt", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.folder) + " | " + c.name);
        std::string error;
        EXPECT_EQ(resultFilePath(c.folder, c.name, &error), c.path);
        EXPECT_EQ(error.empty(), *c.path != '\0') << error;
    }
}

TEST(ResultFile, WriteReplacesTheWholeFileAndNeverTouchesTheCurrentFolder)
{
    test::TempDir program, elsewhere;
    {
        // The test (not the code under test) stands in another folder, where
        // a relative name must not land.
        struct InFolder {
            fs::path before = fs::current_path();
            explicit InFolder(const std::string& d) { fs::current_path(d); }
            ~InFolder() { fs::current_path(before); }
        } inElsewhere(elsewhere.path());
        std::string error;
        ASSERT_TRUE(writeResultFile(program.path(), "result.txt", "a much longer first word", &error)) << error;
        ASSERT_TRUE(writeResultFile(program.path(), "result.txt", "six", &error)) << error;
    }
    EXPECT_EQ(slurp(program.path() + "/result.txt"), "six\r\n");
    EXPECT_FALSE(fs::exists(elsewhere.path() + "/result.txt"));
    // Nothing else is left beside it (no temporary files).
    EXPECT_EQ(std::distance(fs::directory_iterator(program.path()), fs::directory_iterator()), 1);
}

TEST(ResultFile, FailuresSayWhyAndKeepTheEarlierResult)
{
    test::TempDir program;
    std::string error;
    ASSERT_TRUE(writeResultFile(program.path(), "result.txt", "four", &error));

    EXPECT_FALSE(writeResultFile(program.path(), "missing/result.txt", "five", &error));
    EXPECT_NE(error.find("missing"), std::string::npos) << error;

    error.clear();
    EXPECT_FALSE(writeResultFile(program.path(), "result.txt", "five \"quoted\"", &error));
    EXPECT_FALSE(error.empty());
    EXPECT_EQ(slurp(program.path() + "/result.txt"), "four\r\n");

    error.clear();
    EXPECT_FALSE(writeResultFile(program.path(), "", "five", &error));
    EXPECT_FALSE(error.empty());

    if (::geteuid() != 0) {  // root writes into a read-only folder anyway
        fs::permissions(program.path(), fs::perms::owner_read | fs::perms::owner_exec);
        EXPECT_FALSE(writeResultFile(program.path(), "result.txt", "five", &error));
        fs::permissions(program.path(), fs::perms::owner_all);
        EXPECT_EQ(slurp(program.path() + "/result.txt"), "four\r\n");
    }
}
