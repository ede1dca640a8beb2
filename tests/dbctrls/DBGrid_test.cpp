// The data grid driven by real keys and clicks: edit, post, refusals, new
// rows, deletion, code lists, check boxes, pictures, titles, selection, and
// two grids on one table.

#include "common/ScriptedDialogs.h"
#include "dbctrls/DBGrid.h"
#include "dbctrls/TableModel.h"
#include "model/GlyphCodec.h"
#include "table/DataSource.h"
#include "table/RecordTable.h"

#include <QAccessible>
#include <QComboBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLineEdit>
#include <QtTest>

#include <memory>

using namespace kf;

namespace {

// Whether a cell editor of the grid has the focus.
bool cellOpen(const TDBGrid *g)
{
    QWidget *f = QApplication::focusWidget();
    return f && f != g && g->isAncestorOf(f);
}

} // namespace

class DBGridTest : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    void typingEditsAndMovingPosts();
    void refusedPostIsReportedAndRowStaysInEdit();
    void insertStartsNewRowDroppedWhenLeftUntouched();
    void ctrlDeleteAsksFirst_data();
    void ctrlDeleteAsksFirst();
    void escapeCancelsTheRow();
    void arrowsMoveBetweenCellsTabLeaves_data();
    void arrowsMoveBetweenCellsTabLeaves();
    void returnPostsTheRow_data();
    void returnPostsTheRow();
    void postFromOutsideTakesTheOpenCellAlong();
    void codeListPicksByName();
    void checkBoxToggles();
    void pictureDrawnUnscaled();
    void titleClicksAreReported();
    void multiSelectWithCtrlAndPlainClickDrops();
    void twoGridsShowOneCurrentRowAndEachOthersEdits();
    void reachableAsAccessibleTable();
    void onlyTheGridWithTheFocusHasAFocusedCell_data();
    void onlyTheGridWithTheFocusHasAFocusedCell();

private:
    QPoint cellCenter(TDBGrid *g, int row, int column) const
    {
        return g->visualRect(g->model()->index(row, column)).center();
    }
    void clickCell(TDBGrid *g, int row, int column, Qt::KeyboardModifiers mods = Qt::NoModifier)
    {
        QTest::mouseClick(g->viewport(), Qt::LeftButton, mods, cellCenter(g, row, column));
    }
    // Types as a user does: the first key opens the cell's editor, the rest go there.
    void type(TDBGrid *g, const QString &text)
    {
        QTest::keyClicks(g, text.left(1));
        QTest::keyClicks(QApplication::focusWidget(), text.mid(1));
    }
    // Return in a cell editor: the editor hands in its text on the next turn of the event loop.
    void pressReturn(QWidget *w)
    {
        QTest::keyClick(w, Qt::Key_Return);
        QCoreApplication::processEvents();
    }
    QString stored(int row, int field) const
    {
        const TValue v = m_table->FieldValueAt(row, field);
        return v.kind() == TValue::Kind::Integer ? QString::number(v.integer())
                                                 : QString::fromStdString(v.bytes());
    }

    std::unique_ptr<TRecordTable> m_table;
    std::unique_ptr<TDataSource> m_source;
    std::unique_ptr<QWidget> m_window;
    TDBGrid *m_grid = nullptr;
    TDBGrid *m_other = nullptr;
    QLineEdit *m_elsewhere = nullptr;
    ScriptedDialogs *m_dialogs = nullptr;
};

void DBGridTest::init()
{
    auto d = std::make_unique<ScriptedDialogs>();
    m_dialogs = d.get();
    SetDialogs(std::move(d));

    m_table = std::make_unique<TRecordTable>(std::vector<TFieldDef>{
        {"Name", TFieldType::String, 20, true},
        {"KeyType", TFieldType::Integer},
        {"Shift", TFieldType::Boolean},
        {"Glyph", TFieldType::Graphic}});
    m_table->SetIndexFieldNames("Name");
    for (const char *n : {"a", "b", "c", "d"})
        m_table->AppendRecord({n, 1, false, TValue()});
    m_table->First();
    m_source = std::make_unique<TDataSource>(m_table.get());

    m_window = std::make_unique<QWidget>();
    auto *layout = new QHBoxLayout(m_window.get());
    m_grid = new TDBGrid(m_window.get());
    m_other = new TDBGrid(m_window.get());
    m_elsewhere = new QLineEdit(m_window.get());
    layout->addWidget(m_grid);
    layout->addWidget(m_other);
    layout->addWidget(m_elsewhere);
    TColumn type("KeyType", QStringLiteral("KeyType"), 8, TColumnKind::CodeList);
    type.Codes = {{QStringLiteral("Alpha"), 1}, {QStringLiteral("Num"), 2}, {QStringLiteral("Space"), 3}};
    type.DropDownRows = 8;
    for (TDBGrid *g : {m_grid, m_other}) {
        g->SetColumns({TColumn("Name", QStringLiteral("Name"), 8), type,
                       TColumn("Shift", QStringLiteral("Shift"), 4), TColumn("Glyph", QStringLiteral("Glyph"), 7)});
        g->SetDataSource(m_source.get());
    }
    m_window->resize(1100, 300);
    m_window->show();
    m_window->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(m_window.get()));
    m_grid->setFocus();
}

void DBGridTest::cleanup()
{
    m_window.reset();
    m_source.reset();
    m_table.reset();
    SetDialogs(nullptr);
}

void DBGridTest::typingEditsAndMovingPosts()
{
    clickCell(m_grid, 1, 0);
    QCOMPARE(m_table->RecNo(), 2);
    QTest::keyClicks(m_grid, "z");
    QCOMPARE(m_table->State(), TDataSetState::Edit); // typing alone starts the edit
    QCOMPARE(m_grid->Model()->headerData(1, Qt::Vertical).toString(), QStringLiteral("I"));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Down);
    QCOMPARE(m_table->State(), TDataSetState::Browse);
    QCOMPARE(stored(3, 0), QStringLiteral("z")); // posted and ordered by Name
    QCOMPARE(m_dialogs->count(ScriptedDialogs::Kind::Message), 0);
}

void DBGridTest::refusedPostIsReportedAndRowStaysInEdit()
{
    clickCell(m_grid, 0, 0);
    QTest::keyClick(m_grid, Qt::Key_F2);
    auto *editor = qobject_cast<QLineEdit *>(QApplication::focusWidget());
    QVERIFY(editor);
    editor->selectAll();
    QTest::keyClick(editor, Qt::Key_Backspace); // the key row loses its name
    QTest::keyClick(editor, Qt::Key_Down);

    QCOMPARE(m_dialogs->count(ScriptedDialogs::Kind::Message), 1);
    const auto &m = m_dialogs->last(ScriptedDialogs::Kind::Message);
    QCOMPARE(m.caption, QStringLiteral("Tarvo Keyfolio"));
    QCOMPARE(m.text, QStringLiteral("AppException: TDBGrid~EDatabaseError--Field 'Name' must have a value"));
    QCOMPARE(m_table->State(), TDataSetState::Edit);
    QCOMPARE(m_grid->currentIndex().row(), 0);
    QCOMPARE(m_table->RecNo(), 1);

    // Mending the name lets the move go on.
    QTest::keyClicks(m_grid, "n");
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Down);
    QCOMPARE(m_table->State(), TDataSetState::Browse);
    QCOMPARE(m_dialogs->count(ScriptedDialogs::Kind::Message), 1);
    QCOMPARE(stored(3, 0), QStringLiteral("n"));
}

void DBGridTest::insertStartsNewRowDroppedWhenLeftUntouched()
{
    clickCell(m_grid, 2, 0);
    QTest::keyClick(m_grid, Qt::Key_Insert);
    QCOMPARE(m_table->State(), TDataSetState::Insert);
    QCOMPARE(m_grid->model()->rowCount(), 5);
    QCOMPARE(m_grid->currentIndex().row(), 2); // where it was started
    QVERIFY(m_grid->Model()->IsNewRow(2));

    m_elsewhere->setFocus(); // untouched: dropped
    QCOMPARE(m_table->State(), TDataSetState::Browse);
    QCOMPARE(m_grid->model()->rowCount(), 4);

    m_grid->setFocus();
    QTest::keyClick(m_grid, Qt::Key_Insert);
    type(m_grid, QStringLiteral("bb"));
    m_elsewhere->setFocus(); // typed into: kept, still to be posted
    QCOMPARE(m_table->State(), TDataSetState::Insert);
    m_table->Post();
    QCOMPARE(m_table->RecordCount(), 5);
    QCOMPARE(stored(2, 0), QStringLiteral("bb"));
}

void DBGridTest::ctrlDeleteAsksFirst_data()
{
    QTest::addColumn<bool>("ok");
    QTest::addColumn<QStringList>("left");
    QTest::newRow("OK") << true << QStringList{"a", "c", "d"};
    QTest::newRow("Cancel") << false << QStringList{"a", "b", "c", "d"};
}

void DBGridTest::ctrlDeleteAsksFirst()
{
    QFETCH(bool, ok);
    QFETCH(QStringList, left);
    clickCell(m_grid, 1, 0);
    if (ok)
        m_dialogs->answerYes();
    else
        m_dialogs->answerCancel();
    QTest::keyClick(m_grid, Qt::Key_Delete, Qt::ControlModifier);
    QCOMPARE(m_dialogs->count(ScriptedDialogs::Kind::OkCancel), 1);
    QCOMPARE(m_dialogs->last(ScriptedDialogs::Kind::OkCancel).text, QStringLiteral("Delete record?"));
    QStringList names;
    for (int r = 0; r < m_table->RecordCount(); ++r)
        names << stored(r, 0);
    QCOMPARE(names, left);
    QCOMPARE(m_other->model()->rowCount(), left.size());
}

void DBGridTest::escapeCancelsTheRow()
{
    clickCell(m_grid, 0, 0);
    QTest::keyClicks(m_grid, "q");
    QVERIFY(m_grid->CommitEditor()); // closes the editor, row in edit
    QCOMPARE(m_table->State(), TDataSetState::Edit);
    QCOMPARE(m_grid->model()->index(0, 0).data().toString(), QStringLiteral("q"));
    QTest::keyClick(m_grid, Qt::Key_Escape);
    QCOMPARE(m_table->State(), TDataSetState::Browse);
    QCOMPARE(m_grid->model()->index(0, 0).data().toString(), QStringLiteral("a"));
}

void DBGridTest::arrowsMoveBetweenCellsTabLeaves_data()
{
    QTest::addColumn<int>("key");
    QTest::addColumn<int>("mods");
    QTest::addColumn<bool>("inCell"); // pressed in an open cell editor
    QTest::addColumn<QString>("focus");  // where the focus is then
    QTest::addColumn<int>("column");     // the grid's current column then
    QTest::newRow("Right") << int(Qt::Key_Right) << int(Qt::NoModifier) << false << "grid" << 2;
    QTest::newRow("Left") << int(Qt::Key_Left) << int(Qt::NoModifier) << false << "grid" << 0;
    QTest::newRow("Tab") << int(Qt::Key_Tab) << int(Qt::NoModifier) << false << "other" << 1;
    QTest::newRow("Shift+Tab") << int(Qt::Key_Backtab) << int(Qt::ShiftModifier) << false << "before" << 1;
    QTest::newRow("Tab in a cell") << int(Qt::Key_Tab) << int(Qt::NoModifier) << true << "other" << 0;
    QTest::newRow("Shift+Tab in a cell") << int(Qt::Key_Backtab) << int(Qt::ShiftModifier) << true << "before"
                                         << 0;
}

void DBGridTest::arrowsMoveBetweenCellsTabLeaves()
{
    QFETCH(int, key);
    QFETCH(int, mods);
    QFETCH(bool, inCell);
    QFETCH(QString, focus);
    QFETCH(int, column);
    // A control before the grid in the tab order.
    auto *before = new QLineEdit(m_window.get());
    QWidget::setTabOrder(before, m_grid);
    QWidget::setTabOrder(m_grid, m_other);
    before->show();
    clickCell(m_grid, 1, inCell ? 0 : 1);
    QWidget *target = m_grid;
    if (inCell) {
        QTest::keyClicks(m_grid, "n");
        target = QApplication::focusWidget();
        QVERIFY(target != m_grid);
    }
    QTest::keyClick(target, Qt::Key(key), Qt::KeyboardModifiers(mods));
    QWidget *expected = focus == QLatin1String("grid") ? static_cast<QWidget *>(m_grid)
                        : focus == QLatin1String("other") ? static_cast<QWidget *>(m_other)
                                                          : before;
    QCOMPARE(QApplication::focusWidget(), expected);
    QCOMPARE(m_grid->currentIndex(), m_grid->model()->index(1, column));
    QVERIFY(!cellOpen(m_grid));
    if (inCell) { // what was typed is in the row, not posted yet
        QCOMPARE(m_table->State(), TDataSetState::Edit);
        QCOMPARE(m_table->FieldByName("Name").AsString(), std::string("n"));
    }
}

void DBGridTest::returnPostsTheRow_data()
{
    QTest::addColumn<QString>("typed"); // into the Name cell of row 1 ("b")
    QTest::addColumn<int>("key");
    QTest::addColumn<bool>("closeFirst"); // the cell is closed before the key
    QTest::addColumn<int>("messages");
    QTest::addColumn<QString>("row3");    // Name of the last row then
    QTest::newRow("Return in the cell") << "z" << int(Qt::Key_Return) << false << 0 << "z";
    QTest::newRow("Enter in the cell") << "z" << int(Qt::Key_Enter) << false << 0 << "z";
    QTest::newRow("Return on the grid") << "z" << int(Qt::Key_Return) << true << 0 << "z";
    QTest::newRow("refused: reported, stays in edit") << "" << int(Qt::Key_Return) << true << 1 << "d";
}

void DBGridTest::returnPostsTheRow()
{
    QFETCH(QString, typed);
    QFETCH(int, key);
    QFETCH(bool, closeFirst);
    QFETCH(int, messages);
    QFETCH(QString, row3);
    clickCell(m_grid, 1, 0);
    QTest::keyClick(m_grid, Qt::Key_F2);
    auto *editor = qobject_cast<QLineEdit *>(QApplication::focusWidget());
    QVERIFY(editor);
    editor->selectAll();
    QTest::keyClick(editor, Qt::Key_Backspace);
    QTest::keyClicks(editor, typed);
    QWidget *target = editor;
    if (closeFirst) {
        m_grid->CommitEditor();
        target = m_grid;
    }
    QTest::keyClick(target, Qt::Key(key));
    QCoreApplication::processEvents();
    QCOMPARE(m_dialogs->count(ScriptedDialogs::Kind::Message), messages);
    QCOMPARE(m_table->State(), messages ? TDataSetState::Edit : TDataSetState::Browse);
    QCOMPARE(stored(3, 0), row3);
}

void DBGridTest::postFromOutsideTakesTheOpenCellAlong()
{
    clickCell(m_grid, 0, 0);
    type(m_grid, QStringLiteral("zz"));
    QVERIFY(cellOpen(m_grid));
    m_table->Post(); // as the navigator's Post does, while the cell is open
    QCOMPARE(m_table->State(), TDataSetState::Browse);
    QCOMPARE(stored(3, 0), QStringLiteral("zz"));
    QVERIFY(!cellOpen(m_grid));
    // Typing again puts the row into edit again.
    QTest::keyClicks(m_grid, "y");
    QCOMPARE(m_table->State(), TDataSetState::Edit);
}

void DBGridTest::codeListPicksByName()
{
    clickCell(m_grid, 2, 1);
    QTest::keyClick(m_grid, Qt::Key_F2);
    auto *combo = m_grid->findChild<QComboBox *>();
    QVERIFY(combo);
    QCOMPARE(combo->count(), 3);
    QCOMPARE(combo->itemText(1), QStringLiteral("Num"));
    QCOMPARE(combo->maxVisibleItems(), 8);
    QCOMPARE(combo->currentText(), QStringLiteral("Alpha"));
    combo->lineEdit()->selectAll();
    QTest::keyClicks(combo->lineEdit(), "space"); // typed name, any case
    pressReturn(combo->lineEdit());
    QCOMPARE(m_table->State(), TDataSetState::Browse); // Return posts
    QCOMPARE(m_table->FieldByName("KeyType").AsInteger(), 3);
    QCOMPARE(m_other->model()->index(2, 1).data().toString(), QStringLiteral("Space"));
}

void DBGridTest::checkBoxToggles()
{
    clickCell(m_grid, 3, 2);
    QTest::keyClick(m_grid, Qt::Key_Space);
    QCOMPARE(m_table->State(), TDataSetState::Edit);
    QCOMPARE(m_table->FieldByName("Shift").AsBoolean(), true);
    QCOMPARE(m_grid->model()->index(3, 2).data(Qt::CheckStateRole).toInt(), int(Qt::Checked));
}

void DBGridTest::pictureDrawnUnscaled()
{
    QImage red(12, 9, QImage::Format_RGB32);
    red.fill(Qt::red);
    m_table->First();
    m_table->Edit();
    m_table->FieldByName("Glyph").SetAsBytes(ImageToGlyph(red));
    m_table->Post();
    m_grid->setColumnWidth(3, 60);
    QApplication::processEvents();
    const QRect cell = m_grid->visualRect(m_grid->model()->index(0, 3));
    const QImage shot = m_grid->viewport()->grab().toImage();
    const QPoint origin = cell.topLeft() + QPoint(2, 2);
    QCOMPARE(QColor(shot.pixel(origin + QPoint(11, 4))), QColor(Qt::red));  // last column of the picture
    QVERIFY(QColor(shot.pixel(origin + QPoint(13, 4))) != QColor(Qt::red)); // not stretched
    QCOMPARE(m_grid->model()->index(0, 3).data(Qt::AccessibleTextRole).toString(),
             QStringLiteral("Picture 12 x 9"));
}

void DBGridTest::titleClicksAreReported()
{
    QSignalSpy clicks(m_grid, &TDBGrid::TitleClick);
    auto clickTitle = [&](int column) {
        QHeaderView *h = m_grid->horizontalHeader();
        QTest::mouseClick(h->viewport(), Qt::LeftButton, {},
                          QPoint(h->sectionViewportPosition(column) + 5, h->height() / 2));
    };
    clickTitle(1);
    QCOMPARE(clicks.count(), 0); // titles do nothing unless asked
    m_grid->SetTitlesClickable(true);
    clickTitle(1);
    QCOMPARE(clicks.count(), 1);
    QCOMPARE(clicks.first().at(0).toInt(), 1);
    QCOMPARE(clicks.first().at(1).toString(), QStringLiteral("KeyType"));
}

void DBGridTest::multiSelectWithCtrlAndPlainClickDrops()
{
    m_grid->SetMultiSelect(true);
    auto selectedNames = [&] {
        QStringList names;
        for (const TBookmark &b : m_grid->SelectedBookmarks())
            names << QString::fromStdString(m_table->BookmarkValue(b, 0).bytes());
        return names;
    };
    clickCell(m_grid, 0, 0);
    QCOMPARE(selectedNames(), QStringList());
    clickCell(m_grid, 1, 0, Qt::ControlModifier);
    clickCell(m_grid, 3, 0, Qt::ControlModifier);
    QCOMPARE(selectedNames(), (QStringList{"b", "d"}));
    QCOMPARE(m_table->RecNo(), 4); // the current row follows the clicks
    clickCell(m_grid, 2, 0);
    QCOMPARE(selectedNames(), QStringList());
}

void DBGridTest::twoGridsShowOneCurrentRowAndEachOthersEdits()
{
    clickCell(m_grid, 2, 0);
    QCOMPARE(m_other->currentIndex().row(), 2);
    type(m_grid, QStringLiteral("x"));
    QVERIFY(m_grid->CommitEditor()); // the cell's text goes into the row
    QCOMPARE(m_other->model()->index(2, 0).data().toString(), QStringLiteral("x"));
    QCOMPARE(m_other->model()->headerData(2, Qt::Vertical).toString(), QStringLiteral("I"));
    // the other grid takes over: moving there posts the edit
    clickCell(m_other, 0, 0);
    QCOMPARE(m_table->State(), TDataSetState::Browse);
    QCOMPARE(m_grid->currentIndex().row(), 0);
    QCOMPARE(m_grid->model()->index(3, 0).data().toString(), QStringLiteral("x"));
}

void DBGridTest::reachableAsAccessibleTable()
{
    m_grid->setAccessibleName(QStringLiteral("Keys"));
    QAccessibleInterface *grid = QAccessible::queryAccessibleInterface(m_grid);
    QVERIFY(grid);
    QCOMPARE(grid->role(), QAccessible::Table);
    QCOMPARE(grid->text(QAccessible::Name), QStringLiteral("Keys"));
    QAccessibleTableInterface *table = grid->tableInterface();
    QVERIFY(table);
    QCOMPARE(table->rowCount(), 4);
    QCOMPARE(table->columnCount(), 4);
    QAccessibleInterface *cell = table->cellAt(1, 1);
    QVERIFY(cell);
    QCOMPARE(cell->text(QAccessible::Name), QStringLiteral("Alpha"));
    QCOMPARE(table->columnDescription(0), QStringLiteral("Name"));
}

void DBGridTest::onlyTheGridWithTheFocusHasAFocusedCell_data()
{
    QTest::addColumn<QString>("focus"); // grid, other, elsewhere, cell editor
    QTest::addColumn<bool>("gridCell");  // the grid's current cell reports the focus
    QTest::addColumn<bool>("otherCell"); // the other grid's current cell does
    QTest::newRow("grid") << "grid" << true << false;
    QTest::newRow("other grid") << "other" << false << true;
    QTest::newRow("elsewhere") << "elsewhere" << false << false;
    QTest::newRow("cell editor") << "editor" << false << false;
}

void DBGridTest::onlyTheGridWithTheFocusHasAFocusedCell()
{
    QFETCH(QString, focus);
    QFETCH(bool, gridCell);
    QFETCH(bool, otherCell);
    clickCell(m_grid, 2, 0);
    if (focus == QLatin1String("other"))
        m_other->setFocus();
    else if (focus == QLatin1String("elsewhere"))
        m_elsewhere->setFocus();
    else if (focus == QLatin1String("editor"))
        QTest::keyClick(m_grid, Qt::Key_F2);
    auto focusedCell = [](TDBGrid *g) {
        QAccessibleTableInterface *t = QAccessible::queryAccessibleInterface(g)->tableInterface();
        int focused = 0;
        for (int r = 0; r < t->rowCount(); ++r)
            for (int c = 0; c < t->columnCount(); ++c)
                focused += t->cellAt(r, c)->state().focused ? 1 : 0;
        const QModelIndex current = g->currentIndex();
        return focused == 1 && t->cellAt(current.row(), current.column())->state().focused;
    };
    QCOMPARE(m_other->currentIndex().row(), 2); // both grids show the same current row
    QCOMPARE(focusedCell(m_grid), gridCell);
    QCOMPARE(focusedCell(m_other), otherCell);
    if (focus == QLatin1String("editor"))
        QVERIFY(QAccessible::queryAccessibleInterface(QApplication::focusWidget())->state().focused);
}

QTEST_MAIN(DBGridTest)
#include "DBGrid_test.moc"
