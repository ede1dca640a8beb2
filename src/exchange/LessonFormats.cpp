#include "exchange/LessonFormats.h"

#include "common/CodePage.h"

namespace kf {

namespace {

std::string json(const TLessonCourse &course)
{
    return LessonTextsJson(course.Lessons, *course.Page);
}

std::string text(const TLessonCourse &course)
{
    return LessonTextsText(course.Lessons, *course.Page, !course.TextInCodePage);
}

} // namespace

const std::vector<TLessonFormat> &LessonFormats()
{
    static const std::vector<TLessonFormat> formats = {
        {"json", "Lesson texts as JSON (*.json)", "json", json},
        {"text", "Lesson texts as text (*.txt)", "txt", text},
        {"ktouch", "KTouch course (*.xml)", "xml", KTouchCourse},
        {"monkeytype", "Monkeytype custom text (*.txt)", "txt", MonkeytypeText},
    };
    return formats;
}

const TLessonFormat *FindLessonFormat(std::string_view name)
{
    for (const TLessonFormat &f : LessonFormats())
        if (name == f.Name)
            return &f;
    return nullptr;
}

std::string LessonFormatNames()
{
    std::string names;
    for (const TLessonFormat &f : LessonFormats())
        names += (names.empty() ? "" : ", ") + std::string(f.Name);
    return names;
}

} // namespace kf
