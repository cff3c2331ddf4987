#pragma once
// File names as the system's files spell them, on a case-sensitive file system.
//
// The data tree's names were written on a file system that ignores case
// ("x.lb" and "x.LB", "STATWALK1.EDF" and "Statwalk1.edf" are one file), and
// with "\" between folders.  Every reader goes through resolveFileName so that
// an existing file is found whatever the case of its name; every writer goes
// through writeFileWhole so that a failed write never leaves half a file.

#include <cstddef>
#include <string>
#include <string_view>

namespace talvor {

// "\" becomes "/"; nothing else changes.
std::string normalizeSeparators(std::string_view path);

// The path of an existing file or folder that `path` names, matching each
// component case-insensitively when no exact match exists (the exact spelling
// wins).  When nothing on disk matches, returns the normalised path unchanged,
// so a writer creates the file under the spelling it was given.
std::string resolveFileName(std::string_view path);

// Same, but tells whether an existing entry was found.
bool findFileName(std::string_view path, std::string* resolved);

// Joins a folder and a name with one "/".
std::string joinPath(std::string_view folder, std::string_view name);

// Writes `bytes` as the whole content of `path`: into a temporary file in the
// same folder, flushed, then renamed over the old file.  On any failure the old
// file is left as it was, the temporary is removed, and false is returned with
// a reason in *error (when given).  An existing file is replaced under the name
// it already has on disk (found case-insensitively).
//
// FileFlush::Skip leaves out the flush to disk: for scratch files that are
// read back at once (the recorded token), where the rename still keeps a
// reader from ever seeing half a file.
enum class FileFlush { ToDisk, Skip };
bool writeFileWhole(std::string_view path, std::string_view bytes, std::string* error = nullptr,
                    FileFlush flush = FileFlush::ToDisk);

// The most a whole-file read takes unless its caller sets a smaller limit
// that fits its format.
inline constexpr std::size_t kReadFileWholeLimit = std::size_t(256) << 20;

// Reads a whole file.  False (and *bytes untouched) when it cannot be read,
// is not a regular file, is larger than maxBytes or does not fit in memory;
// the reason goes to *error when given ("... is larger than N bytes").
// Never throws.
bool readFileWhole(std::string_view path, std::string* bytes, std::size_t maxBytes = kReadFileWholeLimit,
                   std::string* error = nullptr);

}  // namespace talvor
