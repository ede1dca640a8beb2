#include "define/DefineForm.h"

namespace kf {

TDefineFm::TDefineFm(QWidget *parent) : TChildForm(parent)
{
    setObjectName(QStringLiteral("DefineFm"));
    setWindowTitle(QStringLiteral("Keyboard definition"));
    setClientSize(792, 490);
}

} // namespace kf
