#pragma once
// The workbench's two small windows: the model-parameters dialog "Model
// Parameters" (frmModels), which shows how a work directory's models were
// trained, and the restore window "TalvorII" (frmV), which stands in for the
// hidden wizard while the analyser listens in run-time mode.

#include <array>
#include <functional>

#include <QDialog>
#include <QWidget>

#include "workbench/Wizard.h"

class QCheckBox;
class QLabel;

namespace talvor::workbench {

class ModelsDialog : public QDialog {
public:
    explicit ModelsDialog(QWidget* parent = nullptr);
    // Shows the parameters; the caller runs it modally (exec) or not.
    void setParameters(const ModelParameters& p);

    QLabel* numFiles() const { return m_numFiles; }
    QLabel* files() const { return m_files; }
    QLabel* states() const { return m_states; }
    QLabel* mixtures() const { return m_mixtures; }
    QLabel* features() const { return m_features; }
    QCheckBox* feature(int i) const { return m_feature[std::size_t(i)]; }

private:
    QLabel* m_numFiles = nullptr;
    QLabel* m_files = nullptr;
    QLabel* m_states = nullptr;
    QLabel* m_mixtures = nullptr;
    QLabel* m_features = nullptr;
    std::array<QCheckBox*, kFeatureCount> m_feature{};
};

class RestoreWindow : public QWidget {
public:
    // `restore` runs on a double click and when the window is closed: the
    // program is never left without a visible window of its own.
    explicit RestoreWindow(std::function<void()> restore);
    // Top right corner of the screen.
    void placeTopRight();

protected:
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    std::function<void()> m_restore;
};

}  // namespace talvor::workbench
