#include "workbench/HelpCaptions.h"
#include "workbench/Wizard.h"

#include <cstdio>

#include "common/FileNames.h"
#include "common/TabulaTextFile.h"

namespace talvor::workbench {

namespace {

std::string fourDigits(int index)
{
    char buf[16];
    std::snprintf(buf, sizeof buf, "%04d", index);
    return buf;
}

}  // namespace

std::string aboutVersionLine()
{
    return "Version: " + std::to_string(kVersionMajor) + "." + std::to_string(kVersionMinor) + ".0."
           + std::to_string(kVersionRevision);
}

std::string helpToolTip(int index) { return "Help " + fourDigits(index); }

bool helpCaptionText(const PromptTexts& prompts, std::string* text)
{
    std::string out = "\r\n";  // the empty first line
    for (int i = 0; i < kHelpPromptCount; ++i) {
        std::string item;
        if (!TabulaTextFile::itemText(prompts[std::size_t(i)], &item))
            return false;
        out += fourDigits(i) + " " + item + "\r\n\r\n";
    }
    *text = out + "\r\n";
    return true;
}

std::map<int, std::string> parseHelpCaptions(const std::string& text)
{
    std::map<int, std::string> entries;
    TabulaTextFile file;
    if (file.InputFromString(text) != 0)
        return entries;
    for (;;) {
        std::string key, value;
        if (file.ReadNextData(key) <= 0 || file.ReadNextData(value) <= 0)
            break;
        // A key is a whole number 0..16 ("0003", "3"); anything else is skipped.
        if (key.empty() || key.size() > 6 || key.find_first_not_of("0123456789") != std::string::npos)
            continue;
        const int k = std::stoi(key);
        if (k >= 0 && k < kHelpPromptCount)
            entries[k] = value;
    }
    return entries;
}

bool loadHelpCaptions(const std::string& programFolder, PromptTexts& prompts)
{
    const std::string path = programFolder + "/" + kHelpCaptionFile;
    std::string found, bytes;
    if (findFileName(path, &found) && readFileWhole(found, &bytes)) {
        for (const auto& [key, value] : parseHelpCaptions(bytes))
            prompts[std::size_t(key)] = value;
        return true;
    }
    std::string text, error;
    if (!helpCaptionText(prompts, &text))
        error = "a prompt holds a double quote";
    else
        writeFileWhole(path, text, &error);
    if (!error.empty())
        std::fprintf(stderr, "talvor: cannot write %s: %s\n", path.c_str(), error.c_str());
    return false;
}

}  // namespace talvor::workbench
