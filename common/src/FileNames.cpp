#include "common/FileNames.h"

#include "common/TempFiles.h"

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <strings.h>
#include <sys/stat.h>
#include <unistd.h>
#include <new>
#include <vector>

namespace talvor {

std::string normalizeSeparators(std::string_view path)
{
    std::string s(path);
    for (char& c : s)
        if (c == '\\')
            c = '/';
    return s;
}

std::string joinPath(std::string_view folder, std::string_view name)
{
    std::string f = normalizeSeparators(folder);
    std::string n = normalizeSeparators(name);
    if (f.empty())
        return n;
    while (f.size() > 1 && f.back() == '/')
        f.pop_back();
    while (!n.empty() && n.front() == '/')
        n.erase(0, 1);
    return f == "/" ? f + n : f + "/" + n;
}

namespace {

bool exists(const std::string& p)
{
    struct stat st;
    return ::lstat(p.c_str(), &st) == 0;
}

// The entry of `dir` whose name equals `name` ignoring ASCII case; "" if none.
std::string caseInsensitiveEntry(const std::string& dir, const std::string& name)
{
    DIR* d = ::opendir(dir.empty() ? "." : dir.c_str());
    if (!d)
        return {};
    std::string found;
    while (dirent* e = ::readdir(d)) {
        if (::strcasecmp(e->d_name, name.c_str()) == 0) {
            found = e->d_name;
            break;
        }
    }
    ::closedir(d);
    return found;
}

}  // namespace

bool findFileName(std::string_view path, std::string* resolved)
{
    const std::string p = normalizeSeparators(path);
    if (p.empty())
        return false;
    if (exists(p)) {
        if (resolved)
            *resolved = p;
        return true;
    }
    // Walk the components, keeping exact matches and resolving the others.
    std::vector<std::string> parts;
    std::size_t start = 0;
    const bool absolute = p[0] == '/';
    while (start <= p.size()) {
        std::size_t slash = p.find('/', start);
        if (slash == std::string::npos)
            slash = p.size();
        if (slash > start)
            parts.push_back(p.substr(start, slash - start));
        start = slash + 1;
    }
    std::string current = absolute ? "/" : "";
    for (std::size_t i = 0; i < parts.size(); ++i) {
        const std::string& part = parts[i];
        std::string candidate = current.empty() ? part
                              : (current == "/" ? "/" + part : current + "/" + part);
        if (part != "." && part != ".." && !exists(candidate)) {
            const std::string entry = caseInsensitiveEntry(current.empty() ? "." : current, part);
            if (entry.empty())
                return false;
            candidate = current.empty() ? entry : (current == "/" ? "/" + entry : current + "/" + entry);
        }
        current = candidate;
    }
    if (resolved)
        *resolved = current;
    return true;
}

std::string resolveFileName(std::string_view path)
{
    std::string r;
    if (findFileName(path, &r))
        return r;
    // A new file in an existing folder spelled in another case: keep the new
    // name, resolve its folder.
    std::string p = normalizeSeparators(path);
    const auto slash = p.rfind('/');
    if (slash != std::string::npos && slash > 0) {
        std::string folder;
        if (findFileName(p.substr(0, slash), &folder))
            return folder + p.substr(slash);
    }
    return p;
}

bool readFileWhole(std::string_view path, std::string* bytes, std::size_t maxBytes, std::string* error)
{
    auto fail = [&](const std::string& why) {
        if (error)
            *error = why;
        return false;
    };
    std::string p;
    if (!findFileName(path, &p))
        return fail("cannot find " + normalizeSeparators(path));
    // Opened without blocking: a named pipe or device given as a file name is
    // refused below instead of waiting for a writer forever.  Reads of a regular
    // file are not affected by the flag.
    const int fd = ::open(p.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0)
        return fail("cannot open " + p + ": " + std::strerror(errno));
    struct stat st;
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return fail(p + " is not a file");
    }
    const std::string tooLarge = p + " is larger than " + std::to_string(maxBytes) + " bytes";
    if (std::uint64_t(st.st_size) > maxBytes) {
        ::close(fd);
        return fail(tooLarge);
    }
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    std::string out;
    try {
        out.reserve(std::size_t(st.st_size));
        char buf[65536];
        for (;;) {
            const ssize_t n = ::read(fd, buf, sizeof buf);
            if (n < 0) {
                if (errno == EINTR)
                    continue;
                const std::string why = std::strerror(errno);
                ::close(fd);
                return fail("cannot read " + p + ": " + why);
            }
            if (n == 0)
                break;
            if (out.size() + std::size_t(n) > maxBytes) {  // it grew while being read
                ::close(fd);
                return fail(tooLarge);
            }
            out.append(buf, std::size_t(n));
        }
    } catch (const std::bad_alloc&) {
        ::close(fd);
        return fail("not enough memory to read " + p);
    }
    ::close(fd);
    *bytes = std::move(out);
    return true;
}

bool writeFileWhole(std::string_view path, std::string_view bytes, std::string* error, FileFlush flush)
{
    auto fail = [&](const std::string& what) {
        if (error)
            *error = what;
        return false;
    };
    const std::string target = resolveFileName(path);
    if (target.empty())
        return fail("empty file name");
    const auto slash = target.rfind('/');
    const std::string folder = slash == std::string::npos ? "." : (slash == 0 ? "/" : target.substr(0, slash));
    const std::string base = slash == std::string::npos ? target : target.substr(slash + 1);
    if (base.empty())
        return fail("no file name in " + target);

    removeStaleTemporaries(folder);
    std::string tmp;
    const int fd = createTemporaryFor((folder == "/" ? "/" : folder + "/") + base, &tmp);
    if (fd < 0)
        return fail("cannot create a file in " + folder + ": " + std::strerror(errno));
    // Keep the mode of the file being replaced; a new file gets 0644 less umask.
    struct stat st;
    if (::stat(target.c_str(), &st) == 0)
        ::fchmod(fd, st.st_mode & 07777);
    else {
        const mode_t mask = ::umask(0);
        ::umask(mask);
        ::fchmod(fd, 0666 & ~mask);
    }
    const char* p = bytes.data();
    std::size_t left = bytes.size();
    while (left > 0) {
        const ssize_t n = ::write(fd, p, left);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            const std::string why = std::strerror(errno);
            ::close(fd);
            ::unlink(tmp.c_str());
            return fail("cannot write " + target + ": " + why);
        }
        p += n;
        left -= std::size_t(n);
    }
    const int syncRc = flush == FileFlush::ToDisk ? ::fsync(fd) : 0;
    const int syncErr = errno;
    const int closeRc = ::close(fd);
    if (syncRc != 0 || closeRc != 0) {
        const std::string why = std::strerror(syncRc != 0 ? syncErr : errno);
        ::unlink(tmp.c_str());
        return fail("cannot write " + target + ": " + why);
    }
    if (::rename(tmp.c_str(), target.c_str()) != 0) {
        const std::string why = std::strerror(errno);
        ::unlink(tmp.c_str());
        return fail("cannot replace " + target + ": " + why);
    }
    return true;
}

}  // namespace talvor
