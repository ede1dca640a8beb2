// The keyboard handed to other programs: keys placed on the PC main block,
// the XKB symbols file compiled by libxkbcommon and compared with the system
// layout the package was imported from, and what the export refuses.

#include "exchange/ExchangeFormat.h"
#include "exchange/KeyboardFormats.h"
#include "exchange/KeyboardView.h"
#include "exchange/LayoutImport.h"
#include "exchange/XkbLayouts.h"
#include "common/CodePage.h"
#include "common/Errors.h"
#include "common/TextFile.h"
#include "model/KeyCodes.h"
#include "model/MainData.h"

#include <gtest/gtest.h>

#include <xkbcommon/xkbcommon.h>

#include <QDir>
#include <QTemporaryDir>

#include <array>
#include <memory>
#include <string>

using namespace kf;

namespace {

LayoutImportOptions Options(const char *layout, const char *codePage, KeyBlock block = KeyBlock::Iso)
{
    LayoutImportOptions o;
    o.layout = layout;
    o.codePage = codePage;
    o.block = block;
    o.composeLocale = "en_US.UTF-8";
    return o;
}

// A keymap compiled from the system's rules: a system layout, or a symbols
// file put in a folder of its own.
class Keymap {
public:
    Keymap(const std::string &layout, const std::string &symbols = std::string())
    {
        m_ctx = xkb_context_new(xkb_context_flags(XKB_CONTEXT_NO_ENVIRONMENT_NAMES | XKB_CONTEXT_NO_DEFAULT_INCLUDES));
        if (!symbols.empty()) {
            QDir(m_dir.path()).mkpath("symbols");
            writeFileBytes(m_dir.filePath("symbols/" + QString::fromStdString(layout)).toStdString(), symbols);
            xkb_context_include_path_append(m_ctx, m_dir.path().toLocal8Bit().constData());
        }
        xkb_context_include_path_append(m_ctx, XkbConfigRoot().c_str());
        const xkb_rule_names names{"evdev", "pc105", layout.c_str(), "", ""};
        m_keymap = xkb_keymap_new_from_names(m_ctx, &names, XKB_KEYMAP_COMPILE_NO_FLAGS);
        if (!m_keymap)
            return;
        const xkb_mod_mask_t shift = 1u << xkb_keymap_mod_get_index(m_keymap, XKB_MOD_NAME_SHIFT);
        xkb_state *probe = xkb_state_new(m_keymap);
        xkb_state_update_key(probe, xkb_keymap_key_by_name(m_keymap, "RALT"), XKB_KEY_DOWN);
        const xkb_mod_mask_t altGr = xkb_state_serialize_mods(probe, XKB_STATE_MODS_EFFECTIVE);
        xkb_state_unref(probe);
        for (int l = 0; l < 4; ++l) {
            m_states[size_t(l)] = xkb_state_new(m_keymap);
            xkb_state_update_mask(m_states[size_t(l)], ((l & 1) ? shift : 0) | ((l & 2) ? altGr : 0), 0, 0, 0, 0, 0);
        }
    }
    ~Keymap()
    {
        for (xkb_state *s : m_states)
            xkb_state_unref(s);
        xkb_keymap_unref(m_keymap);
        xkb_context_unref(m_ctx);
    }
    bool ok() const { return m_keymap != nullptr; }
    // The one keysym a key gives at a level; NoSymbol for none or several.
    xkb_keysym_t sym(const char *key, int level) const
    {
        const xkb_keycode_t kc = xkb_keymap_key_by_name(m_keymap, key);
        const xkb_keysym_t *syms = nullptr;
        const int n = xkb_state_key_get_syms(m_states[size_t(level)], kc, &syms);
        return n == 1 && syms[0] != XKB_KEY_VoidSymbol ? syms[0] : XKB_KEY_NoSymbol;
    }

private:
    QTemporaryDir m_dir;
    xkb_context *m_ctx = nullptr;
    xkb_keymap *m_keymap = nullptr;
    std::array<xkb_state *, 4> m_states{};
};

bool isDead(xkb_keysym_t sym)
{
    char name[64];
    return xkb_keysym_get_name(sym, name, sizeof name) > 0 && std::string(name).rfind("dead_", 0) == 0;
}

std::string symName(xkb_keysym_t sym)
{
    char name[64];
    xkb_keysym_get_name(sym, name, sizeof name);
    return name;
}

std::string xkbOf(TDataMod &dm, const CodePage &cp, std::vector<std::string> *warnings = nullptr)
{
    std::vector<std::string> w;
    std::string bytes = KeyboardFileBytes(dm, cp, XkbSymbolsFormat(), TExportOptions{}, w);
    if (warnings)
        *warnings = w;
    return bytes;
}

// ---- the export types what the system layout types ----------------------------

struct SystemCase {
    const char *label;
    const char *layout;
    const char *codePage;
    KeyBlock block;
    int placed; // keys on the main block, the space bar included
};

class XkbExportOfSystemLayout : public ::testing::TestWithParam<SystemCase> {};

TEST_P(XkbExportOfSystemLayout, TypesWhatTheSystemLayoutTypes)
{
    const SystemCase &c = GetParam();
    const CodePage cp(c.codePage);
    TDataMod dm;
    ImportLayout(dm, Options(c.layout, c.codePage, c.block));
    const TKeyboardView view = TKeyboardView::FromDataMod(dm, cp);
    EXPECT_EQ(int(view.Placed.size()), c.placed);
    EXPECT_EQ(view.Iso, c.block == KeyBlock::Iso);

    const std::string text = xkbOf(dm, cp);
    const Keymap exported("exported", text);
    ASSERT_TRUE(exported.ok()) << text;
    const Keymap system(c.layout);
    ASSERT_TRUE(system.ok());
    int compared = 0;
    for (const std::vector<std::string> &row : MainBlockRows(view.Iso)) {
        for (const std::string &slot : row) {
            const TViewKey *key = view.AtSlot(slot);
            for (int l = 0; l < 4; ++l) {
                const xkb_keysym_t mine = exported.sym(slot.c_str(), l), theirs = system.sym(slot.c_str(), l);
                const uint32_t myChar = isDead(mine) ? 0 : xkb_keysym_to_utf32(mine);
                const uint32_t theirChar = isDead(theirs) ? 0 : xkb_keysym_to_utf32(theirs);
                const std::string where = slot + " level " + std::to_string(l);
                // Whatever the export types, the system layout types too (but
                // where AltGr types nothing of its own, the level below shows).
                const bool below = l >= 2 && mine == exported.sym(slot.c_str(), l - 2);
                if (myChar >= 0x20 && !below)
                    EXPECT_EQ(myChar, theirChar) << where;
                // A dead key where the system layout has one, on its own level.
                if (isDead(mine) && (l == 0 || (l == 2 && key && !KeyTypes::IsAccent(key->Type))))
                    EXPECT_EQ(symName(mine), symName(theirs)) << where;
                // A character the code page holds on a key that is no dead key
                // reaches the export (a dead key on AltGr takes both AltGr
                // levels).
                uint8_t byte = 0;
                if (theirChar >= 0x20 && cp.fromUnicode(theirChar, byte) && key && !KeyTypes::IsAccent(key->Type)
                    && !(l >= 2 && key->Dead[size_t(l)])) {
                    EXPECT_EQ(myChar, theirChar) << where;
                    ++compared;
                }
            }
        }
    }
    EXPECT_GT(compared, 90);
}

const SystemCase kSystemCases[] = {
    {"lt_CP1257", "lt", "CP1257", KeyBlock::Iso, 49},
    {"pl_CP1250", "pl", "CP1250", KeyBlock::Iso, 49},
    {"de_CP1252", "de", "CP1252", KeyBlock::Iso, 49},
    {"fr_CP1252", "fr", "CP1252", KeyBlock::Iso, 49},
    {"us_ansi_CP1252", "us", "CP1252", KeyBlock::Ansi, 48},
};

INSTANTIATE_TEST_SUITE_P(Layouts, XkbExportOfSystemLayout, ::testing::ValuesIn(kSystemCases),
                         [](const ::testing::TestParamInfo<SystemCase> &i) { return std::string(i.param.label); });

// ---- the keyboard, not the layout it came from ---------------------------------

void moveKey(TDataMod &dm, const std::string &name, int x, int y)
{
    ASSERT_TRUE(dm.MainTbl.Locate("Name", {TValue(name)})) << name;
    dm.MainTbl.Edit();
    dm.MainTbl.FieldByName("X").SetAsInteger(x);
    dm.MainTbl.FieldByName("Y").SetAsInteger(y);
    dm.MainTbl.Post();
}

int keyField(TDataMod &dm, const std::string &name, const char *field)
{
    EXPECT_TRUE(dm.MainTbl.Locate("Name", {TValue(name)})) << name;
    return dm.MainTbl.FieldByName(field).AsInteger();
}

TEST(XkbExport, TwoKeysExchangedExportTheExchange)
{
    const CodePage cp("CP1252");
    TDataMod dm;
    ImportLayout(dm, Options("us", "CP1252"));
    const int qx = keyField(dm, "Q", "X"), qy = keyField(dm, "Q", "Y");
    const int wx = keyField(dm, "W", "X"), wy = keyField(dm, "W", "Y");
    moveKey(dm, "Q", wx, wy);
    moveKey(dm, "W", qx, qy);
    const Keymap exported("exported", xkbOf(dm, cp));
    ASSERT_TRUE(exported.ok());
    EXPECT_EQ(exported.sym("AD01", 0), xkb_keysym_t(XKB_KEY_w));
    EXPECT_EQ(exported.sym("AD01", 1), xkb_keysym_t(XKB_KEY_W));
    EXPECT_EQ(exported.sym("AD02", 0), xkb_keysym_t(XKB_KEY_q));
    EXPECT_EQ(exported.sym("AD03", 0), xkb_keysym_t(XKB_KEY_e));
}

TEST(XkbExport, AKeyWithNoPlaceIsWarnedAndLeftOut)
{
    const CodePage cp("CP1252");
    TDataMod dm;
    ImportLayout(dm, Options("us", "CP1252"));
    // A thirteenth key at the right end of the home row, beside Enter.
    const int y = keyField(dm, "A", "Y");
    dm.MainTbl.AppendRecord({std::string("Extra"), 200, KeyTypes::Num, TValue(), 9, TValue(), 40, 40, 900, y,
                             std::string("extra")});
    dm.Ctbl.AppendRecord({std::string("extra"), 0xA7, 200, false, false, 0}); // §
    std::vector<std::string> warnings;
    const std::string text = xkbOf(dm, cp, &warnings);
    ASSERT_EQ(warnings.size(), 1u);
    EXPECT_NE(warnings[0].find("\"Extra\""), std::string::npos) << warnings[0];
    EXPECT_EQ(text.find("section"), std::string::npos) << text;
}

TEST(XkbExport, RefusedWithoutACharacterKeyOnTheMainBlock)
{
    TDataMod dm;
    dm.MainTbl.AppendRecord({std::string("Shift"), 1, KeyTypes::LShift, TValue(), 0, TValue(), 60, 40, 8, 8,
                             std::string()});
    std::vector<std::string> warnings;
    EXPECT_THROW(KeyboardFileBytes(dm, CodePage("CP1252"), XkbSymbolsFormat(), TExportOptions{}, warnings),
                 EConvertError);
}

TEST(XkbExport, NothingIsWrittenWhenTheExportFails)
{
    QTemporaryDir dir;
    const std::string path = dir.filePath("out").toStdString();
    writeFileBytes(path, "earlier");
    TDataMod dm;
    EXPECT_THROW(ExportKeyboard(dm, CodePage("CP1252"), XkbSymbolsFormat(), TExportOptions{}, path), EConvertError);
    EXPECT_EQ(readFileBytes(path), "earlier");
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files).size(), 1);
}

TEST(XkbExport, CompositionsBeyondTheSystemTableGoToTheXComposeFile)
{
    const CodePage cp("CP1252");
    TDataMod dm;
    ImportLayout(dm, Options("de", "CP1252"));
    // Acute + S types "ß" on this keyboard: no compose table gives that.
    const int s = keyField(dm, "S", "KeyValue");
    dm.Ctbl.AppendRecord({std::string("S acute"), 0xDF, s, false, false, KeyTypes::Acute});
    std::vector<std::string> lines;
    const std::string text = XComposeText(TKeyboardView::FromDataMod(dm, cp), lines);
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0], "dead_acute + s: \xC3\x9F");
    EXPECT_NE(text.find("<dead_acute> <s> : \"\xC3\x9F\" ssharp\n"), std::string::npos) << text;
    std::vector<std::string> warnings;
    xkbOf(dm, cp, &warnings);
    ASSERT_EQ(warnings.size(), 2u);
    EXPECT_EQ(warnings[1], "  dead_acute + s: \xC3\x9F");
}

// ---- the proof before the file is written -------------------------------------

struct ProofCase {
    const char *label;
    const char *from;    // a part of the written file
    const char *to;      // what it is changed to
    const char *message; // a part of the error
};

class XkbProof : public ::testing::TestWithParam<ProofCase> {};

TEST_P(XkbProof, AFileThatDoesNotTypeTheKeyboardIsRefused)
{
    const ProofCase &c = GetParam();
    const CodePage cp("CP1252");
    TDataMod dm;
    ImportLayout(dm, Options("us", "CP1252"));
    const TKeyboardView view = TKeyboardView::FromDataMod(dm, cp);
    std::string text = xkbOf(dm, cp);
    XkbSymbolsFormat().CheckKeyboard(view, text); // the file as written passes
    const size_t at = text.find(c.from);
    ASSERT_NE(at, std::string::npos) << text;
    text.replace(at, std::string(c.from).size(), c.to);
    try {
        XkbSymbolsFormat().CheckKeyboard(view, text);
        FAIL() << "passed";
    } catch (const EConvertError &e) {
        EXPECT_NE(std::string(e.what()).find(c.message), std::string::npos) << e.what();
    }
}

const ProofCase kProofCases[] = {
    {"other_character", "key <AD01> { [ q, Q ] };", "key <AD01> { [ w, Q ] };",
     "plain on \"Q\" <AD01> gives \"w\" (w), the keyboard types \"q\" (q)"},
    {"missing_shift", "key <AC01> { [ a, A ] };", "key <AC01> { [ a, VoidSymbol ] };",
     "Shift on \"A\" <AC01> gives nothing"},
    {"key_left_out", "    key <AB01> { [ z, Z ] };\n", "", "plain on \"Z\" <AB01> gives nothing"},
    {"not_xkb", "xkb_symbols \"basic\" {", "xkb_symbols \"basic\" { key <AD01> {", "libxkbcommon refuses"},
};

INSTANTIATE_TEST_SUITE_P(Changes, XkbProof, ::testing::ValuesIn(kProofCases),
                         [](const ::testing::TestParamInfo<ProofCase> &i) { return std::string(i.param.label); });

} // namespace
