#include "model/MainData.h"
#include "common/CodePage.h"
#include "common/Errors.h"
#include "model/PackageJson.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QProcess>
#include <QTemporaryDir>

#include <ctime>
#include <fstream>
#include <sstream>

using kf::CodePage;
using kf::PackageSettings;
using kf::TDataMod;
using kf::TFieldDef;
using kf::TFieldType;
using kf::TRecordTable;
using kf::TValue;
using kf::ZipArchive;

namespace {

std::string readAll(const std::string &path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

void writeAll(const std::string &path, const std::string &bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), std::streamsize(bytes.size()));
}

QStringList folderEntries(const QString &dir)
{
    return QDir(dir).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden, QDir::Name);
}

std::string glyph(char fill)
{
    // A Glyph value as stored: the 8-byte header, then bitmap-like bytes.
    std::string body(70, fill);
    body[0] = 'B';
    body[1] = 'M';
    std::string v("\x01\x00\x00\x01", 4);
    const uint32_t n = uint32_t(body.size());
    for (int i = 0; i < 4; ++i)
        v += char((n >> (8 * i)) & 0xFF);
    return v + body;
}

void addKey(TDataMod &dm, const std::string &name, TValue keyValue, TValue glyphValue = TValue(),
            TValue x = TValue(), TValue hint = TValue())
{
    dm.MainTbl.AppendRecord({name, keyValue, TValue(1), TValue(), TValue(3), glyphValue, TValue(40), TValue(38), x,
                             TValue(-7), hint});
}

void addChar(TDataMod &dm, const std::string &name, int32_t code, TValue keyNo, bool shift, bool altGr,
             int32_t accent = 0)
{
    dm.Ctbl.AppendRecord({name, TValue(code), keyNo, TValue(shift), TValue(altGr), TValue(accent)});
}

PackageSettings someSettings()
{
    PackageSettings s;
    s.bkcolor = 0x00C0FFEE;
    s.Author = "Jo \xC4";
    s.misc = "Info = with equals";
    for (int f = 0; f < kf::kFingerCount; ++f) {
        s.lengths[size_t(f)] = 50 + f;
        s.xValues[size_t(f)] = -3000 + 17 * f;
        s.colors[size_t(f)] = 0x010203 * (f + 1);
    }
    return s;
}

// A definition with the awkward cases: nulls, duplicates, a Code above 255,
// pictures, negative numbers.
void fill(TDataMod &dm)
{
    addKey(dm, "Q", 16, glyph('q'), 10, "the Q key");
    addKey(dm, "A", 30, glyph('a'), TValue(), std::string(127, 'h'));
    addKey(dm, "Shift", 42, TValue(), -5, TValue());
    addKey(dm, "A", 99, std::string("not a bitmap"), 0, "second A");
    addChar(dm, "q", 'q', TValue(16), false, false);
    addChar(dm, "Q", 'Q', TValue(16), true, false);
    addChar(dm, "a", 'a', TValue(30), false, false);
    addChar(dm, "high", 321, TValue(30), false, true, 2003);
    addChar(dm, "orphan", 'o', TValue(), false, false);
    addChar(dm, "", 0, TValue(), false, false);
    dm.SetSettings(someSettings());
}

// Every row of a table in stored order, every field's stored value.
std::vector<std::vector<TValue>> rows(TRecordTable &table)
{
    TRecordTable c;
    c.CloneCursor(table);
    std::vector<std::vector<TValue>> out;
    for (c.First(); !c.Eof(); c.Next()) {
        std::vector<TValue> row;
        for (int i = 0; i < c.FieldCount(); ++i)
            row.push_back(c.Fields(i).Value());
        out.push_back(std::move(row));
    }
    return out;
}

std::string describe(const std::vector<std::vector<TValue>> &table)
{
    std::ostringstream o;
    for (const auto &row : table) {
        for (const TValue &v : row)
            o << int(v.kind()) << ':' << v.integer() << ':' << v.bytes() << '|';
        o << '\n';
    }
    return o.str();
}

// All a load may change, as text: field lists, rows, orders, filters, settings.
std::string snapshot(TDataMod &dm)
{
    std::ostringstream o;
    for (TRecordTable *t : {&dm.MainTbl, &dm.Ctbl}) {
        for (const TFieldDef &d : t->FieldDefs())
            o << d.Name << '/' << int(d.DataType) << '/' << d.Size << '/' << d.Required << ' ';
        o << '\n' << describe(rows(*t)) << "order " << t->IndexFieldNames() << '\n';
    }
    o << "CtblD " << dm.CtblD.Filtered() << ' ' << dm.CtblD.Filter() << ' ' << dm.CtblD.RecordCount() << '\n';
    const PackageSettings s = dm.Settings();
    o << s.bkcolor << ' ' << s.Author << ' ' << s.misc;
    for (int f = 0; f < kf::kFingerCount; ++f)
        o << ' ' << s.lengths[size_t(f)] << ' ' << s.xValues[size_t(f)] << ' ' << s.colors[size_t(f)];
    return o.str();
}

std::string runPython(const QString &script, const QStringList &args)
{
    QProcess p;
    p.start("python3", QStringList{"-c", script} + args);
    if (!p.waitForFinished(60000) || p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0)
        return "FAILED: " + p.readAllStandardError().toStdString();
    return p.readAllStandardOutput().toStdString();
}

class MainDataTest : public testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(dir.isValid()); }
    std::string path(const std::string &name) const { return dir.path().toStdString() + "/" + name; }
    QTemporaryDir dir;
};

} // namespace

TEST_F(MainDataTest, StartsOpenEmptyAndOrdered)
{
    EXPECT_EQ(kf::DataMod, nullptr);
    {
        TDataMod dm;
        EXPECT_EQ(kf::DataMod, &dm);
        for (TRecordTable *t : {&dm.MainTbl, &dm.Ctbl, &dm.CtblF, &dm.CtblD}) {
            EXPECT_TRUE(t->Active());
            EXPECT_EQ(t->RecordCount(), 0);
        }
        std::vector<std::string> keyNames, charNames;
        for (const TFieldDef &d : dm.MainTbl.FieldDefs())
            keyNames.push_back(d.Name);
        for (const TFieldDef &d : dm.Ctbl.FieldDefs())
            charNames.push_back(d.Name);
        EXPECT_EQ(keyNames, (std::vector<std::string>{"Name", "KeyValue", "KeyType", "KeyType2", "Finger", "Glyph",
                                                      "Width", "Height", "X", "Y", "Hint"}));
        EXPECT_EQ(charNames, (std::vector<std::string>{"Name", "Code", "KeyNo", "Shift", "AltGr", "Accent"}));
        EXPECT_EQ(dm.MainTbl.IndexFieldNames(), "Name");
        EXPECT_EQ(dm.Ctbl.IndexFieldNames(), "Code");
        EXPECT_TRUE(dm.CtblD.Filtered());
        EXPECT_EQ(dm.CtblD.Filter(), "");
        EXPECT_EQ(dm.Settings(), PackageSettings{});
        EXPECT_EQ(dm.MainSource.DataSet(), &dm.MainTbl);
        EXPECT_EQ(dm.CtblSource.DataSet(), &dm.Ctbl);
        EXPECT_EQ(dm.CtblFSource.DataSet(), &dm.CtblF);
        EXPECT_EQ(dm.CtblDSource.DataSet(), &dm.CtblD);

        // A key row without a Name is refused.
        dm.MainTbl.Append();
        dm.MainTbl.FieldByName("KeyValue").SetAsInteger(1);
        try {
            dm.MainTbl.Post();
            FAIL() << "expected a refusal";
        } catch (const kf::EDatabaseError &e) {
            EXPECT_STREQ(e.what(), "Field 'Name' must have a value");
        }
        EXPECT_EQ(dm.MainTbl.State(), kf::TDataSetState::Insert);
    }
    EXPECT_EQ(kf::DataMod, nullptr);
}

// The room for the picture of the key row in edit: the row's own stored
// picture does not count, and a picture that takes all of it, in a row whose
// texts are at their widest, still leaves a package that can be saved.
TEST_F(MainDataTest, KeyPictureRoomKeepsThePackageSavable)
{
    TDataMod dm;
    const uint64_t cap = ZipArchive::kMaxMemberBytes;
    const uint64_t empty = dm.KeyPictureRoom();
    EXPECT_LT(empty, cap);
    EXPECT_GT(empty, cap - 4096);

    const std::string glyph(100000, 'g');
    dm.MainTbl.AppendRecord({TValue(std::string("K")), TValue(int32_t(1)), TValue(), TValue(), TValue(), TValue(glyph)});
    const uint64_t browsing = dm.KeyPictureRoom();
    EXPECT_LE(browsing, empty - glyph.size());
    dm.MainTbl.Edit();
    EXPECT_EQ(dm.KeyPictureRoom(), browsing + glyph.size()); // its own picture is replaced
    dm.MainTbl.Cancel();
    dm.MainTbl.Insert();
    const uint64_t room = dm.KeyPictureRoom();
    EXPECT_EQ(room, browsing);

    dm.MainTbl.FieldByName("Name").SetAsString(std::string(20, 'N'));
    dm.MainTbl.FieldByName("Hint").SetAsString(std::string(127, 'H'));
    for (const char *f : {"KeyValue", "KeyType", "KeyType2", "Finger", "Width", "Height", "X", "Y"})
        dm.MainTbl.FieldByName(f).SetAsInteger(-2000000000);
    dm.MainTbl.FieldByName("Glyph").SetAsBytes(std::string(size_t(room), 'p'));
    dm.MainTbl.Post();
    EXPECT_NO_THROW(dm.PackageBytes());
    EXPECT_EQ(dm.KeyPictureRoom(), 0u);
}

TEST_F(MainDataTest, SaveAndLoadGiveBackEveryRowAndSetting)
{
    TDataMod source;
    fill(source);
    ASSERT_TRUE(source.SavePackage(path("full.vkt"))) << source.PackageError();
    EXPECT_EQ(source.PackageError(), "");

    TDataMod loaded;
    ASSERT_TRUE(loaded.LoadPackage(path("full.vkt"))) << loaded.PackageError();
    EXPECT_EQ(describe(rows(loaded.MainTbl)), describe(rows(source.MainTbl)));
    EXPECT_EQ(describe(rows(loaded.Ctbl)), describe(rows(source.Ctbl)));
    PackageSettings expected = someSettings(); // x values untouched
    expected.codePage = CodePage::current().name(); // a save names the code page in force
    EXPECT_EQ(loaded.Settings(), expected);

    // Saving the loaded definition gives the same three members, byte for byte.
    ASSERT_TRUE(loaded.SavePackage(path("again.vkt"))) << loaded.PackageError();
    ZipArchive a, b;
    a.open(path("full.vkt"));
    b.open(path("again.vkt"));
    ASSERT_EQ(b.members().size(), 3u);
    for (const char *m : {"key.cds", "char.cds", "readme"}) {
        SCOPED_TRACE(m);
        EXPECT_EQ(a.read(m), b.read(m));
    }
    for (const auto &m : b.members())
        EXPECT_NEAR(double(m.mtime), double(std::time(nullptr)), 10.0) << m.name;
    EXPECT_EQ(b.members()[0].name, "key.cds");
    EXPECT_EQ(b.members()[1].name, "char.cds");
    EXPECT_EQ(b.members()[2].name, "readme");

    // Saving over an existing package replaces the whole file.
    const std::string first = readAll(path("again.vkt"));
    source.MainTbl.EmptyDataSet();
    ASSERT_TRUE(source.SavePackage(path("again.vkt")));
    EXPECT_LT(readAll(path("again.vkt")).size(), first.size());
    TDataMod emptied;
    ASSERT_TRUE(emptied.LoadPackage(path("again.vkt")));
    EXPECT_EQ(emptied.MainTbl.RecordCount(), 0);
    EXPECT_EQ(emptied.Ctbl.RecordCount(), 6);
}

// A package saved in one session's code page is read in it in another
// session; a package that names none is read in the session's.
TEST_F(MainDataTest, PackageNamesItsCodePage)
{
    struct SessionCodePage {
        ~SessionCodePage() { CodePage::reload(); }
    } restore;
    CodePage::choose("CP1257");
    TDataMod source;
    fill(source);
    ASSERT_TRUE(source.SavePackage(path("lt.vkt"))) << source.PackageError();
    EXPECT_EQ(source.PackageCodePage, "CP1257");

    CodePage::choose("CP1252");
    TDataMod loaded;
    ASSERT_TRUE(loaded.LoadPackage(path("lt.vkt"))) << loaded.PackageError();
    EXPECT_EQ(loaded.PackageCodePage, "CP1257");
    EXPECT_EQ(loaded.ReadingCodePage().name(), "CP1257");
    EXPECT_EQ(loaded.ReadingCodePage().toUnicode(0xC0), u'\u0104'); // Ą, not À

    // Saved again in this session, the package names CP1252 from now on.
    ASSERT_TRUE(loaded.SavePackage(path("again.vkt")));
    TDataMod again;
    ASSERT_TRUE(again.LoadPackage(path("again.vkt")));
    EXPECT_EQ(again.PackageCodePage, "CP1252");

    // No codepage line: read in the session's code page.
    ZipArchive zip;
    zip.open(path("lt.vkt"));
    const std::string keys = zip.read("key.cds"), chars = zip.read("char.cds");
    zip.close();
    writeAll(path("old.vkt"), ZipArchive::build({{"key.cds", keys}, {"char.cds", chars},
                                                 {"readme", kf::writeReadme(someSettings())}}, 0));
    TDataMod old;
    ASSERT_TRUE(old.LoadPackage(path("old.vkt"))) << old.PackageError();
    EXPECT_EQ(old.PackageCodePage, "");
    EXPECT_EQ(old.ReadingCodePage().name(), "CP1252");

    // A code page this system does not know: the load fails and changes nothing.
    PackageSettings unknown = someSettings();
    unknown.codePage = "CP77777";
    writeAll(path("unknown.vkt"), ZipArchive::build({{"key.cds", keys}, {"char.cds", chars},
                                                     {"readme", kf::writeReadme(unknown)}}, 0));
    EXPECT_FALSE(old.LoadPackage(path("unknown.vkt")));
    EXPECT_NE(old.PackageError().find("CP77777"), std::string::npos) << old.PackageError();
    EXPECT_EQ(old.PackageCodePage, "");
    EXPECT_EQ(old.MainTbl.RecordCount(), source.MainTbl.RecordCount());
}

TEST_F(MainDataTest, LoadReclonesCursorsAndKeepsKeyOrder)
{
    TDataMod source;
    fill(source);
    ASSERT_TRUE(source.SavePackage(path("p.vkt")));

    TDataMod dm;
    dm.MainTbl.SetIndexFieldNames("X");
    dm.FilterKeyChars(16);
    ASSERT_TRUE(dm.LoadPackage(path("p.vkt"))) << dm.PackageError();
    EXPECT_EQ(dm.MainTbl.IndexFieldNames(), "X");
    EXPECT_TRUE(dm.CtblD.Filtered());
    EXPECT_EQ(dm.CtblD.Filter(), "");
    EXPECT_EQ(dm.CtblD.RecordCount(), 6);

    // Ctbl by Code, CtblF in the order the rows were loaded.
    std::vector<int32_t> byCode, stored;
    for (dm.Ctbl.First(); !dm.Ctbl.Eof(); dm.Ctbl.Next())
        byCode.push_back(dm.Ctbl.FieldByName("Code").AsInteger());
    for (dm.CtblF.First(); !dm.CtblF.Eof(); dm.CtblF.Next())
        stored.push_back(dm.CtblF.FieldByName("Code").AsInteger());
    EXPECT_EQ(byCode, (std::vector<int32_t>{0, 'Q', 'a', 'o', 'q', 321}));
    EXPECT_EQ(stored, (std::vector<int32_t>{'q', 'Q', 'a', 321, 'o', 0}));

    // A row added later comes last in CtblF, and every cursor sees it.
    addChar(dm, "b", 'b', TValue(48), false, false);
    dm.CtblF.Last();
    EXPECT_EQ(dm.CtblF.FieldByName("Name").AsString(), "b");
    EXPECT_EQ(dm.CtblD.RecordCount(), 7);
}

TEST_F(MainDataTest, LookupsAndTieBreaks)
{
    TDataMod dm;
    fill(dm);
    addChar(dm, "Q low", 'P', TValue(16), true, false); // same key and state as "Q", lower Code

    ASSERT_TRUE(dm.LocateChar(16, true, false, 0));
    EXPECT_EQ(dm.Ctbl.FieldByName("Name").AsString(), "Q low");
    ASSERT_TRUE(dm.LocateChar(30, false, true, 2003));
    EXPECT_EQ(TDataMod::CodeByte(dm.Ctbl.FieldByName("Code").AsInteger()), 65);
    EXPECT_FALSE(dm.LocateChar(30, true, true, 0));
    EXPECT_EQ(dm.Ctbl.FieldByName("Name").AsString(), "high"); // stays

    // Characters linked to no key are typed by no key, whatever its number.
    for (int32_t key : {0, -1, 16, 30})
        for (bool shift : {false, true}) {
            if (dm.LocateChar(key, shift, false, 0)) {
                EXPECT_FALSE(dm.Ctbl.FieldByName("KeyNo").IsNull());
            }
        }

    // Duplicate KeyValue: the first in the key table's current order wins.
    addKey(dm, "B", 16, TValue());
    ASSERT_TRUE(dm.LocateKey(16));
    EXPECT_EQ(dm.MainTbl.FieldByName("Name").AsString(), "B");
    dm.MainTbl.AddIndex("NameDown", "Name", "Name");
    dm.MainTbl.SetIndexName("NameDown");
    ASSERT_TRUE(dm.LocateKey(16));
    EXPECT_EQ(dm.MainTbl.FieldByName("Name").AsString(), "Q");
    EXPECT_FALSE(dm.LocateKey(12345));

    dm.FilterKeyChars(16);
    EXPECT_EQ(dm.CtblD.RecordCount(), 3);
    EXPECT_EQ(dm.Ctbl.RecordCount(), 7);
}

// What a failed load must not touch.
struct BadPackage {
    const char *name;
    std::function<std::string(const std::string &keyBytes, const std::string &charBytes, const std::string &readme)>
        make;
    const char *reason;
};

void PrintTo(const BadPackage &c, std::ostream *os)
{
    *os << c.name;
}

class MainDataBadPackageTest : public MainDataTest, public testing::WithParamInterface<BadPackage> {};

TEST_P(MainDataBadPackageTest, FailsAndChangesNothing)
{
    TDataMod other;
    addKey(other, "K", 1);
    addChar(other, "c", 'c', TValue(1), false, false);
    other.SetSettings(someSettings());
    const std::string goodKeys = other.MainTbl.SaveToBytes();
    const std::string goodChars = other.Ctbl.SaveToBytes();
    const std::string goodReadme = kf::writeReadme(someSettings());

    TDataMod dm;
    fill(dm);
    dm.MainTbl.SetIndexFieldNames("KeyValue");
    dm.FilterKeyChars(30);
    dm.Ctbl.Last();
    const std::string before = snapshot(dm);
    const int ctblRecNo = dm.Ctbl.RecNo();

    const std::string file = path("bad.vkt");
    writeAll(file, GetParam().make(goodKeys, goodChars, goodReadme));
    EXPECT_FALSE(dm.LoadPackage(file));
    EXPECT_NE(dm.PackageError().find(GetParam().reason), std::string::npos) << dm.PackageError();
    EXPECT_EQ(snapshot(dm), before);
    EXPECT_EQ(dm.Ctbl.RecNo(), ctblRecNo);
    EXPECT_EQ(dm.CtblD.Filter(), "KeyNo=30");

    EXPECT_FALSE(dm.LoadPackageBytes(readAll(file)));
    EXPECT_EQ(snapshot(dm), before);

    // The data module is still usable: a good package loads afterwards.
    writeAll(file, ZipArchive::build({{"key.cds", goodKeys}, {"char.cds", goodChars}, {"readme", goodReadme}}, 0));
    EXPECT_TRUE(dm.LoadPackage(file)) << dm.PackageError();
    EXPECT_EQ(dm.MainTbl.RecordCount(), 1);
}

namespace {

std::string zip3(const std::string &k, const std::string &c, const std::string &r)
{
    return ZipArchive::build({{"key.cds", k}, {"char.cds", c}, {"readme", r}}, 0);
}

std::string packetWith(std::vector<TFieldDef> defs)
{
    TRecordTable t;
    t.CreateDataSet(std::move(defs));
    return t.SaveToBytes();
}

std::vector<TFieldDef> keyDefsWith(const std::string &field, TFieldType type)
{
    std::vector<TFieldDef> defs = TDataMod::KeyFieldDefs();
    for (TFieldDef &d : defs)
        if (d.Name == field) {
            d.DataType = type;
            d.Size = type == TFieldType::String ? 10 : 0;
        }
    return defs;
}

std::vector<TFieldDef> charDefsWithout(const std::string &field)
{
    std::vector<TFieldDef> defs = TDataMod::CharFieldDefs();
    defs.erase(std::remove_if(defs.begin(), defs.end(), [&](const TFieldDef &d) { return d.Name == field; }),
               defs.end());
    return defs;
}

} // namespace

INSTANTIATE_TEST_SUITE_P(
    Rows, MainDataBadPackageTest,
    testing::Values(
        BadPackage{"not_a_zip", [](auto &, auto &, auto &) { return std::string("bkcolor=0\r\n"); },
                   "not a ZIP archive"},
        BadPackage{"empty_file", [](auto &, auto &, auto &) { return std::string(); }, "not a ZIP archive"},
        BadPackage{"truncated",
                   [](auto &k, auto &c, auto &r) {
                       const std::string z = zip3(k, c, r);
                       return z.substr(0, z.size() - 30);
                   },
                   "not a ZIP archive"},
        BadPackage{"key_missing",
                   [](auto &, auto &c, auto &r) { return ZipArchive::build({{"char.cds", c}, {"readme", r}}, 0); },
                   "key.cds: member missing"},
        BadPackage{"key_empty", [](auto &, auto &c, auto &r) { return zip3("", c, r); },
                   "key.cds: Missing data provider or data packet"},
        BadPackage{"key_garbage", [](auto &, auto &c, auto &r) { return zip3(std::string(300, '\x96'), c, r); },
                   "key.cds: "},
        BadPackage{"key_is_char_packet", [](auto &, auto &c, auto &r) { return zip3(c, c, r); },
                   "key.cds: field 'KeyValue' is missing"},
        BadPackage{"key_field_mistyped",
                   [](auto &, auto &c, auto &r) {
                       return zip3(packetWith(keyDefsWith("Finger", TFieldType::String)), c, r);
                   },
                   "key.cds: field 'Finger' is text, not integer"},
        BadPackage{"glyph_not_picture",
                   [](auto &, auto &c, auto &r) {
                       return zip3(packetWith(keyDefsWith("Glyph", TFieldType::Integer)), c, r);
                   },
                   "key.cds: field 'Glyph' is integer, not picture"},
        BadPackage{"char_missing",
                   [](auto &k, auto &, auto &r) { return ZipArchive::build({{"key.cds", k}, {"readme", r}}, 0); },
                   "char.cds: member missing"},
        BadPackage{"char_truncated_packet",
                   [](auto &k, auto &c, auto &r) { return zip3(k, c.substr(0, c.size() / 2), r); }, "char.cds: "},
        BadPackage{"char_without_accent",
                   [](auto &k, auto &, auto &r) { return zip3(k, packetWith(charDefsWithout("Accent")), r); },
                   "char.cds: field 'Accent' is missing"},
        BadPackage{"readme_missing",
                   [](auto &k, auto &c, auto &) {
                       return ZipArchive::build({{"key.cds", k}, {"char.cds", c}}, 0);
                   },
                   "readme: member missing"},
        BadPackage{"readme_without_bkcolor", [](auto &k, auto &c, auto &) { return zip3(k, c, "author=x\r\n"); },
                   "readme: no bkcolor= line"},
        BadPackage{"bkcolor_not_integer",
                   [](auto &k, auto &c, auto &) { return zip3(k, c, "bkcolor=red\r\nauthor=x\r\n"); },
                   "readme: bkcolor is not an integer"},
        BadPackage{"member_declared_too_large",
                   [](auto &k, auto &c, auto &r) {
                       std::string z = zip3(k, c, r);
                       // The first member's declared size, in its local header
                       // and its directory entry: 64 MiB + 1.
                       const uint32_t big = uint32_t(ZipArchive::kMaxMemberBytes + 1);
                       auto put = [&](size_t at) {
                           for (int i = 0; i < 4; ++i)
                               z[at + size_t(i)] = char((big >> (8 * i)) & 0xFF);
                       };
                       put(22);
                       put(z.find("PK\x01\x02") + 24);
                       return z;
                   },
                   "key.cds: the member is declared larger than 64 MiB"}),
    [](const testing::TestParamInfo<BadPackage> &caseInfo) { return std::string(caseInfo.param.name); });

TEST_F(MainDataTest, LoadFailsCleanlyOnFoldersAndMissingFiles)
{
    TDataMod dm;
    fill(dm);
    const std::string before = snapshot(dm);
    ASSERT_TRUE(QDir(dir.path()).mkdir("folder.vkt"));
    for (const std::string &p : {path("folder.vkt"), path("missing.vkt")}) {
        SCOPED_TRACE(p);
        EXPECT_FALSE(dm.LoadPackage(p));
        EXPECT_FALSE(dm.PackageError().empty());
        EXPECT_EQ(snapshot(dm), before);
    }
}

TEST_F(MainDataTest, FingerValueNotANumberLoadsAsZero)
{
    TDataMod other;
    addKey(other, "K", 1);
    const std::string readme = "bkcolor=255\r\nLring=7\r\nRThumb=seven\r\nAUTHOR=Big\r\nmisc=a=b\r\n";
    writeAll(path("p.any"), zip3(other.MainTbl.SaveToBytes(), other.Ctbl.SaveToBytes(), readme));

    TDataMod dm;
    dm.FingerLength.fill(9);
    ASSERT_TRUE(dm.LoadPackage(path("p.any"))) << dm.PackageError();
    EXPECT_EQ(dm.bkcolor, 255);
    EXPECT_EQ(dm.FingerLength[1], 7);
    EXPECT_EQ(dm.FingerLength[5], 0);
    EXPECT_EQ(dm.FingerLength[0], 0);
    EXPECT_EQ(dm.Author, "Big");
    EXPECT_EQ(dm.misc, "a=b");
}

TEST_F(MainDataTest, InfoTextWithLineBreaksKeepsTheOtherSettings)
{
    TDataMod dm;
    dm.bkcolor = 5;
    dm.FingerLength[1] = 40;
    dm.misc = "line one\r\nLring=7\nbkcolor=1\rend";
    ASSERT_TRUE(dm.SavePackage(path("m.vkt")));

    TDataMod back;
    ASSERT_TRUE(back.LoadPackage(path("m.vkt")));
    EXPECT_EQ(back.misc, "line one Lring=7 bkcolor=1 end");
    EXPECT_EQ(back.bkcolor, 5);
    EXPECT_EQ(back.FingerLength[1], 40);
}

TEST_F(MainDataTest, EmptyTablesSaveHeaderAndColumnsOnly)
{
    TDataMod dm;
    ASSERT_TRUE(dm.SavePackage(path("empty.vkt")));
    ZipArchive zip;
    zip.open(path("empty.vkt"));
    const std::string keys = zip.read("key.cds");
    const std::string chars = zip.read("char.cds");
    EXPECT_EQ(keys.size(), 227u);
    EXPECT_EQ(chars.size(), 121u);
    EXPECT_EQ(keys.substr(0, 4), std::string("\x96\x19\xE0\xBD", 4));
    EXPECT_EQ(zip.read("readme").substr(0, 11), "bkcolor=0\r\n");

    TDataMod back;
    fill(back);
    ASSERT_TRUE(back.LoadPackage(path("empty.vkt")));
    EXPECT_EQ(back.MainTbl.RecordCount(), 0);
    EXPECT_EQ(back.Ctbl.RecordCount(), 0);
    PackageSettings named;
    named.codePage = CodePage::current().name();
    EXPECT_EQ(back.Settings(), named);
}

TEST_F(MainDataTest, SavePostsPendingEditAndRefusalWritesNothing)
{
    TDataMod dm;
    fill(dm);
    writeAll(path("old.vkt"), "earlier");

    // A changed row in edit is posted by the save.
    dm.MainTbl.First();
    dm.MainTbl.Edit();
    dm.MainTbl.FieldByName("Hint").SetAsString("edited");
    ASSERT_TRUE(dm.SavePackage(path("new.vkt"))) << dm.PackageError();
    EXPECT_EQ(dm.MainTbl.State(), kf::TDataSetState::Browse);
    TDataMod back;
    ASSERT_TRUE(back.LoadPackage(path("new.vkt")));
    EXPECT_TRUE(back.MainTbl.Locate("Hint", {TValue("edited")}));

    // A row that cannot be posted ends the save; the earlier file stays.
    dm.MainTbl.Append();
    dm.MainTbl.FieldByName("KeyValue").SetAsInteger(77);
    EXPECT_FALSE(dm.SavePackage(path("old.vkt")));
    EXPECT_EQ(dm.PackageError(), "Field 'Name' must have a value");
    EXPECT_EQ(readAll(path("old.vkt")), "earlier");
    EXPECT_EQ(dm.MainTbl.State(), kf::TDataSetState::Insert);

    EXPECT_FALSE(dm.SavePackage(path("fresh.vkt")));
    EXPECT_EQ(folderEntries(dir.path()), (QStringList{"new.vkt", "old.vkt"}));

    dm.MainTbl.Cancel();
    EXPECT_FALSE(dm.SavePackage(path("no/such/folder/x.vkt")));
    EXPECT_FALSE(dm.PackageError().empty());
    EXPECT_TRUE(dm.SavePackage(path("old.vkt")));
    EXPECT_EQ(folderEntries(dir.path()), (QStringList{"new.vkt", "old.vkt"}));
}

TEST_F(MainDataTest, IndependentReaderTestsOurPackage)
{
    TDataMod dm;
    fill(dm);
    ASSERT_TRUE(dm.SavePackage(path("p.vkt")));
    const std::string listing = runPython(
        "import sys, zipfile\n"
        "z = zipfile.ZipFile(sys.argv[1])\n"
        "assert z.testzip() is None\n"
        "for i in z.infolist():\n"
        "    assert i.compress_type in (0, 8) and i.flag_bits & 1 == 0\n"
        "    assert i.compress_type == 0 or i.compress_size <= i.file_size\n"
        "    print(i.filename)\n"
        "print(z.read('readme').decode('latin-1').count('\\r\\n'))\n",
        {QString::fromStdString(path("p.vkt"))});
    // The 33 lines the tutor reads and the code page's.
    EXPECT_EQ(listing, "key.cds\nchar.cds\nreadme\n34\n");

    QProcess unzip;
    unzip.start("unzip", {"-t", dir.path() + "/p.vkt"});
    ASSERT_TRUE(unzip.waitForFinished(60000));
    EXPECT_EQ(unzip.exitCode(), 0) << unzip.readAllStandardOutput().toStdString();
}

// A package made by another ZIP writer: stored and deflated members, names in
// other capitals, an extra member, any extension.
TEST_F(MainDataTest, LoadsPackageOfAnotherWriter)
{
    TDataMod source;
    fill(source);
    writeAll(path("key.bin"), source.MainTbl.SaveToBytes());
    writeAll(path("char.bin"), source.Ctbl.SaveToBytes());
    writeAll(path("readme.bin"), kf::writeReadme(someSettings()));
    const std::string out = runPython(
        "import sys, zipfile\n"
        "d = sys.argv[1]\n"
        "z = zipfile.ZipFile(d + '/other.layout', 'w')\n"
        "z.writestr('Extra/notes.txt', 'ignored')\n"
        "z.write(d + '/readme.bin', 'README', zipfile.ZIP_STORED)\n"
        "z.write(d + '/char.bin', 'Char.CDS', zipfile.ZIP_DEFLATED)\n"
        "z.write(d + '/key.bin', 'KEY.cds', zipfile.ZIP_STORED)\n"
        "z.close()\n",
        {dir.path()});
    ASSERT_EQ(out, "");

    TDataMod dm;
    ASSERT_TRUE(dm.LoadPackage(path("other.layout"))) << dm.PackageError();
    EXPECT_EQ(describe(rows(dm.MainTbl)), describe(rows(source.MainTbl)));
    EXPECT_EQ(describe(rows(dm.Ctbl)), describe(rows(source.Ctbl)));
    EXPECT_EQ(dm.Settings(), someSettings());
}

// Packages kept in tests/data, written by other ZIP writers.
TEST_F(MainDataTest, LoadsCommittedFixtures)
{
    struct Case {
        const char *file;
        int keys, chars;
        const char *author;
    };
    for (const Case &c : {Case{"other-writer.vkt", 3, 5, "Fixture"}, Case{"other-writer-streamed.zip", 3, 5, "Fixture"}}) {
        SCOPED_TRACE(c.file);
        TDataMod dm;
        ASSERT_TRUE(dm.LoadPackage(std::string(KF_TEST_DATA_DIR) + "/packages/" + c.file)) << dm.PackageError();
        EXPECT_EQ(dm.MainTbl.RecordCount(), c.keys);
        EXPECT_EQ(dm.Ctbl.RecordCount(), c.chars);
        EXPECT_EQ(dm.Author, c.author);
        EXPECT_EQ(dm.FingerX[0], -7);
        ASSERT_TRUE(dm.LocateChar(30, false, false, 2001));
        EXPECT_EQ(dm.Ctbl.FieldByName("Name").AsString(), "a grave");
    }

    // A member of 65 MiB of zeros, honestly declared, is refused unread.
    TDataMod dm;
    fill(dm);
    const std::string before = snapshot(dm);
    EXPECT_FALSE(dm.LoadPackage(std::string(KF_TEST_DATA_DIR) + "/packages/bomb.vkt"));
    EXPECT_EQ(dm.PackageError(), "key.cds: the member is declared larger than 64 MiB");
    EXPECT_EQ(snapshot(dm), before);
}

namespace {

// A definition whose field list bends the key and character tables' rules.
struct BentRules {
    const char *name;
    std::function<void(std::vector<TFieldDef> &keys, std::vector<TFieldDef> &chars)> bend;
    std::vector<TValue> keyRow;  // one key row, as the bent table holds it
    std::string charName;        // the one character row's Name
    const char *buildError;      // what a JSON build says, nullptr when it builds
};

void PrintTo(const BentRules &c, std::ostream *os)
{
    *os << c.name;
}

void bendField(std::vector<TFieldDef> &defs, const std::string &name, int size, bool required)
{
    for (TFieldDef &d : defs)
        if (d.Name == name) {
            d.Size = size;
            d.Required = required;
        }
}

std::vector<TValue> keyRow(TValue name, TValue hint = TValue())
{
    return {name, TValue(5), TValue(1), TValue(), TValue(2), TValue(), TValue(40), TValue(40), TValue(0), TValue(0),
            hint};
}

std::string describeDefs(const std::vector<TFieldDef> &defs)
{
    std::ostringstream o;
    for (const TFieldDef &d : defs)
        o << d.Name << '/' << int(d.DataType) << '/' << d.Size << '/' << d.Required << ' ';
    return o.str();
}

// The definition as a TDataMod whose tables were made with the bent fields.
void makeBent(TDataMod &dm, const BentRules &c)
{
    std::vector<TFieldDef> keys = TDataMod::KeyFieldDefs(), chars = TDataMod::CharFieldDefs();
    c.bend(keys, chars);
    dm.MainTbl.CreateDataSet(keys);
    dm.Ctbl.CreateDataSet(chars);
    dm.MainTbl.AppendRecord(c.keyRow);
    dm.Ctbl.AppendRecord({c.charName, TValue(97), TValue(5), TValue(false), TValue(false), TValue(0)});
}

class MainDataFixedRulesTest : public MainDataTest, public testing::WithParamInterface<BentRules> {
protected:
    // After a load or build: the fields are the fixed ones, a key row without a
    // name is refused (a new one and the loaded one alike), and a save writes
    // the fixed fields.
    void expectRulesHold(TDataMod &dm)
    {
        EXPECT_EQ(describeDefs(dm.MainTbl.FieldDefs()), describeDefs(TDataMod::KeyFieldDefs()));
        EXPECT_EQ(describeDefs(dm.Ctbl.FieldDefs()), describeDefs(TDataMod::CharFieldDefs()));

        dm.MainTbl.Append();
        dm.MainTbl.FieldByName("KeyValue").SetAsInteger(77);
        EXPECT_THROW(dm.MainTbl.Post(), kf::EDatabaseError);
        EXPECT_EQ(dm.MainTbl.State(), kf::TDataSetState::Insert);
        dm.MainTbl.Cancel();
        for (dm.MainTbl.First(); !dm.MainTbl.Eof(); dm.MainTbl.Next()) {
            if (!dm.MainTbl.FieldByName("Name").IsNull())
                continue;
            dm.MainTbl.Edit();
            dm.MainTbl.FieldByName("X").SetAsInteger(12);
            try {
                dm.MainTbl.Post();
                ADD_FAILURE() << "a key row without a name was posted";
            } catch (const kf::EDatabaseError &e) {
                EXPECT_STREQ(e.what(), "Field 'Name' must have a value");
            }
            EXPECT_FALSE(dm.SavePackage(path("nameless.vkt")));
            dm.MainTbl.Cancel();
            break;
        }

        ASSERT_TRUE(dm.SavePackage(path("saved.vkt"))) << dm.PackageError();
        ZipArchive zip;
        zip.open(path("saved.vkt"));
        TRecordTable keys, chars; // plain tables: the packet's own fields
        keys.LoadFromBytes(zip.read("key.cds"));
        chars.LoadFromBytes(zip.read("char.cds"));
        EXPECT_EQ(describeDefs(keys.FieldDefs()), describeDefs(TDataMod::KeyFieldDefs()));
        EXPECT_EQ(describeDefs(chars.FieldDefs()), describeDefs(TDataMod::CharFieldDefs()));
    }
};

} // namespace

// A package declaring other widths or required flags for the known fields
// loads with the fixed ones; text wider than a fixed width is cut to it.
TEST_P(MainDataFixedRulesTest, PackageLoadKeepsTheFixedFields)
{
    const BentRules &c = GetParam();
    TDataMod bent;
    makeBent(bent, c);
    ZipArchive::writeFile(path("bent.vkt"),
                          {{"key.cds", bent.MainTbl.SaveToBytes()},
                           {"char.cds", bent.Ctbl.SaveToBytes()},
                           {"readme", kf::writeReadme(someSettings())}},
                          0);

    TDataMod dm;
    ASSERT_TRUE(dm.LoadPackage(path("bent.vkt"))) << dm.PackageError();
    dm.MainTbl.First();
    const std::string name = c.keyRow[0].IsNull() ? std::string() : c.keyRow[0].bytes();
    const std::string hint = c.keyRow[10].IsNull() ? std::string() : c.keyRow[10].bytes();
    EXPECT_EQ(dm.MainTbl.FieldByName("Name").AsString(), name.substr(0, 20));
    EXPECT_EQ(dm.MainTbl.FieldByName("Hint").AsString(), hint.substr(0, 127));
    dm.Ctbl.First();
    EXPECT_EQ(dm.Ctbl.FieldByName("Name").AsString(), c.charName.substr(0, 30));
    expectRulesHold(dm);
}

// The same field list as JSON: the build checks the rows against the fixed
// fields, so it refuses what they do not allow and otherwise keeps them.
TEST_P(MainDataFixedRulesTest, JsonBuildKeepsTheFixedFields)
{
    const BentRules &c = GetParam();
    const kf::CodePage cp("CP1252");
    TDataMod bent;
    makeBent(bent, c);
    const std::string json = kf::PackageToJson(bent, cp);

    TDataMod dm;
    dm.MainTbl.AppendRecord(keyRow(TValue("before")));
    const std::string before = snapshot(dm);
    if (c.buildError) {
        try {
            kf::PackageFromJson(dm, json, cp);
            ADD_FAILURE() << "built";
        } catch (const kf::EConvertError &e) {
            EXPECT_STREQ(e.what(), c.buildError);
        }
        EXPECT_EQ(snapshot(dm), before);
        dm.MainTbl.First();
        dm.MainTbl.Edit();
        dm.MainTbl.FieldByName("Name").Clear();
        EXPECT_THROW(dm.MainTbl.Post(), kf::EDatabaseError);
        dm.MainTbl.Cancel();
        return;
    }
    kf::PackageFromJson(dm, json, cp);
    dm.MainTbl.First();
    EXPECT_EQ(dm.MainTbl.FieldByName("Name").AsString(), c.keyRow[0].bytes());
    expectRulesHold(dm);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, MainDataFixedRulesTest,
    testing::Values(
        BentRules{"name_not_required",
                  [](auto &k, auto &) { bendField(k, "Name", 20, false); },
                  keyRow(TValue()), "a", "keys.rows[0].Name: must have a value"},
        BentRules{"name_not_required_but_given",
                  [](auto &k, auto &) { bendField(k, "Name", 20, false); },
                  keyRow(TValue("K")), "a", nullptr},
        BentRules{"name_wider",
                  [](auto &k, auto &) { bendField(k, "Name", 40, true); },
                  keyRow(TValue(std::string(33, 'n'))), "a", "keys.rows[0].Name: longer than 20 characters"},
        BentRules{"name_narrower",
                  [](auto &k, auto &) { bendField(k, "Name", 5, true); },
                  keyRow(TValue("ABCDE")), "a", nullptr},
        BentRules{"hint_wider",
                  [](auto &k, auto &) { bendField(k, "Hint", 300, false); },
                  keyRow(TValue("K"), TValue(std::string(280, 'h'))), "a",
                  "keys.rows[0].Hint: longer than 127 characters"},
        BentRules{"hint_required",
                  [](auto &k, auto &) { bendField(k, "Hint", 127, true); },
                  keyRow(TValue("K"), TValue("tip")), "a", nullptr},
        BentRules{"char_name_wider_and_required",
                  [](auto &, auto &c) { bendField(c, "Name", 60, true); },
                  keyRow(TValue("K")), std::string(45, 'c'), "chars.rows[0].Name: longer than 30 characters"},
        BentRules{"char_name_required",
                  [](auto &, auto &c) { bendField(c, "Name", 30, true); },
                  keyRow(TValue("K")), "c", nullptr},
        BentRules{"everything_bent",
                  [](auto &k, auto &c) {
                      bendField(k, "Name", 255, false);
                      bendField(k, "Hint", 1000, true);
                      bendField(c, "Name", 255, true);
                  },
                  keyRow(TValue(), TValue(std::string(900, 'h'))), std::string(200, 'c'),
                  "keys.rows[0].Name: must have a value"}),
    [](const testing::TestParamInfo<BentRules> &caseInfo) { return std::string(caseInfo.param.name); });
