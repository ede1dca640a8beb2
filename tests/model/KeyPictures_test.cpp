// Drawn key pictures: the face colour in the bottom-left pixel, captions kept
// inside the key, and the pictures of a whole imported definition.

#include "model/KeyPictures.h"

#include "common/CodePage.h"
#include "common/ColorValue.h"
#include "model/GlyphCodec.h"
#include "exchange/LayoutImport.h"
#include "model/MainData.h"
#include "SmallKeyboards.h"

#include <gtest/gtest.h>

#include <QGuiApplication>

using namespace kf;

namespace {

void NeedApp()
{
    static int argc = 1;
    static char name[] = "KeyPictures_test";
    static char *argv[] = {name, nullptr};
    static QGuiApplication app(argc, argv);
}

// The bounding box of the pixels where two pictures differ.
QRect Difference(const QImage &a, const QImage &b)
{
    QRect box;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x)
            if (a.pixel(x, y) != b.pixel(x, y))
                box |= QRect(x, y, 1, 1);
    return box;
}

struct CaptionCase {
    const char *label;
    KeyCaption caption;
    int width, height;
    bool shows = true; // false: too small for any caption, which may then be left out
};

const CaptionCase kCaptions[] = {
    {"capital", {"W", "", "", "", ""}, 40, 40},
    {"cyrillic_capital", {QString::fromUtf8("Щ"), "", "", "", ""}, 40, 40},
    {"shift_plain_altgr", {"%", "5", QString::fromUtf8("€"), QString::fromUtf8("⅜"), ""}, 40, 40},
    {"wide_characters", {QString::fromUtf8("Ж"), QString::fromUtf8("Ш"), QString::fromUtf8("Ю"), "@", ""}, 40, 40},
    {"several_characters_in_a_place", {"WWW", "MMM", "WWW", "MMM", ""}, 40, 40},
    {"dead_key_marks", {QString::fromUtf8("`"), QString::fromUtf8("´"), "", "", ""}, 40, 40},
    {"name_on_a_narrow_key", {"", "", "", "", "Backspace"}, 40, 40},
    {"name_too_long_for_any_size", {"", "", "", "", "A name far too long for the key"}, 30, 30},
    {"name_on_a_wide_key", {"", "", "", "", "Caps Lock"}, 72, 40},
    {"tall_enter", {"", "", "", "", "Enter"}, 50, 82},
    {"small_key", {"Q", "q", "@", "", ""}, 24, 24},
    {"tiny_key", {"Q", "q", "@", "", ""}, 14, 14, false},
    {"tiny_key_with_name", {"", "", "", "", "Enter"}, 12, 12, false},
    {"flat_key", {"Q", "q", "@", "", ""}, 120, 16},
};

void PrintTo(const CaptionCase &c, std::ostream *os)
{
    *os << c.label;
}

class CaptionPlaces : public ::testing::TestWithParam<CaptionCase> {};

TEST_P(CaptionPlaces, StayInsideTheKey)
{
    NeedApp();
    const CaptionCase &c = GetParam();
    for (const uint32_t face : {0xC0C0FFu, 0x000000u, 0xFFFFFFu, 0x204060u}) {
        const QImage with = DrawKeyPicture(c.caption, c.width, c.height, face);
        const QImage without = DrawKeyPicture(KeyCaption{}, c.width, c.height, face);
        ASSERT_EQ(with.size(), QSize(c.width, c.height));
        EXPECT_EQ(RgbToColorValue(with.pixel(0, c.height - 1)), face);
        const QRect drawn = Difference(with, without);
        if (drawn.isEmpty()) {
            EXPECT_FALSE(c.shows) << "nothing drawn";
            continue;
        }
        const QRect area = KeyCaptionArea(c.width, c.height);
        EXPECT_TRUE(area.contains(drawn)) << "caption at (" << drawn.left() << "," << drawn.top() << ")-("
                                          << drawn.right() << "," << drawn.bottom() << ") outside ("
                                          << area.left() << "," << area.top() << ")-(" << area.right() << ","
                                          << area.bottom() << ")";
    }
}

INSTANTIATE_TEST_SUITE_P(Captions, CaptionPlaces, ::testing::ValuesIn(kCaptions),
                         [](const ::testing::TestParamInfo<CaptionCase> &i) { return std::string(i.param.label); });

TEST(KeyPictures, FaceColourIsTheBottomLeftPixelAtAnySize)
{
    NeedApp();
    for (const QSize size : {QSize(1, 1), QSize(3, 7), QSize(40, 40), QSize(292, 40)})
        for (const uint32_t face : {0x123456u, 0xE0E0E0u}) {
            const QImage img = DrawKeyPicture(KeyCaption{"A", "a", "", "", ""}, size.width(), size.height(), face);
            ASSERT_EQ(img.size(), size);
            EXPECT_EQ(RgbToColorValue(img.pixel(0, size.height() - 1)), face);
            // The outer column and row stay the face colour all along.
            for (int y = 0; y < size.height(); ++y)
                EXPECT_EQ(RgbToColorValue(img.pixel(0, y)), face);
        }
}

// Whether any pixel of a part of the picture is far from the face colour.
bool InkIn(const QImage &img, const QRect &part, uint32_t face)
{
    const QRgb f = ColorValueToRgb(face);
    for (int y = part.top(); y <= part.bottom(); ++y)
        for (int x = part.left(); x <= part.right(); ++x) {
            const QRgb p = img.pixel(x, y);
            if (std::abs(qRed(p) - qRed(f)) + std::abs(qGreen(p) - qGreen(f)) + std::abs(qBlue(p) - qBlue(f)) > 200)
                return true;
        }
    return false;
}

class ImportedPictures : public ::testing::Test {
protected:
    void SetUp() override
    {
        NeedApp();
        LayoutImportOptions o;
        o.layout = "de";
        o.codePage = "CP1252";
        o.composeLocale = "en_US.UTF-8";
        ImportLayout(dm, o);
        for (int f = 0; f < 10; ++f)
            dm.FingerColor[size_t(f)] = int32_t(0x808000 + f * 0x10);
    }
    QImage Picture(const std::string &name)
    {
        EXPECT_TRUE(dm.MainTbl.Locate("Name", {TValue(name)})) << name;
        return GlyphToImage(dm.MainTbl.FieldByName("Glyph").AsString());
    }
    TDataMod dm;
    const CodePage cp{"CP1252"};
};

TEST_F(ImportedPictures, EveryKeyGetsItsFingerColourAndSize)
{
    const KeyPicturesResult r = DrawKeyPictures(dm, KeyFaces{}, cp);
    EXPECT_EQ(r.drawn, dm.MainTbl.RecordCount());
    EXPECT_EQ(r.skipped, 0);
    for (dm.MainTbl.First(); !dm.MainTbl.Eof(); dm.MainTbl.Next()) {
        const QImage img = GlyphToImage(dm.MainTbl.FieldByName("Glyph").AsString());
        ASSERT_FALSE(img.isNull());
        EXPECT_EQ(img.width(), dm.MainTbl.FieldByName("Width").AsInteger());
        EXPECT_EQ(img.height(), dm.MainTbl.FieldByName("Height").AsInteger());
        const int finger = dm.MainTbl.FieldByName("Finger").AsInteger();
        EXPECT_EQ(KeyFaceColor(img), uint32_t(dm.FingerColor[size_t(finger)]));
    }
}

TEST_F(ImportedPictures, OneColourForEveryKey)
{
    DrawKeyPictures(dm, KeyFaces{true, 0x3366CC}, cp);
    for (dm.MainTbl.First(); !dm.MainTbl.Eof(); dm.MainTbl.Next())
        EXPECT_EQ(KeyFaceColor(GlyphToImage(dm.MainTbl.FieldByName("Glyph").AsString())), 0x3366CCu);
}

TEST_F(ImportedPictures, LetterShowsItsCapitalAloneOtherKeysBothCharacters)
{
    DrawKeyPictures(dm, KeyFaces{true, 0xFFFFFF}, cp);
    const auto halves = [](const QImage &img) {
        const QRect a = KeyCaptionArea(img.width(), img.height());
        return std::pair<QRect, QRect>{QRect(a.left(), a.top(), a.width() / 2, a.height() / 2),
                                       QRect(a.left(), a.top() + a.height() * 3 / 4, a.width() / 2,
                                             a.height() - a.height() * 3 / 4)};
    };
    const QImage letter = Picture("\xD6"); // Ö
    auto [upper, lower] = halves(letter);
    EXPECT_TRUE(InkIn(letter, upper, 0xFFFFFF));
    EXPECT_FALSE(InkIn(letter, lower, 0xFFFFFF));
    const QImage digit = Picture("1");
    std::tie(upper, lower) = halves(digit);
    EXPECT_TRUE(InkIn(digit, upper, 0xFFFFFF));
    EXPECT_TRUE(InkIn(digit, lower, 0xFFFFFF));
    // Keys without characters show their name; a dead key its accent.
    EXPECT_TRUE(InkIn(Picture("Backspace"), KeyCaptionArea(82, 40), 0xFFFFFF));
    EXPECT_TRUE(InkIn(Picture("Acute"), KeyCaptionArea(40, 40), 0xFFFFFF));
}

TEST_F(ImportedPictures, OddSizesAreSkippedAndTheCurrentRowStays)
{
    dm.MainTbl.Locate("Name", {TValue(std::string("Q"))});
    dm.MainTbl.Edit();
    dm.MainTbl.FieldByName("Width").SetAsInteger(0);
    dm.MainTbl.Post();
    dm.MainTbl.Locate("Name", {TValue(std::string("W"))});
    dm.MainTbl.Edit();
    dm.MainTbl.FieldByName("Height").SetAsInteger(1000000);
    dm.MainTbl.Post();
    dm.MainTbl.Locate("Name", {TValue(std::string("E"))});
    const int recNo = dm.MainTbl.RecNo();
    const KeyPicturesResult r = DrawKeyPictures(dm, KeyFaces{}, cp);
    EXPECT_EQ(r.skipped, 2);
    EXPECT_EQ(r.drawn, dm.MainTbl.RecordCount() - 2);
    EXPECT_EQ(dm.MainTbl.RecNo(), recNo);
    EXPECT_TRUE(Picture("Q").isNull());
    EXPECT_TRUE(Picture("W").isNull());
    EXPECT_FALSE(Picture("E").isNull());
}

TEST_F(ImportedPictures, PendingEditIsPostedFirst)
{
    dm.MainTbl.Locate("Name", {TValue(std::string("R"))});
    dm.MainTbl.Edit();
    dm.MainTbl.FieldByName("Width").SetAsInteger(60);
    DrawKeyPictures(dm, KeyFaces{}, cp);
    EXPECT_EQ(Picture("R").width(), 60);
}

// The box of the pixels a caption adds to a blank key of the same size.
QRect CaptionInk(const QImage &picture, uint32_t face)
{
    return Difference(picture, DrawKeyPicture(KeyCaption{}, picture.width(), picture.height(), face));
}

// A dead key's accent mark on its picture is as large as a digit: the font's
// spacing accents alone are a few pixels.
struct MarkCase {
    const char *label;
    int32_t accent;
    bool onAltGr; // a character key's AltGr dead key, else a dead key of its own
};

void PrintTo(const MarkCase &c, std::ostream *os)
{
    *os << c.label;
}

class DeadKeyMarks : public ::testing::TestWithParam<MarkCase> {};

TEST_P(DeadKeyMarks, AreAsLargeAsTheOtherCharacters)
{
    NeedApp();
    const MarkCase &c = GetParam();
    constexpr uint32_t face = 0xFFFFFF;
    TDataMod dm;
    sample::AddKey(dm, "1", 1, 2, TValue(), 0, 0, 0, 40, 40);
    sample::AddChar(dm, "one", '1', TValue(int32_t(1)), false, false, 0);
    sample::AddChar(dm, "one AltGr", '1', TValue(int32_t(1)), false, true, 0);
    if (c.onAltGr)
        sample::AddKey(dm, "Dead", 2, 2, TValue(c.accent), 0, 42, 0, 40, 40);
    else
        sample::AddKey(dm, "Dead", 2, c.accent, TValue(c.accent), 0, 42, 0, 40, 40);
    KeyFaces faces;
    faces.oneColor = true;
    faces.color = face;
    ASSERT_EQ(DrawKeyPictures(dm, faces, CodePage("CP1252")).drawn, 2);

    auto picture = [&dm](const std::string &name) {
        EXPECT_TRUE(dm.MainTbl.Locate("Name", {TValue(name)}));
        return GlyphToImage(dm.MainTbl.FieldByName("Glyph").AsString());
    };
    const QImage digitKey = picture("1");
    const QImage deadKey = picture("Dead");
    // The digit in the place the mark takes: plain lower left, AltGr lower right.
    const QRect area = KeyCaptionArea(40, 40);
    const QRect half = c.onAltGr ? QRect(area.center().x() + 1, area.top(), area.right() - area.center().x(), area.height())
                                 : QRect(area.left(), area.top(), area.center().x() - area.left(), area.height());
    const QRect digit = CaptionInk(digitKey, face) & half;
    const QRect mark = CaptionInk(deadKey, face);
    ASSERT_FALSE(digit.isEmpty());
    ASSERT_FALSE(mark.isEmpty());
    EXPECT_TRUE(area.contains(mark));
    EXPECT_TRUE(half.contains(mark));
    EXPECT_GE(std::max(mark.width(), mark.height()) * 4, digit.height() * 3)
        << "mark " << mark.width() << " x " << mark.height() << ", digit " << digit.width() << " x " << digit.height();
}

INSTANTIATE_TEST_SUITE_P(Accents, DeadKeyMarks,
                         ::testing::Values(MarkCase{"grave", 2001, false}, MarkCase{"acute", 2002, false},
                                           MarkCase{"circumflex", 2003, false}, MarkCase{"tilde", 2004, false},
                                           MarkCase{"umlaut", 2005, false}, MarkCase{"ring", 2006, false},
                                           MarkCase{"caron", 2007, false}, MarkCase{"cedilla", 2008, false},
                                           MarkCase{"acute_on_altgr", 2002, true},
                                           MarkCase{"umlaut_on_altgr", 2005, true}),
                         [](const ::testing::TestParamInfo<MarkCase> &i) { return std::string(i.param.label); });

TEST(KeyPictures, AccentMarks)
{
    EXPECT_EQ(AccentMark(2002), QString::fromUtf8("´"));
    EXPECT_EQ(AccentMark(2005), QString::fromUtf8("¨"));
    EXPECT_TRUE(AccentMark(0).isEmpty());
    EXPECT_TRUE(AccentMark(2009).isEmpty());
}

} // namespace
