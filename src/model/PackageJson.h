#pragma once
// A keyboard definition as JSON, for the command line: both tables (field
// list, then the rows in stored order, each row's keys in field order) and
// every setting. Texts go through the code page, numbers stay numbers, nulls
// are null and pictures are the base64 of the Glyph bytes exactly as stored.
// One row per line, so two dumps compare well with diff.
//
// {
//   "keys": {"fields": [{"name": "Name", "type": "text", "size": 20, "required": true}, ...],
//            "rows": [
//              {"Name": "A", "KeyValue": 30, ..., "Glyph": "AQAAAQ...", "Hint": null},
//              ...]},
//   "chars": {...},
//   "settings": {"bkcolor": 0, "Author": "", "misc": "", "LLittle": 0, ..., "RLittleColor": 0}
// }

#include <string>
#include <string_view>

namespace kf {

class CodePage;
class TDataMod;

// The definition held by dm as JSON text (UTF-8, ending with a line break).
std::string PackageToJson(TDataMod &dm, const CodePage &codePage);

// Replaces dm's tables and settings with the definition in json. Everything
// is checked first (structure, field list, value types, texts that fit their
// field and the code page); on error dm is unchanged and EConvertError tells
// where. The known fields of both tables keep their widths and required flags
// whatever the JSON declares, and the rows are checked against those.
void PackageFromJson(TDataMod &dm, std::string_view json, const CodePage &codePage);

} // namespace kf
