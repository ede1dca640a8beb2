#pragma once
// The binary datapacket of one record table: a 24-byte header, one descriptor
// per column, the table properties, then the rows.
//
// Header (little-endian): magic 96 19 E0 BD; u16 major 1, u16 minor 0; u32 24;
// u16 column count; u32 row count; u32 3; u16 offset of the first row (the
// total length when there are no rows).
// Column: name (length byte + bytes); u16 size; u16 type (0x01 int32, 0x03
// boolean, 0x49 text, 0x4B bytes; 0x40 = varying, the size then being the
// width of the length prefix); u16 attributes (4 = required); u16 property
// count; properties (name; u16 size; u16 type; value). Text columns carry
// WIDTH (u16), the picture column SUBTYPE "Graphics". Then u16 0: no table
// properties.
// Row: a state byte (0), a status bitmap of (columns + 3) / 4 bytes with two
// bits per column (0 a value follows, 1 null, 2 not changed), the values of
// the columns whose status is 0. int32: 4 bytes; boolean: 2 bytes; text: length
// prefix and bytes, an empty text as length 1 and a zero byte; picture: u32
// length and bytes, an empty picture as null.
// A packet written with an unmerged change log also holds the rows as they
// were: a row whose state has bit 0x01 is such an original (not a row of the
// table), and the changed row right after it marks the cells it did not
// change as "not changed"; the reader takes those from the original, as
// merging the log does. Deleted rows (0x02) and detail rows (0x20) are not
// rows of the table either. A "not changed" cell in a row that does not
// follow an original is refused.
//
// The reader treats its input as hostile: every length is checked against the
// bytes present, and any fault is an EDatabaseError.

#include "table/RowStore.h"

#include <cstddef>
#include <string>
#include <vector>

namespace kf {

std::string EncodeDataPacket(const TRowData &data);

// Fills `out` (defined anew) from a datapacket; on error `out` is unspecified.
// fixed: fields whose width and required flag the table keeps whatever the
// packet declares (ApplyFixedFields); text is cut to the width kept.
void DecodeDataPacket(const char *bytes, size_t size, TRowData &out,
                      const std::vector<TFieldDef> *fixed = nullptr);

} // namespace kf
