#pragma once
// The cells of a character grid: the characters (Code field) of the rows of
// the cursor behind a data source, laid out in a fixed number of columns and
// rows, row after row in the cursor's order. Cells beyond the cursor's rows
// show nothing. A cursor with more rows than the row limit shows nothing at
// all (a key with too many characters for its grid). The grid follows the
// cursor: every insert, delete, change, new order or filter shows at once.

#include "table/DataBinding.h"

#include <QAbstractTableModel>

namespace kf {

class TCharCellModel : public QAbstractTableModel, private IBoundView {
    Q_OBJECT
public:
    TCharCellModel(int columns, int rows, QObject *parent = nullptr);
    ~TCharCellModel() override;

    // The binding point shown (not owned; may be null).
    void SetDataSource(TDataSource *source) { m_binding.SetDataSource(source); }
    TDataSource *DataSource() const { return m_binding.DataSource(); }
    TRecordTable *DataSet() const { return m_binding.DataSet(); }

    // The most rows the cursor may have for the grid to show any (-1: no limit).
    void SetRowLimit(int limit);
    int RowLimit() const { return m_rowLimit; }

    // The character in a cell, empty when the cell shows nothing.
    QString CellText(int column, int row) const;
    // The cursor row (0-based) a cell shows, -1 when it shows none.
    int CursorRowOf(int column, int row) const;
    // Every cell may read differently now (another code page is in force):
    // the views ask again. The codes stored stay as they are.
    void TextReadingChanged() { changedFrom(0); }

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;

private:
    // IBoundView
    void BindingChanged() override { changedFrom(0); }
    void DataSetReset(TRecordTable &) override { changedFrom(0); }
    void RowsInserted(TRecordTable &, int first, int) override { changedFrom(first); }
    void RowsRemoved(TRecordTable &, int first, int) override { changedFrom(first); }
    void RowChanged(TRecordTable &, int viewIndex) override;

    // The cells showing cursor rows first.. (every cell while a row limit
    // holds) may show another character now.
    void changedFrom(int first);

    int m_columns;
    int m_rows;
    int m_rowLimit = -1;
    TDataBinding m_binding{*this}; // last: it lets go before the rest goes
};

} // namespace kf
