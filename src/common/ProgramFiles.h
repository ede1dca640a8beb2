#pragma once
// Where the program finds the files it ships with (the help page, the
// translation catalogues). In the build tree they sit beside the program
// (build/src/help/index.html); an installed program finds them in its share
// folder (bin/keyfolio -> share/keyfolio/help/index.html).

#include <QString>

namespace kf {

// The file or folder `relative` beside the program in programDir when it
// exists there, else in the install's share folder (programDir/../share/keyfolio)
// when it exists there, else the place beside the program (so a message about
// a missing file names the place where it was looked for first).
QString ProgramFilePath(const QString &programDir, const QString &relative);

// ProgramFilePath() for the running program (needs the application object).
QString ProgramFilePath(const QString &relative);

} // namespace kf
