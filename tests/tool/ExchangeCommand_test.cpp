// keyfolio-tool package export, install and uninstall, run as a process: the
// files written, the layout installed in a user's XKB folder compiled by name
// from there, and the refusals that leave every file as it was.

#include "common/TextFile.h"
#include "model/GlyphCodec.h"
#include "model/MainData.h"
#include "ProgramRun.h"

#include <gtest/gtest.h>

#include <xkbcommon/xkbcommon.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <cstdlib>

namespace {

using ToolRun = kf::test::TProgramRun;

ToolRun package(const QStringList &args, const QString &codePage = QStringLiteral("CP1252"))
{
    return kf::test::RunProgram(kf::test::ToolProgram(), QStringList{"package"} + args, codePage);
}

size_t count(const std::string &text, const std::string &part)
{
    size_t n = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1))
        ++n;
    return n;
}

class ExchangeCommand : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_dir.isValid());
        // The user's XKB folder lies in the test's own folder.
        qputenv("XDG_CONFIG_HOME", m_dir.filePath("config").toLocal8Bit());
    }
    void TearDown() override { qunsetenv("XDG_CONFIG_HOME"); }
    QString path(const QString &name) const { return m_dir.filePath(name); }
    std::string file(const QString &name) const { return path(name).toStdString(); }
    // A package imported from a system layout.
    void import(const char *layout, const char *codePage, const QString &out)
    {
        const ToolRun r = package({"import", layout, "--code-page", codePage, "--compose-locale", "en_US.UTF-8",
                                   "-o", path(out)},
                                  codePage);
        ASSERT_EQ(r.status, 0) << r.err;
    }
    QTemporaryDir m_dir;
};

TEST_F(ExchangeCommand, ExportWritesTheProvedSymbolsFile)
{
    import("de", "CP1252", "de.vkt");
    const ToolRun r = package({"export", path("de.vkt"), "--format", "xkb", "-o", path("de.xkb"), "--description",
                               "Mein Deutsch"});
    ASSERT_EQ(r.status, 0) << r.err;
    const std::string text = kf::readFileBytes(file("de.xkb"));
    EXPECT_NE(text.find("name[Group1] = \"Mein Deutsch\";"), std::string::npos) << text;
    EXPECT_NE(text.find("key <AC10> { [ odiaeresis, Odiaeresis ] };"), std::string::npos) << text;
    EXPECT_NE(text.find("key <AE12> { [ dead_acute, dead_grave ] };"), std::string::npos) << text;
    EXPECT_NE(text.find("include \"level3(ralt_switch)\""), std::string::npos) << text;
}

TEST_F(ExchangeCommand, ExportReadsThePackageInItsOwnCodePage)
{
    import("pl", "CP1250", "pl.vkt");
    // The session's code page is another one.
    const ToolRun r = package({"export", path("pl.vkt"), "--format", "xkb", "-o", path("pl.xkb")}, "CP1252");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(r.err.empty()) << r.err;
    const std::string text = kf::readFileBytes(file("pl.xkb"));
    EXPECT_NE(text.find("key <AC01> { [ a, A, aogonek, Aogonek ] };"), std::string::npos) << text;
}

TEST_F(ExchangeCommand, ExportRefusals)
{
    import("us", "CP1252", "us.vkt");
    kf::writeFileBytes(file("old.xkb"), "earlier file");
    const struct {
        const char *label;
        QStringList args;
        int status;
        const char *message;
    } cases[] = {
        {"no format", {"export", path("us.vkt"), "-o", path("old.xkb")}, 2, "export needs --format xkb"},
        {"unknown format", {"export", path("us.vkt"), "--format", "pdf", "-o", path("old.xkb")}, 2,
         "--format takes xkb"},
        {"compose for another format", {"export", path("us.vkt"), "--format", "kle", "-o", path("old.xkb"),
                                        "--compose", path("c")}, 2, "--compose is for --format xkb"},
        {"no package", {"export", path("none.vkt"), "--format", "xkb", "-o", path("old.xkb")}, 1, "none.vkt"},
        {"unwritable target", {"export", path("us.vkt"), "--format", "xkb", "-o", path("no/such/folder/x")}, 1,
         "no/such/folder/x"},
        {"install without name", {"install", path("us.vkt")}, 2, "install needs --name NAME"},
        {"name XKB refuses", {"install", path("us.vkt"), "--name", "My Layout"}, 1, "\"My Layout\" cannot name"},
        {"uninstall of nothing", {"uninstall", "nothing"}, 1, "No layout \"nothing\" is installed"},
    };
    for (const auto &c : cases) {
        const ToolRun r = package(c.args);
        EXPECT_EQ(r.status, c.status) << c.label << "\n" << r.err;
        EXPECT_NE(r.err.find(c.message), std::string::npos) << c.label << "\n" << r.err;
        EXPECT_EQ(kf::readFileBytes(file("old.xkb")), "earlier file") << c.label;
    }
    EXPECT_FALSE(QDir(path("config")).exists());
}

TEST_F(ExchangeCommand, InstallCompilesByNameFromTheUserFolderAndUninstallRemovesIt)
{
    import("lt", "CP1257", "lt.vkt");
    // An entry of another layout is kept.
    const QString rules = path("config/xkb/rules/evdev.xml");
    QDir().mkpath(path("config/xkb/rules"));
    kf::writeFileBytes(rules.toStdString(),
                       "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<!DOCTYPE xkbConfigRegistry SYSTEM \"xkb.dtd\">\n"
                       "<xkbConfigRegistry version=\"1.1\">\n  <layoutList>\n    <layout>\n      <configItem>\n"
                       "        <name>other</name>\n        <description>Other &amp; more</description>\n"
                       "      </configItem>\n    </layout>\n  </layoutList>\n</xkbConfigRegistry>\n");
    for (const char *description : {"First", "My Lithuanian"}) {
        const ToolRun r = package({"install", path("lt.vkt"), "--name", "mylt", "--description", description,
                                   "--language", "lt-LT"},
                                  "CP1257");
        ASSERT_EQ(r.status, 0) << r.err;
        EXPECT_NE(r.out.find("keyboard settings"), std::string::npos) << r.out;
    }
    const std::string registry = kf::readFileBytes(rules.toStdString());
    EXPECT_EQ(count(registry, "<name>mylt</name>"), 1u) << registry;
    EXPECT_NE(registry.find("<description>My Lithuanian</description>"), std::string::npos) << registry;
    EXPECT_NE(registry.find("<iso639Id>lit</iso639Id>"), std::string::npos) << registry;
    EXPECT_NE(registry.find("<name>other</name>"), std::string::npos) << registry;
    EXPECT_NE(registry.find("Other &amp; more"), std::string::npos) << registry;

    // libxkbcommon finds the layout by name in the user's folder.
    xkb_context *ctx = xkb_context_new(XKB_CONTEXT_NO_FLAGS);
    const xkb_rule_names names{"evdev", "pc105", "mylt", "", ""};
    xkb_keymap *keymap = xkb_keymap_new_from_names(ctx, &names, XKB_KEYMAP_COMPILE_NO_FLAGS);
    ASSERT_NE(keymap, nullptr);
    xkb_state *state = xkb_state_new(keymap);
    EXPECT_EQ(xkb_state_key_get_one_sym(state, xkb_keymap_key_by_name(keymap, "AE01")), xkb_keysym_t(XKB_KEY_aogonek));
    EXPECT_EQ(xkb_state_key_get_one_sym(state, xkb_keymap_key_by_name(keymap, "AC01")), xkb_keysym_t(XKB_KEY_a));
    xkb_state_unref(state);
    xkb_keymap_unref(keymap);
    xkb_context_unref(ctx);

    const ToolRun r = package({"uninstall", "mylt"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_FALSE(QFile::exists(path("config/xkb/symbols/mylt")));
    const std::string after = kf::readFileBytes(rules.toStdString());
    EXPECT_EQ(after.find("mylt"), std::string::npos) << after;
    EXPECT_NE(after.find("<name>other</name>"), std::string::npos) << after;
}

TEST_F(ExchangeCommand, InstallStartsARegistryAndRefusesOneThatIsNotXml)
{
    import("us", "CP1252", "us.vkt");
    ToolRun r = package({"install", path("us.vkt"), "--name", "mine"});
    ASSERT_EQ(r.status, 0) << r.err;
    const std::string rules = file("config/xkb/rules/evdev.xml");
    const std::string registry = kf::readFileBytes(rules);
    EXPECT_EQ(registry.rfind("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<!DOCTYPE xkbConfigRegistry SYSTEM "
                             "\"xkb.dtd\">\n<xkbConfigRegistry version=\"1.1\">",
                             0),
              0u)
        << registry;
    EXPECT_EQ(count(registry, "<name>mine</name>"), 1u) << registry;

    kf::writeFileBytes(rules, "not <xml");
    QFile::remove(path("config/xkb/symbols/mine"));
    r = package({"install", path("us.vkt"), "--name", "mine"});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("not XML"), std::string::npos) << r.err;
    EXPECT_EQ(kf::readFileBytes(rules), "not <xml");
    EXPECT_FALSE(QFile::exists(path("config/xkb/symbols/mine")));
}

TEST_F(ExchangeCommand, ImportKleWritesAPackageWithPicturesAndRefusesRotatedKeys)
{
    import("us", "CP1252", "us.vkt");
    ToolRun r = package({"export", path("us.vkt"), "--format", "kle", "-o", path("us.json")});
    ASSERT_EQ(r.status, 0) << r.err;
    r = package({"import-kle", path("us.json"), "--code-page", "cp1252", "-o", path("kle.vkt")});
    ASSERT_EQ(r.status, 0) << r.err;
    kf::TDataMod before, after;
    ASSERT_TRUE(before.LoadPackage(file("us.vkt")));
    ASSERT_TRUE(after.LoadPackage(file("kle.vkt"))) << after.PackageError();
    EXPECT_EQ(after.MainTbl.RecordCount(), before.MainTbl.RecordCount());
    EXPECT_EQ(after.Author, "English (US)");
    for (after.MainTbl.First(); !after.MainTbl.Eof(); after.MainTbl.Next())
        EXPECT_FALSE(kf::GlyphToImage(after.MainTbl.FieldByName("Glyph").AsString()).isNull())
            << after.MainTbl.FieldByName("Name").AsString();

    kf::writeFileBytes(file("rotated.json"), "[[\"a\"],[{\"r\":10,\"rx\":2,\"ry\":1},\"b\"]]");
    r = package({"import-kle", path("rotated.json"), "-o", path("kle.vkt")});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("rotated.json: row 2, key 1 is rotated"), std::string::npos) << r.err;
    ASSERT_TRUE(after.LoadPackage(file("kle.vkt")));
    EXPECT_EQ(after.MainTbl.RecordCount(), before.MainTbl.RecordCount());
}

} // namespace
