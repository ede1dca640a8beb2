#include "table/DataSource.h"

#include "table/RecordTable.h"

#include <algorithm>

namespace kf {

TDataSource::TDataSource(TRecordTable *dataSet) : m_dataSet(dataSet)
{
    if (m_dataSet)
        m_dataSet->AddDataLink(this);
}

TDataSource::~TDataSource()
{
    if (m_dataSet)
        m_dataSet->RemoveDataLink(this);
    const auto listeners = m_listeners;
    for (IDataSourceListener *l : listeners)
        l->DataSourceDestroyed(*this);
}

void TDataSource::SetDataSet(TRecordTable *dataSet)
{
    if (dataSet == m_dataSet)
        return;
    if (m_dataSet)
        m_dataSet->RemoveDataLink(this);
    m_dataSet = dataSet;
    if (m_dataSet)
        m_dataSet->AddDataLink(this);
    TellListeners();
}

void TDataSource::DataSetDestroyed(TRecordTable &table)
{
    // The cursor has dropped this link already.
    if (&table == m_dataSet) {
        m_dataSet = nullptr;
        TellListeners();
    }
}

void TDataSource::TellListeners()
{
    // A listener may remove itself (or another) while told.
    const auto listeners = m_listeners;
    for (IDataSourceListener *l : listeners)
        l->DataSetChanged(*this);
}

void TDataSource::AddListener(IDataSourceListener *listener)
{
    if (listener && std::find(m_listeners.begin(), m_listeners.end(), listener) == m_listeners.end())
        m_listeners.push_back(listener);
}

void TDataSource::RemoveListener(IDataSourceListener *listener)
{
    m_listeners.erase(std::remove(m_listeners.begin(), m_listeners.end(), listener), m_listeners.end());
}

} // namespace kf
