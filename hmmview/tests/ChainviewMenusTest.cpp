// The viewer model's menu commands: sorting and swapping panes, word data
// and model files, and the test-all run.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <sys/stat.h>

#include "ViewerFixture.h"
#include "common/FileNames.h"
#include "common/VocabularyFile.h"
#include "hmmview/RecogLog.h"

namespace talvor::hmmview {
namespace {

using testing::ModSpec;
using testing::ProgramFolder;
using testing::ViewerTest;

std::vector<std::int32_t> paneModels(const ChainviewModel& v)
{
    std::vector<std::int32_t> out;
    for (int k = 0; k < v.paneCount(); ++k)
        out.push_back(v.pane(k).modelIndex);
    return out;
}

// Five models: two equal ones (a tie), one far off (pruned in parallel
// decoding), two others.
void fiveModels(ProgramFolder& folder)
{
    folder.writeConfig(testing::fixtureMask(), 3);
    const ModSpec same = testing::randomModel("same", 4, 1, 3, 5);
    ModSpec twin = same;
    twin.word = "twin";
    ModSpec far = ModSpec::leftRight("far", 3, 1, 3);
    for (float& m : far.means)
        m = 60.0f;
    folder.writeModel("1far.mod", far);
    folder.writeModel("2same.mod", same);
    folder.writeModel("3other.mod", testing::randomModel("other", 5, 2, 3, 8));
    folder.writeModel("4twin.mod", twin);
    folder.writeModel("5more.mod", testing::randomModel("more", 3, 1, 3, 9));
    folder.writeWords({"alpha", "beta"}, {40, 50});
}

TEST_F(ViewerTest, SortByScoreIsAPermutationAndVocabularyOrderRestores)
{
    fiveModels(folder);
    ASSERT_TRUE(load());
    for (std::int32_t method : {SequentialMethod, ParallelMethod}) {
        SCOPED_TRACE(method);
        viewer->SetPruneTreshold(50);
        viewer->setRecogMethod(method);
        viewer->sortModelsByScore();
        const std::vector<std::int32_t> sorted = paneModels(*viewer);
        EXPECT_EQ(std::set<std::int32_t>(sorted.begin(), sorted.end()), (std::set<std::int32_t>{0, 1, 2, 3, 4}));
        // The far model is never ranked: it goes last.
        EXPECT_EQ(sorted.back(), 0);
        // The tied pair stands side by side, in their earlier pane order.
        const auto same = std::find(sorted.begin(), sorted.end(), 1) - sorted.begin();
        const auto twin = std::find(sorted.begin(), sorted.end(), 3) - sorted.begin();
        EXPECT_EQ(twin, same + 1);
        // The receiver is still told the models that were ranked, and a new
        // match ranks them in pane order.
        const std::int32_t best = viewer->GetResultByOrder(1);
        viewer->MATCH(0);
        EXPECT_EQ(viewer->GetResultByOrder(1), best);
        EXPECT_EQ(viewer->pane(0).order, "1.");
        viewer->sortModelsByVocabulary();
        EXPECT_EQ(paneModels(*viewer), (std::vector<std::int32_t>{0, 1, 2, 3, 4}));
    }
}

// What a pane shows of its model.
struct Shown {
    std::string order, score;
    PaneRecord record;
};
bool sameShown(const Shown& a, const ChainviewPane& p)
{
    const PaneRecord& r = p.record;
    return a.order == p.order && a.score == p.score && a.record.painted == r.painted && a.record.frames == r.frames &&
           a.record.rows == r.rows && a.record.links == r.links && a.record.localBest == r.localBest &&
           a.record.frameBest == r.frameBest && a.record.bestPath == r.bestPath;
}

// Each pane shows, after a sort, what it showed before for its model; the
// vocabulary order is that of the vocabulary file, not of the model files.
TEST_F(ViewerTest, SortsKeepEachPanesTrellisRankAndScore)
{
    standardFolder();  // model files 1one, 2two, 3three
    std::string err;
    ASSERT_TRUE(writeVocabularyFile(folder.tree().vocabularyFile(folder.voc), {"three", "one", "two"}, &err)) << err;
    ASSERT_TRUE(load());
    for (std::int32_t method : {SequentialMethod, ParallelMethod}) {
        SCOPED_TRACE(method);
        viewer->setRecogMethod(method);
        viewer->MATCH(0);
        std::map<std::int32_t, Shown> byModel;
        for (int k = 0; k < viewer->paneCount(); ++k)
            byModel[viewer->pane(k).modelIndex] = {viewer->pane(k).order, viewer->pane(k).score,
                                                   viewer->pane(k).record};
        ASSERT_TRUE(byModel[0].record.painted);
        viewer->sortModelsByScore();
        for (int k = 0; k < viewer->paneCount(); ++k) {
            EXPECT_EQ(viewer->pane(k).order, std::to_string(k + 1) + ".") << k;
            EXPECT_TRUE(sameShown(byModel[viewer->pane(k).modelIndex], viewer->pane(k))) << k;
        }
        viewer->sortModelsByVocabulary();
        EXPECT_EQ(paneModels(*viewer), (std::vector<std::int32_t>{2, 0, 1}));
        for (int k = 0; k < viewer->paneCount(); ++k)
            EXPECT_TRUE(sameShown(byModel[viewer->pane(k).modelIndex], viewer->pane(k))) << k;
    }
}

TEST_F(ViewerTest, VocabularyOrderSaysWhereItCannotFollowTheVocabulary)
{
    struct Case {
        const char* what;
        std::vector<std::string> vocabulary;  // empty: no vocabulary file
        std::vector<std::int32_t> panes;
        const char* report;
    };
    const Case cases[] = {
        {"no vocabulary", {}, {0, 1, 2}, "No vocabulary is known: the models stand in the order of their files."},
        {"a model outside it", {"two", "one"}, {1, 0, 2},
         "1 model's word is not in the vocabulary digits: they stand last, in the order of their files."},
    };
    standardFolder();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::filesystem::remove(folder.tree().vocabularyFile(folder.voc));
        std::string err;
        if (!c.vocabulary.empty())
            ASSERT_TRUE(writeVocabularyFile(folder.tree().vocabularyFile(folder.voc), c.vocabulary, &err)) << err;
        ASSERT_TRUE(load());
        viewer->paneModelPicked(0, 2);  // not in file order to begin with
        viewer->sortModelsByVocabulary();
        EXPECT_EQ(paneModels(*viewer), c.panes);
        EXPECT_EQ(viewer->reportLines().front(), c.report);
    }
}

// After the panes change, GetResultByOrder still answers with the models that
// the last match ranked.
TEST_F(ViewerTest, ResultsKeepTheirModelsWhenPanesChange)
{
    standardFolder();
    ASSERT_TRUE(load());
    viewer->MATCH(0);
    std::vector<std::int32_t> ranked;
    for (int r = 1; r <= 3; ++r)
        ranked.push_back(viewer->GetResultByOrder(r));
    viewer->paneModelPicked(0, 1);
    viewer->paneModelPicked(2, 0);
    ASSERT_NE(paneModels(*viewer), (std::vector<std::int32_t>{0, 1, 2}));
    for (int r = 1; r <= 3; ++r)
        EXPECT_EQ(viewer->GetResultByOrder(r), ranked[static_cast<std::size_t>(r - 1)]);
}

TEST_F(ViewerTest, AddModelFileAddsAPaneAndOpenLabRefillsTheList)
{
    standardFolder();
    ASSERT_TRUE(load());
    const std::string extra = folder.dir.path() + "/Extra.MOD";
    ASSERT_TRUE(testing::writeMod(folder.dir.path() + "/extra.mod", testing::randomModel("extra", 3, 1, 3, 4)));
    ASSERT_TRUE(viewer->addModelFile(extra));
    EXPECT_EQ(viewer->modelCount(), 4);
    EXPECT_EQ(viewer->paneCount(), 4);
    EXPECT_EQ(viewer->pane(3).modelIndex, 3);
    EXPECT_EQ(viewer->modelWords().back(), "extra");
    viewer->MATCH(0);
    EXPECT_NE(viewer->pane(3).order, "");

    // An unreadable model file still gets its pane (it scores nothing).
    EXPECT_FALSE(viewer->addModelFile(folder.dir.path() + "/none.mod"));
    EXPECT_EQ(viewer->paneCount(), 5);

    folder.writeWords({"x", "y", "z", "w"}, {30, 30, 30, 30}, 5, folder.tree().recordingBase(folder.voc, "other"));
    ASSERT_TRUE(viewer->openLabFile(folder.tree().recordingBase(folder.voc, "other") + ".lab"));
    EXPECT_EQ(viewer->words(), (std::vector<std::string>{"x", "y", "z", "w"}));
    EXPECT_EQ(viewer->wordIndex(), 0);
    EXPECT_EQ(viewer->reportLines().front(), "Tested file: other Selected word: x");
    EXPECT_FALSE(viewer->openLabFile(folder.dir.path() + "/a b\"c.lab"));
}

std::string readLog(const ProgramFolder& folder)
{
    std::string text;
    EXPECT_TRUE(readFileWhole(folder.dir.path() + "/recog.log", &text));
    return text;
}

// The log's first model of each word is the model MATCH(0) ranks first.
TEST_F(ViewerTest, TestAllAgreesWithMatch)
{
    standardFolder();
    ASSERT_TRUE(load());
    ASSERT_TRUE(viewer->TestAllToAll()) << viewer->reportLines().front();
    std::vector<RecogLogBlock> blocks;
    ASSERT_TRUE(viewer->testAllBlocks(blocks));
    ASSERT_EQ(blocks.size(), 3u);
    EXPECT_EQ(readLog(folder), recogLogText(blocks));
    for (int w = 0; w < 3; ++w) {
        SCOPED_TRACE(w);
        viewer->cmboWords_Click(w);
        viewer->MATCH(0);
        const std::vector<int> order = recogLogOrder(blocks[static_cast<std::size_t>(w)].scores);
        EXPECT_EQ(order[0], viewer->GetResultByOrder(1));
        EXPECT_EQ(blocks[static_cast<std::size_t>(w)].text, viewer->words()[static_cast<std::size_t>(w)]);
        for (int m = 0; m < 3; ++m)
            EXPECT_EQ(blocks[static_cast<std::size_t>(w)].scores[static_cast<std::size_t>(m)],
                      viewer->results().at(m, MatchResults::kScore));
    }
}

TEST_F(ViewerTest, TestAllWritesAWordThatCannotBeMatchedAndKeepsTheOldLogOnFailure)
{
    folder.writeConfig(testing::fixtureMask(), 3);
    folder.writeModel("1one.mod", testing::randomModel("one", 3, 1, 3, 1));
    folder.writeModel("2two.mod", testing::randomModel("two", 3, 1, 3, 2));
    // Word 2 is too long to be matched.
    folder.writeWords({"ok", "long"}, {30, 5001});
    ASSERT_TRUE(load());
    ASSERT_TRUE(viewer->TestAllToAll());
    const std::string log = readLog(folder);
    EXPECT_NE(log.find("long:\r\nonetwo\r\n-1E+30 -1E+30 \r\n\r\n\r\n"), std::string::npos) << log;

    // A log that cannot be replaced (here a folder of that name): a failure
    // in the report, and what stood there stays.
    {
        ProgramFolder other;
        ViewerTest::writeStandardFolder(other);
        std::filesystem::create_directories(other.dir.path() + "/recog.log");
        std::ofstream(other.dir.path() + "/recog.log/keep") << "kept";
        viewer->SetAppPath(other.dir.path());
        ASSERT_TRUE(viewer->LoadMode(4, other.voc, "", other.rec, other.work));
        const ControlResult r = viewer->TestAllToAll();
        EXPECT_FALSE(r);
        EXPECT_EQ(viewer->reportLines().front(), r.error);
        EXPECT_TRUE(std::filesystem::exists(other.dir.path() + "/recog.log/keep"));
        viewer->SetAppPath(folder.dir.path());
        ASSERT_TRUE(load());
    }
    // A program folder that cannot be written (not for root, who writes
    // anyway): a failure, and the old log stays.
    if (::geteuid() != 0) {
        ::chmod(folder.dir.path().c_str(), 0555);
        const ControlResult r = viewer->TestAllToAll();
        ::chmod(folder.dir.path().c_str(), 0755);
        EXPECT_FALSE(r);
        EXPECT_EQ(readLog(folder), log);
    }
}

TEST_F(ViewerTest, TestAllWithoutModelsOrWords)
{
    folder.writeConfig(testing::fixtureMask(), 3);
    folder.writeWords({"a", "b"}, {30, 30});
    ASSERT_TRUE(load());
    ASSERT_TRUE(viewer->TestAllToAll());
    EXPECT_EQ(readLog(folder), "nazdar:\r\na:\r\n\r\n\r\n\r\n\r\nb:\r\n\r\n\r\n\r\n\r\n");

    // A refused run (no configuration) writes nothing.
    std::filesystem::remove(folder.tree().modelConfigCopy(folder.voc, folder.work));
    std::filesystem::remove(folder.dir.path() + "/recog.log");
    ASSERT_TRUE(load());
    EXPECT_FALSE(viewer->TestAllToAll());
    EXPECT_FALSE(std::filesystem::exists(folder.dir.path() + "/recog.log"));
}

}  // namespace
}  // namespace talvor::hmmview
