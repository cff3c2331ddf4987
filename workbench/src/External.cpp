// The main window's services for the external HMM programs: starting one and
// finding its window, watching that window while the wizard is hidden, and
// the command keys the programs may send.
#include <chrono>

#include "workbench/Wizard.h"

namespace talvor::workbench {

std::string Wizard::StatwalkWindowTitle() const
{
    return m_state.caption(kCaptionStatwalk, mode);
}

void Wizard::StartAndFindWindow(WindowHandle& hwnd, const std::string& cmd, const std::string& title)
{
    hwnd = 0;
    // A window that already has the caption would be taken for the new
    // program's (and the new program could not register its own).
    if (m_programs.findWindow(title) != 0) {
        m_host.messageBox("Cannot start " + cmd + "\r\n" + "A window titled \"" + title + "\" is open already.",
                          MessageIcon::None);
        return;
    }
    // Programs started earlier that have ended are let go (and reaped).
    std::erase_if(m_started, [](const std::unique_ptr<StartedProgram>& p) { return !p->isRunning(); });
    std::string error;
    std::unique_ptr<StartedProgram> program = m_programs.start(cmd, m_state.AppPath, &error);
    if (!program) {
        m_host.messageBox("Cannot start " + cmd + "\r\n" + error, MessageIcon::None);
        return;
    }
    // The program opens its window shortly after it starts; wait for it a
    // bounded time, and stop waiting as soon as the program has ended.
    using Clock = std::chrono::steady_clock;
    const auto deadline = Clock::now() + std::chrono::milliseconds(kExternalWindowWaitMs);
    constexpr int kSliceMs = 100;
    while (hwnd == 0) {
        hwnd = m_programs.waitForNewWindow(title, 0, kSliceMs);
        if (hwnd != 0)
            break;
        if (!program->isRunning()) {
            m_host.messageBox("Cannot start " + cmd + "\r\n" + "The program ended without opening its window \"" +
                                  title + "\".",
                              MessageIcon::None);
            return;
        }
        if (Clock::now() >= deadline) {
            program->terminate();
            m_host.messageBox("Cannot start " + cmd + "\r\n" + "Its window \"" + title + "\" did not open within " +
                                  std::to_string(kExternalWindowWaitMs / 1000) + " seconds.",
                              MessageIcon::None);
            m_started.push_back(std::move(program));
            return;
        }
    }
    m_started.push_back(std::move(program));
}

void Wizard::StartWatchedProgram(const std::string& programName, WindowHandle& hwnd)
{
    savedCaption = m_host.caption();
    m_host.setCaption(kCaptionSetup);
    StartAndFindWindow(hwnd, m_state.AppPath + "/" + programName, StatwalkWindowTitle());
    if (hwnd != 0) {
        m_host.hideWindow();
        m_host.startWatchTimer(kWatchIntervalMs);
    }
    m_host.modelChanged();
}

void Wizard::Form_KeyDown(std::uint32_t keyCode)
{
    switch (keyCode) {
    case KeyShowAndStopWatch:
        m_host.stopWatchTimer();
        m_host.showWindow();
        break;
    case KeyEndProgram:
        cmdExit_Click();
        break;
    case KeyHideWindow:
        m_host.hideWindow();
        break;
    case KeyShowAndRestoreCaption:
        m_host.showWindow();
        // Before any external program was started there is no caption to
        // go back to; the window keeps the one it has.
        if (!savedCaption.empty())
            m_host.setCaption(savedCaption);
        break;
    default:
        break;
    }
}

void Wizard::tmpMarkov_Timer()
{
    if (m_programs.findWindow(StatwalkWindowTitle()) == 0) {
        m_host.stopWatchTimer();
        m_host.showWindow();
    }
}

}  // namespace talvor::workbench
