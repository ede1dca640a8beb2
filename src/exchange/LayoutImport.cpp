#include "exchange/LayoutImport.h"
#include "exchange/LayoutImportParts.h"
#include "common/CodePage.h"
#include "common/Errors.h"
#include "common/TextFile.h"
#include "common/Translation.h"
#include "model/KeyCodes.h"
#include "model/MainData.h"
#include "exchange/XkbLayouts.h"

#include <xkbcommon/xkbcommon-compose.h>
#include <xkbcommon/xkbcommon.h>

#include <QChar>

#include <algorithm>
#include <array>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string_view>
#include <tuple>
#include <vector>

namespace kf {

using namespace xkbimport;

namespace {

// ---- key codes of the definition ----------------------------------------------

enum : int32_t {
    kAlpha = KeyTypes::Alpha, kNum = KeyTypes::Num, kSpace = KeyTypes::Space, kBackspace = KeyTypes::Backspace,
    kEnter = KeyTypes::Enter, kAlt = KeyTypes::Alt, kCapsLock = KeyTypes::CapsLock, kDelete = KeyTypes::Delete,
    kAltGr = KeyTypes::AltGr, kLShift = KeyTypes::LShift, kRShift = KeyTypes::RShift, kLCtrl = KeyTypes::LCtrl,
    kRCtrl = KeyTypes::RCtrl,
};

struct AccentInfo {
    int32_t code;
    xkb_keysym_t deadSym;
    const char *keyName; // the Name of a key whose plain level is this dead key
    const char *word;    // in character names and in the report
};

// The accents a dead keysym maps to (2007 has no dead keysym).
const AccentInfo kAccents[] = {
    {KeyTypes::FirstAccent, XKB_KEY_dead_grave, "Grave", "grave"},
    {KeyTypes::Acute, XKB_KEY_dead_acute, "Acute", "acute"},
    {KeyTypes::Circumflex, XKB_KEY_dead_circumflex, "Circumflex", "circumflex"},
    {KeyTypes::Tilde, XKB_KEY_dead_tilde, "Tilde", "tilde"},
    {KeyTypes::Umlaut, XKB_KEY_dead_diaeresis, "Umlaut", "umlaut"},
    {KeyTypes::Ring, XKB_KEY_dead_abovering, "Ring", "ring"},
    {KeyTypes::LastAccent, XKB_KEY_dead_cedilla, "Cedilla", "cedilla"},
};

const AccentInfo *accentOfSym(xkb_keysym_t sym)
{
    for (const AccentInfo &a : kAccents)
        if (a.deadSym == sym)
            return &a;
    return nullptr;
}

const AccentInfo *accentOfCode(int32_t code)
{
    for (const AccentInfo &a : kAccents)
        if (a.code == code)
            return &a;
    return nullptr;
}

std::string keysymName(xkb_keysym_t sym)
{
    char buf[64];
    if (xkb_keysym_get_name(sym, buf, sizeof buf) < 0)
        return "unknown";
    return buf;
}

bool isDeadSym(xkb_keysym_t sym)
{
    return sym != XKB_KEY_NoSymbol && keysymName(sym).rfind("dead_", 0) == 0;
}

// Keys whose keysym gives them an editing, lock or modifier code.
struct SpecialKey {
    xkb_keysym_t sym;
    int32_t type;
    const char *name;
    const char *hint;
};

const SpecialKey kSpecialKeys[] = {
    {XKB_KEY_BackSpace, kBackspace, "Backspace", "Delete the character before the cursor"},
    {XKB_KEY_Return, kEnter, "Enter", "New line"},
    {XKB_KEY_Caps_Lock, kCapsLock, "Caps Lock", "Caps Lock"},
    {XKB_KEY_Delete, kDelete, "Delete", "Delete the character after the cursor"},
    {XKB_KEY_Shift_L, kLShift, "L Shift", "Left Shift"},
    {XKB_KEY_Shift_R, kRShift, "R Shift", "Right Shift"},
    {XKB_KEY_Control_L, kLCtrl, "L Ctrl", "Left Ctrl"},
    {XKB_KEY_Control_R, kRCtrl, "R Ctrl", "Right Ctrl"},
    {XKB_KEY_Alt_L, kAlt, "Alt", "Alt"},
    {XKB_KEY_Alt_R, kAlt, "R Alt", "Right Alt"},
    {XKB_KEY_Meta_L, kAlt, "Alt", "Alt"},
    {XKB_KEY_Meta_R, kAlt, "R Alt", "Right Alt"},
    {XKB_KEY_ISO_Level3_Shift, kAltGr, "AltGr", "AltGr: the third and fourth characters"},
};

const SpecialKey *specialOf(xkb_keysym_t sym)
{
    for (const SpecialKey &s : kSpecialKeys)
        if (s.sym == sym)
            return &s;
    return nullptr;
}

} // namespace

namespace xkbimport {

Keymap OpenKeymap(const std::string &layoutName, const std::string &variantName)
{
    Keymap km;
    // The system's keyboard data only, where the layouts are listed from: a
    // user's own (~/.xkb, $XDG_CONFIG_HOME/xkb, $XKB_CONFIG_EXTRA_PATH) would
    // make an import differ from machine to machine.
    km.ctx.reset(xkb_context_new(xkb_context_flags(XKB_CONTEXT_NO_ENVIRONMENT_NAMES | XKB_CONTEXT_NO_DEFAULT_INCLUDES)));
    if (!km.ctx)
        throw EInOutError("cannot start libxkbcommon");
    if (!xkb_context_include_path_append(km.ctx.get(), XkbConfigRoot().c_str()))
        throw EInOutError("no keyboard data in " + XkbConfigRoot());
    xkb_context_set_log_level(km.ctx.get(), XKB_LOG_LEVEL_CRITICAL);
    const std::string id = variantName.empty() ? layoutName : layoutName + "(" + variantName + ")";
    std::string layout, variant;
    if (!ParseLayoutId(id, layout, variant))
        throw EConvertError(LibraryText("Keyboard layout '%s' does not exist", id));
    const xkb_rule_names names{"evdev", "pc105", layout.c_str(), variant.c_str(), ""};
    km.keymap.reset(xkb_keymap_new_from_names(km.ctx.get(), &names, XKB_KEYMAP_COMPILE_NO_FLAGS));
    if (!km.keymap)
        throw EConvertError(LibraryText("Keyboard layout '%s' does not exist", id));

    // Shift, AltGr (the level-three modifier that the AltGr key sets, when
    // the key to the right of the space bar is one) and Caps Lock.
    const xkb_mod_index_t shiftIndex = xkb_keymap_mod_get_index(km.keymap.get(), XKB_MOD_NAME_SHIFT);
    km.shift = shiftIndex == XKB_MOD_INVALID ? 0 : xkb_mod_mask_t(1) << shiftIndex;
    const xkb_mod_index_t lockIndex = xkb_keymap_mod_get_index(km.keymap.get(), XKB_MOD_NAME_CAPS);
    km.lock = lockIndex == XKB_MOD_INVALID ? 0 : xkb_mod_mask_t(1) << lockIndex;
    const xkb_keycode_t ralt = xkb_keymap_key_by_name(km.keymap.get(), "RALT");
    if (ralt != XKB_KEYCODE_INVALID) {
        const xkb_keysym_t *syms = nullptr;
        if (xkb_keymap_key_get_syms_by_level(km.keymap.get(), ralt, 0, 0, &syms) == 1
            && syms[0] == XKB_KEY_ISO_Level3_Shift) {
            XkbPtr<xkb_state> probe(xkb_state_new(km.keymap.get()));
            xkb_state_update_key(probe.get(), ralt, XKB_KEY_DOWN);
            km.altGr = xkb_state_serialize_mods(probe.get(), XKB_STATE_MODS_EFFECTIVE);
        }
    }
    return km;
}

XkbPtr<xkb_state> Keymap::State(bool withShift, bool withAltGr, bool withCapsLock) const
{
    XkbPtr<xkb_state> state(xkb_state_new(keymap.get()));
    const xkb_mod_mask_t mods = (withShift ? shift : 0) | (withAltGr ? altGr : 0);
    // Caps Lock is a locked modifier.
    xkb_state_update_mask(state.get(), mods, 0, withCapsLock ? lock : 0, 0, 0, 0);
    return state;
}

int32_t AccentOfDeadSym(xkb_keysym_t sym)
{
    for (const AccentInfo &a : kAccents)
        if (a.deadSym == sym)
            return a.code;
    return 0;
}

} // namespace xkbimport

namespace {

// ---- the import ---------------------------------------------------------------------

// What a key gives in one of the four states.
struct Level {
    bool reached = false;   // the state reaches a level of its own
    int level = -1;
    xkb_keysym_t sym = XKB_KEY_NoSymbol;
    char32_t ch = 0;        // 0 when the keysym is no character
    const AccentInfo *accent = nullptr;
    bool otherDead = false;
};

enum State { Plain = 0, Shifted = 1, AltGrState = 2, ShiftAltGr = 3 };
const char *const kStateLevel[] = {"plain", "Shift", "AltGr", "Shift+AltGr"};
const char *const kStateRow[] = {" normal", " shifted", " AltGr", " AltGr shifted"};
const char *const kStateComposed[] = {"", " capital", " AltGr", " AltGr capital"};

bool stateShift(int s)
{
    return s == Shifted || s == ShiftAltGr;
}
bool stateAltGr(int s)
{
    return s == AltGrState || s == ShiftAltGr;
}

QString charText(char32_t c)
{
    return QString::fromUcs4(&c, 1);
}

QString levelText(const Level &l)
{
    if (l.ch)
        return charText(l.ch);
    return QString::fromStdString(keysymName(l.sym));
}

struct CharRow {
    std::string name;
    int32_t code;
    int32_t keyNo;
    bool shift;
    bool altGr;
    int32_t accent;
};

struct KeyRow {
    std::string name;
    int32_t keyValue;
    int32_t type;
    int32_t type2;
    int32_t finger;
    int32_t x, y, w, h;
    std::string hint;
    std::array<Level, 4> levels;
    // What the key types in each state with Caps Lock as well (0: no
    // character), as the keymap capitalises it.
    std::array<char32_t, 4> capsLock{};
    std::string nameUtf8;
    const char *xkb = ""; // the XKB key name
};

// A code page that holds nothing the keys of a layout type; the caller sees
// an EConvertError.
class NothingHeldError : public EConvertError {
public:
    using EConvertError::EConvertError;
};

class Importer {
public:
    // emptyAccents: dead accents read as dead keys the definition cannot hold.
    Importer(const LayoutImportOptions &options, const CodePage &cp, LayoutImportReport &report,
             std::set<int32_t> emptyAccents = {})
        : m_options(options), m_cp(cp), m_report(report), m_emptyAccents(std::move(emptyAccents))
    {
    }

    void Run();

    std::vector<KeyRow> keys;
    std::vector<CharRow> chars;

private:
    void note(LayoutImportNote::Kind kind, const std::string &key, const std::string &level, const QString &text)
    {
        m_report.notes.push_back({kind, key, level, text, std::string(), {}, QString()});
    }
    // A level the definition cannot type: told as what it is.
    void noteLost(const KeyRow &k, int state)
    {
        const Level &l = k.levels[size_t(state)];
        if (l.sym == XKB_KEY_NoSymbol)
            return;
        note(l.otherDead ? LayoutImportNote::Kind::OtherDeadKey : LayoutImportNote::Kind::UnreachableLevel,
             k.nameUtf8, kStateLevel[state], levelText(l));
    }
    bool addChar(const KeyRow &k, const std::string &suffix, const std::string &level, char32_t c, bool shift,
                 bool altGr, int32_t accent);
    Level levelOf(xkb_keycode_t kc, xkb_state *state);
    void openKeymap();
    void readKey(const KeySlot &slot);
    void leaveOutKeysTypingNothing();
    void compose();
    void noteCapsLockOnly();

    const LayoutImportOptions &m_options;
    const CodePage &m_cp;
    LayoutImportReport &m_report;
    std::set<int32_t> m_emptyAccents;
    XkbPtr<xkb_context> m_ctx;
    XkbPtr<xkb_keymap> m_keymap;
    std::array<XkbPtr<xkb_state>, 4> m_states;
    std::array<XkbPtr<xkb_state>, 4> m_capsStates; // the four states with Caps Lock engaged
    bool m_hasAltGr = false;
};

void Importer::openKeymap()
{
    Keymap km = OpenKeymap(m_options.layout, m_options.variant);
    m_hasAltGr = km.altGr != 0;
    for (int s = 0; s < 4; ++s) {
        m_states[size_t(s)] = km.State(stateShift(s), stateAltGr(s), false);
        m_capsStates[size_t(s)] = km.State(stateShift(s), stateAltGr(s), true);
    }
    m_ctx = std::move(km.ctx);
    m_keymap = std::move(km.keymap);
}

Level Importer::levelOf(xkb_keycode_t kc, xkb_state *state)
{
    Level l;
    l.level = int(xkb_state_key_get_level(state, kc, 0));
    const xkb_keysym_t *syms = nullptr;
    const int n = xkb_keymap_key_get_syms_by_level(m_keymap.get(), kc, 0, xkb_level_index_t(l.level), &syms);
    if (n < 1)
        return l;
    l.sym = syms[0];
    if (n > 1) // several keysyms on one level: no single character
        return l;
    l.accent = accentOfSym(l.sym);
    if (l.accent && m_emptyAccents.count(l.accent->code))
        l.accent = nullptr;
    l.otherDead = !l.accent && isDeadSym(l.sym);
    const uint32_t c = xkb_keysym_to_utf32(l.sym);
    if (c >= 0x20 && c != 0x7F && !(c >= 0x80 && c < 0xA0) && !l.accent && !l.otherDead)
        l.ch = c;
    return l;
}

bool Importer::addChar(const KeyRow &k, const std::string &suffix, const std::string &level, char32_t c, bool shift,
                       bool altGr, int32_t accent)
{
    uint8_t byte = 0;
    if (!m_cp.fromUnicode(c, byte)) {
        note(LayoutImportNote::Kind::UnheldCharacter, k.nameUtf8, level, charText(c));
        return false;
    }
    std::string name = k.name + suffix;
    if (name.size() > 30)
        name.resize(30);
    chars.push_back({name, int32_t(byte), k.keyValue, shift, altGr, accent});
    return true;
}

void Importer::readKey(const KeySlot &slot)
{
    const xkb_keycode_t kc = xkb_keymap_key_by_name(m_keymap.get(), slot.xkb);
    if (kc == XKB_KEYCODE_INVALID)
        return;
    KeyRow k;
    k.xkb = slot.xkb;
    for (int s = 0; s < 4; ++s) {
        k.levels[size_t(s)] = levelOf(kc, m_states[size_t(s)].get());
        // One keysym, capitalised by the keymap's rules for Caps Lock.
        const xkb_keysym_t capsSym = xkb_state_key_get_one_sym(m_capsStates[size_t(s)].get(), kc);
        const uint32_t c = xkb_keysym_to_utf32(capsSym);
        if (!isDeadSym(capsSym) && c >= 0x20 && c != 0x7F && !(c >= 0x80 && c < 0xA0))
            k.capsLock[size_t(s)] = c;
    }
    // A level is reached when its state leads to a level of its own: AltGr on
    // a key without a third level types the plain characters, which the
    // definition does not repeat.
    k.levels[Plain].reached = true;
    k.levels[Shifted].reached = true;
    for (int s : {AltGrState, ShiftAltGr})
        k.levels[size_t(s)].reached = m_hasAltGr && k.levels[size_t(s)].level != k.levels[size_t(s - 2)].level;
    const Level &plain = k.levels[Plain];
    const Level &shifted = k.levels[Shifted];
    k.nameUtf8 = slot.xkb;
    if (slot.alwaysLeftOut) {
        note(LayoutImportNote::Kind::LeftOutKey, slot.xkb, std::string(), levelText(plain));
        return;
    }

    k.keyValue = int32_t(keys.size()) + 1;
    k.finger = slot.finger;
    k.x = slot.x;
    k.y = slot.y;
    k.w = slot.w;
    k.h = slot.h;
    k.type = 0;
    k.type2 = 0;

    if (const SpecialKey *special = specialOf(plain.sym)) {
        k.type = special->type;
        k.name = special->name;
        k.nameUtf8 = special->name;
        k.hint = special->hint;
        keys.push_back(std::move(k));
        return;
    }

    // Its Name: the upper case of the plain character, else a short name.
    QString hint;
    auto hintAdd = [&hint](const QString &s) {
        if (!hint.isEmpty())
            hint += QLatin1Char(' ');
        hint += s;
    };
    if (plain.sym == XKB_KEY_space) {
        k.name = "Space";
    } else if (plain.accent) {
        k.name = plain.accent->keyName;
    } else {
        // The first of these that no key before it has: the capital of its
        // plain character, the plain character, its short name, its XKB key
        // name (which no other key has). Two keys
        // whose plain characters share a capital (Greek final and medial
        // sigma, Turkish dotless and dotted i) or that repeat one character
        // (the extra key of an ISO keyboard) keep apart.
        uint8_t byte = 0;
        std::vector<std::string> names;
        const char32_t upper = plain.ch ? char32_t(QChar::toUpper(uint(plain.ch))) : 0;
        if (upper > 0x20 && m_cp.fromUnicode(upper, byte))
            names.emplace_back(1, char(byte));
        if (plain.ch > 0x20 && m_cp.fromUnicode(plain.ch, byte))
            names.emplace_back(1, char(byte));
        names.emplace_back(slot.shortName);
        k.name = slot.xkb;
        for (const std::string &name : names) {
            if (!std::any_of(keys.begin(), keys.end(), [&name](const KeyRow &other) { return other.name == name; })) {
                k.name = name;
                break;
            }
        }
    }
    k.nameUtf8 = m_cp.decode(k.name).toStdString();

    const size_t firstChar = chars.size();
    if (plain.accent) {
        // A dead key: KeyType2 is its accent under Shift (the same accent
        // when Shift gives no other one), or, when Shift types a character
        // (the degree sign on the German circumflex key), a character key's
        // type and that character's row; its AltGr levels cannot be typed.
        k.type = plain.accent->code;
        if (shifted.accent) {
            k.type2 = shifted.accent->code;
        } else if (shifted.ch) {
            k.type2 = kNum;
            if (addChar(k, kStateRow[Shifted], kStateLevel[Shifted], shifted.ch, true, false, 0))
                hintAdd(QStringLiteral("Shift: ") + charText(shifted.ch));
            else
                k.type2 = k.type; // the code page cannot hold it: told as such
        } else {
            k.type2 = k.type;
            if (shifted.sym != plain.sym)
                noteLost(k, Shifted);
        }
        hintAdd(QStringLiteral("dead ") + QString::fromLatin1(plain.accent->word));
        if (k.type2 != k.type && KeyTypes::IsAccent(k.type2))
            hintAdd(QStringLiteral("Shift: dead ") + QString::fromLatin1(shifted.accent->word));
        for (int s : {AltGrState, ShiftAltGr})
            if (k.levels[size_t(s)].reached)
                noteLost(k, s);
    } else {
        const Level &altGr = k.levels[AltGrState];
        const Level &shiftAltGr = k.levels[ShiftAltGr];
        // A dead key under AltGr becomes KeyType2; it then holds for both
        // AltGr states.
        if (altGr.reached && altGr.accent)
            k.type2 = altGr.accent->code;
        else if (shiftAltGr.reached && shiftAltGr.accent && !(altGr.reached && altGr.ch))
            k.type2 = shiftAltGr.accent->code;
        const bool space = plain.sym == XKB_KEY_space;
        k.type = space ? kSpace : kNum;
        if (plain.ch && shifted.ch && plain.ch != shifted.ch && char32_t(QChar::toUpper(uint(plain.ch))) == shifted.ch)
            k.type = kAlpha;
        for (int s = 0; s < 4; ++s) {
            const Level &l = k.levels[size_t(s)];
            if (!l.reached)
                continue;
            if (stateAltGr(s) && k.type2) {
                if (!(l.accent && l.accent->code == k.type2))
                    noteLost(k, s);
                continue;
            }
            if (l.ch) {
                if (addChar(k, kStateRow[s], kStateLevel[s], l.ch, stateShift(s), stateAltGr(s), 0))
                    hintAdd(charText(l.ch));
            } else if (!(s == Shifted && l.sym == plain.sym)) {
                noteLost(k, s);
            }
        }
        if (k.type2)
            hintAdd(QStringLiteral("AltGr: dead ") + QString::fromLatin1(accentOfCode(k.type2)->word));
        if (chars.size() == firstChar && !k.type2 && !std::any_of(k.levels.begin(), k.levels.end(), [](const Level &l) {
                return l.reached && l.ch;
            })) {
            // Nothing it types: no key-type code.
            note(LayoutImportNote::Kind::LeftOutKey, slot.xkb, std::string(), levelText(plain));
            return;
        }
    }

    // Levels no state of the definition reaches (a fifth level, or AltGr
    // levels when the layout has no AltGr key).
    std::set<int> reached;
    for (const Level &l : k.levels)
        if (l.reached)
            reached.insert(l.level);
    const xkb_level_index_t count = xkb_keymap_num_levels_for_key(m_keymap.get(), kc, 0);
    for (xkb_level_index_t lv = 0; lv < count; ++lv) {
        if (reached.count(int(lv)))
            continue;
        const xkb_keysym_t *syms = nullptr;
        const int n = xkb_keymap_key_get_syms_by_level(m_keymap.get(), kc, 0, lv, &syms);
        if (n < 1)
            continue;
        Level l;
        l.sym = syms[0];
        const uint32_t c = xkb_keysym_to_utf32(l.sym);
        l.ch = n == 1 && c >= 0x20 && !isDeadSym(l.sym) ? c : 0;
        note(LayoutImportNote::Kind::LeftOutLevel, k.nameUtf8, "level " + std::to_string(lv + 1), levelText(l));
    }

    std::string hintBytes = plain.sym == XKB_KEY_space ? std::string("Space bar") : m_cp.encode(hint);
    if (hintBytes.size() > 127)
        hintBytes.resize(127);
    k.hint = std::move(hintBytes);
    keys.push_back(std::move(k));
}

bool isCharacterKey(const KeyRow &k)
{
    return k.type >= kAlpha && k.type <= kSpace;
}

// Keys are left out before compose() runs, so the rows are those of the key's
// own levels.
void Importer::leaveOutKeysTypingNothing()
{
    // Per key: its plain character's byte (-1: none), and what it types
    // without AltGr, as twins are told apart.
    std::vector<int> plainByte(keys.size(), -1);
    std::vector<std::vector<std::pair<bool, int32_t>>> typed(keys.size());
    for (const CharRow &c : chars) {
        const size_t i = size_t(c.keyNo - 1);
        if (c.altGr || c.accent != 0)
            continue;
        if (!c.shift && plainByte[i] < 0)
            plainByte[i] = c.code;
        typed[i].push_back({c.shift, c.code});
    }
    for (auto &t : typed) {
        std::sort(t.begin(), t.end());
        t.erase(std::unique(t.begin(), t.end()), t.end());
    }

    struct Out {
        LayoutImportNote::Kind kind;
        size_t keptBy;
    };
    std::map<size_t, Out> out;
    for (size_t i = 0; i < keys.size(); ++i)
        if (isCharacterKey(keys[i]) && plainByte[i] < 0)
            out.emplace(i, Out{LayoutImportNote::Kind::NoPlainCharacter, 0});

    // One plain character on several keys: the learner could not tell which
    // one is meant. The extra key of an ISO block yields to the main block,
    // otherwise the earlier key in key order keeps it.
    std::map<int, std::vector<size_t>> byCharacter;
    for (size_t i = 0; i < keys.size(); ++i)
        if (isCharacterKey(keys[i]) && plainByte[i] >= 0)
            byCharacter[plainByte[i]].push_back(i);
    for (auto &[byte, list] : byCharacter) {
        if (list.size() < 2)
            continue;
        std::stable_sort(list.begin(), list.end(), [this](size_t a, size_t b) {
            return (std::string_view(keys[a].xkb) == "LSGT") < (std::string_view(keys[b].xkb) == "LSGT");
        });
        const size_t keeper = list.front();
        for (size_t j = 1; j < list.size(); ++j) {
            const size_t i = list[j];
            const bool twin = keys[i].type == keys[keeper].type && typed[i] == typed[keeper];
            if (!twin)
                out.emplace(i, Out{LayoutImportNote::Kind::SharedPlainCharacter, keeper});
        }
    }
    if (out.empty())
        return;

    for (const auto &[i, why] : out) {
        const KeyRow &k = keys[i];
        LayoutImportNote n{why.kind, k.xkb, kStateLevel[Plain], QString(), std::string(), {}, QString()};
        if (why.kind == LayoutImportNote::Kind::SharedPlainCharacter) {
            n.text = m_cp.decode(std::string(1, char(plainByte[i])));
            n.keptBy = keys[why.keptBy].nameUtf8;
        } else {
            n.text = levelText(k.levels[Plain]);
        }
        for (const CharRow &c : chars)
            if (c.keyNo == k.keyValue && (c.shift || c.altGr))
                n.alsoLost.emplace_back(kStateLevel[(c.shift ? 1 : 0) + (c.altGr ? 2 : 0)],
                                        m_cp.decode(std::string(1, char(c.code))));
        if (k.type2)
            n.alsoLost.emplace_back(kStateLevel[AltGrState], QString::fromStdString(keysymName(accentOfCode(k.type2)->deadSym)));
        m_report.notes.push_back(std::move(n));
    }

    // The keys that stay are numbered anew, in their order.
    std::vector<int32_t> newValue(keys.size(), 0);
    std::vector<KeyRow> kept;
    for (size_t i = 0; i < keys.size(); ++i) {
        if (out.count(i))
            continue;
        keys[i].keyValue = int32_t(kept.size()) + 1;
        newValue[i] = keys[i].keyValue;
        kept.push_back(std::move(keys[i]));
    }
    std::vector<CharRow> keptChars;
    for (CharRow &c : chars) {
        const int32_t value = newValue[size_t(c.keyNo - 1)];
        if (value == 0)
            continue;
        c.keyNo = value;
        keptChars.push_back(std::move(c));
    }
    keys = std::move(kept);
    chars = std::move(keptChars);
}

void Importer::compose()
{
    std::set<int32_t> accents;
    for (const KeyRow &k : keys) {
        if (k.type > KeyTypes::AccentBase)
            accents.insert(k.type);
        if (k.type2 > KeyTypes::AccentBase)
            accents.insert(k.type2);
    }
    if (accents.empty())
        return;

    std::string locale = m_options.composeLocale;
    if (locale.empty()) {
        locale = UserLocale();
        if (locale == "C" || locale == "POSIX")
            locale.clear();
    }
    std::string listedAs;
    XkbPtr<xkb_compose_table> table;
    if (!locale.empty())
        table = SystemComposeTable(m_ctx.get(), locale, listedAs);
    if (!table && m_options.composeLocale.empty()) {
        locale = "en_US.UTF-8";
        table = SystemComposeTable(m_ctx.get(), locale, listedAs);
    }
    if (!table)
        throw EInOutError("no compose table for the locale \"" + locale + "\"");
    m_report.composeLocale = listedAs;
    XkbPtr<xkb_compose_state> state(xkb_compose_state_new(table.get(), XKB_COMPOSE_STATE_NO_FLAGS));

    for (const int32_t accent : accents) {
        const AccentInfo *a = accentOfCode(accent);
        for (const KeyRow &k : keys) {
            if (k.type >= kBackspace)
                continue;
            for (int s = 0; s < 4; ++s) {
                const Level &l = k.levels[size_t(s)];
                // Only a state in which the key types a character looks up
                // composed characters.
                if (!l.reached || (stateAltGr(s) && k.type2) || l.sym == XKB_KEY_NoSymbol || l.accent || l.otherDead)
                    continue;
                xkb_compose_state_reset(state.get());
                xkb_compose_state_feed(state.get(), a->deadSym);
                if (xkb_compose_state_feed(state.get(), l.sym) != XKB_COMPOSE_FEED_ACCEPTED
                    || xkb_compose_state_get_status(state.get()) != XKB_COMPOSE_COMPOSED)
                    continue;
                char utf8[64];
                const int len = xkb_compose_state_get_utf8(state.get(), utf8, sizeof utf8);
                if (len <= 0 || size_t(len) >= sizeof utf8)
                    continue;
                const std::u32string text = QString::fromUtf8(utf8, len).toStdU32String();
                const std::string level = std::string(a->word) + " + " + kStateLevel[s];
                if (text.size() != 1) {
                    note(LayoutImportNote::Kind::UnheldCharacter, k.nameUtf8, level, QString::fromUtf8(utf8, len));
                    continue;
                }
                if (addChar(k, std::string(" ") + a->word + kStateComposed[s], level, text[0], stateShift(s),
                            stateAltGr(s), accent))
                    ++m_report.composedCount;
            }
        }
    }
}

// A character the layout types with Caps Lock and the definition nowhere:
// the definition's Caps Lock only swaps a letter key's plain and Shift
// characters, so a capital whose key has another letter on Shift (Polish
// QWERTZ: ż and ń on one key, Ż with Caps Lock) has no row. Each is told
// once, on the first key that types it.
void Importer::noteCapsLockOnly()
{
    std::array<bool, 256> typed{};
    for (const CharRow &c : chars)
        typed[size_t(uint8_t(c.code))] = true;
    static const char *const capsLevel[] = {"Caps Lock", "Caps Lock+Shift", "Caps Lock+AltGr",
                                            "Caps Lock+Shift+AltGr"};
    for (const KeyRow &k : keys) {
        if (!isCharacterKey(k) && !KeyTypes::IsAccent(k.type))
            continue;
        for (int s = 0; s < 4; ++s) {
            const char32_t c = k.capsLock[size_t(s)];
            const Level &l = k.levels[size_t(s)];
            // AltGr on a key without levels of its own types the plain ones.
            if (c == 0 || !l.reached || c == l.ch)
                continue;
            uint8_t byte = 0;
            if (!m_cp.fromUnicode(c, byte) || typed[byte])
                continue;
            typed[byte] = true;
            LayoutImportNote n{LayoutImportNote::Kind::CapsLockOnly, k.nameUtf8, capsLevel[s], charText(c),
                               std::string(), {}, l.ch ? charText(l.ch) : QString()};
            m_report.notes.push_back(std::move(n));
        }
    }
}

void Importer::Run()
{
    openKeymap();
    for (const KeySlot &slot : BlockSlots(m_options.block))
        readKey(slot);
    // Keys the definition has no place for.
    std::vector<const char *> outside(std::begin(kOutsideKeys), std::end(kOutsideKeys));
    if (m_options.block == KeyBlock::Ansi)
        outside.insert(outside.begin(), "LSGT");
    for (const char *name : outside) {
        const xkb_keycode_t kc = xkb_keymap_key_by_name(m_keymap.get(), name);
        if (kc == XKB_KEYCODE_INVALID)
            continue;
        const xkb_keysym_t *syms = nullptr;
        if (xkb_keymap_key_get_syms_by_level(m_keymap.get(), kc, 0, 0, &syms) < 1)
            continue;
        Level l;
        l.sym = syms[0];
        const uint32_t c = xkb_keysym_to_utf32(l.sym);
        l.ch = c >= 0x20 && !isDeadSym(l.sym) ? c : 0;
        note(LayoutImportNote::Kind::LeftOutKey, name, std::string(), levelText(l));
    }
    leaveOutKeysTypingNothing();
    // Nothing but the space bar would be left to type.
    if (!std::any_of(keys.begin(), keys.end(), [](const KeyRow &k) { return isCharacterKey(k) && k.type != kSpace; }))
        throw NothingHeldError(LibraryText("Keyboard layout '%s': code page %s holds no character its keys type "
                                           "without Shift, so there is nothing to import",
                                           m_report.layoutId, m_cp.name()));
    compose();
    noteCapsLockOnly();
}

} // namespace

namespace {

std::string upperAscii(std::string s)
{
    for (char &c : s)
        if (c >= 'a' && c <= 'z')
            c = char(c - 'a' + 'A');
    return s;
}

// The code page an import names; nullptr for the one in force.
std::unique_ptr<CodePage> namedCodePage(const std::string &name)
{
    if (name.empty())
        return nullptr;
    auto named = std::make_unique<CodePage>(upperAscii(name));
    // Character codes are single bytes: only an 8-bit code page will do.
    if (named->number() == 0)
        throw EConvertError("Unknown code page " + upperAscii(name) + " (a CPnnnn name is expected)");
    return named;
}

// The accents a key of the import starts that no character row has: such a
// dead key would swallow the next keystroke.
std::set<int32_t> accentsWithoutCharacters(const Importer &importer)
{
    std::set<int32_t> empty;
    for (const KeyRow &k : importer.keys)
        for (const int32_t accent : {k.type, k.type2})
            if (accent > KeyTypes::AccentBase && std::none_of(importer.chars.begin(), importer.chars.end(),
                                              [accent](const CharRow &c) { return c.accent == accent; }))
                empty.insert(accent);
    return empty;
}

// The whole import in code page cp, without touching a definition. A dead
// accent after which the code page holds no character is read as a dead key
// the definition cannot hold, and the layout read again; leaving a key or a
// dead key out can leave another accent with nothing after it, so this goes
// on until no accent is empty.
std::unique_ptr<Importer> readLayout(const LayoutImportOptions &options, const CodePage &cp,
                                     LayoutImportReport &report)
{
    std::set<int32_t> empty;
    for (;;) {
        report.notes.clear();
        report.composedCount = 0;
        report.composeLocale.clear();
        auto importer = std::make_unique<Importer>(options, cp, report, empty);
        importer->Run();
        const std::set<int32_t> more = accentsWithoutCharacters(*importer);
        if (more.empty())
            return importer;
        empty.insert(more.begin(), more.end());
    }
}

} // namespace

LayoutImportReport ImportLayout(TDataMod &dm, const LayoutImportOptions &options)
{
    const std::unique_ptr<CodePage> named = namedCodePage(options.codePage);
    const CodePage &cp = named ? *named : CodePage::current();

    LayoutImportReport report;
    report.layoutId = options.variant.empty() ? options.layout : options.layout + "(" + options.variant + ")";
    report.codePage = cp.name();
    report.block = options.block;

    const std::unique_ptr<Importer> importer = readLayout(options, cp, report);
    const Importer &result = *importer;

    try {
        const std::vector<XkbLayout> layouts = ListXkbLayouts();
        if (const XkbLayout *l = FindXkbLayout(layouts, options.layout, options.variant))
            report.description = l->description;
    } catch (const Exception &) {
        // The description is only for the author line and the report.
    }

    TRecordTable keyTable(TDataMod::KeyFieldDefs());
    std::vector<std::vector<TValue>> keyRows;
    for (const KeyRow &k : result.keys)
        keyRows.push_back({TValue(k.name), TValue(k.keyValue), TValue(k.type), k.type2 ? TValue(k.type2) : TValue(),
                           TValue(k.finger), TValue(), TValue(k.w), TValue(k.h), TValue(k.x), TValue(k.y),
                           TValue(k.hint)});
    keyTable.AppendRecords(keyRows);
    TRecordTable charTable(TDataMod::CharFieldDefs());
    std::vector<std::vector<TValue>> charRows;
    for (const CharRow &c : result.chars)
        charRows.push_back({TValue(c.name), TValue(c.code), TValue(c.keyNo), TValue(c.shift), TValue(c.altGr),
                            TValue(c.accent)});
    charTable.AppendRecords(charRows);

    PackageSettings settings = dm.Settings();
    settings.Author = cp.encode(QString::fromStdString(report.description.empty() ? report.layoutId
                                                                                   : report.description));
    settings.misc = cp.encode(QString::fromStdString("System keyboard layout " + report.layoutId + ", "
                                                     + KeyBlockName(options.block) + " key block, code page "
                                                     + cp.name()));
    dm.ReplaceDefinition(keyTable, charTable, settings);

    report.keyCount = int(result.keys.size());
    report.charCount = int(result.chars.size());
    return report;
}

CodePageFit FitOfCodePage(const LayoutImportOptions &options, const std::string &codePage)
{
    CodePageFit fit;
    fit.codePage = upperAscii(codePage);
    LayoutImportOptions named = options;
    named.codePage = fit.codePage;
    const std::unique_ptr<CodePage> cp = namedCodePage(named.codePage);
    LayoutImportReport report;
    report.layoutId = options.variant.empty() ? options.layout : options.layout + "(" + options.variant + ")";
    std::unique_ptr<Importer> importer;
    try {
        importer = readLayout(named, *cp, report);
    } catch (const NothingHeldError &) {
        return fit; // nothing of the layout at all
    }
    std::set<std::pair<int, char16_t>> letters;
    for (const CharRow &c : importer->chars) {
        const char16_t u = cp->toUnicode(uint8_t(c.code));
        if (!QChar::isLetter(u))
            continue;
        const int kind = c.accent != 0 ? 2 : c.altGr ? 1 : 0;
        letters.insert({kind, u});
    }
    for (const auto &[kind, u] : letters)
        ++(kind == 0 ? fit.ownLetters : kind == 1 ? fit.altGrLetters : fit.composedLetters);
    fit.characters = int(importer->chars.size());
    return fit;
}

bool CodePageFit::operator<(const CodePageFit &o) const
{
    return std::tie(ownLetters, language, altGrLetters, composedLetters, characters)
        < std::tie(o.ownLetters, o.language, o.altGrLetters, o.composedLetters, o.characters);
}

std::string ProposeCodePage(const LayoutImportOptions &options, const std::vector<std::string> &codePages,
                            const std::string &languageCodePage)
{
    std::optional<CodePageFit> best;
    for (const std::string &name : codePages) {
        CodePageFit fit = FitOfCodePage(options, name);
        fit.language = !languageCodePage.empty() && fit.codePage == upperAscii(languageCodePage);
        if (!best || *best < fit)
            best = std::move(fit);
    }
    return best ? best->codePage : std::string();
}

std::vector<std::string> ImportCodePages()
{
    const std::string inForce = CodePage::current().name();
    std::vector<std::string> pages{inForce};
    for (const std::string &name : CodePage::desktopCodePages())
        if (name != inForce)
            pages.push_back(name);
    return pages;
}

std::string LanguageCodePage(const std::vector<std::string> &languages)
{
    for (const std::string &code : languages)
        if (std::string page = CodePage::codePageForLanguage(code); !page.empty())
            return page;
    return std::string();
}

std::string ProposeCodePageForLayout(const LayoutImportOptions &options)
{
    std::string language;
    try {
        const std::vector<XkbLayout> layouts = ListXkbLayouts();
        if (const XkbLayout *l = FindXkbLayout(layouts, options.layout, options.variant))
            language = LanguageCodePage(l->languages);
    } catch (const Exception &) {
        // Without the list the letters alone decide.
    }
    return ProposeCodePage(options, ImportCodePages(), language);
}

} // namespace kf
