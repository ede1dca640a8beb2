#pragma once
// The typing course generator engine: sorts dictionary words into one group
// per defined string, by one of five picking modes, and renders the groups as
// the result text. It shows nothing itself except the warning of a failed
// generation, which goes through the dialog service.

#include "words/PatternMatcher.h"

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace kf {

class CodePage;

using WordList = std::vector<std::string>;

class tcgClass {
public:
    // How a word is matched to a string (the integer the window passes).
    enum PickMode : int {
        FingerPlacement = 1, // the string holds every letter of the word
        LetterStrings = 2,   // the string occurs anywhere in the word
        HeadLetters = 3,     // the string begins the word
        TailLetters = 4,     // the string ends the word (with an early stop)
        RegularExpression = 5, // the pattern matches text as long as the word
    };
    // What RenderResult shows (the integer the window passes).
    enum ResultView : int {
        AsPicked = 0,
        SortDefault = 1,  // each group sorted alphabetically, ignoring case
        SortByLength = 2, // shorter first, then alphabetically with case
        NoHeadings = 3,
        WithHeadings = 4,
        WordListView = 5, // one word per line, an empty line after each group
    };

    tcgClass();
    ~tcgClass();
    tcgClass(const tcgClass &) = delete;
    tcgClass &operator=(const tcgClass &) = delete;

    // Shortest and longest accepted word length in bytes, both inclusive.
    int32_t MinLength = 0;
    int32_t MaxLength = 0;
    // Compare case in modes 1 to 4 (never in mode 5).
    bool CaseSensitive = false;
    // Threads PickAll may pick with; 0: one per processor, at most kMaxThreads.
    unsigned Threads = 0;
    static constexpr unsigned kMaxThreads = 8;
    // A thread takes this many words at least; fewer words are picked by one.
    static constexpr size_t kMinWordsPerBlock = 1024;
    // The threads the last PickAll picked with.
    unsigned LastThreads() const { return m_lastThreads; }

    // The code page of the strings and the groups: the one in force when the
    // strings were taken (SetStrings, Generate). Folding, sorting and the
    // patterns follow it whatever code page the session chooses later.
    const CodePage &TextCodePage() const { return *m_codePage; }

    // The defined strings of the last generation (a copy; line i owns group i).
    const WordList &Strings() const { return m_strings; }
    const std::vector<WordList> &Groups() const { return m_groups; }
    PatternMatcher &Matcher() { return *m_matcher; }

    // Takes the strings and starts one empty group per line.
    void SetStrings(const WordList &strings);

    // Picks the words into groups (MinLength, MaxLength and CaseSensitive set
    // first). A failure while picking (an invalid pattern) stops the picking,
    // keeps what was picked so far and is shown as a warning; Generate itself
    // returns normally and LastError() holds the message.
    void Generate(const WordList &words, const WordList &strings, int mode);
    // The message of the failure that stopped the last generation, or empty.
    const std::string &LastError() const { return m_lastError; }

    // Runs the picker of the mode over every dictionary word, in order; other
    // modes pick nothing. The engine keeps no reference to the words. A
    // failure (mode 5) is thrown after the picks of the words before the
    // failing one were added to the groups, and none of later words.
    void PickAll(const WordList &words, int mode);
    // Each picker takes one word and appends it (mode 5: the matched text) to
    // the group of the first string it satisfies, if any.
    void PickByLetters(std::string_view word);
    void PickByString(std::string_view word);
    void PickByHead(std::string_view word);
    void PickByTail(std::string_view word);
    void PickByPattern(std::string_view word); // throws ERegExError

    int GroupCount() const { return int(m_groups.size()); }
    // Group i, 0-based; throws EListError when out of range.
    const WordList &Group(int i) const;

    // The result lines of every group. Views 1 and 2 sort the groups in place
    // first, so later views show that order until the next Generate.
    std::vector<std::string> RenderResult(int view, bool withHeadings);
    // RenderResult with every line ended by CR LF: the text as shown and saved.
    std::string RenderResultText(int view, bool withHeadings);

    // The words line of one group: comma text with quoting, commas then
    // turned into spaces.
    static std::string WordsLine(const WordList &entries);

    // More trie nodes than this and the string pickers search string by string.
    static constexpr size_t kMaxAutomatonNodes = 16384;

private:
    struct Prepared;
    struct Scratch;
    bool acceptLength(std::string_view word) const;
    Prepared &prepare(int mode);
    void resetPatterns(Prepared &p);
    void pickOneWord(int mode, std::string_view word);
    unsigned threadsFor(size_t words) const;
    void pickInBlocks(const WordList &words, int mode, unsigned threads);
    void sortGroups(int view);

    // The pickers: the index of the group the word goes to, or -1; picked is
    // what joins the group (the word, or in mode 5 the match in s.buffer).
    // They change nothing but the scratch, so threads may run them at once.
    int32_t pick(int mode, const Prepared &p, std::string_view word, Scratch &s, std::string_view &picked) const;
    int32_t pickLetters(const Prepared &p, std::string_view word, Scratch &s) const;
    int32_t pickString(const Prepared &p, std::string_view word, Scratch &s) const;
    int32_t pickHead(const Prepared &p, std::string_view word, Scratch &s) const;
    int32_t pickTail(const Prepared &p, std::string_view word, Scratch &s) const;
    int32_t pickPattern(const Prepared &p, std::string_view word, Scratch &s, std::string_view &picked) const;
    static std::string_view folded(const Prepared &p, std::string_view word, std::string &buffer);

    WordList m_strings;
    std::vector<WordList> m_groups;
    const CodePage *m_codePage; // of the strings and groups; code pages are never freed
    std::unique_ptr<PatternMatcher> m_matcher;
    std::unique_ptr<Prepared> m_prepared;
    std::unique_ptr<Scratch> m_scratch; // the calling thread's
    std::string m_lastError;
    unsigned m_lastThreads = 0;
};

} // namespace kf
