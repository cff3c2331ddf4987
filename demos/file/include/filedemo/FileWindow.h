#pragma once
// The File demo's window "Talvor DEMO file": a text box that receives the
// result file's contents, polled every 300 ms.

#include <QWidget>

#include "filedemo/FilePoller.h"

class QPlainTextEdit;
class QTimer;

namespace talvor::filedemo {

class FileWindow : public QWidget {
public:
    explicit FileWindow(const std::string& fileName, QWidget* parent = nullptr);

    QPlainTextEdit* textBox() const { return m_text; }
    // One poll, as the timer runs it.
    void pollOnce();
    FilePoller& poller() { return m_poller; }

private:
    FilePoller m_poller;
    QPlainTextEdit* m_text = nullptr;
    QTimer* m_timer = nullptr;
};

}  // namespace talvor::filedemo
