#pragma once
// The help-caption file "Talvor_II.c_h" in the program folder: the texts of
// the wizard's 17 help prompts, which a user can edit without rebuilding.
//
// Layout: an empty first line, then per prompt its key (the index in four
// digits, "0000" .. "0016"), a blank and the text (in double quotes when it
// holds a blank, CR or LF), each entry followed by an empty line, and one
// more line end at the end of the file.  The reader takes (key, text) token
// pairs in any order; keys outside 0..16 and keys that are not numbers are
// skipped.

#include <array>
#include <map>
#include <string>

namespace talvor::workbench {

inline constexpr const char* kHelpCaptionFile = "Talvor_II.c_h";
inline constexpr int kHelpPromptCount = 17;
using PromptTexts = std::array<std::string, kHelpPromptCount>;

// The file's text for these prompts; false when a text cannot be written so
// that it reads back the same (it holds a double quote).
bool helpCaptionText(const PromptTexts& prompts, std::string* text);
// The entries of a file's text, by key.
std::map<int, std::string> parseHelpCaptions(const std::string& text);
// "Help 0000" .. "Help 0016".
std::string helpToolTip(int index);

// At start (and on a double-click of a prompt): reads the file from the
// program folder (found whatever its letter case) into `prompts`; when there
// is none, writes it from `prompts`.  A failed write is one line on standard
// error.  True when the file was read.
bool loadHelpCaptions(const std::string& programFolder, PromptTexts& prompts);

}  // namespace talvor::workbench
