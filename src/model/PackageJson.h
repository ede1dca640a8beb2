#pragma once
// A keyboard definition as JSON, for the command line: both tables (field
// list, then the rows in stored order, each row's keys in field order) and
// every setting. Texts go through the code page (a byte the code page leaves
// undefined is written as the private-use character U+F700 + byte and read
// back as that byte), numbers stay numbers, nulls are null and pictures are
// the base64 of the Glyph bytes exactly as stored.
// One row per line, so two dumps compare well with diff.
//
// {
//   "keys": {"fields": [{"name": "Name", "type": "text", "size": 20, "required": true}, ...],
//            "rows": [
//              {"Name": "A", "KeyValue": 30, ..., "Glyph": "AQAAAQ...", "Hint": null},
//              ...]},
//   "chars": {...},
//   "settings": {"bkcolor": 0, "Author": "", "misc": "", "LLittle": 0, ..., "RLittleColor": 0,
//                "codePage": "CP1257"}
// }
// "codePage" names the code page the texts are in; on reading it may be
// missing (the texts are then put into the code page given).

#include "model/ZipArchive.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace kf {

class CodePage;
class TDataMod;

// What a definition in JSON may hold at most. The JSON is measured before
// anything of it is read in, and a document beyond these is refused with an
// error naming what is too large.
struct JsonLimits {
    size_t rows = 65536;             // entries of one array (the rows of either table)
    size_t members = 8192;           // entries of one object; more than a datapacket's field list holds
    size_t depth = 32;               // arrays and objects inside one another
    size_t values = size_t(1) << 22; // values in the whole document
    // The pictures of one table together, in bytes: no more than a package member holds.
    uint64_t pictureBytes = ZipArchive::kMaxMemberBytes;
    // Characters of one text: the base64 of the largest picture.
    uint64_t textChars = (ZipArchive::kMaxMemberBytes + 2) / 3 * 4;
};

// The definition held by dm as JSON text (UTF-8, ending with a line break).
std::string PackageToJson(TDataMod &dm, const CodePage &codePage);

// Replaces dm's tables and settings with the definition in json, its texts
// turned into the code page the JSON names (which becomes the definition's
// PackageCodePage), else into codePage. Everything
// is checked first (structure, field list, value types, texts that fit their
// field and the code page); on error dm is unchanged and EConvertError tells
// where. The known fields of both tables keep their widths and required flags
// whatever the JSON declares, and the rows are checked against those.
void PackageFromJson(TDataMod &dm, std::string_view json, const CodePage &codePage, const JsonLimits &limits = {});

} // namespace kf
