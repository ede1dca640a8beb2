#include "model/TextTally.h"

#include "common/Errors.h"
#include "common/Translation.h"

#include <algorithm>

namespace kf {

TTextTally::TTextTally() : m_chars(kSymbols, 0), m_pairs(size_t(kStates) * kSymbols, 0) {}

void TTextTally::add(int symbol, uint64_t times)
{
    m_chars[size_t(symbol)] += times;
    m_pairs[size_t(m_state) * kSymbols + size_t(symbol)] += times;
    if (m_empty) {
        m_empty = false;
        m_first = symbol;
    }
    m_state = nextState(m_state, symbol);
}

uint64_t TTextTally::PairCount(int first, int second) const
{
    if (first != ' ')
        return pairsFrom(first, second);
    uint64_t n = 0;
    for (int before = 0; before < kSpaceStates; ++before)
        n += pairsFrom(spaceState(before), second);
    return n;
}

uint64_t TTextTally::SpacesAfter(int before) const
{
    if (before == ' ')
        return 0;
    // The first space of each run follows before itself; the others follow
    // a space of the run.
    return pairsFrom(before, ' ') + pairsFrom(spaceState(before), ' ');
}

void TTextTally::AddText(std::string_view bytes, const std::vector<UnmappedChar> &unmapped)
{
    const size_t n = bytes.size();
    m_held += n;
    const auto *p = reinterpret_cast<const uint8_t *>(bytes.data());
    size_t pos = 0, u = 0;
    uint64_t *chars = m_chars.data();
    uint64_t *pairs = m_pairs.data();
    while (pos < n) {
        const size_t stop = u < unmapped.size() ? std::min(unmapped[u].at, n) : n;
        // The first character of a text sets m_first; the rest run fast.
        if (m_empty && pos < stop) {
            const uint8_t b = p[pos];
            m_pendingCr = b == '\r';
            add(b == '\r' ? kLineBreak : b, 1);
            ++pos;
        }
        int state = m_state;
        bool cr = m_pendingCr;
        for (; pos < stop; ++pos) {
            int s = p[pos];
            if (s <= '\r') {
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
            ++pairs[size_t(state) * kSymbols + size_t(s)];
            // nextState without a branch: a space comes too irregularly to
            // be predicted.
            const int spaced = state + (kSpaceStates & -int(state < kSpaceStates));
            const int isSpace = -int(s == ' ');
            state = (spaced & isSpace) | (s & ~isSpace);
        }
        m_state = state;
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
    m_state = kNone;
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
    // What the later part counted from the start of its text follows where
    // this part ended: its first symbol follows this part's state, and its
    // leading spaces (and what follows them) the last symbol of this part
    // that is not a space.
    const auto row = [&](int state) {
        if (state == kNone)
            return m_state;
        if (state == spaceState(kNone))
            return spaceState(m_state);
        return state;
    };
    for (int state = 0; state < kStates; ++state)
        for (size_t s = 0; s < size_t(kSymbols); ++s)
            m_pairs[size_t(row(state)) * kSymbols + s] += later.m_pairs[size_t(state) * kSymbols + s];
    for (const auto &[ch, n] : later.m_notInCodePage)
        m_notInCodePage[ch] += n;
    if (m_empty) {
        m_empty = false;
        m_first = later.m_first;
    }
    m_state = row(later.m_state);
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
    return m_chars == other.m_chars && m_pairs == other.m_pairs && m_notInCodePage == other.m_notInCodePage &&
           m_first == other.m_first && m_state == other.m_state && m_empty == other.m_empty;
}

} // namespace kf
