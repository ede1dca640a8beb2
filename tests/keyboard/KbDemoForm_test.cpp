// The keyboard layout window and its drag-and-drop frame, driven with real
// mouse events on the offscreen platform. A key drag is carried to its drop by
// a stand-in for the platform's drag loop that sends the same drag-enter,
// drag-move and drop events the platform would.

#include "FileSizeLimit.h"
#include "common/FilePath.h"
#include "SampleKeyboard.h"
#include "app/Application.h"
#include "common/CodePage.h"
#include "common/ScriptedDialogs.h"
#include "common/TextFile.h"
#include "dbctrls/DBGrid.h"
#include "dbctrls/DBImage.h"
#include "define/DefineForm.h"
#include "model/GlyphCodec.h"
#include "keyboard/DragDropForm.h"
#include "keyboard/KbDemoForm.h"
#include "keyboard/KbDragForm.h"
#include "model/MainData.h"

#include <QAbstractItemModelTester>
#include <QAccessible>
#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QClipboard>
#include <QDrag>
#include <QHeaderView>
#include <QLabel>
#include <QMimeData>
#include <QPushButton>
#include <QSignalSpy>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>
#include <QTextEdit>

#include <cstdio>
#include <memory>

using namespace kf;

namespace {

struct DropPlan {
    QPoint at;          // where the cursor is when the key is dropped (key-area coordinates)
    bool drop = true;   // false: the drag is cancelled
    int drags = 0;      // drags run so far
    QPixmap pixmap;
    QPoint hotSpot;
};

// Sends what the platform's drag loop would send to the keyboard's key area.
void InstallDropPlan(TDragDropFm *frame, DropPlan *plan)
{
    frame->RunDrag = [frame, plan](QDrag *drag) {
        ++plan->drags;
        plan->pixmap = drag->pixmap();
        plan->hotSpot = drag->hotSpot();
        QWidget *area = frame->KbDragFrame->KeyArea();
        const QPointF p(plan->at);
        QDragEnterEvent enter(p.toPoint(), Qt::MoveAction, drag->mimeData(), Qt::RightButton, Qt::NoModifier);
        QApplication::sendEvent(area, &enter);
        QDragMoveEvent move(p.toPoint(), Qt::MoveAction, drag->mimeData(), Qt::RightButton, Qt::NoModifier);
        QApplication::sendEvent(area, &move);
        if (plan->drop) {
            QDropEvent dropEvent(p, Qt::MoveAction, drag->mimeData(), Qt::NoButton, Qt::NoModifier);
            QApplication::sendEvent(area, &dropEvent);
        }
    };
}

void clickTitle(TDBGrid *grid, const QString &title)
{
    QAbstractItemModel *m = grid->model();
    int column = -1;
    for (int c = 0; c < m->columnCount(); ++c)
        if (m->headerData(c, Qt::Horizontal).toString() == title)
            column = c;
    QVERIFY2(column >= 0, qPrintable(title));
    QHeaderView *header = grid->horizontalHeader();
    const QPoint at(header->sectionViewportPosition(column) + header->sectionSize(column) / 2,
                    header->height() / 2);
    QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, at);
}

// What a grid shows, and whether the cells that show something else since
// were announced to the view (dataChanged over them, or a reset): a view
// repaints only what its model announces.
class CellWatch {
public:
    explicit CellWatch(QAbstractItemModel *model)
        : m_model(model), m_before(texts(model)), m_changed(model, &QAbstractItemModel::dataChanged),
          m_reset(model, &QAbstractItemModel::modelReset)
    {
    }

    static QStringList texts(const QAbstractItemModel *m)
    {
        QStringList out;
        for (int r = 0; r < m->rowCount(); ++r)
            for (int c = 0; c < m->columnCount(); ++c)
                out << m->index(r, c).data().toString();
        return out;
    }

    // How many cells show another text now.
    int changedCells() const
    {
        const QStringList now = texts(m_model);
        int n = 0;
        for (int i = 0; i < now.size(); ++i)
            n += now[i] != m_before[i];
        return n;
    }

    // The cells ("row,column") that show another text but were not announced.
    QStringList unannounced() const
    {
        const QStringList now = texts(m_model);
        QStringList out;
        if (!m_reset.isEmpty())
            return out;
        const int columns = m_model->columnCount();
        for (int i = 0; i < now.size(); ++i) {
            if (now[i] == m_before[i])
                continue;
            const int r = i / columns, c = i % columns;
            bool told = false;
            for (const QList<QVariant> &call : m_changed) {
                const auto from = call.at(0).value<QModelIndex>();
                const auto to = call.at(1).value<QModelIndex>();
                const auto roles = call.at(2).value<QList<int>>();
                told = told
                       || (from.row() <= r && r <= to.row() && from.column() <= c && c <= to.column()
                           && (roles.isEmpty() || roles.contains(Qt::DisplayRole)));
            }
            if (!told)
                out << QStringLiteral("%1,%2").arg(r).arg(c);
        }
        return out;
    }

private:
    QAbstractItemModel *m_model;
    QStringList m_before;
    QSignalSpy m_changed;
    QSignalSpy m_reset;
};

} // namespace

class KbDemoFormTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<TDataMod> dm;
    ScriptedDialogs *dialogs = nullptr;
    std::unique_ptr<TKbDemoFm> form;

    void open(bool sample = true)
    {
        dm = std::make_unique<TDataMod>();
        if (sample)
            sample::BuildSampleKeyboard(*dm);
        auto d = std::make_unique<ScriptedDialogs>();
        dialogs = d.get();
        SetDialogs(std::move(d));
        form = std::make_unique<TKbDemoFm>();
        form->FormCreate();
        form->show();
        QVERIFY(QTest::qWaitForWindowExposed(form.get()));
    }

    ButtonType *key(const char *name)
    {
        for (ButtonType *b : form->KbDragFrame()->Buttons())
            if (b->accessibleName() == QLatin1String(name))
                return b;
        return nullptr;
    }

    int keyRowValue(int keyValue, const char *field)
    {
        TRecordTable &t = dm->MainTbl;
        return t.Locate("KeyValue", {TValue(int32_t(keyValue))}) ? t.FieldByName(field).AsInteger() : -99999;
    }

    // Moves the key table to the key of this name.
    bool gotoKey(const char *name)
    {
        return dm->MainTbl.Locate("Name", {TValue(std::string(name))});
    }

    void setKeyField(const char *name, const char *field, const TValue &value)
    {
        QVERIFY(gotoKey(name));
        dm->MainTbl.Edit();
        dm->MainTbl.FieldByName(field).SetValue(value);
        dm->MainTbl.Post();
    }

    void rightDrag(ButtonType *button, Qt::KeyboardModifiers mods = Qt::NoModifier)
    {
        QTest::mousePress(button, Qt::RightButton, mods, QPoint(5, 5));
        QTest::mouseRelease(button, Qt::RightButton, mods, QPoint(5, 5));
    }

    void addChars(int count)
    {
        for (int i = 0; i < count; ++i)
            dm->Ctbl.AppendRecord({TValue(std::string("c")), TValue(int32_t(33 + i % 200)), TValue(), TValue(false),
                                   TValue(false), TValue(int32_t(0))});
    }

private slots:
    void cleanup()
    {
        form.reset();
        dm.reset();
        SetDialogs(nullptr);
    }

    void layout()
    {
        open();
        QCOMPARE(form->windowTitle(), QStringLiteral("Keyboard layout"));
        QCOMPARE(form->size(), QSize(691, 525));
        QCOMPARE(form->DemoEd->geometry(), QRect(4, 2, 653, 61));
        QCOMPARE(form->Button2->text(), QStringLiteral("Refresh buttons"));
        QCOMPARE(form->Button3->text(), QStringLiteral("Save text"));
        QCOMPARE(form->Button4->toolTip(), QStringLiteral("Add link from selected char to selected key"));
        QCOMPARE(form->Button5->text(), QStringLiteral("Break link between char and key"));
        QCOMPARE(form->CharGrid->model()->columnCount(), 40);
        QCOMPARE(form->CharGrid->model()->rowCount(), 6);
        QCOMPARE(form->KeyGrid->model()->rowCount(), 16);
        QVERIFY(!form->KeyGrid->isEnabled());
        QCOMPARE(form->DragDropFrame->pos(), QPoint(4, 101));
        QCOMPARE(form->KbDragFrame()->size(), QSize(657, 260));
        QVERIFY(form->KbDragFrame()->Buttons().empty()); // empty until "Refresh buttons"
    }

    void refreshWithEmptyTableAsks()
    {
        open(false);
        QTest::mouseClick(form->Button2, Qt::LeftButton);
        QCOMPARE(dialogs->count(ScriptedDialogs::Kind::Information), 1);
        QCOMPARE(dialogs->last(ScriptedDialogs::Kind::Information).text,
                 QStringLiteral("You need to load the definition file in the Keyboard Definition window first."));
        QVERIFY(form->KbDragFrame()->Buttons().empty());
    }

    // "Refresh buttons" on a definition that holds something but no key
    // says what is wrong; on an empty one, that a definition is to be loaded.
    void refreshWithoutKeysSaysWhatIsWrong_data()
    {
        QTest::addColumn<bool>("characters");
        QTest::addColumn<bool>("author");
        QTest::addColumn<QString>("says");
        const QString noKeys = QStringLiteral("The keyboard has no keys");
        QTest::newRow("nothing") << false << false << QStringLiteral("You need to load the definition file");
        QTest::newRow("characters") << true << false << noKeys;
        QTest::newRow("authorOnly") << false << true << noKeys;
    }

    void refreshWithoutKeysSaysWhatIsWrong()
    {
        QFETCH(bool, characters);
        QFETCH(bool, author);
        QFETCH(QString, says);
        open(characters);
        dm->ClearKeyTable();
        if (author)
            dm->Author = "Keyless";
        QTest::mouseClick(form->Button2, Qt::LeftButton);
        QCOMPARE(dialogs->count(ScriptedDialogs::Kind::Information), 1);
        const QString text = dialogs->last(ScriptedDialogs::Kind::Information).text;
        QVERIFY2(text.startsWith(says), qPrintable(text));
        QVERIFY(form->KbDragFrame()->Buttons().empty());
        QVERIFY(form->KeyboardHintLb->isVisible());
    }

    // Until "Refresh buttons" the empty keyboard says to press it, readable
    // by assistive technology; the keys drawn, the line goes.
    void theEmptyKeyboardSaysToRefresh()
    {
        open();
        QVERIFY(form->KbDragFrame()->Buttons().empty());
        QVERIFY(form->KeyboardHintLb->isVisible());
        const QRect keyboard(form->DragDropFrame->pos(), form->KbDragFrame()->size());
        QVERIFY(keyboard.contains(form->KeyboardHintLb->geometry().center()));
        QAccessibleInterface *hint = QAccessible::queryAccessibleInterface(form->KeyboardHintLb);
        QVERIFY(hint);
        QVERIFY2(hint->text(QAccessible::Name).contains(QStringLiteral("Refresh buttons")),
                 qPrintable(hint->text(QAccessible::Name)));
        QTest::mouseClick(form->Button2, Qt::LeftButton);
        QVERIFY(!form->KbDragFrame()->Buttons().empty());
        QVERIFY(!form->KeyboardHintLb->isVisible());
        // A click on the keys' place reaches the keys, not the line.
        QVERIFY(form->KeyboardHintLb->testAttribute(Qt::WA_TransparentForMouseEvents));
    }

    // Made larger, the window gives the room to the keyboard and the demo
    // text; the controls below the keyboard keep to the window's foot and
    // the key's characters to its right edge. It is never smaller than at
    // first.
    void theKeyboardAndTextGrowWithTheWindow()
    {
        open();
        QCOMPARE(form->minimumSize(), QSize(691, 525));
        form->resize(1000, 780);
        QTRY_COMPARE(form->size(), QSize(1000, 780));
        const int dw = 1000 - 691, dh = 780 - 525;
        QCOMPARE(form->DemoEd->geometry(), QRect(4, 2, 653 + dw, 61));
        QCOMPARE(form->KbDragFrame()->size(), QSize(657 + dw, 260 + dh));
        QCOMPARE(form->DragDropFrame->size(), QSize(657 + dw, 260 + dh));
        QCOMPARE(form->KeyGrid->pos(), QPoint(662 + dw, 1));
        QCOMPARE(form->ChartBn->pos(), QPoint(8, 364 + dh));
        QCOMPARE(form->Button5->pos(), QPoint(504, 364 + dh));
        QCOMPARE(form->CharGrid->geometry(), QRect(2, 392 + dh, 685 + dw, 130));
        QVERIFY(form->rect().contains(form->CharGrid->geometry()));
        if (const QByteArray shots = qgetenv("KEYFOLIO_SCREENSHOT_DIR"); !shots.isEmpty()) {
            QTest::mouseClick(form->Button2, Qt::LeftButton);
            QVERIFY(form->grab().save(QString::fromLocal8Bit(shots) + QStringLiteral("/layout-window-large.png")));
        }
        // Back to the first size: every control where it was.
        form->resize(691, 525);
        QTRY_COMPARE(form->size(), QSize(691, 525));
        QCOMPARE(form->DemoEd->geometry(), QRect(4, 2, 653, 61));
        QCOMPARE(form->KbDragFrame()->size(), QSize(657, 260));
        QCOMPARE(form->CharGrid->geometry(), QRect(2, 392, 685, 130));
    }

    void snapping_data()
    {
        QTest::addColumn<int>("grid");
        QTest::addColumn<int>("in");
        QTest::addColumn<int>("out");
        const struct { int g, in, out; } rows[] = {
            {10, 14, 10}, {10, 15, 20}, {10, 25, 30}, {10, -14, -10}, {10, -16, -10}, {10, 0, 0},
            {3, 4, 3},    {3, 5, 6},    {0, 17, 17},  {1, 17, 17},    {0, -3, -3},   {5, 12, 10},  {5, 13, 15},
        };
        for (const auto &r : rows)
            QTest::addRow("G%d: %d", r.g, r.in) << r.g << r.in << r.out;
    }
    void snapping()
    {
        QFETCH(int, grid);
        QFETCH(int, in);
        QFETCH(int, out);
        QCOMPARE(TDragDropFm::Snap(in, grid), out);
    }

    void dragMovesKeyAndWritesRow_data()
    {
        QTest::addColumn<int>("grid");
        QTest::addColumn<QPoint>("dropAt");
        QTest::addColumn<QPoint>("expected");
        QTest::newRow("no grid") << 0 << QPoint(207, 105) << QPoint(200, 100);
        QTest::newRow("grid 15") << 15 << QPoint(207, 105) << QPoint(195, 105);
        QTest::newRow("past the left edge") << 0 << QPoint(3, 60) << QPoint(-4, 55);
    }
    void dragMovesKeyAndWritesRow()
    {
        QFETCH(int, grid);
        QFETCH(QPoint, dropAt);
        QFETCH(QPoint, expected);
        open();
        QTest::mouseClick(form->Button2, Qt::LeftButton);
        form->GridXEd->setValue(grid);
        form->GridYEd->setValue(grid);
        QCOMPARE(form->DragDropFrame->GridX, grid);
        DropPlan plan;
        plan.at = dropAt;
        InstallDropPlan(form->DragDropFrame, &plan);
        ButtonType *a = key("A");
        QVERIFY(a);
        QTest::mousePress(a, Qt::RightButton, Qt::NoModifier, QPoint(7, 5));
        QTest::mouseRelease(a, Qt::RightButton, Qt::NoModifier, QPoint(7, 5));
        QCOMPARE(plan.drags, 1);
        QCOMPARE(plan.hotSpot, QPoint(7, 5));
        QCOMPARE(plan.pixmap.size(), a->size());
        const QImage img = plan.pixmap.toImage();
        QCOMPARE(QColor(img.pixel(0, 0)), QColor(0, 0x80, 0));
        QCOMPARE(QColor(img.pixel(2, 2)), QColor(0, 0x80, 0));
        QCOMPARE(QColor(img.pixel(img.width() / 2, img.height() / 2)), QColor(Qt::white));
        QCOMPARE(a->pos(), expected);
        QCOMPARE(form->DemoLabel->text(), QStringLiteral("%1, %2").arg(expected.x()).arg(expected.y()));
        QCOMPARE(keyRowValue(a->tag(), "X"), expected.x());
        QCOMPARE(keyRowValue(a->tag(), "Y"), expected.y());
        QCOMPARE(dm->MainTbl.State(), TDataSetState::Browse);
        // The next build reads the new place back from the table.
        QTest::mouseClick(form->Button2, Qt::LeftButton);
        QCOMPARE(key("A")->pos(), expected);
    }

    void dragOverShowsUnsnappedPosition()
    {
        open();
        QTest::mouseClick(form->Button2, Qt::LeftButton);
        form->GridXEd->setValue(10);
        DropPlan plan;
        plan.at = QPoint(130, 55);
        plan.drop = false;
        InstallDropPlan(form->DragDropFrame, &plan);
        ButtonType *q = key("Q");
        const QPoint before = q->pos();
        QTest::mousePress(q, Qt::RightButton, Qt::NoModifier, QPoint(10, 10));
        QCOMPARE(form->DemoLabel->text(), QStringLiteral("120, 45"));
        QCOMPARE(q->pos(), before); // cancelled: nothing moves
    }

    void modifiersWithRightButton()
    {
        open();
        QTest::mouseClick(form->Button2, Qt::LeftButton);
        DropPlan plan;
        plan.at = QPoint(300, 150);
        InstallDropPlan(form->DragDropFrame, &plan);
        ButtonType *w = key("W");
        const QPoint before = w->pos();
        dm->MainTbl.First();
        const int firstKey = dm->MainTbl.FieldByName("KeyValue").AsInteger();
        for (Qt::KeyboardModifier m : {Qt::ShiftModifier, Qt::AltModifier}) {
            QTest::mousePress(w, Qt::RightButton, m, QPoint(5, 5));
            QTest::mouseRelease(w, Qt::RightButton, m, QPoint(5, 5));
        }
        QCOMPARE(plan.drags, 0);
        QCOMPARE(w->pos(), before);
        QCOMPARE(dm->MainTbl.FieldByName("KeyValue").AsInteger(), firstKey);
        QCOMPARE(form->DragDropFrame->DragButton(), w);
        // Ctrl + right button selects the key's row without typing.
        QTest::mousePress(w, Qt::RightButton, Qt::ControlModifier, QPoint(5, 5));
        QTest::mouseRelease(w, Qt::RightButton, Qt::ControlModifier, QPoint(5, 5));
        QCOMPARE(plan.drags, 0);
        QCOMPARE(dm->MainTbl.FieldByName("KeyValue").AsInteger(), w->tag());
        QCOMPARE(form->DemoEd->toPlainText(), QString());
    }

    void foreignDropsAreRefused()
    {
        open();
        QTest::mouseClick(form->Button2, Qt::LeftButton);
        ButtonType *e = key("E");
        const QPoint before = e->pos();
        QTest::mouseClick(e, Qt::LeftButton); // DragButton is now E
        QMimeData picture;
        picture.setImageData(QImage(10, 10, QImage::Format_RGB32));
        QVERIFY(!form->DragDropFrame->AcceptsDrop(&picture));
        QVERIFY(!form->DragDropFrame->AcceptsDrop(nullptr));
        // A key drag of another keyboard frame.
        TDragDropFm other;
        QMimeData foreignKey;
        foreignKey.setData(QString::fromLatin1(TDragDropFm::kKeyMimeType),
                           QByteArray::number(quintptr(other.KbDragFrame)) + " 5");
        QVERIFY(!form->DragDropFrame->AcceptsDrop(&foreignKey));
        QMimeData ownKey;
        ownKey.setData(QString::fromLatin1(TDragDropFm::kKeyMimeType),
                       QByteArray::number(quintptr(form->KbDragFrame())) + " 5");
        QVERIFY(form->DragDropFrame->AcceptsDrop(&ownKey));
        QCOMPARE(e->pos(), before);
    }

    void typingSpaceAndEnter()
    {
        open();
        QTest::mouseClick(form->Button2, Qt::LeftButton);
        QTest::mouseClick(key("L Shift"), Qt::LeftButton);
        QTest::mouseClick(key("H"), Qt::LeftButton);
        QTest::mouseClick(key("I"), Qt::LeftButton);
        QTest::mouseClick(key("Space"), Qt::LeftButton);
        QTest::mouseClick(key("Enter"), Qt::LeftButton);
        QTest::mouseClick(key("Grave"), Qt::LeftButton); // dead key: grave accent
        QTest::mouseClick(key("A"), Qt::LeftButton);
        QCOMPARE(form->DemoEd->toPlainText(), QString::fromUtf8("Hi \xC3\xA0"));
    }

    void charGridShowsStoredOrder_data()
    {
        QTest::addColumn<int>("count");
        QTest::newRow("45 characters") << 45;
        QTest::newRow("250 characters") << 250;
    }
    void charGridShowsStoredOrder()
    {
        QFETCH(int, count);
        open(false);
        addChars(count);
        // Row 1 holds characters 41.. in columns 0..; nothing beyond the table or the 240th.
        QCOMPARE(form->CharGridCell(0, 1), QString(QChar(33 + 40)));
        QCOMPARE(form->CharGridCell(4, 1), QString(QChar(33 + 44)));
        QCOMPARE(form->CharGridCell(5, 1).isEmpty(), count == 45);
        QCOMPARE(form->CharGridCell(39, 5).isEmpty(), count < 240);
        dm->Ctbl.First();
        const TBookmark before = dm->Ctbl.GetBookmark();
        form->DemoLabel->setText(QStringLiteral("unchanged"));
        form->CharGridSelectCell(7, 1); // n = 48
        if (count == 45) {
            QCOMPARE(dm->Ctbl.GetBookmark(), before);
            QCOMPARE(form->DemoLabel->text(), QStringLiteral("unchanged"));
        } else {
            QCOMPARE(form->DemoLabel->text(), QStringLiteral("48"));
            QCOMPARE(dm->Ctbl.FieldByName("Code").AsInteger(), 33 + 47);
        }
    }

    void charGridBThenA()
    {
        open(false);
        dm->Ctbl.AppendRecord({TValue(std::string("b")), TValue(int32_t('b')), TValue(), TValue(false), TValue(false),
                               TValue(int32_t(0))});
        dm->Ctbl.AppendRecord({TValue(std::string("a")), TValue(int32_t('a')), TValue(), TValue(false), TValue(false),
                               TValue(int32_t(0))});
        QCOMPARE(form->CharGridCell(0, 0), QStringLiteral("b"));
        QCOMPARE(form->CharGridCell(1, 0), QStringLiteral("a"));
        const QRect cell = form->CharGrid->visualRect(form->CharGrid->model()->index(0, 1));
        QTest::mouseClick(form->CharGrid->viewport(), Qt::LeftButton, Qt::NoModifier, cell.center());
        QCOMPARE(dm->Ctbl.FieldByName("Code").AsInteger(), int('a'));
        QCOMPARE(form->DemoLabel->text(), QStringLiteral("2"));
    }

    // The status label is read by assistive technology as it shows: the
    // pending accent, the drag position, the selected character's number.
    void statusLabelIsReadAsShown()
    {
        open();
        QAccessibleInterface *status = QAccessible::queryAccessibleInterface(form->DemoLabel);
        QVERIFY(status);
        const QString what = QStringLiteral("Keyboard status (accent, drag position, character number)");
        QCOMPARE(status->text(QAccessible::Description), what);
        QCOMPARE(status->text(QAccessible::Name), QString());

        QTest::mouseClick(form->Button2, Qt::LeftButton);
        QTest::mouseClick(key("Grave"), Qt::LeftButton); // dead key
        QCOMPARE(form->DemoLabel->text(), QStringLiteral("Grave"));
        QCOMPARE(status->text(QAccessible::Name), QStringLiteral("Grave"));
        QTest::mouseClick(key("A"), Qt::LeftButton); // the accent is used up
        QCOMPARE(status->text(QAccessible::Name), QString());

        DropPlan plan;
        plan.at = QPoint(130, 55);
        plan.drop = false;
        InstallDropPlan(form->DragDropFrame, &plan);
        QTest::mousePress(key("Q"), Qt::RightButton, Qt::NoModifier, QPoint(10, 10));
        QCOMPARE(status->text(QAccessible::Name), QStringLiteral("120, 45"));

        const QRect cell = form->CharGrid->visualRect(form->CharGrid->model()->index(0, 2));
        QTest::mouseClick(form->CharGrid->viewport(), Qt::LeftButton, Qt::NoModifier, cell.center());
        QCOMPARE(status->text(QAccessible::Name), QStringLiteral("3"));
        QCOMPARE(status->text(QAccessible::Description), what);
    }

    void keyGridLimit_data()
    {
        QTest::addColumn<int>("links");
        QTest::newRow("15 links") << 15;
        QTest::newRow("16 links") << 16;
    }
    void keyGridLimit()
    {
        QFETCH(int, links);
        open();
        QTest::mouseClick(form->Button2, Qt::LeftButton);
        ButtonType *z = key("Z");
        for (int i = 0; i < links - 2; ++i) // Z already types z and Z
            dm->Ctbl.AppendRecord({TValue(std::string("x")), TValue(int32_t(0xC0 + i)), TValue(int32_t(z->tag())),
                                   TValue(true), TValue(true), TValue(int32_t(2001))});
        QTest::mouseClick(z, Qt::LeftButton);
        QCOMPARE(dm->CtblD.RecordCount(), links);
        QCOMPARE(form->KeyGridCell(0).isEmpty(), links > 15);
        QCOMPARE(form->KeyGridCell(14).isEmpty(), links > 15);
        QVERIFY(form->KeyGridCell(15).isEmpty());
    }

    void addAndBreakLinks()
    {
        open();
        QTest::mouseClick(form->Button2, Qt::LeftButton);
        // The section sign is linked to no key; select it in the character grid.
        TRecordTable &f = dm->CtblF;
        int n = 0;
        for (int i = 0; i < f.RecordCount(); ++i)
            if (f.FieldValueAt(i, f.FieldByName("Code").Index()).integer() == 0xA7)
                n = i + 1;
        QVERIFY(n > 0);
        ButtonType *m = key("M");
        QTest::mouseClick(m, Qt::LeftButton); // selects M (and its character)
        QCOMPARE(form->KeyGridCell(0), QStringLiteral("m"));
        QVERIFY(form->KeyGridCell(3).isEmpty());
        form->CharGridSelectCell((n - 1) % 40, (n - 1) / 40);
        QCOMPARE(dm->Ctbl.FieldByName("Code").AsInteger(), 0xA7);
        QTest::mouseClick(form->Button4, Qt::LeftButton);
        QCOMPARE(dm->Ctbl.FieldByName("KeyNo").AsInteger(), m->tag());
        QCOMPARE(form->KeyGridCell(3), QString(QChar(0xA7)));
        QTest::mouseClick(form->Button5, Qt::LeftButton);
        QVERIFY(dm->Ctbl.FieldByName("KeyNo").IsNull());
        QVERIFY(form->KeyGridCell(3).isEmpty()); // repainted at once
        QCOMPARE(dm->Ctbl.State(), TDataSetState::Browse);

        // What the key says it types follows a link broken and made again.
        QCOMPARE(m->typedText(), QStringLiteral("m"));
        form->CharGridSelectCell(0, 0);
        QTest::mouseClick(m, Qt::LeftButton);
        for (int i = 0; i < f.RecordCount(); ++i)
            if (f.FieldValueAt(i, f.FieldByName("Code").Index()).integer() == 'm')
                form->CharGridSelectCell(i % 40, i / 40);
        QCOMPARE(dm->Ctbl.FieldByName("Code").AsInteger(), int('m'));
        QTest::mouseClick(form->Button5, Qt::LeftButton);
        QVERIFY(m->typedText().isEmpty());
        QTest::mouseClick(form->Button4, Qt::LeftButton);
        QCOMPARE(m->typedText(), QStringLiteral("m"));
    }

    // Both character grids follow their cursors through the binding: every
    // change shows in the cells it touches without a repaint by hand, under
    // the item model tester.
    void gridsFollowTheCharacterTable_data()
    {
        QTest::addColumn<QString>("change");
        QTest::addColumn<bool>("keyGrid"); // the key grid is watched, else the character grid
        QTest::newRow("character appended") << QStringLiteral("append") << false;
        QTest::newRow("character deleted") << QStringLiteral("delete") << false;
        QTest::newRow("character's code edited") << QStringLiteral("edit") << false;
        QTest::newRow("other order") << QStringLiteral("sort") << false;
        QTest::newRow("package loaded") << QStringLiteral("load") << false;
        QTest::newRow("table emptied") << QStringLiteral("empty") << false;
        QTest::newRow("another key's characters") << QStringLiteral("filter") << true;
        QTest::newRow("character linked to the key") << QStringLiteral("link") << true;
        QTest::newRow("link broken") << QStringLiteral("unlink") << true;
        QTest::newRow("key's character edited") << QStringLiteral("edit key char") << true;
        QTest::newRow("key's characters over the limit") << QStringLiteral("overflow") << true;
    }
    void gridsFollowTheCharacterTable()
    {
        QFETCH(QString, change);
        QFETCH(bool, keyGrid);
        open();
        QAbstractItemModelTester charTester(form->CharGrid->model(),
                                            QAbstractItemModelTester::FailureReportingMode::QtTest);
        QAbstractItemModelTester keyTester(form->KeyGrid->model(),
                                           QAbstractItemModelTester::FailureReportingMode::QtTest);
        TRecordTable &chars = dm->Ctbl;
        const int codeField = chars.FieldByName("Code").Index();
        auto addChar = [&](int code, const TValue &keyNo) {
            chars.AppendRecord({TValue(std::string("x")), TValue(int32_t(code)), keyNo, TValue(false), TValue(false),
                                TValue(int32_t(0))});
        };
        QVERIFY(gotoKey("M"));
        const int32_t m = dm->MainTbl.FieldByName("KeyValue").AsInteger();
        dm->FilterKeyChars(m);
        QVERIFY(dm->CtblD.RecordCount() > 0);

        CellWatch watch(keyGrid ? form->KeyGrid->model() : form->CharGrid->model());
        if (change == QLatin1String("append")) {
            addChar(0xA4, TValue());
        } else if (change == QLatin1String("delete")) {
            chars.GotoBookmark(dm->CtblF.RowAt(0));
            chars.Delete();
        } else if (change == QLatin1String("edit")) {
            chars.GotoBookmark(dm->CtblF.RowAt(0));
            chars.Edit();
            chars.Fields(codeField).SetAsInteger(0xB6);
            chars.Post();
        } else if (change == QLatin1String("sort")) {
            dm->CtblF.SetIndexFieldNames("Code");
        } else if (change == QLatin1String("load")) {
            QVERIFY2(dm->LoadPackage(KF_TEST_DATA_DIR "/packages/other-writer.vkt"), dm->PackageError().c_str());
        } else if (change == QLatin1String("empty")) {
            chars.EmptyDataSet();
        } else if (change == QLatin1String("filter")) {
            QVERIFY(gotoKey("Q"));
            dm->FilterKeyChars(dm->MainTbl.FieldByName("KeyValue").AsInteger());
        } else if (change == QLatin1String("link")) {
            addChar(0xA7, TValue(m));
        } else if (change == QLatin1String("unlink")) {
            chars.GotoBookmark(dm->CtblD.RowAt(0));
            chars.Edit();
            chars.FieldByName("KeyNo").Clear();
            chars.Post();
        } else if (change == QLatin1String("edit key char")) {
            chars.GotoBookmark(dm->CtblD.RowAt(0));
            chars.Edit();
            chars.Fields(codeField).SetAsInteger(0xB6);
            chars.Post();
        } else if (change == QLatin1String("overflow")) {
            for (int i = dm->CtblD.RecordCount(); i <= 15; ++i)
                addChar(0xC0 + i, TValue(m));
        }
        QVERIFY(watch.changedCells() > 0); // the change shows somewhere
        QCOMPARE(watch.unannounced(), QStringList());

        // What the grids show is the cursors' rows as they are now.
        TRecordTable &f = dm->CtblF;
        for (int n = 0; n < 240; ++n) {
            const QString shown = form->CharGrid->model()->index(n / 40, n % 40).data().toString();
            if (n >= f.RecordCount()) {
                QVERIFY(shown.isEmpty());
                continue;
            }
            const uint8_t byte = TDataMod::CodeByte(f.FieldValueAt(n, codeField).integer());
            QCOMPARE(shown, QString(QChar(CodePage::current().toUnicode(byte))));
        }
        TRecordTable &d = dm->CtblD;
        for (int r = 0; r < 16; ++r) {
            const QString shown = form->KeyGrid->model()->index(r, 0).data().toString();
            if (r >= d.RecordCount() || d.RecordCount() > 15) {
                QVERIFY(shown.isEmpty());
                continue;
            }
            const uint8_t byte = TDataMod::CodeByte(d.FieldValueAt(r, codeField).integer());
            QCOMPARE(shown, QString(QChar(CodePage::current().toUnicode(byte))));
        }
    }

    // A grid whose data module goes first shows nothing and keeps working.
    void gridsLetGoOfTheDataModule()
    {
        open();
        QAbstractItemModelTester tester(form->CharGrid->model(),
                                        QAbstractItemModelTester::FailureReportingMode::QtTest);
        QVERIFY(!form->CharGridCell(0, 0).isEmpty());
        CellWatch watch(form->CharGrid->model());
        dm.reset();
        QVERIFY(form->CharGridCell(0, 0).isEmpty());
        QVERIFY(form->KeyGridCell(0).isEmpty());
        QCOMPARE(watch.unannounced(), QStringList());
        form->CharGrid->viewport()->repaint();
    }

    void buttonDownCheckboxMarksKey()
    {
        open();
        QTest::mouseClick(form->Button2, Qt::LeftButton);
        form->ButtonDownCheckbox->setChecked(true);
        ButtonType *k = key("K");
        QTest::mouseClick(k, Qt::LeftButton);
        QVERIFY(k->down());
        ButtonType *j = key("J");
        QTest::mouseClick(j, Qt::LeftButton);
        QVERIFY(j->down());
        QVERIFY(!k->down());
        // Only the marked key shows its pressed picture.
        QCOMPARE(k->glyph(), k->UpGlyph);
        QCOMPARE(j->glyph(), j->DownGlyph);
    }

    // Assistive technology reads the range each grid size box keeps to.
    void gridSpinEditReportsItsRange_data()
    {
        QTest::addColumn<QString>("box");
        QTest::newRow("GridXEd") << "GridXEd";
        QTest::newRow("GridYEd") << "GridYEd";
    }

    void gridSpinEditReportsItsRange()
    {
        QFETCH(QString, box);
        open();
        TGridSpinEdit *edit = box == QLatin1String("GridXEd") ? form->GridXEd : form->GridYEd;
        QAccessibleInterface *a = QAccessible::queryAccessibleInterface(edit);
        QVERIFY(a);
        QAccessibleValueInterface *v = a->valueInterface();
        QVERIFY(v);
        QCOMPARE(v->minimumValue().toInt(), 0);
        QCOMPARE(v->maximumValue().toInt(), 15);
        QCOMPARE(v->currentValue().toInt(), 0);
        edit->setValue(7);
        QCOMPARE(v->currentValue().toInt(), 7);
    }

    void gridSpinEditTypedValues()
    {
        open();
        form->GridXEd->setFocus();
        form->GridXEd->setValue(20); // as if typed
        QCOMPARE(form->DragDropFrame->GridX, 20);
        form->Button2->setFocus(); // focus leaves: back into the range
        QCOMPARE(form->GridXEd->value(), 15);
        QCOMPARE(form->DragDropFrame->GridX, 15);
        form->GridYEd->setValue(3);
        QTest::keyClick(form->GridYEd, Qt::Key_Down);
        QCOMPARE(form->DragDropFrame->GridY, 2);
        form->GridYEd->setValue(0);
        QTest::keyClick(form->GridYEd, Qt::Key_Down);
        QCOMPARE(form->GridYEd->value(), 0);
    }

    // A picture pasted in the definition window, still pending in its picture
    // box, is posted with the key row by whatever posts the row here; with
    // "Width and height fit the image" ticked its size goes with it.
    void pendingPictureSurvivesEveryPost_data()
    {
        QTest::addColumn<QString>("how");
        QTest::newRow("Refresh buttons") << "refresh";
        QTest::newRow("a click on a key") << "click";
        QTest::newRow("a drop of a key") << "drop";
        QTest::newRow("Ctrl + right click on a key") << "select";
        QTest::newRow("a title click that sorts the key grid") << "sort";
    }
    void pendingPictureSurvivesEveryPost()
    {
        QFETCH(QString, how);
        open();
        QTest::mouseClick(form->Button2, Qt::LeftButton);
        DropPlan plan;
        plan.at = QPoint(300, 200);
        InstallDropPlan(form->DragDropFrame, &plan);
        auto define = std::make_unique<TDefineFm>();
        define->show();
        QVERIFY(QTest::qWaitForWindowExposed(define.get()));
        QVERIFY(define->FitImgCheckbox->isChecked());

        QImage picture(31, 23, QImage::Format_RGB32);
        picture.fill(qRgb(10, 200, 30));
        QApplication::clipboard()->setImage(picture);
        QVERIFY(gotoKey("Q"));
        QTest::mouseClick(define->PasteImgBn, Qt::LeftButton);
        QCOMPARE(dm->MainTbl.State(), TDataSetState::Edit);
        QVERIFY(define->KeyImage->Modified()); // not in the row yet

        if (how == "refresh")
            QTest::mouseClick(form->Button2, Qt::LeftButton);
        else if (how == "click")
            QTest::mouseClick(key("A"), Qt::LeftButton);
        else if (how == "drop")
            rightDrag(key("A"));
        else if (how == "select")
            rightDrag(key("W"), Qt::ControlModifier);
        else
            clickTitle(define->DBGrid, QStringLiteral("Value"));

        QCOMPARE(dm->MainTbl.State(), TDataSetState::Browse);
        QVERIFY(!define->KeyImage->Modified());
        QVERIFY(gotoKey("Q"));
        const QImage stored = GlyphToImageOrNull(dm->MainTbl.FieldByName("Glyph").AsBytes());
        QCOMPARE(stored.size(), QSize(31, 23));
        QCOMPARE(stored.pixel(4, 4), qRgb(10, 200, 30));
        QCOMPARE(dm->MainTbl.FieldByName("Width").AsInteger(), 31);
        QCOMPARE(dm->MainTbl.FieldByName("Height").AsInteger(), 23);
        if (how == "refresh") // the rebuilt key shows the new picture
            QCOMPARE(key("Q")->UpGlyph.size(), QSize(31, 23));
    }

    // Each key keeps its own row, whatever became of the key table's order,
    // filter and rows since the keyboard was built.
    void clickTypesItsOwnKey_data()
    {
        QTest::addColumn<QString>("change");
        QTest::newRow("ordered by Value") << "order KeyValue";
        QTest::newRow("ordered by Hint") << "order Hint";
        QTest::newRow("filtered") << "filter";
        QTest::newRow("a key renamed to sort before it") << "rename";
        QTest::newRow("a key added before it") << "add";
        QTest::newRow("a key before it deleted") << "delete";
    }
    void clickTypesItsOwnKey()
    {
        QFETCH(QString, change);
        open();
        QTest::mouseClick(form->Button2, Qt::LeftButton);
        TRecordTable &keys = dm->MainTbl;
        ButtonType *a = key("A");
        const int aValue = a->tag();
        if (change == "order KeyValue") {
            keys.SetIndexFieldNames("KeyValue");
        } else if (change == "order Hint") {
            keys.SetIndexFieldNames("Hint");
        } else if (change == "filter") {
            keys.SetFilter("KeyValue>=" + std::to_string(aValue - 5));
            keys.SetFiltered(true);
        } else if (change == "rename") {
            setKeyField("Z", "Name", TValue(std::string("0Z")));
        } else if (change == "add") {
            keys.AppendRecord({TValue(std::string("!new")), TValue(int32_t(500)), TValue(int32_t(1))});
        } else {
            QVERIFY(gotoKey("1"));
            keys.Delete();
        }
        for (const char *name : {"A", "S", "A"})
            QTest::mouseClick(key(name), Qt::LeftButton);
        QCOMPARE(form->DemoEd->toPlainText(), QStringLiteral("asa"));
        QCOMPARE(QString::fromStdString(keys.FieldByName("Name").AsString()), QStringLiteral("A"));
        QCOMPARE(keys.FieldByName("KeyValue").AsInteger(), aValue);
        QCOMPARE(form->KeyGridCell(0), QStringLiteral("a")); // the key grid shows A's characters
    }

    void clickOnDeletedKeyIsIgnored()
    {
        open();
        QTest::mouseClick(form->Button2, Qt::LeftButton);
        QTest::mouseClick(key("S"), Qt::LeftButton);
        QVERIFY(gotoKey("A"));
        dm->MainTbl.Delete();
        QVERIFY(gotoKey("Q"));
        const TBookmark charRow = dm->Ctbl.GetBookmark();
        const int linked = dm->CtblD.RecordCount();
        QTest::mouseClick(key("A"), Qt::LeftButton);
        QCOMPARE(form->DemoEd->toPlainText(), QStringLiteral("s"));
        QCOMPARE(QString::fromStdString(dm->MainTbl.FieldByName("Name").AsString()), QStringLiteral("Q"));
        QCOMPARE(dm->Ctbl.GetBookmark(), charRow);
        QCOMPARE(dm->CtblD.RecordCount(), linked);
        // Its drop moves it on screen only, Ctrl + right click selects nothing.
        DropPlan plan;
        plan.at = QPoint(300, 200);
        InstallDropPlan(form->DragDropFrame, &plan);
        const int rows = dm->MainTbl.RecordCount();
        rightDrag(key("A"));
        QCOMPARE(plan.drags, 1);
        QCOMPARE(key("A")->pos(), QPoint(295, 195));
        rightDrag(key("A"), Qt::ControlModifier);
        QCOMPARE(QString::fromStdString(dm->MainTbl.FieldByName("Name").AsString()), QStringLiteral("Q"));
        QCOMPARE(dm->MainTbl.RecordCount(), rows);
        QCOMPARE(dm->MainTbl.State(), TDataSetState::Browse);
    }

    // A key whose KeyValue is empty or shared still moves and selects its own row.
    void dragWritesItsOwnRow_data()
    {
        QTest::addColumn<bool>("empty");
        QTest::newRow("empty KeyValue") << true;
        QTest::newRow("KeyValue shared with a key before it") << false;
    }
    void dragWritesItsOwnRow()
    {
        QFETCH(bool, empty);
        open();
        QVERIFY(gotoKey("A"));
        const int aValue = dm->MainTbl.FieldByName("KeyValue").AsInteger();
        const int aX = dm->MainTbl.FieldByName("X").AsInteger();
        const TValue sValue = empty ? TValue() : TValue(int32_t(aValue));
        setKeyField("S", "KeyValue", sValue);
        if (empty)
            setKeyField("D", "KeyValue", TValue());
        QTest::mouseClick(form->Button2, Qt::LeftButton);
        DropPlan plan;
        plan.at = QPoint(305, 205);
        InstallDropPlan(form->DragDropFrame, &plan);
        rightDrag(key("S"));
        QCOMPARE(key("S")->pos(), QPoint(300, 200));
        QVERIFY(gotoKey("S"));
        QCOMPARE(dm->MainTbl.FieldByName("X").AsInteger(), 300);
        QCOMPARE(dm->MainTbl.FieldByName("Y").AsInteger(), 200);
        QVERIFY(gotoKey("A"));
        QCOMPARE(dm->MainTbl.FieldByName("X").AsInteger(), aX);
        QVERIFY(gotoKey("D"));
        QVERIFY(dm->MainTbl.FieldByName("X").AsInteger() != 300);

        QVERIFY(gotoKey("Q"));
        rightDrag(key("S"), Qt::ControlModifier);
        QCOMPARE(QString::fromStdString(dm->MainTbl.FieldByName("Name").AsString()), QStringLiteral("S"));
        rightDrag(key("D"), Qt::ControlModifier);
        QCOMPARE(QString::fromStdString(dm->MainTbl.FieldByName("Name").AsString()), QStringLiteral("D"));
    }

    // The keyboard used without a mouse: Tab from the demo text into the
    // keyboard, the arrows to a key, Space or Return to press it, and Tab on
    // to the character grid. Assistive technology hears the focused key and
    // what it types.
    void keyboardWithoutAMouse()
    {
        open();
        QTest::mouseClick(form->Button2, Qt::LeftButton);
        TKbDragFm *keyboard = form->KbDragFrame();
        const auto spoken = [](ButtonType *b) {
            return QAccessible::queryAccessibleInterface(b)->text(QAccessible::Name);
        };
        const auto focusedKeys = [&] {
            QList<ButtonType *> focused;
            for (ButtonType *b : keyboard->Buttons())
                if (QAccessible::queryAccessibleInterface(b)->state().focused)
                    focused << b;
            return focused;
        };
        const auto press = [](Qt::Key k, Qt::KeyboardModifiers mods = Qt::NoModifier) {
            QTest::keyClick(QApplication::focusWidget(), k, mods);
        };

        form->DemoEd->setFocus();
        press(Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), keyboard);
        QCOMPARE(focusedKeys(), QList<ButtonType *>{key("Grave")});
        QCOMPARE(spoken(key("Grave")), QStringLiteral("Grave")); // a dead key: its name
        press(Qt::Key_Down);
        QCOMPARE(focusedKeys(), QList<ButtonType *>{key("Q")});
        QCOMPARE(spoken(key("Q")), QStringLiteral("Q: q"));
        press(Qt::Key_Space);
        QCOMPARE(form->DemoEd->toPlainText(), QStringLiteral("q"));
        press(Qt::Key_Down);
        press(Qt::Key_Down);
        QCOMPARE(focusedKeys(), QList<ButtonType *>{key("L Shift")});
        press(Qt::Key_Return);
        QVERIFY(key("L Shift")->down());
        QCOMPARE(spoken(key("Q")), QStringLiteral("Q: Q"));
        QCOMPARE(spoken(key("1")), QStringLiteral("1: !"));
        press(Qt::Key_Up);
        press(Qt::Key_Up);
        press(Qt::Key_Right);
        QCOMPARE(focusedKeys(), QList<ButtonType *>{key("W")});
        press(Qt::Key_Space);
        QCOMPARE(form->DemoEd->toPlainText(), QStringLiteral("qW"));
        QCOMPARE(spoken(key("W")), QStringLiteral("W: w"));
        QCOMPARE(QApplication::focusWidget(), keyboard); // the keys never took the focus

        press(Qt::Key_Tab);
        QVERIFY(form->CharGrid->hasFocus());
        QVERIFY(focusedKeys().isEmpty());
        press(Qt::Key_Tab, Qt::ShiftModifier);
        QCOMPARE(QApplication::focusWidget(), keyboard);
        QCOMPARE(focusedKeys(), QList<ButtonType *>{key("W")});
    }

    // Taking the focus by Tab makes a cell of the character grid current but
    // selects no character: "Add char to key" links the one the user chose.
    void tabIntoCharGridSelectsNothing_data()
    {
        QTest::addColumn<int>("rightPresses");
        QTest::newRow("Tab only") << 0;
        QTest::newRow("Tab, then Right") << 1;
    }
    void tabIntoCharGridSelectsNothing()
    {
        QFETCH(int, rightPresses);
        open();
        QTest::mouseClick(form->Button2, Qt::LeftButton);
        ButtonType *m = key("M");
        QTest::mouseClick(m, Qt::LeftButton);
        QVERIFY(dm->Ctbl.Locate("Code", {TValue(int32_t(0xA7))})); // the section sign, linked to no key
        form->DemoLabel->setText(QStringLiteral("chosen"));

        form->KbDragFrame()->setFocus(Qt::OtherFocusReason);
        QVERIFY(form->KbDragFrame()->hasFocus());
        QTest::keyClick(form->KbDragFrame(), Qt::Key_Tab);
        QVERIFY(form->CharGrid->hasFocus());
        QVERIFY(form->CharGrid->currentIndex().isValid());
        for (int i = 0; i < rightPresses; ++i)
            QTest::keyClick(form->CharGrid, Qt::Key_Right);

        TRecordTable &f = dm->CtblF;
        const int expectedCode = rightPresses == 0 ? 0xA7
                                                   : f.FieldValueAt(rightPresses, f.FieldByName("Code").Index()).integer();
        QCOMPARE(dm->Ctbl.FieldByName("Code").AsInteger(), expectedCode);
        QCOMPARE(form->DemoLabel->text(),
                 rightPresses == 0 ? QStringLiteral("chosen") : QString::number(rightPresses + 1));
        QTest::mouseClick(form->Button4, Qt::LeftButton);
        QVERIFY(dm->Ctbl.Locate("KeyNo;Code", {TValue(int32_t(m->tag())), TValue(int32_t(expectedCode))}));
    }

    // The grid sizes take digits, signs and the locale's decimal separator;
    // a text that is no integer means 0, a value outside 0..15 is set back
    // into the range when the focus leaves.
    void gridSpinEditTakesNumberCharacters_data()
    {
        QTest::addColumn<QString>("locale");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("shown");
        QTest::addColumn<int>("grid");
        QTest::addColumn<int>("afterFocusLeaves");
        QTest::newRow("C: 7") << "C" << "7" << "7" << 7 << 7;
        QTest::newRow("C: +7") << "C" << "+7" << "+7" << 7 << 7;
        QTest::newRow("C: -3") << "C" << "-3" << "-3" << -3 << 0;
        QTest::newRow("C: 1.5") << "C" << "1.5" << "1.5" << 0 << 0;
        QTest::newRow("C: 12.") << "C" << "12." << "12." << 0 << 0;
        QTest::newRow("C: 20") << "C" << "20" << "20" << 20 << 15;
        QTest::newRow("C: letters and spaces refused") << "C" << "1a 2" << "12" << 12 << 12;
        QTest::newRow("C: comma refused") << "C" << "1,5" << "15" << 15 << 15;
        QTest::newRow("de: 1,5") << "de_DE" << "1,5" << "1,5" << 0 << 0;
        QTest::newRow("de: point refused") << "de_DE" << "1.5" << "15" << 15 << 15;
    }
    void gridSpinEditTakesNumberCharacters()
    {
        QFETCH(QString, locale);
        QFETCH(QString, typed);
        QFETCH(QString, shown);
        QFETCH(int, grid);
        QFETCH(int, afterFocusLeaves);
        open();
        form->GridXEd->setLocale(QLocale(locale));
        form->GridXEd->setValue(4);
        form->GridXEd->setFocus();
        QVERIFY(form->GridXEd->hasFocus());
        form->GridXEd->selectAll();
        QTest::keyClicks(form->GridXEd, typed);
        QCOMPARE(form->GridXEd->text(), shown);
        QCOMPARE(form->DragDropFrame->GridX, grid);
        form->Button2->setFocus();
        QCOMPARE(form->DragDropFrame->GridX, afterFocusLeaves);
        QCOMPARE(form->GridXEd->value(), afterFocusLeaves);
        QCOMPARE(form->GridXEd->text(), QString::number(afterFocusLeaves));
    }

    // With KEYFOLIO_SCREENSHOT_DIR set, saves a picture of the window with the
    // sample keyboard built, a key pressed and a word typed.
    void screenshot()
    {
        const QByteArray dir = qgetenv("KEYFOLIO_SCREENSHOT_DIR");
        if (dir.isEmpty())
            QSKIP("KEYFOLIO_SCREENSHOT_DIR is not set");
        open();
        QTest::mouseClick(form->Button2, Qt::LeftButton);
        form->ButtonDownCheckbox->setChecked(true);
        for (const char *k : {"L Shift", "K", "E", "Y", "F", "O", "L", "I", "O"})
            QTest::mouseClick(key(k), Qt::LeftButton);
        form->CharGridSelectCell(3, 0);
        QVERIFY(form->grab().save(QString::fromLocal8Bit(dir) + QStringLiteral("/layout-window.png")));
    }

    void saveTextWritesRtf()
    {
        open();
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("demo.rtf"));
        form->DemoEd->setPlainText(QStringLiteral("caf\u00E9 {x}\nline two"));
        dialogs->answerCancel();
        QTest::mouseClick(form->Button3, Qt::LeftButton);
        QVERIFY(!QFile::exists(path));
        dialogs->answerFile(path);
        QTest::mouseClick(form->Button3, Qt::LeftButton);
        QFile f(path);
        QVERIFY(f.open(QIODevice::ReadOnly));
        const QByteArray rtf = f.readAll();
        QVERIFY(rtf.startsWith("{\\rtf1\\ansi\\ansicpg"));
        QVERIFY(rtf.contains("Courier New"));
        QVERIFY(rtf.contains("caf\\'e9 \\{x\\}\\par"));
        QVERIFY(rtf.contains("line two"));
        const auto request = dialogs->last(ScriptedDialogs::Kind::SaveFile).request;
        QVERIFY(request.filter.isEmpty());
        QVERIFY(!request.overwritePrompt);
        if (system("command -v unrtf >/dev/null 2>&1") == 0) {
            const QByteArray cmd = "unrtf --text " + QFile::encodeName(path) + " 2>/dev/null";
            FILE *p = popen(cmd.constData(), "r");
            QVERIFY(p);
            QByteArray out;
            char buf[4096];
            size_t n;
            while ((n = fread(buf, 1, sizeof buf, p)) > 0)
                out.append(buf, qsizetype(n));
            pclose(p);
            QVERIFY2(out.contains("line two") && out.contains("{x}"), out.constData());
        }
    }

    void failedSaveKeepsTheOldTextAndReports()
    {
        open();
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("demo.rtf"));
        const std::string old = "{\\rtf1 the demo text of last week}";
        writeFileBytes(kf::LocalPath(path), old);
        form->DemoEd->setPlainText(QString(2000, QLatin1Char('x')));
        dialogs->answerFile(path);
        {
            const test::FileSizeLimit limit(512); // as a full disk would
            QTest::mouseClick(form->Button3, Qt::LeftButton);
        }
        QCOMPARE(dialogs->count(ScriptedDialogs::Kind::Message), 1);
        const QString report = dialogs->last(ScriptedDialogs::Kind::Message).text;
        QVERIFY2(report.contains(QStringLiteral("EFCreateError--Cannot write file")), qPrintable(report));
        QVERIFY2(report.contains(QStringLiteral("File too large")), qPrintable(report));
        QCOMPARE(readFileBytes(kf::LocalPath(path)), old);
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"demo.rtf"});

        // Without the limit the same save goes through.
        dialogs->answerFile(path);
        QTest::mouseClick(form->Button3, Qt::LeftButton);
        QVERIFY(readFileBytes(kf::LocalPath(path)).size() > 2000);
    }
};

int main(int argc, char **argv)
{
    // The program's application object: it reports an error that ends a
    // handler, as the running program does.
    TApplication app(argc, argv);
    KbDemoFormTest test;
    return QTest::qExec(&test, argc, argv);
}
#include "KbDemoForm_test.moc"
