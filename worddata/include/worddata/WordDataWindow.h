#pragma once
// The word data editor window "Vocabulary operations": the word table grdLab
// (read-only), the labels, "Play", "Play next word", "OK", and the "&File"
// and "&Tools" menus, over a host's word data store.  The commands are
// WordDataEditor's; this window maps the store to its controls.
//
//     WordDataWindow w(store, appPath);
//     w.setTableChanged([&] { refreshMyWordList(); });
//     w.show();

#include <QMainWindow>
#include <QTimer>
#include <functional>
#include <memory>

#include "worddata/WordDataEditor.h"

class QLabel;
class QLineEdit;
class QTableWidget;
class QPushButton;

namespace talvor::worddata {

class WordDataWindow : public QMainWindow, private EditorServices {
public:
    WordDataWindow(WordDataStore& store, const std::string& appPath, QWidget* parent = nullptr);
    ~WordDataWindow() override;

    WordDataEditor& editor() { return m_editor; }
    // Called after rows were added or removed or a new table was made.
    void setTableChanged(std::function<void()> f) { m_tableChanged = std::move(f); }
    // Called with the row (1-based) the user picked in the grid.
    void setRowPicked(std::function<void(std::int32_t)> f) { m_rowPicked = std::move(f); }
    // Shows the store as it is now (after a host changed it).
    void refresh();

    QTableWidget* grid() const { return m_grid; }

private:
    // EditorServices
    std::optional<std::string> inputBox(const std::string& prompt, const std::string& title,
                                        const std::string& defaultText) override;
    std::optional<std::string> openFile(const std::string& caption, const std::string& folder,
                                        const std::string& filter) override;
    std::optional<std::string> saveFile(const std::string& caption, const std::string& folder,
                                        const std::string& filter) override;
    void showError(const std::string& text) override;
    void startPlayTimer(std::int32_t milliseconds) override;
    void stopPlayTimer() override;
    void hideWindow() override;

    void run(void (WordDataEditor::*command)());

    WordDataEditor m_editor;
    std::function<void()> m_tableChanged;
    std::function<void(std::int32_t)> m_rowPicked;
    QTimer m_playTimer;
    QTableWidget* m_grid = nullptr;
    QLineEdit* m_txtName = nullptr;
    QLabel* m_lblName = nullptr;
    QLabel* m_lblFilePar = nullptr;
    QLabel* m_lblFileRec = nullptr;
    QLabel* m_lblWords = nullptr;
    QLabel* m_label1 = nullptr;
    QPushButton* m_play = nullptr;
    bool m_filling = false;
};

}  // namespace talvor::worddata
