#include "common/CodePageDecoder.h"
#include "common/Errors.h"
#include "common/TextFile.h"

#include <gtest/gtest.h>

#include <QList>
#include <QString>

#include <cstdlib>
#include <filesystem>
#include <random>

using namespace kf;
using namespace std::string_literals;

namespace {

std::string utf16(const std::string &utf8, bool bigEndian, bool bom)
{
    std::string out;
    if (bom)
        out = bigEndian ? "\xFE\xFF" : "\xFF\xFE";
    const QString s = QString::fromUtf8(utf8.data(), qsizetype(utf8.size()));
    for (const QChar c : s) {
        const char hi = char(c.unicode() >> 8), lo = char(c.unicode() & 0xFF);
        out += bigEndian ? std::string{hi, lo} : std::string{lo, hi};
    }
    return out;
}

struct Decoded {
    CodePageDecoder::Status status;
    std::string bytes;
    std::vector<std::pair<size_t, char32_t>> unmapped;
    uint64_t errorOffset;
};

// Decodes input given in the pieces that the cut points make.
Decoded decodeInPieces(const CodePage &cp, InputEncoding enc, const std::string &input,
                       const std::vector<size_t> &cuts)
{
    CodePageDecoder d(cp, enc);
    Decoded r{CodePageDecoder::Ok, {}, {}, 0};
    std::vector<UnmappedChar> unmapped;
    size_t from = 0;
    std::vector<size_t> all = cuts;
    all.push_back(input.size());
    for (const size_t to : all) {
        r.status = d.decode(std::string_view(input).substr(from, to - from), r.bytes, unmapped);
        from = to;
    }
    if (r.status == CodePageDecoder::Ok)
        r.status = d.finish();
    for (const UnmappedChar &u : unmapped)
        r.unmapped.emplace_back(u.at, u.ch);
    r.errorOffset = d.errorOffset();
    return r;
}

struct DecodeCase {
    const char *name;
    InputEncoding encoding;
    std::string input;
    CodePageDecoder::Status status;
    std::string bytes;                                     // in CP1252
    std::vector<std::pair<size_t, char32_t>> unmapped;     // placeholder '?'
    uint64_t errorOffset;
};

std::vector<DecodeCase> decodeCases()
{
    using S = CodePageDecoder::Status;
    const auto U8 = InputEncoding::Utf8;
    return {
        {"Ascii", U8, "plain text, long enough for the fast path", S::Ok,
         "plain text, long enough for the fast path", {}, 0},
        {"Latin", U8, "Gr\xC3\xB6\xC3\x9F" "e \xE2\x82\xAC 5", S::Ok, "Gr\xF6\xDF" "e \x80 5", {}, 0},
        {"Unmappable", U8, "z\xC4\x85" "b \xF0\x9F\x98\x80!", S::Ok, "z?b ?!", {{1, 0x105}, {4, 0x1F600}}, 0},
        // U+0081: CP1252 leaves 0x81 undefined, so no character becomes it.
        {"C1HasNoUndefinedByte", U8, "a\xC2\x81", S::Ok, "a?", {{1, 0x81}}, 0},
        {"NulEndsTheText", U8, "before\xC3\xA4\0after \xFF"s, S::EndOfText, "before\xE4", {}, 0},
        {"StrayContinuation", U8, "abc\x80xyz", S::Malformed, "abc", {}, 3},
        {"OverlongTwoBytes", U8, "ab\xC0\x80", S::Malformed, "ab", {}, 2},
        {"OverlongThreeBytes", U8, "\xE0\x80\xAF", S::Malformed, "", {}, 0},
        {"Surrogate", U8, "x\xED\xA0\x80", S::Malformed, "x", {}, 1},
        {"AboveUnicode", U8, "12345678\xF4\x90\x80\x80", S::Malformed, "12345678", {}, 8},
        {"LeadByteF5", U8, "\xF5\x80\x80\x80", S::Malformed, "", {}, 0},
        {"CutByNextCharacter", U8, "ok \xC3 ok", S::Malformed, "ok ", {}, 3},
        {"CutByTheEnd", U8, "ok \xE2\x82", S::Malformed, "ok ", {}, 3},
        {"Utf16LE", InputEncoding::Utf16LE, utf16("Straße € \xF0\x9F\x98\x80 z\xC4\x85", false, false), S::Ok,
         "Stra\xDF" "e \x80 ? z?", {{9, 0x1F600}, {12, 0x105}}, 0},
        {"Utf16BE", InputEncoding::Utf16BE, utf16("Straße, long enough", true, false), S::Ok,
         "Stra\xDF" "e, long enough", {}, 0},
        {"Utf16Nul", InputEncoding::Utf16LE, std::string("a\0b\0\0\0c\0", 8), S::EndOfText, "ab", {}, 0},
        {"Utf16LoneLowSurrogate", InputEncoding::Utf16LE, std::string("a\0\x00\xDC", 4), S::Malformed, "a", {}, 2},
        {"Utf16HighWithoutLow", InputEncoding::Utf16LE, std::string("\x00\xD8" "a\0", 4), S::Malformed, "", {}, 0},
        {"Utf16OddLength", InputEncoding::Utf16LE, std::string("a\0b", 3), S::Malformed, "a", {}, 2},
    };
}

void PrintTo(const DecodeCase &c, std::ostream *os)
{
    *os << c.name;
}

class DecodeTest : public ::testing::TestWithParam<DecodeCase> {};

} // namespace

TEST_P(DecodeTest, WholeAndInEveryTwoAndThreePieces)
{
    const DecodeCase &c = GetParam();
    const CodePage cp("CP1252");
    const Decoded whole = decodeInPieces(cp, c.encoding, c.input, {});
    EXPECT_EQ(whole.status, c.status);
    EXPECT_EQ(whole.bytes, c.bytes);
    EXPECT_EQ(whole.unmapped, c.unmapped);
    if (c.status == CodePageDecoder::Malformed) {
        EXPECT_EQ(whole.errorOffset, c.errorOffset);
    }
    // A sequence cut by a block's end is completed by the next block.
    const size_t n = c.input.size();
    for (size_t i = 0; i <= n; ++i) {
        for (size_t j = i; j <= n; j += (n > 12 ? 5 : 1)) {
            const Decoded p = decodeInPieces(cp, c.encoding, c.input, {i, j});
            ASSERT_EQ(p.status, whole.status) << i << "," << j;
            EXPECT_EQ(p.bytes, whole.bytes) << i << "," << j;
            EXPECT_EQ(p.unmapped, whole.unmapped) << i << "," << j;
            if (c.status == CodePageDecoder::Malformed) {
                EXPECT_EQ(p.errorOffset, whole.errorOffset) << i << "," << j;
            }
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Texts, DecodeTest, ::testing::ValuesIn(decodeCases()),
                         [](const auto &caseInfo) { return std::string(caseInfo.param.name); });

TEST(CodePageDecoder, EveryCharacterOfTheCodePageComesBackAsItsByte)
{
    for (const char *name : {"CP1250", "CP1251", "CP1252", "CP1253", "CP1257", "CP874"}) {
        const CodePage cp(name);
        std::string utf8, want;
        for (int b = 1; b < 256; ++b) {
            if (!cp.defined(uint8_t(b)))
                continue;
            uint8_t back = 0;
            ASSERT_TRUE(cp.fromUnicode(cp.toUnicode(uint8_t(b)), back));
            AppendUtf8(utf8, cp.toUnicode(uint8_t(b)));
            want.push_back(char(back));
        }
        const DecodedText d = DecodeToCodePage(utf8, InputEncoding::Utf8, cp, "t");
        EXPECT_EQ(d.bytes, want) << name;
        EXPECT_TRUE(d.unmapped.empty()) << name;
        const DecodedText d16 = DecodeToCodePage(utf16(utf8, true, true), InputEncoding::Auto, cp, "t");
        EXPECT_EQ(d16.encoding, InputEncoding::Utf16BE);
        EXPECT_EQ(d16.bytes, want) << name;
    }
}

// A character whose number is a byte the code page leaves undefined, and
// U+FFFD, have no byte: they are unmapped like any other the code page lacks.
TEST(CodePageDecoder, NoCharacterBecomesAnUndefinedByte)
{
    const struct {
        const char *codePage;
        char32_t ch;
    } cases[] = {
        {"CP1257", 0xA5}, {"CP1257", 0xA1}, {"CP1251", 0x98}, {"CP1252", 0x81},
        {"CP1252", 0x8D}, {"CP1252", 0x8F}, {"CP1252", 0x90}, {"CP1252", 0x9D}, {"CP1252", 0xFFFD},
    };
    for (const auto &c : cases) {
        const CodePage cp(c.codePage);
        std::string utf8 = "x";
        AppendUtf8(utf8, c.ch);
        for (const InputEncoding enc : {InputEncoding::Utf8, InputEncoding::Utf16LE}) {
            const std::string input = enc == InputEncoding::Utf8 ? utf8 : utf16(utf8, false, false);
            const DecodedText d = DecodeToCodePage(input, enc, cp, "t");
            EXPECT_EQ(d.bytes, "x?") << c.codePage << " U+" << std::hex << unsigned(c.ch);
            ASSERT_EQ(d.unmapped.size(), 1u) << c.codePage << " U+" << std::hex << unsigned(c.ch);
            EXPECT_EQ(d.unmapped[0].ch, c.ch);
        }
        EXPECT_EQ(CodePageDecoder(cp, InputEncoding::Utf8).byteFor(c.ch), -1);
    }
}

TEST(CodePageDecoder, RandomTextAgainstQtInRandomPieces)
{
    // Characters from ASCII, Latin-1, Cyrillic, the symbols CP1251 holds and
    // beyond the BMP, decoded in random pieces; the reference is Qt's UTF-8
    // reader and the code page's own reverse lookup.
    const CodePage cp("CP1251");
    const char32_t pool[] = {'a', 'Z', ' ', '\n', 0xE9, 0x401, 0x451, 0x44F, 0x2116, 0x20AC, 0x2014, 0x4E2D, 0x1F600};
    for (unsigned seed = 1; seed <= 5; ++seed) {
        std::mt19937 rng(seed);
        std::string utf8, want;
        std::vector<std::pair<size_t, char32_t>> wantUnmapped;
        for (int i = 0; i < 3000; ++i) {
            const char32_t c = pool[rng() % std::size(pool)];
            AppendUtf8(utf8, c);
            uint8_t b = 0;
            if (cp.fromUnicode(c, b)) {
                want.push_back(char(b));
            } else {
                wantUnmapped.emplace_back(want.size(), c);
                want.push_back('?');
            }
        }
        ASSERT_EQ(QString::fromUtf8(utf8.data(), qsizetype(utf8.size())).toUcs4().size(), 3000);
        std::vector<size_t> cuts;
        for (size_t at = rng() % 7; at < utf8.size(); at += 1 + rng() % 100)
            cuts.push_back(at);
        const Decoded d = decodeInPieces(cp, InputEncoding::Utf8, utf8, cuts);
        EXPECT_EQ(d.status, CodePageDecoder::Ok);
        EXPECT_EQ(d.bytes, want) << seed;
        EXPECT_EQ(d.unmapped, wantUnmapped) << seed;
    }
}

TEST(CodePageDecoder, AutoDecidesByMarkThenByValidUtf8)
{
    const struct {
        const char *name;
        std::string text;
        InputEncoding want;
    } cases[] = {
        {"utf-8 mark", "\xEF\xBB\xBFplain", InputEncoding::Utf8},
        {"utf-16le mark", "\xFF\xFEp\0"s, InputEncoding::Utf16LE},
        {"utf-16be mark", "\xFE\xFF\0p"s, InputEncoding::Utf16BE},
        {"ascii only", "plain words", InputEncoding::CodePage},
        {"valid utf-8", "na\xC3\xAFve caf\xC3\xA9", InputEncoding::Utf8},
        {"cp1252 umlaut", "Gr\xF6\xDF" "e", InputEncoding::CodePage},
        {"valid then broken", "caf\xC3\xA9 na\xEFve", InputEncoding::CodePage},
        {"truncated at the end", "caf\xC3\xA9 \xE2\x82", InputEncoding::CodePage},
        {"after a NUL nothing counts", std::string("caf\xC3\xA9\0\xFF", 7), InputEncoding::Utf8},
        {"multi-byte only after the NUL", std::string("cafe\0\xC3\xA9", 7), InputEncoding::CodePage},
    };
    for (const auto &c : cases)
        EXPECT_EQ(DetectEncoding(c.text), c.want) << c.name;
}

TEST(CodePageDecoder, EncodingNames)
{
    for (const InputEncoding e : {InputEncoding::Auto, InputEncoding::CodePage, InputEncoding::Utf8,
                                  InputEncoding::Utf16LE, InputEncoding::Utf16BE}) {
        InputEncoding back = InputEncoding::Auto;
        EXPECT_TRUE(ParseInputEncoding(InputEncodingName(e), back));
        EXPECT_EQ(back, e);
    }
    InputEncoding e = InputEncoding::Auto;
    EXPECT_TRUE(ParseInputEncoding("UTF8", e));
    EXPECT_EQ(e, InputEncoding::Utf8);
    EXPECT_FALSE(ParseInputEncoding("latin1", e));
    EXPECT_FALSE(ParseInputEncoding("", e));
}

TEST(CodePageDecoder, LinesOfAFileAndTheLinesTheCodePageCannotHold)
{
    const std::filesystem::path dir = std::filesystem::path(::testing::TempDir()) / "cpdecoder_lines";
    std::filesystem::create_directories(dir);
    const std::string path = (dir / "lines.txt").string();
    const char *old = std::getenv("KEYFOLIO_CODEPAGE");
    const std::string saved = old ? old : "";
    ::setenv("KEYFOLIO_CODEPAGE", "CP1252", 1);
    CodePage::reload();
    writeFileBytes(path, "\xEF\xBB\xBF" "gr\xC3\xB6\xC3\x9F" "e\r\nz\xC4\x85" "b\rplain\n\nlast");
    const DecodedLines lines = ReadDecodedLines(path, InputEncoding::Auto);
    EXPECT_EQ(lines.encoding, InputEncoding::Utf8);
    EXPECT_EQ(lines.lines, (std::vector<std::string>{"gr\xF6\xDF" "e", "plain", "", "last"}));
    ASSERT_EQ(lines.unmappable.size(), 1u);
    EXPECT_EQ(lines.unmappable[0].line, 2u);
    EXPECT_EQ(lines.unmappable[0].utf8, "z\xC4\x85" "b");
    // Read as the code page, the same file is bytes as they are.
    EXPECT_EQ(ReadDecodedLines(path, InputEncoding::CodePage).lines[0], "\xEF\xBB\xBFgr\xC3\xB6\xC3\x9F" "e");
    // Where every line counts, such a line is an error naming file and line.
    try {
        ReadCodePageLines(path, InputEncoding::Auto);
        ADD_FAILURE() << "no error";
    } catch (const EConvertError &e) {
        EXPECT_NE(std::string(e.what()).find("Line 2 of file \"" + path + "\""), std::string::npos) << e.what();
    }
    // A NUL ends the text in either reading; a final break makes no empty line.
    writeFileBytes(path, std::string("\xEF\xBB\xBF" "a\r\nb\n\0c\n", 11));
    EXPECT_EQ(ReadDecodedLines(path, InputEncoding::Auto).lines, (std::vector<std::string>{"a", "b"}));
    EXPECT_EQ(ReadDecodedLines(path, InputEncoding::CodePage).lines, (std::vector<std::string>{"\xEF\xBB\xBF" "a", "b"}));
    // A malformed file names itself and the offset of the bad byte.
    writeFileBytes(path, "\xEF\xBB\xBF" "ok\r\nbad \xC3(\r\n");
    try {
        ReadDecodedLines(path, InputEncoding::Auto);
        ADD_FAILURE() << "no error";
    } catch (const EConvertError &e) {
        const std::string what = e.what();
        EXPECT_NE(what.find(path), std::string::npos) << what;
        EXPECT_NE(what.find("byte offset 11"), std::string::npos) << what;
    }
    std::filesystem::remove_all(dir);
    if (old)
        ::setenv("KEYFOLIO_CODEPAGE", saved.c_str(), 1);
    else
        ::unsetenv("KEYFOLIO_CODEPAGE");
    CodePage::reload();
}
