#include "common/ModuleState.h"

#include <gtest/gtest.h>

using talvor::CountSubstrings;
using talvor::ModuleState;

extern "C" void stateUserSetAppPath_a(const char*);
extern "C" void stateUserSetAppPath_b(const char*);
extern "C" const char* stateUserAppPath_a();
extern "C" const char* stateUserAppPath_b();
extern "C" const char* stateUserModeName_a(int);
extern "C" const char* stateUserModeName_b(int);

TEST(ModeNames, TableLetterForLetter)
{
    ModuleState s;
    EXPECT_EQ(s.ModeNames(0), "");  // empty until InitModeNames
    s.InitModeNames();
    const char* expected[] = {
        "Speech Recording", "Signal Exploring", "DTW Matching", "HMM Training", "HMM Matching",
        "Pick & Match (HMM)", "Pick & Match (DTW)", "Speak & Recognize (HMM)", "Speak & Recognize (DTW)",
        "Database Maintanence", "STRINGS: Pick & Match (HMM)", "HMM sequential  and parallel recognition",
        "STRINGS: Speak & Recognize (HMM)", "Talvor's runtime",
    };
    for (int i = 0; i < 14; ++i)
        EXPECT_EQ(s.ModeNames(i), expected[i]) << i;
    for (int i : {14, 20, 21, -1, 1000})
        EXPECT_EQ(s.ModeNames(i), "") << i;
    EXPECT_EQ(s.caption(talvor::kCaptionStatwalk, 3), "Statwalk in mode: HMM Training");
    EXPECT_EQ(s.caption(talvor::kCaptionWavescope, 11), "Wavescope in mode: HMM sequential  and parallel recognition");
    EXPECT_STREQ(talvor::kCaptionSetup, "Talvor Setup");
    EXPECT_STREQ(talvor::kCaptionWarpscope, "Warpscope in mode: ");
    EXPECT_STREQ(talvor::kCaptionChainview, "Chainview in mode: ");
}

TEST(RunTimeSettings, EmptyAtLoadDefaultsAndHandOver)
{
    ModuleState s;
    EXPECT_EQ(s.runTime.RTmode, 0);
    EXPECT_EQ(s.runTime.RTfile, "");
    EXPECT_EQ(s.runTime.RTmsg, 0);

    const auto d = talvor::defaultRunTimeSettings();
    EXPECT_EQ(d.RTfile, "result.txt");
    EXPECT_EQ(d.RTwCapt, "TALVOR recog");
    EXPECT_EQ(d.RTmsg, 1025);
    EXPECT_EQ(d.RTwPar, 0);
    EXPECT_EQ(d.RTip, "127.0.0.1");
    EXPECT_EQ(d.RTport, 11111);

    s.runTime.RTcount = 17;
    s.SetRunTimeMode(2, "r.txt", "Relay", 1030, 100, "10.0.0.1", 5000, 1, 1);
    EXPECT_EQ(s.runTime.RTcount, 0);
    EXPECT_EQ(s.runTime.RTmode, 2);
    EXPECT_EQ(s.runTime.RTfile, "r.txt");
    EXPECT_EQ(s.runTime.RTwCapt, "Relay");
    EXPECT_EQ(s.runTime.RTmsg, 1030);
    EXPECT_EQ(s.runTime.RTwPar, 100);
    EXPECT_EQ(s.runTime.RTip, "10.0.0.1");
    EXPECT_EQ(s.runTime.RTport, 5000);
    EXPECT_EQ(s.runTime.RThide, 1);
    EXPECT_EQ(s.runTime.RTResultList, 1);
}

TEST(CountSubstrings, Table)
{
    struct Case {
        std::string text, pattern;
        int expected;
    };
    const Case cases[] = {
        {"one_two_three", "_", 2}, {"", "_", 0}, {"abc", "", -1}, {"", "", -1},
        {"aaa", "aa", 2},  // overlapping occurrences count
        {"no joint", "_", 0}, {"__", "_", 2}, {"ab", "abc", 0},
    };
    for (const auto& c : cases)
        EXPECT_EQ(CountSubstrings(c.text, c.pattern), c.expected) << c.text << " / " << c.pattern;
}

TEST(ModuleStateIsolation, TwoLibrariesKeepTheirOwnState)
{
    stateUserSetAppPath_a("/opt/one");
    EXPECT_STREQ(stateUserAppPath_a(), "/opt/one");
    EXPECT_STREQ(stateUserAppPath_b(), "");  // b never set it
    EXPECT_STREQ(stateUserModeName_b(2), ""); // nor initialised its names
    stateUserSetAppPath_b("/opt/two");
    EXPECT_STREQ(stateUserAppPath_a(), "/opt/one");
    EXPECT_STREQ(stateUserAppPath_b(), "/opt/two");
    EXPECT_STREQ(stateUserModeName_a(2), "DTW Matching");
    // The test program's own copy is a third one.
    EXPECT_EQ(talvor::moduleState().AppPath, "");
}
