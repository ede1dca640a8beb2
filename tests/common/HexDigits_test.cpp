#include "common/HexDigits.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>

namespace {

TEST(HexDigits, ValueOfEveryCharacter)
{
    for (int i = 0; i < 256; ++i) {
        const char c = char(i);
        int expected = -1;
        if (c >= '0' && c <= '9')
            expected = c - '0';
        else if (c >= 'a' && c <= 'f')
            expected = 10 + (c - 'a');
        else if (c >= 'A' && c <= 'F')
            expected = 10 + (c - 'A');
        EXPECT_EQ(kf::HexDigitValue(c), expected) << "character " << i;
    }
}

TEST(HexDigits, EdgesOfTheRanges)
{
    const std::pair<char, int> cases[] = {{'0', 0}, {'9', 9}, {'a', 10}, {'f', 15}, {'A', 10}, {'F', 15},
                                          {'/', -1}, {':', -1}, {'`', -1}, {'g', -1}, {'@', -1}, {'G', -1},
                                          {'x', -1}, {' ', -1}, {'\0', -1}, {char(0xB9), -1}};
    for (const auto &[c, value] : cases)
        EXPECT_EQ(kf::HexDigitValue(c), value) << "character " << int(static_cast<unsigned char>(c));
}

TEST(HexDigits, ByteIsTwoLowerCaseDigits)
{
    const std::pair<uint8_t, const char *> cases[] = {{0x00, "00"}, {0x09, "09"}, {0x0a, "0a"}, {0x10, "10"},
                                                      {0x7f, "7f"}, {0x80, "80"}, {0xab, "ab"}, {0xff, "ff"}};
    for (const auto &[b, text] : cases)
        EXPECT_EQ(kf::HexByte(b), text);
    EXPECT_EQ(kf::HexDigit(0x1c), 'c') << "only the low four bits count";
}

TEST(HexDigits, EveryByteReadsBack)
{
    for (int b = 0; b < 256; ++b) {
        const std::string text = kf::HexByte(uint8_t(b));
        ASSERT_EQ(text.size(), 2u);
        EXPECT_EQ(kf::HexDigitValue(text[0]) * 16 + kf::HexDigitValue(text[1]), b);
    }
}

} // namespace
