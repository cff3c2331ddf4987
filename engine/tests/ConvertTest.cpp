#include "engine/ArrayRoutines.h"
#include "engine/Convert.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <vector>

namespace talvor::engine {
namespace {

constexpr PolyPoint kCanaryPoint = {-777, -777};

std::vector<PolyPoint> pointBuffer(int width)
{
    return std::vector<PolyPoint>(std::size_t(konvertPointsNeeded(width)) + 4, kCanaryPoint);
}

bool untouchedFrom(const std::vector<PolyPoint>& p, std::size_t from)
{
    return std::all_of(p.begin() + std::ptrdiff_t(from), p.end(),
                       [](PolyPoint q) { return q.x == kCanaryPoint.x && q.y == kCanaryPoint.y; });
}

TEST(Konvert, RandomStretchesStayInsideThePicture)
{
    std::mt19937 rng(5);
    for (int round = 0; round < 200; ++round) {
        const int width = std::uniform_int_distribution<int>(1, 300)(rng);
        const int height = std::uniform_int_distribution<int>(1, 400)(rng);
        const int n = std::uniform_int_distribution<int>(2, 1500)(rng);
        const int amplitude = std::uniform_int_distribution<int>(1, 32767)(rng);
        const int offset = std::uniform_int_distribution<int>(-32768 + amplitude, 32767 - amplitude)(rng);
        std::uniform_int_distribution<int> dist(offset - amplitude, offset + amplitude);
        std::vector<std::int16_t> s(static_cast<std::size_t>(n));
        for (auto& v : s)
            v = static_cast<std::int16_t>(dist(rng));
        SCOPED_TRACE(testing::Message() << "width " << width << " height " << height << " n " << n);
        auto points = pointBuffer(width);
        int count = 0;
        const int span = konvert(width, height, s, points, count);
        const auto [lo, hi] = std::minmax_element(s.begin(), s.end());
        EXPECT_NEAR(span, *hi - *lo, 1);
        ASSERT_EQ(count, n < 2 * width ? n : 2 * width + 1);
        ASSERT_TRUE(untouchedFrom(points, std::size_t(count)));
        for (int i = 0; i < count; ++i) {
            ASSERT_GE(points[std::size_t(i)].x, 0) << i;
            ASSERT_LE(points[std::size_t(i)].x, width) << i;
            ASSERT_GE(points[std::size_t(i)].y, 0) << i;
            ASSERT_LE(points[std::size_t(i)].y, height) << i;
        }
        // The top of the picture holds the maximum, the bottom the minimum.
        const auto [top, bottom] = std::minmax_element(points.begin(), points.begin() + count,
                                                       [](PolyPoint a, PolyPoint b) { return a.y < b.y; });
        EXPECT_LE(top->y, height / 10 + 1);
        EXPECT_GE(bottom->y, height / 2 - 1);

        // Floats of the same values give the same polyline.
        const std::vector<float> f(s.begin(), s.end());
        auto pointsS = pointBuffer(width);
        int countS = 0;
        EXPECT_EQ(konvertS(width, height, f, pointsS, countS), span);
        ASSERT_EQ(countS, count);
        for (int i = 0; i < count; ++i) {
            ASSERT_EQ(pointsS[std::size_t(i)].x, points[std::size_t(i)].x);
            ASSERT_EQ(pointsS[std::size_t(i)].y, points[std::size_t(i)].y);
        }
    }
}

TEST(Konvert, PointModeBelowTwicePerColumnAndColumnModeFromThere)
{
    std::vector<std::int16_t> s(100);
    for (std::size_t i = 0; i < s.size(); ++i)
        s[i] = static_cast<std::int16_t>((i * 37) % 200 - 100);
    struct Case {
        int width;
        int points;
    };
    for (const Case c : {Case{50, 101}, Case{51, 100}, Case{10, 21}, Case{200, 100}}) {
        SCOPED_TRACE(c.width);
        auto points = pointBuffer(c.width);
        int count = 0;
        konvert(c.width, 80, s, points, count);
        EXPECT_EQ(count, c.points);
        EXPECT_TRUE(untouchedFrom(points, std::size_t(count)));
        EXPECT_EQ(points[0].x, 0);
        // The last point at the right edge (float steps may land one pixel short).
        EXPECT_LE(points[std::size_t(count) - 1].x, c.width);
        EXPECT_GE(points[std::size_t(count) - 1].x, c.width - 1);
    }
    // The first point of column mode uses the height rule of point mode.
    auto columns = pointBuffer(50);
    auto single = pointBuffer(51);
    int count = 0;
    konvert(50, 80, s, columns, count);
    konvert(51, 80, s, single, count);
    EXPECT_EQ(columns[0].y, single[0].y);
}

TEST(Konvert, ColumnTakesSamplesUpToTheFirstPastItsRightEdge)
{
    // 1000 samples over 10 columns: x step 10/999, so column c ends at the
    // first sample j with j x 10/999 > c: column 1 holds 0..100, column 2
    // 101..200, column 7 601..700.
    struct Case {
        int spikeAt;
        int column;
    };
    for (const Case c : {Case{100, 1}, Case{101, 2}, Case{150, 2}, Case{650, 7}, Case{999, 10}}) {
        SCOPED_TRACE(c.spikeAt);
        std::vector<std::int16_t> s(1000, 0);
        s[std::size_t(c.spikeAt)] = 1000;
        s[0] = -1000;  // both ends of the range present
        auto points = pointBuffer(10);
        int count = 0;
        konvert(10, 100, s, points, count);
        ASSERT_EQ(count, 21);
        const int zeroRow = points[2 * 4 - 1].y;  // column 4 holds only zeros
        for (int col = 1; col <= 10; ++col) {
            SCOPED_TRACE(col);
            const PolyPoint mx = points[std::size_t(2 * col - 1)];
            const PolyPoint mn = points[std::size_t(2 * col)];
            EXPECT_EQ(mx.x, col);
            EXPECT_EQ(mn.x, col);
            if (col == c.column) {
                EXPECT_LT(mx.y, zeroRow);
            }
            else
                EXPECT_EQ(mx.y, zeroRow);
            if (col == 1) {
                EXPECT_GT(mn.y, zeroRow);
            }
            else
                EXPECT_EQ(mn.y, zeroRow);
        }
    }
}

TEST(Konvert, NegativeHeightUsesTheGivenRange)
{
    // The value 0 lands on the middle row trunc(|H| / 2) whatever the range,
    // also where 0.5 x R x k falls just short of it (range 1000 with height
    // 6 or 10, the full 16-bit range with height 8).
    for (const int range : {1000, 1200, 32768, 65536}) {
        for (const int h : {100, 101, 2, 6, 8, 10, 14, 37, 480}) {
            SCOPED_TRACE(testing::Message() << "range " << range << " height " << h);
            const std::int16_t half = static_cast<std::int16_t>(std::min(range / 2, 32767));
            const std::vector<std::int16_t> s = {0, half, static_cast<std::int16_t>(-half), 0};
            auto points = pointBuffer(40);
            int count = range;  // full scale: 1.1 x range
            const int result = konvert(40, -h, s, points, count);
            EXPECT_GE(result, range - 1);
            EXPECT_LE(result, range);
            ASSERT_EQ(count, 4);
            EXPECT_EQ(points[0].y, h / 2);  // the value 0 at the middle row
            EXPECT_EQ(points[3].y, h / 2);
            // Half the range either way stays inside the picture, a twentieth short of its edges.
            EXPECT_LE(points[1].y, h / 2);
            EXPECT_GE(points[1].y, 0);
            EXPECT_GE(points[2].y, h / 2);
            EXPECT_LE(points[2].y, h);
        }
    }
}

TEST(Konvert, EdgeCases)
{
    auto points = pointBuffer(10);
    int count = 55;
    EXPECT_EQ(konvert(10, 100, std::span<const std::int16_t>(), points, count), -1);
    EXPECT_EQ(count, 0);
    EXPECT_TRUE(untouchedFrom(points, 0));

    count = 55;
    EXPECT_EQ(konvertS(10, 100, std::span<const float>(), points, count), -1);
    EXPECT_EQ(count, 0);
    EXPECT_TRUE(untouchedFrom(points, 0));

    // A constant stretch: a flat line at the middle, range 0.
    const std::vector<std::int16_t> flat(30, 1234);
    count = 0;
    EXPECT_EQ(konvert(10, 101, flat, points, count), 0);
    EXPECT_EQ(count, 21);
    for (int i = 0; i < count; ++i)
        EXPECT_EQ(points[std::size_t(i)].y, 50) << i;
    // A zero range given with a negative height: the same flat line.
    count = 0;
    EXPECT_EQ(konvert(10, -101, flat, points, count), 0);
    EXPECT_EQ(points[0].y, 50);

    // One sample: x = 0.
    const std::vector<std::int16_t> one = {300};
    count = 0;
    EXPECT_EQ(konvert(10, 100, one, points, count), 0);
    EXPECT_EQ(count, 1);
    EXPECT_EQ(points[0].x, 0);
    EXPECT_EQ(points[0].y, 50);

    // Too small a point array and a negative width are refused.
    std::vector<PolyPoint> small(20, kCanaryPoint);
    const std::vector<std::int16_t> many(100, 5);
    count = 9;
    EXPECT_EQ(konvert(10, 100, many, small, count), -1);
    EXPECT_EQ(count, 0);
    EXPECT_TRUE(untouchedFrom(small, 0));
    EXPECT_EQ(konvert(-3, 100, many, points, count), -1);
}

TEST(GetExtrems, FindsMaximumAndMinimum)
{
    struct Case {
        std::vector<std::int16_t> samples;
        std::int32_t max, min;
    };
    const Case cases[] = {
        {{3, -7, 12, 0}, 12, -7},
        {{-32768, 32767}, 32767, -32768},
        {{5}, 5, 5},
        {{}, -2147483647 - 1, 2147483647},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.samples.size());
        std::int32_t mx = 1, mn = 1;
        getExtrems(c.samples, mx, mn);
        EXPECT_EQ(mx, c.max);
        EXPECT_EQ(mn, c.min);
    }
}

TEST(ArrayRoutines, LongToIntBothWays)
{
    std::int32_t longs[4] = {70000, -1, 32768, 12};
    std::int16_t ints[4] = {};
    EXPECT_EQ(longToInt(longs, 4, ints), 0);
    EXPECT_EQ(ints[0], 4464);  // the low 16 bits
    EXPECT_EQ(ints[1], -1);
    EXPECT_EQ(ints[2], -32768);
    EXPECT_EQ(ints[3], 12);

    std::int16_t back[3] = {-5, 32767, -32768};
    std::int32_t widened[4] = {9, 9, 9, 9};
    EXPECT_EQ(longToInt(widened, -3, back), 0);
    EXPECT_EQ(widened[0], -5);
    EXPECT_EQ(widened[1], 32767);
    EXPECT_EQ(widened[2], -32768);
    EXPECT_EQ(widened[3], 9);

    EXPECT_EQ(longToInt(widened, 0, back), 1);
    EXPECT_EQ(widened[0], -5);
}

template <class T>
class CopyRoutine : public testing::Test {
public:
    static int copy(T* d, std::int32_t n, const T* s)
    {
        if constexpr (std::is_same_v<T, float>)
            return copySingle(d, n, s);
        else
            return copyInteger(d, n, s);
    }
};
using CopyTypes = testing::Types<std::int16_t, float>;
TYPED_TEST_SUITE(CopyRoutine, CopyTypes);

TYPED_TEST(CopyRoutine, ForwardBackwardAndNothing)
{
    using T = TypeParam;
    const T source[5] = {1, 2, 3, 4, 5};
    T d[5] = {0, 0, 0, 0, 9};
    EXPECT_EQ(this->copy(d, 4, source), 0);
    EXPECT_EQ(std::vector<T>(d, d + 5), (std::vector<T>{1, 2, 3, 4, 9}));

    T e[4] = {0, 0, 0, 0};
    EXPECT_EQ(this->copy(e, -3, source), 0);
    EXPECT_EQ(std::vector<T>(e, e + 4), (std::vector<T>{1, 2, 3, 0}));

    // Last first: a copy to a higher address inside one array is safe.
    T a[6] = {1, 2, 3, 4, 5, 6};
    EXPECT_EQ(this->copy(a + 1, -4, a), 0);
    EXPECT_EQ(std::vector<T>(a, a + 6), (std::vector<T>{1, 1, 2, 3, 4, 6}));

    T f[2] = {7, 7};
    EXPECT_EQ(this->copy(f, 0, source), 1);
    EXPECT_EQ(f[0], T(7));
}

}  // namespace
}  // namespace talvor::engine
