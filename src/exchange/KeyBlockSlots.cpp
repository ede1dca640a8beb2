#include "exchange/LayoutImportParts.h"
#include "model/KeyCodes.h"

namespace kf {

namespace xkbimport {

using namespace Fingers;

namespace {

constexpr int kUnit = 42;   // key pitch: a 40-pixel key and a 2-pixel gap
constexpr int kKey = 40;
constexpr int kLeft = 8;
constexpr int kTop = 8;



int rowY(int row)
{
    return kTop + row * kUnit;
}

} // namespace

std::vector<KeySlot> BlockSlots(KeyBlock block)
{
    const bool iso = block == KeyBlock::Iso;
    std::vector<KeySlot> s;
    auto add = [&](const char *xkb, const char *name, int x, int row, int w, int finger, int h = kKey) {
        s.push_back({xkb, name, x, rowY(row), w, h, finger, false});
    };
    // Number row: 13 keys and a Backspace two keys wide.
    static const char *const numberKeys[][2] = {{"TLDE", "Grave"}, {"AE01", "1"}, {"AE02", "2"}, {"AE03", "3"},
                                                {"AE04", "4"},     {"AE05", "5"}, {"AE06", "6"}, {"AE07", "7"},
                                                {"AE08", "8"},     {"AE09", "9"}, {"AE10", "0"}, {"AE11", "Minus"},
                                                {"AE12", "Equals"}};
    static const int numberFingers[] = {LLittle, LLittle, LRing,   LMiddle, LIndex,  LIndex, RIndex,
                                        RIndex,  RMiddle, RRing,   RLittle, RLittle, RLittle};
    for (int i = 0; i < 13; ++i)
        add(numberKeys[i][0], numberKeys[i][1], kLeft + i * kUnit, 0, kKey, numberFingers[i]);
    add("BKSP", "Backspace", kLeft + 13 * kUnit, 0, 2 * kUnit - 2, RLittle);

    // Top letter row, after the place of Tab (one and a half keys).
    s.push_back({"TAB", "Tab", kLeft, rowY(1), 61, kKey, LLittle, true});
    static const char *const topKeys[][2] = {{"AD01", "Q"}, {"AD02", "W"}, {"AD03", "E"}, {"AD04", "R"},
                                             {"AD05", "T"}, {"AD06", "Y"}, {"AD07", "U"}, {"AD08", "I"},
                                             {"AD09", "O"}, {"AD10", "P"}, {"AD11", "LBracket"},
                                             {"AD12", "RBracket"}};
    static const int letterFingers[] = {LLittle, LRing,   LMiddle, LIndex,  LIndex,  RIndex,
                                        RIndex,  RMiddle, RRing,   RLittle, RLittle, RLittle};
    const int topStart = kLeft + 63;
    for (int i = 0; i < 12; ++i)
        add(topKeys[i][0], topKeys[i][1], topStart + i * kUnit, 1, kKey, letterFingers[i]);
    if (!iso)
        add("BKSL", "Backslash", topStart + 12 * kUnit, 1, 61, RLittle);

    // Home row: Caps Lock, 11 keys, (ISO: the key left of Enter), Enter.
    add("CAPS", "Caps Lock", kLeft, 2, 72, LLittle);
    static const char *const homeKeys[][2] = {{"AC01", "A"}, {"AC02", "S"}, {"AC03", "D"},
                                              {"AC04", "F"}, {"AC05", "G"}, {"AC06", "H"},
                                              {"AC07", "J"}, {"AC08", "K"}, {"AC09", "L"},
                                              {"AC10", "Semicolon"}, {"AC11", "Quote"}};
    const int homeStart = kLeft + 74;
    for (int i = 0; i < 11; ++i)
        add(homeKeys[i][0], homeKeys[i][1], homeStart + i * kUnit, 2, kKey, letterFingers[i]);
    const int homeEnd = kLeft + 15 * kUnit - 2; // right edge of every row
    if (iso) {
        add("BKSL", "Backslash", homeStart + 11 * kUnit, 2, kKey, RLittle);
        // The tall ISO Enter: from the top letter row down to the home row.
        const int x = homeStart + 12 * kUnit;
        s.push_back({"RTRN", "Enter", x, rowY(1), homeEnd - x, 2 * kUnit - 2, RLittle, false});
    } else {
        const int x = homeStart + 11 * kUnit;
        add("RTRN", "Enter", x, 2, homeEnd - x, RLittle);
    }

    // Shift row.
    static const char *const shiftKeys[][2] = {{"AB01", "Z"}, {"AB02", "X"}, {"AB03", "C"}, {"AB04", "V"},
                                               {"AB05", "B"}, {"AB06", "N"}, {"AB07", "M"},
                                               {"AB08", "Comma"}, {"AB09", "Period"}, {"AB10", "Slash"}};
    int x = kLeft;
    if (iso) {
        add("LFSH", "L Shift", x, 3, 51, LLittle);
        add("LSGT", "Less", x + 53, 3, kKey, LLittle);
        x += 53 + kUnit;
    } else {
        add("LFSH", "L Shift", x, 3, 92, LLittle);
        x += 94;
    }
    for (int i = 0; i < 10; ++i)
        add(shiftKeys[i][0], shiftKeys[i][1], x + i * kUnit, 3, kKey, letterFingers[i]);
    x += 10 * kUnit;
    add("RTSH", "R Shift", x, 3, homeEnd - x, RLittle);

    // Bottom row: Ctrl, Alt, Space, AltGr, Ctrl and Delete.
    add("LCTL", "L Ctrl", kLeft, 4, 61, LLittle);
    add("LALT", "Alt", kLeft + 63, 4, 61, LThumb);
    add("SPCE", "Space", kLeft + 126, 4, 292, LThumb);
    add("RALT", "AltGr", kLeft + 420, 4, 61, RThumb);
    add("RCTL", "R Ctrl", kLeft + 483, 4, 61, RLittle);
    add("DELE", "Delete", kLeft + 546, 4, homeEnd - kLeft - 546, RLittle);
    return s;
}

const char *const kOutsideKeys[3] = {"LWIN", "RWIN", "COMP"};

} // namespace xkbimport

bool ParseKeyBlock(const std::string &text, KeyBlock &block)
{
    std::string t = text;
    for (char &c : t)
        if (c >= 'A' && c <= 'Z')
            c = char(c - 'A' + 'a');
    if (t == "iso")
        block = KeyBlock::Iso;
    else if (t == "ansi")
        block = KeyBlock::Ansi;
    else
        return false;
    return true;
}

const char *KeyBlockName(KeyBlock block)
{
    return block == KeyBlock::Iso ? "ISO" : "ANSI";
}

} // namespace kf
