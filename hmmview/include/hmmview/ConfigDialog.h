#pragma once
// The display configuration dialog "Properties": the six scale fields, the
// ten role colours, the grid and animation sliders, a live example trellis,
// and the colour schemes (<name>.sc1 in the program folder).
//
// The dialog edits a copy of the settings in memory; OK saves that copy into
// the selected scheme (when one is selected) and the caller takes it.

#include <array>
#include <functional>
#include <string>

#include <QDialog>

#include "hmmview/DisplaySettings.h"
#include "hmmview/TrellisPainter.h"

class QComboBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class QRadioButton;
class QSlider;
class QTabWidget;
class QWidget;

namespace talvor::hmmview {

// Draws the example trellis of the dialog (30 frames, an entry row and an
// eight-state model) at `origin`; returns its size in pixels.
QSize exampleTrellisSize(const DisplaySettings& settings, TwipScale scale);
void paintExampleTrellis(QPainter& painter, QPoint origin, const DisplaySettings& settings, TwipScale scale);

class ConfigDialog : public QDialog {
public:
    // `animationDelay` is the slider's start value (10 ms units); `onAnimation`
    // receives every new slider value.
    ConfigDialog(const DisplaySettings& settings, const std::string& appPath, int animationDelay,
                 std::function<void(int)> onAnimation, TwipScale scale = {}, QWidget* parent = nullptr);

    bool isOK() const { return m_ok; }
    const DisplaySettings& settings() const { return m_settings; }

    // The commands, for the buttons and for tests.
    void Command1_Click();                 // OK
    void Command2_Click();                 // Cancel
    void Command3_Click();                 // Save As...
    void Command4_Click();                 // Delete
    void cmboSchemas_Click(int index);     // a scheme was chosen
    void cmbChaColor_Click();              // Change color
    void selectRole(int role);             // a role list click
    void sldGrid_Change(int value);
    void setManual(bool manual);
    // A scale field's text changed (typed): clamped to 1..2000, then all six read back.
    void txtScale_Change(int field);
    void DoExemple();

    QComboBox* schemes() const { return m_schemes; }
    QLineEdit* scaleField(int k) const { return m_fields[static_cast<std::size_t>(k)]; }
    QListWidget* roleList() const { return m_roles; }
    QTabWidget* tabs() const { return m_tabs; }
    QLabel* example() const { return m_example; }
    QSlider* gridSlider() const { return m_grid; }
    QSlider* animationSlider() const { return m_anim; }

protected:
    // A click on the example picture draws it again (DoExemple).
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void showFields();
    void showSwatch();
    QWidget* buildGlobal(int animationDelay);
    QWidget* buildScales();
    QWidget* buildColors();

    DisplaySettings m_settings;
    std::string m_appPath;
    TwipScale m_scale;
    std::function<void(int)> m_onAnimation;
    bool m_ok = false;
    bool m_loading = true;

    QTabWidget* m_tabs = nullptr;
    QComboBox* m_schemes = nullptr;
    std::array<QLineEdit*, 6> m_fields{};
    QWidget* m_manualFrame = nullptr;
    QWidget* m_autoFrame = nullptr;
    QRadioButton* m_manual = nullptr;
    QRadioButton* m_automatic = nullptr;
    QSlider* m_grid = nullptr;
    QSlider* m_anim = nullptr;
    QListWidget* m_roles = nullptr;
    QLabel* m_swatch = nullptr;
    QLabel* m_example = nullptr;
    QComboBox* m_exampleName = nullptr;
    QLabel* m_exampleOrder = nullptr;
    QLabel* m_exampleScore = nullptr;
    QWidget* m_exampleSheet = nullptr;
    QWidget* m_exampleBorder = nullptr;
};

}  // namespace talvor::hmmview
