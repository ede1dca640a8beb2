#include "wordlist/TcgForm.h"

#include "common/ErrorReport.h"
#include "ui/Anchors.h"
#include "ui/BusyCursor.h"
#include "ui/CodePageChoice.h"
#include "ui/InputEncodingMenu.h"
#include "ui/ValueLabel.h"
#include "common/CodePage.h"
#include "common/CodePageDecoder.h"
#include "common/FilePath.h"
#include "common/IntegerText.h"
#include "common/TextFile.h"
#include "model/KeyCodes.h"
#include "model/KeyLayout.h"
#include "model/DefinitionHistory.h"
#include "model/MainData.h"
#include "wordlist/CoursePlanDlg.h"
#include "wordlist/LessonTextsDlg.h"
#include "wordlist/DicForm.h"
#include "words/CoursePlan.h"
#include "words/DicBuilder.h"
#include "words/tcg.h"
#include "table/FieldValue.h"
#include "table/RecordTable.h"

#include <QApplication>
#include <QCloseEvent>
#include <QMenu>

#include <QCheckBox>
#include <QFileInfo>
#include <QFocusEvent>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMdiSubWindow>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QShortcut>
#include <QTabBar>
#include <QTabWidget>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>

#include <algorithm>
#include <climits>
#include <tuple>

namespace kf {

namespace {

const QString kTextFilter = QStringLiteral("Text (*.txt)|*.txt");
// Dictionaries and strings often have no .txt name (/usr/share/dict/words).
const QString kOpenTextFilter = QStringLiteral("Text (*.txt)|*.txt|All files (*)|*");

QPushButton *makeButton(QWidget *parent, const char *name, const QString &text, const QString &hint,
                        const QRect &geometry)
{
    auto *b = new QPushButton(text, parent);
    b->setObjectName(QString::fromLatin1(name));
    b->setGeometry(geometry);
    if (!hint.isEmpty())
        b->setToolTip(hint);
    return b;
}

QRadioButton *makeRadio(QWidget *parent, const char *name, const QString &text, const QString &hint,
                        const QRect &geometry)
{
    auto *r = new QRadioButton(text, parent);
    r->setObjectName(QString::fromLatin1(name));
    r->setGeometry(geometry);
    // As wide as its text: a click beside the text is no click on the button.
    r->resize(r->sizeHint().width(), geometry.height());
    r->setToolTip(hint);
    return r;
}

QLabel *makeLabel(QWidget *parent, const char *name, const QString &text, const QRect &geometry)
{
    auto *l = new QLabel(text, parent);
    l->setObjectName(QString::fromLatin1(name));
    l->setGeometry(geometry);
    return l;
}

// Whether two readings of a keyboard have the same keys, characters and
// fingers (the colours aside).
bool sameKeys(const TKeyLayout &a, const TKeyLayout &b)
{
    const auto key = [](const TLayoutKey &k) {
        return std::tie(k.Value, k.Name, k.Type, k.Type2, k.Finger, k.X, k.Y, k.Width, k.Height);
    };
    const auto character = [](const TLayoutChar &c) { return std::tie(c.Code, c.KeyNo, c.Shift, c.AltGr, c.Accent); };
    return std::equal(a.Keys.begin(), a.Keys.end(), b.Keys.begin(), b.Keys.end(),
                      [&](const TLayoutKey &x, const TLayoutKey &y) { return key(x) == key(y); })
           && std::equal(a.Chars.begin(), a.Chars.end(), b.Chars.begin(), b.Chars.end(),
                         [&](const TLayoutChar &x, const TLayoutChar &y) { return character(x) == character(y); });
}

} // namespace

// ---------------------------------------------------------------- TTcgFm

TTcgFm::TTcgFm(QWidget *parent) : TChildForm(parent), tcg(std::make_unique<tcgClass>())
{
    setObjectName(QStringLiteral("TcgFm"));
    setWindowTitle(QStringLiteral("Typing Course Generator"));
    // It may be made larger: the text boxes grow, the buttons keep to the
    // right and the bottom.
    setInitialClientSize(492, 386);

    PageControl1 = new QTabWidget(this);
    PageControl1->setObjectName(QStringLiteral("PageControl1"));
    PageControl1->setGeometry(0, 0, 492, 344);
    PageControl1->tabBar()->setStyleSheet(QStringLiteral("QTabBar::tab { width: 70px; }"));
    PageControl1->tabBar()->setFocusPolicy(Qt::NoFocus);

    TabSheet1 = new QWidget;
    TabSheet1->setObjectName(QStringLiteral("TabSheet1"));
    TabSheet2 = new QWidget;
    TabSheet2->setObjectName(QStringLiteral("TabSheet2"));
    TabSheet3 = new QWidget;
    TabSheet3->setObjectName(QStringLiteral("TabSheet3"));
    PageControl1->addTab(TabSheet1, QStringLiteral("Step 1"));
    PageControl1->addTab(TabSheet2, QStringLiteral("Step 2"));
    PageControl1->addTab(TabSheet3, QStringLiteral("Result"));

    buildStep1();
    buildStep2();
    buildResult();

    CloseBn = makeButton(this, "CloseBn", QStringLiteral("&Close"), QString(), QRect(404, 352, 75, 25));
    connect(CloseBn, &QPushButton::clicked, this, [this] { CloseBnClick(); });
    auto *esc = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    esc->setContext(Qt::WidgetWithChildrenShortcut);
    connect(esc, &QShortcut::activated, CloseBn, &QPushButton::click);

    // Below the pages: how files are read, and the code page they turn into.
    EncodingBn = makeButton(this, "EncodingBn", QStringLiteral("Input &encoding"),
                            QStringLiteral("How the dictionary and the strings files are read"),
                            QRect(8, 352, 112, 25));
    Encoding1 = new InputEncodingMenu(this);
    EncodingBn->setMenu(Encoding1);
    auto *codePageCaption = makeLabel(this, "Label5", QStringLiteral("Code page:"), QRect(130, 352, 74, 25));
    CodePageLb = NewCodePageLabel(this, QStringLiteral("The code page the dictionary, the strings and the result are in"));
    CodePageLb->setGeometry(204, 352, 60, 25);
    QPalette blue = CodePageLb->palette();
    blue.setColor(QPalette::WindowText, QColor(0, 0, 255));
    CodePageLb->setPalette(blue);
    codePageCaption->setBuddy(CodePageLb);
    // After a generation: how many dictionary words were left out because
    // they hold a character the code page lacks (shown only when some were).
    LeftOutCaption = makeLabel(this, "Label6", QStringLiteral("Left out:"), QRect(270, 352, 58, 25));
    LeftOutLb = makeLabel(this, "LeftOutLb", QString(), QRect(330, 352, 70, 25));
    LeftOutLb->setPalette(blue);
    LeftOutCaption->setBuddy(LeftOutLb);
    SetupValueLabel(LeftOutLb, QStringLiteral("Dictionary words not in the code page, left out"));
    for (QLabel *l : {LeftOutCaption, LeftOutLb}) {
        l->setToolTip(QStringLiteral("Dictionary words holding a character the code page lacks: they were left out"));
        l->hide();
    }

    OpenDialog1.filter = kOpenTextFilter;
    SaveDialog1.filter = kTextFilter;
    SaveDialog1.defaultExt = QStringLiteral("txt");
    SaveDialog1.overwritePrompt = true;

    auto *anchors = new TAnchors(this, QSize(492, 386));
    const int all = TAnchors::Left | TAnchors::Top | TAnchors::Right | TAnchors::Bottom;
    const int right = TAnchors::Right | TAnchors::Top, bottom = TAnchors::Left | TAnchors::Bottom;
    const int corner = TAnchors::Right | TAnchors::Bottom, wide = TAnchors::Left | TAnchors::Right | TAnchors::Top;
    anchors->Add(PageControl1, all);
    anchors->Add(CloseBn, corner);
    for (QWidget *w : std::initializer_list<QWidget *>{EncodingBn, codePageCaption, CodePageLb, LeftOutCaption, LeftOutLb})
        anchors->Add(w, bottom);
    // Step 1
    anchors->Add(LbDic, wide);
    anchors->Add(Next1Bn, corner);
    // Step 2
    anchors->Add(TwdMemo, all);
    anchors->Add(LoadTWDBn, bottom);
    anchors->Add(DrillBn, bottom);
    for (QWidget *w : std::initializer_list<QWidget *>{PlanStateLb, GroupBox1, CaseEd, FingerPBox, SpellingBox,
                                                       GamePBox, EndPbox, RegxBox})
        anchors->Add(w, right);
    anchors->Add(PlanBn, corner);
    anchors->Add(Next2Bn, corner);
    // Result
    anchors->Add(ResultMemo, all);
    for (QWidget *w : std::initializer_list<QWidget *>{Button4, Button5, HeadingEd, Button6, Button1, CopyBn,
                                                       SeleteAllBn, ResultCodePageCaption, ResultCodePageLb})
        anchors->Add(w, right);
    anchors->Add(Button2, corner);

    // The note on the plan's keyboard follows what the keyboard now is.
    connect(&CodePageChoice::instance(), &CodePageChoice::changed, this, [this] { showPlanState(); });
    if (DataMod)
        connect(&DataMod->History(), &TDefinitionHistory::Changed, this, [this] { showPlanState(); });

    showPage(Step1Page);
}

TTcgFm::~TTcgFm() = default;

void TTcgFm::buildStep1()
{
    QWidget *p = TabSheet1;
    Label3 = makeLabel(p, "Label3",
                       QStringLiteral("Select a text file containing all words of an alphabetic language, \n"
                                      "for example, 'diction.txt'."),
                       QRect(16, 16, 456, 36));
    LoadDicBn = makeButton(p, "LoadDicBn", QStringLiteral("Load dictionary..."),
                           QStringLiteral("Load a dictionary text file"), QRect(16, 64, 129, 25));
    LbDic = makeLabel(p, "LbDic", QString(), QRect(16, 104, 456, 24));
    LbDic->setAutoFillBackground(true);
    QPalette pal = LbDic->palette();
    pal.setColor(QPalette::Window, QColor(255, 255, 0));
    pal.setColor(QPalette::WindowText, QColor(0, 0, 0));
    LbDic->setPalette(pal);
    QFont f = LbDic->font();
    f.setPointSize(10);
    LbDic->setFont(f);
    SetupValueLabel(LbDic, QStringLiteral("Dictionary file"));
    LbDic->setTextInteractionFlags(Qt::TextSelectableByMouse);
    DicListBn = makeButton(p, "DicListBn", QStringLiteral("The dictionary &window's list"),
                           QStringLiteral("Take the words the dictionary window lists, with their counts"),
                           QRect(156, 64, 190, 25));
    Next1Bn = makeButton(p, "Next1Bn", QStringLiteral("&Next"), QStringLiteral("Next step"),
                         QRect(392, 272, 75, 25));
    connect(DicListBn, &QPushButton::clicked, this, ReportErrors(this, [this] { DicListBnClick(); }));

    connect(LoadDicBn, &QPushButton::clicked, this, ReportErrors(this, [this] { LoadDicBnClick(); }));
    connect(Next1Bn, &QPushButton::clicked, this, ReportErrors(this, [this] { Next1BnClick(); }));
}

void TTcgFm::buildStep2()
{
    QWidget *p = TabSheet2;
    Label1 = makeLabel(p, "Label1",
                       QStringLiteral("Define a list of strings for picking up words from the dictionary"),
                       QRect(8, 4, 220, 32));
    Label1->setWordWrap(true);
    TwdMemo = new QPlainTextEdit(p);
    TwdMemo->setObjectName(QStringLiteral("TwdMemo"));
    TwdMemo->setGeometry(8, 40, 217, 233);
    TwdMemo->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    TwdMemo->setLineWrapMode(QPlainTextEdit::NoWrap);
    TwdMemo->setTabChangesFocus(true);
    TwdMemo->setAccessibleName(QStringLiteral("Defined strings"));
    LoadTWDBn = makeButton(p, "LoadTWDBn", QStringLiteral("&Load..."),
                           QStringLiteral("Load a text file with the defined strings"), QRect(8, 281, 75, 25));
    DrillBn = makeButton(p, "DrillBn", QStringLiteral("&Drill"),
                         QStringLiteral("Add a line with the characters of a finger, a hand or a row of the keyboard"),
                         QRect(90, 281, 75, 25));
    PlanStateLb = makeLabel(p, "PlanStateLb", QString(), QRect(240, 2, 232, 34));
    PlanStateLb->setWordWrap(true);
    PlanStateLb->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    SetupValueLabel(PlanStateLb, QStringLiteral("The plan of the strings"));
    DrillMenu = new QMenu(DrillBn);
    DrillMenu->setObjectName(QStringLiteral("DrillMenu"));
    DrillBn->setMenu(DrillMenu);
    connect(DrillMenu, &QMenu::aboutToShow, this, ReportErrors(this, [this] { fillDrillMenu(); }));

    GroupBox1 = new QGroupBox(QStringLiteral("Word length"), p);
    GroupBox1->setObjectName(QStringLiteral("GroupBox1"));
    GroupBox1->setGeometry(240, 36, 232, 56);
    Label2 = makeLabel(GroupBox1, "Label2", QStringLiteral("Min.:"), QRect(10, 24, 32, 22));
    MinEd = new TSpinEdit(GroupBox1);
    MinEd->setObjectName(QStringLiteral("MinEd"));
    MinEd->setGeometry(44, 22, 60, 24);
    MinEd->SetValue(0);
    Label2->setBuddy(MinEd);
    Label4 = makeLabel(GroupBox1, "Label4", QStringLiteral("Max.:"), QRect(120, 24, 34, 22));
    MaxEd = new TSpinEdit(GroupBox1);
    MaxEd->setObjectName(QStringLiteral("MaxEd"));
    MaxEd->setGeometry(156, 22, 60, 24);
    MaxEd->SetRange(0, 50);
    MaxEd->SetValue(50);
    Label4->setBuddy(MaxEd);

    CaseEd = new QCheckBox(QStringLiteral("Case sensitive"), p);
    CaseEd->setObjectName(QStringLiteral("CaseEd"));
    CaseEd->setGeometry(248, 100, 220, 22);
    CaseEd->resize(CaseEd->sizeHint().width(), 22);

    FingerPBox = makeRadio(p, "FingerPBox", QStringLiteral("Finger placement"),
                           QStringLiteral("Pick up words with these letters only"), QRect(248, 132, 220, 22));
    SpellingBox = makeRadio(p, "SpellingBox", QStringLiteral("Letter strings"),
                            QStringLiteral("Pick up words with letter strings appearing anywhere"),
                            QRect(248, 156, 220, 22));
    GamePBox = makeRadio(p, "GamePBox", QStringLiteral("Head letters"),
                         QStringLiteral("Pick up words with letter strings at the beginning"),
                         QRect(248, 180, 220, 22));
    EndPbox = makeRadio(p, "EndPbox", QStringLiteral("Tail letters"),
                        QStringLiteral("Pick up words with letter strings at the end"), QRect(248, 204, 220, 22));
    RegxBox = makeRadio(p, "RegxBox", QStringLiteral("Regular Expression"),
                        QStringLiteral("Pick up words fitting regular expressions"), QRect(248, 228, 220, 22));
    FingerPBox->setChecked(true);

    // Created here so Tab reaches it after the modes and before "&Generate".
    PlanBn = makeButton(p, "PlanBn", QStringLiteral("&Plan from keyboard..."),
                        QStringLiteral("Plan lessons that bring in the keyboard's keys a few at a time"),
                        QRect(248, 281, 136, 25));
    connect(PlanBn, &QPushButton::clicked, this, ReportErrors(this, [this] { PlanBnClick(); }));
    LessonsBn = makeButton(p, "LessonsBn", QStringLiteral("Lesson &texts..."),
                           QStringLiteral("Drills, words and sentences for each lesson of the plan, for this and "
                                          "other typing tutors"),
                           QRect(248, 253, 136, 25));
    LessonsBn->setEnabled(false);
    connect(LessonsBn, &QPushButton::clicked, this, ReportErrors(this, [this] { LessonsBnClick(); }));

    Next2Bn = makeButton(p, "Next2Bn", QStringLiteral("&Generate"),
                         QStringLiteral("Pick up groups of words from the dictionary"), QRect(392, 281, 75, 25));

    connect(LoadTWDBn, &QPushButton::clicked, this, ReportErrors(this, [this] { LoadTWDBnClick(); }));
    connect(Next2Bn, &QPushButton::clicked, this, ReportErrors(this, [this] { Next2BnClick(); }));
}

void TTcgFm::buildResult()
{
    QWidget *p = TabSheet3;
    ResultMemo = new QPlainTextEdit(p);
    ResultMemo->setObjectName(QStringLiteral("ResultMemo"));
    ResultMemo->setGeometry(8, 8, 353, 298);
    ResultMemo->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    ResultMemo->setTabChangesFocus(true);
    ResultMemo->setAccessibleName(QStringLiteral("Result"));

    const int x = 372, w = 104, h = 25;
    Button4 = makeButton(p, "Button4", QStringLiteral("Sort by &default"), QString(), QRect(x, 8, w, h));
    Button5 = makeButton(p, "Button5", QStringLiteral("Sort by &length"), QString(), QRect(x, 40, w, h));
    HeadingEd = new QCheckBox(QStringLiteral("With &headings"), p);
    HeadingEd->setObjectName(QStringLiteral("HeadingEd"));
    HeadingEd->setGeometry(x, 72, w, 22);
    HeadingEd->resize(std::min(w, HeadingEd->sizeHint().width()), 22);
    HeadingEd->setChecked(true);
    Button6 = makeButton(p, "Button6", QStringLiteral("Make &wordlist"), QStringLiteral("One word per line"),
                         QRect(x, 104, w, h));
    Button1 = makeButton(p, "Button1", QStringLiteral("&Save ..."), QStringLiteral("Save the result to a text file"),
                         QRect(x, 152, w, h));
    CopyBn = makeButton(p, "CopyBn", QStringLiteral("&Copy"), QStringLiteral("Copy the selected text to clipboard"),
                        QRect(x, 184, w, h));
    SeleteAllBn = makeButton(p, "SeleteAllBn", QStringLiteral("Select &All"), QString(), QRect(x, 216, w, h));
    // The result stays in the code page it was generated in.
    ResultCodePageCaption = makeLabel(p, "Label7", QStringLiteral("Result in code page:"), QRect(x, 244, w, 16));
    ResultCodePageLb = makeLabel(p, "ResultCodePageLb", QString(), QRect(x, 260, w, 16));
    QPalette blue = ResultCodePageLb->palette();
    blue.setColor(QPalette::WindowText, QColor(0, 0, 255));
    ResultCodePageLb->setPalette(blue);
    ResultCodePageCaption->setBuddy(ResultCodePageLb);
    SetupValueLabel(ResultCodePageLb, QStringLiteral("The code page of the result"));
    for (QLabel *l : {ResultCodePageCaption, ResultCodePageLb})
        l->setToolTip(QStringLiteral("The code page the result was generated in; it is saved in it"));
    Button2 = makeButton(p, "Button2", QStringLiteral("&Reset"),
                         QStringLiteral("Clear the result and back to the first step"), QRect(x, 281, w, h));

    connect(Button4, &QPushButton::clicked, this, ReportErrors(this, [this] { Button4Click(); }));
    connect(Button5, &QPushButton::clicked, this, ReportErrors(this, [this] { Button5Click(); }));
    connect(HeadingEd, &QCheckBox::clicked, this, ReportErrors(this, [this] { HeadingEdClick(); }));
    connect(Button6, &QPushButton::clicked, this, ReportErrors(this, [this] { Button6Click(); }));
    connect(Button1, &QPushButton::clicked, this, ReportErrors(this, [this] { Button1Click(); }));
    connect(CopyBn, &QPushButton::clicked, this, [this] { CopyBnClick(); });
    connect(SeleteAllBn, &QPushButton::clicked, this, [this] { SeleteAllBnClick(); });
    connect(Button2, &QPushButton::clicked, this, ReportErrors(this, [this] { Button2Click(); }));
}

TTcgFm::Page TTcgFm::CurrentPage() const
{
    return Page(PageControl1->currentIndex());
}

void TTcgFm::showPage(Page page)
{
    if (page == Step2Page)
        showPlanState();
    // Only the current step shows its tab, so the pages act as a wizard.
    PageControl1->setTabVisible(page, true);
    PageControl1->setCurrentIndex(page);
    for (int i = 0; i < PageControl1->count(); ++i)
        if (i != page)
            PageControl1->setTabVisible(i, false);
}

QString TTcgFm::MemoText(const QPlainTextEdit *memo)
{
    // toPlainText() would turn non-breaking spaces into blanks; word bytes
    // must come back as they were.
    QString text = memo->document()->toRawText();
    for (QChar &c : text)
        if (c == QChar::ParagraphSeparator || c == QChar::LineSeparator)
            c = QLatin1Char('\n');
    return text;
}

int TTcgFm::pickMode() const
{
    if (SpellingBox->isChecked())
        return tcgClass::LetterStrings;
    if (GamePBox->isChecked())
        return tcgClass::HeadLetters;
    if (EndPbox->isChecked())
        return tcgClass::TailLetters;
    if (RegxBox->isChecked())
        return tcgClass::RegularExpression;
    return tcgClass::FingerPlacement;
}

void TTcgFm::renderResult(int view, bool withHeadings)
{
    const std::string bytes = tcg->RenderResultText(view, withHeadings);
    QString text = tcg->TextCodePage().decode(bytes);
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    QTextDocument *doc = ResultMemo->document();
    const bool edited = !doc->isEmpty() && doc->isModified();
    if (doc->isEmpty()) {
        ResultMemo->setPlainText(text);
        resultBytes = bytes;
    } else {
        QTextCursor end(doc);
        end.movePosition(QTextCursor::End);
        end.insertText(text);
        resultBytes += bytes;
    }
    // What the program put there is no edit of the user's.
    doc->setModified(edited);
    QTextCursor top(doc);
    top.movePosition(QTextCursor::Start);
    ResultMemo->setTextCursor(top);
    ResultMemo->ensureCursorVisible();
}

void TTcgFm::clearResult()
{
    ResultMemo->clear();
    ResultMemo->document()->setModified(false);
    resultBytes.clear();
}

void TTcgFm::rememberOpened(const QString &path)
{
    OpenDialog1.fileName = path;
    OpenDialog1.initialDir = QFileInfo(path).absolutePath();
}

void TTcgFm::LoadDicBnClick()
{
    const QString path = Dialogs().openFile(OpenDialog1);
    if (path.isEmpty())
        return;
    listWords.reset();
    rememberOpened(path);
    LbDic->setText(path);
}

void TTcgFm::Next1BnClick()
{
    if (LbDic->text().isEmpty()) {
        Dialogs().message(ApplicationTitle(), QStringLiteral("Please select a dictionary file first."));
        return;
    }
    showPage(Step2Page);
}

void TTcgFm::LoadTWDBnClick()
{
    const QString path = Dialogs().openFile(OpenDialog1);
    if (path.isEmpty())
        return;
    if (!askBeforeReplacing(true, QFileInfo(path).fileName()))
        return;
    loadStrings(path);
}

bool TTcgFm::OpenDictionary(const QString &path)
{
    if (!askBeforeReplacing(false, QFileInfo(path).fileName()))
        return false;
    putResultAway();
    listWords.reset();
    rememberOpened(path);
    LbDic->setText(path);
    showPage(Step1Page);
    return true;
}

bool TTcgFm::OpenStrings(const QString &path)
{
    if (!askBeforeReplacing(true, QFileInfo(path).fileName()))
        return false;
    loadStrings(path);
    putResultAway();
    // The strings are picked against a dictionary: without one, step 1 asks for it first.
    showPage(LbDic->text().isEmpty() ? Step1Page : Step2Page);
    return true;
}

bool TTcgFm::resultEdited() const
{
    return !ResultMemo->document()->isEmpty() && ResultMemo->document()->isModified();
}

QStringList TTcgFm::workLostBy(bool withStrings) const
{
    QStringList lost;
    if (withStrings && TwdMemo->document()->isModified() && !MemoText(TwdMemo).trimmed().isEmpty())
        lost << (usedPlanKeyboard ? QStringLiteral("the strings of step 2, put in by a plan (no file holds them)")
                                  : QStringLiteral("the strings of step 2, typed (no file holds them)"));
    // The result goes when a file is opened on the result page, and with the window.
    if (resultEdited() && (withStrings || CurrentPage() == ResultPage))
        lost << QStringLiteral("the result, edited by hand and not saved");
    return lost;
}

QStringList TTcgFm::UnsavedWork() const
{
    QStringList lost = workLostBy(true);
    if (resultEdited() && !lost.contains(QStringLiteral("the result, edited by hand and not saved")))
        lost << QStringLiteral("the result, edited by hand and not saved");
    return lost;
}

bool TTcgFm::CanSaveWork() const
{
    return resultEdited();
}

bool TTcgFm::SaveWork()
{
    bool saved = false;
    RunReportingErrors(this, [this, &saved] { saved = Button1Click(); });
    return saved;
}

bool TTcgFm::askBeforeReplacing(bool withStrings, const QString &what)
{
    const QStringList lost = workLostBy(withStrings);
    if (lost.isEmpty())
        return true;
    QString question = QStringLiteral("Opening \"%1\" replaces work of the course window that is not saved:").arg(what);
    for (const QString &line : lost)
        question += QStringLiteral("\n  \u2022 ") + line;
    if (!resultEdited() || !lost.contains(QStringLiteral("the result, edited by hand and not saved")))
        return Dialogs().okCancel(question + QStringLiteral("\n\nIt cannot be saved and will be lost. Open anyway?"));
    switch (Dialogs().saveDiscardCancel(question + QStringLiteral("\n\nSave the result first?"))) {
    case SaveAnswer::Save: {
        bool saved = false;
        RunReportingErrors(this, [this, &saved] { saved = Button1Click(); });
        return saved;
    }
    case SaveAnswer::Discard:
        return true;
    case SaveAnswer::Cancel:
        break;
    }
    return false;
}

void TTcgFm::putResultAway()
{
    if (CurrentPage() != ResultPage)
        return;
    clearResult();
    showLeftOut(0);
}

void TTcgFm::loadStrings(const QString &path)
{
    rememberOpened(path);
    // Read first: a file that cannot be read (or holds a string the code page
    // lacks) leaves the strings as they were.
    const std::vector<std::string> lines = ReadCodePageLines(LocalPath(path), Encoding1->encoding());
    QStringList text;
    text.reserve(int(lines.size()));
    const CodePage &cp = CodePage::current();
    for (const std::string &line : lines)
        text << cp.decode(line);
    QString box = text.join(QLatin1Char('\n'));
    // The box drops an empty line after the last line break, so a final empty
    // string gets a line break of its own and stays a string.
    if (!lines.empty() && lines.back().empty())
        box += QLatin1Char('\n');
    TwdMemo->setPlainText(box);
    // What a file holds is no work to lose; nor is it a plan's any more.
    TwdMemo->document()->setModified(false);
    usedPlanKeyboard.reset();
    planNews.clear();
    LessonsBn->setEnabled(false);
    showPlanState();
    emit FileUsed(RecentKind::Strings, path);
}

void TTcgFm::Next2BnClick()
{
    // A string is matched against code-page words: a character the code page
    // lacks would become "?", which in a regular expression means something
    // else entirely.
    const CodePage &codePage = CodePage::current();
    const QString typed = MemoText(TwdMemo);
    if (const QString lacking = codePage.unheldMessage(typed); !lacking.isEmpty()) {
        Dialogs().message(ApplicationTitle(),
                          lacking + QStringLiteral("\n\nThe strings pick words of the dictionary, which is in the "
                                                   "code page: change them, or choose another code page."));
        return;
    }
    const WordList strings = splitLines(codePage.encode(typed));
    if (strings.empty()) {
        Dialogs().message(ApplicationTitle(), QStringLiteral("Please define strings to pick up words."));
        return;
    }
    {
        BusyCursor busy;
        tcg->MinLength = MinEd->Value();
        tcg->MaxLength = MaxEd->Value();
        tcg->CaseSensitive = CaseEd->isChecked();
        {
            // Read anew each time, so changes to the file between generations count.
            // Words holding a character the code page lacks are left out.
            if (listWords) {
                tcg->Generate(*listWords, strings, pickMode());
                showLeftOut(0);
            } else {
                DecodedLines dictionary = ReadDecodedLines(LocalPath(LbDic->text()), Encoding1->encoding());
                emit FileUsed(RecentKind::Dictionary, LbDic->text());
                // A frequency list ("word TAB count") gives its words.
                tcg->Generate(TPlanDictionary::WordsOf(std::move(dictionary.lines)), strings, pickMode());
                showLeftOut(dictionary.unmappable.size());
            }
        }
        ResultCodePageLb->setText(QString::fromStdString(tcg->TextCodePage().name()));
        renderResult(tcgClass::AsPicked, true);
        showPage(ResultPage);
    }
}

void TTcgFm::DicListBnClick()
{
    // The dictionary window that lists words: the active one first.
    TDicFm *found = nullptr;
    for (QWidget *w : QApplication::allWidgets())
        if (auto *dic = qobject_cast<TDicFm *>(w); dic && dic->Builder().WordCount() > 0)
            if (!found || dic->isActiveWindow())
                found = dic;
    if (!found) {
        Dialogs().message(ApplicationTitle(),
                          QStringLiteral("No dictionary window lists words: make a word list there first."));
        return;
    }
    // The words as the window lists them, in its order and filter.
    const TRecordTable &table = found->Builder().WordListDS();
    const int wordField = table.FindFieldIndex("Word"), countField = table.FindFieldIndex("Count");
    auto words = std::make_unique<std::vector<std::string>>();
    std::vector<uint64_t> counts;
    const int n = table.RecordCount();
    words->reserve(size_t(n));
    counts.reserve(size_t(n));
    for (int i = 0; i < n; ++i) {
        words->emplace_back(table.FieldBytesAt(i, wordField));
        const TValue count = table.FieldValueAt(i, countField);
        counts.push_back(count.IsNull() ? 1 : uint64_t(std::max<int64_t>(0, count.integer())));
    }
    putResultAway();
    listWords = std::move(words);
    listCounts = std::move(counts);
    LbDic->setText(QStringLiteral("(the dictionary window's list: %1 words)").arg(n));
    showPage(Step1Page);
}

TPlanDictionary TTcgFm::planDictionary() const
{
    if (listWords) {
        TPlanDictionary d;
        d.Words = *listWords;
        d.Counts = listCounts;
        d.HasCounts = true;
        return d;
    }
    DecodedLines lines = ReadDecodedLines(LocalPath(LbDic->text()), Encoding1->encoding());
    return TPlanDictionary::FromDecoded(std::move(lines));
}

const TKeyLayout *TTcgFm::keyboard() const
{
    if (!planPackage.isEmpty()) {
        // Read again when the session has changed its code page since.
        const QString codePage = CodePageChoice::instance().current();
        if (!planKeyboard || planKeyboardCodePage != codePage) {
            planKeyboard = std::make_unique<TKeyLayout>(TCoursePlanDlg::ReadKeyboardPackage(LocalPath(planPackage)));
            planKeyboardCodePage = codePage;
        }
        return planKeyboard.get();
    }
    // An empty definition is none: nothing loaded, typed or named.
    if (!DataMod || (DataMod->MainTbl.RecordCount() == 0 && DataMod->Ctbl.RecordCount() == 0 &&
                     DataMod->PackageCodePage.empty() && !DataMod->Unsaved()))
        return nullptr;
    // A definition without (character) keys is still the keyboard: the plan
    // says what it lacks.
    definitionKeyboard = std::make_unique<TKeyLayout>(TKeyLayout::FromDataMod(*DataMod));
    return definitionKeyboard.get();
}

bool TTcgFm::planKeyboardChanged() const
{
    if (!usedPlanKeyboard)
        return false;
    if (usedPlanCodePage != CodePageChoice::instance().current())
        return true;
    const TKeyLayout *now = nullptr;
    try {
        now = keyboard();
    } catch (const std::exception &) {
        return true; // the package cannot be read any more
    }
    return !now || !sameKeys(*now, *usedPlanKeyboard);
}

void TTcgFm::showPlanState()
{
    if (!usedPlanKeyboard) {
        PlanStateLb->clear();
        PlanStateLb->setToolTip(QString());
        return;
    }
    QPalette pal = PlanStateLb->palette();
    if (planKeyboardChanged()) {
        PlanStateLb->setText(QStringLiteral("The keyboard has changed since this plan was made: plan again."));
        PlanStateLb->setToolTip(
            QStringLiteral("The strings were planned from %1 as it was then (code page %2); its keys, characters "
                           "or code page are not the same now")
                .arg(usedPlanKeyboardName, usedPlanCodePage));
        pal.setColor(QPalette::WindowText, QColor(176, 0, 0));
    } else {
        PlanStateLb->setText(QStringLiteral("Planned from %1.").arg(usedPlanKeyboardName));
        PlanStateLb->setToolTip(QString());
        pal.setColor(QPalette::WindowText, palette().color(QPalette::WindowText));
    }
    PlanStateLb->setPalette(pal);
}

void TTcgFm::PlanBnClick()
{
    if (LbDic->text().isEmpty()) {
        Dialogs().message(ApplicationTitle(), QStringLiteral("Please select a dictionary file first."));
        return;
    }
    if (planDlg) {
        planDlg->raise();
        planDlg->activateWindow();
        return;
    }
    TPlanDictionary dictionary;
    {
        BusyCursor busy;
        dictionary = planDictionary();
    }
    const TKeyLayout *kb = keyboard();
    const QString name = planPackage.isEmpty() ? QStringLiteral("the keyboard definition open in the program")
                                               : QFileInfo(planPackage).fileName();
    planDlg = new TCoursePlanDlg(this, std::move(dictionary), kb, name, MinEd->Value(), MaxEd->Value());
    if (!planPackage.isEmpty())
        planDlg->SetKeyboardFile(planPackage);
    planDlg->setAttribute(Qt::WA_DeleteOnClose);
    connect(planDlg, &QDialog::accepted, this, ReportErrors(this, [this] {
                if (planDlg)
                    UsePlan(*planDlg);
            }));
    planDlg->open();
}

TCoursePlanDlg *TTcgFm::PlanDialog() const
{
    return planDlg.data();
}

void TTcgFm::UsePlan(const TCoursePlanDlg &dialog)
{
    const TCoursePlan *plan = dialog.Plan();
    if (!plan || plan->Lessons().empty())
        return;
    const CodePage &cp = CodePage::current();
    QStringList lines;
    for (const std::string &s : plan->Strings())
        lines << cp.decode(s);
    TwdMemo->setPlainText(lines.join(QLatin1Char('\n')));
    // No file holds what the plan put in.
    TwdMemo->document()->setModified(true);
    FingerPBox->setChecked(true);
    MinEd->SetValue(plan->Options().MinLength);
    MaxEd->SetValue(plan->Options().MaxLength);
    CaseEd->setChecked(plan->CaseSensitive());
    // A package chosen for the plan stays the keyboard to plan and drill
    // from until "&Reset"; else the definition open at the time is read.
    planPackage = dialog.KeyboardFile();
    planKeyboard.reset();
    usedPlanKeyboard = dialog.Keyboard() ? std::make_unique<TKeyLayout>(*dialog.Keyboard()) : nullptr;
    usedPlanCodePage = CodePageChoice::instance().current();
    usedPlanKeyboardName = planPackage.isEmpty() ? QStringLiteral("the keyboard definition")
                                                 : QFileInfo(planPackage).fileName();
    planNews.clear();
    for (const TPlanLesson &l : plan->Lessons())
        planNews.push_back(l.New);
    LessonsBn->setEnabled(true);
    showPage(Step2Page);
}

void TTcgFm::LessonsBnClick()
{
    if (lessonsDlg) {
        lessonsDlg->raise();
        lessonsDlg->activateWindow();
        return;
    }
    const TKeyLayout *kb = keyboard();
    if (planNews.empty() || !kb) {
        Dialogs().message(ApplicationTitle(), QStringLiteral("Plan the lessons from a keyboard and use the plan first."));
        return;
    }
    TPlanDictionary dictionary;
    {
        BusyCursor busy;
        dictionary = planDictionary();
    }
    lessonsDlg = new TLessonTextsDlg(this, *kb, std::move(dictionary), planNews, Encoding1->encoding());
    lessonsDlg->setAttribute(Qt::WA_DeleteOnClose);
    lessonsDlg->show();
}

TLessonTextsDlg *TTcgFm::LessonsDialog() const
{
    return lessonsDlg.data();
}

void TTcgFm::fillDrillMenu()
{
    DrillMenu->clear();
    const TKeyLayout *kb = keyboard();
    if (!kb || kb->Keys.empty()) {
        DrillMenu->addAction(QStringLiteral("(no keyboard: open a definition, or plan from a package)"))
            ->setEnabled(false);
        return;
    }
    const CodePage &cp = CodePage::current();
    const auto add = [&](QMenu *menu, const QString &caption, int kind, int which, const std::string &chars) {
        if (chars.empty())
            return;
        QAction *a = menu->addAction(caption + QStringLiteral(":  ") + cp.decode(chars));
        connect(a, &QAction::triggered, this, ReportErrors(this, [this, kind, which] { AddDrillLine(kind, which); }));
    };
    QMenu *fingers = DrillMenu->addMenu(QStringLiteral("&Finger"));
    QMenu *hands = DrillMenu->addMenu(QStringLiteral("&Hand"));
    QMenu *rows = DrillMenu->addMenu(QStringLiteral("&Row"));
    QMenu *lesson = DrillMenu->addMenu(QStringLiteral("&Current lesson, one finger"));
    const std::string line = currentLine();
    for (int f = 0; f < Fingers::kCount; ++f) {
        const QString caption = QString::fromLatin1(Fingers::kNames[f].caption);
        add(fingers, caption, 0, f, DrillChars(*kb, TDrillKind::Finger, f));
        if (!line.empty())
            add(lesson, caption, 3, f, DrillChars(*kb, TDrillKind::Finger, f, line));
    }
    add(hands, QStringLiteral("Left hand"), 1, 0, DrillChars(*kb, TDrillKind::Hand, 0));
    add(hands, QStringLiteral("Right hand"), 1, 1, DrillChars(*kb, TDrillKind::Hand, 1));
    for (int r = 0; r < int(kb->Rows.size()); ++r)
        add(rows, QStringLiteral("Row %1").arg(r + 1), 2, r, DrillChars(*kb, TDrillKind::Row, r));
    for (QMenu *m : {fingers, hands, rows, lesson})
        m->setEnabled(!m->isEmpty());
}

std::string TTcgFm::currentLine() const
{
    const QString text = TwdMemo->textCursor().block().text();
    return CodePage::current().encode(text);
}

void TTcgFm::AddDrillLine(int kind, int which)
{
    const TKeyLayout *kb = keyboard();
    if (!kb)
        return;
    std::string chars;
    switch (kind) {
    case 0: chars = DrillChars(*kb, TDrillKind::Finger, which); break;
    case 1: chars = DrillChars(*kb, TDrillKind::Hand, which); break;
    case 2: chars = DrillChars(*kb, TDrillKind::Row, which); break;
    default: chars = DrillChars(*kb, TDrillKind::Finger, which, currentLine()); break;
    }
    if (chars.empty())
        return;
    QTextCursor end(TwdMemo->document());
    end.movePosition(QTextCursor::End);
    QString add = CodePage::current().decode(chars);
    if (!TwdMemo->document()->isEmpty() && !end.block().text().isEmpty())
        add.prepend(QLatin1Char('\n'));
    end.insertText(add);
    TwdMemo->setTextCursor(end);
}

void TTcgFm::Button4Click()
{
    clearResult();
    renderResult(tcgClass::SortDefault, HeadingEd->isChecked());
}

void TTcgFm::Button5Click()
{
    clearResult();
    renderResult(tcgClass::SortByLength, HeadingEd->isChecked());
}

void TTcgFm::HeadingEdClick()
{
    clearResult();
    renderResult(HeadingEd->isChecked() ? tcgClass::WithHeadings : tcgClass::NoHeadings, false);
}

void TTcgFm::Button6Click()
{
    clearResult();
    renderResult(tcgClass::WordListView, false);
}

bool TTcgFm::Button1Click()
{
    // The result is written in the code page it was generated in; what the
    // user typed that it lacks would turn into "?".
    const bool edited = ResultMemo->document()->isModified();
    const CodePage &codePage = tcg->TextCodePage();
    QString text;
    if (edited) {
        text = MemoText(ResultMemo);
        if (const QString lacking = codePage.unheldMessage(text); !lacking.isEmpty()) {
            const QString question =
                lacking + QStringLiteral("\n\nThe result is saved in the code page %1, which writes each of these "
                                         "characters as \"?\". Save it anyway?")
                              .arg(QString::fromStdString(codePage.name()));
            if (!Dialogs().confirm(question))
                return false;
        }
    }
    const QString path = Dialogs().saveFile(SaveDialog1);
    if (path.isEmpty())
        return false;
    SaveDialog1.fileName = path;
    if (!edited) {
        // The result text byte for byte, as rendered.
        writeFileBytes(LocalPath(path), resultBytes);
        return true;
    }
    text.replace(QLatin1Char('\n'), QStringLiteral("\r\n"));
    std::string bytes = codePage.encode(text);
    writeFileBytes(LocalPath(path), bytes);
    // The edited text is saved: it is the result now, and nothing is lost with the window.
    resultBytes = std::move(bytes);
    ResultMemo->document()->setModified(false);
    return true;
}

void TTcgFm::CopyBnClick()
{
    ResultMemo->copy();
}

void TTcgFm::SeleteAllBnClick()
{
    ResultMemo->selectAll();
}

void TTcgFm::Button2Click()
{
    clearResult();
    showLeftOut(0);
    // A new start plans from the keyboard definition open now.
    planPackage.clear();
    planKeyboard.reset();
    // The lesson texts belong to the plan used: a new start has none.
    planNews.clear();
    LessonsBn->setEnabled(false);
    showPage(Step1Page);
}

void TTcgFm::showLeftOut(size_t count)
{
    LeftOutLb->setText(QString::number(count));
    LeftOutCaption->setVisible(count > 0);
    LeftOutLb->setVisible(count > 0);
}

void TTcgFm::closeEvent(QCloseEvent *event)
{
    if (!AskToKeepWork()) {
        event->ignore();
        return;
    }
    TChildForm::closeEvent(event);
}

void TTcgFm::CloseBnClick()
{
    if (auto *frame = qobject_cast<QMdiSubWindow *>(parentWidget()))
        frame->close();
    else
        close();
}

} // namespace kf
