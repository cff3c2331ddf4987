#include "common/FileNames.h"

#include <filesystem>
#include <fstream>
#include <functional>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <utime.h>
#include <unistd.h>

#include "common/StatwalkConfig.h"
#include "common/TabulaTextFile.h"
#include "common/TempFiles.h"
#include "common/VocabularyFile.h"
#include "common/WordSetFile.h"
#include "testing/FileSizeLimit.h"
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

namespace {

// A file of `size` bytes that takes no room on the disk.
void makeSparse(const std::string& path, off_t size)
{
    std::ofstream(path).flush();
    ASSERT_EQ(::truncate(path.c_str(), size), 0);
}

}  // namespace

TEST(FileNames, WholeFileReadersRefuseFilesBeyondTheirLimit)
{
    // A 3 GB file used to be read into memory (or end in std::bad_alloc out
    // of readers that never throw); every reader now refuses it at once.
    test::TempDir dir;
    const std::string huge = dir.path() + "/huge";
    makeSparse(huge, off_t(3) << 30);
    std::string bytes = "keep", err;
    EXPECT_FALSE(readFileWhole(huge, &bytes, kReadFileWholeLimit, &err));
    EXPECT_EQ(bytes, "keep");
    EXPECT_NE(err.find("is larger than 268435456 bytes"), std::string::npos) << err;

    // The limit is inclusive.
    const std::string small = dir.path() + "/small";
    makeSparse(small, 100);
    EXPECT_TRUE(readFileWhole(small, &bytes, 100));
    EXPECT_EQ(bytes.size(), 100u);
    EXPECT_FALSE(readFileWhole(small, &bytes, 99, &err));

    struct Reader {
        const char* what;
        off_t size;  // just beyond the reader's limit
        std::function<bool(const std::string&, std::string*)> read;
    };
    const Reader readers[] = {
        {"vocabulary", off_t(kVocabularyFileLimit) + 1,
         [](const std::string& p, std::string* e) {
             Vocabulary v;
             return readVocabularyFile(p, &v, e);
         }},
        {"label file", off_t(kLabelFileLimit) + 1,
         [](const std::string& p, std::string* e) {
             LabelFileContents c;
             return readLabelFile(p, &c, e);
         }},
        {"feature file", off_t(kReadFileWholeLimit) + 1,
         [](const std::string& p, std::string* e) {
             std::vector<float> v;
             return readFeatureFile(p, &v, e);
         }},
        {"statwalk configuration", off_t(1) << 20 | 1,
         [](const std::string& p, std::string* e) {
             StatwalkConfig c;
             return readStatwalkConfig(p, &c, e);
         }},
        {"text file", off_t(kTextFileLimit) + 1,
         [](const std::string& p, std::string* e) {
             TabulaTextFile t;
             *e = "larger than";
             return t.InputFromFile(p) == 0;
         }},
    };
    for (const Reader& r : readers) {
        SCOPED_TRACE(r.what);
        const std::string path = dir.path() + "/r";
        makeSparse(path, r.size);
        err.clear();
        EXPECT_FALSE(r.read(path, &err));
        EXPECT_NE(err.find("larger than"), std::string::npos) << err;
        makeSparse(path, off_t(3) << 30);
        EXPECT_FALSE(r.read(path, &err));
    }
}

TEST(FileNames, FailedWritesLeaveNoTemporaryAndStaleOnesAreRemoved)
{
    test::TempDir dir;
    const std::string f = dir.path() + "/a.voc";
    std::string err;
    ASSERT_TRUE(writeFileWhole(f, "old", &err)) << err;
    {
        // Past the file-size limit: "File too large", the old file kept.
        test::FileSizeLimit limit(1000);
        ASSERT_TRUE(limit.ok());
        EXPECT_FALSE(writeFileWhole(f, std::string(5000, 'x'), &err));
    }
    EXPECT_NE(err.find("File too large"), std::string::npos) << err;
    std::string bytes;
    ASSERT_TRUE(readFileWhole(f, &bytes));
    EXPECT_EQ(bytes, "old");
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), {}), 1);

    // What crashed writers left: temporaries of this user whose process is
    // gone and that are older than this process.  A child that ends at once
    // gives a pid that no longer runs.
    const pid_t child = ::fork();
    if (child == 0)
        ::_exit(0);
    ASSERT_GT(child, 0);
    ::waitpid(child, nullptr, 0);
    const std::string gone = std::to_string(child);
    const std::string other = dir.path() + "/other";
    fs::create_directory(other);
    struct Entry {
        std::string name;
        bool old;
        bool removed;
    };
    const Entry entries[] = {
        {".a.voc.tvtmp-" + gone + "-Ab3xYz", true, true},
        {".s1.lab.tvtmp-" + gone + "-save", true, true},
        {".s1.rec.tvtmp-" + gone + "-prev", true, true},
        {".a.voc.tvtmp-" + gone + "-Ab3xYz2", false, false},                          // newer than this process
        {".a.voc.tvtmp-" + std::to_string(::getpid()) + "-Qw1234", true, false},     // this process's own
        {".a.voc.tvtmp-1-Qw1234", true, false},                                      // a live process (init)
        {".s1.lab.unfinished", true, false},                                         // a marker, no temporary
        {".profile.backup", true, false},
        {"a.voc.tvtmp-" + gone + "-Ab3xYz", true, false},                            // not hidden
    };
    for (const Entry& e : entries) {
        const std::string p = other + "/" + e.name;
        std::ofstream(p) << "x";
        if (e.old) {
            struct utimbuf t{processStartTime() - 60, processStartTime() - 60};
            ASSERT_EQ(::utime(p.c_str(), &t), 0);
        }
    }
    ASSERT_TRUE(writeFileWhole(other + "/b.voc", "new", &err)) << err;
    for (const Entry& e : entries) {
        SCOPED_TRACE(e.name);
        EXPECT_EQ(fs::exists(other + "/" + e.name), !e.removed);
    }
}
