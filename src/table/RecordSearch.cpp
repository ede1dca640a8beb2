// Searching a cursor's view: Locate on any fields, FindKey on its order.

#include "table/RecordCursor.h"

namespace kf {

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
    const TRowView &view = d->view;
    auto matches = [&](uint32_t r) {
        for (size_t i = 0; i < cols.size(); ++i) {
            const TCell c = data.Cell(r, cols[i]);
            if (c.null || CompareCells(c, cells[i], data.defs[cols[i]].DataType) != 0)
                return false;
        }
        return true;
    };
    size_t begin = 0, end = view.size();
    // When the first order field is searched for, only its equal range can match.
    if (!view.order.empty()) {
        const auto it = std::find(cols.begin(), cols.end(), view.order[0].col);
        if (it != cols.end()) {
            const std::vector<TCell> key{cells[size_t(it - cols.begin())]};
            begin = view.LowerBoundKey(data, key, 1);
            size_t lo = begin, hi = view.size();
            while (lo < hi) {
                const size_t mid = (lo + hi) / 2;
                if (view.CompareKey(data, view[mid], key, 1) <= 0)
                    lo = mid + 1;
                else
                    hi = mid;
            }
            end = lo;
        }
    }
    for (size_t i = begin; i < end; ++i)
        if (matches(view[i])) {
            d->SetCurrentAt(i);
            d->FlushEvents();
            return true;
        }
    return false;
}

bool TRecordTable::FindKey(const std::vector<TValue> &values)
{
    d->CheckActive();
    const std::vector<KeyPart> &order = d->view.order;
    if (order.empty())
        throw EDatabaseError(LibraryText("No index currently active"));
    if (values.empty() || values.size() > order.size())
        throw EDatabaseError(LibraryText("FindKey needs between 1 and %s key values", std::to_string(order.size())));
    CheckBrowseMode();
    std::vector<int> cols;
    for (size_t i = 0; i < values.size(); ++i)
        cols.push_back(order[i].col);
    std::vector<TValue> conv;
    if (!SearchCells(d->Data(), cols, values, conv, false))
        return false;
    std::vector<TCell> cells;
    for (const TValue &v : conv)
        cells.push_back(CellOf(v));
    d->EnsureView();
    const TRowView &view = d->view;
    const size_t pos = view.LowerBoundKey(d->Data(), cells, cells.size());
    if (pos < view.size() && view.CompareKey(d->Data(), view[pos], cells, cells.size()) == 0) {
        d->SetCurrentAt(pos);
        d->FlushEvents();
        return true;
    }
    return false;
}

} // namespace kf
