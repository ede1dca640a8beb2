#include "ui/ChildForm.h"

namespace kf {

TChildForm::TChildForm(QWidget *parent) : QWidget(parent)
{
    setAttribute(Qt::WA_AlwaysShowToolTips);
}

void TChildForm::setClientSize(int w, int h)
{
    setFixedSize(w, h);
}

} // namespace kf
