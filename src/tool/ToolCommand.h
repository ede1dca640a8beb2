#pragma once
// The commands of keyfolio-tool. Each command file registers itself with a
// static ToolCommand object; main() dispatches on the first argument.

#include <functional>
#include <string>
#include <vector>

namespace kf::tool {

using CommandFn = std::function<int(const std::vector<std::string> &args)>;

struct ToolCommand {
    // name: the first argument ("dict"); usage: lines shown by --help.
    ToolCommand(const char *name, const char *usage, CommandFn run);
};

struct RegisteredCommand {
    std::string name;
    std::string usage;
    CommandFn run;
};

const std::vector<RegisteredCommand> &Commands();

// Exit statuses shared by the commands.
constexpr int kExitOk = 0;
constexpr int kExitError = 1;   // an unreadable file, a bad argument, a failed write
constexpr int kExitUsage = 2;   // wrong command line
constexpr int kExitFindings = 4; // a check found errors (warnings alone exit 0)

} // namespace kf::tool
