// No error travels through Qt's signal and event code: a failing handler in
// each window and bound control is reported where it is connected or run, in
// the name of the window or control that handled it, and nothing reaches the
// application's event delivery. The application here only counts what would
// have reached it.

#include "app/MainForm.h"
#include "common/ErrorReport.h"
#include "common/Errors.h"
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
#include "wordlist/DicForm.h"
#include "wordlist/TcgForm.h"

#include <SampleKeyboard.h>

#include <QAction>
#include <QApplication>
#include <QDrag>
#include <QDropEvent>
#include <QFile>
#include <QLabel>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>

#include <memory>

using namespace kf;

namespace {

// Event delivery that records every error reaching it instead of reporting it.
class CountingApplication : public QApplication {
public:
    using QApplication::QApplication;

    bool notify(QObject *receiver, QEvent *event) override
    {
        try {
            return QApplication::notify(receiver, event);
        } catch (const std::exception &e) {
            reached << AppExceptionText(receiver, e);
        } catch (...) {
            reached << QStringLiteral("unknown error");
        }
        return false;
    }

    QStringList reached;
};

CountingApplication &app()
{
    return *static_cast<CountingApplication *>(qApp);
}

// The scripted dialogs, whose colour dialog can be made to fail.
class FailingColorDialogs : public ScriptedDialogs {
public:
    bool failColor = false;
    std::optional<uint32_t> chooseColor(uint32_t initial) override
    {
        if (failColor)
            throw EInOutError("The colour dialog cannot be shown");
        return ScriptedDialogs::chooseColor(initial);
    }
};

const char *const kNoName = "EDatabaseError--Field 'Name' must have a value";

} // namespace

class HandlerErrorsTest : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    void failingHandlerIsReportedWhereItIsConnected_data();
    void failingHandlerIsReportedWhereItIsConnected();

private:
    // Runs one failing handler through real input events.
    void drive(const QString &scenario, QWidget *form);
    // A key row in insert that cannot be posted: it has no name.
    void startKeyWithoutName();
    ButtonType *firstKey(TKbDemoFm *form) const;

    std::unique_ptr<TMainFm> m_main;
    std::unique_ptr<TDataMod> m_dataMod;
    FailingColorDialogs *m_dialogs = nullptr;
    std::unique_ptr<QTemporaryDir> m_dir;
};

void HandlerErrorsTest::init()
{
    app().reached.clear();
    auto d = std::make_unique<FailingColorDialogs>();
    m_dialogs = d.get();
    SetDialogs(std::move(d));
    m_main = std::make_unique<TMainFm>();
    m_dataMod = std::make_unique<TDataMod>();
    sample::BuildSampleKeyboard(*m_dataMod);
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    m_main->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_main.get()));
}

void HandlerErrorsTest::cleanup()
{
    m_main.reset();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    m_dataMod.reset();
    SetDialogs(nullptr);
    m_dialogs = nullptr;
    m_dir.reset();
}

void HandlerErrorsTest::startKeyWithoutName()
{
    m_dataMod->MainTbl.Insert();
    m_dataMod->MainTbl.FieldByName("KeyValue").SetAsInteger(999);
}

ButtonType *HandlerErrorsTest::firstKey(TKbDemoFm *form) const
{
    const auto &keys = form->KbDragFrame()->Buttons();
    return keys.empty() ? nullptr : keys.front();
}

void HandlerErrorsTest::failingHandlerIsReportedWhereItIsConnected_data()
{
    QTest::addColumn<QString>("window"); // the action that opens it; none for the main window
    QTest::addColumn<QString>("scenario");
    QTest::addColumn<QString>("report"); // how the report begins

    QTest::newRow("definition: Load image of a file that is no bitmap")
        << "A_ShowDefineFm" << "load image" << "AppException: TDefineFm~EInvalidGraphic--";
    QTest::newRow("definition: navigator posts a key without a name")
        << "A_ShowDefineFm" << "navigator post" << QStringLiteral("AppException: TDBNavigator~") + kNoName;
    QTest::newRow("definition: Insert in the key grid over a key without a name")
        << "A_ShowDefineFm" << "grid insert" << QStringLiteral("AppException: TDBGrid~") + kNoName;
    QTest::newRow("finger definition: the colour dialog fails")
        << "A_ShowFingerDefFm" << "slider colour" << "AppException: TRxSlider~EInOutError--";
    QTest::newRow("layout: Save text into a folder that does not exist")
        << "A_ShowKbDemoFm" << "save text" << "AppException: TKbDemoFm~EFCreateError--";
    QTest::newRow("layout: Ctrl+right click on a key over a key without a name")
        << "A_ShowKbDemoFm" << "key row" << QStringLiteral("AppException: ButtonType~") + kNoName;
    QTest::newRow("layout: a key dropped over a key without a name")
        << "A_ShowKbDemoFm" << "key drop" << QStringLiteral("AppException: TKbDragFm~") + kNoName;
    QTest::newRow("course generator: the dictionary is gone")
        << "A_TCG" << "generate" << "AppException: TTcgFm~EFOpenError--";
    QTest::newRow("dictionary: a file to scan is gone")
        << "A_Dictionary" << "scan" << "AppException: TDicFm~EFOpenError--";
    QTest::newRow("main window: Help cannot start the browser")
        << "" << "help" << "AppException: TMainFm~EInOutError--No web browser";
}

void HandlerErrorsTest::failingHandlerIsReportedWhereItIsConnected()
{
    QFETCH(QString, window);
    QFETCH(QString, scenario);
    QFETCH(QString, report);

    QWidget *form = nullptr;
    if (!window.isEmpty()) {
        auto *open = m_main->findChild<QAction *>(window);
        QVERIFY(open);
        open->trigger();
        QMdiSubWindow *frame = m_main->MdiArea()->activeSubWindow();
        QVERIFY(frame);
        form = frame->widget();
        QVERIFY(QTest::qWaitForWindowExposed(frame));
    }
    QCOMPARE(m_dialogs->count(ScriptedDialogs::Kind::Message), 0);

    drive(scenario, form);

    QCOMPARE(app().reached, QStringList());
    QCOMPARE(m_dialogs->count(ScriptedDialogs::Kind::Message), 1);
    const ScriptedDialogs::Asked &shown = m_dialogs->last(ScriptedDialogs::Kind::Message);
    QCOMPARE(shown.caption, ApplicationTitle());
    QVERIFY2(shown.text.startsWith(report), qPrintable(shown.text));
}

void HandlerErrorsTest::drive(const QString &scenario, QWidget *form)
{
    if (scenario == QLatin1String("load image")) {
        auto *define = qobject_cast<TDefineFm *>(form);
        QVERIFY(define);
        const QString file = m_dir->filePath(QStringLiteral("bad.bmp"));
        QFile bad(file);
        QVERIFY(bad.open(QIODevice::WriteOnly));
        bad.write("BM this is no bitmap at all");
        bad.close();
        m_dialogs->answerFile(file);
        QTest::mouseClick(define->LoadImgBn, Qt::LeftButton);
    } else if (scenario == QLatin1String("navigator post")) {
        auto *define = qobject_cast<TDefineFm *>(form);
        QVERIFY(define);
        startKeyWithoutName();
        QTest::mouseClick(define->DBNavigator1->ButtonOf(TDBNavigator::nbPost), Qt::LeftButton);
    } else if (scenario == QLatin1String("grid insert")) {
        auto *define = qobject_cast<TDefineFm *>(form);
        QVERIFY(define);
        startKeyWithoutName();
        define->DBGrid->setFocus();
        QTest::keyClick(define->DBGrid, Qt::Key_Insert);
    } else if (scenario == QLatin1String("slider colour")) {
        auto *finger = qobject_cast<TFingerDefFm *>(form);
        QVERIFY(finger);
        m_dialogs->failColor = true;
        QTest::mouseClick(finger->Slider(1), Qt::RightButton);
    } else if (scenario == QLatin1String("save text")) {
        auto *layout = qobject_cast<TKbDemoFm *>(form);
        QVERIFY(layout);
        m_dialogs->answerFile(m_dir->filePath(QStringLiteral("no such folder/demo.rtf")));
        QTest::mouseClick(layout->Button3, Qt::LeftButton);
    } else if (scenario == QLatin1String("key row")) {
        auto *layout = qobject_cast<TKbDemoFm *>(form);
        QVERIFY(layout);
        QTest::mouseClick(layout->Button2, Qt::LeftButton); // builds the keys
        ButtonType *key = firstKey(layout);
        QVERIFY(key);
        startKeyWithoutName();
        QTest::mouseClick(key, Qt::RightButton, Qt::ControlModifier, QPoint(5, 5));
    } else if (scenario == QLatin1String("key drop")) {
        auto *layout = qobject_cast<TKbDemoFm *>(form);
        QVERIFY(layout);
        QTest::mouseClick(layout->Button2, Qt::LeftButton);
        ButtonType *key = firstKey(layout);
        QVERIFY(key);
        // What the desktop's drag loop would send: the key lands on the key area.
        TDragDropFm *frame = layout->DragDropFrame;
        frame->RunDrag = [frame](QDrag *drag) {
            QWidget *area = frame->KbDragFrame->KeyArea();
            const QPoint at(200, 100);
            QDragEnterEvent enter(at, Qt::MoveAction, drag->mimeData(), Qt::RightButton, Qt::NoModifier);
            QApplication::sendEvent(area, &enter);
            QDragMoveEvent move(at, Qt::MoveAction, drag->mimeData(), Qt::RightButton, Qt::NoModifier);
            QApplication::sendEvent(area, &move);
            QDropEvent drop(QPointF(at), Qt::MoveAction, drag->mimeData(), Qt::NoButton, Qt::NoModifier);
            QApplication::sendEvent(area, &drop);
        };
        startKeyWithoutName();
        QTest::mouseClick(key, Qt::RightButton, Qt::NoModifier, QPoint(5, 5));
    } else if (scenario == QLatin1String("generate")) {
        auto *course = qobject_cast<TTcgFm *>(form);
        QVERIFY(course);
        course->LbDic->setText(m_dir->filePath(QStringLiteral("gone.txt")));
        QTest::mouseClick(course->Next1Bn, Qt::LeftButton);
        QCOMPARE(course->CurrentPage(), TTcgFm::Step2Page);
        course->TwdMemo->setPlainText(QStringLiteral("asdf"));
        QTest::mouseClick(course->Next2Bn, Qt::LeftButton);
    } else if (scenario == QLatin1String("scan")) {
        auto *dictionary = qobject_cast<TDicFm *>(form);
        QVERIFY(dictionary);
        m_dialogs->answerFiles({m_dir->filePath(QStringLiteral("gone.txt"))});
        m_dialogs->answerYes(); // ready to process
        QTest::mouseClick(dictionary->MakeListBn, Qt::LeftButton);
    } else if (scenario == QLatin1String("help")) {
        const QString page = m_dir->filePath(QStringLiteral("index.html"));
        QFile html(page);
        QVERIFY(html.open(QIODevice::WriteOnly));
        html.write("<html></html>");
        html.close();
        m_main->HelpPageFile = page;
        m_main->OpenUrl = [](const QUrl &) -> bool { throw EInOutError("No web browser"); };
        // Through the File menu, as the user chooses it.
        auto *file = m_main->findChild<QMenu *>(QStringLiteral("FileMenu"));
        QVERIFY(file);
        file->popup(m_main->mapToGlobal(QPoint(10, 10)));
        QVERIFY(QTest::qWaitForWindowExposed(file));
        QTest::mouseClick(file, Qt::LeftButton, {}, file->actionGeometry(m_main->A_Help).center());
    } else {
        QFAIL(qPrintable(QStringLiteral("no such scenario: ") + scenario));
    }
}

int main(int argc, char **argv)
{
    CountingApplication application(argc, argv);
    HandlerErrorsTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "HandlerErrors_test.moc"
