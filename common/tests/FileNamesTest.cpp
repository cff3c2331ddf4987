#include "common/FileNames.h"

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "testing/TempDir.h"

using namespace talvor;
namespace fs = std::filesystem;

TEST(FileNames, SeparatorsAndJoin)
{
    EXPECT_EQ(normalizeSeparators("DATA\\digits\\x.lb"), "DATA/digits/x.lb");
    EXPECT_EQ(joinPath("/a/b/", "c"), "/a/b/c");
    EXPECT_EQ(joinPath("/a", "\\c"), "/a/c");
    EXPECT_EQ(joinPath("", "c"), "c");
    EXPECT_EQ(joinPath("/", "c"), "/c");
}

TEST(FileNames, ResolvesCaseInsensitivelyExactFirst)
{
    test::TempDir dir;
    const std::string d = dir.path();
    fs::create_directories(d + "/DATA/Digits");
    std::ofstream(d + "/DATA/Digits/x.LB") << "1";
    std::ofstream(d + "/STATWALK1.EDF") << "2";
    std::ofstream(d + "/both.txt") << "lower";
    std::ofstream(d + "/BOTH.txt") << "upper";

    std::string r;
    ASSERT_TRUE(findFileName(d + "/data/digits/X.lb", &r));
    EXPECT_EQ(r, d + "/DATA/Digits/x.LB");
    ASSERT_TRUE(findFileName(d + "\\Statwalk1.edf", &r));
    EXPECT_EQ(r, d + "/STATWALK1.EDF");
    ASSERT_TRUE(findFileName(d + "/BOTH.txt", &r));
    EXPECT_EQ(r, d + "/BOTH.txt");  // the exact spelling wins
    ASSERT_TRUE(findFileName(d + "/both.txt", &r));
    EXPECT_EQ(r, d + "/both.txt");
    EXPECT_FALSE(findFileName(d + "/nothing", &r));
    EXPECT_FALSE(findFileName("", &r));

    // A new file keeps its own name but finds its folder.
    EXPECT_EQ(resolveFileName(d + "/data/DIGITS/new.par"), d + "/DATA/Digits/new.par");
    EXPECT_EQ(resolveFileName(d + "/none/new.par"), d + "/none/new.par");
}

TEST(FileNames, WholeFileWritesReplaceAtomically)
{
    test::TempDir dir;
    const std::string f = dir.path() + "/Model.CFV";
    std::string err;
    ASSERT_TRUE(writeFileWhole(f, "first", &err)) << err;
    ::chmod(f.c_str(), 0640);
    // An existing file in another case is replaced under its own name.
    ASSERT_TRUE(writeFileWhole(dir.path() + "/model.cfv", "second", &err)) << err;
    std::string bytes;
    ASSERT_TRUE(readFileWhole(f, &bytes));
    EXPECT_EQ(bytes, "second");
    EXPECT_FALSE(fs::exists(dir.path() + "/model.cfv") && !fs::equivalent(dir.path() + "/model.cfv", f));
    struct stat st;
    ASSERT_EQ(::stat(f.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0640u);  // mode kept

    // Nothing left behind: exactly one file.
    int count = 0;
    for (auto& e : fs::directory_iterator(dir.path())) {
        (void)e;
        ++count;
    }
    EXPECT_EQ(count, 1);

    EXPECT_FALSE(writeFileWhole(dir.path() + "/missing/x.txt", "y", &err));
    EXPECT_FALSE(err.empty());
    EXPECT_FALSE(writeFileWhole(dir.path() + "/", "y", &err));

    if (geteuid() != 0) {
        ::chmod(dir.path().c_str(), 0500);
        EXPECT_FALSE(writeFileWhole(f, "third", &err));
        ::chmod(dir.path().c_str(), 0700);
        ASSERT_TRUE(readFileWhole(f, &bytes));
        EXPECT_EQ(bytes, "second");
    }
}

TEST(FileNames, ReadWholeRefusesFoldersAndMissing)
{
    test::TempDir dir;
    std::string bytes = "keep";
    EXPECT_FALSE(readFileWhole(dir.path(), &bytes));
    EXPECT_FALSE(readFileWhole(dir.path() + "/no", &bytes));
    EXPECT_EQ(bytes, "keep");
    // A named pipe is no file: refused at once, not waited on for a writer.
    const std::string fifo = dir.path() + "/pipe";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    EXPECT_FALSE(readFileWhole(fifo, &bytes));
    EXPECT_EQ(bytes, "keep");
    std::ofstream(dir.path() + "/e") << "";
    EXPECT_TRUE(readFileWhole(dir.path() + "/e", &bytes));
    EXPECT_EQ(bytes, "");

    // A FIFO under a file's name is refused at once instead of waiting for a writer.
    bytes = "keep";
    ASSERT_EQ(::mkfifo((dir.path() + "/digits.voc").c_str(), 0600), 0);
    EXPECT_FALSE(readFileWhole(dir.path() + "/DIGITS.VOC", &bytes));
    EXPECT_EQ(bytes, "keep");
}
