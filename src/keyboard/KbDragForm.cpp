#include "keyboard/KbDragForm.h"

#include "common/ErrorReport.h"

namespace kf {

TKbDragFm::TKbDragFm(QWidget *parent) : TKbFm(parent)
{
    setObjectName(QStringLiteral("KbDragFrame"));
}

void TKbDragFm::AttachButtonEvents()
{
    TKbFm::AttachButtonEvents();
    ButtonType *button = CurrentButton();
    if (!button || !ButtonMouseDown)
        return;
    // The handler in force when the button was built stays the button's.
    const TMouseDownEvent handler = ButtonMouseDown;
    connect(button, &ButtonType::mouseDown, this,
            ReportErrors(button, [handler](ButtonType *sender, Qt::MouseButton b, Qt::KeyboardModifiers m,
                                           Qt::MouseButtons bs, QPoint pos) { handler(sender, b, m, bs, pos); }));
}

} // namespace kf
