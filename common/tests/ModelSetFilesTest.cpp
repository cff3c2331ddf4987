// Model files replaced as one set: a refused rename puts the old set back,
// and a writer killed at any rename leaves a folder whose next reader sees
// the new set whole; nothing hidden stays behind.
#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <map>
#include <sys/wait.h>
#include <unistd.h>

#include "common/FileNames.h"
#include "common/ModelSetFiles.h"
#include "testing/TempDir.h"

namespace talvor {
namespace {

namespace fs = std::filesystem;

std::map<std::string, std::string> folderContents(const std::string& folder)
{
    std::map<std::string, std::string> out;
    for (const auto& e : fs::directory_iterator(folder)) {
        std::string bytes;
        if (e.is_regular_file())
            readFileWhole(e.path().string(), &bytes);
        out[e.path().filename().string()] = e.is_directory() ? "<folder>" : bytes;
    }
    return out;
}

class ModelSet : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_FALSE(dir.path().empty());
        for (const char* name : {"one.mod", "two.mod", "three.mod"})
            ASSERT_TRUE(writeFileWhole(joinPath(dir.path(), name), std::string("old ") + name));
        ASSERT_TRUE(writeFileWhole(joinPath(dir.path(), "us1.LB"), "a word set"));
        before = folderContents(dir.path());
    }
    void TearDown() override { setModelSetRenameHookForTesting({}); }

    // The new set: the three models again and one that had no model before.
    std::vector<ModelFileBytes> newSet() const
    {
        return {{"one.mod", "new one"}, {"two.mod", "new two"}, {"four.mod", "new four"}, {"three.mod", "new three"}};
    }
    std::map<std::string, std::string> afterNewSet() const
    {
        std::map<std::string, std::string> m = before;
        for (const ModelFileBytes& f : newSet())
            m[f.name] = f.bytes;
        return m;
    }

    talvor::test::TempDir dir;
    std::map<std::string, std::string> before;
};

TEST_F(ModelSet, ReplacesTheSetAndLeavesNothingHidden)
{
    std::string error;
    ASSERT_TRUE(replaceModelSet(dir.path(), newSet(), &error)) << error;
    EXPECT_EQ(folderContents(dir.path()), afterNewSet());
}

TEST_F(ModelSet, ARefusedRenameLeavesTheOldSetByteForByte)
{
    for (std::size_t failing = 0; failing < newSet().size(); ++failing) {
        SCOPED_TRACE(failing);
        setModelSetRenameHookForTesting([failing](std::size_t k) { return k == failing ? EACCES : 0; });
        std::string error;
        EXPECT_FALSE(replaceModelSet(dir.path(), newSet(), &error));
        EXPECT_NE(error.find(newSet()[failing].name), std::string::npos) << error;
        EXPECT_EQ(folderContents(dir.path()), before);
    }
    // A folder where a model belongs refuses its rename for real.
    setModelSetRenameHookForTesting({});
    fs::remove(joinPath(dir.path(), "three.mod"));
    fs::create_directory(joinPath(dir.path(), "three.mod"));
    before = folderContents(dir.path());
    std::string error;
    EXPECT_FALSE(replaceModelSet(dir.path(), newSet(), &error));
    EXPECT_EQ(folderContents(dir.path()), before);
}

TEST_F(ModelSet, AWriterKilledAtAnyRenameLeavesTheNewSetToItsNextReader)
{
    for (std::size_t killedAt = 0; killedAt < newSet().size(); ++killedAt) {
        SCOPED_TRACE(killedAt);
        ASSERT_EQ(folderContents(dir.path()), before);
        const pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            setModelSetRenameHookForTesting([killedAt](std::size_t k) {
                if (k == killedAt)
                    ::raise(SIGKILL);
                return 0;
            });
            replaceModelSet(dir.path(), newSet());
            ::_exit(0);
        }
        int status = 0;
        ASSERT_EQ(::waitpid(child, &status, 0), child);
        ASSERT_TRUE(WIFSIGNALED(status));
        // Half renamed on disk; the next reader completes the set first.
        { const ModelSetReading reading(dir.path()); }
        EXPECT_EQ(folderContents(dir.path()), afterNewSet());
        // Back to the old set for the next case.
        for (const auto& [name, bytes] : before)
            ASSERT_TRUE(writeFileWhole(joinPath(dir.path(), name), bytes));
        fs::remove(joinPath(dir.path(), "four.mod"));
    }
}

TEST_F(ModelSet, LeftoversOfAWriterKilledBeforeItsJournalAreRemoved)
{
    // What a writer killed while it staged and kept the models leaves.
    ASSERT_TRUE(writeFileWhole(joinPath(dir.path(), ".one.mod.new"), "half a training"));
    ASSERT_EQ(::link(joinPath(dir.path(), "two.mod").c_str(), joinPath(dir.path(), ".two.mod.old").c_str()), 0);
    // Hidden files of others stay.
    ASSERT_TRUE(writeFileWhole(joinPath(dir.path(), ".keep"), ""));
    before[".keep"] = "";
    { const ModelSetReading reading(dir.path()); }
    EXPECT_EQ(folderContents(dir.path()), before);
}

TEST_F(ModelSet, RefusesNamesOutsideTheFolder)
{
    for (const char* name : {"../one.mod", ".hidden.mod", "notes.txt", ""}) {
        SCOPED_TRACE(name);
        std::string error;
        const std::vector<ModelFileBytes> files{{name, "x"}};
        EXPECT_FALSE(replaceModelSet(dir.path(), files, &error));
        EXPECT_FALSE(error.empty());
        EXPECT_EQ(folderContents(dir.path()), before);
    }
}

}  // namespace
}  // namespace talvor
