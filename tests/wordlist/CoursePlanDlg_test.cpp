// The course plan window, opened from the course generator's step 2 with the
// sample keyboard as the open definition: its lesson table as assistive
// technology reads it, the edits, "Use this plan", the drill menu and the
// dictionary window's list.

// First: the word splitter has a member named like a Qt macro.
#include "words/DicBuilder.h"
#include "common/FilePath.h"
#include "app/Application.h"
#include "app/ComFormFactory.h"
#include "app/MainForm.h"
#include "common/CodePage.h"
#include "common/ErrorReport.h"
#include "common/ScriptedDialogs.h"
#include "common/TextFile.h"
#include "exchange/LayoutImport.h"
#include "model/KeyCodes.h"
#include "model/MainData.h"
#include "table/FieldValue.h"
#include "table/RecordTable.h"
#include "ui/CodePageChoice.h"
#include "wordlist/CoursePlanDlg.h"
#include "wordlist/DicForm.h"
#include "wordlist/TcgForm.h"
#include "words/tcg.h"
#include "SampleKeyboard.h"

#include <QAccessible>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

using namespace kf;

class CoursePlanDlgTest : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    void planTableIsReadableAndUseThisPlanFillsStepTwo();
    void mergeAndTypedCharactersRecount();
    void tabEntersAndLeavesTheTable();
    void badDictionaryShowsNoPlanAndKeepsTheStrings_data();
    void badDictionaryShowsNoPlanAndKeepsTheStrings();
    void dictionaryWindowsListIsTheDictionaryWithItsCounts();
    void withoutADefinitionAPackageIsReadBesideTheProgramsOwn();
    void drillMenuAddsAFingersHandsOrRowsCharacters_data();
    void drillMenuAddsAFingersHandsOrRowsCharacters();
    void lettersOnlyAndTheOrderAreChosenInTheWindow();
    void aKeyboardWithoutCharacterKeysIsToldInWords();
    void anOpenDefinitionWithoutCharacterKeysIsToldInWords_data();
    void anOpenDefinitionWithoutCharacterKeysIsToldInWords();
    void typedCharacterMovesToThatLesson_data();
    void typedCharacterMovesToThatLesson();
    void mergeRightAfterAnEditKeepsTheEdit_data();
    void mergeRightAfterAnEditKeepsTheEdit();
    void planFollowsTheDefinitionOpenNow_data();
    void planFollowsTheDefinitionOpenNow();
    void packageOfAnotherCodePageIsRefused();

private:
    ScriptedDialogs &dialogs() { return *m_dialogs; }
    TTcgFm *form() const { return m_form; }
    static void click(QAbstractButton *b) { QTest::mouseClick(b, Qt::LeftButton); }
    // Chooses a dictionary with these lines and opens the plan window.
    TCoursePlanDlg *openPlan(const std::string &dictionary);
    // A cell of the lesson table as assistive technology reads it.
    static QString cell(TCoursePlanDlg *dlg, int row, int column);
    // The New cells of the first rows.
    static QStringList newCells(TCoursePlanDlg *dlg, int rows);
    // Types a lesson's New cell anew with keys; the editor stays open.
    static void typeNewCell(TCoursePlanDlg *dlg, int row, const QString &text);

    std::unique_ptr<TDataMod> m_dm;
    std::unique_ptr<TMainFm> m_main;
    TTcgFm *m_form = nullptr;
    ScriptedDialogs *m_dialogs = nullptr; // owned by the dialog service
    std::unique_ptr<QTemporaryDir> m_dir;
};

const char *const kDictionary = "jj\t2\r\nfad\t9\r\ndad\t8\r\nsad\t7\r\nlads\t5\r\nflask\t4\r\nglad\t3\r\n"
                                "half\t2\r\nquiz\t1\r\nzebra\t1\r\nhalls\t1\r\n";

void CoursePlanDlgTest::init()
{
    unsetenv("KEYFOLIO_CODEPAGE");
    CodePage::reload();
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    auto d = std::make_unique<ScriptedDialogs>();
    m_dialogs = d.get();
    SetDialogs(std::move(d));
    m_dm = std::make_unique<TDataMod>();
    sample::BuildSampleKeyboard(*m_dm);
    m_main = std::make_unique<TMainFm>();
    m_main->show();
    QVERIFY(QTest::qWaitForWindowActive(m_main.get()));
    m_main->A_TCG->trigger();
    m_form = m_main->Factory().FindForm<TTcgFm>();
    QVERIFY(m_form);
    QVERIFY(QTest::qWaitForWindowExposed(m_form));
}

void CoursePlanDlgTest::cleanup()
{
    m_main.reset();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    m_form = nullptr;
    m_dm.reset();
    SetDialogs(nullptr);
    m_dialogs = nullptr;
    m_dir.reset();
}

TCoursePlanDlg *CoursePlanDlgTest::openPlan(const std::string &dictionary)
{
    const QString dic = m_dir->filePath(QStringLiteral("dictionary.txt"));
    writeFileBytes(LocalPath(dic), dictionary);
    dialogs().answerFile(dic);
    click(form()->LoadDicBn);
    click(form()->Next1Bn);
    click(form()->PlanBn);
    TCoursePlanDlg *dlg = form()->PlanDialog();
    if (dlg && !QTest::qWaitForWindowExposed(dlg))
        return nullptr;
    return dlg;
}

QString CoursePlanDlgTest::cell(TCoursePlanDlg *dlg, int row, int column)
{
    QAccessibleInterface *table = QAccessible::queryAccessibleInterface(dlg->LessonGrid);
    if (!table || !table->tableInterface())
        return QStringLiteral("(no table)");
    QAccessibleInterface *c = table->tableInterface()->cellAt(row, column);
    return c ? c->text(QAccessible::Name) : QStringLiteral("(no cell)");
}

QStringList CoursePlanDlgTest::newCells(TCoursePlanDlg *dlg, int rows)
{
    QStringList cells;
    for (int r = 0; r < rows && r < dlg->LessonGrid->rowCount(); ++r)
        cells << cell(dlg, r, TCoursePlanDlg::NewCol);
    return cells;
}

void CoursePlanDlgTest::typeNewCell(TCoursePlanDlg *dlg, int row, const QString &text)
{
    dlg->LessonGrid->setFocus();
    dlg->LessonGrid->setCurrentCell(row, TCoursePlanDlg::NewCol);
    // The first key opens the cell's editor with itself, the others go to it.
    QTest::keyClicks(dlg->LessonGrid, text.left(1));
    QWidget *editor = QApplication::focusWidget();
    QVERIFY(editor && editor != dlg->LessonGrid);
    QTest::keyClicks(editor, text.mid(1));
}

void CoursePlanDlgTest::planTableIsReadableAndUseThisPlanFillsStepTwo()
{
    TCoursePlanDlg *dlg = openPlan(kDictionary);
    QVERIFY(dlg);
    QVERIFY(dlg->Plan());
    QCOMPARE(dlg->LessonGrid->rowCount(), int(dlg->Plan()->Lessons().size()));
    QAccessibleInterface *table = QAccessible::queryAccessibleInterface(dlg->LessonGrid);
    QVERIFY(table && table->tableInterface());
    QCOMPARE(table->tableInterface()->columnCount(), int(TCoursePlanDlg::ColumnCount));
    QCOMPARE(cell(dlg, 0, TCoursePlanDlg::LessonCol), QStringLiteral("1"));
    QCOMPARE(cell(dlg, 0, TCoursePlanDlg::NewCol), QStringLiteral("f j"));
    QCOMPARE(cell(dlg, 0, TCoursePlanDlg::StringCol), QStringLiteral("fj"));
    QCOMPARE(cell(dlg, 0, TCoursePlanDlg::WordsCol), QStringLiteral("1"));
    QCOMPARE(cell(dlg, 0, TCoursePlanDlg::CoverageCol), QStringLiteral("4.7 %")); // jj: 2 of 43
    QVERIFY(cell(dlg, 0, TCoursePlanDlg::WarningsCol).startsWith(QStringLiteral("too few words: 1, fewer than 15")));
    QCOMPARE(cell(dlg, 2, TCoursePlanDlg::StringCol), QStringLiteral("fjdksl"));
    QVERIFY(QAccessible::queryAccessibleInterface(dlg->LeftOutLb)->text(QAccessible::Name).contains(QLatin1Char(';')));

    // The course keeps case unless the plan has the Shift level.
    form()->CaseEd->setChecked(true);
    form()->RegxBox->setChecked(true);
    form()->MaxEd->SetValue(3);
    dlg->MaxLenEd->SetValue(20);
    const std::vector<std::string> strings = dlg->Plan()->Strings();
    std::vector<uint64_t> words;
    for (const TPlanLesson &l : dlg->Plan()->Lessons())
        words.push_back(l.Words);
    click(dlg->RecomputeBn);
    click(dlg->UseBn);
    QTRY_VERIFY(!form()->PlanDialog());
    QCOMPARE(form()->CurrentPage(), TTcgFm::Step2Page);
    QStringList lines;
    for (const std::string &s : strings)
        lines << QString::fromStdString(s);
    QCOMPARE(TTcgFm::MemoText(form()->TwdMemo), lines.join(QLatin1Char('\n')));
    QVERIFY(form()->FingerPBox->isChecked());
    QVERIFY(!form()->CaseEd->isChecked());
    QCOMPARE(form()->MaxEd->Value(), 20);

    // The round trip: each lesson gets the words the plan counted.
    click(form()->Next2Bn);
    QCOMPARE(form()->CurrentPage(), TTcgFm::ResultPage);
    QCOMPARE(size_t(form()->Engine().GroupCount()), words.size());
    for (int k = 0; k < form()->Engine().GroupCount(); ++k)
        QCOMPARE(uint64_t(form()->Engine().Group(k).size()), words[size_t(k)]);
    QVERIFY(TTcgFm::MemoText(form()->ResultMemo).contains(QStringLiteral("fad dad sad")));
}

void CoursePlanDlgTest::mergeAndTypedCharactersRecount()
{
    TCoursePlanDlg *dlg = openPlan(kDictionary);
    QVERIFY(dlg && dlg->Plan());
    const int rows = dlg->LessonGrid->rowCount();
    dlg->LessonGrid->setCurrentCell(0, TCoursePlanDlg::NewCol);
    click(dlg->MergeBn);
    QCOMPARE(dlg->LessonGrid->rowCount(), rows - 1);
    QCOMPARE(cell(dlg, 0, TCoursePlanDlg::NewCol), QStringLiteral("f j d k"));
    QCOMPARE(cell(dlg, 0, TCoursePlanDlg::WordsCol), QStringLiteral("1"));

    // Typing "sla" into lesson 2's New cell moves the a there (from lesson 3).
    QCOMPARE(cell(dlg, 1, TCoursePlanDlg::NewCol), QStringLiteral("s l"));
    dlg->LessonGrid->setFocus();
    dlg->LessonGrid->setCurrentCell(1, TCoursePlanDlg::NewCol);
    // The first key opens the cell's editor, the others go to it.
    QTest::keyClick(dlg->LessonGrid, Qt::Key_S);
    QWidget *editor = QApplication::focusWidget();
    QVERIFY(editor && editor != dlg->LessonGrid);
    QTest::keyClicks(editor, QStringLiteral("la"));
    QTest::keyClick(editor, Qt::Key_Return);
    QTRY_COMPARE(cell(dlg, 1, TCoursePlanDlg::NewCol), QStringLiteral("s l a"));
    QCOMPARE(cell(dlg, 2, TCoursePlanDlg::NewCol), QStringLiteral("g"));
    // fad dad sad lads flask: typeable once a comes in.
    QCOMPARE(cell(dlg, 1, TCoursePlanDlg::WordsCol), QStringLiteral("5"));

    // A character the keyboard lacks is refused and the plan stays.
    const size_t asked = dialogs().asked().size();
    dlg->LessonGrid->item(2, TCoursePlanDlg::NewCol)->setText(QStringLiteral("g \u00fc"));
    QTRY_COMPARE(dialogs().asked().size(), asked + 1);
    QVERIFY(dialogs().asked().back().text.contains(QStringLiteral("no character of the keyboard")));
    QCOMPARE(cell(dlg, 2, TCoursePlanDlg::NewCol), QStringLiteral("g"));
}

void CoursePlanDlgTest::tabEntersAndLeavesTheTable()
{
    TCoursePlanDlg *dlg = openPlan(kDictionary);
    QVERIFY(dlg && dlg->Plan());
    dlg->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(dlg));
    dlg->PlanBn->setFocus();
    QTest::keyClick(dlg->PlanBn, Qt::Key_Tab);
    QCOMPARE(QApplication::focusWidget(), static_cast<QWidget *>(dlg->LessonGrid));
    QTest::keyClick(dlg->LessonGrid, Qt::Key_Down);
    QCOMPARE(dlg->LessonGrid->currentRow(), 1);
    QTest::keyClick(dlg->LessonGrid, Qt::Key_Tab);
    QCOMPARE(QApplication::focusWidget(), static_cast<QWidget *>(dlg->MergeBn));
    QTest::keyClick(dlg->MergeBn, Qt::Key_Backtab);
    QCOMPARE(QApplication::focusWidget(), static_cast<QWidget *>(dlg->LessonGrid));
}

void CoursePlanDlgTest::badDictionaryShowsNoPlanAndKeepsTheStrings_data()
{
    QTest::addColumn<QByteArray>("dictionary");
    QTest::addColumn<QString>("message");
    QTest::newRow("empty") << QByteArray("\r\n") << QStringLiteral("The dictionary is empty");
    QTest::newRow("untypeable") << QByteArray("\xe9t\xe9\r\n") << QStringLiteral("types no word of the dictionary");
}

void CoursePlanDlgTest::badDictionaryShowsNoPlanAndKeepsTheStrings()
{
    QFETCH(QByteArray, dictionary);
    QFETCH(QString, message);
    form()->TwdMemo->setPlainText(QStringLiteral("asdf"));
    TCoursePlanDlg *dlg = openPlan(dictionary.toStdString());
    QVERIFY(dlg);
    QCOMPARE(dialogs().asked().size(), size_t(2)); // the file, the error
    QVERIFY2(dialogs().asked().back().text.contains(message), qPrintable(dialogs().asked().back().text));
    QVERIFY(!dlg->Plan());
    QCOMPARE(dlg->LessonGrid->rowCount(), 0);
    QVERIFY(!dlg->UseBn->isEnabled());
    click(dlg->CancelBn);
    QTRY_VERIFY(!form()->PlanDialog());
    QCOMPARE(TTcgFm::MemoText(form()->TwdMemo), QStringLiteral("asdf"));
}

void CoursePlanDlgTest::dictionaryWindowsListIsTheDictionaryWithItsCounts()
{
    // Without a dictionary window there is nothing to take.
    click(form()->DicListBn);
    QCOMPARE(dialogs().asked().size(), size_t(1));
    QVERIFY(form()->LbDic->text().isEmpty());

    const QString text = m_dir->filePath(QStringLiteral("text.txt"));
    writeFileBytes(LocalPath(text), "dad dad dad fad fad sad jj\r\n");
    m_main->A_Dictionary->trigger();
    TDicFm *dic = m_main->Factory().FindForm<TDicFm>();
    QVERIFY(dic);
    dialogs().answerFiles({text});
    dialogs().answerYes();
    dic->A_MakeWordListExecute();
    QCOMPARE(dic->Builder().WordCount(), 4);

    click(form()->DicListBn);
    QCOMPARE(form()->LbDic->text(), QStringLiteral("(the dictionary window's list: 4 words)"));
    click(form()->Next1Bn);
    QCOMPARE(form()->CurrentPage(), TTcgFm::Step2Page);
    click(form()->PlanBn);
    TCoursePlanDlg *dlg = form()->PlanDialog();
    QVERIFY(dlg && dlg->Plan());
    // jj is 1 of the 7 words read: the counts weigh the coverage.
    QCOMPARE(cell(dlg, 0, TCoursePlanDlg::CoverageCol), QStringLiteral("14.3 %"));
    click(dlg->UseBn);
    QTRY_VERIFY(!form()->PlanDialog());
    click(form()->Next2Bn);
    QCOMPARE(form()->CurrentPage(), TTcgFm::ResultPage);
    int words = 0;
    for (int k = 0; k < form()->Engine().GroupCount(); ++k)
        words += int(form()->Engine().Group(k).size());
    QCOMPARE(words, 4);
}

void CoursePlanDlgTest::withoutADefinitionAPackageIsReadBesideTheProgramsOwn()
{
    // The program's definition is empty: the plan window asks for a package.
    m_dm = std::make_unique<TDataMod>();
    TDataMod *const programs = m_dm.get();
    TCoursePlanDlg *dlg = openPlan(kDictionary);
    QVERIFY(dlg);
    QVERIFY(!dlg->Plan());
    QCOMPARE(QAccessible::queryAccessibleInterface(dlg->KeyboardLb)->text(QAccessible::Name),
             QStringLiteral("(none: choose a package)"));
    QVERIFY(!dlg->UseBn->isEnabled());

    dialogs().answerFile(QStringLiteral(KF_TEST_DATA_DIR "/sample-keyboard.vkt"));
    click(dlg->KeyboardBn);
    QVERIFY(dlg->Plan());
    QCOMPARE(cell(dlg, 0, TCoursePlanDlg::NewCol), QStringLiteral("f j"));
    QCOMPARE(dlg->KeyboardLb->text(), QStringLiteral("sample-keyboard.vkt"));
    // Reading the package left the program's definition in place.
    QCOMPARE(DataMod, programs);
    QCOMPARE(m_dm->MainTbl.RecordCount(), 0);

    // Step 2 keeps that keyboard for the drill menu and the next plan.
    click(dlg->UseBn);
    QTRY_VERIFY(!form()->PlanDialog());
    form()->TwdMemo->clear();
    form()->AddDrillLine(2, 2);
    QCOMPARE(TTcgFm::MemoText(form()->TwdMemo), QStringLiteral("asdfghjkl;'"));
}

void CoursePlanDlgTest::drillMenuAddsAFingersHandsOrRowsCharacters_data()
{
    QTest::addColumn<int>("kind");
    QTest::addColumn<int>("which");
    QTest::addColumn<QString>("line");
    QTest::newRow("left index") << 0 << int(Fingers::LIndex) << QStringLiteral("45rtfgvb");
    QTest::newRow("home row") << 2 << 2 << QStringLiteral("asdfghjkl;'");
    QTest::newRow("current lesson, left index") << 3 << int(Fingers::LIndex) << QStringLiteral("fg");
}

void CoursePlanDlgTest::drillMenuAddsAFingersHandsOrRowsCharacters()
{
    QFETCH(int, kind);
    QFETCH(int, which);
    QFETCH(QString, line);
    form()->TwdMemo->setPlainText(QStringLiteral("fjdkslgh"));
    form()->TwdMemo->moveCursor(QTextCursor::End);
    // The menu lists what it adds.
    form()->DrillMenu->popup(QPoint(0, 0));
    QTRY_VERIFY(form()->DrillMenu->isVisible());
    const QList<QAction *> top = form()->DrillMenu->actions();
    QCOMPARE(top.size(), 4);
    bool listed = false;
    for (QAction *a : top[kind]->menu()->actions())
        listed = listed || a->text().endsWith(QStringLiteral(":  ") + line);
    QVERIFY(listed);
    form()->DrillMenu->hide();
    form()->AddDrillLine(kind, which);
    QCOMPARE(TTcgFm::MemoText(form()->TwdMemo), QStringLiteral("fjdkslgh\n") + line);
}

void CoursePlanDlgTest::lettersOnlyAndTheOrderAreChosenInTheWindow()
{
    // A Lithuanian definition: its letters on the number row.
    setenv("KEYFOLIO_CODEPAGE", "CP1257", 1);
    CodePage::reload();
    LayoutImportOptions io;
    io.layout = "lt";
    io.codePage = "CP1257";
    io.composeLocale = "en_US.UTF-8";
    ImportLayout(*m_dm, io);
    // "„ąžuolas“" in quotes; e dot the most frequent letter.
    TCoursePlanDlg *dlg = openPlan("fjdkslagh\r\n\xeb\xeb\t50\r\n\x84\xe0\xfeuolas\x93\r\nuosis\t3\r\n");
    QVERIFY(dlg && dlg->Plan());
    const auto labelOf = [dlg](QWidget *buddy) {
        for (QLabel *l : dlg->findChildren<QLabel *>())
            if (l->buddy() == buddy)
                return l->text();
        return QString();
    };
    QCOMPARE(labelOf(dlg->PerLessonEd), QStringLiteral("&New characters a lesson:"));
    // The keyboard's own order, and letters only, as the window shows them.
    QCOMPARE(dlg->OrderEd->currentText(), QStringLiteral("Home row, then frequency"));
    QCOMPARE(QAccessible::queryAccessibleInterface(dlg->OrderEd)->text(QAccessible::Value),
             QStringLiteral("Home row, then frequency"));
    QVERIFY(dlg->LettersEd->isChecked());
    QCOMPARE(cell(dlg, 4, TCoursePlanDlg::NewCol), QString::fromUtf8("h \xc4\x97"));
    const QString leftOut = QAccessible::queryAccessibleInterface(dlg->LeftOutLb)->text(QAccessible::Name);
    QVERIFY2(leftOut.contains(QString::fromUtf8("\xe2\x80\x9e")), qPrintable(leftOut)); // the quote: no letter
    for (int r = 0; r < dlg->LessonGrid->rowCount(); ++r)
        for (const QChar c : cell(dlg, r, TCoursePlanDlg::StringCol))
            QVERIFY2(c.isLetter(), qPrintable(cell(dlg, r, TCoursePlanDlg::StringCol)));
    // The quoted word is planned as its letters.
    QVERIFY(QAccessible::queryAccessibleInterface(dlg->DictionaryLb)
                ->text(QAccessible::Name)
                .startsWith(QStringLiteral("4 entries, 55 word occurrences")));

    // Every character, and the order the author picks by keyboard, stay.
    dlg->LettersEd->setFocus();
    QTest::keyClick(dlg->LettersEd, Qt::Key_Space);
    QVERIFY(!dlg->LettersEd->isChecked());
    dlg->OrderEd->setFocus();
    QTest::keyClick(dlg->OrderEd, Qt::Key_Home);
    QCOMPARE(dlg->OrderEd->currentText(), QStringLiteral("Keyboard"));
    click(dlg->PlanBn);
    QVERIFY(dlg->Plan());
    QVERIFY(!dlg->Plan()->Options().LettersOnly);
    QCOMPARE(*dlg->Plan()->Options().Order, TPlanOrder::Keyboard);
    QCOMPARE(dlg->OrderEd->currentText(), QStringLiteral("Keyboard"));
    QVERIFY(!QAccessible::queryAccessibleInterface(dlg->LeftOutLb)
                 ->text(QAccessible::Name)
                 .contains(QString::fromUtf8("\xe2\x80\x9e")));
}

void CoursePlanDlgTest::aKeyboardWithoutCharacterKeysIsToldInWords()
{
    const QString keyless = m_dir->filePath(QStringLiteral("keyless.vkt"));
    {
        TDataMod *const programs = DataMod;
        TDataMod empty;
        QVERIFY(empty.SavePackage(LocalPath(keyless)));
        DataMod = programs;
    }
    TCoursePlanDlg *dlg = openPlan(kDictionary);
    QVERIFY(dlg && dlg->Plan());
    dialogs().clear();
    dialogs().answerFile(keyless);
    click(dlg->KeyboardBn);
    QVERIFY(!dlg->Plan());
    QCOMPARE(dialogs().count(ScriptedDialogs::Kind::Message), 0); // no error report
    QCOMPARE(dialogs().count(ScriptedDialogs::Kind::Warning), 1);
    const QString said = dialogs().last(ScriptedDialogs::Kind::Warning).text;
    QVERIFY2(said.startsWith(QStringLiteral("The keyboard has no character keys")), qPrintable(said));
    QVERIFY(!said.contains(QStringLiteral("AppException")));
}

// Planning from the definition open in the program when it has no keys, or
// none that types a character: the plan window says what the keyboard lacks
// instead of asking for a package.
void CoursePlanDlgTest::anOpenDefinitionWithoutCharacterKeysIsToldInWords_data()
{
    QTest::addColumn<bool>("keysKept"); // the keys kept as Enter keys, else deleted
    QTest::newRow("no keys") << false;
    QTest::newRow("no character keys") << true;
}

void CoursePlanDlgTest::anOpenDefinitionWithoutCharacterKeysIsToldInWords()
{
    QFETCH(bool, keysKept);
    TRecordTable &keys = m_dm->MainTbl;
    if (keysKept) {
        for (keys.First(); !keys.Eof(); keys.Next()) {
            keys.Edit();
            keys.FieldByName("KeyType").SetAsInteger(KeyTypes::Enter);
            keys.Post();
        }
    } else {
        m_dm->ClearKeyTable();
    }
    TCoursePlanDlg *dlg = openPlan(kDictionary);
    QVERIFY(dlg);
    QVERIFY(!dlg->Plan());
    click(dlg->PlanBn);
    QVERIFY(!dlg->Plan());
    QCOMPARE(dialogs().count(ScriptedDialogs::Kind::Message), 0); // no "choose a package"
    QVERIFY(dialogs().count(ScriptedDialogs::Kind::Warning) >= 1);
    const QString said = dialogs().last(ScriptedDialogs::Kind::Warning).text;
    QVERIFY2(said.startsWith(QStringLiteral("The keyboard has no character keys")), qPrintable(said));
}

// Typing a character into a lesson's New cell moves it there from the lesson
// that brought it in, whether that lesson comes before or after.
void CoursePlanDlgTest::typedCharacterMovesToThatLesson_data()
{
    QTest::addColumn<int>("row");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QStringList>("cells"); // the first four New cells afterwards
    QTest::newRow("f to a later lesson") << 2 << "slf" << QStringList{"j", "d k", "s l f", "a g"};
    QTest::newRow("a to an earlier lesson") << 0 << "fja" << QStringList{"f j a", "d k", "s l", "g"};
}

void CoursePlanDlgTest::typedCharacterMovesToThatLesson()
{
    QFETCH(int, row);
    QFETCH(QString, typed);
    QFETCH(QStringList, cells);
    TCoursePlanDlg *dlg = openPlan(kDictionary);
    QVERIFY(dlg && dlg->Plan());
    QCOMPARE(newCells(dlg, 4), (QStringList{"f j", "d k", "s l", "a g"}));
    typeNewCell(dlg, row, typed);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    QTRY_COMPARE(newCells(dlg, 4), cells);
    // The plan itself holds the move, not only the table.
    QCOMPARE(QString::fromStdString(dlg->Plan()->Lessons()[size_t(row)].New), typed);
}

// "Merge with next" clicked while the New cell's editor is still open: the
// edit is taken in first, then the lessons merge.
void CoursePlanDlgTest::mergeRightAfterAnEditKeepsTheEdit_data()
{
    QTest::addColumn<int>("row");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QStringList>("cells"); // the first three New cells afterwards
    QTest::newRow("f moved later, then merged") << 1 << "dkf" << QStringList{"j", "d k f s l", "a g"};
    QTest::newRow("a moved earlier, then merged") << 0 << "fja" << QStringList{"f j a d k", "s l", "g"};
}

void CoursePlanDlgTest::mergeRightAfterAnEditKeepsTheEdit()
{
    QFETCH(int, row);
    QFETCH(QString, typed);
    QFETCH(QStringList, cells);
    TCoursePlanDlg *dlg = openPlan(kDictionary);
    QVERIFY(dlg && dlg->Plan());
    typeNewCell(dlg, row, typed);
    // The click takes the focus from the editor (which commits it) and merges.
    click(dlg->MergeBn);
    QCOMPARE(newCells(dlg, 3), cells);
    // The recount queued by the edit changes nothing afterwards.
    QCoreApplication::processEvents();
    QCOMPARE(newCells(dlg, 3), cells);
    QCOMPARE(dlg->LessonGrid->currentRow(), row);
}

// The plan reads the keyboard definition open when it is made, not the one
// of the last plan used; step 2 says when the keyboard of its plan changed.
void CoursePlanDlgTest::planFollowsTheDefinitionOpenNow_data()
{
    QTest::addColumn<bool>("codePage"); // the change: the code page, else a key's character
    QTest::addColumn<QString>("firstLesson");
    QTest::addColumn<QString>("homeRowDrill");
    QTest::newRow("a key types another character") << false << "j d" << "asdvghjkl;'";
    QTest::newRow("another code page") << true << "f j" << "asdfghjkl;'";
}

void CoursePlanDlgTest::planFollowsTheDefinitionOpenNow()
{
    QFETCH(bool, codePage);
    QFETCH(QString, firstLesson);
    QFETCH(QString, homeRowDrill);
    TCoursePlanDlg *dlg = openPlan(kDictionary);
    QVERIFY(dlg && dlg->Plan());
    QVERIFY(dlg->KeyboardFile().isEmpty());
    click(dlg->UseBn);
    QTRY_VERIFY(!form()->PlanDialog());
    QCOMPARE(QAccessible::queryAccessibleInterface(form()->PlanStateLb)->text(QAccessible::Name),
             QStringLiteral("Planned from the keyboard definition."));

    if (codePage) {
        CodePageChoice::instance().choose(QStringLiteral("CP1250"));
    } else {
        // The f key types v from now on.
        QVERIFY(m_dm->Ctbl.Locate("Code", {TValue(int32_t('f'))}));
        m_dm->Ctbl.Edit();
        m_dm->Ctbl.FieldByName("Code").SetAsInteger('v');
        m_dm->Ctbl.Post();
    }
    QCOMPARE(QAccessible::queryAccessibleInterface(form()->PlanStateLb)->text(QAccessible::Name),
             QStringLiteral("The keyboard has changed since this plan was made: plan again."));
    // The drill menu reads the keyboard as it is now.
    form()->TwdMemo->clear();
    form()->AddDrillLine(2, 2);
    QCOMPARE(TTcgFm::MemoText(form()->TwdMemo), homeRowDrill);

    // A new start plans from the definition as it is now.
    form()->TwdMemo->setPlainText(QStringLiteral("fj"));
    click(form()->Next2Bn);
    QCOMPARE(form()->CurrentPage(), TTcgFm::ResultPage);
    click(form()->Button2);
    click(form()->Next1Bn);
    click(form()->PlanBn);
    dlg = form()->PlanDialog();
    QVERIFY(dlg && dlg->Plan());
    QCOMPARE(QAccessible::queryAccessibleInterface(dlg->KeyboardLb)->text(QAccessible::Name),
             QStringLiteral("the keyboard definition open in the program"));
    QCOMPARE(cell(dlg, 0, TCoursePlanDlg::NewCol), firstLesson);
    click(dlg->UseBn);
    QTRY_VERIFY(!form()->PlanDialog());
    QCOMPARE(QAccessible::queryAccessibleInterface(form()->PlanStateLb)->text(QAccessible::Name),
             QStringLiteral("Planned from the keyboard definition."));
    CodePageChoice::instance().choose(QStringLiteral("CP1252"));
}

// A package that names another code page than the session's holds bytes
// the dictionary does not share: the plan window says so and plans nothing.
void CoursePlanDlgTest::packageOfAnotherCodePageIsRefused()
{
    const QString package = m_dir->filePath(QStringLiteral("baltic.vkt"));
    CodePageChoice::instance().choose(QStringLiteral("CP1257"));
    QVERIFY(m_dm->SavePackage(LocalPath(package)));
    CodePageChoice::instance().choose(QStringLiteral("CP1252"));
    m_dm = std::make_unique<TDataMod>(); // no definition: the window asks for a package
    TCoursePlanDlg *dlg = openPlan(kDictionary);
    QVERIFY(dlg);
    dialogs().clear();
    dialogs().answerFile(package);
    click(dlg->KeyboardBn);
    QCOMPARE(dialogs().count(ScriptedDialogs::Kind::Message), 1);
    QVERIFY2(dialogs().last(ScriptedDialogs::Kind::Message)
                 .text.contains(QStringLiteral("is written in code page CP1257, the session in CP1252")),
             qPrintable(dialogs().last(ScriptedDialogs::Kind::Message).text));
    QVERIFY(!dlg->Plan());
    QVERIFY(dlg->KeyboardFile().isEmpty());
}

int main(int argc, char **argv)
{
    TApplication app(argc, argv);
    app.setApplicationName(ApplicationTitle());
    CoursePlanDlgTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "CoursePlanDlg_test.moc"
