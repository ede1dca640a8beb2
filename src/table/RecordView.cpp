// The view of a cursor: building and sorting it, keeping it row by row, and
// the orders and filter that shape it.

#include "table/RecordView.h"

#include "common/AsciiText.h"
#include "common/KeySort.h"
#include "table/FilterExpression.h"
#include "table/RecordCursor.h"

#include <algorithm>
#include <utility>

namespace kf {

// ---------------------------------------------------------------------------
// TRowView

namespace {

// The sort key of one key part: its prefix, inverted for a descending part.
uint64_t SortKey(const TRowData &d, uint32_t row, const KeyPart &k)
{
    const uint64_t v = TRowView::Prefix(d.Cell(row, k.col), d.defs[k.col].DataType);
    return k.desc ? ~v : v;
}

template <size_t P> struct SortRec {
    uint64_t key[P];
    uint32_t row;
};

} // namespace

// Sorts the rows in this order (ties by slot), the same order RowLess gives,
// on per-row keys computed once, and fills keys from the first key.
template <size_t P> void TRowView::SortKeyed(const TRowData &d)
{
    bool varying[P];
    for (size_t j = 0; j < P; ++j)
        varying[j] = d.IsVarying(order[j].col);
    BigVector<SortRec<P>> recs(rows.size());
    for (size_t i = 0; i < rows.size(); ++i) {
        recs[i].row = rows[i];
        for (size_t j = 0; j < P; ++j)
            recs[i].key[j] = SortKey(d, rows[i], order[j]);
    }
    // An integer first key of narrow range (a count, a length) leaves most of
    // the leading key's bits to the start of the second key, so that the
    // buckets split rows of one count or length too.
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
        [&d, &parts, &varying](const SortRec<P> &a, const SortRec<P> &b) {
            for (size_t j = 0; j < P; ++j) {
                if (a.key[j] != b.key[j])
                    return a.key[j] < b.key[j];
                if (varying[j]) {
                    const KeyPart &k = parts[j];
                    const int c = CompareCells(d.Cell(a.row, k.col), d.Cell(b.row, k.col), TFieldType::String);
                    if (c)
                        return k.desc ? c > 0 : c < 0;
                }
            }
            return a.row < b.row;
        });
    keys.resize(rows.size());
    for (size_t i = 0; i < rows.size(); ++i) {
        rows[i] = recs[i].row;
        keys[i] = recs[i].key[0];
    }
}

void TRowView::Sort(const TRowData &d)
{
    switch (order.size()) {
    case 1: SortKeyed<1>(d); return;
    case 2: SortKeyed<2>(d); return;
    case 3: SortKeyed<3>(d); return;
    case 4: SortKeyed<4>(d); return;
    default:
        break;
    }
    // Longer orders: a prefix of the first key, the full comparison on ties.
    const KeyPart first = order[0];
    BigVector<std::pair<uint64_t, uint32_t>> keyed(rows.size());
    for (size_t i = 0; i < rows.size(); ++i)
        keyed[i] = {SortKey(d, rows[i], first), rows[i]};
    SortByLeadingKey(
        keyed.begin(), keyed.end(), [](const std::pair<uint64_t, uint32_t> &r) { return r.first; },
        [this, &d](const auto &a, const auto &b) {
            if (a.first != b.first)
                return a.first < b.first;
            return RowLess(d, a.second, b.second);
        });
    keys.resize(rows.size());
    for (size_t i = 0; i < rows.size(); ++i) {
        rows[i] = keyed[i].second;
        keys[i] = keyed[i].first;
    }
}

void TRowView::Build(const TRowData &d, const TFilterExpression *filter, uint64_t changeSeq)
{
    rows.clear();
    const uint32_t slotCount = d.SlotCount();
    rows.reserve(filter ? 0 : d.liveCount);
    for (uint32_t r = 0; r < slotCount; ++r)
        if (d.alive[r] && (!filter || filter->Matches(d, r)))
            rows.push_back(r);
    if (!order.empty() && rows.size() > 1) {
        // Rows often come already in order (appended so, or sorted before):
        // one pass over the prefixes tells, and then nothing needs sorting.
        keys.resize(rows.size());
        bool inOrder = true;
        for (size_t i = 0; i < rows.size(); ++i) {
            keys[i] = RowKeyPrefix(d, rows[i]);
            if (inOrder && i > 0 &&
                (keys[i] < keys[i - 1] || (keys[i] == keys[i - 1] && !RowLess(d, rows[i - 1], rows[i]))))
                inOrder = false;
        }
        if (!inOrder)
            Sort(d);
    } else if (!order.empty()) {
        keys.clear();
        for (uint32_t r : rows)
            keys.push_back(RowKeyPrefix(d, r));
    } else {
        keys.clear();
    }
    built = true;
    seq = changeSeq;
    ++version;
}

void TRowView::Drop()
{
    built = false;
    rows.clear();
    rows.shrink_to_fit();
    keys.clear();
    keys.shrink_to_fit();
    ++version;
}

size_t TRowView::LowerBound(const TRowData &d, const Probe &p) const
{
    if (order.empty()) // stored order: the view holds ascending slots
        return std::lower_bound(rows.begin(), rows.end(), p.row) - rows.begin();
    const uint64_t pp = KeyPrefix(d, ProbeCell(d, p, order[0].col));
    size_t lo = 0, hi = rows.size();
    while (lo < hi) {
        const size_t mid = (lo + hi) / 2;
        const uint64_t k = keys[mid];
        if (k < pp || (k == pp && CompareToProbe(d, rows[mid], p) < 0))
            lo = mid + 1;
        else
            hi = mid;
    }
    return lo;
}

size_t TRowView::LowerBoundKey(const TRowData &d, const std::vector<TCell> &key, size_t n) const
{
    const uint64_t kp = KeyPrefix(d, key[0]);
    size_t lo = 0, hi = rows.size();
    while (lo < hi) {
        const size_t mid = (lo + hi) / 2;
        const uint64_t k = keys[mid];
        if (k < kp || (k == kp && CompareKey(d, rows[mid], key, n) < 0))
            lo = mid + 1;
        else
            hi = mid;
    }
    return lo;
}

void TRowView::InsertAt(const TRowData &d, size_t pos, uint32_t row)
{
    if (pos == rows.size())
        rows.push_back(row);
    else
        rows.insert(rows.begin() + pos, row);
    if (!order.empty())
        keys.insert(keys.begin() + pos, RowKeyPrefix(d, row));
    ++version;
}

void TRowView::EraseAt(size_t pos)
{
    rows.erase(rows.begin() + pos);
    if (!order.empty())
        keys.erase(keys.begin() + pos);
    ++version;
}

size_t TRowView::Compact(const TRowData &d, long at)
{
    size_t out = 0, atNew = 0;
    for (size_t i = 0; i < rows.size(); ++i) {
        if (long(i) == at)
            atNew = out;
        if (!d.alive[rows[i]])
            continue;
        rows[out] = rows[i];
        if (!order.empty())
            keys[out] = keys[i];
        ++out;
    }
    rows.resize(out);
    if (!order.empty())
        keys.resize(out);
    ++version;
    return atNew;
}

// ---------------------------------------------------------------------------
// The cursor's view

void TCursor::ViewInsertAt(size_t pos, uint32_t row)
{
    const int p = static_cast<int>(pos);
    Tell([&](IDataLink &l) { l.RowsAboutToBeInserted(*self, p, p); });
    view.InsertAt(Data(), pos, row);
    Tell([&](IDataLink &l) { l.RowsInserted(*self, p, p); });
}

void TCursor::ViewEraseAt(size_t pos)
{
    const int p = static_cast<int>(pos);
    Tell([&](IDataLink &l) { l.RowsAboutToBeRemoved(*self, p, p); });
    view.EraseAt(pos);
    Tell([&](IDataLink &l) { l.RowsRemoved(*self, p, p); });
}

std::vector<KeyPart> TCursor::ParseOrder(const std::string &fields, const std::string &desc) const
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

std::vector<KeyPart> TCursor::ResolveOrder() const
{
    if (!indexName.empty()) {
        if (const TRowStore::IndexDef *def = store->FindIndex(indexName))
            return ParseOrder(def->fields, def->descFields);
        throw EDatabaseError(LibraryText("Index '%s' not found", indexName));
    }
    return ParseOrder(indexFieldNames, std::string());
}

void TCursor::ApplyOrder(std::vector<KeyPart> parts)
{
    Tell([&](IDataLink &l) { l.DataSetAboutToReset(*self); });
    view.order = std::move(parts);
    view.Drop();
    cacheVersion = 0;
    if (cur == kNoRow)
        GoFirst();
    else
        bof = eof = false;
    Tell([&](IDataLink &l) { l.DataSetReset(*self); });
    pendingScroll = true; // the position in the view changed
    FlushEvents();
}

void TCursor::ApplyFilter()
{
    Tell([&](IDataLink &l) { l.DataSetAboutToReset(*self); });
    view.Drop();
    cacheVersion = 0;
    GoFirst();
    Tell([&](IDataLink &l) { l.DataSetReset(*self); });
    pendingScroll = true;
    FlushEvents();
}

// ---------------------------------------------------------------------------
// TRecordTable: orders and filter

void TRecordTable::AddIndex(const std::string &name, const std::string &fields,
                            const std::string &descFields)
{
    d->CheckActive();
    d->ParseOrder(fields, descFields); // the fields must exist
    if (SplitFieldList(fields).empty())
        throw EDatabaseError(LibraryText("Index '%s' has no fields", name));
    if (TRowStore::IndexDef *def = d->store->FindIndex(name)) {
        def->fields = fields;
        def->descFields = descFields;
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
        const TRowStore::IndexDef *def = d->store->FindIndex(name);
        if (!def)
            throw EDatabaseError(LibraryText("Index '%s' not found", name));
        parts = d->ParseOrder(def->fields, def->descFields);
    }
    d->indexName = name;
    d->indexFieldNames.clear();
    d->ApplyOrder(std::move(parts));
}

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

} // namespace kf
