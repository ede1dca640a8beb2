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
    EXPECT_EQ(built.Settings(), dm.Settings());
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
