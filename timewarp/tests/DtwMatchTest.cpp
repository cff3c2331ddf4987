// The matching methods on hand-computed cases: bands, tie rules, paths and the
// batch's choice of the best reference.
#include "timewarp/DtwMatch.h"

#include <bit>
#include <gtest/gtest.h>
#include <memory>
#include <vector>

using namespace talvor::timewarp;

namespace {

using Path = std::vector<std::pair<int, int>>;

Path pathOf(const DtwTrace& t)
{
    Path p;
    for (int k = 1; k <= t.pathLength; ++k)
        p.emplace_back(t.q(k), t.p(k));
    return p;
}

// A store whose pair-match matrix is given cell by cell (rows are test frames).
std::unique_ptr<DtwWordStore> matrixStore(const std::vector<std::vector<float>>& d)
{
    auto s = std::make_unique<DtwWordStore>();
    for (std::size_t i = 0; i < d.size(); ++i)
        for (std::size_t j = 0; j < d[i].size(); ++j)
            s->trace.d(int(i) + 1, int(j) + 1) = d[i][j];
    return s;
}

// A store with one feature per frame: the current pair and, as test word 1 and
// references 1.., the same words for the batch.
std::unique_ptr<DtwWordStore> featureStore(const std::vector<float>& test, const std::vector<std::vector<float>>& refs)
{
    auto s = std::make_unique<DtwWordStore>();
    s->setNFeat(1);
    s->storeTestWord(1, {1, 0, 0, std::int16_t(test.size())}, test);
    s->testWordCount = 1;
    for (std::size_t r = 0; r < refs.size(); ++r) {
        if (refs[r].empty())
            continue;
        const WordRecord record{std::int16_t(r % 5 + 1), std::int16_t(r), std::int16_t(10 + r), std::int16_t(refs[r].size())};
        EXPECT_TRUE(s->storeReference(int(r) + 1, record, refs[r]));
    }
    s->referenceTotal = std::int16_t(refs.size());
    s->N = std::int16_t(test.size());
    for (std::size_t i = 0; i < test.size(); ++i)
        s->testVector(int(i) + 1, 1) = test[i];
    if (!refs.empty()) {
        s->M = std::int16_t(refs[0].size());
        for (std::size_t j = 0; j < refs[0].size(); ++j)
            s->refVector(int(j) + 1, 1) = refs[0][j];
    }
    return s;
}

}  // namespace

TEST(WarpBand, Table)
{
    struct Case {
        char method;
        int i, N, M, range;
        Band band;
    };
    const Case cases[] = {
        // Itakura parallelogram.
        {'I', 1, 10, 19, 0, {1, 1}},
        {'I', 5, 10, 19, 0, {9, 9}},
        {'I', 10, 10, 19, 0, {19, 19}},
        {'I', 2, 4, 3, 0, {1, 2}},
        {'I', 3, 4, 3, 0, {2, 3}},
        {'I', 4, 5, 3, 0, {2, 3}},
        // General band: centre, clamps, range 0.
        {'N', 1, 10, 19, 2, {1, 3}},
        {'N', 5, 10, 19, 2, {7, 11}},
        {'N', 10, 10, 19, 2, {17, 19}},
        {'N', 5, 10, 19, 0, {9, 9}},
        {'N', 0, 10, 19, 2, {1, 1}},    // first-row band: centre -1
        {'N', 0, 10, 30, 4, {1, 2}},    // centre -20 div 9 = -2 (towards zero), not -3
        {'N', 0, 20, 10, 3, {1, 3}},    // centre 0
        {'N', 1, 1, 5, 2, {1, 3}},      // one test frame: centre 1
        {'N', 1, 1, 5, 10, {1, 5}},
        {'N', 200, 200, 200, 10, {190, 200}},  // (M-1) i = 39800: 32-bit products
        {'N', 150, 200, 200, 10, {140, 160}},
        // Any other method leaves the band as it was.
        {'X', 3, 10, 10, 2, {7, 8}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.method << " i=" << c.i << " N=" << c.N << " M=" << c.M
                                        << " range=" << c.range);
        EXPECT_EQ(WarpBand(c.method, c.i, c.N, c.M, c.range, {7, 8}), c.band);
    }
}

TEST(PairMatch, ForbiddenValueIsThe32BitConstant)
{
    EXPECT_EQ(std::bit_cast<std::uint32_t>(kForbidden), 0x799A130Cu);
}

// Hand-computed matrices: each case pins a tie rule by a path that another
// rule would change while the score stays the same.
TEST(PairMatch, HandComputedPathsAndTies)
{
    struct Case {
        const char* name;
        char method;
        int range;
        std::vector<std::vector<float>> d;
        float distance;
        Path path;
        std::vector<std::pair<std::pair<int, int>, int>> pointers;  // (i, j) -> B(i, j)
    };
    const Case cases[] = {
        {"Itakura: a tie between j-2 and j-1 keeps j-2", 'I', 0,
         {{1, 9, 9}, {2, 2, 5}, {9, 9, 1}}, 4.0f / 3.0f,
         {{1, 1}, {2, 1}, {3, 3}},
         {{{2, 1}, 1}, {{2, 2}, 1}, {{2, 3}, 1}, {{3, 3}, 1}}},
        {"Itakura: a tie with the flat step keeps the sloped one", 'I', 0,
         {{1, 9}, {2, 2}, {9, 3}}, 2.0f,
         {{1, 1}, {2, 1}, {3, 2}},
         {{{2, 1}, 1}, {{2, 2}, 1}, {{3, 2}, 1}}},
        {"Itakura: the flat step into (3, 2) bars the flat step into (4, 2)", 'I', 0,
         {{0, 9, 9}, {1, 0, 9}, {9, 0, 9}, {9, 0, 10}, {9, 9, 0}}, 2.0f,
         {{1, 1}, {2, 2}, {3, 2}, {4, 3}, {5, 3}},
         {{{3, 2}, 2}, {{4, 3}, 2}, {{5, 3}, 3}, {{4, 2}, 0}}},
        {"general: the diagonal wins ties", 'N', 1,
         {{1, 9, 9}, {2, 2, 0}, {9, 3, 1}}, 4.0f / 3.0f,
         {{1, 1}, {2, 2}, {3, 3}},
         {{{1, 2}, kNoBackPointer},  // the first row ends at the band of i = 0
          {{2, 1}, 1}, {{2, 2}, 1}, {{2, 3}, -2}, {{3, 2}, 1}, {{3, 3}, 2}}},
        {"general: (i-1, j) wins over (i, j-1)", 'N', 2,
         {{1, 0, 9}, {0, 5, 0}, {2, 0, 1}}, 2.0f / 3.0f,
         {{1, 1}, {1, 2}, {2, 3}, {3, 3}},
         {{{1, 2}, -1}, {{2, 1}, 1}, {{2, 2}, 1}, {{2, 3}, 2}, {{3, 1}, 1}, {{3, 2}, 1}, {{3, 3}, 3}}},
        {"linear: exact integer frames", 'L', 0,
         {{1, 9, 9, 9, 9}, {9, 9, 2, 9, 9}, {9, 9, 9, 9, 3}}, 2.0f,
         {{1, 1}, {2, 3}, {3, 5}}, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        auto s = matrixStore(c.d);
        s->bandRange = std::int16_t(c.range);
        const int N = int(c.d.size()), M = int(c.d[0].size());
        // Back-pointers of cells a match does not compute read as unset.
        for (int i = 1; i <= N; ++i)
            for (int j = 1; j <= M; ++j)
                s->trace.B(i, j) = kNoBackPointer;
        float got = 0;
        if (c.method == 'I')
            got = ItakuraMatch(*s, N, M);
        else if (c.method == 'N')
            got = GeneralMatch(*s, N, M);
        else
            got = LinearMatch(*s, N, M);
        EXPECT_EQ(got, c.distance);
        EXPECT_EQ(pathOf(s->trace), c.path);
        for (const auto& [cell, b] : c.pointers)
            EXPECT_EQ(s->trace.B(cell.first, cell.second), b) << "B(" << cell.first << ", " << cell.second << ")";
    }
}

TEST(PairMatch, ItakuraGreedyIsNotTheOptimum)
{
    // Same matrix as the flat-step case above.  The best legal path is
    // (1,1) (2,1) (3,2) (4,2) (5,3) with sum 1; the greedy rule took the flat
    // step into (3, 2), which bars (4, 2), and ends with 10.
    const std::vector<std::vector<float>> d = {{0, 9, 9}, {1, 0, 9}, {9, 0, 9}, {9, 0, 10}, {9, 9, 0}};
    const Path optimum = {{1, 1}, {2, 1}, {3, 2}, {4, 2}, {5, 3}};
    float optimumSum = 0.0f;
    for (auto [i, j] : optimum)
        optimumSum += d[std::size_t(i - 1)][std::size_t(j - 1)];
    EXPECT_EQ(optimumSum, 1.0f);
    auto s = matrixStore(d);
    EXPECT_EQ(ItakuraMatch(*s, 5, 3), 2.0f);
    EXPECT_NE(pathOf(s->trace), optimum);
}

TEST(PairMatch, ItakuraLengthLimits)
{
    struct Case {
        int N, M;
        bool allowed;
    };
    const Case cases[] = {{10, 21, false}, {10, 19, true}, {10, 4, false}, {1, 1, true}, {1, 2, false}, {3, 2, true}};
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "N=" << c.N << " M=" << c.M);
        std::vector<float> test(std::size_t(c.N)), ref(std::size_t(c.M));
        for (std::size_t i = 0; i < test.size(); ++i)
            test[i] = float(i % 3);
        for (std::size_t j = 0; j < ref.size(); ++j)
            ref[j] = float(j % 4) * 0.5f;
        auto s = featureStore(test, {ref});
        s->method = 'I';
        MatchCurrentPair(*s);
        if (c.allowed) {
            EXPECT_LT(s->trace.pairDistance, kForbidden);
            EXPECT_EQ(s->trace.pathLength, c.N);
            EXPECT_EQ(s->trace.steps, c.N);
        } else {
            EXPECT_EQ(s->trace.pairDistance, double(kForbidden));
            EXPECT_EQ(s->trace.pathLength, 0);
            EXPECT_EQ(s->trace.steps, 0);
        }
        EXPECT_EQ(float(s->trace.pairDistance), ItakuraScore(*s, 1, c.N, 1, c.M));
    }
}

TEST(PairMatch, SmallAndEmptyWords)
{
    struct Case {
        const char* name;
        char method;
        int range;
        std::vector<float> test, ref;
        float distance;  // kForbidden: no path
        int steps;
    };
    const Case cases[] = {
        {"1 x 1 Itakura", 'I', 10, {2}, {5}, 3.0f, 1},
        {"1 x 1 general", 'N', 10, {2}, {5}, 3.0f, 1},
        {"1 x 1 linear", 'L', 10, {2}, {5}, 3.0f, 1},
        {"one test frame, general, M inside the band", 'N', 2, {0}, {1, 2, 3}, 6.0f, 3},
        {"one test frame, general, M outside the band", 'N', 2, {0}, {1, 2, 3, 4}, kForbidden, 0},
        {"one test frame, linear: reference frame 1", 'L', 2, {0}, {4, 2, 3, 4}, 4.0f, 1},
        {"no test frames", 'N', 10, {}, {1, 2}, kForbidden, 0},
        {"no reference frames", 'L', 10, {1, 2}, {}, kForbidden, 0},
        {"no reference frames, Itakura", 'I', 10, {1}, {}, kForbidden, 0},
        {"general, range 0 on a steep slope: unreachable", 'N', 0, {0, 0, 0}, {1, 1, 1, 1, 1, 1, 1, 1, 1, 1},
         kForbidden, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        auto s = featureStore(c.test, {c.ref});
        s->M = std::int16_t(c.ref.size());
        s->method = c.method;
        s->bandRange = std::int16_t(c.range);
        MatchCurrentPair(*s);
        EXPECT_EQ(s->trace.pairDistance, double(c.distance));
        EXPECT_EQ(s->trace.steps, c.steps);
        EXPECT_EQ(s->trace.pathLength, c.steps);
        if (c.steps > 0) {
            EXPECT_EQ(s->trace.q(1), 1);
            EXPECT_EQ(s->trace.p(1), 1);
            EXPECT_EQ(s->trace.q(c.steps), int(c.test.size()));
            EXPECT_EQ(s->trace.p(c.steps), c.method == 'L' ? 1 : int(c.ref.size()));
        }
    }
}

TEST(PairMatch, MatrixExtremesAndUnknownMethod)
{
    auto s = featureStore({0, 1, 4}, {{1, 2}});
    s->method = 'N';
    MatchCurrentPair(*s);
    EXPECT_EQ(s->trace.minimum, 0.0f);
    EXPECT_EQ(s->trace.maximum, 3.0f);
    EXPECT_EQ(s->trace.d(3, 1), 3.0f);
    const double distance = s->trace.pairDistance;
    const Path path = pathOf(s->trace);
    ASSERT_FALSE(path.empty());

    // An unknown method fills the matrix and leaves distance and path alone.
    s->N = 2;
    s->method = 'Q';
    MatchCurrentPair(*s);
    EXPECT_EQ(s->trace.maximum, 2.0f);
    EXPECT_EQ(s->trace.pairDistance, distance);
    EXPECT_EQ(pathOf(s->trace), path);
}

TEST(PairMatch, LinearPathEndsAtTheLastFrames)
{
    // (M - 1)/(N - 1) as a float, times N - 1, falls short of M - 1 here.
    std::vector<float> test(8, 0.0f), ref(32);
    for (std::size_t j = 0; j < ref.size(); ++j)
        ref[j] = float(j);
    auto s = featureStore(test, {ref});
    s->method = 'L';
    MatchCurrentPair(*s);
    ASSERT_EQ(s->trace.pathLength, 8);
    EXPECT_EQ(s->trace.p(8), 32);
    const int expected[] = {1, 5, 9, 14, 18, 23, 27, 32};  // floor((i-1) 31 / 7) + 1
    for (int i = 1; i <= 8; ++i)
        EXPECT_EQ(s->trace.p(i), expected[i - 1]) << i;
}

TEST(BatchMatch, BestReferenceTiesAndForbidden)
{
    const std::vector<float> test = {0, 1, 2, 3};
    const std::vector<float> far = {5, 5, 5, 5}, near = {0, 1, 2, 2}, tooLong(9, 0.0f);
    struct Case {
        const char* name;
        char method;
        std::vector<std::vector<float>> refs;
        int bestReference;  // 0: none
    };
    const Case cases[] = {
        {"lowest score wins", 'N', {far, near, far}, 2},
        {"equal lowest scores: the first loaded wins", 'N', {far, near, near}, 2},
        {"equal lowest scores, Itakura", 'I', {near, far, near}, 1},
        {"equal lowest scores, linear", 'L', {far, near, near, near}, 2},
        {"all forbidden", 'I', {tooLong, tooLong}, 0},
        {"none loaded", 'N', {}, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        auto s = featureStore(test, c.refs);
        s->method = c.method;
        s->currentReference = 7;
        const int label = MatchAllReferences(*s, 1);
        EXPECT_EQ(s->best.reference, c.bestReference);
        EXPECT_EQ(label, c.bestReference == 0 ? -1 : 10 + c.bestReference - 1);
        EXPECT_EQ(s->best.label, label);
        EXPECT_EQ(s->currentReference, 7);  // the caller makes the best current
        for (int r = 1; r <= int(c.refs.size()); ++r) {
            SCOPED_TRACE(r);
            const float plain = c.method == 'I' ? ItakuraScore(*s, 1, 4, r, int(c.refs[std::size_t(r - 1)].size()))
                              : c.method == 'N' ? GeneralScore(*s, 1, 4, r, int(c.refs[std::size_t(r - 1)].size()))
                                                : LinearScore(*s, 1, 4, r, int(c.refs[std::size_t(r - 1)].size()));
            EXPECT_EQ(std::bit_cast<std::uint32_t>(s->batch[std::size_t(r)].score), std::bit_cast<std::uint32_t>(plain));
            EXPECT_EQ(s->batch[std::size_t(r)].label, 10 + r - 1);
            EXPECT_EQ(s->batch[std::size_t(r)].set, (r - 1) % 5 + 1);
        }
        if (c.bestReference)
            EXPECT_EQ(s->best.score, s->batch[std::size_t(c.bestReference)].score);
        else
            EXPECT_EQ(s->best.score, kForbidden);
    }
}

TEST(BatchMatch, BestIsResetAtEveryBatch)
{
    auto s = featureStore({0, 1, 2, 3}, {{0, 1, 2, 3}, std::vector<float>(9, 0.0f)});
    s->method = 'N';
    EXPECT_EQ(MatchAllReferences(*s, 1), 10);
    EXPECT_EQ(s->best.reference, 1);
    // With no reference loaded the earlier best must not linger.
    s->referenceTotal = 0;
    EXPECT_EQ(MatchAllReferences(*s, 1), -1);
    EXPECT_EQ(s->best.reference, 0);
    EXPECT_EQ(s->best.score, kForbidden);
    // Itakura forbids the second reference; the first is still the best.
    s->referenceTotal = 2;
    s->method = 'I';
    EXPECT_EQ(MatchAllReferences(*s, 1), 10);
    EXPECT_EQ(s->batch[2].score, kForbidden);
    // An invalid test word or an unknown method scores nothing.
    const float before = s->batch[1].score;
    s->method = 'Z';
    EXPECT_EQ(MatchAllReferences(*s, 1), -1);
    EXPECT_EQ(s->batch[1].score, before);
    s->method = 'N';
    EXPECT_EQ(MatchAllReferences(*s, 0), -1);
    EXPECT_EQ(MatchAllReferences(*s, 2), -1);
}

TEST(BatchMatch, FullSizeWordsInTheLastSlots)
{
    // Reference 500 and test frame 200 with 20 features: the batch columns
    // read whole vectors up to the end of the store.
    auto s = std::make_unique<DtwWordStore>();
    s->setNFeat(kMaxFeatures);
    std::vector<float> test(std::size_t{kMaxValues}), ref(std::size_t{kMaxValues});
    for (std::size_t k = 0; k < test.size(); ++k) {
        test[k] = float(int(k * 37 % 101) - 50) * 0.01f;
        ref[k] = float(int(k * 53 % 97) - 48) * 0.01f;
    }
    ASSERT_TRUE(s->storeTestWord(kMaxTestWords, {1, 0, 0, kMaxFrames}, test));
    ASSERT_TRUE(s->storeReference(kMaxReferences, {5, 0, 3, kMaxFrames}, ref));
    s->testWordCount = kMaxTestWords;
    s->referenceTotal = kMaxReferences;
    // Fewer stored features re-read the same values with a narrower frame.
    for (int nFeat : {kMaxFeatures, 7}) {
        SCOPED_TRACE(nFeat);
        s->setNFeat(nFeat);
        const int frames = std::min(kMaxFrames, kMaxValues / nFeat);
        for (int range : {10, 400}) {
            s->bandRange = std::int16_t(range);
            EXPECT_EQ(std::bit_cast<std::uint32_t>(GeneralScoreByColumn(*s, kMaxTestWords, frames, kMaxReferences, frames)),
                      std::bit_cast<std::uint32_t>(GeneralScore(*s, kMaxTestWords, frames, kMaxReferences, frames)));
        }
        EXPECT_EQ(std::bit_cast<std::uint32_t>(ItakuraScoreByColumn(*s, kMaxTestWords, frames, kMaxReferences, frames)),
                  std::bit_cast<std::uint32_t>(ItakuraScore(*s, kMaxTestWords, frames, kMaxReferences, frames)));
    }
}
