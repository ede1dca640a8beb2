#include "TestCatalogue.h"

#include "common/Translation.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>

namespace kf::support {

namespace {

QString msgfmtPath()
{
    return QStandardPaths::findExecutable(QStringLiteral("msgfmt"));
}

// A text as a .po string: quotes and backslashes escaped.
QByteArray poText(const char *text)
{
    QByteArray out;
    for (const char *p = text; *p; ++p) {
        if (*p == '"' || *p == '\\')
            out += '\\';
        out += *p;
    }
    return out;
}

} // namespace

bool MsgfmtInstalled()
{
    return !msgfmtPath().isEmpty();
}

QString BuildCatalogue(const QString &localeDir, const QString &language, const CatalogueEntries &entries,
                       const QByteArray &charset)
{
    const QString msgfmt = msgfmtPath();
    if (msgfmt.isEmpty())
        return QStringLiteral("msgfmt is not installed");
    const QString folder = localeDir + QLatin1Char('/') + language + QStringLiteral("/LC_MESSAGES");
    if (!QDir().mkpath(folder))
        return QStringLiteral("cannot make ") + folder;
    QByteArray po = "msgid \"\"\nmsgstr \"\"\n\"Content-Type: text/plain; charset=" + charset + "\\n\"\n\n";
    for (const auto &[id, str] : entries)
        po += "msgid \"" + poText(id) + "\"\nmsgstr \"" + poText(str) + "\"\n\n";
    const QString poPath = folder + QStringLiteral("/default.po");
    QFile f(poPath);
    if (!f.open(QIODevice::WriteOnly) || f.write(po) != po.size())
        return QStringLiteral("cannot write ") + poPath;
    f.close();
    QProcess p;
    p.start(msgfmt, {QStringLiteral("-o"), folder + QStringLiteral("/default.mo"), poPath});
    if (!p.waitForFinished(30000))
        return QStringLiteral("msgfmt did not finish");
    if (p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0)
        return QStringLiteral("msgfmt: ") + QString::fromLocal8Bit(p.readAllStandardError());
    return QString();
}

ScopedCatalogue::ScopedCatalogue(const QByteArray &locale, const CatalogueEntries &entries)
    : m_savedLang(qgetenv("LANG"))
{
    if (!m_dir.isValid()) {
        m_error = QStringLiteral("no temporary folder");
        return;
    }
    const QString localeDir = m_dir.filePath(QStringLiteral("locale"));
    const QString language = QString::fromLatin1(locale.left(locale.indexOf('.'))).section(QLatin1Char('_'), 0, 0);
    m_error = BuildCatalogue(localeDir, language, entries);
    if (!m_error.isEmpty())
        return;
    qputenv("LANG", locale);
    m_started = StartTranslation(localeDir);
    if (!m_started)
        m_error = QStringLiteral("the translation did not start from ") + localeDir;
}

ScopedCatalogue::~ScopedCatalogue()
{
    if (m_started)
        StopTranslation();
    qputenv("LANG", m_savedLang);
}

} // namespace kf::support
