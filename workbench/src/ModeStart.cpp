// The End page's step and the work-directory check of the HMM modes.
#include "common/DataTree.h"
#include "workbench/Wizard.h"

namespace talvor::workbench {

namespace {

// What each mode starts, for the report of the End page.
const char* whatStarts(int mode)
{
    switch (mode) {
    case ModeSpeechRecording:
    case ModeSignalExploring:
        return "the signal analyser";
    case ModeDtwMatching:
        return "the DTW comparer";
    case ModeHmmTraining:
        return "the HMM trainer statwalk1";
    case ModeHmmMatching:
        return "the HMM recogniser statwalk2";
    case ModePickMatchHmm:
    case ModeSpeakRecognizeHmm:
        return "the signal analyser with the HMM recogniser statwalk2";
    case ModePickMatchDtw:
    case ModeSpeakRecognizeDtw:
        return "the signal analyser with the DTW comparer";
    case ModeStringsPickMatchHmm:
    case ModeStringsSpeakRecognizeHmm:
        return "the signal analyser with the HMM viewer";
    case ModeHmmSequentialParallel:
        return "the HMM viewer";
    default:
        return "";
    }
}

}  // namespace

bool Wizard::ReadModelEdf()
{
    // Trained models live beside the copy of the trainer's configuration.
    return !vocName.empty() && !workDir.empty() && DataTree(m_state.AppPath).hasModels(vocName, workDir);
}

void Wizard::RunMode()
{
    if (mode == ModeDatabaseMaintenance || mode == ModeRuntime)
        return;  // the wizard stays on the End page
    // The controls of the modes are not part of this program yet: say what
    // the chosen mode starts, then go back to the first page as a started
    // mode does.
    const std::string text = "Next starts " + std::string(whatStarts(mode)) + " in mode: " + m_state.ModeNames(mode) +
                             ". The mode programs are not installed in this version.";
    report.printLine(text);
    m_host.modelChanged();
    m_host.processEvents();
    m_host.messageBox(text, MessageIcon::Information);
    cmdPrevious_Click();
}

}  // namespace talvor::workbench
