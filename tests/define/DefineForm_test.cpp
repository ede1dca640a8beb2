#include "app/ComFormFactory.h"
#include "SavedPackage.h"
#include "common/FilePath.h"
#include "common/ColorValue.h"
#include "common/ScriptedDialogs.h"
#include "dbctrls/DBGrid.h"
#include "dbctrls/DBImage.h"
#include "dbctrls/DBNavigator.h"
#include "dbctrls/TableModel.h"
#include "common/CodePage.h"
#include "define/DefineForm.h"
#include "define/FingerDefForm.h"
#include "define/ImportLayoutDialog.h"
#include "define/ImportReportDialog.h"
#include "define/RxSlider.h"
#include "ui/CodePageChoice.h"

#include <QScopeGuard>
#include "keyboard/ButtonType.h"
#include "keyboard/KbDemoForm.h"
#include "keyboard/DragDropForm.h"
#include "keyboard/KbDragForm.h"
#include "model/DefinitionHistory.h"
#include "model/KeyPictures.h"
#include "exchange/ExchangeFormat.h"
#include "exchange/LayoutImport.h"
#include "common/TextFile.h"
#include "model/GlyphCodec.h"
#include "model/MainData.h"

#include <QAccessible>
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QDir>
#include <QTextEdit>
#include <QFile>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMdiArea>
#include <QMenu>
#include <QMdiSubWindow>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QSplitter>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>

#include <cctype>
#include <functional>
#include <map>
#include <memory>
#include <string>

using namespace kf;

using kf::support::SavedMembers;

namespace {

using Kind = ScriptedDialogs::Kind;

// A key picture as the keyboards have them: a face colour with a darker rim
// and the key's label.
QImage keyPicture(int w, int h, QRgb face, const QString &label = QString())
{
    QImage image(w, h, QImage::Format_RGB32);
    image.fill(face);
    QPainter p(&image);
    p.setPen(QColor(face).darker(160));
    p.drawRect(0, 0, w - 1, h - 1);
    if (!label.isEmpty()) {
        p.setPen(Qt::black);
        QFont f = p.font();
        f.setPixelSize(std::max(8, h / 3));
        p.setFont(f);
        p.drawText(QRect(0, 0, w, h), Qt::AlignCenter, label);
    }
    return image;
}

void addKey(TDataMod &dm, const std::string &name, int32_t value, const QImage &picture = QImage(),
            int32_t width = 0, int32_t height = 0, int32_t keyType = 1)
{
    dm.MainTbl.AppendRecord({name, value, keyType, 0, 3,
                             picture.isNull() ? TValue() : TValue(ImageToGlyph(picture)), width, height,
                             0, 0, std::string("hint ") + name});
}

void addChar(TDataMod &dm, const std::string &name, int32_t code, int32_t keyNo = 1, int32_t accent = 0)
{
    dm.Ctbl.AppendRecord({name, code, keyNo, false, false, accent});
}

QString currentCharName(TDataMod &dm)
{
    return QString::fromStdString(dm.Ctbl.FieldByName("Name").AsString());
}

// The stored picture of the current key row.
QImage storedPicture(TDataMod &dm)
{
    return GlyphToImageOrNull(dm.MainTbl.FieldByName("Glyph").AsBytes());
}

int gridColumn(TDBGrid *grid, const QString &title)
{
    QAbstractItemModel *m = grid->model();
    for (int c = 0; c < m->columnCount(); ++c)
        if (m->headerData(c, Qt::Horizontal).toString() == title)
            return c;
    return -1;
}

void clickTitle(TDBGrid *grid, const QString &title)
{
    const int column = gridColumn(grid, title);
    QVERIFY2(column >= 0, qPrintable(title));
    QHeaderView *header = grid->horizontalHeader();
    const QPoint at(header->sectionViewportPosition(column) + header->sectionSize(column) / 2,
                    header->height() / 2);
    QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, at);
}

std::string path(const QString &p)
{
    return kf::LocalPath(p);
}

// The character row of this name (code-page bytes) in stored order: its Code
// and Accent; Code -1 when there is none, -2 when there are several.
std::pair<int32_t, int32_t> charRow(TDataMod &dm, const std::string &name)
{
    TRecordTable &t = dm.CtblF;
    const int fName = t.FindFieldIndex("Name"), fCode = t.FindFieldIndex("Code"),
              fAccent = t.FindFieldIndex("Accent");
    std::pair<int32_t, int32_t> found{-1, 0};
    for (int i = 0; i < t.RecordCount(); ++i) {
        if (t.FieldValueAt(i, fName).bytes() != name)
            continue;
        if (found.first != -1)
            return {-2, 0};
        const TValue accent = t.FieldValueAt(i, fAccent);
        found = {t.FieldValueAt(i, fCode).integer(), accent.IsNull() ? 0 : accent.integer()};
    }
    return found;
}

// Every key's Name (code-page bytes) in the key table's order.
std::vector<std::string> keyNames(TDataMod &dm)
{
    std::vector<std::string> names;
    const int f = dm.MainTbl.FindFieldIndex("Name");
    for (int i = 0; i < dm.MainTbl.RecordCount(); ++i)
        names.push_back(dm.MainTbl.FieldValueAt(i, f).bytes());
    return names;
}

// The stored picture of key row i (view order); null without one.
QImage pictureAt(TDataMod &dm, int i)
{
    const TValue v = dm.MainTbl.FieldValueAt(i, dm.MainTbl.FindFieldIndex("Glyph"));
    return v.IsNull() ? QImage() : GlyphToImageOrNull(v.bytes());
}

// The rules file of a layout list that names only "zz", a layout with no data.
const char kRulesWithUnknownLayout[] = R"(<?xml version="1.0" encoding="UTF-8"?>
<xkbConfigRegistry version="1.1">
  <layoutList>
    <layout><configItem><name>zz</name><description>Nowhere</description></configItem></layout>
  </layoutList>
</xkbConfigRegistry>
)";

} // namespace

class DefineFormTest : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    void looksAsDesigned();
    void gridsAndTextsGrowWithTheWindow();
    void openedAgainKeepsTypedTexts();
    void codeListsInOrder();
    void cancelledDialogsChangeNothing();
    void loadFillsEditsLabelAndBackground();
    void loadSwitchesToThePackagesCodePage();
    void fileNameIsReadAsShown_data();
    void fileNameIsReadAsShown();
    void anotherCodePageRereadsUneditedTexts();
    void textsNotInTheCodePageAskBeforeSaving();
    void freshWindowShowsAndSavesTheTexts();
    void typedTextsOutliveTheWindow_data();
    void typedTextsOutliveTheWindow();
    void settingsUndoKeepsTypedTexts_data();
    void settingsUndoKeepsTypedTexts();
    void infoLinesSavedAndFirstLineBack();
    void failedLoadChangesNothing();
    void failedSaveKeepsFileName();
    void backgroundColourAndSharedColourDialog();
    void demoEditShowsLowByte();
    void demoEditFindsFirstRowInCurrentOrder();
    void clearsAskNothingAndKeepOtherTable();
    void unknownCodeShowsBlankAndKeepsValue();
    void titleClickSortsKeys();

    void emptyKeyTableStartsRow_data();
    void emptyKeyTableStartsRow();
    void keyColourOnWindow_data();
    void keyColourOnWindow();
    void keyColourSecondRunUsesNewReference();
    void fitFlagOnLoad_data();
    void fitFlagOnLoad();
    void invalidBitmapChangesNothing();
    void pictureNoPackageCanHoldIsRefused_data();
    void pictureNoPackageCanHoldIsRefused();
    void pasteFitsAndCopyRoundTrips();
    void pictureBoxKeys();
    void clearThenPostKeepsSize();
    void saveTakesPendingPicture();

    void importAndDrawButtonsFitTheWindow();
    void exportKeyboardInTheFormatOfTheFileName_data();
    void exportKeyboardInTheFormatOfTheFileName();
    void installOnThisDesktop();
    void importKeyboardLayoutEditorFile();
    void importReplacesDefinition_data();
    void importReplacesDefinition();
    void importAnsweredNoKeepsDefinition();
    void importAsksToReplaceOnlyWhatIsThere_data();
    void importAsksToReplaceOnlyWhatIsThere();
    void failedImportChangesNothing_data();
    void failedImportChangesNothing();
    void layoutAndFingerWindowsFollowImport();
    void drawKeyPictures_data();
    void drawKeyPictures();
    void drawKeyPicturesAsksBeforeReplacing();
    void drawKeyPicturesReportsWhatItCannotDraw();

    void undoEveryKindOfStep_data();
    void undoEveryKindOfStep();
    void undoneDragPutsTheButtonBack();
    void loadAndImportAskAboutUnsavedChanges_data();
    void loadAndImportAskAboutUnsavedChanges();

    void tabWalksThroughBothGrids_data();
    void tabWalksThroughBothGrids();
    void charNamesShowWhole_data();
    void charNamesShowWhole();

    void screenshot();

private:
    TDefineFm *open();
    // Clicks "Import layout..." and picks a layout in the dialog it opens.
    TImportLayoutDlg *openImport(TDefineFm *form, const QString &id = QString());
    QString savePackage(const QString &name);

    std::unique_ptr<TDataMod> m_dm;
    ScriptedDialogs *m_dialogs = nullptr; // owned by the dialog service
    std::unique_ptr<QMdiArea> m_area;
    std::unique_ptr<QTemporaryDir> m_dir;
    std::string m_codePageBefore; // the session's code page, put back after each test
};

void DefineFormTest::init()
{
    m_codePageBefore = CodePage::current().name();
    m_dm = std::make_unique<TDataMod>();
    auto dialogs = std::make_unique<ScriptedDialogs>();
    m_dialogs = dialogs.get();
    SetDialogs(std::move(dialogs));
    m_area = std::make_unique<QMdiArea>();
    m_area->resize(900, 640);
    m_area->show();
    m_area->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(m_area.get()));
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    QApplication::clipboard()->clear();
}

void DefineFormTest::cleanup()
{
    qunsetenv("XKB_CONFIG_ROOT");
    m_area.reset();
    CodePageChoice::instance().choose(QString::fromStdString(m_codePageBefore));
    SetDialogs(nullptr);
    m_dialogs = nullptr;
    m_dm.reset();
    m_dir.reset();
}

TDefineFm *DefineFormTest::open()
{
    auto *form = new TDefineFm;
    QMdiSubWindow *frame = m_area->addSubWindow(form);
    frame->setAttribute(Qt::WA_DeleteOnClose);
    frame->show();
    return form;
}

TImportLayoutDlg *DefineFormTest::openImport(TDefineFm *form, const QString &id)
{
    QTest::mouseClick(form->ImportBn, Qt::LeftButton);
    TImportLayoutDlg *dialog = form->ImportDialog();
    if (dialog && !id.isEmpty() && !dialog->SelectLayout(id))
        qWarning("no layout %s", qPrintable(id));
    return dialog;
}

// Writes the data module as a package in the test folder.
QString DefineFormTest::savePackage(const QString &name)
{
    const QString file = m_dir->filePath(name);
    if (!m_dm->SavePackage(path(file)))
        qWarning("SavePackage: %s", m_dm->PackageError().c_str());
    return file;
}

void DefineFormTest::looksAsDesigned()
{
    addKey(*m_dm, "A", 1);
    addChar(*m_dm, "a", 97);
    TDefineFm *form = open();
    QCOMPARE(form->windowTitle(), QStringLiteral("Keyboard definition"));
    QCOMPARE(form->size(), QSize(792, 490));
    QCOMPARE(form->minimumSize(), QSize(792, 490)); // larger, never smaller

    struct Place {
        QWidget *w;
        QRect rect;
        QString caption;
        QString hint;
    };
    const Place places[] = {
        {form->KeyImage, {4, 4, 157, 77}, {}, {}},
        {form->FitImgCheckbox, {4, 84, 161, 17}, "Width and height fit the image", {}},
        {form->LoadImgBn, {172, 4, 75, 25}, "&Load image", {}},
        {form->PasteImgBn, {172, 28, 75, 25}, "&Paste image", {}},
        {form->ClearImgBn, {172, 52, 75, 25}, "Cl&ear image", {}},
        {form->CopyImgBn, {172, 77, 75, 25}, "&Copy image", {}},
        {form->KeyColorBn, {252, 4, 75, 25}, "Key color", "Change key color  after defining the bitmap"},
        {form->ColorBn, {252, 76, 105, 25}, "&Background Color", "Background color of the keyboard"},
        {form->CheckBn, {362, 76, 75, 25}, "Chec&k", "Find what would go wrong in the tutor"},
        {form->AuthorEd, {512, 4, 273, 21}, {}, {}},
        {form->InfoEd, {512, 28, 273, 67}, {}, {}},
        {form->DBNavigator1, {4, 108, 208, 25}, {}, {}},
        {form->SaveBn, {216, 108, 23, 22}, {}, "Save the definition"},
        {form->LoadBn, {244, 108, 23, 22}, {}, "Load definition"},
        {form->ClearBn, {272, 108, 23, 22}, {}, "Clear key table"},
        {form->FileNameLb, {303, 112, 170, 17}, {}, {}},
        {form->DemoEd, {480, 98, 49, 35}, {}, {}},
        {form->DBNavigator2, {536, 108, 208, 25}, {}, {}},
        {form->Clear2Bn, {752, 108, 23, 22}, {}, "Clear char table"},
        {form->Panel1, {0, 133, 792, 357}, {}, {}},
    };
    for (const Place &p : places) {
        QCOMPARE(p.w->geometry(), p.rect);
        if (auto *b = qobject_cast<QAbstractButton *>(p.w); b && !p.caption.isEmpty())
            QCOMPARE(b->text(), p.caption);
        QCOMPARE(p.w->toolTip(), p.hint);
    }
    QVERIFY(form->FitImgCheckbox->isChecked());
    QVERIFY(form->AuthorEd->text().isEmpty());
    QVERIFY(form->InfoEd->toPlainText().isEmpty());
    QVERIFY(form->FileNameLb->text().isEmpty());
    QVERIFY(form->DemoEd->font().pointSize() >= 13);
    QCOMPARE(form->KeyImage->BackgroundColor(), form->palette().color(QPalette::Window));

    // The two navigator bars, same buttons and hints.
    for (TDBNavigator *nav : {form->DBNavigator1, form->DBNavigator2}) {
        const char *hints[] = {"First record", "Prior record", "Next record", "Last record",
                               "Insert record", "Delete record", "Post edit", "Cancel edit"};
        for (int b = 0; b < TDBNavigator::ButtonCount; ++b)
            QCOMPARE(nav->ButtonOf(TDBNavigator::Button(b))->accessibleName(), QString::fromLatin1(hints[b]));
    }
    QCOMPARE(form->DBNavigator1->DataSet(), &m_dm->MainTbl);
    QCOMPARE(form->DBNavigator2->DataSet(), &m_dm->Ctbl);

    // The lower panel: key grid 468 wide on the left, splitter, character grid.
    QCOMPARE(form->Splitter1->widget(0), form->DBGrid);
    QCOMPARE(form->Splitter1->widget(1), form->CharGrid);
    QCOMPARE(form->DBGrid->width(), 468);
    QCOMPARE(form->DBGrid->x() + form->DBGrid->width() + form->Splitter1->handleWidth(), form->CharGrid->x());
    QCOMPARE(form->CharGrid->x() + form->CharGrid->width(), 792);

    struct Col {
        const char *title;
        int chars;
    };
    const Col keyCols[] = {{"Name", 8},  {"Value", 6},  {"KeyType", 8}, {"KeyType2", 8},
                           {"Finger", 7}, {"Width", 4}, {"Height", 5},  {"X", 4},
                           {"Y", 4},     {"Glyph", 7},  {"Hint", 10}};
    const Col charCols[] = {{"Name", 10}, {"Code", 5}, {"KeyNo", 8}, {"Shift", 4}, {"AltGr", 4}, {"Accent", 11}};
    auto checkColumns = [](TDBGrid *grid, const Col *cols, int n) {
        QCOMPARE(grid->model()->columnCount(), n);
        for (int c = 0; c < n; ++c) {
            QCOMPARE(grid->model()->headerData(c, Qt::Horizontal).toString(), QString::fromLatin1(cols[c].title));
            QVERIFY(grid->columnWidth(c) >= grid->CharsToPixels(cols[c].chars)); // at least the title's width
            QVERIFY(!grid->Model()->Columns()[size_t(c)].ReadOnly);
        }
    };
    // Only the key grid sorts by its titles and lets rows grow for tall pictures.
    QVERIFY(form->DBGrid->horizontalHeader()->sectionsClickable());
    QCOMPARE(form->DBGrid->verticalHeader()->sectionResizeMode(0), QHeaderView::Interactive);
    QCOMPARE(form->CharGrid->verticalHeader()->sectionResizeMode(0), QHeaderView::Fixed);
    checkColumns(form->DBGrid, keyCols, 11);
    checkColumns(form->CharGrid, charCols, 6);
    QCOMPARE(form->DBGrid->Model()->KindOf(9), TColumnKind::Picture);
    QCOMPARE(form->CharGrid->Model()->KindOf(3), TColumnKind::Check);
    QCOMPARE(form->CharGrid->Model()->KindOf(4), TColumnKind::Check);
}

// Made larger by its frame, the window gives the room to the two grids (in
// both directions) and to the author and info boxes (in width); everything
// else stays where it was.
void DefineFormTest::gridsAndTextsGrowWithTheWindow()
{
    addKey(*m_dm, "A", 1);
    addChar(*m_dm, "a", 97);
    m_area->resize(1300, 900);
    TDefineFm *form = open();
    QMdiSubWindow *frame = qobject_cast<QMdiSubWindow *>(form->parentWidget());
    QVERIFY(frame);
    const QSize first = form->size();
    const int keysWidth = form->DBGrid->width(), charsWidth = form->CharGrid->width();
    const int gridsHeight = form->DBGrid->height();
    frame->resize(frame->size() + QSize(300, 250));
    QTRY_COMPARE(form->size(), first + QSize(300, 250));
    QCOMPARE(form->Panel1->geometry(), QRect(0, 133, 792 + 300, 357 + 250));
    QCOMPARE(form->DBGrid->width() + form->CharGrid->width(), keysWidth + charsWidth + 300);
    QCOMPARE(form->DBGrid->height(), gridsHeight + 250);
    QCOMPARE(form->CharGrid->height(), gridsHeight + 250);
    QCOMPARE(form->AuthorEd->geometry(), QRect(512, 4, 273 + 300, 21));
    QCOMPARE(form->InfoEd->geometry(), QRect(512, 28, 273 + 300, 67));
    QCOMPARE(form->DBNavigator2->geometry(), QRect(536, 108, 208, 25));
    QCOMPARE(form->KeyImage->geometry(), QRect(4, 4, 157, 77));
    // Smaller than at first it does not get.
    frame->resize(200, 150);
    QTRY_COMPARE(form->size(), QSize(792, 490));
}

void DefineFormTest::openedAgainKeepsTypedTexts()
{
    TWinFormFactory factory(m_area.get());
    factory.ShowDefineFm();
    QPointer<TDefineFm> form = factory.FindForm<TDefineFm>();
    QVERIFY(form);
    form->AuthorEd->setText(QStringLiteral("typed"));
    form->InfoEd->setPlainText(QStringLiteral("info"));
    factory.ShowDefineFm();
    QCOMPARE(factory.FindForm<TDefineFm>(), form.data());
    QCOMPARE(form->AuthorEd->text(), QStringLiteral("typed"));
    QCOMPARE(form->InfoEd->toPlainText(), QStringLiteral("info"));

    // Closed and opened again: the texts are the definition's, not the window's.
    TWinFormFactory::FrameOf(form)->close();
    QTRY_VERIFY(form.isNull());
    factory.ShowDefineFm();
    form = factory.FindForm<TDefineFm>();
    QVERIFY(form);
    QCOMPARE(form->AuthorEd->text(), QStringLiteral("typed"));
    QCOMPARE(form->InfoEd->toPlainText(), QStringLiteral("info"));
    QVERIFY(form->Unsaved());
}

// What is typed into the author or info edit, by keys, outlives the window:
// closed by its frame, the definition still counts as unsaved, a window
// opened again shows the typed text beside the package's other text, and
// its save writes both.
void DefineFormTest::typedTextsOutliveTheWindow_data()
{
    QTest::addColumn<bool>("author"); // typed into the author's edit, else the info's
    QTest::newRow("author") << true;
    QTest::newRow("info") << false;
}

void DefineFormTest::typedTextsOutliveTheWindow()
{
    QFETCH(bool, author);
    addKey(*m_dm, "A", 1);
    m_dm->Author = "Jo";
    m_dm->misc = "notes";
    const QString loaded = savePackage("loaded.vkt");
    QVERIFY(m_dm->LoadPackage(path(loaded)));
    TWinFormFactory factory(m_area.get());
    factory.ShowDefineFm();
    QPointer<TDefineFm> form = factory.FindForm<TDefineFm>();
    QVERIFY(form);
    QVERIFY(!form->Unsaved());
    QWidget *edit = author ? static_cast<QWidget *>(form->AuthorEd) : form->InfoEd;
    edit->setFocus();
    QTest::keyClick(edit, Qt::Key_End, author ? Qt::NoModifier : Qt::ControlModifier);
    QTest::keyClicks(edit, QStringLiteral(" typed"));

    TWinFormFactory::FrameOf(form)->close();
    QTRY_VERIFY(form.isNull());
    QVERIFY(m_dm->Unsaved());
    QCOMPARE(m_dialogs->count(Kind::SaveDiscard), 0); // kept, so nothing to ask

    factory.ShowDefineFm();
    form = factory.FindForm<TDefineFm>();
    QVERIFY(form);
    QCOMPARE(form->AuthorEd->text(), author ? QStringLiteral("Jo typed") : QStringLiteral("Jo"));
    QCOMPARE(form->InfoEd->toPlainText(), author ? QStringLiteral("notes") : QStringLiteral("notes typed"));
    QVERIFY(form->Unsaved());

    const QString file = m_dir->filePath(QStringLiteral("saved.vkt"));
    m_dialogs->answerFile(file);
    QTest::mouseClick(form->SaveBn, Qt::LeftButton);
    QVERIFY(!form->Unsaved());
    TDataMod saved;
    QVERIFY(saved.LoadPackage(path(file)));
    QCOMPARE(saved.Author, std::string(author ? "Jo typed" : "Jo"));
    QCOMPARE(saved.misc, std::string(author ? "notes" : "notes typed"));
}

// An undone or redone settings step shows again only what it changed: a
// text typed since stays typed and unsaved; after a save, undoing an older
// colour step keeps the author that was saved.
void DefineFormTest::settingsUndoKeepsTypedTexts_data()
{
    QTest::addColumn<bool>("author"); // typed into the author's edit, else the info's
    QTest::newRow("author") << true;
    QTest::newRow("info") << false;
}

void DefineFormTest::settingsUndoKeepsTypedTexts()
{
    QFETCH(bool, author);
    addKey(*m_dm, "A", 1);
    m_dm->Author = "Jo";
    m_dm->misc = "notes";
    m_dm->bkcolor = 0x0000FF;
    m_dm->History().Clear();
    TDefineFm *form = open();
    m_dialogs->answerColor(0x00FF00);
    QTest::mouseClick(form->ColorBn, Qt::LeftButton);
    QCOMPARE(m_dm->bkcolor, 0x00FF00);
    QWidget *edit = author ? static_cast<QWidget *>(form->AuthorEd) : form->InfoEd;
    const auto shown = [&] { return author ? form->AuthorEd->text() : form->InfoEd->toPlainText(); };
    edit->setFocus();
    QTest::keyClick(edit, Qt::Key_End, author ? Qt::NoModifier : Qt::ControlModifier);
    QTest::keyClicks(edit, QStringLiteral(" new"));
    const QString typed = shown();

    m_dm->History().Undo();
    QCOMPARE(m_dm->bkcolor, 0x0000FF);
    QCOMPARE(form->KeyImage->BackgroundColor(), ColorValueToColor(0x0000FF));
    QCOMPARE(shown(), typed);
    QVERIFY(form->Unsaved());
    m_dm->History().Redo();
    QCOMPARE(shown(), typed);

    // Saved: the typed text is the package's; an older colour step undone
    // and redone leaves it so.
    const QString file = m_dir->filePath(QStringLiteral("saved.vkt"));
    m_dialogs->answerFile(file);
    QTest::mouseClick(form->SaveBn, Qt::LeftButton);
    QVERIFY(!form->Unsaved());
    const std::string savedAuthor = m_dm->Author;
    const std::string savedInfo = m_dm->misc;
    QCOMPARE(author ? savedAuthor : savedInfo, std::string(author ? "Jo new" : "notes new"));
    m_dm->History().Undo();
    m_dm->History().Redo();
    QCOMPARE(m_dm->Author, savedAuthor);
    QCOMPARE(m_dm->misc, savedInfo);
    QCOMPARE(shown(), typed);
    QVERIFY(!form->Unsaved());
}

void DefineFormTest::codeListsInOrder()
{
    TDefineFm *form = open();
    auto names = [](const std::vector<TCodeEntry> &codes) {
        QStringList out;
        for (const TCodeEntry &e : codes)
            out << QStringLiteral("%1=%2").arg(e.Name).arg(e.Code);
        return out.join(',');
    };
    const QString keyTypes = "Alpha=1,Num=2,L Shift=1002,R Shift=1003,Alt=18,AltGr=1000,Caps Lock=20,"
                             "Delete=46,Backspace=8,L Ctrl=1004,R Ctrl=1005,Space=3,Enter=13,GRAVE=2001,"
                             "ACUTE=2002,CIRCUMFLEX=2003,TILDE=2004,UMLAUT=2005,RING=2006,ESE=2007,CEDILIA=2008";
    const QString accents = "Grave accent=2001,Acute accent=2002,Circumflex accent=2003,Tilde=2004,"
                            "Umlaut=2005,Ring=2006,eSE=2007,Cedilla=2008,None=0";
    const QString fingers = "L Little=0,L Ring=1,L Middle=2,L Index=3,L Thumb=4,R Thumb=5,R Index=6,"
                            "R Middle=7,R Ring=8,R Little=9";
    // As the grids use them, with their drop-down sizes.
    struct Use {
        TDBGrid *grid;
        int column;
        QString list;
        int rows;
    };
    const Use uses[] = {{form->DBGrid, 2, keyTypes, 8},
                        {form->DBGrid, 3, keyTypes, 8},
                        {form->DBGrid, 4, fingers, 10},
                        {form->CharGrid, 5, accents, 11}};
    for (const Use &u : uses) {
        const TColumn &c = u.grid->Model()->Columns()[size_t(u.column)];
        QCOMPARE(c.Kind, TColumnKind::CodeList);
        QCOMPARE(names(c.Codes), u.list);
        QCOMPARE(c.DropDownRows, u.rows);
    }
}

void DefineFormTest::cancelledDialogsChangeNothing()
{
    addKey(*m_dm, "A", 1);
    addChar(*m_dm, "a", 97);
    TDefineFm *form = open();
    form->AuthorEd->setText("me");
    form->FileNameLb->setText("before.vkt");

    m_dialogs->answerDiscard(); // the rows and the author were never saved
    QTest::mouseClick(form->LoadBn, Qt::LeftButton);
    QTest::mouseClick(form->SaveBn, Qt::LeftButton);
    QCOMPARE(m_dialogs->count(Kind::SaveDiscard), 1);
    QCOMPARE(m_dialogs->count(Kind::OpenFiles), 1);
    QCOMPARE(m_dialogs->count(Kind::SaveFile), 1);
    const FileRequest open = m_dialogs->last(Kind::OpenFiles).request;
    QCOMPARE(open.filter, QStringLiteral("on-screen keyboard template|*.vkt"));
    QCOMPARE(open.defaultExt, QStringLiteral("vkt"));
    const FileRequest save = m_dialogs->last(Kind::SaveFile).request;
    QCOMPARE(save.filter, QStringLiteral("on-screen keyboard template|*.vkt"));
    QCOMPARE(save.defaultExt, QStringLiteral("vkt"));
    QVERIFY(save.overwritePrompt);

    QCOMPARE(form->FileNameLb->text(), QStringLiteral("before.vkt"));
    QVERIFY(m_dm->Author.empty()); // the edit was not copied without a save
    QCOMPARE(m_dm->MainTbl.RecordCount(), 1);
    QCOMPARE(m_dm->Ctbl.RecordCount(), 1);
    QCOMPARE(int(m_dialogs->asked().size()), 3);

    // Cancelled picture and colour dialogs touch no row.
    QTest::mouseClick(form->LoadImgBn, Qt::LeftButton);
    QTest::mouseClick(form->KeyColorBn, Qt::LeftButton);
    QTest::mouseClick(form->ColorBn, Qt::LeftButton);
    QCOMPARE(m_dm->MainTbl.State(), TDataSetState::Browse);
    QCOMPARE(m_dm->bkcolor, 0);
    QCOMPARE(form->KeyImage->BackgroundColor(), form->palette().color(QPalette::Window));
}

void DefineFormTest::loadFillsEditsLabelAndBackground()
{
    addKey(*m_dm, "A", 1, keyPicture(30, 20, qRgb(200, 200, 200)));
    addChar(*m_dm, "b", 98);
    addChar(*m_dm, "a", 97);
    m_dm->bkcolor = 0x336699;
    m_dm->Author = "Jo Writer";
    m_dm->misc = "Home row first";
    const QString file = savePackage("layout.kb.vkt");

    // Start from nothing, as after a fresh start.
    m_dm = std::make_unique<TDataMod>();
    TDefineFm *form = open();
    QCOMPARE(form->DemoEd->text(), QString());
    m_dialogs->answerFile(file);
    QTest::mouseClick(form->LoadBn, Qt::LeftButton);

    QCOMPARE(m_dialogs->count(Kind::Warning), 0);
    QCOMPARE(form->AuthorEd->text(), QStringLiteral("Jo Writer"));
    QCOMPARE(form->InfoEd->toPlainText(), QStringLiteral("Home row first"));
    QCOMPARE(form->FileNameLb->text(), QStringLiteral("layout.kb.vkt"));
    QCOMPARE(form->KeyImage->BackgroundColor(), ColorValueToColor(0x336699));
    // The grids and the picture box follow the reloaded tables.
    QCOMPARE(form->DBGrid->model()->rowCount(), 1);
    QCOMPARE(form->CharGrid->model()->rowCount(), 2);
    QCOMPARE(form->KeyImage->Picture().size(), QSize(30, 20));
    QCOMPARE(form->DemoEd->text(), QStringLiteral("a")); // first by Code
}

// A package names the code page it was saved in: loading it in a session of
// another code page switches the session and says so; a package that names
// none, or the same one, leaves the session as it is and says nothing.
void DefineFormTest::loadSwitchesToThePackagesCodePage()
{
    CodePageChoice::instance().choose(QStringLiteral("CP1257"));
    addKey(*m_dm, "A", 1);
    m_dm->Author = "\xC0\xCB"; // "ĄĖ" in CP1257
    const QString lt = savePackage("lt.vkt");
    PackageSettings none = m_dm->Settings();
    none.codePage.clear();
    ZipArchive zip;
    zip.open(path(lt));
    const std::string keys = zip.read("key.cds"), chars = zip.read("char.cds");
    zip.close();
    const QString old = m_dir->filePath(QStringLiteral("old.vkt"));
    ZipArchive::writeFile(path(old), {{"key.cds", keys}, {"char.cds", chars}, {"readme", writeReadme(none)}}, 0);

    CodePageChoice::instance().choose(QStringLiteral("CP1252"));
    m_dm = std::make_unique<TDataMod>();
    TDefineFm *form = open();
    m_dialogs->answerFile(old);
    QTest::mouseClick(form->LoadBn, Qt::LeftButton);
    QCOMPARE(CodePageChoice::instance().current(), QStringLiteral("CP1252"));
    QCOMPARE(m_dialogs->count(Kind::Information), 0);
    QCOMPARE(form->AuthorEd->text(), QStringLiteral("\u00C0\u00CB"));

    m_dialogs->answerFile(lt);
    QTest::mouseClick(form->LoadBn, Qt::LeftButton);
    QCOMPARE(CodePageChoice::instance().current(), QStringLiteral("CP1257"));
    QCOMPARE(form->AuthorEd->text(), QStringLiteral("\u0104\u0116"));
    QCOMPARE(m_dialogs->count(Kind::Information), 1);
    QVERIFY2(m_dialogs->last(Kind::Information).text.contains(QStringLiteral("code page is now CP1257 (it was CP1252)")),
             qPrintable(m_dialogs->last(Kind::Information).text));

    m_dialogs->answerFile(lt);
    QTest::mouseClick(form->LoadBn, Qt::LeftButton);
    QCOMPARE(m_dialogs->count(Kind::Information), 1);
}

void DefineFormTest::fileNameIsReadAsShown_data()
{
    QTest::addColumn<QString>("name");
    QTest::newRow("plain name") << "layout.kb.vkt";
    QTest::newRow("name that looks like markup") << "<b>bold &amp; more.vkt";
}

void DefineFormTest::fileNameIsReadAsShown()
{
    QFETCH(QString, name);
    addKey(*m_dm, "A", 1);
    const QString file = savePackage(name);
    TDefineFm *form = open();
    QAccessibleInterface *label = QAccessible::queryAccessibleInterface(form->FileNameLb);
    QVERIFY(label);
    QCOMPARE(label->text(QAccessible::Name), QString()); // nothing loaded yet
    QCOMPARE(label->text(QAccessible::Description), QStringLiteral("Package file"));

    m_dialogs->answerFile(file);
    QTest::mouseClick(form->LoadBn, Qt::LeftButton);
    if (m_dialogs->count(Kind::Warning))
        QFAIL(qPrintable(m_dialogs->last(Kind::Warning).text));
    // A screen reader reads the name the window shows, as it is spelt.
    QCOMPARE(form->FileNameLb->text(), name);
    QCOMPARE(label->text(QAccessible::Name), name);
    QCOMPARE(label->text(QAccessible::Description), QStringLiteral("Package file"));
}

void DefineFormTest::anotherCodePageRereadsUneditedTexts()
{
    // The code page in force when the test began comes back at its end.
    const std::string before = CodePage::current().name();
    const auto restore = qScopeGuard([&] { CodePage::choose(before); });
    CodePageChoice::instance().choose(QStringLiteral("CP1252"));

    addKey(*m_dm, "A", 1);
    // 0xA5 is the yen sign in CP1252, a byte CP1257 leaves undefined.
    m_dm->Author = "Jurgis \xE0\xA5";
    m_dm->misc = "Info \xE0";
    const QString file = savePackage("baltic.vkt");
    TDefineFm *form = open();
    m_dialogs->answerFile(file);
    QTest::mouseClick(form->LoadBn, Qt::LeftButton);
    QCOMPARE(form->AuthorEd->text(), QStringLiteral("Jurgis \u00E0\u00A5"));
    QCOMPARE(form->InfoEd->toPlainText(), QStringLiteral("Info \u00E0"));
    // The user types an info text of their own.
    form->InfoEd->setPlainText(QStringLiteral("Typed \u0117"));

    CodePageChoice::instance().choose(QStringLiteral("CP1257"));
    // The author, unedited, reads the package's bytes in the new code page
    // (an undefined byte as U+FFFD); the typed text stays as typed.
    QCOMPARE(form->AuthorEd->text(), QStringLiteral("Jurgis \u0105\uFFFD"));
    QCOMPARE(form->InfoEd->toPlainText(), QStringLiteral("Typed \u0117"));

    // Saved, the author keeps its bytes, the undefined one too, without a
    // question, and the typed text is written in the code page in force.
    m_dialogs->answerFile(m_dir->filePath(QStringLiteral("saved.vkt")));
    QTest::mouseClick(form->SaveBn, Qt::LeftButton);
    QCOMPARE(m_dialogs->count(Kind::Warning), 0);
    QCOMPARE(m_dialogs->count(Kind::OkCancel), 0);
    TDataMod reread;
    QVERIFY(reread.LoadPackage(path(m_dir->filePath(QStringLiteral("saved.vkt")))));
    QCOMPARE(reread.Author, std::string("Jurgis \xE0\xA5"));
    QCOMPARE(reread.misc, std::string("Typed \xEB"));
}

void DefineFormTest::textsNotInTheCodePageAskBeforeSaving()
{
    const std::string before = CodePage::current().name();
    const auto restore = qScopeGuard([&] { CodePage::choose(before); });
    CodePageChoice::instance().choose(QStringLiteral("CP1252"));
    addKey(*m_dm, "A", 1);
    TDefineFm *form = open();
    form->AuthorEd->setText(QStringLiteral("\u0141ukasz"));
    form->InfoEd->setPlainText(QStringLiteral("\u0141\u00F3d\u017A"));
    const QString file = m_dir->filePath(QStringLiteral("polish.vkt"));

    // Cancel: nothing is written, the texts stay as typed.
    m_dialogs->answerCancel();
    QTest::mouseClick(form->SaveBn, Qt::LeftButton);
    QCOMPARE(m_dialogs->last(Kind::OkCancel).text.section(QLatin1Char('\n'), 0, 0),
             QStringLiteral("Not in the code page CP1252: \u0141, \u017A"));
    QCOMPARE(m_dialogs->count(Kind::SaveFile), 0);
    QVERIFY(!QFileInfo::exists(file));
    QCOMPARE(form->AuthorEd->text(), QStringLiteral("\u0141ukasz"));

    // Saved anyway: the window shows what the package holds.
    m_dialogs->answerYes();
    m_dialogs->answerFile(file);
    QTest::mouseClick(form->SaveBn, Qt::LeftButton);
    TDataMod reread;
    QVERIFY(reread.LoadPackage(path(file)));
    QCOMPARE(reread.Author, std::string("?ukasz"));
    QCOMPARE(reread.misc, std::string("?\xF3" "d?"));
    QCOMPARE(form->AuthorEd->text(), QStringLiteral("?ukasz"));

    // Texts the code page holds ask nothing.
    const int asked = m_dialogs->count(Kind::OkCancel);
    form->AuthorEd->setText(QStringLiteral("Gr\u00F6\u00DFe"));
    m_dialogs->answerFile(file);
    QTest::mouseClick(form->SaveBn, Qt::LeftButton);
    QCOMPARE(m_dialogs->count(Kind::OkCancel), asked);
}

void DefineFormTest::freshWindowShowsAndSavesTheTexts()
{
    addKey(*m_dm, "A", 1);
    m_dm->Author = "Jo";
    m_dm->misc = "notes";
    const QString file = savePackage("first.vkt");
    {
        TDefineFm *form = open();
        m_dialogs->answerFile(file);
        form->LoadBnClick();
        QCOMPARE(form->AuthorEd->text(), QStringLiteral("Jo"));
        form->parentWidget()->close();
    }
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    // A new window shows the loaded package's texts, and its save keeps them.
    TDefineFm *form = open();
    QCOMPARE(form->AuthorEd->text(), QStringLiteral("Jo"));
    QCOMPARE(form->InfoEd->toPlainText(), QStringLiteral("notes"));
    QVERIFY(!form->Unsaved());
    QVERIFY(form->FileNameLb->text().isEmpty());
    const QString second = m_dir->filePath("second.vkt");
    m_dialogs->answerFile(second);
    QTest::mouseClick(form->SaveBn, Qt::LeftButton);
    QCOMPARE(form->FileNameLb->text(), QStringLiteral("second.vkt"));

    m_dm->Author = "stale";
    m_dm->misc = "stale";
    QVERIFY(m_dm->LoadPackage(path(second)));
    QCOMPARE(m_dm->Author, std::string("Jo"));
    QCOMPARE(m_dm->misc, std::string("notes"));
    QCOMPARE(m_dm->MainTbl.RecordCount(), 1);
}

void DefineFormTest::infoLinesSavedAndFirstLineBack()
{
    TDefineFm *form = open();
    form->AuthorEd->setText(QStringLiteral("Jo"));
    form->InfoEd->setPlainText(QStringLiteral("line one\nline two"));
    const QString file = m_dir->filePath("info.vkt");
    m_dialogs->answerFile(file);
    form->SaveBnClick();
    QCOMPARE(m_dm->Author, std::string("Jo"));
    QVERIFY(m_dm->misc.find("line one") == 0);
    QVERIFY(m_dm->misc.find("line two") != std::string::npos);

    // The package keeps the settings one per line, so the lines come back
    // joined by spaces; nothing of the text is lost.
    m_dialogs->answerFile(file);
    form->LoadBnClick();
    QCOMPARE(form->InfoEd->toPlainText(), QStringLiteral("line one line two"));
    QCOMPARE(form->AuthorEd->text(), QStringLiteral("Jo"));
}

void DefineFormTest::failedLoadChangesNothing()
{
    addKey(*m_dm, "A", 1, keyPicture(10, 10, qRgb(1, 2, 3)));
    addChar(*m_dm, "a", 97);
    TDefineFm *form = open();
    form->AuthorEd->setText("typed author");
    form->InfoEd->setPlainText("typed info");
    form->FileNameLb->setText("earlier.vkt");
    m_dialogs->answerColor(0x00FF00);
    form->ColorBnClick();

    QFile junk(m_dir->filePath("junk.vkt"));
    QVERIFY(junk.open(QIODevice::WriteOnly));
    junk.write("this is not a package");
    junk.close();

    const QStringList files = {junk.fileName(), m_dir->filePath("missing.vkt")};
    for (const QString &file : files) {
        m_dialogs->clear();
        m_dialogs->answerDiscard();
        m_dialogs->answerFile(file);
        QTest::mouseClick(form->LoadBn, Qt::LeftButton);
        QCOMPARE(m_dialogs->count(Kind::Warning), 1);
        const QString text = m_dialogs->last(Kind::Warning).text;
        QVERIFY2(text.contains(QFileInfo(file).fileName()), qPrintable(text));
        QVERIFY2(text.contains(QString::fromStdString(m_dm->PackageError())), qPrintable(text));
        QVERIFY(!m_dm->PackageError().empty());

        QCOMPARE(form->AuthorEd->text(), QStringLiteral("typed author"));
        QCOMPARE(form->InfoEd->toPlainText(), QStringLiteral("typed info"));
        QCOMPARE(form->FileNameLb->text(), QStringLiteral("earlier.vkt"));
        QCOMPARE(form->KeyImage->BackgroundColor(), ColorValueToColor(0x00FF00));
        QCOMPARE(m_dm->MainTbl.RecordCount(), 1);
        QCOMPARE(m_dm->Ctbl.RecordCount(), 1);
        QCOMPARE(form->KeyImage->Picture().size(), QSize(10, 10));
        QCOMPARE(form->DemoEd->text(), QStringLiteral("a"));
    }
}

void DefineFormTest::failedSaveKeepsFileName()
{
    addKey(*m_dm, "A", 1);
    TDefineFm *form = open();
    form->FileNameLb->setText("earlier.vkt");
    const QString bad = m_dir->filePath("no such folder/out.vkt");
    m_dialogs->answerFile(bad);
    QTest::mouseClick(form->SaveBn, Qt::LeftButton);
    QCOMPARE(m_dialogs->count(Kind::Warning), 1);
    QVERIFY(m_dialogs->last(Kind::Warning).text.contains(QStringLiteral("out.vkt")));
    QCOMPARE(form->FileNameLb->text(), QStringLiteral("earlier.vkt"));
    QVERIFY(!QFile::exists(bad));

    // A key row that cannot be posted (no Name) fails the save as well.
    m_dm->MainTbl.Append();
    m_dm->MainTbl.FieldByName("KeyValue").SetAsInteger(5);
    const QString good = m_dir->filePath("good.vkt");
    m_dialogs->answerFile(good);
    form->SaveBnClick();
    QCOMPARE(m_dialogs->count(Kind::Warning), 2);
    QCOMPARE(form->FileNameLb->text(), QStringLiteral("earlier.vkt"));
    QVERIFY(!QFile::exists(good));

    m_dm->MainTbl.Cancel();
    m_dialogs->answerFile(good);
    form->SaveBnClick();
    QCOMPARE(m_dialogs->count(Kind::Warning), 2);
    QCOMPARE(form->FileNameLb->text(), QStringLiteral("good.vkt"));
    QVERIFY(QFile::exists(good));
}

void DefineFormTest::backgroundColourAndSharedColourDialog()
{
    addKey(*m_dm, "A", 1, keyPicture(4, 4, qRgb(10, 10, 10)));
    TDefineFm *form = open();
    m_dialogs->answerColor(0x123456);
    QTest::mouseClick(form->ColorBn, Qt::LeftButton);
    QCOMPARE(m_dialogs->last(Kind::Color).text, QStringLiteral("0")); // black the first time
    QCOMPARE(m_dm->bkcolor, 0x123456);
    QCOMPARE(form->KeyImage->BackgroundColor(), ColorValueToColor(0x123456));
    QCOMPARE(m_dm->MainTbl.State(), TDataSetState::Browse);

    // The key colour button opens the same dialog, preset to the last colour.
    m_dialogs->answerColor(0x0000FF);
    QTest::mouseClick(form->KeyColorBn, Qt::LeftButton);
    QCOMPARE(m_dialogs->last(Kind::Color).text, QString::number(0x123456));
    QCOMPARE(m_dm->bkcolor, 0x123456); // the key colour is no background
    QTest::mouseClick(form->ColorBn, Qt::LeftButton); // cancelled
    QCOMPARE(m_dialogs->last(Kind::Color).text, QString::number(0x0000FF));
    QCOMPARE(m_dm->bkcolor, 0x123456);
}

void DefineFormTest::demoEditShowsLowByte()
{
    addChar(*m_dm, "big A", 321);
    addChar(*m_dm, "b", 98);
    TDefineFm *form = open();
    QCOMPARE(m_dm->Ctbl.FieldByName("Code").AsInteger(), 98); // ordered by Code
    QCOMPARE(form->DemoEd->text(), QStringLiteral("b"));
    form->DBNavigator2->BtnClick(TDBNavigator::nbNext);
    QCOMPARE(m_dm->Ctbl.FieldByName("Code").AsInteger(), 321);
    QCOMPARE(form->DemoEd->text(), QStringLiteral("A"));
    // Editing the code of the current row shows the new character.
    m_dm->Ctbl.Edit();
    m_dm->Ctbl.FieldByName("Code").SetAsInteger(99);
    QCOMPARE(form->DemoEd->text(), QStringLiteral("c"));
    m_dm->Ctbl.Cancel();
    QCOMPARE(form->DemoEd->text(), QStringLiteral("A"));
    // Nothing typed into the edit is stored.
    QTest::keyClicks(form->DemoEd, QStringLiteral("q"));
    QCOMPARE(m_dm->Ctbl.FieldByName("Code").AsInteger(), 321);
    QCOMPARE(m_dm->Ctbl.State(), TDataSetState::Browse);
}

void DefineFormTest::demoEditFindsFirstRowInCurrentOrder()
{
    addChar(*m_dm, "0 big A", 321);
    addChar(*m_dm, "m", 109);
    addChar(*m_dm, "b second A", 65);
    addChar(*m_dm, "a first A", 65);
    TDefineFm *form = open();
    // Another order than the stored one, so "first" means something.
    m_dm->Ctbl.SetIndexFieldNames("Name");
    m_dm->Ctbl.Last();
    QCOMPARE(currentCharName(*m_dm), QStringLiteral("m"));

    form->DemoEd->setFocus();
    QTest::keyClick(form->DemoEd, 'A', Qt::ShiftModifier);
    QCOMPARE(currentCharName(*m_dm), QStringLiteral("a first A"));
    QCOMPARE(form->DemoEd->text(), QStringLiteral("A"));

    // A character no row has: the row stays.
    QTest::keyClick(form->DemoEd, 'z');
    QCOMPARE(currentCharName(*m_dm), QStringLiteral("a first A"));

    QTest::keyClick(form->DemoEd, 'm');
    QCOMPARE(currentCharName(*m_dm), QStringLiteral("m"));
    QCOMPARE(form->DemoEd->text(), QStringLiteral("m"));
}

void DefineFormTest::clearsAskNothingAndKeepOtherTable()
{
    struct Case {
        const char *name;
        bool keys; // ClearBn, else Clear2Bn
    };
    for (const Case c : {Case{"keys", true}, Case{"chars", false}}) {
        m_dm = std::make_unique<TDataMod>();
        addKey(*m_dm, "A", 1, keyPicture(8, 8, qRgb(9, 9, 9)));
        addKey(*m_dm, "B", 2, keyPicture(8, 8, qRgb(9, 9, 9)));
        addChar(*m_dm, "a", 97);
        addChar(*m_dm, "b", 98);
        m_dm->Author = "kept";
        TDefineFm *form = open();
        m_dialogs->clear();
        QTest::mouseClick(c.keys ? form->ClearBn : form->Clear2Bn, Qt::LeftButton);
        QVERIFY2(m_dialogs->asked().empty(), c.name);
        QCOMPARE(m_dm->MainTbl.RecordCount(), c.keys ? 0 : 2);
        QCOMPARE(m_dm->Ctbl.RecordCount(), c.keys ? 2 : 0);
        QCOMPARE(form->DBGrid->model()->rowCount(), c.keys ? 0 : 2);
        QCOMPARE(form->CharGrid->model()->rowCount(), c.keys ? 2 : 0);
        QCOMPARE(form->KeyImage->Picture().isNull(), c.keys);
        QCOMPARE(form->DemoEd->text().isEmpty(), !c.keys);
        QCOMPARE(m_dm->Author, std::string("kept"));
        form->parentWidget()->close();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
}

void DefineFormTest::unknownCodeShowsBlankAndKeepsValue()
{
    addKey(*m_dm, "A", 1, QImage(), 0, 0, /*keyType*/ 999);
    m_dm->MainTbl.Edit();
    m_dm->MainTbl.FieldByName("KeyType2").SetAsInteger(2003);
    m_dm->MainTbl.FieldByName("Finger").SetAsInteger(12);
    m_dm->MainTbl.Post();
    addKey(*m_dm, "B", 2);
    addChar(*m_dm, "a", 97, 1, 77);
    TDefineFm *form = open();
    m_dm->MainTbl.First();
    QAbstractItemModel *keys = form->DBGrid->model();
    QCOMPARE(keys->index(0, 2).data().toString(), QString());                    // KeyType 999
    QCOMPARE(keys->index(0, 3).data().toString(), QStringLiteral("CIRCUMFLEX")); // KeyType2 2003
    QCOMPARE(keys->index(0, 4).data().toString(), QString());                    // Finger 12
    QCOMPARE(keys->index(1, 2).data().toString(), QStringLiteral("Alpha"));
    QCOMPARE(keys->index(1, 4).data().toString(), QStringLiteral("L Index"));
    QCOMPARE(form->CharGrid->model()->index(0, 5).data().toString(), QString()); // Accent 77

    // Moving through the rows and editing another field leaves the codes.
    form->DBNavigator1->BtnClick(TDBNavigator::nbNext);
    form->DBNavigator1->BtnClick(TDBNavigator::nbFirst);
    QVERIFY(keys->setData(keys->index(0, 7), 15)); // X
    form->DBNavigator1->BtnClick(TDBNavigator::nbPost);
    QCOMPARE(m_dm->MainTbl.FieldByName("KeyType").AsInteger(), 999);
    QCOMPARE(m_dm->MainTbl.FieldByName("Finger").AsInteger(), 12);
    QCOMPARE(m_dm->MainTbl.FieldByName("X").AsInteger(), 15);
    QCOMPARE(m_dm->Ctbl.FieldByName("Accent").AsInteger(), 77);
}

void DefineFormTest::titleClickSortsKeys()
{
    addKey(*m_dm, "C", 1, keyPicture(5, 5, qRgb(1, 1, 1)), 40);
    addKey(*m_dm, "A", 3, QImage(), 20);
    addKey(*m_dm, "B", 2, QImage(), 30);
    TDefineFm *form = open();
    QAbstractItemModel *keys = form->DBGrid->model();
    auto names = [&] {
        QString s;
        for (int r = 0; r < keys->rowCount(); ++r)
            s += keys->index(r, 0).data().toString();
        return s;
    };
    QCOMPARE(names(), QStringLiteral("ABC")); // by Name from the start

    struct Step {
        const char *title;
        const char *order; // key table's order afterwards
        const char *rows;
    };
    const Step steps[] = {
        {"Value", "KeyValue", "CBA"},
        {"Width", "Width", "ABC"},
        {"Glyph", "Width", "ABC"}, // the picture title does nothing
        {"Hint", "Hint", "ABC"},
        {"KeyValue" /* not a title */, "Hint", "ABC"},
        {"Value", "KeyValue", "CBA"},
    };
    for (const Step &s : steps) {
        if (gridColumn(form->DBGrid, s.title) >= 0)
            clickTitle(form->DBGrid, s.title);
        QCOMPARE(QString::fromStdString(m_dm->MainTbl.IndexFieldNames()), QString::fromLatin1(s.order));
        QCOMPARE(names(), QString::fromLatin1(s.rows));
    }
    QVERIFY(m_dialogs->asked().empty());

    // The character grid's titles do nothing.
    addChar(*m_dm, "z", 97);
    addChar(*m_dm, "a", 98);
    clickTitle(form->CharGrid, "Name");
    QCOMPARE(QString::fromStdString(m_dm->Ctbl.IndexFieldNames()), QStringLiteral("Code"));
}

// ---- key image tools ---------------------------------------------------------

void DefineFormTest::emptyKeyTableStartsRow_data()
{
    QTest::addColumn<QString>("tool");
    QTest::addColumn<bool>("startsRow");
    QTest::newRow("paste") << "paste" << true;
    QTest::newRow("clear") << "clear" << true;
    QTest::newRow("load") << "load" << true;
    QTest::newRow("key colour") << "keycolor" << true;
    QTest::newRow("copy") << "copy" << false;
}

void DefineFormTest::emptyKeyTableStartsRow()
{
    QFETCH(QString, tool);
    QFETCH(bool, startsRow);
    const QString bmp = m_dir->filePath("k.bmp");
    QVERIFY(keyPicture(60, 40, qRgb(200, 10, 10)).save(bmp, "BMP"));
    QApplication::clipboard()->setImage(keyPicture(12, 9, qRgb(5, 200, 5)));

    TDefineFm *form = open();
    const std::map<QString, QPushButton *> buttons = {{"paste", form->PasteImgBn},
                                                      {"clear", form->ClearImgBn},
                                                      {"load", form->LoadImgBn},
                                                      {"keycolor", form->KeyColorBn},
                                                      {"copy", form->CopyImgBn}};
    if (tool == "load")
        m_dialogs->answerFile(bmp);
    if (tool == "keycolor")
        m_dialogs->answerColor(0xFF);
    QTest::mouseClick(buttons.at(tool), Qt::LeftButton);
    QCOMPARE(m_dialogs->count(Kind::Message), 0);
    QCOMPARE(m_dm->MainTbl.State(), startsRow ? TDataSetState::Insert : TDataSetState::Browse);
    QCOMPARE(m_dm->MainTbl.RecordCount(), 0); // never posted by the tool

    const QSize expected = tool == "paste" ? QSize(12, 9) : tool == "load" ? QSize(60, 40) : QSize();
    QCOMPARE(form->KeyImage->Picture().size(), expected.isValid() ? expected : QSize(0, 0));
    if (tool == "paste" || tool == "load") {
        QCOMPARE(m_dm->MainTbl.FieldByName("Width").AsInteger(), expected.width());
        QCOMPARE(m_dm->MainTbl.FieldByName("Height").AsInteger(), expected.height());
    }
    if (tool == "load") {
        const FileRequest r = m_dialogs->last(Kind::OpenFiles).request;
        QCOMPARE(r.filter, QStringLiteral("Bitmaps (*.bmp)|*.bmp"));
        QVERIFY(r.picturePreview);
    }
}

void DefineFormTest::keyColourOnWindow_data()
{
    // A picture of one row: the bottom-left pixel is the reference.
    QTest::addColumn<QList<QRgb>>("pixels");
    QTest::addColumn<QList<bool>>("recoloured");
    const QRgb ref = qRgb(100, 120, 140);
    QTest::newRow("1x1") << QList<QRgb>{ref} << QList<bool>{true};
    QTest::newRow("39 39 39 in, 40 0 0 out")
        << QList<QRgb>{ref, qRgb(139, 159, 179), qRgb(61, 81, 101), qRgb(140, 120, 140), qRgb(100, 120, 100)}
        << QList<bool>{true, true, true, false, false};
}

void DefineFormTest::keyColourOnWindow()
{
    QFETCH(QList<QRgb>, pixels);
    QFETCH(QList<bool>, recoloured);
    QImage picture(int(pixels.size()), 1, QImage::Format_RGB32);
    for (int x = 0; x < pixels.size(); ++x)
        picture.setPixel(x, 0, pixels[x]);
    addKey(*m_dm, "K", 1, picture, 7, 8);
    TDefineFm *form = open();
    const uint32_t chosen = 0x0A0B0C; // r 0x0C, g 0x0B, b 0x0A
    m_dialogs->answerColor(chosen);
    QTest::mouseClick(form->KeyColorBn, Qt::LeftButton);
    QCOMPARE(m_dm->MainTbl.State(), TDataSetState::Edit);
    QCOMPARE(storedPicture(*m_dm).pixel(0, 0), pixels[0]); // not stored until posted

    form->DBNavigator1->BtnClick(TDBNavigator::nbPost);
    QCOMPARE(m_dm->MainTbl.State(), TDataSetState::Browse);
    const QImage stored = storedPicture(*m_dm);
    QCOMPARE(stored.size(), picture.size());
    for (int x = 0; x < pixels.size(); ++x)
        QCOMPARE(stored.pixel(x, 0) & 0xFFFFFF, recoloured[x] ? ColorValueToRgb(chosen) & 0xFFFFFF
                                                               : pixels[x] & 0xFFFFFF);
    QCOMPARE(m_dm->MainTbl.FieldByName("Width").AsInteger(), 7); // size untouched
    QCOMPARE(m_dm->MainTbl.FieldByName("Height").AsInteger(), 8);
}

void DefineFormTest::keyColourSecondRunUsesNewReference()
{
    // Column 0: corner (reference); column 1 near the first chosen colour;
    // column 2 near the original face colour.
    const QRgb face = qRgb(200, 200, 200);
    QImage picture(3, 2, QImage::Format_RGB32);
    picture.fill(face);
    picture.setPixel(1, 0, qRgb(20, 20, 20));
    addKey(*m_dm, "K", 1, picture);
    TDefineFm *form = open();
    m_dialogs->answerColor(0x000000 + 0x0A0A0A); // near (20,20,20)
    form->KeyColorBnClick();
    QCOMPARE(form->KeyImage->Picture().pixel(1, 0), qRgb(20, 20, 20)); // far from the face
    QCOMPARE(form->KeyImage->Picture().pixel(0, 1), qRgb(10, 10, 10));
    m_dialogs->answerColor(0xFF0000); // blue
    form->KeyColorBnClick();
    const QImage shown = form->KeyImage->Picture();
    // Every pixel within 40 of (10,10,10) took blue, the (20,20,20) one included.
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 3; ++x)
            QCOMPARE(shown.pixel(x, y), qRgb(0, 0, 255));
    // Esc in the picture box drops what was not written yet.
    form->KeyImage->setFocus();
    QTest::keyClick(form->KeyImage, Qt::Key_Escape);
    QCOMPARE(form->KeyImage->Picture().pixel(0, 1), face);
}

void DefineFormTest::fitFlagOnLoad_data()
{
    QTest::addColumn<bool>("fit");
    QTest::newRow("fit on") << true;
    QTest::newRow("fit off") << false;
}

void DefineFormTest::fitFlagOnLoad()
{
    QFETCH(bool, fit);
    const QString bmp = m_dir->filePath("60x40.bmp");
    QVERIFY(keyPicture(60, 40, qRgb(10, 20, 30), "Q").save(bmp, "BMP"));
    addKey(*m_dm, "K", 1, keyPicture(5, 5, qRgb(1, 1, 1)), 33, 22);
    TDefineFm *form = open();
    form->FitImgCheckbox->setChecked(fit);
    m_dialogs->answerFile(bmp);
    QTest::mouseClick(form->LoadImgBn, Qt::LeftButton);
    QCOMPARE(m_dm->MainTbl.State(), TDataSetState::Edit);
    QCOMPARE(form->KeyImage->Picture().size(), QSize(60, 40));
    QCOMPARE(storedPicture(*m_dm).size(), QSize(5, 5)); // not written before the post
    form->DBNavigator1->BtnClick(TDBNavigator::nbPost);
    QCOMPARE(storedPicture(*m_dm).size(), QSize(60, 40));
    QCOMPARE(storedPicture(*m_dm).convertToFormat(QImage::Format_RGB32),
             keyPicture(60, 40, qRgb(10, 20, 30), "Q"));
    QCOMPARE(m_dm->MainTbl.FieldByName("Width").AsInteger(), fit ? 60 : 33);
    QCOMPARE(m_dm->MainTbl.FieldByName("Height").AsInteger(), fit ? 40 : 22);
    // Glyph holds a bitmap with its header.
    const std::string glyph = m_dm->MainTbl.FieldByName("Glyph").AsBytes();
    QVERIFY(GlyphBitmapBytes(glyph).substr(0, 2) == "BM");
    QVERIFY(glyph.size() > 8 && glyph.substr(0, 4) == std::string("\x01\x00\x00\x01", 4));
}

void DefineFormTest::invalidBitmapChangesNothing()
{
    addKey(*m_dm, "K", 1, keyPicture(5, 5, qRgb(1, 1, 1)), 33, 22);
    TDefineFm *form = open();
    QFile bad(m_dir->filePath("bad.bmp"));
    QVERIFY(bad.open(QIODevice::WriteOnly));
    bad.write("BM this is no bitmap at all");
    bad.close();
    QImage png = keyPicture(9, 9, qRgb(3, 3, 3));
    const QString pngFile = m_dir->filePath("really-a-png.bmp");
    QVERIFY(png.save(pngFile, "PNG"));

    for (const QString &file : {bad.fileName(), pngFile}) {
        m_dialogs->clear();
        m_dialogs->answerFile(file);
        QTest::mouseClick(form->LoadImgBn, Qt::LeftButton);
        QCOMPARE(m_dialogs->count(Kind::Message), 1);
        QVERIFY2(m_dialogs->last(Kind::Message).text.contains(QStringLiteral("Bitmap image is not valid")),
                 qPrintable(m_dialogs->last(Kind::Message).text));
        QVERIFY(m_dialogs->last(Kind::Message).text.startsWith(QStringLiteral("AppException: TDefineFm")));
        QCOMPARE(form->KeyImage->Picture().size(), QSize(5, 5));
        QVERIFY(!form->KeyImage->Modified());
        QCOMPARE(m_dm->MainTbl.FieldByName("Width").AsInteger(), 33);
        QCOMPARE(m_dm->MainTbl.FieldByName("Height").AsInteger(), 22);
    }
    form->DBNavigator1->BtnClick(TDBNavigator::nbPost);
    QCOMPARE(storedPicture(*m_dm).size(), QSize(5, 5));
}

void DefineFormTest::pictureNoPackageCanHoldIsRefused_data()
{
    QTest::addColumn<QString>("tool");
    QTest::addColumn<QString>("limit");
    // 2^26 pixels at 8 bits: the bitmap reader takes it, no package member holds it.
    QTest::newRow("load a bitmap of 64 MiB") << "load" << "bytes in a keyboard package";
    QTest::newRow("paste a picture of too many pixels") << "paste" << "at most 67108864 pixels";
    QTest::newRow("Ctrl+V in the picture box") << "keys" << "at most 67108864 pixels";
}

void DefineFormTest::pictureNoPackageCanHoldIsRefused()
{
    QFETCH(QString, tool);
    QFETCH(QString, limit);
    addKey(*m_dm, "K", 1, keyPicture(5, 5, qRgb(1, 1, 1)), 33, 22);
    TDefineFm *form = open();
    if (tool == "load") {
        QImage huge(8192, 8192, QImage::Format_Indexed8);
        QList<QRgb> greys;
        for (int i = 0; i < 256; ++i)
            greys.append(qRgb(i, i, i));
        huge.setColorTable(greys); // a full palette: written with 8 bits a pixel
        huge.fill(1);
        const QString file = m_dir->filePath("huge.bmp");
        QVERIFY(huge.save(file, "BMP"));
        m_dialogs->answerFile(file);
        QTest::mouseClick(form->LoadImgBn, Qt::LeftButton);
    } else {
        QImage wide(8193, 8192, QImage::Format_Mono);
        wide.fill(0);
        QApplication::clipboard()->setImage(wide);
        if (tool == "paste") {
            QTest::mouseClick(form->PasteImgBn, Qt::LeftButton);
        } else {
            form->KeyImage->setFocus();
            QTest::keyClick(form->KeyImage, Qt::Key_V, Qt::ControlModifier);
        }
    }
    QCOMPARE(m_dialogs->count(Kind::Message), 1);
    const QString text = m_dialogs->last(Kind::Message).text;
    QVERIFY2(text.startsWith(QStringLiteral("AppException: ")) && text.contains(QStringLiteral("EInvalidGraphic"))
                 && text.contains(limit),
             qPrintable(text));
    QCOMPARE(form->KeyImage->Picture().size(), QSize(5, 5));
    QVERIFY(!form->KeyImage->Modified());
    QCOMPARE(m_dm->MainTbl.FieldByName("Width").AsInteger(), 33);
    QCOMPARE(m_dm->MainTbl.FieldByName("Height").AsInteger(), 22);
    // What was accepted saves.
    m_dialogs->answerFile(m_dir->filePath("after.vkt"));
    form->SaveBnClick();
    QCOMPARE(m_dialogs->count(Kind::Warning), 0);
    QCOMPARE(storedPicture(*m_dm).size(), QSize(5, 5));
}

void DefineFormTest::pasteFitsAndCopyRoundTrips()
{
    addKey(*m_dm, "A", 1, keyPicture(21, 13, qRgb(50, 60, 70)), 1, 1);
    addKey(*m_dm, "B", 2, QImage(), 44, 33);
    m_dm->MainTbl.First();
    TDefineFm *form = open();

    // Copy leaves the row alone; paste on the other key takes the picture.
    QTest::mouseClick(form->CopyImgBn, Qt::LeftButton);
    QCOMPARE(m_dm->MainTbl.State(), TDataSetState::Browse);
    QCOMPARE(QApplication::clipboard()->image().size(), QSize(21, 13));
    form->DBNavigator1->BtnClick(TDBNavigator::nbNext);
    QVERIFY(form->KeyImage->Picture().isNull());
    QTest::mouseClick(form->CopyImgBn, Qt::LeftButton); // nothing to copy
    QCOMPARE(QApplication::clipboard()->image().size(), QSize(21, 13));
    QTest::mouseClick(form->PasteImgBn, Qt::LeftButton);
    QCOMPARE(m_dm->MainTbl.State(), TDataSetState::Edit);
    QCOMPARE(m_dm->MainTbl.FieldByName("Width").AsInteger(), 21);
    QCOMPARE(m_dm->MainTbl.FieldByName("Height").AsInteger(), 13);
    // Moving to another row posts the row with its picture.
    form->DBNavigator1->BtnClick(TDBNavigator::nbFirst);
    form->DBNavigator1->BtnClick(TDBNavigator::nbLast);
    QCOMPARE(QString::fromStdString(m_dm->MainTbl.FieldByName("Name").AsString()), QStringLiteral("B"));
    QCOMPARE(storedPicture(*m_dm).size(), QSize(21, 13));
    QCOMPARE(storedPicture(*m_dm).pixel(5, 5), qRgb(50, 60, 70));

    // Paste without a picture on the clipboard: picture kept, size fitted to it.
    QApplication::clipboard()->setText(QStringLiteral("no picture"));
    m_dm->MainTbl.Edit();
    m_dm->MainTbl.FieldByName("Width").SetAsInteger(99);
    QTest::mouseClick(form->PasteImgBn, Qt::LeftButton);
    QCOMPARE(form->KeyImage->Picture().size(), QSize(21, 13));
    QCOMPARE(m_dm->MainTbl.FieldByName("Width").AsInteger(), 21);
    QCOMPARE(m_dialogs->count(Kind::Message), 0);
    // Cancel on the navigator drops the pending changes.
    form->DBNavigator1->BtnClick(TDBNavigator::nbCancel);
    QCOMPARE(m_dm->MainTbl.FieldByName("Width").AsInteger(), 21);
}

void DefineFormTest::pictureBoxKeys()
{
    addKey(*m_dm, "A", 1, keyPicture(11, 7, qRgb(90, 90, 90)));
    addKey(*m_dm, "B", 2);
    m_dm->MainTbl.First();
    TDefineFm *form = open();
    QTest::mouseClick(form->KeyImage, Qt::LeftButton);
    QVERIFY(form->KeyImage->hasFocus());

    struct Step {
        Qt::Key key;
        Qt::KeyboardModifiers mods;
        QSize picture; // shown afterwards (0x0: none)
        QSize clipboard;
    };
    const Step steps[] = {
        {Qt::Key_C, Qt::ControlModifier, {11, 7}, {11, 7}},
        {Qt::Key_Insert, Qt::ControlModifier, {11, 7}, {11, 7}},
        {Qt::Key_X, Qt::ControlModifier, {0, 0}, {11, 7}},
        {Qt::Key_Escape, Qt::NoModifier, {11, 7}, {11, 7}},
        {Qt::Key_Delete, Qt::ShiftModifier, {0, 0}, {11, 7}},
        {Qt::Key_Insert, Qt::ShiftModifier, {11, 7}, {11, 7}},
        {Qt::Key_Escape, Qt::NoModifier, {11, 7}, {11, 7}},
    };
    for (const Step &s : steps) {
        QTest::keyClick(form->KeyImage, s.key, s.mods);
        QCOMPARE(form->KeyImage->Picture().size(), s.picture);
        QCOMPARE(QApplication::clipboard()->image().size(), s.clipboard);
    }
    // Into the other key with Ctrl+V, written when the focus leaves the box.
    form->DBNavigator1->BtnClick(TDBNavigator::nbNext);
    QTest::keyClick(form->KeyImage, Qt::Key_V, Qt::ControlModifier);
    QCOMPARE(m_dm->MainTbl.State(), TDataSetState::Edit);
    form->AuthorEd->setFocus();
    QCOMPARE(storedPicture(*m_dm).size(), QSize(11, 7));
    QCOMPARE(m_dm->MainTbl.State(), TDataSetState::Edit); // still not posted
}

void DefineFormTest::clearThenPostKeepsSize()
{
    addKey(*m_dm, "K", 1, keyPicture(30, 30, qRgb(1, 1, 1)), 30, 31);
    TDefineFm *form = open();
    QVERIFY(form->FitImgCheckbox->isChecked());
    QTest::mouseClick(form->ClearImgBn, Qt::LeftButton);
    QVERIFY(form->KeyImage->Picture().isNull());
    QCOMPARE(m_dm->MainTbl.State(), TDataSetState::Edit);
    form->DBNavigator1->BtnClick(TDBNavigator::nbPost);
    QVERIFY(m_dm->MainTbl.FieldByName("Glyph").AsBytes().empty());
    QCOMPARE(m_dm->MainTbl.FieldByName("Width").AsInteger(), 30);
    QCOMPARE(m_dm->MainTbl.FieldByName("Height").AsInteger(), 31);
    QVERIFY(form->KeyImage->Picture().isNull());
}

void DefineFormTest::saveTakesPendingPicture()
{
    addKey(*m_dm, "K", 1, keyPicture(6, 6, qRgb(200, 200, 200)));
    TDefineFm *form = open();
    form->KeyImage->setFocus();
    m_dialogs->answerColor(0x0000FF); // red
    form->KeyColorBnClick();
    QCOMPARE(m_dm->MainTbl.State(), TDataSetState::Edit);
    QVERIFY(form->KeyImage->Modified()); // not in the row yet
    const QString file = m_dir->filePath("pending.vkt");
    m_dialogs->answerFile(file);
    form->SaveBnClick(); // the picture box keeps the focus
    QCOMPARE(form->FileNameLb->text(), QStringLiteral("pending.vkt"));
    QCOMPARE(m_dm->MainTbl.State(), TDataSetState::Browse);

    QVERIFY(m_dm->LoadPackage(path(file)));
    QCOMPARE(storedPicture(*m_dm).pixel(0, 5), qRgb(255, 0, 0)); // the rim, bottom-left
    QCOMPARE(storedPicture(*m_dm).pixel(3, 3), qRgb(200, 200, 200));
}

// Not a check: writes a picture of the window with a loaded package when
// KEYFOLIO_SCREENSHOT names a file.
void DefineFormTest::importAndDrawButtonsFitTheWindow()
{
    TDefineFm *form = open();
    QCOMPARE(form->size(), QSize(792, 490)); // the window keeps its size
    struct NewButton {
        QPushButton *button;
        QRect place;
        QString caption;
    };
    const NewButton buttons[] = {
        {form->ImportBn, {332, 4, 130, 25}, "&Import layout..."},
        {form->DrawKeysBn, {332, 32, 130, 25}, "Dra&w key pictures"},
    };
    for (const NewButton &b : buttons) {
        QCOMPARE(b.button->geometry(), b.place);
        QCOMPARE(b.button->text(), b.caption);
        QVERIFY(!b.button->toolTip().isEmpty());
        // The caption fits the button, and no other control lies under it.
        const QString shown = QString(b.caption).remove(QLatin1Char('&'));
        QVERIFY(b.button->fontMetrics().horizontalAdvance(shown) + 8 <= b.place.width());
        for (QWidget *other : form->findChildren<QWidget *>(QString(), Qt::FindDirectChildrenOnly))
            if (other != b.button && other->isVisible())
                QVERIFY2(!other->geometry().intersects(b.place), qPrintable(other->objectName()));
        QAccessibleInterface *a = QAccessible::queryAccessibleInterface(b.button);
        QVERIFY(a);
        QCOMPARE(a->text(QAccessible::Name), shown);
    }
    // Both are reached by Tab, right after the background colour button.
    form->ColorBn->setFocus();
    QTest::keyClick(form->ColorBn, Qt::Key_Tab);
    QVERIFY(form->ImportBn->hasFocus());
    QTest::keyClick(form->ImportBn, Qt::Key_Tab);
    QVERIFY(form->DrawKeysBn->hasFocus());
}

void DefineFormTest::exportKeyboardInTheFormatOfTheFileName_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<QString>("format");
    QTest::addColumn<QByteArray>("start");
    QTest::newRow("xkb") << "mine" << "XKB symbols" << QByteArray("// \"English (US)\"");
    QTest::newRow("klc") << "mine.klc" << "Windows keyboard source" << QByteArray("\xFF\xFEK\0B\0D\0");
    QTest::newRow("kle") << "mine.json" << "keyboard-layout-editor JSON" << QByteArray("[\n    {\n");
    QTest::newRow("ktouch") << "mine.xml" << "KTouch keyboard layout" << QByteArray("<?xml");
}

void DefineFormTest::exportKeyboardInTheFormatOfTheFileName()
{
    QFETCH(QString, file);
    QFETCH(QString, format);
    QFETCH(QByteArray, start);
    LayoutImportOptions options;
    options.layout = "us";
    options.codePage = "CP1252";
    options.composeLocale = "en_US.UTF-8";
    ImportLayout(*m_dm, options);
    TDefineFm *form = open();
    // The button's menu holds both entries, and a screen reader reads them.
    QCOMPARE(form->ExportBn->geometry(), QRect(252, 40, 75, 25));
    QVERIFY(form->ExportBn->menu());
    QCOMPARE(form->ExportBn->menu()->actions(), (QList<QAction *>{form->ExportKeyboardAction, form->InstallAction}));
    QCOMPARE(QAccessible::queryAccessibleInterface(form->ExportBn)->text(QAccessible::Name), QStringLiteral("Export"));

    const QString path = m_dir->filePath(file);
    m_dialogs->answerFile(path);
    form->ExportKeyboardAction->trigger();
    const ScriptedDialogs::Asked &asked = m_dialogs->last(Kind::SaveFile);
    QCOMPARE(asked.request.filter,
             QStringLiteral("XKB symbols (*)|*|Windows keyboard source (*.klc)|*.klc|keyboard-layout-editor JSON "
                            "(*.json)|*.json|KTouch keyboard layout (*.xml)|*.xml"));
    QVERIFY(m_dialogs->last(Kind::Information).text.contains(format));
    QFile written(path);
    QVERIFY(written.open(QIODevice::ReadOnly));
    QVERIFY2(written.readAll().startsWith(start), qPrintable(file));
    QCOMPARE(m_dialogs->count(Kind::Message), 0);
}

void DefineFormTest::installOnThisDesktop()
{
    const QByteArray configBefore = qgetenv("XDG_CONFIG_HOME");
    const auto restore = qScopeGuard([&configBefore] {
        if (configBefore.isEmpty())
            qunsetenv("XDG_CONFIG_HOME");
        else
            qputenv("XDG_CONFIG_HOME", configBefore);
    });
    qputenv("XDG_CONFIG_HOME", m_dir->filePath("config").toLocal8Bit());
    LayoutImportOptions options;
    options.layout = "de";
    options.codePage = "CP1252";
    options.composeLocale = "en_US.UTF-8";
    ImportLayout(*m_dm, options);
    TDefineFm *form = open();
    // A name the registry refuses is told, and nothing is written.
    m_dialogs->answerText(QStringLiteral("Mein Deutsch"));
    form->InstallAction->trigger();
    QCOMPARE(m_dialogs->last(Kind::Input).text, QStringLiteral("Name of the layout (lower-case letters, digits, _ and -):"));
    QCOMPARE(m_dialogs->count(Kind::Message), 1);
    QVERIFY(m_dialogs->last(Kind::Message).text.contains(QStringLiteral("\"Mein Deutsch\" cannot name a layout")));
    QVERIFY(!QDir(m_dir->filePath("config")).exists());

    m_dialogs->answerText(QStringLiteral("german"));
    form->InstallAction->trigger();
    QVERIFY(QFile::exists(m_dir->filePath("config/xkb/symbols/german")));
    QVERIFY(QFile::exists(m_dir->filePath("config/xkb/rules/evdev.xml")));
    QVERIFY(m_dialogs->last(Kind::Information).text.contains(QStringLiteral("keyboard settings")));
}

void DefineFormTest::importKeyboardLayoutEditorFile()
{
    // A file written from the US layout.
    TDataMod source;
    LayoutImportOptions options;
    options.layout = "us";
    options.codePage = "CP1252";
    options.composeLocale = "en_US.UTF-8";
    ImportLayout(source, options);
    std::vector<std::string> warnings;
    const QString file = m_dir->filePath("us.json");
    writeFileBytes(path(file), KeyboardFileBytes(source, CodePage("CP1252"), *FindExchangeFormat("kle"),
                                                 TExportOptions{}, warnings));
    // The window's definition is the data module's.
    DataMod = m_dm.get();

    TDefineFm *form = open();
    TImportLayoutDlg *dialog = openImport(form);
    QVERIFY(dialog);
    QCOMPARE(dialog->KleBn->text(), QStringLiteral("From a &keyboard-layout-editor file..."));
    m_dialogs->answerFile(file);
    QTest::mouseClick(dialog->KleBn, Qt::LeftButton);
    QCOMPARE(m_dialogs->last(Kind::OpenFiles).request.filter,
             QStringLiteral("keyboard-layout-editor JSON (*.json)|*.json"));
    QCOMPARE(m_dialogs->count(Kind::Message), 0);
    QCOMPARE(m_dm->MainTbl.RecordCount(), source.MainTbl.RecordCount());
    QCOMPARE(m_dm->Author, std::string("English (US)"));
    QVERIFY(form->ImportReport());
    QTRY_VERIFY(!form->ImportDialog());
    // Every key has its picture.
    for (m_dm->MainTbl.First(); !m_dm->MainTbl.Eof(); m_dm->MainTbl.Next())
        QVERIFY(!GlyphToImage(m_dm->MainTbl.FieldByName("Glyph").AsString()).isNull());
}

void DefineFormTest::importReplacesDefinition_data()
{
    QTest::addColumn<QString>("id");
    QTest::addColumn<int>("block");
    QTest::addColumn<QString>("codePage"); // as the code page list shows it
    QTest::addColumn<bool>("pictures");
    QTest::addColumn<QString>("row");      // a character row the layout gives (UTF-8)
    QTest::addColumn<QString>("character");
    QTest::addColumn<int>("accent");
    QTest::newRow("us, ISO, code page in force") << "us" << int(KeyBlock::Iso) << "CP1252 (in force)" << true
                                                 << "A normal" << "a" << 0;
    QTest::newRow("de, ANSI: o umlaut") << "de" << int(KeyBlock::Ansi) << "CP1252 (in force)" << true
                                        << "\u00D6 normal" << "\u00F6" << 0;
    QTest::newRow("de: dead acute and e") << "de" << int(KeyBlock::Iso) << "CP1252 (in force)" << false
                                          << "E acute" << "\u00E9" << 2002;
    QTest::newRow("ru in CP1251") << "ru" << int(KeyBlock::Iso) << "CP1251" << true << "\u0424 normal"
                                  << "\u0444" << 0;
    QTest::newRow("lt in CP1257") << "lt" << int(KeyBlock::Ansi) << "CP1257" << false << "\u0104 normal"
                                  << "\u0105" << 0;
}

void DefineFormTest::importReplacesDefinition()
{
    QFETCH(QString, id);
    QFETCH(int, block);
    QFETCH(QString, codePage);
    QFETCH(bool, pictures);
    QFETCH(QString, row);
    QFETCH(QString, character);
    QFETCH(int, accent);
    addKey(*m_dm, "Old key", 1);
    addChar(*m_dm, "old char", 120);
    m_dm->bkcolor = 0x123456;
    m_dm->FingerLength[2] = 77;
    TDefineFm *form = open();
    form->AuthorEd->setText(QStringLiteral("typed author"));
    form->FileNameLb->setText(QStringLiteral("old.vkt"));

    QPointer<TImportLayoutDlg> dialog = openImport(form, id);
    QVERIFY(dialog);
    QVERIFY(dialog->isVisible());
    dialog->BlockCombo->setCurrentIndex(dialog->BlockCombo->findData(block));
    dialog->CodePageCombo->setCurrentIndex(dialog->CodePageCombo->findText(codePage));
    QVERIFY(dialog->CodePageCombo->currentText() == codePage);
    dialog->PicturesCheckbox->setChecked(pictures);
    const LayoutImportOptions options = dialog->Options();
    m_dialogs->answerYes();
    m_dialogs->answerDiscard(); // the rows made above were never saved
    QTest::mouseClick(dialog->OkBn, Qt::LeftButton);

    // Asked once, naming the layout; then the dialog closes.
    QCOMPARE(m_dialogs->count(Kind::Confirm), 1);
    QVERIFY(m_dialogs->last(Kind::Confirm).text.contains(id));
    QCOMPARE(m_dialogs->count(Kind::Message), 0);
    QTRY_VERIFY(dialog.isNull());

    // The definition is the layout's, as the import gives it.
    TDataMod reference;
    const LayoutImportReport expected = ImportLayout(reference, options);
    QCOMPARE(keyNames(*m_dm), keyNames(reference));
    QCOMPARE(m_dm->Ctbl.RecordCount(), reference.Ctbl.RecordCount());
    QCOMPARE(m_dm->Ctbl.SaveToBytes(), reference.Ctbl.SaveToBytes());
    const CodePage cp(expected.codePage);
    uint8_t byte = 0;
    QVERIFY(cp.fromUnicode(character.toStdU32String()[0], byte));
    QCOMPARE(charRow(*m_dm, cp.encode(row)), std::make_pair(int32_t(byte), int32_t(accent)));
    QCOMPARE(charRow(*m_dm, "old char").first, -1);
    const std::vector<std::string> names = keyNames(*m_dm);
    QVERIFY(std::find(names.begin(), names.end(), "Old key") == names.end());
    // Settings stay, but for the author and info that name the layout.
    QCOMPARE(m_dm->bkcolor, 0x123456);
    QCOMPARE(m_dm->FingerLength[2], 77);
    QCOMPARE(m_dm->Author, reference.Author);
    QCOMPARE(form->AuthorEd->text(), CodePage::current().decode(m_dm->Author));
    QCOMPARE(form->InfoEd->toPlainText(), CodePage::current().decode(m_dm->misc));
    QVERIFY(form->InfoEd->toPlainText().contains(QString::fromLatin1(KeyBlockName(KeyBlock(block)))));
    QVERIFY(form->FileNameLb->text().isEmpty());

    // The grids follow at once.
    QCOMPARE(form->DBGrid->model()->rowCount(), m_dm->MainTbl.RecordCount());
    QCOMPARE(form->CharGrid->model()->rowCount(), m_dm->Ctbl.RecordCount());

    // The key pictures, when asked for: every key has one, on its finger colour.
    for (int i = 0; i < m_dm->MainTbl.RecordCount(); ++i)
        QCOMPARE(pictureAt(*m_dm, i).isNull(), !pictures);
    QCOMPARE(form->KeyImage->Picture().isNull(), !pictures);

    // The report: every line of the import's own, nothing dropped.
    TImportReportDlg *report = form->ImportReport();
    QVERIFY(report);
    QVERIFY(report->isVisible());
    QVERIFY(report->windowTitle().contains(id));
    QStringList lines;
    for (const std::string &line : expected.Lines())
        lines << QString::fromStdString(line);
    QVERIFY(report->Text().startsWith(lines.join('\n')));
    QCOMPARE(report->Text().contains(QStringLiteral("Key pictures drawn")), pictures);
    QVERIFY(report->ReportMemo->isReadOnly());
    QAccessibleInterface *a = QAccessible::queryAccessibleInterface(report->ReportMemo);
    QCOMPARE(a->text(QAccessible::Name), QStringLiteral("Import report"));

    // The session takes the import's code page, and the report says so when
    // it changed: the grids name every character as the layout has it.
    QCOMPARE(CodePage::current().name(), expected.codePage);
    QCOMPARE(report->Text().contains(QStringLiteral("The session's code page is now %1")
                                         .arg(QString::fromStdString(expected.codePage))),
             expected.codePage != m_codePageBefore);
    QAbstractItemModel *chars = form->CharGrid->model();
    const int nameColumn = gridColumn(form->CharGrid, QStringLiteral("Name"));
    QStringList shown;
    for (int r = 0; r < chars->rowCount(); ++r)
        shown << chars->index(r, nameColumn).data().toString();
    QVERIFY2(shown.contains(row), qPrintable(row));
}

void DefineFormTest::importAnsweredNoKeepsDefinition()
{
    addKey(*m_dm, "Old key", 1);
    addChar(*m_dm, "old char", 120);
    TDefineFm *form = open();
    const std::string keys = m_dm->MainTbl.SaveToBytes();
    const std::string chars = m_dm->Ctbl.SaveToBytes();
    QPointer<TImportLayoutDlg> dialog = openImport(form, QStringLiteral("de"));
    QVERIFY(dialog);
    m_dialogs->answerNo();
    QTest::mouseClick(dialog->OkBn, Qt::LeftButton);
    QCOMPARE(m_dialogs->count(Kind::Confirm), 1);
    QCOMPARE(m_dm->MainTbl.SaveToBytes(), keys);
    QCOMPARE(m_dm->Ctbl.SaveToBytes(), chars);
    QVERIFY(form->AuthorEd->text().isEmpty());
    QVERIFY(!form->ImportReport());
    // The dialog stays open for another choice; a second click opens no other.
    QVERIFY(dialog && dialog->isVisible());
    QTest::mouseClick(form->ImportBn, Qt::LeftButton);
    QCOMPARE(form->ImportDialog(), dialog.data());
    QCOMPARE(form->findChildren<TImportLayoutDlg *>().size(), 1);
    QTest::mouseClick(dialog->CancelBn, Qt::LeftButton);
    QTRY_VERIFY(dialog.isNull());
    QCOMPARE(m_dialogs->count(Kind::Confirm), 1);
    QCOMPARE(m_dm->MainTbl.SaveToBytes(), keys);
}

// "Replace the whole keyboard definition" is asked only when there is
// something to replace.
void DefineFormTest::importAsksToReplaceOnlyWhatIsThere_data()
{
    QTest::addColumn<QString>("held"); // what the definition holds before the import
    QTest::addColumn<bool>("asked");
    QTest::newRow("nothing") << "" << false;
    QTest::newRow("a key") << "key" << true;
    QTest::newRow("a character") << "char" << true;
    QTest::newRow("an author") << "author" << true;
}

void DefineFormTest::importAsksToReplaceOnlyWhatIsThere()
{
    QFETCH(QString, held);
    QFETCH(bool, asked);
    if (held == "key")
        addKey(*m_dm, "Old key", 1);
    else if (held == "char")
        addChar(*m_dm, "old char", 120);
    else if (held == "author")
        m_dm->Author = "Jo";
    m_dm->History().Clear(); // as if just loaded
    TDefineFm *form = open();
    QPointer<TImportLayoutDlg> dialog = openImport(form, QStringLiteral("us"));
    QVERIFY(dialog);
    if (asked)
        m_dialogs->answerYes();
    QTest::mouseClick(dialog->OkBn, Qt::LeftButton);
    QCOMPARE(m_dialogs->count(Kind::Confirm), asked ? 1 : 0);
    QCOMPARE(m_dialogs->count(Kind::SaveDiscard), 0);
    QTRY_VERIFY(dialog.isNull());
    QVERIFY(form->ImportReport());
    QVERIFY(m_dm->MainTbl.RecordCount() > 0);
}

void DefineFormTest::failedImportChangesNothing_data()
{
    QTest::addColumn<int>("rules"); // 0: no layout list, 1: a list with a layout without data, 2: the system's
    QTest::addColumn<QString>("id");
    QTest::addColumn<QString>("message");
    // A layout listed but missing from the layout data: the import fails.
    QTest::newRow("layout without data") << 1 << "zz" << "Keyboard layout 'zz' does not exist";
    // No layout list at all: the dialog does not open.
    QTest::newRow("no layout list") << 0 << "zz" << "evdev.xml";
    // A code page that holds nothing the keys type: nothing to import.
    QTest::newRow("code page holds nothing") << 2 << "ie(ogam)"
                                             << "Keyboard layout 'ie(ogam)': code page CP1252 holds no character";
}

void DefineFormTest::failedImportChangesNothing()
{
    QFETCH(int, rules);
    QFETCH(QString, id);
    QFETCH(QString, message);
    if (rules < 2) {
        QVERIFY(QDir(m_dir->path()).mkpath(QStringLiteral("xkb/rules")));
        if (rules == 1) {
            QFile file(m_dir->filePath(QStringLiteral("xkb/rules/evdev.xml")));
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(kRulesWithUnknownLayout);
        }
        qputenv("XKB_CONFIG_ROOT", QFile::encodeName(m_dir->filePath(QStringLiteral("xkb"))));
    }
    const bool withRules = rules > 0;

    addKey(*m_dm, "Old key", 1);
    addChar(*m_dm, "old char", 120);
    m_dm->Author = "kept";
    TDefineFm *form = open();
    const std::string keys = m_dm->MainTbl.SaveToBytes();
    const std::string chars = m_dm->Ctbl.SaveToBytes();

    QPointer<TImportLayoutDlg> dialog = openImport(form, id);
    QCOMPARE(bool(dialog), withRules);
    if (dialog) {
        QCOMPARE(m_dialogs->count(Kind::Message), 0);
        dialog->CodePageCombo->setCurrentIndex(
            dialog->CodePageCombo->findText(QStringLiteral("CP1252"), Qt::MatchStartsWith));
        QVERIFY(dialog->CodePageCombo->currentText().startsWith(QStringLiteral("CP1252")));
        m_dialogs->answerYes();
        m_dialogs->answerDiscard();
        QTest::mouseClick(dialog->OkBn, Qt::LeftButton);
        QCOMPARE(m_dialogs->count(Kind::Confirm), 1);
        QVERIFY(dialog && dialog->isVisible()); // still open: the user may pick another
    }
    // The error is reported in the window's name, and nothing changed.
    QCOMPARE(m_dialogs->count(Kind::Message), 1);
    QVERIFY2(m_dialogs->last(Kind::Message).text.contains(message), qPrintable(m_dialogs->last(Kind::Message).text));
    QVERIFY(m_dialogs->last(Kind::Message).text.startsWith(QStringLiteral("AppException: TDefineFm~")));
    QCOMPARE(m_dm->MainTbl.SaveToBytes(), keys);
    QCOMPARE(m_dm->Ctbl.SaveToBytes(), chars);
    QCOMPARE(m_dm->Author, std::string("kept"));
    QVERIFY(!form->ImportReport());
}

void DefineFormTest::layoutAndFingerWindowsFollowImport()
{
    addKey(*m_dm, "Old key", 1);
    TWinFormFactory factory(m_area.get());
    factory.ShowDefineFm();
    factory.ShowKbDemoFm();
    factory.ShowFingerDefFm();
    TDefineFm *form = factory.FindForm<TDefineFm>();
    TKbDemoFm *demo = factory.FindForm<TKbDemoFm>();
    TFingerDefFm *fingers = factory.FindForm<TFingerDefFm>();
    QVERIFY(form && demo && fingers);
    demo->Button2Click();
    QCOMPARE(demo->KbDragFrame()->Buttons().size(), size_t(1));

    TImportLayoutDlg *dialog = openImport(form, QStringLiteral("de"));
    QVERIFY(dialog);
    m_dialogs->answerYes();
    m_dialogs->answerDiscard();
    QTest::mouseClick(dialog->OkBn, Qt::LeftButton);
    QVERIFY(form->ImportReport());
    // No finger colours were set: the pictures got light ones, and say so.
    QCOMPARE(m_dm->FingerColor, DefaultFingerColors());
    QVERIFY(form->ImportReport()->Text().contains(QStringLiteral("Finger colours were not set")));

    // As after a package load: the layout window's buttons show the new keys
    // on Refresh buttons, and they type what the layout types.
    demo->Button2Click();
    QCOMPARE(int(demo->KbDragFrame()->Buttons().size()), m_dm->MainTbl.RecordCount());
    auto key = [demo](const char *name) -> ButtonType * {
        for (ButtonType *b : demo->KbDragFrame()->Buttons())
            if (b->accessibleName() == QLatin1String(name))
                return b;
        return nullptr;
    };
    QVERIFY(key("Acute") && key("E"));
    QTest::mouseClick(key("Acute"), Qt::LeftButton);
    QTest::mouseClick(key("E"), Qt::LeftButton);
    QCOMPARE(demo->DemoEd->toPlainText(), QStringLiteral("\u00E9"));
    // The finger window shows the colours on Refresh.
    fingers->Refresh();
    for (int k = 1; k <= 10; ++k)
        QCOMPARE(fingers->Slider(k)->color(), uint32_t(DefaultFingerColors()[size_t(k - 1)]));
}

void DefineFormTest::drawKeyPictures_data()
{
    QTest::addColumn<bool>("fingerColours"); // the answer to "Colour each key with ... its finger?"
    QTest::addColumn<uint32_t>("oneColour");
    QTest::addColumn<uint32_t>("faceA");
    QTest::addColumn<uint32_t>("faceB");
    QTest::newRow("finger colours") << true << 0u << 0x0000FFu << 0x00FF00u;
    QTest::newRow("one colour") << false << 0xFF8000u << 0xFF8000u << 0xFF8000u;
}

void DefineFormTest::drawKeyPictures()
{
    QFETCH(bool, fingerColours);
    QFETCH(uint32_t, oneColour);
    QFETCH(uint32_t, faceA);
    QFETCH(uint32_t, faceB);
    m_dm->FingerColor[3] = 0x0000FF; // colour values: red in the low byte
    m_dm->FingerColor[6] = 0x00FF00;
    m_dm->MainTbl.AppendRecord({"A", 1, 1, 0, 3, TValue(), 40, 40, 0, 0, "a"});
    m_dm->MainTbl.AppendRecord({"B", 2, 1, 0, 6, TValue(), 60, 40, 42, 0, "b"});
    addChar(*m_dm, "a normal", 97, 1);
    addChar(*m_dm, "b normal", 98, 2);
    TDefineFm *form = open();
    m_dm->MainTbl.First();
    if (fingerColours) {
        m_dialogs->answerYes();
    } else {
        m_dialogs->answerNo();
        m_dialogs->answerColor(oneColour);
    }
    QTest::mouseClick(form->DrawKeysBn, Qt::LeftButton);
    QCOMPARE(m_dialogs->count(Kind::Message), 0);
    QCOMPARE(m_dialogs->count(Kind::OkCancel), 0); // no picture to replace
    QCOMPARE(m_dialogs->count(Kind::Confirm), 1);
    QCOMPARE(m_dialogs->count(Kind::Color), fingerColours ? 0 : 1);
    QCOMPARE(m_dialogs->pendingAnswers(), 0);

    const uint32_t faces[] = {faceA, faceB};
    const QSize sizes[] = {{40, 40}, {60, 40}};
    for (int i = 0; i < 2; ++i) {
        const QImage picture = pictureAt(*m_dm, i);
        QCOMPARE(picture.size(), sizes[i]);
        QCOMPARE(QColor(picture.pixel(0, picture.height() - 1)), ColorValueToColor(faces[i]));
    }
    // The picture box shows the current key's new picture; the colour dialog
    // remembers the colour.
    QCOMPARE(form->KeyImage->Picture().size(), sizes[0]);
    if (!fingerColours)
        QCOMPARE(form->LastColor(), oneColour);
    QCOMPARE(m_dm->FingerColor[3], 0x0000FF);
}

void DefineFormTest::drawKeyPicturesAsksBeforeReplacing()
{
    const QImage own = keyPicture(40, 40, qRgb(1, 2, 3), QStringLiteral("X"));
    addKey(*m_dm, "A", 1, own, 40, 40);
    addKey(*m_dm, "B", 2, QImage(), 40, 40);
    TDefineFm *form = open();
    const std::string keys = m_dm->MainTbl.SaveToBytes();

    // Cancel keeps every picture and asks nothing further.
    m_dialogs->answerCancel();
    QTest::mouseClick(form->DrawKeysBn, Qt::LeftButton);
    QCOMPARE(m_dialogs->count(Kind::OkCancel), 1);
    QCOMPARE(m_dialogs->count(Kind::Confirm), 0);
    QCOMPARE(m_dm->MainTbl.SaveToBytes(), keys);

    // One colour chosen, then the colour dialog cancelled: nothing drawn.
    m_dialogs->answerYes(); // OK to replace
    m_dialogs->answerNo();  // not the finger colours
    m_dialogs->answerCancel();
    QTest::mouseClick(form->DrawKeysBn, Qt::LeftButton);
    QCOMPARE(m_dialogs->count(Kind::Color), 1);
    QCOMPARE(m_dm->MainTbl.SaveToBytes(), keys);

    // Finger colours that were never set: light ones are set, and the user told.
    m_dialogs->answerYes();
    m_dialogs->answerYes();
    QTest::mouseClick(form->DrawKeysBn, Qt::LeftButton);
    QCOMPARE(m_dialogs->count(Kind::Information), 1);
    QCOMPARE(m_dm->FingerColor, DefaultFingerColors());
    QVERIFY(pictureAt(*m_dm, 0) != own);
    QCOMPARE(QColor(pictureAt(*m_dm, 1).pixel(0, 39)), ColorValueToColor(uint32_t(DefaultFingerColors()[3])));
}

void DefineFormTest::drawKeyPicturesReportsWhatItCannotDraw()
{
    TDefineFm *form = open();
    // An empty key table: said so, nothing asked.
    QTest::mouseClick(form->DrawKeysBn, Qt::LeftButton);
    QCOMPARE(m_dialogs->count(Kind::Information), 1);
    QCOMPARE(m_dialogs->count(Kind::Confirm), 0);

    // A key without a size keeps its picture, and the user hears of it.
    m_dm->FingerColor.fill(0xC0C0C0);
    addKey(*m_dm, "A", 1, QImage(), 40, 40);
    addKey(*m_dm, "B", 2, QImage(), 0, 40);
    m_dialogs->answerYes();
    QTest::mouseClick(form->DrawKeysBn, Qt::LeftButton);
    QCOMPARE(m_dialogs->count(Kind::Warning), 1);
    QVERIFY(m_dialogs->last(Kind::Warning).text.startsWith(QStringLiteral("1 key(s) drawn; 1 key(s) kept")));
    QVERIFY(!pictureAt(*m_dm, 0).isNull());
    QVERIFY(pictureAt(*m_dm, 1).isNull());

    // A key row that cannot be posted: the error is reported, nothing drawn.
    m_dm->MainTbl.Append(); // no Name
    m_dm->MainTbl.FieldByName("Width").SetAsInteger(40);
    m_dialogs->answerYes(); // OK to replace
    m_dialogs->answerYes();
    QTest::mouseClick(form->DrawKeysBn, Qt::LeftButton);
    QCOMPARE(m_dialogs->count(Kind::Message), 1);
}

// Each kind of step made through the windows, done, undone and redone: the
// saved bytes after the undo are those before the step, after the redo
// those after it, and the step is named for the Edit menu.
void DefineFormTest::undoEveryKindOfStep_data()
{
    QTest::addColumn<QString>("action");
    QTest::addColumn<QString>("undoText");
    QTest::newRow("row edit in the grid") << "edit" << "edit of row 'b normal'";
    QTest::newRow("new row") << "insert" << "new row 'new'";
    QTest::newRow("deleted row") << "delete" << "delete of row 'B'";
    QTest::newRow("Clear keys") << "clearKeys" << "clear keys";
    QTest::newRow("Clear characters") << "clearChars" << "clear characters";
    QTest::newRow("Load image") << "loadImage" << "key picture";
    QTest::newRow("Paste image") << "pasteImage" << "key picture";
    QTest::newRow("Clear image") << "clearImage" << "key picture";
    QTest::newRow("Key color") << "keyColour" << "key picture";
    QTest::newRow("Background color") << "background" << "background colour";
    QTest::newRow("key drag") << "drag" << "move key A";
    QTest::newRow("Add char to key") << "link" << "link of character 'b normal'";
    QTest::newRow("Break link") << "breakLink" << "break of the link of character 'b normal'";
    QTest::newRow("finger Apply") << "fingers" << "finger settings";
    QTest::newRow("layout import") << "import" << "import of layout us";
}

void DefineFormTest::undoEveryKindOfStep()
{
    QFETCH(QString, action);
    QFETCH(QString, undoText);
    addKey(*m_dm, "A", 65, keyPicture(20, 10, qRgb(200, 200, 200)), 20, 10);
    addKey(*m_dm, "B", 66, QImage(), 30, 10);
    addChar(*m_dm, "a normal", 97, 65);
    addChar(*m_dm, "b normal", 98, 66);
    m_dm->MainTbl.First();
    m_dm->Ctbl.Last();
    m_dm->History().Clear(); // as if just loaded
    TWinFormFactory factory(m_area.get());
    factory.ShowDefineFm();
    TDefineFm *form = factory.FindForm<TDefineFm>();
    QVERIFY(form);
    const std::string before = SavedMembers(*m_dm);
    const QString bmp = m_dir->filePath("picture.bmp");
    QVERIFY(keyPicture(30, 12, qRgb(10, 20, 30), "Q").save(bmp, "BMP"));
    TFingerDefFm *fingers = nullptr;

    if (action == "edit") {
        m_dm->Ctbl.Edit();
        m_dm->Ctbl.FieldByName("Code").SetAsInteger(226);
        form->DBNavigator2->BtnClick(TDBNavigator::nbPost);
    } else if (action == "insert") {
        form->DBNavigator2->BtnClick(TDBNavigator::nbInsert);
        m_dm->Ctbl.FieldByName("Name").SetAsString("new");
        m_dm->Ctbl.FieldByName("Code").SetAsInteger(110);
        form->DBNavigator2->BtnClick(TDBNavigator::nbPost);
    } else if (action == "delete") {
        m_dm->MainTbl.Last();
        m_dialogs->answerYes(); // "Delete record?"
        form->DBNavigator1->BtnClick(TDBNavigator::nbDelete);
    } else if (action == "clearKeys") {
        QTest::mouseClick(form->ClearBn, Qt::LeftButton);
    } else if (action == "clearChars") {
        QTest::mouseClick(form->Clear2Bn, Qt::LeftButton);
    } else if (action == "loadImage" || action == "pasteImage" || action == "clearImage"
               || action == "keyColour") {
        if (action == "loadImage") {
            m_dialogs->answerFile(bmp);
            QTest::mouseClick(form->LoadImgBn, Qt::LeftButton);
        } else if (action == "pasteImage") {
            QApplication::clipboard()->setImage(keyPicture(16, 16, qRgb(90, 90, 0)));
            QTest::mouseClick(form->PasteImgBn, Qt::LeftButton);
        } else if (action == "clearImage") {
            QTest::mouseClick(form->ClearImgBn, Qt::LeftButton);
        } else {
            m_dialogs->answerColor(0x0000FF);
            QTest::mouseClick(form->KeyColorBn, Qt::LeftButton);
        }
        QCOMPARE(m_dm->MainTbl.State(), TDataSetState::Edit);
        form->DBNavigator1->BtnClick(TDBNavigator::nbPost);
    } else if (action == "background") {
        m_dialogs->answerColor(0x00FF00);
        QTest::mouseClick(form->ColorBn, Qt::LeftButton);
    } else if (action == "drag" || action == "link" || action == "breakLink") {
        factory.ShowKbDemoFm();
        TKbDemoFm *demo = factory.FindForm<TKbDemoFm>();
        QVERIFY(demo);
        demo->Button2Click();
        ButtonType *a = demo->KbDragFrame()->Buttons().at(0);
        if (action == "drag") {
            demo->DragDropFrame->RunDrag = [](QDrag *) {};
            demo->DragDropFrame->KeyMouseDown(a, Qt::RightButton, Qt::NoModifier, Qt::RightButton, QPoint(2, 2));
            demo->DragDropFrame->DropBMPTarget1Drop(QPoint(102, 52));
        } else {
            m_dm->Ctbl.Last();
            m_dm->MainTbl.First();
            QTest::mouseClick(action == "link" ? demo->Button4 : demo->Button5, Qt::LeftButton);
        }
    } else if (action == "fingers") {
        factory.ShowFingerDefFm();
        fingers = factory.FindForm<TFingerDefFm>();
        QVERIFY(fingers);
        fingers->Slider(3)->setValue(42);
        QTest::mouseClick(fingers->ApplyBn, Qt::LeftButton);
        QCOMPARE(m_dm->FingerLength[2], 42);
    } else if (action == "import") {
        TImportLayoutDlg *dialog = openImport(form, QStringLiteral("us"));
        QVERIFY(dialog);
        m_dialogs->answerYes();
        QTest::mouseClick(dialog->OkBn, Qt::LeftButton);
        QCOMPARE(m_dialogs->count(Kind::SaveDiscard), 0); // nothing unsaved: nothing asked
        QVERIFY(form->ImportReport());
    }
    QCOMPARE(m_dialogs->count(Kind::Message), 0);
    const std::string after = SavedMembers(*m_dm);
    QVERIFY(before != after);
    TDefinitionHistory &history = m_dm->History();
    QCOMPARE(history.Count(), 1);
    QCOMPARE(history.UndoText(), undoText);

    history.Undo();
    QCOMPARE(SavedMembers(*m_dm), before);
    QVERIFY(history.IsSaved());
    if (fingers)
        QCOMPARE(fingers->Slider(3)->value(), 0); // the slider follows at once
    if (action == "import")
        QCOMPARE(keyNames(*m_dm), (std::vector<std::string>{"A", "B"}));
    history.Redo();
    QCOMPARE(SavedMembers(*m_dm), after);
    if (fingers)
        QCOMPARE(fingers->Slider(3)->value(), 42);
    history.Undo();
    QCOMPARE(SavedMembers(*m_dm), before);
    QCOMPARE(history.Count(), 1);
}

// A drag undone moves the key's button back to where it was, and the key
// row becomes the current row; redone, the button goes to the drop point.
void DefineFormTest::undoneDragPutsTheButtonBack()
{
    addKey(*m_dm, "A", 65, QImage(), 30, 20);
    addKey(*m_dm, "B", 66, QImage(), 30, 20);
    m_dm->History().Clear();
    TWinFormFactory factory(m_area.get());
    factory.ShowKbDemoFm();
    TKbDemoFm *demo = factory.FindForm<TKbDemoFm>();
    QVERIFY(demo);
    demo->Button2Click();
    ButtonType *a = demo->KbDragFrame()->Buttons().at(0);
    QCOMPARE(a->accessibleName(), QStringLiteral("A"));
    const QRect start = a->geometry();
    demo->DragDropFrame->RunDrag = [](QDrag *) {};
    demo->DragDropFrame->KeyMouseDown(a, Qt::RightButton, Qt::NoModifier, Qt::RightButton, QPoint(5, 5));
    demo->DragDropFrame->DropBMPTarget1Drop(QPoint(125, 65));
    const QRect dropped = a->geometry();
    QCOMPARE(dropped.topLeft(), QPoint(120, 60));
    m_dm->MainTbl.Last(); // another row current
    // The status label shows the key's place, read as assistive technology does.
    const auto status = [demo] {
        return QAccessible::queryAccessibleInterface(demo->DemoLabel)->text(QAccessible::Name);
    };
    QCOMPARE(status(), QStringLiteral("120, 60"));

    m_dm->History().Undo();
    QCOMPARE(a->geometry(), start);
    QCOMPARE(m_dm->MainTbl.FieldByName("Name").AsString(), std::string("A"));
    QCOMPARE(status(), QStringLiteral("%1, %2").arg(start.x()).arg(start.y()));
    m_dm->History().Redo();
    QCOMPARE(a->geometry(), dropped);
    QCOMPARE(status(), QStringLiteral("120, 60"));
}

// Load and import over unsaved changes ask Save / Discard / Cancel: Cancel
// and a save that fails or is cancelled keep everything; Discard goes on;
// Save saves, then goes on. An untouched definition asks nothing.
void DefineFormTest::loadAndImportAskAboutUnsavedChanges_data()
{
    QTest::addColumn<bool>("import");
    QTest::addColumn<bool>("changed");
    QTest::addColumn<QString>("answer");     // save, discard, cancel
    QTest::addColumn<QString>("saveTo");     // the file the save dialog answers; empty: cancelled
    QTest::addColumn<bool>("goesOn");
    for (const bool import : {false, true}) {
        const char *what = import ? "import" : "load";
        QTest::addRow("%s, untouched", what) << import << false << "" << "" << true;
        QTest::addRow("%s, Cancel", what) << import << true << "cancel" << "" << false;
        QTest::addRow("%s, Discard", what) << import << true << "discard" << "" << true;
        QTest::addRow("%s, Save", what) << import << true << "save" << "saved.vkt" << true;
        QTest::addRow("%s, Save cancelled", what) << import << true << "save" << "" << false;
        QTest::addRow("%s, Save fails", what) << import << true << "save" << "no/such/folder/x.vkt" << false;
    }
}

void DefineFormTest::loadAndImportAskAboutUnsavedChanges()
{
    QFETCH(bool, import);
    QFETCH(bool, changed);
    QFETCH(QString, answer);
    QFETCH(QString, saveTo);
    QFETCH(bool, goesOn);
    addKey(*m_dm, "Other", 1);
    const QString other = savePackage(QStringLiteral("other.vkt"));
    m_dm->ClearKeyTable();
    addKey(*m_dm, "Mine", 2);
    m_dm->History().Clear();
    TDefineFm *form = open();
    if (changed) {
        m_dm->MainTbl.Edit();
        m_dm->MainTbl.FieldByName("Hint").SetAsString("my hint");
        m_dm->MainTbl.Post();
    }
    const std::string mine = SavedMembers(*m_dm);

    // The question's answer, then the save dialog's.
    const auto queueAnswers = [&] {
        if (answer == "save")
            m_dialogs->answerSave();
        else if (answer == "discard")
            m_dialogs->answerDiscard();
        else if (answer == "cancel")
            m_dialogs->answerCancel();
        if (answer == "save") {
            if (saveTo.isEmpty())
                m_dialogs->answerCancel();
            else
                m_dialogs->answerFile(m_dir->filePath(saveTo));
        }
    };
    if (import) {
        TImportLayoutDlg *dialog = openImport(form, QStringLiteral("us"));
        QVERIFY(dialog);
        m_dialogs->answerYes(); // "Replace the whole keyboard definition ...?"
        queueAnswers();
        QTest::mouseClick(dialog->OkBn, Qt::LeftButton);
    } else {
        queueAnswers();
        m_dialogs->answerFile(other);
        QTest::mouseClick(form->LoadBn, Qt::LeftButton);
    }

    QCOMPARE(m_dialogs->count(Kind::SaveDiscard), changed ? 1 : 0);
    if (changed)
        QCOMPARE(m_dialogs->last(Kind::SaveDiscard).text, QStringLiteral("Save changes to the keyboard definition?"));
    if (answer == "save" && saveTo.startsWith(QStringLiteral("no/")))
        QCOMPARE(m_dialogs->count(Kind::Warning), 1); // the failed save said why
    if (answer == "save" && !saveTo.isEmpty() && goesOn) {
        TDataMod saved;
        QVERIFY(saved.LoadPackage(path(m_dir->filePath(saveTo))));
        QCOMPARE(SavedMembers(saved), mine);
    }
    if (goesOn) {
        QVERIFY(SavedMembers(*m_dm) != mine);
        if (import)
            QVERIFY(form->ImportReport());
        else
            QCOMPARE(keyNames(*m_dm), (std::vector<std::string>{"Other"}));
    } else {
        QCOMPARE(SavedMembers(*m_dm), mine);
        QVERIFY(!m_dm->History().IsSaved());
        if (import)
            QVERIFY(form->ImportDialog() && form->ImportDialog()->isVisible());
    }
}

void DefineFormTest::tabWalksThroughBothGrids_data()
{
    QTest::addColumn<bool>("back");
    QTest::newRow("Tab") << false;
    QTest::newRow("Shift+Tab") << true;
}

void DefineFormTest::tabWalksThroughBothGrids()
{
    QFETCH(bool, back);
    addKey(*m_dm, "A", 1);
    addKey(*m_dm, "B", 2);
    addChar(*m_dm, "a", 'a', 1);
    addChar(*m_dm, "b", 'b', 2);
    TDefineFm *form = open();
    form->AuthorEd->setFocus();
    QWidget *start = QApplication::focusWidget();
    QCOMPARE(start, form->AuthorEd);
    QList<QWidget *> walk;
    for (int press = 0; press < 200; ++press) {
        QTest::keyClick(QApplication::focusWidget(), back ? Qt::Key_Backtab : Qt::Key_Tab,
                        back ? Qt::ShiftModifier : Qt::NoModifier);
        if (QApplication::focusWidget() == start)
            break;
        walk << QApplication::focusWidget();
        // Assistive technology finds a focused cell only in the grid that has the focus.
        for (TDBGrid *grid : {form->DBGrid, form->CharGrid}) {
            const QModelIndex current = grid->currentIndex();
            QAccessibleInterface *cell = QAccessible::queryAccessibleInterface(grid)->tableInterface()->cellAt(
                current.row(), current.column());
            QVERIFY(cell);
            QCOMPARE(cell->state().focused, grid->hasFocus());
        }
    }
    // The walk comes round to where it started: no control keeps the focus.
    QCOMPARE(QApplication::focusWidget(), start);
    // Each grid is entered once and left with the next press.
    QCOMPARE(walk.count(form->DBGrid), 1);
    QCOMPARE(walk.count(form->CharGrid), 1);
    // The navigators' enabled buttons are on the way.
    for (TDBNavigator *nav : {form->DBNavigator1, form->DBNavigator2})
        QVERIFY(walk.contains(nav->ButtonOf(TDBNavigator::nbInsert)));
    // In a grid the arrows move between cells.
    form->DBGrid->setFocus();
    QTest::keyClick(form->DBGrid, Qt::Key_Home, Qt::ControlModifier);
    QCOMPARE(form->DBGrid->currentIndex(), form->DBGrid->model()->index(0, 0));
    QTest::keyClick(form->DBGrid, Qt::Key_Right);
    QCOMPARE(form->DBGrid->currentIndex(), form->DBGrid->model()->index(0, 1));
    QTest::keyClick(form->DBGrid, Qt::Key_Down);
    QCOMPARE(form->DBGrid->currentIndex(), form->DBGrid->model()->index(1, 1));
    QVERIFY(form->DBGrid->hasFocus());
}

void DefineFormTest::charNamesShowWhole_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("addedWhileOpen");
    QTest::newRow("short") << "a" << false;
    QTest::newRow("imported state name") << "Space AltGr shifted" << false;
    QTest::newRow("30 characters") << "Dead circumflex AltGr capital" << false;
    QTest::newRow("added while open") << "Space AltGr shifted" << true;
}

void DefineFormTest::charNamesShowWhole()
{
    QFETCH(QString, name);
    QFETCH(bool, addedWhileOpen);
    addKey(*m_dm, "Space", 1);
    if (!addedWhileOpen)
        addChar(*m_dm, name.toStdString(), ' ', 1);
    TDefineFm *form = open();
    if (addedWhileOpen)
        addChar(*m_dm, name.toStdString(), ' ', 1);
    QCoreApplication::processEvents();
    TDBGrid *grid = form->CharGrid;
    const QModelIndex cell = grid->model()->index(0, 0);
    QCOMPARE(cell.data().toString(), name);
    // The cell's text room holds the name: nothing is cut.
    QStyleOptionViewItem option;
    option.initFrom(grid);
    option.rect = grid->visualRect(cell);
    option.text = name;
    option.features = QStyleOptionViewItem::HasDisplay;
    const QRect textRoom = grid->style()->subElementRect(QStyle::SE_ItemViewItemText, &option, grid);
    QVERIFY2(textRoom.width() >= grid->fontMetrics().horizontalAdvance(name) + 2,
             qPrintable(QStringLiteral("%1 in %2 pixels").arg(name).arg(textRoom.width())));
    QVERIFY(grid->columnWidth(0) >= grid->CharsToPixels(10)); // never below its own width
}

void DefineFormTest::screenshot()
{
    const QString out = qEnvironmentVariable("KEYFOLIO_SCREENSHOT");
    if (out.isEmpty())
        QSKIP("set KEYFOLIO_SCREENSHOT to a .png path to take the picture");
    const char *rows[] = {"1234567890-=", "QWERTYUIOP[]", "ASDFGHJKL;'", "ZXCVBNM,./"};
    const QRgb faces[] = {qRgb(230, 230, 225), qRgb(210, 225, 245), qRgb(225, 245, 210), qRgb(245, 225, 210)};
    int value = 1;
    for (int r = 0; r < 4; ++r) {
        for (int i = 0; rows[r][i]; ++i, ++value) {
            const QString label(QChar::fromLatin1(rows[r][i]));
            const int w = 36, h = 34;
            addKey(*m_dm, std::string("Key ") + rows[r][i], value, keyPicture(w, h, faces[r], label), w, h);
            m_dm->MainTbl.Edit(); // the row just added
            m_dm->MainTbl.FieldByName("X").SetAsInteger(10 + r * 12 + i * 40);
            m_dm->MainTbl.FieldByName("Y").SetAsInteger(10 + r * 40);
            const int32_t fingers[] = {0, 1, 2, 3, 3, 6, 6, 7, 8, 9};
            m_dm->MainTbl.FieldByName("Finger").SetAsInteger(fingers[std::min(i, 9)]);
            m_dm->MainTbl.Post();
            addChar(*m_dm, std::string("small ") + char(std::tolower(rows[r][i])), std::tolower(rows[r][i]), value);
            addChar(*m_dm, std::string("capital ") + rows[r][i], rows[r][i], value);
        }
    }
    addKey(*m_dm, "Space", value, keyPicture(200, 34, qRgb(230, 230, 225)), 200, 34, 3);
    m_dm->bkcolor = 0x604020;
    m_dm->Author = "Keyfolio team";
    m_dm->misc = "A sample layout";
    const QString file = savePackage("sample.vkt");
    m_dm = std::make_unique<TDataMod>();

    TDefineFm *form = open();
    form->parentWidget()->resize(form->parentWidget()->sizeHint());
    m_dialogs->answerFile(file);
    form->LoadBnClick();
    QVERIFY(m_dm->MainTbl.RecordCount() >= 40);
    form->DBGrid->resizeRowsToContents();
    m_dm->MainTbl.SetRecNo(5);
    m_dm->Ctbl.SetRecNo(3);
    QCoreApplication::processEvents();
    QVERIFY(form->grab().save(out));
    // The key pictures in their column.
    form->DBGrid->scrollTo(form->DBGrid->model()->index(4, 10));
    QCoreApplication::processEvents();
    QString second = out;
    second.replace(QStringLiteral(".png"), QStringLiteral("-glyphs.png"));
    QVERIFY(form->grab().save(second));
}

QTEST_MAIN(DefineFormTest)
#include "DefineForm_test.moc"
