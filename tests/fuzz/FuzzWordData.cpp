// Word data files: any .lab text parses; a set that opens is saved under
// another name and opens again with the same words (rows without data are
// not saved) and the same values.
#include "FuzzSupport.h"
#include "worddata/WordDataFiles.h"
#include "worddata/WordDataStore.h"

using namespace talvor;
using namespace talvor::worddata;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const auto parts = fuzz::splitInput(fuzz::bytesOf(data, size), fuzz::kPartSeparator, 3);
    for (const WordRow& row : parseLabText(parts[0], 50))
        for (const std::string& cell : row)
            FUZZ_CHECK(cell.find_first_of("\t\r\n") == std::string::npos);

    auto& scratch = fuzz::Scratch::get();
    scratch.fresh();
    fuzz::putFile(scratch.file("w.lab"), parts[0]);
    if (!parts[1].empty())
        fuzz::putFile(scratch.file("w.par"), parts[1]);
    if (!parts[2].empty())
        fuzz::putFile(scratch.file("w.rec"), parts[2]);
    WordDataStore store;
    if (store.Open_Data(scratch.file("w.lab"), "w.lab") != 0)
        return 0;
    // Every word handed out lies inside the loaded data.
    for (std::int32_t i = 1; i < store.Rows() && i < 50; ++i) {
        WordData word;
        word.i = i;
        std::int32_t status = 0;
        store.GetWordData(word, status);
        FUZZ_CHECK(word.v.size() <= store.featureData().size() && word.s.size() <= store.sampleData().size());
    }
    if (store.Save_Data(scratch.file("out.lab")) != 0)
        return 0;
    WordDataStore back;
    FUZZ_CHECK(back.Open_Data(scratch.file("out.lab"), "out.lab") == 0);
    std::vector<WordRow> expected;
    for (std::int32_t r = 1; r < store.Rows(); ++r) {
        WordRow row;
        for (int c = 0; c < kWordTableColumns; ++c)
            row[std::size_t(c)] = store.cell(r, c);
        if (row[ColLength] != " 0")
            expected.push_back(row);
    }
    FUZZ_CHECK(back.Rows() == std::int32_t(expected.size()) + 1);
    // No word with data: an empty .lab, which opens as an empty store (the
    // values no word points into are not read back).
    if (expected.empty())
        return 0;
    for (std::size_t k = 0; k < expected.size(); ++k)
        for (int c = 0; c < kWordTableColumns; ++c)
            FUZZ_CHECK(back.cell(std::int32_t(k + 1), c) == expected[k][std::size_t(c)]);
    FUZZ_CHECK(back.featureData().size() == store.featureData().size());
    FUZZ_CHECK(featureBytes(back.featureData()) == featureBytes(store.featureData()));
    FUZZ_CHECK(back.sampleData() == store.sampleData());
    return 0;
}
