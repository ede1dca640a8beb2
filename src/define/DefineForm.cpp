#include "define/DefineForm.h"

#include "common/ErrorReport.h"
#include "ui/ValueLabel.h"
#include "ui/CodePageChoice.h"
#include "common/Translation.h"
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
#include "model/LayoutImport.h"
#include "model/MainData.h"
#include "model/XkbLayouts.h"

#include <QCheckBox>
#include <QFileInfo>
#include <QFontMetrics>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
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

const char *const kPackageFilter = "on-screen keyboard template|*.vkt";
const char *const kPackageExt = "vkt";
const char *const kBitmapFilter = "Bitmaps (*.bmp)|*.bmp";

constexpr int kKeyGridWidth = 468;

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

bool editing(const TRecordTable &table)
{
    return table.State() == TDataSetState::Edit || table.State() == TDataSetState::Insert;
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

std::vector<TCodeEntry> TDefineFm::KeyTypeCodes()
{
    return {{QStringLiteral("Alpha"), 1},      {QStringLiteral("Num"), 2},
            {QStringLiteral("L Shift"), 1002}, {QStringLiteral("R Shift"), 1003},
            {QStringLiteral("Alt"), 18},       {QStringLiteral("AltGr"), 1000},
            {QStringLiteral("Caps Lock"), 20}, {QStringLiteral("Delete"), 46},
            {QStringLiteral("Backspace"), 8},  {QStringLiteral("L Ctrl"), 1004},
            {QStringLiteral("R Ctrl"), 1005},  {QStringLiteral("Space"), 3},
            {QStringLiteral("Enter"), 13},     {QStringLiteral("GRAVE"), 2001},
            {QStringLiteral("ACUTE"), 2002},   {QStringLiteral("CIRCUMFLEX"), 2003},
            {QStringLiteral("TILDE"), 2004},   {QStringLiteral("UMLAUT"), 2005},
            {QStringLiteral("RING"), 2006},    {QStringLiteral("ESE"), 2007},
            {QStringLiteral("CEDILIA"), 2008}};
}

std::vector<TCodeEntry> TDefineFm::AccentCodes()
{
    return {{QStringLiteral("Grave accent"), 2001}, {QStringLiteral("Acute accent"), 2002},
            {QStringLiteral("Circumflex accent"), 2003}, {QStringLiteral("Tilde"), 2004},
            {QStringLiteral("Umlaut"), 2005},       {QStringLiteral("Ring"), 2006},
            {QStringLiteral("eSE"), 2007},          {QStringLiteral("Cedilla"), 2008},
            {QStringLiteral("None"), 0}};
}

std::vector<TCodeEntry> TDefineFm::FingerCodes()
{
    return {{QStringLiteral("L Little"), 0}, {QStringLiteral("L Ring"), 1},   {QStringLiteral("L Middle"), 2},
            {QStringLiteral("L Index"), 3},  {QStringLiteral("L Thumb"), 4},  {QStringLiteral("R Thumb"), 5},
            {QStringLiteral("R Index"), 6},  {QStringLiteral("R Middle"), 7}, {QStringLiteral("R Ring"), 8},
            {QStringLiteral("R Little"), 9}};
}

TDefineFm::TDefineFm(QWidget *parent) : TChildForm(parent), m_charLink(std::make_unique<CharLink>(this))
{
    setObjectName(QStringLiteral("DefineFm"));
    setWindowTitle(QStringLiteral("Keyboard definition"));
    setClientSize(792, 490);
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
    connect(&CodePageChoice::instance(), &CodePageChoice::changed, this, [this] { CodePageChanged(); });
}

void TDefineFm::buildGrids()
{
    Panel1 = new QWidget(this);
    Panel1->setObjectName(QStringLiteral("Panel1"));
    Panel1->setGeometry(0, 133, 792, 357);
    auto *layout = new QHBoxLayout(Panel1);
    layout->setContentsMargins(0, 0, 0, 0);

    Splitter1 = new QSplitter(Qt::Horizontal, Panel1);
    Splitter1->setObjectName(QStringLiteral("Splitter1"));
    Splitter1->setChildrenCollapsible(false);
    layout->addWidget(Splitter1);

    DBGrid = new TDBGrid(Splitter1);
    DBGrid->setObjectName(QStringLiteral("DBGrid"));
    DBGrid->setAccessibleName(QStringLiteral("Keys"));
    CharGrid = new TDBGrid(Splitter1);
    CharGrid->setObjectName(QStringLiteral("CharGrid"));
    CharGrid->setAccessibleName(QStringLiteral("Characters"));
    Splitter1->addWidget(DBGrid);
    Splitter1->addWidget(CharGrid);
    Splitter1->setStretchFactor(0, 0);
    Splitter1->setStretchFactor(1, 1);
    const int handle = Splitter1->handleWidth();
    Splitter1->setSizes({kKeyGridWidth, 792 - kKeyGridWidth - handle});

    auto codeList = [](std::string field, const char *title, int width, std::vector<TCodeEntry> codes,
                       int rows) {
        TColumn c(std::move(field), QString::fromLatin1(title), width, TColumnKind::CodeList);
        c.Codes = std::move(codes);
        c.DropDownRows = rows;
        return c;
    };

    std::vector<TColumn> keyColumns;
    keyColumns.emplace_back("Name", QStringLiteral("Name"), 8, TColumnKind::Text);
    keyColumns.back().FitText = true;
    keyColumns.emplace_back("KeyValue", QStringLiteral("Value"), 6, TColumnKind::Number);
    keyColumns.push_back(codeList("KeyType", "KeyType", 8, KeyTypeCodes(), 8));
    keyColumns.push_back(codeList("KeyType2", "KeyType2", 8, KeyTypeCodes(), 8));
    keyColumns.push_back(codeList("Finger", "Finger", 7, FingerCodes(), 10));
    keyColumns.emplace_back("Width", QStringLiteral("Width"), 4, TColumnKind::Number);
    keyColumns.emplace_back("Height", QStringLiteral("Height"), 5, TColumnKind::Number);
    keyColumns.emplace_back("X", QStringLiteral("X"), 4, TColumnKind::Number);
    keyColumns.emplace_back("Y", QStringLiteral("Y"), 4, TColumnKind::Number);
    keyColumns.emplace_back("Glyph", QStringLiteral("Glyph"), 7, TColumnKind::Picture);
    keyColumns.emplace_back("Hint", QStringLiteral("Hint"), 10, TColumnKind::Text);
    DBGrid->SetColumns(std::move(keyColumns));
    DBGrid->SetTitlesClickable(true);
    DBGrid->SetRowsResizable(true);

    std::vector<TColumn> charColumns;
    charColumns.emplace_back("Name", QStringLiteral("Name"), 10, TColumnKind::Text);
    charColumns.back().FitText = true; // names such as "Space AltGr shifted" are read whole
    charColumns.emplace_back("Code", QStringLiteral("Code"), 5, TColumnKind::Number);
    charColumns.emplace_back("KeyNo", QStringLiteral("KeyNo"), 8, TColumnKind::Number);
    charColumns.emplace_back("Shift", QStringLiteral("Shift"), 4, TColumnKind::Check);
    charColumns.emplace_back("AltGr", QStringLiteral("AltGr"), 4, TColumnKind::Check);
    charColumns.push_back(codeList("Accent", "Accent", 11, AccentCodes(), 11));
    CharGrid->SetColumns(std::move(charColumns));

    if (DataMod) {
        DBGrid->SetDataSource(&DataMod->MainSource);
        DBNavigator1->SetDataSource(&DataMod->MainSource);
        KeyImage->SetDataSource(&DataMod->MainSource);
        CharGrid->SetDataSource(&DataMod->CtblSource);
        DBNavigator2->SetDataSource(&DataMod->CtblSource);
    }
    KeyImage->SetDataField("Glyph");
    // Only a picture that a package can hold is taken.
    KeyImage->SetPictureCheck([](const QImage &picture) {
        if (DataMod)
            CheckKeyPicture(picture, DataMod->KeyPictureRoom());
    });

    connect(DBGrid, &TDBGrid::TitleClick, this,
            [this](int, const QString &fieldName) { DBGridTitleClick(fieldName); });
}

// ---- packages ----------------------------------------------------------------

void TDefineFm::LoadBnClick()
{
    if (!AskToSaveChanges())
        return;
    RunReportingErrors(this, [this] {
        FileRequest request;
        request.title = QStringLiteral("Load definition");
        request.filter = QString::fromLatin1(kPackageFilter);
        request.defaultExt = QString::fromLatin1(kPackageExt);
        const QString path = Dialogs().openFile(request);
        if (!path.isEmpty())
            LoadPackageFile(path);
    });
}

bool TDefineFm::OpenPackage(const QString &path)
{
    bool loaded = false;
    if (AskToSaveChanges())
        RunReportingErrors(this, [&] { loaded = LoadPackageFile(path); });
    return loaded;
}

bool TDefineFm::LoadPackageFile(const QString &path)
{
    if (!DataMod)
        return false;
    if (!DataMod->LoadPackage(LocalPath(path))) {
        // The package layer changed nothing; say why it failed.
        Dialogs().warning(windowTitle(),
                          QStringLiteral("Cannot load \"%1\":\n%2")
                              .arg(QFileInfo(path).fileName(),
                                   QString::fromLocal8Bit(DataMod->PackageError().c_str())));
        return false;
    }
    ShowSettings();
    FileNameLb->setText(QFileInfo(path).fileName());
    emit FileUsed(RecentKind::Package, path);
    return true;
}

void TDefineFm::ShowSettings()
{
    if (!DataMod)
        return;
    KeyImage->SetBackgroundColor(ColorValueToColor(uint32_t(DataMod->bkcolor)));
    ShowPackageTexts();
}

QString TDefineFm::SaveQuestion()
{
    return TranslateQ("Save changes to the keyboard definition?");
}

bool TDefineFm::Unsaved() const
{
    if (DataMod)
        return DataMod->Unsaved();
    return AuthorEd->isModified() || InfoEd->document()->isModified();
}

void TDefineFm::TextTyped(bool author)
{
    if (m_showingTexts || !DataMod)
        return;
    if (author)
        DataMod->TypedAuthor = AuthorEd->text();
    else
        DataMod->TypedInfo = InfoEd->toPlainText();
}

void TDefineFm::SettingsRestored(const PackageSettings &from, const PackageSettings &to)
{
    // Only what the step changed is shown again: a typed text stays.
    if (from.bkcolor != to.bkcolor)
        KeyImage->SetBackgroundColor(ColorValueToColor(uint32_t(to.bkcolor)));
    if (from.Author != to.Author || from.misc != to.misc)
        ShowPackageTexts();
}

bool TDefineFm::AskToSaveChanges()
{
    if (!Unsaved())
        return true;
    switch (Dialogs().saveDiscardCancel(SaveQuestion())) {
    case SaveAnswer::Save:
        return SaveDefinition();
    case SaveAnswer::Discard:
        return true;
    case SaveAnswer::Cancel:
        break;
    }
    return false;
}

void TDefineFm::SaveBnClick()
{
    SaveDefinition();
}

bool TDefineFm::SaveDefinition()
{
    bool saved = false;
    RunReportingErrors(this, [this, &saved] {
        // The author and info are written in the code page: a character it
        // lacks would reach the tutor as "?". Only what was edited counts: a
        // byte the code page leaves undefined in a loaded text is kept.
        const CodePage &inForce = CodePage::current();
        auto edited = [&inForce](const QString &text, const std::string &was) {
            return text == inForce.decode(was) ? QString() : text;
        };
        // The info text keeps its line breaks, written as CR LF like the
        // package's own lines.
        QString info = InfoEd->toPlainText();
        info.replace(QStringLiteral("\n"), QStringLiteral("\r\n"));
        const QString lacking = DataMod ? inForce.unheldMessage(edited(AuthorEd->text(), DataMod->Author)
                                                                 + edited(info, DataMod->misc))
                                        : QString();
        if (!lacking.isEmpty()
            && !Dialogs().okCancel(lacking
                                   + QStringLiteral("\n\nThe author and info are saved in the code page: these "
                                                    "characters would be saved as \"?\". Save anyway?")))
            return;
        FileRequest request;
        request.title = QStringLiteral("Save the definition");
        request.filter = QString::fromLatin1(kPackageFilter);
        request.defaultExt = QString::fromLatin1(kPackageExt);
        request.overwritePrompt = true;
        const QString path = Dialogs().saveFile(request);
        if (path.isEmpty() || !DataMod)
            return;
        // The typed texts are the definition's; the save writes them in the
        // code page in force.
        if (!DataMod->SavePackage(LocalPath(path))) {
            Dialogs().warning(windowTitle(),
                              QStringLiteral("Cannot save \"%1\":\n%2")
                                  .arg(QFileInfo(path).fileName(),
                                       QString::fromLocal8Bit(DataMod->PackageError().c_str())));
            return;
        }
        FileNameLb->setText(QFileInfo(path).fileName());
        // What was written is what the package holds now.
        ShowPackageTexts();
        saved = true;
        emit FileUsed(RecentKind::Package, path);
    });
    return saved;
}

void TDefineFm::ShowPackageTexts()
{
    if (!DataMod)
        return;
    const QScopedValueRollback<bool> showing(m_showingTexts, true);
    const CodePage &cp = CodePage::current();
    const QString author = DataMod->TypedAuthor ? *DataMod->TypedAuthor : cp.decode(DataMod->Author);
    if (AuthorEd->text() != author)
        AuthorEd->setText(author);
    AuthorEd->setModified(DataMod->TypedAuthor.has_value());
    const QString info = DataMod->TypedInfo ? *DataMod->TypedInfo : cp.decode(DataMod->misc);
    if (InfoEd->toPlainText() != info)
        InfoEd->setPlainText(info);
    InfoEd->document()->setModified(DataMod->TypedInfo.has_value());
}

void TDefineFm::CodePageChanged()
{
    DBGrid->Model()->TextReadingChanged();
    CharGrid->Model()->TextReadingChanged();
    ShowCurrentChar();
    // A text the user typed stays as typed; it is written in the code page
    // in force when the package is saved. The others read their bytes anew.
    ShowPackageTexts();
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
    if (code >= 0 && (editing(*table) || table->RecNo() > 0)) {
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

// ---- key image tools ---------------------------------------------------------

void TDefineFm::EditKeyRow()
{
    if (!DataMod)
        return;
    TRecordTable &keys = DataMod->MainTbl;
    if (!editing(keys))
        keys.Edit(); // on an empty table a new row
}

void TDefineFm::FitKeySize()
{
    if (!DataMod || !FitImgCheckbox->isChecked())
        return;
    const QImage &picture = KeyImage->Picture();
    TRecordTable &keys = DataMod->MainTbl;
    keys.FieldByName("Width").SetAsInteger(picture.width());
    keys.FieldByName("Height").SetAsInteger(picture.height());
}

void TDefineFm::LoadImgBnClick()
{
    RunReportingErrors(this, [this] {
        FileRequest request;
        request.title = QStringLiteral("Load image");
        request.filter = QString::fromLatin1(kBitmapFilter);
        request.picturePreview = true;
        const QString path = Dialogs().openFile(request);
        if (path.isEmpty())
            return;
        EditKeyRow();
        const QImage picture = LoadBitmapFile(LocalPath(path)); // throws for anything but a bitmap
        KeyImage->SetPicture(picture);
        FitKeySize();
    });
}

void TDefineFm::PasteImgBnClick()
{
    RunReportingErrors(this, [this] {
        EditKeyRow();
        KeyImage->PasteFromClipboard(); // nothing without a picture on the clipboard
        FitKeySize();
    });
}

void TDefineFm::ClearImgBnClick()
{
    RunReportingErrors(this, [] {
        if (!DataMod)
            return;
        TRecordTable &keys = DataMod->MainTbl;
        if (!editing(keys))
            keys.Edit();
        keys.FieldByName("Glyph").Clear(); // the picture box follows
    });
}

void TDefineFm::CopyImgBnClick()
{
    RunReportingErrors(this, [this] { KeyImage->CopyToClipboard(); });
}

void TDefineFm::KeyColorBnClick()
{
    RunReportingErrors(this, [this] {
        const std::optional<uint32_t> color = AskColor();
        if (!color)
            return;
        EditKeyRow();
        const QImage &picture = KeyImage->Picture();
        if (picture.isNull())
            return;
        KeyImage->SetPicture(RecolorKey(picture, *color));
    });
}

// ---- layout import and drawn key pictures ----------------------------------

TImportLayoutDlg *TDefineFm::ImportDialog() const
{
    return m_importDlg;
}

TImportReportDlg *TDefineFm::ImportReport() const
{
    return m_importReport;
}

void TDefineFm::ImportBnClick()
{
    if (m_importDlg) {
        m_importDlg->raise();
        m_importDlg->activateWindow();
        return;
    }
    // The list is read before anything shows: a system without the layout
    // data gets the error, not an empty dialog.
    auto *dialog = new TImportLayoutDlg(ListXkbLayouts(), this);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    connect(dialog, &TImportLayoutDlg::ImportRequested, this,
            ReportErrors(this, [this, dialog] { ImportLayoutFrom(*dialog); }));
    m_importDlg = dialog;
    dialog->open(); // modal to the main window; the answer comes by the signal
}

void TDefineFm::ImportLayoutFrom(TImportLayoutDlg &dialog)
{
    const XkbLayout *layout = dialog.CurrentLayout();
    if (!layout || !DataMod)
        return;
    const QString id = QString::fromStdString(layout->Id());
    const QString question =
        QStringLiteral("Replace the whole keyboard definition (every key and character) with the layout %1, "
                       "\"%2\"?")
            .arg(id, QString::fromStdString(layout->description));
    // An empty definition has nothing the layout would replace.
    if ((!DefinitionEmpty() && !Dialogs().confirm(question)) || !AskToSaveChanges())
        return;
    const LayoutImportOptions options = dialog.Options();
    const bool drawPictures = dialog.DrawPictures();
    // The import, finger colours and drawn pictures are one step.
    TDefinitionHistory::Step step(DataMod->History(), TranslateQ("import of layout %1").arg(id));
    // Everything is read before the definition changes: an error leaves it,
    // and the dialog, as they were.
    const LayoutImportReport report = ImportLayout(*DataMod, options);
    // The layout names the author and info: texts typed before were saved
    // or discarded on the question above.
    DataMod->TypedAuthor.reset();
    DataMod->TypedInfo.reset();
    dialog.accept();
    // The characters are bytes of the import's code page: the session reads
    // and writes in it from now on.
    const QString codePageBefore = CodePageChoice::instance().current();
    CodePageChoice::instance().choose(QString::fromStdString(report.codePage));

    ShowSettings();
    FileNameLb->clear(); // the definition is no longer that file's

    QStringList lines;
    for (const std::string &line : report.Lines())
        lines << QString::fromStdString(line);
    if (CodePageChoice::instance().current() != codePageBefore)
        lines << TranslateQ("The session's code page is now %1 (it was %2): the definition's characters are bytes "
                            "of %1.")
                     .arg(CodePageChoice::instance().current(), codePageBefore);
    if (!m_importReport)
        m_importReport = new TImportReportDlg(this);
    m_importReport->ShowReport(id, lines); // shown whatever the drawing does

    if (drawPictures) {
        if (SetFingerColorsIfUnset())
            lines << QStringLiteral("Finger colours were not set: light ones were set for the pictures "
                                    "(the finger window shows them after Refresh).");
        const KeyPicturesResult drawn = DrawKeyPictures(*DataMod, KeyFaces{});
        lines << QStringLiteral("Key pictures drawn in the finger colours: %1.").arg(drawn.drawn);
        m_importReport->ShowReport(id, lines);
    }
}

bool TDefineFm::DefinitionEmpty() const
{
    if (!DataMod)
        return true;
    for (const TRecordTable *t : {&DataMod->MainTbl, &DataMod->Ctbl})
        if (t->RecordCount() > 0 || editing(*t))
            return false;
    return DataMod->Author.empty() && DataMod->misc.empty() && !DataMod->TypedAuthor && !DataMod->TypedInfo;
}

bool TDefineFm::SetFingerColorsIfUnset()
{
    if (!DataMod || DataMod->FingerColor != std::array<int32_t, kFingerCount>{})
        return false;
    DataMod->FingerColor = DefaultFingerColors();
    return true;
}

void TDefineFm::DrawKeysBnClick()
{
    if (!DataMod)
        return;
    TRecordTable &keys = DataMod->MainTbl;
    if (keys.RecordCount() == 0) {
        Dialogs().information(QStringLiteral("The key table is empty: there is no key to draw."));
        return;
    }
    // Pictures the user made are not replaced unasked.
    const int glyph = keys.FindFieldIndex("Glyph");
    bool anyPicture = false;
    for (int i = 0; i < keys.RecordCount() && !anyPicture; ++i)
        anyPicture = glyph >= 0 && !keys.FieldValueAt(i, glyph).IsNull();
    if (anyPicture && !Dialogs().okCancel(QStringLiteral("Replace the picture of every key with a drawn one?")))
        return;

    // Finger colours set here and the pictures are one step.
    TDefinitionHistory::Step step(DataMod->History(), TranslateQ("drawn key pictures"));
    KeyFaces faces;
    if (Dialogs().confirm(QStringLiteral("Colour each key with the colour of its finger?\n\n"
                                         "Yes: the finger colours of the finger definition.\n"
                                         "No: one colour for every key, chosen next."))) {
        if (SetFingerColorsIfUnset())
            Dialogs().information(QStringLiteral("The finger colours were not set: light ones were set "
                                                 "(the finger window shows them after Refresh)."));
    } else {
        const std::optional<uint32_t> color = AskColor();
        if (!color)
            return;
        faces.oneColor = true;
        faces.color = *color;
    }
    const KeyPicturesResult result = DrawKeyPictures(*DataMod, faces);
    if (result.skipped > 0)
        Dialogs().warning(windowTitle(),
                          QStringLiteral("%1 key(s) drawn; %2 key(s) kept their picture: their Width or Height "
                                         "is not 1 to %3.")
                              .arg(result.drawn)
                              .arg(result.skipped)
                              .arg(kMaxKeyPictureSide));
}

} // namespace kf
