#include "common/Translation.h"
#include "common/FilePath.h"

#include "common/ProgramFiles.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QLocale>
#include <QPointer>
#include <QTranslator>

#include <clocale>
#include <cstdlib>
#include <cstring>
#include <libintl.h>
#include <memory>

namespace kf {

namespace {

constexpr const char *Domain = "default";

struct TranslationState {
    bool active = false;
    QString language;
    QString catalogue;
    std::string localeDir; // kept alive: gettext keeps the pointer we pass
};

TranslationState &state()
{
    static TranslationState s;
    return s;
}

// Hands every text Qt shows (button captions of message boxes and dialogs)
// to the catalogue. The program's own texts never pass through here.
class GettextTranslator : public QTranslator {
public:
    using QTranslator::QTranslator;
    bool isEmpty() const override { return !TranslationActive(); }
    QString translate(const char *, const char *sourceText, const char *, int) const override
    {
        if (!sourceText || !*sourceText || !TranslationActive())
            return QString();
        const char *t = Translate(sourceText);
        if (t == sourceText || std::strcmp(t, sourceText) == 0)
            return QString(); // not in the catalogue: let Qt use its own text
        return QString::fromUtf8(t);
    }
};

QPointer<QTranslator> &installedTranslator()
{
    static QPointer<QTranslator> t;
    return t;
}

void installQtTranslator()
{
    QCoreApplication *app = QCoreApplication::instance();
    if (!app || installedTranslator())
        return;
    auto *t = new GettextTranslator(app); // owned by the application object
    installedTranslator() = t;
    QCoreApplication::installTranslator(t);
}

void removeQtTranslator()
{
    if (QTranslator *t = installedTranslator()) {
        QCoreApplication::removeTranslator(t);
        delete t;
    }
}

QString wantedLanguage()
{
    QString lang = QString::fromLocal8Bit(qgetenv("LANG"));
    if (lang.isEmpty())
        lang = QLocale::system().name(); // language code "_" country code
    const int dot = lang.indexOf(QLatin1Char('.'));
    if (dot >= 0)
        lang.truncate(dot);
    return lang;
}

bool declaresUtf8(const char *header)
{
    // The header entry holds lines such as "Content-Type: text/plain; charset=UTF-8".
    const QByteArray h = QByteArray(header).toLower();
    const int at = h.indexOf("charset=");
    if (at < 0)
        return false;
    QByteArray cs = h.mid(at + 8);
    const int end = cs.indexOf('\n');
    if (end >= 0)
        cs.truncate(end);
    cs = cs.trimmed();
    return cs == "utf-8" || cs == "utf8";
}

} // namespace

QString DefaultLocaleDir()
{
    return ProgramFilePath(QStringLiteral("locale"));
}

bool StartTranslation(const QString &localeDir)
{
    TranslationState &s = state();
    StopTranslation();
    s.language = wantedLanguage();
    s.catalogue.clear();
    if (s.language.isEmpty())
        return false;

    // Full code first, then its first two letters.
    QStringList candidates{s.language};
    if (s.language.size() > 2)
        candidates << s.language.left(2);
    QString found;
    for (const QString &code : candidates) {
        const QString mo = QDir(localeDir).filePath(code + QStringLiteral("/LC_MESSAGES/default.mo"));
        if (QFileInfo(mo).isFile()) {
            found = code;
            break;
        }
    }
    if (found.isEmpty())
        return false;

    // gettext ignores the language list under the "C" locale; the program's
    // messages are then looked up under C.UTF-8, which leaves everything but
    // the message catalogue as it was.
    const char *current = std::setlocale(LC_MESSAGES, nullptr);
    if (!current || std::strcmp(current, "C") == 0 || std::strcmp(current, "POSIX") == 0)
        std::setlocale(LC_MESSAGES, "C.UTF-8");
    qputenv("LANGUAGE", found.toLocal8Bit());

    s.localeDir = LocalPath(QDir(localeDir).absolutePath());
    bindtextdomain(Domain, s.localeDir.c_str());
    bind_textdomain_codeset(Domain, "UTF-8");
    // Re-setting the current domain tells gettext that the language list
    // changed, so no translation looked up before is reused.
    textdomain(textdomain(nullptr));

    const char *header = dgettext(Domain, "");
    if (!header || !*header || !declaresUtf8(header))
        return false;

    s.catalogue = found;
    s.active = true;
    installQtTranslator();
    return true;
}

void StopTranslation()
{
    state().active = false;
    state().catalogue.clear();
    removeQtTranslator();
}

bool TranslationActive()
{
    return state().active;
}

QString TranslationLanguage()
{
    return state().language;
}

QString TranslationCatalogue()
{
    return state().catalogue;
}

const char *Translate(const char *msgid)
{
    if (!msgid || !*msgid || !state().active)
        return msgid;
    return dgettext(Domain, msgid);
}

QString TranslateQ(const char *msgid)
{
    return QString::fromUtf8(Translate(msgid));
}

std::string TranslateWith(const char *msgid, std::initializer_list<std::string_view> args)
{
    const std::string_view pattern = Translate(msgid);
    std::string out;
    out.reserve(pattern.size() + 32);
    size_t next = 0; // the argument the next "%s" takes
    for (size_t i = 0; i < pattern.size(); ++i) {
        const char c = pattern[i];
        const char after = i + 1 < pattern.size() ? pattern[i + 1] : '\0';
        if (c == '%' && after >= '1' && after <= '9') {
            const size_t n = size_t(after - '1');
            if (n < args.size())
                out += args.begin()[n];
            ++i;
        } else if (c == '%' && after == 's' && next < args.size()) {
            out += args.begin()[next++];
            ++i;
        } else {
            out += c;
        }
    }
    return out;
}

std::string LibraryText(const char *msgid, std::string_view arg, std::string_view arg2)
{
    return TranslateWith(msgid, {arg, arg2});
}

} // namespace kf
