#include "keyboard/KbStatsForm.h"
#include "exchange/KeyboardChart.h"

#include "common/CodePage.h"
#include "common/Dialogs.h"
#include "common/ErrorReport.h"
#include "common/Errors.h"
#include "common/FilePath.h"
#include "common/TextFile.h"
#include "common/Translation.h"
#include "keyboard/StatsPicture.h"
#include "model/KeyStrokeFormats.h"
#include "model/TextTallyReader.h"
#include "model/MainData.h"
#include "ui/InputEncodingMenu.h"
#include "ui/ValueLabel.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QListWidget>
#include <QProgressBar>
#include <QScopeGuard>
#include <QPushButton>
#include <QTabWidget>
#include <QTableWidget>
#include <QTimer>
#include <QVBoxLayout>

namespace kf {

namespace {

std::map<int32_t, double> &lastKeyUse()
{
    static std::map<int32_t, double> use;
    return use;
}

QPushButton *button(QWidget *parent, const char *name, const char *caption)
{
    auto *b = new QPushButton(TranslateQ(caption), parent);
    b->setObjectName(QString::fromLatin1(name));
    return b;
}

} // namespace

const std::map<int32_t, double> &LastKeyUse()
{
    return lastKeyUse();
}

void SetLastKeyUse(std::map<int32_t, double> use)
{
    lastKeyUse() = std::move(use);
}

QColor KeyUseColor(double share)
{
    return TKeyboardChart::HeatColour(share);
}

TKbStatsFm::TKbStatsFm(QWidget *parent) : TChildForm(parent)
{
    setObjectName(QStringLiteral("KbStatsFm"));
    setWindowTitle(TranslateQ("Keyboard statistics"));

    auto *top = new QVBoxLayout(this);

    // The texts.
    auto *texts = new QHBoxLayout;
    TextList = new QListWidget(this);
    TextList->setObjectName(QStringLiteral("TextList"));
    TextList->setAccessibleName(TranslateQ("Text files"));
    TextList->setMaximumHeight(90);
    texts->addWidget(TextList, 1);
    auto *textButtons = new QVBoxLayout;
    AddTextsButton = button(this, "AddTextsButton", "&Add texts...");
    RemoveTextButton = button(this, "RemoveTextButton", "&Remove text");
    EncodingButton = button(this, "EncodingButton", "Input &encoding");
    EncodingMenu = new InputEncodingMenu(this);
    EncodingButton->setMenu(EncodingMenu);
    textButtons->addWidget(AddTextsButton);
    textButtons->addWidget(RemoveTextButton);
    textButtons->addWidget(EncodingButton);
    texts->addLayout(textButtons);
    top->addLayout(texts);

    auto *choices = new QHBoxLayout;
    CountsCheck = new QCheckBox(TranslateQ("Word lists with co&unts (word TAB count)"), this);
    CountsCheck->setObjectName(QStringLiteral("CountsCheck"));
    UseWordListCheck = new QCheckBox(TranslateQ("The &dictionary window's words"), this);
    UseWordListCheck->setObjectName(QStringLiteral("UseWordListCheck"));
    UseWordListCheck->setEnabled(false);
    choices->addWidget(CountsCheck);
    choices->addWidget(UseWordListCheck);
    choices->addStretch(1);
    top->addLayout(choices);

    // The second keyboard.
    auto *compare = new QHBoxLayout;
    CompareButton = button(this, "CompareButton", "Compare &with...");
    NoCompareButton = button(this, "NoCompareButton", "&No comparison");
    CompareLabel = new QLabel(TranslateQ("No second keyboard"), this);
    CompareLabel->setObjectName(QStringLiteral("CompareLabel"));
    SetupValueLabel(CompareLabel, TranslateQ("Second keyboard"));
    compare->addWidget(CompareButton);
    compare->addWidget(NoCompareButton);
    compare->addWidget(CompareLabel, 1);
    top->addLayout(compare);

    // The count.
    auto *count = new QHBoxLayout;
    CountButton = button(this, "CountButton", "&Count");
    CancelButton = button(this, "CancelButton", "Cancel");
    Progress = new QProgressBar(this);
    Progress->setObjectName(QStringLiteral("Progress"));
    Progress->setAccessibleName(TranslateQ("Progress of the count"));
    Progress->setRange(0, 1000);
    Progress->setValue(0);
    count->addWidget(CountButton);
    count->addWidget(Progress, 1);
    count->addWidget(CancelButton);
    top->addLayout(count);

    SummaryLabel = new QLabel(TranslateQ("Nothing counted yet."), this);
    SummaryLabel->setObjectName(QStringLiteral("SummaryLabel"));
    SummaryLabel->setWordWrap(true);
    SetupValueLabel(SummaryLabel, TranslateQ("Summary of the count"));
    top->addWidget(SummaryLabel);

    // The figures.
    Pages = new QTabWidget(this);
    Pages->setObjectName(QStringLiteral("Pages"));
    FiguresTable = new QTableWidget(0, 2, Pages);
    FiguresTable->setObjectName(QStringLiteral("FiguresTable"));
    FiguresTable->setAccessibleName(TranslateQ("Figures"));
    FiguresTable->setEditTriggers(QAbstractItemView::NoEditTriggers);
    FiguresTable->setSelectionBehavior(QAbstractItemView::SelectRows);
    FiguresTable->verticalHeader()->hide();
    FiguresTable->horizontalHeader()->setStretchLastSection(true);
    FiguresTable->setHorizontalHeaderLabels({TranslateQ("Figure"), TranslateQ("Value")}); // before a count too
    Picture = new TStatsPicture(Pages);
    Pages->addTab(FiguresTable, TranslateQ("&Table"));
    Pages->addTab(Picture, TranslateQ("&Pictures"));
    top->addWidget(Pages, 1);

    auto *exports = new QHBoxLayout;
    ExportCsvButton = button(this, "ExportCsvButton", "Export C&SV...");
    ExportJsonButton = button(this, "ExportJsonButton", "Export &JSON...");
    exports->addStretch(1);
    exports->addWidget(ExportCsvButton);
    exports->addWidget(ExportJsonButton);
    top->addLayout(exports);

    m_poll = new QTimer(this);
    m_poll->setInterval(50);

    connect(AddTextsButton, &QPushButton::clicked, this, ReportErrors(this, [this] { AddTextsClick(); }));
    connect(RemoveTextButton, &QPushButton::clicked, this, ReportErrors(this, [this] { RemoveTextClick(); }));
    connect(CompareButton, &QPushButton::clicked, this, ReportErrors(this, [this] { CompareClick(); }));
    connect(NoCompareButton, &QPushButton::clicked, this, ReportErrors(this, [this] { NoCompareClick(); }));
    connect(CountButton, &QPushButton::clicked, this, ReportErrors(this, [this] { CountClick(); }));
    connect(CancelButton, &QPushButton::clicked, this, ReportErrors(this, [this] { CancelClick(); }));
    connect(ExportCsvButton, &QPushButton::clicked, this, ReportErrors(this, [this] { ExportCsvClick(); }));
    connect(ExportJsonButton, &QPushButton::clicked, this, ReportErrors(this, [this] { ExportJsonClick(); }));
    connect(m_poll, &QTimer::timeout, this, ReportErrors(this, [this] { pollCount(); }));
    connect(TextList, &QListWidget::currentRowChanged, this, [this] { updateControls(); });
    connect(UseWordListCheck, &QCheckBox::toggled, this, [this] { updateControls(); });
    resize(620, 500); // fits the main window's frame at its restored size
    updateControls();
}

TKbStatsFm::~TKbStatsFm()
{
    stopWorker();
}

void TKbStatsFm::SetWordListSource(TWordListSource source)
{
    m_wordListSource = std::move(source);
    UseWordListCheck->setEnabled(bool(m_wordListSource));
    if (!m_wordListSource)
        UseWordListCheck->setChecked(false);
    updateControls();
}

void TKbStatsFm::updateControls()
{
    const bool counting = Counting();
    const bool haveTexts = TextList->count() > 0 || UseWordListCheck->isChecked();
    AddTextsButton->setEnabled(!counting);
    RemoveTextButton->setEnabled(!counting && TextList->currentRow() >= 0);
    CompareButton->setEnabled(!counting);
    NoCompareButton->setEnabled(!counting && m_layoutB.has_value());
    CountButton->setEnabled(!counting && haveTexts);
    CancelButton->setEnabled(counting);
    ExportCsvButton->setEnabled(!counting && m_figuresA.has_value());
    ExportJsonButton->setEnabled(!counting && m_figuresA.has_value());
}

void TKbStatsFm::AddTextsClick()
{
    FileRequest request;
    request.title = TranslateQ("Texts to count");
    request.filter = TranslateQ("Text files (*.txt)|*.txt|All files (*)|*");
    request.multiple = true;
    for (const QString &file : Dialogs().openFiles(request))
        TextList->addItem(file);
    if (TextList->currentRow() < 0 && TextList->count() > 0)
        TextList->setCurrentRow(0);
    updateControls();
}

void TKbStatsFm::RemoveTextClick()
{
    const int row = TextList->currentRow();
    if (row >= 0)
        delete TextList->takeItem(row);
    updateControls();
}

void TKbStatsFm::CompareClick()
{
    FileRequest request;
    request.title = TranslateQ("Keyboard to compare with");
    request.filter = TranslateQ("Keyboard packages (*.vkt)|*.vkt");
    const QString file = Dialogs().openFile(request);
    if (file.isEmpty())
        return;
    // A data module makes itself the program's on creation: the definition
    // being edited stays the program's.
    TDataMod *const edited = DataMod;
    const auto restore = qScopeGuard([edited] { DataMod = edited; });
    TDataMod other;
    if (!other.LoadPackage(file.toStdString()))
        throw EInOutError(file.toStdString() + ": " + other.PackageError());
    // Both keyboards count the same bytes of the texts: a package of another
    // code page than the session's types other characters with them.
    const std::string session = CodePage::current().name();
    if (!other.PackageCodePage.empty() && other.PackageCodePage != session)
        throw EConvertError(TranslateWith("%1 is written in code page %2, the session in %3: choose %2 in the Code "
                                          "page menu to compare with it.",
                                          {QFileInfo(file).fileName().toStdString(), other.PackageCodePage, session}));
    m_layoutB = TKeyLayout::FromDataMod(other);
    m_nameB = QFileInfo(file).fileName();
    CompareLabel->setText(m_nameB);
    updateControls();
}

void TKbStatsFm::NoCompareClick()
{
    m_layoutB.reset();
    m_nameB.clear();
    CompareLabel->setText(TranslateQ("No second keyboard"));
    updateControls();
}

void TKbStatsFm::CountClick()
{
    if (Counting())
        return;
    if (!DataMod)
        throw EInOutError(Translate("There is no keyboard definition to count on."));
    m_countA = TKeyLayout::FromDataMod(*DataMod);
    m_countB = m_layoutB;

    std::vector<std::string> files;
    m_total = 0;
    for (int i = 0; i < TextList->count(); ++i) {
        const QString file = TextList->item(i)->text();
        files.push_back(file.toStdString());
        m_total += uint64_t(std::max<qint64>(0, QFileInfo(file).size()));
    }
    std::vector<std::pair<std::string, uint64_t>> words;
    if (UseWordListCheck->isChecked() && m_wordListSource)
        words = m_wordListSource();

    // The figures of the count before go: nothing on screen or in an
    // export may pass for this count's until it is done.
    clearFigures();
    m_progress = 0;
    m_cancel = false;
    m_done = false;
    m_failure = nullptr;
    m_tally = std::make_unique<TTextTally>();
    m_readWarnings.clear();
    TTextReadOptions options;
    options.encoding = EncodingMenu->encoding();
    options.wordCounts = CountsCheck->isChecked();
    options.progress = &m_progress;
    options.cancel = &m_cancel;
    options.warnings = &m_readWarnings;
    // The code page in force, as the reading starts.
    const CodePage &codePage = CodePage::current();
    TTextTally *tally = m_tally.get();
    m_worker = std::thread([this, files = std::move(files), words = std::move(words), options, &codePage, tally] {
        try {
            for (const std::string &file : files)
                ReadTextFile(file, codePage, options, *tally);
            for (const auto &[word, count] : words) {
                if (m_cancel)
                    throw ECancelled(Translate("The count was cancelled."));
                tally->AddWordRepeated(word, {}, count);
            }
            tally->EndText();
        } catch (...) {
            m_failure = std::current_exception();
        }
        m_done = true;
    });
    Progress->setValue(0);
    SummaryLabel->setText(TranslateQ("Counting..."));
    updateControls();
    CancelButton->setFocus();
    m_poll->start();
}

void TKbStatsFm::CancelClick()
{
    m_cancel = true;
}

void TKbStatsFm::pollCount()
{
    if (m_total > 0)
        Progress->setValue(int(std::min<uint64_t>(1000, m_progress.load() * 1000 / m_total)));
    if (m_done)
        finishCount();
}

void TKbStatsFm::finishCount()
{
    m_poll->stop();
    if (m_worker.joinable())
        m_worker.join();
    Progress->setValue(1000);
    updateControls();
    CountButton->setFocus();
    if (m_failure) {
        const std::exception_ptr failure = m_failure;
        m_failure = nullptr;
        try {
            std::rethrow_exception(failure);
        } catch (const ECancelled &) {
            SummaryLabel->setText(TranslateQ("The count was cancelled."));
            Progress->setValue(0);
            return;
        } catch (...) {
            SummaryLabel->setText(TranslateQ("The count failed."));
            throw; // reported by the handler
        }
    }
    TKeyStrokeFigures a = ComputeKeyStrokes(*m_countA, *m_tally);
    std::optional<TKeyStrokeFigures> b;
    if (m_countB)
        b = ComputeKeyStrokes(*m_countB, *m_tally);
    // A keyboard that types nothing has no figures to show: say why.
    for (const auto &[figures, name] : {std::pair{&a, TranslateQ("This keyboard")}, std::pair{b ? &*b : nullptr, m_nameB}})
        if (figures && figures->TypesNothing) {
            SummaryLabel->setText(name + QStringLiteral(": ") + QString::fromStdString(figures->Warnings.front()));
            return;
        }
    m_figuresA = std::move(a);
    m_figuresB = std::move(b);
    std::map<int32_t, double> use;
    const std::vector<double> shares = m_figuresA->KeyUse();
    for (size_t k = 0; k < shares.size(); ++k)
        use[m_countA->Keys[k].Value] = std::max(use[m_countA->Keys[k].Value], shares[k]);
    SetLastKeyUse(std::move(use));
    showFigures();
    updateControls();
}

void TKbStatsFm::showFigures()
{
    const CodePage &codePage = CodePage::current();
    const TKeyStrokeFigures &a = *m_figuresA;
    const TKeyStrokeFigures *b = m_figuresB ? &*m_figuresB : nullptr;
    const std::vector<TKeyStrokeLine> lines = KeyStrokeLines(a, b, codePage, TShareStyle::Percent);
    QStringList headers{TranslateQ("Figure"), b ? TranslateQ("This keyboard") : TranslateQ("Value")};
    if (b)
        headers << m_nameB << TranslateQ("Difference");
    FiguresTable->clear();
    FiguresTable->setColumnCount(headers.size());
    FiguresTable->setHorizontalHeaderLabels(headers);
    FiguresTable->setRowCount(int(lines.size()));
    for (size_t i = 0; i < lines.size(); ++i) {
        const TKeyStrokeLine &l = lines[i];
        const QString cells[] = {QString::fromStdString(l.What), QString::fromStdString(l.A),
                                 QString::fromStdString(l.B), QString::fromStdString(l.Difference)};
        for (int c = 0; c < headers.size(); ++c) {
            auto *item = new QTableWidgetItem(cells[c]);
            if (c > 0)
                item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
            FiguresTable->setItem(int(i), c, item);
        }
    }
    FiguresTable->resizeColumnsToContents();
    Picture->SetFigures(*m_countA, a, b);
    QString summary = TranslateQ("%1 characters read, %2 typed, %3 keystrokes.")
                          .arg(a.Characters)
                          .arg(a.Typed)
                          .arg(a.Keystrokes);
    if (a.Characters == 0)
        summary = TranslateQ("The texts hold no characters.");
    for (const std::string &w : m_readWarnings)
        summary += QStringLiteral(" ") + QString::fromStdString(w);
    for (const std::string &w : a.Warnings)
        summary += QStringLiteral(" ") + QString::fromStdString(w);
    SummaryLabel->setText(summary);
}

void TKbStatsFm::clearFigures()
{
    m_figuresA.reset();
    m_figuresB.reset();
    FiguresTable->setRowCount(0);
    Picture->Clear();
    SetLastKeyUse({});
    updateControls();
}

void TKbStatsFm::exportFigures(const char *title, const char *filter, const char *extension,
                               const std::function<std::string()> &text)
{
    if (!m_figuresA)
        return;
    FileRequest request;
    request.title = TranslateQ(title);
    request.filter = TranslateQ(filter);
    request.defaultExt = QString::fromLatin1(extension);
    request.overwritePrompt = true;
    const QString file = Dialogs().saveFile(request);
    if (!file.isEmpty())
        writeFileBytes(file.toStdString(), text());
}

void TKbStatsFm::ExportCsvClick()
{
    exportFigures("Export the figures as CSV", "CSV files (*.csv)|*.csv", "csv", [this] {
        return KeyStrokesToCsv(*m_figuresA, m_figuresB ? &*m_figuresB : nullptr, CodePage::current());
    });
}

void TKbStatsFm::ExportJsonClick()
{
    exportFigures("Export the figures as JSON", "JSON files (*.json)|*.json", "json", [this] {
        const CodePage &codePage = CodePage::current();
        return m_figuresB ? KeyStrokesToJson(*m_figuresA, *m_figuresB, codePage)
                          : KeyStrokesToJson(*m_figuresA, codePage);
    });
}

void TKbStatsFm::stopWorker()
{
    if (m_worker.joinable()) {
        m_cancel = true;
        m_worker.join();
    }
    m_poll->stop();
}

void TKbStatsFm::closeEvent(QCloseEvent *event)
{
    stopWorker();
    TChildForm::closeEvent(event);
}

} // namespace kf
