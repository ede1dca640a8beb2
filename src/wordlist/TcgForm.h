#pragma once
// The typing course generator window: a three-step wizard that picks groups
// of dictionary words for typing lessons and works with the result text.
// Step 1 chooses the dictionary file, step 2 the defined strings and options,
// the result page re-sorts, copies or saves the text. All picking is done by
// the window's own tcgClass engine.

#include "ui/ChildForm.h"
#include "common/Dialogs.h"
#include "wordlist/SpinEdit.h"

#include <QPointer>

#include <memory>
#include <string>
#include <vector>

class QCheckBox;
class QGroupBox;
class QLabel;
class QPlainTextEdit;
class QPushButton;
class QRadioButton;
class QMenu;
class QTabWidget;

namespace kf {

class tcgClass;
class InputEncodingMenu;
class TCoursePlanDlg;
class TLessonTextsDlg;
class TKeyLayout;
struct TPlanDictionary;

class TTcgFm : public TChildForm {
    Q_OBJECT
public:
    explicit TTcgFm(QWidget *parent = nullptr);
    ~TTcgFm() override;

    // The wizard's pages, in order.
    enum Page { Step1Page = 0, Step2Page = 1, ResultPage = 2 };
    Page CurrentPage() const;

    tcgClass &Engine() const { return *tcg; }

    // Controls (owned by the window through Qt parenthood).
    QTabWidget *PageControl1;
    QWidget *TabSheet1;
    QWidget *TabSheet2;
    QWidget *TabSheet3;
    QPushButton *CloseBn;
    // How the dictionary and the strings files are read: a menu on its button.
    QPushButton *EncodingBn;
    InputEncodingMenu *Encoding1;
    QLabel *CodePageLb; // the code page in force
    QLabel *LeftOutCaption;
    QLabel *LeftOutLb; // dictionary words left out by the last generation

    // Step 1
    QLabel *Label3;
    QPushButton *LoadDicBn;
    QLabel *LbDic;
    QPushButton *DicListBn; // takes the dictionary window's list instead of a file
    QPushButton *Next1Bn;

    // Step 2
    QLabel *Label1;
    QPlainTextEdit *TwdMemo;
    QPushButton *LoadTWDBn;
    QPushButton *DrillBn; // adds a line of drill characters (its menu)
    QMenu *DrillMenu;
    QPushButton *PlanBn;  // "Plan from keyboard..."
    QPushButton *LessonsBn; // "Lesson texts..." (once a plan is used)
    QGroupBox *GroupBox1;
    QLabel *Label2;
    TSpinEdit *MinEd;
    QLabel *Label4;
    TSpinEdit *MaxEd;
    QCheckBox *CaseEd;
    QRadioButton *FingerPBox;
    QRadioButton *SpellingBox;
    QRadioButton *GamePBox;
    QRadioButton *EndPbox;
    QRadioButton *RegxBox;
    QPushButton *Next2Bn;

    // Result
    QPlainTextEdit *ResultMemo;
    QPushButton *Button4;
    QPushButton *Button5;
    QCheckBox *HeadingEd;
    QPushButton *Button6;
    QPushButton *Button1;
    QPushButton *CopyBn;
    QPushButton *SeleteAllBn;
    QLabel *ResultCodePageCaption;
    QLabel *ResultCodePageLb; // the code page of the result (of its generation)
    QPushButton *Button2;

    // The open dialog shared by "Load dictionary..." and "&Load...", and the
    // save dialog; each remembers the last file chosen.
    FileRequest OpenDialog1;
    FileRequest SaveDialog1;

    // What closing the window would lose: the result edited by hand and
    // not saved since (Save writes it, as "&Save ..." does), and strings in
    // step 2 that no file holds (typed, or put in by a plan).
    QStringList UnsavedWork() const override;
    bool CanSaveWork() const override;
    bool SaveWork() override;

    // Step 2's note on the plan its strings came from: the keyboard planned
    // from, and whether that keyboard has changed since.
    QLabel *PlanStateLb;

    // The text of a plain-text box as the user sees it, lines joined by "\n"
    // (non-breaking spaces kept).
    static QString MemoText(const QPlainTextEdit *memo);

    // Step 1 with this dictionary chosen, as "Load dictionary..." chooses it
    // (a result shown is put away, as "&Reset" does, after asking when it
    // was edited and not saved). False when the user cancelled.
    bool OpenDictionary(const QString &path);
    // Loads the strings file into step 2's box, as "&Load..." does, and shows
    // step 2, or step 1 while no dictionary is chosen. Asks first when the
    // strings or an edited result would be lost. Throws when the file cannot
    // be read; the strings then stay as they were. False when the user
    // cancelled.
    bool OpenStrings(const QString &path);

    // The words the dictionary window lists, with their counts, become the
    // dictionary (step 1); a message when no dictionary window lists words.
    void DicListBnClick();
    // Opens the course plan window over the chosen dictionary and the
    // keyboard definition open now, or the package chosen in the plan window
    // for the plan last used (until "&Reset"); "Use this plan" fills step 2.
    void PlanBnClick();
    TCoursePlanDlg *PlanDialog() const;
    // Opens the lesson texts window over the plan last used.
    void LessonsBnClick();
    TLessonTextsDlg *LessonsDialog() const;
    // Step 2 takes a plan: its strings in the box, "Finger placement", the
    // word length and the case rule.
    void UsePlan(const TCoursePlanDlg &dialog);
    // Adds a drill line: the characters of a finger, a hand, a row, or of
    // the current line's lesson that one finger types (kind 3).
    void AddDrillLine(int kind, int which);
    void LoadDicBnClick();
    void Next1BnClick();
    void LoadTWDBnClick();
    void Next2BnClick();
    void Button4Click();
    void Button5Click();
    void HeadingEdClick();
    void Button6Click();
    // "&Save ...": true when the result was written.
    bool Button1Click();
    void CopyBnClick();
    void SeleteAllBnClick();
    void Button2Click();
    void CloseBnClick();

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    void buildStep1();
    void buildStep2();
    void buildResult();
    void showPage(Page page);
    int pickMode() const;
    // Appends the lines of a view to ResultMemo and shows its top.
    void renderResult(int view, bool withHeadings);
    // Empties ResultMemo and the result text behind it.
    void clearResult();
    void rememberOpened(const QString &path);
    // The strings file read into step 2's box (throws, keeping the box, when it cannot be read).
    void loadStrings(const QString &path);
    // On the result page: the result cleared, for a new start.
    void putResultAway();
    // The number of dictionary words the last generation left out (not in
    // the code page); the label shows only when there were some.
    void showLeftOut(size_t count);

    // The dictionary to plan from: the dictionary window's list when taken,
    // else the file read.
    TPlanDictionary planDictionary() const;
    // The keyboard to plan and drill from: the package chosen in the plan
    // window for the plan used last (read in the code page in force), else
    // the definition open now (with or without keys); null when no
    // definition is open (both tables empty, nothing loaded or typed).
    const TKeyLayout *keyboard() const;
    // Whether the keyboard of the plan in step 2 differs from what
    // keyboard() reads now (an edit, another definition, another code page).
    bool planKeyboardChanged() const;
    void showPlanState();
    // Before the strings (withStrings) or an edited result are replaced:
    // asks about what would be lost. True when the caller may go on.
    bool askBeforeReplacing(bool withStrings, const QString &what);
    // The work of the window that replacing the strings (withStrings) or
    // putting the result away would lose.
    QStringList workLostBy(bool withStrings) const;
    bool resultEdited() const;
    void fillDrillMenu();
    // The strings box's line with the cursor, in the code page.
    std::string currentLine() const;

    std::unique_ptr<tcgClass> tcg;
    // The dictionary window's list, when step 1 took it (else null).
    std::unique_ptr<std::vector<std::string>> listWords;
    std::vector<uint64_t> listCounts;
    // The package chosen in the plan window for the plan used last (empty:
    // the definition), and its keys as read in the code page planKeyboardCodePage.
    QString planPackage;
    mutable std::unique_ptr<TKeyLayout> planKeyboard;
    mutable QString planKeyboardCodePage;
    mutable std::unique_ptr<TKeyLayout> definitionKeyboard;
    // The keyboard the strings in step 2 were planned from, and the code
    // page then (null: the strings came from no plan).
    std::unique_ptr<TKeyLayout> usedPlanKeyboard;
    QString usedPlanCodePage;
    QString usedPlanKeyboardName;
    QPointer<TCoursePlanDlg> planDlg; // while open (owned by Qt)
    QPointer<TLessonTextsDlg> lessonsDlg; // while open (owned by Qt)
    std::vector<std::string> planNews; // the new characters of the lessons of the plan used
    // The bytes of the result text shown in ResultMemo, in the code page of
    // the generation (the engine's), whatever the session chooses later. The
    // box cannot show every byte as it is (a lone CR becomes a line break
    // there), so "&Save ..." writes these bytes unless the user has edited the
    // box since; an edited box is saved in that code page too.
    std::string resultBytes;
};

} // namespace kf
