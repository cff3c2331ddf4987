#include "common/NumberText.h"

#include <clocale>
#include <cstring>
#include <cmath>
#include <gtest/gtest.h>
#include <limits>
#include <random>

using namespace talvor;

TEST(NumberText, ShortestFormTable)
{
    struct Case {
        double value;
        int digits;
        const char* text;
    };
    const Case cases[] = {
        {5, 7, "5"}, {-5, 7, "-5"}, {0, 7, "0"}, {3.5, 7, "3.5"}, {0.5, 7, ".5"}, {-0.5, 7, "-.5"},
        {100, 7, "100"}, {1234567, 7, "1234567"}, {12345678, 7, "1.234568E+07"}, {1e7, 7, "1E+07"},
        {9999999, 7, "9999999"}, {0.0001, 7, ".0001"}, {0.00001, 7, "1E-05"}, {1.25e-7, 7, "1.25E-07"},
        {-1e30, 7, "-1E+30"}, {1e35, 7, "1E+35"}, {123.456, 7, "123.456"}, {0.1, 15, ".1"},
        {123456789012345.0, 15, "123456789012345"}, {1e15, 15, "1E+15"}, {2.0 / 3.0, 15, ".666666666666667"},
        {9.9999999, 7, "10"}, {-0.00012345678, 7, "-.0001234568"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(numberText(c.value, c.digits), c.text) << c.value;
    EXPECT_EQ(numberText(0.1f), ".1");
    EXPECT_EQ(numberText(-1e30f), "-1E+30");
    EXPECT_EQ(numberText(std::int32_t(-42)), "-42");
}

TEST(NumberText, FloatTextReadsBackAsTheSameFloat)
{
    std::mt19937 rng(7);
    std::uniform_real_distribution<float> mant(-10.f, 10.f);
    std::uniform_int_distribution<int> exp(-20, 20);
    for (int i = 0; i < 2000; ++i) {
        const float v = mant(rng) * std::pow(10.f, float(exp(rng)));
        if (!std::isfinite(v))
            continue;
        const std::string t = numberText(v);
        // 7 significant digits do not always pin a float; they pin it to one
        // unit in the 7th digit.
        const double back = leadingNumber(t);
        EXPECT_NEAR(back, double(v), std::abs(double(v)) * 1e-6) << t;
    }
}

TEST(NumberText, ExactFloatTextKeepsEveryBit)
{
    struct Case {
        float value;
        const char* text;
    };
    // As few digits as it takes: 7 where they do, 8 or 9 where not.
    const Case cases[] = {
        {15.0f, "15"}, {0.1f, ".1"}, {1671.19348f, "1671.1935"}, {1.00000012f, "1.0000001"},
        {16777217.0f, "16777216"}, {1999.99988f, "1999.9999"}, {-2.5e-7f, "-2.5E-07"},
        {0.333333343f, ".33333334"}, {3.40282347e38f, "3.4028235E+38"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(exactFloatText(c.value), c.text) << c.value;
    std::mt19937 rng(11);
    std::uniform_int_distribution<std::uint32_t> bits;
    for (int i = 0; i < 20000; ++i) {
        const std::uint32_t b = bits(rng);
        float v;
        std::memcpy(&v, &b, sizeof v);
        if (!std::isfinite(v))
            continue;
        const std::string t = exactFloatText(v);
        EXPECT_EQ(static_cast<float>(leadingNumber(t)), v) << t;
        EXPECT_LE(t.size(), 15u) << t;
    }
}

TEST(NumberText, PrintFormAndSignedDecimal)
{
    EXPECT_EQ(printNumber(std::int64_t(2)), " 2 ");
    EXPECT_EQ(printNumber(std::int64_t(0)), " 0 ");
    EXPECT_EQ(printNumber(std::int64_t(-3)), "-3 ");
    EXPECT_EQ(printNumber(0.5f), " .5 ");
    EXPECT_EQ(printNumber(-2.25f), "-2.25 ");
    EXPECT_EQ(printNumber(0.0f), " 0 ");
    EXPECT_EQ(printNumber(1.0 / 3.0), " .333333333333333 ");
    EXPECT_EQ(signedDecimal(std::int64_t(41)), " 41");
    EXPECT_EQ(signedDecimal(std::int64_t(0)), " 0");
    EXPECT_EQ(signedDecimal(std::int64_t(-7)), "-7");
    EXPECT_EQ(signedDecimal(1.5f), " 1.5");
}

TEST(NumberText, RoundHalfEven)
{
    struct Case {
        double v;
        int r;
    };
    const Case cases[] = {{0.5, 0}, {1.5, 2}, {2.5, 2}, {3.5, 4}, {-0.5, 0}, {-1.5, -2}, {-2.5, -2},
                          {2.4999, 2}, {2.5001, 3}, {-7.6, -8}, {0, 0}, {1e12, 2147483647}, {-1e12, -2147483647 - 1}};
    for (const auto& c : cases)
        EXPECT_EQ(roundHalfEven(c.v), c.r) << c.v;
    EXPECT_EQ(roundHalfEven(std::numeric_limits<double>::quiet_NaN()), 0);
}

TEST(NumberText, LeadingNumberAndInt)
{
    struct Case {
        const char* text;
        double v;
    };
    const Case cases[] = {{"12", 12}, {"12abc", 12}, {"-.5", -0.5}, {".25", 0.25}, {"+3", 3}, {"  7", 7},
                          {"1E+30", 1e30}, {"-1E-05", -1e-5}, {"2e", 2}, {"3D2", 300}, {"abc", 0}, {"", 0},
                          {"-", 0}, {".", 0}, {"1.5.5", 1.5}, {"1e999", HUGE_VAL},
                          // Beyond the range of a double: too large is infinite, too small is 0.
                          {"-1e999", -HUGE_VAL}, {"1E-400", 0}, {"-2.5e-999", 0}, {".0001e-330", 0},
                          {"12345e-320", 1.2345e-316}, {"1e99999999999999999999", HUGE_VAL}};
    for (const auto& c : cases)
        EXPECT_EQ(leadingNumber(c.text), c.v) << c.text;

    std::int32_t v = 99;
    EXPECT_TRUE(parseInt32(" 45 ", &v));
    EXPECT_EQ(v, 45);
    EXPECT_TRUE(parseInt32("-3", &v));
    EXPECT_EQ(v, -3);
    v = 99;
    for (const char* bad : {"", " ", "4x", "1.5", "99999999999", "--1"})
        EXPECT_FALSE(parseInt32(bad, &v)) << bad;
    EXPECT_EQ(v, 99);
}

TEST(NumberText, LocaleIndependent)
{
    const char* chosen = nullptr;
    for (const char* c : {"de_DE.UTF-8", "de_DE.utf8", "fr_FR.UTF-8"})
        if (std::setlocale(LC_ALL, c)) {
            chosen = c;
            break;
        }
    if (!chosen)
        GTEST_SKIP() << "no comma-decimal locale installed";
    EXPECT_EQ(numberText(2.5, 7), "2.5");
    EXPECT_EQ(printNumber(-0.75f), "-.75 ");
    EXPECT_EQ(leadingNumber("2.5"), 2.5);
    std::setlocale(LC_ALL, "C");
}
