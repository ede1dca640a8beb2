#pragma once
// The keyboard as the features over a finished definition read it: its keys
// with position, size, finger and types, the characters each key types at
// each level, the rows found from the keys' positions and the home row. The
// course plan, the keyboard chart and the keystroke statistics share this one
// reading, so they agree on rows, hands and levels.

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace kf {

class TRecordTable;
class TDataMod;

// A key of the key table.
struct TLayoutKey {
    int32_t Value = 0;    // KeyValue: the number character rows name in KeyNo
    std::string Name;     // code-page bytes
    int32_t Type = 0;     // KeyType
    int32_t Type2 = 0;    // KeyType2
    int32_t Finger = 0;   // 0..9; a value out of range reads as 0
    int X = 0, Y = 0, Width = 0, Height = 0;
    int Row = -1;         // index into TKeyLayout::Rows; -1: none (no size)
};

// A row of the character table, in stored order.
struct TLayoutChar {
    uint8_t Code = 0;      // the character's byte in the code page (0: none)
    int32_t KeyNo = 0;
    bool Shift = false;
    bool AltGr = false;
    int32_t Accent = 0;    // 0, or the accent code that must be pending
    int Key = -1;          // index into TKeyLayout::Keys of the key named by KeyNo; -1: no key
};

// The four levels of a key without a pending accent.
enum class TKeyLevel : int { Plain = 0, Shift = 1, AltGr = 2, ShiftAltGr = 3 };
constexpr int kKeyLevelCount = 4;
constexpr TKeyLevel LevelOf(bool shift, bool altGr)
{
    return TKeyLevel((shift ? 1 : 0) | (altGr ? 2 : 0));
}

class TKeyLayout {
public:
    // Reads the key table (in its current order) and the character table (in
    // the order it is given: pass the stored-order clone to have stored
    // order). Rows with a null number read as 0; a character whose Code is
    // outside 1..255 is kept with Code 0.
    static TKeyLayout FromTables(const TRecordTable &keys, const TRecordTable &chars);
    // The data module's definition: its key table, the stored-order character
    // clone, and the finger colours.
    static TKeyLayout FromDataMod(const TDataMod &dm);

    std::vector<TLayoutKey> Keys;
    std::vector<TLayoutChar> Chars;
    std::array<int32_t, 10> FingerColors{}; // colour values by finger (0: unset)

    // Rows of keys from the top (by their keys' mean centre): each a list of
    // key indices ordered left to right. A row is found from all its keys'
    // centres, as a chain of neighbours each level with the next, so a row may
    // be crooked, slope, curve or be split into two halves. Keys without a
    // positive width and height are in no row.
    std::vector<std::vector<int>> Rows;

    // The index of the first key whose KeyValue is value; -1: none.
    int KeyByValue(int32_t value) const;
    // The code of the character a key types at a level without a pending
    // accent: the first character row of that key and level; 0: none.
    uint8_t CharAt(int key, TKeyLevel level) const;
    // Whether a key's plain character is a letter of the code page.
    bool TypesLetter(int key) const;

    // A row of letters: at least three keys whose plain character is a letter.
    bool IsLetterRow(int row) const;
    // The home row: the letter row directly above the lowest letter row (the
    // row above it holding letters); with a single letter row, that row; -1:
    // no letter row.
    int HomeRow() const;

    // The key the keyboard state uses for a modifier of this type (the last
    // key of the type in key-table order, as the state registers them); -1:
    // the keyboard has none.
    int ModifierKey(int32_t keyType) const;

private:
    void findRows();
};

} // namespace kf
