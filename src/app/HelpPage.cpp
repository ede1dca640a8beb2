#include "app/HelpPage.h"

#include "common/Dialogs.h"
#include "common/ProgramFiles.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

namespace kf {

QString HelpPagePath()
{
    return ProgramFilePath(QStringLiteral("help/index.html"));
}

bool OpenHelpPage(const QString &path, const UrlOpener &open)
{
    const QFileInfo page(path);
    // A missing page is not handed to the browser: it would only show its own error.
    if (page.isFile() && open && open(QUrl::fromLocalFile(page.absoluteFilePath())))
        return true;
    const QString where = QDir::toNativeSeparators(page.absoluteFilePath());
    Dialogs().warning(QStringLiteral("Help"),
                      page.isFile()
                          ? QStringLiteral("The help page could not be opened in a web browser.\n"
                                           "You can open it yourself: %1")
                                .arg(where)
                          : QStringLiteral("The help page was not found beside the program.\n"
                                           "It should be here: %1")
                                .arg(where));
    return false;
}

} // namespace kf
