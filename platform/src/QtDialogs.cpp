#include <algorithm>

#include <QColorDialog>
#include <QFile>
#include <QFileDialog>
#include <QFontMetrics>
#include <QHeaderView>
#include <QTreeView>
#include <QInputDialog>
#include <QMessageBox>
#include <QPushButton>
#include <QStringList>

#include "QtDialogs.h"
#include "platform/FileDialogFit.h"

namespace talvor::platform::detail {

namespace {

QString qs(const std::string& s)
{
    return QString::fromUtf8(s.data(), qsizetype(s.size()));
}

std::string utf8(const QString& s)
{
    return s.toUtf8().toStdString();
}

// File and folder names go as local 8-bit names (the file system's bytes),
// never through the text encoding.
QString fileNameOf(const std::string& s)
{
    return QFile::decodeName(QByteArray(s.data(), qsizetype(s.size())));
}

std::string localFileName(const QString& s)
{
    return QFile::encodeName(s).toStdString();
}

struct ButtonSet {
    QMessageBox::StandardButtons buttons;
    QMessageBox::StandardButton defaultButton;
};

ButtonSet buttonSet(MessageButtons b)
{
    using B = QMessageBox;
    switch (b) {
    case MessageButtons::Ok: return {B::Ok, B::Ok};
    case MessageButtons::OkCancel: return {B::Ok | B::Cancel, B::Ok};
    case MessageButtons::YesNo: return {B::Yes | B::No, B::Yes};
    case MessageButtons::YesNoCancel: return {B::Yes | B::No | B::Cancel, B::Yes};
    case MessageButtons::RetryCancel: return {B::Retry | B::Cancel, B::Retry};
    case MessageButtons::AbortRetryIgnore: return {B::Abort | B::Retry | B::Ignore, B::Abort};
    }
    return {B::Ok, B::Ok};
}

QMessageBox::Icon qtIcon(MessageIcon icon)
{
    switch (icon) {
    case MessageIcon::Information: return QMessageBox::Information;
    case MessageIcon::Warning: return QMessageBox::Warning;
    case MessageIcon::Critical: return QMessageBox::Critical;
    case MessageIcon::Question: return QMessageBox::Question;
    case MessageIcon::None: break;
    }
    return QMessageBox::NoIcon;
}

// The answer for the button pressed; closing the box answers as its escape
// button would (Cancel, No or Ignore where the set has one, else the default).
QMessageBox::StandardButton qtButton(DialogAnswer a)
{
    switch (a) {
    case DialogAnswer::Ok: return QMessageBox::Ok;
    case DialogAnswer::Cancel: return QMessageBox::Cancel;
    case DialogAnswer::Yes: return QMessageBox::Yes;
    case DialogAnswer::No: return QMessageBox::No;
    case DialogAnswer::Retry: return QMessageBox::Retry;
    case DialogAnswer::Abort: return QMessageBox::Abort;
    case DialogAnswer::Ignore: return QMessageBox::Ignore;
    }
    return QMessageBox::Ok;
}

DialogAnswer answerOf(int result, MessageButtons set)
{
    switch (result) {
    case QMessageBox::Ok: return DialogAnswer::Ok;
    case QMessageBox::Cancel: return DialogAnswer::Cancel;
    case QMessageBox::Yes: return DialogAnswer::Yes;
    case QMessageBox::No: return DialogAnswer::No;
    case QMessageBox::Retry: return DialogAnswer::Retry;
    case QMessageBox::Abort: return DialogAnswer::Abort;
    case QMessageBox::Ignore: return DialogAnswer::Ignore;
    default: break;
    }
    switch (set) {
    case MessageButtons::OkCancel:
    case MessageButtons::YesNoCancel:
    case MessageButtons::RetryCancel: return DialogAnswer::Cancel;
    case MessageButtons::YesNo: return DialogAnswer::No;
    case MessageButtons::AbortRetryIgnore: return DialogAnswer::Ignore;
    case MessageButtons::Ok: break;
    }
    return DialogAnswer::Ok;
}

QColor qtColor(std::uint32_t c)
{
    if (c & 0x80000000u)  // a system colour number: start from white
        return QColor(255, 255, 255);
    return QColor(int(c & 0xFF), int((c >> 8) & 0xFF), int((c >> 16) & 0xFF));
}

std::optional<std::string> runFileDialog(const std::string& caption, const std::string& folder,
                                         const std::string& filter, QFileDialog::AcceptMode mode)
{
    QFileDialog dialog(nullptr, qs(caption), fileNameOf(folder), qs(qtFilter(filter)));
    dialog.setAcceptMode(mode);
    dialog.setFileMode(mode == QFileDialog::AcceptOpen ? QFileDialog::ExistingFile : QFileDialog::AnyFile);
    fitFileDialog(dialog);
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    const QStringList files = dialog.selectedFiles();
    if (files.isEmpty() || files.front().isEmpty())
        return std::nullopt;
    return localFileName(files.front());
}

class QtDialogs : public Dialogs {
public:
    DialogAnswer messageBox(const std::string& text, const std::string& caption, MessageIcon icon,
                            MessageButtons buttons, std::optional<DialogAnswer> defaultButton) override
    {
        const ButtonSet set = buttonSet(buttons);
        QMessageBox box(qtIcon(icon), qs(caption), qs(text), set.buttons);
        box.setTextFormat(Qt::PlainText);
        box.setDefaultButton(defaultButton ? qtButton(*defaultButton) : set.defaultButton);
        return answerOf(box.exec(), buttons);
    }
    std::optional<std::string> inputBox(const std::string& prompt, const std::string& caption,
                                        const std::string& defaultText) override
    {
        bool ok = false;
        const QString t = QInputDialog::getText(nullptr, qs(caption), qs(prompt), QLineEdit::Normal,
                                                qs(defaultText), &ok);
        if (!ok)
            return std::nullopt;
        return utf8(t);
    }
    std::optional<std::string> openFile(const std::string& caption, const std::string& folder,
                                        const std::string& filter) override
    {
        return runFileDialog(caption, folder, filter, QFileDialog::AcceptOpen);
    }
    std::optional<std::string> saveFile(const std::string& caption, const std::string& folder,
                                        const std::string& filter) override
    {
        return runFileDialog(caption, folder, filter, QFileDialog::AcceptSave);
    }
    std::optional<std::uint32_t> chooseColor(std::uint32_t initial) override
    {
        const QColor c = QColorDialog::getColor(qtColor(initial));
        if (!c.isValid())
            return std::nullopt;
        return std::uint32_t(c.red()) | (std::uint32_t(c.green()) << 8) | (std::uint32_t(c.blue()) << 16);
    }
};

}  // namespace

std::string qtFilter(const std::string& filter)
{
    if (filter.find('|') == std::string::npos)
        return filter;
    // Pairs of description and pattern: the description is kept as written
    // when it already names the pattern, else the pattern is added in brackets.
    const QStringList parts = qs(filter).split(QLatin1Char('|'));
    QStringList out;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        QString desc = parts[i].trimmed();
        QString pattern = parts[i + 1].trimmed();
        pattern.replace(QLatin1Char(';'), QLatin1Char(' '));
        if (!desc.contains(QLatin1Char('(')))
            desc += QStringLiteral(" (") + pattern + QLatin1Char(')');
        out << desc;
    }
    if (parts.size() % 2 == 1 && !parts.back().isEmpty())
        out << parts.back();
    return utf8(out.join(QStringLiteral(";;")));
}

Dialogs& qtDialogs()
{
    static QtDialogs* const d = new QtDialogs;  // usable until the process ends
    return *d;
}

}  // namespace talvor::platform::detail

namespace talvor::platform {

void fitFileDialog(QFileDialog& dialog)
{
    dialog.setViewMode(QFileDialog::Detail);
    const QFontMetrics fm(dialog.font());
    // Room for about 90 characters across and 24 lines of listing.
    dialog.resize(std::max(dialog.width(), fm.averageCharWidth() * 90), std::max(dialog.height(), fm.lineSpacing() * 24));
    // The widget dialog's detail view (a native dialog has none).
    if (auto* tree = dialog.findChild<QTreeView*>(QStringLiteral("treeView"))) {
        QHeaderView* header = tree->header();
        header->setStretchLastSection(false);
        header->setMinimumSectionSize(fm.averageCharWidth() * 6);
        for (int c = 0; c < header->count(); ++c)
            header->setSectionResizeMode(c, c == 0 ? QHeaderView::Stretch : QHeaderView::ResizeToContents);
    }
}

}  // namespace talvor::platform
