#include "ui/RecentFiles.h"

#include "common/Translation.h"
#include "common/Version.h"

#include <QDir>
#include <QFileInfo>
#include <QSettings>
#include <QtGlobal>

namespace kf {

namespace {

QString cleaned(const QString &path)
{
    return QDir::cleanPath(QFileInfo(path).absoluteFilePath());
}

} // namespace

TRecentFiles::TRecentFiles() = default;

TRecentFiles::TRecentFiles(std::unique_ptr<QSettings> settings) : m_settings(std::move(settings))
{
    read();
}

TRecentFiles::~TRecentFiles() = default;

bool TRecentFiles::SettingsSwitchedOff()
{
    return qgetenv("KEYFOLIO_NO_SETTINGS") == "1";
}

std::unique_ptr<TRecentFiles> TRecentFiles::ForProgram()
{
    if (SettingsSwitchedOff())
        return std::make_unique<TRecentFiles>();
    const QString name = QString::fromLatin1(kProjectName);
    return std::make_unique<TRecentFiles>(
        std::make_unique<QSettings>(QSettings::NativeFormat, QSettings::UserScope, name, name));
}

QString TRecentFiles::Key(RecentKind kind)
{
    switch (kind) {
    case RecentKind::Package:
        return QStringLiteral("RecentFiles/Packages");
    case RecentKind::Dictionary:
        return QStringLiteral("RecentFiles/Dictionaries");
    case RecentKind::Strings:
        return QStringLiteral("RecentFiles/Strings");
    }
    return QString();
}

QString TRecentFiles::Caption(RecentKind kind)
{
    switch (kind) {
    case RecentKind::Package:
        return TranslateQ("Keyboard packages");
    case RecentKind::Dictionary:
        return TranslateQ("Dictionaries");
    case RecentKind::Strings:
        return TranslateQ("Course strings");
    }
    return QString();
}

QStringList TRecentFiles::Files(RecentKind kind) const
{
    return m_files[size_t(kind)];
}

bool TRecentFiles::IsEmpty() const
{
    for (const QStringList &files : m_files)
        if (!files.isEmpty())
            return false;
    return true;
}

void TRecentFiles::Add(RecentKind kind, const QString &path)
{
    if (path.isEmpty())
        return;
    const QString file = cleaned(path);
    QStringList &files = list(kind);
    if (!files.isEmpty() && files.first() == file)
        return;
    files.removeAll(file);
    files.prepend(file);
    while (files.size() > MaxPerKind)
        files.removeLast();
    write(kind);
    emit Changed();
}

void TRecentFiles::Remove(RecentKind kind, const QString &path)
{
    if (list(kind).removeAll(cleaned(path)) == 0)
        return;
    write(kind);
    emit Changed();
}

void TRecentFiles::Clear()
{
    if (IsEmpty())
        return;
    for (RecentKind kind : Kinds) {
        list(kind).clear();
        write(kind);
    }
    emit Changed();
}

void TRecentFiles::read()
{
    // Whatever the store holds is checked: only absolute paths, each once,
    // at most MaxPerKind of a kind.
    for (RecentKind kind : Kinds) {
        QStringList &files = list(kind);
        const QStringList stored = m_settings->value(Key(kind)).toStringList();
        for (const QString &entry : stored) {
            if (files.size() == MaxPerKind)
                break;
            if (entry.isEmpty() || !QDir::isAbsolutePath(entry))
                continue;
            const QString file = QDir::cleanPath(entry);
            if (!files.contains(file))
                files << file;
        }
    }
}

void TRecentFiles::write(RecentKind kind)
{
    if (!m_settings)
        return;
    if (list(kind).isEmpty())
        m_settings->remove(Key(kind));
    else
        m_settings->setValue(Key(kind), list(kind));
    m_settings->sync();
    if (m_settings->status() != QSettings::NoError)
        qWarning("The recent files could not be written to %s", qPrintable(m_settings->fileName()));
}

} // namespace kf
