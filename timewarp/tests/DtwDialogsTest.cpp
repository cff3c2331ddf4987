// The DTW window's dialogs without Qt: ranking references, the reference
// selection's ways and spin buttons, score text, the plot angles, the band
// range, the method and feature choices.
#include <cmath>
#include <fstream>
#include <gtest/gtest.h>
#include <limits>
#include <memory>

#include "DtwTree.h"
#include "timewarp/DtwDialogs.h"

using namespace talvor;
using namespace talvor::timewarp;
using talvor::timewarp::test::DtwTree;

namespace {

// A store with references of the given labels and batch scores.
std::unique_ptr<DtwWordStore> scored(const std::vector<int>& labels, const std::vector<float>& scores)
{
    auto s = std::make_unique<DtwWordStore>();
    s->setNFeat(1);
    for (std::size_t k = 0; k < labels.size(); ++k) {
        const float v = 0.0f;
        EXPECT_TRUE(s->storeReference(int(k) + 1, {1, std::int16_t(k), std::int16_t(labels[k]), 1}, {&v, 1}));
        s->batch[k + 1].score = scores[k];
    }
    s->referenceTotal = std::int16_t(labels.size());
    return s;
}

TEST(DtwDialogs, RankingByScore)
{
    const float nan = std::numeric_limits<float>::quiet_NaN();
    struct Row {
        const char* name;
        std::vector<float> scores;
        std::vector<int> order;
    };
    const std::vector<Row> rows = {
        {"equal scores keep load order", {2.0f, 1.0f, 1.0f}, {2, 3, 1}},
        {"forbidden last", {kForbidden, 3.0f, kForbidden, 0.5f}, {4, 2, 1, 3}},
        {"all forbidden", {kForbidden, kForbidden}, {1, 2}},
        {"not a number at the end", {nan, 2.0f, 1.0f}, {3, 2, 1}},
        {"one", {4.0f}, {1}},
        {"none", {}, {}},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        auto store = scored(std::vector<int>(r.scores.size(), 0), r.scores);
        EXPECT_EQ(RankReferences(*store, 0).order, r.order);
    }
}

TEST(DtwDialogs, TrueListHoldsEveryReferenceOfTheLabelInScoreOrder)
{
    // Seven references of label 3 among others: all seven, best first.
    const std::vector<int> labels = {3, 1, 3, 3, 2, 3, 3, 3, 0, 3};
    const std::vector<float> scores = {9, 1, 8, 7, 2, 6, 5, 4, 3, 0.5f};
    auto store = scored(labels, scores);
    const ReferenceRanking ranking = RankReferences(*store, 3);
    EXPECT_EQ(ranking.trueList, (std::vector<int>{10, 8, 7, 6, 4, 3, 1}));
    EXPECT_EQ(ranking.order.front(), 10);
    EXPECT_TRUE(RankReferences(*store, 4).trueList.empty());
    EXPECT_TRUE(RankReferences(*store, -1).trueList.empty());
}

TEST(DtwDialogs, ScoreText)
{
    struct Row {
        float score;
        const char* text;
    };
    const Row rows[] = {{0.0f, "0.00"}, {12.0f, "12.00"}, {12.345f, "12.35"}, {0.5f, "0.50"}, {123456.0f, "123456.00"}};
    for (const Row& r : rows)
        EXPECT_EQ(scoreText(r.score), r.text) << r.score;
    const std::string forbidden = scoreText(kForbidden);
    EXPECT_EQ(forbidden.size(), 39u) << forbidden;  // 36 digits, ".00"
    EXPECT_EQ(forbidden.substr(0, 3), "100");
    EXPECT_EQ(forbidden.substr(forbidden.size() - 3), ".00");
}

TEST(DtwDialogs, FlexibleRangeAndFeaturePosition)
{
    struct Range {
        int N, M;
        int range;
    };
    const Range ranges[] = {{62, 60, 12}, {10, 10, 2}, {25, 25, 5}, {200, 200, 40}, {1, 1, 0}, {200, 1, 3}, {181, 182, 36}};
    for (const Range& r : ranges)
        EXPECT_EQ(flexibleBandRange(r.N, r.M), r.range) << r.N << " x " << r.M;

    const std::string flags = "11111111000000001000";  // features 1..8 and 17
    struct Position {
        int feature, position;
    };
    const Position positions[] = {{1, 1}, {3, 3}, {8, 8}, {12, 8}, {17, 9}, {20, 9}};
    for (const Position& p : positions)
        EXPECT_EQ(featurePosition(flags, p.feature), p.position) << p.feature;
    EXPECT_EQ(featurePosition("00000000000000000000", 5), 1);
    EXPECT_EQ(featurePosition("00001", 5), 1);
    EXPECT_EQ(featurePosition("", 5), 1);
}

TEST(DtwDialogs, PlotAnglesStayInTheirRanges)
{
    DtwComparerState state;
    InitDtwDefaults(state);
    PlotOptions plot(state);
    EXPECT_EQ(plot.style(), kPlotFlat);
    EXPECT_FALSE(plot.anglesEnabled());
    plot.opt3D_Click();
    EXPECT_TRUE(plot.anglesEnabled());
    plot.optMap_Click();
    EXPECT_EQ(state.plotStyle, kPlotMap);
    EXPECT_FALSE(plot.anglesEnabled());

    EXPECT_EQ(plot.rotation(), 30);
    EXPECT_EQ(plot.elevation(), 75);
    for (int k = 0; k < 12; ++k)
        plot.spiRotDown();
    EXPECT_EQ(plot.rotation(), 0);
    plot.spiRotUp();
    EXPECT_EQ(plot.rotation(), 5);
    for (int k = 0; k < 12; ++k)
        plot.spiRotUp();
    EXPECT_EQ(plot.rotation(), 45);
    plot.spiElevUp();
    plot.spiElevUp();
    plot.spiElevUp();
    EXPECT_EQ(plot.elevation(), 85);
    for (int k = 0; k < 20; ++k)
        plot.spiElevDown();
    EXPECT_EQ(plot.elevation(), 5);
    EXPECT_EQ(state.rotation, 45);
    EXPECT_EQ(state.elevation, 5);
}

class Dialogs : public testing::Test {
public:
    void SetUp() override
    {
        m_state = std::make_unique<DtwComparerState>();
        InitDtwDefaults(*m_state);
        m_state->appPath = m_tree.app();
        m_session = std::make_unique<DtwSession>(*m_state, m_module);
    }

    void load(int mode, const std::string& source = "test")
    {
        const auto flags = DtwTree::flags();
        ASSERT_TRUE(m_session->LoadMode(mode, "digits", "dtw1", DtwTree::kFeat, flags, {"refa", "refb"}, source).ok);
        bool modal;
        ASSERT_TRUE(m_session->LoadDTW(&modal).ok);
    }

    DtwWordStore& store() { return m_state->store; }

    DtwTree m_tree;
    ModuleState m_module;
    std::unique_ptr<DtwComparerState> m_state;
    std::unique_ptr<DtwSession> m_session;
};

TEST_F(Dialogs, ReferenceSelectionWaysAndSpinBounds)
{
    load(6);
    ASSERT_TRUE(m_session->SetPMword(1).ok);  // "one"
    RefSelection sel(*m_session);
    sel.Form_Load();
    EXPECT_EQ(sel.way(), RefSelection::Nearest);
    EXPECT_EQ(sel.count(RefSelection::Nearest), 10);
    EXPECT_EQ(sel.count(RefSelection::True), 2);  // "one" of refa and of refb
    EXPECT_TRUE(sel.trueAvailable());

    // The nearest is the current (best) reference.
    EXPECT_EQ(sel.reference(RefSelection::Nearest), store().currentReference);
    const RefSelection::Panel p = sel.panel(RefSelection::Nearest);
    EXPECT_EQ(p.word.rfind("one (ref", 0), 0u) << p.word;
    EXPECT_EQ(p.score, scoreText(store().batch[std::size_t(store().currentReference)].score));

    // The lists run downwards; "Other" counts up like a number.
    for (RefSelection::Way way : {RefSelection::True, RefSelection::Nearest, RefSelection::Other}) {
        SCOPED_TRACE(int(way));
        auto toNext = [&] { way == RefSelection::Other ? sel.spinUp(way) : sel.spinDown(way); };
        auto toPrevious = [&] { way == RefSelection::Other ? sel.spinDown(way) : sel.spinUp(way); };
        toPrevious();
        EXPECT_EQ(sel.position(way), 1);
        for (int k = 0; k < 20; ++k)
            toNext();
        EXPECT_EQ(sel.position(way), sel.count(way));
        toPrevious();
        EXPECT_EQ(sel.position(way), sel.count(way) - 1);
    }
    EXPECT_EQ(sel.reference(RefSelection::Other), 9);
    EXPECT_EQ(sel.panel(RefSelection::Other).word, "three (refb)");
    EXPECT_EQ(sel.ShowOtherRef(10).word, "four (refb)");
    EXPECT_EQ(sel.ShowOtherRef(11).word, "");
    EXPECT_EQ(sel.ShowTrueRef(3).word, "");
    EXPECT_EQ(sel.ShowNearestRef(1).word, sel.ShowTrueRef(1).word);  // the nearest is a true one

    // "Other" reference 7 made current and shown.
    sel.Form_Load();
    sel.optRef_Click(RefSelection::Other);
    for (int k = 1; k < 7; ++k)
        sel.spinUp(RefSelection::Other);
    ASSERT_TRUE(sel.cmdOk_Click());
    EXPECT_EQ(store().currentReference, 7);
    EXPECT_EQ(m_session->labels().refName, "one");
    EXPECT_EQ(m_session->labels().refFrames, "58");

    // The second "True" reference: the worse "one".
    sel.Form_Load();
    sel.optRef_Click(RefSelection::True);
    sel.spinDown(RefSelection::True);
    ASSERT_TRUE(sel.cmdOk_Click());
    EXPECT_EQ(store().reference(store().currentReference).label, 1);
    EXPECT_EQ(store().currentReference, sel.ranking().trueList[1]);
}

TEST_F(Dialogs, TrueIsDisabledWithoutALabelAndInModeEight)
{
    // A test word whose label no reference carries.
    m_tree.writeSet("test", 0, {{5, 40}});
    std::ofstream(m_tree.vocFolder() + "/digits.voc", std::ios::binary)
        << " 6 \r\n0  zero\r\n1  one\r\n2  two\r\n3  three\r\n4  four\r\n5  five\r\n";
    load(6);
    ASSERT_TRUE(m_session->SetPMword(0).ok);
    const int before = store().currentReference;
    RefSelection sel(*m_session);
    sel.Form_Load();
    EXPECT_FALSE(sel.trueAvailable());
    sel.optRef_Click(RefSelection::True);
    EXPECT_EQ(sel.way(), RefSelection::Nearest);
    EXPECT_EQ(sel.reference(RefSelection::True), 0);
    EXPECT_EQ(sel.panel(RefSelection::True).word, "");

    load(8, "");
    m_tree.writeToken(2, 33);
    std::int32_t word;
    ASSERT_TRUE(m_session->GetRecogWord(word).ok);
    sel.Form_Load();
    EXPECT_EQ(sel.count(RefSelection::True), 2);
    EXPECT_FALSE(sel.trueAvailable());  // a recorded word's label is no truth
    (void)before;
}

TEST_F(Dialogs, MethodDialogOpensWithTheCurrentMethodAndRematches)
{
    load(6);
    ASSERT_TRUE(m_session->SetPMword(3).ok);  // "three", 62 frames
    store().method = kMethodItakura;
    MethodOptions method(*m_session);
    method.Form_Load();
    EXPECT_EQ(method.method(), kMethodItakura);
    EXPECT_EQ(method.title(), "Dynamic Time Warping - Itakura");
    EXPECT_FALSE(method.rangeEnabled());
    method.optLin_Click();
    EXPECT_EQ(store().method, kMethodLinear);
    EXPECT_EQ(method.title(), "Linear Time Warping");
    method.optNsc_Click();
    EXPECT_TRUE(method.rangeEnabled());

    // Range bounds: down to 2, up while below both N and M.
    store().currentReference = 3;  // "two" of refa: 35 frames
    ASSERT_TRUE(m_session->Reference());
    for (int k = 0; k < 20; ++k)
        method.spiRangeDown();
    EXPECT_EQ(method.range(), 2);
    for (int k = 0; k < 100; ++k)
        method.spiRangeUp();
    EXPECT_EQ(method.range(), 35);
    store().bandRange = 10;
    method.optFlex_Click();
    EXPECT_TRUE(m_session->flexibleRange);
    method.optFixed_Click();
    EXPECT_FALSE(m_session->flexibleRange);

    // OK: the title follows, the best reference becomes current again.
    method.optLin_Click();
    ASSERT_TRUE(method.cmdOk_Click());
    EXPECT_EQ(m_session->labels().dtwCaption, "Linear Time Warping");
    EXPECT_EQ(store().reference(store().currentReference).label, 3);
    EXPECT_EQ(store().best.reference, store().currentReference);

    // No reference below the forbidden score: the current one stays.
    m_tree.writeSet("test", 0, {{1, 140}});
    load(6);
    ASSERT_TRUE(m_session->SetPMword(0).ok);
    const int kept = store().currentReference;
    method.OptIta_Click();
    EXPECT_FALSE(method.cmdOk_Click());
    EXPECT_EQ(store().currentReference, kept);
    EXPECT_NE(m_session->labels().statusLine.find("the reference is kept"), std::string::npos);
    EXPECT_EQ(m_session->labels().dtwCaption, "Dynamic Time Warping - Itakura");
}

TEST_F(Dialogs, FeatureChoiceRefillsBothTracks)
{
    load(6);
    ASSERT_TRUE(m_session->SetPMword(2).ok);
    FeatureOptions feat(*m_session);
    feat.Form_Load();
    EXPECT_EQ(feat.selected(), 17);
    for (int k = 1; k <= 20; ++k)
        EXPECT_EQ(feat.enabled(k), k <= 8 || k == 17) << k;
    feat.optFeature_Click(12);  // not stored: ignored
    EXPECT_EQ(feat.selected(), 17);
    EXPECT_EQ(m_state->displayedFeature, 17);
    feat.optFeature_Click(3);
    EXPECT_EQ(m_state->displayedFeature, 3);
    EXPECT_EQ(m_state->displayedPosition, 3);
    ASSERT_TRUE(feat.cmdOk_Click());
    for (int i = 1; i <= store().N; ++i)
        ASSERT_EQ(m_state->testTrack[std::size_t(i)], store().testVector(i, 3)) << i;
    for (int j = 1; j <= store().M; ++j)
        ASSERT_EQ(m_state->referenceTrack[std::size_t(j)], store().refVector(j, 3)) << j;
    EXPECT_EQ(m_session->labels().featName[0], "cep3");
    EXPECT_EQ(m_session->labels().featName[1], "cep3");

    // Without a valid pair OK changes no track.
    load(8, "");
    feat.Form_Load();
    feat.optFeature_Click(17);
    EXPECT_FALSE(feat.cmdOk_Click());
    EXPECT_NE(m_session->labels().statusLine.find("no test word"), std::string::npos);
}

}  // namespace
