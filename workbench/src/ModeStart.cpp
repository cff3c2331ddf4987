// Starting an operating mode from the End page (RunMode): the checks before
// anything is touched, the hand-over to the hosted controls, the new
// vocabulary and work directory of this pass, the working copies and
// configuration files, and the mode's control or external program.
#include <algorithm>
#include <filesystem>
#include <system_error>

#include "common/DataTree.h"
#include "common/FileNames.h"
#include "common/ResultFile.h"
#include "workbench/Wizard.h"

namespace talvor::workbench {

namespace {

// The value of a number box: digits only, at most 9 of them; empty reads 0.
bool numberBox(const std::string& text, std::int32_t* value)
{
    if (text.size() > 9 || !std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; }))
        return false;
    std::int32_t v = 0;
    for (char c : text)
        v = v * 10 + (c - '0');
    *value = v;
    return true;
}

bool hasControlCharacter(const std::string& s)
{
    return std::any_of(s.begin(), s.end(), [](char c) { return static_cast<unsigned char>(c) < 0x20 || c == 0x7f; });
}

bool isDirectory(const std::string& path)
{
    std::string found;
    std::error_code ec;
    return findFileName(path, &found) && std::filesystem::is_directory(found, ec);
}

bool isFile(const std::string& path)
{
    std::string found;
    std::error_code ec;
    return findFileName(path, &found) && std::filesystem::is_regular_file(found, ec);
}

bool modeIn(int mode, std::initializer_list<int> modes)
{
    return std::find(modes.begin(), modes.end(), mode) != modes.end();
}

// The modes whose features, states and mixtures come from trained models.
bool readsModels(int mode)
{
    return modeIn(mode, {ModeHmmMatching, ModePickMatchHmm, ModeSpeakRecognizeHmm, ModeStringsPickMatchHmm,
                         ModeHmmSequentialParallel, ModeStringsSpeakRecognizeHmm});
}

bool usesWorkDirectory(int mode)
{
    return modeIn(mode, {2, 3, 4, 5, 6, 7, 8, 10, 11, 12});
}

}  // namespace

void Wizard::setControls(WavescopeControl* wavescope, DtwControl* dtw, ChainviewControl* chainview)
{
    m_wavescope = wavescope;
    m_dtw = dtw;
    m_chainview = chainview;
}

void Wizard::SetAppPathOnControls()
{
    const std::string& path = m_state.AppPath;
    std::vector<ControlResult> results;
    if (m_dtw)
        results.push_back(m_dtw->SetAppPath(path));
    if (m_chainview)
        results.push_back(m_chainview->SetAppPath(path));
    if (m_wavescope)
        results.push_back(m_wavescope->SetAppPath(path));
    for (const ControlResult& r : results)
        if (!r.ok)
            m_host.messageBox(r.error, MessageIcon::Exclamation);
}

std::string Wizard::runTimePageProblem() const
{
    const WizardControls& c = controls;
    std::int32_t value = 0;
    if (!numberBox(c.txtConf, &value))
        return "The pruning threshold takes at most 9 digits.";
    for (const std::string& box : c.txtRunTimeMsg)
        if (!numberBox(box, &value))
            return "The message number, the wParam base and the port take at most 9 digits each.";
    if (runTimeMode == RTWindowMessage) {
        if (c.txtRunTimeWind.empty())
            return "Results go to a window by its caption: type the receiving window's caption.";
        std::int32_t msg = 0;
        numberBox(c.txtRunTimeMsg[0], &msg);
        // Below 1024 are the system's own messages (256 is a key press), and
        // the workbench's programs talk to each other with 26666 and 26686.
        if (msg < 1024 || msg == 26666 || msg == 26686)
            return "The message number must be 1024 or more and neither 26666 nor 26686.";
    } else if (runTimeMode == RTTextFile) {
        const std::string& name = c.txtRunTimeFile;
        if (name.empty())
            return "Results go to a text file: type its name.";
        if (hasControlCharacter(name))
            return "The result file name holds a control character.";
        const std::string path = name.front() == '/' ? name : joinPath(m_state.AppPath, name);
        if (name.back() == '/' || isDirectory(path))
            return "The result file " + name + " is a folder.";
        // Where the analyser will write it: a device, a pipe or a link there
        // would be replaced by a plain file at the first word.
        std::string why;
        const std::string target = resultFilePath(m_state.AppPath, name, &why);
        if (target.empty())
            return "The result file name cannot be used: " + why + ".";
        if (const std::string problem = resultFileProblem(target); !problem.empty())
            return "The result file " + name + " " + problem + ".";
    }
    return {};
}

ControlResult Wizard::ConfigDTW(const std::string& testFile)
{
    // chkFeat: one flag per feature box and a last element that is always 0.
    std::array<std::int16_t, kFeatureCount + 1> chkFeat{};
    for (int i = 0; i < kFeatureCount; ++i)
        chkFeat[std::size_t(i)] = controls.chkFeature[std::size_t(i)] ? 1 : 0;
    const ControlResult r =
        m_dtw->LoadMode(mode, vocName, workDir, numFeat, chkFeat, controls.lstRefSelected, testFile);
    if (r.ok)
        report.printLine("Configuration structure has been created");
    return r;
}

// The mode cannot go on: say why in a message and on the report.
bool Wizard::stopMode(const std::string& reason)
{
    report.printLine();
    report.printLine(reason);
    m_host.modelChanged();
    m_host.messageBox(reason, MessageIcon::Exclamation);
    return false;
}

bool Wizard::controlStep(const ControlResult& r)
{
    if (r.ok)
        return true;
    return stopMode(r.error.empty() ? std::string("A hosted control failed.") : r.error);
}

bool Wizard::workingCopies(const std::vector<std::string>& files, bool reportLine)
{
    if (reportLine)
        report.print("Making working copies of: ");
    for (const std::string& f : files) {
        std::string error;
        if (!MakeLbPrFiles(f, &error))
            return stopMode(error);
        m_host.modelChanged();
        m_host.processEvents();
    }
    if (reportLine)
        report.printLine();
    return true;
}

void Wizard::startProgram(StatwalkKind kind, WindowHandle& hwnd, bool watched)
{
    if (watched) {
        savedCaption = m_host.caption();
        m_host.setCaption(kCaptionSetup);
    }
    StartAndFindWindow(hwnd, DataTree(m_state.AppPath).externalProgram(kind), StatwalkWindowTitle());
}

std::string Wizard::preflightProblem()
{
    if (std::string p = runTimePageProblem(); !p.empty())
        return p;
    // The controls the mode drives.
    if (!m_wavescope)
        return "The signal analyser is not part of this program.";
    if (modeIn(mode, {ModeDtwMatching, ModePickMatchDtw, ModeSpeakRecognizeDtw}) && !m_dtw)
        return "The DTW comparer is not part of this program.";
    if (modeIn(mode, {ModeStringsPickMatchHmm, ModeHmmSequentialParallel, ModeStringsSpeakRecognizeHmm}) && !m_chainview)
        return "The HMM viewer is not part of this program.";
    if (mode == ModeDatabaseMaintenance || mode == ModeRuntime)
        return {};
    const DataTree tree(m_state.AppPath);
    if (!m_newVocabulary) {
        if (vocName.empty() || !isDirectory(tree.vocabularyFolder(vocName)))
            return "The vocabulary " + vocName + " does not exist.";
    }
    const bool strings = controls.optVocStr == 1;
    // Speech Recording makes a new recording: it must not replace one.
    if (mode == ModeSpeechRecording) {
        const std::string base = (strings && controls.optVocab == 0) ? tree.stringRecordingBase(vocName, sourceFile)
                                                                      : tree.recordingBase(vocName, sourceFile);
        if (sourceFile.empty())
            return "No name was given for the new recording.";
        if (isFile(base + ".lab"))
            return "The recording " + sourceFile + " exists already in the vocabulary " + vocName + ".";
    }
    // The recordings the mode reads.
    std::vector<std::string> named;
    if (modeIn(mode, {1, 2, 4, 5, 6, 10, 11}))
        named.push_back(sourceFile);
    if (modeIn(mode, {2, 3, 6, 8}))
        named.insert(named.end(), controls.lstRefSelected.begin(), controls.lstRefSelected.end());
    if (modeIn(mode, {2, 3, 6, 8}) && controls.lstRefSelected.empty())
        return "No reference files are selected.";
    const bool inStrings = mode == ModeStringsPickMatchHmm || (mode == ModeSignalExploring && strings &&
                                                               controls.optVocab == 0);
    for (const std::string& f : named) {
        const std::string base = inStrings ? tree.stringRecordingBase(vocName, f) : tree.recordingBase(vocName, f);
        if (f.empty() || !isFile(base + ".lab"))
            return "The recording " + f + " does not exist in the vocabulary " + vocName + ".";
    }
    if (usesWorkDirectory(mode) && !m_newDirectory) {
        if (workDir.empty() || !isDirectory(tree.workFolder(vocName, workDir)))
            return "The work directory " + workDir + " does not exist in the vocabulary " + vocName + ".";
    }
    // The HMM modes take their features from the models, not from the file.
    if (readsModels(mode)) {
        std::string why;
        if (!ReadModelEdf(&why))
            return why.empty() ? "There are no models in the work directory " + workDir + "." : why;
    }
    if (modeIn(mode, {2, 3, 6, 8}) && numFeat < 1)
        return "No features are selected.";
    return {};
}

void Wizard::clearPassChoices()
{
    m_newVocabulary.reset();
    m_newDirectory.reset();
}

void Wizard::RunMode()
{
    if (m_busy)
        return;
    m_busy = true;
    m_host.modelChanged();
    const bool done = runModeSteps();
    m_busy = false;
    if (!done) {
        // Back where the user was: the End page, ready to try again.
        if (m_hiddenForRunTime) {
            m_host.hideRestoreWindow();
            m_host.showWindow();
        }
        if (m_currentPage == PageEnd)
            controls.cmdNextEnabled = true;
    }
    m_hiddenForRunTime = false;
    m_host.modelChanged();
    if (m_endRequested) {
        m_endRequested = false;
        m_host.endProgram();
    }
}

bool Wizard::runModeSteps()
{
    if (const std::string problem = preflightProblem(); !problem.empty()) {
        m_host.messageBox(problem, MessageIcon::Exclamation);
        return false;
    }
    const DataTree tree(m_state.AppPath);
    const WizardControls& c = controls;

    // 1. Run-time output with the hide option: the restore window stands in
    // for the wizard.
    if (runTimeMode > 0 && c.chcRThide) {
        m_hiddenForRunTime = true;
        m_host.hideWindow();
        m_host.showRestoreWindow();
    }
    // 2, 3. The controls that the analyser drives, and the prune threshold.
    if (!controlStep(m_wavescope->SetControls(m_dtw, m_chainview)))
        return false;
    std::int32_t threshold = 0;
    if (!numberBox(c.txtConf, &threshold))
        threshold = 0;
    if (m_chainview && !controlStep(m_chainview->SetPruneTreshold(threshold)))
        return false;

    // 4. The new vocabulary of this pass, all or nothing.
    if (m_newVocabulary) {
        const std::string name = *m_newVocabulary;
        if (isDirectory(tree.vocabularyFolder(name)) || isFile(tree.vocabularyFolder(name)))
            return stopMode("The vocabulary " + name + " exists already.");
        // The data tree makes it all or nothing.
        std::string error;
        if (!tree.createVocabulary(name, c.lstVocItems, &error))
            return stopMode(error);
        m_newVocabulary.reset();  // made: a second try uses it as it is
        report.printLine("New vocabulary and subdirectory " + name + " has been created.");
    }
    // 5. The new work directory of this pass.
    if (m_newDirectory) {
        const std::string name = *m_newDirectory;
        if (isDirectory(tree.workFolder(vocName, name)))
            return stopMode("The work directory " + name + " exists already.");
        std::string error;
        if (!tree.createWorkFolder(vocName, name, &error))
            return stopMode(error);
        m_newDirectory.reset();
        report.printLine("Subdirectory " + name + " has been created.");
    }
    // 6, 7.
    trainerWindow = 0;
    recogniserWindow = 0;
    bool started = false;
    std::int32_t msg = 0, wPar = 0, port = 0;
    numberBox(c.txtRunTimeMsg[0], &msg);
    numberBox(c.txtRunTimeMsg[1], &wPar);
    numberBox(c.txtRunTimeMsg[2], &port);
    if (!controlStep(m_wavescope->SetAppPath(m_state.AppPath)) ||
        !controlStep(m_wavescope->SetRunTimeMode(runTimeMode, c.txtRunTimeFile, c.txtRunTimeWind, msg, wPar,
                                                  c.txtRunTimeServerIP, port, c.chcRThide ? 1 : 0,
                                                  c.chcRTlist ? 1 : 0)))
        return false;
    m_host.modelChanged();
    m_host.processEvents();

    auto events = [&] {
        m_host.modelChanged();
        m_host.processEvents();
    };
    std::string error;
    const bool wordStrings = c.optVocStr == 1 && c.optVocab == 0;
    // 8. The mode's own steps.  The wizard's fields stay as they are; the
    // test name "x" and the word-string path are local.
    switch (mode) {
    case ModeSpeechRecording:
    case ModeSignalExploring: {
        std::string work;
        if (wordStrings) {
            if (mode == ModeSpeechRecording &&
                !controlStep(m_wavescope->SetNewVoc(c.lstString, std::int32_t(c.lstString.size()))))
                return false;
            work = std::string(kStringsFolder) + "/";
        }
        if (!controlStep(m_wavescope->LoadMode(mode, vocName, sourceFile, work)))
            return false;
        cmdPrevious_Click();
        break;
    }
    case ModeDtwMatching:
    case ModePickMatchDtw: {
        if (!controlStep(ConfigDTW(sourceFile)))
            return false;
        events();
        std::vector<std::string> files{sourceFile};
        files.insert(files.end(), c.lstRefSelected.begin(), c.lstRefSelected.end());
        if (!workingCopies(files, true))
            return false;
        if (mode == ModeDtwMatching) {
            if (!controlStep(m_dtw->LoadDTW()))
                return false;
        } else if (!controlStep(m_wavescope->LoadMode(mode, vocName, sourceFile, workDir))) {
            return false;
        }
        cmdPrevious_Click();
        break;
    }
    case ModeHmmTraining:
        if (!MakeMarkovTrainEdf(&error))
            return stopMode(error);
        events();
        if (!workingCopies(c.lstRefSelected, true))
            return false;
        startProgram(StatwalkKind::Training, trainerWindow, true);
        started = trainerWindow != 0;
        cmdPrevious_Click();
        break;
    case ModeHmmMatching:
        if (!MakeMarkovTestEdf(&error))
            return stopMode(error);
        events();
        if (!workingCopies({sourceFile}, true))
            return false;
        startProgram(StatwalkKind::Recognition, recogniserWindow, true);
        started = recogniserWindow != 0;
        cmdPrevious_Click();
        break;
    case ModePickMatchHmm:
        if (!MakeMarkovTestEdf(&error))
            return stopMode(error);
        events();
        if (!workingCopies({sourceFile}, true))
            return false;
        cmdPrevious_Click();
        startProgram(StatwalkKind::Recognition, recogniserWindow, false);
        if (!controlStep(m_wavescope->LoadMode(mode, vocName, sourceFile, workDir)))
            return false;
        break;
    case ModeSpeakRecognizeHmm:
        if (!MakeMarkovTestEdf(&error))
            return stopMode(error);
        startProgram(StatwalkKind::Recognition, recogniserWindow, false);
        if (!controlStep(m_wavescope->LoadMode(mode, vocName, sourceFile, workDir)))
            return false;
        cmdPrevious_Click();
        break;
    case ModeSpeakRecognizeDtw: {
        const std::string test = "x";
        if (!controlStep(ConfigDTW(test)))
            return false;
        if (!workingCopies(c.lstRefSelected, false))
            return false;
        report.printLine();
        if (!controlStep(m_wavescope->LoadMode(mode, vocName, test, workDir)))
            return false;
        cmdPrevious_Click();
        break;
    }
    case ModeStringsPickMatchHmm:
    case ModeStringsSpeakRecognizeHmm:
        if (!controlStep(m_chainview->LoadMode(mode, vocName, labStringName, sourceFile, workDir)) ||
            !controlStep(m_wavescope->LoadMode(mode, vocName, sourceFile, vocName + "/" + workDir)))
            return false;
        cmdPrevious_Click();
        break;
    case ModeHmmSequentialParallel:
        if (!controlStep(m_chainview->LoadMode(mode, vocName, labStringName, sourceFile, workDir)) ||
            !controlStep(m_chainview->ShowChainview(1)))
            return false;
        cmdPrevious_Click();
        break;
    default:  // the run-time mode only hands over the settings
        break;
    }
    // 9. An external program that works on its own: the wizard waits hidden.
    if (started) {
        m_host.hideWindow();
        m_host.startWatchTimer(kWatchIntervalMs);
    }
    m_hiddenForRunTime = false;
    return true;
}

void Wizard::frmV_DblClick()
{
    m_host.hideRestoreWindow();
    m_host.showWindow();
    if (m_wavescope && !m_busy) {
        m_busy = true;
        m_host.modelChanged();
        const ControlResult r = m_wavescope->ShowWavescope(1);
        m_busy = false;
        m_host.modelChanged();
        if (!r.ok)
            m_host.messageBox(r.error, MessageIcon::Exclamation);
        if (m_endRequested) {
            m_endRequested = false;
            m_host.endProgram();
        }
    }
}

}  // namespace talvor::workbench
