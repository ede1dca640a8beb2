#include "table/DataBinding.h"

#include "table/RecordTable.h"

namespace kf {

TDataBinding::~TDataBinding()
{
    follow(nullptr);
    if (m_source)
        m_source->RemoveListener(this);
}

void TDataBinding::SetDataSource(TDataSource *source)
{
    if (source == m_source)
        return;
    m_view.BindingAboutToChange();
    if (m_source)
        m_source->RemoveListener(this);
    m_source = source;
    if (m_source)
        m_source->AddListener(this);
    follow(m_source ? m_source->DataSet() : nullptr);
    m_view.BindingChanged();
}

void TDataBinding::DataSetChanged(TDataSource &source)
{
    // A destroyed cursor may be let go of already (it told this binding
    // before its data source).
    if (&source != m_source || source.DataSet() == m_table)
        return;
    m_view.BindingAboutToChange();
    follow(source.DataSet());
    m_view.BindingChanged();
}

void TDataBinding::DataSourceDestroyed(TDataSource &source)
{
    if (&source != m_source)
        return;
    m_view.BindingAboutToChange();
    follow(nullptr);
    m_source->RemoveListener(this);
    m_source = nullptr;
    m_view.BindingChanged();
}

void TDataBinding::DataSetDestroyed(TRecordTable &table)
{
    if (&table != m_table)
        return;
    m_view.BindingAboutToChange();
    m_table = nullptr; // a cursor being destroyed keeps no list to leave
    m_view.BindingChanged();
}

void TDataBinding::follow(TRecordTable *table)
{
    if (table == m_table)
        return;
    if (m_table)
        m_table->RemoveDataLink(this);
    m_table = table;
    if (m_table)
        m_table->AddDataLink(this);
}

} // namespace kf
