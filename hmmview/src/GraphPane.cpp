#include "hmmview/GraphPane.h"

#include <QComboBox>
#include <QLabel>
#include <QPainter>
#include <QPaintEvent>

#include <algorithm>

#include "platform/Colors.h"

namespace talvor::hmmview {

namespace {

QColor colourOf(Colour c) { return platform::toQColor(static_cast<std::uint32_t>(c)); }

}  // namespace

GraphPane::GraphPane(const ChainviewModel& model, int index, TwipScale scale, QWidget* parent)
    : QWidget(parent)
    , m_model(model)
    , m_index(index)
    , m_scale(scale)
    , m_combo(new QComboBox(this))
    , m_order(new QLabel(this))
    , m_score(new QLabel(this))
{
    m_combo->setToolTip(QStringLiteral("Selected model to match."));
    m_order->setToolTip(QStringLiteral("Order of current recognition match."));
    m_score->setToolTip(QStringLiteral("Score of current match."));
    m_order->setTextFormat(Qt::PlainText);
    m_score->setTextFormat(Qt::PlainText);
    setToolTip(QStringLiteral("HMM match between curent word and selected model"));
    // Only a pick by the user raises ChangedModel; the program's own
    // selections go through refresh() under the guard.
    QObject::connect(m_combo, &QComboBox::activated, this, [this](int newIndex) {
        if (m_guard)
            return;
        const int oldIndex = m_model.pane(m_index).modelIndex;
        if (m_changedModel)
            m_changedModel(m_index, oldIndex, newIndex);
    });
    refresh();
}

int GraphPane::leftGraphPosPx() const { return m_scale.pxRound(m_model.settings().leftGraphPos); }

int GraphPane::paneHeight() const
{
    const ChainviewPane& p = m_model.pane(m_index);
    const int rows = std::max(p.heightRows, 0);
    // Never lower than the combo and the two labels need.
    const int text = m_combo->sizeHint().height() + 2 * fontMetrics().height() + 8;
    return std::max(m_scale.pxRound(static_cast<double>(rows) * m_model.settings().grStpY + m_model.settings().grpsh), text);
}

int GraphPane::pictureWidth() const
{
    const ChainviewPane& p = m_model.pane(m_index);
    return trellisPictureSize(p.record, p.heightRows, m_model.settings(), m_scale).width();
}

QRect GraphPane::pictureRect() const
{
    return QRect(leftGraphPosPx() - m_offset, 0, pictureWidth(), height());
}

void GraphPane::setGraphOffset(int offsetPx)
{
    if (offsetPx < 0 || offsetPx == m_offset)
        return;
    m_offset = offsetPx;
    update();
}

void GraphPane::refresh()
{
    if (m_index >= m_model.paneCount())
        return;
    const ChainviewPane& p = m_model.pane(m_index);
    const std::vector<std::string> words = m_model.modelWords();
    m_guard = true;
    if (words != m_shownWords) {
        m_combo->clear();
        for (const std::string& w : words)
            m_combo->addItem(QString::fromStdString(w));
        m_shownWords = words;
    }
    m_combo->setCurrentIndex(p.modelIndex >= 0 && p.modelIndex < m_combo->count() ? p.modelIndex : -1);
    m_guard = false;
    m_combo->setEnabled(!m_model.busy());
    m_order->setText(QString::fromStdString(p.order));
    m_score->setText(QString::fromStdString(p.score));
    QPalette text = m_order->palette();
    text.setColor(QPalette::WindowText, colourOf(m_model.settings().clrModelText));
    m_order->setPalette(text);
    m_score->setPalette(text);
    QPalette combo = m_combo->palette();
    combo.setColor(QPalette::Text, colourOf(m_model.settings().clrModelText));
    combo.setColor(QPalette::ButtonText, colourOf(m_model.settings().clrModelText));
    m_combo->setPalette(combo);
    placeChildren();
    update();
}

void GraphPane::placeChildren()
{
    const int border = leftGraphPosPx();
    const int margin = 4;
    const int w = std::max(border - 2 * margin, 20);
    const int h = m_combo->sizeHint().height();
    m_combo->setGeometry(margin, margin, w, h);
    const int line = fontMetrics().height();
    m_order->setGeometry(margin, margin + h, w, line);
    m_score->setGeometry(margin, margin + h + line, w, line);
}

void GraphPane::resizeEvent(QResizeEvent*) { placeChildren(); }

void GraphPane::paintEvent(QPaintEvent* event)
{
    QPainter painter(this);
    const DisplaySettings& s = m_model.settings();
    const QRect all = rect();
    painter.fillRect(all.intersected(event->rect()), colourOf(s.clrModelSheetBorder));
    const int border = leftGraphPosPx();
    // The description area behind the combo and the labels.
    painter.fillRect(QRect(0, 0, border, height()).intersected(event->rect()), colourOf(s.clrModelTextBorder));
    if (m_index >= m_model.paneCount())
        return;
    const ChainviewPane& p = m_model.pane(m_index);
    // The picture never covers the description area.
    const QRect graphArea = QRect(border, 0, std::max(width() - border, 0), height()).intersected(event->rect());
    const QRect picture = pictureRect();
    const int pictureWidthPx = p.record.painted || p.record.frames > 0 ? picture.width() : graphArea.width();
    paintTrellis(painter, p.record, picture.topLeft(), pictureWidthPx, height(), s, m_scale, graphArea);
}

}  // namespace talvor::hmmview
