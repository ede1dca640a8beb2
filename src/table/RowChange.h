#pragma once
// What a record table reports of the changes it commits, for an undo history.
//
// An observer set on a cursor (TRecordTable::SetChangeObserver) hears every
// change committed to that cursor's rows, through whichever cursor of the
// store it was made: a row inserted, modified or deleted, with the row's
// values before and after, or all rows replaced at once (emptied, loaded),
// with the rows as they were. The changes of one operation (one post, one
// bulk delete) come together, once the operation is over.
//
// TRecordTable::RevertChange and ReapplyChange take such a change back and
// make it again; they are not reported.

#include "table/FieldValue.h"

#include <cstdint>
#include <memory>
#include <vector>

namespace kf {

class TRecordTable;
class TRowData;

struct TRowChange {
    enum class Kind : uint8_t { Insert, Modify, Delete, Replace };
    Kind kind = Kind::Modify;
    uint32_t row = UINT32_MAX;  // the row's slot (Insert, Modify, Delete)
    std::vector<TValue> before; // Modify, Delete: the row before the change
    std::vector<TValue> after;  // Insert, Modify: the row after it
    // Replace: every row of the other side of the change (before it until it
    // is reverted, then after it), slots and all.
    std::shared_ptr<TRowData> rows;
};

class IRowChangeObserver {
public:
    virtual ~IRowChangeObserver() = default;
    // The changes of one operation on the rows of `table` (the observing
    // cursor), oldest first. Called once the rows have changed; it must not
    // change rows or throw.
    virtual void RowsChanged(TRecordTable &table, std::vector<TRowChange> changes) = 0;
};

} // namespace kf
