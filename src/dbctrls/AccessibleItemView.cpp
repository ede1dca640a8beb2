#include "dbctrls/AccessibleItemView.h"

#include <QAbstractItemView>
#include <QAccessible>
#include <QAccessibleObject>
#include <QHash>
#include <QHeaderView>
#include <QPersistentModelIndex>
#include <QPointer>
#include <QTableView>
#include <QTreeView>
#include <QWindow>

#include <utility>

namespace kf {

namespace {

const char kFocusFollowingCells[] = "kfFocusFollowingCells";

QHeaderView *columnHeader(const QAbstractItemView *view)
{
    if (auto *table = qobject_cast<const QTableView *>(view))
        return table->horizontalHeader();
    if (auto *tree = qobject_cast<const QTreeView *>(view))
        return tree->header();
    return nullptr;
}

QHeaderView *rowHeader(const QAbstractItemView *view)
{
    if (auto *table = qobject_cast<const QTableView *>(view))
        return table->verticalHeader();
    return nullptr;
}

int columnsOf(const QAbstractItemView *view)
{
    return view->model() ? view->model()->columnCount(view->rootIndex()) : 0;
}

int rowsOf(const QAbstractItemView *view)
{
    return view->model() ? view->model()->rowCount(view->rootIndex()) : 0;
}

QRect globalRect(const QWidget *w, QRect r)
{
    return r.translated(w->mapToGlobal(QPoint(0, 0)));
}

// A title of a column or a row, or the corner where the two header bars meet.
class TAccessibleHeaderCell : public QAccessibleInterface {
public:
    TAccessibleHeaderCell(QAbstractItemView *view, Qt::Orientation orientation, int section, bool corner)
        : m_view(view), m_orientation(orientation), m_section(section), m_corner(corner) {}

    bool isValid() const override { return m_view; }
    QObject *object() const override { return nullptr; }
    QWindow *window() const override { return m_view ? m_view->window()->windowHandle() : nullptr; }
    QAccessible::Role role() const override
    {
        if (m_corner)
            return QAccessible::Pane;
        return m_orientation == Qt::Horizontal ? QAccessible::ColumnHeader : QAccessible::RowHeader;
    }
    QAccessible::State state() const override { return {}; }
    QString text(QAccessible::Text t) const override
    {
        if (m_corner || !m_view || !m_view->model() || t != QAccessible::Name)
            return QString();
        return m_view->model()->headerData(m_section, m_orientation).toString();
    }
    void setText(QAccessible::Text, const QString &) override {}
    QRect rect() const override
    {
        if (!m_view || m_corner)
            return QRect();
        QHeaderView *h = m_orientation == Qt::Horizontal ? columnHeader(m_view) : rowHeader(m_view);
        if (!h || !h->isVisible())
            return QRect();
        const int at = h->sectionViewportPosition(m_section), size = h->sectionSize(m_section);
        const QRect r = m_orientation == Qt::Horizontal ? QRect(at, 0, size, h->height())
                                                        : QRect(0, at, h->width(), size);
        return globalRect(h->viewport(), r);
    }
    QAccessibleInterface *parent() const override { return QAccessible::queryAccessibleInterface(m_view); }
    QAccessibleInterface *child(int) const override { return nullptr; }
    int childCount() const override { return 0; }
    int indexOfChild(const QAccessibleInterface *) const override { return -1; }
    QAccessibleInterface *childAt(int, int) const override { return nullptr; }

    Qt::Orientation Orientation() const { return m_orientation; }
    int Section() const { return m_section; }
    bool Corner() const { return m_corner; }

private:
    QPointer<QAbstractItemView> m_view;
    Qt::Orientation m_orientation;
    int m_section;
    bool m_corner;
};

// A cell of the view: its text, its place, and whether it is selected,
// checked, and focused (the current cell of a view that has the focus).
class TAccessibleCell : public QAccessibleInterface,
                        public QAccessibleTableCellInterface,
                        public QAccessibleActionInterface {
public:
    TAccessibleCell(QAbstractItemView *view, const QModelIndex &index) : m_view(view), m_index(index) {}

    const QPersistentModelIndex &Index() const { return m_index; }

    bool isValid() const override
    {
        return m_view && m_index.isValid() && m_index.model() == m_view->model();
    }
    QObject *object() const override { return nullptr; }
    QWindow *window() const override { return m_view ? m_view->window()->windowHandle() : nullptr; }
    QAccessible::Role role() const override
    {
        return qobject_cast<const QTreeView *>(m_view) ? QAccessible::TreeItem : QAccessible::Cell;
    }
    QAccessible::State state() const override
    {
        QAccessible::State st;
        if (!isValid())
            return st;
        const QRect r = rect();
        if (r.isEmpty() || !globalRect(m_view->viewport(), m_view->viewport()->rect()).intersects(r))
            st.invisible = true;
        QItemSelectionModel *selection = m_view->selectionModel();
        if (selection && selection->isSelected(m_index))
            st.selected = true;
        // Only the view that has the keyboard focus has a focused cell; while a
        // cell editor is open, the editor has it.
        if (selection && selection->currentIndex() == m_index && m_view->hasFocus())
            st.focused = true;
        const QVariant check = m_index.data(Qt::CheckStateRole);
        const Qt::ItemFlags flags = m_index.flags();
        if (check.isValid()) {
            st.checkable = (flags & Qt::ItemIsUserCheckable) != 0;
            st.checked = check.toInt() == Qt::Checked;
        }
        if (flags & Qt::ItemIsEditable)
            st.editable = true;
        if (flags & Qt::ItemIsSelectable) {
            st.selectable = true;
            st.focusable = true;
            if (m_view->selectionMode() == QAbstractItemView::MultiSelection)
                st.multiSelectable = true;
            if (m_view->selectionMode() == QAbstractItemView::ExtendedSelection)
                st.extSelectable = true;
        }
        if (!(flags & Qt::ItemIsEnabled))
            st.disabled = true;
        return st;
    }
    QString text(QAccessible::Text t) const override
    {
        if (!isValid())
            return QString();
        switch (t) {
        case QAccessible::Name: {
            const QString spoken = m_index.data(Qt::AccessibleTextRole).toString();
            return spoken.isEmpty() ? m_index.data(Qt::DisplayRole).toString() : spoken;
        }
        case QAccessible::Description:
            return m_index.data(Qt::AccessibleDescriptionRole).toString();
        default:
            return QString();
        }
    }
    // Edits go through the view's own editors, never around them.
    void setText(QAccessible::Text, const QString &) override {}
    QRect rect() const override
    {
        if (!isValid())
            return QRect();
        return globalRect(m_view->viewport(), m_view->visualRect(m_index));
    }
    QAccessibleInterface *parent() const override { return QAccessible::queryAccessibleInterface(m_view); }
    QAccessibleInterface *child(int) const override { return nullptr; }
    int childCount() const override { return 0; }
    int indexOfChild(const QAccessibleInterface *) const override { return -1; }
    QAccessibleInterface *childAt(int, int) const override { return nullptr; }
    void *interface_cast(QAccessible::InterfaceType t) override
    {
        if (t == QAccessible::TableCellInterface)
            return static_cast<QAccessibleTableCellInterface *>(this);
        if (t == QAccessible::ActionInterface)
            return static_cast<QAccessibleActionInterface *>(this);
        return nullptr;
    }

    // QAccessibleTableCellInterface
    bool isSelected() const override
    {
        return isValid() && m_view->selectionModel() && m_view->selectionModel()->isSelected(m_index);
    }
    QList<QAccessibleInterface *> columnHeaderCells() const override
    {
        QAccessibleInterface *t = table();
        QHeaderView *h = m_view ? columnHeader(m_view) : nullptr;
        if (!t || !h || !isValid())
            return {};
        return {t->child(AccessibleCellPosition(m_view, -1, m_index.column()))};
    }
    QList<QAccessibleInterface *> rowHeaderCells() const override
    {
        QAccessibleInterface *t = table();
        QHeaderView *h = m_view ? rowHeader(m_view) : nullptr;
        if (!t || !h || !isValid())
            return {};
        return {t->child(AccessibleCellPosition(m_view, m_index.row(), -1))};
    }
    int columnIndex() const override { return m_index.column(); }
    int rowIndex() const override { return m_index.row(); }
    int columnExtent() const override { return 1; }
    int rowExtent() const override { return 1; }
    QAccessibleInterface *table() const override { return QAccessible::queryAccessibleInterface(m_view); }

    // QAccessibleActionInterface: the cell can be made the current one.
    QStringList actionNames() const override { return {setFocusAction()}; }
    void doAction(const QString &name) override
    {
        if (name != setFocusAction() || !isValid())
            return;
        m_view->setFocus(Qt::OtherFocusReason);
        m_view->setCurrentIndex(QModelIndex(m_index));
    }
    QStringList keyBindingsForAction(const QString &) const override { return {}; }

private:
    QPointer<QAbstractItemView> m_view;
    QPersistentModelIndex m_index;
};

// The view itself: a table (or a tree over a flat list) whose children are
// the header cells and the cells, numbered row by row, headers first.
class TAccessibleItemView : public QAccessibleObject, public QAccessibleTableInterface {
public:
    explicit TAccessibleItemView(QAbstractItemView *view) : QAccessibleObject(view) {}
    ~TAccessibleItemView() override { forgetChildren(); }

    QAbstractItemView *view() const { return qobject_cast<QAbstractItemView *>(object()); }

    QAccessible::Role role() const override
    {
        return qobject_cast<const QTreeView *>(view()) ? QAccessible::Tree : QAccessible::Table;
    }
    QAccessible::State state() const override
    {
        QAccessible::State st;
        QAbstractItemView *v = view();
        if (!v)
            return st;
        if (!v->isVisible())
            st.invisible = true;
        if (!v->isEnabled())
            st.disabled = true;
        st.focusable = v->focusPolicy() != Qt::NoFocus;
        st.focused = v->hasFocus();
        if (v->selectionMode() == QAbstractItemView::MultiSelection)
            st.multiSelectable = true;
        if (v->selectionMode() == QAbstractItemView::ExtendedSelection)
            st.extSelectable = true;
        return st;
    }
    QString text(QAccessible::Text t) const override
    {
        QAbstractItemView *v = view();
        if (!v)
            return QString();
        if (t == QAccessible::Name)
            return v->accessibleName();
        if (t == QAccessible::Description)
            return v->accessibleDescription();
        return QString();
    }
    QRect rect() const override
    {
        QAbstractItemView *v = view();
        if (!v || !v->isVisible())
            return QRect();
        return globalRect(v, v->rect());
    }
    QWindow *window() const override
    {
        QAbstractItemView *v = view();
        return v ? v->window()->windowHandle() : nullptr;
    }
    QAccessibleInterface *parent() const override
    {
        QAbstractItemView *v = view();
        return v && v->parent() ? QAccessible::queryAccessibleInterface(v->parent()) : nullptr;
    }
    int childCount() const override
    {
        QAbstractItemView *v = view();
        if (!v || !v->model())
            return 0;
        return (rowsOf(v) + (columnHeader(v) ? 1 : 0)) * (columnsOf(v) + (rowHeader(v) ? 1 : 0));
    }
    QAccessibleInterface *child(int position) const override
    {
        QAbstractItemView *v = view();
        if (!v || !v->model() || position < 0 || position >= childCount())
            return nullptr;
        const int withRowHeader = rowHeader(v) ? 1 : 0;
        const int withColumnHeader = columnHeader(v) ? 1 : 0;
        const int perRow = columnsOf(v) + withRowHeader;
        const int row = position / perRow - withColumnHeader;
        const int column = position % perRow - withRowHeader;
        // A cached child is kept only while it still stands at this position.
        if (auto found = m_children.constFind(position); found != m_children.constEnd()) {
            const QAccessible::Id id = found.value();
            QAccessibleInterface *known = QAccessible::accessibleInterface(id);
            if (known && standsAt(known, row, column))
                return known;
            m_children.remove(position);
            if (known)
                QAccessible::deleteAccessibleInterface(id);
        }
        QAccessibleInterface *made = nullptr;
        if (row < 0 && column < 0)
            made = new TAccessibleHeaderCell(v, Qt::Horizontal, -1, true);
        else if (row < 0)
            made = new TAccessibleHeaderCell(v, Qt::Horizontal, column, false);
        else if (column < 0)
            made = new TAccessibleHeaderCell(v, Qt::Vertical, row, false);
        else
            made = new TAccessibleCell(v, v->model()->index(row, column, v->rootIndex()));
        m_children.insert(position, QAccessible::registerAccessibleInterface(made));
        return made;
    }
    int indexOfChild(const QAccessibleInterface *child) const override
    {
        QAbstractItemView *v = view();
        if (!v || !child)
            return -1;
        if (auto *cell = dynamic_cast<const TAccessibleCell *>(child))
            return cell->isValid() ? AccessibleCellPosition(v, cell->Index().row(), cell->Index().column()) : -1;
        if (auto *header = dynamic_cast<const TAccessibleHeaderCell *>(child)) {
            if (header->Corner())
                return 0;
            return header->Orientation() == Qt::Horizontal ? AccessibleCellPosition(v, -1, header->Section())
                                                           : AccessibleCellPosition(v, header->Section(), -1);
        }
        return -1;
    }
    QAccessibleInterface *childAt(int x, int y) const override
    {
        QAbstractItemView *v = view();
        if (!v)
            return nullptr;
        const QModelIndex index = v->indexAt(v->viewport()->mapFromGlobal(QPoint(x, y)));
        return index.isValid() ? child(AccessibleCellPosition(v, index.row(), index.column())) : nullptr;
    }
    void *interface_cast(QAccessible::InterfaceType t) override
    {
        if (t == QAccessible::TableInterface)
            return static_cast<QAccessibleTableInterface *>(this);
        return nullptr;
    }

    // QAccessibleTableInterface
    QAccessibleInterface *caption() const override { return nullptr; }
    QAccessibleInterface *summary() const override { return nullptr; }
    QAccessibleInterface *cellAt(int row, int column) const override
    {
        QAbstractItemView *v = view();
        if (!v || row < 0 || column < 0 || row >= rowsOf(v) || column >= columnsOf(v))
            return nullptr;
        return child(AccessibleCellPosition(v, row, column));
    }
    int selectedCellCount() const override { return int(selectedIndexes().size()); }
    QList<QAccessibleInterface *> selectedCells() const override
    {
        QList<QAccessibleInterface *> cells;
        for (const QModelIndex &i : selectedIndexes())
            cells << cellAt(i.row(), i.column());
        return cells;
    }
    QString columnDescription(int column) const override
    {
        QAbstractItemView *v = view();
        return v && v->model() ? v->model()->headerData(column, Qt::Horizontal).toString() : QString();
    }
    QString rowDescription(int row) const override
    {
        QAbstractItemView *v = view();
        return v && v->model() && rowHeader(v) ? v->model()->headerData(row, Qt::Vertical).toString() : QString();
    }
    int selectedColumnCount() const override { return int(selectedColumns().size()); }
    int selectedRowCount() const override { return int(selectedRows().size()); }
    int columnCount() const override { return view() ? columnsOf(view()) : 0; }
    int rowCount() const override { return view() ? rowsOf(view()) : 0; }
    QList<int> selectedColumns() const override
    {
        QList<int> out;
        QAbstractItemView *v = view();
        if (v && v->selectionModel())
            for (const QModelIndex &i : v->selectionModel()->selectedColumns())
                out << i.column();
        return out;
    }
    QList<int> selectedRows() const override
    {
        QList<int> out;
        QAbstractItemView *v = view();
        if (v && v->selectionModel())
            for (const QModelIndex &i : v->selectionModel()->selectedRows())
                out << i.row();
        return out;
    }
    bool isColumnSelected(int column) const override
    {
        QAbstractItemView *v = view();
        return v && v->selectionModel() && v->selectionModel()->isColumnSelected(column, v->rootIndex());
    }
    bool isRowSelected(int row) const override
    {
        QAbstractItemView *v = view();
        return v && v->selectionModel() && v->selectionModel()->isRowSelected(row, v->rootIndex());
    }
    // Rows are chosen by moving to them, as the keyboard does.
    bool selectRow(int row) override
    {
        QAbstractItemView *v = view();
        if (!v || !v->model() || row < 0 || row >= rowsOf(v))
            return false;
        const int column = v->currentIndex().isValid() ? v->currentIndex().column() : 0;
        v->setCurrentIndex(v->model()->index(row, column, v->rootIndex()));
        return v->currentIndex().row() == row;
    }
    bool selectColumn(int) override { return false; }
    bool unselectRow(int) override { return false; }
    bool unselectColumn(int) override { return false; }
    void modelChange(QAccessibleTableModelChangeEvent *) override { forgetChildren(); }

private:
    QModelIndexList selectedIndexes() const
    {
        QAbstractItemView *v = view();
        return v && v->selectionModel() ? v->selectionModel()->selectedIndexes() : QModelIndexList();
    }

    bool standsAt(QAccessibleInterface *known, int row, int column) const
    {
        if (auto *cell = dynamic_cast<TAccessibleCell *>(known))
            return cell->isValid() && cell->Index().row() == row && cell->Index().column() == column;
        if (auto *header = dynamic_cast<TAccessibleHeaderCell *>(known)) {
            if (header->Corner())
                return row < 0 && column < 0;
            return header->Orientation() == Qt::Horizontal ? row < 0 && header->Section() == column
                                                           : column < 0 && header->Section() == row;
        }
        return false;
    }

    void forgetChildren() const
    {
        const QHash<int, QAccessible::Id> children = std::exchange(m_children, {});
        for (QAccessible::Id id : children)
            QAccessible::deleteAccessibleInterface(id);
    }

    mutable QHash<int, QAccessible::Id> m_children; // position -> registered child
};

QAccessibleInterface *focusFollowingFactory(const QString &, QObject *object)
{
    auto *view = qobject_cast<QAbstractItemView *>(object);
    if (!view || !view->property(kFocusFollowingCells).toBool())
        return nullptr;
    if (!qobject_cast<QTableView *>(view) && !qobject_cast<QTreeView *>(view))
        return nullptr;
    return new TAccessibleItemView(view);
}

} // namespace

void UseFocusFollowingCells(QAbstractItemView *view)
{
    static const bool installed = [] {
        QAccessible::installFactory(focusFollowingFactory);
        return true;
    }();
    (void)installed;
    view->setProperty(kFocusFollowingCells, true);
}

int AccessibleCellPosition(const QAbstractItemView *view, int row, int column)
{
    if (!view || !view->model())
        return -1;
    const int withRowHeader = rowHeader(view) ? 1 : 0;
    const int withColumnHeader = columnHeader(view) ? 1 : 0;
    if ((row < 0 && !withColumnHeader) || (column < 0 && !withRowHeader))
        return -1;
    return (row + withColumnHeader) * (columnsOf(view) + withRowHeader) + column + withRowHeader;
}

} // namespace kf
