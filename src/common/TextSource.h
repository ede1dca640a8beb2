#pragma once
// A text file as the readers of texts take it (the dictionary scan and the
// keystroke statistics read files the same way): its bytes at any offset,
// the encoding it is read in and where its text begins, whether it looks
// like a binary file, the decision on its encoding before a byte is counted,
// where a large file is cut in two, and the two parts read at once.

#include "common/CodePageDecoder.h"

#include <cstdint>
#include <exception>
#include <functional>
#include <string>

namespace kf {

class CodePage;

// Where a file's bytes come from: the file itself, read at any offset, or,
// for what cannot be read at an offset (a pipe), its bytes read whole within
// the limit every text file has. Raises EFOpenError for a file that cannot
// be opened, a folder or one too large.
class TextSource {
public:
    static constexpr uint64_t kToEnd = ~uint64_t(0);

    explicit TextSource(const std::string &path);
    ~TextSource();
    TextSource(const TextSource &) = delete;
    TextSource &operator=(const TextSource &) = delete;

    const std::string &path() const { return m_path; }
    // The size known when opened (a file may still hold more).
    uint64_t size() const { return m_size; }
    // Reads up to n bytes at off; fewer only at the end of the file. Raises
    // EInOutError naming the file when reading fails.
    size_t readAt(uint64_t off, char *buf, size_t n) const;

    // The encoding the file is read in when asked: Auto, or that of its
    // byte-order mark, takes the mark's; the text begins past a mark of the
    // encoding read.
    InputEncoding encoding() const { return m_encoding; }
    uint64_t bodyStart() const { return m_bodyStart; }
    void ask(InputEncoding asked);

    // Whether the file holds a NUL byte among its first bytes where its
    // encoding has a byte per character (not UTF-16): a binary file, whose
    // text would end there.
    bool looksBinary() const;

    // The decision on the encoding before a byte is counted (an
    // EncodingDecision value): Auto without a mark stays undecided while
    // ASCII reads the same in the code page, else the whole file is checked
    // for UTF-8 (on two cores when threads is 2). With checkWhole, a file
    // asked for as UTF-8 or UTF-16 is checked whole first and a malformed one
    // raises EConvertError naming it and the offset.
    int firstDecision(const CodePage &codePage, size_t blockSize, int threads, bool checkWhole) const;

    // Where the file can be cut for two readers: the first character at or
    // after `at` (an ASCII one in every encoding read here) for which isCut
    // holds; its offset, or 0 when there is none within a mebibyte.
    uint64_t cutAt(uint64_t at, const std::function<bool(uint8_t)> &isCut) const;
    // The bytes of one ASCII character in the encoding read (1 or 2).
    size_t unitBytes() const;

private:
    [[noreturn]] void fail() const;

    std::string m_path;
    int m_fd = -1;
    uint64_t m_size = 0;
    bool m_inMemory = false;
    std::string m_bytes;
    InputEncoding m_encoding = InputEncoding::Auto;
    uint64_t m_bodyStart = 0;
};

// Checks [from, to) of a file as UTF-8 (to kToEnd: to its end).
Utf8Validator ValidateUtf8(const TextSource &source, uint64_t from, size_t blockSize,
                           uint64_t to = TextSource::kToEnd);
// Whether the text from `from` on is valid UTF-8 holding a multi-byte
// sequence. A large text is checked in two halves at once, cut where a
// sequence begins: each half must be valid on its own.
bool IsUtf8Text(const TextSource &source, uint64_t from, size_t blockSize, int threads);

// The two parts of a file read at once: second on a thread of its own, first
// on this one. What each raised is returned, not thrown (the first part
// comes first in the text: the caller decides which failure counts).
struct TwoPartFailures {
    std::exception_ptr first, second;
};
TwoPartFailures RunTwoParts(const std::function<void()> &first, const std::function<void()> &second);

// The warning for a file that looks binary ("NAME looks like a binary file:
// its text ends at its first NUL byte").
std::string LooksBinaryMessage(const std::string &path);

} // namespace kf
