#include "hmmview/ModelViewWindow.h"

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPainter>
#include <QPainterPath>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QTabWidget>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>

#include "common/NumberText.h"
#include "hmmview/ModelText.h"
#include "platform/Dialogs.h"

namespace talvor::hmmview {

namespace {

// The plot's size before the window is first laid out; then it fills its frame.
constexpr int kPlotWidth = 560;
constexpr int kPlotHeight = 300;
constexpr double kPlotBottom = -0.2;

QString qs(const std::string& s) { return QString::fromStdString(s); }

}  // namespace

ModelViewWindow::ModelViewWindow(QWidget* parent)
    : QWidget(parent)
    , m_plot(kPlotWidth, kPlotHeight, QImage::Format_RGB32)
{
    setWindowTitle(QStringLiteral("MODELS viewer"));
    m_plot.fill(Qt::white);
    m_menuBar = new QMenuBar(this);
    m_menuBar->setNativeMenuBar(false);
    QMenu* file = m_menuBar->addMenu(QStringLiteral("&File"));
    QObject::connect(file->addAction(QStringLiteral("Opem MOD")), &QAction::triggered, this, [this] { miOpen_Click(); });

    auto* layout = new QVBoxLayout(this);
    layout->setMenuBar(m_menuBar);
    m_fileLabel = new QLabel;
    m_fileLabel->setTextFormat(Qt::PlainText);
    layout->addWidget(m_fileLabel);
    auto* header = new QGridLayout;
    static const char* const captions[11] = {"Model ID : ",       "Sample freq. : ",      "Window size : ",
                                             "Window shift : ",   "Number of feat. : ",   "Number of states : ",
                                             "Number of mixtures : ", "Max skip : ",      "Training date : ",
                                             "Model's const : ",  "Model of word:"};
    for (int k = 0; k < 11; ++k) {
        auto* l = new QLabel(QString::fromUtf8(captions[k]));
        l->setTextFormat(Qt::PlainText);
        m_popis[static_cast<std::size_t>(k)] = l;
        header->addWidget(l, k % 5, k / 5);
    }
    m_word = new QLabel;
    m_word->setTextFormat(Qt::PlainText);
    QFont big = m_word->font();
    big.setBold(true);
    big.setPointSizeF(big.pointSizeF() * 1.4);
    m_word->setFont(big);
    header->addWidget(m_word, 1, 2);
    layout->addLayout(header);

    m_tabs = new QTabWidget;
    m_text = new QPlainTextEdit;
    m_text->setReadOnly(true);
    m_text->setLineWrapMode(QPlainTextEdit::NoWrap);
    m_tabs->addTab(m_text, QStringLiteral("Text"));

    auto* graf = new QWidget;
    auto* g = new QGridLayout(graf);
    m_feature = new QComboBox;
    m_mixture = new QComboBox;
    m_state = new QComboBox;
    g->addWidget(new QLabel(QStringLiteral("Feature:")), 0, 0);
    g->addWidget(m_feature, 0, 1);
    g->addWidget(new QLabel(QStringLiteral("Mixture:")), 1, 0);
    g->addWidget(m_mixture, 1, 1);
    g->addWidget(new QLabel(QStringLiteral("State:")), 2, 0);
    g->addWidget(m_state, 2, 1);
    static const char* const scaleCaptions[3] = {"Min X:", "Max X:", "Max Y:"};
    static const char* const scaleDefaults[3] = {"-3", "3", "1"};
    // Digits, ".", "-", "+" and blanks only: letters cannot be typed.
    auto* numeric = new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9.+\\- ]*")), this);
    for (int k = 0; k < 3; ++k) {
        auto* box = new QLineEdit(QString::fromUtf8(scaleDefaults[k]));
        box->setValidator(numeric);
        box->setMaximumWidth(80);
        box->setToolTip(k < 2 ? QStringLiteral("Scale X axis") : QStringLiteral("Scale Y axis"));
        m_scales[static_cast<std::size_t>(k)] = box;
        g->addWidget(new QLabel(QString::fromUtf8(scaleCaptions[k])), 3 + k, 0);
        g->addWidget(box, 3 + k, 1);
    }
    m_auto = new QCheckBox(QStringLiteral("Auto display"));
    g->addWidget(m_auto, 6, 0, 1, 2);
    auto* display = new QPushButton(QStringLiteral("Display"));
    g->addWidget(display, 7, 0, 1, 2);
    auto* toClipboard = new QGroupBox(QStringLiteral("To clipboard"));
    auto* tc = new QVBoxLayout(toClipboard);
    auto* allStates = new QPushButton(QStringLiteral("All states"));
    auto* current = new QPushButton(QStringLiteral("Current state"));
    auto* clear = new QPushButton(QStringLiteral("Clear graf"));
    tc->addWidget(allStates);
    tc->addWidget(current);
    tc->addWidget(clear);
    g->addWidget(toClipboard, 8, 0, 1, 2);
    g->setRowStretch(9, 1);
    m_picture = new QLabel;
    m_picture->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    m_picture->setFrameShape(QFrame::Box);
    // The frame sets the plot's size, never the other way round.
    m_picture->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Ignored);
    m_picture->setMinimumSize(kPlotWidth / 4, kPlotHeight / 4);
    m_picture->installEventFilter(this);
    g->addWidget(m_picture, 0, 2, 10, 1);
    g->setColumnStretch(2, 1);
    m_tabs->addTab(graf, QStringLiteral("State graf"));
    auto* compare = new QLabel(QStringLiteral("Successive displays overlay on the plot of \"State graf\" until "
                                              "\"Clear graf\": display several states or mixtures to compare them."));
    compare->setWordWrap(true);
    compare->setAlignment(Qt::AlignTop | Qt::AlignLeft);
    m_tabs->addTab(compare, QStringLiteral("Remember and compare"));
    layout->addWidget(m_tabs, 1);

    QObject::connect(display, &QPushButton::clicked, this, [this] { cmbDisplayState_Click(); });
    QObject::connect(clear, &QPushButton::clicked, this, [this] { cmbClearGraf_Click(); });
    QObject::connect(current, &QPushButton::clicked, this, [this] { cmbGrafToClb_Click(); });
    QObject::connect(allStates, &QPushButton::clicked, this, [this] { cmbAllStates_Click(); });
    for (QComboBox* c : {m_feature, m_mixture, m_state})
        QObject::connect(c, &QComboBox::activated, this, [this] { choiceChanged(); });
    resize(860, 640);
    showPlot();
}

void ModelViewWindow::LoadMOD(const std::string& fileName)
{
    std::string name = fileName;
    const ModLoadReport report = m_model.LoadMOD(name);
    m_fileLabel->setText(qs(m_model.fileLabel()));
    if (!report.opened) {
        if (!report.error.empty())
            platform::dialogs().messageBox(report.error, "MODELS viewer", platform::MessageIcon::Warning,
                                           platform::MessageButtons::Ok);
        return;
    }
    const HmmModel& m = m_model;
    const TrainDate& d = m.trainDate();
    const std::string values[10] = {
        std::to_string(m.modelID()),     std::to_string(m.frequencY()),    std::to_string(m.modelWindowLength()),
        std::to_string(m.modelWindowShift()), std::to_string(m.nParams()), std::to_string(m.nStates()),
        std::to_string(m.nMixtures()),   std::to_string(m.maxSkips()),
        d.isSet() ? std::to_string(d.day) + "." + std::to_string(d.month) + "." + std::to_string(d.year) : std::string(),
        numberText(m.modelConst()),
    };
    static const char* const captions[10] = {"Model ID : ",         "Sample freq. : ",    "Window size : ",
                                             "Window shift : ",     "Number of feat. : ", "Number of states : ",
                                             "Number of mixtures : ", "Max skip : ",      "Training date : ",
                                             "Model's const : "};
    for (int k = 0; k < 10; ++k)
        m_popis[static_cast<std::size_t>(k)]->setText(QString::fromUtf8(captions[k]) + qs(values[k]));
    m_word->setText(qs(m.word()));
    m_text->setPlainText(qs(modelTextDump(m)));
    m_feature->clear();
    m_mixture->clear();
    m_state->clear();
    if (m.nStates() >= 3) {
        for (int f = 1; f <= m.nParams(); ++f)
            m_feature->addItem(QString::number(f));
        m_mixture->addItem(QStringLiteral("ALL"));
        m_mixture->addItem(QStringLiteral("ADD"));
        for (int k = 1; k <= m.nMixtures(); ++k)
            m_mixture->addItem(QString::number(k));
        for (int s = 1; s <= m.nStates(); ++s)
            m_state->addItem(QString::number(s));
        m_feature->setCurrentIndex(0);
        m_mixture->setCurrentIndex(0);
        m_state->setCurrentIndex(0);
    }
}

void ModelViewWindow::choiceChanged()
{
    if (m_auto->isChecked())
        cmbDisplayState_Click();
}

ModelViewWindow::Display ModelViewWindow::currentDisplay(int state) const
{
    Display d;
    d.minX = leadingNumber(m_scales[0]->text().toStdString());
    d.maxX = leadingNumber(m_scales[1]->text().toStdString());
    d.maxY = leadingNumber(m_scales[2]->text().toStdString());
    d.feature = m_feature->currentIndex();
    const int choice = m_mixture->currentIndex();  // 0 ALL, 1 ADD, then the mixtures
    d.mixture = choice == 0 ? kAllMixtures : choice == 1 ? kAddMixtures : choice - 2;
    d.state = state;
    return d;
}

bool ModelViewWindow::drawable(const Display& d) const
{
    return m_model.modelLoaded() && d.minX < d.maxX && d.maxY > kPlotBottom;
}

void ModelViewWindow::drawCurves(QImage& image, const Display& d) const
{
    if (!drawable(d))
        return;
    const double minX = d.minX, maxX = d.maxX, maxY = d.maxY;
    const double w = image.width(), h = image.height();
    auto px = [&](double x) { return (x - minX) / (maxX - minX) * (w - 1); };
    auto py = [&](double y) { return (maxY - y) / (maxY - kPlotBottom) * (h - 1); };
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing, true);
    p.setPen(QPen(Qt::gray, 0));
    p.drawLine(QPointF(px(minX), py(0)), QPointF(px(maxX), py(0)));
    p.drawLine(QPointF(px(0), py(kPlotBottom)), QPointF(px(0), py(maxY)));
    p.setPen(QPen(Qt::black, 0));
    for (const std::vector<double>& curve : densityCurves(m_model, d.feature, d.mixture, d.state, minX, maxX)) {
        QPainterPath path;
        for (int i = 0; i < kCurvePoints; ++i) {
            const double x = minX + (maxX - minX) * i / (kCurvePoints - 1);
            // Far off the picture the points are clamped, so a steep curve stays a line.
            const QPointF point(px(x), std::clamp(py(curve[static_cast<std::size_t>(i)]), -1e6, 1e6));
            if (i == 0)
                path.moveTo(point);
            else
                path.lineTo(point);
        }
        p.drawPath(path);
    }
}

void ModelViewWindow::cmbDisplayState_Click()
{
    const Display d = currentDisplay(m_state->currentIndex());
    if (drawable(d)) {
        m_displays.push_back(d);
        drawCurves(m_plot, d);
    }
    showPlot();
}

void ModelViewWindow::fitPlot()
{
    // The plot fills the frame: the overlaid displays are drawn again at the new size.
    const QSize size = m_picture->contentsRect().size();
    if (size.width() < 16 || size.height() < 16 || size == m_plot.size())
        return;
    m_plot = QImage(size, QImage::Format_RGB32);
    m_plot.fill(Qt::white);
    for (const Display& d : m_displays)
        drawCurves(m_plot, d);
    showPlot();
}

bool ModelViewWindow::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_picture && event->type() == QEvent::Resize)
        fitPlot();
    return QWidget::eventFilter(watched, event);
}

void ModelViewWindow::cmbClearGraf_Click()
{
    m_displays.clear();
    m_plot.fill(Qt::white);
    showPlot();
}

void ModelViewWindow::cmbGrafToClb_Click()
{
    if (QClipboard* c = QApplication::clipboard()) {
        c->clear();
        c->setImage(m_plot);
    }
}

void ModelViewWindow::cmbAllStates_Click()
{
    const int S = m_model.nStates();
    if (!m_model.modelLoaded() || S < 1)
        return;
    if (static_cast<long long>(S) * m_plot.height() > kMaxImageSide) {
        platform::dialogs().messageBox("The picture of all " + std::to_string(S) +
                                           " states would be too large for the clipboard.",
                                       "MODELS viewer", platform::MessageIcon::Warning, platform::MessageButtons::Ok);
        return;
    }
    QImage all(m_plot.width(), S * m_plot.height(), QImage::Format_RGB32);
    if (all.isNull()) {
        platform::dialogs().messageBox("There is no memory for the picture of all states.", "MODELS viewer",
                                       platform::MessageIcon::Warning, platform::MessageButtons::Ok);
        return;
    }
    all.fill(Qt::white);
    for (int s = 0; s < S; ++s) {
        QImage one(m_plot.size(), QImage::Format_RGB32);
        one.fill(Qt::white);
        drawCurves(one, currentDisplay(s));
        QPainter p(&all);
        p.drawImage(0, s * m_plot.height(), one);
    }
    if (QClipboard* c = QApplication::clipboard()) {
        c->clear();
        c->setImage(all);
    }
}

void ModelViewWindow::miOpen_Click()
{
    const std::optional<std::string> path =
        platform::dialogs().openFile("Open file with HMM parameters", std::string(), "*.Mod|*.mod");
    if (path)
        LoadMOD(*path);
}

void ModelViewWindow::showPlot() { m_picture->setPixmap(QPixmap::fromImage(m_plot)); }

void ModelViewWindow::resizeEvent(QResizeEvent* event) { QWidget::resizeEvent(event); }

}  // namespace talvor::hmmview
