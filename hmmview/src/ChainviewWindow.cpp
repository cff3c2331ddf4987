#include "hmmview/ChainviewWindow.h"

#include <QAction>
#include <QActionGroup>
#include <QCloseEvent>
#include <QComboBox>
#include <QHideEvent>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>

#include <algorithm>

#include "platform/Colors.h"
#include "platform/Dialogs.h"

namespace talvor::hmmview {

namespace {

constexpr int kScrollBarTwips = 255;
constexpr int kFrameGapTwips = 60;
constexpr int kMinLayoutTwips = 5000;
constexpr const char* kMethodNames[3] = {"Sequential HMM", "Paralel HMM", "String HMM"};

}  // namespace

ChainviewWindow::ChainviewWindow(ChainviewModel& model, TwipScale scale, QWidget* parent)
    : QWidget(parent)
    , m_model(model)
    , m_scale(scale)
{
    setWindowTitle(QStringLiteral("Chainview"));
    m_menuBar = new QMenuBar(this);
    m_menuBar->setNativeMenuBar(false);
    buildMenus();

    m_match = new QPushButton(QStringLiteral("&Match"), this);
    m_words = new QComboBox(this);
    m_words->setPlaceholderText(QStringLiteral("Matched word"));
    m_next = new QPushButton(QStringLiteral("Next &Word"), this);
    m_animate = new QPushButton(QString::fromUtf8(kAnimateCaption), this);
    m_pause = new QPushButton(QString::fromUtf8(kPauseCaption), this);
    m_back = new QPushButton(QString::fromUtf8(kReturnTalvorCaption), this);
    m_report = new QPlainTextEdit(this);
    m_report->setReadOnly(true);
    m_report->setPlaceholderText(QStringLiteral("Reports and context help"));
    m_report->document()->setDocumentMargin(1);
    m_frame = new QWidget(this);
    m_frame->setAutoFillBackground(false);
    m_scrModel = new QScrollBar(Qt::Vertical, this);
    m_scrGraph = new QScrollBar(Qt::Horizontal, this);

    QObject::connect(m_match, &QPushButton::clicked, this, [this] {
        m_model.cmdMatch_Click();
        Form_Resize();
    });
    QObject::connect(m_words, &QComboBox::activated, this, [this](int index) { m_model.cmboWords_Click(index); });
    QObject::connect(m_next, &QPushButton::clicked, this, [this] { m_model.cmdNextWord_Click(); });
    QObject::connect(m_animate, &QPushButton::clicked, this, [this] {
        const bool starting = !m_model.onAnimate();
        m_model.cmdAnimate_Click();
        if (starting && !m_tearingDown)
            Form_Resize();
    });
    QObject::connect(m_pause, &QPushButton::clicked, this, [this] { m_model.cmdPause_Click(); });
    QObject::connect(m_back, &QPushButton::clicked, this, [this] { returnButton_Click(); });
    QObject::connect(m_scrModel, &QScrollBar::valueChanged, this, [this](int) { placePanes(); });
    QObject::connect(m_scrGraph, &QScrollBar::valueChanged, this, [this](int v) { scrGraph_Change(v); });

    m_model.setListener(this);
    rebuildPanes();
    SetDefSize();
    refresh();
}

ChainviewWindow::~ChainviewWindow()
{
    m_tearingDown = true;
    m_model.stopAnimation();
    m_model.setListener(nullptr);
    if (m_hidden)
        m_hidden();
}

void ChainviewWindow::buildMenus()
{
    QMenu* file = m_menuBar->addMenu(QStringLiteral("&File"));
    QMenu* view = m_menuBar->addMenu(QStringLiteral("&View"));
    QMenu* recognition = m_menuBar->addMenu(QStringLiteral("&Recognition"));
    QMenu* help = m_menuBar->addMenu(QStringLiteral("&Help"));
    m_menus = {file, view, recognition, help};
    QMenu* method = recognition->addMenu(QStringLiteral("Recognitiom method"));
    auto* group = new QActionGroup(this);
    for (int m = 0; m < 3; ++m) {
        QAction* a = method->addAction(QString::fromUtf8(kMethodNames[m]));
        a->setCheckable(true);
        group->addAction(a);
        QObject::connect(a, &QAction::triggered, this, [this, m] {
            m_model.setRecogMethod(m);
            refresh();
        });
        m_methods[static_cast<std::size_t>(m)] = a;
    }
    // The file and view entries arrive with the pane management; until then
    // the menus stand empty and disabled.
    file->setEnabled(false);
    view->setEnabled(false);
    help->setEnabled(false);
}

void ChainviewWindow::SetDefSize()
{
    resize(800, 600);
    // One text line plus two pixels (and the box's own frame and margins).
    m_reportHeight = m_report->fontMetrics().lineSpacing() + 2 + 2 * m_report->frameWidth() +
                     2 * static_cast<int>(m_report->document()->documentMargin()) + 2;
    Form_Resize();
}

void ChainviewWindow::Form_Resize()
{
    const int innerW = width();
    const int innerH = height();
    if (innerW < tw(kMinLayoutTwips) || innerH < tw(kMinLayoutTwips))
        return;
    const int menuH = m_menuBar->sizeHint().height();
    m_menuBar->setGeometry(0, 0, innerW, menuH);
    const int buttonH = m_match->sizeHint().height();
    const int w = static_cast<int>(innerW / 7.0 + 0.5);
    m_match->setGeometry(0, menuH, w, buttonH);
    m_words->setGeometry(w, menuH, 2 * w, buttonH);
    m_next->setGeometry(3 * w, menuH, w, buttonH);
    m_animate->setGeometry(4 * w, menuH, w, buttonH);
    m_pause->setGeometry(5 * w, menuH, w, buttonH);
    m_back->setGeometry(6 * w, menuH, innerW - 6 * w, buttonH);
    const int buttonsBottom = menuH + buttonH;
    m_report->setGeometry(0, buttonsBottom, innerW, m_reportHeight);
    m_report->setVisible(m_reportVisible);

    const int bar = tw(kScrollBarTwips);
    const int frameTop = (m_reportVisible ? buttonsBottom + m_reportHeight : buttonsBottom) + tw(kFrameGapTwips);
    const int frameW = std::max(innerW - bar, 0);
    const int frameH = innerH - frameTop - bar;
    if (frameH > 0)
        m_frame->setGeometry(0, frameTop, frameW, frameH);
    m_scrModel->setGeometry(frameW, m_frame->y(), bar, m_frame->height());

    // The horizontal scroll bar under the frame, from the trellis' left edge.
    const int graphLeft = tw(m_model.settings().leftGraphPos);
    const int visible = m_frame->width() - graphLeft;
    const int picture = m_panes.empty() ? 0 : m_panes.front()->pictureWidth();
    m_scrGraph->setGeometry(graphLeft, m_frame->y() + m_frame->height(), std::max(frameW - graphLeft, 0), bar);
    if (m_panes.empty() || visible >= picture) {
        m_scrGraph->setValue(0);
        m_scrGraph->setEnabled(false);
        for (GraphPane* p : m_panes)
            p->setGraphOffset(0);
    } else {
        m_scrGraph->setEnabled(true);
        m_scrGraph->setRange(0, picture - visible);
        m_scrGraph->setSingleStep(std::max(tw(m_model.settings().grStpX), 1));
        m_scrGraph->setPageStep(10 * std::max(tw(m_model.settings().grStpX), 1));
    }
    placePanes();
}

void ChainviewWindow::placePanes()
{
    const int gap = tw(m_model.settings().modelGap);
    int span = 0;
    for (std::size_t i = 0; i < m_panes.size(); ++i)
        span += m_panes[i]->paneHeight() + (i ? gap : 0);
    const bool scroll = !m_panes.empty() && m_frame->height() <= span;
    m_scrModel->setEnabled(scroll);
    m_scrModel->setRange(0, scroll ? static_cast<int>(m_panes.size()) - 1 : 0);
    const int first = scroll ? m_scrModel->value() : 0;
    int top = 0;
    for (std::size_t i = 0; i < m_panes.size(); ++i) {
        GraphPane* p = m_panes[i];
        const int h = p->paneHeight();
        if (static_cast<int>(i) < first) {
            p->setGeometry(0, -(h + gap), m_frame->width(), h);
            p->hide();
            continue;
        }
        p->setGeometry(0, top, m_frame->width(), h);
        p->show();
        top += h + gap;
    }
}

void ChainviewWindow::scrGraph_Change(int value)
{
    if (value < 0)
        return;
    for (GraphPane* p : m_panes)
        p->setGraphOffset(value);
}

void ChainviewWindow::rebuildPanes()
{
    const int n = m_model.paneCount();
    while (static_cast<int>(m_panes.size()) > n) {
        delete m_panes.back();
        m_panes.pop_back();
    }
    while (static_cast<int>(m_panes.size()) < n) {
        auto* p = new GraphPane(m_model, static_cast<int>(m_panes.size()), m_scale, m_frame);
        p->setChangedModel([this](int pane, int, int newIndex) { m_model.paneModelPicked(pane, newIndex); });
        m_panes.push_back(p);
        p->show();
    }
}

void ChainviewWindow::refresh()
{
    const bool busy = m_model.busy();
    const ChainviewButtons& b = m_model.buttons();
    const bool animating = m_model.onAnimate();
    // While a match runs only STOP and Pause/Continue are usable.
    m_match->setEnabled(b.match && !busy);
    m_words->setEnabled(b.words && !busy);
    m_next->setEnabled(b.next && !busy);
    m_animate->setEnabled(b.animate && (!busy || animating));
    m_pause->setEnabled(b.pause && animating);
    m_back->setEnabled(b.back && !busy);
    m_animate->setText(QString::fromStdString(m_model.animateCaption()));
    m_pause->setText(QString::fromStdString(m_model.pauseCaption()));
    m_back->setText(QString::fromStdString(m_model.returnCaption()));
    for (QMenu* menu : m_menus)
        menu->menuAction()->setEnabled(!busy && menu->actions().size() > 0);
    for (int m = 0; m < 3; ++m) {
        QAction* a = m_methods[static_cast<std::size_t>(m)];
        a->setChecked(m_model.recogMethod() == m);
        a->setEnabled(!busy && (m != StringMethod || m_model.stringMethodEnabled()));
    }

    if (m_model.words() != m_shownWords) {
        m_words->clear();
        for (const std::string& w : m_model.words())
            m_words->addItem(QString::fromStdString(w));
        m_shownWords = m_model.words();
    }
    if (m_words->currentIndex() != m_model.wordIndex())
        m_words->setCurrentIndex(m_model.wordIndex());

    std::string report = m_model.reportText();
    if (report != m_shownReport) {
        m_report->setPlainText(QString::fromStdString(report));
        m_shownReport = std::move(report);
    }

    QPalette pal = palette();
    pal.setColor(QPalette::Window, platform::toQColor(static_cast<std::uint32_t>(m_model.settings().clrModelSheetBorder)));
    setPalette(pal);
    setAutoFillBackground(true);
    for (GraphPane* p : m_panes)
        p->refresh();
}

void ChainviewWindow::viewerChanged()
{
    if (!m_tearingDown)
        refresh();
}

void ChainviewWindow::paneChanged(int pane)
{
    if (!m_tearingDown && pane >= 0 && pane < paneCount())
        m_panes[static_cast<std::size_t>(pane)]->refresh();
}

void ChainviewWindow::panesChanged()
{
    if (m_tearingDown)
        return;
    rebuildPanes();
    refresh();
    Form_Resize();
}

void ChainviewWindow::returnButton_Click()
{
    if (m_model.busy())
        return;
    if (m_model.returnAsks()) {
        const platform::DialogAnswer a = platform::dialogs().messageBox(
            kExitQuestion, "Chainview", platform::MessageIcon::Question, platform::MessageButtons::YesNo);
        if (a != platform::DialogAnswer::Yes)
            return;
    }
    hide();
}

void ChainviewWindow::closeEvent(QCloseEvent* event)
{
    if (m_tearingDown) {
        event->accept();
        return;
    }
    // A user's close is the return button, when that is usable.
    event->ignore();
    if (m_back->isEnabled())
        returnButton_Click();
}

void ChainviewWindow::hideEvent(QHideEvent* event)
{
    QWidget::hideEvent(event);
    if (!event->spontaneous() && m_hidden)
        m_hidden();
}

void ChainviewWindow::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    Form_Resize();
}

}  // namespace talvor::hmmview
