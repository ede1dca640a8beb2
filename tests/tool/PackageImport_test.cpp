// keyfolio-tool package layouts and package import, run as a process: the
// written package, the report on stderr and the exit statuses.

#include "common/TextFile.h"
#include "model/GlyphCodec.h"
#include "model/KeyPictures.h"
#include "model/MainData.h"
#include "ProgramRun.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>

namespace {

const QString kTool = QStringLiteral(KF_BINARY_DIR "/src/keyfolio-tool");

using ToolRun = kf::test::TProgramRun;

ToolRun package(const QStringList &args)
{
    return kf::test::RunProgram(kTool, QStringList{"package"} + args);
}

class PackageImport : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(m_dir.isValid()); }
    QString path(const QString &name) const { return m_dir.filePath(name); }
    QTemporaryDir m_dir;
};

} // namespace

TEST_F(PackageImport, WritesThePackageWithPicturesAndReportsOnStderr)
{
    const ToolRun r = package({"import", "de", "--code-page", "cp1252", "--compose-locale", "en_US.UTF-8", "-o",
                               path("de.vkt")});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(r.out.empty());
    EXPECT_NE(r.err.find("Layout de (German), ISO key block, code page CP1252: 59 keys"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("\n  Shift+AltGr on \"Acute\": dead_ogonek\n"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("\n  TAB (Tab)\n"), std::string::npos) << r.err;

    kf::TDataMod dm;
    ASSERT_TRUE(dm.LoadPackage(path("de.vkt").toStdString())) << dm.PackageError();
    EXPECT_EQ(dm.MainTbl.RecordCount(), 59);
    EXPECT_GT(dm.Ctbl.RecordCount(), 150);
    EXPECT_EQ(dm.Author, "German");
    // A new definition gets light finger colours; every key is drawn in its own.
    EXPECT_EQ(dm.FingerColor, kf::DefaultFingerColors());
    for (dm.MainTbl.First(); !dm.MainTbl.Eof(); dm.MainTbl.Next()) {
        const QImage img = kf::GlyphToImage(dm.MainTbl.FieldByName("Glyph").AsString());
        ASSERT_FALSE(img.isNull()) << dm.MainTbl.FieldByName("Name").AsString();
        EXPECT_EQ(img.width(), dm.MainTbl.FieldByName("Width").AsInteger());
        EXPECT_EQ(kf::KeyFaceColor(img),
                  uint32_t(dm.FingerColor[size_t(dm.MainTbl.FieldByName("Finger").AsInteger())]));
    }
}

TEST_F(PackageImport, VariantAndKeyBlock)
{
    const ToolRun r = package({"import", "us(intl)", "--block", "ANSI", "--compose-locale", "en_US.UTF-8", "-o",
                               path("intl.vkt")});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.err.find("Layout us(intl) (English (US, intl., with dead keys)), ANSI key block"), std::string::npos)
        << r.err;
    EXPECT_NE(r.err.find("\n  LSGT (\\)\n"), std::string::npos) << r.err;
    kf::TDataMod dm;
    ASSERT_TRUE(dm.LoadPackage(path("intl.vkt").toStdString()));
    ASSERT_TRUE(dm.MainTbl.Locate("Name", {kf::TValue(std::string("Enter"))}));
    EXPECT_EQ(dm.MainTbl.FieldByName("Height").AsInteger(), 40);
}

TEST_F(PackageImport, Failures)
{
    kf::writeFileBytes(path("old.vkt").toStdString(), "earlier file");
    const struct {
        const char *label;
        QStringList args;
        int status;
        const char *message;
    } cases[] = {
        {"unknown layout", {"import", "xx", "-o", path("old.vkt")}, 1, "Keyboard layout 'xx' does not exist"},
        {"unknown variant", {"import", "de(nosuch)", "-o", path("old.vkt")}, 1,
         "Keyboard layout 'de(nosuch)' does not exist"},
        {"malformed id", {"import", "de(", "-o", path("old.vkt")}, 1, "Keyboard layout 'de(' does not exist"},
        {"unknown code page", {"import", "de", "--code-page", "CP9999", "-o", path("old.vkt")}, 1, "CP9999"},
        {"code page holds nothing", {"import", "ie(ogam)", "--code-page", "CP1252", "-o", path("old.vkt")}, 1,
         "Keyboard layout 'ie(ogam)': code page CP1252 holds no character its keys type without Shift"},
        {"no output", {"import", "de"}, 2, "import needs -o FILE"},
        {"no layout", {"import", "-o", path("old.vkt")}, 2, "import needs a layout"},
        {"bad block", {"import", "de", "--block", "jis", "-o", path("old.vkt")}, 2, "--block takes iso or ansi"},
        {"two layouts", {"import", "de", "fr", "-o", path("old.vkt")}, 2, "too many layouts"},
        {"option without value", {"import", "de", "-o", path("old.vkt"), "--code-page"}, 2, "--code-page needs a value"},
        {"layouts with arguments", {"layouts", "x"}, 2, "layouts takes no arguments"},
    };
    for (const auto &c : cases) {
        const ToolRun r = package(c.args);
        EXPECT_EQ(r.status, c.status) << c.label << ": " << r.err;
        EXPECT_NE(r.err.find(c.message), std::string::npos) << c.label << ": " << r.err;
        EXPECT_EQ(kf::readFileBytes(path("old.vkt").toStdString()), "earlier file") << c.label;
    }
}

TEST_F(PackageImport, LayoutsListsEveryLayoutAndVariant)
{
    const ToolRun r = package({"layouts"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out.rfind("us\tEnglish (US)\n", 0), 0u) << r.out.substr(0, 100);
    EXPECT_NE(r.out.find("\nde(nodeadkeys)\tGerman (no dead keys)\n"), std::string::npos);
    EXPECT_NE(r.out.find("\nlt\tLithuanian\n"), std::string::npos);
    EXPECT_GT(std::count(r.out.begin(), r.out.end(), '\n'), 200);
}

// Without --code-page the import takes the code page the import window would
// propose for the layout, not the session's, and says so on stderr.
TEST_F(PackageImport, WithoutCodePageTakesTheProposedOne)
{
    const struct {
        const char *layout, *session, *proposed;
    } cases[] = {
        {"lt", "CP1252", "CP1257"},
        {"pl", "CP1252", "CP1250"},
        {"ru", "CP1252", "CP1251"},
        {"gr", "CP1250", "CP1253"},
    };
    for (const auto &c : cases) {
        const QString out = path(QString::fromLatin1(c.layout) + ".vkt");
        const ToolRun r = kf::test::RunProgram(
            kTool, {"package", "import", c.layout, "--compose-locale", "en_US.UTF-8", "-o", out},
            QString::fromLatin1(c.session));
        ASSERT_EQ(r.status, 0) << c.layout << ": " << r.err;
        EXPECT_EQ(r.err.rfind(std::string("Code page ") + c.proposed + ", proposed for " + c.layout + " (", 0), 0u)
            << c.layout << ": " << r.err;
        EXPECT_NE(r.err.find(std::string("key block, code page ") + c.proposed + ": "), std::string::npos)
            << c.layout << ": " << r.err;
        // Nothing the keys type without Shift or AltGr is lost.
        EXPECT_EQ(r.err.find("\n  plain on "), std::string::npos) << c.layout << ": " << r.err;
    }
}

// package compare holds the written package against the layout's keymap.
TEST_F(PackageImport, CompareFindsNoUnexplainedDifference)
{
    const ToolRun i = package({"import", "de", "--code-page", "CP1252", "--compose-locale", "en_US.UTF-8", "-o",
                               path("de.vkt")});
    ASSERT_EQ(i.status, 0) << i.err;
    const ToolRun c = kf::test::RunProgram(kTool, {"package", "compare", path("de.vkt"), "de", "--json"},
                                           QStringLiteral("CP1252"));
    ASSERT_EQ(c.status, 0) << c.err << c.out;
    EXPECT_NE(c.out.find("\"unexplained\": 0"), std::string::npos) << c.out;
    // Against another layout the keys differ, and the exit status says so.
    const ToolRun other = kf::test::RunProgram(kTool, {"package", "compare", path("de.vkt"), "us"},
                                               QStringLiteral("CP1252"));
    EXPECT_EQ(other.status, 4) << other.err;
    EXPECT_NE(other.out.find("AD06 plain: the layout types \"y\", the definition \"z\" (unexplained)\n"),
              std::string::npos)
        << other.out;
}
