// A KTouch course: the course's id, title, description and keyboard layout,
// then one lesson per lesson of the course with its id, title, new
// characters and text (its lines one a line), in UTF-8. The ids are
// name-based UUIDs of the course's content and seed, so the same lessons
// give the same bytes.

#include "exchange/LessonFormats.h"

#include "common/CodePage.h"

#include <QBuffer>
#include <QUuid>
#include <QXmlStreamWriter>

namespace kf {

namespace {

// The namespace of the ids this program gives KTouch courses and lessons.
const QUuid kIdSpace = QUuid::fromString(QStringLiteral("{5d0f8f3e-6a0c-4a8e-9a53-4f2b7c1e0d61}"));

} // namespace

std::string KTouchCourse(const TLessonCourse &course)
{
    const CodePage &cp = *course.Page;
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QXmlStreamWriter xml(&buffer);
    xml.setAutoFormatting(true);
    xml.setAutoFormattingIndent(2);
    xml.writeStartDocument();

    QByteArray content = QByteArray::fromStdString(course.Title + '\n' + course.LayoutName + '\n' +
                                                   std::to_string(course.Seed));
    std::vector<QString> texts;
    for (const TLessonText &l : course.Lessons) {
        QString text;
        for (const TLessonLine &line : l.Lines) {
            if (!text.isEmpty())
                text += '\n';
            text += cp.decode(line.Text);
        }
        texts.push_back(text);
        content += text.toUtf8();
    }
    const QUuid courseId = QUuid::createUuidV5(kIdSpace, content);

    xml.writeStartElement("course");
    xml.writeTextElement("id", courseId.toString());
    xml.writeTextElement("title", QString::fromStdString(course.Title));
    xml.writeTextElement("description", QString::fromStdString(course.Description));
    xml.writeTextElement("keyboardLayout", QString::fromStdString(course.LayoutName));
    xml.writeStartElement("lessons");
    for (size_t k = 0; k < course.Lessons.size(); ++k) {
        const TLessonText &l = course.Lessons[k];
        QString shown;
        for (const char c : l.New) {
            if (!shown.isEmpty())
                shown += ' ';
            shown += cp.decode(std::string_view(&c, 1));
        }
        xml.writeStartElement("lesson");
        xml.writeTextElement("id", QUuid::createUuidV5(courseId, QByteArray::number(qulonglong(k))).toString());
        xml.writeTextElement("title", QStringLiteral("Lesson %1: %2").arg(k + 1).arg(shown));
        xml.writeTextElement("newCharacters", cp.decode(l.New));
        xml.writeTextElement("text", texts[k]);
        xml.writeEndElement();
    }
    xml.writeEndElement();
    xml.writeEndElement();
    xml.writeEndDocument();
    return bytes.toStdString();
}

} // namespace kf
