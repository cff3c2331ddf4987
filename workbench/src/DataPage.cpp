// The Data page (database maintenance), the new-vocabulary editor's list
// editing and the help prompts' texts.
#include <algorithm>
#include <strings.h>

#include "common/DataTree.h"
#include "common/NameCheck.h"
#include "workbench/Maintenance.h"
#include "workbench/Wizard.h"

namespace talvor::workbench {

namespace {

int firstOf(const std::vector<std::string>& list) { return list.empty() ? -1 : 0; }

const std::string* selected(const std::vector<std::string>& list, int index)
{
    return index >= 0 && std::size_t(index) < list.size() ? &list[std::size_t(index)] : nullptr;
}

}  // namespace

void Wizard::LoadTalvorHelpFile()
{
    for (int i = 0; i < kHelpPromptCount; ++i)
        prompts[std::size_t(i)] = promptText(i);
    loadHelpCaptions(m_state.AppPath, prompts);
}

// ------------------------------------------------------------------ Data page

void Wizard::cmdDataRefresh_Click()
{
    WizardControls& c = controls;
    const DataTree tree(m_state.AppPath);
    c.lstDataVoc = tree.vocabularies();
    c.lstDataVocIndex = firstOf(c.lstDataVoc);
    lstDataVoc_Click();
    optData_Click(0);
    m_host.modelChanged();
}

void Wizard::optData_Click(int index)
{
    WizardControls& c = controls;
    c.optData = std::clamp(index, 0, 3);
    // The vocabulary selection stays; the item lists lose theirs.
    c.lstDataFileIndex = -1;
    c.lstDataDirIndex = -1;
    c.lstDataFileStringIndex = -1;
}

void Wizard::cmdDelete_Click()
{
    WizardControls& c = controls;
    const std::string* voc = selected(c.lstDataVoc, c.lstDataVocIndex);
    if (!voc)
        return;
    const auto kind = DataItem(c.optData);
    const std::string* item = nullptr;
    switch (kind) {
    case DataItem::Vocabulary: item = voc; break;
    case DataItem::DataFiles: item = selected(c.lstDataFile, c.lstDataFileIndex); break;
    case DataItem::WorkDirectory: item = selected(c.lstDataDir, c.lstDataDirIndex); break;
    case DataItem::StringData: item = selected(c.lstDataFileString, c.lstDataFileStringIndex); break;
    }
    if (!item)
        return;
    const std::string vocabulary = *voc, name = *item;  // the lists are refilled below
    const DataTree tree(m_state.AppPath);
    MaintenanceResult check = checkDeletable(tree, kind, vocabulary, name);
    // Afterwards the lists show what is on the disk now, the same vocabulary
    // and option still chosen.
    const int option = c.optData;
    if (!check.ok) {
        m_host.messageBox(check.message, MessageIcon::Exclamation);
    } else if (m_host.askOkCancel(deleteQuestion(tree, kind, vocabulary, name), MessageIcon::Exclamation)) {
        const MaintenanceResult done = deleteDataItem(tree, kind, vocabulary, name);
        if (!done.ok)
            m_host.messageBox(done.message, MessageIcon::Critical);
    } else {
        return;
    }
    c.lstDataVoc = tree.vocabularies();
    const auto at = std::find(c.lstDataVoc.begin(), c.lstDataVoc.end(), vocabulary);
    c.lstDataVocIndex = at != c.lstDataVoc.end() ? int(at - c.lstDataVoc.begin()) : firstOf(c.lstDataVoc);
    lstDataVoc_Click();
    optData_Click(option);
    m_host.modelChanged();
}

// ------------------------------------------------------ new-vocabulary editor

bool Wizard::txtVocName_Enter()
{
    const std::string& name = controls.txtVocName;
    std::string problem;
    if (!name.empty() && !checkName(name, NameKind::Vocabulary, &problem)) {
        m_host.messageBox(problem, MessageIcon::Exclamation);
        return false;
    }
    const bool taken = std::any_of(controls.lstVoc.begin(), controls.lstVoc.end(), [&](const std::string& v) {
        return v.size() == name.size() && ::strcasecmp(v.c_str(), name.c_str()) == 0;
    });
    if (taken) {
        m_host.messageBox("This vocabulary already exists. Type another name.", MessageIcon::None);
        return false;
    }
    return true;
}

void Wizard::lstVocItems_Click() { editingWord = false; }

void Wizard::lstVocItems_DblClick()
{
    const std::string* word = selected(controls.lstVocItems, controls.lstVocItemsIndex);
    if (!word)
        return;
    controls.txtWord = *word;
    editingWord = true;
}

}  // namespace talvor::workbench
