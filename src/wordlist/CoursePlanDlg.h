#pragma once
// The course plan window of the course generator: plans lessons from a
// keyboard and the chosen dictionary, shows them in a table the author can
// edit (merge two lessons, type a character into another lesson to move it
// there, recompute), and hands the lessons' strings back with "Use this plan".

#include "common/Dialogs.h"
#include "words/CoursePlan.h"
#include "wordlist/SpinEdit.h"

#include <QDialog>

#include <memory>
#include <vector>

class QCheckBox;
class QComboBox;
class QLabel;
class QPushButton;
class QTableWidget;

namespace kf {

class TKeyLayout;

class TCoursePlanDlg : public QDialog {
    Q_OBJECT
public:
    // keyboard: the definition to plan from (copied), or null to ask for a
    // package first; keyboardName says where it comes from.
    TCoursePlanDlg(QWidget *parent, TPlanDictionary dictionary, const TKeyLayout *keyboard,
                   const QString &keyboardName, int minLength, int maxLength);
    ~TCoursePlanDlg() override;

    // The table's columns.
    enum Column { LessonCol, NewCol, StringCol, WordsCol, DistinctCol, CoverageCol, WarningsCol, ColumnCount };

    // The plan shown, or null when there is none (no keyboard yet, or the
    // last planning failed).
    const TCoursePlan *Plan() const { return m_plan.get(); }
    const TKeyLayout *Keyboard() const { return m_keyboard.get(); }
    // The package file the keyboard was read from; empty when it is the
    // definition open in the program.
    const QString &KeyboardFile() const { return m_keyboardFile; }
    void SetKeyboardFile(const QString &path) { m_keyboardFile = path; }
    // A keyboard package read into a data module of its own; the program's
    // data module stays the one the windows show. Throws EInOutError, and
    // EConvertError for a package that names another code page than the
    // session's.
    static TKeyLayout ReadKeyboardPackage(const std::string &path);

    QLabel *KeyboardLb;
    QPushButton *KeyboardBn;
    QComboBox *OrderEd;
    TSpinEdit *PerLessonEd;
    QCheckBox *ShiftEd;
    QCheckBox *AltGrEd;
    QCheckBox *DeadEd;
    QCheckBox *LettersEd; // "Letters only"
    TSpinEdit *HomeRowEd; // 1-based; 0: the keyboard's home row
    TSpinEdit *MinWordsEd;
    TSpinEdit *MinLenEd;
    TSpinEdit *MaxLenEd;
    QPushButton *PlanBn;
    QTableWidget *LessonGrid;
    QPushButton *MergeBn;
    QPushButton *RecomputeBn;
    QLabel *LeftOutLb;
    QLabel *DictionaryLb; // the entries planned and the lines left out
    QPushButton *UseBn;
    QPushButton *CancelBn;

    FileRequest OpenDialog1; // the keyboard package

    // Plans anew from the options ("&Plan").
    void PlanBnClick();
    // Merges the current lesson with the next one.
    void MergeBnClick();
    // Takes the table's "New" cells and the limits, and counts anew. A
    // character typed into a lesson's cell moves there from the lesson that
    // brought it in, earlier or later.
    void RecomputeBnClick();
    // Loads a keyboard package to plan from ("Keyboard...").
    void KeyboardBnClick();
    void OpenKeyboard(const QString &path);
    // "Use this plan": accepts the dialog when there is a plan.
    void UseBnClick();

private:
    void showPlan();
    TPlanOptions options() const;

    TPlanDictionary m_dictionary;
    std::unique_ptr<TKeyLayout> m_keyboard;
    std::unique_ptr<TCoursePlan> m_plan;
    bool m_filling = false;
    bool m_orderChosen = false; // the author picked an order
    QString m_keyboardFile;
    // Lessons whose New cell was typed in since the table was last read, in
    // the order of the edits (the last edit of a character wins).
    std::vector<int> m_editedRows;
};

} // namespace kf
