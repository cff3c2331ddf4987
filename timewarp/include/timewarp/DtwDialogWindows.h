#pragma once
// The DTW window's four dialogs as thin Qt faces over their models
// (DtwDialogs.h): frmRefSel "Reference selection", frmPlot "Plot options",
// frmMethod "Time Warping Methods" and frmFeat "Feature selection".  Each is
// modal, centred on the screen, hidden by its OK button and kept (with its
// controls' state) until the DTW window is unloaded.
#include <QDialog>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QToolButton>

#include <array>
#include <functional>
#include <initializer_list>
#include <memory>

#include "timewarp/DtwDialogs.h"

namespace talvor::timewarp {

// A spin button: an up and a down arrow.
struct SpinButton {
    QToolButton* up = nullptr;
    QToolButton* down = nullptr;
    QWidget* widget = nullptr;
    void setEnabled(bool on);
};

class DtwDialog : public QDialog {
public:
    explicit DtwDialog(QWidget* parent = nullptr);
    // Shows the dialog modally, centred on the screen; returns when it hides.
    void showModal();
    // Called after OK changed what the DTW window shows.
    std::function<void()> onChanged;
    QPushButton* ok() const { return m_ok; }
    // Shows the model's state in the controls.
    virtual void refresh() = 0;

protected:
    virtual void load() {}
    virtual void accept_() = 0;
    void changed();
    // A control's action: the model's handler, then refresh.
    std::function<void()> act(std::function<void()> handler);
    // The dialog's layout: the given frames one below the other, OK at the right under them.
    void placeFrames(std::initializer_list<QWidget*> frames);
    QPushButton* m_ok = nullptr;
};

class FrmRefSel : public DtwDialog {
public:
    explicit FrmRefSel(DtwSession& session, QWidget* parent = nullptr);
    RefSelection& model() { return m_model; }
    void refresh() override;
    QRadioButton* option(RefSelection::Way way) const { return m_opt[way]; }
    QLabel* wordLabel(RefSelection::Way way) const { return m_word[way]; }
    QLabel* scoreLabel(RefSelection::Way way) const { return m_score[way]; }
    const SpinButton& spin(RefSelection::Way way) const { return m_spin[way]; }

protected:
    void load() override;
    void accept_() override;
    // Up and Down on a way's option or arrows step that way's number as its
    // arrows do (not the option selection).
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    RefSelection m_model;
    std::array<QRadioButton*, 3> m_opt{};
    std::array<QLabel*, 3> m_word{};
    std::array<QLabel*, 3> m_score{};
    std::array<SpinButton, 3> m_spin{};
};

class FrmPlot : public DtwDialog {
public:
    explicit FrmPlot(DtwComparerState& state, QWidget* parent = nullptr);
    PlotOptions& model() { return m_model; }
    void refresh() override;
    QRadioButton* optFlat = nullptr;
    QRadioButton* opt3D = nullptr;
    QRadioButton* optMap = nullptr;
    QLabel* lblRot = nullptr;
    QLabel* lblElev = nullptr;
    SpinButton spiRot;
    SpinButton spiElev;

protected:
    void load() override { refresh(); }
    void accept_() override;

private:
    PlotOptions m_model;
    QLabel* m_lblR = nullptr;
    QLabel* m_lblE = nullptr;
};

class FrmMethod : public DtwDialog {
public:
    explicit FrmMethod(DtwSession& session, QWidget* parent = nullptr);
    MethodOptions& model() { return m_model; }
    void refresh() override;
    QRadioButton* OptIta = nullptr;
    QRadioButton* optNsc = nullptr;
    QRadioButton* optLin = nullptr;
    QRadioButton* optFixed = nullptr;
    QRadioButton* optFlex = nullptr;
    QLabel* lblRange = nullptr;
    SpinButton spiRange;

protected:
    void load() override;
    void accept_() override;

private:
    MethodOptions m_model;
    QWidget* m_fraRange = nullptr;
};

class FrmFeat : public DtwDialog {
public:
    explicit FrmFeat(DtwSession& session, QWidget* parent = nullptr);
    FeatureOptions& model() { return m_model; }
    void refresh() override;
    // optFeature(k), k = 1..20.
    QRadioButton* optFeature(int k) const { return m_opt[std::size_t(k - 1)]; }

protected:
    void load() override;
    void accept_() override;

private:
    FeatureOptions m_model;
    std::array<QRadioButton*, 20> m_opt{};
};

// The four dialogs of one DTW window.
struct DtwDialogs {
    DtwDialogs(DtwSession& session, std::function<void()> onChanged);
    FrmRefSel refSel;
    FrmPlot plot;
    FrmMethod method;
    FrmFeat feat;
};

}  // namespace talvor::timewarp
