#include "words/LessonTexts.h"

#include "common/CodePage.h"
#include "common/Errors.h"
#include "common/Translation.h"
#include "model/KeyCodes.h"
#include "model/KeyLayout.h"
#include "words/CoursePlan.h"

#include <QChar>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonParseError>

#include <algorithm>
#include <cmath>
#include <unordered_map>

namespace kf {

namespace {

enum : uint8_t { kOther = 0, kBlank = 1, kAlnum = 2, kStop = 3 };

// Fewer typeable dictionary entries than this make no word lines.
constexpr size_t kMinWords = 3;
// A lesson bringing more characters than this shows each of them once in
// its drill; a smaller one shows each five times and pairs it.
constexpr size_t kManyNew = 10;
// The known characters each new one is paired with in a drill.
constexpr size_t kPartners = 4;
// The most punctuation marks the punctuation lesson brings in, and the
// share of the most used mark (in hundredths) a mark needs to be one of them.
constexpr size_t kMaxMarks = 10;
constexpr uint64_t kMarkShare = 100;
constexpr int kMinSentenceWords = 3, kMaxSentenceWords = 20;

// A small, fast generator whose sequence is the same on every platform
// (the standard distributions are not).
class SplitMix {
public:
    explicit SplitMix(uint64_t seed) : m_state(seed) {}
    uint64_t next()
    {
        uint64_t z = (m_state += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }
    // Uniform in [0, n); n > 0.
    uint64_t below(uint64_t n) { return uint64_t((unsigned __int128)next() * n >> 64); }

private:
    uint64_t m_state;
};

// Puts blank-separated tokens into lines of at most `width` characters.
class LineFiller {
public:
    LineFiller(std::vector<TLessonLine> &lines, TLessonLineKind kind, size_t width, int sentence = -1)
        : m_lines(lines), m_kind(kind), m_width(width), m_sentence(sentence)
    {
    }
    ~LineFiller() { flush(); }
    void add(std::string_view token)
    {
        if (!m_line.empty() && m_line.size() + 1 + token.size() > m_width)
            flush();
        if (!m_line.empty())
            m_line += ' ';
        m_line += token;
    }
    void flush()
    {
        if (m_line.empty())
            return;
        m_lines.push_back({m_kind, std::move(m_line), m_sentence});
        m_line.clear();
    }

private:
    std::vector<TLessonLine> &m_lines;
    TLessonLineKind m_kind;
    size_t m_width;
    int m_sentence;
    std::string m_line;
};

std::string number(uint64_t n)
{
    return std::to_string(n);
}

} // namespace

const char *LessonLineKindName(TLessonLineKind kind)
{
    switch (kind) {
    case TLessonLineKind::Drill:
        return "drill";
    case TLessonLineKind::Words:
        return "words";
    case TLessonLineKind::Sentence:
        break;
    }
    return "sentence";
}

size_t TLessonText::Count(TLessonLineKind kind) const
{
    return size_t(std::count_if(Lines.begin(), Lines.end(), [&](const TLessonLine &l) { return l.Kind == kind; }));
}

void TLessonOptions::Check() const
{
    if (Length < kMinLength || Length > kMaxLength)
        throw EConvertError(TranslateWith("The length of a lesson must be from %1 to %2 characters, not %3.",
                                          {number(kMinLength), number(kMaxLength), std::to_string(Length)}));
    if (Width < kMinWidth || Width > kMaxWidth)
        throw EConvertError(TranslateWith("The width of a line must be from %1 to %2 characters, not %3.",
                                          {number(kMinWidth), number(kMaxWidth), std::to_string(Width)}));
}

TLessonTexts::TLessonTexts(const CodePage &codePage, const TKeyLayout &layout) : m_codePage(codePage)
{
    for (const TLayoutChar &c : layout.Chars)
        if (c.Code > ' ' && c.Accent == 0 && c.Key >= 0 &&
            KeyTypes::IsCharType(layout.Keys[size_t(c.Key)].Type))
            m_typed[c.Code] = true;
    for (int b = 0; b < 256; ++b) {
        const char16_t u = codePage.toUnicode(uint8_t(b));
        uint8_t cls = kOther;
        if (b <= ' ' || u == 0xA0)
            cls = kBlank;
        else if (b == '.' || b == '!' || b == '?')
            cls = kStop;
        else if (QChar(u).isLetterOrNumber())
            cls = kAlnum;
        m_class[size_t(b)] = cls;
    }
}

TLessonTexts::~TLessonTexts() = default;

std::string TLessonTexts::Utf8(std::string_view bytes) const
{
    std::string out;
    for (const char c : bytes)
        AppendUtf8(out, m_codePage.toUnicode(uint8_t(c)));
    return out;
}

void TLessonTexts::AddText(DecodedText text)
{
    m_hasTexts = true;
    const size_t base = m_corpus.size();
    if (m_corpus.empty())
        m_corpus = std::move(text.bytes);
    else
        m_corpus += text.bytes;
    // How often each byte stands in the texts, in four tables at once.
    std::array<std::array<uint64_t, 256>, 4> uses{};
    const uint8_t *p = reinterpret_cast<const uint8_t *>(m_corpus.data()) + base;
    const size_t n = m_corpus.size() - base;
    size_t i = 0;
    for (; i + 4 <= n; i += 4) {
        ++uses[0][p[i]];
        ++uses[1][p[i + 1]];
        ++uses[2][p[i + 2]];
        ++uses[3][p[i + 3]];
    }
    for (; i < n; ++i)
        ++uses[0][p[i]];
    for (size_t b = 0; b < 256; ++b)
        m_uses[b] += uses[0][b] + uses[1][b] + uses[2][b] + uses[3][b];
    cut(text.unmapped, base);
}

// Cuts the text from base on into sentences: at '.', '!' and '?' (not
// between letters or digits: "3.14") with the marks and closing quotes after
// them, at empty lines and at the text's end. Sentences of 3 to 20 words
// without a character the code page lacks are kept.
void TLessonTexts::cut(const std::vector<UnmappedChar> &unmapped, size_t base)
{
    const uint8_t *const s = reinterpret_cast<const uint8_t *>(m_corpus.data());
    const size_t n = m_corpus.size();
    const uint8_t *const cls = m_class.data();
    size_t nextUnmapped = 0;
    size_t start = std::string::npos;
    int words = 0, newlines = 0;
    bool tokenAlnum = false;
    size_t lastEnd = 0;
    const auto finish = [&](size_t bodyEnd, size_t fullEnd) {
        if (tokenAlnum)
            ++words;
        tokenAlnum = false;
        const size_t from = start;
        const int count = words;
        start = std::string::npos;
        words = 0;
        if (from == std::string::npos || count < kMinSentenceWords || count > kMaxSentenceWords)
            return;
        while (nextUnmapped < unmapped.size() && base + unmapped[nextUnmapped].at < from)
            ++nextUnmapped;
        if (nextUnmapped < unmapped.size() && base + unmapped[nextUnmapped].at < fullEnd)
            return; // a character the code page lacks
        m_sentences.push_back({from, uint32_t(bodyEnd - from), uint32_t(fullEnd - from)});
    };
    for (size_t i = base; i < n;) {
        const uint8_t c = cls[s[i]];
        if (c == kAlnum) {
            // The letters and digits of a word at once.
            if (start == std::string::npos)
                start = i;
            tokenAlnum = true;
            newlines = 0;
            while (++i < n && cls[s[i]] == kAlnum) {
            }
            lastEnd = i;
            continue;
        }
        if (c == kBlank) {
            if (tokenAlnum)
                ++words;
            tokenAlnum = false;
            if (s[i] == '\n' && ++newlines >= 2 && start != std::string::npos)
                finish(lastEnd, lastEnd);
            ++i;
            continue;
        }
        newlines = 0;
        if (start == std::string::npos)
            start = i;
        lastEnd = i + 1;
        if (c == kStop && !(i + 1 < n && cls[s[i + 1]] == kAlnum)) { // not "3.14", "e.g"
            size_t j = i;
            while (j < n && cls[s[j]] != kBlank && cls[s[j]] != kAlnum)
                ++j;
            finish(i, j);
            i = j;
            continue;
        }
        ++i;
    }
    if (start != std::string::npos)
        finish(lastEnd, lastEnd);
}

std::string TLessonTexts::Sentence(int index, bool withClose) const
{
    const Sentence_ &e = m_sentences.at(size_t(index));
    std::string out;
    out.reserve(e.Full);
    bool blank = false;
    for (size_t i = e.Start, end = e.Start + (withClose ? e.Full : e.Body); i < end; ++i) {
        const uint8_t c = uint8_t(m_corpus[i]);
        if (m_class[c] == kBlank) {
            blank = !out.empty();
            continue;
        }
        if (blank)
            out += ' ';
        out += char(c);
        blank = false;
    }
    return out;
}

int TLessonTexts::lessonOfRange(size_t from, size_t to) const
{
    int top = -1;
    for (size_t i = from; i < to; ++i) {
        const uint8_t c = uint8_t(m_corpus[i]);
        if (m_class[c] == kBlank)
            continue;
        const int l = m_lessonOf[c];
        if (l < 0)
            return -1;
        top = std::max(top, l);
    }
    return top;
}

void TLessonTexts::SetPlan(const std::vector<std::string> &newChars, const TPlanDictionary &dictionary)
{
    m_dictionary = &dictionary;
    m_news.clear();
    std::array<bool, 256> in{};
    std::string all;
    for (const std::string &n : newChars) {
        std::string kept;
        for (const char ch : n)
            if (uint8_t(ch) > ' ' && !in[uint8_t(ch)]) {
                in[uint8_t(ch)] = true;
                kept += ch;
            }
        if (!kept.empty()) {
            all += kept;
            m_news.push_back(std::move(kept));
        }
    }
    const auto isLetter = [&](uint8_t c) { return m_class[c] == kAlnum && m_codePage.lower(c) != m_codePage.upper(c); };
    // The capitals of the letters learned, unless the plan brings capitals.
    const bool anyCapital =
        std::any_of(all.begin(), all.end(), [&](char c) { return isLetter(uint8_t(c)) && m_codePage.lower(uint8_t(c)) != uint8_t(c); });
    if (!anyCapital) {
        std::string capitals;
        for (const char ch : all) {
            const uint8_t c = uint8_t(ch), u = m_codePage.upper(c);
            if (isLetter(c) && u != c && m_typed[u] && !in[u]) {
                in[u] = true;
                capitals += char(u);
            }
        }
        if (!capitals.empty()) {
            all += capitals;
            m_news.push_back(std::move(capitals));
        }
    }
    // The marks the texts use most that the keyboard types, unless the plan
    // brings the full stop.
    if (m_hasTexts && !in['.']) {
        std::vector<int> marks;
        for (int c = 0; c < 256; ++c)
            if (m_uses[size_t(c)] > 0 && m_class[size_t(c)] != kBlank && m_class[size_t(c)] != kAlnum &&
                m_typed[size_t(c)] && !in[size_t(c)])
                marks.push_back(c);
        std::stable_sort(marks.begin(), marks.end(), [&](int a, int b) { return m_uses[size_t(a)] > m_uses[size_t(b)]; });
        std::string punctuation;
        for (const int c : marks) {
            if (punctuation.size() >= kMaxMarks || m_uses[size_t(c)] * kMarkShare < m_uses[size_t(marks.front())])
                break;
            in[size_t(c)] = true;
            punctuation += char(c);
        }
        if (!punctuation.empty())
            m_news.push_back(std::move(punctuation));
    }

    const size_t lessons = m_news.size();
    m_lessonOf.fill(-1);
    for (size_t k = 0; k < lessons; ++k)
        for (const char c : m_news[k])
            m_lessonOf[uint8_t(c)] = int(k);

    // The words, ordered by their lesson (a counting sort).
    const std::vector<std::string> &words = m_dictionary->Words;
    std::vector<int> lessonOfWord(words.size(), -1);
    std::vector<size_t> perLesson(lessons + 1, 0);
    for (size_t i = 0; i < words.size(); ++i) {
        // A word holds a letter or a digit ("-" alone is none).
        int top = -1;
        bool alnum = false;
        for (const char ch : words[i]) {
            const int l = m_lessonOf[uint8_t(ch)];
            if (l < 0) {
                top = -1;
                break;
            }
            top = std::max(top, l);
            alnum |= m_class[uint8_t(ch)] == kAlnum;
        }
        if (!alnum)
            top = -1;
        lessonOfWord[i] = top;
        if (top >= 0)
            ++perLesson[size_t(top) + 1];
    }
    for (size_t k = 1; k <= lessons; ++k)
        perLesson[k] += perLesson[k - 1];
    m_wordsEnd.assign(perLesson.begin() + 1, perLesson.end());
    m_wordOrder.assign(lessons ? perLesson[lessons] : 0, 0);
    for (size_t i = 0; i < words.size(); ++i)
        if (lessonOfWord[i] >= 0)
            m_wordOrder[perLesson[size_t(lessonOfWord[i])]++] = uint32_t(i);
    m_wordSum.resize(m_wordOrder.size());
    uint64_t sum = 0;
    for (size_t r = 0; r < m_wordOrder.size(); ++r) {
        const size_t i = m_wordOrder[r];
        // The square root of the count: the most frequent short words come
        // most often without filling the lines.
        const uint64_t count = i < m_dictionary->Counts.size() ? m_dictionary->Counts[i] : 1;
        sum += std::max<uint64_t>(1, uint64_t(std::sqrt(double(count)) * 16.0));
        m_wordSum[r] = sum;
    }

    // The sentences by lesson, each text once (a text may repeat a
    // sentence; only those that can be typed are compared).
    m_byBody.assign(lessons, {});
    m_byFull.assign(lessons, {});
    std::unordered_map<uint64_t, uint32_t> seen;
    for (uint32_t i = 0; i < m_sentences.size(); ++i) {
        const Sentence_ &e = m_sentences[i];
        const int body = lessonOfRange(e.Start, e.Start + e.Body);
        if (body < 0)
            continue;
        const std::string text = Sentence(int(i));
        const uint64_t h = std::hash<std::string>()(text);
        const auto it = seen.find(h);
        if (it != seen.end() && Sentence(int(it->second)) == text)
            continue;
        if (it == seen.end())
            seen.emplace(h, i);
        m_byBody[size_t(body)].push_back(i);
        const int full = lessonOfRange(e.Start + e.Body, e.Start + e.Full);
        if (full > body)
            m_byFull[size_t(full)].push_back(i);
    }
}

std::vector<std::string> TLessonTexts::drillLines(const std::string &news, const std::string &known, int width) const
{
    std::vector<TLessonLine> lines;
    if (news.size() > kManyNew) {
        // Each once, a capital with its small letter when that is known.
        LineFiller fill(lines, TLessonLineKind::Drill, size_t(width));
        for (const char ch : news) {
            std::string token(1, ch);
            const uint8_t small = m_codePage.lower(uint8_t(ch));
            if (small != uint8_t(ch) && known.find(char(small)) != std::string::npos)
                token += char(small);
            fill.add(token);
        }
    } else {
        {
            // "k k k kk": five times each.
            LineFiller fill(lines, TLessonLineKind::Drill, size_t(width));
            for (const char ch : news) {
                const std::string one(1, ch);
                fill.add(one);
                fill.add(one);
                fill.add(one);
                fill.add(one + one);
            }
        }
        // Each paired with the small letters (or digits) learned last, or
        // with the other new characters in a first lesson: a letter before
        // and after it, a capital before a small letter, a mark after one.
        std::string partners;
        for (size_t i = known.size(); i-- > 0 && partners.size() < kPartners;) {
            const uint8_t c = uint8_t(known[i]);
            if (m_class[c] == kAlnum && m_codePage.upper(c) != c)
                partners += char(c);
            else if (m_class[c] == kAlnum && m_codePage.lower(c) == c && m_codePage.upper(c) == c)
                partners += char(c); // a digit, or a letter without case
        }
        const std::string &with = partners.empty() ? news : partners;
        LineFiller fill(lines, TLessonLineKind::Drill, size_t(width));
        for (const char ch : news) {
            const uint8_t c = uint8_t(ch);
            const bool mark = m_class[c] != kAlnum;
            const bool capital = !mark && m_codePage.lower(c) != c;
            // An opening mark comes before a letter, a closing one after it;
            // an initial quote is opening in some languages, closing in others.
            const QChar::Category category = QChar(m_codePage.toUnicode(c)).category();
            const bool before = !mark || category == QChar::Punctuation_Open ||
                                category == QChar::Punctuation_InitialQuote;
            const bool after = !capital && category != QChar::Punctuation_Open;
            for (const char p : with) {
                if (p == ch)
                    continue;
                if (before)
                    fill.add(std::string{ch, p});
                if (after)
                    fill.add(std::string{p, ch});
            }
        }
    }
    std::vector<std::string> out;
    for (TLessonLine &l : lines)
        out.push_back(std::move(l.Text));
    return out;
}

std::vector<TLessonText> TLessonTexts::Make(const TLessonOptions &options) const
{
    options.Check();
    if (!m_dictionary)
        return {};
    SplitMix rng(options.Seed);
    const size_t width = size_t(options.Width);
    const size_t length = size_t(options.Length);
    const std::vector<std::string> &words = m_dictionary->Words;
    std::vector<bool> used(m_sentences.size(), false);
    std::vector<uint32_t> older; // sentences of earlier lessons
    std::vector<TLessonText> out;
    std::string learned;

    // Whether every word of a text fits a line.
    const auto fits = [&](const std::string &text) {
        size_t run = 0;
        for (const char c : text) {
            run = c == ' ' ? 0 : run + 1;
            if (run > width)
                return false;
        }
        return true;
    };
    // A sentence from a pool not used yet that fits, taken out of the pool;
    // -1: none.
    const auto takeFrom = [&](std::vector<uint32_t> &pool) -> int {
        while (!pool.empty()) {
            const size_t at = size_t(rng.below(pool.size()));
            const uint32_t i = pool[at];
            pool[at] = pool.back();
            pool.pop_back();
            if (!used[i])
                return int(i);
        }
        return -1;
    };

    for (size_t k = 0; k < m_news.size(); ++k) {
        TLessonText t;
        t.New = m_news[k];
        const std::string known = learned;
        learned += t.New;
        t.String = learned;

        size_t spent = 0;
        for (std::string &line : drillLines(t.New, known, options.Width)) {
            spent += line.size();
            t.Lines.push_back({TLessonLineKind::Drill, std::move(line), -1});
        }
        const size_t left = length > spent ? length - spent : 0;

        const size_t groupBegin = k ? m_wordsEnd[k - 1] : 0, groupEnd = m_wordsEnd[k];
        const bool wordsOk = groupEnd >= kMinWords;

        // Sentences: those the lesson's characters make typeable first.
        std::vector<TLessonLine> sentenceLines;
        size_t sentenceChars = 0;
        const size_t sentenceTarget = wordsOk ? left / 2 : left;
        std::vector<uint32_t> fresh = m_byBody[k];
        fresh.insert(fresh.end(), m_byFull[k].begin(), m_byFull[k].end());
        while (sentenceChars < sentenceTarget) {
            int i = takeFrom(fresh);
            if (i < 0)
                i = takeFrom(older);
            if (i < 0)
                break;
            const Sentence_ &e = m_sentences[size_t(i)];
            const int full = lessonOfRange(e.Start + e.Body, e.Start + e.Full);
            const std::string text = Sentence(i, full >= 0 && full <= int(k));
            if (!fits(text))
                continue;
            used[size_t(i)] = true;
            sentenceChars += text.size();
            LineFiller fill(sentenceLines, TLessonLineKind::Sentence, width, i);
            size_t from = 0;
            while (from < text.size()) {
                const size_t blank = std::min(text.find(' ', from), text.size());
                fill.add(std::string_view(text).substr(from, blank - from));
                from = blank + 1;
            }
        }
        older.insert(older.end(), m_byBody[k].begin(), m_byBody[k].end());

        // Words, drawn by their counts; every other one holding a new
        // character while the dictionary has such words. A lesson of
        // capitals whose dictionary has no word with them writes every other
        // word with its capital, as a sentence would begin it.
        bool capitalised = false;
        if (wordsOk) {
            const size_t target = left > sentenceChars ? left - sentenceChars : 0;
            const bool capitalise = groupEnd == groupBegin &&
                                    std::any_of(t.New.begin(), t.New.end(), [&](char c) {
                                        return m_class[uint8_t(c)] == kAlnum && m_codePage.lower(uint8_t(c)) != uint8_t(c);
                                    });
            LineFiller fill(t.Lines, TLessonLineKind::Words, width);
            std::string previous;
            size_t chars = 0, drawn = 0, withNew = 0;
            const auto draw = [&](size_t lo, size_t hi) {
                const uint64_t base = lo ? m_wordSum[lo - 1] : 0;
                const uint64_t x = base + rng.below(m_wordSum[hi - 1] - base);
                return size_t(std::upper_bound(m_wordSum.begin() + std::ptrdiff_t(lo),
                                               m_wordSum.begin() + std::ptrdiff_t(hi), x) -
                              m_wordSum.begin());
            };
            while (chars < target) {
                const bool wantNew = withNew * 2 < drawn + 1;
                const bool fromGroup = wantNew && groupEnd > groupBegin;
                std::string word;
                for (int attempt = 0; attempt < 32 && word.empty(); ++attempt) {
                    const size_t at = draw(fromGroup && attempt < 16 ? groupBegin : 0, groupEnd);
                    std::string w = words[m_wordOrder[at]];
                    if (capitalise && wantNew) {
                        const uint8_t up = m_codePage.upper(uint8_t(w[0]));
                        if (up != uint8_t(w[0]) && t.New.find(char(up)) != std::string::npos)
                            w[0] = char(up);
                    }
                    if (w.size() <= width && w != previous)
                        word = std::move(w);
                }
                if (word.empty())
                    break; // only one word, or none that fits a line
                const bool holdsNew = word.find_first_of(t.New) != std::string::npos;
                capitalised |= capitalise && holdsNew;
                fill.add(word);
                chars += word.size() + 1;
                ++drawn;
                withNew += holdsNew ? 1 : 0;
                previous = std::move(word);
            }
        } else {
            t.Warnings.push_back(TranslateWith(
                "too few words: the dictionary has %1 typeable with these characters; drill lines only",
                {number(groupEnd)}));
        }
        if (wordsOk && groupEnd == groupBegin && !capitalised)
            t.Warnings.push_back(TranslateWith("no word of the dictionary holds a new character of this lesson", {}));
        if (m_hasTexts && sentenceLines.empty())
            t.Warnings.push_back(TranslateWith("no sentence of the texts is typeable with these characters", {}));
        for (TLessonLine &l : sentenceLines)
            t.Lines.push_back(std::move(l));
        out.push_back(std::move(t));
    }
    return out;
}

std::string LessonTextsJson(const std::vector<TLessonText> &lessons, const CodePage &codePage)
{
    QJsonArray all;
    for (const TLessonText &l : lessons) {
        QJsonObject o;
        o.insert("new", codePage.decode(l.New));
        o.insert("string", codePage.decode(l.String));
        QJsonArray lines;
        for (const TLessonLine &line : l.Lines)
            lines.append(QJsonObject{{"kind", LessonLineKindName(line.Kind)}, {"text", codePage.decode(line.Text)}});
        o.insert("lines", lines);
        QJsonArray warnings;
        for (const std::string &w : l.Warnings)
            warnings.append(QString::fromStdString(w));
        o.insert("warnings", warnings);
        all.append(o);
    }
    return QJsonDocument(QJsonObject{{"lessons", all}}).toJson(QJsonDocument::Indented).toStdString();
}

std::string LessonTextsText(const std::vector<TLessonText> &lessons, const CodePage &codePage, bool utf8)
{
    std::string out;
    const auto put = [&](std::string_view bytes) {
        if (!utf8) {
            out += bytes;
            return;
        }
        for (const char c : bytes)
            AppendUtf8(out, codePage.toUnicode(uint8_t(c)));
    };
    for (size_t k = 0; k < lessons.size(); ++k) {
        const TLessonText &l = lessons[k];
        if (k)
            out += '\n';
        out += "Lesson " + number(k + 1) + ": ";
        for (size_t i = 0; i < l.New.size(); ++i) {
            if (i)
                out += ' ';
            put(l.New.substr(i, 1));
        }
        out += '\n';
        for (const TLessonLine &line : l.Lines) {
            put(line.Text);
            out += '\n';
        }
    }
    return out;
}

std::vector<std::string> ReadSavedPlan(const std::string &json, const CodePage &codePage, const std::string &name)
{
    QJsonParseError error{};
    const QJsonDocument doc = QJsonDocument::fromJson(QByteArray::fromStdString(json), &error);
    const QJsonValue lessons = doc.object().value("lessons");
    if (error.error != QJsonParseError::NoError || !lessons.isArray() || lessons.toArray().isEmpty())
        throw EConvertError(TranslateWith("\"%1\" is no course plan: it holds no list of lessons.", {name}));
    std::vector<std::string> news;
    int number_ = 0;
    for (const QJsonValue &v : lessons.toArray()) {
        ++number_;
        const QJsonValue chars = v.toObject().value("new");
        if (!chars.isString())
            throw EConvertError(TranslateWith("\"%1\" is no course plan: lesson %2 names no new characters.",
                                              {name, std::to_string(number_)}));
        const QString text = chars.toString();
        if (const QString unheld = codePage.unheldMessage(text); !unheld.isEmpty())
            throw EConvertError(TranslateWith("The plan \"%1\", lesson %2: %3",
                                              {name, std::to_string(number_), unheld.toStdString()}));
        news.push_back(codePage.encode(text));
    }
    return news;
}

} // namespace kf
