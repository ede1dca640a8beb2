// The main window, its child-window factory, the About box, Help and the
// application's error report, driven through the real actions.

#include "SmallKeyboards.h"
#include "common/CodePage.h"
#include "common/ErrorReport.h"
#include "app/Application.h"
#include "app/ComFormFactory.h"
#include "app/FormAbout.h"
#include "app/HelpPage.h"
#include "app/MainForm.h"
#include "common/Errors.h"
#include "common/ScriptedDialogs.h"
#include "dbctrls/DBGrid.h"
#include "dbctrls/DBNavigator.h"
#include "model/DefinitionHistory.h"
#include "model/MainData.h"
#include "define/DefineForm.h"
#include "define/FingerDefForm.h"
#include "keyboard/KbDemoForm.h"
#include "keyboard/KbDragForm.h"
#include "keyboard/KbStatsForm.h"
#include "words/DicBuilder.h"
#include "ui/CodePageChoice.h"
#include "wordlist/DicForm.h"
#include "wordlist/TcgForm.h"

#include <QScopeGuard>
#include <QAccessible>
#include <QAction>
#include <QCheckBox>
#include <QRadioButton>
#include <QLineEdit>
#include <QSignalSpy>
#include <QTableView>
#include <QToolButton>
#include <QDesktopServices>
#include <QFile>
#include <QLabel>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <QToolTip>
#include <QtTest>

#include <memory>

namespace kf {

// A tool window whose creation handler fails.
class TFailingCreateFm : public TChildForm {
    Q_OBJECT
public:
    TFailingCreateFm() { setWindowTitle(QStringLiteral("Failing")); }
    void FormCreate() override { throw EConvertError("'abc' is not a valid integer value"); }
};

// A tool window whose controls cannot be built.
class TFailingBuildFm : public TChildForm {
    Q_OBJECT
public:
    TFailingBuildFm() { throw EInvalidGraphic("Bitmap image is not valid"); }
};

// A window derived from a tool window: not "the same class" for the factory.
class TDerivedDicFm : public TDicFm {
    Q_OBJECT
};

// A tool window that asks before closing (as the dictionary window may).
class TAskingFm : public TChildForm {
    Q_OBJECT
protected:
    void closeEvent(QCloseEvent *e) override
    {
        if (!Dialogs().confirm(QStringLiteral("Close?")))
            e->ignore();
    }
};

// A control whose mouse handler fails.
class TFailingButton : public QPushButton {
    Q_OBJECT
public:
    using QPushButton::QPushButton;

protected:
    void mousePressEvent(QMouseEvent *) override
    {
        throw EDatabaseError("Field 'Name' must have a value");
    }
};

} // namespace kf

using namespace kf;

class MainFormTest : public QObject {
    Q_OBJECT
public slots:
    // Stands in for the desktop's browser.
    void openUrl(const QUrl &url) { m_opened << url; }

private slots:
    void init();
    void cleanup();

    void menusHoldTheActionsInOrder();
    void statisticsWindowCountsTheDictionaryWindowsWords();
    void sameActionTwiceGivesOneWindow_data();
    void sameActionTwiceGivesOneWindow();
    void captionsShowTheirWholeText_data();
    void captionsShowTheirWholeText();
    void minimisedOrMaximisedWindowComesBackNormal();
    void closedWindowIsMadeAfresh();
    void twoToolsAtOnce();
    void findFormMatchesTheExactClassOnly();
    void errorInCreationHandlerIsReportedAndWindowStays();
    void errorWhileBuildingLeavesNoWindow();
    void errorInEventHandlerIsReportedAndProgramGoesOn();
    void appExceptionText_data();
    void appExceptionText();
    void aboutTwiceShowsTwoFreshBoxes();
    void helpOpensThePageBesideTheProgram();
    void helpWarnsWhenThePageCannotBeOpened_data();
    void helpWarnsWhenThePageCannotBeOpened();
    void menuItemsShowOnlyTheirHints_data();
    void menuItemsShowOnlyTheirHints();
    void closingMainWindowAsksNoChildWindow();
    void editMenuNamesTheStep();
    void undoingAnImportTakesBackItsCodePage();
    void closingAsksAboutUnsavedDefinition_data();
    void closingAsksAboutUnsavedDefinition();
    void closingAsksAboutEveryWindowsWork_data();
    void closingAsksAboutEveryWindowsWork();
    void refusedPostOfKeyRowWithoutNameIsReported_data();
    void refusedPostOfKeyRowWithoutNameIsReported();
    void codePageChosenInTheMenu_data();
    void codePageChosenInTheMenu();
    void codePageInForceAtStartComesFromTheEnvironment_data();
    void codePageInForceAtStartComesFromTheEnvironment();

private:
    ScriptedDialogs &dialogs() { return *m_dialogs; }
    QList<QMdiSubWindow *> windows() const
    {
        QList<QMdiSubWindow *> open;
        for (QMdiSubWindow *w : m_main->MdiArea()->subWindowList())
            if (!w->isHidden())
                open << w;
        return open;
    }
    static void flushDeletes() { QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete); }

    std::unique_ptr<TDataMod> m_dataMod;
    std::unique_ptr<TMainFm> m_main;
    ScriptedDialogs *m_dialogs = nullptr;
    QList<QUrl> m_opened;
    QByteArray m_codePageEnv; // KEYFOLIO_CODEPAGE as the test found it
    bool m_codePageEnvSet = false;
};

namespace {

// The code page items of the menu that are checked.
QStringList checkedCodePages(TMainFm &main)
{
    QStringList checked;
    for (QAction *a : main.CodePageMenu->actions())
        if (a->isChecked())
            checked << a->text();
    return checked;
}

QString accessibleName(QWidget *w)
{
    QAccessibleInterface *a = QAccessible::queryAccessibleInterface(w);
    return a ? a->text(QAccessible::Name) : QStringLiteral("<none>");
}

// Whether a dataChanged signal seen by the spy covers the cell.
bool toldChanged(const QSignalSpy &spy, const QModelIndex &cell)
{
    for (const QList<QVariant> &args : spy) {
        const auto from = args.at(0).value<QModelIndex>(), to = args.at(1).value<QModelIndex>();
        if (from.row() <= cell.row() && cell.row() <= to.row() && from.column() <= cell.column() &&
            cell.column() <= to.column())
            return true;
    }
    return false;
}

} // namespace

void MainFormTest::init()
{
    auto d = std::make_unique<ScriptedDialogs>();
    m_dialogs = d.get();
    SetDialogs(std::move(d));
    m_codePageEnvSet = qEnvironmentVariableIsSet("KEYFOLIO_CODEPAGE");
    m_codePageEnv = qgetenv("KEYFOLIO_CODEPAGE");
    m_main = std::make_unique<TMainFm>();
    m_dataMod = std::make_unique<TDataMod>(); // as at start-up: after the main window
    m_main->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_main.get()));
}

void MainFormTest::cleanup()
{
    m_main.reset();
    flushDeletes();
    m_dataMod.reset();
    SetDialogs(nullptr);
    m_dialogs = nullptr;
    // The next test starts in the code page the environment gives.
    if (m_codePageEnvSet)
        qputenv("KEYFOLIO_CODEPAGE", m_codePageEnv);
    else
        qunsetenv("KEYFOLIO_CODEPAGE");
    CodePage::reload();
}

void MainFormTest::menusHoldTheActionsInOrder()
{
    const QList<QAction *> menus = m_main->menuBar()->actions();
    QStringList seen;
    for (QAction *m : menus) {
        QStringList items;
        for (QAction *a : m->menu()->actions())
            items << (a->isSeparator() ? QStringLiteral("-") : a->text());
        seen << m->text() + QStringLiteral(": ") + items.join(QStringLiteral(", "));
    }
    QCOMPARE(seen, (QStringList{
                       QStringLiteral("File: About, Help, -, Recent files, Clear recent files, -, Close"),
                       QStringLiteral("Edit: Undo, Redo"),
                       QStringLiteral("Virtual keyboard: &Keyboard Definition, Keyboard &Layout, "
                                      "&Finger Definition, Keyboard &Statistics, -, &Check Definition"),
                       QStringLiteral("Word list: Typing Course &Generator, Dictionary Generator"),
                       QStringLiteral("Code page: CP874, CP1250, CP1251, CP1252, CP1253, CP1254, CP1255, "
                                      "CP1256, CP1257, CP1258"),
                   }));
    // Only Undo and Redo have keys.
    for (QAction *a : m_main->findChildren<QAction *>())
        if (a != m_main->A_Undo && a != m_main->A_Redo)
            QVERIFY2(a->shortcut().isEmpty(), qPrintable(a->objectName()));
    QCOMPARE(m_main->A_Undo->shortcuts(), (QList<QKeySequence>{QKeySequence(QStringLiteral("Ctrl+Z"))}));
    QCOMPARE(m_main->A_Redo->shortcuts(), (QList<QKeySequence>{QKeySequence(QStringLiteral("Ctrl+Y")),
                                                               QKeySequence(QStringLiteral("Ctrl+Shift+Z"))}));
    QCOMPARE(m_main->windowTitle(), QStringLiteral("Keyfolio"));
}

void MainFormTest::statisticsWindowCountsTheDictionaryWindowsWords()
{
    // A keyboard to count on: an empty definition is said to have no keys.
    kf::sample::BuildSmallKeyboard(*DataMod);
    m_main->A_KeyboardStatistics->trigger();
    QCOMPARE(windows().size(), 1);
    auto *stats = qobject_cast<TKbStatsFm *>(windows().first()->widget());
    QVERIFY(stats);
    QCOMPARE(stats->windowTitle(), QStringLiteral("Keyboard statistics"));
    QCOMPARE(m_main->MdiArea()->activeSubWindow(), windows().first());

    QTemporaryDir dir;
    const QString text = dir.filePath(QStringLiteral("words.txt"));
    QFile f(text);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write("ab ab cd\n");
    f.close();
    m_main->A_Dictionary->trigger();
    auto *dic = m_main->Factory().FindForm<TDicFm>();
    QVERIFY(dic);
    dic->Builder().MakeWordList({text.toStdString()}, false, "");

    m_main->A_KeyboardStatistics->trigger();
    QCOMPARE(windows().size(), 2);
    QVERIFY(stats->UseWordListCheck->isEnabled());
    stats->UseWordListCheck->setChecked(true);
    stats->CountClick();
    QTRY_VERIFY(!stats->Counting());
    QVERIFY(stats->FiguresA());
    QCOMPARE(stats->FiguresA()->Characters, uint64_t(9)); // "ab " twice, "cd " once
}

void MainFormTest::sameActionTwiceGivesOneWindow_data()
{
    QTest::addColumn<QString>("action");
    QTest::addColumn<QString>("caption");
    QTest::addColumn<QSize>("clientSize");
    QTest::newRow("definition") << "A_ShowDefineFm" << "Keyboard definition" << QSize(792, 490);
    QTest::newRow("layout") << "A_ShowKbDemoFm" << "Keyboard layout" << QSize(691, 525);
    QTest::newRow("finger") << "A_ShowFingerDefFm" << "Finger definition" << QSize(438, 255);
    QTest::newRow("course") << "A_TCG" << "Typing Course Generator" << QSize(492, 386);
    QTest::newRow("dictionary") << "A_Dictionary" << "Make Dictionary" << QSize(548, 438);
}

void MainFormTest::sameActionTwiceGivesOneWindow()
{
    QFETCH(QString, action);
    QFETCH(QString, caption);
    QFETCH(QSize, clientSize);
    auto *a = m_main->findChild<QAction *>(action);
    QVERIFY(a);

    a->trigger();
    QCOMPARE(windows().size(), 1);
    QMdiSubWindow *first = windows().first();
    QCOMPARE(first->windowTitle(), caption);
    // The client area lies below the window's own menu bar, if it has one.
    QSize client = first->widget()->size();
    if (auto *menu = first->widget()->findChild<QMenuBar *>(QString(), Qt::FindDirectChildrenOnly))
        client.rheight() -= menu->height();
    QCOMPARE(client, clientSize);
    QVERIFY(first->isVisible());
    QCOMPARE(m_main->MdiArea()->activeSubWindow(), first);
    first->widget()->setProperty("userContent", 42);

    a->trigger();
    QCOMPARE(windows().size(), 1);
    QCOMPARE(windows().first(), first);
    QCOMPARE(first->widget()->property("userContent").toInt(), 42);
}

void MainFormTest::captionsShowTheirWholeText_data()
{
    sameActionTwiceGivesOneWindow_data();
    QTest::newRow("check") << "A_CheckDefinition" << "Check definition" << QSize();
}

// Every caption, check box and button of a tool window shows its whole text
// in the window's font, and lies inside its parent: none is clipped by a
// neighbour or the window's edge.
void MainFormTest::captionsShowTheirWholeText()
{
    QFETCH(QString, action);
    m_main->findChild<QAction *>(action)->trigger();
    QStringList clipped;
    const auto check = [&](QWidget *w, int needed) {
        if (w->isHidden() || !w->parentWidget())
            return;
        if (w->width() < needed || !w->parentWidget()->rect().contains(w->geometry()))
            clipped << QStringLiteral("%1 (%2 wide, needs %3)").arg(w->objectName()).arg(w->width()).arg(needed);
        // Nor does a neighbour cover it (edges of a pixel or two may touch).
        for (QWidget *other : w->parentWidget()->findChildren<QWidget *>(QString(), Qt::FindDirectChildrenOnly)) {
            const QRect common = other->geometry().intersected(w->geometry());
            if (other != w && !other->isHidden() && common.width() > 2 && common.height() > 2)
                clipped << QStringLiteral("%1 (under %2)").arg(w->objectName(), other->objectName());
        }
    };
    for (QMdiSubWindow *window : windows()) {
        for (QLabel *l : window->widget()->findChildren<QLabel *>()) {
            // A value label may be narrower than a long value; its caption may not.
            if (l->wordWrap() || l->text().isEmpty() || !l->pixmap().isNull() || !l->accessibleDescription().isEmpty())
                continue;
            // A trailing blank of a caption ("Additional word delimiters: ") may go.
            const QFontMetrics m = l->fontMetrics();
            check(l, l->sizeHint().width() - m.horizontalAdvance(l->text()) + m.horizontalAdvance(l->text().trimmed()));
        }
        for (QAbstractButton *b : window->widget()->findChildren<QAbstractButton *>()) {
            if (qobject_cast<QPushButton *>(b) && !b->text().isEmpty())
                check(b, b->fontMetrics().horizontalAdvance(QString(b->text()).remove(QLatin1Char('&'))) + 6);
            else if (qobject_cast<QCheckBox *>(b) || qobject_cast<QRadioButton *>(b))
                check(b, b->sizeHint().width());
        }
    }
    QVERIFY2(clipped.isEmpty(), qPrintable(clipped.join(QStringLiteral(", "))));
}

void MainFormTest::minimisedOrMaximisedWindowComesBackNormal()
{
    m_main->A_ShowFingerDefFm->trigger();
    QMdiSubWindow *w = windows().first();
    const QRect normal = w->geometry();

    w->showMinimized();
    QVERIFY(w->isMinimized());
    m_main->A_ShowFingerDefFm->trigger();
    QCOMPARE(windows(), QList<QMdiSubWindow *>{w});
    QVERIFY(!w->isMinimized());
    QCOMPARE(w->geometry(), normal);

    w->showMaximized();
    m_main->A_ShowFingerDefFm->trigger();
    QVERIFY(!w->isMaximized());
    QCOMPARE(w->geometry(), normal);
}

void MainFormTest::closedWindowIsMadeAfresh()
{
    m_main->A_ShowDefineFm->trigger();
    QPointer<QWidget> first = windows().first()->widget();
    first->setProperty("userContent", 7);

    QVERIFY(windows().first()->close());
    QVERIFY(windows().isEmpty()); // gone at once, even before it is deleted
    flushDeletes();
    QVERIFY(first.isNull());

    m_main->A_ShowDefineFm->trigger();
    QCOMPARE(windows().size(), 1);
    QVERIFY(!windows().first()->widget()->property("userContent").isValid());
}

void MainFormTest::twoToolsAtOnce()
{
    m_main->A_TCG->trigger();
    m_main->A_Dictionary->trigger();
    QCOMPARE(windows().size(), 2);
    TWinFormFactory &f = m_main->Factory();
    QVERIFY(f.FindForm<TTcgFm>());
    QVERIFY(f.FindForm<TDicFm>());
    QMdiSubWindow *dic = TWinFormFactory::FrameOf(f.FindForm<TDicFm>());
    dic->showMinimized();

    m_main->A_TCG->trigger();
    QCOMPARE(windows().size(), 2);
    QCOMPARE(m_main->MdiArea()->activeSubWindow(), TWinFormFactory::FrameOf(f.FindForm<TTcgFm>()));
    QVERIFY(dic->isMinimized()); // the other tool is left as it was
}

void MainFormTest::findFormMatchesTheExactClassOnly()
{
    TWinFormFactory &f = m_main->Factory();
    auto *derived = f.GetForm<TDerivedDicFm>();
    QVERIFY(derived);
    QCOMPARE(f.FindForm<TDicFm>(), nullptr);
    QCOMPARE(f.FindForm<TDerivedDicFm>(), derived);

    m_main->A_Dictionary->trigger();
    QCOMPARE(windows().size(), 2);
    QVERIFY(f.FindForm<TDicFm>() != nullptr);
    QVERIFY(static_cast<QWidget *>(f.FindForm<TDicFm>()) != derived);
}

void MainFormTest::errorInCreationHandlerIsReportedAndWindowStays()
{
    auto *form = m_main->Factory().GetForm<TFailingCreateFm>();
    QVERIFY(form);
    QCOMPARE(dialogs().count(ScriptedDialogs::Kind::Message), 1);
    const auto &m = dialogs().last(ScriptedDialogs::Kind::Message);
    QCOMPARE(m.caption, QStringLiteral("Tarvo Keyfolio"));
    QCOMPARE(m.text, QStringLiteral(
                         "AppException: TFailingCreateFm~EConvertError--'abc' is not a valid integer value"));
    QCOMPARE(windows().size(), 1);
    QVERIFY(TWinFormFactory::FrameOf(form)->isVisible());
}

void MainFormTest::errorWhileBuildingLeavesNoWindow()
{
    QVERIFY_THROWS_EXCEPTION(EInvalidGraphic, m_main->Factory().GetForm<TFailingBuildFm>());
    QVERIFY(m_main->MdiArea()->subWindowList().isEmpty());
    QCOMPARE(m_main->Factory().FindForm<TFailingBuildFm>(), nullptr);
}

void MainFormTest::errorInEventHandlerIsReportedAndProgramGoesOn()
{
    m_main->A_ShowDefineFm->trigger();
    QWidget *form = windows().first()->widget();
    auto *button = new TFailingButton(QStringLiteral("Post"), form);
    button->setGeometry(10, 10, 60, 25);
    button->show();

    QTest::mouseClick(button, Qt::LeftButton);
    QTest::mouseClick(button, Qt::LeftButton);
    QCOMPARE(dialogs().count(ScriptedDialogs::Kind::Message), 2);
    QCOMPARE(dialogs().last(ScriptedDialogs::Kind::Message).text,
             QStringLiteral("AppException: TFailingButton~EDatabaseError--Field 'Name' must have a value"));

    // The program is still alive and answers the next request.
    m_main->A_TCG->trigger();
    QCOMPARE(windows().size(), 2);
}

void MainFormTest::appExceptionText_data()
{
    QTest::addColumn<QString>("senderKind");
    QTest::addColumn<QString>("expected");
    QTest::newRow("own window") << "window"
                                << "AppException: TDefineFm~EDatabaseError--Field 'Name' must have a value";
    QTest::newRow("library control inside a window")
        << "label" << "AppException: TDefineFm~EDatabaseError--Field 'Name' must have a value";
    QTest::newRow("application") << "app"
                                 << "AppException: TApplication~EDatabaseError--Field 'Name' must have a value";
    QTest::newRow("library error") << "std"
                                   << "AppException: TApplication~out_of_range--index \"5\"  out of range";
}

void MainFormTest::appExceptionText()
{
    QFETCH(QString, senderKind);
    QFETCH(QString, expected);
    TDefineFm window;
    auto *label = new QLabel(&window);
    const QObject *sender = senderKind == QLatin1String("window")  ? static_cast<QObject *>(&window)
                            : senderKind == QLatin1String("label") ? static_cast<QObject *>(label)
                                                                  : qApp;
    if (senderKind == QLatin1String("std"))
        QCOMPARE(AppExceptionText(sender, std::out_of_range("index \"5\"  out of range")), expected);
    else
        QCOMPARE(AppExceptionText(sender, EDatabaseError("Field 'Name' must have a value")), expected);
}

void MainFormTest::aboutTwiceShowsTwoFreshBoxes()
{
    QList<QPointer<TFmAbout>> boxes;
    QStringList texts;
    auto closeWithOk = [&] {
        auto *box = qobject_cast<TFmAbout *>(QApplication::activeModalWidget());
        if (!box)
            return;
        boxes << box;
        texts << box->windowTitle() + QLatin1Char('|') + box->TitleLb->text() + QLatin1Char('|')
                       + box->VersionLb->text();
        QTest::mouseClick(box->OKBn, Qt::LeftButton);
    };
    for (int i = 0; i < 2; ++i) {
        QTimer::singleShot(0, this, closeWithOk);
        m_main->A_About->trigger();
        QCOMPARE(boxes.size(), i + 1);
        QVERIFY(boxes.last().isNull()); // destroyed once closed
    }
    const QString expected = QStringLiteral("About|Tarvo Typing Tutor's Keyfolio|V 2.3");
    QCOMPARE(texts, (QStringList{expected, expected}));
    for (QWidget *w : QApplication::topLevelWidgets())
        QVERIFY(!qobject_cast<TFmAbout *>(w));
}

void MainFormTest::helpOpensThePageBesideTheProgram()
{
    m_opened.clear();
    QDesktopServices::setUrlHandler(QStringLiteral("file"), this, "openUrl");
    m_main->A_Help->trigger();
    QDesktopServices::unsetUrlHandler(QStringLiteral("file"));

    QCOMPARE(m_opened.size(), 1);
    const QUrl url = m_opened.first();
    QVERIFY(url.isLocalFile());
    QCOMPARE(url.toLocalFile(), QCoreApplication::applicationDirPath() + QStringLiteral("/help/index.html"));
    QFile page(url.toLocalFile());
    QVERIFY2(page.open(QIODevice::ReadOnly), qPrintable(url.toLocalFile()));
    const QString html = QString::fromUtf8(page.readAll());
    for (const char *tool : {"Keyboard definition", "Keyboard layout", "Finger definition",
                             "Dictionary generator", "Typing course generator"})
        QVERIFY2(html.contains(QLatin1String(tool)), tool);
    QVERIFY(dialogs().asked().empty()); // nothing is reported when the page opens
}

void MainFormTest::helpWarnsWhenThePageCannotBeOpened_data()
{
    QTest::addColumn<bool>("pageExists");
    QTest::addColumn<bool>("desktopOpens");
    QTest::addColumn<QString>("warning"); // empty: none
    QTest::newRow("page opened") << true << true << QString();
    QTest::newRow("no browser") << true << false
                                << QStringLiteral("The help page could not be opened in a web browser.\n"
                                                  "You can open it yourself: %1");
    QTest::newRow("no page beside the program")
        << false << true << QStringLiteral("The help page was not found beside the program.\nIt should be here: %1");
    QTest::newRow("neither") << false << false
                             << QStringLiteral("The help page was not found beside the program.\n"
                                               "It should be here: %1");
}

void MainFormTest::helpWarnsWhenThePageCannotBeOpened()
{
    QFETCH(bool, pageExists);
    QFETCH(bool, desktopOpens);
    QFETCH(QString, warning);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString page = dir.filePath(QStringLiteral("help/index.html"));
    if (pageExists) {
        QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("help")));
        QFile f(page);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("<html></html>");
    }
    QList<QUrl> asked;
    m_main->HelpPageFile = page;
    m_main->OpenUrl = [&](const QUrl &url) {
        asked << url;
        return desktopOpens;
    };

    m_main->A_Help->trigger();

    // A missing page is never handed to the browser.
    QCOMPARE(asked, pageExists ? QList<QUrl>{QUrl::fromLocalFile(page)} : QList<QUrl>{});
    if (warning.isEmpty()) {
        QVERIFY(dialogs().asked().empty());
        return;
    }
    QCOMPARE(dialogs().asked().size(), size_t(1));
    QCOMPARE(dialogs().count(ScriptedDialogs::Kind::Warning), 1);
    const auto &w = dialogs().last(ScriptedDialogs::Kind::Warning);
    QCOMPARE(w.caption, QStringLiteral("Help"));
    QCOMPARE(w.text, warning.arg(QDir::toNativeSeparators(page)));
}

void MainFormTest::menuItemsShowOnlyTheirHints_data()
{
    QTest::addColumn<QString>("action");
    QTest::addColumn<QString>("hint"); // empty: the item shows no tool tip
    QTest::newRow("About") << "A_About" << QString();
    QTest::newRow("Help") << "A_Help" << QString();
    QTest::newRow("Close") << "A_Close" << QString();
    QTest::newRow("Clear recent files") << "A_ClearRecent"
                                        << "Empty the list of recent keyboard packages, dictionaries and strings files";
    QTest::newRow("Keyboard Definition") << "A_ShowDefineFm" << "Define keyboard and mapping of characthers";
    QTest::newRow("Keyboard Layout") << "A_ShowKbDemoFm" << "Define location of each key by drag and drop operations";
    QTest::newRow("Finger Definition") << "A_ShowFingerDefFm"
                                       << "Define length and color of each finger in Tarvo Typing Tutor";
    QTest::newRow("Check Definition") << "A_CheckDefinition"
                                      << "List what would go wrong in the tutor and lead to each row";
    QTest::newRow("Typing Course Generator") << "A_TCG" << QString();
    QTest::newRow("Dictionary Generator") << "A_Dictionary" << "Make  a dictornary file by scanning text files";
    QTest::newRow("Code page") << "A_CodePage_CP1257"
                               << "Read and write keyboard packages, demo texts and word lists in this code page";
}

void MainFormTest::menuItemsShowOnlyTheirHints()
{
    QFETCH(QString, action);
    QFETCH(QString, hint);
    auto *a = m_main->findChild<QAction *>(action);
    QVERIFY(a);
    QMenu *menu = nullptr;
    for (QAction *m : m_main->menuBar()->actions())
        if (m->menu()->actions().contains(a))
            menu = m->menu();
    QVERIFY(menu);
    // No tool tip left over from another item.
    for (QWidget *w : QApplication::topLevelWidgets())
        if (w->inherits("QTipLabel"))
            delete w;
    QVERIFY(!QToolTip::isVisible());

    menu->popup(m_main->mapToGlobal(QPoint(10, 10)));
    QVERIFY(QTest::qWaitForWindowExposed(menu));
    const QPoint at = menu->actionGeometry(a).center();
    QHelpEvent help(QEvent::ToolTip, at, menu->mapToGlobal(at));
    QApplication::sendEvent(menu, &help);

    QCOMPARE(QToolTip::isVisible() ? QToolTip::text() : QString(), hint);
    QCOMPARE(a->statusTip(), hint);
    menu->hide();
}

void MainFormTest::closingMainWindowAsksNoChildWindow()
{
    auto *asking = m_main->Factory().GetForm<TAskingFm>();
    QPointer<QWidget> guard(asking);
    QVERIFY(m_main->close());
    QCOMPARE(dialogs().count(ScriptedDialogs::Kind::Confirm), 0);
    m_main.reset();
    QVERIFY(guard.isNull());
}

// Undo and Redo name the step, keep plain captions and are disabled when
// there is none, and Ctrl+Z / Ctrl+Y / Ctrl+Shift+Z reach them.
void MainFormTest::editMenuNamesTheStep()
{
    m_dataMod->Ctbl.AppendRecord({"a normal", 97, 65, false, false, 0});
    m_dataMod->History().Clear();
    QCOMPARE(m_main->A_Undo->text(), QStringLiteral("Undo"));
    QVERIFY(!m_main->A_Undo->isEnabled());
    QVERIFY(!m_main->A_Redo->isEnabled());

    m_dataMod->Ctbl.Edit();
    m_dataMod->Ctbl.FieldByName("Code").SetAsInteger(225);
    m_dataMod->Ctbl.Post();
    QCOMPARE(m_main->A_Undo->text(), QStringLiteral("Undo edit of row 'a normal'"));
    QVERIFY(m_main->A_Undo->isEnabled());
    QCOMPARE(m_main->A_Redo->text(), QStringLiteral("Redo"));

    m_main->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(m_main.get()));
    QTest::keyClick(m_main.get(), Qt::Key_Z, Qt::ControlModifier);
    QCOMPARE(m_dataMod->Ctbl.FieldByName("Code").AsInteger(), 97);
    QCOMPARE(m_main->A_Undo->text(), QStringLiteral("Undo"));
    QVERIFY(!m_main->A_Undo->isEnabled());
    QCOMPARE(m_main->A_Redo->text(), QStringLiteral("Redo edit of row 'a normal'"));
    QTest::keyClick(m_main.get(), Qt::Key_Y, Qt::ControlModifier);
    QCOMPARE(m_dataMod->Ctbl.FieldByName("Code").AsInteger(), 225);
    QTest::keyClick(m_main.get(), Qt::Key_Z, Qt::ControlModifier);
    QTest::keyClick(m_main.get(), Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
    QCOMPARE(m_dataMod->Ctbl.FieldByName("Code").AsInteger(), 225);
    QCOMPARE(dialogs().count(ScriptedDialogs::Kind::Message), 0);
}

// A layout import makes its code page the session's in the same step: Undo
// gives the session its code page back with the rows, Redo takes the
// import's again; a step that did not change it leaves it as it is.
void MainFormTest::undoingAnImportTakesBackItsCodePage()
{
    CodePageChoice &choice = CodePageChoice::instance();
    choice.choose(QStringLiteral("CP1252"));
    const auto back = qScopeGuard([&choice] { choice.choose(QStringLiteral("CP1252")); });
    {
        TDefinitionHistory::Step step(m_dataMod->History(), QStringLiteral("import of layout ru"));
        m_dataMod->Ctbl.AppendRecord({"a normal", 0xE0, 65, false, false, 0});
        choice.choose(QStringLiteral("CP1251"));
    }
    m_dataMod->Ctbl.Edit();
    m_dataMod->Ctbl.FieldByName("Code").SetAsInteger(0xE1);
    m_dataMod->Ctbl.Post();

    m_main->A_Undo->trigger(); // the edit: the code page stays
    QCOMPARE(choice.current(), QStringLiteral("CP1251"));
    m_main->A_Undo->trigger(); // the import
    QCOMPARE(m_dataMod->Ctbl.RecordCount(), 0);
    QCOMPARE(choice.current(), QStringLiteral("CP1252"));
    m_main->A_Redo->trigger();
    QCOMPARE(m_dataMod->Ctbl.RecordCount(), 1);
    QCOMPARE(choice.current(), QStringLiteral("CP1251"));
    QCOMPARE(dialogs().count(ScriptedDialogs::Kind::Message), 0);
}

void MainFormTest::closingAsksAboutUnsavedDefinition_data()
{
    QTest::addColumn<bool>("changed");
    QTest::addColumn<QString>("answer");
    QTest::addColumn<QString>("saveTo"); // the save dialog's answer; empty: cancelled
    QTest::addColumn<bool>("closes");
    QTest::addColumn<bool>("typed"); // the change: an author typed in a definition window closed since
    QTest::newRow("untouched") << false << "" << "" << true << false;
    QTest::newRow("undone back to the load") << false << "undo" << "" << true << false;
    QTest::newRow("Cancel") << true << "cancel" << "" << false << false;
    QTest::newRow("Discard") << true << "discard" << "" << true << false;
    QTest::newRow("Save") << true << "save" << "saved.vkt" << true << false;
    QTest::newRow("Save cancelled") << true << "save" << "" << false << false;
    QTest::newRow("Save fails") << true << "save" << "no/such/folder/saved.vkt" << false << false;
    QTest::newRow("typed, window closed, Cancel") << true << "cancel" << "" << false << true;
    QTest::newRow("typed, window closed, Save") << true << "save" << "saved.vkt" << true << true;
}

void MainFormTest::closingAsksAboutUnsavedDefinition()
{
    QFETCH(bool, changed);
    QFETCH(QString, answer);
    QFETCH(QString, saveTo);
    QFETCH(bool, closes);
    QFETCH(bool, typed);
    QTemporaryDir dir;
    m_dataMod->MainTbl.AppendRecord({"A", 65});
    m_dataMod->Author = "Jo";
    m_dataMod->History().Clear();
    if (typed) {
        // Typed into the window's edit, then the window closed by its frame.
        m_main->A_ShowDefineFm->trigger();
        QPointer<TDefineFm> form = m_main->Factory().FindForm<TDefineFm>();
        QVERIFY(form);
        QCOMPARE(form->AuthorEd->text(), QStringLiteral("Jo"));
        form->AuthorEd->setFocus();
        QTest::keyClick(form->AuthorEd, Qt::Key_End);
        QTest::keyClicks(form->AuthorEd, QStringLiteral(" Doe"));
        QVERIFY(TWinFormFactory::FrameOf(form)->close());
        QTRY_VERIFY(form.isNull());
    } else if (changed || answer == "undo") {
        m_dataMod->MainTbl.Edit();
        m_dataMod->MainTbl.FieldByName("KeyValue").SetAsInteger(66);
        m_dataMod->MainTbl.Post();
    }
    if (answer == "undo")
        m_main->A_Undo->trigger();
    else if (answer == "save")
        dialogs().answerSave();
    else if (answer == "discard")
        dialogs().answerDiscard();
    else if (answer == "cancel")
        dialogs().answerCancel();
    if (answer == "save") {
        if (saveTo.isEmpty())
            dialogs().answerCancel();
        else
            dialogs().answerFile(dir.filePath(saveTo));
    }

    QCOMPARE(m_main->close(), closes);
    QCOMPARE(m_main->isVisible(), !closes);
    QCOMPARE(dialogs().count(ScriptedDialogs::Kind::SaveDiscard), changed ? 1 : 0);
    if (changed)
        QCOMPARE(dialogs().last(ScriptedDialogs::Kind::SaveDiscard).text,
                 QStringLiteral("Save changes to the keyboard definition?"));
    if (answer == "save" && !saveTo.isEmpty()) {
        QCOMPARE(QFile::exists(dir.filePath(saveTo)), closes);
        QCOMPARE(dialogs().count(ScriptedDialogs::Kind::Warning), closes ? 0 : 1);
    }
    if (closes && answer == "save") {
        TDataMod saved;
        QVERIFY(saved.LoadPackage(dir.filePath(saveTo).toStdString()));
        QCOMPARE(saved.MainTbl.FieldByName("KeyValue").AsInteger(), typed ? 65 : 66);
        // Saved from a window opened for it, with the typed author.
        QCOMPARE(saved.Author, std::string(typed ? "Jo Doe" : "Jo"));
        QCOMPARE(windows().size(), 1);
    }
}

// File > Close asks each window with work no file holds, in turn, naming
// what would be lost: Save / Discard / Cancel where the window can save it,
// OK / Cancel where it cannot; a window with nothing unsaved asks nothing.
void MainFormTest::closingAsksAboutEveryWindowsWork_data()
{
    QTest::addColumn<QString>("work");     // "list": a scan in the dictionary window; "strings": typed in the
                                           // course window; "result": its result edited
    QTest::addColumn<QStringList>("answers");
    QTest::addColumn<QStringList>("asked"); // the windows asked, in order, and how
    QTest::addColumn<bool>("closes");
    QTest::newRow("both windows open, nothing unsaved") << "" << QStringList{} << QStringList{} << true;
    QTest::newRow("word list: Cancel") << "list" << QStringList{"cancel"}
                                       << QStringList{"Make Dictionary: Save/Discard/Cancel"} << false;
    QTest::newRow("word list: Save") << "list" << QStringList{"save"}
                                     << QStringList{"Make Dictionary: Save/Discard/Cancel"} << true;
    QTest::newRow("typed strings: OK") << "strings" << QStringList{"ok"}
                                       << QStringList{"Typing Course Generator: OK/Cancel"} << true;
    QTest::newRow("word list and typed strings: Discard, Cancel")
        << "list strings" << QStringList{"discard", "cancel"}
        << QStringList{"Make Dictionary: Save/Discard/Cancel", "Typing Course Generator: OK/Cancel"} << false;
    QTest::newRow("word list and edited result: Discard, Save")
        << "list strings result" << QStringList{"discard", "save"}
        << QStringList{"Make Dictionary: Save/Discard/Cancel", "Typing Course Generator: Save/Discard/Cancel"}
        << true;
}

void MainFormTest::closingAsksAboutEveryWindowsWork()
{
    QFETCH(QString, work);
    QFETCH(QStringList, answers);
    QFETCH(QStringList, asked);
    QFETCH(bool, closes);
    QTemporaryDir dir;
    const auto write = [&](const char *name, const char *bytes) {
        QFile f(dir.filePath(QString::fromLatin1(name)));
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(bytes);
    };
    write("text.txt", "fad dad sad\r\n");
    write("dictionary.txt", "fad\r\ndad\r\nsad\r\n");

    m_main->A_Dictionary->trigger();
    auto *dic = m_main->Factory().FindForm<TDicFm>();
    QVERIFY(dic);
    if (work.contains(QLatin1String("list"))) {
        dialogs().answerFile(dir.filePath(QStringLiteral("text.txt")));
        dialogs().answerYes();
        dic->WordGrid->setFocus();
        QTest::keySequence(dic->WordGrid, QKeySequence(Qt::CTRL | Qt::Key_W));
        QCOMPARE(dic->Builder().WordCount(), 3);
    }
    m_main->A_TCG->trigger();
    auto *tcg = m_main->Factory().FindForm<TTcgFm>();
    QVERIFY(tcg);
    if (work.contains(QLatin1String("strings"))) {
        dialogs().answerFile(dir.filePath(QStringLiteral("dictionary.txt")));
        QTest::mouseClick(tcg->LoadDicBn, Qt::LeftButton);
        QTest::mouseClick(tcg->Next1Bn, Qt::LeftButton);
        tcg->TwdMemo->setFocus();
        QTest::keyClicks(tcg->TwdMemo, QStringLiteral("fads"));
    }
    if (work.contains(QLatin1String("result"))) {
        QTest::mouseClick(tcg->Next2Bn, Qt::LeftButton);
        QCOMPARE(tcg->CurrentPage(), TTcgFm::ResultPage);
        tcg->ResultMemo->setFocus();
        QTest::keyClicks(tcg->ResultMemo, QStringLiteral("mine "));
    }
    QCOMPARE(dialogs().pendingAnswers(), 0);
    dialogs().clear();
    const QString listFile = dir.filePath(QStringLiteral("list.txt"));
    const QString resultFile = dir.filePath(QStringLiteral("result.txt"));
    for (int i = 0; i < answers.size(); ++i) {
        const QString &a = answers[i];
        if (a == QLatin1String("cancel"))
            dialogs().answerCancel();
        else if (a == QLatin1String("ok"))
            dialogs().answerYes();
        else if (a == QLatin1String("discard"))
            dialogs().answerDiscard();
        else {
            dialogs().answerSave();
            dialogs().answerFile(asked[i].startsWith(QLatin1String("Make")) ? listFile : resultFile);
        }
    }
    QPointer<TDicFm> dicGuard(dic);
    m_main->A_Close->trigger();

    QStringList seen;
    for (const ScriptedDialogs::Asked &q : dialogs().asked()) {
        if (q.kind != ScriptedDialogs::Kind::SaveDiscard && q.kind != ScriptedDialogs::Kind::OkCancel)
            continue;
        const QString window = q.text.section(QStringLiteral(" holds work"), 0, 0);
        seen << window + (q.kind == ScriptedDialogs::Kind::SaveDiscard ? QStringLiteral(": Save/Discard/Cancel")
                                                                        : QStringLiteral(": OK/Cancel"));
        // Each question names what would be lost.
        if (window == QLatin1String("Make Dictionary"))
            QVERIFY(q.text.contains(QStringLiteral("the word list (3 words listed)")));
        else
            QVERIFY(q.text.contains(QStringLiteral("the strings of step 2, typed")));
        QCOMPARE(q.text.contains(QStringLiteral("the result, edited by hand")), window != QLatin1String("Make Dictionary") && work.contains(QLatin1String("result")));
    }
    QCOMPARE(seen, asked);
    QCOMPARE(m_main->isVisible(), !closes);
    QCOMPARE(QFile::exists(listFile), answers.contains(QStringLiteral("save")) && asked.first().startsWith(QLatin1String("Make")) && answers.first() == QLatin1String("save"));
    QCOMPARE(QFile::exists(resultFile), work.contains(QLatin1String("result")) && answers.last() == QLatin1String("save"));
    // Cancel keeps every window and its work.
    if (!closes) {
        QVERIFY(!dicGuard.isNull());
        QVERIFY(m_main->Factory().FindForm<TTcgFm>());
    }
}

void MainFormTest::refusedPostOfKeyRowWithoutNameIsReported_data()
{
    QTest::addColumn<bool>("byNavigator");
    QTest::newRow("navigator Post") << true;
    QTest::newRow("moving to another row in the grid") << false;
}

void MainFormTest::refusedPostOfKeyRowWithoutNameIsReported()
{
    QFETCH(bool, byNavigator);
    // A tool window with the key table in a grid and a navigator bar.
    m_main->A_ShowDefineFm->trigger();
    QWidget *form = windows().first()->widget();
    auto *grid = new TDBGrid(form);
    auto *nav = new TDBNavigator(form);
    grid->setGeometry(0, 30, 400, 200);
    nav->setGeometry(0, 0, 208, 25);
    grid->SetDataSource(&m_dataMod->MainSource);
    nav->SetDataSource(&m_dataMod->MainSource);
    grid->show();
    nav->show();
    m_dataMod->MainTbl.AppendRecord({"A"});
    m_dataMod->MainTbl.First();

    QTest::mouseClick(nav->ButtonOf(TDBNavigator::nbInsert), Qt::LeftButton);
    m_dataMod->MainTbl.FieldByName("KeyValue").SetAsInteger(65);
    if (byNavigator)
        QTest::mouseClick(nav->ButtonOf(TDBNavigator::nbPost), Qt::LeftButton);
    else
        QTest::mouseClick(grid->viewport(), Qt::LeftButton, {},
                          grid->visualRect(grid->model()->index(1, 0)).center());

    QCOMPARE(dialogs().count(ScriptedDialogs::Kind::Message), 1);
    const auto &m = dialogs().last(ScriptedDialogs::Kind::Message);
    QCOMPARE(m.caption, QStringLiteral("Tarvo Keyfolio"));
    QCOMPARE(m.text, QStringLiteral("AppException: %1~EDatabaseError--Field 'Name' must have a value")
                         .arg(byNavigator ? QStringLiteral("TDBNavigator") : QStringLiteral("TDBGrid")));
    QCOMPARE(m_dataMod->MainTbl.State(), TDataSetState::Insert); // the row stays in edit
    QCOMPARE(m_dataMod->MainTbl.RecordCount(), 1);
}

void MainFormTest::codePageChosenInTheMenu_data()
{
    QTest::addColumn<QString>("codePage");
    QTest::addColumn<QString>("byteE0"); // how the byte 0xE0 reads in it
    QTest::newRow("Western") << "CP1252" << QStringLiteral("\u00E0");
    QTest::newRow("Baltic") << "CP1257" << QStringLiteral("\u0105");
    QTest::newRow("Cyrillic") << "CP1251" << QStringLiteral("\u0430");
}

void MainFormTest::codePageChosenInTheMenu()
{
    QFETCH(QString, codePage);
    QFETCH(QString, byteE0);
    // Chosen elsewhere first: the menu follows.
    CodePageChoice::instance().choose(QStringLiteral("CP1250"));
    QCOMPARE(checkedCodePages(*m_main), QStringList{QStringLiteral("CP1250")});

    m_dataMod->MainTbl.AppendRecord({"K", 65, 1, 0, 3, TValue(), 40, 40, 0, 0, "\xE0 key"});
    m_dataMod->Ctbl.AppendRecord({std::string("\xE0"), 0xE0, 1, false, false, 0});
    m_main->A_ShowDefineFm->trigger();
    m_main->A_ShowKbDemoFm->trigger();
    auto *define = m_main->Factory().FindForm<TDefineFm>();
    auto *layout = m_main->Factory().FindForm<TKbDemoFm>();
    QVERIFY(define && layout);
    layout->Button2Click(); // the keyboard's buttons
    QCOMPARE(layout->KbDragFrame()->Buttons().size(), size_t(1));
    QCOMPARE(define->DemoEd->text(), QStringLiteral("\u0155")); // 0xE0 in CP1250
    QCOMPARE(accessibleName(define->CodePageLb), QStringLiteral("CP1250"));

    const QModelIndex defineCell = define->CharGrid->model()->index(0, 0); // Name
    const QModelIndex layoutCell = layout->CharGrid->model()->index(0, 0);
    QSignalSpy defineSpy(define->CharGrid->model(), &QAbstractItemModel::dataChanged);
    QSignalSpy layoutSpy(layout->CharGrid->model(), &QAbstractItemModel::dataChanged);

    QMenu *menu = m_main->CodePageMenu;
    QAction *item = m_main->findChild<QAction *>(QStringLiteral("A_CodePage_") + codePage);
    QVERIFY(item);
    menu->popup(m_main->mapToGlobal(QPoint(10, 10)));
    QVERIFY(QTest::qWaitForWindowExposed(menu));
    QTest::mouseClick(menu, Qt::LeftButton, {}, menu->actionGeometry(item).center());

    QCOMPARE(dialogs().asked().size(), size_t(0));
    QCOMPARE(QString::fromStdString(CodePage::current().name()), codePage);
    QCOMPARE(checkedCodePages(*m_main), QStringList{codePage});
    for (QWidget *label : {static_cast<QWidget *>(define->CodePageLb), static_cast<QWidget *>(layout->CodePageLb)}) {
        QCOMPARE(accessibleName(label), codePage);
        QAccessibleInterface *a = QAccessible::queryAccessibleInterface(label);
        QCOMPARE(a->text(QAccessible::Description), QStringLiteral("Code page"));
    }
    // The stored byte reads in the new code page, and the views are told so.
    QCOMPARE(defineCell.data().toString(), byteE0);
    QCOMPARE(layoutCell.data(Qt::AccessibleTextRole).toString(), byteE0);
    QCOMPARE(layout->CharGridCell(0, 0), byteE0);
    QVERIFY(toldChanged(defineSpy, defineCell));
    QVERIFY(toldChanged(layoutSpy, layoutCell));
    QCOMPARE(define->DemoEd->text(), byteE0);
    QCOMPARE(accessibleName(layout->KbDragFrame()->Buttons().front()), QStringLiteral("K"));
    QCOMPARE(layout->KbDragFrame()->Buttons().front()->toolTip(), byteE0 + QStringLiteral(" key"));
    // The tables hold the same bytes as before.
    QCOMPARE(m_dataMod->Ctbl.FieldByName("Name").AsString(), std::string("\xE0"));
    QCOMPARE(m_dataMod->Ctbl.FieldByName("Code").AsInteger(), 0xE0);
}

void MainFormTest::codePageInForceAtStartComesFromTheEnvironment_data()
{
    QTest::addColumn<QByteArray>("environment");
    QTest::addColumn<QString>("inForce");
    QTest::newRow("a desktop code page") << QByteArray("CP1257") << "CP1257";
    QTest::newRow("another one") << QByteArray("CP1251") << "CP1251";
    // One that no desktop language picks is offered too, checked.
    QTest::newRow("outside the desktop list") << QByteArray("CP850") << "CP850";
}

void MainFormTest::codePageInForceAtStartComesFromTheEnvironment()
{
    QFETCH(QByteArray, environment);
    QFETCH(QString, inForce);
    m_main.reset();
    qputenv("KEYFOLIO_CODEPAGE", environment);
    CodePage::reload();
    m_main = std::make_unique<TMainFm>();
    QCOMPARE(checkedCodePages(*m_main), QStringList{inForce});
    m_main->A_ShowDefineFm->trigger();
    auto *define = m_main->Factory().FindForm<TDefineFm>();
    QVERIFY(define);
    QCOMPARE(accessibleName(define->CodePageLb), inForce);
}

int main(int argc, char **argv)
{
    TApplication app(argc, argv);
    app.setApplicationName(ApplicationTitle());
    MainFormTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "MainForm_test.moc"
