// The keyboard road from start to end, through the main window's menus: load
// the sample package in the definition window, edit a key and a character,
// recolour a key picture, set finger lengths and colours, build the layout,
// type with Shift and a dead key, drag a key onto a 5-pixel grid, link a
// character to a key, save the demo text and the definition, then load the
// original and the saved package again and find every change only in the
// saved one.

#include "app/ComFormFactory.h"
#include "app/MainForm.h"
#include "common/CodePage.h"
#include "common/ScriptedDialogs.h"
#include "dbctrls/DBGrid.h"
#include "dbctrls/DBNavigator.h"
#include "define/DefineForm.h"
#include "define/FingerDefForm.h"
#include "define/RxSlider.h"
#include "keyboard/ButtonType.h"
#include "keyboard/DragDropForm.h"
#include "keyboard/KbDemoForm.h"
#include "keyboard/KbDragForm.h"
#include "model/MainData.h"

#include <QAction>
#include <QDrag>
#include <QFile>
#include <QMimeData>
#include <QPushButton>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QTextEdit>
#include <QToolButton>
#include <QtTest>

#include <memory>

using namespace kf;
using Kind = ScriptedDialogs::Kind;

class KeyboardRoadTest : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void defineLayOutSaveAndLoadAgain();

private:
    ButtonType *key(TKbDemoFm *form, const char *name) const;
    // Types into a grid cell as a user does and hands the text in.
    static void typeInCell(TDBGrid *g, int row, int column, const QString &text);
    static QString keyField(const char *keyName, const char *field);
    void load(TDefineFm *form, const QString &file);

    std::unique_ptr<TDataMod> m_dataMod; // outlives the main window, as at start-up
    std::unique_ptr<TMainFm> m_main;
    ScriptedDialogs *m_dialogs = nullptr; // owned by the dialog service
    std::unique_ptr<QTemporaryDir> m_dir;
};

ButtonType *KeyboardRoadTest::key(TKbDemoFm *form, const char *name) const
{
    for (ButtonType *b : form->KbDragFrame()->Buttons())
        if (b->accessibleName() == QLatin1String(name))
            return b;
    return nullptr;
}

void KeyboardRoadTest::typeInCell(TDBGrid *g, int row, int column, const QString &text)
{
    const QModelIndex index = g->model()->index(row, column);
    g->scrollTo(index);
    QTest::mouseClick(g->viewport(), Qt::LeftButton, Qt::NoModifier, g->visualRect(index).center());
    QTest::keyClick(g, Qt::Key_F2);
    QWidget *editor = QApplication::focusWidget();
    QVERIFY(editor && editor != g);
    QTest::keyClick(editor, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClicks(editor, text);
    QTest::keyClick(editor, Qt::Key_Return);
    QCoreApplication::processEvents();
}

QString KeyboardRoadTest::keyField(const char *keyName, const char *field)
{
    TRecordTable &t = DataMod->MainTbl;
    if (!t.Locate("Name", {TValue(std::string(keyName))}))
        return QStringLiteral("<no key %1>").arg(QLatin1String(keyName));
    return QString::fromStdString(t.FieldByName(field).AsString());
}

void KeyboardRoadTest::load(TDefineFm *form, const QString &file)
{
    m_dialogs->answerFile(file);
    QTest::mouseClick(form->LoadBn, Qt::LeftButton);
    QCOMPARE(m_dialogs->count(Kind::Warning), 0);
}

void KeyboardRoadTest::init()
{
    unsetenv("KEYFOLIO_CODEPAGE");
    CodePage::reload();
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    auto d = std::make_unique<ScriptedDialogs>();
    m_dialogs = d.get();
    SetDialogs(std::move(d));
    m_dataMod = std::make_unique<TDataMod>();
    m_main = std::make_unique<TMainFm>();
    m_main->show();
    QVERIFY(QTest::qWaitForWindowActive(m_main.get()));
}

void KeyboardRoadTest::cleanup()
{
    m_main.reset();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    m_dataMod.reset();
    SetDialogs(nullptr);
    m_dialogs = nullptr;
    m_dir.reset();
}

void KeyboardRoadTest::defineLayOutSaveAndLoadAgain()
{
    const QString original = m_dir->filePath(QStringLiteral("sample.vkt"));
    QVERIFY(QFile::copy(QStringLiteral(KF_TEST_DATA_DIR "/sample-keyboard.vkt"), original));

    // Keyboard definition: load, edit a key's hint and a character's name.
    m_main->A_ShowDefineFm->trigger();
    TDefineFm *define = m_main->Factory().FindForm<TDefineFm>();
    QVERIFY(define);
    QVERIFY(QTest::qWaitForWindowExposed(define));
    load(define, original);
    QCOMPARE(DataMod->MainTbl.RecordCount(), 57);

    typeInCell(define->DBGrid, 0, 10, QStringLiteral("edited hint"));
    if (DataMod->MainTbl.State() != TDataSetState::Browse)
        define->DBNavigator1->BtnClick(TDBNavigator::nbPost);
    const QString editedKey = QString::fromStdString(DataMod->MainTbl.FieldByName("Name").AsString());
    QCOMPARE(QString::fromStdString(DataMod->MainTbl.FieldByName("Hint").AsString()), QStringLiteral("edited hint"));

    typeInCell(define->CharGrid, 0, 0, QStringLiteral("renamed"));
    if (DataMod->Ctbl.State() != TDataSetState::Browse)
        define->DBNavigator2->BtnClick(TDBNavigator::nbPost);
    const int editedCode = DataMod->Ctbl.FieldByName("Code").AsInteger();
    QCOMPARE(QString::fromStdString(DataMod->Ctbl.FieldByName("Name").AsString()), QStringLiteral("renamed"));

    // Recolour the current key's picture.
    const std::string pictureBefore = DataMod->MainTbl.FieldByName("Glyph").AsString();
    m_dialogs->answerColor(0x0000FF);
    QTest::mouseClick(define->KeyColorBn, Qt::LeftButton);
    define->DBNavigator1->BtnClick(TDBNavigator::nbPost);
    const std::string pictureAfter = DataMod->MainTbl.FieldByName("Glyph").AsString();
    QVERIFY(pictureAfter != pictureBefore);

    // Finger definition: new lengths and a new colour, applied.
    const auto lengthsBefore = DataMod->FingerLength;
    const auto coloursBefore = DataMod->FingerColor;
    m_main->A_ShowFingerDefFm->trigger();
    TFingerDefFm *fingers = m_main->Factory().FindForm<TFingerDefFm>();
    QVERIFY(fingers);
    QVERIFY(QTest::qWaitForWindowExposed(fingers));
    for (int k = 1; k <= 10; ++k) {
        TRxSlider *s = fingers->Slider(k);
        QVERIFY(s);
        s->setFocus();
        QTest::keyClick(s, s->value() < s->maximum() ? Qt::Key_Up : Qt::Key_Down);
    }
    m_dialogs->answerColor(0x00FF00);
    QTest::mouseClick(fingers->Slider(4), Qt::RightButton);
    QTest::mouseClick(fingers->ApplyBn, Qt::LeftButton);
    const auto lengthsApplied = DataMod->FingerLength;
    const auto coloursApplied = DataMod->FingerColor;
    QVERIFY(lengthsApplied != lengthsBefore);
    QVERIFY(coloursApplied != coloursBefore);

    // Keyboard layout: build the keys, type, drag, link.
    m_main->A_ShowKbDemoFm->trigger();
    TKbDemoFm *demo = m_main->Factory().FindForm<TKbDemoFm>();
    QVERIFY(demo);
    QVERIFY(QTest::qWaitForWindowExposed(demo));
    QTest::mouseClick(demo->Button2, Qt::LeftButton); // "Refresh buttons"
    QVERIFY(!demo->KbDragFrame()->Buttons().empty());
    for (const char *k : {"L Shift", "H", "I", "Space", "Grave", "A"})
        QTest::mouseClick(key(demo, k), Qt::LeftButton);
    QCOMPARE(demo->DemoEd->toPlainText(), QString::fromUtf8("Hi \xC3\xA0"));

    demo->GridXEd->setValue(5);
    demo->GridYEd->setValue(5);
    TDragDropFm *frame = demo->DragDropFrame;
    const QPoint dropAt(217, 123); // hot spot (7, 5): the key's corner at (210, 118), snapped to (210, 120)
    int drags = 0;
    frame->RunDrag = [frame, dropAt, &drags](QDrag *drag) {
        ++drags;
        QWidget *area = frame->KbDragFrame->KeyArea();
        QDragEnterEvent enter(dropAt, Qt::MoveAction, drag->mimeData(), Qt::RightButton, Qt::NoModifier);
        QApplication::sendEvent(area, &enter);
        QDragMoveEvent move(dropAt, Qt::MoveAction, drag->mimeData(), Qt::RightButton, Qt::NoModifier);
        QApplication::sendEvent(area, &move);
        QDropEvent drop(QPointF(dropAt), Qt::MoveAction, drag->mimeData(), Qt::NoButton, Qt::NoModifier);
        QApplication::sendEvent(area, &drop);
    };
    ButtonType *q = key(demo, "Q");
    QTest::mousePress(q, Qt::RightButton, Qt::NoModifier, QPoint(7, 5));
    QTest::mouseRelease(q, Qt::RightButton, Qt::NoModifier, QPoint(7, 5));
    QCOMPARE(drags, 1);
    QCOMPARE(q->pos(), QPoint(210, 120));

    // Link the section sign (linked to no key) to M.
    TRecordTable &f = DataMod->CtblF;
    int n = 0;
    for (int i = 0; i < f.RecordCount(); ++i)
        if (f.FieldValueAt(i, f.FieldByName("Code").Index()).integer() == 0xA7)
            n = i + 1;
    QVERIFY(n > 0);
    ButtonType *m = key(demo, "M");
    const int mTag = m->tag();
    QTest::mouseClick(m, Qt::LeftButton);
    demo->CharGridSelectCell((n - 1) % 40, (n - 1) / 40);
    QCOMPARE(DataMod->Ctbl.FieldByName("Code").AsInteger(), 0xA7);
    QTest::mouseClick(demo->Button4, Qt::LeftButton);
    QCOMPARE(DataMod->Ctbl.FieldByName("KeyNo").AsInteger(), mTag);

    const QString text = m_dir->filePath(QStringLiteral("demo.rtf"));
    m_dialogs->answerFile(text);
    QTest::mouseClick(demo->Button3, Qt::LeftButton); // "Save text"
    QFile rtf(text);
    QVERIFY(rtf.open(QIODevice::ReadOnly));
    QVERIFY(rtf.readAll().contains("Hi \\'e0"));

    // Back in the definition window: save, then load the original and the saved package.
    const QString saved = m_dir->filePath(QStringLiteral("saved.vkt"));
    m_dialogs->answerFile(saved);
    QTest::mouseClick(define->SaveBn, Qt::LeftButton);
    QCOMPARE(m_dialogs->count(Kind::Warning), 0);
    QVERIFY(QFile::exists(saved));

    struct Seen {
        QString hint, qX, qY, charName;
        std::string picture;
        int sectionKey;
        std::array<int32_t, kFingerCount> lengths, colours;
    };
    auto look = [&]() {
        Seen s;
        s.hint = keyField(editedKey.toUtf8().constData(), "Hint");
        s.picture = DataMod->MainTbl.FieldByName("Glyph").AsString();
        s.qX = keyField("Q", "X");
        s.qY = keyField("Q", "Y");
        TRecordTable &c = DataMod->Ctbl;
        s.charName = c.Locate("Code", {TValue(int32_t(editedCode))}) ? QString::fromStdString(c.FieldByName("Name").AsString())
                                                                      : QString();
        s.sectionKey = c.Locate("Code", {TValue(int32_t(0xA7))}) && !c.FieldByName("KeyNo").IsNull()
                           ? c.FieldByName("KeyNo").AsInteger()
                           : -1;
        s.lengths = DataMod->FingerLength;
        s.colours = DataMod->FingerColor;
        return s;
    };

    load(define, original);
    const Seen before = look();
    QVERIFY(before.hint != QStringLiteral("edited hint"));
    QVERIFY(before.picture == pictureBefore);
    QVERIFY(before.qX != QStringLiteral("210") || before.qY != QStringLiteral("120"));
    QVERIFY(before.charName != QStringLiteral("renamed"));
    QVERIFY(before.sectionKey != mTag);
    QVERIFY(before.lengths == lengthsBefore);

    load(define, saved);
    const Seen after = look();
    QCOMPARE(after.hint, QStringLiteral("edited hint"));
    QVERIFY(after.picture == pictureAfter);
    QCOMPARE(after.qX, QStringLiteral("210"));
    QCOMPARE(after.qY, QStringLiteral("120"));
    QCOMPARE(after.charName, QStringLiteral("renamed"));
    QCOMPARE(after.sectionKey, mTag);
    QVERIFY(after.lengths == lengthsApplied);
    QVERIFY(after.colours == coloursApplied);
}

QTEST_MAIN(KeyboardRoadTest)
#include "KeyboardRoad_test.moc"
