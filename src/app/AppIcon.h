#pragma once
// The program's icon: a key cap with a "K", drawn in code.

#include <QIcon>

namespace kf {

QIcon KeyfolioIcon();

} // namespace kf
