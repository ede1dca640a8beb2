#pragma once
// Small keyboard definitions built in code for the tests of the core and of
// the command line:
// - BuildSmallKeyboard: a definition that checks clean (two letters, an acute
//   dead key, Space, Shift and AltGr; plain, shifted, accented and AltGr
//   characters and one character linked to no key), with helpers to change a
//   row of it;
// - FillEdgeValues: two keys and two characters holding the edge values of
//   every field (every byte, the ends of the integer range, nulls).
// Key pictures need a QGuiApplication.

#include <cstdint>
#include <string>

namespace kf {
class TDataMod;
class TValue;
} // namespace kf

namespace kf::sample {

constexpr uint32_t kSmallFace = 0xE0E0E0;       // every key's face colour
constexpr int32_t kSmallBackground = 0x303030;  // the keyboard's background

// A key picture of that size: the face colour with a mark in the middle.
std::string KeyPicture(int width, int height, uint32_t face = kSmallFace);

void AddKey(TDataMod &dm, const std::string &name, int32_t keyValue, int32_t type, const TValue &type2,
            int32_t finger, int x, int y, int width = 20, int height = 20);
void AddChar(TDataMod &dm, const std::string &name, int32_t code, const TValue &keyNo, bool shift, bool altGr,
             int32_t accent);

void BuildSmallKeyboard(TDataMod &dm);

// Change or delete the key or character of that name; std::invalid_argument
// when there is none.
void SetKeyField(TDataMod &dm, const std::string &name, const char *field, const TValue &value);
void SetCharField(TDataMod &dm, const std::string &name, const char *field, const TValue &value);
void DeleteKey(TDataMod &dm, const std::string &name);
void DeleteChar(TDataMod &dm, const std::string &name);

// Every byte 0..255 in order.
std::string AllBytes();
void FillEdgeValues(TDataMod &dm);

} // namespace kf::sample
