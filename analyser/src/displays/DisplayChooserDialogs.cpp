#include "analyser/DisplayChooserDialogs.h"

#include <QEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QMouseEvent>
#include <QSignalBlocker>
#include <QVBoxLayout>

#include "analyser/WordDisplayPanes.h"
#include "analyser/WordDisplays.h"
#include "platform/Colors.h"
#include "platform/Dialogs.h"

namespace talvor::analyser {

namespace {

QToolButton* arrowButton(Qt::ArrowType arrow, const char* name, QWidget* parent)
{
    auto* b = new QToolButton(parent);
    b->setArrowType(arrow);
    b->setObjectName(name);
    b->setAutoRaise(false);
    return b;
}

// The prompt and the three type options of a type chooser; a click tells the
// model, then the dialog shows the model's state.
template <class Model>
void addTypeOptions(QDialog* dialog, QVBoxLayout* layout, const char* prompt,
                    const std::array<const char*, 3>& captions, const char* namePrefix,
                    std::array<QRadioButton*, 3>& options, Model& model, std::function<void()> sync)
{
    layout->addWidget(new QLabel(prompt, dialog));
    for (int i = 0; i < 3; ++i) {
        auto* option = new QRadioButton(captions[std::size_t(i)], dialog);
        option->setObjectName(QString("%1%2").arg(namePrefix).arg(i));
        layout->addWidget(option);
        QObject::connect(option, &QRadioButton::clicked, dialog, [&model, sync, i] {
            model.optionClicked(i);
            sync();
        });
        options[std::size_t(i)] = option;
    }
}

// Option i is checked when the model has type i + 1 selected.
void checkSelected(const std::array<QRadioButton*, 3>& options, int selected)
{
    for (int i = 0; i < 3; ++i) {
        const QSignalBlocker block(options[std::size_t(i)]);
        options[std::size_t(i)]->setChecked(selected == i + 1);
    }
}

// OK and Cancel of a type chooser, in a row of buttons: each tells the model,
// then hides the dialog.
template <class Model>
QHBoxLayout* okCancelRow(QDialog* dialog, Model& model, QPushButton*& ok, QPushButton*& cancel)
{
    auto* buttons = new QHBoxLayout;
    ok = new QPushButton("OK", dialog);
    ok->setObjectName("Command2");
    cancel = new QPushButton("Cancel", dialog);
    cancel->setObjectName("Command1");
    buttons->addWidget(ok);
    buttons->addWidget(cancel);
    QObject::connect(ok, &QPushButton::clicked, dialog, [dialog, &model] {
        model.ok();
        dialog->hide();
    });
    QObject::connect(cancel, &QPushButton::clicked, dialog, [dialog, &model] {
        model.cancel();
        dialog->hide();
    });
    return buttons;
}

}  // namespace

// ---------------------------------------------------------------- spectrum

SpectrumChooserDialog::SpectrumChooserDialog(SpectrumChooserModel& model, QWidget* parent)
    : QDialog(parent), m_model(model)
{
    setObjectName("frmSelectSpectrum");
    setWindowTitle("Select spectrum type");
    setModal(true);
    auto* layout = new QVBoxLayout(this);
    addTypeOptions(this, layout, "Select spectrum type to display:", kSpectrumTypeCaptions, "optSpectrum", m_options,
                   m_model, [this] { sync(); });
    auto* angles = new QGridLayout;
    m_rot = new QLabel("Rot.", this);
    m_lblRot = new QLabel(this);
    m_lblRot->setObjectName("lblRot");
    m_rotUp = arrowButton(Qt::UpArrow, "spiRotUp", this);
    m_rotDown = arrowButton(Qt::DownArrow, "spiRotDown", this);
    m_elev = new QLabel("Elev.", this);
    m_lblElev = new QLabel(this);
    m_lblElev->setObjectName("lblElev");
    m_eleUp = arrowButton(Qt::UpArrow, "spiElevUp", this);
    m_eleDown = arrowButton(Qt::DownArrow, "spiElevDown", this);
    angles->addWidget(m_rot, 0, 0);
    angles->addWidget(m_lblRot, 0, 1);
    angles->addWidget(m_rotUp, 0, 2);
    angles->addWidget(m_rotDown, 0, 3);
    angles->addWidget(m_elev, 1, 0);
    angles->addWidget(m_lblElev, 1, 1);
    angles->addWidget(m_eleUp, 1, 2);
    angles->addWidget(m_eleDown, 1, 3);
    layout->addLayout(angles);
    connect(m_rotUp, &QToolButton::clicked, this, [this] { spin(true, true); });
    connect(m_rotDown, &QToolButton::clicked, this, [this] { spin(true, false); });
    connect(m_eleUp, &QToolButton::clicked, this, [this] { spin(false, true); });
    connect(m_eleDown, &QToolButton::clicked, this, [this] { spin(false, false); });
    QHBoxLayout* buttons = okCancelRow(this, m_model, m_ok, m_cancel);
    m_filtr = new QPushButton("filtr", this);
    m_filtr->setObjectName("Command3");
    buttons->addWidget(m_filtr);
    layout->addLayout(buttons);
    connect(m_filtr, &QPushButton::clicked, this, [this] {
        if (onFiltr)
            onFiltr();
    });
    sync();
}

void SpectrumChooserDialog::sync()
{
    checkSelected(m_options, m_model.selected());
    m_lblRot->setText(QString::fromStdString(m_model.rotationText()));
    m_lblElev->setText(QString::fromStdString(m_model.elevationText()));
    const bool on = m_model.anglesEnabled();
    for (QWidget* w : std::initializer_list<QWidget*>{m_lblRot, m_lblElev, m_rot, m_elev, m_rotUp, m_rotDown,
                                                       m_eleUp, m_eleDown})
        w->setEnabled(on);
}

void SpectrumChooserDialog::spin(bool rotation, bool up)
{
    const bool changed = rotation ? m_model.rotationSpin(up) : m_model.elevationSpin(up);
    sync();
    if (changed && onAnglesChanged)
        onAnglesChanged();
}

int SpectrumChooserDialog::Get_Type()
{
    m_model.open();
    sync();
    exec();
    return m_model.selected();
}

// ---------------------------------------------------------------- frame

FrameChooserDialog::FrameChooserDialog(FrameChooserModel& model, QWidget* parent) : QDialog(parent), m_model(model)
{
    setObjectName("frmSelectFrame");
    setWindowTitle("Select displayed frame function");
    setModal(true);
    auto* layout = new QVBoxLayout(this);
    addTypeOptions(this, layout, "Select an option to display:", kFrameTypeCaptions, "optFrame", m_options, m_model,
                   [this] { sync(); });
    layout->addLayout(okCancelRow(this, m_model, m_ok, m_cancel));
    sync();
}

void FrameChooserDialog::sync()
{
    checkSelected(m_options, m_model.selected());
}

int FrameChooserDialog::Get_Type()
{
    m_model.open();
    sync();
    exec();
    return m_model.selected();
}

// ---------------------------------------------------------------- parameter

ParamChooserDialog::ParamChooserDialog(ParamChoosersModel& model, int pane, QWidget* parent)
    : QDialog(parent), m_model(model), m_pane(pane)
{
    setObjectName(QString("frmSelectParam%1").arg(pane));
    setWindowTitle("Select parameter");
    setModal(true);
    auto* layout = new QVBoxLayout(this);
    layout->setSpacing(2);
    for (int p = 0; p < kFeatureCount; ++p) {
        auto* box = new QCheckBox(kFeatures[std::size_t(p)].name, this);
        box->setObjectName(QString("param%1").arg(p));
        box->installEventFilter(this);
        layout->addWidget(box);
        connect(box, &QCheckBox::clicked, this, [this, p](bool checked) {
            m_model.boxClicked(m_pane, p, checked);
            sync();
        });
        m_params[std::size_t(p)] = box;
    }
    m_check1 = new QCheckBox("Multichoice select", this);
    m_check1->setObjectName("Check1");
    layout->addWidget(m_check1);
    connect(m_check1, &QCheckBox::clicked, this, [this](bool on) {
        m_model.multichoiceClicked(m_pane, on);
        sync();
    });
    auto* buttons = new QHBoxLayout;
    m_ok = new QPushButton("OK", this);
    m_ok->setObjectName("Command1");
    m_cancel = new QPushButton("CANCEL", this);
    m_cancel->setObjectName("Command2");
    m_setColour = new QPushButton("&Set color", this);
    m_setColour->setObjectName("Command3");
    buttons->addWidget(m_ok);
    buttons->addWidget(m_cancel);
    buttons->addWidget(m_setColour);
    layout->addLayout(buttons);
    connect(m_ok, &QPushButton::clicked, this, [this] {
        hide();
        if (onSelected)
            onSelected(m_pane);
    });
    connect(m_cancel, &QPushButton::clicked, this, [this] {
        m_model.cancel(m_pane);
        sync();
        hide();
        if (onSelected)
            onSelected(m_pane);
    });
    connect(m_setColour, &QPushButton::clicked, this, [this] { chooseColour(); });
    sync();
}

void ParamChooserDialog::sync()
{
    const auto& state = m_model.pane(m_pane);
    for (int p = 0; p < kFeatureCount; ++p) {
        QCheckBox* box = m_params[std::size_t(p)];
        const QSignalBlocker block(box);
        box->setChecked(state.checked[std::size_t(p)]);
        QPalette palette = box->palette();
        palette.setColor(QPalette::WindowText, platform::toQColor(state.colours[std::size_t(p)]));
        palette.setColor(QPalette::ButtonText, platform::toQColor(state.colours[std::size_t(p)]));
        box->setPalette(palette);
    }
    const QSignalBlocker block(m_check1);
    m_check1->setChecked(state.multichoice);
}

void ParamChooserDialog::chooseColour()
{
    const int target = m_model.colourTarget(m_pane);
    const auto chosen = platform::dialogs().chooseColor(m_model.pane(m_pane).colours[std::size_t(target)]);
    if (!chosen)
        return;
    m_model.setColour(m_pane, target, *chosen & 0x00FFFFFFu);
    sync();
}

bool ParamChooserDialog::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::MouseButtonRelease
        && static_cast<QMouseEvent*>(event)->button() == Qt::RightButton) {
        for (QCheckBox* box : m_params) {
            if (box == watched) {
                chooseColour();
                return true;
            }
        }
    }
    return QDialog::eventFilter(watched, event);
}

void ParamChooserDialog::SelectParameter()
{
    m_model.open(m_pane);
    sync();
    exec();
}

// ---------------------------------------------------------------- the window's choosers

DisplayChoosers::DisplayChoosers(WordDisplays& displays, WordDisplayPanes& panes, QWidget* parent)
    : m_displays(displays), m_panes(panes), m_parent(parent)
{
    m_panes.onFrameClick = [this] { frameClicked(); };
    m_panes.onSpectrumClick = [this] { spectrumClicked(); };
    m_panes.onPicHelpClick = [this] { picHelpClicked(); };
    m_panes.onParamClick = [this](int pane) { paramClicked(pane); };
}

DisplayChoosers::~DisplayChoosers() = default;

SpectrumChooserDialog& DisplayChoosers::spectrum()
{
    if (!m_spectrum) {
        m_spectrum = std::make_unique<SpectrumChooserDialog>(m_displays.spectrumChooser(), m_parent);
        m_spectrum->onAnglesChanged = [this] {
            if (m_displays.wordShown()) {
                m_displays.draw3D();
                m_panes.refresh();
            }
        };
        m_spectrum->onFiltr = [this] {
            if (m_displays.wordShown()) {
                m_displays.filtr();
                m_panes.refresh();
            }
        };
    }
    return *m_spectrum;
}

FrameChooserDialog& DisplayChoosers::frame()
{
    if (!m_frame)
        m_frame = std::make_unique<FrameChooserDialog>(m_displays.frameChooser(), m_parent);
    return *m_frame;
}

ParamChooserDialog& DisplayChoosers::param(int pane)
{
    auto& dialog = m_param.at(std::size_t(pane));
    if (!dialog) {
        dialog = std::make_unique<ParamChooserDialog>(m_displays.paramChoosers(), pane, m_parent);
        dialog->onSelected = [this](int) {
            m_displays.selected(m_clickedPane);
            m_panes.refresh();
        };
    }
    return *dialog;
}

void DisplayChoosers::hideAll()
{
    if (m_spectrum)
        m_spectrum->hide();
    if (m_frame)
        m_frame->hide();
    for (auto& dialog : m_param)
        if (dialog)
            dialog->hide();
}

void DisplayChoosers::frameClicked()
{
    const int before = m_displays.frameChooser().selected();
    if (frame().Get_Type() != before) {
        m_displays.displayFrame(-1);
        m_panes.refresh();
    }
}

void DisplayChoosers::spectrumClicked()
{
    const int before = m_displays.spectrumChooser().selected();
    const int type = spectrum().Get_Type();
    if (type != before || type < 3) {
        m_displays.displaySpectrum();
        m_panes.refresh();
    }
}

void DisplayChoosers::picHelpClicked()
{
    spectrumClicked();
}

void DisplayChoosers::paramClicked(int pane)
{
    m_clickedPane = pane;
    param(pane).SelectParameter();
}

}  // namespace talvor::analyser
