#pragma once
// The course plan: lessons that bring in the characters of a keyboard a few
// at a time, in the order of the keyboard (home row first, finger pair by
// finger pair), of the characters' share of a dictionary, or the home row
// first and then the rest by their share, each lesson's string holding every
// character brought in so far (letters only, unless all characters are
// asked for). The course engine in
// "Finger placement" mode then puts each dictionary word into the first
// lesson whose string holds all its characters; the plan counts those words
// beforehand, so the author sees which lessons get too few of them.

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kf {

class CodePage;
class TKeyLayout;
struct DecodedLines;

// A dictionary as the plan reads it: its entries in file order, each with its
// count ("word TAB count" lines as the dictionary generator writes them with
// counts; plain words count 1).
struct TPlanDictionary {
    std::vector<std::string> Words;
    std::vector<uint64_t> Counts;
    bool HasCounts = false;
    // Lines the reader left out because they hold a character the code page
    // lacks (told to the plan, which names another code page when most were,
    // and counts their word occurrences in what coverage is a share of).
    size_t Unmappable = 0;
    uint64_t UnmappableOccurrences = 0;

    // Reads the lines of a dictionary file: a line "word TAB digits" is a
    // counted word, any other line a word of its own. The unmappable lines
    // count one occurrence each.
    static TPlanDictionary FromLines(std::vector<std::string> lines, size_t unmappable = 0);
    // The lines of a dictionary file as read in the code page, with the
    // counts of the lines it left out.
    static TPlanDictionary FromDecoded(DecodedLines decoded);
    // The word of a "word TAB count" line and its count; false (and the line
    // as it is, count 1) for any other line.
    static bool SplitCounted(std::string_view line, std::string_view &word, uint64_t &count);
    // The words alone, as the course engine takes them.
    static std::vector<std::string> WordsOf(std::vector<std::string> lines);
};

// Keyboard: the home row first, finger pair by finger pair, then the rows
// above and below; Frequency: the characters most occurrences use first;
// Mixed ("Home row, then frequency"): the home row's characters as in
// keyboard order, then every other character by frequency.
enum class TPlanOrder { Keyboard, Frequency, Mixed };

struct TPlanOptions {
    // None: Mixed when the keyboard's number row types letters (a language's
    // own letters there would else come last), else Keyboard.
    std::optional<TPlanOrder> Order;
    // Only the code page's letters are brought in; the other characters are
    // left out and listed, and an entry is planned without the characters
    // around it that are neither letters nor digits (a quoted "dvorak" as
    // dvorak).
    bool LettersOnly = true;
    int PerLesson = 2;   // new characters per lesson, 1..4
    bool Shift = false;  // capitals and shifted signs
    bool AltGr = false;  // the AltGr levels
    bool Dead = false;   // characters reached by a dead key
    int HomeRow = -1;    // index into TKeyLayout::Rows; -1: the keyboard's home row
    int MinWords = 15;   // fewer words than this in a lesson is warned of
    int MinLength = 0;   // the word lengths the course engine accepts (bytes)
    int MaxLength = 50;

    static constexpr int kMaxPerLesson = 4;
};

struct TPlanLesson {
    std::string New;    // the characters this lesson brings in (code-page bytes)
    std::string String; // every character brought in up to this lesson
    uint64_t Words = 0;    // dictionary entries that go to this lesson
    uint64_t Distinct = 0; // of them, distinct words (by the engine's case rule)
    double Coverage = 0;   // share of the word occurrences typeable after this lesson
    std::vector<std::string> Warnings; // UTF-8
};

// A character of the keyboard the lessons leave out, and why (both UTF-8).
struct TPlanLeftOut {
    std::string Char; // the character, or the key and level of one the code page lacks
    std::string Reason;
};

// What the plan made of the dictionary's lines.
struct TPlanDictionaryUse {
    uint64_t Entries = 0;       // entries planned: lines holding a word
    uint64_t Occurrences = 0;   // their counts and those of the lines not in the code
                                // page: the whole coverage is a share of
    uint64_t Blank = 0;         // blank lines, no word
    uint64_t NoLetter = 0;      // entries without a letter (letters only)
    uint64_t NotInCodePage = 0; // lines holding a character the code page lacks
    uint64_t Dropped() const { return Blank + NoLetter + NotInCodePage; }
};

class TCoursePlan {
public:
    // Reads the keyboard and the dictionary (copied), and settles the order
    // when none was chosen. Throws EConvertError naming what is missing: no
    // character keys, no row that can be the home row, an empty dictionary,
    // one in another code page.
    TCoursePlan(const TKeyLayout &layout, const CodePage &codePage, TPlanDictionary dictionary,
                const TPlanOptions &options);
    ~TCoursePlan();
    TCoursePlan(const TCoursePlan &) = delete;
    TCoursePlan &operator=(const TCoursePlan &) = delete;

    // Plans the lessons from the options and counts their words. Throws
    // EConvertError when the keyboard types no word of the dictionary.
    void Make();

    const TPlanOptions &Options() const { return m_options; }
    const std::vector<TPlanLesson> &Lessons() const { return m_lessons; }
    // The keyboard's characters left out of the lessons, each with the reason.
    const std::vector<TPlanLeftOut> &LeftOut() const { return m_leftOut; }
    // Whether the lessons tell capitals from small letters (the Shift level
    // was chosen); the course must then be generated case-sensitive.
    bool CaseSensitive() const { return m_caseSensitive; }
    // Entries planned (lines holding a word).
    uint64_t DictionaryEntries() const { return m_use.Entries; }
    // The dictionary's lines: planned, and left out by kind.
    const TPlanDictionaryUse &DictionaryUse() const { return m_use; }
    // The lines left out in words ("2 dictionary lines left out: 1 blank,
    // 1 with a character the code page CP1252 lacks"), UTF-8; empty: none.
    std::string DroppedText() const;
    // The entries and occurrences planned, and DroppedText ("12 entries, 116
    // word occurrences; 1 dictionary line left out: 1 blank"), UTF-8.
    std::string DictionaryText() const;
    // Whether the keyboard's number row (two rows above the home row) types a
    // letter without Shift.
    bool NumberRowTypesLetters() const { return m_numberRowLetters; }
    // The order's name for the user ("Home row, then frequency"), and as the
    // command line and the JSON name it ("mixed").
    static const char *OrderCaption(TPlanOrder order);
    static const char *OrderName(TPlanOrder order);
    const TPlanDictionary &Dictionary() const { return m_dictionary; }
    // The characters the plan may bring in, in the planned order.
    const std::string &Candidates() const { return m_candidates; }
    // The home row used (index into the layout's rows).
    int HomeRow() const { return m_homeRow; }

    // Edits, each followed by a recount. Lesson numbers are 0-based; an
    // index out of range throws EListError.
    void MergeWithNext(int lesson);
    // Moves a character (code-page byte) to another lesson; a lesson left
    // empty goes away. False when no lesson brings it in.
    bool MoveChar(uint8_t c, int lesson);
    // Sets the new characters of every lesson (empty ones dropped, a
    // character repeated stays in its first lesson only).
    void SetLessons(const std::vector<std::string> &newChars);
    // Counts the words of the lessons anew.
    void Recount();
    // Changes the warning's minimum and the accepted word lengths for the
    // next count (an edit, Recount).
    void SetLimits(int minWords, int minLength, int maxLength);

    // The lessons' strings, one a line, as the strings box takes them.
    std::vector<std::string> Strings() const;
    // The plan as text for a terminal, and as a JSON object, both UTF-8.
    std::string TableText() const;
    std::string Json() const;
    // A code-page text in UTF-8.
    std::string Utf8(std::string_view bytes) const;

private:
    struct Entry;
    void readKeyboard(const TKeyLayout &layout);
    void gatherEntries();
    uint8_t fold(uint8_t c) const;
    bool planned(uint8_t c) const { return !m_options.LettersOnly || m_letter[c]; }

    const CodePage &m_codePage;
    TPlanDictionary m_dictionary;
    TPlanOptions m_options;
    bool m_caseSensitive = false;
    int m_homeRow = -1;
    std::string m_homeChars;  // the plain characters of the home row
    std::string m_candidates; // in keyboard order, levels one after another
    std::vector<int> m_candidateLevel;
    std::array<bool, 256> m_keyboardChars{}; // the candidates
    std::vector<TPlanLeftOut> m_unheld;      // characters the code page cannot hold
    std::vector<TPlanLeftOut> m_nonLetters;  // characters left out as no letters
    std::array<bool, 256> m_letter{};        // the code page's letters
    std::array<bool, 256> m_letterOrDigit{};
    bool m_numberRowLetters = false;
    TPlanDictionaryUse m_use;
    std::vector<Entry> m_distinct; // the dictionary's words, folded, once each
    std::string m_arena;           // their bytes, one after another
    uint64_t m_weight = 0;
    std::vector<uint64_t> m_charWeight; // by folded byte
    std::vector<TPlanLesson> m_lessons;
    std::vector<TPlanLeftOut> m_leftOut;
};

// Drill strings from the keyboard: the plain characters (above Space) of the
// keys a finger, a hand or a row types, in the order of the keys from left to
// right; with `only`, those of them in it (the current lesson's string).
enum class TDrillKind { Finger, Hand, Row };
std::string DrillChars(const TKeyLayout &layout, TDrillKind kind, int which, std::string_view only = {});

} // namespace kf
