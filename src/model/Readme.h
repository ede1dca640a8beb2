#pragma once
// The "readme" member of a keyboard package: the keyboard settings as text
// lines "name=value", each ended by CR LF, in the user's 8-bit code page.

#include "model/KeyCodes.h"

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace kf {

// Number of fingers; finger codes run from 0 (left little) to 9 (right little).
constexpr int kFingerCount = Fingers::kCount;

// The settings names of the fingers, indexed by finger code: the length key;
// the x key is the name followed by "x", the colour key the name followed by
// "Color".
inline constexpr std::array<const char *, kFingerCount> kFingerKeys = [] {
    std::array<const char *, kFingerCount> keys{};
    for (size_t f = 0; f < keys.size(); ++f)
        keys[f] = Fingers::kNames[f].name;
    return keys;
}();

// The keyboard settings a package carries.
struct PackageSettings {
    int32_t bkcolor = 0;               // colour value, red in the low byte
    std::string Author;                // code-page bytes
    std::string misc;                  // code-page bytes, may hold line breaks
    std::array<int32_t, kFingerCount> lengths{}; // by finger code
    std::array<int32_t, kFingerCount> xValues{}; // by finger code; carried unchanged
    std::array<int32_t, kFingerCount> colors{};  // by finger code
    // The code page the package's bytes are in ("CP1257"); empty when the
    // package names none (an older package, or one made by another program),
    // which is then read in the session's code page.
    std::string codePage;

    bool operator==(const PackageSettings &o) const
    {
        return bkcolor == o.bkcolor && Author == o.Author && misc == o.misc && lengths == o.lengths
            && xValues == o.xValues && colors == o.colors && codePage == o.codePage;
    }
    bool operator!=(const PackageSettings &o) const { return !(*this == o); }
};

// The 33 readme lines the tutor reads, then "codepage=NAME" when the settings
// name a code page (the tutor looks settings up by name, so it passes over
// that line), each ended by CR LF. A line break (CR LF, CR or LF) in the
// author or info text becomes one space and a zero byte is dropped, so every
// setting keeps its own line.
std::string writeReadme(const PackageSettings &settings);

// The value of a setting: the rest of the first line whose text before its
// first "=" equals name without regard to case; false when no line matches.
bool readmeValue(const std::vector<std::string> &lines, std::string_view name, std::string &value);

// Strict integer of the readme: optional blanks around an optional sign and
// decimal digits, or a hexadecimal number written "$FF" or "0xFF" (up to 32
// bits, taken as a bit pattern). False for anything else or out of range.
bool parseReadmeInteger(std::string_view text, int32_t &value);

// Reads the settings from readme bytes. bkcolor must be an integer; a finger
// value that is missing or not an integer reads as 0; a missing or empty
// codepage line leaves codePage empty. Throws EConvertError ("readme: bkcolor
// is not an integer", "readme: no bkcolor= line", "readme: the code page
// \"X\" is not known").
PackageSettings readReadme(std::string_view bytes);

// The code page a package or a JSON form names, checked: its name in upper
// case ("cp1257" gives "CP1257"), empty for an empty name. Throws
// EConvertError "the code page \"X\" is not known" for a name that is no
// 8-bit code page this system has (where names the setting in the message).
std::string checkedCodePageName(std::string_view name, std::string_view where);

} // namespace kf
