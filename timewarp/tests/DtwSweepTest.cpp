// The three methods over a sweep of lengths, band ranges, feature counts and
// seeded random words: legal paths, scores equal to the float sum along the
// path, the pair match equal to every batch form bit for bit, the Itakura
// column recurrence equal to a whole-matrix form of the same greedy rule, and
// the general method with a band covering everything equal to the minimum over
// all paths; the batch match and the single-reference column forms equal to the
// plain recurrence at every instruction-set level the machine runs.
#include <algorithm>
#include <bit>
#include <cmath>
#include <functional>
#include <gtest/gtest.h>
#include <memory>
#include <random>
#include <vector>

#include "common/IsaLevel.h"
#include "timewarp/DtwMatch.h"

using namespace talvor::timewarp;
namespace isa = talvor::isa;

namespace {

std::uint32_t bits(float x)
{
    return std::bit_cast<std::uint32_t>(x);
}

struct Words {
    int nFeat;
    std::vector<float> test;               // N x nFeat
    std::vector<std::vector<float>> refs;  // M_r x nFeat
};

Words randomWords(std::mt19937& rng, int nFeat, int N, std::vector<int> Ms, bool coarse)
{
    // Coarse values (a few integers) make many equal distances, so the tie
    // rules are exercised; fine values make every sum round.
    auto value = [&] {
        if (coarse)
            return float(int(rng() % 3) - 1);
        return float(int(rng() % 20001) - 10000) * 0.000731f;
    };
    Words w{nFeat, {}, {}};
    for (int k = 0; k < N * nFeat; ++k)
        w.test.push_back(value());
    for (int M : Ms) {
        std::vector<float> r;
        for (int k = 0; k < M * nFeat; ++k)
            r.push_back(value());
        w.refs.push_back(std::move(r));
    }
    return w;
}

std::unique_ptr<DtwWordStore> storeOf(const Words& w)
{
    auto s = std::make_unique<DtwWordStore>();
    s->setNFeat(w.nFeat);
    const int N = w.nFeat ? int(w.test.size()) / w.nFeat : 0;
    EXPECT_TRUE(s->storeTestWord(1, {1, 1, 0, std::int16_t(N)}, w.test));
    s->testWordCount = 1;
    for (std::size_t r = 0; r < w.refs.size(); ++r) {
        const int M = int(w.refs[r].size()) / w.nFeat;
        EXPECT_TRUE(s->storeReference(int(r) + 1, {1, std::int16_t(r), std::int16_t(r), std::int16_t(M)}, w.refs[r]));
    }
    s->referenceTotal = std::int16_t(w.refs.size());
    // The current pair: test word 1 and reference 1.
    s->N = std::int16_t(N);
    s->M = std::int16_t(w.refs[0].size() / std::size_t(w.nFeat));
    for (int i = 1; i <= s->N; ++i)
        for (int f = 1; f <= w.nFeat; ++f)
            s->testVector(i, f) = w.test[std::size_t((i - 1) * w.nFeat + f - 1)];
    for (int j = 1; j <= s->M; ++j)
        for (int f = 1; f <= w.nFeat; ++f)
            s->refVector(j, f) = w.refs[0][std::size_t((j - 1) * w.nFeat + f - 1)];
    return s;
}

// The Itakura greedy rule over whole matrices of costs and flat-step flags:
// cells outside the parallelogram are impossible.
float itakuraWholeMatrix(const DtwTrace& t, int N, int M)
{
    if (N > 2 * M || M > 2 * N - 1)
        return kForbidden;
    std::vector<std::vector<float>> D(std::size_t(N + 1), std::vector<float>(std::size_t(M + 1), kForbidden));
    std::vector<std::vector<bool>> H(std::size_t(N + 1), std::vector<bool>(std::size_t(M + 1), false));
    auto prev = [&](int i, int j) { return j >= 1 ? D[std::size_t(i)][std::size_t(j)] : kForbidden; };
    D[1][1] = t.d(1, 1);
    for (int i = 2; i <= N; ++i) {
        const Band b = WarpBand('I', i, N, M, 0);
        for (int j = b.lo; j <= b.hi; ++j) {
            float best = prev(i - 1, j - 2);
            if (prev(i - 1, j - 2) > prev(i - 1, j - 1))
                best = prev(i - 1, j - 1);
            if (!H[std::size_t(i - 1)][std::size_t(j)] && prev(i - 1, j) < best) {
                H[std::size_t(i)][std::size_t(j)] = true;
                best = prev(i - 1, j);
            }
            D[std::size_t(i)][std::size_t(j)] = best + t.d(i, j);
        }
    }
    const float end = D[std::size_t(N)][std::size_t(M)];
    return end < kForbidden ? end / float(N) : kForbidden;
}

// The least float sum over all paths of steps (1,1), (1,0), (0,1) from (1,1)
// to (N,M), each sum taken in path order: by enumeration for small words, by
// the whole-matrix recurrence otherwise (rounding is monotone, so the least
// running sum into a cell plus d is the least sum through it).
float generalMinimum(const DtwTrace& t, int N, int M)
{
    if (N <= 6 && M <= 6) {
        float best = kForbidden;
        std::function<void(int, int, float)> walk = [&](int i, int j, float sum) {
            if (i == N && j == M) {
                best = std::min(best, sum);
                return;
            }
            if (i < N && j < M)
                walk(i + 1, j + 1, sum + t.d(i + 1, j + 1));
            if (i < N)
                walk(i + 1, j, sum + t.d(i + 1, j));
            if (j < M)
                walk(i, j + 1, sum + t.d(i, j + 1));
        };
        walk(1, 1, t.d(1, 1));
        return best / float(N);
    }
    std::vector<std::vector<float>> D(std::size_t(N + 1), std::vector<float>(std::size_t(M + 1), kForbidden));
    for (int i = 1; i <= N; ++i)
        for (int j = 1; j <= M; ++j) {
            if (i == 1 && j == 1) {
                D[1][1] = t.d(1, 1);
                continue;
            }
            const float m = std::min({D[std::size_t(i - 1)][std::size_t(j - 1)], D[std::size_t(i - 1)][std::size_t(j)],
                                      D[std::size_t(i)][std::size_t(j - 1)]});
            D[std::size_t(i)][std::size_t(j)] = m + t.d(i, j);
        }
    return D[std::size_t(N)][std::size_t(M)] / float(N);
}

void checkPath(const DtwWordStore& s, char method, int N, int M, float distance)
{
    const DtwTrace& t = s.trace;
    if (distance == kForbidden) {
        EXPECT_EQ(t.pathLength, 0);
        EXPECT_EQ(t.steps, 0);
        return;
    }
    const int L = t.pathLength;
    ASSERT_GE(L, 1);
    EXPECT_EQ(t.steps, L);
    EXPECT_EQ(t.q(1), 1);
    EXPECT_EQ(t.p(1), 1);
    EXPECT_EQ(t.q(L), N);
    // A one-frame test word is warped linearly onto reference frame 1.
    EXPECT_EQ(t.p(L), method == 'L' && N == 1 ? 1 : M);
    if (method == 'N') {
        EXPECT_GE(L, std::max(N, M));
        EXPECT_LE(L, N + M - 1);
    } else {
        EXPECT_EQ(L, N);
    }
    float sum = t.d(t.q(1), t.p(1));
    bool lastFlat = false;
    for (int k = 2; k <= L; ++k) {
        const int di = t.q(k) - t.q(k - 1), dj = t.p(k) - t.p(k - 1);
        const int i = t.q(k), j = t.p(k);
        sum = sum + t.d(i, j);
        if (method == 'N') {
            EXPECT_TRUE((di == 1 && dj == 1) || (di == 1 && dj == 0) || (di == 0 && dj == 1)) << "step " << k;
            const Band b = WarpBand('N', i, N, M, s.bandRange);
            if (i >= 2) {
                EXPECT_TRUE(j >= b.lo && j <= b.hi) << "point " << k << " outside the band";
            }
        } else if (method == 'I') {
            EXPECT_EQ(di, 1);
            EXPECT_TRUE(dj >= 0 && dj <= 2) << "step " << k;
            EXPECT_FALSE(lastFlat && dj == 0) << "two flat steps in a row at " << k;
            lastFlat = dj == 0;
            const Band b = WarpBand('I', i, N, M, 0);
            EXPECT_TRUE(j >= b.lo && j <= b.hi) << "point " << k << " outside the parallelogram";
        } else {
            EXPECT_EQ(di, 1);
            EXPECT_GE(dj, 0);
        }
    }
    EXPECT_EQ(bits(distance), bits(sum / float(N))) << "the score is the path's float sum over N";
}

float plainScore(DtwWordStore& s, char method, int r, int N, int M)
{
    switch (method) {
    case 'I': return ItakuraScore(s, 1, N, r, M);
    case 'N': return GeneralScore(s, 1, N, r, M);
    default: return LinearScore(s, 1, N, r, M);
    }
}

float columnScore(DtwWordStore& s, char method, int r, int N, int M)
{
    switch (method) {
    case 'I': return ItakuraScoreByColumn(s, 1, N, r, M);
    case 'N': return GeneralScoreByColumn(s, 1, N, r, M);
    default: return LinearScoreByColumn(s, 1, N, r, M);
    }
}

}  // namespace

TEST(DtwSweep, PathsScoresAndEveryFormAgree)
{
    std::mt19937 rng(20261210);
    int forbidden[3] = {0, 0, 0}, allowed[3] = {0, 0, 0};
    const char methods[] = {'I', 'N', 'L'};
    for (int round = 0; round < 240; ++round) {
        // Lengths: short ones often, up to the 200-frame limit now and then.
        auto length = [&] { return round % 4 == 0 ? 1 + int(rng() % 200) : 1 + int(rng() % 24); };
        const int N = length();
        std::vector<int> Ms = {length(), length(), length()};
        if (round % 5 == 1)
            Ms[0] = std::clamp(N + int(rng() % 5) - 2, 1, 200);  // near the diagonal
        const int nFeat = round % 11 == 3 ? 0 : 1 + int(rng() % 20);
        const bool coarse = round % 3 == 0;
        const Words words = randomWords(rng, std::max(nFeat, 1), N, Ms, coarse);
        auto s = storeOf(words);
        s->setNFeat(nFeat);
        s->bandRange = std::int16_t(rng() % 4 == 0 ? 0 : rng() % 30);
        for (int m = 0; m < 3; ++m) {
            const char method = methods[m];
            SCOPED_TRACE(testing::Message() << "round " << round << " method " << method << " N=" << N << " M="
                                            << Ms[0] << " nFeat=" << nFeat << " range=" << s->bandRange);
            s->method = method;
            MatchCurrentPair(*s);
            const float distance = float(s->trace.pairDistance);
            (distance == kForbidden ? forbidden : allowed)[m]++;
            checkPath(*s, method, N, Ms[0], distance);
            if (method == 'I') {
                EXPECT_EQ(bits(distance), bits(itakuraWholeMatrix(s->trace, N, Ms[0])));
            }

            // The batch scores every reference as the plain recurrence does.
            MatchAllReferences(*s, 1);
            for (int r = 1; r <= 3; ++r) {
                const int M = Ms[std::size_t(r - 1)];
                const float plain = plainScore(*s, method, r, N, M);
                EXPECT_EQ(bits(columnScore(*s, method, r, N, M)), bits(plain)) << "reference " << r;
                EXPECT_EQ(bits(s->batch[std::size_t(r)].score), bits(plain)) << "reference " << r;
                if (r == 1) {
                    EXPECT_EQ(bits(plain), bits(distance)) << "pair and batch";
                }
            }
        }
        // A band covering everything: the minimum over all paths.
        s->method = 'N';
        s->bandRange = 400;
        MatchCurrentPair(*s);
        EXPECT_EQ(bits(float(s->trace.pairDistance)), bits(generalMinimum(s->trace, N, Ms[0])))
            << "round " << round << " N=" << N << " M=" << Ms[0];
    }
    // The sweep reaches both outcomes of the constrained methods.
    EXPECT_GT(forbidden[0], 10);
    EXPECT_GT(allowed[0], 10);
    EXPECT_GT(forbidden[1], 10);
    EXPECT_GT(allowed[1], 10);
    EXPECT_EQ(forbidden[2], 0);
}

namespace {

// Equal bits, or both NaN (a NaN's payload may come from either operand of a
// sum, in scalar and vector code alike).
bool sameScore(float a, float b)
{
    return bits(a) == bits(b) || (std::isnan(a) && std::isnan(b));
}

enum class Values { Fine, Coarse, Extreme };

// A store with test word 1 of N frames and references 1..Ms.size() (a length
// of 0 leaves the slot empty), the values drawn as `kind` says: Fine values
// round in every sum; Coarse ones (-1, 0, 1) tie everywhere; Extreme ones add
// infinities, NaNs, signed zeros and huge values to coarse ones.
std::unique_ptr<DtwWordStore> batchStore(std::mt19937& rng, int nFeat, int N, const std::vector<int>& Ms, Values kind)
{
    auto value = [&]() -> float {
        const int c = int(rng() % 3) - 1;
        if (kind == Values::Fine)
            return float(int(rng() % 20001) - 10000) * 0.000731f;
        if (kind == Values::Extreme) {
            switch (rng() % 24) {
            case 0: return INFINITY;
            case 1: return -INFINITY;
            case 2: return NAN;
            case 3: return -0.0f;
            case 4: return 3e18f;  // squares beyond kForbidden
            default: break;
            }
        }
        return float(c);
    };
    auto s = std::make_unique<DtwWordStore>();
    EXPECT_TRUE(s->setNFeat(nFeat));
    std::vector<float> v(std::size_t(N * nFeat));
    for (float& x : v)
        x = value();
    EXPECT_TRUE(s->storeTestWord(1, {1, 1, 0, std::int16_t(N)}, v));
    s->testWordCount = 1;
    for (std::size_t r = 0; r < Ms.size(); ++r) {
        if (Ms[r] == 0)
            continue;
        v.assign(std::size_t(Ms[r] * nFeat), 0.0f);
        for (float& x : v)
            x = value();
        EXPECT_TRUE(s->storeReference(int(r) + 1, {1, std::int16_t(r), std::int16_t(r % 51), std::int16_t(Ms[r])}, v));
    }
    s->referenceTotal = std::int16_t(Ms.size());
    return s;
}

// No level forced (each kernel at its own choice), then each level the
// machine supports.
std::vector<std::optional<isa::Level>> supportedLevels()
{
    return isa::chosenAndSupportedLevels();
}

// Every reference's batch score and single-reference column score against the
// plain recurrence, at every level, for each method; the best reference is the
// first with the lowest plain score.
void expectBatchAsPlain(DtwWordStore& s, int N, const std::vector<int>& Ms)
{
    for (const char method : {'I', 'N', 'L'}) {
        SCOPED_TRACE(testing::Message() << "method " << method);
        s.method = method;
        std::vector<float> plain(Ms.size() + 1, kForbidden);
        int best = 0;
        for (int r = 1; r <= int(Ms.size()); ++r) {
            plain[std::size_t(r)] = plainScore(s, method, r, N, Ms[std::size_t(r - 1)]);
            if (plain[std::size_t(r)] < (best ? plain[std::size_t(best)] : kForbidden))
                best = r;
        }
        for (const std::optional<isa::Level> level : supportedLevels()) {
            SCOPED_TRACE(isa::levelName(level));
            isa::ScopedCeiling ceiling(level);
            MatchAllReferences(s, 1);
            EXPECT_EQ(s.best.reference, best);
            for (int r = 1; r <= int(Ms.size()); ++r) {
                const int M = Ms[std::size_t(r - 1)];
                const float p = plain[std::size_t(r)];
                EXPECT_TRUE(sameScore(s.batch[std::size_t(r)].score, p))
                    << "reference " << r << " M=" << M << ": batch " << s.batch[std::size_t(r)].score << ", plain " << p;
                if (M > 0) {
                    const float c = columnScore(s, method, r, N, M);
                    EXPECT_TRUE(sameScore(c, p)) << "reference " << r << " M=" << M << ": column " << c << ", plain " << p;
                }
            }
        }
    }
}

}  // namespace

TEST(DtwSweep, BatchKernelsAgreeWithThePlainRecurrenceAtEveryLevel)
{
    // Lengths at the edges: single frames, the Itakura limits N = 2M and
    // M = 2N - 1 with their neighbours just outside, the longest words, an
    // empty slot; groups of references of mixed and equal lengths.
    struct Case {
        int N;
        std::vector<int> Ms;
    };
    const std::vector<Case> edges = {
        {1, {1, 2, 3, 1, 12, 200}},
        {2, {1, 2, 3, 4, 0, 1}},
        {20, {10, 39, 9, 40, 11, 38, 20, 1, 200}},
        {21, {11, 41, 10, 42, 21, 21, 21, 21, 21, 21, 21, 21, 21, 21, 21, 21, 21, 22}},
        {kMaxFrames, {kMaxFrames, 100, 101, 199, 1, kMaxFrames}},
        {100, {80, 85, 90, 95, 100, 105, 110, 115, 120, 80, 81, 82, 83, 84, 86, 87, 88, 89, 91, 92}},
        // Groups of nearly equal lengths, as real words give: the bands of a
        // group differ by a few frames at either edge (slopes below and above 1).
        {40, {41, 42, 43, 44, 45, 46, 47, 48, 49, 50, 51, 52, 44, 46, 48, 50, 53}},
        {60, {52, 53, 54, 55, 56, 57, 58, 59, 60, 61, 62, 63, 64, 65, 66, 67, 68}},
        {33, {20, 21, 22, 23, 24, 25, 26, 27, 28, 29, 30, 31, 32, 33, 34, 35}},
        // Steep bands (two to three reference frames per test frame): the
        // general band's lower end jumps, differently in neighbouring lanes.
        {20, {40, 41, 42, 43, 44, 45, 46, 47, 48, 49, 50, 51, 52, 53, 54, 55, 56}},
        {25, {60, 61, 62, 63, 64, 65, 66, 67, 68, 69, 70, 71, 72, 73, 74, 75}},
    };
    const int featureCounts[] = {0, 1, 2, 3, 5, 8, 13, 16, 17, 19, kMaxFeatures};
    const int ranges[] = {0, 1, 2, 5, 10, 30, 400, -3};
    std::mt19937 rng(20261211);
    const int rounds = 60;
    for (int round = 0; round < rounds; ++round) {
        Case c;
        if (round < int(edges.size())) {
            c = edges[std::size_t(round)];
        } else {
            // Mostly short words, some up to the limit; lengths spread over
            // everything, or bunched near N as the benchmark's are.
            auto length = [&] { return round % 5 == 0 ? 1 + int(rng() % 200) : 1 + int(rng() % 40); };
            c.N = length();
            const int refs = 1 + int(rng() % 40);
            for (int r = 0; r < refs; ++r)
                c.Ms.push_back(round % 3 == 0 ? std::clamp(c.N + int(rng() % 9) - 4, 1, kMaxFrames) : length());
        }
        const int nFeat = featureCounts[std::size_t(round) % std::size(featureCounts)];
        const Values kind = round % 4 == 3 ? Values::Extreme : round % 2 ? Values::Coarse : Values::Fine;
        auto s = batchStore(rng, nFeat, c.N, c.Ms, kind);
        s->bandRange = std::int16_t(ranges[std::size_t(round) % std::size(ranges)]);
        SCOPED_TRACE(testing::Message() << "round " << round << " N=" << c.N << " references " << c.Ms.size()
                                        << " nFeat=" << nFeat << " range=" << s->bandRange << " values "
                                        << int(kind));
        expectBatchAsPlain(*s, c.N, c.Ms);
    }
}

TEST(DtwSweep, BatchFollowsChangedReferences)
{
    // The batch lays the references out once; every change must reach it.
    std::mt19937 rng(7);
    std::vector<int> Ms = {30, 31, 29, 60, 15, 30};
    auto s = batchStore(rng, 4, 30, Ms, Values::Fine);
    expectBatchAsPlain(*s, 30, Ms);

    // A reference replaced by another of a different length.
    std::vector<float> v(std::size_t(44 * 4));
    for (float& x : v)
        x = float(int(rng() % 200) - 100) * 0.01f;
    ASSERT_TRUE(s->storeReference(2, {1, 9, 9, 44}, v));
    Ms[1] = 44;
    expectBatchAsPlain(*s, 30, Ms);

    // Fewer references counted, then more again.
    s->referenceTotal = 3;
    Ms.resize(3);
    expectBatchAsPlain(*s, 30, Ms);
    s->referenceTotal = 6;
    Ms = {30, 44, 29, 60, 15, 30};
    expectBatchAsPlain(*s, 30, Ms);

    // Another feature count re-reads the stored values.
    ASSERT_TRUE(s->setNFeat(2));
    expectBatchAsPlain(*s, 30, Ms);

    // A copy of the store matches on its own values.
    DtwWordStore copy = *s;
    ASSERT_TRUE(s->storeReference(1, {1, 9, 9, 44}, std::vector<float>(88, 5.0f)));
    expectBatchAsPlain(copy, 30, Ms);
}
