#pragma once
// Database maintenance on the Data page: deleting a vocabulary, a recording,
// a work directory or a word-string recording, safely.
//
// Before anything goes, the chosen name passes the name check, a fresh listing
// of its folder still shows it, and the target's real parent folder is the
// real DATA folder (a vocabulary), the vocabulary (a recording or a work
// directory) or its "_strings" folder (a word-string recording).  A folder is
// removed with everything in it, hidden files included; a symbolic link is
// removed, never followed.  The first error stops the deletion and is
// reported with the path and the reason.
//
// A recording is exactly the files named <name>.<extension>, the extension
// holding no dot: the spelling of the name as given first, else the one
// spelling that matches it in another letter case.  No wildcard: deleting
// recording "s1" never touches "s1.x.lab" (recording "s1.x").

#include <string>
#include <vector>

#include "common/DataTree.h"

namespace talvor::workbench {

enum class DataItem : int {
    Vocabulary = 0,      // "Vocabulary:"
    DataFiles = 1,       // "Data Files:"
    WorkDirectory = 2,   // "Work Directories:"
    StringData = 3,      // "String data:"
};

struct MaintenanceResult {
    bool ok = false;
    std::string message;               // why not, for the user
    std::vector<std::string> removed;  // paths removed, in order
};

// The question asked (OK and Cancel, Cancel the default) before deleting.
// `item` is unused for a vocabulary.
std::string deleteQuestion(const DataTree& tree, DataItem kind, const std::string& vocabulary,
                           const std::string& item);

// Whether the item may be deleted (see above); ok with nothing removed, or the reason.
MaintenanceResult checkDeletable(const DataTree& tree, DataItem kind, const std::string& vocabulary,
                                 const std::string& item);

// checkDeletable, then the deletion.
MaintenanceResult deleteDataItem(const DataTree& tree, DataItem kind, const std::string& vocabulary,
                                 const std::string& item);

// Removes `path` and, for a folder, everything in it (links are removed, not
// followed); stops at the first error.
MaintenanceResult removeTree(const std::string& path);

// The files of recording `name` in `folder` (names only), as described above.
// Empty when there are none; false with a reason when more than one other
// spelling matches.
bool recordingFiles(const std::string& folder, const std::string& name, std::vector<std::string>* files,
                    std::string* error);

}  // namespace talvor::workbench
