// Plot geometry of the DTW window: user scales onto pixels, the cells of the
// flat plots, palette levels, band edges, the 3-D projection and the floating
// horizon.
#include <cmath>
#include <gtest/gtest.h>
#include <limits>

#include "timewarp/DtwPlot.h"

using namespace talvor::timewarp;

namespace {

constexpr float kInf = std::numeric_limits<float>::infinity();
constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();

TEST(DtwPlot, TrackScaleMapsFramesAndTheFeatureRange)
{
    struct Row {
        int feature;  // 1..20
        double frame;
        double value;
        int px, py;
    };
    // Tracks are 320 x 84 pixels; frames 0.5 .. 200.5 across.
    const Row rows[] = {
        {1, 1, 5.0, 0, 0},        // cep: top 5 at the top
        {1, 200, -4.9, 318, 83},  // near the bottom, frame 200 at the right
        {1, 100.25, 0.0, 159, 42},
        {19, 1, 50.0, 0, 0},      // svf: -10 .. 50
        {19, 200, -9.0, 318, 82},
        {20, 1, 6.0, 0, 42},      // ene: 2 .. 10
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(testing::Message() << "feature " << r.feature << " frame " << r.frame << " value " << r.value);
        Canvas c(320, 84);
        c.setScale(trackScale(DtwFeatureNames()[std::size_t(r.feature - 1)]));
        EXPECT_EQ(c.toPixelX(r.frame), r.px);
        EXPECT_EQ(c.toPixelY(r.value), r.py);
    }
}

TEST(DtwPlot, GridCellsAreCentredAndTheirBoxesTileThePicture)
{
    // Cell centres of a 10 x 5 match on 440 pixels: S = 10, 44 pixels a cell,
    // test frames across, reference frames upwards.
    Canvas c(440, 440);
    c.setScale(gridScale(10, 5));
    EXPECT_EQ(c.toPixelX(1), 22);
    EXPECT_EQ(c.toPixelY(1), 418);
    EXPECT_EQ(c.toPixelX(10), 418);
    EXPECT_EQ(c.toPixelY(5), 242);

    // Boxes of a 7 x 5 match (cells of 62.86 pixels): each pixel of the
    // plotted area belongs to exactly the box whose cell holds its centre.
    Canvas m(440, 440, 0xFFFFFFFF);
    m.setScale(gridScale(7, 5));
    auto colorOf = [](int i, int j) { return std::uint32_t(i * 16 + j); };
    for (int i = 1; i <= 7; ++i)
        for (int j = 1; j <= 5; ++j)
            m.fillBox(i - 0.5, j - 0.5, i + 0.5, j + 0.5, colorOf(i, j));
    // Cell k of 7 spans pixels floor((k-1) 440/7) .. floor(k 440/7) - 1,
    // across from the left and upwards from the bottom.
    auto cellOf = [](int p) {
        int k = 1;
        while (std::floor(k * 440.0 / 7.0) <= p)
            ++k;
        return k;
    };
    for (int py = 0; py < 440; ++py) {
        for (int px = 0; px < 440; ++px) {
            const int i = cellOf(px);
            const int j = 8 - cellOf(py);  // the top row is j = 7
            const std::uint32_t want = j <= 5 ? colorOf(i, j) : 0xFFFFFFFFu;
            ASSERT_EQ(m.pixel(px, py), want) << "pixel " << px << "," << py;
        }
    }
}

TEST(DtwPlot, PaletteLevels)
{
    struct Row {
        float d, step;
        int level;
    };
    const Row rows[] = {
        {0.0f, 1.0f, 0},   {0.99f, 1.0f, 0}, {1.0f, 1.0f, 1},  {7.5f, 1.0f, 7},   {8.0f, 1.0f, 7},
        {1e30f, 1e-30f, 7}, {5.0f, 0.0f, 0},  {5.0f, -1.0f, 0}, {kInf, 1.0f, 7},  {kNaN, 1.0f, 7},
        {5.0f, kInf, 7},   {5.0f, kNaN, 7},  {kForbidden, 0.5f, 7},
    };
    for (const Row& r : rows)
        EXPECT_EQ(paletteLevel(r.d, r.step), r.level) << "d " << r.d << " step " << r.step;
}

TEST(DtwPlot, PaletteColoursAndBrightness)
{
    const Palette p0 = MakePalette(0);
    EXPECT_EQ(p0[0], 0x00009627u);  // red 39, green 150, blue 0
    EXPECT_EQ(p0[7], 0x00003657u);  // 87, 54, 0
    const Palette p100 = MakePalette(100);
    EXPECT_EQ(p100[3], 0x00EAFFFFu);  // 198, 198, 134 + 100, each at most 255
    EXPECT_EQ(p100[0], 0x0064FA8Bu);  // 139, 250, 100
}

TEST(DtwPlot, BandEdgesAreTheMethodsBand)
{
    for (char method : {kMethodItakura, kMethodGeneral}) {
        for (int i = 1; i <= 12; ++i) {
            Band b;
            ASSERT_TRUE(bandEdges(method, i, 12, 17, 3, &b));
            EXPECT_EQ(b, WarpBand(method, i, 12, 17, 3)) << method << " i " << i;
        }
    }
    Band untouched{7, 9};
    EXPECT_FALSE(bandEdges(kMethodLinear, 3, 12, 17, 3, &untouched));
    EXPECT_EQ(untouched, (Band{7, 9}));
}

TEST(DtwPlot, ProjectionAtTheCornersOfTheViewingAngles)
{
    struct Row {
        int rotation, elevation;
        int x0, y0;
        int xLastTest;   // x of cell (10, 1)
        int xLastRef;    // x of cell (1, 10)
        int groundLastRef;  // floor of the ground of cell (1, 10)
        int topFar;      // top of cell (10, 10) at distance 2 (the maximum)
        int topFirst;    // top of cell (1, 1) at distance 1
    };
    // P = 400, a 10 x 10 match whose largest distance is 2.
    const Row rows[] = {
        {0, 5, 60, 60, 312, 60, 75, 274, 159},
        {0, 85, 60, 60, 312, 60, 239, 256, 68},
        {45, 5, 199, 60, 377, 20, 71, 281, 159},
        {45, 85, 199, 60, 377, 20, 186, 331, 68},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(testing::Message() << "rotation " << r.rotation << " elevation " << r.elevation);
        const Projection3D v = Projection3D::make(400, 10, 10, r.rotation, r.elevation, 2.0f);
        EXPECT_EQ(v.x0, r.x0);
        EXPECT_EQ(v.y0, r.y0);
        EXPECT_EQ(v.x(1, 1), r.x0);
        EXPECT_EQ(v.x(10, 1), r.xLastTest);
        EXPECT_EQ(v.x(1, 10), r.xLastRef);
        EXPECT_EQ(int(std::floor(v.ground(1, 10))), r.groundLastRef);
        EXPECT_EQ(v.top(10, 10, 2.0f), r.topFar);
        EXPECT_EQ(v.top(1, 1, 1.0f), r.topFirst);
    }
}

TEST(DtwPlot, HeightFactorIsZeroForAMaximumThatIsNotAboveZeroOrNotFinite)
{
    for (float maximum : {0.0f, -0.0f, -1.0f, kInf, -kInf, kNaN}) {
        const Projection3D v = Projection3D::make(400, 10, 10, 30, 75, maximum);
        EXPECT_EQ(v.h, 0.0) << maximum;
        EXPECT_EQ(v.top(3, 4, 5.0f), int(std::floor(v.ground(3, 4))));
    }
    EXPECT_GT(Projection3D::make(400, 10, 10, 30, 75, 2.0f).h, 0.0);
}

TEST(DtwPlot, HorizonHidesWhatLiesBelowAndStaysInsideThePicture)
{
    // User pixels y upwards on a 40 x 40 picture.
    Canvas c(40, 40);
    c.setScale({0, 40, 40, -40});
    Horizon h(40);
    h.drawLine(c, 5, 20, 15, 20, 0x11);  // a high segment first
    h.drawLine(c, 0, 10, 30, 10, 0x22);  // a lower one behind it
    for (int x = 0; x < 40; ++x) {
        const bool hidden = x >= 5 && x <= 15;
        EXPECT_EQ(c.pixel(x, 40 - 10), hidden || x > 30 ? 0u : 0x22u) << x;
        EXPECT_EQ(c.pixel(x, 40 - 20), hidden ? 0x11u : 0u) << x;
    }
    EXPECT_EQ(h.at(10), 20);
    EXPECT_EQ(h.at(20), 10);

    // Steep segments step along y; columns outside the picture end a segment.
    Horizon steep(40);
    Canvas s(40, 40);
    s.setScale({0, 40, 40, -40});
    steep.drawLine(s, 2, 0, 4, 30, 0x33);
    EXPECT_EQ(s.pixel(4, 10), 0x33u);
    EXPECT_EQ(steep.at(4), 30);
    steep.drawLine(s, 35, 35, 60, 35, 0x44);
    for (int x = 35; x < 40; ++x)
        EXPECT_EQ(s.pixel(x, 5), 0x44u) << x;
    steep.drawLine(s, -3, 38, 20, 38, 0x55);  // starts outside: nothing
    for (int x = 0; x < 40; ++x)
        EXPECT_NE(s.pixel(x, 2), 0x55u) << x;
    EXPECT_EQ(Horizon(0).width(), 0);
}

TEST(DtwPlot, SurfaceRecordsTheProjectedPathAndStaysInsideThePicture)
{
    // A 6 x 6 trace with a diagonal path; distances rise away from it.
    DtwTrace t;
    t.N = 6;
    t.M = 6;
    t.maximum = 0.0f;
    for (int i = 1; i <= 6; ++i)
        for (int j = 1; j <= 6; ++j) {
            t.d(i, j) = float(std::abs(i - j));
            t.maximum = std::max(t.maximum, t.d(i, j));
        }
    t.pathLength = 6;
    for (int k = 1; k <= 6; ++k) {
        t.testFrames[std::size_t(k)] = std::int16_t(k);
        t.refFrames[std::size_t(k)] = std::int16_t(k);
    }
    for (int rotation : {0, 30, 45}) {
        for (int elevation : {5, 75, 85}) {
            SCOPED_TRACE(testing::Message() << rotation << "/" << elevation);
            Canvas c(200, 200);
            ProjectedPath path;
            Draw3DSurface(c, t, MakePalette(100), t.maximum / 8.0f, rotation, elevation, &path);
            const Projection3D v = Projection3D::make(200, 6, 6, rotation, elevation, t.maximum);
            for (int k = 1; k <= 6; ++k) {
                EXPECT_EQ(path.x[std::size_t(k)], v.x(k, k));
                EXPECT_EQ(path.y[std::size_t(k)], v.top(k, k, 0.0f));
            }
            EXPECT_TRUE(path.visible[1]);
            EXPECT_EQ(path.x[7], 0);  // nothing past the path
            EXPECT_EQ(c.pixels().size(), 200u * 200u);
            EXPECT_EQ(c.texts().size(), 2u);
        }
    }
    // A trace of forbidden and infinite distances draws without a fault.
    t.d(3, 3) = kForbidden;
    t.d(4, 4) = kInf;
    t.maximum = kInf;
    Canvas c(200, 200);
    ProjectedPath path;
    Draw3DSurface(c, t, MakePalette(100), kInf, 30, 75, &path);
    EXPECT_TRUE(path.visible[1]);
}

}  // namespace
