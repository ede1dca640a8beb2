#include "model/KeyStrokeFormats.h"
#include "model/KeyStrokeStats.h"
#include "model/TextTallyReader.h"

#include "common/CodePage.h"
#include "common/Errors.h"
#include "model/KeyCodes.h"
#include "model/KeyLayout.h"
#include "exchange/LayoutImport.h"
#include "model/MainData.h"
#include "table/FieldValue.h"
#include "SmallKeyboards.h"

#include <gtest/gtest.h>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>

using namespace kf;

namespace {

const CodePage &Cp1252()
{
    static const CodePage cp("CP1252");
    return cp;
}

const TKeyLayout &UsLayout()
{
    static const TKeyLayout layout = [] {
        TDataMod dm;
        LayoutImportOptions o;
        o.layout = "us";
        o.codePage = "CP1252";
        o.composeLocale = "en_US.UTF-8";
        ImportLayout(dm, o);
        return TKeyLayout::FromDataMod(dm);
    }();
    return layout;
}

// The key typing c plainly.
int KeyOf(const TKeyLayout &layout, char c)
{
    for (size_t k = 0; k < layout.Keys.size(); ++k)
        if (layout.CharAt(int(k), TKeyLevel::Plain) == uint8_t(c))
            return int(k);
    return -1;
}

TKeyStrokeFigures Figures(const TKeyLayout &layout, const std::string &text)
{
    TTextTally tally;
    tally.AddText(text);
    return ComputeKeyStrokes(layout, tally);
}

// A hand-made keyboard: a on the left index, b on the right index, a dead
// key setting the acute plainly and the umlaut with Shift (left middle),
// a key typing c that sets the grave with AltGr (right middle), both Shift
// keys, AltGr; with or without an Enter key.
TKeyLayout HandKeyboard(bool withEnter)
{
    TDataMod dm;
    sample::AddKey(dm, "a", 1, KeyTypes::Alpha, TValue(), Fingers::LIndex, 0, 0);
    sample::AddKey(dm, "b", 2, KeyTypes::Alpha, TValue(), Fingers::RIndex, 20, 0);
    sample::AddKey(dm, "dead", 3, KeyTypes::Acute, TValue(int32_t(KeyTypes::Umlaut)), Fingers::LMiddle, 40, 0);
    sample::AddKey(dm, "c", 4, KeyTypes::Alpha, TValue(int32_t(KeyTypes::FirstAccent)), Fingers::RMiddle, 60, 0);
    sample::AddKey(dm, "LShift", 5, KeyTypes::LShift, TValue(), Fingers::LLittle, 0, 20);
    sample::AddKey(dm, "RShift", 6, KeyTypes::RShift, TValue(), Fingers::RLittle, 20, 20);
    sample::AddKey(dm, "AltGr", 7, KeyTypes::AltGr, TValue(), Fingers::RThumb, 40, 20);
    if (withEnter)
        sample::AddKey(dm, "Enter", 8, KeyTypes::Enter, TValue(), Fingers::RLittle, 60, 20);
    sample::AddChar(dm, "a", 'a', TValue(int32_t(1)), false, false, 0);
    sample::AddChar(dm, "A", 'A', TValue(int32_t(1)), true, false, 0);
    sample::AddChar(dm, "b", 'b', TValue(int32_t(2)), false, false, 0);
    sample::AddChar(dm, "B", 'B', TValue(int32_t(2)), true, false, 0);
    sample::AddChar(dm, "c", 'c', TValue(int32_t(4)), false, false, 0);
    sample::AddChar(dm, "a acute", 0xE1, TValue(int32_t(1)), false, false, KeyTypes::Acute);
    sample::AddChar(dm, "A acute", 0xC1, TValue(int32_t(1)), true, false, KeyTypes::Acute);
    sample::AddChar(dm, "a umlaut", 0xE4, TValue(int32_t(1)), false, false, KeyTypes::Umlaut);
    sample::AddChar(dm, "b grave", 0xF2, TValue(int32_t(2)), false, false, KeyTypes::FirstAccent);
    // x twice: the two-keystroke row first, the one-keystroke row later wins.
    sample::AddChar(dm, "x shifted", 'x', TValue(int32_t(2)), true, false, 0);
    sample::AddChar(dm, "x plain", 'x', TValue(int32_t(4)), false, false, 0);
    // y on two rows of one keystroke each: the first in stored order.
    sample::AddChar(dm, "y on b", 'y', TValue(int32_t(2)), false, false, 0);
    sample::AddChar(dm, "y on a", 'y', TValue(int32_t(1)), false, false, 0);
    // z names no key: not typeable.
    sample::AddChar(dm, "z", 'z', TValue(int32_t(99)), false, false, 0);
    // A space key in no row (no size).
    sample::AddKey(dm, "space", 9, KeyTypes::Space, TValue(), Fingers::LThumb, 0, 40, 0, 0);
    sample::AddChar(dm, "space", ' ', TValue(int32_t(9)), false, false, 0);
    return TKeyLayout::FromDataMod(dm);
}

int KeyNamed(const TKeyLayout &layout, const char *name)
{
    for (size_t k = 0; k < layout.Keys.size(); ++k)
        if (layout.Keys[k].Name == name)
            return int(k);
    return -1;
}

TEST(KeyStrokeStatsTest, FAndJAreTheTwoIndexFingersWithoutASameFingerPair)
{
    const TKeyLayout &us = UsLayout();
    const TKeyStrokeFigures f = Figures(us, "fjfjjf");
    EXPECT_EQ(f.Characters, 6u);
    EXPECT_EQ(f.Typed, 6u);
    EXPECT_EQ(f.Keystrokes, 6u);
    EXPECT_EQ(f.Fingers[Fingers::LIndex], 3u);
    EXPECT_EQ(f.Fingers[Fingers::RIndex], 3u);
    EXPECT_DOUBLE_EQ(f.HandShare(0), 0.5);
    EXPECT_EQ(f.Pairs, 5u);
    EXPECT_EQ(f.SameFingerPairs, 0u);
    EXPECT_EQ(f.AlternatingPairs, 4u); // jj is the one pair on one hand
    EXPECT_EQ(f.ModifierKeystrokes, 0u);
    const int home = us.HomeRow();
    ASSERT_GE(home, 0);
    EXPECT_TRUE(f.Rows[size_t(home)].Home);
    EXPECT_EQ(f.Rows[size_t(home)].Keystrokes, 6u);
    EXPECT_EQ(f.Keys[size_t(KeyOf(us, 'f'))], 3u);
}

TEST(KeyStrokeStatsTest, FAndRAlternatingMakeEveryPairASameFingerPair)
{
    const TKeyStrokeFigures f = Figures(UsLayout(), "frfrf");
    EXPECT_EQ(f.Pairs, 4u);
    EXPECT_EQ(f.SameFingerPairs, 4u);
    EXPECT_DOUBLE_EQ(f.SameFinger(), 1.0);
    EXPECT_DOUBLE_EQ(f.Alternation(), 0.0);
    ASSERT_EQ(f.SameFingerTop.size(), 2u);
    EXPECT_EQ(f.SameFingerTop[0].Text, "fr");
    EXPECT_EQ(f.SameFingerTop[0].Count, 2u);
    EXPECT_EQ(f.SameFingerTop[1].Text, "rf");
}

TEST(KeyStrokeStatsTest, ACapitalIsTypedAfterTheShiftKeyOfTheOtherHand)
{
    const TKeyLayout &us = UsLayout();
    const TKeyStrokeFigures f = Figures(us, "FJ");
    EXPECT_EQ(f.Keystrokes, 4u);
    EXPECT_EQ(f.ModifierKeystrokes, 2u);
    EXPECT_EQ(f.Keys[size_t(us.ModifierKey(KeyTypes::RShift))], 1u);
    EXPECT_EQ(f.Keys[size_t(us.ModifierKey(KeyTypes::LShift))], 1u);
    // RShift F, then LShift J: right, left, left, right.
    EXPECT_EQ(f.Pairs, 3u);
    EXPECT_EQ(f.AlternatingPairs, 2u);

    const TKeyLayout hand = HandKeyboard(true);
    const TKeyStrokeFigures g = Figures(hand, "Ab");
    EXPECT_EQ(g.Keys[size_t(KeyNamed(hand, "RShift"))], 1u);
    EXPECT_EQ(g.Keys[size_t(KeyNamed(hand, "LShift"))], 0u);
}

// The keystrokes of one character on the hand-made keyboard: presses in
// order, and how many of them are modifiers.
struct TypedCase {
    const char *name;
    std::string text;
    std::vector<const char *> keys;
    uint64_t modifiers;
};

class KeyStrokeTypingTest : public ::testing::TestWithParam<TypedCase> {};

TEST_P(KeyStrokeTypingTest, TypesByTheFewestKeystrokes)
{
    const TypedCase &c = GetParam();
    const TKeyLayout layout = HandKeyboard(true);
    const TKeyStrokeFigures f = Figures(layout, c.text);
    EXPECT_EQ(f.Typed, 1u);
    EXPECT_EQ(f.Keystrokes, c.keys.size());
    EXPECT_EQ(f.ModifierKeystrokes, c.modifiers);
    std::vector<uint64_t> expected(layout.Keys.size(), 0);
    for (const char *k : c.keys)
        ++expected[size_t(KeyNamed(layout, k))];
    EXPECT_EQ(f.Keys, expected);
    EXPECT_EQ(f.Pairs, c.keys.size() - 1);
}

INSTANTIATE_TEST_SUITE_P(
    Characters, KeyStrokeTypingTest,
    ::testing::Values(TypedCase{"plain", "a", {"a"}, 0}, TypedCase{"capital", "A", {"RShift", "a"}, 1},
                      TypedCase{"deadKeyPlain", "\xE1", {"dead", "a"}, 1},
                      TypedCase{"deadKeyCapital", "\xC1", {"dead", "RShift", "a"}, 2},
                      TypedCase{"deadKeyWithShift", "\xE4", {"RShift", "dead", "a"}, 2},
                      TypedCase{"accentOnAltGr", "\xF2", {"AltGr", "c", "b"}, 2},
                      TypedCase{"fewerKeystrokesWin", "x", {"c"}, 0},
                      TypedCase{"tieTakesTheFirstRow", "y", {"b"}, 0},
                      TypedCase{"lineBreakIsEnter", "\r\n", {"Enter"}, 0}),
    [](const ::testing::TestParamInfo<TypedCase> &p) { return std::string(p.param.name); });

TEST(KeyStrokeStatsTest, PairsDoNotRunAcrossACharacterThatIsNotTyped)
{
    const TKeyLayout layout = HandKeyboard(true);
    const TKeyStrokeFigures f = Figures(layout, "aza\xE1q");
    EXPECT_EQ(f.Characters, 5u);
    EXPECT_EQ(f.Typed, 3u);
    EXPECT_EQ(f.NotTypeable, 2u);
    ASSERT_EQ(f.NotTypeableTop.size(), 2u);
    // a | a dead a: the one pair a-dead and the one inside the accented a.
    EXPECT_EQ(f.Pairs, 2u);
}

TEST(KeyStrokeStatsTest, ALineBreakWithoutAnEnterKeyIsNotTypeable)
{
    const TKeyLayout layout = HandKeyboard(false);
    const TKeyStrokeFigures f = Figures(layout, "a\r\nb\rb\na");
    EXPECT_EQ(f.Characters, 7u); // CR LF is one line break
    EXPECT_EQ(f.NotTypeable, 3u);
    ASSERT_EQ(f.NotTypeableTop.size(), 1u);
    EXPECT_EQ(f.NotTypeableTop[0].Text, "\n");
    EXPECT_EQ(f.Pairs, 0u);
    const TKeyStrokeFigures g = Figures(HandKeyboard(true), "a\r\nb\rb\na");
    EXPECT_EQ(g.NotTypeable, 0u);
    EXPECT_EQ(g.Keystrokes, 7u);
    EXPECT_EQ(g.Pairs, 6u);
}

TEST(KeyStrokeStatsTest, BadKeyboardsAndEmptyTextsGiveZerosAndWarningsNotDivisionByZero)
{
    const TKeyStrokeFigures empty = Figures(UsLayout(), "");
    EXPECT_EQ(empty.Keystrokes, 0u);
    EXPECT_EQ(empty.SameFinger(), 0.0);
    EXPECT_EQ(empty.FingerShare(0), 0.0);
    EXPECT_EQ(empty.ModifierLoad(), 0.0);
    for (double u : empty.KeyUse())
        EXPECT_EQ(u, 0.0);
    const std::string json = KeyStrokesToJson(empty, Cp1252());
    EXPECT_EQ(json.find("nan"), std::string::npos);

    TDataMod dm;
    sample::AddKey(dm, "a", 1, KeyTypes::Alpha, TValue(), 0, 0, 0);
    sample::AddChar(dm, "a", 'a', TValue(int32_t(1)), false, false, 0);
    const TKeyStrokeFigures noFingers = Figures(TKeyLayout::FromDataMod(dm), "aa");
    EXPECT_EQ(noFingers.Fingers[0], 2u);
    ASSERT_EQ(noFingers.Warnings.size(), 1u);

    const TKeyLayout hand = HandKeyboard(true);
    const TKeyStrokeFigures noRow = Figures(hand, "a a");
    ASSERT_FALSE(noRow.Rows.empty());
    EXPECT_EQ(noRow.Rows.back().Name, "No row");
    EXPECT_EQ(noRow.Rows.back().Keystrokes, 1u);
    EXPECT_FALSE(noRow.Warnings.empty());
}

TEST(KeyStrokeStatsTest, JsonHoldsTheDocumentedFields)
{
    const TKeyStrokeFigures f = Figures(UsLayout(), "Hello, world\n\xE9\x80");
    const QJsonObject o = QJsonDocument::fromJson(QByteArray::fromStdString(KeyStrokesToJson(f, Cp1252()))).object();
    for (const char *field : {"characters", "typed", "keystrokes", "fingers", "hands", "rows", "keys", "same_finger",
                              "same_finger_top", "alternation", "modifiers", "not_typeable", "not_in_code_page"})
        EXPECT_TRUE(o.contains(QLatin1String(field))) << field;
    EXPECT_EQ(o.value("characters").toInt(), 15);
    EXPECT_EQ(o.value("fingers").toArray().size(), 10);
    EXPECT_EQ(o.value("not_typeable").toObject().value(QString::fromUtf8("\u20AC")).toInt(), 1);
    const QJsonObject both =
        QJsonDocument::fromJson(QByteArray::fromStdString(KeyStrokesToJson(f, f, Cp1252()))).object();
    EXPECT_TRUE(both.contains("a"));
    EXPECT_TRUE(both.contains("b"));
}

// The space bar is pressed by the thumb of the other hand than the last
// keystroke before it that is not a space; by the right thumb at the start
// of a text and after a character that is not typed. On the hand-made
// keyboard a is the left index's, b the right index's, z is not typed, and
// the space key names the left thumb.
struct SpaceCase {
    const char *name;
    std::string text;
    uint64_t left, right; // presses of the space bar by each thumb
};

class SpaceBarTest : public ::testing::TestWithParam<SpaceCase> {};

TEST_P(SpaceBarTest, TheThumbOfTheOtherHandPressesIt)
{
    const SpaceCase &c = GetParam();
    const TKeyLayout layout = HandKeyboard(true);
    for (const bool split : {false, true}) {
        SCOPED_TRACE(split ? "read in two parts" : "read whole");
        TTextTally tally;
        if (split) {
            // The tally of a text read in two parts at once, put together.
            const size_t half = c.text.size() / 2;
            TTextTally later;
            tally.AddText(c.text.substr(0, half));
            later.AddText(c.text.substr(half));
            tally.Append(later);
        } else {
            tally.AddText(c.text);
        }
        const TKeyStrokeFigures f = ComputeKeyStrokes(layout, tally);
        EXPECT_EQ(f.Fingers[Fingers::LThumb], c.left);
        EXPECT_EQ(f.Fingers[Fingers::RThumb], c.right);
        EXPECT_EQ(f.Keys[size_t(KeyNamed(layout, "space"))], c.left + c.right);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Texts, SpaceBarTest,
    ::testing::Values(SpaceCase{"afterTheLeftHand", "a b", 0, 1}, SpaceCase{"afterTheRightHand", "b a", 1, 0},
                      SpaceCase{"atTheStart", " a", 0, 1}, SpaceCase{"afterAnUntypedCharacter", "bz a", 0, 1},
                      SpaceCase{"aRunOfSpacesFollowsTheLastOtherKeystroke", "b   a  b", 3, 2},
                      SpaceCase{"aCapitalEndsWithItsLetterNotItsShift", "A b", 0, 1},
                      SpaceCase{"everyRepetition", "a b a b a b ", 3, 3}),
    [](const ::testing::TestParamInfo<SpaceCase> &p) { return std::string(p.param.name); });

TEST(KeyStrokeStatsTest, ASpaceAfterTheRightHandAlternatesIntoTheLeftHand)
{
    // b (right) space (left thumb) a (left): one alternation, then none.
    const TKeyStrokeFigures f = Figures(HandKeyboard(true), "b a");
    EXPECT_EQ(f.Pairs, 2u);
    EXPECT_EQ(f.AlternatingPairs, 1u);
    EXPECT_EQ(f.Hands[0], 2u); // the left thumb and a
    // a (left) space (right thumb) a (left): both pairs alternate.
    EXPECT_EQ(Figures(HandKeyboard(true), "a a").AlternatingPairs, 2u);
}

TEST(KeyStrokeStatsTest, AComparisonCountsEveryPairEitherKeyboardLists)
{
    // fr three times, ju once: with a top list of one, A lists fr only, but
    // its count of ju is 1, not 0.
    TTextTally tally;
    tally.AddText("frfrfr ju");
    const TKeyStrokeFigures a = ComputeKeyStrokes(UsLayout(), tally, 1);
    const TKeyStrokeFigures b = ComputeKeyStrokes(UsLayout(), tally);
    ASSERT_EQ(a.SameFingerTop.size(), 1u);
    bool found = false;
    for (const TKeyStrokeLine &l : KeyStrokeLines(a, &b, Cp1252())) {
        if (l.What != "Same finger: ju")
            continue;
        found = true;
        EXPECT_EQ(l.A, "1");
        EXPECT_EQ(l.B, "1");
        EXPECT_EQ(l.Difference, "0");
    }
    EXPECT_TRUE(found);
}

TEST(KeyStrokeStatsTest, AComparisonMatchesRowsByNumber)
{
    // A's home row is its second, B's its first: one line per row number.
    TKeyStrokeFigures a, b;
    a.Keystrokes = b.Keystrokes = 10;
    a.Rows = {{"Row 1", 4, false, 1}, {"Row 2 (home)", 6, true, 2}};
    b.Rows = {{"Row 1 (home)", 7, true, 1}, {"Row 2", 3, false, 2}};
    std::vector<TKeyStrokeLine> rows;
    for (const TKeyStrokeLine &l : KeyStrokeLines(a, &b, Cp1252()))
        if (l.What.rfind("Row ", 0) == 0)
            rows.push_back(l);
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0].What, "Row 1 (home in B)");
    EXPECT_EQ(rows[0].A, "0.4000");
    EXPECT_EQ(rows[0].B, "0.7000");
    EXPECT_EQ(rows[1].What, "Row 2 (home in A)");
    EXPECT_EQ(rows[1].Difference, "-0.3000");
}

TEST(KeyStrokeStatsTest, UndefinedBytesAreKeptApartAndShownByTheirValue)
{
    // 0x81 and 0x8D are undefined in CP1252.
    const TKeyStrokeFigures f = Figures(UsLayout(), "\x81\x81\x8D");
    EXPECT_EQ(f.NotTypeable, 3u);
    const QJsonObject o = QJsonDocument::fromJson(QByteArray::fromStdString(KeyStrokesToJson(f, Cp1252()))).object();
    const QJsonObject notTypeable = o.value("not_typeable").toObject();
    EXPECT_EQ(notTypeable.size(), 2);
    EXPECT_EQ(notTypeable.value("0x81").toInt(), 2);
    EXPECT_EQ(notTypeable.value("0x8D").toInt(), 1);
    int lines = 0;
    for (const TKeyStrokeLine &l : KeyStrokeLines(f, nullptr, Cp1252()))
        if (l.What == "Not typeable: 0x81" || l.What == "Not typeable: 0x8D")
            ++lines;
    EXPECT_EQ(lines, 2);
}

struct PrintableCase {
    const char *name;
    std::string bytes;
    std::string shown; // UTF-8
};

class PrintableCharsTest : public ::testing::TestWithParam<PrintableCase> {};

TEST_P(PrintableCharsTest, ShowsEachCharacterReadably)
{
    EXPECT_EQ(PrintableChars(GetParam().bytes, Cp1252()), GetParam().shown);
}

INSTANTIATE_TEST_SUITE_P(
    Characters, PrintableCharsTest,
    ::testing::Values(PrintableCase{"lineBreak", "a\n", "a\u21B5"}, PrintableCase{"backslash", "\\n", "\\n"},
                      PrintableCase{"tab", "\t", "\u21E5"}, PrintableCase{"space", " ", "\u2423"},
                      PrintableCase{"control", "\x01", "^A"}, PrintableCase{"undefined", "\x90", "0x90"},
                      PrintableCase{"accented", "\xE9", "\u00E9"}),
    [](const ::testing::TestParamInfo<PrintableCase> &p) { return std::string(p.param.name); });

TEST(KeyStrokeStatsTest, SharesReadAsPercentagesForPeopleAndFractionsInFiles)
{
    // f, j, f: the left index has two thirds.
    const TKeyStrokeFigures f = Figures(UsLayout(), "fjf");
    const auto valueOf = [&](TShareStyle style, const char *what) {
        for (const TKeyStrokeLine &l : KeyStrokeLines(f, &f, Cp1252(), style))
            if (l.What == what)
                return l.A + "|" + l.Difference;
        return std::string("missing");
    };
    EXPECT_EQ(valueOf(TShareStyle::Percent, "L Index"), "66.7 %|+0.0 %");
    EXPECT_EQ(valueOf(TShareStyle::Fraction, "L Index"), "0.6667|+0.0000");
    EXPECT_NE(KeyStrokesToCsv(f, nullptr, Cp1252()).find("\r\nL Index,0.6667\r\n"), std::string::npos);
}

TEST(KeyStrokeStatsTest, AKeyboardThatTypesNothingSaysWhy)
{
    TDataMod keyless;
    const TKeyStrokeFigures none = Figures(TKeyLayout::FromDataMod(keyless), "abc");
    EXPECT_TRUE(none.TypesNothing);
    ASSERT_FALSE(none.Warnings.empty());
    EXPECT_NE(none.Warnings[0].find("no keys"), std::string::npos) << none.Warnings[0];

    TDataMod shiftOnly;
    sample::AddKey(shiftOnly, "LShift", 1, KeyTypes::LShift, TValue(), Fingers::LLittle, 0, 0);
    const TKeyStrokeFigures noChars = Figures(TKeyLayout::FromDataMod(shiftOnly), "abc");
    EXPECT_TRUE(noChars.TypesNothing);
    ASSERT_FALSE(noChars.Warnings.empty());
    EXPECT_NE(noChars.Warnings[0].find("no character keys"), std::string::npos) << noChars.Warnings[0];

    EXPECT_FALSE(Figures(UsLayout(), "abc").TypesNothing);
}

// ---------------------------------------------------------------------------
// Reading files

class TextFiles : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_dir = std::filesystem::temp_directory_path() /
                ("kf-stats-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) + "-" +
                 ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::create_directories(m_dir);
    }
    void TearDown() override { std::filesystem::remove_all(m_dir); }

    std::string write(const std::string &name, const std::string &bytes)
    {
        const std::string path = (m_dir / name).string();
        std::ofstream(path, std::ios::binary) << bytes;
        return path;
    }

    std::filesystem::path m_dir;
};

TTextTally Read(const std::string &path, InputEncoding encoding, int threads, bool counts = false)
{
    TTextReadOptions o;
    o.encoding = encoding;
    o.threads = threads;
    o.wordCounts = counts;
    o.blockSize = 64;
    o.splitFrom = 256;
    TTextTally tally;
    ReadTextFile(path, Cp1252(), o, tally);
    return tally;
}

TTextTally TallyOf(const std::string &text, const std::vector<UnmappedChar> &unmapped = {})
{
    TTextTally t;
    t.AddText(text, unmapped);
    t.EndText();
    return t;
}

// Random texts of letters, spaces, line breaks of every kind, accented
// letters and characters CP1252 lacks, in UTF-8, UTF-16 and the code page.
std::string RandomUtf8(std::mt19937 &rng, size_t length)
{
    static const char *const pieces[] = {"a", "b", "f", "j", " ", " ", "\n", "\r\n", "\r", "\xC3\xA9", "\xE2\x82\xAC",
                                         "\xD0\x96", "\xF0\x9F\x98\x80", "Q", ","};
    std::uniform_int_distribution<size_t> pick(0, std::size(pieces) - 1);
    std::string s;
    while (s.size() < length)
        s += pieces[pick(rng)];
    return s;
}

std::string Utf16Le(const std::string &utf8)
{
    const std::u16string u = QString::fromUtf8(utf8).toStdU16String();
    std::string out = "\xFF\xFE";
    for (char16_t c : u) {
        out += char(c & 0xFF);
        out += char(c >> 8);
    }
    return out;
}

TEST_F(TextFiles, TwoReadersCountWhatOneCounts)
{
    std::mt19937 rng(12345);
    for (int round = 0; round < 12; ++round) {
        const std::string utf8 = RandomUtf8(rng, 300 + size_t(round) * 211);
        std::string cp;
        for (char c : utf8)
            cp += uint8_t(c) >= 0x80 ? char(0xE9) : c; // code-page bytes, not UTF-8
        const struct {
            std::string bytes;
            InputEncoding encoding;
        } files[] = {{utf8, InputEncoding::Auto}, {utf8, InputEncoding::Utf8}, {cp, InputEncoding::Auto},
                     {cp, InputEncoding::CodePage}, {Utf16Le(utf8), InputEncoding::Auto}};
        for (const auto &file : files) {
            const std::string path = write("random.txt", file.bytes);
            const TTextTally one = Read(path, file.encoding, 1);
            const TTextTally two = Read(path, file.encoding, 2);
            EXPECT_TRUE(one == two) << "round " << round << " encoding " << InputEncodingName(file.encoding);
            EXPECT_GT(one.Characters(), 0u);
        }
    }
}

TEST_F(TextFiles, FilesReadAsTheDictionaryGeneratorReadsThem)
{
    // UTF-8: the euro sign and the Cyrillic letter; the second is not in CP1252.
    const TTextTally utf8 = Read(write("u8.txt", "a\xE2\x82\xAC\xD0\x96"), InputEncoding::Auto, 1);
    EXPECT_EQ(utf8.Count(0x80), 1u);
    EXPECT_EQ(utf8.Count(TTextTally::kNotInCodePage), 1u);
    EXPECT_EQ(utf8.NotInCodePage().at(U'\u0416'), 1u);
    // Not UTF-8: the code page.
    const TTextTally cp = Read(write("cp.txt", "a\xE9\x80"), InputEncoding::Auto, 1);
    EXPECT_TRUE(cp == TallyOf("a\xE9\x80"));
    // A NUL ends the text.
    EXPECT_TRUE(Read(write("nul.txt", std::string("ab\0cd", 5)), InputEncoding::Auto, 1) == TallyOf("ab"));
    // A byte-order mark is not a character.
    EXPECT_TRUE(Read(write("bom.txt", "\xEF\xBB\xBF" "ab"), InputEncoding::Auto, 1) == TallyOf("ab"));
    EXPECT_TRUE(Read(write("u16.txt", Utf16Le("ab")), InputEncoding::Auto, 1) == TallyOf("ab"));
    // An empty file: nothing.
    EXPECT_EQ(Read(write("empty.txt", ""), InputEncoding::Auto, 1).Characters(), 0u);
}

TEST_F(TextFiles, ADictionaryFileCountsEachWordThatManyTimesWithASpace)
{
    const TTextTally counted = Read(write("dic.txt", "ab\t3\r\nc\n\xD0\x96x\t2\n"), InputEncoding::Auto, 1, true);
    EXPECT_TRUE(counted == TallyOf("ab ab ab c ?x ?x ", {{11, U'\u0416'}, {14, U'\u0416'}}));
}

TEST_F(TextFiles, BadFilesRaiseClearErrors)
{
    EXPECT_THROW(Read((m_dir / "missing.txt").string(), InputEncoding::Auto, 1), EFOpenError);
    EXPECT_THROW(Read(m_dir.string(), InputEncoding::Auto, 1), EFOpenError);
    const std::string bad = write("bad.txt", "abc\xC3(def");
    try {
        Read(bad, InputEncoding::Utf8, 1);
        FAIL() << "no error";
    } catch (const EConvertError &e) {
        EXPECT_NE(std::string(e.what()).find("bad.txt"), std::string::npos) << e.what();
    }
    // Auto takes such a file for the code page.
    EXPECT_TRUE(Read(bad, InputEncoding::Auto, 1) == TallyOf("abc\xC3(def"));
}

TEST_F(TextFiles, ACancelledCountStops)
{
    const std::string path = write("long.txt", std::string(4096, 'a'));
    std::atomic<bool> cancel{true};
    TTextReadOptions o;
    o.cancel = &cancel;
    TTextTally tally;
    EXPECT_THROW(ReadTextFile(path, Cp1252(), o, tally), ECancelled);
}

// A count too large for the sums is refused with its line named.
struct HugeCountCase {
    const char *name;
    std::string text;
    std::string line; // "line N"
};

class HugeCountTest : public TextFiles, public ::testing::WithParamInterface<HugeCountCase> {};

TEST_P(HugeCountTest, IsRefusedWithTheLineNamed)
{
    const std::string path = write("counts.txt", GetParam().text);
    try {
        Read(path, InputEncoding::Auto, 1, true);
        FAIL() << "no error";
    } catch (const EConvertError &e) {
        EXPECT_NE(std::string(e.what()).find("counts.txt"), std::string::npos) << e.what();
        EXPECT_NE(std::string(e.what()).find(GetParam().line + ":"), std::string::npos) << e.what();
    }
}

INSTANTIATE_TEST_SUITE_P(
    Counts, HugeCountTest,
    ::testing::Values(HugeCountCase{"beyond64Bits", "ab\t99999999999999999999\n", "line 1"},
                      HugeCountCase{"theLargest64BitNumber", "x\t1\r\nab\t18446744073709551615\n", "line 2"},
                      HugeCountCase{"aSumThatWouldWrap", "ab\t50000000000000000\nab\t50000000000000000\n",
                                    "line 2"}),
    [](const ::testing::TestParamInfo<HugeCountCase> &p) { return std::string(p.param.name); });

TEST_F(TextFiles, ALargeCountWithinTheLimitIsCounted)
{
    const TTextTally t = Read(write("counts.txt", "ab\t1000000000000\n"), InputEncoding::Auto, 1, true);
    EXPECT_EQ(t.Count('a'), 1000000000000u);
    EXPECT_EQ(ComputeKeyStrokes(UsLayout(), t).Keystrokes, 3000000000000u);
}

TEST_F(TextFiles, AFileWithNulBytesNearItsStartIsNamedAsBinary)
{
    const std::string binary = write("program", std::string("\x7f" "ELF\x02\x01\x01\0\0\0\0abc", 15));
    const std::string text = write("text.txt", "abc");
    std::vector<std::string> warnings;
    TTextReadOptions o;
    o.warnings = &warnings;
    TTextTally tally;
    ReadTextFile(text, Cp1252(), o, tally);
    EXPECT_TRUE(warnings.empty());
    ReadTextFile(binary, Cp1252(), o, tally);
    ASSERT_EQ(warnings.size(), 1u);
    EXPECT_NE(warnings[0].find("program looks like a binary file"), std::string::npos) << warnings[0];
}

} // namespace
