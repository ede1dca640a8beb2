#pragma once
// The commands of keyfolio-tool. Each command file registers itself with a
// static ToolCommand object; main() dispatches on the first argument.

#include <functional>
#include <string>
#include <vector>

namespace kf {
class TDataMod;
}

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

// The usage of a command or of one of its subcommands, for --help: the
// entries of usage (an entry is a line that starts "  COMMAND" and the more
// deeply indented lines after it) whose first line starts "  COMMAND SUB";
// the whole usage when sub is empty or names no entry of its own.
std::string UsageOf(const std::string &usage, const std::string &command, const std::string &sub);

// Whether args ask for help: "--help" or "-h" before a "--".
bool AsksForHelp(const std::vector<std::string> &args);

// Exit statuses shared by the commands.
constexpr int kExitOk = 0;
constexpr int kExitError = 1;   // an unreadable file, a bad argument, a failed write
constexpr int kExitUsage = 2;   // wrong command line
constexpr int kExitFindings = 4; // a check found errors (warnings alone exit 0)

// Loads the package at path into dm and makes the code page it names the one
// in force for the rest of the command, so that its bytes are read as they
// were written. A package that names none is read in the code page in force.
// Throws EInOutError "PATH: why" when the package cannot be read.
void LoadPackageInItsCodePage(TDataMod &dm, const std::string &path);

// Key pictures and charts are drawn with fonts, which need the GUI
// application object: made once, on the offscreen platform (no display).
void NeedFonts();

} // namespace kf::tool
