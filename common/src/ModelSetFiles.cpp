#include "common/ModelSetFiles.h"

#include <cerrno>
#include <chrono>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>
#include <vector>

#include "common/FileNames.h"

namespace talvor {

namespace {

constexpr const char* kJournalName = ".models.unfinished";
constexpr const char* kNewSuffix = ".new";
constexpr const char* kOldSuffix = ".old";
// How long a writer or a reader waits for the other side's lock.
constexpr auto kLockWait = std::chrono::seconds(30);
constexpr auto kLockPoll = std::chrono::milliseconds(20);

ModelSetRenameHook g_renameHook;

std::string stagedPath(const std::string& folder, const std::string& name)
{
    return joinPath(folder, "." + name + kNewSuffix);
}

std::string keptPath(const std::string& folder, const std::string& name)
{
    return joinPath(folder, "." + name + kOldSuffix);
}

bool exists(const std::string& path)
{
    struct stat st;
    return ::lstat(path.c_str(), &st) == 0;
}

bool endsWith(const std::string& s, const std::string& tail)
{
    return s.size() >= tail.size() && s.compare(s.size() - tail.size(), tail.size(), tail) == 0;
}

bool endsWithModNoCase(const std::string& s)
{
    if (s.size() < 4)
        return false;
    std::string tail = s.substr(s.size() - 4);
    for (char& c : tail)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    return tail == ".mod";
}

// Opens the folder and locks it (LOCK_EX or LOCK_SH) within kLockWait; -1
// when the folder cannot be opened or the lock not had.
int lockFolder(const std::string& folder, int how)
{
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return -1;
    const auto until = std::chrono::steady_clock::now() + kLockWait;
    while (::flock(fd, how | LOCK_NB) != 0) {
        if ((errno != EWOULDBLOCK && errno != EINTR) || std::chrono::steady_clock::now() >= until) {
            ::close(fd);
            return -1;
        }
        std::this_thread::sleep_for(kLockPoll);
    }
    return fd;
}

void syncFolder(const std::string& folder)
{
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

// The model names a journal lists, one a line.
std::vector<std::string> journalNames(const std::string& text)
{
    std::vector<std::string> names;
    std::size_t pos = 0;
    while (pos < text.size()) {
        std::size_t end = text.find('\n', pos);
        if (end == std::string::npos)
            end = text.size();
        std::string name = text.substr(pos, end - pos);
        pos = end + 1;
        // Only plain names of model files: a damaged journal names nothing elsewhere.
        if (!name.empty() && name.find('/') == std::string::npos && name[0] != '.' && endsWithModNoCase(name))
            names.push_back(std::move(name));
    }
    return names;
}

// Puts back the kept models of `names` and removes the new ones that have
// no kept model; the staged files go.
void rollBack(const std::string& folder, const std::vector<std::string>& names)
{
    for (const std::string& name : names) {
        const std::string target = joinPath(folder, name);
        const std::string staged = stagedPath(folder, name);
        const std::string kept = keptPath(folder, name);
        if (exists(kept))
            ::rename(kept.c_str(), target.c_str());
        else if (!exists(staged))
            ::unlink(target.c_str());  // renamed in, and there was no model before it
        ::unlink(staged.c_str());
    }
}

// The hidden staged or kept copies of models in a folder.
std::vector<std::string> leftoversIn(const std::string& folder)
{
    std::vector<std::string> leftovers;
    DIR* d = ::opendir(folder.c_str());
    if (!d)
        return leftovers;
    while (dirent* e = ::readdir(d)) {
        const std::string name = e->d_name;
        if (name.size() < 2 || name[0] != '.')
            continue;
        for (const char* suffix : {kNewSuffix, kOldSuffix})
            if (endsWith(name, suffix) && endsWithModNoCase(name.substr(0, name.size() - std::strlen(suffix))))
                leftovers.push_back(joinPath(folder, name));
    }
    ::closedir(d);
    return leftovers;
}

// Under the writer's lock: completes what a killed writer left (the journal),
// or removes what it left before it wrote the journal.
void finishUnfinished(const std::string& folder)
{
    const std::string journal = joinPath(folder, kJournalName);
    std::string text;
    if (readFileWhole(journal, &text, 1 << 20)) {
        const std::vector<std::string> names = journalNames(text);
        bool forward = true;
        for (const std::string& name : names) {
            const std::string staged = stagedPath(folder, name);
            if (exists(staged) && ::rename(staged.c_str(), joinPath(folder, name).c_str()) != 0) {
                forward = false;
                break;
            }
        }
        if (!forward)
            rollBack(folder, names);
        syncFolder(folder);
        ::unlink(journal.c_str());
    }
    // No journal (now): any staged or kept copy is a leftover.
    for (const std::string& path : leftoversIn(folder)) {
        struct stat st;
        if (::lstat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode))
            ::unlink(path.c_str());
    }
}

bool fail(std::string* error, const std::string& message)
{
    if (error)
        *error = message;
    return false;
}

}  // namespace

void setModelSetRenameHookForTesting(ModelSetRenameHook hook) { g_renameHook = std::move(hook); }

bool replaceModelSet(const std::string& folder, std::span<const ModelFileBytes> files, std::string* error)
{
    const int lock = lockFolder(folder, LOCK_EX);
    if (lock < 0)
        return fail(error, "Cannot lock the work folder " + folder + " (another program reads its models)");
    struct Unlock {
        int fd;
        ~Unlock() { ::close(fd); }
    } unlock{lock};
    finishUnfinished(folder);

    std::vector<std::string> names;
    for (const ModelFileBytes& f : files) {
        if (f.name.empty() || f.name.find('/') != std::string::npos || f.name[0] == '.' || !endsWithModNoCase(f.name))
            return fail(error, "\"" + f.name + "\" is not the name of a model file");
        names.push_back(f.name);
    }
    auto removeStaged = [&] {
        for (const std::string& name : names)
            ::unlink(stagedPath(folder, name).c_str());
    };
    auto removeKept = [&] {
        for (const std::string& name : names)
            ::unlink(keptPath(folder, name).c_str());
    };

    // 1. The new models, whole, under hidden names.
    std::string why;
    for (const ModelFileBytes& f : files) {
        if (!writeFileWhole(stagedPath(folder, f.name), f.bytes, &why)) {
            removeStaged();
            return fail(error, "Cannot write " + joinPath(folder, f.name) + ": " + why);
        }
        struct stat st;
        if (::stat(joinPath(folder, f.name).c_str(), &st) == 0 && S_ISREG(st.st_mode))
            ::chmod(stagedPath(folder, f.name).c_str(), st.st_mode & 07777);  // a replaced model keeps its mode
    }
    // 2. The models they replace, kept.
    for (const std::string& name : names) {
        const std::string target = joinPath(folder, name);
        struct stat st;
        if (::lstat(target.c_str(), &st) != 0 || S_ISDIR(st.st_mode))
            continue;  // nothing to keep (a folder in the way fails its rename below)
        const std::string kept = keptPath(folder, name);
        ::unlink(kept.c_str());
        if (::link(target.c_str(), kept.c_str()) != 0) {
            const std::string err = std::strerror(errno);
            removeStaged();
            removeKept();
            return fail(error, "Cannot keep " + target + " while it is replaced: " + err);
        }
    }
    // 3. The journal.
    std::string journalText;
    for (const std::string& name : names)
        journalText += name + "\n";
    const std::string journal = joinPath(folder, kJournalName);
    if (!writeFileWhole(journal, journalText, &why)) {
        removeStaged();
        removeKept();
        return fail(error, "Cannot write " + journal + ": " + why);
    }
    // 4. The renames; a failure puts the old set back.
    for (std::size_t k = 0; k < names.size(); ++k) {
        const std::string target = joinPath(folder, names[k]);
        int err = g_renameHook ? g_renameHook(k) : 0;
        if (err == 0 && ::rename(stagedPath(folder, names[k]).c_str(), target.c_str()) != 0)
            err = errno;
        if (err != 0) {
            rollBack(folder, names);
            syncFolder(folder);
            ::unlink(journal.c_str());
            removeKept();
            return fail(error, "Cannot write " + target + ": " + std::strerror(err));
        }
    }
    // 5. Done: the journal, then the kept models go.
    syncFolder(folder);
    ::unlink(journal.c_str());
    removeKept();
    return true;
}

ModelSetReading::ModelSetReading(const std::string& folder)
{
    const std::string journal = joinPath(folder, kJournalName);
    if (exists(journal) || !leftoversIn(folder).empty()) {
        const int fd = lockFolder(folder, LOCK_EX);
        if (fd >= 0) {
            finishUnfinished(folder);
            ::close(fd);
        }
    }
    m_fd = lockFolder(folder, LOCK_SH);
}

ModelSetReading::~ModelSetReading()
{
    if (m_fd >= 0)
        ::close(m_fd);
}

}  // namespace talvor
