// A main() for test programs that use the platform layer: a QApplication
// (offscreen when no platform is set, as during test discovery) so that event
// loops, timers, windows and dialogs work, then every GoogleTest case.
// Windows register in a runtime folder of this test run only
// (XDG_RUNTIME_DIR points at a temporary folder), so parallel test programs
// and real programs of the same user never see each other's captions.
// Link the target platform_test_main to use it.
#include <QApplication>
#include <gtest/gtest.h>

#include <cstdlib>

#include "testing/TempDir.h"

int main(int argc, char** argv)
{
    ::testing::InitGoogleTest(&argc, argv);
    // Test discovery runs this program without the test environment.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    talvor::test::TempDir runtime;
    ::setenv("XDG_RUNTIME_DIR", runtime.path().c_str(), 1);
    QApplication app(argc, argv);
    return RUN_ALL_TESTS();
}
