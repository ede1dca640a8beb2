#include "wordlist/LessonTextsDlg.h"

#include "common/CodePage.h"
#include "common/ErrorReport.h"
#include "common/Errors.h"
#include "common/FilePath.h"
#include "common/TextFile.h"
#include "exchange/ExchangeFormat.h"
#include "exchange/LessonFormats.h"
#include "ui/BusyCursor.h"
#include "ui/ValueLabel.h"
#include "words/FileWordScan.h"

#include <QComboBox>
#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QTextEdit>
#include <QVBoxLayout>

namespace kf {

namespace {

QPushButton *button(QWidget *parent, const char *name, const QString &text, const QString &hint)
{
    auto *b = new QPushButton(text, parent);
    b->setObjectName(QString::fromLatin1(name));
    b->setToolTip(hint);
    b->setAutoDefault(false);
    return b;
}

TSpinEdit *spin(QWidget *parent, const char *name, int min, int max, int value, const QString &accessible)
{
    auto *s = new TSpinEdit(parent);
    s->setObjectName(QString::fromLatin1(name));
    s->SetRange(min, max);
    s->SetValue(value);
    s->setAccessibleName(accessible);
    s->setMinimumWidth(64);
    return s;
}

// The lesson formats, in the order the format box lists them.
std::vector<const TExchangeFormat *> lessonFormats()
{
    std::vector<const TExchangeFormat *> out;
    for (const TExchangeFormat *f : ExchangeFormats())
        if (f->Carries() == TExchangeFormat::Content::Lessons)
            out.push_back(f);
    return out;
}

// The file-dialog filter of a format: "description|pattern".
QString filterOf(const TExchangeFormat &f)
{
    return f.Filter() + QLatin1Char('|') + ExchangeFormatPattern(f);
}

} // namespace

TLessonTextsDlg::TLessonTextsDlg(QWidget *parent, const TKeyLayout &keyboard, TPlanDictionary dictionary,
                                 std::vector<std::string> news, InputEncoding encoding)
    : QDialog(parent), m_keyboard(keyboard), m_dictionary(std::move(dictionary)), m_news(std::move(news)),
      m_encoding(encoding)
{
    setObjectName(QStringLiteral("LessonTextsDlg"));
    setWindowTitle(QStringLiteral("Lesson Texts"));
    auto *top = new QVBoxLayout(this);

    auto *textsRow = new QHBoxLayout;
    auto *textsCaption = new QLabel(QStringLiteral("Sentences from:"), this);
    TextsLb = new QLabel(QStringLiteral("(no texts: word and drill lines only)"), this);
    TextsLb->setObjectName(QStringLiteral("TextsLb"));
    TextsLb->setWordWrap(true);
    SetupValueLabel(TextsLb, QStringLiteral("The texts the sentence lines are taken from"));
    textsCaption->setBuddy(TextsLb);
    TextsBn = button(this, "TextsBn", QStringLiteral("Add &texts..."),
                     QStringLiteral("Take sentences from your own texts (any encoding)"));
    textsRow->addWidget(textsCaption);
    textsRow->addWidget(TextsLb, 1);
    textsRow->addWidget(TextsBn);
    top->addLayout(textsRow);

    auto *optionsRow = new QHBoxLayout;
    const TLessonOptions defaults;
    auto *lengthLb = new QLabel(QStringLiteral("&Length:"), this);
    LengthEd = spin(this, "LengthEd", TLessonOptions::kMinLength, TLessonOptions::kMaxLength, defaults.Length,
                    QStringLiteral("Characters a lesson"));
    lengthLb->setBuddy(LengthEd);
    auto *widthLb = new QLabel(QStringLiteral("&Width:"), this);
    WidthEd = spin(this, "WidthEd", TLessonOptions::kMinWidth, TLessonOptions::kMaxWidth, defaults.Width,
                   QStringLiteral("Characters a line"));
    widthLb->setBuddy(WidthEd);
    auto *seedLb = new QLabel(QStringLiteral("S&eed:"), this);
    SeedEd = spin(this, "SeedEd", 0, 1000000000, int(defaults.Seed), QStringLiteral("Seed"));
    seedLb->setBuddy(SeedEd);
    MakeBn = button(this, "MakeBn", QStringLiteral("&Make"), QStringLiteral("Make the lessons with these values"));
    SeedBn = button(this, "SeedBn", QStringLiteral("&Another seed"),
                    QStringLiteral("Make the lessons again with other words and sentences"));
    for (QWidget *w : std::initializer_list<QWidget *>{lengthLb, LengthEd, widthLb, WidthEd, seedLb, SeedEd, MakeBn, SeedBn})
        optionsRow->addWidget(w);
    optionsRow->addStretch(1);
    top->addLayout(optionsRow);

    LessonGrid = new QTableWidget(0, ColumnCount, this);
    LessonGrid->setObjectName(QStringLiteral("LessonGrid"));
    LessonGrid->setAccessibleName(QStringLiteral("Lessons"));
    LessonGrid->setAccessibleDescription(QStringLiteral("Each lesson's new characters and its lines by kind"));
    LessonGrid->setHorizontalHeaderLabels({QStringLiteral("Lesson"), QStringLiteral("New"), QStringLiteral("Drill"),
                                           QStringLiteral("Words"), QStringLiteral("Sentences"),
                                           QStringLiteral("Warnings")});
    LessonGrid->verticalHeader()->hide();
    LessonGrid->setSelectionBehavior(QAbstractItemView::SelectRows);
    LessonGrid->setSelectionMode(QAbstractItemView::SingleSelection);
    LessonGrid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    LessonGrid->setTabKeyNavigation(false);
    LessonGrid->horizontalHeader()->setStretchLastSection(true);
    LessonGrid->setMinimumSize(560, 180);
    top->addWidget(LessonGrid, 1);

    auto *textCaption = new QLabel(QStringLiteral("Text of the lesson (new characters &marked):"), this);
    TextView = new QTextEdit(this);
    TextView->setObjectName(QStringLiteral("TextView"));
    TextView->setReadOnly(true);
    TextView->setTabChangesFocus(true);
    TextView->setLineWrapMode(QTextEdit::NoWrap);
    TextView->setAccessibleName(QStringLiteral("Text of the lesson"));
    TextView->setMinimumHeight(200);
    textCaption->setBuddy(TextView);
    top->addWidget(textCaption);
    top->addWidget(TextView, 2);

    auto *exportGrid = new QGridLayout;
    auto *formatLb = new QLabel(QStringLiteral("&Format:"), this);
    FormatEd = new QComboBox(this);
    FormatEd->setObjectName(QStringLiteral("FormatEd"));
    for (const TExchangeFormat *f : lessonFormats())
        FormatEd->addItem(f->Filter(), QString::fromLatin1(f->Name()));
    formatLb->setBuddy(FormatEd);
    auto *titleLb = new QLabel(QStringLiteral("T&itle:"), this);
    TitleEd = new QLineEdit(QStringLiteral("Lessons"), this);
    TitleEd->setObjectName(QStringLiteral("TitleEd"));
    titleLb->setBuddy(TitleEd);
    auto *layoutLb = new QLabel(QStringLiteral("System la&yout:"), this);
    LayoutNameEd = new QLineEdit(this);
    LayoutNameEd->setObjectName(QStringLiteral("LayoutNameEd"));
    LayoutNameEd->setPlaceholderText(QStringLiteral("e.g. lt or pl"));
    LayoutNameEd->setToolTip(QStringLiteral("The name of the system layout the keyboard is (a KTouch course names it)"));
    layoutLb->setBuddy(LayoutNameEd);
    ExportBn = button(this, "ExportBn", QStringLiteral("E&xport..."), QStringLiteral("Write the lessons in the chosen format"));
    CloseBn = button(this, "CloseBn", QStringLiteral("Close"), QString());
    exportGrid->addWidget(formatLb, 0, 0);
    exportGrid->addWidget(FormatEd, 0, 1);
    exportGrid->addWidget(titleLb, 0, 2);
    exportGrid->addWidget(TitleEd, 0, 3);
    exportGrid->addWidget(layoutLb, 0, 4);
    exportGrid->addWidget(LayoutNameEd, 0, 5);
    exportGrid->addWidget(ExportBn, 0, 6);
    exportGrid->addWidget(CloseBn, 0, 7);
    top->addLayout(exportGrid);

    OpenDialog1.title = QStringLiteral("Texts to take sentences from");
    OpenDialog1.filter = QStringLiteral("Text files (*.txt)|*.txt|All files (*)|*");
    OpenDialog1.multiple = true;

    connect(TextsBn, &QPushButton::clicked, this, ReportErrors(this, [this] { TextsBnClick(); }));
    connect(MakeBn, &QPushButton::clicked, this, ReportErrors(this, [this] { MakeBnClick(); }));
    connect(SeedBn, &QPushButton::clicked, this, ReportErrors(this, [this] { SeedBnClick(); }));
    connect(ExportBn, &QPushButton::clicked, this, ReportErrors(this, [this] { ExportBnClick(); }));
    connect(CloseBn, &QPushButton::clicked, this, &QDialog::close);
    connect(LessonGrid, &QTableWidget::currentCellChanged, this,
            [this](int row, int, int, int) { showLesson(row); });

    m_texts = std::make_unique<TLessonTexts>(CodePage::current(), m_keyboard);
    RunReportingErrors(this, [this] {
        replan();
        MakeBnClick();
    });
}

TLessonTextsDlg::~TLessonTextsDlg() = default;

void TLessonTextsDlg::replan()
{
    m_texts->SetPlan(m_news, m_dictionary);
}

void TLessonTextsDlg::TextsBnClick()
{
    const QStringList paths = Dialogs().openFiles(OpenDialog1);
    if (!paths.isEmpty())
        AddTexts(paths);
}

void TLessonTextsDlg::AddTexts(const QStringList &paths)
{
    BusyCursor busy;
    // Read every file first: one that cannot be read adds none of them.
    std::vector<DecodedText> read;
    for (const QString &path : paths)
        read.push_back(FileWordScan::readText(LocalPath(path), m_encoding));
    for (DecodedText &t : read)
        m_texts->AddText(std::move(t));
    for (const QString &path : paths)
        m_textNames << QFileInfo(path).fileName();
    OpenDialog1.fileName = paths.last();
    TextsLb->setText(QStringLiteral("%1 (%2 sentences)").arg(m_textNames.join(QStringLiteral(", "))).arg(m_texts->SentenceCount()));
    replan();
    MakeBnClick();
}

void TLessonTextsDlg::MakeBnClick()
{
    TLessonOptions o;
    o.Length = LengthEd->Value();
    o.Width = WidthEd->Value();
    o.Seed = uint64_t(SeedEd->Value());
    BusyCursor busy;
    m_lessons = m_texts->Make(o);
    showLessons();
}

void TLessonTextsDlg::SeedBnClick()
{
    SeedEd->SetValue(SeedEd->Value() + 1);
    MakeBnClick();
}

const TExchangeFormat &TLessonTextsDlg::chosenFormat() const
{
    const QString name = FormatEd->currentData().toString();
    const TExchangeFormat *format = FindExchangeFormat(name.toStdString(), TExchangeFormat::Content::Lessons);
    return format ? *format : *lessonFormats().front();
}

void TLessonTextsDlg::ExportBnClick()
{
    const TExchangeFormat &format = chosenFormat();
    if (QString::fromLatin1(format.Name()) == QStringLiteral("ktouch") && LayoutNameEd->text().trimmed().isEmpty()) {
        Dialogs().message(ApplicationTitle(), QStringLiteral("A KTouch course names the system layout of its keyboard: "
                                                             "type its name (such as lt or pl) first."));
        LayoutNameEd->setFocus();
        return;
    }
    SaveDialog1.filter = filterOf(format);
    SaveDialog1.defaultExt = ExchangeFormatPattern(format).mid(2);
    const QString path = Dialogs().saveFile(SaveDialog1);
    if (path.isEmpty())
        return;
    ExportTo(path);
}

void TLessonTextsDlg::ExportTo(const QString &path)
{
    const TExchangeFormat &format = chosenFormat();
    TLessonCourse course;
    course.Lessons = m_lessons;
    course.Page = &CodePage::current();
    course.Title = TitleEd->text().toStdString();
    course.Description = "Drills, dictionary words and sentences for the keyboard.";
    course.LayoutName = LayoutNameEd->text().trimmed().toStdString();
    course.Seed = uint64_t(SeedEd->Value());
    writeFileBytes(LocalPath(path), format.WriteLessons(course));
    SaveDialog1.fileName = path;
}

void TLessonTextsDlg::showLessons()
{
    const CodePage &cp = CodePage::current();
    const int current = std::max(0, LessonGrid->currentRow());
    const int rows = int(m_lessons.size());
    LessonGrid->setRowCount(rows);
    for (int r = 0; r < rows; ++r) {
        const TLessonText &l = m_lessons[size_t(r)];
        QStringList chars, warnings;
        for (const char c : l.New)
            chars << cp.decode(std::string(1, c));
        for (const std::string &w : l.Warnings)
            warnings << QString::fromStdString(w);
        const QString cells[ColumnCount] = {
            QString::number(r + 1),
            chars.join(QLatin1Char(' ')),
            QString::number(l.Count(TLessonLineKind::Drill)),
            QString::number(l.Count(TLessonLineKind::Words)),
            QString::number(l.Count(TLessonLineKind::Sentence)),
            warnings.join(QStringLiteral("; ")),
        };
        for (int c = 0; c < ColumnCount; ++c) {
            auto *item = new QTableWidgetItem(cells[c]);
            if (c != NewCol && c != WarningsCol)
                item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
            if (c == WarningsCol && !warnings.isEmpty()) {
                item->setToolTip(warnings.join(QLatin1Char('\n')));
                item->setForeground(QColor(176, 0, 0));
            }
            LessonGrid->setItem(r, c, item);
        }
    }
    LessonGrid->resizeColumnsToContents();
    if (rows > 0) {
        LessonGrid->setCurrentCell(std::min(current, rows - 1), LessonCol);
        showLesson(std::min(current, rows - 1));
    } else {
        TextView->clear();
    }
    ExportBn->setEnabled(rows > 0);
}

void TLessonTextsDlg::showLesson(int row)
{
    if (row < 0 || row >= int(m_lessons.size())) {
        TextView->clear();
        return;
    }
    const CodePage &cp = CodePage::current();
    const TLessonText &l = m_lessons[size_t(row)];
    // The new characters bold, dark red and underlined; the rest as it is.
    QString html = QStringLiteral("<pre style=\"font-family: monospace\">");
    for (const TLessonLine &line : l.Lines) {
        if (&line != &l.Lines.front())
            html += QLatin1Char('\n');
        bool marked = false;
        for (const char c : line.Text) {
            const bool isNew = l.New.find(c) != std::string::npos;
            if (isNew != marked) {
                html += isNew ? QStringLiteral("<b><u><span style=\"color:#b00000\">") : QStringLiteral("</span></u></b>");
                marked = isNew;
            }
            html += cp.decode(std::string(1, c)).toHtmlEscaped();
        }
        if (marked)
            html += QStringLiteral("</span></u></b>");
    }
    html += QStringLiteral("</pre>");
    TextView->setHtml(html);
    QStringList chars;
    for (const char c : l.New)
        chars << cp.decode(std::string(1, c));
    TextView->setAccessibleDescription(QStringLiteral("Lesson %1, new characters: %2").arg(row + 1).arg(chars.join(QLatin1Char(' '))));
}

} // namespace kf
