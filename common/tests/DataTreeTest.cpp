#include "common/DataTree.h"

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>

#include "common/NameCheck.h"
#include "testing/FileSizeLimit.h"
#include "testing/TempDir.h"

using namespace talvor;
namespace fs = std::filesystem;

TEST(DataTree, PathsOfTheTree)
{
    DataTree t("/opt/talvor\\");
    EXPECT_EQ(t.appPath(), "/opt/talvor");
    EXPECT_EQ(t.dataFolder(), "/opt/talvor/DATA");
    EXPECT_EQ(t.vocabularyFile("digits"), "/opt/talvor/DATA/digits/digits.voc");
    EXPECT_EQ(t.stringsFolder("digits"), "/opt/talvor/DATA/digits/_strings");
    EXPECT_EQ(t.workFolder("digits", "w1"), "/opt/talvor/DATA/digits/w1");
    EXPECT_EQ(t.recordingBase("digits", "SAB01"), "/opt/talvor/DATA/digits/SAB01");
    EXPECT_EQ(t.stringRecordingBase("digits", "S1"), "/opt/talvor/DATA/digits/_strings/S1");
    EXPECT_EQ(t.statwalkConfigFile(StatwalkKind::Training), "/opt/talvor/STATWALK1.EDF");
    EXPECT_EQ(t.statwalkConfigFile(StatwalkKind::Recognition), "/opt/talvor/STATWALK2.EDF");
    EXPECT_EQ(t.modelConfigCopy("digits", "w1"), "/opt/talvor/DATA/digits/w1/STATWALK1.EDF");
    EXPECT_EQ(t.externalProgram(StatwalkKind::Recognition), "/opt/talvor/statwalk2");
}

TEST(DataTree, ListingsAndModels)
{
    test::TempDir dir;
    const std::string d = dir.path() + "/DATA/digits";
    for (const char* sub : {"w2", "W1", "_strings", ".hidden"})
        fs::create_directories(d + "/" + sub);
    fs::create_directories(dir.path() + "/DATA/animals");
    for (const char* f : {"b.lab", "A.LAB", "b.par", "b.rec", ".b.lab.X1y2Z3", "lab", "digits.voc"})
        std::ofstream(d + "/" + f) << "x";
    fs::create_directories(d + "/dir.lab");
    std::ofstream(d + "/_strings/one_two.lab") << "x";
    std::ofstream(d + "/w2/Statwalk1.edf") << "x";

    DataTree t(dir.path());
    EXPECT_EQ(t.vocabularies(), (std::vector<std::string>{"animals", "digits"}));
    EXPECT_EQ(t.workFolders("digits"), (std::vector<std::string>{"dir.lab", "W1", "w2"}));
    EXPECT_EQ(t.workFolders("DIGITS"), t.workFolders("digits"));  // case ignored
    EXPECT_EQ(t.recordings("digits"), (std::vector<std::string>{"A", "b"}));
    EXPECT_EQ(t.stringRecordings("digits"), (std::vector<std::string>{"one_two"}));
    EXPECT_TRUE(t.hasModels("digits", "w2"));
    EXPECT_FALSE(t.hasModels("digits", "W1"));
    EXPECT_TRUE(t.workFolders("none").empty());
    EXPECT_TRUE(DataTree(dir.path() + "/nothing").vocabularies().empty());
}

TEST(DataTree, CreatesFoldersOnlyUnderCheckedNames)
{
    test::TempDir dir;
    DataTree t(dir.path());
    std::string err;
    ASSERT_TRUE(t.createVocabularyFolder("digits", &err)) << err;  // DATA made on the way
    EXPECT_TRUE(fs::is_directory(dir.path() + "/DATA/digits"));
    EXPECT_TRUE(t.createVocabularyFolder("Digits", &err)) << err;  // exists already, case ignored
    EXPECT_FALSE(fs::exists(dir.path() + "/DATA/Digits"));
    ASSERT_TRUE(t.ensureStringsFolder("digits", &err)) << err;
    EXPECT_TRUE(fs::is_directory(dir.path() + "/DATA/digits/_strings"));
    ASSERT_TRUE(t.createWorkFolder("digits", "w1", &err)) << err;
    EXPECT_TRUE(fs::is_directory(dir.path() + "/DATA/digits/w1"));

    EXPECT_FALSE(t.createWorkFolder("digits", "_Strings", &err));
    EXPECT_NE(err.find("word-string"), std::string::npos) << err;
    EXPECT_FALSE(t.createWorkFolder("digits", "../../escape", &err));
    EXPECT_FALSE(t.createVocabularyFolder("..", &err));
    EXPECT_FALSE(t.createWorkFolder("animals", "w1", &err));  // no such vocabulary
    EXPECT_NE(err.find("does not exist"), std::string::npos) << err;
    EXPECT_FALSE(fs::exists(dir.path() + "/DATA/animals"));
    EXPECT_FALSE(fs::exists(dir.path() + "/escape"));

    std::ofstream(dir.path() + "/DATA/digits/w9") << "a file";
    EXPECT_FALSE(t.createWorkFolder("digits", "w9", &err));
    EXPECT_NE(err.find("in the way"), std::string::npos) << err;
}

TEST(DataTree, CreatesAVocabularyWithItsFile)
{
    test::TempDir dir;
    DataTree t(dir.path());
    std::string err;
    ASSERT_TRUE(t.createVocabulary("digits", {"one", "two", "three"}, &err)) << err;
    std::ifstream in(dir.path() + "/DATA/digits/digits.voc", std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_EQ(bytes, " 3 \r\n0  one\r\n1  two\r\n2  three\r\n");

    // A bad word makes nothing at all.
    EXPECT_FALSE(t.createVocabulary("animals", {"cat", "big dog"}, &err));
    EXPECT_NE(err.find("holds no blank"), std::string::npos) << err;
    EXPECT_FALSE(fs::exists(dir.path() + "/DATA/animals"));
    EXPECT_FALSE(t.createVocabulary("a/b", {"cat"}, &err));
}

TEST(DataTree, CreatesAVocabularyAllOrNothing)
{
    test::TempDir dir;
    DataTree t(dir.path());
    std::string err;
    ASSERT_TRUE(t.createVocabulary("digits", {"one", "two"}, &err)) << err;
    const std::string vocFile = dir.path() + "/DATA/digits/digits.voc";
    const auto before = fs::file_size(vocFile);

    // An existing name in any letter case is refused and its file kept.
    for (const char* name : {"digits", "DIGITS", "Digits"}) {
        SCOPED_TRACE(name);
        EXPECT_FALSE(t.createVocabulary(name, {"a", "b", "c", "d"}, &err));
        EXPECT_NE(err.find("exists already"), std::string::npos) << err;
        EXPECT_EQ(fs::file_size(vocFile), before);
    }
    EXPECT_EQ(t.vocabularies(), (std::vector<std::string>{"digits"}));

    // The longest name the check passes still fits with its file and its
    // temporary; one byte more is refused before anything is made.
    const std::string longest(kMaxNameLength, 'v');
    ASSERT_TRUE(t.createVocabulary(longest, {"one"}, &err)) << err;
    EXPECT_TRUE(fs::is_regular_file(t.vocabularyFile(longest)));
    EXPECT_FALSE(t.createVocabulary(longest + "w", {"one"}, &err));
    EXPECT_FALSE(fs::exists(t.vocabularyFolder(longest + "w")));

    // A file that cannot be written takes its new folder with it.
    {
        test::FileSizeLimit limit(8);
        ASSERT_TRUE(limit.ok());
        EXPECT_FALSE(t.createVocabulary("animals", {"cat", "dog", "horse", "sheep"}, &err));
    }
    EXPECT_NE(err.find("File too large"), std::string::npos) << err;
    EXPECT_FALSE(fs::exists(dir.path() + "/DATA/animals"));
    EXPECT_TRUE(t.createVocabulary("animals", {"cat"}, &err)) << err;
}
