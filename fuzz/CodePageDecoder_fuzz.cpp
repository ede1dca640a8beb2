// UTF-8 and UTF-16 input turned into the code page, on arbitrary bytes: the
// decoder fed in pieces whose size comes from the input must give what it
// gives for the whole input (bytes, characters without a byte, status and
// error offset), and agree with the UTF-8 check on which texts are valid.

#include "common/CodePage.h"
#include "common/CodePageDecoder.h"

#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

struct Result {
    kf::CodePageDecoder::Status status;
    std::string bytes;
    std::vector<std::pair<size_t, char32_t>> unmapped;
    uint64_t errorOffset;
};

Result decode(const kf::CodePage &cp, kf::InputEncoding enc, std::string_view text, size_t piece)
{
    kf::CodePageDecoder d(cp, enc);
    Result r{kf::CodePageDecoder::Ok, {}, {}, 0};
    std::vector<kf::UnmappedChar> unmapped;
    for (size_t at = 0; at < text.size(); at += piece)
        r.status = d.decode(text.substr(at, piece), r.bytes, unmapped);
    if (r.status == kf::CodePageDecoder::Ok)
        r.status = d.finish();
    for (const kf::UnmappedChar &u : unmapped) {
        if (u.at >= r.bytes.size() || r.bytes[u.at] != '?')
            std::abort();
        r.unmapped.emplace_back(u.at, u.ch);
    }
    r.errorOffset = r.status == kf::CodePageDecoder::Malformed ? d.errorOffset() : 0;
    return r;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 2)
        return 0;
    static const kf::CodePage cp("CP1251");
    // Byte 0: the encoding (low two bits) and the piece size; the rest is the text.
    const kf::InputEncoding enc = (data[0] & 3) == 0   ? kf::InputEncoding::Utf8
                                  : (data[0] & 3) == 1 ? kf::InputEncoding::Utf16LE
                                                       : kf::InputEncoding::Utf16BE;
    const size_t piece = size_t(data[0] >> 2) + 1;
    const std::string_view text(reinterpret_cast<const char *>(data) + 1, size - 1);
    const Result whole = decode(cp, enc, text, text.size());
    const Result pieces = decode(cp, enc, text, piece);
    if (whole.status != pieces.status || whole.bytes != pieces.bytes || whole.unmapped != pieces.unmapped ||
        whole.errorOffset != pieces.errorOffset)
        std::abort();
    if (enc == kf::InputEncoding::Utf8) {
        kf::Utf8Validator check;
        for (size_t at = 0; at < text.size(); at += piece)
            check.feed(text.substr(at, piece));
        check.finish();
        if (check.valid() != (whole.status != kf::CodePageDecoder::Malformed))
            std::abort();
        if (!check.valid() && check.errorOffset() != whole.errorOffset)
            std::abort();
    }
    return 0;
}
