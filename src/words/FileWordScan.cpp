#include "words/FileWordScan.h"
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

constexpr uint64_t kToEnd = ~uint64_t(0);

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

// Where a file's bytes come from: the file itself, read at any offset, or,
// for what cannot be read at an offset (a pipe), its bytes read whole.
class FileWordScan::Source {
public:
    explicit Source(const std::string &path) : m_path(path)
    {
        m_fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
        if (m_fd < 0)
            RaiseCannotOpenFile(path, SystemErrorText(errno));
        struct stat st {};
        if (::fstat(m_fd, &st) == 0 && S_ISDIR(st.st_mode)) {
            ::close(m_fd);
            RaiseCannotOpenFile(path, IsFolderText());
        }
        if (S_ISREG(st.st_mode)) {
            m_size = uint64_t(st.st_size);
            return;
        }
        // Read it whole, within the limit every text file has.
        char buf[1 << 16];
        for (;;) {
            const ssize_t got = ::read(m_fd, buf, sizeof buf);
            if (got < 0 && errno == EINTR)
                continue;
            if (got < 0)
                fail();
            if (got == 0)
                break;
            if (m_bytes.size() + size_t(got) > kMaxTextFileBytes)
                RaiseCannotOpenFile(path, FileTooLargeText());
            m_bytes.append(buf, size_t(got));
        }
        m_size = m_bytes.size();
        m_inMemory = true;
        ::close(m_fd);
        m_fd = -1;
    }
    ~Source()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    Source(const Source &) = delete;
    Source &operator=(const Source &) = delete;

    // The size known when opened (a file may still hold more).
    uint64_t size() const { return m_size; }

    // Reads up to n bytes at off; fewer only at the end of the file.
    size_t readAt(uint64_t off, char *buf, size_t n) const
    {
        if (m_inMemory) {
            if (off >= m_bytes.size())
                return 0;
            const size_t take = std::min<uint64_t>(n, m_bytes.size() - off);
            std::memcpy(buf, m_bytes.data() + off, take);
            return take;
        }
        size_t done = 0;
        while (done < n) {
            const ssize_t got = ::pread(m_fd, buf + done, n - done, off_t(off + done));
            if (got < 0 && errno == EINTR)
                continue;
            if (got < 0)
                fail();
            if (got == 0)
                break;
            done += size_t(got);
        }
        return done;
    }

    [[noreturn]] void fail() const
    {
        RaiseCannotReadFile(m_path, SystemErrorText(errno));
    }

private:
    std::string m_path;
    int m_fd = -1;
    uint64_t m_size = 0;
    bool m_inMemory = false;
    std::string m_bytes;
};

namespace {

// The encoding of one file, decided once for every worker. A file read as
// Auto without a byte-order mark stays undecided while only ASCII is met,
// which reads the same either way. At the first other byte it is taken for
// UTF-8 on trust ("speculative"): the workers decode on, counting apart what
// they count from then on. A malformed sequence anywhere makes it the code
// page, and the workers count that stretch again as code-page bytes; when
// none turns up, what they counted apart joins the rest. Valid UTF-8 is thus
// read once, and a code-page text (whose first byte above 127 is almost
// always malformed UTF-8) is hardly read twice.
//
// What the text holds decides in text order: a NUL ends the text, and what
// follows it decides nothing. So the part after the cut of a split scan
// decides for itself; a malformed sequence in the earlier part (which stops
// at its NUL) decides for the later one too, and the two verdicts are put
// together once both are done.
class Decision {
public:
    static constexpr int kUndecided = -1;
    static constexpr int kSpeculative = -2;

    // earlier: the decision of the text before this part, if any.
    explicit Decision(int encoding, const Decision *earlier = nullptr) : m_encoding(encoding), m_earlier(earlier) {}

    int current() const
    {
        if (m_earlier && m_earlier->current() == int(InputEncoding::CodePage))
            return int(InputEncoding::CodePage);
        return m_encoding.load(std::memory_order_acquire);
    }

    // Takes in the verdict of the part that follows this one in the text,
    // once both are done and this one did not end the text.
    void follow(const Decision &later)
    {
        const int own = current();
        const int next = later.current();
        if (own == kUndecided && next != kUndecided)
            m_encoding.store(next, std::memory_order_release);
        else if (own == kSpeculative && next == int(InputEncoding::CodePage))
            malformed();
    }

    // Undecided becomes speculative UTF-8; returns what is in force.
    int speculate()
    {
        int expected = kUndecided;
        m_encoding.compare_exchange_strong(expected, kSpeculative, std::memory_order_acq_rel);
        return current();
    }
    // A malformed sequence turned up: the code page.
    void malformed()
    {
        int expected = kSpeculative;
        m_encoding.compare_exchange_strong(expected, int(InputEncoding::CodePage), std::memory_order_acq_rel);
    }
    // The scan is over without a malformed sequence.
    void settle()
    {
        int expected = kSpeculative;
        m_encoding.compare_exchange_strong(expected, int(InputEncoding::Utf8), std::memory_order_acq_rel);
        expected = kUndecided;
        m_encoding.compare_exchange_strong(expected, int(InputEncoding::CodePage), std::memory_order_acq_rel);
    }

    // Checks [from, to) (to kToEnd: to the end of the file).
    static Utf8Validator validateUtf8(const FileWordScan::Source &source, uint64_t from, size_t blockSize,
                                      uint64_t to = kToEnd)
    {
        Utf8Validator check;
        std::unique_ptr<char[]> buf(new char[blockSize]);
        for (uint64_t off = from; off < to;) {
            const size_t got = source.readAt(off, buf.get(), size_t(std::min<uint64_t>(blockSize, to - off)));
            if (got == 0 || !check.feed(std::string_view(buf.get(), got)) || check.ended())
                break;
            off += got;
        }
        check.finish();
        return check;
    }

    // Whether the text from `from` on is valid UTF-8 holding a multi-byte
    // sequence. A large text is checked in two halves at once, cut where a
    // sequence begins: each half must be valid on its own.
    static bool isUtf8(const FileWordScan::Source &source, uint64_t from, size_t blockSize, int threads)
    {
        const uint64_t size = source.size();
        if (threads < 2 || std::thread::hardware_concurrency() < 2 || size < from + (uint64_t(4) << 20)) {
            const Utf8Validator check = validateUtf8(source, from, blockSize);
            return check.valid() && check.sawMultiByte();
        }
        uint64_t cut = from + (size - from) / 2;
        char probe[4] = {};
        const size_t got = source.readAt(cut, probe, sizeof probe);
        for (size_t i = 0; i < got && (uint8_t(probe[i]) & 0xC0) == 0x80; ++i)
            ++cut; // a malformed run longer than 3 fails in one half anyway
        Utf8Validator second;
        std::exception_ptr failure;
        std::thread other([&]() {
            try {
                second = validateUtf8(source, cut, blockSize);
            } catch (...) {
                failure = std::current_exception();
            }
        });
        Utf8Validator first;
        try {
            first = validateUtf8(source, from, blockSize, cut);
        } catch (...) {
            other.join();
            throw;
        }
        other.join();
        if (!first.valid())
            return false;
        if (first.ended()) // a NUL ended the text: what follows does not count
            return first.sawMultiByte();
        if (failure)
            std::rethrow_exception(failure);
        return second.valid() && (first.sawMultiByte() || second.sawMultiByte());
    }

private:
    std::atomic<int> m_encoding;
    const Decision *m_earlier;
};

} // namespace

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
    void beginFile()
    {
        m_speculating = false;
        m_specScanned = 0;
        m_specTally.clear();
        if (m_spec)
            m_spec->clear();
    }

    // Scans [from, to) (to kToEnd: to the end of the file) into counter, or
    // apart while the file is speculative UTF-8. Returns true when a NUL
    // ended the text. Consecutive stretches of one file may follow.
    bool run(const Source &source, Decision &decision, uint64_t from, uint64_t to, WordCounter &counter,
             const std::string &path)
    {
        m_scanned = 0;
        m_tally.clear();
        m_decoder.reset();
        m_openWord = false;
        WordCounter *target = m_speculating ? m_spec.get() : &counter;
        uint32_t *scanned = m_speculating ? &m_specScanned : &m_scanned;
        auto sink = [&target, &scanned](const char *key, size_t keyLen, uint64_t len) {
            target->add(key, keyLen, len);
            ++*scanned;
        };
        // Back to where the speculation began, to count as code-page bytes.
        auto rollBack = [&]() {
            decision.malformed();
            m_splitter.restorePending(m_specKey, m_specLength);
            m_spec->clear();
            m_specScanned = 0;
            m_specTally.clear();
            m_decoder.reset();
            m_openWord = false;
            m_speculating = false;
            target = &counter;
            scanned = &m_scanned;
            return m_specFrom;
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
                if (m_speculating && encoding == int(InputEncoding::CodePage)) {
                    off = rollBack(); // another stretch of the file was malformed
                    continue;
                }
                const size_t nul = block.find('\0');
                if (encoding == Decision::kUndecided && hasNonAscii(block.data(), std::min(nul, block.size())))
                    encoding = decision.speculate();
                if (encoding == Decision::kSpeculative && !m_speculating) {
                    m_speculating = true;
                    m_specFrom = off;
                    m_specKey.assign(m_splitter.pendingKey());
                    m_specLength = m_splitter.pendingLength();
                    if (!m_spec)
                        m_spec = std::make_unique<WordCounter>();
                    target = m_spec.get();
                    scanned = &m_specScanned;
                }
                if (encoding == Decision::kUndecided || encoding == int(InputEncoding::CodePage)) {
                    // A NUL byte ends the text.
                    if (nul != std::string_view::npos) {
                        m_splitter.feed(block.substr(0, nul), sink);
                        ended = true;
                    } else {
                        m_splitter.feed(block, sink);
                    }
                } else {
                    const InputEncoding as = encoding == Decision::kSpeculative ? InputEncoding::Utf8
                                                                                 : InputEncoding(encoding);
                    if (!m_decoder) {
                        m_decoder = std::make_unique<CodePageDecoder>(m_codePage, as, m_placeholder);
                        m_decoder->setBaseOffset(off);
                    }
                    m_text.clear();
                    m_unmapped.clear();
                    const CodePageDecoder::Status status = m_decoder->decode(block, m_text, m_unmapped);
                    if (status == CodePageDecoder::Malformed) {
                        if (m_speculating) {
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
                if (m_speculating) {
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
    bool speculating() const { return m_speculating; }
    size_t speculativeDistinct() const { return m_speculating ? m_spec->size() : 0; }
    uint32_t speculativeScanned() const { return m_specScanned; }
    // The file is UTF-8 after all: what was counted apart joins counter.
    void confirm(WordCounter &counter, uint32_t &scanned, UnmappableTally &tally)
    {
        if (!m_speculating)
            return;
        m_spec->flush();
        counter.merge(*m_spec);
        scanned += m_specScanned;
        tally.merge(m_specTally);
        beginFile();
    }
    // The file is the code page after all (found by another worker once
    // this one was done): counts its stretch from where it began to trust
    // UTF-8 again, up to `to`. Returns true when a NUL ended the text.
    bool redoAsCodePage(const Source &source, Decision &decision, uint64_t to, WordCounter &counter,
                        const std::string &path)
    {
        m_splitter.restorePending(m_specKey, m_specLength);
        const uint64_t from = m_specFrom;
        beginFile();
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
        if (m_speculating) {
            m_specTally.add(text);
            ++m_specScanned;
        } else {
            m_tally.add(text);
            ++m_scanned;
        }
    }

    const WordScanSettings &m_settings;
    const CodePage &m_codePage;
    BlockWordSplitter<WordCounter::kKeyLimit> m_splitter;
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
    // Counted apart while the file is taken for UTF-8 on trust.
    bool m_speculating = false;
    uint64_t m_specFrom = 0;       // the block where the trust began
    std::string m_specKey;         // the splitter's unfinished word there
    uint64_t m_specLength = 0;
    std::unique_ptr<WordCounter> m_spec;
    uint32_t m_specScanned = 0;
    UnmappableTally m_specTally;
};

FileWordScan::FileWordScan(const WordScanSettings &settings, WordCounter &counter)
    : m_settings(settings), m_counter(counter)
{
    if (m_settings.blockSize < 64)
        m_settings.blockSize = 64;
}

FileWordScan::~FileWordScan() = default;

InputEncoding FileWordScan::scanFile(const std::string &path)
{
    const CodePage &codePage = CodePage::current();
    const Source source(path);
    char head[4] = {};
    const ByteOrderMark bom = DetectByteOrderMark(std::string_view(head, source.readAt(0, head, sizeof head)));
    const CodePageDecoder probe(codePage, InputEncoding::Utf8);

    InputEncoding encoding = m_settings.encoding;
    if (encoding == InputEncoding::Auto && bom.encoding != InputEncoding::Auto)
        encoding = bom.encoding;
    const uint64_t bodyStart = bom.encoding == encoding ? bom.length : 0;
    int decided = int(encoding);
    if (encoding == InputEncoding::Auto) {
        decided = Decision::kUndecided;
        if (!probe.asciiSame())
            decided = int(Decision::isUtf8(source, 0, m_settings.blockSize, m_settings.threads)
                              ? InputEncoding::Utf8
                              : InputEncoding::CodePage);
    } else if (encoding == InputEncoding::Utf8) {
        // A malformed file adds nothing: it is checked whole first.
        const Utf8Validator check = Decision::validateUtf8(source, bodyStart, m_settings.blockSize);
        if (!check.valid()) // the offset in the file, the mark's bytes included
            throw EConvertError(MalformedTextMessage(path, encoding, bodyStart + check.errorOffset()));
    } else if (encoding != InputEncoding::CodePage) {
        CodePageDecoder check(codePage, encoding);
        check.setBaseOffset(bodyStart);
        std::unique_ptr<char[]> buf(new char[m_settings.blockSize]);
        std::string out;
        std::vector<UnmappedChar> unmapped;
        CodePageDecoder::Status status = CodePageDecoder::Ok;
        for (uint64_t off = bodyStart; status == CodePageDecoder::Ok;) {
            const size_t got = source.readAt(off, buf.get(), m_settings.blockSize);
            if (got == 0) {
                status = check.finish();
                break;
            }
            out.clear();
            unmapped.clear();
            status = check.decode(std::string_view(buf.get(), got), out, unmapped);
            off += got;
        }
        if (status == CodePageDecoder::Malformed)
            throw EConvertError(MalformedTextMessage(path, encoding, check.errorOffset()));
    }
    Decision decision(decided);

    if (!m_first)
        m_first = std::make_unique<Worker>(m_settings, codePage);
    m_first->beginFile();

    // Where a large file can be cut: at an ASCII delimiter (a character of
    // its own in every encoding read here) at or after a place; 0 for none
    // within a mebibyte.
    const bool utf16 = encoding == InputEncoding::Utf16LE || encoding == InputEncoding::Utf16BE;
    auto cutAfter = [&](uint64_t at) -> uint64_t {
        if (utf16)
            at -= (at - bodyStart) % 2;
        const size_t window = 1 << 16;
        std::unique_ptr<char[]> buf(new char[window]);
        for (uint64_t off = at; off < at + (uint64_t(1) << 20);) {
            const size_t got = source.readAt(off, buf.get(), window);
            if (got < 2)
                break;
            const size_t step = utf16 ? 2 : 1;
            for (size_t i = 0; i + step <= got; i += step) {
                const uint8_t lo = uint8_t(buf[i + (encoding == InputEncoding::Utf16BE ? 1 : 0)]);
                const uint8_t hi = utf16 ? uint8_t(buf[i + (encoding == InputEncoding::Utf16BE ? 0 : 1)]) : 0;
                if (hi == 0 && lo < 0x80 && m_settings.delimiters.contains(lo))
                    return off + i;
            }
            off += got - got % 2;
        }
        return 0;
    };
    // Runs the first worker over [from, to) into the scan's counter.
    auto runFirst = [&](uint64_t from, uint64_t to) {
        bool ended = false;
        try {
            ended = m_first->run(source, decision, from, to, m_counter, path);
        } catch (...) {
            m_first->reset();
            m_scanned += m_first->scanned();
            m_unmappable.merge(m_first->tally());
            throw;
        }
        m_scanned += m_first->scanned();
        m_unmappable.merge(m_first->tally());
        return ended;
    };
    // The file is done: what the first worker counted on trust in UTF-8
    // joins the rest (it alone read the file, so nothing was malformed).
    auto done = [&]() {
        m_first->confirm(m_counter, m_scanned, m_unmappable);
        decision.settle();
        return InputEncoding(decision.current());
    };

    // Two threads pay when the words repeat: each counts into a small table
    // of its own and the merge is short. A text that brings new words all the
    // time (a list of a million words) would make both tables large and the
    // merge as long as the count, so the first stretch is scanned alone and
    // shows which kind of text this is.
    uint64_t from = bodyStart;
    uint64_t cut = 0;
    const uint64_t size = source.size();
    if (m_settings.threads >= 2 && std::thread::hardware_concurrency() >= 2 && size >= m_settings.splitFrom &&
        size > bodyStart + 2 && (encoding == InputEncoding::CodePage || probe.asciiSame())) {
        const uint64_t probeEnd = cutAfter(bodyStart + std::min<uint64_t>(uint64_t(4) << 20, (size - bodyStart) / 4));
        if (probeEnd != 0) {
            const size_t distinctBefore = m_counter.size();
            const uint32_t scannedBefore = m_scanned;
            if (runFirst(bodyStart, probeEnd))
                return done(); // a NUL ended the text
            from = probeEnd;
            const double fresh = double(m_counter.size() - distinctBefore + m_first->speculativeDistinct());
            const double words = double(m_scanned - scannedBefore + m_first->speculativeScanned());
            if (fresh <= m_settings.splitBelowNewWordShare * words)
                cut = cutAfter(from + (size - from) / 2);
        }
    }
    if (cut == 0) {
        runFirst(from, kToEnd);
        return done();
    }

    if (!m_second) {
        m_second = std::make_unique<Worker>(m_settings, codePage);
        m_secondCounter = std::make_unique<WordCounter>();
    }
    m_second->beginFile();
    Decision secondDecision(decision.current(), &decision);
    uint32_t secondScanned = 0;
    UnmappableTally secondTally;
    std::exception_ptr secondFailure;
    std::thread other([&]() {
        try {
            m_second->run(source, secondDecision, cut, kToEnd, *m_secondCounter, path);
        } catch (...) {
            m_second->reset();
            secondFailure = std::current_exception();
        }
        secondScanned += m_second->scanned();
        secondTally.merge(m_second->tally());
    });
    std::exception_ptr firstFailure;
    bool ended = false;
    try {
        ended = runFirst(from, cut);
    } catch (...) {
        firstFailure = std::current_exception();
    }
    other.join();
    // What the second part found counts only when the first did not end the text.
    if (!firstFailure && !ended)
        decision.follow(secondDecision);
    if (!firstFailure && decision.current() == int(InputEncoding::CodePage)) {
        // One part turned out malformed after the other was done on trust in
        // UTF-8: that one counts its stretch again as code-page bytes.
        if (m_first->speculating()) {
            try {
                ended = m_first->redoAsCodePage(source, decision, cut, m_counter, path);
            } catch (...) {
                m_first->reset();
                firstFailure = std::current_exception();
            }
            m_scanned += m_first->scanned();
            m_unmappable.merge(m_first->tally());
        }
        if (!firstFailure && !ended && !secondFailure && m_second->speculating()) {
            try {
                m_second->redoAsCodePage(source, secondDecision, kToEnd, *m_secondCounter, path);
            } catch (...) {
                m_second->reset();
                secondFailure = std::current_exception();
            }
            secondScanned += m_second->scanned();
            secondTally.merge(m_second->tally());
        }
    } else if (!firstFailure) {
        m_first->confirm(m_counter, m_scanned, m_unmappable);
        if (!secondFailure)
            m_second->confirm(*m_secondCounter, secondScanned, secondTally);
    }
    // The first part comes first in the text: its failure or its NUL ends it.
    if (!firstFailure && !ended) {
        m_secondCounter->flush();
        m_counter.merge(*m_secondCounter);
        m_scanned += secondScanned;
        m_unmappable.merge(secondTally);
    }
    m_first->beginFile();
    m_second->beginFile();
    m_secondCounter->clear();
    decision.settle();
    if (firstFailure)
        std::rethrow_exception(firstFailure);
    if (secondFailure && !ended)
        std::rethrow_exception(secondFailure);
    return InputEncoding(decision.current());
}

} // namespace kf
