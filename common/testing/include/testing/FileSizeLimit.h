#pragma once
// Lowers this process's file-size limit (RLIMIT_FSIZE) for the lifetime of the
// object, with SIGXFSZ ignored as the programs ignore it, so that a write past
// the limit fails with EFBIG ("File too large") instead of ending the test.
// Both are restored afterwards.
#include <csignal>
#include <sys/resource.h>

namespace talvor::test {

class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes)
    {
        ::getrlimit(RLIMIT_FSIZE, &m_old);
        struct rlimit lowered = m_old;
        lowered.rlim_cur = bytes;
        m_ok = ::setrlimit(RLIMIT_FSIZE, &lowered) == 0;
        struct sigaction ignore {};
        ignore.sa_handler = SIG_IGN;
        ::sigaction(SIGXFSZ, &ignore, &m_oldAction);
    }
    ~FileSizeLimit()
    {
        ::setrlimit(RLIMIT_FSIZE, &m_old);
        ::sigaction(SIGXFSZ, &m_oldAction, nullptr);
    }
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;
    bool ok() const { return m_ok; }

private:
    struct rlimit m_old {};
    struct sigaction m_oldAction {};
    bool m_ok = false;
};

}  // namespace talvor::test
