#include "model/GlyphCodec.h"

#include "TestCatalogue.h"
#include "common/ColorValue.h"
#include "common/Errors.h"

#include <gtest/gtest.h>

#include <optional>

using namespace kf;

namespace {
QImage solid(int w, int h, QRgb c, QImage::Format f = QImage::Format_RGB32)
{
    QImage img(w, h, f);
    img.fill(c);
    return img;
}
} // namespace

TEST(GlyphCodec, GlyphRoundTripAndHeaderRule)
{
    QImage img = solid(60, 40, qRgb(12, 34, 56));
    img.setPixel(5, 5, qRgb(1, 2, 3));
    const std::string glyph = ImageToGlyph(img);
    ASSERT_GT(glyph.size(), 8u);
    EXPECT_EQ(glyph.substr(0, 4), std::string("\x01\x00\x00\x01", 4));
    EXPECT_EQ(glyph.substr(8, 2), "BM");
    const QImage back = GlyphToImage(glyph);
    EXPECT_EQ(back.size(), img.size());
    EXPECT_EQ(back.pixel(5, 5), qRgb(1, 2, 3));
    EXPECT_EQ(KeyFaceColor(back), RgbToColorValue(qRgb(12, 34, 56)));
    // A bare bitmap without the header reads too.
    EXPECT_EQ(GlyphToImage(glyph.substr(8)).size(), img.size());
    // A header whose size does not match is not skipped: the value is then no bitmap.
    std::string badHeader = glyph;
    badHeader[4] = char(badHeader[4] + 1);
    EXPECT_THROW(GlyphToImage(badHeader), EInvalidGraphic);
    EXPECT_TRUE(GlyphToImage("").isNull());
    EXPECT_TRUE(ImageToGlyph(QImage()).empty());
}

TEST(GlyphCodec, InvalidBitmapsAreRefused)
{
    const std::string cases[] = {
        "not a bitmap",
        "BM",
        std::string("BM\x10\x00\x00\x00\x00\x00\x00\x00\x36\x00\x00\x00\x28\x00\x00\x00"
                    "\xff\xff\xff\x7f\xff\xff\xff\x7f\x01\x00\x18\x00", 30), // 2^31 x 2^31
        "\x89PNG\r\n\x1a\n",
    };
    for (const auto &bytes : cases) {
        try {
            BitmapFromBytes(bytes);
            FAIL() << "accepted " << bytes;
        } catch (const EInvalidGraphic &e) {
            EXPECT_STREQ(e.what(), "Bitmap image is not valid");
        }
    }
    EXPECT_THROW(LoadBitmapFile("/nonexistent.bmp"), EFOpenError);
}

// A picture that no keyboard package could hold is refused with a message
// naming the limit; one that fits is taken, up to the last byte.
TEST(GlyphCodec, PictureTooLargeForAPackageIsRefused)
{
    const QImage small = solid(100, 60, qRgb(1, 2, 3));
    const uint64_t smallBytes = ImageToGlyph(small).size();
    const std::string shortRefusal =
        "A key picture may take at most " + std::to_string(smallBytes - 1) + " bytes in a keyboard package";
    struct Case {
        const char *name;
        QImage picture;
        uint64_t room;
        const char *refusal; // empty: taken
    };
    QImage mono(8192, 8192, QImage::Format_Mono); // 2^26 pixels at one bit: 8 MiB
    mono.fill(0);
    QImage monoWider(8193, 8192, QImage::Format_Mono);
    monoWider.fill(0);
    const Case cases[] = {
        {"fits exactly", small, smallBytes, ""},
        {"one byte short", small, smallBytes - 1, shortRefusal.c_str()},
        {"no room at all", small, 0, "A key picture may take at most 0 bytes in a keyboard package"},
        {"no picture needs no room", QImage(), 0, ""},
        {"the most pixels", mono, uint64_t(64) << 20, ""},
        {"one column more", monoWider, uint64_t(64) << 20, "A key picture may have at most 67108864 pixels"},
        {"too large before writing it out", mono, 1000, "A key picture may take at most 1000 bytes in a keyboard package"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        if (!*c.refusal) {
            EXPECT_NO_THROW(CheckKeyPicture(c.picture, c.room));
            continue;
        }
        try {
            CheckKeyPicture(c.picture, c.room);
            ADD_FAILURE() << "taken";
        } catch (const EInvalidGraphic &e) {
            EXPECT_STREQ(e.what(), c.refusal);
        }
    }
}

// Every picture a key may have reads back from its Glyph, up to 2^26 pixels.
TEST(GlyphCodec, TheMostPixelsReadBack)
{
    QImage mono(8192, 8192, QImage::Format_Mono);
    mono.setColorTable({qRgb(0, 0, 0), qRgb(255, 255, 255)});
    mono.fill(1);
    mono.setPixel(0, 8191, 0);
    ASSERT_NO_THROW(CheckKeyPicture(mono, uint64_t(64) << 20));
    const QImage back = GlyphToImage(ImageToGlyph(mono));
    EXPECT_EQ(back.size(), QSize(8192, 8192));
    EXPECT_EQ(back.pixel(0, 8191), qRgb(0, 0, 0));
    EXPECT_EQ(back.pixel(1, 8191), qRgb(255, 255, 255));
}

// The refusals come through the translation catalogue.
TEST(GlyphCodec, PictureRefusalsAreTranslated)
{
    if (!kf::support::MsgfmtInstalled())
        GTEST_SKIP() << "msgfmt is not installed";
    std::optional<kf::support::ScopedCatalogue> german(std::in_place, "de_DE.UTF-8",
        kf::support::CatalogueEntries{
            {"A key picture may have at most %s pixels", "Ein Tastenbild hat h\xc3\xb6" "chstens %s Bildpunkte"},
            {"A key picture may take at most %s bytes in a keyboard package",
             "Ein Tastenbild belegt im Paket h\xc3\xb6" "chstens %s Byte"}});
    ASSERT_TRUE(german->Ok()) << german->Error();
    std::string tooMany, tooLarge;
    QImage wide(8193, 8192, QImage::Format_Mono);
    try {
        CheckKeyPicture(wide, 1 << 30);
    } catch (const EInvalidGraphic &e) {
        tooMany = e.what();
    }
    try {
        CheckKeyPicture(solid(10, 10, qRgb(0, 0, 0)), 100);
    } catch (const EInvalidGraphic &e) {
        tooLarge = e.what();
    }
    german.reset();
    EXPECT_EQ(tooMany, "Ein Tastenbild hat h\xc3\xb6" "chstens 67108864 Bildpunkte");
    EXPECT_EQ(tooLarge, "Ein Tastenbild belegt im Paket h\xc3\xb6" "chstens 100 Byte");
}
