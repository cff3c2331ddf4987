#pragma once
// The wizard's window: a tab control with the ten pages, the buttons below it
// and the report pane, over the wizard model.  Every user input is written to
// the model and the model's event runs; then the window shows the model again.

#include <array>
#include <functional>
#include <memory>
#include <utility>
#include <vector>

#include <QDesktopServices>
#include <QUrl>
#include <QWidget>

#include "workbench/Wizard.h"

class QButtonGroup;
class QCheckBox;
class QDialog;
class QGroupBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPlainTextEdit;
class QPushButton;
class QRadioButton;
class QTabWidget;
class QTimer;

namespace talvor::workbench {

class ModelsDialog;
class RestoreWindow;

class WizardWindow : public QWidget, public WizardHost {
public:
    WizardWindow(ExternalPrograms& programs, ModuleState& state, QWidget* parent = nullptr);
    ~WizardWindow() override;

    Wizard& wizard() { return *m_wizard; }
    QTabWidget* tabs() const { return m_tabs; }

    // Shows the model again (after every event).
    void refresh();
    // Moves the window to the middle of the screen, its size unchanged.
    void CenterForm();

    // What ending the program does (default: close every window and leave
    // the event loop).  Tests replace it.
    void setEndProgram(std::function<void()> end) { m_endProgram = std::move(end); }
    // Called when the caption changes (the window registration follows it).
    void setCaptionListener(std::function<void(const std::string&)> listener) { m_captionListener = std::move(listener); }

    // WizardHost
    void messageBox(const std::string& text, MessageIcon icon) override;
    bool askOkCancel(const std::string& text, MessageIcon icon) override;
    std::optional<std::string> openFile(const std::string& title, const std::string& presetName) override;
    std::optional<std::string> saveFile(const std::string& title, const std::string& presetName) override;
    void showWindow() override;
    void hideWindow() override;
    std::string caption() const override;
    void setCaption(const std::string& caption) override;
    void endProgram() override;
    void startWatchTimer(int intervalMs) override;
    void stopWatchTimer() override;
    bool watchTimerActive() const override;
    void processEvents() override;
    void modelChanged() override;
    void showModelParameters() override;
    void showRestoreWindow() override;
    void hideRestoreWindow() override;

    // A second start asked for the workbench: the wizard comes to the front
    // (out of a minimised state too); while it is hidden for the run-time
    // mode, the restore window does; hidden while an external program runs,
    // it stays hidden (it comes back when the program ends): false.
    bool bringToFront();

    // The small windows, made on first use (null before).
    ModelsDialog* modelsDialog() const { return m_modelsDialog.get(); }
    RestoreWindow* restoreWindow() const { return m_restoreWindow.get(); }
    // The about box "About TALVOR", shown modally by a click on the logo of
    // the first or last page; null before.
    void showAbout();
    QDialog* aboutBox() const { return m_about.get(); }
    // Opens the about box's link (the desktop's handler; tests put their own).
    void setLinkOpener(std::function<void(const QUrl&)> open) { m_openLink = std::move(open); }
    // The link of the about box: the project's README.
    static constexpr const char* kAboutLink = TALVOR_README_PATH;

    // The widgets, for tests and screenshots.
    QPushButton* nextButton() const { return m_next; }
    QPushButton* beginAgainButton() const { return m_previous; }
    QPlainTextEdit* reportPane() const { return m_report; }
    QRadioButton* modeOption(int mode) const { return m_modes[std::size_t(mode)]; }

protected:
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    QWidget* buildBeginPage();
    QWidget* buildVocabularyPage();
    QWidget* buildNewVocabularyPage();
    QWidget* buildFilePage();
    QWidget* buildReferencesPage();
    QWidget* buildWorkDirPage();
    QWidget* buildFeaturesPage();
    QWidget* buildDataPage();
    QWidget* buildOtherPage();
    QWidget* buildEndPage();
    QLabel* prompt(int index);
    QString promptDisplay(int index) const;
    // Reads the help-caption file again and shows its texts.
    void reloadHelp();
    // Runs a model event, then shows the model again.
    void run(const std::function<void()>& event);

    std::unique_ptr<Wizard> m_wizard;
    std::unique_ptr<ModelsDialog> m_modelsDialog;
    std::unique_ptr<RestoreWindow> m_restoreWindow;
    std::unique_ptr<QDialog> m_about;
    std::function<void(const QUrl&)> m_openLink = [](const QUrl& url) { QDesktopServices::openUrl(url); };
    std::function<void()> m_endProgram;
    std::function<void(const std::string&)> m_captionListener;
    bool m_refreshing = false;
    int m_shownPage = -1;  // the page the window showed at its last refresh
    bool m_ending = false;

    QTabWidget* m_tabs = nullptr;
    QPushButton* m_next = nullptr;
    QPushButton* m_previous = nullptr;
    QPushButton* m_save = nullptr;
    QPushButton* m_load = nullptr;
    QPushButton* m_exit = nullptr;
    QPlainTextEdit* m_report = nullptr;
    QTimer* m_watch = nullptr;

    // Page 0
    std::array<QRadioButton*, kModeCount> m_modes{};
    // Page 1
    QListWidget* m_lstVoc = nullptr;
    QListWidget* m_lstVocPrev = nullptr;
    QListWidget* m_lstVocFilePrev = nullptr;
    QRadioButton* m_optVocab[2] = {};
    QRadioButton* m_optVocStr[2] = {};
    // Page 2
    QGroupBox* m_fraNewVoc[2] = {};
    QLineEdit* m_txtVocName = nullptr;
    QLineEdit* m_txtWord = nullptr;
    QListWidget* m_lstVocItems = nullptr;
    QLineEdit* m_txtSize = nullptr;
    QLabel* m_lblWord = nullptr;
    QLabel* m_lblList = nullptr;
    QLabel* m_lblSize = nullptr;
    QListWidget* m_lstStrText = nullptr;
    QListWidget* m_lstString = nullptr;
    // Page 3
    QLabel* m_filePrompt = nullptr;
    QLabel* m_prompt8 = nullptr;   // page 8: outside the run-time mode
    QLabel* m_prompt16 = nullptr;  // page 8: in the run-time mode
    QLabel* m_lblTestFile = nullptr;
    QLabel* m_lblFileName = nullptr;
    QListWidget* m_lstFiles = nullptr;
    QLineEdit* m_txtFileName = nullptr;
    // Page 4
    QListWidget* m_lstRefAvailable = nullptr;
    QListWidget* m_lstRefSelected = nullptr;
    QPushButton* m_cmdAdd = nullptr;
    QPushButton* m_cmdRemove = nullptr;
    // Page 5
    QLabel* m_workDirPrompt = nullptr;
    QRadioButton* m_optDirectory[2] = {};
    QLineEdit* m_txtWorkDir = nullptr;
    QListWidget* m_lstWorkDir = nullptr;
    QPushButton* m_cmdModels = nullptr;
    // Page 6
    QLabel* m_featuresPrompt = nullptr;
    std::array<QCheckBox*, kFeatureCount> m_chkFeature{};
    // Page 7
    QListWidget* m_lstDataVoc = nullptr;
    QListWidget* m_lstDataFile = nullptr;
    QListWidget* m_lstDataDir = nullptr;
    QListWidget* m_lstDataFileString = nullptr;
    QRadioButton* m_optData[4] = {};
    QPushButton* m_cmdDelete = nullptr;
    QPushButton* m_cmdDataRefresh = nullptr;
    // Every prompt label with the index of the prompt it shows at creation.
    std::vector<std::pair<QLabel*, int>> m_promptLabels;
    // Page 8
    QGroupBox* m_fraRecogniser = nullptr;
    QGroupBox* m_fraResult = nullptr;
    QLineEdit* m_txtConf = nullptr;
    std::array<QRadioButton*, 5> m_optRunTime{};
    QLineEdit* m_txtRunTimeFile = nullptr;
    QLineEdit* m_txtRunTimeWind = nullptr;
    std::array<QLineEdit*, 3> m_txtRunTimeMsg{};
    QLineEdit* m_txtRunTimeServerIP = nullptr;
    QCheckBox* m_chcRThide = nullptr;
    QCheckBox* m_chcRTlist = nullptr;
    // Page 9
    QPlainTextEdit* m_txtDescription = nullptr;
};

}  // namespace talvor::workbench
