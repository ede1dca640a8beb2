// The word road from start to end: the main window's menus open the
// dictionary generator, which scans, sorts, filters, cleans and saves a
// dictionary; the course generator loads that dictionary, generates in every
// pick-up mode, re-sorts, toggles headings, makes a word list and saves. Every
// saved file is compared byte for byte with the expected files in
// tests/data/e2e/. Set KF_E2E_WRITE_EXPECTED=1 to rewrite them after a
// deliberate change (and review the diff).

// First: the word splitter has a member named like a Qt macro.
#include "words/DicBuilder.h"
#include "common/FilePath.h"

#include "app/ComFormFactory.h"
#include "app/MainForm.h"
#include "common/CodePage.h"
#include "common/ScriptedDialogs.h"
#include "common/TextFile.h"
#include "dbctrls/DBGrid.h"
#include "wordlist/DicForm.h"
#include "wordlist/TcgForm.h"

#include <QAction>
#include <QCheckBox>
#include <QFile>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QtTest>

#include <iterator>
#include <memory>

using namespace kf;
using Kind = ScriptedDialogs::Kind;

class WordRoadTest : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void dictionaryThenCourse();

private:
    QAction *menuItem(const QString &menu, const QString &item) const;
    QString writeFile(const QString &name, const std::string &bytes) const;
    void press(QWidget *window, const QKeySequence &key);
    // Compares a saved file with its expected twin in tests/data/e2e/.
    void compareWithExpected(const QString &saved, const QString &expectedName);
    void generate(QRadioButton *mode, const QString &strings);
    void saveResult(const QString &name);

    std::unique_ptr<TMainFm> m_main;
    ScriptedDialogs *m_dialogs = nullptr; // owned by the dialog service
    std::unique_ptr<QTemporaryDir> m_dir;
    TTcgFm *m_tcg = nullptr;
};

QAction *WordRoadTest::menuItem(const QString &menu, const QString &item) const
{
    for (QAction *top : m_main->menuBar()->actions()) {
        if (!top->menu() || top->text().remove(QLatin1Char('&')) != menu)
            continue;
        for (QAction *a : top->menu()->actions())
            if (a->text().remove(QLatin1Char('&')) == item)
                return a;
    }
    return nullptr;
}

QString WordRoadTest::writeFile(const QString &name, const std::string &bytes) const
{
    const QString p = m_dir->filePath(name);
    writeFileBytes(kf::LocalPath(p), bytes);
    return p;
}

void WordRoadTest::press(QWidget *window, const QKeySequence &key)
{
    QWidget *focus = QApplication::focusWidget();
    QVERIFY(focus && (focus == window || window->isAncestorOf(focus)));
    QTest::keySequence(focus, key);
}

void WordRoadTest::compareWithExpected(const QString &saved, const QString &expectedName)
{
    const std::string actual = readFileBytes(kf::LocalPath(saved));
    const std::string expectedPath = std::string(KF_TEST_DATA_DIR) + "/e2e/" + expectedName.toStdString();
    if (qEnvironmentVariableIsSet("KF_E2E_WRITE_EXPECTED"))
        writeFileBytes(expectedPath, actual);
    const std::string expected = readFileBytes(expectedPath);
    QCOMPARE(QByteArray::fromStdString(actual), QByteArray::fromStdString(expected));
}

void WordRoadTest::generate(QRadioButton *mode, const QString &strings)
{
    QCOMPARE(m_tcg->CurrentPage(), TTcgFm::Step2Page);
    QTest::mouseClick(mode, Qt::LeftButton);
    QVERIFY(mode->isChecked());
    m_tcg->TwdMemo->setFocus();
    m_tcg->TwdMemo->selectAll();
    QTest::keyClick(m_tcg->TwdMemo, Qt::Key_Delete);
    const QStringList lines = strings.split(QLatin1Char('\n'));
    for (int i = 0; i < lines.size(); ++i) {
        if (i > 0)
            QTest::keyClick(m_tcg->TwdMemo, Qt::Key_Return);
        QTest::keyClicks(m_tcg->TwdMemo, lines.at(i));
    }
    QCOMPARE(TTcgFm::MemoText(m_tcg->TwdMemo), strings);
    QTest::mouseClick(m_tcg->Next2Bn, Qt::LeftButton);
    QCOMPARE(m_tcg->CurrentPage(), TTcgFm::ResultPage);
}

void WordRoadTest::saveResult(const QString &name)
{
    const QString out = m_dir->filePath(name);
    m_dialogs->answerFile(out);
    QTest::mouseClick(m_tcg->Button1, Qt::LeftButton);
    compareWithExpected(out, name);
}

void WordRoadTest::init()
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
}

void WordRoadTest::cleanup()
{
    m_main.reset();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    m_tcg = nullptr;
    SetDialogs(nullptr);
    m_dialogs = nullptr;
    m_dir.reset();
}

void WordRoadTest::dictionaryThenCourse()
{
    // Two small texts, one with Windows and one with Unix line ends.
    const QString a = writeFile(QStringLiteral("first.txt"),
                                "The quick brown fox jumps over the lazy dog.\r\n"
                                "Then the fox sings: sing, singing, sang! R2D2 and C3PO watch in 2026.\r\n"
                                "Strong string starts stand still; the state is stable.\r\n");
    const QString b = writeFile(QStringLiteral("second.txt"),
                                "A dog and a fox are thinking about nothing.\n"
                                "Testing, resting and nesting birds sing; mp3 files stay at home.\n"
                                "Dads add salad as a last task.\n");

    // Dictionary generator, from the main window's "Word list" menu.
    QAction *dicItem = menuItem(QStringLiteral("Word list"), QStringLiteral("Dictionary Generator"));
    QCOMPARE(dicItem, m_main->A_Dictionary);
    dicItem->trigger();
    TDicFm *dic = m_main->Factory().FindForm<TDicFm>();
    QVERIFY(dic);
    QVERIFY(QTest::qWaitForWindowExposed(dic));
    dic->WordGrid->setFocus();

    m_dialogs->answerFiles({a, b});
    m_dialogs->answerYes();
    press(dic, QKeySequence(Qt::CTRL | Qt::Key_W));
    const int scanned = dic->WordGrid->model()->rowCount();
    QVERIFY(scanned > 40);

    press(dic, QKeySequence(Qt::Key_F6)); // sort by alpha
    m_dialogs->answerText(QStringLiteral("2"));
    m_dialogs->answerText(QStringLiteral("7"));
    press(dic, QKeySequence(Qt::Key_F11)); // words of 2 to 7 letters
    const int filtered = dic->WordGrid->model()->rowCount();
    QVERIFY(filtered < scanned);
    m_dialogs->answerYes();
    dic->A_KickoutDigits->trigger();
    QCOMPARE(m_dialogs->last(Kind::Confirm).text, QStringLiteral("Are you sure to delete words with digits?"));
    QVERIFY(dic->WordGrid->model()->rowCount() < filtered);
    QTest::mouseClick(dic->Button1, Qt::LeftButton); // sort by length
    dic->WordGrid->setFocus();

    const QString dicFile = m_dir->filePath(QStringLiteral("dictionary.txt"));
    m_dialogs->answerFile(dicFile);
    press(dic, QKeySequence(Qt::CTRL | Qt::Key_S));
    compareWithExpected(dicFile, QStringLiteral("dictionary.txt"));

    // Course generator, from the same menu.
    QAction *tcgItem = menuItem(QStringLiteral("Word list"), QStringLiteral("Typing Course Generator"));
    QCOMPARE(tcgItem, m_main->A_TCG);
    tcgItem->trigger();
    m_tcg = m_main->Factory().FindForm<TTcgFm>();
    QVERIFY(m_tcg);
    QVERIFY(QTest::qWaitForWindowExposed(m_tcg));
    QCOMPARE(m_tcg->CurrentPage(), TTcgFm::Step1Page);
    m_dialogs->answerFile(dicFile);
    QTest::mouseClick(m_tcg->LoadDicBn, Qt::LeftButton);
    QTest::mouseClick(m_tcg->Next1Bn, Qt::LeftButton);

    struct Mode {
        QRadioButton *box;
        QString strings;
        QString saved;
    };
    const Mode modes[] = {
        {m_tcg->FingerPBox, QStringLiteral("asdf\ntheo"), QStringLiteral("course-fingers.txt")},
        {m_tcg->SpellingBox, QStringLiteral("in\nst"), QStringLiteral("course-strings.txt")},
        {m_tcg->GamePBox, QStringLiteral("st\nth"), QStringLiteral("course-heads.txt")},
        {m_tcg->EndPbox, QStringLiteral("ing\nd"), QStringLiteral("course-tails.txt")},
        {m_tcg->RegxBox, QStringLiteral("s\\w*ng\n(?i)[a-d]+"), QStringLiteral("course-patterns.txt")},
    };
    for (const Mode &m : modes) {
        generate(m.box, m.strings);
        saveResult(m.saved);
        if (&m != &modes[std::size(modes) - 1]) {
            QTest::mouseClick(m_tcg->Button2, Qt::LeftButton); // reset to the first step
            QCOMPARE(m_tcg->CurrentPage(), TTcgFm::Step1Page);
            QTest::mouseClick(m_tcg->Next1Bn, Qt::LeftButton);
        }
    }

    // The last result, re-sorted, without headings, and as a word list.
    QTest::mouseClick(m_tcg->Button5, Qt::LeftButton);
    saveResult(QStringLiteral("course-by-length.txt"));
    QTest::mouseClick(m_tcg->HeadingEd, Qt::LeftButton);
    QVERIFY(!m_tcg->HeadingEd->isChecked());
    saveResult(QStringLiteral("course-no-headings.txt"));
    QTest::mouseClick(m_tcg->Button4, Qt::LeftButton);
    saveResult(QStringLiteral("course-default-order.txt"));
    QTest::mouseClick(m_tcg->HeadingEd, Qt::LeftButton);
    QVERIFY(m_tcg->HeadingEd->isChecked());
    saveResult(QStringLiteral("course-headings-again.txt"));
    QTest::mouseClick(m_tcg->Button6, Qt::LeftButton);
    saveResult(QStringLiteral("course-wordlist.txt"));
}

QTEST_MAIN(WordRoadTest)
#include "WordRoad_test.moc"
