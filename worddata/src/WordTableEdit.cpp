// Row edits of the word table: the editor window's insert, append and remove.
#include "common/NumberText.h"
#include "worddata/WordDataStore.h"

namespace talvor::worddata {

void WordDataStore::AppendWord()
{
    WordRow row{" 1", " 0", " 0", " 0", ""};
    if (Rows() > 1) {
        const std::int32_t last = Rows() - 1;
        const Span sp = span(last);
        row[ColIndex] = signedDecimal(cellNumber(cell(last, ColIndex)) + 1);
        row[ColIdent] = signedDecimal(cellNumber(cell(last, ColIdent)) + 1);
        row[ColOffset] = signedDecimal(sp.offset + sp.frames);
    }
    appendRow(std::move(row));
    m_lblWords = signedDecimal(std::int64_t(Rows() - 1));
    m_currentRow = Rows() - 1;
}

std::int32_t WordDataStore::InsertWord(std::int32_t r)
{
    if (Rows() <= 1) {
        AppendWord();
        return 0;
    }
    if (r < 1 || r > Rows() - 1)
        return -1;
    const WordRow row{cell(r, ColIndex), cell(r, ColIdent), " 0", cell(r, ColOffset), ""};
    m_rows.insert(m_rows.begin() + r, row);
    for (std::int32_t k = r + 1; k < Rows(); ++k) {
        auto& later = m_rows[std::size_t(k)];
        later[ColIndex] = signedDecimal(cellNumber(later[ColIndex]) + 1);
        later[ColIdent] = signedDecimal(cellNumber(later[ColIdent]) + 1);
    }
    m_lblWords = signedDecimal(std::int64_t(Rows() - 1));
    m_currentRow = r;
    return 0;
}

std::int32_t WordDataStore::RemoveWord(std::int32_t r)
{
    if (r < 1 || r > Rows() - 1)
        return -1;
    if (PutWordData(r, {}, {}, 0, "") != 0)
        return -1;
    m_rows.erase(m_rows.begin() + r);
    m_lblWords = signedDecimal(std::int64_t(Rows() - 1));
    setCurrentRow(r);
    return 0;
}

}  // namespace talvor::worddata
