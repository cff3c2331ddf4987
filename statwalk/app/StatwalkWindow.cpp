#include "StatwalkWindow.h"

#include <QCloseEvent>
#include <QFontDatabase>
#include <QKeyEvent>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>
#include <QHBoxLayout>
#include <filesystem>


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
    // Not resolved through links: a link in a program folder starts the
    // program for that folder.
    const std::filesystem::path started(argv0 ? argv0 : "");
    const std::filesystem::path folder = started.has_parent_path() ? started.parent_path() : ".";
    std::error_code ec;
    const std::filesystem::path absolute = std::filesystem::absolute(folder, ec);
    std::string text = (ec ? folder : absolute).lexically_normal().string();
    while (text.size() > 1 && text.back() == '/')
        text.pop_back();
    return text;
}

}  // namespace talvor::statwalk
