#pragma once
// The keyboard as every export reads it, built once: each key of the
// definition with its place and size, finger, and what it types at the four
// levels in Unicode (decoded from the package's code page), a dead key as its
// accent; the character keys placed on the PC main block by where they are
// (rows from the keys' centres, keys of a row left to right, the ISO 9995
// names), and what the package types after each dead key.

#include <QString>

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace kf {

class CodePage;
class TDataMod;
class TKeyLayout;

struct TViewKey {
    QString Name;
    int32_t Type = 0, Type2 = 0;  // the key-type codes (KeyCodes.h)
    int Finger = 0;               // 0..9
    int X = 0, Y = 0, Width = 0, Height = 0;
    int Row = -1;                 // the row of the key layout; -1: none
    std::string Slot;             // "AE01": its place on the main block; empty: none
    std::array<char32_t, 4> Chars{}; // plain, Shift, AltGr, Shift+AltGr; 0: nothing
    std::array<int32_t, 4> Dead{};   // the accent code of a level that is a dead key; 0: none
    bool IsCharacterKey() const;     // types characters or starts an accent
};

// A character typed after a dead key: the accent, then the key and level
// that type base without the accent.
struct TComposition {
    int32_t Accent = 0;
    char32_t Base = 0;
    char32_t Result = 0;
};

struct TKeyboardView {
    // The view of dm's definition, its characters in cp. Keys are in key
    // table order. Throws EConvertError when no character key finds a place.
    static TKeyboardView FromDataMod(const TDataMod &dm, const CodePage &cp);
    // The same from a key layout (tests, and the placement of imported keys).
    static TKeyboardView FromLayout(const TKeyLayout &layout, const CodePage &cp);

    QString Description;          // the package's author line
    std::string CodePageName;     // "CP1257"
    bool Iso = true;              // ISO block (the key left of Z, BKSL as AC12); false: ANSI
    std::vector<TViewKey> Keys;
    std::vector<int> Placed;      // indices into Keys of the placed keys, in block order
    std::vector<TComposition> Compositions; // in accent order, then base order
    std::vector<std::string> Warnings;      // keys that found no place, compositions left out
    std::array<int32_t, 10> FingerColors{}; // colour values by finger (0: unset)
    int Unit = 0;                 // most common distance between neighbouring keys' left edges
    int Gap = 0;                  // Unit less the most common key width

    // The key at a main-block name; nullptr when none is placed there.
    const TViewKey *AtSlot(const std::string &slot) const;
    // Whether any placed key has an AltGr level.
    bool UsesAltGr() const;
    // The accents some placed key starts, in code order.
    std::vector<int32_t> Accents() const;
};

// The main-block names of the rows, top to bottom, as the placement fills
// them left to right: E (TLDE AE01..AE12), D (AD01..AD12, BKSL on ANSI),
// C (AC01..AC11, BKSL as the twelfth on ISO), B (LSGT on ISO, AB01..AB10).
std::vector<std::vector<std::string>> MainBlockRows(bool iso);

// The dead keysym name of an accent code ("dead_acute"); nullptr for one
// that has none. The spacing character of an accent ("´").
const char *DeadKeysymName(int32_t accent);
char32_t AccentCharacter(int32_t accent);

} // namespace kf
