#include "timewarp/UscDtw.h"

#include <QApplication>
#include <QEventLoop>
#include <QPointer>

#include "common/FileNames.h"
#include "timewarp/DtwDialogWindows.h"
#include "timewarp/DtwSession.h"
#include "timewarp/FrmDtw.h"

namespace talvor::timewarp {

UscDtw::UscDtw()
    : m_state(std::make_unique<DtwComparerState>())
    , m_version(versionText(kVersionMajor, kVersionMinor, kRevision))
    , m_revision(kRevision)
{
    InitDtwDefaults(*m_state);
    m_module.InitModeNames();
    m_session = std::make_unique<DtwSession>(*m_state, m_module);
}

UscDtw::~UscDtw()
{
    if (m_modalLoop)
        static_cast<QEventLoop*>(m_modalLoop)->quit();
    m_dialogs.reset();
    delete m_window;
}

ControlResult UscDtw::SetAppPath(const std::string& a_path)
{
    m_state->appPath = a_path;
    m_state->appPathSlash = normalizeSeparators(a_path) + "/";
    m_module.AppPath = a_path;
    return ControlResult::success();
}

FrmDtw& UscDtw::ensureWindow()
{
    if (!m_window) {
        m_window = new FrmDtw(*m_session);
        m_window->setWindowTitle(QString::fromStdString(m_session->windowCaption()));
        m_window->onHidden = [this] {
            if (m_modalLoop)
                static_cast<QEventLoop*>(m_modalLoop)->quit();
        };
        m_window->onExit = [this] { unloadWindow(); };
        m_window->onDialog = [this](const std::string& which) { openDialog(which); };
        m_window->centre();
    }
    return *m_window;
}

void UscDtw::unloadWindow()
{
    m_session->stopAnimation();
    if (!m_window)
        return;
    // The four dialogs go with the window.
    m_dialogs.reset();
    FrmDtw* w = m_window;
    m_window = nullptr;
    w->hide();
    w->onHidden = nullptr;
    w->onExit = nullptr;
    w->onDialog = nullptr;
    w->deleteLater();
    if (m_modalLoop)
        static_cast<QEventLoop*>(m_modalLoop)->quit();
}

void UscDtw::refreshWindow()
{
    if (m_window)
        m_window->refresh();
}

void UscDtw::openDialog(const std::string& which)
{
    if (!m_window || !m_session->enables().menus)
        return;
    if (!m_dialogs)
        m_dialogs = std::make_unique<DtwDialogs>(*m_session, [this] { refreshWindow(); });
    DtwDialog* d = which == "ref"      ? static_cast<DtwDialog*>(&m_dialogs->refSel)
                   : which == "plot"   ? static_cast<DtwDialog*>(&m_dialogs->plot)
                   : which == "method" ? static_cast<DtwDialog*>(&m_dialogs->method)
                   : which == "feat"   ? static_cast<DtwDialog*>(&m_dialogs->feat)
                                       : nullptr;
    if (!d || d->isVisible())
        return;
    d->showModal();
    refreshWindow();
}

ControlResult UscDtw::ShowDTW(std::int32_t modal)
{
    if (!qobject_cast<QApplication*>(QCoreApplication::instance()))
        return ControlResult::failure("the DTW window cannot be shown without a GUI application");
    FrmDtw& w = ensureWindow();
    w.setWindowTitle(QString::fromStdString(m_session->windowCaption()));
    w.refresh();
    if (w.isVisible()) {
        // Never a second modal loop on one window.
        w.raise();
        w.activateWindow();
        return ControlResult::success();
    }
    if (modal != 1) {
        w.show();
        return ControlResult::success();
    }
    QEventLoop loop;
    m_modalLoop = &loop;
    w.show();
    w.raise();
    loop.exec();
    m_modalLoop = nullptr;
    return ControlResult::success();
}

ControlResult UscDtw::LoadDTW()
{
    bool modal = false;
    ControlResult r = m_session->LoadDTW(&modal);
    if (!r)
        return r;
    if (m_window) {
        m_window->setWindowTitle(QString::fromStdString(m_session->windowCaption()));
        m_window->refresh();
        if (!m_window->isVisible())
            m_window->centre();
    }
    if (!modal)
        return r;
    if (!qobject_cast<QApplication*>(QCoreApplication::instance()))
        return ControlResult::failure("the DTW window cannot be shown without a GUI application");
    ensureWindow();
    return ShowDTW(1);
}

ControlResult UscDtw::LoadMode(std::int32_t pMode, const std::string& vName, const std::string& wParh,
                               std::int32_t nFeat, std::span<const std::int16_t> chkFeat,
                               const std::vector<std::string>& refFiles, const std::string& sourceFile)
{
    ControlResult r = m_session->LoadMode(pMode, vName, wParh, nFeat, chkFeat, refFiles, sourceFile);
    if (r)
        m_session->FormLoad();
    refreshWindow();
    return r;
}

ControlResult UscDtw::SetPMword(std::int32_t i)
{
    BusyCursor busy;
    ControlResult r = m_session->SetPMword(i);
    refreshWindow();
    return r;
}

ControlResult UscDtw::GetRecogWord(std::int32_t& i)
{
    BusyCursor busy;
    ControlResult r = m_session->GetRecogWord(i);
    refreshWindow();
    return r;
}

ControlResult UscDtw::GetSelectedFeature(std::span<bool> sF)
{
    return m_session->GetSelectedFeature(sF);
}

}  // namespace talvor::timewarp
