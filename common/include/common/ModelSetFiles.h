#pragma once
// The model files (*.mod) of a work folder replaced as one set.
//
// The trainer writes one model per word; a reader takes every model of the
// folder.  A set half old and half new would rank words against models of two
// trainings, so the set changes as a whole:
//
//   1. every new model is written whole under a hidden name ".<name>.new";
//   2. every model it replaces is kept under ".<name>.old" (a hard link);
//   3. a hidden journal ".models.unfinished" names the new set;
//   4. each ".new" is renamed over its target;
//   5. the journal goes, then the kept models.
//
// A rename that fails in step 4 puts back every model already replaced and
// removes the new ones: the folder holds the old set, byte for byte.  A
// process killed in steps 3 to 5 leaves the journal; the next writer or
// reader of the folder completes the renames (or, when that fails, puts the
// kept models back) before it looks at the models.  Leftovers of a kill in
// steps 1 and 2 (no journal) are removed.  So a reader sees the old set or
// the new one, never a mix.
//
// Writers and readers lock the folder (flock on the folder itself): the
// writer exclusively from step 1 to 5, a reader shared while it reads the
// models.  No lock file is left in the folder.

#include <cstddef>
#include <functional>
#include <span>
#include <string>

namespace talvor {

struct ModelFileBytes {
    std::string name;   // the file name in the folder (no folder part)
    std::string bytes;  // the whole file
};

// Replaces (or adds) the named model files of `folder` as one set; files of
// the folder not named stay.  False with a reason when any step fails; then
// the folder's models are as they were.
bool replaceModelSet(const std::string& folder, std::span<const ModelFileBytes> files, std::string* error = nullptr);

// Tests: called before rename k of step 4; a non-zero errno makes that rename
// fail.  An empty hook removes it.
using ModelSetRenameHook = std::function<int(std::size_t k)>;
void setModelSetRenameHookForTesting(ModelSetRenameHook hook);

// Held while a reader reads the models of a folder: completes a replacement a
// killed writer left, then keeps writers out until it goes.
class ModelSetReading {
public:
    explicit ModelSetReading(const std::string& folder);
    ~ModelSetReading();
    ModelSetReading(const ModelSetReading&) = delete;
    ModelSetReading& operator=(const ModelSetReading&) = delete;

private:
    int m_fd = -1;
};

}  // namespace talvor
