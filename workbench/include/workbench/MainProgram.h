#pragma once
// What the main program wires around the wizard window: the program folder,
// the external programs started through the platform layer, and the window's
// registration under its caption, through which the external HMM programs
// send it their command keys.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/Window.h"
#include "workbench/Wizard.h"

namespace talvor::workbench {

class WizardWindow;

// The lock name that keeps the workbench to one instance per user.
constexpr const char* kInstanceLockName = "talvor-workbench";
// The environment variable that names the program folder.
constexpr const char* kProgramFolderVariable = "TALVOR_PROGRAM_FOLDER";
// Sent by a second start to the running workbench's window: it comes to the
// front and answers 1, or answers 2 while it is hidden for an external HMM
// program.
constexpr std::uint32_t kBringToFrontMessage = 0x8001;

// A second start: finds the running workbench's window by its captions and
// asks it to come to the front; the line for standard error says which
// window it was, or that none answered.
std::string bringRunningWorkbenchToFront();

// The program folder: the value of "--program-folder DIR" (or
// "--program-folder=DIR") among `args`, else $TALVOR_PROGRAM_FOLDER, else
// `executableFolder`.  Made absolute, without a trailing "/".  Nothing, with
// the reason in *error, when the folder does not exist.
std::optional<std::string> programFolder(const std::vector<std::string>& args, const std::string& executableFolder,
                                         std::string* error);

// External programs started and found through the platform layer.
class PlatformPrograms : public ExternalPrograms {
public:
    std::unique_ptr<StartedProgram> start(const std::string& program, const std::string& workingDir,
                                          std::string* error) override;
    WindowHandle findWindow(const std::string& caption) override;
    WindowHandle waitForNewWindow(const std::string& caption, WindowHandle existingBefore, int timeoutMs) override;
};

// The wizard window registered under its caption: key messages reach the
// wizard's Form_KeyDown, hide and show requests act on the window, and the
// registration follows the window's caption when it changes.  Unregisters on
// destruction.
class MainWindowRegistration {
public:
    // Null, with the reason in *error, when the caption is taken.
    static std::unique_ptr<MainWindowRegistration> create(WizardWindow& window, std::string* error);
    ~MainWindowRegistration();
    WindowHandle handle() const { return m_endpoint->handle(); }

private:
    MainWindowRegistration(WizardWindow& window, std::unique_ptr<platform::WindowEndpoint> endpoint);
    WizardWindow& m_window;
    std::unique_ptr<platform::WindowEndpoint> m_endpoint;
};

}  // namespace talvor::workbench
