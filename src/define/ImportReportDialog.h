#pragma once
// The report of the last layout import: what the definition could not take
// over as the layout has it, one line each. It stays open beside the
// definition window while the user edits, and shows each new import's report.

#include <QDialog>

class QPlainTextEdit;
class QPushButton;

namespace kf {

class TImportReportDlg : public QDialog {
    Q_OBJECT
public:
    explicit TImportReportDlg(QWidget *parent = nullptr);

    QPlainTextEdit *ReportMemo; // read-only
    QPushButton *CloseBn;

    // Shows the lines of a report (replacing the one before) and brings the
    // window to the front.
    void ShowReport(const QString &layoutId, const QStringList &lines);
    QString Text() const;
};

} // namespace kf
