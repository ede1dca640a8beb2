#include "model/RecordTable.h"

#include "common/AsciiText.h"
#include "common/Errors.h"
#include "common/ReplacingFile.h"
#include "common/LibraryErrors.h"
#include "common/Translation.h"
#include "common/KeySort.h"
#include "model/DataPacket.h"
#include "model/FilterExpression.h"
#include "model/RowStore.h"

#include <algorithm>
#include <cerrno>
#include <exception>
#include <fstream>
#include <istream>
#include <iterator>
#include <ostream>
#include <sstream>

namespace kf {

namespace {

std::string Trim(const std::string &s)
{
    size_t b = 0, e = s.size();
    while (b < e && (s[b] == ' ' || s[b] == '\t'))
        ++b;
    while (e > b && (s[e - 1] == ' ' || s[e - 1] == '\t'))
        --e;
    return s.substr(b, e - b);
}

std::vector<std::string> SplitFieldList(const std::string &list)
{
    std::vector<std::string> out;
    size_t start = 0;
    for (;;) {
        const size_t semi = list.find(';', start);
        const std::string part = Trim(list.substr(start, semi == std::string::npos ? std::string::npos : semi - start));
        if (!part.empty())
            out.push_back(part);
        if (semi == std::string::npos)
            break;
        start = semi + 1;
    }
    return out;
}

[[noreturn]] void ClosedError()
{
    throw EDatabaseError(LibraryText("Cannot perform this operation on a closed dataset"));
}

} // namespace

// ---------------------------------------------------------------------------
// The shared store

class TRowStore {
public:
    TRowData data;
    uint64_t generation = 1; // bookmarks carry it; empty and load renew it
    uint64_t changeSeq = 0;  // one step per row change
    std::vector<TRecordTable::Impl *> cursors;

    struct IndexDef {
        std::string name, fields, descFields;
    };
    std::vector<IndexDef> indexes;

    // Change log: every logged change, oldest first, with the row's values
    // before it (modify, delete).
    bool logChanges = true;
    enum class Change : uint8_t { Insert, Modify, Delete };
    struct LogEntry {
        Change kind;
        uint32_t row;
        std::vector<TValue> before;
    };
    std::vector<LogEntry> log;

    int depth = 0; // nesting of mutations; events flush when it returns to 0

    std::vector<int> fieldIndex; // unused slot kept for layout stability
    int FindField(const std::string &name) const
    {
        const std::string l = LowerAscii(name);
        for (size_t i = 0; i < data.defs.size(); ++i)
            if (LowerAscii(data.defs[i].Name) == l)
                return static_cast<int>(i);
        return -1;
    }
};

// ---------------------------------------------------------------------------
// The cursor

struct KeyPart {
    int col;
    bool desc;
};

struct Probe {
    uint32_t row;
    const std::vector<TValue> *values; // replaces the stored values when set
};

struct TRecordTable::Impl {
    TRecordTable *self;
    std::shared_ptr<TRowStore> store;

    std::string indexFieldNames;
    std::string indexName;
    std::vector<KeyPart> order;

    std::string filterText;
    bool filtered = false;
    std::unique_ptr<TFilterExpression> filter; // compiled filterText while filtered

    bool viewBuilt = false;
    uint64_t viewSeq = 0;
    uint64_t viewVersion = 1;
    BigVector<uint32_t> view;
    // With an order: a 64-bit prefix of each view row's first key, so that
    // searches mostly compare these instead of reaching into the rows.
    BigVector<uint64_t> viewKey;

    uint32_t cur = kNoRow;
    bool bof = true, eof = true;
    int cacheIdx = -1;
    uint64_t cacheVersion = 0;

    TDataSetState state = TDataSetState::Inactive;
    std::vector<TValue> buffer;
    uint32_t editRow = kNoRow;
    uint32_t rowBeforeInsert = kNoRow;
    bool modified = false;
    bool appending = false;    // the insert was started by Append()
    bool skipGather = false;   // CheckBrowseMode already asked the links

    std::vector<TFieldDef> fixedFields; // kept by every load

    int disableCount = 0;
    std::vector<IDataLink *> links;
    bool pendingScroll = false, pendingState = false, pendingValues = false, pendingMoved = false;

    explicit Impl(TRecordTable *owner) : self(owner) {}

    // ---- basics -----------------------------------------------------------
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
    bool LinksLive() const { return !links.empty() && disableCount == 0; }

    template <typename F> void Tell(F f)
    {
        if (!LinksLive())
            return;
        const std::vector<IDataLink *> copy = links;
        for (IDataLink *l : copy)
            f(*l);
    }

    int FieldIndexOrThrow(const std::string &name) const
    {
        const int i = store ? store->FindField(name) : -1;
        if (i < 0)
            throw EDatabaseError(LibraryText("Field '%s' not found", name));
        return i;
    }

    // ---- comparisons ------------------------------------------------------
    TCell ProbeCell(const Probe &p, int col) const
    {
        return p.values ? CellOf((*p.values)[col]) : Data().Cell(p.row, col);
    }
    // Sign of (row r - probe) in this cursor's order (ties by slot).
    int CompareToProbe(uint32_t r, const Probe &p) const
    {
        if (r == p.row) // a row equals itself, whichever of its values the probe holds
            return 0;
        const TRowData &rowData = Data();
        for (const KeyPart &k : order) {
            int c = CompareCells(rowData.Cell(r, k.col), ProbeCell(p, k.col), rowData.defs[k.col].DataType);
            if (c)
                return k.desc ? -c : c;
        }
        return r < p.row ? -1 : (r > p.row ? 1 : 0);
    }
    bool RowLess(uint32_t a, uint32_t b) const { return CompareToProbe(a, Probe{b, nullptr}) < 0; }
    size_t LowerBound(const Probe &p) const
    {
        if (order.empty()) // stored order: the view holds ascending slots
            return std::lower_bound(view.begin(), view.end(), p.row) - view.begin();
        const uint64_t pp = KeyPrefix(ProbeCell(p, order[0].col));
        size_t lo = 0, hi = view.size();
        while (lo < hi) {
            const size_t mid = (lo + hi) / 2;
            const uint64_t k = viewKey[mid];
            if (k < pp || (k == pp && CompareToProbe(view[mid], p) < 0))
                lo = mid + 1;
            else
                hi = mid;
        }
        return lo;
    }
    // Sign of (row r - key) on the first n parts of the order.
    int CompareKey(uint32_t r, const std::vector<TCell> &key, size_t n) const
    {
        const TRowData &rowData = Data();
        for (size_t i = 0; i < n; ++i) {
            const KeyPart &k = order[i];
            int c = CompareCells(rowData.Cell(r, k.col), key[i], rowData.defs[k.col].DataType);
            if (c)
                return k.desc ? -c : c;
        }
        return 0;
    }
    size_t LowerBoundKey(const std::vector<TCell> &key, size_t n) const
    {
        const uint64_t kp = KeyPrefix(key[0]);
        size_t lo = 0, hi = view.size();
        while (lo < hi) {
            const size_t mid = (lo + hi) / 2;
            const uint64_t k = viewKey[mid];
            if (k < kp || (k == kp && CompareKey(view[mid], key, n) < 0))
                lo = mid + 1;
            else
                hi = mid;
        }
        return lo;
    }

    // Appends `count` rows in batches: appendSome(data, first, n) stores rows
    // first .. first + n - 1 at the end of the store; a row it refuses ends
    // the run (the rows before it stay). Links hear one reset, views are
    // rebuilt when next needed.
    template <class AppendSome> void AppendMany(size_t count, size_t bytesHint, AppendSome appendSome)
    {
        CheckActive();
        self->CheckBrowseMode();
        if (count == 0)
            return;
        constexpr size_t kBatch = 256;
        std::exception_ptr error;
        Mutate([&](TRowStore &s) {
            const std::vector<Impl *> cursors = s.cursors;
            for (Impl *c : cursors)
                c->Tell([&](IDataLink &l) { l.DataSetAboutToReset(*c->self); });
            const uint32_t before = s.data.SlotCount();
            try {
                s.data.ReserveMore(count, bytesHint);
                for (size_t first = 0; first < count; first += kBatch)
                    appendSome(s.data, first, std::min(kBatch, count - first));
            } catch (...) {
                error = std::current_exception();
            }
            if (s.logChanges)
                for (uint32_t r = before; r < s.data.SlotCount(); ++r)
                    s.log.push_back({TRowStore::Change::Insert, r, {}});
            ++s.changeSeq;
            for (Impl *c : cursors) {
                c->DropView();
                c->cacheVersion = 0;
                if (c->cur == kNoRow && c->state != TDataSetState::Inactive)
                    c->GoFirst();
                c->pendingScroll = true; // positions moved
                c->Tell([&](IDataLink &l) { l.DataSetReset(*c->self); });
            }
        });
        if (error)
            std::rethrow_exception(error);
    }

    // ---- the view ---------------------------------------------------------
    static uint64_t Prefix(const TCell &c, TFieldType type)
    {
        if (c.null)
            return 0;
        if (type == TFieldType::Integer || type == TFieldType::Boolean)
            return uint64_t(uint32_t(c.i) ^ 0x80000000u) + 1;
        uint64_t v = 0;
        for (size_t i = 0; i < 7; ++i)
            v = (v << 8) | (i < c.s.size() ? uint8_t(c.s[i]) : 0);
        return (v << 8) | 1;
    }
    // The prefix of a first-key cell, inverted for a descending key.
    uint64_t KeyPrefix(const TCell &c) const
    {
        const uint64_t p = Prefix(c, Data().defs[order[0].col].DataType);
        return order[0].desc ? ~p : p;
    }
    uint64_t RowKeyPrefix(uint32_t row) const { return KeyPrefix(Data().Cell(row, order[0].col)); }

    // A 64-bit sort key of one key part, the same as its search prefix:
    // integers exactly (null below every value), texts by their first 7 bytes
    // big-endian, zero-padded, with null below the empty text. Equal keys of a
    // text part still need the full comparison; a descending part is inverted.
    static uint64_t SortKey(const TRowData &d, uint32_t row, const KeyPart &k)
    {
        const uint64_t v = Prefix(d.Cell(row, k.col), d.defs[k.col].DataType);
        return k.desc ? ~v : v;
    }

    template <size_t P> struct SortRec {
        uint64_t key[P];
        uint32_t row;
    };

    // Sorts the view rows in this cursor's order (ties by slot), the same
    // order RowLess gives, on per-row keys computed once, and fills viewKey
    // from the first key.
    template <size_t P> void SortViewKeyed()
    {
        const TRowData &rowData = Data();
        bool varying[P];
        for (size_t j = 0; j < P; ++j)
            varying[j] = rowData.IsVarying(order[j].col);
        BigVector<SortRec<P>> recs(view.size());
        for (size_t i = 0; i < view.size(); ++i) {
            recs[i].row = view[i];
            for (size_t j = 0; j < P; ++j)
                recs[i].key[j] = SortKey(rowData, view[i], order[j]);
        }
        // An integer first key of narrow range (a count, a length) leaves
        // most of the leading key's bits to the start of the second key, so
        // that the buckets split rows of one count or length too.
        uint64_t lo0 = 0;
        int width0 = 64;
        if (P >= 2 && !varying[0] && !recs.empty()) {
            uint64_t hi0 = recs[0].key[0];
            lo0 = hi0;
            for (const SortRec<P> &r : recs) {
                lo0 = std::min(lo0, r.key[0]);
                hi0 = std::max(hi0, r.key[0]);
            }
            width0 = hi0 == lo0 ? 0 : 64 - __builtin_clzll(hi0 - lo0);
        }
        auto lead = [lo0, width0](const SortRec<P> &r) -> uint64_t {
            if (width0 > 32 || P < 2)
                return r.key[0];
            if (width0 == 0)
                return r.key[P < 2 ? 0 : 1];
            return ((r.key[0] - lo0) << (64 - width0)) | (r.key[P < 2 ? 0 : 1] >> width0);
        };
        const std::vector<KeyPart> &parts = order;
        SortByLeadingKey(
            recs.begin(), recs.end(), lead,
            [&rowData, &parts, &varying](const SortRec<P> &a, const SortRec<P> &b) {
                for (size_t j = 0; j < P; ++j) {
                    if (a.key[j] != b.key[j])
                        return a.key[j] < b.key[j];
                    if (varying[j]) {
                        const KeyPart &k = parts[j];
                        const int c =
                            CompareCells(rowData.Cell(a.row, k.col), rowData.Cell(b.row, k.col), TFieldType::String);
                        if (c)
                            return k.desc ? c > 0 : c < 0;
                    }
                }
                return a.row < b.row;
            });
        viewKey.resize(view.size());
        for (size_t i = 0; i < view.size(); ++i) {
            view[i] = recs[i].row;
            viewKey[i] = recs[i].key[0];
        }
    }

    void SortView()
    {
        switch (order.size()) {
        case 1: SortViewKeyed<1>(); return;
        case 2: SortViewKeyed<2>(); return;
        case 3: SortViewKeyed<3>(); return;
        case 4: SortViewKeyed<4>(); return;
        default:
            break;
        }
        // Longer orders: a prefix of the first key, the full comparison on ties.
        const KeyPart first = order[0];
        BigVector<std::pair<uint64_t, uint32_t>> keyed(view.size());
        for (size_t i = 0; i < view.size(); ++i)
            keyed[i] = {SortKey(Data(), view[i], first), view[i]};
        SortByLeadingKey(
            keyed.begin(), keyed.end(), [](const std::pair<uint64_t, uint32_t> &r) { return r.first; },
            [this](const auto &a, const auto &b) {
                if (a.first != b.first)
                    return a.first < b.first;
                return RowLess(a.second, b.second);
            });
        viewKey.resize(view.size());
        for (size_t i = 0; i < view.size(); ++i) {
            view[i] = keyed[i].second;
            viewKey[i] = keyed[i].first;
        }
    }

    void BuildView()
    {
        const TRowData &rowData = Data();
        view.clear();
        const uint32_t slotCount = rowData.SlotCount();
        view.reserve(FilterActive() ? 0 : rowData.liveCount);
        for (uint32_t r = 0; r < slotCount; ++r)
            if (rowData.alive[r] && (!FilterActive() || filter->Matches(rowData, r)))
                view.push_back(r);
        if (!order.empty() && view.size() > 1) {
            // Rows often come already in order (appended so, or sorted
            // before): one pass over the prefixes tells, and then nothing
            // needs sorting.
            viewKey.resize(view.size());
            bool inOrder = true;
            for (size_t i = 0; i < view.size(); ++i) {
                viewKey[i] = RowKeyPrefix(view[i]);
                if (inOrder && i > 0 &&
                    (viewKey[i] < viewKey[i - 1] || (viewKey[i] == viewKey[i - 1] && !RowLess(view[i - 1], view[i]))))
                    inOrder = false;
            }
            if (!inOrder)
                SortView();
        } else if (!order.empty()) {
            viewKey.clear();
            for (uint32_t r : view)
                viewKey.push_back(RowKeyPrefix(r));
        } else {
            viewKey.clear();
        }
        viewBuilt = true;
        viewSeq = store->changeSeq;
        ++viewVersion;
    }
    void EnsureView()
    {
        if (!viewBuilt)
            BuildView();
    }
    void DropView()
    {
        viewBuilt = false;
        view.clear();
        view.shrink_to_fit();
        viewKey.clear();
        viewKey.shrink_to_fit();
        ++viewVersion;
    }
    void ViewInsertAt(size_t pos, uint32_t row)
    {
        const int p = static_cast<int>(pos);
        Tell([&](IDataLink &l) { l.RowsAboutToBeInserted(*self, p, p); });
        if (pos == view.size())
            view.push_back(row);
        else
            view.insert(view.begin() + pos, row);
        if (!order.empty())
            viewKey.insert(viewKey.begin() + pos, RowKeyPrefix(row));
        ++viewVersion;
        Tell([&](IDataLink &l) { l.RowsInserted(*self, p, p); });
    }
    void ViewEraseAt(size_t pos)
    {
        const int p = static_cast<int>(pos);
        Tell([&](IDataLink &l) { l.RowsAboutToBeRemoved(*self, p, p); });
        view.erase(view.begin() + pos);
        if (!order.empty())
            viewKey.erase(viewKey.begin() + pos);
        ++viewVersion;
        Tell([&](IDataLink &l) { l.RowsRemoved(*self, p, p); });
    }
    void ViewInsert(uint32_t row)
    {
        if (order.empty() && (view.empty() || view.back() < row))
            ViewInsertAt(view.size(), row); // a new row in stored order: the end
        else
            ViewInsertAt(LowerBound(Probe{row, nullptr}), row);
    }

    // ---- position ---------------------------------------------------------
    void SetCurrent(uint32_t row)
    {
        if (row != cur) {
            cur = row;
            pendingScroll = true;
            cacheVersion = 0;
        }
        bof = eof = (row == kNoRow);
    }
    void SetCurrentAt(size_t idx)
    {
        SetCurrent(view[idx]);
        cacheIdx = static_cast<int>(idx);
        cacheVersion = viewVersion;
    }
    int CurIndex()
    {
        if (cur == kNoRow)
            return -1;
        EnsureView();
        if (cacheVersion == viewVersion)
            return cacheIdx;
        const size_t pos = LowerBound(Probe{cur, nullptr});
        cacheIdx = (pos < view.size() && view[pos] == cur) ? static_cast<int>(pos) : -1;
        cacheVersion = viewVersion;
        return cacheIdx;
    }
    // The current row left the view: take the row now at its place, else the
    // one before, else none.
    void Relocate(const Probe &where)
    {
        EnsureView();
        const size_t pos = LowerBound(where);
        if (pos < view.size()) {
            SetCurrentAt(pos);
        } else if (!view.empty()) {
            SetCurrentAt(view.size() - 1);
            eof = true; // it was the last row: the walk is over
        } else {
            SetCurrent(kNoRow);
        }
    }
    void GoFirst()
    {
        EnsureView();
        if (view.empty())
            SetCurrent(kNoRow);
        else
            SetCurrentAt(0);
        bof = true;
    }

    // ---- notifications from the store -------------------------------------
    bool TakeChange()
    {
        // The view follows each change once; a view built during this change
        // already holds it.
        if (!viewBuilt || viewSeq >= store->changeSeq)
            return false;
        viewSeq = store->changeSeq;
        return true;
    }
    void ResetLinksIfUnbuilt()
    {
        if (!viewBuilt && LinksLive()) {
            Tell([&](IDataLink &l) { l.DataSetAboutToReset(*self); });
            Tell([&](IDataLink &l) { l.DataSetReset(*self); });
            pendingScroll = true;
        }
    }

    void OnRowInserted(uint32_t row)
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

    void OnRowModified(uint32_t row, const std::vector<TValue> &before)
    {
        const bool isIn = Passes(row);
        const Probe old{row, &before};
        if (TakeChange()) {
            const size_t oldPos = LowerBound(old);
            const bool wasIn = oldPos < view.size() && view[oldPos] == row;
            if (wasIn && isIn) {
                const bool stays = (oldPos == 0 || RowLess(view[oldPos - 1], row)) &&
                                   (oldPos + 1 == view.size() || RowLess(row, view[oldPos + 1]));
                if (stays) {
                    if (!order.empty())
                        viewKey[oldPos] = RowKeyPrefix(row);
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

    // Called while the row is marked dead but its values are still readable.
    void OnRowDeleting(uint32_t row)
    {
        const Probe p{row, nullptr};
        if (TakeChange()) {
            const size_t pos = LowerBound(p);
            if (pos < view.size() && view[pos] == row)
                ViewEraseAt(pos);
        } else {
            ResetLinksIfUnbuilt();
        }
        if (cur == row)
            Relocate(p);
        if (state == TDataSetState::Edit && editRow == row) {
            state = TDataSetState::Browse;
            buffer.clear();
            editRow = kNoRow;
            modified = false;
            pendingState = true;
        }
        if (rowBeforeInsert == row)
            rowBeforeInsert = kNoRow;
    }

    // Many rows were marked dead (values still readable): drop them from a
    // built view in one pass and move the current row as OnRowDeleting does.
    void OnRowsDeleting()
    {
        const TRowData &rowData = Data();
        Tell([&](IDataLink &l) { l.DataSetAboutToReset(*self); });
        const bool curGone = cur != kNoRow && !rowData.alive[cur];
        if (viewBuilt) {
            long curIdx = -1;
            if (curGone) {
                const size_t pos = LowerBound(Probe{cur, nullptr});
                curIdx = (pos < view.size() && view[pos] == cur) ? long(pos) : -1;
            }
            size_t out = 0, curNew = 0;
            for (size_t i = 0; i < view.size(); ++i) {
                if (long(i) == curIdx)
                    curNew = out;
                if (!rowData.alive[view[i]])
                    continue;
                view[out] = view[i];
                if (!order.empty())
                    viewKey[out] = viewKey[i];
                ++out;
            }
            view.resize(out);
            if (!order.empty())
                viewKey.resize(out);
            viewSeq = store->changeSeq;
            ++viewVersion;
            cacheVersion = 0;
            if (curGone) {
                if (curIdx < 0) {
                    Relocate(Probe{cur, nullptr});
                } else if (curNew < view.size()) {
                    SetCurrentAt(curNew);
                } else if (!view.empty()) {
                    SetCurrentAt(view.size() - 1);
                    eof = true;
                } else {
                    SetCurrent(kNoRow);
                }
            }
        } else if (curGone) {
            Relocate(Probe{cur, nullptr}); // builds the view without the dead rows
        }
        if (state == TDataSetState::Edit && editRow != kNoRow && !rowData.alive[editRow]) {
            state = TDataSetState::Browse;
            buffer.clear();
            editRow = kNoRow;
            modified = false;
            pendingState = true;
        }
        if (rowBeforeInsert != kNoRow && !rowData.alive[rowBeforeInsert])
            rowBeforeInsert = kNoRow;
        pendingScroll = true; // positions moved
        Tell([&](IDataLink &l) { l.DataSetReset(*self); });
    }

    void BeforeReset()
    {
        Tell([&](IDataLink &l) { l.DataSetAboutToReset(*self); });
        if (Editing()) {
            state = TDataSetState::Browse;
            buffer.clear();
            editRow = kNoRow;
            modified = false;
            pendingState = true;
        }
        rowBeforeInsert = kNoRow;
        DropView();
        cur = kNoRow;
    }
    void AfterReset(bool reloaded)
    {
        if (reloaded) {
            // The columns may differ: keep the order and filter only where
            // they still make sense.
            try {
                order = ResolveOrder();
            } catch (const Exception &) {
                indexFieldNames.clear();
                indexName.clear();
                order.clear();
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

    void FlushEvents()
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

    // ---- orders -----------------------------------------------------------
    std::vector<KeyPart> ParseOrder(const std::string &fields, const std::string &desc) const
    {
        std::vector<KeyPart> parts;
        std::vector<int> descCols;
        for (const std::string &n : SplitFieldList(desc))
            descCols.push_back(FieldIndexOrThrow(n));
        for (const std::string &n : SplitFieldList(fields)) {
            const int col = FieldIndexOrThrow(n);
            parts.push_back({col, std::find(descCols.begin(), descCols.end(), col) != descCols.end()});
        }
        return parts;
    }
    std::vector<KeyPart> ResolveOrder() const
    {
        if (!indexName.empty()) {
            for (const TRowStore::IndexDef &def : store->indexes)
                if (LowerAscii(def.name) == LowerAscii(indexName))
                    return ParseOrder(def.fields, def.descFields);
            throw EDatabaseError(LibraryText("Index '%s' not found", indexName));
        }
        return ParseOrder(indexFieldNames, std::string());
    }
    void ApplyOrder(std::vector<KeyPart> parts)
    {
        Tell([&](IDataLink &l) { l.DataSetAboutToReset(*self); });
        order = std::move(parts);
        DropView();
        cacheVersion = 0;
        if (cur == kNoRow)
            GoFirst();
        else
            bof = eof = false;
        Tell([&](IDataLink &l) { l.DataSetReset(*self); });
        pendingScroll = true; // the position in the view changed
        FlushEvents();
    }

    void ApplyFilter()
    {
        Tell([&](IDataLink &l) { l.DataSetAboutToReset(*self); });
        DropView();
        cacheVersion = 0;
        GoFirst();
        Tell([&](IDataLink &l) { l.DataSetReset(*self); });
        pendingScroll = true;
        FlushEvents();
    }

    // ---- field values -----------------------------------------------------
    TValue CurrentValue(int col) const
    {
        if (Editing())
            return buffer[col];
        if (cur == kNoRow || !store)
            return TValue();
        return Data().Value(cur, col);
    }

    void SetField(int col, const TValue &v)
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

    // Lets the links write pending control values into the edit buffer.
    void GatherLinks()
    {
        if (skipGather || !Editing())
            return;
        const std::vector<IDataLink *> copy = links;
        for (IDataLink *l : copy)
            l->UpdateData(*self);
    }

    // ---- store mutations (run every cursor's bookkeeping) ------------------
    template <typename F> void Mutate(F f)
    {
        const std::shared_ptr<TRowStore> keep = store; // a handler may re-clone this cursor
        TRowStore &s = *keep;
        // Row announcements run inside a change; a link that answers one by
        // changing rows would overtake the cursors not yet told.
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
                for (Impl *c : std::vector<Impl *>(s.cursors))
                    c->Resync();
            }
            throw;
        }
        if (--s.depth == 0) {
            const std::vector<Impl *> copy = s.cursors;
            for (Impl *c : copy)
                if (std::find(s.cursors.begin(), s.cursors.end(), c) != s.cursors.end())
                    c->FlushEvents();
        }
    }
    void Resync()
    {
        Tell([&](IDataLink &l) { l.DataSetAboutToReset(*self); });
        DropView();
        cacheVersion = 0;
        if (cur == kNoRow || !Passes(cur))
            GoFirst();
        pendingScroll = true;
        Tell([&](IDataLink &l) { l.DataSetReset(*self); });
    }
    static uint32_t StoreInsert(TRowStore &s, const std::vector<TValue> &values)
    {
        const uint32_t row = s.data.AppendRow(values);
        ++s.changeSeq;
        if (s.logChanges)
            s.log.push_back({TRowStore::Change::Insert, row, {}});
        for (Impl *c : std::vector<Impl *>(s.cursors))
            c->OnRowInserted(row);
        return row;
    }
    static void StoreModify(TRowStore &s, uint32_t row, const std::vector<TValue> &values, bool log)
    {
        std::vector<TValue> before = s.data.RowValues(row);
        s.data.SetRow(row, values);
        ++s.changeSeq;
        for (Impl *c : std::vector<Impl *>(s.cursors))
            c->OnRowModified(row, before);
        if (log && s.logChanges)
            s.log.push_back({TRowStore::Change::Modify, row, std::move(before)});
    }
    static void StoreDelete(TRowStore &s, uint32_t row, bool log)
    {
        std::vector<TValue> before;
        if (log && s.logChanges)
            before = s.data.RowValues(row);
        s.data.KillRow(row);
        ++s.changeSeq;
        for (Impl *c : std::vector<Impl *>(s.cursors))
            c->OnRowDeleting(row);
        s.data.FreeRow(row);
        if (log && s.logChanges)
            s.log.push_back({TRowStore::Change::Delete, row, std::move(before)});
    }
    static void StoreRevive(TRowStore &s, uint32_t row, const std::vector<TValue> &values)
    {
        s.data.ReviveRow(row, values);
        ++s.changeSeq;
        for (Impl *c : std::vector<Impl *>(s.cursors))
            c->OnRowInserted(row);
    }
    template <typename F> void StoreReset(F change, bool reloaded)
    {
        Mutate([&](TRowStore &s) {
            const std::vector<Impl *> cursors = s.cursors;
            for (Impl *c : cursors)
                c->BeforeReset();
            change(s);
            ++s.generation;
            ++s.changeSeq;
            s.log.clear();
            for (Impl *c : cursors)
                c->AfterReset(reloaded);
        });
    }

    // ---- attach / detach --------------------------------------------------
    void Detach()
    {
        if (!store)
            return;
        auto &cs = store->cursors;
        cs.erase(std::remove(cs.begin(), cs.end(), this), cs.end());
        store.reset();
    }
    void Attach(std::shared_ptr<TRowStore> s)
    {
        Detach();
        store = std::move(s);
        store->cursors.push_back(this);
    }
    // This cursor starts afresh on its store: browse, no order, no filter.
    void OpenFresh(std::shared_ptr<TRowStore> s)
    {
        Tell([&](IDataLink &l) { l.DataSetAboutToReset(*self); });
        const bool wasEditing = Editing();
        Attach(std::move(s));
        indexFieldNames.clear();
        indexName.clear();
        order.clear();
        filterText.clear();
        filter.reset();
        filtered = false;
        buffer.clear();
        editRow = rowBeforeInsert = kNoRow;
        modified = false;
        state = TDataSetState::Browse;
        pendingState = true;
        (void)wasEditing;
        DropView();
        cur = kNoRow;
        cacheVersion = 0;
        pendingScroll = true;
        GoFirst();
        Tell([&](IDataLink &l) { l.DataSetReset(*self); });
        FlushEvents();
    }
};

// ---------------------------------------------------------------------------
// TRecordTable

TRecordTable::TRecordTable() : d(new Impl(this)) {}

TRecordTable::TRecordTable(std::vector<TFieldDef> defs) : d(new Impl(this))
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

// ---- orders ---------------------------------------------------------------

void TRecordTable::AddIndex(const std::string &name, const std::string &fields,
                            const std::string &descFields)
{
    d->CheckActive();
    d->ParseOrder(fields, descFields); // the fields must exist
    if (SplitFieldList(fields).empty())
        throw EDatabaseError(LibraryText("Index '%s' has no fields", name));
    for (TRowStore::IndexDef &def : d->store->indexes)
        if (LowerAscii(def.name) == LowerAscii(name)) {
            def.fields = fields;
            def.descFields = descFields;
            return;
        }
    d->store->indexes.push_back({name, fields, descFields});
}

std::string TRecordTable::IndexFieldNames() const { return d->indexFieldNames; }

void TRecordTable::SetIndexFieldNames(const std::string &fields)
{
    d->CheckActive();
    CheckBrowseMode();
    std::vector<KeyPart> parts = d->ParseOrder(fields, std::string());
    d->indexFieldNames = fields;
    d->indexName.clear();
    d->ApplyOrder(std::move(parts));
}

std::string TRecordTable::IndexName() const { return d->indexName; }

void TRecordTable::SetIndexName(const std::string &name)
{
    d->CheckActive();
    CheckBrowseMode();
    std::vector<KeyPart> parts;
    if (!name.empty()) {
        bool found = false;
        for (const TRowStore::IndexDef &def : d->store->indexes)
            if (LowerAscii(def.name) == LowerAscii(name)) {
                parts = d->ParseOrder(def.fields, def.descFields);
                found = true;
            }
        if (!found)
            throw EDatabaseError(LibraryText("Index '%s' not found", name));
    }
    d->indexName = name;
    d->indexFieldNames.clear();
    d->ApplyOrder(std::move(parts));
}

// ---- filter ---------------------------------------------------------------

std::string TRecordTable::Filter() const { return d->filterText; }

void TRecordTable::SetFilter(const std::string &expression)
{
    if (!d->Active() || !d->filtered) {
        d->filterText = expression;
        d->filter.reset();
        return;
    }
    CheckBrowseMode();
    std::unique_ptr<TFilterExpression> compiled = TFilterExpression::Compile(expression, FieldDefs());
    d->filterText = expression;
    d->filter = std::move(compiled);
    d->ApplyFilter();
}

bool TRecordTable::Filtered() const { return d->filtered; }

void TRecordTable::SetFiltered(bool on)
{
    if (on == d->filtered)
        return;
    if (!d->Active()) {
        d->filtered = on;
        return;
    }
    CheckBrowseMode();
    if (on) {
        d->filter = TFilterExpression::Compile(d->filterText, FieldDefs());
        d->filtered = true;
    } else {
        d->filtered = false;
        d->filter.reset();
    }
    d->ApplyFilter();
}

// ---- navigation -----------------------------------------------------------

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
    if (d->view.empty())
        d->SetCurrent(kNoRow);
    else
        d->SetCurrentAt(d->view.size() - 1);
    d->eof = true;
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
    if (!d->FilterActive() && !d->viewBuilt)
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

namespace {

// Converts search values to the columns' kinds; false when one cannot match.
bool SearchCells(const TRowData &data, const std::vector<int> &cols, const std::vector<TValue> &values,
                 std::vector<TValue> &converted, bool nullMatchesNothing)
{
    converted.resize(cols.size());
    for (size_t i = 0; i < cols.size(); ++i) {
        if (values[i].IsNull() && nullMatchesNothing)
            return false;
        if (!ConvertForField(data.defs[cols[i]], values[i], converted[i]))
            return false;
        if (data.defs[cols[i]].DataType == TFieldType::Graphic && converted[i].IsNull() &&
            !values[i].IsNull() && nullMatchesNothing)
            return false; // an empty picture is stored as null, which matches nothing
    }
    return true;
}

} // namespace

bool TRecordTable::Locate(const std::string &fields, const std::vector<TValue> &values)
{
    d->CheckActive();
    std::vector<int> cols;
    for (const std::string &n : SplitFieldList(fields))
        cols.push_back(d->FieldIndexOrThrow(n));
    if (cols.empty() || cols.size() != values.size())
        throw EDatabaseError(LibraryText("Locate needs one value per field"));
    CheckBrowseMode();
    std::vector<TValue> conv;
    if (!SearchCells(d->Data(), cols, values, conv, true))
        return false;
    std::vector<TCell> cells;
    for (const TValue &v : conv)
        cells.push_back(CellOf(v));
    d->EnsureView();
    const TRowData &data = d->Data();
    auto matches = [&](uint32_t r) {
        for (size_t i = 0; i < cols.size(); ++i) {
            const TCell c = data.Cell(r, cols[i]);
            if (c.null || CompareCells(c, cells[i], data.defs[cols[i]].DataType) != 0)
                return false;
        }
        return true;
    };
    size_t begin = 0, end = d->view.size();
    // When the first order field is searched for, only its equal range can match.
    if (!d->order.empty()) {
        const auto it = std::find(cols.begin(), cols.end(), d->order[0].col);
        if (it != cols.end()) {
            const std::vector<TCell> key{cells[it - cols.begin()]};
            begin = d->LowerBoundKey(key, 1);
            size_t lo = begin, hi = d->view.size();
            while (lo < hi) {
                const size_t mid = (lo + hi) / 2;
                if (d->CompareKey(d->view[mid], key, 1) <= 0)
                    lo = mid + 1;
                else
                    hi = mid;
            }
            end = lo;
        }
    }
    for (size_t i = begin; i < end; ++i)
        if (matches(d->view[i])) {
            d->SetCurrentAt(i);
            d->FlushEvents();
            return true;
        }
    return false;
}

bool TRecordTable::FindKey(const std::vector<TValue> &values)
{
    d->CheckActive();
    if (d->order.empty())
        throw EDatabaseError(LibraryText("No index currently active"));
    if (values.empty() || values.size() > d->order.size())
        throw EDatabaseError(LibraryText("FindKey needs between 1 and %s key values", std::to_string(d->order.size())));
    CheckBrowseMode();
    std::vector<int> cols;
    for (size_t i = 0; i < values.size(); ++i)
        cols.push_back(d->order[i].col);
    std::vector<TValue> conv;
    if (!SearchCells(d->Data(), cols, values, conv, false))
        return false;
    std::vector<TCell> cells;
    for (const TValue &v : conv)
        cells.push_back(CellOf(v));
    d->EnsureView();
    const size_t pos = d->LowerBoundKey(cells, cells.size());
    if (pos < d->view.size() && d->CompareKey(d->view[pos], cells, cells.size()) == 0) {
        d->SetCurrentAt(pos);
        d->FlushEvents();
        return true;
    }
    return false;
}

// ---- editing --------------------------------------------------------------

TDataSetState TRecordTable::State() const { return d->state; }

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
    for (size_t c = 0; c < defs.size(); ++c) {
        if (!defs[c].Required)
            continue;
        const TValue &v = d->buffer[c];
        if (v.IsNull() || (v.kind() == TValue::Kind::Bytes && v.bytes().empty()))
            throw EDatabaseError(LibraryText("Field '%s' must have a value", defs[c].Name));
    }
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
    try {
        d->Mutate([&](TRowStore &s) {
            if (inserting) {
                const uint32_t row = Impl::StoreInsert(s, values);
                if (d->Passes(row)) {
                    d->SetCurrent(row);
                    d->cacheVersion = 0;
                }
            } else if (modified) {
                if (editRow >= s.data.SlotCount() || !s.data.alive[editRow])
                    throw EDatabaseError(LibraryText("Record not found"));
                Impl::StoreModify(s, editRow, values, true);
            }
            d->pendingState = true;
        });
    } catch (...) {
        if (d->state == TDataSetState::Browse) {
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
    d->state = TDataSetState::Browse;
    d->buffer.clear();
    d->editRow = kNoRow;
    d->modified = false;
    if (inserting && d->cur != kNoRow && d->rowBeforeInsert != kNoRow && d->Passes(d->rowBeforeInsert))
        d->SetCurrent(d->rowBeforeInsert);
    d->rowBeforeInsert = kNoRow;
    d->Tell([&](IDataLink &l) { l.StateChanged(*this); });
    d->Tell([&](IDataLink &l) { l.CurrentValuesChanged(*this, -1); });
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
    if (d->state == TDataSetState::Edit) {
        d->state = TDataSetState::Browse;
        d->buffer.clear();
        d->editRow = kNoRow;
        d->modified = false;
        d->pendingState = true;
    }
    const uint32_t row = d->cur;
    d->Mutate([&](TRowStore &s) { Impl::StoreDelete(s, row, true); });
    if (AfterDelete)
        AfterDelete(*this);
}

void TRecordTable::AppendRecord(const std::vector<TValue> &values)
{
    Append();
    const int n = std::min(static_cast<int>(values.size()), FieldCount());
    for (int i = 0; i < n; ++i)
        if (!values[i].IsNull())
            d->SetField(i, values[i]);
    Post();
}

void TRecordTable::InsertRecord(const std::vector<TValue> &values)
{
    Insert();
    const int n = std::min(static_cast<int>(values.size()), FieldCount());
    for (int i = 0; i < n; ++i)
        if (!values[i].IsNull())
            d->SetField(i, values[i]);
    Post();
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
                if (defs[f].Required &&
                    (conv[f].IsNull() || (conv[f].kind() == TValue::Kind::Bytes && conv[f].bytes().empty())))
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
    {
        const TRowData &data = d->Data();
        for (const TBookmark &b : rows)
            if (b.IsNull() || b.Generation != d->store->generation || b.Row >= data.SlotCount() ||
                !data.alive[b.Row])
                throw EDatabaseError(LibraryText("Record not found"));
    }
    if (rows.empty())
        return;
    d->Mutate([&](TRowStore &s) {
        std::vector<uint32_t> dead;
        dead.reserve(rows.size());
        for (const TBookmark &b : rows) {
            if (!s.data.alive[b.Row])
                continue; // listed twice
            if (s.logChanges)
                s.log.push_back({TRowStore::Change::Delete, b.Row, s.data.RowValues(b.Row)});
            s.data.KillRow(b.Row);
            dead.push_back(b.Row);
        }
        ++s.changeSeq;
        for (Impl *c : std::vector<Impl *>(s.cursors))
            c->OnRowsDeleting();
        for (uint32_t r : dead)
            s.data.FreeRow(r);
    });
}

void TRecordTable::SetBookmarkValue(const TBookmark &bookmark, int field, const TValue &value)
{
    d->CheckActive();
    TRowData &data = d->Data();
    if (bookmark.IsNull() || bookmark.Generation != d->store->generation || bookmark.Row >= data.SlotCount() ||
        !data.alive[bookmark.Row])
        throw EDatabaseError(LibraryText("Record not found"));
    if (field < 0 || field >= FieldCount())
        throw EDatabaseError(LibraryText("Field index out of range"));
    const TFieldDef &def = data.defs[size_t(field)];
    std::vector<TValue> values;
    data.ReadRow(bookmark.Row, values);
    if (!ConvertForField(def, value, values[size_t(field)]))
        throw EConvertError(LibraryText("Invalid value for field '%s'", def.Name));
    const TValue &v = values[size_t(field)];
    if (def.Required && (v.IsNull() || (v.kind() == TValue::Kind::Bytes && v.bytes().empty())))
        throw EDatabaseError(LibraryText("Field '%s' must have a value", def.Name));
    d->Mutate([&](TRowStore &s) { Impl::StoreModify(s, bookmark.Row, values, true); });
}

// ---- bookmarks ------------------------------------------------------------

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

// ---- bulk work ------------------------------------------------------------

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

void TRecordTable::EmptyDataSet()
{
    d->CheckActive();
    d->StoreReset([](TRowStore &s) { s.data.ClearRows(); }, false);
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

// ---- change log -----------------------------------------------------------

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
    std::vector<TRowStore::LogEntry> log = std::move(d->store->log);
    d->store->log.clear();
    d->Mutate([&](TRowStore &s) {
        for (auto it = log.rbegin(); it != log.rend(); ++it) {
            switch (it->kind) {
            case TRowStore::Change::Insert:
                if (s.data.alive[it->row])
                    Impl::StoreDelete(s, it->row, false);
                break;
            case TRowStore::Change::Modify:
                if (s.data.alive[it->row])
                    Impl::StoreModify(s, it->row, it->before, false);
                break;
            case TRowStore::Change::Delete:
                if (!s.data.alive[it->row])
                    Impl::StoreRevive(s, it->row, it->before);
                break;
            }
        }
    });
}

// ---- datapacket -----------------------------------------------------------

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
    if (!d->store) {
        auto store = std::make_shared<TRowStore>();
        store->data = std::move(fresh);
        d->OpenFresh(std::move(store));
    } else {
        d->StoreReset([&](TRowStore &s) { s.data = std::move(fresh); }, true);
        d->state = TDataSetState::Browse;
    }
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

// ---- observers and random access -------------------------------------------

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

TBookmark TRecordTable::RowAt(int viewIndex) const
{
    if (!d->Active())
        RaiseListIndexOutOfBounds(viewIndex);
    d->EnsureView();
    if (viewIndex < 0 || size_t(viewIndex) >= d->view.size())
        RaiseListIndexOutOfBounds(viewIndex);
    return TBookmark{d->store->generation, d->view[viewIndex]};
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
    const size_t pos = d->LowerBound(Probe{bookmark.Row, nullptr});
    return (pos < d->view.size() && d->view[pos] == bookmark.Row) ? static_cast<int>(pos) : -1;
}

TValue TRecordTable::BookmarkValue(const TBookmark &bookmark, int field) const
{
    if (!d->Active() || bookmark.IsNull() || bookmark.Generation != d->store->generation ||
        bookmark.Row >= d->Data().SlotCount() || !d->Data().alive[bookmark.Row])
        throw EDatabaseError(LibraryText("Record not found"));
    if (field < 0 || field >= FieldCount())
        throw EDatabaseError(LibraryText("Field index out of range"));
    return d->Data().Value(bookmark.Row, field);
}

// ---------------------------------------------------------------------------
// TField

const TFieldDef &TField::Def() const
{
    const std::vector<TFieldDef> &defs = m_table->FieldDefs();
    if (m_index < 0 || size_t(m_index) >= defs.size())
        throw EDatabaseError(LibraryText("Field no longer exists"));
    return defs[m_index];
}

bool TField::IsNull() const
{
    Def();
    return m_table->impl().CurrentValue(m_index).IsNull();
}

int32_t TField::AsInteger() const
{
    const TFieldDef &def = Def();
    TRecordTable::Impl &d = m_table->impl();
    if (!d.Editing() && d.cur != kNoRow &&
        (def.DataType == TFieldType::Integer || def.DataType == TFieldType::Boolean))
        return d.Data().Int(d.cur, m_index); // null cells hold 0
    const TValue v = d.CurrentValue(m_index);
    if (v.IsNull())
        return 0;
    if (v.kind() != TValue::Kind::Bytes)
        return v.integer();
    if (def.DataType == TFieldType::Graphic)
        throw EConvertError(LibraryText("Invalid type conversion for field '%s'", def.Name));
    int32_t out;
    if (!ParseIntegerText(v.bytes(), out))
        RaiseNotAnInteger(v.bytes());
    return out;
}

std::string TField::AsString() const
{
    const TFieldDef &def = Def();
    const TValue v = m_table->impl().CurrentValue(m_index);
    if (v.IsNull())
        return std::string();
    switch (def.DataType) {
    case TFieldType::Integer:
        return std::to_string(v.integer());
    case TFieldType::Boolean:
        return v.boolean() ? "True" : "False";
    default:
        return v.bytes();
    }
}

bool TField::AsBoolean() const
{
    const TFieldDef &def = Def();
    const TValue v = m_table->impl().CurrentValue(m_index);
    if (v.IsNull())
        return false;
    if (v.kind() != TValue::Kind::Bytes)
        return v.integer() != 0;
    bool out;
    if (def.DataType == TFieldType::Graphic || !ParseBooleanText(v.bytes(), out))
        throw EConvertError(LibraryText("'%s' is not a valid boolean value", v.bytes()));
    return out;
}

std::string TField::AsBytes() const
{
    const TFieldDef &def = Def();
    if (def.DataType == TFieldType::Graphic || def.DataType == TFieldType::String) {
        const TValue v = m_table->impl().CurrentValue(m_index);
        return v.IsNull() ? std::string() : v.bytes();
    }
    return AsString();
}

TValue TField::Value() const
{
    Def();
    return m_table->impl().CurrentValue(m_index);
}

void TField::SetAsInteger(int32_t v)
{
    Def();
    m_table->impl().SetField(m_index, TValue(v));
}

void TField::SetAsString(const std::string &v)
{
    Def();
    m_table->impl().SetField(m_index, TValue(v));
}

void TField::SetAsBoolean(bool v)
{
    Def();
    m_table->impl().SetField(m_index, TValue(v));
}

void TField::SetAsBytes(const std::string &v)
{
    Def();
    m_table->impl().SetField(m_index, TValue(v));
}

void TField::SetValue(const TValue &v)
{
    Def();
    m_table->impl().SetField(m_index, v);
}

void TField::Clear()
{
    Def();
    m_table->impl().SetField(m_index, TValue());
}

} // namespace kf
