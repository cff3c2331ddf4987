#include "hmmview/ChainviewWindow.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QMouseEvent>
#include <QPainter>
#include <QActionGroup>
#include <QCloseEvent>
#include <QComboBox>
#include <QHideEvent>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QTextLayout>
#include <QPushButton>
#include <QScrollBar>

#include <algorithm>
#include <cmath>

#include "common/FileNames.h"
#include "hmmview/ConfigDialog.h"
#include "platform/Colors.h"
#include "platform/Dialogs.h"

namespace talvor::hmmview {

namespace {

constexpr int kScrollBarTwips = 255;
constexpr int kFrameGapTwips = 60;
constexpr int kMinLayoutTwips = 5000;
constexpr int kReportLines = 2;  // text lines the report shows at the default size
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

    setMouseTracking(true);
    m_frame->setMouseTracking(true);
    m_report->viewport()->setMouseTracking(true);
    m_report->viewport()->installEventFilter(this);
    m_frame->installEventFilter(this);

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

    QObject::connect(file->addAction(QStringLiteral("&Open LAB file")), &QAction::triggered, this,
                     [this] { miOpenLabFile_Click(0); });
    m_saveLab = file->addAction(QStringLiteral("Save LAB file"));
    QObject::connect(m_saveLab, &QAction::triggered, this, [this] { miOpenLabFile_Click(1); });
    QObject::connect(file->addAction(QStringLiteral("Add file with &model ")), &QAction::triggered, this,
                     [this] { miAddModFile_Click(); });

    m_isReport = view->addAction(QStringLiteral("Show &Report Window"));
    m_isReport->setCheckable(true);
    m_isReport->setChecked(true);
    QObject::connect(m_isReport, &QAction::triggered, this, [this] { miIsReport_Click(); });
    QObject::connect(view->addAction(QStringLiteral("&Sort models by vocabulary order")), &QAction::triggered, this,
                     [this] { miSortMod_Click(0); });
    QObject::connect(view->addAction(QStringLiteral("&Sort models by current score")), &QAction::triggered, this,
                     [this] { miSortMod_Click(1); });

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
    QObject::connect(recognition->addAction(QStringLiteral("Test all to all")), &QAction::triggered, this,
                     [this] { miTestAll_Click(); });
    QObject::connect(recognition->addAction(QStringLiteral("Put windows image to clipboard")), &QAction::triggered,
                     this, [this] { miPutToClipBoard_Click(); });
    QObject::connect(recognition->addAction(QStringLiteral("Properties")), &QAction::triggered, this,
                     [this] { miProperties_Click(); });
    (void)help;  // no entries of its own
}

void ChainviewWindow::miOpenLabFile_Click(int index)
{
    if (m_model.busy())
        return;
    const std::string folder = joinPath(m_model.appPath(), "DATA");
    const std::string filter = "Labs file (*.LAB) | *.lab";
    if (index == 0) {
        const std::optional<std::string> path = platform::dialogs().openFile("Open", folder, filter);
        if (!path)
            return;
        const ControlResult r = m_model.openLabFile(*path);
        if (!r)
            platform::dialogs().messageBox(r.error, "Chainview", platform::MessageIcon::Critical,
                                           platform::MessageButtons::Ok);
        return;
    }
    const std::optional<std::string> path = platform::dialogs().saveFile("Save", folder, filter);
    if (!path)
        return;
    const ControlResult r = m_model.saveLabFile(*path);
    if (!r)
        platform::dialogs().messageBox(r.error, "Chainview", platform::MessageIcon::Critical,
                                       platform::MessageButtons::Ok);
}

void ChainviewWindow::miAddModFile_Click()
{
    if (m_model.busy())
        return;
    const std::optional<std::string> path =
        platform::dialogs().openFile("Open file with HMM parameters", m_model.appPath(), "*.Mod|*.mod");
    if (!path)
        return;
    // A file that cannot be read still gets its pane; the report says why.
    const ControlResult r = m_model.addModelFile(*path);
    if (!r && m_model.modelCount() >= kMaxModels)
        platform::dialogs().messageBox(r.error, "Chainview", platform::MessageIcon::Warning,
                                       platform::MessageButtons::Ok);
}

void ChainviewWindow::miIsReport_Click()
{
    m_reportVisible = !m_reportVisible;
    m_isReport->setChecked(m_reportVisible);
    Form_Resize();
}

void ChainviewWindow::miSortMod_Click(int index)
{
    if (index == 0)
        m_model.sortModelsByVocabulary();
    else
        m_model.sortModelsByScore();
    Form_Resize();
}

void ChainviewWindow::miTestAll_Click()
{
    const ControlResult r = m_model.TestAllToAll();
    if (!r)
        platform::dialogs().messageBox(r.error, "Test all to all", platform::MessageIcon::Critical,
                                       platform::MessageButtons::Ok);
}

QImage ChainviewWindow::windowImage()
{
    if (m_panes.empty())
        return {};
    const GraphPane* first = m_panes.front();
    const int width = first->leftGraphPosPx() + first->pictureWidth();
    long long height = 0;
    for (const GraphPane* p : m_panes)
        height += p->paneHeight();
    if (width > kMaxImageSide || height > kMaxImageSide) {
        platform::dialogs().messageBox("The picture of the panes would be " + std::to_string(width) + " x " +
                                           std::to_string(height) + " pixels: too large for the clipboard.",
                                       "Chainview", platform::MessageIcon::Warning, platform::MessageButtons::Ok);
        return {};
    }
    QImage image(width, static_cast<int>(height), QImage::Format_RGB32);
    if (image.isNull()) {
        platform::dialogs().messageBox("There is no memory for the picture of the panes.", "Chainview",
                                       platform::MessageIcon::Warning, platform::MessageButtons::Ok);
        return {};
    }
    const DisplaySettings& s = m_model.settings();
    image.fill(platform::toQColor(static_cast<std::uint32_t>(s.clrStateBorder)));
    QPainter painter(&image);
    int top = 0;
    for (const GraphPane* p : m_panes) {
        const ChainviewPane& pane = m_model.pane(p->index());
        const int h = p->paneHeight();
        painter.setPen(platform::toQColor(static_cast<std::uint32_t>(s.clrModelText)));
        const std::string name = pane.modelIndex >= 0 && pane.modelIndex < m_model.modelCount()
                                     ? m_model.model(pane.modelIndex).word()
                                     : std::string();
        painter.drawText(QRect(0, top, p->leftGraphPosPx(), h), Qt::AlignLeft | Qt::AlignTop, QString::fromStdString(name));
        paintTrellis(painter, pane.record, QPoint(p->leftGraphPosPx(), top), p->pictureWidth(), h, s, m_scale,
                     QRect(p->leftGraphPosPx(), top, p->pictureWidth(), h));
        top += h;
    }
    return image;
}

void ChainviewWindow::miPutToClipBoard_Click()
{
    if (m_model.busy())
        return;
    const QImage image = windowImage();
    if (image.isNull())
        return;
    if (QClipboard* c = QApplication::clipboard()) {
        c->clear();
        c->setImage(image);
    }
}

void ChainviewWindow::miProperties_Click()
{
    if (m_model.busy())
        return;
    ConfigDialog dialog(m_model.settings(), m_model.appPath(),
                        static_cast<int>(m_model.pacer().animationDelay() / 10),
                        [this](int v) { m_model.pacer().SetAnimationDelay(v); }, m_scale, this);
    dialog.exec();
    if (!dialog.isOK())
        return;
    m_model.settings() = dialog.settings();
    refresh();
    Form_Resize();
    for (GraphPane* p : m_panes)
        p->update();
}

void ChainviewWindow::ResizeReport(Qt::MouseButtons buttons, int y)
{
    if (!m_reportVisible)
        return;
    const int top = m_report->y();
    const int bottom = top + m_report->height();
    const int p = 2;
    const bool left = buttons & Qt::LeftButton;
    if (!m_dragging) {
        if (bottom - p < y && y < bottom + p) {
            setCursor(Qt::SizeVerCursor);
            if (left)
                m_dragging = true;
        } else {
            unsetCursor();
        }
    }
    if (left && m_dragging) {
        const int most = std::max(height() - top - tw(kScrollBarTwips), 0);
        m_reportHeight = std::clamp(y - top, 0, most);
        m_report->setGeometry(m_report->x(), top, m_report->width(), m_reportHeight);
    } else if (!left && m_dragging) {
        m_dragging = false;
        unsetCursor();
        Form_Resize();
    }
}

void ChainviewWindow::mouseMoveEvent(QMouseEvent* event)
{
    ResizeReport(event->buttons(), event->position().toPoint().y());
}

void ChainviewWindow::mousePressEvent(QMouseEvent* event)
{
    ResizeReport(event->buttons(), event->position().toPoint().y());
}

void ChainviewWindow::mouseReleaseEvent(QMouseEvent* event)
{
    ResizeReport(event->buttons(), event->position().toPoint().y());
}

bool ChainviewWindow::eventFilter(QObject* watched, QEvent* event)
{
    // Moves over the report box and the pane frame reach the drag too.
    if (event->type() == QEvent::MouseMove || event->type() == QEvent::MouseButtonPress ||
        event->type() == QEvent::MouseButtonRelease) {
        auto* w = qobject_cast<QWidget*>(watched);
        auto* me = static_cast<QMouseEvent*>(event);
        if (w) {
            const int y = w->mapTo(this, me->position().toPoint()).y();
            const bool nearEdge = std::abs(y - (m_report->y() + m_report->height())) < 3;
            if (m_dragging || nearEdge) {
                ResizeReport(me->buttons(), y);
                return true;
            }
        }
    }
    return QWidget::eventFilter(watched, event);
}

void ChainviewWindow::SetDefSize()
{
    resize(800, 600);
    // Two whole text lines (the newest result and the word it belongs to)
    // with the box's own frame and margins, never part of a third: a line is
    // as high as the text layout makes it (not the font's line spacing).
    QTextLayout layout(QStringLiteral("Xg"), m_report->font());
    layout.beginLayout();
    const QTextLine line = layout.createLine();
    layout.endLayout();
    m_reportHeight = static_cast<int>(std::ceil(kReportLines * line.height())) + 2 * m_report->frameWidth() +
                     2 * static_cast<int>(m_report->document()->documentMargin());
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
        m_scrGraph->setRange(0, 0);
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
        menu->menuAction()->setEnabled(!busy);
    m_saveLab->setEnabled(m_model.saveLabEnabled());
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
