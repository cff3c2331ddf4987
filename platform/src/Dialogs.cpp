#include <QApplication>
#include <QThread>
#include <QVariant>
#include <atomic>
#include <cstdio>
#include <iostream>
#include <mutex>

#include "QtDialogs.h"
#include "platform/Dialogs.h"

namespace talvor::platform {

Dialogs::~Dialogs() = default;

namespace {

std::atomic<Dialogs*> g_installed{nullptr};

const char* iconName(MessageIcon icon)
{
    switch (icon) {
    case MessageIcon::Information: return "information";
    case MessageIcon::Warning: return "warning";
    case MessageIcon::Critical: return "error";
    case MessageIcon::Question: return "question";
    case MessageIcon::None: break;
    }
    return "message";
}

const char* answerName(DialogAnswer a)
{
    switch (a) {
    case DialogAnswer::Ok: return "OK";
    case DialogAnswer::Cancel: return "Cancel";
    case DialogAnswer::Yes: return "Yes";
    case DialogAnswer::No: return "No";
    case DialogAnswer::Retry: return "Retry";
    case DialogAnswer::Abort: return "Abort";
    case DialogAnswer::Ignore: return "Ignore";
    }
    return "?";
}

// Writes each dialog as one block on standard error and takes the default answer.
class HeadlessDialogs : public Dialogs {
public:
    DialogAnswer messageBox(const std::string& text, const std::string& caption, MessageIcon icon,
                            MessageButtons buttons, std::optional<DialogAnswer> defaultButton) override
    {
        const DialogAnswer a = defaultButton.value_or(defaultAnswer(buttons));
        print(std::string("[") + iconName(icon) + "] " + caption + ": " + text + " -> " + answerName(a));
        return a;
    }
    std::optional<std::string> inputBox(const std::string& prompt, const std::string& caption,
                                        const std::string&) override
    {
        print("[input] " + caption + ": " + prompt + " -> cancelled (no user interface)");
        return std::nullopt;
    }
    std::optional<std::string> openFile(const std::string& caption, const std::string& folder,
                                        const std::string&) override
    {
        print("[open file] " + caption + " in " + folder + " -> cancelled (no user interface)");
        return std::nullopt;
    }
    std::optional<std::string> saveFile(const std::string& caption, const std::string& folder,
                                        const std::string&) override
    {
        print("[save file] " + caption + " in " + folder + " -> cancelled (no user interface)");
        return std::nullopt;
    }
    std::optional<std::uint32_t> chooseColor(std::uint32_t) override
    {
        print("[colour] -> cancelled (no user interface)");
        return std::nullopt;
    }

private:
    static void print(const std::string& line)
    {
        static std::mutex* const m = new std::mutex;  // never destroyed
        std::lock_guard lock(*m);
        std::fputs((line + "\n").c_str(), stderr);
        std::fflush(stderr);
    }
};

bool onGuiThread()
{
    auto* app = qobject_cast<QApplication*>(QCoreApplication::instance());
    return app && QThread::currentThread() == app->thread();
}

}  // namespace

namespace detail {
Dialogs& headlessDialogs()
{
    static HeadlessDialogs* const d = new HeadlessDialogs;  // usable until the process ends
    return *d;
}
}  // namespace detail

namespace {

// Dialogs installed by one library are found by every library of the process
// that links this code (the engine keeps a hidden copy of it): the pointer is
// also kept on the application object.
const char* const kInstalledProperty = "_talvor_platform_dialogs";

Dialogs* installedByAnyLibrary()
{
    if (Dialogs* d = g_installed.load(std::memory_order_acquire))
        return d;
    QCoreApplication* app = QCoreApplication::instance();
    if (!app || QThread::currentThread() != app->thread())
        return nullptr;
    const QVariant v = app->property(kInstalledProperty);
    return v.isValid() ? reinterpret_cast<Dialogs*>(v.value<quintptr>()) : nullptr;
}

}  // namespace

Dialogs& dialogs()
{
    if (Dialogs* d = installedByAnyLibrary())
        return *d;
    // A modal Qt dialog can only run on the GUI thread of a QApplication.
    if (onGuiThread())
        return detail::qtDialogs();
    return detail::headlessDialogs();
}

void setDialogs(Dialogs* d)
{
    g_installed.store(d, std::memory_order_release);
    QCoreApplication* app = QCoreApplication::instance();
    if (app && QThread::currentThread() == app->thread())
        app->setProperty(kInstalledProperty, d ? QVariant::fromValue(quintptr(d)) : QVariant());
}

DialogAnswer defaultAnswer(MessageButtons buttons)
{
    switch (buttons) {
    case MessageButtons::Ok:
    case MessageButtons::OkCancel: return DialogAnswer::Ok;
    case MessageButtons::YesNo:
    case MessageButtons::YesNoCancel: return DialogAnswer::Yes;
    case MessageButtons::RetryCancel: return DialogAnswer::Retry;
    case MessageButtons::AbortRetryIgnore: return DialogAnswer::Abort;
    }
    return DialogAnswer::Ok;
}

// ---- ScriptedDialogs

DialogAnswer ScriptedDialogs::messageBox(const std::string& text, const std::string& caption, MessageIcon icon,
                                         MessageButtons buttons, std::optional<DialogAnswer> defaultButton)
{
    shown.push_back({"message", text, caption, "", icon, buttons});
    if (answers.empty())
        return defaultButton.value_or(defaultAnswer(buttons));
    const DialogAnswer a = answers.front();
    answers.pop_front();
    return a;
}

namespace {
std::optional<std::string> nextText(std::deque<std::optional<std::string>>& texts)
{
    if (texts.empty())
        return std::nullopt;
    auto t = texts.front();
    texts.pop_front();
    return t;
}
}  // namespace

std::optional<std::string> ScriptedDialogs::inputBox(const std::string& prompt, const std::string& caption,
                                                     const std::string& defaultText)
{
    shown.push_back({"input", prompt, caption, defaultText});
    return nextText(texts);
}

std::optional<std::string> ScriptedDialogs::openFile(const std::string& caption, const std::string& folder,
                                                     const std::string& filter)
{
    shown.push_back({"open", folder, caption, filter});
    return nextText(texts);
}

std::optional<std::string> ScriptedDialogs::saveFile(const std::string& caption, const std::string& folder,
                                                     const std::string& filter)
{
    shown.push_back({"save", folder, caption, filter});
    return nextText(texts);
}

std::optional<std::uint32_t> ScriptedDialogs::chooseColor(std::uint32_t initial)
{
    char hex[16];
    std::snprintf(hex, sizeof hex, "%08X", unsigned(initial));
    shown.push_back({"color", "", "", hex});
    if (colors.empty())
        return std::nullopt;
    auto c = colors.front();
    colors.pop_front();
    return c;
}

}  // namespace talvor::platform
