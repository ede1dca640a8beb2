// Datapacket save and load of a record table.

#include "common/Errors.h"
#include "table/RecordTable.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

using namespace kf;

namespace {

std::vector<TFieldDef> KeyFields()
{
    return {{"Name", TFieldType::String, 20, true}, {"KeyValue", TFieldType::Integer},
            {"KeyType", TFieldType::Integer},       {"KeyType2", TFieldType::Integer},
            {"Finger", TFieldType::Integer},        {"Glyph", TFieldType::Graphic},
            {"Width", TFieldType::Integer},         {"Height", TFieldType::Integer},
            {"X", TFieldType::Integer},             {"Y", TFieldType::Integer},
            {"Hint", TFieldType::String, 127}};
}

std::vector<TFieldDef> CharFields()
{
    return {{"Name", TFieldType::String, 30}, {"Code", TFieldType::Integer},
            {"KeyNo", TFieldType::Integer},   {"Shift", TFieldType::Boolean},
            {"AltGr", TFieldType::Boolean},   {"Accent", TFieldType::Integer}};
}

// Little-endian byte builder for expected packets.
struct Bytes {
    std::string s;
    Bytes &u8(unsigned v)
    {
        s.push_back(char(v & 0xFF));
        return *this;
    }
    Bytes &u16(unsigned v) { return u8(v).u8(v >> 8); }
    Bytes &u32(uint32_t v) { return u16(v & 0xFFFF).u16(v >> 16); }
    Bytes &raw(const std::string &b)
    {
        s += b;
        return *this;
    }
    Bytes &name(const std::string &n) { return u8(unsigned(n.size())).raw(n); }
    // Column descriptors as the format lays them out.
    Bytes &intCol(const std::string &n) { return name(n).u16(4).u16(0x01).u16(0).u16(0); }
    Bytes &boolCol(const std::string &n) { return name(n).u16(2).u16(0x03).u16(0).u16(0); }
    Bytes &textCol(const std::string &n, unsigned width, bool required = false)
    {
        return name(n).u16(1).u16(0x49).u16(required ? 4 : 0).u16(1).name("WIDTH").u16(2).u16(0x02).u16(width);
    }
    Bytes &pictureCol(const std::string &n)
    {
        return name(n).u16(4).u16(0x4B).u16(0).u16(1).name("SUBTYPE").u16(2).u16(0x49).u16(9).raw(
            std::string("Graphics\0", 9));
    }
    Bytes &header(unsigned cols, uint32_t rows, unsigned firstRow)
    {
        return u32(0xBDE01996u).u16(1).u16(0).u32(24).u16(cols).u32(rows).u32(3).u16(firstRow);
    }
};

std::string KeyDescriptors()
{
    Bytes b;
    b.textCol("Name", 20, true).intCol("KeyValue").intCol("KeyType").intCol("KeyType2").intCol("Finger");
    b.pictureCol("Glyph").intCol("Width").intCol("Height").intCol("X").intCol("Y").textCol("Hint", 127);
    b.u16(0);
    return b.s;
}

std::string CharDescriptors()
{
    Bytes b;
    b.textCol("Name", 30).intCol("Code").intCol("KeyNo").boolCol("Shift").boolCol("AltGr").intCol("Accent");
    b.u16(0);
    return b.s;
}

std::string EmptyCharPacket()
{
    return Bytes().header(6, 0, 121).raw(CharDescriptors()).s;
}

std::string Hex(const std::string &s)
{
    static const char *d = "0123456789abcdef";
    std::string out;
    for (unsigned char c : s) {
        out += d[c >> 4];
        out += d[c & 15];
        out += ' ';
    }
    return out;
}

} // namespace

TEST(DataPacket, EmptyKeyAndCharacterTablesHaveTheirExactBytes)
{
    TRecordTable key(KeyFields()), chars(CharFields());
    const std::string k = key.SaveToBytes();
    const std::string c = chars.SaveToBytes();
    EXPECT_EQ(k.size(), 227u);
    EXPECT_EQ(c.size(), 121u);
    EXPECT_EQ(Hex(k), Hex(Bytes().header(11, 0, 227).raw(KeyDescriptors()).s));
    EXPECT_EQ(Hex(c), Hex(EmptyCharPacket()));
}

TEST(DataPacket, OneRowOfEachTypeHasItsExactBytes)
{
    TRecordTable t({{"T", TFieldType::String, 40},
                    {"I", TFieldType::Integer},
                    {"B", TFieldType::Boolean},
                    {"P", TFieldType::Graphic}});
    Bytes head;
    head.textCol("T", 40).intCol("I").boolCol("B").pictureCol("P").u16(0);
    const unsigned firstRow = unsigned(24 + head.s.size());

    struct Case {
        const char *what;
        std::vector<TValue> values;
        std::string row;
    } cases[] = {
        {"values", {"ab", -2, true, std::string("\x01\x00\xff", 3)},
         Bytes().u8(0).u8(0x00).u8(2).raw("ab").u32(0xFFFFFFFEu).u16(1).u32(3).raw(std::string("\x01\x00\xff", 3)).s},
        {"false and empty text", {"", 0x01020304, false, TValue()},
         Bytes().u8(0).u8(0x40).u8(1).u8(0).u32(0x01020304).u16(0).s},
        {"all null", {TValue(), TValue(), TValue(), ""},
         Bytes().u8(0).u8(0x55).s},
        {"40-byte text", {std::string(40, 'x'), TValue(), TValue(), TValue()},
         Bytes().u8(0).u8(0x54).u8(40).raw(std::string(40, 'x')).s},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        t.EmptyDataSet();
        t.AppendRecord(c.values);
        const std::string expected = Bytes().header(4, 1, firstRow).raw(head.s).raw(c.row).s;
        const std::string got = t.SaveToBytes();
        EXPECT_EQ(Hex(got), Hex(expected));

        TRecordTable back;
        back.LoadFromBytes(got);
        ASSERT_EQ(back.RecordCount(), 1);
        for (int f = 0; f < 4; ++f) {
            TValue want = c.values[size_t(f)];
            if (f == 3 && !want.IsNull() && want.bytes().empty())
                want = TValue(); // an empty picture is no picture
            EXPECT_EQ(back.Fields(f).Value(), want) << f;
        }
    }
}

TEST(DataPacket, RoundTripKeepsDefinitionsNullsAndStoredOrder)
{
    TRecordTable key(KeyFields());
    key.SetIndexFieldNames("Name");
    key.AppendRecord({"Q", 16, 1, TValue(), 0, std::string("BM\0\x01", 4), 40, 40, -5, 10, "hint"});
    key.AppendRecord({"A", TValue(), TValue(), 2001, 9, TValue(), 0, 0, 0, 0, ""});
    std::stringstream buf;
    key.SaveToStream(buf);

    TRecordTable back;
    back.LoadFromStream(buf);
    ASSERT_EQ(back.FieldCount(), 11);
    for (int i = 0; i < 11; ++i) {
        EXPECT_EQ(back.FieldDefs()[size_t(i)].Name, KeyFields()[size_t(i)].Name);
        EXPECT_EQ(back.FieldDefs()[size_t(i)].DataType, KeyFields()[size_t(i)].DataType);
        EXPECT_EQ(back.FieldDefs()[size_t(i)].Size, KeyFields()[size_t(i)].Size);
        EXPECT_EQ(back.FieldDefs()[size_t(i)].Required, KeyFields()[size_t(i)].Required);
    }
    ASSERT_EQ(back.RecordCount(), 2);
    back.First(); // stored order, not the saving cursor's order
    EXPECT_EQ(back.FieldByName("Name").AsString(), "Q");
    EXPECT_EQ(back.FieldByName("Glyph").AsBytes(), std::string("BM\0\x01", 4));
    EXPECT_TRUE(back.FieldByName("KeyType2").IsNull());
    EXPECT_EQ(back.FieldByName("X").AsInteger(), -5);
    back.Next();
    EXPECT_TRUE(back.FieldByName("KeyValue").IsNull());
    EXPECT_TRUE(back.FieldByName("Glyph").IsNull());
    EXPECT_FALSE(back.FieldByName("Hint").IsNull()); // empty text is kept apart from null
    EXPECT_EQ(back.FieldByName("Hint").AsString(), "");
    EXPECT_EQ(back.SaveToBytes(), key.SaveToBytes());
}

TEST(DataPacket, LoadReplacesRowsForEveryCursorAndKeepsValidOrders)
{
    TRecordTable ctbl(CharFields());
    ctbl.AppendRecord({"x", 5});
    TRecordTable clone;
    clone.CloneCursor(ctbl);
    ctbl.SetIndexFieldNames("Code");

    TRecordTable source(CharFields());
    source.AppendRecord({"b", 98});
    source.AppendRecord({"a", 97});
    ctbl.LoadFromBytes(source.SaveToBytes());
    EXPECT_EQ(ctbl.IndexFieldNames(), "Code");
    ctbl.First();
    EXPECT_EQ(ctbl.FieldByName("Name").AsString(), "a");
    EXPECT_EQ(clone.RecordCount(), 2);
    clone.First();
    EXPECT_EQ(clone.FieldByName("Name").AsString(), "b");

    // A packet with other columns drops an order that no longer fits.
    TRecordTable other({{"Word", TFieldType::String, 40}});
    other.AppendRecord({"w"});
    ctbl.LoadFromBytes(other.SaveToBytes());
    EXPECT_EQ(ctbl.IndexFieldNames(), "");
    EXPECT_EQ(ctbl.FieldByName("Word").AsString(), "w");
}

TEST(DataPacket, ReaderSkipsUnknownPropertiesAndChangeRowsAndCutsText)
{
    Bytes b;
    // One text column of WIDTH 3 with two properties the reader does not know:
    // a varying one and an array of varying ones; one table property, a u32.
    Bytes cols;
    cols.name("T").u16(1).u16(0x49).u16(0).u16(3);
    cols.name("ODD").u16(2).u16(0x49).u16(3).raw("abc");
    cols.name("WIDTH").u16(2).u16(0x02).u16(3);
    cols.name("LIST").u16(1).u16(0xC9).u32(2).u8(1).raw("x").u8(0);
    cols.name("I").u16(4).u16(0x01).u16(0).u16(0);
    cols.u16(1).name("TABLEPROP").u16(4).u16(0x02).u32(77);
    Bytes rows;
    rows.u8(0).u8(0x00).u8(5).raw("hello").u32(1);              // cut to "hel"
    rows.u8(0x02).u8(0x04).u8(3).raw("del");                    // deleted row: ignored
    rows.u8(0x20).u8(0x00).u8(1).raw("d").u32(3);               // ignored
    rows.u8(0x01).u8(0x00).u8(3).raw("old").u32(2);             // original row: ignored
    rows.u8(0x08).u8(0x08).u8(4).raw(std::string("a\0bc", 4)); // text ends at the zero; I as in the original
    b.header(2, 5, unsigned(24 + cols.s.size())).raw(cols.s).raw(rows.s);

    TRecordTable t;
    t.LoadFromBytes(b.s);
    EXPECT_EQ(t.FieldByName("T").Size(), 3);
    ASSERT_EQ(t.RecordCount(), 2);
    t.First();
    EXPECT_EQ(t.FieldByName("T").AsString(), "hel");
    EXPECT_EQ(t.FieldByName("I").AsInteger(), 1);
    t.Next();
    EXPECT_EQ(t.FieldByName("T").AsString(), "a");
    EXPECT_EQ(t.FieldByName("I").AsInteger(), 2);
}

namespace {

// A packet written with an unmerged change log: columns T (text, WIDTH 10),
// I (integer), P (picture); each row a state byte, then the field status
// bitmap (two bits per column: 0 value, 1 null, 2 not changed), then values.
struct ChangeLogCase {
    const char *name;
    std::string rows;
    uint32_t rowCount;
    // The table's rows, in stored order, as "T|I|P" with "-" for null.
    std::vector<std::string> expected;
};

std::string ChangeLogPacket(const std::string &rows, uint32_t rowCount)
{
    Bytes cols;
    cols.textCol("T", 10).intCol("I").pictureCol("P").u16(0);
    return Bytes().header(3, rowCount, unsigned(24 + cols.s.size())).raw(cols.s).raw(rows).s;
}

// Status bitmap of one row: T, I, P.
unsigned Status(unsigned t, unsigned i, unsigned p) { return t | (i << 2) | (p << 4); }
constexpr unsigned V = 0, N = 1, U = 2; // value, null, not changed

std::vector<ChangeLogCase> ChangeLogCases()
{
    std::vector<ChangeLogCase> cases;
    cases.push_back({"one cell changed",
                     Bytes()
                         .u8(0x01).u8(Status(V, V, V)).u8(3).raw("abc").u32(5).u32(2).raw("BM")
                         .u8(0x08).u8(Status(U, V, U)).u32(7)
                         .s,
                     2, {"abc|7|BM"}});
    cases.push_back({"nothing changed",
                     Bytes()
                         .u8(0x01).u8(Status(V, V, N)).u8(3).raw("abc").u32(5)
                         .u8(0x08).u8(Status(U, U, U))
                         .s,
                     2, {"abc|5|-"}});
    cases.push_back({"a cell set to null",
                     Bytes()
                         .u8(0x01).u8(Status(V, V, V)).u8(1).raw("x").u32(5).u32(1).raw("P")
                         .u8(0x08).u8(Status(U, N, U))
                         .s,
                     2, {"x|-|P"}});
    cases.push_back({"changed twice",
                     Bytes()
                         .u8(0x01).u8(Status(V, V, N)).u8(1).raw("a").u32(1)
                         .u8(0x09).u8(Status(V, U, U)).u8(1).raw("b")
                         .u8(0x08).u8(Status(U, V, U)).u32(3)
                         .s,
                     3, {"b|3|-"}});
    cases.push_back({"among unchanged, new and deleted rows",
                     Bytes()
                         .u8(0x00).u8(Status(V, V, N)).u8(5).raw("first").u32(1)
                         .u8(0x01).u8(Status(V, V, N)).u8(6).raw("second").u32(2)
                         .u8(0x08).u8(Status(U, V, U)).u32(20)
                         .u8(0x04).u8(Status(V, N, N)).u8(3).raw("new")
                         .u8(0x02).u8(Status(V, N, N)).u8(4).raw("gone")
                         .u8(0x00).u8(Status(V, V, N)).u8(4).raw("last").u32(4)
                         .s,
                     6, {"first|1|-", "second|20|-", "new|-|-", "last|4|-"}});
    cases.push_back({"text of the original cut to the width",
                     Bytes()
                         .u8(0x01).u8(Status(V, N, N)).u8(12).raw("twelve chars")
                         .u8(0x08).u8(Status(U, V, N)).u32(9)
                         .s,
                     2, {"twelve cha|9|-"}});
    return cases;
}

void PrintTo(const ChangeLogCase &c, std::ostream *os)
{
    *os << c.name;
}

class ChangeLogPacketTest : public ::testing::TestWithParam<ChangeLogCase> {};

} // namespace

// The cells a changed row marks as not changed are those of its original row,
// as when the log is merged; original and deleted rows are not table rows.
TEST_P(ChangeLogPacketTest, NotChangedCellsComeFromTheOriginalRow)
{
    const ChangeLogCase &c = GetParam();
    TRecordTable t;
    t.LoadFromBytes(ChangeLogPacket(c.rows, c.rowCount));
    std::vector<std::string> got;
    for (t.First(); !t.Eof(); t.Next()) {
        std::string row;
        for (int f = 0; f < 3; ++f) {
            const TField field = t.Fields(f);
            row += f ? "|" : "";
            row += field.IsNull() ? "-" : f == 1 ? std::to_string(field.AsInteger()) : field.AsBytes();
        }
        got.push_back(row);
    }
    EXPECT_EQ(got, c.expected);
}

INSTANTIATE_TEST_SUITE_P(DataPacket, ChangeLogPacketTest, ::testing::ValuesIn(ChangeLogCases()),
                         [](const ::testing::TestParamInfo<ChangeLogCase> &caseInfo) {
                             std::string n;
                             for (const char *p = caseInfo.param.name; *p; ++p)
                                 n += std::isalnum(static_cast<unsigned char>(*p)) ? *p : '_';
                             return n;
                         });

namespace {

struct CorruptCase {
    const char *name;
    std::string packet;
    const char *message; // nullptr: any EDatabaseError
};

std::vector<CorruptCase> CorruptCases()
{
    const std::string empty = EmptyCharPacket();
    std::vector<CorruptCase> cases;
    cases.push_back({"empty stream", "", "Missing data provider or data packet"});
    cases.push_back({"short header", empty.substr(0, 10), "Invalid datapacket: the header is truncated"});
    std::string bad = empty;
    bad[0] = 'X';
    cases.push_back({"wrong magic", bad, "Invalid datapacket: wrong signature"});
    cases.push_back({"truncated descriptors", empty.substr(0, 60), nullptr});
    cases.push_back({"missing table properties", empty.substr(0, 119), nullptr});
    bad = empty;
    bad[22] = char(120);
    cases.push_back({"wrong first row offset", bad,
                     "Invalid datapacket: the offset of the first row does not match the field list"});
    bad = empty;
    bad[14] = 1;
    cases.push_back({"row count without rows", bad, "Invalid datapacket: the row count exceeds the data present"});
    bad = empty;
    bad[14] = char(0xFF);
    bad[15] = char(0xFF);
    bad[16] = char(0xFF);
    bad[17] = char(0xFF);
    cases.push_back({"huge row count", bad, "Invalid datapacket: the row count exceeds the data present"});
    cases.push_back({"trailing bytes", empty + "x", "Invalid datapacket: unexpected data after the last row"});
    bad = empty;
    bad[12] = 0;
    cases.push_back({"no columns", bad, "Invalid datapacket: no columns"});
    bad = empty;
    bad[12] = 7;
    cases.push_back({"more columns than described", bad, nullptr});
    bad = empty;
    bad[4] = 2;
    cases.push_back({"unknown version", bad, "Invalid datapacket: unsupported version 2"});

    // A one-column packet with a hand-made row tail.
    auto oneColumn = [](unsigned size, unsigned type, const std::string &rows, uint32_t nrows) {
        Bytes cols;
        cols.name("C").u16(size).u16(type).u16(0).u16(0).u16(0);
        return Bytes().header(1, nrows, unsigned(24 + cols.s.size())).raw(cols.s).raw(rows).s;
    };
    cases.push_back({"unsupported column type", oneColumn(8, 0x07, "", 0),
                     "Invalid datapacket: column 'C' has an unsupported type"});
    cases.push_back({"text longer than the data", oneColumn(1, 0x49, Bytes().u8(0).u8(0).u8(9).raw("abc").s, 1),
                     "Invalid datapacket: truncated text value"});
    cases.push_back({"picture longer than the data",
                     oneColumn(4, 0x4B, Bytes().u8(0).u8(0).u32(0xFFFFFFF0u).raw("abc").s, 1),
                     "Invalid datapacket: truncated picture value"});
    cases.push_back({"integer cut short", oneColumn(4, 0x01, Bytes().u8(0).u8(0).u16(1).s, 1),
                     "Invalid datapacket: truncated integer value"});
    cases.push_back({"field status 3", oneColumn(4, 0x01, Bytes().u8(0).u8(3).s, 1),
                     "Invalid datapacket: invalid field status in row 1"});
    cases.push_back({"fewer rows than counted", oneColumn(4, 0x01, Bytes().u8(0).u8(1).s, 2), nullptr});
    {
        Bytes cols;
        cols.name("C").u16(4).u16(0x01).u16(0).u16(1).name("P").u16(4).u16(0x80).u32(0x7FFFFFFF);
        cols.u16(0);
        cases.push_back({"property array beyond the data",
                         Bytes().header(1, 0, unsigned(24 + cols.s.size())).raw(cols.s).s,
                         "Invalid datapacket: truncated property array"});
    }
    // "Not changed" only means something right after the row as it was.
    cases.push_back({"not changed in the first row", oneColumn(4, 0x01, Bytes().u8(0x08).u8(2).s, 1),
                     "Invalid datapacket: row 1 leaves field 'C' unchanged but does not follow its original row"});
    cases.push_back({"not changed after an unchanged row",
                     oneColumn(4, 0x01, Bytes().u8(0).u8(0).u32(1).u8(0x08).u8(2).s, 2),
                     "Invalid datapacket: row 2 leaves field 'C' unchanged but does not follow its original row"});
    cases.push_back({"not changed after a deleted row",
                     oneColumn(4, 0x01, Bytes().u8(0x02).u8(0).u32(1).u8(0x08).u8(2).s, 2),
                     "Invalid datapacket: row 2 leaves field 'C' unchanged but does not follow its original row"});
    cases.push_back({"not changed after a new row",
                     oneColumn(4, 0x01, Bytes().u8(0x04).u8(0).u32(1).u8(0x08).u8(2).s, 2),
                     "Invalid datapacket: row 2 leaves field 'C' unchanged but does not follow its original row"});
    {
        Bytes cols;
        cols.name("C").u16(4).u16(0x01).u16(0).u16(0);
        cols.name("c").u16(4).u16(0x01).u16(0).u16(0).u16(0);
        cases.push_back({"duplicate column", Bytes().header(2, 0, unsigned(24 + cols.s.size())).raw(cols.s).s,
                         "Invalid datapacket: duplicate column 'c'"});
    }
    return cases;
}

class CorruptPacket : public ::testing::TestWithParam<CorruptCase> {};

} // namespace

TEST_P(CorruptPacket, IsRefusedAndChangesNothing)
{
    const CorruptCase &c = GetParam();
    TRecordTable t(CharFields());
    t.AppendRecord({"kept", 1});
    try {
        t.LoadFromBytes(c.packet);
        FAIL() << "accepted";
    } catch (const EDatabaseError &e) {
        if (c.message) {
            EXPECT_STREQ(e.what(), c.message);
        }
    }
    ASSERT_EQ(t.FieldCount(), 6);
    ASSERT_EQ(t.RecordCount(), 1);
    EXPECT_EQ(t.FieldByName("Name").AsString(), "kept");
}

INSTANTIATE_TEST_SUITE_P(DataPacket, CorruptPacket, ::testing::ValuesIn(CorruptCases()),
                         [](const ::testing::TestParamInfo<CorruptCase> &caseInfo) {
                             std::string n;
                             for (const char *p = caseInfo.param.name; *p; ++p)
                                 n += std::isalnum(static_cast<unsigned char>(*p)) ? *p : '_';
                             return n;
                         });

TEST(DataPacket, EveryTruncationOfAValidPacketIsRefused)
{
    TRecordTable t(KeyFields());
    t.AppendRecord({"Q", 16, 1, TValue(), 0, std::string("BMxx"), 40, 40, -5, 10, "hint"});
    t.AppendRecord({"A", 1, 2, 3, 4, TValue(), 0, 0, 0, 0, ""});
    const std::string packet = t.SaveToBytes();
    for (size_t n = 0; n < packet.size(); ++n) {
        TRecordTable u;
        EXPECT_THROW(u.LoadFromBytes(packet.substr(0, n)), EDatabaseError) << n;
    }
}
