// The course generator engine: picking by each mode, the result views and
// their exact text, sorts that persist, and failures that keep what was picked.

#include "common/CodePage.h"
#include "common/Errors.h"
#include "common/ScriptedDialogs.h"
#include "common/TextFile.h"
#include "words/tcg.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <random>
#include <type_traits>
#include <utility>

using kf::CodePage;
using kf::ScriptedDialogs;
using kf::tcgClass;
using kf::WordList;
using Groups = std::vector<WordList>;

namespace {

const std::string kData = std::string(KF_TEST_DATA_DIR) + "/tcg/";

class TcgTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        unsetenv("KEYFOLIO_CODEPAGE");
        setenv("LANG", "C", 1);
        CodePage::reload();
        auto scripted = std::make_unique<ScriptedDialogs>();
        dialogs = scripted.get();
        kf::SetDialogs(std::move(scripted));
    }
    void TearDown() override
    {
        kf::SetDialogs(nullptr);
        unsetenv("KEYFOLIO_CODEPAGE");
        CodePage::reload();
    }
    ScriptedDialogs *dialogs = nullptr; // owned by the dialog service
};

struct PickCase {
    const char *name;
    int mode;
    WordList strings;
    WordList words;
    Groups expected;
    bool caseSensitive = false;
    int minLength = 0;
    int maxLength = 50;
};

void runCases(const std::vector<PickCase> &cases)
{
    for (const PickCase &c : cases) {
        tcgClass engine;
        engine.MinLength = c.minLength;
        engine.MaxLength = c.maxLength;
        engine.CaseSensitive = c.caseSensitive;
        engine.Generate(c.words, c.strings, c.mode);
        EXPECT_EQ(engine.Groups(), c.expected) << c.name;
        EXPECT_EQ(engine.GroupCount(), int(c.strings.size())) << c.name;
        EXPECT_EQ(engine.LastError(), "") << c.name;
    }
}

TEST_F(TcgTest, FingerPlacement)
{
    const int m = tcgClass::FingerPlacement;
    runCases({
        {"two sets", m, {"asdf", "asdfjkl"}, {"sad", "dad", "flask", "flag"}, {{"sad", "dad"}, {"flask"}}},
        {"capital folds", m, {"asdf"}, {"Sad", "SAD"}, {{"Sad", "SAD"}}},
        {"capital with case", m, {"asdf"}, {"Sad", "sad"}, {{"sad"}}, true},
        {"set with capital", m, {"ASDF"}, {"sad", "Sad"}, {{"sad", "Sad"}}},
        {"set with capital, with case", m, {"ASDF"}, {"sad", "SAD"}, {{"SAD"}}, true},
        {"order and repetition", m, {"dsaasd"}, {"sad", "dads"}, {{"sad", "dads"}}},
        {"a blank is a letter", m, {"ab "}, {"a b", "ab"}, {{"a b", "ab"}}},
        {"empty word", m, {"abc"}, {"", "a"}, {{"a"}}},
        {"empty string", m, {"", "abc"}, {"a", ""}, {{}, {"a"}}},
        {"duplicates count twice", m, {"abc"}, {"cab", "cab"}, {{"cab", "cab"}}},
        {"first string wins", m, {"abc", "abc"}, {"cab"}, {{"cab"}, {}}},
        {"lengths inclusive", m, {"abc"}, {"a", "ab", "abc", "abca"}, {{"ab", "abc"}}, false, 2, 3},
        {"min above max", m, {"abc"}, {"a", "ab", "abc"}, {{}}, false, 3, 2},
        {"many strings", m, {"x", "y", "z", "q", "w", "e", "r", "t", "u", "i", "o", "p", "a", "s", "d", "f",
                              "g", "h", "j", "k", "l", "zx", "c", "v", "b", "n", "m", "qw", "er", "ty", "ui",
                              "op", "as", "df", "gh", "jk", "kl", "zz", "xc", "cv", "vb", "bn", "nm", "qq",
                              "ww", "ee", "rr", "tt", "yy", "uu", "ii", "oo", "pp", "aa", "ss", "dd", "ff",
                              "gg", "hh", "jj", "kk", "ll", "mm", "nn", "abcdefghijklmnopqrstuvwxyz"},
         {"b", "cv", "zoo", "mnm", "quiz"},
         [] {
             Groups g(65);
             g[24] = {"b"};
             g[39] = {"cv"};
             g[64] = {"zoo", "quiz"};
             g[42] = {"mnm"};
             return g;
         }()},
    });
}

TEST_F(TcgTest, LetterStrings)
{
    const int m = tcgClass::LetterStrings;
    runCases({
        {"first string wins", m, {"ou", "th"}, {"thought", "the", "you"}, {{"thought", "you"}, {"the"}}},
        {"case folds both ways", m, {"Ou"}, {"YOU", "you"}, {{"YOU", "you"}}},
        {"with case", m, {"ou"}, {"YOU", "you"}, {{"you"}}, true},
        {"empty string never", m, {"", "a"}, {"a", ""}, {{}, {"a"}}},
        {"overlapping strings", m, {"abcd", "bc", "c"}, {"xabcdx", "xbcx", "abdc"}, {{"xabcdx"}, {"xbcx"}, {"abdc"}}},
        {"suffix inside a longer string", m, {"ab", "b"}, {"cab", "bca"}, {{"cab"}, {"bca"}}},
        {"longer string first", m, {"abc", "b"}, {"zabcz", "zabz"}, {{"zabcz"}, {"zabz"}}},
        {"string longer than word", m, {"abcdef"}, {"abc"}, {{}}},
        {"blank inside", m, {"e c"}, {"ice cream"}, {{"ice cream"}}},
    });
}

TEST_F(TcgTest, HeadLetters)
{
    const int m = tcgClass::HeadLetters;
    runCases({
        {"begins", m, {"th"}, {"thought", "other", "th", "t"}, {{"thought", "th"}}},
        {"first string wins", m, {"the", "th"}, {"there", "thin"}, {{"there"}, {"thin"}}},
        {"shorter string first", m, {"t", "th"}, {"there"}, {{"there"}, {}}},
        {"case folds", m, {"TH"}, {"This"}, {{"This"}}},
        {"with case", m, {"TH"}, {"This", "THIS"}, {{"THIS"}}, true},
        {"empty string and word", m, {"", "a"}, {"", "ab"}, {{}, {"ab"}}},
        {"repeated head", m, {"aa"}, {"aaa", "baa"}, {{"aaa"}}},
    });
}

TEST_F(TcgTest, TailLetters)
{
    const int m = tcgClass::TailLetters;
    runCases({
        {"a longer string first stops the search", m, {"ings", "at"}, {"cat", "sings", "splat"},
         {{"sings"}, {"splat"}}},
        {"shorter first", m, {"at", "ings"}, {"cat", "sings"}, {{"cat"}, {"sings"}}},
        {"empty string is skipped, not a stop", m, {"", "at"}, {"cat"}, {{}, {"cat"}}},
        {"word exactly as long", m, {"cat", "at"}, {"cat"}, {{"cat"}, {}}},
        {"stop only after a miss", m, {"at", "longer"}, {"cat", "bat"}, {{"cat", "bat"}, {}}},
        {"stop by a later long string", m, {"xy", "longer", "at"}, {"cat", "format"}, {{}, {}, {"format"}}},
        {"case folds", m, {"AT"}, {"cAt"}, {{"cAt"}}},
        {"with case", m, {"AT"}, {"cAt", "CAT"}, {{"CAT"}}, true},
        {"empty word", m, {"a"}, {""}, {{}}},
    });
}

TEST_F(TcgTest, RegularExpression)
{
    const int m = tcgClass::RegularExpression;
    runCases({
        {"\\w*ing\\b picks sing", m, {"\\w*ing\\b"}, {"sing", "ring", "singer"}, {{"sing", "ring"}}},
        {"ing\\b is shorter than the word", m, {"ing\\b"}, {"sing", "ing"}, {{"ing"}}},
        {"^\\w+$ picks nothing", m, {"^\\w+$"}, {"cat", "sing"}, {{}}},
        {"at\\s picks at-blank from cat", m, {"at\\s"}, {"cat"}, {{"at "}}},
        {".* runs into the line break", m, {".*", "\\w+"}, {"cat"}, {{}, {"cat"}}},
        {"case plays no part", m, {"CAT", "cat"}, {"cat"}, {{}, {"cat"}}, false},
        {"(?i) folds", m, {"(?i)CAT"}, {"cat"}, {{"cat"}}},
        {"leftmost match is judged", m, {"c|cat", "cat|c"}, {"cat"}, {{}, {"cat"}}},
        {"trimmed length", m, {"cat"}, {" cat\t"}, {{"cat"}}},
        {"first pattern wins", m, {"c\\w+", "\\w+t"}, {"cat", "bat"}, {{"cat"}, {"bat"}}},
        {"lengths", m, {"\\w+"}, {"a", "abcd"}, {{"a"}}, false, 0, 3},
        {"empty word, empty match", m, {"x*"}, {""}, {{""}}},
    });
}

TEST_F(TcgTest, OtherModesPickNothing)
{
    for (int mode : {0, 6, -1}) {
        tcgClass engine;
        engine.MaxLength = 50;
        engine.Generate({"a", "b"}, {"a", "b"}, mode);
        EXPECT_EQ(engine.Groups(), Groups(2)) << mode;
    }
}

TEST_F(TcgTest, EmptyStringsOrDictionaryIsNoError)
{
    tcgClass engine;
    engine.MaxLength = 50;
    engine.Generate({}, {"a", ""}, tcgClass::RegularExpression);
    EXPECT_EQ(engine.Groups(), Groups(2));
    EXPECT_EQ(engine.RenderResultText(tcgClass::AsPicked, true),
              "=========================\r\nThe to-be-typed keys:  a  >> Total: 0\r\n"
              "-------------------------\r\n\r\n"
              "=========================\r\nThe to-be-typed keys:    >> Total: 0\r\n"
              "-------------------------\r\n\r\n");
    engine.Generate({"a"}, {}, tcgClass::FingerPlacement);
    EXPECT_EQ(engine.GroupCount(), 0);
    EXPECT_EQ(engine.RenderResultText(tcgClass::WordListView, true), "");
    EXPECT_EQ(dialogs->count(ScriptedDialogs::Kind::Warning), 0);
    EXPECT_THROW(engine.Group(0), kf::EListError);
}

TEST_F(TcgTest, InvalidPatternStopsTheGenerationAndKeepsWhatWasPicked)
{
    tcgClass engine;
    engine.MaxLength = 50;
    // "cat" is taken by the first pattern before the broken one is tried;
    // "dog" reaches it and stops the generation; "cow" is never examined.
    engine.Generate({"cat", "cab", "dog", "cow"}, {"ca\\w", "(ab", "c\\w+"}, tcgClass::RegularExpression);
    EXPECT_EQ(engine.Groups(), (Groups{{"cat", "cab"}, {}, {}}));
    const std::string message = "Something wrong with regular expression: (ab";
    EXPECT_EQ(engine.LastError(), message);
    ASSERT_EQ(dialogs->count(ScriptedDialogs::Kind::Warning), 1);
    EXPECT_EQ(dialogs->last(ScriptedDialogs::Kind::Warning).caption, "Warning");
    EXPECT_EQ(dialogs->last(ScriptedDialogs::Kind::Warning).text, QString::fromStdString(message));

    // The next generation starts clean.
    engine.Generate({"cat"}, {"c\\w+"}, tcgClass::RegularExpression);
    EXPECT_EQ(engine.LastError(), "");
    EXPECT_EQ(engine.Groups(), (Groups{{"cat"}}));
}

TEST_F(TcgTest, EmptyPatternLineIsInvalid)
{
    tcgClass engine;
    engine.MaxLength = 50;
    engine.Generate({"zzz", "cat"}, {"c\\w+", ""}, tcgClass::RegularExpression);
    EXPECT_EQ(engine.LastError(), "Something wrong with regular expression: ");
    EXPECT_EQ(engine.Groups(), (Groups{{}, {}}));
    EXPECT_EQ(dialogs->count(ScriptedDialogs::Kind::Warning), 1);
}

TEST_F(TcgTest, WordsLineQuoting)
{
    const struct {
        WordList entries;
        std::string line;
    } cases[] = {
        {{}, ""},
        {{""}, "\"\""},
        {{"a", "", "b"}, "a  b"},
        {{"sad", "dad"}, "sad dad"},
        {{"a b"}, "\"a b\""},
        {{"at "}, "\"at \""},
        {{"say \"hi\""}, "\"say \"\"hi\"\"\""},
        {{"a,b", "c"}, "\"a b\" c"},
        {{"x\x01"}, "\"x\x01\""},
        {{"tab\there"}, "\"tab\there\""},
        {{"\x7f\xe9!"}, "\x7f\xe9!"},
    };
    for (const auto &c : cases)
        EXPECT_EQ(tcgClass::WordsLine(c.entries), c.line) << c.line;
}

class TcgViewsTest : public TcgTest {
protected:
    void generate(tcgClass &engine)
    {
        words = kf::readTextLines(kData + "dictionary.txt");
        strings = kf::readTextLines(kData + "strings.txt");
        engine.MaxLength = 50;
        engine.Generate(words, strings, tcgClass::LetterStrings);
    }
    WordList words, strings;
};

TEST_F(TcgViewsTest, EachViewMatchesItsGoldenFile)
{
    const struct {
        int view;
        bool headings;
        const char *golden;
    } cases[] = {
        {0, true, "view0-headings.txt"}, {0, false, "view0.txt"},
        {1, true, "view1-headings.txt"}, {1, false, "view1.txt"},
        {2, true, "view2-headings.txt"}, {2, false, "view2.txt"},
        {3, true, "view3.txt"},          {3, false, "view3.txt"},
        {4, true, "view4.txt"},          {4, false, "view4.txt"},
        {5, true, "view5.txt"},          {5, false, "view5.txt"},
    };
    for (const auto &c : cases) {
        tcgClass engine;
        generate(engine);
        EXPECT_EQ(engine.RenderResultText(c.view, c.headings), kf::readFileBytes(kData + c.golden))
            << "view " << c.view << " headings " << c.headings;
    }
}

TEST_F(TcgViewsTest, SortsPersistUntilTheNextGenerate)
{
    tcgClass engine;
    generate(engine);
    engine.RenderResult(tcgClass::SortDefault, true);
    EXPECT_EQ(engine.RenderResultText(tcgClass::NoHeadings, false), kf::readFileBytes(kData + "view1.txt"));
    engine.RenderResult(tcgClass::SortByLength, false);
    EXPECT_EQ(engine.RenderResultText(tcgClass::WithHeadings, false),
              kf::readFileBytes(kData + "view2-headings.txt"));
    EXPECT_EQ(engine.Group(0), (WordList{"Bee", "eel", "Oboe", "apple", "ice cream", "say \"hello\""}));
    engine.Generate(words, strings, tcgClass::LetterStrings);
    EXPECT_EQ(engine.RenderResultText(tcgClass::NoHeadings, true), kf::readFileBytes(kData + "view3.txt"));
}

TEST_F(TcgTest, CaseFoldingInCodePage1251)
{
    setenv("KEYFOLIO_CODEPAGE", "CP1251", 1);
    CodePage::reload();
    // мама / МАМА / Мёд / мёд ; strings "ам" (letters), "мё" (head)
    const std::string mama = "\xEC\xE0\xEC\xE0", MAMA = "\xCC\xC0\xCC\xC0";
    const std::string Myod = "\xCC\xB8\xE4", MYOD = "\xCC\xA8\xC4", myod = "\xEC\xB8\xE4";
    runCases({
        {"letters fold Cyrillic", tcgClass::FingerPlacement, {"\xE0\xEC"}, {mama, MAMA, Myod}, {{mama, MAMA}}},
        {"letters with case", tcgClass::FingerPlacement, {"\xE0\xEC"}, {mama, MAMA}, {{mama}}, true},
        {"yo folds", tcgClass::HeadLetters, {"\xEC\xB8"}, {Myod, MYOD, myod, mama}, {{Myod, MYOD, myod}}},
        {"strings fold", tcgClass::LetterStrings, {"\xA8\xC4"}, {Myod, mama}, {{Myod}}},
        {"tails fold", tcgClass::TailLetters, {"\xC0"}, {mama, Myod}, {{mama}}},
        {"pattern range covers yo", tcgClass::RegularExpression, {"[\xE0-\xFF]+"}, {myod, Myod}, {{myod}}},
        {"pattern both alphabets", tcgClass::RegularExpression, {"[\xE0-\xDF]+"}, {MYOD, "abc"}, {{MYOD}}},
    });
}

// The rules of modes 1 to 4 written plainly, one string after another.
int referencePick(int mode, const WordList &strings, const std::string &word, bool caseSensitive)
{
    const CodePage &cp = CodePage::current();
    auto fold = [&](const std::string &s) { return caseSensitive ? s : cp.toLower(s); };
    const std::string w = fold(word);
    for (size_t k = 0; k < strings.size(); ++k) {
        const std::string s = fold(strings[k]);
        switch (mode) {
        case tcgClass::FingerPlacement:
            if (!w.empty() && w.find_first_not_of(s) == std::string::npos)
                return int(k);
            break;
        case tcgClass::LetterStrings:
            if (!s.empty() && w.find(s) != std::string::npos)
                return int(k);
            break;
        case tcgClass::HeadLetters:
            if (!s.empty() && !w.empty() && w.find(s) == 0)
                return int(k);
            break;
        case tcgClass::TailLetters:
            if (s.empty() || w.empty())
                continue;
            if (w.size() < s.size())
                return -1;
            if (w.compare(w.size() - s.size(), s.size(), s) == 0)
                return int(k);
            break;
        }
    }
    return -1;
}

TEST_F(TcgTest, PickersAgreeWithThePlainRulesForSmallAndLargeStringLists)
{
    std::mt19937 rng(12345);
    auto randomText = [&](size_t maxLength, const std::string &alphabet) {
        std::string s(rng() % (maxLength + 1), ' ');
        for (char &c : s)
            c = alphabet[rng() % alphabet.size()];
        return s;
    };
    const std::string alphabet = "abcdeABCDE \xE9\xC9";
    WordList words;
    for (int i = 0; i < 3000; ++i)
        words.push_back(randomText(9, alphabet));
    // 40 strings stay in the automata; 6000 strings exceed their size limit.
    for (size_t stringCount : {size_t(40), size_t(6000)}) {
        WordList strings;
        for (size_t i = 0; i < stringCount; ++i)
            strings.push_back(randomText(stringCount > 1000 ? 8 : 4, alphabet));
        for (int mode = tcgClass::FingerPlacement; mode <= tcgClass::TailLetters; ++mode) {
            for (bool caseSensitive : {false, true}) {
                tcgClass engine;
                engine.MinLength = 1;
                engine.MaxLength = 8;
                engine.CaseSensitive = caseSensitive;
                engine.Generate(words, strings, mode);
                Groups expected(strings.size());
                for (const std::string &w : words) {
                    if (w.size() < 1 || w.size() > 8)
                        continue;
                    const int k = referencePick(mode, strings, w, caseSensitive);
                    if (k >= 0)
                        expected[size_t(k)].push_back(w);
                }
                EXPECT_EQ(engine.Groups(), expected)
                    << "mode " << mode << " strings " << stringCount << " case " << caseSensitive;
            }
        }
    }
}

} // namespace

namespace {

TEST_F(TcgTest, PatternsCompileOncePerTextAndSurviveACacheClear)
{
    tcgClass engine;
    engine.MaxLength = 50;
    const WordList words{"cat", "bat", "cow"};
    const WordList strings{"c\\w+", "b\\w+", "c\\w+"};
    engine.Generate(words, strings, tcgClass::RegularExpression);
    EXPECT_EQ(engine.Matcher().CacheSize(), 2u);
    EXPECT_EQ(engine.Groups(), (Groups{{"cat", "cow"}, {"bat"}, {}}));
    // Picking again after the cache was emptied compiles anew.
    engine.Matcher().ClearCache();
    engine.PickAll(words, tcgClass::RegularExpression);
    EXPECT_EQ(engine.Groups(), (Groups{{"cat", "cow", "cat", "cow"}, {"bat", "bat"}, {}}));
    EXPECT_EQ(engine.Matcher().CacheSize(), 2u);
}

} // namespace

namespace {

// The engine borrows no dictionary: it offers no view of the last one, and
// PickAll is handed the words it runs over.
template <class T, class = void>
struct OffersDictionary : std::false_type {};
template <class T>
struct OffersDictionary<T, std::void_t<decltype(std::declval<const T &>().Dictionary())>> : std::true_type {};
static_assert(!OffersDictionary<tcgClass>::value, "the engine must not hand out the caller's word list");

TEST_F(TcgTest, GenerateKeepsNothingOfTheCallersWords)
{
    tcgClass engine;
    engine.MaxLength = 50;
    {
        const WordList words{"sad", "flask", "dad"};
        engine.Generate(words, {"asdf"}, tcgClass::FingerPlacement);
    } // the caller's list is gone; the groups hold copies
    EXPECT_EQ(engine.Groups(), (Groups{{"sad", "dad"}}));
    EXPECT_EQ(engine.RenderResultText(tcgClass::NoHeadings, false), "sad dad\r\n");

    // Picking again runs over the words given now, added to the groups.
    const WordList more{"fad", "jam"};
    engine.PickAll(more, tcgClass::FingerPlacement);
    EXPECT_EQ(engine.Groups(), (Groups{{"sad", "dad", "fad"}}));
    engine.PickAll(more, 0); // no such mode: nothing picked
    EXPECT_EQ(engine.Groups(), (Groups{{"sad", "dad", "fad"}}));
}

// Patterns are not run on words that lack their first or required byte; the
// picks must be those of running every pattern on every word. Twenty patterns
// take the per-byte masks, seventy the pattern-by-pattern check.
TEST_F(TcgTest, PatternsSkippedByTheirBytesPickAsIfRun)
{
    std::mt19937 rng(777);
    const std::string alphabet = "abcdeABCDE \xE9\xC9";
    auto pick = [&](const std::string &from) { return std::string(1, from[rng() % from.size()]); };
    WordList words;
    for (int i = 0; i < 3000; ++i) {
        std::string w(1 + rng() % 8, ' ');
        for (char &c : w)
            c = alphabet[rng() % alphabet.size()];
        words.push_back(w);
    }
    const char *middles[] = {"\\w*", "\\w+", "[a-c]*", ".", "[^a]+", "", "\\w{3,}", ".{2}", "(\\w)\\1"};
    for (const size_t count : {size_t(20), size_t(70)}) {
        WordList patterns;
        for (size_t i = 0; i < count; ++i) {
            std::string p = rng() % 3 == 0 ? "(?i)" : "";
            if (rng() % 4 == 0)
                p += "^";
            if (rng() % 2)
                p += pick("abcdeABCDE\xE9\xC9");
            p += middles[rng() % std::size(middles)];
            if (rng() % 2)
                p += pick("abcdeABCDE\xE9\xC9");
            if (p.empty() || p == "(?i)" || p == "^" || p == "(?i)^")
                p += "a";
            patterns.push_back(p);
        }
        tcgClass engine;
        engine.MinLength = 1;
        engine.MaxLength = 8;
        engine.Generate(words, patterns, tcgClass::RegularExpression);
        ASSERT_EQ(engine.LastError(), "");

        kf::PatternMatcher plain;
        Groups expected(patterns.size());
        for (const std::string &w : words) {
            const std::string subject = w + " \r\n";
            size_t first = 0, last = w.size();
            while (first < last && uint8_t(w[first]) <= 0x20)
                ++first;
            while (last > first && uint8_t(w[last - 1]) <= 0x20)
                --last;
            for (size_t k = 0; k < patterns.size(); ++k) {
                size_t start = 0, length = 0;
                if (plain.Exec(plain.Compile(patterns[k]), subject, start, length) && length == last - first) {
                    expected[k].push_back(subject.substr(start, length));
                    break;
                }
            }
        }
        EXPECT_EQ(engine.Groups(), expected) << count << " patterns";
    }
}

} // namespace

namespace {

// The result is bytes of the code page of its generation: sorting later, in
// another session code page, still reads them in that one.
TEST_F(TcgTest, SortingReadsTheWordsInTheCodePageOfTheGeneration)
{
    CodePage::choose("CP1250");
    tcgClass engine;
    engine.MaxLength = 50;
    // "Łb" and "ła" in CP1250; the same bytes are "£b" and "³a" in CP1252.
    engine.Generate({"\xA3" "b", "\xB3" "a", "x"}, {"\xA3\xB3" "ab"}, tcgClass::FingerPlacement);
    EXPECT_EQ(engine.Groups(), (Groups{{"\xA3" "b", "\xB3" "a"}}));
    CodePage::choose("CP1252");
    EXPECT_EQ(engine.TextCodePage().name(), "CP1250");
    // Ignoring case, "ła" comes before "Łb"; "£b" would come before "³a".
    EXPECT_EQ(engine.RenderResultText(tcgClass::SortDefault, false), "\xB3" "a \xA3" "b\r\n");
    // The next generation takes the code page in force then.
    engine.Generate({"\xA3" "b"}, {"\xA3"}, tcgClass::LetterStrings);
    EXPECT_EQ(engine.TextCodePage().name(), "CP1252");
}

// Threads pick what one thread picks, in word order, whatever the split; a
// failure keeps the picks of every word before the failing one and of none
// after it, whichever thread met it.
TEST_F(TcgTest, ThreadsPickAsOneThreadDoes)
{
    std::mt19937 rng(4242);
    const std::string alphabet = "abcdeABCDE \xE9\xC9'";
    auto randomText = [&](size_t minLength, size_t maxLength, const std::string &from) {
        std::string s(minLength + rng() % (maxLength - minLength + 1), ' ');
        for (char &c : s)
            c = from[rng() % from.size()];
        return s;
    };
    WordList words;
    for (int i = 0; i < 30000; ++i)
        words.push_back(randomText(0, 10, alphabet));
    // Words that \w+ picks, but for one.
    WordList failingEarly;
    for (int i = 0; i < 30000; ++i)
        failingEarly.push_back(randomText(1, 9, "abcdeABCDE"));
    WordList failingLate = failingEarly;
    failingEarly[700] = "-";
    failingLate[23456] = "-";
    auto randomStrings = [&](size_t count, size_t minLength, size_t maxLength) {
        WordList s;
        for (size_t i = 0; i < count; ++i)
            s.push_back(randomText(minLength, maxLength, "abcdeABCDE\xE9\xC9"));
        return s;
    };
    const WordList general{"\\w*[ab]{2}\\w*", "[^a\\W]{3}\\w*", "\\w*(\\w)\\1\\w*", "[A-Z]\\w+",
                           "\\w+'\\w*", "[c-e]+[a-b]+", "\\w{9,}", "\\S+"};
    WordList many;
    for (int i = 0; i < 70; ++i)
        many.push_back(std::string(1, "abcde"[i % 5]) + (i % 2 ? "\\w*" : "[^a]+") + "e?");
    many.push_back("\\S+");
    const struct {
        const char *name;
        int mode;
        WordList strings;
        const WordList *words;
    } cases[] = {
        {"finger", tcgClass::FingerPlacement, randomStrings(100, 3, 8), &words},
        {"finger, 40 strings", tcgClass::FingerPlacement, randomStrings(40, 2, 6), &words},
        {"letters", tcgClass::LetterStrings, randomStrings(100, 1, 3), &words},
        {"head", tcgClass::HeadLetters, randomStrings(100, 1, 3), &words},
        {"tail", tcgClass::TailLetters, randomStrings(100, 1, 3), &words},
        {"general patterns", tcgClass::RegularExpression, general, &words},
        {"71 patterns", tcgClass::RegularExpression, many, &words},
        {"pattern error early", tcgClass::RegularExpression, {"\\w+", "(ab", "\\S+"}, &failingEarly},
        {"pattern error late", tcgClass::RegularExpression, {"\\w+", "(ab", "\\S+"}, &failingLate},
    };
    for (const auto &c : cases) {
        for (const bool caseSensitive : {false, true}) {
            tcgClass one;
            one.Threads = 1;
            one.MinLength = 1;
            one.MaxLength = 9;
            one.CaseSensitive = caseSensitive;
            one.Generate(*c.words, c.strings, c.mode);
            EXPECT_EQ(one.LastThreads(), 1u) << c.name;
            for (const unsigned threads : {2u, 3u, 7u}) {
                tcgClass split;
                split.Threads = threads;
                split.MinLength = 1;
                split.MaxLength = 9;
                split.CaseSensitive = caseSensitive;
                split.Generate(*c.words, c.strings, c.mode);
                EXPECT_EQ(split.LastThreads(), threads) << c.name;
                EXPECT_EQ(split.Groups(), one.Groups()) << c.name << ", " << threads << " threads, case "
                                                        << caseSensitive;
                EXPECT_EQ(split.LastError(), one.LastError()) << c.name << ", " << threads << " threads";
            }
        }
    }
    EXPECT_EQ(dialogs->count(ScriptedDialogs::Kind::Warning), 2 * 2 * 4);
}

TEST_F(TcgTest, FewWordsArePickedByOneThread)
{
    tcgClass engine;
    engine.Threads = 2;
    engine.MaxLength = 50;
    engine.Generate(WordList(2 * tcgClass::kMinWordsPerBlock - 1, "sad"), {"asd"}, tcgClass::FingerPlacement);
    EXPECT_EQ(engine.LastThreads(), 1u);
    engine.Generate(WordList(2 * tcgClass::kMinWordsPerBlock, "sad"), {"asd"}, tcgClass::FingerPlacement);
    EXPECT_EQ(engine.LastThreads(), 2u);
    EXPECT_EQ(engine.Group(0).size(), 2 * tcgClass::kMinWordsPerBlock);
}

} // namespace
