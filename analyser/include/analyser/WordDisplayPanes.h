#pragma once
// The word display panes of the analyser window: thin Qt widgets that paint
// the scenes of a WordDisplays and hand the wave pane's pointer and the pane
// clicks back to it.  The panes are created as children of the window's
// client widget at the places of the window's layout (twips / 15).
//
// Use:
//     WordDisplays displays;
//     WordDisplayPanes panes(clientWidget, displays);
//     displays.showWord(source);  panes.refresh();
//     panes.onParamClick = [&](int pane) { ... };

#include <QLabel>
#include <QWidget>
#include <array>
#include <functional>

#include "analyser/WordDisplays.h"

namespace talvor::analyser {

// One picture pane: paints a PaneScene on the button-face background.
class ScenePane : public QWidget {
public:
    explicit ScenePane(QWidget* parent = nullptr);
    void setScene(const PaneScene* scene);  // not owned; null: an empty pane
    // Pointer and click handlers (x in pane pixels; button 1 left, 2 right, 4 middle).
    std::function<void(int button, double x)> onPress;
    std::function<void(int buttons, double x)> onMove;
    std::function<void(int button, double x)> onRelease;
    std::function<void()> onClick;

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    const PaneScene* m_scene = nullptr;
};

// Paints a scene into a painter's current device (used by the panes and the tests).
void paintScene(class QPainter& painter, const PaneScene& scene, int width, int height);

class WordDisplayPanes {
public:
    // clientOrigin: where `client`'s top left corner lies in the window's
    // client area (the layout's origin).
    WordDisplayPanes(QWidget* client, WordDisplays& displays, QPoint clientOrigin = QPoint(0, 0));
    WordDisplayPanes(const WordDisplayPanes&) = delete;
    WordDisplayPanes& operator=(const WordDisplayPanes&) = delete;

    // Shows what the displays hold now (scenes, captions, the 3-D view's visibility).
    void refresh();

    ScenePane* wave() const { return m_wave; }
    ScenePane* frame() const { return m_frame; }
    ScenePane* spectrum() const { return m_spectrum; }
    ScenePane* picHelp() const { return m_picHelp; }
    ScenePane* param(int i) const { return m_param.at(std::size_t(i)); }
    QWidget* spectrumContainer() const { return m_spectrumHelp; }
    QLabel* frameCaption() const { return m_lbFrame; }
    QLabel* frameTitle() const { return m_lbBuffered; }
    QLabel* spectrumTitle() const { return m_lbSpectrum; }

    // Pane clicks; by default the frame and spectrum panes keep their view
    // (the spectrogram is drawn again) and a parameter pane does nothing.
    std::function<void()> onFrameClick;
    std::function<void()> onSpectrumClick;
    std::function<void()> onPicHelpClick;
    std::function<void(int pane)> onParamClick;

private:
    WordDisplays& m_displays;
    ScenePane* m_wave = nullptr;
    ScenePane* m_frame = nullptr;
    ScenePane* m_spectrum = nullptr;
    ScenePane* m_picHelp = nullptr;
    std::array<ScenePane*, kParamPanes> m_param{};
    QWidget* m_spectrumHelp = nullptr;
    QLabel* m_lbFrame = nullptr;
    QLabel* m_lbBuffered = nullptr;
    QLabel* m_lbSpectrum = nullptr;
};

}  // namespace talvor::analyser
