#include "common/ResultFile.h"

#include <climits>
#include <sys/stat.h>
#include <unistd.h>

#include "common/FileNames.h"
#include "common/TabulaTextFile.h"
#include "common/TempFiles.h"

namespace talvor {

bool resultFileText(const std::string& word, std::string* text)
{
    std::string item;
    if (!TabulaTextFile::itemText(TextValue(word), &item))
        return false;
    *text = item + "\r\n";
    return true;
}

std::string resultFilePath(const std::string& programFolder, const std::string& name, std::string* error)
{
    auto fail = [&](const std::string& why) {
        if (error)
            *error = why;
        return std::string();
    };
    if (name.empty())
        return fail("no result file name is set");
    for (unsigned char c : name)
        if (c < 0x20 || c == 0x7F)
            return fail("the result file name \"" + name + "\" holds a control character");
    const std::string path = normalizeSeparators(name);
    const auto slash = path.rfind('/');
    const std::string base = slash == std::string::npos ? path : path.substr(slash + 1);
    if (base.empty() || base == "." || base == "..")
        return fail("the result file name \"" + name + "\" names a folder, not a file");
    if (path.front() == '/' || programFolder.empty())
        return path;
    return joinPath(programFolder, path);
}

namespace {

std::string folderOf(const std::string& path)
{
    const auto slash = path.rfind('/');
    return slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
}

std::string kindOf(mode_t mode)
{
    if (S_ISDIR(mode))
        return "a folder";
    if (S_ISLNK(mode))
        return "a symbolic link";
    if (S_ISFIFO(mode))
        return "a named pipe";
    if (S_ISCHR(mode) || S_ISBLK(mode))
        return "a device";
    if (S_ISSOCK(mode))
        return "a socket";
    return "not a plain file";
}

}  // namespace

std::size_t longestResultFileName(const std::string& folder)
{
    long nameMax = ::pathconf(folder.c_str(), _PC_NAME_MAX);
    if (nameMax <= 0)
        nameMax = NAME_MAX;
    // The temporary: "." name ".tvtmp-" pid "-" and six characters, the
    // process number taking at most ten digits.
    const std::size_t extra = temporaryPrefix("").size() - std::to_string(::getpid()).size() + 10 + 6;
    return std::size_t(nameMax) > extra ? std::size_t(nameMax) - extra : 0;
}

std::string resultFileProblem(const std::string& path)
{
    const std::string folder = folderOf(path);
    const std::string base = path.substr(path.rfind('/') == std::string::npos ? 0 : path.rfind('/') + 1);
    const std::size_t longest = longestResultFileName(folder);
    if (base.size() > longest)
        return "has too long a name: a file name there takes at most " + std::to_string(longest) + " characters";
    if (path.size() + 32 >= PATH_MAX)
        return "has too long a path: a path takes at most " + std::to_string(PATH_MAX - 33) + " characters";
    struct stat st;
    const std::string existing = resolveFileName(path);
    if (::lstat(existing.c_str(), &st) == 0 && !S_ISREG(st.st_mode))
        return "is " + kindOf(st.st_mode) + ", not a regular file; it is left as it is";
    return {};
}

bool writeResultFile(const std::string& programFolder, const std::string& name, const std::string& word,
                     std::string* error)
{
    const std::string path = resultFilePath(programFolder, name, error);
    if (path.empty())
        return false;
    std::string text;
    if (!resultFileText(word, &text)) {
        if (error)
            *error = "the word " + word + " holds a double quote and cannot be written to " + path;
        return false;
    }
    if (const std::string problem = resultFileProblem(path); !problem.empty()) {
        if (error)
            *error = "the result file " + path + " " + problem;
        return false;
    }
    return writeFileWhole(path, text, error);
}

}  // namespace talvor
