#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <functional>
#include <limits>

#include "Fixtures.h"
#include "common/FileNames.h"
#include "hmmview/Decoders.h"
#include "hmmview/HmmModel.h"
#include "hmmview/ObservationScores.h"

namespace talvor::hmmview {
namespace {

using testing::ModelDir;
using testing::ModSpec;
using testing::logProb;
using testing::ramp;

TEST(HmmModelLoad, NameRuleRewritesOnlyTheFileNamePart)
{
    struct Case {
        const char* given;
        const char* rewritten;
    } cases[] = {
        {"C:\\Models\\ONE.MOD", "C:/Models/one.mod"},
        {"word", "word.mod"},
        {"a.mod.bak", "a.mod"},
        {"/data/Work.MOD/Two", "/data/Work.MOD/two.mod"},
        {"/data/x.MoD", "/data/x.mod"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.given);
        std::string name = c.given;
        HmmModel model;
        const ModLoadReport report = model.LoadMOD(name);
        EXPECT_EQ(name, c.rewritten);
        EXPECT_EQ(model.fileLabel(), c.rewritten);
        EXPECT_FALSE(report.opened);
        EXPECT_FALSE(report.error.empty());
        EXPECT_EQ(model.nStates(), 0);
        EXPECT_FALSE(model.modelLoaded());
    }
}

TEST(HmmModelLoad, FindsTheFileWhateverTheCaseOfItsName)
{
    ModelDir dir;
    dir.write("ONE.MOD", ramp("one"));
    for (const std::string given : {"/ONE.MOD", "/One", "/one.mod.old"}) {
        SCOPED_TRACE(given);
        std::string name = dir.path() + given;
        HmmModel model;
        const ModLoadReport report = model.LoadMOD(name);
        EXPECT_EQ(name, dir.path() + "/one.mod");
        EXPECT_TRUE(report.loaded) << report.error;
        EXPECT_EQ(model.word(), "one");
    }
}

TEST(HmmModelLoad, ReadsTheHeaderAndTablesInFileOrder)
{
    ModelDir dir;
    ModSpec modSpec = ModSpec::leftRight("yes", 3, 2, 2, 0.25f);
    modSpec.modelID = 7;
    modSpec.frequency = 8000;
    modSpec.windowLength = 160;
    modSpec.windowShift = 80;
    modSpec.maxSkips = 1;
    modSpec.year = 2003;
    modSpec.month = 11;
    modSpec.day = 30;
    modSpec.modelConst = 0.5f;
    modSpec.trans[0 * 3 + 2] = 0.125f;  // p(0 -> 2)
    modSpec.weights = {0.75f, 0.25f, 0.5f, 0.5f, 1.0f, 0.0f};
    for (int s = 0; s < 3; ++s)
        for (int m = 0; m < 2; ++m)
            for (int f = 0; f < 2; ++f) {
                modSpec.mean(s, m, f) = static_cast<float>(s * 100 + m * 10 + f);
                modSpec.var(s, m, f) = static_cast<float>(1 + s + m + f);
            }
    auto model = dir.load(modSpec);

    EXPECT_EQ(model->word(), "yes");  // the name field is "yes" and 13 zero bytes
    EXPECT_EQ(model->word().size(), 3u);
    EXPECT_EQ(model->modelID(), 7);
    EXPECT_EQ(model->frequencY(), 8000);
    EXPECT_EQ(model->modelWindowLength(), 160);
    EXPECT_EQ(model->modelWindowShift(), 80);
    EXPECT_EQ(model->nParams(), 2);
    EXPECT_EQ(model->nStates(), 3);
    EXPECT_EQ(model->nMixtures(), 2);
    EXPECT_EQ(model->maxSkips(), 1);
    EXPECT_EQ(model->trainDate(), (TrainDate{2003, 11, 30}));
    EXPECT_EQ(model->modelConst(), 0.5f);
    EXPECT_EQ(model->mySMALLFLOAT(), 1e-30f);
    EXPECT_EQ(model->myBIGFLOAT(), 1.0f / 1e-30f);
    EXPECT_TRUE(model->modelLoaded());

    // modelTrans(to, from) with the first index fastest: element to + S * from.
    EXPECT_EQ(model->modelTrans()[2 + 3 * 0], 0.125f);
    EXPECT_EQ(model->modelTrans()[1 + 3 * 0], 0.75f);
    EXPECT_EQ(model->modelLogTrans()[2 + 3 * 0], logProb(0.125));
    // A zero probability becomes ln(1e-30), never minus infinity.
    EXPECT_EQ(model->modelLogTrans()[0 + 3 * 2], logProb(0.0));
    EXPECT_NEAR(model->modelLogTrans()[0 + 3 * 2], -69.0776f, 1e-3f);

    std::int32_t m = 1, s = 0;
    EXPECT_EQ(model->GetModelWeight(m, s), 0.25f);
    // Means (f, m, s) with f fastest.
    EXPECT_EQ(model->modelMeans()[1 + 2 * (1 + 2 * 2)], 211.0f);
    // Factor: modelConst / sqrt(product of the variances + 1e-30), inverse variances.
    const double p = 3.0 * 4.0;  // state 1, mixture 1: variances 3 and 4
    EXPECT_EQ(model->modelFactors()[1 + 2 * 1], static_cast<float>(0.5f / std::sqrt(p + 1e-30)));
    EXPECT_EQ(model->modelInvCovars()[0 + 2 * (1 + 2 * 1)], 1.0f / 3.0f);
}

TEST(HmmModelLoad, DensityIsTheScaledGaussianPlusTheFloor)
{
    ModelDir dir;
    ModSpec modSpec = ModSpec::leftRight("g", 3, 1, 2);
    modSpec.modelConst = 2.0f;
    modSpec.mean(1, 0, 0) = 1.0f;
    modSpec.mean(1, 0, 1) = -1.0f;
    modSpec.var(1, 0, 0) = 4.0f;
    modSpec.var(1, 0, 1) = 0.25f;
    auto model = dir.load(modSpec);
    const std::vector<float> frames = {9.0f, 9.0f, 3.0f, -0.5f};  // frame 1 = (3, -0.5)
    // (3-1)^2 / 4 + (-0.5+1)^2 / 0.25 = 1 + 1 = 2; factor 2 / sqrt(1) = 2.
    const float expected = static_cast<float>(2.0 * std::exp(-1.0) + 1e-30);
    EXPECT_EQ(model->density_function(1, 0, frames, 1), expected);
    // Far from every mean the density is the floor 1e-30.
    const std::vector<float> far = {1e6f, 1e6f};
    EXPECT_EQ(model->density_function(0, 0, far, 0), 1e-30f);
    // Outside the model or the vector: the value of an empty component.
    EXPECT_EQ(model->density_function(3, 0, frames, 0), 1e-30f);
    EXPECT_EQ(model->density_function(0, 0, frames, 2), 1e-30f);
}

TEST(HmmModelAccessors, ClampIndicesInPlace)
{
    ModelDir dir;
    ModSpec modSpec = ramp();
    modSpec.trans[1 * 3 + 2] = 0.3f;  // p(1 -> 2)
    auto model = dir.load(modSpec);

    std::int32_t to = 5, from = 1;
    EXPECT_EQ(model->GetModelTrans(to, from), logProb(0.3f));
    EXPECT_EQ(to, 2);
    EXPECT_EQ(from, 1);

    to = 0;
    from = -1;
    EXPECT_EQ(model->GetModelTrans(to, from), 0.0f);

    to = -4;
    from = 7;
    EXPECT_EQ(model->GetModelTrans(to, from), model->modelLogTrans()[0 + 3 * 2]);
    EXPECT_EQ(to, 0);
    EXPECT_EQ(from, 2);

    struct Case {
        std::int32_t mixture, state, wantMixture, wantState;
    } cases[] = {{0, 0, 0, 0}, {3, 1, 0, 1}, {-1, 9, 0, 2}, {0, -2, 0, 0}};
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.mixture) + "," + std::to_string(c.state));
        std::int32_t m = c.mixture, s = c.state;
        EXPECT_EQ(model->GetModelWeight(m, s), 1.0f);
        EXPECT_EQ(m, c.wantMixture);
        EXPECT_EQ(s, c.wantState);
    }
}

TEST(HmmModelLoad, TwoStatesAreReadButNotLoaded)
{
    ModelDir dir;
    ModSpec modSpec = ModSpec::leftRight("two", 2, 1, 1);
    std::string name = dir.write("two.mod", modSpec);
    HmmModel model;
    const ModLoadReport report = model.LoadMOD(name);
    EXPECT_TRUE(report.opened);
    EXPECT_FALSE(report.loaded);
    EXPECT_FALSE(model.modelLoaded());
    EXPECT_EQ(model.nStates(), 2);
    EXPECT_EQ(model.word(), "two");
    EXPECT_EQ(model.modelTrans()[0], 0.5f);
    std::int32_t to = 1, from = 0;
    EXPECT_EQ(model.GetModelTrans(to, from), 0.0f);
    const std::vector<float> frame = {0.0f};
    EXPECT_EQ(model.density_function(0, 0, frame, 0), 1e-30f);
}

TEST(HmmModelLoad, RefusedFilesChangeNothing)
{
    const ModSpec good = ramp("good");
    struct Case {
        const char* what;
        std::function<std::string()> bytes;
    };
    auto with = [&](auto edit) {
        return [=]() {
            ModSpec s = good;
            edit(s);
            return testing::modBytes(s);
        };
    };
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float inf = std::numeric_limits<float>::infinity();
    const Case cases[] = {
        {"truncated header", [&] { return testing::modBytes(good).substr(0, 40); }},
        {"truncated tables", [&] { std::string b = testing::modBytes(good); b.pop_back(); return b; }},
        {"bytes after the variances", [&] { return testing::modBytes(good) + std::string(4, '\0'); }},
        {"no states", with([](ModSpec& s) { s.states = 0; s.trans.clear(); s.weights.clear(); s.means.clear(); s.vars.clear(); })},
        {"negative states", with([](ModSpec& s) { s.states = -3; })},
        {"no mixtures", with([](ModSpec& s) { s.mixtures = 0; s.weights.clear(); s.means.clear(); s.vars.clear(); })},
        {"no features", with([](ModSpec& s) { s.features = 0; s.means.clear(); s.vars.clear(); })},
        {"negative transition", with([](ModSpec& s) { s.trans[1] = -0.5f; })},
        {"NaN transition", with([nan](ModSpec& s) { s.trans[4] = nan; })},
        {"negative weight", with([](ModSpec& s) { s.weights[2] = -1.0f; })},
        {"infinite mean", with([inf](ModSpec& s) { s.means[1] = -inf; })},
        {"negative variance", with([](ModSpec& s) { s.vars[0] = -1.0f; })},
        {"NaN variance", with([nan](ModSpec& s) { s.vars[2] = nan; })},
        {"NaN model constant", with([nan](ModSpec& s) { s.modelConst = nan; })},
        {"negative model constant", with([](ModSpec& s) { s.modelConst = -1.0f; })},
        {"variance too small to invert", with([](ModSpec& s) { s.vars[0] = 1e-45f; })},
        {"factor beyond a float", with([](ModSpec& s) { s.modelConst = 3e38f; s.vars[0] = 1e-20f; })},
    };
    ModelDir dir;
    auto model = dir.load(good);
    const std::vector<float> logTrans = model->modelLogTrans();
    const std::uint64_t generation = model->generation();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const std::string path = dir.path() + "/bad.mod";
        {
            std::ofstream f(path, std::ios::binary | std::ios::trunc);
            const std::string b = c.bytes();
            f.write(b.data(), static_cast<std::streamsize>(b.size()));
        }
        std::string name = path;
        const ModLoadReport report = model->LoadMOD(name);
        EXPECT_TRUE(report.opened);
        EXPECT_FALSE(report.loaded);
        EXPECT_FALSE(report.error.empty());
        EXPECT_EQ(model->fileLabel(), path);
        EXPECT_EQ(model->word(), "good");
        EXPECT_EQ(model->nStates(), 3);
        EXPECT_TRUE(model->modelLoaded());
        EXPECT_EQ(model->modelLogTrans(), logTrans);
        EXPECT_EQ(model->generation(), generation);
        // The same bytes given directly (what the trainer checks before it
        // writes a model) are refused by the same rule.
        const ModLoadReport direct = model->LoadModBytes(c.bytes(), "bad.mod");
        EXPECT_FALSE(direct.loaded);
        EXPECT_EQ(direct.error, report.error.substr(0, report.error.find(path)) + "bad.mod" +
                                    report.error.substr(report.error.find(path) + path.size()));
        EXPECT_EQ(model->generation(), generation);
        EXPECT_EQ(model->fileLabel(), path);
    }
    EXPECT_TRUE(model->LoadModBytes(testing::modBytes(good), "good.mod").loaded);
}

TEST(HmmModelLoad, ZeroVarianceIsSkippedWithAWarning)
{
    ModelDir dir;
    ModSpec modSpec = ModSpec::leftRight("z", 3, 1, 2);
    modSpec.var(1, 0, 1) = 0.0f;
    modSpec.mean(1, 0, 1) = 5.0f;
    std::string name = dir.write("z.mod", modSpec);
    HmmModel model;
    const ModLoadReport report = model.LoadMOD(name);
    ASSERT_TRUE(report.loaded) << report.error;
    ASSERT_EQ(report.warnings.size(), 1u);
    EXPECT_NE(report.warnings[0].find("1 zero variances"), std::string::npos) << report.warnings[0];
    EXPECT_EQ(model.modelInvCovars()[1 + 2 * 1], 0.0f);
    // The feature does not count: far from its mean, the density is that of
    // the other feature alone; the factor stays finite (1 / sqrt(0 + 1e-30)).
    const std::vector<float> frame = {0.0f, 1000.0f};
    EXPECT_EQ(model.density_function(1, 0, frame, 0), static_cast<float>(1e15 * 1.0 + 1e-30));
}

TEST(HmmModelLoad, ZeroVarianceBesideAHugeMeanScoresNoNaN)
{
    // Far from a huge mean d * d is infinite; times the zero inverse it would
    // be NaN in the density, the observation score and the Viterbi score.
    ModelDir dir;
    ModSpec modSpec = ModSpec::leftRight("h", 3, 2, 2);
    for (int s = 0; s < 3; ++s) {
        modSpec.var(s, 0, 1) = 0.0f;
        modSpec.mean(s, 0, 1) = 3e38f;
    }
    std::string name = dir.write("h.mod", modSpec);
    HmmModel model;
    ASSERT_TRUE(model.LoadMOD(name).loaded);
    const std::vector<float> frames = {0.0f, -3e38f, 0.0f, 0.0f, 0.0f, 3e38f, 0.0f, -1e38f};
    const PackedWord word = testing::packed(frames, 2);
    ObservationScores scores(word);
    auto& perModel = scores.forModel(model);
    for (std::int32_t t = 0; t < 4; ++t) {
        SCOPED_TRACE(t);
        for (std::int32_t s = 0; s < 3; ++s)
            for (std::int32_t m = 0; m < 2; ++m)
                EXPECT_FALSE(std::isnan(model.density_function(s, m, frames, t))) << s << " " << m;
        const float* b = perModel.frame(t);
        for (std::int32_t s = 0; s < 3; ++s) {
            EXPECT_FALSE(std::isnan(b[s])) << s;
            // The same steps as the density, mixture by mixture.
            float acc = model.mySMALLFLOAT();
            for (std::int32_t m = 0; m < 2; ++m)
                acc = model.modelWeights()[static_cast<std::size_t>(m + 2 * s)] *
                          model.density_function(s, m, frames, t) + acc;
            EXPECT_EQ(b[s], static_cast<float>(std::log(static_cast<double>(acc)))) << s;
        }
    }
    float score = 0.0f;
    EXPECT_EQ(MatchSequentialHMM(model, word, score, 0, false), MatchStatus::Done);
    EXPECT_FALSE(std::isnan(score));
}

TEST(HmmModelLoad, InvalidDateKeepsThePreviousOne)
{
    ModelDir dir;
    ModSpec first = ramp("d1");
    auto model = dir.load(first);
    ModSpec second = ramp("d2");
    second.month = 2;
    second.day = 30;
    std::string name = dir.write("d2.mod", second);
    EXPECT_TRUE(model->LoadMOD(name).loaded);
    EXPECT_EQ(model->word(), "d2");
    EXPECT_EQ(model->trainDate(), (TrainDate{2004, 5, 17}));
}

TEST(HmmModelLoad, ReloadReplacesEverything)
{
    ModelDir dir;
    auto model = dir.load(ramp("first"));
    const std::uint64_t generation = model->generation();
    ModSpec bigger = ModSpec::leftRight("second", 4, 2, 3);
    std::string name = dir.write("second.mod", bigger);
    EXPECT_TRUE(model->LoadMOD(name).loaded);
    EXPECT_EQ(model->word(), "second");
    EXPECT_EQ(model->nStates(), 4);
    EXPECT_EQ(model->modelMeans().size(), 4u * 2 * 3);
    EXPECT_NE(model->generation(), generation);
    // Reloaded with a 2-state model it is no longer decodable.
    std::string small = dir.write("small.mod", ModSpec::leftRight("small", 2, 1, 1));
    EXPECT_FALSE(model->LoadMOD(small).loaded);
    EXPECT_FALSE(model->modelLoaded());
}

}  // namespace
}  // namespace talvor::hmmview
