// The wait cursor lasts as long as its scope, nests, and goes however the
// scope is left.

#include "ui/BusyCursor.h"

#include <QCursor>
#include <QtTest>

#include <stdexcept>

class BusyCursorTest : public QObject {
    Q_OBJECT
private slots:
    void lastsForTheScope();
    void scopesNest();
    void goesWhenTheWorkFails();

private:
    static bool waiting()
    {
        const QCursor *c = QGuiApplication::overrideCursor();
        return c && c->shape() == Qt::WaitCursor;
    }
};

void BusyCursorTest::lastsForTheScope()
{
    QVERIFY(!QGuiApplication::overrideCursor());
    {
        kf::BusyCursor busy;
        QVERIFY(waiting());
    }
    QVERIFY(!QGuiApplication::overrideCursor());
}

void BusyCursorTest::scopesNest()
{
    {
        kf::BusyCursor outer;
        {
            kf::BusyCursor inner;
            QVERIFY(waiting());
        }
        QVERIFY(waiting());
    }
    QVERIFY(!QGuiApplication::overrideCursor());
}

void BusyCursorTest::goesWhenTheWorkFails()
{
    bool thrown = false;
    try {
        kf::BusyCursor busy;
        throw std::runtime_error("scan failed");
    } catch (const std::runtime_error &) {
        thrown = true;
    }
    QVERIFY(thrown);
    QVERIFY(!QGuiApplication::overrideCursor());
}

QTEST_MAIN(BusyCursorTest)
#include "BusyCursor_test.moc"
