#include "app/HelpPage.h"

#include <QCoreApplication>
#include <QDir>

namespace kf {

QString HelpPagePath()
{
    return QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("help/index.html"));
}

QUrl HelpPageUrl()
{
    return QUrl::fromLocalFile(HelpPagePath());
}

} // namespace kf
