// keyfolio-tool: the command-line face of Keyfolio's logic.

#include "tool/ToolCommand.h"
#include "common/Errors.h"
#include "common/Version.h"

#include <cstring>
#include <iostream>

namespace kf::tool {

namespace {
std::vector<RegisteredCommand> &registry()
{
    static std::vector<RegisteredCommand> r;
    return r;
}

void printHelp(std::ostream &out)
{
    out << "Usage: keyfolio-tool COMMAND [ARGS...]\n"
           "       keyfolio-tool --version | --help\n\n"
           "Commands:\n";
    for (const auto &c : registry())
        out << c.usage << "\n";
}
} // namespace

ToolCommand::ToolCommand(const char *name, const char *usage, CommandFn run)
{
    registry().push_back({name, usage, std::move(run)});
}

const std::vector<RegisteredCommand> &Commands()
{
    return registry();
}

} // namespace kf::tool

int main(int argc, char **argv)
{
    using namespace kf::tool;
    if (argc < 2) {
        printHelp(std::cerr);
        return kExitUsage;
    }
    const std::string first = argv[1];
    if (first == "--version" || first == "-V") {
        std::cout << "keyfolio-tool " << kf::kVersion << "\n";
        return kExitOk;
    }
    if (first == "--help" || first == "-h" || first == "help") {
        printHelp(std::cout);
        return kExitOk;
    }
    for (const auto &c : Commands()) {
        if (c.name == first) {
            std::vector<std::string> args(argv + 2, argv + argc);
            try {
                return c.run(args);
            } catch (const kf::Exception &e) {
                std::cerr << "keyfolio-tool " << first << ": " << e.what() << "\n";
                return kExitError;
            } catch (const std::exception &e) {
                std::cerr << "keyfolio-tool " << first << ": " << e.what() << "\n";
                return kExitError;
            }
        }
    }
    std::cerr << "keyfolio-tool: unknown command \"" << first << "\"\n";
    printHelp(std::cerr);
    return kExitUsage;
}
