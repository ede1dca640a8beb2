#pragma once
// Whole numbers written as text, read one way wherever the program reads them
// (table fields, grid cells, answers to a question, spin edits, command-line
// options): blanks around the number are ignored, then an optional sign and
// decimal digits, within 32 bits. Nothing else is a number: no empty text, no
// lone sign, no blanks inside, no other digits, no hexadecimal.

#include <QString>

#include <cstdint>
#include <string_view>

namespace kf {

// The number the text holds; false (value untouched) when it holds none.
bool ParseIntegerText(std::string_view text, int32_t &value);
bool ParseIntegerText(const QString &text, int32_t &value);
inline bool ParseIntegerText(const char *text, int32_t &value)
{
    return ParseIntegerText(std::string_view(text), value);
}

// The number the text holds, or EConvertError "'%s' is not a valid integer
// value" naming the text as it was given.
int32_t StrToInt(std::string_view text);
int32_t StrToInt(const QString &text);
inline int32_t StrToInt(const char *text)
{
    return StrToInt(std::string_view(text));
}

} // namespace kf
