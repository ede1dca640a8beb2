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

class DBNavigatorTest : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    void buttonsCarryTheirHintsAndTakeNoFocus();
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

void DBNavigatorTest::buttonsCarryTheirHintsAndTakeNoFocus()
{
    const QStringList hints{"First record", "Prior record", "Next record", "Last record",
                            "Insert record", "Delete record", "Post edit", "Cancel edit"};
    for (int i = 0; i < TDBNavigator::ButtonCount; ++i) {
        QToolButton *b = m_nav->ButtonOf(TDBNavigator::Button(i));
        QCOMPARE(b->toolTip(), hints[i]);
        QCOMPARE(b->focusPolicy(), Qt::NoFocus);
        QAccessibleInterface *a = QAccessible::queryAccessibleInterface(b);
        QCOMPARE(a->text(QAccessible::Name), hints[i]); // icon-only: named by its hint
        QCOMPARE(a->role(), QAccessible::Button);
    }
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
