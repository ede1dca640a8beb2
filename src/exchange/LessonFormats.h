#pragma once
// The lesson texts of a course written for a typing tutor: this program's
// own JSON and plain text, a KTouch course and a Monkeytype custom text.
// Each format is a unit of TExchangeFormat carrying Content::Lessons (its
// name for --format, its file-dialog filter, WriteLessons), listed with the
// keyboard formats in ExchangeFormats().

#include "words/LessonTexts.h"

#include <string>
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

class TExchangeFormat;

// The formats, one accessor each: "json", "text", "ktouch", "monkeytype".
const TExchangeFormat &LessonsJsonFormat();
const TExchangeFormat &LessonsTextFormat();
const TExchangeFormat &KTouchCourseFormat();
const TExchangeFormat &MonkeytypeTextFormat();

// The writers.
std::string KTouchCourse(const TLessonCourse &course);
std::string MonkeytypeText(const TLessonCourse &course);

} // namespace kf
