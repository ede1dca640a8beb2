#pragma once
// The findings of the definition check in a list: severity, table, row, field
// and message, one finding a line. The list stays as it was checked until the
// next check, whatever is edited meanwhile; activating a line (double-click or
// Enter) leads to its row in the keyboard definition window.

#include "ui/ChildForm.h"
#include "model/DefinitionCheck.h"

#include <vector>

class QLabel;
class QTableWidget;

namespace kf {

class TDefineFm;

class TCheckFm : public TChildForm {
    Q_OBJECT
public:
    explicit TCheckFm(QWidget *parent = nullptr);
    ~TCheckFm() override;

    // Checks the data module's definition as its tables hold it now and shows
    // the findings (a row still in edit counts as it was before the edit; the
    // definition window posts it first).
    void RunCheck();
    // Shows these findings in place of the list.
    void ShowFindings(std::vector<TCheckFinding> findings);
    const std::vector<TCheckFinding> &Findings() const { return m_findings; }

    // Makes the finding's row the current row of its table and, in the
    // definition window, of the grid that shows it, with the finding's field
    // as the current column; the grid gets the focus. A finding about the
    // settings has no row: the control that sets it gets the focus where the
    // definition window has one. A row deleted or reloaded since the check is
    // told, and nothing moves.
    void GoToFinding(int index, TDefineFm &define);

    QLabel *SummaryLb;
    QTableWidget *FindingsList;

signals:
    // A line of the list was activated (double-click or Enter): index into
    // Findings().
    void FindingActivated(int index);

private:
    std::vector<TCheckFinding> m_findings;
};

} // namespace kf
