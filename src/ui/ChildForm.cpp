#include "ui/ChildForm.h"
#include "ui/FitCaptions.h"

#include "common/Dialogs.h"

namespace kf {

TChildForm::TChildForm(QWidget *parent) : QWidget(parent)
{
    setAttribute(Qt::WA_AlwaysShowToolTips);
}

void TChildForm::setClientSize(int w, int h)
{
    setFixedSize(w, h);
}

void TChildForm::setInitialClientSize(int w, int h)
{
    m_initialSize = QSize(w, h);
    setMinimumSize(w, h);
    setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
    resize(w, h);
}

QSize TChildForm::sizeHint() const
{
    return m_initialSize.isValid() ? m_initialSize : QWidget::sizeHint();
}

QString TChildForm::UnsavedWorkQuestion() const
{
    const QStringList lost = UnsavedWork();
    QString text = QStringLiteral("%1 holds work that is not saved:").arg(windowTitle());
    for (const QString &line : lost)
        text += QStringLiteral("\n  \u2022 ") + line;
    text += CanSaveWork() ? QStringLiteral("\n\nSave it before the window closes?")
                          : QStringLiteral("\n\nIt cannot be saved and will be lost. Close anyway?");
    return text;
}

bool TChildForm::AskToKeepWork()
{
    if (UnsavedWork().isEmpty())
        return true;
    const QString question = UnsavedWorkQuestion();
    if (!CanSaveWork())
        return Dialogs().okCancel(question);
    switch (Dialogs().saveDiscardCancel(question)) {
    case SaveAnswer::Save:
        return SaveWork();
    case SaveAnswer::Discard:
        return true;
    case SaveAnswer::Cancel:
        break;
    }
    return false;
}

void TChildForm::showEvent(QShowEvent *event)
{
    if (!m_captionsFitted) {
        m_captionsFitted = true;
        FitCaptions(this);
    }
    QWidget::showEvent(event);
}

} // namespace kf
