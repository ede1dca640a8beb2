#include "model/Readme.h"
#include "common/Errors.h"
#include "common/TextFile.h"

#include <gtest/gtest.h>

#include <climits>

using kf::PackageSettings;

namespace {

PackageSettings distinctSettings()
{
    PackageSettings s;
    s.bkcolor = 0x123456;
    s.Author = "Ann \xE9"; // a code-page byte
    s.misc = "info = text";
    for (int f = 0; f < kf::kFingerCount; ++f) {
        s.lengths[size_t(f)] = 10 + f;
        s.xValues[size_t(f)] = -100 - f;
        s.colors[size_t(f)] = 1000 + f;
    }
    return s;
}

} // namespace

TEST(ReadmeTest, WritesThe33LinesInOrder)
{
    const std::string expected =
        "bkcolor=1193046\r\n"
        "author=Ann \xE9\r\n"
        "misc=info = text\r\n"
        "LLittle=10\r\nLring=11\r\nLMiddle=12\r\nLIndex=13\r\nLThumb=14\r\n"
        "RLittle=19\r\nRRing=18\r\nRMiddle=17\r\nRIndex=16\r\nRThumb=15\r\n"
        "LLittlex=-100\r\nLringx=-101\r\nLMiddlex=-102\r\nLIndexx=-103\r\nLThumbx=-104\r\n"
        "RLittlex=-109\r\nRRingx=-108\r\nRMiddlex=-107\r\nRIndexx=-106\r\nRThumbx=-105\r\n"
        "LLittleColor=1000\r\nLRingColor=1001\r\nLMiddleColor=1002\r\nLIndexColor=1003\r\nLThumbColor=1004\r\n"
        "RLittleColor=1009\r\nRRingColor=1008\r\nRMiddleColor=1007\r\nRIndexColor=1006\r\nRThumbColor=1005\r\n";
    EXPECT_EQ(kf::writeReadme(distinctSettings()), expected);
}

TEST(ReadmeTest, RoundTripsEverySetting)
{
    PackageSettings s = distinctSettings();
    s.xValues[0] = INT_MIN;
    s.xValues[9] = INT_MAX;
    s.bkcolor = -1;
    EXPECT_EQ(kf::readReadme(kf::writeReadme(s)), s);
    EXPECT_EQ(kf::readReadme(kf::writeReadme(PackageSettings{})), PackageSettings{});
}

// An info text with line breaks stays on its own line: the readme keeps its 33
// lines and a line of the text cannot take another setting's place.
TEST(ReadmeTest, LineBreaksInTextsBecomeSpaces)
{
    PackageSettings s;
    s.bkcolor = 7;
    s.misc = "first\r\nbkcolor=99\rLring=5\nlast\r\n";
    s.Author = "a\nb";
    const std::string text = kf::writeReadme(s);
    EXPECT_EQ(kf::splitLines(text).size(), 33u);
    const PackageSettings back = kf::readReadme(text);
    EXPECT_EQ(back.misc, "first bkcolor=99 Lring=5 last ");
    EXPECT_EQ(back.Author, "a b");
    EXPECT_EQ(back.bkcolor, 7);
    EXPECT_EQ(back.lengths[1], 0);

    s.misc = std::string("cut\0here", 8);
    EXPECT_EQ(kf::readReadme(kf::writeReadme(s)).misc, "cuthere");
}

struct ReaderCase {
    const char *name;
    std::string text;
    int32_t bkcolor;
    const char *author;
    const char *misc;
    int finger;      // finger code checked, or -1
    int32_t length;  // its length
};

void PrintTo(const ReaderCase &c, std::ostream *os)
{
    *os << c.name;
}

class ReadmeReaderTest : public testing::TestWithParam<ReaderCase> {};

TEST_P(ReadmeReaderTest, Reads)
{
    const ReaderCase &c = GetParam();
    const PackageSettings s = kf::readReadme(c.text);
    EXPECT_EQ(s.bkcolor, c.bkcolor);
    EXPECT_EQ(s.Author, c.author);
    EXPECT_EQ(s.misc, c.misc);
    if (c.finger >= 0) {
        EXPECT_EQ(s.lengths[size_t(c.finger)], c.length);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Lines, ReadmeReaderTest,
    testing::Values(
        ReaderCase{"lower_case_lring", "bkcolor=1\r\nLring=7\r\n", 1, "", "", 1, 7},
        ReaderCase{"capital_author", "AUTHOR=Joe\r\nbkcolor=2\r\n", 2, "Joe", "", -1, 0},
        ReaderCase{"further_equals_signs", "bkcolor=0\r\nmisc=a=b==c\r\n", 0, "", "a=b==c", -1, 0},
        ReaderCase{"first_matching_line_wins", "bkcolor=1\r\nBKCOLOR=2\r\nLLittle=3\r\nllittle=4\r\n", 1, "", "", 0, 3},
        ReaderCase{"lone_cr_and_lf", "bkcolor=5\rauthor=x\nmisc=y", 5, "x", "y", -1, 0},
        ReaderCase{"zero_byte_ends_text", std::string("bkcolor=6\r\nmisc=z\0\r\nLLittle=9\r\n", 27), 6, "", "z", 0, 0},
        ReaderCase{"line_without_equals_ignored", "bkcolor\r\nbkcolor=8\r\n", 8, "", "", -1, 0},
        ReaderCase{"blank_before_name_is_another_name", " bkcolor=1\r\nbkcolor=2\r\n", 2, "", "", -1, 0},
        ReaderCase{"value_kept_unchanged", "bkcolor=3\r\nauthor= spaced \r\n", 3, " spaced ", "", -1, 0},
        ReaderCase{"finger_not_a_number_is_zero", "bkcolor=1\r\nRThumb=x7\r\n", 1, "", "", 5, 0},
        ReaderCase{"finger_missing_is_zero", "bkcolor=1\r\n", 1, "", "", 9, 0},
        ReaderCase{"hexadecimal_and_blanks", "bkcolor=$FF\r\nRIndex= 0x10 \r\n", 255, "", "", 6, 16}),
    [](const testing::TestParamInfo<ReaderCase> &caseInfo) { return std::string(caseInfo.param.name); });

TEST(ReadmeTest, BkcolorIsStrict)
{
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"", "readme: no bkcolor= line"},
        {"author=x\r\nLLittle=1\r\n", "readme: no bkcolor= line"},
        {"bkcolor=\r\n", "readme: bkcolor is not an integer"},
        {"bkcolor=blue\r\n", "readme: bkcolor is not an integer"},
        {"bkcolor=12 34\r\n", "readme: bkcolor is not an integer"},
        {"bkcolor=4294967296\r\n", "readme: bkcolor is not an integer"},
    };
    for (const auto &[text, reason] : cases) {
        SCOPED_TRACE(text);
        try {
            kf::readReadme(text);
            FAIL() << "expected an error";
        } catch (const kf::EConvertError &e) {
            EXPECT_EQ(e.what(), reason);
        }
    }
}

TEST(ReadmeTest, IntegerForms)
{
    const std::vector<std::pair<const char *, std::optional<int32_t>>> cases = {
        {"0", 0}, {"12", 12}, {"-12", -12}, {"+5", 5}, {" \t7 ", 7},
        {"2147483647", INT_MAX}, {"-2147483648", INT_MIN},
        {"2147483648", std::nullopt}, {"-2147483649", std::nullopt},
        {"99999999999999999999", std::nullopt},
        {"$FFFFFFFF", -1}, {"0x7fffffff", INT_MAX}, {"$123456789", std::nullopt},
        {"", std::nullopt}, {" ", std::nullopt}, {"-", std::nullopt}, {"$", std::nullopt},
        {"0x", std::nullopt}, {"12a", std::nullopt}, {"1 2", std::nullopt}, {"--1", std::nullopt},
        {"1.5", std::nullopt},
    };
    for (const auto &[text, expected] : cases) {
        SCOPED_TRACE(text);
        int32_t value = 12345;
        const bool ok = kf::parseReadmeInteger(text, value);
        EXPECT_EQ(ok, expected.has_value());
        if (expected) {
            EXPECT_EQ(value, *expected);
        }
    }
}

// The package names its code page on a line after the 33 the tutor reads;
// a readme without it (an older package) names none.
TEST(ReadmeTest, CodePageLineFollowsTheTutorsLines)
{
    PackageSettings s = distinctSettings();
    s.codePage = "CP1257";
    const std::vector<std::string> lines = kf::splitLines(kf::writeReadme(s));
    ASSERT_EQ(lines.size(), 34u);
    EXPECT_EQ(lines[33], "codepage=CP1257");
    EXPECT_EQ(kf::readReadme(kf::writeReadme(s)), s);

    s.codePage.clear();
    EXPECT_EQ(kf::splitLines(kf::writeReadme(s)).size(), 33u);
}

TEST(ReadmeTest, CodePageIsCheckedOnReading)
{
    const struct {
        const char *line;
        const char *read; // nullptr: refused
    } cases[] = {
        {"codepage=CP1250\r\n", "CP1250"},
        {"CodePage= cp1251 \r\n", "CP1251"}, // names match without regard to case, blanks trimmed
        {"codepage=\r\n", ""},
        {"", ""},
        {"codepage=CP99999\r\n", nullptr},
        {"codepage=UTF-8\r\n", nullptr}, // no 8-bit code page
        {"codepage=CP1252;rm\r\n", nullptr},
    };
    for (const auto &c : cases) {
        const std::string text = std::string("bkcolor=1\r\n") + c.line;
        if (c.read) {
            EXPECT_EQ(kf::readReadme(text).codePage, c.read) << c.line;
        } else {
            try {
                kf::readReadme(text);
                ADD_FAILURE() << "accepted " << c.line;
            } catch (const kf::EConvertError &e) {
                EXPECT_NE(std::string(e.what()).find("is not known"), std::string::npos) << e.what();
            }
        }
    }
}
