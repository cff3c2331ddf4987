#include "analyser/Mesh3D.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <map>
#include <set>

namespace talvor::analyser {
namespace {

// Records every plotted point with the frame it belongs to.
class RecordingSink : public PlotSink {
public:
    struct Point {
        int x, y;
        Rgb colour;
        int frame;
    };
    explicit RecordingSink(int w) : m_width(w) {}
    int width() const override { return m_width; }
    void clear() override
    {
        points.clear();
        ++clears;
    }
    void pset(int x, int y, Rgb colour) override { points.push_back({x, y, colour, m_frame}); }
    void line(int, int, int, int, Rgb) override { ++lines; }
    void beginFrame(int frame) override { m_frame = frame; }
    std::vector<Point> points;
    int lines = 0;
    int clears = 0;

private:
    int m_width;
    int m_frame = 0;
};

TEST(DrawHorizonLine, PlotsOnlyOnOrAboveTheHorizon)
{
    struct Row {
        const char* what;
        int x1, y1, x2, y2;
        std::vector<std::pair<int, int>> plotted;
    };
    const Row rows[] = {
        {"below", 2, 3, 8, 6, {}},
        {"above, shallow", 2, 12, 8, 15, {{2, 12}, {3, 13}, {4, 13}, {5, 14}, {6, 14}, {7, 15}, {8, 15}}},
        {"above, given top first", 8, 15, 2, 12, {{2, 12}, {3, 13}, {4, 13}, {5, 14}, {6, 14}, {7, 15}, {8, 15}}},
        {"crossing: the upper part", 2, 5, 8, 15, {{5, 10}, {6, 11}, {6, 12}, {7, 13}, {7, 14}, {8, 15}}},
        {"single point", 4, 11, 4, 11, {{4, 11}}},
        {"on the horizon, drawn again", 2, 10, 5, 10, {{2, 10}, {3, 10}, {4, 10}, {5, 10}}},
        {"falling to the left", 6, 11, 3, 12, {{6, 11}, {5, 11}, {4, 12}, {3, 12}}},
        {"steep", 3, 0, 4, 19, {{4, 10}, {4, 11}, {4, 12}, {4, 13}, {4, 14}, {4, 15}, {4, 16}, {4, 17}, {4, 18}, {4, 19}}},
        {"vertical", 9, 14, 9, 8, {{9, 10}, {9, 11}, {9, 12}, {9, 13}, {9, 14}}},
        {"columns outside the picture", -3, 12, 22, 12, {}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        Spectrum3D view;
        RecordingSink sink(20);
        view.horizon().assign(20, 10);
        view.DrawHorizonLine(sink, row.x1, row.y1, row.x2, row.y2, 7);
        std::vector<std::pair<int, int>> got;
        for (const auto& p : sink.points)
            got.emplace_back(p.x, p.y);
        if (std::string(row.what) == "columns outside the picture") {
            ASSERT_EQ(got.size(), 20u);  // columns 0..19 only
            EXPECT_EQ(got.front().first, 0);
            EXPECT_EQ(got.back().first, 19);
            continue;
        }
        std::sort(got.begin(), got.end());
        auto expected = row.plotted;
        std::sort(expected.begin(), expected.end());
        EXPECT_EQ(got, expected);
        // The horizon rose to every plotted point.
        for (const auto& [x, y] : got)
            EXPECT_GE(view.horizon()[std::size_t(x)], y);
    }
}

std::vector<float> spectrumOf(int frames, float (*value)(int frame, int bin))
{
    std::vector<float> s(std::size_t(frames) * 256);
    for (int f = 0; f < frames; ++f)
        for (int b = 0; b < 256; ++b)
            s[std::size_t(f) * 256 + std::size_t(b)] = value(f, b % 128);
    return s;
}

TEST(Spectrum3D, WallHidesWhatLiesBehindIt)
{
    // Frame 1 at 100 dB, the others at 5 dB.
    const auto s = spectrumOf(40, [](int f, int) { return f == 0 ? 100.0f : 5.0f; });
    Spectrum3D view;
    RecordingSink sink(281);
    view.Draw3DSpectrum(sink, s, std::int32_t(s.size()), 30.0f, 60.0f);
    ASSERT_FALSE(sink.points.empty());
    std::map<int, int> wallTop, highest;
    bool beside = false;
    for (const auto& p : sink.points) {
        // In every column the plotted height never decreases.
        auto it = highest.find(p.x);
        if (it != highest.end()) {
            EXPECT_GE(p.y, it->second) << "column " << p.x;
        }
        highest[p.x] = it == highest.end() ? p.y : std::max(it->second, p.y);
        if (p.frame == 1) {
            wallTop[p.x] = std::max(wallTop[p.x], p.y);
        } else if (p.frame >= 3) {
            const auto wall = wallTop.find(p.x);
            if (wall != wallTop.end()) {
                EXPECT_GE(p.y, wall->second) << "frame " << p.frame << " behind the wall at column " << p.x;
            } else {
                beside = true;
            }
        }
    }
    EXPECT_GT(wallTop.size(), 50u);
    EXPECT_TRUE(beside);  // later frames show to the right of the wall
}

TEST(Spectrum3D, RotationZeroDrawsOneVerticalLinePerFrame)
{
    const auto s = spectrumOf(30, [](int, int b) { return 20.0f + float(b % 7); });
    Spectrum3D view;
    RecordingSink sink(281);
    view.Draw3DSpectrum(sink, s, std::int32_t(s.size()), 0.0f, 60.0f);
    const float dTx = float(281 * 0.7 * std::cos(0.0)) / 128.0f;
    const int x0 = int(std::floor((281.0 - 281 * 0.7) / 2.0));
    std::map<int, std::set<int>> rowsAt;  // frame -> distinct y at its own column
    for (const auto& p : sink.points) {
        ASSERT_GE(p.frame, 1);
        const int own = int(std::floor(float(x0) + float(p.frame - 1) * dTx));
        const int previous = int(std::floor(float(x0) + float(std::max(p.frame - 2, 0)) * dTx));
        EXPECT_LE(p.x, own);
        EXPECT_GE(p.x, previous);
        if (p.x == own)
            rowsAt[p.frame].insert(p.y);
    }
    ASSERT_EQ(rowsAt.size(), 30u);
    for (const auto& [frame, ys] : rowsAt)
        EXPECT_GT(ys.size(), 100u) << "frame " << frame;
}

TEST(Spectrum3D, LongWordsAndWidePicturesStayInsideTheHorizon)
{
    const auto s = spectrumOf(740, [](int f, int b) {
        if ((f + b) % 97 == 0)
            return -std::numeric_limits<float>::infinity();
        if ((f * b) % 89 == 1)
            return std::numeric_limits<float>::quiet_NaN();
        return float((f * 13 + b * 7) % 120) - 10.0f;
    });
    for (int W : {281, 1200}) {
        SCOPED_TRACE(W);
        platform::PixelSurface picture(W, W == 281 ? 109 : 400, kRgbWhite);
        SurfacePlot plot(picture, kRgbWhite);
        Spectrum3D view;
        for (auto [rot, ele] : {std::pair{0.0f, 5.0f}, std::pair{30.0f, 60.0f}, std::pair{90.0f, 90.0f}})
            view.Draw3DSpectrum(plot, s, std::int32_t(s.size()), rot, ele);
        EXPECT_EQ(view.horizon().size(), std::size_t(W));
    }
    // Huge finite values: coordinates clamped to 16 bits.
    const auto huge = spectrumOf(20, [](int, int) { return 3e38f; });
    RecordingSink sink(281);
    Spectrum3D view;
    view.Draw3DSpectrum(sink, huge, std::int32_t(huge.size()), 30.0f, 60.0f);
    for (const auto& p : sink.points)
        EXPECT_LE(p.y, 32767);
}

TEST(Spectrum3D, NoFullFrameOnlyClears)
{
    const auto s = spectrumOf(1, [](int, int) { return 50.0f; });
    for (std::int32_t n : {0, 255, -256}) {
        RecordingSink sink(281);
        Spectrum3D view;
        view.Draw3DSpectrum(sink, s, n, 30.0f, 60.0f);
        EXPECT_EQ(sink.clears, 1);
        EXPECT_TRUE(sink.points.empty());
        EXPECT_EQ(sink.lines, 0);
    }
}

TEST(SurfacePlot, UserScaleRunsUpwardOverTheWidth)
{
    platform::PixelSurface picture(281, 109, kRgbWhite);
    SurfacePlot plot(picture, kRgbWhite);
    EXPECT_EQ(plot.pixelRow(281), 0);
    EXPECT_EQ(plot.pixelRow(0), 109);  // the bottom edge, just outside
    EXPECT_EQ(plot.pixelRow(1), 108);
    plot.pset(10, 140, 0x123456);
    EXPECT_EQ(picture.pixel(10, plot.pixelRow(140)), 0x123456u);
    plot.pset(10, -5, 0x123456);  // below the picture: dropped
}

}  // namespace
}  // namespace talvor::analyser
