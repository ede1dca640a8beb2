#pragma once
// A data grid on the cursor behind a data source. Its current row is the
// cursor's current row, both ways: moving in the grid moves the cursor (a row
// in edit is posted; a refused post is reported and the grid stays), and a
// move of the cursor elsewhere moves the grid. Typing into a cell puts the row
// into edit; Return posts it; Insert starts a new row; Ctrl+Delete deletes the
// current row after "Delete record?"; Esc cancels the row's changes; a new row
// left untouched is dropped when the grid loses the focus. The arrow keys move
// between cells; Tab and Shift+Tab move on to the next or previous control.

#include "dbctrls/Column.h"
#include "table/RecordTable.h"

#include <QTableView>
#include <vector>

namespace kf {

class TDataSource;
class TTableModel;
class TDBGridDelegate;

class TDBGrid : public QTableView {
    Q_OBJECT
public:
    explicit TDBGrid(QWidget *parent = nullptr);
    ~TDBGrid() override;

    void SetDataSource(TDataSource *source); // not owned
    TDataSource *DataSource() const;
    TRecordTable *DataSet() const;
    TTableModel *Model() const { return m_model; }

    // The columns shown, in order; an empty list shows every field.
    void SetColumns(std::vector<TColumn> columns);

    // Column titles report clicks (TitleClick); off by default.
    void SetTitlesClickable(bool on);
    // The user may change row heights; off by default.
    void SetRowsResizable(bool on);
    // Several rows can be selected with Ctrl+click and Shift+click; a plain
    // click drops the selection. Off by default.
    void SetMultiSelect(bool on);
    bool MultiSelect() const { return m_multiSelect; }
    // The selected rows, in view order (multi-select grids).
    std::vector<TBookmark> SelectedBookmarks() const;

    // Width in pixels of a column that is `chars` characters wide.
    int CharsToPixels(int chars) const;

    // Writes an open cell editor's text into the row. False when it was refused.
    bool CommitEditor();
    // Whether a cell editor is open.
    bool EditorOpen() const;
    // Closes an open cell editor without writing its text.
    void DiscardEditor();

signals:
    // A column title was clicked (titles clickable only).
    void TitleClick(int column, const QString &fieldName);

protected:
    void keyPressEvent(QKeyEvent *event) override;
    void closeEditor(QWidget *editor, QAbstractItemDelegate::EndEditHint hint) override;
    void currentChanged(const QModelIndex &current, const QModelIndex &previous) override;
    void focusInEvent(QFocusEvent *event) override;
    void keyboardSearch(const QString &) override {} // typing edits; it never jumps to rows
    QItemSelectionModel::SelectionFlags selectionCommand(const QModelIndex &index,
                                                         const QEvent *event = nullptr) const override;

private:
    friend class TDBGridDelegate;
    friend class TGridSelectionModel;

    bool moveCursorTo(int row);
    void startEdit(int row);
    void syncCurrent(int row);
    void applyWidths();
    void scheduleFit();
    void fitTextColumns();
    void focusMoved(QWidget *old, QWidget *now);
    void dropUntouchedNewRow();
    void postRow();

    TTableModel *m_model;
    TDBGridDelegate *m_delegate;
    bool m_syncing = false;
    bool m_multiSelect = false;
    bool m_titlesClickable = false;
    QStringList m_widthsFor; // the columns the widths were set for
    std::vector<int> m_fitted; // per column: the width last fitted to its texts (0: none)
    bool m_fitPending = false;
};

} // namespace kf
