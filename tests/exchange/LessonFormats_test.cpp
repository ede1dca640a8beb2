#include "exchange/LessonFormats.h"

#include "exchange/ExchangeFormat.h"

#include "common/CodePage.h"
#include "common/Errors.h"

#include <gtest/gtest.h>

#include <QXmlStreamReader>

using namespace kf;

namespace {

const CodePage &cp1257()
{
    static const CodePage cp("CP1257");
    return cp;
}

// Two lessons in CP1257: "š" and "ž" bytes, a line holding XML's own
// characters.
TLessonCourse Course()
{
    TLessonCourse c;
    c.Page = &cp1257();
    c.Title = "Pamokos";
    c.Description = "Lietuvi\xC5\xB3 kalba";
    c.LayoutName = "lt";
    TLessonText a;
    a.New = "as";
    a.String = "as";
    a.Lines = {{TLessonLineKind::Drill, "a a a aa s s s ss", -1}, {TLessonLineKind::Words, "sas as", -1}};
    TLessonText b;
    b.New = "\xF0<&";
    b.String = "as\xF0<&";
    b.Lines = {{TLessonLineKind::Drill, "\xF0 \xF0 < &", -1}, {TLessonLineKind::Sentence, "a<s & \xF0", 0}};
    c.Lessons = {a, b};
    return c;
}

struct ReadLesson {
    QString id, title, chars, text;
};

std::vector<ReadLesson> ReadKTouch(const std::string &xml, QString &layout)
{
    QXmlStreamReader r(QByteArray::fromStdString(xml));
    std::vector<ReadLesson> lessons;
    bool inLesson = false;
    while (!r.atEnd()) {
        r.readNext();
        if (!r.isStartElement())
            continue;
        const QString name = r.name().toString();
        if (name == "lesson") {
            lessons.emplace_back();
            inLesson = true;
        } else if (name == "keyboardLayout") {
            layout = r.readElementText();
        } else if (inLesson && name == "id") {
            lessons.back().id = r.readElementText();
        } else if (inLesson && name == "title") {
            lessons.back().title = r.readElementText();
        } else if (inLesson && name == "newCharacters") {
            lessons.back().chars = r.readElementText();
        } else if (inLesson && name == "text") {
            lessons.back().text = r.readElementText();
        }
    }
    EXPECT_FALSE(r.hasError()) << r.errorString().toStdString();
    return lessons;
}

TEST(LessonFormatsTest, KTouchLessonsCarryTheirCharactersAndLinesInUnicode)
{
    const TLessonCourse course = Course();
    const std::string xml = KTouchCourse(course);
    QString layout;
    const std::vector<ReadLesson> lessons = ReadKTouch(xml, layout);
    EXPECT_EQ(layout, "lt");
    ASSERT_EQ(lessons.size(), 2u);
    EXPECT_EQ(lessons[1].chars, QString::fromUtf8("š<&"));
    EXPECT_EQ(lessons[1].title, QString::fromUtf8("Lesson 2: š < &"));
    EXPECT_EQ(lessons[1].text, QString::fromUtf8("š š < &\na<s & š"));
    EXPECT_EQ(lessons[0].text, "a a a aa s s s ss\nsas as");
    EXPECT_TRUE(lessons[0].id.startsWith('{'));
    EXPECT_NE(lessons[0].id, lessons[1].id);
    // The same course, the same ids; other lines, other ids.
    EXPECT_EQ(KTouchCourse(course), xml);
    TLessonCourse other = Course();
    other.Lessons[0].Lines[1].Text = "as sas";
    EXPECT_NE(ReadKTouch(KTouchCourse(other), layout)[0].id, lessons[0].id);
}

TEST(LessonFormatsTest, MonkeytypeSectionsAreTheLessonsAndAPipeIsRefused)
{
    TLessonCourse course = Course();
    EXPECT_EQ(MonkeytypeText(course), "a a a aa s s s ss sas as|\xC5\xA1 \xC5\xA1 < & a<s & \xC5\xA1");
    course.Lessons[1].Lines[1].Text = "a|s";
    EXPECT_THROW(MonkeytypeText(course), EConvertError);
}

TEST(LessonFormatsTest, TheOneListOfFormatsHoldsTheLessonFormats)
{
    using Content = TExchangeFormat::Content;
    EXPECT_EQ(ExchangeFormatNames(Content::Lessons), "json|text|ktouch|monkeytype");
    EXPECT_EQ(ExchangeFormatNames(Content::Keyboard), "xkb|klc|kle|ktouch");
    for (const TExchangeFormat *f : ExchangeFormats())
        EXPECT_EQ(FindExchangeFormat(f->Name(), f->Carries()), f) << f->Name();
    EXPECT_EQ(FindExchangeFormat("docx", Content::Lessons), nullptr);
    EXPECT_EQ(FindExchangeFormat("monkeytype"), nullptr); // a name is looked up with its content
    // "ktouch" is a keyboard and a course.
    ASSERT_NE(FindExchangeFormat("ktouch", Content::Lessons), FindExchangeFormat("ktouch", Content::Keyboard));
    EXPECT_EQ(ExchangeFormatFilter(Content::Lessons),
              "Lesson texts as JSON (*.json)|*.json|Lesson texts as text (*.txt)|*.txt|"
              "KTouch course (*.xml)|*.xml|Monkeytype custom text (*.txt)|*.txt");
    EXPECT_EQ(ExchangeFormatOfPath("/tmp/course.XML", Content::Lessons), FindExchangeFormat("ktouch", Content::Lessons));
    EXPECT_EQ(ExchangeFormatOfPath("/tmp/course.json", Content::Keyboard), FindExchangeFormat("kle"));
}

// The bytes of every lesson format are those of its writer.
TEST(LessonFormatsTest, EveryLessonFormatWritesItsWritersBytes)
{
    using Content = TExchangeFormat::Content;
    const TLessonCourse course = Course();
    EXPECT_EQ(FindExchangeFormat("json", Content::Lessons)->WriteLessons(course),
              LessonTextsJson(course.Lessons, cp1257()));
    EXPECT_EQ(FindExchangeFormat("text", Content::Lessons)->WriteLessons(course).rfind("Lesson 1: a s\n", 0), 0u);
    EXPECT_EQ(FindExchangeFormat("text", Content::Lessons)->WriteLessons(course),
              LessonTextsText(course.Lessons, cp1257(), true));
    EXPECT_EQ(FindExchangeFormat("ktouch", Content::Lessons)->WriteLessons(course), KTouchCourse(course));
    EXPECT_EQ(FindExchangeFormat("monkeytype", Content::Lessons)->WriteLessons(course), MonkeytypeText(course));
    // A keyboard format carries no lessons.
    EXPECT_THROW(FindExchangeFormat("kle")->WriteLessons(course), EConvertError);
}

} // namespace
