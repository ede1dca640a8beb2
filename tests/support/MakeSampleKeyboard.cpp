// Writes the sample keyboard as a package: kf-make-sample-keyboard OUT.vkt
// (tests/data/sample-keyboard.vkt is made with it).

#include "SampleKeyboard.h"
#include "model/MainData.h"

#include <QGuiApplication>
#include <iostream>

int main(int argc, char **argv)
{
    if (argc != 2) {
        std::cerr << "Usage: kf-make-sample-keyboard OUT.vkt\n";
        return 2;
    }
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    kf::TDataMod dm;
    kf::sample::BuildSampleKeyboard(dm);
    if (!dm.SavePackage(argv[1])) {
        std::cerr << "kf-make-sample-keyboard: " << dm.PackageError() << "\n";
        return 1;
    }
    std::cout << dm.MainTbl.RecordCount() << " keys, " << dm.Ctbl.RecordCount() << " characters\n";
    return 0;
}
