#include "filedemo/FileWindow.h"

#include <QPlainTextEdit>
#include <QScrollBar>
#include <QTimer>
#include <QVBoxLayout>

namespace talvor::filedemo {

FileWindow::FileWindow(const std::string& fileName, QWidget* parent) : QWidget(parent), m_poller(fileName)
{
    setWindowTitle(QString::fromLatin1(kCaption));
    m_text = new QPlainTextEdit(this);
    m_text->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    // The text box at 120,120 twips, 3375 x 2535 twips (15 twips a pixel).
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(8, 8, 8, 8);
    layout->addWidget(m_text);
    m_text->setMinimumSize(225, 169);
    resize(241 + 80, 185 + 40);

    m_timer = new QTimer(this);
    m_timer->setTimerType(Qt::PreciseTimer);
    connect(m_timer, &QTimer::timeout, this, &FileWindow::pollOnce);
    m_timer->start(kPollIntervalMs);
}

void FileWindow::pollOnce()
{
    const std::string received = m_poller.poll();
    if (received.empty())
        return;
    m_text->moveCursor(QTextCursor::End);
    m_text->insertPlainText(QString::fromUtf8(displayText(received)));
    m_text->verticalScrollBar()->setValue(m_text->verticalScrollBar()->maximum());
}

}  // namespace talvor::filedemo
