#pragma once
// The run-time result file: how a recognised word leaves the analyser as a
// file, and how a receiver (the File demo) reads it.
//
// The file holds one line: the word (the recognised string in string
// recognition) as one item of the shared text-file class, i.e. enclosed in
// double quotes when it holds a blank, a TAB, a CR or an LF (or is empty),
// then CR LF.  A word holding a double quote cannot be written so that it
// reads back the same and is refused.
//
// The writer replaces the whole file at once (temporary file in the same
// folder, then rename), so a reader that polls the name never sees half a
// result.  A relative name is taken against the program folder; nothing
// here looks at, or changes, the current directory.

#include <cstddef>
#include <string>

namespace talvor {

// The file's whole content for `word`; false (and *text untouched) when the
// word holds a double quote.
bool resultFileText(const std::string& word, std::string* text);

// Where the result file named `name` lives: a relative name inside
// `programFolder`, an absolute one as given ("\" read as "/").  Empty with a
// reason in *error when the name cannot be a file name (empty, ending in a
// separator or "." / "..", holding a control character).
std::string resultFilePath(const std::string& programFolder, const std::string& name, std::string* error = nullptr);

// Why a result file cannot be written at `path` (as resultFilePath gives
// it), or "" when it can.  The reason completes "The result file ... ": an
// existing entry of that name (found whatever its letter case, looked at
// without following a symbolic link) that is not a regular file, i.e. a
// folder, a named pipe, a device, a socket or a link; or a name longer than
// the folder's file system takes, with the writer's temporary file beside it.
std::string resultFileProblem(const std::string& path);
// The longest file name the writer can replace whole in `folder` (its
// temporary's name is longer than the file's).
std::size_t longestResultFileName(const std::string& folder);

// Writes `word` as the result file `name` (resolved by resultFilePath) and
// replaces any earlier result whole.  False with a reason in *error when the
// name is refused (resultFileProblem too) or the file cannot be written; an
// earlier file, or whatever else has the name, is then left as it was.
bool writeResultFile(const std::string& programFolder, const std::string& name, const std::string& word,
                     std::string* error = nullptr);

}  // namespace talvor
