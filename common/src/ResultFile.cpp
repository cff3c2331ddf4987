#include "common/ResultFile.h"

#include "common/FileNames.h"
#include "common/TabulaTextFile.h"

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
    return writeFileWhole(path, text, error);
}

}  // namespace talvor
