#include "keyboard/KbForm.h"
#include "model/MainData.h"

#include "common/ColorValue.h"
#include "model/GlyphCodec.h"
#include "table/DataLink.h"
#include "table/RecordTable.h"

#include <QAccessible>
#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QTest>
#include <QTextEdit>

#include <memory>
#include <optional>

using namespace kf;

namespace {

// A key picture: `face` all round (its bottom-left pixel is the key colour),
// an `ink` square inside.
QImage KeyPicture(int w, int h, QRgb face, QRgb ink)
{
    QImage img(w, h, QImage::Format_RGB32);
    img.fill(face);
    for (int y = 3; y < h - 3; ++y)
        for (int x = 3; x < w - 3; ++x)
            img.setPixel(x, y, ink);
    return img;
}

struct Key {
    const char *name;
    int keyValue, type;
    std::optional<int> type2;
    QRgb face; // 0: no picture
    int group; // expected button group
};

// Stored order = key-table order = creation order of the buttons.
const Key kKeys[] = {
    {"A", 10, 1, {}, qRgb(200, 200, 200), 1},
    {"E", 13, 1, 2002, qRgb(190, 190, 190), 1},
    {"Dead", 14, 2003, 2005, qRgb(180, 180, 250), 2000},
    {"LShift", 16, 1002, {}, qRgb(170, 250, 170), 1002},
    {"RShift", 17, 1003, {}, qRgb(160, 250, 160), 1002},
    {"Caps", 18, 20, {}, qRgb(250, 150, 150), 20},
    {"AltGr", 19, 1000, {}, qRgb(250, 250, 140), 1000},
    {"BS", 20, 8, {}, qRgb(130, 130, 130), 0},
    {"Del", 21, 46, {}, qRgb(120, 120, 120), 0},
    {"Enter", 22, 13, {}, 0, 0},
    {"Space", 12, 3, {}, qRgb(210, 210, 210), 1},
    {"1", 11, 2, {}, qRgb(220, 220, 220), 1},
};
constexpr int kKeyCount = int(sizeof kKeys / sizeof kKeys[0]);

struct Char {
    int code, keyNo;
    bool shift, altGr;
    int accent;
};

const Char kChars[] = {
    {'a', 10, false, false, 0},     {'A', 10, true, false, 0},     {0xE1, 10, false, false, 2002},
    {0xE2, 10, false, false, 2003}, {0xC4, 10, true, false, 2005}, {'e', 13, false, false, 0},
    {'E', 13, true, false, 0},      {0x1E9, 13, false, false, 2002}, {' ', 12, false, false, 0},
    {'1', 11, false, false, 0},     {'!', 11, true, false, 0},
};

// Counts what a bound view of the key table hears.
class CountingLink : public IDataLink {
public:
    int currentRowChanged = 0, rowChanged = 0;
    void CurrentRowChanged(TRecordTable &) override { ++currentRowChanged; }
    void RowChanged(TRecordTable &, int) override { ++rowChanged; }
};

} // namespace

class KbFormTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<TRecordTable> m_keys, m_chars;
    std::unique_ptr<QWidget> m_host;
    TKbFm *m_frame = nullptr;   // owned by m_host
    QLineEdit *m_edit = nullptr; // owned by m_host
    QLabel *m_status = nullptr;  // owned by m_host
    uint32_t m_bkcolor = 0x00FF8040;

    ButtonType *button(const char *name) const
    {
        for (int i = 0; i < kKeyCount; ++i)
            if (QLatin1String(kKeys[i].name) == QLatin1String(name))
                return m_frame->Buttons().at(size_t(i));
        return nullptr;
    }
    void click(const char *name) { QTest::mouseClick(button(name), Qt::LeftButton); }
    // A key pressed on the real keyboard, delivered where the focus is.
    static void press(Qt::Key key)
    {
        QWidget *focus = QApplication::focusWidget();
        QVERIFY(focus);
        QTest::keyClick(focus, key);
    }
    // The name of the key holding the keyboard focus ("" for none), found as
    // assistive technology finds it: the one key reported focused.
    QString focusedKeyName() const
    {
        QString found;
        for (int i = 0; i < kKeyCount; ++i) {
            QAccessibleInterface *a = QAccessible::queryAccessibleInterface(m_frame->Buttons()[size_t(i)]);
            if (a->state().focused) {
                if (!found.isEmpty())
                    return QStringLiteral("more than one");
                found = QLatin1String(kKeys[i].name);
            }
        }
        return found;
    }
    QString spokenName(const char *key) const
    {
        return QAccessible::queryAccessibleInterface(button(key))->text(QAccessible::Name);
    }
    // Places the keys in rows as a keyboard has them, 24 x 20 each unless
    // wider, and builds the keyboard again:
    //   y 0:   1 [0..24)  A [26..50)  E [52..76)  BS [78..126)
    //   y 22:  Caps [0..36)  Dead [38..62)  LShift [64..88)  RShift [90..114)    Del [140..164)
    //   y 44:  AltGr [0..24)  Space [26..102)  Enter [104..128)
    void placeKeysInRows()
    {
        struct Place {
            const char *name;
            int x, y, w;
        };
        const Place places[] = {{"1", 0, 0, 24},       {"A", 26, 0, 24},      {"E", 52, 0, 24},
                                {"BS", 78, 0, 48},     {"Caps", 0, 22, 36},   {"Dead", 38, 22, 24},
                                {"LShift", 64, 22, 24}, {"RShift", 90, 22, 24}, {"Del", 140, 22, 24},
                                {"AltGr", 0, 44, 24},  {"Space", 26, 44, 76}, {"Enter", 104, 44, 24}};
        m_frame->ClearButtons();
        for (const Place &p : places) {
            QVERIFY(m_keys->Locate("Name", {TValue(p.name)}));
            m_keys->Edit();
            m_keys->FieldByName("X").SetAsInteger(p.x);
            m_keys->FieldByName("Y").SetAsInteger(p.y);
            m_keys->FieldByName("Width").SetAsInteger(p.w);
            m_keys->Post();
        }
        m_frame->BuildButtons(false);
    }
    void clickAll(const QStringList &names)
    {
        for (const QString &n : names)
            click(n.toLatin1().constData());
    }

private slots:
    void init()
    {
        m_keys = std::make_unique<TRecordTable>(TDataMod::KeyFieldDefs());
        m_chars = std::make_unique<TRecordTable>(TDataMod::CharFieldDefs());
        int x = 0;
        for (const Key &k : kKeys) {
            const std::string glyph = k.face ? ImageToGlyph(KeyPicture(20, 16, k.face, qRgb(0, 0, 0)))
                                             : std::string();
            m_keys->AppendRecord({TValue(k.name), TValue(int32_t(k.keyValue)), TValue(int32_t(k.type)),
                                  k.type2 ? TValue(int32_t(*k.type2)) : TValue(), TValue(int32_t(0)),
                                  glyph.empty() ? TValue() : TValue(glyph), TValue(int32_t(24)),
                                  TValue(int32_t(20)), TValue(int32_t(x)), TValue(int32_t(5)),
                                  TValue(std::string("hint ") + k.name)});
            x += 26;
        }
        for (const Char &c : kChars)
            m_chars->AppendRecord({TValue("c"), TValue(int32_t(c.code)), TValue(int32_t(c.keyNo)),
                                   TValue(c.shift), TValue(c.altGr), TValue(int32_t(c.accent))});
        m_chars->SetIndexFieldNames("Code");

        m_host = std::make_unique<QWidget>();
        m_host->resize(400, 200);
        m_edit = new QLineEdit(m_host.get());
        m_edit->setGeometry(0, 0, 300, 24);
        m_status = new QLabel(m_host.get());
        m_status->setGeometry(0, 30, 100, 20);
        m_frame = new TKbFm(m_host.get());
        m_frame->setGeometry(0, 60, 400, 140);
        m_frame->SetDefinition(m_keys.get(), m_chars.get(), [this] { return m_bkcolor; });
        m_frame->SetTargetEdit(m_edit);
        m_frame->SetStatusLabel(m_status);
        m_host->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_host.get()));
        QVERIFY(m_frame->BuildButtons(false));
    }

    void cleanup()
    {
        m_host.reset();
        m_chars.reset();
        m_keys.reset();
    }

    void buildsOneButtonPerRow()
    {
        QCOMPARE(int(m_frame->Buttons().size()), kKeyCount);
        QCOMPARE(m_frame->CurrentButton(), m_frame->Buttons().back());
        QCOMPARE(m_frame->BackgroundColor(), QColor(0x40, 0x80, 0xFF));
        QCOMPARE(m_frame->KeyArea()->findChildren<ButtonType *>().size(), qsizetype(kKeyCount));
        for (int i = 0; i < kKeyCount; ++i) {
            const Key &k = kKeys[i];
            ButtonType *b = m_frame->Buttons()[size_t(i)];
            QCOMPARE(b->parentWidget(), m_frame->KeyArea());
            QCOMPARE(b->geometry(), QRect(i * 26, 5, 24, 20));
            QCOMPARE(b->toolTip(), QStringLiteral("hint ") + QLatin1String(k.name));
            QCOMPARE(b->tag(), k.keyValue);
            QCOMPARE(b->group(), k.group);
            QVERIFY(b->allowAllUp());
            QVERIFY(!b->down());
            QVERIFY(!b->KeepGlyph);
            QVERIFY(b->isVisible());
            QAccessibleInterface *iface = QAccessible::queryAccessibleInterface(b);
            QCOMPARE(b->accessibleName(), QLatin1String(k.name));
            // What the key types comes after its name (see namesSayWhatKeysType).
            QVERIFY(iface->text(QAccessible::Name).startsWith(QLatin1String(k.name)));
            if (k.face) {
                QCOMPARE(b->faceColor(), QColor(k.face));
                QCOMPARE(b->glyph().size(), QSize(20, 16));
                QCOMPARE(b->glyph(), b->UpGlyph);
                QCOMPARE(b->DownGlyph.pixel(5, 5) & 0xFFFFFF, 0xFFFFFFu); // black ink inverted
                QCOMPARE(b->DownGlyph.pixel(0, 15) & 0xFFFFFF, 0x808080u);
            } else {
                QVERIFY(b->glyph().isNull());
                QCOMPARE(b->faceColor(), QColor(0x40, 0x80, 0xFF));
            }
        }
        // The table is left on its last row.
        QCOMPARE(m_keys->RecNo(), kKeyCount);
        // Keys that carry roles.
        QCOMPARE(m_frame->KbState().LeftShiftKey(), button("LShift"));
        QCOMPARE(m_frame->KbState().AccentKey(2002), button("E"));
        QCOMPARE(m_frame->KbState().AccentKey(2005), button("Dead"));
    }

    void buildSilencesBoundViews()
    {
        m_frame->ClearButtons();
        CountingLink link;
        m_keys->AddDataLink(&link);
        m_frame->BuildButtons(false);
        m_keys->RemoveDataLink(&link);
        QVERIFY2(link.currentRowChanged <= 1, qPrintable(QString::number(link.currentRowChanged)));
        QCOMPARE(link.rowChanged, 0);
        QVERIFY(!m_keys->ControlsDisabled());
    }

    void typing_data()
    {
        QTest::addColumn<int>("editKind"); // 0 line, 1 rich text, 2 plain text
        QTest::addColumn<QString>("initial");
        QTest::addColumn<int>("selStart");
        QTest::addColumn<int>("selEnd"); // caret; a selection when != selStart
        QTest::addColumn<QStringList>("clicks");
        QTest::addColumn<QString>("expected");
        QTest::addColumn<QString>("status");

        struct Row {
            const char *name;
            const char *initial;
            int selStart, selEnd;
            QStringList clicks;
            QString expected;
            QString status;
        };
        const Row rows[] = {
            {"letters", "", 0, 0, {"A", "Space", "1"}, "a 1", ""},
            {"shift", "", 0, 0, {"LShift", "A", "A"}, "Aa", ""},
            {"caps and shift", "", 0, 0, {"Caps", "RShift", "A", "1", "A"}, "a1A", ""},
            {"dead key pending", "", 0, 0, {"Dead"}, "", "Circumflex"},
            {"dead key then letter", "", 0, 0, {"Dead", "A"}, QString::fromUtf8("\xC3\xA2"), ""},
            {"shifted dead key", "", 0, 0, {"LShift", "Dead", "A"}, QString::fromUtf8("\xC3\x84"), ""},
            {"acute on AltGr, code 0x1E9", "", 0, 0, {"AltGr", "E", "E"}, QString::fromUtf8("\xC3\xA9"), ""},
            {"enter types nothing", "x", 1, 1, {"Enter", "A"}, "xa", ""},
            {"inserted at the caret", "xyz", 1, 1, {"A"}, "xayz", ""},
            {"replaces the selection", "hello", 1, 4, {"A"}, "hao", ""},
            {"undefined combination deletes the selection", "hello", 1, 4, {"AltGr", "Space"}, "ho", ""},
            {"backspace", "xyz", 3, 3, {"BS"}, "xy", ""},
            {"backspace selection", "hello", 1, 4, {"BS"}, "ho", ""},
            {"delete", "xyz", 0, 0, {"Del"}, "yz", ""},
            {"delete selection", "hello", 4, 1, {"Del"}, "ho", ""},
        };
        const char *kinds[] = {"line", "rich", "plain"};
        for (int kind = 0; kind < 3; ++kind)
            for (const Row &r : rows)
                QTest::addRow("%s: %s", kinds[kind], r.name)
                    << kind << QString::fromLatin1(r.initial) << r.selStart << r.selEnd << r.clicks
                    << r.expected << r.status;
    }

    void typing()
    {
        QFETCH(int, editKind);
        QFETCH(QString, initial);
        QFETCH(int, selStart);
        QFETCH(int, selEnd);
        QFETCH(QStringList, clicks);
        QFETCH(QString, expected);
        QFETCH(QString, status);

        QWidget *target = m_edit;
        std::function<QString()> text = [this] { return m_edit->text(); };
        if (editKind == 0) {
            m_edit->setText(initial);
            m_edit->setCursorPosition(selStart);
            if (selEnd != selStart)
                m_edit->setSelection(selStart, selEnd - selStart);
        } else {
            QTextCursor cursor;
            if (editKind == 1) {
                auto *rich = new QTextEdit(m_host.get());
                rich->setPlainText(initial);
                cursor = rich->textCursor();
                cursor.setPosition(selStart);
                cursor.setPosition(selEnd, QTextCursor::KeepAnchor);
                rich->setTextCursor(cursor);
                text = [rich] { return rich->toPlainText(); };
                target = rich;
            } else {
                auto *plain = new QPlainTextEdit(m_host.get());
                plain->setPlainText(initial);
                cursor = plain->textCursor();
                cursor.setPosition(selStart);
                cursor.setPosition(selEnd, QTextCursor::KeepAnchor);
                plain->setTextCursor(cursor);
                text = [plain] { return plain->toPlainText(); };
                target = plain;
            }
            target->show();
            m_frame->SetTargetEdit(target);
        }
        target->setFocus();
        clickAll(clicks);
        // The keys never take the focus away from the edit.
        QVERIFY(target->hasFocus());
        QCOMPARE(text(), expected);
        QCOMPARE(m_status->text(), status);
    }

    void deadKeyClickedTwiceStaysPending()
    {
        click("Dead");
        QVERIFY(button("Dead")->down());
        click("Dead"); // the group flips it up, the accent puts it down again
        QVERIFY(button("Dead")->down());
        QCOMPARE(m_frame->KbState().Accent(), 2003);
        QCOMPARE(m_status->text(), QStringLiteral("Circumflex"));
        QCOMPARE(button("Dead")->glyph(), button("Dead")->DownGlyph);
        click("A");
        QVERIFY(!button("Dead")->down());
        QCOMPARE(button("Dead")->glyph(), button("Dead")->UpGlyph);
        QCOMPARE(m_status->text(), QString());
    }

    void backspaceNeverDown()
    {
        m_edit->setText("ab");
        click("BS");
        QVERIFY(!button("BS")->down());
        QCOMPARE(m_edit->text(), QStringLiteral("a"));
        // Shown pressed: the inverted picture, but never down.
        m_frame->ShowKeyPressed(button("BS"), true);
        QVERIFY(!button("BS")->down());
        QCOMPARE(button("BS")->glyph(), button("BS")->DownGlyph);
        click("BS");
        QCOMPARE(button("BS")->glyph(), button("BS")->DownGlyph);
        m_frame->ShowKeyPressed(button("BS"), false);
        QCOMPARE(button("BS")->glyph(), button("BS")->UpGlyph);
    }

    void leftShiftWhileRightShiftDown()
    {
        click("RShift");
        QVERIFY(button("RShift")->down());
        QVERIFY(m_frame->KbState().Shift());
        click("LShift");
        QVERIFY(!m_frame->KbState().Shift());
        QVERIFY(!button("LShift")->down());
        QVERIFY(!button("RShift")->down());
        QCOMPARE(button("RShift")->glyph(), button("RShift")->UpGlyph);
        QCOMPARE(button("LShift")->glyph(), button("LShift")->UpGlyph);
    }

    void modifiersShowTheirKeys()
    {
        click("Caps");
        click("AltGr");
        QVERIFY(button("Caps")->down());
        QVERIFY(button("AltGr")->down());
        QCOMPARE(button("AltGr")->glyph(), button("AltGr")->DownGlyph);
        click("A"); // no character for AltGr: releases AltGr but not Caps Lock
        QCOMPARE(m_edit->text(), QString());
        QVERIFY(button("Caps")->down());
        QVERIFY(!button("AltGr")->down());
        QCOMPARE(button("AltGr")->glyph(), button("AltGr")->UpGlyph);
        QVERIFY(!button("A")->down());
        click("A");
        QCOMPARE(m_edit->text(), QStringLiteral("A"));
    }

    void keepGlyph_data()
    {
        QTest::addColumn<bool>("keepGlyph");
        QTest::newRow("pictures follow") << false;
        QTest::newRow("KeepGlyph") << true;
    }

    void keepGlyph()
    {
        QFETCH(bool, keepGlyph);
        m_frame->ClearButtons();
        m_frame->BuildButtons(keepGlyph);
        for (const char *key : {"Dead", "LShift", "Caps"}) {
            ButtonType *b = button(key);
            QCOMPARE(b->KeepGlyph, keepGlyph);
            click(key);
            QVERIFY(b->down());
            QCOMPARE(b->glyph(), keepGlyph ? b->UpGlyph : b->DownGlyph);
        }
        click("A");
        QCOMPARE(m_edit->text(), QString::fromUtf8("\xC3\xA2"));
        click("Caps");
        for (const char *key : {"LShift", "Caps", "Dead"}) {
            QVERIFY(!button(key)->down());
            QCOMPARE(button(key)->glyph(), button(key)->UpGlyph);
        }
    }

    void characterKeysShareOneGroup()
    {
        m_frame->ShowKeyPressed(button("A"), true);
        m_frame->ShowKeyPressed(button("1"), true);
        QVERIFY(!button("A")->down());
        QVERIFY(button("1")->down());
        QVERIFY(!button("Dead")->down());
    }

    void clearButtonsForgetsRolesKeepsState()
    {
        click("Caps");
        click("Dead");
        m_frame->ClearButtons();
        QVERIFY(m_frame->Buttons().empty());
        QVERIFY(m_frame->KeyArea()->findChildren<ButtonType *>().isEmpty());
        QCOMPARE(m_frame->KbState().CapsLockKey(), nullptr);
        QCOMPARE(m_frame->KbState().ActiveAccentKey(), nullptr);
        QVERIFY(m_frame->KbState().CapsLock());
        QCOMPARE(m_frame->KbState().Accent(), 2003);

        m_frame->BuildButtons(false);
        QVERIFY(!button("Caps")->down()); // engaged, but its new button is shown released
        click("Caps");
        QVERIFY(!m_frame->KbState().CapsLock());
        QVERIFY(!button("Caps")->down());
        click("A"); // the accent survived the rebuild
        QCOMPARE(m_edit->text(), QString::fromUtf8("\xC3\xA2"));
    }

    void rebuildMapsButtonsToRowsAgain()
    {
        m_frame->ClearButtons();
        m_keys->SetIndexFieldNames("Name"); // "1", "A", "AltGr", "BS", ...
        m_frame->BuildButtons(false);
        QCOMPARE(int(m_frame->Buttons().size()), kKeyCount);
        ButtonType *first = m_frame->Buttons().front();
        QCOMPARE(first->tag(), 11);
        QTest::mouseClick(first, Qt::LeftButton);
        QCOMPARE(m_keys->RecNo(), 1);
        QCOMPARE(m_keys->FieldByName("Name").AsString(), std::string("1"));
        QCOMPARE(m_edit->text(), QStringLiteral("1"));
        QTest::mouseClick(m_frame->Buttons()[1], Qt::LeftButton);
        QCOMPARE(m_keys->FieldByName("Name").AsString(), std::string("A"));
        QCOMPARE(m_edit->text(), QStringLiteral("1a"));
    }

    void onKeyClickAfterTheKeysReaction()
    {
        QList<ButtonType *> senders;
        QStringList rowsSeen;
        m_frame->OnKeyClick = [&](ButtonType *Sender) {
            senders << Sender;
            rowsSeen << QString::fromStdString(m_keys->FieldByName("Name").AsString()) + "/"
                            + m_edit->text();
        };
        click("E");
        click("Enter");
        QCOMPARE(senders, (QList<ButtonType *>{button("E"), button("Enter")}));
        QCOMPARE(rowsSeen, (QStringList{"E/e", "Enter/e"}));
    }

    void hostMayRebuildFromOnKeyClick()
    {
        int clicks = 0;
        m_frame->OnKeyClick = [&](ButtonType *) {
            ++clicks;
            m_frame->ClearButtons();
            m_frame->BuildButtons(false);
        };
        click("A");
        click("A");
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QCOMPARE(clicks, 2);
        QCOMPARE(m_edit->text(), QStringLiteral("aa"));
        QCOMPARE(m_frame->KeyArea()->findChildren<ButtonType *>().size(), qsizetype(kKeyCount));
    }

    void rowGoneFromKeyTableIsIgnored()
    {
        m_keys->Last();
        m_keys->Delete(); // "1" is gone; its button is still there
        m_keys->First();
        m_edit->setText("x");
        QTest::mouseClick(m_frame->Buttons().back(), Qt::LeftButton);
        QCOMPARE(m_edit->text(), QStringLiteral("x"));
        QCOMPARE(m_keys->RecNo(), 1);
    }

    // The keyboard is one stop of the Tab chain; its keys never take the
    // real focus, one of them holds the keyboard's focus while the keyboard
    // has it. Tab leaves the keyboard again.
    void tabIntoTheKeyboardAndOut()
    {
        placeKeysInRows();
        m_edit->setFocus();
        QVERIFY(m_edit->hasFocus());
        QCOMPARE(focusedKeyName(), QString());
        press(Qt::Key_Tab);
        QVERIFY(m_frame->hasFocus());
        QCOMPARE(focusedKeyName(), QStringLiteral("1")); // the top row's leftmost key
        QCOMPARE(m_frame->FocusKey(), button("1"));
        QVERIFY(QAccessible::queryAccessibleInterface(button("1"))->state().focusable);
        press(Qt::Key_Right);
        QCOMPARE(focusedKeyName(), QStringLiteral("A"));
        press(Qt::Key_Tab); // one stop for the whole keyboard
        QVERIFY(m_edit->hasFocus());
        QCOMPARE(focusedKeyName(), QString());
        QVERIFY(!button("A")->hasKeyFocus());
        press(Qt::Key_Backtab); // back in: on the key left last
        QVERIFY(m_frame->hasFocus());
        QCOMPARE(focusedKeyName(), QStringLiteral("A"));
    }

    // The arrows go to the nearest key in their direction: one across the way
    // (in the row for Left/Right, above or below for Up/Down) first.
    void arrowsMoveBetweenKeys_data()
    {
        QTest::addColumn<QString>("start");
        QTest::addColumn<QList<int>>("arrows");
        QTest::addColumn<QString>("focused");
        const int L = Qt::Key_Left, R = Qt::Key_Right, U = Qt::Key_Up, D = Qt::Key_Down;
        QTest::newRow("right along the row") << "1" << QList<int>{R, R} << "E";
        QTest::newRow("right to the row's end") << "1" << QList<int>{R, R, R} << "BS";
        QTest::newRow("left stops at the row's start") << "A" << QList<int>{L, L, L} << "1";
        QTest::newRow("up: the key above nearest the middle") << "LShift" << QList<int>{U} << "E";
        QTest::newRow("down: the key below nearest the middle") << "E" << QList<int>{D} << "LShift";
        QTest::newRow("down onto the wide space bar") << "Dead" << QList<int>{D} << "Space";
        QTest::newRow("up from the space bar") << "Space" << QList<int>{U} << "LShift";
        QTest::newRow("right to a key beside the row") << "RShift" << QList<int>{R} << "Del";
        QTest::newRow("no key in the row that way: the nearest one") << "Enter" << QList<int>{R} << "Del";
        QTest::newRow("nothing above: stays") << "1" << QList<int>{U} << "1";
        QTest::newRow("nothing below: stays") << "AltGr" << QList<int>{D, L} << "AltGr";
        QTest::newRow("there and back") << "Caps" << QList<int>{R, R, U, D, L, L} << "Caps";
        QTest::newRow("round the block") << "1" << QList<int>{D, D, R, U, U} << "E";
    }

    void arrowsMoveBetweenKeys()
    {
        QFETCH(QString, start);
        QFETCH(QList<int>, arrows);
        QFETCH(QString, focused);
        placeKeysInRows();
        m_frame->setFocus(Qt::TabFocusReason);
        QVERIFY(m_frame->hasFocus());
        m_frame->SetFocusKey(button(start.toLatin1().constData()));
        QCOMPARE(focusedKeyName(), start);
        for (int arrow : arrows)
            press(Qt::Key(arrow));
        QCOMPARE(focusedKeyName(), focused);
        QVERIFY(m_frame->hasFocus()); // the real focus stays with the keyboard
        // The focused key is drawn marked: its picture differs from an
        // unmarked key's.
        ButtonType *key = m_frame->FocusKey();
        const QImage marked = key->grab().toImage();
        key->setKeyFocus(false);
        QVERIFY(key->grab().toImage() != marked);
    }

    // Space or Return press the focused key as a click does: it types, sets
    // Shift, Caps Lock, AltGr or an accent.
    void keysPressedFromTheKeyboard_data()
    {
        QTest::addColumn<QStringList>("presses"); // Right, Left, Space, Return, Enter (keypad)
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("status");
        QTest::addColumn<QString>("focused");
        // The keys in one row: A E Dead LShift RShift Caps AltGr BS Del Enter Space 1.
        QTest::newRow("space types") << QStringList{"Space"} << "a" << "" << "A";
        QTest::newRow("return types") << QStringList{"Return", "Enter"} << "aa" << "" << "A";
        QTest::newRow("shift") << QStringList{"Right", "Right", "Right", "Space", "Left", "Left", "Left", "Space", "Space"}
                               << "Aa" << "" << "A";
        QTest::newRow("caps lock") << QStringList{"Right", "Right", "Right", "Right", "Right", "Return", "Left", "Left",
                                                  "Left", "Left", "Left", "Space", "Space"}
                                   << "AA" << "" << "A";
        QTest::newRow("dead key") << QStringList{"Right", "Right", "Space", "Left", "Left", "Space"}
                                  << QString::fromUtf8("\xC3\xA2") << "" << "A";
        QTest::newRow("dead key pending") << QStringList{"Right", "Right", "Return"} << "" << "Circumflex" << "Dead";
        QTest::newRow("altgr accent") << QStringList{"Right", "Right", "Right", "Right", "Right", "Right", "Space",
                                                     "Left", "Left", "Left", "Left", "Left", "Space", "Space"}
                                      << QString::fromUtf8("\xC3\xA9") << "" << "E";
        QTest::newRow("backspace") << QStringList{"Space", "Space", "Right", "Right", "Right", "Right", "Right",
                                                  "Right", "Right", "Space"}
                                   << "a" << "" << "BS";
    }

    void keysPressedFromTheKeyboard()
    {
        QFETCH(QStringList, presses);
        QFETCH(QString, typed);
        QFETCH(QString, status);
        QFETCH(QString, focused);
        m_edit->setFocus();
        press(Qt::Key_Tab);
        QVERIFY(m_frame->hasFocus());
        QCOMPARE(focusedKeyName(), QStringLiteral("A"));
        for (const QString &p : presses) {
            const Qt::Key key = p == "Right" ? Qt::Key_Right
                                : p == "Left"  ? Qt::Key_Left
                                : p == "Space" ? Qt::Key_Space
                                : p == "Return" ? Qt::Key_Return
                                                : Qt::Key_Enter;
            QTest::keyClick(QApplication::focusWidget(), key, p == "Enter" ? Qt::KeypadModifier : Qt::NoModifier);
        }
        QCOMPARE(m_edit->text(), typed);
        QCOMPARE(m_status->text(), status);
        QCOMPARE(focusedKeyName(), focused);
        QVERIFY(m_frame->hasFocus());
    }

    // A held key repeats; the keyboard takes it as one press.
    void heldSpaceIsOnePress()
    {
        m_frame->setFocus(Qt::TabFocusReason);
        QTest::keyPress(m_frame, Qt::Key_Space);
        QKeyEvent repeat(QEvent::KeyPress, Qt::Key_Space, Qt::NoModifier, QStringLiteral(" "), true);
        QApplication::sendEvent(m_frame, &repeat);
        QTest::keyRelease(m_frame, Qt::Key_Space);
        QCOMPARE(m_edit->text(), QStringLiteral("a"));
    }

    // A click moves the keyboard focus to the clicked key; the focus stays on
    // the same key when the host rebuilds the keyboard from the click.
    void focusKeyFollowsClicksAndRebuilds()
    {
        m_frame->setFocus(Qt::TabFocusReason);
        click("E");
        QCOMPARE(focusedKeyName(), QStringLiteral("E"));
        m_frame->OnKeyClick = [this](ButtonType *) {
            m_frame->ClearButtons();
            m_frame->BuildButtons(false);
        };
        press(Qt::Key_Right);
        press(Qt::Key_Space);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QCOMPARE(focusedKeyName(), QStringLiteral("Dead"));
        QCOMPARE(m_frame->FocusKey(), button("Dead"));
        press(Qt::Key_Left);
        press(Qt::Key_Return);
        QCOMPARE(m_edit->text(), QStringLiteral("e"));
        QCOMPARE(focusedKeyName(), QStringLiteral("E"));
    }

    // Each key's name says what it types now, and changes with the state.
    void namesSayWhatKeysType_data()
    {
        QTest::addColumn<QStringList>("clicks");
        QTest::addColumn<QStringList>("names"); // key=name as assistive technology reads it
        const QString aCirc = QString::fromUtf8("\xC3\xA2"), eAcute = QString::fromUtf8("\xC3\xA9"),
                      aAcute = QString::fromUtf8("\xC3\xA1");
        QTest::newRow("plain") << QStringList{}
                               << QStringList{"A=A: a", "E=E: e", "1=1: 1", "Space=Space", "LShift=LShift",
                                              "Dead=Dead", "Enter=Enter", "BS=BS", "Caps=Caps"};
        QTest::newRow("shift") << QStringList{"LShift"} << QStringList{"A=A: A", "E=E: E", "1=1: !"};
        QTest::newRow("caps lock: letters only") << QStringList{"Caps"} << QStringList{"A=A: A", "1=1: 1"};
        QTest::newRow("caps lock and shift") << QStringList{"Caps", "RShift"} << QStringList{"A=A: a", "1=1: !"};
        QTest::newRow("dead key pending") << QStringList{"Dead"} << QStringList{"A=A: " + aCirc, "E=E", "1=1"};
        QTest::newRow("altgr: a dead key on E") << QStringList{"AltGr"} << QStringList{"A=A", "E=E"};
        QTest::newRow("altgr accent pending") << QStringList{"AltGr", "E"}
                                              << QStringList{"A=A: " + aAcute, "E=E: " + eAcute};
        QTest::newRow("typing ends the state") << QStringList{"LShift", "Dead", "A"}
                                               << QStringList{"A=A: a", "1=1: 1"};
    }

    void namesSayWhatKeysType()
    {
        QFETCH(QStringList, clicks);
        QFETCH(QStringList, names);
        clickAll(clicks);
        for (const QString &entry : names) {
            const QString key = entry.section('=', 0, 0);
            QCOMPARE(key + "=" + spokenName(key.toLatin1().constData()), entry);
        }
    }

    void scrollsToKeysBeyondTheVisibleArea()
    {
        m_frame->ClearButtons();
        m_keys->Last();
        m_keys->Edit();
        m_keys->FieldByName("X").SetAsInteger(900);
        m_keys->FieldByName("Y").SetAsInteger(300);
        m_keys->Post();
        m_frame->BuildButtons(false);
        QCOMPARE(m_frame->KeyArea()->size(), QSize(924, 320));
        QVERIFY(m_frame->horizontalScrollBar()->maximum() > 0);
        // A key moved later (as a drag does) widens the area too.
        m_frame->Buttons().front()->move(1000, 0);
        QCOMPARE(m_frame->KeyArea()->width(), 1024);
    }
};

QTEST_MAIN(KbFormTest)
#include "KbForm_test.moc"
