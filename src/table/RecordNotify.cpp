// How a cursor follows the store's changes (its view, its current row, its
// edit state) and what it tells its data links.
//
// While a change runs, a cursor tells its links of every position that moves
// (rows inserted, removed, changed) at once; the state, the current values and
// the current row are only noted, and told by FlushEvents when the change is
// over.

#include "table/RecordCursor.h"

#include <algorithm>

namespace kf {

bool TCursor::TakeChange()
{
    // The view follows each change once; a view built during this change
    // already holds it.
    if (!view.built || view.seq >= store->changeSeq)
        return false;
    view.seq = store->changeSeq;
    return true;
}

void TCursor::ResetLinksIfUnbuilt()
{
    if (!view.built && LinksLive()) {
        Tell([&](IDataLink &l) { l.DataSetAboutToReset(*self); });
        Tell([&](IDataLink &l) { l.DataSetReset(*self); });
        pendingScroll = true;
    }
}

void TCursor::OnRowInserted(uint32_t row)
{
    if (TakeChange()) {
        if (Passes(row))
            ViewInsert(row);
    } else {
        ResetLinksIfUnbuilt();
    }
    if (cur == kNoRow && state != TDataSetState::Inactive && Passes(row))
        SetCurrent(row); // the view was empty: the new row is its only one
}

void TCursor::OnRowModified(uint32_t row, const std::vector<TValue> &before)
{
    const bool isIn = Passes(row);
    const Probe old{row, &before};
    if (TakeChange()) {
        const TRowData &d = Data();
        const size_t oldPos = view.LowerBound(d, old);
        const bool wasIn = oldPos < view.size() && view[oldPos] == row;
        if (wasIn && isIn) {
            const bool stays = (oldPos == 0 || view.RowLess(d, view[oldPos - 1], row)) &&
                               (oldPos + 1 == view.size() || view.RowLess(d, row, view[oldPos + 1]));
            if (stays) {
                if (!view.order.empty())
                    view.keys[oldPos] = view.RowKeyPrefix(d, row);
                const int p = static_cast<int>(oldPos);
                Tell([&](IDataLink &l) { l.RowChanged(*self, p); });
            } else {
                ViewEraseAt(oldPos);
                ViewInsert(row);
                if (cur == row)
                    pendingMoved = true; // same row, another position
            }
        } else if (wasIn) {
            ViewEraseAt(oldPos);
        } else if (isIn) {
            ViewInsert(row);
        }
    } else {
        ResetLinksIfUnbuilt();
    }
    if (cur == row) {
        if (isIn) {
            pendingValues = true;
            cacheVersion = 0;
        } else {
            Relocate(old);
        }
    } else if (cur == kNoRow && state != TDataSetState::Inactive && isIn) {
        SetCurrent(row);
    }
}

void TCursor::OnRowDeleting(uint32_t row)
{
    const Probe p{row, nullptr};
    if (TakeChange()) {
        const long pos = view.IndexOf(Data(), row);
        if (pos >= 0)
            ViewEraseAt(size_t(pos));
    } else {
        ResetLinksIfUnbuilt();
    }
    if (cur == row)
        Relocate(p);
    if (state == TDataSetState::Edit && editRow == row)
        DropEdit();
    if (rowBeforeInsert == row)
        rowBeforeInsert = kNoRow;
}

// Many rows were marked dead (values still readable): drop them from a built
// view in one pass and move the current row as OnRowDeleting does.
void TCursor::OnRowsDeleting()
{
    const TRowData &d = Data();
    Tell([&](IDataLink &l) { l.DataSetAboutToReset(*self); });
    const bool curGone = cur != kNoRow && !d.alive[cur];
    if (view.built) {
        const long curIdx = curGone ? view.IndexOf(d, cur) : -1;
        const size_t curNew = view.Compact(d, curIdx);
        view.seq = store->changeSeq;
        cacheVersion = 0;
        if (curGone) {
            if (curIdx < 0)
                Relocate(Probe{cur, nullptr});
            else if (curNew < view.size())
                SetCurrentAt(curNew);
            else
                SetCurrentLast();
        }
    } else if (curGone) {
        Relocate(Probe{cur, nullptr}); // builds the view without the dead rows
    }
    if (state == TDataSetState::Edit && editRow != kNoRow && !d.alive[editRow])
        DropEdit();
    if (rowBeforeInsert != kNoRow && !d.alive[rowBeforeInsert])
        rowBeforeInsert = kNoRow;
    pendingScroll = true; // positions moved
    Tell([&](IDataLink &l) { l.DataSetReset(*self); });
}

// Rows were appended in bulk (the links were told DataSetAboutToReset
// before): the view is built anew when next needed.
void TCursor::OnRowsAppended()
{
    view.Drop();
    cacheVersion = 0;
    if (cur == kNoRow && state != TDataSetState::Inactive)
        GoFirst();
    pendingScroll = true; // positions moved
    Tell([&](IDataLink &l) { l.DataSetReset(*self); });
}

void TCursor::BeforeReset()
{
    Tell([&](IDataLink &l) { l.DataSetAboutToReset(*self); });
    if (Editing())
        DropEdit();
    rowBeforeInsert = kNoRow;
    view.Drop();
    cur = kNoRow;
}

void TCursor::AfterReset(bool reloaded)
{
    if (reloaded) {
        // The columns may differ: keep the order and filter only where they
        // still make sense.
        try {
            view.order = ResolveOrder();
        } catch (const Exception &) {
            indexFieldNames.clear();
            indexName.clear();
            view.order.clear();
        }
        if (!filterText.empty()) {
            try {
                filter = TFilterExpression::Compile(filterText, Data().defs);
            } catch (const Exception &) {
                filterText.clear();
                filter.reset();
                filtered = false;
            }
        }
    }
    pendingScroll = true;
    GoFirst();
    Tell([&](IDataLink &l) { l.DataSetReset(*self); });
}

void TCursor::Resync()
{
    Tell([&](IDataLink &l) { l.DataSetAboutToReset(*self); });
    view.Drop();
    cacheVersion = 0;
    if (cur == kNoRow || !Passes(cur))
        GoFirst();
    pendingScroll = true;
    Tell([&](IDataLink &l) { l.DataSetReset(*self); });
}

void TCursor::FlushEvents()
{
    if (pendingState) {
        pendingState = false;
        Tell([&](IDataLink &l) { l.StateChanged(*self); });
    }
    if (pendingValues) {
        pendingValues = false;
        Tell([&](IDataLink &l) { l.CurrentValuesChanged(*self, -1); });
    }
    if (pendingMoved && !pendingScroll) {
        pendingMoved = false;
        Tell([&](IDataLink &l) { l.CurrentRowChanged(*self); });
    }
    pendingMoved = false;
    if (pendingScroll) {
        pendingScroll = false;
        Tell([&](IDataLink &l) { l.CurrentRowChanged(*self); });
        if (self->AfterScroll)
            self->AfterScroll(*self);
    }
}

// ---------------------------------------------------------------------------
// TRecordTable: links

void TRecordTable::AddDataLink(IDataLink *link)
{
    if (link && std::find(d->links.begin(), d->links.end(), link) == d->links.end())
        d->links.push_back(link);
    if (d->Active())
        d->EnsureView(); // from now on the view is kept and changes are told row by row
}

void TRecordTable::RemoveDataLink(IDataLink *link)
{
    d->links.erase(std::remove(d->links.begin(), d->links.end(), link), d->links.end());
}

void TRecordTable::DisableControls()
{
    if (d->disableCount == 0)
        d->Tell([&](IDataLink &l) { l.DataSetAboutToReset(*this); });
    ++d->disableCount;
}

void TRecordTable::EnableControls()
{
    if (d->disableCount == 0)
        return;
    if (--d->disableCount == 0) {
        d->Tell([&](IDataLink &l) { l.DataSetReset(*this); });
        d->Tell([&](IDataLink &l) { l.StateChanged(*this); });
        d->Tell([&](IDataLink &l) { l.CurrentRowChanged(*this); });
    }
}

bool TRecordTable::ControlsDisabled() const { return d->disableCount > 0; }

} // namespace kf
