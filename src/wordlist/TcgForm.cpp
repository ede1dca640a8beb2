#include "wordlist/TcgForm.h"

namespace kf {

TTcgFm::TTcgFm(QWidget *parent) : TChildForm(parent)
{
    setObjectName(QStringLiteral("TcgFm"));
    setWindowTitle(QStringLiteral("Typing Course Generator"));
    setClientSize(492, 386);
}

} // namespace kf
