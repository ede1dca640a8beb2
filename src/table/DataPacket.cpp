#include "table/DataPacket.h"

#include "common/AsciiText.h"
#include "common/Errors.h"
#include "common/Translation.h"

#include <cstring>
#include <unordered_set>

namespace kf {

namespace {

constexpr uint32_t kMagic = 0xBDE01996u;
constexpr uint16_t kTypeInt = 0x01;
constexpr uint16_t kTypeBool = 0x03;
constexpr uint16_t kTypeUInt = 0x02;
constexpr uint16_t kTypeText = 0x49;
constexpr uint16_t kTypeBytes = 0x4B;
constexpr uint16_t kVarying = 0x40;
constexpr uint16_t kArray = 0x80;
constexpr uint16_t kRequired = 0x04;
constexpr uint8_t kRowOriginal = 0x01; // the row as it was before a logged change
constexpr uint8_t kRowSkipMask = kRowOriginal | 0x02 | 0x20; // original, deleted, detail rows
// Field status, two bits per column in a row's bitmap.
constexpr uint8_t kStatusNull = 1;
constexpr uint8_t kStatusUnchanged = 2; // as in the original row before it
constexpr uint8_t kStatusInvalid = 3;

class Writer {
public:
    void U8(uint8_t v) { m_out.push_back(static_cast<char>(v)); }
    void U16(uint16_t v)
    {
        U8(v & 0xFF);
        U8(v >> 8);
    }
    void U32(uint32_t v)
    {
        U16(v & 0xFFFF);
        U16(v >> 16);
    }
    void Bytes(const char *p, size_t n) { m_out.append(p, n); }
    void Name(const std::string &name)
    {
        if (name.size() > 255)
            throw EDatabaseError(LibraryText("Field name too long for a datapacket: '%s'", name));
        U8(static_cast<uint8_t>(name.size()));
        Bytes(name.data(), name.size());
    }
    void Prefix(size_t width, size_t n)
    {
        if (width == 1)
            U8(static_cast<uint8_t>(n));
        else if (width == 2)
            U16(static_cast<uint16_t>(n));
        else
            U32(static_cast<uint32_t>(n));
    }
    size_t Size() const { return m_out.size(); }
    void Patch16(size_t at, uint16_t v)
    {
        m_out[at] = static_cast<char>(v & 0xFF);
        m_out[at + 1] = static_cast<char>(v >> 8);
    }
    std::string &Out() { return m_out; }

private:
    std::string m_out;
};

// Width of a text column's length prefix.
size_t TextPrefix(const TFieldDef &d) { return d.Size > 255 ? 2 : 1; }

class Reader {
public:
    Reader(const char *p, size_t n) : m_p(reinterpret_cast<const uint8_t *>(p)), m_n(n) {}

    [[noreturn]] static void Fail(const std::string &why)
    {
        throw EDatabaseError(LibraryText("Invalid datapacket: %s", why));
    }
    size_t Pos() const { return m_pos; }
    size_t Left() const { return m_n - m_pos; }
    void Need(size_t n, const char *what) const
    {
        if (n > Left())
            Fail(std::string("truncated ") + what);
    }
    uint8_t U8(const char *what)
    {
        Need(1, what);
        return m_p[m_pos++];
    }
    uint16_t U16(const char *what)
    {
        Need(2, what);
        const uint16_t v = uint16_t(m_p[m_pos] | (m_p[m_pos + 1] << 8));
        m_pos += 2;
        return v;
    }
    uint32_t U32(const char *what)
    {
        Need(4, what);
        const uint32_t v = uint32_t(m_p[m_pos]) | (uint32_t(m_p[m_pos + 1]) << 8) |
                           (uint32_t(m_p[m_pos + 2]) << 16) | (uint32_t(m_p[m_pos + 3]) << 24);
        m_pos += 4;
        return v;
    }
    uint32_t Uint(size_t width, const char *what)
    {
        switch (width) {
        case 1: return U8(what);
        case 2: return U16(what);
        case 4: return U32(what);
        default: Fail(std::string("bad length prefix width in ") + what);
        }
    }
    const char *Take(size_t n, const char *what)
    {
        Need(n, what);
        const char *p = reinterpret_cast<const char *>(m_p + m_pos);
        m_pos += n;
        return p;
    }
    std::string Name(const char *what)
    {
        const uint8_t n = U8(what);
        return std::string(Take(n, what), n);
    }

private:
    const uint8_t *m_p;
    size_t m_n;
    size_t m_pos = 0;
};

// Skips a property value of this size/type; returns nothing.
void SkipValue(Reader &r, uint16_t size, uint16_t type)
{
    const bool varying = (type & kVarying) != 0;
    if (type & kArray) {
        const uint32_t count = r.U32("property array");
        if (varying) {
            // Every element carries at least its prefix, so the loop is
            // bounded by the bytes present.
            if (size == 0)
                Reader::Fail("property array without a length prefix");
            for (uint32_t i = 0; i < count; ++i) {
                const uint32_t len = r.Uint(size, "property value");
                r.Take(len, "property value");
            }
        } else {
            const uint64_t total = uint64_t(count) * size;
            if (total > r.Left())
                Reader::Fail("truncated property array");
            r.Take(static_cast<size_t>(total), "property array");
        }
    } else if (varying) {
        const uint32_t len = r.Uint(size, "property value");
        r.Take(len, "property value");
    } else {
        r.Take(size, "property value");
    }
}

struct ColumnInfo {
    size_t prefix = 0; // varying types: width of the length prefix
};

} // namespace

std::string EncodeDataPacket(const TRowData &data)
{
    const size_t ncols = data.defs.size();
    if (ncols > 0xFFFF)
        throw EDatabaseError(LibraryText("Too many fields for a datapacket"));
    Writer w;
    w.U32(kMagic);
    w.U16(1); // major
    w.U16(0); // minor
    w.U32(24);
    w.U16(static_cast<uint16_t>(ncols));
    w.U32(data.liveCount);
    w.U32(3);
    const size_t firstRowAt = w.Size();
    w.U16(0); // patched below

    for (const TFieldDef &d : data.defs) {
        w.Name(d.Name);
        switch (d.DataType) {
        case TFieldType::Integer:
            w.U16(4);
            w.U16(kTypeInt);
            break;
        case TFieldType::Boolean:
            w.U16(2);
            w.U16(kTypeBool);
            break;
        case TFieldType::String:
            w.U16(static_cast<uint16_t>(TextPrefix(d)));
            w.U16(kTypeText);
            break;
        case TFieldType::Graphic:
            w.U16(4);
            w.U16(kTypeBytes);
            break;
        }
        w.U16(d.Required ? kRequired : 0);
        if (d.DataType == TFieldType::String) {
            w.U16(1);
            w.Name("WIDTH");
            w.U16(2);
            w.U16(kTypeUInt);
            w.U16(static_cast<uint16_t>(d.Size));
        } else if (d.DataType == TFieldType::Graphic) {
            w.U16(1);
            w.Name("SUBTYPE");
            w.U16(2);
            w.U16(kTypeText);
            static const char kGraphics[] = "Graphics"; // 8 characters and the zero
            w.U16(sizeof kGraphics);
            w.Bytes(kGraphics, sizeof kGraphics);
        } else {
            w.U16(0);
        }
    }
    w.U16(0); // table properties
    if (w.Size() > 0xFFFF)
        throw EDatabaseError(LibraryText("Field list too long for a datapacket"));
    w.Patch16(firstRowAt, static_cast<uint16_t>(w.Size()));

    const size_t bitmapBytes = (ncols + 3) / 4;
    std::string bitmap;
    std::string values;
    for (uint32_t row = 0; row < data.SlotCount(); ++row) {
        if (!data.alive[row])
            continue;
        bitmap.assign(bitmapBytes, '\0');
        values.clear();
        for (size_t c = 0; c < ncols; ++c) {
            const int col = static_cast<int>(c);
            const TFieldDef &d = data.defs[c];
            bool null = data.IsNull(row, col);
            if (!null && d.DataType == TFieldType::Graphic && data.Bytes(row, col).empty())
                null = true;
            if (null) {
                bitmap[c / 4] = char(uint8_t(bitmap[c / 4]) | (1u << ((c % 4) * 2)));
                continue;
            }
            switch (d.DataType) {
            case TFieldType::Integer: {
                const uint32_t v = static_cast<uint32_t>(data.Int(row, col));
                const char b[4] = {char(v & 0xFF), char((v >> 8) & 0xFF), char((v >> 16) & 0xFF),
                                   char(v >> 24)};
                values.append(b, 4);
                break;
            }
            case TFieldType::Boolean: {
                const char b[2] = {char(data.Int(row, col) ? 1 : 0), 0};
                values.append(b, 2);
                break;
            }
            case TFieldType::String: {
                std::string_view s = data.Bytes(row, col);
                const size_t prefix = TextPrefix(d);
                const size_t limit = prefix == 1 ? 255 : 0xFFFF;
                if (s.size() > limit)
                    s = s.substr(0, limit);
                const size_t n = s.empty() ? 1 : s.size();
                if (prefix == 1) {
                    values.push_back(char(n));
                } else {
                    values.push_back(char(n & 0xFF));
                    values.push_back(char(n >> 8));
                }
                if (s.empty())
                    values.push_back('\0');
                else
                    values.append(s.data(), s.size());
                break;
            }
            case TFieldType::Graphic: {
                const std::string_view s = data.Bytes(row, col);
                const uint32_t n = static_cast<uint32_t>(s.size());
                const char b[4] = {char(n & 0xFF), char((n >> 8) & 0xFF), char((n >> 16) & 0xFF),
                                   char(n >> 24)};
                values.append(b, 4);
                values.append(s.data(), s.size());
                break;
            }
            }
        }
        w.U8(0);
        w.Bytes(bitmap.data(), bitmap.size());
        w.Bytes(values.data(), values.size());
    }
    return std::move(w.Out());
}

void DecodeDataPacket(const char *bytes, size_t size, TRowData &out, const std::vector<TFieldDef> *fixed)
{
    if (size == 0 || bytes == nullptr)
        throw EDatabaseError(LibraryText("Missing data provider or data packet"));
    Reader r(bytes, size);
    if (size < 24)
        Reader::Fail("the header is truncated");
    if (r.U32("header") != kMagic)
        Reader::Fail("wrong signature");
    const uint16_t major = r.U16("header");
    r.U16("header"); // minor
    if (major != 1)
        Reader::Fail("unsupported version " + std::to_string(major));
    if (r.U32("header") != 24)
        Reader::Fail("unexpected header size");
    const uint16_t ncols = r.U16("header");
    const uint32_t nrows = r.U32("header");
    r.U32("header"); // 3
    const uint16_t firstRow = r.U16("header");
    if (ncols == 0)
        Reader::Fail("no columns");

    std::vector<TFieldDef> defs;
    std::vector<ColumnInfo> info;
    std::unordered_set<std::string> names;
    defs.reserve(ncols);
    for (uint16_t c = 0; c < ncols; ++c) {
        TFieldDef d;
        d.Name = r.Name("column descriptor");
        if (d.Name.empty())
            Reader::Fail("a column without a name");
        if (!names.insert(LowerAscii(d.Name)).second)
            Reader::Fail("duplicate column '" + d.Name + "'");
        const uint16_t fsize = r.U16("column descriptor");
        const uint16_t ftype = r.U16("column descriptor");
        const uint16_t attrs = r.U16("column descriptor");
        d.Required = (attrs & kRequired) != 0;
        ColumnInfo ci;
        if (ftype == kTypeInt && fsize == 4) {
            d.DataType = TFieldType::Integer;
        } else if (ftype == kTypeBool && fsize == 2) {
            d.DataType = TFieldType::Boolean;
        } else if ((ftype == kTypeText || ftype == kTypeBytes) &&
                   (fsize == 1 || fsize == 2 || fsize == 4)) {
            d.DataType = ftype == kTypeText ? TFieldType::String : TFieldType::Graphic;
            ci.prefix = fsize;
            if (d.DataType == TFieldType::String)
                d.Size = fsize == 1 ? 255 : 0xFFFF;
        } else {
            Reader::Fail("column '" + d.Name + "' has an unsupported type");
        }
        const uint16_t nprops = r.U16("column descriptor");
        for (uint16_t p = 0; p < nprops; ++p) {
            const std::string pname = r.Name("column property");
            const uint16_t psize = r.U16("column property");
            const uint16_t ptype = r.U16("column property");
            const bool plainNumber = (ptype & (kVarying | kArray)) == 0 &&
                                     (psize == 1 || psize == 2 || psize == 4);
            if (d.DataType == TFieldType::String && LowerAscii(pname) == "width" && plainNumber) {
                const uint32_t width = r.Uint(psize, "column property");
                if (width > 0)
                    d.Size = static_cast<int>(width < 0xFFFF ? width : 0xFFFF);
            } else {
                SkipValue(r, psize, ptype);
            }
        }
        defs.push_back(std::move(d));
        info.push_back(ci);
    }
    const uint16_t ntableProps = r.U16("table properties");
    for (uint16_t p = 0; p < ntableProps; ++p) {
        r.Name("table property");
        const uint16_t psize = r.U16("table property");
        const uint16_t ptype = r.U16("table property");
        SkipValue(r, psize, ptype);
    }
    if (r.Pos() != firstRow)
        Reader::Fail("the offset of the first row does not match the field list");

    const size_t bitmapBytes = (size_t(ncols) + 3) / 4;
    // Every row takes at least its state byte and bitmap.
    if (uint64_t(nrows) * (1 + bitmapBytes) > r.Left())
        Reader::Fail("the row count exceeds the data present");
    // A null cell takes two bits in the packet but several bytes in memory:
    // cap the cells so a small hostile packet cannot demand a huge table.
    if (uint64_t(nrows) * ncols > (uint64_t(1) << 25))
        Reader::Fail("too many cells");

    if (fixed)
        ApplyFixedFields(defs, *fixed);
    out.Define(std::move(defs));
    out.Reserve(nrows);
    const std::vector<TFieldDef> &d = out.defs;

    // The cells of the row being read and of the row before it, pointing into
    // the packet. A row of an unmerged change log marks the cells it did not
    // change as "not changed": they are the cells of the original row, which
    // comes right before it (as merging the log makes them).
    struct Cell {
        bool null = true;
        int32_t i = 0;
        const char *p = nullptr;
        uint32_t n = 0;
    };
    std::vector<Cell> cells(ncols), previous(ncols);
    bool previousIsOriginal = false;
    std::vector<uint8_t> status(ncols);
    for (uint32_t row = 0; row < nrows; ++row) {
        const uint8_t state = r.U8("row");
        const char *bitmap = r.Take(bitmapBytes, "row");
        for (uint16_t c = 0; c < ncols; ++c) {
            status[c] = (uint8_t(bitmap[c / 4]) >> ((c % 4) * 2)) & 3;
            if (status[c] == kStatusInvalid)
                Reader::Fail("invalid field status in row " + std::to_string(row + 1));
            if (status[c] == kStatusUnchanged && !previousIsOriginal)
                Reader::Fail("row " + std::to_string(row + 1) + " leaves field '" + d[c].Name
                             + "' unchanged but does not follow its original row");
        }
        for (uint16_t c = 0; c < ncols; ++c) {
            Cell &cell = cells[c];
            if (status[c] == kStatusUnchanged) {
                cell = previous[c];
                continue;
            }
            cell = Cell();
            if (status[c] == kStatusNull)
                continue;
            cell.null = false;
            switch (d[c].DataType) {
            case TFieldType::Integer:
                cell.i = static_cast<int32_t>(r.U32("integer value"));
                break;
            case TFieldType::Boolean:
                cell.i = r.U16("boolean value") != 0 ? 1 : 0;
                break;
            case TFieldType::String:
                cell.n = r.Uint(info[c].prefix, "text value");
                cell.p = r.Take(cell.n, "text value");
                break;
            case TFieldType::Graphic:
                cell.n = r.Uint(info[c].prefix, "picture value");
                cell.p = r.Take(cell.n, "picture value");
                break;
            }
        }
        if ((state & kRowSkipMask) == 0) {
            out.BeginRow();
            for (uint16_t c = 0; c < ncols; ++c) {
                const Cell &cell = cells[c];
                if (cell.null) {
                    out.PushNull(c);
                    continue;
                }
                switch (d[c].DataType) {
                case TFieldType::Integer:
                case TFieldType::Boolean:
                    out.PushInt(c, cell.i);
                    break;
                case TFieldType::String: {
                    size_t len = cell.n;
                    if (const void *z = std::memchr(cell.p, 0, len))
                        len = static_cast<const char *>(z) - cell.p;
                    if (len > size_t(d[c].Size))
                        len = size_t(d[c].Size);
                    out.PushBytes(c, cell.p, len);
                    break;
                }
                case TFieldType::Graphic:
                    if (cell.n == 0)
                        out.PushNull(c);
                    else
                        out.PushBytes(c, cell.p, cell.n);
                    break;
                }
            }
        }
        cells.swap(previous);
        previousIsOriginal = (state & kRowOriginal) != 0;
    }
    if (r.Left() != 0)
        Reader::Fail("unexpected data after the last row");
}

} // namespace kf
