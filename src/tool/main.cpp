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

std::string UsageOf(const std::string &usage, const std::string &command, const std::string &sub)
{
    const std::string head = "  " + command;
    std::string entries, entry;
    bool keep = false;
    auto flush = [&] {
        if (keep)
            entries += entry;
        entry.clear();
    };
    size_t start = 0;
    while (start < usage.size()) {
        size_t end = usage.find('\n', start);
        end = end == std::string::npos ? usage.size() : end + 1;
        const std::string line = usage.substr(start, end - start);
        start = end;
        if (line.compare(0, head.size(), head) == 0 && (line.size() == head.size() || line[head.size()] == ' '
                                                         || line[head.size()] == '\n')) {
            flush();
            const std::string rest = line.substr(head.size());
            const size_t word = rest.find_first_not_of(' ');
            keep = !sub.empty() && word != std::string::npos && rest.compare(word, sub.size(), sub) == 0
                && (word + sub.size() == rest.size() || rest[word + sub.size()] == ' '
                    || rest[word + sub.size()] == '\n');
        }
        entry += line;
    }
    flush();
    if (entries.empty())
        return usage;
    if (entries.back() == '\n')
        entries.pop_back();
    return entries;
}

bool AsksForHelp(const std::vector<std::string> &args)
{
    for (const std::string &a : args) {
        if (a == "--")
            return false;
        if (a == "--help" || a == "-h")
            return true;
    }
    return false;
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
            // "--help" anywhere: the usage of the command, or of the
            // subcommand named first.
            if (AsksForHelp(args)) {
                const std::string sub = !args.empty() && args[0].rfind('-', 0) != 0 ? args[0] : std::string();
                std::cout << "Usage:\n" << UsageOf(c.usage, c.name, sub) << "\n";
                return kExitOk;
            }
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
