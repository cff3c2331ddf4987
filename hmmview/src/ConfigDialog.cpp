#include "hmmview/ConfigDialog.h"

#include <QEvent>

#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPainter>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpressionValidator>
#include <QSlider>
#include <QTabWidget>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>

#include "common/NameCheck.h"
#include "common/NumberText.h"
#include "hmmview/SchemeFile.h"
#include "platform/Colors.h"
#include "platform/Dialogs.h"

namespace talvor::hmmview {

namespace {

QColor colourOf(Colour c) { return platform::toQColor(static_cast<std::uint32_t>(c)); }

constexpr int kExampleFrames = 30;
constexpr int kExampleRows = 9;  // the entry row and eight states
// The example's best states, by index round(f / 5) and round(f / 3).
constexpr std::array<int, 21> kExampleStates = {1, 2, 6, 6, 4, 4, 4, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};

// The example's predecessor table, 13 rows by 31 frame columns: the state
// (row - 1 or row - 2, never below 0) whose row + 1 leads to row r in frame f.
int examplePredecessor(int r, int f)
{
    static const auto table = [] {
        std::array<std::array<int, 31>, 13> t{};
        for (int row = 0; row < 13; ++row)
            for (int frame = 0; frame < 31; ++frame) {
                const bool fromBelow = row >= 2 && (row * 7 + frame * 3) % 5 < 2;
                t[static_cast<std::size_t>(row)][static_cast<std::size_t>(frame)] = std::max(fromBelow ? row - 2 : row - 1, 0);
            }
        return t;
    }();
    return table[static_cast<std::size_t>(std::clamp(r, 0, 12))][static_cast<std::size_t>(std::clamp(f, 0, 30))];
}

}  // namespace

QSize exampleTrellisSize(const DisplaySettings& s, TwipScale scale)
{
    return QSize(scale.pxRound(kExampleFrames * double(s.grStpX) + 2.0 * s.grpsh),
                 scale.pxRound(kExampleRows * double(s.grStpY) + s.grpsh));
}

void paintExampleTrellis(QPainter& painter, QPoint origin, const DisplaySettings& s, TwipScale scale)
{
    const QSize size = exampleTrellisSize(s, scale);
    painter.save();
    painter.translate(origin);
    painter.setClipRect(QRect(QPoint(0, 0), size));
    painter.fillRect(QRect(QPoint(0, 0), size), colourOf(s.clrStateBorder));
    const double H = size.height();
    auto at = [&](int f, int r) {
        return QPointF(scale.px(s.grpsh + double(f) * s.grStpX), H - scale.px(s.grpsh + double(r) * s.grStpY));
    };
    const double r = scale.px(s.grStpR);
    auto circle = [&](QPointF c, double radius, Colour colour, bool filled) {
        painter.setPen(QPen(colourOf(colour), 0));
        painter.setBrush(filled ? QBrush(colourOf(colour)) : Qt::NoBrush);
        painter.drawEllipse(c, radius, radius);
    };
    for (int f = 0; f < kExampleFrames; ++f) {
        circle(at(f, 0), 2 * r, s.clrStateV, false);
        for (int row = 1; row < kExampleRows; ++row)
            circle(at(f, row), 2 * r, s.clrState, false);
        const int r1 = kExampleStates[static_cast<std::size_t>(roundHalfEven(f / 5.0))];
        circle(at(f, r1), 2 * r, s.clrStateLMax, false);
        const int best = roundHalfEven(kExampleStates[static_cast<std::size_t>(roundHalfEven(f / 3.0))] + 0.2 * r1);
        circle(at(f, best), 2 * r, s.clrStateMax, false);
    }
    painter.setPen(QPen(colourOf(s.clrStatePath), 0));
    for (int f = 1; f < kExampleFrames; ++f)
        for (int row = 1; row <= std::min(f + 1, kExampleRows - 1); ++row)
            painter.drawLine(at(f - 1, examplePredecessor(row, f) + 1), at(f, row));
    int row = kExampleRows - 1;
    for (int f = kExampleFrames - 1; f >= 0; --f) {
        circle(at(f, row), r, s.clrStateBPrath, true);
        circle(at(f, row), 3 * r, s.clrStateBPrath, false);
        row = examplePredecessor(row, f) + 1;
    }
    painter.restore();
}

ConfigDialog::ConfigDialog(const DisplaySettings& settings, const std::string& appPath, int animationDelay,
                           std::function<void(int)> onAnimation, TwipScale scale, QWidget* parent)
    : QDialog(parent)
    , m_settings(settings)
    , m_appPath(appPath)
    , m_scale(scale)
    , m_onAnimation(std::move(onAnimation))
{
    setWindowTitle(QStringLiteral("Properties"));
    setModal(true);
    m_tabs = new QTabWidget(this);
    m_tabs->addTab(buildGlobal(animationDelay), QStringLiteral("Global"));
    m_tabs->addTab(buildScales(), QStringLiteral("Scales and dimensions"));
    m_tabs->addTab(buildColors(), QStringLiteral("Colors"));
    auto* ok = new QPushButton(QStringLiteral("OK"), this);
    auto* cancel = new QPushButton(QStringLiteral("Cancel"), this);
    ok->setDefault(true);
    QObject::connect(ok, &QPushButton::clicked, this, [this] { Command1_Click(); });
    QObject::connect(cancel, &QPushButton::clicked, this, [this] { Command2_Click(); });
    QObject::connect(m_tabs, &QTabWidget::currentChanged, this, [this](int tab) {
        if (tab == 2)
            DoExemple();
    });
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(ok);
    buttons->addWidget(cancel);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_tabs);
    layout->addLayout(buttons);

    // The schemes of the program folder; none is loaded by this.
    for (const std::string& name : listSchemes(m_appPath))
        m_schemes->addItem(QString::fromStdString(name));
    m_schemes->setCurrentIndex(m_schemes->count() > 0 ? 0 : -1);
    showFields();
    setManual(true);
    m_roles->setCurrentRow(0);
    showSwatch();
    DoExemple();
    m_loading = false;
}

QWidget* ConfigDialog::buildGlobal(int animationDelay)
{
    auto* page = new QWidget;
    auto* grid = new QGridLayout(page);
    grid->addWidget(new QLabel(QStringLiteral("Configuration schemes:")), 0, 0);
    m_schemes = new QComboBox;
    grid->addWidget(m_schemes, 0, 1, 1, 2);
    auto* saveAs = new QPushButton(QStringLiteral("&Save As..."));
    auto* remove = new QPushButton(QStringLiteral("&Delete"));
    grid->addWidget(saveAs, 1, 1);
    grid->addWidget(remove, 1, 2);
    grid->addWidget(new QLabel(QStringLiteral("Animation delay:")), 2, 0);
    m_anim = new QSlider(Qt::Horizontal);
    m_anim->setRange(0, 100);
    m_anim->setValue(std::clamp(animationDelay, 0, 100));
    grid->addWidget(m_anim, 2, 1, 1, 2);
    grid->setRowStretch(3, 1);
    QObject::connect(saveAs, &QPushButton::clicked, this, [this] { Command3_Click(); });
    QObject::connect(remove, &QPushButton::clicked, this, [this] { Command4_Click(); });
    QObject::connect(m_schemes, &QComboBox::activated, this, [this](int index) { cmboSchemas_Click(index); });
    QObject::connect(m_anim, &QSlider::valueChanged, this, [this](int v) {
        if (m_onAnimation)
            m_onAnimation(v);
    });
    return page;
}

QWidget* ConfigDialog::buildScales()
{
    auto* page = new QWidget;
    auto* layout = new QVBoxLayout(page);
    m_manual = new QRadioButton(QStringLiteral("           Manual "));
    m_automatic = new QRadioButton(QStringLiteral("          Automatic "));
    auto* manualBox = new QGroupBox;
    auto* manualGrid = new QGridLayout(manualBox);
    manualGrid->addWidget(m_manual, 0, 0, 1, 2);
    m_manualFrame = new QWidget;
    auto* fields = new QGridLayout(m_manualFrame);
    fields->setContentsMargins(0, 0, 0, 0);
    auto* digits = new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]*")), this);
    for (int k = 0; k < 6; ++k) {
        auto* field = new QLineEdit;
        field->setValidator(digits);
        field->setMaximumWidth(90);
        m_fields[static_cast<std::size_t>(k)] = field;
        // The four raster values stand in the manual frame; the left position
        // and the gap are always editable.
        if (k < 4) {
            fields->addWidget(new QLabel(QString::fromUtf8(scaleLabels()[static_cast<std::size_t>(k)].data(),
                                                           static_cast<int>(scaleLabels()[static_cast<std::size_t>(k)].size()))),
                              k, 0);
            fields->addWidget(field, k, 1);
        }
        QObject::connect(field, &QLineEdit::textEdited, this, [this, k] { txtScale_Change(k); });
    }
    manualGrid->addWidget(m_manualFrame, 1, 0, 1, 2);
    layout->addWidget(manualBox);

    auto* autoBox = new QGroupBox;
    auto* autoGrid = new QGridLayout(autoBox);
    autoGrid->addWidget(m_automatic, 0, 0, 1, 3);
    m_autoFrame = new QWidget;
    auto* slider = new QHBoxLayout(m_autoFrame);
    slider->setContentsMargins(0, 0, 0, 0);
    m_grid = new QSlider(Qt::Horizontal);
    m_grid->setRange(0, 10);
    m_grid->setValue(3);
    slider->addWidget(new QLabel(QStringLiteral("the smallest")));
    slider->addWidget(m_grid, 1);
    slider->addWidget(new QLabel(QStringLiteral("the largest")));
    autoGrid->addWidget(m_autoFrame, 1, 0, 1, 3);
    layout->addWidget(autoBox);

    auto* other = new QGridLayout;
    for (int k = 4; k < 6; ++k) {
        other->addWidget(new QLabel(QString::fromUtf8(scaleLabels()[static_cast<std::size_t>(k)].data(),
                                                      static_cast<int>(scaleLabels()[static_cast<std::size_t>(k)].size()))),
                         k - 4, 0);
        other->addWidget(m_fields[static_cast<std::size_t>(k)], k - 4, 1);
    }
    other->setColumnStretch(2, 1);
    layout->addLayout(other);
    layout->addStretch();
    QObject::connect(m_manual, &QRadioButton::toggled, this, [this](bool on) { setManual(on); });
    QObject::connect(m_grid, &QSlider::valueChanged, this, [this](int v) { sldGrid_Change(v); });
    return page;
}

QWidget* ConfigDialog::buildColors()
{
    auto* page = new QWidget;
    auto* grid = new QGridLayout(page);
    m_roles = new QListWidget;
    for (std::string_view name : colourRoleNames())
        m_roles->addItem(QString::fromUtf8(name.data(), static_cast<int>(name.size())));
    m_roles->setMaximumWidth(200);
    grid->addWidget(m_roles, 0, 0, 2, 1);
    m_swatch = new QLabel;
    m_swatch->setFixedSize(60, 24);
    m_swatch->setAutoFillBackground(true);
    m_swatch->setFrameShape(QFrame::Box);
    auto* change = new QPushButton(QStringLiteral("Change color"));
    auto* swatchRow = new QHBoxLayout;
    swatchRow->addWidget(m_swatch);
    swatchRow->addWidget(change);
    swatchRow->addStretch();
    grid->addLayout(swatchRow, 0, 1);

    // The example: a model sheet with the name box and labels, and the trellis.
    m_exampleSheet = new QWidget;
    m_exampleSheet->setAutoFillBackground(true);
    auto* sheet = new QHBoxLayout(m_exampleSheet);
    m_exampleBorder = new QWidget;
    m_exampleBorder->setAutoFillBackground(true);
    auto* border = new QVBoxLayout(m_exampleBorder);
    m_exampleName = new QComboBox;
    for (const char* w : {"yes", "no", "hallo", "bye"})
        m_exampleName->addItem(QString::fromUtf8(w));
    m_exampleOrder = new QLabel(QStringLiteral("Order: 1."));
    m_exampleScore = new QLabel(QStringLiteral("Score: 268.984"));
    border->addWidget(m_exampleName);
    border->addWidget(m_exampleOrder);
    border->addWidget(m_exampleScore);
    border->addStretch();
    sheet->addWidget(m_exampleBorder);
    m_example = new QLabel;
    m_example->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    m_example->installEventFilter(this);
    sheet->addWidget(m_example, 1);
    grid->addWidget(m_exampleSheet, 1, 1);
    grid->setColumnStretch(1, 1);
    QObject::connect(m_roles, &QListWidget::currentRowChanged, this, [this](int row) { selectRole(row); });
    QObject::connect(m_roles, &QListWidget::itemDoubleClicked, this, [this] { cmbChaColor_Click(); });
    QObject::connect(change, &QPushButton::clicked, this, [this] { cmbChaColor_Click(); });
    return page;
}

void ConfigDialog::showFields()
{
    for (int k = 0; k < 6; ++k) {
        const double v = hmmview::scaleField(m_settings, k);
        m_fields[static_cast<std::size_t>(k)]->setText(
            QString::fromStdString(k == 2 ? numberText(static_cast<float>(v)) : std::to_string(static_cast<std::int32_t>(v))));
    }
}

void ConfigDialog::showSwatch()
{
    const int role = std::clamp(m_roles->currentRow(), 0, kColourRoleCount - 1);
    QPalette p = m_swatch->palette();
    p.setColor(QPalette::Window, colourOf(m_settings.colour(static_cast<ColourRole>(role))));
    m_swatch->setPalette(p);
}

void ConfigDialog::Command1_Click()
{
    m_ok = true;
    if (m_schemes->currentIndex() >= 0) {
        std::string error;
        if (!saveScheme(m_appPath, m_schemes->currentText().toStdString(), m_settings, &error))
            platform::dialogs().messageBox(error, "Properties", platform::MessageIcon::Critical,
                                           platform::MessageButtons::Ok);
    }
    accept();
}

void ConfigDialog::Command2_Click()
{
    m_ok = false;
    reject();
}

void ConfigDialog::Command3_Click()
{
    const std::string present = m_schemes->currentText().toStdString();
    const std::optional<std::string> answer =
        platform::dialogs().inputBox("Save this configuration scheme as:", "Save scheme", present);
    if (!answer || answer->empty() || *answer == present)
        return;
    std::string problem;
    if (!checkName(*answer, NameKind::File, &problem)) {
        platform::dialogs().messageBox(problem, "Save scheme", platform::MessageIcon::Critical,
                                       platform::MessageButtons::Ok);
        return;
    }
    // An existing scheme of that name (any letter case) is replaced only when
    // the user agrees, and keeps its one entry.
    int existing = -1;
    for (int k = 0; k < m_schemes->count(); ++k)
        if (m_schemes->itemText(k).compare(QString::fromStdString(*answer), Qt::CaseInsensitive) == 0)
            existing = k;
    std::string name = *answer;
    if (existing >= 0 || schemeExists(m_appPath, name)) {
        if (existing >= 0)
            name = m_schemes->itemText(existing).toStdString();
        const platform::DialogAnswer a = platform::dialogs().messageBox(
            "A configuration scheme named \"" + name + "\" exists already. Do you want to replace it?",
            "Save scheme", platform::MessageIcon::Question, platform::MessageButtons::YesNo);
        if (a != platform::DialogAnswer::Yes)
            return;
    }
    if (!saveScheme(m_appPath, name, m_settings, &problem)) {
        platform::dialogs().messageBox(problem, "Save scheme", platform::MessageIcon::Critical,
                                       platform::MessageButtons::Ok);
        return;
    }
    if (existing < 0) {
        m_schemes->insertItem(0, QString::fromStdString(name));
        existing = 0;
    }
    m_schemes->setCurrentIndex(existing);
}

void ConfigDialog::Command4_Click()
{
    if (m_schemes->currentIndex() < 0)
        return;
    const std::string name = m_schemes->currentText().toStdString();
    const platform::DialogAnswer a = platform::dialogs().messageBox(
        "Are yuo sure you want to delete the configuration scheme: \"" + name + "\"?", "Delete scheme",
        platform::MessageIcon::Question, platform::MessageButtons::YesNo);
    if (a != platform::DialogAnswer::Yes)
        return;
    std::string error;
    if (!deleteScheme(m_appPath, name, &error)) {
        platform::dialogs().messageBox(error, "Delete scheme", platform::MessageIcon::Critical,
                                       platform::MessageButtons::Ok);
        return;
    }
    m_schemes->removeItem(m_schemes->currentIndex());
}

void ConfigDialog::cmboSchemas_Click(int index)
{
    if (m_loading || index < 0)
        return;
    m_schemes->setCurrentIndex(index);
    std::string error;
    if (loadScheme(m_appPath, m_schemes->itemText(index).toStdString(), m_settings, &error)) {
        showFields();
        showSwatch();
        DoExemple();
    }
}

void ConfigDialog::selectRole(int role)
{
    if (role < 0 || role >= kColourRoleCount)
        return;
    if (m_roles->currentRow() != role)
        m_roles->setCurrentRow(role);
    showSwatch();
}

void ConfigDialog::cmbChaColor_Click()
{
    const int role = std::clamp(m_roles->currentRow(), 0, kColourRoleCount - 1);
    const Colour current = m_settings.colour(static_cast<ColourRole>(role));
    const std::optional<std::uint32_t> chosen =
        platform::dialogs().chooseColor(platform::resolveColor(static_cast<std::uint32_t>(current)));
    if (!chosen)
        return;
    m_settings.colour(static_cast<ColourRole>(role)) = static_cast<Colour>(*chosen & 0x00FFFFFFu);
    showSwatch();
    DoExemple();
}

void ConfigDialog::sldGrid_Change(int value)
{
    gridFromSlider(m_settings, value, m_scale.twipsPerPixel);
    for (int k = 0; k < 4; ++k)
        setScaleField(m_settings, k, hmmview::scaleField(m_settings, k));
    showFields();
    DoExemple();
}

void ConfigDialog::setManual(bool manual)
{
    if (m_manual->isChecked() != manual)
        (manual ? m_manual : m_automatic)->setChecked(true);
    m_manualFrame->setEnabled(manual);
    m_autoFrame->setEnabled(!manual);
}

void ConfigDialog::txtScale_Change(int field)
{
    QLineEdit* f = m_fields[static_cast<std::size_t>(field)];
    const double v = f->text().toDouble();
    if (v < kScaleMin)
        f->setText(QString::number(kScaleMin));
    else if (v > kScaleMax)
        f->setText(QString::number(kScaleMax));
    for (int k = 0; k < 6; ++k)
        setScaleField(m_settings, k, m_fields[static_cast<std::size_t>(k)]->text().toDouble());
    DoExemple();
}

bool ConfigDialog::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_example && event->type() == QEvent::MouseButtonRelease)
        DoExemple();
    return QDialog::eventFilter(watched, event);
}

void ConfigDialog::DoExemple()
{
    const QSize size = exampleTrellisSize(m_settings, m_scale);
    // A picture no larger than a screen: the fields allow 2000 twips a step.
    const QSize capped(std::min(size.width(), 4000), std::min(size.height(), 4000));
    QPixmap picture(capped);
    picture.fill(Qt::transparent);
    {
        QPainter p(&picture);
        paintExampleTrellis(p, QPoint(0, 0), m_settings, m_scale);
    }
    m_example->setPixmap(picture);
    QPalette text = m_exampleName->palette();
    text.setColor(QPalette::Text, colourOf(m_settings.clrModelText));
    text.setColor(QPalette::ButtonText, colourOf(m_settings.clrModelText));
    text.setColor(QPalette::WindowText, colourOf(m_settings.clrModelText));
    m_exampleName->setPalette(text);
    m_exampleOrder->setPalette(text);
    m_exampleScore->setPalette(text);
    QPalette border = m_exampleBorder->palette();
    border.setColor(QPalette::Window, colourOf(m_settings.clrModelTextBorder));
    m_exampleBorder->setPalette(border);
    QPalette sheet = m_exampleSheet->palette();
    sheet.setColor(QPalette::Window, colourOf(m_settings.clrModelSheetBorder));
    m_exampleSheet->setPalette(sheet);
}

}  // namespace talvor::hmmview
