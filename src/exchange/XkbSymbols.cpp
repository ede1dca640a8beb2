// XKB symbols: the placed keys with their four levels as keysyms, proved by
// compiling the file with libxkbcommon against the system's rules.

#include "exchange/ExchangeFormat.h"
#include "exchange/KeyboardFormats.h"
#include "exchange/KeyboardView.h"
#include "exchange/LayoutImportParts.h"
#include "exchange/XkbLayouts.h"
#include "common/Errors.h"
#include "common/ReplacingFile.h"
#include "common/Translation.h"
#include "model/KeyCodes.h"

#include <QDir>
#include <QTemporaryDir>

#include <cstdarg>
#include <cstdio>
#include <sstream>

namespace kf {

using namespace xkbimport;

namespace {

const char *const kLevelWords[] = {"plain", "Shift", "AltGr", "Shift+AltGr"};
// The name the file is compiled under while it is proved.
const char *const kProofName = "keyfolio";

std::string keysymName(xkb_keysym_t sym)
{
    char buf[64];
    if (sym == XKB_KEY_NoSymbol || xkb_keysym_get_name(sym, buf, sizeof buf) < 0)
        return "NoSymbol";
    return buf;
}

xkb_keysym_t keysymOfChar(char32_t c)
{
    return xkb_utf32_to_keysym(uint32_t(c));
}

// The keysym a level of a key should give; NoSymbol for nothing (an accent
// without a dead keysym too).
xkb_keysym_t expectedSym(const TViewKey &k, int level)
{
    if (const int32_t accent = k.Dead[size_t(level)]) {
        const char *name = DeadKeysymName(accent);
        return name ? xkb_keysym_from_name(name, XKB_KEYSYM_NO_FLAGS) : XKB_KEY_NoSymbol;
    }
    if (const char32_t c = k.Chars[size_t(level)])
        return keysymOfChar(c);
    return XKB_KEY_NoSymbol;
}

// A string of an XKB file: quote and backslash as octal escapes, control
// characters left out.
std::string xkbString(const std::string &text)
{
    std::string out = "\"";
    for (const char c : text) {
        if (c == '"')
            out += "\\042";
        else if (c == '\\')
            out += "\\134";
        else if (static_cast<unsigned char>(c) >= 0x20)
            out += c;
    }
    return out + "\"";
}

bool keyUsesAltGr(const TViewKey &k)
{
    for (int l = 2; l < 4; ++l)
        if (k.Chars[size_t(l)] || (k.Dead[size_t(l)] && k.Dead[size_t(l)] != k.Dead[size_t(l - 2)]))
            return true;
    return false;
}

// The text of the keysym a level gives (for messages).
std::string symText(xkb_keysym_t sym)
{
    if (sym == XKB_KEY_NoSymbol)
        return "nothing";
    const uint32_t c = xkb_keysym_to_utf32(sym);
    std::string name = keysymName(sym);
    if (c >= 0x20 && name.rfind("dead_", 0) != 0) {
        const char32_t ch = c;
        return "\"" + QString::fromUcs4(&ch, 1).toStdString() + "\" (" + name + ")";
    }
    return name;
}

struct LogCollector {
    std::string text;
};

void collectLog(xkb_context *ctx, xkb_log_level, const char *format, va_list args)
{
    auto *log = static_cast<LogCollector *>(xkb_context_get_user_data(ctx));
    char buf[512];
    std::vsnprintf(buf, sizeof buf, format, args);
    if (log && log->text.size() < 2000)
        log->text += buf;
}

class XkbSymbols final : public TExchangeFormat {
public:
    const char *Name() const override { return "xkb"; }
    QString Title() const override { return QStringLiteral("XKB symbols"); }
    QString Filter() const override { return QStringLiteral("XKB symbols (*)"); }

    std::string WriteKeyboard(const TKeyboardView &view, const TExportOptions &options,
                              std::vector<std::string> &warnings) const override
    {
        std::string description = options.Description.empty() ? view.Description.toStdString() : options.Description;
        if (description.empty())
            description = options.Name.empty() ? std::string("Keyfolio keyboard") : options.Name;
        std::ostringstream out;
        out << "// " << xkbString(description) << ": written by Keyfolio from a keyboard package in code page "
            << view.CodePageName << ".\n"
            << "default partial alphanumeric_keys\n"
            << "xkb_symbols \"basic\" {\n"
            << "    name[Group1] = " << xkbString(description) << ";\n\n";
        const bool altGr = view.UsesAltGr();
        for (int index : view.Placed) {
            const TViewKey &k = view.Keys[size_t(index)];
            // The system's own symbols give the key left of Z four levels:
            // the file says what each of them types.
            const int levels = altGr && (keyUsesAltGr(k) || k.Slot == "LSGT") ? 4 : 2;
            out << "    key <" << k.Slot << "> { [ ";
            for (int l = 0; l < levels; ++l) {
                const int32_t accent = k.Dead[size_t(l)];
                if (accent && !DeadKeysymName(accent) && (l == 0 || accent != k.Dead[size_t(l - 1)]))
                    warnings.push_back(TranslateWith("%1 on \"%2\" is a dead key XKB has no keysym for: left out",
                                                     {kLevelWords[l], k.Name.toStdString()}));
                // A level that types nothing says so: an empty one would let
                // the system's own symbols for the key show through.
                const xkb_keysym_t sym = expectedSym(k, l);
                out << (l ? ", " : "") << (sym == XKB_KEY_NoSymbol ? std::string("VoidSymbol") : keysymName(sym));
            }
            out << " ] };\n";
        }
        if (altGr)
            out << "\n    include \"level3(ralt_switch)\"\n";
        out << "};\n";

        std::vector<std::string> composeLines;
        XComposeText(view, composeLines);
        if (!composeLines.empty()) {
            warnings.push_back(LibraryText("The system's compose table does not give %s of what the keyboard types "
                                           "after a dead key; a symbols file cannot carry it (--compose writes it "
                                           "as an XCompose file):",
                                           std::to_string(composeLines.size())));
            for (const std::string &line : composeLines)
                warnings.push_back("  " + line);
        }
        return out.str();
    }

    void CheckKeyboard(const TKeyboardView &view, const std::string &bytes) const override
    {
        QTemporaryDir dir;
        if (!dir.isValid() || !QDir(dir.path()).mkpath(QStringLiteral("symbols")))
            throw EFCreateError(LibraryText("No temporary folder to compile the XKB file in"));
        const std::string root = QDir::toNativeSeparators(dir.path()).toLocal8Bit().toStdString();
        ReplacingFile::writeWhole(root + "/symbols/" + kProofName, bytes);

        LogCollector log;
        XkbPtr<xkb_context> ctx(
            xkb_context_new(xkb_context_flags(XKB_CONTEXT_NO_ENVIRONMENT_NAMES | XKB_CONTEXT_NO_DEFAULT_INCLUDES)));
        if (!ctx)
            throw EInOutError("cannot start libxkbcommon");
        xkb_context_set_user_data(ctx.get(), &log);
        xkb_context_set_log_fn(ctx.get(), collectLog);
        xkb_context_set_log_level(ctx.get(), XKB_LOG_LEVEL_ERROR);
        if (!xkb_context_include_path_append(ctx.get(), root.c_str())
            || !xkb_context_include_path_append(ctx.get(), XkbConfigRoot().c_str()))
            throw EInOutError("no keyboard data in " + XkbConfigRoot());
        const xkb_rule_names names{"evdev", "pc105", kProofName, "", ""};
        XkbPtr<xkb_keymap> keymap(xkb_keymap_new_from_names(ctx.get(), &names, XKB_KEYMAP_COMPILE_NO_FLAGS));
        if (!keymap)
            throw EConvertError(LibraryText("libxkbcommon refuses the XKB file: %s", log.text));

        const xkb_mod_index_t shiftIndex = xkb_keymap_mod_get_index(keymap.get(), XKB_MOD_NAME_SHIFT);
        const xkb_mod_mask_t shiftMask = shiftIndex == XKB_MOD_INVALID ? 0 : xkb_mod_mask_t(1) << shiftIndex;
        xkb_mod_mask_t altGrMask = 0;
        if (const xkb_keycode_t ralt = xkb_keymap_key_by_name(keymap.get(), "RALT"); ralt != XKB_KEYCODE_INVALID) {
            const xkb_keysym_t *syms = nullptr;
            if (xkb_keymap_key_get_syms_by_level(keymap.get(), ralt, 0, 0, &syms) == 1
                && syms[0] == XKB_KEY_ISO_Level3_Shift) {
                XkbPtr<xkb_state> probe(xkb_state_new(keymap.get()));
                xkb_state_update_key(probe.get(), ralt, XKB_KEY_DOWN);
                altGrMask = xkb_state_serialize_mods(probe.get(), XKB_STATE_MODS_EFFECTIVE);
            }
        }
        std::array<XkbPtr<xkb_state>, 4> states;
        for (int s = 0; s < 4; ++s) {
            states[size_t(s)].reset(xkb_state_new(keymap.get()));
            xkb_state_update_mask(states[size_t(s)].get(), ((s & 1) ? shiftMask : 0) | ((s & 2) ? altGrMask : 0), 0,
                                  0, 0, 0, 0);
        }

        for (int index : view.Placed) {
            const TViewKey &k = view.Keys[size_t(index)];
            const xkb_keycode_t kc = xkb_keymap_key_by_name(keymap.get(), k.Slot.c_str());
            if (kc == XKB_KEYCODE_INVALID)
                throw EConvertError(LibraryText("The compiled XKB file has no key <%s>", k.Slot));
            std::array<xkb_keysym_t, 4> got{};
            for (int l = 0; l < 4; ++l) {
                const xkb_level_index_t level = xkb_state_key_get_level(states[size_t(l)].get(), kc, 0);
                const xkb_keysym_t *syms = nullptr;
                const int n = xkb_keymap_key_get_syms_by_level(keymap.get(), kc, 0, level, &syms);
                got[size_t(l)] = n == 1 && syms[0] != XKB_KEY_VoidSymbol ? syms[0] : XKB_KEY_NoSymbol;
                const xkb_keysym_t want = expectedSym(k, l);
                bool same = got[size_t(l)] == want;
                if (!same && want != XKB_KEY_NoSymbol && !k.Dead[size_t(l)] && got[size_t(l)] != XKB_KEY_NoSymbol)
                    same = xkb_keysym_to_utf32(got[size_t(l)]) == uint32_t(k.Chars[size_t(l)]);
                // Where the keyboard types nothing, the level below may show
                // through (AltGr on a key of two levels).
                const size_t below = l == 3 ? 1 : 0;
                if (!same && want == XKB_KEY_NoSymbol && l > 0 && got[size_t(l)] == got[below])
                    same = true;
                if (!same)
                    throw EConvertError(TranslateWith(
                        "The XKB file does not type what the keyboard types: %1 on \"%2\" <%3> gives %4, the "
                        "keyboard types %5",
                        {kLevelWords[l], k.Name.toStdString(), k.Slot, symText(got[size_t(l)]), symText(want)}));
            }
        }
    }
};

} // namespace

const TExchangeFormat &XkbSymbolsFormat()
{
    static const XkbSymbols format;
    return format;
}

std::string XComposeText(const TKeyboardView &view, std::vector<std::string> &lines)
{
    lines.clear();
    if (view.Compositions.empty())
        return std::string();
    XkbPtr<xkb_context> ctx(xkb_context_new(XKB_CONTEXT_NO_ENVIRONMENT_NAMES));
    if (!ctx)
        throw EInOutError("cannot start libxkbcommon");
    xkb_context_set_log_level(ctx.get(), XKB_LOG_LEVEL_CRITICAL);
    std::string listedAs;
    std::string locale = UserLocale();
    XkbPtr<xkb_compose_table> table;
    if (locale != "C" && locale != "POSIX" && !locale.empty())
        table = SystemComposeTable(ctx.get(), locale, listedAs);
    if (!table)
        table = SystemComposeTable(ctx.get(), "en_US.UTF-8", listedAs);
    XkbPtr<xkb_compose_state> state(table ? xkb_compose_state_new(table.get(), XKB_COMPOSE_STATE_NO_FLAGS) : nullptr);

    std::string out;
    for (const TComposition &c : view.Compositions) {
        const char *dead = DeadKeysymName(c.Accent);
        if (!dead)
            continue;
        const xkb_keysym_t deadSym = xkb_keysym_from_name(dead, XKB_KEYSYM_NO_FLAGS);
        const xkb_keysym_t baseSym = keysymOfChar(c.Base);
        const QString result = QString::fromUcs4(&c.Result, 1);
        if (state) {
            xkb_compose_state_reset(state.get());
            xkb_compose_state_feed(state.get(), deadSym);
            char utf8[64];
            if (xkb_compose_state_feed(state.get(), baseSym) == XKB_COMPOSE_FEED_ACCEPTED
                && xkb_compose_state_get_status(state.get()) == XKB_COMPOSE_COMPOSED
                && xkb_compose_state_get_utf8(state.get(), utf8, sizeof utf8) > 0
                && QString::fromUtf8(utf8) == result)
                continue;
        }
        std::string text = result.toStdString();
        std::string quoted;
        for (const char ch : text)
            quoted += ch == '"' || ch == '\\' ? std::string("\\") + ch : std::string(1, ch);
        out += "<" + std::string(dead) + "> <" + keysymName(baseSym) + "> : \"" + quoted + "\" "
               + keysymName(keysymOfChar(c.Result)) + "\n";
        const QString base = QString::fromUcs4(&c.Base, 1);
        lines.push_back(std::string(dead) + " + " + base.toStdString() + ": " + text);
    }
    if (out.empty())
        return out;
    return "# What the keyboard types after a dead key beyond the system's compose table.\n"
           "include \"%L\"\n\n"
           + out;
}

} // namespace kf
