// The keyboard statistics window, driven from the keyboard on the offscreen
// platform: its figures are those of the command line over the same files,
// a second package adds columns with the differences, a long count can be
// cancelled, a failed count is reported, and the layout frame colours its
// keys by the last count.

#include "SmallKeyboards.h"
#include "ProgramRun.h"
#include "app/Application.h"
#include "common/CodePage.h"
#include "common/ScriptedDialogs.h"
#include "common/TextFile.h"
#include "exchange/KeyboardChart.h"
#include "keyboard/ButtonType.h"
#include "keyboard/KbForm.h"
#include "keyboard/KbStatsForm.h"
#include "keyboard/StatsPicture.h"
#include "ui/InputEncodingMenu.h"
#include "model/KeyLayout.h"
#include "model/KeyStrokeFormats.h"
#include "model/KeyStrokeStats.h"
#include "model/TextTallyReader.h"
#include "model/MainData.h"
#include "table/FieldValue.h"

#include <QAccessible>
#include <QAccessibleTableInterface>
#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QListWidget>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QPushButton>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

using namespace kf;

class KbStatsFormTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<TDataMod> dm;
    ScriptedDialogs *dialogs = nullptr;
    std::unique_ptr<TKbStatsFm> form;
    QTemporaryDir dir;

    QString file(const char *name) const { return dir.filePath(QString::fromLatin1(name)); }

    // The table's cell as assistive technology reads it.
    QString cell(int row, int column) const
    {
        QAccessibleInterface *table = QAccessible::queryAccessibleInterface(form->FiguresTable);
        QAccessibleTableInterface *t = table ? table->tableInterface() : nullptr;
        if (!t)
            return QStringLiteral("<no table>");
        QAccessibleInterface *c = t->cellAt(row, column);
        return c ? c->text(QAccessible::Name) : QStringLiteral("<no cell>");
    }
    // The row whose first cell is what; -1: none.
    int rowOf(const QString &what) const
    {
        for (int r = 0; r < form->FiguresTable->rowCount(); ++r)
            if (cell(r, 0) == what)
                return r;
        return -1;
    }

    // Presses a button from the keyboard: the focus, then Space.
    void press(QPushButton *button)
    {
        button->setFocus();
        QTest::keyClick(button, Qt::Key_Space);
    }

    void addTexts(const QStringList &paths)
    {
        dialogs->answerFiles(paths);
        press(form->AddTextsButton);
    }

    void countAndWait()
    {
        press(form->CountButton);
        QVERIFY(form->Counting() || form->FiguresA());
        QTRY_VERIFY_WITH_TIMEOUT(!form->Counting(), 20000);
    }

    std::string runTool(const QStringList &args)
    {
        const kf::test::TProgramRun r =
            kf::test::RunProgram(kf::test::ToolProgram(), args, QString::fromStdString(CodePage::current().name()));
        return r.status == 0 ? r.out : "failed: " + r.err;
    }

private slots:
    void init()
    {
        dm = std::make_unique<TDataMod>();
        sample::BuildSmallKeyboard(*dm);
        auto d = std::make_unique<ScriptedDialogs>();
        dialogs = d.get();
        SetDialogs(std::move(d));
        form = std::make_unique<TKbStatsFm>();
        form->FormCreate();
        form->show();
        QVERIFY(QTest::qWaitForWindowExposed(form.get()));
        form->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(form.get()));
        writeFileBytes(file("text.txt").toStdString(), "Aab ba\xC3\xA1 b\xC3\x9F\r\nzz \xE2\x82\xAC\nab\n");
    }
    void cleanup()
    {
        form.reset();
        SetDialogs(nullptr);
        dm.reset();
    }

    void figuresAreTheCommandLinesFigures()
    {
        QVERIFY(!form->CountButton->isEnabled());
        addTexts({file("text.txt")});
        QCOMPARE(form->TextList->count(), 1);
        QVERIFY(form->CountButton->isEnabled());
        countAndWait();
        QVERIFY(form->FiguresA());

        QVERIFY(dm->SavePackage(file("a.vkt").toStdString()));
        const std::string tool = runTool({"package", "stats", file("a.vkt"), file("text.txt"), "--json"});
        dialogs->answerFile(file("out.json"));
        press(form->ExportJsonButton);
        QCOMPARE(readFileBytes(file("out.json").toStdString()), tool);

        // The table as assistive technology reads it.
        const int keystrokes = rowOf(QStringLiteral("Keystrokes"));
        QVERIFY(keystrokes >= 0);
        QCOMPARE(cell(keystrokes, 1), QString::number(form->FiguresA()->Keystrokes));
        QCOMPARE(cell(rowOf(QStringLiteral("Characters read")), 1), QStringLiteral("19"));
        QVERIFY(rowOf(QStringLiteral("Not typeable: z")) >= 0);
        QVERIFY(form->SummaryLabel->text().contains(QStringLiteral("19 characters read")));
        QVERIFY(!form->Picture->accessibleDescription().isEmpty());

        dialogs->answerFile(file("out.csv"));
        press(form->ExportCsvButton);
        const std::string csv = runTool({"package", "stats", file("a.vkt"), file("text.txt"), "-o", file("tool.csv")});
        QCOMPARE(readFileBytes(file("out.csv").toStdString()), readFileBytes(file("tool.csv").toStdString()));
    }

    void aSecondPackageAddsColumnsWithTheDifferences()
    {
        TDataMod other;
        sample::BuildSmallKeyboard(other);
        sample::SetKeyField(other, "B", "Finger", TValue(int32_t(0)));
        QVERIFY(other.SavePackage(file("b.vkt").toStdString()));
        DataMod = dm.get();
        const TDataMod *edited = DataMod;

        addTexts({file("text.txt")});
        dialogs->answerFile(file("b.vkt"));
        press(form->CompareButton);
        QCOMPARE(form->CompareLabel->text(), QStringLiteral("b.vkt"));
        QCOMPARE(DataMod, edited); // loading the second package leaves the definition alone
        countAndWait();
        QVERIFY(form->FiguresB());
        QCOMPARE(form->FiguresTable->columnCount(), 4);
        const int ring = rowOf(QStringLiteral("L Ring"));
        QVERIFY(ring >= 0);
        QCOMPARE(cell(ring, 2), QStringLiteral("0.0 %"));
        QVERIFY(cell(ring, 3).startsWith(QLatin1Char('-')));

        QVERIFY(dm->SavePackage(file("a.vkt").toStdString()));
        const std::string tool =
            runTool({"package", "stats", file("a.vkt"), file("text.txt"), "--vs", file("b.vkt"), "--json"});
        dialogs->answerFile(file("both.json"));
        press(form->ExportJsonButton);
        QCOMPARE(readFileBytes(file("both.json").toStdString()), tool);

        press(form->NoCompareButton);
        countAndWait();
        QVERIFY(!form->FiguresB());
        QCOMPARE(form->FiguresTable->columnCount(), 2);
    }

    // A package of another code page than the session's is refused in words,
    // and the comparison before stays as it was.
    void aPackageOfAnotherCodePageIsRefused()
    {
        const std::string session = CodePage::current().name();
        const auto restore = qScopeGuard([session] { CodePage::choose(session); });
        TDataMod other;
        sample::BuildSmallKeyboard(other);
        sample::SetKeyField(other, "B", "Finger", TValue(int32_t(0)));
        QVERIFY(other.SavePackage(file("b.vkt").toStdString()));
        CodePage::choose(session == "CP1257" ? "CP1252" : "CP1257");
        const std::string foreign = CodePage::current().name();
        QVERIFY(other.SavePackage(file("baltic.vkt").toStdString()));
        CodePage::choose(session);
        DataMod = dm.get();

        addTexts({file("text.txt")});
        dialogs->answerFile(file("b.vkt"));
        press(form->CompareButton);
        QCOMPARE(form->CompareLabel->text(), QStringLiteral("b.vkt"));
        dialogs->answerFile(file("baltic.vkt"));
        press(form->CompareButton);
        QCOMPARE(dialogs->count(ScriptedDialogs::Kind::Message), 1);
        const QString said = dialogs->last(ScriptedDialogs::Kind::Message).text;
        QVERIFY2(said.contains(QString::fromStdString("baltic.vkt is written in code page " + foreign +
                                                      ", the session in " + session + ": choose " + foreign)),
                 qPrintable(said));
        QCOMPARE(form->CompareLabel->text(), QStringLiteral("b.vkt"));
        QCOMPARE(DataMod, dm.get());
        // The count compares with b.vkt still.
        countAndWait();
        QVERIFY(form->FiguresB());
        QCOMPARE(cell(rowOf(QStringLiteral("L Ring")), 2), QStringLiteral("0.0 %"));
    }

    void aLongCountCanBeCancelled()
    {
        writeFileBytes(file("long.txt").toStdString(), std::string(size_t(48) << 20, 'a'));
        addTexts({file("long.txt")});
        press(form->CountButton);
        QVERIFY(form->Counting());
        // The focus moves to Cancel: Space stops the count.
        QCOMPARE(QApplication::focusWidget(), form->CancelButton);
        QVERIFY(form->CancelButton->isEnabled());
        QVERIFY(!form->CountButton->isEnabled());
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Space);
        QTRY_VERIFY_WITH_TIMEOUT(!form->Counting(), 20000);
        QVERIFY(!form->FiguresA());
        QCOMPARE(form->SummaryLabel->text(), QStringLiteral("The count was cancelled."));
        QCOMPARE(dialogs->count(ScriptedDialogs::Kind::Message), 0);
    }

    void aFailedCountIsReported()
    {
        writeFileBytes(file("bad.txt").toStdString(), "ab\xC3(");
        addTexts({file("missing.txt")});
        countAndWait();
        QCOMPARE(dialogs->count(ScriptedDialogs::Kind::Message), 1);
        QVERIFY(dialogs->last(ScriptedDialogs::Kind::Message).text.contains(QStringLiteral("missing.txt")));
        QVERIFY(!form->FiguresA());
        QVERIFY(form->CountButton->isEnabled());
    }

    // A count that is cancelled or fails leaves no figures of the count
    // before it: not in the table, the pictures or an export.
    void aCancelledOrFailedCountClearsThePreviousFigures_data()
    {
        QTest::addColumn<bool>("cancel");
        QTest::newRow("cancelled") << true;
        QTest::newRow("failed") << false;
    }
    void aCancelledOrFailedCountClearsThePreviousFigures()
    {
        QFETCH(bool, cancel);
        addTexts({file("text.txt")});
        countAndWait();
        QVERIFY(form->FiguresA());
        QVERIFY(form->FiguresTable->rowCount() > 0);
        QVERIFY(form->ExportCsvButton->isEnabled());

        form->TextList->setCurrentRow(0);
        press(form->RemoveTextButton);
        if (cancel) {
            writeFileBytes(file("long.txt").toStdString(), std::string(size_t(48) << 20, 'a'));
            addTexts({file("long.txt")});
            press(form->CountButton);
            QVERIFY(form->Counting());
            press(form->CancelButton);
            QTRY_VERIFY_WITH_TIMEOUT(!form->Counting(), 20000);
        } else {
            addTexts({file("missing.txt")});
            countAndWait();
        }
        QVERIFY(!form->FiguresA());
        QCOMPARE(form->FiguresTable->rowCount(), 0);
        QVERIFY(form->Picture->accessibleDescription().isEmpty());
        QVERIFY(!form->ExportCsvButton->isEnabled());
        QVERIFY(!form->ExportJsonButton->isEnabled());
        QVERIFY(LastKeyUse().empty());
    }

    void sharesReadAsPercentagesAndThePicturesCarryTheirValues()
    {
        writeFileBytes(file("fjf.txt").toStdString(), "aab");
        addTexts({file("fjf.txt")});
        countAndWait();
        QVERIFY(form->FiguresA());
        const int keystrokes = int(form->FiguresA()->Keystrokes);
        QVERIFY(keystrokes > 0);
        // Every share of the table is a percentage with one decimal.
        const QRegularExpression percent(QStringLiteral("^\\d+\\.\\d %$"));
        for (const char *what : {"L Little", "Left hand", "Same-finger pairs", "Hand alternation"}) {
            const QString value = cell(rowOf(QString::fromLatin1(what)), 1);
            QVERIFY2(percent.match(value).hasMatch(), qPrintable(QString::fromLatin1(what) + QStringLiteral(": ") + value));
        }
        // The picture's scale: from no presses to the busiest key's.
        QVERIFY2(form->Picture->accessibleDescription().contains(
                     QStringLiteral("to %1 presses of the busiest key").arg(form->FiguresA()->MostKeyPresses())),
                 qPrintable(form->Picture->accessibleDescription()));
    }

    void aKeyboardWithoutKeysSaysSo()
    {
        dm = std::make_unique<TDataMod>(); // no keys
        DataMod = dm.get();
        addTexts({file("text.txt")});
        countAndWait();
        QVERIFY(!form->FiguresA());
        QCOMPARE(form->FiguresTable->rowCount(), 0);
        QVERIFY2(form->SummaryLabel->text().contains(QStringLiteral("The keyboard has no keys")),
                 qPrintable(form->SummaryLabel->text()));
    }

    void aBinaryFileIsNamedInTheSummary()
    {
        writeFileBytes(file("program").toStdString(), std::string("\x7f" "ELF\x02\x01\x01\0\0\0\0", 11));
        addTexts({file("text.txt"), file("program")});
        countAndWait();
        QVERIFY(form->FiguresA());
        QVERIFY2(form->SummaryLabel->text().contains(file("program") + QStringLiteral(" looks like a binary file")),
                 qPrintable(form->SummaryLabel->text()));
    }

    void anEmptyTextGivesZeros()
    {
        writeFileBytes(file("empty.txt").toStdString(), "");
        addTexts({file("empty.txt")});
        countAndWait();
        QVERIFY(form->FiguresA());
        QCOMPARE(form->FiguresA()->Keystrokes, uint64_t(0));
        QCOMPARE(cell(rowOf(QStringLiteral("L Little")), 1), QStringLiteral("0.0 %"));
        QCOMPARE(form->SummaryLabel->text(), QStringLiteral("The texts hold no characters."));
    }

    void theDictionaryWordsCountWithTheirCounts()
    {
        form->SetWordListSource([] { return std::vector<std::pair<std::string, uint64_t>>{{"ab", 3}}; });
        QVERIFY(form->UseWordListCheck->isEnabled());
        form->UseWordListCheck->setFocus();
        QTest::keyClick(form->UseWordListCheck, Qt::Key_Space);
        QVERIFY(form->CountButton->isEnabled());
        countAndWait();
        QVERIFY(form->FiguresA());
        QCOMPARE(form->FiguresA()->Characters, uint64_t(9)); // "ab " three times
    }

    void theEncodingAndCountsChoicesAreUsed_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<int>("encoding");
        QTest::addColumn<bool>("counts");
        QTest::addColumn<int>("characters");
        // Read as Auto, UTF-16 without a mark is the code page, and its NUL ends the text.
        QTest::newRow("utf16-auto") << QByteArray("a\0b\0", 4) << int(InputEncoding::Auto) << false << 1;
        QTest::newRow("utf16-chosen") << QByteArray("a\0b\0", 4) << int(InputEncoding::Utf16LE) << false << 2;
        QTest::newRow("plain-text") << QByteArray("ab\t3\n") << int(InputEncoding::Auto) << false << 5;
        QTest::newRow("with-counts") << QByteArray("ab\t3\n") << int(InputEncoding::Auto) << true << 9;
    }
    void theEncodingAndCountsChoicesAreUsed()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(int, encoding);
        QFETCH(bool, counts);
        QFETCH(int, characters);
        writeFileBytes(file("choice.txt").toStdString(), bytes.toStdString());
        addTexts({file("choice.txt")});
        form->EncodingMenu->action(InputEncoding(encoding))->trigger();
        QCOMPARE(int(form->EncodingMenu->encoding()), encoding);
        if (counts) {
            form->CountsCheck->setFocus();
            QTest::keyClick(form->CountsCheck, Qt::Key_Space);
        }
        countAndWait();
        QVERIFY(form->FiguresA());
        QCOMPARE(form->FiguresA()->Characters, uint64_t(characters));
    }

    // The keys-by-use picture writes a key's name in black or white,
    // whichever reads on the key's colour: white on the dark red of the
    // most used key.
    void aKeysNameReadsOnItsColourOfUse()
    {
        const TKeyLayout layout = TKeyLayout::FromDataMod(*dm);
        TTextTally tally;
        tally.AddText("          ");
        const TKeyStrokeFigures figures = ComputeKeyStrokes(layout, tally);
        TStatsPicture picture;
        picture.resize(640, 420);
        picture.SetFigures(layout, figures, nullptr);
        const QImage image = picture.grab().toImage().convertToFormat(QImage::Format_RGB32);
        const QRgb busiest = KeyUseColor(1.0).rgb();
        QRect face;
        for (int y = image.height() / 2; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x)
                if (image.pixel(x, y) == busiest)
                    face |= QRect(x, y, 1, 1);
        QVERIFY2(face.width() > 20, "the space bar is drawn in the darkest colour");
        int light = 0;
        for (int y = face.top(); y <= face.bottom(); ++y)
            for (int x = face.left(); x <= face.right(); ++x)
                light += qGray(image.pixel(x, y)) > 180;
        QVERIFY2(light > 10, "the name is written in a light colour");
        QCOMPARE(TKeyboardChart::LegendColour(KeyUseColor(1.0)), QColor(Qt::white));
    }

    void theLayoutFrameColoursItsKeysByTheLastCount()
    {
        addTexts({file("text.txt")});
        countAndWait();
        QVERIFY(form->FiguresA());
        TKbFm frame;
        frame.BuildButtons(true);
        ButtonType *a = nullptr;
        for (ButtonType *b : frame.Buttons())
            if (b->accessibleName() == QLatin1String("A"))
                a = b;
        QVERIFY(a);
        const QColor face = a->faceColor();
        const TKeyLayout layout = TKeyLayout::FromDataMod(*dm);
        const int key = layout.KeyByValue(a->tag());
        frame.A_ColourKeysByUse->trigger();
        QCOMPARE(a->faceColor(), KeyUseColor(form->FiguresA()->KeyUse()[size_t(key)]));
        QVERIFY(a->faceColor() != face);
        frame.A_ColourKeysByUse->trigger();
        QCOMPARE(a->faceColor(), face);
    }
};

int main(int argc, char **argv)
{
    TApplication app(argc, argv);
    KbStatsFormTest test;
    return QTest::qExec(&test, argc, argv);
}
#include "KbStatsForm_test.moc"
