#pragma once
// Hexadecimal digits as the program reads and writes them: the value of one
// digit (either case), and a byte written as two lower-case digits.

#include <cstdint>
#include <string>

namespace kf {

// 0..15 for '0'-'9', 'a'-'f', 'A'-'F'; -1 for any other character.
inline int HexDigitValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// The lower-case digit of the low four bits of value.
inline char HexDigit(unsigned value)
{
    return "0123456789abcdef"[value & 15];
}

// A byte as two lower-case digits ("0a", "ff").
inline std::string HexByte(uint8_t b)
{
    return {HexDigit(b >> 4u), HexDigit(b)};
}

} // namespace kf
