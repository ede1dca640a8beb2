#pragma once
// The lesson texts of a course written for a typing tutor: this program's
// own JSON and plain text, a KTouch course and a Monkeytype custom text.
// Each format is a name (what --format and the export's choice take), a
// file-dialog filter and a writer that turns the course into bytes; one list
// holds them all.

#include "words/LessonTexts.h"

#include <string>
#include <string_view>
#include <vector>

namespace kf {

class CodePage;

// A course to write: its lessons and what the formats say of it.
struct TLessonCourse {
    std::vector<TLessonText> Lessons;
    const CodePage *Page = nullptr; // the code page of the lessons' bytes
    std::string Title;              // UTF-8
    std::string Description;        // UTF-8
    std::string LayoutName;         // the system layout the keyboard is known as (KTouch)
    bool TextInCodePage = false;    // the text format in the code page instead of UTF-8
    uint64_t Seed = 1;              // the seed the lessons were made with (names them in KTouch)
};

struct TLessonFormat {
    const char *Name;   // "json", "text", "ktouch", "monkeytype"
    const char *Filter; // "KTouch course (*.xml)"
    const char *Suffix; // "xml"
    // Throws EConvertError when the course cannot be put in the format.
    std::string (*Write)(const TLessonCourse &course);
};

const std::vector<TLessonFormat> &LessonFormats();
// nullptr for a name no format has.
const TLessonFormat *FindLessonFormat(std::string_view name);
// "json, text, ktouch, monkeytype".
std::string LessonFormatNames();

// The writers.
std::string KTouchCourse(const TLessonCourse &course);
std::string MonkeytypeText(const TLessonCourse &course);

} // namespace kf
