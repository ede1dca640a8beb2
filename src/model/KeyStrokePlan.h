#pragma once
// How a keyboard types each character of the code page.
//
// A character is typed by the character row with its code that needs the
// fewest keystrokes (the first such row in stored order on a tie; a row
// naming no key does not count). A row with an accent is typed by a press
// that sets the accent first (a key whose KeyType is the accent, plain; a
// dead key whose KeyType2 is the accent, with Shift; a character key whose
// KeyType2 is the accent, with AltGr: the one of fewest keystrokes, the
// first in key-table order on a tie), then the row's key. A press with Shift
// is preceded by the Shift key of the other hand, a press with AltGr by the
// AltGr key, Shift first. Caps Lock is not used. A line break is one press
// of the Enter key.

#include <array>
#include <cstddef>
#include <vector>

namespace kf {

class TKeyLayout;

// The keystrokes of one press: the key (index into TKeyLayout::Keys) and
// whether it is a modifier (Shift, AltGr or a dead key setting an accent).
struct TKeyPress {
    int Key = -1;
    bool Modifier = false;
};

// The presses per symbol of a TTextTally, empty when the keyboard cannot
// type it.
class TKeyStrokePlan {
public:
    explicit TKeyStrokePlan(const TKeyLayout &layout);
    const std::vector<TKeyPress> &Presses(int symbol) const { return m_presses[size_t(symbol)]; }
    bool Typeable(int symbol) const { return !m_presses[size_t(symbol)].empty(); }

private:
    std::array<std::vector<TKeyPress>, 257> m_presses;
};

} // namespace kf
