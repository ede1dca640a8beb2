#pragma once
// The course plan: lessons that bring in the characters of a keyboard a few
// at a time, in the order of the keyboard (home row first, finger pair by
// finger pair) or of the characters' share of a dictionary, each lesson's
// string holding every character brought in so far. The course engine in
// "Finger placement" mode then puts each dictionary word into the first
// lesson whose string holds all its characters; the plan counts those words
// beforehand, so the author sees which lessons get too few of them.

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace kf {

class CodePage;
class TKeyLayout;

// A dictionary as the plan reads it: its entries in file order, each with its
// count ("word TAB count" lines as the dictionary generator writes them with
// counts; plain words count 1).
struct TPlanDictionary {
    std::vector<std::string> Words;
    std::vector<uint64_t> Counts;
    bool HasCounts = false;
    // Lines the reader left out because they hold a character the code page
    // lacks (told to the plan, which names another code page when most were).
    size_t Unmappable = 0;

    // Reads the lines of a dictionary file: a line "word TAB digits" is a
    // counted word, any other line a word of its own.
    static TPlanDictionary FromLines(std::vector<std::string> lines, size_t unmappable = 0);
    // The word of a "word TAB count" line and its count; false (and the line
    // as it is, count 1) for any other line.
    static bool SplitCounted(std::string_view line, std::string_view &word, uint64_t &count);
    // The words alone, as the course engine takes them.
    static std::vector<std::string> WordsOf(std::vector<std::string> lines);
};

enum class TPlanOrder { Keyboard, Frequency };

struct TPlanOptions {
    TPlanOrder Order = TPlanOrder::Keyboard;
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

class TCoursePlan {
public:
    // Reads the keyboard and the dictionary (copied). Throws EConvertError
    // naming what is missing: no character keys, no row that can be the home
    // row, an empty dictionary, one in another code page.
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
    // Entries and word occurrences of the whole dictionary.
    uint64_t DictionaryEntries() const { return m_entries; }
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
    std::vector<Entry> m_distinct; // the dictionary's words, folded, once each
    std::string m_arena;           // their bytes, one after another
    uint64_t m_entries = 0;
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
