#include "filedemo/FileWindow.h"

#include <gtest/gtest.h>

#include <QPlainTextEdit>
#include <filesystem>

#include "common/ResultFile.h"
#include "testing/EventLoop.h"
#include "testing/TempDir.h"

using namespace talvor;
using namespace talvor::filedemo;

TEST(FileWindow, ShowsEachResultOnItsOwnLineAsItsTimerPolls)
{
    test::TempDir dir;
    const std::string path = dir.path() + "/result.txt";
    FileWindow window(path);
    EXPECT_EQ(window.windowTitle(), QStringLiteral("Talvor DEMO file"));
    ASSERT_TRUE(writeResultFile("", path, "three"));
    ASSERT_TRUE(test::serveEventsUntil([&] { return !std::filesystem::exists(path); }, 5000));
    ASSERT_TRUE(writeResultFile("", path, "one two"));
    ASSERT_TRUE(test::serveEventsUntil([&] { return !std::filesystem::exists(path); }, 5000));
    EXPECT_EQ(window.textBox()->toPlainText(), QStringLiteral("three\n\"one two\"\n"));
}
