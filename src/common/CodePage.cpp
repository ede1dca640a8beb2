#include "common/CodePage.h"
#include "common/Errors.h"

#include <QChar>
#include <QStringList>
#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <iconv.h>
#include <memory>
#include <utility>
#include <vector>

namespace kf {

namespace {

// Every code page made the one in force stays alive for the program's life,
// so a reference handed out by current() never dangles when another is
// chosen. Only a handful can ever be built (the desktop code pages).
struct CodePages {
    std::vector<std::unique_ptr<CodePage>> built;
    const CodePage *inForce = nullptr;
};

CodePages &codePages()
{
    static CodePages pages;
    return pages;
}

void putInForce(std::unique_ptr<CodePage> page)
{
    CodePages &pages = codePages();
    for (const auto &p : pages.built)
        if (p->name() == page->name()) {
            pages.inForce = p.get();
            return;
        }
    pages.built.push_back(std::move(page));
    pages.inForce = pages.built.back().get();
}

std::string upperAscii(std::string s)
{
    for (char &c : s)
        if (c >= 'a' && c <= 'z')
            c = char(c - 'a' + 'A');
    return s;
}

std::unique_ptr<CodePage> makeFromEnvironment()
{
    std::string name;
    if (const char *cp = std::getenv("KEYFOLIO_CODEPAGE"); cp && *cp)
        name = upperAscii(cp);
    else if (const char *lang = std::getenv("LANG"); lang && *lang)
        name = CodePage::codePageForLocale(lang);
    if (name.empty())
        name = "CP1252";
    try {
        return std::make_unique<CodePage>(name);
    } catch (const Exception &) {
        return std::make_unique<CodePage>("CP1252");
    }
}

} // namespace

const CodePage &CodePage::current()
{
    if (!codePages().inForce)
        putInForce(makeFromEnvironment());
    return *codePages().inForce;
}

void CodePage::reload()
{
    putInForce(makeFromEnvironment());
}

void CodePage::choose(const std::string &name)
{
    putInForce(std::make_unique<CodePage>(upperAscii(name)));
}

namespace {

// The code page a desktop picks for each language; CP1252 for the others.
struct LanguageCodePage {
    const char *langs;
    const char *cp;
};
// Two-letter codes as locales spell them, three-letter ones as the keyboard
// layouts list their languages.
const LanguageCodePage kLanguageCodePages[] = {
    {" ru uk bg be sr mk ky kk tt mn rus ukr bul bel srp mkd kir kaz tat mon ", "CP1251"},
    {" pl cs sk hu sl hr ro sq bs pol ces cze slk slo hun slv hrv ron rum sqi alb bos ", "CP1250"},
    {" el ell gre ", "CP1253"},
    {" tr az tur aze ", "CP1254"},
    {" he yi heb yid ", "CP1255"},
    {" ar fa ur ara fas per urd ", "CP1256"},
    {" et lv lt est lav lit ", "CP1257"},
    {" vi vie ", "CP1258"},
    {" th tha ", "CP874"},
};

} // namespace

std::vector<std::string> CodePage::desktopCodePages()
{
    std::vector<std::pair<int, std::string>> byNumber{{1252, "CP1252"}};
    for (const LanguageCodePage &row : kLanguageCodePages)
        byNumber.emplace_back(std::atoi(row.cp + 2), row.cp);
    std::sort(byNumber.begin(), byNumber.end());
    std::vector<std::string> names;
    for (auto &entry : byNumber)
        names.push_back(std::move(entry.second));
    return names;
}

std::string CodePage::codePageForLanguage(const std::string &language)
{
    if (language.empty() || language.find(' ') != std::string::npos)
        return std::string();
    std::string key = " ";
    for (const char c : language)
        key += char(std::tolower(static_cast<unsigned char>(c)));
    key += " ";
    for (const auto &row : kLanguageCodePages)
        if (std::string(row.langs).find(key) != std::string::npos)
            return row.cp;
    return std::string();
}

std::string CodePage::codePageForLocale(const std::string &locale)
{
    const std::string cp = codePageForLanguage(locale.substr(0, locale.find_first_of("_.@")));
    return cp.empty() ? "CP1252" : cp;
}

CodePage::CodePage(const std::string &name) : m_name(name)
{
    if (name.size() > 2 && name.compare(0, 2, "CP") == 0)
        m_number = std::atoi(name.c_str() + 2);

    iconv_t cd = iconv_open("UTF-16LE", name.c_str());
    if (cd == reinterpret_cast<iconv_t>(-1))
        throw EConvertError("Unknown code page " + name);
    for (int b = 0; b < 256; ++b) {
        char in = char(b);
        char out[8] = {};
        char *inp = &in;
        char *outp = out;
        size_t inLeft = 1, outLeft = sizeof out;
        iconv(cd, nullptr, nullptr, nullptr, nullptr);
        const size_t r = iconv(cd, &inp, &inLeft, &outp, &outLeft);
        // Code pages with combining marks (CP1255, CP1258) hold a letter back
        // until they know no mark follows: the end of the input lets it out.
        if (r != size_t(-1) && inLeft == 0)
            iconv(cd, nullptr, nullptr, &outp, &outLeft);
        const bool defined = r != size_t(-1) && inLeft == 0 && sizeof out - outLeft == 2;
        m_defined[b] = defined;
        m_toUnicode[b] = defined ? char16_t(uint8_t(out[0]) | (uint8_t(out[1]) << 8)) : char16_t(0xFFFD);
    }
    iconv_close(cd);

    for (int b = 0; b < 256; ++b)
        if (m_defined[b])
            m_fromUnicode.emplace_back(m_toUnicode[b], uint8_t(b));
    std::sort(m_fromUnicode.begin(), m_fromUnicode.end());

    for (int b = 0; b < 256; ++b) {
        const QChar ch(m_toUnicode[b]);
        uint8_t lo = uint8_t(b), up = uint8_t(b);
        const char16_t l = ch.toLower().unicode();
        const char16_t u = ch.toUpper().unicode();
        if (l != ch.unicode() && !fromUnicode(l, lo))
            lo = uint8_t(b);
        if (u != ch.unicode() && !fromUnicode(u, up))
            up = uint8_t(b);
        m_lower[b] = lo;
        m_upper[b] = up;
    }
}

bool CodePage::fromUnicode(char32_t c, uint8_t &out) const
{
    if (c > 0xFFFF)
        return false;
    const auto it = std::lower_bound(m_fromUnicode.begin(), m_fromUnicode.end(),
                                     std::pair<char16_t, uint8_t>{char16_t(c), 0});
    if (it == m_fromUnicode.end() || it->first != c)
        return false;
    out = it->second;
    return true;
}

std::string CodePage::encodeEdited(const QString &text, std::string_view was) const
{
    if (text == decode(was))
        return std::string(was);
    return encode(text);
}

QString CodePage::decode(std::string_view bytes) const
{
    QString s(qsizetype(bytes.size()), Qt::Uninitialized);
    QChar *d = s.data();
    for (size_t i = 0; i < bytes.size(); ++i)
        d[i] = QChar(m_toUnicode[uint8_t(bytes[i])]);
    return s;
}

std::string CodePage::encode(const QString &text) const
{
    std::string out;
    out.reserve(size_t(text.size()));
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar ch = text[i];
        uint8_t b;
        if (fromUnicode(ch.unicode(), b)) {
            out.push_back(char(b));
            continue;
        }
        out.push_back('?');
        if (ch.isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate())
            ++i; // the pair is one character
    }
    return out;
}

QStringList CodePage::unheld(const QString &text) const
{
    QStringList out;
    for (qsizetype i = 0; i < text.size(); ++i) {
        uint8_t b;
        if (fromUnicode(text[i].unicode(), b))
            continue;
        qsizetype n = 1;
        if (text[i].isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate())
            n = 2;
        const QString ch = text.mid(i, n);
        if (!out.contains(ch))
            out << ch;
        i += n - 1;
    }
    return out;
}

QString CodePage::unheldMessage(const QString &text) const
{
    const QStringList chars = unheld(text);
    if (chars.isEmpty())
        return QString();
    return QStringLiteral("Not in the code page %1: %2")
        .arg(QString::fromStdString(m_name), chars.join(QStringLiteral(", ")));
}

std::string CodePage::toLower(std::string_view bytes) const
{
    std::string out(bytes);
    for (char &c : out)
        c = char(m_lower[uint8_t(c)]);
    return out;
}

} // namespace kf
