#include "exchange/LessonFormats.h"

#include "common/CodePage.h"
#include "exchange/ExchangeFormat.h"

namespace kf {

namespace {

// A lesson format: a name, a title, the pattern of its files and a writer.
class LessonFormat final : public TExchangeFormat {
public:
    using Writer = std::string (*)(const TLessonCourse &);
    LessonFormat(const char *name, const char *title, const char *pattern, Writer write)
        : m_name(name), m_title(title), m_pattern(pattern), m_write(write)
    {
    }
    const char *Name() const override { return m_name; }
    QString Title() const override { return QString::fromLatin1(m_title); }
    QString Filter() const override
    {
        return QStringLiteral("%1 (%2)").arg(Title(), QString::fromLatin1(m_pattern));
    }
    Content Carries() const override { return Content::Lessons; }
    std::string WriteLessons(const TLessonCourse &course) const override { return m_write(course); }

private:
    const char *m_name, *m_title, *m_pattern;
    Writer m_write;
};

std::string json(const TLessonCourse &course)
{
    return LessonTextsJson(course.Lessons, *course.Page);
}

std::string text(const TLessonCourse &course)
{
    return LessonTextsText(course.Lessons, *course.Page, !course.TextInCodePage);
}

} // namespace

const TExchangeFormat &LessonsJsonFormat()
{
    static const LessonFormat format("json", "Lesson texts as JSON", "*.json", json);
    return format;
}

const TExchangeFormat &LessonsTextFormat()
{
    static const LessonFormat format("text", "Lesson texts as text", "*.txt", text);
    return format;
}

const TExchangeFormat &KTouchCourseFormat()
{
    static const LessonFormat format("ktouch", "KTouch course", "*.xml", KTouchCourse);
    return format;
}

const TExchangeFormat &MonkeytypeTextFormat()
{
    static const LessonFormat format("monkeytype", "Monkeytype custom text", "*.txt", MonkeytypeText);
    return format;
}

} // namespace kf
