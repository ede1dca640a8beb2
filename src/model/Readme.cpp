#include "model/Readme.h"
#include "common/AsciiText.h"
#include "common/CodePage.h"
#include "common/HexDigits.h"
#include "common/IntegerText.h"
#include "common/Errors.h"
#include "common/TextFile.h"

#include <cctype>
#include <cstdlib>

namespace kf {

namespace {

// The order in which the readme lists the fingers: the left hand from the
// little finger to the thumb, then the right hand from the little finger to
// the thumb.
constexpr std::array<int, kFingerCount> kWrittenOrder = {0, 1, 2, 3, 4, 9, 8, 7, 6, 5};

// How the writer spells a finger's name (two names carry other capitals than
// the reader looks them up with; names match without regard to case).
std::string writtenName(int finger)
{
    return finger == 1 ? "Lring" : kFingerKeys[size_t(finger)];
}

// Author and info text on one line: each line break becomes one space, and a
// zero byte (which would end the readme for a reader) is dropped.
std::string oneLine(std::string_view text)
{
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '\r') {
            if (i + 1 < text.size() && text[i + 1] == '\n')
                ++i;
            out += ' ';
        } else if (c == '\n') {
            out += ' ';
        } else if (c != '\0') {
            out += c;
        }
    }
    return out;
}

bool isBlank(char c)
{
    return c == ' ' || c == '\t';
}

int32_t lenientInteger(const std::vector<std::string> &lines, const std::string &name)
{
    std::string text;
    int32_t value = 0;
    if (readmeValue(lines, name, text) && parseReadmeInteger(text, value))
        return value;
    return 0;
}

} // namespace

std::string writeReadme(const PackageSettings &s)
{
    std::vector<std::string> lines;
    lines.reserve(33);
    lines.push_back("bkcolor=" + std::to_string(s.bkcolor));
    lines.push_back("author=" + oneLine(s.Author));
    lines.push_back("misc=" + oneLine(s.misc));
    for (int f : kWrittenOrder)
        lines.push_back(writtenName(f) + "=" + std::to_string(s.lengths[size_t(f)]));
    for (int f : kWrittenOrder)
        lines.push_back(writtenName(f) + "x=" + std::to_string(s.xValues[size_t(f)]));
    for (int f : kWrittenOrder)
        lines.push_back(std::string(kFingerKeys[size_t(f)]) + "Color=" + std::to_string(s.colors[size_t(f)]));
    if (!s.codePage.empty())
        lines.push_back("codepage=" + oneLine(s.codePage));
    return joinLinesCrLf(lines);
}

bool readmeValue(const std::vector<std::string> &lines, std::string_view name, std::string &value)
{
    for (const std::string &line : lines) {
        const size_t eq = line.find('=');
        if (eq == std::string::npos)
            continue;
        if (EqualsNoCaseAscii(std::string_view(line).substr(0, eq), name)) {
            value = line.substr(eq + 1);
            return true;
        }
    }
    value.clear();
    return false;
}

bool parseReadmeInteger(std::string_view text, int32_t &value)
{
    size_t b = 0, e = text.size();
    while (b < e && isBlank(text[b]))
        ++b;
    while (e > b && isBlank(text[e - 1]))
        --e;
    std::string_view t = text.substr(b, e - b);
    if (t.empty())
        return false;

    const std::string_view number = t;
    bool negative = false;
    if (t[0] == '-' || t[0] == '+') {
        negative = t[0] == '-';
        t.remove_prefix(1);
    }
    if (t.empty())
        return false;

    size_t hexStart = 0;
    if (t[0] == '$')
        hexStart = 1;
    else if (t.size() > 1 && t[0] == '0' && (t[1] == 'x' || t[1] == 'X'))
        hexStart = 2;
    if (hexStart) {
        t.remove_prefix(hexStart);
        if (t.empty() || t.size() > 8)
            return false;
        uint32_t v = 0;
        for (char c : t) {
            const int d = HexDigitValue(c);
            if (d < 0)
                return false;
            v = (v << 4) | uint32_t(d);
        }
        value = int32_t(negative ? uint32_t(0) - v : v);
        return true;
    }

    return ParseIntegerText(number, value);
}

PackageSettings readReadme(std::string_view bytes)
{
    const std::vector<std::string> lines = splitLines(bytes);
    PackageSettings s;
    std::string text;
    if (!readmeValue(lines, "bkcolor", text))
        throw EConvertError("readme: no bkcolor= line");
    if (!parseReadmeInteger(text, s.bkcolor))
        throw EConvertError("readme: bkcolor is not an integer");
    readmeValue(lines, "Author", s.Author);
    readmeValue(lines, "misc", s.misc);
    for (size_t f = 0; f < size_t(kFingerCount); ++f) {
        const std::string name = kFingerKeys[f];
        s.lengths[f] = lenientInteger(lines, name);
        s.xValues[f] = lenientInteger(lines, name + "x");
        s.colors[f] = lenientInteger(lines, name + "Color");
    }
    if (readmeValue(lines, "codepage", text))
        s.codePage = checkedCodePageName(text, "readme");
    return s;
}

std::string checkedCodePageName(std::string_view name, std::string_view where)
{
    size_t b = 0, e = name.size();
    while (b < e && isBlank(name[b]))
        ++b;
    while (e > b && isBlank(name[e - 1]))
        --e;
    const std::string_view trimmed = name.substr(b, e - b);
    if (trimmed.empty())
        return std::string();
    // Code pages are named by letters, digits, '-' and '_': anything else is
    // no code page (and never reaches iconv).
    bool plain = trimmed.size() <= 32;
    for (const char c : trimmed)
        plain = plain && (std::isalnum(static_cast<unsigned char>(c)) || c == '-' || c == '_');
    if (plain) {
        std::string upper(trimmed);
        for (char &c : upper)
            c = char(std::toupper(static_cast<unsigned char>(c)));
        try {
            const CodePage cp(upper);
            // An 8-bit code page gives characters to bytes above 127; a
            // multi-byte encoding such as UTF-8 gives none.
            for (int b = 0x80; b < 0x100; ++b)
                if (cp.defined(uint8_t(b)))
                    return cp.name();
        } catch (const Exception &) {
        }
    }
    std::string shown(trimmed.substr(0, 32));
    for (char &c : shown)
        if (c < 0x20 || c > 0x7E)
            c = '?';
    throw EConvertError(std::string(where) + ": the code page \"" + shown + "\" is not known");
}

} // namespace kf
