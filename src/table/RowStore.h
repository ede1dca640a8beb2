#pragma once
// The rows of one record table, shared by all its cursors (engine-internal).
//
// TRowData holds the field list and the rows; TRowStore adds what the cursors
// of one table share: the named orders, the change log and the list of
// cursors, and it is the one way rows change once a table is open.
//
// Rows are kept column by column: integers and booleans in a vector of int32,
// text and pictures as (offset, length) into one byte arena per table, a null
// flag per cell. A row's number is its slot; slots are never reused until the
// table is emptied or reloaded, so the slot order is the stored order (as
// loaded, added rows last) and a slot number is a stable row reference.

#include "common/HugePageAllocator.h"
#include "common/IntegerText.h" // ParseIntegerText: the text of integer fields
#include "table/FieldDef.h"
#include "table/FieldValue.h"
#include "table/RowChange.h"

#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace kf {

constexpr uint32_t kNoRow = UINT32_MAX;

// Compares two cells of a column of the given type: null first, integers by
// value, bytes by unsigned byte order then length.
inline int CompareCells(const TCell &a, const TCell &b, TFieldType type)
{
    if (a.null || b.null)
        return a.null == b.null ? 0 : (a.null ? -1 : 1);
    if (type == TFieldType::Integer || type == TFieldType::Boolean)
        return a.i < b.i ? -1 : (a.i > b.i ? 1 : 0);
    const size_t n = a.s.size() < b.s.size() ? a.s.size() : b.s.size();
    if (n) {
        const int c = std::memcmp(a.s.data(), b.s.data(), n);
        if (c)
            return c < 0 ? -1 : 1;
    }
    return a.s.size() < b.s.size() ? -1 : (a.s.size() > b.s.size() ? 1 : 0);
}

// Field definitions plus the rows, without any cursor: what a datapacket holds.
class TRowData {
public:
    struct Column {
        BigVector<int32_t> ints;  // Integer, Boolean (0/1)
        BigVector<uint64_t> offs; // String, Graphic: offset into the arena
        BigVector<uint32_t> lens; // String, Graphic: length
        BigVector<uint8_t> nulls; // 1 = null
    };

    std::vector<TFieldDef> defs;
    std::vector<Column> cols;
    BigVector<char> arena;
    uint64_t garbage = 0;       // arena bytes no longer referenced
    BigVector<uint8_t> alive; // per slot
    uint32_t liveCount = 0;

    void Define(std::vector<TFieldDef> fieldDefs);
    void ClearRows();
    uint32_t SlotCount() const { return static_cast<uint32_t>(alive.size()); }
    bool IsVarying(int col) const
    {
        const TFieldType t = defs[col].DataType;
        return t == TFieldType::String || t == TFieldType::Graphic;
    }

    void Reserve(size_t rows);
    // Values are taken as already converted to the column's kind (null allowed).
    uint32_t AppendRow(const std::vector<TValue> &values);
    // Appends rows of cells (`rows` times one cell per field, row after row),
    // converted as ConvertForField would: text cut at a zero byte and to the
    // field width, an empty picture null, a boolean 0/1. A required field left
    // empty refuses its row with EDatabaseError; the rows before it stay.
    void AppendCellRows(const TCell *cells, size_t rows);
    // Makes room for `more` rows (and `bytes` more arena bytes) beyond those
    // held, growing geometrically so that reserving batch after batch stays
    // linear.
    void ReserveMore(size_t more, size_t bytes = 0);
    // Appends one cell; used by the datapacket reader, column by column, row
    // by row, after BeginRow(). Lengths are stored as given.
    uint32_t BeginRow();
    void PushNull(int col);
    void PushInt(int col, int32_t v);
    void PushBytes(int col, const char *p, size_t n);

    void SetRow(uint32_t row, const std::vector<TValue> &values);
    void SetCell(uint32_t row, int col, const TValue &v);
    void KillRow(uint32_t row);   // marks the slot dead, frees nothing yet
    void FreeRow(uint32_t row);   // releases a dead row's arena bytes
    void ReviveRow(uint32_t row, const std::vector<TValue> &values);

    bool IsNull(uint32_t row, int col) const { return cols[col].nulls[row] != 0; }
    int32_t Int(uint32_t row, int col) const { return cols[col].ints[row]; }
    std::string_view Bytes(uint32_t row, int col) const
    {
        const Column &c = cols[col];
        return std::string_view(arena.data() + c.offs[row], c.lens[row]);
    }
    TCell Cell(uint32_t row, int col) const
    {
        TCell cell;
        cell.null = IsNull(row, col);
        if (!cell.null) {
            if (IsVarying(col))
                cell.s = Bytes(row, col);
            else
                cell.i = Int(row, col);
        }
        return cell;
    }
    TValue Value(uint32_t row, int col) const;
    std::vector<TValue> RowValues(uint32_t row) const;
    // The same into an existing vector, reusing its buffers.
    void ReadRow(uint32_t row, std::vector<TValue> &out) const;

    // Gives the fields the widths and required flags that `fixed` keeps
    // (ApplyFixedFields), cutting text longer than a narrowed width.
    void KeepFixedFields(const std::vector<TFieldDef> &fixed);

    // Re-packs the arena when more than half of it is garbage.
    void MaybeCompact();

private:
    void StoreBytes(int col, uint32_t row, std::string_view bytes);
};

// Converts a value to a column's kind; false when it cannot be (text that is
// not a number for an integer column, ...). Text is cut at a zero byte and to
// the column width. A null stays null; an empty picture becomes null. `out`
// may be `in`.
bool ConvertForField(const TFieldDef &def, const TValue &in, TValue &out);

// "True"/"False" (any case), "T"/"F", "1"/"0".
bool ParseBooleanText(std::string_view s, bool &out);
// Text as a column of this width stores it: cut at a zero byte, then to width.
std::string CutText(std::string_view s, int width);

class TCursor;

// One table's store, shared by its cursors (TRecordTable's clones).
//
// Every change of a row once the table is open goes through InsertRow,
// ModifyRow, DeleteRow or ReviveRow (or, in bulk, TCursor's AppendMany and
// TRecordTable::DeleteRecords): the row changes, the change is committed to
// the log (Committed), then every cursor is told (TCursor::OnRow...).
// These run inside TCursor::Mutate, which refuses a change while another is
// being announced and lets the cursors tell their links when it is over.
class TRowStore {
public:
    TRowData data;
    uint64_t generation = 1; // bookmarks carry it; empty and load renew it
    uint64_t changeSeq = 0;  // one step per change of rows
    int depth = 0;           // nesting of changes; events flush when it returns to 0
    std::vector<TCursor *> cursors;

    // Named orders: fields joined by ';', those in descFields descending.
    struct IndexDef {
        std::string name, fields, descFields;
    };
    std::vector<IndexDef> indexes;

    // The change log: every logged change, oldest first, with the row's values
    // before it (modify, delete).
    enum class Change : uint8_t { Insert, Modify, Delete };
    struct LogEntry {
        Change kind;
        uint32_t row;
        std::vector<TValue> before;
    };
    bool logChanges = true;
    std::vector<LogEntry> log;

    int FindField(const std::string &name) const; // -1 when absent, names match without case
    IndexDef *FindIndex(const std::string &name);  // null when absent
    bool IsLiveRow(uint32_t row) const { return row < data.SlotCount() && data.alive[row]; }

    // ---- row changes (inside TCursor::Mutate) -------------------------------
    // record false: the change is made and announced but not logged (undoing
    // a logged change).
    uint32_t InsertRow(const std::vector<TValue> &values);
    void ModifyRow(uint32_t row, const std::vector<TValue> &values, bool record);
    void DeleteRow(uint32_t row, bool record);
    // A deleted row comes back (logged as an insert when record is true).
    void ReviveRow(uint32_t row, const std::vector<TValue> &values, bool record = false);
    // Brings a row to how a reported change left it (revert false) or found
    // it (revert true), without reporting it. The log drops the change when
    // it is the newest entry and the change is reverted; otherwise the row's
    // change is logged as any other.
    void ApplyReported(const TRowChange &change, bool revert);
    // Undoes the logged changes, newest first. Each leaves the log as it is
    // undone, so when a cursor's link fails halfway the changes not yet
    // undone stay logged.
    void UndoLogged();

    // The one place a committed change of one row is recorded: `before` holds
    // the row's values before a modify or delete (empty for an insert, whose
    // values are the row's now). It goes to the log and, while a cursor
    // observes the store, to the changes to be reported.
    void Committed(Change kind, uint32_t row, std::vector<TValue> before);
    // Whether a change must keep the row's values before it: for the log or
    // for a cursor's change observer.
    bool KeepsChanges() const { return logChanges || Observed(); }

    // ---- reporting to change observers ----------------------------------------
    bool reporting = true;              // off while a reported change is reverted
    std::vector<TRowChange> toReport;   // committed in the operation under way
    bool Observed() const;              // a cursor has an observer and reporting is on
    // The rows are about to be replaced at once: the rows as they are now are
    // kept for the report.
    void Replacing();
    // Hands the changes of the operation that just ended to the observers.
    void DeliverReports();
};

// A cell made from a value of the column's own kind.
inline TCell CellOf(const TValue &v)
{
    TCell c;
    c.null = v.IsNull();
    if (v.kind() == TValue::Kind::Bytes)
        c.s = v.bytes();
    else
        c.i = v.integer();
    return c;
}

} // namespace kf
