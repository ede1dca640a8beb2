#include "define/ImportReportDialog.h"

#include <QDialogButtonBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace kf {

TImportReportDlg::TImportReportDlg(QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("ImportReportDlg"));
    setWindowTitle(QStringLiteral("Import report"));
    setModal(false);

    ReportMemo = new QPlainTextEdit(this);
    ReportMemo->setObjectName(QStringLiteral("ReportMemo"));
    ReportMemo->setAccessibleName(QStringLiteral("Import report"));
    ReportMemo->setReadOnly(true);
    ReportMemo->setLineWrapMode(QPlainTextEdit::WidgetWidth); // the summary line is long
    ReportMemo->setTabChangesFocus(true);
    // Read-only, yet reachable by Tab so the report can be read and copied.
    ReportMemo->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);

    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    CloseBn = buttons->button(QDialogButtonBox::Close);
    CloseBn->setObjectName(QStringLiteral("CloseBn"));
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::close);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(ReportMemo, 1);
    layout->addWidget(buttons);
    resize(640, 360);
}

void TImportReportDlg::ShowReport(const QString &layoutId, const QStringList &lines)
{
    setWindowTitle(QStringLiteral("Import report: %1").arg(layoutId));
    ReportMemo->setPlainText(lines.join(QLatin1Char('\n')));
    show();
    raise();
}

QString TImportReportDlg::Text() const
{
    return ReportMemo->toPlainText();
}

} // namespace kf
