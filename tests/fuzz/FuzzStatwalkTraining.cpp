// The trainer's inputs: its configuration file, the vocabulary and a training
// word set.  A training writes all its models or none; every model it writes
// loads, holds no NaN, and scores the training words without NaN.
#include <cmath>
#include <cstdio>
#include <filesystem>

#include "FuzzSupport.h"
#include "StatwalkFuzzJob.h"
#include "common/DataTree.h"
#include "common/ModuleState.h"
#include "hmmview/HmmModel.h"
#include "statwalk/Jobs.h"

using namespace talvor;
using namespace talvor::statwalk;

namespace {

bool allFinite(const std::vector<float>& v)
{
    for (float x : v)
        if (std::isnan(x))
            return false;
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const auto parts = fuzz::splitInput(fuzz::bytesOf(data, size), fuzz::kPartSeparator, 4);
    auto& scratch = fuzz::Scratch::get();
    scratch.fresh();
    const std::string app = scratch.file("app");
    const std::string work = fuzz::placeJob(app, StatwalkKind::Training, parts[0], parts[1], parts[2], parts[3]);
    StatwalkConfig job;
    std::string error;
    if (!loadJob(app, StatwalkKind::Training, &job, &error)) {
        FUZZ_CHECK(!error.empty());
        return 0;
    }
    if (work.empty())
        return 0;
    // Small jobs only: a fuzzed state or mixture count says nothing new at scale.
    if (std::int64_t(job.states) * job.mixtures > 64)
        return 0;
    const TrainingOutcome out = runTraining(app, job, TrainingDay{2026, 12, 11}, [](const std::string&) {});
    std::vector<std::string> mods;
    std::error_code ec;
    for (const auto& e : std::filesystem::directory_iterator(work, ec)) {
        const std::string name = e.path().filename().string();
        FUZZ_CHECK(name.find(".part") == std::string::npos);  // no temporary file stays
        if (e.path().extension() == ".mod")
            mods.push_back(e.path().string());
    }
    if (!out.ok) {
        FUZZ_CHECK(!out.error.empty());
        FUZZ_CHECK(mods.empty());
        return 0;
    }
    FUZZ_CHECK(mods.size() == out.written.size());
    for (const std::string& path : out.written) {
        hmmview::HmmModel model;
        std::string name = path;
        const hmmview::ModLoadReport report = model.LoadMOD(name);
        if (!report.loaded)
            std::fprintf(stderr, "%s\n", report.error.c_str());
        FUZZ_CHECK(report.loaded);
        FUZZ_CHECK(allFinite(model.modelTrans()) && allFinite(model.modelWeights()) &&
                   allFinite(model.modelMeans()) && allFinite(model.modelCovars()));
    }
    if (out.written.empty())
        return 0;
    // The recogniser of the same place scores the training words.
    StatwalkConfig recognition = job;
    recognition.kind = StatwalkKind::Recognition;
    recognition.mode = ModeHmmMatching;
    recognition.files.resize(1);
    Recogniser r;
    FUZZ_CHECK(r.load(app, recognition, [](const std::string&) {}, &error));
    if (!r.loadTestSet(&error))
        return 0;
    fuzz::checkTestWords(r, 20);
    return 0;
}
