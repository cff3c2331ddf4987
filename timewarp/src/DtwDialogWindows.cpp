#include "timewarp/DtwDialogWindows.h"
#include "timewarp/FrmDtw.h"

#include <QApplication>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHideEvent>
#include <QKeyEvent>
#include <QPainter>
#include <QScreen>
#include <QVBoxLayout>

namespace talvor::timewarp {

namespace {

QString qs(const std::string& s)
{
    return QString::fromStdString(s);
}

SpinButton makeSpin(QWidget* parent, std::function<void()> up, std::function<void()> down)
{
    SpinButton s;
    s.widget = new QWidget(parent);
    auto* l = new QVBoxLayout(s.widget);
    l->setContentsMargins(0, 0, 0, 0);
    l->setSpacing(0);
    s.up = new QToolButton(s.widget);
    s.up->setArrowType(Qt::UpArrow);
    s.down = new QToolButton(s.widget);
    s.down->setArrowType(Qt::DownArrow);
    for (QToolButton* b : {s.up, s.down}) {
        b->setFixedSize(18, 12);
        l->addWidget(b);
    }
    QObject::connect(s.up, &QToolButton::clicked, s.widget, std::move(up));
    QObject::connect(s.down, &QToolButton::clicked, s.widget, std::move(down));
    return s;
}

// A sunken panel showing a value.
QLabel* panel(QWidget* parent, int minimumWidth)
{
    auto* l = new QLabel(parent);
    l->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    l->setTextFormat(Qt::PlainText);
    l->setMinimumWidth(minimumWidth);
    l->setMinimumHeight(22);
    return l;
}

// The small pictures of the picture buttons: a flat grid, a 3-D surface, a
// colour map; the three warping methods' paths.
QIcon picture(const char* kind)
{
    QPixmap pm(32, 32);
    pm.fill(Qt::black);
    QPainter p(&pm);
    const std::string k = kind;
    if (k == "flat") {
        p.setPen(Qt::yellow);
        for (int x = 3; x < 32; x += 4)
            for (int y = 3; y < 32; y += 4)
                p.drawPoint(x, y);
    } else if (k == "3d") {
        p.setPen(QColor(198, 255, 234));
        for (int i = 0; i < 6; ++i)
            p.drawLine(2 + 4 * i, 26 - 2 * i, 16 + 4 * i, 12 - 2 * i + (i % 2) * 4);
    } else if (k == "map") {
        const QColor c[4] = {QColor(39, 150, 0), QColor(135, 174, 103), QColor(167, 110, 7), QColor(87, 54, 0)};
        for (int x = 0; x < 4; ++x)
            for (int y = 0; y < 4; ++y)
                p.fillRect(x * 8, y * 8, 8, 8, c[std::abs(x - (3 - y)) % 4]);
    } else {
        p.setPen(Qt::white);
        if (k == "itakura")
            p.drawPolygon(QPolygon({QPoint(2, 29), QPoint(9, 9), QPoint(29, 2), QPoint(22, 22)}));
        if (k == "general") {
            p.drawLine(2, 21, 21, 2);
            p.drawLine(10, 29, 29, 10);
        }
        p.setPen(QPen(Qt::red, 2));
        if (k == "linear")
            p.drawLine(2, 29, 29, 2);
        else
            p.drawPolyline(QPolygon({QPoint(2, 29), QPoint(10, 24), QPoint(14, 14), QPoint(22, 10), QPoint(29, 2)}));
    }
    return QIcon(pm);
}

QToolButton* pictureButton(QWidget* parent, const char* kind, QRadioButton* option)
{
    auto* b = new QToolButton(parent);
    b->setIcon(picture(kind));
    b->setIconSize(QSize(32, 32));
    QObject::connect(b, &QToolButton::clicked, option, [option] { option->click(); });
    return b;
}

// A frame of three options, each after its picture button; a click on an
// option runs its action.
QGroupBox* pictureOptions(QWidget* parent, const char* title, const std::array<const char*, 3>& captions,
                          const std::array<const char*, 3>& pictures, const std::array<QRadioButton**, 3>& options,
                          const std::array<std::function<void()>, 3>& actions)
{
    auto* fra = new QGroupBox(title, parent);
    auto* grid = new QGridLayout(fra);
    for (std::size_t k = 0; k < 3; ++k) {
        auto* option = new QRadioButton(captions[k], fra);
        *options[k] = option;
        grid->addWidget(pictureButton(fra, pictures[k], option), int(k), 0);
        grid->addWidget(option, int(k), 1);
        QObject::connect(option, &QRadioButton::clicked, fra, actions[k]);
    }
    return fra;
}

}  // namespace

void SpinButton::setEnabled(bool on)
{
    if (widget)
        widget->setEnabled(on);
}

DtwDialog::DtwDialog(QWidget* parent)
    : QDialog(parent)
{
    setModal(true);
    m_ok = new QPushButton("OK", this);
    m_ok->setDefault(true);
    QObject::connect(m_ok, &QPushButton::clicked, this, [this] {
        accept_();
        hide();
    });
}

void DtwDialog::showModal()
{
    load();
    adjustSize();
    if (QScreen* s = QApplication::primaryScreen()) {
        const QRect r = s->availableGeometry();
        move(r.center() - QPoint(width() / 2, height() / 2));
    }
    exec();
}

void DtwDialog::changed()
{
    if (onChanged)
        onChanged();
}

std::function<void()> DtwDialog::act(std::function<void()> handler)
{
    return [this, handler = std::move(handler)] {
        handler();
        refresh();
    };
}

void DtwDialog::placeFrames(std::initializer_list<QWidget*> frames)
{
    auto* top = new QVBoxLayout(this);
    for (QWidget* f : frames)
        top->addWidget(f);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(m_ok);
    top->addLayout(buttons);
}

// ---------------------------------------------------------------------------

FrmRefSel::FrmRefSel(DtwSession& session, QWidget* parent)
    : DtwDialog(parent)
    , m_model(session)
{
    setWindowTitle("Reference selection");
    auto* fra = new QGroupBox(" Select a reference for the match", this);
    auto* grid = new QGridLayout(fra);
    grid->addWidget(new QLabel("Score:", fra), 0, 3);
    const char* captions[3] = {"True", "Nearest", "Other"};
    for (int w = 0; w < 3; ++w) {
        const auto way = RefSelection::Way(w);
        m_opt[std::size_t(w)] = new QRadioButton(captions[w], fra);
        m_word[std::size_t(w)] = panel(fra, 170);
        m_score[std::size_t(w)] = panel(fra, 90);
        m_score[std::size_t(w)]->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        m_spin[std::size_t(w)] = makeSpin(fra, act([this, way] { m_model.spinUp(way); }),
                                          act([this, way] { m_model.spinDown(way); }));
        grid->addWidget(m_opt[std::size_t(w)], w + 1, 0);
        grid->addWidget(m_word[std::size_t(w)], w + 1, 1);
        grid->addWidget(m_spin[std::size_t(w)].widget, w + 1, 2);
        grid->addWidget(m_score[std::size_t(w)], w + 1, 3);
        QObject::connect(m_opt[std::size_t(w)], &QRadioButton::clicked, this,
                         act([this, way] { m_model.optRef_Click(way); }));
        for (QWidget* box : {static_cast<QWidget*>(m_opt[std::size_t(w)]),
                             static_cast<QWidget*>(m_spin[std::size_t(w)].up),
                             static_cast<QWidget*>(m_spin[std::size_t(w)].down)}) {
            box->setProperty("refWay", w);
            box->installEventFilter(this);
        }
    }
    placeFrames({fra});
}

bool FrmRefSel::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        const QVariant w = watched->property("refWay");
        if ((key == Qt::Key_Up || key == Qt::Key_Down) && w.isValid()) {
            const auto way = RefSelection::Way(w.toInt());
            // Only the chosen way's number moves; the others are greyed.
            if (m_model.way() == way) {
                if (key == Qt::Key_Up)
                    m_model.spinUp(way);
                else
                    m_model.spinDown(way);
                refresh();
            }
            return true;
        }
    }
    return DtwDialog::eventFilter(watched, event);
}

void FrmRefSel::load()
{
    m_model.Form_Load();
    refresh();
}

void FrmRefSel::refresh()
{
    for (int w = 0; w < 3; ++w) {
        const auto way = RefSelection::Way(w);
        const bool chosen = m_model.way() == way;
        const RefSelection::Panel p = m_model.panel(way);
        m_word[std::size_t(w)]->setText(qs(p.word));
        m_score[std::size_t(w)]->setText(qs(p.score));
        m_word[std::size_t(w)]->setEnabled(chosen);
        m_score[std::size_t(w)]->setEnabled(chosen);
        m_spin[std::size_t(w)].setEnabled(chosen);
        m_opt[std::size_t(w)]->setChecked(chosen);
    }
    m_opt[RefSelection::True]->setEnabled(m_model.trueAvailable());
}

void FrmRefSel::accept_()
{
    m_model.cmdOk_Click();
    changed();
}

// ---------------------------------------------------------------------------

FrmPlot::FrmPlot(DtwComparerState& state, QWidget* parent)
    : DtwDialog(parent)
    , m_model(state)
{
    setWindowTitle("Plot options");
    QGroupBox* fra = pictureOptions(this, "Plot styles", {"Flat grid surface", "3D surface", "Color map surface"},
                                    {"flat", "3d", "map"}, {&optFlat, &opt3D, &optMap},
                                    {act([this] { m_model.optFlat_Click(); }), act([this] { m_model.opt3D_Click(); }),
                                     act([this] { m_model.optMap_Click(); })});

    auto* angles = new QGridLayout;
    m_lblR = new QLabel("Rot.", this);
    lblRot = panel(this, 40);
    spiRot = makeSpin(this, act([this] { m_model.spiRotUp(); }), act([this] { m_model.spiRotDown(); }));
    m_lblE = new QLabel("Elev.", this);
    lblElev = panel(this, 40);
    spiElev = makeSpin(this, act([this] { m_model.spiElevUp(); }), act([this] { m_model.spiElevDown(); }));
    angles->addWidget(m_lblR, 0, 0);
    angles->addWidget(lblRot, 0, 1);
    angles->addWidget(spiRot.widget, 0, 2);
    angles->addWidget(m_lblE, 1, 0);
    angles->addWidget(lblElev, 1, 1);
    angles->addWidget(spiElev.widget, 1, 2);
    angles->setRowStretch(2, 1);

    auto* styles = new QWidget(this);
    auto* row = new QHBoxLayout(styles);
    row->setContentsMargins(0, 0, 0, 0);
    row->addWidget(fra);
    row->addLayout(angles);
    placeFrames({styles});
}

void FrmPlot::refresh()
{
    optFlat->setChecked(m_model.style() == kPlotFlat);
    opt3D->setChecked(m_model.style() == kPlot3D);
    optMap->setChecked(m_model.style() == kPlotMap);
    lblRot->setText(QString::number(m_model.rotation()));
    lblElev->setText(QString::number(m_model.elevation()));
    const bool on = m_model.anglesEnabled();
    for (QWidget* w : {static_cast<QWidget*>(m_lblR), static_cast<QWidget*>(m_lblE), static_cast<QWidget*>(lblRot),
                       static_cast<QWidget*>(lblElev)})
        w->setEnabled(on);
    spiRot.setEnabled(on);
    spiElev.setEnabled(on);
}

void FrmPlot::accept_()
{
    changed();
}

// ---------------------------------------------------------------------------

FrmMethod::FrmMethod(DtwSession& session, QWidget* parent)
    : DtwDialog(parent)
    , m_model(session)
{
    setWindowTitle("Time Warping Methods");
    QGroupBox* fra = pictureOptions(
        this, "Select a method", {"DTW - Itakura constraints", "DTW - general constraints", "Linear time warping"},
        {"itakura", "general", "linear"}, {&OptIta, &optNsc, &optLin},
        {act([this] { m_model.OptIta_Click(); }), act([this] { m_model.optNsc_Click(); }),
         act([this] { m_model.optLin_Click(); })});

    auto* fraRange = new QGroupBox("Global constraints - range", this);
    m_fraRange = fraRange;
    auto* rg = new QGridLayout(fraRange);
    optFixed = new QRadioButton("fixed", fraRange);
    optFlex = new QRadioButton("flexibly adjusted", fraRange);
    lblRange = panel(fraRange, 40);
    spiRange = makeSpin(fraRange, act([this] { m_model.spiRangeUp(); }), act([this] { m_model.spiRangeDown(); }));
    rg->addWidget(optFixed, 0, 0);
    rg->addWidget(lblRange, 0, 1);
    rg->addWidget(spiRange.widget, 0, 2);
    rg->addWidget(optFlex, 1, 0, 1, 3);
    QObject::connect(optFixed, &QRadioButton::clicked, this, act([this] { m_model.optFixed_Click(); }));
    QObject::connect(optFlex, &QRadioButton::clicked, this, act([this] { m_model.optFlex_Click(); }));
    placeFrames({fra, fraRange});
}

void FrmMethod::load()
{
    m_model.Form_Load();
    refresh();
}

void FrmMethod::refresh()
{
    OptIta->setChecked(m_model.method() == kMethodItakura);
    optNsc->setChecked(m_model.method() == kMethodGeneral);
    optLin->setChecked(m_model.method() == kMethodLinear);
    optFixed->setChecked(!m_model.flexible());
    optFlex->setChecked(m_model.flexible());
    lblRange->setText(QString::number(m_model.range()));
    const bool on = m_model.rangeEnabled();
    m_fraRange->setEnabled(on);
}

void FrmMethod::accept_()
{
    BusyCursor busy;  // the test word is matched against every reference again
    m_model.cmdOk_Click();
    changed();
}

// ---------------------------------------------------------------------------

FrmFeat::FrmFeat(DtwSession& session, QWidget* parent)
    : DtwDialog(parent)
    , m_model(session)
{
    setWindowTitle("Feature selection");
    auto* fra = new QGroupBox("Select a feature for display", this);
    auto* grid = new QGridLayout(fra);
    for (int k = 1; k <= 20; ++k) {
        auto* o = new QRadioButton(DtwFeatureNames()[std::size_t(k - 1)].name, fra);
        m_opt[std::size_t(k - 1)] = o;
        // Four columns: cep, dcep, then the energies and svf.
        const int column = k <= 8 ? 0 : k <= 16 ? 1 : 2;
        const int row = k <= 8 ? k - 1 : k <= 16 ? k - 9 : k - 17;
        grid->addWidget(o, row, column);
        QObject::connect(o, &QRadioButton::clicked, this, act([this, k] { m_model.optFeature_Click(k); }));
    }
    placeFrames({fra});
}

void FrmFeat::load()
{
    m_model.Form_Load();
    refresh();
}

void FrmFeat::refresh()
{
    for (int k = 1; k <= 20; ++k) {
        m_opt[std::size_t(k - 1)]->setEnabled(m_model.enabled(k));
        m_opt[std::size_t(k - 1)]->setChecked(m_model.selected() == k);
    }
}

void FrmFeat::accept_()
{
    m_model.cmdOk_Click();
    changed();
}

// ---------------------------------------------------------------------------

DtwDialogs::DtwDialogs(DtwSession& session, std::function<void()> onChanged)
    : refSel(session)
    , plot(session.state())
    , method(session)
    , feat(session)
{
    for (DtwDialog* d : {static_cast<DtwDialog*>(&refSel), static_cast<DtwDialog*>(&plot),
                         static_cast<DtwDialog*>(&method), static_cast<DtwDialog*>(&feat)})
        d->onChanged = onChanged;
}

}  // namespace talvor::timewarp
