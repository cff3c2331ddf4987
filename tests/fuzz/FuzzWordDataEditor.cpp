// The word data editor's Open: a set that cannot be opened leaves the host's
// words as they were; one that opens can be stepped through, played, saved
// under another name and opened again with the same words, and edited.
#include <optional>

#include "FuzzSupport.h"
#include "common/NumberText.h"
#include "worddata/WordDataEditor.h"
#include "worddata/WordDataFiles.h"

using namespace talvor;
using namespace talvor::worddata;

namespace {

struct Services : EditorServices {
    std::optional<std::string> open, save;
    int errors = 0;
    std::optional<std::string> inputBox(const std::string&, const std::string&, const std::string&) override
    {
        return std::nullopt;
    }
    std::optional<std::string> openFile(const std::string&, const std::string&, const std::string&) override
    {
        return open;
    }
    std::optional<std::string> saveFile(const std::string&, const std::string&, const std::string&) override
    {
        return save;
    }
    void showError(const std::string&) override { ++errors; }
    void startPlayTimer(std::int32_t) override {}
    void stopPlayTimer() override {}
    void hideWindow() override {}
};

struct Snapshot {
    std::vector<WordRow> rows;
    std::vector<float> features;
    std::vector<std::int16_t> samples;
    std::string title;
    bool operator==(const Snapshot& o) const
    {
        return rows == o.rows && featureBytes(features) == featureBytes(o.features) && samples == o.samples &&
               title == o.title;
    }
};

Snapshot snapshotOf(const WordDataStore& store)
{
    Snapshot s;
    for (std::int32_t r = 0; r < store.Rows(); ++r) {
        WordRow row;
        for (int c = 0; c < kWordTableColumns; ++c)
            row[std::size_t(c)] = store.cell(r, c);
        s.rows.push_back(row);
    }
    s.features = store.featureData();
    s.samples = store.sampleData();
    s.title = store.lblName();
    return s;
}

// The rows that hold data, as a save keeps them.
std::vector<WordRow> savedRows(const WordDataStore& store)
{
    std::vector<WordRow> rows;
    for (std::int32_t r = 1; r < store.Rows(); ++r) {
        WordRow row;
        for (int c = 0; c < kWordTableColumns; ++c)
            row[std::size_t(c)] = store.cell(r, c);
        if (row[ColLength] != " 0")
            rows.push_back(row);
    }
    return rows;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const auto parts = fuzz::splitInput(fuzz::bytesOf(data, size), fuzz::kPartSeparator, 3);
    auto& scratch = fuzz::Scratch::get();
    scratch.fresh();
    fuzz::putFile(scratch.file("in.lab"), parts[0]);
    if (!parts[1].empty())
        fuzz::putFile(scratch.file("in.par"), parts[1]);
    if (!parts[2].empty())
        fuzz::putFile(scratch.file("in.rec"), parts[2]);

    // The host's store already holds two words.
    WordDataStore store;
    store.NewVoc(2);
    const std::vector<float> v(20 * 14, 1.5f);
    const std::vector<std::int16_t> s(80 * 14, -7);
    store.PutWordData(1, v, s, 14, "held");
    store.PutWordData(2, v, s, 9, "kept");
    const Snapshot before = snapshotOf(store);
    Services services;
    WordDataEditor editor(store, services, scratch.path());
    services.open = scratch.file("in.lab");
    editor.miOpen_Click();
    if (services.errors > 0) {
        FUZZ_CHECK(snapshotOf(store) == before);
        return 0;
    }
    FUZZ_CHECK(editor.label1() == signedDecimal(std::int64_t(store.featureCount())) + "   s: " +
                                      signedDecimal(std::int64_t(store.sampleCount())));

    // Every word can be picked and played.
    for (std::int32_t r = 1; r < store.Rows() && r < 60; ++r) {
        editor.grdLab_Click(r);
        FUZZ_CHECK(editor.txtName() == store.cell(store.currentRow(), ColName));
        editor.miPlay_Click();
        FUZZ_CHECK(editor.playInterval() >= 0 && editor.playInterval() <= kMaxPlayMilliseconds);
        editor.TimerPlay_Timer();
    }

    // Saved under another name, the words with data open again the same.
    const std::vector<WordRow> expected = savedRows(store);
    const Snapshot opened = snapshotOf(store);
    services.save = scratch.file("out");
    if (editor.miSaveAs_Click() == 0) {
        WordDataStore back;
        Services backServices;
        backServices.open = scratch.file("out.lab");
        WordDataEditor backEditor(back, backServices, scratch.path());
        backEditor.miOpen_Click();
        FUZZ_CHECK(backServices.errors == 0);
        FUZZ_CHECK(back.Rows() == std::int32_t(expected.size()) + 1);
        if (!expected.empty()) {
            for (std::size_t k = 0; k < expected.size(); ++k)
                for (int c = 0; c < kWordTableColumns; ++c)
                    FUZZ_CHECK(back.cell(std::int32_t(k + 1), c) == expected[k][std::size_t(c)]);
            FUZZ_CHECK(featureBytes(back.featureData()) == featureBytes(store.featureData()));
            FUZZ_CHECK(back.sampleData() == store.sampleData());
        }
    } else {
        FUZZ_CHECK(snapshotOf(store).rows == opened.rows);
    }

    // Rows come and go one at a time.
    const std::int32_t rows = store.Rows();
    editor.miApend_Click();
    FUZZ_CHECK(store.Rows() == rows + 1);
    editor.miInsert_Click();
    FUZZ_CHECK(store.Rows() == rows + 2);
    // A word whose stored span lies outside the data opened with it cannot
    // be taken out: the store says so and keeps the row.
    const int errors = services.errors;
    editor.miRemove_Click();
    FUZZ_CHECK(store.Rows() == (services.errors > errors ? rows + 2 : rows + 1));
    return 0;
}
