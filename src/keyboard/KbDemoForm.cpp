#include "keyboard/KbDemoForm.h"
#include "keyboard/CharCellModel.h"
#include "ui/ValueLabel.h"
#include "ui/CodePageChoice.h"
#include "common/Translation.h"
#include "common/ErrorReport.h"
#include "common/CodePage.h"
#include "common/FilePath.h"
#include "common/IntegerText.h"
#include "common/Dialogs.h"
#include "common/TextFile.h"
#include "keyboard/DragDropForm.h"
#include "keyboard/KbDragForm.h"
#include "keyboard/ChartExportDialog.h"
#include "keyboard/KbStatsForm.h"
#include "model/KeyLayout.h"
#include "exchange/KeyboardChart.h"
#include "model/RtfWriter.h"
#include "model/DefinitionHistory.h"
#include "model/MainData.h"

#include "keyboard/ButtonType.h"

#include <QCheckBox>
#include <QFocusEvent>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPainter>
#include <QPrintPreviewDialog>
#include <QPrinter>
#include <QPushButton>
#include <QScopedValueRollback>
#include <QTableView>
#include <QTextEdit>

#include <optional>
#include <utility>

namespace kf {

namespace {

// A character grid whose current cell moves the character table only when
// the user moves it: a click (pressed()), a key or a drag with the mouse
// (OnUserMove). The cell the view makes current by itself, when it takes the
// focus with none current, moves nothing.
class TCharGridView : public QTableView {
public:
    using QTableView::QTableView;
    std::function<void(const QModelIndex &)> OnUserMove;

protected:
    void keyPressEvent(QKeyEvent *event) override
    {
        const QScopedValueRollback<bool> byUser(m_byUser, true);
        QTableView::keyPressEvent(event);
    }
    void mouseMoveEvent(QMouseEvent *event) override
    {
        const QScopedValueRollback<bool> byUser(m_byUser, true);
        QTableView::mouseMoveEvent(event);
    }
    void currentChanged(const QModelIndex &current, const QModelIndex &previous) override
    {
        QTableView::currentChanged(current, previous);
        if (m_byUser && current.isValid() && OnUserMove)
            OnUserMove(current);
    }

private:
    bool m_byUser = false;
};

TCharGridView *makeCharGrid(QWidget *parent, const QString &name, int cellW, int cellH, int pixelSize)
{
    auto *grid = new TCharGridView(parent);
    grid->setObjectName(name);
    grid->horizontalHeader()->hide();
    grid->verticalHeader()->hide();
    grid->horizontalHeader()->setMinimumSectionSize(1);
    grid->verticalHeader()->setMinimumSectionSize(1);
    grid->horizontalHeader()->setDefaultSectionSize(cellW);
    grid->verticalHeader()->setDefaultSectionSize(cellH);
    grid->horizontalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    grid->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    grid->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    grid->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    grid->setSelectionMode(QAbstractItemView::SingleSelection);
    grid->setSelectionBehavior(QAbstractItemView::SelectItems);
    grid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    // The arrows move between cells; Tab and Shift+Tab go on to the next control.
    grid->setTabKeyNavigation(false);
    grid->setShowGrid(true);
    grid->setWordWrap(false);
    grid->setTextElideMode(Qt::ElideNone);
    QFont font(QStringLiteral("Times New Roman"));
    font.setPixelSize(pixelSize);
    grid->setFont(font);
    grid->setStyleSheet(QStringLiteral("QTableView::item { padding-left: 1px; padding-top: 1px; }"));
    return grid;
}

} // namespace

// ---- TKbDemoFm ----------------------------------------------------------------

TKbDemoFm::TKbDemoFm(QWidget *parent) : TChildForm(parent)
{
    setObjectName(QStringLiteral("KbDemoFm"));
    setWindowTitle(QStringLiteral("Keyboard layout"));
    setInitialClientSize(691, 525);
    // The window's own font is a small sans-serif (8 points) so the captions fit.
    QFont windowFont = font();
    windowFont.setPixelSize(11);
    setFont(windowFont);

    DemoEd = new QTextEdit(this);
    DemoEd->setObjectName(QStringLiteral("DemoEd"));
    DemoEd->setGeometry(4, 2, 653, 61);
    DemoEd->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    DemoEd->setAcceptRichText(true);
    QFont demoFont(QStringLiteral("Courier New"));
    demoFont.setStyleHint(QFont::Monospace);
    demoFont.setPixelSize(16);
    DemoEd->setFont(demoFont);
    DemoEd->document()->setDefaultFont(demoFont);
    DemoEd->setAccessibleName(QStringLiteral("Demo text"));
    // Tab goes on to the keyboard, as the tab order says, instead of typing
    // a tab character.
    DemoEd->setTabChangesFocus(true);

    Button3 = new QPushButton(QStringLiteral("Save text"), this);
    Button3->setObjectName(QStringLiteral("Button3"));
    Button3->setGeometry(8, 70, 89, 25);
    Button2 = new QPushButton(QStringLiteral("Refresh buttons"), this);
    Button2->setObjectName(QStringLiteral("Button2"));
    Button2->setGeometry(104, 70, 89, 25);

    DemoLabel = new QLabel(this);
    DemoLabel->setObjectName(QStringLiteral("DemoLabel"));
    DemoLabel->setGeometry(307, 74, 90, 17);
    DemoLabel->setAutoFillBackground(true);
    QPalette aqua = DemoLabel->palette();
    aqua.setColor(QPalette::Window, QColor(0, 255, 255));
    aqua.setColor(QPalette::WindowText, Qt::black);
    DemoLabel->setPalette(aqua);
    QFont labelFont = DemoLabel->font();
    labelFont.setPixelSize(13);
    DemoLabel->setFont(labelFont);
    SetupValueLabel(DemoLabel, QStringLiteral("Keyboard status (accent, drag position, character number)"));

    CodePageLb = NewCodePageLabel(this, TranslateQ("The code page the characters are read and written in"));
    CodePageLb->setGeometry(200, 74, 100, 17);
    CodePageLb->setAlignment(Qt::AlignRight | Qt::AlignVCenter);

    Label1 = new QLabel(QStringLiteral("Grid size X:"), this);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->setGeometry(418, 74, 56, 17); // up to its spin edit
    GridXEd = new TGridSpinEdit(this);
    GridXEd->setObjectName(QStringLiteral("GridXEd"));
    GridXEd->setGeometry(476, 70, 49, 22);
    GridXEd->setAccessibleName(QStringLiteral("Grid size X"));
    Label1->setBuddy(GridXEd);
    Label2 = new QLabel(QStringLiteral("Grid size Y:"), this);
    Label2->setObjectName(QStringLiteral("Label2"));
    Label2->setGeometry(532, 74, 54, 17);
    GridYEd = new TGridSpinEdit(this);
    GridYEd->setObjectName(QStringLiteral("GridYEd"));
    GridYEd->setGeometry(588, 70, 49, 22);
    GridYEd->setAccessibleName(QStringLiteral("Grid size Y"));
    Label2->setBuddy(GridYEd);

    DragDropFrame = new TDragDropFm(this);
    DragDropFrame->move(4, 101);
    // Until the keys are drawn the keyboard's place says how to draw them.
    KeyboardHintLb = new QLabel(TranslateQ("Press \u201CRefresh buttons\u201D to draw the keys of the definition."),
                                this);
    KeyboardHintLb->setObjectName(QStringLiteral("KeyboardHintLb"));
    KeyboardHintLb->setAlignment(Qt::AlignCenter);
    KeyboardHintLb->setWordWrap(true);
    KeyboardHintLb->setAttribute(Qt::WA_TransparentForMouseEvents);
    {
        QFont hintFont = KeyboardHintLb->font();
        hintFont.setPixelSize(14);
        KeyboardHintLb->setFont(hintFont);
        QPalette muted = KeyboardHintLb->palette();
        muted.setColor(QPalette::WindowText, muted.color(QPalette::PlaceholderText));
        KeyboardHintLb->setPalette(muted);
    }

    KeyGrid = makeCharGrid(this, QStringLiteral("KeyGrid"), 20, 20, 16);
    KeyGrid->setGeometry(662, 1, 24, 356);
    KeyGrid->setEnabled(false);
    // It only shows: keep its characters as readable as the other grid's.
    QPalette keyPalette = KeyGrid->palette();
    keyPalette.setColor(QPalette::Disabled, QPalette::Text, keyPalette.color(QPalette::Active, QPalette::Text));
    KeyGrid->setPalette(keyPalette);
    KeyGrid->setAccessibleName(QStringLiteral("Characters of the key"));
    m_keyModel = new TCharCellModel(1, 16, this);
    m_keyModel->SetRowLimit(15); // a key with more characters shows none
    KeyGrid->setModel(m_keyModel);

    ButtonDownCheckbox = new QCheckBox(QStringLiteral("Selected button down"), this);
    ButtonDownCheckbox->setObjectName(QStringLiteral("ButtonDownCheckbox"));
    ButtonDownCheckbox->setGeometry(244, 368, 145, 17);

    Button4 = new QPushButton(QStringLiteral("Add char to key"), this);
    Button4->setObjectName(QStringLiteral("Button4"));
    Button4->setGeometry(400, 364, 89, 25);
    Button4->setToolTip(QStringLiteral("Add link from selected char to selected key"));
    Button5 = new QPushButton(QStringLiteral("Break link between char and key"), this);
    Button5->setObjectName(QStringLiteral("Button5"));
    Button5->setGeometry(504, 364, 181, 25);
    Button5->setToolTip(QStringLiteral("Break link between selected char and the key"));

    TCharGridView *charGrid = makeCharGrid(this, QStringLiteral("CharGrid"), 16, 20, 14);
    CharGrid = charGrid;
    CharGrid->setGeometry(2, 392, 685, 130);
    CharGrid->setAccessibleName(QStringLiteral("Characters"));
    m_charModel = new TCharCellModel(40, 6, this);
    CharGrid->setModel(m_charModel);
    // Both grids follow their cursors: every character added, changed,
    // deleted or filtered shows at once.
    if (DataMod) {
        m_charModel->SetDataSource(&DataMod->CtblFSource);
        m_keyModel->SetDataSource(&DataMod->CtblDSource);
    }

    setTabOrder(Button2, Button3);
    setTabOrder(Button3, GridXEd);
    setTabOrder(GridXEd, GridYEd);
    setTabOrder(GridYEd, DemoEd);
    setTabOrder(DemoEd, DragDropFrame);
    setTabOrder(DragDropFrame, CharGrid);
    setTabOrder(CharGrid, KeyGrid);
    setTabOrder(KeyGrid, Button4);
    setTabOrder(Button4, Button5);
    setTabOrder(Button5, ButtonDownCheckbox);

    ChartBn = new QPushButton(QStringLiteral("Chart"), this);
    ChartBn->setObjectName(QStringLiteral("ChartBn"));
    ChartBn->setGeometry(8, 364, 89, 25);
    ChartBn->setToolTip(QStringLiteral("Export or print the keyboard chart"));
    ChartMenu = new QMenu(ChartBn);
    A_ExportChart = ChartMenu->addAction(QStringLiteral("Export chart..."));
    A_ExportChart->setObjectName(QStringLiteral("A_ExportChart"));
    A_PrintChart = ChartMenu->addAction(QStringLiteral("Print chart..."));
    A_PrintChart->setObjectName(QStringLiteral("A_PrintChart"));
    ChartBn->setMenu(ChartMenu);
    setTabOrder(ButtonDownCheckbox, ChartBn);
    connect(A_ExportChart, &QAction::triggered, this, ReportErrors(this, [this] { ExportChartClick(); }));
    connect(A_PrintChart, &QAction::triggered, this, ReportErrors(this, [this] { PrintChartClick(); }));

    connect(Button2, &QPushButton::clicked, this, ReportErrors(this, [this] { Button2Click(); }));
    connect(Button3, &QPushButton::clicked, this, ReportErrors(this, [this] { Button3Click(); }));
    connect(Button4, &QPushButton::clicked, this, ReportErrors(this, [this] { Button4Click(); }));
    connect(Button5, &QPushButton::clicked, this, ReportErrors(this, [this] { Button5Click(); }));
    connect(GridXEd, &QSpinBox::textChanged, this, [this] { GridXEdChange(); });
    connect(GridYEd, &QSpinBox::textChanged, this, [this] { GridYEdChange(); });
    // Only a selection by the user moves the character table: taking the
    // focus by Tab makes a cell current but selects no character.
    connect(CharGrid, &QTableView::pressed, this, ReportErrors(this, [this](const QModelIndex &index) {
                CharGridSelectCell(index.column(), index.row());
            }));
    charGrid->OnUserMove = ReportErrors(this, [this](const QModelIndex &current) {
        CharGridSelectCell(current.column(), current.row());
    });
    connect(&CodePageChoice::instance(), &CodePageChoice::changed, this, [this] { CodePageChanged(); });
    // The keys follow an undone or redone step at once.
    if (DataMod)
        connect(&DataMod->History(), &TDefinitionHistory::Restored, this,
                ReportErrors(this, [this] { KbDragFrame()->FollowKeyRows(); }));
    // What each key says it types follows every change of the definition
    // (a character linked to a key here or edited in the definition window).
    if (DataMod)
        connect(&DataMod->History(), &TDefinitionHistory::Changed, this,
                ReportErrors(this, [this] { KbDragFrame()->UpdateTypedTexts(); }));
}

void TKbDemoFm::CodePageChanged()
{
    m_charModel->TextReadingChanged();
    m_keyModel->TextReadingChanged();
    KbDragFrame()->RereadButtonTexts();
}

TKbDemoFm::~TKbDemoFm()
{
    DragDropFrame->DetachDragDrop();
    // The preview prints on m_printer: it goes first.
    delete m_printPreview.data();
}

TKbDragFm *TKbDemoFm::KbDragFrame() const
{
    return DragDropFrame->KbDragFrame;
}

void TKbDemoFm::FormCreate()
{
    DragDropFrame->AttachDragDrop();
    KbDragFrame()->OnKeyClick = [this](ButtonType *sender) { KeyClicked(sender); };
    placeControls();
}

void TKbDemoFm::resizeEvent(QResizeEvent *event)
{
    TChildForm::resizeEvent(event);
    if (ChartBn) // the controls are made
        placeControls();
}

void TKbDemoFm::placeControls()
{
    // What the window has beyond its first size goes to the demo text (in
    // width) and the keyboard (in both); the controls below the keyboard
    // move down with the window's foot, the key's characters with its right
    // edge.
    const int dw = std::max(0, width() - 691), dh = std::max(0, height() - 525);
    DemoEd->setGeometry(4, 2, 653 + dw, 61);
    KeyGrid->move(662 + dw, 1);
    // The window's outer width (the client width and the frame) less 42.
    KbDragFrame()->resize(691 + 8 - 42 + dw, 260 + dh);
    KeyboardHintLb->setGeometry(QRect(DragDropFrame->pos(), KbDragFrame()->size()).adjusted(16, 0, -16, 0));
    const std::pair<QWidget *, int> below[] = {{ChartBn, 364}, {ButtonDownCheckbox, 368}, {Button4, 364},
                                               {Button5, 364}};
    for (const auto &[control, top] : below)
        control->move(control->x(), top + dh);
    CharGrid->setGeometry(2, 392 + dh, 685 + dw, 130);
}

void TKbDemoFm::ShowKeyboardHint()
{
    KeyboardHintLb->setVisible(KbDragFrame()->Buttons().empty());
    KeyboardHintLb->raise();
}

QString TKbDemoFm::CharGridCell(int c, int r) const
{
    return m_charModel->CellText(c, r);
}

QString TKbDemoFm::KeyGridCell(int r) const
{
    return m_keyModel->CellText(0, r);
}

void TKbDemoFm::Button2Click()
{
    KbDragFrame()->ClearButtons();
    BuildKeyboard();
}

void TKbDemoFm::BuildKeyboard()
{
    // However the build ends, the hint shows while there are no keys.
    struct HintAfter {
        TKbDemoFm *form;
        ~HintAfter() { form->ShowKeyboardHint(); }
    } hintAfter{this};
    if (!DataMod || DataMod->MainTbl.RecordCount() == 0) {
        // A definition that holds something but no key says so: loading
        // another file is not what it needs.
        const bool holdsSomething = DataMod
                                    && (DataMod->Ctbl.RecordCount() > 0 || !DataMod->Author.empty()
                                        || !DataMod->misc.empty() || DataMod->TypedAuthor || DataMod->TypedInfo);
        Dialogs().information(
            holdsSomething
                ? TranslateQ("The keyboard has no keys, so there are no buttons to draw. Add keys in the Keyboard "
                             "Definition window, or load a package or import a layout that has them.")
                : QStringLiteral("You need to load the definition file in the Keyboard Definition window first."));
        return;
    }
    KbDragFrame()->SetTargetEdit(DemoEd);
    KbDragFrame()->SetStatusLabel(DemoLabel);
    KbDragFrame()->BuildButtons(false);
}

void TKbDemoFm::Button3Click()
{
    FileRequest request; // no filter, no default extension, no overwrite question
    const QString path = Dialogs().saveFile(request);
    if (path.isEmpty())
        return;
    RtfFont font;
    const QFont f = DemoEd->font();
    font.family = f.family();
    font.pointSize = f.pixelSize() > 0 ? f.pixelSize() * 72.0 / 96.0 : f.pointSizeF();
    font.bold = f.bold();
    font.italic = f.italic();
    writeFileBytes(LocalPath(path),
                   WriteRtf(DemoEd->toPlainText(), font, CodePage::current()));
}

void TKbDemoFm::GridXEdChange()
{
    DragDropFrame->GridX = GridXEd->ValueOfText(GridXEd->text());
}

void TKbDemoFm::GridYEdChange()
{
    DragDropFrame->GridY = GridYEd->ValueOfText(GridYEd->text());
}

void TKbDemoFm::CharGridSelectCell(int c, int r)
{
    if (!DataMod)
        return;
    const int n = r * 40 + c + 1;
    if (n > DataMod->Ctbl.RecordCount())
        return;
    TRecordTable &f = DataMod->CtblF;
    if (n > f.RecordCount())
        return;
    DataMod->Ctbl.GotoBookmark(f.RowAt(n - 1));
    DemoLabel->setText(QString::number(n));
}

void TKbDemoFm::KeyClicked(ButtonType *Sender)
{
    if (!DataMod)
        return;
    TField keyValue = DataMod->MainTbl.FieldByName("KeyValue");
    const std::string value = keyValue.IsNull() ? std::string() : std::to_string(keyValue.AsInteger());
    DataMod->CtblD.SetFilter("KeyNo=" + value); // "KeyNo=" alone is refused by the parser
    DataMod->CtblD.SetFiltered(true);
    if (ButtonDownCheckbox->isChecked() && Sender) {
        // A key its group has put up keeps its pressed picture; give the key
        // marked before its released picture back, so one key looks marked.
        if (m_markedKey && m_markedKey != Sender && !m_markedKey->down())
            m_markedKey->SetPressed(false);
        Sender->SetPressed(true);
        m_markedKey = Sender;
    }
}

namespace {

// The Name of the character row a link button works on, as shown.
QString CharName(TRecordTable &chars)
{
    return chars.RecordCount() > 0 ? CodePage::current().decode(chars.FieldByName("Name").AsString()) : QString();
}

} // namespace

void TKbDemoFm::Button4Click()
{
    if (!DataMod)
        return;
    TRecordTable &keys = DataMod->MainTbl;
    TRecordTable &chars = DataMod->Ctbl;
    const TValue keyValue = keys.RecordCount() > 0 ? keys.FieldByName("KeyValue").Value() : TValue();
    TDefinitionHistory::Step step(DataMod->History(), TranslateQ("link of character '%1'").arg(CharName(chars)));
    chars.Edit();
    chars.FieldByName("KeyNo").SetValue(keyValue);
    chars.Post();
}

void TKbDemoFm::Button5Click()
{
    if (!DataMod)
        return;
    TRecordTable &chars = DataMod->Ctbl;
    TDefinitionHistory::Step step(DataMod->History(),
                                  TranslateQ("break of the link of character '%1'").arg(CharName(chars)));
    chars.Edit();
    chars.FieldByName("KeyNo").Clear();
    chars.Post(); // the key grid follows at once
}

// ---- the keyboard chart ------------------------------------------------------

namespace {

const QString kChartCaption = QStringLiteral("Keyboard chart");

// Colours by use from the last keyboard statistics: a share per key of the
// layout, 0 for a key the count did not press.
std::vector<double> UseOfKeys(const TKeyLayout &layout)
{
    const std::map<int32_t, double> &use = LastKeyUse();
    std::vector<double> shares(layout.Keys.size(), 0.0);
    for (size_t k = 0; k < shares.size(); ++k)
        if (const auto it = use.find(layout.Keys[k].Value); it != use.end())
            shares[k] = it->second;
    return shares;
}

// The chart of the shared definition in the code page in force, its keys
// coloured by use when asked (and the options given none); nothing (after
// saying why) when it has nothing to draw.
std::optional<TKeyboardChart> DefinitionChart(TChartOptions &options, TChartFormat format, bool byUse = false)
{
    if (!DataMod) {
        Dialogs().warning(kChartCaption, TranslateQ("The keyboard has no keys: there is nothing to draw."));
        return std::nullopt;
    }
    DataMod->MainTbl.CheckBrowseMode();
    TKeyboardChart chart = TKeyboardChart::FromDataMod(*DataMod, CodePage::current());
    if (byUse && options.Heat.empty() && !LastKeyUse().empty())
        options.Heat = UseOfKeys(chart.Layout());
    try {
        chart.Check(options, format);
    } catch (const EChartError &e) {
        Dialogs().warning(kChartCaption, QString::fromStdString(e.what()));
        return std::nullopt;
    }
    return chart;
}

} // namespace

TChartExportDlg *TKbDemoFm::ChartDialog() const
{
    return m_chartDlg;
}

QPrintPreviewDialog *TKbDemoFm::PrintPreview() const
{
    return m_printPreview;
}

void TKbDemoFm::ExportChartClick()
{
    if (m_chartDlg) {
        m_chartDlg->raise();
        m_chartDlg->activateWindow();
        return;
    }
    TChartOptions options;
    options.Heat = ChartHeat;
    const std::optional<TKeyboardChart> chart = DefinitionChart(options, TChartFormat::Svg);
    if (!chart)
        return;
    auto *dialog = new TChartExportDlg(chart->DefaultTitle(), this);
    // Colours by use when there are statistics, chosen when the keys show them.
    dialog->OfferUse(!LastKeyUse().empty(), KbDragFrame()->A_ColourKeysByUse->isChecked());
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    connect(dialog, &TChartExportDlg::ExportRequested, this,
            ReportErrors(this, [this, dialog] { ExportChartTo(*dialog); }));
    m_chartDlg = dialog;
    dialog->open();
}

void TKbDemoFm::ExportChartTo(TChartExportDlg &dialog)
{
    const TChartFormat format = dialog.Format();
    TChartOptions options = dialog.Options();
    options.Heat = ChartHeat;
    const std::optional<TKeyboardChart> chart = DefinitionChart(options, format, dialog.ByUse());
    if (!chart)
        return;
    FileRequest request;
    request.title = QStringLiteral("Export chart");
    request.overwritePrompt = true;
    switch (format) {
    case TChartFormat::Svg:
        request.filter = QStringLiteral("SVG drawings (*.svg)|*.svg");
        request.defaultExt = QStringLiteral("svg");
        break;
    case TChartFormat::Pdf:
        request.filter = QStringLiteral("PDF documents (*.pdf)|*.pdf");
        request.defaultExt = QStringLiteral("pdf");
        break;
    case TChartFormat::Png:
        request.filter = QStringLiteral("PNG pictures (*.png)|*.png");
        request.defaultExt = QStringLiteral("png");
        break;
    }
    QString path = Dialogs().saveFile(request);
    if (path.isEmpty())
        return; // the dialog stays for another try
    TChartFormat named;
    if (!TKeyboardChart::FormatOfPath(path, named) || named != format)
        path += QLatin1Char('.') + request.defaultExt;
    try {
        chart->Export(LocalPath(path), format, options);
    } catch (const EChartError &e) {
        // Nothing was written (a file there is as it was); the dialog stays
        // for another try, e.g. at a smaller scale.
        Dialogs().warning(kChartCaption, QString::fromStdString(e.what()));
        return;
    }
    dialog.accept();
    const QStringList warnings = chart->Warnings(options, format);
    if (!warnings.isEmpty())
        Dialogs().warning(kChartCaption, warnings.join(QLatin1Char('\n')));
}

void TKbDemoFm::PrintChartClick()
{
    if (m_printPreview) {
        m_printPreview->raise();
        m_printPreview->activateWindow();
        return;
    }
    TChartOptions options;
    options.Heat = ChartHeat;
    if (!DefinitionChart(options, TChartFormat::Pdf, KbDragFrame()->A_ColourKeysByUse->isChecked()))
        return;
    // The printer is landscape before the preview is made: the preview's
    // orientation buttons show the page as the printer has it then.
    if (!m_printer) {
        m_printer = std::make_unique<QPrinter>(QPrinter::HighResolution);
        m_printer->setPageOrientation(QPageLayout::Landscape);
    }
    auto *preview = new QPrintPreviewDialog(m_printer.get(), this);
    preview->setAttribute(Qt::WA_DeleteOnClose);
    preview->setWindowTitle(QStringLiteral("Print chart"));
    connect(preview, &QPrintPreviewDialog::paintRequested, this,
            ReportErrors(this, [this](QPrinter *printer) { PrintChart(*printer); }));
    m_printPreview = preview;
    preview->open();
}

void TKbDemoFm::PrintChart(QPrinter &printer)
{
    TChartOptions options;
    options.Heat = ChartHeat;
    // Printed as the keys show: by use when they are coloured so.
    const std::optional<TKeyboardChart> chart =
        DefinitionChart(options, TChartFormat::Pdf, KbDragFrame()->A_ColourKeysByUse->isChecked());
    if (!chart)
        return;
    QPainter p(&printer);
    const QRectF page = printer.pageLayout().paintRectPixels(printer.resolution());
    chart->PaintFitted(p, QRectF(QPointF(0, 0), page.size()), options);
}

} // namespace kf
