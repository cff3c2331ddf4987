#pragma once
// A view of the analyser's logic that shows its word in the word displays, as
// the analyser window does (Display: the word in the Profiler's buffers;
// redrawShown: the word shown, in the present colours), for tests and the
// render tool that need the panes without the window.
#include "analyser/Profiler.h"
#include "analyser/WordDisplays.h"

namespace talvor::analyser::testing {

class DisplaysView final : public ProfilerView {
public:
    DisplaysView(const Profiler& profiler, WordDisplays& displays) : m_profiler(profiler), m_displays(displays) {}
    int displays = 0;  // Display calls

    void Display() override
    {
        ++displays;
        WordSource word;
        word.samples = m_profiler.sampleBuf;
        word.sampleCount = m_profiler.sampleCount;
        word.features = m_profiler.featureBuf;
        word.wStart = m_profiler.wStart;
        word.wStop = m_profiler.wStop;
        word.startSample = m_profiler.startSample;
        word.endSample = m_profiler.endSample;
        word.status = m_profiler.status;
        m_displays.showWord(word);
    }
    void redrawShown() override { m_displays.redraw(); }
    void clearPanes() override { m_displays.clearAll(); }
    void redrawWave() override { m_displays.clearAll(); }

private:
    const Profiler& m_profiler;
    WordDisplays& m_displays;
};

}  // namespace talvor::analyser::testing
