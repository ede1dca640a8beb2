#pragma once
// The help page that ships with the program: help/index.html beside it.

#include <QUrl>

namespace kf {

QString HelpPagePath();
QUrl HelpPageUrl();

} // namespace kf
