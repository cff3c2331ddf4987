#include "workbench/Maintenance.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <strings.h>
#include <sys/stat.h>
#include <unistd.h>

#include "common/NameCheck.h"

namespace talvor::workbench {

namespace {

std::string systemError(int err) { return std::strerror(err); }

std::string realPath(const std::string& path)
{
    char buf[PATH_MAX];
    return ::realpath(path.c_str(), buf) ? std::string(buf) : std::string();
}

std::string parentOf(const std::string& path)
{
    const auto slash = path.rfind('/');
    return slash == std::string::npos ? std::string(".") : (slash == 0 ? std::string("/") : path.substr(0, slash));
}

// Every entry of a folder but "." and "..", hidden ones included; false when
// it cannot be read.
bool listAll(const std::string& folder, std::vector<std::string>* names, int* err)
{
    DIR* d = ::opendir(folder.c_str());
    if (!d) {
        *err = errno;
        return false;
    }
    errno = 0;
    while (dirent* e = ::readdir(d)) {
        const std::string n = e->d_name;
        if (n != "." && n != "..")
            names->push_back(n);
    }
    *err = errno;
    ::closedir(d);
    return *err == 0;
}

bool contains(const std::vector<std::string>& list, const std::string& name)
{
    return std::find(list.begin(), list.end(), name) != list.end();
}

MaintenanceResult refuse(std::string message)
{
    MaintenanceResult r;
    r.message = std::move(message);
    return r;
}

struct Target {
    std::string path;     // what goes (a folder, or the recording's base path)
    std::string parent;   // the folder it must be in
    std::string expectedParent;
};

}  // namespace

std::string deleteQuestion(const DataTree& tree, DataItem kind, const std::string& vocabulary,
                           const std::string& item)
{
    switch (kind) {
    case DataItem::Vocabulary:
        return "Are you sure you want to delete complete " + tree.vocabularyFolder(vocabulary) + " directory?";
    case DataItem::DataFiles:
        return "Are you sure you want to delete " + tree.recordingBase(vocabulary, item) + ".* files?";
    case DataItem::WorkDirectory:
        return "Are you sure you want to delete " + tree.workFolder(vocabulary, item) + " work subdirectory?";
    case DataItem::StringData:
        return "Are you sure you want to delete " + tree.stringRecordingBase(vocabulary, item) + ".* files?";
    }
    return {};
}

MaintenanceResult removeTree(const std::string& path)
{
    MaintenanceResult result;
    struct stat st;
    if (::lstat(path.c_str(), &st) != 0) {
        result.message = path + ": " + systemError(errno);
        return result;
    }
    if (S_ISDIR(st.st_mode)) {
        std::vector<std::string> names;
        int err = 0;
        if (!listAll(path, &names, &err)) {
            result.message = path + ": " + systemError(err);
            return result;
        }
        for (const std::string& n : names) {
            MaintenanceResult inner = removeTree(path + "/" + n);
            result.removed.insert(result.removed.end(), inner.removed.begin(), inner.removed.end());
            if (!inner.ok) {
                result.message = inner.message;
                return result;
            }
        }
        if (::rmdir(path.c_str()) != 0) {
            result.message = path + ": " + systemError(errno);
            return result;
        }
    } else if (::unlink(path.c_str()) != 0) {
        result.message = path + ": " + systemError(errno);
        return result;
    }
    result.removed.push_back(path);
    result.ok = true;
    return result;
}

bool recordingFiles(const std::string& folder, const std::string& name, std::vector<std::string>* files,
                    std::string* error)
{
    files->clear();
    std::vector<std::string> names;
    int err = 0;
    if (!listAll(folder, &names, &err)) {
        *error = folder + ": " + systemError(err);
        return false;
    }
    std::sort(names.begin(), names.end());
    std::vector<std::string> exact, other;
    std::vector<std::string> otherSpellings;
    for (const std::string& n : names) {
        const auto dot = n.rfind('.');
        if (dot == std::string::npos || dot + 1 == n.size())
            continue;
        struct stat st;
        if (::lstat((folder + "/" + n).c_str(), &st) != 0 || S_ISDIR(st.st_mode))
            continue;  // a folder (a work directory "s1.old") is no file of recording "s1"
        const std::string stem = n.substr(0, dot);
        if (stem == name)
            exact.push_back(n);
        else if (stem.size() == name.size() && ::strcasecmp(stem.c_str(), name.c_str()) == 0) {
            other.push_back(n);
            if (!contains(otherSpellings, stem))
                otherSpellings.push_back(stem);
        }
    }
    if (!exact.empty()) {
        *files = exact;
        return true;
    }
    if (otherSpellings.size() > 1) {
        *error = "The recording " + name + " is spelled in more than one way in " + folder
                 + "; nothing was deleted.";
        return false;
    }
    *files = other;
    return true;
}

MaintenanceResult checkDeletable(const DataTree& tree, DataItem kind, const std::string& vocabulary,
                                 const std::string& item)
{
    if (auto problem = nameProblem(vocabulary, NameKind::Vocabulary))
        return refuse(*problem);
    if (!contains(tree.vocabularies(), vocabulary))
        return refuse("The vocabulary " + vocabulary + " is not in " + tree.dataFolder() + " any more.");
    Target t;
    switch (kind) {
    case DataItem::Vocabulary:
        t = {tree.vocabularyFolder(vocabulary), tree.dataFolder(), tree.dataFolder()};
        break;
    case DataItem::DataFiles:
        if (auto problem = nameProblem(item, NameKind::File))
            return refuse(*problem);
        if (!contains(tree.recordings(vocabulary), item))
            return refuse("The recording " + item + " is not in the vocabulary " + vocabulary + " any more.");
        t = {tree.recordingBase(vocabulary, item), "", tree.vocabularyFolder(vocabulary)};
        break;
    case DataItem::WorkDirectory:
        if (auto problem = nameProblem(item, NameKind::WorkDirectory))
            return refuse(*problem);
        if (!contains(tree.workFolders(vocabulary), item))
            return refuse("The work directory " + item + " is not in the vocabulary " + vocabulary
                          + " any more.");
        t = {tree.workFolder(vocabulary, item), "", tree.vocabularyFolder(vocabulary)};
        break;
    case DataItem::StringData:
        if (auto problem = nameProblem(item, NameKind::File))
            return refuse(*problem);
        if (!contains(tree.stringRecordings(vocabulary), item))
            return refuse("The string recording " + item + " is not in the vocabulary " + vocabulary
                          + " any more.");
        t = {tree.stringRecordingBase(vocabulary, item), "", tree.stringsFolder(vocabulary)};
        break;
    }
    t.parent = parentOf(t.path);
    const std::string parent = realPath(t.parent), expected = realPath(t.expectedParent);
    if (parent.empty() || expected.empty() || parent != expected)
        return refuse(t.path + " does not lie in " + t.expectedParent + "; nothing was deleted.");
    if (kind == DataItem::Vocabulary && realPath(tree.dataFolder()) != parent)
        return refuse(t.path + " does not lie in " + tree.dataFolder() + "; nothing was deleted.");
    MaintenanceResult ok;
    ok.ok = true;
    return ok;
}

MaintenanceResult deleteDataItem(const DataTree& tree, DataItem kind, const std::string& vocabulary,
                                 const std::string& item)
{
    MaintenanceResult check = checkDeletable(tree, kind, vocabulary, item);
    if (!check.ok)
        return check;
    switch (kind) {
    case DataItem::Vocabulary:
        return removeTree(tree.vocabularyFolder(vocabulary));
    case DataItem::WorkDirectory:
        return removeTree(tree.workFolder(vocabulary, item));
    case DataItem::DataFiles:
    case DataItem::StringData: {
        const std::string folder = kind == DataItem::DataFiles ? tree.vocabularyFolder(vocabulary)
                                                               : tree.stringsFolder(vocabulary);
        std::vector<std::string> files;
        std::string error;
        if (!recordingFiles(folder, item, &files, &error))
            return refuse(error);
        MaintenanceResult result;
        for (const std::string& f : files) {
            MaintenanceResult one = removeTree(folder + "/" + f);
            result.removed.insert(result.removed.end(), one.removed.begin(), one.removed.end());
            if (!one.ok) {
                result.message = one.message;
                return result;
            }
        }
        result.ok = true;
        return result;
    }
    }
    return refuse("Unknown kind of data.");
}

}  // namespace talvor::workbench
