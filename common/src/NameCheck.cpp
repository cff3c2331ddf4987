#include "common/NameCheck.h"

#include <strings.h>

#include "common/DataTree.h"

namespace talvor {

const char* nameKindText(NameKind kind)
{
    switch (kind) {
    case NameKind::Vocabulary: return "vocabulary name";
    case NameKind::WorkDirectory: return "work directory name";
    case NameKind::File: return "file name";
    case NameKind::Word: return "vocabulary word";
    }
    return "name";
}

bool isStringsFolderName(std::string_view name)
{
    const std::string_view s = kStringsFolder;
    return name.size() == s.size() && ::strncasecmp(name.data(), s.data(), s.size()) == 0;
}

std::optional<std::string> nameProblem(std::string_view name, NameKind kind)
{
    std::string what = nameKindText(kind);
    what[0] = char(what[0] - 'a' + 'A');
    if (name.size() > kMaxNameLength)
        return what + " cannot be used: it is longer than " + std::to_string(kMaxNameLength) +
               " bytes (letters outside A to Z may take two or more each).";
    const std::string quoted = "\"" + std::string(name) + "\"";
    auto refuse = [&](const std::string& why) -> std::optional<std::string> {
        return what + " " + quoted + " cannot be used: " + why;
    };
    if (name.empty())
        return what + " is empty. Enter a name.";
    if (name == "." || name == "..")
        return refuse("it names a folder of its own.");
    for (unsigned char c : name) {
        if (c < 32 || c == 127)
            return what + " cannot be used: it holds a control character (such as TAB or a line end).";
    }
    if (name.front() == ' ' || name.back() == ' ')
        return refuse("it starts or ends with a blank.");
    if (name.find_first_of("/\\") != std::string_view::npos)
        return refuse("it holds a path separator (\"/\" or \"\\\").");
    if (kind != NameKind::Word && name.front() == '.')
        return refuse("it starts with a dot, and such folders and files are left out of every list.");
    if (name.find(',') != std::string_view::npos)
        return refuse("it holds a comma.");
    if (name.find_first_of("*?") != std::string_view::npos)
        return refuse("it holds a wildcard (\"*\" or \"?\").");
    if (name.find('"') != std::string_view::npos)
        return what + " cannot be used: it holds a double quote.";
    if (kind == NameKind::Word && name.find(' ') != std::string_view::npos)
        return refuse("a vocabulary word holds no blank.");
    if (kind == NameKind::WorkDirectory && isStringsFolderName(name))
        return refuse("that folder holds the word-string recordings. Choose another name.");
    return std::nullopt;
}

bool checkName(std::string_view name, NameKind kind, std::string* message)
{
    auto problem = nameProblem(name, kind);
    if (problem && message)
        *message = *problem;
    return !problem;
}

}  // namespace talvor
