#pragma once
// A field of a cursor: a light handle (cursor + column) that reads the cursor's
// current row, or its edit buffer while the cursor is in edit or insert state,
// and writes the edit buffer. Get one with TRecordTable::FieldByName() or
// Fields(i); do not keep it across a LoadFromStream/CreateDataSet, which may
// change the columns.
//
// Reading: null reads as 0, empty text or false. AsString() of an integer gives
// its decimal form; AsInteger() of a text parses it (EConvertError if it is not
// an integer). Writing needs edit or insert state (EDatabaseError otherwise);
// text is cut at a zero byte and to the field's Size.

#include "table/FieldDef.h"
#include "table/FieldValue.h"

#include <cstdint>
#include <string>

namespace kf {

class TRecordTable;

class TField {
public:
    TField(TRecordTable *table, int index) : m_table(table), m_index(index) {}

    int Index() const { return m_index; }
    const TFieldDef &Def() const;
    const std::string &FieldName() const { return Def().Name; }
    TFieldType DataType() const { return Def().DataType; }
    int Size() const { return Def().Size; }
    bool Required() const { return Def().Required; }
    TRecordTable &DataSet() const { return *m_table; }

    bool IsNull() const;
    int32_t AsInteger() const;
    std::string AsString() const;
    bool AsBoolean() const;
    std::string AsBytes() const; // picture bytes (or the text's bytes)
    TValue Value() const;        // null, or the value in the field's own kind

    void SetAsInteger(int32_t v);
    void SetAsString(const std::string &v);
    void SetAsBoolean(bool v);
    void SetAsBytes(const std::string &v);
    void SetValue(const TValue &v); // converts to the field's type; a null value clears
    void Clear();                   // sets the field null

private:
    TRecordTable *m_table; // not owned
    int m_index;
};

} // namespace kf
