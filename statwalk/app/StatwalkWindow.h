#pragma once
// The window of statwalk1 and statwalk2: what the program is doing, as a log.
#include <QWidget>
#include <functional>
#include <string>

class QLabel;
class QPlainTextEdit;
class QPushButton;

namespace talvor::statwalk {

class StatwalkWindow : public QWidget {
public:
    explicit StatwalkWindow(const std::string& caption);

    // One line at the end of the log; from any thread.
    void appendLine(const std::string& line);
    // The status line above the log; from any thread.
    void setStatus(const std::string& text);
    // Everything the log holds, one line each.
    std::string logText() const;

    // Called instead of closing when the user closes or dismisses the window
    // (the close box, the Close button or Escape).
    void setOnDismiss(std::function<void()> onDismiss) { m_onDismiss = std::move(onDismiss); }

protected:
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    QLabel* m_status;
    QPlainTextEdit* m_log;
    QPushButton* m_close;
    std::function<void()> m_onDismiss;
};

// The folder a program was started from (argv[0] as given, so a copy or a
// link in a program folder works), else the current folder.
std::string programFolderOf(const char* argv0);

}  // namespace talvor::statwalk
