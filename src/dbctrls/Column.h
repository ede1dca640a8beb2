#pragma once
// A column of a data grid: which field it shows, under which title, how wide
// (in characters) and how its cells are shown and edited.

#include <QString>
#include <cstdint>
#include <string>
#include <vector>

namespace kf {

enum class TColumnKind {
    Auto,     // from the field's type: text, number, check box or picture
    Text,
    Number,
    CodeList, // shows the name of the entry whose code is stored; picked from a drop-down
    Check,    // a check box; checked = true
    Picture,  // the picture drawn unscaled; not edited in the cell
};

// One entry of a code list: a display name and the integer stored for it.
struct TCodeEntry {
    QString Name;
    int32_t Code = 0;
};

struct TColumn {
    std::string FieldName;
    QString Title;      // empty: the field name
    int Width = 0;      // in characters; 0: from the field
    TColumnKind Kind = TColumnKind::Auto;
    std::vector<TCodeEntry> Codes; // CodeList only
    int DropDownRows = 8;          // CodeList only
    bool ReadOnly = false;
    // The column grows to show its longest text whole (never below Width).
    bool FitText = false;

    TColumn() = default;
    TColumn(std::string field, QString title, int width, TColumnKind kind = TColumnKind::Auto)
        : FieldName(std::move(field)), Title(std::move(title)), Width(width), Kind(kind) {}
};

} // namespace kf
