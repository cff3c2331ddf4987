#include "analyser/WordDisplayPanes.h"

#include <QMouseEvent>
#include <QPainter>
#include <QPolygon>

#include "platform/Colors.h"
#include "platform/SurfaceImage.h"

namespace talvor::analyser {

namespace {

int buttonNumber(Qt::MouseButton b)
{
    switch (b) {
    case Qt::LeftButton: return 1;
    case Qt::RightButton: return 2;
    case Qt::MiddleButton: return 4;
    default: return 0;
    }
}

int buttonsNumber(Qt::MouseButtons b)
{
    return (b & Qt::LeftButton ? 1 : 0) | (b & Qt::RightButton ? 2 : 0) | (b & Qt::MiddleButton ? 4 : 0);
}

QRect insideContainer(const TwipRect& r)
{
    return {twipsToPixels(r.left), twipsToPixels(r.top), twipsToPixels(r.width), twipsToPixels(r.height)};
}

}  // namespace

void paintScene(QPainter& painter, const PaneScene& scene, int width, int height)
{
    painter.fillRect(0, 0, width, height, platform::toQColor(platform::kSystemButtonFace));
    if (scene.picture.width() > 0)
        painter.drawImage(0, 0, platform::toQImage(scene.picture));
    painter.setRenderHint(QPainter::Antialiasing, false);
    for (const ScenePolyline& line : scene.polylines) {
        QPolygon polygon;
        polygon.reserve(qsizetype(line.points.size()));
        for (const PolyPoint& p : line.points)
            polygon << QPoint(p.x, p.y);
        QPen pen(platform::toQColor(line.colour));
        pen.setWidth(0);
        painter.setPen(pen);
        if (polygon.size() == 1)
            painter.drawPoint(polygon.first());
        else
            painter.drawPolyline(polygon);
    }
    for (const SceneDot& d : scene.dots) {
        painter.setPen(platform::toQColor(d.colour));
        painter.drawPoint(d.x, d.y);
    }
    for (const SceneText& t : scene.texts) {
        painter.setPen(platform::toQColor(t.colour));
        const QFontMetrics metrics(painter.font());
        painter.drawText(t.x, t.y + metrics.ascent(), QString::fromStdString(t.text));
    }
}

ScenePane::ScenePane(QWidget* parent) : QWidget(parent)
{
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void ScenePane::setScene(const PaneScene* scene)
{
    m_scene = scene;
    update();
}

void ScenePane::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    static const PaneScene kEmpty;
    paintScene(painter, m_scene ? *m_scene : kEmpty, width(), height());
}

void ScenePane::mousePressEvent(QMouseEvent* event)
{
    if (onPress)
        onPress(buttonNumber(event->button()), event->position().x());
}

void ScenePane::mouseMoveEvent(QMouseEvent* event)
{
    if (onMove)
        onMove(buttonsNumber(event->buttons()), event->position().x());
}

void ScenePane::mouseReleaseEvent(QMouseEvent* event)
{
    if (onRelease)
        onRelease(buttonNumber(event->button()), event->position().x());
    if (onClick && rect().contains(event->position().toPoint()))
        onClick();
}

WordDisplayPanes::WordDisplayPanes(QWidget* client, WordDisplays& displays, QPoint clientOrigin)
    : m_displays(displays)
{
    const auto pixels = [clientOrigin](const TwipRect& r) {
        return QRect(twipsToPixels(r.left), twipsToPixels(r.top), twipsToPixels(r.width), twipsToPixels(r.height))
            .translated(-clientOrigin);
    };
    m_wave = new ScenePane(client);
    m_wave->setObjectName("grafWave");
    m_wave->setGeometry(pixels(kWaveTwips));
    for (int i = 0; i < kParamPanes; ++i) {
        auto* pane = new ScenePane(client);
        pane->setObjectName(QString("grafParam%1").arg(i));
        pane->setGeometry(pixels(kParamTwips[std::size_t(i)]));
        pane->onClick = [this, i] {
            if (onParamClick)
                onParamClick(i);
        };
        m_param[std::size_t(i)] = pane;
    }
    m_frame = new ScenePane(client);
    m_frame->setObjectName("grafFrame");
    m_frame->setGeometry(pixels(kFrameTwips));

    // The frame pane's title and caption on one line above it.
    const QRect frame = pixels(kFrameTwips);
    m_lbBuffered = new QLabel(client);
    m_lbBuffered->setObjectName("lbBuffered");
    m_lbBuffered->setGeometry(frame.left(), frame.top() - 17, 120, 16);
    m_lbFrame = new QLabel(client);
    m_lbFrame->setObjectName("lbFrame");
    m_lbFrame->setGeometry(frame.right() - 180, frame.top() - 17, 180, 16);
    m_lbFrame->setAlignment(Qt::AlignRight | Qt::AlignVCenter);

    m_spectrumHelp = new QWidget(client);
    m_spectrumHelp->setObjectName("grafSpectrumHelp");
    m_spectrumHelp->setGeometry(pixels(kSpectrumHelpTwips));
    m_lbSpectrum = new QLabel(m_spectrumHelp);
    m_lbSpectrum->setObjectName("lbSpectrum");
    m_lbSpectrum->setGeometry(0, 0, m_spectrumHelp->width(), twipsToPixels(kSpectrumTwips.top));
    m_spectrum = new ScenePane(m_spectrumHelp);
    m_spectrum->setObjectName("grafSpectrum");
    m_spectrum->setGeometry(insideContainer(kSpectrumTwips));
    m_picHelp = new ScenePane(m_spectrumHelp);
    m_picHelp->setObjectName("picHelp");
    m_picHelp->setGeometry(insideContainer(kPicHelpTwips));
    m_picHelp->hide();

    // The wave pane's pointer selects the frame.
    m_wave->onPress = [this](int, double) { m_displays.pointerPress(); };
    m_wave->onMove = [this](int buttons, double x) {
        m_displays.pointerMove(buttons != 0, x);
        refresh();
    };
    m_wave->onRelease = [this](int button, double x) {
        m_displays.pointerRelease(button, x);
        refresh();
    };
    m_frame->onClick = [this] {
        if (onFrameClick)
            onFrameClick();
    };
    m_spectrum->onClick = [this] {
        if (onSpectrumClick) {
            onSpectrumClick();
        } else if (m_displays.spectrumChooser().selected() < 3) {
            m_displays.displaySpectrum();
            refresh();
        }
    };
    m_picHelp->onClick = [this] {
        if (onPicHelpClick)
            onPicHelpClick();
    };
    refresh();
}

void WordDisplayPanes::refresh()
{
    m_wave->setScene(&m_displays.waveScene());
    m_frame->setScene(&m_displays.frameScene());
    m_spectrum->setScene(&m_displays.spectrumScene());
    m_picHelp->setScene(&m_displays.picHelpScene());
    for (int i = 0; i < kParamPanes; ++i)
        m_param[std::size_t(i)]->setScene(&m_displays.paramScene(i));
    m_lbFrame->setText(QString::fromStdString(m_displays.frameCaption()));
    m_lbBuffered->setText(QString::fromStdString(m_displays.frameTitle()));
    m_lbSpectrum->setText(QString::fromStdString(m_displays.spectrumTitle()));
    m_picHelp->setVisible(m_displays.picHelpVisible() && m_displays.wordShown());
    if (m_picHelp->isVisible())
        m_picHelp->raise();
}

}  // namespace talvor::analyser
