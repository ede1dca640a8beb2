#pragma once
// Text in UTF-8 or UTF-16 turned into the bytes of the user's code page, so
// that word splitting, case folding and the dictionary's 40-byte cut keep
// working on code-page bytes. The conversion is table-driven: the tables are
// built once from the code page's 256-entry byte <-> Unicode table, and text
// is converted block by block, ASCII eight bytes at a time.
//
// A character the code page cannot hold becomes a placeholder byte, and its
// place and value are listed beside the output, so that the caller can leave
// out the word holding it.

#include "common/CodePage.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace kf {

// How an input file is read.
enum class InputEncoding {
    Auto,     // a byte-order mark decides; else valid UTF-8 holding a multi-byte sequence; else the code page
    CodePage, // bytes of the code page in force, as they are
    Utf8,
    Utf16LE,
    Utf16BE,
};

// "auto", "codepage", "utf-8", "utf-16le", "utf-16be".
const char *InputEncodingName(InputEncoding encoding);
// Reads those names (case-insensitive; "utf8", "utf16le" and "utf16be" too).
bool ParseInputEncoding(std::string_view name, InputEncoding &encoding);

// The encoding a byte-order mark at the start of head names and the mark's
// length; {Auto, 0} when there is none.
struct ByteOrderMark {
    InputEncoding encoding = InputEncoding::Auto;
    size_t length = 0;
};
ByteOrderMark DetectByteOrderMark(std::string_view head);

// Checks UTF-8 fed in blocks. The text ends at its first NUL byte: what
// follows is not looked at.
class Utf8Validator {
public:
    // Checks the next block; false once the text is known to be malformed
    // (further blocks are then ignored).
    bool feed(std::string_view block);
    // Ends the text: a sequence left incomplete makes it malformed.
    bool finish();

    bool valid() const { return !m_malformed; }
    // Offset (from the first byte fed) of the malformed sequence's first byte.
    uint64_t errorOffset() const { return m_errorOffset; }
    // Whether a multi-byte sequence was met before the end of the text.
    bool sawMultiByte() const { return m_multiByte; }
    // Whether a NUL byte ended the text.
    bool ended() const { return m_ended; }

private:
    uint64_t m_offset = 0; // bytes fed so far
    uint8_t m_need = 0;    // continuation bytes still wanted by the open sequence
    uint8_t m_lo = 0x80, m_hi = 0xBF; // range of the next continuation byte
    uint64_t m_seqStart = 0;
    bool m_malformed = false, m_multiByte = false, m_ended = false;
    uint64_t m_errorOffset = 0;
};

// A character the code page has no byte for: where its placeholder stands in
// the output, and the character.
struct UnmappedChar {
    size_t at;
    char32_t ch;
};

class CodePageDecoder {
public:
    enum Status {
        Ok,
        EndOfText, // a U+0000 ended the text; the rest of the input is not text
        Malformed, // see errorOffset()
    };

    // encoding: Utf8, Utf16LE or Utf16BE (CodePage is passed through).
    // Characters the code page lacks become `placeholder`.
    CodePageDecoder(const CodePage &codePage, InputEncoding encoding, uint8_t placeholder = '?');

    // Converts the next block of input, appending code-page bytes to out and
    // the characters without a byte to unmapped (`at` counts from the start of
    // out). A sequence cut by the end of the block is completed by the next
    // block. After EndOfText or Malformed, further calls do nothing.
    Status decode(std::string_view block, std::string &out, std::vector<UnmappedChar> &unmapped);
    // Ends the input: a sequence left incomplete is Malformed.
    Status finish();

    // Offset of the malformed sequence's first byte, counted from the first
    // byte given to decode() (plus the base set below).
    uint64_t errorOffset() const { return m_errorOffset; }
    // Where the first byte given to decode() stands in the file.
    void setBaseOffset(uint64_t base) { m_offset = base; }
    // Bytes of input taken so far (plus the base).
    uint64_t offset() const { return m_offset; }

    // The code-page byte of a Unicode character, or -1.
    int byteFor(char32_t c) const;
    // Whether the code page keeps ASCII as it is (every usual one does).
    bool asciiSame() const { return m_asciiSame; }

private:
    Status decodeUtf8(const uint8_t *p, const uint8_t *end, std::string &out,
                      std::vector<UnmappedChar> &unmapped);
    Status decodeUtf16(const uint8_t *p, const uint8_t *end, std::string &out,
                       std::vector<UnmappedChar> &unmapped);
    Status fail(uint64_t at);

    static constexpr uint16_t kNoByte = 0x100;
    InputEncoding m_encoding;
    uint8_t m_placeholder;
    // U+0000..U+07FF directly; above, 256-character pages by the high byte
    // (page 0 holds no byte at all).
    std::array<uint16_t, 0x800> m_low{};
    std::array<uint8_t, 256> m_pageOf{};
    std::vector<std::array<uint16_t, 256>> m_pages;
    bool m_asciiSame = true;

    uint8_t m_carry[4] = {}; // bytes of a sequence cut by the end of a block
    size_t m_carryLen = 0;
    uint64_t m_offset = 0;
    uint64_t m_errorOffset = 0;
    Status m_status = Ok;
};

// A whole text turned into the code page: the bytes (a character the code
// page lacks as '?'), those characters, and the encoding that was used. Text
// after a U+0000 is dropped (a NUL ends a text).
struct DecodedText {
    std::string bytes;
    std::vector<UnmappedChar> unmapped;
    InputEncoding encoding = InputEncoding::CodePage;
};

// What Auto decides for a whole text (CodePage, Utf8, Utf16LE or Utf16BE).
InputEncoding DetectEncoding(std::string_view bytes);

// Decodes a whole text read as `encoding` (Auto: decided by DetectEncoding).
// A byte-order mark of the encoding used is skipped. Throws EConvertError
// naming `name` and the byte offset when the text is malformed.
DecodedText DecodeToCodePage(std::string_view bytes, InputEncoding encoding,
                             const CodePage &codePage, const std::string &name);

// The message of a malformed file: names it, the encoding and the offset.
std::string MalformedTextMessage(const std::string &name, InputEncoding encoding, uint64_t offset);

// A text file's lines in the code page (line rules as readTextLines), read
// as `encoding`. Lines holding a character the code page lacks are not in
// `lines`; they are listed in `unmappable` with their number (from 1) and
// their text in UTF-8.
struct DecodedLines {
    struct Unmappable {
        size_t line;
        std::string utf8;
    };
    std::vector<std::string> lines;
    std::vector<Unmappable> unmappable;
    InputEncoding encoding = InputEncoding::CodePage;
};
DecodedLines ReadDecodedLines(const std::string &path, InputEncoding encoding);

// ReadDecodedLines for a file whose every line counts (the course
// generator's strings): a line holding a character the code page lacks
// raises EConvertError naming the file, the line and the code page.
std::vector<std::string> ReadCodePageLines(const std::string &path, InputEncoding encoding);

// Appends the UTF-8 form of a character.
void AppendUtf8(std::string &out, char32_t c);

} // namespace kf
