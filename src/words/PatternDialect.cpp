#include "words/PatternDialect.h"
#include "common/Errors.h"
#include "common/HexDigits.h"

#include <array>
#include <bitset>

namespace kf {

namespace {

using ByteSet = std::bitset<256>;

// Inline option letters and their defaults.
struct Options {
    bool i = false; // case-insensitive
    bool m = false; // multi-line anchors
    bool s = true;  // dot matches CR and LF
    bool g = true;  // greedy quantifiers
    bool x = false; // extended: blanks and #-comments ignored
    bool r = true;  // Cyrillic ranges
};

// What an atom is, for the quantifier rules: single-character items take any
// quantifier; groups and zero-width items take only greedy *, + and ?, and * and
// + only when they cannot match the empty text; option groups and comments
// take none.
enum class Kind { Single, Group, ZeroWidth, Nothing };

struct Atom {
    Kind kind;
    std::string out;
    bool nullable;
};

struct Sequence {
    std::string out;
    bool nullable;
};

ByteSet rangeSet(int lo, int hi)
{
    ByteSet s;
    for (int b = lo; b <= hi; ++b)
        s.set(size_t(b));
    return s;
}

ByteSet wordSet()
{
    return rangeSet('0', '9') | rangeSet('A', 'Z') | rangeSet('a', 'z') | rangeSet('_', '_');
}

ByteSet spaceSet()
{
    ByteSet s;
    for (int b : {' ', '\t', '\n', '\r', '\f'})
        s.set(size_t(b));
    return s;
}

ByteSet digitSet()
{
    return rangeSet('0', '9');
}

std::string hexByte(uint8_t b)
{
    return "\\x{" + HexByte(b) + "}";
}

// One byte as a PCRE2 literal: letters and digits as they are, the rest escaped.
std::string literalByte(uint8_t b)
{
    if ((b >= '0' && b <= '9') || (b >= 'a' && b <= 'z') || (b >= 'A' && b <= 'Z'))
        return std::string(1, char(b));
    return hexByte(b);
}

std::string classOf(const ByteSet &set)
{
    if (set.none())
        return "[^\\x{00}-\\x{ff}]";
    if (set.all())
        return "[\\x{00}-\\x{ff}]";
    std::string out = "[";
    int b = 0;
    while (b < 256) {
        if (!set.test(size_t(b))) {
            ++b;
            continue;
        }
        int e = b;
        while (e + 1 < 256 && set.test(size_t(e + 1)))
            ++e;
        out += hexByte(uint8_t(b));
        if (e > b)
            out += (e > b + 1 ? "-" : "") + hexByte(uint8_t(e));
        b = e + 1;
    }
    out += "]";
    return out;
}

const char *const kWordClass = "[0-9A-Za-z_]";

class Translator {
public:
    Translator(std::string_view pattern, const CodePage &cp) : m_p(pattern), m_cp(cp)
    {
        // Bytes that fold to the same lower-case byte are one case class.
        for (int b = 0; b < 256; ++b)
            m_caseClass[size_t(cp.lower(uint8_t(b)))].set(size_t(b));
    }

    std::string run()
    {
        if (m_p.empty())
            fail("empty pattern");
        Sequence s = alternation();
        if (!atEnd()) // only a ')' stops the top level early
            fail("unbalanced parenthesis");
        return s.out;
    }

private:
    [[noreturn]] void fail(const std::string &why) const
    {
        throw ERegExError(why + " at offset " + std::to_string(m_pos));
    }

    bool atEnd() const { return m_pos >= m_p.size(); }
    char peek() const { return m_p[m_pos]; }
    char get() { return m_p[m_pos++]; }

    // Blanks and #-comments in extended mode.
    void skipExtended()
    {
        while (m_opt.x && !atEnd()) {
            const char c = peek();
            if (c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v') {
                ++m_pos;
            } else if (c == '#') {
                while (!atEnd() && peek() != '\n' && peek() != '\r')
                    ++m_pos;
            } else {
                break;
            }
        }
    }

    ByteSet caseClosure(const ByteSet &set) const
    {
        ByteSet out = set;
        for (int b = 0; b < 256; ++b)
            if (set.test(size_t(b)))
                out |= m_caseClass[m_cp.lower(uint8_t(b))];
        return out;
    }

    Atom literal(uint8_t b) const
    {
        if (m_opt.i) {
            const ByteSet &cls = m_caseClass[m_cp.lower(b)];
            if (cls.count() > 1)
                return {Kind::Single, classOf(cls), false};
        }
        return {Kind::Single, literalByte(b), false};
    }

    Sequence alternation()
    {
        Sequence all{{}, false};
        bool first = true;
        for (;;) {
            Sequence branch = sequence();
            if (!first)
                all.out += '|';
            all.out += branch.out;
            all.nullable = first ? branch.nullable : (all.nullable || branch.nullable);
            first = false;
            if (atEnd() || peek() != '|')
                return all;
            ++m_pos;
        }
    }

    Sequence sequence()
    {
        Sequence seq{{}, true};
        for (;;) {
            skipExtended();
            if (atEnd() || peek() == '|' || peek() == ')')
                return seq;
            Atom a = piece();
            seq.out += a.out;
            seq.nullable = seq.nullable && a.nullable;
        }
    }

    static bool isQuantifier(char c) { return c == '*' || c == '+' || c == '?' || c == '{'; }

    int number()
    {
        if (atEnd() || peek() < '0' || peek() > '9')
            fail("incorrect braces");
        long v = 0;
        while (!atEnd() && peek() >= '0' && peek() <= '9') {
            v = v * 10 + (get() - '0');
            if (v > PatternDialect::kMaxRepeat)
                fail("repeat count too large");
        }
        return int(v);
    }

    Atom piece()
    {
        Atom a = atom();
        skipExtended();
        if (atEnd() || !isQuantifier(peek()))
            return a;
        if (a.kind == Kind::Nothing)
            fail("quantifier follows nothing");

        const size_t at = m_pos;
        const char q = get();
        int minCount = 0;
        std::string text(1, q);
        bool braces = false;
        if (q == '+') {
            minCount = 1;
        } else if (q == '{') {
            braces = true;
            minCount = number();
            text = "{" + std::to_string(minCount);
            if (!atEnd() && peek() == ',') {
                ++m_pos;
                text += ',';
                if (!atEnd() && peek() != '}') {
                    const int maxCount = number();
                    if (maxCount < minCount)
                        fail("incorrect braces");
                    text += std::to_string(maxCount);
                }
            }
            if (atEnd() || get() != '}')
                fail("incorrect braces");
            text += '}';
        }
        bool lazy = false;
        if (!atEnd() && peek() == '?') {
            ++m_pos;
            lazy = true;
        }
        if (!m_opt.g)
            lazy = true;
        skipExtended();
        if (!atEnd() && isQuantifier(peek()))
            fail("nested quantifier");

        if (a.kind != Kind::Single) {
            const char *why = braces ? "braces after a group"
                : lazy               ? "lazy quantifier after a group"
                : (q != '?' && a.nullable) ? "repeated group can match the empty text"
                                           : nullptr;
            if (why) {
                m_pos = at;
                fail(why);
            }
        }
        Atom out{a.kind, {}, minCount == 0 || a.nullable};
        if (a.kind == Kind::ZeroWidth)
            out.out = "(?:" + a.out + ")" + text;
        else
            out.out = a.out + text + (lazy ? "?" : "");
        return out;
    }

    void optionGroup()
    {
        // after "(?"
        bool on = true;
        for (;;) {
            if (atEnd())
                fail("unterminated option group");
            const char c = get();
            if (c == ')')
                return;
            if (c == '-') {
                on = false;
                continue;
            }
            switch (c) {
            case 'i': case 'I': m_opt.i = on; break;
            case 'm': case 'M': m_opt.m = on; break;
            case 's': case 'S': m_opt.s = on; break;
            case 'g': case 'G': m_opt.g = on; break;
            case 'x': case 'X': m_opt.x = on; break;
            case 'r': case 'R': m_opt.r = on; break;
            default: --m_pos; fail("unknown option in (?...)");
            }
        }
    }

    Atom atom()
    {
        const char c = get();
        switch (c) {
        case '(': {
            if (!atEnd() && peek() == '?') {
                ++m_pos;
                if (!atEnd() && peek() == '#') {
                    while (!atEnd() && peek() != ')')
                        ++m_pos;
                    if (atEnd())
                        fail("unterminated comment");
                    ++m_pos;
                } else {
                    optionGroup();
                }
                return {Kind::Nothing, {}, true};
            }
            if (++m_depth > PatternDialect::kMaxNesting)
                fail("parentheses nested too deeply");
            const Options saved = m_opt;
            Sequence inner = alternation();
            if (atEnd())
                fail("unbalanced parenthesis");
            ++m_pos; // ')'
            m_opt = saved;
            --m_depth;
            return {Kind::Group, "(" + inner.out + ")", inner.nullable};
        }
        case '[':
            return {Kind::Single, bracketClass(), false};
        case '.':
            return {Kind::Single, m_opt.s ? "." : "[^\\x{0a}\\x{0d}]", false};
        case '^':
            // With (?m), also after a line break, but not between CR and LF.
            return {Kind::ZeroWidth,
                    m_opt.m ? "(?:\\A|(?<=\\x{0a})|(?<=\\x{0d})(?!\\x{0a}))" : "\\A", true};
        case '$':
            // With (?m), also before a line break, but not between CR and LF.
            return {Kind::ZeroWidth,
                    m_opt.m ? "(?:\\z|(?=\\x{0d})|(?<!\\x{0d})(?=\\x{0a}))" : "\\z", true};
        case '*':
        case '+':
        case '?':
        case '{':
            --m_pos;
            fail("quantifier follows nothing");
        case '\\':
            return escape();
        default:
            return literal(uint8_t(c));
        }
    }

    // An escape that stands for one byte (\t, \x41, \.), or -1 for none.
    int byteEscape(char c)
    {
        switch (c) {
        case 't': return '\t';
        case 'n': return '\n';
        case 'r': return '\r';
        case 'f': return '\f';
        case 'a': return '\a';
        case 'e': return 0x1B;
        case 'x': {
            if (m_pos + 2 > m_p.size())
                fail("\\x needs two hex digits");
            const int hi = HexDigitValue(m_p[m_pos]);
            const int lo = HexDigitValue(m_p[m_pos + 1]);
            if (hi < 0 || lo < 0)
                fail("\\x needs two hex digits");
            m_pos += 2;
            return hi * 16 + lo;
        }
        default:
            return -1;
        }
    }

    // \d \w \s and their negations; false for other letters.
    static bool classEscape(char c, ByteSet &set)
    {
        switch (c) {
        case 'd': set = digitSet(); return true;
        case 'D': set = ~digitSet(); return true;
        case 'w': set = wordSet(); return true;
        case 'W': set = ~wordSet(); return true;
        case 's': set = spaceSet(); return true;
        case 'S': set = ~spaceSet(); return true;
        default: return false;
        }
    }

    Atom escape()
    {
        if (atEnd())
            fail("trailing backslash");
        const char c = get();
        ByteSet set;
        if (classEscape(c, set))
            return {Kind::Single, classOf(set), false};
        switch (c) {
        case 'b':
            return {Kind::ZeroWidth,
                    std::string("(?:(?<=") + kWordClass + ")(?!" + kWordClass + ")|(?<!" + kWordClass +
                        ")(?=" + kWordClass + "))",
                    true};
        case 'B':
            return {Kind::ZeroWidth,
                    std::string("(?:(?<=") + kWordClass + ")(?=" + kWordClass + ")|(?<!" + kWordClass +
                        ")(?!" + kWordClass + "))",
                    true};
        case 'A':
            return {Kind::ZeroWidth, "\\A", true};
        case 'Z':
            return {Kind::ZeroWidth, "\\z", true};
        default:
            break;
        }
        if (c >= '1' && c <= '9') {
            const std::string ref = std::string("\\g{") + c + "}";
            return {Kind::Single, m_opt.i ? "(?i:" + ref + ")" : ref, false};
        }
        const int b = byteEscape(c);
        return literal(uint8_t(b >= 0 ? b : static_cast<unsigned char>(c)));
    }

    // One element of a bracket class: a byte (returns it) or a class escape
    // (returns -1 and fills set).
    int classElement(ByteSet &set)
    {
        const char c = get();
        if (c != '\\')
            return static_cast<unsigned char>(c);
        if (atEnd())
            fail("trailing backslash");
        const char e = get();
        if (classEscape(e, set))
            return -1;
        const int b = byteEscape(e);
        return b >= 0 ? b : static_cast<unsigned char>(e);
    }

    void addRange(ByteSet &set, int lo, int hi) const
    {
        if (m_opt.r && m_cp.number() == 1251) {
            // а=E0 я=FF ё=B8, А=C0 Я=DF Ё=A8
            if (lo == 0xE0 && hi == 0xFF) {
                set |= rangeSet(0xE0, 0xFF);
                set.set(0xB8);
                return;
            }
            if (lo == 0xC0 && hi == 0xDF) {
                set |= rangeSet(0xC0, 0xDF);
                set.set(0xA8);
                return;
            }
            if (lo == 0xE0 && hi == 0xDF) {
                set |= rangeSet(0xC0, 0xFF);
                set.set(0xA8);
                set.set(0xB8);
                return;
            }
        }
        if (lo > hi)
            fail("invalid range in []");
        set |= rangeSet(lo, hi);
    }

    std::string bracketClass()
    {
        ByteSet set;
        bool negate = false;
        if (!atEnd() && peek() == '^') {
            negate = true;
            ++m_pos;
        }
        bool first = true;
        for (;;) {
            if (atEnd())
                fail("unterminated []");
            if (peek() == ']' && !first) {
                ++m_pos;
                break;
            }
            first = false;
            ByteSet escaped;
            const int lo = classElement(escaped);
            if (lo < 0) {
                set |= escaped;
                continue;
            }
            if (m_pos + 1 < m_p.size() && peek() == '-' && m_p[m_pos + 1] != ']') {
                ++m_pos;
                const int hi = classElement(escaped);
                if (hi < 0)
                    fail("invalid range in []");
                addRange(set, lo, hi);
            } else {
                set.set(size_t(lo));
            }
        }
        if (m_opt.i)
            set = caseClosure(set);
        if (negate)
            set = ~set;
        return classOf(set);
    }

    std::string_view m_p;
    const CodePage &m_cp;
    size_t m_pos = 0;
    int m_depth = 0;
    Options m_opt;
    std::array<ByteSet, 256> m_caseClass{};
};

} // namespace

std::string PatternDialect::toPcre2(std::string_view pattern, const CodePage &codePage)
{
    return Translator(pattern, codePage).run();
}

} // namespace kf
