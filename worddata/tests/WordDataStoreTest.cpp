#include "worddata/WordDataStore.h"

#include <cstring>
#include <filesystem>
#include <tuple>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include "StoreFixture.h"
#include "common/FileNames.h"
#include "common/NameCheck.h"
#include "testing/TempDir.h"

using namespace talvor;
using namespace talvor::worddata;
using namespace talvor::worddata::fixture;
namespace fs = std::filesystem;

namespace {

std::string fileBytes(const std::string& path)
{
    std::string b;
    readFileWhole(path, &b);
    return b;
}

void makeSparse(const std::string& path, off_t size)
{
    writeFileWhole(path, "");
    ASSERT_EQ(::truncate(path.c_str(), size), 0);
}

const std::vector<WordRow> kThreeWords = {
    row(1, " 30", " 0", "one"),
    row(2, " 41", " 50", "two"),
    row(3, " 5", " 111", "three"),
};  // 50 + 61 + 25 = 136 frames

}  // namespace

TEST(WordDataStore, StartsAsANewTableOfOneWord)
{
    WordDataStore s;
    EXPECT_EQ(s.featuresPerFrame(), 20);
    EXPECT_EQ(s.frameShift(), 80);
    EXPECT_EQ(s.marginFrames(), 10);
    ASSERT_EQ(s.Rows(), 2);
    for (int c = 0; c < kWordTableColumns; ++c)
        EXPECT_EQ(s.cell(0, c), kWordTableHeaders[c]);
    EXPECT_EQ(snapshot(s).rows[1], (WordRow{" 1", " 0", " 0", " 0", "(none)"}));
    EXPECT_EQ(s.lblName(), "(untitled)");
    EXPECT_EQ(s.lblWords(), " 1");
    EXPECT_EQ(s.lblFilePar(), "none");
    EXPECT_EQ(s.lblFileRec(), "none");
    EXPECT_EQ(s.dialogFileName(), "*.lab");
    EXPECT_EQ(s.savedFlag(), 0);
    EXPECT_EQ(s.featureCount(), 0);
    EXPECT_EQ(s.sampleCount(), 0);
    EXPECT_EQ(s.currentRow(), 1);
}

TEST(WordDataStore, NewVocReplacesTheTable)
{
    talvor::test::TempDir dir;
    std::vector<WordRow> ten;
    for (int k = 1; k <= 10; ++k)
        ten.push_back(row(k, " 1", " 0", "w"));
    writeRecording(dir.path(), "ten", ten, 300, 300);
    WordDataStore s;
    ASSERT_EQ(s.Open_Data(dir.path() + "/ten.lab", "ten.lab"), 0);
    ASSERT_EQ(s.Rows(), 11);
    ASSERT_EQ(s.savedFlag(), 1);

    ASSERT_EQ(s.NewVoc(3), 0);
    const auto snap = snapshot(s);
    ASSERT_EQ(snap.rows.size(), 4u);
    EXPECT_EQ(snap.rows[1], (WordRow{" 1", " 0", " 0", " 0", "(none)"}));
    EXPECT_EQ(snap.rows[2], (WordRow{" 2", " 1", " 0", " 0", "(none)"}));
    EXPECT_EQ(snap.rows[3], (WordRow{" 3", " 2", " 0", " 0", "(none)"}));
    EXPECT_EQ(s.featureCount(), 0);
    EXPECT_EQ(s.sampleCount(), 0);
    EXPECT_EQ(s.savedFlag(), 0);
    EXPECT_EQ(s.lblWords(), " 3");

    // A table of no words, then one word again: no row is lost on the way.
    ASSERT_EQ(s.NewVoc(0), 0);
    EXPECT_EQ(s.Rows(), 1);
    ASSERT_EQ(s.NewVoc(2), 0);
    EXPECT_EQ(s.Rows(), 3);
    const auto before = snapshot(s);
    EXPECT_EQ(s.NewVoc(-1), -1);
    EXPECT_EQ(snapshot(s), before);
}

TEST(WordDataStore, CopyRoutinesKeepTheirOrder)
{
    std::vector<float> a{0, 1, 2, 3, 4, 5, 6, 7, 8, 9};
    // Falling order: 6 -> 7, then 5 -> 6, then 4 -> 5, so nothing is overwritten too early.
    ASSERT_EQ(WordDataStore::CopyVector(a, 5, -3, a, 4), 0);
    EXPECT_EQ(a, (std::vector<float>{0, 1, 2, 3, 4, 4, 5, 6, 8, 9}));
    // Rising order moves data down inside one array.
    std::vector<float> b{0, 1, 2, 3, 4, 5, 6, 7, 8, 9};
    ASSERT_EQ(WordDataStore::CopyVector(b, 2, 3, b, 5), 0);
    EXPECT_EQ(b, (std::vector<float>{0, 1, 5, 6, 7, 5, 6, 7, 8, 9}));
    EXPECT_EQ(WordDataStore::CopyVector(b, 0, 0, b, 99), 0);  // nothing to copy

    // Bit for bit: a NaN payload and -0 survive.
    std::vector<std::uint32_t> bits{0x7fc01234u, 0x80000000u};
    std::vector<float> src(2), dst(2);
    std::memcpy(src.data(), bits.data(), 8);
    ASSERT_EQ(WordDataStore::CopyVector(dst, 0, 2, src, 0), 0);
    EXPECT_EQ(std::memcmp(dst.data(), bits.data(), 8), 0);

    std::vector<std::int16_t> c{1, 2, 3, 4};
    ASSERT_EQ(WordDataStore::CopySample(c, 1, -3, c, 0), 0);
    EXPECT_EQ(c, (std::vector<std::int16_t>{1, 1, 2, 3}));

    // An index outside either array copies nothing.
    const std::vector<float> kept = a;
    for (auto [sd, n, sS] : {std::tuple{8, 3, 0}, {0, 3, 8}, {-1, 2, 0}, {0, -11, 0}, {0, 2, -1}}) {
        SCOPED_TRACE(::testing::Message() << sd << " " << n << " " << sS);
        EXPECT_EQ(WordDataStore::CopyVector(a, sd, n, a, sS), -1);
        EXPECT_EQ(a, kept);
    }
    EXPECT_EQ(WordDataStore::CopySample(c, 3, 2, c, 0), -1);
}

TEST(WordDataStore, OpensTheThreeFiles)
{
    talvor::test::TempDir dir;
    writeRecording(dir.path(), "SAB01", kThreeWords, 136, 136);
    WordDataStore s;
    s.setDialogInitDir("/somewhere");
    ASSERT_EQ(s.NewVoc(10), 0);
    ASSERT_EQ(s.Open_Data(dir.path() + "/SAB01.lab", "SAB01.lab"), 0);
    const auto snap = snapshot(s);
    ASSERT_EQ(snap.rows.size(), 4u);  // exactly the file's 3 lines
    EXPECT_EQ(std::vector<WordRow>(snap.rows.begin() + 1, snap.rows.end()), kThreeWords);
    EXPECT_EQ(s.featureData(), patternFeatures(136));
    EXPECT_EQ(s.sampleData(), patternSamples(136));
    EXPECT_EQ(s.dataName(), dir.path() + "/SAB01.lab");
    EXPECT_EQ(s.lblName(), "SAB01");
    EXPECT_EQ(s.lblFilePar(), "SAB01.par");
    EXPECT_EQ(s.lblFileRec(), "SAB01.rec");
    EXPECT_EQ(s.lblWords(), " 3");
    EXPECT_EQ(s.currentRow(), 1);
    EXPECT_EQ(s.savedFlag(), 1);
    EXPECT_EQ(s.extension(1), ".lab");
    EXPECT_EQ(s.extension(2), ".par");
    EXPECT_EQ(s.extension(3), ".rec");
    EXPECT_EQ(s.dialogInitDir(), "");
}

TEST(WordDataStore, OpensHandEditedFilesWhateverTheCase)
{
    talvor::test::TempDir dir;
    writeRecording(dir.path(), "SAB01", kThreeWords, 136, 136);
    // LF line ends and other spellings of the three names.
    std::string lab = fileBytes(dir.path() + "/SAB01.lab");
    std::erase(lab, '\r');
    writeFileWhole(dir.path() + "/SAB01.lab", lab);
    fs::rename(dir.path() + "/SAB01.lab", dir.path() + "/sab01.LAB");
    fs::rename(dir.path() + "/SAB01.par", dir.path() + "/Sab01.PAR");
    fs::rename(dir.path() + "/SAB01.rec", dir.path() + "/sAB01.Rec");
    WordDataStore s;
    ASSERT_EQ(s.Open_Data(dir.path() + "/SAB01.lab", "SAB01.lab"), 0);
    EXPECT_EQ(s.Rows(), 4);
    EXPECT_EQ(s.cell(3, ColName), "three");
    EXPECT_EQ(s.featureCount(), 136 * 20);
    EXPECT_EQ(s.sampleCount(), 136 * 80);
}

TEST(WordDataStore, OpeningWithAFileMissing)
{
    talvor::test::TempDir dir;
    writeRecording(dir.path(), "w", kThreeWords, -1, 136);  // no .par
    WordDataStore s;
    ASSERT_EQ(s.Open_Data(dir.path() + "/w.lab", "w.lab"), 0);
    EXPECT_EQ(s.lblFilePar(), "File with parameters is not supported.");
    EXPECT_EQ(s.featureCount(), 0);
    EXPECT_EQ(s.sampleCount(), 136 * 80);  // the .rec is still read
    EXPECT_EQ(s.lblFileRec(), "w.rec");

    writeRecording(dir.path(), "v", kThreeWords, 136, -1);
    ASSERT_EQ(s.Open_Data(dir.path() + "/v.lab", "v.lab"), 0);
    EXPECT_EQ(s.lblFileRec(), "File with signal record is not supported.");
    EXPECT_EQ(s.sampleCount(), 0);
    EXPECT_EQ(s.featureCount(), 136 * 20);
}

TEST(WordDataStore, AnEmptyOrMissingLabClearsTheStore)
{
    talvor::test::TempDir dir;
    writeRecording(dir.path(), "full", kThreeWords, 136, 136);
    writeFileWhole(dir.path() + "/empty.lab", "");
    for (const char* title : {"empty", "missing"}) {
        SCOPED_TRACE(title);
        WordDataStore s;
        ASSERT_EQ(s.Open_Data(dir.path() + "/full.lab", "full.lab"), 0);
        const std::string lab = dir.path() + "/" + title + ".lab";
        ASSERT_EQ(s.Open_Data(lab, std::string(title) + ".lab"), 0);
        EXPECT_EQ(s.Rows(), 1);  // no word of the previous vocabulary under the new name
        EXPECT_EQ(s.featureCount(), 0);
        EXPECT_EQ(s.sampleCount(), 0);
        EXPECT_EQ(s.lblWords(), " 0");
        EXPECT_EQ(s.dataName(), lab);
        EXPECT_EQ(s.lblName(), title);
    }
}

TEST(WordDataStore, OpeningNothingChangesNothing)
{
    talvor::test::TempDir dir;
    writeRecording(dir.path(), "full", kThreeWords, 136, 136);
    WordDataStore s;
    ASSERT_EQ(s.Open_Data(dir.path() + "/full.lab", "full.lab"), 0);
    const auto before = snapshot(s);
    EXPECT_EQ(s.Open_Data("", ""), -1);
    EXPECT_EQ(s.Open_Data(dir.path() + "/none/x.lab", "x.lab"), -1);
    EXPECT_EQ(s.Open_Data("x.lab", "longer than the path.lab"), -1);
    EXPECT_EQ(snapshot(s), before);
}

TEST(WordDataStore, ValueFileSizeLimits)
{
    struct Case {
        const char* ext;
        off_t bytes;
        std::int32_t count;     // values read; 0 when refused
        const char* label;
    };
    const Case cases[] = {
        {".par", 4000000, 0, "w.par   is very long ( 1000000 B ) . Cannot open it!"},
        {".par", 4000003, 0, "w.par   is very long ( 1000000 B ) . Cannot open it!"},
        {".par", 3999996, 999999, "w.par"},
        {".par", 3999999, 999999, "w.par"},  // the partial value is not counted
        {".rec", 8000000, 0, "w.rec   is very long ( 4000000 B ) . Cannot open it!"},
        {".rec", 7999998, 3999999, "w.rec"},
        {".rec", 7999999, 3999999, "w.rec"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(::testing::Message() << c.ext << " " << c.bytes);
        talvor::test::TempDir dir;
        writeRecording(dir.path(), "w", kThreeWords, -1, -1);
        makeSparse(dir.path() + "/w" + c.ext, c.bytes);
        WordDataStore s;
        ASSERT_EQ(s.Open_Data(dir.path() + "/w.lab", "w.lab"), 0);
        const bool par = std::string(c.ext) == ".par";
        EXPECT_EQ(par ? s.featureCount() : s.sampleCount(), c.count);
        EXPECT_EQ(par ? s.lblFilePar() : s.lblFileRec(), c.label);
    }
}

TEST(WordDataStore, SaveWritesTheThreeFilesByteExact)
{
    talvor::test::TempDir dir;
    WordDataStore s;
    ASSERT_EQ(s.NewVoc(2), 0);
    const auto v = patternFeatures(25);
    const auto smp = patternSamples(25);
    ASSERT_EQ(s.PutWordData(1, v, smp, 25, "yes"), 0);
    const std::string lab = dir.path() + "/SAB01.lab";
    ASSERT_EQ(s.Save_Data(lab), 0) << s.lastError();
    // Word 2 has no data: its row is left out.
    EXPECT_EQ(fileBytes(lab), " 1\t 0\t 5\t 0\tyes\t\r\n");
    EXPECT_EQ(fileBytes(dir.path() + "/SAB01.par"), featureBytes(v));
    EXPECT_EQ(fileBytes(dir.path() + "/SAB01.rec"), sampleBytes(smp));
    EXPECT_EQ(s.savedFlag(), 1);
    EXPECT_EQ(s.dataName(), lab);
    EXPECT_EQ(s.dialogFileName(), lab);
    EXPECT_EQ(s.lblName(), dir.path() + "/SAB01");  // the full path after saving
    EXPECT_EQ(s.lblFilePar(), dir.path() + "/SAB01.par");
    EXPECT_EQ(s.lblFileRec(), dir.path() + "/SAB01.rec");
    // No staging file is left behind.
    int files = 0;
    for (auto& e : fs::directory_iterator(dir.path()))
        files += e.is_regular_file() ? 1 : 0;
    EXPECT_EQ(files, 3);
}

TEST(WordDataStore, SaveSkipsEmptyRowsButKeepsTheLaterOnes)
{
    talvor::test::TempDir dir;
    const std::vector<WordRow> rows = {
        row(1, " 30", " 0", "one"), row(2, " 41", " 50", "two"), row(3, " 0", " 111", "three"),
        row(4, " 5", " 111", "four"), row(5, " 0", " 136", "five"),
    };
    writeRecording(dir.path(), "in", rows, 136, 136);
    WordDataStore s;
    ASSERT_EQ(s.Open_Data(dir.path() + "/in.lab", "in.lab"), 0);
    ASSERT_EQ(s.SaveFiles(dir.path() + "/out.lab", "out.lab"), 0);
    EXPECT_EQ(fileBytes(dir.path() + "/out.lab"), labLine(rows[0]) + labLine(rows[1]) + labLine(rows[3]));
    // The arrays are written complete.
    EXPECT_EQ(fileBytes(dir.path() + "/out.par"), fileBytes(dir.path() + "/in.par"));
    EXPECT_EQ(fileBytes(dir.path() + "/out.rec"), fileBytes(dir.path() + "/in.rec"));
}

TEST(WordDataStore, SaveReplacesALongerFileAndRoundTrips)
{
    talvor::test::TempDir dir;
    writeRecording(dir.path(), "w", kThreeWords, 136, 136);
    writeFileWhole(dir.path() + "/out.par", std::string(100000, 'x'));
    WordDataStore s;
    ASSERT_EQ(s.Open_Data(dir.path() + "/w.lab", "w.lab"), 0);
    ASSERT_EQ(s.Save_Data(dir.path() + "/out.lab"), 0);
    EXPECT_EQ(fs::file_size(dir.path() + "/out.par"), 4u * std::uintmax_t(s.featureCount()));

    WordDataStore back;
    ASSERT_EQ(back.Open_Data(dir.path() + "/out.lab", "out.lab"), 0);
    EXPECT_EQ(snapshot(back).rows, snapshot(s).rows);
    EXPECT_EQ(back.featureData(), s.featureData());
    EXPECT_EQ(back.sampleData(), s.sampleData());
}

TEST(WordDataStore, AFailedSaveChangesNothing)
{
    talvor::test::TempDir dir;
    writeRecording(dir.path(), "w", kThreeWords, 136, 136);
    WordDataStore s;
    ASSERT_EQ(s.NewVoc(1), 0);
    ASSERT_EQ(s.PutWordData(1, patternFeatures(30), patternSamples(30), 30, "new"), 0);
    const auto before = snapshot(s);

    struct Messages : MessageOutput {
        std::vector<std::string> shown;
        void showError(const std::string& t) override { shown.push_back(t); }
    } messages;
    s.setMessageOutput(&messages);

    // The .rec cannot be replaced (a folder is in the way): the old .lab and
    // .par stay exactly as they were.
    fs::remove(dir.path() + "/w.rec");
    fs::create_directory(dir.path() + "/w.rec");
    const std::string oldLab = fileBytes(dir.path() + "/w.lab");
    const std::string oldPar = fileBytes(dir.path() + "/w.par");
    EXPECT_EQ(s.Save_Data(dir.path() + "/w.lab"), -1);
    EXPECT_EQ(fileBytes(dir.path() + "/w.lab"), oldLab);
    EXPECT_EQ(fileBytes(dir.path() + "/w.par"), oldPar);

    for (const std::string& bad : {dir.path() + "/no/such/folder/w.lab", std::string("abc"), dir.path() + "/w.txt",
                                   dir.path() + "/.lab", dir.path() + "/*.lab", std::string("*.lab")}) {
        SCOPED_TRACE(bad);
        EXPECT_EQ(s.Save_Data(bad), -1);
        EXPECT_FALSE(fs::exists(dir.path() + "/*.lab"));
    }
    EXPECT_EQ(snapshot(s), before);  // dataName, title, savedFlag untouched
    EXPECT_EQ(s.savedFlag(), 0);
    EXPECT_EQ(messages.shown.size(), 7u);
    EXPECT_EQ(messages.shown.back(), s.lastError());
    EXPECT_NE(s.lastError().find("wildcard"), std::string::npos) << s.lastError();
    for (auto& e : fs::directory_iterator(dir.path()))
        EXPECT_NE(e.path().filename().string()[0], '.') << e.path();  // no staging file left
}

TEST(WordDataStore, PlainSaveUsesTheStoresOwnName)
{
    talvor::test::TempDir dir;
    writeRecording(dir.path(), "w", kThreeWords, 136, 136);
    WordDataStore s;
    EXPECT_EQ(s.SaveVocabulary(), 1);  // a new table: a name must be asked for
    ASSERT_EQ(s.Open_Data(dir.path() + "/w.lab", "w.lab"), 0);
    EXPECT_EQ(s.dialogFileName(), "*.lab");
    ASSERT_EQ(s.PutWordData(2, patternFeatures(22), patternSamples(22), 22, "again"), 0);
    fs::permissions(dir.path() + "/w.lab", fs::perms::owner_read | fs::perms::owner_write);
    ASSERT_EQ(s.SaveVocabulary(), 0) << s.lastError();
    EXPECT_EQ(fs::status(dir.path() + "/w.lab").permissions(), fs::perms::owner_read | fs::perms::owner_write);
    EXPECT_FALSE(fs::exists(dir.path() + "/*.lab"));
    EXPECT_FALSE(fs::exists("*.lab"));
    WordDataStore back;
    ASSERT_EQ(back.Open_Data(dir.path() + "/w.lab", "w.lab"), 0);
    EXPECT_EQ(back.cell(2, ColName), "again");
    EXPECT_EQ(back.cell(2, ColLength), " 2");
    EXPECT_EQ(back.featureCount(), s.featureCount());
}

namespace {

// A store holding one new word of `frames` frames, ready to save over kThreeWords.
void putOneWord(WordDataStore& s, std::int32_t frames, const char* name)
{
    ASSERT_EQ(s.NewVoc(1), 0);
    std::vector<float> v = patternFeatures(frames);
    for (float& x : v)
        x = -x;
    ASSERT_EQ(s.PutWordData(1, v, patternSamples(frames), frames, name), 0) << s.lastError();
}

std::vector<std::string> hiddenFiles(const std::string& folder)
{
    std::vector<std::string> names;
    for (auto& e : fs::directory_iterator(folder))
        if (e.path().filename().string()[0] == '.')
            names.push_back(e.path().filename().string());
    return names;
}

}  // namespace

TEST(WordDataStore, AFailedReplacementPutsTheOldFilesBack)
{
    // The third file cannot be replaced after the first two were: they are
    // put back, so the set on disk is the old one, whole.
    for (std::size_t failing : {std::size_t(1), std::size_t(2)}) {
        SCOPED_TRACE(failing);
        talvor::test::TempDir dir;
        writeRecording(dir.path(), "w", kThreeWords, 136, 136);
        const std::string oldLab = fileBytes(dir.path() + "/w.lab");
        const std::string oldPar = fileBytes(dir.path() + "/w.par");
        const std::string oldRec = fileBytes(dir.path() + "/w.rec");
        WordDataStore s;
        putOneWord(s, 30, "new");
        WordDataStore::setSaveStepHookForTesting([failing](std::size_t step) { return step == failing ? EIO : 0; });
        EXPECT_EQ(s.Save_Data(dir.path() + "/w.lab"), -1);
        WordDataStore::setSaveStepHookForTesting({});
        EXPECT_NE(s.lastError().find("cannot replace"), std::string::npos) << s.lastError();
        EXPECT_EQ(fileBytes(dir.path() + "/w.lab"), oldLab);
        EXPECT_EQ(fileBytes(dir.path() + "/w.par"), oldPar);
        EXPECT_EQ(fileBytes(dir.path() + "/w.rec"), oldRec);
        EXPECT_TRUE(hiddenFiles(dir.path()).empty()) << ::testing::PrintToString(hiddenFiles(dir.path()));
        WordDataStore back;
        ASSERT_EQ(back.Open_Data(dir.path() + "/w.lab", "w.lab"), 0) << back.lastError();
        EXPECT_EQ(back.Rows(), 4);

        // A new recording that fails half-way leaves no file at all.
        WordDataStore::setSaveStepHookForTesting([failing](std::size_t step) { return step == failing ? EIO : 0; });
        EXPECT_EQ(s.Save_Data(dir.path() + "/fresh.lab"), -1);
        WordDataStore::setSaveStepHookForTesting({});
        for (const char* ext : {".lab", ".par", ".rec"})
            EXPECT_FALSE(fs::exists(dir.path() + "/fresh" + ext)) << ext;
        EXPECT_TRUE(hiddenFiles(dir.path()).empty());
    }
}

TEST(WordDataStore, ASaveCutOffBetweenItsReplacementsIsRefusedOnOpening)
{
    talvor::test::TempDir dir;
    writeRecording(dir.path(), "w", kThreeWords, 136, 136);
    // A child saves and dies after the .lab and .par were replaced.
    const pid_t child = ::fork();
    if (child == 0) {
        WordDataStore s;
        putOneWord(s, 30, "new");
        WordDataStore::setSaveStepHookForTesting([](std::size_t step) {
            if (step == 2)
                ::_exit(0);
            return 0;
        });
        s.Save_Data(dir.path() + "/w.lab");
        ::_exit(1);
    }
    ASSERT_GT(child, 0);
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    ASSERT_EQ(fs::file_size(dir.path() + "/w.rec"), 2u * 80 * 136);  // the old samples

    WordDataStore s;
    writeRecording(dir.path(), "other", kThreeWords, 136, 136);
    ASSERT_EQ(s.Open_Data(dir.path() + "/other.lab", "other.lab"), 0);
    const auto before = snapshot(s);
    EXPECT_EQ(s.Open_Data(dir.path() + "/w.lab", "w.lab"), -1);
    EXPECT_NE(s.lastError().find("from two different saves"), std::string::npos) << s.lastError();
    EXPECT_NE(s.lastError().find("w.rec"), std::string::npos) << s.lastError();
    EXPECT_EQ(snapshot(s), before);

    // Saved again whole, the set opens.
    WordDataStore again;
    putOneWord(again, 30, "again");
    ASSERT_EQ(again.Save_Data(dir.path() + "/w.lab"), 0) << again.lastError();
    ASSERT_EQ(s.Open_Data(dir.path() + "/w.lab", "w.lab"), 0) << s.lastError();
    EXPECT_EQ(s.cell(1, ColName), "again");
}

TEST(WordDataStore, AnOversizedLabIsRefusedQuickly)
{
    // 16 MB of one-character lines used to take gigabytes (five strings a row).
    talvor::test::TempDir dir;
    writeRecording(dir.path(), "w", kThreeWords, 136, 136);
    struct rusage before {};
    ::getrusage(RUSAGE_SELF, &before);
    struct Case {
        const char* what;
        std::string bytes;
        const char* because;
    };
    std::string manyRows;
    for (int k = 0; k <= kLabRowLimit; ++k)
        manyRows += "x\n";
    const Case cases[] = {
        {"16 MB of one-character lines", std::string(), "is very long"},
        {"one row beyond the limit", manyRows, "more than 10000 words"},
        {"4 MB of one-character lines", std::string(), "more than 10000 words"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const std::string lab = dir.path() + "/w.lab";
        if (c.bytes.empty()) {
            const bool big = std::string(c.what).find("16") != std::string::npos;
            std::string lines;
            const std::size_t size = big ? (std::size_t(16) << 20) : std::size_t(kLabByteLimit);
            lines.reserve(size);
            while (lines.size() < size)
                lines += "x\n";
            ASSERT_TRUE(writeFileWhole(lab, lines));
        } else {
            ASSERT_TRUE(writeFileWhole(lab, c.bytes));
        }
        WordDataStore s;
        ASSERT_EQ(s.NewVoc(2), 0);
        EXPECT_EQ(s.Open_Data(lab, "w.lab"), -1);
        EXPECT_NE(s.lastError().find(c.because), std::string::npos) << s.lastError();
        EXPECT_EQ(s.Rows(), 3);  // unchanged
    }
    struct rusage after {};
    ::getrusage(RUSAGE_SELF, &after);
    EXPECT_LT(after.ru_maxrss - before.ru_maxrss, 200 * 1024) << "kB";

    // A table the reader would refuse is not written either: here its names
    // make it too long.
    WordDataStore s;
    ASSERT_EQ(s.NewVoc(3), 0);
    for (std::int32_t i = 1; i <= 3; ++i)
        ASSERT_EQ(s.PutWordData(i, patternFeatures(25), patternSamples(25), 25, std::string(std::size_t(2) << 20, 'n')),
                  0);
    EXPECT_EQ(s.Save_Data(dir.path() + "/big.lab"), -1);
    EXPECT_NE(s.lastError().find("too large to open again"), std::string::npos) << s.lastError();
    EXPECT_FALSE(fs::exists(dir.path() + "/big.lab"));
}

TEST(WordDataStore, TheLongestNameSavesWithItsTemporaries)
{
    // The staged files and the marker of a save are named after the .lab
    // with a prefix and a suffix, and are themselves written through a
    // temporary: with the longest name the name check passes, all still fit.
    talvor::test::TempDir dir;
    WordDataStore s;
    putOneWord(s, 25, "long");
    const std::string name(kMaxNameLength, 'r');
    ASSERT_EQ(s.Save_Data(dir.path() + "/" + name + ".lab"), 0) << s.lastError();
    WordDataStore back;
    ASSERT_EQ(back.Open_Data(dir.path() + "/" + name + ".lab", name + ".lab"), 0) << back.lastError();
    EXPECT_EQ(back.cell(1, ColName), "long");
    EXPECT_TRUE(hiddenFiles(dir.path()).empty());
}
