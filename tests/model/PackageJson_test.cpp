#include "model/PackageJson.h"
#include "common/CodePage.h"
#include "common/Errors.h"
#include "model/MainData.h"

#include "SmallKeyboards.h"

#include <gtest/gtest.h>

using kf::TDataMod;
using kf::TValue;
using kf::sample::FillEdgeValues;

namespace {

const kf::CodePage &cp1252()
{
    static const kf::CodePage cp("CP1252");
    return cp;
}

} // namespace

TEST(PackageJsonTest, DumpBuildDumpIsIdentical)
{
    TDataMod dm;
    FillEdgeValues(dm);
    const std::string json = kf::PackageToJson(dm, cp1252());

    TDataMod built;
    kf::PackageFromJson(built, json, cp1252());
    EXPECT_EQ(kf::PackageToJson(built, cp1252()), json);
    EXPECT_EQ(built.MainTbl.SaveToBytes(), dm.MainTbl.SaveToBytes());
    EXPECT_EQ(built.Ctbl.SaveToBytes(), dm.Ctbl.SaveToBytes());
    kf::PackageSettings named = dm.Settings();
    named.codePage = "CP1252"; // the JSON names the code page its texts were read in
    EXPECT_EQ(built.Settings(), named);
    EXPECT_EQ(built.MainTbl.IndexFieldNames(), "Name");
    EXPECT_EQ(built.Ctbl.IndexFieldNames(), "Code");

    // Keys in field order, one row per line, texts through the code page.
    EXPECT_NE(json.find("\n      {\"Name\": \"Q\", \"KeyValue\": 16, \"KeyType\": 1, \"KeyType2\": null, \"Finger\": 3, "
                        "\"Glyph\": \"AAECAwQF"),
              std::string::npos)
        << json;
    EXPECT_NE(json.find("\"Hint\": \"quote \\\" backslash \\\\ tab\\t\"}"), std::string::npos);
    EXPECT_NE(json.find("{\"Name\": \"e acute \xC3\xA9\", \"Code\": 233, \"KeyNo\": 16, \"Shift\": false, "
                        "\"AltGr\": true, \"Accent\": 2002}"),
              std::string::npos);
    EXPECT_NE(json.find("\"Author\": \"\xE2\x82\xACuro\""), std::string::npos);
    EXPECT_NE(json.find("\"misc\": \"two\\r\\nlines\""), std::string::npos);
    EXPECT_NE(json.find("{\"name\": \"Name\", \"type\": \"text\", \"size\": 20, \"required\": true}"),
              std::string::npos);
}

// Bytes the code page leaves undefined (0x81, 0x8D, 0x8F, 0x90, 0x9D in
// CP1252) come back from a dump and a build as they were, in texts of both
// tables and in the settings; a stand-in of a defined byte is no stand-in.
TEST(PackageJsonTest, UndefinedBytesSurviveDumpAndBuild)
{
    TDataMod dm;
    kf::sample::AddKey(dm, "K\x81\x9D", 1, 1, TValue(0), 0, 0, 0);
    kf::sample::AddChar(dm, "c\x8F", 'c', TValue(1), false, false, 0);
    kf::PackageSettings settings = dm.Settings();
    settings.Author = "A\x90";
    settings.misc = "m\x8D\r\nn";
    dm.SetSettings(settings);
    const std::string json = kf::PackageToJson(dm, cp1252());
    EXPECT_NE(json.find("\"K\xEF\x9E\x81\xEF\x9E\x9D\""), std::string::npos) << json; // U+F781 U+F79D

    TDataMod built;
    kf::PackageFromJson(built, json, cp1252());
    EXPECT_EQ(built.MainTbl.SaveToBytes(), dm.MainTbl.SaveToBytes());
    EXPECT_EQ(built.Ctbl.SaveToBytes(), dm.Ctbl.SaveToBytes());
    settings.codePage = "CP1252";
    EXPECT_EQ(built.Settings(), settings);

    // U+F741 would stand for 0x41, which CP1252 defines ('A'): not a character of the code page.
    std::string bad = json;
    bad.replace(bad.find("\"A\xEF\x9E\x90\""), 6, "\"A\xEF\x9D\x81\"");
    TDataMod refused;
    EXPECT_THROW(kf::PackageFromJson(refused, bad, cp1252()), kf::EConvertError);
}

// A JSON names the code page of its texts: they are written in it, whatever
// code page the reader was given, and the definition names it.
TEST(PackageJsonTest, TextsGoIntoTheCodePageTheJsonNames)
{
    TDataMod source;
    FillEdgeValues(source);
    std::string json = kf::PackageToJson(source, cp1252());
    const size_t at = json.find("\"codePage\": \"CP1252\"");
    ASSERT_NE(at, std::string::npos);
    json.replace(at, 20, "\"codePage\": \"cp1257\"");
    const size_t author = json.find("\"Author\": \"");
    ASSERT_NE(author, std::string::npos);
    json.insert(author + 11, "\xC4\x84"); // Ą: 0xC0 in CP1257, not in CP1252

    TDataMod built;
    kf::PackageFromJson(built, json, cp1252());
    EXPECT_EQ(built.PackageCodePage, "CP1257");
    EXPECT_EQ(built.Author.substr(0, 1), "\xC0");
}

TEST(PackageJsonTest, RefusesBadInputAndChangesNothing)
{
    TDataMod source;
    FillEdgeValues(source);
    const std::string good = kf::PackageToJson(source, cp1252());
    auto replaced = [&](const std::string &from, const std::string &to) {
        std::string s = good;
        const size_t at = s.find(from);
        EXPECT_NE(at, std::string::npos) << from;
        return at == std::string::npos ? s : s.replace(at, from.size(), to);
    };
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"not json", "JSON: "},
        {"[]", "JSON: the document is not an object"},
        {replaced("\"chars\"", "\"Chars\""), "JSON: unknown entry \"Chars\""},
        {replaced("\"KeyValue\": 16", "\"KeyValue\": 1.5"), "keys.rows[0].KeyValue: not a 32-bit integer"},
        {replaced("\"KeyValue\": 16", "\"KeyValue\": 2147483648"), "keys.rows[0].KeyValue: not a 32-bit integer"},
        {replaced("\"KeyValue\": 16", "\"KeyValue\": \"16\""), "keys.rows[0].KeyValue: not a 32-bit integer"},
        {replaced("\"KeyValue\": 16", "\"KeyVal\": 16"), "keys.rows[0]: unknown field \"KeyVal\""},
        {replaced("{\"Name\": \"Q\"", "{\"Name\": null"), "keys.rows[0].Name: must have a value"},
        {replaced("{\"Name\": \"Q\"", "{\"Name\": \"123456789012345678901\""),
         "keys.rows[0].Name: longer than 20 characters"},
        {replaced("{\"Name\": \"Q\"", "{\"Name\": \"\xE4\xB8\xAD\""), "keys.rows[0].Name: Not in the code page CP1252: \xE4\xB8\xAD"},
        {replaced("\"Glyph\": \"AAEC", "\"Glyph\": \"*AEC"), "keys.rows[0].Glyph: not valid base64"},
        {replaced("\"Shift\": false", "\"Shift\": 0"), "chars.rows[0].Shift: not true or false"},
        {replaced("{\"name\": \"Finger\", \"type\": \"integer\"", "{\"name\": \"Finger\", \"type\": \"boolean\""),
         "keys: field 'Finger' is boolean, not integer"},
        {replaced("{\"name\": \"Accent\"", "{\"name\": \"Accents\""), "chars: field 'Accent' is missing"},
        {replaced("\"type\": \"text\", \"size\": 20", "\"type\": \"text\", \"size\": 0"),
         "keys.fields[0].size: must be 1 to 65535"},
        {replaced("\"type\": \"integer\"", "\"type\": \"number\""), "keys.fields[1]: unknown type \"number\""},
        {replaced("\"bkcolor\": 16772829", "\"bkcolor\": -2147483649"), "settings.bkcolor: not a 32-bit integer"},
        {replaced("\"RLittleColor\": 10066329", "\"RLittleColour\": 10066329"),
         "settings: unknown setting \"RLittleColour\""},
        {replaced("\"misc\": \"two\\r\\nlines\",", ""), "settings: \"misc\" is missing"},
        {replaced("\"codePage\": \"CP1252\"", "\"codePage\": 1252"), "settings.codePage: not a text"},
        {replaced("\"codePage\": \"CP1252\"", "\"codePage\": \"UTF-8\""),
         "settings.codePage: the code page \"UTF-8\" is not known"},
        // The texts are put into the code page the JSON names.
        {replaced("{\"Name\": \"Q\"", "{\"Name\": \"\xC3\xA9\"")
             .replace(good.find("\"codePage\": \"CP1252\"") + 1, 20, "\"codePage\": \"CP1251\""),
         "keys.rows[0].Name: Not in the code page CP1251: \xC3\xA9"},
    };
    TDataMod dm;
    FillEdgeValues(dm);
    dm.MainTbl.AppendRecord({"extra", TValue(5)});
    const std::string before = kf::PackageToJson(dm, cp1252());
    for (const auto &[json, reason] : cases) {
        SCOPED_TRACE(reason);
        try {
            kf::PackageFromJson(dm, json, cp1252());
            FAIL() << "expected an error";
        } catch (const kf::EConvertError &e) {
            EXPECT_EQ(std::string(e.what()).substr(0, reason.size()), reason) << e.what();
        } catch (const kf::EDatabaseError &e) {
            EXPECT_EQ(std::string(e.what()).substr(0, reason.size()), reason) << e.what();
        }
        EXPECT_EQ(kf::PackageToJson(dm, cp1252()), before);
    }
}

// Sizes beyond the limits are refused before the document is read in, with
// an error naming where; the limits are made small here where the document
// is the usual one.
TEST(PackageJsonTest, RefusesAbsurdSizesNamingWhere)
{
    TDataMod source;
    FillEdgeValues(source);
    const std::string good = kf::PackageToJson(source, cp1252());
    auto replaced = [&](const std::string &from, const std::string &to) {
        std::string s = good;
        const size_t at = s.find(from);
        EXPECT_NE(at, std::string::npos) << from;
        return at == std::string::npos ? s : s.replace(at, from.size(), to);
    };
    auto limited = [](auto change) {
        kf::JsonLimits l;
        change(l);
        return l;
    };
    // 65537 character rows, each one valid.
    std::string manyRows;
    for (int i = 0; i <= 65536; ++i)
        manyRows += "{\"Code\": 1}, ";
    std::string deep = "{\"keys\": ";
    for (int i = 0; i < 40; ++i)
        deep += "[";
    deep += std::string(40, ']') + "}";
    std::string deepWhere = "keys";
    for (int i = 0; i < 31; ++i) // the 32nd array is one too many
        deepWhere += "[0]";
    const struct {
        const char *name;
        std::string json;
        kf::JsonLimits limits;
        std::string reason;
    } cases[] = {
        {"rows", replaced("{\"Name\": \"e acute", manyRows + "{\"Name\": \"e acute"), {},
         "chars.rows: more than 65536 entries"},
        {"nesting", deep, {}, deepWhere + ": nested more than 32 deep"},
        {"entries of an object", good, limited([](auto &l) { l.members = 10; }), "keys.rows[0]: more than 10 entries"},
        {"values", good, limited([](auto &l) { l.values = 150; }), "JSON: more than 150 values"},
        {"text", good, limited([](auto &l) { l.textChars = 100; }),
         "keys.rows[0].Glyph: a text of more than 100 characters"},
        {"a name", replaced("\"Hint\": \"quote", "\"" + std::string(401, 'H') + "\": \"quote"),
         limited([](auto &l) { l.textChars = 400; }), "keys.rows[0] (a name): a text of more than 400 characters"},
        // 256 bytes in the first key's picture, 64 in the second's.
        {"pictures", replaced("\"Glyph\": null", "\"Glyph\": \"" + std::string(86, 'A') + "==\""),
         limited([](auto &l) { l.pictureBytes = 319; }),
         "keys.rows[1].Glyph: the table's pictures are larger than 319 bytes together"},
    };
    TDataMod dm;
    FillEdgeValues(dm);
    const std::string before = kf::PackageToJson(dm, cp1252());
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        try {
            kf::PackageFromJson(dm, c.json, cp1252(), c.limits);
            ADD_FAILURE() << "expected an error";
        } catch (const kf::EConvertError &e) {
            EXPECT_EQ(e.what(), c.reason);
        }
        EXPECT_EQ(kf::PackageToJson(dm, cp1252()), before);
    }
    // At the limits themselves, the document is read in.
    TDataMod built;
    kf::PackageFromJson(built, replaced("\"Glyph\": null", "\"Glyph\": \"" + std::string(86, 'A') + "==\""),
                        cp1252(), limited([](auto &l) {
                            l.pictureBytes = 320;
                            l.values = 151; // every value of the document
                            l.members = 34; // the settings, the code page last
                        }));
    EXPECT_EQ(built.MainTbl.RecordCount(), 2);
}
