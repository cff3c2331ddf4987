#pragma once
// Dialogs behind one interface: message box, input box, open/save file and
// colour choice.  The programs install the Qt implementation; tests install
// ScriptedDialogs, which records what was shown and gives scripted answers.
// With no GUI application in the process and nothing installed, messages go
// to standard error and the default answer is taken, so a library never
// blocks a headless caller.  Headless, a message box takes its default
// answer (defaultAnswer below); input, file and colour dialogs are cancelled.
// The Qt dialogs are modal and run only on the GUI thread: a dialog asked for
// from another thread is answered headless.
//
// Use:
//     if (dialogs().messageBox("Delete the word?", "Confirm", MessageIcon::Question,
//                              MessageButtons::YesNo) == DialogAnswer::Yes) ...
//     auto path = dialogs().openFile("Open", folder, "Label files (*.lab)");
// Filters may also be written "Label files (*.lab)|*.lab|All files|*.*".
// In tests:
//     ScopedScriptedDialogs d;  d.answers = {DialogAnswer::No};  ...;  d.shown[0].text

#include <cstdint>
#include <deque>
#include <optional>
#include <string>
#include <vector>

namespace talvor::platform {

enum class MessageIcon { None, Information, Warning, Critical, Question };
enum class MessageButtons { Ok, OkCancel, YesNo, YesNoCancel, RetryCancel, AbortRetryIgnore };
enum class DialogAnswer { Ok, Cancel, Yes, No, Retry, Abort, Ignore };

class Dialogs {
public:
    virtual ~Dialogs();
    // defaultButton: the answer of Enter, and of a dialog that cannot be shown
    // (headless); nothing: the first button of the set.
    virtual DialogAnswer messageBox(const std::string& text, const std::string& caption, MessageIcon icon,
                                    MessageButtons buttons,
                                    std::optional<DialogAnswer> defaultButton = std::nullopt) = 0;
    // The entered text, or nothing when cancelled.
    virtual std::optional<std::string> inputBox(const std::string& prompt, const std::string& caption,
                                                const std::string& defaultText) = 0;
    // filter: e.g. "Label files (*.lab)"; the chosen path, or nothing when cancelled.
    virtual std::optional<std::string> openFile(const std::string& caption, const std::string& folder,
                                                const std::string& filter) = 0;
    virtual std::optional<std::string> saveFile(const std::string& caption, const std::string& folder,
                                                const std::string& filter) = 0;
    // A colour 0x00BBGGRR, or nothing when cancelled.
    virtual std::optional<std::uint32_t> chooseColor(std::uint32_t initial) = 0;
};

// The dialogs in use: the installed ones, else the Qt ones when a QApplication
// exists, else the headless ones (standard error, default answers).
Dialogs& dialogs();
// Installs `d` (not owned; null restores the default choice).  Installed on
// the GUI thread of an application, `d` also serves the other libraries of the
// process that carry their own copy of this layer (the engine library does),
// so a host's dialogs, and a test's scripted ones, see their messages too.
void setDialogs(Dialogs* d);

// The first button of each set is the default answer (Ok, Ok, Yes, Yes, Retry, Abort).
DialogAnswer defaultAnswer(MessageButtons buttons);

// For tests: records every dialog and answers from queues (the default answer
// or "cancelled" when a queue is empty).
class ScriptedDialogs : public Dialogs {
public:
    struct Shown {
        std::string kind;  // "message", "input", "open", "save", "color"
        std::string text;     // message text, input prompt, file dialog folder
        std::string caption;
        std::string detail;   // input default text, file filter, initial colour (hex)
        MessageIcon icon = MessageIcon::None;
        MessageButtons buttons = MessageButtons::Ok;
    };
    std::vector<Shown> shown;
    std::deque<DialogAnswer> answers;
    std::deque<std::optional<std::string>> texts;  // input, open and save answers
    std::deque<std::optional<std::uint32_t>> colors;

    DialogAnswer messageBox(const std::string& text, const std::string& caption, MessageIcon icon,
                            MessageButtons buttons, std::optional<DialogAnswer> defaultButton = std::nullopt) override;
    std::optional<std::string> inputBox(const std::string& prompt, const std::string& caption,
                                        const std::string& defaultText) override;
    std::optional<std::string> openFile(const std::string& caption, const std::string& folder,
                                        const std::string& filter) override;
    std::optional<std::string> saveFile(const std::string& caption, const std::string& folder,
                                        const std::string& filter) override;
    std::optional<std::uint32_t> chooseColor(std::uint32_t initial) override;
};

// Installs a ScriptedDialogs for the lifetime of the object.
class ScopedScriptedDialogs : public ScriptedDialogs {
public:
    ScopedScriptedDialogs() { setDialogs(this); }
    ~ScopedScriptedDialogs() override { setDialogs(nullptr); }
};

}  // namespace talvor::platform
