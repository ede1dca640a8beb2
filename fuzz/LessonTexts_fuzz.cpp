// Lesson texts from arbitrary text: the sentences cut from it and the lines
// made of them and of a small dictionary must keep to the lesson's
// characters and the width, and every sentence line must stand in the text.

#include "common/CodePage.h"
#include "common/CodePageDecoder.h"
#include "model/KeyCodes.h"
#include "model/KeyLayout.h"
#include "words/CoursePlan.h"
#include "words/LessonTexts.h"

#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

// Letters with their capitals under Shift, and a few marks.
kf::TKeyLayout Keyboard()
{
    kf::TKeyLayout layout;
    const std::string plain = "abcdefghijklmnopqrstuvwxyz.,'-";
    const std::string shifted = "ABCDEFGHIJKLMNOPQRSTUVWXYZ!?\"_";
    for (size_t k = 0; k < plain.size(); ++k) {
        kf::TLayoutKey key;
        key.Value = int32_t(k + 1);
        key.Type = kf::KeyTypes::Alpha;
        layout.Keys.push_back(key);
        kf::TLayoutChar c;
        c.KeyNo = key.Value;
        c.Key = int(k);
        c.Code = uint8_t(plain[k]);
        layout.Chars.push_back(c);
        c.Code = uint8_t(shifted[k]);
        c.Shift = true;
        layout.Chars.push_back(c);
    }
    return layout;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 2)
        return 0;
    static const kf::CodePage cp("CP1252");
    static const kf::TKeyLayout layout = Keyboard();
    static const kf::TPlanDictionary dictionary = kf::TPlanDictionary::FromLines(
        std::vector<std::string>{"sad\t5", "dad\t3", "lads", "fall", "the\t9", "sea", "a", "tea's", "-"});
    // Byte 0: the width; byte 1: the seed; the rest is the text.
    kf::TLessonOptions options;
    options.Width = kf::TLessonOptions::kMinWidth + data[0] % 40;
    options.Length = 400;
    options.Seed = data[1];
    kf::DecodedText text;
    text.bytes.assign(reinterpret_cast<const char *>(data) + 2, size - 2);

    kf::TLessonTexts texts(cp, layout);
    texts.AddText(text);
    texts.SetPlan({"asdf", "jkl", "eht", "rio"}, dictionary);
    const std::vector<kf::TLessonText> lessons = texts.Make(options);
    std::string normal; // the text with its blanks made single
    for (const char c : text.bytes) {
        const bool blank = uint8_t(c) <= ' ' || uint8_t(c) == 0xA0;
        if (blank && !normal.empty() && normal.back() != ' ')
            normal += ' ';
        else if (!blank)
            normal += c;
    }
    for (const kf::TLessonText &l : lessons)
        for (const kf::TLessonLine &line : l.Lines) {
            if (line.Text.empty() || line.Text.size() > size_t(options.Width))
                std::abort();
            for (const char c : line.Text)
                if (c != ' ' && l.String.find(c) == std::string::npos)
                    std::abort();
            if (line.Kind == kf::TLessonLineKind::Sentence && normal.find(line.Text) == std::string::npos)
                std::abort();
        }
    return 0;
}
