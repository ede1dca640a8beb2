#pragma once
// The user's 8-bit code page: byte <-> Unicode and lower/upper-case tables.
// Word-list text and character codes stay bytes; they become Unicode only at
// the screen edge, through these tables. A byte the code page leaves undefined
// (0x81 in CP1252, 0xA5 in CP1257) is shown as U+FFFD, the replacement
// character, and no character turns into it: such a byte read from a file
// stays as it is, but nothing typed or converted ever becomes one.

#include <QString>
#include <QStringList>
#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace kf {

class CodePage {
public:
    // The code page in force: KEYFOLIO_CODEPAGE (e.g. "CP1251"), else the one a
    // desktop picks for the language of LANG, else CP1252. Built once.
    static const CodePage &current();
    // Re-reads the environment (for tests that change KEYFOLIO_CODEPAGE).
    static void reload();
    // Makes the named code page ("CP1257") the one in force for the rest of
    // the session; throws EConvertError, changing nothing, if iconv lacks it.
    // References current() handed out before stay valid.
    static void choose(const std::string &name);
    // The code page a desktop picks for a locale name like "ru_RU.UTF-8".
    static std::string codePageForLocale(const std::string &locale);
    // The code page a desktop picks for a language of its own, by its ISO 639
    // code ("pl" or "pol" give "CP1250"); empty for a language that takes the
    // default CP1252 ("en", "deu") or is not known.
    static std::string codePageForLanguage(const std::string &language);
    // Every code page codePageForLocale can pick, by number: "CP874",
    // "CP1250" ... "CP1258".
    static std::vector<std::string> desktopCodePages();

    explicit CodePage(const std::string &name); // throws EConvertError if iconv lacks it

    const std::string &name() const { return m_name; }
    int number() const { return m_number; } // 1251 for "CP1251", 0 if not a CPnnnn name

    // The character of a byte; U+FFFD for a byte the code page leaves undefined.
    char16_t toUnicode(uint8_t b) const { return m_toUnicode[b]; }
    // Whether the code page gives the byte a character.
    bool defined(uint8_t b) const { return m_defined[b]; }
    // The byte for a Unicode character; false when the code page has none
    // (U+FFFD included: no character stands for an undefined byte).
    bool fromUnicode(char32_t c, uint8_t &out) const;
    uint8_t lower(uint8_t b) const { return m_lower[b]; }
    uint8_t upper(uint8_t b) const { return m_upper[b]; }
    const std::array<uint8_t, 256> &lowerTable() const { return m_lower; }
    const std::array<uint8_t, 256> &upperTable() const { return m_upper; }

    // Undefined bytes become U+FFFD.
    QString decode(std::string_view bytes) const;
    // Characters the code page cannot hold become '?', one for each (a
    // character outside the Basic Multilingual Plane too).
    std::string encode(const QString &text) const;
    // The bytes of text edited from the bytes `was`: `was` itself while the
    // text is still what decode(was) shows, so that an undefined byte the
    // user did not touch is kept; else encode(text).
    std::string encodeEdited(const QString &text, std::string_view was) const;
    // The characters of text the code page cannot hold, each once, in the
    // order they first appear ({"Ł", "ź"} for "Łódź" in CP1252); empty when
    // all fit. A character outside the Basic Multilingual Plane is one entry.
    QStringList unheld(const QString &text) const;
    // "Not in the code page CP1252: Ł, ź" for those characters of
    // text, or empty when all fit.
    QString unheldMessage(const QString &text) const;
    std::string toLower(std::string_view bytes) const;

private:
    std::string m_name;
    int m_number = 0;
    std::array<char16_t, 256> m_toUnicode{};
    std::array<bool, 256> m_defined{};
    std::array<uint8_t, 256> m_lower{};
    std::array<uint8_t, 256> m_upper{};
    // Sorted (unicode, byte) pairs of the defined bytes for the reverse lookup.
    std::vector<std::pair<char16_t, uint8_t>> m_fromUnicode;
};

} // namespace kf
