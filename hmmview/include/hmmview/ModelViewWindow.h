#pragma once
// The model viewer "MODELS viewer": one model's header, the whole model as
// text, and plots of the Gaussian densities of a chosen state, feature and
// mixture.  The window holds its own copy of the model; it takes its file
// from whoever opens it (the modelview program passes its argument), never
// from the process's command line.

#include <array>
#include <string>
#include <vector>

#include <QImage>
#include <QWidget>

#include "hmmview/HmmModel.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QMenuBar;
class QPlainTextEdit;
class QTabWidget;

namespace talvor::hmmview {

class ModelViewWindow : public QWidget {
public:
    explicit ModelViewWindow(QWidget* parent = nullptr);

    // Loads a model file (LoadMOD's name rule) and shows it.
    void LoadMOD(const std::string& fileName);
    const HmmModel& model() const { return m_model; }

    // "Display": adds the chosen curves to the plot (successive displays
    // overlay until "Clear graf").  Does nothing unless a model is loaded, for
    // min X >= max X or max Y <= -0.2.
    void cmbDisplayState_Click();
    void cmbClearGraf_Click();
    // The plot, or every state's plot one under the other, to the clipboard.
    void cmbGrafToClb_Click();
    void cmbAllStates_Click();
    // "Opem MOD": the open dialog, then LoadMOD.
    void miOpen_Click();

    const QImage& plot() const { return m_plot; }
    QLabel* headerLabel(int index) const { return m_popis[static_cast<std::size_t>(index)]; }
    QLabel* fileLabel() const { return m_fileLabel; }
    QLabel* wordLabel() const { return m_word; }
    QPlainTextEdit* text() const { return m_text; }
    QComboBox* featureChoice() const { return m_feature; }
    QComboBox* mixtureChoice() const { return m_mixture; }
    QComboBox* stateChoice() const { return m_state; }
    QLineEdit* scaleBox(int k) const { return m_scales[static_cast<std::size_t>(k)]; }
    QCheckBox* autoDisplay() const { return m_auto; }
    QTabWidget* tabs() const { return m_tabs; }

    // The largest image "All states" puts on the clipboard, in pixels a side.
    static constexpr int kMaxImageSide = 16384;

protected:
    void resizeEvent(QResizeEvent* event) override;

    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // One press of "Display": what it drew, to draw it again at another size.
    struct Display {
        double minX = 0, maxX = 0, maxY = 0;
        int feature = 0;
        std::int32_t mixture = 0;
        int state = 0;
    };
    Display currentDisplay(int state) const;
    bool drawable(const Display& d) const;
    void showPlot();
    void fitPlot();
    void drawCurves(QImage& image, const Display& d) const;
    void choiceChanged();

    HmmModel m_model;
    QImage m_plot;  // as large as the frame shows it
    std::vector<Display> m_displays;  // since the last "Clear graf"
    QMenuBar* m_menuBar = nullptr;
    QLabel* m_fileLabel = nullptr;
    QLabel* m_word = nullptr;
    std::array<QLabel*, 11> m_popis{};
    QTabWidget* m_tabs = nullptr;
    QPlainTextEdit* m_text = nullptr;
    QComboBox* m_feature = nullptr;
    QComboBox* m_mixture = nullptr;
    QComboBox* m_state = nullptr;
    std::array<QLineEdit*, 3> m_scales{};
    QCheckBox* m_auto = nullptr;
    QLabel* m_picture = nullptr;
};

}  // namespace talvor::hmmview
