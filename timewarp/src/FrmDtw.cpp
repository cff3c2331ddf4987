#include "timewarp/FrmDtw.h"

#include <QApplication>
#include <QCloseEvent>
#include <QFont>
#include <QFontMetrics>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QMenuBar>
#include <QPainter>
#include <QFileInfo>
#include <QSaveFile>
#include <QScreen>
#include <QVBoxLayout>

#include "platform/Colors.h"
#include "platform/Dialogs.h"

namespace talvor::timewarp {

namespace {

QString qs(const std::string& s)
{
    return QString::fromStdString(s);
}

void setText(QLabel* l, const std::string& text)
{
    if (l->text() != qs(text))
        l->setText(qs(text));
}

}  // namespace

BusyCursor::BusyCursor()
    : m_set(qobject_cast<QApplication*>(QCoreApplication::instance()) != nullptr)
{
    if (m_set)
        QApplication::setOverrideCursor(Qt::WaitCursor);
}

BusyCursor::~BusyCursor()
{
    if (m_set)
        QApplication::restoreOverrideCursor();
}

QImage canvasImage(const Canvas& canvas)
{
    QImage image(canvas.width(), canvas.height(), QImage::Format_RGB32);
    const auto& px = canvas.pixels();
    for (int y = 0; y < canvas.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < canvas.width(); ++x) {
            const std::uint32_t c = px[std::size_t(y) * std::size_t(canvas.width()) + std::size_t(x)];
            line[x] = qRgb(int(c & 0xFF), int((c >> 8) & 0xFF), int((c >> 16) & 0xFF));
        }
    }
    if (!canvas.texts().empty()) {
        QPainter p(&image);
        for (const CanvasText& t : canvas.texts()) {
            QFont f = QApplication::font();
            f.setPointSize(t.pointSize);
            f.setBold(t.bold);
            p.setFont(f);
            p.setPen(platform::toQColor(t.color));
            p.drawText(QPoint(t.x, t.y + QFontMetrics(f).ascent()), qs(t.text));
        }
    }
    return image;
}

PictureBox::PictureBox(const Canvas& canvas, QWidget* parent)
    : QWidget(parent)
    , m_canvas(canvas)
{
    setFixedSize(canvas.width(), canvas.height());
}

QSize PictureBox::sizeHint() const
{
    return {m_canvas.width(), m_canvas.height()};
}

void PictureBox::sync()
{
    if (m_shown != m_canvas.revision())
        update();
}

void PictureBox::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.drawImage(0, 0, canvasImage(m_canvas));
    m_shown = m_canvas.revision();
}

void PictureBox::mousePressEvent(QMouseEvent*)
{
    if (onClick)
        onClick();
}

FrmDtw::FrmDtw(DtwSession& session, QWidget* parent)
    : QWidget(parent)
    , m_session(session)
{
    setWindowTitle(kWindowCaptionDesign);
    m_timer.setTimerType(Qt::PreciseTimer);
    m_timer.setInterval(20);
    QObject::connect(&m_timer, &QTimer::timeout, this, [this] { timerTick(); });

    auto* menuBar = new QMenuBar(this);
    QMenu* system = menuBar->addMenu("&System");
    m_menus["mnuSystem"] = system->menuAction();
    m_menus["mniSave"] = system->addAction("&Save Picture", this, [this] { mniSave_Click(); });
    m_menus["mniLine"] = system->addSeparator();
    m_menus["mniExit"] = system->addAction("&Exit", this, [this] { mniExit_Click(); });
    m_menus["mniFeat"] = menuBar->addAction("&Features ", this, [this] {
        if (onDialog)
            onDialog("feat");
    });
    m_menus["mniMethod"] = menuBar->addAction("M&ethod", this, [this] {
        if (onDialog)
            onDialog("method");
    });
    m_menus["mniPlot"] = menuBar->addAction("Plo&t", this, [this] {
        if (onDialog)
            onDialog("plot");
    });

    DtwPictures& pics = m_session.pictures();
    auto* tracks = new QGridLayout;
    tracks->setHorizontalSpacing(6);
    tracks->setVerticalSpacing(2);
    int row = 0;
    auto captionRow = [&](const char* caption, const char* nameLabel, const char* framesCaption,
                          const char* framesLabel, const char* featLabel) {
        auto* line = new QHBoxLayout;
        line->addWidget(new QLabel(caption));
        QLabel* name = addLabel(nameLabel);
        name->setContentsMargins(4, 0, 0, 0);
        QFont bold = name->font();
        bold.setBold(true);
        name->setFont(bold);
        line->addWidget(name, 1);
        line->addWidget(addLabel(featLabel));
        line->addSpacing(12);
        line->addWidget(new QLabel(framesCaption));
        QLabel* frames = addLabel(framesLabel);
        frames->setContentsMargins(4, 0, 0, 0);
        frames->setMinimumWidth(30);
        line->addWidget(frames);
        tracks->addLayout(line, row++, 0);
    };
    captionRow("Tested:", "lblTestName", "Frames:", "lblTestFrames", "lblFeatName0");
    tracks->addWidget(addPicture("picTest", pics.test), row++, 0);
    captionRow("Reference:", "lblRefName", "Frames:", "lblRefFrames", "lblFeatName1");
    tracks->addWidget(addPicture("picRef", pics.ref), row++, 0);
    {
        auto* line = new QHBoxLayout;
        line->addWidget(new QLabel("After warping:"));
        line->addStretch(1);
        line->addWidget(new QLabel("Frames: "));
        line->addWidget(addLabel("lblWarpTestFrames"));
        line->addWidget(addLabel("lblWarpSlash", "/"));
        line->addWidget(addLabel("lblWarpRefFrames"));
        tracks->addLayout(line, row++, 0);
    }
    tracks->addWidget(addPicture("picTestWarp", pics.testWarp), row++, 0);
    tracks->addWidget(addPicture("picRefWarp", pics.refWarp), row++, 0);
    tracks->addWidget(addPicture("picDist", pics.dist), row++, 0);
    {
        auto* line = new QHBoxLayout;
        line->addWidget(new QLabel("Distance:"));
        QLabel* d = addLabel("lblDistance");
        d->setContentsMargins(4, 0, 0, 0);
        QFont bold = d->font();
        bold.setBold(true);
        d->setFont(bold);
        line->addWidget(d, 1);
        tracks->addLayout(line, row++, 0);
    }
    tracks->addWidget(addPicture("picCurBar", pics.bar), row++, 0);
    tracks->setRowStretch(row, 1);

    auto* plot = new QVBoxLayout;
    QLabel* caption = addLabel("lblDtwCaption");
    QFont big = caption->font();
    big.setBold(true);
    big.setPointSize(big.pointSize() + 2);
    caption->setFont(big);
    caption->setAlignment(Qt::AlignHCenter);
    plot->addWidget(caption);
    plot->addWidget(addPicture("picDtw", pics.dtw));
    plot->addStretch(1);

    auto* panes = new QHBoxLayout;
    panes->addLayout(tracks);
    panes->addSpacing(8);
    panes->addLayout(plot);

    auto* buttons = new QHBoxLayout;
    addButton("cmdMatch", "&Match", &FrmDtw::cmdMatch_Click);
    addButton("cmdPause", "&Pause", &FrmDtw::cmdPause_Click);
    addButton("cmdContinue", "&Continue", &FrmDtw::cmdContinue_Click);
    addButton("cmdForward", "S&tep", &FrmDtw::cmdForward_Click);
    addButton("cmdNextWord", "Next &Word", &FrmDtw::cmdNextWord_Click);
    addButton("cmdNextRef", "Select &Reference", &FrmDtw::cmdNextRef_Click);
    addButton("cmdSpeak", "&TALVOR", &FrmDtw::cmdSpeak_Click);
    for (const char* name : {"cmdMatch", "cmdPause", "cmdContinue", "cmdForward", "cmdNextWord", "cmdNextRef"})
        buttons->addWidget(m_buttons[name]);
    buttons->addStretch(1);
    buttons->addWidget(m_buttons["cmdSpeak"]);

    QLabel* status = addLabel("lblStatusLine");
    status->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    status->setTextFormat(Qt::PlainText);
    status->setMinimumHeight(22);

    auto* top = new QVBoxLayout(this);
    top->setMenuBar(menuBar);
    top->addLayout(panes);
    top->addLayout(buttons);
    top->addWidget(status);
    for (auto& [name, l] : m_labels)
        l->setTextFormat(Qt::PlainText);
    // The feature names over the tracks come in the track colours.
    m_labels["lblFeatName0"]->setStyleSheet("color: #3060a0");
    m_labels["lblFeatName1"]->setStyleSheet("color: #a04040");

    m_pictures["picTest"]->onClick = [this] {
        m_session.picTestClick();
        refresh();
    };
    m_pictures["picRef"]->onClick = [this] {
        m_session.picRefClick();
        refresh();
    };
    m_session.FormLoad();
    refresh();
}

FrmDtw::~FrmDtw()
{
    m_timer.stop();
}

QPushButton* FrmDtw::addButton(const char* name, const char* caption, void (FrmDtw::*slot)())
{
    auto* b = new QPushButton(QString::fromUtf8(caption));
    b->setObjectName(name);
    QObject::connect(b, &QPushButton::clicked, this, [this, slot] { (this->*slot)(); });
    m_buttons[name] = b;
    return b;
}

QLabel* FrmDtw::addLabel(const char* name, const QString& text)
{
    auto* l = new QLabel(text);
    l->setObjectName(name);
    m_labels[name] = l;
    return l;
}

PictureBox* FrmDtw::addPicture(const char* name, const Canvas& canvas)
{
    auto* p = new PictureBox(canvas);
    p->setObjectName(name);
    m_pictures[name] = p;
    return p;
}

QPushButton* FrmDtw::button(const std::string& name) const
{
    auto it = m_buttons.find(name);
    return it == m_buttons.end() ? nullptr : it->second;
}

QLabel* FrmDtw::label(const std::string& name) const
{
    auto it = m_labels.find(name);
    return it == m_labels.end() ? nullptr : it->second;
}

QAction* FrmDtw::menu(const std::string& name) const
{
    auto it = m_menus.find(name);
    return it == m_menus.end() ? nullptr : it->second;
}

PictureBox* FrmDtw::picture(const std::string& name) const
{
    auto it = m_pictures.find(name);
    return it == m_pictures.end() ? nullptr : it->second;
}

void FrmDtw::refresh()
{
    const DtwLabels& l = m_session.labels();
    setText(m_labels["lblFeatName0"], l.featName[0]);
    setText(m_labels["lblFeatName1"], l.featName[1]);
    setText(m_labels["lblTestName"], l.testName);
    setText(m_labels["lblRefName"], l.refName);
    setText(m_labels["lblTestFrames"], l.testFrames);
    setText(m_labels["lblRefFrames"], l.refFrames);
    setText(m_labels["lblDtwCaption"], l.dtwCaption);
    setText(m_labels["lblDistance"], l.distance);
    setText(m_labels["lblWarpTestFrames"], l.warpTestFrames);
    setText(m_labels["lblWarpRefFrames"], l.warpRefFrames);
    m_labels["lblWarpSlash"]->setVisible(!l.warpTestFrames.empty());
    setText(m_labels["lblStatusLine"], l.statusLine);
    if (m_buttons["cmdSpeak"]->text() != qs(l.speakCaption))
        m_buttons["cmdSpeak"]->setText(qs(l.speakCaption));

    const WindowEnables e = m_session.enables();
    m_buttons["cmdMatch"]->setEnabled(e.match);
    m_buttons["cmdPause"]->setEnabled(e.pause);
    m_buttons["cmdContinue"]->setEnabled(e.resume);
    m_buttons["cmdForward"]->setEnabled(e.forward);
    m_buttons["cmdNextWord"]->setEnabled(e.nextWord);
    m_buttons["cmdNextRef"]->setEnabled(e.nextRef);
    m_menus["mniPlot"]->setEnabled(e.menus);
    m_menus["mniFeat"]->setEnabled(e.menus);
    m_menus["mniMethod"]->setEnabled(e.menus);
    m_menus["mniSave"]->setEnabled(e.save);
    if (e.timer && !m_timer.isActive())
        m_timer.start();
    else if (!e.timer && m_timer.isActive())
        m_timer.stop();
    for (auto& [name, p] : m_pictures)
        p->sync();
}

void FrmDtw::centre()
{
    adjustSize();
    if (QScreen* s = screen() ? screen() : QApplication::primaryScreen()) {
        const QRect r = s->availableGeometry();
        move(r.center() - QPoint(width() / 2, height() / 2));
    }
}

void FrmDtw::cmdMatch_Click()
{
    {
        BusyCursor busy;
        m_session.cmdMatch();
    }
    refresh();
}

void FrmDtw::cmdPause_Click()
{
    m_session.cmdPause();
    refresh();
}

void FrmDtw::cmdContinue_Click()
{
    m_session.cmdContinue();
    refresh();
}

void FrmDtw::cmdForward_Click()
{
    m_session.cmdForward();
    refresh();
}

void FrmDtw::cmdNextWord_Click()
{
    {
        BusyCursor busy;
        m_session.cmdNextWord();
    }
    refresh();
}

void FrmDtw::cmdNextRef_Click()
{
    if (!m_session.enables().nextRef)
        return;
    if (onDialog)
        onDialog("ref");
}

void FrmDtw::cmdSpeak_Click()
{
    switch (m_session.cmdSpeak()) {
    case DtwSession::SpeakAction::AskThenHide:
        if (platform::dialogs().messageBox(kAskExitDtw, kMessageCaption, platform::MessageIcon::Question,
                                           platform::MessageButtons::YesNo)
            == platform::DialogAnswer::Yes)
            hide();
        break;
    case DtwSession::SpeakAction::Hide:
        hide();
        break;
    case DtwSession::SpeakAction::Nothing:
        break;
    }
}

void FrmDtw::mniSave_Click()
{
    if (!m_session.enables().save)
        return;
    const auto path = platform::dialogs().saveFile("Save Picture", m_session.state().appPath, kSaveFilter);
    bool saved = false;
    if (path && !path->empty()) {
        BusyCursor busy;
        // A name without an extension is given the filter's.
        QString name = qs(*path);
        if (QFileInfo(name).suffix().isEmpty() && !name.endsWith('.'))
            name += ".bmp";
        QSaveFile file(name);
        saved = file.open(QIODevice::WriteOnly) && canvasImage(m_session.pictures().dtw).save(&file, "BMP")
                && file.commit();
    }
    if (!saved)
        platform::dialogs().messageBox(kCannotSave, kMessageCaption, platform::MessageIcon::Warning,
                                       platform::MessageButtons::Ok);
}

void FrmDtw::mniExit_Click()
{
    if (platform::dialogs().messageBox(kAskExit, kMessageCaption, platform::MessageIcon::Question,
                                       platform::MessageButtons::YesNo, platform::DialogAnswer::No)
        != platform::DialogAnswer::Yes)
        return;
    m_session.stopAnimation();
    m_timer.stop();
    if (onExit)
        onExit();
}

void FrmDtw::timerTick()
{
    m_session.timerTick();
    refresh();
}

void FrmDtw::closeEvent(QCloseEvent* event)
{
    // The close box returns to the host like cmdSpeak; it never unloads.
    event->ignore();
    if (m_session.cmdSpeak() == DtwSession::SpeakAction::Nothing)
        hide();
    else
        cmdSpeak_Click();
}

void FrmDtw::hideEvent(QHideEvent* event)
{
    QWidget::hideEvent(event);
    if (event->spontaneous())
        return;
    m_session.stopAnimation();
    m_timer.stop();
    refresh();
    if (onHidden)
        onHidden();
}

}  // namespace talvor::timewarp
