// The pattern dialect as the course generator's matcher runs it: each case is
// a pattern, a subject and the leftmost match expected (or none, or invalid).

#include "common/CodePage.h"
#include "common/Errors.h"
#include "words/PatternDialect.h"
#include "words/PatternMatcher.h"

#include <gtest/gtest.h>

#define PCRE2_CODE_UNIT_WIDTH 8
#include <pcre2.h>

#include <cstdlib>
#include <optional>
#include <random>

using kf::CodePage;
using kf::PatternMatcher;

namespace {

struct DialectCase {
    std::string pattern;
    std::string subject;
    enum { Match, NoMatch, Invalid } expect;
    std::string match; // the matched text, for Match
    size_t offset = 0; // where it starts, for Match
};

DialectCase M(std::string p, std::string s, std::string m, size_t at = 0)
{
    return {std::move(p), std::move(s), DialectCase::Match, std::move(m), at};
}
DialectCase N(std::string p, std::string s)
{
    return {std::move(p), std::move(s), DialectCase::NoMatch, {}, 0};
}
DialectCase X(std::string p)
{
    return {std::move(p), {}, DialectCase::Invalid, {}, 0};
}

// Runs one case; returns a description of the difference or nothing.
std::optional<std::string> run(PatternMatcher &matcher, const DialectCase &c)
{
    try {
        matcher.SetPattern(c.pattern);
    } catch (const kf::ERegExError &e) {
        if (c.expect == DialectCase::Invalid)
            return std::nullopt;
        return "rejected: " + std::string(e.what());
    }
    if (c.expect == DialectCase::Invalid)
        return "accepted, translated to " + PatternMatcher::Translation(matcher.Compile(c.pattern));
    size_t start = 0, length = 0;
    const bool found = matcher.Exec(c.subject, start, length);
    if (c.expect == DialectCase::NoMatch)
        return found ? std::optional<std::string>("matched \"" + c.subject.substr(start, length) + "\"")
                     : std::nullopt;
    if (!found)
        return "no match";
    if (c.subject.substr(start, length) != c.match || start != c.offset)
        return "matched \"" + c.subject.substr(start, length) + "\" at " + std::to_string(start);
    return std::nullopt;
}

class PatternDialectTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        unsetenv("KEYFOLIO_CODEPAGE");
        setenv("LANG", "C", 1);
        CodePage::reload();
    }
    void TearDown() override
    {
        unsetenv("KEYFOLIO_CODEPAGE");
        CodePage::reload();
    }
    void check(const std::vector<DialectCase> &cases)
    {
        PatternMatcher matcher;
        for (const DialectCase &c : cases) {
            if (auto problem = run(matcher, c))
                ADD_FAILURE() << "pattern \"" << c.pattern << "\" on \"" << c.subject << "\": " << *problem;
        }
    }
};

TEST_F(PatternDialectTest, AnchorsDotAndLineBreaks)
{
    check({
        M(".", "\r\n", "\r"),                 // the dot takes CR and LF
        M("a.b", "a\nb", "a\nb"),
        N("(?-s)a.b", "a\nb"),
        N("(?-s)a.b", "a\rb"),
        M("(?-s)a.b", "axb", "axb"),
        N("cat$", "cat \r\n"),                // $ only at the very end
        N("b$", "ab\n"),
        M("\\n$", "ab\n", "\n", 2),
        N("b\\Z", "ab\n"),                    // \Z is the very end, after the final LF
        M("\\n\\Z", "ab\n", "\n", 2),
        M("\\Aa", "aa", "a"),
        N("\\Ab", "ab"),
        N("^b", "a\nb"),
        M("(?m)^b", "a\nb", "b", 2),
        M("(?m)^b", "a\rb", "b", 2),
        M("(?m)^b", "a\r\nb", "b", 3),
        N("(?m)^\\n", "a\r\nb"),              // CR LF is one break: no line start inside it
        M("(?m)a$", "a\r\nb", "a"),
        M("(?m)a$", "a\nb", "a"),
        N("(?m)\\r$", "a\r\nb"),
        M("(?m)\\n$", "a\n\nb", "\n", 1),
        N("^\\w+$", "cat \r\n"),
        M("(?m)^\\w+$", "cat\r\n", "cat"),
    });
}

TEST_F(PatternDialectTest, ClassEscapesAndWordBoundaries)
{
    check({
        M("\\w+", "ab_9-x", "ab_9"),
        N("\\w", "\xE9\xC4\xF1"),             // accented letters are not word characters
        M("\\W", "a\xE9", "\xE9", 1),
        M("\\d+", "a0123456789b", "0123456789", 1),
        N("\\d", "\xB2\xB3"),                 // superscript digits are not digits
        M("\\D+", "12ab3", "ab", 2),
        M("\\s+", " \t\n\r\fx", " \t\n\r\f"),
        N("\\s", "\x0B"),                     // vertical tab is not a blank
        M("\\S+", " \x0B" "a ", "\x0B" "a", 1),
        M("\\bcat\\b", "bobcat cat", "cat", 7),
        M("\\bx", "\xE9x", "x", 1),           // a boundary between an accented letter and x
        M("\\Bcat", "bobcat", "cat", 3),
        N("\\Bcat", "cat"),
        M("\\w*ing\\b", "sing \r\n", "sing"),
        M("ing\\b", "sing \r\n", "ing", 1),
        M("at\\s", "cat \r\n", "at ", 1),
    });
}

TEST_F(PatternDialectTest, WordClassIsExactlyAsciiWordCharacters)
{
    PatternMatcher matcher;
    matcher.SetPattern("\\w");
    int inClass = 0;
    for (int b = 0; b < 256; ++b) {
        size_t s = 0, n = 0;
        const bool word = (b >= '0' && b <= '9') || (b >= 'a' && b <= 'z') || (b >= 'A' && b <= 'Z') || b == '_';
        EXPECT_EQ(matcher.Exec(std::string(1, char(b)), s, n), word) << b;
        inClass += word;
    }
    EXPECT_EQ(inClass, 63);
}

TEST_F(PatternDialectTest, EscapesStandForBytes)
{
    check({
        M("\\x41\\x7a", "Az", "Az"),
        M("\\xe9", "\xE9", "\xE9"),
        X("\\x4"),
        X("\\xZZ"),
        X("\\x"),
        M("\\t\\n\\r\\f\\a\\e", "\t\n\r\f\a\x1B", "\t\n\r\f\a\x1B"),
        M("\\q", "q", "q"),                   // a backslash before any other character
        M("\\v\\h\\0", "vh0", "vh0"),
        M("a\\.b", "axb a.b", "a.b", 4),
        M("\\(\\)\\[\\]\\{\\}\\*\\+\\?\\|\\^\\$\\\\", "()[]{}*+?|^$\\", "()[]{}*+?|^$\\"),
        M("a b", "xa b", "a b", 1),           // blanks are literal
        M("}]", "}]", "}]"),
        M("#", "#", "#"),
        X("ab\\"),
    });
}

TEST_F(PatternDialectTest, QuantifiersAndGroups)
{
    check({
        M("a+?", "aaa", "a"),
        M("a*?b", "aab", "aab"),
        M("a{2,}?", "aaaa", "aa"),
        M("a{2}", "aaa", "aa"),
        M("a{2,3}", "aaaa", "aaa"),
        M("a{2,}", "aaaaa", "aaaaa"),
        M("[ab]{3}", "xabba", "abb", 1),
        M("(?-g)a+", "aaa", "a"),
        M("(ab)*", "abab", "abab"),
        M("(ab)+c", "xababc", "ababc", 1),
        M("(a|b)?c", "bc", "bc"),
        M("(a*)?b", "aab", "aab"),            // ? after a group that can be empty is fine
        M("(a|)b", "b", "b"),
        M("a|", "b", ""),
        M("(a)(b)\\2\\1", "xabba", "abba", 1),
        N("(a)\\1", "ab"),
        M("a(?#a note)b", "ab", "ab"),
        M("(?x)a b # note", "ab", "ab"),
        M("(?x)a\\ b", "a b", "a b"),
        M("(?x)[ ]", " ", " "),
        M("((?i)a)a", "AAAa", "Aa", 2),     // an option ends with its group
        M("(?i)a(?-i)a", "AAAa", "Aa", 2),
        M("(?i)ab|cd", "CD", "CD"),           // and lasts across alternatives
    });
}

TEST_F(PatternDialectTest, InvalidPatterns)
{
    check({
        X(""),
        X("(ab"),
        X("ab)"),
        X("((a)"),
        X("(ab){2}"),                         // braces after a group
        X("(ab){2,3}"),
        X("(ab)*?"),                          // lazy after a group
        X("(ab)+?"),
        X("(ab)??"),
        X("(?-g)(ab)*"),
        X("(a*)*"),                           // a repeated group that can match the empty text
        X("(a|)+"),
        X("()*"),
        X("(a?b?)+"),
        X("^*"),
        X("\\b+"),
        X("a**"),
        X("a{2}{3}"),
        X("a*+"),
        X("*a"),
        X("+"),
        X("{2}"),
        X("a|*"),
        X("a{3,2}"),
        X("a{x}"),
        X("a{"),
        X("a{2"),
        X("a{,2}"),
        X("a{70000}"),
        X("[a"),
        X("[]"),
        X("[z-a]"),
        X("[a-\\d]"),
        X("(?q)a"),
        X("(?#open"),
        X("(?i"),
        X("(?:ab)"),
        X("(a)\\2"),                          // no group 2
        X(std::string(300, '(') + "a" + std::string(300, ')')),
    });
}

TEST_F(PatternDialectTest, BracketClasses)
{
    check({
        M("[]a]", "x]", "]", 1),
        M("[^]a]+", "]bca", "bc", 1),
        M("[a-]+", "x-a-", "-a-", 1),
        M("[-a]+", "x-a", "-a", 1),
        M("[a\\-z]+", "b-az", "-az", 1),
        M("[\\]]", "]", "]"),
        M("[\\d-z]+", "a5-z", "5-z", 1),    // after a class escape, - is a hyphen
        M("[\\w.]+", "a.b c", "a.b"),
        M("[^\\s]+", "  ab ", "ab", 2),
        M("[\\x41-\\x43]+", "ABCD", "ABC"),
        M("[\\t]", " \t", "\t", 1),
        M("[\\b]", "b", "b"),                 // inside a class \b is just b
        M("[.]", "a.", ".", 1),
        M("[^a-z]", "ab1", "1", 2),
        M("[a-c]+", "xabcd", "abc", 1),
        N("[^\\x00-\\xff]", "abc"),
        N("[\xE0-\xFF]", "\xB8"),             // no Cyrillic extension outside code page 1251
        X("[\xE0-\xDF]"),
    });
}

TEST_F(PatternDialectTest, CaseFoldingByCodePage1252)
{
    check({
        M("(?i)\xC4" "b", "x\xE4" "B", "\xE4" "B", 1), // Ä folds to ä
        M("(?i)[\xE0-\xE5]", "\xC4", "\xC4"),
        M("(?i)[^a]", "Ab", "b", 1),
        M("(?i)(a\xE9)\\1", "a\xE9" "A\xC9", "a\xE9" "A\xC9"),
        N("\xC4", "\xE4"),
        N("(?i)\\w", "\xE4" "\xC4" "\xE9"),     // accented letters stay outside \w
    });
}

TEST_F(PatternDialectTest, CyrillicRangesAndCaseInCodePage1251)
{
    setenv("KEYFOLIO_CODEPAGE", "CP1251", 1);
    CodePage::reload();
    ASSERT_EQ(CodePage::current().number(), 1251);
    // а E0, я FF, ё B8, А C0, Я DF, Ё A8
    check({
        M("[\xE0-\xFF]", "\xB8", "\xB8"),                    // а-я covers ё
        N("[\xE0-\xFF]", "\xA8"),
        M("[\xC0-\xDF]", "\xA8", "\xA8"),                    // А-Я covers Ё
        N("[\xC0-\xDF]", "\xB8"),
        M("[\xE0-\xDF]+", "x\xA8\xB8\xC0\xFF\xDF\xE0y", "\xA8\xB8\xC0\xFF\xDF\xE0", 1), // а-Я: both
        N("(?-r)[\xE0-\xFF]", "\xB8"),
        X("(?-r)[\xE0-\xDF]"),
        M("(?i)\xEF\xF0\xE8\xE2\xE5\xF2", "\xCF\xD0\xC8\xC2\xC5\xD2", "\xCF\xD0\xC8\xC2\xC5\xD2"),
        M("(?i)\xB8", "\xA8", "\xA8"),                       // ё and Ё
        M("(?i)(\xE4)\\1", "\xE4\xC4", "\xE4\xC4"),         // back reference folds Cyrillic too
        N("(\xE4)\\1", "\xE4\xC4"),
        N("\\w", "\xE6\xC6"),
        M("(?i)[\xE0-\xFF]+", "\xC0\xA8\xDF", "\xC0\xA8\xDF"),
    });
}

TEST_F(PatternDialectTest, PatternsAreCompiledOncePerText)
{
    PatternMatcher matcher;
    const PatternMatcher::Compiled *first = &matcher.Compile("a+b");
    EXPECT_EQ(&matcher.Compile("a+b"), first);
    matcher.Compile("c");
    EXPECT_EQ(matcher.CacheSize(), 2u);
    EXPECT_THROW(matcher.Compile("(x"), kf::ERegExError);
    EXPECT_THROW(matcher.Compile("(x"), kf::ERegExError); // still invalid when asked again
    matcher.ClearCache();
    EXPECT_EQ(matcher.CacheSize(), 0u);
}

TEST_F(PatternDialectTest, RunawayBacktrackingFailsInsteadOfHanging)
{
    PatternMatcher matcher;
    matcher.SetPattern("(\\w+)*\\Z");
    size_t s = 0, n = 0;
    EXPECT_THROW(matcher.Exec(std::string(60, 'a') + "!", s, n), kf::ERegExError);
}

} // namespace

// Where the dialect and PCRE2's own syntax agree (literals, dot, classes, \w,
// \d, \b, ^, $ and \A without (?m), greedy and lazy quantifiers, groups,
// alternation, (?i) on ASCII), the translation must find the same leftmost
// match as PCRE2 given the original pattern with the dialect's options.
namespace {

class RandomPattern {
public:
    explicit RandomPattern(unsigned seed) : m_rng(seed) {}

    std::string make()
    {
        std::string p = pick(6) == 0 ? "(?i)" : "";
        return p + alternation(0);
    }
    std::string subject()
    {
        static const char chars[] = "abcAB _1\n\r";
        std::string s(pick(9), ' ');
        for (char &c : s)
            c = chars[pick(sizeof chars - 1)];
        return s;
    }

private:
    unsigned pick(unsigned n) { return unsigned(m_rng() % n); }

    std::string alternation(int depth)
    {
        std::string out = sequence(depth);
        while (pick(4) == 0)
            out += "|" + sequence(depth);
        return out;
    }
    std::string sequence(int depth)
    {
        std::string out;
        const unsigned n = 1 + pick(4);
        for (unsigned i = 0; i < n; ++i)
            out += piece(depth);
        return out;
    }
    std::string piece(int depth)
    {
        static const char *const singles[] = {"a", "b", "c", "A", " ", ".", "[ab]", "[^a]", "[a-c]",
                                              "\\w", "\\W", "\\d", "\\D", "[\\w ]", "_", "1"};
        static const char *const zeroWidth[] = {"\\b", "\\B", "^", "$", "\\A"};
        static const char *const quantifiers[] = {"", "", "", "*", "+", "?", "{2}", "{1,2}", "{0,}",
                                                  "*?", "+?", "??", "{1,2}?"};
        const unsigned kind = pick(10);
        if (kind < 6)
            return std::string(singles[pick(std::size(singles))]) + quantifiers[pick(std::size(quantifiers))];
        if (kind < 8)
            return zeroWidth[pick(std::size(zeroWidth))];
        if (depth >= 3)
            return "a";
        static const char *const groupQuantifiers[] = {"", "", "*", "+", "?"};
        return "(" + alternation(depth + 1) + ")" + groupQuantifiers[pick(std::size(groupQuantifiers))];
    }

    std::mt19937 m_rng;
};

struct Pcre2Code {
    explicit Pcre2Code(const std::string &pattern)
    {
        int error = 0;
        PCRE2_SIZE offset = 0;
        code = pcre2_compile(reinterpret_cast<PCRE2_SPTR>(pattern.data()), pattern.size(),
                             PCRE2_DOTALL | PCRE2_DOLLAR_ENDONLY, &error, &offset, nullptr);
        data = pcre2_match_data_create(1, nullptr);
    }
    ~Pcre2Code()
    {
        pcre2_match_data_free(data);
        pcre2_code_free(code);
    }
    bool match(const std::string &subject, size_t &start, size_t &length) const
    {
        const int rc = pcre2_match(code, reinterpret_cast<PCRE2_SPTR>(subject.data()), subject.size(), 0, 0,
                                   data, nullptr);
        if (rc < 0)
            return false;
        const PCRE2_SIZE *ov = pcre2_get_ovector_pointer(data);
        start = ov[0];
        length = ov[1] - ov[0];
        return true;
    }
    pcre2_code *code = nullptr;
    pcre2_match_data *data = nullptr;
};

TEST_F(PatternDialectTest, SharedSyntaxMatchesLikePcre2)
{
    RandomPattern gen(20261210);
    PatternMatcher matcher;
    int compared = 0;
    for (int i = 0; i < 3000; ++i) {
        const std::string pattern = gen.make();
        const PatternMatcher::Compiled *compiled = nullptr;
        try {
            compiled = &matcher.Compile(pattern);
        } catch (const kf::ERegExError &e) {
            continue; // a form the dialect forbids (braces or lazy after a group, empty repeats)
        }
        const Pcre2Code reference(pattern);
        ASSERT_NE(reference.code, nullptr) << pattern;
        for (int j = 0; j < 8; ++j) {
            const std::string subject = gen.subject();
            size_t s1 = 0, n1 = 0, s2 = 0, n2 = 0;
            const bool ours = matcher.Exec(*compiled, subject, s1, n1);
            const bool theirs = reference.match(subject, s2, n2);
            ASSERT_EQ(ours, theirs) << pattern << " on \"" << subject << "\"";
            if (ours) {
                ASSERT_EQ(s1, s2) << pattern << " on \"" << subject << "\"";
                ASSERT_EQ(n1, n2) << pattern << " on \"" << subject << "\"";
            }
            ++compared;
        }
    }
    EXPECT_GT(compared, 8000);
}

} // namespace
