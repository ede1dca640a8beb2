#pragma once
// Import of a system keyboard layout: the keys of the main block of a PC
// keyboard and every character they type (plain, Shift, AltGr, Shift+AltGr
// and after each dead accent) become the key table and the character table of
// a keyboard definition. The layouts and the compose rules come from the
// system's XKB data through libxkbcommon.

#include <QString>

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace kf {

class CodePage;
class TDataMod;

// The key block: ISO has the extra key left of Z and the tall Enter key, ANSI
// has neither.
enum class KeyBlock { Iso, Ansi };

struct LayoutImportOptions {
    std::string layout;        // "de"
    std::string variant;       // "nodeadkeys"; empty for the layout itself
    KeyBlock block = KeyBlock::Iso;
    std::string codePage;      // "CP1251" (any case); empty: the code page in force
    // The locale whose system compose table gives the characters of dead key
    // + key ("en_US.UTF-8", "en_US.utf8"); empty: the user's locale (LC_ALL,
    // LC_CTYPE, LANG), or en_US.UTF-8 when the system has no table for it.
    // Only the system's tables are read, never a user's own compose file.
    std::string composeLocale;
};

// One thing the definition could not take over as the layout has it.
struct LayoutImportNote {
    enum class Kind {
        UnheldCharacter,  // a character the code page cannot hold
        OtherDeadKey,     // a dead key other than the eight accents, or one after which
                          // the code page holds no character
        LeftOutLevel,     // a level beyond Shift and AltGr
        LeftOutKey,       // a key left out (Tab, keys with no key-type code)
        UnreachableLevel, // a level the key types cannot reach (Shift on a dead key, ...)
        NoPlainCharacter, // a character key left out: the code page holds nothing it types
                          // without Shift, AltGr or dead key
        SharedPlainCharacter, // a character key left out: another key types its plain
                              // character, also with no modifier
        CapsLockOnly,     // a character the layout types only with Caps Lock (the capital of a
                          // letter whose key has another letter on Shift): the definition's
                          // Caps Lock only swaps a letter key's plain and Shift characters
    };
    Kind kind;
    std::string key;   // the key's Name (UTF-8), or the XKB key name of a left-out key
    std::string level; // "plain", "Shift", "AltGr", "Shift+AltGr", "level 5", "acute + Shift",
                       // "Caps Lock", "Caps Lock+Shift", ...
    QString text;      // the character(s), or a keysym name for a dead key or a non-character
    // A left-out character key: the Name of the key that keeps its plain
    // character (SharedPlainCharacter), and what the key would have typed
    // besides ("Shift", "|"), a dead key as its keysym name.
    std::string keptBy;
    std::vector<std::pair<std::string, QString>> alsoLost;
    // CapsLockOnly: what the key types in the same state without Caps Lock.
    QString withoutCapsLock;

    // One line for the user: "Shift+AltGr on \"A\": \"Æ\" (U+00C6) is not in CP1252".
    std::string Describe() const;
};

struct LayoutImportReport {
    std::string layoutId;    // "de(nodeadkeys)"
    std::string description; // from the layout list, UTF-8
    std::string codePage;    // "CP1252"
    std::string composeLocale; // the locale the system's compose table is listed under
    KeyBlock block = KeyBlock::Iso;
    int keyCount = 0;
    int charCount = 0;       // character rows, composed ones included
    int composedCount = 0;   // of which dead key + key
    std::vector<LayoutImportNote> notes;

    size_t Count(LayoutImportNote::Kind kind) const;
    // The report as text lines (UTF-8): a summary line, then the notes grouped
    // by kind under a heading each.
    std::vector<std::string> Lines() const;
};

// Imports a layout into the data module: the key table and the character
// table are replaced (as by a package load: the key table keeps its order,
// the character table's cursors are made anew); Author and misc name the
// layout; the other settings stay. Key pictures are not drawn (DrawKeyPictures
// does that). Everything is read before anything changes: on failure the
// definition is untouched.
//
// What an import gives the tutor types something on every key: a character
// key for which the code page holds nothing on the plain level is left out,
// and so is a character key whose plain character another key already types
// with no modifier (the key that keeps it: the earlier one in key order, the
// extra key of an ISO block last; keys that type the same with and without
// Shift are one key present twice and both stay). Both are told in the report.
// A dead accent after which the code page holds no character is read as a
// dead key the definition cannot hold (told too), and the layout read again,
// until every dead key left starts an accent some character row has.
//
// Throws EConvertError ("Keyboard layout 'xx' does not exist", an unknown
// code page, or a code page that holds nothing any key of the layout but the
// space bar types) and EInOutError when the XKB data cannot be read.
LayoutImportReport ImportLayout(TDataMod &dm, const LayoutImportOptions &options);

// One key and level of the main block where a definition types other than
// the keymap of the layout.
struct LayoutDifference {
    std::string key;    // the XKB key name ("TLDE")
    std::string level;  // "plain", "Shift", "AltGr", "Shift+AltGr"; empty for a key the
                        // definition does not have
    QString layout;     // what the keymap types: the character, a dead key's keysym name;
                        // empty for nothing
    QString definition; // what the definition types, the same way
    // Why the definition cannot type what the keymap does ("a dead key has
    // no AltGr level in a definition", a key left out by the import's rule);
    // empty when nothing explains the difference.
    std::string why;

    // "TLDE Shift: the layout types \"°\", the definition \"dead_circumflex\" (unexplained)"
    std::string Describe() const;
};

struct LayoutComparison {
    int keys = 0;   // keys of the block the keymap has
    int levels = 0; // their levels compared: plain and Shift, AltGr and Shift+AltGr
                    // where the key has levels of its own for them
    std::vector<LayoutDifference> differences;
    size_t Unexplained() const;
};

// Holds a definition against the keymap of a layout, key by key (by the
// place the import gives each key of the block) and level by level: what the
// keyboard logic types on each key in each state against what the keymap
// types. A character the code page cannot hold, and a dead key other than
// the eight accents, are rightly missing and no difference; composed
// characters and Caps Lock are not compared. The definition's characters are
// read in cp. Throws as ImportLayout for a layout that does not exist.
LayoutComparison CompareWithLayout(TDataMod &dm, const CodePage &cp, const LayoutImportOptions &options);

// The locale name under which the system lists the compose table of a
// locale as the environment spells it: "en_US.UTF-8" for "en_US.utf8",
// "C.UTF-8" for "C.utf8" (the codeset spelled as the X locale files do, then
// their aliases); empty when the system has no table for it.
std::string SystemComposeLocale(const std::string &locale);

// How much of a layout a code page holds, as an import in it takes the
// layout: the distinct letters the keys type without AltGr, with AltGr, and
// after a dead key, and every character row.
struct CodePageFit {
    std::string codePage; // "CP1257"
    int ownLetters = 0;
    int altGrLetters = 0;
    int composedLetters = 0;
    int characters = 0;
    bool language = false; // the code page of the layout's language
    // Fewer own letters; then not the language's code page; then fewer AltGr
    // letters, fewer composed letters, fewer characters.
    bool operator<(const CodePageFit &o) const;
};
// A code page that holds nothing the keys type fits with zeros. Throws as
// ImportLayout for a layout that does not exist or an unknown code page.
CodePageFit FitOfCodePage(const LayoutImportOptions &options, const std::string &codePage);

// Of codePages, the one that fits the layout best (the code page of options
// plays no part); of those that fit equally, the earlier. languageCodePage is
// the code page of the layout's language ("CP1250" for Polish; empty when it
// has none of its own): of the code pages that hold as many of the letters the
// keys type without AltGr, it goes first. Empty for no code page.
std::string ProposeCodePage(const LayoutImportOptions &options, const std::vector<std::string> &codePages,
                            const std::string &languageCodePage = std::string());

// The code pages an import offers, as the import dialog lists them for a
// proposal: the one in force first, then the others a desktop picks
// (CodePage::desktopCodePages), in number order.
std::vector<std::string> ImportCodePages();

// The code page of a layout's language: that of the first of its ISO 639
// codes that has one of its own (CodePage::codePageForLanguage); empty for
// none.
std::string LanguageCodePage(const std::vector<std::string> &languages);

// The code page the import proposes for a layout, in the window and on the
// command line alike: ProposeCodePage over ImportCodePages(), with the
// language of the layout as the system's layout list gives it (none when the
// list cannot be read or lacks the layout). Empty when no code page holds
// anything of it. Throws as ImportLayout for a layout that does not exist.
std::string ProposeCodePageForLayout(const LayoutImportOptions &options);

// "iso" / "ansi" (any case) as a key block; false for anything else.
bool ParseKeyBlock(const std::string &text, KeyBlock &block);
const char *KeyBlockName(KeyBlock block); // "ISO" / "ANSI"

} // namespace kf
