// The recogniser's inputs: its configuration file, the vocabulary, a model
// file and the test word set.  Nothing it reports is NaN; a recognised word
// is a vocabulary word with a model; the accuracy adds up.
#include <cmath>

#include "FuzzSupport.h"
#include "StatwalkFuzzJob.h"
#include "statwalk/Jobs.h"

using namespace talvor;
using namespace talvor::statwalk;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const auto parts = fuzz::splitInput(fuzz::bytesOf(data, size), fuzz::kPartSeparator, 5);
    auto& scratch = fuzz::Scratch::get();
    scratch.fresh();
    const std::string app = scratch.file("app");
    const std::string work = fuzz::placeJob(app, StatwalkKind::Recognition, parts[0], parts[1], parts[3], parts[4]);
    if (!work.empty())
        fuzz::putFile(work + "/m.mod", parts[2]);
    StatwalkConfig job;
    std::string error;
    if (!loadJob(app, StatwalkKind::Recognition, &job, &error)) {
        FUZZ_CHECK(!error.empty());
        return 0;
    }
    Recogniser r;
    if (!r.load(app, job, [](const std::string&) {}, &error)) {
        FUZZ_CHECK(!error.empty());
        return 0;
    }
    FUZZ_CHECK(r.modelCount() >= 1);
    if (!r.loadTestSet(&error))
        return 0;
    fuzz::checkTestWords(r, 20);
    if (r.testSet().words.size() > 20)
        return 0;
    const TestRun run = recogniseTestSet(r, &error);
    FUZZ_CHECK(run.correct <= run.recognised && run.recognised <= run.words);
    return 0;
}
