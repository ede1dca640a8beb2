#include "common/IntegerText.h"

#include "common/Errors.h"

#include <gtest/gtest.h>

#include <optional>
#include <ostream>
#include <cctype>
#include <string>

namespace {

struct IntegerCase {
    const char *name;
    std::string text;
    std::optional<int32_t> value; // nothing: not a number
};

void PrintTo(const IntegerCase &c, std::ostream *os) { *os << c.name; }

const IntegerCase kCases[] = {
    {"plain", "42", 42},
    {"zero", "0", 0},
    {"leading zeros", "007", 7},
    {"plus sign", "+5", 5},
    {"minus sign", "-5", -5},
    {"minus zero", "-0", 0},
    {"blanks around", " \t12 \r\n", 12},
    {"blanks before the sign", "  -3", -3},
    {"largest", "2147483647", 2147483647},
    {"smallest", "-2147483648", INT32_MIN},
    {"smallest with zeros", "-00002147483648", INT32_MIN},
    {"one past the largest", "2147483648", std::nullopt},
    {"one past the smallest", "-2147483649", std::nullopt},
    {"far too large", "99999999999999999999999", std::nullopt},
    {"empty", "", std::nullopt},
    {"only blanks", "   ", std::nullopt},
    {"lone minus", "-", std::nullopt},
    {"lone plus", "+", std::nullopt},
    {"two signs", "+-1", std::nullopt},
    {"blank after the sign", "- 1", std::nullopt},
    {"blank inside", "1 2", std::nullopt},
    {"letters after", "12a", std::nullopt},
    {"word", "zwei", std::nullopt},
    {"fraction", "1.5", std::nullopt},
    {"exponent", "1e3", std::nullopt},
    {"hexadecimal", "0x10", std::nullopt},
    {"digit group", "1,000", std::nullopt},
    {"zero byte inside", std::string("1\0" "2", 3), std::nullopt},
    {"non-ASCII digits", "\xd9\xa1\xd9\xa2", std::nullopt},
};

class IntegerTextTest : public testing::TestWithParam<IntegerCase> {};

TEST_P(IntegerTextTest, ParsesOrRefuses)
{
    const IntegerCase &c = GetParam();
    int32_t value = -777;
    const bool ok = kf::ParseIntegerText(std::string_view(c.text), value);
    EXPECT_EQ(ok, c.value.has_value());
    EXPECT_EQ(value, c.value.value_or(-777)) << "a refused text leaves the value as it was";
}

TEST_P(IntegerTextTest, QStringReadsTheSame)
{
    const IntegerCase &c = GetParam();
    int32_t value = -777;
    const bool ok = kf::ParseIntegerText(QString::fromStdString(c.text), value);
    EXPECT_EQ(ok, c.value.has_value());
    EXPECT_EQ(value, c.value.value_or(-777));
}

TEST_P(IntegerTextTest, StrToIntRaisesNotAnInteger)
{
    const IntegerCase &c = GetParam();
    if (c.value) {
        EXPECT_EQ(kf::StrToInt(std::string_view(c.text)), *c.value);
        return;
    }
    try {
        kf::StrToInt(std::string_view(c.text));
        FAIL() << "no error for \"" << c.text << "\"";
    } catch (const kf::EConvertError &e) {
        // what() is a C string: a zero byte in the text ends the message.
        const std::string message = "'" + c.text + "' is not a valid integer value";
        EXPECT_EQ(std::string(e.what()), message.substr(0, message.find('\0')));
    }
}

INSTANTIATE_TEST_SUITE_P(Texts, IntegerTextTest, testing::ValuesIn(kCases),
                         [](const testing::TestParamInfo<IntegerCase> &caseInfo) {
                             std::string name = caseInfo.param.name;
                             for (char &ch : name)
                                 if (!std::isalnum(static_cast<unsigned char>(ch)))
                                     ch = '_';
                             return name;
                         });

// A blank the user can type that is not ASCII (a no-break space) is trimmed
// from typed text as any other; the message names the text as it was typed.
TEST(IntegerText, TypedTextIsTrimmedOfEveryBlank)
{
    int32_t value = 0;
    EXPECT_TRUE(kf::ParseIntegerText(QStringLiteral("\u00a012\u2003"), value));
    EXPECT_EQ(value, 12);
    try {
        kf::StrToInt(QStringLiteral(" zwei "));
        FAIL() << "no error";
    } catch (const kf::EConvertError &e) {
        EXPECT_STREQ(e.what(), "' zwei ' is not a valid integer value");
    }
}

} // namespace
