#pragma once
// Listings of the data tree the wizard's pages show: vocabularies (folders of
// DATA), recordings (.lab files) and work directories.

#include <string>
#include <vector>

namespace talvor::workbench {

// Names of the subfolders of `folder`, sorted; empty when it is missing.
std::vector<std::string> listSubDirs(const std::string& folder);
// Names of the ordinary files of `folder` whose name ends in `suffix` (any
// letter case), without that suffix, sorted.
std::vector<std::string> listFilesWithout(const std::string& folder, const std::string& suffix);
// The words of a vocabulary file: the count, then index and word per entry.
// Empty when the file cannot be read.
std::vector<std::string> readVocabularyWords(const std::string& vocFile);
// A name the user typed for a file or folder inside the data tree: not empty,
// no "/" or "\", not "." or "..".
bool isPlainName(const std::string& name);

}  // namespace talvor::workbench
