#pragma once
// The "Keyboard statistics" window: counts what typing chosen text files (or
// the dictionary window's words) costs on the keyboard being defined, and on
// a second package beside it; shows the figures as a table and as pictures
// (a bar per finger in the finger colours, hands, rows, the keyboard
// coloured by use) and exports them as CSV or JSON. The count runs apart
// from the window, with progress and a way to cancel.

#include "model/KeyLayout.h"
#include "model/KeyStrokeStats.h"
#include "model/TextTally.h"
#include "ui/ChildForm.h"

#include <atomic>
#include <cstdint>
#include <exception>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <utility>
#include <vector>

class QCheckBox;
class QLabel;
class QListWidget;
class QProgressBar;
class QPushButton;
class QTableWidget;
class QTabWidget;
class QTimer;

namespace kf {

class InputEncodingMenu;
class TStatsPicture;

// The keys' use in the last count of the statistics window, by KeyValue:
// each key's share of the busiest key's presses (0..1). The layout window
// colours its keys by it.
const std::map<int32_t, double> &LastKeyUse();
// Replaces it: the statistics window after each count.
void SetLastKeyUse(std::map<int32_t, double> use);

// The colour of a key used that share of the busiest key's presses: the
// keyboard chart's colours by use, pale yellow for none to dark red for the
// busiest.
QColor KeyUseColor(double share);

class TKbStatsFm : public TChildForm {
    Q_OBJECT
public:
    // A word list with counts (code-page bytes) to count instead of files.
    using TWordListSource = std::function<std::vector<std::pair<std::string, uint64_t>>()>;

    explicit TKbStatsFm(QWidget *parent = nullptr);
    ~TKbStatsFm() override;

    // Where the dictionary window's words come from; unset: that choice is off.
    void SetWordListSource(TWordListSource source);

    // The figures of the last count (null: none yet), and of the second keyboard.
    const TKeyStrokeFigures *FiguresA() const { return m_figuresA ? &*m_figuresA : nullptr; }
    const TKeyStrokeFigures *FiguresB() const { return m_figuresB ? &*m_figuresB : nullptr; }
    // Whether a count is running.
    bool Counting() const { return m_worker.joinable(); }

    QPushButton *AddTextsButton;
    QPushButton *RemoveTextButton;
    QListWidget *TextList;
    QCheckBox *UseWordListCheck;
    QCheckBox *CountsCheck;
    QPushButton *EncodingButton;
    InputEncodingMenu *EncodingMenu;
    QPushButton *CompareButton;
    QPushButton *NoCompareButton;
    QLabel *CompareLabel;
    QPushButton *CountButton;
    QPushButton *CancelButton;
    QProgressBar *Progress;
    QLabel *SummaryLabel;
    QTabWidget *Pages;
    QTableWidget *FiguresTable;
    TStatsPicture *Picture;
    QPushButton *ExportCsvButton;
    QPushButton *ExportJsonButton;

    void AddTextsClick();
    void RemoveTextClick();
    void CompareClick();
    void NoCompareClick();
    // Starts the count; the figures show when it ends.
    void CountClick();
    void CancelClick();
    void ExportCsvClick();
    void ExportJsonClick();

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    void pollCount();
    void finishCount();
    void showFigures();
    // Forgets the figures shown (a count starts).
    void clearFigures();
    void updateControls();
    void stopWorker();
    // Asks where to write the figures and writes text() there, in one step.
    void exportFigures(const char *title, const char *filter, const char *extension,
                       const std::function<std::string()> &text);

    TWordListSource m_wordListSource;
    std::optional<TKeyLayout> m_layoutB;
    QString m_nameB;
    std::optional<TKeyStrokeFigures> m_figuresA, m_figuresB;

    // The running count.
    std::thread m_worker;
    std::atomic<uint64_t> m_progress{0};
    std::atomic<bool> m_cancel{false};
    std::atomic<bool> m_done{false};
    uint64_t m_total = 0;
    std::unique_ptr<TTextTally> m_tally;
    std::vector<std::string> m_readWarnings; // about the files read (written by the count)
    std::exception_ptr m_failure;
    std::optional<TKeyLayout> m_countA, m_countB;
    QTimer *m_poll;
};

} // namespace kf
