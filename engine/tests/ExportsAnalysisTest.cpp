// The exports seen as a caller sees them: pointers, counts and results.
#include "engine/AnalysisExports.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <numbers>
#include <vector>

#include "engine/ClassifyDtw.h"
#include "engine/ColorScale.h"
#include "engine/Fourier.h"
#include "platform/Dialogs.h"

namespace talvor::engine {
namespace {

constexpr float kCanary = -4321.0f;

std::vector<std::int16_t> toneSamples(std::size_t n)
{
    std::vector<std::int16_t> s(n);
    for (std::size_t i = 0; i < n; ++i)
        s[i] = static_cast<std::int16_t>(std::lround(5000.0 * std::sin(2.0 * std::numbers::pi * 1000.0 * double(i) / 8000.0)));
    return s;
}

TEST(SpectraExports, DftRefusesOtherCountsWithItsMessage)
{
    platform::ScopedScriptedDialogs dialogs;
    const auto s = toneSamples(200);
    std::vector<float> out(170, kCanary);
    EXPECT_EQ(Dft(s.data(), 159, out.data()), -2);
    ASSERT_EQ(dialogs.shown.size(), 1u);
    EXPECT_EQ(dialogs.shown[0].kind, "message");
    EXPECT_EQ(dialogs.shown[0].text, "Errors in the number of input values !\n");
    EXPECT_EQ(dialogs.shown[0].caption, "Application error - Fourier transformation");
    EXPECT_EQ(dialogs.shown[0].icon, platform::MessageIcon::Critical);
    EXPECT_TRUE(std::all_of(out.begin(), out.end(), [](float v) { return v == kCanary; }));

    EXPECT_EQ(Dft(s.data(), 160, out.data()), 0);
    EXPECT_EQ(dialogs.shown.size(), 1u);
    EXPECT_EQ(std::max_element(out.begin(), out.begin() + 80) - out.begin(), 20);
    EXPECT_EQ(out[160], kCanary);
}

TEST(SpectraExports, ComputeSpectrumReportsTheFloatsWritten)
{
    const auto s = toneSamples(800 + 80 + 50);
    for (const std::int32_t n : {800, 850}) {
        SCOPED_TRACE(n);
        std::vector<float> out(1800, kCanary);
        std::int32_t count = n;
        EXPECT_EQ(Compute_Spectrum(s.data(), &count, out.data()), 0);
        EXPECT_EQ(count, 1600);
        EXPECT_NE(out[1599], kCanary);
        EXPECT_EQ(out[1600], kCanary);
    }
}

TEST(SpectraExports, ComputeSpectrumFftSizes)
{
    const auto s = toneSamples(800 + 176);
    std::vector<float> out(3000, kCanary);
    std::int32_t count = 0;
    std::int32_t size = 2816;
    EXPECT_EQ(Compute_Spectrum_FFT(s.data(), &count, out.data(), &size), -1);
    count = 800;
    size = 2560;
    EXPECT_EQ(Compute_Spectrum_FFT(s.data(), &count, out.data(), &size), -2);
    EXPECT_TRUE(std::all_of(out.begin(), out.end(), [](float v) { return v == kCanary; }));
    size = 2816;
    EXPECT_EQ(Compute_Spectrum_FFT(s.data(), &count, out.data(), &size), 0);
    EXPECT_EQ(count, 800);
    EXPECT_NE(out[2559], kCanary);
    EXPECT_EQ(out[2560], kCanary);
    EXPECT_EQ(std::max_element(out.begin(), out.begin() + 128) - out.begin(), 32);
}

TEST(SpectraExports, ColoursAndDrawing)
{
    const float values[3] = {1.0f, 100.0f, 13.0f};
    std::uint32_t colours[3] = {};
    EXPECT_EQ(Value_To_Color(values, 3, colours, 0), 0);
    EXPECT_EQ(colours[0], 0x00FFFFFFu);
    EXPECT_EQ(colours[1], 0u);
    EXPECT_EQ(Value_To_Color(values, 3, colours, 1), 0);
    EXPECT_EQ(colours[2], 0x00FFFFFFu);  // the low end of the magnitude scale

    std::vector<float> dft(160 * 4, 50.0f), fft(256 * 3, 50.0f);
    platform::PixelSurface surface(8, 90, 0x00ABCDEF);
    EXPECT_EQ(Display_Spectrum(&surface, 8, 79, dft.data(), std::int32_t(dft.size()), 0), 0);
    EXPECT_EQ(surface.pixel(0, 40), colorScale().colorOfValue(0, 50.0f));
    platform::PixelSurface memory(4, 130, 0), destination(4, 100, 0);
    EXPECT_EQ(Display_Spectrum_FFT(&memory, &destination, 4, 100, fft.data(), std::int32_t(fft.size()), 0), 0);
    EXPECT_EQ(destination.pixel(3, 50), colorScale().colorOfValue(0, 50.0f));
    EXPECT_EQ(Display_Spectrum(nullptr, 8, 79, dft.data(), 640, 0), -1);
}

TEST(SpectraExports, KonvertAndArrays)
{
    std::vector<std::int16_t> s(100);
    for (std::size_t i = 0; i < s.size(); ++i)
        s[i] = static_cast<std::int16_t>(i % 2 ? 300 : -300);
    std::vector<PolyPoint> points(101 + 5, PolyPoint{-1, -1});
    std::int32_t count = 0;
    // The range 600, scaled by the float 1.1 and divided back: one less.
    EXPECT_EQ(Konvert(50, 100, s.data(), 100, points.data(), &count), 599);
    EXPECT_EQ(count, 101);
    EXPECT_EQ(points[101].x, -1);
    count = 77;
    EXPECT_EQ(Konvert(50, 100, s.data(), 0, points.data(), &count), -1);
    EXPECT_EQ(count, 0);
    const std::vector<float> f(s.begin(), s.end());
    EXPECT_EQ(KonvertS(51, 100, f.data(), 100, points.data(), &count), 599);
    EXPECT_EQ(count, 100);
    EXPECT_EQ(KonvertS(51, 100, f.data(), 0, points.data(), &count), -1);

    std::int32_t mx = 0, mn = 0;
    EXPECT_EQ(GetExtrems(s.data(), 100, &mx, &mn), 0);
    EXPECT_EQ(mx, 300);
    EXPECT_EQ(mn, -300);

    std::int32_t value = 5;
    float single = 1.0f;
    EXPECT_EQ(Get_Pointer(&value), &value);
    EXPECT_EQ(Get_Long_Pointer(&value), &value);
    EXPECT_EQ(Get_Integer_Pointer(&value), &value);
    EXPECT_EQ(Get_Single_Pointer(&single), &single);

    std::int32_t longs[2] = {70000, -70000};
    std::int16_t ints[2] = {};
    EXPECT_EQ(Long_To_Int(longs, 2, ints), 0);
    EXPECT_EQ(ints[0], 4464);
    EXPECT_EQ(Copy_Integer(ints, 0, ints), 1);
    float a[3] = {1, 2, 3}, b[3] = {};
    EXPECT_EQ(Copy_Single(b, -3, a), 0);
    EXPECT_EQ(b[2], 3.0f);
}

TEST(SpectraExports, ClassifierAndHelpers)
{
    std::vector<float> tests(std::size_t(kDtwTestWords) * kDtwMaxValues, 0.0f);
    std::vector<float> refs(std::size_t(kDtwRefWords) * kDtwMaxValues, 0.0f);
    std::int16_t testFrames[kDtwTestWords] = {};
    std::int16_t refFrames[2] = {3, 3};
    const float word[3] = {0, 4, 1};
    const float ref0[3] = {9, 9, 9};
    const float ref1[3] = {0, 1, 5};
    for (int v = 0; v < 3; ++v) {
        tests[std::size_t(2 + 50 * v)] = word[v];
        refs[std::size_t(0 + 250 * v)] = ref0[v];
        refs[std::size_t(1 + 250 * v)] = ref1[v];
    }
    testFrames[2] = 3;
    float distances[2] = {};
    std::int16_t order[2] = {};
    EXPECT_EQ(ClassifyWordDTW('I', 1, 0, 3, tests.data(), testFrames, 2, refs.data(), refFrames, distances, order), 2);
    EXPECT_FLOAT_EQ(distances[1], 5.0f / 3.0f);
    EXPECT_EQ(order[1], 1);
    EXPECT_EQ(ClassifyWordDTW('I', 1, 0, 51, tests.data(), testFrames, 2, refs.data(), refFrames, distances, order), -1);

    std::vector<float> t(20 * 201, 0.0f), r(20 * 2, 1.0f), matrix(200 * 2, kCanary);
    float mn = 0, mx = 0;
    EXPECT_EQ(Local_Distance(t.data(), r.data(), 201, 2, 20, matrix.data(), &mn, &mx), -1);
    EXPECT_EQ(Local_Distance(t.data(), r.data(), 200, 2, 20, matrix.data(), &mn, &mx), 0);
    EXPECT_EQ(mx, 20.0f);

    std::vector<float> source(20 * 13);
    for (std::size_t i = 0; i < source.size(); ++i)
        source[i] = float(i);
    std::int32_t mask[20] = {};
    mask[19] = 1;
    const std::int32_t counts[2] = {1, 2};
    float out[4] = {kCanary, kCanary, kCanary, kCanary};
    EXPECT_EQ(Make_PR_Data(source.data(), out, 2, mask, counts), 0);
    EXPECT_EQ(out[0], 219.0f);  // frame 10
    EXPECT_EQ(out[1], 239.0f);  // frame 11: the second word follows the first
    EXPECT_EQ(out[2], 259.0f);
    EXPECT_EQ(out[3], kCanary);
}

}  // namespace
}  // namespace talvor::engine
