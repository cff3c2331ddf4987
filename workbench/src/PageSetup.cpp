// What each wizard page shows when it becomes current, and the events of the
// page controls that decide whether Next can go on: the lists are filled from
// the data tree, options are switched on or made unavailable by mode.
#include <algorithm>

#include "common/DataTree.h"
#include "common/FileNames.h"
#include "common/TabulaTextFile.h"
#include "common/VocabularyFile.h"
#include "common/NameCheck.h"
#include "worddata/WordDataFiles.h"
#include "workbench/Wizard.h"

namespace talvor::workbench {

namespace {

bool modeIn(int mode, std::initializer_list<int> modes)
{
    return std::find(modes.begin(), modes.end(), mode) != modes.end();
}

int firstIndex(const std::vector<std::string>& list)
{
    return list.empty() ? -1 : 0;
}

// The words of a vocabulary file; none when it cannot be read.
std::vector<std::string> readWords(const std::string& vocFile)
{
    Vocabulary vocabulary;
    if (!readVocabularyFile(vocFile, &vocabulary))
        return {};
    return vocabularyWords(vocabulary);
}

}  // namespace

void Wizard::SSTab1_Click(int page)
{
    WizardControls& c = controls;
    const DataTree tree(m_state.AppPath);
    switch (page) {
    case PageBegin:
        curTab = 0;
        c.cmdSaveEnabled = false;
        c.cmdLoadEnabled = true;
        c.optRunTime = 0;
        runTimeMode = 0;
        break;
    case PageVocabulary:
        c.cmdLoadEnabled = false;
        c.optVocab = 1;
        c.optVocabExistingEnabled = false;
        c.optVocStr = 0;
        c.optVocStrStringsEnabled = modeIn(mode, {0, 1, 10, 12});
        c.page2Caption = "New Vocabulary";
        // A vocabulary deleted meanwhile must not stay in the list.
        c.lstVoc = tree.vocabularies();
        c.lstVocIndex = firstIndex(c.lstVoc);
        c.lstVocPrev.clear();
        c.lstVocFilePrev.clear();
        if (!c.lstVoc.empty()) {
            c.optVocab = 0;
            c.optVocabExistingEnabled = true;
            lstVoc_Click();
        }
        editingWord = false;
        c.optVocabNewEnabled = mode == ModeSpeechRecording;
        break;
    case PageNewVocabulary:
        if (c.optVocStr == 0) {
            c.cmdNextEnabled = false;
            c.txtVocName.clear();
        } else {
            c.lstStrText = readWords(tree.vocabularyFile(vocName));
            c.lstStrTextIndex = firstIndex(c.lstStrText);
            c.lstString.assign(1, std::string());
            c.lstStringIndex = 0;
        }
        break;
    case PageFile: {
        c.fileNamePrompt = mode == ModeSpeechRecording    ? 3
                           : mode == ModeSignalExploring  ? 11
                           : mode == ModeStringsPickMatchHmm ? 10
                                                          : 12;
        const bool strings = mode == ModeStringsPickMatchHmm ||
                             (modeIn(mode, {0, 1}) && c.optVocab == 0 && c.optVocStr == 1);
        c.txtFileName.clear();
        c.lstFiles = strings ? tree.stringRecordings(vocName) : tree.recordings(vocName);
        c.lstFilesIndex = (mode != ModeSpeechRecording) ? firstIndex(c.lstFiles) : -1;
        c.cmdRemoveEnabled = false;
        editingWord = false;
        c.txtFileNameEnabled = mode == ModeSpeechRecording;
        if (mode == ModeSpeechRecording)
            txtFileName_Change();
        else
            c.cmdNextEnabled = true;
        break;
    }
    case PageReferences:
        c.cmdAddEnabled = true;
        c.cmdRemoveEnabled = true;
        c.lstRefSelected.clear();
        c.lstRefSelectedIndex = -1;
        c.lstRefAvailable = tree.recordings(vocName);
        c.lstRefAvailableIndex = firstIndex(c.lstRefAvailable);
        c.cmdNextEnabled = false;
        if (c.lstRefAvailable.empty())
            // Next stays off on an empty selection: say why, and what to do.
            m_host.messageBox("There is no recording in the vocabulary " + vocName + " to " +
                                  (mode == ModeHmmTraining ? "train models on" : "take references from") +
                                  " yet. Record one first in the mode Speech Recording.",
                              MessageIcon::Exclamation);
        break;
    case PageWorkDir: {
        optDirectory_Click(1);
        c.optDirectory = 1;
        c.optDirectoryNewEnabled = true;
        c.cmdModelsVisible = false;
        if (mode == ModeHmmTraining) {
            c.workDirPrompt = 5;
        } else if (modeIn(mode, {2, 6, 8})) {
            c.workDirPrompt = 13;
        } else if (modeIn(mode, {4, 5, 7})) {
            c.workDirPrompt = 14;
            c.cmdModelsVisible = true;
            c.optDirectoryNewEnabled = false;
        } else {
            c.workDirPrompt = 5;
        }
        c.lstWorkDir = tree.workFolders(vocName);
        c.lstWorkDirIndex = firstIndex(c.lstWorkDir);
        if (!c.lstWorkDir.empty()) {
            c.optDirectory = 1;
            c.optDirectoryExistingEnabled = true;
        } else {
            c.optDirectory = 0;
            optDirectory_Click(0);
            c.optDirectoryExistingEnabled = false;
        }
        if (!vocName.empty())
            tree.ensureStringsFolder(vocName);
        c.txtWorkDir.clear();
        break;
    }
    case PageFeatures:
        if (modeIn(mode, {4, 5, 7})) {
            c.featuresPrompt = 6;
            c.chkFeatureEnabled = false;
        } else {
            c.featuresPrompt = 15;
            c.chkFeatureEnabled = true;
        }
        break;
    case PageData:
        cmdDataRefresh_Click();
        break;
    case PageOther:
        if (mode != ModeRuntime) {
            c.recogniserOptionsEnabled = true;
            c.resultPassingEnabled = false;
        } else {
            c.recogniserOptionsEnabled = false;
            c.resultPassingEnabled = true;
            c.cmdLoadEnabled = false;
            m_host.modelChanged();
            cmdLoad_Click();
            if (m_currentPage != PageOther)
                return;  // an experiment was loaded: the wizard is on the End page
        }
        if (modeIn(mode, {7, 8, 12})) {
            c.optRunTime = 1;
            c.optRunTimeEnabled = {true, true, true, false, false};
            c.chcRThideEnabled = true;
        } else {
            c.optRunTime = 0;
            c.optRunTimeEnabled = {true, false, false, false, false};
            c.chcRThideEnabled = false;
        }
        runTimeMode = c.optRunTime;
        break;
    case PageEnd:
        c.cmdSaveEnabled = true;
        c.cmdLoadEnabled = false;
        break;
    default:
        break;
    }
}

void Wizard::lstVoc_Click()
{
    WizardControls& c = controls;
    c.lstVocFilePrev.clear();
    c.lstVocFilePrevIndex = -1;
    c.lstVocPrev.clear();
    const std::string v = (c.lstVocIndex >= 0 && std::size_t(c.lstVocIndex) < c.lstVoc.size())
                              ? c.lstVoc[std::size_t(c.lstVocIndex)]
                              : std::string();
    if (v.empty())
        return;
    const DataTree tree(m_state.AppPath);
    if (c.optVocStr == 1) {
        c.lstVocFilePrev = tree.stringRecordings(v);
    } else {
        c.lstVocPrev = readWords(tree.vocabularyFile(v));
        c.lstVocFilePrev = tree.recordings(v);
    }
}

void Wizard::lstVocFilePrev_Click()
{
    WizardControls& c = controls;
    if (c.optVocStr != 1)
        return;
    c.lstVocPrev.clear();
    const auto pick = [](const std::vector<std::string>& list, int index) {
        return (index >= 0 && std::size_t(index) < list.size()) ? list[std::size_t(index)] : std::string();
    };
    const std::string v = pick(c.lstVoc, c.lstVocIndex);
    const std::string file = pick(c.lstVocFilePrev, c.lstVocFilePrevIndex);
    if (v.empty() || file.empty())
        return;
    // One label line is five items: index, ident, length, offset and the
    // word string; the strings of the complete lines are shown.
    TabulaTextFile f;
    if (f.InputFromFile(DataTree(m_state.AppPath).stringRecordingBase(v, file) + ".lab") != 0)
        return;
    for (;;) {
        std::array<std::string, 5> items;
        for (std::string& item : items)
            if (f.ReadNextData(item) < 0)
                return;
        c.lstVocPrev.push_back(items[4]);
    }
}

void Wizard::optVocab_Click(int index)
{
    controls.optVocab = index == 0 ? 0 : 1;
}

void Wizard::optVocStr_Click(int index)
{
    controls.optVocStr = index == 1 ? 1 : 0;
    lstVoc_Click();
    controls.page2Caption = controls.optVocStr == 0 ? "New Vocabulary" : "New String Text";
    if (mode == ModeSpeechRecording)
        controls.optVocabNewEnabled = controls.optVocStr != 1;
}

void Wizard::txtVocName_Change()
{
    if (controls.txtVocName.empty()) {
        controls.cmdNextEnabled = false;
        return;
    }
    vocName = controls.txtVocName;
    controls.cmdNextEnabled = !controls.lstVocItems.empty();
}

void Wizard::txtWord_Enter()
{
    WizardControls& c = controls;
    auto& list = c.lstVocItems;
    std::string problem;
    if (!c.txtWord.empty() && !checkName(c.txtWord, NameKind::Word, &problem)) {
        // A word the vocabulary file could not hold: refused, the text stays for mending.
        m_host.messageBox(problem, MessageIcon::Exclamation);
        return;
    }
    if (editingWord) {
        const int idx = c.lstVocItemsIndex;
        if (idx >= 0 && std::size_t(idx) < list.size()) {
            list.erase(list.begin() + idx);
            if (!c.txtWord.empty()) {
                list.insert(list.begin() + idx, c.txtWord);
                c.lstVocItemsIndex = idx;
            } else {
                c.lstVocItemsIndex = int(list.size()) - 1;
            }
        }
        // Selecting an entry ends the edit.
        editingWord = false;
        c.cmdNextEnabled = !list.empty() && !c.txtVocName.empty();
    } else {
        if (!c.txtWord.empty()) {
            list.push_back(c.txtWord);
            c.lstVocItemsIndex = int(list.size()) - 1;
        }
        c.cmdNextEnabled = !c.txtVocName.empty();
    }
    c.txtWord.clear();
    c.txtSize = " " + std::to_string(list.size());
}

void Wizard::lstStrText_DblClick()
{
    WizardControls& c = controls;
    if (c.lstStringIndex < 0 || std::size_t(c.lstStringIndex) >= c.lstString.size() || c.lstStrTextIndex < 0 ||
        std::size_t(c.lstStrTextIndex) >= c.lstStrText.size())
        return;
    std::string& s = c.lstString[std::size_t(c.lstStringIndex)];
    if (CountSubstrings(s, "_") < wordStringLimit - 1) {
        const std::string& w = c.lstStrText[std::size_t(c.lstStrTextIndex)];
        s = s.empty() ? w : s + "_" + w;
    }
}

void Wizard::cmdStr_Click(int index)
{
    WizardControls& c = controls;
    const int p = c.lstStringIndex;
    switch (index) {
    case 0:
        c.lstString.emplace_back();
        c.lstStringIndex = int(c.lstString.size()) - 1;
        break;
    case 1:
        if (c.lstString.size() >= 2 && p >= 0 && std::size_t(p) < c.lstString.size()) {
            c.lstString.erase(c.lstString.begin() + p);
            c.lstStringIndex = std::size_t(p) < c.lstString.size() ? p : p - 1;
        }
        break;
    case 2: {
        const int at = (p >= 0 && std::size_t(p) <= c.lstString.size()) ? p : 0;
        c.lstString.insert(c.lstString.begin() + at, std::string());
        c.lstStringIndex = at;
        break;
    }
    default:
        break;
    }
}

void Wizard::txtFileName_Change()
{
    controls.cmdNextEnabled = !controls.txtFileName.empty();
}

std::int64_t Wizard::referenceWordCount(const std::vector<std::string>& files) const
{
    const DataTree tree(m_state.AppPath);
    std::int64_t total = 0;
    for (const std::string& f : files) {
        std::string lab;
        if (readFileWhole(resolveFileName(tree.recordingBase(vocName, f) + ".lab"), &lab))
            total += std::int64_t(worddata::parseLabText(lab).size());
    }
    return total;
}

namespace {

std::string tooManyReferenceWordsText(std::int64_t words)
{
    return "These reference files hold " + std::to_string(words) + " words; the DTW comparer takes at most " +
           std::to_string(kMaxReferenceWordsDtw) + " references. Choose fewer files.";
}

}  // namespace

void Wizard::cmdAdd_Click()
{
    WizardControls& c = controls;
    if (c.lstRefAvailableIndex < 0 || std::size_t(c.lstRefAvailableIndex) >= c.lstRefAvailable.size())
        return;
    const std::string& f = c.lstRefAvailable[std::size_t(c.lstRefAvailableIndex)];
    if (mode != ModeHmmTraining && int(c.lstRefSelected.size()) >= kMaxReferencesDtw)
        return;
    const bool isNew = std::find(c.lstRefSelected.begin(), c.lstRefSelected.end(), f) == c.lstRefSelected.end();
    if (isNew && mode != ModeHmmTraining) {
        std::vector<std::string> wanted = c.lstRefSelected;
        wanted.push_back(f);
        if (const std::int64_t words = referenceWordCount(wanted); words > kMaxReferenceWordsDtw) {
            m_host.messageBox(tooManyReferenceWordsText(words), MessageIcon::Exclamation);
            return;
        }
    }
    if (isNew)
        c.lstRefSelected.push_back(f);
    c.lstRefSelectedIndex = int(c.lstRefSelected.size()) - 1;
    c.cmdNextEnabled = true;
    c.cmdRemoveEnabled = true;
    if (mode != ModeHmmTraining && int(c.lstRefSelected.size()) >= kMaxReferencesDtw)
        c.cmdAddEnabled = false;
}

void Wizard::cmdRemove_Click()
{
    WizardControls& c = controls;
    if (c.lstRefSelectedIndex >= 0 && std::size_t(c.lstRefSelectedIndex) < c.lstRefSelected.size())
        c.lstRefSelected.erase(c.lstRefSelected.begin() + c.lstRefSelectedIndex);
    if (c.lstRefSelected.empty()) {
        c.lstRefSelectedIndex = -1;
        c.cmdNextEnabled = false;
        c.cmdRemoveEnabled = false;
    } else {
        c.lstRefSelectedIndex = 0;
    }
    c.cmdAddEnabled = true;
}

void Wizard::cmdRefData_Click(int index)
{
    WizardControls& c = controls;
    if (index == 0) {
        if (c.lstRefAvailable.empty())
            return;
        const std::size_t m = std::min(c.lstRefAvailable.size(), mode == ModeHmmTraining
                                                                     ? c.lstRefAvailable.size()
                                                                     : std::size_t(kMaxReferencesDtw));
        const std::vector<std::string> wanted(c.lstRefAvailable.begin(), c.lstRefAvailable.begin() + std::ptrdiff_t(m));
        if (mode != ModeHmmTraining) {
            if (const std::int64_t words = referenceWordCount(wanted); words > kMaxReferenceWordsDtw) {
                m_host.messageBox(tooManyReferenceWordsText(words), MessageIcon::Exclamation);
                return;
            }
        }
        c.lstRefSelected = wanted;
        c.lstRefSelectedIndex = int(m) - 1;
        c.cmdNextEnabled = true;
        c.cmdRemoveEnabled = true;
        c.cmdAddEnabled = false;
    } else {
        c.lstRefSelected.clear();
        c.lstRefSelectedIndex = -1;
        c.cmdNextEnabled = false;
        c.cmdRemoveEnabled = false;
        c.cmdAddEnabled = true;
    }
}

void Wizard::optDirectory_Click(int index)
{
    controls.optDirectory = index == 0 ? 0 : 1;
}

void Wizard::chkFeature_Click()
{
    controls.cmdNextEnabled =
        std::any_of(controls.chkFeature.begin(), controls.chkFeature.end(), [](bool b) { return b; });
}

void Wizard::lstDataVoc_Click()
{
    WizardControls& c = controls;
    c.lstDataFile.clear();
    c.lstDataDir.clear();
    c.lstDataFileString.clear();
    if (c.lstDataVocIndex < 0 || std::size_t(c.lstDataVocIndex) >= c.lstDataVoc.size())
        return;
    const DataTree tree(m_state.AppPath);
    const std::string& v = c.lstDataVoc[std::size_t(c.lstDataVocIndex)];
    c.lstDataFile = tree.recordings(v);
    c.lstDataFileString = tree.stringRecordings(v);
    c.lstDataDir = tree.workFolders(v);
}

void Wizard::cmdModels_Click()
{
    const WizardControls& c = controls;
    workDir = (c.lstWorkDirIndex >= 0 && std::size_t(c.lstWorkDirIndex) < c.lstWorkDir.size())
                  ? c.lstWorkDir[std::size_t(c.lstWorkDirIndex)]
                  : std::string();
    // Without models there are no parameters to show.
    if (std::string why; ReadModelEdf(&why))
        m_host.showModelParameters();
    else
        showNoModels(why);
}

void Wizard::optRunTime_Click(int index)
{
    if (index >= 0 && index < 5) {
        controls.optRunTime = index;
        runTimeMode = index;
    }
}

}  // namespace talvor::workbench
