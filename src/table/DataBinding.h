#pragma once
// The one way a view binds to data: a TDataBinding member holds the view's
// registration on a data source and on the cursor behind it. It follows the
// data source to another cursor, lets go of a cursor or a data source that is
// destroyed, and passes every call of the cursor on to the view. The view
// hears a change of cursor as a pair BindingAboutToChange / BindingChanged,
// whatever caused it (SetDataSource, a data source bound to another cursor or
// destroyed, a cursor destroyed), and never registers anywhere itself.
//
//     class TMyView : public QWidget, private IBoundView {
//         void BindingChanged() override { ...re-read m_binding.DataSet()... }
//         void CurrentRowChanged(TRecordTable &) override { ... }
//         TDataBinding m_binding{*this};
//     };

#include "table/DataLink.h"
#include "table/DataSource.h"

namespace kf {

class TRecordTable;

// A view bound through a TDataBinding: it hears the cursor's calls (the
// IDataLink calls, DataSetDestroyed aside) and the change of cursor.
class IBoundView : public IDataLink {
public:
    // The cursor behind the binding is about to be another one (or none).
    // DataSet() still names the old cursor, which must not be queried: it may
    // be being destroyed.
    virtual void BindingAboutToChange() {}
    // The binding shows another cursor now (DataSet(), may be null): re-read
    // everything.
    virtual void BindingChanged() = 0;
};

class TDataBinding final : private IDataLink, private IDataSourceListener {
public:
    // The view is told of every change; it must outlive the binding (a member
    // of the view does).
    explicit TDataBinding(IBoundView &view) : m_view(view) {}
    ~TDataBinding() override;
    TDataBinding(const TDataBinding &) = delete;
    TDataBinding &operator=(const TDataBinding &) = delete;

    // The binding point followed (not owned; may be null). Binding another
    // one tells the view even when it names the same cursor.
    void SetDataSource(TDataSource *source);
    TDataSource *DataSource() const { return m_source; }
    // The cursor behind the data source (not owned; null while there is none).
    TRecordTable *DataSet() const { return m_table; }

private:
    // IDataSourceListener
    void DataSetChanged(TDataSource &source) override;
    void DataSourceDestroyed(TDataSource &source) override;
    // IDataLink: passed on to the view
    void DataSetAboutToReset(TRecordTable &t) override { m_view.DataSetAboutToReset(t); }
    void DataSetReset(TRecordTable &t) override { m_view.DataSetReset(t); }
    void RowsAboutToBeInserted(TRecordTable &t, int first, int last) override
    {
        m_view.RowsAboutToBeInserted(t, first, last);
    }
    void RowsInserted(TRecordTable &t, int first, int last) override { m_view.RowsInserted(t, first, last); }
    void RowsAboutToBeRemoved(TRecordTable &t, int first, int last) override
    {
        m_view.RowsAboutToBeRemoved(t, first, last);
    }
    void RowsRemoved(TRecordTable &t, int first, int last) override { m_view.RowsRemoved(t, first, last); }
    void RowChanged(TRecordTable &t, int viewIndex) override { m_view.RowChanged(t, viewIndex); }
    void CurrentRowChanged(TRecordTable &t) override { m_view.CurrentRowChanged(t); }
    void StateChanged(TRecordTable &t) override { m_view.StateChanged(t); }
    void CurrentValuesChanged(TRecordTable &t, int fieldIndex) override { m_view.CurrentValuesChanged(t, fieldIndex); }
    void UpdateData(TRecordTable &t) override { m_view.UpdateData(t); }
    // The cursor's end is the binding's business: the view hears a change.
    void DataSetDestroyed(TRecordTable &t) override;

    // Registers on this cursor instead of the one before (no news to the view).
    void follow(TRecordTable *table);

    IBoundView &m_view;              // not owned
    TDataSource *m_source = nullptr; // not owned
    TRecordTable *m_table = nullptr; // not owned
};

} // namespace kf
