#include "keyboard/CharCellModel.h"

#include "common/CodePage.h"
#include "model/MainData.h"
#include "table/RecordTable.h"

#include <algorithm>

namespace kf {

TCharCellModel::TCharCellModel(int columns, int rows, QObject *parent)
    : QAbstractTableModel(parent), m_columns(std::max(0, columns)), m_rows(std::max(0, rows))
{
}

TCharCellModel::~TCharCellModel() = default;

void TCharCellModel::SetRowLimit(int limit)
{
    m_rowLimit = limit;
    changedFrom(0);
}

int TCharCellModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : m_rows;
}

int TCharCellModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : m_columns;
}

int TCharCellModel::CursorRowOf(int column, int row) const
{
    const TRecordTable *table = m_binding.DataSet();
    if (!table || !table->Active() || column < 0 || column >= m_columns || row < 0 || row >= m_rows)
        return -1;
    const int count = table->RecordCount();
    if (m_rowLimit >= 0 && count > m_rowLimit)
        return -1;
    const int n = row * m_columns + column;
    return n < count ? n : -1;
}

QString TCharCellModel::CellText(int column, int row) const
{
    const int n = CursorRowOf(column, row);
    if (n < 0)
        return QString();
    const TRecordTable &table = *m_binding.DataSet();
    const int code = table.FindFieldIndex("Code");
    if (code < 0)
        return QString();
    const TValue value = table.FieldValueAt(n, code);
    const uint8_t byte = TDataMod::CodeByte(value.IsNull() ? 0 : value.integer());
    return QString(QChar(CodePage::current().toUnicode(byte)));
}

QVariant TCharCellModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= m_rows || index.column() >= m_columns)
        return QVariant();
    if (role == Qt::DisplayRole || role == Qt::AccessibleTextRole)
        return CellText(index.column(), index.row());
    if (role == Qt::TextAlignmentRole)
        return QVariant(Qt::AlignLeft | Qt::AlignTop);
    return QVariant();
}

Qt::ItemFlags TCharCellModel::flags(const QModelIndex &index) const
{
    return index.isValid() ? Qt::ItemIsEnabled | Qt::ItemIsSelectable : Qt::NoItemFlags;
}

void TCharCellModel::RowChanged(TRecordTable &, int viewIndex)
{
    if (m_rowLimit >= 0) {
        changedFrom(0);
        return;
    }
    if (viewIndex < 0 || viewIndex >= m_rows * m_columns)
        return;
    const QModelIndex cell = index(viewIndex / m_columns, viewIndex % m_columns);
    emit dataChanged(cell, cell, {Qt::DisplayRole, Qt::AccessibleTextRole});
}

void TCharCellModel::changedFrom(int first)
{
    if (m_rows == 0 || m_columns == 0)
        return;
    const int firstRow = m_rowLimit >= 0 ? 0 : std::max(0, first) / m_columns;
    if (firstRow >= m_rows)
        return;
    emit dataChanged(index(firstRow, 0), index(m_rows - 1, m_columns - 1),
                     {Qt::DisplayRole, Qt::AccessibleTextRole});
}

} // namespace kf
