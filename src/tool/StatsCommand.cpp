// keyfolio-tool package stats: reads text files as the dictionary command
// does and prints what typing them costs on a package (and on a second one
// with --vs), as a table, CSV or JSON.

#include "tool/StatsCommand.h"
#include "tool/ToolCommand.h"
#include "common/CodePage.h"
#include "common/CodePageDecoder.h"
#include "common/Errors.h"
#include "common/TextFile.h"
#include "model/KeyLayout.h"
#include "model/KeyStrokeStats.h"
#include "model/MainData.h"

#include <algorithm>
#include <iostream>
#include <memory>
#include <optional>
#include <sstream>

namespace kf::tool {

const char *const kStatsUsage =
    "  package stats FILE TEXT... [--vs OTHER] [--input-encoding auto|codepage|utf-8|utf-16le|utf-16be]\n"
    "                [--counts] [--json] [-o OUT.csv|OUT.json]\n"
    "                                    what typing the text files costs on the package: keystrokes\n"
    "                                    per finger, hand, row and key, same-finger pairs, hand\n"
    "                                    alternation, modifier load, characters it cannot type;\n"
    "                                    --vs (or --compare): a second package on the same texts,\n"
    "                                    with the differences;\n"
    "                                    --counts: the texts are \"word TAB count\" lists;\n"
    "                                    a table on stdout, JSON with --json, -o writes CSV (JSON\n"
    "                                    when the name ends in .json or with --json)";

namespace {

struct StatsOptions {
    std::string package, other, output;
    std::vector<std::string> texts;
    InputEncoding encoding = InputEncoding::Auto;
    bool counts = false;
    bool json = false;
};

struct UsageError {
    std::string message;
};

StatsOptions parse(const std::vector<std::string> &args)
{
    StatsOptions o;
    bool optionsEnd = false;
    for (size_t i = 1; i < args.size(); ++i) {
        const std::string &a = args[i];
        auto value = [&]() -> const std::string & {
            if (i + 1 >= args.size())
                throw UsageError{a + " needs a value"};
            return args[++i];
        };
        if (optionsEnd || a.empty() || a[0] != '-' || a == "-") {
            if (o.package.empty())
                o.package = a;
            else
                o.texts.push_back(a);
        } else if (a == "--") {
            optionsEnd = true;
        } else if (a == "--vs" || a == "--compare") {
            o.other = value();
        } else if (a == "--input-encoding") {
            const std::string &v = value();
            if (!ParseInputEncoding(v, o.encoding))
                throw UsageError{"--input-encoding wants auto, codepage, utf-8, utf-16le or utf-16be, not \"" + v +
                                 "\""};
        } else if (a == "--counts") {
            o.counts = true;
        } else if (a == "--json") {
            o.json = true;
        } else if (a == "-o" || a == "--output") {
            o.output = value();
            if (o.output.empty())
                throw UsageError{"-o needs a file name"};
        } else {
            throw UsageError{"unknown option " + a};
        }
    }
    if (o.package.empty())
        throw UsageError{"stats needs a package"};
    if (o.texts.empty())
        throw UsageError{"stats needs text files"};
    return o;
}

// The texts are counted once, in one code page: the first package's (it
// becomes the one in force). A second package must be in the same one.
TKeyLayout loadLayout(const std::string &path, bool first)
{
    TDataMod dm;
    if (first) {
        LoadPackageInItsCodePage(dm, path);
    } else {
        if (!dm.LoadPackage(path))
            throw EInOutError(path + ": " + dm.PackageError());
        if (!dm.PackageCodePage.empty() && dm.PackageCodePage != CodePage::current().name())
            throw EConvertError(path + ": the package is in code page " + dm.PackageCodePage + ", the first one in "
                                + CodePage::current().name() + ": packages are compared in one code page");
    }
    return TKeyLayout::FromDataMod(dm);
}

bool endsWith(const std::string &s, const std::string &tail)
{
    if (s.size() < tail.size())
        return false;
    std::string end = s.substr(s.size() - tail.size());
    for (char &c : end)
        if (c >= 'A' && c <= 'Z')
            c = char(c - 'A' + 'a');
    return end == tail;
}

// The figures as aligned columns.
std::string table(const TKeyStrokeFigures &a, const TKeyStrokeFigures *b, const CodePage &codePage)
{
    const std::vector<TKeyStrokeLine> lines = KeyStrokeLines(a, b, codePage);
    const auto width = [](const std::string &s) {
        size_t n = 0;
        for (char c : s)
            n += (uint8_t(c) & 0xC0) != 0x80;
        return n;
    };
    size_t w = 0, wa = 1, wb = 1;
    for (const TKeyStrokeLine &l : lines) {
        w = std::max(w, width(l.What));
        wa = std::max(wa, width(l.A));
        wb = std::max(wb, width(l.B));
    }
    std::ostringstream out;
    const auto pad = [&](const std::string &s, size_t to, bool right) {
        const std::string fill(to > width(s) ? to - width(s) : 0, ' ');
        out << (right ? fill + s : s + fill);
    };
    if (b) {
        pad("", w, false);
        out << "  ";
        pad("A", wa, true);
        out << "  ";
        pad("B", wb, true);
        out << "  B - A\n";
    }
    for (const TKeyStrokeLine &l : lines) {
        pad(l.What, w, false);
        out << "  ";
        pad(l.A, wa, true);
        if (b) {
            out << "  ";
            pad(l.B, wb, true);
            out << "  " << l.Difference;
        }
        out << '\n';
    }
    return out.str();
}

} // namespace

int PackageStats(const std::vector<std::string> &args)
{
    StatsOptions o;
    try {
        o = parse(args);
    } catch (const UsageError &e) {
        std::cerr << "keyfolio-tool package: " << e.message << "\nUsage:\n" << kStatsUsage << "\n";
        return kExitUsage;
    }
    const TKeyLayout a = loadLayout(o.package, true);
    std::optional<TKeyLayout> b;
    if (!o.other.empty())
        b = loadLayout(o.other, false);
    const CodePage &codePage = CodePage::current(); // the package's, from here on

    TTextTally tally;
    TTextReadOptions read;
    read.encoding = o.encoding;
    read.wordCounts = o.counts;
    for (const std::string &text : o.texts)
        ReadTextFile(text, codePage, read, tally);

    const TKeyStrokeFigures fa = ComputeKeyStrokes(a, tally);
    std::optional<TKeyStrokeFigures> fb;
    if (b)
        fb = ComputeKeyStrokes(*b, tally);
    const bool json = o.json || endsWith(o.output, ".json");
    std::string out;
    if (json)
        out = fb ? KeyStrokesToJson(fa, *fb, codePage) : KeyStrokesToJson(fa, codePage);
    else if (!o.output.empty())
        out = KeyStrokesToCsv(fa, fb ? &*fb : nullptr, codePage);
    else
        out = table(fa, fb ? &*fb : nullptr, codePage);
    if (o.output.empty())
        std::cout << out << std::flush;
    else
        writeFileBytes(o.output, out);
    for (const std::string &w : fa.Warnings)
        std::cerr << (fb ? "A: " : "") << w << "\n";
    if (fb)
        for (const std::string &w : fb->Warnings)
            std::cerr << "B: " << w << "\n";
    if (fa.Characters == 0)
        std::cerr << "The texts hold no characters.\n";
    return kExitOk;
}

} // namespace kf::tool
