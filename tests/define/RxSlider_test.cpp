#include "define/RxSlider.h"

#include <QAccessible>
#include <QAccessibleValueInterface>
#include <QApplication>
#include <QImage>
#include <QMouseEvent>
#include <QSignalSpy>
#include <QTest>
#include <QWidget>

#include <set>

using kf::TRxSlider;

// A finger slider at the size the finger window gives it, on a shown window.
class SliderHost {
public:
    SliderHost()
    {
        slider = new TRxSlider(&window);
        slider->setGeometry(8, 20, 33, 181);
        window.resize(60, 220);
        window.show();
    }
    QWidget window;
    TRxSlider *slider; // owned by window

    QPoint thumbCentre() const { return slider->thumbRect().center(); }
    QPoint aboveThumb() const { return QPoint(16, slider->thumbRect().top() - 6); }
    QPoint belowThumb() const { return QPoint(16, slider->thumbRect().bottom() + 6); }
};

static void fireRepeat(TRxSlider &slider)
{
    QVERIFY(QMetaObject::invokeMethod(&slider.repeatTimer(), "timeout"));
}

class RxSliderTest : public QObject {
    Q_OBJECT
private slots:
    void keys_data();
    void keys();
    void dragReachesEveryWholeValue();
    void dragHoldsWithinRange();
    void pressOnTrackSteps_data();
    void pressOnTrackSteps();
    void heldPressRepeatsOnItsSideOnly();
    void heldPressRepeatsByTheTimer();
    void rightPressAsksForColour();
    void doubleClickDoesNothing();
    void wheelDoesNothing();
    void accessibleAsSlider();
    void paintsTrackInColourWithMarks();
};

void RxSliderTest::keys_data()
{
    QTest::addColumn<int>("start");
    QTest::addColumn<int>("key");
    QTest::addColumn<int>("expected");
    QTest::newRow("8 up") << 8 << int(Qt::Key_Up) << 15;
    QTest::newRow("8 down") << 8 << int(Qt::Key_Down) << 5;
    QTest::newRow("7 up") << 7 << int(Qt::Key_Up) << 10;
    QTest::newRow("7 down") << 7 << int(Qt::Key_Down) << 0;
    QTest::newRow("98 up") << 98 << int(Qt::Key_Up) << 100;
    QTest::newRow("2 down") << 2 << int(Qt::Key_Down) << 0;
    QTest::newRow("3 down") << 3 << int(Qt::Key_Down) << 0;
    QTest::newRow("3 up") << 3 << int(Qt::Key_Up) << 10;
    QTest::newRow("50 up") << 50 << int(Qt::Key_Up) << 55;
    QTest::newRow("0 down") << 0 << int(Qt::Key_Down) << 0;
    QTest::newRow("100 up") << 100 << int(Qt::Key_Up) << 100;
    QTest::newRow("42 home") << 42 << int(Qt::Key_Home) << 0;
    QTest::newRow("42 end") << 42 << int(Qt::Key_End) << 100;
    QTest::newRow("42 page up ignored") << 42 << int(Qt::Key_PageUp) << 42;
    QTest::newRow("42 left ignored") << 42 << int(Qt::Key_Left) << 42;
}

void RxSliderTest::keys()
{
    QFETCH(int, start);
    QFETCH(int, key);
    QFETCH(int, expected);
    SliderHost host;
    host.slider->setValue(start);
    QTest::keyClick(host.slider, Qt::Key(key));
    QCOMPARE(host.slider->value(), expected);
}

void RxSliderTest::dragReachesEveryWholeValue()
{
    SliderHost host;
    TRxSlider &s = *host.slider;
    s.setValue(0);
    const QPoint start = host.thumbCentre();
    QTest::mousePress(&s, Qt::LeftButton, {}, start);
    QVERIFY(s.isSliderDown());
    std::set<int> seen;
    int previous = s.value();
    for (int y = start.y(); y >= -20; --y) {
        QTest::mouseMove(&s, QPoint(start.x(), y));
        QVERIFY2(s.value() >= previous, "moving up never lowers the value");
        previous = s.value();
        seen.insert(s.value());
        // The thumb follows the pointer.
        if (s.value() > 0 && s.value() < 100)
            QVERIFY2(std::abs(s.thumbRect().center().y() - y) <= 1, qPrintable(QString("y %1 centre %2 value %3").arg(y).arg(s.thumbRect().center().y()).arg(s.value())));
    }
    QTest::mouseRelease(&s, Qt::LeftButton, {}, QPoint(start.x(), -20));
    QVERIFY(!s.isSliderDown());
    QCOMPARE(int(seen.size()), 101);
    QCOMPARE(*seen.begin(), 0);
    QCOMPARE(*seen.rbegin(), 100);
    QCOMPARE(s.value(), 100);
}

void RxSliderTest::dragHoldsWithinRange()
{
    SliderHost host;
    TRxSlider &s = *host.slider;
    s.setValue(37);
    // Grab the thumb off its centre: the grab point stays under the pointer.
    const QPoint grab = host.thumbCentre() + QPoint(0, 3);
    QTest::mousePress(&s, Qt::LeftButton, {}, grab);
    QTest::mouseMove(&s, grab);
    QCOMPARE(s.value(), 37);
    QTest::mouseMove(&s, QPoint(grab.x(), 500));
    QCOMPARE(s.value(), 0);
    QTest::mouseRelease(&s, Qt::LeftButton, {}, QPoint(grab.x(), 500));
    QCOMPARE(s.value(), 0);
    // Once released, moving the pointer changes nothing.
    QTest::mouseMove(&s, QPoint(grab.x(), 10));
    QCOMPARE(s.value(), 0);
}

void RxSliderTest::pressOnTrackSteps_data()
{
    QTest::addColumn<int>("start");
    QTest::addColumn<bool>("above");
    QTest::addColumn<int>("expected");
    QTest::newRow("8 above") << 8 << true << 15;
    QTest::newRow("8 below") << 8 << false << 5;
    QTest::newRow("7 above") << 7 << true << 10;
    QTest::newRow("7 below") << 7 << false << 0;
    QTest::newRow("98 above") << 98 << true << 100;
    QTest::newRow("53 below") << 53 << false << 50;
}

void RxSliderTest::pressOnTrackSteps()
{
    QFETCH(int, start);
    QFETCH(bool, above);
    QFETCH(int, expected);
    SliderHost host;
    TRxSlider &s = *host.slider;
    s.setValue(start);
    const QPoint at = above ? QPoint(16, 3) : QPoint(16, s.height() - 4);
    QTest::mousePress(&s, Qt::LeftButton, {}, at);
    QCOMPARE(s.value(), expected);
    QVERIFY(!s.isSliderDown());
    QTest::mouseRelease(&s, Qt::LeftButton, {}, at);
    QCOMPARE(s.value(), expected);
    QVERIFY(!s.repeatTimer().isActive());
}

void RxSliderTest::heldPressRepeatsOnItsSideOnly()
{
    SliderHost host;
    TRxSlider &s = *host.slider;
    s.setValue(50);
    const QPoint above = host.aboveThumb() - QPoint(0, 30);
    QTest::mousePress(&s, Qt::LeftButton, {}, above);
    QCOMPARE(s.value(), 55);
    QVERIFY(s.repeatTimer().isActive());
    QCOMPARE(s.repeatTimer().interval(), TRxSlider::kRepeatInterval);
    QCOMPARE(TRxSlider::kRepeatInterval, 400);
    fireRepeat(s);
    fireRepeat(s);
    QCOMPARE(s.value(), 65);
    // The pointer moves below the thumb with the button still down: no step up
    // and no step down.
    QTest::mouseMove(&s, host.belowThumb());
    fireRepeat(s);
    QCOMPARE(s.value(), 65);
    // Back above it, the steps go on.
    QTest::mouseMove(&s, QPoint(16, 3));
    fireRepeat(s);
    QCOMPARE(s.value(), 70);
    QTest::mouseRelease(&s, Qt::LeftButton, {}, QPoint(16, 3));
    QVERIFY(!s.repeatTimer().isActive());
    QCOMPARE(s.value(), 70);

    // Held below: the thumb walks down until it reaches the pointer and stops there.
    s.setValue(50);
    const int pointerY = s.thumbRect().bottom() + 20;
    QTest::mousePress(&s, Qt::LeftButton, {}, QPoint(16, pointerY));
    QCOMPARE(s.value(), 45);
    for (int i = 0; i < 30; ++i)
        fireRepeat(s);
    const int stopped = s.value();
    QVERIFY(stopped > 0 && stopped < 45);
    QVERIFY(s.thumbRect().bottom() >= pointerY);          // reached the pointer
    QVERIFY(s.thumbRect().top() <= pointerY + 10);        // and went no further than one step past it
    QTest::mouseRelease(&s, Qt::LeftButton, {}, QPoint(16, pointerY));
}

void RxSliderTest::heldPressRepeatsByTheTimer()
{
    // The real timer drives the repeat: held above the thumb at the top, the
    // value climbs to 100 on its own.
    SliderHost host;
    TRxSlider &s = *host.slider;
    s.setValue(80);
    QTest::mousePress(&s, Qt::LeftButton, {}, QPoint(16, 1));
    QCOMPARE(s.value(), 85);
    QTRY_COMPARE_WITH_TIMEOUT(s.value(), 100, 20000);
    QTest::mouseRelease(&s, Qt::LeftButton, {}, QPoint(16, 1));
    QVERIFY(!s.repeatTimer().isActive());
}

void RxSliderTest::rightPressAsksForColour()
{
    SliderHost host;
    TRxSlider &s = *host.slider;
    s.setValue(30);
    QSignalSpy asked(&s, &TRxSlider::colorRequested);
    QTest::mousePress(&s, Qt::RightButton, {}, host.aboveThumb());
    QTest::mouseRelease(&s, Qt::RightButton, {}, host.aboveThumb());
    QCOMPARE(asked.count(), 1);
    QCOMPARE(s.value(), 30);
    QVERIFY(!s.repeatTimer().isActive());
    // The left button never asks.
    QTest::mouseClick(&s, Qt::LeftButton, {}, host.aboveThumb());
    QCOMPARE(asked.count(), 1);
}

void RxSliderTest::doubleClickDoesNothing()
{
    SliderHost host;
    TRxSlider &s = *host.slider;
    s.setValue(30);
    QSignalSpy asked(&s, &TRxSlider::colorRequested);
    for (Qt::MouseButton button : {Qt::LeftButton, Qt::RightButton}) {
        const QPoint at = host.aboveThumb();
        QMouseEvent dbl(QEvent::MouseButtonDblClick, at, s.mapToGlobal(at), button, button, {});
        QApplication::sendEvent(&s, &dbl);
        QMouseEvent release(QEvent::MouseButtonRelease, at, s.mapToGlobal(at), button, {}, {});
        QApplication::sendEvent(&s, &release);
        QCOMPARE(s.value(), 30);
        QVERIFY(!s.repeatTimer().isActive());
    }
    QCOMPARE(asked.count(), 0);
}

void RxSliderTest::wheelDoesNothing()
{
    SliderHost host;
    TRxSlider &s = *host.slider;
    s.setValue(33);
    const QPointF at(16, 50);
    QWheelEvent wheel(at, host.window.mapToGlobal(at.toPoint()), QPoint(), QPoint(0, 120),
                      Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(&s, &wheel);
    QCOMPARE(s.value(), 33);
}

void RxSliderTest::accessibleAsSlider()
{
    SliderHost host;
    TRxSlider &s = *host.slider;
    s.setAccessibleName(QStringLiteral("Left thumb"));
    s.setValue(35);
    QAccessibleInterface *iface = QAccessible::queryAccessibleInterface(&s);
    QVERIFY(iface);
    QCOMPARE(iface->role(), QAccessible::Slider);
    QCOMPARE(iface->text(QAccessible::Name), QStringLiteral("Left thumb"));
    QCOMPARE(iface->text(QAccessible::Value), QStringLiteral("35"));
    QAccessibleValueInterface *value = iface->valueInterface();
    QVERIFY(value);
    QCOMPARE(value->currentValue().toInt(), 35);
    QCOMPARE(value->minimumValue().toInt(), 0);
    QCOMPARE(value->maximumValue().toInt(), 100);
    QCOMPARE(value->minimumStepSize().toInt(), 5);
    value->setCurrentValue(120);
    QCOMPARE(s.value(), 100);
    value->setCurrentValue(-3);
    QCOMPARE(s.value(), 0);
}

void RxSliderTest::paintsTrackInColourWithMarks()
{
    SliderHost host;
    TRxSlider &s = *host.slider;
    s.setColor(0x0000FF); // red
    QImage img = s.grab().toImage();
    QCOMPARE(img.size(), QSize(33, 181));
    QCOMPARE(QColor(img.pixel(0, 0)), QColor(255, 0, 0));
    QCOMPARE(QColor(img.pixel(32, 90)), QColor(255, 0, 0));

    s.setColor(9502719); // light yellow, dark marks on it
    s.setValue(0);
    img = s.grab().toImage();
    const QColor back(255, 255, 144);
    QCOMPARE(QColor(img.pixel(0, 0)), back);
    // Count the marks down the strip left of the thumb: one per step, 0 to 100.
    int marks = 0;
    bool inMark = false;
    for (int y = 0; y < img.height(); ++y) {
        bool ink = false;
        for (int x = 0; x < 6; ++x)
            ink = ink || QColor(img.pixel(x, y)) != back;
        marks += ink && !inMark;
        inMark = ink;
    }
    QCOMPARE(marks, 21);
}

QTEST_MAIN(RxSliderTest)
#include "RxSlider_test.moc"
