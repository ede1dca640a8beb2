#include "common/CodePage.h"

#include <gtest/gtest.h>

using kf::CodePage;

TEST(CodePage, LocaleChoosesDesktopCodePage)
{
    const struct { const char *locale; const char *cp; } cases[] = {
        {"ru_RU.UTF-8", "CP1251"}, {"uk_UA", "CP1251"}, {"pl_PL.UTF-8", "CP1250"},
        {"el_GR", "CP1253"},       {"tr_TR", "CP1254"}, {"de_DE.UTF-8", "CP1252"},
        {"C", "CP1252"},           {"", "CP1252"},      {"en_US", "CP1252"},
    };
    for (const auto &c : cases)
        EXPECT_EQ(CodePage::codePageForLocale(c.locale), c.cp) << c.locale;
}

TEST(CodePage, TablesAreTotalAndRoundTrip)
{
    for (const char *name : {"CP1252", "CP1251", "CP1250", "CP1253"}) {
        const CodePage cp(name);
        for (int b = 0; b < 256; ++b) {
            uint8_t back = 0;
            ASSERT_TRUE(cp.fromUnicode(cp.toUnicode(uint8_t(b)), back)) << name << " " << b;
            EXPECT_EQ(back, b) << name;
        }
    }
    const CodePage cp1252("CP1252");
    EXPECT_EQ(cp1252.toUnicode(0x81), 0x81); // undefined byte keeps its value
    EXPECT_EQ(cp1252.toUnicode(0x80), 0x20AC);
}

TEST(CodePage, LowerCaseByCodePage)
{
    const CodePage cp1251("CP1251");
    EXPECT_EQ(cp1251.lower(0xC0), 0xE0); // А -> а
    EXPECT_EQ(cp1251.lower(0xA8), 0xB8); // Ё -> ё
    EXPECT_EQ(cp1251.upper(0xFF), 0xDF); // я -> Я
    EXPECT_EQ(cp1251.lower('Q'), 'q');
    EXPECT_EQ(cp1251.toLower("ABC\xC0"), "abc\xE0");
    const CodePage cp1252("CP1252");
    EXPECT_EQ(cp1252.lower(0xC4), 0xE4); // Ä -> ä
    EXPECT_EQ(cp1252.decode("\xE4"), QString(QChar(0xE4)));
    EXPECT_EQ(cp1252.encode(QStringLiteral("a\u20AC\u4E00")), std::string("a\x80?"));
}

TEST(CodePage, EnvironmentSelects)
{
    setenv("KEYFOLIO_CODEPAGE", "cp1251", 1);
    CodePage::reload();
    EXPECT_EQ(CodePage::current().name(), "CP1251");
    EXPECT_EQ(CodePage::current().number(), 1251);
    setenv("KEYFOLIO_CODEPAGE", "NO-SUCH-PAGE", 1);
    CodePage::reload();
    EXPECT_EQ(CodePage::current().name(), "CP1252");
    unsetenv("KEYFOLIO_CODEPAGE");
    setenv("LANG", "bg_BG.UTF-8", 1);
    CodePage::reload();
    EXPECT_EQ(CodePage::current().name(), "CP1251");
}
