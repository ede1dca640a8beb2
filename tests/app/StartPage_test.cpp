// The start page of the empty main window and the recent files, driven as a
// user would: keys and clicks on the real windows, dialogs answered by the
// scripted service. Every test program keeps no settings, so the list starts
// empty and goes nowhere.

#include "app/Application.h"
#include "app/ComFormFactory.h"
#include "app/MainForm.h"
#include "app/StartPage.h"
#include "common/ErrorReport.h"
#include "common/FilePath.h"
#include "common/ScriptedDialogs.h"
#include "common/TextFile.h"
#include "define/DefineForm.h"
#include "define/ImportLayoutDialog.h"
#include "model/MainData.h"
#include "table/RecordTable.h"
#include "ui/RecentFiles.h"
#include "wordlist/DicForm.h"
#include "wordlist/TcgForm.h"

#include <QAccessible>
#include <QCommandLinkButton>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QListWidget>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QToolButton>
#include <QtTest>

#include <memory>

using namespace kf;
using Kind = ScriptedDialogs::Kind;

Q_DECLARE_METATYPE(kf::RecentKind)

class StartPageTest : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    void emptyMainWindowShowsTheStartPage();
    void startPageComesBackWhenTheLastToolWindowCloses();
    void buttonsAreReachedByKeyboardAndNamed();
    void theFocusedButtonShowsARing();
    void eachButtonOpensItsWindow_data();
    void eachButtonOpensItsWindow();
    void fileRecordedOnlyAfterASuccessfulLoadOrSave_data();
    void fileRecordedOnlyAfterASuccessfulLoadOrSave();
    void recentFileOpensItsWindowWithTheFile_data();
    void recentFileOpensItsWindowWithTheFile();
    void recentStringsWithADictionaryGoToStepTwo();
    void recentListsAreReadWithTheirPaths();
    void missingRecentFileIsGreyedAndTakenOffOnAClick();
    void recentFilesMenuAndClear();
    void testsKeepNoSettings();

private:
    ScriptedDialogs &dialogs() { return *m_dialogs; }
    TStartPage *page() const { return m_main->StartPage(); }
    QString path(const QString &name) const { return m_dir->filePath(name); }
    QString writeFile(const QString &name, const std::string &bytes) const
    {
        writeFileBytes(LocalPath(path(name)), bytes);
        return path(name);
    }
    QString samplePackage() const
    {
        const QString copy = path(QStringLiteral("sample.vkt"));
        QFile::copy(QStringLiteral(KF_TEST_DATA_DIR "/sample-keyboard.vkt"), copy);
        return copy;
    }
    QList<QMdiSubWindow *> windows() const
    {
        QList<QMdiSubWindow *> open;
        for (QMdiSubWindow *w : m_main->MdiArea()->subWindowList())
            if (!w->isHidden())
                open << w;
        return open;
    }
    // Clicks the entry of the start page's list that stands for file.
    void clickEntry(RecentKind kind, const QString &file);
    static void press(QAbstractButton *b) { QTest::mouseClick(b, Qt::LeftButton); }
    static void flushDeletes() { QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete); }

    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<TMainFm> m_main;
    std::unique_ptr<TDataMod> m_dataMod;
    ScriptedDialogs *m_dialogs = nullptr; // owned by the dialog service
    QList<QUrl> m_opened;
};

namespace {

QAccessibleInterface *accessible(QWidget *w)
{
    return QAccessible::queryAccessibleInterface(w);
}

// Whether a walk down the accessible tree from node, as a screen reader
// walks it, meets the widget.
bool reachableFromTop(QAccessibleInterface *node, const QWidget *widget, int depth = 0)
{
    if (!node || depth > 30)
        return false;
    if (node->object() == widget)
        return true;
    for (int i = 0; i < node->childCount(); ++i)
        if (reachableFromTop(node->child(i), widget, depth + 1))
            return true;
    return false;
}

// The pixels of an image in a colour.
int pixelsOf(const QImage &image, const QColor &colour)
{
    int n = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            n += QColor(image.pixel(x, y)) == colour;
    return n;
}

} // namespace

void StartPageTest::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    auto d = std::make_unique<ScriptedDialogs>();
    m_dialogs = d.get();
    SetDialogs(std::move(d));
    m_main = std::make_unique<TMainFm>();
    m_dataMod = std::make_unique<TDataMod>(); // as at start-up: after the main window
    m_opened.clear();
    m_main->OpenUrl = [this](const QUrl &url) {
        m_opened << url;
        return true;
    };
    m_main->show();
    QVERIFY(QTest::qWaitForWindowActive(m_main.get()));
}

void StartPageTest::cleanup()
{
    m_main.reset();
    flushDeletes();
    m_dataMod.reset();
    SetDialogs(nullptr);
    m_dialogs = nullptr;
    m_dir.reset();
}

void StartPageTest::clickEntry(RecentKind kind, const QString &file)
{
    QListWidget *list = page()->RecentList(kind);
    for (int row = 0; row < list->count(); ++row)
        if (TStartPage::FileOf(list->item(row)) == file) {
            QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                              list->visualItemRect(list->item(row)).center());
            return;
        }
    QFAIL(qPrintable(QStringLiteral("no entry for ") + file));
}

void StartPageTest::emptyMainWindowShowsTheStartPage()
{
    TStartPage *p = page();
    QVERIFY(p);
    QVERIFY(p->isVisible());
    QVERIFY(windows().isEmpty());
    // It covers the frame's client area, as a child of the main window
    // (where assistive technology finds it).
    QWidget *viewport = m_main->MdiArea()->viewport();
    QCOMPARE(p->parentWidget(), m_main.get());
    QCOMPARE(p->geometry(), QRect(viewport->mapTo(m_main.get(), QPoint(0, 0)), viewport->size()));
    QCOMPARE(p->TitleLb->text(), ApplicationTitle());
    QCOMPARE(p->VersionLb->text(), QStringLiteral("Version 2.3"));
    // Nothing recent yet: each kind says so.
    for (RecentKind kind : TRecentFiles::Kinds) {
        QVERIFY(!p->RecentList(kind)->isVisible());
        QVERIFY(p->NoneLabel(kind)->isVisible());
    }
    // Keys go to the first way to begin.
    QCOMPARE(QApplication::focusWidget(), p->ImportLayoutBn);
}

void StartPageTest::startPageComesBackWhenTheLastToolWindowCloses()
{
    m_main->A_Dictionary->trigger();
    QVERIFY(!page()->isVisible());
    m_main->A_TCG->trigger();
    QVERIFY(!page()->isVisible());

    // A minimised window is still open.
    TWinFormFactory &f = m_main->Factory();
    QMdiSubWindow *dic = TWinFormFactory::FrameOf(f.FindForm<TDicFm>());
    dic->showMinimized();
    QVERIFY(!page()->isVisible());

    // Nothing unsaved: the dictionary window closes without a question.
    QVERIFY(dic->close());
    QCOMPARE(dialogs().asked().size(), size_t(0));
    QVERIFY(!page()->isVisible());
    QVERIFY(TWinFormFactory::FrameOf(f.FindForm<TTcgFm>())->close());
    QVERIFY(page()->isVisible());
    flushDeletes();
    QVERIFY(page()->isVisible());
    QCOMPARE(QApplication::focusWidget(), page()->ImportLayoutBn);

    // A window that refuses to close (its typed strings kept) leaves the page hidden.
    m_main->A_TCG->trigger();
    f.FindForm<TTcgFm>()->TwdMemo->insertPlainText(QStringLiteral("fj"));
    dialogs().answerCancel();
    QVERIFY(!TWinFormFactory::FrameOf(f.FindForm<TTcgFm>())->close());
    QCOMPARE(dialogs().count(ScriptedDialogs::Kind::OkCancel), 1);
    QVERIFY(!page()->isVisible());
}

void StartPageTest::buttonsAreReachedByKeyboardAndNamed()
{
    struct Expected {
        QCommandLinkButton *button;
        QString name;
    };
    const std::vector<Expected> expected{
        {page()->ImportLayoutBn, QStringLiteral("Import a system keyboard layout...")},
        {page()->OpenPackageBn, QStringLiteral("Open a keyboard package...")},
        {page()->DictionaryBn, QStringLiteral("Make a dictionary from texts")},
        {page()->CourseBn, QStringLiteral("Make a typing course")},
        {page()->HelpBn, QStringLiteral("Help")},
    };
    for (const Expected &e : expected) {
        QCOMPARE(QApplication::focusWidget(), e.button);
        QCOMPARE(e.button->text(), e.name);
        QAccessibleInterface *a = accessible(e.button);
        QVERIFY(a);
        QCOMPARE(a->role(), QAccessible::Button);
        QCOMPARE(a->text(QAccessible::Name), e.name);
        // One line says what it does.
        const QString line = a->text(QAccessible::Description);
        QVERIFY2(!line.isEmpty() && !line.contains(QLatin1Char('\n')), qPrintable(e.name));
        QCOMPARE(line, e.button->description());
        // Assistive technology finds it from the top of the window down.
        QVERIFY2(reachableFromTop(accessible(m_main.get()), e.button), qPrintable(e.name));
        // Large: taller than a plain push button.
        QVERIFY(e.button->height() > QPushButton(e.name).sizeHint().height());
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    }
}

// The button with the focus has a ring around it in the highlight colour;
// the others none.
void StartPageTest::theFocusedButtonShowsARing()
{
    TStartPage *p = page();
    m_main->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(m_main.get()));
    const QColor ring = p->OpenPackageBn->palette().color(QPalette::Highlight);
    p->ImportLayoutBn->setFocus(Qt::TabFocusReason);
    QTRY_VERIFY(p->ImportLayoutBn->hasFocus());
    const QImage unfocused = p->OpenPackageBn->grab().toImage().convertToFormat(QImage::Format_RGB32);
    QTest::keyClick(p->ImportLayoutBn, Qt::Key_Tab);
    QTRY_VERIFY(p->OpenPackageBn->hasFocus());
    const QImage focused = p->OpenPackageBn->grab().toImage().convertToFormat(QImage::Format_RGB32);
    const int around = focused.width() + focused.height(); // half the ring's length at least
    QVERIFY2(pixelsOf(focused, ring) > around, qPrintable(QString::number(pixelsOf(focused, ring))));
    QCOMPARE(pixelsOf(unfocused, ring), 0);
    const QByteArray shots = qgetenv("KEYFOLIO_SCREENSHOT_DIR");
    if (!shots.isEmpty())
        QVERIFY(m_main->grab().save(QString::fromLocal8Bit(shots) + QStringLiteral("/start-page-focus.png")));
}

void StartPageTest::eachButtonOpensItsWindow_data()
{
    QTest::addColumn<QString>("button");
    QTest::addColumn<QString>("window"); // the class of the window that opens
    QTest::addColumn<QString>("then");   // what else shows
    QTest::newRow("import") << "ImportLayoutBn" << "kf::TDefineFm" << "import dialog";
    QTest::newRow("open package") << "OpenPackageBn" << "kf::TDefineFm" << "load dialog";
    QTest::newRow("dictionary") << "DictionaryBn" << "kf::TDicFm" << "";
    QTest::newRow("course") << "CourseBn" << "kf::TTcgFm" << "";
    QTest::newRow("help") << "HelpBn" << "" << "help page";
}

void StartPageTest::eachButtonOpensItsWindow()
{
    QFETCH(QString, button);
    QFETCH(QString, window);
    QFETCH(QString, then);
    auto *b = page()->findChild<QCommandLinkButton *>(button);
    QVERIFY(b);
    // Pressed from the keyboard.
    b->setFocus();
    QTest::keyClick(b, Qt::Key_Space);

    QStringList open;
    for (QMdiSubWindow *w : windows())
        open << QString::fromLatin1(w->widget()->metaObject()->className());
    QCOMPARE(open, window.isEmpty() ? QStringList() : QStringList{window});
    QCOMPARE(page()->isVisible(), window.isEmpty());
    if (then == QLatin1String("import dialog")) {
        TImportLayoutDlg *dialog = m_main->Factory().FindForm<TDefineFm>()->ImportDialog();
        QVERIFY(dialog);
        QVERIFY(dialog->isVisible());
        dialog->reject();
    } else if (then == QLatin1String("load dialog")) {
        QCOMPARE(dialogs().count(Kind::OpenFiles), 1);
        QCOMPARE(dialogs().last(Kind::OpenFiles).caption, QStringLiteral("Load definition"));
    } else if (then == QLatin1String("help page")) {
        QCOMPARE(m_opened.size(), 1);
        QVERIFY(m_opened.first().toLocalFile().endsWith(QStringLiteral("/help/index.html")));
    }
    if (then != QLatin1String("load dialog"))
        QCOMPARE(dialogs().count(Kind::OpenFiles), 0);
    QCOMPARE(dialogs().count(Kind::Message), 0); // no error
}

void StartPageTest::fileRecordedOnlyAfterASuccessfulLoadOrSave_data()
{
    QTest::addColumn<QString>("how");
    QTest::addColumn<RecentKind>("kind");
    QTest::addColumn<bool>("recorded");
    QTest::newRow("package loaded") << "load package" << RecentKind::Package << true;
    QTest::newRow("broken package") << "load broken package" << RecentKind::Package << false;
    QTest::newRow("package saved") << "save package" << RecentKind::Package << true;
    QTest::newRow("package save failed") << "save package nowhere" << RecentKind::Package << false;
    QTest::newRow("dictionary saved") << "save dictionary" << RecentKind::Dictionary << true;
    QTest::newRow("dictionary save failed") << "save dictionary nowhere" << RecentKind::Dictionary << false;
    QTest::newRow("dictionary read for a course") << "course" << RecentKind::Dictionary << true;
    QTest::newRow("dictionary gone before the course") << "course without dictionary" << RecentKind::Dictionary
                                                       << false;
    QTest::newRow("strings loaded") << "load strings" << RecentKind::Strings << true;
    QTest::newRow("strings not readable") << "load missing strings" << RecentKind::Strings << false;
}

void StartPageTest::fileRecordedOnlyAfterASuccessfulLoadOrSave()
{
    QFETCH(QString, how);
    QFETCH(RecentKind, kind);
    QFETCH(bool, recorded);
    TWinFormFactory &f = m_main->Factory();
    const QString nowhere = path(QStringLiteral("no such folder/file.txt"));
    QString file;
    if (how.startsWith(QLatin1String("load")) && how.endsWith(QLatin1String("package"))) {
        file = how.contains(QLatin1String("broken")) ? writeFile(QStringLiteral("broken.vkt"), "not a package")
                                                    : samplePackage();
        dialogs().answerFile(file);
        press(page()->OpenPackageBn);
    } else if (how.startsWith(QLatin1String("save package"))) {
        file = how.endsWith(QLatin1String("nowhere")) ? nowhere : path(QStringLiteral("saved.vkt"));
        m_main->A_ShowDefineFm->trigger();
        dialogs().answerFile(file);
        press(f.FindForm<TDefineFm>()->SaveBn);
    } else if (how.startsWith(QLatin1String("save dictionary"))) {
        file = how.endsWith(QLatin1String("nowhere")) ? nowhere : path(QStringLiteral("words.txt"));
        press(page()->DictionaryBn);
        TDicFm *dic = f.FindForm<TDicFm>();
        dialogs().answerFiles({writeFile(QStringLiteral("text.txt"), "one two two\r\n")});
        dialogs().answerYes();
        dic->A_MakeWordList->trigger();
        dialogs().answerFile(file);
        dic->A_SaveWordlist->trigger();
    } else if (how.startsWith(QLatin1String("course"))) {
        file = writeFile(QStringLiteral("dictionary.txt"), "sad\r\nfad\r\n");
        press(page()->CourseBn);
        TTcgFm *tcg = f.FindForm<TTcgFm>();
        dialogs().answerFile(file);
        press(tcg->LoadDicBn);
        press(tcg->Next1Bn);
        tcg->TwdMemo->setPlainText(QStringLiteral("asdf"));
        if (how.endsWith(QLatin1String("without dictionary")))
            QVERIFY(QFile::remove(file));
        // Only the read dictionary counts, not the choice of it.
        QVERIFY(m_main->RecentFiles().IsEmpty());
        press(tcg->Next2Bn);
    } else if (how.startsWith(QLatin1String("load")) && how.endsWith(QLatin1String("strings"))) {
        file = how.contains(QLatin1String("missing")) ? path(QStringLiteral("gone.txt"))
                                                      : writeFile(QStringLiteral("rows.txt"), "asdf\r\njkl;\r\n");
        press(page()->CourseBn);
        TTcgFm *tcg = f.FindForm<TTcgFm>();
        dialogs().answerFile(writeFile(QStringLiteral("dictionary.txt"), "sad\r\n"));
        press(tcg->LoadDicBn);
        press(tcg->Next1Bn);
        dialogs().answerFile(file);
        press(tcg->LoadTWDBn);
    } else {
        QFAIL("unknown case");
    }

    const QStringList expected = recorded ? QStringList{file} : QStringList();
    QCOMPARE(m_main->RecentFiles().Files(kind), expected);
    // A failure was told, never silent; a success told nothing.
    const int told = dialogs().count(Kind::Warning) + dialogs().count(Kind::Message);
    QCOMPARE(told > 0, !recorded);
    for (RecentKind other : TRecentFiles::Kinds)
        if (other != kind)
            QVERIFY(m_main->RecentFiles().Files(other).isEmpty());
}

void StartPageTest::recentFileOpensItsWindowWithTheFile_data()
{
    QTest::addColumn<RecentKind>("kind");
    QTest::addColumn<bool>("byKey"); // Enter on the entry instead of a click
    QTest::newRow("package") << RecentKind::Package << false;
    QTest::newRow("package by key") << RecentKind::Package << true;
    QTest::newRow("dictionary") << RecentKind::Dictionary << false;
    QTest::newRow("strings") << RecentKind::Strings << false;
}

void StartPageTest::recentFileOpensItsWindowWithTheFile()
{
    QFETCH(RecentKind, kind);
    QFETCH(bool, byKey);
    const QString package = samplePackage();
    const QString dictionary = writeFile(QStringLiteral("de.txt"), "sad\r\n");
    const QString strings = writeFile(QStringLiteral("rows.txt"), "asdf\r\njkl;\r\n");
    TRecentFiles &recent = m_main->RecentFiles();
    recent.Add(RecentKind::Package, package);
    recent.Add(RecentKind::Dictionary, dictionary);
    recent.Add(RecentKind::Strings, strings);
    // Another, older entry: the newest is first.
    recent.Add(kind, kind == RecentKind::Package ? writeFile(QStringLiteral("old.vkt"), "") : path(QStringLiteral("x")));
    const QString file = kind == RecentKind::Package ? package : kind == RecentKind::Dictionary ? dictionary : strings;
    recent.Add(kind, file);
    QCOMPARE(recent.Files(kind).first(), file);

    if (byKey) {
        QListWidget *list = page()->RecentList(kind);
        list->setFocus();
        QCOMPARE(TStartPage::FileOf(list->currentItem()), file);
        QTest::keyClick(list, Qt::Key_Return);
    } else {
        clickEntry(kind, file);
    }

    QCOMPARE(windows().size(), 1);
    QVERIFY(!page()->isVisible());
    TWinFormFactory &f = m_main->Factory();
    switch (kind) {
    case RecentKind::Package: {
        TDefineFm *define = f.FindForm<TDefineFm>();
        QVERIFY(define);
        QCOMPARE(define->FileNameLb->text(), QStringLiteral("sample.vkt"));
        QVERIFY(DataMod->MainTbl.RecordCount() > 0);
        break;
    }
    case RecentKind::Dictionary: {
        TTcgFm *tcg = f.FindForm<TTcgFm>();
        QVERIFY(tcg);
        QCOMPARE(tcg->LbDic->text(), dictionary);
        QCOMPARE(tcg->CurrentPage(), TTcgFm::Step1Page);
        break;
    }
    case RecentKind::Strings: {
        TTcgFm *tcg = f.FindForm<TTcgFm>();
        QVERIFY(tcg);
        QCOMPARE(TTcgFm::MemoText(tcg->TwdMemo), QStringLiteral("asdf\njkl;"));
        // No dictionary chosen yet: step 1 asks for it first.
        QCOMPARE(tcg->CurrentPage(), TTcgFm::Step1Page);
        break;
    }
    }
    QCOMPARE(dialogs().count(Kind::Warning) + dialogs().count(Kind::Message) + dialogs().count(Kind::Information), 0);
    QCOMPARE(recent.Files(kind).first(), file);
}

void StartPageTest::recentStringsWithADictionaryGoToStepTwo()
{
    const QString strings = writeFile(QStringLiteral("rows.txt"), "asdf\r\n");
    m_main->RecentFiles().Add(RecentKind::Strings, strings);
    // On the result page of a course, with a dictionary chosen.
    m_main->A_TCG->trigger();
    TTcgFm *tcg = m_main->Factory().FindForm<TTcgFm>();
    dialogs().answerFile(writeFile(QStringLiteral("dictionary.txt"), "sad\r\n"));
    press(tcg->LoadDicBn);
    press(tcg->Next1Bn);
    tcg->TwdMemo->setPlainText(QStringLiteral("s"));
    press(tcg->Next2Bn);
    QCOMPARE(tcg->CurrentPage(), TTcgFm::ResultPage);

    QMenu *menu = m_main->RecentMenu;
    emit menu->aboutToShow();
    QAction *entry = nullptr;
    for (QAction *a : menu->actions())
        if (a->data().toString() == strings)
            entry = a;
    QVERIFY(entry);
    entry->trigger();
    QCOMPARE(tcg->CurrentPage(), TTcgFm::Step2Page);
    QCOMPARE(TTcgFm::MemoText(tcg->TwdMemo), QStringLiteral("asdf"));
    // The result of the last course is put away, as Reset does.
    QVERIFY(TTcgFm::MemoText(tcg->ResultMemo).isEmpty());
    press(tcg->Next2Bn);
    QVERIFY(TTcgFm::MemoText(tcg->ResultMemo).contains(QStringLiteral("asdf")));
    QVERIFY(!TTcgFm::MemoText(tcg->ResultMemo).contains(QStringLiteral(":  s  >>")));
}

void StartPageTest::recentListsAreReadWithTheirPaths()
{
    const QString a = writeFile(QStringLiteral("a.vkt"), ""), b = writeFile(QStringLiteral("b.vkt"), "");
    m_main->RecentFiles().Add(RecentKind::Package, a);
    m_main->RecentFiles().Add(RecentKind::Package, b);
    QListWidget *list = page()->RecentList(RecentKind::Package);
    QVERIFY(list->isVisible());
    QVERIFY(!page()->NoneLabel(RecentKind::Package)->isVisible());
    // Each entry shows the name and, below it, the folder; newest first.
    QCOMPARE(list->count(), 2);
    QCOMPARE(list->item(0)->text(), QStringLiteral("b.vkt\n") + m_dir->path());
    QCOMPARE(list->item(1)->text(), QStringLiteral("a.vkt\n") + m_dir->path());
    // The whole list shows, without scrolling.
    QVERIFY(list->visualItemRect(list->item(1)).bottom() < list->viewport()->height());

    QAccessibleInterface *l = accessible(list);
    QVERIFY(l);
    QCOMPARE(l->role(), QAccessible::List);
    QCOMPARE(l->text(QAccessible::Name), QStringLiteral("Recent keyboard packages"));
    QCOMPARE(l->childCount(), 2);
    QCOMPARE(l->child(0)->role(), QAccessible::ListItem);
    QCOMPARE(l->child(0)->text(QAccessible::Name), b);
    QCOMPARE(l->child(1)->text(QAccessible::Name), a);
}

void StartPageTest::missingRecentFileIsGreyedAndTakenOffOnAClick()
{
    const QString gone = path(QStringLiteral("gone.vkt"));
    const QString here = writeFile(QStringLiteral("here.vkt"), "");
    m_main->RecentFiles().Add(RecentKind::Package, gone);
    m_main->RecentFiles().Add(RecentKind::Package, here);
    QListWidget *list = page()->RecentList(RecentKind::Package);
    QListWidgetItem *item = list->item(1);
    QCOMPARE(item->text(), QStringLiteral("gone.vkt (missing)\n") + m_dir->path());
    QCOMPARE(item->foreground().color(), list->palette().color(QPalette::Disabled, QPalette::Text));
    QVERIFY(list->item(0)->foreground().style() == Qt::NoBrush); // an existing file is not greyed
    QCOMPARE(accessible(list)->child(1)->text(QAccessible::Name), gone + QStringLiteral(" (missing)"));

    clickEntry(RecentKind::Package, gone);
    QCOMPARE(dialogs().count(Kind::Information), 1);
    QVERIFY2(dialogs().last(Kind::Information).text.contains(gone), qPrintable(dialogs().last(Kind::Information).text));
    QCOMPARE(m_main->RecentFiles().Files(RecentKind::Package), QStringList{here});
    QCOMPARE(list->count(), 1);
    QVERIFY(windows().isEmpty()); // nothing opened
    QVERIFY(page()->isVisible());

    // A file that goes while the page is hidden shows missing when it is back.
    m_main->A_TCG->trigger();
    QVERIFY(QFile::remove(here));
    QVERIFY(windows().first()->close());
    QVERIFY(list->item(0)->text().startsWith(QStringLiteral("here.vkt (missing)")));
}

void StartPageTest::recentFilesMenuAndClear()
{
    QMenu *file = m_main->findChild<QMenu *>(QStringLiteral("FileMenu"));
    QVERIFY(file);
    QVERIFY(file->actions().contains(m_main->RecentMenu->menuAction()));
    QCOMPARE(m_main->RecentMenu->title(), QStringLiteral("Recent files"));
    QCOMPARE(m_main->A_ClearRecent->text(), QStringLiteral("Clear recent files"));
    QVERIFY(!m_main->A_ClearRecent->isEnabled());

    const QString pkg = writeFile(QStringLiteral("k&b.vkt"), "");
    const QString dic = writeFile(QStringLiteral("d.txt"), "");
    m_main->RecentFiles().Add(RecentKind::Dictionary, dic);
    m_main->RecentFiles().Add(RecentKind::Package, pkg);
    emit m_main->RecentMenu->aboutToShow();
    QStringList items;
    for (QAction *a : m_main->RecentMenu->actions())
        items << (a->isSeparator() ? QStringLiteral("[%1]").arg(a->text()) : a->text());
    const QString folder = QDir::toNativeSeparators(m_dir->path()).replace(QLatin1Char('&'), QStringLiteral("&&"));
    QCOMPARE(items, (QStringList{QStringLiteral("[Keyboard packages]"),
                                 QStringLiteral("k&&b.vkt  \u2014  ") + folder, QStringLiteral("[Dictionaries]"),
                                 QStringLiteral("d.txt  \u2014  ") + folder}));
    QVERIFY(m_main->A_ClearRecent->isEnabled());

    m_main->A_ClearRecent->trigger();
    QVERIFY(m_main->RecentFiles().IsEmpty());
    QCOMPARE(page()->RecentList(RecentKind::Package)->count(), 0);
    QVERIFY(page()->NoneLabel(RecentKind::Package)->isVisible());
    QVERIFY(!m_main->A_ClearRecent->isEnabled());
    const QList<QAction *> left = m_main->RecentMenu->actions();
    QCOMPARE(left.size(), 1);
    QCOMPARE(left.first()->text(), QStringLiteral("No recent files"));
    QVERIFY(!left.first()->isEnabled());
}

void StartPageTest::testsKeepNoSettings()
{
    QCOMPARE(qgetenv("KEYFOLIO_NO_SETTINGS"), QByteArray("1"));
    QVERIFY(!m_main->RecentFiles().Kept());
}

int main(int argc, char **argv)
{
    TApplication app(argc, argv);
    app.setApplicationName(ApplicationTitle());
    StartPageTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "StartPage_test.moc"
