#include "common/ResultFile.h"

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <sstream>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include "common/FileNames.h"
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

// A name that is not a regular file is refused and keeps what it is: the
// writer would otherwise rename a plain file over a named pipe, a device or a
// link (and over the link, not its target).
TEST(ResultFile, WhatIsNotARegularFileIsRefusedAndLeftAsItIs)
{
    test::TempDir program;
    const std::string p = program.path();
    ASSERT_EQ(::mkfifo((p + "/pipe").c_str(), 0600), 0);
    { std::ofstream(p + "/target.txt") << "target\r\n"; }
    fs::create_symlink(p + "/target.txt", p + "/link.txt");
    fs::create_symlink(p + "/nowhere.txt", p + "/dangling.txt");
    fs::create_directory(p + "/folder");
    const bool root = ::geteuid() == 0;
    if (root)  // a device node like /dev/null (1, 3)
        ASSERT_EQ(::mknod((p + "/null").c_str(), S_IFCHR | 0666, makedev(1, 3)), 0);
    struct Row {
        const char* name;
        const char* kind;
        fs::file_type type;
    };
    std::vector<Row> rows = {
        {"pipe", "a named pipe", fs::file_type::fifo},
        {"PIPE", "a named pipe", fs::file_type::fifo},  // found whatever its case
        {"link.txt", "a symbolic link", fs::file_type::symlink},
        {"dangling.txt", "a symbolic link", fs::file_type::symlink},
        {"folder", "a folder", fs::file_type::directory},
    };
    if (root)
        rows.push_back({"null", "a device", fs::file_type::character});
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const std::string path = resultFilePath(p, row.name);
        EXPECT_NE(resultFileProblem(path).find(row.kind), std::string::npos) << resultFileProblem(path);
        std::string error;
        EXPECT_FALSE(writeResultFile(p, row.name, "five", &error));
        EXPECT_NE(error.find(row.kind), std::string::npos) << error;
        EXPECT_NE(error.find("not a regular file"), std::string::npos) << error;
        EXPECT_EQ(fs::symlink_status(resolveFileName(path)).type(), row.type);
    }
    EXPECT_EQ(slurp(p + "/target.txt"), "target\r\n");
    EXPECT_FALSE(fs::exists(p + "/nowhere.txt"));
    // A regular file, and a new name, are written.
    EXPECT_EQ(resultFileProblem(p + "/target.txt"), "");
    EXPECT_TRUE(writeResultFile(p, "target.txt", "six"));
    EXPECT_EQ(slurp(p + "/target.txt"), "six\r\n");
    EXPECT_TRUE(writeResultFile(p, "new.txt", "seven"));
    EXPECT_EQ(slurp(p + "/new.txt"), "seven\r\n");
}

// The longest name the writer takes is one whose temporary the file system
// still takes; one more character is refused before anything is made.
TEST(ResultFile, NamesLongerThanTheFileSystemTakesAreRefused)
{
    test::TempDir program;
    const std::size_t longest = longestResultFileName(program.path());
    ASSERT_GT(longest, 200u);
    ASSERT_LT(longest, 255u);
    std::string error;
    EXPECT_TRUE(writeResultFile(program.path(), std::string(longest, 'r'), "eight", &error)) << error;
    EXPECT_EQ(slurp(program.path() + "/" + std::string(longest, 'r')), "eight\r\n");
    const std::string tooLong(longest + 1, 's');
    EXPECT_NE(resultFileProblem(program.path() + "/" + tooLong).find("too long a name"), std::string::npos);
    EXPECT_FALSE(writeResultFile(program.path(), tooLong, "nine", &error));
    EXPECT_NE(error.find("at most " + std::to_string(longest) + " characters"), std::string::npos) << error;
    // Nothing but the first file was made.
    EXPECT_EQ(std::distance(fs::directory_iterator(program.path()), fs::directory_iterator()), 1);
    // A path beyond the system's limit.
    std::string deep = program.path();
    while (deep.size() < 4100)
        deep += "/" + std::string(100, 'd');
    EXPECT_NE(resultFileProblem(deep + "/r.txt").find("too long a path"), std::string::npos);
}
