#include "dbctrls/DBGrid.h"

#include "common/ErrorReport.h"
#include "common/Dialogs.h"
#include "common/Translation.h"
#include "dbctrls/AccessibleItemView.h"
#include "dbctrls/TableModel.h"

#include <QAccessible>
#include <QApplication>
#include <QComboBox>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPainter>
#include <QPointer>
#include <QRegularExpressionValidator>
#include <QScopedValueRollback>
#include <QStyledItemDelegate>

#include <algorithm>
#include <exception>
#include <utility>

namespace kf {

// Keeps the view's current row and the cursor's current row in step: a move
// asked by the view goes to the cursor first and happens only when the cursor
// could follow.
class TGridSelectionModel : public QItemSelectionModel {
public:
    TGridSelectionModel(TTableModel *model, TDBGrid *grid) : QItemSelectionModel(model, grid), m_grid(grid) {}

    void setCurrentIndex(const QModelIndex &index, QItemSelectionModel::SelectionFlags command) override
    {
        QModelIndex target = index;
        if (!m_grid->m_syncing && index.isValid() && index.row() != m_grid->m_model->CurrentRow()) {
            const int column = index.column();
            if (!m_grid->moveCursorTo(index.row())) {
                m_refused = true;
                return;
            }
            // Posting may have moved rows: follow the cursor.
            const int row = m_grid->m_model->CurrentRow();
            target = row >= 0 ? m_grid->m_model->index(row, column) : QModelIndex();
        }
        m_refused = false;
        QItemSelectionModel::setCurrentIndex(target, command);
    }

    void select(const QModelIndex &index, QItemSelectionModel::SelectionFlags command) override
    {
        if (!m_refused)
            QItemSelectionModel::select(index, command);
    }

    void select(const QItemSelection &selection, QItemSelectionModel::SelectionFlags command) override
    {
        if (!m_refused)
            QItemSelectionModel::select(selection, command);
    }

private:
    TDBGrid *m_grid;
    bool m_refused = false;
};

// Cell editors: a line edit for text and numbers, a drop-down for code lists;
// check boxes toggle in place; pictures are drawn unscaled and not edited.
class TDBGridDelegate : public QStyledItemDelegate {
public:
    explicit TDBGridDelegate(TDBGrid *grid) : QStyledItemDelegate(grid), m_grid(grid) {}

    QWidget *OpenEditor() const { return m_editor; }
    // On: a refused value is kept for RethrowFailure instead of reported.
    void SetRethrow(bool on) { m_rethrow = on; }
    void RethrowFailure()
    {
        if (std::exception_ptr e = std::exchange(m_error, nullptr))
            std::rethrow_exception(e);
    }
    bool TakeFailed()
    {
        const bool f = m_failed;
        m_failed = false;
        return f;
    }

    QWidget *createEditor(QWidget *parent, const QStyleOptionViewItem &, const QModelIndex &index) const override
    {
        const auto kind = TColumnKind(index.data(TTableModel::KindRole).toInt());
        const int column = index.column();
        const TColumn &c = m_grid->m_model->Columns()[size_t(column)];
        QPersistentModelIndex where(index);
        auto touched = [grid = m_grid, where](QWidget *editor) {
            if (editor->property("kfTouched").toBool() || !where.isValid())
                return;
            editor->setProperty("kfTouched", true);
            grid->startEdit(where.row());
        };
        QWidget *editor = nullptr;
        if (kind == TColumnKind::CodeList) {
            auto *combo = new QComboBox(parent);
            combo->setEditable(true);
            combo->setInsertPolicy(QComboBox::NoInsert);
            combo->setMaxVisibleItems(std::max(1, c.DropDownRows));
            for (const TCodeEntry &e : c.Codes)
                combo->addItem(e.Name, e.Code);
            QObject::connect(combo, qOverload<int>(&QComboBox::activated), combo, [combo, touched] { touched(combo); });
            QObject::connect(combo->lineEdit(), &QLineEdit::textEdited, combo, [combo, touched] { touched(combo); });
            editor = combo;
        } else if (kind == TColumnKind::Text || kind == TColumnKind::Number) {
            auto *edit = new QLineEdit(parent);
            edit->setFrame(false);
            if (kind == TColumnKind::Number) {
                edit->setValidator(new QRegularExpressionValidator(
                    QRegularExpression(QStringLiteral("[-+]?[0-9]{0,10}")), edit));
                edit->setAlignment(Qt::AlignRight);
            } else if (TRecordTable *t = m_grid->DataSet()) {
                const int f = m_grid->m_model->FieldIndexOf(column);
                if (f >= 0 && t->FieldDefs()[size_t(f)].DataType == TFieldType::String)
                    edit->setMaxLength(t->FieldDefs()[size_t(f)].Size);
            }
            QObject::connect(edit, &QLineEdit::textEdited, edit, [edit, touched] { touched(edit); });
            editor = edit;
        }
        if (editor) {
            editor->setAccessibleName(c.Title);
            m_editor = editor;
        }
        return editor;
    }

    void destroyEditor(QWidget *editor, const QModelIndex &index) const override
    {
        if (editor == m_editor)
            m_editor = nullptr;
        QStyledItemDelegate::destroyEditor(editor, index);
    }

    void setEditorData(QWidget *editor, const QModelIndex &index) const override
    {
        if (editor->property("kfTouched").toBool())
            return; // keep what the user typed
        if (auto *combo = qobject_cast<QComboBox *>(editor)) {
            const QVariant code = index.data(Qt::EditRole);
            const int at = code.isValid() ? combo->findData(code.toInt()) : -1;
            combo->setCurrentIndex(at);
            if (at < 0)
                combo->setEditText(QString());
        } else if (auto *edit = qobject_cast<QLineEdit *>(editor)) {
            edit->setText(index.data(Qt::EditRole).toString());
        }
    }

    void setModelData(QWidget *editor, QAbstractItemModel *model, const QModelIndex &index) const override
    {
        if (!editor->property("kfTouched").toBool())
            return; // nothing typed: the row stays as it is
        auto write = [&] {
            if (auto *combo = qobject_cast<QComboBox *>(editor)) {
                const QString text = combo->currentText();
                const int at = combo->findText(text, Qt::MatchFixedString);
                if (at >= 0)
                    model->setData(index, combo->itemData(at).toInt());
                else
                    model->setData(index, text);
            } else if (auto *edit = qobject_cast<QLineEdit *>(editor)) {
                model->setData(index, edit->text());
            }
        };
        if (m_rethrow) {
            try {
                write();
            } catch (...) {
                m_error = std::current_exception();
            }
            return;
        }
        if (!RunReportingErrors(m_grid, write))
            m_failed = true;
    }

    void paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const override
    {
        if (TColumnKind(index.data(TTableModel::KindRole).toInt()) != TColumnKind::Picture) {
            QStyledItemDelegate::paint(painter, option, index);
            return;
        }
        QStyledItemDelegate::paint(painter, option, index); // background and focus
        const QImage image = qvariant_cast<QImage>(index.data(TTableModel::PictureRole));
        if (image.isNull())
            return;
        painter->save();
        painter->setClipRect(option.rect.adjusted(1, 1, -1, -1));
        painter->drawImage(option.rect.topLeft() + QPoint(2, 2), image); // own pixel size
        painter->restore();
    }

    QSize sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const override
    {
        if (TColumnKind(index.data(TTableModel::KindRole).toInt()) == TColumnKind::Picture) {
            const QImage image = qvariant_cast<QImage>(index.data(TTableModel::PictureRole));
            if (!image.isNull())
                return image.size() + QSize(4, 4);
        }
        return QStyledItemDelegate::sizeHint(option, index);
    }

private:
    TDBGrid *m_grid;
    mutable QPointer<QWidget> m_editor;
    mutable bool m_failed = false;
    bool m_rethrow = false;
    mutable std::exception_ptr m_error;
};

TDBGrid::TDBGrid(QWidget *parent) : QTableView(parent)
{
    // Assistive technology sees a focused cell only in the grid that has the focus.
    UseFocusFollowingCells(this);
    m_model = new TTableModel(this);
    setModel(m_model);
    QItemSelectionModel *old = selectionModel();
    setSelectionModel(new TGridSelectionModel(m_model, this));
    delete old;
    m_delegate = new TDBGridDelegate(this);
    setItemDelegate(m_delegate);

    setSelectionMode(QAbstractItemView::SingleSelection);
    setSelectionBehavior(QAbstractItemView::SelectItems);
    setEditTriggers(QAbstractItemView::AnyKeyPressed | QAbstractItemView::DoubleClicked
                    | QAbstractItemView::EditKeyPressed);
    // Tab leaves the grid as it leaves any control; the arrows move between cells.
    setTabKeyNavigation(false);
    setWordWrap(false);
    setCornerButtonEnabled(false);

    QHeaderView *rows = verticalHeader();
    rows->setSectionResizeMode(QHeaderView::Fixed);
    rows->setDefaultSectionSize(fontMetrics().height() + 6);
    rows->setMinimumSectionSize(fontMetrics().height() / 2 + 2);
    rows->setDefaultAlignment(Qt::AlignCenter);
    rows->setFixedWidth(16);
    rows->setSectionsClickable(false);

    QHeaderView *titles = horizontalHeader();
    titles->setSectionResizeMode(QHeaderView::Interactive);
    titles->setSectionsClickable(false);
    titles->setHighlightSections(false);
    titles->setStretchLastSection(false);
    titles->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    connect(titles, &QHeaderView::sectionClicked, this, [this](int column) {
        if (!m_titlesClickable || column < 0 || column >= int(m_model->Columns().size()))
            return;
        emit TitleClick(column, QString::fromStdString(m_model->Columns()[size_t(column)].FieldName));
    });

    connect(m_model, &TTableModel::CurrentRowMoved, this, &TDBGrid::syncCurrent);
    // A post from elsewhere (the navigator, a move of another view) takes
    // what is typed in an open cell along; a value the row refuses refuses
    // the post.
    m_model->SetPendingValuesHandler([this] {
        QWidget *editor = m_delegate->OpenEditor();
        if (!editor)
            return;
        m_delegate->SetRethrow(true);
        commitData(editor);
        m_delegate->SetRethrow(false);
        m_delegate->RethrowFailure();
        closeEditor(editor, QAbstractItemDelegate::NoHint);
    });
    connect(m_model, &QAbstractItemModel::modelReset, this, &TDBGrid::applyWidths);
    // Columns that show their longest text follow what the rows hold.
    connect(m_model, &QAbstractItemModel::modelReset, this, &TDBGrid::scheduleFit);
    connect(m_model, &QAbstractItemModel::rowsInserted, this, &TDBGrid::scheduleFit);
    connect(m_model, &QAbstractItemModel::dataChanged, this, &TDBGrid::scheduleFit);
    connect(m_model, &QAbstractItemModel::layoutChanged, this, &TDBGrid::scheduleFit);
    connect(qApp, &QApplication::focusChanged, this, &TDBGrid::focusMoved);
}

TDBGrid::~TDBGrid() = default;

void TDBGrid::SetDataSource(TDataSource *source)
{
    m_model->SetDataSource(source);
    applyWidths();
    syncCurrent(m_model->CurrentRow());
}

TDataSource *TDBGrid::DataSource() const
{
    return m_model->DataSource();
}

TRecordTable *TDBGrid::DataSet() const
{
    return m_model->DataSet();
}

void TDBGrid::SetColumns(std::vector<TColumn> columns)
{
    m_model->SetColumns(std::move(columns));
    m_widthsFor.clear();
    applyWidths();
    syncCurrent(m_model->CurrentRow());
}

void TDBGrid::SetTitlesClickable(bool on)
{
    m_titlesClickable = on;
    horizontalHeader()->setSectionsClickable(on);
}

void TDBGrid::SetRowsResizable(bool on)
{
    verticalHeader()->setSectionResizeMode(on ? QHeaderView::Interactive : QHeaderView::Fixed);
}

void TDBGrid::SetMultiSelect(bool on)
{
    m_multiSelect = on;
    setSelectionMode(on ? QAbstractItemView::ExtendedSelection : QAbstractItemView::SingleSelection);
    setSelectionBehavior(on ? QAbstractItemView::SelectRows : QAbstractItemView::SelectItems);
    clearSelection();
}

std::vector<TBookmark> TDBGrid::SelectedBookmarks() const
{
    std::vector<int> rows;
    for (const QItemSelectionRange &r : selectionModel()->selection())
        for (int row = r.top(); row <= r.bottom(); ++row)
            rows.push_back(row);
    std::sort(rows.begin(), rows.end());
    rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
    std::vector<TBookmark> out;
    out.reserve(rows.size());
    for (int row : rows) {
        const TBookmark b = m_model->BookmarkAt(row);
        if (!b.IsNull())
            out.push_back(b);
    }
    return out;
}

int TDBGrid::CharsToPixels(int chars) const
{
    return chars * fontMetrics().horizontalAdvance(QLatin1Char('0')) + 8;
}

void TDBGrid::applyWidths()
{
    QStringList names;
    for (const TColumn &c : m_model->Columns())
        names << QString::fromStdString(c.FieldName);
    if (names == m_widthsFor)
        return; // keep what the user resized
    m_widthsFor = names;
    const QFontMetrics titleMetrics(horizontalHeader()->font());
    for (int i = 0; i < int(m_model->Columns().size()); ++i) {
        const TColumn &c = m_model->Columns()[size_t(i)];
        const int titleWidth = titleMetrics.horizontalAdvance(c.Title) + 12;
        setColumnWidth(i, std::max(CharsToPixels(c.Width), titleWidth));
    }
    m_fitted.assign(m_model->Columns().size(), 0);
    scheduleFit();
}

void TDBGrid::scheduleFit()
{
    if (m_fitPending)
        return;
    const auto &columns = m_model->Columns();
    if (std::none_of(columns.begin(), columns.end(), [](const TColumn &c) { return c.FitText; }))
        return;
    m_fitPending = true;
    // Once, after a run of changes (an import adds its rows one by one).
    QMetaObject::invokeMethod(this, &TDBGrid::fitTextColumns, Qt::QueuedConnection);
}

void TDBGrid::fitTextColumns()
{
    m_fitPending = false;
    const auto &columns = m_model->Columns();
    if (m_fitted.size() != columns.size())
        return;
    // The texts of a large table are not all measured: such a table is not
    // one whose names are read whole.
    const int rows = std::min(m_model->rowCount(), 5000);
    QStyleOptionViewItem option;
    initViewItemOption(&option);
    const QFontMetrics titleMetrics(horizontalHeader()->font());
    for (int col = 0; col < int(columns.size()); ++col) {
        const TColumn &c = columns[size_t(col)];
        if (!c.FitText)
            continue;
        int widest = std::max(CharsToPixels(c.Width), titleMetrics.horizontalAdvance(c.Title) + 12);
        for (int row = 0; row < rows; ++row)
            widest = std::max(widest, m_delegate->sizeHint(option, m_model->index(row, col)).width() + 4);
        // A width the user chose stays until the texts need another one.
        if (widest != m_fitted[size_t(col)]) {
            m_fitted[size_t(col)] = widest;
            setColumnWidth(col, widest);
        }
    }
}

bool TDBGrid::CommitEditor()
{
    QWidget *editor = m_delegate->OpenEditor();
    if (!editor || state() != QAbstractItemView::EditingState)
        return true;
    commitData(editor);
    const bool ok = !m_delegate->TakeFailed();
    closeEditor(editor, QAbstractItemDelegate::NoHint);
    return ok;
}

void TDBGrid::currentChanged(const QModelIndex &current, const QModelIndex &previous)
{
    // The current cell of a grid without the focus is no focus event: a move
    // of the cursor from elsewhere must not pull assistive technology here.
    if (hasFocus())
        QTableView::currentChanged(current, previous);
    else
        QAbstractItemView::currentChanged(current, previous);
}

void TDBGrid::focusInEvent(QFocusEvent *event)
{
    QTableView::focusInEvent(event);
    // Entering the grid focuses its current cell for assistive technology too.
    const QModelIndex current = currentIndex();
    if (QAccessible::isActive() && current.isValid()) {
        QAccessibleEvent focus(this, QAccessible::Focus);
        focus.setChild(AccessibleCellPosition(this, current.row(), current.column()));
        QAccessible::updateAccessibility(&focus);
    }
}

bool TDBGrid::EditorOpen() const
{
    return m_delegate->OpenEditor() && state() == QAbstractItemView::EditingState;
}

void TDBGrid::DiscardEditor()
{
    if (QWidget *editor = m_delegate->OpenEditor())
        QTableView::closeEditor(editor, QAbstractItemDelegate::RevertModelCache);
}

void TDBGrid::closeEditor(QWidget *editor, QAbstractItemDelegate::EndEditHint hint)
{
    switch (hint) {
    case QAbstractItemDelegate::EditNextItem:
    case QAbstractItemDelegate::EditPreviousItem:
        // Tab in a cell editor: the text is in, and the focus moves on.
        QTableView::closeEditor(editor, QAbstractItemDelegate::NoHint);
        focusNextPrevChild(hint == QAbstractItemDelegate::EditNextItem);
        break;
    case QAbstractItemDelegate::SubmitModelCache:
        // Return in a cell editor posts the row.
        QTableView::closeEditor(editor, QAbstractItemDelegate::NoHint);
        postRow();
        break;
    default:
        QTableView::closeEditor(editor, hint);
        break;
    }
}

void TDBGrid::postRow()
{
    TRecordTable *t = DataSet();
    if (!t || !t->Active() || t->State() == TDataSetState::Browse)
        return;
    // A refused post is reported and the row stays in edit.
    RunReportingErrors(this, [&] { t->Post(); });
}

bool TDBGrid::moveCursorTo(int row)
{
    if (!CommitEditor())
        return false;
    // A refused post is reported and the row stays in edit.
    return RunReportingErrors(this, [&] { m_model->MoveTo(row); });
}

void TDBGrid::startEdit(int row)
{
    RunReportingErrors(this, [&] { m_model->EnsureEditing(row); });
}

void TDBGrid::syncCurrent(int row)
{
    QScopedValueRollback<bool> guard(m_syncing, true);
    if (row < 0 || row >= m_model->rowCount() || m_model->columnCount() == 0)
        return;
    const int column = currentIndex().isValid() ? currentIndex().column() : 0;
    const QModelIndex target = m_model->index(row, column);
    if (currentIndex() != target)
        selectionModel()->setCurrentIndex(target, m_multiSelect ? QItemSelectionModel::NoUpdate
                                                                : QItemSelectionModel::ClearAndSelect);
    scrollTo(target);
}

void TDBGrid::keyPressEvent(QKeyEvent *event)
{
    const Qt::KeyboardModifiers mods =
        event->modifiers() & (Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier);
    TRecordTable *t = DataSet();
    if (t && t->Active()) {
        if (event->key() == Qt::Key_Insert && mods == Qt::NoModifier) {
            if (CommitEditor())
                RunReportingErrors(this, [&] { t->Insert(); });
            event->accept();
            return;
        }
        if (event->key() == Qt::Key_Delete && mods == Qt::ControlModifier) {
            if (QWidget *editor = m_delegate->OpenEditor())
                closeEditor(editor, QAbstractItemDelegate::RevertModelCache);
            RunReportingErrors(this, [&] {
                if (m_model->rowCount() == 0)
                    return;
                if (!Dialogs().okCancel(TranslateQ("Delete record?")))
                    return;
                if (t->State() == TDataSetState::Insert)
                    t->Cancel();
                else
                    t->Delete();
            });
            event->accept();
            return;
        }
        if (event->key() == Qt::Key_Escape && mods == Qt::NoModifier
            && state() != QAbstractItemView::EditingState && t->State() != TDataSetState::Browse) {
            RunReportingErrors(this, [&] { t->Cancel(); });
            event->accept();
            return;
        }
        if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter)
            && (mods & ~Qt::KeypadModifier) == Qt::NoModifier && state() != QAbstractItemView::EditingState
            && t->State() != TDataSetState::Browse) {
            postRow();
            event->accept();
            return;
        }
        if (m_multiSelect && mods == Qt::ControlModifier && event->key() == Qt::Key_A) {
            selectAll();
            event->accept();
            return;
        }
    }
    QTableView::keyPressEvent(event);
}

QItemSelectionModel::SelectionFlags TDBGrid::selectionCommand(const QModelIndex &index,
                                                              const QEvent *event) const
{
    if (m_multiSelect && event) {
        Qt::KeyboardModifiers mods = Qt::NoModifier;
        bool relevant = false;
        switch (event->type()) {
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonDblClick:
        case QEvent::MouseMove:
            mods = static_cast<const QInputEvent *>(event)->modifiers();
            relevant = event->type() != QEvent::MouseMove;
            break;
        case QEvent::KeyPress:
            mods = static_cast<const QInputEvent *>(event)->modifiers();
            relevant = true;
            break;
        default:
            break;
        }
        // A plain click or move drops the selection; Ctrl and Shift build it.
        if (relevant && !(mods & (Qt::ControlModifier | Qt::ShiftModifier)))
            return QItemSelectionModel::Clear;
        if (event->type() == QEvent::MouseMove && !(mods & (Qt::ControlModifier | Qt::ShiftModifier)))
            return QItemSelectionModel::NoUpdate;
    }
    return QTableView::selectionCommand(index, event);
}

void TDBGrid::focusMoved(QWidget *old, QWidget *now)
{
    if (!old || !now)
        return; // the whole window lost or got the focus
    const bool wasInside = old == this || isAncestorOf(old);
    const bool isInside = now == this || isAncestorOf(now);
    if (wasInside && !isInside)
        dropUntouchedNewRow();
}

void TDBGrid::dropUntouchedNewRow()
{
    TRecordTable *t = DataSet();
    if (!t || !t->Active() || t->State() != TDataSetState::Insert || t->Modified())
        return;
    RunReportingErrors(this, [&] { t->Cancel(); });
}

} // namespace kf
