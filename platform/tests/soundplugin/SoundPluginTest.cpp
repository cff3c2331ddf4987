// The sanitizer builds' leak suppressions: a leak inside a sound plugin that
// ALSA loaded is suppressed by the file scripts/test uses, and only there:
// the same probe without the file is reported (leak detection stays on).
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <sys/wait.h>

namespace {

int runProbe(const std::string& lsanOptions)
{
    const std::string command = "LSAN_OPTIONS='" + lsanOptions + "' ASAN_OPTIONS=detect_leaks=1 '" +
                                TALVOR_PLUGIN_PROBE + "' '" + TALVOR_PLUGIN + "' >/dev/null 2>&1";
    const int status = std::system(command.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

}  // namespace

TEST(SoundPluginLeaks, SuppressedByTheSoundLibrariesNamesOnly)
{
#ifndef TALVOR_SANITIZED
    GTEST_SKIP() << "leak detection runs in the sanitizer build (TALVOR_SANITIZE=1)";
#else
    const std::string suppressions =
        std::string(std::getenv("TALVOR_SOURCE_DIR")) + "/scripts/lsan-suppressions.txt";
    EXPECT_EQ(runProbe("suppressions=" + suppressions), 0) << "a plugin's leak was reported";
    EXPECT_NE(runProbe(""), 0) << "the plugin's leak is not seen at all: the test proves nothing";
#endif
}
