// The demo tree's word-string recording (data/DATA/digits/_strings/us1str)
// decoded by the viewer in "STRINGS: Pick & Match (HMM)" with the demo's
// trained work directory "models", as a newcomer reaches it.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include "ViewerFixture.h"

namespace talvor::hmmview {
namespace {

namespace fs = std::filesystem;

TEST(DemoStrings, TheStringModeDecodesTheDemoStrings)
{
    const char* source = std::getenv("TALVOR_SOURCE_DIR");
    ASSERT_NE(source, nullptr);
    talvor::test::TempDir dir;
    fs::copy(fs::path(source) / "data" / "DATA", fs::path(dir.path()) / "DATA", fs::copy_options::recursive);
    testing::FakeClock clock;
    testing::FakePump pump{clock};
    ChainviewModel viewer(clock, pump);
    viewer.SetAppPath(dir.path());
    ASSERT_TRUE(viewer.LoadMode(ModeStringsPickMatchHmm, "digits", "", "us1str", "models"));
    const std::vector<std::string> strings = {"one_two_three", "four_five", "six_seven_eight", "nine_zero",
                                              "two_nine"};
    ASSERT_EQ(viewer.words(), strings);
    ASSERT_EQ(viewer.modelCount(), 10);
    int right = 0;
    std::string heard;
    for (int k = 0; k < static_cast<int>(strings.size()); ++k) {
        viewer.cmboWords_Click(k);
        viewer.MATCH(0);
        const std::string& line = viewer.reportLines().front();
        heard += line + "\n";
        right += line == kReportRecognizedString + strings[static_cast<std::size_t>(k)] ? 1 : 0;
    }
    // Synthetic speech of the voice the models were trained on: every string.
    EXPECT_EQ(right, 5) << heard;
}

}  // namespace
}  // namespace talvor::hmmview
