#include "words/FileWordScan.h"
#include "words/Utf8OnTrust.h"
#include "common/TextSource.h"
#include "common/CodePage.h"
#include "common/Errors.h"
#include "common/LibraryErrors.h"
#include "common/TextFile.h"

#include <QChar>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <exception>
#include <fcntl.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace kf {

namespace {

constexpr uint64_t kToEnd = TextSource::kToEnd;

bool hasNonAscii(const char *p, size_t n)
{
    uint64_t acc = 0;
    size_t i = 0;
    for (; i + 8 <= n; i += 8) {
        uint64_t v;
        std::memcpy(&v, p + i, 8);
        acc |= v;
    }
    for (; i < n; ++i)
        acc |= uint8_t(p[i]);
    return (acc & 0x8080808080808080ull) != 0;
}

} // namespace

void UnmappableTally::add(const std::string &utf8Word)
{
    ++m_occurrences;
    const auto it = m_words.find(utf8Word);
    if (it != m_words.end())
        ++it->second;
    else if (m_words.size() < kMaxDistinct)
        m_words.emplace(utf8Word, 1);
}

void UnmappableTally::merge(const UnmappableTally &other)
{
    m_occurrences += other.m_occurrences;
    for (const auto &[word, n] : other.m_words) {
        const auto it = m_words.find(word);
        if (it != m_words.end())
            it->second += n;
        else if (m_words.size() < kMaxDistinct)
            m_words.emplace(word, n);
    }
}

void UnmappableTally::clear()
{
    m_words.clear();
    m_occurrences = 0;
}

std::vector<std::pair<std::string, uint32_t>> UnmappableTally::top(size_t limit) const
{
    std::vector<std::pair<std::string, uint32_t>> all(m_words.begin(), m_words.end());
    auto before = [](const std::pair<std::string, uint32_t> &a, const std::pair<std::string, uint32_t> &b) {
        return a.second != b.second ? a.second > b.second : a.first < b.first;
    };
    if (limit < all.size()) {
        std::partial_sort(all.begin(), all.begin() + std::ptrdiff_t(limit), all.end(), before);
        all.resize(limit);
    } else {
        std::sort(all.begin(), all.end(), before);
    }
    return all;
}

// Scans one stretch of a file into a counter: reads it in blocks, turns them
// into code-page bytes when the file is UTF-8 or UTF-16, takes out the words
// holding characters the code page lacks, and splits the rest.
class FileWordScan::Worker {
public:
    Worker(const WordScanSettings &settings, const CodePage &codePage)
        : m_settings(settings), m_codePage(codePage), m_splitter(settings.delimiters, &settings.translate),
          m_buffer(new char[settings.blockSize])
    {
        // Characters the code page lacks stand in the text as a byte that is
        // no delimiter, so that they stay inside their word.
        for (int b = 255; b >= 0; --b) {
            if (!settings.delimiters.contains(uint8_t(b))) {
                m_placeholder = uint8_t(b);
                break;
            }
        }
    }

    // Starts a file: nothing counted apart.
    void beginFile() { m_trust.drop(); }

    // Scans [from, to) (to kToEnd: to the end of the file) into counter, or
    // apart while the file is speculative UTF-8. Returns true when a NUL
    // ended the text. Consecutive stretches of one file may follow.
    bool run(const TextSource &source, EncodingDecision &decision, uint64_t from, uint64_t to, WordCounter &counter,
             const std::string &path)
    {
        m_scanned = 0;
        m_tally.clear();
        m_decoder.reset();
        m_openWord = false;
        WordCounter *target = nullptr;
        uint32_t *scanned = nullptr;
        const auto aim = [&] { // the words go where the trust in UTF-8 says
            target = m_trust.counting() ? &m_trust.counter() : &counter;
            scanned = m_trust.counting() ? &m_trust.scanned() : &m_scanned;
        };
        aim();
        auto sink = [&target, &scanned](const char *key, size_t keyLen, uint64_t len) {
            target->add(key, keyLen, len);
            ++*scanned;
        };
        // The file is the code page after all: back to where the trust in
        // UTF-8 began, to count from there as code-page bytes.
        const auto rollBack = [&] {
            decision.malformed();
            m_decoder.reset();
            m_openWord = false;
            const uint64_t back = m_trust.rollBack(m_splitter);
            aim();
            return back;
        };
        bool ended = false;
        uint64_t off = from;
        for (;;) {
            while (off < to && !ended) {
                const size_t want = size_t(std::min<uint64_t>(m_settings.blockSize, to - off));
                const size_t got = source.readAt(off, m_buffer.get(), want);
                if (got == 0)
                    break;
                const std::string_view block(m_buffer.get(), got);
                int encoding = decision.current();
                if (m_trust.counting() && encoding == int(InputEncoding::CodePage)) {
                    off = rollBack(); // another stretch of the file was malformed
                    continue;
                }
                const size_t nul = block.find('\0');
                if (encoding == EncodingDecision::kUndecided && hasNonAscii(block.data(), std::min(nul, block.size())))
                    encoding = decision.speculate();
                if (encoding == EncodingDecision::kSpeculative && !m_trust.counting()) {
                    m_trust.begin(off, m_splitter);
                    aim();
                }
                if (encoding == EncodingDecision::kUndecided || encoding == int(InputEncoding::CodePage)) {
                    // A NUL byte ends the text.
                    if (nul != std::string_view::npos) {
                        m_splitter.feed(block.substr(0, nul), sink);
                        ended = true;
                    } else {
                        m_splitter.feed(block, sink);
                    }
                } else {
                    const InputEncoding as = encoding == EncodingDecision::kSpeculative ? InputEncoding::Utf8
                                                                                 : InputEncoding(encoding);
                    if (!m_decoder) {
                        m_decoder = std::make_unique<CodePageDecoder>(m_codePage, as, m_placeholder);
                        m_decoder->setBaseOffset(off);
                    }
                    m_text.clear();
                    m_unmapped.clear();
                    const CodePageDecoder::Status status = m_decoder->decode(block, m_text, m_unmapped);
                    if (status == CodePageDecoder::Malformed) {
                        if (m_trust.counting()) {
                            off = rollBack();
                            continue;
                        }
                        throw EConvertError(MalformedTextMessage(path, as, m_decoder->errorOffset()));
                    }
                    takeOutUnmappable();
                    m_splitter.feed(m_text, sink);
                    ended = status == CodePageDecoder::EndOfText;
                }
                off += got;
            }
            if (m_decoder && !ended && m_decoder->finish() == CodePageDecoder::Malformed) {
                if (m_trust.counting()) {
                    off = rollBack(); // the text ends inside a sequence
                    continue;
                }
                throw EConvertError(
                    MalformedTextMessage(path, InputEncoding(decision.current()), m_decoder->errorOffset()));
            }
            break;
        }
        if (m_openWord) {
            m_openWord = false;
            record(m_openText);
        }
        m_splitter.finish(sink);
        return ended;
    }

    // Whether words were counted apart on trust in UTF-8.
    bool speculating() const { return m_trust.counting(); }
    size_t speculativeDistinct() const { return m_trust.distinct(); }
    uint32_t speculativeScanned() const { return m_trust.scannedApart(); }
    // The file is UTF-8 after all: what was counted apart joins counter.
    void confirm(WordCounter &counter, uint32_t &scanned, UnmappableTally &tally)
    {
        m_trust.confirm(counter, scanned, tally);
    }
    // The file is the code page after all (found by another worker once
    // this one was done): counts its stretch from where it began to trust
    // UTF-8 again, up to `to`. Returns true when a NUL ended the text.
    bool redoAsCodePage(const TextSource &source, EncodingDecision &decision, uint64_t to, WordCounter &counter,
                        const std::string &path)
    {
        const uint64_t from = m_trust.rollBack(m_splitter);
        return run(source, decision, from, to, counter, path);
    }

    // Ends a run cut short by an error: the unfinished word is dropped, and
    // what was counted apart.
    void reset()
    {
        m_splitter.dropPending();
        m_openWord = false;
        beginFile();
    }

    uint32_t scanned() const { return m_scanned; }
    const UnmappableTally &tally() const { return m_tally; }

private:
    bool isDelimiter(size_t i) const { return m_settings.delimiters.contains(uint8_t(m_text[i])); }

    void appendChar(std::string &text, size_t &chars, char32_t c) const
    {
        if (chars >= size_t(WordCounter::kKeyLimit))
            return; // words are kept to their first 40 characters
        if (!m_settings.caseSensitive)
            c = QChar::toLower(c);
        AppendUtf8(text, c);
        ++chars;
    }

    // Appends the characters of m_text[from, to) to text (the unmapped ones
    // from m_unmapped, from index *next on), and blanks them out.
    void takeChars(size_t from, size_t to, size_t &next, std::string &text, size_t &chars)
    {
        for (size_t i = from; i < to; ++i) {
            if (next < m_unmapped.size() && m_unmapped[next].at == i) {
                appendChar(text, chars, m_unmapped[next++].ch);
            } else {
                const uint8_t b = m_settings.translate[uint8_t(m_text[i])];
                appendChar(text, chars, m_codePage.toUnicode(b));
            }
            m_text[i] = ' ';
        }
    }

    // Words holding a character the code page lacks: tallied by their text,
    // and turned into blanks before the text is split. A word may have begun
    // in the previous block (the splitter holds its start) and may go on into
    // the next one.
    void takeOutUnmappable()
    {
        const size_t n = m_text.size();
        size_t next = 0;
        size_t pos = 0;
        if (m_openWord) {
            size_t r = 0;
            while (r < n && !isDelimiter(r))
                ++r;
            takeChars(0, r, next, m_openText, m_openChars);
            if (r == n)
                return;
            m_openWord = false;
            record(m_openText);
            pos = r;
        }
        while (next < m_unmapped.size()) {
            const size_t at = m_unmapped[next].at;
            size_t l = at;
            while (l > pos && !isDelimiter(l - 1))
                --l;
            size_t r = at + 1;
            while (r < n && !isDelimiter(r))
                ++r;
            std::string text;
            size_t chars = 0;
            if (l == 0 && m_splitter.hasPending()) {
                for (const char c : m_splitter.pendingKey())
                    appendChar(text, chars, m_codePage.toUnicode(uint8_t(c)));
                m_splitter.dropPending();
            }
            takeChars(l, r, next, text, chars);
            if (r == n) {
                m_openWord = true;
                m_openText = std::move(text);
                m_openChars = chars;
                return;
            }
            record(text);
            pos = r;
        }
    }

    void record(const std::string &text)
    {
        if (m_trust.counting()) {
            m_trust.tally().add(text);
            ++m_trust.scanned();
        } else {
            m_tally.add(text);
            ++m_scanned;
        }
    }

    const WordScanSettings &m_settings;
    const CodePage &m_codePage;
    Splitter m_splitter;
    std::unique_ptr<char[]> m_buffer;
    std::unique_ptr<CodePageDecoder> m_decoder;
    uint8_t m_placeholder = '?';
    std::string m_text;                   // the block in the code page
    std::vector<UnmappedChar> m_unmapped; // its characters without a byte
    bool m_openWord = false;              // a word not in the code page goes on into the next block
    std::string m_openText;
    size_t m_openChars = 0;
    uint32_t m_scanned = 0;
    UnmappableTally m_tally;
    Utf8OnTrust m_trust; // what is counted apart while the file is taken for UTF-8 on trust
};

FileWordScan::FileWordScan(const WordScanSettings &settings, WordCounter &counter)
    : m_settings(settings), m_counter(counter)
{
    if (m_settings.blockSize < 64)
        m_settings.blockSize = 64;
}

FileWordScan::~FileWordScan() = default;

// One file's scan: decides how the file is read, cuts a large file in two
// for the second worker, runs the workers and puts their counts together in
// text order.
class FileWordScan::FileRun {
public:
    FileRun(FileWordScan &scan, const std::string &path)
        : m_scan(scan), m_path(path), m_codePage(CodePage::current()), m_source(path),
          m_probe(m_codePage, InputEncoding::Utf8)
    {
        m_source.ask(scan.m_settings.encoding);
        m_encoding = m_source.encoding();
        m_bodyStart = m_source.bodyStart();
        if (m_source.looksBinary())
            m_scan.m_binaryFiles.push_back(path);
    }

    InputEncoding scan()
    {
        EncodingDecision decision(firstDecision());
        if (!m_scan.m_first)
            m_scan.m_first = std::make_unique<Worker>(m_scan.m_settings, m_codePage);
        m_scan.m_first->beginFile();

        // Two threads pay when the words repeat: each counts into a small
        // table of its own and the merge is short. A text that brings new
        // words all the time (a list of a million words) would make both
        // tables large and the merge as long as the count, so the first
        // stretch is scanned alone and shows which kind of text this is.
        const WordScanSettings &settings = m_scan.m_settings;
        uint64_t from = m_bodyStart;
        uint64_t cut = 0;
        const uint64_t size = m_source.size();
        if (settings.threads >= 2 && std::thread::hardware_concurrency() >= 2 && size >= settings.splitFrom &&
            size > m_bodyStart + 2 && (m_encoding == InputEncoding::CodePage || m_probe.asciiSame())) {
            const uint64_t probeEnd =
                cutAfter(m_bodyStart + std::min<uint64_t>(uint64_t(4) << 20, (size - m_bodyStart) / 4));
            if (probeEnd != 0) {
                const size_t distinctBefore = m_scan.m_counter.size();
                const uint32_t scannedBefore = m_scan.m_scanned;
                if (runFirst(decision, m_bodyStart, probeEnd))
                    return done(decision); // a NUL ended the text
                from = probeEnd;
                const Worker &first = *m_scan.m_first;
                const double fresh = double(m_scan.m_counter.size() - distinctBefore + first.speculativeDistinct());
                const double words = double(m_scan.m_scanned - scannedBefore + first.speculativeScanned());
                if (fresh <= settings.splitBelowNewWordShare * words)
                    cut = cutAfter(from + (size - from) / 2);
            }
        }
        if (cut == 0) {
            runFirst(decision, from, kToEnd);
            return done(decision);
        }
        return scanSplit(decision, from, cut);
    }

private:
    // The encoding in force before a byte is counted; UTF-8 and UTF-16 are
    // checked whole, so a malformed file adds nothing.
    int firstDecision() const
    {
        return m_source.firstDecision(m_codePage, m_scan.m_settings.blockSize, m_scan.m_settings.threads, true);
    }

    // Where a large file can be cut: at an ASCII delimiter at or after a
    // place; 0 for none within a mebibyte.
    uint64_t cutAfter(uint64_t at) const
    {
        const DelimiterSet &delimiters = m_scan.m_settings.delimiters;
        return m_source.cutAt(at, [&delimiters](uint8_t c) { return delimiters.contains(c); });
    }

    // Runs the first worker over [from, to) into the scan's counter; true
    // when a NUL ended the text.
    bool runFirst(EncodingDecision &decision, uint64_t from, uint64_t to)
    {
        Worker &first = *m_scan.m_first;
        bool ended = false;
        try {
            ended = first.run(m_source, decision, from, to, m_scan.m_counter, m_path);
        } catch (...) {
            first.reset();
            takeFirst();
            throw;
        }
        takeFirst();
        return ended;
    }
    void takeFirst()
    {
        m_scan.m_scanned += m_scan.m_first->scanned();
        m_scan.m_unmappable.merge(m_scan.m_first->tally());
    }

    // The file is done by the first worker alone: what it counted on trust
    // in UTF-8 joins the rest (nothing was malformed).
    InputEncoding done(EncodingDecision &decision)
    {
        m_scan.m_first->confirm(m_scan.m_counter, m_scan.m_scanned, m_scan.m_unmappable);
        decision.settle();
        return InputEncoding(decision.current());
    }

    // [from, cut) by the first worker, [cut, end) by the second at the same
    // time; the second part's verdict and words count only when the first
    // part did not end the text.
    InputEncoding scanSplit(EncodingDecision &decision, uint64_t from, uint64_t cut)
    {
        if (!m_scan.m_second) {
            m_scan.m_second = std::make_unique<Worker>(m_scan.m_settings, m_codePage);
            m_scan.m_secondCounter = std::make_unique<WordCounter>();
        }
        Worker &first = *m_scan.m_first;
        Worker &second = *m_scan.m_second;
        WordCounter &secondCounter = *m_scan.m_secondCounter;
        second.beginFile();
        EncodingDecision secondDecision(decision.current(), &decision);
        uint32_t secondScanned = 0;
        UnmappableTally secondTally;
        std::exception_ptr secondFailure;
        // Runs the second worker (over [from, to)) and takes what it counted.
        const auto runSecond = [&](auto &&work) {
            try {
                work();
            } catch (...) {
                second.reset();
                secondFailure = std::current_exception();
            }
            secondScanned += second.scanned();
            secondTally.merge(second.tally());
        };
        bool ended = false;
        std::exception_ptr firstFailure =
            RunTwoParts([&] { ended = runFirst(decision, from, cut); },
                        [&] {
                            runSecond([&] { second.run(m_source, secondDecision, cut, kToEnd, secondCounter, m_path); });
                        })
                .first;
        if (!firstFailure && !ended)
            decision.follow(secondDecision);
        if (!firstFailure && decision.current() == int(InputEncoding::CodePage)) {
            // One part turned out malformed after the other was done on
            // trust in UTF-8: that one counts its stretch again as code-page
            // bytes.
            if (first.speculating()) {
                try {
                    ended = first.redoAsCodePage(m_source, decision, cut, m_scan.m_counter, m_path);
                } catch (...) {
                    first.reset();
                    firstFailure = std::current_exception();
                }
                takeFirst();
            }
            if (!firstFailure && !ended && !secondFailure && second.speculating())
                runSecond([&] { second.redoAsCodePage(m_source, secondDecision, kToEnd, secondCounter, m_path); });
        } else if (!firstFailure) {
            first.confirm(m_scan.m_counter, m_scan.m_scanned, m_scan.m_unmappable);
            if (!secondFailure)
                second.confirm(secondCounter, secondScanned, secondTally);
        }
        // The first part comes first in the text: its failure or its NUL ends it.
        if (!firstFailure && !ended) {
            secondCounter.flush();
            m_scan.m_counter.merge(secondCounter);
            m_scan.m_scanned += secondScanned;
            m_scan.m_unmappable.merge(secondTally);
        }
        first.beginFile();
        second.beginFile();
        secondCounter.clear();
        decision.settle();
        if (firstFailure)
            std::rethrow_exception(firstFailure);
        if (secondFailure && !ended)
            std::rethrow_exception(secondFailure);
        return InputEncoding(decision.current());
    }

    FileWordScan &m_scan;
    const std::string &m_path;
    const CodePage &m_codePage;
    TextSource m_source;
    const CodePageDecoder m_probe; // tells whether ASCII reads the same in the code page
    InputEncoding m_encoding;
    uint64_t m_bodyStart = 0;      // past the byte-order mark of the encoding read
};

DecodedText FileWordScan::readText(const std::string &path, InputEncoding encoding, int threads)
{
    constexpr size_t kBlock = size_t(1) << 20;
    const CodePage &codePage = CodePage::current();
    const TextSource source(path);
    char head[4] = {};
    const ByteOrderMark bom = DetectByteOrderMark(std::string_view(head, source.readAt(0, head, sizeof head)));
    if (encoding == InputEncoding::Auto && bom.encoding != InputEncoding::Auto)
        encoding = bom.encoding;
    const uint64_t bodyStart = bom.encoding == encoding ? bom.length : 0;
    if (encoding == InputEncoding::Auto)
        encoding = IsUtf8Text(source, bodyStart, kBlock, threads) ? InputEncoding::Utf8 : InputEncoding::CodePage;
    if (source.size() > kMaxTextFileBytes)
        RaiseCannotOpenFile(path, FileTooLargeText());

    std::string raw(size_t(source.size() - std::min(source.size(), bodyStart)), '\0');
    raw.resize(source.readAt(bodyStart, raw.data(), raw.size()));
    DecodedText text;
    text.encoding = encoding;
    if (encoding == InputEncoding::CodePage) {
        raw.resize(std::min(raw.find('\0'), raw.size())); // a NUL ends the text
        text.bytes = std::move(raw);
        return text;
    }
    CodePageDecoder decoder(codePage, encoding);
    decoder.setBaseOffset(bodyStart);
    text.bytes.reserve(raw.size());
    CodePageDecoder::Status status = decoder.decode(raw, text.bytes, text.unmapped);
    if (status == CodePageDecoder::Ok)
        status = decoder.finish();
    if (status == CodePageDecoder::Malformed)
        throw EConvertError(MalformedTextMessage(path, encoding, decoder.errorOffset()));
    return text;
}

InputEncoding FileWordScan::scanFile(const std::string &path)
{
    FileRun run(*this, path);
    return run.scan();
}

} // namespace kf
