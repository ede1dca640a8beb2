#include "common/CodePage.h"
#include "common/Errors.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

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

TEST(CodePage, LanguageWithACodePageOfItsOwn)
{
    const struct { const char *language; const char *cp; } cases[] = {
        {"pol", "CP1250"}, {"PL", "CP1250"}, {"lit", "CP1257"}, {"ces", "CP1250"}, {"rus", "CP1251"},
        {"ell", "CP1253"}, {"tha", "CP874"},  {"eng", ""},       {"deu", ""},       {"", ""},
        {"pl cs", ""},     {"xx", ""},
    };
    for (const auto &c : cases)
        EXPECT_EQ(CodePage::codePageForLanguage(c.language), c.cp) << c.language;
}

TEST(CodePage, DesktopCodePagesAreEveryOneALocalePicksByNumber)
{
    const std::vector<std::string> expected = {"CP874",  "CP1250", "CP1251", "CP1252", "CP1253",
                                               "CP1254", "CP1255", "CP1256", "CP1257", "CP1258"};
    EXPECT_EQ(CodePage::desktopCodePages(), expected);
    for (const char *locale : {"th_TH", "vi_VN", "ar_EG", "he_IL", "lt_LT", "ru_RU", "pl_PL", "fr_FR"}) {
        const std::vector<std::string> &all = expected;
        EXPECT_NE(std::find(all.begin(), all.end(), CodePage::codePageForLocale(locale)), all.end()) << locale;
    }
    // Each is an 8-bit code page the program can build.
    for (const std::string &name : CodePage::desktopCodePages())
        EXPECT_NE(CodePage(name).number(), 0) << name;
}

TEST(CodePage, DefinedBytesRoundTrip)
{
    for (const std::string &name : CodePage::desktopCodePages()) {
        const CodePage cp(name);
        for (int b = 0; b < 256; ++b) {
            if (!cp.defined(uint8_t(b)))
                continue;
            uint8_t back = 0;
            ASSERT_TRUE(cp.fromUnicode(cp.toUnicode(uint8_t(b)), back)) << name << " " << b;
            EXPECT_EQ(back, b) << name;
        }
    }
    EXPECT_EQ(CodePage("CP1252").toUnicode(0x80), 0x20AC);
}

// Bytes a code page leaves undefined: shown as U+FFFD, and no character (the
// one of the same number, U+FFFD) turns into them, in any of the ways text
// becomes bytes.
struct UndefinedByte {
    const char *codePage;
    uint8_t byte;
};

void PrintTo(const UndefinedByte &c, std::ostream *os)
{
    *os << c.codePage << " " << int(c.byte);
}

class UndefinedBytes : public ::testing::TestWithParam<UndefinedByte> {};

TEST_P(UndefinedBytes, AreShownAsUndefinedAndNoCharacterBecomesOne)
{
    const UndefinedByte &c = GetParam();
    const CodePage cp(c.codePage);
    EXPECT_FALSE(cp.defined(c.byte));
    EXPECT_EQ(cp.toUnicode(c.byte), u'\uFFFD');
    EXPECT_EQ(cp.decode(std::string(1, char(c.byte)) + "a"), QStringLiteral("\uFFFDa"));
    EXPECT_EQ(cp.lower(c.byte), c.byte);
    EXPECT_EQ(cp.upper(c.byte), c.byte);
    for (const char16_t u : {char16_t(c.byte), char16_t(0xFFFD)}) {
        const QString ch(QChar{u});
        uint8_t out = 0;
        EXPECT_FALSE(cp.fromUnicode(u, out)) << int(u) << " gives " << int(out);
        EXPECT_EQ(cp.encode(ch), "?") << int(u);
        EXPECT_EQ(cp.unheld(ch), QStringList{ch}) << int(u);
    }
    // An edited text keeps the undefined byte it was shown from while the
    // byte's place is left alone.
    const std::string was = std::string("x") + char(c.byte);
    EXPECT_EQ(cp.encodeEdited(cp.decode(was), was), was);
    EXPECT_EQ(cp.encodeEdited(cp.decode(was) + "y", was), "x?y");
}

INSTANTIATE_TEST_SUITE_P(Bytes, UndefinedBytes,
                         ::testing::Values(UndefinedByte{"CP1257", 0xA1}, UndefinedByte{"CP1257", 0xA5},
                                           UndefinedByte{"CP1251", 0x98}, UndefinedByte{"CP1252", 0x81},
                                           UndefinedByte{"CP1252", 0x8D}, UndefinedByte{"CP1252", 0x8F},
                                           UndefinedByte{"CP1252", 0x90}, UndefinedByte{"CP1252", 0x9D},
                                           UndefinedByte{"CP1255", 0xCA}, UndefinedByte{"CP874", 0xFF}),
                         [](const ::testing::TestParamInfo<UndefinedByte> &i) {
                             char name[32];
                             std::snprintf(name, sizeof name, "%s_%02X", i.param.codePage, unsigned(i.param.byte));
                             return std::string(name);
                         });

// Letters of code pages with combining marks, which iconv holds back until
// the end of the input.
TEST(CodePage, LettersOfCodePagesWithCombiningMarks)
{
    const struct {
        const char *codePage;
        uint8_t byte;
        char16_t ch;
    } cases[] = {
        {"CP1255", 0xE0, u'\u05D0'}, // alef
        {"CP1255", 0xD4, u'\u05F0'}, // double vav
        {"CP1258", 0xC3, u'\u0102'}, // A breve
        {"CP1258", 'a', u'a'},
    };
    for (const auto &c : cases) {
        const CodePage cp(c.codePage);
        EXPECT_TRUE(cp.defined(c.byte)) << c.codePage << " " << int(c.byte);
        EXPECT_EQ(cp.toUnicode(c.byte), c.ch) << c.codePage << " " << int(c.byte);
    }
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

// What a code page cannot hold is named once a character, a pair of
// surrogates as one, and written as one '?'.
TEST(CodePage, CharactersTheCodePageCannotHold)
{
    const CodePage cp1252("CP1252");
    const QString text = QStringLiteral("\u0141\u00F3d\u017A \u0141\U0001F600!");
    EXPECT_EQ(cp1252.unheld(text), (QStringList{QStringLiteral("\u0141"), QStringLiteral("\u017A"),
                                                QStringLiteral("\U0001F600")}));
    EXPECT_EQ(cp1252.encode(text), std::string("?\xF3" "d? ?" "?!"));
    EXPECT_TRUE(cp1252.unheld(QStringLiteral("Gr\u00F6\u00DFe \u20AC")).isEmpty());
    EXPECT_EQ(CodePage("CP1250").unheldMessage(text), QStringLiteral("Not in the code page CP1250: \U0001F600"));
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

TEST(CodePage, ChosenForTheSessionKeepsEarlierReferencesValid)
{
    setenv("KEYFOLIO_CODEPAGE", "CP1252", 1);
    CodePage::reload();
    const CodePage &before = CodePage::current();
    CodePage::choose("cp1257");
    EXPECT_EQ(CodePage::current().name(), "CP1257");
    EXPECT_EQ(CodePage::current().toUnicode(0xE0), u'\u0105'); // ą
    // What was handed out before still reads as its own code page.
    EXPECT_EQ(before.name(), "CP1252");
    EXPECT_EQ(before.toUnicode(0xE0), u'\u00E0'); // à
    // Choosing one again gives the same object; an unknown name changes nothing.
    CodePage::choose("CP1252");
    EXPECT_EQ(&CodePage::current(), &before);
    EXPECT_THROW(CodePage::choose("NO-SUCH-PAGE"), kf::EConvertError);
    EXPECT_EQ(&CodePage::current(), &before);
    unsetenv("KEYFOLIO_CODEPAGE");
    CodePage::reload();
}
