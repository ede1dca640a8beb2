// A definition held against the keymap it was imported from: what each key
// of the main block types in each of the four states, in the definition and
// in the keymap, with the reason when the definition cannot follow.

#include "exchange/LayoutImport.h"
#include "exchange/LayoutImportParts.h"
#include "common/CodePage.h"
#include "model/KeyCodes.h"
#include "model/MainData.h"

#include <QString>

#include <algorithm>
#include <array>
#include <map>
#include <set>
#include <tuple>
#include <utility>

namespace kf {

using namespace xkbimport;

namespace {

const char *const kLevelNames[] = {"plain", "Shift", "AltGr", "Shift+AltGr"};

// What a key types in one state: a character, a dead key's accent, or
// nothing a definition can hold (no keysym, several, a modifier, an editing
// key, another dead key).
struct Typed {
    enum class Kind { Nothing, Character, DeadKey, OtherDeadKey } kind = Kind::Nothing;
    char32_t ch = 0;
    int32_t accent = 0;
    QString name; // the keysym's name for a dead key

    bool operator==(const Typed &o) const { return kind == o.kind && ch == o.ch && accent == o.accent; }
    bool operator!=(const Typed &o) const { return !(*this == o); }
};

std::string symName(xkb_keysym_t sym)
{
    char buf[64];
    return xkb_keysym_get_name(sym, buf, sizeof buf) < 0 ? std::string("unknown") : std::string(buf);
}

QString accentSymName(int32_t accent)
{
    static const std::map<int32_t, const char *> names = {
        {KeyTypes::FirstAccent, "dead_grave"}, {KeyTypes::Acute, "dead_acute"},
        {KeyTypes::Circumflex, "dead_circumflex"}, {KeyTypes::Tilde, "dead_tilde"},
        {KeyTypes::Umlaut, "dead_diaeresis"}, {KeyTypes::Ring, "dead_abovering"},
        {KeyTypes::Ese, "accent 2007"}, {KeyTypes::LastAccent, "dead_cedilla"}};
    const auto it = names.find(accent);
    return QString::fromLatin1(it == names.end() ? "dead key" : it->second);
}

QString text(const Typed &t)
{
    switch (t.kind) {
    case Typed::Kind::Character:
        return QString::fromUcs4(&t.ch, 1);
    case Typed::Kind::DeadKey:
        return accentSymName(t.accent);
    case Typed::Kind::OtherDeadKey:
        return t.name;
    case Typed::Kind::Nothing:
        break;
    }
    return QString();
}

Typed keymapTyped(xkb_state *state, xkb_keycode_t kc)
{
    Typed t;
    const xkb_keysym_t *syms = nullptr;
    if (xkb_state_key_get_syms(state, kc, &syms) != 1)
        return t;
    const xkb_keysym_t sym = syms[0];
    if (const int32_t accent = AccentOfDeadSym(sym)) {
        t.kind = Typed::Kind::DeadKey;
        t.accent = accent;
        return t;
    }
    const std::string name = symName(sym);
    if (name.rfind("dead_", 0) == 0) {
        t.kind = Typed::Kind::OtherDeadKey;
        t.name = QString::fromStdString(name);
        return t;
    }
    const uint32_t c = xkb_keysym_to_utf32(sym);
    if (c >= 0x20 && c != 0x7F && !(c >= 0x80 && c < 0xA0)) {
        t.kind = Typed::Kind::Character;
        t.ch = c;
    }
    return t;
}

// The definition's tables as the keyboard logic reads them.
struct Definition {
    struct Key {
        int32_t value = 0, type = 0, type2 = 0;
    };
    std::map<std::pair<int32_t, int32_t>, Key> keyAt; // by (X, Y)
    // (KeyNo, Shift, AltGr) -> the lowest Code of the rows without accent.
    std::map<std::tuple<int32_t, bool, bool>, int32_t> plainRows;
    std::set<int32_t> accentsWithRows;
    bool hasAltGr = false;

    explicit Definition(TDataMod &dm)
    {
        TRecordTable keys;
        keys.CloneCursor(dm.MainTbl);
        const int fValue = keys.FindFieldIndex("KeyValue"), fType = keys.FindFieldIndex("KeyType"),
                  fType2 = keys.FindFieldIndex("KeyType2"), fX = keys.FindFieldIndex("X"),
                  fY = keys.FindFieldIndex("Y");
        auto number = [](const TRecordTable &t, int row, int field) {
            if (field < 0)
                return int32_t(0);
            const TValue v = t.FieldValueAt(row, field);
            return v.IsNull() ? int32_t(0) : v.integer();
        };
        for (int i = 0; i < keys.RecordCount(); ++i) {
            const Key k{number(keys, i, fValue), number(keys, i, fType), number(keys, i, fType2)};
            keyAt.emplace(std::make_pair(number(keys, i, fX), number(keys, i, fY)), k);
            hasAltGr = hasAltGr || k.type == KeyTypes::AltGr;
        }
        TRecordTable chars;
        chars.CloneCursor(dm.Ctbl);
        const int fCode = chars.FindFieldIndex("Code"), fKey = chars.FindFieldIndex("KeyNo"),
                  fShift = chars.FindFieldIndex("Shift"), fAltGr = chars.FindFieldIndex("AltGr"),
                  fAccent = chars.FindFieldIndex("Accent");
        for (int i = 0; i < chars.RecordCount(); ++i) {
            const int32_t accent = number(chars, i, fAccent);
            if (accent != 0) {
                accentsWithRows.insert(accent);
                continue;
            }
            const std::tuple<int32_t, bool, bool> at{number(chars, i, fKey), number(chars, i, fShift) != 0,
                                                     number(chars, i, fAltGr) != 0};
            const int32_t code = number(chars, i, fCode);
            const auto [it, inserted] = plainRows.emplace(at, code);
            if (!inserted)
                it->second = std::min(it->second, code);
        }
    }

    Typed typed(const Key &k, int state, const CodePage &cp) const
    {
        const bool shift = state & 1, altGr = state & 2;
        Typed t;
        const int32_t code = KeyTypes::EffectiveCode(k.type, k.type2, shift, altGr);
        if (KeyTypes::IsAccent(code)) {
            t.kind = Typed::Kind::DeadKey;
            t.accent = code;
        } else if (KeyTypes::IsCharType(code)) {
            const auto it = plainRows.find({k.value, shift, altGr});
            if (it != plainRows.end()) {
                t.kind = Typed::Kind::Character;
                t.ch = cp.toUnicode(TDataMod::CodeByte(it->second));
            }
        }
        return t;
    }
};

bool held(const CodePage &cp, char32_t c)
{
    uint8_t byte = 0;
    return cp.fromUnicode(c, byte);
}

} // namespace

std::string LayoutDifference::Describe() const
{
    auto quoted = [](const QString &t) { return t.isEmpty() ? std::string("nothing") : "\"" + t.toStdString() + "\""; };
    std::string line = key + (level.empty() ? std::string() : " " + level) + ": the layout types " + quoted(layout)
        + ", the definition " + quoted(definition);
    return line + (why.empty() ? std::string(" (unexplained)") : " (" + why + ")");
}

size_t LayoutComparison::Unexplained() const
{
    return size_t(std::count_if(differences.begin(), differences.end(),
                                [](const LayoutDifference &d) { return d.why.empty(); }));
}

LayoutComparison CompareWithLayout(TDataMod &dm, const CodePage &cp, const LayoutImportOptions &options)
{
    const Keymap km = OpenKeymap(options.layout, options.variant);
    std::array<XkbPtr<xkb_state>, 4> states;
    for (int s = 0; s < 4; ++s)
        states[size_t(s)] = km.State(s & 1, s & 2, false);
    const Definition def(dm);

    // Each key's plain character in the definition, for keys left out
    // because another key types it.
    std::set<char32_t> plainTyped;
    for (const auto &[at, k] : def.keyAt) {
        const Typed t = def.typed(k, 0, cp);
        if (t.kind == Typed::Kind::Character)
            plainTyped.insert(t.ch);
    }

    LayoutComparison result;
    for (const KeySlot &slot : BlockSlots(options.block)) {
        const xkb_keycode_t kc = xkb_keymap_key_by_name(km.keymap.get(), slot.xkb);
        if (kc == XKB_KEYCODE_INVALID)
            continue;
        std::array<Typed, 4> layout;
        std::array<bool, 4> compared{};
        for (int s = 0; s < 4; ++s) {
            // AltGr on a key without levels of its own types the plain
            // ones: no level of its own to compare.
            if ((s & 2) && (km.altGr == 0
                            || xkb_state_key_get_level(states[size_t(s)].get(), kc, 0)
                                == xkb_state_key_get_level(states[size_t(s - 2)].get(), kc, 0)))
                continue;
            compared[size_t(s)] = true;
            layout[size_t(s)] = keymapTyped(states[size_t(s)].get(), kc);
        }
        ++result.keys;
        const auto key = def.keyAt.find({slot.x, slot.y});
        if (key == def.keyAt.end()) {
            // A key the definition left out: one difference for the key.
            const Typed &plain = layout[0];
            bool typesAny = false;
            for (int s = 0; s < 4; ++s)
                typesAny = typesAny || (compared[size_t(s)] && layout[size_t(s)].kind != Typed::Kind::Nothing);
            if (!typesAny)
                continue;
            LayoutDifference d{slot.xkb, std::string(), text(plain), QString(), std::string()};
            if (slot.alwaysLeftOut)
                d.why = "the definition has no such key";
            else if (plain.kind != Typed::Kind::Character || !held(cp, plain.ch))
                d.why = "left out: the code page holds nothing it types on the plain level";
            else if (plainTyped.count(plain.ch))
                d.why = "left out: another key types its plain character";
            result.differences.push_back(std::move(d));
            continue;
        }
        const Definition::Key &k = key->second;
        for (int s = 0; s < 4; ++s) {
            if (!compared[size_t(s)])
                continue;
            ++result.levels;
            const Typed &want = layout[size_t(s)];
            const Typed got = def.typed(k, s, cp);
            // What the code page cannot hold, or a dead key the definition
            // has no code for, is rightly nothing (the import report tells it).
            const bool holdable = (want.kind == Typed::Kind::Character && held(cp, want.ch))
                || want.kind == Typed::Kind::DeadKey;
            if (want == got || (!holdable && got.kind == Typed::Kind::Nothing))
                continue;
            LayoutDifference d{slot.xkb, kLevelNames[s], text(want), text(got), std::string()};
            const bool altGr = s & 2;
            if (!holdable && !altGr && (s & 1) && KeyTypes::IsAccent(k.type) && got.kind == Typed::Kind::DeadKey
                && got.accent == k.type)
                d.why = "not in the code page: the dead key keeps its accent under Shift";
            else if (want.kind == Typed::Kind::DeadKey && got.kind == Typed::Kind::Nothing
                     && !def.accentsWithRows.count(want.accent))
                d.why = "the code page holds no character after this dead key";
            else if (altGr && KeyTypes::IsAccent(k.type))
                d.why = "a dead key has no AltGr level in a definition";
            else if (altGr && KeyTypes::IsCharType(k.type) && KeyTypes::IsAccent(k.type2)
                     && got.kind == Typed::Kind::DeadKey && got.accent == k.type2)
                d.why = "a dead key on AltGr holds for Shift+AltGr as well in a definition";
            else if (!altGr && (s & 1) && KeyTypes::IsCharType(k.type) && want.kind == Typed::Kind::DeadKey)
                d.why = "a character key carries a dead key on AltGr only in a definition";
            else if (altGr && (s & 1) && KeyTypes::IsCharType(k.type) && want.kind == Typed::Kind::DeadKey
                     && got.kind != Typed::Kind::Character)
                d.why = "a character key's dead key on AltGr holds for both AltGr levels in a definition: "
                        "Shift+AltGr cannot have one of its own";
            else if (!altGr && (s & 1) && KeyTypes::IsAccent(k.type) && want.kind == Typed::Kind::DeadKey
                     && got.kind == Typed::Kind::DeadKey && got.accent == k.type
                     && !def.accentsWithRows.count(want.accent))
                d.why = "the code page holds no character after the Shift accent: the dead key keeps its own "
                        "accent under Shift";
            result.differences.push_back(std::move(d));
        }
    }
    return result;
}

} // namespace kf
