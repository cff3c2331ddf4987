#include "hmmview/UscChainview.h"

#include <QEventLoop>

#include "hmmview/ChainviewWindow.h"

namespace talvor::hmmview {

UscChainview::UscChainview(TwipScale scale)
    : m_scale(scale)
    , m_model(std::make_unique<ChainviewModel>(m_clock, m_pump))
{
}

UscChainview::~UscChainview()
{
    m_model->stopAnimation();
    m_window.reset();
}

ChainviewWindow& UscChainview::window()
{
    if (!m_window)
        m_window = std::make_unique<ChainviewWindow>(*m_model, m_scale);
    return *m_window;
}

ControlResult UscChainview::SetAppPath(const std::string& a_path)
{
    if (m_model->busy())
        return ControlResult::failure(m_model->busyReason());
    m_model->SetAppPath(a_path);
    return ControlResult::success();
}

ControlResult UscChainview::ShowChainview(std::int32_t modal)
{
    ChainviewWindow& w = window();
    w.setWindowTitle(QString::fromStdString(m_model->caption()));
    if (w.isVisible()) {
        // Already shown (perhaps by a modal call further up): raised, never entered twice.
        w.raise();
        w.activateWindow();
        return ControlResult::success();
    }
    w.show();
    w.raise();
    if (modal == 1) {
        QEventLoop loop;
        w.setHiddenListener([&loop] { loop.quit(); });
        if (w.isVisible())
            loop.exec();
        if (m_window)
            m_window->setHiddenListener(nullptr);
    }
    return ControlResult::success();
}

ControlResult UscChainview::LoadMode(std::int32_t pMode, const std::string& vName, const std::string& vStringName,
                                     const std::string& lName, const std::string& wParh)
{
    const ControlResult r = m_model->LoadMode(pMode, vName, vStringName, lName, wParh);
    if (r && m_window)
        m_window->setWindowTitle(QString::fromStdString(m_model->caption()));
    return r;
}

ControlResult UscChainview::PutWordData(std::int32_t i, std::span<const float> v, std::span<const std::int16_t> s,
                                        std::int32_t nFrames, std::string& name, std::int32_t& result)
{
    return m_model->PutWordData(i, v, s, nFrames, name, result);
}

ControlResult UscChainview::SetPruneTreshold(std::int32_t x)
{
    if (m_model->busy())
        return ControlResult::failure(m_model->busyReason());
    m_model->SetPruneTreshold(x);
    return ControlResult::success();
}

ControlResult UscChainview::GetResultByOrder(std::int32_t order, std::int32_t& result)
{
    result = -1;
    if (order < 0 || order > kMaxOrder)
        return ControlResult::failure("Result position " + std::to_string(order) + " is outside 0 to " +
                                      std::to_string(kMaxOrder) + ".");
    result = m_model->GetResultByOrder(order);
    return ControlResult::success();
}

ControlResult UscChainview::GetModelVocabularyIndex(std::int32_t modelIndex, std::int32_t& vocabularyIndex)
{
    vocabularyIndex = m_model->GetModelVocabularyIndex(modelIndex);
    if (vocabularyIndex < 0 && (modelIndex < 0 || modelIndex >= m_model->modelCount()))
        return ControlResult::failure("There is no model " + std::to_string(modelIndex) + ".");
    return ControlResult::success();
}

}  // namespace talvor::hmmview
