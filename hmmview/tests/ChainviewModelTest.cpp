#include <gtest/gtest.h>

#include <cmath>

#include <algorithm>
#include <filesystem>
#include <fstream>

#include "ViewerFixture.h"
#include "hmmview/Decoders.h"
#include "hmmview/WordPacking.h"

namespace talvor::hmmview {
namespace {

using testing::ModSpec;
using testing::ProgramFolder;
using testing::ViewerTest;

// The models of the fixture folder, loaded directly, in load order.
std::vector<std::unique_ptr<HmmModel>> loadDirect(const ProgramFolder& folder)
{
    std::vector<std::unique_ptr<HmmModel>> out;
    for (const char* f : {"1one.mod", "2two.mod", "3three.mod"}) {
        auto m = std::make_unique<HmmModel>();
        std::string path = folder.workFolder() + "/" + f;
        EXPECT_TRUE(m->LoadMOD(path).loaded);
        out.push_back(std::move(m));
    }
    return out;
}

std::vector<const HmmModel*> raw(const std::vector<std::unique_ptr<HmmModel>>& models)
{
    std::vector<const HmmModel*> out;
    for (const auto& m : models)
        out.push_back(m.get());
    return out;
}

TEST(WordPacking, SkipsTheMarginsAndKeepsTheMaskOrder)
{
    const std::int32_t nFrames = 23;
    std::vector<float> v(static_cast<std::size_t>(nFrames) * 20);
    for (std::size_t k = 0; k < v.size(); ++k)
        v[k] = static_cast<float>(k);  // value = frame * 20 + feature
    FeatureSelection mask{};
    mask[19] = mask[2] = mask[7] = true;
    const PackedFrames p = packWordFrames(v, nFrames, mask);
    EXPECT_EQ(p.frames, 3);
    EXPECT_EQ(p.features, 3);
    const std::vector<float> expected = {202, 207, 219, 222, 227, 239, 242, 247, 259};
    EXPECT_EQ(p.values, expected);

    // Too short a word, or too few values for the frames it announces: nothing.
    EXPECT_EQ(packWordFrames(v, 20, mask).frames, 0);
    EXPECT_EQ(packWordFrames(std::span<const float>(v).first(v.size() - 1), nFrames, mask).frames, 0);
}

TEST(TrainerConfig, MissingFileResetsTheMask)
{
    ProgramFolder folder;
    folder.writeConfig(testing::fixtureMask(), 3);
    const std::string path = folder.tree().modelConfigCopy(folder.voc, folder.work);
    // Found whatever the case of its name.
    std::filesystem::rename(path, folder.workFolder() + "/Statwalk1.edf");
    TrainerConfig c = ReadTrainerConfig(path);
    EXPECT_TRUE(c.found);
    EXPECT_EQ(c.coefCount, 3);
    EXPECT_EQ(c.featureMask, testing::fixtureMask());

    c = ReadTrainerConfig(folder.workFolder() + "/none.edf");
    EXPECT_FALSE(c.found);
    EXPECT_EQ(c.coefCount, 18);
    EXPECT_EQ(c.featureMask, FeatureSelection{});
}

// MATCH(0) by each method gives what the decoders give when called directly
// on the word packed the same way.
TEST_F(ViewerTest, MatchByEachMethodEqualsTheDecoders)
{
    standardFolder();
    ASSERT_TRUE(load(ModePickMatchHmm));
    ASSERT_EQ(viewer->modelCount(), 3);
    ASSERT_EQ(viewer->paneCount(), 3);
    const auto direct = loadDirect(folder);
    const std::vector<float> frames = ProgramFolder::wordFrames(60, 2);  // "beta"
    const PackedFrames packed = packWordFrames(frames, 60, testing::fixtureMask());
    ASSERT_EQ(packed.frames, 40);

    viewer->cmboWords_Click(1);
    {
        SCOPED_TRACE("sequential");
        viewer->MATCH(0);
        std::vector<float> scores;
        for (int k = 0; k < 3; ++k) {
            float s = 0;
            MatchSequentialHMM(*direct[static_cast<std::size_t>(k)], packed.word(), s, k, false);
            scores.push_back(s);
            EXPECT_EQ(viewer->results().at(k, MatchResults::kScore), s);
        }
        const int best = static_cast<int>(std::max_element(scores.begin(), scores.end()) - scores.begin());
        EXPECT_EQ(viewer->GetResultByOrder(1), best);
        EXPECT_EQ(viewer->pane(best).order, "1.");
        EXPECT_EQ(viewer->reportLines().front(), "Recognized word: " + direct[static_cast<std::size_t>(best)]->word());
        std::vector<int> ranked;
        for (int r = 1; viewer->GetResultByOrder(r) >= 0; ++r)
            ranked.push_back(viewer->GetResultByOrder(r));
        EXPECT_EQ(ranked.size(), 3u);
        for (std::size_t r = 1; r < ranked.size(); ++r)
            EXPECT_GE(scores[static_cast<std::size_t>(ranked[r - 1])], scores[static_cast<std::size_t>(ranked[r])]);
    }
    {
        SCOPED_TRACE("parallel");
        viewer->SetPruneTreshold(1000000000);
        viewer->setRecogMethod(ParallelMethod);
        viewer->MATCH(0);
        MatchResults expected;
        std::string word;
        MatchParallelHMM(raw(direct), packed.word(), expected, 1e9f, word);
        // Ranks from position 1 (position 0 is not written).
        for (int r = 1; r <= 4; ++r)
            EXPECT_EQ(viewer->results().at(r, MatchResults::kOrder), expected.at(r, MatchResults::kOrder)) << r;
        for (int k = 0; k < 3; ++k)
            EXPECT_EQ(viewer->results().at(k, MatchResults::kScore), expected.at(k, MatchResults::kScore));
        EXPECT_EQ(viewer->reportLines().front(), "Recognized word: " + word);
    }
    {
        SCOPED_TRACE("string in mode 4 is refused, in mode 10 it runs");
        viewer->setRecogMethod(StringMethod);
        EXPECT_EQ(viewer->recogMethod(), ParallelMethod);
    }
}

TEST_F(ViewerTest, StringModeTwelveReplacesTheEntryAndReturnsTheWordsInOrder)
{
    standardFolder();
    ASSERT_TRUE(load(ModeStringsSpeakRecognizeHmm));
    ASSERT_EQ(viewer->words(), std::vector<std::string>{"???"});
    EXPECT_EQ(viewer->recogMethod(), StringMethod);
    EXPECT_EQ(viewer->returnCaption(), "&Signal");
    const auto direct = loadDirect(folder);

    const std::vector<float> v = ProgramFolder::wordFrames(80, 9);
    const std::vector<std::int16_t> s(80 * 80, 0);
    std::string name = "old";
    std::int32_t result = 7;
    ASSERT_TRUE(viewer->PutWordData(1, v, s, 80, name, result));
    EXPECT_EQ(result, 0);

    MatchResults expected;
    std::string text;
    std::int32_t count = 0;
    const PackedFrames packed = packWordFrames(v, 80, testing::fixtureMask());
    MatchStringHMM(raw(direct), packed.word(), expected, text, 10, count);
    ASSERT_GT(count, 0);
    EXPECT_EQ(name, text);
    EXPECT_EQ(viewer->words(), std::vector<std::string>{text});
    EXPECT_EQ(viewer->reportLines().front(), "Recognized string: " + text);
    for (int r = 0; r <= count; ++r)
        EXPECT_EQ(viewer->GetResultByOrder(r), static_cast<int>(expected.at(r, MatchResults::kOrder))) << r;
    EXPECT_EQ(viewer->GetResultByOrder(count), -1);
    for (int k = 0; k < 3; ++k) {
        EXPECT_EQ(viewer->results().at(k, MatchResults::kScore), kScoreFloor);
        EXPECT_EQ(viewer->pane(k).order, "");
    }
    // Row 0 of each pane is the entry state.
    EXPECT_TRUE(viewer->pane(0).record.entryRow);
    EXPECT_EQ(viewer->pane(0).record.rows, direct[0]->nStates() + 1);
}

// Results follow the models, not the panes: after a swap the receiver is
// still told the model it ranked.
TEST_F(ViewerTest, GetResultByOrderReturnsModelIndicesAfterASwap)
{
    standardFolder();
    ASSERT_TRUE(load());
    viewer->MATCH(0);
    std::vector<int> before;
    for (int r = 1; r <= 3; ++r)
        before.push_back(viewer->GetResultByOrder(r));
    viewer->paneModelPicked(0, 2);  // pane 0 shows model 2, pane 2 model 0
    EXPECT_EQ(viewer->pane(0).modelIndex, 2);
    EXPECT_EQ(viewer->pane(2).modelIndex, 0);
    EXPECT_EQ(viewer->pane(1).modelIndex, 1);
    viewer->MATCH(0);
    for (int r = 1; r <= 3; ++r)
        EXPECT_EQ(viewer->GetResultByOrder(r), before[static_cast<std::size_t>(r - 1)]) << r;
}

TEST_F(ViewerTest, ParallelWithAPrunedPaneRanksTheOthers)
{
    folder.writeConfig(testing::fixtureMask(), 3);
    ModSpec near = ModSpec::leftRight("near", 3, 1, 3);
    ModSpec far = near;
    far.word = "far";
    for (float& m : far.means)
        m = 50.0f;
    ModSpec closeBy = near;
    closeBy.word = "close";
    for (float& m : closeBy.means)
        m = 0.3f;
    folder.writeModel("1near.mod", near);
    folder.writeModel("2far.mod", far);
    folder.writeModel("3close.mod", closeBy);
    folder.writeWords({"w"}, {30});
    ASSERT_TRUE(load());
    viewer->SetPruneTreshold(100);
    viewer->setRecogMethod(ParallelMethod);
    viewer->MATCH(0);
    EXPECT_EQ(viewer->pane(1).order, "pruned");
    EXPECT_EQ(viewer->results().at(1, MatchResults::kScore), kScoreFloor);
    const int first = viewer->GetResultByOrder(1);
    const int second = viewer->GetResultByOrder(2);
    EXPECT_TRUE((first == 0 && second == 2) || (first == 2 && second == 0)) << first << " " << second;
    EXPECT_EQ(viewer->GetResultByOrder(3), -1);
}

// Report lines verbatim, newest on top; a tie gives two lines, the higher
// pane on top; an empty tested name gives none.
TEST_F(ViewerTest, ReportLinesOfLoadingAndATie)
{
    folder.writeConfig(testing::fixtureMask(), 3);
    const ModSpec m = testing::randomModel("same", 4, 1, 3, 5);
    ModSpec other = testing::randomModel("other", 4, 1, 3, 6);
    folder.writeModel("1a.mod", m);
    ModSpec copy = m;
    copy.word = "twin";
    folder.writeModel("2b.mod", copy);
    folder.writeModel("3c.mod", other);
    folder.writeWords({"x", ""}, {40, 40});
    ASSERT_TRUE(load());
    const std::string wf = folder.workFolder();
    const std::vector<std::string> loading = {
        "Opening Models:",
        wf + "/3c.mod",
        wf + "/2b.mod",
        wf + "/1a.mod",
        "Tested file: test01 Selected word: x",
    };
    EXPECT_EQ(std::vector<std::string>(viewer->reportLines().begin(), viewer->reportLines().end()), loading);

    viewer->MATCH(0);
    const float s0 = viewer->results().at(0, MatchResults::kScore);
    ASSERT_EQ(s0, viewer->results().at(1, MatchResults::kScore));
    if (s0 > viewer->results().at(2, MatchResults::kScore)) {
        EXPECT_EQ(viewer->reportLines()[0], "Recognized word: twin");
        EXPECT_EQ(viewer->reportLines()[1], "Recognized word: same");
        EXPECT_EQ(viewer->reportLines()[2], "Opening Models:");
        EXPECT_EQ(viewer->pane(0).order, "1.");
        EXPECT_EQ(viewer->pane(1).order, "1.");
    }
    // The word without a name: ranked, but no line.
    viewer->cmdNextWord_Click();
    EXPECT_EQ(viewer->reportLines()[0], "Tested file: test01 Selected word: ");
    viewer->MATCH(0);
    EXPECT_EQ(viewer->reportLines()[0], "Tested file: test01 Selected word: ");
    EXPECT_GE(viewer->GetResultByOrder(1), 0);
    // Next Word wraps to the first entry.
    viewer->cmdNextWord_Click();
    EXPECT_EQ(viewer->wordIndex(), 0);
    EXPECT_FALSE(viewer->pane(0).record.painted);
}

// An animated match paced by a scripted clock and pump ends with the same
// results and pane records as a plain one.
TEST_F(ViewerTest, AnimatedMatchEqualsThePlainOne)
{
    standardFolder();
    ASSERT_TRUE(load());
    for (std::int32_t method : {SequentialMethod, ParallelMethod}) {
        SCOPED_TRACE(method);
        viewer->setRecogMethod(method);
        viewer->MATCH(0);
        const MatchResults plain = viewer->results();
        std::vector<ChainviewPane> panes;
        for (int k = 0; k < 3; ++k)
            panes.push_back(viewer->pane(k));
        const std::deque<std::string> report = viewer->reportLines();

        bool menusDuring = true;
        pump.onCall = [&](int) { menusDuring = menusDuring && viewer->menusEnabled(); };
        viewer->cmdAnimate_Click();
        pump.onCall = nullptr;
        EXPECT_FALSE(menusDuring);
        EXPECT_GT(pump.calls, 0);
        for (int r = 0; r < MatchResults::kRows; ++r)
            for (int c = 0; c < MatchResults::kColumns; ++c)
                ASSERT_EQ(viewer->results().at(r, c), plain.at(r, c)) << r << "," << c;
        for (int k = 0; k < 3; ++k) {
            const ChainviewPane& p = viewer->pane(k);
            EXPECT_EQ(p.record.links, panes[static_cast<std::size_t>(k)].record.links);
            EXPECT_EQ(p.record.bestPath, panes[static_cast<std::size_t>(k)].record.bestPath);
            EXPECT_EQ(p.record.frameBest, panes[static_cast<std::size_t>(k)].record.frameBest);
            EXPECT_EQ(p.order, panes[static_cast<std::size_t>(k)].order);
        }
        EXPECT_EQ(viewer->buttons(), (ChainviewButtons{true, true, true, true, false, true}));
        EXPECT_EQ(viewer->animateCaption(), "&Animate");
        EXPECT_TRUE(viewer->menusEnabled());
        pump.calls = 0;
    }
}

// While an animated match runs, commands and host calls are refused; STOP
// only clears the flag; the buttons come back when the match has returned.
TEST_F(ViewerTest, DuringAnAnimatedMatchOnlyStopAndPauseWork)
{
    standardFolder();
    ASSERT_TRUE(load());
    viewer->setRecogMethod(ParallelMethod);
    viewer->MATCH(0);
    const MatchResults before = viewer->results();
    viewer->cmboWords_Click(1);  // another word: a stop must leave the table alone

    std::vector<std::string> seen;
    pump.onCall = [&](int call) {
        if (call == 1) {
            EXPECT_EQ(viewer->buttons(), (ChainviewButtons{false, false, false, true, true, false}));
            EXPECT_EQ(viewer->animateCaption(), "&STOP");
            EXPECT_FALSE(viewer->LoadMode(4, folder.voc, "", folder.rec, folder.work));
            std::string name = "x";
            std::int32_t result = 0;
            const std::vector<float> v(40 * 20, 0.0f);
            const std::vector<std::int16_t> s(40 * 80, 0);
            EXPECT_FALSE(viewer->PutWordData(1, v, s, 40, name, result));
            EXPECT_EQ(result, -1);
            EXPECT_EQ(name, "");
            viewer->cmdNextWord_Click();
            viewer->setRecogMethod(SequentialMethod);
            viewer->paneModelPicked(0, 1);
            viewer->cmdPause_Click();
            EXPECT_EQ(viewer->pauseCaption(), "&Continue");
            EXPECT_TRUE(viewer->pacer().animationPaused());
        }
        if (call == 5) {
            viewer->cmdPause_Click();
            EXPECT_EQ(viewer->pauseCaption(), "&Pause");
        }
        if (call == 6) {
            viewer->cmdAnimate_Click();  // STOP
            EXPECT_FALSE(viewer->onAnimate());
            EXPECT_EQ(viewer->buttons().match, false);  // still running
        }
    };
    viewer->cmdAnimate_Click();
    pump.onCall = nullptr;
    EXPECT_EQ(viewer->wordIndex(), 1);
    EXPECT_EQ(viewer->recogMethod(), ParallelMethod);
    EXPECT_EQ(viewer->pane(0).modelIndex, 0);
    // Stopped while the frames were decoded: the table is as before.
    for (int r = 0; r < 5; ++r)
        for (int c = 0; c < MatchResults::kColumns; ++c)
            EXPECT_EQ(viewer->results().at(r, c), before.at(r, c));
    EXPECT_EQ(viewer->buttons(), (ChainviewButtons{true, true, true, true, false, true}));
    EXPECT_EQ(viewer->pauseCaption(), "&Pause");
    EXPECT_FALSE(viewer->busy());
}

TEST_F(ViewerTest, StopDuringTheBestPathOfSequentialKeepsThePathDrawnSoFar)
{
    standardFolder();
    ASSERT_TRUE(load());
    viewer->MATCH(0);
    const std::vector<PaneRecord::Cell> fullPath = viewer->pane(0).record.bestPath;
    const int T = viewer->pane(0).record.frames;
    // Pane 0 takes T - 1 frame steps, then its best path: stop after 3 path cells.
    int steps = 0;
    viewer->pacer().SetAnimationDelay(0);
    const int stopAt = (T - 1) + 3;
    pump.onCall = [&](int) {
        if (++steps == stopAt)
            viewer->cmdAnimate_Click();
    };
    viewer->cmdAnimate_Click();
    pump.onCall = nullptr;
    const std::vector<PaneRecord::Cell>& path = viewer->pane(0).record.bestPath;
    ASSERT_EQ(path.size(), 3u);
    EXPECT_TRUE(std::equal(path.begin(), path.end(), fullPath.begin()));
    // The other panes were never drawn: nothing of them is shown, nothing ranked.
    EXPECT_EQ(viewer->GetResultByOrder(1), -1);
    EXPECT_TRUE(viewer->pane(1).record.bestPath.empty());
    EXPECT_FALSE(viewer->pane(1).record.painted);
}

// A stopped animation shows the rank of no model and the scores only of the
// models it finished; "stopped" stands where a rank would.
TEST_F(ViewerTest, AStoppedAnimationShowsNoRankItDidNotCompute)
{
    for (std::int32_t method : {SequentialMethod, ParallelMethod}) {
        SCOPED_TRACE(method);
        viewer = std::make_unique<ChainviewModel>(clock, pump);
        viewer->SetAppPath(folder.dir.path());
        if (method == SequentialMethod)
            standardFolder();
        ASSERT_TRUE(load());
        viewer->setRecogMethod(method);
        viewer->MATCH(0);
        const std::string finishedScore = viewer->pane(0).score;
        ASSERT_FALSE(finishedScore.empty());
        viewer->cmboWords_Click(viewer->wordIndex());  // the panes cleared, as a new pick leaves them
        const std::size_t reportLines = viewer->reportLines().size();
        // STOP once pane 1 has begun its best path: pane 0 is finished, pane 1
        // half drawn, pane 2 not reached.
        viewer->pacer().SetAnimationDelay(0);
        pump.onCall = [&](int) {
            if (viewer->onAnimate() && !viewer->pane(1).record.bestPath.empty())
                viewer->cmdAnimate_Click();
        };
        viewer->cmdAnimate_Click();
        pump.onCall = nullptr;
        for (int k = 0; k < viewer->paneCount(); ++k)
            EXPECT_EQ(viewer->pane(k).order, kStoppedOrder) << k;
        EXPECT_EQ(viewer->pane(0).score, finishedScore);
        EXPECT_EQ(viewer->pane(0).record.bestPath.size(), static_cast<std::size_t>(viewer->pane(0).record.frames));
        EXPECT_EQ(viewer->pane(1).score, "");
        EXPECT_EQ(viewer->pane(2).score, "");
        EXPECT_TRUE(viewer->pane(2).record.bestPath.empty());
        // The report says so and names no recognised word.
        ASSERT_EQ(viewer->reportLines().size(), reportLines + 1);
        EXPECT_EQ(viewer->reportLines().front(), "Stopped: 1 of 3 models matched; nothing is ranked.");
    }
}

// STOP while the words are traced back: the words found so far stay in the
// table and the report, as the string decoder leaves them.
TEST_F(ViewerTest, StopDuringTheStringTraceKeepsTheWordsWritten)
{
    standardFolder();
    std::filesystem::create_directories(folder.tree().stringsFolder(folder.voc));
    folder.writeWords({"alpha"}, {60}, 4, folder.tree().stringRecordingBase(folder.voc, folder.rec));
    ASSERT_TRUE(load(ModeStringsPickMatchHmm));
    viewer->MATCH(0);
    const MatchResults plain = viewer->results();
    const std::int32_t first = viewer->GetResultByOrder(0);
    ASSERT_GE(first, 0);
    const int T = viewer->pane(0).record.frames;
    // Steps: one per pane at the layout, then per frame one per pane and one
    // for the frame's best; then one per path cell.
    const int beforeTrace = 3 + (T - 1) * 4;
    viewer->pacer().SetAnimationDelay(0);
    int steps = 0;
    pump.onCall = [&](int) {
        if (++steps == beforeTrace + 2)
            viewer->cmdAnimate_Click();
    };
    viewer->cmdAnimate_Click();
    pump.onCall = nullptr;
    for (int r = 0; r < 12; ++r)
        EXPECT_EQ(viewer->results().at(r, MatchResults::kOrder), plain.at(r, MatchResults::kOrder)) << r;
    EXPECT_EQ(viewer->GetResultByOrder(0), first);
    std::size_t cells = 0;
    for (int k = 0; k < viewer->paneCount(); ++k)
        cells += viewer->pane(k).record.bestPath.size();
    EXPECT_EQ(cells, 2u);
}

struct Refusal {
    const char* what;
    std::function<void(ProgramFolder&)> arrange;
    std::int32_t i;
    std::int32_t nFrames;
    bool putFails;  // PutWordData itself fails (else MATCH refuses)
    float poison = 0.0f;  // non-zero: this value replaces feature c1 of frame 12
    const char* report = "";  // what the report's newest line holds
};

// Refused words, folders and configurations leave "nothing": no result at any
// position and, for a refused store, an empty name.
TEST(ViewerRefusals, LeaveNothing)
{
    const std::vector<Refusal> cases = {
        {"index below the list", nullptr, 0, 40, true},
        {"index beyond the list", nullptr, 4, 40, true},
        {"store refuses 15 frames", nullptr, 1, 15, true},
        {"a word longer than 5000 frames", nullptr, 1, 5001, false},
        {"no trainer configuration",
         [](ProgramFolder& f) { std::filesystem::remove(f.tree().modelConfigCopy(f.voc, f.work)); }, 1, 40, false},
        {"mask and count disagree", [](ProgramFolder& f) { f.writeConfig(testing::fixtureMask(), 4); }, 1, 40,
         false},
        {"a feature that is not a number", nullptr, 1, 40, false, std::nanf(""),
         "Word 1 \"alpha\" cannot be matched: frame 12 holds a feature value that is not a finite number"},
        {"a feature far beyond any the engine makes", nullptr, 1, 40, false, 4e31f, "cannot be matched: frame 12"},
    };
    for (const Refusal& c : cases) {
        SCOPED_TRACE(c.what);
        ProgramFolder folder;
        testing::FakeClock clock;
        testing::FakePump pump{clock};
        ChainviewModel viewer(clock, pump);
        viewer.SetAppPath(folder.dir.path());
        ViewerTest::writeStandardFolder(folder);
        ASSERT_TRUE(viewer.LoadMode(4, folder.voc, "", folder.rec, folder.work));
        viewer.MATCH(0);  // a result that must not survive
        ASSERT_GE(viewer.GetResultByOrder(1), 0);
        if (c.arrange) {
            c.arrange(folder);
            ASSERT_TRUE(viewer.LoadMode(4, folder.voc, "", folder.rec, folder.work));
        }
        std::vector<float> v = ProgramFolder::wordFrames(std::max(c.nFrames, 1), 3);
        if (c.poison != 0.0f)
            v.at(12 * 20) = c.poison;
        const std::vector<std::int16_t> s(static_cast<std::size_t>(std::max(c.nFrames, 1)) * 80, 0);
        std::string name = "previous";
        std::int32_t result = 5;
        const ControlResult r = viewer.PutWordData(c.i, v, s, c.nFrames, name, result);
        EXPECT_EQ(static_cast<bool>(r), !c.putFails);
        EXPECT_EQ(result, c.putFails ? -1 : 0);
        EXPECT_EQ(name, c.putFails ? "" : "alpha");
        for (int order : {0, 1, 2, 3})
            EXPECT_EQ(viewer.GetResultByOrder(order), -1) << order;
        EXPECT_FALSE(viewer.reportLines().front().empty());
        EXPECT_NE(viewer.reportLines().front().find(c.report), std::string::npos) << viewer.reportLines().front();
    }
}

TEST_F(ViewerTest, LoadModeRefusesBadModesAndNames)
{
    standardFolder();
    ASSERT_TRUE(load());
    for (std::int32_t mode : {-1, 14, 21})
        EXPECT_FALSE(viewer->LoadMode(mode, folder.voc, "", folder.rec, folder.work)) << mode;
    EXPECT_FALSE(viewer->LoadMode(4, "../x", "", folder.rec, folder.work));
    EXPECT_FALSE(viewer->LoadMode(4, folder.voc, "", "a/b", folder.work));
    EXPECT_FALSE(viewer->LoadMode(4, folder.voc, "", folder.rec, ".."));
    // Nothing changed.
    EXPECT_EQ(viewer->modelCount(), 3);
    EXPECT_EQ(viewer->chainviewmode(), 4);
    EXPECT_EQ(viewer->caption(), "Chainview in mode: HMM Matching");
}

// A second folder replaces the models; more than 200 are cut; a folder
// without models shows no pane and a match says why.
TEST_F(ViewerTest, LoadModeKeepsExactlyTheNewFoldersModels)
{
    standardFolder();
    ASSERT_TRUE(load());
    ASSERT_EQ(viewer->modelCount(), 3);

    const std::string many = folder.tree().workFolder(folder.voc, "many");
    std::filesystem::create_directories(many);
    const ModSpec small = testing::randomModel("m", 3, 1, 3, 1);
    for (int k = 0; k < 203; ++k)
        ASSERT_TRUE(testing::writeMod(many + "/m" + std::to_string(1000 + k) + ".mod", small));
    ASSERT_TRUE(viewer->LoadMode(4, folder.voc, "", folder.rec, "many"));
    EXPECT_EQ(viewer->modelCount(), kMaxModels);
    EXPECT_EQ(viewer->paneCount(), kMaxModels);
    EXPECT_EQ(viewer->reportLines()[0], "Opening Models:");
    EXPECT_EQ(viewer->reportLines()[1], "3 more model files were skipped: at most 200 models are loaded.");
    EXPECT_EQ(viewer->pane(199).modelIndex, 199);

    std::filesystem::create_directories(folder.tree().workFolder(folder.voc, "empty"));
    ASSERT_TRUE(viewer->LoadMode(4, folder.voc, "", folder.rec, "empty"));
    EXPECT_EQ(viewer->modelCount(), 0);
    EXPECT_EQ(viewer->paneCount(), 0);
    EXPECT_TRUE(viewer->modelWords().empty());
    viewer->MATCH(0);
    EXPECT_EQ(viewer->reportLines()[0], kReportNoModels);
    EXPECT_EQ(viewer->GetResultByOrder(1), -1);
}

TEST_F(ViewerTest, ModeElevenMatchesAtOnceAndAsksOnReturn)
{
    standardFolder();
    ASSERT_TRUE(load(ModeHmmSequentialParallel));
    EXPECT_TRUE(viewer->returnAsks());
    EXPECT_EQ(viewer->returnCaption(), "&TALVOR");
    EXPECT_GE(viewer->GetResultByOrder(1), 0);
    EXPECT_FALSE(viewer->stringMethodEnabled());
    EXPECT_EQ(viewer->GetModelVocabularyIndex(0), viewer->model(0).modelID());
    EXPECT_EQ(viewer->GetModelVocabularyIndex(3), -1);
    EXPECT_EQ(viewer->GetModelVocabularyIndex(-1), -1);
}

TEST_F(ViewerTest, FreshViewerHasFivePanesWithoutModels)
{
    EXPECT_EQ(viewer->paneCount(), 5);
    EXPECT_EQ(viewer->pane(0).modelIndex, -1);
    EXPECT_EQ(viewer->GetResultByOrder(0), -1);
    EXPECT_EQ(viewer->pruneTr(), 1000.0f);
    viewer->SetPruneTreshold(0);
    EXPECT_EQ(viewer->pruneTr(), 1000.0f);
    viewer->SetPruneTreshold(1);
    EXPECT_EQ(viewer->pruneTr(), 1.0f);
    EXPECT_EQ(viewer->pacer().animationDelay(), 100);
    viewer->MATCH(0);
    EXPECT_EQ(viewer->reportLines().front(), kReportNoModels);
}

TEST_F(ViewerTest, ReportKeepsTheNewestLines)
{
    for (int k = 0; k < 2100; ++k)
        viewer->AddToReport("line " + std::to_string(k));
    EXPECT_EQ(viewer->reportLines().size(), kReportLineLimit);
    EXPECT_EQ(viewer->reportLines().front(), "line 2099");
    EXPECT_EQ(viewer->reportLines().back(), "line 100");
}

}  // namespace
}  // namespace talvor::hmmview
