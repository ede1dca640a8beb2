#include "words/tcg.h"
#include "common/CodePage.h"
#include "common/Dialogs.h"
#include "common/Errors.h"
#include "common/LibraryErrors.h"
#include "common/TextFile.h"

#include <QCollator>
#include <QLocale>

#include <algorithm>
#include <array>
#include <climits>
#include <numeric>

namespace kf {

namespace {

constexpr int32_t kNone = INT32_MAX;

// A trie of byte strings with 256-way transitions. For the string-anywhere
// search it is completed into an Aho-Corasick automaton whose state carries the
// lowest string index ending there. Transitions may be folded so that a byte
// moves as its lower-case form does.
class ByteAutomaton {
public:
    // Builds the trie of keys (reversed: of each key read backwards); false when
    // it would need more than maxNodes nodes.
    bool build(const WordList &keys, bool reversed, size_t maxNodes)
    {
        m_next.assign(256, -1);
        m_terminal.assign(1, kNone);
        for (size_t k = 0; k < keys.size(); ++k) {
            const std::string &key = keys[k];
            if (key.empty())
                continue;
            int32_t node = 0;
            for (size_t i = 0; i < key.size(); ++i) {
                const uint8_t b = uint8_t(reversed ? key[key.size() - 1 - i] : key[i]);
                int32_t &slot = m_next[size_t(node) * 256 + b];
                if (slot < 0) {
                    if (m_terminal.size() >= maxNodes)
                        return false;
                    slot = int32_t(m_terminal.size());
                    m_terminal.push_back(kNone);
                    m_next.resize(m_next.size() + 256, -1);
                }
                node = m_next[size_t(node) * 256 + b];
            }
            m_terminal[size_t(node)] = std::min(m_terminal[size_t(node)], int32_t(k));
        }
        return true;
    }

    // Completes the trie into a search automaton (every transition defined;
    // each state's best index covers every key that ends there).
    void completeForSearch()
    {
        const size_t n = m_terminal.size();
        m_best = m_terminal;
        std::vector<int32_t> fail(n, 0);
        std::vector<int32_t> queue;
        queue.reserve(n);
        for (int b = 0; b < 256; ++b) {
            int32_t &t = m_next[size_t(b)];
            if (t < 0) {
                t = 0;
            } else {
                fail[size_t(t)] = 0;
                queue.push_back(t);
            }
        }
        for (size_t qi = 0; qi < queue.size(); ++qi) {
            const int32_t s = queue[qi];
            m_best[size_t(s)] = std::min(m_best[size_t(s)], m_best[size_t(fail[size_t(s)])]);
            for (int b = 0; b < 256; ++b) {
                int32_t &t = m_next[size_t(s) * 256 + size_t(b)];
                const int32_t viaFail = m_next[size_t(fail[size_t(s)]) * 256 + size_t(b)];
                if (t < 0) {
                    t = viaFail;
                } else {
                    fail[size_t(t)] = viaFail;
                    queue.push_back(t);
                }
            }
        }
    }

    // Every byte then moves as lower[byte] does (the keys are lower-cased).
    void foldTransitions(const std::array<uint8_t, 256> &lower)
    {
        std::array<int32_t, 256> row{};
        for (size_t s = 0; s < m_terminal.size(); ++s) {
            int32_t *p = &m_next[s * 256];
            for (int b = 0; b < 256; ++b)
                row[size_t(b)] = p[lower[size_t(b)]];
            std::copy(row.begin(), row.end(), p);
        }
    }

    // Lowest index of a key occurring anywhere in word (search automaton).
    int32_t findAnywhere(std::string_view word) const
    {
        int32_t best = kNone;
        int32_t s = 0;
        const int32_t *next = m_next.data();
        const int32_t *bestOf = m_best.data();
        for (const char c : word) {
            s = next[size_t(s) * 256 + uint8_t(c)];
            best = std::min(best, bestOf[s]);
        }
        return best;
    }

    // Lowest index of a key that is a prefix of word (plain trie); with a
    // reversed trie, walk the word from its end: keys that are suffixes.
    int32_t findPrefix(std::string_view word, bool fromEnd) const
    {
        int32_t best = kNone;
        int32_t s = 0;
        const size_t n = word.size();
        for (size_t i = 0; i < n; ++i) {
            const uint8_t b = uint8_t(fromEnd ? word[n - 1 - i] : word[i]);
            s = m_next[size_t(s) * 256 + b];
            if (s < 0)
                break;
            best = std::min(best, m_terminal[size_t(s)]);
        }
        return best;
    }

private:
    std::vector<int32_t> m_next;     // node * 256 + byte -> node, -1 none
    std::vector<int32_t> m_terminal; // lowest key index ending exactly here
    std::vector<int32_t> m_best;     // search: lowest key index ending here or at a suffix state
};

bool contains(std::string_view word, std::string_view s)
{
    return word.find(s) != std::string_view::npos;
}

bool endsWith(std::string_view word, std::string_view s)
{
    return word.size() >= s.size() && word.compare(word.size() - s.size(), s.size(), s) == 0;
}

} // namespace

// What a generation derives once from the strings, per mode.
struct tcgClass::Prepared {
    bool caseSensitive = false;
    std::array<uint8_t, 256> lower{}; // identity when case-sensitive
    WordList keys;                    // the strings as compared (lower-cased unless case-sensitive)
    bool prepared[6] = {};

    // Mode 1: bit k of row b tells whether string k holds byte b (word count per row).
    size_t letterWords = 0;
    std::vector<uint64_t> letterRows;
    std::vector<uint64_t> letterAcc;

    // Modes 2 to 4: automata, or direct search when they grow too large.
    ByteAutomaton anywhere, heads, tails;
    bool useAnywhere = false, useHeads = false, useTails = false;
    // Mode 4: the first string longer than n bytes stops the search for words of n bytes.
    std::vector<int32_t> tailStop;

    // Mode 5: the compiled pattern of each string, once it was needed, from
    // the matcher's cache of this generation.
    std::vector<const PatternMatcher::Compiled *> patterns;
    std::vector<const PatternMatcher::Needs *> needs; // of each compiled pattern
    uint64_t patternCache = 0;
    // With at most 64 patterns: for each byte, the compiled patterns a match
    // may begin with it, and those whose required byte it is (or that require
    // none); and the patterns not compiled yet.
    std::array<uint64_t, 256> firstMask{}, requiredMask{};
    uint64_t uncompiled = 0;
};

tcgClass::tcgClass() : m_matcher(std::make_unique<PatternMatcher>()) {}

tcgClass::~tcgClass() = default;

void tcgClass::SetStrings(const WordList &strings)
{
    if (&strings != &m_strings)
        m_strings = strings;
    m_groups.clear();
    m_groups.resize(m_strings.size());
    m_prepared.reset();
}

void tcgClass::Generate(const WordList &words, const WordList &strings, int mode)
{
    m_lastError.clear();
    m_matcher->ClearCache();
    SetStrings(strings);
    if (m_strings.empty() || words.empty())
        return;
    try {
        PickAll(words, mode);
    } catch (const std::exception &e) {
        m_lastError = e.what();
        Dialogs().warning(QStringLiteral("Warning"), CodePage::current().decode(m_lastError));
    }
}

void tcgClass::PickAll(const WordList &words, int mode)
{
    if (mode < FingerPlacement || mode > RegularExpression)
        return;
    void (tcgClass::*picker)(std::string_view) = nullptr;
    switch (mode) {
    case FingerPlacement: picker = &tcgClass::PickByLetters; break;
    case LetterStrings: picker = &tcgClass::PickByString; break;
    case HeadLetters: picker = &tcgClass::PickByHead; break;
    case TailLetters: picker = &tcgClass::PickByTail; break;
    default: picker = &tcgClass::PickByPattern; break;
    }
    prepare(mode);
    if (mode == RegularExpression) {
        pickAllByPattern(words);
        return;
    }
    for (const std::string &word : words)
        (this->*picker)(word);
}

bool tcgClass::acceptLength(std::string_view word) const
{
    const int64_t n = int64_t(word.size());
    return n >= MinLength && n <= MaxLength;
}

tcgClass::Prepared &tcgClass::prepare(int mode)
{
    if (m_prepared && m_prepared->caseSensitive != CaseSensitive)
        m_prepared.reset();
    if (!m_prepared) {
        m_prepared = std::make_unique<Prepared>();
        Prepared &p = *m_prepared;
        p.caseSensitive = CaseSensitive;
        for (int b = 0; b < 256; ++b)
            p.lower[size_t(b)] = CaseSensitive ? uint8_t(b) : CodePage::current().lower(uint8_t(b));
        p.keys = m_strings;
        for (std::string &key : p.keys)
            for (char &c : key)
                c = char(p.lower[uint8_t(c)]);
    }
    Prepared &p = *m_prepared;
    if (mode < FingerPlacement || mode > RegularExpression || p.prepared[mode])
        return p;
    p.prepared[mode] = true;
    const size_t count = p.keys.size();
    switch (mode) {
    case FingerPlacement: {
        p.letterWords = (count + 63) / 64;
        p.letterRows.assign(256 * p.letterWords, 0);
        p.letterAcc.assign(p.letterWords, 0);
        for (size_t k = 0; k < count; ++k)
            for (const char c : p.keys[k])
                p.letterRows[size_t(uint8_t(c)) * p.letterWords + k / 64] |= uint64_t(1) << (k % 64);
        // A byte is allowed where its lower-case form is.
        std::vector<uint64_t> rows(p.letterRows.size());
        for (int b = 0; b < 256; ++b)
            std::copy_n(&p.letterRows[size_t(p.lower[size_t(b)]) * p.letterWords], p.letterWords,
                        &rows[size_t(b) * p.letterWords]);
        p.letterRows.swap(rows);
        break;
    }
    case LetterStrings:
        p.useAnywhere = p.anywhere.build(p.keys, false, kMaxAutomatonNodes);
        if (p.useAnywhere) {
            p.anywhere.completeForSearch();
            p.anywhere.foldTransitions(p.lower);
        }
        break;
    case HeadLetters:
        p.useHeads = p.heads.build(p.keys, false, kMaxAutomatonNodes);
        if (p.useHeads)
            p.heads.foldTransitions(p.lower);
        break;
    case TailLetters: {
        p.useTails = p.tails.build(p.keys, true, kMaxAutomatonNodes);
        if (p.useTails)
            p.tails.foldTransitions(p.lower);
        size_t longest = 0;
        for (const std::string &key : p.keys)
            longest = std::max(longest, key.size());
        p.tailStop.assign(longest + 1, kNone);
        for (size_t n = 0; n <= longest; ++n)
            for (size_t k = 0; k < count; ++k)
                if (p.keys[k].size() > n) {
                    p.tailStop[n] = int32_t(k);
                    break;
                }
        break;
    }
    case RegularExpression:
        resetPatterns(*m_prepared);
        break;
    }
    return p;
}

std::string_view tcgClass::folded(std::string_view word)
{
    const Prepared &p = *m_prepared;
    if (p.caseSensitive)
        return word;
    m_buffer.resize(word.size());
    for (size_t i = 0; i < word.size(); ++i)
        m_buffer[i] = char(p.lower[uint8_t(word[i])]);
    return m_buffer;
}

void tcgClass::PickByLetters(std::string_view word)
{
    if (!acceptLength(word) || word.empty())
        return;
    Prepared &p = prepare(FingerPlacement);
    const size_t words = p.letterWords;
    if (words == 0)
        return;
    uint64_t *acc = p.letterAcc.data();
    const uint64_t *rows = p.letterRows.data();
    std::copy_n(&rows[size_t(uint8_t(word[0])) * words], words, acc);
    for (size_t i = 1; i < word.size(); ++i) {
        const uint64_t *row = &rows[size_t(uint8_t(word[i])) * words];
        uint64_t any = 0;
        for (size_t j = 0; j < words; ++j)
            any |= (acc[j] &= row[j]);
        if (!any)
            return;
    }
    for (size_t j = 0; j < words; ++j) {
        if (acc[j]) {
            const size_t k = j * 64 + size_t(__builtin_ctzll(acc[j]));
            m_groups[k].emplace_back(word);
            return;
        }
    }
}

void tcgClass::PickByString(std::string_view word)
{
    if (!acceptLength(word))
        return;
    Prepared &p = prepare(LetterStrings);
    if (p.useAnywhere) {
        const int32_t k = p.anywhere.findAnywhere(word);
        if (k != kNone)
            m_groups[size_t(k)].emplace_back(word);
        return;
    }
    const std::string_view w = folded(word);
    for (size_t k = 0; k < p.keys.size(); ++k) {
        if (!p.keys[k].empty() && contains(w, p.keys[k])) {
            m_groups[k].emplace_back(word);
            return;
        }
    }
}

void tcgClass::PickByHead(std::string_view word)
{
    if (!acceptLength(word))
        return;
    Prepared &p = prepare(HeadLetters);
    if (p.useHeads) {
        const int32_t k = p.heads.findPrefix(word, false);
        if (k != kNone)
            m_groups[size_t(k)].emplace_back(word);
        return;
    }
    const std::string_view w = folded(word);
    for (size_t k = 0; k < p.keys.size(); ++k) {
        const std::string &s = p.keys[k];
        if (!s.empty() && w.compare(0, s.size(), s) == 0) {
            m_groups[k].emplace_back(word);
            return;
        }
    }
}

void tcgClass::PickByTail(std::string_view word)
{
    if (!acceptLength(word) || word.empty())
        return;
    Prepared &p = prepare(TailLetters);
    if (p.useTails) {
        const int32_t k = p.tails.findPrefix(word, true);
        const int32_t stop = word.size() < p.tailStop.size() ? p.tailStop[word.size()] : kNone;
        if (k < stop)
            m_groups[size_t(k)].emplace_back(word);
        return;
    }
    const std::string_view w = folded(word);
    for (size_t k = 0; k < p.keys.size(); ++k) {
        const std::string &s = p.keys[k];
        if (s.empty())
            continue;
        if (w.size() < s.size())
            return; // a longer string stops the search
        if (endsWith(w, s)) {
            m_groups[k].emplace_back(word);
            return;
        }
    }
}

void tcgClass::resetPatterns(Prepared &p)
{
    p.patterns.assign(m_strings.size(), nullptr);
    p.needs.assign(m_strings.size(), nullptr);
    p.firstMask.fill(0);
    p.requiredMask.fill(0);
    p.uncompiled = m_strings.size() >= 64 ? ~uint64_t(0) : (uint64_t(1) << m_strings.size()) - 1;
    p.patternCache = m_matcher->CacheGeneration();
}

void tcgClass::PickByPattern(std::string_view word)
{
    if (!acceptLength(word))
        return;
    Prepared &p = prepare(RegularExpression);
    if (p.patternCache != m_matcher->CacheGeneration()) {
        resetPatterns(p);
    }
    pickByPattern(p, word);
}

void tcgClass::pickAllByPattern(const WordList &words)
{
    // What does not depend on the word is settled once.
    Prepared &p = prepare(RegularExpression);
    if (p.patternCache != m_matcher->CacheGeneration()) {
        resetPatterns(p);
    }
    for (const std::string &word : words)
        if (acceptLength(word))
            pickByPattern(p, word);
}

void tcgClass::pickByPattern(Prepared &p, std::string_view word)
{
    // The bytes the subject (the word followed by a blank and a line break)
    // holds: a pattern whose first or required byte is not among them cannot
    // match and is not run. With at most 64 patterns, per-byte masks of the
    // patterns each byte can begin or complete give the candidates at once.
    const size_t count = m_strings.size();
    const bool masks = count <= 64;
    uint64_t present[4] = {0, 0, 0, 0};
    uint64_t firstOk = p.firstMask[' '] | p.firstMask['\r'] | p.firstMask['\n'];
    uint64_t requiredOk = p.requiredMask[' '] | p.requiredMask['\r'] | p.requiredMask['\n'];
    if (masks) {
        for (const char c : word) {
            firstOk |= p.firstMask[uint8_t(c)];
            requiredOk |= p.requiredMask[uint8_t(c)];
        }
    } else {
        for (const char c : word)
            present[uint8_t(c) >> 6] |= uint64_t(1) << (uint8_t(c) & 63);
        present[0] |= (uint64_t(1) << ' ') | (uint64_t(1) << '\r') | (uint64_t(1) << '\n');
    }
    // Patterns not compiled yet are candidates until they are.
    uint64_t candidates = masks ? (firstOk & requiredOk) | p.uncompiled : 0;
    bool subjectMade = false;
    size_t wanted = 0;
    for (size_t k = 0; k < count; ++k) {
        if (masks) {
            if (!candidates)
                return;
            k = size_t(__builtin_ctzll(candidates));
            candidates &= candidates - 1;
        }
        size_t start = 0, length = 0;
        bool found = false;
        try {
            if (!p.patterns[k]) {
                p.patterns[k] = &m_matcher->Compile(m_strings[k]);
                p.needs[k] = &PatternMatcher::NeedsOf(*p.patterns[k]);
                if (masks)
                    learnMasks(p, k);
            }
            if (masks ? !p.needs[k]->metBy(wordBytes(word, present)) : !p.needs[k]->metBy(present))
                continue;
            if (!subjectMade) {
                m_buffer.assign(word);
                m_buffer.append(" \r\n");
                size_t first = 0, last = word.size();
                while (first < last && uint8_t(word[first]) <= 0x20)
                    ++first;
                while (last > first && uint8_t(word[last - 1]) <= 0x20)
                    --last;
                wanted = last - first;
                subjectMade = true;
            }
            found = m_matcher->Exec(*p.patterns[k], m_buffer, start, length);
        } catch (const Exception &) {
            throw ERegExError("Something wrong with regular expression: " + m_strings[k]);
        }
        if (found && length == wanted) {
            m_groups[k].emplace_back(m_buffer, start, length);
            return;
        }
    }
}

const uint64_t *tcgClass::wordBytes(std::string_view word, uint64_t *present)
{
    // Only needed for a pattern just compiled (the masks knew nothing of it).
    if ((present[0] | present[1] | present[2] | present[3]) == 0) {
        for (const char c : word)
            present[uint8_t(c) >> 6] |= uint64_t(1) << (uint8_t(c) & 63);
        present[0] |= (uint64_t(1) << ' ') | (uint64_t(1) << '\r') | (uint64_t(1) << '\n');
    }
    return present;
}

void tcgClass::learnMasks(Prepared &p, size_t k)
{
    const PatternMatcher::Needs &needs = *p.needs[k];
    const uint64_t bit = uint64_t(1) << k;
    for (int b = 0; b < 256; ++b) {
        if ((needs.first[b >> 6] >> (b & 63)) & 1)
            p.firstMask[size_t(b)] |= bit;
        if ((needs.required[b >> 6] >> (b & 63)) & 1)
            p.requiredMask[size_t(b)] |= bit;
    }
    p.uncompiled &= ~bit;
}

const WordList &tcgClass::Group(int i) const
{
    if (i < 0 || i >= GroupCount())
        RaiseListIndexOutOfBounds(i);
    return m_groups[size_t(i)];
}

std::string tcgClass::WordsLine(const WordList &entries)
{
    if (entries.size() == 1 && entries[0].empty())
        return "\"\"";
    std::string line;
    for (size_t i = 0; i < entries.size(); ++i) {
        const std::string &e = entries[i];
        if (i > 0)
            line += ',';
        const bool quote = std::any_of(e.begin(), e.end(), [](char c) {
            return uint8_t(c) <= 0x20 || c == '"' || c == ',';
        });
        if (!quote) {
            line += e;
            continue;
        }
        line += '"';
        for (const char c : e) {
            line += c;
            if (c == '"')
                line += '"';
        }
        line += '"';
    }
    std::replace(line.begin(), line.end(), ',', ' ');
    return line;
}

void tcgClass::sortGroups(int view)
{
    const CodePage &cp = CodePage::current();
    QCollator collator{QLocale()};
    collator.setCaseSensitivity(view == SortDefault ? Qt::CaseInsensitive : Qt::CaseSensitive);
    for (WordList &group : m_groups) {
        std::vector<QCollatorSortKey> keys;
        keys.reserve(group.size());
        // Sort keys of some locales (C among them) keep case even when the
        // collator ignores it, so ignoring case also folds the text first.
        for (const std::string &e : group)
            keys.push_back(collator.sortKey(view == SortDefault ? cp.decode(e).toCaseFolded() : cp.decode(e)));
        std::vector<size_t> order(group.size());
        std::iota(order.begin(), order.end(), size_t(0));
        std::stable_sort(order.begin(), order.end(), [&](size_t a, size_t b) {
            if (view == SortByLength && group[a].size() != group[b].size())
                return group[a].size() < group[b].size();
            return keys[a].compare(keys[b]) < 0;
        });
        WordList sorted;
        sorted.reserve(group.size());
        for (const size_t i : order)
            sorted.push_back(std::move(group[i]));
        group.swap(sorted);
    }
}

std::vector<std::string> tcgClass::RenderResult(int view, bool withHeadings)
{
    std::vector<std::string> lines;
    if (view < AsPicked || view > WordListView)
        return lines;
    if (view == SortDefault || view == SortByLength)
        sortGroups(view);
    const bool headings = view == WithHeadings || (view <= SortByLength && withHeadings);
    for (size_t i = 0; i < m_groups.size(); ++i) {
        const WordList &group = m_groups[i];
        if (view == WordListView) {
            for (const std::string &e : group)
                lines.push_back(e);
            lines.emplace_back();
            continue;
        }
        if (headings) {
            lines.emplace_back(25, '=');
            lines.push_back("The to-be-typed keys:  " + m_strings[i] + "  >> Total: " +
                            std::to_string(group.size()));
            lines.emplace_back(25, '-');
        }
        lines.push_back(WordsLine(group));
    }
    return lines;
}

std::string tcgClass::RenderResultText(int view, bool withHeadings)
{
    return joinLinesCrLf(RenderResult(view, withHeadings));
}

} // namespace kf
