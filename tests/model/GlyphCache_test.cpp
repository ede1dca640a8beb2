// Key pictures decoded once: the same Glyph value gives the very image decoded
// before, another value a fresh one.

#include "model/GlyphCache.h"
#include "model/GlyphCodec.h"

#include <gtest/gtest.h>

using namespace kf;

namespace {
std::string glyph(int w, int h, QRgb c)
{
    QImage img(w, h, QImage::Format_RGB32);
    img.fill(c);
    return ImageToGlyph(img);
}
} // namespace

TEST(GlyphCache, SameValueIsDecodedOnce)
{
    TGlyphCache cache;
    const std::string red = glyph(10, 6, qRgb(255, 0, 0));
    const QImage first = cache.Picture(red);
    ASSERT_FALSE(first.isNull());
    EXPECT_EQ(first.size(), QSize(10, 6));
    EXPECT_EQ(cache.Picture(red).cacheKey(), first.cacheKey());          // not decoded again
    EXPECT_EQ(cache.Picture(std::string(red)).cacheKey(), first.cacheKey()); // an equal value too

    const QImage blue = cache.Picture(glyph(10, 6, qRgb(0, 0, 255)));
    EXPECT_NE(blue.cacheKey(), first.cacheKey());
    EXPECT_EQ(blue.pixel(0, 0), qRgb(0, 0, 255));
    EXPECT_EQ(cache.Size(), 2u);

    cache.Clear();
    EXPECT_NE(cache.Picture(red).cacheKey(), first.cacheKey()); // decoded anew
}

TEST(GlyphCache, EmptyAndBadValuesGiveNoPicture)
{
    TGlyphCache cache;
    EXPECT_TRUE(cache.Picture(std::string()).isNull());
    EXPECT_TRUE(cache.Picture(std::string("not a bitmap")).isNull());
    EXPECT_TRUE(cache.Picture(std::string("not a bitmap")).isNull());
}

TEST(GlyphCache, StaysWithinItsCapacity)
{
    TGlyphCache cache(2);
    const std::string a = glyph(1, 1, qRgb(1, 0, 0));
    const std::string b = glyph(2, 1, qRgb(2, 0, 0));
    const std::string c = glyph(3, 1, qRgb(3, 0, 0));
    cache.Picture(a);
    cache.Picture(b);
    EXPECT_EQ(cache.Size(), 2u);
    EXPECT_EQ(cache.Picture(c).size(), QSize(3, 1));
    EXPECT_LE(cache.Size(), 2u);
    EXPECT_EQ(cache.Picture(a).size(), QSize(1, 1)); // still right after it was dropped
    EXPECT_LE(cache.Size(), 2u);
}
