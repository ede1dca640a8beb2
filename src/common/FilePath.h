#pragma once
// File names between the two worlds of the program: the windows and dialogs
// name a file with a QString, the file functions below them (package, word
// list, text files, the command line's arguments) take the bytes the system
// names it by. Every such crossing goes through these two functions, so a
// name with letters outside ASCII reaches the same file both ways.

#include <QString>

#include <string>
#include <string_view>

namespace kf {

// The system's bytes for a file name (the local encoding of file names).
std::string LocalPath(const QString &fileName);

// The file name that a path of the system's bytes stands for.
QString PathName(std::string_view path);

} // namespace kf
