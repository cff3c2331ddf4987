// Stepping through the stored words of the analyser's word data (the browsing
// modes): the word list selects a word, the store hands it out, the panes
// show it laid out with its margins, or are cleared when it cannot be shown.
#include "DisplaysView.h"
#include "ProfilerFakes.h"
#include "displays/DisplayFixtures.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace talvor::analyser::test {
namespace {

using analyser::testing::DisplaysView;
using analyser::testing::storedWord;

// A store of three words: "one" (41 frames), "two" (no data), "three" (61 frames).
void putThreeWords(worddata::WordDataStore& store)
{
    EXPECT_EQ(store.SetNewVoc({"one", "two", "three"}, 3), 0);
    const auto one = storedWord(41), three = storedWord(61, 500.0);
    EXPECT_EQ(store.PutWordData(1, one.features, one.samples, 41, "one"), 0);
    EXPECT_EQ(store.PutWordData(3, three.features, three.samples, 61, "three"), 0);
}

// An analyser over a store of words, with the word displays as its view.
struct Browser {
    Rig rig;
    WordDisplays displays;
    DisplaysView view{rig.profiler, displays};
    Profiler& p = rig.profiler;

    explicit Browser(std::vector<std::string> list, int index)
    {
        p.setView(&view);
        putThreeWords(p.wordData());
        p.wordList = std::move(list);
        p.listIndex = index;
    }
};

TEST(StoredWords, StepsThroughTheList)
{
    struct Row {
        const char* what;
        int start;
        bool next;
        int selected;
    };
    const Row rows[] = {
        {"next from none", -1, true, 0},    {"previous from none", -1, false, 0},
        {"next from first", 0, true, 1},    {"previous from first", 0, false, 0},
        {"next from last", 2, true, 2},     {"previous from last", 2, false, 1},
        {"previous past the end", 7, false, 2},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        Browser b({"a", "b", "c"}, row.start);
        if (row.next)
            b.p.NextWord();
        else
            b.p.PreviousWord();
        EXPECT_EQ(b.p.listIndex, row.selected);
        const bool shown = row.selected != 1;  // word 2 holds no data
        EXPECT_EQ(b.p.status == 0, shown);
        EXPECT_EQ(b.displays.wordShown(), shown);
        EXPECT_EQ(b.view.displays, 1);
    }
}

TEST(StoredWords, EmptyListDoesNothing)
{
    Browser b({}, -1);
    const auto shown = storedWord(61);
    ASSERT_TRUE(b.displays.showWord(shown.source()));
    b.p.NextWord();
    b.p.PreviousWord();
    b.p.ShowStoredWord();
    EXPECT_EQ(b.p.listIndex, -1);
    EXPECT_EQ(b.view.displays, 0);
    EXPECT_TRUE(b.displays.wordShown());  // untouched
}

TEST(StoredWords, ShownWordLaidOutWithItsMargins)
{
    Browser b({"a", "b", "c"}, 2);
    b.p.ShowStoredWord();
    ASSERT_EQ(b.p.status, 0);
    EXPECT_EQ(b.p.sampleCount, 61 * 80);
    EXPECT_EQ(b.p.wStart, 10);
    EXPECT_EQ(b.p.wStop, 51);
    EXPECT_EQ(b.p.startSample, 800);
    EXPECT_EQ(b.p.endSample, 4080);
    EXPECT_EQ(b.p.wordList[2], "three");
    EXPECT_EQ(b.displays.frameCaption(), "FRAME #21 (FROM 41)");
    // Played with 50 ms on each side.
    b.p.PlayToken();
    EXPECT_EQ(b.rig.engine.lastPlayCount, 4080 - 800 + 800);
}

TEST(StoredWords, WordsThatCannotBeShownClearThePanes)
{
    const auto one = storedWord(41);
    // A store whose .rec is missing: features only.
    talvor::test::TempDir dir;
    worddata::WordDataStore saved;
    saved.SetNewVoc({"one"}, 1);
    saved.PutWordData(1, one.features, one.samples, 41, "one");
    const std::string lab = dir.path() + "/v.lab";
    ASSERT_EQ(saved.Save_Data(lab), 0);
    for (const auto& entry : std::filesystem::directory_iterator(dir.path()))
        if (entry.path().extension() == ".rec")
            std::filesystem::remove(entry.path());

    struct Row {
        const char* what;
        std::function<void(worddata::WordDataStore&)> make;
        std::int32_t status;  // the window's: the store's status, 10 for an empty table
    };
    const Row rows[] = {
        {"empty table", [](worddata::WordDataStore& s) { s.NewVoc(0); }, StatusNoToken},
        {"word without data", [](worddata::WordDataStore& s) { s.SetNewVoc({"x"}, 1); }, 1},
        {"store without .rec", [&](worddata::WordDataStore& s) { ASSERT_EQ(s.Open_Data(lab, "v.lab"), 0); }, 4},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        Browser b({"a", "b"}, 0);
        row.make(b.p.wordData());
        const auto before = storedWord(61);
        ASSERT_TRUE(b.displays.showWord(before.source()));
        b.p.ShowStoredWord();
        EXPECT_EQ(b.p.status, row.status);
        EXPECT_FALSE(b.displays.wordShown());
        EXPECT_TRUE(b.displays.waveScene().empty());  // no previous picture under the new name
        // Nothing that could be played.
        b.rig.engine.calls.clear();
        b.p.PlayToken();
        EXPECT_EQ(b.rig.engine.count("OpenSoundCardOut"), 0);
    }
}

TEST(StoredWords, EntryBeyondTheStoreShowsAndRenamesTheWordUsed)
{
    Browser b({"a", "b", "c", "d", "e"}, 4);  // word 5: the store moves to word 3
    b.p.ShowStoredWord();
    EXPECT_EQ(b.p.status, 0);
    EXPECT_TRUE(b.displays.wordShown());
    EXPECT_EQ(b.p.wordList[2], "three");
    EXPECT_EQ(b.p.wordList[4], "e");
}

}  // namespace
}  // namespace talvor::analyser::test
