#pragma once
// What typing real texts costs on a keyboard definition: the figures of one
// keyboard over a tally of texts (model/TextTally.h) and the keyboard's
// typing plan (model/KeyStrokePlan.h). The texts are read by
// model/TextTallyReader.h; the figures are written out by
// model/KeyStrokeFormats.h.
//
// What is counted: every keystroke of a typed character (Shift, AltGr and
// dead-key presses included); pairs of consecutive keystrokes, within a
// character and from one character to the next, but never across a
// character that is not typed. The space bar is pressed by the thumb of the
// other hand than the last keystroke before it that was not a space (the
// right thumb at the start of a text and after a character that is not
// typed), whatever finger its key names.

#include "model/KeyStrokePlan.h"
#include "model/TextTally.h"

#include <array>
#include <cstdint>
#include <map>
#include <string>
#include <utility>
#include <vector>

namespace kf {

class TKeyLayout;

// The figures of one keyboard over a tally.
struct TKeyStrokeFigures {
    struct Row {
        std::string Name; // "Row 1" from the top; the home row "Row 3 (home)"; keys in no row: "No row"
        uint64_t Keystrokes = 0;
        bool Home = false;
        int Number = 0;   // 1 from the top; 0: the keys in no row
    };
    struct CharCount {
        std::string Text; // code-page bytes ("\n" a line break)
        uint64_t Count = 0;
    };

    uint64_t Characters = 0; // read
    uint64_t Typed = 0;
    uint64_t Keystrokes = 0;
    std::array<uint64_t, 10> Fingers{};
    std::array<uint64_t, 2> Hands{}; // left, right
    std::vector<Row> Rows;
    std::vector<uint64_t> Keys; // presses per key, indexed like TKeyLayout::Keys
    std::vector<std::string> KeyNames; // the keys' names (code-page bytes)
    uint64_t Pairs = 0;           // consecutive keystrokes
    uint64_t SameFingerPairs = 0; // one finger, two different keys
    uint64_t AlternatingPairs = 0;
    uint64_t ModifierKeystrokes = 0;
    std::vector<CharCount> SameFingerTop; // at most 20, most frequent first
    // Every character pair typed by one finger on two keys, with its count.
    std::map<std::string, uint64_t> SameFingerAll;
    uint64_t NotTypeable = 0;
    std::vector<CharCount> NotTypeableTop; // every such character (a byte), most frequent first
    uint64_t NotInCodePage = 0;
    std::vector<std::pair<char32_t, uint64_t>> NotInCodePageTop; // most frequent first
    // Why the figures may mislead (no keys, no character keys, no fingers
    // set, keys in no row), in words.
    std::vector<std::string> Warnings;
    // Whether the keyboard types nothing at all (no character keys).
    bool TypesNothing = false;

    // Shares from 0 to 1 (0 when there is nothing to share).
    static double Share(uint64_t part, uint64_t whole) { return whole ? double(part) / double(whole) : 0.0; }
    double FingerShare(int finger) const { return Share(Fingers[size_t(finger)], Keystrokes); }
    double HandShare(int hand) const { return Share(Hands[size_t(hand)], Keystrokes); }
    double RowShare(size_t row) const { return Share(Rows[row].Keystrokes, Keystrokes); }
    // The share of the row of that number (0: no row); 0 when there is none.
    double RowShareByNumber(int number) const;
    double SameFinger() const { return Share(SameFingerPairs, Pairs); }
    double Alternation() const { return Share(AlternatingPairs, Pairs); }
    double ModifierLoad() const { return Share(ModifierKeystrokes, Keystrokes); }
    // Each key's share of the busiest key's presses (0..1), for the heat map.
    std::vector<double> KeyUse() const;
    // The presses of the busiest key.
    uint64_t MostKeyPresses() const;
    // The count of a same-finger character pair (0: none).
    uint64_t SameFingerCount(const std::string &pair) const;
};

TKeyStrokeFigures ComputeKeyStrokes(const TKeyLayout &layout, const TTextTally &tally, size_t topPairs = 20);

} // namespace kf
