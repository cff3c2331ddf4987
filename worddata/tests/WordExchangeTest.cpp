#include <filesystem>
#include <gtest/gtest.h>

#include "StoreFixture.h"
#include "common/FileNames.h"
#include "common/VocabularyFile.h"
#include "testing/TempDir.h"
#include "worddata/WordDataStore.h"

using namespace talvor;
using namespace talvor::worddata;
using namespace talvor::worddata::fixture;

namespace {

// Five words over 200 frames of patterned data: word 3 is the 41/120 example,
// word 4 runs past the data's end, word 5 has a negative offset.
const std::vector<WordRow> kOddRows = {
    row(1, " 30", " 0", "one"),  row(2, " 0", " 50", "two"),   row(3, " 41", " 120", "yes"),
    row(4, " 10", " 190", "four"), row(5, " 5", "-3", "neg"),
};

// Four contiguous words over 136 frames: 0..49, (empty at 50), 50..110, 111..135.
const std::vector<WordRow> kTightRows = {
    row(1, " 30", " 0", "one"), row(2, " 0", " 50", "two"), row(3, " 41", " 50", "three"), row(4, " 5", " 111", "four"),
};

class WordExchange : public ::testing::Test {
protected:
    // Opens a recording of `rows` with the given frames of .par/.rec (-1: no file).
    void open(const std::vector<WordRow>& rows, std::int64_t parFrames, std::int64_t recFrames)
    {
        const std::string title = "r" + std::to_string(m_serial++);
        writeRecording(m_dir.path(), title, rows, parFrames, recFrames);
        ASSERT_EQ(store.Open_Data(m_dir.path() + "/" + title + ".lab", title + ".lab"), 0);
    }
    const std::string& dir() const { return m_dir.path(); }

    WordDataStore store;

private:
    talvor::test::TempDir m_dir;
    int m_serial = 0;
};

struct Delivered {
    std::int32_t i, status, nFrames;
    std::string name;
    std::int64_t firstFrame = -1;  // frame of v[0] / s[0] when delivered; -1: untouched
    bool features = false, samples = false;
};

void expectDelivered(const WordDataStore& store, std::int32_t i, const Delivered& want, std::size_t vRoom = 100000,
                     std::size_t sRoom = 400000)
{
    std::vector<float> v(vRoom, -1.0f);
    std::vector<std::int16_t> s(sRoom, -1);
    std::int32_t nFrames = 12345, status = 99;
    std::string name = "untouched";
    store.GetWordData(i, v, s, nFrames, name, status);
    EXPECT_EQ(i, want.i);
    EXPECT_EQ(status, want.status);
    EXPECT_EQ(nFrames, want.nFrames);
    EXPECT_EQ(name, want.name);
    const std::int64_t f0 = want.firstFrame;
    if (want.features) {
        for (std::int64_t k = 0; k < 20 * std::int64_t(nFrames); ++k)
            ASSERT_EQ(v[std::size_t(k)], float((f0 + k / 20) * 100 + k % 20)) << k;
        EXPECT_EQ(v[std::size_t(20 * nFrames)], -1.0f);  // nothing beyond the word
    } else {
        EXPECT_EQ(v[0], -1.0f);
    }
    if (want.samples) {
        for (std::int64_t k = 0; k < 80 * std::int64_t(nFrames); ++k)
            ASSERT_EQ(s[std::size_t(k)], std::int16_t(f0 * 80 + k)) << k;
        EXPECT_EQ(s[std::size_t(80 * nFrames)], -1);
    } else {
        EXPECT_EQ(s[0], -1);
    }
}

}  // namespace

TEST_F(WordExchange, GetWordDataStatusCodes)
{
    struct Case {
        const char* name;
        std::int64_t parFrames, recFrames;
        std::int32_t i;
        Delivered want;
    };
    const Case cases[] = {
        // The 41/120 example: 61 frames, features 2400..3619, samples 9600..14479.
        {"41 at 120", 200, 200, 3, {3, 0, 61, "yes", 120, true, true}},
        {"i below 1", 200, 200, 0, {1, -2, 50, "one", 0, true, true}},
        {"i far below 1", 200, 200, -7, {1, -2, 50, "one", 0, true, true}},
        {"i beyond the last word, which fails", 200, 200, 9, {5, 5, 25, "neg"}},
        {"no data", 200, 200, 2, {2, 1, 0, "two"}},
        {"span past the end", 200, 200, 4, {4, 5, 30, "four"}},
        {"negative offset", 200, 200, 5, {5, 5, 25, "neg"}},
        {"no features: samples not tried", -1, 200, 3, {3, 2, 61, "yes"}},
        {"no samples", 200, -1, 3, {3, 4, 61, "yes", 120, true, false}},
        {"samples too short", 200, 180, 3, {3, 5, 61, "yes", 120, true, false}},
        {"features too short", 180, 200, 3, {3, 3, 61, "yes", 120, false, true}},
        {"features too short, no samples", 180, -1, 3, {3, 4, 61, "yes"}},
        {"data ends exactly with the word", 181, 181, 3, {3, 0, 61, "yes", 120, true, true}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        open(kOddRows, c.parFrames, c.recFrames);
        expectDelivered(store, c.i, c.want);
    }

    // i beyond the last word of a table whose last word is complete: -1 stays.
    open({row(1, " 30", " 0", "one")}, 50, 50);
    expectDelivered(store, 4, {1, -1, 50, "one", 0, true, true});
}

TEST_F(WordExchange, CopiesAreBoundedByTheCallersRoom)
{
    open(kOddRows, 200, 200);
    expectDelivered(store, 3, {3, 3, 61, "yes", 120, false, true}, 61 * 20 - 1);
    expectDelivered(store, 3, {3, 5, 61, "yes", 120, true, false}, 100000, 61 * 80 - 1);
    expectDelivered(store, 3, {3, 0, 61, "yes", 120, true, true}, 61 * 20 + 1, 61 * 80 + 1);
}

TEST_F(WordExchange, AnEmptyTableDeliversNothing)
{
    writeFileWhole(dir() + "/none.lab", "");
    ASSERT_EQ(store.Open_Data(dir() + "/none.lab", "none.lab"), 0);
    expectDelivered(store, 3, {1, -2, 0, ""});
    expectDelivered(store, 0, {1, -2, 0, ""});
    WordData w;
    w.i = 1;
    std::int32_t status = 0;
    store.GetWordData(w, status);
    EXPECT_EQ(status, -2);
    EXPECT_TRUE(w.v.empty());
}

TEST_F(WordExchange, WordDataRecordHoldsWhatWasDelivered)
{
    open(kOddRows, 200, 180);
    WordData w;
    w.i = 3;
    std::int32_t status = 0;
    store.GetWordData(w, status);
    EXPECT_EQ(status, 5);
    EXPECT_EQ(w.nFrames, 61);
    ASSERT_EQ(w.v.size(), 61u * 20);
    EXPECT_EQ(w.v[0], 12000.0f);
    EXPECT_EQ(w.v.back(), 18019.0f);
    EXPECT_TRUE(w.s.empty());
    // A huge length cell asks for no memory beyond the data.
    open({row(1, " 2000000000", " 0", "huge")}, 10, 10);
    w.i = 1;
    store.GetWordData(w, status);
    EXPECT_EQ(status, 5);
    EXPECT_TRUE(w.v.empty());
}

namespace {

std::vector<float> newFeatures(std::int32_t frames) 
{
    std::vector<float> v(std::size_t(frames) * 20);
    for (std::size_t k = 0; k < v.size(); ++k)
        v[k] = -float(k + 1);
    return v;
}

std::vector<std::int16_t> newSamples(std::int32_t frames)
{
    std::vector<std::int16_t> s(std::size_t(frames) * 80);
    for (std::size_t k = 0; k < s.size(); ++k)
        s[k] = std::int16_t(-std::int32_t(k % 30000) - 1);
    return s;
}

}  // namespace

TEST_F(WordExchange, PutWordDataMovesLaterWordsAndOffsets)
{
    struct Case {
        const char* name;
        std::int32_t i, nFrames;
    };
    const Case cases[] = {
        {"longer rewrite in the middle", 3, 70},   {"shorter rewrite in the middle", 3, 40},
        {"same length", 3, 61},                    {"fill the empty word in the middle", 2, 30},
        {"longer rewrite of the last word", 4, 40}, {"shorter rewrite of the first word", 1, 21},
        {"remove a word", 3, 0},                   {"remove the last word", 4, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        open(kTightRows, 136, 136);
        // What every word holds before.
        std::vector<WordData> before(5);
        for (std::int32_t k = 1; k <= 4; ++k) {
            before[std::size_t(k)].i = k;
            std::int32_t st = 0;
            store.GetWordData(before[std::size_t(k)], st);
        }
        const auto old = snapshot(store);
        const std::int64_t oldFrames = cellNumber(old.rows[std::size_t(c.i)][ColLength]) > 0
                                           ? cellNumber(old.rows[std::size_t(c.i)][ColLength]) + 20
                                           : 0;
        const std::int64_t d = c.nFrames - oldFrames;

        ASSERT_EQ(store.PutWordData(c.i, newFeatures(c.nFrames), newSamples(c.nFrames), c.nFrames, "new"), 0)
            << store.lastError();
        EXPECT_EQ(store.featureCount(), 136 * 20 + 20 * d);
        EXPECT_EQ(store.sampleCount(), 136 * 80 + 80 * d);
        const auto now = snapshot(store);
        for (std::int32_t k = 1; k <= 4; ++k) {
            SCOPED_TRACE(k);
            const auto& was = old.rows[std::size_t(k)];
            const auto& is = now.rows[std::size_t(k)];
            EXPECT_EQ(is[ColIndex], was[ColIndex]);
            EXPECT_EQ(is[ColIdent], was[ColIdent]);
            const std::int64_t wantOffset = cellNumber(was[ColOffset]) + (k > c.i ? d : 0);
            EXPECT_EQ(is[ColOffset], signedDecimal(wantOffset));
            WordData w;
            w.i = k;
            std::int32_t st = 0;
            store.GetWordData(w, st);
            if (k != c.i) {
                EXPECT_EQ(is[ColName], was[ColName]);
                EXPECT_EQ(is[ColLength], was[ColLength]);
                EXPECT_EQ(w.v, before[std::size_t(k)].v);  // other words unchanged
                EXPECT_EQ(w.s, before[std::size_t(k)].s);
            } else {
                EXPECT_EQ(is[ColName], "new");
                EXPECT_EQ(is[ColLength], signedDecimal(std::int64_t(c.nFrames) - 20));
                if (c.nFrames > 0) {
                    EXPECT_EQ(st, 0);
                    EXPECT_EQ(w.v, newFeatures(c.nFrames));
                    EXPECT_EQ(w.s, newSamples(c.nFrames));
                } else {
                    EXPECT_EQ(is[ColLength], "-20");
                    EXPECT_EQ(st, 1);
                }
            }
        }
    }
}

TEST_F(WordExchange, FillingANewTableAppendsInWordOrder)
{
    ASSERT_EQ(store.NewVoc(3), 0);
    ASSERT_EQ(store.PutWordData(1, newFeatures(61), newSamples(61), 61, "one"), 0);
    EXPECT_EQ(store.cell(1, ColLength), " 41");
    EXPECT_EQ(store.cell(1, ColOffset), " 0");
    EXPECT_EQ(store.cell(2, ColOffset), " 61");
    EXPECT_EQ(store.cell(3, ColOffset), " 61");
    ASSERT_EQ(store.PutWordData(3, newFeatures(25), newSamples(25), 25, "three"), 0);
    ASSERT_EQ(store.PutWordData(2, newFeatures(30), newSamples(30), 30, "two"), 0);
    EXPECT_EQ(store.cell(3, ColOffset), " 91");
    EXPECT_EQ(store.featureCount(), (61 + 30 + 25) * 20);
    WordData w;
    w.i = 3;
    std::int32_t st = 0;
    store.GetWordData(w, st);
    EXPECT_EQ(st, 0);
    EXPECT_EQ(w.v, newFeatures(25));

    // Saved and opened again, the words are the same.
    ASSERT_EQ(store.Save_Data(dir() + "/filled.lab"), 0);
    WordDataStore back;
    ASSERT_EQ(back.Open_Data(dir() + "/filled.lab", "filled.lab"), 0);
    for (std::int32_t k = 1; k <= 3; ++k) {
        WordData a, b;
        a.i = b.i = k;
        std::int32_t sa = 0, sb = 0;
        store.GetWordData(a, sa);
        back.GetWordData(b, sb);
        EXPECT_EQ(sb, 0);
        EXPECT_EQ(b.v, a.v);
        EXPECT_EQ(b.s, a.s);
        EXPECT_EQ(b.name, a.name);
    }
}

TEST_F(WordExchange, PutWordDataRejectionsLeaveTheStoreUnchanged)
{
    struct Messages : MessageOutput {
        std::vector<std::string> shown;
        void showError(const std::string& t) override { shown.push_back(t); }
    } messages;
    store.setMessageOutput(&messages);

    struct Case {
        const char* name;
        const std::vector<WordRow>* rows;
        std::int64_t parFrames, recFrames;
        std::int32_t i, nFrames;
        std::size_t vFrames, sFrames;
        std::string wordName;
        const char* because;
    };
    const Case cases[] = {
        {"word number 0", &kTightRows, 136, 136, 0, 30, 30, 30, "x", "words 1 to 4"},
        {"word number beyond", &kTightRows, 136, 136, 5, 30, 30, 30, "x", "words 1 to 4"},
        {"negative frame count", &kTightRows, 136, 136, 2, -1, 30, 30, "x", "margin"},
        {"only margin frames", &kTightRows, 136, 136, 2, 20, 30, 30, "x", "margin"},
        {"features shorter than the frames", &kTightRows, 136, 136, 2, 30, 29, 30, "x", "shorter"},
        {"samples shorter than the frames", &kTightRows, 136, 136, 2, 30, 30, 29, "x", "shorter"},
        {"a TAB in the name", &kTightRows, 136, 136, 2, 30, 30, 30, "a\tb", "control character"},
        {"old span past the data", &kOddRows, 200, 200, 4, 30, 30, 30, "x", "outside the loaded data"},
        {"negative old offset", &kOddRows, 200, 200, 5, 30, 30, 30, "x", "outside the loaded data"},
        {"features but no samples", &kTightRows, 136, -1, 3, 30, 30, 30, "x", "outside the loaded data"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        open(*c.rows, c.parFrames, c.recFrames);
        const auto before = snapshot(store);
        messages.shown.clear();
        EXPECT_NE(store.PutWordData(c.i, newFeatures(std::int32_t(c.vFrames)), newSamples(std::int32_t(c.sFrames)),
                                    c.nFrames, c.wordName),
                  0);
        EXPECT_EQ(snapshot(store), before);
        ASSERT_EQ(messages.shown.size(), 1u);
        EXPECT_NE(messages.shown[0].find(c.because), std::string::npos) << messages.shown[0];
    }
    // An empty table has no word to write into.
    ASSERT_EQ(store.NewVoc(0), 0);
    EXPECT_NE(store.PutWordData(1, newFeatures(30), newSamples(30), 30, "x"), 0);
    EXPECT_EQ(store.Rows(), 1);
}

TEST_F(WordExchange, WordNamesAndTablesFromVocabularies)
{
    ASSERT_EQ(store.SetNewVoc({"one", "two", "three"}, 3), 0);
    std::vector<std::string> t{"keep"};
    std::int32_t n = 0;
    store.GetWordNames(t, n);
    EXPECT_EQ(n, 3);
    EXPECT_EQ(t, (std::vector<std::string>{"keep", "one", "two", "three"}));
    EXPECT_EQ(store.cell(3, ColIndex), " 3");
    EXPECT_EQ(store.cell(3, ColIdent), " 2");
    EXPECT_EQ(store.cell(3, ColLength), " 0");
    EXPECT_EQ(store.savedFlag(), 0);

    const auto before = snapshot(store);
    EXPECT_EQ(store.SetNewVoc({"one", "two"}, 3), -1);
    EXPECT_EQ(store.SetNewVoc({"one", "t\two"}, 2), -1);
    EXPECT_EQ(snapshot(store), before);

    // NewLab reads <path>.VOC; the file is "digits.voc".
    std::filesystem::create_directories(dir() + "/DATA/digits");
    ASSERT_TRUE(writeVocabularyFile(dir() + "/DATA/digits/digits.voc", {"zero", "one", "two", "three", "four"}));
    ASSERT_EQ(store.NewLab(dir() + "/DATA/digits/digits", "SAB01"), 0) << store.lastError();
    t.clear();
    store.GetWordNames(t, n);
    EXPECT_EQ(n, 5);
    EXPECT_EQ(t[1], "zero");
    EXPECT_EQ(t[5], "four");
    EXPECT_EQ(store.featureCount(), 0);

    const auto loaded = snapshot(store);
    writeFileWhole(dir() + "/DATA/digits/short.voc", " 4 \r\n0  a\r\n1  b\r\n");
    EXPECT_EQ(store.NewLab(dir() + "/DATA/digits/short", ""), -1);
    EXPECT_NE(store.lastError().find("announces 4 words"), std::string::npos) << store.lastError();
    EXPECT_EQ(store.NewLab(dir() + "/DATA/digits/missing", ""), -1);
    EXPECT_EQ(snapshot(store), loaded);

    // GetWordNames on an empty table.
    ASSERT_EQ(store.NewVoc(0), 0);
    store.GetWordNames(t, n);
    EXPECT_EQ(n, 0);
}

TEST_F(WordExchange, PutWordDataRewritesLaterOffsetsAsSignedDecimal)
{
    // A hand-edited table whose later offsets lack the leading blank: a word
    // rewritten at its old length writes them anew, moved by 0.
    const std::vector<WordRow> rows = {row(1, " 30", " 0", "one"), row(2, " 41", "50", "two"),
                                       row(3, " 5", "111", "three")};
    open(rows, 136, 136);
    ASSERT_EQ(store.PutWordData(1, newFeatures(50), newSamples(50), 50, "one"), 0) << store.lastError();
    EXPECT_EQ(store.cell(1, ColOffset), " 0");
    EXPECT_EQ(store.cell(2, ColOffset), " 50");
    EXPECT_EQ(store.cell(3, ColOffset), " 111");
}

TEST_F(WordExchange, PutWordDataFromTheStoresOwnData)
{
    // Word 3's stored span written into word 1 straight from the store's
    // arrays: the data must be taken before the arrays move.
    open(kTightRows, 136, 136);
    WordData three;
    three.i = 3;
    std::int32_t st = 0;
    store.GetWordData(three, st);
    ASSERT_EQ(st, 0);
    const std::span<const float> v(store.featureData().data() + 50 * 20, 61 * 20);
    const std::span<const std::int16_t> s(store.sampleData().data() + 50 * 80, 61 * 80);
    ASSERT_EQ(store.PutWordData(1, v, s, 61, "copy"), 0) << store.lastError();
    WordData one;
    one.i = 1;
    store.GetWordData(one, st);
    EXPECT_EQ(st, 0);
    EXPECT_EQ(one.v, three.v);
    EXPECT_EQ(one.s, three.s);
    WordData moved;
    moved.i = 3;
    store.GetWordData(moved, st);
    EXPECT_EQ(moved.v, three.v);  // word 3 itself moved up by 11 frames, unchanged
    EXPECT_EQ(store.cell(3, ColOffset), " 61");
}

TEST_F(WordExchange, PutWordDataKeepsTheFilesOpenable)
{
    // 49,999 frames are 999,980 feature values and 3,999,920 samples: below
    // the limits of the .par and .rec readers.  One frame more would make
    // files that the next opening refuses.
    ASSERT_EQ(store.NewVoc(2), 0);
    ASSERT_EQ(store.PutWordData(1, newFeatures(49999), newSamples(49999), 49999, "long"), 0) << store.lastError();
    const auto before = snapshot(store);
    EXPECT_NE(store.PutWordData(2, newFeatures(21), newSamples(21), 21, "more"), 0);
    EXPECT_NE(store.lastError().find("cannot be opened again"), std::string::npos) << store.lastError();
    EXPECT_EQ(snapshot(store), before);
    // Shorter is always fine.
    ASSERT_EQ(store.PutWordData(1, newFeatures(49000), newSamples(49000), 49000, "long"), 0) << store.lastError();
    ASSERT_EQ(store.PutWordData(2, newFeatures(999), newSamples(999), 999, "more"), 0) << store.lastError();

    ASSERT_EQ(store.Save_Data(dir() + "/long.lab"), 0) << store.lastError();
    WordDataStore back;
    ASSERT_EQ(back.Open_Data(dir() + "/long.lab", "long.lab"), 0);
    EXPECT_EQ(back.featureCount(), 49999 * 20);
    EXPECT_EQ(back.sampleCount(), 49999 * 80);
    EXPECT_EQ(back.lblFilePar(), "long.par");
}
