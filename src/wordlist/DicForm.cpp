#include "wordlist/DicForm.h"

namespace kf {

TDicFm::TDicFm(QWidget *parent) : TChildForm(parent)
{
    setObjectName(QStringLiteral("DicFm"));
    setWindowTitle(QStringLiteral("Make Dictionary"));
    setClientSize(548, 438);
}

} // namespace kf
