// Import of system keyboard layouts: named rows of real layouts, the key
// block, typing on an imported keyboard, the report, and failures that leave
// the definition alone. The compose table is always named (en_US.UTF-8), so
// the machine's locale plays no part.

#include "exchange/LayoutImport.h"

#include "common/CodePage.h"
#include "common/Errors.h"
#include "model/KbState.h"
#include "model/MainData.h"
#include "exchange/XkbLayouts.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>

#include <QObject>
#include <QRect>
#include <QDir>
#include <QTemporaryDir>

#include <cstdlib>
#include <map>
#include <memory>
#include <string>
#include <vector>

using namespace kf;

namespace {

struct KeyInfo {
    std::string name; // code-page bytes
    int32_t value = 0, type = 0, type2 = 0, finger = 0, w = 0, h = 0, x = 0, y = 0;
    std::string hint;
};

struct CharInfo {
    std::string name;
    int32_t code = 0, keyNo = 0, accent = 0;
    bool shift = false, altGr = false;
};

int32_t intOf(const TValue &v)
{
    return v.IsNull() ? 0 : v.integer();
}

std::vector<KeyInfo> Keys(TDataMod &dm)
{
    TRecordTable &t = dm.MainTbl;
    std::vector<KeyInfo> out;
    for (int i = 0; i < t.RecordCount(); ++i) {
        auto f = [&](const char *name) { return t.FieldValueAt(i, t.FindFieldIndex(name)); };
        KeyInfo k;
        k.name = f("Name").bytes();
        k.value = intOf(f("KeyValue"));
        k.type = intOf(f("KeyType"));
        k.type2 = intOf(f("KeyType2"));
        k.finger = intOf(f("Finger"));
        k.w = intOf(f("Width"));
        k.h = intOf(f("Height"));
        k.x = intOf(f("X"));
        k.y = intOf(f("Y"));
        k.hint = f("Hint").bytes();
        out.push_back(k);
    }
    return out;
}

std::vector<CharInfo> Chars(TDataMod &dm)
{
    TRecordTable &t = dm.CtblF;
    std::vector<CharInfo> out;
    for (int i = 0; i < t.RecordCount(); ++i) {
        auto f = [&](const char *name) { return t.FieldValueAt(i, t.FindFieldIndex(name)); };
        CharInfo c;
        c.name = f("Name").bytes();
        c.code = intOf(f("Code"));
        c.keyNo = intOf(f("KeyNo"));
        c.shift = f("Shift").boolean();
        c.altGr = f("AltGr").boolean();
        c.accent = intOf(f("Accent"));
        out.push_back(c);
    }
    return out;
}

LayoutImportOptions Options(const char *layout, const char *variant = "", const char *codePage = "CP1252",
                            KeyBlock block = KeyBlock::Iso)
{
    LayoutImportOptions o;
    o.layout = layout;
    o.variant = variant;
    o.codePage = codePage;
    o.block = block;
    o.composeLocale = "en_US.UTF-8";
    return o;
}

// ---- named rows of real layouts ----------------------------------------------

struct RowCase {
    const char *label;
    const char *layout;
    const char *codePage;
    const char *row;       // character row Name (UTF-8)
    const char *character; // what it types (UTF-8)
    const char *key;       // Name of its key (UTF-8)
    bool shift;
    bool altGr;
    int accent;
    int keyX, keyY;        // where the key is
};

const RowCase kRowCases[] = {
    {"us_a", "us", "CP1252", "A normal", "a", "A", false, false, 0, 82, 92},
    {"us_A", "us", "CP1252", "A shifted", "A", "A", true, false, 0, 82, 92},
    {"us_exclam", "us", "CP1252", "1 shifted", "!", "1", true, false, 0, 50, 8},
    {"us_space_shifted", "us", "CP1252", "Space shifted", " ", "Space", true, false, 0, 134, 176},
    {"us_slash", "us", "CP1252", "/ shifted", "?", "/", true, false, 0, 481, 134},
    {"de_o_umlaut_home_row", "de", "CP1252", "\xC3\x96 normal", "\xC3\xB6", "\xC3\x96", false, false, 0, 460, 92},
    {"de_O_umlaut", "de", "CP1252", "\xC3\x96 shifted", "\xC3\x96", "\xC3\x96", true, false, 0, 460, 92},
    {"de_e_acute", "de", "CP1252", "E acute", "\xC3\xA9", "E", false, false, 2002, 155, 50},
    {"de_E_grave", "de", "CP1252", "E grave capital", "\xC3\x88", "E", true, false, 2001, 155, 50},
    {"de_a_circumflex", "de", "CP1252", "A circumflex", "\xC3\xA2", "A", false, false, 2003, 82, 92},
    {"de_at", "de", "CP1252", "Q AltGr", "@", "Q", false, true, 0, 71, 50},
    {"de_euro", "de", "CP1252", "E AltGr", "\xE2\x82\xAC", "E", false, true, 0, 155, 50},
    {"de_z_in_place_of_y", "de", "CP1252", "Z normal", "z", "Z", false, false, 0, 281, 50},
    {"de_less", "de", "CP1252", "< AltGr", "|", "<", false, true, 0, 61, 134},
    {"fr_e_acute_number_row", "fr", "CP1252", "\xC3\x89 normal", "\xC3\xA9", "\xC3\x89", false, false, 0, 92, 8},
    {"fr_2_shifted", "fr", "CP1252", "\xC3\x89 shifted", "2", "\xC3\x89", true, false, 0, 92, 8},
    {"fr_azerty_a", "fr", "CP1252", "A normal", "a", "A", false, false, 0, 71, 50},
    {"fr_azerty_m", "fr", "CP1252", "M normal", "m", "M", false, false, 0, 460, 92},
    {"fr_e_circumflex", "fr", "CP1252", "E circumflex", "\xC3\xAA", "E", false, false, 2003, 155, 50},
    {"fr_E_umlaut", "fr", "CP1252", "E umlaut capital", "\xC3\x8B", "E", true, false, 2005, 155, 50},
    {"ru_ef", "ru", "CP1251", "\xD0\xA4 normal", "\xD1\x84", "\xD0\xA4", false, false, 0, 82, 92},
    {"ru_EF", "ru", "CP1251", "\xD0\xA4 shifted", "\xD0\xA4", "\xD0\xA4", true, false, 0, 82, 92},
    {"ru_yo", "ru", "CP1251", "\xD0\x81 normal", "\xD1\x91", "\xD0\x81", false, false, 0, 8, 8},
    {"ru_numero", "ru", "CP1251", "3 shifted", "\xE2\x84\x96", "3", true, false, 0, 134, 8},
    {"ru_period_right_of_yu", "ru", "CP1251", ". shifted", ",", ".", true, false, 0, 481, 134},
    {"lt_a_ogonek", "lt", "cp1257", "\xC4\x84 normal", "\xC4\x85", "\xC4\x84", false, false, 0, 50, 8},
    {"lt_A_ogonek", "lt", "CP1257", "\xC4\x84 shifted", "\xC4\x84", "\xC4\x84", true, false, 0, 50, 8},
    {"lt_digit_on_AltGr", "lt", "CP1257", "\xC4\x84 AltGr", "1", "\xC4\x84", false, true, 0, 50, 8},
    {"lt_z_caron", "lt", "CP1257", "\xC5\xBD normal", "\xC5\xBE", "\xC5\xBD", false, false, 0, 512, 8},
    // A dead key keeps the character its Shift level types.
    {"de_degree_on_dead_circumflex", "de", "CP1252", "Circumflex shifted", "\xC2\xB0", "Circumflex", true, false, 0,
     8, 8},
};

void PrintTo(const RowCase &c, std::ostream *os)
{
    *os << c.label;
}

class ImportedRows : public ::testing::TestWithParam<RowCase> {};

TEST_P(ImportedRows, RowTypesItsCharacterOnItsKey)
{
    const RowCase &c = GetParam();
    TDataMod dm;
    ImportLayout(dm, Options(c.layout, "", c.codePage));
    const CodePage cp(c.codePage);
    const std::string rowName = cp.encode(QString::fromUtf8(c.row));
    const std::string keyName = cp.encode(QString::fromUtf8(c.key));
    uint8_t byte = 0;
    ASSERT_TRUE(cp.fromUnicode(QString::fromUtf8(c.character).toStdU32String()[0], byte));

    std::vector<CharInfo> found;
    for (const CharInfo &ch : Chars(dm))
        if (ch.name == rowName)
            found.push_back(ch);
    ASSERT_EQ(found.size(), 1u) << c.row;
    const CharInfo &ch = found[0];
    EXPECT_EQ(ch.code, int32_t(byte));
    EXPECT_EQ(ch.shift, c.shift);
    EXPECT_EQ(ch.altGr, c.altGr);
    EXPECT_EQ(ch.accent, c.accent);

    const std::vector<KeyInfo> keys = Keys(dm);
    const auto key = std::find_if(keys.begin(), keys.end(), [&](const KeyInfo &k) { return k.value == ch.keyNo; });
    ASSERT_NE(key, keys.end());
    EXPECT_EQ(key->name, keyName);
    EXPECT_EQ(key->x, c.keyX);
    EXPECT_EQ(key->y, c.keyY);
}

INSTANTIATE_TEST_SUITE_P(Layouts, ImportedRows, ::testing::ValuesIn(kRowCases),
                         [](const ::testing::TestParamInfo<RowCase> &i) { return std::string(i.param.label); });

// ---- keys -------------------------------------------------------------------------

const KeyInfo *KeyNamed(const std::vector<KeyInfo> &keys, const std::string &name)
{
    for (const KeyInfo &k : keys)
        if (k.name == name)
            return &k;
    return nullptr;
}

TEST(LayoutImport, DeadKeysAndTheirSecondRole)
{
    TDataMod dm;
    ImportLayout(dm, Options("de"));
    const std::vector<KeyInfo> keys = Keys(dm);
    struct {
        const char *key;
        int type;
        int type2;
    } const expected[] = {
        {"Circumflex", 2003, 2},    // ° under Shift: a character key's type in KeyType2
        {"Acute", 2002, 2001},      // grave under Shift
        {"\xDC", 1, 2005},          // Ü: dead diaeresis under AltGr
        {"\xC4", 1, 2003},          // Ä: dead circumflex under AltGr
        {"\xD6", 1, 0},
        {"1", 2, 0},
        {"Space", 3, 0},
        {"Backspace", 8, 0},
        {"Enter", 13, 0},
        {"Alt", 18, 0},
        {"Caps Lock", 20, 0},
        {"Delete", 46, 0},
        {"AltGr", 1000, 0},
        {"L Shift", 1002, 0},
        {"R Shift", 1003, 0},
        {"L Ctrl", 1004, 0},
        {"R Ctrl", 1005, 0},
    };
    for (const auto &e : expected) {
        const KeyInfo *k = KeyNamed(keys, e.key);
        ASSERT_NE(k, nullptr) << e.key;
        EXPECT_EQ(k->type, e.type) << e.key;
        EXPECT_EQ(k->type2, e.type2) << e.key;
    }
    // Rows under AltGr of a key whose AltGr is a dead key are never typed.
    const KeyInfo *ue = KeyNamed(keys, "\xDC");
    for (const CharInfo &c : Chars(dm)) {
        if (c.keyNo == ue->value && c.accent == 0) {
            EXPECT_FALSE(c.altGr) << c.name;
        }
    }
}

TEST(LayoutImport, LayoutWithoutAltGrHasNoAltGrRows)
{
    TDataMod dm;
    ImportLayout(dm, Options("us"));
    for (const CharInfo &c : Chars(dm)) {
        EXPECT_FALSE(c.altGr) << c.name;
        EXPECT_EQ(c.accent, 0) << c.name;
    }
    const std::vector<KeyInfo> keys = Keys(dm);
    const KeyInfo *ralt = KeyNamed(keys, "R Alt");
    ASSERT_NE(ralt, nullptr);
    EXPECT_EQ(ralt->type, 18);
    EXPECT_EQ(KeyNamed(keys, "AltGr"), nullptr);
}

class KeyBlocks : public ::testing::TestWithParam<KeyBlock> {};

TEST_P(KeyBlocks, KeysAreNumberedPlacedApartAndFingered)
{
    TDataMod dm;
    ImportLayout(dm, Options("us", "", "CP1252", GetParam()));
    std::vector<KeyInfo> keys = Keys(dm);
    std::sort(keys.begin(), keys.end(), [](const KeyInfo &a, const KeyInfo &b) { return a.value < b.value; });
    ASSERT_FALSE(keys.empty());
    for (size_t i = 0; i < keys.size(); ++i) {
        const KeyInfo &k = keys[i];
        EXPECT_EQ(k.value, int32_t(i) + 1);
        EXPECT_GE(k.finger, 0);
        EXPECT_LE(k.finger, 9);
        EXPECT_GE(k.w, 40) << k.name;
        EXPECT_GE(k.h, 40) << k.name;
        EXPECT_FALSE(k.hint.empty()) << k.name;
        const QRect r(k.x, k.y, k.w, k.h);
        for (size_t j = i + 1; j < keys.size(); ++j)
            EXPECT_FALSE(r.intersects(QRect(keys[j].x, keys[j].y, keys[j].w, keys[j].h)))
                << k.name << " overlaps " << keys[j].name;
    }
    // The rows share one right edge.
    const KeyInfo *bksp = KeyNamed(keys, "Backspace");
    const KeyInfo *rshift = KeyNamed(keys, "R Shift");
    const KeyInfo *enter = KeyNamed(keys, "Enter");
    ASSERT_TRUE(bksp && rshift && enter);
    EXPECT_EQ(bksp->x + bksp->w, rshift->x + rshift->w);
    EXPECT_EQ(bksp->x + bksp->w, enter->x + enter->w);
    EXPECT_GT(bksp->w, 40);
    const KeyInfo *space = KeyNamed(keys, "Space");
    ASSERT_NE(space, nullptr);
    EXPECT_EQ(space->finger, 4);
    EXPECT_GT(space->w, 5 * 40);
    // Finger columns of the home row.
    const char *home = "ASDFGHJKL";
    const int fingers[] = {0, 1, 2, 3, 3, 6, 6, 7, 8};
    for (int i = 0; i < 9; ++i) {
        const KeyInfo *k = KeyNamed(keys, std::string(1, home[i]));
        ASSERT_NE(k, nullptr);
        EXPECT_EQ(k->finger, fingers[i]) << home[i];
    }

    // ISO: a tall Enter and the key left of Z; ANSI: neither.
    const bool iso = GetParam() == KeyBlock::Iso;
    EXPECT_EQ(enter->h, iso ? 82 : 40);
    const KeyInfo *z = KeyNamed(keys, "Z");
    const KeyInfo *lshift = KeyNamed(keys, "L Shift");
    ASSERT_TRUE(z && lshift);
    const bool keyBetween = std::any_of(keys.begin(), keys.end(), [&](const KeyInfo &k) {
        return k.y == z->y && k.x > lshift->x && k.x < z->x;
    });
    EXPECT_EQ(keyBetween, iso);
}

INSTANTIATE_TEST_SUITE_P(Blocks, KeyBlocks, ::testing::Values(KeyBlock::Iso, KeyBlock::Ansi),
                         [](const ::testing::TestParamInfo<KeyBlock> &i) { return std::string(KeyBlockName(i.param)); });

// ---- typing on an imported keyboard ------------------------------------------------

class TypedText : public IKbView {
public:
    std::string typed;
    void ShowKeyPressed(TKeyRef, bool) override {}
    void ShowStatus(const QString &) override {}
    void InsertText(const std::string &text) override { typed += text; }
    void SendBackspace() override {}
    void SendDelete() override {}
};

struct Board {
    TDataMod dm;
    TypedText view;
    TKbState state{view};
    std::vector<std::unique_ptr<QObject>> handles;
    std::map<std::string, int> rowOf;

    explicit Board(const LayoutImportOptions &options)
    {
        ImportLayout(dm, options);
        state.SetTables(&dm.MainTbl, &dm.Ctbl);
        int row = 0;
        for (dm.MainTbl.First(); !dm.MainTbl.Eof(); dm.MainTbl.Next()) {
            handles.push_back(std::make_unique<QObject>());
            state.RegisterKey(handles.back().get(), dm.MainTbl.FieldByName("KeyType").AsInteger(),
                              dm.MainTbl.FieldByName("KeyType2").AsInteger());
            rowOf[dm.MainTbl.FieldByName("Name").AsString()] = ++row;
        }
    }
    // Clicks keys by Name (code-page bytes), in turn.
    std::string Type(const std::vector<std::string> &keys)
    {
        view.typed.clear();
        for (const std::string &k : keys) {
            const auto it = rowOf.find(k);
            EXPECT_NE(it, rowOf.end()) << k;
            if (it != rowOf.end())
                state.PressKey(handles[size_t(it->second - 1)].get(), it->second);
        }
        return view.typed;
    }
};

struct TypingCase {
    const char *label;
    const char *layout;
    std::vector<std::string> keys; // Names in CP1252
    const char *expected;          // UTF-8
};

const TypingCase kTypingCases[] = {
    {"de_dead_acute_then_e", "de", {"Acute", "E"}, "\xC3\xA9"},
    // A dead key keeps Shift engaged: the letter after it is a capital
    // unless Shift is clicked off again.
    {"de_dead_grave_under_shift", "de", {"L Shift", "Acute", "E"}, "\xC3\x88"},
    {"de_dead_grave_then_small_e", "de", {"L Shift", "Acute", "L Shift", "E"}, "\xC3\xA8"},
    {"de_capital_after_dead_acute", "de", {"Acute", "R Shift", "E"}, "\xC3\x89"},
    {"de_dead_circumflex_then_a", "de", {"Circumflex", "A"}, "\xC3\xA2"},
    {"de_dead_circumflex_on_altgr", "de", {"AltGr", "\xC4", "O"}, "\xC3\xB4"},
    {"de_caps_lock_on_umlaut", "de", {"Caps Lock", "\xD6", "Caps Lock", "\xD6"}, "\xC3\x96\xC3\xB6"},
    {"de_altgr_q", "de", {"AltGr", "Q", "Q"}, "@q"},
    {"de_space_after_dead_acute", "de", {"Acute", "Space"}, "'"},
    {"de_degree_with_shift_on_dead_circumflex", "de", {"L Shift", "Circumflex"}, "\xC2\xB0"},
    {"de_dead_circumflex_still_dead_without_shift", "de", {"Circumflex", "E"}, "\xC3\xAA"},
    {"fr_dead_circumflex_then_e", "fr", {"Circumflex", "E"}, "\xC3\xAA"},
    {"fr_dead_diaeresis_under_shift", "fr", {"L Shift", "Circumflex", "R Shift", "I"}, "\xC3\xAF"},
    {"fr_number_row", "fr", {"\xC9", "L Shift", "\xC9"}, "\xC3\xA9" "2"},
};

void PrintTo(const TypingCase &c, std::ostream *os)
{
    *os << c.label;
}

class TypingOnImport : public ::testing::TestWithParam<TypingCase> {};

TEST_P(TypingOnImport, KeysTypeWhatTheLayoutTypes)
{
    const TypingCase &c = GetParam();
    Board board(Options(c.layout));
    const std::string typed = board.Type(c.keys);
    EXPECT_EQ(CodePage("CP1252").decode(typed).toStdString(), std::string(c.expected));
}

INSTANTIATE_TEST_SUITE_P(Layouts, TypingOnImport, ::testing::ValuesIn(kTypingCases),
                         [](const ::testing::TestParamInfo<TypingCase> &i) { return std::string(i.param.label); });

// ---- the report -----------------------------------------------------------------

bool HasNote(const LayoutImportReport &r, LayoutImportNote::Kind kind, const std::string &key, const std::string &level,
             const QString &text)
{
    return std::any_of(r.notes.begin(), r.notes.end(), [&](const LayoutImportNote &n) {
        return n.kind == kind && n.key == key && n.level == level && n.text == text;
    });
}

TEST(LayoutImportReport, RussianInCp1252ListsEveryLetterItCannotHold)
{
    TDataMod dm;
    const LayoutImportReport r = ImportLayout(dm, Options("ru"));
    const QString letters = QString::fromUtf8("йцукенгшщзхъфывапролджэячсмитьбюё");
    ASSERT_EQ(letters.size(), 33);
    for (const QChar c : letters) {
        EXPECT_TRUE(std::any_of(r.notes.begin(), r.notes.end(), [&](const LayoutImportNote &n) {
            return n.kind == LayoutImportNote::Kind::UnheldCharacter && n.level == "plain" && n.text == QString(c);
        })) << QString(c).toStdString();
        EXPECT_TRUE(std::any_of(r.notes.begin(), r.notes.end(), [&](const LayoutImportNote &n) {
            return n.kind == LayoutImportNote::Kind::UnheldCharacter && n.level == "Shift"
                && n.text == QString(c).toUpper();
        })) << QString(c).toUpper().toStdString();
    }
    // The key of ф would type nothing: it is left out. The unheld letter is
    // told under the key's short name, the key under its XKB name.
    EXPECT_TRUE(HasNote(r, LayoutImportNote::Kind::UnheldCharacter, "A", "plain", QString::fromUtf8("ф")));
    EXPECT_TRUE(HasNote(r, LayoutImportNote::Kind::NoPlainCharacter, "AC01", "plain", QString::fromUtf8("ф")));
    EXPECT_TRUE(HasNote(r, LayoutImportNote::Kind::UnheldCharacter, "3", "Shift", QString::fromUtf8("№")));
    // Every character row is one the code page holds: digits and punctuation.
    for (const CharInfo &c : Chars(dm))
        EXPECT_LT(c.code, 0x80) << c.name;

    // In its own code page nothing is left over.
    TDataMod dm1251;
    const LayoutImportReport r1251 = ImportLayout(dm1251, Options("ru", "", "CP1251"));
    EXPECT_EQ(r1251.Count(LayoutImportNote::Kind::UnheldCharacter), 0u);
    EXPECT_EQ(r1251.codePage, "CP1251");
    EXPECT_EQ(r1251.charCount, int(Chars(dm1251).size()));
    EXPECT_GT(r1251.charCount, r.charCount + 60);
}

TEST(LayoutImportReport, NamesWhatWasLeftOut)
{
    TDataMod dm;
    const LayoutImportReport de = ImportLayout(dm, Options("de"));
    using K = LayoutImportNote::Kind;
    EXPECT_TRUE(HasNote(de, K::OtherDeadKey, "Acute", "Shift+AltGr", "dead_ogonek"));
    EXPECT_TRUE(HasNote(de, K::OtherDeadKey, "\xC3\x96", "AltGr", "dead_doubleacute"));
    // The dead circumflex keeps ° under Shift: nothing to tell.
    EXPECT_FALSE(HasNote(de, K::UnreachableLevel, "Circumflex", "Shift", QString::fromUtf8("°")));
    EXPECT_TRUE(HasNote(de, K::UnheldCharacter, "L", "AltGr", QString::fromUtf8("ł")));
    EXPECT_TRUE(HasNote(de, K::UnheldCharacter, "C", "acute + plain", QString::fromUtf8("ć")));
    EXPECT_TRUE(HasNote(de, K::LeftOutKey, "TAB", "", "Tab"));
    EXPECT_TRUE(HasNote(de, K::LeftOutKey, "LWIN", "", "Super_L"));
    EXPECT_EQ(de.keyCount, int(Keys(dm).size()));
    EXPECT_GT(de.composedCount, 0);
    EXPECT_EQ(de.composeLocale, "en_US.UTF-8");

    // Without an AltGr key the third and fourth levels are left out.
    const LayoutImportReport us = ImportLayout(dm, Options("us"));
    EXPECT_TRUE(HasNote(us, K::LeftOutLevel, "<", "level 3", "|"));
    EXPECT_EQ(us.Count(K::UnheldCharacter), 0u);
    // ANSI has no key left of Z: it is reported.
    const LayoutImportReport ansi = ImportLayout(dm, Options("us", "", "CP1252", KeyBlock::Ansi));
    EXPECT_TRUE(HasNote(ansi, K::LeftOutKey, "LSGT", "", "<"));

    // The text: a summary line, then a heading per kind with its notes.
    const std::vector<std::string> lines = de.Lines();
    ASSERT_FALSE(lines.empty());
    EXPECT_NE(lines[0].find("de (German)"), std::string::npos) << lines[0];
    EXPECT_NE(lines[0].find("CP1252"), std::string::npos);
    const auto has = [&lines](const std::string &s) {
        return std::find(lines.begin(), lines.end(), s) != lines.end();
    };
    EXPECT_TRUE(has("  Shift+AltGr on \"Acute\": dead_ogonek"));
    EXPECT_TRUE(has("  AltGr on \"L\": \"\xC5\x82\" (U+0142)"));
    EXPECT_TRUE(has("  TAB (Tab)"));
    EXPECT_TRUE(has("Keys left out: " + std::to_string(de.Count(K::LeftOutKey))));
}

// ---- character keys left out -------------------------------------------------------

struct LeftOutCase {
    const char *label;
    const char *layout, *variant, *codePage;
    LayoutImportNote::Kind kind;
    const char *key;       // XKB name of the key left out
    const char *plain;     // its plain character (UTF-8)
    const char *keptBy;    // Name (UTF-8) of the key that keeps it, for a shared one
    const char *lostLevel; // one of the other levels lost with the key,
    const char *lost;      // and its character (UTF-8)
    const char *line;      // the report line (UTF-8)
};

void PrintTo(const LeftOutCase &c, std::ostream *os)
{
    *os << c.label;
}

class LeftOutCharacterKeys : public ::testing::TestWithParam<LeftOutCase> {};

// A key left out is told with what it would have typed, and what stays is a
// whole definition: keys numbered 1 to n, every row on a key, every
// character key with a plain character, no plain character on two keys but
// twins.
TEST_P(LeftOutCharacterKeys, AreToldAndTheRestHoldsTogether)
{
    const LeftOutCase &c = GetParam();
    TDataMod dm;
    const LayoutImportReport r = ImportLayout(dm, Options(c.layout, c.variant, c.codePage));
    const auto note = std::find_if(r.notes.begin(), r.notes.end(), [&c](const LayoutImportNote &n) {
        return n.kind == c.kind && n.key == c.key;
    });
    ASSERT_NE(note, r.notes.end()) << c.key;
    EXPECT_EQ(note->level, "plain");
    EXPECT_EQ(note->text, QString::fromUtf8(c.plain));
    EXPECT_EQ(note->keptBy, c.keptBy);
    EXPECT_NE(std::find(note->alsoLost.begin(), note->alsoLost.end(),
                        std::make_pair(std::string(c.lostLevel), QString::fromUtf8(c.lost))),
              note->alsoLost.end());
    const std::vector<std::string> lines = r.Lines();
    EXPECT_NE(std::find(lines.begin(), lines.end(), std::string("  ") + c.line), lines.end()) << c.line;

    const CodePage cp(c.codePage);
    const std::vector<KeyInfo> keys = Keys(dm);
    ASSERT_EQ(int(keys.size()), r.keyCount);
    std::map<int32_t, size_t> keyOf;
    for (size_t i = 0; i < keys.size(); ++i)
        keyOf[keys[i].value] = i;
    ASSERT_EQ(keyOf.size(), keys.size());
    EXPECT_EQ(keyOf.begin()->first, 1);
    EXPECT_EQ(keyOf.rbegin()->first, int32_t(keys.size()));
    std::map<size_t, std::vector<std::pair<bool, int32_t>>> typed; // without AltGr and accent
    std::map<int32_t, std::vector<size_t>> plainKeys;
    for (const CharInfo &ch : Chars(dm)) {
        ASSERT_TRUE(keyOf.count(ch.keyNo)) << ch.name;
        if (ch.altGr || ch.accent)
            continue;
        typed[keyOf[ch.keyNo]].push_back({ch.shift, ch.code});
        if (!ch.shift)
            plainKeys[ch.code].push_back(keyOf[ch.keyNo]);
    }
    for (size_t i = 0; i < keys.size(); ++i) {
        std::sort(typed[i].begin(), typed[i].end());
        if (keys[i].type >= 1 && keys[i].type <= 3) {
            EXPECT_TRUE(std::any_of(typed[i].begin(), typed[i].end(), [](const auto &t) { return !t.first; }))
                << keys[i].name;
        }
    }
    for (const auto &[code, on] : plainKeys)
        for (size_t j = 1; j < on.size(); ++j)
            EXPECT_TRUE(keys[on[0]].type == keys[on[j]].type && typed[on[0]] == typed[on[j]])
                << "code " << code << " on " << keys[on[0]].name << " and " << keys[on[j]].name;
    // The character stays on the key that keeps it.
    if (c.kind == LayoutImportNote::Kind::SharedPlainCharacter) {
        const auto kept = std::find_if(keys.begin(), keys.end(), [&](const KeyInfo &k) {
            return cp.decode(k.name) == QString::fromUtf8(c.keptBy);
        });
        ASSERT_NE(kept, keys.end()) << c.keptBy;
        uint8_t byte = 0;
        ASSERT_TRUE(cp.fromUnicode(QString::fromUtf8(c.plain).toStdU32String()[0], byte));
        EXPECT_NE(std::find(typed[size_t(kept - keys.begin())].begin(), typed[size_t(kept - keys.begin())].end(),
                            std::make_pair(false, int32_t(byte))),
                  typed[size_t(kept - keys.begin())].end());
    }
}

using LK = LayoutImportNote::Kind;
const LeftOutCase kLeftOutCases[] = {
    // Single letters the code page cannot hold.
    {"esperanto_c_circumflex", "epo", "", "CP1252", LK::NoPlainCharacter, "AB02", "\xC4\x89", "", "AltGr", "x",
     "AB02: plain \"\xC4\x89\" (U+0109); with it AltGr \"x\" (U+0078), Shift+AltGr \"X\" (U+0058)"},
    // A script the code page cannot hold: every letter key goes, with the
    // Latin capitals some of them have under Shift.
    {"georgian_in_cp1252", "ge", "", "CP1252", LK::NoPlainCharacter, "AD01", "\xE1\x83\xA5", "", "Shift", "Q",
     "AD01: plain \"\xE1\x83\xA5\" (U+10E5); with it Shift \"Q\" (U+0051)"},
    // The extra key of the ISO block repeats "/" of the 4 key.
    {"russian_typewriter_extra_key", "ru", "typewriter", "CP1251", LK::SharedPlainCharacter, "LSGT", "/", "/",
     "Shift", "|", "LSGT: plain \"/\" (U+002F), which key \"/\" keeps; with it Shift \"|\" (U+007C)"},
    // Two keys of the main block: the earlier one keeps the apostrophe.
    {"brazilian_apostrophe", "br", "nodeadkeys", "CP1252", LK::SharedPlainCharacter, "AD11", "'", "'", "Shift",
     "`", "AD11: plain \"'\" (U+0027), which key \"'\" keeps; with it Shift \"`\" (U+0060), AltGr \"\xC2\xB4\" "
          "(U+00B4), Shift+AltGr \"`\" (U+0060)"},
};

INSTANTIATE_TEST_SUITE_P(Layouts, LeftOutCharacterKeys, ::testing::ValuesIn(kLeftOutCases),
                         [](const ::testing::TestParamInfo<LeftOutCase> &i) { return std::string(i.param.label); });

// ---- settings, order, failures --------------------------------------------------

TEST(LayoutImport, ReplacesTablesKeepsSettingsAndOrder)
{
    TDataMod dm;
    dm.bkcolor = 0x123456;
    dm.FingerLength[3] = 77;
    dm.FingerColor[9] = 0xABCDEF;
    dm.Author = "me";
    dm.MainTbl.SetIndexFieldNames("KeyValue");
    dm.MainTbl.AppendRecord({TValue("old key"), TValue(int32_t(500))});
    dm.FilterKeyChars(3);
    ImportLayout(dm, Options("de", "nodeadkeys"));
    EXPECT_EQ(dm.bkcolor, 0x123456);
    EXPECT_EQ(dm.FingerLength[3], 77);
    EXPECT_EQ(dm.FingerColor[9], 0xABCDEF);
    EXPECT_EQ(dm.Author, "German (no dead keys)");
    EXPECT_NE(dm.misc.find("de(nodeadkeys)"), std::string::npos);
    EXPECT_EQ(dm.MainTbl.IndexFieldNames(), "KeyValue");
    dm.MainTbl.First();
    EXPECT_EQ(dm.MainTbl.FieldByName("KeyValue").AsInteger(), 1);
    EXPECT_FALSE(dm.LocateKey(500));
    // The character cursors are made anew: CtblD sees every row again.
    EXPECT_EQ(dm.CtblD.RecordCount(), dm.Ctbl.RecordCount());
    EXPECT_EQ(dm.Ctbl.IndexFieldNames(), "Code");
    // No dead keys in this variant: no accent rows.
    for (const CharInfo &c : Chars(dm))
        EXPECT_EQ(c.accent, 0) << c.name;
}

struct FailureCase {
    const char *label;
    const char *layout;
    const char *variant;
    const char *codePage;
    const char *message;
};

const FailureCase kFailures[] = {
    {"unknown_layout", "xx", "", "CP1252", "Keyboard layout 'xx' does not exist"},
    {"unknown_variant", "de", "nosuch", "CP1252", "Keyboard layout 'de(nosuch)' does not exist"},
    {"path_in_name", "../de", "", "CP1252", "Keyboard layout '../de' does not exist"},
    {"empty_name", "", "", "CP1252", "Keyboard layout '' does not exist"},
    {"unknown_code_page", "de", "", "CP9999", "Unknown code page CP9999"},
    {"not_an_8_bit_code_page", "de", "", "UTF-8", "Unknown code page UTF-8"},
    // Ogham: no key but the space bar types a character CP1252 holds.
    {"code_page_holds_nothing", "ie", "ogam", "CP1252",
     "Keyboard layout 'ie(ogam)': code page CP1252 holds no character its keys type without Shift"},
};

void PrintTo(const FailureCase &c, std::ostream *os)
{
    *os << c.label;
}

class ImportFailures : public ::testing::TestWithParam<FailureCase> {};

TEST_P(ImportFailures, LeaveTheDefinitionAsItWas)
{
    const FailureCase &c = GetParam();
    TDataMod dm;
    ImportLayout(dm, Options("us"));
    dm.Author = "kept";
    const std::string keys = dm.MainTbl.SaveToBytes();
    const std::string chars = dm.Ctbl.SaveToBytes();
    try {
        ImportLayout(dm, Options(c.layout, c.variant, c.codePage));
        FAIL() << "no error";
    } catch (const EConvertError &e) {
        EXPECT_NE(std::string(e.what()).find(c.message), std::string::npos) << e.what();
    }
    EXPECT_EQ(dm.MainTbl.SaveToBytes(), keys);
    EXPECT_EQ(dm.Ctbl.SaveToBytes(), chars);
    EXPECT_EQ(dm.Author, "kept");
}

INSTANTIATE_TEST_SUITE_P(Cases, ImportFailures, ::testing::ValuesIn(kFailures),
                         [](const ::testing::TestParamInfo<FailureCase> &i) { return std::string(i.param.label); });

TEST(LayoutImport, UsersOwnComposeFileDoesNotChangeTheImport)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const std::string file = dir.filePath("XCompose").toStdString();
    FILE *f = std::fopen(file.c_str(), "w");
    ASSERT_NE(f, nullptr);
    std::fputs("<dead_acute> <e> : \"x\" x\n", f);
    std::fclose(f);
    const char *old = std::getenv("XCOMPOSEFILE");
    const std::string saved = old ? old : "";
    setenv("XCOMPOSEFILE", file.c_str(), 1);
    Board board(Options("de"));
    const std::string typed = board.Type({"Acute", "E"});
    if (old)
        setenv("XCOMPOSEFILE", saved.c_str(), 1);
    else
        unsetenv("XCOMPOSEFILE");
    EXPECT_EQ(typed, "\xE9");
}

// Sets environment variables for a test and puts them back afterwards.
class ScopedEnv {
public:
    ScopedEnv &set(const char *name, const char *value)
    {
        const char *old = std::getenv(name);
        m_saved.push_back({name, old ? old : "", old != nullptr});
        if (value)
            setenv(name, value, 1);
        else
            unsetenv(name);
        return *this;
    }
    ~ScopedEnv()
    {
        for (auto it = m_saved.rbegin(); it != m_saved.rend(); ++it) {
            if (it->had)
                setenv(it->name.c_str(), it->value.c_str(), 1);
            else
                unsetenv(it->name.c_str());
        }
    }

private:
    struct Saved {
        std::string name, value;
        bool had;
    };
    std::vector<Saved> m_saved;
};

void WriteFile(const std::string &path, const char *text)
{
    FILE *f = std::fopen(path.c_str(), "w");
    ASSERT_NE(f, nullptr) << path;
    std::fputs(text, f);
    std::fclose(f);
}

// The user's locale as the environment spells it chooses the system's
// compose table under the name the system lists it; a user's own compose
// files (in HOME, in XDG_CONFIG_HOME, named by XCOMPOSEFILE) are never read.
struct ComposeLocaleCase {
    const char *label;
    const char *lcAll;  // the user's locale
    const char *option; // composeLocale of the import ("": the user's)
    const char *listed; // the locale the report names
};

void PrintTo(const ComposeLocaleCase &c, std::ostream *os)
{
    *os << c.label;
}

class ComposeLocales : public ::testing::TestWithParam<ComposeLocaleCase> {};

TEST_P(ComposeLocales, SystemTableUnderEverySpellingAndNeverTheUsersOwn)
{
    const ComposeLocaleCase &c = GetParam();
    QTemporaryDir home;
    ASSERT_TRUE(home.isValid());
    const char *hostile = "<dead_acute> <e> : \"X\" X\n<dead_acute> <E> : \"Y\" Y\n";
    WriteFile(home.filePath(".XCompose").toStdString(), hostile);
    ASSERT_TRUE(QDir(home.path()).mkpath(QStringLiteral("config")));
    WriteFile(home.filePath("config/XCompose").toStdString(), hostile);
    WriteFile(home.filePath("named").toStdString(), hostile);
    ScopedEnv env;
    env.set("HOME", home.path().toUtf8().constData())
        .set("XDG_CONFIG_HOME", home.filePath("config").toUtf8().constData())
        .set("XCOMPOSEFILE", c.option[0] ? home.filePath("named").toUtf8().constData() : nullptr)
        .set("LC_ALL", c.lcAll)
        .set("XLOCALEDIR", nullptr);

    TDataMod dm;
    LayoutImportOptions options = Options("de");
    options.composeLocale = c.option;
    const LayoutImportReport report = ImportLayout(dm, options);
    EXPECT_EQ(report.composeLocale, c.listed);
    std::map<std::string, int32_t> codeOf;
    for (const CharInfo &ch : Chars(dm))
        codeOf[ch.name] = ch.code;
    EXPECT_EQ(codeOf["E acute"], 0xE9);
    EXPECT_EQ(codeOf["E acute capital"], 0xC9);
    for (const CharInfo &ch : Chars(dm))
        EXPECT_FALSE(ch.accent != 0 && (ch.code == 'X' || ch.code == 'Y')) << ch.name;
}

const ComposeLocaleCase kComposeLocales[] = {
    {"en_US_utf8", "en_US.utf8", "", "en_US.UTF-8"},
    {"en_US_UTF8", "en_US.UTF8", "", "en_US.UTF-8"},
    {"en_US_UTF_8", "en_US.UTF-8", "", "en_US.UTF-8"},
    {"C_utf8", "C.utf8", "", "C.UTF-8"},
    {"C_UTF_8", "C.UTF-8", "", "C.UTF-8"},
    {"de_DE_utf8", "de_DE.utf8", "", "de_DE.UTF-8"},
    {"de_DE_utf8_euro", "de_DE.utf8@euro", "", "de_DE.UTF-8"}, // an alias of the system's list
    {"C_falls_back", "C", "", "en_US.UTF-8"},
    {"POSIX_falls_back", "POSIX", "", "en_US.UTF-8"},
    {"unknown_falls_back", "xx_XX.utf8", "", "en_US.UTF-8"},
    {"option_spelled_utf8", "C", "en_US.utf8", "en_US.UTF-8"},
};

INSTANTIATE_TEST_SUITE_P(Locales, ComposeLocales, ::testing::ValuesIn(kComposeLocales),
                         [](const ::testing::TestParamInfo<ComposeLocaleCase> &i) { return std::string(i.param.label); });

// A user's own keyboard data (~/.xkb, $XDG_CONFIG_HOME/xkb,
// $XKB_CONFIG_EXTRA_PATH) would change what a layout types: the import reads
// the system's only.
TEST(LayoutImport, TheUsersOwnKeyboardDataIsNeverRead)
{
    QTemporaryDir home;
    ASSERT_TRUE(home.isValid());
    // A "us" of the user's own whose Q key types x.
    const char *hostile = "default partial alphanumeric_keys\nxkb_symbols \"basic\" {\n"
                          "    name[Group1] = \"Hostile\";\n    key <AD01> { [ x, X ] };\n};\n";
    for (const char *dir : {".xkb/symbols", "config/xkb/symbols", "extra/symbols"}) {
        ASSERT_TRUE(QDir(home.path()).mkpath(QString::fromLatin1(dir)));
        WriteFile(home.filePath(QString::fromLatin1(dir) + QStringLiteral("/us")).toStdString(), hostile);
    }
    ScopedEnv env;
    env.set("HOME", home.path().toUtf8().constData())
        .set("XDG_CONFIG_HOME", home.filePath("config").toUtf8().constData())
        .set("XKB_CONFIG_EXTRA_PATH", home.filePath("extra").toUtf8().constData());
    TDataMod dm;
    ImportLayout(dm, Options("us"));
    std::map<std::string, int32_t> codeOf;
    for (const CharInfo &ch : Chars(dm))
        codeOf[ch.name] = ch.code;
    EXPECT_EQ(codeOf["Q normal"], 'q');
    EXPECT_EQ(codeOf["Q shifted"], 'Q');
}

TEST(LayoutImport, NamedComposeLocaleWithoutSystemTableIsAnError)
{
    TDataMod dm;
    LayoutImportOptions options = Options("de");
    options.composeLocale = "xx_XX.utf8";
    EXPECT_THROW(ImportLayout(dm, options), EInOutError);
    EXPECT_EQ(SystemComposeLocale("xx_XX.utf8"), "");
    EXPECT_EQ(SystemComposeLocale("en_US.utf8"), "en_US.UTF-8");
}

// Bytes the code page leaves undefined are no character of the layout:
// Lithuanian has the yen sign on AltGr, which CP1257 leaves undefined at
// 0xA5 (the yen sign's own number), Spanish the inverted exclamation mark
// (0xA1). They are told as characters the code page cannot hold.
struct UndefinedCase {
    const char *label;
    const char *layout;
    const char *codePage;
    const char *character; // UTF-8
};

void PrintTo(const UndefinedCase &c, std::ostream *os)
{
    *os << c.label;
}

class UndefinedBytesOnImport : public ::testing::TestWithParam<UndefinedCase> {};

TEST_P(UndefinedBytesOnImport, NoRowHoldsAnUndefinedByte)
{
    const UndefinedCase &c = GetParam();
    TDataMod dm;
    const LayoutImportReport report = ImportLayout(dm, Options(c.layout, "", c.codePage));
    const CodePage cp(c.codePage);
    for (const CharInfo &ch : Chars(dm))
        EXPECT_TRUE(cp.defined(uint8_t(ch.code))) << ch.name << ": " << ch.code;
    for (const KeyInfo &k : Keys(dm))
        for (const char b : k.name + k.hint)
            EXPECT_TRUE(cp.defined(uint8_t(b))) << k.name;
    const QString character = QString::fromUtf8(c.character);
    EXPECT_TRUE(std::any_of(report.notes.begin(), report.notes.end(), [&](const LayoutImportNote &n) {
        return n.kind == LayoutImportNote::Kind::UnheldCharacter && n.text == character;
    }));
}

INSTANTIATE_TEST_SUITE_P(Layouts, UndefinedBytesOnImport,
                         ::testing::Values(UndefinedCase{"lt_yen", "lt", "CP1257", "\xC2\xA5"},
                                           UndefinedCase{"es_inverted_exclamation", "es", "CP1257", "\xC2\xA1"}),
                         [](const ::testing::TestParamInfo<UndefinedCase> &i) { return std::string(i.param.label); });

// The code page proposed for a layout holds most of its letters; of those
// that hold as many, the first offered (the one in force comes first).
struct ProposalCase {
    const char *label;
    const char *layout;
    const char *variant;
    std::vector<std::string> offered;
    const char *proposed;
};

void PrintTo(const ProposalCase &c, std::ostream *os)
{
    *os << c.label;
}

class CodePageProposal : public ::testing::TestWithParam<ProposalCase> {};

TEST_P(CodePageProposal, HoldsMostOfTheLayoutsLetters)
{
    const ProposalCase &c = GetParam();
    // The code page of the layout's language, as the system lists it.
    const std::vector<XkbLayout> layouts = ListXkbLayouts();
    const XkbLayout *listed = FindXkbLayout(layouts, c.layout, c.variant);
    ASSERT_NE(listed, nullptr);
    std::string language;
    for (const std::string &code : listed->languages)
        if (language.empty())
            language = CodePage::codePageForLanguage(code);
    LayoutImportOptions options = Options(c.layout, c.variant, "CP1252");
    EXPECT_EQ(ProposeCodePage(options, c.offered, language), c.proposed) << "language: " << language;
}

const std::vector<std::string> kDesktop = {"CP1252", "CP874",  "CP1250", "CP1251", "CP1253",
                                           "CP1254", "CP1255", "CP1256", "CP1257", "CP1258"};
const std::vector<std::string> kDesktop1250First = {"CP1250", "CP874",  "CP1251", "CP1252", "CP1253",
                                                    "CP1254", "CP1255", "CP1256", "CP1257", "CP1258"};

const ProposalCase kProposals[] = {
    {"lt", "lt", "", kDesktop, "CP1257"},
    {"pl", "pl", "", kDesktop, "CP1250"},
    {"cz", "cz", "", kDesktop, "CP1250"},
    {"ru", "ru", "", kDesktop, "CP1251"},
    {"gr", "gr", "", kDesktop, "CP1253"},
    {"de", "de", "", kDesktop, "CP1252"},
    {"us_in_force_first", "us", "", kDesktop1250First, "CP1250"}, // every one holds its letters
    {"th_script_only_one_holds", "th", "", kDesktop, "CP874"},
    {"ee_language_breaks_the_tie", "ee", "", kDesktop, "CP1257"},
    {"ro_letters_on_altgr", "ro", "", kDesktop, "CP1250"},
    {"lowercase_names", "lt", "", {"cp1252", "cp1257"}, "CP1257"},
};

INSTANTIATE_TEST_SUITE_P(Layouts, CodePageProposal, ::testing::ValuesIn(kProposals),
                         [](const ::testing::TestParamInfo<ProposalCase> &i) { return std::string(i.param.label); });

// The window and the command line propose through one routine: the code
// page in force offered first, the language from the system's layout list.
TEST(CodePageProposal, ForALayoutAsTheSystemListsIt)
{
    const std::vector<std::string> offered = ImportCodePages();
    ASSERT_FALSE(offered.empty());
    EXPECT_EQ(offered.front(), CodePage::current().name());
    std::vector<std::string> sorted = offered;
    std::sort(sorted.begin(), sorted.end());
    EXPECT_EQ(std::unique(sorted.begin(), sorted.end()), sorted.end());
    for (const std::string &page : CodePage::desktopCodePages())
        EXPECT_NE(std::find(offered.begin(), offered.end(), page), offered.end()) << page;

    EXPECT_EQ(LanguageCodePage({"eng", "lit"}), "CP1257");
    EXPECT_EQ(LanguageCodePage({"deu"}), "");
    EXPECT_EQ(ProposeCodePageForLayout(Options("lt", "", "")), "CP1257");
    EXPECT_EQ(ProposeCodePageForLayout(Options("ee", "", "")), "CP1257"); // the language breaks the tie
    EXPECT_EQ(ProposeCodePageForLayout(Options("pl", "qwertz", "")), "CP1250");
}

TEST(CodePageProposal, UnknownLayoutIsAnError)
{
    EXPECT_THROW(ProposeCodePage(Options("no-such-layout"), {"CP1252"}), EConvertError);
    EXPECT_EQ(ProposeCodePage(Options("us"), {}), "");
}

// Keys whose plain characters share a capital, or that repeat another key's
// character, still get names of their own: the first free of capital, plain
// character and short name.
struct NameCase {
    const char *layout, *variant, *codePage;
    const char *first, *second; // names (code-page bytes) of the two keys that met
};

void PrintTo(const NameCase &c, std::ostream *os) { *os << c.layout << (*c.variant ? "(" : "") << c.variant << (*c.variant ? ")" : ""); }

class UniqueKeyNames : public ::testing::TestWithParam<NameCase> {};

TEST_P(UniqueKeyNames, EveryKeyHasItsOwnName)
{
    const NameCase &c = GetParam();
    TDataMod dm;
    LayoutImportOptions options;
    options.layout = c.layout;
    options.variant = c.variant;
    options.codePage = c.codePage;
    options.composeLocale = "en_US.UTF-8";
    ImportLayout(dm, options);
    std::map<std::string, int> seen;
    std::vector<std::string> names;
    for (const KeyInfo &k : Keys(dm)) {
        ++seen[k.name];
        names.push_back(k.name);
    }
    for (const auto &[name, count] : seen)
        EXPECT_EQ(count, 1) << c.layout << ": \"" << name << "\"";
    EXPECT_NE(std::find(names.begin(), names.end(), c.first), names.end()) << c.first;
    EXPECT_NE(std::find(names.begin(), names.end(), c.second), names.end()) << c.second;
}

INSTANTIATE_TEST_SUITE_P(Layouts, UniqueKeyNames,
                         ::testing::Values(NameCase{"gr", "", "CP1253", "\xD3", "\xF3"},   // final sigma, sigma
                                           NameCase{"tr", "", "CP1254", "I", "i"},           // dotless i, dotted i
                                           NameCase{"us", "euro", "CP1252", "\\", "Less"},   // extra key
                                           // backslash on the B position, where "B" and "\\" are taken
                                           NameCase{"us", "colemak_dh_iso", "CP1252", "B", "AB05"}));

// The Russian phonetic Dvorak layout has a cedilla dead key under AltGr;
// CP1251 holds nothing it composes, so it would swallow the next keystroke.
// It is left out and told; the key's other characters stay.
TEST(LayoutImport, DeadKeyWithNothingHeldAfterItIsLeftOut)
{
    TDataMod dm;
    LayoutImportOptions options;
    options.layout = "ru";
    options.variant = "phonetic_dvorak";
    options.codePage = "CP1251";
    options.composeLocale = "en_US.UTF-8";
    const LayoutImportReport report = ImportLayout(dm, options);
    for (const KeyInfo &k : Keys(dm)) {
        EXPECT_NE(k.type, 2008) << k.name;
        EXPECT_NE(k.type2, 2008) << k.name;
    }
    for (const CharInfo &c : Chars(dm))
        EXPECT_NE(c.accent, 2008) << c.name;
    bool told = false;
    for (const LayoutImportNote &n : report.notes)
        told = told || (n.kind == LayoutImportNote::Kind::OtherDeadKey && n.text == QStringLiteral("dead_cedilla"));
    EXPECT_TRUE(told);
    // The acute dead key, whose characters CP1251 holds, stays.
    const auto keys = Keys(dm);
    EXPECT_TRUE(std::any_of(keys.begin(), keys.end(), [](const KeyInfo &k) { return k.type2 == 2002 || k.type == 2002; }));
}

TEST(LayoutImport, KeyBlockNames)
{
    KeyBlock b = KeyBlock::Iso;
    EXPECT_TRUE(ParseKeyBlock("ANSI", b));
    EXPECT_EQ(b, KeyBlock::Ansi);
    EXPECT_TRUE(ParseKeyBlock("iso", b));
    EXPECT_EQ(b, KeyBlock::Iso);
    EXPECT_FALSE(ParseKeyBlock("jis", b));
    EXPECT_FALSE(ParseKeyBlock("", b));
}

} // namespace

// ---- characters typed only with Caps Lock --------------------------------------------

struct CapsLockCase {
    const char *label;
    const char *layout, *variant, *codePage;
    const char *key;     // the key's Name (UTF-8)
    const char *level;   // "Caps Lock", "Caps Lock+Shift"
    const char *text;    // what Caps Lock types (UTF-8)
    const char *without; // what the key types in that state without Caps Lock (UTF-8)
};

void PrintTo(const CapsLockCase &c, std::ostream *os)
{
    *os << c.label;
}

class CapsLockOnly : public ::testing::TestWithParam<CapsLockCase> {};

// Polish QWERTZ has ż and ń on one key, so Shift cannot give Ż: the keymap
// types it with Caps Lock only, which the definition cannot express. Each
// such capital is told, with what the key types instead.
TEST_P(CapsLockOnly, IsToldWithWhatTheKeyTypesInstead)
{
    const CapsLockCase &c = GetParam();
    TDataMod dm;
    const LayoutImportReport r = ImportLayout(dm, Options(c.layout, c.variant, c.codePage));
    const auto note = std::find_if(r.notes.begin(), r.notes.end(), [&c](const LayoutImportNote &n) {
        return n.kind == LayoutImportNote::Kind::CapsLockOnly && n.text == QString::fromUtf8(c.text);
    });
    ASSERT_NE(note, r.notes.end()) << c.text;
    EXPECT_EQ(note->key, c.key);
    EXPECT_EQ(note->level, c.level);
    EXPECT_EQ(note->withoutCapsLock, QString::fromUtf8(c.without));
    // No row holds it: that is why it is told.
    const CodePage cp(c.codePage);
    uint8_t byte = 0;
    ASSERT_TRUE(cp.fromUnicode(QString::fromUtf8(c.text).toStdU32String()[0], byte));
    for (const CharInfo &ch : Chars(dm))
        EXPECT_NE(ch.code, int32_t(byte)) << ch.name;
    const std::vector<std::string> lines = r.Lines();
    const std::string line = std::string("  ") + c.level + " on \"" + c.key + "\": \"" + c.text + "\"";
    EXPECT_TRUE(std::any_of(lines.begin(), lines.end(), [&line](const std::string &l) { return l.rfind(line, 0) == 0; }))
        << line;
}

INSTANTIATE_TEST_SUITE_P(
    Layouts, CapsLockOnly,
    ::testing::Values(
        CapsLockCase{"pl_qwertz_Z_dot", "pl", "qwertz", "CP1250", "\xC5\xBB", "Caps Lock", "\xC5\xBB", "\xC5\xBC"},
        CapsLockCase{"pl_qwertz_A_ogonek", "pl", "qwertz", "CP1250", "\xC4\x84", "Caps Lock", "\xC4\x84", "\xC4\x85"},
        CapsLockCase{"pl_qwertz_E_ogonek", "pl", "qwertz", "CP1250", "\xC4\x84", "Caps Lock+Shift", "\xC4\x98",
                     "\xC4\x99"}),
    [](const ::testing::TestParamInfo<CapsLockCase> &i) { return std::string(i.param.label); });

TEST(CapsLockOnly, LayoutsWhoseCapitalsAreOnShiftTellNone)
{
    for (const auto &[layout, codePage] :
         std::vector<std::pair<const char *, const char *>>{{"us", "CP1252"}, {"de", "CP1252"}, {"pl", "CP1250"},
                                                             {"lt", "CP1257"}, {"ru", "CP1251"}}) {
        TDataMod dm;
        const LayoutImportReport r = ImportLayout(dm, Options(layout, "", codePage));
        EXPECT_EQ(r.Count(LayoutImportNote::Kind::CapsLockOnly), 0u) << layout;
    }
    // Polish QWERTZ types Ś, Ó, Ń, Ć and Ź with Caps Lock too, but also
    // through its dead acute: they have rows, so nothing is told of them.
    TDataMod dm;
    const LayoutImportReport r = ImportLayout(dm, Options("pl", "qwertz", "CP1250"));
    EXPECT_EQ(r.Count(LayoutImportNote::Kind::CapsLockOnly), 3u);
    for (const char *capital : {"\xC5\x9A", "\xC3\x93", "\xC5\x83", "\xC4\x86", "\xC5\xB9"})
        EXPECT_FALSE(std::any_of(r.notes.begin(), r.notes.end(), [capital](const LayoutImportNote &n) {
            return n.kind == LayoutImportNote::Kind::CapsLockOnly && n.text == QString::fromUtf8(capital);
        })) << capital;
}

// ---- the import held against the keymap ---------------------------------------------

struct CompareCase {
    const char *layout, *variant, *codePage;
};

void PrintTo(const CompareCase &c, std::ostream *os)
{
    *os << c.layout << "(" << c.variant << ") " << c.codePage;
}

class ImportAgainstKeymap : public ::testing::TestWithParam<CompareCase> {};

// Every key and level of an import types what the keymap types, or the
// difference is one the definition cannot avoid.
TEST_P(ImportAgainstKeymap, EveryKeyAndLevelTypesWhatTheKeymapTypes)
{
    const CompareCase &c = GetParam();
    for (const KeyBlock block : {KeyBlock::Iso, KeyBlock::Ansi}) {
        TDataMod dm;
        const LayoutImportOptions options = Options(c.layout, c.variant, c.codePage, block);
        ImportLayout(dm, options);
        const LayoutComparison result = CompareWithLayout(dm, CodePage(c.codePage), options);
        EXPECT_GE(result.keys, 55);
        EXPECT_GE(result.levels, 40);
        std::string unexplained;
        for (const LayoutDifference &d : result.differences)
            if (d.why.empty())
                unexplained += d.Describe() + "\n";
        EXPECT_EQ(result.Unexplained(), 0u) << KeyBlockName(block) << "\n" << unexplained;
    }
}

INSTANTIATE_TEST_SUITE_P(Layouts, ImportAgainstKeymap,
                         ::testing::Values(CompareCase{"de", "", "CP1252"}, CompareCase{"fr", "", "CP1252"},
                                           CompareCase{"lt", "", "CP1257"}, CompareCase{"pl", "", "CP1250"},
                                           CompareCase{"pl", "qwertz", "CP1250"}, CompareCase{"ru", "", "CP1251"},
                                           CompareCase{"us", "", "CP1252"}, CompareCase{"ru", "", "CP1252"},
                                           // ° is not in CP874: the dead key keeps its accent under Shift.
                                           CompareCase{"de", "", "CP874"},
                                           // A dead ring on Shift+AltGr of a character key whose AltGr
                                           // types a character: a definition has no place for it.
                                           CompareCase{"hu", "", "CP1250"},
                                           // The Shift accent (cedilla) has no character in CP874.
                                           CompareCase{"de", "neo", "CP874"}));

// A definition that lost what the keymap types is caught: the German
// circumflex key made a dead key under Shift again, and a letter's row gone.
TEST(ImportAgainstKeymap, FindsWhatTheDefinitionDoesNotType)
{
    TDataMod dm;
    const LayoutImportOptions options = Options("de");
    ImportLayout(dm, options);
    ASSERT_TRUE(dm.MainTbl.Locate("Name", {TValue(std::string("Circumflex"))}));
    dm.MainTbl.Edit();
    dm.MainTbl.FieldByName("KeyType2").SetValue(TValue(int32_t(2003)));
    dm.MainTbl.Post();
    ASSERT_TRUE(dm.Ctbl.Locate("Name", {TValue(std::string("Q shifted"))}));
    dm.Ctbl.Delete();

    const LayoutComparison result = CompareWithLayout(dm, CodePage("CP1252"), options);
    std::vector<std::string> unexplained;
    for (const LayoutDifference &d : result.differences)
        if (d.why.empty())
            unexplained.push_back(d.Describe());
    EXPECT_EQ(unexplained,
              (std::vector<std::string>{
                  "TLDE Shift: the layout types \"\xC2\xB0\", the definition \"dead_circumflex\" (unexplained)",
                  "AD01 Shift: the layout types \"Q\", the definition nothing (unexplained)"}));
}
