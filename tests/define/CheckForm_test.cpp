// The check window: Check in the definition window and the main window's menu
// item list the findings of the definition; activating a line leads to its row
// in the definition window's grids; the list stays as checked until Check is
// pressed again. Driven through the main window, its factory and real clicks.

#include "app/ComFormFactory.h"
#include "app/MainForm.h"
#include "common/ScriptedDialogs.h"
#include "dbctrls/DBGrid.h"
#include "dbctrls/TableModel.h"
#include "define/CheckForm.h"
#include "define/DefineForm.h"
#include "model/GlyphCodec.h"
#include "model/MainData.h"

#include <QAccessible>
#include <QAction>
#include <QApplication>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QPushButton>
#include <QTest>
#include <QTableWidget>

#include <memory>

using namespace kf;

namespace {

using Kind = ScriptedDialogs::Kind;

std::string picture(int w, int h)
{
    QImage image(w, h, QImage::Format_RGB32);
    image.fill(qRgb(224, 224, 224));
    image.setPixel(w / 2, h / 2, qRgb(0, 0, 0));
    return ImageToGlyph(image);
}

void addKey(TDataMod &dm, const std::string &name, int32_t value, int32_t type, int x, int y)
{
    dm.MainTbl.AppendRecord({name, value, type, TValue(), int32_t(3), TValue(picture(20, 20)), int32_t(20),
                             int32_t(20), int32_t(x), int32_t(y), std::string("hint")});
}

void addChar(TDataMod &dm, const std::string &name, int32_t code, TValue keyNo, bool shift = false)
{
    dm.Ctbl.AppendRecord({name, code, keyNo, shift, false, int32_t(0)});
}

// Three keys and their characters: a definition that checks clean.
void buildClean(TDataMod &dm)
{
    addKey(dm, "A", 1, 1, 0, 0);
    addKey(dm, "B", 2, 1, 22, 0);
    addKey(dm, "C", 3, 1, 44, 0);
    addChar(dm, "a", 97, int32_t(1));
    addChar(dm, "b", 98, int32_t(2));
    addChar(dm, "c", 99, int32_t(3));
    addChar(dm, "A", 65, int32_t(1), true);
    addChar(dm, "B", 66, int32_t(2), true);
    addChar(dm, "C", 67, int32_t(3), true);
    dm.bkcolor = 0x303030;
}

// The clean definition with two faults: key "C" overlaps key "B", and
// character "x" names a key that does not exist.
void buildFaulty(TDataMod &dm)
{
    buildClean(dm);
    dm.MainTbl.Last();
    dm.MainTbl.Edit();
    dm.MainTbl.FieldByName("X").SetAsInteger(30);
    dm.MainTbl.Post();
    addChar(dm, "x", 120, int32_t(9));
}

// The texts of a list line as assistive technology reads them, cell by cell.
QStringList accessibleRow(QTableWidget *list, int row)
{
    QAccessibleInterface *iface = QAccessible::queryAccessibleInterface(list);
    QAccessibleTableInterface *table = iface ? iface->tableInterface() : nullptr;
    if (!table)
        return {};
    QStringList cells;
    for (int c = 0; c < table->columnCount(); ++c) {
        QAccessibleInterface *cell = table->cellAt(row, c);
        cells << (cell ? cell->text(QAccessible::Name) : QStringLiteral("<none>"));
    }
    return cells;
}

} // namespace

class CheckFormTest : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    void checkListsTheFindings();
    void zeroFindingsSaysSo();
    void doubleClickLandsOnTheRow_data();
    void doubleClickLandsOnTheRow();
    void enterLeadsToTheRowAndTabReachesTheList();
    void listStaysFixedUntilCheckAgain();
    void pendingEditIsPostedBeforeChecking();
    void refusedPostStopsTheCheck();
    void rowGoneSinceTheCheckIsTold();
    void keylessDefinitionIsAFindingAboutTheTable();
    void closedDefinitionWindowOpensAgainForARow();
    void menuItemOpensIt();
    void screenshot();

private:
    TDefineFm *openDefine();
    TCheckFm *pressCheck(TDefineFm *define);
    TCheckFm *checkForm() const { return m_main->Factory().FindForm<TCheckFm>(); }
    void activate(TCheckFm *check, int line);

    std::unique_ptr<TMainFm> m_main;
    std::unique_ptr<TDataMod> m_dm;
    ScriptedDialogs *m_dialogs = nullptr; // owned by the dialog service
};

void CheckFormTest::init()
{
    auto dialogs = std::make_unique<ScriptedDialogs>();
    m_dialogs = dialogs.get();
    SetDialogs(std::move(dialogs));
    m_main = std::make_unique<TMainFm>();
    m_dm = std::make_unique<TDataMod>();
    m_main->resize(1100, 820);
    m_main->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_main.get()));
}

void CheckFormTest::cleanup()
{
    m_main.reset();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    m_dm.reset();
    SetDialogs(nullptr);
    m_dialogs = nullptr;
}

TDefineFm *CheckFormTest::openDefine()
{
    m_main->A_ShowDefineFm->trigger();
    return m_main->Factory().FindForm<TDefineFm>();
}

TCheckFm *CheckFormTest::pressCheck(TDefineFm *define)
{
    QTest::mouseClick(define->CheckBn, Qt::LeftButton);
    return checkForm();
}

// Double-clicks a line of the list as the user does.
void CheckFormTest::activate(TCheckFm *check, int line)
{
    QTableWidget *list = check->FindingsList;
    QTableWidgetItem *item = list->item(line, 0);
    QVERIFY(item);
    list->scrollToItem(item);
    const QPoint at = list->visualItemRect(item).center();
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, at);
    QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, at);
}

void CheckFormTest::checkListsTheFindings()
{
    buildFaulty(*m_dm);
    TDefineFm *define = openDefine();
    QVERIFY(define);
    QCOMPARE(define->CheckBn->text(), QStringLiteral("Chec&k"));
    QCOMPARE(define->CheckBn->geometry(), QRect(362, 76, 75, 25));

    TCheckFm *check = pressCheck(define);
    QVERIFY(check);
    QCOMPARE(check->windowTitle(), QStringLiteral("Check definition"));
    QCOMPARE(check->minimumSize(), check->maximumSize());
    QCOMPARE(m_main->MdiArea()->activeSubWindow(), TWinFormFactory::FrameOf(check));

    QTableWidget *list = check->FindingsList;
    QCOMPARE(list->rowCount(), 2);
    QCOMPARE(int(check->Findings().size()), 2);
    const QStringList titles = {"Severity", "Table", "Row", "Field", "Message"};
    for (int c = 0; c < titles.size(); ++c)
        QCOMPARE(list->horizontalHeaderItem(c)->text(), titles[c]);

    // What assistive technology reads of each line is what the check found.
    const QStringList overlap = accessibleRow(list, 0);
    QCOMPARE(overlap.mid(0, 4), (QStringList{"Error", "Keys", "\"C\" (row 3)", "X"}));
    QVERIFY2(overlap[4].contains(QStringLiteral("overlaps key \"B\"")), qPrintable(overlap[4]));
    const QStringList missing = accessibleRow(list, 1);
    QCOMPARE(missing.mid(0, 4), (QStringList{"Error", "Characters", "\"x\" (row 7)", "KeyNo"}));
    QVERIFY2(missing[4].contains(QStringLiteral("KeyNo 9 names no key")), qPrintable(missing[4]));

    QVERIFY2(check->SummaryLb->text().startsWith(QStringLiteral("2 errors, 0 warnings.")),
             qPrintable(check->SummaryLb->text()));
    QAccessibleInterface *summary = QAccessible::queryAccessibleInterface(check->SummaryLb);
    QVERIFY(summary);
    QCOMPARE(summary->text(QAccessible::Name), check->SummaryLb->text());

    // Pressing Check again with the window open keeps one check window.
    QCOMPARE(pressCheck(define), check);
    int checkWindows = 0;
    for (QMdiSubWindow *w : m_main->MdiArea()->subWindowList())
        checkWindows += qobject_cast<TCheckFm *>(w->widget()) && !w->isHidden();
    QCOMPARE(checkWindows, 1);
}

void CheckFormTest::zeroFindingsSaysSo()
{
    buildClean(*m_dm);
    TCheckFm *check = pressCheck(openDefine());
    QVERIFY(check);
    QCOMPARE(check->FindingsList->rowCount(), 0);
    QCOMPARE(check->SummaryLb->text(), QStringLiteral("No findings: the definition checks clean."));
    QCOMPARE(QAccessible::queryAccessibleInterface(check->SummaryLb)->text(QAccessible::Name),
             QStringLiteral("No findings: the definition checks clean."));
    QCOMPARE(m_dialogs->asked().size(), size_t(0));
}

void CheckFormTest::doubleClickLandsOnTheRow_data()
{
    QTest::addColumn<int>("line");
    QTest::addColumn<bool>("keys");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("columnTitle");
    QTest::newRow("key") << 0 << true << "C" << "X";
    QTest::newRow("character") << 1 << false << "x" << "KeyNo";
}

void CheckFormTest::doubleClickLandsOnTheRow()
{
    QFETCH(int, line);
    QFETCH(bool, keys);
    QFETCH(QString, name);
    QFETCH(QString, columnTitle);
    buildFaulty(*m_dm);
    TDefineFm *define = openDefine();
    TCheckFm *check = pressCheck(define);
    QVERIFY(check);
    // The tables are ordered and placed otherwise than at the check: the
    // finding still finds its row.
    m_dm->MainTbl.SetIndexFieldNames("Name");
    m_dm->MainTbl.Last();
    m_dm->MainTbl.SetIndexFieldNames("X");
    m_dm->MainTbl.First();
    m_dm->Ctbl.First();

    activate(check, line);

    TRecordTable &table = keys ? m_dm->MainTbl : m_dm->Ctbl;
    TDBGrid *grid = keys ? define->DBGrid : define->CharGrid;
    QCOMPARE(QString::fromStdString(table.FieldByName("Name").AsString()), name);
    QCOMPARE(table.GetBookmark(), check->Findings()[size_t(line)].Row);
    QCOMPARE(grid->currentIndex().row(), table.RecNo() - 1);
    QCOMPARE(grid->model()->headerData(grid->currentIndex().column(), Qt::Horizontal).toString(), columnTitle);
    QCOMPARE(grid->model()->data(grid->model()->index(grid->currentIndex().row(), 0)).toString(), name);
    QCOMPARE(m_main->MdiArea()->activeSubWindow(), TWinFormFactory::FrameOf(define));
    QTRY_VERIFY(grid->hasFocus());
    QCOMPARE(m_dialogs->asked().size(), size_t(0));
}

void CheckFormTest::enterLeadsToTheRowAndTabReachesTheList()
{
    buildFaulty(*m_dm);
    TDefineFm *define = openDefine();
    TCheckFm *check = pressCheck(define);
    QVERIFY(check);
    QVERIFY(check->FindingsList->focusPolicy() & Qt::TabFocus);
    QVERIFY(!(check->SummaryLb->focusPolicy() & Qt::TabFocus));
    // The list is where the keyboard is in the window: Tab cannot leave it
    // for anything else, and the first line is current.
    QTRY_VERIFY(check->FindingsList->hasFocus());
    QTest::keyClick(check->FindingsList, Qt::Key_Tab);
    QTRY_VERIFY(check->FindingsList->hasFocus());
    QCOMPARE(check->FindingsList->currentIndex().row(), 0);

    QTest::keyClick(check->FindingsList, Qt::Key_Down);
    QTest::keyClick(check->FindingsList, Qt::Key_Return);
    QCOMPARE(QString::fromStdString(m_dm->Ctbl.FieldByName("Name").AsString()), QStringLiteral("x"));
    QTRY_VERIFY(define->CharGrid->hasFocus());
}

void CheckFormTest::listStaysFixedUntilCheckAgain()
{
    buildFaulty(*m_dm);
    TDefineFm *define = openDefine();
    TCheckFm *check = pressCheck(define);
    QVERIFY(check);
    QCOMPARE(check->FindingsList->rowCount(), 2);
    const QStringList before = accessibleRow(check->FindingsList, 1);

    // The character's key comes into being: the finding is mended, but the
    // list shows the definition as it was checked.
    addKey(*m_dm, "Nine", 9, 1, 100, 0);
    addChar(*m_dm, "X", 88, int32_t(9), true);
    m_dm->MainTbl.Edit();
    m_dm->MainTbl.FieldByName("Name").SetAsString("renamed");
    m_dm->MainTbl.Post();
    QCOMPARE(check->FindingsList->rowCount(), 2);
    QCOMPARE(accessibleRow(check->FindingsList, 1), before);

    QCOMPARE(pressCheck(define), check);
    QCOMPARE(check->FindingsList->rowCount(), 1);
    QCOMPARE(accessibleRow(check->FindingsList, 0).at(1), QStringLiteral("Keys"));
    QVERIFY2(check->SummaryLb->text().startsWith(QStringLiteral("1 error, 0 warnings.")),
             qPrintable(check->SummaryLb->text()));
}

void CheckFormTest::pendingEditIsPostedBeforeChecking()
{
    buildFaulty(*m_dm);
    TDefineFm *define = openDefine();
    // The overlapping key's X typed into its cell, the editor still open.
    TDBGrid *grid = define->DBGrid;
    m_dm->MainTbl.Last();
    int xColumn = -1;
    for (int c = 0; c < grid->model()->columnCount(); ++c)
        if (grid->model()->headerData(c, Qt::Horizontal).toString() == QStringLiteral("X"))
            xColumn = c;
    QVERIFY(xColumn >= 0);
    const QModelIndex cell = grid->model()->index(grid->currentIndex().row(), xColumn);
    grid->setFocus();
    grid->setCurrentIndex(cell);
    grid->edit(cell);
    auto *editor = grid->findChild<QLineEdit *>();
    QVERIFY(editor);
    editor->selectAll();
    QTest::keyClicks(editor, QStringLiteral("44"));

    // Check from the menu: the grid keeps the focus and the editor stays open
    // until Check posts it.
    m_main->A_CheckDefinition->trigger();
    TCheckFm *check = checkForm();
    QVERIFY(check);
    QCOMPARE(m_dm->MainTbl.State(), TDataSetState::Browse);
    QCOMPARE(m_dm->MainTbl.FieldByName("X").AsInteger(), 44);
    QCOMPARE(check->FindingsList->rowCount(), 1);
    QCOMPARE(accessibleRow(check->FindingsList, 0).at(1), QStringLiteral("Characters"));
}

void CheckFormTest::refusedPostStopsTheCheck()
{
    buildFaulty(*m_dm);
    TDefineFm *define = openDefine();
    // A key row without a Name cannot be posted.
    m_dm->MainTbl.First();
    m_dm->MainTbl.Edit();
    m_dm->MainTbl.FieldByName("Name").Clear();
    QTest::mouseClick(define->CheckBn, Qt::LeftButton);
    QCOMPARE(checkForm(), nullptr);
    QCOMPARE(m_dialogs->count(Kind::Message), 1);
    QVERIFY2(m_dialogs->last(Kind::Message).text.contains(QStringLiteral("Name")),
             qPrintable(m_dialogs->last(Kind::Message).text));
    QCOMPARE(m_dm->MainTbl.State(), TDataSetState::Edit); // nothing the user typed is lost
}

void CheckFormTest::rowGoneSinceTheCheckIsTold()
{
    buildFaulty(*m_dm);
    TDefineFm *define = openDefine();
    TCheckFm *check = pressCheck(define);
    QVERIFY(check);
    QVERIFY(m_dm->Ctbl.Locate("Name", {TValue("x")}));
    m_dm->Ctbl.Delete();
    m_dm->Ctbl.First();
    const TBookmark current = m_dm->Ctbl.GetBookmark();

    activate(check, 1);
    QCOMPARE(m_dialogs->count(Kind::Information), 1);
    QVERIFY(m_dialogs->last(Kind::Information).text.contains(QStringLiteral("Check again")));
    QCOMPARE(m_dm->Ctbl.GetBookmark(), current);
    QCOMPARE(check->FindingsList->rowCount(), 2); // still as checked
}

// A definition without keys: one error about the whole key table, in
// words; activating it leads to the key grid and asks nothing.
void CheckFormTest::keylessDefinitionIsAFindingAboutTheTable()
{
    TDefineFm *define = openDefine();
    TCheckFm *check = pressCheck(define);
    QVERIFY(check);
    QCOMPARE(check->FindingsList->rowCount(), 1);
    const QStringList line = accessibleRow(check->FindingsList, 0);
    QCOMPARE(line.mid(0, 4), (QStringList{"Error", "Keys", "(the whole table)", ""}));
    QVERIFY2(line[4].startsWith(QStringLiteral("The keyboard has no keys")), qPrintable(line[4]));
    activate(check, 0);
    QCOMPARE(m_dialogs->count(Kind::Information), 0);
    QTRY_VERIFY(define->DBGrid->hasFocus());
}

void CheckFormTest::closedDefinitionWindowOpensAgainForARow()
{
    buildFaulty(*m_dm);
    QPointer<TDefineFm> define = openDefine();
    TCheckFm *check = pressCheck(define);
    QVERIFY(check);
    TWinFormFactory::FrameOf(define)->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QTRY_VERIFY(define.isNull());

    activate(check, 0);
    TDefineFm *again = m_main->Factory().FindForm<TDefineFm>();
    QVERIFY(again);
    QCOMPARE(QString::fromStdString(m_dm->MainTbl.FieldByName("Name").AsString()), QStringLiteral("C"));
    QCOMPARE(again->DBGrid->currentIndex().row(), m_dm->MainTbl.RecNo() - 1);
    // The new window's Check reaches the same check window.
    QCOMPARE(pressCheck(again), check);
}

void CheckFormTest::menuItemOpensIt()
{
    buildFaulty(*m_dm);
    QAction *item = m_main->findChild<QAction *>(QStringLiteral("A_CheckDefinition"));
    QVERIFY(item);
    QCOMPARE(item->text(), QStringLiteral("&Check Definition"));
    QVERIFY(m_main->findChild<QMenu *>(QStringLiteral("VirtualKeyboardMenu"))->actions().contains(item));
    QCOMPARE(m_main->Factory().FindForm<TDefineFm>(), nullptr);

    item->trigger();
    TDefineFm *define = m_main->Factory().FindForm<TDefineFm>();
    TCheckFm *check = checkForm();
    QVERIFY(define);
    QVERIFY(check);
    QCOMPARE(check->FindingsList->rowCount(), 2);
    QCOMPARE(m_main->MdiArea()->activeSubWindow(), TWinFormFactory::FrameOf(check));

    // A second time: the same two windows, the list checked afresh.
    m_dm->Ctbl.Last();
    m_dm->Ctbl.Delete();
    item->trigger();
    QCOMPARE(m_main->Factory().FindForm<TDefineFm>(), define);
    QCOMPARE(checkForm(), check);
    QCOMPARE(check->FindingsList->rowCount(), 1);
}

void CheckFormTest::screenshot()
{
    const QString out = qEnvironmentVariable("KEYFOLIO_SCREENSHOT");
    if (out.isEmpty())
        QSKIP("set KEYFOLIO_SCREENSHOT to a .png path to take the picture");
    buildFaulty(*m_dm);
    // More kinds for the picture: "a" on the plain level of C as well (a
    // second plain row of C, and the code shared with A), a finger length.
    addChar(*m_dm, "a again", 97, int32_t(3), false);
    m_dm->FingerLength[2] = 140;
    m_main->showMaximized();
    QVERIFY(QTest::qWaitForWindowExposed(m_main.get()));
    TDefineFm *define = openDefine();
    TCheckFm *check = pressCheck(define);
    QVERIFY(check);
    QTest::qWait(200);
    QVERIFY(m_main->grab().save(out));
    // And after a double-click on the character finding: beside it, "-row".
    activate(check, 2);
    QTest::qWait(200);
    QString rowOut = out;
    rowOut.insert(rowOut.lastIndexOf(QLatin1Char('.')), QStringLiteral("-row"));
    QVERIFY(m_main->grab().save(rowOut));
}

QTEST_MAIN(CheckFormTest)
#include "CheckForm_test.moc"
