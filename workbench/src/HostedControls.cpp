#include "workbench/HostedControls.h"

#ifdef TALVOR_HOST_ANALYSER
#include "analyser/Profiler.h"  // the engine's type, for the control's default engine
#include "analyser/UscWavescope.h"
#endif
#ifdef TALVOR_HOST_TIMEWARP
#include "timewarp/UscDtw.h"
#endif
#ifdef TALVOR_HOST_HMMVIEW
#include "hmmview/UscChainview.h"
#endif

namespace talvor::workbench {

HostedControls makeHostedControls()
{
    HostedControls c;
#ifdef TALVOR_HOST_ANALYSER
    c.wavescope = std::make_unique<UscWavescope>();
#endif
#ifdef TALVOR_HOST_TIMEWARP
    c.dtw = std::make_unique<timewarp::UscDtw>();
#endif
#ifdef TALVOR_HOST_HMMVIEW
    c.chainview = std::make_unique<hmmview::UscChainview>();
#endif
    return c;
}

}  // namespace talvor::workbench
