#include "app/AppException.h"
#include "app/Application.h"
#include "app/MainForm.h"
#include "app/QtDialogs.h"
#include "common/Translation.h"

int main(int argc, char **argv)
{
    kf::TApplication app(argc, argv);
    kf::StartTranslation(kf::DefaultLocaleDir());
    app.setApplicationName(kf::ApplicationTitle());
    kf::SetDialogs(std::make_unique<kf::QtDialogs>());

    kf::TMainFm mainFm;
    mainFm.showMaximized();
    return app.exec();
}
