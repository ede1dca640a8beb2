// The course generator window driven as a user would: clicks and keys on the
// real window inside the main frame, dialogs answered by the scripted service.

#include "common/ErrorReport.h"
#include "common/FilePath.h"
#include "app/Application.h"
#include "app/ComFormFactory.h"
#include "app/MainForm.h"
#include "FileSizeLimit.h"
#include "common/CodePage.h"
#include "common/ScriptedDialogs.h"
#include "common/TextFile.h"
#include "wordlist/TcgForm.h"
#include "words/tcg.h"
#include "ui/CodePageChoice.h"
#include "ui/InputEncodingMenu.h"

#include <QAccessible>
#include <climits>
#include <QCheckBox>
#include <QClipboard>
#include <QDir>
#include <QFileInfo>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTextCursor>
#include <QtTest>

#include <memory>

using namespace kf;

class TcgFormTest : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    void opensOnStepOneWithItsControls();
    void nextWithoutDictionaryStaysOnStepOne();
    void wizardWalkReadsTheDictionaryAnewEachTime();
    void dictionaryFileIsReadAsShown();
    void generateWithoutStringsStaysOnStepTwo();
    void linesOfTheStringsBox_data();
    void linesOfTheStringsBox();
    void modesAndOptionsReachTheEngine_data();
    void modesAndOptionsReachTheEngine();
    void headingsAfterResetWithHeadingsUnticked();
    void sortsPersistIntoLaterViews();
    void maxEdIsClampedWhenItLosesTheFocus();
    void spinFieldsTakeDigitsAndSignsOnly();
    void spinFieldsReportTheirRange_data();
    void spinFieldsReportTheirRange();
    void saveAfterEditingByHand();
    void wordListThenSave();
    void patternErrorWarnsThenShowsThePartialResult();
    void unreadableDictionaryIsReportedAndStepTwoStays();
    void loadStringsReplacesTheBoxAndAFailureKeepsIt();
    void loadedStringsAreTheLinesOfTheFile_data();
    void loadedStringsAreTheLinesOfTheFile();
    void saveWritesTheResultTextByteForByte_data();
    void saveWritesTheResultTextByteForByte();
    void failedSaveKeepsTheOldFileAndReports();
    void selectAllThenCopy();
    void closeAndEscapeCloseWithoutAQuestion_data();
    void closeAndEscapeCloseWithoutAQuestion();
    void encodingMenuAndCodePageBelowThePages();
    void utf8FilesGiveTheResultOfTheirCodePageVersions();
    void malformedFilesAreOneErrorAndKeepWhatWasThere();
    void stringsNotInTheCodePageAreRefused();
    void resultKeepsTheCodePageOfItsGeneration();
    void openingARecentFileAsksBeforeReplacingWork_data();
    void openingARecentFileAsksBeforeReplacingWork();
    void closingAsksAboutTheResultAndTheStrings_data();
    void closingAsksAboutTheResultAndTheStrings();
    void textBoxesGrowWithTheWindow_data();
    void textBoxesGrowWithTheWindow();
    void countedDictionaryGivesTheSameCourseAsPlainWords();

private:
    ScriptedDialogs &dialogs() { return *m_dialogs; }
    TTcgFm *form() const { return m_form; }
    QString path(const QString &name) const { return m_dir->filePath(name); }
    // Writes bytes to a file in the test's folder and returns its path.
    QString writeFile(const QString &name, const std::string &bytes) const;
    static void click(QAbstractButton *b) { QTest::mouseClick(b, Qt::LeftButton); }
    static QString text(const QPlainTextEdit *memo) { return TTcgFm::MemoText(memo); }
    static void typeStrings(QPlainTextEdit *memo, const QString &text);
    bool onlyTabShown(int page) const;
    // Chooses the dictionary, goes to step 2, types the strings and generates.
    void generate(const std::string &dictionary, const QString &strings);

    std::unique_ptr<TMainFm> m_main;
    TTcgFm *m_form = nullptr;
    ScriptedDialogs *m_dialogs = nullptr; // owned by the dialog service
    std::unique_ptr<QTemporaryDir> m_dir;
};

QString TcgFormTest::writeFile(const QString &name, const std::string &bytes) const
{
    const QString p = path(name);
    writeFileBytes(kf::LocalPath(p), bytes);
    return p;
}

void TcgFormTest::typeStrings(QPlainTextEdit *memo, const QString &text)
{
    memo->setFocus();
    memo->selectAll();
    QTest::keyClick(memo, Qt::Key_Delete);
    for (const QChar c : text) {
        if (c == QLatin1Char('\n'))
            QTest::keyClick(memo, Qt::Key_Return);
        else
            QTest::keyClicks(memo, QString(c));
    }
}

bool TcgFormTest::onlyTabShown(int page) const
{
    const QTabWidget *pc = form()->PageControl1;
    for (int i = 0; i < pc->count(); ++i)
        if (pc->isTabVisible(i) != (i == page))
            return false;
    return pc->currentIndex() == page;
}

void TcgFormTest::init()
{
    unsetenv("KEYFOLIO_CODEPAGE");
    CodePage::reload();
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    auto d = std::make_unique<ScriptedDialogs>();
    m_dialogs = d.get();
    SetDialogs(std::move(d));
    m_main = std::make_unique<TMainFm>();
    m_main->show();
    QVERIFY(QTest::qWaitForWindowActive(m_main.get()));
    m_main->A_TCG->trigger();
    m_form = m_main->Factory().FindForm<TTcgFm>();
    QVERIFY(m_form);
    QVERIFY(QTest::qWaitForWindowExposed(m_form));
}

void TcgFormTest::cleanup()
{
    m_main.reset();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    m_form = nullptr;
    SetDialogs(nullptr);
    m_dialogs = nullptr;
    m_dir.reset();
}

void TcgFormTest::generate(const std::string &dictionary, const QString &strings)
{
    const QString dic = writeFile(QStringLiteral("dictionary.txt"), dictionary);
    dialogs().answerFile(dic);
    click(form()->LoadDicBn);
    click(form()->Next1Bn);
    QCOMPARE(form()->CurrentPage(), TTcgFm::Step2Page);
    typeStrings(form()->TwdMemo, strings);
    click(form()->Next2Bn);
}

void TcgFormTest::opensOnStepOneWithItsControls()
{
    TTcgFm *f = form();
    QCOMPARE(f->windowTitle(), QStringLiteral("Typing Course Generator"));
    QCOMPARE(f->size(), QSize(492, 386));
    // That is its least size; it may grow.
    QCOMPARE(f->minimumSize(), QSize(492, 386));
    QVERIFY(f->maximumSize().height() > 386);
    QVERIFY(onlyTabShown(TTcgFm::Step1Page));
    QCOMPARE(f->PageControl1->tabText(0), QStringLiteral("Step 1"));
    QCOMPARE(f->PageControl1->tabText(1), QStringLiteral("Step 2"));
    QCOMPARE(f->PageControl1->tabText(2), QStringLiteral("Result"));
    QVERIFY(f->LbDic->text().isEmpty());
    QVERIFY(f->TwdMemo->toPlainText().isEmpty());
    QCOMPARE(f->MinEd->text(), QStringLiteral("0"));
    QCOMPARE(f->MaxEd->text(), QStringLiteral("50"));
    QVERIFY(!f->CaseEd->isChecked());
    QVERIFY(f->FingerPBox->isChecked());
    QVERIFY(f->HeadingEd->isChecked());

    const QList<QPair<QWidget *, QString>> hints = {
        {f->LoadDicBn, QStringLiteral("Load a dictionary text file")},
        {f->Next1Bn, QStringLiteral("Next step")},
        {f->LoadTWDBn, QStringLiteral("Load a text file with the defined strings")},
        {f->FingerPBox, QStringLiteral("Pick up words with these letters only")},
        {f->SpellingBox, QStringLiteral("Pick up words with letter strings appearing anywhere")},
        {f->GamePBox, QStringLiteral("Pick up words with letter strings at the beginning")},
        {f->EndPbox, QStringLiteral("Pick up words with letter strings at the end")},
        {f->RegxBox, QStringLiteral("Pick up words fitting regular expressions")},
        {f->Next2Bn, QStringLiteral("Pick up groups of words from the dictionary")},
        {f->Button6, QStringLiteral("One word per line")},
        {f->Button1, QStringLiteral("Save the result to a text file")},
        {f->CopyBn, QStringLiteral("Copy the selected text to clipboard")},
        {f->Button2, QStringLiteral("Clear the result and back to the first step")},
    };
    for (const auto &h : hints)
        QCOMPARE(h.first->toolTip(), h.second);
}

void TcgFormTest::nextWithoutDictionaryStaysOnStepOne()
{
    click(form()->Next1Bn);
    QCOMPARE(dialogs().count(ScriptedDialogs::Kind::Message), 1);
    QCOMPARE(dialogs().last(ScriptedDialogs::Kind::Message).text,
             QStringLiteral("Please select a dictionary file first."));
    QVERIFY(onlyTabShown(TTcgFm::Step1Page));

    // A cancelled open dialog chooses nothing either.
    click(form()->LoadDicBn);
    QVERIFY(form()->LbDic->text().isEmpty());
    QCOMPARE(dialogs().last(ScriptedDialogs::Kind::OpenFiles).request.filter,
             QStringLiteral("Text (*.txt)|*.txt|All files (*)|*"));
    click(form()->Next1Bn);
    QCOMPARE(dialogs().count(ScriptedDialogs::Kind::Message), 2);
    QVERIFY(onlyTabShown(TTcgFm::Step1Page));
}

void TcgFormTest::wizardWalkReadsTheDictionaryAnewEachTime()
{
    generate("sad\r\ndad\r\nflask\r\nfad\r\n", QStringLiteral("asdf"));
    QVERIFY(onlyTabShown(TTcgFm::ResultPage));
    QCOMPARE(form()->LbDic->text(), path(QStringLiteral("dictionary.txt")));
    QCOMPARE(text(form()->ResultMemo),
             QStringLiteral("=========================\n"
                            "The to-be-typed keys:  asdf  >> Total: 3\n"
                            "-------------------------\n"
                            "sad dad fad\n"));
    QCOMPARE(form()->ResultMemo->textCursor().position(), 0);

    // The file changes between generations; Reset keeps path and strings.
    writeFile(QStringLiteral("dictionary.txt"), "add\r\nsass\r\n");
    click(form()->Button2);
    QVERIFY(onlyTabShown(TTcgFm::Step1Page));
    QVERIFY(text(form()->ResultMemo).isEmpty());
    QCOMPARE(form()->LbDic->text(), path(QStringLiteral("dictionary.txt")));
    click(form()->Next1Bn);
    QVERIFY(onlyTabShown(TTcgFm::Step2Page));
    QCOMPARE(text(form()->TwdMemo), QStringLiteral("asdf"));
    click(form()->Next2Bn);
    QVERIFY(onlyTabShown(TTcgFm::ResultPage));
    QVERIFY(text(form()->ResultMemo).contains(QStringLiteral(">> Total: 2\n-------------------------\nadd sass\n")));
}

void TcgFormTest::dictionaryFileIsReadAsShown()
{
    QAccessibleInterface *label = QAccessible::queryAccessibleInterface(form()->LbDic);
    QVERIFY(label);
    QCOMPARE(label->text(QAccessible::Name), QString());
    // A file name that would read as markup is shown and read as it is spelt.
    const QString file = writeFile(QStringLiteral("<b>words &amp; more.txt"), "sad\r\n");
    dialogs().answerFile(file);
    click(form()->LoadDicBn);
    QCOMPARE(form()->LbDic->text(), file);
    QCOMPARE(label->text(QAccessible::Name), file);
    QCOMPARE(label->text(QAccessible::Description), QStringLiteral("Dictionary file"));
}

void TcgFormTest::generateWithoutStringsStaysOnStepTwo()
{
    generate("sad\r\n", QString());
    QCOMPARE(dialogs().last(ScriptedDialogs::Kind::Message).text,
             QStringLiteral("Please define strings to pick up words."));
    QVERIFY(onlyTabShown(TTcgFm::Step2Page));
    QVERIFY(text(form()->ResultMemo).isEmpty());
}

void TcgFormTest::linesOfTheStringsBox_data()
{
    QTest::addColumn<QString>("strings");
    QTest::addColumn<QStringList>("headings"); // the strings quoted by the headings

    QTest::newRow("one line and a break") << QStringLiteral("as\n") << QStringList{QStringLiteral("as")};
    QTest::newRow("one line") << QStringLiteral("as") << QStringList{QStringLiteral("as")};
    QTest::newRow("empty line between")
        << QStringLiteral("as\n\nd") << QStringList{QStringLiteral("as"), QString(), QStringLiteral("d")};
    QTest::newRow("only a break") << QStringLiteral("\n") << QStringList{QString()};
    QTest::newRow("two breaks at the end")
        << QStringLiteral("as\n\n") << QStringList{QStringLiteral("as"), QString()};
}

void TcgFormTest::linesOfTheStringsBox()
{
    QFETCH(QString, strings);
    QFETCH(QStringList, headings);
    generate("sad\r\n", strings);
    QVERIFY(onlyTabShown(TTcgFm::ResultPage));
    QStringList quoted;
    for (const QString &line : text(form()->ResultMemo).split(QLatin1Char('\n'))) {
        static const QString head = QStringLiteral("The to-be-typed keys:  ");
        if (line.startsWith(head))
            quoted << line.mid(head.size()).section(QStringLiteral("  >> Total: "), 0, 0);
    }
    QCOMPARE(quoted, headings);
    QCOMPARE(form()->Engine().GroupCount(), headings.size());
}

void TcgFormTest::modesAndOptionsReachTheEngine_data()
{
    QTest::addColumn<QString>("radio");
    QTest::addColumn<QString>("strings");
    QTest::addColumn<bool>("caseSensitive");
    QTest::addColumn<int>("minLength");
    QTest::addColumn<QString>("words"); // the words line of the first group

    QTest::newRow("finger placement") << "FingerPBox" << "asdf" << false << 0 << "sad dad Sad";
    QTest::newRow("finger placement, case") << "FingerPBox" << "asdf" << true << 0 << "sad dad";
    QTest::newRow("finger placement, min 4") << "FingerPBox" << "asdfl" << false << 4 << "fall";
    QTest::newRow("letter strings") << "SpellingBox" << "ou" << false << 0 << "thought";
    QTest::newRow("head letters") << "GamePBox" << "fl" << false << 0 << "flask";
    QTest::newRow("tail letters") << "EndPbox" << "ing" << false << 0 << "singing";
    QTest::newRow("regular expression") << "RegxBox" << "\\w*ing\\b" << false << 0 << "singing";
}

void TcgFormTest::modesAndOptionsReachTheEngine()
{
    QFETCH(QString, radio);
    QFETCH(QString, strings);
    QFETCH(bool, caseSensitive);
    QFETCH(int, minLength);
    QFETCH(QString, words);

    const QString dic = writeFile(QStringLiteral("d.txt"), "sad\r\ndad\r\nflask\r\nthought\r\nsinging\r\nSad\r\nfall\r\n");
    dialogs().answerFile(dic);
    click(form()->LoadDicBn);
    click(form()->Next1Bn);
    auto *box = form()->findChild<QRadioButton *>(radio);
    QVERIFY(box);
    click(box);
    QVERIFY(box->isChecked());
    if (caseSensitive)
        click(form()->CaseEd);
    form()->MinEd->setFocus();
    form()->MinEd->selectAll();
    QTest::keyClicks(form()->MinEd, QString::number(minLength));
    typeStrings(form()->TwdMemo, strings);
    click(form()->Next2Bn);
    QVERIFY(onlyTabShown(TTcgFm::ResultPage));
    const QStringList lines = text(form()->ResultMemo).split(QLatin1Char('\n'));
    QVERIFY(lines.size() >= 4);
    QCOMPARE(lines[3], words);
    QCOMPARE(form()->Engine().CaseSensitive, caseSensitive);
    QCOMPARE(form()->Engine().MinLength, minLength);
}

void TcgFormTest::headingsAfterResetWithHeadingsUnticked()
{
    generate("sad\r\ndad\r\n", QStringLiteral("asdf"));
    const QString withHeadings = text(form()->ResultMemo);
    QVERIFY(withHeadings.startsWith(QStringLiteral("=========================\n")));

    click(form()->HeadingEd);
    QVERIFY(!form()->HeadingEd->isChecked());
    QCOMPARE(text(form()->ResultMemo), QStringLiteral("sad dad\n"));

    click(form()->Button2);
    click(form()->Next1Bn);
    click(form()->Next2Bn);
    QVERIFY(onlyTabShown(TTcgFm::ResultPage));
    QCOMPARE(text(form()->ResultMemo), withHeadings);
    QVERIFY(!form()->HeadingEd->isChecked());

    click(form()->HeadingEd); // ticked: view 4
    QVERIFY(form()->HeadingEd->isChecked());
    QCOMPARE(text(form()->ResultMemo), withHeadings);
    click(form()->HeadingEd); // unticked: view 3
    QCOMPARE(text(form()->ResultMemo), QStringLiteral("sad dad\n"));
}

void TcgFormTest::sortsPersistIntoLaterViews()
{
    generate("sass\r\nfa\r\nadd\r\ns\r\n", QStringLiteral("asdf"));
    QVERIFY(text(form()->ResultMemo).endsWith(QStringLiteral("-------------------------\nsass fa add s\n")));
    click(form()->Button5); // shorter first
    QVERIFY(text(form()->ResultMemo).endsWith(QStringLiteral("-------------------------\ns fa add sass\n")));
    click(form()->Button6); // the word list keeps that order
    QCOMPARE(text(form()->ResultMemo), QStringLiteral("s\nfa\nadd\nsass\n\n"));
    click(form()->Button4); // alphabetical
    QVERIFY(text(form()->ResultMemo).endsWith(QStringLiteral("-------------------------\nadd fa s sass\n")));

    click(form()->HeadingEd); // headings off: view 3 in the sorted order
    QCOMPARE(text(form()->ResultMemo), QStringLiteral("add fa s sass\n"));
    click(form()->Button5);
    QCOMPARE(text(form()->ResultMemo), QStringLiteral("s fa add sass\n"));
}

void TcgFormTest::maxEdIsClampedWhenItLosesTheFocus()
{
    const std::string longWord(60, 'a');
    const QString dic = writeFile(QStringLiteral("d.txt"), "cat\r\n" + longWord + "\r\n");
    dialogs().answerFile(dic);
    click(form()->LoadDicBn);
    click(form()->Next1Bn);
    click(form()->SpellingBox);
    typeStrings(form()->TwdMemo, QStringLiteral("a"));

    TSpinEdit *max = form()->MaxEd;
    max->setFocus();
    QVERIFY(max->hasFocus());
    max->selectAll();
    QTest::keyClicks(max, QStringLiteral("99"));
    QCOMPARE(max->Value(), 99); // read while the field has the focus
    QCOMPARE(max->text(), QStringLiteral("99"));

    click(form()->Next2Bn); // the click takes the focus first
    QCOMPARE(max->text(), QStringLiteral("50"));
    QCOMPARE(form()->Engine().MaxLength, 50);
    QVERIFY(text(form()->ResultMemo).contains(QStringLiteral(">> Total: 1\n")));

    // Below the range it comes up to 0; MinEd keeps any number.
    click(form()->Button2);
    click(form()->Next1Bn);
    max->setFocus();
    max->selectAll();
    QTest::keyClicks(max, QStringLiteral("-7"));
    TSpinEdit *min = form()->MinEd;
    min->setFocus();
    QCOMPARE(max->text(), QStringLiteral("0"));
    min->selectAll();
    QTest::keyClicks(min, QStringLiteral("-7"));
    max->setFocus();
    QCOMPARE(min->text(), QStringLiteral("-7"));
    QCOMPARE(min->Value(), -7);
}

void TcgFormTest::spinFieldsTakeDigitsAndSignsOnly()
{
    dialogs().answerFile(writeFile(QStringLiteral("d.txt"), "sad\r\n"));
    click(form()->LoadDicBn);
    click(form()->Next1Bn);
    TSpinEdit *min = form()->MinEd;
    min->setFocus();
    min->selectAll();
    QTest::keyClicks(min, QStringLiteral("1x2"));
    QCOMPARE(min->text(), QStringLiteral("12"));
    min->selectAll();
    QTest::keyClicks(min, QStringLiteral("+-"));
    QCOMPARE(min->text(), QStringLiteral("+-"));
    QCOMPARE(min->Value(), 0); // not a number
    min->selectAll();
    QTest::keyClicks(min, QStringLiteral("5"));
    QTest::keyClick(min, Qt::Key_Up);
    QCOMPARE(min->Value(), 6);

    TSpinEdit *max = form()->MaxEd;
    QCOMPARE(max->Value(), 50);
    max->setFocus();
    QTest::keyClick(max, Qt::Key_Up); // stays within 0..50
    QCOMPARE(max->Value(), 50);
    QTest::keyClick(max, Qt::Key_Down);
    QCOMPARE(max->Value(), 49);
}

void TcgFormTest::spinFieldsReportTheirRange_data()
{
    QTest::addColumn<QString>("field");
    QTest::addColumn<int>("minimum");
    QTest::addColumn<int>("maximum");
    QTest::addColumn<int>("value");
    QTest::newRow("MinEd, any whole number") << "MinEd" << INT_MIN << INT_MAX << 0;
    QTest::newRow("MaxEd, 0 to 50") << "MaxEd" << 0 << 50 << 50;
}

void TcgFormTest::spinFieldsReportTheirRange()
{
    QFETCH(QString, field);
    QFETCH(int, minimum);
    QFETCH(int, maximum);
    QFETCH(int, value);
    TSpinEdit *edit = field == QLatin1String("MinEd") ? form()->MinEd : form()->MaxEd;
    QAccessibleInterface *a = QAccessible::queryAccessibleInterface(edit);
    QVERIFY(a);
    QAccessibleValueInterface *v = a->valueInterface();
    QVERIFY(v);
    QCOMPARE(v->minimumValue().toInt(), minimum);
    QCOMPARE(v->maximumValue().toInt(), maximum);
    QCOMPARE(v->currentValue().toInt(), value);
}

void TcgFormTest::saveAfterEditingByHand()
{
    generate("sad\r\ndad\r\n", QStringLiteral("asdf"));
    QPlainTextEdit *memo = form()->ResultMemo;
    memo->setFocus();
    QTextCursor c = memo->textCursor();
    c.movePosition(QTextCursor::End);
    memo->setTextCursor(c);
    QTest::keyClicks(memo, QStringLiteral("fad"));
    QTest::keyClick(memo, Qt::Key_Return);
    // e-acute and a no-break space, typed as text
    QTest::sendKeyEvent(QTest::Click, memo, Qt::Key_Eacute, QString(QChar(0xE9)), Qt::NoModifier);
    QTest::sendKeyEvent(QTest::Click, memo, Qt::Key_unknown, QString(QChar(0xA0)), Qt::NoModifier);
    QTest::keyClicks(memo, QStringLiteral("x"));

    const QString out = path(QStringLiteral("out.txt"));
    writeFile(QStringLiteral("out.txt"), "older and longer content that is replaced");
    dialogs().answerFile(out);
    click(form()->Button1);
    const FileRequest &asked = dialogs().last(ScriptedDialogs::Kind::SaveFile).request;
    QCOMPARE(asked.filter, QStringLiteral("Text (*.txt)|*.txt"));
    QCOMPARE(asked.defaultExt, QStringLiteral("txt"));
    QVERIFY(asked.overwritePrompt);
    QCOMPARE(readFileBytes(kf::LocalPath(out)),
             std::string("=========================\r\n"
                         "The to-be-typed keys:  asdf  >> Total: 2\r\n"
                         "-------------------------\r\n"
                         "sad dad\r\n"
                         "fad\r\n"
                         "\xE9\xA0x"));

    // A cancelled save writes nothing.
    writeFile(QStringLiteral("out.txt"), "kept");
    click(form()->Button1);
    QCOMPARE(readFileBytes(kf::LocalPath(out)), std::string("kept"));
}

void TcgFormTest::wordListThenSave()
{
    generate("sad\r\ndad\r\nflask\r\nflag\r\n", QStringLiteral("asdf\nasdfjkl\nxyz"));
    click(form()->Button6);
    QCOMPARE(form()->ResultMemo->textCursor().position(), 0);
    const QString out = path(QStringLiteral("list.txt"));
    dialogs().answerFile(out);
    click(form()->Button1);
    QCOMPARE(readFileBytes(kf::LocalPath(out)),
             std::string("sad\r\ndad\r\n\r\nflask\r\n\r\n\r\n"));
}

void TcgFormTest::patternErrorWarnsThenShowsThePartialResult()
{
    const QString dic = writeFile(QStringLiteral("d.txt"), "sing\r\ncat\r\nbring\r\n");
    dialogs().answerFile(dic);
    click(form()->LoadDicBn);
    click(form()->Next1Bn);
    click(form()->RegxBox);
    typeStrings(form()->TwdMemo, QStringLiteral("\\w*ing\\b\n(ab"));
    click(form()->Next2Bn);

    QCOMPARE(dialogs().count(ScriptedDialogs::Kind::Warning), 1);
    QCOMPARE(dialogs().last(ScriptedDialogs::Kind::Warning).caption, QStringLiteral("Warning"));
    QCOMPARE(dialogs().last(ScriptedDialogs::Kind::Warning).text,
             QStringLiteral("Something wrong with regular expression: (ab"));
    QVERIFY(onlyTabShown(TTcgFm::ResultPage));
    QCOMPARE(text(form()->ResultMemo),
             QStringLiteral("=========================\n"
                            "The to-be-typed keys:  \\w*ing\\b  >> Total: 1\n"
                            "-------------------------\n"
                            "sing\n"
                            "=========================\n"
                            "The to-be-typed keys:  (ab  >> Total: 0\n"
                            "-------------------------\n"
                            "\n"));
    QVERIFY(!QApplication::overrideCursor());
}

void TcgFormTest::unreadableDictionaryIsReportedAndStepTwoStays()
{
    generate("sad\r\n", QStringLiteral("asdf"));
    click(form()->Button2);
    QVERIFY(QFile::remove(path(QStringLiteral("dictionary.txt"))));
    click(form()->Next1Bn);
    click(form()->Next2Bn);

    QCOMPARE(dialogs().count(ScriptedDialogs::Kind::Message), 1);
    const QString report = dialogs().last(ScriptedDialogs::Kind::Message).text;
    QVERIFY2(report.startsWith(QStringLiteral("AppException: TTcgFm~EFOpenError--")), qPrintable(report));
    QVERIFY(onlyTabShown(TTcgFm::Step2Page));
    QVERIFY(!QApplication::overrideCursor());
    QVERIFY(text(form()->ResultMemo).isEmpty());
}

void TcgFormTest::loadStringsReplacesTheBoxAndAFailureKeepsIt()
{
    const QString dic = writeFile(QStringLiteral("d.txt"), "sad\r\n");
    dialogs().answerFile(dic);
    click(form()->LoadDicBn);
    click(form()->Next1Bn);
    typeStrings(form()->TwdMemo, QStringLiteral("old"));

    const QString strings = writeFile(QStringLiteral("strings.txt"), "asdf\r\njkl;\r\n\xE9t\xE9\r\n");
    dialogs().answerFile(strings);
    dialogs().answerYes(); // the typed strings may go
    click(form()->LoadTWDBn);
    QCOMPARE(dialogs().count(ScriptedDialogs::Kind::OkCancel), 1);
    QCOMPARE(text(form()->TwdMemo), QStringLiteral("asdf\njkl;\n") + QChar(0xE9) + QLatin1Char('t') + QChar(0xE9));
    // The open dialog is shared and remembers the file chosen last.
    QCOMPARE(dialogs().last(ScriptedDialogs::Kind::OpenFiles).request.fileName, dic);

    QVERIFY(QFile::remove(strings));
    dialogs().answerFile(strings);
    click(form()->LoadTWDBn);
    QCOMPARE(dialogs().count(ScriptedDialogs::Kind::Message), 1);
    QVERIFY(dialogs().last(ScriptedDialogs::Kind::Message).text.contains(QStringLiteral("EFOpenError")));
    QCOMPARE(text(form()->TwdMemo), QStringLiteral("asdf\njkl;\n") + QChar(0xE9) + QLatin1Char('t') + QChar(0xE9));
}

void TcgFormTest::loadedStringsAreTheLinesOfTheFile_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QStringList>("headings"); // the strings quoted by the headings

    const QString as = QStringLiteral("as");
    QTest::newRow("final empty line, CR LF") << QByteArray("as\r\n\r\n") << QStringList{as, QString()};
    QTest::newRow("final empty line, LF") << QByteArray("as\n\n") << QStringList{as, QString()};
    QTest::newRow("final empty line, CR") << QByteArray("as\r\r") << QStringList{as, QString()};
    QTest::newRow("two final empty lines") << QByteArray("as\r\n\r\n\r\n") << QStringList{as, QString(), QString()};
    QTest::newRow("only an empty line") << QByteArray("\r\n") << QStringList{QString()};
    QTest::newRow("one line and a break") << QByteArray("as\r\n") << QStringList{as};
    QTest::newRow("one line, no break") << QByteArray("as") << QStringList{as};
    QTest::newRow("empty line between") << QByteArray("as\r\n\r\nd\r\n") << QStringList{as, QString(), "d"};
    QTest::newRow("lone CR between") << QByteArray("as\rd") << QStringList{as, "d"};
}

void TcgFormTest::loadedStringsAreTheLinesOfTheFile()
{
    QFETCH(QByteArray, file);
    QFETCH(QStringList, headings);
    const QString dic = writeFile(QStringLiteral("d.txt"), "sad\r\n");
    dialogs().answerFile(dic);
    click(form()->LoadDicBn);
    click(form()->Next1Bn);
    dialogs().answerFile(writeFile(QStringLiteral("strings.txt"), file.toStdString()));
    click(form()->LoadTWDBn);
    click(form()->Next2Bn);
    QVERIFY(onlyTabShown(TTcgFm::ResultPage));

    // As many groups as the file has lines, as the command line reads it.
    const WordList fileLines = splitLines(file.toStdString());
    QCOMPARE(form()->Engine().GroupCount(), int(fileLines.size()));
    QCOMPARE(form()->Engine().GroupCount(), headings.size());
    QStringList quoted;
    for (const QString &line : text(form()->ResultMemo).split(QLatin1Char('\n'))) {
        static const QString head = QStringLiteral("The to-be-typed keys:  ");
        if (line.startsWith(head))
            quoted << line.mid(head.size()).section(QStringLiteral("  >> Total: "), 0, 0);
    }
    QCOMPARE(quoted, headings);
}

void TcgFormTest::saveWritesTheResultTextByteForByte_data()
{
    QTest::addColumn<QString>("button"); // clicked on the result page before saving, or none
    QTest::addColumn<QByteArray>("saved");

    // The pattern \s\r picks a blank and a lone CR from the word ab: an entry
    // the box shows as a line break of its own.
    const QByteArray heading = "=========================\r\n"
                               "The to-be-typed keys:  \\s\\r  >> Total: 1\r\n"
                               "-------------------------\r\n";
    QTest::newRow("as generated") << QString() << heading + "\" \r\"\r\n";
    QTest::newRow("sorted by length") << QStringLiteral("Button5") << heading + "\" \r\"\r\n";
    QTest::newRow("without headings") << QStringLiteral("HeadingEd") << QByteArray("\" \r\"\r\n");
    QTest::newRow("word list") << QStringLiteral("Button6") << QByteArray(" \r\r\n\r\n");
}

void TcgFormTest::saveWritesTheResultTextByteForByte()
{
    QFETCH(QString, button);
    QFETCH(QByteArray, saved);
    const QString dic = writeFile(QStringLiteral("d.txt"), "ab\r\n");
    dialogs().answerFile(dic);
    click(form()->LoadDicBn);
    click(form()->Next1Bn);
    click(form()->RegxBox);
    typeStrings(form()->TwdMemo, QStringLiteral("\\s\\r"));
    click(form()->Next2Bn);
    QVERIFY(onlyTabShown(TTcgFm::ResultPage));
    QCOMPARE(form()->Engine().Groups(), (std::vector<WordList>{{" \r"}}));
    if (!button.isEmpty()) {
        auto *b = form()->findChild<QAbstractButton *>(button);
        QVERIFY(b);
        click(b);
    }
    // Selecting and copying are no edits.
    click(form()->SeleteAllBn);
    click(form()->CopyBn);

    const QString out = path(QStringLiteral("out.txt"));
    dialogs().answerFile(out);
    click(form()->Button1);
    QCOMPARE(QByteArray::fromStdString(readFileBytes(kf::LocalPath(out))), saved);
}

void TcgFormTest::failedSaveKeepsTheOldFileAndReports()
{
    std::string words;
    for (int i = 0; i < 200; ++i)
        words += "sad\r\n";
    generate(words, QStringLiteral("asdf"));
    const QString out = writeFile(QStringLiteral("out.txt"), "the course of last week\r\n");
    dialogs().answerFile(out);
    {
        const test::FileSizeLimit limit(512); // as a full disk would
        click(form()->Button1);
    }
    QCOMPARE(dialogs().count(ScriptedDialogs::Kind::Message), 1);
    const QString report = dialogs().last(ScriptedDialogs::Kind::Message).text;
    QVERIFY2(report.startsWith(QStringLiteral("AppException: TTcgFm~EFCreateError--Cannot write file")),
             qPrintable(report));
    QVERIFY2(report.contains(QStringLiteral("File too large")), qPrintable(report));
    QCOMPARE(readFileBytes(kf::LocalPath(out)), std::string("the course of last week\r\n"));
    QCOMPARE(QDir(m_dir->path()).entryList(QDir::Files | QDir::Hidden),
             (QStringList{"dictionary.txt", "out.txt"}));
    QVERIFY(onlyTabShown(TTcgFm::ResultPage));
}

void TcgFormTest::selectAllThenCopy()
{
    generate("sad\r\ndad\r\n", QStringLiteral("asdf"));
    QApplication::clipboard()->setText(QStringLiteral("before"));
    click(form()->CopyBn); // nothing selected: the clipboard stays
    QCOMPARE(QApplication::clipboard()->text(), QStringLiteral("before"));
    click(form()->SeleteAllBn);
    QCOMPARE(form()->ResultMemo->textCursor().selectedText().size(), text(form()->ResultMemo).size());
    click(form()->CopyBn);
    QCOMPARE(QApplication::clipboard()->text(), text(form()->ResultMemo));
}

void TcgFormTest::closeAndEscapeCloseWithoutAQuestion_data()
{
    QTest::addColumn<bool>("escape");
    QTest::newRow("Close button") << false;
    QTest::newRow("Esc key") << true;
}

void TcgFormTest::closeAndEscapeCloseWithoutAQuestion()
{
    QFETCH(bool, escape);
    QPointer<TTcgFm> guard(form());
    if (escape) {
        form()->LoadDicBn->setFocus();
        QTest::keyClick(form()->LoadDicBn, Qt::Key_Escape);
    } else {
        click(form()->CloseBn);
    }
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QVERIFY(guard.isNull());
    QVERIFY(dialogs().asked().empty());
    QVERIFY(!m_main->Factory().FindForm<TTcgFm>());
}

void TcgFormTest::encodingMenuAndCodePageBelowThePages()
{
    TTcgFm *f = form();
    QCOMPARE(f->EncodingBn->text(), QStringLiteral("Input &encoding"));
    QCOMPARE(f->EncodingBn->menu(), static_cast<QMenu *>(f->Encoding1));
    QStringList items;
    for (QAction *a : f->Encoding1->actions()) {
        QVERIFY(a->isCheckable());
        items << a->text() + (a->isChecked() ? QStringLiteral(" *") : QString());
    }
    QCOMPARE(items, (QStringList{"&Auto *", "&Code page (CP1252)", "UTF-&8", "UTF-16 &LE", "UTF-16 &BE"}));
    QCOMPARE(f->CodePageLb->text(), QStringLiteral("CP1252"));
    QCOMPARE(QAccessible::queryAccessibleInterface(f->CodePageLb)->text(QAccessible::Name), QStringLiteral("CP1252"));
    // Below the pages, clear of the close button.
    const QList<QWidget *> below{f->EncodingBn, f->CodePageLb, f->LeftOutCaption, f->LeftOutLb, f->CloseBn};
    for (QWidget *w : below) {
        QVERIFY(w->geometry().top() >= f->PageControl1->geometry().bottom());
        QVERIFY(QRect(QPoint(0, 0), f->size()).contains(w->geometry()));
        for (QWidget *other : below)
            QVERIFY2(w == other || !w->geometry().intersects(other->geometry()), qPrintable(w->objectName()));
    }

    CodePageChoice::instance().choose(QStringLiteral("CP1257"));
    QCOMPARE(f->CodePageLb->text(), QStringLiteral("CP1257"));
    QCOMPARE(QAccessible::queryAccessibleInterface(f->CodePageLb)->text(QAccessible::Name), QStringLiteral("CP1257"));
    QCOMPARE(f->Encoding1->action(InputEncoding::CodePage)->text(), QStringLiteral("&Code page (CP1257)"));
}

void TcgFormTest::utf8FilesGiveTheResultOfTheirCodePageVersions()
{
    // "größe groß klein żaba" and the string "ö"; the code page lacks "ż".
    const std::string utf8Dictionary = "gr\xC3\xB6\xC3\x9F" "e\r\ngro\xC3\x9F\r\nkl\xC3\xB6n\r\n\xC5\xBC" "ab\xC3\xB6\r\n";
    const std::string cpDictionary = "gr\xF6\xDF" "e\r\ngro\xDF\r\nkl\xF6n\r\n";
    // The result, and the words left out as the window tells them ("" when
    // it tells none).
    const auto run = [this](const std::string &dictionary, const std::string &strings) {
        dialogs().answerFile(writeFile(QStringLiteral("dictionary.txt"), dictionary));
        click(form()->LoadDicBn);
        click(form()->Next1Bn);
        dialogs().answerFile(writeFile(QStringLiteral("strings.txt"), strings));
        click(form()->LoadTWDBn);
        click(form()->SpellingBox);
        click(form()->Next2Bn);
        const QString result = text(form()->ResultMemo);
        QString leftOut = form()->LeftOutLb->isHidden() ? QString() : form()->LeftOutLb->text();
        if (form()->LeftOutCaption->isHidden() != form()->LeftOutLb->isHidden())
            leftOut += QStringLiteral(" (caption not with its value)");
        click(form()->Button2);
        if (!form()->LeftOutLb->isHidden())
            leftOut += QStringLiteral(" (still shown after Reset)");
        return std::pair{result, leftOut};
    };
    const auto [fromCodePage, noneLeftOut] = run(cpDictionary, "\xF6\r\n");
    QVERIFY2(fromCodePage.contains(QStringLiteral("gr\u00F6\u00DFe kl\u00F6n")), qPrintable(fromCodePage));
    QCOMPARE(noneLeftOut, QString());
    const auto [fromUtf8, leftOut] = run(utf8Dictionary, "\xC3\xB6\r\n");
    QCOMPARE(dialogs().count(ScriptedDialogs::Kind::Message), 0);
    QCOMPARE(fromUtf8, fromCodePage);
    QCOMPARE(leftOut, QStringLiteral("1")); // "żabö"
    QCOMPARE(QAccessible::queryAccessibleInterface(form()->LeftOutLb)->text(QAccessible::Description),
             QStringLiteral("Dictionary words not in the code page, left out"));

    // Read as the code page, the UTF-8 bytes are characters of their own.
    form()->Encoding1->action(InputEncoding::CodePage)->trigger();
    click(form()->Next1Bn);
    dialogs().answerFile(path(QStringLiteral("strings.txt")));
    click(form()->LoadTWDBn);
    QCOMPARE(text(form()->TwdMemo), QStringLiteral("\u00C3\u00B6"));
}

void TcgFormTest::malformedFilesAreOneErrorAndKeepWhatWasThere()
{
    const QString dic = writeFile(QStringLiteral("d.txt"), "sad\r\n");
    dialogs().answerFile(dic);
    click(form()->LoadDicBn);
    click(form()->Next1Bn);
    typeStrings(form()->TwdMemo, QStringLiteral("old"));

    form()->Encoding1->action(InputEncoding::Utf8)->trigger();
    const QString bad = writeFile(QStringLiteral("bad.txt"), "asdf\r\n\xE9t\xE9\r\n");
    dialogs().answerFile(bad);
    dialogs().answerYes(); // the typed strings may go
    click(form()->LoadTWDBn);
    QCOMPARE(dialogs().count(ScriptedDialogs::Kind::Message), 1);
    QString report = dialogs().last(ScriptedDialogs::Kind::Message).text;
    QVERIFY2(report.contains(QStringLiteral("bad.txt")) && report.contains(QStringLiteral("byte offset 6")),
             qPrintable(report));
    QCOMPARE(text(form()->TwdMemo), QStringLiteral("old"));

    // A malformed dictionary: reported once, nothing generated.
    writeFile(QStringLiteral("d.txt"), "sad\r\n\xC3(\r\n");
    click(form()->Next2Bn);
    QCOMPARE(dialogs().count(ScriptedDialogs::Kind::Message), 2);
    report = dialogs().last(ScriptedDialogs::Kind::Message).text;
    QVERIFY2(report.contains(QStringLiteral("d.txt")) && report.contains(QStringLiteral("byte offset 5")),
             qPrintable(report));
    QVERIFY(onlyTabShown(TTcgFm::Step2Page));
    QVERIFY(text(form()->ResultMemo).isEmpty());
}

// A typed string the code page cannot hold would turn into "?" (in a
// regular expression, a quantifier): it is refused and nothing is generated.
void TcgFormTest::stringsNotInTheCodePageAreRefused()
{
    dialogs().answerFile(writeFile(QStringLiteral("d.txt"), "za\r\nzab\r\n"));
    click(form()->LoadDicBn);
    click(form()->Next1Bn);
    click(form()->RegxBox);
    form()->TwdMemo->setPlainText(QStringLiteral("z\u0105b"));
    click(form()->Next2Bn);
    QCOMPARE(dialogs().count(ScriptedDialogs::Kind::Message), 1);
    QVERIFY2(dialogs().last(ScriptedDialogs::Kind::Message).text.startsWith(
                 QStringLiteral("Not in the code page CP1252: \u0105\n")),
             qPrintable(dialogs().last(ScriptedDialogs::Kind::Message).text));
    QVERIFY(onlyTabShown(TTcgFm::Step2Page));
    QCOMPARE(text(form()->TwdMemo), QStringLiteral("z\u0105b"));
    QVERIFY(text(form()->ResultMemo).isEmpty());
}

// The result is bytes of the code page it was generated in: a later change of
// the session's code page neither shows them through the new one nor saves
// them in it, and what the result's code page lacks is asked about first.
void TcgFormTest::resultKeepsTheCodePageOfItsGeneration()
{
    CodePageChoice::instance().choose(QStringLiteral("CP1250"));
    // "łódź" and "lód" in UTF-8
    dialogs().answerFile(writeFile(QStringLiteral("d.txt"), "\xC5\x82\xC3\xB3" "d\xC5\xBA\r\nl\xC3\xB3" "d\r\n"));
    click(form()->LoadDicBn);
    click(form()->Next1Bn);
    form()->TwdMemo->setPlainText(QStringLiteral("\u0142\u00F3d\u017Al"));
    click(form()->Next2Bn);
    QCOMPARE(form()->CurrentPage(), TTcgFm::ResultPage);
    const auto name = [](QWidget *w) { return QAccessible::queryAccessibleInterface(w)->text(QAccessible::Name); };
    const auto shown = [this] {
        return QAccessible::queryAccessibleInterface(form()->ResultMemo)->text(QAccessible::Value);
    };
    QCOMPARE(name(form()->ResultCodePageLb), QStringLiteral("CP1250"));

    CodePageChoice::instance().choose(QStringLiteral("CP1252"));
    QCOMPARE(form()->CodePageLb->text(), QStringLiteral("CP1252"));
    QCOMPARE(name(form()->ResultCodePageLb), QStringLiteral("CP1250"));
    click(form()->Button5);
    QVERIFY2(shown().contains(QStringLiteral("\nl\u00F3d \u0142\u00F3d\u017A")), qPrintable(shown()));
    click(form()->Button6);
    QCOMPARE(shown(), QStringLiteral("l\u00F3d\n\u0142\u00F3d\u017A\n\n"));

    // Unedited: the bytes the box shows.
    const QString out = path(QStringLiteral("out.txt"));
    dialogs().answerFile(out);
    click(form()->Button1);
    const std::string cp1250 = "l\xF3" "d\r\n\xB3\xF3" "d\x9F\r\n\r\n";
    QCOMPARE(readFileBytes(kf::LocalPath(out)), cp1250);
    QCOMPARE(dialogs().count(ScriptedDialogs::Kind::Confirm), 0);

    // Edited with characters both code pages hold: saved in CP1250 unasked.
    QPlainTextEdit *memo = form()->ResultMemo;
    memo->setFocus();
    QTextCursor c = memo->textCursor();
    c.movePosition(QTextCursor::End);
    memo->setTextCursor(c);
    QTest::keyClicks(memo, QStringLiteral("x"));
    dialogs().answerFile(out);
    click(form()->Button1);
    QCOMPARE(readFileBytes(kf::LocalPath(out)), cp1250 + "x");
    QCOMPARE(dialogs().count(ScriptedDialogs::Kind::Confirm), 0);

    // "ñ" is not in CP1250: asked first; No writes nothing, Yes writes "?".
    QTest::sendKeyEvent(QTest::Click, memo, Qt::Key_Ntilde, QString(QChar(0xF1)), Qt::NoModifier);
    writeFile(QStringLiteral("out.txt"), "kept");
    dialogs().answerNo();
    click(form()->Button1);
    QCOMPARE(dialogs().count(ScriptedDialogs::Kind::Confirm), 1);
    const QString question = dialogs().last(ScriptedDialogs::Kind::Confirm).text;
    QVERIFY2(question.startsWith(QStringLiteral("Not in the code page CP1250: \u00F1\n")) &&
                 question.contains(QStringLiteral("\"?\"")),
             qPrintable(question));
    QCOMPARE(dialogs().count(ScriptedDialogs::Kind::SaveFile), 2);
    QCOMPARE(readFileBytes(kf::LocalPath(out)), std::string("kept"));
    dialogs().answerYes();
    dialogs().answerFile(out);
    click(form()->Button1);
    QCOMPARE(dialogs().count(ScriptedDialogs::Kind::Confirm), 2);
    QCOMPARE(readFileBytes(kf::LocalPath(out)), cp1250 + "x?");

    // A new generation takes the code page in force.
    click(form()->Button2);
    click(form()->Next1Bn);
    typeStrings(form()->TwdMemo, QStringLiteral("dl"));
    click(form()->Next2Bn);
    QCOMPARE(name(form()->ResultCodePageLb), QStringLiteral("CP1252"));
}

// Opening a recent dictionary or strings file asks before it replaces work
// no file holds: strings typed into step 2 (or put there by a plan), a
// result edited by hand.
void TcgFormTest::openingARecentFileAsksBeforeReplacingWork_data()
{
    QTest::addColumn<bool>("strings");  // open a strings file, else a dictionary
    QTest::addColumn<QString>("work");   // "typed", "edited result", "loaded"
    QTest::addColumn<QString>("answer"); // "" when nothing is asked
    QTest::addColumn<bool>("replaced");
    QTest::newRow("strings over typed strings, Cancel") << true << "typed" << "cancel" << false;
    QTest::newRow("strings over typed strings, OK") << true << "typed" << "ok" << true;
    QTest::newRow("strings over strings of a file") << true << "loaded" << "" << true;
    QTest::newRow("dictionary over typed strings") << false << "typed" << "" << true;
    QTest::newRow("dictionary over an edited result, Cancel") << false << "edited result" << "cancel" << false;
    QTest::newRow("dictionary over an edited result, Discard") << false << "edited result" << "discard" << true;
    QTest::newRow("dictionary over an edited result, Save") << false << "edited result" << "save" << true;
    QTest::newRow("strings over an edited result, Save cancelled") << true << "edited result" << "save cancelled"
                                                                   << false;
}

void TcgFormTest::openingARecentFileAsksBeforeReplacingWork()
{
    QFETCH(bool, strings);
    QFETCH(QString, work);
    QFETCH(QString, answer);
    QFETCH(bool, replaced);
    const QString dictionary = writeFile(QStringLiteral("first.txt"), "fad\r\ndad\r\n");
    dialogs().answerFile(dictionary);
    click(form()->LoadDicBn);
    click(form()->Next1Bn);
    if (work == QLatin1String("loaded")) {
        dialogs().answerFile(writeFile(QStringLiteral("loaded.txt"), "ad\r\n"));
        click(form()->LoadTWDBn);
    } else {
        typeStrings(form()->TwdMemo, QStringLiteral("fad"));
    }
    if (work == QLatin1String("edited result")) {
        click(form()->Next2Bn);
        QCOMPARE(form()->CurrentPage(), TTcgFm::ResultPage);
        form()->ResultMemo->setFocus();
        form()->ResultMemo->moveCursor(QTextCursor::End);
        QTest::keyClicks(form()->ResultMemo, QStringLiteral(" mine"));
    }
    QCOMPARE(dialogs().pendingAnswers(), 0);
    dialogs().clear();
    const QString boxBefore = text(form()->TwdMemo), resultBefore = text(form()->ResultMemo);
    const QString saved = path(QStringLiteral("saved.txt"));
    if (answer == QLatin1String("cancel"))
        dialogs().answerCancel();
    else if (answer == QLatin1String("ok"))
        dialogs().answerYes();
    else if (answer == QLatin1String("discard"))
        dialogs().answerDiscard();
    else if (answer == QLatin1String("save")) {
        dialogs().answerSave();
        dialogs().answerFile(saved);
    } else if (answer == QLatin1String("save cancelled")) {
        dialogs().answerSave();
        dialogs().answerCancel();
    }
    const QString file = strings ? writeFile(QStringLiteral("strings.txt"), "sa\r\n")
                                 : writeFile(QStringLiteral("second.txt"), "sad\r\n");
    m_main->OpenRecent(strings ? RecentKind::Strings : RecentKind::Dictionary, file);

    const bool editedResult = work == QLatin1String("edited result");
    const bool asked = !answer.isEmpty();
    QCOMPARE(dialogs().count(ScriptedDialogs::Kind::SaveDiscard), asked && editedResult ? 1 : 0);
    QCOMPARE(dialogs().count(ScriptedDialogs::Kind::OkCancel), asked && !editedResult ? 1 : 0);
    if (asked) {
        const QString question = dialogs().asked().front().text;
        QVERIFY2(question.startsWith(QStringLiteral("Opening \"%1\" replaces work of the course window")
                                         .arg(QFileInfo(file).fileName())),
                 qPrintable(question));
        QCOMPARE(question.contains(QStringLiteral("the result, edited by hand")), editedResult);
        QCOMPARE(question.contains(QStringLiteral("the strings of step 2, typed")), strings);
    }
    if (strings)
        QCOMPARE(text(form()->TwdMemo), replaced ? QStringLiteral("sa") : boxBefore);
    else
        QCOMPARE(form()->LbDic->text(), replaced ? file : dictionary);
    if (editedResult) {
        QCOMPARE(text(form()->ResultMemo), replaced ? QString() : resultBefore);
        QCOMPARE(form()->CurrentPage(), replaced ? (strings ? TTcgFm::Step2Page : TTcgFm::Step1Page)
                                                 : TTcgFm::ResultPage);
    }
    if (answer == QLatin1String("save"))
        QCOMPARE(QString::fromStdString(readFileBytes(kf::LocalPath(saved))),
                 QString(resultBefore).replace(QStringLiteral("\n"), QStringLiteral("\r\n")));
}

// The window's own closing asks about what it would lose: Save writes an
// edited result; strings no file holds can only be given up.
void TcgFormTest::closingAsksAboutTheResultAndTheStrings_data()
{
    QTest::addColumn<QString>("work");
    QTest::addColumn<QString>("answer");
    QTest::addColumn<QString>("question"); // the list of what would be lost
    QTest::addColumn<bool>("closes");
    const QString typed = QStringLiteral("\n  \u2022 the strings of step 2, typed (no file holds them)");
    const QString edited = QStringLiteral("\n  \u2022 the result, edited by hand and not saved");
    QTest::newRow("strings of a file, result as made") << "loaded generated" << "" << "" << true;
    QTest::newRow("typed strings, Cancel") << "typed" << "cancel" << typed << false;
    QTest::newRow("typed strings, OK") << "typed" << "ok" << typed << true;
    QTest::newRow("typed strings and an edited result, Cancel") << "typed edited" << "cancel" << typed + edited
                                                                << false;
    QTest::newRow("edited result, Save") << "loaded edited" << "save" << edited << true;
    QTest::newRow("edited result saved before") << "loaded edited saved" << "" << "" << true;
}

void TcgFormTest::closingAsksAboutTheResultAndTheStrings()
{
    QFETCH(QString, work);
    QFETCH(QString, answer);
    QFETCH(QString, question);
    QFETCH(bool, closes);
    dialogs().answerFile(writeFile(QStringLiteral("dictionary.txt"), "fad\r\ndad\r\n"));
    click(form()->LoadDicBn);
    click(form()->Next1Bn);
    if (work.contains(QLatin1String("loaded"))) {
        dialogs().answerFile(writeFile(QStringLiteral("loaded.txt"), "fad\r\n"));
        click(form()->LoadTWDBn);
    } else {
        typeStrings(form()->TwdMemo, QStringLiteral("fad"));
    }
    if (work.contains(QLatin1String("generated")) || work.contains(QLatin1String("edited")))
        click(form()->Next2Bn);
    if (work.contains(QLatin1String("edited"))) {
        form()->ResultMemo->setFocus();
        QTest::keyClicks(form()->ResultMemo, QStringLiteral("my "));
    }
    if (work.contains(QLatin1String("saved"))) {
        dialogs().answerFile(path(QStringLiteral("before.txt")));
        click(form()->Button1);
    }
    QCOMPARE(dialogs().pendingAnswers(), 0);
    dialogs().clear();
    const QString saved = path(QStringLiteral("saved.txt"));
    if (answer == QLatin1String("cancel"))
        dialogs().answerCancel();
    else if (answer == QLatin1String("ok"))
        dialogs().answerYes();
    else if (answer == QLatin1String("save")) {
        dialogs().answerSave();
        dialogs().answerFile(saved);
    }
    const QString result = text(form()->ResultMemo);
    QPointer<TTcgFm> guard(form());
    click(form()->CloseBn);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);

    QCOMPARE(int(dialogs().asked().size()), answer.isEmpty() ? 0 : answer == QLatin1String("save") ? 2 : 1);
    if (!answer.isEmpty()) {
        const bool canSave = question.contains(QStringLiteral("the result"));
        QCOMPARE(dialogs().asked().front().kind,
                 canSave ? ScriptedDialogs::Kind::SaveDiscard : ScriptedDialogs::Kind::OkCancel);
        QCOMPARE(dialogs().asked().front().text,
                 QStringLiteral("Typing Course Generator holds work that is not saved:") + question
                     + (canSave ? QStringLiteral("\n\nSave it before the window closes?")
                                : QStringLiteral("\n\nIt cannot be saved and will be lost. Close anyway?")));
    }
    QCOMPARE(guard.isNull(), closes);
    if (answer == QLatin1String("save"))
        QCOMPARE(QString::fromStdString(readFileBytes(kf::LocalPath(saved))),
                 QString(result).replace(QStringLiteral("\n"), QStringLiteral("\r\n")));
    if (closes)
        m_form = nullptr;
}

// Made as large as 1000 x 780, the window gives the room to its text boxes
// and the field of the dictionary's name; the buttons keep to the right and
// the bottom.
void TcgFormTest::textBoxesGrowWithTheWindow_data()
{
    QTest::addColumn<int>("page");
    QTest::addColumn<QString>("box");
    QTest::addColumn<QString>("corner"); // a button that keeps to the bottom right
    QTest::newRow("step 1: the dictionary's name") << int(TTcgFm::Step1Page) << "LbDic" << "Next1Bn";
    QTest::newRow("step 2: the strings") << int(TTcgFm::Step2Page) << "TwdMemo" << "Next2Bn";
    QTest::newRow("result") << int(TTcgFm::ResultPage) << "ResultMemo" << "Button2";
}

void TcgFormTest::textBoxesGrowWithTheWindow()
{
    QFETCH(int, page);
    QFETCH(QString, box);
    QFETCH(QString, corner);
    if (page != TTcgFm::Step1Page)
        generate("fad\r\n", QStringLiteral("fad"));
    if (page == TTcgFm::Step2Page) {
        click(form()->Button2);
        click(form()->Next1Bn);
    }
    QCOMPARE(int(form()->CurrentPage()), page);
    auto *b = form()->findChild<QWidget *>(box);
    auto *c = form()->findChild<QWidget *>(corner);
    QVERIFY(b && c);
    const QSize small = b->size();
    const QRect closeBn = form()->CloseBn->geometry();
    const QPoint cornerGap = QPoint(form()->width(), form()->height()) - c->mapTo(form(), c->rect().bottomRight());
    QMdiSubWindow *frame = TWinFormFactory::FrameOf(form());
    frame->resize(1000, 780);
    const QSize grown = form()->size() - QSize(492, 386);
    QVERIFY(grown.width() > 400 && grown.height() > 300);
    QTRY_COMPARE(b->size(), small + (box == QLatin1String("LbDic") ? QSize(grown.width(), 0) : grown));
    QCOMPARE(QPoint(form()->width(), form()->height()) - c->mapTo(form(), c->rect().bottomRight()), cornerGap);
    QCOMPARE(form()->CloseBn->geometry(), closeBn.translated(grown.width(), grown.height()));
}

// A dictionary saved with counts ("word TAB count") gives the course the
// same words as the plain list.
void TcgFormTest::countedDictionaryGivesTheSameCourseAsPlainWords()
{
    generate("fad\r\nsad\r\nad\r\n", QStringLiteral("ad\nfsad"));
    const QString plain = text(form()->ResultMemo);
    click(form()->Button2);
    generate("fad\t9\r\nsad\t4\r\nad\t1\r\n", QStringLiteral("ad\nfsad"));
    QCOMPARE(text(form()->ResultMemo), plain);
    QVERIFY(plain.contains(QStringLiteral("fad sad")));
}

int main(int argc, char **argv)
{
    TApplication app(argc, argv);
    app.setApplicationName(ApplicationTitle());
    TcgFormTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "TcgForm_test.moc"
