#pragma once
// The data module: the one keyboard definition of the running program. It
// holds the key table, the character table with its two further cursors, the
// keyboard settings and the ZIP container that reads and writes keyboard
// packages (.vkt). Every window edits these in place.

#include "common/CodePage.h"
#include "table/DataSource.h"
#include "model/Readme.h"
#include "table/RecordTable.h"
#include "model/ZipArchive.h"

#include <QString>

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kf {

class TDataMod;
class TDefinitionHistory;

// The data module of the run (not owned here). A TDataMod makes itself the
// DataMod when it is created and clears it when it is destroyed, so the
// program owns one for the whole run and a test can create a fresh one.
extern TDataMod *DataMod;

class TDataMod {
public:
    TDataMod();  // runs DataModuleCreate
    ~TDataMod();
    TDataMod(const TDataMod &) = delete;
    TDataMod &operator=(const TDataMod &) = delete;

    // ---- tables ------------------------------------------------------------
    TRecordTable MainTbl;    // key table, ordered by Name from the start
    TDataSource MainSource;  // binding point of MainTbl
    TRecordTable Ctbl;       // character table, ordered by Code
    TDataSource CtblSource;  // binding point of Ctbl
    TRecordTable CtblF;      // clone of Ctbl: every row, stored order
    TRecordTable CtblD;      // clone of Ctbl: filtered to one key's characters
    TDataSource CtblFSource; // binding point of CtblF
    TDataSource CtblDSource; // binding point of CtblD
    ZipArchive Kit;          // the package container (reads any file extension)

    // The undo history of the definition: every change of the two tables, and
    // the settings changed inside its steps. A package load clears it, a save
    // marks the saved point.
    TDefinitionHistory &History() const { return *m_history; }

    // ---- settings ------------------------------------------------------------
    int32_t bkcolor = 0;     // keyboard background, colour value
    std::string Author;      // code-page bytes
    std::string misc;        // info text, code-page bytes, may hold line breaks
    // Per finger, indexed by finger code 0 (left little) .. 9 (right little);
    // the settings keys are kFingerKeys[code] (+ "x", + "Color").
    std::array<int32_t, kFingerCount> FingerLength{};
    std::array<int32_t, kFingerCount> FingerX{};     // carried from load to save only
    std::array<int32_t, kFingerCount> FingerColor{};
    // The code page the package last loaded names ("CP1257"); empty when it
    // names none and was read in the session's code page. A save names the
    // code page in force (which a load in the program switches to this one).
    std::string PackageCodePage;
    // The code page the definition's bytes are read in: the package's own,
    // else the one in force.
    CodePage ReadingCodePage() const;

    PackageSettings Settings() const;
    void SetSettings(const PackageSettings &settings);

    // The author and info text as the user typed them (Unicode; the info's
    // lines end in "\n"), not yet written into Author and misc. They belong
    // to the definition, not to the window they were typed in: a closed
    // window loses nothing, and they count as unsaved. A save writes them in
    // the code page in force; a load drops them. Empty: the text is the bytes'.
    std::optional<QString> TypedAuthor;
    std::optional<QString> TypedInfo;
    // The settings a save writes: the typed texts in the code page in force
    // (the info's lines ended by CR LF), that code page's name, the rest as
    // held.
    PackageSettings SettingsToSave() const;
    // Whether the definition has changes not saved: steps of the history
    // since it was loaded or saved, a changed row in edit, or a typed text.
    bool Unsaved() const;

    // ---- events and operations ---------------------------------------------
    // Runs when the data module is created: both tables defined, open and
    // empty; Ctbl's AfterOpen is CtblAfterOpen; the binding points name their
    // tables; settings at their start values.
    void DataModuleCreate();
    // Runs each time Ctbl opens: Ctbl ordered by Code; CtblF and CtblD made
    // new clones of it; CtblD filtering with an empty expression.
    void CtblAfterOpen();
    // Deletes every row of the key table (the character table is untouched).
    void ClearKeyTable();

    // Reads a package. The three members are read and checked before anything
    // changes: on any failure the definition stays exactly as it was, the
    // result is false and PackageError() tells why. On success the tables'
    // rows and every setting are replaced, typed texts dropped; the key table
    // keeps its order, and the undo history starts afresh. The
    // fields of KeyFieldDefs and CharFieldDefs keep their widths and required
    // flags whatever the package declares (longer text is cut to the width).
    bool LoadPackage(const std::string &path);
    // The same from the bytes of a package file.
    bool LoadPackageBytes(std::string_view bytes);

    // Writes the definition as a package: members "key.cds", "char.cds",
    // "readme". Rows in edit are posted first (a refused post ends the save)
    // and the change logs merged; typed texts are written as SettingsToSave
    // gives them. The file at path is replaced only by a complete archive.
    // False on failure, with PackageError() telling why; an earlier file at
    // path and the typed texts then stay as they were. On success the typed
    // texts become Author and misc and the undo history marks the saved point.
    bool SavePackage(const std::string &path);
    // Replaces both tables (field lists and rows) and every setting with
    // those of two tables already checked to carry the fields above, which
    // give up their rows (TRecordTable::LoadFromTable); the key table keeps
    // its order. Used by LoadPackage once all members passed.
    void ReplaceDefinition(TRecordTable &keys, TRecordTable &chars, const PackageSettings &settings);

    // The bytes SavePackage would write; throws what SavePackage reports.
    std::string PackageBytes();

    // How many bytes the Glyph value of the key row in edit or insert may
    // take, so that the key table still fits in its package member
    // (ZipArchive::kMaxMemberBytes) with the row's other values at their
    // widest; the row's own stored picture does not count. 0 when nothing fits.
    uint64_t KeyPictureRoom() const;

    // The reason of the last failed LoadPackage/SavePackage; empty after a
    // success.
    const std::string &PackageError() const { return m_packageError; }

    // ---- lookups -------------------------------------------------------------
    // Moves Ctbl to the character a key types in a state: the first row in
    // Code order with this KeyNo, Shift, AltGr and Accent (so the lowest Code
    // wins; a row whose KeyNo is null matches no key).
    bool LocateChar(int32_t keyValue, bool shift, bool altGr, int32_t accent);
    // Moves MainTbl to the first key, in its current order, with this KeyValue.
    bool LocateKey(int32_t keyValue);
    // Makes CtblD show the characters of one key ("KeyNo=" + keyValue).
    void FilterKeyChars(int32_t keyValue);
    // The byte a character code stands for: its low 8 bits.
    static uint8_t CodeByte(int32_t code) { return uint8_t(code & 0xFF); }

    // ---- field lists -----------------------------------------------------------
    static std::vector<TFieldDef> KeyFieldDefs();
    static std::vector<TFieldDef> CharFieldDefs();
    // Checks that a table carries every field of the key (or character) table
    // with a compatible type; throws EDatabaseError "MEMBER: ..." otherwise.
    static void CheckKeyFields(const TRecordTable &table, const std::string &member);
    static void CheckCharFields(const TRecordTable &table, const std::string &member);

    static constexpr const char *kKeyMember = "key.cds";
    static constexpr const char *kCharMember = "char.cds";
    static constexpr const char *kReadmeMember = "readme";

private:
    void loadFromKit();
    std::vector<ZipArchive::Member> packageMembers();
    std::string m_packageError;
    std::unique_ptr<TDefinitionHistory> m_history; // last: it observes the tables
};

} // namespace kf
