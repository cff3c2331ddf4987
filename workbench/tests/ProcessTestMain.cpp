// Test main for the tests that start programs: a QApplication, and a private
// per-user runtime folder for this run, so that window captions and the
// single-instance lock of these tests meet no other program of the user
// (nor another test run).  Started programs inherit it.
#include <QApplication>
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

int main(int argc, char** argv)
{
    ::testing::InitGoogleTest(&argc, argv);
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    std::string tmpl = (std::filesystem::temp_directory_path() / "talvor-run-XXXXXX").string();
    std::vector<char> buf(tmpl.begin(), tmpl.end());
    buf.push_back('\0');
    if (!::mkdtemp(buf.data()))
        return 2;
    const std::string runtime = buf.data();  // made with mode 0700
    ::setenv("XDG_RUNTIME_DIR", runtime.c_str(), 1);
    int rc = 0;
    {
        QApplication app(argc, argv);
        rc = RUN_ALL_TESTS();
    }
    std::error_code ec;
    std::filesystem::remove_all(runtime, ec);
    return rc;
}
