#include "StatwalkWindow.h"

#include <QCloseEvent>
#include <QFontDatabase>
#include <QKeyEvent>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>
#include <QHBoxLayout>
#include <unistd.h>

#include "common/FileNames.h"

namespace talvor::statwalk {

StatwalkWindow::StatwalkWindow(const std::string& caption)
    : m_status(new QLabel(this)), m_log(new QPlainTextEdit(this)), m_close(new QPushButton("Close", this))
{
    setWindowTitle(QString::fromStdString(caption));
    m_log->setReadOnly(true);
    m_log->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    m_log->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    m_status->setWordWrap(true);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_status);
    layout->addWidget(m_log, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(m_close);
    layout->addLayout(buttons);
    connect(m_close, &QPushButton::clicked, this, [this] { close(); });
    resize(720, 420);
}

void StatwalkWindow::appendLine(const std::string& line)
{
    const QString text = QString::fromStdString(line);
    QMetaObject::invokeMethod(this, [this, text] { m_log->appendPlainText(text); }, Qt::QueuedConnection);
}

void StatwalkWindow::setStatus(const std::string& text)
{
    const QString t = QString::fromStdString(text);
    QMetaObject::invokeMethod(this, [this, t] { m_status->setText(t); }, Qt::QueuedConnection);
}

std::string StatwalkWindow::logText() const
{
    return m_log->toPlainText().toStdString();
}

void StatwalkWindow::closeEvent(QCloseEvent* event)
{
    if (m_onDismiss) {
        event->ignore();
        m_onDismiss();
        return;
    }
    QWidget::closeEvent(event);
}

void StatwalkWindow::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Escape) {
        close();
        return;
    }
    QWidget::keyPressEvent(event);
}

std::string programFolderOf(const char* argv0)
{
    std::string p = argv0 ? argv0 : "";
    const auto slash = p.rfind('/');
    std::string folder = slash == std::string::npos ? std::string(".") : p.substr(0, slash);
    if (folder.empty())
        folder = "/";
    if (folder[0] != '/') {
        char cwd[4096];
        if (::getcwd(cwd, sizeof cwd))
            folder = joinPath(cwd, folder);
    }
    return folder;
}

}  // namespace talvor::statwalk
