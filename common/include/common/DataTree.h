#pragma once
// The data tree under the program folder:
//
//   <program folder>/STATWALK1.EDF, STATWALK2.EDF    configuration of the external HMM programs
//   <program folder>/statwalk1, statwalk2            the external HMM trainer and recogniser
//   <program folder>/DATA/                           one folder per vocabulary
//   .../DATA/<voc>/<voc>.voc                         the vocabulary file
//   .../DATA/<voc>/<file>.lab, .par, .rec            the word data files of each recording
//   .../DATA/<voc>/_strings/                         the word data files of word-string recordings
//   .../DATA/<voc>/<work>/                           a work folder: word sets, the STATWALK1.EDF copy,
//                                                    model files, the recorded token x.lb/x.pr
//
// The path builders spell names as the system writes them; readers find an
// existing file whatever the case of its name (resolveFileName), so "x.voc"
// and "x.VOC", "STATWALK1.EDF" and "Statwalk1.edf" reach the same file.
// Listings are sorted by name, letter case ignored.  Folders are created only
// under names that pass the user-name check (NameCheck.h).

#include <string>
#include <string_view>
#include <vector>

#include "common/StatwalkConfig.h"

namespace talvor {

inline constexpr const char* kDataFolder = "DATA";
inline constexpr const char* kStringsFolder = "_strings";
inline constexpr const char* kVocabularyExtension = ".voc";
inline constexpr const char* kModelConfigCopyName = "STATWALK1.EDF";

class DataTree {
public:
    explicit DataTree(std::string appPath);

    const std::string& appPath() const { return m_appPath; }

    std::string dataFolder() const;                                         // <app>/DATA
    std::string vocabularyFolder(std::string_view voc) const;               // <app>/DATA/<voc>
    std::string vocabularyFile(std::string_view voc) const;                 // .../<voc>/<voc>.voc
    std::string stringsFolder(std::string_view voc) const;                  // .../<voc>/_strings
    std::string workFolder(std::string_view voc, std::string_view work) const;
    // Path of a recording without extension (add ".lab", ".par", ".rec").
    std::string recordingBase(std::string_view voc, std::string_view file) const;
    std::string stringRecordingBase(std::string_view voc, std::string_view file) const;

    // <app>/STATWALK1.EDF or <app>/STATWALK2.EDF.
    std::string statwalkConfigFile(StatwalkKind kind) const;
    // The work folder's copy of STATWALK1.EDF, beside the trained models.
    std::string modelConfigCopy(std::string_view voc, std::string_view work) const;
    // <app>/statwalk1 (trainer) or <app>/statwalk2 (recogniser).
    std::string externalProgram(StatwalkKind kind) const;

    // The vocabulary folders under DATA.
    std::vector<std::string> vocabularies() const;
    // The work folders of a vocabulary ("_strings" is never one).
    std::vector<std::string> workFolders(std::string_view voc) const;
    // The recordings of a vocabulary: names of its .lab files without extension.
    std::vector<std::string> recordings(std::string_view voc) const;
    std::vector<std::string> stringRecordings(std::string_view voc) const;
    // True when the work folder holds the STATWALK1.EDF copy, i.e. trained models.
    bool hasModels(std::string_view voc, std::string_view work) const;

    // Make a folder of the tree (an existing one is fine).  The names are
    // checked first; false with a message for the user in *error otherwise.
    bool createVocabularyFolder(std::string_view voc, std::string* error = nullptr) const;
    // A new vocabulary: its folder and its .voc file with these words, all or
    // nothing.  Every name and word is checked before anything is made; a
    // vocabulary that exists under the name in any letter case is refused; when
    // the file cannot be written the new folder is removed again.
    bool createVocabulary(std::string_view voc, const std::vector<std::string>& words,
                          std::string* error = nullptr) const;
    bool ensureStringsFolder(std::string_view voc, std::string* error = nullptr) const;
    bool createWorkFolder(std::string_view voc, std::string_view work, std::string* error = nullptr) const;

private:
    std::string m_appPath;
};

// The sub-folders of a folder (no hidden ones), sorted by name ignoring case.
// Empty when the folder cannot be listed.
std::vector<std::string> listSubFolders(const std::string& folder);
// The names of the ordinary, non-hidden files of a folder whose name ends in
// `extension` (letter case ignored), sorted by name ignoring case.
std::vector<std::string> listFilesWithExtension(const std::string& folder, std::string_view extension);

}  // namespace talvor
