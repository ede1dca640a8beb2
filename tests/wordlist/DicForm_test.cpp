// The dictionary window inside the main frame, driven by its shortcuts,
// buttons, menus and grid, with every question answered by the scripted
// dialog service.

// First: the word splitter has a member named like a Qt macro.
#include "words/DicBuilder.h"
#include "common/FilePath.h"

#include "common/ErrorReport.h"
#include "app/Application.h"
#include "app/ComFormFactory.h"
#include "app/MainForm.h"
#include "common/CodePage.h"
#include "common/ScriptedDialogs.h"
#include "common/TextFile.h"
#include "FileSizeLimit.h"
#include "dbctrls/DBGrid.h"
#include "table/RecordTable.h"
#include "wordlist/DicForm.h"
#include "ui/CodePageChoice.h"
#include "ui/InputEncodingMenu.h"

#include <QAccessible>
#include <QAction>
#include <QCheckBox>
#include <QDialog>
#include <QDir>
#include <QFile>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMenuBar>
#include <QPointer>
#include <QPushButton>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QScopeGuard>
#include <QtTest>

#include <functional>
#include <memory>

using namespace kf;
using Kind = ScriptedDialogs::Kind;

class DicFormTest : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    void opensEmptyWithItsControls();
    void clientAreaBelowTheMenuBarIs548By438();
    void menusHoldTheirItemsAndShortcuts();
    void shortcutsActWithoutOpeningAMenu_data();
    void shortcutsActWithoutOpeningAMenu();
    void scanAsksThenCountsAndShowsTheCounters();
    void aBinaryFileIsNamedInAWarning();
    void countersAreReadAsTheyShow();
    void countersStandOnTheLineOfTheirCaption_data();
    void countersStandOnTheLineOfTheirCaption();
    void scanAnsweredNoOrCancelledChangesNothing();
    void failedScanKeepsWhatWasCountedAndReports();
    void failedScanOfAnEmptyListTiesItToNoCodePage_data();
    void failedScanOfAnEmptyListTiesItToNoCodePage();
    void clearAsksAndKeepsTheTime();
    void cancelledFilterInputsListEveryRow_data();
    void cancelledFilterInputsListEveryRow();
    void filterAnswersAndListAll();
    void nonIntegerAnswerIsReportedAndFilterStaysOn();
    void sortByLenKeepsTheRowOtherSortsGoToTheFirst();
    void lengthFilterUsesTheOldLenAfterAnEditInTheGrid();
    void deleteSelectedRowsPickedWithCtrlAndShift();
    void deleteWordsWithDigits();
    void saveWritesTheListedWords();
    void failedSaveKeepsTheOldFileAndReports();
    void closingAsks_data();
    void closingAsks();
    void closingTheMainWindowAsksAboutTheList_data();
    void closingTheMainWindowAsksAboutTheList();
    void saveWithCountsWritesWordTabCount();
    void quotesAndDashesOfTheCodePageAreAddedWithOneClick_data();
    void quotesAndDashesOfTheCodePageAreAddedWithOneClick();
    void gridGrowsWithTheWindow();

    void autoReadsUtf8AsItsCodePageVersion_data();
    void autoReadsUtf8AsItsCodePageVersion();
    void codePageEncodingReadsUtf8BytesAsCodePageBytes();
    void polishTextCountsAndListsWordsNotInTheCodePage();
    void noWordsNotInTheCodePageSaysSo();
    void malformedUtf8IsOneErrorAndKeepsTheList();
    void readyQuestionNamesTheFileCount_data();
    void readyQuestionNamesTheFileCount();
    void orderAndFilterInForceAreShown();
    void codePageChoiceIsFollowed();

private:
    ScriptedDialogs &dialogs() { return *m_dialogs; }
    TDicFm *form() const { return m_form; }
    TRecordTable &table() const { return m_form->Builder().WordListDS(); }
    QString writeFile(const QString &name, const std::string &bytes) const;
    // Scans the files through Ctrl+W, answering Yes to the question.
    void scan(const QStringList &files);
    void press(const QKeySequence &key);
    void clickCell(int row, int column, Qt::KeyboardModifiers mods = Qt::NoModifier);
    // The words of the listed rows in grid order.
    QStringList listed() const;
    // "word count" of the listed rows in grid order.
    QStringList listedWithCounts() const;
    static QString dataFile(const char *name)
    {
        return QString::fromUtf8(KF_TEST_DATA_DIR "/wordlist/") + QString::fromLatin1(name);
    }
    void chooseEncoding(InputEncoding encoding) { form()->Encoding1->action(encoding)->trigger(); }
    static QString accessibleName(QWidget *w)
    {
        QAccessibleInterface *iface = QAccessible::queryAccessibleInterface(w);
        return iface ? iface->text(QAccessible::Name) : QString();
    }
    QString currentWord() const { return QString::fromStdString(table().FieldByName("Word").AsString()); }
    static void click(QAbstractButton *b) { QTest::mouseClick(b, Qt::LeftButton); }

    std::unique_ptr<TMainFm> m_main;
    TDicFm *m_form = nullptr;
    ScriptedDialogs *m_dialogs = nullptr; // owned by the dialog service
    std::unique_ptr<QTemporaryDir> m_dir;
};

QString DicFormTest::writeFile(const QString &name, const std::string &bytes) const
{
    const QString p = m_dir->filePath(name);
    writeFileBytes(kf::LocalPath(p), bytes);
    return p;
}

void DicFormTest::press(const QKeySequence &key)
{
    QWidget *focus = QApplication::focusWidget();
    QVERIFY(focus && (focus == form() || form()->isAncestorOf(focus)));
    QTest::keySequence(focus, key);
}

void DicFormTest::scan(const QStringList &files)
{
    dialogs().answerFiles(files);
    dialogs().answerYes();
    press(QKeySequence(Qt::CTRL | Qt::Key_W));
}

void DicFormTest::clickCell(int row, int column, Qt::KeyboardModifiers mods)
{
    TDBGrid *g = form()->WordGrid;
    const QModelIndex index = g->model()->index(row, column);
    g->scrollTo(index);
    QTest::mouseClick(g->viewport(), Qt::LeftButton, mods, g->visualRect(index).center());
}

QStringList DicFormTest::listed() const
{
    QStringList words;
    const QAbstractItemModel *m = form()->WordGrid->model();
    for (int row = 0; row < m->rowCount(); ++row)
        words << m->index(row, 0).data().toString();
    return words;
}

QStringList DicFormTest::listedWithCounts() const
{
    QStringList rows;
    const QAbstractItemModel *m = form()->WordGrid->model();
    for (int row = 0; row < m->rowCount(); ++row)
        rows << m->index(row, 0).data().toString() + QLatin1Char(' ') + m->index(row, 1).data().toString();
    return rows;
}

void DicFormTest::init()
{
    unsetenv("KEYFOLIO_CODEPAGE");
    CodePage::reload();
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    auto d = std::make_unique<ScriptedDialogs>();
    m_dialogs = d.get();
    SetDialogs(std::move(d));
    m_main = std::make_unique<TMainFm>();
    m_main->show();
    QVERIFY(QTest::qWaitForWindowActive(m_main.get()));
    m_main->A_Dictionary->trigger();
    m_form = m_main->Factory().FindForm<TDicFm>();
    QVERIFY(m_form);
    QVERIFY(QTest::qWaitForWindowExposed(m_form));
    m_form->WordGrid->setFocus();
    QVERIFY(m_form->WordGrid->hasFocus());
}

void DicFormTest::cleanup()
{
    m_main.reset(); // the frame takes the window with it, asking nothing
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    m_form = nullptr;
    SetDialogs(nullptr);
    m_dialogs = nullptr;
    m_dir.reset();
}

void DicFormTest::opensEmptyWithItsControls()
{
    TDicFm *f = form();
    QCOMPARE(f->windowTitle(), QStringLiteral("Make Dictionary"));
    // It opens at its least size and may grow.
    QCOMPARE(f->size(), f->minimumSize());
    QVERIFY(f->maximumSize().width() > f->minimumSize().width());
    QCOMPARE(f->Edit1->text(), QStringLiteral("?!|<>"));
    QVERIFY(!f->CaseEd->isChecked());
    QCOMPARE(f->CaseEd->text(), QStringLiteral("Case sensiti&ve"));
    QCOMPARE(f->Label5->text(), QStringLiteral(",. ;/\\:'\"`[](){}"));
    for (QLabel *counter : {f->TimeLb, f->CountLb, f->TotalLb})
        QCOMPARE(counter->text(), QStringLiteral("0"));
    QCOMPARE(f->Label1->text(), QStringLiteral("Time (msec):"));
    QCOMPARE(f->Label3->text(), QStringLiteral("Word count:"));
    QCOMPARE(f->Label7->text(), QStringLiteral("Words scanned:"));
    QCOMPARE(f->MakeListBn->text(), QStringLiteral("Make &wordlist ..."));
    QCOMPARE(f->MakeListBn->toolTip(), QStringLiteral("Scan multiple files to create a wordlist"));
    QCOMPARE(f->SortFreBn->text(), QStringLiteral("Sort by &frequency"));
    QCOMPARE(f->SortAlbn->text(), QStringLiteral("Sort by &alpha"));
    QCOMPARE(f->Button1->text(), QStringLiteral("Sort by &length"));
    QCOMPARE(f->Deletebn->text(), QStringLiteral("Delete &selected"));
    QCOMPARE(f->Deletebn->toolTip(),
             QStringLiteral("Use Ctrl key and mouse clicks to select multiple lines, then press this button"));

    const QAbstractItemModel *m = f->WordGrid->model();
    QCOMPARE(m->columnCount(), 2);
    QCOMPARE(m->headerData(0, Qt::Horizontal).toString(), QStringLiteral("Word"));
    QCOMPARE(m->headerData(1, Qt::Horizontal).toString(), QStringLiteral("Count"));
    QCOMPARE(m->rowCount(), 0);
    QCOMPARE(table().IndexName(), std::string("WordIndex"));
    QVERIFY(!table().Filtered());
    QVERIFY(!table().LogChanges());

    // Focus order: the five buttons, the delimiters and their button, the
    // check box, the grid.
    QWidget *w = f->MakeListBn;
    QStringList order;
    for (int i = 0; i < 9; ++i, w = w->nextInFocusChain()) {
        while (!(w->focusPolicy() & Qt::TabFocus) || !w->isVisible())
            w = w->nextInFocusChain();
        order << w->objectName();
    }
    QCOMPARE(order, (QStringList{"MakeListBn", "SortFreBn", "SortAlbn", "Button1", "Deletebn", "Edit1", "QuotesBn",
                                 "CaseEd", "WordGrid"}));
}

void DicFormTest::clientAreaBelowTheMenuBarIs548By438()
{
    TDicFm *f = form();
    const QWidget *client = f->findChild<QWidget *>(QStringLiteral("ClientArea"));
    QVERIFY(client);
    const QRect menu = f->MainMenu1->geometry();
    QVERIFY(menu.height() > 0);
    QCOMPARE(menu.topLeft(), QPoint(0, 0));
    QCOMPARE(menu.width(), 548);
    // The client area starts right below the menu bar and fills the rest.
    QCOMPARE(client->geometry(), QRect(0, menu.height(), 548, 438));
    QCOMPARE(f->size(), QSize(548, menu.height() + 438));
    QCOMPARE(f->minimumSize(), f->size());
    // Every control lies inside the client area.
    for (const QWidget *w : client->findChildren<QWidget *>(QString(), Qt::FindDirectChildrenOnly))
        QVERIFY2(QRect(QPoint(0, 0), client->size()).contains(w->geometry()), qPrintable(w->objectName()));
    // The frame around the window adds its border and title, never less.
    if (auto *frame = qobject_cast<QMdiSubWindow *>(f->parentWidget())) {
        QVERIFY(frame->height() >= f->height());
        QVERIFY(frame->width() >= f->width());
    }
}

void DicFormTest::menusHoldTheirItemsAndShortcuts()
{
    QStringList seen;
    for (QAction *menu : form()->MainMenu1->actions()) {
        QStringList items;
        for (QAction *a : menu->menu()->actions())
            items << (a->isSeparator() ? QStringLiteral("-")
                                       : a->text() + (a->shortcut().isEmpty() ? QString()
                                                                               : QLatin1Char(' ') + a->shortcut().toString()));
        seen << menu->text() + QStringLiteral(": ") + items.join(QStringLiteral(", "));
    }
    QCOMPARE(seen, (QStringList{
                       "&Actions: Make &wordlist ... Ctrl+W, &Save wordlist Ctrl+S, Save with &counts... Ctrl+Shift+S, "
                       "Words &not in the code page ..., -, &Exit",
                       "&Delete: Delete words with &digits, Delete &selected, &Clear wordlist",
                       "&Sort: Sort by &frequency F5, Sort by &alpha F6, Sort by &length F7",
                       "&Filter: List &all F9, Filter words with min and max &lengths F11, "
                       "Filter words with min and max &frequencies F10",
                       "&Input encoding: &Auto, &Code page (CP1252), UTF-&8, UTF-16 &LE, UTF-16 &BE",
                   }));
}

void DicFormTest::shortcutsActWithoutOpeningAMenu_data()
{
    QTest::addColumn<QKeySequence>("key");
    QTest::addColumn<QString>("effect");

    QTest::newRow("Ctrl+W") << QKeySequence(Qt::CTRL | Qt::Key_W) << "open dialog";
    QTest::newRow("Ctrl+S") << QKeySequence(Qt::CTRL | Qt::Key_S) << "save dialog";
    QTest::newRow("F5") << QKeySequence(Qt::Key_F5) << "frequency order";
    QTest::newRow("F6") << QKeySequence(Qt::Key_F6) << "alpha order";
    QTest::newRow("F7") << QKeySequence(Qt::Key_F7) << "length order";
    QTest::newRow("F9") << QKeySequence(Qt::Key_F9) << "list all";
    QTest::newRow("F10") << QKeySequence(Qt::Key_F10) << "frequency filter";
    QTest::newRow("F11") << QKeySequence(Qt::Key_F11) << "length filter";
}

void DicFormTest::shortcutsActWithoutOpeningAMenu()
{
    QFETCH(QKeySequence, key);
    QFETCH(QString, effect);
    scan({writeFile(QStringLiteral("a.txt"), "bb a bb ccc\r\n")});
    QCOMPARE(listed(), (QStringList{"a", "bb", "ccc"}));
    table().SetFilter("Len>=9");
    table().SetFiltered(true);
    QCOMPARE(listed(), QStringList());
    table().SetFiltered(false);
    dialogs().clear();

    form()->WordGrid->setFocus();
    press(key);
    QVERIFY(!QApplication::activePopupWidget());

    if (effect == QLatin1String("open dialog")) {
        QCOMPARE(dialogs().count(Kind::OpenFiles), 1);
        const ScriptedDialogs::Asked &asked = dialogs().last(Kind::OpenFiles);
        QCOMPARE(asked.request.title, QStringLiteral("Select multiple files to scan"));
        QCOMPARE(asked.request.filter, QStringLiteral("Text (*.txt)|*.txt|All files (*)|*"));
        QVERIFY(asked.request.multiple);
    } else if (effect == QLatin1String("save dialog")) {
        QCOMPARE(dialogs().count(Kind::SaveFile), 1);
    } else if (effect == QLatin1String("frequency order")) {
        QCOMPARE(listed(), (QStringList{"bb", "a", "ccc"}));
    } else if (effect == QLatin1String("alpha order")) {
        QCOMPARE(table().IndexFieldNames(), std::string("Word"));
        QCOMPARE(listed(), (QStringList{"a", "bb", "ccc"}));
    } else if (effect == QLatin1String("length order")) {
        QCOMPARE(table().IndexFieldNames(), std::string("len;word"));
    } else if (effect == QLatin1String("list all")) {
        table().SetFiltered(true);
        QTest::keySequence(form()->WordGrid, key);
        QVERIFY(!table().Filtered());
        QCOMPARE(listed().size(), 3);
    } else {
        QCOMPARE(dialogs().count(Kind::Input), 2);
        QCOMPARE(dialogs().last(Kind::Input).caption,
                 effect == QLatin1String("length filter") ? QStringLiteral("Word length")
                                                          : QStringLiteral("Word frequency"));
    }
}

void DicFormTest::scanAsksThenCountsAndShowsTheCounters()
{
    const QString one = writeFile(QStringLiteral("one.txt"), "The cat saw the CAT.\r\n");
    const QString two = writeFile(QStringLiteral("two.txt"), "why? why! don't well-known\r\n");
    scan({one, two});
    QCOMPARE(dialogs().last(Kind::Confirm).text, QStringLiteral("Ready to process 2 files?"));
    QCOMPARE(listed(), (QStringList{"cat", "don", "saw", "t", "the", "well-known", "why"}));
    QCOMPARE(form()->CountLb->text(), QStringLiteral("7"));
    QCOMPARE(form()->TotalLb->text(), QStringLiteral("10"));
    bool ok = false;
    form()->TimeLb->text().toUInt(&ok);
    QVERIFY(ok);
    QVERIFY(!QApplication::overrideCursor());

    // A second, case-sensitive scan with no additional delimiters adds to the list.
    click(form()->CaseEd);
    form()->Edit1->clear();
    dialogs().answerFiles({one, two});
    dialogs().answerYes();
    click(form()->MakeListBn);
    QStringList words = listed();
    words.sort();
    QCOMPARE(words, (QStringList{"CAT", "The", "cat", "don", "saw", "t", "the", "well-known", "why", "why!",
                                 "why?"}));
    QCOMPARE(form()->TotalLb->text(), QStringLiteral("20"));
    QCOMPARE(form()->CountLb->text(), QStringLiteral("11"));
    QVERIFY(table().Locate("Word", {TValue(std::string("cat"))}));
    QCOMPARE(table().FieldByName("Count").AsInteger(), 3);
}

void DicFormTest::aBinaryFileIsNamedInAWarning()
{
    const QString text = writeFile(QStringLiteral("text.txt"), "The cat saw the CAT.\r\n");
    const QString program = writeFile(QStringLiteral("program"), std::string("\x7f" "ELF\x02\x01\x01\0\0\0\0", 11));
    scan({text});
    QCOMPARE(dialogs().count(Kind::Warning), 0);
    scan({text, program});
    QCOMPARE(dialogs().count(Kind::Warning), 1);
    const QString warning = dialogs().last(Kind::Warning).text;
    QVERIFY2(warning.contains(program + QStringLiteral(" looks like a binary file")), qPrintable(warning));
    QVERIFY2(!warning.contains(text), qPrintable(warning));
}

void DicFormTest::countersAreReadAsTheyShow()
{
    struct Counter {
        QLabel *value;
        QLabel *caption;
        QString what;
    };
    const Counter counters[] = {{form()->TimeLb, form()->Label1, QStringLiteral("Time (msec)")},
                                {form()->CountLb, form()->Label3, QStringLiteral("Word count")},
                                {form()->TotalLb, form()->Label7, QStringLiteral("Words scanned")}};
    const QString one = writeFile(QStringLiteral("one.txt"), "The cat saw the CAT.\r\n");
    scan({one});
    const QString time = form()->TimeLb->text(); // how long the scan took here
    bool isNumber = false;
    time.toUInt(&isNumber);
    QVERIFY(isNumber);

    const QStringList expected{time, QStringLiteral("3"), QStringLiteral("5")};
    for (int i = 0; i < 3; ++i) {
        const Counter &c = counters[i];
        QAccessibleInterface *iface = QAccessible::queryAccessibleInterface(c.value);
        QVERIFY(iface);
        QCOMPARE(iface->text(QAccessible::Name), expected[i]);
        QCOMPARE(iface->text(QAccessible::Description), c.what);
        // The caption beside it labels it.
        bool labelled = false;
        for (const auto &rel : iface->relations(QAccessible::Label))
            labelled = labelled || rel.first->object() == c.caption;
        QVERIFY2(labelled, qPrintable(c.what));
    }
}

void DicFormTest::countersStandOnTheLineOfTheirCaption_data()
{
    QTest::addColumn<QString>("caption");
    QTest::addColumn<QString>("value");
    QTest::newRow("time") << "Label1" << "TimeLb";
    QTest::newRow("word count") << "Label3" << "CountLb";
    QTest::newRow("words scanned") << "Label7" << "TotalLb";
    QTest::newRow("not in the code page") << "Label8" << "UnmappableLb";
}

void DicFormTest::countersStandOnTheLineOfTheirCaption()
{
    QFETCH(QString, caption);
    QFETCH(QString, value);
    const auto *c = form()->findChild<QLabel *>(caption);
    auto *v = form()->findChild<QLabel *>(value);
    QVERIFY(c && v);
    QCOMPARE(v->y(), c->y());
    QCOMPARE(v->height(), c->height());
    QCOMPARE(v->alignment() & Qt::AlignVertical_Mask, c->alignment() & Qt::AlignVertical_Mask);
    // Side by side, the caption whole, the values right-aligned in one column.
    QVERIFY2(c->geometry().right() < v->x(), qPrintable(caption));
    QVERIFY2(c->fontMetrics().horizontalAdvance(c->text()) <= c->width(), qPrintable(c->text()));
    QCOMPARE(c->font().pointSizeF(), form()->font().pointSizeF()); // whole without a smaller font
    QCOMPARE(v->geometry().right(), form()->TimeLb->geometry().right());
    QCOMPARE(v->alignment() & Qt::AlignHorizontal_Mask, Qt::AlignRight);
    // A count of a million words shows whole.
    QVERIFY2(v->fontMetrics().horizontalAdvance(QStringLiteral("1000000")) <= v->width(), qPrintable(value));
}

void DicFormTest::scanAnsweredNoOrCancelledChangesNothing()
{
    const QString one = writeFile(QStringLiteral("one.txt"), "alpha beta\r\n");
    dialogs().answerCancel(); // no files chosen
    press(QKeySequence(Qt::CTRL | Qt::Key_W));
    QCOMPARE(dialogs().count(Kind::Confirm), 0);
    dialogs().answerFiles({one});
    dialogs().answerNo();
    press(QKeySequence(Qt::CTRL | Qt::Key_W));
    QCOMPARE(dialogs().count(Kind::Confirm), 1);
    QCOMPARE(listed(), QStringList());
    QCOMPARE(form()->TotalLb->text(), QStringLiteral("0"));
}

void DicFormTest::failedScanKeepsWhatWasCountedAndReports()
{
    const QString one = writeFile(QStringLiteral("one.txt"), "alpha beta alpha\r\n");
    scan({one, m_dir->filePath(QStringLiteral("missing.txt"))});
    QCOMPARE(dialogs().count(Kind::Message), 1);
    const QString report = dialogs().last(Kind::Message).text;
    QVERIFY2(report.startsWith(QStringLiteral("AppException: TDicFm~EFOpenError--")), qPrintable(report));
    QVERIFY(!QApplication::overrideCursor());
    QCOMPARE(listed(), (QStringList{"alpha", "beta"}));
    QCOMPARE(form()->CountLb->text(), QStringLiteral("2"));
    QCOMPARE(form()->TotalLb->text(), QStringLiteral("3"));
}

void DicFormTest::failedScanOfAnEmptyListTiesItToNoCodePage_data()
{
    QTest::addColumn<QStringList>("files"); // in the temporary folder
    QTest::addColumn<bool>("asUtf8");
    QTest::addColumn<QString>("codePageShown"); // after CP1252 is chosen again
    QTest::newRow("missing file") << QStringList{"missing.txt"} << false << "CP1252";
    QTest::newRow("malformed UTF-8") << QStringList{"bad.txt"} << true << "CP1252";
    // Words counted before the failure are CP1251 bytes: the list keeps them.
    QTest::newRow("words, then a missing file") << QStringList{"ru.txt", "missing.txt"} << false
                                                << "CP1252 (list in CP1251)";
}

void DicFormTest::failedScanOfAnEmptyListTiesItToNoCodePage()
{
    QFETCH(QStringList, files);
    QFETCH(bool, asUtf8);
    QFETCH(QString, codePageShown);
    writeFile(QStringLiteral("bad.txt"), "gamma \xC3\x28 delta\r\n");
    writeFile(QStringLiteral("ru.txt"), "\xD0\xB4\xD0\xBE\xD0\xBC\r\n");
    if (asUtf8)
        chooseEncoding(InputEncoding::Utf8);
    CodePageChoice::instance().choose(QStringLiteral("CP1251"));
    QStringList paths;
    for (const QString &f : files)
        paths << m_dir->filePath(f);
    scan(paths);
    QCOMPARE(dialogs().count(Kind::Message), 1);

    CodePageChoice::instance().choose(QStringLiteral("CP1252"));
    QCOMPARE(form()->CodePageLb->text(), codePageShown);
    const bool tied = codePageShown != QLatin1String("CP1252");
    const QStringList before = listed();
    chooseEncoding(InputEncoding::Auto);
    scan({writeFile(QStringLiteral("de.txt"), "Gr\xC3\xB6\xC3\x9F" "e\r\n")});
    if (tied) {
        // Refused before any file is asked for; the list stays.
        QCOMPARE(dialogs().count(Kind::Message), 2);
        QVERIFY(dialogs().last(Kind::Message).text.contains(QStringLiteral("CP1251")));
        QCOMPARE(listed(), before);
        dialogs().clear(); // the answers the refused scan left
    } else {
        QCOMPARE(dialogs().count(Kind::Message), 1);
        QCOMPARE(listed(), QStringList{QStringLiteral("gr\u00F6\u00DFe")});
        QCOMPARE(form()->CodePageLb->text(), QStringLiteral("CP1252"));
    }
}

void DicFormTest::clearAsksAndKeepsTheTime()
{
    scan({writeFile(QStringLiteral("a.txt"), "one two three\r\n")});
    form()->TimeLb->setText(QStringLiteral("17")); // as after a longer scan

    dialogs().answerNo();
    form()->A_ClearWordlist->trigger();
    QCOMPARE(dialogs().last(Kind::Confirm).text, QStringLiteral("Are you sure to clear the wordlist?"));
    QCOMPARE(listed().size(), 3);
    QCOMPARE(form()->CountLb->text(), QStringLiteral("3"));

    dialogs().answerYes();
    form()->A_ClearWordlist->trigger();
    QCOMPARE(listed(), QStringList());
    QCOMPARE(form()->CountLb->text(), QStringLiteral("0"));
    QCOMPARE(form()->TotalLb->text(), QStringLiteral("0"));
    QCOMPARE(form()->TimeLb->text(), QStringLiteral("17"));
    QCOMPARE(form()->Builder().WordsScanned(), 0u);
}

void DicFormTest::cancelledFilterInputsListEveryRow_data()
{
    QTest::addColumn<QKeySequence>("key");
    QTest::addColumn<QString>("caption");
    QTest::addColumn<QString>("expression");
    QTest::newRow("lengths") << QKeySequence(Qt::Key_F11) << "Word length" << "Len>=0 AND Len<=100000000";
    QTest::newRow("frequencies") << QKeySequence(Qt::Key_F10) << "Word frequency"
                                 << "Count>=0 AND Count<=100000000";
}

void DicFormTest::cancelledFilterInputsListEveryRow()
{
    QFETCH(QKeySequence, key);
    QFETCH(QString, caption);
    QFETCH(QString, expression);
    scan({writeFile(QStringLiteral("a.txt"), "a bb ccc dddd a\r\n")});
    // A narrower filter first, then both boxes cancelled.
    dialogs().answerText(QStringLiteral("2"));
    dialogs().answerText(QStringLiteral("2"));
    press(QKeySequence(Qt::Key_F11));
    QCOMPARE(form()->CountLb->text(), QStringLiteral("1"));
    dialogs().clear();

    press(key);
    QCOMPARE(dialogs().count(Kind::Input), 2);
    const std::vector<ScriptedDialogs::Asked> &asked = dialogs().asked();
    QCOMPARE(asked[0].caption, caption);
    QCOMPARE(asked[0].text, QStringLiteral("Min:"));
    QCOMPARE(asked[1].caption, caption);
    QCOMPARE(asked[1].text, QStringLiteral("Max:"));
    QCOMPARE(QString::fromStdString(table().Filter()), expression);
    QVERIFY(table().Filtered());
    QCOMPARE(listed().size(), 4);
    QCOMPARE(form()->CountLb->text(), QStringLiteral("4"));
}

void DicFormTest::filterAnswersAndListAll()
{
    scan({writeFile(QStringLiteral("a.txt"), "a bb ccc dddd eeeee ffffff bb\r\n")});
    dialogs().answerText(QStringLiteral("3"));
    dialogs().answerText(QStringLiteral(" 5"));
    press(QKeySequence(Qt::Key_F11));
    QCOMPARE(listed(), (QStringList{"ccc", "dddd", "eeeee"}));
    QCOMPARE(form()->CountLb->text(), QStringLiteral("3"));

    dialogs().answerText(QStringLiteral("2"));
    dialogs().answerText(QStringLiteral("2"));
    press(QKeySequence(Qt::Key_F10));
    QCOMPARE(listed(), (QStringList{"bb"}));
    QCOMPARE(form()->CountLb->text(), QStringLiteral("1"));

    form()->A_ListAll->trigger();
    QCOMPARE(listed().size(), 6);
    QCOMPARE(form()->CountLb->text(), QStringLiteral("6"));
    QCOMPARE(table().Filter(), std::string("Count>=2 AND Count<=2")); // kept for the next F10/F11
}

void DicFormTest::nonIntegerAnswerIsReportedAndFilterStaysOn()
{
    scan({writeFile(QStringLiteral("a.txt"), "a bb ccc dddd\r\n")});
    dialogs().answerText(QStringLiteral("3"));
    dialogs().answerText(QStringLiteral("3"));
    press(QKeySequence(Qt::Key_F11));
    press(QKeySequence(Qt::Key_F9));
    QCOMPARE(form()->CountLb->text(), QStringLiteral("4"));

    dialogs().answerText(QStringLiteral("1"));
    dialogs().answerText(QStringLiteral("abc"));
    press(QKeySequence(Qt::Key_F10));
    QCOMPARE(dialogs().count(Kind::Message), 1);
    QCOMPARE(dialogs().last(Kind::Message).text,
             QStringLiteral("AppException: TDicFm~EConvertError--'abc' is not a valid integer value"));
    // The filter went on at once, with the expression set before.
    QVERIFY(table().Filtered());
    QCOMPARE(table().Filter(), std::string("Len>=3 AND Len<=3"));
    QCOMPARE(listed(), QStringList{"ccc"});
    QCOMPARE(form()->CountLb->text(), QStringLiteral("1"));
}

void DicFormTest::sortByLenKeepsTheRowOtherSortsGoToTheFirst()
{
    scan({writeFile(QStringLiteral("a.txt"), "pear fig apple fig kiwi\r\n")});
    QCOMPARE(listed(), (QStringList{"apple", "fig", "kiwi", "pear"}));

    struct Step {
        QKeySequence key;
        QStringList order;
        QString current; // empty: the first listed row
    };
    const Step steps[] = {
        {QKeySequence(Qt::Key_F7), {"fig", "kiwi", "pear", "apple"}, QStringLiteral("kiwi")},
        {QKeySequence(Qt::Key_F5), {"fig", "apple", "kiwi", "pear"}, QString()},
        {QKeySequence(Qt::Key_F6), {"apple", "fig", "kiwi", "pear"}, QString()},
    };
    for (const Step &s : steps) {
        clickCell(2, 0);
        QCOMPARE(currentWord(), listed().at(2));
        const QString before = currentWord();
        press(s.key);
        QCOMPARE(listed(), s.order);
        const QString expected = s.current.isEmpty() ? s.order.first() : before;
        QCOMPARE(currentWord(), expected);
        QCOMPARE(form()->WordGrid->currentIndex().row(), int(s.order.indexOf(expected)));
    }
}

void DicFormTest::lengthFilterUsesTheOldLenAfterAnEditInTheGrid()
{
    scan({writeFile(QStringLiteral("a.txt"), "cat dog\r\n")});
    clickCell(0, 0);
    QCOMPARE(currentWord(), QStringLiteral("cat"));
    TDBGrid *g = form()->WordGrid;
    QTest::keyClicks(g, QStringLiteral("e"));
    QTest::keyClicks(QApplication::focusWidget(), QStringLiteral("lephant"));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    QCoreApplication::processEvents();
    QTest::keyClick(g, Qt::Key_Down); // moving off the row posts it
    QVERIFY(table().Locate("Word", {TValue(std::string("elephant"))}));
    QCOMPARE(table().FieldByName("Len").AsInteger(), 3);

    dialogs().answerText(QStringLiteral("3"));
    dialogs().answerText(QStringLiteral("3"));
    press(QKeySequence(Qt::Key_F11));
    QCOMPARE(listed(), (QStringList{"dog", "elephant"}));
    QCOMPARE(form()->CountLb->text(), QStringLiteral("2"));
}

void DicFormTest::deleteSelectedRowsPickedWithCtrlAndShift()
{
    scan({writeFile(QStringLiteral("a.txt"), "a b c d e f\r\n")});
    clickCell(1, 0);
    clickCell(3, 0, Qt::ControlModifier);
    clickCell(0, 0); // a plain click drops the selection
    QVERIFY(form()->WordGrid->SelectedBookmarks().empty());

    clickCell(1, 0, Qt::ControlModifier);
    clickCell(3, 0, Qt::ControlModifier);
    clickCell(5, 0, Qt::ShiftModifier);
    QCOMPARE(form()->WordGrid->SelectedBookmarks().size(), size_t(4));

    dialogs().answerNo();
    click(form()->Deletebn);
    QCOMPARE(dialogs().last(Kind::Confirm).text, QStringLiteral("Are you sure to delete selected records?"));
    QCOMPARE(listed().size(), 6);

    dialogs().answerYes();
    click(form()->Deletebn);
    QCOMPARE(listed(), (QStringList{"a", "c"}));
    QCOMPARE(form()->CountLb->text(), QStringLiteral("2"));
    QVERIFY(form()->WordGrid->SelectedBookmarks().empty());
}

void DicFormTest::deleteWordsWithDigits()
{
    scan({writeFile(QStringLiteral("a.txt"), "abc1 2006 abc x9y zz\r\n")});
    dialogs().answerText(QStringLiteral("3"));
    dialogs().answerText(QStringLiteral("4"));
    press(QKeySequence(Qt::Key_F11)); // lists 2006, abc, abc1, x9y
    clickCell(0, 0, Qt::ControlModifier);

    dialogs().answerYes();
    form()->A_KickoutDigits->trigger();
    QCOMPARE(dialogs().last(Kind::Confirm).text, QStringLiteral("Are you sure to delete words with digits?"));
    QCOMPARE(listed(), QStringList{"abc"});
    QCOMPARE(form()->CountLb->text(), QStringLiteral("1"));
    QVERIFY(form()->WordGrid->SelectedBookmarks().empty());
    press(QKeySequence(Qt::Key_F9));
    QCOMPARE(listed(), (QStringList{"abc", "zz"}));
}

void DicFormTest::saveWritesTheListedWords()
{
    scan({writeFile(QStringLiteral("a.txt"), "b a c a\r\n")});
    press(QKeySequence(Qt::Key_F5));
    const QString out = m_dir->filePath(QStringLiteral("dic.txt"));
    dialogs().answerFile(out);
    press(QKeySequence(Qt::CTRL | Qt::Key_S));
    const FileRequest &asked = dialogs().last(Kind::SaveFile).request;
    QCOMPARE(asked.filter, QStringLiteral("Text (*.txt)|*.txt"));
    QCOMPARE(asked.defaultExt, QStringLiteral("txt"));
    QVERIFY(asked.overwritePrompt);
    QCOMPARE(readFileBytes(kf::LocalPath(out)), std::string("a\r\nb\r\nc\r\n"));

    // A cancelled save writes nothing.
    writeFile(QStringLiteral("dic.txt"), "kept");
    press(QKeySequence(Qt::CTRL | Qt::Key_S));
    QCOMPARE(readFileBytes(kf::LocalPath(out)), std::string("kept"));
}

void DicFormTest::failedSaveKeepsTheOldFileAndReports()
{
    // A list well over the size limit below.
    std::string text;
    for (int i = 0; i < 400; ++i)
        text += "word" + std::to_string(i) + " ";
    scan({writeFile(QStringLiteral("a.txt"), text)});
    const QString out = writeFile(QStringLiteral("dic.txt"), "the dictionary of last week\r\n");
    dialogs().answerFile(out);
    {
        const test::FileSizeLimit limit(512); // as a full disk would
        press(QKeySequence(Qt::CTRL | Qt::Key_S));
    }
    QCOMPARE(dialogs().count(Kind::Message), 1);
    const QString report = dialogs().last(Kind::Message).text;
    QVERIFY2(report.startsWith(QStringLiteral("AppException: TDicFm~EFCreateError--Cannot write file")),
             qPrintable(report));
    QVERIFY2(report.contains(QStringLiteral("File too large")), qPrintable(report));
    QCOMPARE(readFileBytes(kf::LocalPath(out)), std::string("the dictionary of last week\r\n"));
    QCOMPARE(QDir(m_dir->path()).entryList(QDir::Files | QDir::Hidden), (QStringList{"a.txt", "dic.txt"}));
    QCOMPARE(listed().size(), 400);

    // Without the limit the same save goes through.
    dialogs().answerFile(out);
    press(QKeySequence(Qt::CTRL | Qt::Key_S));
    QCOMPARE(dialogs().count(Kind::Message), 1);
    QVERIFY(readFileBytes(kf::LocalPath(out)).size() > 512);
}

void DicFormTest::closingAsks_data()
{
    QTest::addColumn<bool>("viaExit");
    QTest::addColumn<QString>("work"); // what was done before closing
    QTest::addColumn<QString>("answer"); // to the question, when one is asked
    QTest::addColumn<bool>("asked");
    QTest::addColumn<bool>("closes");
    QTest::newRow("Exit, nothing scanned") << true << "" << "" << false << true;
    QTest::newRow("close box, nothing scanned") << false << "" << "" << false << true;
    QTest::newRow("close box, scanned and saved") << false << "scan save" << "" << false << true;
    QTest::newRow("Exit, scanned and saved with counts") << true << "scan counts" << "" << false << true;
    QTest::newRow("close box, scanned and cleared") << false << "scan clear" << "" << false << true;
    QTest::newRow("Exit, scanned, Cancel") << true << "scan" << "cancel" << true << false;
    QTest::newRow("close box, scanned, Discard") << false << "scan" << "discard" << true << true;
    QTest::newRow("Exit, scanned, Save") << true << "scan" << "save" << true << true;
    QTest::newRow("close box, scanned, Save cancelled") << false << "scan" << "save cancelled" << true << false;
    QTest::newRow("close box, a word deleted after the save") << false << "scan save delete" << "cancel" << true
                                                              << false;
    QTest::newRow("Exit, a word edited after the save") << true << "scan save edit" << "cancel" << true << false;
}

void DicFormTest::closingAsks()
{
    QFETCH(bool, viaExit);
    QFETCH(QString, work);
    QFETCH(QString, answer);
    QFETCH(bool, asked);
    QFETCH(bool, closes);
    const QStringList steps = work.split(QLatin1Char(' '), Qt::SkipEmptyParts);
    const QString saved = m_dir->filePath(QStringLiteral("saved.txt"));
    for (const QString &step : steps) {
        if (step == QLatin1String("scan")) {
            scan({writeFile(QStringLiteral("a.txt"), "one two\r\n")});
        } else if (step == QLatin1String("save")) {
            dialogs().answerFile(saved);
            press(QKeySequence(Qt::CTRL | Qt::Key_S));
        } else if (step == QLatin1String("counts")) {
            dialogs().answerFile(saved);
            press(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_S));
        } else if (step == QLatin1String("clear")) {
            dialogs().answerYes();
            form()->A_ClearWordlist->trigger();
        } else if (step == QLatin1String("delete")) {
            clickCell(0, 0, Qt::ControlModifier);
            dialogs().answerYes();
            click(form()->Deletebn);
        } else if (step == QLatin1String("edit")) {
            clickCell(0, 0);
            QTest::keyClicks(form()->WordGrid, QStringLiteral("won"));
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
        }
    }
    QVERIFY(dialogs().pendingAnswers() == 0);
    dialogs().clear();
    const int rows = int(listed().size());
    QPointer<TDicFm> guard(form());
    QMdiSubWindow *frame = TWinFormFactory::FrameOf(form());
    QVERIFY(frame);
    const QString out = m_dir->filePath(QStringLiteral("on-closing.txt"));
    if (answer == QLatin1String("cancel"))
        dialogs().answerCancel();
    else if (answer == QLatin1String("discard"))
        dialogs().answerDiscard();
    else if (answer == QLatin1String("save")) {
        dialogs().answerSave();
        dialogs().answerFile(out);
    } else if (answer == QLatin1String("save cancelled")) {
        dialogs().answerSave();
        dialogs().answerCancel();
    }
    if (viaExit)
        form()->Exit1->trigger();
    else
        frame->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);

    QCOMPARE(dialogs().count(Kind::SaveDiscard), asked ? 1 : 0);
    QCOMPARE(dialogs().count(Kind::Confirm), 0);
    if (asked)
        QCOMPARE(dialogs().last(Kind::SaveDiscard).text,
                 QStringLiteral("Make Dictionary holds work that is not saved:\n  \u2022 the word list (%1 "
                                "listed)\n\nSave it before the window closes?")
                     .arg(rows == 1 ? QStringLiteral("1 word") : QStringLiteral("%1 words").arg(rows)));
    QCOMPARE(guard.isNull(), closes);
    if (answer == QLatin1String("save"))
        QCOMPARE(readFileBytes(kf::LocalPath(out)), std::string("one\r\ntwo\r\n"));
    if (closes) {
        QVERIFY(!m_main->Factory().FindForm<TDicFm>());
        m_form = nullptr;
    } else {
        QVERIFY(frame->isVisible());
        QCOMPARE(int(listed().size()), rows);
    }
}

// The main window's closing asks about the dictionary window's list as the
// window's own closing does, and stays open on Cancel.
void DicFormTest::closingTheMainWindowAsksAboutTheList_data()
{
    QTest::addColumn<QString>("answer");
    QTest::addColumn<bool>("closes");
    QTest::newRow("Cancel") << "cancel" << false;
    QTest::newRow("Discard") << "discard" << true;
    QTest::newRow("Save") << "save" << true;
}

void DicFormTest::closingTheMainWindowAsksAboutTheList()
{
    QFETCH(QString, answer);
    QFETCH(bool, closes);
    scan({writeFile(QStringLiteral("a.txt"), "one two\r\n")});
    dialogs().clear();
    const QString out = m_dir->filePath(QStringLiteral("on-closing.txt"));
    if (answer == QLatin1String("cancel"))
        dialogs().answerCancel();
    else if (answer == QLatin1String("discard"))
        dialogs().answerDiscard();
    else {
        dialogs().answerSave();
        dialogs().answerFile(out);
    }
    // File > Close, as the user chooses it.
    m_main->A_Close->trigger();
    QCOMPARE(dialogs().count(Kind::SaveDiscard), 1);
    QVERIFY(dialogs().last(Kind::SaveDiscard).text.contains(QStringLiteral("the word list (2 words listed)")));
    QCOMPARE(m_main->isVisible(), !closes);
    QCOMPARE(QFile::exists(out), answer == QLatin1String("save"));
    if (!closes) {
        QCOMPARE(int(listed().size()), 2);
        // Saved since: nothing more to ask.
        dialogs().clear();
        dialogs().answerFile(out);
        press(QKeySequence(Qt::CTRL | Qt::Key_S));
        m_main->A_Close->trigger();
        QVERIFY(!m_main->isVisible());
        QCOMPARE(dialogs().count(Kind::SaveDiscard), 0);
    }
}

// "Save with counts..." writes "word TAB count" lines in the listed order,
// as "keyfolio-tool dict --counts" does, and the course window reads them.
void DicFormTest::saveWithCountsWritesWordTabCount()
{
    scan({writeFile(QStringLiteral("a.txt"), "b a c a b a\r\n")});
    press(QKeySequence(Qt::Key_F5));
    const QString out = m_dir->filePath(QStringLiteral("counts.txt"));
    dialogs().answerFile(out);
    form()->Actions1->popup(form()->mapToGlobal(QPoint(0, 0)));
    QTRY_VERIFY(form()->Actions1->isVisible());
    form()->Actions1->setActiveAction(form()->A_SaveWithCounts);
    QTest::keyClick(form()->Actions1, Qt::Key_Return);
    QCOMPARE(dialogs().count(Kind::SaveFile), 1);
    QCOMPARE(readFileBytes(kf::LocalPath(out)), std::string("a\t3\r\nb\t2\r\nc\t1\r\n"));
    QVERIFY(form()->UnsavedWork().isEmpty());
    QCOMPARE(m_main->RecentFiles().Files(RecentKind::Dictionary), QStringList{out});
}

void DicFormTest::quotesAndDashesOfTheCodePageAreAddedWithOneClick_data()
{
    QTest::addColumn<QString>("codePage");
    QTest::addColumn<QString>("added");
    QTest::newRow("CP1252") << "CP1252"
                            << QStringLiteral("\u201a\u201e\u2039\u2018\u2019\u201c\u201d\u2013\u2014\u203a\u00ab\u00bb");
    // The Greek code page has the horizontal bar too.
    QTest::newRow("CP1253") << "CP1253"
                            << QStringLiteral("\u201a\u201e\u2039\u2018\u2019\u201c\u201d\u2013\u2014\u203a\u00ab\u2015\u00bb");
    // The Hebrew hyphen (maqaf) joins words: it is left out.
    QTest::newRow("CP1255") << "CP1255"
                            << QStringLiteral("\u201a\u201e\u2039\u2018\u2019\u201c\u201d\u2013\u2014\u203a\u00ab\u00bb");
}

void DicFormTest::quotesAndDashesOfTheCodePageAreAddedWithOneClick()
{
    QFETCH(QString, codePage);
    QFETCH(QString, added);
    CodePageChoice::instance().choose(codePage);
    const auto restore = qScopeGuard([] { CodePageChoice::instance().choose(QStringLiteral("CP1252")); });
    QCOMPARE(form()->QuotesBn->accessibleName(), QStringLiteral("Add quotation marks and dashes"));
    click(form()->QuotesBn);
    QCOMPARE(form()->Edit1->text(), QStringLiteral("?!|<>") + added);
    // A second click adds nothing twice.
    click(form()->QuotesBn);
    QCOMPARE(form()->Edit1->text(), QStringLiteral("?!|<>") + added);
    // Words come without the quotation marks around them.
    const std::string text = CodePage::current().encode(QStringLiteral("\u201edvorak\u201c \u2013 qwerty\r\n"));
    scan({writeFile(QStringLiteral("quoted.txt"), text)});
    QCOMPARE(listed(), (QStringList{"dvorak", "qwerty"}));
}

// Made larger, the window gives the room to the grid; the states below it
// stay under it.
void DicFormTest::gridGrowsWithTheWindow()
{
    QMdiSubWindow *frame = TWinFormFactory::FrameOf(form());
    const QSize grid = form()->WordGrid->size();
    const int gap = form()->ClientArea->height() - form()->FilterLb->geometry().bottom();
    frame->resize(frame->size() + QSize(300, 200));
    QTRY_COMPARE(form()->WordGrid->size(), grid + QSize(300, 200));
    QCOMPARE(form()->ClientArea->height() - form()->FilterLb->geometry().bottom(), gap);
    QVERIFY(form()->FilterLb->geometry().top() > form()->WordGrid->geometry().bottom());
    QCOMPARE(form()->FilterLb->geometry().right(), form()->WordGrid->geometry().right());
}

void DicFormTest::autoReadsUtf8AsItsCodePageVersion_data()
{
    QTest::addColumn<QString>("codePage");
    QTest::addColumn<QString>("utf8");
    QTest::addColumn<QString>("codePageVersion");
    QTest::newRow("German, CP1252") << "CP1252" << dataFile("de.utf8.txt") << dataFile("de.cp1252.txt");
    QTest::newRow("Russian, CP1251") << "CP1251" << dataFile("ru.utf8.txt") << dataFile("ru.cp1251.txt");
}

void DicFormTest::autoReadsUtf8AsItsCodePageVersion()
{
    QFETCH(QString, codePage);
    QFETCH(QString, utf8);
    QFETCH(QString, codePageVersion);
    CodePageChoice::instance().choose(codePage);
    QVERIFY(form()->Encoding1->action(InputEncoding::Auto)->isChecked());

    scan({codePageVersion});
    const QStringList expected = listedWithCounts();
    QVERIFY(expected.size() > 20);
    const QString total = form()->TotalLb->text();
    dialogs().answerYes();
    form()->A_ClearWordlist->trigger();
    QCOMPARE(listed(), QStringList());

    scan({utf8});
    QCOMPARE(dialogs().count(Kind::Message), 0);
    QCOMPARE(listedWithCounts(), expected);
    QCOMPARE(form()->TotalLb->text(), total);
    QCOMPARE(form()->UnmappableLb->text(), QStringLiteral("0"));
    QCOMPARE(form()->Builder().LastScanEncodings(), std::vector<InputEncoding>{InputEncoding::Utf8});
}

void DicFormTest::codePageEncodingReadsUtf8BytesAsCodePageBytes()
{
    const QString file = writeFile(QStringLiteral("de.txt"), "Gr\xC3\xB6\xC3\x9F" "e\r\n");
    // Auto takes it for UTF-8; the code page item reads its bytes as they are.
    scan({file});
    QCOMPARE(listed(), QStringList{QStringLiteral("gr\u00F6\u00DFe")});
    dialogs().answerYes();
    form()->A_ClearWordlist->trigger();

    chooseEncoding(InputEncoding::CodePage);
    QVERIFY(!form()->Encoding1->action(InputEncoding::Auto)->isChecked());
    QCOMPARE(form()->Encoding1->encoding(), InputEncoding::CodePage);
    scan({file});
    QCOMPARE(listed(), QStringList{QStringLiteral("gr\u00E3\u00B6\u00E3\u00FFe")});
    QCOMPARE(form()->Builder().LastScanEncodings(), std::vector<InputEncoding>{InputEncoding::CodePage});

    // The choices exclude each other.
    chooseEncoding(InputEncoding::Utf16LE);
    int checked = 0;
    for (QAction *a : form()->Encoding1->actions())
        checked += a->isChecked() ? 1 : 0;
    QCOMPARE(checked, 1);
    QCOMPARE(form()->Encoding1->encoding(), InputEncoding::Utf16LE);
}

void DicFormTest::polishTextCountsAndListsWordsNotInTheCodePage()
{
    scan({dataFile("pl.utf8.txt")});
    QCOMPARE(dialogs().count(Kind::Message), 0);
    // Words the code page holds are listed; those it lacks are not.
    const QStringList words = listed();
    QVERIFY(words.contains(QStringLiteral("j\u00F3zef")));
    QVERIFY(!words.contains(QStringLiteral("dzie")));
    for (const QString &w : words)
        QVERIFY2(!w.contains(QLatin1Char('?')), qPrintable(w));

    const QString unmappable = form()->UnmappableLb->text();
    QCOMPARE(unmappable, QString::number(form()->Builder().UnmappableWords()));
    QVERIFY(unmappable.toUInt() > 0);
    QCOMPARE(accessibleName(form()->UnmappableLb), unmappable);
    // Scanned words count those not listed too.
    QVERIFY(form()->TotalLb->text().toUInt() > unmappable.toUInt());

    form()->A_ShowUnmappable->trigger();
    QDialog *dlg = form()->UnmappableDlg;
    QVERIFY(dlg);
    QVERIFY(dlg->isVisible());
    auto *list = dlg->findChild<QTableWidget *>(QStringLiteral("UnmappableList"));
    QVERIFY(list);
    QVERIFY(list->rowCount() > 2);
    QCOMPARE(list->item(0, 0)->text(), QStringLiteral("dzie\u0144"));
    QCOMPARE(list->item(0, 1)->text(), QStringLiteral("3"));
    QCOMPARE(list->item(1, 0)->text(), QStringLiteral("by\u0142"));
    QCOMPARE(list->item(1, 1)->text(), QStringLiteral("2"));
    uint sum = 0, previous = UINT_MAX;
    for (int row = 0; row < list->rowCount(); ++row) {
        const uint count = list->item(row, 1)->text().toUInt();
        QVERIFY(count <= previous);
        previous = count;
        sum += count;
        QVERIFY(!(list->item(row, 0)->flags() & Qt::ItemIsEditable));
    }
    // Every occurrence is in the list.
    QCOMPARE(QString::number(sum), unmappable);

    // Clearing the list clears the count and closes the list.
    dialogs().answerYes();
    form()->A_ClearWordlist->trigger();
    QCOMPARE(form()->UnmappableLb->text(), QStringLiteral("0"));
    QVERIFY(!dlg->isVisible());
}

void DicFormTest::noWordsNotInTheCodePageSaysSo()
{
    scan({writeFile(QStringLiteral("a.txt"), "plain words\r\n")});
    form()->A_ShowUnmappable->trigger();
    QCOMPARE(dialogs().count(Kind::Information), 1);
    QCOMPARE(dialogs().last(Kind::Information).text,
             QStringLiteral("No word scanned holds a character that the code page CP1252 lacks."));
    QVERIFY(!form()->UnmappableDlg || !form()->UnmappableDlg->isVisible());
}

void DicFormTest::malformedUtf8IsOneErrorAndKeepsTheList()
{
    scan({writeFile(QStringLiteral("good.txt"), "alpha beta alpha\r\n")});
    const QStringList before = listedWithCounts();
    dialogs().clear();

    chooseEncoding(InputEncoding::Utf8);
    const QString bad = writeFile(QStringLiteral("bad.txt"), "gamma \xC3\x28 delta\r\n");
    scan({bad});
    QCOMPARE(dialogs().count(Kind::Message), 1);
    const QString report = dialogs().last(Kind::Message).text;
    QVERIFY2(report.contains(QStringLiteral("bad.txt")), qPrintable(report));
    QVERIFY2(report.contains(QStringLiteral("byte offset 6")), qPrintable(report));
    QCOMPARE(listedWithCounts(), before);
    QCOMPARE(form()->CountLb->text(), QStringLiteral("2"));
    QCOMPARE(form()->TotalLb->text(), QStringLiteral("3"));
    QVERIFY(!QApplication::overrideCursor());

    // Files before the malformed one are counted, nothing of it is.
    const QString more = writeFile(QStringLiteral("more.txt"), "epsilon\r\n");
    scan({more, bad});
    QCOMPARE(dialogs().count(Kind::Message), 2);
    QCOMPARE(listed(), (QStringList{"alpha", "beta", "epsilon"}));
    QCOMPARE(form()->TotalLb->text(), QStringLiteral("4"));
}

void DicFormTest::readyQuestionNamesTheFileCount_data()
{
    QTest::addColumn<int>("files");
    QTest::addColumn<QString>("question");
    QTest::newRow("one") << 1 << "Ready to process 1 file?";
    QTest::newRow("three") << 3 << "Ready to process 3 files?";
}

void DicFormTest::readyQuestionNamesTheFileCount()
{
    QFETCH(int, files);
    QFETCH(QString, question);
    QStringList paths;
    for (int i = 0; i < files; ++i)
        paths << writeFile(QStringLiteral("f%1.txt").arg(i), "word\r\n");
    dialogs().answerFiles(paths);
    dialogs().answerNo();
    press(QKeySequence(Qt::CTRL | Qt::Key_W));
    QCOMPARE(dialogs().count(Kind::Confirm), 1);
    QCOMPARE(dialogs().last(Kind::Confirm).text, question);
    QCOMPARE(listed(), QStringList());
}

void DicFormTest::orderAndFilterInForceAreShown()
{
    TDicFm *f = form();
    QCOMPARE(f->Label9->text(), QStringLiteral("Order:"));
    QCOMPARE(f->Label11->text(), QStringLiteral("Filter:"));
    QCOMPARE(f->Label10->text(), QStringLiteral("Code page:"));
    const auto shows = [f](const QString &order, const QString &filter) {
        return f->OrderLb->text() == order && f->FilterLb->text() == filter &&
               accessibleName(f->OrderLb) == order && accessibleName(f->FilterLb) == filter;
    };
    const QString none = QStringLiteral("none (all words listed)");
    QVERIFY(shows(QStringLiteral("alphabetical"), none));
    QCOMPARE(f->CodePageLb->text(), QStringLiteral("CP1252"));
    QCOMPARE(accessibleName(f->CodePageLb), QStringLiteral("CP1252"));

    const QString file = writeFile(QStringLiteral("a.txt"), "bb a bb ccc dddd dddd dddd\r\n");
    scan({file});
    press(QKeySequence(Qt::Key_F5));
    QVERIFY(shows(QStringLiteral("by frequency"), none));
    press(QKeySequence(Qt::Key_F7));
    QVERIFY(shows(QStringLiteral("by length"), none));
    press(QKeySequence(Qt::Key_F6));
    QVERIFY(shows(QStringLiteral("alphabetical"), none));

    dialogs().answerText(QStringLiteral("2"));
    dialogs().answerText(QStringLiteral("3"));
    press(QKeySequence(Qt::Key_F11));
    QVERIFY(shows(QStringLiteral("alphabetical"), QStringLiteral("length from 2 to 3")));
    press(QKeySequence(Qt::Key_F5));
    dialogs().answerText(QStringLiteral("2"));
    dialogs().answerText(QStringLiteral("5"));
    press(QKeySequence(Qt::Key_F10));
    QVERIFY(shows(QStringLiteral("by frequency"), QStringLiteral("frequency from 2 to 5")));
    QCOMPARE(listed(), (QStringList{"dddd", "bb"}));

    // A scan puts the words in alphabetical order; the filter stays on.
    scan({file});
    QVERIFY(shows(QStringLiteral("alphabetical"), QStringLiteral("frequency from 2 to 5")));
    press(QKeySequence(Qt::Key_F9));
    QVERIFY(shows(QStringLiteral("alphabetical"), none));
}

void DicFormTest::codePageChoiceIsFollowed()
{
    TDicFm *f = form();
    QCOMPARE(f->CodePageLb->text(), QStringLiteral("CP1252"));
    CodePageChoice::instance().choose(QStringLiteral("CP1251"));
    QCOMPARE(f->CodePageLb->text(), QStringLiteral("CP1251"));
    QCOMPARE(accessibleName(f->CodePageLb), QStringLiteral("CP1251"));
    QCOMPARE(f->Encoding1->action(InputEncoding::CodePage)->text(), QStringLiteral("&Code page (CP1251)"));

    // The next dictionary is written in the code page chosen.
    scan({writeFile(QStringLiteral("ru.txt"), "\xD0\x9C\xD0\xB8\xD1\x80 \xD0\xB4\xD0\xBE\xD0\xBC\r\n")});
    QCOMPARE(f->UnmappableLb->text(), QStringLiteral("0"));
    const QString out = m_dir->filePath(QStringLiteral("out.txt"));
    dialogs().answerFile(out);
    press(QKeySequence(Qt::CTRL | Qt::Key_S));
    QCOMPARE(readFileBytes(kf::LocalPath(out)), std::string("\xE4\xEE\xEC\r\n\xEC\xE8\xF0\r\n"));

    // Words of two code pages never mix in one list: the label tells, a scan
    // is refused until the list is cleared. The list still reads its words
    // in the code page they were scanned in.
    CodePageChoice::instance().choose(QStringLiteral("CP1252"));
    QCOMPARE(f->CodePageLb->text(), QStringLiteral("CP1252 (list in CP1251)"));
    QCOMPARE(listed(), (QStringList{QStringLiteral("\u0434\u043E\u043C"), QStringLiteral("\u043C\u0438\u0440")}));
    dialogs().clear();
    press(QKeySequence(Qt::CTRL | Qt::Key_W));
    QCOMPARE(dialogs().count(Kind::OpenFiles), 0);
    QCOMPARE(dialogs().count(Kind::Message), 1);
    QVERIFY(dialogs().last(Kind::Message).text.contains(QStringLiteral("CP1251")));
    QCOMPARE(listed().size(), 2);
    dialogs().answerYes();
    f->A_ClearWordlist->trigger();
    QCOMPARE(f->CodePageLb->text(), QStringLiteral("CP1252"));

    // A delimiter the code page lacks is refused before any file is asked for.
    const QString delimiters = f->Edit1->text();
    f->Edit1->setText(delimiters + QStringLiteral("\u0142"));
    press(QKeySequence(Qt::CTRL | Qt::Key_W));
    QCOMPARE(dialogs().count(Kind::OpenFiles), 0);
    QVERIFY(dialogs().last(Kind::Message).text.startsWith(QStringLiteral("Not in the code page CP1252: \u0142\n")));
    f->Edit1->setText(delimiters);
    scan({writeFile(QStringLiteral("de.txt"), "Gr\xC3\xB6\xC3\x9F" "e\r\n")});
    QCOMPARE(listed(), QStringList{QStringLiteral("gr\u00F6\u00DFe")});
}

int main(int argc, char **argv)
{
    TApplication app(argc, argv);
    app.setApplicationName(ApplicationTitle());
    DicFormTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "DicForm_test.moc"
