#include "worddata/WordDataEditor.h"

#include <algorithm>
#include <cmath>

#include "common/NumberText.h"

namespace talvor::worddata {

namespace {

std::string fileTitle(const std::string& path)
{
    const auto slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string folderOf(const std::string& path)
{
    const auto slash = path.rfind('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash);
}

}  // namespace

WordDataEditor::WordDataEditor(WordDataStore& store, EditorServices& services, std::string appPath)
    : m_store(store), m_services(services), m_appPath(std::move(appPath))
{
    m_store.setDialogInitDir(m_appPath);
    m_store.setCurrentRow(1);
}

std::string WordDataEditor::txtName() const
{
    return m_store.cell(m_store.currentRow(), ColName);
}

std::string WordDataEditor::dialogFolder() const
{
    if (!m_store.dialogInitDir().empty())
        return m_store.dialogInitDir();
    const std::string data = folderOf(m_store.dataName());
    return data.empty() ? m_appPath : data;
}

void WordDataEditor::changed()
{
    if (m_tableChanged)
        m_tableChanged();
}

void WordDataEditor::showStoreError()
{
    // A store with a message output has shown its message already.
    if (!m_store.messageOutput() && !m_store.lastError().empty())
        m_services.showError(m_store.lastError());
}

void WordDataEditor::miNew_Click()
{
    const auto answer = m_services.inputBox(kNewVocabularyPrompt, kNewVocabularyTitle, kNewVocabularyDefault);
    if (!answer)
        return;
    // Not a number reads as 0, which gives one word.
    const std::int64_t n = std::clamp<std::int64_t>(cellNumber(*answer), 1, kMaxNewVocabulary);
    m_store.NewVoc(std::int32_t(n));
    changed();
}

void WordDataEditor::miOpen_Click()
{
    const auto path = m_services.openFile(kOpenCaption, dialogFolder(), kLabFilter);
    if (!path || path->empty())
        return;
    if (m_store.Open_Data(*path, fileTitle(*path)) != 0)
        showStoreError();
    m_label1 = signedDecimal(std::int64_t(m_store.featureCount())) + "   s: "
               + signedDecimal(std::int64_t(m_store.sampleCount()));
    changed();
}

std::int32_t WordDataEditor::miSave_Click()
{
    const std::int32_t status = m_store.SaveVocabulary();
    if (status == 1)
        return miSaveAs_Click();
    if (status != 0)
        showStoreError();
    return status;
}

std::int32_t WordDataEditor::miSaveAs_Click()
{
    auto path = m_services.saveFile(kSaveCaption, dialogFolder(), kLabFilter);
    if (!path || path->empty())
        return 1;
    if (fileTitle(*path).find('.') == std::string::npos)
        *path += ".lab";
    if (m_store.Save_Data(*path) != 0) {
        showStoreError();
        return -1;
    }
    return 0;
}

void WordDataEditor::miHide_Click() { m_services.hideWindow(); }
void WordDataEditor::miExit_Click() { m_services.hideWindow(); }
void WordDataEditor::Command1_Click() { m_services.hideWindow(); }

void WordDataEditor::miPlay_Click()
{
    const std::int64_t length = cellNumber(m_store.cell(m_store.currentRow(), ColLength));
    if (length <= 0)
        return;
    // 10 ms a frame, the 20 margin frames included.
    const double ms = (double(length) + 20.0) * double(m_store.frameShift()) * 1000.0 / 8000.0;
    m_playInterval = std::int32_t(std::clamp(std::nearbyint(ms), 1.0, double(kMaxPlayMilliseconds)));
    m_playing = true;
    m_services.startPlayTimer(m_playInterval);
}

void WordDataEditor::cmbPlayNext_Click()
{
    const std::int32_t r = m_store.currentRow();
    if (r < 1 || r >= m_store.Rows() - 1)
        return;
    m_store.setCurrentRow(r + 1);
    miPlay_Click();
}

void WordDataEditor::TimerPlay_Timer()
{
    m_playing = false;
    m_services.stopPlayTimer();
}

void WordDataEditor::miInsert_Click()
{
    if (m_store.InsertWord(std::max(m_store.currentRow(), 1)) == 0)
        changed();
}

void WordDataEditor::miApend_Click()
{
    m_store.AppendWord();
    changed();
}

void WordDataEditor::miRemove_Click()
{
    if (m_store.Rows() <= 1)
        return;
    if (m_store.RemoveWord(m_store.currentRow()) != 0) {
        showStoreError();
        return;
    }
    changed();
}

void WordDataEditor::grdLab_Click(std::int32_t row) { m_store.setCurrentRow(row); }

}  // namespace talvor::worddata
