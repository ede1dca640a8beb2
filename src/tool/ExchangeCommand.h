#pragma once
// keyfolio-tool package export, install, uninstall and import-kle: the
// keyboard handed to other programs and to the desktop, and a
// keyboard-layout-editor file made a package.

#include <string>
#include <vector>

namespace kf::tool {

// The usage lines of the subcommands, for the package command's help.
extern const char *const kExchangeUsage;

// args: the package command's arguments, the subcommand first.
int PackageExport(const std::vector<std::string> &args);
int PackageInstall(const std::vector<std::string> &args);
int PackageUninstall(const std::vector<std::string> &args);
int PackageImportKle(const std::vector<std::string> &args);

} // namespace kf::tool
