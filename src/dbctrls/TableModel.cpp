#include "dbctrls/TableModel.h"

#include "common/CodePage.h"
#include "common/Errors.h"
#include "common/LibraryErrors.h"
#include "common/IntegerText.h"
#include "model/GlyphCodec.h"

#include <algorithm>

namespace kf {

namespace {

QString valueText(const TValue &v, const CodePage &codePage)
{
    switch (v.kind()) {
    case TValue::Kind::Null:
        return QString();
    case TValue::Kind::Integer:
        return QString::number(v.integer());
    case TValue::Kind::Boolean:
        return v.boolean() ? QStringLiteral("True") : QStringLiteral("False");
    case TValue::Kind::Bytes:
        return codePage.decode(v.bytes());
    }
    return QString();
}

bool valueCode(const TValue &v, int32_t &code)
{
    if (v.kind() == TValue::Kind::Integer || v.kind() == TValue::Kind::Boolean) {
        code = v.integer();
        return true;
    }
    if (v.kind() == TValue::Kind::Bytes)
        return ParseIntegerText(v.bytes(), code);
    return false;
}

const TCodeEntry *entryForCode(const TColumn &c, int32_t code)
{
    for (const TCodeEntry &e : c.Codes)
        if (e.Code == code)
            return &e;
    return nullptr;
}

const TCodeEntry *entryForName(const TColumn &c, const QString &name)
{
    for (const TCodeEntry &e : c.Codes)
        if (e.Name.compare(name.trimmed(), Qt::CaseInsensitive) == 0)
            return &e;
    return nullptr;
}

} // namespace

TTableModel::TTableModel(QObject *parent) : QAbstractTableModel(parent) {}

TTableModel::~TTableModel() = default;

void TTableModel::SetColumns(std::vector<TColumn> columns)
{
    beginResetModel();
    m_wanted = std::move(columns);
    resolveColumns();
    endResetModel();
}

TColumnKind TTableModel::KindOf(int column) const
{
    return column >= 0 && column < int(m_columns.size()) ? m_columns[size_t(column)].Kind
                                                         : TColumnKind::Text;
}

int TTableModel::FieldIndexOf(int column) const
{
    return column >= 0 && column < int(m_fieldIndex.size()) ? m_fieldIndex[size_t(column)] : -1;
}

void TTableModel::resolveColumns()
{
    m_columns.clear();
    m_fieldIndex.clear();
    const bool active = table() && table()->Active();
    std::vector<TColumn> wanted = m_wanted;
    if (wanted.empty() && active)
        for (const TFieldDef &d : table()->FieldDefs())
            wanted.emplace_back(d.Name, QString::fromStdString(d.Name), 0);
    for (TColumn c : wanted) {
        const int f = active ? table()->FindFieldIndex(c.FieldName) : -1;
        const TFieldDef *def = f >= 0 ? &table()->FieldDefs()[size_t(f)] : nullptr;
        if (c.Title.isEmpty())
            c.Title = QString::fromStdString(c.FieldName);
        if (c.Kind == TColumnKind::Auto) {
            c.Kind = TColumnKind::Text;
            if (def) {
                switch (def->DataType) {
                case TFieldType::String: c.Kind = TColumnKind::Text; break;
                case TFieldType::Integer: c.Kind = TColumnKind::Number; break;
                case TFieldType::Boolean: c.Kind = TColumnKind::Check; break;
                case TFieldType::Graphic: c.Kind = TColumnKind::Picture; break;
                }
            }
        }
        if (c.Width <= 0)
            c.Width = def && def->DataType == TFieldType::String ? std::clamp(def->Size, 4, 40) : 8;
        m_columns.push_back(std::move(c));
        m_fieldIndex.push_back(f);
    }
}

void TTableModel::syncNewRow()
{
    m_newRow = table() && table()->Active() && table()->State() == TDataSetState::Insert;
    if (!m_newRow)
        return;
    int pos = m_lastCurrent.IsNull() ? -1 : table()->ViewIndexOf(m_lastCurrent);
    if (pos < 0)
        pos = table()->RecordCount();
    m_newRowPos = std::clamp(pos, 0, table()->RecordCount());
}

void TTableModel::rememberCurrent()
{
    if (!table() || !table()->Active() || table()->State() == TDataSetState::Insert)
        return;
    m_lastCurrent = table()->RecNo() > 0 ? table()->GetBookmark() : TBookmark();
}

int TTableModel::viewRowOf(int engineRow) const
{
    return m_newRow && engineRow >= m_newRowPos ? engineRow + 1 : engineRow;
}

int TTableModel::engineRowOf(int viewRow) const
{
    if (!m_newRow || viewRow < m_newRowPos)
        return viewRow;
    return viewRow == m_newRowPos ? -1 : viewRow - 1;
}

int TTableModel::CurrentRow() const
{
    if (m_newRow)
        return m_newRowPos;
    if (!table() || !table()->Active())
        return -1;
    const int recNo = table()->RecNo();
    return recNo > 0 ? viewRowOf(recNo - 1) : -1;
}

TBookmark TTableModel::BookmarkAt(int row) const
{
    const int e = engineRowOf(row);
    if (!table() || e < 0 || e >= table()->RecordCount())
        return TBookmark();
    return table()->RowAt(e);
}

void TTableModel::MoveTo(int row)
{
    if (!table() || !table()->Active() || row < 0 || row >= rowCount())
        return;
    if (row == CurrentRow() || IsNewRow(row))
        return;
    const TBookmark target = BookmarkAt(row);
    table()->GotoBookmark(target); // posts the row in edit first
}

void TTableModel::EnsureEditing(int row)
{
    if (!table() || !table()->Active())
        return;
    if (!IsNewRow(row))
        MoveTo(row);
    if (table()->State() == TDataSetState::Browse)
        table()->Edit();
}

bool TTableModel::showsBuffer(int row) const
{
    switch (table()->State()) {
    case TDataSetState::Insert:
        return IsNewRow(row);
    case TDataSetState::Edit:
        return row == CurrentRow();
    default:
        return false;
    }
}

TValue TTableModel::valueAt(int row, int field) const
{
    if (showsBuffer(row))
        return table()->Fields(field).Value();
    const int e = engineRowOf(row);
    if (e < 0)
        return TValue(); // the new row, once its insert has ended
    return table()->FieldValueAt(e, field);
}

void TTableModel::TextReadingChanged()
{
    if (rowCount() > 0 && columnCount() > 0)
        emit dataChanged(index(0, 0), index(rowCount() - 1, columnCount() - 1));
}

void TTableModel::SetTextCodePage(std::shared_ptr<const CodePage> codePage)
{
    if (codePage == m_textCodePage)
        return;
    m_textCodePage = std::move(codePage);
    TextReadingChanged();
}

int TTableModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : m_rowCount;
}

void TTableModel::recount()
{
    m_rowCount = table() && table()->Active() ? table()->RecordCount() + (m_newRow ? 1 : 0) : 0;
}

int TTableModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_columns.size());
}

QVariant TTableModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || !table() || index.row() >= rowCount() || index.column() >= columnCount())
        return QVariant();
    try {
        return cellData(index.row(), index.column(), role);
    } catch (const std::exception &) {
        return QVariant(); // a row that vanished under a paint shows nothing
    }
}

QVariant TTableModel::cellData(int row, int column, int role) const
{
    const TColumn &c = m_columns[size_t(column)];
    if (role == KindRole)
        return int(c.Kind);
    if (role == Qt::TextAlignmentRole)
        return c.Kind == TColumnKind::Number ? QVariant(int(Qt::AlignRight | Qt::AlignVCenter))
                                             : QVariant(int(Qt::AlignLeft | Qt::AlignVCenter));
    const int f = m_fieldIndex[size_t(column)];
    if (f < 0)
        return QVariant();
    switch (role) {
    case Qt::DisplayRole:
    case Qt::EditRole:
    case Qt::AccessibleTextRole:
    case Qt::CheckStateRole:
    case PictureRole:
        break;
    default:
        return QVariant();
    }
    const TValue v = valueAt(row, f);
    switch (c.Kind) {
    case TColumnKind::Check: {
        const bool on = v.kind() == TValue::Kind::Bytes ? !v.bytes().empty() : v.integer() != 0;
        if (role == Qt::CheckStateRole)
            return on ? Qt::Checked : Qt::Unchecked;
        if (role == Qt::EditRole)
            return on;
        if (role == Qt::AccessibleTextRole)
            return on ? QStringLiteral("Checked") : QStringLiteral("Not checked");
        return QVariant();
    }
    case TColumnKind::Picture: {
        if (role != PictureRole && role != Qt::AccessibleTextRole)
            return QVariant();
        const QImage image = v.kind() == TValue::Kind::Bytes ? m_pictures.Picture(v.bytes()) : QImage();
        if (role == PictureRole)
            return image;
        return image.isNull() ? QStringLiteral("No picture")
                              : QStringLiteral("Picture %1 x %2").arg(image.width()).arg(image.height());
    }
    case TColumnKind::CodeList: {
        if (role == Qt::CheckStateRole || role == PictureRole)
            return QVariant();
        int32_t code = 0;
        const bool has = valueCode(v, code);
        if (role == Qt::EditRole)
            return has ? QVariant(code) : QVariant();
        const TCodeEntry *e = has ? entryForCode(c, code) : nullptr;
        return e ? e->Name : QString(); // blank when no entry has the code
    }
    case TColumnKind::Number:
    case TColumnKind::Text:
    case TColumnKind::Auto:
        if (role == Qt::CheckStateRole || role == PictureRole)
            return QVariant();
        return valueText(v, m_textCodePage ? *m_textCodePage : CodePage::current());
    }
    return QVariant();
}

bool TTableModel::setData(const QModelIndex &index, const QVariant &value, int role)
{
    if (!index.isValid() || !table() || !table()->Active() || index.row() >= rowCount())
        return false;
    if (!(flags(index) & (Qt::ItemIsEditable | Qt::ItemIsUserCheckable)))
        return false;
    const TColumnKind kind = KindOf(index.column());
    if (role == Qt::CheckStateRole && kind != TColumnKind::Check)
        return false;
    if (role != Qt::CheckStateRole && role != Qt::EditRole)
        return false;
    setCell(index.row(), index.column(), value, role);
    return true;
}

void TTableModel::setCell(int row, int column, const QVariant &value, int role)
{
    const TColumn &c = m_columns[size_t(column)];
    const int f = m_fieldIndex[size_t(column)];
    if (f < 0)
        return;
    // An unchanged value leaves the row as it is (closing an editor commits).
    const QVariant before = cellData(row, column, role);
    switch (c.Kind) {
    case TColumnKind::Check: {
        const bool on = role == Qt::CheckStateRole ? value.toInt() == Qt::Checked : value.toBool();
        if (before.isValid() && (role == Qt::CheckStateRole ? before.toInt() == Qt::Checked : before.toBool()) == on)
            return;
        EnsureEditing(row);
        table()->Fields(f).SetAsBoolean(on);
        return;
    }
    case TColumnKind::Picture:
        return;
    case TColumnKind::CodeList: {
        bool isCode = value.typeId() == QMetaType::Int || value.typeId() == QMetaType::LongLong;
        int32_t code = 0;
        bool clear = false;
        if (isCode) {
            code = value.toInt();
        } else if (value.toString().trimmed().isEmpty()) {
            clear = true;
        } else if (const TCodeEntry *e = entryForName(c, value.toString())) {
            code = e->Code;
        } else {
            code = StrToInt(value.toString());
        }
        if (clear ? !before.isValid() : (before.isValid() && before.toInt() == code))
            return;
        EnsureEditing(row);
        if (clear)
            table()->Fields(f).Clear();
        else
            table()->Fields(f).SetAsInteger(code);
        return;
    }
    case TColumnKind::Number: {
        const QString text = value.toString().trimmed();
        if (text == before.toString())
            return;
        const bool clear = text.isEmpty();
        const int32_t n = clear ? 0 : StrToInt(text);
        EnsureEditing(row);
        if (clear)
            table()->Fields(f).Clear();
        else
            table()->Fields(f).SetAsInteger(n);
        return;
    }
    case TColumnKind::Text:
    case TColumnKind::Auto: {
        const QString text = value.toString();
        if (text == before.toString())
            return;
        // The tables hold code-page bytes: a character the code page lacks
        // would be stored as '?' and typed by the tutor as one.
        const CodePage &cp = m_textCodePage ? *m_textCodePage : CodePage::current();
        if (const QString lacking = cp.unheldMessage(text); !lacking.isEmpty())
            throw EConvertError(lacking.toStdString());
        EnsureEditing(row);
        table()->Fields(f).SetAsString(cp.encode(text));
        return;
    }
    }
}

Qt::ItemFlags TTableModel::flags(const QModelIndex &index) const
{
    if (!index.isValid())
        return Qt::NoItemFlags;
    Qt::ItemFlags f = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
    const TColumn &c = m_columns[size_t(index.column())];
    if (c.ReadOnly || FieldIndexOf(index.column()) < 0)
        return f;
    switch (c.Kind) {
    case TColumnKind::Picture:
        return f;
    case TColumnKind::Check:
        return f | Qt::ItemIsUserCheckable;
    default:
        return f | Qt::ItemIsEditable;
    }
}

QVariant TTableModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation == Qt::Horizontal) {
        if (section < 0 || section >= columnCount())
            return QVariant();
        if (role == Qt::DisplayRole || role == Qt::AccessibleTextRole)
            return m_columns[size_t(section)].Title;
        return QVariant();
    }
    if (role != Qt::DisplayRole && role != Qt::AccessibleTextRole && role != Qt::ToolTipRole)
        return QVariant();
    if (!table() || section != CurrentRow())
        return role == Qt::DisplayRole ? QVariant(QString()) : QVariant();
    const TDataSetState state = table()->State();
    if (role == Qt::DisplayRole)
        return state == TDataSetState::Insert ? QStringLiteral("*")
               : state == TDataSetState::Edit ? QStringLiteral("I")
                                              : QStringLiteral("\u25B6");
    return state == TDataSetState::Insert ? QStringLiteral("New row")
           : state == TDataSetState::Edit ? QStringLiteral("Row in edit")
                                          : QStringLiteral("Current row");
}

void TTableModel::rowRefreshed(int row)
{
    if (row < 0 || row >= rowCount() || columnCount() == 0)
        return;
    emit dataChanged(index(row, 0), index(row, columnCount() - 1));
}

void TTableModel::DataSetAboutToReset(TRecordTable &)
{
    if (!m_resetting) {
        m_resetting = true;
        beginResetModel();
    }
}

void TTableModel::DataSetReset(TRecordTable &)
{
    if (!m_resetting)
        beginResetModel();
    m_resetting = false;
    m_pictures.Clear(); // only pictures of rows still shown are kept
    resolveColumns();
    rememberCurrent();
    syncNewRow();
    recount();
    endResetModel();
    m_lastIndicatorRow = CurrentRow();
    emit CurrentRowMoved(CurrentRow());
    emit EditStateChanged();
}

void TTableModel::RowsAboutToBeInserted(TRecordTable &, int first, int last)
{
    const bool before = m_newRow && first < m_newRowPos;
    const int v = before ? first : viewRowOf(first);
    beginInsertRows(QModelIndex(), v, v + (last - first));
}

void TTableModel::RowsInserted(TRecordTable &, int first, int last)
{
    if (m_newRow && first < m_newRowPos)
        m_newRowPos += last - first + 1;
    m_rowCount += last - first + 1;
    endInsertRows();
}

void TTableModel::RowsAboutToBeRemoved(TRecordTable &, int first, int last)
{
    if (m_newRow && first < m_newRowPos && last >= m_newRowPos) {
        // The removed rows lie on both sides of the new row: re-read everything.
        m_splitRemove = true;
        beginResetModel();
        return;
    }
    const int v = viewRowOf(first);
    beginRemoveRows(QModelIndex(), v, v + (last - first));
}

void TTableModel::RowsRemoved(TRecordTable &, int first, int last)
{
    if (m_splitRemove) {
        m_splitRemove = false;
        m_newRowPos = first;
        recount();
        endResetModel();
        return;
    }
    if (m_newRow && last < m_newRowPos)
        m_newRowPos -= last - first + 1;
    m_rowCount -= last - first + 1;
    endRemoveRows();
}

void TTableModel::RowChanged(TRecordTable &, int viewIndex)
{
    rowRefreshed(viewRowOf(viewIndex));
}

void TTableModel::CurrentRowChanged(TRecordTable &)
{
    rememberCurrent();
    const int row = CurrentRow();
    if (m_lastIndicatorRow >= 0 && m_lastIndicatorRow < rowCount())
        emit headerDataChanged(Qt::Vertical, m_lastIndicatorRow, m_lastIndicatorRow);
    if (row >= 0)
        emit headerDataChanged(Qt::Vertical, row, row);
    m_lastIndicatorRow = row;
    emit CurrentRowMoved(row);
}

void TTableModel::StateChanged(TRecordTable &)
{
    const bool inserting = table()->State() == TDataSetState::Insert;
    if (inserting && !m_newRow) {
        int pos = m_lastCurrent.IsNull() ? -1 : table()->ViewIndexOf(m_lastCurrent);
        if (pos < 0)
            pos = table()->RecordCount();
        pos = std::clamp(pos, 0, table()->RecordCount());
        beginInsertRows(QModelIndex(), pos, pos);
        m_newRow = true;
        m_newRowPos = pos;
        ++m_rowCount;
        endInsertRows();
    } else if (!inserting && m_newRow) {
        beginRemoveRows(QModelIndex(), m_newRowPos, m_newRowPos);
        m_newRow = false;
        --m_rowCount;
        endRemoveRows();
    }
    rememberCurrent();
    const int row = CurrentRow();
    rowRefreshed(row);
    if (m_lastIndicatorRow >= 0 && m_lastIndicatorRow < rowCount())
        emit headerDataChanged(Qt::Vertical, m_lastIndicatorRow, m_lastIndicatorRow);
    if (row >= 0)
        emit headerDataChanged(Qt::Vertical, row, row);
    m_lastIndicatorRow = row;
    emit EditStateChanged();
    emit CurrentRowMoved(row);
}

void TTableModel::CurrentValuesChanged(TRecordTable &, int fieldIndex)
{
    const int row = CurrentRow();
    if (row < 0 || row >= rowCount())
        return;
    for (int c = 0; c < columnCount(); ++c)
        if (fieldIndex < 0 || m_fieldIndex[size_t(c)] == fieldIndex)
            emit dataChanged(index(row, c), index(row, c));
}

void TTableModel::BindingAboutToChange()
{
    // A reset already begun (by the cursor, or a removal around the new row)
    // ends with the change.
    if (!m_resetting && !m_splitRemove)
        beginResetModel();
    m_resetting = true;
}

void TTableModel::BindingChanged()
{
    if (!m_resetting && !m_splitRemove)
        beginResetModel();
    m_resetting = false;
    m_splitRemove = false;
    m_newRow = false;
    m_lastCurrent = TBookmark();
    m_pictures.Clear();
    resolveColumns();
    syncNewRow();
    rememberCurrent();
    recount();
    endResetModel();
    m_lastIndicatorRow = CurrentRow();
    emit CurrentRowMoved(CurrentRow());
    emit EditStateChanged();
}

} // namespace kf
