// keyfolio-tool package export / install / uninstall / import-kle.

#include "tool/ExchangeCommand.h"
#include "tool/ToolCommand.h"
#include "common/CodePage.h"
#include "common/Errors.h"
#include "common/ReplacingFile.h"
#include "common/TextFile.h"
#include "exchange/ExchangeFormat.h"
#include "exchange/KeyboardFormats.h"
#include "exchange/KeyboardView.h"
#include "model/KeyPictures.h"
#include "model/MainData.h"

#include <QCoreApplication>
#include <QGuiApplication>

#include <iostream>
#include <map>
#include <memory>
#include <set>
#include <sstream>

namespace kf::tool {

const char *const kExchangeUsage =
    "  package export FILE --format xkb|klc|kle|ktouch -o OUT [--name NAME]\n"
    "                 [--description TEXT] [--language CODE] [--compose OUT]\n"
    "                                    the keyboard for another program: XKB symbols (proved\n"
    "                                    by libxkbcommon first), Windows keyboard source,\n"
    "                                    keyboard-layout-editor JSON or a KTouch keyboard;\n"
    "                                    keys placed on the PC main block, what is left out\n"
    "                                    goes to stderr; --compose (xkb): what the keyboard types\n"
    "                                    after a dead key beyond the system's compose table, as\n"
    "                                    an XCompose file\n"
    "  package install FILE --name NAME [--description TEXT] [--language CODE]\n"
    "                                    the keyboard as an XKB layout of this desktop user\n"
    "                                    ($XDG_CONFIG_HOME/xkb: symbols/NAME, rules/evdev.xml)\n"
    "  package uninstall NAME            removes such a layout\n"
    "  package import-kle FILE.json [--code-page CPnnnn] -o FILE.vkt\n"
    "                                    a package from keyboard-layout-editor raw data";

namespace {

int usage(const std::string &why)
{
    std::cerr << "keyfolio-tool package: " << why << "\nUsage:\n" << kExchangeUsage << "\n";
    return kExitUsage;
}

// Options of the form "--name VALUE" and one or more plain arguments.
struct Parsed {
    std::vector<std::string> files;
    std::map<std::string, std::string> values;
    std::string error;
};

Parsed parse(const std::vector<std::string> &args, const std::set<std::string> &options)
{
    Parsed p;
    for (size_t i = 1; i < args.size(); ++i) {
        const std::string &a = args[i];
        if (options.count(a)) {
            if (i + 1 >= args.size()) {
                p.error = a + " needs a value";
                return p;
            }
            p.values[a] = args[++i];
        } else if (a.size() > 1 && a[0] == '-') {
            p.error = "unknown option " + a;
            return p;
        } else {
            p.files.push_back(a);
        }
    }
    return p;
}

std::string value(const Parsed &p, const std::string &option)
{
    const auto it = p.values.find(option);
    return it == p.values.end() ? std::string() : it->second;
}

// The package, its characters in its own code page (which is then in force).
void loadPackage(TDataMod &dm, const std::string &path)
{
    LoadPackageInItsCodePage(dm, path);
}

void printWarnings(const std::vector<std::string> &warnings)
{
    std::ostringstream err;
    for (const std::string &w : warnings)
        err << (w.rfind("  ", 0) == 0 ? "" : "warning: ") << w << '\n';
    std::cerr << err.str();
}

TExportOptions exportOptions(const Parsed &p)
{
    TExportOptions o;
    o.Name = value(p, "--name");
    o.Description = QString::fromLocal8Bit(value(p, "--description").c_str()).toStdString();
    o.Language = value(p, "--language");
    return o;
}

} // namespace

int PackageExport(const std::vector<std::string> &args)
{
    const Parsed p = parse(args, {"--format", "-o", "--name", "--description", "--language", "--compose"});
    if (!p.error.empty())
        return usage(p.error);
    if (p.files.size() != 1)
        return usage(p.files.empty() ? "export needs a package file" : "too many file names");
    const std::string formatName = value(p, "--format"), out = value(p, "-o"), compose = value(p, "--compose");
    const std::string names = ExchangeFormatNames(TExchangeFormat::Content::Keyboard);
    if (formatName.empty())
        return usage("export needs --format " + names);
    if (!compose.empty() && formatName != "xkb")
        return usage("--compose is for --format xkb");
    const TExchangeFormat *format = FindExchangeFormat(formatName);
    if (!format || format->Carries() != TExchangeFormat::Content::Keyboard)
        return usage("--format takes " + names + ", not \"" + formatName + "\"");
    if (out.empty())
        return usage("export needs -o OUT");

    TDataMod dm;
    loadPackage(dm, p.files[0]);
    const CodePage &cp = CodePage::current();
    const std::vector<std::string> warnings = ExportKeyboard(dm, cp, *format, exportOptions(p), out);
    printWarnings(warnings);
    if (!compose.empty()) {
        std::vector<std::string> lines;
        const std::string text = XComposeText(TKeyboardView::FromDataMod(dm, cp), lines);
        ReplacingFile::writeWhole(compose, text.empty() ? std::string("include \"%L\"\n") : text);
    }
    return kExitOk;
}

int PackageInstall(const std::vector<std::string> &args)
{
    const Parsed p = parse(args, {"--name", "--description", "--language"});
    if (!p.error.empty())
        return usage(p.error);
    if (p.files.size() != 1)
        return usage(p.files.empty() ? "install needs a package file" : "too many file names");
    const TExportOptions options = exportOptions(p);
    if (options.Name.empty())
        return usage("install needs --name NAME");
    TDataMod dm;
    loadPackage(dm, p.files[0]);
    const TXkbInstall done = InstallXkbLayout(dm, CodePage::current(), options);
    printWarnings(done.warnings);
    std::cout << "Installed " << done.symbolsPath << "\nRegistered in " << done.rulesPath
              << "\nChoose the layout \"" << options.Name
              << "\" in the desktop's keyboard settings (Wayland desktops read this folder; an X11 session does "
                 "not, there load it with setxkbmap -I"
              << UserXkbFolder() << " " << options.Name << " -print | xkbcomp -I" << UserXkbFolder()
              << " - $DISPLAY).\n";
    return kExitOk;
}

int PackageUninstall(const std::vector<std::string> &args)
{
    const Parsed p = parse(args, {});
    if (!p.error.empty())
        return usage(p.error);
    if (p.files.size() != 1)
        return usage(p.files.empty() ? "uninstall needs a layout name" : "too many names");
    const TXkbInstall done = UninstallXkbLayout(p.files[0]);
    std::cout << "Removed the layout \"" << p.files[0] << "\" from " << UserXkbFolder() << "\n";
    return kExitOk;
}

int PackageImportKle(const std::vector<std::string> &args)
{
    const Parsed p = parse(args, {"-o", "--code-page"});
    if (!p.error.empty())
        return usage(p.error);
    if (p.files.size() != 1)
        return usage(p.files.empty() ? "import-kle needs a JSON file" : "too many file names");
    const std::string out = value(p, "-o");
    if (out.empty())
        return usage("import-kle needs -o FILE.vkt");
    std::string codePage = value(p, "--code-page");
    for (char &c : codePage)
        if (c >= 'a' && c <= 'z')
            c = char(c - 'a' + 'A');
    if (!codePage.empty()) {
        // Only an 8-bit code page holds a character in a byte; the package
        // names the code page it is written in.
        if (CodePage(codePage).number() == 0)
            throw EConvertError("Unknown code page " + codePage + " (a CPnnnn name is expected)");
        if (codePage != CodePage::current().name())
            CodePage::choose(codePage);
    }
    const CodePage &cp = CodePage::current();
    const std::string bytes = readFileBytes(p.files[0], uint64_t(8) << 20);
    TDataMod dm;
    std::vector<std::string> warnings;
    const TExchangeFormat *kle = FindExchangeFormat("kle");
    if (!kle || !kle->CanRead())
        throw EConvertError("keyboard-layout-editor files cannot be read");
    try {
        warnings = kle->ReadKeyboard(dm, bytes, cp);
    } catch (const EConvertError &e) {
        throw EConvertError(p.files[0] + ": " + e.what());
    }
    if (dm.FingerColor == std::array<int32_t, kFingerCount>{})
        dm.FingerColor = DefaultFingerColors();
    NeedFonts();
    DrawKeyPictures(dm, KeyFaces{}, cp);
    if (!dm.SavePackage(out))
        throw EFCreateError(out + ": " + dm.PackageError());
    printWarnings(warnings);
    return kExitOk;
}

} // namespace kf::tool
