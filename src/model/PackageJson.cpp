#include "model/PackageJson.h"
#include "common/CodePage.h"
#include "common/Errors.h"
#include "common/HexDigits.h"
#include "table/ControlsDisabled.h"
#include "model/MainData.h"

#include <QByteArray>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonParseError>

#include <algorithm>
#include <optional>
#include <climits>
#include <cmath>

namespace kf {

namespace {

// ---- writing ---------------------------------------------------------------

void appendJsonString(std::string &out, const QString &text)
{
    const QByteArray utf8 = text.toUtf8();
    out += '"';
    for (const char ch : utf8) {
        const auto c = uint8_t(ch);
        switch (c) {
        case '"':
            out += "\\\"";
            break;
        case '\\':
            out += "\\\\";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\r':
            out += "\\r";
            break;
        case '\t':
            out += "\\t";
            break;
        default:
            if (c < 0x20) {
                out += "\\u00";
                out += HexByte(uint8_t(c));
            } else {
                out += char(c);
            }
        }
    }
    out += '"';
}

void appendAsciiString(std::string &out, std::string_view ascii)
{
    appendJsonString(out, QString::fromLatin1(ascii.data(), qsizetype(ascii.size())));
}

// A byte the code page leaves undefined stands in the JSON as the private-use
// character U+F700 + byte, so that a dump and a build give back every byte.
constexpr char16_t kUndefinedByteBase = 0xF700;

QString decodeExactly(std::string_view bytes, const CodePage &cp)
{
    QString text = cp.decode(bytes);
    for (qsizetype i = 0; i < text.size(); ++i)
        if (!cp.defined(uint8_t(bytes[size_t(i)])))
            text[i] = QChar(char16_t(kUndefinedByteBase + uint8_t(bytes[size_t(i)])));
    return text;
}

void appendValue(std::string &out, const TField &field, const CodePage &cp)
{
    if (field.IsNull()) {
        out += "null";
        return;
    }
    switch (field.DataType()) {
    case TFieldType::Integer:
        out += std::to_string(field.AsInteger());
        break;
    case TFieldType::Boolean:
        out += field.AsBoolean() ? "true" : "false";
        break;
    case TFieldType::String:
        appendJsonString(out, decodeExactly(field.AsString(), cp));
        break;
    case TFieldType::Graphic: {
        const std::string bytes = field.AsBytes();
        const QByteArray b64 = QByteArray(bytes.data(), qsizetype(bytes.size())).toBase64();
        out += '"';
        out.append(b64.constData(), size_t(b64.size()));
        out += '"';
        break;
    }
    }
}

void appendTable(std::string &out, const char *key, TRecordTable &table, const CodePage &cp)
{
    out += "  ";
    appendAsciiString(out, key);
    out += ": {\n    \"fields\": [";
    const std::vector<TFieldDef> &defs = table.FieldDefs();
    for (size_t i = 0; i < defs.size(); ++i) {
        out += i ? ",\n      " : "\n      ";
        out += "{\"name\": ";
        appendAsciiString(out, defs[i].Name);
        out += ", \"type\": \"";
        out += FieldTypeName(defs[i].DataType);
        out += "\"";
        if (defs[i].DataType == TFieldType::String)
            out += ", \"size\": " + std::to_string(defs[i].Size);
        out += std::string(", \"required\": ") + (defs[i].Required ? "true" : "false") + "}";
    }
    out += defs.empty() ? "],\n" : "\n    ],\n";
    out += "    \"rows\": [";

    // Rows in stored order, through a cursor of our own.
    TRecordTable cursor;
    cursor.CloneCursor(table);
    bool first = true;
    for (cursor.First(); !cursor.Eof(); cursor.Next()) {
        out += first ? "\n      {" : ",\n      {";
        first = false;
        for (int f = 0; f < cursor.FieldCount(); ++f) {
            const TField field = cursor.Fields(f);
            if (f)
                out += ", ";
            appendAsciiString(out, field.FieldName());
            out += ": ";
            appendValue(out, field, cp);
        }
        out += '}';
    }
    out += first ? "]\n  }" : "\n    ]\n  }";
}

// The setting naming the code page of the texts; optional on reading.
const char *const kCodePageKey = "codePage";

std::vector<std::string> settingKeys()
{
    std::vector<std::string> keys = {"bkcolor", "Author", "misc"};
    for (const char *suffix : {"", "x", "Color"})
        for (const char *finger : kFingerKeys)
            keys.push_back(std::string(finger) + suffix);
    return keys;
}

std::vector<int32_t> settingNumbers(const PackageSettings &s)
{
    std::vector<int32_t> v;
    for (const auto *a : {&s.lengths, &s.xValues, &s.colors})
        v.insert(v.end(), a->begin(), a->end());
    return v;
}

// ---- reading ---------------------------------------------------------------

[[noreturn]] void fail(const std::string &where, const std::string &what)
{
    throw EConvertError(where + ": " + what);
}

// Measures a JSON document before it is parsed: how deep it nests, how many
// entries each array and object has, how many values it holds and how long
// each text is. Refuses what is beyond the limits, naming where; whether the
// document is well-formed is the parser's business.
class JsonMeasure {
public:
    JsonMeasure(std::string_view json, const JsonLimits &limits) : m_json(json), m_limits(limits) {}

    void run()
    {
        while (skipBlanks()) {
            const char c = m_json[m_pos];
            if (c == '{' || c == '[') {
                const std::string name = valueStarts();
                if (m_stack.size() >= m_limits.depth)
                    fail(name.empty() ? "JSON" : name, "nested more than " + std::to_string(m_limits.depth) + " deep");
                m_stack.push_back({c == '{', name, 0, true, {}});
                ++m_pos;
            } else if (c == '}' || c == ']') {
                if (m_stack.empty())
                    return; // the parser says what is wrong
                m_stack.pop_back();
                ++m_pos;
            } else if (c == ',') {
                if (!m_stack.empty() && m_stack.back().object)
                    m_stack.back().expectKey = true;
                ++m_pos;
            } else if (c == ':') {
                if (!m_stack.empty())
                    m_stack.back().expectKey = false;
                ++m_pos;
            } else if (c == '"') {
                if (!m_stack.empty() && m_stack.back().object && m_stack.back().expectKey) {
                    Frame &f = m_stack.back();
                    if (++f.entries > m_limits.members)
                        fail(pathOf(f), "more than " + std::to_string(m_limits.members) + " entries");
                    f.key = string(pathOf(f) + " (a name)");
                    if (f.key.size() > 40)
                        f.key = f.key.substr(0, 40) + "...";
                } else {
                    const std::string name = valueStarts();
                    string(name);
                }
            } else {
                valueStarts();
                while (m_pos < m_json.size() && !isDelimiter(m_json[m_pos]))
                    ++m_pos;
            }
        }
    }

private:
    struct Frame {
        bool object;
        std::string name; // where it stands, as the errors name it
        size_t entries;
        bool expectKey;
        std::string key; // an object's last name
    };

    static bool isDelimiter(char c)
    {
        return c == ',' || c == ':' || c == '{' || c == '}' || c == '[' || c == ']' || c == '"' || c == ' ' ||
               c == '\t' || c == '\n' || c == '\r';
    }

    bool skipBlanks()
    {
        while (m_pos < m_json.size() &&
               (m_json[m_pos] == ' ' || m_json[m_pos] == '\t' || m_json[m_pos] == '\n' || m_json[m_pos] == '\r'))
            ++m_pos;
        return m_pos < m_json.size();
    }

    static std::string pathOf(const Frame &f) { return f.name.empty() ? std::string("JSON") : f.name; }

    // A value begins: counts it and returns where it stands.
    std::string valueStarts()
    {
        if (++m_values > m_limits.values)
            throw EConvertError("JSON: more than " + std::to_string(m_limits.values) + " values");
        if (m_stack.empty())
            return {};
        Frame &f = m_stack.back();
        if (f.object)
            return f.name.empty() ? f.key : f.name + "." + f.key;
        if (++f.entries > m_limits.rows)
            fail(pathOf(f), "more than " + std::to_string(m_limits.rows) + " entries");
        return f.name + "[" + std::to_string(f.entries - 1) + "]";
    }

    // Passes a text, counting its characters (an escape is one); returns its
    // first bytes.
    std::string string(const std::string &where)
    {
        const size_t start = ++m_pos;
        uint64_t chars = 0;
        while (m_pos < m_json.size() && m_json[m_pos] != '"') {
            const auto b = uint8_t(m_json[m_pos]);
            if (b == '\\')
                m_pos += m_pos + 1 < m_json.size() && m_json[m_pos + 1] == 'u' ? 6 : 2;
            else
                ++m_pos;
            if ((b & 0xC0) != 0x80 && ++chars > m_limits.textChars)
                fail(where.empty() ? "JSON" : where,
                     "a text of more than " + std::to_string(m_limits.textChars) + " characters");
        }
        const std::string head(m_json.substr(start, std::min<size_t>(std::min(m_pos, m_json.size()) - start, 64)));
        ++m_pos;
        return head;
    }

    std::string_view m_json;
    const JsonLimits &m_limits;
    size_t m_pos = 0;
    size_t m_values = 0;
    std::vector<Frame> m_stack;
};

// The bytes of a text: its characters through the code page, each stand-in
// of an undefined byte (see decodeExactly) as that byte.
std::string encodeExactly(const QString &text, const CodePage &cp, const std::string &where)
{
    const auto standIn = [&cp](QChar c) {
        const char16_t u = c.unicode();
        return u >= kUndefinedByteBase && u <= kUndefinedByteBase + 0xFF && !cp.defined(uint8_t(u - kUndefinedByteBase));
    };
    QString held = text;
    held.removeIf(standIn);
    const QString lacking = cp.unheldMessage(held);
    if (!lacking.isEmpty())
        fail(where, lacking.toStdString());
    std::string bytes;
    bytes.reserve(size_t(text.size()));
    for (const QChar c : text) {
        uint8_t b = 0;
        if (standIn(c))
            b = uint8_t(c.unicode() - kUndefinedByteBase);
        else
            cp.fromUnicode(c.unicode(), b); // held: checked above
        bytes += char(b);
    }
    return bytes;
}

int32_t toInt32(const QJsonValue &v, const std::string &where)
{
    const double d = v.toDouble();
    if (!v.isDouble() || std::floor(d) != d || d < double(INT32_MIN) || d > double(INT32_MAX))
        fail(where, "not a 32-bit integer");
    return int32_t(d);
}

TFieldType typeFromText(const QString &text, const std::string &where)
{
    for (TFieldType t : {TFieldType::String, TFieldType::Integer, TFieldType::Boolean, TFieldType::Graphic})
        if (text == QLatin1String(FieldTypeName(t)))
            return t;
    fail(where, "unknown type \"" + text.toStdString() + "\"");
}

// The bytes a base64 text decodes to (when it is valid base64).
uint64_t base64DecodedSize(const QString &base64)
{
    qsizetype n = base64.size();
    while (n > 0 && base64[n - 1] == QLatin1Char('='))
        --n;
    return uint64_t(n) / 4 * 3 + (n % 4 > 1 ? uint64_t(n % 4 - 1) : 0);
}

struct ParsedTable {
    std::vector<TFieldDef> defs;
    std::vector<std::vector<TValue>> rows;
};

// check: throws when the field list lacks a field of the table it stands for.
// fixed: the fields whose width and required flag the table keeps, whatever
// the JSON declares; rows are checked against those.
ParsedTable parseTable(const QJsonObject &root, const char *key, const CodePage &cp,
                       void (*check)(const TRecordTable &, const std::string &),
                       const std::vector<TFieldDef> &fixed, const JsonLimits &limits)
{
    const QJsonValue tableValue = root.value(QLatin1String(key));
    if (!tableValue.isObject())
        fail(key, "missing or not an object");
    const QJsonObject table = tableValue.toObject();
    for (auto it = table.begin(); it != table.end(); ++it)
        if (it.key() != "fields" && it.key() != "rows")
            fail(key, "unknown entry \"" + it.key().toStdString() + "\"");
    if (!table.value("fields").isArray() || !table.value("rows").isArray())
        fail(key, "needs the arrays \"fields\" and \"rows\"");

    ParsedTable out;
    const QJsonArray fields = table.value("fields").toArray();
    for (qsizetype i = 0; i < fields.size(); ++i) {
        const std::string where = std::string(key) + ".fields[" + std::to_string(i) + "]";
        if (!fields[i].isObject())
            fail(where, "not an object");
        const QJsonObject f = fields[i].toObject();
        for (auto it = f.begin(); it != f.end(); ++it)
            if (it.key() != "name" && it.key() != "type" && it.key() != "size" && it.key() != "required")
                fail(where, "unknown entry \"" + it.key().toStdString() + "\"");
        TFieldDef def;
        const QString name = f.value("name").toString();
        if (!f.value("name").isString() || name.isEmpty() || name.size() > 255)
            fail(where, "needs a name");
        for (const QChar c : name)
            if (c.unicode() < 0x20 || c.unicode() > 0x7E)
                fail(where, "a field name is ASCII");
        def.Name = name.toStdString();
        for (const TFieldDef &earlier : out.defs)
            if (QString::fromStdString(earlier.Name).compare(name, Qt::CaseInsensitive) == 0)
                fail(where, "field '" + def.Name + "' appears twice");
        def.DataType = typeFromText(f.value("type").toString(), where);
        if (def.DataType == TFieldType::String) {
            def.Size = toInt32(f.value("size"), where + ".size");
            if (def.Size < 1 || def.Size > 65535)
                fail(where + ".size", "must be 1 to 65535");
        } else if (f.contains("size")) {
            fail(where + ".size", "only text fields have a size");
        }
        if (f.contains("required") && !f.value("required").isBool())
            fail(where + ".required", "not true or false");
        def.Required = f.value("required").toBool(false);
        out.defs.push_back(def);
    }
    ApplyFixedFields(out.defs, fixed);
    {
        TRecordTable probe;
        probe.CreateDataSet(out.defs);
        check(probe, key);
        probe.SaveToBytes(); // the field list must fit a datapacket, for the package
    }

    const QJsonArray rows = table.value("rows").toArray();
    out.rows.reserve(size_t(rows.size()));
    uint64_t pictureBytes = 0;
    for (qsizetype r = 0; r < rows.size(); ++r) {
        const std::string rowWhere = std::string(key) + ".rows[" + std::to_string(r) + "]";
        if (!rows[r].isObject())
            fail(rowWhere, "not an object");
        const QJsonObject row = rows[r].toObject();
        for (auto it = row.begin(); it != row.end(); ++it) {
            bool known = false;
            for (const TFieldDef &d : out.defs)
                known = known || it.key() == QString::fromStdString(d.Name);
            if (!known)
                fail(rowWhere, "unknown field \"" + it.key().toStdString() + "\"");
        }
        std::vector<TValue> values;
        values.reserve(out.defs.size());
        for (const TFieldDef &d : out.defs) {
            const std::string where = rowWhere + "." + d.Name;
            const QJsonValue v = row.value(QString::fromStdString(d.Name));
            if (v.isNull() || v.isUndefined()) {
                if (d.Required)
                    fail(where, "must have a value");
                values.emplace_back();
                continue;
            }
            switch (d.DataType) {
            case TFieldType::Integer:
                values.emplace_back(toInt32(v, where));
                break;
            case TFieldType::Boolean:
                if (!v.isBool())
                    fail(where, "not true or false");
                values.emplace_back(v.toBool());
                break;
            case TFieldType::String: {
                if (!v.isString())
                    fail(where, "not a text");
                const QString text = v.toString();
                if (text.size() > d.Size) // no character of a code page takes two
                    fail(where, "longer than " + std::to_string(d.Size) + " characters");
                const std::string bytes = encodeExactly(text, cp, where);
                if (bytes.size() > size_t(d.Size))
                    fail(where, "longer than " + std::to_string(d.Size) + " characters");
                if (bytes.find('\0') != std::string::npos)
                    fail(where, "holds a zero character");
                if (d.Required && bytes.empty())
                    fail(where, "must have a value");
                values.emplace_back(bytes);
                break;
            }
            case TFieldType::Graphic: {
                if (!v.isString())
                    fail(where, "not a base64 text");
                const QString base64 = v.toString();
                // Measured before it is decoded.
                pictureBytes += base64DecodedSize(base64);
                if (pictureBytes > limits.pictureBytes)
                    fail(where, "the table's pictures are larger than " + std::to_string(limits.pictureBytes) +
                                    " bytes together");
                const auto decoded = QByteArray::fromBase64Encoding(base64.toLatin1(),
                                                                    QByteArray::AbortOnBase64DecodingErrors);
                if (!decoded)
                    fail(where, "not valid base64");
                values.emplace_back(std::string(decoded.decoded.constData(), size_t(decoded.decoded.size())));
                break;
            }
            }
        }
        out.rows.push_back(std::move(values));
    }
    return out;
}

// The code page the JSON's settings name (an older JSON names none: empty).
std::string parseCodePage(const QJsonObject &root)
{
    const QJsonValue settings = root.value("settings");
    if (!settings.isObject() || !settings.toObject().contains(kCodePageKey))
        return std::string();
    const QJsonValue value = settings.toObject().value(kCodePageKey);
    if (!value.isString())
        fail("settings.codePage", "not a text");
    return checkedCodePageName(value.toString().toStdString(), "settings.codePage");
}

PackageSettings parseSettings(const QJsonObject &root, const CodePage &cp)
{
    const QJsonValue value = root.value("settings");
    if (!value.isObject())
        fail("settings", "missing or not an object");
    const QJsonObject obj = value.toObject();
    const std::vector<std::string> keys = settingKeys();
    for (auto it = obj.begin(); it != obj.end(); ++it)
        if (std::find(keys.begin(), keys.end(), it.key().toStdString()) == keys.end() && it.key() != kCodePageKey)
            fail("settings", "unknown setting \"" + it.key().toStdString() + "\"");
    for (const std::string &k : keys)
        if (!obj.contains(QString::fromStdString(k)))
            fail("settings", "\"" + k + "\" is missing");

    PackageSettings s;
    s.bkcolor = toInt32(obj.value("bkcolor"), "settings.bkcolor");
    for (const char *k : {"Author", "misc"}) {
        const std::string where = std::string("settings.") + k;
        if (!obj.value(k).isString())
            fail(where, "not a text");
        (k[0] == 'A' ? s.Author : s.misc) = encodeExactly(obj.value(k).toString(), cp, where);
    }
    size_t n = 3;
    for (auto *a : {&s.lengths, &s.xValues, &s.colors})
        for (int32_t &v : *a) {
            v = toInt32(obj.value(QString::fromStdString(keys[n])), "settings." + keys[n]);
            ++n;
        }
    return s;
}

void fillTable(TRecordTable &table, const ParsedTable &parsed)
{
    ControlsDisabled quiet(table);
    for (const auto &row : parsed.rows)
        table.AppendRecord(row);
}

} // namespace

std::string PackageToJson(TDataMod &dm, const CodePage &cp)
{
    std::string out = "{\n";
    appendTable(out, "keys", dm.MainTbl, cp);
    out += ",\n";
    appendTable(out, "chars", dm.Ctbl, cp);
    out += ",\n  \"settings\": {";
    const PackageSettings s = dm.Settings();
    const std::vector<std::string> keys = settingKeys();
    const std::vector<int32_t> numbers = settingNumbers(s);
    for (size_t i = 0; i < keys.size(); ++i) {
        out += i ? ",\n    " : "\n    ";
        appendAsciiString(out, keys[i]);
        out += ": ";
        if (i == 0)
            out += std::to_string(s.bkcolor);
        else if (i == 1)
            appendJsonString(out, decodeExactly(s.Author, cp));
        else if (i == 2)
            appendJsonString(out, decodeExactly(s.misc, cp));
        else
            out += std::to_string(numbers[i - 3]);
    }
    // The code page the texts were read in: a build from this JSON writes
    // its bytes in it again.
    out += ",\n    ";
    appendAsciiString(out, kCodePageKey);
    out += ": ";
    appendAsciiString(out, cp.name());
    out += "\n  }\n}\n";
    return out;
}

void PackageFromJson(TDataMod &dm, std::string_view json, const CodePage &cp, const JsonLimits &limits)
{
    JsonMeasure(json, limits).run();
    QJsonParseError error{};
    const QJsonDocument doc = QJsonDocument::fromJson(QByteArray(json.data(), qsizetype(json.size())), &error);
    if (error.error != QJsonParseError::NoError)
        throw EConvertError("JSON: " + error.errorString().toStdString() + " at offset "
                            + std::to_string(error.offset));
    if (!doc.isObject())
        throw EConvertError("JSON: the document is not an object");
    const QJsonObject root = doc.object();
    for (auto it = root.begin(); it != root.end(); ++it)
        if (it.key() != "keys" && it.key() != "chars" && it.key() != "settings")
            throw EConvertError("JSON: unknown entry \"" + it.key().toStdString() + "\"");

    // Texts are written in the code page the JSON names, else in the one given.
    const std::string named = parseCodePage(root);
    const std::optional<CodePage> own = named.empty() ? std::nullopt : std::optional<CodePage>(CodePage(named));
    const CodePage &textCp = own ? *own : cp;
    const ParsedTable keys = parseTable(root, "keys", textCp, &TDataMod::CheckKeyFields, TDataMod::KeyFieldDefs(),
                                       limits);
    const ParsedTable chars = parseTable(root, "chars", textCp, &TDataMod::CheckCharFields,
                                        TDataMod::CharFieldDefs(), limits);
    PackageSettings settings = parseSettings(root, textCp);
    settings.codePage = named;

    // Build the tables apart first, so a refusal leaves dm as it was.
    TRecordTable keyTable, charTable;
    keyTable.CreateDataSet(keys.defs);
    charTable.CreateDataSet(chars.defs);
    fillTable(keyTable, keys);
    fillTable(charTable, chars);

    dm.ReplaceDefinition(keyTable, charTable, settings);
}

} // namespace kf
