// The cursor's state: its current row and position in the view, navigation,
// bookmarks, reading rows by view position, and leaving edit state.

#include "table/RecordCursor.h"

#include "common/LibraryErrors.h"

#include <algorithm>

namespace kf {

std::vector<std::string> SplitFieldList(const std::string &list)
{
    auto trim = [](const std::string &s) {
        size_t b = 0, e = s.size();
        while (b < e && (s[b] == ' ' || s[b] == '\t'))
            ++b;
        while (e > b && (s[e - 1] == ' ' || s[e - 1] == '\t'))
            --e;
        return s.substr(b, e - b);
    };
    std::vector<std::string> out;
    size_t start = 0;
    for (;;) {
        const size_t semi = list.find(';', start);
        const std::string part = trim(list.substr(start, semi == std::string::npos ? std::string::npos : semi - start));
        if (!part.empty())
            out.push_back(part);
        if (semi == std::string::npos)
            break;
        start = semi + 1;
    }
    return out;
}

// ---------------------------------------------------------------------------
// Position

void TCursor::SetCurrent(uint32_t row)
{
    if (row != cur) {
        cur = row;
        pendingScroll = true;
        cacheVersion = 0;
    }
    bof = eof = (row == kNoRow);
}

void TCursor::SetCurrentAt(size_t idx)
{
    SetCurrent(view[idx]);
    cacheIdx = static_cast<int>(idx);
    cacheVersion = view.version;
}

void TCursor::SetCurrentLast()
{
    if (view.empty())
        SetCurrent(kNoRow);
    else
        SetCurrentAt(view.size() - 1);
    eof = true; // the walk is over
}

int TCursor::CurIndex()
{
    if (cur == kNoRow)
        return -1;
    EnsureView();
    if (cacheVersion == view.version)
        return cacheIdx;
    cacheIdx = static_cast<int>(view.IndexOf(Data(), cur));
    cacheVersion = view.version;
    return cacheIdx;
}

// The current row left the view: take the row now at its place, else the one
// before, else none.
void TCursor::Relocate(const Probe &where)
{
    EnsureView();
    const size_t pos = view.LowerBound(Data(), where);
    if (pos < view.size())
        SetCurrentAt(pos);
    else
        SetCurrentLast();
}

void TCursor::GoFirst()
{
    EnsureView();
    if (view.empty())
        SetCurrent(kNoRow);
    else
        SetCurrentAt(0);
    bof = true;
}

void TCursor::DropEdit()
{
    state = TDataSetState::Browse;
    buffer.clear();
    editRow = kNoRow;
    modified = false;
    pendingState = true;
}

// ---------------------------------------------------------------------------
// TRecordTable: navigation

void TRecordTable::First()
{
    d->CheckActive();
    CheckBrowseMode();
    d->GoFirst();
    d->FlushEvents();
}

void TRecordTable::Last()
{
    d->CheckActive();
    CheckBrowseMode();
    d->EnsureView();
    d->SetCurrentLast();
    d->FlushEvents();
}

void TRecordTable::Next() { MoveBy(1); }

void TRecordTable::Prior() { MoveBy(-1); }

int TRecordTable::MoveBy(int distance)
{
    d->CheckActive();
    CheckBrowseMode();
    d->EnsureView();
    if (d->view.empty()) {
        d->SetCurrent(kNoRow);
        return 0;
    }
    const int n = static_cast<int>(d->view.size());
    int idx = d->CurIndex();
    if (idx < 0)
        idx = 0;
    int64_t target = int64_t(idx) + distance;
    bool hitEnd = false, hitStart = false;
    if (target >= n) {
        target = n - 1;
        hitEnd = true;
    } else if (target < 0) {
        target = 0;
        hitStart = true;
    }
    d->SetCurrentAt(static_cast<size_t>(target));
    d->eof = hitEnd;
    d->bof = hitStart;
    d->FlushEvents();
    return static_cast<int>(target - idx);
}

bool TRecordTable::Eof() const { return !d->Active() || d->cur == kNoRow || d->eof; }

bool TRecordTable::Bof() const { return !d->Active() || d->cur == kNoRow || d->bof; }

bool TRecordTable::IsEmpty() const { return RecordCount() == 0; }

int TRecordTable::RecordCount() const
{
    if (!d->Active())
        return 0;
    if (!d->FilterActive() && !d->view.built)
        return static_cast<int>(d->Data().liveCount);
    // A built view answers even while a change is being announced, so the
    // count moves in step with what the links were told.
    d->EnsureView();
    return static_cast<int>(d->view.size());
}

int TRecordTable::RecNo() const
{
    if (!d->Active())
        return 0;
    if (d->state == TDataSetState::Insert)
        return -1;
    return d->CurIndex() + 1;
}

void TRecordTable::SetRecNo(int recNo)
{
    d->CheckActive();
    CheckBrowseMode();
    d->EnsureView();
    if (d->view.empty())
        return;
    const int n = static_cast<int>(d->view.size());
    recNo = std::max(1, std::min(recNo, n));
    d->SetCurrentAt(static_cast<size_t>(recNo - 1));
    d->FlushEvents();
}

// ---------------------------------------------------------------------------
// TRecordTable: bookmarks

TBookmark TRecordTable::GetBookmark() const
{
    TBookmark b;
    if (d->Active() && d->state != TDataSetState::Insert && d->cur != kNoRow) {
        b.Generation = d->store->generation;
        b.Row = d->cur;
    }
    return b;
}

bool TRecordTable::BookmarkValid(const TBookmark &bookmark) const
{
    return d->Active() && !bookmark.IsNull() && bookmark.Generation == d->store->generation &&
           bookmark.Row < d->Data().SlotCount() && d->Passes(bookmark.Row);
}

void TRecordTable::GotoBookmark(const TBookmark &bookmark)
{
    d->CheckActive();
    if (!BookmarkValid(bookmark))
        throw EDatabaseError(LibraryText("Record not found"));
    CheckBrowseMode();
    if (!BookmarkValid(bookmark)) // the post may have filtered it out
        throw EDatabaseError(LibraryText("Record not found"));
    d->SetCurrent(bookmark.Row);
    d->FlushEvents();
}

// ---------------------------------------------------------------------------
// TRecordTable: rows by view position

TBookmark TRecordTable::RowAt(int viewIndex) const
{
    if (!d->Active())
        RaiseListIndexOutOfBounds(viewIndex);
    d->EnsureView();
    if (viewIndex < 0 || size_t(viewIndex) >= d->view.size())
        RaiseListIndexOutOfBounds(viewIndex);
    return TBookmark{d->store->generation, d->view[size_t(viewIndex)]};
}

TValue TRecordTable::FieldValueAt(int viewIndex, int field) const
{
    const TBookmark b = RowAt(viewIndex);
    if (field < 0 || field >= FieldCount())
        throw EDatabaseError(LibraryText("Field index out of range"));
    return d->Data().Value(b.Row, field);
}

std::string_view TRecordTable::FieldBytesAt(int viewIndex, int field) const
{
    const TBookmark b = RowAt(viewIndex);
    if (field < 0 || field >= FieldCount())
        throw EDatabaseError(LibraryText("Field index out of range"));
    const TRowData &data = d->Data();
    if (!data.IsVarying(field))
        throw EDatabaseError(LibraryText("Field '%s' is not a text field", data.defs[size_t(field)].Name));
    return data.IsNull(b.Row, field) ? std::string_view() : data.Bytes(b.Row, field);
}

int TRecordTable::ViewIndexOf(const TBookmark &bookmark) const
{
    if (!BookmarkValid(bookmark))
        return -1;
    d->EnsureView();
    return static_cast<int>(d->view.IndexOf(d->Data(), bookmark.Row));
}

TValue TRecordTable::BookmarkValue(const TBookmark &bookmark, int field) const
{
    if (!d->Active() || !d->LiveBookmark(bookmark))
        throw EDatabaseError(LibraryText("Record not found"));
    if (field < 0 || field >= FieldCount())
        throw EDatabaseError(LibraryText("Field index out of range"));
    return d->Data().Value(bookmark.Row, field);
}

} // namespace kf
