// The navigator bar: its buttons, when they can be used, the delete question
// and a refused post.

#include "common/ScriptedDialogs.h"
#include "dbctrls/DBGrid.h"
#include "dbctrls/DBNavigator.h"
#include "dbctrls/TableModel.h"
#include "table/DataSource.h"
#include "table/RecordTable.h"

#include <QAccessible>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QToolButton>
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

class DBNavigatorTest : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    void buttonsCarryTheirHintsAndKeys();
    void tabReachesTheButtonsAndSpacePresses();
    void postAndCancelWorkWhileACellIsOpen_data();
    void postAndCancelWorkWhileACellIsOpen();
    void buttonsFollowPositionAndState();
    void deleteAsksFirst_data();
    void deleteAsksFirst();
    void refusedPostIsReportedAndRowStaysInEdit();
    void insertFromTheBarKeepsTheGridsNewRow();

private:
    void click(TDBNavigator::Button b) { QTest::mouseClick(m_nav->ButtonOf(b), Qt::LeftButton); }
    QString enabledButtons() const
    {
        QString s;
        for (int i = 0; i < TDBNavigator::ButtonCount; ++i)
            s += m_nav->ButtonOf(TDBNavigator::Button(i))->isEnabled() ? QLatin1Char('1') : QLatin1Char('0');
        return s;
    }

    std::unique_ptr<TRecordTable> m_table;
    std::unique_ptr<TDataSource> m_source;
    std::unique_ptr<QWidget> m_window;
    TDBNavigator *m_nav = nullptr;
    TDBGrid *m_grid = nullptr;
    ScriptedDialogs *m_dialogs = nullptr;
};

void DBNavigatorTest::init()
{
    auto d = std::make_unique<ScriptedDialogs>();
    m_dialogs = d.get();
    SetDialogs(std::move(d));
    m_table = std::make_unique<TRecordTable>(
        std::vector<TFieldDef>{{"Name", TFieldType::String, 20, true}, {"X", TFieldType::Integer}});
    m_table->SetIndexFieldNames("Name");
    for (const char *n : {"a", "b", "c"})
        m_table->AppendRecord({n, 0});
    m_table->First();
    m_source = std::make_unique<TDataSource>(m_table.get());
    m_window = std::make_unique<QWidget>();
    auto *layout = new QHBoxLayout(m_window.get());
    m_nav = new TDBNavigator(m_window.get());
    m_grid = new TDBGrid(m_window.get());
    layout->addWidget(m_nav);
    layout->addWidget(m_grid);
    layout->addWidget(new QLineEdit(m_window.get()));
    m_nav->SetDataSource(m_source.get());
    m_grid->SetDataSource(m_source.get());
    m_window->show();
    m_window->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(m_window.get()));
}

void DBNavigatorTest::cleanup()
{
    m_window.reset();
    m_source.reset();
    m_table.reset();
    SetDialogs(nullptr);
}

void DBNavigatorTest::buttonsCarryTheirHintsAndKeys()
{
    const QStringList hints{"First record", "Prior record", "Next record", "Last record",
                            "Insert record", "Delete record", "Post edit", "Cancel edit"};
    const QStringList keys{"Ctrl+Home", "Up", "Down", "Ctrl+End", "Insert", "Ctrl+Delete", "Return", "Esc"};
    for (int i = 0; i < TDBNavigator::ButtonCount; ++i) {
        QToolButton *b = m_nav->ButtonOf(TDBNavigator::Button(i));
        QCOMPARE(b->toolTip(), hints[i] + " (" + keys[i] + ")");
        QCOMPARE(b->focusPolicy(), Qt::TabFocus); // reached by Tab, not taken by a click
        QAccessibleInterface *a = QAccessible::queryAccessibleInterface(b);
        QCOMPARE(a->text(QAccessible::Name), hints[i]); // icon-only: named by its hint
        QCOMPARE(a->text(QAccessible::Description), "In the grid: " + keys[i]);
        QCOMPARE(a->role(), QAccessible::Button);
    }
}

void DBNavigatorTest::tabReachesTheButtonsAndSpacePresses()
{
    m_grid->setFocus();
    // Back from the grid: the enabled buttons, last first (Delete, Insert).
    QTest::keyClick(m_grid, Qt::Key_Backtab, Qt::ShiftModifier);
    QCOMPARE(QApplication::focusWidget(), m_nav->ButtonOf(TDBNavigator::nbDelete));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backtab, Qt::ShiftModifier);
    QCOMPARE(QApplication::focusWidget(), m_nav->ButtonOf(TDBNavigator::nbInsert));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Space);
    QCOMPARE(m_table->State(), TDataSetState::Insert);
    m_table->FieldByName("Name").SetAsString("n");
    // Post is enabled now: Tab reaches it and Space posts.
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    QCOMPARE(QApplication::focusWidget(), m_nav->ButtonOf(TDBNavigator::nbPost));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Space);
    QCOMPARE(m_table->State(), TDataSetState::Browse);
    QCOMPARE(m_table->RecordCount(), 4);
}

void DBNavigatorTest::postAndCancelWorkWhileACellIsOpen_data()
{
    QTest::addColumn<QString>("typed"); // into the open Name cell of row "b"; empty: nothing
    QTest::addColumn<int>("button");
    QTest::addColumn<QString>("name"); // the row's Name then
    QTest::newRow("Post, typed") << "q" << int(TDBNavigator::nbPost) << "q";
    QTest::newRow("Post, nothing typed") << "" << int(TDBNavigator::nbPost) << "b";
    QTest::newRow("Cancel, typed") << "q" << int(TDBNavigator::nbCancel) << "b";
    QTest::newRow("Cancel, nothing typed") << "" << int(TDBNavigator::nbCancel) << "b";
    QTest::newRow("Next, typed") << "q" << int(TDBNavigator::nbNext) << "q";
}

void DBNavigatorTest::postAndCancelWorkWhileACellIsOpen()
{
    QFETCH(QString, typed);
    QFETCH(int, button);
    QFETCH(QString, name);
    m_table->Next(); // "b"
    const TBookmark b = m_table->GetBookmark();
    m_grid->setFocus();
    QTest::keyClick(m_grid, Qt::Key_F2); // a cell editor opens
    QVERIFY(cellOpen(m_grid));
    auto *editor = qobject_cast<QLineEdit *>(QApplication::focusWidget());
    QVERIFY(editor);
    if (!typed.isEmpty()) {
        editor->selectAll();
        QTest::keyClicks(editor, typed);
    }
    // What assistive technology reads is what a press does: Post and Cancel work now.
    for (auto which : {TDBNavigator::nbPost, TDBNavigator::nbCancel}) {
        QToolButton *tb = m_nav->ButtonOf(which);
        QVERIFY(tb->isEnabled());
        QVERIFY(!QAccessible::queryAccessibleInterface(tb)->state().disabled);
    }
    click(TDBNavigator::Button(button));
    QCOMPARE(m_dialogs->count(ScriptedDialogs::Kind::Message), 0);
    QVERIFY(!cellOpen(m_grid));
    QCOMPARE(m_table->State(), TDataSetState::Browse);
    QCOMPARE(QString::fromStdString(m_table->BookmarkValue(b, 0).bytes()), name);
    // Nothing left to post or cancel: both say so.
    QVERIFY(!m_nav->ButtonOf(TDBNavigator::nbPost)->isEnabled());
    QVERIFY(!m_nav->ButtonOf(TDBNavigator::nbCancel)->isEnabled());
}

void DBNavigatorTest::buttonsFollowPositionAndState()
{
    //                       F P N L I D P C
    QCOMPARE(enabledButtons(), QStringLiteral("00111100"));
    click(TDBNavigator::nbNext);
    QCOMPARE(m_table->RecNo(), 2);
    QCOMPARE(enabledButtons(), QStringLiteral("11111100"));
    click(TDBNavigator::nbLast);
    QCOMPARE(m_table->RecNo(), 3);
    QCOMPARE(enabledButtons(), QStringLiteral("11001100"));
    click(TDBNavigator::nbFirst);
    QCOMPARE(m_table->RecNo(), 1);
    m_table->Edit(); // an edit started elsewhere
    QCOMPARE(enabledButtons(), QStringLiteral("11111111"));
    click(TDBNavigator::nbCancel);
    QCOMPARE(m_table->State(), TDataSetState::Browse);
    m_table->EmptyDataSet();
    QCOMPARE(enabledButtons(), QStringLiteral("00001000"));
}

void DBNavigatorTest::deleteAsksFirst_data()
{
    QTest::addColumn<bool>("ok");
    QTest::addColumn<int>("left");
    QTest::newRow("OK") << true << 2;
    QTest::newRow("Cancel") << false << 3;
}

void DBNavigatorTest::deleteAsksFirst()
{
    QFETCH(bool, ok);
    QFETCH(int, left);
    if (ok)
        m_dialogs->answerYes();
    else
        m_dialogs->answerCancel();
    click(TDBNavigator::nbDelete);
    QCOMPARE(m_dialogs->count(ScriptedDialogs::Kind::OkCancel), 1);
    QCOMPARE(m_dialogs->last(ScriptedDialogs::Kind::OkCancel).text, QStringLiteral("Delete record?"));
    QCOMPARE(m_table->RecordCount(), left);
}

void DBNavigatorTest::refusedPostIsReportedAndRowStaysInEdit()
{
    click(TDBNavigator::nbInsert);
    QCOMPARE(m_table->State(), TDataSetState::Insert);
    m_table->FieldByName("X").SetAsInteger(5);
    click(TDBNavigator::nbPost);
    QCOMPARE(m_dialogs->count(ScriptedDialogs::Kind::Message), 1);
    QCOMPARE(m_dialogs->last(ScriptedDialogs::Kind::Message).text,
             QStringLiteral("AppException: TDBNavigator~EDatabaseError--Field 'Name' must have a value"));
    QCOMPARE(m_table->State(), TDataSetState::Insert);
    QCOMPARE(m_table->RecordCount(), 3);
    // The grid's indicator still shows the new row.
    QCOMPARE(m_grid->Model()->headerData(m_grid->Model()->CurrentRow(), Qt::Vertical).toString(),
             QStringLiteral("*"));
}

void DBNavigatorTest::insertFromTheBarKeepsTheGridsNewRow()
{
    m_grid->setFocus();
    click(TDBNavigator::nbInsert);
    QVERIFY(m_grid->hasFocus()); // the bar took no focus, so nothing was dropped
    QCOMPARE(m_table->State(), TDataSetState::Insert);
    QCOMPARE(m_grid->model()->rowCount(), 4);
}

QTEST_MAIN(DBNavigatorTest)
#include "DBNavigator_test.moc"
