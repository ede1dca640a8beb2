#include "common/TextSource.h"

#include "common/CodePage.h"
#include "common/EncodingDecision.h"
#include "common/Errors.h"
#include "common/LibraryErrors.h"
#include "common/TextFile.h"
#include "common/Translation.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <memory>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace kf {

namespace {

// How far into a file a NUL byte makes it look binary.
constexpr size_t kBinaryProbe = 4096;

bool isUtf16(InputEncoding e)
{
    return e == InputEncoding::Utf16LE || e == InputEncoding::Utf16BE;
}

} // namespace

TextSource::TextSource(const std::string &path) : m_path(path)
{
    m_fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (m_fd < 0)
        RaiseCannotOpenFile(path, SystemErrorText(errno));
    struct stat st {};
    if (::fstat(m_fd, &st) == 0 && S_ISDIR(st.st_mode)) {
        ::close(m_fd);
        m_fd = -1;
        RaiseCannotOpenFile(path, IsFolderText());
    }
    if (S_ISREG(st.st_mode)) {
        m_size = uint64_t(st.st_size);
    } else {
        // Read it whole, within the limit every text file has.
        char buf[1 << 16];
        for (;;) {
            const ssize_t got = ::read(m_fd, buf, sizeof buf);
            if (got < 0 && errno == EINTR)
                continue;
            if (got < 0) {
                const int error = errno;
                ::close(m_fd);
                m_fd = -1;
                RaiseCannotReadFile(path, SystemErrorText(error));
            }
            if (got == 0)
                break;
            if (m_bytes.size() + size_t(got) > kMaxTextFileBytes) {
                ::close(m_fd);
                m_fd = -1;
                RaiseCannotOpenFile(path, FileTooLargeText());
            }
            m_bytes.append(buf, size_t(got));
        }
        m_size = m_bytes.size();
        m_inMemory = true;
        ::close(m_fd);
        m_fd = -1;
    }
    ask(InputEncoding::Auto);
}

TextSource::~TextSource()
{
    if (m_fd >= 0)
        ::close(m_fd);
}

size_t TextSource::readAt(uint64_t off, char *buf, size_t n) const
{
    if (m_inMemory) {
        if (off >= m_bytes.size())
            return 0;
        const size_t take = size_t(std::min<uint64_t>(n, m_bytes.size() - off));
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

void TextSource::fail() const
{
    RaiseCannotReadFile(m_path, SystemErrorText(errno));
}

void TextSource::ask(InputEncoding asked)
{
    char head[4] = {};
    const ByteOrderMark bom = DetectByteOrderMark(std::string_view(head, readAt(0, head, sizeof head)));
    m_encoding = asked;
    if (m_encoding == InputEncoding::Auto && bom.encoding != InputEncoding::Auto)
        m_encoding = bom.encoding;
    m_bodyStart = bom.encoding == m_encoding ? bom.length : 0;
}

bool TextSource::looksBinary() const
{
    if (isUtf16(m_encoding))
        return false;
    char head[kBinaryProbe];
    const size_t got = readAt(m_bodyStart, head, sizeof head);
    return std::memchr(head, 0, got) != nullptr;
}

int TextSource::firstDecision(const CodePage &codePage, size_t blockSize, int threads, bool checkWhole) const
{
    if (m_encoding == InputEncoding::Auto) {
        if (CodePageDecoder(codePage, InputEncoding::Utf8).asciiSame())
            return EncodingDecision::kUndecided;
        return int(IsUtf8Text(*this, 0, blockSize, threads) ? InputEncoding::Utf8 : InputEncoding::CodePage);
    }
    if (!checkWhole)
        return int(m_encoding);
    if (m_encoding == InputEncoding::Utf8) {
        const Utf8Validator check = ValidateUtf8(*this, m_bodyStart, blockSize);
        if (!check.valid()) // the offset in the file, the mark's bytes included
            throw EConvertError(MalformedTextMessage(m_path, m_encoding, m_bodyStart + check.errorOffset()));
    } else if (m_encoding != InputEncoding::CodePage) {
        CodePageDecoder check(codePage, m_encoding);
        check.setBaseOffset(m_bodyStart);
        std::unique_ptr<char[]> buf(new char[blockSize]);
        std::string out;
        std::vector<UnmappedChar> unmapped;
        CodePageDecoder::Status status = CodePageDecoder::Ok;
        for (uint64_t off = m_bodyStart; status == CodePageDecoder::Ok;) {
            const size_t got = readAt(off, buf.get(), blockSize);
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
            throw EConvertError(MalformedTextMessage(m_path, m_encoding, check.errorOffset()));
    }
    return int(m_encoding);
}

size_t TextSource::unitBytes() const
{
    return isUtf16(m_encoding) ? 2 : 1;
}

uint64_t TextSource::cutAt(uint64_t at, const std::function<bool(uint8_t)> &isCut) const
{
    const bool utf16 = isUtf16(m_encoding);
    const bool bigEndian = m_encoding == InputEncoding::Utf16BE;
    if (utf16)
        at -= (at - m_bodyStart) % 2;
    const size_t window = 1 << 16;
    std::unique_ptr<char[]> buf(new char[window]);
    for (uint64_t off = at; off < at + (uint64_t(1) << 20);) {
        const size_t got = readAt(off, buf.get(), window);
        if (got < 2)
            break;
        const size_t step = utf16 ? 2 : 1;
        for (size_t i = 0; i + step <= got; i += step) {
            const uint8_t lo = uint8_t(buf[i + (bigEndian ? 1 : 0)]);
            const uint8_t hi = utf16 ? uint8_t(buf[i + (bigEndian ? 0 : 1)]) : 0;
            if (hi == 0 && lo < 0x80 && isCut(lo))
                return off + i;
        }
        off += got - got % 2;
    }
    return 0;
}

Utf8Validator ValidateUtf8(const TextSource &source, uint64_t from, size_t blockSize, uint64_t to)
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

bool IsUtf8Text(const TextSource &source, uint64_t from, size_t blockSize, int threads)
{
    const uint64_t size = source.size();
    if (threads < 2 || std::thread::hardware_concurrency() < 2 || size < from + (uint64_t(4) << 20)) {
        const Utf8Validator check = ValidateUtf8(source, from, blockSize);
        return check.valid() && check.sawMultiByte();
    }
    uint64_t cut = from + (size - from) / 2;
    char probe[4] = {};
    const size_t got = source.readAt(cut, probe, sizeof probe);
    for (size_t i = 0; i < got && (uint8_t(probe[i]) & 0xC0) == 0x80; ++i)
        ++cut; // a malformed run longer than 3 fails in one half anyway
    Utf8Validator first, second;
    const TwoPartFailures failed = RunTwoParts([&] { first = ValidateUtf8(source, from, blockSize, cut); },
                                               [&] { second = ValidateUtf8(source, cut, blockSize); });
    if (failed.first)
        std::rethrow_exception(failed.first);
    if (!first.valid())
        return false;
    if (first.ended()) // a NUL ended the text: what follows does not count
        return first.sawMultiByte();
    if (failed.second)
        std::rethrow_exception(failed.second);
    return second.valid() && (first.sawMultiByte() || second.sawMultiByte());
}

TwoPartFailures RunTwoParts(const std::function<void()> &first, const std::function<void()> &second)
{
    TwoPartFailures failed;
    std::thread other([&] {
        try {
            second();
        } catch (...) {
            failed.second = std::current_exception();
        }
    });
    try {
        first();
    } catch (...) {
        failed.first = std::current_exception();
    }
    other.join();
    return failed;
}

std::string LooksBinaryMessage(const std::string &path)
{
    return TranslateWith("%1 looks like a binary file: its text ends at its first NUL byte.", {path});
}

} // namespace kf
