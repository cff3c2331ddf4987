// Deleting from the Data page against a temporary program folder with a canary
// folder beside DATA: exactly the chosen paths go, nothing else changes.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>

#include "common/DataTree.h"
#include "testing/TempDir.h"
#include "workbench/Maintenance.h"

using namespace talvor;
using namespace talvor::workbench;
namespace fs = std::filesystem;

namespace {

void put(const fs::path& p, const std::string& bytes = "x")
{
    fs::create_directories(p.parent_path());
    std::ofstream(p, std::ios::binary) << bytes;
}

// Every path under root (links not followed) with its bytes, or "<dir>"/"<link>".
std::map<std::string, std::string> listing(const fs::path& root)
{
    std::map<std::string, std::string> out;
    for (auto it = fs::recursive_directory_iterator(root); it != fs::recursive_directory_iterator(); ++it) {
        const auto rel = it->path().lexically_relative(root).string();
        if (it->is_symlink())
            out[rel] = "<link>";
        else if (it->is_directory())
            out[rel] = "<dir>";
        else {
            std::ifstream in(it->path(), std::ios::binary);
            out[rel] = std::string(std::istreambuf_iterator<char>(in), {});
        }
    }
    return out;
}

class Maintenance : public ::testing::Test {
protected:
    void SetUp() override
    {
        const fs::path root = dir.path(), voc = root / "DATA" / "digits";
        put(root / "canary" / "keep.txt", "canary");
        put(voc / "digits.voc", " 1 \r\n0  one\r\n");
        for (const char* f : {"S1.lab", "S1.par", "S1.rec", "S1.x.lab", "S1.x.par", "s1.lab", "s1.rec", "S2.lab"})
            put(voc / f, f);
        put(voc / "ref1" / "ref1.LB");
        put(voc / "ref1" / "deeper" / "models" / "a.mod");
        put(voc / "ref1" / ".hidden");
        fs::create_directory_symlink(root / "canary", voc / "ref1" / "link-to-canary");
        put(voc / "S1.old" / "inside.txt");  // a work directory that looks like a recording's file
        put(voc / "_strings" / "W1.lab");
        put(voc / "_strings" / "W1.par");
        put(voc / "_strings" / "W2.lab");
        put(root / "DATA" / "other" / "other.voc", " 0 \r\n");
    }
    test::TempDir dir;
    DataTree tree{dir.path()};
};

TEST_F(Maintenance, DeletesExactlyTheChosenItem)
{
    struct Row {
        const char* name;
        DataItem kind;
        const char* vocabulary;
        const char* item;
        std::vector<std::string> gone;  // relative to DATA/digits (or DATA for the vocabulary)
    };
    const Row rows[] = {
        {"recording S1 beside S1.x and s1", DataItem::DataFiles, "digits", "S1", {"S1.lab", "S1.par", "S1.rec"}},
        {"recording s1", DataItem::DataFiles, "digits", "s1", {"s1.lab", "s1.rec"}},
        {"work directory with a nested folder, a hidden file and a link", DataItem::WorkDirectory, "digits", "ref1",
         {"ref1", "ref1/ref1.LB", "ref1/deeper", "ref1/deeper/models", "ref1/deeper/models/a.mod", "ref1/.hidden",
          "ref1/link-to-canary"}},
        {"string recording", DataItem::StringData, "digits", "W1", {"_strings/W1.lab", "_strings/W1.par"}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        TearDown();
        fs::remove_all(dir.path() + "/DATA");
        fs::remove_all(dir.path() + "/canary");
        SetUp();
        auto before = listing(dir.path());
        const MaintenanceResult r = deleteDataItem(tree, row.kind, row.vocabulary, row.item);
        ASSERT_TRUE(r.ok) << r.message;
        for (const std::string& g : row.gone) {
            const std::string key = "DATA/digits/" + g;
            EXPECT_EQ(before.erase(key), 1u) << key;
        }
        EXPECT_EQ(listing(dir.path()), before);
    }
}

TEST_F(Maintenance, AWholeVocabularyGoesAndTheCanaryStays)
{
    const auto canary = listing(dir.path() + "/canary");
    const MaintenanceResult r = deleteDataItem(tree, DataItem::Vocabulary, "digits", "");
    ASSERT_TRUE(r.ok) << r.message;
    EXPECT_FALSE(fs::exists(dir.path() + "/DATA/digits"));
    EXPECT_TRUE(fs::exists(dir.path() + "/DATA/other/other.voc"));
    EXPECT_EQ(listing(dir.path() + "/canary"), canary);
    EXPECT_EQ(tree.vocabularies(), std::vector<std::string>{"other"});
}

TEST_F(Maintenance, RefusedNamesDeleteNothing)
{
    struct Row { DataItem kind; const char* vocabulary; const char* item; };
    const Row rows[] = {
        {DataItem::Vocabulary, "", ""},          {DataItem::Vocabulary, "..", ""},
        {DataItem::Vocabulary, "a/b", ""},       {DataItem::Vocabulary, "*", ""},
        {DataItem::Vocabulary, "missing", ""},   {DataItem::DataFiles, "digits", ""},
        {DataItem::DataFiles, "digits", ".."},   {DataItem::DataFiles, "digits", "*"},
        {DataItem::DataFiles, "digits", "S*"},   {DataItem::DataFiles, "digits", "../other/other"},
        {DataItem::DataFiles, "digits", "S9"},   {DataItem::WorkDirectory, "digits", "_strings"},
        {DataItem::WorkDirectory, "digits", ".."}, {DataItem::WorkDirectory, "digits", "a/b"},
        {DataItem::WorkDirectory, "digits", ""}, {DataItem::StringData, "digits", "*"},
        {DataItem::StringData, "../DATA", "W1"},
    };
    const auto before = listing(dir.path());
    for (const Row& row : rows) {
        SCOPED_TRACE(std::string(row.vocabulary) + " / " + row.item);
        const MaintenanceResult r = deleteDataItem(tree, row.kind, row.vocabulary, row.item);
        EXPECT_FALSE(r.ok);
        EXPECT_FALSE(r.message.empty());
        EXPECT_TRUE(r.removed.empty());
    }
    EXPECT_EQ(listing(dir.path()), before);
}

TEST_F(Maintenance, AFailureStopsAndSaysWhereAndWhy)
{
    if (::geteuid() == 0)
        GTEST_SKIP() << "root may remove files from a read-only folder";
    fs::permissions(dir.path() + "/DATA/digits/ref1/deeper/models", fs::perms::owner_read | fs::perms::owner_exec);
    const MaintenanceResult r = deleteDataItem(tree, DataItem::WorkDirectory, "digits", "ref1");
    fs::permissions(dir.path() + "/DATA/digits/ref1/deeper/models", fs::perms::owner_all);
    EXPECT_FALSE(r.ok);
    EXPECT_NE(r.message.find("models/a.mod"), std::string::npos) << r.message;
}

TEST_F(Maintenance, QuestionsNameWhatGoes)
{
    const std::string d = dir.path() + "/DATA/digits";
    EXPECT_EQ(deleteQuestion(tree, DataItem::Vocabulary, "digits", ""),
              "Are you sure you want to delete complete " + d + " directory?");
    EXPECT_EQ(deleteQuestion(tree, DataItem::DataFiles, "digits", "S1"),
              "Are you sure you want to delete " + d + "/S1.* files?");
    EXPECT_EQ(deleteQuestion(tree, DataItem::WorkDirectory, "digits", "ref1"),
              "Are you sure you want to delete " + d + "/ref1 work subdirectory?");
    EXPECT_EQ(deleteQuestion(tree, DataItem::StringData, "digits", "W1"),
              "Are you sure you want to delete " + d + "/_strings/W1.* files?");
}

TEST(RecordingFiles, ExactSpellingFirstElseTheOneOtherSpelling)
{
    test::TempDir dir;
    for (const char* f : {"Ab.lab", "Ab.rec", "aB.par", "ab.lab", "ab.x.lab", "noext", "trail."})
        put(fs::path(dir.path()) / f);
    std::vector<std::string> files;
    std::string error;
    ASSERT_TRUE(recordingFiles(dir.path(), "ab", &files, &error));
    EXPECT_EQ(files, std::vector<std::string>{"ab.lab"});
    ASSERT_TRUE(recordingFiles(dir.path(), "noext", &files, &error));
    EXPECT_TRUE(files.empty());
    EXPECT_FALSE(recordingFiles(dir.path(), "AB", &files, &error));  // Ab, aB and ab: which one?
    EXPECT_FALSE(error.empty());
    fs::remove(fs::path(dir.path()) / "aB.par");
    fs::remove(fs::path(dir.path()) / "ab.lab");
    ASSERT_TRUE(recordingFiles(dir.path(), "AB", &files, &error));
    EXPECT_EQ(files, (std::vector<std::string>{"Ab.lab", "Ab.rec"}));
}

}  // namespace
