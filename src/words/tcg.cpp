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
#include <atomic>
#include <climits>
#include <exception>
#include <numeric>
#include <system_error>
#include <thread>

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

// What a generation derives once from the strings, per mode. Read-only while
// words are picked.
struct tcgClass::Prepared {
    bool caseSensitive = false;
    std::array<uint8_t, 256> lower{}; // identity when case-sensitive
    WordList keys;                    // the strings as compared (lower-cased unless case-sensitive)
    bool prepared[6] = {};

    // Mode 1: bit k of row b tells whether string k holds byte b (word count per row).
    size_t letterWords = 0;
    std::vector<uint64_t> letterRows;

    // Modes 2 to 4: automata, or direct search when they grow too large.
    ByteAutomaton anywhere, heads, tails;
    bool useAnywhere = false, useHeads = false, useTails = false;
    // Mode 4: the first string longer than n bytes stops the search for words of n bytes.
    std::vector<int32_t> tailStop;

    // Mode 5: the compiled pattern of each string (null: invalid, an error
    // when a word reaches it), from the matcher's cache of this generation.
    std::vector<const PatternMatcher::Compiled *> patterns;
    std::vector<const PatternMatcher::Needs *> needs; // of each compiled pattern
    uint64_t patternCache = 0;
    // With at most 64 patterns: for each byte, the patterns a match may begin
    // with it, and those whose required byte it is (or that require none);
    // and the invalid patterns, which every word reaches.
    std::array<uint64_t, 256> firstMask{}, requiredMask{};
    uint64_t invalid = 0;
};

// What one picking thread changes while it picks.
struct tcgClass::Scratch {
    std::vector<uint64_t> letterAcc; // mode 1
    std::string buffer;              // the word folded, or the match subject
    PatternMatcher::MatchState match; // mode 5
};

tcgClass::tcgClass()
    : m_codePage(&CodePage::current()), m_matcher(std::make_unique<PatternMatcher>()),
      m_scratch(std::make_unique<Scratch>())
{
}

tcgClass::~tcgClass() = default;

void tcgClass::SetStrings(const WordList &strings)
{
    if (&strings != &m_strings)
        m_strings = strings;
    m_groups.clear();
    m_groups.resize(m_strings.size());
    m_prepared.reset();
    m_codePage = &CodePage::current();
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
        Dialogs().warning(QStringLiteral("Warning"), m_codePage->decode(m_lastError));
    }
}

void tcgClass::PickAll(const WordList &words, int mode)
{
    m_lastThreads = 0;
    if (mode < FingerPlacement || mode > RegularExpression)
        return;
    const Prepared &p = prepare(mode);
    const unsigned threads = threadsFor(words.size());
    if (threads > 1) {
        pickInBlocks(words, mode, threads);
        return;
    }
    m_lastThreads = 1;
    std::string_view picked;
    for (const std::string &word : words) {
        const int32_t k = pick(mode, p, word, *m_scratch, picked);
        if (k >= 0)
            m_groups[size_t(k)].emplace_back(picked);
    }
}

unsigned tcgClass::threadsFor(size_t words) const
{
    unsigned threads = Threads;
    if (threads == 0)
        threads = std::max(1u, std::thread::hardware_concurrency());
    threads = std::min(threads, kMaxThreads);
    return unsigned(std::min<size_t>(threads, std::max<size_t>(1, words / kMinWordsPerBlock)));
}

void tcgClass::pickInBlocks(const WordList &words, int mode, unsigned threads)
{
    // The words go in blocks, each taken by the next free thread (a busy core
    // then does less); each block keeps its picks apart until all are done.
    // A failure ends its block: blocks after it are not needed, those before
    // it still are.
    const Prepared &p = *m_prepared;
    const size_t n = words.size();
    const size_t blockSize = std::max(kMinWordsPerBlock, n / (size_t(threads) * 16) + 1);
    const size_t blockCount = (n + blockSize - 1) / blockSize;
    struct Block {
        std::vector<std::pair<int32_t, std::string>> picks;
        std::exception_ptr failure;
    };
    std::vector<Block> blocks(blockCount);
    std::atomic<size_t> nextBlock{0};
    std::atomic<size_t> firstFailed{blockCount};
    auto work = [&](Scratch &s) {
        for (;;) {
            const size_t b = nextBlock.fetch_add(1);
            if (b >= blockCount || b > firstFailed.load())
                return;
            Block &block = blocks[b];
            const size_t end = std::min(n, (b + 1) * blockSize);
            try {
                std::string_view picked;
                for (size_t i = b * blockSize; i < end; ++i) {
                    const int32_t k = pick(mode, p, words[i], s, picked);
                    if (k >= 0)
                        block.picks.emplace_back(k, std::string(picked));
                }
            } catch (...) {
                block.failure = std::current_exception();
                size_t failed = firstFailed.load();
                while (b < failed && !firstFailed.compare_exchange_weak(failed, b)) {
                }
            }
        }
    };
    std::vector<std::thread> helpers;
    helpers.reserve(threads - 1);
    for (unsigned t = 1; t < threads; ++t) {
        try {
            helpers.emplace_back([&work] {
                // A helper that cannot start leaves its blocks to the others.
                std::unique_ptr<Scratch> s;
                try {
                    s = std::make_unique<Scratch>();
                } catch (...) {
                    return;
                }
                work(*s);
            });
        } catch (const std::system_error &) {
            break; // no more threads: the others pick every block
        }
    }
    m_lastThreads = unsigned(helpers.size()) + 1;
    work(*m_scratch);
    for (std::thread &t : helpers)
        t.join();

    std::vector<size_t> sizes(m_groups.size(), 0);
    for (const Block &block : blocks) {
        for (const auto &pk : block.picks)
            ++sizes[size_t(pk.first)];
        if (block.failure)
            break;
    }
    for (size_t k = 0; k < m_groups.size(); ++k)
        m_groups[k].reserve(m_groups[k].size() + sizes[k]);
    for (Block &block : blocks) {
        for (auto &pk : block.picks)
            m_groups[size_t(pk.first)].push_back(std::move(pk.second));
        if (block.failure)
            std::rethrow_exception(block.failure);
    }
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
            p.lower[size_t(b)] = CaseSensitive ? uint8_t(b) : m_codePage->lower(uint8_t(b));
        p.keys = m_strings;
        for (std::string &key : p.keys)
            for (char &c : key)
                c = char(p.lower[uint8_t(c)]);
    }
    Prepared &p = *m_prepared;
    if (mode == RegularExpression && p.prepared[mode] && p.patternCache != m_matcher->CacheGeneration())
        resetPatterns(p); // the patterns went with the matcher's cache
    if (mode < FingerPlacement || mode > RegularExpression || p.prepared[mode])
        return p;
    p.prepared[mode] = true;
    const size_t count = p.keys.size();
    switch (mode) {
    case FingerPlacement: {
        p.letterWords = (count + 63) / 64;
        p.letterRows.assign(256 * p.letterWords, 0);
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
        resetPatterns(p);
        break;
    }
    return p;
}

void tcgClass::resetPatterns(Prepared &p)
{
    // Every pattern is compiled before the first word is picked, so that the
    // pickers only read. An invalid one is an error only when a word reaches
    // it, as if it were compiled then.
    const size_t count = m_strings.size();
    p.patterns.assign(count, nullptr);
    p.needs.assign(count, nullptr);
    p.firstMask.fill(0);
    p.requiredMask.fill(0);
    p.invalid = 0;
    p.patternCache = m_matcher->CacheGeneration();
    for (size_t k = 0; k < count; ++k) {
        try {
            p.patterns[k] = &m_matcher->Compile(m_strings[k]);
        } catch (const Exception &) {
            if (k < 64)
                p.invalid |= uint64_t(1) << k;
            continue;
        }
        p.needs[k] = &PatternMatcher::NeedsOf(*p.patterns[k]);
        if (count > 64)
            continue;
        const PatternMatcher::Needs &needs = *p.needs[k];
        const uint64_t bit = uint64_t(1) << k;
        for (int b = 0; b < 256; ++b) {
            if ((needs.first[b >> 6] >> (b & 63)) & 1)
                p.firstMask[size_t(b)] |= bit;
            if ((needs.required[b >> 6] >> (b & 63)) & 1)
                p.requiredMask[size_t(b)] |= bit;
        }
    }
}

std::string_view tcgClass::folded(const Prepared &p, std::string_view word, std::string &buffer)
{
    if (p.caseSensitive)
        return word;
    buffer.resize(word.size());
    for (size_t i = 0; i < word.size(); ++i)
        buffer[i] = char(p.lower[uint8_t(word[i])]);
    return buffer;
}

void tcgClass::pickOneWord(int mode, std::string_view word)
{
    std::string_view picked;
    const int32_t k = pick(mode, prepare(mode), word, *m_scratch, picked);
    if (k >= 0)
        m_groups[size_t(k)].emplace_back(picked);
}

void tcgClass::PickByLetters(std::string_view word)
{
    pickOneWord(FingerPlacement, word);
}

void tcgClass::PickByString(std::string_view word)
{
    pickOneWord(LetterStrings, word);
}

void tcgClass::PickByHead(std::string_view word)
{
    pickOneWord(HeadLetters, word);
}

void tcgClass::PickByTail(std::string_view word)
{
    pickOneWord(TailLetters, word);
}

void tcgClass::PickByPattern(std::string_view word)
{
    pickOneWord(RegularExpression, word);
}

int32_t tcgClass::pick(int mode, const Prepared &p, std::string_view word, Scratch &s,
                       std::string_view &picked) const
{
    if (!acceptLength(word))
        return -1;
    picked = word;
    switch (mode) {
    case FingerPlacement: return pickLetters(p, word, s);
    case LetterStrings: return pickString(p, word, s);
    case HeadLetters: return pickHead(p, word, s);
    case TailLetters: return pickTail(p, word, s);
    case RegularExpression: return pickPattern(p, word, s, picked);
    default: return -1;
    }
}

int32_t tcgClass::pickLetters(const Prepared &p, std::string_view word, Scratch &s) const
{
    const size_t words = p.letterWords;
    if (words == 0 || word.empty())
        return -1;
    const uint64_t *rows = p.letterRows.data();
    if (words == 1) {
        uint64_t acc = rows[uint8_t(word[0])];
        for (size_t i = 1; i < word.size() && acc; ++i)
            acc &= rows[uint8_t(word[i])];
        return acc ? int32_t(__builtin_ctzll(acc)) : -1;
    }
    s.letterAcc.resize(words);
    uint64_t *acc = s.letterAcc.data();
    std::copy_n(&rows[size_t(uint8_t(word[0])) * words], words, acc);
    for (size_t i = 1; i < word.size(); ++i) {
        const uint64_t *row = &rows[size_t(uint8_t(word[i])) * words];
        uint64_t any = 0;
        for (size_t j = 0; j < words; ++j)
            any |= (acc[j] &= row[j]);
        if (!any)
            return -1;
    }
    for (size_t j = 0; j < words; ++j)
        if (acc[j])
            return int32_t(j * 64 + size_t(__builtin_ctzll(acc[j])));
    return -1;
}

int32_t tcgClass::pickString(const Prepared &p, std::string_view word, Scratch &s) const
{
    if (p.useAnywhere) {
        const int32_t k = p.anywhere.findAnywhere(word);
        return k != kNone ? k : -1;
    }
    const std::string_view w = folded(p, word, s.buffer);
    for (size_t k = 0; k < p.keys.size(); ++k)
        if (!p.keys[k].empty() && contains(w, p.keys[k]))
            return int32_t(k);
    return -1;
}

int32_t tcgClass::pickHead(const Prepared &p, std::string_view word, Scratch &s) const
{
    if (p.useHeads) {
        const int32_t k = p.heads.findPrefix(word, false);
        return k != kNone ? k : -1;
    }
    const std::string_view w = folded(p, word, s.buffer);
    for (size_t k = 0; k < p.keys.size(); ++k) {
        const std::string &key = p.keys[k];
        if (!key.empty() && w.compare(0, key.size(), key) == 0)
            return int32_t(k);
    }
    return -1;
}

int32_t tcgClass::pickTail(const Prepared &p, std::string_view word, Scratch &s) const
{
    if (word.empty())
        return -1;
    if (p.useTails) {
        const int32_t k = p.tails.findPrefix(word, true);
        const int32_t stop = word.size() < p.tailStop.size() ? p.tailStop[word.size()] : kNone;
        return k < stop ? k : -1;
    }
    const std::string_view w = folded(p, word, s.buffer);
    for (size_t k = 0; k < p.keys.size(); ++k) {
        const std::string &key = p.keys[k];
        if (key.empty())
            continue;
        if (w.size() < key.size())
            return -1; // a longer string stops the search
        if (endsWith(w, key))
            return int32_t(k);
    }
    return -1;
}

int32_t tcgClass::pickPattern(const Prepared &p, std::string_view word, Scratch &s,
                              std::string_view &picked) const
{
    // The subject is the word followed by a blank and a line break; a word is
    // picked when the leftmost match is as long as the word without its
    // blanks. Such a match starts at lastStart at the latest, so a match
    // starting later need not be searched for, and a pattern is not run when
    // none of the bytes up to there can begin a match, when the subject lacks
    // its required byte, or when its matches are longer than the word.
    static constexpr char kEnd[] = " \r\n";
    const size_t n = word.size();
    const size_t size = n + 3;
    size_t first = 0, last = n;
    while (first < last && uint8_t(word[first]) <= 0x20)
        ++first;
    while (last > first && uint8_t(word[last - 1]) <= 0x20)
        --last;
    const size_t wanted = last - first;
    const size_t lastStart = size - wanted;
    const size_t heads = std::min(lastStart + 1, size); // the bytes a match can begin with
    const auto byteAt = [&](size_t i) { return uint8_t(i < n ? word[i] : kEnd[i - n]); };

    const size_t count = m_strings.size();
    const bool masks = count <= 64;
    uint64_t present[4] = {0, 0, 0, 0}, presentHeads[4] = {0, 0, 0, 0};
    uint64_t candidates = 0;
    if (masks) {
        uint64_t firstOk = 0, requiredOk = 0;
        for (size_t i = 0; i < heads; ++i)
            firstOk |= p.firstMask[byteAt(i)];
        for (size_t i = 0; i < size; ++i)
            requiredOk |= p.requiredMask[byteAt(i)];
        candidates = (firstOk & requiredOk) | p.invalid;
    } else {
        for (size_t i = 0; i < size; ++i) {
            const uint8_t c = byteAt(i);
            uint64_t *set = i < heads ? presentHeads : present;
            set[c >> 6] |= uint64_t(1) << (c & 63);
        }
        for (int i = 0; i < 4; ++i)
            present[i] |= presentHeads[i];
    }
    bool subjectMade = false;
    for (size_t k = 0; k < count; ++k) {
        if (masks) {
            if (!candidates)
                return -1;
            k = size_t(__builtin_ctzll(candidates));
            candidates &= candidates - 1;
        }
        if (!p.patterns[k])
            throw ERegExError("Something wrong with regular expression: " + m_strings[k]);
        const PatternMatcher::Needs &needs = *p.needs[k];
        if (needs.minLength > wanted)
            continue;
        if (!masks && !needs.metBy(presentHeads, present))
            continue;
        if (!subjectMade) {
            s.buffer.assign(word);
            s.buffer.append(kEnd, 3);
            subjectMade = true;
        }
        size_t start = 0, length = 0;
        bool found = false;
        try {
            found = PatternMatcher::Exec(*p.patterns[k], s.buffer, start, length, s.match, lastStart);
        } catch (const Exception &) {
            throw ERegExError("Something wrong with regular expression: " + m_strings[k]);
        }
        if (found && length == wanted) {
            picked = std::string_view(s.buffer).substr(start, length);
            return int32_t(k);
        }
    }
    return -1;
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
    const CodePage &cp = *m_codePage;
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
