#pragma once
// A view of the analyser's logic that shows its word in the word displays, as
// the analyser window does (Display: the word in the Profiler's buffers;
// redrawShown: the word shown, in the present colours), for tests and the
// render tool that need the panes without the window.
#include "analyser/ProfilerWord.h"

namespace talvor::analyser::testing {

class DisplaysView final : public ProfilerView {
public:
    DisplaysView(const Profiler& profiler, WordDisplays& displays) : m_profiler(profiler), m_displays(displays) {}
    int displays = 0;  // Display calls

    void Display() override
    {
        ++displays;
        m_displays.showWord(profilerWord(m_profiler));
    }
    void redrawShown() override { m_displays.redraw(); }
    void clearPanes() override { m_displays.clearAll(); }
    void redrawWave() override { m_displays.clearAll(); }

private:
    const Profiler& m_profiler;
    WordDisplays& m_displays;
};

}  // namespace talvor::analyser::testing
