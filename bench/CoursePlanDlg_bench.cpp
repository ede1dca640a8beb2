// The course plan window over a big frequency list: planning, then the edits
// (a character typed into another lesson, a merge), each timed from the edit
// to the table filled anew, on the offscreen platform. A timing harness:
//
//   plandlg_bench KEYBOARD.vkt DICTIONARY [RUNS]

#include "common/CodePage.h"
#include "common/CodePageDecoder.h"
#include "common/ScriptedDialogs.h"
#include "model/KeyLayout.h"
#include "model/MainData.h"
#include "wordlist/CoursePlanDlg.h"
#include "words/CoursePlan.h"

#include <QApplication>
#include <QCheckBox>
#include <QElapsedTimer>
#include <QTableWidget>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <memory>

using namespace kf;

namespace {

// The best of runs, in milliseconds.
double best(int runs, const std::function<void()> &prepare, const std::function<void()> &step)
{
    double ms = 1e18;
    for (int i = 0; i < runs; ++i) {
        prepare();
        QElapsedTimer t;
        t.start();
        step();
        QCoreApplication::processEvents();
        ms = std::min(ms, double(t.nsecsElapsed()) / 1e6);
    }
    return ms;
}

} // namespace

int main(int argc, char **argv)
{
    if (argc < 3) {
        std::fprintf(stderr, "usage: plandlg_bench KEYBOARD.vkt DICTIONARY [RUNS]\n");
        return 2;
    }
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int runs = argc > 3 ? std::max(1, std::atoi(argv[3])) : 5;
    SetDialogs(std::make_unique<ScriptedDialogs>());

    TDataMod dm;
    if (!dm.LoadPackage(argv[1])) {
        std::fprintf(stderr, "%s: %s\n", argv[1], dm.PackageError().c_str());
        return 1;
    }
    const TKeyLayout layout = TKeyLayout::FromDataMod(dm);
    QElapsedTimer read;
    read.start();
    DecodedLines lines = ReadDecodedLines(argv[2], InputEncoding::Auto);
    TPlanDictionary dictionary = TPlanDictionary::FromDecoded(std::move(lines));
    const double readMs = double(read.nsecsElapsed()) / 1e6;

    TCoursePlanDlg dlg(nullptr, std::move(dictionary), &layout, QStringLiteral("bench"), 0, 50);
    dlg.ShiftEd->setChecked(true);
    dlg.PerLessonEd->SetValue(1);
    dlg.show();
    const double planMs = best(runs, [] {}, [&] { dlg.PlanBnClick(); });
    if (!dlg.Plan()) {
        std::fprintf(stderr, "no plan\n");
        return 1;
    }
    const int lessons = dlg.LessonGrid->rowCount();
    // An edit: lesson 2's character typed into lesson 1's New cell (and back).
    bool moved = false;
    const double moveMs = best(
        runs,
        [&] {
            QTableWidgetItem *from = dlg.LessonGrid->item(moved ? 0 : 1, TCoursePlanDlg::NewCol);
            QTableWidgetItem *to = dlg.LessonGrid->item(moved ? 1 : 0, TCoursePlanDlg::NewCol);
            const QString c = from->text().right(1);
            QSignalBlocker block(dlg.LessonGrid);
            to->setText(to->text() + QLatin1Char(' ') + c);
            from->setText(from->text().chopped(1).trimmed());
            moved = !moved;
        },
        [&] { dlg.RecomputeBnClick(); });
    const double mergeMs = best(
        runs, [&] { dlg.PlanBnClick(); dlg.LessonGrid->setCurrentCell(3, TCoursePlanDlg::NewCol); },
        [&] { dlg.MergeBnClick(); });
    std::printf("plan window: %zu words read in %.0f ms; %d lessons; best of %d runs\n",
                dlg.Plan()->Dictionary().Words.size(), readMs, lessons, runs);
    std::printf("  plan anew          %8.1f ms\n", planMs);
    std::printf("  move a character   %8.1f ms\n", moveMs);
    std::printf("  merge two lessons  %8.1f ms\n", mergeMs);
    return 0;
}
