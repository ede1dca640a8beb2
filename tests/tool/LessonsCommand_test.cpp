// keyfolio-tool course lessons, run as a process: a Lithuanian and a Polish
// keyboard imported from the system layouts, a dictionary and running text
// in those languages, the four formats, and what is refused.

#include "common/TextFile.h"
#include "ProgramRun.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>

#include <set>

namespace {

using ToolRun = kf::test::TProgramRun;

const QString kData = QStringLiteral(KF_TEST_DATA_DIR "/lessons/");

struct Language {
    const char *name;
    const char *layout;
    const char *codePage;
    const char *levels;
    const char *capital; // a capital of its own the capitals lesson brings
};

void PrintTo(const Language &l, std::ostream *os)
{
    *os << l.name;
}

const Language kLanguages[] = {
    {"lt", "lt", "CP1257", "plain", "Ž"},
    {"pl", "pl", "CP1250", "plain,altgr", "Ż"},
};

// A keyboard and a dictionary of each language, made once for all tests.
class LessonsCommand : public ::testing::TestWithParam<Language> {
protected:
    static void SetUpTestSuite()
    {
        s_dir = new QTemporaryDir;
        for (const Language &l : kLanguages) {
            const QString cp = l.codePage;
            ToolRun r = kf::test::RunProgram(kf::test::ToolProgram(),
                                             {"package", "import", l.layout, "--code-page", cp, "-o", file(l, "vkt")}, cp);
            ASSERT_EQ(r.status, 0) << r.err;
            r = kf::test::RunProgram(kf::test::ToolProgram(),
                                     {"dict", "--counts", "--no-digits", "--delimiters", "„“”–?!", "-o",
                                      file(l, "dict"), kData + l.name + ".txt"},
                                     cp);
            ASSERT_EQ(r.status, 0) << r.err;
        }
    }
    static void TearDownTestSuite()
    {
        delete s_dir;
        s_dir = nullptr;
    }
    static QString file(const Language &l, const QString &suffix)
    {
        return s_dir->filePath(QString(l.name) + "." + suffix);
    }

    ToolRun lessons(const QStringList &args, bool withText = true) const
    {
        const Language &l = GetParam();
        QStringList all = {"course", "lessons", "--keyboard", file(l, "vkt"), "--dictionary", file(l, "dict")};
        if (withText)
            all << "--text" << kData + l.name + ".txt";
        return kf::test::RunProgram(kf::test::ToolProgram(), all + args, l.codePage);
    }
    QString out(const QString &name) const { return s_dir->filePath(QString(GetParam().name) + "-" + name); }

    static QTemporaryDir *s_dir;
};

QTemporaryDir *LessonsCommand::s_dir = nullptr;

QByteArray readAll(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

TEST_P(LessonsCommand, JsonLessonsKeepTheirCharactersAndEndWithCapitalsAndMarks)
{
    const Language &l = GetParam();
    const ToolRun r = lessons({"--levels", l.levels, "--per-lesson", "3", "--format", "json", "-o", out("l.json")});
    ASSERT_EQ(r.status, 0) << r.err;
    const QJsonArray all = QJsonDocument::fromJson(readAll(out("l.json"))).object().value("lessons").toArray();
    ASSERT_GE(all.size(), 5);
    QString previous;
    std::set<QString> sentences;
    int sentenceLines = 0;
    for (const QJsonValue &v : all) {
        const QJsonObject o = v.toObject();
        const QString string = o.value("string").toString();
        EXPECT_EQ(string, previous + o.value("new").toString());
        previous = string;
        for (const QJsonValue &line : o.value("lines").toArray()) {
            const QString text = line.toObject().value("text").toString();
            for (const QChar c : text)
                EXPECT_TRUE(c == ' ' || string.contains(c)) << text.toStdString();
            if (line.toObject().value("kind").toString() == "sentence") {
                ++sentenceLines;
                EXPECT_TRUE(sentences.insert(text).second) << text.toStdString();
            }
        }
    }
    const QString capitals = all[all.size() - 2].toObject().value("new").toString();
    EXPECT_EQ(capitals, capitals.toUpper());
    EXPECT_TRUE(capitals.contains(QString::fromUtf8(l.capital)));
    EXPECT_TRUE(all.last().toObject().value("new").toString().startsWith('.'));
    EXPECT_GT(sentenceLines, 5);
}

TEST_P(LessonsCommand, TheKTouchCourseIsValidAgainstItsSchema)
{
    const ToolRun r = lessons({"--format", "ktouch", "--layout-name", GetParam().layout, "--title", "Pamokos",
                               "-o", out("course.xml")});
    ASSERT_EQ(r.status, 0) << r.err;
    const ToolRun check = kf::test::RunProgram(
        "xmllint", {"--noout", "--schema", QStringLiteral(KF_TEST_DATA_DIR "/ktouch/course.xsd"), out("course.xml")});
    EXPECT_EQ(check.status, 0) << check.err;
    const QByteArray xml = readAll(out("course.xml"));
    EXPECT_TRUE(xml.contains("<keyboardLayout>" + QByteArray(GetParam().layout) + "</keyboardLayout>"));
    EXPECT_TRUE(xml.contains("<title>Pamokos</title>"));

    const ToolRun json = lessons({"--format", "json", "-o", out("k.json")});
    const int count = int(QJsonDocument::fromJson(readAll(out("k.json"))).object().value("lessons").toArray().size());
    EXPECT_EQ(xml.count("<lesson>"), count);
}

TEST_P(LessonsCommand, MonkeytypeHasOneSectionPerLessonAndTheTextItsHeadings)
{
    ASSERT_EQ(lessons({"--format", "json", "-o", out("m.json")}).status, 0);
    const int count = int(QJsonDocument::fromJson(readAll(out("m.json"))).object().value("lessons").toArray().size());
    const ToolRun r = lessons({"--format", "monkeytype", "-o", out("m.txt")});
    ASSERT_EQ(r.status, 0) << r.err;
    const QString text = QString::fromUtf8(readAll(out("m.txt")));
    EXPECT_EQ(text.split('|').size(), count);
    EXPECT_FALSE(text.contains('\n'));

    ASSERT_EQ(lessons({"--format", "text", "-o", out("t.txt")}).status, 0);
    const QByteArray utf8 = readAll(out("t.txt"));
    EXPECT_EQ(utf8.count("Lesson "), count);
    ASSERT_EQ(lessons({"--format", "text", "--output-encoding", "codepage", "-o", out("c.txt")}).status, 0);
    const QByteArray bytes = readAll(out("c.txt"));
    EXPECT_NE(bytes, utf8);
    EXPECT_EQ(bytes.count("Lesson "), count);
}

TEST_P(LessonsCommand, TheSameSeedGivesTheSameBytesAndASavedPlanTheSameLessons)
{
    ASSERT_EQ(lessons({"--format", "text", "-o", out("a.txt")}).status, 0);
    ASSERT_EQ(lessons({"--format", "text", "--seed", "1", "-o", out("b.txt")}).status, 0);
    ASSERT_EQ(lessons({"--format", "text", "--seed", "9", "-o", out("c.txt")}).status, 0);
    EXPECT_EQ(readAll(out("a.txt")), readAll(out("b.txt")));
    EXPECT_NE(readAll(out("a.txt")), readAll(out("c.txt")));

    const Language &l = GetParam();
    const ToolRun plan = kf::test::RunProgram(
        kf::test::ToolProgram(), {"course", "plan", "--keyboard", file(l, "vkt"), "--dictionary", file(l, "dict"), "--json"},
        l.codePage);
    ASSERT_EQ(plan.status, 0) << plan.err;
    kf::writeFileBytes(out("plan.json").toStdString(), plan.out);
    ASSERT_EQ(lessons({"--plan", out("plan.json"), "--format", "text", "-o", out("p.txt")}).status, 0);
    EXPECT_EQ(readAll(out("p.txt")), readAll(out("a.txt")));
}

// Every plan option of course plan reaches the plan of course lessons: the
// lessons are those of the plan course plan saves with the same options.
TEST_P(LessonsCommand, ThePlanOptionsAreThoseOfCoursePlan)
{
    const Language &l = GetParam();
    const QStringList cases[] = {
        {"--order", "frequency", "--per-lesson", "1", "--min", "3", "--max", "8"},
        {"--order", "mixed", "--all-characters", "--levels", l.levels, "--min-words", "40"},
        {"--order", "keyboard", "--letters-only", "--home-row", "2", "--input-encoding", "auto", "--max", "5"},
    };
    int n = 0;
    for (const QStringList &options : cases) {
        const QString name = QString::number(++n);
        const ToolRun plan = kf::test::RunProgram(kf::test::ToolProgram(),
                                                  QStringList{"course", "plan", "--keyboard", file(l, "vkt"),
                                                              "--dictionary", file(l, "dict"), "--json"} +
                                                      options,
                                                  l.codePage);
        ASSERT_EQ(plan.status, 0) << options.join(' ').toStdString() << plan.err;
        kf::writeFileBytes(out("plan" + name + ".json").toStdString(), plan.out);
        const ToolRun direct = lessons(options + QStringList{"--format", "text", "-o", out("o" + name + ".txt")});
        ASSERT_EQ(direct.status, 0) << options.join(' ').toStdString() << direct.err;
        ASSERT_EQ(lessons({"--plan", out("plan" + name + ".json"), "--format", "text", "-o", out("p" + name + ".txt")})
                      .status,
                  0);
        EXPECT_EQ(readAll(out("o" + name + ".txt")), readAll(out("p" + name + ".txt"))) << options.join(' ').toStdString();
    }
    // The options made other plans.
    EXPECT_NE(readAll(out("o1.txt")), readAll(out("o2.txt")));
}

TEST_P(LessonsCommand, BadInputIsRefusedAndNothingHalfWritten)
{
    const struct {
        const char *name;
        QStringList args;
        int status;
        const char *err;
    } cases[] = {
        {"width", {"--width", "5", "--format", "json", "-o", out("x")}, 1, "--width needs a whole number from 20"},
        {"length", {"--length", "0", "--format", "json", "-o", out("x")}, 1, "--length needs a whole number from 50"},
        {"format", {"--format", "docx", "-o", out("x")}, 2, "unknown format \"docx\""},
        {"ktouch without layout", {"--format", "ktouch", "-o", out("x")}, 2, "--layout-name"},
        {"no output", {"--format", "json"}, 2, "-o"},
        {"plan and options", {"--plan", out("none.json"), "--per-lesson", "2", "--format", "json", "-o", out("x")}, 2,
         "exclude each other"},
        {"unwritable", {"--format", "json", "-o", out("no/such/folder/x.json")}, 1, "x.json"},
        {"bad order", {"--order", "random", "--format", "json", "-o", out("x")}, 2, "unknown order \"random\""},
        {"bad maximum", {"--max", "long", "--format", "json", "-o", out("x")}, 1, "--max needs a whole number from 0"},
        {"plan and lengths", {"--plan", out("none.json"), "--min", "2", "--format", "json", "-o", out("x")}, 2,
         "exclude each other"},
    };
    for (const auto &c : cases) {
        const ToolRun r = lessons(c.args);
        EXPECT_EQ(r.status, c.status) << c.name << r.err;
        EXPECT_NE(r.err.find(c.err), std::string::npos) << c.name << ": " << r.err;
        EXPECT_FALSE(QFile::exists(out("x"))) << c.name;
    }
    // An unreadable text: a warning, and the lessons without sentences.
    const ToolRun r = lessons({"--text", out("missing.txt"), "--format", "json", "-o", out("w.json")}, false);
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.err.find("missing.txt"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("no sentence of the texts"), std::string::npos) << r.err;
    EXPECT_FALSE(readAll(out("w.json")).contains("\"sentence\""));
}

INSTANTIATE_TEST_SUITE_P(Languages, LessonsCommand, ::testing::ValuesIn(kLanguages),
                         [](const auto &row) { return std::string(row.param.name); });

} // namespace
