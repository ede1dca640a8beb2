#pragma once
// keyfolio-tool package stats: what typing text files costs on a keyboard
// package, alone or beside a second one.

#include <string>
#include <vector>

namespace kf::tool {

// The usage lines of the subcommand, for the package command's help.
extern const char *const kStatsUsage;

// args: the package command's arguments, "stats" first.
int PackageStats(const std::vector<std::string> &args);

} // namespace kf::tool
