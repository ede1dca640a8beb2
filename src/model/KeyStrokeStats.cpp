#include "model/KeyStrokeStats.h"

#include "common/CodePage.h"
#include "common/Errors.h"
#include "common/LibraryErrors.h"
#include "common/Translation.h"
#include "model/KeyCodes.h"
#include "model/KeyLayout.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QString>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <exception>
#include <map>
#include <memory>
#include <sys/stat.h>
#include <thread>

namespace kf {

// ---------------------------------------------------------------------------
// The tally

TTextTally::TTextTally() : m_chars(kSymbols, 0), m_pairs(size_t(kNone + 1) * kSymbols, 0) {}

void TTextTally::add(int symbol, uint64_t times)
{
    m_chars[size_t(symbol)] += times;
    m_pairs[size_t(m_last) * kSymbols + size_t(symbol)] += times;
    if (m_empty) {
        m_empty = false;
        m_first = symbol;
    }
    m_last = symbol;
}

void TTextTally::AddText(std::string_view bytes, const std::vector<UnmappedChar> &unmapped)
{
    const size_t n = bytes.size();
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
        int last = m_last;
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
            ++pairs[size_t(last) * kSymbols + size_t(s)];
            last = s;
        }
        m_last = last;
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

void TTextTally::AddWordRepeated(std::string_view bytes, const std::vector<UnmappedChar> &unmapped, uint64_t times)
{
    if (times == 0)
        return;
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
    // The first time follows what came before; the later times follow the
    // space that ends the word.
    add(symbols[0], 1);
    m_chars[size_t(symbols[0])] += times - 1;
    m_pairs[size_t(symbols.back()) * kSymbols + size_t(symbols[0])] += times - 1;
    for (size_t i = 1; i < symbols.size(); ++i)
        add(symbols[i], times);
}

void TTextTally::EndText()
{
    m_last = kNone;
    m_pendingCr = false;
}

void TTextTally::Append(const TTextTally &later)
{
    if (later.m_empty)
        return;
    for (size_t i = 0; i < m_chars.size(); ++i)
        m_chars[i] += later.m_chars[i];
    for (size_t i = 0; i < m_pairs.size(); ++i)
        m_pairs[i] += later.m_pairs[i];
    for (const auto &[ch, n] : later.m_notInCodePage)
        m_notInCodePage[ch] += n;
    // The later part's first character had no character before it there.
    if (m_last != kNone) {
        --m_pairs[size_t(kNone) * kSymbols + size_t(later.m_first)];
        ++m_pairs[size_t(m_last) * kSymbols + size_t(later.m_first)];
    }
    if (m_empty) {
        m_empty = false;
        m_first = later.m_first;
    }
    m_last = later.m_last;
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
           m_first == other.m_first && m_last == other.m_last && m_empty == other.m_empty;
}

// ---------------------------------------------------------------------------
// Reading text files

namespace {

struct FileCloser {
    void operator()(std::FILE *f) const { std::fclose(f); }
};
using FilePtr = std::unique_ptr<std::FILE, FileCloser>;

FilePtr openText(const std::string &path, uint64_t &size)
{
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0)
        RaiseCannotOpenFile(path, SystemErrorText(errno));
    if (S_ISDIR(st.st_mode))
        RaiseCannotOpenFile(path, IsFolderText());
    FilePtr f(std::fopen(path.c_str(), "rb"));
    if (!f)
        RaiseCannotOpenFile(path, SystemErrorText(errno));
    size = S_ISREG(st.st_mode) ? uint64_t(st.st_size) : 0;
    return f;
}

bool isUtf16(InputEncoding e)
{
    return e == InputEncoding::Utf16LE || e == InputEncoding::Utf16BE;
}

// What reading one stretch of a file found.
struct PartResult {
    enum Status { Ok, Ended, Malformed };
    TTextTally tally;
    Status status = Ok;
    uint64_t errorOffset = 0;
    bool sawHigh = false; // a byte above 127
};

bool hasHighByte(std::string_view block)
{
    for (char c : block)
        if (uint8_t(c) >= 0x80)
            return true;
    return false;
}

// Reads [from, to) of a file (to: the end when 0 and the size is unknown) as
// encoding, where the stretch starts at a character's first byte.
// Dictionary files with counts are read line by line.
class PartReader {
public:
    PartReader(const std::string &path, const CodePage &codePage, const TTextReadOptions &options,
               InputEncoding encoding)
        : m_path(path), m_codePage(codePage), m_options(options), m_encoding(encoding)
    {
    }

    void run(uint64_t from, uint64_t to, bool toEnd, PartResult &result)
    {
        uint64_t size = 0;
        FilePtr f = openText(m_path, size);
        if (from > 0 && fseeko(f.get(), off_t(from), SEEK_SET) != 0)
            RaiseCannotReadFile(m_path, SystemErrorText(errno));
        std::unique_ptr<CodePageDecoder> decoder;
        if (m_encoding != InputEncoding::CodePage) {
            decoder = std::make_unique<CodePageDecoder>(m_codePage, m_encoding);
            decoder->setBaseOffset(from);
        }
        std::string block(std::max<size_t>(m_options.blockSize, 16), '\0');
        std::string out;
        std::vector<UnmappedChar> unmapped;
        uint64_t at = from;
        while (toEnd || at < to) {
            if (m_options.cancel && m_options.cancel->load(std::memory_order_relaxed))
                throw ECancelled(Translate("The count was cancelled."));
            size_t want = block.size();
            if (!toEnd)
                want = size_t(std::min<uint64_t>(want, to - at));
            const size_t got = std::fread(block.data(), 1, want, f.get());
            if (got < want && std::ferror(f.get()))
                RaiseCannotReadFile(m_path, SystemErrorText(errno));
            if (got == 0)
                break;
            at += got;
            if (m_options.progress)
                m_options.progress->fetch_add(got, std::memory_order_relaxed);
            std::string_view data(block.data(), got);
            if (!result.sawHigh)
                result.sawHigh = hasHighByte(data);
            if (!decoder) {
                const void *nul = std::memchr(data.data(), 0, data.size());
                if (nul)
                    data = data.substr(0, size_t(static_cast<const char *>(nul) - data.data()));
                take(data, unmapped, result.tally);
                if (nul) {
                    result.status = PartResult::Ended;
                    break;
                }
                continue;
            }
            out.clear();
            unmapped.clear();
            const CodePageDecoder::Status st = decoder->decode(data, out, unmapped);
            if (st == CodePageDecoder::Malformed) {
                result.status = PartResult::Malformed;
                result.errorOffset = decoder->errorOffset();
                return;
            }
            take(out, unmapped, result.tally);
            if (st == CodePageDecoder::EndOfText) {
                result.status = PartResult::Ended;
                break;
            }
        }
        if (decoder && result.status == PartResult::Ok && decoder->finish() == CodePageDecoder::Malformed) {
            result.status = PartResult::Malformed;
            result.errorOffset = decoder->errorOffset();
            return;
        }
        if (m_options.wordCounts)
            endLine(result.tally);
    }

private:
    void take(std::string_view text, const std::vector<UnmappedChar> &unmapped, TTextTally &tally)
    {
        if (!m_options.wordCounts) {
            tally.AddText(text, unmapped);
            return;
        }
        size_t u = 0;
        for (size_t i = 0; i < text.size(); ++i) {
            if (u < unmapped.size() && unmapped[u].at == i) {
                m_lineUnmapped.push_back({m_line.size(), unmapped[u].ch});
                m_line += '?';
                ++u;
                continue;
            }
            const char c = text[i];
            if (c == '\r' || c == '\n')
                endLine(tally);
            else
                m_line += c;
        }
    }

    // A line "word TAB count": the word, count times.
    void endLine(TTextTally &tally)
    {
        if (!m_line.empty()) {
            const size_t tab = m_line.find('\t');
            const std::string_view word = std::string_view(m_line).substr(0, tab);
            uint64_t times = 1;
            if (tab != std::string::npos) {
                uint64_t n = 0;
                bool digits = false;
                for (size_t i = tab + 1; i < m_line.size(); ++i) {
                    const char c = m_line[i];
                    if (c >= '0' && c <= '9') {
                        digits = true;
                        n = n > (UINT64_MAX - 9) / 10 ? UINT64_MAX : n * 10 + uint64_t(c - '0');
                    } else if (c != ' ' && c != '\t') {
                        digits = false;
                        break;
                    }
                }
                if (digits)
                    times = n;
            }
            if (!word.empty()) {
                std::vector<UnmappedChar> inWord;
                for (const UnmappedChar &c : m_lineUnmapped)
                    if (c.at < word.size())
                        inWord.push_back(c);
                tally.AddWordRepeated(word, inWord, times);
            }
        }
        m_line.clear();
        m_lineUnmapped.clear();
    }

    const std::string &m_path;
    const CodePage &m_codePage;
    const TTextReadOptions &m_options;
    InputEncoding m_encoding;
    std::string m_line;
    std::vector<UnmappedChar> m_lineUnmapped;
};

// Where a file is cut for two readers: just after a line feed near the
// middle (so neither a character nor a CR LF is cut); 0: no such place.
uint64_t findCut(const std::string &path, uint64_t start, uint64_t size, InputEncoding encoding, size_t window)
{
    uint64_t mid = start + (size - start) / 2;
    const bool wide = isUtf16(encoding);
    if (wide && (mid - start) % 2)
        ++mid;
    uint64_t dummy = 0;
    FilePtr f = openText(path, dummy);
    if (fseeko(f.get(), off_t(mid), SEEK_SET) != 0)
        return 0;
    std::string buf(window, '\0');
    const size_t got = std::fread(buf.data(), 1, buf.size(), f.get());
    for (size_t i = 0; i < got; i += wide ? 2 : 1) {
        if (!wide) {
            if (buf[i] == '\n')
                return mid + i + 1;
        } else if (i + 1 < got) {
            const bool le = encoding == InputEncoding::Utf16LE;
            const uint8_t lo = uint8_t(buf[le ? i : i + 1]), hi = uint8_t(buf[le ? i + 1 : i]);
            if (lo == '\n' && hi == 0)
                return mid + i + 2;
        }
    }
    return 0;
}

bool asciiSame(const CodePage &codePage)
{
    for (int b = 1; b < 0x80; ++b)
        if (codePage.toUnicode(uint8_t(b)) != char16_t(b))
            return false;
    return true;
}

} // namespace

InputEncoding ReadTextFile(const std::string &path, const CodePage &codePage, const TTextReadOptions &options,
                           TTextTally &tally)
{
    uint64_t size = 0;
    ByteOrderMark bom;
    {
        FilePtr f = openText(path, size);
        char head[4] = {};
        const size_t got = std::fread(head, 1, sizeof head, f.get());
        if (got < sizeof head && std::ferror(f.get()))
            RaiseCannotReadFile(path, SystemErrorText(errno));
        bom = DetectByteOrderMark(std::string_view(head, got));
    }
    InputEncoding encoding = options.encoding;
    uint64_t start = 0;
    bool speculative = false;
    if (encoding == InputEncoding::Auto) {
        if (bom.encoding != InputEncoding::Auto) {
            encoding = bom.encoding;
            start = bom.length;
        } else {
            encoding = InputEncoding::Utf8;
            speculative = true;
        }
    } else if (bom.encoding == encoding) {
        start = bom.length;
    }

    const bool split = !options.wordCounts && options.threads >= 2 &&
                       size >= start + options.splitFrom && size > 0;
    const uint64_t cut = split ? findCut(path, start, size, encoding, options.blockSize) : 0;

    const auto readAs = [&](InputEncoding as, PartResult &a, PartResult &b) {
        if (cut == 0) {
            PartReader(path, codePage, options, as).run(start, 0, true, a);
            return;
        }
        std::exception_ptr failed;
        std::thread second([&] {
            try {
                PartReader(path, codePage, options, as).run(cut, 0, true, b);
            } catch (...) {
                failed = std::current_exception();
            }
        });
        try {
            PartReader(path, codePage, options, as).run(start, cut, false, a);
        } catch (...) {
            second.join();
            throw;
        }
        second.join();
        if (failed)
            std::rethrow_exception(failed);
    };

    auto a = std::make_unique<PartResult>();
    auto b = std::make_unique<PartResult>();
    readAs(encoding, *a, *b);
    // The second half counts only when the first did not end the text.
    const bool useB = cut != 0 && a->status == PartResult::Ok;
    const bool malformed = a->status == PartResult::Malformed || (useB && b->status == PartResult::Malformed);
    const bool sawHigh = a->sawHigh || (useB && b->sawHigh);
    if (speculative && (malformed || (!sawHigh && !asciiSame(codePage)))) {
        // Not UTF-8 after all (or only ASCII where the code page differs from
        // it): the code page, read again.
        encoding = InputEncoding::CodePage;
        a = std::make_unique<PartResult>();
        b = std::make_unique<PartResult>();
        readAs(encoding, *a, *b);
    } else if (malformed) {
        const uint64_t offset = a->status == PartResult::Malformed ? a->errorOffset : b->errorOffset;
        throw EConvertError(MalformedTextMessage(path, encoding, offset));
    } else if (speculative && !sawHigh) {
        encoding = InputEncoding::CodePage; // ASCII only: the same either way
    }
    tally.Append(a->tally);
    if (cut != 0 && a->status == PartResult::Ok)
        tally.Append(b->tally);
    tally.EndText();
    return encoding;
}

// ---------------------------------------------------------------------------
// The typing plan

namespace {

class PlanBuilder {
public:
    explicit PlanBuilder(const TKeyLayout &layout)
        : m_layout(layout), m_altGr(layout.ModifierKey(KeyTypes::AltGr)),
          m_lShift(layout.ModifierKey(KeyTypes::LShift)), m_rShift(layout.ModifierKey(KeyTypes::RShift))
    {
    }

    // The Shift key for a key: that of the other hand; -1: none.
    int shiftFor(int key) const
    {
        const bool left = Fingers::IsLeftHand(m_layout.Keys[size_t(key)].Finger);
        const int preferred = left ? m_rShift : m_lShift, other = left ? m_lShift : m_rShift;
        return preferred >= 0 ? preferred : other;
    }

    // The presses of a key at a level; false when a modifier is missing.
    bool press(int key, bool shift, bool altGr, bool modifier, std::vector<TKeyPress> &out) const
    {
        if (shift) {
            const int s = shiftFor(key);
            if (s < 0)
                return false;
            out.push_back({s, true});
        }
        if (altGr) {
            if (m_altGr < 0)
                return false;
            out.push_back({m_altGr, true});
        }
        out.push_back({key, modifier});
        return true;
    }

    // The presses that set an accent; false when no key sets it.
    bool accent(int32_t code, std::vector<TKeyPress> &out) const
    {
        std::vector<TKeyPress> best;
        bool found = false;
        for (size_t k = 0; k < m_layout.Keys.size(); ++k) {
            const TLayoutKey &key = m_layout.Keys[k];
            std::vector<TKeyPress> presses;
            bool ok = false;
            if (key.Type == code)
                ok = press(int(k), false, false, true, presses);
            else if (KeyTypes::IsAccent(key.Type) && key.Type2 == code)
                ok = press(int(k), true, false, true, presses);
            else if (KeyTypes::IsCharType(key.Type) && key.Type2 == code)
                ok = press(int(k), false, true, true, presses);
            if (ok && (!found || presses.size() < best.size())) {
                best = std::move(presses);
                found = true;
            }
        }
        if (found)
            out.insert(out.end(), best.begin(), best.end());
        return found;
    }

    bool row(const TLayoutChar &c, std::vector<TKeyPress> &out) const
    {
        if (c.Key < 0 || c.Code == 0)
            return false;
        if (c.Accent != 0 && !accent(c.Accent, out))
            return false;
        return press(c.Key, c.Shift, c.AltGr, false, out);
    }

private:
    const TKeyLayout &m_layout;
    int m_altGr, m_lShift, m_rShift;
};

} // namespace

TKeyStrokePlan::TKeyStrokePlan(const TKeyLayout &layout)
{
    const PlanBuilder builder(layout);
    std::array<bool, 256> found{};
    for (const TLayoutChar &c : layout.Chars) {
        if (c.Code == '\r' || c.Code == '\n')
            continue; // a line break is the Enter key's
        std::vector<TKeyPress> presses;
        if (!builder.row(c, presses))
            continue;
        std::vector<TKeyPress> &best = m_presses[c.Code];
        if (!found[c.Code] || presses.size() < best.size()) {
            best = std::move(presses);
            found[c.Code] = true;
        }
    }
    for (size_t k = 0; k < layout.Keys.size(); ++k)
        if (layout.Keys[k].Type == KeyTypes::Enter) {
            m_presses[TTextTally::kLineBreak] = {{int(k), false}};
            break;
        }
}

// ---------------------------------------------------------------------------
// The figures

namespace {

bool leftHand(const TKeyLayout &layout, int key)
{
    return Fingers::IsLeftHand(layout.Keys[size_t(key)].Finger);
}

std::string symbolText(int symbol)
{
    return std::string(1, char(uint8_t(symbol)));
}

template <class Item>
void sortByCount(std::vector<Item> &items)
{
    std::stable_sort(items.begin(), items.end(), [](const Item &x, const Item &y) { return x.Count > y.Count; });
}

} // namespace

std::vector<double> TKeyStrokeFigures::KeyUse() const
{
    uint64_t most = 0;
    for (uint64_t n : Keys)
        most = std::max(most, n);
    std::vector<double> use(Keys.size(), 0.0);
    for (size_t i = 0; i < Keys.size(); ++i)
        use[i] = Share(Keys[i], most);
    return use;
}

TKeyStrokeFigures ComputeKeyStrokes(const TKeyLayout &layout, const TTextTally &tally, size_t topPairs)
{
    const TKeyStrokePlan plan(layout);
    TKeyStrokeFigures fig;
    const size_t keyCount = layout.Keys.size();
    fig.Keys.assign(keyCount, 0);
    for (const TLayoutKey &k : layout.Keys)
        fig.KeyNames.push_back(k.Name);

    std::map<std::string, uint64_t> sameFinger; // character pairs
    const auto pair = [&](int k1, int k2, uint64_t n, const std::string &text) {
        fig.Pairs += n;
        const TLayoutKey &a = layout.Keys[size_t(k1)], &b = layout.Keys[size_t(k2)];
        if (a.Finger == b.Finger && k1 != k2) {
            fig.SameFingerPairs += n;
            sameFinger[text] += n;
        }
        if (leftHand(layout, k1) != leftHand(layout, k2))
            fig.AlternatingPairs += n;
    };

    for (int s = 0; s < TTextTally::kSymbols; ++s) {
        const uint64_t n = tally.Count(s);
        if (n == 0)
            continue;
        fig.Characters += n;
        const std::vector<TKeyPress> &presses = plan.Presses(s);
        if (presses.empty()) {
            if (s == TTextTally::kNotInCodePage)
                fig.NotInCodePage += n;
            else {
                fig.NotTypeable += n;
                fig.NotTypeableTop.push_back({symbolText(s), n});
            }
            continue;
        }
        fig.Typed += n;
        for (size_t i = 0; i < presses.size(); ++i) {
            fig.Keys[size_t(presses[i].Key)] += n;
            if (presses[i].Modifier)
                fig.ModifierKeystrokes += n;
            if (i > 0)
                pair(presses[i - 1].Key, presses[i].Key, n, symbolText(s));
        }
    }
    for (int s1 = 0; s1 < 256; ++s1) {
        if (!plan.Typeable(s1) || tally.Count(s1) == 0)
            continue;
        const int last = plan.Presses(s1).back().Key;
        for (int s2 = 0; s2 < 256; ++s2) {
            const uint64_t n = tally.PairCount(s1, s2);
            if (n && plan.Typeable(s2))
                pair(last, plan.Presses(s2).front().Key, n, symbolText(s1) + symbolText(s2));
        }
    }

    bool anyFinger = false;
    uint64_t noRow = 0;
    int keysWithoutRow = 0;
    for (size_t k = 0; k < keyCount; ++k) {
        const TLayoutKey &key = layout.Keys[k];
        anyFinger = anyFinger || key.Finger != 0;
        fig.Keystrokes += fig.Keys[k];
        fig.Fingers[size_t(key.Finger)] += fig.Keys[k];
        fig.Hands[Fingers::IsLeftHand(key.Finger) ? 0 : 1] += fig.Keys[k];
        if (key.Row < 0) {
            noRow += fig.Keys[k];
            if (fig.Keys[k])
                ++keysWithoutRow;
        }
    }
    const int home = layout.HomeRow();
    for (size_t r = 0; r < layout.Rows.size(); ++r) {
        TKeyStrokeFigures::Row row;
        row.Name = "Row " + std::to_string(r + 1);
        row.Home = int(r) == home;
        if (row.Home)
            row.Name += " (home)";
        for (int k : layout.Rows[r])
            row.Keystrokes += fig.Keys[size_t(k)];
        fig.Rows.push_back(row);
    }
    if (noRow > 0)
        fig.Rows.push_back({"No row", noRow, false});

    for (const auto &[text, n] : sameFinger)
        fig.SameFingerTop.push_back({text, n});
    sortByCount(fig.SameFingerTop);
    if (fig.SameFingerTop.size() > topPairs)
        fig.SameFingerTop.resize(topPairs);
    sortByCount(fig.NotTypeableTop);
    std::map<char32_t, uint64_t> lacking(tally.NotInCodePage().begin(), tally.NotInCodePage().end());
    fig.NotInCodePageTop.assign(lacking.begin(), lacking.end());
    std::stable_sort(fig.NotInCodePageTop.begin(), fig.NotInCodePageTop.end(),
                     [](const auto &x, const auto &y) { return x.second > y.second; });

    if (keyCount > 0 && !anyFinger)
        fig.Warnings.push_back(
            Translate("No key has a finger set: every keystroke counts for the left little finger."));
    if (keysWithoutRow > 0)
        fig.Warnings.push_back(TranslateWith("%1 keys pressed lie in no row (they have no size).",
                                             {std::to_string(keysWithoutRow)}));
    return fig;
}

// ---------------------------------------------------------------------------
// JSON and CSV

namespace {

QString charText(const std::string &bytes, const CodePage &codePage)
{
    return codePage.decode(bytes);
}

QString unicodeText(char32_t c)
{
    std::string utf8;
    AppendUtf8(utf8, c);
    return QString::fromStdString(utf8);
}

QJsonObject figuresObject(const TKeyStrokeFigures &f, const CodePage &codePage)
{
    QJsonObject o;
    o.insert("characters", double(f.Characters));
    o.insert("typed", double(f.Typed));
    o.insert("keystrokes", double(f.Keystrokes));
    QJsonArray fingers;
    for (int i = 0; i < Fingers::kCount; ++i)
        fingers.append(f.FingerShare(i));
    o.insert("fingers", fingers);
    o.insert("hands", QJsonArray{f.HandShare(0), f.HandShare(1)});
    QJsonArray rows;
    for (size_t r = 0; r < f.Rows.size(); ++r)
        rows.append(QJsonObject{{"name", QString::fromStdString(f.Rows[r].Name)}, {"share", f.RowShare(r)}});
    o.insert("rows", rows);
    QJsonObject keys;
    for (size_t k = 0; k < f.Keys.size(); ++k) {
        QString name = charText(f.KeyNames[k], codePage);
        // Two keys of one name stay apart.
        for (int n = 2; keys.contains(name); ++n)
            name = charText(f.KeyNames[k], codePage) + QStringLiteral(" #%1").arg(n);
        keys.insert(name, double(f.Keys[k]));
    }
    o.insert("keys", keys);
    o.insert("same_finger", f.SameFinger());
    QJsonArray top;
    for (const auto &p : f.SameFingerTop)
        top.append(QJsonObject{{"pair", charText(p.Text, codePage)}, {"count", double(p.Count)}});
    o.insert("same_finger_top", top);
    o.insert("alternation", f.Alternation());
    o.insert("modifiers", f.ModifierLoad());
    QJsonObject notTypeable;
    for (const auto &c : f.NotTypeableTop)
        notTypeable.insert(charText(c.Text, codePage), double(c.Count));
    o.insert("not_typeable", notTypeable);
    o.insert("not_in_code_page", double(f.NotInCodePage));
    QJsonObject lacking;
    for (const auto &[c, n] : f.NotInCodePageTop)
        lacking.insert(unicodeText(c), double(n));
    o.insert("not_in_code_page_chars", lacking);
    QJsonArray warnings;
    for (const std::string &w : f.Warnings)
        warnings.append(QString::fromStdString(w));
    o.insert("warnings", warnings);
    return o;
}

std::string number(uint64_t n)
{
    return std::to_string(n);
}

std::string share(double x)
{
    char buf[32];
    std::snprintf(buf, sizeof buf, "%.4f", x);
    return buf;
}

std::string signedShare(double x)
{
    char buf[32];
    std::snprintf(buf, sizeof buf, "%+.4f", x);
    return buf;
}

std::string printable(const std::string &bytes, const CodePage &codePage)
{
    std::string out;
    for (char c : bytes) {
        if (c == '\n')
            out += "\\n";
        else if (c == '\t')
            out += "\\t";
        else if (c == ' ')
            out += "\u2423";
        else if (uint8_t(c) < 0x20)
            out += "^" + std::string(1, char(c + 64));
        else
            out += charText(std::string(1, c), codePage).toStdString();
    }
    return out;
}

std::string csvField(const std::string &s)
{
    if (s.find_first_of(",\"\r\n") == std::string::npos)
        return s;
    std::string q = "\"";
    for (char c : s) {
        if (c == '"')
            q += '"';
        q += c;
    }
    return q + '"';
}

} // namespace

std::string KeyStrokesToJson(const TKeyStrokeFigures &figures, const CodePage &codePage)
{
    return QJsonDocument(figuresObject(figures, codePage)).toJson(QJsonDocument::Indented).toStdString();
}

std::string KeyStrokesToJson(const TKeyStrokeFigures &a, const TKeyStrokeFigures &b, const CodePage &codePage)
{
    const QJsonObject root{{"a", figuresObject(a, codePage)}, {"b", figuresObject(b, codePage)}};
    return QJsonDocument(root).toJson(QJsonDocument::Indented).toStdString();
}

std::vector<TKeyStrokeLine> KeyStrokeLines(const TKeyStrokeFigures &a, const TKeyStrokeFigures *b,
                                           const CodePage &codePage)
{
    std::vector<TKeyStrokeLine> lines;
    const auto count = [&](const char *what, auto get) {
        TKeyStrokeLine l{Translate(what), number(get(a)), {}, {}};
        if (b) {
            l.B = number(get(*b));
            const int64_t d = int64_t(get(*b)) - int64_t(get(a));
            l.Difference = (d > 0 ? "+" : "") + std::to_string(d);
        }
        lines.push_back(l);
    };
    const auto ratio = [&](const std::string &what, auto get) {
        TKeyStrokeLine l{what, share(get(a)), {}, {}};
        if (b) {
            l.B = share(get(*b));
            l.Difference = signedShare(get(*b) - get(a));
        }
        lines.push_back(l);
    };
    count("Characters read", [](const TKeyStrokeFigures &f) { return f.Characters; });
    count("Characters typed", [](const TKeyStrokeFigures &f) { return f.Typed; });
    count("Keystrokes", [](const TKeyStrokeFigures &f) { return f.Keystrokes; });
    for (int i = 0; i < Fingers::kCount; ++i)
        ratio(Translate(Fingers::kNames[i].caption), [i](const TKeyStrokeFigures &f) { return f.FingerShare(i); });
    ratio(Translate("Left hand"), [](const TKeyStrokeFigures &f) { return f.HandShare(0); });
    ratio(Translate("Right hand"), [](const TKeyStrokeFigures &f) { return f.HandShare(1); });
    // Rows by name: the two keyboards may have different rows.
    std::vector<std::string> rowNames;
    for (const auto &r : a.Rows)
        rowNames.push_back(r.Name);
    if (b)
        for (const auto &r : b->Rows)
            if (std::find(rowNames.begin(), rowNames.end(), r.Name) == rowNames.end())
                rowNames.push_back(r.Name);
    for (const std::string &name : rowNames)
        ratio(name, [&name](const TKeyStrokeFigures &f) {
            for (size_t r = 0; r < f.Rows.size(); ++r)
                if (f.Rows[r].Name == name)
                    return f.RowShare(r);
            return 0.0;
        });
    ratio(Translate("Same-finger pairs"), [](const TKeyStrokeFigures &f) { return f.SameFinger(); });
    ratio(Translate("Hand alternation"), [](const TKeyStrokeFigures &f) { return f.Alternation(); });
    ratio(Translate("Modifier load"), [](const TKeyStrokeFigures &f) { return f.ModifierLoad(); });
    count("Not typeable", [](const TKeyStrokeFigures &f) { return f.NotTypeable; });
    count("Not in the code page", [](const TKeyStrokeFigures &f) { return f.NotInCodePage; });
    // The most frequent items of each keyboard, each item once, with both
    // counts when comparing.
    const auto listBoth = [&](const char *what, auto list, auto text, auto value) {
        std::vector<std::string> order;
        std::map<std::string, std::pair<uint64_t, uint64_t>> counts;
        const auto take = [&](const auto &items, bool second) {
            for (size_t i = 0; i < std::min<size_t>(items.size(), 20); ++i) {
                const std::string t = text(items[i]);
                if (!counts.count(t))
                    order.push_back(t);
                (second ? counts[t].second : counts[t].first) = value(items[i]);
            }
        };
        take(list(a), false);
        if (b)
            take(list(*b), true);
        // An item listed for one keyboard only may still be counted for the
        // other one, further down its list.
        const auto fill = [&](const auto &items, bool second) {
            for (const auto &item : items) {
                auto it = counts.find(text(item));
                if (it != counts.end())
                    (second ? it->second.second : it->second.first) = value(item);
            }
        };
        fill(list(a), false);
        if (b)
            fill(list(*b), true);
        for (const std::string &t : order) {
            const auto [na, nb] = counts[t];
            TKeyStrokeLine l{TranslateWith(what, {t}), number(na), {}, {}};
            if (b) {
                l.B = number(nb);
                const int64_t d = int64_t(nb) - int64_t(na);
                l.Difference = (d > 0 ? "+" : "") + std::to_string(d);
            }
            lines.push_back(l);
        }
    };
    const auto charItem = [&](const TKeyStrokeFigures::CharCount &c) { return printable(c.Text, codePage); };
    const auto charCount = [](const TKeyStrokeFigures::CharCount &c) { return c.Count; };
    listBoth("Same finger: %1", [](const TKeyStrokeFigures &f) { return f.SameFingerTop; }, charItem, charCount);
    listBoth("Not typeable: %1", [](const TKeyStrokeFigures &f) { return f.NotTypeableTop; }, charItem, charCount);
    listBoth("Not in the code page: %1", [](const TKeyStrokeFigures &f) { return f.NotInCodePageTop; },
             [](const std::pair<char32_t, uint64_t> &c) { return unicodeText(c.first).toStdString(); },
             [](const std::pair<char32_t, uint64_t> &c) { return c.second; });
    return lines;
}

std::string KeyStrokesToCsv(const TKeyStrokeFigures &a, const TKeyStrokeFigures *b, const CodePage &codePage)
{
    std::string out = b ? "Figure,A,B,Difference\r\n" : "Figure,Value\r\n";
    for (const TKeyStrokeLine &l : KeyStrokeLines(a, b, codePage)) {
        out += csvField(l.What) + ',' + csvField(l.A);
        if (b)
            out += ',' + csvField(l.B) + ',' + csvField(l.Difference);
        out += "\r\n";
    }
    return out;
}

} // namespace kf
