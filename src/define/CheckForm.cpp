#include "define/CheckForm.h"

#include "common/CodePage.h"
#include "common/Dialogs.h"
#include "common/ErrorReport.h"
#include "dbctrls/DBGrid.h"
#include "dbctrls/TableModel.h"
#include "define/DefineForm.h"
#include "model/MainData.h"
#include "ui/ValueLabel.h"

#include <QApplication>
#include <QHeaderView>
#include <QLabel>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPushButton>
#include <QStyle>
#include <QTableWidget>

namespace kf {

namespace {

constexpr int kClientWidth = 640;
constexpr int kClientHeight = 300;

enum Column { SeverityCol, TableCol, RowCol, FieldCol, MessageCol, ColumnCount };

QString utf8(const std::string &s)
{
    return QString::fromUtf8(s.data(), int(s.size()));
}

QString rowText(const TCheckFinding &f)
{
    if (f.Table == TCheckTable::Settings)
        return utf8(f.RowLabel);
    if (f.RecordNo == 0)
        return QStringLiteral("(the whole table)");
    return QStringLiteral("\"%1\" (row %2)").arg(utf8(f.RowLabel)).arg(f.RecordNo);
}

QString summaryText(const std::vector<TCheckFinding> &findings)
{
    if (findings.empty())
        return QStringLiteral("No findings: the definition checks clean.");
    const int errors = CountFindings(findings, TCheckSeverity::Error);
    const int warnings = CountFindings(findings, TCheckSeverity::Warning);
    return QStringLiteral("%1 %2, %3 %4. Double-click a line to go to its row; Check again after changes.")
        .arg(errors)
        .arg(errors == 1 ? QStringLiteral("error") : QStringLiteral("errors"))
        .arg(warnings)
        .arg(warnings == 1 ? QStringLiteral("warning") : QStringLiteral("warnings"));
}

// Brings the frame window of form to the front of its frame and activates it.
void activateFrame(QWidget *form)
{
    auto *frame = qobject_cast<QMdiSubWindow *>(form->parentWidget());
    if (!frame)
        return;
    if (frame->isMinimized())
        frame->showNormal();
    if (QMdiArea *area = frame->mdiArea())
        area->setActiveSubWindow(frame);
    frame->raise();
}

} // namespace

TCheckFm::TCheckFm(QWidget *parent) : TChildForm(parent)
{
    setObjectName(QStringLiteral("CheckFm"));
    setWindowTitle(QStringLiteral("Check definition"));
    setClientSize(kClientWidth, kClientHeight);

    SummaryLb = new QLabel(this);
    SummaryLb->setObjectName(QStringLiteral("SummaryLb"));
    SummaryLb->setGeometry(8, 6, kClientWidth - 16, 20);
    SetupValueLabel(SummaryLb, QStringLiteral("Check result"));

    FindingsList = new QTableWidget(0, ColumnCount, this);
    FindingsList->setObjectName(QStringLiteral("FindingsList"));
    FindingsList->setGeometry(8, 30, kClientWidth - 16, kClientHeight - 38);
    FindingsList->setAccessibleName(QStringLiteral("Findings"));
    FindingsList->setAccessibleDescription(QStringLiteral("Double-click or Enter goes to the row"));
    FindingsList->setHorizontalHeaderLabels({QStringLiteral("Severity"), QStringLiteral("Table"), QStringLiteral("Row"),
                                             QStringLiteral("Field"), QStringLiteral("Message")});
    FindingsList->verticalHeader()->hide();
    FindingsList->setShowGrid(false);
    FindingsList->setSelectionMode(QAbstractItemView::SingleSelection);
    FindingsList->setSelectionBehavior(QAbstractItemView::SelectRows);
    FindingsList->setEditTriggers(QAbstractItemView::NoEditTriggers);
    FindingsList->setTabKeyNavigation(false); // Tab leaves the list
    FindingsList->setFocusPolicy(Qt::StrongFocus);
    FindingsList->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    FindingsList->setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);
    // A message is a sentence or two: it wraps in its column, and each line
    // is as tall as its message.
    FindingsList->setWordWrap(true);
    FindingsList->setTextElideMode(Qt::ElideNone);
    QHeaderView *header = FindingsList->horizontalHeader();
    header->setStretchLastSection(true);
    header->setSectionsMovable(false);
    header->setHighlightSections(false);
    header->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    header->resizeSection(SeverityCol, 78);
    header->resizeSection(TableCol, 76);
    header->resizeSection(RowCol, 112);
    header->resizeSection(FieldCol, 64);
    FindingsList->verticalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);

    // Double-click, or Enter on the keyboard.
    connect(FindingsList, &QTableWidget::activated, this, ReportErrors(this, [this](const QModelIndex &index) {
                if (index.isValid() && index.row() < int(m_findings.size()))
                    emit FindingActivated(index.row());
            }));
    setFocusProxy(FindingsList);
    ShowFindings({});
    SummaryLb->setText(QStringLiteral("Not checked yet."));
}

TCheckFm::~TCheckFm() = default;

void TCheckFm::RunCheck()
{
    if (!DataMod)
        return;
    ShowFindings(CheckDefinition(*DataMod, CodePage::current()));
}

void TCheckFm::ShowFindings(std::vector<TCheckFinding> findings)
{
    m_findings = std::move(findings);
    FindingsList->clearContents();
    FindingsList->setRowCount(int(m_findings.size()));
    const QIcon errorIcon = style()->standardIcon(QStyle::SP_MessageBoxCritical);
    const QIcon warningIcon = style()->standardIcon(QStyle::SP_MessageBoxWarning);
    for (int row = 0; row < int(m_findings.size()); ++row) {
        const TCheckFinding &f = m_findings[size_t(row)];
        auto cell = [&](int column, const QString &text) {
            auto *item = new QTableWidgetItem(text);
            item->setTextAlignment(Qt::AlignLeft | Qt::AlignVCenter);
            FindingsList->setItem(row, column, item);
            return item;
        };
        cell(SeverityCol, utf8(SeverityText(f.Severity)))
            ->setIcon(f.Severity == TCheckSeverity::Error ? errorIcon : warningIcon);
        cell(TableCol, utf8(TableText(f.Table)));
        cell(RowCol, rowText(f));
        cell(FieldCol, f.Field == f.RowLabel ? QString() : utf8(f.Field));
        cell(MessageCol, utf8(f.Message));
    }
    if (!m_findings.empty())
        FindingsList->setCurrentCell(0, 0);
    SummaryLb->setText(summaryText(m_findings));
}

void TCheckFm::GoToFinding(int index, TDefineFm &define)
{
    if (index < 0 || index >= int(m_findings.size()) || !DataMod)
        return;
    const TCheckFinding &f = m_findings[size_t(index)];
    activateFrame(&define);
    if (f.Table == TCheckTable::Settings) {
        if (f.Field == "bkcolor") {
            define.ColorBn->setFocus(Qt::OtherFocusReason);
        } else {
            Dialogs().information(QStringLiteral("Finger lengths are set in the finger definition window "
                                                 "(Virtual keyboard, Finger Definition)."));
        }
        return;
    }

    const bool keys = f.Table == TCheckTable::Keys;
    TRecordTable &table = keys ? DataMod->MainTbl : DataMod->Ctbl;
    TDBGrid *grid = keys ? define.DBGrid : define.CharGrid;
    if (f.RecordNo == 0) { // about the whole table: its grid
        grid->setFocus(Qt::OtherFocusReason);
        return;
    }
    if (!table.BookmarkValid(f.Row)) {
        Dialogs().information(QStringLiteral("The row of this finding is gone (deleted, or the definition was "
                                             "loaded again). Press Check again."));
        return;
    }
    if (table.ViewIndexOf(f.Row) < 0) {
        Dialogs().information(QStringLiteral("The row of this finding is hidden by the table's filter."));
        return;
    }
    // Leaving a cell editor writes its text first, as moving in the grid does.
    grid->CommitEditor();
    table.GotoBookmark(f.Row); // a row in edit is posted first; a refused post stops here
    int column = 0;
    const std::vector<TColumn> &columns = grid->Model()->Columns();
    for (size_t c = 0; c < columns.size(); ++c)
        if (columns[c].FieldName == f.Field)
            column = int(c);
    const int row = grid->Model()->CurrentRow();
    const QModelIndex cell = grid->model()->index(row, column);
    grid->setCurrentIndex(cell);
    grid->scrollTo(cell);
    grid->setFocus(Qt::OtherFocusReason);
}

} // namespace kf
