#include "model/KeyLayout.h"

#include "common/CodePage.h"
#include "model/KeyCodes.h"
#include "exchange/LayoutImport.h"
#include "model/MainData.h"
#include "table/FieldValue.h"
#include "SmallKeyboards.h"

#include <gtest/gtest.h>

#include <string>

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
