#include "keyboard/ButtonType.h"

#include <QAccessible>
#include <QApplication>
#include <QMouseEvent>
#include <QSignalSpy>
#include <QTest>
#include <QWidget>

#include <memory>
#include <vector>

using namespace kf;

Q_DECLARE_METATYPE(QImage)

namespace {

QImage filled(int w, int h, QRgb color, QImage::Format format = QImage::Format_RGB32)
{
    QImage img(w, h, format);
    img.fill(color);
    return img;
}

// A picture whose bottom-left pixel (the key colour) is `key` and every other
// pixel `ink`.
QImage keyPicture(int w, int h, QRgb key, QRgb ink)
{
    QImage img = filled(w, h, ink);
    img.setPixel(0, h - 1, key);
    return img;
}

} // namespace

class ButtonTypeTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<QWidget> m_host;
    // Buttons on m_host, owned by it.
    ButtonType *addButton(int group, bool allowAllUp = true, QRect geometry = QRect(0, 0, 30, 30))
    {
        auto *b = new ButtonType(m_host.get());
        b->setGeometry(geometry);
        b->setGroup(group);
        b->setAllowAllUp(allowAllUp);
        b->show();
        return b;
    }

private slots:
    void init()
    {
        m_host = std::make_unique<QWidget>();
        m_host->resize(300, 100);
        m_host->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_host.get()));
    }
    void cleanup() { m_host.reset(); }

    void invertBitmap_data()
    {
        QTest::addColumn<QImage>("input");
        QTest::addColumn<QImage>("expected");

        QImage white = filled(3, 2, 0xFFFFFFFF);
        white.setPixel(0, 1, qRgb(0x80, 0x80, 0x80));
        QTest::newRow("3x2 black") << filled(3, 2, 0xFF000000) << white;

        QImage mixed(2, 2, QImage::Format_RGB32);
        mixed.setPixel(0, 0, qRgb(0x12, 0x34, 0x56));
        mixed.setPixel(1, 0, qRgb(0xFF, 0x00, 0x80));
        mixed.setPixel(0, 1, qRgb(0x01, 0x02, 0x03));
        mixed.setPixel(1, 1, qRgb(0x7F, 0x7F, 0x7F));
        QImage mixedInv(2, 2, QImage::Format_RGB32);
        mixedInv.setPixel(0, 0, qRgb(0xED, 0xCB, 0xA9));
        mixedInv.setPixel(1, 0, qRgb(0x00, 0xFF, 0x7F));
        mixedInv.setPixel(0, 1, qRgb(0x80, 0x80, 0x80));
        mixedInv.setPixel(1, 1, qRgb(0x80, 0x80, 0x80));
        QTest::newRow("colours") << mixed << mixedInv;

        // A palette picture inverts its colours, not its palette indexes.
        QImage indexed(2, 1, QImage::Format_Indexed8);
        indexed.setColorTable({qRgb(0, 0, 255), qRgb(255, 255, 0)});
        indexed.setPixel(0, 0, 1);
        indexed.setPixel(1, 0, 0);
        QImage indexedInv(2, 1, QImage::Format_RGB32);
        indexedInv.setPixel(0, 0, qRgb(0x80, 0x80, 0x80));
        indexedInv.setPixel(1, 0, qRgb(255, 255, 0));
        QTest::newRow("palette") << indexed << indexedInv;

        QTest::newRow("1x1") << filled(1, 1, qRgb(1, 2, 3)) << filled(1, 1, qRgb(0x80, 0x80, 0x80));
    }

    void invertBitmap()
    {
        QFETCH(QImage, input);
        QFETCH(QImage, expected);
        InvertBitmap(input);
        QCOMPARE(input.size(), expected.size());
        for (int y = 0; y < input.height(); ++y)
            for (int x = 0; x < input.width(); ++x)
                QCOMPARE(QString::number(input.pixel(x, y) & 0xFFFFFF, 16),
                         QString::number(expected.pixel(x, y) & 0xFFFFFF, 16));
    }

    void invertBitmapLeavesNullPicture()
    {
        QImage none;
        InvertBitmap(none);
        QVERIFY(none.isNull());
    }

    // Click sequences on three buttons of one group (and one of another group):
    // which buttons are down afterwards.
    void groupClicks_data()
    {
        QTest::addColumn<bool>("allowAllUp");
        QTest::addColumn<QList<int>>("clicks");
        QTest::addColumn<QList<bool>>("down");

        QTest::newRow("one goes down") << true << QList<int>{0} << QList<bool>{true, false, false, false};
        QTest::newRow("second puts first up")
            << true << QList<int>{0, 1} << QList<bool>{false, true, false, false};
        QTest::newRow("click again: all up") << true << QList<int>{1, 1} << QList<bool>{false, false, false, false};
        QTest::newRow("other group unaffected")
            << true << QList<int>{3, 0, 2} << QList<bool>{false, false, true, true};
        QTest::newRow("no all-up: stays down")
            << false << QList<int>{2, 2} << QList<bool>{false, false, true, false};
        QTest::newRow("no all-up: another still takes over")
            << false << QList<int>{2, 0} << QList<bool>{true, false, false, false};
    }

    void groupClicks()
    {
        QFETCH(bool, allowAllUp);
        QFETCH(QList<int>, clicks);
        QFETCH(QList<bool>, down);
        std::vector<ButtonType *> buttons;
        for (int i = 0; i < 4; ++i)
            buttons.push_back(addButton(i < 3 ? 1 : 2, allowAllUp, QRect(i * 40, 0, 30, 30)));
        for (int i : clicks)
            QTest::mouseClick(buttons[size_t(i)], Qt::LeftButton);
        for (int i = 0; i < 4; ++i)
            QCOMPARE(buttons[size_t(i)]->down(), down[i]);
    }

    void clickFlipsBeforeClicked()
    {
        ButtonType *b = addButton(5);
        QList<bool> seen;
        connect(b, &QAbstractButton::clicked, this, [&] { seen << b->down(); });
        QTest::mouseClick(b, Qt::LeftButton);
        QTest::mouseClick(b, Qt::LeftButton);
        QCOMPARE(seen, (QList<bool>{true, false}));
    }

    void groupZeroNeverDown()
    {
        ButtonType *b = addButton(0);
        QSignalSpy clicked(b, &QAbstractButton::clicked);
        QTest::mouseClick(b, Qt::LeftButton);
        QCOMPARE(clicked.count(), 1);
        QVERIFY(!b->down());
        b->setDownState(true);
        QVERIFY(!b->down());
    }

    void mouseDownComesFirst()
    {
        ButtonType *b = addButton(1);
        QStringList log;
        connect(b, &ButtonType::mouseDown, this,
                [&](ButtonType *sender, Qt::MouseButton button, Qt::KeyboardModifiers mods,
                    Qt::MouseButtons buttons, QPoint pos) {
                    QCOMPARE(sender, b);
                    log << QStringLiteral("down %1 %2 %3 %4,%5 %6")
                               .arg(int(button))
                               .arg(int(mods))
                               .arg(int(buttons))
                               .arg(pos.x())
                               .arg(pos.y())
                               .arg(b->isDown() || b->down() ? "pressed" : "up");
                });
        connect(b, &QAbstractButton::pressed, this, [&] { log << "pressed"; });
        connect(b, &QAbstractButton::clicked, this, [&] { log << "clicked"; });
        QTest::mouseClick(b, Qt::LeftButton, Qt::NoModifier, QPoint(7, 5));
        QTest::mouseClick(b, Qt::RightButton, Qt::ControlModifier, QPoint(3, 4));
        QCOMPARE(log, (QStringList{
                          QStringLiteral("down %1 0 %1 7,5 up").arg(int(Qt::LeftButton)),
                          "pressed", "clicked",
                          QStringLiteral("down %1 %2 %1 3,4 pressed")
                              .arg(int(Qt::RightButton))
                              .arg(int(Qt::ControlModifier)),
                      }));
        // The right button does not click.
        QVERIFY(b->down());
    }

    // A double click is two presses and two clicks (a key typed twice), and
    // one mouse-down per press.
    void doubleClickIsTwoClicks()
    {
        ButtonType *b = addButton(0);
        QSignalSpy downs(b, &ButtonType::mouseDown);
        QSignalSpy clicks(b, &QAbstractButton::clicked);
        const QPointF at(5, 5), global = b->mapToGlobal(at);
        for (QEvent::Type type : {QEvent::MouseButtonPress, QEvent::MouseButtonRelease,
                                  QEvent::MouseButtonPress, QEvent::MouseButtonDblClick,
                                  QEvent::MouseButtonRelease}) {
            const Qt::MouseButtons held =
                type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton;
            QMouseEvent event(type, at, global, Qt::LeftButton, held, Qt::NoModifier);
            QApplication::sendEvent(b, &event);
        }
        QCOMPARE(downs.count(), 2);
        QCOMPARE(clicks.count(), 2);
    }

    void setPressedSwapsPictures_data()
    {
        QTest::addColumn<int>("group");
        QTest::addColumn<bool>("keepGlyph");
        QTest::addColumn<bool>("downAfterPress");
        QTest::addColumn<bool>("showsDownGlyph");
        QTest::newRow("group, pictures change") << 1 << false << true << true;
        QTest::newRow("group, KeepGlyph") << 1 << true << true << false;
        QTest::newRow("group 0: never down, picture still swapped") << 0 << false << false << true;
        QTest::newRow("group 0, KeepGlyph") << 0 << true << false << false;
    }

    void setPressedSwapsPictures()
    {
        QFETCH(int, group);
        QFETCH(bool, keepGlyph);
        QFETCH(bool, downAfterPress);
        QFETCH(bool, showsDownGlyph);
        ButtonType *b = addButton(group);
        const QImage up = keyPicture(4, 4, qRgb(9, 9, 9), qRgb(200, 10, 10));
        b->UpGlyph = up;
        b->DownGlyph = up;
        InvertBitmap(b->DownGlyph);
        b->KeepGlyph = keepGlyph;
        b->setGlyph(up);

        b->SetPressed(true);
        QCOMPARE(b->down(), downAfterPress);
        QCOMPARE(b->glyph() == b->DownGlyph, showsDownGlyph);
        QCOMPARE(b->glyph() == up, !showsDownGlyph);
        // Clicking never changes pictures; only SetPressed does.
        const QImage shown = b->glyph();
        QTest::mouseClick(b, Qt::LeftButton);
        QCOMPARE(b->glyph(), shown);

        b->SetPressed(false);
        QVERIFY(!b->down());
        QCOMPARE(b->glyph(), up);
    }

    void putUpByGroupKeepsPicture()
    {
        ButtonType *a = addButton(1);
        ButtonType *b = addButton(1, true, QRect(40, 0, 30, 30));
        a->UpGlyph = keyPicture(3, 3, qRgb(0, 0, 0), qRgb(255, 0, 0));
        a->DownGlyph = a->UpGlyph;
        InvertBitmap(a->DownGlyph);
        a->SetPressed(true);
        QTest::mouseClick(b, Qt::LeftButton);
        QVERIFY(!a->down());
        QCOMPARE(a->glyph(), a->DownGlyph);
    }

    // The picture is drawn unscaled and centred; its key-colour pixels show the face.
    void drawsPictureWithTransparentKeyColour()
    {
        ButtonType *b = addButton(1, true, QRect(0, 0, 20, 20));
        const QRgb key = qRgb(255, 0, 0), ink = qRgb(0, 0, 255), face = qRgb(0, 200, 0);
        QImage pic = keyPicture(6, 6, key, ink);
        pic.setPixel(3, 2, key); // an inner key-colour pixel
        b->setGlyph(pic);
        b->setFaceColor(QColor(face));
        QImage shot = b->grab().toImage();
        // The picture's top-left lands at (7, 7).
        QCOMPARE(shot.pixel(7 + 1, 7 + 1), ink);
        QCOMPARE(shot.pixel(7 + 5, 7 + 5), ink);
        QCOMPARE(shot.pixel(7 + 3, 7 + 2), face);
        QCOMPARE(shot.pixel(7 + 0, 7 + 5), face);
        QCOMPARE(shot.pixel(4, 4), face);      // outside the picture
        QCOMPARE(shot.pixel(6, 6), face);
        QCOMPARE(shot.pixel(7 + 6, 7 + 6), face);
        // Down: the picture moves one pixel right and down.
        b->setDownState(true);
        shot = b->grab().toImage();
        QCOMPARE(shot.pixel(7, 7), face);
        QCOMPARE(shot.pixel(8, 8), ink);
        QCOMPARE(shot.pixel(7 + 6, 7 + 6), ink);
    }

    // A key coloured by use keeps its picture readable: dark letters on a
    // face made dark are drawn light; on a light face, and on the picture's
    // own face, as they are.
    void darkLettersOnADarkFaceAreDrawnLight_data()
    {
        QTest::addColumn<QColor>("face");
        QTest::addColumn<QColor>("ink");
        QTest::addColumn<QColor>("drawn");
        const QColor black(Qt::black), white(Qt::white), darkRed(128, 0, 38), paleYellow(255, 255, 204);
        QTest::newRow("blackOnDarkRed") << darkRed << black << white;
        QTest::newRow("blackOnPaleYellow") << paleYellow << black << black;
        QTest::newRow("whiteOnDarkRed") << darkRed << white << white;
        QTest::newRow("whiteOnPaleYellow") << paleYellow << white << black;
    }

    void darkLettersOnADarkFaceAreDrawnLight()
    {
        QFETCH(QColor, face);
        QFETCH(QColor, ink);
        QFETCH(QColor, drawn);
        ButtonType *b = addButton(1, true, QRect(0, 0, 20, 20));
        const QRgb key = qRgb(200, 200, 200); // the picture's own face: cleared
        b->setGlyph(keyPicture(6, 6, key, ink.rgb()));
        b->setFaceColor(face);
        const QImage shot = b->grab().toImage();
        QCOMPARE(QColor(shot.pixel(7 + 2, 7 + 2)), drawn);
        QCOMPARE(QColor(shot.pixel(4, 4)), face);
    }

    void notFocusable()
    {
        ButtonType *b = addButton(1);
        QCOMPARE(b->focusPolicy(), Qt::NoFocus);
        QTest::mouseClick(b, Qt::LeftButton);
        QVERIFY(!b->hasFocus());
    }

    void accessibleAsPushButton()
    {
        ButtonType *b = addButton(2000);
        b->setAccessibleName(QStringLiteral("Q key"));
        b->setToolTip(QStringLiteral("types q"));
        QSignalSpy clicked(b, &QAbstractButton::clicked);
        QAccessibleInterface *iface = QAccessible::queryAccessibleInterface(b);
        QVERIFY(iface);
        QCOMPARE(iface->role(), QAccessible::Button);
        QCOMPARE(iface->text(QAccessible::Name), QStringLiteral("Q key"));
        QCOMPARE(iface->text(QAccessible::Description), QStringLiteral("types q"));
        QVERIFY(iface->state().checkable);
        QVERIFY(!iface->state().checked);
        QVERIFY(!iface->state().focusable);
        QAccessibleActionInterface *actions = iface->actionInterface();
        QVERIFY(actions);
        QVERIFY(actions->actionNames().contains(QAccessibleActionInterface::pressAction()));
        actions->doAction(QAccessibleActionInterface::pressAction());
        QCOMPARE(clicked.count(), 1);
        QVERIFY(b->down());
        QVERIFY(iface->state().checked);

        ButtonType *plain = addButton(0);
        QAccessibleInterface *plainIface = QAccessible::queryAccessibleInterface(plain);
        QCOMPARE(plainIface->role(), QAccessible::Button);
        QVERIFY(!plainIface->state().checkable);
    }

    // A key holding its keyboard's focus is drawn marked and reported
    // focused, while the real focus stays where it was.
    void keyFocusIsDrawnAndReported_data()
    {
        QTest::addColumn<QRgb>("face");
        QTest::newRow("light key") << qRgb(230, 230, 230);
        QTest::newRow("dark key") << qRgb(20, 20, 20);
        QTest::newRow("blue key") << qRgb(0x30, 0x8c, 0xc6);
    }
    void keyFocusIsDrawnAndReported()
    {
        QFETCH(QRgb, face);
        ButtonType *b = addButton(1);
        b->setFaceColor(QColor(face));
        QAccessibleInterface *iface = QAccessible::queryAccessibleInterface(b);
        QVERIFY(!iface->state().focusable);
        b->setKeyFocusable(true);
        QVERIFY(iface->state().focusable);
        const QImage plain = b->grab().toImage();
        b->setKeyFocus(true);
        QVERIFY(iface->state().focused);
        QVERIFY(!b->hasFocus());
        const QImage marked = b->grab().toImage();
        // A ring inside the border, of other colours than the face.
        int differing = 0;
        for (int i = 4; i < 26; ++i)
            differing += marked.pixel(i, 3) != plain.pixel(i, 3);
        QVERIFY2(differing > 20, qPrintable(QString::number(differing)));
        bool light = false, dark = false;
        for (int i = 2; i < 6; ++i) {
            const int g = qGray(marked.pixel(i, 15));
            light = light || (g > 200 && qAbs(g - qGray(face)) > 60);
            dark = dark || (g < 160 && qAbs(g - qGray(face)) > 60);
        }
        QVERIFY(light || dark);
        b->setKeyFocus(false);
        QVERIFY(!iface->state().focused);
        QCOMPARE(b->grab().toImage(), plain);
    }

    // The name assistive technology reads says what the key types.
    void spokenNameSaysWhatTheKeyTypes_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("spoken");
        QTest::newRow("letter") << "Q" << "q" << "Q: q";
        QTest::newRow("shifted") << "Q" << "Q" << "Q: Q";
        QTest::newRow("types nothing") << "Shift" << "" << "Shift";
        QTest::newRow("no name") << "" << "q" << "q";
    }
    void spokenNameSaysWhatTheKeyTypes()
    {
        QFETCH(QString, name);
        QFETCH(QString, typed);
        QFETCH(QString, spoken);
        ButtonType *b = addButton(1);
        b->setAccessibleName(name);
        b->setTypedText(typed);
        QCOMPARE(QAccessible::queryAccessibleInterface(b)->text(QAccessible::Name), spoken);
        QCOMPARE(b->accessibleName(), name);
    }
};

QTEST_MAIN(ButtonTypeTest)
#include "ButtonType_test.moc"
