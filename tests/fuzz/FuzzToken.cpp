// The recorded token (x.lb / x.pr in the work folder) as the recogniser
// reads it, against models its own trainer made: a token that is read gets
// a score for every model and none is NaN; a recognised word is one of the
// vocabulary's.
#include <cmath>
#include <filesystem>
#include <memory>

#include "FuzzSupport.h"
#include "common/DataTree.h"
#include "common/ModuleState.h"
#include "common/WordSetFile.h"
#include "statwalk/Jobs.h"

using namespace talvor;
using namespace talvor::statwalk;

namespace {

struct Place {
    std::string work;
    std::unique_ptr<Recogniser> recogniser;
};

// Made once: the vocabulary "digits" (three words), a training word set of
// two frames' features (c1, ene) and the models trained on it.
const Place& place()
{
    static const Place p = [] {
        const std::string app = fuzz::Scratch::get().file("app");
        const DataTree tree(app);
        std::filesystem::create_directories(tree.dataFolder());
        std::string error;
        if (!tree.createVocabulary("digits", {"zero", "one", "two"}, &error) ||
            !tree.createWorkFolder("digits", "hmm1", &error))
            std::abort();
        Place out;
        out.work = tree.workFolder("digits", "hmm1");
        std::vector<WordSetEntry> words;
        std::vector<float> values;
        for (std::int32_t k = 0; k < 6; ++k) {
            const std::int32_t frames = 12 + k;
            words.push_back({k, k % 3, frames, 0});
            for (std::int32_t t = 0; t < frames; ++t) {
                values.push_back(float(k % 3) + 0.1f * float(t % 5));
                values.push_back(-1.0f + 0.05f * float((t * 7 + k) % 11));
            }
        }
        if (!writeWordSet(out.work + "/s1.LB", out.work + "/s1.PR", words, 2, values, LabelFileSpacing::WordSet,
                          &error))
            std::abort();
        StatwalkConfig job;
        job.kind = StatwalkKind::Training;
        job.mode = ModeHmmTraining;
        job.vocabulary = "digits";
        job.workDirectory = "hmm1";
        job.features.fill(false);
        job.features[0] = job.features[19] = true;
        job.featureCount = 2;
        job.files = {"s1"};
        job.states = 4;
        const auto quiet = [](const std::string&) {};
        if (!runTraining(app, job, TrainingDay{2026, 12, 11}, quiet).ok)
            std::abort();
        job.kind = StatwalkKind::Recognition;
        job.mode = ModeSpeakRecognizeHmm;
        job.files = {"t1"};
        out.recogniser = std::make_unique<Recogniser>();
        if (!out.recogniser->load(app, job, quiet, &error) || out.recogniser->modelCount() != 3)
            std::abort();
        return out;
    }();
    return p;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const Place& p = place();
    const auto parts = fuzz::splitInput(fuzz::bytesOf(data, size), fuzz::kPartSeparator, 2);
    fuzz::putFile(p.work + "/x.lb", parts[0]);
    fuzz::putFile(p.work + "/x.pr", parts[1]);
    std::string error;
    const std::optional<Recognition> got = p.recogniser->recogniseToken(&error);
    if (!got) {
        FUZZ_CHECK(!error.empty());
        return 0;
    }
    FUZZ_CHECK(!std::isnan(got->score));
    FUZZ_CHECK(got->scores.size() == p.recogniser->modelCount());
    for (float s : got->scores)
        FUZZ_CHECK(!std::isnan(s));
    if (got->recognised)
        FUZZ_CHECK(got->index >= 0 && got->index < 3 && got->word == p.recogniser->wordOf(got->index));
    else
        FUZZ_CHECK(got->index == -1 && got->word.empty());
    return 0;
}
