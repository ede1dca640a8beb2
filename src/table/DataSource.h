#pragma once
// A binding point between a cursor and the controls that show it
// (`MainSource`, `CtblSource`). Bound controls attach to a data source rather
// than to a cursor, so the cursor behind them can be named in one place; a
// TDataBinding member (table/DataBinding.h) is how they attach.
// The data source owns neither the cursor nor its listeners. A cursor
// destroyed while bound leaves the data source bound to none, and its
// listeners are told as for any change of cursor.

#include "table/DataLink.h"

#include <vector>

namespace kf {

class TRecordTable;
class TDataSource;

// Told when a data source is bound to another cursor or destroyed.
class IDataSourceListener {
public:
    virtual ~IDataSourceListener() = default;
    virtual void DataSetChanged(TDataSource &source) = 0;
    virtual void DataSourceDestroyed(TDataSource &) {}
};

class TDataSource final : private IDataLink {
public:
    explicit TDataSource(TRecordTable *dataSet = nullptr);
    ~TDataSource() override;
    TDataSource(const TDataSource &) = delete;
    TDataSource &operator=(const TDataSource &) = delete;

    // The cursor shown by the controls bound here (not owned; may be null).
    TRecordTable *DataSet() const { return m_dataSet; }
    void SetDataSet(TRecordTable *dataSet);

    // Listeners are not owned; remove one before it is destroyed.
    void AddListener(IDataSourceListener *listener);
    void RemoveListener(IDataSourceListener *listener);

private:
    // IDataLink: the cursor goes away.
    void DataSetDestroyed(TRecordTable &table) override;
    void TellListeners();

    TRecordTable *m_dataSet; // not owned
    std::vector<IDataSourceListener *> m_listeners;
};

} // namespace kf
