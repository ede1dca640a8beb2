// The table model over a record-table cursor: what it shows, how edits go
// through the cursor, and that it stays in step with every change.

#include "common/Errors.h"
#include "dbctrls/TableModel.h"
#include "table/DataSource.h"
#include "model/GlyphCodec.h"
#include "table/RecordTable.h"

#include <QAbstractItemModelTester>
#include <QtTest>

#include <memory>

using namespace kf;

namespace {

std::vector<TFieldDef> keyFields()
{
    return {{"Name", TFieldType::String, 20, true},
            {"KeyType", TFieldType::Integer},
            {"Shift", TFieldType::Boolean},
            {"Glyph", TFieldType::Graphic}};
}

std::vector<TColumn> keyColumns()
{
    TColumn type("KeyType", QStringLiteral("KeyType"), 8, TColumnKind::CodeList);
    type.Codes = {{QStringLiteral("Alpha"), 1}, {QStringLiteral("Num"), 2}, {QStringLiteral("L Shift"), 1002}};
    return {TColumn("Name", QStringLiteral("Name"), 8), type,
            TColumn("Shift", QStringLiteral("Shift"), 4), TColumn("Glyph", QStringLiteral("Glyph"), 7)};
}

// The names the model shows, top to bottom ("*" marks the unposted new row).
QStringList shownNames(const TTableModel &m)
{
    QStringList out;
    for (int r = 0; r < m.rowCount(); ++r)
        out << (m.IsNewRow(r) ? QStringLiteral("*") : QString()) + m.index(r, 0).data().toString();
    return out;
}

// The names the cursor sees in its view order.
QStringList cursorNames(const TRecordTable &t)
{
    QStringList out;
    for (int r = 0; r < t.RecordCount(); ++r)
        out << QString::fromStdString(t.FieldValueAt(r, 0).bytes());
    return out;
}

} // namespace

class TableModelTest : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    void showsFieldsByColumnKind();
    void editsGoThroughTheCursor();
    void refusedValuesChangeNothing_data();
    void refusedValuesChangeNothing();
    void followsEveryChangeUnderTheTester();
    void viewsOnOneTableStayInStep();
    void bindingPointCanBeRebound();
    void picturesAreDecodedOncePerChange();

private:
    std::unique_ptr<TRecordTable> m_table;
    std::unique_ptr<TDataSource> m_source;
};

void TableModelTest::init()
{
    m_table = std::make_unique<TRecordTable>(keyFields());
    m_table->SetIndexFieldNames("Name");
    m_table->AppendRecord({"b", 2, false, TValue()});
    m_table->AppendRecord({"a", 1, true, TValue()});
    m_table->AppendRecord({"c", 77, false, TValue()});
    m_table->First();
    m_source = std::make_unique<TDataSource>(m_table.get());
}

void TableModelTest::cleanup()
{
    m_source.reset();
    m_table.reset();
}

void TableModelTest::showsFieldsByColumnKind()
{
    TTableModel m;
    m.SetDataSource(m_source.get());
    m.SetColumns(keyColumns());
    QCOMPARE(m.rowCount(), 3);
    QCOMPARE(m.columnCount(), 4);
    QCOMPARE(m.headerData(1, Qt::Horizontal).toString(), QStringLiteral("KeyType"));
    QCOMPARE(shownNames(m), (QStringList{"a", "b", "c"}));
    // code list: the entry's name; blank when no entry has the code
    QCOMPARE(m.index(0, 1).data().toString(), QStringLiteral("Alpha"));
    QCOMPARE(m.index(1, 1).data().toString(), QStringLiteral("Num"));
    QCOMPARE(m.index(2, 1).data().toString(), QString());
    QCOMPARE(m.index(2, 1).data(Qt::EditRole).toInt(), 77); // the stored value stays
    // check box
    QCOMPARE(m.index(0, 2).data(Qt::CheckStateRole).toInt(), int(Qt::Checked));
    QCOMPARE(m.index(1, 2).data(Qt::CheckStateRole).toInt(), int(Qt::Unchecked));
    QVERIFY(m.flags(m.index(0, 2)) & Qt::ItemIsUserCheckable);
    // picture: not edited in the cell
    QVERIFY(!(m.flags(m.index(0, 3)) & Qt::ItemIsEditable));
    QVERIFY(qvariant_cast<QImage>(m.index(0, 3).data(TTableModel::PictureRole)).isNull());
    // the row indicator marks the cursor's row
    QCOMPARE(m.CurrentRow(), 0);
    QCOMPARE(m.headerData(0, Qt::Vertical).toString(), QStringLiteral("\u25B6"));
    QCOMPARE(m.headerData(1, Qt::Vertical).toString(), QString());
}

void TableModelTest::editsGoThroughTheCursor()
{
    TTableModel m;
    m.SetDataSource(m_source.get());
    m.SetColumns(keyColumns());

    // Setting a cell of another row moves there and puts that row into edit.
    QVERIFY(m.setData(m.index(1, 1), QStringLiteral("l shift")));
    QCOMPARE(m_table->State(), TDataSetState::Edit);
    QCOMPARE(m.CurrentRow(), 1);
    QCOMPARE(m.index(1, 1).data().toString(), QStringLiteral("L Shift")); // the buffer shows
    QCOMPARE(m_table->FieldValueAt(1, 1).integer(), 2);                   // not stored yet
    QCOMPARE(m.headerData(1, Qt::Vertical).toString(), QStringLiteral("I"));

    QVERIFY(m.setData(m.index(1, 2), int(Qt::Checked), Qt::CheckStateRole));
    m_table->Post();
    QCOMPARE(m_table->FieldValueAt(1, 1).integer(), 1002);
    QCOMPARE(m_table->FieldValueAt(1, 2).boolean(), true);

    // An unchanged value leaves the row in browse.
    QVERIFY(m.setData(m.index(1, 0), QStringLiteral("b")));
    QCOMPARE(m_table->State(), TDataSetState::Browse);

    // A text that names no entry and is no number is refused.
    QVERIFY_THROWS_EXCEPTION(EConvertError, m.setData(m.index(0, 1), QStringLiteral("Alphabet")));

    // Emptying a code-list cell stores null.
    QVERIFY(m.setData(m.index(0, 1), QString()));
    m_table->Post();
    QVERIFY(m_table->FieldValueAt(0, 1).IsNull());
    QCOMPARE(m.index(0, 1).data().toString(), QString());
}

void TableModelTest::refusedValuesChangeNothing_data()
{
    QTest::addColumn<int>("column");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("reason");
    QTest::newRow("letters") << 1 << "12a" << "";
    QTest::newRow("too large") << 1 << "4294967296" << "";
    QTest::newRow("decimal") << 1 << "1.5" << "";
    // No code page the program offers holds these: the table would keep "?".
    QTest::newRow("not in the code page") << 0 << QStringLiteral("a\u4E2D\U0001F600")
                                          << QStringLiteral(": \u4E2D, \U0001F600");
}

void TableModelTest::refusedValuesChangeNothing()
{
    QFETCH(int, column);
    QFETCH(QString, text);
    QFETCH(QString, reason);
    TTableModel m;
    m.SetDataSource(m_source.get());
    m.SetColumns({TColumn("Name", QStringLiteral("Name"), 8),
                  TColumn("KeyType", QStringLiteral("Value"), 6, TColumnKind::Number)});
    const QStringList before{m.index(0, 0).data().toString(), m.index(0, 1).data().toString()};
    try {
        m.setData(m.index(0, column), text);
        QFAIL("the value was taken");
    } catch (const EConvertError &e) {
        QVERIFY2(QString::fromStdString(e.what()).endsWith(reason), e.what());
    }
    QCOMPARE(m_table->State(), TDataSetState::Browse);
    QCOMPARE((QStringList{m.index(0, 0).data().toString(), m.index(0, 1).data().toString()}), before);
}

void TableModelTest::followsEveryChangeUnderTheTester()
{
    TTableModel m;
    m.SetDataSource(m_source.get());
    m.SetColumns(keyColumns());
    QAbstractItemModelTester tester(&m, QAbstractItemModelTester::FailureReportingMode::QtTest);

    struct Step {
        const char *name;
        std::function<void(TRecordTable &)> run;
        QStringList expected;
    };
    const std::vector<Step> steps = {
        {"append", [](TRecordTable &t) { t.AppendRecord({"d", 1, false, TValue()}); }, {"a", "b", "c", "d"}},
        {"edit a key so the row moves",
         [](TRecordTable &t) {
             t.First();
             t.Edit();
             t.FieldByName("Name").SetAsString("e");
         },
         {"e", "b", "c", "d"}},
        {"post it", [](TRecordTable &t) { t.Post(); }, {"b", "c", "d", "e"}},
        {"start a new row before c",
         [](TRecordTable &t) {
             t.SetRecNo(2);
             t.Insert();
         },
         {"b", "*", "c", "d", "e"}},
        {"type into it", [](TRecordTable &t) { t.FieldByName("Name").SetAsString("aa"); }, {"b", "*aa", "c", "d", "e"}},
        {"another view's row lands before it",
         [](TRecordTable &t) {
             TRecordTable other;
             other.CloneCursor(t);
             other.AppendRecord({"0", 1, false, TValue()});
         },
         {"0", "b", "*aa", "c", "d", "e"}},
        {"post the new row", [](TRecordTable &t) { t.Post(); }, {"0", "aa", "b", "c", "d", "e"}},
        {"insert and cancel",
         [](TRecordTable &t) {
             t.Insert();
             t.Cancel();
         },
         {"0", "aa", "b", "c", "d", "e"}},
        {"delete", [](TRecordTable &t) {
             t.First();
             t.Delete();
         }, {"aa", "b", "c", "d", "e"}},
        {"filter", [](TRecordTable &t) {
             t.SetFilter("KeyType>=2");
             t.SetFiltered(true);
         }, {"b", "c"}},
        {"filter off and bulk work",
         [](TRecordTable &t) {
             t.SetFiltered(false);
             t.DisableControls();
             for (int i = 0; i < 50; ++i)
                 t.AppendRecord({("z" + std::to_string(100 + i)).c_str(), i, false, TValue()});
             t.EnableControls();
         },
         {}},
        {"empty", [](TRecordTable &t) { t.EmptyDataSet(); }, {}},
        {"new row on an empty table", [](TRecordTable &t) { t.Edit(); }, {"*"}},
    };
    for (const Step &s : steps) {
        s.run(*m_table);
        if (QTest::currentTestFailed())
            QFAIL(s.name);
        if (!s.expected.isEmpty() || std::string(s.name) == "empty")
            QVERIFY2(shownNames(m) == s.expected, qPrintable(QStringLiteral("%1: %2").arg(QLatin1String(s.name), shownNames(m).join(QLatin1Char(',')))));
        // Outside edits the rows shown are the cursor's view, and the current
        // rows agree.
        if (m_table->State() == TDataSetState::Browse) {
            QVERIFY2(shownNames(m) == cursorNames(*m_table), s.name);
            QVERIFY2(m.CurrentRow() == m_table->RecNo() - 1, s.name);
        }
    }
}

void TableModelTest::viewsOnOneTableStayInStep()
{
    // Two views of one cursor, and one of a second cursor on the same rows.
    TTableModel grid, second, clone;
    grid.SetDataSource(m_source.get());
    second.SetDataSource(m_source.get());
    TRecordTable other;
    other.CloneCursor(*m_table);
    TDataSource otherSource(&other);
    clone.SetDataSource(&otherSource);
    for (TTableModel *m : {&grid, &second, &clone})
        m->SetColumns(keyColumns());
    QAbstractItemModelTester t1(&grid, QAbstractItemModelTester::FailureReportingMode::QtTest);
    QAbstractItemModelTester t2(&clone, QAbstractItemModelTester::FailureReportingMode::QtTest);

    QSignalSpy moved(&second, &TTableModel::CurrentRowMoved);
    // edit through the first view: the second shows the buffer at once
    QVERIFY(grid.setData(grid.index(2, 0), QStringLiteral("cc")));
    QCOMPARE(second.CurrentRow(), 2);
    QVERIFY(!moved.isEmpty());
    QCOMPARE(second.index(2, 0).data().toString(), QStringLiteral("cc"));
    QCOMPARE(clone.index(2, 0).data().toString(), QStringLiteral("c")); // other cursor: stored rows
    // cancel: both show the stored value again
    m_table->Cancel();
    QCOMPARE(second.index(2, 0).data().toString(), QStringLiteral("c"));
    // post: every view sees it
    QVERIFY(second.setData(second.index(0, 0), QStringLiteral("x")));
    m_table->Post();
    QCOMPARE(shownNames(grid), (QStringList{"b", "c", "x"}));
    QCOMPARE(shownNames(second), (QStringList{"b", "c", "x"}));
    QCOMPARE(shownNames(clone), (QStringList{"b", "x", "c"})); // stored order
    // insert: the new row shows in both views of the cursor
    m_table->Insert();
    QCOMPARE(grid.rowCount(), 4);
    QCOMPARE(second.rowCount(), 4);
    QCOMPARE(grid.CurrentRow(), second.CurrentRow());
    QVERIFY(grid.IsNewRow(grid.CurrentRow()));
    QCOMPARE(clone.rowCount(), 3);
    m_table->FieldByName("Name").SetAsString("m");
    m_table->Post();
    QCOMPARE(shownNames(second), (QStringList{"b", "c", "m", "x"}));
    QCOMPARE(clone.rowCount(), 4);
    // delete through the clone: gone everywhere
    other.First();
    other.Delete();
    QCOMPARE(shownNames(grid), (QStringList{"c", "m", "x"}));
    QCOMPARE(shownNames(second), (QStringList{"c", "m", "x"}));
    QCOMPARE(grid.CurrentRow(), second.CurrentRow());
    QCOMPARE(grid.CurrentRow(), m_table->RecNo() - 1);
}

void TableModelTest::bindingPointCanBeRebound()
{
    TTableModel m;
    m.SetDataSource(m_source.get());
    QAbstractItemModelTester tester(&m, QAbstractItemModelTester::FailureReportingMode::QtTest);
    QCOMPARE(m.columnCount(), 4); // every field
    TRecordTable words({{"Word", TFieldType::String, 40}, {"Count", TFieldType::Integer}});
    words.AppendRecord({"tea", 3});
    m_source->SetDataSet(&words);
    QCOMPARE(m.columnCount(), 2);
    QCOMPARE(m.index(0, 1).data().toString(), QStringLiteral("3"));
    m_source->SetDataSet(nullptr);
    QCOMPARE(m.rowCount(), 0);
    m_source->SetDataSet(m_table.get());
    m_source.reset(); // the binding point goes first
    QCOMPARE(m.rowCount(), 0);
}

// A picture cell is decoded when its row's picture changes, not on every
// paint and size hint: asking again gives the image decoded before.
void TableModelTest::picturesAreDecodedOncePerChange()
{
    auto glyph = [](QColor c, int w) {
        QImage img(w, 4, QImage::Format_RGB32);
        img.fill(c);
        return ImageToGlyph(img);
    };
    m_table->First(); // a
    m_table->Edit();
    m_table->FieldByName("Glyph").SetAsBytes(glyph(Qt::red, 3));
    m_table->Next(); // posts a; b
    m_table->Edit();
    m_table->FieldByName("Glyph").SetAsBytes(glyph(Qt::blue, 5));
    m_table->Post();

    TTableModel m;
    m.SetDataSource(m_source.get());
    m.SetColumns(keyColumns());
    QAbstractItemModelTester tester(&m, QAbstractItemModelTester::FailureReportingMode::QtTest);
    auto picture = [&](int row) { return qvariant_cast<QImage>(m.index(row, 3).data(TTableModel::PictureRole)); };
    const QImage a = picture(0);
    const QImage b = picture(1);
    QCOMPARE(a.size(), QSize(3, 4));
    QCOMPARE(b.size(), QSize(5, 4));
    QCOMPARE(m.index(0, 3).data(Qt::AccessibleTextRole).toString(), QStringLiteral("Picture 3 x 4"));
    QCOMPARE(picture(0).cacheKey(), a.cacheKey()); // a second paint decodes nothing
    QCOMPARE(picture(1).cacheKey(), b.cacheKey());

    // Another field of the row, in edit and posted: the same picture.
    m_table->First();
    m_table->Edit();
    m_table->FieldByName("KeyType").SetAsInteger(2);
    QCOMPARE(picture(0).cacheKey(), a.cacheKey());
    m_table->Post();
    QCOMPARE(picture(0).cacheKey(), a.cacheKey());

    // The row's picture changes: that row is decoded anew, the other is not.
    m_table->Edit();
    m_table->FieldByName("Glyph").SetAsBytes(glyph(Qt::green, 6));
    QCOMPARE(picture(0).size(), QSize(6, 4));
    m_table->Post();
    QCOMPARE(picture(0).size(), QSize(6, 4));
    QCOMPARE(QColor(picture(0).pixel(0, 0)), QColor(Qt::green));
    QVERIFY(picture(0).cacheKey() != a.cacheKey());
    QCOMPARE(picture(1).cacheKey(), b.cacheKey());
}

QTEST_MAIN(TableModelTest)
#include "TableModel_test.moc"
