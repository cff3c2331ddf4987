#pragma once
// The three display choosers of the analyser window as Qt dialogs, each a
// view of its model (DisplayChoosers.h): a user's click goes to the model,
// then the dialog shows the model's state again with its signals blocked.
// A chooser is shown modally (a local event loop that ends when it hides).
//
//   SpectrumChooserDialog  "Select spectrum type" (with the 3-D view's angles and "filtr")
//   FrameChooserDialog     "Select displayed frame function"
//   ParamChooserDialog     "Select parameter", one per parameter pane
//   DisplayChoosers        the eight dialogs of one window, wired to its panes

#include <QCheckBox>
#include <QDialog>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QToolButton>
#include <array>
#include <functional>
#include <memory>

#include "analyser/DisplayChoosers.h"

namespace talvor::analyser {

class WordDisplays;
class WordDisplayPanes;

class SpectrumChooserDialog : public QDialog {
public:
    SpectrumChooserDialog(SpectrumChooserModel& model, QWidget* parent = nullptr);
    // Shows the chooser modally; the type chosen.
    int Get_Type();
    // Called after a spin button changed an angle, and by "filtr".
    std::function<void()> onAnglesChanged;
    std::function<void()> onFiltr;

    QRadioButton* option(int i) const { return m_options.at(std::size_t(i)); }
    QPushButton* okButton() const { return m_ok; }
    QPushButton* cancelButton() const { return m_cancel; }
    QPushButton* filtrButton() const { return m_filtr; }
    QToolButton* rotationUp() const { return m_rotUp; }
    QToolButton* rotationDown() const { return m_rotDown; }
    QToolButton* elevationUp() const { return m_eleUp; }
    QToolButton* elevationDown() const { return m_eleDown; }
    QLabel* rotationLabel() const { return m_lblRot; }
    QLabel* elevationLabel() const { return m_lblElev; }
    void sync();  // shows the model's state

private:
    void spin(bool rotation, bool up);
    SpectrumChooserModel& m_model;
    std::array<QRadioButton*, 3> m_options{};
    QPushButton *m_ok = nullptr, *m_cancel = nullptr, *m_filtr = nullptr;
    QLabel *m_rot = nullptr, *m_elev = nullptr, *m_lblRot = nullptr, *m_lblElev = nullptr;
    QToolButton *m_rotUp = nullptr, *m_rotDown = nullptr, *m_eleUp = nullptr, *m_eleDown = nullptr;
};

class FrameChooserDialog : public QDialog {
public:
    FrameChooserDialog(FrameChooserModel& model, QWidget* parent = nullptr);
    int Get_Type();
    QRadioButton* option(int i) const { return m_options.at(std::size_t(i)); }
    QPushButton* okButton() const { return m_ok; }
    QPushButton* cancelButton() const { return m_cancel; }
    void sync();

private:
    FrameChooserModel& m_model;
    std::array<QRadioButton*, 3> m_options{};
    QPushButton *m_ok = nullptr, *m_cancel = nullptr;
};

class ParamChooserDialog : public QDialog {
public:
    ParamChooserDialog(ParamChoosersModel& model, int pane, QWidget* parent = nullptr);
    // Opens the chooser modally; OK and CANCEL call onSelected.
    void SelectParameter();
    std::function<void(int pane)> onSelected;

    QCheckBox* param(int p) const { return m_params.at(std::size_t(p)); }
    QCheckBox* multichoice() const { return m_check1; }
    QPushButton* okButton() const { return m_ok; }
    QPushButton* cancelButton() const { return m_cancel; }
    QPushButton* colourButton() const { return m_setColour; }
    void sync();
    // "&Set color" and a right-button release over a box: the colour of the shown feature.
    void chooseColour();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    ParamChoosersModel& m_model;
    int m_pane;
    std::array<QCheckBox*, kFeatureCount> m_params{};
    QCheckBox* m_check1 = nullptr;
    QPushButton *m_ok = nullptr, *m_cancel = nullptr, *m_setColour = nullptr;
};

// The choosers of one analyser window: the pane clicks open them and the
// panes are redrawn as the choice asks.
class DisplayChoosers {
public:
    DisplayChoosers(WordDisplays& displays, WordDisplayPanes& panes, QWidget* parent);
    ~DisplayChoosers();
    SpectrumChooserDialog& spectrum();
    FrameChooserDialog& frame();
    ParamChooserDialog& param(int pane);
    int clickedPane() const { return m_clickedPane; }
    // Hides every chooser that is open (its modal show ends), as when the window is left.
    void hideAll();

    // The pane clicks (also reached through the panes' handlers).
    void frameClicked();
    void spectrumClicked();
    void picHelpClicked();
    void paramClicked(int pane);

private:
    WordDisplays& m_displays;
    WordDisplayPanes& m_panes;
    QWidget* m_parent;
    std::unique_ptr<SpectrumChooserDialog> m_spectrum;
    std::unique_ptr<FrameChooserDialog> m_frame;
    std::array<std::unique_ptr<ParamChooserDialog>, kParamPanes> m_param;
    int m_clickedPane = 0;
};

}  // namespace talvor::analyser
