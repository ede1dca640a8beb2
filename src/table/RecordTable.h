#pragma once
// An in-memory record table, seen through a cursor.
//
// A TRecordTable is one cursor on a row store. The first cursor defines the
// store (CreateDataSet or LoadFromStream); further cursors share it through
// CloneCursor. Every cursor keeps its own order, filter, current row, state
// (browse / edit / insert) and edit buffer; a change posted through any cursor
// is seen by all of them at once.
//
// Typical use:
//   TRecordTable t;
//   t.CreateDataSet({{"Name", TFieldType::String, 20, true},
//                    {"Code", TFieldType::Integer}});
//   t.AppendRecord({"a", 97});
//   t.SetIndexFieldNames("Code");            // order; "len;word" for several
//   for (t.First(); !t.Eof(); t.Next())
//       use(t.FieldByName("code").AsInteger()); // names match without case
//   t.Edit(); t.FieldByName("Name").SetAsString("b"); t.Post();
//
// Bound controls and item models: attach an IDataLink (DataLink.h) and read
// rows by view position without moving the cursor: RecordCount() rows,
// RowAt(i) gives row i's bookmark, FieldValueAt(i, field) its value. A view is
// built (sorted, filtered) once when first asked and then kept up to date
// incrementally, so a grid over a million rows only reads what it shows.
//
// Errors are EDatabaseError (bad field name, not in edit state, required field
// missing, bad filter, broken datapacket) or EConvertError (text that is not a
// number where one is needed).

#include "table/DataLink.h"
#include "table/Field.h"
#include "table/FieldDef.h"
#include "table/FieldValue.h"
#include "table/RowChange.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <iosfwd>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace kf {

class TCursor;

enum class TDataSetState : uint8_t { Inactive, Browse, Edit, Insert };

// A reference to one row that survives reordering, filtering and the other
// rows' changes; it goes stale when its row is deleted or the table emptied or
// reloaded.
struct TBookmark {
    uint64_t Generation = 0;
    uint32_t Row = UINT32_MAX;
    bool IsNull() const { return Row == UINT32_MAX; }
    bool operator==(const TBookmark &o) const { return Generation == o.Generation && Row == o.Row; }
    bool operator!=(const TBookmark &o) const { return !(*this == o); }
};

class TRecordTable {
public:
    using TEvent = std::function<void(TRecordTable &)>;

    TRecordTable();                                    // inactive, no fields
    explicit TRecordTable(std::vector<TFieldDef> defs); // CreateDataSet(defs)
    ~TRecordTable();
    TRecordTable(const TRecordTable &) = delete;
    TRecordTable &operator=(const TRecordTable &) = delete;

    // ---- definition -------------------------------------------------------
    // Defines a new, empty store with these fields and opens this cursor on it
    // (clones of an earlier store keep that store). Fires AfterOpen.
    void CreateDataSet(std::vector<TFieldDef> defs);
    bool Active() const;
    const std::vector<TFieldDef> &FieldDefs() const;
    int FieldCount() const;
    TField Fields(int index);                 // EDatabaseError when out of range
    TField FieldByName(const std::string &name); // "Field 'x' not found"
    int FindFieldIndex(const std::string &name) const; // -1 when absent
    // Fields whose width and required flag every load through this cursor
    // keeps, whatever the datapacket declares (text is cut to the width
    // kept). Fields of the packet with another name or type are not touched.
    const std::vector<TFieldDef> &FixedFields() const;
    void SetFixedFields(std::vector<TFieldDef> fields);

    // ---- orders -----------------------------------------------------------
    // A named order stored with the table: fields joined by ';', those listed
    // in descFields descending. Shared by all cursors of the store.
    void AddIndex(const std::string &name, const std::string &fields,
                  const std::string &descFields = std::string());
    // Ascending order on "f1;f2"; replaces IndexName. Empty: stored order.
    std::string IndexFieldNames() const;
    void SetIndexFieldNames(const std::string &fields);
    // A named order; replaces IndexFieldNames. Empty: stored order.
    std::string IndexName() const;
    void SetIndexName(const std::string &name);

    // ---- filter -----------------------------------------------------------
    // Expressions compare fields with integers or quoted texts by =, <>, <, >,
    // <=, >=, joined by AND / OR, with NOT and parentheses ("Len>=2 AND Len<=5").
    // An invalid expression is refused with EDatabaseError and changes nothing.
    std::string Filter() const;
    void SetFilter(const std::string &expression);
    bool Filtered() const;
    void SetFiltered(bool on);

    // ---- navigation -------------------------------------------------------
    // Moving off a row in edit or insert state posts it first (CheckBrowseMode).
    void First();
    void Last();
    void Next();
    void Prior();
    int MoveBy(int distance); // yields the distance actually moved
    bool Eof() const;
    bool Bof() const;
    bool IsEmpty() const;
    int RecordCount() const;  // rows seen through the current filter
    int RecNo() const;        // 1-based in the current order and filter; 0 when empty, -1 while inserting
    void SetRecNo(int recNo); // clamped to 1..RecordCount()
    // The first row, in the current order and filter, whose fields ("a;b;c")
    // equal the values exactly; a null field equals no value. Moves there and
    // yields true, else yields false and stays.
    bool Locate(const std::string &fields, const std::vector<TValue> &values);
    // Exact match on the leading fields of the current order.
    bool FindKey(const std::vector<TValue> &values);

    // ---- editing ----------------------------------------------------------
    TDataSetState State() const;
    bool Editing() const;   // State is Edit or Insert: a row is in the edit buffer
    void Edit();   // on a table without rows (in this view) it starts a new row
    void Insert(); // a new row; it joins the store's end when posted
    void Append();
    void Post();   // "Field 'Name' must have a value" when a required field is null
    void Cancel();
    void Delete(); // the next row (or the previous at the end) becomes current
    // Append (Insert), set fields in order, Post. A refused value or post
    // cancels the new row and rethrows: the table is as before.
    void AppendRecord(const std::vector<TValue> &values);
    void InsertRecord(const std::vector<TValue> &values);
    bool Modified() const;  // a field of the edit buffer was set
    // While inserting: the view position at which the new row is shown (the
    // row that was current at Insert(), or RecordCount() after Append()).
    // -1 in other states. The row joins its real place when posted.
    int InsertPosition() const;
    void CheckBrowseMode(); // post a modified edit, cancel an unmodified one

    // ---- bookmarks --------------------------------------------------------
    TBookmark GetBookmark() const;
    void GotoBookmark(const TBookmark &bookmark); // EDatabaseError when stale or filtered out
    bool BookmarkValid(const TBookmark &bookmark) const;

    // ---- bulk work --------------------------------------------------------
    void DisableControls();
    void EnableControls();
    bool ControlsDisabled() const;
    void EmptyDataSet(); // deletes every row, those hidden by the filter too
    // Appends many rows at once: values in field order, converted as the
    // field setters do; a required field left empty refuses that row (the rows
    // before it stay). No per-row events (BeforePost/AfterPost) and no per-row
    // link calls: links hear one reset, views are rebuilt when next needed.
    // A pending edit of this cursor is posted first (CheckBrowseMode).
    void AppendRecords(const std::vector<std::vector<TValue>> &rows);
    // The same for `count` rows given as cells, without building values:
    // fill(i, cells), called for i = 0, 1, ... in turn, sets row i's cells (FieldCount() of them, all null on
    // entry; integers for Integer and Boolean fields, bytes for the others).
    // Text is cut at a zero byte and to the field width. bytesHint: the bytes
    // of text and pictures the rows bring, when known (room is made at once).
    void AppendRows(size_t count, const std::function<void(size_t, TCell *)> &fill, size_t bytesHint = 0);
    // Deletes many rows at once: each view is compacted once and links hear
    // one reset, no per-row events (BeforeDelete/AfterDelete). A pending edit
    // of this cursor is posted first. Rows hidden by the filter may be listed;
    // a row listed twice is deleted once. A cursor whose current row goes
    // moves as Delete does: to the next remaining row in its view, else the
    // last. Logged like Delete, one change per row. EDatabaseError ("Record
    // not found") when a bookmark is stale; then nothing is deleted.
    void DeleteRecords(const std::vector<TBookmark> &rows);
    // Writes one field of the row behind a bookmark without moving the cursor
    // or an Edit/Post; every cursor's view follows at once. EDatabaseError when
    // the bookmark is stale or a required field would become empty.
    void SetBookmarkValue(const TBookmark &bookmark, int field, const TValue &value);

    // This cursor becomes a new cursor on source's rows: own position, no
    // filter, no order (stored order: as loaded, added rows last).
    void CloneCursor(TRecordTable &source);

    // ---- change log -------------------------------------------------------
    bool LogChanges() const;
    void SetLogChanges(bool on);
    int ChangeCount() const;
    void MergeChangeLog(); // the logged changes become permanent
    void CancelUpdates();  // undo every logged change

    // ---- undo history -------------------------------------------------------
    // The observer that hears every change committed to this cursor's rows,
    // through any cursor of the store (RowChange.h); null: none. Not owned;
    // it stays with this cursor through loads.
    void SetChangeObserver(IRowChangeObserver *observer);
    IRowChangeObserver *ChangeObserver() const;
    // Takes a reported change back (the rows as it found them) or makes it
    // again (as it left them), without reporting it; every cursor follows.
    // A replace of all rows swaps them with those the change holds, slots
    // and all, so the changes reported before and after it still fit.
    // EDatabaseError when the change does not fit the rows (its row is
    // gone); then nothing changes.
    void RevertChange(TRowChange &change);
    void ReapplyChange(TRowChange &change);
    // The bookmark of a row a change reported (TRowChange::row); null when
    // that row is not live.
    TBookmark BookmarkOfRow(uint32_t row) const;

    // ---- datapacket -------------------------------------------------------
    // Save writes the field list and rows (the pending edit is not included).
    // Load replaces the definition and rows of the store, for every cursor on
    // it; on error nothing changes. Fires AfterOpen.
    void SaveToStream(std::ostream &out) const;
    void LoadFromStream(std::istream &in);
    std::string SaveToBytes() const;
    void LoadFromBytes(const std::string &packet);
    void LoadFromBytes(const char *data, size_t size);
    void SaveToFile(const std::string &path) const;
    void LoadFromFile(const std::string &path);
    // Loads the definition and rows of another table's store, as LoadFromBytes
    // would load that table's datapacket, without writing and reading one.
    // source gives them up: it keeps its fields and has no rows, as after
    // EmptyDataSet (they stay with it when this load fails). EDatabaseError
    // when source is closed or shares this table's store.
    void LoadFromTable(TRecordTable &source);

    // ---- events -----------------------------------------------------------
    TEvent AfterOpen;   // after CreateDataSet / LoadFromStream opened the table
    TEvent BeforePost;  // may throw to refuse the post
    TEvent AfterPost;
    TEvent AfterCancel;
    TEvent AfterInsert; // a new row was started (Insert/Append/Edit on empty)
    TEvent AfterEdit;
    TEvent BeforeDelete;
    TEvent AfterDelete;
    TEvent AfterScroll; // the current row moved

    // ---- observers and random access for views ----------------------------
    void AddDataLink(IDataLink *link); // not owned
    void RemoveDataLink(IDataLink *link);
    TBookmark RowAt(int viewIndex) const;              // EListError when out of range
    TValue FieldValueAt(int viewIndex, int field) const; // stored value, null as null
    // A text or picture field's stored bytes without a copy (empty for null);
    // valid until the rows next change. For walking many rows quickly.
    std::string_view FieldBytesAt(int viewIndex, int field) const;
    int ViewIndexOf(const TBookmark &bookmark) const;    // -1 when not in the view
    TValue BookmarkValue(const TBookmark &bookmark, int field) const;

    // ---- internal (TField and the engine use these) ------------------------
    TCursor &impl() const { return *d; }

private:
    // Insert (appending false) and Append: a new, empty row in the edit buffer.
    void StartNewRow(bool appending);
    void PostNewRecord(const std::vector<TValue> &values);

    std::unique_ptr<TCursor> d;
};

} // namespace kf
