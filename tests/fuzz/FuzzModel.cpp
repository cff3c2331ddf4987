// HMM model files: no accepted model scores NaN, in the density, the
// observation scores or a Viterbi decode, for finite feature values near and
// far from its means.
#include <cmath>

#include "FuzzSupport.h"
#include "hmmview/Decoders.h"
#include "hmmview/HmmModel.h"
#include "hmmview/ObservationScores.h"

using namespace talvor;
using namespace talvor::hmmview;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    auto& scratch = fuzz::Scratch::get();
    scratch.fresh();
    fuzz::putFile(scratch.file("m.mod"), fuzz::bytesOf(data, size));
    HmmModel model;
    std::string name = scratch.file("m.mod");
    const ModLoadReport report = model.LoadMOD(name);
    FUZZ_CHECK(report.loaded == model.modelLoaded());
    if (!report.loaded) {
        FUZZ_CHECK(!report.error.empty());
        return 0;
    }
    const std::int32_t F = model.nParams(), S = model.nStates(), M = model.nMixtures();
    if (std::int64_t(S) * M * F > 200000)
        return 0;  // scoring a huge model says nothing more; loading it did
    // Frames: zeros, the means of the first mixture of each state (capped),
    // and values far away in both directions.
    std::vector<float> values;
    auto addFrame = [&](auto valueOf) {
        for (std::int32_t f = 0; f < F; ++f)
            values.push_back(valueOf(f));
    };
    addFrame([](std::int32_t) { return 0.0f; });
    for (std::int32_t s = 0; s < std::min(S, 4); ++s)
        addFrame([&](std::int32_t f) { return model.modelMeans()[std::size_t(f + F * (M * s))]; });
    addFrame([](std::int32_t) { return 3.0e38f; });
    addFrame([](std::int32_t) { return -3.0e38f; });
    addFrame([](std::int32_t f) { return f % 2 ? 1.0e20f : -1.0e-20f; });
    const std::int32_t T = std::int32_t(values.size() / std::size_t(F));
    for (std::int32_t t = 0; t < T; ++t)
        for (std::int32_t s = 0; s < S; ++s)
            for (std::int32_t m = 0; m < M; ++m)
                FUZZ_CHECK(!std::isnan(model.density_function(s, m, values, t)));
    PackedWord word;
    word.values = values;
    word.frames = T;
    word.features = F;
    ObservationScores scores(word);
    auto& perModel = scores.forModel(model);
    for (std::int32_t t = 0; t < T; ++t) {
        const float* b = perModel.frame(t);
        for (std::int32_t s = 0; s < S; ++s)
            FUZZ_CHECK(!std::isnan(b[s]));
    }
    float score = 0.0f;
    MatchSequentialHMM(model, word, score, 0, false);
    FUZZ_CHECK(!std::isnan(score));
    return 0;
}
