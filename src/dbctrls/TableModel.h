#pragma once
// Shows the cursor behind a data source as a table: one row per row of the
// cursor's view (its order and filter), one column per grid column. It reads
// only the rows asked for, so a view of a million rows costs nothing up front.
// The row being edited shows the edit buffer; a new row not yet posted shows as
// an extra row where it was started. The cursor's current row and the view's
// current row are kept in step by the grid through CurrentRow / MoveTo.
// Edits go through the cursor: setData puts the row into edit and sets the
// field; posting is left to navigation or the navigator bar.

#include "dbctrls/Column.h"
#include "table/DataBinding.h"
#include "model/GlyphCache.h"
#include "table/RecordTable.h"

#include <QAbstractTableModel>
#include <functional>
#include <memory>
#include <QImage>

namespace kf {

class CodePage;

class TTableModel : public QAbstractTableModel, private IBoundView {
    Q_OBJECT
public:
    enum Role {
        PictureRole = Qt::UserRole + 1, // QImage of a picture cell (null image: none)
        KindRole,                       // int(TColumnKind) of the cell's column
    };

    explicit TTableModel(QObject *parent = nullptr);
    ~TTableModel() override;

    // The binding point shown (not owned; may be null).
    void SetDataSource(TDataSource *source) { m_binding.SetDataSource(source); }
    TDataSource *DataSource() const { return m_binding.DataSource(); }
    TRecordTable *DataSet() const { return m_binding.DataSet(); }

    // The columns; an empty list shows every field with its name as title.
    void SetColumns(std::vector<TColumn> columns);
    // The columns as shown (Auto kinds resolved against the fields).
    const std::vector<TColumn> &Columns() const { return m_columns; }
    TColumnKind KindOf(int column) const;
    // The field index behind a column, -1 when the table lacks it.
    int FieldIndexOf(int column) const;

    // The view row of the cursor's current row (the new row while inserting),
    // -1 when there is none.
    int CurrentRow() const;
    // Makes a view row the cursor's current row; a row in edit is posted first
    // (a refused post throws and nothing moves).
    void MoveTo(int row);
    // MoveTo(row), then puts the row into edit (on an empty table a new row).
    void EnsureEditing(int row);
    // Whether the view row is the new row that is not posted yet.
    bool IsNewRow(int row) const { return m_newRow && row == m_newRowPos; }
    // The stored row behind a view row; a null bookmark for the new row.
    TBookmark BookmarkAt(int row) const;
    // Every text cell may read differently now (another code page is in
    // force): the views ask for every cell again. The stored bytes stay.
    void TextReadingChanged();
    // Called when the row is about to be posted (by anyone): the view hands in
    // what is typed but not yet written into the row, or throws to refuse.
    void SetPendingValuesHandler(std::function<void()> handler) { m_pendingValues = std::move(handler); }
    // The code page the table's text is in, when it is not the one in force
    // (a word list scanned in another); null: the one in force. Text cells
    // read again.
    void SetTextCodePage(std::shared_ptr<const CodePage> codePage);

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    bool setData(const QModelIndex &index, const QVariant &value, int role = Qt::EditRole) override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

signals:
    // The cursor's current row is another view row (-1: none).
    void CurrentRowMoved(int row);
    // Browse / edit / insert changed.
    void EditStateChanged();

private:
    // IBoundView
    void BindingAboutToChange() override;
    void BindingChanged() override;
    void DataSetAboutToReset(TRecordTable &) override;
    void DataSetReset(TRecordTable &) override;
    void RowsAboutToBeInserted(TRecordTable &, int first, int last) override;
    void RowsInserted(TRecordTable &, int first, int last) override;
    void RowsAboutToBeRemoved(TRecordTable &, int first, int last) override;
    void RowsRemoved(TRecordTable &, int first, int last) override;
    void RowChanged(TRecordTable &, int viewIndex) override;
    void CurrentRowChanged(TRecordTable &) override;
    void StateChanged(TRecordTable &) override;
    void CurrentValuesChanged(TRecordTable &, int fieldIndex) override;
    void UpdateData(TRecordTable &) override
    {
        if (m_pendingValues)
            m_pendingValues();
    }

    void resolveColumns();
    void syncNewRow();
    void rememberCurrent();
    int viewRowOf(int engineRow) const;
    int engineRowOf(int viewRow) const; // -1 for the new row
    bool showsBuffer(int row) const;
    TValue valueAt(int row, int field) const;
    QVariant cellData(int row, int column, int role) const;
    void setCell(int row, int column, const QVariant &value, int role);
    void rowRefreshed(int row);
    void recount();

    TRecordTable *table() const { return m_binding.DataSet(); }

    std::vector<TColumn> m_wanted;   // as given
    std::vector<TColumn> m_columns;  // as shown
    std::vector<int> m_fieldIndex;
    int m_rowCount = 0;              // rows shown, kept in step with the notifications
    bool m_newRow = false;           // an unposted new row is shown
    int m_newRowPos = 0;
    TBookmark m_lastCurrent;         // the stored row that was current last
    int m_lastIndicatorRow = -1;
    bool m_resetting = false;
    bool m_splitRemove = false;      // a removal around the new row, done as a reset
    mutable TGlyphCache m_pictures;  // pictures decoded once, not on every paint
    std::shared_ptr<const CodePage> m_textCodePage; // null: the one in force
    std::function<void()> m_pendingValues;
    TDataBinding m_binding{*this};   // last: it lets go before the rest goes
};

} // namespace kf
