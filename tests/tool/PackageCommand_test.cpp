// keyfolio-tool package dump, build, info and check, run as a process: a
// dump built back gives the same JSON and the same bytes, errors exit 1 with
// the reason on stderr and write nothing, and check's exit status and output
// follow the findings.

#include "SmallKeyboards.h"
#include "common/CodePage.h"
#include "model/MainData.h"
#include "model/Readme.h"
#include "model/ZipArchive.h"
#include "ProgramRun.h"
#include "common/TextFile.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>

#include <functional>
#include <string>

using namespace kf;
using namespace kf::sample;

namespace {

// Runs "keyfolio-tool package ..." in a temporary folder.
class PackageCommandTest : public testing::Test {
protected:
    using Result = kf::test::TProgramRun;
    Result tool(const QStringList &args)
    {
        return kf::test::RunProgram(kf::test::ToolProgram(), QStringList{"package"} + args, QStringLiteral("CP1252"));
    }
    std::string path(const std::string &name) const { return dir.path().toStdString() + "/" + name; }
    QStringList entries() const
    {
        return QDir(dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden, QDir::Name);
    }
    // Saves a definition built from the small keyboard, changed by mutate.
    QString save(const char *name, const std::function<void(TDataMod &)> &mutate)
    {
        TDataMod dm;
        BuildSmallKeyboard(dm);
        mutate(dm);
        const QString file = dir.filePath(QString::fromLatin1(name));
        EXPECT_TRUE(dm.SavePackage(file.toStdString())) << dm.PackageError();
        return file;
    }
    QTemporaryDir dir;
};

// dump -> build -> dump, info, and errors.
class PackageToolTest : public PackageCommandTest {};

TEST_F(PackageToolTest, DumpBuildDumpAndInfo)
{
    TDataMod dm;
    FillEdgeValues(dm);
    ASSERT_TRUE(dm.SavePackage(path("a.vkt")));

    const Result dump1 = tool({"dump", QString::fromStdString(path("a.vkt")), "-o", QString::fromStdString(path("a.json"))});
    ASSERT_EQ(dump1.status, 0) << dump1.err;
    const Result build = tool({"build", QString::fromStdString(path("a.json")), "-o", QString::fromStdString(path("b.vkt"))});
    ASSERT_EQ(build.status, 0) << build.err;
    const Result dump2 = tool({"dump", QString::fromStdString(path("b.vkt"))});
    ASSERT_EQ(dump2.status, 0) << dump2.err;
    EXPECT_EQ(dump2.out, readFileBytes(path("a.json")));

    kf::ZipArchive a, b;
    a.open(path("a.vkt"));
    b.open(path("b.vkt"));
    for (const char *m : {"key.cds", "char.cds", "readme"})
        EXPECT_EQ(a.read(m), b.read(m)) << m;

    const Result info = tool({"info", QString::fromStdString(path("b.vkt"))});
    ASSERT_EQ(info.status, 0) << info.err;
    EXPECT_NE(info.out.find("Keys: 2\nCharacters: 2\n"), std::string::npos) << info.out;
    EXPECT_NE(info.out.find("  key.cds "), std::string::npos);
    EXPECT_NE(info.out.find("bkcolor=16772829"), std::string::npos);
    EXPECT_NE(info.out.find("RLittleColor=10066329"), std::string::npos);
}

TEST_F(PackageToolTest, ErrorsExitOneAndWriteNothing)
{
    writeFileBytes(path("text.vkt"), "hello");
    writeFileBytes(path("bad.json"), "{\"keys\": 1}");
    const std::vector<std::pair<QStringList, std::string>> cases = {
        {{"info", QString::fromStdString(path("text.vkt"))}, "not a ZIP archive"},
        {{"dump", QString::fromStdString(path("missing.vkt")), "-o", QString::fromStdString(path("out.json"))},
         "missing.vkt"},
        {{"dump", dir.path()}, "It is a folder."},
        {{"build", QString::fromStdString(path("bad.json")), "-o", QString::fromStdString(path("out.vkt"))},
         "keys: missing or not an object"},
        {{"build", QString::fromStdString(path("nothing.json")), "-o", QString::fromStdString(path("out.vkt"))},
         "nothing.json"},
    };
    for (const auto &[args, reason] : cases) {
        SCOPED_TRACE(args.join(' ').toStdString());
        const Result r = tool(args);
        EXPECT_EQ(r.status, 1);
        EXPECT_EQ(r.out, "");
        EXPECT_NE(r.err.find(reason), std::string::npos) << r.err;
        EXPECT_EQ(entries(), (QStringList{"bad.json", "text.vkt"}));
    }
    EXPECT_EQ(tool({"frobnicate", "x"}).status, 2);
    EXPECT_EQ(tool({"build", QString::fromStdString(path("bad.json"))}).status, 2);
}

// A package made in CP1257 and read in a CP1252 session: every command reads
// its bytes in CP1257; a JSON names its code page for build; a package that
// names none is read in the session's, and info says which.
TEST_F(PackageToolTest, EveryCommandReadsThePackageInItsCodePage)
{
    struct SessionCodePage {
        ~SessionCodePage() { CodePage::reload(); }
    } restore;
    CodePage::choose("CP1257");
    const QString lt = save("lt.vkt", [](TDataMod &dm) { dm.Author = "\xC0\xCB"; }); // "ĄĖ" in CP1257
    CodePage::reload();

    const Result info = tool({"info", lt});
    ASSERT_EQ(info.status, 0) << info.err;
    EXPECT_NE(info.out.find("Code page: CP1257 (named by the package)\n"), std::string::npos) << info.out;
    EXPECT_NE(info.out.find("Author=\u0104\u0116\n"), std::string::npos) << info.out;

    const Result dump = tool({"dump", lt, "-o", QString::fromStdString(path("lt.json"))});
    ASSERT_EQ(dump.status, 0) << dump.err;
    const std::string json = readFileBytes(path("lt.json"));
    EXPECT_NE(json.find("\"Author\": \"\u0104\u0116\""), std::string::npos) << json;
    EXPECT_NE(json.find("\"codePage\": \"CP1257\""), std::string::npos);

    // Built back in the CP1252 session: the same bytes, the same code page.
    const Result build = tool({"build", QString::fromStdString(path("lt.json")), "-o", QString::fromStdString(path("b.vkt"))});
    ASSERT_EQ(build.status, 0) << build.err;
    TDataMod back;
    ASSERT_TRUE(back.LoadPackage(path("b.vkt"))) << back.PackageError();
    EXPECT_EQ(back.PackageCodePage, "CP1257");
    EXPECT_EQ(back.Author, "\xC0\xCB");

    // A JSON without the setting is built in the session's code page.
    std::string older = json;
    older.erase(older.find(",\n    \"codePage\""), std::string(",\n    \"codePage\": \"CP1257\"").size());
    older.replace(older.find("\u0104\u0116"), std::string("\u0104\u0116").size(), "\u00C0");
    writeFileBytes(path("older.json"), older);
    ASSERT_EQ(tool({"build", QString::fromStdString(path("older.json")), "-o", QString::fromStdString(path("c.vkt"))}).status, 0);
    TDataMod c;
    ASSERT_TRUE(c.LoadPackage(path("c.vkt")));
    EXPECT_EQ(c.PackageCodePage, "CP1252");
    EXPECT_EQ(c.Author, "\xC0");

    // A package that names no code page.
    ZipArchive zip;
    zip.open(lt.toStdString());
    const std::string keys = zip.read("key.cds"), chars = zip.read("char.cds");
    zip.close();
    PackageSettings settings = back.Settings();
    settings.codePage.clear();
    writeFileBytes(path("old.vkt"), ZipArchive::build({{"key.cds", keys}, {"char.cds", chars},
                                                       {"readme", writeReadme(settings)}}, 0));
    const Result oldInfo = tool({"info", QString::fromStdString(path("old.vkt"))});
    ASSERT_EQ(oldInfo.status, 0) << oldInfo.err;
    EXPECT_NE(oldInfo.out.find("Code page: CP1252 (the session's: the package names none)\n"), std::string::npos)
        << oldInfo.out;
    EXPECT_NE(oldInfo.out.find("Author=\u00C0\u00CB\n"), std::string::npos) << oldInfo.out;
}

// The statistics and the course plan of a CP1257 package in a CP1252
// session: Lithuanian text and words are typed, none is left out.
TEST_F(PackageToolTest, StatisticsAndPlanReadThePackageInItsCodePage)
{
    const Result import = tool({"import", "lt", "--code-page", "CP1257", "--compose-locale", "en_US.UTF-8", "-o",
                                QString::fromStdString(path("lt.vkt"))});
    ASSERT_EQ(import.status, 0) << import.err;
    writeFileBytes(path("t.txt"), "\u0160uo \u0117jo \u012F \u017E\u0105s\u0173 \u016Bk\u012F, \u010Dia.\n");
    const Result stats = kf::test::RunProgram(kf::test::ToolProgram(),
                                              {"package", "stats", QString::fromStdString(path("lt.vkt")),
                                               QString::fromStdString(path("t.txt"))},
                                              QStringLiteral("CP1252"));
    ASSERT_EQ(stats.status, 0) << stats.err;
    EXPECT_NE(stats.out.find("Not typeable               0\n"), std::string::npos) << stats.out;
    EXPECT_NE(stats.out.find("Not in the code page       0\n"), std::string::npos) << stats.out;

    writeFileBytes(path("d.txt"), "\u0161uo\t5\n\u017E\u0105sis\t3\n\u0117jo\t2\n\u016Bkis\t1\n");
    const Result plan = kf::test::RunProgram(kf::test::ToolProgram(),
                                             {"course", "plan", "--keyboard", QString::fromStdString(path("lt.vkt")),
                                              "--dictionary", QString::fromStdString(path("d.txt")), "--json"},
                                             QStringLiteral("CP1252"));
    ASSERT_EQ(plan.status, 0) << plan.err;
    const QJsonObject json = QJsonDocument::fromJson(QByteArray::fromStdString(plan.out)).object();
    QString planned;
    for (const QJsonValue &lesson : json.value("lessons").toArray())
        planned += lesson.toObject().value("new").toString();
    for (const QString &letter : {QStringLiteral("\u0161"), QStringLiteral("\u017E"), QStringLiteral("\u0105"),
                                  QStringLiteral("\u0117"), QStringLiteral("\u016B")})
        EXPECT_TRUE(planned.contains(letter)) << letter.toStdString() << " not planned: " << plan.out;
    for (const QJsonValue &left : json.value("left_out").toArray())
        EXPECT_FALSE(left.toVariant().toString().contains(QStringLiteral("\u00EB"))) << plan.out; // ë: CP1252's reading
}

// ---- check ------------------------------------------------------------------------

// The small packages of the findings, saved, then checked by the command line.
class PackageCheckToolTest : public PackageCommandTest {};

TEST_F(PackageCheckToolTest, ExitStatusFollowsTheErrors)
{
    const QString clean = save("clean.vkt", [](TDataMod &) {});
    const QString warnings = save("warnings.vkt", [](TDataMod &dm) {
        dm.FingerLength[3] = 101;
        SetKeyField(dm, "AltGr", "Glyph", TValue());
    });
    const QString errors = save("errors.vkt", [](TDataMod &dm) {
        dm.FingerLength[3] = 101;
        SetCharField(dm, "section", "KeyNo", TValue(int32_t(99)));
    });

    const Result c = tool({"check", clean});
    EXPECT_EQ(c.status, 0) << c.err;
    EXPECT_EQ(c.out, "No findings.\n");

    const Result w = tool({"check", warnings});
    EXPECT_EQ(w.status, 0) << w.err;
    EXPECT_EQ(w.out, "warning: keys row 6 \"AltGr\" (Glyph): The key has no picture: it shows as an empty button\n"
                     "warning: settings \"LIndex\": Finger length 101 is outside 0 to 100\n"
                     "0 errors, 2 warnings\n");

    const Result e = tool({"check", errors});
    EXPECT_EQ(e.status, 4) << e.err;
    EXPECT_EQ(e.out, "error: characters row 8 \"section\" (KeyNo): KeyNo 99 names no key: no key types this character\n"
                     "warning: settings \"LIndex\": Finger length 101 is outside 0 to 100\n"
                     "1 error, 1 warning\n");
    EXPECT_EQ(e.err, "");
}

TEST_F(PackageCheckToolTest, JsonListsEveryFinding)
{
    const QString file = save("errors.vkt", [](TDataMod &dm) {
        SetCharField(dm, "section", "KeyNo", TValue(int32_t(99)));
        dm.bkcolor = int32_t(kSmallFace);
    });
    const Result r = tool({"check", file, "--json"});
    ASSERT_EQ(r.status, 4) << r.err;
    QJsonParseError error;
    const QJsonDocument doc = QJsonDocument::fromJson(QByteArray::fromStdString(r.out), &error);
    ASSERT_EQ(error.error, QJsonParseError::NoError) << r.out;
    const QJsonObject root = doc.object();
    EXPECT_EQ(root.value("file").toString(), file);
    EXPECT_EQ(root.value("errors").toInt(), 1);
    EXPECT_EQ(root.value("warnings").toInt(), 1);
    const QJsonArray list = root.value("findings").toArray();
    ASSERT_EQ(list.size(), 2);
    const QJsonObject first = list[0].toObject();
    EXPECT_EQ(first.value("severity").toString(), "error");
    EXPECT_EQ(first.value("table").toString(), "characters");
    EXPECT_EQ(first.value("kind").toString(), "char-key-missing");
    EXPECT_EQ(first.value("row").toInt(), 8);
    EXPECT_EQ(first.value("label").toString(), "section");
    EXPECT_EQ(first.value("field").toString(), "KeyNo");
    EXPECT_EQ(first.value("message").toString(), "KeyNo 99 names no key: no key types this character");
    const QJsonObject second = list[1].toObject();
    EXPECT_EQ(second.value("severity").toString(), "warning");
    EXPECT_EQ(second.value("table").toString(), "settings");
    EXPECT_EQ(second.value("kind").toString(), "background-is-key-face");
    EXPECT_TRUE(second.value("row").isNull());
    EXPECT_EQ(second.value("label").toString(), "bkcolor");

    const Result clean = tool({"check", save("clean.vkt", [](TDataMod &) {}), "--json"});
    ASSERT_EQ(clean.status, 0) << clean.err;
    const QJsonObject cleanRoot = QJsonDocument::fromJson(QByteArray::fromStdString(clean.out)).object();
    EXPECT_EQ(cleanRoot.value("errors").toInt(), 0);
    EXPECT_TRUE(cleanRoot.value("findings").toArray().isEmpty());
}

// The small packages of the findings, built as the command line's JSON: a
// dump of the base keyboard, changed, built and checked.
TEST_F(PackageCheckToolTest, PackagesBuiltFromJsonAreChecked)
{
    const QString base = save("base.vkt", [](TDataMod &) {});
    const Result dump = tool({"dump", base});
    ASSERT_EQ(dump.status, 0) << dump.err;
    QJsonObject doc = QJsonDocument::fromJson(QByteArray::fromStdString(dump.out)).object();
    QJsonObject keys = doc.value("keys").toObject();
    QJsonArray rows = keys.value("rows").toArray();
    QJsonObject b = rows[1].toObject();
    ASSERT_EQ(b.value("Name").toString(), "B");
    b.insert("X", 10); // on top of A
    rows[1] = b;
    keys.insert("rows", rows);
    doc.insert("keys", keys);
    const QString json = dir.filePath("overlap.json");
    QFile f(json);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(QJsonDocument(doc).toJson());
    f.close();
    const QString built = dir.filePath("overlap.vkt");
    const Result build = tool({"build", json, "-o", built});
    ASSERT_EQ(build.status, 0) << build.err;
    const Result r = tool({"check", built});
    EXPECT_EQ(r.status, 4);
    EXPECT_EQ(r.out, "error: keys row 2 \"B\" (X): The key overlaps key \"A\": a click may reach the wrong key\n"
                     "1 error, 0 warnings\n");
}

TEST_F(PackageCheckToolTest, BadInputIsRefused)
{
    QFile text(dir.filePath("text.vkt"));
    ASSERT_TRUE(text.open(QIODevice::WriteOnly));
    text.write("hello");
    text.close();
    const Result notZip = tool({"check", text.fileName()});
    EXPECT_EQ(notZip.status, 1);
    EXPECT_EQ(notZip.out, "");
    EXPECT_NE(notZip.err.find("not a ZIP archive"), std::string::npos) << notZip.err;
    EXPECT_EQ(tool({"check", dir.filePath("missing.vkt")}).status, 1);
    EXPECT_EQ(tool({"check"}).status, 2);
    EXPECT_EQ(tool({"check", text.fileName(), "-o", dir.filePath("x")}).status, 2);
    EXPECT_EQ(tool({"dump", text.fileName(), "--json"}).status, 2); // --json belongs to check
}

} // namespace
