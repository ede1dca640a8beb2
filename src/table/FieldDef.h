#pragma once
// The definition of one column of a record table.

#include "common/AsciiText.h"

#include <cstdint>
#include <string>
#include <vector>

namespace kf {

enum class TFieldType : uint8_t {
    String,  // text of at most Size bytes
    Integer, // 32-bit signed integer
    Boolean,
    Graphic, // a picture: bytes of any length
};

// The word a field type is called by in messages and in the package's JSON form.
inline const char *FieldTypeName(TFieldType type)
{
    switch (type) {
    case TFieldType::String:
        return "text";
    case TFieldType::Integer:
        return "integer";
    case TFieldType::Boolean:
        return "boolean";
    case TFieldType::Graphic:
        return "picture";
    }
    return "unknown";
}

struct TFieldDef {
    std::string Name;
    TFieldType DataType = TFieldType::Integer;
    int Size = 0;          // String: the maximum length in bytes (1..65535); otherwise 0
    bool Required = false; // a post with this field null (or empty text) is refused

    TFieldDef() = default;
    TFieldDef(std::string name, TFieldType type, int size = 0, bool required = false)
        : Name(std::move(name)), DataType(type), Size(size), Required(required) {}
};

// Gives the fields of defs that a table fixes (same name, without regard to
// case, and same type) the fixed width and required flag, whatever defs
// declared. Other fields are left as they are.
inline void ApplyFixedFields(std::vector<TFieldDef> &defs, const std::vector<TFieldDef> &fixed)
{
    for (TFieldDef &d : defs)
        for (const TFieldDef &f : fixed)
            if (f.DataType == d.DataType && EqualsNoCaseAscii(f.Name, d.Name)) {
                if (d.DataType == TFieldType::String)
                    d.Size = f.Size;
                d.Required = f.Required;
                break;
            }
}

} // namespace kf
