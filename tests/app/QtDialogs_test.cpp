// Filters written as "Text|patterns" pairs become Qt's name filters.

#include "app/QtDialogs.h"

#include <QtTest>

class QtDialogsTest : public QObject {
    Q_OBJECT
private slots:
    void filterConversion_data();
    void filterConversion();
};

void QtDialogsTest::filterConversion_data()
{
    QTest::addColumn<QString>("filter");
    QTest::addColumn<QString>("expected");
    QTest::newRow("one pair") << "on-screen keyboard template|*.vkt" << "on-screen keyboard template (*.vkt)";
    QTest::newRow("text already names its pattern") << "Bitmaps (*.bmp)|*.bmp" << "Bitmaps (*.bmp)";
    QTest::newRow("several patterns") << "Text files|*.txt;*.dic" << "Text files (*.txt *.dic)";
    QTest::newRow("several pairs") << "Text (*.txt)|*.txt|All files|*.*" << "Text (*.txt);;All files (*.*)";
    QTest::newRow("empty") << "" << "";
    QTest::newRow("text without pattern") << "Anything" << "Anything";
}

void QtDialogsTest::filterConversion()
{
    QFETCH(QString, filter);
    QFETCH(QString, expected);
    QCOMPARE(kf::QtFileFilter(filter), expected);
}

QTEST_MAIN(QtDialogsTest)
#include "QtDialogs_test.moc"
