#pragma once
// The parts the layout import is made of, shared by its files: the slots of
// the main block's keys, the libxkbcommon handles, and the system's compose
// table. Only the import's own files include this.

#include "exchange/LayoutImport.h"

#include <xkbcommon/xkbcommon-compose.h>
#include <xkbcommon/xkbcommon.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace kf::xkbimport {

// ---- the main block ------------------------------------------------------------

// A key of the main block: where the definition puts it and which finger
// types it.
struct KeySlot {
    const char *xkb;       // XKB key name
    const char *shortName; // the key's Name when its plain character cannot name it
    int x, y, w, h;
    int finger;
    bool alwaysLeftOut;    // Tab: the definition has no Tab key
};

// The keys of a block, row by row, left to right; a key's number is its place
// in this list among the keys taken.
std::vector<KeySlot> BlockSlots(KeyBlock block);

// Keys of the main block that the definition leaves out whatever they type:
// they are reported when they have keysyms.
extern const char *const kOutsideKeys[3];

// ---- libxkbcommon handles --------------------------------------------------------

struct XkbFree {
    void operator()(xkb_context *p) const { xkb_context_unref(p); }
    void operator()(xkb_keymap *p) const { xkb_keymap_unref(p); }
    void operator()(xkb_state *p) const { xkb_state_unref(p); }
    void operator()(xkb_compose_table *p) const { xkb_compose_table_unref(p); }
    void operator()(xkb_compose_state *p) const { xkb_compose_state_unref(p); }
};
template <class T>
using XkbPtr = std::unique_ptr<T, XkbFree>;

// ---- the keymap -------------------------------------------------------------------

// The keymap of a layout from the system's keyboard data (never a user's
// own), with the modifier masks of Shift, AltGr (0: the layout has no AltGr
// key) and Caps Lock.
struct Keymap {
    XkbPtr<xkb_context> ctx;
    XkbPtr<xkb_keymap> keymap;
    xkb_mod_mask_t shift = 0, altGr = 0, lock = 0;
    // A state with these modifiers in effect (Caps Lock locked).
    XkbPtr<xkb_state> State(bool withShift, bool withAltGr, bool withCapsLock) const;
};
// Throws EConvertError ("Keyboard layout 'xx' does not exist") and
// EInOutError when the keyboard data cannot be read.
Keymap OpenKeymap(const std::string &layout, const std::string &variant);

// The accent code (2001 .. 2008) a dead keysym starts in a definition; 0 for
// any other keysym.
int32_t AccentOfDeadSym(xkb_keysym_t sym);

// ---- the compose table -----------------------------------------------------------

// The user's locale as the C library would take it for characters.
std::string UserLocale();

// The system compose table of a locale (see SystemComposeLocale); nullptr
// when the system has none for it. Only the table file compose.dir names is
// read: never the user's own compose file ($XCOMPOSEFILE, ~/.XCompose), which
// libxkbcommon's lookup by locale would prefer. listedAs: the locale name
// compose.dir lists it under.
XkbPtr<xkb_compose_table> SystemComposeTable(xkb_context *ctx, const std::string &locale, std::string &listedAs);

} // namespace kf::xkbimport
