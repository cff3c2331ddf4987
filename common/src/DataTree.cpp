#include "common/DataTree.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <strings.h>
#include <sys/stat.h>
#include <unistd.h>

#include "common/FileNames.h"
#include "common/NameCheck.h"
#include "common/VocabularyFile.h"

namespace talvor {

namespace {

bool lessIgnoringCase(const std::string& a, const std::string& b)
{
    const int c = ::strcasecmp(a.c_str(), b.c_str());
    return c != 0 ? c < 0 : a < b;
}

bool isDirectory(const std::string& path)
{
    struct stat st;
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool endsWithIgnoringCase(std::string_view s, std::string_view end)
{
    return s.size() >= end.size() && ::strncasecmp(s.data() + s.size() - end.size(), end.data(), end.size()) == 0;
}

template <class Keep>
std::vector<std::string> listFolder(const std::string& folder, Keep keep)
{
    std::vector<std::string> names;
    std::string resolved;
    if (!findFileName(folder, &resolved))
        return names;
    DIR* d = ::opendir(resolved.c_str());
    if (!d)
        return names;
    while (dirent* e = ::readdir(d)) {
        const std::string name = e->d_name;
        if (name.empty() || name[0] == '.')
            continue;  // ".", ".." and hidden entries (such as half-written temporaries)
        struct stat st;
        if (::stat(joinPath(resolved, name).c_str(), &st) != 0)
            continue;
        if (keep(name, st))
            names.push_back(name);
    }
    ::closedir(d);
    std::sort(names.begin(), names.end(), lessIgnoringCase);
    return names;
}

// Makes `path` a folder unless it is one already (found ignoring case).
bool makeFolder(const std::string& path, std::string* error)
{
    std::string existing;
    if (findFileName(path, &existing)) {
        if (isDirectory(existing))
            return true;
        if (error)
            *error = "Cannot create the folder " + path + ": a file of that name is in the way.";
        return false;
    }
    const std::string target = resolveFileName(path);
    if (::mkdir(target.c_str(), 0777) != 0 && !(errno == EEXIST && isDirectory(target))) {
        if (error)
            *error = "Cannot create the folder " + target + ": " + std::strerror(errno);
        return false;
    }
    return true;
}

// The vocabulary folder `path` (found ignoring case) must be there already.
bool vocabularyFolderExists(const std::string& path, std::string* error)
{
    std::string folder;
    if (findFileName(path, &folder) && isDirectory(folder))
        return true;
    if (error)
        *error = "The vocabulary folder " + path + " does not exist.";
    return false;
}

std::vector<std::string> withoutExtension(std::vector<std::string> names, std::size_t extensionLength)
{
    for (auto& n : names)
        n.erase(n.size() - extensionLength);
    return names;
}

}  // namespace

std::vector<std::string> listSubFolders(const std::string& folder)
{
    return listFolder(folder, [](const std::string&, const struct stat& st) { return S_ISDIR(st.st_mode); });
}

std::vector<std::string> listFilesWithExtension(const std::string& folder, std::string_view extension)
{
    return listFolder(folder, [extension](const std::string& name, const struct stat& st) {
        return S_ISREG(st.st_mode) && name.size() > extension.size() && endsWithIgnoringCase(name, extension);
    });
}

DataTree::DataTree(std::string appPath) : m_appPath(normalizeSeparators(appPath))
{
    while (m_appPath.size() > 1 && m_appPath.back() == '/')
        m_appPath.pop_back();
}

std::string DataTree::dataFolder() const { return joinPath(m_appPath, kDataFolder); }

std::string DataTree::vocabularyFolder(std::string_view voc) const { return joinPath(dataFolder(), voc); }

std::string DataTree::vocabularyFile(std::string_view voc) const
{
    return joinPath(vocabularyFolder(voc), std::string(voc) + kVocabularyExtension);
}

std::string DataTree::stringsFolder(std::string_view voc) const { return joinPath(vocabularyFolder(voc), kStringsFolder); }

std::string DataTree::workFolder(std::string_view voc, std::string_view work) const
{
    return joinPath(vocabularyFolder(voc), work);
}

std::string DataTree::recordingBase(std::string_view voc, std::string_view file) const
{
    return joinPath(vocabularyFolder(voc), file);
}

std::string DataTree::stringRecordingBase(std::string_view voc, std::string_view file) const
{
    return joinPath(stringsFolder(voc), file);
}

std::string DataTree::statwalkConfigFile(StatwalkKind kind) const
{
    return joinPath(m_appPath, statwalkConfigName(kind));
}

std::string DataTree::modelConfigCopy(std::string_view voc, std::string_view work) const
{
    return joinPath(workFolder(voc, work), kModelConfigCopyName);
}

std::string DataTree::externalProgram(StatwalkKind kind) const
{
    return joinPath(m_appPath, statwalkProgramName(kind));
}

std::vector<std::string> DataTree::vocabularies() const { return listSubFolders(dataFolder()); }

std::vector<std::string> DataTree::workFolders(std::string_view voc) const
{
    auto dirs = listSubFolders(vocabularyFolder(voc));
    std::erase_if(dirs, [](const std::string& d) { return isStringsFolderName(d); });
    return dirs;
}

std::vector<std::string> DataTree::recordings(std::string_view voc) const
{
    return withoutExtension(listFilesWithExtension(vocabularyFolder(voc), ".lab"), 4);
}

std::vector<std::string> DataTree::stringRecordings(std::string_view voc) const
{
    return withoutExtension(listFilesWithExtension(stringsFolder(voc), ".lab"), 4);
}

bool DataTree::hasModels(std::string_view voc, std::string_view work) const
{
    std::string found;
    struct stat st;
    return findFileName(modelConfigCopy(voc, work), &found) && ::stat(found.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

bool DataTree::createVocabularyFolder(std::string_view voc, std::string* error) const
{
    if (!checkName(voc, NameKind::Vocabulary, error))
        return false;
    return makeFolder(dataFolder(), error) && makeFolder(vocabularyFolder(voc), error);
}

bool DataTree::createVocabulary(std::string_view voc, const std::vector<std::string>& words, std::string* error) const
{
    std::string text;
    if (!checkName(voc, NameKind::Vocabulary, error) || !vocabularyFileText(words, &text, error))
        return false;
    auto exists = [&] {
        if (error)
            *error = "A vocabulary named \"" + std::string(voc) +
                     "\" exists already (letter case aside). Choose another name.";
        return false;
    };
    std::string existing;
    if (findFileName(vocabularyFolder(voc), &existing))
        return exists();
    if (!makeFolder(dataFolder(), error))
        return false;
    const std::string folder = resolveFileName(vocabularyFolder(voc));
    if (::mkdir(folder.c_str(), 0777) != 0) {
        if (errno == EEXIST)
            return exists();
        if (error)
            *error = "Cannot create the folder " + folder + ": " + std::strerror(errno);
        return false;
    }
    // All or nothing: without its file the new folder goes again.
    if (!writeVocabularyFile(joinPath(folder, std::string(voc) + kVocabularyExtension), words, error)) {
        ::rmdir(folder.c_str());
        return false;
    }
    return true;
}

bool DataTree::ensureStringsFolder(std::string_view voc, std::string* error) const
{
    if (!checkName(voc, NameKind::Vocabulary, error))
        return false;
    if (!vocabularyFolderExists(vocabularyFolder(voc), error))
        return false;
    return makeFolder(stringsFolder(voc), error);
}

bool DataTree::createWorkFolder(std::string_view voc, std::string_view work, std::string* error) const
{
    if (!checkName(voc, NameKind::Vocabulary, error) || !checkName(work, NameKind::WorkDirectory, error))
        return false;
    if (!vocabularyFolderExists(vocabularyFolder(voc), error))
        return false;
    return makeFolder(workFolder(voc, work), error);
}

}  // namespace talvor
