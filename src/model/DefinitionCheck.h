#pragma once
// The definition check: finds what the tables of a keyboard definition accept
// but the typing tutor would stumble over (a character key that types
// nothing, a character linked to a key that is gone, keys on top of each
// other, a dead key without accent rows, ...), before a learner meets it.
//
// Keys and characters are judged the way the keyboard logic resolves them: a
// key's effective code comes from KeyType and KeyType2 and the Shift / AltGr
// state, and a key types the first character row, in Code order, with its
// KeyNo and exactly that Shift, AltGr and Accent.
//
// Two keys with the same KeyType whose character rows type the same
// characters with and without Shift (AltGr and dead keys aside) are twins:
// one key present twice (the two Shift keys, the extra key of an ISO keyboard
// that repeats the backslash key). Their shared Name and characters are no
// finding.
//
// The check reads the rows stored in the tables (a row still in edit counts
// as it was before the edit; a window posts it first) and the settings; it
// changes nothing and moves no cursor.

#include "table/RecordTable.h"

#include <cstdint>
#include <string>
#include <vector>

namespace kf {

class CodePage;
class TDataMod;

enum class TCheckSeverity : uint8_t {
    Error,   // the tutor will misbehave
    Warning, // probably unintended
};

enum class TCheckTable : uint8_t { Keys, Characters, Settings };

// What a finding is about. Each kind has one severity, except
// CharStateDuplicate (an error when the rows type different characters, a
// warning when they type the same one).
enum class TCheckKind : uint8_t {
    // keys
    KeyValueEmpty,           // error: no character can be linked to the key
    KeyValueDuplicate,       // error: two keys share a KeyValue
    KeyNameDuplicate,        // warning: two keys share a Name (unless they are twins, see below)
    KeyTypeMissing,          // error: KeyType empty or 0
    KeyTypeUnknown,          // error: KeyType is no key type
    KeyTypeInert,            // error: KeyType2 makes the key yield nothing
    KeySizeNotPositive,      // error: Width or Height empty, 0 or negative
    KeySizeDiffers,          // warning: Width x Height is not the picture's size
    KeysOverlap,             // error: the key covers part of another key
    KeyOutsideArea,          // error: the key reaches outside the keyboard area
    KeyPictureMissing,       // warning: no picture
    KeyPictureInvalid,       // error: the picture is not a bitmap
    KeyFingerMissing,        // error: a character key without a finger (or with no finger 0..9)
    KeyNoPlainChar,          // error: a character key (types 1..3) types nothing unshifted
    DeadKeyNoAccentRows,     // error: a dead key starts an accent no character has
    NoKeys,                  // error: the key table is empty (a finding about the whole table)
    NoCharacterKeys,         // error: no key types a character (a finding about the whole table)
    // characters
    CharKeyMissing,          // error: KeyNo names no key
    CharStateEmpty,          // error: Shift, AltGr or Accent empty on a linked row
    CharStateDuplicate,      // error/warning: another row of the key has the same state
    CharCodeOutOfRange,      // error: Code empty or outside 0..255
    CharCodeShared,          // warning: another key types the same code, both with no modifier and no
                             // dead key (unless the keys are twins, see below)
    CharAccentNotStarted,    // error: no dead key of the keyboard starts the Accent
    CharAltGrWithoutKey,     // error: an AltGr character on a keyboard without AltGr
    CharCapitalMissing,      // warning: a small letter is typed, but its capital, which the code
                             // page holds, by no key (told on the first row of the small letter)
    // settings
    FingerLengthOutOfRange,  // warning: a finger length outside 0..100
    BackgroundIsKeyFace,     // warning: the background colour is a key's face colour
};

// One thing the check found.
struct TCheckFinding {
    TCheckSeverity Severity = TCheckSeverity::Error;
    TCheckTable Table = TCheckTable::Keys;
    TCheckKind Kind = TCheckKind::KeyValueEmpty;
    // The row: a bookmark valid for every cursor of the table (MainTbl for
    // Keys, Ctbl and its clones for Characters), null for Settings. It goes
    // stale when the row is deleted or the table reloaded (BookmarkValid).
    TBookmark Row;
    // The row's 1-based place in the table's stored order (the order of a
    // package dump); 0 for Settings and for a finding about a whole table
    // (NoKeys, NoCharacterKeys), whose Row is null too.
    int RecordNo = 0;
    // UTF-8: the key's Name (or "row N" when it has none), the character's
    // Name (or "Code N", else "row N"), or the setting's name ("LIndex",
    // "bkcolor"); empty for a finding about a whole table.
    std::string RowLabel;
    // The field the finding is about ("KeyValue", "Width", "Accent", ...).
    std::string Field;
    // UTF-8, through the translation catalogue.
    std::string Message;
};

// The keyboard area the keys must lie in: the layout window's keyboard.
struct TCheckOptions {
    int AreaWidth = 657;
    int AreaHeight = 260;
};

// Checks dm's keys, characters and settings. Findings come by table (keys,
// characters, settings), then in the rows' stored order. Names are decoded
// through codePage. dm is not changed (it is non-const only because the check
// walks the tables through cursors of its own).
std::vector<TCheckFinding> CheckDefinition(TDataMod &dm, const CodePage &codePage,
                                           const TCheckOptions &options = {});

// Counts of a list of findings.
int CountFindings(const std::vector<TCheckFinding> &findings, TCheckSeverity severity);

// Short names for a command line and JSON: "error" / "warning", "keys" /
// "characters" / "settings", and a stable id per kind ("key-value-empty").
const char *SeverityId(TCheckSeverity severity);
const char *TableId(TCheckTable table);
const char *KindId(TCheckKind kind);

// The same, for people, through the translation catalogue ("Error", "Keys").
std::string SeverityText(TCheckSeverity severity);
std::string TableText(TCheckTable table);

} // namespace kf
