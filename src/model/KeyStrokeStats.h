#pragma once
// What typing real texts costs on a keyboard definition. A text is read once
// into a tally of its characters and of its pairs of consecutive characters
// (in the code page); the tally knows no keyboard, so one reading serves two
// keyboards compared side by side. The figures of a keyboard come from the
// tally and the keyboard's typing plan: for each character the keystrokes
// that type it, by the same keys, levels and dead keys the keyboard state
// uses when a key is clicked.
//
// How a character is typed: by the character row with its code that needs
// the fewest keystrokes (the first such row in stored order on a tie; a row
// naming no key does not count). A row with an accent is typed by a press
// that sets the accent first (a key whose KeyType is the accent, plain; a
// dead key whose KeyType2 is the accent, with Shift; a character key whose
// KeyType2 is the accent, with AltGr: the one of fewest keystrokes, the
// first in key-table order on a tie), then the row's key. A press with Shift
// is preceded by the Shift key of the other hand, a press with AltGr by the
// AltGr key, Shift first. Caps Lock is not used. A line break is one press
// of the Enter key. Pairs of keystrokes never run across a character that is
// not typed.

#include "common/CodePageDecoder.h"
#include "common/Errors.h"

#include <array>
#include <atomic>
#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace kf {

class CodePage;
class TKeyLayout;

// A count stopped by the user (TTextReadOptions::cancel).
class ECancelled : public Exception {
public:
    using Exception::Exception;
    const char *kind() const noexcept override { return "ECancelled"; }
};

// The characters of texts and their consecutive pairs. Symbols 0..255 are
// code-page bytes (10 stands for every line break: CR LF, CR or LF), 256 a
// character the code page lacks.
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
    // held it that often (a dictionary file with counts).
    void AddWordRepeated(std::string_view bytes, const std::vector<UnmappedChar> &unmapped, uint64_t times);
    // The next text starts: no pair runs from this one into it.
    void EndText();
    // Adds the tally of the text that directly follows this one (a later part
    // of the same file): the pair across the cut is counted too.
    void Append(const TTextTally &later);

    uint64_t Characters() const;
    uint64_t Count(int symbol) const { return m_chars[size_t(symbol)]; }
    uint64_t PairCount(int first, int second) const { return m_pairs[size_t(first) * kSymbols + size_t(second)]; }
    const std::unordered_map<char32_t, uint64_t> &NotInCodePage() const { return m_notInCodePage; }

    bool operator==(const TTextTally &other) const;

private:
    void add(int symbol, uint64_t times);

    std::vector<uint64_t> m_chars;  // by symbol
    std::vector<uint64_t> m_pairs;  // (kNone + 1) x kSymbols: [first][second]
    std::unordered_map<char32_t, uint64_t> m_notInCodePage;
    int m_first = kNone;     // the first symbol counted (kNone: none yet)
    int m_last = kNone;      // the symbol a pair with the next one starts from
    bool m_pendingCr = false;
    bool m_empty = true;
};

// How texts are read.
struct TTextReadOptions {
    InputEncoding encoding = InputEncoding::Auto;
    // The files are dictionary files with counts: "word TAB count" lines,
    // each word counted that many times followed by a space (a line without
    // a count counts once). Such files are read by one reader.
    bool wordCounts = false;
    size_t blockSize = size_t(1) << 20;
    // Files of at least this size are read in two halves at once (threads 2;
    // on one processor too: the halves then take turns, and the result is the
    // same either way).
    uint64_t splitFrom = uint64_t(4) << 20;
    int threads = 2;
    // Bytes read so far, over all files (may be null).
    std::atomic<uint64_t> *progress = nullptr;
    // Set to stop reading: ReadTextFile then raises ECancelled (may be null).
    const std::atomic<bool> *cancel = nullptr;
};

// Reads one text file into the tally as the dictionary generator reads it
// (Auto: a byte-order mark, else UTF-8 when the file is valid UTF-8 holding
// a non-ASCII character, else the code page; a NUL ends the text) and
// returns the encoding used. Raises EFOpenError/EInOutError for a file that
// cannot be read, EConvertError naming the file and the offset for a
// malformed one (nothing of it counted), ECancelled when cancelled.
InputEncoding ReadTextFile(const std::string &path, const CodePage &codePage, const TTextReadOptions &options,
                           TTextTally &tally);

// The keystrokes of one press: the key (index into TKeyLayout::Keys) and
// whether it is a modifier (Shift, AltGr or a dead key setting an accent).
struct TKeyPress {
    int Key = -1;
    bool Modifier = false;
};

// How a keyboard types each character: the presses per symbol, empty when
// the keyboard cannot type it.
class TKeyStrokePlan {
public:
    explicit TKeyStrokePlan(const TKeyLayout &layout);
    const std::vector<TKeyPress> &Presses(int symbol) const { return m_presses[size_t(symbol)]; }
    bool Typeable(int symbol) const { return !m_presses[size_t(symbol)].empty(); }

private:
    std::array<std::vector<TKeyPress>, 257> m_presses;
};

// The figures of one keyboard over a tally.
struct TKeyStrokeFigures {
    struct Row {
        std::string Name; // "Row 1" from the top; the home row "Row 3 (home)"; keys in no row: "No row"
        uint64_t Keystrokes = 0;
        bool Home = false;
    };
    struct CharCount {
        std::string Text; // code-page bytes ("\n" a line break)
        uint64_t Count = 0;
    };

    uint64_t Characters = 0; // read
    uint64_t Typed = 0;
    uint64_t Keystrokes = 0;
    std::array<uint64_t, 10> Fingers{};
    std::array<uint64_t, 2> Hands{}; // left, right
    std::vector<Row> Rows;
    std::vector<uint64_t> Keys; // presses per key, indexed like TKeyLayout::Keys
    std::vector<std::string> KeyNames; // the keys' names (code-page bytes)
    uint64_t Pairs = 0;           // consecutive keystrokes
    uint64_t SameFingerPairs = 0; // one finger, two different keys
    uint64_t AlternatingPairs = 0;
    uint64_t ModifierKeystrokes = 0;
    std::vector<CharCount> SameFingerTop; // at most 20, most frequent first
    uint64_t NotTypeable = 0;
    std::vector<CharCount> NotTypeableTop; // every such character, most frequent first
    uint64_t NotInCodePage = 0;
    std::vector<std::pair<char32_t, uint64_t>> NotInCodePageTop; // most frequent first
    // Why the figures may mislead (no fingers set, keys in no row), in words.
    std::vector<std::string> Warnings;

    // Shares from 0 to 1 (0 when there is nothing to share).
    static double Share(uint64_t part, uint64_t whole) { return whole ? double(part) / double(whole) : 0.0; }
    double FingerShare(int finger) const { return Share(Fingers[size_t(finger)], Keystrokes); }
    double HandShare(int hand) const { return Share(Hands[size_t(hand)], Keystrokes); }
    double RowShare(size_t row) const { return Share(Rows[row].Keystrokes, Keystrokes); }
    double SameFinger() const { return Share(SameFingerPairs, Pairs); }
    double Alternation() const { return Share(AlternatingPairs, Pairs); }
    double ModifierLoad() const { return Share(ModifierKeystrokes, Keystrokes); }
    // Each key's share of the busiest key's presses (0..1), for the heat map.
    std::vector<double> KeyUse() const;
};

TKeyStrokeFigures ComputeKeyStrokes(const TKeyLayout &layout, const TTextTally &tally, size_t topPairs = 20);

// The figures as JSON (UTF-8): characters in the code page given.
std::string KeyStrokesToJson(const TKeyStrokeFigures &figures, const CodePage &codePage);
// Two keyboards: {"a": {...}, "b": {...}}.
std::string KeyStrokesToJson(const TKeyStrokeFigures &a, const TKeyStrokeFigures &b, const CodePage &codePage);

// The figures as a table: what, then the value (and with a second keyboard,
// its value and the difference b - a). Shares as fractions.
struct TKeyStrokeLine {
    std::string What;   // UTF-8
    std::string A, B, Difference;
};
std::vector<TKeyStrokeLine> KeyStrokeLines(const TKeyStrokeFigures &a, const TKeyStrokeFigures *b,
                                           const CodePage &codePage);
// Those lines as CSV (UTF-8, CR LF, fields quoted where needed).
std::string KeyStrokesToCsv(const TKeyStrokeFigures &a, const TKeyStrokeFigures *b, const CodePage &codePage);

} // namespace kf
