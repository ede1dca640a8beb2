// The record table: its definition, editing, bulk work, the change log and
// datapackets. The cursor's other work lives in the engine's further files
// (see RecordCursor.h).

#include "table/RecordTable.h"

#include "common/AsciiText.h"
#include "common/Errors.h"
#include "common/LibraryErrors.h"
#include "common/ReplacingFile.h"
#include "common/Translation.h"
#include "table/DataPacket.h"
#include "table/RecordCursor.h"

#include <algorithm>
#include <cerrno>
#include <exception>
#include <fstream>
#include <istream>
#include <iterator>
#include <ostream>

namespace kf {

namespace {

bool IsEmptyValue(const TValue &v)
{
    return v.IsNull() || (v.kind() == TValue::Kind::Bytes && v.bytes().empty());
}

} // namespace

// ---------------------------------------------------------------------------
// The cursor: attaching to a store, the edit buffer, bulk appends

void TCursor::Detach()
{
    if (!store)
        return;
    auto &cs = store->cursors;
    cs.erase(std::remove(cs.begin(), cs.end(), this), cs.end());
    store.reset();
}

void TCursor::Attach(std::shared_ptr<TRowStore> s)
{
    Detach();
    store = std::move(s);
    store->cursors.push_back(this);
}

// This cursor starts afresh on its store: browse, no order, no filter.
void TCursor::OpenFresh(std::shared_ptr<TRowStore> s)
{
    Tell([&](IDataLink &l) { l.DataSetAboutToReset(*self); });
    Attach(std::move(s));
    indexFieldNames.clear();
    indexName.clear();
    view.order.clear();
    filterText.clear();
    filter.reset();
    filtered = false;
    DropEdit();
    rowBeforeInsert = kNoRow;
    view.Drop();
    cur = kNoRow;
    cacheVersion = 0;
    pendingScroll = true;
    GoFirst();
    Tell([&](IDataLink &l) { l.DataSetReset(*self); });
    FlushEvents();
}

// The store's definition and rows become those of `fresh` (moved from), for
// every cursor on it, with this cursor's fixed fields kept when `keepFixed`.
// *moved tells whether the rows were taken before a failure.
void TCursor::LoadRows(TRowData &fresh, bool keepFixed, bool *moved)
{
    auto take = [&](TRowData &into) {
        into = std::move(fresh);
        if (moved)
            *moved = true;
        if (keepFixed && !fixedFields.empty())
            into.KeepFixedFields(fixedFields);
    };
    if (!store) {
        auto s = std::make_shared<TRowStore>();
        take(s->data);
        OpenFresh(std::move(s));
    } else {
        ResetStore([&](TRowStore &s) { take(s.data); }, true);
        state = TDataSetState::Browse;
    }
}

void TCursor::SetField(int col, const TValue &v)
{
    if (!Editing())
        throw EDatabaseError(LibraryText("Dataset not in edit or insert mode"));
    const TFieldDef &def = Data().defs[col];
    if (!ConvertForField(def, v, buffer[col])) {
        if (v.kind() == TValue::Kind::Bytes && def.DataType == TFieldType::Integer)
            RaiseNotAnInteger(v.bytes());
        if (v.kind() == TValue::Kind::Bytes && def.DataType == TFieldType::Boolean)
            throw EConvertError(LibraryText("'%s' is not a valid boolean value", v.bytes()));
        throw EConvertError(LibraryText("Invalid value for field '%s'", def.Name));
    }
    modified = true;
    Tell([&](IDataLink &l) { l.CurrentValuesChanged(*self, col); });
}

void TCursor::GatherLinks()
{
    if (skipGather || !Editing())
        return;
    const std::vector<IDataLink *> copy = links;
    for (IDataLink *l : copy)
        l->UpdateData(*self);
}

// Appends `count` rows in batches: appendSome(data, first, n) stores rows
// first .. first + n - 1 at the end of the store; a row it refuses ends the
// run (the rows before it stay). Links hear one reset, views are rebuilt when
// next needed.
template <class AppendSome> void TCursor::AppendMany(size_t count, size_t bytesHint, AppendSome appendSome)
{
    CheckActive();
    self->CheckBrowseMode();
    if (count == 0)
        return;
    constexpr size_t kBatch = 256;
    std::exception_ptr error;
    Mutate([&](TRowStore &s) {
        const std::vector<TCursor *> cursors = s.cursors;
        for (TCursor *c : cursors)
            c->Tell([&](IDataLink &l) { l.DataSetAboutToReset(*c->self); });
        const uint32_t before = s.data.SlotCount();
        try {
            s.data.ReserveMore(count, bytesHint);
            for (size_t first = 0; first < count; first += kBatch)
                appendSome(s.data, first, std::min(kBatch, count - first));
        } catch (...) {
            error = std::current_exception();
        }
        if (s.KeepsChanges())
            for (uint32_t r = before; r < s.data.SlotCount(); ++r)
                s.Committed(TRowStore::Change::Insert, r, {});
        ++s.changeSeq;
        for (TCursor *c : cursors)
            c->OnRowsAppended();
    });
    if (error)
        std::rethrow_exception(error);
}

// ---------------------------------------------------------------------------
// TRecordTable: definition

TRecordTable::TRecordTable() : d(new TCursor(this)) {}

TRecordTable::TRecordTable(std::vector<TFieldDef> defs) : d(new TCursor(this))
{
    CreateDataSet(std::move(defs));
}

TRecordTable::~TRecordTable()
{
    d->Detach();
    const std::vector<IDataLink *> copy = d->links;
    d->links.clear();
    for (IDataLink *l : copy)
        l->DataSetDestroyed(*this);
}

const std::vector<TFieldDef> &TRecordTable::FixedFields() const { return d->fixedFields; }

void TRecordTable::SetFixedFields(std::vector<TFieldDef> fields) { d->fixedFields = std::move(fields); }

void TRecordTable::CreateDataSet(std::vector<TFieldDef> defs)
{
    std::vector<std::string> seen;
    for (TFieldDef &def : defs) {
        if (def.Name.empty())
            throw EDatabaseError(LibraryText("A field needs a name"));
        const std::string l = LowerAscii(def.Name);
        if (std::find(seen.begin(), seen.end(), l) != seen.end())
            throw EDatabaseError(LibraryText("Duplicate field name '%s'", def.Name));
        seen.push_back(l);
        if (def.DataType == TFieldType::String) {
            if (def.Size < 1 || def.Size > 0xFFFF)
                throw EDatabaseError(LibraryText("Invalid size for field '%s'", def.Name));
        } else {
            def.Size = 0;
        }
    }
    if (defs.empty())
        throw EDatabaseError(LibraryText("No fields defined"));
    auto store = std::make_shared<TRowStore>();
    store->data.Define(std::move(defs));
    d->OpenFresh(std::move(store));
    if (AfterOpen)
        AfterOpen(*this);
}

bool TRecordTable::Active() const { return d->Active(); }

const std::vector<TFieldDef> &TRecordTable::FieldDefs() const
{
    static const std::vector<TFieldDef> none;
    return d->store ? d->store->data.defs : none;
}

int TRecordTable::FieldCount() const { return static_cast<int>(FieldDefs().size()); }

TField TRecordTable::Fields(int index)
{
    if (index < 0 || index >= FieldCount())
        throw EDatabaseError(LibraryText("Field index out of range"));
    return TField(this, index);
}

TField TRecordTable::FieldByName(const std::string &name)
{
    return TField(this, d->FieldIndexOrThrow(name));
}

int TRecordTable::FindFieldIndex(const std::string &name) const
{
    return d->store ? d->store->FindField(name) : -1;
}

// ---------------------------------------------------------------------------
// TRecordTable: editing

TDataSetState TRecordTable::State() const { return d->state; }
bool TRecordTable::Editing() const { return d->state == TDataSetState::Edit || d->state == TDataSetState::Insert; }

void TRecordTable::Edit()
{
    d->CheckActive();
    if (d->Editing())
        return;
    if (d->cur == kNoRow) {
        Insert();
        return;
    }
    d->Data().ReadRow(d->cur, d->buffer);
    d->editRow = d->cur;
    d->modified = false;
    d->state = TDataSetState::Edit;
    d->Tell([&](IDataLink &l) { l.StateChanged(*this); });
    if (AfterEdit)
        AfterEdit(*this);
}

void TRecordTable::Insert()
{
    StartNewRow(false);
}

void TRecordTable::Append()
{
    StartNewRow(true);
}

void TRecordTable::StartNewRow(bool appending)
{
    d->CheckActive();
    CheckBrowseMode();
    d->appending = appending;
    d->rowBeforeInsert = d->cur;
    d->buffer.resize(FieldDefs().size());
    for (TValue &v : d->buffer)
        v.SetNull();
    d->editRow = kNoRow;
    d->modified = false;
    d->state = TDataSetState::Insert;
    d->Tell([&](IDataLink &l) { l.StateChanged(*this); });
    if (AfterInsert)
        AfterInsert(*this);
}

int TRecordTable::InsertPosition() const
{
    if (!d->Active() || d->state != TDataSetState::Insert)
        return -1;
    if (d->appending)
        return RecordCount();
    if (d->rowBeforeInsert == kNoRow)
        return 0;
    const int at = ViewIndexOf(TBookmark{d->store->generation, d->rowBeforeInsert});
    return at >= 0 ? at : RecordCount();
}

void TRecordTable::Post()
{
    d->CheckActive();
    if (!d->Editing())
        return;
    d->GatherLinks();
    if (!d->Editing()) // a link may have cancelled
        return;
    if (BeforePost)
        BeforePost(*this);
    const std::vector<TFieldDef> &defs = FieldDefs();
    for (size_t c = 0; c < defs.size(); ++c)
        if (defs[c].Required && IsEmptyValue(d->buffer[c]))
            throw EDatabaseError(LibraryText("Field '%s' must have a value", defs[c].Name));
    // The buffer keeps its capacity for the next row; the store copies from it
    // before it tells anyone of the change.
    const std::vector<TValue> &values = d->buffer;
    const bool inserting = d->state == TDataSetState::Insert;
    const uint32_t editRow = d->editRow;
    const bool modified = d->modified;
    // Browse before the store announces the change, so links see the final state.
    d->state = TDataSetState::Browse;
    d->editRow = kNoRow;
    d->modified = false;
    const uint64_t seq = d->store->changeSeq;
    try {
        d->Mutate([&](TRowStore &s) {
            if (inserting) {
                const uint32_t row = s.InsertRow(values);
                if (d->Passes(row)) {
                    d->SetCurrent(row);
                    d->cacheVersion = 0;
                }
            } else if (modified) {
                if (!s.IsLiveRow(editRow))
                    throw EDatabaseError(LibraryText("Record not found"));
                s.ModifyRow(editRow, values, true);
            }
            d->pendingState = true;
        });
    } catch (...) {
        if (d->store && d->store->changeSeq != seq) {
            // The row was stored and a link failed while hearing of it: the
            // post stands (posting the buffer again would store it twice).
            if (d->state == TDataSetState::Browse)
                d->DropEdit();
        } else if (d->state == TDataSetState::Browse) {
            d->state = inserting ? TDataSetState::Insert : TDataSetState::Edit;
            d->editRow = editRow;
            d->modified = modified;
        }
        throw;
    }
    if (AfterPost)
        AfterPost(*this);
}

void TRecordTable::Cancel()
{
    d->CheckActive();
    if (!d->Editing())
        return;
    const bool inserting = d->state == TDataSetState::Insert;
    d->DropEdit();
    if (inserting && d->cur != kNoRow && d->rowBeforeInsert != kNoRow && d->Passes(d->rowBeforeInsert))
        d->SetCurrent(d->rowBeforeInsert);
    d->rowBeforeInsert = kNoRow;
    d->pendingValues = true; // the fields show the stored row again
    d->FlushEvents();
    if (AfterCancel)
        AfterCancel(*this);
}

void TRecordTable::Delete()
{
    d->CheckActive();
    if (d->state == TDataSetState::Insert) {
        Cancel();
        return;
    }
    if (d->cur == kNoRow)
        throw EDatabaseError(LibraryText("Cannot perform this operation on an empty dataset"));
    if (BeforeDelete)
        BeforeDelete(*this);
    if (d->state == TDataSetState::Edit)
        d->DropEdit();
    const uint32_t row = d->cur;
    d->Mutate([&](TRowStore &s) { s.DeleteRow(row, true); });
    if (AfterDelete)
        AfterDelete(*this);
}

void TRecordTable::AppendRecord(const std::vector<TValue> &values)
{
    Append();
    PostNewRecord(values);
}

void TRecordTable::InsertRecord(const std::vector<TValue> &values)
{
    Insert();
    PostNewRecord(values);
}

void TRecordTable::PostNewRecord(const std::vector<TValue> &values)
{
    // A whole record or none: a refused value or post drops the new row, so
    // the table is not left holding half a record in insert state.
    try {
        const int n = std::min(static_cast<int>(values.size()), FieldCount());
        for (int i = 0; i < n; ++i)
            if (!values[i].IsNull())
                d->SetField(i, values[i]);
        Post();
    } catch (...) {
        Cancel();
        throw;
    }
}

bool TRecordTable::Modified() const { return d->Editing() && d->modified; }

void TRecordTable::CheckBrowseMode()
{
    if (!d->Editing())
        return;
    d->GatherLinks();
    if (!d->Editing())
        return;
    d->skipGather = true;
    try {
        if (d->modified)
            Post();
        else
            Cancel();
    } catch (...) {
        d->skipGather = false;
        throw;
    }
    d->skipGather = false;
}

// ---------------------------------------------------------------------------
// TRecordTable: bulk work

void TRecordTable::AppendRecords(const std::vector<std::vector<TValue>> &rows)
{
    static const TValue kNull;
    std::vector<TValue> conv;
    d->AppendMany(rows.size(), 0, [&](TRowData &data, size_t first, size_t n) {
        const std::vector<TFieldDef> &defs = data.defs;
        conv.resize(defs.size());
        for (size_t i = first; i < first + n; ++i) {
            const std::vector<TValue> &row = rows[i];
            for (size_t f = 0; f < defs.size(); ++f) {
                const TValue &v = f < row.size() ? row[f] : kNull;
                if (!ConvertForField(defs[f], v, conv[f]))
                    throw EConvertError(LibraryText("Invalid value for field '%s'", defs[f].Name));
                if (defs[f].Required && IsEmptyValue(conv[f]))
                    throw EDatabaseError(LibraryText("Field '%s' must have a value", defs[f].Name));
            }
            data.AppendRow(conv);
        }
    });
}

void TRecordTable::AppendRows(size_t count, const std::function<void(size_t, TCell *)> &fill,
                              size_t bytesHint)
{
    std::vector<TCell> cells;
    d->AppendMany(count, bytesHint, [&](TRowData &data, size_t first, size_t n) {
        const size_t width = data.defs.size();
        cells.assign(n * width, TCell());
        for (size_t r = 0; r < n; ++r)
            fill(first + r, cells.data() + r * width);
        data.AppendCellRows(cells.data(), n);
    });
}

void TRecordTable::DeleteRecords(const std::vector<TBookmark> &rows)
{
    d->CheckActive();
    CheckBrowseMode();
    for (const TBookmark &b : rows)
        if (!d->LiveBookmark(b))
            throw EDatabaseError(LibraryText("Record not found"));
    if (rows.empty())
        return;
    d->Mutate([&](TRowStore &s) {
        std::vector<uint32_t> dead;
        dead.reserve(rows.size());
        for (const TBookmark &b : rows) {
            if (!s.data.alive[b.Row])
                continue; // listed twice
            if (s.KeepsChanges())
                s.Committed(TRowStore::Change::Delete, b.Row, s.data.RowValues(b.Row));
            s.data.KillRow(b.Row);
            dead.push_back(b.Row);
        }
        ++s.changeSeq;
        for (TCursor *c : std::vector<TCursor *>(s.cursors))
            c->OnRowsDeleting();
        for (uint32_t r : dead)
            s.data.FreeRow(r);
    });
}

void TRecordTable::SetBookmarkValue(const TBookmark &bookmark, int field, const TValue &value)
{
    d->CheckActive();
    if (!d->LiveBookmark(bookmark))
        throw EDatabaseError(LibraryText("Record not found"));
    if (field < 0 || field >= FieldCount())
        throw EDatabaseError(LibraryText("Field index out of range"));
    TRowData &data = d->Data();
    const TFieldDef &def = data.defs[size_t(field)];
    std::vector<TValue> values;
    data.ReadRow(bookmark.Row, values);
    if (!ConvertForField(def, value, values[size_t(field)]))
        throw EConvertError(LibraryText("Invalid value for field '%s'", def.Name));
    if (def.Required && IsEmptyValue(values[size_t(field)]))
        throw EDatabaseError(LibraryText("Field '%s' must have a value", def.Name));
    d->Mutate([&](TRowStore &s) { s.ModifyRow(bookmark.Row, values, true); });
}

void TRecordTable::EmptyDataSet()
{
    d->CheckActive();
    d->ResetStore([](TRowStore &s) { s.data.ClearRows(); }, false);
}

void TRecordTable::CloneCursor(TRecordTable &source)
{
    if (!source.d->Active())
        ClosedError();
    std::shared_ptr<TRowStore> store = source.d->store; // keeps it alive across Attach
    d->OpenFresh(std::move(store));
    if (AfterOpen)
        AfterOpen(*this);
}

// ---------------------------------------------------------------------------
// TRecordTable: change log

bool TRecordTable::LogChanges() const { return d->store ? d->store->logChanges : true; }

void TRecordTable::SetLogChanges(bool on)
{
    d->CheckActive();
    d->store->logChanges = on;
}

int TRecordTable::ChangeCount() const
{
    return d->store ? static_cast<int>(d->store->log.size()) : 0;
}

void TRecordTable::MergeChangeLog()
{
    d->CheckActive();
    d->store->log.clear();
    d->store->log.shrink_to_fit();
}

void TRecordTable::CancelUpdates()
{
    d->CheckActive();
    Cancel();
    // A refused change leaves the log as it is; one stopped halfway leaves
    // the changes not yet undone.
    d->Mutate([](TRowStore &s) { s.UndoLogged(); });
}

// ---------------------------------------------------------------------------
// TRecordTable: undo history

void TRecordTable::SetChangeObserver(IRowChangeObserver *observer)
{
    d->changeObserver = observer;
}

IRowChangeObserver *TRecordTable::ChangeObserver() const
{
    return d->changeObserver;
}

namespace {

void applyReported(TCursor &cursor, TRowChange &change, bool revert)
{
    cursor.CheckActive();
    TRowStore &s = *cursor.store;
    struct Silence {
        TRowStore &s;
        bool was;
        ~Silence() { s.reporting = was; }
    } silence{s, s.reporting};
    s.reporting = false;
    if (change.kind == TRowChange::Kind::Replace) {
        if (!change.rows)
            throw EDatabaseError(LibraryText("Record not found"));
        cursor.ResetStore([&](TRowStore &st) { std::swap(st.data, *change.rows); }, true);
        return;
    }
    cursor.Mutate([&](TRowStore &st) { st.ApplyReported(change, revert); });
}

} // namespace

void TRecordTable::RevertChange(TRowChange &change)
{
    applyReported(*d, change, true);
}

void TRecordTable::ReapplyChange(TRowChange &change)
{
    applyReported(*d, change, false);
}

TBookmark TRecordTable::BookmarkOfRow(uint32_t row) const
{
    TBookmark b;
    if (d->Active() && d->store->IsLiveRow(row)) {
        b.Generation = d->store->generation;
        b.Row = row;
    }
    return b;
}

// ---------------------------------------------------------------------------
// TRecordTable: datapackets

std::string TRecordTable::SaveToBytes() const
{
    d->CheckActive();
    return EncodeDataPacket(d->Data());
}

void TRecordTable::SaveToStream(std::ostream &out) const
{
    const std::string bytes = SaveToBytes();
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out)
        throw EInOutError(LibraryText("Cannot write the datapacket"));
}

void TRecordTable::LoadFromBytes(const char *data, size_t size)
{
    TRowData fresh;
    DecodeDataPacket(data, size, fresh, d->fixedFields.empty() ? nullptr : &d->fixedFields); // throws before anything changes
    d->LoadRows(fresh, false);
    if (AfterOpen)
        AfterOpen(*this);
}

void TRecordTable::LoadFromBytes(const std::string &packet) { LoadFromBytes(packet.data(), packet.size()); }

void TRecordTable::LoadFromStream(std::istream &in)
{
    std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (in.bad())
        throw EInOutError(LibraryText("Cannot read the datapacket"));
    LoadFromBytes(bytes);
}

void TRecordTable::SaveToFile(const std::string &path) const
{
    ReplacingFile::writeWhole(path, SaveToBytes());
}

void TRecordTable::LoadFromFile(const std::string &path)
{
    std::ifstream f(path, std::ios::binary);
    if (!f)
        RaiseCannotOpenFile(path, SystemErrorText(errno));
    LoadFromStream(f);
}

void TRecordTable::LoadFromTable(TRecordTable &source)
{
    TCursor &from = *source.d;
    from.CheckActive();
    if (from.store == d->store)
        throw EDatabaseError(LibraryText("A table cannot take over its own rows"));
    // The source gives up its rows first, as by EmptyDataSet; they go back to
    // it when this table cannot take them.
    TRowData taken;
    from.ResetStore([&](TRowStore &s) {
        taken = std::move(s.data);
        s.data.Define(taken.defs);
    }, false);
    bool moved = false;
    try {
        d->LoadRows(taken, true, &moved);
    } catch (...) {
        if (!moved && from.store)
            from.ResetStore([&](TRowStore &s) { s.data = std::move(taken); }, false);
        throw;
    }
    if (AfterOpen)
        AfterOpen(*this);
}

} // namespace kf
