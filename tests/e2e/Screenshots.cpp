// Takes the help page's pictures: opens each window inside the main window,
// with the sample keyboard package and a small scan, and saves what it shows
// (QWidget::grab) as PNG files. Usage: kf-screenshots OUTDIR
// Runs under any platform; scripts/screenshots uses the offscreen one.

// First: the word splitter has a member named like a Qt macro.
#include "words/DicBuilder.h"
#include "common/CodePage.h"
#include "common/FilePath.h"

#include "app/ComFormFactory.h"
#include "app/MainForm.h"
#include "app/StartPage.h"
#include "common/ScriptedDialogs.h"
#include "common/TextFile.h"
#include "define/DefineForm.h"
#include "define/FingerDefForm.h"
#include "define/ImportLayoutDialog.h"
#include "define/ImportReportDialog.h"
#include "keyboard/ButtonType.h"
#include "keyboard/KbDemoForm.h"
#include "exchange/KeyboardChart.h"
#include "keyboard/KbDragForm.h"
#include "keyboard/KbStatsForm.h"
#include "model/KeyStrokeFormats.h"
#include "model/KeyStrokeStats.h"
#include "model/TextTallyReader.h"
#include "model/MainData.h"
#include "wordlist/DicForm.h"
#include "wordlist/TcgForm.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QMdiArea>
#include <QTreeView>
#include <QMdiSubWindow>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>

#include <cstdio>
#include <memory>

using namespace kf;

namespace {

bool save(QWidget *w, const QDir &out, const char *name)
{
    QWidget *shown = qobject_cast<QMdiSubWindow *>(w->parentWidget()) ? w->parentWidget() : w;
    QCoreApplication::processEvents();
    const QString path = out.filePath(QString::fromLatin1(name));
    if (!shown->grab().save(path)) {
        std::fprintf(stderr, "kf-screenshots: cannot write %s\n", qPrintable(path));
        return false;
    }
    std::printf("%s\n", qPrintable(path));
    return true;
}

template <class T>
T *open(TMainFm &main, QAction *item)
{
    item->trigger();
    T *form = main.Factory().FindForm<T>();
    if (form) {
        if (auto *frame = qobject_cast<QMdiSubWindow *>(form->parentWidget()))
            frame->showNormal();
        if (!QTest::qWaitForWindowExposed(form))
            qWarning("%s was not shown in time", form->metaObject()->className());
    }
    return form;
}

ButtonType *key(TKbDemoFm *form, const char *name)
{
    for (ButtonType *b : form->KbDragFrame()->Buttons())
        if (b->accessibleName() == QLatin1String(name))
            return b;
    return nullptr;
}

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "Usage: kf-screenshots OUTDIR\n");
        return 2;
    }
    const QDir out(QString::fromLocal8Bit(argv[1]));
    if (!QDir().mkpath(out.path())) {
        std::fprintf(stderr, "kf-screenshots: cannot make %s\n", argv[1]);
        return 1;
    }
    QTemporaryDir tmp;
    auto scripted = std::make_unique<ScriptedDialogs>();
    ScriptedDialogs &dialogs = *scripted;
    SetDialogs(std::move(scripted));
    TDataMod dataMod;
    bool ok = true;
    {
        TMainFm main;
        main.resize(1000, 720);
        main.show();
        ok &= QTest::qWaitForWindowExposed(&main);
        ok &= save(&main, out, "main-window.png");

        const QString package = tmp.filePath(QStringLiteral("sample.vkt"));
        QFile::copy(QStringLiteral(KF_TEST_DATA_DIR "/sample-keyboard.vkt"), package);
        auto *define = open<TDefineFm>(main, main.A_ShowDefineFm);
        if (!define)
            return 1;
        dialogs.answerFile(package);
        QTest::mouseClick(define->LoadBn, Qt::LeftButton);
        ok &= save(define, out, "keyboard-definition.png");

        QTest::mouseClick(define->ImportBn, Qt::LeftButton);
        if (TImportLayoutDlg *import = define->ImportDialog()) {
            ok &= QTest::qWaitForWindowExposed(import);
            QTest::keyClicks(import->FilterEd, QStringLiteral("german"));
            ok &= save(import, out, "import-layout.png");
            import->reject();
        } else {
            ok = false;
        }

        auto *fingers = open<TFingerDefFm>(main, main.A_ShowFingerDefFm);
        if (!fingers)
            return 1;
        ok &= save(fingers, out, "finger-definition.png");

        auto *demo = open<TKbDemoFm>(main, main.A_ShowKbDemoFm);
        if (!demo)
            return 1;
        QTest::mouseClick(demo->Button2, Qt::LeftButton);
        for (const char *k : {"L Shift", "K", "E", "Y", "F", "O", "L", "I", "O"})
            if (ButtonType *b = key(demo, k))
                QTest::mouseClick(b, Qt::LeftButton);
        ok &= save(demo, out, "keyboard-layout.png");
        {
            // The chart the layout window exports, as a picture of its own size.
            TChartOptions chart;
            chart.Scale = 1;
            TKeyboardChart::FromDataMod(*DataMod, CodePage::current())
                .Export(QFile::encodeName(out.filePath(QStringLiteral("keyboard-chart.png"))).toStdString(),
                        TChartFormat::Png, chart);
        }

        const QString text = tmp.filePath(QStringLiteral("text.txt"));
        writeFileBytes(kf::LocalPath(text),
                       "The quick brown fox jumps over the lazy dog. The dog sleeps; the fox sings.\r\n"
                       "Strong strings start at the state of the art, singing and testing.\r\n");
        auto *dic = open<TDicFm>(main, main.A_Dictionary);
        if (!dic)
            return 1;
        dialogs.answerFiles({text});
        dialogs.answerYes();
        dic->A_MakeWordList->trigger();
        dic->A_SortByFrequency->trigger();
        ok &= save(dic, out, "dictionary-generator.png");

        // The keyboard statistics of that text on the sample keyboard, as a
        // table and as pictures, and the chart coloured by that use.
        auto *stats = open<TKbStatsFm>(main, main.A_KeyboardStatistics);
        if (!stats)
            return 1;
        dialogs.answerFiles({text});
        stats->AddTextsClick();
        stats->CountClick();
        if (!QTest::qWaitFor([stats] { return !stats->Counting() && stats->FiguresA(); }, 20000)) {
            std::fprintf(stderr, "the keyboard statistics did not count the text\n");
            return 1;
        }
        ok &= save(stats, out, "keyboard-statistics.png");
        stats->Pages->setCurrentIndex(1);
        ok &= save(stats, out, "keyboard-statistics-pictures.png");
        {
            TKeyboardChart chart = TKeyboardChart::FromDataMod(*DataMod, CodePage::current());
            TChartOptions options;
            options.Scale = 1;
            options.Heat = stats->FiguresA()->KeyUse();
            chart.Export(QFile::encodeName(out.filePath(QStringLiteral("keyboard-chart-use.png"))).toStdString(),
                         TChartFormat::Png, options);
        }

        const QString dictionary = tmp.filePath(QStringLiteral("dictionary.txt"));
        dialogs.answerFile(dictionary);
        dic->A_SaveWordlist->trigger();
        auto *tcg = open<TTcgFm>(main, main.A_TCG);
        if (!tcg)
            return 1;
        dialogs.answerFile(dictionary);
        QTest::mouseClick(tcg->LoadDicBn, Qt::LeftButton);
        ok &= save(tcg, out, "course-step1.png");
        QTest::mouseClick(tcg->Next1Bn, Qt::LeftButton);
        tcg->SpellingBox->setChecked(true);
        tcg->TwdMemo->setPlainText(QStringLiteral("st\nin\nth"));
        ok &= save(tcg, out, "course-step2.png");
        QTest::mouseClick(tcg->Next2Bn, Qt::LeftButton);
        ok &= save(tcg, out, "course-result.png");

        // Last, as it replaces the definition: an import and its report.
        define->parentWidget()->showNormal();
        QTest::mouseClick(define->ImportBn, Qt::LeftButton);
        if (TImportLayoutDlg *import = define->ImportDialog(); import && import->SelectLayout(QStringLiteral("de"))) {
            dialogs.answerYes();
            QTest::mouseClick(import->OkBn, Qt::LeftButton);
        }
        if (TImportReportDlg *report = define->ImportReport()) {
            ok &= QTest::qWaitForWindowExposed(report);
            ok &= save(report, out, "import-report.png");
        } else {
            ok = false;
        }

        // The start page again, with the files of this run as recent files.
        if (TImportReportDlg *report = define->ImportReport())
            report->close();
        const QString strings = tmp.filePath(QStringLiteral("strings.txt"));
        writeFileBytes(kf::LocalPath(strings), "st\r\nin\r\nth\r\n");
        dialogs.answerFile(strings);
        QTest::mouseClick(tcg->LoadTWDBn, Qt::LeftButton);
        QFile::remove(package); // shows how a missing file looks
        for (QMdiSubWindow *w : main.MdiArea()->subWindowList()) {
            dialogs.answerYes();     // the dictionary window asks before closing
            dialogs.answerDiscard(); // the definition has unsaved changes
            w->close();
            dialogs.clear();
        }
        ok &= main.StartPage() && main.StartPage()->isVisible();
        QTest::qWait(100); // the page's layout follows its new entries
        ok &= save(&main, out, "start-page.png");
    }
    SetDialogs(nullptr);
    return ok ? 0 : 1;
}
