#include "ui/ChildForm.h"
#include "ui/FitCaptions.h"

namespace kf {

TChildForm::TChildForm(QWidget *parent) : QWidget(parent)
{
    setAttribute(Qt::WA_AlwaysShowToolTips);
}

void TChildForm::setClientSize(int w, int h)
{
    setFixedSize(w, h);
}

void TChildForm::setGrowableClientSize(int w, int h)
{
    setMinimumSize(w, h);
    setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
    resize(w, h);
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
