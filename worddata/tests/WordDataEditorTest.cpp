#include <gtest/gtest.h>

#include <deque>

#include "StoreFixture.h"
#include "common/FileNames.h"
#include "testing/TempDir.h"
#include "worddata/WordDataEditor.h"
#include "worddata/WordDataStore.h"

using namespace talvor;
using namespace talvor::worddata;
using namespace talvor::worddata::fixture;

namespace {

struct FakeServices : EditorServices {
    std::deque<std::optional<std::string>> answers;  // input, open and save answers in turn
    std::vector<std::string> asked, errors;
    std::vector<std::int32_t> timerStarts;
    int timerStops = 0, hides = 0;

    std::optional<std::string> next()
    {
        if (answers.empty())
            return std::nullopt;
        auto a = answers.front();
        answers.pop_front();
        return a;
    }
    std::optional<std::string> inputBox(const std::string& prompt, const std::string& title,
                                        const std::string& def) override
    {
        asked.push_back("input:" + prompt + "|" + title + "|" + def);
        return next();
    }
    std::optional<std::string> openFile(const std::string& caption, const std::string& folder,
                                        const std::string& filter) override
    {
        asked.push_back("open:" + caption + "|" + folder + "|" + filter);
        return next();
    }
    std::optional<std::string> saveFile(const std::string& caption, const std::string& folder,
                                        const std::string& filter) override
    {
        asked.push_back("save:" + caption + "|" + folder + "|" + filter);
        return next();
    }
    void showError(const std::string& text) override { errors.push_back(text); }
    void startPlayTimer(std::int32_t ms) override { timerStarts.push_back(ms); }
    void stopPlayTimer() override { ++timerStops; }
    void hideWindow() override { ++hides; }
};

std::vector<std::string> column(const WordDataStore& store, int c)
{
    std::vector<std::string> out;
    for (std::int32_t r = 1; r < store.Rows(); ++r)
        out.push_back(store.cell(r, c));
    return out;
}

// Five contiguous words over 261 frames: 0..49, (empty), 50..110, 111..135, 136..260.
const std::vector<WordRow> kFive = {
    row(1, " 30", " 0", "one"),    row(2, " 0", " 50", "two"),     row(3, " 41", " 50", "three"),
    row(4, " 5", " 111", "four"), row(5, " 105", " 136", "five"),
};

class Editor : public ::testing::Test {
protected:
    void open(const std::vector<WordRow>& rows, std::int64_t parFrames, std::int64_t recFrames)
    {
        writeRecording(dir.path(), "words", rows, parFrames, recFrames);
        services.answers.push_back(dir.path() + "/words.lab");
        editor.miOpen_Click();
        ASSERT_EQ(store.Rows(), std::int32_t(rows.size()) + 1);
    }
    test::TempDir dir;
    WordDataStore store;
    FakeServices services;
    WordDataEditor editor{store, services, "/prog"};
};

TEST_F(Editor, NewVocabularyClampsTheAnswerAndCancelKeepsTheTable)
{
    struct Row { std::optional<std::string> answer; std::int32_t words; };
    const Row rows[] = {{"400", 250}, {"-3", 1}, {"", 1}, {"abc", 1}, {"7", 7}, {"2.5", 2}, {"3.5", 4},
                        {"99999999999999999999", 250}};
    for (const Row& r : rows) {
        SCOPED_TRACE(r.answer.value_or("(cancel)"));
        services.answers = {r.answer};
        editor.miNew_Click();
        EXPECT_EQ(store.Rows() - 1, r.words);
        EXPECT_EQ(store.lblWords(), signedDecimal(std::int64_t(r.words)));
    }
    EXPECT_EQ(services.asked.back(), "input:Input size of vocabulary ( in words)|New vocabulary|5");

    open(kFive, 261, 261);
    const auto before = column(store, ColName);
    services.answers = {std::nullopt};  // cancelled
    editor.miNew_Click();
    EXPECT_EQ(column(store, ColName), before);
    EXPECT_EQ(store.featureCount(), 261 * 20);
}

TEST_F(Editor, OpenShowsTheCountsAndPlayTimesTheWord)
{
    open(kFive, 261, 261);
    EXPECT_EQ(editor.label1(), " 5220   s:  20880");
    EXPECT_EQ(services.asked.front(), "open:Open saved vocabulary|/prog|Labs file (*.LAB)");

    editor.grdLab_Click(3);  // length " 41"
    EXPECT_EQ(editor.txtName(), "three");
    editor.cmbPlay_Click();
    EXPECT_EQ(services.timerStarts, std::vector<std::int32_t>{610});
    EXPECT_TRUE(editor.playing());
    editor.TimerPlay_Timer();
    EXPECT_FALSE(editor.playing());
    EXPECT_EQ(services.timerStops, 1);

    editor.grdLab_Click(2);  // length " 0": no timer
    editor.miPlay_Click();
    EXPECT_EQ(services.timerStarts.size(), 1u);

    editor.cmbPlayNext_Click();  // to row 3, plays
    EXPECT_EQ(store.currentRow(), 3);
    EXPECT_EQ(services.timerStarts.back(), 610);
    editor.grdLab_Click(5);  // the last row: nothing happens
    const auto starts = services.timerStarts.size();
    editor.cmbPlayNext_Click();
    EXPECT_EQ(store.currentRow(), 5);
    EXPECT_EQ(services.timerStarts.size(), starts);
}

TEST_F(Editor, InsertAppendAndRemoveFollowTheCellRules)
{
    open(kFive, 261, 261);
    int changes = 0;
    editor.setTableChanged([&] { ++changes; });

    editor.grdLab_Click(3);
    editor.miInsert_Click();
    EXPECT_EQ(column(store, ColIndex), (std::vector<std::string>{" 1", " 2", " 3", " 4", " 5", " 6"}));
    EXPECT_EQ(column(store, ColIdent), (std::vector<std::string>{" 0", " 1", " 2", " 3", " 4", " 5"}));
    EXPECT_EQ(column(store, ColLength), (std::vector<std::string>{" 30", " 0", " 0", " 41", " 5", " 105"}));
    EXPECT_EQ(column(store, ColOffset), (std::vector<std::string>{" 0", " 50", " 50", " 50", " 111", " 136"}));
    EXPECT_EQ(store.currentRow(), 3);
    EXPECT_EQ(store.lblWords(), " 6");

    editor.miApend_Click();  // after " 105" at " 136": offset 136 + 125
    EXPECT_EQ(store.cell(7, ColOffset), " 261");
    EXPECT_EQ(store.cell(7, ColIndex), " 7");
    EXPECT_EQ(store.cell(7, ColIdent), " 6");
    EXPECT_EQ(store.currentRow(), 7);

    editor.grdLab_Click(2);
    editor.miRemove_Click();  // word 2 has no data; later index cells keep their numbers
    EXPECT_EQ(column(store, ColIndex), (std::vector<std::string>{" 1", " 3", " 4", " 5", " 6", " 7"}));
    editor.grdLab_Click(3);  // "three": 61 frames leave the data, later offsets drop
    editor.miRemove_Click();
    EXPECT_EQ(column(store, ColName), (std::vector<std::string>{"one", "", "four", "five", ""}));
    EXPECT_EQ(column(store, ColOffset), (std::vector<std::string>{" 0", " 50", " 50", " 75", " 200"}));
    EXPECT_EQ(store.featureCount(), 200 * 20);
    EXPECT_EQ(changes, 4);
}

TEST_F(Editor, AppendAfterTheWorkedExample)
{
    open({row(1, " 41", " 120", "yes")}, 181, 181);
    editor.miApend_Click();
    EXPECT_EQ(store.cell(2, ColOffset), " 181");
}

TEST_F(Editor, EmptyTableRowsAndARefusedRemoval)
{
    store.NewVoc(0);
    editor.miRemove_Click();  // nothing to remove
    EXPECT_EQ(store.Rows(), 1);
    editor.miInsert_Click();
    ASSERT_EQ(store.Rows(), 2);
    EXPECT_EQ((std::vector<std::string>{store.cell(1, 0), store.cell(1, 1), store.cell(1, 2), store.cell(1, 3),
                                        store.cell(1, 4)}),
              (std::vector<std::string>{" 1", " 0", " 0", " 0", ""}));
    store.NewVoc(0);
    editor.miApend_Click();
    EXPECT_EQ(store.cell(1, ColIndex), " 1");
    EXPECT_EQ(store.cell(1, ColOffset), " 0");

    // The .par holds fewer frames than word 5's span: the store refuses to
    // take its data out, the message is shown and the row stays.
    open(kFive, 200, 261);
    editor.grdLab_Click(5);
    editor.miRemove_Click();
    EXPECT_EQ(store.Rows(), 6);
    EXPECT_EQ(store.cell(5, ColName), "five");
    ASSERT_EQ(services.errors.size(), 1u);
    EXPECT_NE(services.errors[0].find("Cannot store word 5"), std::string::npos);
}

TEST_F(Editor, SavingUsesTheStoresNameOrAsksAndAddsTheExtension)
{
    // A new table has no name: Save asks; cancelling writes nothing.
    services.answers = {std::nullopt};
    EXPECT_EQ(editor.miSave_Click(), 1);
    EXPECT_EQ(services.asked.back().rfind("save:Save vocabulary as|/prog|", 0), 0u);

    open(kFive, 261, 261);
    editor.grdLab_Click(1);
    editor.miInsert_Click();
    EXPECT_EQ(editor.miSave_Click(), 0);  // under its own name, no dialog
    EXPECT_EQ(services.asked.size(), 2u);
    WordDataStore reread;
    ASSERT_EQ(reread.Open_Data(dir.path() + "/words.lab", "words.lab"), 0);
    EXPECT_EQ(reread.Rows(), 5);  // words without data (2 and the inserted one) are not written

    services.answers = {dir.path() + "/copy"};
    EXPECT_EQ(editor.miSaveAs_Click(), 0);
    EXPECT_TRUE(std::filesystem::exists(dir.path() + "/copy.lab"));
    EXPECT_TRUE(std::filesystem::exists(dir.path() + "/copy.par"));

    services.answers = {dir.path() + "/no-such-folder/x.lab"};
    EXPECT_EQ(editor.miSaveAs_Click(), -1);
    ASSERT_FALSE(services.errors.empty());
}

TEST_F(Editor, LeavingTheWindowKeepsTheData)
{
    open(kFive, 261, 261);
    editor.miExit_Click();
    editor.miHide_Click();
    editor.Command1_Click();
    EXPECT_EQ(services.hides, 3);
    EXPECT_EQ(store.Rows(), 6);
    EXPECT_EQ(store.featureCount(), 261 * 20);
}

// Open, insert before word 3, put a 61-frame word into the new row, save and
// open again: every word's data is as before and the new word is row 3.
TEST_F(Editor, InsertedWordSurvivesASaveAndReopen)
{
    open({row(1, " 30", " 0", "one"), row(2, " 20", " 50", "two"), row(3, " 41", " 90", "three"),
          row(4, " 5", " 151", "four"), row(5, " 105", " 176", "five")},
         301, 301);
    std::vector<WordData> before;
    for (std::int32_t i = 1; i <= 5; ++i) {
        WordData w;
        w.i = i;
        std::int32_t status = 0;
        store.GetWordData(w, status);
        before.push_back(w);
    }
    editor.grdLab_Click(3);
    editor.miInsert_Click();
    std::vector<float> v(61 * 20);
    std::vector<std::int16_t> s(61 * 80);
    for (std::size_t k = 0; k < v.size(); ++k)
        v[k] = -float(k);
    for (std::size_t k = 0; k < s.size(); ++k)
        s[k] = std::int16_t(-std::int32_t(k % 30000));
    ASSERT_EQ(store.PutWordData(3, v, s, 61, "new"), 0);
    ASSERT_EQ(editor.miSave_Click(), 0);

    WordDataStore reread;
    ASSERT_EQ(reread.Open_Data(dir.path() + "/words.lab", "words.lab"), 0);
    ASSERT_EQ(reread.Rows(), 7);
    const std::int32_t oldRow[] = {1, 2, 0, 3, 4, 5};
    for (std::int32_t r = 1; r <= 6; ++r) {
        SCOPED_TRACE(r);
        WordData w;
        w.i = r;
        std::int32_t status = 0;
        reread.GetWordData(w, status);
        if (oldRow[r - 1] == 0) {
            EXPECT_EQ(w.name, "new");
            EXPECT_EQ(w.v, v);
            EXPECT_EQ(w.s, s);
        } else {
            const WordData& b = before[std::size_t(oldRow[r - 1] - 1)];
            EXPECT_EQ(w.name, b.name);
            EXPECT_EQ(w.nFrames, b.nFrames);
            EXPECT_EQ(w.v, b.v);
            EXPECT_EQ(w.s, b.s);
        }
    }
}

}  // namespace
