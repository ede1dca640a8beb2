#include "model/RtfWriter.h"
#include "common/CodePage.h"
#include "common/HexDigits.h"

#include <cmath>

namespace kf {

namespace {

// The font charset number RTF expects for a Windows code page.
int charsetFor(int codePage)
{
    switch (codePage) {
    case 1250: return 238;
    case 1251: return 204;
    case 1253: return 161;
    case 1254: return 162;
    case 1255: return 177;
    case 1256: return 178;
    case 1257: return 186;
    case 1258: return 163;
    case 874: return 222;
    default: return 0;
    }
}

void appendEscapedByte(std::string &out, uint8_t b)
{
    if (b == '\\' || b == '{' || b == '}') {
        out += '\\';
        out += char(b);
    } else if (b >= 0x20 && b < 0x80) {
        out += char(b);
    } else {
        out += "\\'";
        out += HexByte(b);
    }
}

} // namespace

std::string WriteRtf(const QString &text, const RtfFont &font, const CodePage &codePage)
{
    const int cp = codePage.number() > 0 ? codePage.number() : 1252;
    std::string out;
    out.reserve(size_t(text.size()) * 2 + 256);
    out += "{\\rtf1\\ansi\\ansicpg" + std::to_string(cp) + "\\deff0\\uc1";
    out += "{\\fonttbl{\\f0\\fmodern\\fcharset" + std::to_string(charsetFor(cp)) + " ";
    const std::string family = codePage.encode(font.family);
    for (char c : family)
        appendEscapedByte(out, uint8_t(c));
    out += ";}}\r\n";
    const int halfPoints = std::max(2, int(std::lround(font.pointSize * 2)));
    out += "\\viewkind4\\pard\\plain\\f0\\fs" + std::to_string(halfPoints);
    if (font.bold)
        out += "\\b";
    if (font.italic)
        out += "\\i";
    out += ' ';

    const qsizetype n = text.size();
    for (qsizetype i = 0; i < n; ++i) {
        const QChar ch = text.at(i);
        const char16_t u = ch.unicode();
        if (u == '\r') {
            if (i + 1 < n && text.at(i + 1) == QLatin1Char('\n'))
                ++i;
            out += "\\par\r\n";
            continue;
        }
        if (u == '\n' || u == 0x2029 || u == 0x2028) {
            out += "\\par\r\n";
            continue;
        }
        if (u == '\t') {
            out += "\\tab ";
            continue;
        }
        uint8_t b;
        if (u < 0x80) {
            appendEscapedByte(out, uint8_t(u));
        } else if (codePage.fromUnicode(u, b) && b >= 0xA0) {
            appendEscapedByte(out, b);
        } else if (codePage.fromUnicode(u, b) && codePage.toUnicode(b) != char16_t(b)) {
            appendEscapedByte(out, b); // a defined character in 0x80..0x9F
        } else {
            // Not in the code page: a Unicode escape with '?' for readers without \u.
            out += "\\u" + std::to_string(int16_t(u)) + "?";
        }
    }
    out += "}\r\n";
    return out;
}

} // namespace kf
