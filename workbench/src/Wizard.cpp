// The wizard's state, its page switch and the page sequence of the Next and
// Begin again buttons.
#include "workbench/Wizard.h"

#include <algorithm>
#include <cctype>

#include "common/DataTree.h"
#include "common/FileNames.h"
#include "common/NameCheck.h"

namespace talvor::workbench {

WizardHost::~WizardHost() = default;
StartedProgram::~StartedProgram() = default;
ExternalPrograms::~ExternalPrograms() = default;

namespace {

bool sameNameNoCase(const std::string& a, const std::string& b)
{
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
           });
}

std::string selected(const std::vector<std::string>& list, int index)
{
    return (index >= 0 && std::size_t(index) < list.size()) ? list[std::size_t(index)] : std::string();
}

std::string trimmed(const std::string& s)
{
    const auto b = s.find_first_not_of(' ');
    if (b == std::string::npos)
        return {};
    return s.substr(b, s.find_last_not_of(' ') - b + 1);
}

}  // namespace

bool hasExperimentSuffix(const std::string& fileName)
{
    if (fileName.size() < 4)
        return false;
    std::string tail = fileName.substr(fileName.size() - 4);
    for (char& c : tail)
        c = char(std::tolower(static_cast<unsigned char>(c)));
    return tail == ".cfv";
}

Wizard::Wizard(WizardHost& host, ExternalPrograms& programs, ModuleState& state)
    : m_host(host), m_programs(programs), m_state(state)
{
    m_pageEnabled[0] = true;
    for (int i = 0; i < kHelpPromptCount; ++i)
        prompts[std::size_t(i)] = promptText(i);
}

bool Wizard::pageEnabled(int page) const
{
    return page >= 0 && page < kPageCount && m_pageEnabled[std::size_t(page)];
}

std::string Wizard::vocabularyPath() const
{
    return DataTree(m_state.AppPath).vocabularyFolder(vocName);
}

void Wizard::switchToPage(int page)
{
    if (page < 0 || page >= kPageCount)
        return;
    if (curTab >= 0 && curTab < kPageCount)
        m_pageEnabled[std::size_t(curTab)] = false;
    m_pageEnabled[std::size_t(m_currentPage)] = false;
    const bool changed = m_currentPage != page;
    m_currentPage = page;
    m_pageEnabled[std::size_t(page)] = true;
    curTab = page;
    if (changed)
        SSTab1_Click(page);
    m_host.modelChanged();
}

void Wizard::Form_Load()
{
    dataPath = m_state.AppPath + "/";
    // Feature names, padded to six characters; the report shows them trimmed.
    for (int i = 0; i < kFeatureCount; ++i) {
        std::string name;
        if (i < 8)
            name = "c" + std::to_string(i + 1);
        else if (i < 16)
            name = "dc" + std::to_string(i - 7);
        else
            name = std::array<const char*, 4>{"de", "dde", "svf", "ene"}[std::size_t(i - 16)];
        name.resize(6, ' ');
        FeatureNames[std::size_t(i)] = name;
    }
    m_state.InitModeNames();
    nStates = 8;
    nMixtures = 1;
    curTab = 0;
    m_currentPage = 0;
    m_pageEnabled.fill(false);
    m_pageEnabled[0] = true;
    wordStringLimit = 5;
    m_host.modelChanged();
}

void Wizard::cmdNext_Click()
{
    switch (curTab) {
    case PageBegin:
        mode = std::clamp(controls.optMode, 0, kModeCount - 1);
        report.clear();
        report.print(" Mode: " + m_state.ModeNames(mode));
        nextTab = mode == ModeDatabaseMaintenance ? PageData : mode == ModeRuntime ? PageOther : PageVocabulary;
        break;
    case PageVocabulary:
        nextFromVocabulary();
        break;
    case PageNewVocabulary:
        nextFromNewVocabulary();
        break;
    case PageFile:
        nextFromFile();
        break;
    case PageReferences:
        nextFromReferences();
        break;
    case PageWorkDir:
        nextFromWorkDir();
        break;
    case PageFeatures:
        nextFromFeatures();
        break;
    case PageData:
        report.clear();
        nextTab = PageBegin;
        break;
    case PageOther:
        // A run-time output that could not work is refused here.
        if (const std::string problem = runTimePageProblem(); !problem.empty()) {
            m_host.messageBox(problem, MessageIcon::Exclamation);
            return;
        }
        nextTab = PageEnd;
        break;
    case PageEnd:
        if (m_busy)
            return;
        controls.cmdNextEnabled = false;
        m_host.modelChanged();
        RunMode();
        m_host.modelChanged();
        return;
    default:
        return;
    }
    switchToPage(nextTab);
}

void Wizard::nextFromVocabulary()
{
    vocName = selected(controls.lstVoc, controls.lstVocIndex);
    const bool creating = mode == ModeSpeechRecording && controls.optVocab == 1 && controls.optVocStr == 0;
    if (vocName.empty() && !creating) {
        // Every mode but the one that makes a new vocabulary works on an
        // existing one; without it nothing later can be found.
        m_host.messageBox(controls.lstVoc.empty()
                              ? "There is no vocabulary yet. Create one in Speech Recording with the option New."
                              : "Select a vocabulary.",
                          MessageIcon::Exclamation);
        nextTab = PageVocabulary;
        return;
    }
    if (!vocName.empty() && controls.optVocab == 0) {
        report.advanceZones(2);
        report.printLine(" Vocabulary: " + vocName);
    }
    switch (mode) {
    case ModeSpeechRecording:
        nextTab = (controls.optVocab == 1 || controls.optVocStr == 1) ? PageNewVocabulary : PageFile;
        break;
    case ModeHmmTraining:
    case ModeSpeakRecognizeDtw:
        nextTab = PageReferences;
        break;
    case ModeSpeakRecognizeHmm:
    case ModeStringsSpeakRecognizeHmm:
        nextTab = PageWorkDir;
        break;
    default:  // 1, 2, 4, 5, 6, 10, 11
        nextTab = PageFile;
        break;
    }
}

void Wizard::nextFromNewVocabulary()
{
    nextTab = PageFile;
    m_newVocabulary.reset();
    if (controls.optVocStr == 1) {
        if (mode == ModeSpeechRecording) {
            auto& list = controls.lstString;
            list.erase(std::remove(list.begin(), list.end(), std::string()), list.end());
            controls.lstStringIndex = list.empty() ? -1 : std::min(controls.lstStringIndex, int(list.size()) - 1);
            if (list.empty())
                nextTab = PageNewVocabulary;
        }
    } else {
        // A new vocabulary needs a name that can be a folder of DATA, and one
        // that is not taken yet, and at least one word.
        const std::string& name = controls.txtVocName;
        std::string problem;
        if (controls.lstVocItems.empty()) {
            m_host.messageBox("Enter at least one vocabulary item.", MessageIcon::Exclamation);
            nextTab = PageNewVocabulary;
        } else if (!checkName(name, NameKind::Vocabulary, &problem)) {
            m_host.messageBox(problem, MessageIcon::Exclamation);
            nextTab = PageNewVocabulary;
        } else if (std::any_of(controls.lstVoc.begin(), controls.lstVoc.end(),
                               [&](const std::string& v) { return sameNameNoCase(v, name); })) {
            m_host.messageBox("This vocabulary already exists. Type another name.", MessageIcon::None);
            nextTab = PageNewVocabulary;
        } else {
            vocName = name;
            m_newVocabulary = name;
        }
    }
    if (nextTab != PageNewVocabulary) {
        report.advanceZones(2);
        report.printLine(" Vocabulary: " + vocName);
    }
}

void Wizard::nextFromFile()
{
    if (controls.txtFileNameEnabled) {
        sourceFile = controls.txtFileName;
        // Recordings are found by name whatever its letter case, so a new
        // name that differs from an existing one only in case would replace it.
        const bool exists = std::any_of(controls.lstFiles.begin(), controls.lstFiles.end(),
                                        [&](const std::string& f) { return sameNameNoCase(f, sourceFile); });
        if (exists) {
            m_host.messageBox("This file already exists. Type another name.", MessageIcon::None);
            sourceFile.clear();
        } else if (std::string problem; !sourceFile.empty() && !checkName(sourceFile, NameKind::File, &problem)) {
            m_host.messageBox(problem, MessageIcon::Exclamation);
            sourceFile.clear();
        }
    } else {
        sourceFile = selected(controls.lstFiles, controls.lstFilesIndex);
    }
    labStringName = controls.optVocStr == 1 ? m_state.AppPath + "/DATA/" + vocName + "/_strings/" + sourceFile
                                            : std::string();
    if (sourceFile.empty() && !controls.txtFileNameEnabled && controls.lstFiles.empty()) {
        // Nothing to pick: say how to make what this mode needs.
        if (mode == ModeStringsPickMatchHmm)
            m_host.messageBox("There is no word-string recording in the vocabulary " + vocName +
                                  " yet. Record one first: mode Speech Recording, this vocabulary with the option "
                                  "\"word strings\"; on the \"New String Text\" page double-click words to make "
                                  "each string.",
                              MessageIcon::Exclamation);
        else
            m_host.messageBox("There is no recording in the vocabulary " + vocName +
                                  " yet. Record one first in the mode Speech Recording.",
                              MessageIcon::Exclamation);
    }
    if (sourceFile.empty()) {
        nextTab = PageFile;
        return;
    }
    report.print(" Source File: " + sourceFile);
    report.advanceZones(2);
    switch (mode) {
    case ModeSpeechRecording:
    case ModeSignalExploring:
        nextTab = PageEnd;
        break;
    case ModeDtwMatching:
    case ModeHmmTraining:
    case ModePickMatchDtw:
    case ModeSpeakRecognizeDtw:
        nextTab = PageReferences;
        break;
    default:
        nextTab = PageWorkDir;
        break;
    }
}

void Wizard::nextFromReferences()
{
    if (controls.lstRefSelected.empty()) {
        // Next stays off on this page until a file is selected.
        nextTab = PageReferences;
        return;
    }
    report.print(mode == ModeHmmTraining ? " Model Files: " : " Reference Files: ");
    for (const std::string& f : controls.lstRefSelected)
        report.print("  " + f);
    report.printLine();
    nextTab = PageWorkDir;
}

void Wizard::nextFromWorkDir()
{
    workDir = controls.optDirectory == 0 ? controls.txtWorkDir : selected(controls.lstWorkDir, controls.lstWorkDirIndex);
    nextTab = PageFeatures;
    m_newDirectory.reset();
    // A new directory is made under the typed name when the mode starts; an
    // existing one (in any letter case) would be taken over with its files.
    if (std::string problem; controls.optDirectory == 0 && !workDir.empty() &&
                             !checkName(workDir, NameKind::WorkDirectory, &problem)) {
        m_host.messageBox(problem, MessageIcon::Exclamation);
        workDir.clear();
    } else if (std::string found; controls.optDirectory == 0 && !workDir.empty() &&
                                  findFileName(DataTree(m_state.AppPath).workFolder(vocName, workDir), &found)) {
        m_host.messageBox("The directory " + workDir + " exists already. Type another name.",
                          MessageIcon::Exclamation);
        workDir.clear();
    } else if (controls.optDirectory == 0 && !workDir.empty()) {
        m_newDirectory = workDir;
    }
    const bool needsModels = mode == ModeHmmMatching || mode == ModePickMatchHmm || mode == ModeSpeakRecognizeHmm ||
                             mode >= ModeStringsPickMatchHmm;
    if (workDir.empty() && needsModels) {
        // Nothing to match against: say why the page stays.
        showNoModels();
    } else if (!workDir.empty()) {
        switch (mode) {
        case ModeHmmMatching:
        case ModePickMatchHmm:
        case ModeSpeakRecognizeHmm:
        case ModeStringsPickMatchHmm:
        case ModeHmmSequentialParallel:
        case ModeStringsSpeakRecognizeHmm:
            if (std::string why; ReadModelEdf(&why)) {
                nextTab = (mode >= ModeStringsPickMatchHmm) ? PageOther : PageEnd;
            } else {
                showNoModels(why);
                workDir.clear();
            }
            break;
        default:
            break;
        }
    }
    if (workDir.empty()) {
        nextTab = PageWorkDir;
        return;
    }
    report.printLine(" Work directory: " + workDir);
}

void Wizard::showNoModels(const std::string& why)
{
    // A copy that is there but cannot be read says what is wrong with it.
    m_host.messageBox(why.empty() ? "There are no models in this subdirectory. Select another subdirectory or train "
                                    "new models in a new subdirectory."
                                  : why,
                      MessageIcon::Exclamation);
}

void Wizard::nextFromFeatures()
{
    numFeat = std::int32_t(std::count(controls.chkFeature.begin(), controls.chkFeature.end(), true));
    if (numFeat == 0) {
        // Matching and training on no features at all gives meaningless scores.
        m_host.messageBox("Select at least one feature.", MessageIcon::Exclamation);
        nextTab = PageFeatures;
        return;
    }
    report.print(" Features: ");
    for (int i = 0; i < kFeatureCount; ++i)
        if (controls.chkFeature[std::size_t(i)])
            report.print(trimmed(FeatureNames[std::size_t(i)]) + " ");
    report.printLine();
    nextTab = PageEnd;
}

void Wizard::cmdPrevious_Click()
{
    clearPassChoices();
    // The description belongs to one experiment: a later save would carry it on.
    controls.txtDescription = WizardControls().txtDescription;
    controls.lstVocItems.clear();
    controls.txtVocName.clear();
    controls.txtWord.clear();
    controls.txtSize = "0";
    report.clear();

    curTab = nextTab;
    nextTab = 0;
    if (curTab >= 0 && curTab < kPageCount)
        m_pageEnabled[std::size_t(curTab)] = false;
    m_pageEnabled[std::size_t(m_currentPage)] = false;
    const bool changed = m_currentPage != PageBegin;
    m_currentPage = PageBegin;
    m_pageEnabled[PageBegin] = true;
    if (changed)
        SSTab1_Click(PageBegin);
    curTab = PageBegin;

    controls.optVocabNewEnabled = true;
    controls.cmdNextEnabled = true;
    controls.cmdRemoveEnabled = false;
    m_host.modelChanged();
}

void Wizard::cmdLoad_Click()
{
    const auto name = m_host.openFile("Open Talvor configuration file.", joinPath(m_state.AppPath, kExperimentFileName));
    if (!name || name->empty() || !hasExperimentSuffix(*name))
        return;
    if (mode == ModeRuntime) {
        if (Load_CFV(*name))
            clearPassChoices();
    } else if (Load_CFV(*name)) {
        clearPassChoices();
        nextTab = PageEnd;
        switchToPage(PageEnd);
    }
    m_host.modelChanged();
}

void Wizard::cmdSave_Click()
{
    auto name = m_host.saveFile("Save Talvor configuration file.", joinPath(m_state.AppPath, kExperimentFileName));
    if (!name || name->empty())
        return;
    // The Load button only takes names ending in ".cfv": a file saved without
    // the suffix could never be loaded again.
    if (!hasExperimentSuffix(*name))
        *name += ".CFV";
    Save_CFV(*name);
}

void Wizard::cmdExit_Click()
{
    // While a mode starts, the end waits until it has.
    if (m_busy) {
        m_endRequested = true;
        return;
    }
    m_host.endProgram();
}

}  // namespace talvor::workbench
