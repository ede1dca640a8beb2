#include "model/KeyCodes.h"

#include <gtest/gtest.h>

using namespace kf;

namespace {

struct TCodeCase {
    int32_t type, type2;
    bool shift, altGr;
    int32_t expected;
};

class EffectiveCodeTest : public ::testing::TestWithParam<TCodeCase> {};

TEST_P(EffectiveCodeTest, YieldsTheCodeOfTheModifierState)
{
    const TCodeCase &c = GetParam();
    EXPECT_EQ(KeyTypes::EffectiveCode(c.type, c.type2, c.shift, c.altGr), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Pairings, EffectiveCodeTest,
    ::testing::Values(
        // A key with one type yields it whatever the modifiers.
        TCodeCase{1, 0, false, false, 1}, TCodeCase{3, 0, true, true, 3}, TCodeCase{1002, 0, true, false, 1002},
        TCodeCase{13, 0, false, true, 13},
        // A character key with a dead key on AltGr.
        TCodeCase{1, 2003, false, false, 1}, TCodeCase{2, 2003, false, true, 2003},
        TCodeCase{1, 2003, true, false, 1},
        // A dead key with its shifted accent.
        TCodeCase{2001, 2002, false, false, 2001}, TCodeCase{2001, 2002, true, false, 2002},
        TCodeCase{2008, 2005, false, true, 2008},
        // A dead key with a character under Shift: the character key's type.
        TCodeCase{2003, 2, true, false, 2}, TCodeCase{2003, 2, false, false, 2003},
        TCodeCase{2001, 1, true, true, 1}, TCodeCase{2002, 3, false, true, 2002},
        // Pairings that do nothing.
        TCodeCase{8, 2001, false, true, 0}, TCodeCase{2001, 5, true, false, 0}, TCodeCase{2001, 8, true, false, 0},
        TCodeCase{1000, 2004, false, true, 0}));

TEST(KeyCodesTest, NamesEveryAccentInCodeOrder)
{
    for (int i = 0; i < KeyTypes::kAccentCount; ++i)
        EXPECT_EQ(KeyTypes::kAccentNames[i].code, KeyTypes::FirstAccent + i);
    EXPECT_TRUE(KeyTypes::IsKnownKeyType(1005));
    EXPECT_TRUE(KeyTypes::IsKnownKeyType(2008));
    EXPECT_FALSE(KeyTypes::IsKnownKeyType(1001));
    EXPECT_FALSE(KeyTypes::IsKnownKeyType(2009));
}

} // namespace
