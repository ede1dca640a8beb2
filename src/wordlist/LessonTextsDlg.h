#pragma once
// The lesson texts window of the course generator: the texts of the lessons
// of the plan last used (drill, word and sentence lines), a lesson's text
// with its new characters marked, the count of each kind of line per lesson,
// the author's texts to take sentences from, another seed, and the export in
// the formats of other typing tutors.

#include "common/CodePageDecoder.h"
#include "common/Dialogs.h"
#include "model/KeyLayout.h"
#include "words/CoursePlan.h"
#include "words/LessonTexts.h"
#include "wordlist/SpinEdit.h"

#include <QDialog>

#include <memory>
#include <string>
#include <vector>

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTableWidget;
class QTextEdit;

namespace kf {

class TExchangeFormat;

class TLessonTextsDlg : public QDialog {
    Q_OBJECT
public:
    // The plan's lessons (their new characters), the keyboard and the
    // dictionary they were planned with; texts are read as `encoding` says.
    TLessonTextsDlg(QWidget *parent, const TKeyLayout &keyboard, TPlanDictionary dictionary,
                    std::vector<std::string> news, InputEncoding encoding);
    ~TLessonTextsDlg() override;

    enum Column { LessonCol, NewCol, DrillCol, WordsCol, SentencesCol, WarningsCol, ColumnCount };

    const std::vector<TLessonText> &Lessons() const { return m_lessons; }

    QLabel *TextsLb;
    QPushButton *TextsBn;
    TSpinEdit *LengthEd;
    TSpinEdit *WidthEd;
    TSpinEdit *SeedEd;
    QPushButton *MakeBn;
    QPushButton *SeedBn; // "Another seed"
    QTableWidget *LessonGrid;
    QTextEdit *TextView;
    QComboBox *FormatEd;
    QLineEdit *TitleEd;
    QLineEdit *LayoutNameEd;
    QPushButton *ExportBn;
    QPushButton *CloseBn;

    FileRequest OpenDialog1; // the author's texts
    FileRequest SaveDialog1; // the export

    // Reads texts to take sentences from (all texts read so far stay) and
    // makes the lessons anew.
    void AddTexts(const QStringList &paths);
    void TextsBnClick();
    // Makes the lessons with the length, width and seed shown.
    void MakeBnClick();
    // The next seed, and the lessons made with it.
    void SeedBnClick();
    // Writes the lessons in the chosen format to a file the user names.
    void ExportBnClick();
    void ExportTo(const QString &path);

private:
    void replan();
    const TExchangeFormat &chosenFormat() const;
    void showLessons();
    void showLesson(int row);

    TKeyLayout m_keyboard;
    TPlanDictionary m_dictionary;
    std::vector<std::string> m_news;
    InputEncoding m_encoding;
    std::unique_ptr<TLessonTexts> m_texts;
    QStringList m_textNames;
    std::vector<TLessonText> m_lessons;
};

} // namespace kf
