#include "common/CodePageDecoder.h"
#include "common/AsciiText.h"
#include "common/Errors.h"
#include "common/TextFile.h"
#include "common/Translation.h"

#include <algorithm>
#include <cstring>
#include <initializer_list>

namespace kf {

namespace {

constexpr uint64_t kHighBits = 0x8080808080808080ull;
constexpr uint64_t kOnes = 0x0101010101010101ull;

// Whether one of the eight bytes is 0 (exact as a yes/no answer).
inline uint64_t zeroByteIn(uint64_t v)
{
    return (v - kOnes) & ~v & kHighBits;
}

// One UTF-8 sequence at p: its length (and the character), 0 when the bytes
// before end are a valid but incomplete start, -1 when it is malformed
// (overlong forms, surrogates and characters above U+10FFFF included).
int utf8Sequence(const uint8_t *p, const uint8_t *end, char32_t &ch)
{
    const uint8_t b = p[0];
    if (b < 0x80) {
        ch = b;
        return 1;
    }
    int len;
    uint8_t lo = 0x80, hi = 0xBF;
    if (b >= 0xC2 && b <= 0xDF) {
        len = 2;
        ch = b & 0x1F;
    } else if (b >= 0xE0 && b <= 0xEF) {
        len = 3;
        ch = b & 0x0F;
        if (b == 0xE0)
            lo = 0xA0;
        else if (b == 0xED)
            hi = 0x9F;
    } else if (b >= 0xF0 && b <= 0xF4) {
        len = 4;
        ch = b & 0x07;
        if (b == 0xF0)
            lo = 0x90;
        else if (b == 0xF4)
            hi = 0x8F;
    } else {
        return -1;
    }
    for (int i = 1; i < len; ++i) {
        if (p + i >= end)
            return 0;
        const uint8_t c = p[i];
        if (c < lo || c > hi)
            return -1;
        lo = 0x80;
        hi = 0xBF;
        ch = (ch << 6) | (c & 0x3F);
    }
    return len;
}

// The fast path of both UTF-8 readers: ASCII other than NUL (when ascii is
// set) and two-byte sequences (Latin, Greek, Cyrillic, Hebrew, Arabic), one
// character at a time while at least two bytes remain, each handed to
// take(ch). Stops after a blank (the caller goes back to its eight-byte
// steps) and before anything else; returns where it stopped.
template <class Emit>
inline const uint8_t *twoByteRun(const uint8_t *p, const uint8_t *end, bool ascii, Emit &&take)
{
    while (end - p >= 2) {
        const uint8_t b = *p;
        if (b < 0x80 && ascii && b != 0) {
            take(char32_t(b));
            ++p;
            if (b == ' ')
                break;
            continue;
        }
        if (uint8_t(b - 0xC2) > 0xDF - 0xC2 || (p[1] & 0xC0) != 0x80)
            break;
        take((char32_t(b & 0x1F) << 6) | (p[1] & 0x3F));
        p += 2;
    }
    return p;
}

inline uint16_t unitAt(const uint8_t *p, bool bigEndian)
{
    return bigEndian ? uint16_t((p[0] << 8) | p[1]) : uint16_t(p[0] | (p[1] << 8));
}

// One UTF-16 character at p: its length in bytes (2 or 4), 0 when
// incomplete, -1 for a lone surrogate.
int utf16Sequence(const uint8_t *p, const uint8_t *end, bool bigEndian, char32_t &ch)
{
    if (end - p < 2)
        return 0;
    const uint16_t u = unitAt(p, bigEndian);
    if (u < 0xD800 || u > 0xDFFF) {
        ch = u;
        return 2;
    }
    if (u > 0xDBFF)
        return -1;
    if (end - p < 4)
        return 0;
    const uint16_t v = unitAt(p + 2, bigEndian);
    if (v < 0xDC00 || v > 0xDFFF)
        return -1;
    ch = 0x10000 + ((char32_t(u) - 0xD800) << 10) + (char32_t(v) - 0xDC00);
    return 4;
}

} // namespace

const char *InputEncodingName(InputEncoding encoding)
{
    switch (encoding) {
    case InputEncoding::Auto: return "auto";
    case InputEncoding::CodePage: return "codepage";
    case InputEncoding::Utf8: return "utf-8";
    case InputEncoding::Utf16LE: return "utf-16le";
    case InputEncoding::Utf16BE: return "utf-16be";
    }
    return "auto";
}

bool ParseInputEncoding(std::string_view name, InputEncoding &encoding)
{
    static const struct {
        const char *name;
        InputEncoding encoding;
    } names[] = {
        {"auto", InputEncoding::Auto},       {"codepage", InputEncoding::CodePage},
        {"utf-8", InputEncoding::Utf8},      {"utf8", InputEncoding::Utf8},
        {"utf-16le", InputEncoding::Utf16LE}, {"utf16le", InputEncoding::Utf16LE},
        {"utf-16be", InputEncoding::Utf16BE}, {"utf16be", InputEncoding::Utf16BE},
    };
    for (const auto &n : names) {
        if (EqualsNoCaseAscii(name, n.name)) {
            encoding = n.encoding;
            return true;
        }
    }
    return false;
}

ByteOrderMark DetectByteOrderMark(std::string_view head)
{
    if (head.size() >= 3 && head.compare(0, 3, "\xEF\xBB\xBF") == 0)
        return {InputEncoding::Utf8, 3};
    if (head.size() >= 2 && head.compare(0, 2, "\xFF\xFE") == 0)
        return {InputEncoding::Utf16LE, 2};
    if (head.size() >= 2 && head.compare(0, 2, "\xFE\xFF") == 0)
        return {InputEncoding::Utf16BE, 2};
    return {};
}

bool Utf8Validator::feed(std::string_view block)
{
    if (m_malformed || m_ended)
        return !m_malformed;
    const auto *p = reinterpret_cast<const uint8_t *>(block.data());
    const uint8_t *const start = p;
    const uint8_t *const end = p + block.size();
    auto failAt = [&](uint64_t at) {
        m_malformed = true;
        m_errorOffset = at;
        m_offset += block.size();
        return false;
    };
    while (p < end) {
        if (m_need == 0) {
            while (end - p >= 8) {
                uint64_t v;
                std::memcpy(&v, p, 8);
                if ((v & kHighBits) | zeroByteIn(v))
                    break;
                p += 8;
            }
            if (p == end)
                break;
            const uint8_t b = *p;
            if (b < 0x80) {
                if (b == 0) {
                    m_ended = true;
                    m_offset += block.size();
                    return true;
                }
                ++p;
                continue;
            }
            // Whole sequences at once while the block holds them: runs of
            // two-byte sequences and ASCII in the tight loop.
            if (b >= 0xC2 && b <= 0xDF && end - p >= 2 && (p[1] & 0xC0) == 0x80) {
                m_multiByte = true;
                p = twoByteRun(p, end, true, [](char32_t) {});
                continue;
            }
            if (end - p >= 4) {
                char32_t ch;
                const int len = utf8Sequence(p, end, ch);
                if (len < 0)
                    return failAt(m_offset + uint64_t(p - start));
                m_multiByte = true;
                p += len;
                continue;
            }
            m_seqStart = m_offset + uint64_t(p - start);
            m_lo = 0x80;
            m_hi = 0xBF;
            if (b >= 0xC2 && b <= 0xDF) {
                m_need = 1;
            } else if (b >= 0xE0 && b <= 0xEF) {
                m_need = 2;
                if (b == 0xE0)
                    m_lo = 0xA0;
                else if (b == 0xED)
                    m_hi = 0x9F;
            } else if (b >= 0xF0 && b <= 0xF4) {
                m_need = 3;
                if (b == 0xF0)
                    m_lo = 0x90;
                else if (b == 0xF4)
                    m_hi = 0x8F;
            } else {
                return failAt(m_seqStart);
            }
            m_multiByte = true;
            ++p;
            continue;
        }
        const uint8_t c = *p;
        if (c < m_lo || c > m_hi)
            return failAt(m_seqStart);
        m_lo = 0x80;
        m_hi = 0xBF;
        --m_need;
        ++p;
    }
    m_offset += block.size();
    return true;
}

bool Utf8Validator::finish()
{
    if (!m_malformed && !m_ended && m_need != 0) {
        m_malformed = true;
        m_errorOffset = m_seqStart;
    }
    return !m_malformed;
}

CodePageDecoder::CodePageDecoder(const CodePage &codePage, InputEncoding encoding, uint8_t placeholder)
    : m_encoding(encoding), m_placeholder(placeholder)
{
    m_low.fill(kNoByte);
    m_pages.emplace_back();
    m_pages[0].fill(kNoByte);
    // From the highest byte down, so that a character two bytes share gets
    // the lower one (as CodePage::fromUnicode gives).
    // A byte the code page leaves undefined stands for no character.
    for (int b = 255; b >= 0; --b) {
        if (!codePage.defined(uint8_t(b)))
            continue;
        const char16_t u = codePage.toUnicode(uint8_t(b));
        if (u < 0x800) {
            m_low[u] = uint16_t(b);
            continue;
        }
        const size_t high = u >> 8;
        if (m_pageOf[high] == 0) {
            m_pageOf[high] = uint8_t(m_pages.size());
            m_pages.emplace_back();
            m_pages.back().fill(kNoByte);
        }
        m_pages[m_pageOf[high]][u & 0xFF] = uint16_t(b);
    }
    m_asciiSame = true;
    for (char16_t c = 0; c < 0x80; ++c)
        m_asciiSame = m_asciiSame && m_low[c] == c;
}

int CodePageDecoder::byteFor(char32_t c) const
{
    uint16_t v = kNoByte;
    if (c < 0x800)
        v = m_low[c];
    else if (c < 0x10000)
        v = m_pages[m_pageOf[c >> 8]][c & 0xFF];
    return v == kNoByte ? -1 : int(v);
}

CodePageDecoder::Status CodePageDecoder::fail(uint64_t at)
{
    m_status = Malformed;
    m_errorOffset = at;
    return m_status;
}

CodePageDecoder::Status CodePageDecoder::decode(std::string_view block, std::string &out,
                                                std::vector<UnmappedChar> &unmapped)
{
    if (m_status != Ok || block.empty())
        return m_status;
    const auto *p = reinterpret_cast<const uint8_t *>(block.data());
    const uint8_t *const end = p + block.size();
    const uint64_t blockStart = m_offset;
    m_offset += block.size();
    if (m_encoding == InputEncoding::CodePage || m_encoding == InputEncoding::Auto) {
        const size_t nul = block.find('\0');
        out.append(block.substr(0, nul));
        if (nul != std::string_view::npos)
            m_status = EndOfText;
        return m_status;
    }
    const bool utf8 = m_encoding == InputEncoding::Utf8;
    const bool bigEndian = m_encoding == InputEncoding::Utf16BE;
    if (m_carryLen) {
        // Complete the sequence the previous block cut.
        uint8_t tmp[8];
        std::memcpy(tmp, m_carry, m_carryLen);
        const size_t take = std::min(block.size(), sizeof m_carry - m_carryLen);
        std::memcpy(tmp + m_carryLen, p, take);
        const size_t have = m_carryLen + take;
        char32_t ch = 0;
        const int len = utf8 ? utf8Sequence(tmp, tmp + have, ch)
                             : utf16Sequence(tmp, tmp + have, bigEndian, ch);
        if (len < 0)
            return fail(blockStart - m_carryLen);
        if (len == 0) {
            std::memcpy(m_carry, tmp, have);
            m_carryLen = have;
            return m_status;
        }
        if (ch == 0) {
            m_status = EndOfText;
            return m_status;
        }
        const size_t used = size_t(len) - m_carryLen;
        m_carryLen = 0;
        const int b = byteFor(ch);
        if (b < 0) {
            unmapped.push_back({out.size(), ch});
            out.push_back(char(m_placeholder));
        } else {
            out.push_back(char(b));
        }
        p += used;
    }
    return utf8 ? decodeUtf8(p, end, out, unmapped) : decodeUtf16(p, end, out, unmapped);
}

CodePageDecoder::Status CodePageDecoder::decodeUtf8(const uint8_t *p, const uint8_t *end, std::string &out,
                                                    std::vector<UnmappedChar> &unmapped)
{
    const uint64_t endOffset = m_offset; // the offset just past end
    const size_t base = out.size();
    out.resize(base + size_t(end - p));
    char *const first = out.data();
    char *o = first + base;
    Status status = Ok;
    // Locals: stores through a char pointer could otherwise make every member
    // be read anew on each character.
    const bool asciiSame = m_asciiSame;
    const uint16_t *const low = m_low.data();
    const uint8_t placeholder = m_placeholder;
    while (p < end) {
        // ASCII without NUL, eight bytes at a time.
        while (asciiSame && end - p >= 8) {
            uint64_t v;
            std::memcpy(&v, p, 8);
            if ((v & kHighBits) | zeroByteIn(v))
                break;
            std::memcpy(o, &v, 8);
            p += 8;
            o += 8;
        }
        // Then character by character while they are ASCII or two bytes long
        // (one table read each), back to the eight-byte steps after a blank.
        p = twoByteRun(p, end, asciiSame, [&](char32_t ch) {
            if (ch < 0x80) {
                *o++ = char(ch);
                return;
            }
            uint16_t v = low[ch];
            if (v == kNoByte) {
                unmapped.push_back({size_t(o - first), ch});
                v = placeholder;
            }
            *o++ = char(v);
        });
        if (p == end)
            break;
        const uint8_t b = *p;
        if (b == 0) {
            status = EndOfText;
            break;
        }
        if (b < 0x80 && asciiSame) {
            *o++ = char(b);
            ++p;
            continue;
        }
        char32_t ch = 0;
        const int len = utf8Sequence(p, end, ch);
        if (len < 0) {
            out.resize(size_t(o - first));
            return fail(endOffset - uint64_t(end - p));
        }
        if (len == 0) {
            m_carryLen = size_t(end - p);
            std::memcpy(m_carry, p, m_carryLen);
            break;
        }
        uint16_t v = ch < 0x800 ? low[ch] : ch < 0x10000 ? m_pages[m_pageOf[ch >> 8]][ch & 0xFF] : kNoByte;
        if (v == kNoByte) {
            unmapped.push_back({size_t(o - first), ch});
            v = placeholder;
        }
        *o++ = char(v);
        p += len;
    }
    out.resize(size_t(o - first));
    m_status = status;
    return status;
}

CodePageDecoder::Status CodePageDecoder::decodeUtf16(const uint8_t *p, const uint8_t *end,
                                                     std::string &out, std::vector<UnmappedChar> &unmapped)
{
    const uint64_t endOffset = m_offset;
    const bool bigEndian = m_encoding == InputEncoding::Utf16BE;
    const size_t base = out.size();
    out.resize(base + size_t(end - p) / 2 + 1);
    char *const first = out.data();
    char *o = first + base;
    // Four ASCII units without NUL: in each 16-bit lane the high byte is 0
    // and the low byte is 1 to 0x7F.
    const uint64_t nonAscii = bigEndian ? 0x80FF80FF80FF80FFull : 0xFF80FF80FF80FF80ull;
    const unsigned shift = bigEndian ? 8 : 0;
    Status status = Ok;
    while (end - p >= 2) {
        while (m_asciiSame && end - p >= 8) {
            uint64_t v;
            std::memcpy(&v, p, 8);
            if (v & nonAscii)
                break;
            const uint64_t lanes = (v >> shift) & 0x00FF00FF00FF00FFull;
            if ((lanes - 0x0001000100010001ull) & ~lanes & 0x8000800080008000ull)
                break; // a NUL among them
            o[0] = char(lanes);
            o[1] = char(lanes >> 16);
            o[2] = char(lanes >> 32);
            o[3] = char(lanes >> 48);
            o += 4;
            p += 8;
        }
        char32_t ch = 0;
        const int len = utf16Sequence(p, end, bigEndian, ch);
        if (len < 0) {
            out.resize(size_t(o - first));
            return fail(endOffset - uint64_t(end - p));
        }
        if (len == 0)
            break;
        if (ch == 0) {
            status = EndOfText;
            break;
        }
        uint16_t v = ch < 0x800 ? m_low[ch] : ch < 0x10000 ? m_pages[m_pageOf[ch >> 8]][ch & 0xFF] : kNoByte;
        if (v == kNoByte) {
            unmapped.push_back({size_t(o - first), ch});
            v = m_placeholder;
        }
        *o++ = char(v);
        p += len;
    }
    if (status == Ok && p < end) {
        m_carryLen = size_t(end - p);
        std::memcpy(m_carry, p, m_carryLen);
    }
    out.resize(size_t(o - first));
    m_status = status;
    return status;
}

CodePageDecoder::Status CodePageDecoder::finish()
{
    if (m_status == Ok && m_carryLen)
        return fail(m_offset - m_carryLen);
    return m_status;
}

void AppendUtf8(std::string &out, char32_t c)
{
    if (c < 0x80) {
        out.push_back(char(c));
    } else if (c < 0x800) {
        out.push_back(char(0xC0 | (c >> 6)));
        out.push_back(char(0x80 | (c & 0x3F)));
    } else if (c < 0x10000) {
        out.push_back(char(0xE0 | (c >> 12)));
        out.push_back(char(0x80 | ((c >> 6) & 0x3F)));
        out.push_back(char(0x80 | (c & 0x3F)));
    } else {
        out.push_back(char(0xF0 | (c >> 18)));
        out.push_back(char(0x80 | ((c >> 12) & 0x3F)));
        out.push_back(char(0x80 | ((c >> 6) & 0x3F)));
        out.push_back(char(0x80 | (c & 0x3F)));
    }
}

InputEncoding DetectEncoding(std::string_view bytes)
{
    const ByteOrderMark bom = DetectByteOrderMark(bytes);
    if (bom.encoding != InputEncoding::Auto)
        return bom.encoding;
    Utf8Validator check;
    check.feed(bytes);
    check.finish();
    return check.valid() && check.sawMultiByte() ? InputEncoding::Utf8 : InputEncoding::CodePage;
}

std::string MalformedTextMessage(const std::string &name, InputEncoding encoding, uint64_t offset)
{
    const char *what = encoding == InputEncoding::Utf8 ? "UTF-8"
                       : encoding == InputEncoding::Utf16LE ? "UTF-16LE"
                                                             : "UTF-16BE";
    return TranslateWith("File \"%s\" is not valid %s: malformed sequence at byte offset %s.",
                {name, what, std::to_string(offset)});
}

DecodedText DecodeToCodePage(std::string_view bytes, InputEncoding encoding, const CodePage &codePage,
                             const std::string &name)
{
    DecodedText result;
    const ByteOrderMark bom = DetectByteOrderMark(bytes);
    result.encoding = encoding == InputEncoding::Auto ? DetectEncoding(bytes) : encoding;
    if (result.encoding == InputEncoding::CodePage) {
        result.bytes.assign(textBeforeNul(bytes));
        return result;
    }
    if (bom.encoding == result.encoding)
        bytes.remove_prefix(bom.length);
    CodePageDecoder decoder(codePage, result.encoding);
    decoder.setBaseOffset(bom.encoding == result.encoding ? bom.length : 0);
    result.bytes.reserve(bytes.size());
    CodePageDecoder::Status status = decoder.decode(bytes, result.bytes, result.unmapped);
    if (status == CodePageDecoder::Ok)
        status = decoder.finish();
    if (status == CodePageDecoder::Malformed)
        throw EConvertError(MalformedTextMessage(name, result.encoding, decoder.errorOffset()));
    return result;
}

DecodedLines ReadDecodedLines(const std::string &path, InputEncoding encoding)
{
    const CodePage &cp = CodePage::current();
    DecodedText text = DecodeToCodePage(readFileBytes(path), encoding, cp, path);
    DecodedLines result;
    result.encoding = text.encoding;
    const std::string &s = text.bytes;
    size_t next = 0; // the next unmapped character
    size_t number = 0;
    auto take = [&](size_t from, size_t to) {
        ++number;
        if (next < text.unmapped.size() && text.unmapped[next].at < to) {
            DecodedLines::Unmappable u{number, {}};
            for (size_t i = from; i < to; ++i) {
                if (next < text.unmapped.size() && text.unmapped[next].at == i)
                    AppendUtf8(u.utf8, text.unmapped[next++].ch);
                else
                    AppendUtf8(u.utf8, cp.toUnicode(uint8_t(s[i])));
            }
            result.unmappable.push_back(std::move(u));
        } else {
            result.lines.emplace_back(s, from, to - from);
        }
    };
    // Decoding stopped at a NUL, so the text is cut as it is.
    forEachLine(s, take);
    return result;
}

std::vector<std::string> ReadCodePageLines(const std::string &path, InputEncoding encoding)
{
    DecodedLines decoded = ReadDecodedLines(path, encoding);
    if (!decoded.unmappable.empty()) {
        const DecodedLines::Unmappable &first = decoded.unmappable.front();
        throw EConvertError(TranslateWith("Line %s of file \"%s\" holds a character that the code page %s lacks: %s",
                                 {std::to_string(first.line), path, CodePage::current().name(), first.utf8}));
    }
    return std::move(decoded.lines);
}

} // namespace kf
