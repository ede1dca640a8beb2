#include "words/CoursePlan.h"

#include "common/CodePage.h"
#include "common/CodePageDecoder.h"
#include "common/Errors.h"
#include "model/KeyCodes.h"
#include "model/KeyLayout.h"
#include "exchange/LayoutImport.h"
#include "model/MainData.h"
#include "table/FieldValue.h"
#include "words/tcg.h"
#include "SmallKeyboards.h"

#include <gtest/gtest.h>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <QChar>

#include <algorithm>
#include <optional>
#include <set>
#include <string>
#include <vector>

using namespace kf;

namespace {

const CodePage &cp1252()
{
    static const CodePage cp("CP1252");
    return cp;
}

// The finger of column c of a US-style letter block.
int32_t fingerOfColumn(size_t c)
{
    static const int32_t fingers[] = {Fingers::LLittle, Fingers::LRing,   Fingers::LMiddle, Fingers::LIndex,
                                      Fingers::LIndex,  Fingers::RIndex,  Fingers::RIndex,  Fingers::RMiddle,
                                      Fingers::RRing,   Fingers::RLittle};
    return c < 10 ? fingers[c] : Fingers::RLittle;
}

// A keyboard of rows of letter keys (each typing its letter plain and the
// capital under Shift), 40 pixels a key; crooked: every other key a few
// pixels lower, as hand-made keyboards are.
TKeyLayout GridKeyboard(const std::vector<std::string> &rows, bool crooked = false)
{
    TDataMod dm;
    int32_t value = 1;
    for (size_t r = 0; r < rows.size(); ++r)
        for (size_t c = 0; c < rows[r].size(); ++c, ++value) {
            const char ch = rows[r][c];
            const int y = int(r) * 40 + (crooked && c % 2 ? 7 : 0);
            sample::AddKey(dm, std::string(1, ch), value, KeyTypes::Alpha, TValue(0), fingerOfColumn(c),
                           int(c) * 40 + int(r) * 10, y, 40, 40);
            sample::AddChar(dm, std::string(1, ch), uint8_t(ch), TValue(value), false, false, 0);
            if (ch >= 'a' && ch <= 'z')
                sample::AddChar(dm, std::string(1, char(ch - 32)), uint8_t(ch - 32), TValue(value), true, false, 0);
        }
    return TKeyLayout::FromDataMod(dm);
}

const std::vector<std::string> kUsRows = {"qwertyuiop", "asdfghjkl;", "zxcvbnm,./"};

TPlanDictionary Words(const std::vector<std::string> &words)
{
    return TPlanDictionary::FromLines(words);
}

std::vector<std::string> News(const TCoursePlan &plan)
{
    std::vector<std::string> out;
    for (const TPlanLesson &l : plan.Lessons())
        out.push_back(l.New);
    return out;
}

bool HasWarning(const TPlanLesson &l, const std::string &part)
{
    for (const std::string &w : l.Warnings)
        if (w.find(part) != std::string::npos)
            return true;
    return false;
}

TEST(CoursePlanTest, KeyboardOrderBringsInTheHomeKeysPairByPairThenInnerKeysThenRowAboveAndBelow)
{
    const struct {
        bool crooked, lettersOnly;
        const char *candidates;
    } cases[] = {
        {false, true, "fjdkslaghrueiwoqptyvmcxzbn"},
        {true, true, "fjdkslaghrueiwoqptyvmcxzbn"},
        {false, false, "fjdksla;ghrueiwoqptyvmc,x.z/bn"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(std::string(c.crooked ? "crooked rows" : "straight rows") +
                     (c.lettersOnly ? ", letters only" : ", every character"));
        const TKeyLayout layout = GridKeyboard(kUsRows, c.crooked);
        TPlanOptions o;
        o.LettersOnly = c.lettersOnly;
        // Every letter used once, so none is left out.
        TCoursePlan plan(layout, cp1252(), Words({"qwertyuiop", "asdfghjkl", "zxcvbnm"}), o);
        plan.Make();
        EXPECT_EQ(plan.HomeRow(), 1);
        EXPECT_EQ(plan.Options().Order, TPlanOrder::Keyboard); // no number row
        EXPECT_EQ(plan.Candidates(), c.candidates);
        const std::vector<std::string> expected = {"fj", "dk", "sl", "ag", "hr", "ue", "iw", "oq",
                                                   "pt", "yv", "mc", "xz", "bn"};
        EXPECT_EQ(News(plan), expected);
        EXPECT_EQ(plan.Lessons()[2].String, "fjdksl");
        ASSERT_EQ(plan.LeftOut().size(), 4u); // ; , . / are no letters, or in no word
        EXPECT_EQ(plan.LeftOut()[0].Char, ";");
        EXPECT_EQ(plan.LeftOut()[0].Reason, c.lettersOnly ? "not a letter" : "no word of the dictionary uses it");
    }
}

TEST(CoursePlanTest, LessonsCountEntriesDistinctWordsAndCumulativeCoverage)
{
    const TKeyLayout layout = GridKeyboard(kUsRows);
    TPlanOptions o;
    o.MinWords = 2;
    // fj: "jj"; dk: "dk" twice (one folded "DK"); sl: "sl"; the rest later.
    TCoursePlan plan(layout, cp1252(),
                     Words({"jj\t5", "dk\t3", "DK\t1", "sl\t1", "flask\t0", "zebra\t10"}), o);
    plan.Make();
    const auto &l = plan.Lessons();
    ASSERT_GE(l.size(), 4u);
    EXPECT_EQ(l[0].Words, 1u);
    EXPECT_EQ(l[1].Words, 2u);
    EXPECT_EQ(l[1].Distinct, 1u); // "dk" and "DK" are one word to a course that ignores case
    EXPECT_NEAR(l[0].Coverage, 5.0 / 20.0, 1e-9);
    EXPECT_NEAR(l[1].Coverage, 9.0 / 20.0, 1e-9);
    EXPECT_NEAR(l[2].Coverage, 10.0 / 20.0, 1e-9);
    EXPECT_NEAR(l.back().Coverage, 1.0, 1e-9);
    EXPECT_TRUE(HasWarning(l[0], "too few words: 1")) << l[0].Warnings.size();
    EXPECT_FALSE(HasWarning(l[1], "too few"));
}

TEST(CoursePlanTest, FrequencyOrderStartsWithTheMostFrequentHomeRowCharacters)
{
    const TKeyLayout layout = GridKeyboard(kUsRows);
    TPlanOptions o;
    o.Order = TPlanOrder::Frequency;
    o.PerLesson = 3;
    // e is the most frequent character, but not on the home row.
    TCoursePlan plan(layout, cp1252(), Words({"eee\t100", "sea\t10", "dad\t8", "ask\t7", "see\t3"}), o);
    plan.Make();
    const std::vector<std::string> expected = {"asd", "ek"};
    EXPECT_EQ(News(plan), expected);
}

TEST(CoursePlanTest, TheShiftLevelBringsInCapitalsAfterThePlainCharactersAndTellsCase)
{
    const TKeyLayout layout = GridKeyboard({"asdfghjkl;"});
    TPlanOptions o;
    o.Shift = true;
    o.PerLesson = 4;
    TCoursePlan plan(layout, cp1252(), Words({"flask", "Dad", "add", "JAG"}), o);
    plan.Make();
    EXPECT_TRUE(plan.CaseSensitive());
    // j, g and h serve no word: "JAG" needs the capitals.
    const std::vector<std::string> expected = {"fdks", "laJD", "AG"};
    EXPECT_EQ(News(plan), expected);
    EXPECT_EQ(plan.Lessons()[1].Words, 3u); // flask, add, Dad
    EXPECT_EQ(plan.Lessons()[2].Words, 1u); // JAG
}

TEST(CoursePlanTest, WarnsOfTooFewWordsAnUnusedCharacterAndSuggestsQWithU)
{
    const TKeyLayout layout = GridKeyboard({"qwertyuiop", "asdfghjkl;"});
    TPlanOptions o;
    o.MinWords = 2;
    o.PerLesson = 1;
    TCoursePlan plan(layout, cp1252(), Words({"fa", "af", "jaj", "ffa", "quad", "quads", "squad", "dq"}), o);
    // q before u: q's lesson gets only "dq" and asks to take q with u.
    plan.SetLessons({"f", "a", "j", "d", "s", "q", "u"});
    const auto &l = plan.Lessons();
    ASSERT_EQ(l.size(), 7u);
    EXPECT_TRUE(HasWarning(l[2], "too few words: 1"));
    EXPECT_TRUE(HasWarning(l[5], "too few words: 1"));
    EXPECT_TRUE(HasWarning(l[5], "take \"q\" together with \"u\" (lesson 7): 3 more words here"));
    // s comes before any word can use it.
    EXPECT_TRUE(HasWarning(l[4], "no word of this lesson uses \"s\""));
    EXPECT_TRUE(HasWarning(l[0], "take \"f\" together with \"a\""));
    EXPECT_TRUE(l[1].Warnings.empty()); // a lesson with enough words suggests nothing

    // One word more is said so.
    TCoursePlan one(layout, cp1252(), Words({"fa"}), o);
    one.SetLessons({"f", "a"});
    EXPECT_TRUE(HasWarning(one.Lessons()[0], "take \"f\" together with \"a\" (lesson 2): 1 more word here"))
        << one.TableText();

    plan.MergeWithNext(5);
    EXPECT_EQ(plan.Lessons()[5].New, "qu");
    EXPECT_EQ(plan.Lessons()[5].Words, 4u);
    EXPECT_FALSE(HasWarning(plan.Lessons()[5], "together"));
}

TEST(CoursePlanTest, EditsMoveACharacterAndDropAnEmptiedLesson)
{
    const TKeyLayout layout = GridKeyboard(kUsRows);
    TCoursePlan plan(layout, cp1252(), Words({"fad", "dads", "lads", "jak"}), {});
    plan.Make();
    const std::vector<std::string> before = {"fj", "dk", "sl", "a"};
    ASSERT_EQ(News(plan), before);
    EXPECT_TRUE(plan.MoveChar('a', 0));
    const std::vector<std::string> moved = {"fja", "dk", "sl"};
    EXPECT_EQ(News(plan), moved);
    EXPECT_EQ(plan.Lessons()[1].Words, 2u); // fad, jak
    EXPECT_FALSE(plan.MoveChar('z', 0));
    EXPECT_THROW(plan.MoveChar('a', 3), EListError);
    EXPECT_THROW(plan.MergeWithNext(2), EListError);
    EXPECT_THROW(plan.SetLessons({"f1"}), EConvertError);
    plan.SetLessons({"fj", "fd", "", "ksla"});
    const std::vector<std::string> set = {"fj", "d", "ksla"};
    EXPECT_EQ(News(plan), set);
}

TEST(CoursePlanTest, ImportedLayoutsPlanTheirNationalLetters)
{
    const struct {
        const char *layout, *codePage, *prefix;
        const char *national; // in UTF-8
        const char *word;     // a word of it, in the code page
    } cases[] = {
        {"de", "CP1252", "fjdksla\xf6gh\xe4", "\xc3\xb6", "sch\xf6n"},
        {"lt", "CP1257", "fjdkslagh", "\xc4\x85", "\xe0s"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.layout);
        TDataMod dm;
        LayoutImportOptions io;
        io.layout = c.layout;
        io.codePage = c.codePage;
        io.composeLocale = "en_US.UTF-8";
        ImportLayout(dm, io);
        const CodePage cp(c.codePage);
        const TKeyLayout layout = TKeyLayout::FromDataMod(dm);
        TCoursePlan plan(layout, cp, Words({"falls", c.word}), {});
        plan.Make();
        EXPECT_EQ(plan.Candidates().substr(0, std::string(c.prefix).size()), c.prefix);
        bool found = false;
        for (const TPlanLesson &l : plan.Lessons())
            found = found || plan.Utf8(l.New).find(c.national) != std::string::npos;
        EXPECT_TRUE(found) << plan.TableText();
    }
}

TEST(CoursePlanTest, BadInputIsNamed)
{
    const TKeyLayout us = GridKeyboard(kUsRows);
    TDataMod digits;
    sample::AddKey(digits, "1", 1, KeyTypes::Num, TValue(0), 0, 0, 0, 40, 40);
    sample::AddChar(digits, "1", '1', TValue(int32_t(1)), false, false, 0);
    TDataMod modifiers;
    sample::AddKey(modifiers, "Shift", 1, KeyTypes::LShift, TValue(0), 0, 0, 0, 40, 40);
    const TKeyLayout noLetters = TKeyLayout::FromDataMod(digits);
    const TKeyLayout noChars = TKeyLayout::FromDataMod(modifiers);
    TPlanOptions row9;
    row9.HomeRow = 8;
    TPlanDictionary unmappable = Words({"abc"});
    unmappable.Unmappable = 5;
    const struct {
        const char *name;
        const TKeyLayout &layout;
        TPlanDictionary dictionary;
        TPlanOptions options;
        const char *message;
    } cases[] = {
        {"no character keys", noChars, Words({"a"}), {}, "no character keys"},
        {"no home row", noLetters, Words({"1"}), {}, "no row that can be the home row"},
        {"no such row", us, Words({"a"}), row9, "no row 9"},
        {"empty", us, Words({"", ""}), {}, "The dictionary is empty"},
        {"another code page", us, unmappable, {}, "not in the code page CP1252"},
        {"all unmappable", us, [] { TPlanDictionary d; d.Unmappable = 3; return d; }(), {}, "no word in the code page"},
        {"untypeable", us, Words({"\xe9t\xe9", "\xe0"}), {}, "types no word of the dictionary"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        try {
            TCoursePlan plan(c.layout, cp1252(), c.dictionary, c.options);
            plan.Make();
            ADD_FAILURE() << "no error";
        } catch (const EConvertError &e) {
            EXPECT_NE(std::string(e.what()).find(c.message), std::string::npos) << e.what();
        }
    }
}

TEST(CoursePlanTest, RoundTripEveryWordLandsInItsFirstTypeableLessonWithThePlansTotals)
{
    const TKeyLayout layout = GridKeyboard(kUsRows);
    const std::vector<std::string> lines = {"dad\t9", "sad\t4", "Jaffa\t3", "flask\t2", "quiz\t2",
                                            "zebra\t1", "a\t1",  "fall",     "x1",      "lad\t7"};
    TPlanOptions o;
    o.MaxLength = 4; // flask and Jaffa are too long for the course
    TCoursePlan plan(layout, cp1252(), TPlanDictionary::FromLines(lines), o);
    plan.Make();

    tcgClass engine;
    engine.MinLength = o.MinLength;
    engine.MaxLength = o.MaxLength;
    engine.CaseSensitive = plan.CaseSensitive();
    engine.Generate(TPlanDictionary::WordsOf(lines), plan.Strings(), tcgClass::FingerPlacement);
    ASSERT_EQ(size_t(engine.GroupCount()), plan.Lessons().size());
    for (int k = 0; k < engine.GroupCount(); ++k) {
        const TPlanLesson &lesson = plan.Lessons()[size_t(k)];
        EXPECT_EQ(engine.Group(k).size(), lesson.Words) << "lesson " << k + 1;
        std::set<std::string> distinct;
        for (const std::string &w : engine.Group(k)) {
            distinct.insert(cp1252().toLower(w));
            // Typeable here, not one lesson before.
            for (const char c : cp1252().toLower(w))
                EXPECT_NE(lesson.String.find(c), std::string::npos) << w;
            if (k > 0) {
                bool before = true;
                for (const char c : cp1252().toLower(w))
                    before = before && plan.Lessons()[size_t(k) - 1].String.find(c) != std::string::npos;
                EXPECT_FALSE(before) << w;
            }
        }
        EXPECT_EQ(distinct.size(), lesson.Distinct);
    }
}

TEST(CoursePlanTest, JsonHasTheLessonsAndTheLeftOutCharactersInUtf8)
{
    TDataMod dm;
    sample::BuildSmallKeyboard(dm);
    // The small keyboard's top row types a and b, too few letters to be
    // found as the home row: the author names it.
    const TKeyLayout layout = TKeyLayout::FromDataMod(dm);
    TPlanOptions o;
    o.HomeRow = 0;
    o.Dead = true;
    o.AltGr = true;
    TCoursePlan plan(layout, cp1252(), Words({"ab\t2", "ba", "\xe1"}), o);
    plan.Make();
    const QJsonObject root = QJsonDocument::fromJson(QByteArray::fromStdString(plan.Json())).object();
    const QJsonArray lessons = root.value(QStringLiteral("lessons")).toArray();
    ASSERT_EQ(lessons.size(), 2);
    const QJsonObject first = lessons[0].toObject();
    // The ring finger's key before the little finger's.
    EXPECT_EQ(first.value(QStringLiteral("new")).toString(), QStringLiteral("ba"));
    EXPECT_EQ(first.value(QStringLiteral("words")).toInt(), 2);
    EXPECT_DOUBLE_EQ(first.value(QStringLiteral("coverage")).toDouble(), 0.75);
    EXPECT_EQ(lessons[1].toObject().value(QStringLiteral("string")).toString(), QString::fromUtf8("ba\xc3\xa1"));
    const QJsonArray leftOut = root.value(QStringLiteral("left_out")).toArray();
    ASSERT_EQ(leftOut.size(), 1);
    EXPECT_EQ(leftOut[0].toString(), QString::fromUtf8("\xc3\x9f")); // sharp s: no word uses it
    const QJsonObject dictionary = root.value(QStringLiteral("dictionary")).toObject();
    EXPECT_EQ(dictionary.value(QStringLiteral("entries")).toInt(), 3);
    EXPECT_EQ(dictionary.value(QStringLiteral("occurrences")).toInt(), 4);
    EXPECT_EQ(root.value(QStringLiteral("order")).toString(), QStringLiteral("keyboard"));
    EXPECT_TRUE(root.value(QStringLiteral("letters_only")).toBool());

    // The keys come in the order the format lists them: by name.
    const std::string json = plan.Json();
    std::vector<size_t> at;
    for (const char *key : {"\"dictionary\"", "\"left_out\"", "\"lessons\"", "\"coverage\"", "\"distinct\"",
                            "\"new\"", "\"string\"", "\"warnings\"", "\"words\"", "\"letters_only\"", "\"order\""}) {
        at.push_back(json.find(key));
        EXPECT_NE(at.back(), std::string::npos) << key;
    }
    EXPECT_TRUE(std::is_sorted(at.begin(), at.end())) << json;
}

// A finger's keys of a row: its own column first (the little finger's inner
// key, not the key left of Z on an ISO board, though both lie as near its
// home key), then the more frequent character.
TEST(CoursePlanTest, AFingersOwnColumnComesFirstThenTheMoreFrequentCharacter)
{
    TDataMod dm;
    int32_t value = 1;
    const auto key = [&](const char *ch, int32_t finger, int x, int y) {
        sample::AddKey(dm, ch, value, KeyTypes::Alpha, TValue(0), finger, x, y, 40, 40);
        sample::AddChar(dm, ch, uint8_t(ch[0]), TValue(value), false, false, 0);
        ++value;
    };
    key("q", Fingers::LLittle, 30, 0);
    key("w", Fingers::LRing, 70, 0);
    key("e", Fingers::LMiddle, 110, 0);
    key("r", Fingers::LIndex, 150, 0);
    key("p", Fingers::RLittle, 230, 0);
    key("\xfc", Fingers::RLittle, 270, 0); // u umlaut
    key("\xf5", Fingers::RLittle, 310, 0); // o tilde
    key("a", Fingers::LLittle, 40, 40);
    key("s", Fingers::LRing, 80, 40);
    key("d", Fingers::LMiddle, 120, 40);
    key("f", Fingers::LIndex, 160, 40);
    key("\xdf", Fingers::LLittle, 20, 80); // sharp s, left of z
    key("z", Fingers::LLittle, 60, 80);
    key("x", Fingers::LRing, 100, 80);
    key("c", Fingers::LMiddle, 140, 80);
    key("v", Fingers::LIndex, 180, 80);
    const TKeyLayout layout = TKeyLayout::FromDataMod(dm);
    // Sharp s more frequent than z, o tilde more than u umlaut.
    TCoursePlan plan(layout, cp1252(), Words({"\xdf\xdf\t10", "za", "\xf5\xf5\t9", "\xfc"}), {});
    EXPECT_EQ(plan.Candidates(), "fdsarewqp\xf5\xfcvcxz\xdf");
}

// What coverage is a share of: every word occurrence the dictionary holds,
// a blank line none, a line not in the code page its count; and every line
// left out is counted by kind.
TEST(CoursePlanTest, CoverageIsAShareOfWhatTheDictionaryHoldsAndDroppedLinesAreCounted)
{
    const TKeyLayout layout = GridKeyboard(kUsRows);
    const struct {
        const char *name;
        std::vector<std::string> lines;
        std::vector<DecodedLines::Unmappable> unmappable;
        bool lettersOnly;
        double coverage;
        uint64_t entries, occurrences, blank, noLetter, notInCodePage;
        const char *dropped;
    } cases[] = {
        {"blank line", {"dad\t3", "", "sad\t1"}, {}, true, 1.0, 2, 4, 1, 0, 0,
         "1 dictionary line left out: 1 blank"},
        {"not in the code page", {"dad\t3", "sad\t1"}, {{3, "\xc5\xbc" "al\t4"}, {4, "\xc5\x82za"}}, true,
         4.0 / 9.0, 2, 9, 0, 0, 2, "2 dictionary lines left out: 2 with a character the code page CP1252 lacks"},
        // Quotes and a dash around a word, a dash alone, a number.
        {"punctuation", {"\x84" "dad\x93\t3", "\x96\t2", "(1990)", "sad", " "}, {}, true, 1.0, 2, 4, 1, 2, 0,
         "3 dictionary lines left out: 1 blank, 2 without a letter"},
        {"every character", {"\x84" "dad\x93\t3", "\x96\t2", "sad"}, {}, false, 1.0 / 6.0, 3, 6, 0, 0, 0, ""},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        DecodedLines decoded;
        decoded.lines = c.lines;
        decoded.unmappable = c.unmappable;
        TPlanOptions o;
        o.LettersOnly = c.lettersOnly;
        TCoursePlan plan(layout, cp1252(), TPlanDictionary::FromDecoded(decoded), o);
        plan.Make();
        ASSERT_FALSE(plan.Lessons().empty());
        EXPECT_NEAR(plan.Lessons().back().Coverage, c.coverage, 1e-9);
        const TPlanDictionaryUse &use = plan.DictionaryUse();
        EXPECT_EQ(use.Entries, c.entries);
        EXPECT_EQ(use.Occurrences, c.occurrences);
        EXPECT_EQ(use.Blank, c.blank);
        EXPECT_EQ(use.NoLetter, c.noLetter);
        EXPECT_EQ(use.NotInCodePage, c.notInCodePage);
        EXPECT_EQ(plan.DroppedText(), c.dropped);
        if (*c.dropped)
            EXPECT_NE(plan.TableText().find(c.dropped), std::string::npos) << plan.TableText();
    }
}

// Letters only: the keyboard's other characters are left out and listed, an
// entry is planned without the punctuation around it, and the lesson strings
// hold letters only.
TEST(CoursePlanTest, LettersOnlyLeavesOutTheSignsOfAPolishKeyboardAndPlansQuotedWords)
{
    TDataMod dm;
    LayoutImportOptions io;
    io.layout = "pl";
    io.codePage = "CP1250";
    io.composeLocale = "en_US.UTF-8";
    ImportLayout(dm, io);
    const CodePage cp("CP1250");
    const TKeyLayout layout = TKeyLayout::FromDataMod(dm);
    // "zazolc gesla jazn" with their marks, one word in quotes, signs inside words.
    const std::vector<std::string> words = {"za\xbf\xf3\xb3\xe6", "g\xea\x9cl\xb9", "ja\x9f\xf1",
                                            "\x84" "dom\x93", "a\x80" "b", "x\xa9y", "c\x96" "d"};
    for (const bool lettersOnly : {true, false}) {
        SCOPED_TRACE(lettersOnly ? "letters only" : "every character");
        TPlanOptions o;
        o.AltGr = true;
        o.LettersOnly = lettersOnly;
        TCoursePlan plan(layout, cp, Words(words), o);
        plan.Make();
        bool allLetters = true;
        uint64_t planned = 0;
        for (const TPlanLesson &l : plan.Lessons()) {
            planned += l.Words;
            for (const char c : l.String)
                allLetters = allLetters && QChar(char16_t(cp.toUnicode(uint8_t(c)))).isLetter();
        }
        EXPECT_EQ(allLetters, lettersOnly) << plan.TableText();
        bool euroListed = false;
        for (const TPlanLeftOut &l : plan.LeftOut())
            euroListed = euroListed || (l.Char == "\xe2\x82\xac" && l.Reason == "not a letter");
        EXPECT_EQ(euroListed, lettersOnly) << plan.TableText();
        // Letters only: the quoted dom is planned as dom, the words with a
        // sign inside are not typeable. Every character: the signs come in,
        // the quoted dom needs a closing quote no key types.
        EXPECT_EQ(planned, lettersOnly ? 4u : 6u) << plan.TableText();
    }
}

// Home row, then frequency: the default where the number row types letters
// (Lithuanian), so the language's own letters come by their share, not last.
TEST(CoursePlanTest, MixedOrderIsTheDefaultWhenTheNumberRowTypesLetters)
{
    TDataMod dm;
    LayoutImportOptions io;
    io.layout = "lt";
    io.codePage = "CP1257";
    io.composeLocale = "en_US.UTF-8";
    ImportLayout(dm, io);
    const CodePage cp("CP1257");
    const TKeyLayout lt = TKeyLayout::FromDataMod(dm);
    // e dot (0xEB) the most frequent letter, then s caron (0xF0), then r.
    const TPlanDictionary lithuanian =
        Words({"fjdkslagh", "\xf0\xeb\t50", "\xebra\t20", "uosis\t3"});
    const struct {
        const char *name;
        const TKeyLayout &layout;
        TPlanDictionary dictionary;
        std::optional<TPlanOrder> order;
        TPlanOrder used;
        std::vector<std::string> first;
    } cases[] = {
        {"lt, default", lt, lithuanian, {}, TPlanOrder::Mixed, {"fj", "dk", "sl", "ag", "h\xeb", "\xf0r", "ui"}},
        {"lt, keyboard", lt, lithuanian, TPlanOrder::Keyboard, TPlanOrder::Keyboard, {"fj", "dk", "sl", "ag", "hr", "ui", "o\xeb"}},
        {"us grid, mixed", GridKeyboard(kUsRows), Words({"fad\t5", "sea\t9", "zzz\t100"}), TPlanOrder::Mixed,
         TPlanOrder::Mixed, {"fd", "sa", "ze"}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        TPlanOptions o;
        o.Order = c.order;
        TCoursePlan plan(c.layout, cp, c.dictionary, o);
        plan.Make();
        EXPECT_EQ(plan.Options().Order, c.used);
        std::vector<std::string> first = News(plan);
        first.resize(std::min(first.size(), c.first.size()));
        EXPECT_EQ(first, c.first) << plan.TableText();
    }
}

TEST(CoursePlanTest, CountedLinesAreSplitOnlyWhenTheyEndInACount)
{
    const struct {
        const char *line, *word;
        uint64_t count;
        bool counted;
    } cases[] = {
        {"word\t12", "word", 12, true}, {"word", "word", 1, false},   {"a\tb", "a\tb", 1, false},
        {"\t5", "\t5", 1, false},       {"word\t", "word\t", 1, false}, {"x\ty\t3", "x\ty", 3, true},
    };
    for (const auto &c : cases) {
        std::string_view word;
        uint64_t count = 0;
        EXPECT_EQ(TPlanDictionary::SplitCounted(c.line, word, count), c.counted) << c.line;
        EXPECT_EQ(word, c.word);
        EXPECT_EQ(count, c.count);
    }
}

} // namespace

namespace {

TEST(CoursePlanTest, DrillCharactersOfAFingerAHandARowOrTheCurrentLesson)
{
    const TKeyLayout layout = GridKeyboard(kUsRows);
    const struct {
        TDrillKind kind;
        int which;
        const char *only;
        const char *chars;
    } cases[] = {
        {TDrillKind::Finger, Fingers::LIndex, "", "rtfgvb"},
        {TDrillKind::Finger, Fingers::RLittle, "", "p;/"},
        {TDrillKind::Hand, 0, "", "qwertasdfgzxcvb"},
        {TDrillKind::Hand, 1, "", "yuiophjkl;nm,./"},
        {TDrillKind::Row, 1, "", "asdfghjkl;"},
        {TDrillKind::Row, 7, "", ""},
        {TDrillKind::Finger, Fingers::LIndex, "fjdkgh", "fg"},
    };
    for (const auto &c : cases)
        EXPECT_EQ(DrillChars(layout, c.kind, c.which, c.only), c.chars) << int(c.kind) << " " << c.which;
}

} // namespace
