#pragma once
// Starting programs and the single-instance lock.
//
// A program is started from a path without a shell and without arguments,
// in a given working folder; its exit is reaped.  waitForNewWindow finds the
// window a started program registers, within a bounded wait, and refuses a
// window with that caption that already existed before the start.  Errors
// are the system's own text ("No such file or directory", "Permission
// denied"), for "Cannot start " + path + CR LF + error.
//
// Use:
//     WindowHandle before = findWindowByCaption(title);
//     std::string error;
//     auto child = ChildProcess::start(appPath + "/statwalk2", appPath, &error);
//     WindowHandle w = child ? waitForNewWindow(title, before, 5000) : 0;
//
//     SingleInstanceLock lock("Talvor_II");      // keep it for the program's life
//     if (!lock.tryLock()) return 0;              // another copy runs
//
// The runtime folder also holds the windows' sockets; tests point
// XDG_RUNTIME_DIR at a temporary folder so they meet no real program.

#include <memory>
#include <string>

#include "platform/Window.h"

namespace talvor::platform {

class ChildProcess {
public:
    // Starts `program` (no shell, no arguments) in `workingDir`.  Null with the
    // system's description of the error in *error when it cannot be started.
    static std::unique_ptr<ChildProcess> start(const std::string& program, const std::string& workingDir,
                                               std::string* error);
    virtual ~ChildProcess();   // does not kill a running program; it is reaped in the background
    virtual bool isRunning() = 0;  // reaps the child once it has ended
    virtual int pid() const = 0;
    virtual void terminate() = 0;  // SIGTERM
    virtual void kill() = 0;       // SIGKILL
    // Waits up to timeoutMs for the program to end; true when it has ended.
    virtual bool waitForExit(int timeoutMs) = 0;
};

// Waits up to timeoutMs (serving this thread's events) for a window titled
// `caption` that is not `existingBefore`; 0 when none appears.
WindowHandle waitForNewWindow(const std::string& caption, WindowHandle existingBefore, int timeoutMs);

// A per-user lock that only one live process can hold at a time.
// tryLock() is false only when another live process (or another lock object)
// holds it.  When the lock cannot be made at all (the runtime folder is
// missing or unsafe, the lock file cannot be opened) the reason is written to
// standard error and kept in error(), and tryLock() is true without holding
// anything: a program is not silently ended as "already running" when the
// truth is that no one can tell.
class SingleInstanceLock {
public:
    explicit SingleInstanceLock(const std::string& name);
    ~SingleInstanceLock();
    bool tryLock();
    bool held() const { return m_fd >= 0; }
    const std::string& error() const { return m_error; }  // empty unless the lock could not be made
    SingleInstanceLock(const SingleInstanceLock&) = delete;
    SingleInstanceLock& operator=(const SingleInstanceLock&) = delete;

private:
    std::string m_path;
    std::string m_error;
    int m_fd = -1;
};

// The per-user runtime folder of the system (mode 0700, owned by this user):
// $XDG_RUNTIME_DIR/talvor, else /tmp/talvor-<uid>.  Empty with a reason in
// *error when it is missing and cannot be made, or is not safe to use.
std::string runtimeDir(std::string* error = nullptr);

// Every program calls this first thing in main(): with SIGXFSZ ignored a
// write past the file-size limit (ulimit -f) fails with "File too large",
// which the writers report and clean up after, instead of the kernel ending
// the process in the middle of a save.
void ignoreFileSizeSignal();

}  // namespace talvor::platform
