#include "model/KeyLayout.h"

#include "common/CodePage.h"
#include "model/KeyCodes.h"
#include "exchange/LayoutImport.h"
#include "model/MainData.h"
#include "table/FieldValue.h"
#include "SmallKeyboards.h"

#include <gtest/gtest.h>

#include <QPointF>

#include <cctype>
#include <cmath>
#include <string>
#include <vector>

using namespace kf;

namespace {

// The plain characters of a row, left to right ('.' for a key typing none).
std::string RowText(const TKeyLayout &layout, int row)
{
    std::string text;
    for (int k : layout.Rows[size_t(row)]) {
        const uint8_t c = layout.CharAt(k, TKeyLevel::Plain);
        text += c ? char(c) : '.';
    }
    return text;
}

TEST(KeyLayoutTest, AnImportedLayoutHasItsRowsFromTheTopAndItsHomeRow)
{
    TDataMod dm;
    LayoutImportOptions o;
    o.layout = "us";
    o.codePage = "CP1252";
    o.composeLocale = "en_US.UTF-8";
    ImportLayout(dm, o);
    const TKeyLayout layout = TKeyLayout::FromDataMod(dm);
    ASSERT_GE(layout.Rows.size(), 5u);
    EXPECT_NE(RowText(layout, 0).find("1234567890-="), std::string::npos) << RowText(layout, 0);
    EXPECT_NE(RowText(layout, 1).find("qwertyuiop[]"), std::string::npos) << RowText(layout, 1);
    ASSERT_EQ(layout.HomeRow(), 2);
    EXPECT_NE(RowText(layout, 2).find("asdfghjkl;'"), std::string::npos) << RowText(layout, 2);
    EXPECT_NE(RowText(layout, 3).find("zxcvbnm,./"), std::string::npos) << RowText(layout, 3);
    const int a = layout.Rows[2][size_t(RowText(layout, 2).find('a'))];
    EXPECT_EQ(layout.Keys[size_t(a)].Finger, Fingers::LLittle);
    EXPECT_EQ(layout.CharAt(a, TKeyLevel::Shift), 'A');
    EXPECT_GE(layout.ModifierKey(KeyTypes::LShift), 0);
    EXPECT_GE(layout.ModifierKey(KeyTypes::RShift), 0);
}

// A hand-made keyboard: rows a few pixels out of line, one key of no size,
// a character whose KeyNo names no key, a number row of digits only.
TEST(KeyLayoutTest, RowsFollowTheKeysCentresAndTheHomeRowIsAboveTheLowestLetterRow)
{
    TDataMod dm;
    int value = 1;
    const auto key = [&](const char *chars, int y0, int dy) {
        for (int i = 0; chars[i]; ++i) {
            const std::string name(1, chars[i]);
            const int32_t type = chars[i] >= '0' && chars[i] <= '9' ? KeyTypes::Num : KeyTypes::Alpha;
            sample::AddKey(dm, name, value, type, TValue(0), i % 10, i * 40 + y0 / 4, y0 + (i % 2) * dy, 40, 40);
            sample::AddChar(dm, name, uint8_t(chars[i]), TValue(value), false, false, 0);
            ++value;
        }
    };
    key("1234", 0, 6);
    key("qwer", 40, -5);
    key("asdf", 80, 9);
    key("zxcv", 120, 3);
    sample::AddKey(dm, "flat", 99, KeyTypes::Alpha, TValue(0), 0, 0, 300, 40, 0);
    sample::AddChar(dm, "lost", 'Z', TValue(500), false, false, 0);
    const TKeyLayout layout = TKeyLayout::FromDataMod(dm);
    ASSERT_EQ(layout.Rows.size(), 4u);
    EXPECT_EQ(RowText(layout, 0), "1234");
    EXPECT_EQ(RowText(layout, 1), "qwer");
    EXPECT_EQ(RowText(layout, 2), "asdf");
    EXPECT_EQ(RowText(layout, 3), "zxcv");
    EXPECT_FALSE(layout.IsLetterRow(0));
    EXPECT_EQ(layout.HomeRow(), 2);
    EXPECT_EQ(layout.Keys[size_t(layout.KeyByValue(99))].Row, -1);
    EXPECT_EQ(layout.Chars.back().Key, -1);
    EXPECT_EQ(layout.ModifierKey(KeyTypes::AltGr), -1);
}

// Boards whose rows are not straight: each key's centre moved, the key
// itself kept upright, as a hand-made or ergonomic definition has them.
struct BoardShape {
    const char *name;
    KeyBlock block;
    // The new centre of a key of the left or right hand, from its centre on
    // the straight board; mid: the x between the hands.
    QPointF (*move)(QPointF centre, bool left, double mid);
};

QPointF rotated(QPointF p, QPointF around, double slope)
{
    const double angle = std::atan(slope);
    const QPointF d = p - around;
    return around + QPointF(d.x() * std::cos(angle) - d.y() * std::sin(angle),
                            d.x() * std::sin(angle) + d.y() * std::cos(angle));
}

const BoardShape kShapes[] = {
    {"straight ISO", KeyBlock::Iso, [](QPointF p, bool, double) { return p; }},
    {"sloped 12 % ANSI", KeyBlock::Ansi, [](QPointF p, bool, double) { return p + QPointF(0, 0.12 * p.x()); }},
    {"sloped 12 % ISO", KeyBlock::Iso, [](QPointF p, bool, double) { return p + QPointF(0, 0.12 * p.x()); }},
    {"turned 7 degrees", KeyBlock::Iso, [](QPointF p, bool, double mid) { return rotated(p, {mid, 100}, -0.12); }},
    {"curved", KeyBlock::Iso,
     [](QPointF p, bool, double mid) {
         const double t = (p.x() - mid) / mid;
         return p + QPointF(0, 30 * t * t);
     }},
    {"split V", KeyBlock::Ansi,
     [](QPointF p, bool left, double mid) {
         return left ? rotated(p, {mid, 100}, 0.12) : rotated(p, {mid, 100}, -0.12) + QPointF(80, 0);
     }},
    {"split, right half lower", KeyBlock::Iso,
     [](QPointF p, bool left, double) { return left ? p : p + QPointF(60, 15); }},
    {"split, halves turned apart", KeyBlock::Iso,
     [](QPointF p, bool left, double mid) {
         return left ? rotated(p, {mid, 100}, -0.1) : rotated(p, {mid, 100}, 0.1) + QPointF(60, 0);
     }},
};

class KeyLayoutShapeTest : public ::testing::TestWithParam<BoardShape> {};

TEST_P(KeyLayoutShapeTest, EveryRowStaysWholeOnASlopedCurvedOrSplitBoard)
{
    const BoardShape &shape = GetParam();
    TDataMod dm;
    LayoutImportOptions o;
    o.layout = "us";
    o.block = shape.block;
    o.codePage = "CP1252";
    o.composeLocale = "en_US.UTF-8";
    ImportLayout(dm, o);
    const TKeyLayout straight = TKeyLayout::FromDataMod(dm);
    std::vector<std::string> expected;
    for (size_t r = 0; r < straight.Rows.size(); ++r)
        expected.push_back(RowText(straight, int(r)));
    ASSERT_EQ(expected.size(), 5u);

    // The middle between the hands: between T and Y.
    double mid = 0;
    for (const TLayoutKey &k : straight.Keys)
        if (k.Name == "T" || k.Name == "Y")
            mid += (k.X + k.Width / 2.0) / 2;
    for (dm.MainTbl.First(); !dm.MainTbl.Eof(); dm.MainTbl.Next()) {
        const int w = dm.MainTbl.FieldByName("Width").AsInteger(), h = dm.MainTbl.FieldByName("Height").AsInteger();
        const QPointF centre(dm.MainTbl.FieldByName("X").AsInteger() + w / 2.0,
                             dm.MainTbl.FieldByName("Y").AsInteger() + h / 2.0);
        const bool left = Fingers::IsLeftHand(dm.MainTbl.FieldByName("Finger").AsInteger());
        const QPointF moved = shape.move(centre, left, mid) + QPointF(0, 200);
        dm.MainTbl.Edit();
        dm.MainTbl.FieldByName("X").SetAsInteger(int(std::lround(moved.x() - w / 2.0)));
        dm.MainTbl.FieldByName("Y").SetAsInteger(int(std::lround(moved.y() - h / 2.0)));
        dm.MainTbl.Post();
    }
    const TKeyLayout layout = TKeyLayout::FromDataMod(dm);
    std::vector<std::string> rows;
    for (size_t r = 0; r < layout.Rows.size(); ++r)
        rows.push_back(RowText(layout, int(r)));
    EXPECT_EQ(rows, expected);
    EXPECT_EQ(layout.HomeRow(), 2);
}

INSTANTIATE_TEST_SUITE_P(Shapes, KeyLayoutShapeTest, ::testing::ValuesIn(kShapes),
                         [](const ::testing::TestParamInfo<BoardShape> &info) {
                             std::string name;
                             for (const char *c = info.param.name; *c; ++c)
                                 if (std::isalnum(uint8_t(*c)))
                                     name += *c;
                             return name;
                         });

// A key two rows high (the ISO Enter) belongs to the row of its lower half;
// keys beside each other in different rows do not join.
TEST(KeyLayoutTest, ATallKeyJoinsTheLowerRowAndCloseRowsStayApart)
{
    TDataMod dm;
    int value = 1;
    const auto key = [&](const char *name, int x, int y, int w, int h) {
        sample::AddKey(dm, name, value, KeyTypes::Alpha, TValue(0), 0, x, y, w, h);
        sample::AddChar(dm, name, uint8_t(name[0]), TValue(value), false, false, 0);
        ++value;
    };
    // Rows touching (40 pixels apart, 40 high), the lower one 30 pixels to
    // the right and every other key of it 3 pixels higher.
    key("q", 0, 0, 40, 40);
    key("w", 40, 0, 40, 40);
    key("e", 80, 0, 40, 40);
    key("a", 30, 40, 40, 40);
    key("s", 70, 37, 40, 40);
    key("d", 110, 40, 40, 40);
    key("\r", 160, 0, 40, 80);
    const TKeyLayout layout = TKeyLayout::FromDataMod(dm);
    ASSERT_EQ(layout.Rows.size(), 2u);
    EXPECT_EQ(RowText(layout, 0), "qwe");
    EXPECT_EQ(RowText(layout, 1), "asd\r");
}

TEST(KeyLayoutTest, AKeyboardWithoutLettersHasNoHomeRow)
{
    TDataMod dm;
    sample::AddKey(dm, "1", 1, KeyTypes::Num, TValue(0), 0, 0, 0);
    sample::AddChar(dm, "1", '1', TValue(1), false, false, 0);
    const TKeyLayout layout = TKeyLayout::FromDataMod(dm);
    EXPECT_EQ(layout.Rows.size(), 1u);
    EXPECT_EQ(layout.HomeRow(), -1);
    EXPECT_EQ(TKeyLayout::FromDataMod(TDataMod()).HomeRow(), -1);
}

} // namespace
