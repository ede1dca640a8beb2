// The keyboard chart from the layout window: "Export chart..." through its
// dialog and the dialog service in each format, with the options the dialog
// gives, a cancelled file choice, an empty definition, and "Print chart..."
// with its preview and a printed page.

#include "MemoryLimit.h"
#include "SampleKeyboard.h"
#include "app/Application.h"
#include "common/ScriptedDialogs.h"
#include "keyboard/ChartExportDialog.h"
#include "keyboard/KbDemoForm.h"
#include "keyboard/KbDragForm.h"
#include "keyboard/KbStatsForm.h"
#include "model/KeyLayout.h"
#include "model/MainData.h"

#include <QAccessible>
#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QDir>
#include <QDoubleSpinBox>
#include <QLineEdit>
#include <QMenu>
#include <QPrintPreviewDialog>
#include <QPrinter>
#include <QProcess>
#include <QPushButton>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <memory>

using namespace kf;

class ChartExportDialogTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<TDataMod> dm;
    ScriptedDialogs *dialogs = nullptr;
    std::unique_ptr<TKbDemoFm> form;
    std::unique_ptr<QTemporaryDir> tmp;
    QTemporaryDir &dir() { return *tmp; }

    void open(bool sample = true)
    {
        dm = std::make_unique<TDataMod>();
        if (sample)
            sample::BuildSampleKeyboard(*dm);
        dm->Author = "Sample";
        auto d = std::make_unique<ScriptedDialogs>();
        dialogs = d.get();
        SetDialogs(std::move(d));
        form = std::make_unique<TKbDemoFm>();
        form->FormCreate();
        form->show();
        QVERIFY(QTest::qWaitForWindowExposed(form.get()));
    }

    // Opens the Chart button's menu with the mouse and takes its entry with
    // the keyboard, as a user does.
    void chooseFromChartMenu(int entry)
    {
        QTimer::singleShot(0, this, [this, entry] {
            QMenu *menu = form->ChartMenu;
            QTRY_VERIFY(menu->isVisible());
            for (int i = 0; i <= entry; ++i)
                QTest::keyClick(menu, Qt::Key_Down);
            QTest::keyClick(menu, Qt::Key_Return);
        });
        QTest::mouseClick(form->ChartBn, Qt::LeftButton);
        QTRY_VERIFY(!form->ChartMenu->isVisible());
    }

    QString accessibleName(QWidget *w)
    {
        QAccessibleInterface *iface = QAccessible::queryAccessibleInterface(w);
        return iface ? iface->text(QAccessible::Name) : QString();
    }

private slots:
    void init() { tmp = std::make_unique<QTemporaryDir>(); }
    void cleanup()
    {
        form.reset();
        dm.reset();
        SetDialogs(nullptr);
    }

    void exportsEachFormat_data()
    {
        QTest::addColumn<int>("format");
        QTest::addColumn<QString>("file");
        QTest::addColumn<QByteArray>("starts");
        QTest::newRow("svg") << int(TChartFormat::Svg) << "chart.svg" << QByteArray("<?xml");
        QTest::newRow("pdf") << int(TChartFormat::Pdf) << "chart.pdf" << QByteArray("%PDF");
        QTest::newRow("png") << int(TChartFormat::Png) << "chart.png" << QByteArray("\x89PNG");
        // A name typed without its extension gets the format's.
        QTest::newRow("noExtension") << int(TChartFormat::Svg) << "chart" << QByteArray("<?xml");
    }

    void exportsEachFormat()
    {
        QFETCH(int, format);
        QFETCH(QString, file);
        QFETCH(QByteArray, starts);
        open();
        chooseFromChartMenu(0);
        TChartExportDlg *dialog = form->ChartDialog();
        QVERIFY(dialog && dialog->isVisible());
        QVERIFY(dialog->TitleEd->text().startsWith(QStringLiteral("Sample \u2014 ")));
        QCOMPARE(accessibleName(dialog->FormatCombo), dialog->FormatCombo->currentText());
        QCOMPARE(dialog->FormatCombo->accessibleDescription(), QStringLiteral("Format"));
        dialog->SetFormat(TChartFormat(format));
        dialog->TitleEd->clear();
        QTest::keyClicks(dialog->TitleEd, QStringLiteral("Lesson 1"));
        dialogs->answerFile(dir().filePath(file));
        QTest::mouseClick(dialog->OkBn, Qt::LeftButton);

        const QString written = file.contains('.') ? dir().filePath(file) : dir().filePath(file + ".svg");
        QFile f(written);
        QVERIFY2(f.open(QIODevice::ReadOnly), qPrintable(written));
        const QByteArray bytes = f.readAll();
        QVERIFY(bytes.startsWith(starts));
        if (format == int(TChartFormat::Svg))
            QVERIFY(bytes.contains(">Lesson 1</text>"));
        const FileRequest request = dialogs->last(ScriptedDialogs::Kind::SaveFile).request;
        QVERIFY(request.overwritePrompt);
        QVERIFY(request.filter.endsWith(QStringLiteral("|*.") + written.section('.', -1)));
        QTRY_VERIFY(!form->ChartDialog()); // closed once written
        QCOMPARE(dialogs->count(ScriptedDialogs::Kind::Warning), 0);
    }

    void theDialogsOptionsReachTheChart()
    {
        open();
        chooseFromChartMenu(0);
        TChartExportDlg *dialog = form->ChartDialog();
        QVERIFY(dialog);
        dialog->SetFormat(TChartFormat::Png);
        QVERIFY(dialog->ScaleEd->isEnabled());
        QVERIFY(!dialog->PaperCombo->isEnabled());
        dialog->ScaleEd->setValue(1);
        QTest::mouseClick(dialog->TransparentCheckbox, Qt::LeftButton);
        QTest::mouseClick(dialog->FingerColoursCheckbox, Qt::LeftButton);
        const TChartOptions o = dialog->Options();
        QCOMPARE(o.Scale, 1.0);
        QVERIFY(o.Transparent);
        QVERIFY(!o.FingerColours);
        dialogs->answerFile(dir().filePath("one.png"));
        QTest::mouseClick(dialog->OkBn, Qt::LeftButton);
        const QImage one(dir().filePath("one.png"));
        QVERIFY(!one.isNull());
        QCOMPARE(qAlpha(one.pixel(0, 0)), 0);

        // The same at the default scale: twice the size.
        QTRY_VERIFY(!form->ChartDialog());
        chooseFromChartMenu(0);
        dialog = form->ChartDialog();
        QVERIFY(dialog);
        dialog->SetFormat(TChartFormat::Png);
        QCOMPARE(dialog->ScaleEd->value(), 2.0);
        QTest::mouseClick(dialog->FingerColoursCheckbox, Qt::LeftButton);
        dialogs->answerFile(dir().filePath("two.png"));
        QTest::mouseClick(dialog->OkBn, Qt::LeftButton);
        QCOMPARE(QImage(dir().filePath("two.png")).size(), one.size() * 2);
    }

    // Colours by use come from the last keyboard statistics: offered only
    // when there are some, chosen at first when the keys show them, and in
    // the chart when chosen.
    void colouredByTheLastStatistics()
    {
        SetLastKeyUse({});
        open();
        chooseFromChartMenu(0);
        TChartExportDlg *dialog = form->ChartDialog();
        QVERIFY(dialog);
        QVERIFY(!dialog->ByUseCheckbox->isEnabled());
        QVERIFY(!dialog->ByUse());
        QTest::keyClick(dialog, Qt::Key_Escape);
        QTRY_VERIFY(!form->ChartDialog());

        const TKeyLayout layout = TKeyLayout::FromDataMod(*dm);
        SetLastKeyUse({{layout.Keys.front().Value, 1.0}});
        const auto forget = qScopeGuard([] { SetLastKeyUse({}); });
        form->KbDragFrame()->A_ColourKeysByUse->setChecked(true);
        chooseFromChartMenu(0);
        dialog = form->ChartDialog();
        QVERIFY(dialog);
        QVERIFY(dialog->ByUseCheckbox->isEnabled());
        QVERIFY(dialog->ByUseCheckbox->isChecked());
        dialog->SetFormat(TChartFormat::Svg);
        dialogs->answerFile(dir().filePath("use.svg"));
        QTest::mouseClick(dialog->OkBn, Qt::LeftButton);
        QFile f(dir().filePath("use.svg"));
        QVERIFY(f.open(QIODevice::ReadOnly));
        const QByteArray drawn = f.readAll();
        QVERIFY(drawn.contains("fill=\"" + TKeyboardChart::HeatColour(1).name().toLatin1() + "\""));
        QVERIFY(drawn.contains(">much use</text>"));

        // Not chosen: the finger legend as ever.
        QTRY_VERIFY(!form->ChartDialog());
        chooseFromChartMenu(0);
        dialog = form->ChartDialog();
        QVERIFY(dialog);
        QTest::mouseClick(dialog->ByUseCheckbox, Qt::LeftButton);
        QVERIFY(!dialog->ByUse());
        dialogs->answerFile(dir().filePath("fingers.svg"));
        QTest::mouseClick(dialog->OkBn, Qt::LeftButton);
        QFile g(dir().filePath("fingers.svg"));
        QVERIFY(g.open(QIODevice::ReadOnly));
        QVERIFY(!g.readAll().contains(">much use</text>"));
    }

    void aCancelledFileChoiceKeepsTheDialog()
    {
        open();
        chooseFromChartMenu(0);
        TChartExportDlg *dialog = form->ChartDialog();
        QVERIFY(dialog);
        dialogs->answerCancel();
        QTest::mouseClick(dialog->OkBn, Qt::LeftButton);
        QVERIFY(form->ChartDialog() && dialog->isVisible());
        QCOMPARE(QDir(dir().path()).entryList(QDir::Files), QStringList());
        QTest::keyClick(dialog, Qt::Key_Escape);
        QTRY_VERIFY(!form->ChartDialog());
    }

    void anUnwritablePathIsReportedAndWritesNothing()
    {
        open();
        chooseFromChartMenu(0);
        TChartExportDlg *dialog = form->ChartDialog();
        QVERIFY(dialog);
        dialogs->answerFile(dir().filePath("no/such/folder/chart.svg"));
        QTest::mouseClick(dialog->OkBn, Qt::LeftButton);
        QCOMPARE(dialogs->count(ScriptedDialogs::Kind::Message), 1);
        const QString report = dialogs->last(ScriptedDialogs::Kind::Message).text;
        QVERIFY2(report.contains(QStringLiteral("EFCreateError")) && report.contains(QStringLiteral("chart.svg")),
                 qPrintable(report));
        QVERIFY(form->ChartDialog() && dialog->isVisible()); // for another try
        QCOMPARE(QDir(dir().path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden), QStringList());
    }

    void anEmptyDefinitionSaysSo()
    {
        open(false);
        chooseFromChartMenu(0);
        QVERIFY(!form->ChartDialog());
        QCOMPARE(dialogs->count(ScriptedDialogs::Kind::Warning), 1);
        QVERIFY(dialogs->last(ScriptedDialogs::Kind::Warning).text.contains(QStringLiteral("no keys")));
        chooseFromChartMenu(1);
        QVERIFY(!form->PrintPreview());
        QCOMPARE(dialogs->count(ScriptedDialogs::Kind::Warning), 2);
    }

    // The preview's orientation buttons show the page as it is: landscape.
    void thePreviewShowsLandscapePressed()
    {
        open();
        chooseFromChartMenu(1);
        QPrintPreviewDialog *preview = form->PrintPreview();
        QVERIFY(preview);
        QTRY_VERIFY(preview->isVisible());
        QAction *portrait = nullptr, *landscape = nullptr;
        for (QAction *a : preview->findChildren<QAction *>()) {
            const QString text = a->text().remove(QLatin1Char('&'));
            if (text == QLatin1String("Portrait"))
                portrait = a;
            else if (text == QLatin1String("Landscape"))
                landscape = a;
        }
        QVERIFY(portrait && landscape);
        QVERIFY(landscape->isChecked());
        QVERIFY(!portrait->isChecked());
        QCOMPARE(preview->printer()->pageLayout().orientation(), QPageLayout::Landscape);
        preview->close();
        QTRY_VERIFY(!form->PrintPreview());
    }

    // A title line emptied in the dialog draws none (not the definition's).
    void anEmptyTitleDrawsNoTitleLine()
    {
        open();
        chooseFromChartMenu(0);
        TChartExportDlg *dialog = form->ChartDialog();
        QVERIFY(dialog);
        dialog->SetFormat(TChartFormat::Svg);
        dialog->TitleEd->clear();
        dialogs->answerFile(dir().filePath("untitled.svg"));
        QTest::mouseClick(dialog->OkBn, Qt::LeftButton);
        QFile f(dir().filePath("untitled.svg"));
        QVERIFY(f.open(QIODevice::ReadOnly));
        const QByteArray drawn = f.readAll();
        QVERIFY(!drawn.contains(">Sample"));
        QVERIFY(drawn.contains(">L Little</text>"));
    }

    // A PNG the memory cannot hold: the window says so, the file chosen
    // keeps what it held, and the dialog stays for a smaller scale.
    void aPngThatCannotBeMadeIsReportedAndKeepsTheFile()
    {
        if (!kf::test::AddressSpaceLimit::Works())
            QSKIP("a memory limit and AddressSanitizer do not go together");
        open();
        const QString path = dir().filePath("keep.png");
        {
            QFile old(path);
            QVERIFY(old.open(QIODevice::WriteOnly));
            old.write("the chart of yesterday");
        }
        chooseFromChartMenu(0);
        TChartExportDlg *dialog = form->ChartDialog();
        QVERIFY(dialog);
        dialog->SetFormat(TChartFormat::Png);
        dialog->ScaleEd->setValue(TKeyboardChart::kMaxScale);
        dialogs->answerFile(path);
        {
            const kf::test::AddressSpaceLimit limit(100 << 20);
            QTest::mouseClick(dialog->OkBn, Qt::LeftButton);
        }
        QCOMPARE(dialogs->count(ScriptedDialogs::Kind::Warning), 1);
        const QString warning = dialogs->last(ScriptedDialogs::Kind::Warning).text;
        QVERIFY2(warning.contains(QStringLiteral("not enough memory")), qPrintable(warning));
        QCOMPARE(dialogs->count(ScriptedDialogs::Kind::Message), 0);
        QFile old(path);
        QVERIFY(old.open(QIODevice::ReadOnly));
        QCOMPARE(old.readAll(), QByteArray("the chart of yesterday"));
        QCOMPARE(QDir(dir().path()).entryList(QDir::Files | QDir::Hidden), QStringList{"keep.png"});
        QVERIFY(form->ChartDialog() && dialog->isVisible());
    }

    void screenshot()
    {
        const QByteArray shots = qgetenv("KEYFOLIO_SCREENSHOT_DIR");
        if (shots.isEmpty())
            QSKIP("KEYFOLIO_SCREENSHOT_DIR is not set");
        open();
        chooseFromChartMenu(0);
        TChartExportDlg *dialog = form->ChartDialog();
        QVERIFY(dialog);
        dialog->SetFormat(TChartFormat::Png);
        QVERIFY(dialog->grab().save(QString::fromLocal8Bit(shots) + QStringLiteral("/chart-export-dialog.png")));
        dialog->close();
        QTRY_VERIFY(!form->ChartDialog());
        QVERIFY(form->grab().save(QString::fromLocal8Bit(shots) + QStringLiteral("/layout-window-chart.png")));
    }

    void printsWithAPreview()
    {
        open();
        chooseFromChartMenu(1);
        QPrintPreviewDialog *preview = form->PrintPreview();
        QVERIFY(preview);
        QTRY_VERIFY(preview->isVisible());
        QCOMPARE(preview->printer()->pageLayout().orientation(), QPageLayout::Landscape);
        preview->close();
        QTRY_VERIFY(!form->PrintPreview());

        // The page a printer gets, printed to a file.
        QPrinter printer(QPrinter::HighResolution);
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(dir().filePath("printed.pdf"));
        printer.setPageOrientation(QPageLayout::Landscape);
        form->PrintChart(printer);
        QProcess text;
        text.start(QStringLiteral("pdftotext"), {dir().filePath("printed.pdf"), QStringLiteral("-")});
        QVERIFY(text.waitForFinished(30000));
        const QString layer = QString::fromUtf8(text.readAllStandardOutput());
        QVERIFY2(layer.contains(QStringLiteral("Sample")) && layer.contains(QStringLiteral("L Little")),
                 qPrintable(layer));
    }
};

int main(int argc, char **argv)
{
    // The program's application object: it reports an error that ends a
    // handler, as the running program does.
    TApplication app(argc, argv);
    ChartExportDialogTest test;
    return QTest::qExec(&test, argc, argv);
}
#include "ChartExportDialog_test.moc"
