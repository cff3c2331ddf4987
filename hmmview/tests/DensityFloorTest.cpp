// The density floor and the observation scores that take it without exp:
// the bound against the full computation at and around the threshold, and
// the scores of the core (component sums in vectors, floors skipped) against
// the plain density_function steps, bit for bit, under every instruction-set
// level this machine runs.
#include <gtest/gtest.h>

#include <array>
#include <bit>
#include <cmath>
#include <cstdint>
#include <limits>
#include <string>
#include <vector>

#include "Fixtures.h"
#include "Workload.h"
#include "common/IsaLevel.h"
#include "hmmview/Decoders.h"
#include "hmmview/DensityFloor.h"
#include "hmmview/HmmModel.h"
#include "hmmview/ObservationScores.h"
#include "hmmview_testing/PlainHmm.h"

namespace talvor::hmmview {
namespace {

using testing::ModelDir;
using testing::ModSpec;

constexpr float kInf = std::numeric_limits<float>::infinity();
const float kNaN = std::numeric_limits<float>::quiet_NaN();

// The density as the plain path computes it from a factor and a sum.
float fullDensity(float factor, float sum)
{
    return static_cast<float>(static_cast<double>(factor) * std::exp(static_cast<double>(sum) / -2.0) + 1e-30);
}

std::uint32_t bits(float v) { return std::bit_cast<std::uint32_t>(v); }

// Same bits, or both NaN (a NaN's payload may follow the operand order).
bool sameScore(float a, float b) { return bits(a) == bits(b) || (std::isnan(a) && std::isnan(b)); }

// No level forced (the sums at their own choice), then each level the
// machine supports.
std::vector<std::optional<isa::Level>> levels()
{
    return isa::chosenAndSupportedLevels();
}

TEST(DensityFloor, EverySumFromTheThresholdOnGivesTheFloorAndShortlyBelowItDoesNot)
{
    const float floor = densityFloor();
    ASSERT_EQ(floor, static_cast<float>(0.0 * 0.0 + 1e-30));
    // Factors over the whole float range, with the Gaussian constants of
    // common feature counts and the huge factor of a zero variance.
    const float factors[] = {std::numeric_limits<float>::denorm_min(), 1e-40f, 1e-30f, 3.3e-20f,
                             6.552e-8f, 2.5e-6f, 0.0634f, 1.0f, 3.7f, 1e15f, 1e30f,
                             std::numeric_limits<float>::max()};
    for (float factor : factors) {
        SCOPED_TRACE("factor " + std::to_string(factor));
        const float threshold = floorSumThreshold(factor);
        ASSERT_TRUE(std::isfinite(threshold));
        // From the threshold up: floats one by one, then by growing steps, and infinity.
        float s = threshold;
        for (int k = 0; k < 4096; ++k, s = std::nextafter(s, kInf))
            ASSERT_EQ(bits(fullDensity(factor, s)), bits(floor)) << "sum " << s;
        for (float step = 1e-3f; step < 1e6f; step *= 1.7f)
            ASSERT_EQ(bits(fullDensity(factor, threshold + step)), bits(floor)) << "sum " << threshold + step;
        EXPECT_EQ(bits(fullDensity(factor, kInf)), bits(floor));
        // Not needlessly far out: three below the threshold the exponential
        // term still shows (the bound's margin is a factor of about 2).
        EXPECT_NE(bits(fullDensity(factor, threshold - 3.0f)), bits(floor)) << "threshold " << threshold;
    }
}

TEST(DensityFloor, ZeroAndUnusableFactors)
{
    const float floor = densityFloor();
    EXPECT_EQ(floorSumThreshold(0.0f), 0.0f);
    EXPECT_EQ(floorSumThreshold(-0.0f), 0.0f);
    for (float s : {0.0f, 1e-30f, 1.0f, 1e30f, kInf})
        for (float zero : {0.0f, -0.0f})
            EXPECT_EQ(bits(fullDensity(zero, s)), bits(floor)) << s;
    // No sum compares >= NaN: these never take the floor.
    for (float factor : {-1.0f, -1e-30f, kInf, -kInf, kNaN})
        EXPECT_TRUE(std::isnan(floorSumThreshold(factor))) << factor;
}

// A model of S states, M mixtures, F features: means around 0 with spread
// `spread`, variances from 0.05 to 2, some zero when `zeros`.
ModSpec model(int S, int M, int F, unsigned seed, float spread, bool zeros, float modelConst)
{
    ModSpec m = testing::randomModel("m", S, M, F, seed);
    unsigned x = seed * 747796405u + 1u;
    auto next = [&x]() {
        x = x * 1664525u + 1013904223u;
        return static_cast<float>(x >> 8) / static_cast<float>(1u << 24);
    };
    for (float& v : m.means)
        v = spread * (2.0f * next() - 1.0f);
    for (float& v : m.vars)
        v = zeros && next() < 0.1f ? 0.0f : 0.05f + 2.0f * next();
    m.modelConst = modelConst;
    return m;
}

// Frames around the model's components (some near, most far), with a few
// extreme values.
std::vector<float> frames(const ModSpec& m, int T, unsigned seed, bool extremes)
{
    unsigned x = seed * 2891336453u + 3u;
    auto next = [&x]() {
        x = x * 1664525u + 1013904223u;
        return static_cast<float>(x >> 8) / static_cast<float>(1u << 24);
    };
    const int F = m.features, C = m.states * m.mixtures;
    std::vector<float> v;
    for (int t = 0; t < T; ++t) {
        const int c = static_cast<int>(next() * static_cast<float>(C)) % C;
        const float reach = next() < 0.5f ? 0.5f : 4.0f;
        for (int f = 0; f < F; ++f)
            v.push_back(m.means[static_cast<std::size_t>(c * F + f)] + reach * (2.0f * next() - 1.0f));
    }
    if (extremes && T >= 3) {
        v[0] = 3e38f;
        v[static_cast<std::size_t>(F)] = -kInf;
        v[static_cast<std::size_t>(2 * F)] = kNaN;
    }
    return v;
}

// The float sum of component c for frame t, as density_function adds it.
float plainSum(const HmmModel& model, int c, const std::vector<float>& values, int t)
{
    const int F = model.nParams();
    float sum = 0.0f;
    for (int f = 0; f < F; ++f) {
        const float inv = model.modelInvCovars()[static_cast<std::size_t>(c * F + f)];
        if (inv == 0.0f)
            continue;
        const float d = values[static_cast<std::size_t>(t * F + f)] - model.modelMeans()[static_cast<std::size_t>(c * F + f)];
        sum = sum + d * d * inv;
    }
    return sum;
}

struct Coverage {
    long floored = 0, computed = 0, allFloorStates = 0;
};

// Every b(j, t) of the core against the plain observation, under each level.
void expectScoresEqualPlain(const HmmModel& model, const std::vector<float>& values, Coverage* coverage)
{
    const int F = model.nParams(), S = model.nStates(), M = model.nMixtures();
    const int T = static_cast<int>(values.size()) / F;
    const PackedWord word{values, T, F};
    for (int t = 0; t < T; ++t)
        for (int s = 0; s < S; ++s) {
            int atFloor = 0;
            for (int m = 0; m < M; ++m)
                atFloor += plainSum(model, s * M + m, values, t) >= model.compiled().floorFrom[static_cast<std::size_t>(s * M + m)];
            coverage->floored += atFloor;
            coverage->computed += M - atFloor;
            coverage->allFloorStates += atFloor == M;
        }
    // Frames asked in order (computed a few at a time), and out of order:
    // every third frame first, then the rest backwards.
    std::vector<int> scrambled;
    for (int t = 0; t < T; t += 3)
        scrambled.push_back(t);
    for (int t = T - 1; t >= 0; --t)
        if (t % 3 != 0)
            scrambled.push_back(t);
    for (const std::optional<isa::Level> level : levels())
        for (bool inOrder : {true, false}) {
            isa::ScopedCeiling ceiling(level);
            ObservationScores scores(word);
            ObservationScores::ModelScores& b = scores.forModel(model);
            for (int k = 0; k < T; ++k) {
                const int t = inOrder ? k : scrambled[static_cast<std::size_t>(k)];
                const float* row = b.frame(t);
                for (int s = 0; s < S; ++s) {
                    const float expected = plain::observation(model, s, values, t);
                    ASSERT_TRUE(sameScore(row[s], expected))
                        << isa::levelName(level) << (inOrder ? "" : ", frames out of order") << ": b(" << s << ", "
                        << t << ") " << row[s] << " (bits " << bits(row[s]) << ") against " << expected << " (bits "
                        << bits(expected) << ")";
                }
            }
        }
}

TEST(ObservationScores, EqualThePlainStepsForEveryShapeAndLevel)
{
    // S x M components from 3 to 90: whole vectors, remainders and blocks
    // of four vectors at every width; 1 to 24 features.
    const int shapes[][3] = {{3, 1, 1}, {3, 2, 5}, {4, 4, 18}, {8, 4, 18}, {5, 3, 7},
                             {9, 10, 24}, {6, 5, 13}, {17, 1, 2}, {3, 30, 3}, {8, 2, 16}};
    struct Kind {
        const char* name;
        float spread;
        bool zeros, extremes;
        float modelConst;
    };
    const Kind kinds[] = {
        {"close", 1.0f, false, false, 0.0634f},
        {"spread", 6.0f, false, false, 6.552e-8f},
        {"zero variances and extreme frames", 6.0f, true, true, 0.3f},
        {"zero model constant", 4.0f, false, true, 0.0f},
    };
    ModelDir dir;
    Coverage coverage;
    unsigned seed = 1;
    for (const auto& shape : shapes)
        for (const Kind& kind : kinds) {
            SCOPED_TRACE(std::string(kind.name) + ", " + std::to_string(shape[0]) + " states, " +
                         std::to_string(shape[1]) + " mixtures, " + std::to_string(shape[2]) + " features");
            const ModSpec m = model(shape[0], shape[1], shape[2], seed, kind.spread, kind.zeros, kind.modelConst);
            auto loaded = dir.load(m);
            ASSERT_TRUE(loaded->modelLoaded());
            expectScoresEqualPlain(*loaded, frames(m, 30, seed + 100, kind.extremes), &coverage);
            ++seed;
        }
    // Both ways were taken, and whole states at the floor too.
    EXPECT_GT(coverage.floored, 1000);
    EXPECT_GT(coverage.computed, 1000);
    EXPECT_GT(coverage.allFloorStates, 100);
}

TEST(ObservationScores, EqualThePlainStepsOnTheBenchmarkWorkload)
{
    // The test-all benchmark's models (8 states, 4 mixtures, 18 features)
    // and words spoken from them, fewer of each.
    const bench::HmmWorkload work{6, 8, 4, 18, 11};
    bench::Lcg rng(5);
    Coverage coverage;
    for (int w = 0; w < 6; ++w) {
        std::vector<float> word;
        work.say(w, 150, rng, &word);
        for (const HmmModel* model : work.panes)
            expectScoresEqualPlain(*model, word, &coverage);
    }
    EXPECT_GT(coverage.floored, 0);
    EXPECT_GT(coverage.computed, 0);
    EXPECT_GT(coverage.allFloorStates, 0);
}

TEST(ObservationScores, EqualThePlainStepsAroundTheThreshold)
{
    // One feature, so sum = d * d / var: frames stepped float by float
    // across the square root of each component's threshold put the sums
    // just below, at and above it, for factors from several variances.
    ModelDir dir;
    for (float var : {1e-6f, 0.01f, 0.5f, 1.0f, 3.0f, 250.0f}) {
        for (float modelConst : {0.3989423f, 1e-20f, 2.0f}) {
            SCOPED_TRACE("variance " + std::to_string(var) + ", constant " + std::to_string(modelConst));
            ModSpec m = ModSpec::leftRight("b", 3, 2, 1);
            for (float& v : m.vars)
                v = var;
            for (int s = 0; s < 3; ++s)
                for (int k = 0; k < 2; ++k)
                    m.mean(s, k, 0) = static_cast<float>(s * 2 + k);
            m.modelConst = modelConst;
            auto loaded = dir.load(m);
            const HmmModel& model = *loaded;
            std::vector<float> values;
            int below = 0, atOrAbove = 0;
            for (int c = 0; c < 6; ++c) {
                const float threshold = model.compiled().floorFrom[static_cast<std::size_t>(c)];
                ASSERT_TRUE(std::isfinite(threshold));
                if (threshold <= 0.0f)
                    continue;
                const float d = std::sqrt(threshold * var);
                const float mean = m.means[static_cast<std::size_t>(c)];
                float x = mean + d;
                for (int k = 0; k < 40; ++k)
                    x = std::nextafter(x, -kInf);
                for (int k = 0; k < 80; ++k, x = std::nextafter(x, kInf)) {
                    values.push_back(x);
                    (plainSum(model, c, {x}, 0) >= threshold ? atOrAbove : below) += 1;
                }
            }
            if (values.empty())
                continue;
            Coverage coverage;
            expectScoresEqualPlain(model, values, &coverage);
            if (var >= 0.01f) {  // steps of x fine enough to land on both sides
                EXPECT_GT(below, 0);
                EXPECT_GT(atOrAbove, 0);
            }
        }
    }
}

TEST(ObservationScores, SequentialDecodingOverFarWordsEqualsThePlainDecoder)
{
    // Whole decodes where most components sit at the floor.
    ModelDir dir;
    unsigned seed = 40;
    for (const auto& shape : {std::array<int, 3>{8, 4, 18}, std::array<int, 3>{5, 3, 9}}) {
        const ModSpec m = model(shape[0], shape[1], shape[2], seed, 6.0f, false, 6.552e-8f);
        auto loaded = dir.load(m);
        for (const std::optional<isa::Level> level : levels()) {
            isa::ScopedCeiling ceiling(level);
            const std::vector<float> values = frames(m, 60, seed + 7, false);
            float score = 0;
            MatchSequentialHMM(*loaded, PackedWord{values, 60, shape[2]}, score, 0, false);
            EXPECT_EQ(bits(score), bits(plain::sequentialScore(*loaded, values, 60))) << isa::levelName(level);
        }
        ++seed;
    }
}

}  // namespace
}  // namespace talvor::hmmview
