#pragma once
// The three controls the workbench hosts: the signal analyser, the DTW
// comparer and the HMM viewer.  The program owns one of each; the wizard and
// the analyser hold non-owning pointers.

#include <memory>

#include "common/ControlInterfaces.h"

namespace talvor::workbench {

struct HostedControls {
    std::unique_ptr<WavescopeControl> wavescope;
    std::unique_ptr<DtwControl> dtw;
    std::unique_ptr<ChainviewControl> chainview;
};

// Makes the three controls (after the QApplication).  A control whose library
// is not part of this build stays null; a mode that needs it says so.
HostedControls makeHostedControls();

}  // namespace talvor::workbench
