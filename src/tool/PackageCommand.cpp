// keyfolio-tool package: look into, dump and build keyboard packages (.vkt).

#include "tool/ToolCommand.h"
#include "tool/ExchangeCommand.h"
#include "tool/StatsCommand.h"
#include "common/CodePage.h"
#include "common/CodePageDecoder.h"
#include "common/Errors.h"
#include "common/FilePath.h"
#include "common/LibraryErrors.h"
#include "common/TextFile.h"
#include "model/DefinitionCheck.h"
#include "exchange/KeyboardChart.h"
#include "model/KeyStrokeFormats.h"
#include "model/KeyStrokeStats.h"
#include "model/TextTallyReader.h"
#include "model/KeyPictures.h"
#include "exchange/LayoutImport.h"
#include "model/MainData.h"
#include "model/PackageJson.h"
#include "exchange/XkbLayouts.h"

#include <QGuiApplication>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <algorithm>
#include <iomanip>
#include <iostream>
#include <memory>
#include <sstream>

namespace kf::tool {

namespace {

const char *kUsage =
    "  package info FILE                 members, key and character counts, settings of a package\n"
    "  package dump FILE [-o OUT.json]   both tables and all settings as JSON\n"
    "  package build IN.json -o FILE     a package from such JSON\n"
    "  package layouts                   the system's keyboard layouts and variants (ID, description)\n"
    "  package import LAYOUT[(VARIANT)] [--block iso|ansi] [--code-page CPnnnn]\n"
    "                 [--compose-locale LOCALE] -o FILE\n"
    "                                    a package from a system layout, key pictures drawn;\n"
    "                                    what it could not take is reported on stderr;\n"
    "                                    without --code-page, the code page that holds most of\n"
    "                                    the layout's letters (as the import window proposes)\n"
    "  package check FILE [--json]       what would go wrong in the tutor, one finding a line\n"
    "                                    (or JSON); exit 4 when there are errors\n"
    "  package compare FILE LAYOUT[(VARIANT)] [--block iso|ansi] [--code-page CPnnnn] [--all]\n"
    "                  [--json]\n"
    "                                    an imported package held against the layout's keymap,\n"
    "                                    key by key and level by level: one difference a line\n"
    "                                    (--all: the explained ones too) or JSON; the package's\n"
    "                                    characters read in its own code page (or --code-page);\n"
    "                                    exit 4 when a difference is unexplained\n"
    "  package chart FILE -o OUT.svg|OUT.pdf|OUT.png [--style legends|pictures]\n"
    "                [--colours finger|plain|use] [--text FILE]... [--input-encoding ENC]\n"
    "                [--scale N] [--transparent] [--title TEXT]\n"
    "                [--paper a4|letter] [--true-scale] [--code-page CPnnnn]\n"
    "                                    the keyboard chart: every key with its characters at\n"
    "                                    each level (or its picture) in finger colours; PNG at\n"
    "                                    --scale (default 2), PDF fitted to the paper or at\n"
    "                                    19.05 mm a key; the characters read in the code page\n"
    "                                    given (default: the one in force); what it draws as it\n"
    "                                    is goes to stderr. --colours use: the keys coloured by\n"
    "                                    how often typing the --text files presses them (as\n"
    "                                    package stats counts; --input-encoding as for dict)";

int usage(const std::string &why)
{
    std::cerr << "keyfolio-tool package: " << why << "\nUsage:\n" << kUsage << "\n";
    return kExitUsage;
}

void load(TDataMod &dm, const std::string &path)
{
    LoadPackageInItsCodePage(dm, path);
}

const char *methodName(uint16_t method)
{
    switch (method) {
    case ZipArchive::kStored:
        return "stored";
    case ZipArchive::kDeflated:
        return "deflated";
    default:
        return "other";
    }
}

int info(const std::string &path)
{
    TDataMod dm;
    load(dm, path);
    ZipArchive zip;
    zip.open(path);

    std::ostringstream out;
    out << "File: " << path << "\nMembers:\n";
    size_t width = 8;
    for (const auto &m : zip.members())
        width = std::max(width, m.name.size());
    for (const auto &m : zip.members())
        out << "  " << std::left << std::setw(int(width)) << m.name << std::right << std::setw(10) << m.size << " bytes  "
            << std::left << std::setw(8) << methodName(m.method) << std::right << std::setw(10) << m.compressedSize
            << " compressed\n";
    out << "Keys: " << dm.MainTbl.RecordCount() << "\nCharacters: " << dm.Ctbl.RecordCount() << "\n";
    const CodePage &cp = CodePage::current();
    if (dm.PackageCodePage.empty())
        out << "Code page: " << cp.name() << " (the session's: the package names none)\n";
    else
        out << "Code page: " << cp.name() << " (named by the package)\n";
    out << "Settings:\n";
    out << "  bkcolor=" << dm.bkcolor << "\n  Author=" << cp.decode(dm.Author).toStdString()
        << "\n  misc=" << cp.decode(dm.misc).toStdString() << "\n";
    const char *suffixes[] = {"", "x", "Color"};
    const std::array<int32_t, kFingerCount> *values[] = {&dm.FingerLength, &dm.FingerX, &dm.FingerColor};
    for (int kind = 0; kind < 3; ++kind) {
        out << " ";
        for (int f = 0; f < kFingerCount; ++f)
            out << ' ' << kFingerKeys[size_t(f)] << suffixes[kind] << '=' << (*values[kind])[size_t(f)];
        out << "\n";
    }
    std::cout << out.str();
    return kExitOk;
}

int dump(const std::string &path, const std::string &outPath)
{
    TDataMod dm;
    load(dm, path);
    const std::string json = PackageToJson(dm, CodePage::current());
    if (outPath.empty())
        std::cout << json;
    else
        writeFileBytes(outPath, json);
    return kExitOk;
}

int build(const std::string &jsonPath, const std::string &outPath)
{
    const std::string json = readFileBytes(jsonPath, ZipArchive::kMaxMemberBytes * 4);
    TDataMod dm;
    try {
        PackageFromJson(dm, json, CodePage::current());
    } catch (const Exception &e) {
        throw EConvertError(jsonPath + ": " + e.what());
    }
    // The package names the code page its texts were put into.
    if (!dm.PackageCodePage.empty() && dm.PackageCodePage != CodePage::current().name())
        CodePage::choose(dm.PackageCodePage);
    if (!dm.SavePackage(outPath))
        throw EFCreateError(outPath + ": " + dm.PackageError());
    return kExitOk;
}

int layouts(const std::vector<std::string> &args)
{
    if (args.size() > 1)
        return usage("layouts takes no arguments");
    std::ostringstream out;
    for (const XkbLayout &l : ListXkbLayouts())
        out << l.Id() << '\t' << l.description << '\n';
    std::cout << out.str();
    return kExitOk;
}

int import(const std::vector<std::string> &args)
{
    LayoutImportOptions options;
    std::string id, out;
    for (size_t i = 1; i < args.size(); ++i) {
        const std::string &a = args[i];
        const bool hasValue = i + 1 < args.size();
        if (a == "-o" || a == "--block" || a == "--code-page" || a == "--compose-locale") {
            if (!hasValue)
                return usage(a + " needs a value");
            const std::string &v = args[++i];
            if (a == "-o")
                out = v;
            else if (a == "--block") {
                if (!ParseKeyBlock(v, options.block))
                    return usage("--block takes iso or ansi, not \"" + v + "\"");
            } else if (a == "--code-page")
                options.codePage = v;
            else
                options.composeLocale = v;
        } else if (a.size() > 1 && a[0] == '-') {
            return usage("unknown option " + a);
        } else if (id.empty()) {
            id = a;
        } else {
            return usage("too many layouts");
        }
    }
    if (id.empty())
        return usage("import needs a layout, e.g. de or de(nodeadkeys)");
    if (out.empty())
        return usage("import needs -o FILE");
    if (!ParseLayoutId(id, options.layout, options.variant))
        throw EConvertError("Keyboard layout '" + id + "' does not exist");
    for (char &c : options.codePage)
        if (c >= 'a' && c <= 'z')
            c = char(c - 'a' + 'A');
    // No code page named: the one the import window would propose, not the
    // session's, which may hold none of the layout's letters.
    if (options.codePage.empty()) {
        options.codePage = ProposeCodePageForLayout(options);
        if (!options.codePage.empty())
            std::cerr << "Code page " << options.codePage << ", proposed for " << id
                      << " (it holds most of its letters; --code-page names another)\n";
    }

    TDataMod dm;
    const LayoutImportReport report = ImportLayout(dm, options);
    // A new definition has no finger colours yet: the pictures get light ones.
    if (dm.FingerColor == std::array<int32_t, kFingerCount>{})
        dm.FingerColor = DefaultFingerColors();
    NeedFonts();
    DrawKeyPictures(dm, KeyFaces{}, CodePage(report.codePage));
    // The package names the code page its characters were written in.
    if (report.codePage != CodePage::current().name())
        CodePage::choose(report.codePage);
    if (!dm.SavePackage(out))
        throw EFCreateError(out + ": " + dm.PackageError());
    std::ostringstream err;
    for (const std::string &line : report.Lines())
        err << line << '\n';
    std::cerr << err.str();
    return kExitOk;
}

int chart(const std::vector<std::string> &args)
{
    TChartOptions options;
    std::string file, out, codePage;
    bool scaleGiven = false, transparentGiven = false, paperGiven = false, byUse = false;
    std::vector<std::string> texts; // colours by use: the texts counted
    TTextReadOptions read;
    for (size_t i = 1; i < args.size(); ++i) {
        const std::string &a = args[i];
        if (a == "--transparent") {
            options.Transparent = transparentGiven = true;
        } else if (a == "--true-scale") {
            options.TrueScale = true;
        } else if (a == "-o" || a == "--style" || a == "--colours" || a == "--colors" || a == "--scale"
                   || a == "--title" || a == "--paper" || a == "--code-page" || a == "--text"
                   || a == "--input-encoding") {
            if (i + 1 >= args.size())
                return usage(a + " needs a value");
            const std::string &v = args[++i];
            if (a == "-o") {
                out = v;
            } else if (a == "--style") {
                if (v == "legends")
                    options.Style = TChartStyle::Legends;
                else if (v == "pictures")
                    options.Style = TChartStyle::Pictures;
                else
                    return usage("--style takes legends or pictures, not \"" + v + "\"");
            } else if (a == "--colours" || a == "--colors") {
                if (v == "finger")
                    options.FingerColours = true;
                else if (v == "plain")
                    options.FingerColours = false;
                else if (v == "use")
                    byUse = true;
                else
                    return usage(a + " takes finger, plain or use, not \"" + v + "\"");
            } else if (a == "--text") {
                texts.push_back(v);
            } else if (a == "--input-encoding") {
                if (!ParseInputEncoding(v, read.encoding))
                    return usage("--input-encoding takes auto, codepage, utf-8, utf-16le or utf-16be, not \"" + v
                                 + "\"");
            } else if (a == "--scale") {
                bool ok = false;
                options.Scale = QString::fromStdString(v).toDouble(&ok);
                if (!ok || !(options.Scale > 0) || options.Scale > TKeyboardChart::kMaxScale)
                    return usage("--scale takes a number above 0 and at most 16, not \"" + v + "\"");
                scaleGiven = true;
            } else if (a == "--title") {
                options.Title = QString::fromLocal8Bit(v.c_str());
            } else if (a == "--code-page") {
                codePage = v;
                for (char &c : codePage)
                    if (c >= 'a' && c <= 'z')
                        c = char(c - 'a' + 'A');
            } else {
                if (v == "a4" || v == "A4")
                    options.Paper = TChartPaper::A4;
                else if (v == "letter" || v == "Letter")
                    options.Paper = TChartPaper::Letter;
                else
                    return usage("--paper takes a4 or letter, not \"" + v + "\"");
                paperGiven = true;
            }
        } else if (a.size() > 1 && a[0] == '-') {
            return usage("unknown option " + a);
        } else if (file.empty()) {
            file = a;
        } else {
            return usage("too many file names");
        }
    }
    if (file.empty())
        return usage("chart needs a package file");
    if (out.empty())
        return usage("chart needs -o OUT.svg, OUT.pdf or OUT.png");
    TChartFormat format;
    if (!TKeyboardChart::FormatOfPath(QString::fromLocal8Bit(out.c_str()), format))
        return usage("-o must end in .svg, .pdf or .png, not \"" + out + "\"");
    if (scaleGiven && format != TChartFormat::Png)
        return usage("--scale is for PNG only");
    if (transparentGiven && format == TChartFormat::Pdf)
        return usage("--transparent is for PNG and SVG only");
    if ((paperGiven || options.TrueScale) && format != TChartFormat::Pdf)
        return usage(std::string(paperGiven ? "--paper" : "--true-scale") + " is for PDF only");
    if (byUse != !texts.empty())
        return usage(byUse ? "--colours use needs the texts to count (--text FILE)" : "--text is for --colours use");

    // The definition's characters are bytes of its code page: the one the
    // package names, unless --code-page says otherwise.
    const std::unique_ptr<CodePage> given = codePage.empty() ? nullptr : std::make_unique<CodePage>(codePage);
    TDataMod dm;
    load(dm, file);
    const CodePage &cp = given ? *given : CodePage::current();
    NeedFonts();
    const TKeyboardChart chart = TKeyboardChart::FromDataMod(dm, cp);
    if (byUse) {
        // The keys coloured by how often typing the texts presses them, as
        // "package stats" counts.
        TTextTally tally;
        for (const std::string &text : texts)
            ReadTextFile(text, cp, read, tally);
        options.Heat = ComputeKeyStrokes(chart.Layout(), tally).KeyUse();
    }
    chart.Check(options, format);
    std::ostringstream err;
    for (const QString &w : chart.Warnings(options, format))
        err << "warning: " << w.toStdString() << '\n';
    std::cerr << err.str();
    chart.Export(out, format, options);
    return kExitOk;
}

// One finding a line: "error: keys row 3 \"Q\" (KeyValue): message".
std::string findingLine(const TCheckFinding &f)
{
    std::string line = std::string(SeverityId(f.Severity)) + ": " + TableId(f.Table);
    if (f.RecordNo > 0)
        line += " row " + std::to_string(f.RecordNo);
    if (!f.RowLabel.empty()) // empty: the finding is about the whole table
        line += " \"" + f.RowLabel + "\"";
    if (!f.Field.empty() && f.Field != f.RowLabel)
        line += " (" + f.Field + ")";
    return line + ": " + f.Message + "\n";
}

std::string findingsJson(const std::string &path, const std::vector<TCheckFinding> &findings)
{
    QJsonArray list;
    for (const TCheckFinding &f : findings) {
        QJsonObject o;
        o.insert("severity", SeverityId(f.Severity));
        o.insert("table", TableId(f.Table));
        o.insert("kind", KindId(f.Kind));
        if (f.RecordNo > 0)
            o.insert("row", f.RecordNo);
        else
            o.insert("row", QJsonValue::Null);
        o.insert("label", QString::fromStdString(f.RowLabel));
        o.insert("field", QString::fromStdString(f.Field));
        o.insert("message", QString::fromStdString(f.Message));
        list.append(o);
    }
    QJsonObject root;
    root.insert("file", PathName(path));
    root.insert("errors", CountFindings(findings, TCheckSeverity::Error));
    root.insert("warnings", CountFindings(findings, TCheckSeverity::Warning));
    root.insert("findings", list);
    return QJsonDocument(root).toJson(QJsonDocument::Indented).toStdString();
}

int check(const std::string &path, bool json)
{
    TDataMod dm;
    load(dm, path);
    const std::vector<TCheckFinding> findings = CheckDefinition(dm, CodePage::current());
    const int errors = CountFindings(findings, TCheckSeverity::Error);
    std::string out;
    if (json) {
        out = findingsJson(path, findings);
    } else {
        for (const TCheckFinding &f : findings)
            out += findingLine(f);
        const int warnings = CountFindings(findings, TCheckSeverity::Warning);
        if (findings.empty())
            out += "No findings.\n";
        else
            out += std::to_string(errors) + (errors == 1 ? " error, " : " errors, ") + std::to_string(warnings)
                   + (warnings == 1 ? " warning\n" : " warnings\n");
    }
    std::cout << out << std::flush;
    return errors > 0 ? kExitFindings : kExitOk;
}

int compare(const std::vector<std::string> &args)
{
    LayoutImportOptions options;
    std::string file, id, codePage;
    bool all = false, json = false;
    for (size_t i = 1; i < args.size(); ++i) {
        const std::string &a = args[i];
        if (a == "--all") {
            all = true;
        } else if (a == "--json") {
            json = true;
        } else if (a == "--block" || a == "--code-page") {
            if (i + 1 >= args.size())
                return usage(a + " needs a value");
            const std::string &v = args[++i];
            if (a == "--code-page")
                codePage = v;
            else if (!ParseKeyBlock(v, options.block))
                return usage("--block takes iso or ansi, not \"" + v + "\"");
        } else if (a.size() > 1 && a[0] == '-') {
            return usage("unknown option " + a);
        } else if (file.empty()) {
            file = a;
        } else if (id.empty()) {
            id = a;
        } else {
            return usage("compare takes a package and a layout");
        }
    }
    if (id.empty())
        return usage("compare needs a package and a layout, e.g. de.vkt de");
    if (!ParseLayoutId(id, options.layout, options.variant))
        throw EConvertError("Keyboard layout '" + id + "' does not exist");
    for (char &c : codePage)
        if (c >= 'a' && c <= 'z')
            c = char(c - 'a' + 'A');
    // The package's characters in its own code page, unless --code-page
    // says otherwise.
    const std::unique_ptr<CodePage> given = codePage.empty() ? nullptr : std::make_unique<CodePage>(codePage);
    TDataMod dm;
    load(dm, file);
    const CodePage &cp = given ? *given : CodePage::current();
    const LayoutComparison result = CompareWithLayout(dm, cp, options);
    const size_t unexplained = result.Unexplained();
    std::string out;
    if (json) {
        QJsonArray list;
        for (const LayoutDifference &d : result.differences) {
            QJsonObject o;
            o.insert("key", QString::fromStdString(d.key));
            o.insert("level", QString::fromStdString(d.level));
            o.insert("layout", d.layout);
            o.insert("definition", d.definition);
            o.insert("why", QString::fromStdString(d.why));
            list.append(o);
        }
        QJsonObject root;
        root.insert("file", PathName(file));
        root.insert("layout", QString::fromStdString(id));
        root.insert("keys", result.keys);
        root.insert("levels", result.levels);
        root.insert("unexplained", int(unexplained));
        root.insert("differences", list);
        out = QJsonDocument(root).toJson(QJsonDocument::Indented).toStdString();
    } else {
        for (const LayoutDifference &d : result.differences)
            if (all || d.why.empty())
                out += d.Describe() + "\n";
        out += std::to_string(result.keys) + " keys, " + std::to_string(result.levels) + " levels compared: "
            + std::to_string(unexplained) + " unexplained difference" + (unexplained == 1 ? "" : "s") + ", "
            + std::to_string(result.differences.size() - unexplained) + " explained\n";
    }
    std::cout << out << std::flush;
    return unexplained > 0 ? kExitFindings : kExitOk;
}

int run(const std::vector<std::string> &args)
{
    if (args.empty())
        return usage("missing subcommand");
    const std::string &sub = args[0];
    if (sub == "layouts")
        return layouts(args);
    if (sub == "import")
        return import(args);
    if (sub == "chart")
        return chart(args);
    if (sub == "compare")
        return compare(args);
    if (sub == "stats")
        return PackageStats(args);
    if (sub == "export")
        return PackageExport(args);
    if (sub == "install")
        return PackageInstall(args);
    if (sub == "uninstall")
        return PackageUninstall(args);
    if (sub == "import-kle")
        return PackageImportKle(args);
    std::vector<std::string> files;
    std::string out;
    bool json = false;
    for (size_t i = 1; i < args.size(); ++i) {
        if (args[i] == "--json" && sub == "check") {
            json = true;
        } else if (args[i] == "-o") {
            if (i + 1 >= args.size())
                return usage("-o needs a file name");
            out = args[++i];
        } else if (args[i].size() > 1 && args[i][0] == '-') {
            return usage("unknown option " + args[i]);
        } else {
            files.push_back(args[i]);
        }
    }
    if (files.size() != 1)
        return usage(files.empty() ? "missing file name" : "too many file names");
    if (sub == "info") {
        if (!out.empty())
            return usage("info takes no -o");
        return info(files[0]);
    }
    if (sub == "dump")
        return dump(files[0], out);
    if (sub == "check") {
        if (!out.empty())
            return usage("check takes no -o");
        return check(files[0], json);
    }
    if (sub == "build") {
        if (out.empty())
            return usage("build needs -o FILE");
        return build(files[0], out);
    }
    return usage("unknown subcommand \"" + sub + "\"");
}

const ToolCommand registration("package",
                               (std::string(kUsage) + "\n" + kStatsUsage + "\n" + kExchangeUsage).c_str(), run);

} // namespace

} // namespace kf::tool
