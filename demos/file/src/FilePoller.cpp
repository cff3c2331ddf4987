#include "filedemo/FilePoller.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "common/FileNames.h"

namespace talvor::filedemo {

std::string watchedFileName(const std::vector<std::string>& arguments)
{
    std::string name;
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        if (i > 0)
            name += ' ';
        name += arguments[i];
    }
    return name.empty() ? kDefaultFileName : name;
}

std::string displayText(const std::string& received)
{
    std::string out;
    out.reserve(received.size());
    for (std::size_t i = 0; i < received.size(); ++i) {
        if (received[i] == '\r') {
            out += '\n';
            if (i + 1 < received.size() && received[i + 1] == '\n')
                ++i;
        } else {
            out += received[i];
        }
    }
    return out;
}

FilePoller::FilePoller(std::string fileName) : m_fileName(std::move(fileName)) {}

std::string FilePoller::claimedName() const
{
    // Beside the watched file; the recogniser's temporary files are named
    // "." + name + "." and six letters, so this name never meets them.
    const std::string path = normalizeSeparators(m_fileName);
    const auto slash = path.rfind('/');
    const std::string folder = slash == std::string::npos ? "" : path.substr(0, slash + 1);
    const std::string base = slash == std::string::npos ? path : path.substr(slash + 1);
    return folder + "." + base + ".taken-by-" + std::to_string(::getpid());
}

void FilePoller::notice(const std::string& condition, const std::string& text)
{
    if (condition == m_lastCondition)
        return;
    m_lastCondition = condition;
    m_pendingNotice = "(" + text + ")\r\n";
}

std::string FilePoller::takeNotice()
{
    std::string n;
    n.swap(m_pendingNotice);
    return n;
}

bool FilePoller::claim()
{
    if (!m_claimed.empty())
        return true;  // a claimed file still waits to be read
    std::string path;
    if (!findFileName(m_fileName, &path)) {
        m_lastCondition.clear();  // idle: the next odd file is noticed afresh
        return false;
    }
    struct stat st;
    if (::stat(path.c_str(), &st) != 0) {
        if (errno == ENOENT)
            m_lastCondition.clear();
        else
            notice("stat", m_fileName + " cannot be read: " + std::strerror(errno));
        return false;
    }
    if (!S_ISREG(st.st_mode)) {
        notice("kind", m_fileName + " is not a regular file; it is left alone");
        return false;
    }
    if (st.st_size > kMaxResultBytes) {
        notice("size", m_fileName + " is larger than 64 KiB; it is left alone");
        return false;
    }
    const std::string claimed = claimedName();
    if (::rename(path.c_str(), claimed.c_str()) != 0) {
        if (errno != ENOENT)
            notice("claim", m_fileName + " cannot be taken: " + std::strerror(errno));
        return false;
    }
    m_claimed = claimed;
    return true;
}

void FilePoller::giveBack(const std::string& claimed)
{
    // Never over a result that has arrived meanwhile.
    ::renameat2(AT_FDCWD, claimed.c_str(), AT_FDCWD, normalizeSeparators(m_fileName).c_str(), RENAME_NOREPLACE);
}

std::string FilePoller::readClaimed()
{
    if (m_claimed.empty())
        return {};
    const std::string claimed = m_claimed;
    m_claimed.clear();
    std::string text;
    const int fd = ::open(claimed.c_str(), O_RDONLY | O_NONBLOCK | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) {
        notice("read", m_fileName + " cannot be read: " + std::strerror(errno));
        return {};
    }
    struct stat st;
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        // Something else took the name between the look and the rename: give
        // it back unless a new result has arrived meanwhile.
        ::close(fd);
        giveBack(claimed);
        notice("kind", m_fileName + " is not a regular file; it is left alone");
        return {};
    }
    char buffer[4096];
    bool failed = false;
    while (std::int64_t(text.size()) < kMaxResultBytes) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            failed = true;
            break;
        }
        if (n == 0)
            break;
        text.append(buffer, std::size_t(n));
    }
    const int readErrno = errno;
    ::close(fd);
    if (failed) {
        notice("read", m_fileName + " cannot be read: " + std::strerror(readErrno));
        giveBack(claimed);
        return {};
    }
    if (std::int64_t(text.size()) > kMaxResultBytes)
        text.resize(std::size_t(kMaxResultBytes));
    if (::unlink(claimed.c_str()) != 0)
        notice("delete", claimed + " cannot be deleted: " + std::strerror(errno));
    else
        m_lastCondition.clear();
    return text;
}

std::string FilePoller::poll()
{
    std::string text;
    if (claim())
        text = readClaimed();
    return takeNotice() + text;
}

}  // namespace talvor::filedemo
