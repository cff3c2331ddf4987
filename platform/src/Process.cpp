#include "platform/Process.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QAbstractEventDispatcher>
#include <QCoreApplication>
#include <QThread>
#include <cctype>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <thread>

extern char** environ;

namespace talvor::platform {

ChildProcess::~ChildProcess() = default;

namespace {

class PosixChild final : public ChildProcess {
public:
    explicit PosixChild(pid_t pid) : m_pid(pid) {}

    ~PosixChild() override
    {
        if (!m_reaped) {
            // Left running: a thread waits for its end so it does not stay a zombie.
            std::thread([pid = m_pid]() {
                int status;
                while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
                }
            }).detach();
        }
    }

    bool isRunning() override
    {
        if (m_reaped)
            return false;
        int status = 0;
        const pid_t r = ::waitpid(m_pid, &status, WNOHANG);
        if (r == 0)
            return true;
        if (r < 0 && errno == EINTR)
            return true;
        m_reaped = true;  // ended (or reaped elsewhere)
        return false;
    }

    int pid() const override { return int(m_pid); }

    void terminate() override
    {
        if (!m_reaped)
            ::kill(m_pid, SIGTERM);
    }

    void kill() override
    {
        if (!m_reaped)
            ::kill(m_pid, SIGKILL);
    }

    bool waitForExit(int timeoutMs) override
    {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(std::max(timeoutMs, 0));
        while (isRunning()) {
            if (std::chrono::steady_clock::now() >= deadline)
                return false;
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
        return true;
    }

private:
    pid_t m_pid;
    bool m_reaped = false;
};

}  // namespace

std::unique_ptr<ChildProcess> ChildProcess::start(const std::string& program, const std::string& workingDir,
                                                  std::string* error)
{
    auto fail = [&](int err) -> std::unique_ptr<ChildProcess> {
        if (error)
            *error = std::strerror(err);
        return nullptr;
    };
    if (program.empty())
        return fail(ENOENT);
    // The program is found from this process's folder, before the child changes its own.
    std::error_code ec;
    const std::string path = std::filesystem::absolute(program, ec).string();
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0)
        return fail(errno);
    if (S_ISDIR(st.st_mode))
        return fail(EISDIR);
    if (!workingDir.empty()) {
        if (::stat(workingDir.c_str(), &st) != 0)
            return fail(errno);
        if (!S_ISDIR(st.st_mode))
            return fail(ENOTDIR);
    }

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (!workingDir.empty())
        posix_spawn_file_actions_addchdir_np(&actions, workingDir.c_str());
    posix_spawnattr_t attr;
    posix_spawnattr_init(&attr);
    // The child starts with no blocked signals and default handlers, whatever
    // this process's threads have changed.
    sigset_t none, all;
    sigemptyset(&none);
    sigfillset(&all);
    posix_spawnattr_setsigmask(&attr, &none);
    posix_spawnattr_setsigdefault(&attr, &all);
    posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
    std::string arg0 = path;
    char* argv[] = {arg0.data(), nullptr};
    pid_t pid = -1;
    const int rc = ::posix_spawn(&pid, path.c_str(), &actions, &attr, argv, environ);
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attr);
    if (rc != 0)
        return fail(rc);
    return std::make_unique<PosixChild>(pid);
}

WindowHandle waitForNewWindow(const std::string& caption, WindowHandle existingBefore, int timeoutMs)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(std::max(timeoutMs, 0));
    const bool loop = QCoreApplication::instance() && QThread::currentThread()->eventDispatcher();
    for (;;) {
        const WindowHandle h = findWindowByCaption(caption);
        if (h != 0 && h != existingBefore)
            return h;
        if (std::chrono::steady_clock::now() >= deadline)
            return 0;
        if (loop)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
}

namespace {
std::string lockFileName(const std::string& name)
{
    std::string s;
    for (char c : name)
        s += (std::isalnum(static_cast<unsigned char>(c)) || c == '-' || c == '_' || c == '.') ? c : '_';
    if (s.empty() || s[0] == '.')
        s = "_" + s;
    return s + ".lock";
}
}  // namespace

SingleInstanceLock::SingleInstanceLock(const std::string& name)
{
    const std::string dir = runtimeDir(&m_error);
    if (dir.empty())
        m_error = "Cannot make the single-instance lock \"" + name + "\": " + m_error;
    else
        m_path = dir + "/" + lockFileName(name);
}

SingleInstanceLock::~SingleInstanceLock()
{
    if (m_fd >= 0)
        ::close(m_fd);  // the lock goes with it; the file stays for the next holder
}

bool SingleInstanceLock::tryLock()
{
    if (m_fd >= 0)
        return true;
    auto cannot = [this](const std::string& why) {
        if (!why.empty())
            m_error = why;
        std::fprintf(stderr, "%s\n", m_error.c_str());
        return true;  // nothing held, but no other copy is known to run
    };
    if (m_path.empty())
        return cannot("");
    const int fd = ::open(m_path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd < 0)
        return cannot("Cannot make the single-instance lock " + m_path + ": " + std::strerror(errno));
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        const int err = errno;
        ::close(fd);
        if (err == EWOULDBLOCK)
            return false;  // another holder
        return cannot("Cannot take the single-instance lock " + m_path + ": " + std::strerror(err));
    }
    m_error.clear();
    // For whoever looks: the holder's process number.
    const std::string pid = std::to_string(::getpid()) + "\n";
    if (::ftruncate(fd, 0) == 0)
        (void)!::write(fd, pid.data(), pid.size());
    m_fd = fd;
    return true;
}

void ignoreFileSizeSignal()
{
    struct sigaction ignore {};
    ignore.sa_handler = SIG_IGN;
    ::sigaction(SIGXFSZ, &ignore, nullptr);
}

}  // namespace talvor::platform
