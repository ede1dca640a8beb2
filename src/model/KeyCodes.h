#pragma once
// The codes of the key table: every key-type code (KeyType, KeyType2) with
// its name, the dead-key accent codes, and the one rule that turns a key's two
// types and the modifier state into the code the key yields. The keyboard
// logic, the definition check, the layout import and the key pictures all
// read the codes from here.

#include <cstdint>

namespace kf {

// A code with its name and the caption the definition window lists it under.
struct TNamedCode {
    int32_t code;
    const char *name;
    const char *caption;
};
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

// Every key-type code (KeyType, KeyType2), in the order the codes are listed
// to the user: the keys that type, the modifiers, the editing keys, then the
// dead keys' accents in code order.
inline constexpr TNamedCode kKeyTypeNames[] = {
    {Alpha, "Alpha", "Alpha"},           {Num, "Num", "Num"},
    {LShift, "LShift", "L Shift"},       {RShift, "RShift", "R Shift"},
    {Alt, "Alt", "Alt"},                 {AltGr, "AltGr", "AltGr"},
    {CapsLock, "CapsLock", "Caps Lock"}, {Delete, "Delete", "Delete"},
    {Backspace, "Backspace", "Backspace"}, {LCtrl, "LCtrl", "L Ctrl"},
    {RCtrl, "RCtrl", "R Ctrl"},          {Space, "Space", "Space"},
    {Enter, "Enter", "Enter"},           {FirstAccent, "Grave", "GRAVE"},
    {Acute, "Acute", "ACUTE"},           {Circumflex, "Circumflex", "CIRCUMFLEX"},
    {Tilde, "Tilde", "TILDE"},           {Umlaut, "Umlaut", "UMLAUT"},
    {Ring, "Ring", "RING"},              {Ese, "Ese", "ESE"},
    {LastAccent, "Cedilia", "CEDILIA"},
};
// The accent a character row carries (its Accent field): the codes
// 2001..2008 in code order, each with the caption of the accent list.
inline constexpr TNamedCode kAccentNames[kAccentCount] = {
    {FirstAccent, "Grave", "Grave accent"}, {Acute, "Acute", "Acute accent"},
    {Circumflex, "Circumflex", "Circumflex accent"}, {Tilde, "Tilde", "Tilde"},
    {Umlaut, "Umlaut", "Umlaut"},           {Ring, "Ring", "Ring"},
    {Ese, "Ese", "eSE"},                    {LastAccent, "Cedilia", "Cedilla"},
};
// The caption of a row without an accent (code 0), listed after the accents.
inline constexpr TNamedCode kNoAccent = {None, "None", "None"};

constexpr bool IsKnownKeyType(int32_t type)
{
    for (const TNamedCode &n : kKeyTypeNames)
        if (n.code == type)
            return true;
    return IsAccent(type);
}

// The code a key with types (type, type2) yields in a modifier state: a
// character key may carry a dead key on AltGr; a dead key may carry its
// shifted accent, or a character key's type (Alpha, Num, Space) for a
// character it types with Shift (the degree sign on the German circumflex
// key); any other pairing yields nothing (0).
constexpr int32_t EffectiveCode(int32_t type, int32_t type2, bool shift, bool altGr)
{
    if (type < FirstAccent && type2 == 0)
        return type;
    if (type < Backspace && type2 >= FirstAccent)
        return altGr ? type2 : type;
    if (type >= FirstAccent && (type2 >= FirstAccent || IsCharType(type2)))
        return shift ? type2 : type;
    return None;
}
} // namespace KeyTypes

// The finger codes of the key table's Finger field: 0 (left little) to 9
// (right little), the left hand 0..4 and the right hand 5..9, each thumb
// beside the other.
namespace Fingers {
enum : int32_t {
    LLittle = 0,
    LRing = 1,
    LMiddle = 2,
    LIndex = 3,
    LThumb = 4,
    RThumb = 5,
    RIndex = 6,
    RMiddle = 7,
    RRing = 8,
    RLittle = 9,
};
constexpr int kCount = 10;
constexpr bool IsFinger(int32_t code) { return code >= LLittle && code <= RLittle; }
constexpr bool IsLeftHand(int32_t finger) { return finger <= LThumb; }

// Each finger with its settings name (the readme's length key; the x key is
// the name followed by "x", the colour key the name followed by "Color") and
// its caption, indexed by finger code.
inline constexpr TNamedCode kNames[kCount] = {
    {LLittle, "LLittle", "L Little"}, {LRing, "LRing", "L Ring"},       {LMiddle, "LMiddle", "L Middle"},
    {LIndex, "LIndex", "L Index"},    {LThumb, "LThumb", "L Thumb"},    {RThumb, "RThumb", "R Thumb"},
    {RIndex, "RIndex", "R Index"},    {RMiddle, "RMiddle", "R Middle"}, {RRing, "RRing", "R Ring"},
    {RLittle, "RLittle", "R Little"},
};
} // namespace Fingers

} // namespace kf
