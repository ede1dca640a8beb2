// A Monkeytype custom text: every lesson's lines joined by blanks, the
// lessons one section each of its pipe-delimited mode ("|" between them),
// in UTF-8. keybr's custom text takes one such section at a time.

#include "exchange/LessonFormats.h"

#include "common/CodePage.h"
#include "common/CodePageDecoder.h"
#include "common/Errors.h"
#include "common/Translation.h"

namespace kf {

std::string MonkeytypeText(const TLessonCourse &course)
{
    const CodePage &cp = *course.Page;
    std::string out;
    for (size_t k = 0; k < course.Lessons.size(); ++k) {
        const TLessonText &l = course.Lessons[k];
        if (k)
            out += '|';
        bool first = true;
        for (const TLessonLine &line : l.Lines) {
            if (line.Text.find('|') != std::string::npos)
                throw EConvertError(TranslateWith(
                    "Lesson %1 holds \"|\", which divides the lessons of a Monkeytype text: leave it out of the "
                    "plan.",
                    {std::to_string(k + 1)}));
            if (!first)
                out += ' ';
            first = false;
            for (const char c : line.Text)
                AppendUtf8(out, cp.toUnicode(uint8_t(c)));
        }
    }
    return out;
}

} // namespace kf
