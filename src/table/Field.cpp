// A field of a cursor: reads the current row or the edit buffer, writes the
// edit buffer.

#include "table/Field.h"

#include "common/Errors.h"
#include "common/LibraryErrors.h"
#include "table/RecordCursor.h"

namespace kf {

const TFieldDef &TField::Def() const
{
    const std::vector<TFieldDef> &defs = m_table->FieldDefs();
    if (m_index < 0 || size_t(m_index) >= defs.size())
        throw EDatabaseError(LibraryText("Field no longer exists"));
    return defs[m_index];
}

bool TField::IsNull() const
{
    Def();
    return m_table->impl().CurrentValue(m_index).IsNull();
}

int32_t TField::AsInteger() const
{
    const TFieldDef &def = Def();
    TCursor &d = m_table->impl();
    if (!d.Editing() && d.cur != kNoRow &&
        (def.DataType == TFieldType::Integer || def.DataType == TFieldType::Boolean))
        return d.Data().Int(d.cur, m_index); // null cells hold 0
    const TValue v = d.CurrentValue(m_index);
    if (v.IsNull())
        return 0;
    if (v.kind() != TValue::Kind::Bytes)
        return v.integer();
    if (def.DataType == TFieldType::Graphic)
        throw EConvertError(LibraryText("Invalid type conversion for field '%s'", def.Name));
    int32_t out;
    if (!ParseIntegerText(v.bytes(), out))
        RaiseNotAnInteger(v.bytes());
    return out;
}

std::string TField::AsString() const
{
    const TFieldDef &def = Def();
    const TValue v = m_table->impl().CurrentValue(m_index);
    if (v.IsNull())
        return std::string();
    switch (def.DataType) {
    case TFieldType::Integer:
        return std::to_string(v.integer());
    case TFieldType::Boolean:
        return v.boolean() ? "True" : "False";
    default:
        return v.bytes();
    }
}

bool TField::AsBoolean() const
{
    const TFieldDef &def = Def();
    const TValue v = m_table->impl().CurrentValue(m_index);
    if (v.IsNull())
        return false;
    if (v.kind() != TValue::Kind::Bytes)
        return v.integer() != 0;
    bool out;
    if (def.DataType == TFieldType::Graphic || !ParseBooleanText(v.bytes(), out))
        throw EConvertError(LibraryText("'%s' is not a valid boolean value", v.bytes()));
    return out;
}

std::string TField::AsBytes() const
{
    const TFieldDef &def = Def();
    if (def.DataType == TFieldType::Graphic || def.DataType == TFieldType::String) {
        const TValue v = m_table->impl().CurrentValue(m_index);
        return v.IsNull() ? std::string() : v.bytes();
    }
    return AsString();
}

TValue TField::Value() const
{
    Def();
    return m_table->impl().CurrentValue(m_index);
}

void TField::SetAsInteger(int32_t v)
{
    Def();
    m_table->impl().SetField(m_index, TValue(v));
}

void TField::SetAsString(const std::string &v)
{
    Def();
    m_table->impl().SetField(m_index, TValue(v));
}

void TField::SetAsBoolean(bool v)
{
    Def();
    m_table->impl().SetField(m_index, TValue(v));
}

void TField::SetAsBytes(const std::string &v)
{
    Def();
    m_table->impl().SetField(m_index, TValue(v));
}

void TField::SetValue(const TValue &v)
{
    Def();
    m_table->impl().SetField(m_index, v);
}

void TField::Clear()
{
    Def();
    m_table->impl().SetField(m_index, TValue());
}

} // namespace kf
