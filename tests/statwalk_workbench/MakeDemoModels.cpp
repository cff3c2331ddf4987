// Trains a work directory of a data tree the way a user does: the wizard
// starts HMM Training (the recordings' word sets, STATWALK1.EDF and its copy
// in the work directory, then statwalk1 from the program folder) and waits
// until the trainer's window is gone.  The demo tree's trained work
// directory is made with it (data/make-demo-data).
//
//   statwalk_make_demo_models PROGRAM_FOLDER VOCABULARY WORKDIR STATES MIXTURES RECORDING...
//
// The program folder must hold statwalk1; the work directory must exist.
// Features: the 16 cepstral and delta cepstral coefficients.  The hosted
// controls are the workbench tests' stand-ins: HMM Training calls none of
// them but to hand over the program folder and the run-time settings.
#include <QApplication>
#include <cstdio>
#include <string>
#include <vector>

#include "FakeControls.h"
#include "common/DataTree.h"
#include "common/NumberText.h"
#include "platform/Dialogs.h"
#include "testing/EventLoop.h"
#include "workbench/MainProgram.h"
#include "workbench/WizardWindow.h"

using namespace talvor;

int main(int argc, char** argv)
{
    if (argc < 7) {
        std::fprintf(stderr, "usage: %s PROGRAM_FOLDER VOCABULARY WORKDIR STATES MIXTURES RECORDING...\n", argv[0]);
        return 2;
    }
    std::int32_t states = 0, mixtures = 0;
    if (!parseInt32(argv[4], &states) || !parseInt32(argv[5], &mixtures)) {
        std::fprintf(stderr, "states and mixtures are whole numbers\n");
        return 2;
    }
    QApplication app(argc, argv);
    platform::ScopedScriptedDialogs dialogs;
    ModuleState state;
    state.AppPath = argv[1];
    workbench::PlatformPrograms programs;
    workbench::WizardWindow window(programs, state);
    workbench::test::FakeControls controls;
    workbench::Wizard& w = window.wizard();
    w.setControls(&controls.wavescope, &controls.dtw, &controls.chainview);
    window.show();

    w.mode = ModeHmmTraining;
    w.vocName = argv[2];
    w.workDir = argv[3];
    w.controls.lstRefSelected.assign(argv + 6, argv + argc);
    w.controls.chkFeature = {};
    for (int i = 0; i < 16; ++i)
        w.controls.chkFeature[static_cast<std::size_t>(i)] = true;
    w.numFeat = 16;
    w.nStates = states;
    w.nMixtures = mixtures;
    w.RunMode();
    for (const auto& d : dialogs.shown)
        std::fprintf(stderr, "%s\n", d.text.c_str());
    if (w.trainerWindow == 0)
        return 1;
    if (!talvor::test::serveEventsUntil([&] { return window.isVisible() && !window.watchTimerActive(); }, 600000))
        return 1;
    if (!DataTree(state.AppPath).hasModels(w.vocName, w.workDir))
        return 1;
    std::printf("trained: %s\n", DataTree(state.AppPath).workFolder(w.vocName, w.workDir).c_str());
    return 0;
}
