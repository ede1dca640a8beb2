#include "common/ErrorReport.h"
#include "app/AppIcon.h"
#include "app/Application.h"
#include "app/MainForm.h"
#include "app/QtDialogs.h"
#include "common/Dialogs.h"
#include "common/Translation.h"
#include "model/MainData.h"

#include <memory>

int main(int argc, char **argv)
{
    kf::TApplication app(argc, argv);
    kf::StartTranslation(kf::DefaultLocaleDir());
    app.setApplicationName(kf::ApplicationTitle());
    app.setWindowIcon(kf::KeyfolioIcon());
    kf::SetDialogs(std::make_unique<kf::QtDialogs>());

    std::unique_ptr<kf::TDataMod> dataMod; // outlives the main window and its tool windows
    kf::TMainFm mainFm;
    try {
        dataMod = std::make_unique<kf::TDataMod>();
    } catch (const std::exception &e) {
        // Without its tables the program cannot run.
        kf::Dialogs().error(kf::ApplicationTitle(), QString::fromUtf8(e.what()));
        return 1;
    }
    mainFm.showMaximized();
    // --quit-after-start: start up completely, then end at once (the install
    // check starts the installed program so).
    if (app.arguments().contains(QStringLiteral("--quit-after-start")))
        QMetaObject::invokeMethod(&app, &QCoreApplication::quit, Qt::QueuedConnection);
    return app.exec();
}
