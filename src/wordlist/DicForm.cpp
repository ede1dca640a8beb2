#include "wordlist/DicForm.h"

#include "ui/Anchors.h"
#include "ui/BusyCursor.h"
#include "ui/CodePageChoice.h"
#include "ui/InputEncodingMenu.h"
#include "ui/ValueLabel.h"
#include "words/DicBuilder.h"
#include "common/TextSource.h"
#include "common/CodePage.h"
#include "common/ErrorReport.h"
#include "common/Errors.h"
#include "common/FilePath.h"
#include "common/IntegerText.h"
#include "dbctrls/DBGrid.h"
#include "dbctrls/TableModel.h"
#include "table/DataSource.h"

#include <QAction>
#include <QCheckBox>
#include <QCloseEvent>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFileInfo>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QRegularExpression>
#include <QTableWidget>
#include <QVBoxLayout>

namespace kf {

namespace {

// The client area below the menu bar.
constexpr int kClientWidth = 548;
constexpr int kClientHeight = 438;

const QColor kLightGreen(192, 220, 192);
const QColor kLightBlue(240, 238, 255);
const QColor kNavy(0, 0, 128);
const QColor kBlue(0, 0, 255);
const QString kTextFilter = QStringLiteral("Text (*.txt)|*.txt");
// Texts to scan often have no .txt name (subtitles, word lists).
const QString kOpenTextFilter = QStringLiteral("Text (*.txt)|*.txt|All files (*)|*");
// The words not in the code page shown at most.
constexpr size_t kUnmappableShown = 1000;

// The standard delimiters that can be seen.
const QString kVisibleDelimiters = QStringLiteral(",. ;/\\:'\"`[](){}");

QLabel *makeLabel(QWidget *parent, const char *name, const QString &text, const QRect &geometry)
{
    auto *l = new QLabel(text, parent);
    l->setObjectName(QString::fromLatin1(name));
    l->setGeometry(geometry);
    return l;
}

// A counter's value: right-aligned, blue.
QLabel *makeValue(QWidget *parent, const char *name, const QRect &geometry)
{
    QLabel *l = makeLabel(parent, name, QStringLiteral("0"), geometry);
    l->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    QPalette pal = l->palette();
    pal.setColor(QPalette::WindowText, kBlue);
    l->setPalette(pal);
    return l;
}

// A state shown beside the counters (order, filter, code page): blue, left.
QLabel *makeState(QWidget *parent, const char *name, const QRect &geometry)
{
    QLabel *l = makeValue(parent, name, geometry);
    l->setText(QString());
    l->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    return l;
}

} // namespace

TDicFm::TDicFm(QWidget *parent)
    : TChildForm(parent), DicBuilder(std::make_unique<TDicBuilder>()),
      WordListSource(std::make_unique<TDataSource>(&DicBuilder->WordListDS()))
{
    setObjectName(QStringLiteral("DicFm"));
    setWindowTitle(QStringLiteral("Make Dictionary"));
    setAutoFillBackground(true);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, kLightGreen);
    setPalette(pal);

    buildMenu();
    buildControls();

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->setMenuBar(MainMenu1);
    layout->addWidget(ClientArea);
    // The menu bar sits on top of the 548 x 438 client area.
    // It may be made larger: the grid grows, the states below it follow.
    setInitialClientSize(kClientWidth, kClientHeight + menuBarHeight());

    OpenDialog1.title = QStringLiteral("Select multiple files to scan");
    OpenDialog1.filter = kOpenTextFilter;
    OpenDialog1.multiple = true;
    SaveDialog1.filter = kTextFilter;
    SaveDialog1.defaultExt = QStringLiteral("txt");
    SaveDialog1.overwritePrompt = true;

    showOrderAndFilter();
    showCodePage();
    connect(&CodePageChoice::instance(), &CodePageChoice::changed, this, [this] { showCodePage(); });
    // A word changed or deleted in the grid is a change of the list.
    TRecordTable &list = DicBuilder->WordListDS();
    list.AfterPost = [this](TRecordTable &) { m_unsaved = true; };
    list.AfterDelete = [this](TRecordTable &) { m_unsaved = true; };
}

TDicFm::~TDicFm()
{
    TRecordTable &list = DicBuilder->WordListDS();
    list.AfterPost = nullptr;
    list.AfterDelete = nullptr;
    // The grid lets go of the binding point before the table goes.
    delete WordGrid;
    WordGrid = nullptr;
}

QAction *TDicFm::makeAction(const char *name, const QString &caption, const QKeySequence &shortcut,
                            const QString &hint)
{
    auto *a = new QAction(caption, this);
    a->setObjectName(QString::fromLatin1(name));
    a->setShortcut(shortcut);
    a->setShortcutContext(Qt::WidgetWithChildrenShortcut);
    if (!hint.isEmpty()) {
        a->setToolTip(hint);
        a->setStatusTip(hint);
    }
    addAction(a); // the shortcut works without opening a menu
    return a;
}

void TDicFm::buildMenu()
{
    A_MakeWordList = makeAction("A_MakeWordList", QStringLiteral("Make &wordlist ..."),
                                QKeySequence(Qt::CTRL | Qt::Key_W),
                                QStringLiteral("Scan multiple files to create a wordlist"));
    A_SaveWordlist = makeAction("A_SaveWordlist", QStringLiteral("&Save wordlist"),
                                QKeySequence(Qt::CTRL | Qt::Key_S), QString());
    A_SaveWithCounts = makeAction(
        "A_SaveWithCounts", QStringLiteral("Save with &counts..."), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_S),
        QStringLiteral("Save the listed words with their counts, \"word TAB count\" a line, for the course "
                       "plan's coverage and frequency order"));
    Exit1 = new QAction(QStringLiteral("&Exit"), this);
    Exit1->setObjectName(QStringLiteral("Exit1"));
    A_KickoutDigits = makeAction("A_KickoutDigits", QStringLiteral("Delete words with &digits"), QKeySequence(),
                                 QString());
    A_DeleteSelected = makeAction(
        "A_DeleteSelected", QStringLiteral("Delete &selected"), QKeySequence(),
        QStringLiteral("Use Ctrl key and mouse clicks to select multiple lines, then press this button"));
    A_ClearWordlist = makeAction("A_ClearWordlist", QStringLiteral("&Clear wordlist"), QKeySequence(), QString());
    A_SortByFrequency = makeAction("A_SortByFrequency", QStringLiteral("Sort by &frequency"),
                                   QKeySequence(Qt::Key_F5), QString());
    A_SortByAlpha = makeAction("A_SortByAlpha", QStringLiteral("Sort by &alpha"), QKeySequence(Qt::Key_F6),
                               QString());
    A_SortByLen = makeAction("A_SortByLen", QStringLiteral("Sort by &length"), QKeySequence(Qt::Key_F7),
                             QString());
    A_ListAll = makeAction("A_ListAll", QStringLiteral("List &all"), QKeySequence(Qt::Key_F9), QString());
    A_FilterWordLength = makeAction("A_FilterWordLength", QStringLiteral("Filter words with min and max &lengths"),
                                    QKeySequence(Qt::Key_F11), QString());
    A_FilterFrequency = makeAction("A_FilterFrequency",
                                   QStringLiteral("Filter words with min and max &frequencies"),
                                   QKeySequence(Qt::Key_F10), QString());

    A_ShowUnmappable = makeAction(
        "A_ShowUnmappable", QStringLiteral("Words &not in the code page ..."), QKeySequence(),
        QStringLiteral("The most frequent scanned words holding a character that the code page lacks"));

    // A command that fails is reported in this window's name.
    const auto onTriggered = [this](QAction *action, auto handler) {
        connect(action, &QAction::triggered, this, ReportErrors(this, std::move(handler)));
    };
    onTriggered(A_MakeWordList, [this] { A_MakeWordListExecute(); });
    onTriggered(A_SaveWordlist, [this] { A_SaveWordlistExecute(); });
    onTriggered(A_SaveWithCounts, [this] { A_SaveWithCountsExecute(); });
    onTriggered(Exit1, [this] { Exit1Click(); });
    onTriggered(A_KickoutDigits, [this] { A_KickoutDigitsExecute(); });
    onTriggered(A_DeleteSelected, [this] { A_DeleteSelectedExecute(); });
    onTriggered(A_ClearWordlist, [this] { A_ClearWordlistExecute(); });
    onTriggered(A_SortByFrequency, [this] { A_SortByFrequencyExecute(); });
    onTriggered(A_SortByAlpha, [this] { A_SortByAlphaExecute(); });
    onTriggered(A_SortByLen, [this] { A_SortByLenExecute(); });
    onTriggered(A_ListAll, [this] { A_ListAllExecute(); });
    onTriggered(A_FilterWordLength, [this] { A_FilterWordLengthExecute(); });
    onTriggered(A_FilterFrequency, [this] { A_FilterFrequencyExecute(); });
    onTriggered(A_ShowUnmappable, [this] { A_ShowUnmappableExecute(); });

    MainMenu1 = new QMenuBar(this);
    MainMenu1->setObjectName(QStringLiteral("MainMenu1"));
    MainMenu1->setNativeMenuBar(false);
    Actions1 = MainMenu1->addMenu(QStringLiteral("&Actions"));
    Actions1->setObjectName(QStringLiteral("Actions1"));
    Actions1->addAction(A_MakeWordList);
    Actions1->addAction(A_SaveWordlist);
    Actions1->addAction(A_SaveWithCounts);
    Actions1->addAction(A_ShowUnmappable);
    Actions1->addSeparator();
    Actions1->addAction(Exit1);
    Delete1 = MainMenu1->addMenu(QStringLiteral("&Delete"));
    Delete1->setObjectName(QStringLiteral("Delete1"));
    Delete1->addAction(A_KickoutDigits);
    Delete1->addAction(A_DeleteSelected);
    Delete1->addAction(A_ClearWordlist);
    Sort1 = MainMenu1->addMenu(QStringLiteral("&Sort"));
    Sort1->setObjectName(QStringLiteral("Sort1"));
    Sort1->addAction(A_SortByFrequency);
    Sort1->addAction(A_SortByAlpha);
    Sort1->addAction(A_SortByLen);
    Filter1 = MainMenu1->addMenu(QStringLiteral("&Filter"));
    Filter1->setObjectName(QStringLiteral("Filter1"));
    Filter1->addAction(A_ListAll);
    Filter1->addAction(A_FilterWordLength);
    Filter1->addAction(A_FilterFrequency);
    Encoding1 = new InputEncodingMenu(this);
    MainMenu1->addMenu(Encoding1);
    for (QMenu *m : {Actions1, Delete1, Sort1, Filter1})
        m->setToolTipsVisible(true);
}

int TDicFm::menuBarHeight() const
{
    // As the window's layout measures it for the window's width.
    const int h = MainMenu1->heightForWidth(kClientWidth);
    return h > 0 ? h : MainMenu1->sizeHint().height();
}

QPushButton *TDicFm::makeButton(const char *name, QAction *action, const QRect &geometry)
{
    // A button bound to an action shows its caption and hint and runs it.
    auto *b = new QPushButton(action->text(), ClientArea);
    b->setObjectName(QString::fromLatin1(name));
    b->setGeometry(geometry);
    b->setToolTip(action->statusTip());
    connect(b, &QPushButton::clicked, action, &QAction::trigger);
    return b;
}

void TDicFm::buildControls()
{
    ClientArea = new QWidget(this);
    ClientArea->setObjectName(QStringLiteral("ClientArea"));
    const int height = kClientHeight;
    ClientArea->setMinimumSize(kClientWidth, height);
    QWidget *p = ClientArea;

    const int x = 6, w = 190;
    Label2 = makeLabel(p, "Label2",
                       QStringLiteral("Hint: Open multiple text files to scan, save the result into a text file "
                                      "as a dictionary file."),
                       QRect(x, 4, w, 60));
    Label2->setWordWrap(true);
    Label2->setAlignment(Qt::AlignLeft | Qt::AlignTop);

    QFont courier(QStringLiteral("Courier New"));
    courier.setStyleHint(QFont::TypeWriter);
    courier.setPointSize(12);
    QPalette delimiterColours = palette();
    delimiterColours.setColor(QPalette::WindowText, kNavy);
    delimiterColours.setColor(QPalette::Text, kNavy);
    delimiterColours.setColor(QPalette::Window, kLightBlue);
    delimiterColours.setColor(QPalette::Base, kLightBlue);

    Label4 = makeLabel(p, "Label4", QStringLiteral("Standard word delimiters: "), QRect(x, 64, w, 18));
    Label5 = makeLabel(p, "Label5", kVisibleDelimiters, QRect(x, 82, w, 24));
    Label5->setFont(courier);
    Label5->setPalette(delimiterColours);
    Label5->setAutoFillBackground(true);
    Label5->setAccessibleName(QStringLiteral("Standard word delimiters"));
    Label5->setTextInteractionFlags(Qt::TextSelectableByMouse);

    Label6 = makeLabel(p, "Label6", QStringLiteral("Additional word delimiters: "), QRect(x, 110, w, 18));
    Edit1 = new QLineEdit(QString::fromLatin1(TDicBuilder::kDefaultAdditionalDelimiters), p);
    Edit1->setObjectName(QStringLiteral("Edit1"));
    Edit1->setGeometry(x, 128, w - 84, 26);
    Edit1->setFont(courier);
    Edit1->setPalette(delimiterColours);
    Edit1->setAccessibleName(QStringLiteral("Additional word delimiters"));
    Label6->setBuddy(Edit1);
    QuotesBn = new QPushButton(QStringLiteral("+ &Quotes, \u2013"), p);
    QuotesBn->setObjectName(QStringLiteral("QuotesBn"));
    QuotesBn->setGeometry(x + w - 80, 128, 80, 26);
    QuotesBn->setAccessibleName(QStringLiteral("Add quotation marks and dashes"));
    QuotesBn->setToolTip(QStringLiteral("Add the quotation marks and dashes of the code page to the additional "
                                        "word delimiters, so that words are counted without them"));
    connect(QuotesBn, &QPushButton::clicked, this, ReportErrors(this, [this] { QuotesBnClick(); }));

    CaseEd = new QCheckBox(QStringLiteral("Case sensiti&ve"), p);
    CaseEd->setObjectName(QStringLiteral("CaseEd"));
    CaseEd->setGeometry(x, 158, w, 22);
    CaseEd->setToolTip(
        QStringLiteral("For example, with case-insensitivity, 'The' and 'the' will be counted together."));

    MakeListBn = makeButton("MakeListBn", A_MakeWordList, QRect(x, 184, w, 25));
    SortFreBn = makeButton("SortFreBn", A_SortByFrequency, QRect(x, 213, w, 25));
    SortAlbn = makeButton("SortAlbn", A_SortByAlpha, QRect(x, 242, w, 25));
    Button1 = makeButton("Button1", A_SortByLen, QRect(x, 271, w, 25));
    Deletebn = makeButton("Deletebn", A_DeleteSelected, QRect(x, 300, w, 25));

    Label1 = makeLabel(p, "Label1", QStringLiteral("Time (msec):"), QRect(x, 336, 96, 20));
    TimeLb = makeValue(p, "TimeLb", QRect(x + 96, 336, w - 96, 20));
    Label3 = makeLabel(p, "Label3", QStringLiteral("Word count:"), QRect(x, 356, 96, 20));
    CountLb = makeValue(p, "CountLb", QRect(x + 96, 356, w - 96, 20));
    Label7 = makeLabel(p, "Label7", QStringLiteral("Words scanned:"), QRect(x, 376, 96, 20));
    TotalLb = makeValue(p, "TotalLb", QRect(x + 96, 376, w - 96, 20));
    // The longest caption: its value, on the same line, gets a narrower place.
    Label8 = makeLabel(p, "Label8", QStringLiteral("Not in the code page:"), QRect(x, 396, 136, 20));
    UnmappableLb = makeValue(p, "UnmappableLb", QRect(x + 136, 396, w - 136, 20));
    UnmappableLb->setToolTip(A_ShowUnmappable->statusTip());
    Label1->setBuddy(TimeLb);
    Label3->setBuddy(CountLb);
    Label7->setBuddy(TotalLb);
    Label8->setBuddy(UnmappableLb);
    SetupValueLabel(TimeLb, QStringLiteral("Time (msec)"));
    SetupValueLabel(CountLb, QStringLiteral("Word count"));
    SetupValueLabel(TotalLb, QStringLiteral("Words scanned"));
    SetupValueLabel(UnmappableLb, QStringLiteral("Words not in the code page"));

    // Below the grid: the order and the filter in force, and the code page.
    const int gx = x + w + 4, gw = kClientWidth - 4 - gx, stateTop = height - 44;
    const int sx = gx + 6, sw = gw - 6; // the states, a little apart from the counters
    Label9 = makeLabel(p, "Label9", QStringLiteral("Order:"), QRect(sx, stateTop, 46, 20));
    OrderLb = makeState(p, "OrderLb", QRect(sx + 46, stateTop, 104, 20));
    Label10 = makeLabel(p, "Label10", QStringLiteral("Code page:"), QRect(sx + 152, stateTop, 74, 20));
    CodePageLb = makeState(p, "CodePageLb", QRect(sx + 226, stateTop, sw - 226, 20));
    Label11 = makeLabel(p, "Label11", QStringLiteral("Filter:"), QRect(sx, stateTop + 20, 46, 20));
    FilterLb = makeState(p, "FilterLb", QRect(sx + 46, stateTop + 20, sw - 46, 20));
    Label9->setBuddy(OrderLb);
    Label10->setBuddy(CodePageLb);
    Label11->setBuddy(FilterLb);
    SetupValueLabel(OrderLb, QStringLiteral("Order"));
    SetupValueLabel(CodePageLb, QStringLiteral("Code page"));
    SetupValueLabel(FilterLb, QStringLiteral("Filter"));

    WordGrid = new TDBGrid(p);
    WordGrid->setObjectName(QStringLiteral("WordGrid"));
    WordGrid->setGeometry(gx, 4, gw, height - 52);
    QFont gridFont(QStringLiteral("Courier New"));
    gridFont.setStyleHint(QFont::TypeWriter);
    gridFont.setPointSize(9);
    WordGrid->setFont(gridFont);
    WordGrid->setAccessibleName(QStringLiteral("Words"));
    WordGrid->SetMultiSelect(true);
    WordGrid->SetDataSource(WordListSource.get());
    WordGrid->SetColumns({TColumn("Word", QStringLiteral("Word"), 36), TColumn("Count", QStringLiteral("Count"), 5)});

    setTabOrder(MakeListBn, SortFreBn);
    setTabOrder(SortFreBn, SortAlbn);
    setTabOrder(SortAlbn, Button1);
    setTabOrder(Button1, Deletebn);
    setTabOrder(Deletebn, Edit1);
    setTabOrder(Edit1, QuotesBn);
    setTabOrder(QuotesBn, CaseEd);

    // The grid grows with the window; the states below it keep their place
    // under it, the values among them widen.
    auto *anchors = new TAnchors(p, QSize(kClientWidth, height));
    anchors->Add(WordGrid, TAnchors::Left | TAnchors::Top | TAnchors::Right | TAnchors::Bottom);
    for (QWidget *caption : {static_cast<QWidget *>(Label9), static_cast<QWidget *>(OrderLb),
                             static_cast<QWidget *>(Label10), static_cast<QWidget *>(Label11)})
        anchors->Add(caption, TAnchors::Left | TAnchors::Bottom);
    for (QWidget *value : {static_cast<QWidget *>(CodePageLb), static_cast<QWidget *>(FilterLb)})
        anchors->Add(value, TAnchors::Left | TAnchors::Right | TAnchors::Bottom);
    setTabOrder(CaseEd, WordGrid);
}

QString TDicFm::ReadyQuestion(int files)
{
    return files == 1 ? QStringLiteral("Ready to process 1 file?")
                      : QStringLiteral("Ready to process %1 files?").arg(files);
}

QStringList TDicFm::UnsavedWork() const
{
    const TRecordTable &list = DicBuilder->WordListDS();
    // A word being edited in the grid counts as changed.
    const bool editing = list.State() == TDataSetState::Edit || list.State() == TDataSetState::Insert;
    if (!(m_unsaved || editing) || (list.RecordCount() == 0 && !list.Filtered()))
        return {};
    const int n = list.RecordCount();
    return {n == 1 ? QStringLiteral("the word list (1 word listed)")
                   : QStringLiteral("the word list (%1 words listed)").arg(n)};
}

bool TDicFm::SaveWork()
{
    bool saved = false;
    RunReportingErrors(this, [this, &saved] { saved = A_SaveWordlistExecute(); });
    return saved;
}

QString TDicFm::QuotesAndDashes()
{
    const CodePage &cp = CodePage::current();
    QString found;
    for (int b = 0x80; b < 0x100; ++b) {
        if (!cp.defined(uint8_t(b)))
            continue;
        const QChar c(cp.toUnicode(uint8_t(b)));
        switch (c.category()) {
        case QChar::Punctuation_InitialQuote:
        case QChar::Punctuation_FinalQuote:
            found += c;
            break;
        case QChar::Punctuation_Dash:
            // Hyphens join the parts of a word; dashes stand between words.
            if (c != QChar(0x2010) && c != QChar(0x2011) && c != QChar(0x05BE))
                found += c;
            break;
        case QChar::Punctuation_Open:
            // The low quotation marks open a quotation too.
            if (c == QChar(0x201A) || c == QChar(0x201E))
                found += c;
            break;
        default:
            break;
        }
    }
    return found;
}

void TDicFm::QuotesBnClick()
{
    QString text = Edit1->text();
    for (const QChar c : QuotesAndDashes())
        if (!text.contains(c))
            text += c;
    Edit1->setText(text);
}

void TDicFm::showEvent(QShowEvent *event)
{
    RunReportingErrors(this, [this] { DicBuilder->WordListDS().SetLogChanges(false); });
    // The frame's own "Close" answers Ctrl+W on some desktops; here Ctrl+W
    // makes a word list, so the frame keeps its other close keys only.
    if (auto *frame = qobject_cast<QMdiSubWindow *>(parentWidget())) {
        if (QMenu *system = frame->systemMenu()) {
            const QKeySequence makeWordList = A_MakeWordList->shortcut();
            for (QAction *a : system->actions()) {
                QList<QKeySequence> keys = a->shortcuts();
                if (keys.removeAll(makeWordList) > 0)
                    a->setShortcuts(keys);
            }
        }
    }
    TChildForm::showEvent(event);
}

void TDicFm::closeEvent(QCloseEvent *event)
{
    if (!AskToKeepWork()) {
        event->ignore();
        return;
    }
    TChildForm::closeEvent(event);
}

void TDicFm::showWordCount()
{
    CountLb->setText(QString::number(DicBuilder->WordCount()));
}

void TDicFm::showScanned()
{
    TotalLb->setText(QString::number(DicBuilder->WordsScanned()));
    UnmappableLb->setText(QString::number(DicBuilder->UnmappableWords()));
}

void TDicFm::showCounters(uint32_t elapsed)
{
    TimeLb->setText(QString::number(elapsed));
    showWordCount();
    showScanned();
}

void TDicFm::showOrderAndFilter()
{
    const TRecordTable &table = DicBuilder->WordListDS();
    if (table.IndexName() == "CountIndex")
        OrderLb->setText(QStringLiteral("by frequency"));
    else if (QString::fromStdString(table.IndexFieldNames()).startsWith(QLatin1String("len"), Qt::CaseInsensitive))
        OrderLb->setText(QStringLiteral("by length"));
    else
        OrderLb->setText(QStringLiteral("alphabetical"));

    const QString filter = QString::fromStdString(table.Filter());
    if (!table.Filtered() || filter.isEmpty()) {
        FilterLb->setText(QStringLiteral("none (all words listed)"));
        return;
    }
    // The filters of the Filter menu read "Len>=min AND Len<=max".
    static const QRegularExpression range(
        QStringLiteral("^(Len|Count)>=(-?\\d+) AND \\1<=(-?\\d+)$"));
    const QRegularExpressionMatch m = range.match(filter);
    if (m.hasMatch())
        FilterLb->setText(QStringLiteral("%1 from %2 to %3")
                              .arg(m.captured(1) == QLatin1String("Len") ? QStringLiteral("length")
                                                                         : QStringLiteral("frequency"),
                                   m.captured(2), m.captured(3)));
    else
        FilterLb->setText(filter);
}

void TDicFm::showCodePage()
{
    const QString current = CodePageChoice::instance().current();
    if (ListCodePage.isEmpty() || ListCodePage == current)
        CodePageLb->setText(current);
    else
        CodePageLb->setText(QStringLiteral("%1 (list in %2)").arg(current, ListCodePage));
}

void TDicFm::A_MakeWordListExecute()
{
    // The listed words are bytes of the code page they were scanned in; words
    // of another code page cannot join them.
    const QString codePage = CodePageChoice::instance().current();
    if (!ListCodePage.isEmpty() && ListCodePage != codePage) {
        Dialogs().message(ApplicationTitle(),
                          QStringLiteral("The listed words are in the code page %1, the code page in force is %2. "
                                         "Save them and clear the word list before scanning in %2.")
                              .arg(ListCodePage, codePage));
        return;
    }
    // A delimiter the code page lacks would split at every "?" instead.
    if (const QString lacking = CodePage::current().unheldMessage(Edit1->text()); !lacking.isEmpty()) {
        Dialogs().message(ApplicationTitle(),
                          lacking + QStringLiteral("\n\nThe additional word delimiters must be characters of the "
                                                   "code page."));
        return;
    }
    const QStringList files = Dialogs().openFiles(OpenDialog1);
    if (files.isEmpty())
        return;
    OpenDialog1.fileName = files.first();
    OpenDialog1.initialDir = QFileInfo(files.first()).absolutePath();
    if (!Dialogs().confirm(ReadyQuestion(int(files.size()))))
        return;
    std::vector<std::string> paths;
    paths.reserve(size_t(files.size()));
    for (const QString &f : files)
        paths.push_back(LocalPath(f));
    const std::string additional = CodePage::current().encode(Edit1->text());
    BusyCursor busy;
    WordGrid->clearSelection();
    DicBuilder->SetInputEncoding(Encoding1->encoding());
    if (ListCodePage != codePage) {
        // The list shows its words in the code page they were scanned in,
        // whatever code page the session chooses later.
        WordGrid->Model()->SetTextCodePage(std::make_shared<CodePage>(codePage.toStdString()));
        ListCodePage = codePage;
    }
    const uint32_t scannedBefore = DicBuilder->WordsScanned();
    try {
        showCounters(DicBuilder->MakeWordList(paths, CaseEd->isChecked(), additional));
        m_unsaved = m_unsaved || DicBuilder->WordsScanned() != scannedBefore;
    } catch (...) {
        m_unsaved = m_unsaved || DicBuilder->WordsScanned() != scannedBefore;
        // The words counted before the failure stay; so must the counters
        // that describe them. A list the failed scan left empty holds no
        // words of any code page.
        if (DicBuilder->WordsScanned() == 0) {
            ListCodePage.clear();
            WordGrid->Model()->SetTextCodePage(nullptr);
        }
        showWordCount();
        showScanned();
        showOrderAndFilter();
        showCodePage();
        refreshUnmappable();
        throw;
    }
    showOrderAndFilter();
    showCodePage();
    refreshUnmappable();
    QStringList binary;
    for (const std::string &file : DicBuilder->LastScanBinaryFiles())
        binary << QString::fromStdString(LooksBinaryMessage(file));
    if (!binary.isEmpty())
        Dialogs().warning(ApplicationTitle(), binary.join(QLatin1Char('\n')));
}

void TDicFm::refreshUnmappable()
{
    // An open list of words not in the code page follows the scans.
    if (UnmappableDlg && UnmappableDlg->isVisible())
        A_ShowUnmappableExecute();
}

bool TDicFm::A_SaveWordlistExecute()
{
    return saveList(false);
}

bool TDicFm::A_SaveWithCountsExecute()
{
    return saveList(true);
}

bool TDicFm::saveList(bool withCounts)
{
    FileRequest request = SaveDialog1;
    request.title = withCounts ? QStringLiteral("Save the word list with counts") : QString();
    const QString path = Dialogs().saveFile(request);
    if (path.isEmpty())
        return false;
    SaveDialog1.fileName = path;
    BusyCursor busy;
    if (withCounts)
        DicBuilder->SaveFrequencyList(LocalPath(path));
    else
        DicBuilder->SaveWordlist(LocalPath(path));
    m_unsaved = false;
    emit FileUsed(RecentKind::Dictionary, path);
    return true;
}

void TDicFm::Exit1Click()
{
    // Closing the frame asks this window first (closeEvent).
    if (auto *frame = qobject_cast<QMdiSubWindow *>(parentWidget()))
        frame->close();
    else
        close();
}

void TDicFm::A_KickoutDigitsExecute()
{
    if (!Dialogs().confirm(QStringLiteral("Are you sure to delete words with digits?")))
        return;
    WordGrid->clearSelection();
    {
        BusyCursor busy;
        const int before = DicBuilder->WordCount();
        DicBuilder->KickoutDigits();
        m_unsaved = m_unsaved || DicBuilder->WordCount() != before;
    }
    showWordCount();
}

void TDicFm::A_DeleteSelectedExecute()
{
    if (!Dialogs().confirm(QStringLiteral("Are you sure to delete selected records?")))
        return;
    const std::vector<TBookmark> selected = WordGrid->SelectedBookmarks();
    WordGrid->clearSelection();
    {
        BusyCursor busy;
        const int before = DicBuilder->WordCount();
        DicBuilder->DeleteSelected(selected);
        m_unsaved = m_unsaved || DicBuilder->WordCount() != before;
    }
    showWordCount();
}

void TDicFm::A_ClearWordlistExecute()
{
    if (!Dialogs().confirm(QStringLiteral("Are you sure to clear the wordlist?")))
        return;
    WordGrid->clearSelection();
    DicBuilder->ClearWordlist();
    m_unsaved = false;
    TotalLb->setText(QStringLiteral("0"));
    CountLb->setText(QStringLiteral("0"));
    UnmappableLb->setText(QStringLiteral("0"));
    ListCodePage.clear();
    WordGrid->Model()->SetTextCodePage(nullptr);
    if (UnmappableDlg)
        UnmappableDlg->hide();
    showCodePage();
}

void TDicFm::A_SortByFrequencyExecute()
{
    BusyCursor busy;
    DicBuilder->SortByFrequency();
    showOrderAndFilter();
}

void TDicFm::A_SortByAlphaExecute()
{
    BusyCursor busy;
    DicBuilder->SortByAlpha();
    showOrderAndFilter();
}

void TDicFm::A_SortByLenExecute()
{
    BusyCursor busy;
    DicBuilder->SortByLen();
    showOrderAndFilter();
}

void TDicFm::A_ListAllExecute()
{
    DicBuilder->ListAll();
    showWordCount();
    showOrderAndFilter();
}

void TDicFm::filterByInput(const QString &caption, void (TDicBuilder::*filter)(int32_t, int32_t))
{
    // Filtering goes on at once: an expression set before applies from now,
    // even when an answer below turns out not to be a number. (Without an
    // expression there is nothing to switch on.)
    TRecordTable &table = DicBuilder->WordListDS();
    if (!table.Filtered() && !table.Filter().empty())
        table.SetFiltered(true);
    try {
        const QString minText =
            Dialogs().inputBox(caption, QStringLiteral("Min:"), QStringLiteral("0")).value_or(QStringLiteral("0"));
        const int32_t min = StrToInt(minText);
        const QString maxText = Dialogs()
                                    .inputBox(caption, QStringLiteral("Max:"), QStringLiteral("100000000"))
                                    .value_or(QStringLiteral("100000000"));
        const int32_t max = StrToInt(maxText);
        BusyCursor busy;
        (DicBuilder.get()->*filter)(min, max);
    } catch (...) {
        // The count follows what the grid lists, whatever the answer was.
        showWordCount();
        showOrderAndFilter();
        throw;
    }
    showWordCount();
    showOrderAndFilter();
}

void TDicFm::A_FilterWordLengthExecute()
{
    filterByInput(QStringLiteral("Word length"), &TDicBuilder::FilterWordLength);
}

void TDicFm::A_FilterFrequencyExecute()
{
    filterByInput(QStringLiteral("Word frequency"), &TDicBuilder::FilterFrequency);
}

void TDicFm::A_ShowUnmappableExecute()
{
    const QString codePage = ListCodePage.isEmpty() ? CodePageChoice::instance().current() : ListCodePage;
    const auto words = DicBuilder->TopUnmappableWords(kUnmappableShown);
    if (words.empty()) {
        Dialogs().information(
            QStringLiteral("No word scanned holds a character that the code page %1 lacks.").arg(codePage));
        return;
    }
    if (!UnmappableDlg) {
        UnmappableDlg = new QDialog(this);
        UnmappableDlg->setObjectName(QStringLiteral("UnmappableDlg"));
        UnmappableDlg->setWindowTitle(QStringLiteral("Words not in the code page"));
        auto *layout = new QVBoxLayout(UnmappableDlg);
        auto *caption = new QLabel(UnmappableDlg);
        caption->setObjectName(QStringLiteral("UnmappableCaption"));
        caption->setWordWrap(true);
        auto *list = new QTableWidget(0, 2, UnmappableDlg);
        list->setObjectName(QStringLiteral("UnmappableList"));
        list->setHorizontalHeaderLabels({QStringLiteral("Word"), QStringLiteral("Count")});
        list->setEditTriggers(QAbstractItemView::NoEditTriggers);
        list->setSelectionBehavior(QAbstractItemView::SelectRows);
        list->verticalHeader()->hide();
        list->horizontalHeader()->setSectionResizeMode(0, QHeaderView::Stretch);
        list->horizontalHeader()->setSectionResizeMode(1, QHeaderView::ResizeToContents);
        list->setAccessibleName(QStringLiteral("Words not in the code page"));
        caption->setBuddy(list);
        auto *buttons = new QDialogButtonBox(QDialogButtonBox::Close, UnmappableDlg);
        connect(buttons, &QDialogButtonBox::rejected, UnmappableDlg, &QDialog::reject);
        layout->addWidget(caption);
        layout->addWidget(list);
        layout->addWidget(buttons);
        UnmappableDlg->resize(360, 420);
    }
    auto *caption = UnmappableDlg->findChild<QLabel *>(QStringLiteral("UnmappableCaption"));
    auto *list = UnmappableDlg->findChild<QTableWidget *>(QStringLiteral("UnmappableList"));
    caption->setText(QStringLiteral("%1 words scanned hold a character that the code page %2 lacks. "
                                    "The most frequent first:")
                         .arg(DicBuilder->UnmappableWords())
                         .arg(codePage));
    list->setRowCount(int(words.size()));
    for (int row = 0; row < int(words.size()); ++row) {
        auto *word = new QTableWidgetItem(QString::fromStdString(words[size_t(row)].first));
        auto *count = new QTableWidgetItem(QString::number(words[size_t(row)].second));
        count->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
        for (QTableWidgetItem *item : {word, count})
            item->setFlags(Qt::ItemIsSelectable | Qt::ItemIsEnabled);
        list->setItem(row, 0, word);
        list->setItem(row, 1, count);
    }
    UnmappableDlg->show();
    UnmappableDlg->raise();
    UnmappableDlg->activateWindow();
}

} // namespace kf
