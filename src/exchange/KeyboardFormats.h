#pragma once
// The formats of ExchangeFormats(), one accessor each, and what a format
// offers beyond the common interface.

#include <string>
#include <vector>

namespace kf {

class CodePage;
class TDataMod;
class TExchangeFormat;
struct TExportOptions;
struct TKeyboardView;

// XKB symbols: one "basic" section, compiled by libxkbcommon against the
// system's rules and compared with the keyboard before it is written.
const TExchangeFormat &XkbSymbolsFormat();
// Windows keyboard source (UTF-16LE, CR LF).
const TExchangeFormat &KlcFormat();
// keyboard-layout-editor raw data (JSON); read back by import-kle.
const TExchangeFormat &KleFormat();
// KTouch keyboard layout (XML).
const TExchangeFormat &KTouchKeyboardFormat();

// ---- XKB beyond the symbols file ----------------------------------------------

// What the keyboard types after a dead key that the system's compose table
// does not give, as an XCompose file (which includes the locale's own table
// first); empty when there is nothing. lines: one "dead_acute + a: á" each.
std::string XComposeText(const TKeyboardView &view, std::vector<std::string> &lines);

// A name XKB and the layout registry take: 1..64 of lower-case letters,
// digits, '_' and '-', starting with a letter or digit.
bool IsXkbLayoutName(const std::string &name);

// The user's XKB folder: $XDG_CONFIG_HOME/xkb, else ~/.config/xkb.
std::string UserXkbFolder();

struct TXkbInstall {
    std::string symbolsPath;             // .../xkb/symbols/NAME
    std::string rulesPath;               // .../xkb/rules/evdev.xml
    std::vector<std::string> warnings;   // as ExportKeyboard gives them
};

// Writes the symbols file (proved as the export proves it) and adds or
// replaces the layout's entry in the user's rules/evdev.xml; every other
// entry stays. Throws EConvertError for a refused name or a registry that is
// not XML (left untouched), EFCreateError for an unwritable folder.
TXkbInstall InstallXkbLayout(const TDataMod &dm, const CodePage &cp, const TExportOptions &options);
// Removes the symbols file and the registry entry of a layout; throws
// EConvertError for a refused name, EFOpenError when neither is there.
TXkbInstall UninstallXkbLayout(const std::string &name);

// The registry text with the layout's entry added or replaced (description
// UTF-8, languages ISO 639-2 codes), or removed when description is null.
// An empty text starts a new registry. Throws EConvertError naming the line
// when the text is not XML.
std::string UpdateXkbRegistry(const std::string &xml, const std::string &name, const std::string *description,
                              const std::vector<std::string> &languages);

} // namespace kf
