#include "wordlist/CoursePlanDlg.h"

#include "common/CodePage.h"
#include "common/ErrorReport.h"
#include "common/Errors.h"
#include "common/FilePath.h"
#include "model/KeyLayout.h"
#include "model/MainData.h"
#include "ui/BusyCursor.h"
#include "ui/ValueLabel.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

#include <algorithm>
#include <utility>

namespace kf {

TKeyLayout TCoursePlanDlg::ReadKeyboardPackage(const std::string &path)
{
    TDataMod *const programs = DataMod;
    struct Restore {
        TDataMod *dm;
        ~Restore() { DataMod = dm; }
    } restore{programs};
    TDataMod dm;
    if (!dm.LoadPackage(path))
        throw EInOutError(path + ": " + dm.PackageError());
    // The lessons are bytes of the session's code page, as the dictionary is.
    const std::string session = CodePage::current().name();
    if (!dm.PackageCodePage.empty() && dm.PackageCodePage != session)
        throw EConvertError(path + " is written in code page " + dm.PackageCodePage + ", the session in " + session
                            + ": choose " + dm.PackageCodePage + " in the Code page menu to plan from it.");
    return TKeyLayout::FromDataMod(dm);
}

namespace {

TSpinEdit *spin(QWidget *parent, const char *name, int min, int max, int value, const QString &accessible)
{
    auto *s = new TSpinEdit(parent);
    s->setObjectName(QString::fromLatin1(name));
    s->SetRange(min, max);
    s->SetValue(value);
    s->setAccessibleName(accessible);
    s->setMinimumWidth(56);
    return s;
}

QPushButton *button(QWidget *parent, const char *name, const QString &text, const QString &hint)
{
    auto *b = new QPushButton(text, parent);
    b->setObjectName(QString::fromLatin1(name));
    b->setToolTip(hint);
    b->setAutoDefault(false);
    return b;
}

} // namespace

TCoursePlanDlg::TCoursePlanDlg(QWidget *parent, TPlanDictionary dictionary, const TKeyLayout *keyboard,
                               const QString &keyboardName, int minLength, int maxLength)
    : QDialog(parent), m_dictionary(std::move(dictionary))
{
    setObjectName(QStringLiteral("CoursePlanDlg"));
    setWindowTitle(QStringLiteral("Plan a Course from the Keyboard"));
    if (keyboard)
        m_keyboard = std::make_unique<TKeyLayout>(*keyboard);

    auto *top = new QVBoxLayout(this);

    auto *keyboardRow = new QHBoxLayout;
    auto *keyboardCaption = new QLabel(QStringLiteral("Keyboard:"), this);
    KeyboardLb = new QLabel(keyboard ? keyboardName : QStringLiteral("(none: choose a package)"), this);
    KeyboardLb->setObjectName(QStringLiteral("KeyboardLb"));
    SetupValueLabel(KeyboardLb, QStringLiteral("The keyboard the lessons follow"));
    keyboardCaption->setBuddy(KeyboardLb);
    KeyboardBn = button(this, "KeyboardBn", QStringLiteral("&Keyboard..."),
                        QStringLiteral("Plan from a keyboard package instead"));
    keyboardRow->addWidget(keyboardCaption);
    keyboardRow->addWidget(KeyboardLb, 1);
    keyboardRow->addWidget(KeyboardBn);
    top->addLayout(keyboardRow);

    auto *grid = new QGridLayout;
    auto *orderLb = new QLabel(QStringLiteral("&Order:"), this);
    OrderEd = new QComboBox(this);
    OrderEd->setObjectName(QStringLiteral("OrderEd"));
    // In the order of TPlanOrder.
    for (const TPlanOrder order : {TPlanOrder::Keyboard, TPlanOrder::Frequency, TPlanOrder::Mixed})
        OrderEd->addItem(QString::fromLatin1(TCoursePlan::OrderCaption(order)));
    OrderEd->setToolTip(QStringLiteral("Keyboard: the home row first, finger pair by finger pair; "
                                       "Frequency: the characters most words use first; "
                                       "Home row, then frequency: the home row as in keyboard order, then the "
                                       "others by frequency (chosen for a keyboard whose number row types letters)"));
    orderLb->setBuddy(OrderEd);
    auto *perLb = new QLabel(QStringLiteral("&New characters a lesson:"), this);
    PerLessonEd = spin(this, "PerLessonEd", 1, TPlanOptions::kMaxPerLesson, 2, QStringLiteral("New characters a lesson"));
    perLb->setBuddy(PerLessonEd);
    auto *homeLb = new QLabel(QStringLiteral("&Home row:"), this);
    HomeRowEd = spin(this, "HomeRowEd", 0, 99, 0, QStringLiteral("Home row"));
    HomeRowEd->setToolTip(QStringLiteral("The row of the home keys, counted from the top; 0: the letter row "
                                         "above the lowest one"));
    homeLb->setBuddy(HomeRowEd);
    grid->addWidget(orderLb, 0, 0);
    grid->addWidget(OrderEd, 0, 1);
    grid->addWidget(perLb, 0, 2);
    grid->addWidget(PerLessonEd, 0, 3);
    grid->addWidget(homeLb, 0, 4);
    grid->addWidget(HomeRowEd, 0, 5);

    auto *levelsLb = new QLabel(QStringLiteral("Levels: plain, and"), this);
    ShiftEd = new QCheckBox(QStringLiteral("&Shift"), this);
    ShiftEd->setObjectName(QStringLiteral("ShiftEd"));
    ShiftEd->setToolTip(QStringLiteral("Capitals and shifted signs (the course then tells case)"));
    AltGrEd = new QCheckBox(QStringLiteral("&AltGr"), this);
    AltGrEd->setObjectName(QStringLiteral("AltGrEd"));
    DeadEd = new QCheckBox(QStringLiteral("&Dead keys"), this);
    DeadEd->setObjectName(QStringLiteral("DeadEd"));
    LettersEd = new QCheckBox(QStringLiteral("&Letters only"), this);
    LettersEd->setObjectName(QStringLiteral("LettersEd"));
    LettersEd->setChecked(true);
    LettersEd->setToolTip(QStringLiteral("Bring in the code page's letters only (the other characters are left "
                                         "out and listed), and plan each dictionary entry without the punctuation "
                                         "around it"));
    grid->addWidget(levelsLb, 1, 0, 1, 2);
    grid->addWidget(ShiftEd, 1, 2);
    grid->addWidget(AltGrEd, 1, 3);
    grid->addWidget(DeadEd, 1, 4, 1, 2);
    grid->addWidget(LettersEd, 1, 6);

    auto *minWordsLb = new QLabel(QStringLiteral("&Warn under:"), this);
    MinWordsEd = spin(this, "MinWordsEd", 0, 1000000, 15, QStringLiteral("Fewest words a lesson should have"));
    minWordsLb->setBuddy(MinWordsEd);
    auto *minLb = new QLabel(QStringLiteral("Word length m&in.:"), this);
    MinLenEd = spin(this, "MinLenEd", 0, 50, minLength, QStringLiteral("Shortest word"));
    minLb->setBuddy(MinLenEd);
    auto *maxLb = new QLabel(QStringLiteral("Ma&x.:"), this);
    MaxLenEd = spin(this, "MaxLenEd", 0, 50, maxLength, QStringLiteral("Longest word"));
    maxLb->setBuddy(MaxLenEd);
    grid->addWidget(minWordsLb, 2, 0);
    grid->addWidget(MinWordsEd, 2, 1);
    grid->addWidget(minLb, 2, 2);
    grid->addWidget(MinLenEd, 2, 3);
    grid->addWidget(maxLb, 2, 4);
    grid->addWidget(MaxLenEd, 2, 5);
    PlanBn = button(this, "PlanBn", QStringLiteral("&Plan"), QStringLiteral("Plan the lessons anew from these options"));
    grid->addWidget(PlanBn, 0, 6);
    top->addLayout(grid);

    LessonGrid = new QTableWidget(0, ColumnCount, this);
    LessonGrid->setObjectName(QStringLiteral("LessonGrid"));
    LessonGrid->setAccessibleName(QStringLiteral("Lessons"));
    LessonGrid->setAccessibleDescription(
        QStringLiteral("Type characters into a lesson's New cell to move them there"));
    LessonGrid->setHorizontalHeaderLabels({QStringLiteral("Lesson"), QStringLiteral("New"), QStringLiteral("String"),
                                           QStringLiteral("Words"), QStringLiteral("Distinct"),
                                           QStringLiteral("Coverage"), QStringLiteral("Warnings")});
    LessonGrid->verticalHeader()->hide();
    LessonGrid->setSelectionBehavior(QAbstractItemView::SelectRows);
    LessonGrid->setSelectionMode(QAbstractItemView::SingleSelection);
    LessonGrid->setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed |
                                QAbstractItemView::AnyKeyPressed);
    // Tab leaves the table; the arrow keys move in it.
    LessonGrid->setTabKeyNavigation(false);
    LessonGrid->horizontalHeader()->setStretchLastSection(true);
    LessonGrid->setMinimumSize(640, 260);
    top->addWidget(LessonGrid, 1);

    auto *editRow = new QHBoxLayout;
    MergeBn = button(this, "MergeBn", QStringLiteral("&Merge with next"),
                     QStringLiteral("Bring in the next lesson's characters in the current lesson"));
    RecomputeBn = button(this, "RecomputeBn", QStringLiteral("&Recompute"),
                         QStringLiteral("Count the words anew with the table's New cells and the limits"));
    auto *leftOutCaption = new QLabel(QStringLiteral("Left out:"), this);
    LeftOutLb = new QLabel(this);
    LeftOutLb->setObjectName(QStringLiteral("LeftOutLb"));
    LeftOutLb->setWordWrap(true);
    SetupValueLabel(LeftOutLb, QStringLiteral("Characters of the keyboard left out of the lessons"));
    leftOutCaption->setBuddy(LeftOutLb);
    editRow->addWidget(MergeBn);
    editRow->addWidget(RecomputeBn);
    editRow->addWidget(leftOutCaption);
    editRow->addWidget(LeftOutLb, 1);
    top->addLayout(editRow);

    auto *dictionaryRow = new QHBoxLayout;
    auto *dictionaryCaption = new QLabel(QStringLiteral("Dictionary:"), this);
    DictionaryLb = new QLabel(this);
    DictionaryLb->setObjectName(QStringLiteral("DictionaryLb"));
    DictionaryLb->setWordWrap(true);
    SetupValueLabel(DictionaryLb, QStringLiteral("The dictionary's words planned, and its lines left out"));
    dictionaryCaption->setBuddy(DictionaryLb);
    dictionaryRow->addWidget(dictionaryCaption);
    dictionaryRow->addWidget(DictionaryLb, 1);
    top->addLayout(dictionaryRow);

    auto *bottom = new QHBoxLayout;
    bottom->addStretch(1);
    UseBn = button(this, "UseBn", QStringLiteral("&Use this plan"),
                   QStringLiteral("Put the lessons' strings into the strings box for \"Finger placement\""));
    UseBn->setDefault(true);
    CancelBn = button(this, "CancelBn", QStringLiteral("Cancel"), QString());
    bottom->addWidget(UseBn);
    bottom->addWidget(CancelBn);
    top->addLayout(bottom);

    OpenDialog1.filter = QStringLiteral("Keyboard package (*.vkt)|*.vkt");

    connect(PlanBn, &QPushButton::clicked, this, ReportErrors(this, [this] { PlanBnClick(); }));
    connect(MergeBn, &QPushButton::clicked, this, ReportErrors(this, [this] { MergeBnClick(); }));
    connect(RecomputeBn, &QPushButton::clicked, this, ReportErrors(this, [this] { RecomputeBnClick(); }));
    connect(KeyboardBn, &QPushButton::clicked, this, ReportErrors(this, [this] { KeyboardBnClick(); }));
    connect(UseBn, &QPushButton::clicked, this, ReportErrors(this, [this] { UseBnClick(); }));
    connect(CancelBn, &QPushButton::clicked, this, &QDialog::reject);
    // Until the author picks an order, each plan takes the keyboard's own.
    connect(OrderEd, qOverload<int>(&QComboBox::activated), this, [this] { m_orderChosen = true; });
    // A New cell typed in: the characters move, and the lessons are counted anew.
    // The table is filled anew once the edit is over, not inside the item's signal.
    // A command that comes first ("Merge with next" clicked straight after
    // the edit) takes the edit in before it acts.
    connect(LessonGrid, &QTableWidget::itemChanged, this, [this](QTableWidgetItem *item) {
        if (m_filling || item->column() != NewCol)
            return;
        m_editedRows.push_back(item->row());
        QMetaObject::invokeMethod(this, ReportErrors(this, [this] {
                                      if (!m_editedRows.empty())
                                          RecomputeBnClick();
                                  }),
                                  Qt::QueuedConnection);
    });

    showPlan();
    if (m_keyboard)
        RunReportingErrors(this, [this] { PlanBnClick(); });
}

TCoursePlanDlg::~TCoursePlanDlg() = default;

TPlanOptions TCoursePlanDlg::options() const
{
    TPlanOptions o;
    if (m_orderChosen)
        o.Order = TPlanOrder(OrderEd->currentIndex());
    o.LettersOnly = LettersEd->isChecked();
    o.PerLesson = PerLessonEd->Value();
    o.Shift = ShiftEd->isChecked();
    o.AltGr = AltGrEd->isChecked();
    o.Dead = DeadEd->isChecked();
    o.HomeRow = HomeRowEd->Value() - 1;
    o.MinWords = MinWordsEd->Value();
    o.MinLength = MinLenEd->Value();
    o.MaxLength = MaxLenEd->Value();
    return o;
}

void TCoursePlanDlg::PlanBnClick()
{
    if (!m_keyboard) {
        Dialogs().message(ApplicationTitle(), QStringLiteral("Please choose a keyboard package first."));
        return;
    }
    // A plan that fails shows nothing half-made.
    m_plan.reset();
    showPlan();
    std::unique_ptr<TCoursePlan> plan;
    try {
        BusyCursor busy;
        plan = std::make_unique<TCoursePlan>(*m_keyboard, CodePage::current(), m_dictionary, options());
        plan->Make();
    } catch (const EConvertError &e) {
        // What the keyboard or the dictionary lacks is told in words, not as
        // a failure of the program.
        Dialogs().warning(ApplicationTitle(), QString::fromStdString(e.what()));
        return;
    }
    m_plan = std::move(plan);
    OrderEd->setCurrentIndex(int(*m_plan->Options().Order));
    showPlan();
}

void TCoursePlanDlg::MergeBnClick()
{
    if (!m_plan)
        return;
    if (!m_editedRows.empty())
        RecomputeBnClick();
    const int row = LessonGrid->currentRow();
    if (row < 0 || row + 1 >= LessonGrid->rowCount()) {
        Dialogs().message(ApplicationTitle(), QStringLiteral("Choose a lesson that has a next one to merge with."));
        return;
    }
    m_plan->MergeWithNext(row);
    showPlan();
    LessonGrid->setCurrentCell(row, NewCol);
}

void TCoursePlanDlg::RecomputeBnClick()
{
    if (!m_plan)
        return;
    const std::vector<int> edited = std::exchange(m_editedRows, {});
    // Read the New cells first: a character the keyboard lacks keeps the plan as it was.
    const CodePage &cp = CodePage::current();
    std::vector<std::string> news;
    for (int r = 0; r < LessonGrid->rowCount(); ++r) {
        const QTableWidgetItem *item = LessonGrid->item(r, NewCol);
        QString text = item ? item->text() : QString();
        text.remove(QLatin1Char(' '));
        if (const QString lacking = cp.unheldMessage(text); !lacking.isEmpty()) {
            showPlan();
            throw EConvertError(lacking.toStdString());
        }
        news.push_back(cp.encode(text));
    }
    // A character typed into a lesson leaves the lesson that had it.
    for (const int r : edited) {
        if (r < 0 || r >= int(news.size()))
            continue;
        for (const char c : news[size_t(r)])
            for (size_t k = 0; k < news.size(); ++k)
                if (int(k) != r)
                    news[k].erase(std::remove(news[k].begin(), news[k].end(), c), news[k].end());
    }
    const int row = LessonGrid->currentRow();
    const TPlanOptions o = options();
    m_plan->SetLimits(o.MinWords, o.MinLength, o.MaxLength);
    try {
        m_plan->SetLessons(news);
    } catch (...) {
        showPlan();
        throw;
    }
    showPlan();
    if (row >= 0 && row < LessonGrid->rowCount())
        LessonGrid->setCurrentCell(row, NewCol);
}

void TCoursePlanDlg::KeyboardBnClick()
{
    const QString path = Dialogs().openFile(OpenDialog1);
    if (path.isEmpty())
        return;
    OpenKeyboard(path);
}

void TCoursePlanDlg::OpenKeyboard(const QString &path)
{
    OpenDialog1.fileName = path;
    auto layout = std::make_unique<TKeyLayout>(ReadKeyboardPackage(LocalPath(path)));
    m_keyboard = std::move(layout);
    m_keyboardFile = path;
    KeyboardLb->setText(QFileInfo(path).fileName());
    PlanBnClick();
}

void TCoursePlanDlg::UseBnClick()
{
    if (!m_plan || m_plan->Lessons().empty()) {
        Dialogs().message(ApplicationTitle(), QStringLiteral("There is no plan to use."));
        return;
    }
    accept();
}

void TCoursePlanDlg::showPlan()
{
    m_filling = true;
    const CodePage &cp = CodePage::current();
    const auto spaced = [&](const std::string &chars) {
        QStringList list;
        for (const char c : chars)
            list << cp.decode(std::string(1, c));
        return list.join(QLatin1Char(' '));
    };
    const int rows = m_plan ? int(m_plan->Lessons().size()) : 0;
    LessonGrid->setRowCount(rows);
    for (int r = 0; r < rows; ++r) {
        const TPlanLesson &l = m_plan->Lessons()[size_t(r)];
        QStringList warnings;
        for (const std::string &w : l.Warnings)
            warnings << QString::fromStdString(w);
        const QString cells[ColumnCount] = {
            QString::number(r + 1),
            spaced(l.New),
            cp.decode(l.String),
            QString::number(l.Words),
            QString::number(l.Distinct),
            QString::number(l.Coverage * 100.0, 'f', 1) + QStringLiteral(" %"),
            warnings.join(QStringLiteral("; ")),
        };
        for (int c = 0; c < ColumnCount; ++c) {
            auto *item = new QTableWidgetItem(cells[c]);
            if (c != NewCol)
                item->setFlags(item->flags() & ~Qt::ItemIsEditable);
            if (c == LessonCol || c == WordsCol || c == DistinctCol || c == CoverageCol)
                item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
            if (c == WarningsCol && !warnings.isEmpty()) {
                item->setToolTip(warnings.join(QLatin1Char('\n')));
                item->setForeground(QColor(176, 0, 0));
            }
            LessonGrid->setItem(r, c, item);
        }
    }
    LessonGrid->resizeColumnsToContents();
    QStringList leftOut;
    if (m_plan)
        for (const TPlanLeftOut &o : m_plan->LeftOut())
            leftOut << QString::fromStdString(o.Char);
    LeftOutLb->setText(leftOut.join(QLatin1Char(' ')));
    if (m_plan) {
        QStringList reasons;
        for (const TPlanLeftOut &o : m_plan->LeftOut())
            reasons << QString::fromStdString(o.Char + ": " + o.Reason);
        LeftOutLb->setToolTip(reasons.join(QLatin1Char('\n')));
    }
    DictionaryLb->setText(m_plan ? QString::fromStdString(m_plan->DictionaryText()) : QString());
    UseBn->setEnabled(rows > 0);
    MergeBn->setEnabled(rows > 1);
    RecomputeBn->setEnabled(rows > 0);
    m_filling = false;
}

} // namespace kf
