#include "engine/ClassifyDtw.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <random>
#include <vector>

#include "AnalysisReference.h"

#include "common/IsaLevel.h"

namespace talvor::engine {
namespace {

constexpr float kCanary = -999.0f;

// Test and reference word arrays in the classifier's layout.
struct WordSets {
    std::vector<float> tests = std::vector<float>(std::size_t(kDtwTestWords) * kDtwMaxValues, 0.0f);
    std::vector<std::int16_t> testFrames = std::vector<std::int16_t>(kDtwTestWords, 0);
    std::vector<float> refs = std::vector<float>(std::size_t(kDtwRefWords) * kDtwMaxValues, 0.0f);
    std::vector<std::int16_t> refFrames = std::vector<std::int16_t>(kDtwRefWords, 0);
    std::vector<float> distances = std::vector<float>(kDtwRefWords, kCanary);
    std::vector<std::int16_t> order = std::vector<std::int16_t>(kDtwRefWords, -7);

    void setTest(int w, const std::vector<float>& values, int dim)
    {
        for (std::size_t v = 0; v < values.size(); ++v)
            tests[std::size_t(w) + kDtwTestWords * v] = values[v];
        testFrames[std::size_t(w)] = static_cast<std::int16_t>(values.size() / std::size_t(dim));
    }
    void setRef(int r, const std::vector<float>& values, int dim)
    {
        for (std::size_t v = 0; v < values.size(); ++v)
            refs[std::size_t(r) + kDtwRefWords * v] = values[v];
        refFrames[std::size_t(r)] = static_cast<std::int16_t>(values.size() / std::size_t(dim));
    }
    int classify(char method, int dim, int band, int testIndex, int nRefs)
    {
        return classifyWordDtw(method, dim, band, testIndex, tests, testFrames, nRefs, refs, refFrames, distances,
                               order);
    }
};

std::vector<float> randomWord(std::mt19937& rng, int frames, int dim)
{
    std::uniform_real_distribution<float> dist(-3.0f, 3.0f);
    std::vector<float> w(std::size_t(frames * dim));
    for (auto& v : w)
        v = dist(rng);
    return w;
}

TEST(EngineDtw, HandComputedThreeByThree)
{
    // One coefficient per frame: test 0 4 1, reference 0 1 5.
    //   d(i, j):  i=1: 0 1 5   i=2: 4 3 1   i=3: 1 0 4
    const std::vector<float> test = {0, 4, 1};
    const std::vector<float> ref = {0, 1, 5};
    struct Case {
        const char* name;
        char method;
        int band;
        float expected;
    };
    const Case cases[] = {
        // (1,1) (2,3) (3,3): the reference frame kept once: 0 + 1 + 4.
        {"Itakura", 'I', 0, 5.0f / 3.0f},
        // The first column reaches frame 1 only: (1,1) (2,1) (2,2) (3,2) (3,3).. cheapest 0+3+0+4.
        {"band 1", 'N', 1, 7.0f / 3.0f},
        // Band 2 opens (1,2): (1,1) (1,2) (2,3) (3,3)... 0+1+1+4.
        {"band 2", 'N', 2, 6.0f / 3.0f},
        // The diagonal: 0 + 3 + 4.
        {"linear", 'L', 0, 7.0f / 3.0f},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        float got = 0.0f;
        if (c.method == 'I')
            got = dtwItakura(test.data(), 3, ref.data(), 3, 1);
        else if (c.method == 'N')
            got = dtwGeneral(test.data(), 3, ref.data(), 3, 1, c.band);
        else
            got = dtwLinear(test.data(), 3, ref.data(), 3, 1);
        EXPECT_FLOAT_EQ(got, c.expected);

        WordSets sets;
        sets.setTest(4, test, 1);
        sets.setRef(0, ref, 1);
        EXPECT_EQ(sets.classify(c.method, 1, c.band, 5, 1), 1);
        EXPECT_FLOAT_EQ(sets.distances[0], c.expected);
        EXPECT_EQ(sets.order[0], 0);
    }
}

TEST(EngineDtw, ItakuraKeepsAReferenceFrameAtMostOnceInARow)
{
    // Test 5 0 0 0 5 against reference 5 0 5: the free path (1,1) (2,2)
    // (3,2) (4,2) (5,3) would cost 0 but keeps frame 2 twice in a row; the
    // best allowed paths keep it once and pay 5 once.
    const std::vector<float> test = {5, 0, 0, 0, 5};
    const std::vector<float> ref = {5, 0, 5};
    EXPECT_FLOAT_EQ(dtwItakura(test.data(), 5, ref.data(), 3, 1), 5.0f / 5.0f);
    EXPECT_FLOAT_EQ(reference::itakuraMatrix(test.data(), 5, ref.data(), 3, 1), 5.0f / 5.0f);
    // N = 10 against M = 25 cannot be aligned.
    const std::vector<float> ten(10, 0.0f), twentyFive(25, 0.0f);
    EXPECT_EQ(dtwItakura(ten.data(), 10, twentyFive.data(), 25, 1), kDtwUnreachable);
}

TEST(EngineDtw, ColumnRecursionsMatchFullMatrixOnRandomWords)
{
    std::mt19937 rng(42);
    std::uniform_int_distribution<int> frames(1, 40);
    std::uniform_int_distribution<int> dims(1, 4);
    std::uniform_int_distribution<int> bands(0, 8);
    int reachable = 0;
    for (int round = 0; round < 600; ++round) {
        const int n = frames(rng);
        const int m = frames(rng);
        const int dim = dims(rng);
        const int band = bands(rng);
        SCOPED_TRACE(testing::Message() << "N " << n << " M " << m << " dim " << dim << " band " << band);
        const auto t = randomWord(rng, n, dim);
        const auto r = randomWord(rng, m, dim);
        const float it = dtwItakura(t.data(), n, r.data(), m, dim);
        ASSERT_EQ(it, reference::itakuraMatrix(t.data(), n, r.data(), m, dim));
        const float gen = dtwGeneral(t.data(), n, r.data(), m, dim, band);
        ASSERT_EQ(gen, reference::generalMatrix(t.data(), n, r.data(), m, dim, band));
        reachable += (it < kDtwUnreachable) + (gen < kDtwUnreachable);
    }
    EXPECT_GT(reachable, 600);  // the comparison covered real paths, not only refusals
}

TEST(EngineDtw, BandLimits)
{
    struct Case {
        char method;
        int i, n, m, band;
        int low, high;
    };
    const Case cases[] = {
        {'I', 1, 10, 12, 0, 1, 1},
        {'I', 5, 10, 12, 0, 3, 9},
        {'I', 10, 10, 12, 0, 12, 12},
        {'N', 1, 10, 19, 3, 1, 4},
        {'N', 10, 10, 19, 3, 16, 19},
        {'N', 0, 10, 30, 5, 1, 3},       // centre (30 - 10... = -20 / 9 = -2): the first column's limits
        {'N', 1, 1, 20, 4, 1, 5},        // one test frame: centre 1
        {'N', 300, 300, 3000, 5, 2995, 3000},  // products beyond 16 bits
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.method << " i " << c.i << " N " << c.n << " M " << c.m);
        const BandLimits b = bandLimits(c.method, c.i, c.n, c.m, c.band);
        EXPECT_EQ(b.low, c.low);
        EXPECT_EQ(b.high, c.high);
    }
}

TEST(EngineDtw, OneTestFrame)
{
    const std::vector<float> test = {2};
    const std::vector<float> ref = {2, 3, 5};
    // Band: centre 1, the first column accumulates up to frame M.
    EXPECT_FLOAT_EQ(dtwGeneral(test.data(), 1, ref.data(), 3, 1, 2), 0.0f + 1.0f + 3.0f);
    EXPECT_EQ(dtwGeneral(test.data(), 1, ref.data(), 3, 1, 1), kDtwUnreachable);
    // Linear: slope 0, the single frame meets reference frame 1.
    EXPECT_FLOAT_EQ(dtwLinear(test.data(), 1, ref.data(), 3, 1), 0.0f);
    const std::vector<float> other = {7};
    EXPECT_FLOAT_EQ(dtwLinear(other.data(), 1, ref.data(), 3, 1), 5.0f);
}

TEST(ClassifyWordDtw, ReadsTheLayoutAndRanksReferences)
{
    std::mt19937 rng(3);
    WordSets sets;
    const int dim = 3;
    const auto test = randomWord(rng, 12, dim);
    sets.setTest(49, test, dim);  // the last test word
    std::vector<std::vector<float>> refs;
    for (int r = 0; r < 6; ++r) {
        refs.push_back(randomWord(rng, 9 + r, dim));
        sets.setRef(r, refs.back(), dim);
    }
    // Reference 3 is the test word itself, slightly changed.
    refs[3] = test;
    refs[3][0] += 0.01f;
    sets.setRef(3, refs[3], dim);
    for (const char method : {'I', 'N', 'L'}) {
        SCOPED_TRACE(method);
        std::fill(sets.distances.begin(), sets.distances.end(), kCanary);
        EXPECT_EQ(sets.classify(method, dim, 4, 50, 6), 4);
        for (int r = 0; r < 6; ++r) {
            const int m = int(refs[std::size_t(r)].size()) / dim;
            const float* t = test.data();
            const float* q = refs[std::size_t(r)].data();
            const float expected = method == 'I'   ? dtwItakura(t, 12, q, m, dim)
                                   : method == 'N' ? dtwGeneral(t, 12, q, m, dim, 4)
                                                   : dtwLinear(t, 12, q, m, dim);
            EXPECT_EQ(sets.distances[std::size_t(r)], expected) << r;
            EXPECT_EQ(sets.order[std::size_t(r)], r);
        }
        EXPECT_EQ(sets.distances[6], kCanary);
    }
}

TEST(ClassifyWordDtw, TiesNoMatchAndUnknownMethod)
{
    WordSets sets;
    sets.setTest(0, {1, 2, 3, 4}, 1);
    sets.setRef(0, {9, 9, 9, 9}, 1);
    sets.setRef(1, {1, 2, 3, 4}, 1);
    sets.setRef(2, {1, 2, 3, 4}, 1);
    EXPECT_EQ(sets.classify('N', 1, 3, 1, 3), 2);  // equal distances keep the first
    EXPECT_EQ(sets.classify('X', 1, 3, 1, 3), 1);  // any other letter: distance 0 everywhere
    EXPECT_EQ(sets.distances[0], 0.0f);
    EXPECT_EQ(sets.distances[2], 0.0f);

    EXPECT_EQ(sets.classify('N', 1, 3, 1, 0), 0);  // no reference: no match
    // 10 test frames against 25: the Itakura constraints cannot align them.
    sets.setTest(1, std::vector<float>(10, 1.0f), 1);
    sets.setRef(0, std::vector<float>(25, 1.0f), 1);
    sets.setRef(1, std::vector<float>(30, 1.0f), 1);
    EXPECT_EQ(sets.classify('I', 1, 0, 2, 2), 0);
    EXPECT_EQ(sets.distances[0], kDtwUnreachable);
    EXPECT_EQ(sets.distances[1], kDtwUnreachable);
    // A band too narrow to reach the end: no match either.
    sets.setRef(0, std::vector<float>(100, 1.0f), 1);
    EXPECT_EQ(sets.classify('N', 1, 1, 2, 1), 0);
}

TEST(ClassifyWordDtw, NegativeBandReachesNothing)
{
    // A negative band puts the low limit above the high one, in the end past
    // the last reference frame: no cell is reachable and none is written
    // outside the cost column.
    std::mt19937 rng(11);
    for (const int band : {-1, -5, -3000}) {
        SCOPED_TRACE(band);
        const auto t = randomWord(rng, 10, 2);
        const auto r = randomWord(rng, 12, 2);
        EXPECT_EQ(dtwGeneral(t.data(), 10, r.data(), 12, 2, band), kDtwUnreachable);
        WordSets sets;
        sets.setTest(0, t, 2);
        sets.setRef(0, r, 2);
        EXPECT_EQ(sets.classify('N', 2, band, 1, 1), 0);
        EXPECT_EQ(sets.distances[0], kDtwUnreachable);
    }
}

TEST(ClassifyWordDtw, ArgumentsOutsideTheLayoutAreRefused)
{
    struct Case {
        const char* name;
        int dim, testIndex, nRefs;
        int testFrames, refFrames;
    };
    const Case cases[] = {
        {"test index 0", 2, 0, 2, 5, 5},
        {"test index 51", 2, 51, 2, 5, 5},
        {"251 references", 2, 1, 251, 5, 5},
        {"negative reference count", 2, 1, -1, 5, 5},
        {"dim 0", 0, 1, 2, 5, 5},
        {"test frames 0", 2, 1, 2, 0, 5},
        {"reference frames 0", 2, 1, 2, 5, 0},
        {"test word over 3000 values", 20, 1, 2, 151, 5},
        {"reference over 3000 values", 20, 1, 2, 5, 151},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        WordSets sets;
        std::fill(sets.testFrames.begin(), sets.testFrames.end(), static_cast<std::int16_t>(c.testFrames));
        std::fill(sets.refFrames.begin(), sets.refFrames.end(), static_cast<std::int16_t>(c.refFrames));
        EXPECT_EQ(sets.classify('N', c.dim, 3, c.testIndex, c.nRefs), -1);
        EXPECT_TRUE(std::all_of(sets.distances.begin(), sets.distances.end(), [](float d) { return d == kCanary; }));
        EXPECT_TRUE(std::all_of(sets.order.begin(), sets.order.end(), [](std::int16_t o) { return o == -7; }));
    }
    // Arrays smaller than the words they must hold.
    WordSets sets;
    sets.setTest(0, {1, 2, 3}, 1);
    sets.setRef(0, {1, 2, 3}, 1);
    std::vector<float> shortRefs(250 * 2);  // reference 0 needs 250 x 2 + 1 values
    EXPECT_EQ(classifyWordDtw('N', 1, 3, 1, sets.tests, sets.testFrames, 1, shortRefs, sets.refFrames,
                              sets.distances, sets.order),
              -1);
    EXPECT_EQ(sets.distances[0], kCanary);
}

TEST(ClassifyWordDtw, FastPathGivesThePlainRecursionsBitsAtEveryLevel)
{
    // The classifier runs its columns in wide kernels of the machine's
    // level, several references in lockstep for the band method; every
    // distance must be the one of the plain column recursions, bit for bit,
    // and the ranking the first of the smallest.
    struct Case {
        const char* name;
        int n, dim, band;
        int mLow, mHigh;  // reference frame counts
        int refs;
        float scale;      // values uniform in -scale..scale; 0: only the values 0 and 1
    };
    const Case cases[] = {
        {"one test frame", 1, 1, 0, 1, 3, 5, 3.0f},
        {"two test frames", 2, 3, 1, 1, 4, 6, 3.0f},
        {"short words, no band", 17, 2, 0, 8, 34, 9, 3.0f},
        {"band 3", 40, 5, 3, 15, 85, 17, 3.0f},
        {"the typical batch", 100, 20, 10, 80, 120, 12, 3.0f},
        {"a band wider than the words", 120, 12, 200, 55, 245, 9, 3.0f},
        {"sixteen coefficients", 64, 16, 7, 30, 130, 16, 1.0f},
        {"odd dimension, narrow references", 50, 7, 2, 10, 30, 8, 3.0f},
        {"negative band", 33, 4, -1, 20, 40, 3, 3.0f},
        {"sums that overflow", 50, 20, 10, 40, 90, 10, 3e18f},
        {"many equal distances", 30, 3, 5, 15, 60, 25, 0.0f},
        {"longest words", 150, 20, 30, 100, 150, 4, 3.0f},
        // Groups of references side by side: full ones, a narrower last one,
        // lanes whose Itakura band dies early or never opens beside live ones.
        {"forty references, lengths far apart", 60, 12, 6, 20, 140, 40, 3.0f},
        {"seventeen references", 45, 6, 4, 30, 70, 17, 3.0f},
        {"a full layout", 30, 4, 3, 10, 60, kDtwRefWords, 3.0f},
    };
    const char methods[] = {'I', 'N', 'L'};
    // No level forced (each method at its own choice), then each level.
    const std::vector<std::optional<isa::Level>> levels = isa::chosenAndSupportedLevels();
    const auto bits = [](float v) {
        std::uint32_t b;
        std::memcpy(&b, &v, sizeof b);
        return b;
    };
    for (const Case& c : cases) {
        for (std::uint32_t seed = 1; seed <= 2; ++seed) {
            std::mt19937 rng(seed * 7919u + static_cast<std::uint32_t>(c.n));
            std::uniform_int_distribution<int> frameCount(c.mLow, c.mHigh);
            std::uniform_real_distribution<float> value(-c.scale, c.scale);
            std::uniform_int_distribution<int> bit(0, 1);
            const auto word = [&](int frames) {
                std::vector<float> w(std::size_t(frames) * std::size_t(c.dim));
                for (auto& v : w)
                    v = c.scale > 0.0f ? value(rng) : static_cast<float>(bit(rng));
                return w;
            };
            WordSets sets;
            const std::vector<float> test = word(c.n);
            sets.setTest(3, test, c.dim);
            std::vector<std::vector<float>> refs;
            for (int r = 0; r < c.refs; ++r) {
                // Every fourth reference repeats the one before it: equal
                // distances, the first of them wins.
                refs.push_back(r % 4 == 3 ? refs.back() : word(frameCount(rng)));
                sets.setRef(r, refs.back(), c.dim);
            }
            for (char method : methods) {
                std::vector<float> plain;
                for (const auto& ref : refs) {
                    const int m = static_cast<int>(ref.size()) / c.dim;
                    plain.push_back(method == 'I'   ? dtwItakura(test.data(), c.n, ref.data(), m, c.dim)
                                    : method == 'N' ? dtwGeneral(test.data(), c.n, ref.data(), m, c.dim, c.band)
                                                    : dtwLinear(test.data(), c.n, ref.data(), m, c.dim));
                }
                int expectedBest = 0;
                for (int r = 0; r < c.refs; ++r) {
                    if (plain[std::size_t(r)] < (expectedBest ? plain[std::size_t(expectedBest - 1)] : kDtwUnreachable))
                        expectedBest = r + 1;
                }
                for (const std::optional<isa::Level> level : levels) {
                    const isa::ScopedCeiling ceiling(level);
                    SCOPED_TRACE(std::string(c.name) + ", seed " + std::to_string(seed) + ", method " + method +
                                 ", " + isa::levelName(level));
                    std::fill(sets.distances.begin(), sets.distances.end(), kCanary);
                    std::fill(sets.order.begin(), sets.order.end(), std::int16_t{-7});
                    ASSERT_EQ(sets.classify(method, c.dim, c.band, 4, c.refs), expectedBest);
                    for (int r = 0; r < c.refs; ++r) {
                        ASSERT_EQ(bits(sets.distances[std::size_t(r)]), bits(plain[std::size_t(r)]))
                            << "reference " << r << ": " << sets.distances[std::size_t(r)] << " against "
                            << plain[std::size_t(r)];
                        ASSERT_EQ(sets.order[std::size_t(r)], r);
                    }
                    if (c.refs < kDtwRefWords) {
                        EXPECT_EQ(sets.distances[std::size_t(c.refs)], kCanary);
                    }
                }
            }
        }
    }
}

TEST(ClassifyWordDtw, ALayoutEndingAfterItsLastWordGivesTheSameDistances)
{
    // The classifier may read a layout row past a shorter reference's last
    // frame; a layout just long enough for its words gives the same result
    // as the full one at every level.
    std::mt19937 rng(5);
    constexpr int dim = 3, n = 40, refs = 20;
    WordSets sets;
    sets.setTest(0, randomWord(rng, n, dim), dim);
    std::uniform_int_distribution<int> frames(25, 60);
    int needed = 0;
    for (int r = 0; r < refs; ++r) {
        const int m = r == refs - 1 ? 70 : frames(rng);
        sets.setRef(r, randomWord(rng, m, dim), dim);
        needed = std::max(needed, r + kDtwRefWords * (m * dim - 1) + 1);
    }
    const std::vector<float> shortRefs(sets.refs.begin(), sets.refs.begin() + needed);
    for (char method : {'I', 'N'}) {
        sets.classify(method, dim, 8, 1, refs);
        const std::vector<float> full(sets.distances.begin(), sets.distances.begin() + refs);
        for (isa::Level level : isa::kAllLevels) {
            if (static_cast<int>(level) > static_cast<int>(isa::supportedLevel()))
                continue;
            const isa::ScopedCeiling ceiling(level);
            SCOPED_TRACE(std::string("method ") + method + ", " + isa::levelName(level));
            std::vector<float> distances(refs, kCanary);
            std::vector<std::int16_t> order(refs, -7);
            ASSERT_GE(classifyWordDtw(method, dim, 8, 1, sets.tests, sets.testFrames, refs, shortRefs, sets.refFrames,
                                      distances, order),
                      1);
            for (int r = 0; r < refs; ++r)
                EXPECT_EQ(std::memcmp(&distances[std::size_t(r)], &full[std::size_t(r)], sizeof(float)), 0)
                    << "reference " << r;
        }
    }
}

TEST(LocalDistance, SquaredDistancesInRowsOf200)
{
    // Two test frames and three reference frames, 20 floats apart, dim 2.
    std::vector<float> test(40, 0.0f), ref(60, 0.0f);
    test[0] = 1;
    test[1] = 2;  // frame 0: (1, 2)
    test[20] = 4;
    test[21] = 6;  // frame 1: (4, 6)
    test[2] = 100;  // beyond dim: ignored
    ref[0] = 1;
    ref[1] = 2;  // (1, 2)
    ref[20] = 0;
    ref[21] = 0;  // (0, 0)
    ref[40] = 4;
    ref[41] = 2;  // (4, 2)
    std::vector<float> matrix(200 * 3, kCanary);
    float mn = 0, mx = 0;
    ASSERT_EQ(localDistance(test, ref, 2, 3, 2, matrix, mn, mx), 0);
    EXPECT_EQ(matrix[0], 0.0f);
    EXPECT_EQ(matrix[1], 9.0f + 16.0f);
    EXPECT_EQ(matrix[200], 1.0f + 4.0f);
    EXPECT_EQ(matrix[201], 16.0f + 36.0f);
    EXPECT_EQ(matrix[400], 9.0f + 0.0f);
    EXPECT_EQ(matrix[401], 0.0f + 16.0f);
    EXPECT_EQ(matrix[2], kCanary);
    EXPECT_EQ(mn, 0.0f);
    EXPECT_EQ(mx, 52.0f);
}

TEST(LocalDistance, RefusesTestWordsOver200FramesAndShortArrays)
{
    std::vector<float> test(20 * 201, 1.0f), ref(20 * 2, 0.0f), matrix(200 * 2 + 1, kCanary);
    float mn = 5, mx = 5;
    EXPECT_EQ(localDistance(test, ref, 201, 2, 20, matrix, mn, mx), -1);
    EXPECT_EQ(localDistance(test, ref, 200, 3, 20, matrix, mn, mx), -1);  // reference array too short
    EXPECT_EQ(localDistance(test, ref, 10, 2, 21, matrix, mn, mx), -1);   // dim beyond the frame
    EXPECT_TRUE(std::all_of(matrix.begin(), matrix.end(), [](float v) { return v == kCanary; }));
    EXPECT_EQ(mn, 5.0f);
    EXPECT_EQ(mx, 5.0f);
    ASSERT_EQ(localDistance(test, ref, 200, 2, 20, matrix, mn, mx), 0);
    EXPECT_EQ(matrix[399], 20.0f);
    EXPECT_EQ(matrix[400], kCanary);
    // No frame pair: the start values come back and the matrix stays as it was.
    std::fill(matrix.begin(), matrix.end(), kCanary);
    ASSERT_EQ(localDistance(test, ref, 200, 0, 20, matrix, mn, mx), 0);
    EXPECT_EQ(mn, kDtwUnreachable);
    EXPECT_EQ(mx, 0.0f);
    EXPECT_TRUE(std::all_of(matrix.begin(), matrix.end(), [](float v) { return v == kCanary; }));
}

TEST(MakePrData, PacksMaskedCoefficientsWordAfterWord)
{
    // Source frame f holds 100 f + c in coefficient c.
    std::vector<float> source(20 * 20);
    for (int f = 0; f < 20; ++f)
        for (int c = 0; c < 20; ++c)
            source[std::size_t(f * 20 + c)] = float(100 * f + c);
    std::array<std::int32_t, 20> mask{};
    mask[0] = 1;
    mask[19] = -1;
    const std::vector<std::int32_t> counts = {2, 3};
    std::vector<float> out(11, kCanary);
    ASSERT_EQ(makePrData(source, out, 2, mask, counts), 0);
    const std::vector<float> expected = {1000, 1019, 1100, 1119,                       // word 0: frames 10, 11
                                         1200, 1219, 1300, 1319, 1400, 1419, kCanary};  // word 1: frames 12..14
    EXPECT_EQ(out, expected);

    std::vector<float> small(9, kCanary);
    EXPECT_EQ(makePrData(source, small, 2, mask, counts), -1);
    EXPECT_TRUE(std::all_of(small.begin(), small.end(), [](float v) { return v == kCanary; }));
    std::vector<float> shortSource(20 * 14);
    EXPECT_EQ(makePrData(shortSource, out, 2, mask, counts), -1);  // word 1 ends in frame 14
}

}  // namespace
}  // namespace talvor::engine
