#pragma once
// A binding point between a cursor and the controls that show it
// (`MainSource`, `CtblSource`). Bound controls attach to a data source rather
// than to a cursor, so the cursor behind them can be named in one place; a
// TDataBinding member (model/DataBinding.h) is how they attach.
// The data source owns neither the cursor nor its listeners.

#include <algorithm>
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

class TDataSource {
public:
    explicit TDataSource(TRecordTable *dataSet = nullptr) : m_dataSet(dataSet) {}
    ~TDataSource()
    {
        const auto listeners = m_listeners;
        for (IDataSourceListener *l : listeners)
            l->DataSourceDestroyed(*this);
    }
    TDataSource(const TDataSource &) = delete;
    TDataSource &operator=(const TDataSource &) = delete;

    // The cursor shown by the controls bound here (not owned; may be null).
    TRecordTable *DataSet() const { return m_dataSet; }
    void SetDataSet(TRecordTable *dataSet)
    {
        if (dataSet == m_dataSet)
            return;
        m_dataSet = dataSet;
        const auto listeners = m_listeners;
        for (IDataSourceListener *l : listeners)
            l->DataSetChanged(*this);
    }

    // Listeners are not owned; remove one before it is destroyed.
    void AddListener(IDataSourceListener *listener)
    {
        if (listener && std::find(m_listeners.begin(), m_listeners.end(), listener) == m_listeners.end())
            m_listeners.push_back(listener);
    }
    void RemoveListener(IDataSourceListener *listener)
    {
        m_listeners.erase(std::remove(m_listeners.begin(), m_listeners.end(), listener), m_listeners.end());
    }

private:
    TRecordTable *m_dataSet; // not owned
    std::vector<IDataSourceListener *> m_listeners;
};

} // namespace kf
