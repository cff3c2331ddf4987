#include "analyser/UscWavescope.h"

#include "ProfilerWindow.h"
#include "analyser/PlatformRunTimeOutput.h"
#include "analyser/Profiler.h"

#include <QEventLoop>
#include <QGuiApplication>
#include <QScreen>

namespace talvor {

using analyser::BoxButtons;
using analyser::BoxIcon;

UscWavescope::UscWavescope() : UscWavescope(nullptr) {}

UscWavescope::UscWavescope(std::unique_ptr<analyser::AnalyserEngine> engine)
    : m_engine(engine ? std::move(engine) : analyser::makeLibraryEngine()),
      m_host(std::make_unique<analyser::PlatformHost>()),
      m_profiler(std::make_unique<analyser::Profiler>(*m_engine, *m_host, m_module))
{
    // Run-time results leave through the platform's windows; a failed result
    // file is a message box while the window is shown, a line on standard
    // error while the analyser listens hidden.
    m_outputServices = std::make_unique<analyser::PlatformRunTimeOutputServices>(
        [this] { return m_profiler && m_profiler->windowShown; });
    m_profiler->setRunTimeOutputServices(m_outputServices.get());
    m_module.InitModeNames();
}

UscWavescope::~UscWavescope()
{
    m_window.reset();
    m_profiler.reset();
}

analyser::Profiler& UscWavescope::profiler()
{
    ensureWindow();
    return *m_profiler;
}

QWidget* UscWavescope::window()
{
    ensureWindow();
    return m_window.get();
}

void UscWavescope::ensureWindow()
{
    if (m_window)
        return;
    m_profiler->Form_Load();
    m_window = std::make_unique<analyser::ProfilerWindow>(*m_profiler, *m_host);
    // In the middle of the screen.
    m_window->adjustSize();
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        m_window->move(screen->availableGeometry().center() - m_window->rect().center());
}

ControlResult UscWavescope::SetAppPath(const std::string& a_path)
{
    m_module.AppPath = a_path;
    return ControlResult::success();
}

ControlResult UscWavescope::ShowWavescope(std::int32_t modal)
{
    if (modal != 0 && modal != 1) {
        const std::string text = "ShowWavescope: the modal flag must be 0 or 1, not " + std::to_string(modal) + ".";
        m_host->messageBox(text, analyser::kWavescopeTitle, BoxIcon::Critical, BoxButtons::Ok);
        return ControlResult::failure(text);
    }
    ensureWindow();
    analyser::Profiler& p = *m_profiler;
    p.caption = kCaptionWavescope + m_module.ModeNames(p.profilerMode);
    m_window->stateChanged();
    if (p.windowShown && m_modalDepth > 0) {
        m_window->raiseAndRepaint();
        return ControlResult::success();
    }
    p.setShown(true);
    if (modal == 1 && p.windowShown) {
        QEventLoop loop;
        auto previous = m_window->onHidden;
        m_window->onHidden = [&loop] { loop.quit(); };
        ++m_modalDepth;
        loop.exec();
        --m_modalDepth;
        m_window->onHidden = previous;
    }
    return ControlResult::success();
}

ControlResult UscWavescope::LoadMode(std::int32_t pMode, const std::string& vName, const std::string& lName,
                                     const std::string& wParh)
{
    ensureWindow();
    analyser::Profiler& p = *m_profiler;
    if (m_modalDepth > 0 || p.busy()) {
        const std::string text = "The analyser window is in use.";
        return ControlResult::failure(text);
    }
    p.clearStopRequest();
    const ControlResult r = p.SetMode(pMode, vName, lName, wParh);
    if (!r)
        return r;
    p.setShown(false);
    if (m_module.runTime.RTmode < 1)
        return ShowWavescope(1);
    p.miReplayChecked = false;
    m_window->stateChanged();
    p.cmdRepeat_Click();
    if (m_module.runTime.RThide == 1) {
        ShowWavescope(0);
        p.setShown(false);
        return ControlResult::success();
    }
    return ShowWavescope(1);
}

ControlResult UscWavescope::SetControls(DtwControl* uD, ChainviewControl* uH)
{
    m_profiler->uDTW = uD;
    m_profiler->uChainview = uH;
    return ControlResult::success();
}

ControlResult UscWavescope::SetNewVoc(std::span<const std::string> words, std::int32_t nWords)
{
    if (nWords < 0 || std::size_t(nWords) > words.size())
        return ControlResult::failure("SetNewVoc: " + std::to_string(nWords) + " words asked for, " +
                                      std::to_string(words.size()) + " given.");
    m_profiler->SetNewVoc(std::vector<std::string>(words.begin(), words.begin() + nWords), nWords);
    return ControlResult::success();
}

ControlResult UscWavescope::SetRunTimeMode(std::int32_t RTmode, const std::string& RTfile,
                                           const std::string& RTwCapt, std::int32_t RTmsg, std::int32_t RTwPar,
                                           const std::string& RTip, std::int32_t RTport, std::int32_t RThide,
                                           std::int32_t RTResultList)
{
    m_module.SetRunTimeMode(RTmode, RTfile, RTwCapt, RTmsg, RTwPar, RTip, RTport, RThide, RTResultList);
    return ControlResult::success();
}

}  // namespace talvor
