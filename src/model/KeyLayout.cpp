#include "model/KeyLayout.h"

#include "common/CodePage.h"
#include "model/KeyCodes.h"
#include "model/MainData.h"
#include "table/RecordTable.h"

#include <QChar>

#include <algorithm>
#include <numeric>

namespace kf {

namespace {

// The integer of a field of a row, 0 for null or a missing field.
int32_t number(const TRecordTable &t, int row, int field)
{
    if (field < 0)
        return 0;
    const TValue v = t.FieldValueAt(row, field);
    return v.IsNull() ? 0 : v.integer();
}

bool flag(const TRecordTable &t, int row, int field)
{
    if (field < 0)
        return false;
    const TValue v = t.FieldValueAt(row, field);
    return !v.IsNull() && v.boolean();
}

} // namespace

TKeyLayout TKeyLayout::FromTables(const TRecordTable &keys, const TRecordTable &chars)
{
    TKeyLayout layout;
    if (keys.Active()) {
        const int fName = keys.FindFieldIndex("Name"), fValue = keys.FindFieldIndex("KeyValue"),
                  fType = keys.FindFieldIndex("KeyType"), fType2 = keys.FindFieldIndex("KeyType2"),
                  fFinger = keys.FindFieldIndex("Finger"), fWidth = keys.FindFieldIndex("Width"),
                  fHeight = keys.FindFieldIndex("Height"), fX = keys.FindFieldIndex("X"),
                  fY = keys.FindFieldIndex("Y");
        const int count = keys.RecordCount();
        layout.Keys.reserve(size_t(count));
        for (int i = 0; i < count; ++i) {
            TLayoutKey k;
            k.Value = number(keys, i, fValue);
            if (fName >= 0) {
                const TValue name = keys.FieldValueAt(i, fName);
                if (!name.IsNull())
                    k.Name = name.bytes();
            }
            k.Type = number(keys, i, fType);
            k.Type2 = number(keys, i, fType2);
            k.Finger = number(keys, i, fFinger);
            if (!Fingers::IsFinger(k.Finger))
                k.Finger = 0;
            k.X = number(keys, i, fX);
            k.Y = number(keys, i, fY);
            k.Width = number(keys, i, fWidth);
            k.Height = number(keys, i, fHeight);
            layout.Keys.push_back(std::move(k));
        }
    }
    if (chars.Active()) {
        const int fCode = chars.FindFieldIndex("Code"), fKeyNo = chars.FindFieldIndex("KeyNo"),
                  fShift = chars.FindFieldIndex("Shift"), fAltGr = chars.FindFieldIndex("AltGr"),
                  fAccent = chars.FindFieldIndex("Accent");
        const int count = chars.RecordCount();
        layout.Chars.reserve(size_t(count));
        for (int i = 0; i < count; ++i) {
            TLayoutChar c;
            const int32_t code = number(chars, i, fCode);
            c.Code = code >= 1 && code <= 255 ? uint8_t(code) : 0;
            c.KeyNo = number(chars, i, fKeyNo);
            c.Shift = flag(chars, i, fShift);
            c.AltGr = flag(chars, i, fAltGr);
            c.Accent = number(chars, i, fAccent);
            c.Key = layout.KeyByValue(c.KeyNo);
            layout.Chars.push_back(c);
        }
    }
    layout.findRows();
    return layout;
}

TKeyLayout TKeyLayout::FromDataMod(const TDataMod &dm)
{
    TKeyLayout layout = FromTables(dm.MainTbl, dm.CtblF);
    layout.FingerColors = dm.FingerColor;
    return layout;
}

void TKeyLayout::findRows()
{
    std::vector<int> order;
    for (size_t i = 0; i < Keys.size(); ++i)
        if (Keys[i].Width > 0 && Keys[i].Height > 0)
            order.push_back(int(i));
    // Twice the centre, to stay in integers.
    const auto centre2 = [&](int k) { return 2 * Keys[size_t(k)].Y + Keys[size_t(k)].Height; };
    std::stable_sort(order.begin(), order.end(), [&](int a, int b) { return centre2(a) < centre2(b); });

    // A key opens a new row when its centre lies below the bottom of the
    // row's first key (the row's keys are taken top first, so the first is
    // the highest).
    Rows.clear();
    int rowBottom2 = 0;
    for (int k : order) {
        if (Rows.empty() || centre2(k) >= rowBottom2) {
            Rows.emplace_back();
            const TLayoutKey &first = Keys[size_t(k)];
            rowBottom2 = 2 * (first.Y + first.Height);
        }
        Rows.back().push_back(k);
    }
    for (size_t r = 0; r < Rows.size(); ++r) {
        std::stable_sort(Rows[r].begin(), Rows[r].end(),
                         [&](int a, int b) { return Keys[size_t(a)].X < Keys[size_t(b)].X; });
        for (int k : Rows[r])
            Keys[size_t(k)].Row = int(r);
    }
}

int TKeyLayout::KeyByValue(int32_t value) const
{
    for (size_t i = 0; i < Keys.size(); ++i)
        if (Keys[i].Value == value)
            return int(i);
    return -1;
}

uint8_t TKeyLayout::CharAt(int key, TKeyLevel level) const
{
    const bool shift = (int(level) & 1) != 0, altGr = (int(level) & 2) != 0;
    for (const TLayoutChar &c : Chars)
        if (c.Key == key && c.Accent == 0 && c.Shift == shift && c.AltGr == altGr)
            return c.Code;
    return 0;
}

bool TKeyLayout::TypesLetter(int key) const
{
    if (key < 0 || size_t(key) >= Keys.size() || !KeyTypes::IsCharType(Keys[size_t(key)].Type))
        return false;
    const uint8_t code = CharAt(key, TKeyLevel::Plain);
    if (code == 0)
        return false;
    const char32_t u = CodePage::current().toUnicode(code);
    return u < 0x10000 && QChar(char16_t(u)).isLetter();
}

bool TKeyLayout::IsLetterRow(int row) const
{
    if (row < 0 || size_t(row) >= Rows.size())
        return false;
    const auto &keys = Rows[size_t(row)];
    return std::count_if(keys.begin(), keys.end(), [&](int k) { return TypesLetter(k); }) >= 3;
}

int TKeyLayout::HomeRow() const
{
    std::vector<int> letterRows;
    for (int r = 0; r < int(Rows.size()); ++r)
        if (IsLetterRow(r))
            letterRows.push_back(r);
    if (letterRows.empty())
        return -1;
    return letterRows.size() == 1 ? letterRows.front() : letterRows[letterRows.size() - 2];
}

int TKeyLayout::ModifierKey(int32_t keyType) const
{
    for (size_t i = Keys.size(); i-- > 0;)
        if (Keys[i].Type == keyType)
            return int(i);
    return -1;
}

} // namespace kf
