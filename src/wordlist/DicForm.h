#pragma once
// The dictionary window: the user picks text files to scan, looks at the
// counted words in a grid, sorts, filters and deletes them, and saves the
// listed words as a dictionary file. The work is done by the window's own
// TDicBuilder; the window asks the questions and shows the counters.

#include "ui/ChildForm.h"
#include "common/Dialogs.h"

#include <cstdint>
#include <memory>

class QAction;
class QCheckBox;
class QDialog;
class QLabel;
class QLineEdit;
class QMenu;
class QMenuBar;
class QPushButton;

namespace kf {

class TDataSource;
class TDBGrid;
class TDicBuilder;
class InputEncodingMenu;

class TDicFm : public TChildForm {
    Q_OBJECT
public:
    explicit TDicFm(QWidget *parent = nullptr);
    ~TDicFm() override;

    TDicBuilder &Builder() const { return *DicBuilder; }

    // The word list not saved since it last changed (a scan, an edit or a
    // deletion), while it lists words; asked about by "&Exit", the close box
    // and the main window's closing.
    QStringList UnsavedWork() const override;
    bool CanSaveWork() const override { return true; }
    bool SaveWork() override;
    // The quotation marks and dashes of the code page in force (its bytes
    // above 127 that are such punctuation), as "Quotes, dashes" adds them to
    // the additional delimiters.
    static QString QuotesAndDashes();
    // The question asked before a scan of that many files.
    static QString ReadyQuestion(int files);

    // Menus and actions (owned by the window through Qt parenthood). The
    // shortcuts work while the window, or a control in it, has the focus.
    QMenuBar *MainMenu1;
    QMenu *Actions1;
    QMenu *Delete1;
    QMenu *Sort1;
    QMenu *Filter1;
    InputEncodingMenu *Encoding1; // how the scanned files are read
    QAction *A_MakeWordList;
    QAction *A_SaveWordlist;
    QAction *A_SaveWithCounts; // "word TAB count" lines
    QAction *Exit1;
    QAction *A_KickoutDigits;
    QAction *A_DeleteSelected;
    QAction *A_ClearWordlist;
    QAction *A_SortByFrequency;
    QAction *A_SortByAlpha;
    QAction *A_SortByLen;
    QAction *A_ListAll;
    QAction *A_FilterWordLength;
    QAction *A_FilterFrequency;
    QAction *A_ShowUnmappable;

    // Controls.
    QWidget *ClientArea; // the area below the menu bar
    QLabel *Label2;
    QLabel *Label4;
    QLabel *Label5;
    QLabel *Label6;
    QLineEdit *Edit1;
    QPushButton *QuotesBn; // adds the code page's quotation marks and dashes to Edit1
    QCheckBox *CaseEd;
    QPushButton *MakeListBn;
    QPushButton *SortFreBn;
    QPushButton *SortAlbn;
    QPushButton *Button1;
    QPushButton *Deletebn;
    QLabel *Label1;
    QLabel *TimeLb;
    QLabel *Label3;
    QLabel *CountLb;
    QLabel *Label7;
    QLabel *TotalLb;
    QLabel *Label8;
    QLabel *UnmappableLb; // words not in the code page
    QLabel *Label9;
    QLabel *OrderLb;
    QLabel *Label10;
    QLabel *CodePageLb;
    QLabel *Label11;
    QLabel *FilterLb;
    TDBGrid *WordGrid;
    // The words not in the code page, once shown (owned by the window).
    QDialog *UnmappableDlg = nullptr;

    FileRequest OpenDialog1;
    FileRequest SaveDialog1;

    void A_MakeWordListExecute();
    // Both saves: true when the file was written, false when cancelled.
    bool A_SaveWordlistExecute();
    bool A_SaveWithCountsExecute();
    void QuotesBnClick();
    void Exit1Click();
    void A_KickoutDigitsExecute();
    void A_DeleteSelectedExecute();
    void A_ClearWordlistExecute();
    void A_SortByFrequencyExecute();
    void A_SortByAlphaExecute();
    void A_SortByLenExecute();
    void A_ListAllExecute();
    void A_FilterWordLengthExecute();
    void A_FilterFrequencyExecute();
    void A_ShowUnmappableExecute();

protected:
    void closeEvent(QCloseEvent *event) override;
    void showEvent(QShowEvent *event) override;

private:
    void buildMenu();
    void buildControls();
    // The height the menu bar takes above the client area.
    int menuBarHeight() const;
    QAction *makeAction(const char *name, const QString &caption, const QKeySequence &shortcut,
                        const QString &hint);
    QPushButton *makeButton(const char *name, QAction *action, const QRect &geometry);
    // The two input boxes of a filter; the filter is switched on first.
    void filterByInput(const QString &caption, void (TDicBuilder::*filter)(int32_t, int32_t));
    void showWordCount();
    void showCounters(uint32_t elapsed);
    void showScanned();
    // The order and the filter in force, as the table has them.
    void showOrderAndFilter();
    void showCodePage();
    void refreshUnmappable();

    bool saveList(bool withCounts);

    std::unique_ptr<TDicBuilder> DicBuilder;
    std::unique_ptr<TDataSource> WordListSource;
    // The code page the listed words are in (that of their first scan).
    QString ListCodePage;
    // The list changed since it was last saved (or cleared).
    bool m_unsaved = false;
};

} // namespace kf
