#pragma once
// Relayon's dialog: the log of received words, OK and Cancel, and the about
// dialog from the context menu.  The dialog registers its caption with the
// platform's window layer, so a recogniser finds it by that caption and posts
// its results to it.

#include <QDialog>
#include <QIcon>
#include <memory>
#include <string>

#include "platform/Window.h"
#include "relayon/RelayonLog.h"

class QPlainTextEdit;
class QPushButton;
class QContextMenuEvent;

namespace talvor::relayon {

class RelayonDialog : public QDialog {
public:
    // Registers `caption`; when another live window already has it, the
    // failure is kept in registrationError() (the caller reports it).
    explicit RelayonDialog(const std::string& caption = kCaption, QWidget* parent = nullptr);
    ~RelayonDialog() override;

    bool registered() const { return m_endpoint != nullptr; }
    const std::string& registrationError() const { return m_registrationError; }
    // The log as the core holds it (CR LF between lines).
    QString logText() const;
    QPlainTextEdit* logEdit() const { return m_edit; }

    // The about dialog (modal).
    void showAbout();
    // The same dialog, not shown, for the render tool.
    static QDialog* makeAboutDialog(QWidget* parent);
    // The application icon (the window's, the task bar's and the about box's).
    static QIcon applicationIcon();

protected:
    void contextMenuEvent(QContextMenuEvent* e) override;
    // Enter in the log presses the default button (OK), as in a dialog;
    // the log takes no line breaks from the keyboard.
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    std::int32_t onMessage(std::uint32_t msg, std::uint32_t wParam, std::int32_t lParam);

    RelayonLog m_log;
    QPlainTextEdit* m_edit = nullptr;
    std::unique_ptr<platform::WindowEndpoint> m_endpoint;
    std::string m_registrationError;
};

}  // namespace talvor::relayon
