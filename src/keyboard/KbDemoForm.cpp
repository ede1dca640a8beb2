#include "keyboard/KbDemoForm.h"

namespace kf {

TKbDemoFm::TKbDemoFm(QWidget *parent) : TChildForm(parent)
{
    setObjectName(QStringLiteral("KbDemoFm"));
    setWindowTitle(QStringLiteral("Keyboard layout"));
    setClientSize(691, 525);
}

} // namespace kf
