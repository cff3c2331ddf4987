// The DTW comparer's procedures without a window: configuring, loading,
// pick and match, speak and recognise, Match with its animation, and the
// refusals that must change nothing.
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <memory>

#include "DtwTree.h"
#include "timewarp/DtwSession.h"

using namespace talvor;
using namespace talvor::timewarp;
using talvor::timewarp::test::DtwTree;

namespace {

class Session : public testing::Test {
public:
    void SetUp() override
    {
        m_state = std::make_unique<DtwComparerState>();
        InitDtwDefaults(*m_state);
        m_state->appPath = m_tree.app();
        m_session = std::make_unique<DtwSession>(*m_state, m_module);
    }

    DtwComparerState& state() { return *m_state; }
    DtwSession& session() { return *m_session; }
    DtwWordStore& store() { return m_state->store; }

    ControlResult loadMode(int mode, const std::string& source = "test",
                           std::vector<std::string> refs = {"refa", "refb"})
    {
        const auto flags = DtwTree::flags();
        return session().LoadMode(mode, "digits", "dtw1", DtwTree::kFeat, flags, refs, source);
    }

    // LoadMode and LoadDTW; true when the window would now be shown modally.
    bool load(int mode, const std::string& source = "test")
    {
        EXPECT_TRUE(loadMode(mode, source).ok);
        bool modal = false;
        EXPECT_TRUE(session().LoadDTW(&modal).ok);
        return modal;
    }

    // Runs the timer until the animation ends; the number of ticks.
    int runAnimation()
    {
        int ticks = 0;
        while (session().animationState() == AnimationState::Animating && ticks < 1000) {
            session().timerTick();
            ++ticks;
        }
        return ticks;
    }

    static bool blank(const Canvas& c)
    {
        for (std::uint32_t p : c.pixels())
            if (p != c.background())
                return false;
        return c.texts().empty();
    }

    DtwTree m_tree;
    ModuleState m_module;
    std::unique_ptr<DtwComparerState> m_state;
    std::unique_ptr<DtwSession> m_session;
};

TEST_F(Session, LoadModeTakesTheFeatureFlags)
{
    ASSERT_TRUE(loadMode(6).ok);
    // Features 1..8 and 17 stored: the tracks show feature 17, the ninth stored.
    EXPECT_EQ(state().displayedFeature, 17);
    EXPECT_EQ(state().displayedPosition, 9);
    EXPECT_EQ(state().featureFlags, "11111111000000001000");
    EXPECT_EQ(store().nFeat(), 9);
    std::array<bool, 20> sF{};
    sF.fill(true);
    ASSERT_TRUE(session().GetSelectedFeature(sF).ok);
    for (int k = 0; k < 20; ++k)
        EXPECT_EQ(sF[std::size_t(k)], k < 8 || k == 16) << k;
    std::array<bool, 19> tooFew{};
    EXPECT_FALSE(session().GetSelectedFeature(tooFew).ok);
    EXPECT_EQ(state().vocabulary[3], "three");
    EXPECT_EQ(state().referenceSetCount, 2);
    EXPECT_EQ(state().referenceNames[2], "refb");
}

TEST_F(Session, RefusedConfigurationsChangeNothing)
{
    ASSERT_TRUE(loadMode(6).ok);
    const auto flags = DtwTree::flags();
    std::vector<std::int16_t> nineteen(flags.begin(), flags.end() - 1);
    std::vector<std::int16_t> tenSet = flags;
    tenSet[19] = 1;
    struct Row {
        const char* why;
        int mode;
        std::string voc;
        int nFeat;
        std::vector<std::int16_t> chk;
        std::vector<std::string> refs;
    };
    const std::vector<std::string> two{"refa", "refb"};
    const std::vector<Row> rows = {
        {"mode -1", -1, "digits", 9, flags, two},
        {"mode 14", 14, "digits", 9, flags, two},
        {"19 flags", 2, "digits", 9, nineteen, two},
        {"nFeat 21", 2, "digits", 21, flags, two},
        {"nFeat -1", 2, "digits", -1, flags, two},
        {"nFeat unlike the flags", 2, "digits", 9, tenSet, two},
        {"six reference sets", 2, "digits", 9, flags, {"a", "b", "c", "d", "e", "f"}},
        {"no such vocabulary", 2, "letters", 9, flags, two},
        {"a vocabulary leaving the tree", 2, "..", 9, flags, two},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.why);
        const ControlResult res = session().LoadMode(r.mode, r.voc, "other", r.nFeat, r.chk, r.refs, "y");
        EXPECT_FALSE(res.ok);
        EXPECT_FALSE(res.error.empty());
        EXPECT_EQ(state().mode, 6);
        EXPECT_EQ(state().vocabularyName, "digits");
        EXPECT_EQ(state().workDirectoryName, "dtw1");
        EXPECT_EQ(state().sourceName, "test");
        EXPECT_EQ(store().nFeat(), 9);
        EXPECT_EQ(state().featureFlags, "11111111000000001000");
        EXPECT_EQ(state().referenceSetCount, 2);
    }
}

TEST_F(Session, ModalLoadMatchesTheFirstWordWithItsBestReference)
{
    EXPECT_TRUE(load(2));
    EXPECT_EQ(store().testWordCount, 5);
    EXPECT_EQ(store().referenceTotal, 10);
    EXPECT_EQ(store().currentTestWord, 1);
    EXPECT_EQ(store().reference(store().currentReference).label, 0);  // "zero" nearest "zero"
    EXPECT_TRUE(session().pairValid());
    const std::string set = state().referenceNames[std::size_t(state().currentReferenceSet)];
    EXPECT_EQ(session().labels().statusLine,
              " Press MATCH to perform a DTW match between \"zero (test)\" and \"zero (" + set + ").\"");
    EXPECT_EQ(session().labels().testName, "zero");
    EXPECT_EQ(session().labels().testFrames, "40");
    EXPECT_EQ(session().labels().featName[0], "dene");
    EXPECT_EQ(m_module.ModeNames(2), "DTW Matching");
    EXPECT_EQ(session().windowCaption(), "Warpscope in mode: DTW Matching");

    // A second LoadDTW reads the same work folder again.
    bool modal = false;
    ASSERT_TRUE(session().LoadDTW(&modal).ok);
    EXPECT_EQ(store().referenceTotal, 10);
    EXPECT_EQ(session().labels().statusLine.find("could not"), std::string::npos);
}

TEST_F(Session, PickAndMatchLoadsWithoutShowingAndAnEmptySourceReadsX)
{
    EXPECT_FALSE(load(6));
    EXPECT_EQ(store().currentTestWord, 1);
    EXPECT_FALSE(session().refValid());  // the host matches with SetPMword

    m_tree.writeToken(4, 50);
    EXPECT_TRUE(load(2, ""));
    EXPECT_EQ(state().sourceName, "x");
    EXPECT_EQ(store().testWordCount, 1);
    EXPECT_EQ(store().testWord(1).label, 4);
}

TEST_F(Session, LoadFailuresAreAbsorbedAndShownInTheStatusLine)
{
    std::filesystem::remove(m_tree.work() + "/refb.pr");
    ASSERT_TRUE(loadMode(6).ok);
    bool modal = true;
    EXPECT_TRUE(session().LoadDTW(&modal).ok);
    EXPECT_FALSE(modal);
    EXPECT_EQ(session().labels().statusLine.rfind(" The word sets could not be loaded: ", 0), 0u)
        << session().labels().statusLine;
}

TEST_F(Session, MoreThanFiveHundredReferencesFailLoadDtwWithNothingLoaded)
{
    // Sets of 100 words each: 500 in all still load; one word more fails
    // the call, also when the sets are spread over five files.
    auto setOf = [](int n) {
        std::vector<std::pair<int, int>> words;
        for (int k = 0; k < n; ++k)
            words.push_back({k % 5, 20});
        return words;
    };
    for (int s = 1; s <= 5; ++s)
        m_tree.writeSet("big" + std::to_string(s), s, setOf(100));
    const std::vector<std::string> five{"big1", "big2", "big3", "big4", "big5"};
    ASSERT_TRUE(loadMode(8, "x", five).ok);
    bool modal = false;
    ASSERT_TRUE(session().LoadDTW(&modal).ok);
    EXPECT_EQ(store().referenceTotal, 500);

    const struct {
        const char* what;
        std::vector<std::string> refs;
        int words;  // big5 rewritten with this many
        const char* total;
    } rows[] = {
        {"five sets, 501 in all", five, 101, "501"},
        {"one set of 2000", {"big5"}, 2000, "2000"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        ASSERT_TRUE(loadMode(2, "test").ok);
        ASSERT_TRUE(session().LoadDTW(&modal).ok);
        ASSERT_EQ(store().referenceTotal, 10);
        m_tree.writeSet("big5", 5, setOf(row.words));
        ASSERT_TRUE(loadMode(8, "x", row.refs).ok);
        const ControlResult r = session().LoadDTW(&modal);
        EXPECT_FALSE(r.ok);
        EXPECT_EQ(r.error, std::string("The reference files make ") + row.total +
                               " references; the DTW comparer takes at most 500.");
        EXPECT_NE(session().labels().statusLine.find(r.error), std::string::npos);
        // Nothing of the refused sets was loaded.
        EXPECT_EQ(store().referenceTotal, 10);
    }
}

TEST_F(Session, SetPMwordWrapsAndRefusesWithoutTestWords)
{
    ASSERT_TRUE(loadMode(8).ok);
    bool modal;
    ASSERT_TRUE(session().LoadDTW(&modal).ok);
    EXPECT_FALSE(session().SetPMword(0).ok);
    EXPECT_EQ(store().currentTestWord, 0);

    load(6);
    for (int i : {-5, 5, 1000, 2147483647}) {
        ASSERT_TRUE(session().SetPMword(2).ok);
        ASSERT_EQ(store().currentTestWord, 3);
        ASSERT_TRUE(session().SetPMword(i).ok);
        EXPECT_EQ(store().currentTestWord, 1) << i;
    }
    ASSERT_TRUE(session().SetPMword(3).ok);
    EXPECT_EQ(store().currentTestWord, 4);
    EXPECT_EQ(store().reference(store().currentReference).label, 3);
    EXPECT_TRUE(session().pairValid());
}

TEST_F(Session, SpeakAndRecognise)
{
    // An earlier run's test words must not show in mode 8.
    load(2);
    ASSERT_EQ(store().testWordCount, 5);
    load(8, "");
    EXPECT_EQ(store().testWordCount, 0);
    EXPECT_FALSE(session().testValid());
    EXPECT_EQ(session().labels().statusLine,
              " Press MATCH to perform a DTW match between \"recorded word\" and \" ().\"");

    m_tree.writeToken(3, 57);
    std::int32_t word = 99;
    ASSERT_TRUE(session().GetRecogWord(word).ok);
    EXPECT_EQ(word, 3);
    EXPECT_EQ(store().reference(store().currentReference).label, 3);
    EXPECT_EQ(session().labels().testName, "RECORDING");
    EXPECT_NE(session().labels().statusLine.find("\"recorded word\" and \"three ("), std::string::npos)
        << session().labels().statusLine;

    // The token gone or corrupt: failure, -1, and the last recognition intact.
    const WordRecord before = store().testWord(1);
    const int reference = store().currentReference;
    for (const char* damage : {"missing", "corrupt"}) {
        SCOPED_TRACE(damage);
        std::filesystem::remove(m_tree.work() + "/x.lb");
        if (std::string(damage) == "corrupt")
            std::ofstream(m_tree.work() + "/x.lb", std::ios::binary) << " 1 \r\n 0 3 abc 0 \r\n";
        word = 99;
        const ControlResult r = session().GetRecogWord(word);
        EXPECT_FALSE(r.ok);
        EXPECT_EQ(word, -1);
        EXPECT_EQ(store().testWord(1), before);
        EXPECT_EQ(store().currentReference, reference);
        EXPECT_EQ(store().N, 57);
    }
}

TEST_F(Session, NoReferenceBelowTheForbiddenScoreKeepsTheCurrentOne)
{
    load(8, "");
    m_tree.writeToken(2, 30);
    std::int32_t word = -1;
    ASSERT_TRUE(session().GetRecogWord(word).ok);
    ASSERT_EQ(word, 2);
    const int reference = store().currentReference;
    // Under Itakura a token more than twice as long as every reference.
    store().method = kMethodItakura;
    m_tree.writeToken(1, 140);
    word = 99;
    EXPECT_TRUE(session().GetRecogWord(word).ok);
    EXPECT_EQ(word, -1);
    EXPECT_EQ(store().currentReference, reference);
    EXPECT_EQ(store().testWord(1).frames, 140);
    EXPECT_NE(session().labels().statusLine.find("No reference"), std::string::npos);
}

TEST_F(Session, MatchAnimatesThePathToTheEnd)
{
    load(6);
    ASSERT_TRUE(session().SetPMword(1).ok);
    for (char method : {kMethodGeneral, kMethodItakura, kMethodLinear}) {
        for (char style : {kPlotFlat, kPlotMap, kPlot3D}) {
            SCOPED_TRACE(testing::Message() << method << " " << style);
            store().method = method;
            state().plotStyle = style;
            session().cmdMatch();
            ASSERT_EQ(session().animationState(), AnimationState::Animating);
            EXPECT_EQ(session().labels().dtwCaption, methodTitle(method));
            EXPECT_EQ(store().trace.testWord, 2);
            EXPECT_EQ(store().trace.reference, store().currentReference);
            const int steps = store().trace.steps;
            EXPECT_EQ(steps, method == kMethodGeneral ? store().trace.pathLength : store().N);
            const int ticks = runAnimation();
            EXPECT_EQ(ticks, steps - 1);
            EXPECT_EQ(session().animationState(), AnimationState::Idle);
            EXPECT_EQ(session().labels().warpTestFrames, std::to_string(steps));
            EXPECT_EQ(session().labels().distance, distanceText(session().replay().accumulated()));
            EXPECT_NEAR(session().replay().accumulated(), store().trace.pairDistance, 1e-4);
            EXPECT_FALSE(blank(session().pictures().bar));
            EXPECT_FALSE(blank(session().pictures().dist));
            // The path shows on the plot.
            const auto& px = session().pictures().dtw.pixels();
            const auto red = std::count(px.begin(), px.end(), kColorLightRed);
            int visible = 0;
            for (int k = 1; k <= steps; ++k)
                visible += session().projectedPath().visible[std::size_t(k)];
            EXPECT_GE(red, style == kPlot3D ? visible : steps);
            if (style == kPlot3D) {
                EXPECT_GT(visible, steps / 2);
            }
        }
    }
}

TEST_F(Session, PauseStepAndContinue)
{
    load(6);
    ASSERT_TRUE(session().SetPMword(0).ok);
    store().method = kMethodLinear;
    session().cmdMatch();
    session().timerTick();
    session().cmdPause();
    ASSERT_EQ(session().animationState(), AnimationState::Paused);
    EXPECT_EQ(session().replay().next(), 3);
    session().timerTick();  // the timer is off while paused
    EXPECT_EQ(session().replay().next(), 3);
    session().cmdForward();
    EXPECT_EQ(session().replay().next(), 4);
    EXPECT_EQ(session().labels().warpRefFrames, "3");
    session().cmdContinue();
    EXPECT_EQ(session().animationState(), AnimationState::Animating);
    session().cmdPause();
    while (!session().replay().finished())
        session().cmdForward();
    EXPECT_EQ(session().animationState(), AnimationState::Paused);
    session().cmdForward();  // after the last point: idle again
    EXPECT_EQ(session().animationState(), AnimationState::Idle);
    EXPECT_TRUE(session().enables().match);
    EXPECT_TRUE(session().enables().menus);
}

TEST_F(Session, RefusedMatchesDrawNoPathAndReturnToIdle)
{
    load(6);
    // Test word "two" (30 frames) against the longest reference, "three" of
    // refb (66 frames).
    ASSERT_TRUE(session().SetPMword(2).ok);
    store().currentReference = 9;
    ASSERT_TRUE(session().Reference());
    ASSERT_EQ(store().M, 66);
    struct Row {
        char method;
        int range;
        const char* text;
    };
    // The band of range 0 is the diagonal alone, which cannot climb 66
    // reference frames in 30 test frames.
    const Row rows[] = {{kMethodItakura, 10, kItakuraRefused}, {kMethodGeneral, 0, kBandRefused}};
    for (const Row& r : rows) {
        SCOPED_TRACE(r.method);
        store().method = r.method;
        store().bandRange = std::int16_t(r.range);
        session().cmdMatch();
        EXPECT_EQ(float(store().trace.pairDistance), kForbidden);
        EXPECT_EQ(session().animationState(), AnimationState::Idle);
        EXPECT_TRUE(session().enables().match);
        EXPECT_TRUE(session().enables().save);
        ASSERT_FALSE(session().pictures().dtw.texts().empty());
        EXPECT_EQ(session().pictures().dtw.texts().back().text, r.text);
        EXPECT_TRUE(blank(session().pictures().bar));
        EXPECT_TRUE(blank(session().pictures().testWarp));
        EXPECT_EQ(session().replay().steps(), 0);
        EXPECT_EQ(session().labels().distance, "");
    }
}

TEST_F(Session, MatchWithoutAValidPairSaysWhyAndDrawsNothing)
{
    load(6);  // test word 1, no reference chosen yet
    session().cmdMatch();
    EXPECT_EQ(session().animationState(), AnimationState::Idle);
    EXPECT_TRUE(blank(session().pictures().dtw));
    EXPECT_NE(session().labels().statusLine.find("no reference"), std::string::npos);

    load(8, "");  // no test word before the first recognition
    session().cmdMatch();
    EXPECT_TRUE(blank(session().pictures().dtw));
    EXPECT_NE(session().labels().statusLine.find("no test word"), std::string::npos);
}

TEST_F(Session, NavigationAndTheHostStopARunningAnimation)
{
    load(6);
    m_tree.writeToken(1, 50);
    struct Row {
        const char* what;
        std::function<void(DtwSession&)> act;
    };
    const std::vector<Row> rows = {
        {"Reference", [](DtwSession& s) { s.Reference(); }},
        {"NextWord", [](DtwSession& s) { s.NextWord(); }},
        {"SetPMword", [](DtwSession& s) { s.SetPMword(1); }},
        {"GetRecogWord", [](DtwSession& s) { std::int32_t w; s.GetRecogWord(w); }},
        {"hiding", [](DtwSession& s) { s.stopAnimation(); }},
        {"reloading the window", [](DtwSession& s) { s.FormLoad(); }},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.what);
        load(6);
        ASSERT_TRUE(session().SetPMword(0).ok);
        session().cmdMatch();
        session().timerTick();
        ASSERT_EQ(session().animationState(), AnimationState::Animating);
        r.act(session());
        EXPECT_EQ(session().animationState(), AnimationState::Idle);
        EXPECT_FALSE(session().enables().timer);
        const int next = session().replay().next();
        session().timerTick();
        EXPECT_EQ(session().replay().next(), next);
    }
}

TEST_F(Session, NextWordSteppingAndModeEight)
{
    load(2);
    session().cmdNextWord();
    EXPECT_EQ(store().currentTestWord, 2);
    EXPECT_EQ(store().reference(store().currentReference).label, 1);
    for (int k = 0; k < 4; ++k)
        session().cmdNextWord();
    EXPECT_EQ(store().currentTestWord, 1);  // after the last, the first

    load(8, "");
    m_tree.writeToken(2, 33);
    std::int32_t word;
    ASSERT_TRUE(session().GetRecogWord(word).ok);
    session().cmdNextWord();  // does nothing in mode 8
    EXPECT_EQ(store().currentTestWord, 1);
    EXPECT_EQ(session().labels().testName, "RECORDING");
}

TEST_F(Session, WindowReloadShowsTheCurrentMethodAndTheModesSpeakButton)
{
    struct Row {
        int mode;
        const char* caption;
        DtwSession::SpeakAction action;
    };
    const Row rows[] = {{2, "&TALVOR", DtwSession::SpeakAction::AskThenHide},
                        {6, "&Signal", DtwSession::SpeakAction::Hide},
                        {8, "&Signal", DtwSession::SpeakAction::Hide},
                        {1, "&TALVOR", DtwSession::SpeakAction::Nothing}};
    for (const Row& r : rows) {
        ASSERT_TRUE(loadMode(r.mode).ok);
        session().FormLoad();
        EXPECT_EQ(session().labels().speakCaption, r.caption) << r.mode;
        EXPECT_EQ(session().cmdSpeak(), r.action) << r.mode;
    }
    store().method = kMethodLinear;
    session().FormLoad();
    EXPECT_EQ(session().labels().dtwCaption, "Linear Time Warping");
}

TEST_F(Session, FlexibleRangeFollowsThePair)
{
    load(6);
    ASSERT_TRUE(session().SetPMword(3).ok);  // "three": 62 frames
    store().currentReference = 4;            // "three" of refa: 60 frames
    ASSERT_TRUE(session().Reference());
    session().flexibleRange = true;
    store().method = kMethodGeneral;
    session().cmdMatch();
    EXPECT_EQ(store().bandRange, 12);  // round(0.2 sqrt(62 * 60)) = round(12.197)
    EXPECT_EQ(store().trace.range, 12);
}

TEST(DtwSessionText, DistanceAndVersionText)
{
    struct Row {
        double v;
        const char* text;
    };
    const Row rows[] = {{0.0, "0.0"}, {3.0, "3.0"}, {12.5, "12.5"}, {12.25, "12.25"}, {1234.75, "1234.75"},
                        {0.004, "0.0"}, {99.999, "100.0"}, {7.3, "7.3"}};
    for (const Row& r : rows)
        EXPECT_EQ(distanceText(r.v), r.text) << r.v;
    // The forbidden distance is written out in full, without overflow.
    const std::string forbidden = distanceText(1e35);
    EXPECT_EQ(forbidden.size(), 37u) << forbidden;  // 35 digits, ".0"
    EXPECT_EQ(forbidden.substr(forbidden.size() - 2), ".0");
    EXPECT_EQ(versionText(1, 0, 5), "1.0.5");
    EXPECT_EQ(versionText(kVersionMajor, kVersionMinor, kRevision), "1.0.5");
}

}  // namespace
