// The lesson texts window, opened from the course generator's step 2 once a
// plan from the sample keyboard is used: its lesson table as assistive
// technology reads it, the marked text, the author's texts, another seed
// and the export in every format.

// First: the word splitter has a member named like a Qt macro.
#include "words/DicBuilder.h"
#include "app/Application.h"
#include "app/ComFormFactory.h"
#include "app/MainForm.h"
#include "common/CodePage.h"
#include "common/ErrorReport.h"
#include "common/FilePath.h"
#include "common/ScriptedDialogs.h"
#include "common/TextFile.h"
#include "model/MainData.h"
#include "wordlist/CoursePlanDlg.h"
#include "wordlist/LessonTextsDlg.h"
#include "wordlist/TcgForm.h"
#include "SampleKeyboard.h"

#include <QAccessible>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTextEdit>
#include <QtTest>

#include <memory>

using namespace kf;

class LessonTextsDlgTest : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    void tableCountsTheLinesOfEachKindAndTheTextMarksNewCharacters();
    void textsBringSentencesAndAnotherSeedOtherLines();
    void exportWritesEveryFormat_data();
    void exportWritesEveryFormat();
    void aKTouchCourseWantsTheLayoutsName();

private:
    ScriptedDialogs &dialogs() { return *m_dialogs; }
    static void click(QAbstractButton *b) { QTest::mouseClick(b, Qt::LeftButton); }
    TLessonTextsDlg *openLessons();
    static QString cell(TLessonTextsDlg *dlg, int row, int column);

    std::unique_ptr<TDataMod> m_dm;
    std::unique_ptr<TMainFm> m_main;
    TTcgFm *m_form = nullptr;
    ScriptedDialogs *m_dialogs = nullptr; // owned by the dialog service
    std::unique_ptr<QTemporaryDir> m_dir;
};

const char *const kDictionary = "jj\t2\r\nfad\t9\r\ndad\t8\r\nsad\t7\r\nlads\t5\r\nflask\t4\r\nglad\t3\r\n"
                                "half\t2\r\nquiz\t1\r\nzebra\t1\r\nhalls\t1\r\nask\t6\r\nfall\t3\r\n";
const char *const kTexts = "dad had a sad lad\n\nask dad as all lads do\n\n"
                           "Dad had a flask. A sad lad asks for half. All lads fall, dad!\n";

void LessonTextsDlgTest::init()
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
}

void LessonTextsDlgTest::cleanup()
{
    m_main.reset();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    m_form = nullptr;
    m_dm.reset();
    SetDialogs(nullptr);
    m_dialogs = nullptr;
    m_dir.reset();
}

TLessonTextsDlg *LessonTextsDlgTest::openLessons()
{
    const QString dic = m_dir->filePath(QStringLiteral("dictionary.txt"));
    writeFileBytes(LocalPath(dic), kDictionary);
    dialogs().answerFile(dic);
    click(m_form->LoadDicBn);
    click(m_form->Next1Bn);
    if (m_form->LessonsBn->isEnabled())
        return nullptr; // only a plan used opens it
    click(m_form->PlanBn);
    TCoursePlanDlg *plan = m_form->PlanDialog();
    if (!plan || !plan->Plan())
        return nullptr;
    click(plan->UseBn);
    if (!m_form->LessonsBn->isEnabled())
        return nullptr;
    click(m_form->LessonsBn);
    TLessonTextsDlg *dlg = m_form->LessonsDialog();
    if (dlg && !QTest::qWaitForWindowExposed(dlg))
        return nullptr;
    return dlg;
}

QString LessonTextsDlgTest::cell(TLessonTextsDlg *dlg, int row, int column)
{
    QAccessibleInterface *table = QAccessible::queryAccessibleInterface(dlg->LessonGrid);
    if (!table || !table->tableInterface())
        return QStringLiteral("(no table)");
    QAccessibleInterface *c = table->tableInterface()->cellAt(row, column);
    return c ? c->text(QAccessible::Name) : QStringLiteral("(no cell)");
}

void LessonTextsDlgTest::tableCountsTheLinesOfEachKindAndTheTextMarksNewCharacters()
{
    TLessonTextsDlg *dlg = openLessons();
    QVERIFY(dlg);
    const std::vector<TLessonText> &lessons = dlg->Lessons();
    QVERIFY(lessons.size() >= 2);
    QCOMPARE(dlg->LessonGrid->rowCount(), int(lessons.size()));
    bool anyWords = false;
    for (int r = 0; r < int(lessons.size()); ++r) {
        const TLessonText &l = lessons[size_t(r)];
        QCOMPARE(cell(dlg, r, TLessonTextsDlg::DrillCol), QString::number(l.Count(TLessonLineKind::Drill)));
        QCOMPARE(cell(dlg, r, TLessonTextsDlg::WordsCol), QString::number(l.Count(TLessonLineKind::Words)));
        QCOMPARE(cell(dlg, r, TLessonTextsDlg::SentencesCol), QStringLiteral("0")); // no texts yet
        anyWords |= l.Count(TLessonLineKind::Words) > 0;
    }
    QVERIFY(anyWords);
    QCOMPARE(cell(dlg, 0, TLessonTextsDlg::NewCol), QStringLiteral("f j"));
    // The last lesson: the capitals of the letters learned.
    QVERIFY(cell(dlg, int(lessons.size()) - 1, TLessonTextsDlg::NewCol).startsWith(QStringLiteral("F J")));

    // The second lesson's text as the user reads it, its new characters marked.
    dlg->LessonGrid->setFocus();
    QTest::keyClick(dlg->LessonGrid, Qt::Key_Down);
    QCOMPARE(dlg->LessonGrid->currentRow(), 1);
    QStringList lines;
    for (const TLessonLine &line : lessons[1].Lines)
        lines << QString::fromStdString(line.Text);
    QCOMPARE(dlg->TextView->toPlainText(), lines.join(QLatin1Char('\n')));
    QAccessibleInterface *view = QAccessible::queryAccessibleInterface(dlg->TextView);
    QVERIFY(view->text(QAccessible::Description).contains(QStringLiteral("new characters: d k")));
    const QString html = dlg->TextView->toHtml();
    QVERIFY(html.contains(QStringLiteral("#b00000")));
    // Only new characters are marked: "f" (lesson 1) never is.
    QVERIFY(!html.contains(QRegularExpression(QStringLiteral("#b00000;\">[^<]*f"))));
}

void LessonTextsDlgTest::textsBringSentencesAndAnotherSeedOtherLines()
{
    TLessonTextsDlg *dlg = openLessons();
    QVERIFY(dlg);
    const QString text = m_dir->filePath(QStringLiteral("texts.txt"));
    writeFileBytes(LocalPath(text), kTexts);
    dialogs().answerFiles({text});
    click(dlg->TextsBn);
    QVERIFY(QAccessible::queryAccessibleInterface(dlg->TextsLb)->text(QAccessible::Name).startsWith(QStringLiteral("texts.txt")));
    size_t sentences = 0;
    for (int r = 0; r < dlg->LessonGrid->rowCount(); ++r) {
        sentences += size_t(cell(dlg, r, TLessonTextsDlg::SentencesCol).toInt());
        QCOMPARE(cell(dlg, r, TLessonTextsDlg::SentencesCol),
                 QString::number(dlg->Lessons()[size_t(r)].Count(TLessonLineKind::Sentence)));
    }
    QVERIFY(sentences >= 3);
    // The marks lesson came with the texts.
    QCOMPARE(cell(dlg, dlg->LessonGrid->rowCount() - 1, TLessonTextsDlg::NewCol).left(1), QStringLiteral("."));

    const std::string before = LessonTextsJson(dlg->Lessons(), CodePage::current());
    click(dlg->SeedBn);
    QCOMPARE(dlg->SeedEd->Value(), 2);
    QVERIFY(LessonTextsJson(dlg->Lessons(), CodePage::current()) != before);
    dlg->SeedEd->SetValue(1);
    click(dlg->MakeBn);
    QCOMPARE(LessonTextsJson(dlg->Lessons(), CodePage::current()), before);
}

void LessonTextsDlgTest::exportWritesEveryFormat_data()
{
    QTest::addColumn<int>("format");
    QTest::addColumn<QString>("start");
    QTest::newRow("json") << 0 << QStringLiteral("{");
    QTest::newRow("text") << 1 << QStringLiteral("Lesson 1: f j\n");
    QTest::newRow("ktouch") << 2 << QStringLiteral("<?xml");
    QTest::newRow("monkeytype") << 3 << QStringLiteral("f f f ff");
}

void LessonTextsDlgTest::exportWritesEveryFormat()
{
    QFETCH(int, format);
    QFETCH(QString, start);
    TLessonTextsDlg *dlg = openLessons();
    QVERIFY(dlg);
    dlg->FormatEd->setCurrentIndex(format);
    dlg->LayoutNameEd->setText(QStringLiteral("us"));
    const QString path = m_dir->filePath(QStringLiteral("lessons.out"));
    dialogs().answerFile(path);
    click(dlg->ExportBn);
    QCOMPARE(dialogs().count(ScriptedDialogs::Kind::SaveFile), 1);
    QVERIFY(dialogs().last(ScriptedDialogs::Kind::SaveFile).request.filter.contains(QStringLiteral("|*.")));
    QCOMPARE(dialogs().count(ScriptedDialogs::Kind::Error), 0);
    const QString written = QString::fromStdString(readFileBytes(LocalPath(path)));
    QVERIFY2(written.startsWith(start), qPrintable(written.left(40)));
}

void LessonTextsDlgTest::aKTouchCourseWantsTheLayoutsName()
{
    TLessonTextsDlg *dlg = openLessons();
    QVERIFY(dlg);
    dlg->FormatEd->setCurrentIndex(2);
    click(dlg->ExportBn);
    QCOMPARE(dialogs().count(ScriptedDialogs::Kind::SaveFile), 0);
    QVERIFY(dialogs().last(ScriptedDialogs::Kind::Message).text.contains(QStringLiteral("system layout")));
}

int main(int argc, char **argv)
{
    TApplication app(argc, argv);
    app.setApplicationName(ApplicationTitle());
    LessonTextsDlgTest test;
    return QTest::qExec(&test, argc, argv);
}
#include "LessonTextsDlg_test.moc"
