#include "analyser/StoredWordBrowser.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "DisplayFixtures.h"
#include "testing/TempDir.h"

namespace talvor::analyser {
namespace {

using testing::storedWord;

class FakeList : public WordList {
public:
    std::vector<std::string> items;
    int index = -1;
    int selects = 0;
    int count() const override { return int(items.size()); }
    int currentIndex() const override { return index; }
    void select(int i) override
    {
        index = i;
        ++selects;
    }
    void setText(int i, const std::string& text) override { items.at(std::size_t(i)) = text; }
};

// A store of three words: "one" (41 frames), "two" (no data), "three" (61 frames).
worddata::WordDataStore threeWords()
{
    worddata::WordDataStore store;
    EXPECT_EQ(store.SetNewVoc({"one", "two", "three"}, 3), 0);
    const auto one = storedWord(41), three = storedWord(61, 500.0);
    EXPECT_EQ(store.PutWordData(1, one.features, one.samples, 41, "one"), 0);
    EXPECT_EQ(store.PutWordData(3, three.features, three.samples, 61, "three"), 0);
    return store;
}

TEST(StoredWordBrowser, StepsThroughTheList)
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
    const auto store = threeWords();
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        FakeList list;
        list.items = {"a", "b", "c"};
        list.index = row.start;
        WordDisplays d;
        const StoredWord w = row.next ? nextWord(list, store, d) : previousWord(list, store, d);
        EXPECT_EQ(list.index, row.selected);
        EXPECT_EQ(w.wordNumber, row.selected + 1);
        EXPECT_EQ(w.shown, row.selected != 1);  // word 2 holds no data
        EXPECT_EQ(d.wordShown(), w.shown);
    }
}

TEST(StoredWordBrowser, EmptyListDoesNothing)
{
    const auto store = threeWords();
    FakeList list;
    WordDisplays d;
    const auto shown = storedWord(61);
    ASSERT_TRUE(d.showWord(shown.source()));
    EXPECT_FALSE(nextWord(list, store, d).shown);
    EXPECT_FALSE(previousWord(list, store, d).shown);
    EXPECT_EQ(list.selects, 0);
    EXPECT_TRUE(d.wordShown());  // untouched
}

TEST(StoredWordBrowser, ShownWordLaidOutWithItsMargins)
{
    const auto store = threeWords();
    FakeList list;
    list.items = {"a", "b", "c"};
    list.index = 2;
    WordDisplays d;
    const StoredWord w = showStoredWord(list, store, d);
    ASSERT_TRUE(w.shown);
    EXPECT_EQ(w.status, 0);
    EXPECT_EQ(w.frames, 61);
    EXPECT_EQ(w.sampleCount, 61 * 80);
    EXPECT_EQ(w.wStart, 10);
    EXPECT_EQ(w.wStop, 51);
    EXPECT_EQ(w.startSample, 800);
    EXPECT_EQ(w.endSample, 4080);
    EXPECT_TRUE(w.playable());
    EXPECT_EQ(list.items[2], "three");
    EXPECT_EQ(d.frameCaption(), "FRAME #21 (FROM 41)");
}

TEST(StoredWordBrowser, WordsThatCannotBeShownClearThePanes)
{
    const auto one = storedWord(41);
    struct Row {
        const char* what;
        worddata::WordDataStore store;
        int listIndex;
        int storeStatus;
        int usedWord;
        bool playable;
    };
    worddata::WordDataStore empty;
    empty.NewVoc(0);
    worddata::WordDataStore noData;
    noData.SetNewVoc({"x"}, 1);
    // A store whose .rec is missing: features only.
    test::TempDir dir;
    worddata::WordDataStore saved;
    saved.SetNewVoc({"one"}, 1);
    saved.PutWordData(1, one.features, one.samples, 41, "one");
    const std::string lab = dir.path() + "/v.lab";
    ASSERT_EQ(saved.Save_Data(lab), 0);
    for (const auto& entry : std::filesystem::directory_iterator(dir.path()))
        if (entry.path().extension() == ".rec")
            std::filesystem::remove(entry.path());
    worddata::WordDataStore noRec;
    ASSERT_EQ(noRec.Open_Data(lab, "v.lab"), 0);

    Row rows[] = {
        {"empty table", std::move(empty), 0, -2, 1, false},
        {"word without data", std::move(noData), 0, 1, 1, false},
        {"store without .rec", std::move(noRec), 0, 4, 1, false},
    };
    for (Row& row : rows) {
        SCOPED_TRACE(row.what);
        FakeList list;
        list.items = {"a", "b"};
        list.index = row.listIndex;
        WordDisplays d;
        const auto before = storedWord(61);
        ASSERT_TRUE(d.showWord(before.source()));
        const StoredWord w = showStoredWord(list, row.store, d);
        EXPECT_FALSE(w.shown);
        EXPECT_EQ(w.storeStatus, row.storeStatus);
        EXPECT_EQ(w.playable(), row.playable);
        EXPECT_FALSE(d.wordShown());
        EXPECT_TRUE(d.waveScene().empty());  // no previous picture under the new name
    }
}

TEST(StoredWordBrowser, EntryBeyondTheStoreShowsAndRenamesTheWordUsed)
{
    const auto store = threeWords();
    FakeList list;
    list.items = {"a", "b", "c", "d", "e"};
    list.index = 4;  // word 5: the store moves to word 3
    WordDisplays d;
    const StoredWord w = showStoredWord(list, store, d);
    EXPECT_EQ(w.storeStatus, -1);
    EXPECT_EQ(w.status, 0);
    EXPECT_EQ(w.wordNumber, 3);
    EXPECT_TRUE(w.shown);
    EXPECT_EQ(list.items[2], "three");
    EXPECT_EQ(list.items[4], "e");
}

}  // namespace
}  // namespace talvor::analyser
