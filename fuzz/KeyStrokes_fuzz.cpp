// The keystroke statistics' text reader on arbitrary bytes: a file read in
// two halves at once must give the tally it gives read whole, in every
// encoding, as text or as a list with counts; a malformed file is refused
// the same way both times; and the figures of a small keyboard over the tally
// add up (presses per key sum to the keystrokes, shares within 0..1).

#include "common/CodePage.h"
#include "common/Errors.h"
#include "model/KeyCodes.h"
#include "model/KeyLayout.h"
#include "model/KeyStrokeFormats.h"
#include "model/KeyStrokeStats.h"
#include "model/TextTallyReader.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <numeric>
#include <string>
#include <unistd.h>

namespace {

// A file of the fuzzer's own for the input at hand.
const std::string &scratchFile()
{
    static const std::string path = [] {
        char name[] = "/tmp/kf-fuzz-keystrokes-XXXXXX";
        const int fd = mkstemp(name);
        if (fd < 0)
            std::abort();
        close(fd);
        return std::string(name);
    }();
    return path;
}

// Letters a..f on the home row (fingers 0..3 and 6, 7), Shift on both sides,
// an acute dead key, Space and Enter.
const kf::TKeyLayout &keyboard()
{
    static const kf::TKeyLayout layout = [] {
        using namespace kf;
        TKeyLayout l;
        int x = 0;
        const auto key = [&](int32_t value, int32_t type, int32_t finger, int y) {
            TLayoutKey k;
            k.Value = value;
            k.Type = type;
            k.Finger = finger;
            k.X = x += 40;
            k.Y = y;
            k.Width = k.Height = 40;
            l.Keys.push_back(k);
        };
        const int fingers[] = {0, 1, 2, 3, 6, 7};
        for (int i = 0; i < 6; ++i)
            key(i + 1, KeyTypes::Alpha, fingers[i], 40);
        key(10, KeyTypes::LShift, Fingers::LLittle, 80);
        key(11, KeyTypes::RShift, Fingers::RLittle, 80);
        key(12, KeyTypes::Acute, Fingers::RLittle, 40);
        key(13, KeyTypes::Space, Fingers::LThumb, 120);
        key(14, KeyTypes::Enter, Fingers::RLittle, 40);
        const auto ch = [&](uint8_t code, int32_t keyNo, bool shift, int32_t accent) {
            TLayoutChar c;
            c.Code = code;
            c.KeyNo = keyNo;
            c.Shift = shift;
            c.Accent = accent;
            c.Key = l.KeyByValue(keyNo);
            l.Chars.push_back(c);
        };
        for (int i = 0; i < 6; ++i) {
            ch(uint8_t('a' + i), i + 1, false, 0);
            ch(uint8_t('A' + i), i + 1, true, 0);
        }
        ch(0xE1, 1, false, KeyTypes::Acute); // a acute
        ch(0xE9, 5, false, KeyTypes::Acute); // e acute
        ch(' ', 13, false, 0);
        return l;
    }();
    return layout;
}

// The tally of the file, or the refusal's message.
std::string readAll(const kf::TTextReadOptions &options, kf::TTextTally &tally)
{
    try {
        kf::ReadTextFile(scratchFile(), kf::CodePage::current(), options, tally);
        return std::string();
    } catch (const kf::Exception &e) {
        return e.what();
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 1)
        return 0;
    // Byte 0: the encoding (low three bits), counts (bit 3); the rest is the file.
    static const kf::InputEncoding encodings[] = {kf::InputEncoding::Auto, kf::InputEncoding::CodePage,
                                                  kf::InputEncoding::Utf8, kf::InputEncoding::Utf16LE,
                                                  kf::InputEncoding::Utf16BE};
    kf::TTextReadOptions options;
    options.encoding = encodings[(data[0] & 7) % 5];
    options.wordCounts = (data[0] & 8) != 0;
    options.blockSize = 64;
    FILE *f = std::fopen(scratchFile().c_str(), "wb");
    if (!f || std::fwrite(data + 1, 1, size - 1, f) != size - 1 || std::fclose(f) != 0)
        std::abort();

    options.threads = 1;
    kf::TTextTally whole;
    const std::string wholeError = readAll(options, whole);
    options.threads = 2;
    options.splitFrom = 16; // halves from 16 bytes on
    kf::TTextTally halves;
    const std::string halvesError = readAll(options, halves);
    if (wholeError != halvesError || (wholeError.empty() && !(whole == halves)))
        std::abort();
    if (!wholeError.empty())
        return 0;

    const kf::TKeyStrokeFigures figures = kf::ComputeKeyStrokes(keyboard(), whole);
    if (std::accumulate(figures.Keys.begin(), figures.Keys.end(), uint64_t(0)) != figures.Keystrokes
        || figures.Typed + figures.NotTypeable + figures.NotInCodePage != figures.Characters)
        std::abort();
    for (const double share : {figures.SameFinger(), figures.Alternation(), figures.ModifierLoad()})
        if (!(share >= 0 && share <= 1))
            std::abort();
    for (const double use : figures.KeyUse())
        if (!(use >= 0 && use <= 1))
            std::abort();
    return 0;
}
