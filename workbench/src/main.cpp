// The workbench main program: one instance per user, the wizard window on
// its first page in the middle of the screen.
#include <QApplication>
#include <QFile>
#include <unistd.h>

#include <cstdio>
#include <string>
#include <vector>

#include "common/ModuleState.h"
#include "platform/Process.h"
#include "workbench/HostedControls.h"
#include "workbench/MainProgram.h"
#include "workbench/WizardWindow.h"

using namespace talvor;
using namespace talvor::workbench;

namespace {

// The folder of the running executable, as the bytes of its name.
std::string executableFolder()
{
    char buf[4096];
    const ssize_t n = ::readlink("/proc/self/exe", buf, sizeof buf - 1);
    if (n > 0) {
        std::string path(buf, std::size_t(n));
        const std::size_t slash = path.rfind('/');
        return slash == 0 ? std::string("/") : path.substr(0, slash);
    }
    return QFile::encodeName(QCoreApplication::applicationDirPath()).toStdString();
}

}  // namespace

int main(int argc, char** argv)
{
    platform::ignoreFileSizeSignal();
    // The lock lives in the per-user runtime folder.  When that folder cannot
    // be used, no instance can be told from another: say so, rather than end
    // as if another copy ran.
    std::string error;
    if (platform::runtimeDir(&error).empty()) {
        std::fprintf(stderr, "talvor: %s\n", error.c_str());
        return 1;
    }
    // A second start ends at once, saying so, and brings the first
    // instance's window to the front; the first goes on.
    platform::SingleInstanceLock lock(kInstanceLockName);
    if (!lock.tryLock()) {
        QCoreApplication core(argc, argv);  // the window registry needs one; no display is used
        std::fprintf(stderr, "%s\n", bringRunningWorkbenchToFront().c_str());
        return 0;
    }

    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Talvor"));
    // The program ends through Exit, closing the wizard or key 26673, never
    // because a message box closed while the wizard was hidden.
    QApplication::setQuitOnLastWindowClosed(false);

    // The arguments as the bytes they are (QApplication took its own out of
    // argv): a folder name need not be valid UTF-8.
    std::vector<std::string> args(argv + 1, argv + argc);
    const auto folder = programFolder(args, executableFolder(), &error);
    if (!folder) {
        std::fprintf(stderr, "talvor: %s\n", error.c_str());
        return 1;
    }
    ModuleState& state = moduleState();
    state.AppPath = *folder;

    PlatformPrograms programs;
    // The program owns one of each hosted control, for its whole run.
    HostedControls controls = makeHostedControls();
    WizardWindow window(programs, state);
    window.wizard().setControls(controls.wavescope.get(), controls.dtw.get(), controls.chainview.get());
    auto registration = MainWindowRegistration::create(window, &error);
    if (!registration)
        std::fprintf(stderr, "talvor: the external programs cannot reach this window: %s\n", error.c_str());

    // The hosted controls get the program folder before the first page shows.
    window.wizard().SetAppPathOnControls();
    window.wizard().switchToPage(PageBegin);
    window.CenterForm();
    window.showWindow();
    const int rc = app.exec();
    registration.reset();
    return rc;
}
