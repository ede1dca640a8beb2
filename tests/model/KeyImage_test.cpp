#include "common/ColorValue.h"
#include "model/KeyImage.h"

#include <gtest/gtest.h>

using namespace kf;

namespace {
QImage solid(int w, int h, QRgb c, QImage::Format f = QImage::Format_RGB32)
{
    QImage img(w, h, f);
    img.fill(c);
    return img;
}
} // namespace

TEST(KeyImage, RecolorTolerance)
{
    // Reference (bottom-left) is 100/100/100; the other pixels differ by the listed amounts.
    const struct { int dr, dg, db; bool changes; } cases[] = {
        {0, 0, 0, true},    {39, 39, 39, true},  {-39, -39, -39, true}, {40, 0, 0, false},
        {0, -40, 0, false}, {0, 0, 40, false},   {39, 40, 0, false},    {100, 100, 100, false},
    };
    for (const auto &c : cases) {
        QImage img = solid(2, 1, qRgb(100, 100, 100));
        img.setPixel(1, 0, qRgb(100 + c.dr, 100 + c.dg, 100 + c.db));
        const QImage out = RecolorKey(img, 0x0000FF); // red
        EXPECT_EQ(out.pixel(0, 0), qRgb(255, 0, 0));
        EXPECT_EQ(out.pixel(1, 0) == qRgb(255, 0, 0), c.changes) << c.dr << " " << c.dg << " " << c.db;
    }
}

TEST(KeyImage, ReferenceIsBottomLeftReadOnce)
{
    QImage img = solid(3, 3, qRgb(200, 200, 200));
    img.setPixel(0, 2, qRgb(10, 20, 30));  // bottom-left: the key colour
    img.setPixel(2, 0, qRgb(40, 50, 60));  // within 39 of the reference... 30/30/30 off
    img.setPixel(1, 1, qRgb(50, 20, 30));  // 40 off in red: kept
    // The new colour lies within 40 of the 200-grey pixels: they must stay,
    // because every pixel is compared with the saved reference, not a changed one.
    const uint32_t newColor = RgbToColorValue(qRgb(180, 180, 180));
    const QImage out = RecolorKey(img, newColor);
    EXPECT_EQ(out.pixel(0, 2), qRgb(180, 180, 180));
    EXPECT_EQ(out.pixel(2, 0), qRgb(180, 180, 180));
    EXPECT_EQ(out.pixel(1, 1), qRgb(50, 20, 30));
    EXPECT_EQ(out.pixel(1, 0), qRgb(200, 200, 200));
    // A second run takes the colour chosen in the first as its reference.
    const QImage again = RecolorKey(out, 0x00FF00);
    EXPECT_EQ(again.pixel(0, 2), qRgb(0, 255, 0));
    EXPECT_EQ(again.pixel(1, 0), qRgb(0, 255, 0)); // 200 is within 40 of 180
    EXPECT_EQ(again.pixel(1, 1), qRgb(50, 20, 30));

    const QImage one = RecolorKey(solid(1, 1, qRgb(1, 2, 3)), 0x030201);
    EXPECT_EQ(one.pixel(0, 0), qRgb(1, 2, 3));
    EXPECT_TRUE(RecolorKey(QImage(), 5).isNull());
}

TEST(KeyImage, PaletteKeptNearestEntry)
{
    QImage img(2, 2, QImage::Format_Indexed8);
    img.setColorTable({qRgb(0, 0, 0), qRgb(250, 0, 0), qRgb(0, 0, 250)});
    img.fill(0);
    img.setPixel(1, 0, 2);
    const QImage out = RecolorKey(img, RgbToColorValue(qRgb(240, 10, 10)));
    EXPECT_EQ(out.format(), QImage::Format_Indexed8);
    EXPECT_EQ(out.colorTable(), img.colorTable());
    EXPECT_EQ(out.pixelIndex(0, 1), 1);
    EXPECT_EQ(out.pixelIndex(1, 0), 2);
}
