#include "common/ProgramFiles.h"

#include "common/InstallDirs.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

namespace kf {

QString ProgramFilePath(const QString &programDir, const QString &relative)
{
    const QDir dir(programDir);
    const QString beside = dir.filePath(relative);
    if (QFileInfo::exists(beside))
        return beside;
    const QString installed =
        QDir::cleanPath(dir.filePath(QLatin1String(kDataDirFromProgramDir) + QLatin1Char('/') + relative));
    if (QFileInfo::exists(installed))
        return installed;
    return beside;
}

QString ProgramFilePath(const QString &relative)
{
    return ProgramFilePath(QCoreApplication::applicationDirPath(), relative);
}

} // namespace kf
