// The layout window's "Export chart...": from the dialog's OK to the written
// file (the chart read from the definition, drawn, written beside the target
// and renamed), for each format. A timing harness:
//
//   chart_export_bench PACKAGE.vkt [RUNS]
//
// prints the least and the median time of RUNS exports (default 20) per
// format. bench/chart_bench.sh builds the 105-key package it is meant for
// (build/bench-chart/de105.vkt). The goal: under 100 ms each.

#include "common/ScriptedDialogs.h"
#include "keyboard/ChartExportDialog.h"
#include "keyboard/KbDemoForm.h"
#include "model/MainData.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <vector>

using namespace kf;

int main(int argc, char **argv)
{
    qputenv("KEYFOLIO_NO_SETTINGS", "1");
    // The offscreen platform's notes are not the figures.
    qInstallMessageHandler([](QtMsgType type, const QMessageLogContext &, const QString &message) {
        if (type >= QtCriticalMsg)
            std::fprintf(stderr, "%s\n", qPrintable(message));
    });
    QApplication app(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: chart_export_bench PACKAGE.vkt [RUNS]\n");
        return 2;
    }
    const int runs = argc > 2 ? std::max(1, std::atoi(argv[2])) : 20;
    TDataMod dm;
    if (!dm.LoadPackage(argv[1])) {
        std::fprintf(stderr, "%s: %s\n", argv[1], dm.PackageError().c_str());
        return 1;
    }
    auto scripted = std::make_unique<ScriptedDialogs>();
    ScriptedDialogs &dialogs = *scripted;
    SetDialogs(std::move(scripted));
    QTemporaryDir dir;
    {
        TKbDemoFm form;
        form.FormCreate();
        std::printf("keyboard: %d keys; %d exports per format\n", dm.MainTbl.RecordCount(), runs);
        const struct {
            TChartFormat format;
            const char *file;
        } formats[] = {{TChartFormat::Svg, "chart.svg"}, {TChartFormat::Pdf, "chart.pdf"},
                       {TChartFormat::Png, "chart.png"}};
        for (const auto &f : formats) {
            std::vector<double> ms;
            for (int i = 0; i < runs; ++i) {
                form.ExportChartClick();
                TChartExportDlg *dialog = form.ChartDialog();
                if (!dialog)
                    return 1;
                dialog->SetFormat(f.format);
                dialogs.answerFile(dir.filePath(QString::fromLatin1(f.file)));
                QElapsedTimer t;
                t.start();
                form.ExportChartTo(*dialog);
                ms.push_back(double(t.nsecsElapsed()) / 1e6);
                QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
                QApplication::processEvents();
            }
            std::sort(ms.begin(), ms.end());
            std::printf("%-10s least %6.1f ms, median %6.1f ms\n", f.file, ms.front(), ms[ms.size() / 2]);
        }
    }
    SetDialogs(nullptr);
    return dialogs.count(ScriptedDialogs::Kind::Warning) == 0 ? 0 : 1;
}
