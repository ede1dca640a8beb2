#include "tool/ToolCommand.h"
#include "common/CodePage.h"
#include "common/Errors.h"
#include "model/MainData.h"

#include <QCoreApplication>
#include <QGuiApplication>

#include <iostream>

namespace kf::tool {

void LoadPackageInItsCodePage(TDataMod &dm, const std::string &path)
{
    if (!dm.LoadPackage(path))
        throw EInOutError(path + ": " + dm.PackageError());
    if (!dm.PackageCodePage.empty() && dm.PackageCodePage != CodePage::current().name())
        CodePage::choose(dm.PackageCodePage);
}

void NeedFonts()
{
    if (QCoreApplication::instance())
        return;
    qputenv("QT_QPA_PLATFORM", "offscreen");
    static int argc = 1;
    static char name[] = "keyfolio-tool";
    static char *argv[] = {name, nullptr};
    // The platform's start-up notes (no runtime folder, ...) are not the
    // command's business.
    const QtMessageHandler previous = qInstallMessageHandler(
        [](QtMsgType type, const QMessageLogContext &, const QString &message) {
            if (type == QtCriticalMsg || type == QtFatalMsg)
                std::cerr << message.toStdString() << "\n";
        });
    static QGuiApplication app(argc, argv);
    qInstallMessageHandler(previous);
}

} // namespace kf::tool
