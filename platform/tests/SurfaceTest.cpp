#include <gtest/gtest.h>

#include "platform/Surface.h"
#include "platform/SurfaceImage.h"
#include "platform/Colors.h"

using namespace talvor::platform;

TEST(PixelSurface, PixelsInsideAndOutside)
{
    PixelSurface s(4, 3, rgb(1, 2, 3));
    EXPECT_EQ(s.width(), 4);
    EXPECT_EQ(s.height(), 3);
    EXPECT_EQ(s.pixel(3, 2), 0x030201u);
    s.setPixel(2, 1, 0x00ABCDEF);
    EXPECT_EQ(s.pixel(2, 1), 0x00ABCDEFu);
    // Writes off the surface change nothing and reads there give 0.
    for (auto [x, y] : {std::pair{-1, 0}, {4, 0}, {0, -1}, {0, 3}, {1 << 30, 1 << 30}}) {
        SCOPED_TRACE(testing::Message() << x << "," << y);
        s.setPixel(x, y, 0x00FF0000);
        EXPECT_EQ(s.pixel(x, y), 0u);
    }
    int changed = 0;
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 4; ++x)
            changed += s.pixel(x, y) != 0x030201u;
    EXPECT_EQ(changed, 1);
    PixelSurface empty(0, 5);
    EXPECT_EQ(empty.width(), 0);
    EXPECT_EQ(empty.height(), 0);
}

// A source whose pixel value tells where it came from: x in the red byte, y in green.
static PixelSurface coordinateSurface(int w, int h)
{
    PixelSurface s(w, h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            s.setPixel(x, y, rgb(x, y, 0x80));
    return s;
}

TEST(PixelSurface, StretchCopiesByNearestNeighbour)
{
    const PixelSurface src = coordinateSurface(4, 2);
    PixelSurface dst(8, 6, 0x00FFFFFF);
    dst.stretchFrom(src, 0, 0, 4, 2, 0, 0, 8, 6);  // x2 wide, x3 high
    for (int y = 0; y < 6; ++y)
        for (int x = 0; x < 8; ++x)
            ASSERT_EQ(dst.pixel(x, y), rgb(x / 2, y / 3, 0x80)) << x << "," << y;

    PixelSurface small(2, 1, 0x00FFFFFF);
    small.stretchFrom(src, 0, 0, 4, 2, 0, 0, 2, 1);  // halved: every second source pixel
    EXPECT_EQ(small.pixel(0, 0), rgb(0, 0, 0x80));
    EXPECT_EQ(small.pixel(1, 0), rgb(2, 0, 0x80));
}

TEST(PixelSurface, StretchClipsBothRectangles)
{
    const PixelSurface src = coordinateSurface(4, 4);
    const Color white = 0x00FFFFFF;
    struct Case {
        const char* name;
        int sx, sy, sw, sh, dx, dy, dw, dh;
        int x, y;        // a destination pixel
        Color expected;  // what it holds afterwards
    } cases[] = {
        {"destination partly left of the surface", 0, 0, 4, 4, -2, 0, 4, 4, 0, 0, rgb(2, 0, 0x80)},
        {"destination partly below the surface", 0, 0, 4, 4, 0, 3, 4, 4, 1, 3, rgb(1, 0, 0x80)},
        {"source partly right of its surface keeps the scale", 2, 0, 4, 4, 0, 0, 4, 4, 1, 1, rgb(3, 1, 0x80)},
        {"off the source the destination stays", 2, 0, 4, 4, 0, 0, 4, 4, 2, 1, white},
        {"source above its surface", 0, -2, 4, 4, 0, 0, 4, 4, 0, 1, white},
        {"source above its surface, inside part", 0, -2, 4, 4, 0, 0, 4, 4, 0, 2, rgb(0, 0, 0x80)},
        {"empty rectangle draws nothing", 0, 0, 0, 4, 0, 0, 4, 4, 0, 0, white},
        {"destination entirely outside", 0, 0, 4, 4, 10, 10, 4, 4, 3, 3, white},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        PixelSurface dst(4, 4, white);
        dst.stretchFrom(src, c.sx, c.sy, c.sw, c.sh, c.dx, c.dy, c.dw, c.dh);
        EXPECT_EQ(dst.pixel(c.x, c.y), c.expected);
    }
}

TEST(SurfaceImage, RedAndBlueLandInTheirPlaces)
{
    PixelSurface s(3, 1, 0);
    s.setPixel(0, 0, rgb(255, 0, 0));
    s.setPixel(1, 0, rgb(0, 255, 0));
    s.setPixel(2, 0, rgb(0, 0, 255));
    const QImage img = toQImage(s);
    ASSERT_EQ(img.format(), QImage::Format_RGB32);
    EXPECT_EQ(img.pixel(0, 0), qRgb(255, 0, 0));
    EXPECT_EQ(img.pixel(1, 0), qRgb(0, 255, 0));
    EXPECT_EQ(img.pixel(2, 0), qRgb(0, 0, 255));
    EXPECT_EQ(QColor(img.pixel(0, 0)), QColor(Qt::red));

    // From an image of another format and back.
    QImage other(2, 2, QImage::Format_RGB888);
    other.fill(QColor(10, 20, 30));
    other.setPixelColor(1, 1, QColor(200, 100, 50));
    const PixelSurface back = fromQImage(other);
    ASSERT_EQ(back.width(), 2);
    EXPECT_EQ(back.pixel(0, 0), 0x001E140Au);
    EXPECT_EQ(back.pixel(1, 1), rgb(200, 100, 50));
    EXPECT_EQ(fromQImage(toQImage(back)).pixel(1, 1), back.pixel(1, 1));
    EXPECT_EQ(fromQImage(QImage()).width(), 0);
}

TEST(Colors, SystemColoursResolveAndRedAndBlueSwapForPainting)
{
    struct Row { std::uint32_t color; int r, g, b; };
    const Row rows[] = {
        {0x00123456, 0x56, 0x34, 0x12},                  // plain 0x00BBGGRR
        {kSystemButtonFace, 0xF0, 0xF0, 0xF0},           // button face
        {kSystemColorFlag + 13, 0x00, 0x78, 0xD7},       // highlight
        {kSystemColorFlag + 5000, 0xF0, 0xF0, 0xF0},     // unknown: button face
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.color);
        const QColor q = toQColor(row.color);
        EXPECT_EQ(q.red(), row.r);
        EXPECT_EQ(q.green(), row.g);
        EXPECT_EQ(q.blue(), row.b);
        EXPECT_EQ(fromQColor(q), resolveColor(row.color));
    }
}
