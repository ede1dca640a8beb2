#include "words/CoursePlan.h"

#include "common/CodePage.h"
#include "common/CodePageDecoder.h"
#include "common/Errors.h"
#include "common/Translation.h"
#include "model/KeyCodes.h"
#include "model/KeyLayout.h"

#include <QChar>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstdlib>

namespace kf {

namespace {

constexpr int kLevelPlain = 0, kLevelShift = 1, kLevelAltGr = 2, kLevelDead = 3;

// The finger pairs from the index fingers outwards: (left, right).
constexpr std::array<std::array<int32_t, 2>, 4> kPairs = {{
    {Fingers::LIndex, Fingers::RIndex},
    {Fingers::LMiddle, Fingers::RMiddle},
    {Fingers::LRing, Fingers::RRing},
    {Fingers::LLittle, Fingers::RLittle},
}};

int centreX(const TLayoutKey &k)
{
    return k.X + k.Width / 2;
}

std::string number(uint64_t n)
{
    return std::to_string(n);
}

// A count in JSON: exact as an integer up to 2^53, beyond as a double.
QJsonValue jsonCount(uint64_t n)
{
    return n <= (uint64_t(1) << 53) ? QJsonValue(qint64(n)) : QJsonValue(double(n));
}

// "1 word" / "2 words": the text for one and the text for more.
std::string counted(uint64_t n, const char *one, const char *more)
{
    return TranslateWith(n == 1 ? one : more, {number(n)});
}

} // namespace

// ---------------------------------------------------------------- dictionary

bool TPlanDictionary::SplitCounted(std::string_view line, std::string_view &word, uint64_t &count)
{
    word = line;
    count = 1;
    const size_t tab = line.rfind('\t');
    if (tab == std::string_view::npos || tab == 0 || tab + 1 >= line.size() || line.size() - tab > 20)
        return false;
    uint64_t n = 0;
    for (size_t i = tab + 1; i < line.size(); ++i) {
        const char c = line[i];
        if (c < '0' || c > '9')
            return false;
        n = n * 10 + uint64_t(c - '0');
    }
    word = line.substr(0, tab);
    count = n;
    return true;
}

TPlanDictionary TPlanDictionary::FromLines(std::vector<std::string> lines, size_t unmappable)
{
    TPlanDictionary d;
    d.Unmappable = unmappable;
    d.UnmappableOccurrences = unmappable;
    d.Counts.reserve(lines.size());
    bool anyCounted = false;
    for (std::string &line : lines) {
        std::string_view word;
        uint64_t count = 1;
        if (SplitCounted(line, word, count)) {
            anyCounted = true;
            line.resize(word.size());
        }
        d.Counts.push_back(count);
    }
    d.Words = std::move(lines);
    d.HasCounts = anyCounted;
    return d;
}

TPlanDictionary TPlanDictionary::FromDecoded(DecodedLines decoded)
{
    TPlanDictionary d = FromLines(std::move(decoded.lines), decoded.unmappable.size());
    // A left-out line counts its occurrences: its count when it has one.
    d.UnmappableOccurrences = 0;
    for (const DecodedLines::Unmappable &u : decoded.unmappable) {
        std::string_view word;
        uint64_t count = 1;
        SplitCounted(u.utf8, word, count);
        d.UnmappableOccurrences += count;
    }
    return d;
}

std::vector<std::string> TPlanDictionary::WordsOf(std::vector<std::string> lines)
{
    for (std::string &line : lines) {
        std::string_view word;
        uint64_t count;
        if (SplitCounted(line, word, count))
            line.resize(word.size());
    }
    return lines;
}

// ---------------------------------------------------------------- plan

// A distinct word: its folded bytes in the arena, its dictionary entries and
// their summed counts.
struct TCoursePlan::Entry {
    size_t offset = 0;
    uint32_t length = 0;
    uint64_t entries = 0;
    uint64_t weight = 0;
};

TCoursePlan::TCoursePlan(const TKeyLayout &layout, const CodePage &codePage, TPlanDictionary dictionary,
                         const TPlanOptions &options)
    : m_codePage(codePage), m_dictionary(std::move(dictionary)), m_options(options)
{
    m_options.PerLesson = std::clamp(m_options.PerLesson, 1, TPlanOptions::kMaxPerLesson);
    m_options.MinWords = std::max(0, m_options.MinWords);
    // Capitals brought in as characters of their own only make sense when
    // the engine tells them from small letters.
    m_caseSensitive = m_options.Shift;
    if (m_dictionary.Counts.size() != m_dictionary.Words.size())
        m_dictionary.Counts.assign(m_dictionary.Words.size(), 1);

    bool anyCharKey = false;
    for (const TLayoutChar &c : layout.Chars)
        if (c.Key >= 0 && c.Code > ' ' && KeyTypes::IsCharType(layout.Keys[size_t(c.Key)].Type))
            anyCharKey = true;
    if (!anyCharKey)
        throw EConvertError(TranslateWith(
            "The keyboard has no character keys: no key of type Alpha or Num types a character of the "
            "character table, so there is nothing to bring in.",
            {}));

    for (int c = 1; c < 256; ++c) {
        if (!m_codePage.defined(uint8_t(c)))
            continue;
        const char32_t u = m_codePage.toUnicode(uint8_t(c));
        if (u >= 0x10000)
            continue;
        const QChar q{char16_t(u)};
        m_letter[size_t(c)] = q.isLetter();
        m_letterOrDigit[size_t(c)] = q.isLetterOrNumber();
    }

    // The keyboard's errors first; its order weighs characters by the words.
    gatherEntries();
    readKeyboard(layout);
    const uint64_t words = m_use.Entries;
    if (words == 0) {
        if (m_dictionary.Unmappable > 0)
            throw EConvertError(TranslateWith(
                "The dictionary holds no word in the code page %1: every one of its %2 words holds a character "
                "the code page lacks. It is in another code page or encoding.",
                {m_codePage.name(), number(m_dictionary.Unmappable)}));
        if (m_use.NoLetter > 0)
            throw EConvertError(TranslateWith(
                "The dictionary holds no word with a letter (%1), and the plan brings in letters only.",
                {DroppedText()}));
        throw EConvertError(TranslateWith("The dictionary is empty: it holds no word to plan lessons with.", {}));
    }
    if (m_dictionary.Unmappable > words)
        throw EConvertError(TranslateWith(
            "The dictionary is not in the code page %1: %2 of its %3 words hold a character the code page lacks. "
            "Choose the code page of its language, or the encoding it is written in.",
            {m_codePage.name(), number(m_dictionary.Unmappable), number(words + m_dictionary.Unmappable)}));
}

TCoursePlan::~TCoursePlan() = default;

uint8_t TCoursePlan::fold(uint8_t c) const
{
    return m_caseSensitive ? c : m_codePage.lower(c);
}

std::string TCoursePlan::Utf8(std::string_view bytes) const
{
    std::string out;
    for (const char c : bytes)
        AppendUtf8(out, m_codePage.toUnicode(uint8_t(c)));
    return out;
}

void TCoursePlan::readKeyboard(const TKeyLayout &layout)
{
    const int rowCount = int(layout.Rows.size());
    if (m_options.HomeRow >= 0) {
        if (m_options.HomeRow >= rowCount)
            throw EConvertError(TranslateWith("The keyboard has no row %1 to be the home row: it has %2 rows.",
                                              {number(uint64_t(m_options.HomeRow) + 1), number(uint64_t(rowCount))}));
        m_homeRow = m_options.HomeRow;
    } else {
        m_homeRow = layout.HomeRow();
        if (m_homeRow < 0)
            throw EConvertError(TranslateWith(
                "The keyboard has no row that can be the home row: no row of keys holds three letters or "
                "more (the keys' positions decide the rows).",
                {}));
    }
    const std::vector<int> &home = layout.Rows[size_t(m_homeRow)];

    // The home keys: for each hand the four adjacent keys typed by the
    // little, ring, middle and index finger in that order; where a hand has
    // no such run, the key of each finger nearest that hand's other fingers.
    std::array<int, Fingers::kCount> homeKey;
    homeKey.fill(-1);
    const auto findRun = [&](const std::array<int32_t, 4> &fingers) {
        for (size_t i = 0; i + 4 <= home.size(); ++i) {
            bool run = true;
            for (size_t j = 0; j < 4 && run; ++j)
                run = layout.Keys[size_t(home[i + j])].Finger == fingers[j];
            if (run) {
                for (size_t j = 0; j < 4; ++j)
                    homeKey[size_t(fingers[j])] = home[i + j];
                return true;
            }
        }
        return false;
    };
    const bool leftRun = findRun({Fingers::LLittle, Fingers::LRing, Fingers::LMiddle, Fingers::LIndex});
    const bool rightRun = findRun({Fingers::RIndex, Fingers::RMiddle, Fingers::RRing, Fingers::RLittle});
    bool anyFingerKey = false;
    for (int k : home) {
        const TLayoutKey &key = layout.Keys[size_t(k)];
        if (layout.CharAt(k, TKeyLevel::Plain) <= ' ' || key.Finger == Fingers::LThumb ||
            key.Finger == Fingers::RThumb)
            continue;
        anyFingerKey = true;
        const bool left = Fingers::IsLeftHand(key.Finger);
        if ((left && leftRun) || (!left && rightRun))
            continue;
        // Left hand: the index finger's leftmost key, the others' rightmost;
        // the right hand mirrored.
        const bool index = key.Finger == Fingers::LIndex || key.Finger == Fingers::RIndex;
        const bool takeFirst = left == index;
        int &slot = homeKey[size_t(key.Finger)];
        if (slot < 0 || !takeFirst)
            slot = k;
    }
    if (!anyFingerKey)
        throw EConvertError(TranslateWith(
            "The row %1 cannot be the home row: none of its keys types a character with a finger.",
            {number(uint64_t(m_homeRow) + 1)}));

    // Rows: the home row, the row above, the row below, then further out.
    std::vector<int> rowOrder{m_homeRow};
    for (int d = 1; d < rowCount; ++d) {
        if (m_homeRow - d >= 0)
            rowOrder.push_back(m_homeRow - d);
        if (m_homeRow + d < rowCount)
            rowOrder.push_back(m_homeRow + d);
    }
    // Whether a key types characters at all (not a modifier or dead key).
    const auto typing = [&](int key) { return KeyTypes::IsCharType(layout.Keys[size_t(key)].Type); };
    std::vector<int> keyOrder;
    for (int r : rowOrder) {
        const std::vector<int> &row = layout.Rows[size_t(r)];
        // Each finger's keys of the row, left to right.
        std::array<std::vector<int>, Fingers::kCount> byFinger;
        for (int k : row)
            byFinger[size_t(layout.Keys[size_t(k)].Finger)].push_back(k);
        // Each finger's own column first: an index finger's outer key, a
        // little finger's inner key (not the key left of Z on an ISO board),
        // another finger's key nearest its home key; then its other keys,
        // the more frequent character first, of equal ones the nearer.
        for (int f = 0; f < Fingers::kCount; ++f) {
            if (f == Fingers::LThumb || f == Fingers::RThumb)
                continue;
            std::vector<int> &keys = byFinger[size_t(f)];
            std::stable_partition(keys.begin(), keys.end(), typing);
            const auto typingEnd = std::find_if_not(keys.begin(), keys.end(), typing);
            const int typingKeys = int(typingEnd - keys.begin());
            if (typingKeys < 2)
                continue;
            int own = 0; // index into keys
            if (f == Fingers::LLittle || f == Fingers::RIndex) {
                own = typingKeys - 1;
            } else if (f != Fingers::RLittle && f != Fingers::LIndex && homeKey[size_t(f)] >= 0) {
                const int x = centreX(layout.Keys[size_t(homeKey[size_t(f)])]);
                for (int i = 1; i < typingKeys; ++i)
                    if (std::abs(centreX(layout.Keys[size_t(keys[size_t(i)])]) - x) <
                        std::abs(centreX(layout.Keys[size_t(keys[size_t(own)])]) - x))
                        own = i;
            }
            std::rotate(keys.begin(), keys.begin() + own, keys.begin() + own + 1);
            const int ownX = centreX(layout.Keys[size_t(keys.front())]);
            const auto weight = [&](int k) { return m_charWeight[fold(layout.CharAt(k, TKeyLevel::Plain))]; };
            std::stable_sort(keys.begin() + 1, keys.begin() + typingKeys, [&](int a, int b) {
                if (weight(a) != weight(b))
                    return weight(a) > weight(b);
                return std::abs(centreX(layout.Keys[size_t(a)]) - ownX) < std::abs(centreX(layout.Keys[size_t(b)]) - ownX);
            });
        }
        // First each finger's nearest key, pair by pair from the index
        // fingers out; then the fingers' other keys (the index fingers'
        // inner keys first); the thumbs last.
        for (const auto &pair : kPairs)
            for (int32_t f : pair)
                if (!byFinger[size_t(f)].empty())
                    keyOrder.push_back(byFinger[size_t(f)].front());
        for (const auto &pair : kPairs)
            for (int32_t f : pair)
                for (size_t i = 1; i < byFinger[size_t(f)].size(); ++i)
                    keyOrder.push_back(byFinger[size_t(f)][i]);
        for (int32_t f : {Fingers::LThumb, Fingers::RThumb})
            for (int k : byFinger[size_t(f)])
                keyOrder.push_back(k);
    }

    for (int k : home)
        if (const uint8_t c = layout.CharAt(k, TKeyLevel::Plain); c > ' ' && typing(k))
            m_homeChars += char(c);

    std::array<bool, 256> seen{};
    const auto take = [&](int key, uint8_t code, int level, const char *levelName) {
        const TLayoutKey &k = layout.Keys[size_t(key)];
        if (code == 0 || !m_codePage.defined(code)) {
            m_unheld.push_back({TranslateWith("key %1 (%2)", {Utf8(k.Name), levelName}),
                                TranslateWith("not in the code page %1", {m_codePage.name()})});
            return;
        }
        if (code <= ' ' || seen[fold(code)])
            return;
        seen[fold(code)] = true;
        if (!planned(code)) {
            m_nonLetters.push_back({Utf8(std::string(1, char(code))), TranslateWith("not a letter", {})});
            return;
        }
        m_candidates += char(code);
        m_candidateLevel.push_back(level);
    };
    for (int k : keyOrder)
        if (typing(k))
            for (const TLayoutChar &c : layout.Chars)
                if (c.Key == k && !c.Shift && !c.AltGr && c.Accent == 0) {
                    take(k, c.Code, kLevelPlain, "plain");
                    break;
                }
    if (m_options.Shift)
        for (int k : keyOrder)
            if (typing(k))
                for (const TLayoutChar &c : layout.Chars)
                    if (c.Key == k && c.Shift && !c.AltGr && c.Accent == 0) {
                        take(k, c.Code, kLevelShift, "Shift");
                        break;
                    }
    if (m_options.AltGr)
        for (bool shift : {false, true}) {
            if (shift && !m_options.Shift)
                break;
            for (int k : keyOrder)
                if (typing(k))
                    for (const TLayoutChar &c : layout.Chars)
                        if (c.Key == k && c.Shift == shift && c.AltGr && c.Accent == 0) {
                            take(k, c.Code, kLevelAltGr, shift ? "Shift+AltGr" : "AltGr");
                            break;
                        }
        }
    if (m_options.Dead)
        for (int k : keyOrder)
            for (const TLayoutChar &c : layout.Chars)
                if (c.Key == k && c.Accent != 0 && (m_options.Shift || !c.Shift) && (m_options.AltGr || !c.AltGr))
                    take(k, c.Code, kLevelDead, "dead key");
    for (const uint8_t c : m_candidates)
        m_keyboardChars[c] = true;

    // The number row: two rows above the home row.
    if (m_homeRow >= 2)
        for (int k : layout.Rows[size_t(m_homeRow) - 2])
            if (typing(k) && m_letter[layout.CharAt(k, TKeyLevel::Plain)])
                m_numberRowLetters = true;
    if (!m_options.Order)
        m_options.Order = m_numberRowLetters ? TPlanOrder::Mixed : TPlanOrder::Keyboard;
}

void TCoursePlan::gatherEntries()
{
    // The words folded into one arena and made distinct through an
    // open-addressing table of entry numbers (a million words: no node per word).
    m_charWeight.assign(256, 0);
    m_weight = 0;
    const size_t n = m_dictionary.Words.size();
    size_t bytes = 0;
    for (const std::string &w : m_dictionary.Words)
        bytes += w.size();
    m_distinct.clear();
    m_distinct.reserve(n);
    size_t capacity = 16;
    while (capacity < 2 * n)
        capacity <<= 1;
    // A bucket: the entry number (from 1) in the low half, the hash's top
    // bits in the high half, so most probes never touch an entry.
    std::vector<uint64_t> buckets(capacity, 0);
    const size_t mask = capacity - 1;
    std::array<uint8_t, 256> folding;
    for (int c = 0; c < 256; ++c)
        folding[size_t(c)] = fold(uint8_t(c));
    // First every word folded into the arena with its hash; then the table,
    // each bucket fetched ahead of its probe (the table is far larger than
    // the caches).
    // A blank line is no word; with letters only, an entry is planned
    // without the characters around it that are neither letters nor digits,
    // and one without a letter is no word.
    std::vector<uint64_t> hashes(n);
    std::vector<size_t> offsets(n);
    std::vector<uint32_t> lengths(n, 0);
    m_use = TPlanDictionaryUse();
    m_arena.resize(bytes);
    char *const arena = m_arena.data();
    size_t at = 0;
    for (size_t i = 0; i < n; ++i) {
        std::string_view w = m_dictionary.Words[i];
        offsets[i] = at;
        if (std::all_of(w.begin(), w.end(), [](char c) { return c == ' ' || c == '\t'; })) {
            ++m_use.Blank;
            continue;
        }
        if (m_options.LettersOnly) {
            while (!w.empty() && !m_letterOrDigit[uint8_t(w.front())])
                w.remove_prefix(1);
            while (!w.empty() && !m_letterOrDigit[uint8_t(w.back())])
                w.remove_suffix(1);
            if (std::none_of(w.begin(), w.end(), [&](char c) { return m_letter[uint8_t(c)]; })) {
                ++m_use.NoLetter;
                continue;
            }
        }
        lengths[i] = uint32_t(w.size());
        uint64_t hash = 1469598103934665603ull;
        for (const char ch : w) {
            const uint8_t c = folding[uint8_t(ch)];
            arena[at++] = char(c);
            hash = (hash ^ c) * 1099511628211ull;
        }
        hashes[i] = hash;
    }
    const auto home = [&](uint64_t hash) { return size_t(hash ^ (hash >> 29)) & mask; };
    constexpr size_t kAhead = 16;
    for (size_t i = 0; i < n; ++i) {
        if (i + kAhead < n)
            __builtin_prefetch(&buckets[home(hashes[i + kAhead])]);
        const size_t length = lengths[i];
        if (length == 0)
            continue;
        const uint64_t count = m_dictionary.Counts[i];
        m_use.Entries += 1;
        m_weight += count;
        const uint64_t hash = hashes[i];
        const std::string_view folded(arena + offsets[i], length);
        const uint64_t tag = (hash >> 32) << 32;
        size_t slot = home(hash);
        uint32_t found = 0;
        for (; buckets[slot] != 0; slot = (slot + 1) & mask) {
            if ((buckets[slot] & 0xFFFFFFFF00000000ull) != tag)
                continue;
            const Entry &e = m_distinct[uint32_t(buckets[slot]) - 1];
            if (e.length == length && std::string_view(arena + e.offset, e.length) == folded) {
                found = uint32_t(buckets[slot]);
                break;
            }
        }
        if (found != 0) {
            Entry &e = m_distinct[found - 1];
            e.entries += 1;
            e.weight += count;
            continue;
        }
        m_distinct.push_back({offsets[i], uint32_t(length), 1, count});
        buckets[slot] = tag | uint64_t(m_distinct.size());
    }
    for (const Entry &e : m_distinct)
        for (size_t k = 0; k < e.length; ++k)
            m_charWeight[uint8_t(m_arena[e.offset + k])] += e.weight;
    // Coverage is a share of every occurrence the dictionary holds, those of
    // the lines not in the code page included.
    m_use.NotInCodePage = m_dictionary.Unmappable;
    m_weight += m_dictionary.UnmappableOccurrences;
    m_use.Occurrences = m_weight;
}

void TCoursePlan::Make()
{
    // Only characters some word uses are brought in.
    std::string kept;
    std::vector<int> keptLevel;
    for (size_t i = 0; i < m_candidates.size(); ++i)
        if (m_charWeight[fold(uint8_t(m_candidates[i]))] > 0) {
            kept += m_candidates[i];
            keptLevel.push_back(m_candidateLevel[i]);
        }

    // A keyboard that types no word at all is no keyboard for this dictionary.
    std::array<bool, 256> typeable{};
    for (const uint8_t c : kept)
        typeable[fold(c)] = true;
    bool anyWord = false;
    std::array<uint64_t, 256> missing{};
    for (const Entry &e : m_distinct) {
        bool all = true;
        for (const char c : std::string_view(m_arena.data() + e.offset, e.length))
            if (!typeable[uint8_t(c)]) {
                all = false;
                missing[uint8_t(c)] += e.weight;
            }
        if (all) {
            anyWord = true;
            break;
        }
    }
    if (!anyWord) {
        std::vector<int> top;
        for (int c = 0; c < 256; ++c)
            if (missing[size_t(c)] > 0)
                top.push_back(c);
        std::stable_sort(top.begin(), top.end(), [&](int a, int b) { return missing[size_t(a)] > missing[size_t(b)]; });
        std::string lacking;
        for (size_t i = 0; i < top.size() && i < 8; ++i)
            lacking += Utf8(std::string(1, char(top[i])));
        throw EConvertError(TranslateWith(
            "The keyboard types no word of the dictionary: its words use characters the keyboard's chosen "
            "levels lack (%1). Is the dictionary in another code page than %2, or for another language?",
            {lacking, m_codePage.name()}));
    }

    std::string order = kept;
    if (m_options.Order == TPlanOrder::Mixed) {
        // The home row's characters in keyboard order (the candidates'
        // order), then the others by frequency within each level.
        std::vector<size_t> home, rest;
        for (size_t i = 0; i < kept.size(); ++i)
            (keptLevel[i] == kLevelPlain && m_homeChars.find(kept[i]) != std::string::npos ? home : rest).push_back(i);
        std::stable_sort(rest.begin(), rest.end(), [&](size_t a, size_t b) {
            if (keptLevel[a] != keptLevel[b])
                return keptLevel[a] < keptLevel[b];
            return m_charWeight[fold(uint8_t(kept[a]))] > m_charWeight[fold(uint8_t(kept[b]))];
        });
        order.clear();
        for (size_t i : home)
            order += kept[i];
        for (size_t i : rest)
            order += kept[i];
    } else if (m_options.Order == TPlanOrder::Frequency) {
        // Most frequent first within each level; the first lesson takes the
        // most frequent home-row characters, so it has words from the start.
        std::vector<size_t> idx(kept.size());
        for (size_t i = 0; i < idx.size(); ++i)
            idx[i] = i;
        const auto weight = [&](size_t i) { return m_charWeight[fold(uint8_t(kept[i]))]; };
        std::stable_sort(idx.begin(), idx.end(), [&](size_t a, size_t b) {
            if (keptLevel[a] != keptLevel[b])
                return keptLevel[a] < keptLevel[b];
            return weight(a) > weight(b);
        });
        order.clear();
        std::string first;
        for (size_t i : idx)
            if (first.size() < size_t(m_options.PerLesson) && keptLevel[i] == kLevelPlain &&
                m_homeChars.find(kept[i]) != std::string::npos)
                first += kept[i];
        order = first;
        for (size_t i : idx)
            if (first.find(kept[i]) == std::string::npos)
                order += kept[i];
    }

    m_lessons.clear();
    for (size_t i = 0; i < order.size(); i += size_t(m_options.PerLesson)) {
        TPlanLesson l;
        l.New = order.substr(i, size_t(m_options.PerLesson));
        m_lessons.push_back(std::move(l));
    }
    Recount();
}

void TCoursePlan::MergeWithNext(int lesson)
{
    if (lesson < 0 || lesson + 1 >= int(m_lessons.size()))
        throw EListError(TranslateWith("There is no lesson after lesson %1 to merge with.", {number(uint64_t(lesson) + 1)}));
    m_lessons[size_t(lesson)].New += m_lessons[size_t(lesson) + 1].New;
    m_lessons.erase(m_lessons.begin() + lesson + 1);
    Recount();
}

bool TCoursePlan::MoveChar(uint8_t c, int lesson)
{
    if (lesson < 0 || lesson >= int(m_lessons.size()))
        throw EListError(TranslateWith("There is no lesson %1.", {number(uint64_t(lesson) + 1)}));
    std::vector<std::string> news;
    bool found = false;
    for (const TPlanLesson &l : m_lessons) {
        std::string n = l.New;
        if (const size_t at = n.find(char(c)); at != std::string::npos) {
            n.erase(at, 1);
            found = true;
        }
        news.push_back(std::move(n));
    }
    if (!found)
        return false;
    news[size_t(lesson)] += char(c);
    SetLessons(news);
    return true;
}

void TCoursePlan::SetLessons(const std::vector<std::string> &newChars)
{
    std::array<bool, 256> seen{};
    std::vector<TPlanLesson> lessons;
    for (const std::string &n : newChars) {
        TPlanLesson l;
        for (const char ch : n) {
            const uint8_t c = uint8_t(ch);
            if (c <= ' ')
                continue;
            if (!planned(c))
                throw EConvertError(TranslateWith(
                    "\"%1\" is no letter: the plan brings in letters only (untick \"Letters only\" for every "
                    "character).",
                    {Utf8(std::string(1, ch))}));
            if (!m_keyboardChars[c])
                throw EConvertError(TranslateWith("\"%1\" is no character of the keyboard's chosen levels.",
                                                  {Utf8(std::string(1, ch))}));
            if (seen[c])
                continue;
            seen[c] = true;
            l.New += ch;
        }
        if (!l.New.empty())
            lessons.push_back(std::move(l));
    }
    m_lessons = std::move(lessons);
    Recount();
}

void TCoursePlan::Recount()
{
    const size_t n = m_lessons.size();
    std::array<int, 256> lessonOf;
    lessonOf.fill(-1);
    std::string cumulative;
    for (size_t k = 0; k < n; ++k) {
        TPlanLesson &l = m_lessons[k];
        for (const char c : l.New)
            if (lessonOf[fold(uint8_t(c))] < 0)
                lessonOf[fold(uint8_t(c))] = int(k);
        cumulative += l.New;
        l.String = cumulative;
        l.Words = l.Distinct = 0;
        l.Coverage = 0;
        l.Warnings.clear();
    }

    std::vector<uint64_t> weight(n, 0);
    std::vector<std::array<bool, 256>> used(n);
    for (auto &u : used)
        u.fill(false);
    // Where a lesson's words need one later character only: the words the
    // lesson would gain with it, by (character of the lesson, later character);
    // each brought-in character has a slot of 256 counters.
    std::array<int, 256> slotOf;
    slotOf.fill(-1);
    int slotCount = 0;
    for (int c = 0; c < 256; ++c)
        if (lessonOf[size_t(c)] >= 0)
            slotOf[size_t(c)] = slotCount++;
    std::vector<uint64_t> gain(size_t(slotCount) * 256, 0);
    std::array<size_t, 256> seenIn{}; // the entry (from 1) that last counted a character
    size_t entryNo = 0;
    const char *const arena = m_arena.data();
    for (const Entry &e : m_distinct) {
        ++entryNo;
        const uint8_t *const word = reinterpret_cast<const uint8_t *>(arena + e.offset);
        const uint8_t *const end = word + e.length;
        int top = -1, second = -1;
        uint8_t topChar = 0;
        bool topUnique = true, typeable = true;
        for (const uint8_t *p = word; p != end; ++p) {
            const int l = lessonOf[*p];
            if (l < 0) {
                typeable = false;
                break;
            }
            if (l > top) {
                second = top;
                top = l;
                topChar = *p;
                topUnique = true;
            } else if (l == top) {
                if (*p != topChar)
                    topUnique = false;
            } else if (l > second) {
                second = l;
            }
        }
        if (!typeable)
            continue;
        weight[size_t(top)] += e.weight;
        const int64_t length = int64_t(e.length);
        if (length < m_options.MinLength || length > m_options.MaxLength)
            continue;
        TPlanLesson &lesson = m_lessons[size_t(top)];
        lesson.Words += e.entries;
        lesson.Distinct += 1;
        std::array<bool, 256> &usedHere = used[size_t(top)];
        for (const uint8_t *p = word; p != end; ++p)
            if (lessonOf[*p] == top)
                usedHere[*p] = true;
        if (topUnique && second >= 0) {
            for (const uint8_t *p = word; p != end; ++p)
                if (lessonOf[*p] == second && seenIn[*p] != entryNo) {
                    seenIn[*p] = entryNo;
                    gain[size_t(slotOf[*p]) * 256 + topChar] += e.entries;
                }
        }
    }

    uint64_t covered = 0;
    for (size_t k = 0; k < n; ++k) {
        TPlanLesson &l = m_lessons[k];
        covered += weight[k];
        l.Coverage = m_weight > 0 ? double(covered) / double(m_weight) : 0.0;
        bool warned = false;
        if (l.Words < uint64_t(m_options.MinWords)) {
            l.Warnings.push_back(TranslateWith("too few words: %1, fewer than %2",
                                               {number(l.Words), number(uint64_t(m_options.MinWords))}));
            warned = true;
        }
        for (const char c : l.New)
            if (!used[k][fold(uint8_t(c))]) {
                l.Warnings.push_back(TranslateWith("no word of this lesson uses \"%1\"", {Utf8(std::string(1, c))}));
                warned = true;
            }
        if (!warned)
            continue;
        uint16_t best = 0;
        uint64_t bestGain = 0;
        for (const char ch : l.New) {
            const uint8_t c = fold(uint8_t(ch));
            if (lessonOf[c] != int(k))
                continue;
            for (int d = 0; d < 256; ++d)
                if (const uint64_t g = gain[size_t(slotOf[c]) * 256 + size_t(d)]; g > bestGain) {
                    best = uint16_t(c << 8 | d);
                    bestGain = g;
                }
        }
        if (bestGain == 0)
            continue;
        // Name the characters as the lesson and the plan have them.
        const auto shown = [&](uint8_t folded, size_t lesson) {
            for (const char c : m_lessons[lesson].New)
                if (fold(uint8_t(c)) == folded)
                    return std::string(1, c);
            return std::string(1, char(folded));
        };
        const uint8_t mine = uint8_t(best >> 8), later = uint8_t(best & 0xFF);
        const int laterLesson = lessonOf[later];
        l.Warnings.push_back(TranslateWith(bestGain == 1
                                               ? "take \"%1\" together with \"%2\" (lesson %3): %4 more word here"
                                               : "take \"%1\" together with \"%2\" (lesson %3): %4 more words here",
                                           {Utf8(shown(mine, k)), Utf8(shown(later, size_t(laterLesson))),
                                            number(uint64_t(laterLesson) + 1), number(bestGain)}));
    }

    m_leftOut = m_unheld;
    m_leftOut.insert(m_leftOut.end(), m_nonLetters.begin(), m_nonLetters.end());
    for (const char c : m_candidates) {
        if (lessonOf[fold(uint8_t(c))] >= 0)
            continue;
        if (m_charWeight[fold(uint8_t(c))] == 0)
            m_leftOut.push_back({Utf8(std::string(1, c)), TranslateWith("no word of the dictionary uses it", {})});
        else
            m_leftOut.push_back({Utf8(std::string(1, c)), TranslateWith("in no lesson", {})});
    }
}

void TCoursePlan::SetLimits(int minWords, int minLength, int maxLength)
{
    m_options.MinWords = std::max(0, minWords);
    m_options.MinLength = minLength;
    m_options.MaxLength = maxLength;
}

std::string DrillChars(const TKeyLayout &layout, TDrillKind kind, int which, std::string_view only)
{
    std::string chars;
    const auto add = [&](int key) {
        const TLayoutKey &k = layout.Keys[size_t(key)];
        if (!KeyTypes::IsCharType(k.Type))
            return;
        const uint8_t c = layout.CharAt(key, TKeyLevel::Plain);
        if (c <= ' ' || chars.find(char(c)) != std::string::npos)
            return;
        if (!only.empty() && only.find(char(c)) == std::string_view::npos)
            return;
        chars += char(c);
    };
    if (kind == TDrillKind::Row) {
        if (which >= 0 && which < int(layout.Rows.size()))
            for (int k : layout.Rows[size_t(which)])
                add(k);
        return chars;
    }
    // Finger and hand: row by row from the top, each left to right.
    for (const std::vector<int> &row : layout.Rows)
        for (int k : row) {
            const int32_t f = layout.Keys[size_t(k)].Finger;
            if (kind == TDrillKind::Finger ? f == which : Fingers::IsLeftHand(f) == (which == 0))
                add(k);
        }
    return chars;
}

std::vector<std::string> TCoursePlan::Strings() const
{
    std::vector<std::string> strings;
    strings.reserve(m_lessons.size());
    for (const TPlanLesson &l : m_lessons)
        strings.push_back(l.String);
    return strings;
}

std::string TCoursePlan::TableText() const
{
    std::string text = "Lesson  New       Words  Distinct  Coverage  String\n";
    char line[96];
    for (size_t k = 0; k < m_lessons.size(); ++k) {
        const TPlanLesson &l = m_lessons[k];
        std::string shownNew;
        for (const char c : l.New) {
            if (!shownNew.empty())
                shownNew += ' ';
            shownNew += Utf8(std::string(1, c));
        }
        std::snprintf(line, sizeof line, "%6zu  ", k + 1);
        text += line;
        text += shownNew;
        // Pad by characters, not bytes.
        size_t width = 0;
        for (const char c : shownNew)
            width += (uint8_t(c) & 0xC0) != 0x80 ? 1 : 0;
        text.append(width < 8 ? 8 - width : 1, ' ');
        std::snprintf(line, sizeof line, "%7llu  %8llu  %7.1f%%  ", static_cast<unsigned long long>(l.Words),
                      static_cast<unsigned long long>(l.Distinct), l.Coverage * 100.0);
        text += line;
        text += Utf8(l.String);
        text += '\n';
        for (const std::string &w : l.Warnings)
            text += "        ! " + w + "\n";
    }
    if (!m_leftOut.empty()) {
        text += "Left out:\n";
        for (const TPlanLeftOut &o : m_leftOut)
            text += "        " + o.Char + ": " + o.Reason + "\n";
    }
    text += TranslateWith("Order: %1", {OrderCaption(*m_options.Order)});
    if (m_options.Order == TPlanOrder::Mixed && m_numberRowLetters)
        text += TranslateWith(" (the number row types letters)", {});
    text += m_options.LettersOnly ? TranslateWith("; letters only", {}) : TranslateWith("; every character", {});
    text += "\n";
    text += TranslateWith("Dictionary: %1", {DictionaryText()}) + "\n";
    return text;
}

std::string TCoursePlan::DictionaryText() const
{
    std::string text = counted(m_use.Entries, "%1 entry", "%1 entries") + ", " +
                       counted(m_use.Occurrences, "%1 word occurrence", "%1 word occurrences");
    if (const std::string dropped = DroppedText(); !dropped.empty())
        text += "; " + dropped;
    return text;
}

std::string TCoursePlan::DroppedText() const
{
    if (m_use.Dropped() == 0)
        return {};
    std::string kinds;
    const auto add = [&](uint64_t n, const std::string &what) {
        if (n == 0)
            return;
        if (!kinds.empty())
            kinds += ", ";
        kinds += what;
    };
    add(m_use.Blank, TranslateWith("%1 blank", {number(m_use.Blank)}));
    add(m_use.NoLetter, TranslateWith("%1 without a letter", {number(m_use.NoLetter)}));
    add(m_use.NotInCodePage, TranslateWith("%1 with a character the code page %2 lacks",
                                           {number(m_use.NotInCodePage), m_codePage.name()}));
    return TranslateWith(m_use.Dropped() == 1 ? "%1 dictionary line left out: %2"
                                              : "%1 dictionary lines left out: %2",
                         {number(m_use.Dropped()), kinds});
}

const char *TCoursePlan::OrderCaption(TPlanOrder order)
{
    switch (order) {
    case TPlanOrder::Frequency:
        return "Frequency";
    case TPlanOrder::Mixed:
        return "Home row, then frequency";
    case TPlanOrder::Keyboard:
        break;
    }
    return "Keyboard";
}

const char *TCoursePlan::OrderName(TPlanOrder order)
{
    switch (order) {
    case TPlanOrder::Frequency:
        return "frequency";
    case TPlanOrder::Mixed:
        return "mixed";
    case TPlanOrder::Keyboard:
        break;
    }
    return "keyboard";
}

std::string TCoursePlan::Json() const
{
    QJsonArray lessons;
    for (const TPlanLesson &l : m_lessons) {
        QJsonArray warnings;
        for (const std::string &w : l.Warnings)
            warnings.append(QString::fromStdString(w));
        lessons.append(QJsonObject{
            {QStringLiteral("coverage"), l.Coverage},
            {QStringLiteral("distinct"), jsonCount(l.Distinct)},
            {QStringLiteral("new"), QString::fromStdString(Utf8(l.New))},
            {QStringLiteral("string"), QString::fromStdString(Utf8(l.String))},
            {QStringLiteral("warnings"), warnings},
            {QStringLiteral("words"), jsonCount(l.Words)},
        });
    }
    QJsonArray leftOut;
    for (const TPlanLeftOut &o : m_leftOut)
        leftOut.append(QString::fromStdString(o.Char));
    const QJsonObject dictionary{
        {QStringLiteral("blank_lines"), jsonCount(m_use.Blank)},
        {QStringLiteral("entries"), jsonCount(m_use.Entries)},
        {QStringLiteral("no_letter_lines"), jsonCount(m_use.NoLetter)},
        {QStringLiteral("not_in_code_page_lines"), jsonCount(m_use.NotInCodePage)},
        {QStringLiteral("occurrences"), jsonCount(m_use.Occurrences)},
    };
    const QJsonObject root{
        {QStringLiteral("dictionary"), dictionary},
        {QStringLiteral("left_out"), leftOut},
        {QStringLiteral("lessons"), lessons},
        {QStringLiteral("letters_only"), m_options.LettersOnly},
        {QStringLiteral("order"), QString::fromLatin1(OrderName(*m_options.Order))},
    };
    // The keys come in the order of their names, as the format lists them.
    return QJsonDocument(root).toJson(QJsonDocument::Indented).toStdString();
}

} // namespace kf
