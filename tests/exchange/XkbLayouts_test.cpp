// The list of system keyboard layouts: reading the rules XML, the layout ids
// the import and the command line take, and the system's own list.

#include "exchange/XkbLayouts.h"

#include "common/Errors.h"
#include "common/TextFile.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QTemporaryDir>

#include <cstdlib>

using namespace kf;

namespace {

const char kRules[] = R"(<?xml version="1.0" encoding="UTF-8"?>
<!DOCTYPE xkbConfigRegistry SYSTEM "xkb.dtd">
<xkbConfigRegistry version="1.1">
  <modelList><model><configItem><name>pc105</name><description>Generic</description></configItem></model></modelList>
  <layoutList>
    <layout>
      <configItem>
        <name>xa</name>
        <!-- a comment -->
        <shortDescription>xa</shortDescription>
        <description>First &amp; one</description>
        <languageList><iso639Id>eng</iso639Id></languageList>
      </configItem>
      <variantList>
        <variant><configItem><name>v1</name><description>First (one)</description>
          <languageList><iso639Id>deu</iso639Id><iso639Id>fra</iso639Id></languageList></configItem></variant>
        <variant><configItem><description>no name: skipped</description></configItem></variant>
        <variant><configItem popularity="exotic"><name>v-2</name><description>  Ünïcode  </description></configItem></variant>
      </variantList>
    </layout>
    <layout><configItem><description>no name: skipped with its variants</description></configItem>
      <variantList><variant><configItem><name>lost</name></configItem></variant></variantList></layout>
    <layout>
      <variantList><variant><configItem><name>early</name><description>Variant before name</description></configItem></variant></variantList>
      <configItem><name>xb</name><description>Second</description></configItem>
    </layout>
    <layout><configItem><name>bad/name</name><description>refused</description></configItem></layout>
  </layoutList>
  <optionList><group><configItem><name>grp</name></configItem></group></optionList>
</xkbConfigRegistry>
)";

TEST(XkbLayouts, ReadsLayoutsEachFollowedByItsVariants)
{
    const std::vector<XkbLayout> got = ReadXkbLayouts(kRules);
    const std::vector<XkbLayout> expected = {
        {"xa", "", "First & one"},
        {"xa", "v1", "First (one)"},
        {"xa", "v-2", "\xC3\x9Cn\xC3\xAF" "code"},
        {"xb", "", "Second"},
        {"xb", "early", "Variant before name"},
    };
    EXPECT_EQ(got, expected);
    EXPECT_EQ(got[1].Id(), "xa(v1)");
    EXPECT_EQ(got[0].Id(), "xa");
    ASSERT_NE(FindXkbLayout(got, "xb", "early"), nullptr);
    EXPECT_EQ(FindXkbLayout(got, "xb", "early")->description, "Variant before name");
    EXPECT_EQ(FindXkbLayout(got, "xb", "v1"), nullptr);
    // Languages: a variant's own, else its layout's.
    EXPECT_EQ(got[0].languages, std::vector<std::string>{"eng"});
    EXPECT_EQ(got[1].languages, (std::vector<std::string>{"deu", "fra"}));
    EXPECT_EQ(got[2].languages, std::vector<std::string>{"eng"});
    EXPECT_TRUE(got[3].languages.empty());
}

TEST(XkbLayouts, BrokenXmlFailsNamingTheLine)
{
    const std::string broken = std::string(kRules).substr(0, 600) + "\n</wrong>";
    try {
        ReadXkbLayouts(broken);
        FAIL() << "no error";
    } catch (const EConvertError &e) {
        EXPECT_NE(std::string(e.what()).find("line"), std::string::npos) << e.what();
    }
    EXPECT_TRUE(ReadXkbLayouts("<xkbConfigRegistry/>").empty());
}

TEST(XkbLayouts, LayoutIds)
{
    const struct {
        const char *id;
        bool ok;
        const char *layout;
        const char *variant;
    } cases[] = {
        {"de", true, "de", ""},
        {"de(nodeadkeys)", true, "de", "nodeadkeys"},
        {"us(alt-intl)", true, "us", "alt-intl"},
        {"", false, "", ""},
        {"de(", false, "", ""},
        {"de()", false, "", ""},
        {"(x)", false, "", ""},
        {"de(x)y", false, "", ""},
        {"de(x(y))", false, "", ""},
        {"../de", false, "", ""},
        {"de(../../x)", false, "", ""},
        {"de x", false, "", ""},
    };
    for (const auto &c : cases) {
        std::string layout = "?", variant = "?";
        EXPECT_EQ(ParseLayoutId(c.id, layout, variant), c.ok) << c.id;
        if (c.ok) {
            EXPECT_EQ(layout, c.layout) << c.id;
            EXPECT_EQ(variant, c.variant) << c.id;
        }
    }
}

TEST(XkbLayouts, SystemListHoldsTheCommonLayouts)
{
    const std::vector<XkbLayout> all = ListXkbLayouts();
    EXPECT_GT(all.size(), 200u);
    for (const char *name : {"us", "de", "fr", "ru", "lt"})
        EXPECT_NE(FindXkbLayout(all, name, ""), nullptr) << name;
    const XkbLayout *nodead = FindXkbLayout(all, "de", "nodeadkeys");
    ASSERT_NE(nodead, nullptr);
    EXPECT_EQ(nodead->description, "German (no dead keys)");
}

TEST(XkbLayouts, ConfigRootFromTheEnvironment)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    ASSERT_TRUE(QDir(dir.path()).mkpath("rules"));
    writeFileBytes(dir.filePath("rules/evdev.xml").toStdString(), kRules);
    const char *old = std::getenv("XKB_CONFIG_ROOT");
    const std::string saved = old ? old : "";
    setenv("XKB_CONFIG_ROOT", dir.path().toLocal8Bit().constData(), 1);
    const std::vector<XkbLayout> got = ListXkbLayouts();
    const std::string root = XkbConfigRoot();
    unsetenv("XKB_CONFIG_ROOT");
    const std::vector<XkbLayout> none = [] {
        setenv("XKB_CONFIG_ROOT", "/nonexistent-xkb-root", 1);
        try {
            ListXkbLayouts();
        } catch (const EInOutError &) {
            return std::vector<XkbLayout>{};
        }
        return std::vector<XkbLayout>{XkbLayout{}};
    }();
    if (old)
        setenv("XKB_CONFIG_ROOT", saved.c_str(), 1);
    else
        unsetenv("XKB_CONFIG_ROOT");
    EXPECT_EQ(root, dir.path().toStdString());
    EXPECT_EQ(got.size(), 5u);
    EXPECT_TRUE(none.empty()) << "a missing rules file is an error";
}

} // namespace
