// keyfolio-tool package stats, run as a process: its figures are those of
// the core over the same files, --vs puts a second package beside them, -o
// writes CSV or JSON, and bad input exits with the reason and writes nothing.

#include "SmallKeyboards.h"
#include "common/CodePage.h"
#include "model/KeyLayout.h"
#include "model/KeyStrokeFormats.h"
#include "model/KeyStrokeStats.h"
#include "model/TextTallyReader.h"
#include "model/MainData.h"
#include "table/FieldValue.h"
#include "ProgramRun.h"
#include "common/TextFile.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>

#include <string>

using namespace kf;
using namespace kf::sample;

namespace {

class StatsCommandTest : public testing::Test {
protected:
    using Result = kf::test::TProgramRun;
    Result tool(const QStringList &args)
    {
        return kf::test::RunProgram(kf::test::ToolProgram(), args, QStringLiteral("CP1252"));
    }
    QString path(const char *name) const { return dir.filePath(QString::fromLatin1(name)); }
    std::string spath(const char *name) const { return path(name).toStdString(); }

    void SetUp() override
    {
        TDataMod a;
        BuildSmallKeyboard(a);
        ASSERT_TRUE(a.SavePackage(spath("a.vkt"))) << a.PackageError();
        layoutA = TKeyLayout::FromDataMod(a);
        // b: the letter b moved to the finger of a.
        TDataMod b;
        BuildSmallKeyboard(b);
        SetKeyField(b, "B", "Finger", TValue(int32_t(0)));
        ASSERT_TRUE(b.SavePackage(spath("b.vkt"))) << b.PackageError();
        layoutB = TKeyLayout::FromDataMod(b);
        writeFileBytes(spath("text.txt"), "Aab ba\xC3\xA1 b\xC3\x9F\r\nzz \xE2\x82\xAC\n");
        writeFileBytes(spath("more.txt"), "ab ab\n");
    }

    TTextTally tally(const std::vector<std::string> &files) const
    {
        TTextTally t;
        for (const std::string &f : files)
            ReadTextFile(f, CodePage("CP1252"), TTextReadOptions{}, t);
        return t;
    }

    QTemporaryDir dir;
    TKeyLayout layoutA, layoutB;
};

TEST_F(StatsCommandTest, JsonIsTheCoresFiguresOverTheSameFiles)
{
    const Result r = tool({"package", "stats", path("a.vkt"), path("text.txt"), path("more.txt"), "--json"});
    ASSERT_EQ(r.status, 0) << r.err;
    const TTextTally t = tally({spath("text.txt"), spath("more.txt")});
    const CodePage cp("CP1252");
    EXPECT_EQ(r.out, KeyStrokesToJson(ComputeKeyStrokes(layoutA, t), cp));
    const QJsonObject o = QJsonDocument::fromJson(QByteArray::fromStdString(r.out)).object();
    EXPECT_EQ(o.value("characters").toInt(), 22);
    EXPECT_EQ(o.value("not_typeable").toObject().value("z").toInt(), 2);

    const Result vs = tool({"package", "stats", path("a.vkt"), path("text.txt"), path("more.txt"), "--vs",
                            path("b.vkt"), "-o", path("out.json")});
    ASSERT_EQ(vs.status, 0) << vs.err;
    EXPECT_EQ(readFileBytes(spath("out.json")),
              KeyStrokesToJson(ComputeKeyStrokes(layoutA, t), ComputeKeyStrokes(layoutB, t), cp));
}

TEST_F(StatsCommandTest, CsvAndTableShowBothPackagesWithTheDifference)
{
    const Result r =
        tool({"package", "stats", path("a.vkt"), path("more.txt"), "--compare", path("b.vkt"), "-o", path("out.csv")});
    ASSERT_EQ(r.status, 0) << r.err;
    const std::string csv = readFileBytes(spath("out.csv"));
    EXPECT_EQ(csv.rfind("Figure,A,B,Difference\r\n", 0), 0u) << csv;
    // ab ab LF: the a and b keys are on fingers 0 and 1 in a, both on 0 in b;
    // no Enter key.
    EXPECT_NE(csv.find("\r\nNot typeable: \u21B5,1,1,0\r\n"), std::string::npos) << csv;
    EXPECT_NE(csv.find("\r\nL Ring,0.4000,0.0000,-0.4000\r\n"), std::string::npos) << csv;
    const Result table = tool({"package", "stats", path("a.vkt"), path("more.txt")});
    ASSERT_EQ(table.status, 0) << table.err;
    EXPECT_NE(table.out.find("Keystrokes"), std::string::npos) << table.out;
}

TEST_F(StatsCommandTest, BadInputExitsWithTheReasonAndWritesNothing)
{
    writeFileBytes(spath("bad.txt"), "ab\xC3(");
    writeFileBytes(spath("empty.txt"), "");
    const struct {
        QStringList args;
        int status;
        std::string reason;
    } cases[] = {
        {{"package", "stats", path("a.vkt"), path("missing.txt"), "-o", path("out.csv")}, 1, "missing.txt"},
        {{"package", "stats", path("a.vkt"), path("bad.txt"), "--input-encoding", "utf-8", "-o", path("out.csv")},
         1, "bad.txt"},
        {{"package", "stats", path("nothing.vkt"), path("more.txt"), "-o", path("out.csv")}, 1, "nothing.vkt"},
        {{"package", "stats", path("a.vkt"), "-o", path("out.csv")}, 2, "text files"},
        {{"package", "stats", path("a.vkt"), path("more.txt"), "-o", path("no/such/out.csv")}, 1, "out.csv"},
        {{"package", "stats", path("a.vkt"), path("more.txt"), "--input-encoding", "latin", "-o", path("out.csv")},
         2, "--input-encoding"},
        {{"package", "stats", path("a.vkt"), path("more.txt"), "--frobnicate", "-o", path("out.csv")}, 2,
         "--frobnicate"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.args.join(' ').toStdString());
        const Result r = tool(c.args);
        EXPECT_EQ(r.status, c.status);
        EXPECT_NE(r.err.find(c.reason), std::string::npos) << r.err;
        EXPECT_FALSE(QFile::exists(path("out.csv")));
    }
    // An empty text: zero figures, said so.
    const Result empty = tool({"package", "stats", path("a.vkt"), path("empty.txt"), "--json"});
    ASSERT_EQ(empty.status, 0) << empty.err;
    EXPECT_EQ(QJsonDocument::fromJson(QByteArray::fromStdString(empty.out)).object().value("keystrokes").toInt(-1),
              0);
    EXPECT_NE(empty.err.find("no characters"), std::string::npos) << empty.err;
}

TEST_F(StatsCommandTest, AKeyboardThatTypesNothingIsAnErrorInWords)
{
    TDataMod keyless;
    ASSERT_TRUE(keyless.SavePackage(spath("keyless.vkt"))) << keyless.PackageError();
    const struct {
        QStringList args;
        std::string reason;
    } cases[] = {
        {{"package", "stats", path("keyless.vkt"), path("more.txt"), "-o", path("out.csv")},
         "keyless.vkt: The keyboard has no keys"},
        {{"package", "stats", path("a.vkt"), path("more.txt"), "--vs", path("keyless.vkt"), "-o", path("out.csv")},
         "keyless.vkt: The keyboard has no keys"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.args.join(' ').toStdString());
        const Result r = tool(c.args);
        EXPECT_EQ(r.status, 1);
        EXPECT_NE(r.err.find(c.reason), std::string::npos) << r.err;
        EXPECT_FALSE(QFile::exists(path("out.csv")));
    }
}

TEST_F(StatsCommandTest, ABinaryFileIsNamedInAWarning)
{
    writeFileBytes(spath("program"), std::string("\x7f" "ELF\x02\x01\x01\0\0\0\0", 11));
    const Result r = tool({"package", "stats", path("a.vkt"), path("more.txt"), path("program"), "--json"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.err.find(spath("program") + " looks like a binary file"), std::string::npos) << r.err;
    EXPECT_EQ(r.err.find("more.txt looks like"), std::string::npos) << r.err;
}

TEST_F(StatsCommandTest, HelpListsTheSubcommand)
{
    const Result r = tool({"--help"});
    EXPECT_NE(r.out.find("package stats FILE TEXT..."), std::string::npos) << r.out;
}

} // namespace
