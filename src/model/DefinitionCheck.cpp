#include "model/DefinitionCheck.h"
#include "common/CodePage.h"
#include "common/Errors.h"
#include "common/Translation.h"
#include "model/GlyphCodec.h"
#include "model/KeyCodes.h"
#include "model/MainData.h"

#include <QChar>
#include <QImage>

#include <algorithm>
#include <array>
#include <initializer_list>
#include <map>
#include <string_view>
#include <tuple>
#include <unordered_map>

namespace kf {

namespace {

using KeyTypes::IsAccent;
using KeyTypes::IsCharType;
using KeyTypes::IsKnownKeyType;
using KeyTypes::EffectiveCode;
constexpr int32_t kFirstAccent = KeyTypes::FirstAccent;

// A message through the catalogue, with %1 .. %9 replaced by args.
std::string text(const char *msgid, std::initializer_list<std::string_view> args = {})
{
    return TranslateWith(msgid, args);
}

std::string num(int64_t v) { return std::to_string(v); }

std::string accentName(int32_t accent)
{
    static const char *const names[] = {"Grave accent", "Acute accent", "Circumflex accent", "Tilde",
                                        "Umlaut",       "Ring",         "eSE",               "Cedilla"};
    if (IsAccent(accent))
        return Translate(names[accent - kFirstAccent]);
    return num(accent);
}

struct Int {
    bool null = true;
    int32_t v = 0;
    int32_t or0() const { return null ? 0 : v; }
};

Int intAt(const TRecordTable &t, int row, int field)
{
    if (field < 0)
        return {};
    const TValue value = t.FieldValueAt(row, field);
    if (value.IsNull())
        return {};
    return {false, value.integer()};
}

struct KeyRow {
    TBookmark bm;
    int recNo = 0;
    std::string label; // UTF-8 Name
    Int value, type, type2, finger, width, height, x, y;
    std::string_view glyph;
    bool pictureValid = false;
    int picW = 0, picH = 0;
    uint32_t face = 0;
    std::array<int32_t, 4> codes{}; // effective code: plain, Shift, AltGr, Shift + AltGr
    bool sizeOk() const { return !width.null && !height.null && width.v > 0 && height.v > 0; }
};

struct CharRow {
    TBookmark bm;
    int recNo = 0;
    std::string label; // UTF-8 Name, or "Code N"
    Int code, keyNo, shift, altGr, accent;
    bool keyExists = false;
    bool stateValid() const { return !shift.null && !altGr.null && !accent.null; }
};

class Checker {
public:
    Checker(TDataMod &dm, const CodePage &cp, const TCheckOptions &options)
        : m_dm(dm), m_cp(cp), m_options(options)
    {
    }

    std::vector<TCheckFinding> run()
    {
        readKeys();
        readChars();
        readTwins();
        checkKeyTable();
        checkKeys();
        checkOverlaps();
        checkCharacters();
        checkKeysAgainstCharacters();
        checkSettings();
        std::stable_sort(m_findings.begin(), m_findings.end(), [](const TCheckFinding &a, const TCheckFinding &b) {
            return std::tie(a.Table, a.RecordNo) < std::tie(b.Table, b.RecordNo);
        });
        return std::move(m_findings);
    }

private:
    std::string decode(std::string_view bytes) const { return m_cp.decode(bytes).toUtf8().toStdString(); }

    void add(TCheckSeverity severity, TCheckKind kind, const KeyRow &k, const char *field, std::string message)
    {
        m_findings.push_back({severity, TCheckTable::Keys, kind, k.bm, k.recNo, k.label, field, std::move(message)});
    }
    void add(TCheckSeverity severity, TCheckKind kind, const CharRow &c, const char *field, std::string message)
    {
        m_findings.push_back(
            {severity, TCheckTable::Characters, kind, c.bm, c.recNo, c.label, field, std::move(message)});
    }
    void addTable(TCheckKind kind, std::string message)
    {
        m_findings.push_back({TCheckSeverity::Error, TCheckTable::Keys, kind, TBookmark{}, 0, std::string(),
                              std::string(), std::move(message)});
    }
    void addSetting(TCheckKind kind, const std::string &setting, std::string message)
    {
        m_findings.push_back({TCheckSeverity::Warning, TCheckTable::Settings, kind, TBookmark{}, 0, setting, setting,
                              std::move(message)});
    }

    // ---- reading ------------------------------------------------------------

    void readKeys()
    {
        // A cursor of our own: every row, stored order, no filter.
        m_keyCursor.CloneCursor(m_dm.MainTbl);
        const TRecordTable &t = m_keyCursor;
        const int fName = t.FindFieldIndex("Name"), fValue = t.FindFieldIndex("KeyValue"),
                  fType = t.FindFieldIndex("KeyType"), fType2 = t.FindFieldIndex("KeyType2"),
                  fFinger = t.FindFieldIndex("Finger"), fGlyph = t.FindFieldIndex("Glyph"),
                  fWidth = t.FindFieldIndex("Width"), fHeight = t.FindFieldIndex("Height"),
                  fX = t.FindFieldIndex("X"), fY = t.FindFieldIndex("Y");
        const int n = t.RecordCount();
        m_keys.resize(size_t(n));
        for (int i = 0; i < n; ++i) {
            KeyRow &k = m_keys[size_t(i)];
            k.bm = t.RowAt(i);
            k.recNo = i + 1;
            k.label = fName >= 0 ? decode(t.FieldBytesAt(i, fName)) : std::string();
            if (k.label.empty())
                k.label = text("row %1", {num(k.recNo)});
            k.value = intAt(t, i, fValue);
            k.type = intAt(t, i, fType);
            k.type2 = intAt(t, i, fType2);
            k.finger = intAt(t, i, fFinger);
            k.width = intAt(t, i, fWidth);
            k.height = intAt(t, i, fHeight);
            k.x = intAt(t, i, fX);
            k.y = intAt(t, i, fY);
            if (fGlyph >= 0)
                k.glyph = t.FieldBytesAt(i, fGlyph);
            if (!k.glyph.empty()) {
                try {
                    const QImage picture = GlyphToImage(k.glyph);
                    if (!picture.isNull() && picture.width() > 0 && picture.height() > 0) {
                        k.pictureValid = true;
                        k.picW = picture.width();
                        k.picH = picture.height();
                        k.face = KeyFaceColor(picture) & 0xFFFFFFu;
                    }
                } catch (const Exception &) {
                    k.pictureValid = false;
                }
            }
            for (int s = 0; s < 4; ++s)
                k.codes[size_t(s)] = EffectiveCode(k.type.or0(), k.type2.or0(), s & 1, s & 2);
            if (!k.value.null)
                m_keysByValue[k.value.v].push_back(i);
        }
        for (const KeyRow &k : m_keys) {
            for (int32_t code : k.codes) {
                m_hasAltGr = m_hasAltGr || code == KeyTypes::AltGr;
                m_hasShift = m_hasShift || code == KeyTypes::LShift || code == KeyTypes::RShift;
            }
        }
        // The accents each key can start: in the plain state always, with
        // Shift or AltGr only when the keyboard has a key that engages it.
        m_keyAccents.resize(m_keys.size());
        for (size_t i = 0; i < m_keys.size(); ++i) {
            for (int s = 0; s < 4; ++s) {
                if (((s & 1) && !m_hasShift) || ((s & 2) && !m_hasAltGr))
                    continue;
                const int32_t code = m_keys[i].codes[size_t(s)];
                if (IsAccent(code)) {
                    auto &list = m_keyAccents[i];
                    if (std::find(list.begin(), list.end(), code) == list.end())
                        list.push_back(code);
                    m_startable[size_t(code - kFirstAccent)] = true;
                }
            }
        }
    }

    void readChars()
    {
        m_charCursor.CloneCursor(m_dm.Ctbl);
        const TRecordTable &t = m_charCursor;
        const int fName = t.FindFieldIndex("Name"), fCode = t.FindFieldIndex("Code"),
                  fKeyNo = t.FindFieldIndex("KeyNo"), fShift = t.FindFieldIndex("Shift"),
                  fAltGr = t.FindFieldIndex("AltGr"), fAccent = t.FindFieldIndex("Accent");
        const int n = t.RecordCount();
        m_chars.resize(size_t(n));
        for (int i = 0; i < n; ++i) {
            CharRow &c = m_chars[size_t(i)];
            c.bm = t.RowAt(i);
            c.recNo = i + 1;
            c.code = intAt(t, i, fCode);
            c.keyNo = intAt(t, i, fKeyNo);
            c.shift = intAt(t, i, fShift);
            c.altGr = intAt(t, i, fAltGr);
            c.accent = intAt(t, i, fAccent);
            const std::string_view name = fName >= 0 ? t.FieldBytesAt(i, fName) : std::string_view();
            if (!name.empty())
                c.label = decode(name);
            else if (!c.code.null)
                c.label = text("Code %1", {num(c.code.v)});
            else
                c.label = text("row %1", {num(c.recNo)});
            c.keyExists = !c.keyNo.null && m_keysByValue.count(c.keyNo.v) != 0;
            if (c.keyExists && c.stateValid() && c.accent.v != 0)
                ++m_accentRows[c.accent.v];
        }
    }

    // What each key types without AltGr and dead key: (Shift, character)
    // of its linked rows. Two keys of one KeyType that agree in it are twins:
    // one key present twice on the keyboard, as the two Shift keys are, or the
    // extra key of an ISO keyboard that repeats the backslash key in many
    // layouts (its AltGr characters may differ). Their shared Name and
    // characters are meant.
    void readTwins()
    {
        m_typed.resize(m_keys.size());
        for (const CharRow &c : m_chars) {
            if (!c.keyExists || !c.stateValid() || c.altGr.v != 0 || c.accent.v != 0)
                continue;
            const size_t key = size_t(m_keysByValue.at(c.keyNo.v).front());
            m_typed[key].push_back({c.shift.v != 0, c.code.null ? -1 : TDataMod::CodeByte(c.code.v)});
        }
        for (auto &typed : m_typed) {
            std::sort(typed.begin(), typed.end());
            typed.erase(std::unique(typed.begin(), typed.end()), typed.end());
        }
    }

    bool twins(size_t a, size_t b) const
    {
        return m_keys[a].type.or0() == m_keys[b].type.or0() && m_typed[a] == m_typed[b];
    }

    size_t keyIndex(int32_t keyValue) const { return size_t(m_keysByValue.at(keyValue).front()); }

    // ---- keys -----------------------------------------------------------------

    // The key table as a whole: a keyboard without keys, or without a key
    // that types a character in any state, gives the learner nothing to type.
    void checkKeyTable()
    {
        if (m_keys.empty()) {
            addTable(TCheckKind::NoKeys, text("The keyboard has no keys: there is nothing to type on"));
            return;
        }
        const bool typing = std::any_of(m_keys.begin(), m_keys.end(), [](const KeyRow &k) {
            return std::any_of(k.codes.begin(), k.codes.end(), [](int32_t code) { return IsCharType(code); });
        });
        if (!typing)
            addTable(TCheckKind::NoCharacterKeys,
                     text("The keyboard has no character keys (KeyType 1 to 3): no key types a character"));
    }

    void checkKeys()
    {
        std::unordered_map<std::string, size_t> firstByName;
        for (size_t i = 0; i < m_keys.size(); ++i) {
            const KeyRow &k = m_keys[i];

            if (k.value.null) {
                add(TCheckSeverity::Error, TCheckKind::KeyValueEmpty, k, "KeyValue",
                    text("KeyValue is empty: no character can be linked to this key"));
            } else {
                const std::vector<int> &same = m_keysByValue[k.value.v];
                if (same.front() != int(i))
                    add(TCheckSeverity::Error, TCheckKind::KeyValueDuplicate, k, "KeyValue",
                        text("KeyValue %1 is also the KeyValue of key \"%2\": the characters of one are typed by both",
                             {num(k.value.v), m_keys[size_t(same.front())].label}));
            }

            const auto named = firstByName.emplace(k.label, i);
            if (!named.second && !twins(named.first->second, i))
                add(TCheckSeverity::Warning, TCheckKind::KeyNameDuplicate, k, "Name",
                    text("Another key (row %1) has the same Name", {num(m_keys[named.first->second].recNo)}));

            checkKeyType(k);

            if (!k.sizeOk()) {
                add(TCheckSeverity::Error, TCheckKind::KeySizeNotPositive, k, k.width.null || k.width.v <= 0 ? "Width" : "Height",
                    text("Width and Height must be above 0 (they are %1 x %2): the key cannot be seen or clicked",
                         {intText(k.width), intText(k.height)}));
            } else {
                if (k.pictureValid && (k.picW != k.width.v || k.picH != k.height.v))
                    add(TCheckSeverity::Warning, TCheckKind::KeySizeDiffers, k, "Width",
                        text("Width and Height are %1 x %2, but the picture is %3 x %4",
                             {num(k.width.v), num(k.height.v), num(k.picW), num(k.picH)}));
                const int64_t x = k.x.or0(), y = k.y.or0();
                if (x < 0 || y < 0 || x + k.width.v > m_options.AreaWidth || y + k.height.v > m_options.AreaHeight)
                    add(TCheckSeverity::Error, TCheckKind::KeyOutsideArea, k, x < 0 || x + k.width.v > m_options.AreaWidth ? "X" : "Y",
                        text("The key (X %1, Y %2, %3 x %4) reaches outside the keyboard area of %5 x %6",
                             {num(x), num(y), num(k.width.v), num(k.height.v), num(m_options.AreaWidth),
                              num(m_options.AreaHeight)}));
            }

            if (k.glyph.empty())
                add(TCheckSeverity::Warning, TCheckKind::KeyPictureMissing, k, "Glyph",
                    text("The key has no picture: it shows as an empty button"));
            else if (!k.pictureValid)
                add(TCheckSeverity::Error, TCheckKind::KeyPictureInvalid, k, "Glyph",
                    text("The key's picture is not a valid bitmap"));

            if (!k.finger.null && (k.finger.v < 0 || k.finger.v > 9))
                add(TCheckSeverity::Error, TCheckKind::KeyFingerMissing, k, "Finger",
                    text("Finger %1 is not a finger (0 to 9)", {num(k.finger.v)}));
            else if (k.finger.null && IsCharType(k.type.or0()))
                add(TCheckSeverity::Error, TCheckKind::KeyFingerMissing, k, "Finger",
                    text("No finger is set for this character key"));
        }
    }

    static std::string intText(const Int &v) { return v.null ? std::string("-") : num(v.v); }

    void checkKeyType(const KeyRow &k)
    {
        const int32_t t = k.type.or0(), t2 = k.type2.or0();
        if (t == 0) {
            add(TCheckSeverity::Error, TCheckKind::KeyTypeMissing, k, "KeyType",
                text("KeyType is not set: the key does nothing"));
            return;
        }
        if (!IsKnownKeyType(t)) {
            add(TCheckSeverity::Error, TCheckKind::KeyTypeUnknown, k, "KeyType",
                text("KeyType %1 is not a key type: the key does nothing", {num(t)}));
            return;
        }
        if (std::all_of(k.codes.begin(), k.codes.end(), [](int32_t c) { return c == 0; })) {
            if (IsAccent(t) && t2 == 0)
                add(TCheckSeverity::Error, TCheckKind::KeyTypeInert, k, "KeyType2",
                    text("A dead key needs a KeyType2 as well (the same accent when Shift should not change "
                         "it): without one the key does nothing"));
            else
                add(TCheckSeverity::Error, TCheckKind::KeyTypeInert, k, "KeyType2",
                    text("With KeyType2 %1 the key does nothing (only a dead-key code 2001 to 2008 on a "
                         "character key or a dead key, or a character key's type 1 to 3 on a dead key, gives a "
                         "key a second role)",
                         {num(t2)}));
            return;
        }
        // A dead key may carry a character key's type for its Shift state.
        if (t2 != 0 && !IsAccent(t2) && !(IsAccent(t) && IsCharType(t2)))
            add(TCheckSeverity::Error, TCheckKind::KeyTypeUnknown, k, "KeyType2",
                text("KeyType2 %1 is not a dead-key code (2001 to 2008): that role of the key does nothing",
                     {num(t2)}));
    }

    void checkOverlaps()
    {
        // Sweep over the keys by left edge: only keys whose spans on X meet
        // are compared.
        std::vector<size_t> order;
        for (size_t i = 0; i < m_keys.size(); ++i)
            if (m_keys[i].sizeOk())
                order.push_back(i);
        std::sort(order.begin(), order.end(), [this](size_t a, size_t b) {
            return std::make_pair(int64_t(m_keys[a].x.or0()), a) < std::make_pair(int64_t(m_keys[b].x.or0()), b);
        });
        std::vector<std::vector<size_t>> overlapsOf(m_keys.size());
        for (size_t p = 0; p < order.size(); ++p) {
            const KeyRow &a = m_keys[order[p]];
            const int64_t aRight = int64_t(a.x.or0()) + a.width.v;
            for (size_t q = p + 1; q < order.size(); ++q) {
                const KeyRow &b = m_keys[order[q]];
                if (b.x.or0() >= aRight)
                    break;
                const int64_t aTop = a.y.or0(), bTop = b.y.or0();
                if (bTop < aTop + a.height.v && aTop < bTop + b.height.v) {
                    // Told on the later row, naming the earlier one.
                    const size_t first = std::min(order[p], order[q]), second = std::max(order[p], order[q]);
                    overlapsOf[second].push_back(first);
                }
            }
        }
        for (size_t i = 0; i < m_keys.size(); ++i) {
            std::sort(overlapsOf[i].begin(), overlapsOf[i].end());
            for (size_t other : overlapsOf[i])
                add(TCheckSeverity::Error, TCheckKind::KeysOverlap, m_keys[i], "X",
                    text("The key overlaps key \"%1\": a click may reach the wrong key", {m_keys[other].label}));
        }
    }

    // ---- characters ---------------------------------------------------------

    void checkCharacters()
    {
        // The row each key and state types: the lowest Code, ties in stored
        // order (the character table is ordered by Code).
        using StateKey = std::tuple<int32_t, bool, bool, int32_t>;
        std::map<StateKey, size_t> winner;
        std::vector<bool> typed(m_chars.size(), false);
        for (size_t i = 0; i < m_chars.size(); ++i) {
            const CharRow &c = m_chars[i];
            if (!c.keyExists || !c.stateValid())
                continue;
            const StateKey key{c.keyNo.v, c.shift.v != 0, c.altGr.v != 0, c.accent.v};
            auto [it, inserted] = winner.emplace(key, i);
            if (!inserted && codeOrder(c) < codeOrder(m_chars[it->second]))
                it->second = i;
        }

        std::unordered_map<int32_t, size_t> firstPlainOfCode; // typed with no modifier and no dead key
        for (size_t i = 0; i < m_chars.size(); ++i) {
            const CharRow &c = m_chars[i];

            if (c.code.null)
                add(TCheckSeverity::Error, TCheckKind::CharCodeOutOfRange, c, "Code",
                    text("Code is empty: the key types the character of code 0"));
            else if (c.code.v < 0 || c.code.v > 255)
                add(TCheckSeverity::Error, TCheckKind::CharCodeOutOfRange, c, "Code",
                    text("Code %1 is outside 0 to 255: the key types the character of code %2",
                         {num(c.code.v), num(TDataMod::CodeByte(c.code.v))}));

            if (c.keyNo.null)
                continue; // linked to no key yet: nothing types it
            if (!c.keyExists) {
                add(TCheckSeverity::Error, TCheckKind::CharKeyMissing, c, "KeyNo",
                    text("KeyNo %1 names no key: no key types this character", {num(c.keyNo.v)}));
                continue;
            }
            if (!c.stateValid()) {
                add(TCheckSeverity::Error, TCheckKind::CharStateEmpty, c,
                    c.shift.null ? "Shift" : c.altGr.null ? "AltGr" : "Accent",
                    text("Shift, AltGr and Accent must all be set: a row with an empty one is never typed"));
                continue;
            }

            const size_t w = winner.at({c.keyNo.v, c.shift.v != 0, c.altGr.v != 0, c.accent.v});
            if (w != i) {
                const CharRow &first = m_chars[w];
                if (first.code.or0() == c.code.or0())
                    add(TCheckSeverity::Warning, TCheckKind::CharStateDuplicate, c, "Code",
                        text("Row \"%1\" has the same key, Shift, AltGr, Accent and Code: this row is a second copy",
                             {first.label}));
                else
                    add(TCheckSeverity::Error, TCheckKind::CharStateDuplicate, c, "Code",
                        text("Row \"%1\" (Code %2) has the same key, Shift, AltGr and Accent and comes first in "
                             "Code order: this row is never typed",
                             {first.label, intText(first.code)}));
                continue;
            }

            bool reachable = true;
            if (c.accent.v != 0 && (!IsAccent(c.accent.v) || !m_startable[size_t(c.accent.v - kFirstAccent)])) {
                reachable = false;
                add(TCheckSeverity::Error, TCheckKind::CharAccentNotStarted, c, "Accent",
                    IsAccent(c.accent.v)
                        ? text("No dead key of the keyboard starts the accent %1: this row is never typed",
                               {accentName(c.accent.v)})
                        : text("Accent %1 is not an accent code (0, or 2001 to 2008): this row is never typed",
                               {num(c.accent.v)}));
            }
            if (c.altGr.v != 0 && !m_hasAltGr) {
                reachable = false;
                add(TCheckSeverity::Error, TCheckKind::CharAltGrWithoutKey, c, "AltGr",
                    text("The character is typed with AltGr, but the keyboard has no AltGr key"));
            }
            typed[i] = reachable;

            // A character on the plain level of two keys. Real layouts put
            // one character on several keys in different states (the extra
            // key's "<" and Shift+comma, "|" on AltGr of two keys), and the
            // tutor teaches each character through the first row with its
            // Code, with whatever modifier that row needs; those are
            // alternatives, not faults. Two keys that type it with no
            // modifier and no dead key at all are as easy as each other, so
            // the tutor's pick falls to row order: almost always a KeyNo
            // typed wrong or a row copied. Twin keys are the exception.
            if (reachable && isPlain(c) && !c.code.null) {
                const int32_t byte = TDataMod::CodeByte(c.code.v);
                const auto [it, inserted] = firstPlainOfCode.emplace(byte, i);
                if (!inserted && m_chars[it->second].keyNo.v != c.keyNo.v
                    && !twins(keyIndex(m_chars[it->second].keyNo.v), keyIndex(c.keyNo.v))) {
                    const CharRow &other = m_chars[it->second];
                    add(TCheckSeverity::Warning, TCheckKind::CharCodeShared, c, "Code",
                        text("Key \"%1\" types the same character (Code %2) in row \"%3\", also without Shift, "
                             "AltGr or dead key: the learner cannot tell which key is meant",
                             {keyLabel(other.keyNo.v), num(byte), other.label}));
                }
            }
        }
        checkCapitals(typed);
    }

    // A small letter a key types (without dead key) with no way to type its
    // capital: the code page holds the capital, no reachable row types it
    // (a layout that gives the capital only with Caps Lock, where Shift types
    // another letter). Told once, on the first row that types the small
    // letter.
    void checkCapitals(const std::vector<bool> &typed)
    {
        std::array<bool, 256> typedByte{};
        for (size_t i = 0; i < m_chars.size(); ++i)
            if (typed[i] && !m_chars[i].code.null)
                typedByte[size_t(TDataMod::CodeByte(m_chars[i].code.v))] = true;
        std::array<bool, 256> told{};
        for (size_t i = 0; i < m_chars.size(); ++i) {
            if (!typed[i] || m_chars[i].code.null || m_chars[i].accent.v != 0)
                continue;
            const uint8_t small = uint8_t(TDataMod::CodeByte(m_chars[i].code.v));
            const uint8_t capital = m_cp.upper(small);
            if (capital == small || told[small] || typedByte[capital] || !m_cp.defined(capital)
                || m_cp.lower(capital) != small || !QChar::isLower(char32_t(m_cp.toUnicode(small))))
                continue;
            told[small] = true;
            const QString capitalText(QChar(m_cp.toUnicode(capital)));
            add(TCheckSeverity::Warning, TCheckKind::CharCapitalMissing, m_chars[i], "Code",
                text("No key types the capital %1 (Code %2) of this letter: a learner cannot type it",
                     {capitalText.toUtf8().toStdString(), num(capital)}));
        }
    }

    static bool isPlain(const CharRow &c) { return !c.shift.v && !c.altGr.v && c.accent.v == 0; }

    static int64_t codeOrder(const CharRow &c) { return c.code.null ? INT64_MIN : int64_t(c.code.v); }

    const std::string &keyLabel(int32_t keyValue) const
    {
        return m_keys[size_t(m_keysByValue.at(keyValue).front())].label;
    }

    // Findings on keys that need the characters: a character key that types
    // nothing plain, a dead key whose accent no character has.
    void checkKeysAgainstCharacters()
    {
        std::unordered_map<int32_t, bool> hasPlain;
        for (const CharRow &c : m_chars)
            if (c.keyExists && c.stateValid() && !c.shift.v && !c.altGr.v && c.accent.v == 0)
                hasPlain[c.keyNo.v] = true;
        for (size_t i = 0; i < m_keys.size(); ++i) {
            const KeyRow &k = m_keys[i];
            if (IsCharType(k.type.or0()) && !k.value.null && !hasPlain.count(k.value.v))
                add(TCheckSeverity::Error, TCheckKind::KeyNoPlainChar, k, "KeyValue",
                    text("The character key types nothing without Shift, AltGr or accent: no character row has "
                         "KeyNo %1, Shift and AltGr off and Accent 0",
                         {num(k.value.v)}));
            for (int32_t accent : m_keyAccents[i])
                if (!m_accentRows.count(accent))
                    add(TCheckSeverity::Error, TCheckKind::DeadKeyNoAccentRows, k,
                        accent == k.codes[0] ? "KeyType" : "KeyType2",
                        text("The key starts the accent %1, but no character has that Accent: after it every "
                             "key types nothing",
                             {accentName(accent)}));
        }
    }

    // ---- settings -------------------------------------------------------------

    void checkSettings()
    {
        for (int f = 0; f < kFingerCount; ++f) {
            const int32_t length = m_dm.FingerLength[size_t(f)];
            if (length < 0 || length > 100)
                addSetting(TCheckKind::FingerLengthOutOfRange, kFingerKeys[size_t(f)],
                           text("Finger length %1 is outside 0 to 100", {num(length)}));
        }
        const uint32_t background = uint32_t(m_dm.bkcolor) & 0xFFFFFFu;
        int same = 0;
        const KeyRow *first = nullptr;
        for (const KeyRow &k : m_keys)
            if (k.pictureValid && k.face == background && ++same == 1)
                first = &k;
        if (first)
            addSetting(TCheckKind::BackgroundIsKeyFace, "bkcolor",
                       same == 1 ? text("The background colour %1 is the face colour of key \"%2\": the key does not "
                                        "stand out from the keyboard",
                                        {num(background), first->label})
                                 : text("The background colour %1 is the face colour of key \"%2\" and %3 more keys: "
                                        "they do not stand out from the keyboard",
                                        {num(background), first->label, num(same - 1)}));
    }

    TDataMod &m_dm;
    const CodePage &m_cp;
    TCheckOptions m_options;
    TRecordTable m_keyCursor;
    TRecordTable m_charCursor;
    std::vector<KeyRow> m_keys;
    std::vector<CharRow> m_chars;
    std::unordered_map<int32_t, std::vector<int>> m_keysByValue; // KeyValue -> key indexes, stored order
    std::vector<std::vector<int32_t>> m_keyAccents;              // accents each key starts
    // Per key, what its rows type without AltGr and dead key: (Shift, character byte), sorted.
    std::vector<std::vector<std::pair<bool, int32_t>>> m_typed;
    std::array<bool, 8> m_startable{};                           // accents some key starts
    std::unordered_map<int32_t, int> m_accentRows;               // Accent -> linked rows
    bool m_hasAltGr = false;
    bool m_hasShift = false;
    std::vector<TCheckFinding> m_findings;
};

} // namespace

std::vector<TCheckFinding> CheckDefinition(TDataMod &dm, const CodePage &codePage, const TCheckOptions &options)
{
    return Checker(dm, codePage, options).run();
}

int CountFindings(const std::vector<TCheckFinding> &findings, TCheckSeverity severity)
{
    return int(std::count_if(findings.begin(), findings.end(),
                             [severity](const TCheckFinding &f) { return f.Severity == severity; }));
}

const char *SeverityId(TCheckSeverity severity)
{
    return severity == TCheckSeverity::Error ? "error" : "warning";
}

const char *TableId(TCheckTable table)
{
    switch (table) {
    case TCheckTable::Keys:
        return "keys";
    case TCheckTable::Characters:
        return "characters";
    case TCheckTable::Settings:
        return "settings";
    }
    return "";
}

const char *KindId(TCheckKind kind)
{
    switch (kind) {
    case TCheckKind::KeyValueEmpty: return "key-value-empty";
    case TCheckKind::KeyValueDuplicate: return "key-value-duplicate";
    case TCheckKind::KeyNameDuplicate: return "key-name-duplicate";
    case TCheckKind::KeyTypeMissing: return "key-type-missing";
    case TCheckKind::KeyTypeUnknown: return "key-type-unknown";
    case TCheckKind::KeyTypeInert: return "key-type-inert";
    case TCheckKind::KeySizeNotPositive: return "key-size-not-positive";
    case TCheckKind::KeySizeDiffers: return "key-size-differs";
    case TCheckKind::KeysOverlap: return "keys-overlap";
    case TCheckKind::KeyOutsideArea: return "key-outside-area";
    case TCheckKind::KeyPictureMissing: return "key-picture-missing";
    case TCheckKind::KeyPictureInvalid: return "key-picture-invalid";
    case TCheckKind::KeyFingerMissing: return "key-finger-missing";
    case TCheckKind::KeyNoPlainChar: return "key-no-plain-char";
    case TCheckKind::DeadKeyNoAccentRows: return "dead-key-no-accent-rows";
    case TCheckKind::NoKeys: return "no-keys";
    case TCheckKind::NoCharacterKeys: return "no-character-keys";
    case TCheckKind::CharKeyMissing: return "char-key-missing";
    case TCheckKind::CharStateEmpty: return "char-state-empty";
    case TCheckKind::CharStateDuplicate: return "char-state-duplicate";
    case TCheckKind::CharCodeOutOfRange: return "char-code-out-of-range";
    case TCheckKind::CharCodeShared: return "char-code-shared";
    case TCheckKind::CharAccentNotStarted: return "char-accent-not-started";
    case TCheckKind::CharAltGrWithoutKey: return "char-altgr-without-key";
    case TCheckKind::CharCapitalMissing: return "char-capital-missing";
    case TCheckKind::FingerLengthOutOfRange: return "finger-length-out-of-range";
    case TCheckKind::BackgroundIsKeyFace: return "background-is-key-face";
    }
    return "";
}

std::string SeverityText(TCheckSeverity severity)
{
    return Translate(severity == TCheckSeverity::Error ? "Error" : "Warning");
}

std::string TableText(TCheckTable table)
{
    switch (table) {
    case TCheckTable::Keys:
        return Translate("Keys");
    case TCheckTable::Characters:
        return Translate("Characters");
    case TCheckTable::Settings:
        return Translate("Settings");
    }
    return std::string();
}

} // namespace kf
