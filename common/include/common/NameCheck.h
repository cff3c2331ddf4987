#pragma once
// The one place where names typed by a user are checked before they become
// folder or file names in the data tree, or words in a vocabulary.
//
// A name is refused when it is empty, "." or "..", holds a path separator
// ("/" or "\"), a wildcard ("*" or "?": recordings are deleted by pattern), a
// comma (the configuration files split items at commas), a double quote (the
// text-file reader takes it as the start of a quoted item), a control character
// (TAB, CR, LF and the like would break a line of a table file), or starts or
// ends with a blank.  A folder or file name does not start with a dot either:
// the lists of vocabularies, work folders and recordings leave such hidden
// names out (half-written temporaries are named so), so it would vanish from
// view once made.  "_strings" (in any letter case) is never a work folder:
// it holds the word-string recordings.  A vocabulary word additionally holds
// no blank at all, since the vocabulary file is read as blank-separated items.
// Every name is at most kMaxNameLength bytes: a file system takes 255 bytes a
// name, and the files made from a name add an extension and, while they are
// written, a temporary's prefix and suffix (".<name>.voc.XXXXXX" and the like).

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace talvor {

inline constexpr std::size_t kMaxNameLength = 200;

enum class NameKind {
    Vocabulary,     // a vocabulary folder under DATA
    WorkDirectory,  // a work folder inside a vocabulary folder
    File,           // a recording (the base name of its .lab/.par/.rec files) or a word set
    Word,           // one word of a vocabulary
};

// What the name is called in messages: "vocabulary name", "work directory name", ...
const char* nameKindText(NameKind kind);

// The reason the name is refused, as a message for the user; nothing when the
// name is acceptable.
std::optional<std::string> nameProblem(std::string_view name, NameKind kind);

// Same check as a boolean with the message in *message (when given).
bool checkName(std::string_view name, NameKind kind, std::string* message = nullptr);

// True when `name` is the word-string folder "_strings" (letter case ignored).
bool isStringsFolderName(std::string_view name);

}  // namespace talvor
