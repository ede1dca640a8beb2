#include "define/FingerDefForm.h"

namespace kf {

TFingerDefFm::TFingerDefFm(QWidget *parent) : TChildForm(parent)
{
    setObjectName(QStringLiteral("FingerDefFm"));
    setWindowTitle(QStringLiteral("Finger definition"));
    setClientSize(438, 255);
}

} // namespace kf
