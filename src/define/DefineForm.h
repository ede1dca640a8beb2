#pragma once
// The keyboard definition window: the key table and the character table of the
// data module in two grids with their navigator bars, the picture of the
// current key with its tools, the package's author and info text, the
// keyboard background colour, loading and saving packages, importing a system
// keyboard layout and drawing every key's picture.

#include "ui/ChildForm.h"
#include "dbctrls/Column.h"
#include "model/Readme.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

#include <QPointer>

class QAction;
class QCheckBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QSplitter;
class QToolButton;

namespace kf {

class TDBGrid;
class TDBImage;
class TDBNavigator;
class TImportLayoutDlg;
class TImportReportDlg;

class TDefineFm : public TChildForm {
    Q_OBJECT
public:
    explicit TDefineFm(QWidget *parent = nullptr);
    ~TDefineFm() override;

    // The code lists the grids offer as in-cell editors, in their order.
    static std::vector<TCodeEntry> KeyTypeCodes();
    static std::vector<TCodeEntry> AccentCodes();
    static std::vector<TCodeEntry> FingerCodes();

    // ---- controls, in the window's order -------------------------------------
    TDBImage *KeyImage;
    QCheckBox *FitImgCheckbox;
    QPushButton *LoadImgBn;
    QPushButton *PasteImgBn;
    QPushButton *ClearImgBn;
    QPushButton *CopyImgBn;
    QPushButton *KeyColorBn;
    QPushButton *ColorBn;
    QPushButton *ImportBn;   // "Import layout..."
    QPushButton *DrawKeysBn; // "Draw key pictures"
    QPushButton *ExportBn;   // "Export": its menu exports the keyboard or installs it
    QAction *ExportKeyboardAction; // "Export keyboard as..."
    QAction *InstallAction;        // "Install on this desktop..."
    QPushButton *CheckBn;
    QLineEdit *AuthorEd;
    QPlainTextEdit *InfoEd;
    TDBNavigator *DBNavigator1;
    QToolButton *SaveBn;
    QToolButton *LoadBn;
    QToolButton *ClearBn;
    QLabel *FileNameLb;
    QLabel *CodePageLb; // the code page packages are read and written in
    QLineEdit *DemoEd;
    TDBNavigator *DBNavigator2;
    QToolButton *Clear2Bn;
    QWidget *Panel1 = nullptr;
    TDBGrid *DBGrid;
    QSplitter *Splitter1;
    TDBGrid *CharGrid;

    // ---- operations of the controls (errors go to the error report) ----------
    // Asks to save unsaved changes first (AskToSaveChanges).
    void LoadBnClick();
    // Loads the package file as "Load definition" does, without the file
    // dialog (a recent file). True when it was loaded; a failure has been shown.
    bool OpenPackage(const QString &path);
    void SaveBnClick();
    // The save of SaveBnClick: asks for the file and writes the package.
    // True when it was written; false when cancelled or failed (the failure
    // has been shown).
    bool SaveDefinition();
    // Whether the definition has changes not saved: steps since it was
    // loaded or saved, a changed row still in edit, or a typed author or info.
    bool Unsaved() const;
    // When Unsaved, asks SaveQuestion() (Save / Discard / Cancel); Save runs
    // SaveDefinition. True when the caller may go on: nothing to save, saved,
    // or discarded.
    bool AskToSaveChanges();
    static QString SaveQuestion();
    // The author, info and background shown from the data module's settings
    // (after a load, an import, an undo; before a save from a window opened
    // only to save, which would otherwise write its empty edits).
    void ShowSettings();
    void ClearBnClick();
    void Clear2BnClick();
    void ColorBnClick();
    void LoadImgBnClick();
    void PasteImgBnClick();
    void ClearImgBnClick();
    void CopyImgBnClick();
    void KeyColorBnClick();
    // These two throw; their buttons report the error.
    // Opens the import dialog (or brings the open one to the front).
    void ImportBnClick();
    // Draws the picture of every key, in the finger colours or in one colour.
    void DrawKeysBnClick();
    // Asks for a file and writes the keyboard in the format its name is for
    // (XKB symbols, Windows keyboard source, keyboard-layout-editor JSON,
    // KTouch keyboard), its characters read in the session's code page; what
    // was left out is told afterwards.
    void ExportKeyboardClick();
    // Asks for a layout name and installs the keyboard as an XKB layout of
    // this desktop user, then tells where and how to choose it.
    void InstallClick();
    // The import the dialog asks for: after a Yes to "Confirm" (asked only
    // when the definition is not empty) and the question about unsaved
    // changes, the layout replaces the definition as
    // one step of the undo history, the dialog closes and the report is
    // shown. On No, Cancel or failure the dialog stays open and nothing has
    // changed.
    void ImportLayoutFrom(TImportLayoutDlg &dialog);
    // The import of a keyboard-layout-editor file the dialog asks for: the
    // file is asked for, then as ImportLayoutFrom (questions, one undo step,
    // the code page chosen in the dialog, pictures when asked for); what the
    // file held that the definition could not take is told.
    void ImportKleFrom(TImportLayoutDlg &dialog);

    // The open import dialog, the report of the last import; nullptr when none.
    TImportLayoutDlg *ImportDialog() const;
    TImportReportDlg *ImportReport() const;
    // Posts the pending edits of both tables (an open cell editor first) and
    // asks for the definition check (CheckRequested). A refused post stops it.
    void CheckBnClick();

    // The colour the colour dialog opens with: the one last chosen, black first.
    uint32_t LastColor() const { return m_lastColor; }

signals:
    // Check was pressed and the definition is posted: the check window shows
    // what the check finds.
    void CheckRequested();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    // The grids grow with the window in both directions, the author and
    // info boxes in width.
    void resizeEvent(QResizeEvent *event) override;

private:
    class CharLink;

    void buildControls();
    // The load of LoadBnClick and OpenPackage, once the file is chosen.
    bool LoadPackageFile(const QString &path);
    void buildGrids();
    // DemoEd shows the character of the character table's current row.
    void ShowCurrentChar();
    // Makes the first character row with this character's code current.
    void FindChar(const QString &typed);
    void DBGridTitleClick(const QString &fieldName);
    // The current key row in edit; on an empty key table a new row.
    void EditKeyRow();
    // Width and Height of the key row from the shown picture.
    void FitKeySize();
    std::optional<uint32_t> AskColor();
    // Light finger colours when none is set yet (all black); true when set.
    bool SetFingerColorsIfUnset();
    // No key, no character, no author or info text: nothing an import replaces.
    bool DefinitionEmpty() const;
    // Shows the definition's author and info text: as typed, else the
    // package's bytes read in the code page in force.
    void ShowPackageTexts();
    // The author's (or the info's) edit changed: what was typed becomes the
    // definition's.
    void TextTyped(bool author);
    // An undo or redo changed the settings: what it changed shows again.
    void SettingsRestored(const PackageSettings &from, const PackageSettings &to);
    // Another code page is in force: the label, the grids and the texts that
    // were not edited read the same bytes in it.
    void CodePageChanged();

    std::unique_ptr<CharLink> m_charLink;
    uint32_t m_lastColor = 0;
    QPointer<TImportLayoutDlg> m_importDlg;
    QPointer<TImportReportDlg> m_importReport;
    // Set while the texts are shown from the definition: not typed.
    bool m_showingTexts = false;
};

} // namespace kf
