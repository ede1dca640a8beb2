#include "model/KeyLayout.h"

#include "common/CodePage.h"
#include "model/KeyCodes.h"
#include "model/MainData.h"
#include "table/RecordTable.h"

#include <QChar>

#include <algorithm>
#include <cmath>
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
    std::vector<int> sized;
    for (size_t i = 0; i < Keys.size(); ++i) {
        Keys[i].Row = -1;
        if (Keys[i].Width > 0 && Keys[i].Height > 0)
            sized.push_back(int(i));
    }
    const auto cx = [&](int k) { return Keys[size_t(k)].X + Keys[size_t(k)].Width / 2.0; };
    const auto cy = [&](int k) { return Keys[size_t(k)].Y + Keys[size_t(k)].Height / 2.0; };
    // The height at which a key meets another: its centre's, or for a key
    // half as high again as the other or more (the ISO Enter) the centre of
    // its lowest part of the other's height, so it belongs to the row of its
    // lower part.
    const auto heightOf = [&](int k, int other) {
        const TLayoutKey &key = Keys[size_t(k)];
        const int h = Keys[size_t(other)].Height;
        return 2 * key.Height >= 3 * h ? key.Y + key.Height - h / 2.0 : cy(k);
    };

    // A row is a chain of keys, each linked to its neighbour on the right, so
    // a row may slope, bend or break into halves as long as each key lies
    // where its neighbour's row leads. A key's possible right neighbours: the
    // keys whose centre lies beyond its right edge and within a key's height
    // of the line its row follows there, except one that lies beyond another
    // possible neighbour at least as close to that line (a row is not jumped
    // over). The line: level at first; then, once, level or the slope either
    // key has to its left (else right) neighbour, whichever is closest, so a
    // wide key of a sloping row (Space) finds its neighbour by its row, not
    // by its centre's height alone, and the halves of a split board meet.
    std::vector<int> rightOf(Keys.size(), -1), leftOf(Keys.size(), -1);
    std::vector<double> slope(Keys.size(), 0.0);
    struct Link {
        double rise; // the vertical distance from the row's line
        double run;  // the horizontal distance of the centres
        int left, right;
    };
    std::vector<Link> links, beside;
    for (int pass = 0; pass < 2; ++pass) {
        if (pass == 1)
            for (int k : sized) {
                const int l = leftOf[size_t(k)] >= 0 ? leftOf[size_t(k)] : k;
                const int r = leftOf[size_t(k)] >= 0 ? k : rightOf[size_t(k)];
                slope[size_t(k)] = r >= 0 && l != r ? (cy(r) - cy(l)) / (cx(r) - cx(l)) : 0.0;
            }
        links.clear();
        for (int a : sized) {
            const TLayoutKey &ka = Keys[size_t(a)];
            const double edge = ka.X + ka.Width;
            beside.clear();
            for (int b : sized) {
                const double run = cx(b) - cx(a), ya = heightOf(a, b), yb = heightOf(b, a);
                const double rise = std::min({std::abs(yb - ya), std::abs(yb - (ya + slope[size_t(a)] * run)),
                                              std::abs(ya - (yb - slope[size_t(b)] * run))});
                if (b != a && cx(b) > edge && rise < (ka.Height + Keys[size_t(b)].Height) / 2.0)
                    beside.push_back({rise, run, a, b});
            }
            for (const Link &l : beside)
                if (std::none_of(beside.begin(), beside.end(),
                                 [&](const Link &c) { return c.run < l.run && c.rise <= l.rise; }))
                    links.push_back(l);
        }
        // The nearest links first, a rise weighing three times a run (a key
        // beyond a gap of two keys is nearer than one half a row up); of
        // equally near ones the one from the lower key. A key takes one
        // neighbour on each side.
        const auto cost = [](const Link &l) { return l.run + 3 * l.rise; };
        std::stable_sort(links.begin(), links.end(), [&](const Link &x, const Link &y) {
            if (cost(x) != cost(y))
                return cost(x) < cost(y);
            return cy(x.left) > cy(y.left);
        });
        std::fill(rightOf.begin(), rightOf.end(), -1);
        std::fill(leftOf.begin(), leftOf.end(), -1);
        for (const Link &l : links)
            if (rightOf[size_t(l.left)] < 0 && leftOf[size_t(l.right)] < 0) {
                rightOf[size_t(l.left)] = l.right;
                leftOf[size_t(l.right)] = l.left;
            }
    }

    // Every chain from its left end; the rows from the top by their keys'
    // mean centre.
    Rows.clear();
    std::vector<double> meanY;
    for (int k : sized) {
        if (leftOf[size_t(k)] >= 0)
            continue;
        Rows.emplace_back();
        double sum = 0;
        for (int at = k; at >= 0; at = rightOf[size_t(at)]) {
            Rows.back().push_back(at);
            sum += cy(at);
        }
        meanY.push_back(sum / double(Rows.back().size()));
    }
    std::vector<size_t> order(Rows.size());
    std::iota(order.begin(), order.end(), size_t(0));
    std::stable_sort(order.begin(), order.end(), [&](size_t x, size_t y) { return meanY[x] < meanY[y]; });
    std::vector<std::vector<int>> rows;
    rows.reserve(Rows.size());
    for (size_t i : order)
        rows.push_back(std::move(Rows[i]));
    Rows = std::move(rows);
    for (size_t r = 0; r < Rows.size(); ++r)
        for (int k : Rows[r])
            Keys[size_t(k)].Row = int(r);
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
