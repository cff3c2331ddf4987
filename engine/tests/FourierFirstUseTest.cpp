// Runs in a process of its own: the first spectrum is computed before any
// call with a count of 0, and must not depend on that call.
#include "engine/Fourier.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <vector>

namespace talvor::engine {
namespace {

TEST(SpectraFirstUse, FftSpectrumNeedsNoTableCallFirst)
{
    std::vector<std::int16_t> s(80 * 4 + 176);
    for (std::size_t i = 0; i < s.size(); ++i)
        s[i] = static_cast<std::int16_t>(std::lround(8000.0 * std::sin(2.0 * std::numbers::pi * 1000.0 * double(i) / 8000.0)));
    std::vector<float> first(256 * 5);
    ASSERT_EQ(computeSpectrumFft(s, 80 * 4, first), 0);
    EXPECT_GT(first[32], 60.0f);       // the tone's bin, in dB
    EXPECT_GT(first[128 + 32], 100.0f);  // and its magnitude

    std::vector<float> none(256 * 5);
    EXPECT_EQ(computeSpectrumFft(s, 0, none), -1);  // the table call still answers -1
    std::vector<float> again(256 * 5);
    ASSERT_EQ(computeSpectrumFft(s, 80 * 4, again), 0);
    EXPECT_EQ(first, again);
}

}  // namespace
}  // namespace talvor::engine
