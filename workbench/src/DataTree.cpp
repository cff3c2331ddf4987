#include "DataTree.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <system_error>

#include "common/FileNames.h"
#include "common/NumberText.h"
#include "common/TabulaTextFile.h"

namespace fs = std::filesystem;

namespace talvor::workbench {

namespace {

bool endsWithNoCase(const std::string& s, const std::string& suffix)
{
    if (s.size() < suffix.size())
        return false;
    return std::equal(suffix.rbegin(), suffix.rend(), s.rbegin(), [](char a, char b) {
        return std::tolower(static_cast<unsigned char>(a)) == std::tolower(static_cast<unsigned char>(b));
    });
}

}  // namespace

std::vector<std::string> listSubDirs(const std::string& folder)
{
    std::vector<std::string> names;
    std::error_code ec;
    const fs::path dir = resolveFileName(folder);
    for (fs::directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec)) {
        std::error_code ec2;
        if (it->is_directory(ec2))
            names.push_back(it->path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

std::vector<std::string> listFilesWithout(const std::string& folder, const std::string& suffix)
{
    std::vector<std::string> names;
    std::error_code ec;
    const fs::path dir = resolveFileName(folder);
    for (fs::directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec)) {
        std::error_code ec2;
        if (!it->is_regular_file(ec2))
            continue;
        const std::string name = it->path().filename().string();
        if (name.size() > suffix.size() && name[0] != '.' && endsWithNoCase(name, suffix))
            names.push_back(name.substr(0, name.size() - suffix.size()));
    }
    std::sort(names.begin(), names.end());
    return names;
}

std::vector<std::string> readVocabularyWords(const std::string& vocFile)
{
    std::vector<std::string> words;
    TabulaTextFile file;
    if (file.InputFromFile(resolveFileName(vocFile)) != 0)
        return words;
    std::string token;
    if (file.ReadNextData(token) < 0)
        return words;
    std::int32_t count = 0;
    if (!parseInt32(token, &count) || count < 0)
        return words;
    for (std::int32_t i = 0; i < count; ++i) {
        std::string index, word;
        if (file.ReadNextData(index) < 0 || file.ReadNextData(word) < 0)
            break;
        words.push_back(word);
    }
    return words;
}

bool isPlainName(const std::string& name)
{
    if (name.empty() || name == "." || name == "..")
        return false;
    return name.find_first_of(std::string("/\\\0", 3)) == std::string::npos;
}

}  // namespace talvor::workbench
