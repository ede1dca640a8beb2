#include "app/ComFormFactory.h"
#include "common/ScriptedDialogs.h"
#include "define/FingerDefForm.h"
#include "define/RxSlider.h"
#include "model/DefinitionHistory.h"
#include "model/MainData.h"
#include "model/Readme.h"

#include <QAccessible>
#include <QLabel>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPointer>
#include <QPushButton>
#include <QTest>

#include <memory>
#include <string>

using namespace kf;

namespace {

using Kind = ScriptedDialogs::Kind;
const QString kEmptyTableMessage =
    QStringLiteral("You need to load the definition file in the Keyboard Definition window first.");
constexpr uint32_t kLightYellow = 9502719;

// The settings key shown by each slider, left to right.
const char *const kSliderKeys[10] = {"LLittle", "LRing", "LMiddle", "LIndex", "LThumb",
                                     "RThumb",  "RIndex", "RMiddle", "RRing",  "RLittle"};

void addKey(TDataMod &dm, const char *name = "A")
{
    dm.MainTbl.AppendRecord({std::string(name), 65, 1});
}

// Settings as a package would bring them: lengths and colours by key name.
PackageSettings settingsByKey(const std::array<int32_t, 10> &lengths, const std::array<int32_t, 10> &colors)
{
    std::string readme = "bkcolor=0\r\n";
    for (int k = 0; k < 10; ++k) {
        readme += std::string(kSliderKeys[k]) + "=" + std::to_string(lengths[size_t(k)]) + "\r\n";
        readme += std::string(kSliderKeys[k]) + "Color=" + std::to_string(colors[size_t(k)]) + "\r\n";
    }
    return readReadme(readme);
}

} // namespace

class FingerDefFormTest : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    void looksAsDesigned();
    void emptyTableOnFirstShowing();
    void emptyTableAfterLoadedValues();
    void refreshMapsSlidersToFingers();
    void lengthsHeldWithinRange_data();
    void lengthsHeldWithinRange();
    void loadWhileOpenShownOnlyAfterRefresh();
    void closeWithoutApplyChangesNothing();
    void escapeCloses();
    void rightPressChoosesColour();
    void doubleClickOpensNoDialog();
    void slidersReachableByAssistiveTechnology();
    void openedAgainWithoutRefresh();
    void undoSetsOnlyTheSlidersItChanged_data();
    void undoSetsOnlyTheSlidersItChanged();

private:
    // A window inside a frame, as the program shows it.
    TFingerDefFm *open();

    std::unique_ptr<TDataMod> m_dm;
    ScriptedDialogs *m_dialogs = nullptr; // owned by the dialog service
    std::unique_ptr<QMdiArea> m_area;
};

void FingerDefFormTest::init()
{
    m_dm = std::make_unique<TDataMod>();
    auto dialogs = std::make_unique<ScriptedDialogs>();
    m_dialogs = dialogs.get();
    SetDialogs(std::move(dialogs));
    m_area = std::make_unique<QMdiArea>();
    m_area->resize(700, 500);
    m_area->show();
}

void FingerDefFormTest::cleanup()
{
    m_area.reset();
    SetDialogs(nullptr);
    m_dialogs = nullptr;
    m_dm.reset();
}

TFingerDefFm *FingerDefFormTest::open()
{
    auto *form = new TFingerDefFm;
    QMdiSubWindow *frame = m_area->addSubWindow(form);
    frame->setAttribute(Qt::WA_DeleteOnClose);
    frame->show();
    return form;
}

void FingerDefFormTest::looksAsDesigned()
{
    addKey(*m_dm);
    TFingerDefFm *form = open();
    QCOMPARE(form->windowTitle(), QStringLiteral("Finger definition"));
    QCOMPARE(form->size(), QSize(438, 255));
    QCOMPARE(form->minimumSize(), form->maximumSize());

    const int lefts[10] = {8, 48, 88, 127, 165, 231, 269, 307, 345, 384};
    for (int k = 1; k <= 10; ++k) {
        TRxSlider *s = form->Slider(k);
        QCOMPARE(s, form->findChild<TRxSlider *>(QStringLiteral("RxSlider%1").arg(k)));
        QCOMPARE(s->geometry(), QRect(lefts[k - 1], 20, 33, 181));
        QCOMPARE(s->toolTip(), QStringLiteral("Double click to change color"));
    }
    // The letters under the outer sliders and the thumbs.
    QStringList letters;
    for (QLabel *label : form->findChildren<QLabel *>()) {
        QCOMPARE(label->y(), 204);
        letters << QStringLiteral("%1@%2").arg(label->text()).arg(label->x());
    }
    letters.sort();
    QCOMPARE(letters, (QStringList{"L@20", "L@396", "T@176", "T@244"}));

    QCOMPARE(form->RefreshBn->text(), QStringLiteral("Refresh"));
    QCOMPARE(form->ApplyBn->text(), QStringLiteral("&Apply"));
    QCOMPARE(form->ApplyBn->toolTip(), QStringLiteral("Apply to definition of virtual keyboard"));
    QCOMPARE(form->CloseBn->text(), QStringLiteral("&Close"));
    QCOMPARE(form->RefreshBn->geometry(), QRect(84, 220, 75, 25));
    QCOMPARE(form->ApplyBn->geometry(), QRect(164, 220, 75, 25));
    QCOMPARE(form->CloseBn->geometry(), QRect(256, 220, 75, 25));
}

void FingerDefFormTest::emptyTableOnFirstShowing()
{
    // Values in the data module, but no keys yet.
    m_dm->FingerLength.fill(40);
    m_dm->FingerColor.fill(0x112233);
    TFingerDefFm *form = open();
    QCOMPARE(m_dialogs->count(Kind::Information), 1);
    QCOMPARE(m_dialogs->last(Kind::Information).text, kEmptyTableMessage);
    for (int k = 1; k <= 10; ++k) {
        QCOMPARE(form->Slider(k)->value(), 0);
        QCOMPARE(form->Slider(k)->color(), kLightYellow);
    }
    // Showing the window again runs no second Refresh.
    QMdiSubWindow *frame = qobject_cast<QMdiSubWindow *>(form->parentWidget());
    frame->showMinimized();
    frame->showNormal();
    QCOMPARE(m_dialogs->count(Kind::Information), 1);

    // Apply writes the values shown, asks nothing and leaves the window open.
    QTest::mouseClick(form->ApplyBn, Qt::LeftButton);
    for (int code = 0; code < 10; ++code) {
        QCOMPARE(m_dm->FingerLength[size_t(code)], 0);
        QCOMPARE(uint32_t(m_dm->FingerColor[size_t(code)]), kLightYellow);
    }
    QCOMPARE(int(m_dialogs->asked().size()), 1);
    QVERIFY(form->isVisible());

    // Refresh with the table still empty: the message again, sliders untouched.
    form->Slider(4)->setValue(35);
    QTest::mouseClick(form->RefreshBn, Qt::LeftButton);
    QCOMPARE(m_dialogs->count(Kind::Information), 2);
    QCOMPARE(form->Slider(4)->value(), 35);
}

void FingerDefFormTest::emptyTableAfterLoadedValues()
{
    // Keys loaded without finger settings: zero lengths, black colours.
    addKey(*m_dm);
    TFingerDefFm *form = open();
    QCOMPARE(m_dialogs->count(Kind::Information), 0);
    for (int k = 1; k <= 10; ++k) {
        QCOMPARE(form->Slider(k)->value(), 0);
        QCOMPARE(form->Slider(k)->color(), 0u);
    }
    // The key table emptied later: Refresh keeps what the sliders show.
    form->Slider(2)->setValue(25);
    form->Slider(2)->setColor(0xABCDEF);
    m_dm->ClearKeyTable();
    QTest::mouseClick(form->RefreshBn, Qt::LeftButton);
    QCOMPARE(m_dialogs->count(Kind::Information), 1);
    QCOMPARE(form->Slider(2)->value(), 25);
    QCOMPARE(form->Slider(2)->color(), 0xABCDEFu);
}

void FingerDefFormTest::refreshMapsSlidersToFingers()
{
    std::array<int32_t, 10> lengths{}, colors{};
    for (int k = 1; k <= 10; ++k) {
        lengths[size_t(k - 1)] = 7 * k;
        colors[size_t(k - 1)] = 0x010101 * k;
    }
    m_dm->SetSettings(settingsByKey(lengths, colors));
    addKey(*m_dm);
    TFingerDefFm *form = open();
    for (int k = 1; k <= 10; ++k) {
        QCOMPARE(form->Slider(k)->value(), 7 * k);
        QCOMPARE(form->Slider(k)->color(), uint32_t(0x010101 * k));
    }
    // Each slider goes back to its own finger, and only lengths and colours change.
    m_dm->FingerX.fill(-9);
    for (int k = 1; k <= 10; ++k) {
        form->Slider(k)->setValue(100 - k);
        form->Slider(k)->setColor(0x0A0000 + k);
    }
    QTest::mouseClick(form->ApplyBn, Qt::LeftButton);
    const PackageSettings after = m_dm->Settings();
    std::array<int32_t, 10> wantLengths{}, wantColors{};
    for (int k = 1; k <= 10; ++k) {
        wantLengths[size_t(k - 1)] = 100 - k;
        wantColors[size_t(k - 1)] = 0x0A0000 + k;
    }
    const PackageSettings expected = settingsByKey(wantLengths, wantColors);
    QCOMPARE(after.lengths, expected.lengths);
    QCOMPARE(after.colors, expected.colors);
    for (int32_t x : after.xValues)
        QCOMPARE(x, -9);
}

void FingerDefFormTest::lengthsHeldWithinRange_data()
{
    QTest::addColumn<int>("stored");
    QTest::addColumn<int>("shown");
    QTest::newRow("150") << 150 << 100;
    QTest::newRow("101") << 101 << 100;
    QTest::newRow("100") << 100 << 100;
    QTest::newRow("63") << 63 << 63;
    QTest::newRow("0") << 0 << 0;
    QTest::newRow("-1") << -1 << 0;
    QTest::newRow("most negative") << int(INT32_MIN) << 0;
    QTest::newRow("largest") << int(INT32_MAX) << 100;
}

void FingerDefFormTest::lengthsHeldWithinRange()
{
    QFETCH(int, stored);
    QFETCH(int, shown);
    addKey(*m_dm);
    m_dm->FingerLength.fill(stored);
    TFingerDefFm *form = open();
    for (int k = 1; k <= 10; ++k)
        QCOMPARE(form->Slider(k)->value(), shown);
    QTest::mouseClick(form->ApplyBn, Qt::LeftButton);
    for (int32_t length : m_dm->FingerLength)
        QCOMPARE(length, shown);
}

void FingerDefFormTest::loadWhileOpenShownOnlyAfterRefresh()
{
    addKey(*m_dm);
    m_dm->FingerLength.fill(10);
    TFingerDefFm *form = open();
    QCOMPARE(form->Slider(1)->value(), 10);

    // A package with other finger values, loaded while the window is open.
    std::string package;
    {
        TDataMod other;
        addKey(other, "B");
        for (int code = 0; code < 10; ++code) {
            other.FingerLength[size_t(code)] = 50 + code;
            other.FingerColor[size_t(code)] = 0x000100 * code;
        }
        package = other.PackageBytes();
    }
    DataMod = m_dm.get(); // the other module was the current one while it lived
    QVERIFY(m_dm->LoadPackageBytes(package));
    QCOMPARE(m_dm->FingerLength[0], 50);
    for (int k = 1; k <= 10; ++k)
        QCOMPARE(form->Slider(k)->value(), 10);

    QTest::mouseClick(form->RefreshBn, Qt::LeftButton);
    for (int k = 1; k <= 10; ++k) {
        QCOMPARE(form->Slider(k)->value(), 50 + k - 1);
        QCOMPARE(form->Slider(k)->color(), uint32_t(0x000100 * (k - 1)));
    }
    QCOMPARE(m_dialogs->count(Kind::Information), 0);
}

void FingerDefFormTest::closeWithoutApplyChangesNothing()
{
    addKey(*m_dm);
    m_dm->FingerLength.fill(20);
    m_dm->FingerColor.fill(0x303030);
    QPointer<TFingerDefFm> form = open();
    QTest::keyClick(form->Slider(3), Qt::Key_Up);
    QCOMPARE(form->Slider(3)->value(), 25);
    m_dialogs->answerColor(0x0000FF);
    QTest::mouseClick(form->Slider(8), Qt::RightButton, {}, QPoint(16, 5));
    QCOMPARE(form->Slider(8)->color(), 0x0000FFu);

    QTest::mouseClick(form->CloseBn, Qt::LeftButton);
    QTRY_VERIFY(form.isNull());
    QCOMPARE(m_area->subWindowList().size(), 0);
    for (int code = 0; code < 10; ++code) {
        QCOMPARE(m_dm->FingerLength[size_t(code)], 20);
        QCOMPARE(m_dm->FingerColor[size_t(code)], 0x303030);
    }
}

void FingerDefFormTest::escapeCloses()
{
    addKey(*m_dm);
    QPointer<TFingerDefFm> form = open();
    m_area->setActiveSubWindow(qobject_cast<QMdiSubWindow *>(form->parentWidget()));
    QVERIFY(QTest::qWaitForWindowActive(m_area.get()));
    form->Slider(5)->setFocus();
    QTest::keyClick(form->Slider(5), Qt::Key_Escape);
    QTRY_VERIFY(form.isNull());
}

void FingerDefFormTest::rightPressChoosesColour()
{
    addKey(*m_dm);
    TFingerDefFm *form = open();
    const QPoint onTrack(16, 5);

    // First time the dialog starts at black; OK colours that slider only.
    m_dialogs->answerColor(0x123456);
    QTest::mouseClick(form->Slider(3), Qt::RightButton, {}, onTrack);
    QCOMPARE(m_dialogs->count(Kind::Color), 1);
    QCOMPARE(m_dialogs->last(Kind::Color).text, QStringLiteral("0"));
    QCOMPARE(form->Slider(3)->color(), 0x123456u);
    QCOMPARE(form->Slider(4)->color(), 0u);
    QCOMPARE(form->Slider(3)->value(), 0);

    // The next one starts at the colour last chosen, not the slider's own;
    // Cancel changes nothing.
    form->Slider(7)->setColor(0x00FF00);
    m_dialogs->answerCancel();
    QTest::mouseClick(form->Slider(7), Qt::RightButton, {}, onTrack);
    QCOMPARE(m_dialogs->last(Kind::Color).text, QString::number(0x123456));
    QCOMPARE(form->Slider(7)->color(), 0x00FF00u);

    // A cancelled dialog leaves the preset as it was.
    m_dialogs->answerColor(0x00AA00);
    QTest::mouseClick(form->Slider(10), Qt::RightButton, {}, onTrack);
    QCOMPARE(m_dialogs->last(Kind::Color).text, QString::number(0x123456));
    QCOMPARE(form->Slider(10)->color(), 0x00AA00u);

    // The colours reach the data module on Apply only.
    QCOMPARE(m_dm->FingerColor[2], 0);
    QTest::mouseClick(form->ApplyBn, Qt::LeftButton);
    QCOMPARE(m_dm->FingerColor[2], 0x123456);
    QCOMPARE(m_dm->FingerColor[6], 0x00FF00);
    QCOMPARE(m_dm->FingerColor[9], 0x00AA00);
    QCOMPARE(m_dialogs->count(Kind::Color), 3);
}

void FingerDefFormTest::doubleClickOpensNoDialog()
{
    addKey(*m_dm);
    TFingerDefFm *form = open();
    TRxSlider *s = form->Slider(6);
    s->setValue(50);
    const QPoint onThumb = s->thumbRect().center();
    QTest::mouseDClick(s, Qt::LeftButton, {}, onThumb);
    QCOMPARE(m_dialogs->count(Kind::Color), 0);
    QCOMPARE(s->value(), 50);
    QVERIFY(m_dialogs->asked().empty());
}

void FingerDefFormTest::slidersReachableByAssistiveTechnology()
{
    addKey(*m_dm);
    TFingerDefFm *form = open();
    const char *names[10] = {"L Little", "L Ring",  "L Middle", "L Index", "L Thumb",
                             "R Thumb",  "R Index", "R Middle", "R Ring",  "R Little"};
    for (int k = 1; k <= 10; ++k) {
        QAccessibleInterface *iface = QAccessible::queryAccessibleInterface(form->Slider(k));
        QVERIFY(iface);
        QCOMPARE(iface->role(), QAccessible::Slider);
        QCOMPARE(iface->text(QAccessible::Name), QString::fromLatin1(names[k - 1]));
        QVERIFY(iface->valueInterface());
    }
}

void FingerDefFormTest::openedAgainWithoutRefresh()
{
    addKey(*m_dm);
    m_dm->FingerLength.fill(30);
    TWinFormFactory factory(m_area.get());
    factory.ShowFingerDefFm();
    QPointer<TFingerDefFm> form = factory.FindForm<TFingerDefFm>();
    QVERIFY(form);
    QCOMPARE(form->Slider(1)->value(), 30);

    // The user moves a slider; the settings change behind the window.
    QTest::keyClick(form->Slider(1), Qt::Key_Up);
    m_dm->FingerLength.fill(70);
    factory.ShowFingerDefFm();
    QCOMPARE(factory.FindForm<TFingerDefFm>(), form.data());
    QCOMPARE(form->Slider(1)->value(), 35);
    QCOMPARE(form->Slider(2)->value(), 30);

    // Closed and opened again: a fresh window, refreshed on its first showing.
    QTest::mouseClick(form->CloseBn, Qt::LeftButton);
    QTRY_VERIFY(form.isNull());
    factory.ShowFingerDefFm();
    form = factory.FindForm<TFingerDefFm>();
    QVERIFY(form);
    QCOMPARE(form->Slider(1)->value(), 70);
    QCOMPARE(m_dialogs->count(Kind::Information), 0);
}


// An undone or redone step sets only the sliders whose finger it changed: a
// slider moved and not applied keeps its place through a step of another
// setting or of another finger.
void FingerDefFormTest::undoSetsOnlyTheSlidersItChanged_data()
{
    QTest::addColumn<QString>("step"); // "background" or "finger"
    QTest::newRow("background colour step") << "background";
    QTest::newRow("step of another finger") << "finger";
}

void FingerDefFormTest::undoSetsOnlyTheSlidersItChanged()
{
    QFETCH(QString, step);
    addKey(*m_dm);
    m_dm->FingerLength = {10, 20, 30, 40, 50, 50, 40, 30, 20, 10};
    m_dm->History().Clear();
    TFingerDefFm *form = open();
    QCOMPARE(form->Slider(3)->value(), 30);
    if (step == "background") {
        TDefinitionHistory::Step colour(m_dm->History(), QStringLiteral("background colour"));
        m_dm->bkcolor = 0x00FF00;
    } else {
        form->Slider(1)->setValue(77);
        QTest::mouseClick(form->ApplyBn, Qt::LeftButton);
        QCOMPARE(m_dm->FingerLength[0], 77);
    }
    // Moved, not applied.
    form->Slider(3)->setFocus();
    QTest::keyClick(form->Slider(3), Qt::Key_Up);
    const int moved = form->Slider(3)->value();
    QVERIFY(moved != 30);

    m_dm->History().Undo();
    QCOMPARE(form->Slider(3)->value(), moved);
    QCOMPARE(form->Slider(1)->value(), 10);
    QCOMPARE(m_dm->FingerLength[2], 30);
    m_dm->History().Redo();
    QCOMPARE(form->Slider(3)->value(), moved);
    QCOMPARE(form->Slider(1)->value(), step == "finger" ? 77 : 10);
}

QTEST_MAIN(FingerDefFormTest)
#include "FingerDefForm_test.moc"
