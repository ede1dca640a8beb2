#pragma once
// An observer of one cursor of a record table (a "data link"). Bound controls
// and item models hear these calls through a TDataBinding member
// (table/DataBinding.h), which attaches with TRecordTable::AddDataLink.
//
// Mapping to a QAbstractTableModel:
//   DataSetAboutToReset / DataSetReset       -> beginResetModel / endResetModel
//   RowsAboutToBeInserted / RowsInserted     -> beginInsertRows / endInsertRows
//   RowsAboutToBeRemoved / RowsRemoved       -> beginRemoveRows / endRemoveRows
//   RowChanged(i)                            -> dataChanged(row i)
//   CurrentRowChanged                        -> move the view's current index to RecNo()-1
//   StateChanged / CurrentValuesChanged      -> refresh the current row's editor or display
// Positions are 0-based indexes in the cursor's view (its current order and
// filter); RecNo() is that index + 1. Between an "about to" call and its
// partner the cursor must not be queried; after the partner, RecordCount(),
// RowAt() and FieldValueAt() already reflect the change.
//
// A row whose order key changes is announced as removed at its old position and
// inserted at its new one. While controls are disabled (DisableControls) links
// hear nothing except DataSetAboutToReset at the first DisableControls and
// DataSetReset plus CurrentRowChanged at the last EnableControls.
// Handlers of the row calls (inserted, removed, changed, reset) must not
// change rows themselves (EDatabaseError); CurrentRowChanged and StateChanged
// come after the change is complete and may do anything.
// A link must be removed (RemoveDataLink) before it is destroyed; a cursor that
// is destroyed first tells its links with DataSetDestroyed.

namespace kf {

class TRecordTable;

class IDataLink {
public:
    virtual ~IDataLink() = default;

    // Everything may have changed (order, filter, load, empty, re-clone, bulk
    // work under DisableControls): re-read the whole view.
    virtual void DataSetAboutToReset(TRecordTable &) {}
    virtual void DataSetReset(TRecordTable &) {}

    virtual void RowsAboutToBeInserted(TRecordTable &, int /*first*/, int /*last*/) {}
    virtual void RowsInserted(TRecordTable &, int /*first*/, int /*last*/) {}
    virtual void RowsAboutToBeRemoved(TRecordTable &, int /*first*/, int /*last*/) {}
    virtual void RowsRemoved(TRecordTable &, int /*first*/, int /*last*/) {}

    // The stored values of the row at this view position changed.
    virtual void RowChanged(TRecordTable &, int /*viewIndex*/) {}

    // The cursor's current row is another one (or the view is empty).
    virtual void CurrentRowChanged(TRecordTable &) {}

    // Browse / edit / insert changed.
    virtual void StateChanged(TRecordTable &) {}

    // A field of the row being edited or inserted was set (field index, -1 all).
    virtual void CurrentValuesChanged(TRecordTable &, int /*fieldIndex*/) {}

    // The row being edited or inserted is about to be posted (Post, or a
    // navigation that posts it): write any pending value of the control into
    // the edit buffer now, or throw to refuse. Called even while controls are
    // disabled.
    virtual void UpdateData(TRecordTable &) {}

    // The cursor is being destroyed; drop any pointer to it.
    virtual void DataSetDestroyed(TRecordTable &) {}
};

} // namespace kf
