#include "table/RowStore.h"

#include "common/AsciiText.h"
#include "common/Errors.h"
#include "common/Translation.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdint>
#include <cstdlib>

namespace kf {

void TRowData::Define(std::vector<TFieldDef> fieldDefs)
{
    defs = std::move(fieldDefs);
    cols.assign(defs.size(), Column());
    arena.clear();
    arena.shrink_to_fit();
    garbage = 0;
    alive.clear();
    liveCount = 0;
}

void TRowData::ClearRows()
{
    for (Column &c : cols)
        c = Column();
    arena.clear();
    arena.shrink_to_fit();
    garbage = 0;
    alive.clear();
    alive.shrink_to_fit();
    liveCount = 0;
}

void TRowData::Reserve(size_t rows)
{
    alive.reserve(rows);
    for (size_t c = 0; c < cols.size(); ++c) {
        cols[c].nulls.reserve(rows);
        if (IsVarying(static_cast<int>(c))) {
            cols[c].offs.reserve(rows);
            cols[c].lens.reserve(rows);
        } else {
            cols[c].ints.reserve(rows);
        }
    }
}

uint32_t TRowData::BeginRow()
{
    if (alive.size() >= UINT32_MAX - 1)
        throw EDatabaseError(LibraryText("Too many rows in one table"));
    alive.push_back(1);
    ++liveCount;
    return static_cast<uint32_t>(alive.size() - 1);
}

void TRowData::PushNull(int col)
{
    Column &c = cols[col];
    c.nulls.push_back(1);
    if (IsVarying(col)) {
        c.offs.push_back(arena.size());
        c.lens.push_back(0);
    } else {
        c.ints.push_back(0);
    }
}

void TRowData::PushInt(int col, int32_t v)
{
    Column &c = cols[col];
    c.nulls.push_back(0);
    c.ints.push_back(v);
}

void TRowData::PushBytes(int col, const char *p, size_t n)
{
    Column &c = cols[col];
    if (n > UINT32_MAX)
        throw EDatabaseError(LibraryText("Value too large"));
    c.nulls.push_back(0);
    c.offs.push_back(arena.size());
    c.lens.push_back(static_cast<uint32_t>(n));
    arena.insert(arena.end(), p, p + n);
}

uint32_t TRowData::AppendRow(const std::vector<TValue> &values)
{
    const uint32_t row = BeginRow();
    for (size_t c = 0; c < cols.size(); ++c) {
        const int col = static_cast<int>(c);
        const TValue &v = c < values.size() ? values[c] : TValue();
        if (v.IsNull())
            PushNull(col);
        else if (IsVarying(col))
            PushBytes(col, v.bytes().data(), v.bytes().size());
        else
            PushInt(col, v.integer());
    }
    return row;
}

void TRowData::ReserveMore(size_t more, size_t bytes)
{
    auto grow = [](auto &v, size_t extra) {
        const size_t want = v.size() + extra;
        if (want > v.capacity())
            v.reserve(std::max(want, v.capacity() * 2));
    };
    grow(arena, bytes);
    grow(alive, more);
    for (size_t c = 0; c < cols.size(); ++c) {
        grow(cols[c].nulls, more);
        if (IsVarying(static_cast<int>(c))) {
            grow(cols[c].offs, more);
            grow(cols[c].lens, more);
        } else {
            grow(cols[c].ints, more);
        }
    }
}

namespace {
// The length of text up to its first zero byte (words are short: a plain
// loop beats a library call for them).
inline size_t ZeroCut(const char *p, size_t len)
{
    if (len > 32) {
        const void *z = std::memchr(p, 0, len);
        return z ? size_t(static_cast<const char *>(z) - p) : len;
    }
    for (size_t i = 0; i < len; ++i)
        if (p[i] == 0)
            return i;
    return len;
}
} // namespace

void TRowData::AppendCellRows(const TCell *cells, size_t rows)
{
    const size_t width = cols.size();
    // The rows up to the first refused one are taken; every check comes
    // before anything is stored, so the columns stay in step.
    size_t taken = rows;
    std::string refusal;
    for (size_t r = 0; r < rows && taken == rows; ++r) {
        for (size_t c = 0; c < width; ++c) {
            const TCell &cell = cells[r * width + c];
            if (!cell.null && cell.s.size() > UINT32_MAX) {
                taken = r;
                refusal = LibraryText("Value too large");
                break;
            }
            if (!defs[c].Required)
                continue;
            bool empty = cell.null;
            if (!empty && IsVarying(static_cast<int>(c)))
                empty = cell.s.empty() || cell.s[0] == '\0';
            if (empty) {
                taken = r;
                refusal = LibraryText("Field '%s' must have a value", defs[c].Name);
                break;
            }
        }
    }
    const size_t base = alive.size();
    if (base + taken >= UINT32_MAX - 1)
        throw EDatabaseError(LibraryText("Too many rows in one table"));
    for (size_t c = 0; c < width; ++c) {
        Column &col = cols[c];
        col.nulls.resize(base + taken);
        const TFieldType type = defs[c].DataType;
        if (type == TFieldType::Integer || type == TFieldType::Boolean) {
            col.ints.resize(base + taken);
            for (size_t r = 0; r < taken; ++r) {
                const TCell &cell = cells[r * width + c];
                col.nulls[base + r] = cell.null ? 1 : 0;
                col.ints[base + r] = cell.null ? 0 : (type == TFieldType::Boolean ? (cell.i != 0 ? 1 : 0) : cell.i);
            }
            continue;
        }
        // Text and pictures: the lengths first (cut as stored), then the bytes
        // in one piece of the arena.
        col.offs.resize(base + taken);
        col.lens.resize(base + taken);
        const size_t limit = type == TFieldType::String && defs[c].Size > 0 ? size_t(defs[c].Size) : SIZE_MAX;
        size_t total = 0;
        for (size_t r = 0; r < taken; ++r) {
            const TCell &cell = cells[r * width + c];
            size_t len = 0;
            if (!cell.null) {
                len = cell.s.size();
                if (type == TFieldType::String && len > 0) {
                    if (len > limit)
                        len = limit;
                    len = ZeroCut(cell.s.data(), len);
                }
            }
            // An empty picture is no picture.
            col.nulls[base + r] = cell.null || (type == TFieldType::Graphic && len == 0) ? 1 : 0;
            col.lens[base + r] = static_cast<uint32_t>(len);
            total += len;
        }
        size_t at = arena.size();
        arena.resize(at + total);
        for (size_t r = 0; r < taken; ++r) {
            const size_t len = col.lens[base + r];
            col.offs[base + r] = at;
            if (len)
                std::memcpy(arena.data() + at, cells[r * width + c].s.data(), len);
            at += len;
        }
    }
    alive.resize(base + taken, 1);
    liveCount += static_cast<uint32_t>(taken);
    if (taken < rows)
        throw EDatabaseError(refusal);
}

void TRowData::StoreBytes(int col, uint32_t row, std::string_view bytes)
{
    Column &c = cols[col];
    if (bytes.size() > UINT32_MAX)
        throw EDatabaseError(LibraryText("Value too large"));
    const uint32_t oldLen = c.lens[row];
    if (bytes.size() <= oldLen) {
        if (!bytes.empty())
            std::memmove(arena.data() + c.offs[row], bytes.data(), bytes.size());
        garbage += oldLen - bytes.size();
    } else {
        garbage += oldLen;
        c.offs[row] = arena.size();
        arena.insert(arena.end(), bytes.begin(), bytes.end());
    }
    c.lens[row] = static_cast<uint32_t>(bytes.size());
}

void TRowData::SetCell(uint32_t row, int col, const TValue &v)
{
    Column &c = cols[col];
    c.nulls[row] = v.IsNull() ? 1 : 0;
    if (IsVarying(col))
        StoreBytes(col, row, v.IsNull() ? std::string_view() : std::string_view(v.bytes()));
    else
        c.ints[row] = v.IsNull() ? 0 : v.integer();
}

void TRowData::SetRow(uint32_t row, const std::vector<TValue> &values)
{
    for (size_t c = 0; c < cols.size(); ++c)
        SetCell(row, static_cast<int>(c), c < values.size() ? values[c] : TValue());
    MaybeCompact();
}

void TRowData::KillRow(uint32_t row)
{
    if (alive[row]) {
        alive[row] = 0;
        --liveCount;
    }
}

void TRowData::FreeRow(uint32_t row)
{
    for (size_t c = 0; c < cols.size(); ++c) {
        Column &col = cols[c];
        col.nulls[row] = 1;
        if (IsVarying(static_cast<int>(c))) {
            garbage += col.lens[row];
            col.lens[row] = 0;
        } else {
            col.ints[row] = 0;
        }
    }
    MaybeCompact();
}

void TRowData::ReviveRow(uint32_t row, const std::vector<TValue> &values)
{
    if (!alive[row]) {
        alive[row] = 1;
        ++liveCount;
    }
    SetRow(row, values);
}

void TRowData::KeepFixedFields(const std::vector<TFieldDef> &fixed)
{
    std::vector<TFieldDef> kept = defs;
    ApplyFixedFields(kept, fixed);
    for (size_t c = 0; c < defs.size(); ++c) {
        if (defs[c].DataType != TFieldType::String || kept[c].Size <= 0 || kept[c].Size >= defs[c].Size)
            continue;
        Column &col = cols[c];
        const uint32_t width = static_cast<uint32_t>(kept[c].Size);
        for (size_t r = 0; r < col.lens.size(); ++r)
            if (col.lens[r] > width) {
                garbage += col.lens[r] - width;
                col.lens[r] = width;
            }
    }
    defs = std::move(kept);
}

TValue TRowData::Value(uint32_t row, int col) const
{
    if (IsNull(row, col))
        return TValue();
    switch (defs[col].DataType) {
    case TFieldType::Integer:
        return TValue(Int(row, col));
    case TFieldType::Boolean:
        return TValue(Int(row, col) != 0);
    default:
        return TValue(std::string(Bytes(row, col)));
    }
}

std::vector<TValue> TRowData::RowValues(uint32_t row) const
{
    std::vector<TValue> v;
    v.reserve(cols.size());
    for (size_t c = 0; c < cols.size(); ++c)
        v.push_back(Value(row, static_cast<int>(c)));
    return v;
}

void TRowData::MaybeCompact()
{
    if (garbage < (1u << 20) || garbage * 2 < arena.size())
        return;
    BigVector<char> fresh;
    fresh.reserve(arena.size() - garbage);
    for (size_t c = 0; c < cols.size(); ++c) {
        if (!IsVarying(static_cast<int>(c)))
            continue;
        Column &col = cols[c];
        for (size_t r = 0; r < col.offs.size(); ++r) {
            const uint64_t off = fresh.size();
            fresh.insert(fresh.end(), arena.begin() + col.offs[r],
                         arena.begin() + col.offs[r] + col.lens[r]);
            col.offs[r] = off;
        }
    }
    arena.swap(fresh);
    garbage = 0;
}

bool ParseBooleanText(std::string_view s, bool &out)
{
    if (EqualsNoCaseAscii(s, "true") || EqualsNoCaseAscii(s, "t") || s == "1") {
        out = true;
        return true;
    }
    if (EqualsNoCaseAscii(s, "false") || EqualsNoCaseAscii(s, "f") || s == "0") {
        out = false;
        return true;
    }
    return false;
}

std::string CutText(std::string_view s, int width)
{
    const size_t z = s.find('\0');
    if (z != std::string_view::npos)
        s = s.substr(0, z);
    if (width > 0 && s.size() > size_t(width))
        s = s.substr(0, size_t(width));
    return std::string(s);
}

bool ConvertForField(const TFieldDef &def, const TValue &in, TValue &out)
{
    if (in.IsNull()) {
        out.SetNull();
        return true;
    }
    switch (def.DataType) {
    case TFieldType::Integer:
        if (in.kind() == TValue::Kind::Bytes) {
            int32_t v;
            if (!ParseIntegerText(in.bytes(), v))
                return false;
            out.AssignInteger(v);
        } else {
            out.AssignInteger(in.integer());
        }
        return true;
    case TFieldType::Boolean:
        if (in.kind() == TValue::Kind::Bytes) {
            bool b;
            if (!ParseBooleanText(in.bytes(), b))
                return false;
            out.AssignBoolean(b);
        } else {
            out.AssignBoolean(in.integer() != 0);
        }
        return true;
    case TFieldType::String: {
        std::string number;
        std::string_view s;
        if (in.kind() == TValue::Kind::Bytes)
            s = in.bytes();
        else if (in.kind() == TValue::Kind::Boolean)
            s = in.boolean() ? "True" : "False";
        else
            s = number = std::to_string(in.integer());
        const size_t z = s.find('\0');
        if (z != std::string_view::npos)
            s = s.substr(0, z);
        if (def.Size > 0 && s.size() > size_t(def.Size))
            s = s.substr(0, size_t(def.Size));
        if (&in == &out) {
            const std::string copy(s);
            out.AssignBytes(copy.data(), copy.size());
        } else {
            out.AssignBytes(s.data(), s.size());
        }
        return true;
    }
    case TFieldType::Graphic:
        if (in.kind() != TValue::Kind::Bytes)
            return false;
        if (in.bytes().empty())
            out.SetNull(); // an empty picture is no picture
        else if (&in != &out)
            out.AssignBytes(in.bytes().data(), in.bytes().size());
        return true;
    }
    return false;
}

void TRowData::ReadRow(uint32_t row, std::vector<TValue> &out) const
{
    out.resize(cols.size());
    for (size_t c = 0; c < cols.size(); ++c) {
        const int col = static_cast<int>(c);
        if (IsNull(row, col)) {
            out[c].SetNull();
            continue;
        }
        switch (defs[c].DataType) {
        case TFieldType::Integer:
            out[c].AssignInteger(Int(row, col));
            break;
        case TFieldType::Boolean:
            out[c].AssignBoolean(Int(row, col) != 0);
            break;
        default: {
            const std::string_view b = Bytes(row, col);
            out[c].AssignBytes(b.data(), b.size());
        }
        }
    }
}

} // namespace kf
