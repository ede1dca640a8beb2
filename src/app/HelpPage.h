#pragma once
// The help page that ships with the program: help/index.html beside it, or
// in the share folder of an installed program (share/keyfolio/help/index.html).

#include <QUrl>

#include <functional>

namespace kf {

QString HelpPagePath();

// The desktop's service that opens an address in the browser; true when it could.
using UrlOpener = std::function<bool(const QUrl &)>;

// Opens the help page at `path` through `open`. When the page is missing or the
// desktop cannot open it, a warning names the page's path, so the user can open
// it by hand. Returns whether the page was handed to the desktop.
bool OpenHelpPage(const QString &path, const UrlOpener &open);

} // namespace kf
