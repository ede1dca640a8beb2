#pragma once
// The codes of the key table: every key-type code (KeyType, KeyType2) with
// its name, the dead-key accent codes, and the one rule that turns a key's two
// types and the modifier state into the code the key yields. The keyboard
// logic, the definition check, the layout import and the key pictures all
// read the codes from here.

#include <cstdint>

namespace kf {

namespace KeyTypes {
enum : int32_t {
    None = 0,
    Alpha = 1,
    Num = 2,
    Space = 3,
    Backspace = 8,
    Enter = 13,
    Alt = 18,
    CapsLock = 20,
    Delete = 46,
    AltGr = 1000,
    LShift = 1002,
    RShift = 1003,
    LCtrl = 1004,
    RCtrl = 1005,
    AccentBase = 2000,  // the accent codes follow it: AccentBase + 1 .. + 8
    FirstAccent = 2001, // GRAVE
    Acute = 2002,
    Circumflex = 2003,
    Tilde = 2004,
    Umlaut = 2005,
    Ring = 2006,
    Ese = 2007,
    LastAccent = 2008, // CEDILIA
};
constexpr int kAccentCount = LastAccent - FirstAccent + 1;

constexpr bool IsAccent(int32_t code) { return code >= FirstAccent && code <= LastAccent; }
// A key that types a character of the character table (Alpha, Num, Space).
constexpr bool IsCharType(int32_t type) { return type >= Alpha && type <= Space; }

// A key-type code with its name, in the order the codes are listed to the user.
struct TNamedCode {
    int32_t code;
    const char *name;
};
inline constexpr TNamedCode kKeyTypeNames[] = {
    {Alpha, "Alpha"},   {Num, "Num"},         {Space, "Space"},     {Backspace, "Backspace"},
    {Enter, "Enter"},   {Alt, "Alt"},         {CapsLock, "CapsLock"}, {Delete, "Delete"},
    {AltGr, "AltGr"},   {LShift, "LShift"},   {RShift, "RShift"},   {LCtrl, "LCtrl"},
    {RCtrl, "RCtrl"},
};
// The accent codes 2001..2008 with their names, in code order.
inline constexpr TNamedCode kAccentNames[kAccentCount] = {
    {FirstAccent, "Grave"}, {Acute, "Acute"}, {Circumflex, "Circumflex"}, {Tilde, "Tilde"},
    {Umlaut, "Umlaut"},     {Ring, "Ring"},   {Ese, "Ese"},               {LastAccent, "Cedilia"},
};

constexpr bool IsKnownKeyType(int32_t type)
{
    for (const TNamedCode &n : kKeyTypeNames)
        if (n.code == type)
            return true;
    return IsAccent(type);
}

// The code a key with types (type, type2) yields in a modifier state: a
// character key may carry a dead key on AltGr, a dead key may carry its
// shifted accent; any other pairing yields nothing (0).
constexpr int32_t EffectiveCode(int32_t type, int32_t type2, bool shift, bool altGr)
{
    if (type < FirstAccent && type2 == 0)
        return type;
    if (type < Backspace && type2 >= FirstAccent)
        return altGr ? type2 : type;
    if (type >= FirstAccent && type2 >= FirstAccent)
        return shift ? type2 : type;
    return None;
}
} // namespace KeyTypes

} // namespace kf
