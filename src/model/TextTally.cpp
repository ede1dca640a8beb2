#include "model/TextTally.h"

#include "common/Errors.h"
#include "common/Translation.h"

#include <algorithm>

namespace kf {

namespace {

constexpr size_t kBefore = size_t(TTextTally::kNone) + 1; // symbols a space run may follow

} // namespace

TTextTally::TTextTally()
    : m_chars(kSymbols, 0), m_pairs(size_t(kNone + 1) * kSymbols, 0), m_spaces(kBefore, 0),
      m_afterSpace(kBefore * kSymbols, 0)
{
}

void TTextTally::add(int symbol, uint64_t times)
{
    m_chars[size_t(symbol)] += times;
    m_pairs[size_t(m_last) * kSymbols + size_t(symbol)] += times;
    if (symbol == ' ') {
        m_spaces[size_t(m_lastNonSpace)] += times;
    } else {
        if (m_last == ' ')
            m_afterSpace[size_t(m_lastNonSpace) * kSymbols + size_t(symbol)] += times;
        m_lastNonSpace = symbol;
    }
    if (m_empty) {
        m_empty = false;
        m_first = symbol;
    }
    m_last = symbol;
}

void TTextTally::AddText(std::string_view bytes, const std::vector<UnmappedChar> &unmapped)
{
    const size_t n = bytes.size();
    m_held += n;
    const auto *p = reinterpret_cast<const uint8_t *>(bytes.data());
    size_t pos = 0, u = 0;
    uint64_t *chars = m_chars.data();
    uint64_t *pairs = m_pairs.data();
    uint64_t *spaces = m_spaces.data();
    uint64_t *afterSpace = m_afterSpace.data();
    while (pos < n) {
        const size_t stop = u < unmapped.size() ? std::min(unmapped[u].at, n) : n;
        // The first character of a text sets m_first; the rest run fast.
        if (m_empty && pos < stop) {
            const uint8_t b = p[pos];
            m_pendingCr = b == '\r';
            add(b == '\r' ? kLineBreak : b, 1);
            ++pos;
        }
        int last = m_last;
        int lastNonSpace = m_lastNonSpace;
        bool cr = m_pendingCr;
        for (; pos < stop; ++pos) {
            int s = p[pos];
            if (s <= ' ') {
                if (s == ' ') {
                    ++chars[' '];
                    ++pairs[size_t(last) * kSymbols + ' '];
                    ++spaces[lastNonSpace];
                    last = ' ';
                    cr = false;
                    continue;
                }
                if (s == '\r') {
                    s = kLineBreak;
                    cr = true;
                } else if (s == '\n') {
                    if (cr) {
                        cr = false;
                        continue;
                    }
                } else {
                    cr = false;
                }
            } else {
                cr = false;
            }
            ++chars[s];
            ++pairs[size_t(last) * kSymbols + size_t(s)];
            if (last == ' ')
                ++afterSpace[size_t(lastNonSpace) * kSymbols + size_t(s)];
            last = s;
            lastNonSpace = s;
        }
        m_last = last;
        m_lastNonSpace = lastNonSpace;
        m_pendingCr = cr;
        if (stop < n) {
            add(kNotInCodePage, 1);
            m_pendingCr = false;
            ++m_notInCodePage[unmapped[u].ch];
            ++u;
            pos = stop + 1;
        }
    }
}

bool TTextTally::Fits(uint64_t held, size_t characters, uint64_t times)
{
    const uint64_t each = uint64_t(characters) + 1;
    if (held > kMaxCharacters || times > (kMaxCharacters - held) / each)
        return false;
    return true;
}

void TTextTally::AddWordRepeated(std::string_view bytes, const std::vector<UnmappedChar> &unmapped, uint64_t times)
{
    if (times == 0 || bytes.empty())
        return;
    if (!Fits(m_held, bytes.size(), times))
        throw EConvertError(TranslateWith("A count of %1 is more than the figures can add up.",
                                          {std::to_string(times)}));
    m_held += (uint64_t(bytes.size()) + 1) * times;
    std::vector<int> symbols;
    symbols.reserve(bytes.size() + 1);
    size_t u = 0;
    for (size_t i = 0; i < bytes.size(); ++i) {
        if (u < unmapped.size() && unmapped[u].at == i) {
            symbols.push_back(kNotInCodePage);
            m_notInCodePage[unmapped[u].ch] += times;
            ++u;
        } else {
            symbols.push_back(uint8_t(bytes[i]));
        }
    }
    symbols.push_back(' ');
    m_pendingCr = false;
    // The first time follows what came before; every later time follows the
    // end of the time before it, the same each time.
    for (int s : symbols)
        add(s, 1);
    if (times > 1)
        for (int s : symbols)
            add(s, times - 1);
}

void TTextTally::EndText()
{
    m_last = kNone;
    m_lastNonSpace = kNone;
    m_pendingCr = false;
}

void TTextTally::Append(const TTextTally &later)
{
    if (later.m_empty)
        return;
    if (!Fits(m_held, 0, later.m_held))
        throw EConvertError(Translate("The texts hold more characters than the figures can add up."));
    m_held += later.m_held;
    for (size_t i = 0; i < m_chars.size(); ++i)
        m_chars[i] += later.m_chars[i];
    for (size_t i = 0; i < m_pairs.size(); ++i)
        m_pairs[i] += later.m_pairs[i];
    for (const auto &[ch, n] : later.m_notInCodePage)
        m_notInCodePage[ch] += n;
    // The spaces the later part begins with follow this part's last
    // character that is not a space; the rest follow their own.
    const size_t none = size_t(kNone), before = size_t(m_lastNonSpace);
    for (size_t p = 0; p < kBefore; ++p)
        m_spaces[p == none ? before : p] += later.m_spaces[p];
    for (size_t p = 0; p < kBefore; ++p)
        for (size_t s = 0; s < size_t(kSymbols); ++s)
            m_afterSpace[(p == none ? before : p) * kSymbols + s] += later.m_afterSpace[p * kSymbols + s];
    // The later part's first character had no character before it there.
    if (m_last != kNone) {
        --m_pairs[size_t(kNone) * kSymbols + size_t(later.m_first)];
        ++m_pairs[size_t(m_last) * kSymbols + size_t(later.m_first)];
        if (m_last == ' ' && later.m_first != ' ') {
            // A run of spaces across the cut: the character after it follows them.
            m_afterSpace[before * kSymbols + size_t(later.m_first)] += 1;
        }
    }
    if (m_empty) {
        m_empty = false;
        m_first = later.m_first;
    }
    m_last = later.m_last;
    if (later.m_lastNonSpace != kNone)
        m_lastNonSpace = later.m_lastNonSpace;
    m_pendingCr = later.m_pendingCr;
}

uint64_t TTextTally::Characters() const
{
    uint64_t n = 0;
    for (uint64_t c : m_chars)
        n += c;
    return n;
}

bool TTextTally::operator==(const TTextTally &other) const
{
    return m_chars == other.m_chars && m_pairs == other.m_pairs && m_spaces == other.m_spaces &&
           m_afterSpace == other.m_afterSpace && m_notInCodePage == other.m_notInCodePage &&
           m_first == other.m_first && m_last == other.m_last && m_empty == other.m_empty;
}

} // namespace kf
