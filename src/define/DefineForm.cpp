#include "define/DefineForm.h"

#include "common/ErrorReport.h"
#include "ui/ValueLabel.h"
#include "ui/CodePageChoice.h"
#include "common/CodePage.h"
#include "common/FilePath.h"
#include "common/ColorValue.h"
#include "common/Dialogs.h"
#include "common/Translation.h"
#include "dbctrls/DBGrid.h"
#include "dbctrls/TableModel.h"
#include "dbctrls/DBImage.h"
#include "dbctrls/DBNavigator.h"
#include "define/ImportLayoutDialog.h"
#include "define/ImportReportDialog.h"
#include "model/KeyImage.h"
#include "model/GlyphCodec.h"
#include "table/DataBinding.h"
#include "model/DefinitionHistory.h"
#include "model/KeyPictures.h"
#include "exchange/LayoutImport.h"
#include "model/KeyCodes.h"
#include "model/MainData.h"
#include "exchange/XkbLayouts.h"

#include <QCheckBox>
#include <QFileInfo>
#include <QFontMetrics>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QLineEdit>
#include <QPainter>
#include <QPainterPath>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScopedValueRollback>
#include <QSplitter>
#include <QToolButton>

#include <algorithm>

namespace kf {

namespace {

enum class IconKind { Floppy, Folder, Eraser };

// The pictures of the small icon buttons, drawn so that they need no files.
QIcon drawIcon(IconKind kind)
{
    const int s = 16;
    QPixmap pm(s, s);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    switch (kind) {
    case IconKind::Floppy:
        p.setPen(QPen(QColor(20, 30, 90), 1));
        p.setBrush(QColor(40, 70, 170));
        p.drawRect(QRectF(1.5, 1.5, 13, 13));
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(235, 235, 235));
        p.drawRect(QRectF(4, 2, 8, 5));         // label
        p.setBrush(QColor(180, 185, 200));
        p.drawRect(QRectF(4, 10, 8, 4.5));      // shutter
        p.setBrush(QColor(40, 70, 170));
        p.drawRect(QRectF(9, 11, 2, 2.5));
        break;
    case IconKind::Folder: {
        p.setPen(QPen(QColor(140, 100, 10), 1));
        p.setBrush(QColor(230, 190, 70));
        QPainterPath back;
        back.moveTo(1.5, 3.5);
        back.lineTo(6, 3.5);
        back.lineTo(7.5, 5);
        back.lineTo(13.5, 5);
        back.lineTo(13.5, 13.5);
        back.lineTo(1.5, 13.5);
        back.closeSubpath();
        p.drawPath(back);
        p.setBrush(QColor(250, 215, 100));
        QPainterPath front;                     // the open flap
        front.moveTo(1.5, 13.5);
        front.lineTo(4, 7.5);
        front.lineTo(15, 7.5);
        front.lineTo(13.5, 13.5);
        front.closeSubpath();
        p.drawPath(front);
        break;
    }
    case IconKind::Eraser: {
        p.translate(8, 8);
        p.rotate(-35);
        p.setPen(QPen(QColor(90, 40, 50), 1));
        p.setBrush(QColor(235, 110, 130));
        p.drawRect(QRectF(-7, -3.5, 8, 7));
        p.setBrush(QColor(230, 230, 240));
        p.drawRect(QRectF(1, -3.5, 6, 7));
        break;
    }
    }
    return QIcon(pm);
}

QToolButton *makeIconButton(QWidget *parent, const char *name, IconKind kind, const QString &hint,
                            const QRect &place)
{
    auto *button = new QToolButton(parent);
    button->setObjectName(QString::fromLatin1(name));
    button->setIcon(drawIcon(kind));
    button->setIconSize(QSize(16, 16));
    button->setToolTip(hint);
    button->setAccessibleName(hint);
    button->setGeometry(place);
    button->setAutoRaise(false);
    return button;
}

QPushButton *makeButton(QWidget *parent, const char *name, const QString &caption, const QRect &place)
{
    auto *button = new QPushButton(caption, parent);
    button->setObjectName(QString::fromLatin1(name));
    button->setGeometry(place);
    button->setAutoDefault(false);
    return button;
}

} // namespace

// Follows the character table's current row for the demo edit.
class TDefineFm::CharLink : private IBoundView {
public:
    explicit CharLink(TDefineFm *form) : m_form(form) {}

    void SetDataSource(TDataSource *source) { m_binding.SetDataSource(source); }
    TRecordTable *table() const { return m_binding.DataSet(); }

private:
    void BindingChanged() override { m_form->ShowCurrentChar(); }
    void DataSetReset(TRecordTable &) override { m_form->ShowCurrentChar(); }
    void CurrentRowChanged(TRecordTable &) override { m_form->ShowCurrentChar(); }
    void StateChanged(TRecordTable &) override { m_form->ShowCurrentChar(); }
    void CurrentValuesChanged(TRecordTable &, int) override { m_form->ShowCurrentChar(); }
    void RowChanged(TRecordTable &t, int viewIndex) override
    {
        if (t.RecNo() == viewIndex + 1)
            m_form->ShowCurrentChar();
    }

    TDefineFm *m_form; // not owned
    TDataBinding m_binding{*this};
};

TDefineFm::TDefineFm(QWidget *parent) : TChildForm(parent), m_charLink(std::make_unique<CharLink>(this))
{
    setObjectName(QStringLiteral("DefineFm"));
    setWindowTitle(QStringLiteral("Keyboard definition"));
    setInitialClientSize(792, 490);
    buildControls();
    buildGrids();
    if (DataMod) {
        m_charLink->SetDataSource(&DataMod->CtblSource);
        // An undone or redone step that changed the settings shows at once.
        connect(&DataMod->History(), &TDefinitionHistory::SettingsRestored, this,
                [this](const PackageSettings &from, const PackageSettings &to) { SettingsRestored(from, to); });
    }
    // The texts are the definition's, typed ones included: a window opened
    // again shows what was typed in the one closed.
    ShowPackageTexts();
    // What is typed belongs to the definition at once.
    connect(AuthorEd, &QLineEdit::textChanged, this, [this] { TextTyped(true); });
    connect(InfoEd, &QPlainTextEdit::textChanged, this, [this] { TextTyped(false); });
    ShowCurrentChar();
}

TDefineFm::~TDefineFm() = default;

void TDefineFm::resizeEvent(QResizeEvent *event)
{
    TChildForm::resizeEvent(event);
    if (!Panel1)
        return; // the controls are still being made
    const int dw = std::max(0, width() - 792), dh = std::max(0, height() - 490);
    AuthorEd->setGeometry(512, 4, 273 + dw, 21);
    InfoEd->setGeometry(512, 28, 273 + dw, 67);
    Panel1->setGeometry(0, 133, 792 + dw, 357 + dh);
}

void TDefineFm::buildControls()
{
    KeyImage = new TDBImage(this);
    KeyImage->setObjectName(QStringLiteral("KeyImage"));
    KeyImage->setGeometry(4, 4, 157, 77);
    KeyImage->setAccessibleName(QStringLiteral("Key picture"));

    FitImgCheckbox = new QCheckBox(QStringLiteral("Width and height fit the image"), this);
    FitImgCheckbox->setObjectName(QStringLiteral("FitImgCheckbox"));
    FitImgCheckbox->setGeometry(4, 84, 161, 17);
    FitImgCheckbox->setChecked(true);

    LoadImgBn = makeButton(this, "LoadImgBn", QStringLiteral("&Load image"), {172, 4, 75, 25});
    PasteImgBn = makeButton(this, "PasteImgBn", QStringLiteral("&Paste image"), {172, 28, 75, 25});
    ClearImgBn = makeButton(this, "ClearImgBn", QStringLiteral("Cl&ear image"), {172, 52, 75, 25});
    CopyImgBn = makeButton(this, "CopyImgBn", QStringLiteral("&Copy image"), {172, 77, 75, 25});
    KeyColorBn = makeButton(this, "KeyColorBn", QStringLiteral("Key color"), {252, 4, 75, 25});
    KeyColorBn->setToolTip(QStringLiteral("Change key color  after defining the bitmap"));
    ColorBn = makeButton(this, "ColorBn", QStringLiteral("&Background Color"), {252, 76, 105, 25});
    ColorBn->setToolTip(QStringLiteral("Background color of the keyboard"));
    ImportBn = makeButton(this, "ImportBn", QStringLiteral("&Import layout..."), {332, 4, 130, 25});
    ImportBn->setToolTip(QStringLiteral("Replace the definition with a keyboard layout of the system"));
    DrawKeysBn = makeButton(this, "DrawKeysBn", QStringLiteral("Dra&w key pictures"), {332, 32, 130, 25});
    DrawKeysBn->setToolTip(QStringLiteral("Draw the picture of every key from its characters"));
    ExportBn = makeButton(this, "ExportBn", QStringLiteral("E&xport"), {252, 40, 75, 25});
    ExportBn->setToolTip(QStringLiteral("Hand the keyboard to other programs or install it on this desktop"));
    auto *exportMenu = new QMenu(ExportBn);
    exportMenu->setObjectName(QStringLiteral("ExportMenu"));
    ExportKeyboardAction = exportMenu->addAction(QStringLiteral("&Export keyboard as..."));
    ExportKeyboardAction->setObjectName(QStringLiteral("ExportKeyboardAction"));
    InstallAction = exportMenu->addAction(QStringLiteral("&Install on this desktop..."));
    InstallAction->setObjectName(QStringLiteral("InstallAction"));
    ExportBn->setMenu(exportMenu);
    CheckBn = makeButton(this, "CheckBn", QStringLiteral("Chec&k"), {362, 76, 75, 25});
    CheckBn->setToolTip(QStringLiteral("Find what would go wrong in the tutor"));

    auto *authorLb = new QLabel(QStringLiteral("Author:"), this);
    authorLb->setObjectName(QStringLiteral("Label1"));
    authorLb->adjustSize();
    authorLb->move(std::min(472, 510 - authorLb->width()), 8); // right-aligned to the edit
    AuthorEd = new QLineEdit(this);
    AuthorEd->setObjectName(QStringLiteral("AuthorEd"));
    AuthorEd->setGeometry(512, 4, 273, 21);
    AuthorEd->setAccessibleName(QStringLiteral("Author"));
    authorLb->setBuddy(AuthorEd);

    auto *infoLb = new QLabel(QStringLiteral("Info:"), this);
    infoLb->setObjectName(QStringLiteral("Label2"));
    infoLb->adjustSize();
    infoLb->move(std::min(484, 510 - infoLb->width()), 36);
    InfoEd = new QPlainTextEdit(this);
    InfoEd->setObjectName(QStringLiteral("InfoEd"));
    InfoEd->setGeometry(512, 28, 273, 67);
    InfoEd->setAccessibleName(QStringLiteral("Info"));
    InfoEd->setTabChangesFocus(true);
    infoLb->setBuddy(InfoEd);

    DBNavigator1 = new TDBNavigator(this);
    DBNavigator1->setObjectName(QStringLiteral("DBNavigator1"));
    DBNavigator1->setGeometry(4, 108, 208, 25);
    DBNavigator1->setAccessibleName(QStringLiteral("Key table navigator"));

    SaveBn = makeIconButton(this, "SaveBn", IconKind::Floppy, QStringLiteral("Save the definition"),
                            {216, 108, 23, 22});
    LoadBn = makeIconButton(this, "LoadBn", IconKind::Folder, QStringLiteral("Load definition"),
                            {244, 108, 23, 22});
    ClearBn = makeIconButton(this, "ClearBn", IconKind::Eraser, QStringLiteral("Clear key table"),
                             {272, 108, 23, 22});

    FileNameLb = new QLabel(this);
    FileNameLb->setObjectName(QStringLiteral("FileNameLb"));
    FileNameLb->setGeometry(303, 112, 170, 17);
    {
        QPalette pal = FileNameLb->palette();
        pal.setColor(QPalette::WindowText, QColor(0, 0, 128)); // navy
        FileNameLb->setPalette(pal);
        QFont f = FileNameLb->font();
        f.setPointSizeF(f.pointSizeF() + 1);
        FileNameLb->setFont(f);
    }
    SetupValueLabel(FileNameLb, QStringLiteral("Package file"));

    CodePageLb = NewCodePageLabel(this, TranslateQ("The code page packages and their characters are read and written in"));
    CodePageLb->setGeometry(442, 80, 66, 17);
    CodePageLb->setAlignment(Qt::AlignRight | Qt::AlignVCenter);

    DemoEd = new QLineEdit(this);
    DemoEd->setObjectName(QStringLiteral("DemoEd"));
    {
        QFont f = DemoEd->font();
        f.setPointSize(14);
        DemoEd->setFont(f);
    }
    DemoEd->setGeometry(480, 98, 49, 35);
    DemoEd->setAlignment(Qt::AlignCenter);
    DemoEd->setAccessibleName(QStringLiteral("Character"));
    DemoEd->installEventFilter(this);

    DBNavigator2 = new TDBNavigator(this);
    DBNavigator2->setObjectName(QStringLiteral("DBNavigator2"));
    DBNavigator2->setGeometry(536, 108, 208, 25);
    DBNavigator2->setAccessibleName(QStringLiteral("Character table navigator"));

    Clear2Bn = makeIconButton(this, "Clear2Bn", IconKind::Eraser, QStringLiteral("Clear char table"),
                              {752, 108, 23, 22});

    connect(LoadBn, &QToolButton::clicked, this, [this] { LoadBnClick(); });
    connect(SaveBn, &QToolButton::clicked, this, [this] { SaveBnClick(); });
    connect(ClearBn, &QToolButton::clicked, this, [this] { ClearBnClick(); });
    connect(Clear2Bn, &QToolButton::clicked, this, [this] { Clear2BnClick(); });
    connect(ColorBn, &QPushButton::clicked, this, [this] { ColorBnClick(); });
    connect(LoadImgBn, &QPushButton::clicked, this, [this] { LoadImgBnClick(); });
    connect(PasteImgBn, &QPushButton::clicked, this, [this] { PasteImgBnClick(); });
    connect(ClearImgBn, &QPushButton::clicked, this, [this] { ClearImgBnClick(); });
    connect(CopyImgBn, &QPushButton::clicked, this, [this] { CopyImgBnClick(); });
    connect(KeyColorBn, &QPushButton::clicked, this, [this] { KeyColorBnClick(); });
    connect(ImportBn, &QPushButton::clicked, this, ReportErrors(this, [this] { ImportBnClick(); }));
    connect(DrawKeysBn, &QPushButton::clicked, this, ReportErrors(this, [this] { DrawKeysBnClick(); }));
    connect(CheckBn, &QPushButton::clicked, this, ReportErrors(this, [this] { CheckBnClick(); }));
    connect(ExportKeyboardAction, &QAction::triggered, this, ReportErrors(this, [this] { ExportKeyboardClick(); }));
    connect(InstallAction, &QAction::triggered, this, ReportErrors(this, [this] { InstallClick(); }));
    connect(&CodePageChoice::instance(), &CodePageChoice::changed, this, [this] { CodePageChanged(); });
}

void TDefineFm::ClearBnClick()
{
    RunReportingErrors(this, [] {
        if (!DataMod)
            return;
        TDefinitionHistory::Step step(DataMod->History(), TranslateQ("clear keys"));
        DataMod->ClearKeyTable();
    });
}

void TDefineFm::Clear2BnClick()
{
    RunReportingErrors(this, [] {
        if (!DataMod)
            return;
        TDefinitionHistory::Step step(DataMod->History(), TranslateQ("clear characters"));
        DataMod->Ctbl.EmptyDataSet();
    });
}

std::optional<uint32_t> TDefineFm::AskColor()
{
    const std::optional<uint32_t> color = Dialogs().chooseColor(m_lastColor);
    if (color)
        m_lastColor = *color & 0xFFFFFF;
    return color ? std::optional<uint32_t>(*color & 0xFFFFFF) : std::nullopt;
}

void TDefineFm::ColorBnClick()
{
    RunReportingErrors(this, [this] {
        const std::optional<uint32_t> color = AskColor();
        if (!color)
            return;
        if (DataMod) {
            TDefinitionHistory::Step step(DataMod->History(), TranslateQ("background colour"));
            DataMod->bkcolor = int32_t(*color);
        }
        KeyImage->SetBackgroundColor(ColorValueToColor(*color));
    });
}

// ---- check -------------------------------------------------------------------

void TDefineFm::CheckBnClick()
{
    if (!DataMod)
        return;
    // The check reads what the tables hold: what is typed goes in first.
    for (TDBGrid *grid : {DBGrid, CharGrid})
        if (!grid->CommitEditor())
            return; // refused; the grid has said why
    DataMod->MainTbl.CheckBrowseMode();
    DataMod->Ctbl.CheckBrowseMode();
    emit CheckRequested();
}

// ---- demo edit ---------------------------------------------------------------

void TDefineFm::ShowCurrentChar()
{
    QString text;
    TRecordTable *table = m_charLink->table();
    const int code = table && table->Active() ? table->FindFieldIndex("Code") : -1;
    if (code >= 0 && (table->Editing() || table->RecNo() > 0)) {
        const uint8_t byte = TDataMod::CodeByte(table->Fields(code).AsInteger());
        if (byte != 0)
            text = QString(QChar(CodePage::current().toUnicode(byte)));
    }
    if (DemoEd->text() != text)
        DemoEd->setText(text);
}

void TDefineFm::FindChar(const QString &typed)
{
    TRecordTable *table = m_charLink->table();
    if (!table || !table->Active() || typed.size() != 1)
        return;
    uint8_t byte = 0;
    if (!CodePage::current().fromUnicode(char32_t(typed.at(0).unicode()), byte))
        return; // no character of the code page: no row can have it
    RunReportingErrors(this, [&] {
        if (table->Locate("Code", {TValue(int32_t(byte))}))
            ShowCurrentChar();
    });
}

bool TDefineFm::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == DemoEd && event->type() == QEvent::KeyPress) {
        auto *key = static_cast<QKeyEvent *>(event);
        const QString text = key->text();
        if (text.size() == 1 && text.at(0).isPrint()) {
            FindChar(text);
            DemoEd->selectAll(); // the typed character takes the place of the one shown
        }
        return false; // the edit takes the key as usual
    }
    return TChildForm::eventFilter(watched, event);
}

// ---- sorting -----------------------------------------------------------------

void TDefineFm::DBGridTitleClick(const QString &fieldName)
{
    if (!DataMod || fieldName == QStringLiteral("Glyph"))
        return; // a picture is no sort key
    RunReportingErrors(this, [&] { DataMod->MainTbl.SetIndexFieldNames(fieldName.toStdString()); });
}

} // namespace kf
