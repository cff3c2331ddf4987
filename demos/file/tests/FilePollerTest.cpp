#include "filedemo/FilePoller.h"

#include <gtest/gtest.h>

#include <chrono>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <functional>
#include <future>
#include <sys/stat.h>
#include <unistd.h>

#include "common/ResultFile.h"
#include "testing/TempDir.h"

using namespace talvor;
using namespace talvor::filedemo;
namespace fs = std::filesystem;

namespace {

void put(const std::string& path, const std::string& bytes)
{
    std::ofstream(path, std::ios::binary) << bytes;
}

}  // namespace

TEST(FileDemo, WatchedNameFromTheArguments)
{
    EXPECT_EQ(watchedFileName({}), "result.txt");
    EXPECT_EQ(watchedFileName({"out.txt"}), "out.txt");
    EXPECT_EQ(watchedFileName({"/tmp/my", "results.txt"}), "/tmp/my results.txt");
    EXPECT_EQ(watchedFileName({"a", "", "b"}), "a  b");
    EXPECT_EQ(displayText("one\r\ntwo\rthree\nfour\r\n"), "one\ntwo\nthree\nfour\n");
}

// One row per kind of thing found under the watched name: what the poll adds
// to the window, and whether the thing is still there afterwards.
TEST(FileDemo, PollTable)
{
    struct Row {
        const char* name;
        std::function<void(const std::string& path)> make;
        std::string added;      // what the first poll adds ("(" = a notice)
        bool leftAlone;
    };
    const std::string big(std::size_t(kMaxResultBytes) + 1, 'x');
    const std::string full(std::size_t(kMaxResultBytes), 'y');
    const std::vector<Row> rows = {
        {"missing", [](const std::string&) {}, "", false},
        {"one word", [](const std::string& p) { ASSERT_TRUE(writeResultFile("", p, "seven")); }, "seven\r\n", false},
        {"a quoted string", [](const std::string& p) { ASSERT_TRUE(writeResultFile("", p, "one two")); },
         "\"one two\"\r\n", false},
        {"several lines", [](const std::string& p) { put(p, "a\r\nb\r\n"); }, "a\r\nb\r\n", false},
        {"empty file", [](const std::string& p) { put(p, ""); }, "", false},
        {"exactly 64 KiB", [&](const std::string& p) { put(p, full); }, full, false},
        {"larger than 64 KiB", [&](const std::string& p) { put(p, big); }, "(", true},
        {"a directory", [](const std::string& p) { fs::create_directory(p); }, "(", true},
        {"a link to a directory",
         [](const std::string& p) {
             fs::create_directory(p + ".d");
             fs::create_directory_symlink(p + ".d", p);
         },
         "(", true},
        {"a named pipe", [](const std::string& p) { ASSERT_EQ(::mkfifo(p.c_str(), 0600), 0); }, "(", true},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        test::TempDir dir;
        const std::string path = dir.path() + "/result.txt";
        row.make(path);
        FilePoller poller(path);
        // A poll never blocks, whatever the name holds.
        auto first = std::async(std::launch::async, [&] { return poller.poll(); });
        if (first.wait_for(std::chrono::seconds(5)) != std::future_status::ready) {
            ADD_FAILURE() << "the poll blocked";
            const int fd = ::open(path.c_str(), O_WRONLY | O_NONBLOCK);  // lets a blocked reader go
            if (fd >= 0)
                ::close(fd);
            first.wait();
            continue;
        }
        const std::string added = first.get();
        if (row.added == "(") {
            EXPECT_EQ(added.rfind('(', 0), 0u) << added;
            EXPECT_NE(added.find("left alone"), std::string::npos) << added;
            EXPECT_EQ(poller.poll(), "") << "the notice is given once";
        } else {
            EXPECT_EQ(added, row.added);
        }
        std::error_code ec;
        EXPECT_EQ(fs::exists(fs::symlink_status(path, ec)), row.leftAlone);
        // Nothing is left behind under the private name.
        EXPECT_FALSE(fs::exists(fs::symlink_status(poller.claimedName(), ec)));
    }
}

TEST(FileDemo, ANoticeComesBackAfterTheNameWasFreed)
{
    test::TempDir dir;
    const std::string path = dir.path() + "/result.txt";
    FilePoller poller(path);
    fs::create_directory(path);
    EXPECT_NE(poller.poll(), "");
    EXPECT_EQ(poller.poll(), "");
    fs::remove(path);
    EXPECT_EQ(poller.poll(), "");
    ASSERT_TRUE(writeResultFile("", path, "two"));
    EXPECT_EQ(poller.poll(), "two\r\n");
    fs::create_directory(path);
    EXPECT_NE(poller.poll(), "");
}

TEST(FileDemo, FindsTheFileWhateverTheCaseOfItsName)
{
    test::TempDir dir;
    put(dir.path() + "/RESULT.TXT", "four\r\n");
    FilePoller poller(dir.path() + "/result.txt");
    EXPECT_EQ(poller.poll(), "four\r\n");
    EXPECT_FALSE(fs::exists(dir.path() + "/RESULT.TXT"));
}

// The recogniser writes its next result while File reads the previous one:
// both reach the window, in order, and nothing is deleted unread.
TEST(FileDemo, AResultWrittenWhileAClaimedFileIsReadIsKept)
{
    test::TempDir dir;
    const std::string path = dir.path() + "/result.txt";
    FilePoller poller(path);
    ASSERT_TRUE(writeResultFile("", path, "one"));
    ASSERT_TRUE(poller.claim());
    EXPECT_FALSE(fs::exists(path));
    ASSERT_TRUE(writeResultFile("", path, "two"));
    std::string shown = poller.readClaimed();
    shown += poller.poll();
    EXPECT_EQ(shown, "one\r\ntwo\r\n");
    EXPECT_FALSE(fs::exists(path));
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator()), 0);
}

TEST(FileDemo, ARelativeNameIsTakenInTheCurrentDirectory)
{
    test::TempDir dir;
    struct InFolder {
        fs::path before = fs::current_path();
        explicit InFolder(const std::string& d) { fs::current_path(d); }
        ~InFolder() { fs::current_path(before); }
    } in(dir.path());
    put("result.txt", "eight\r\n");
    FilePoller poller(watchedFileName({}));
    EXPECT_EQ(poller.poll(), "eight\r\n");
    EXPECT_FALSE(fs::exists("result.txt"));
}
