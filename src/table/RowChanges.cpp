// The store's row changes, and the undoing of logged changes.
//
// A change is committed (logged) as soon as the rows have changed, before the
// cursors are told: a link that fails while hearing of it does not undo the
// change, so it must stay in the log for CancelUpdates.

#include "table/RecordCursor.h"
#include "table/RowStore.h"

#include "common/AsciiText.h"
#include "common/Errors.h"
#include "common/Translation.h"

#include <utility>

namespace kf {

int TRowStore::FindField(const std::string &name) const
{
    const std::string l = LowerAscii(name);
    for (size_t i = 0; i < data.defs.size(); ++i)
        if (LowerAscii(data.defs[i].Name) == l)
            return static_cast<int>(i);
    return -1;
}

TRowStore::IndexDef *TRowStore::FindIndex(const std::string &name)
{
    const std::string l = LowerAscii(name);
    for (IndexDef &def : indexes)
        if (LowerAscii(def.name) == l)
            return &def;
    return nullptr;
}

void TRowStore::Committed(Change kind, uint32_t row, std::vector<TValue> before)
{
    if (Observed()) {
        TRowChange change;
        change.kind = kind == Change::Insert ? TRowChange::Kind::Insert
                    : kind == Change::Modify ? TRowChange::Kind::Modify
                                             : TRowChange::Kind::Delete;
        change.row = row;
        if (kind != Change::Insert)
            change.before = before;
        if (kind != Change::Delete)
            change.after = data.RowValues(row);
        toReport.push_back(std::move(change));
    }
    if (logChanges)
        log.push_back({kind, row, std::move(before)});
}

bool TRowStore::Observed() const
{
    if (!reporting)
        return false;
    for (const TCursor *c : cursors)
        if (c->changeObserver)
            return true;
    return false;
}

void TRowStore::Replacing()
{
    if (!Observed())
        return;
    TRowChange change;
    change.kind = TRowChange::Kind::Replace;
    change.rows = std::make_shared<TRowData>(data);
    toReport.push_back(std::move(change));
}

void TRowStore::DeliverReports()
{
    if (toReport.empty())
        return;
    std::vector<TRowChange> changes;
    changes.swap(toReport);
    for (TCursor *c : std::vector<TCursor *>(cursors))
        if (c->changeObserver)
            c->changeObserver->RowsChanged(*c->self, changes);
}

uint32_t TRowStore::InsertRow(const std::vector<TValue> &values)
{
    const uint32_t row = data.AppendRow(values);
    ++changeSeq;
    Committed(Change::Insert, row, {});
    for (TCursor *c : std::vector<TCursor *>(cursors))
        c->OnRowInserted(row);
    return row;
}

void TRowStore::ModifyRow(uint32_t row, const std::vector<TValue> &values, bool record)
{
    std::vector<TValue> before = data.RowValues(row);
    data.SetRow(row, values);
    ++changeSeq;
    if (record)
        Committed(Change::Modify, row, before);
    for (TCursor *c : std::vector<TCursor *>(cursors))
        c->OnRowModified(row, before);
}

void TRowStore::DeleteRow(uint32_t row, bool record)
{
    std::vector<TValue> before;
    if (record && KeepsChanges())
        before = data.RowValues(row);
    data.KillRow(row);
    ++changeSeq;
    if (record)
        Committed(Change::Delete, row, std::move(before));
    for (TCursor *c : std::vector<TCursor *>(cursors))
        c->OnRowDeleting(row);
    data.FreeRow(row);
}

void TRowStore::ReviveRow(uint32_t row, const std::vector<TValue> &values, bool record)
{
    data.ReviveRow(row, values);
    ++changeSeq;
    if (record)
        Committed(Change::Insert, row, {});
    for (TCursor *c : std::vector<TCursor *>(cursors))
        c->OnRowInserted(row);
}

void TRowStore::ApplyReported(const TRowChange &change, bool revert)
{
    using Kind = TRowChange::Kind;
    const uint32_t row = change.row;
    // Whether the row lives once the change is taken back or made again.
    const bool lives = change.kind == Kind::Modify || (change.kind == Kind::Insert) != revert;
    const std::vector<TValue> &values = revert ? change.before : change.after;
    if (row >= data.SlotCount() || (lives && values.size() != data.defs.size()))
        throw EDatabaseError(LibraryText("Record not found"));
    // A reverted change that is still the newest in the log leaves it.
    bool record = true;
    if (revert && logChanges && !log.empty() && log.back().row == row) {
        const Change newest = log.back().kind;
        if ((change.kind == Kind::Insert && newest == Change::Insert)
            || (change.kind == Kind::Delete && newest == Change::Delete)
            || (change.kind == Kind::Modify && newest == Change::Modify && log.back().before == change.before)) {
            log.pop_back();
            record = false;
        }
    }
    if (lives && data.alive[row])
        ModifyRow(row, values, record);
    else if (lives)
        ReviveRow(row, values, record);
    else if (data.alive[row])
        DeleteRow(row, record);
}

void TRowStore::UndoLogged()
{
    while (!log.empty()) {
        // The entry goes before the rows change: once they have, it is undone
        // even if a cursor's link fails while the change is told.
        const LogEntry entry = std::move(log.back());
        log.pop_back();
        switch (entry.kind) {
        case Change::Insert:
            if (data.alive[entry.row])
                DeleteRow(entry.row, false);
            break;
        case Change::Modify:
            if (data.alive[entry.row])
                ModifyRow(entry.row, entry.before, false);
            break;
        case Change::Delete:
            if (!data.alive[entry.row])
                ReviveRow(entry.row, entry.before);
            break;
        }
    }
}

} // namespace kf
