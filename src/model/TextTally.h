#pragma once
// The characters of texts and their consecutive pairs, in the code page: what
// the keystroke statistics count. The tally knows no keyboard, so one reading
// serves two keyboards compared side by side.

#include "common/CodePageDecoder.h"

#include <cstdint>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace kf {

// Symbols 0..255 are code-page bytes (10 stands for every line break: CR LF,
// CR or LF), 256 a character the code page lacks.
class TTextTally {
public:
    static constexpr int kLineBreak = 10;
    static constexpr int kNotInCodePage = 256;
    static constexpr int kSymbols = 257;
    static constexpr int kNone = 257; // no character before: no pair

    TTextTally();

    // Counts code-page text (line breaks as above; a NUL byte is counted as
    // any other byte: the readers stop before it). unmapped: the characters
    // the code page lacks, by their place in bytes (the byte there is not
    // counted as itself).
    void AddText(std::string_view bytes, const std::vector<UnmappedChar> &unmapped = {});
    // Counts a word followed by a space, times times over, as if the text
    // held it that often (a dictionary file with counts). Raises
    // EConvertError when the counts would no longer fit (see Fits).
    void AddWordRepeated(std::string_view bytes, const std::vector<UnmappedChar> &unmapped, uint64_t times);
    // Whether a word of that many characters (and its space) can be counted
    // times times into a tally holding `held` (see Held) without a count or a
    // sum of the figures overflowing.
    static bool Fits(uint64_t held, size_t characters, uint64_t times);
    // The characters counted so far, as Fits takes them (at least Characters()).
    uint64_t Held() const { return m_held; }
    // The next text starts: no pair runs from this one into it.
    void EndText();
    // Adds the tally of the text that directly follows this one (a later part
    // of the same file): the pair across the cut is counted too.
    void Append(const TTextTally &later);

    uint64_t Characters() const;
    uint64_t Count(int symbol) const { return m_chars[size_t(symbol)]; }
    // Pairs of consecutive symbols (first kNone: the symbol began a text).
    uint64_t PairCount(int first, int second) const;
    const std::unordered_map<char32_t, uint64_t> &NotInCodePage() const { return m_notInCodePage; }
    // The spaces whose last symbol before them that is not a space is
    // `before` (kNone: none in the text), and the symbols that follow a
    // space whose last symbol before it that is not a space is `before`:
    // which thumb presses the space bar depends on that symbol.
    uint64_t SpacesAfter(int before) const;
    uint64_t AfterSpaces(int before, int next) const { return pairsFrom(spaceState(before), next); }

    bool operator==(const TTextTally &other) const;

    // The most characters a tally holds: every figure drawn from it (each
    // character may take a few keystrokes, and sums run over them) then fits
    // in 64 bits.
    static constexpr uint64_t kMaxCharacters = uint64_t(1) << 58;

private:
    // What a pair starts from: the symbol before (0..kNone), or, after a
    // space, the last symbol before it that is not a space (kSpaceStates + that
    // symbol). One count per pair keeps the space bar's thumb at no cost.
    static constexpr int kSpaceStates = kNone + 1;
    static constexpr int kStates = 2 * kSpaceStates;
    static constexpr int spaceState(int state) { return state < kSpaceStates ? kSpaceStates + state : state; }
    static constexpr int nextState(int state, int symbol) { return symbol == ' ' ? spaceState(state) : symbol; }
    uint64_t pairsFrom(int state, int second) const { return m_pairs[size_t(state) * kSymbols + size_t(second)]; }

    void add(int symbol, uint64_t times);

    std::vector<uint64_t> m_chars;  // by symbol
    std::vector<uint64_t> m_pairs;  // kStates x kSymbols: [state][second]
    std::unordered_map<char32_t, uint64_t> m_notInCodePage;
    uint64_t m_held = 0;     // see Held
    int m_first = kNone;     // the first symbol counted (kNone: none yet)
    int m_state = kNone;     // the state a pair with the next symbol starts from
    bool m_pendingCr = false;
    bool m_empty = true;
};

} // namespace kf
