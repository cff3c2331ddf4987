// The warping-path replay driven to its end against the pair match and the
// batch match, and the window's animation states as event sequences.
#include <bit>
#include <cmath>
#include <gtest/gtest.h>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "timewarp/DtwMatch.h"
#include "timewarp/DtwReplay.h"

using namespace talvor::timewarp;

namespace {

// A store holding one test word of N frames and one reference of M frames as
// the current pair, with seeded random features.
std::unique_ptr<DtwWordStore> pairStore(int N, int M, unsigned seed)
{
    constexpr int kFeat = 4;
    std::mt19937 rng(seed);
    auto value = [&] { return float(int(rng() % 2001) - 1000) * 0.00173f; };
    std::vector<float> test(std::size_t(N * kFeat)), ref(std::size_t(M * kFeat));
    for (float& v : test)
        v = value();
    for (float& v : ref)
        v = value();
    auto s = std::make_unique<DtwWordStore>();
    s->setNFeat(kFeat);
    EXPECT_TRUE(s->storeTestWord(1, {1, 1, 0, std::int16_t(N)}, test));
    EXPECT_TRUE(s->storeReference(1, {1, 1, 0, std::int16_t(M)}, ref));
    s->testWordCount = 1;
    s->referenceTotal = 1;
    s->currentTestWord = 1;
    s->currentReference = 1;
    s->N = std::int16_t(N);
    s->M = std::int16_t(M);
    for (int i = 1; i <= N; ++i)
        for (int f = 1; f <= kFeat; ++f)
            s->testVector(i, f) = test[std::size_t((i - 1) * kFeat + f - 1)];
    for (int j = 1; j <= M; ++j)
        for (int f = 1; f <= kFeat; ++f)
            s->refVector(j, f) = ref[std::size_t((j - 1) * kFeat + f - 1)];
    return s;
}

bool legalStep(char method, int di, int dj)
{
    switch (method) {
    case kMethodItakura:
        return di == 1 && dj >= 0 && dj <= 2;
    case kMethodGeneral:
        return (di == 1 && dj == 0) || (di == 0 && dj == 1) || (di == 1 && dj == 1);
    case kMethodLinear:
        return di == 1 && dj >= 0;
    default:
        return false;
    }
}

TEST(DtwReplay, ReplaysThePairMatchToTheBatchResult)
{
    struct Row {
        int N, M;
        bool itakuraAllowed;
    };
    const Row rows[] = {
        {1, 1, true},   {1, 2, false},  {2, 1, true},    {10, 19, true},  {10, 21, false},
        {20, 10, true}, {21, 10, false}, {37, 37, true}, {50, 99, true},  {200, 100, true},
        {120, 200, true}, {3, 14, false},
    };
    unsigned seed = 7;
    for (const Row& r : rows) {
        for (char method : {kMethodItakura, kMethodGeneral, kMethodLinear}) {
            SCOPED_TRACE(testing::Message() << method << " N " << r.N << " M " << r.M);
            auto store = pairStore(r.N, r.M, ++seed);
            store->method = method;
            store->bandRange = 200;  // a fixed range that lets the band reach every end
            MatchCurrentPair(*store);
            const DtwTrace& t = store->trace;
            std::vector<float> tt(201, 0.0f), rt(201, 0.0f);
            for (int i = 1; i <= r.N; ++i)
                tt[std::size_t(i)] = float(i) * 0.5f;
            for (int j = 1; j <= r.M; ++j)
                rt[std::size_t(j)] = float(j) * -0.25f;
            PathReplay replay;
            replay.start(t, tt, rt);

            const bool forbidden = method == kMethodItakura && !r.itakuraAllowed;
            if (forbidden) {
                EXPECT_EQ(float(t.pairDistance), kForbidden);
                EXPECT_EQ(replay.steps(), 0);
                EXPECT_TRUE(replay.finished());
                EXPECT_FALSE(replay.step(nullptr));
                continue;
            }
            ASSERT_NE(float(t.pairDistance), kForbidden);
            const int expectedSteps = method == kMethodGeneral ? t.pathLength : r.N;
            EXPECT_EQ(replay.steps(), expectedSteps);
            EXPECT_EQ(replay.steps(), t.steps);
            EXPECT_EQ(replay.i(1), 1);
            EXPECT_EQ(replay.j(1), 1);
            EXPECT_EQ(replay.next(), 2);

            int drawn = 1;
            PathStep s;
            while (replay.step(&s)) {
                ++drawn;
                ASSERT_EQ(s.k, drawn);
                ASSERT_TRUE(legalStep(method, s.i - s.iPrev, s.j - s.jPrev))
                    << "step " << s.k << " from (" << s.iPrev << "," << s.jPrev << ") to (" << s.i << "," << s.j << ")";
                EXPECT_EQ(replay.testTrack(s.i), tt[std::size_t(s.i)]);
                EXPECT_EQ(replay.refTrack(s.j), rt[std::size_t(s.j)]);
            }
            EXPECT_EQ(drawn, expectedSteps);
            EXPECT_TRUE(replay.finished());
            EXPECT_EQ(replay.i(replay.steps()), r.N);
            if (method != kMethodLinear) {
                EXPECT_EQ(replay.j(replay.steps()), r.M);
            }
            // The float sum of d/N in step order against D(M)/N.
            EXPECT_NEAR(replay.accumulated(), t.pairDistance, 1e-5 * std::max(1.0, t.pairDistance));

            // The batch match scores the same pair bit for bit.
            MatchAllReferences(*store, 1);
            EXPECT_EQ(std::bit_cast<std::uint32_t>(store->batch[1].score),
                      std::bit_cast<std::uint32_t>(float(t.pairDistance)));
        }
    }
}

TEST(DtwReplay, KeepsItsOwnCopyOfTheTrace)
{
    auto store = pairStore(30, 40, 3);
    store->method = kMethodGeneral;
    MatchCurrentPair(*store);
    const int generalSteps = store->trace.steps;
    const double generalDistance = store->trace.pairDistance;
    std::vector<float> tt(201, 1.0f), rt(201, 2.0f);
    PathReplay replay;
    replay.start(store->trace, tt, rt);
    // Another method matched meanwhile (or chosen in a dialog) changes
    // nothing of the running replay.
    store->method = kMethodLinear;
    MatchCurrentPair(*store);
    ASSERT_NE(store->trace.steps, generalSteps);
    int steps = 1;
    while (replay.step(nullptr))
        ++steps;
    EXPECT_EQ(steps, generalSteps);
    EXPECT_EQ(replay.method(), kMethodGeneral);
    EXPECT_NEAR(replay.accumulated(), generalDistance, 1e-5);
}

enum class Ev { Begin, Refuse, Start, Tick, TickEnd, Pause, Resume, Forward, ForwardEnd, Stop };

TEST(DtwReplay, AnimationStatesAndWhatTheyEnable)
{
    const WindowEnables idle{true, false, false, false, true, true, true, true, false, false};
    const WindowEnables drawing{false, false, false, false, false, false, false, false, false, true};
    const WindowEnables animating{false, true, false, false, false, false, false, false, true, false};
    const WindowEnables paused{false, false, true, true, false, false, false, true, false, false};
    struct Row {
        std::string name;
        std::vector<Ev> events;
        AnimationState state;
        WindowEnables enables;
        bool lastAccepted;
    };
    using E = Ev;
    using S = AnimationState;
    const std::vector<Row> rows = {
        {"start", {}, S::Idle, idle, true},
        {"match begins", {E::Begin}, S::Drawing, drawing, true},
        {"refused match", {E::Begin, E::Refuse}, S::Idle, idle, true},
        {"animation", {E::Begin, E::Start}, S::Animating, animating, true},
        {"tick", {E::Begin, E::Start, E::Tick}, S::Animating, animating, true},
        {"last tick", {E::Begin, E::Start, E::Tick, E::TickEnd}, S::Idle, idle, true},
        {"pause", {E::Begin, E::Start, E::Pause}, S::Paused, paused, true},
        {"continue", {E::Begin, E::Start, E::Pause, E::Resume}, S::Animating, animating, true},
        {"step", {E::Begin, E::Start, E::Pause, E::Forward}, S::Paused, paused, true},
        {"step after the last point", {E::Begin, E::Start, E::Pause, E::Forward, E::ForwardEnd}, S::Idle, idle, true},
        {"stop while animating", {E::Begin, E::Start, E::Stop}, S::Idle, idle, true},
        {"stop while paused", {E::Begin, E::Start, E::Pause, E::Stop}, S::Idle, idle, true},
        {"pause when idle", {E::Pause}, S::Idle, idle, false},
        {"step when animating", {E::Begin, E::Start, E::Forward}, S::Animating, animating, false},
        {"a second match while drawing", {E::Begin, E::Begin}, S::Drawing, drawing, false},
        {"tick when paused", {E::Begin, E::Start, E::Pause, E::TickEnd}, S::Paused, paused, false},
        {"continue when animating", {E::Begin, E::Start, E::Resume}, S::Animating, animating, false},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        AnimationControl a;
        bool accepted = true;
        for (Ev e : r.events) {
            switch (e) {
            case E::Begin: accepted = a.beginMatch(); break;
            case E::Refuse: accepted = a.refuse(); break;
            case E::Start: accepted = a.startAnimation(); break;
            case E::Tick: accepted = a.tick(false); break;
            case E::TickEnd: accepted = a.tick(true); break;
            case E::Pause: accepted = a.pause(); break;
            case E::Resume: accepted = a.resume(); break;
            case E::Forward: accepted = a.forward(false); break;
            case E::ForwardEnd: accepted = a.forward(true); break;
            case E::Stop: a.stop(); accepted = true; break;
            }
        }
        EXPECT_EQ(a.state(), r.state);
        EXPECT_EQ(a.enables(), r.enables);
        EXPECT_EQ(accepted, r.lastAccepted);
    }
}

}  // namespace
