#include "model/PackageJson.h"
#include "common/CodePage.h"
#include "common/Errors.h"
#include "model/MainData.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QProcess>
#include <QTemporaryDir>

#include <fstream>

using kf::TDataMod;
using kf::TValue;

namespace {

const kf::CodePage &cp1252()
{
    static const kf::CodePage cp("CP1252");
    return cp;
}

std::string allBytes()
{
    std::string s;
    for (int i = 0; i < 256; ++i)
        s += char(i);
    return s;
}

void fill(TDataMod &dm)
{
    dm.MainTbl.AppendRecord({"Q", TValue(16), TValue(1), TValue(), TValue(3), allBytes(), TValue(40), TValue(38),
                             TValue(-10), TValue(2147483647), "quote \" backslash \\ tab\t"});
    dm.MainTbl.AppendRecord({"\xC4" "ccent", TValue(-2147483647 - 1), TValue(), TValue(2001), TValue(), TValue(),
                             TValue(), TValue(), TValue(), TValue(), TValue()});
    dm.Ctbl.AppendRecord({"e acute \xE9", TValue(0xE9), TValue(16), TValue(false), TValue(true), TValue(2002)});
    dm.Ctbl.AppendRecord({TValue(), TValue(321), TValue(), TValue(), TValue(), TValue()});
    dm.bkcolor = 0xFFEEDD;
    dm.Author = "\x80uro";
    dm.misc = "two\r\nlines";
    for (int f = 0; f < kf::kFingerCount; ++f) {
        dm.FingerLength[size_t(f)] = f * 10;
        dm.FingerX[size_t(f)] = -f;
        dm.FingerColor[size_t(f)] = 0x111111 * f;
    }
}

std::string readAll(const std::string &path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

void writeAll(const std::string &path, const std::string &bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), std::streamsize(bytes.size()));
}

} // namespace

TEST(PackageJsonTest, DumpBuildDumpIsIdentical)
{
    TDataMod dm;
    fill(dm);
    const std::string json = kf::PackageToJson(dm, cp1252());

    TDataMod built;
    kf::PackageFromJson(built, json, cp1252());
    EXPECT_EQ(kf::PackageToJson(built, cp1252()), json);
    EXPECT_EQ(built.MainTbl.SaveToBytes(), dm.MainTbl.SaveToBytes());
    EXPECT_EQ(built.Ctbl.SaveToBytes(), dm.Ctbl.SaveToBytes());
    EXPECT_EQ(built.Settings(), dm.Settings());
    EXPECT_EQ(built.MainTbl.IndexFieldNames(), "Name");
    EXPECT_EQ(built.Ctbl.IndexFieldNames(), "Code");

    // Keys in field order, one row per line, texts through the code page.
    EXPECT_NE(json.find("\n      {\"Name\": \"Q\", \"KeyValue\": 16, \"KeyType\": 1, \"KeyType2\": null, \"Finger\": 3, "
                        "\"Glyph\": \"AAECAwQF"),
              std::string::npos)
        << json;
    EXPECT_NE(json.find("\"Hint\": \"quote \\\" backslash \\\\ tab\\t\"}"), std::string::npos);
    EXPECT_NE(json.find("{\"Name\": \"e acute \xC3\xA9\", \"Code\": 233, \"KeyNo\": 16, \"Shift\": false, "
                        "\"AltGr\": true, \"Accent\": 2002}"),
              std::string::npos);
    EXPECT_NE(json.find("\"Author\": \"\xE2\x82\xACuro\""), std::string::npos);
    EXPECT_NE(json.find("\"misc\": \"two\\r\\nlines\""), std::string::npos);
    EXPECT_NE(json.find("{\"name\": \"Name\", \"type\": \"text\", \"size\": 20, \"required\": true}"),
              std::string::npos);
}

TEST(PackageJsonTest, RefusesBadInputAndChangesNothing)
{
    TDataMod source;
    fill(source);
    const std::string good = kf::PackageToJson(source, cp1252());
    auto replaced = [&](const std::string &from, const std::string &to) {
        std::string s = good;
        const size_t at = s.find(from);
        EXPECT_NE(at, std::string::npos) << from;
        return at == std::string::npos ? s : s.replace(at, from.size(), to);
    };
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"not json", "JSON: "},
        {"[]", "JSON: the document is not an object"},
        {replaced("\"chars\"", "\"Chars\""), "JSON: unknown entry \"Chars\""},
        {replaced("\"KeyValue\": 16", "\"KeyValue\": 1.5"), "keys.rows[0].KeyValue: not a 32-bit integer"},
        {replaced("\"KeyValue\": 16", "\"KeyValue\": 2147483648"), "keys.rows[0].KeyValue: not a 32-bit integer"},
        {replaced("\"KeyValue\": 16", "\"KeyValue\": \"16\""), "keys.rows[0].KeyValue: not a 32-bit integer"},
        {replaced("\"KeyValue\": 16", "\"KeyVal\": 16"), "keys.rows[0]: unknown field \"KeyVal\""},
        {replaced("{\"Name\": \"Q\"", "{\"Name\": null"), "keys.rows[0].Name: must have a value"},
        {replaced("{\"Name\": \"Q\"", "{\"Name\": \"123456789012345678901\""),
         "keys.rows[0].Name: longer than 20 characters"},
        {replaced("{\"Name\": \"Q\"", "{\"Name\": \"\xE4\xB8\xAD\""), "keys.rows[0].Name: a character is not in code page"},
        {replaced("\"Glyph\": \"AAEC", "\"Glyph\": \"*AEC"), "keys.rows[0].Glyph: not valid base64"},
        {replaced("\"Shift\": false", "\"Shift\": 0"), "chars.rows[0].Shift: not true or false"},
        {replaced("{\"name\": \"Finger\", \"type\": \"integer\"", "{\"name\": \"Finger\", \"type\": \"boolean\""),
         "keys: field 'Finger' is boolean, not integer"},
        {replaced("{\"name\": \"Accent\"", "{\"name\": \"Accents\""), "chars: field 'Accent' is missing"},
        {replaced("\"type\": \"text\", \"size\": 20", "\"type\": \"text\", \"size\": 0"),
         "keys.fields[0].size: must be 1 to 65535"},
        {replaced("\"type\": \"integer\"", "\"type\": \"number\""), "keys.fields[1]: unknown type \"number\""},
        {replaced("\"bkcolor\": 16772829", "\"bkcolor\": -2147483649"), "settings.bkcolor: not a 32-bit integer"},
        {replaced("\"RLittleColor\": 10066329", "\"RLittleColour\": 10066329"),
         "settings: unknown setting \"RLittleColour\""},
        {replaced("\"misc\": \"two\\r\\nlines\",", ""), "settings: \"misc\" is missing"},
    };
    TDataMod dm;
    fill(dm);
    dm.MainTbl.AppendRecord({"extra", TValue(5)});
    const std::string before = kf::PackageToJson(dm, cp1252());
    for (const auto &[json, reason] : cases) {
        SCOPED_TRACE(reason);
        try {
            kf::PackageFromJson(dm, json, cp1252());
            FAIL() << "expected an error";
        } catch (const kf::EConvertError &e) {
            EXPECT_EQ(std::string(e.what()).substr(0, reason.size()), reason) << e.what();
        } catch (const kf::EDatabaseError &e) {
            EXPECT_EQ(std::string(e.what()).substr(0, reason.size()), reason) << e.what();
        }
        EXPECT_EQ(kf::PackageToJson(dm, cp1252()), before);
    }
}

// The command line: dump -> build -> dump gives the same JSON, a package
// built from a dump carries every field's bytes unchanged, and errors exit 1
// with the reason on stderr and write nothing.
class PackageToolTest : public testing::Test {
protected:
    struct Result {
        int status = -1;
        std::string out, err;
    };
    Result tool(const QStringList &args)
    {
        QProcess p;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("KEYFOLIO_CODEPAGE", "CP1252");
        p.setProcessEnvironment(env);
        p.start(QString(KF_BINARY_DIR) + "/src/keyfolio-tool", QStringList{"package"} + args);
        Result r;
        if (!p.waitForFinished(60000))
            return r;
        r.status = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
        r.out = p.readAllStandardOutput().toStdString();
        r.err = p.readAllStandardError().toStdString();
        return r;
    }
    std::string path(const std::string &name) const { return dir.path().toStdString() + "/" + name; }
    QStringList entries() const
    {
        return QDir(dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden, QDir::Name);
    }
    QTemporaryDir dir;
};

TEST_F(PackageToolTest, DumpBuildDumpAndInfo)
{
    TDataMod dm;
    fill(dm);
    ASSERT_TRUE(dm.SavePackage(path("a.vkt")));

    const Result dump1 = tool({"dump", QString::fromStdString(path("a.vkt")), "-o", QString::fromStdString(path("a.json"))});
    ASSERT_EQ(dump1.status, 0) << dump1.err;
    const Result build = tool({"build", QString::fromStdString(path("a.json")), "-o", QString::fromStdString(path("b.vkt"))});
    ASSERT_EQ(build.status, 0) << build.err;
    const Result dump2 = tool({"dump", QString::fromStdString(path("b.vkt"))});
    ASSERT_EQ(dump2.status, 0) << dump2.err;
    EXPECT_EQ(dump2.out, readAll(path("a.json")));

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
    writeAll(path("text.vkt"), "hello");
    writeAll(path("bad.json"), "{\"keys\": 1}");
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
