#pragma once
// Temporary files of the writers that replace a file whole (a temporary beside
// the target, then a rename): their names, and the clean-up of the ones a
// crashed process left behind.
//
// A temporary is hidden (the listings leave it out) and names its target and
// the process that made it:  ".<target name>.tvtmp-<pid>-<tag>", where the tag
// is six random characters (mkstemp) or a word of the writer ("save", "prev").
// Before a writer first writes into a folder, the temporaries found there are
// removed when they are regular files of this user, their process is gone and
// they are older than this process: what a crash left.  Nothing else is ever
// removed.
//
// Header only (POSIX), so that the platform layer's WAV writer shares it
// without linking the common library.

#include <cerrno>
#include <cstdlib>
#include <ctime>
#include <dirent.h>
#include <fcntl.h>
#include <mutex>
#include <set>
#include <signal.h>
#include <string>
#include <string_view>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace talvor {

inline constexpr std::string_view kTemporaryMarker = ".tvtmp-";

// ".<name>.tvtmp-<pid>-" for a target named `name` (no folder).
inline std::string temporaryPrefix(std::string_view name)
{
    return "." + std::string(name) + std::string(kTemporaryMarker) + std::to_string(::getpid()) + "-";
}

// The process id a temporary's name carries, or 0 when the name is not one of
// a temporary.
inline pid_t temporaryOwnerPid(std::string_view name)
{
    if (name.empty() || name[0] != '.')
        return 0;
    const std::size_t at = name.rfind(kTemporaryMarker);
    if (at == std::string_view::npos || at == 0)
        return 0;
    std::size_t p = at + kTemporaryMarker.size();
    long pid = 0;
    std::size_t digits = 0;
    while (p < name.size() && name[p] >= '0' && name[p] <= '9' && digits < 10) {
        pid = pid * 10 + (name[p] - '0');
        ++p;
        ++digits;
    }
    if (digits == 0 || p >= name.size() || name[p] != '-' || p + 1 >= name.size() || pid <= 0)
        return 0;
    return pid_t(pid);
}

// Creates the temporary for `target` (a path; the temporary goes beside it)
// with mkstemp; the open descriptor, or -1 with errno set.  *tmpPath gets its path.
inline int createTemporaryFor(const std::string& target, std::string* tmpPath)
{
    const std::size_t slash = target.rfind('/');
    const std::string folder = slash == std::string::npos ? std::string() : target.substr(0, slash + 1);
    const std::string name = slash == std::string::npos ? target : target.substr(slash + 1);
    std::string tmpl = folder + temporaryPrefix(name) + "XXXXXX";
    std::vector<char> buf(tmpl.begin(), tmpl.end());
    buf.push_back('\0');
    const int fd = ::mkostemp(buf.data(), O_CLOEXEC);
    if (fd >= 0)
        *tmpPath = buf.data();
    return fd;
}

// When this process started (the time its /proc entry was made; now when
// that cannot be read).
inline std::time_t processStartTime()
{
    static const std::time_t start = [] {
        struct stat st;
        return ::stat("/proc/self", &st) == 0 ? st.st_mtime : std::time(nullptr);
    }();
    return start;
}

// Removes what crashed writers left in `folder` (see above).  Each folder is
// looked at once per process.
inline void removeStaleTemporaries(const std::string& folder)
{
    static std::mutex mutex;
    static std::set<std::string> seen;
    const std::string dir = folder.empty() ? std::string(".") : folder;
    {
        std::lock_guard lock(mutex);
        if (!seen.insert(dir).second)
            return;
    }
    const std::time_t start = processStartTime();
    DIR* d = ::opendir(dir.c_str());
    if (!d)
        return;
    std::vector<std::string> stale;
    while (dirent* e = ::readdir(d)) {
        const std::string name = e->d_name;
        const pid_t pid = temporaryOwnerPid(name);
        if (pid == 0 || pid == ::getpid())
            continue;
        if (::kill(pid, 0) == 0 || errno == EPERM)
            continue;  // its process still runs
        const std::string path = dir + "/" + name;
        struct stat st;
        if (::lstat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode) || st.st_uid != ::geteuid() ||
            st.st_mtime >= start)
            continue;
        stale.push_back(path);
    }
    ::closedir(d);
    for (const std::string& path : stale)
        ::unlink(path.c_str());
}

}  // namespace talvor
