#pragma once
// One cursor on a row store: what a TRecordTable is inside (engine-internal).
//
// A cursor keeps its own order and filter (its view), its current row, its
// state (browse / edit / insert) with the edit buffer, and its data links.
// Its work is spread over the engine's files:
//   RecordView.cpp    the view, its sort, orders and filter
//   RecordCursor.cpp  the current row, navigation, bookmarks, leaving edit
//   RecordSearch.cpp  Locate and FindKey
//   RecordNotify.cpp  following the store's changes and telling the links
//   RowChanges.cpp    the store's row changes and the change log
//   RecordTable.cpp   definition, editing, bulk work, datapackets
//   Field.cpp         reading and writing one field (TField)

#include "common/Errors.h"
#include "common/Translation.h"
#include "table/FilterExpression.h"
#include "table/RecordTable.h"
#include "table/RecordView.h"
#include "table/RowStore.h"

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

namespace kf {

[[noreturn]] inline void ClosedError()
{
    throw EDatabaseError(LibraryText("Cannot perform this operation on a closed dataset"));
}

// "a; b;c" -> {"a", "b", "c"} (blanks around names dropped, empty names skipped).
std::vector<std::string> SplitFieldList(const std::string &list);

class TCursor {
public:
    explicit TCursor(TRecordTable *owner) : self(owner) {}

    TRecordTable *self;
    std::shared_ptr<TRowStore> store;

    // ---- order and filter (RecordView.cpp) --------------------------------
    std::string indexFieldNames;
    std::string indexName;
    std::string filterText;
    bool filtered = false;
    std::unique_ptr<TFilterExpression> filter; // compiled filterText while filtered
    TRowView view;

    // ---- position (RecordCursor.cpp) ---------------------------------------
    uint32_t cur = kNoRow;
    bool bof = true, eof = true;
    int cacheIdx = -1;         // cur's view position, while cacheVersion == view.version
    uint64_t cacheVersion = 0;

    // ---- editing -----------------------------------------------------------
    TDataSetState state = TDataSetState::Inactive;
    std::vector<TValue> buffer;
    uint32_t editRow = kNoRow;         // the row in edit (kNoRow while inserting)
    uint32_t rowBeforeInsert = kNoRow; // the current row when the insert began
    bool modified = false;
    bool appending = false;  // the insert was started by Append()
    bool skipGather = false; // CheckBrowseMode already asked the links

    std::vector<TFieldDef> fixedFields; // kept by every load
    IRowChangeObserver *changeObserver = nullptr; // not owned

    // ---- links (RecordNotify.cpp) ------------------------------------------
    int disableCount = 0;
    std::vector<IDataLink *> links;
    // What the links are told when the change under way is over (FlushEvents).
    bool pendingScroll = false, pendingState = false, pendingValues = false, pendingMoved = false;

    // ---- basics ------------------------------------------------------------
    TRowData &Data() const { return store->data; }
    bool Active() const { return store && state != TDataSetState::Inactive; }
    void CheckActive() const
    {
        if (!Active())
            ClosedError();
    }
    bool Editing() const { return state == TDataSetState::Edit || state == TDataSetState::Insert; }
    bool FilterActive() const { return filtered && filter && !filter->IsAll(); }
    bool Passes(uint32_t row) const
    {
        return Data().alive[row] && (!FilterActive() || filter->Matches(Data(), row));
    }
    int FieldIndexOrThrow(const std::string &name) const
    {
        const int i = store ? store->FindField(name) : -1;
        if (i < 0)
            throw EDatabaseError(LibraryText("Field '%s' not found", name));
        return i;
    }
    // Whether a bookmark names a live row of this store.
    bool LiveBookmark(const TBookmark &b) const
    {
        return store && !b.IsNull() && b.Generation == store->generation && store->IsLiveRow(b.Row);
    }

    // ---- the view (RecordView.cpp) -----------------------------------------
    void EnsureView()
    {
        if (!view.built)
            view.Build(Data(), FilterActive() ? filter.get() : nullptr, store->changeSeq);
    }
    void ViewInsertAt(size_t pos, uint32_t row); // tells the links
    void ViewEraseAt(size_t pos);
    void ViewInsert(uint32_t row) { ViewInsertAt(view.InsertPosition(Data(), row), row); }
    std::vector<KeyPart> ParseOrder(const std::string &fields, const std::string &desc) const;
    std::vector<KeyPart> ResolveOrder() const; // from indexName or indexFieldNames
    void ApplyOrder(std::vector<KeyPart> parts);
    void ApplyFilter();

    // ---- position (RecordCursor.cpp) ---------------------------------------
    void SetCurrent(uint32_t row);
    void SetCurrentAt(size_t idx);
    void SetCurrentLast(); // the last row of the view, at the end of a walk
    int CurIndex();
    void Relocate(const Probe &where);
    void GoFirst();
    // Leaves edit or insert state without posting: the edit buffer goes and
    // the links hear of the state when the events are next flushed.
    void DropEdit();

    // ---- field values ------------------------------------------------------
    TValue CurrentValue(int col) const
    {
        if (Editing())
            return buffer[col];
        if (cur == kNoRow || !store)
            return TValue();
        return Data().Value(cur, col);
    }
    void SetField(int col, const TValue &v);
    void GatherLinks(); // lets the links write pending control values into the buffer

    // ---- following the store (RecordNotify.cpp) ----------------------------
    template <typename F> void Tell(F f)
    {
        if (!LinksLive())
            return;
        const std::vector<IDataLink *> copy = links;
        for (IDataLink *l : copy)
            f(*l);
    }
    bool LinksLive() const { return !links.empty() && disableCount == 0; }
    bool TakeChange();          // whether the built view has still to follow this change
    void ResetLinksIfUnbuilt(); // no view to follow the change: the links start over
    void OnRowInserted(uint32_t row);
    void OnRowModified(uint32_t row, const std::vector<TValue> &before);
    void OnRowDeleting(uint32_t row);  // the row is dead, its values still readable
    void OnRowsDeleting();             // many rows are dead, their values still readable
    void OnRowsAppended();             // rows were added in bulk
    void BeforeReset();
    void AfterReset(bool reloaded);
    void Resync();
    void FlushEvents();

    // ---- changes of the store ----------------------------------------------
    // Runs a change of rows, then lets every cursor tell its links. Refused
    // while another change is being announced: a link that answers an
    // announcement by changing rows would overtake the cursors not yet told.
    template <typename F> void Mutate(F f)
    {
        const std::shared_ptr<TRowStore> keep = store; // a handler may re-clone this cursor
        TRowStore &s = *keep;
        if (s.depth > 0)
            throw EDatabaseError(LibraryText("Rows cannot be changed while a change is being announced"));
        const uint64_t seq = s.changeSeq;
        ++s.depth;
        try {
            f(s);
        } catch (...) {
            --s.depth;
            if (s.changeSeq != seq) {
                // A handler failed halfway through the announcements: bring
                // every cursor back in line with the rows.
                for (TCursor *c : std::vector<TCursor *>(s.cursors))
                    c->Resync();
            }
            // What was committed stays committed, and is reported.
            if (s.depth == 0)
                s.DeliverReports();
            throw;
        }
        if (--s.depth == 0) {
            s.DeliverReports();
            const std::vector<TCursor *> copy = s.cursors;
            for (TCursor *c : copy)
                if (std::find(s.cursors.begin(), s.cursors.end(), c) != s.cursors.end())
                    c->FlushEvents();
        }
    }
    // Replaces the rows of the store for every cursor (empty, load).
    template <typename F> void ResetStore(F change, bool reloaded)
    {
        Mutate([&](TRowStore &s) {
            const std::vector<TCursor *> cursors = s.cursors;
            for (TCursor *c : cursors)
                c->BeforeReset();
            const size_t reported = s.toReport.size();
            s.Replacing();
            try {
                change(s);
            } catch (...) {
                s.toReport.resize(reported); // nothing was replaced
                throw;
            }
            ++s.generation;
            ++s.changeSeq;
            s.log.clear();
            for (TCursor *c : cursors)
                c->AfterReset(reloaded);
        });
    }
    // Appends `count` rows in batches (RecordTable.cpp).
    template <class AppendSome> void AppendMany(size_t count, size_t bytesHint, AppendSome appendSome);

    // ---- attach / detach (RecordTable.cpp) ---------------------------------
    void Detach();
    void Attach(std::shared_ptr<TRowStore> s);
    void OpenFresh(std::shared_ptr<TRowStore> s);
    void LoadRows(TRowData &fresh, bool keepFixed, bool *moved = nullptr);
};

} // namespace kf
