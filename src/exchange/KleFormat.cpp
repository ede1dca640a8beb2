// keyboard-layout-editor raw data: an array of a metadata object and one
// array per row, each key a string of legends preceded by an object of what
// changes from the key before (x/y offsets, w/h, colour c, alignment a) in key
// units. Written from the view of the keyboard; read into a definition.

#include "exchange/ExchangeFormat.h"
#include "exchange/KeyboardFormats.h"
#include "exchange/KeyboardView.h"
#include "exchange/LayoutImportParts.h"
#include "common/CodePage.h"
#include "common/ColorValue.h"
#include "common/Errors.h"
#include "common/Translation.h"
#include "model/KeyCodes.h"
#include "model/KeyLayout.h"
#include "model/MainData.h"
#include "table/RecordTable.h"

#include <QChar>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QStringList>

#include <algorithm>
#include <cmath>
#include <map>

namespace kf {

namespace {

// What a file may hold before it is refused.
constexpr int kMaxKeys = 1000;
constexpr int kMaxRows = 200;
constexpr double kMaxPosition = 100; // key units from the origin
constexpr double kMaxSize = 20;      // key units
constexpr int kMaxLegend = 100;      // characters of one key's legends
constexpr size_t kMaxBytes = size_t(4) << 20;

// An import: a unit is this many pixels, keys keep this gap between them,
// and the board starts this far from the corner.
constexpr int kImportUnit = 42;
constexpr int kImportGap = 2;
constexpr int kMargin = 8;

// Legend slots in the editor's default alignment: the raw order is upper
// left, lower left, upper right, lower right.
enum Slot { UpperLeft = 0, LowerLeft = 1, UpperRight = 2, LowerRight = 3 };
// The level each slot shows.
constexpr int kSlotLevel[4] = {1, 0, 3, 2};

// Key units as pixels, as a read takes them.
int pixelsOf(double units, int unit)
{
    return int(std::lround(units * unit));
}

// A number of key units in the plainest form that a read turns back into the
// same pixels: quarters, eighths, tenths, twentieths, hundredths, else as it is.
double units(int pixels, int unit)
{
    const double exact = double(pixels) / unit;
    for (const int d : {4, 8, 10, 20, 100, 1000}) {
        const double v = std::round(exact * d) / d;
        if (pixelsOf(v, unit) == pixels)
            return v;
    }
    return std::round(exact * 10000) / 10000;
}

bool sameUnits(double a, double b)
{
    return std::fabs(a - b) < 1e-6;
}

QJsonValue number(double v)
{
    const double r = std::round(v * 10000) / 10000;
    if (r == std::floor(r) && std::fabs(r) < 1e9)
        return QJsonValue(int(r));
    return QJsonValue(r);
}

QString colourText(int32_t value)
{
    const QRgb rgb = ColorValueToRgb(uint32_t(value));
    return QString::asprintf("#%02x%02x%02x", qRed(rgb), qGreen(rgb), qBlue(rgb));
}

QString charText(char32_t c)
{
    return c ? QString::fromUcs4(&c, 1) : QString();
}

// What a level shows: its character, or the accent of a dead key.
QString levelLegend(const TViewKey &k, int level)
{
    if (k.Dead[size_t(level)])
        return charText(AccentCharacter(k.Dead[size_t(level)]));
    return charText(k.Chars[size_t(level)]);
}

QString legendsOf(const TViewKey &k)
{
    if (k.Type == KeyTypes::Space)
        return QString();
    QStringList slots4(4);
    if (k.IsCharacterKey()) {
        for (int s = 0; s < 4; ++s)
            slots4[s] = levelLegend(k, kSlotLevel[s]);
        // A dead key on AltGr shows once, where AltGr shows.
        if (k.Dead[2] && k.Dead[3] == k.Dead[2])
            slots4[UpperRight].clear();
        // A dead key has no AltGr levels of its own.
        if (KeyTypes::IsAccent(k.Type)) {
            slots4[UpperRight].clear();
            slots4[LowerRight].clear();
        }
        // The same dead key on both levels shows once.
        if (k.Dead[0] && k.Dead[1] == k.Dead[0])
            slots4[UpperLeft].clear();
    } else {
        slots4[UpperLeft] = k.Name;
    }
    while (!slots4.isEmpty() && slots4.back().isEmpty())
        slots4.removeLast();
    return slots4.join(QLatin1Char('\n'));
}

class KleRawData final : public TExchangeFormat {
public:
    const char *Name() const override { return "kle"; }
    QString Title() const override { return QStringLiteral("keyboard-layout-editor JSON"); }
    QString Filter() const override { return QStringLiteral("keyboard-layout-editor JSON (*.json)"); }

    std::string WriteKeyboard(const TKeyboardView &view, const TExportOptions &options,
                              std::vector<std::string> &) const override
    {
        QJsonArray data;
        QJsonObject meta;
        const QString description =
            options.Description.empty() ? view.Description : QString::fromStdString(options.Description);
        meta.insert(QStringLiteral("name"), description);
        meta.insert(QStringLiteral("author"), QStringLiteral("Keyfolio"));
        data.append(meta);

        std::map<int, std::vector<int>> rows;
        int minX = kMargin, minY = kMargin;
        for (size_t i = 0; i < view.Keys.size(); ++i) {
            const TViewKey &k = view.Keys[i];
            if (k.Row < 0)
                continue;
            rows[k.Row].push_back(int(i));
            minX = std::min(minX, k.X);
            minY = std::min(minY, k.Y);
        }
        const int unit = view.Unit, gap = view.Gap;
        double y = 0;
        QString colour = QStringLiteral("#cccccc");
        for (auto &[row, keys] : rows) {
            std::stable_sort(keys.begin(), keys.end(),
                             [&view](int a, int b) { return view.Keys[size_t(a)].X < view.Keys[size_t(b)].X; });
            QJsonArray line;
            double x = 0;
            for (int index : keys) {
                const TViewKey &k = view.Keys[size_t(index)];
                QJsonObject props;
                const int32_t value = view.FingerColors[size_t(std::clamp(k.Finger, 0, 9))];
                const QString c = value ? colourText(value) : QStringLiteral("#cccccc");
                if (c != colour) {
                    props.insert(QStringLiteral("c"), c);
                    colour = c;
                }
                const double kx = units(k.X - minX, unit), ky = units(k.Y - minY, unit);
                if (!sameUnits(ky, y)) {
                    props.insert(QStringLiteral("y"), number(ky - y));
                    y = ky;
                }
                if (!sameUnits(kx, x))
                    props.insert(QStringLiteral("x"), number(kx - x));
                const double w = units(k.Width + gap, unit), h = units(k.Height + gap, unit);
                if (!sameUnits(w, 1))
                    props.insert(QStringLiteral("w"), number(w));
                if (!sameUnits(h, 1))
                    props.insert(QStringLiteral("h"), number(h));
                if (!props.isEmpty())
                    line.append(props);
                line.append(legendsOf(k));
                x = kx + w;
            }
            data.append(line);
            y += 1;
        }
        return QJsonDocument(data).toJson(QJsonDocument::Indented).toStdString();
    }

    bool CanRead() const override { return true; }
    std::vector<std::string> ReadKeyboard(TDataMod &dm, const std::string &bytes, const CodePage &cp) const override;
};

// ---- reading -----------------------------------------------------------------

struct KleKey {
    double x = 0, y = 0, w = 1, h = 1;
    QString colour;
    std::array<QString, 4> legends; // by Slot
    QString place;                  // "row 2, key 5"
};

// The legend slot of a label's raw index under an alignment (the editor's
// twelve places folded onto the four corners); -1: none of the four.
int slotOf(int align, int index)
{
    // The editor's places: 0 upper left, 1 upper centre, 2 upper right, 3
    // centre left, 4 centre, 5 centre right, 6 lower left, 7 lower centre, 8
    // lower right, 9.. the front.
    static const int kPlaces[8][12] = {
        {0, 6, 2, 8, 9, 11, 3, 5, 1, 4, 7, 10},   {1, 7, -1, -1, 9, 11, 4, -1, -1, -1, -1, 10},
        {3, -1, 5, -1, 9, 11, -1, -1, 4, -1, -1, 10}, {4, -1, -1, -1, 9, 11, -1, -1, -1, -1, -1, 10},
        {0, 6, 2, 8, 10, -1, 3, 5, 1, 4, 7, -1},  {1, 7, -1, -1, 10, -1, 4, -1, -1, -1, -1, -1},
        {3, -1, 5, -1, 10, -1, -1, -1, 4, -1, -1, -1}, {4, -1, -1, -1, 10, -1, -1, -1, -1, -1, -1, -1},
    };
    if (align < 0 || align > 7 || index < 0 || index > 11)
        return -1;
    switch (kPlaces[align][index]) {
    case 0: case 1: case 3: case 4:
        return UpperLeft;
    case 6: case 7:
        return LowerLeft;
    case 2: case 5:
        return UpperRight;
    case 8:
        return LowerRight;
    default:
        return -1;
    }
}

[[noreturn]] void refuse(const std::string &message)
{
    throw EConvertError(message);
}

double numberOf(const QJsonValue &v, const QString &place, const char *what)
{
    if (!v.isDouble() || !std::isfinite(v.toDouble()))
        refuse(TranslateWith("%1: \"%2\" is not a number", {place.toStdString(), what}));
    return v.toDouble();
}

std::vector<KleKey> readKeys(const std::string &bytes, QString &name)
{
    if (bytes.size() > kMaxBytes)
        refuse(LibraryText("The file is larger than a keyboard-layout-editor file can be (%s bytes)",
                           std::to_string(kMaxBytes)));
    QJsonParseError error{};
    const QJsonDocument doc = QJsonDocument::fromJson(QByteArray::fromStdString(bytes), &error);
    if (doc.isNull())
        refuse(LibraryText("Not keyboard-layout-editor data: %s at byte %s", error.errorString().toStdString(),
                           std::to_string(error.offset)));
    if (!doc.isArray())
        refuse(LibraryText("Not keyboard-layout-editor data: the raw data is an array of rows"));
    const QJsonArray data = doc.array();
    if (data.size() > kMaxRows + 1)
        refuse(LibraryText("The file has more than %s rows", std::to_string(kMaxRows)));

    std::vector<KleKey> keys;
    KleKey current;
    current.colour = QStringLiteral("#cccccc");
    double rowX = 0;
    int align = 4;
    int rowNo = 0;
    for (int r = 0; r < data.size(); ++r) {
        const QJsonValue item = data.at(r);
        if (item.isObject()) {
            if (r != 0)
                refuse(LibraryText("Not keyboard-layout-editor data: element %s is an object; only the first, the "
                                   "metadata, may be one",
                                   std::to_string(r + 1)));
            name = item.toObject().value(QStringLiteral("name")).toString().left(kMaxLegend);
            continue;
        }
        if (!item.isArray())
            refuse(LibraryText("Not keyboard-layout-editor data: element %s is not a row", std::to_string(r + 1)));
        ++rowNo;
        const QJsonArray row = item.toArray();
        int keyNo = 0;
        for (int k = 0; k < row.size(); ++k) {
            const QJsonValue v = row.at(k);
            const QString place = QStringLiteral("row %1, key %2").arg(rowNo).arg(keyNo + 1);
            if (v.isString()) {
                if (int(keys.size()) >= kMaxKeys)
                    refuse(LibraryText("The file has more than %s keys", std::to_string(kMaxKeys)));
                const QString text = v.toString();
                if (text.size() > kMaxLegend)
                    refuse(TranslateWith("%1: the legends are longer than %2 characters",
                                         {place.toStdString(), std::to_string(kMaxLegend)}));
                KleKey key = current;
                key.place = place;
                const QStringList labels = text.split(QLatin1Char('\n'));
                for (int i = 0; i < labels.size() && i < 12; ++i) {
                    const int slot = slotOf(align, i);
                    if (slot >= 0 && key.legends[size_t(slot)].isEmpty())
                        key.legends[size_t(slot)] = labels[i];
                }
                if (std::fabs(key.x) > kMaxPosition || std::fabs(key.y) > kMaxPosition)
                    refuse(TranslateWith("%1 lies more than %2 keys away", {place.toStdString(), "100"}));
                keys.push_back(key);
                ++keyNo;
                current.x += current.w;
                current.w = current.h = 1;
            } else if (v.isObject()) {
                const QJsonObject o = v.toObject();
                const auto has = [&o](const char *key) { return o.contains(QLatin1String(key)); };
                if ((has("r") && numberOf(o.value(QStringLiteral("r")), place, "r") != 0))
                    refuse(TranslateWith("%1 is rotated: Keyfolio reads keys in rows only", {place.toStdString()}));
                if (has("rx"))
                    current.x = rowX = numberOf(o.value(QStringLiteral("rx")), place, "rx");
                if (has("ry"))
                    current.y = numberOf(o.value(QStringLiteral("ry")), place, "ry");
                if (has("a")) {
                    align = int(numberOf(o.value(QStringLiteral("a")), place, "a"));
                    if (align < 0 || align > 7)
                        refuse(TranslateWith("%1: alignment \"a\" is 0 to 7", {place.toStdString()}));
                }
                if (has("c"))
                    current.colour = o.value(QStringLiteral("c")).toString().left(16);
                if (has("x"))
                    current.x += numberOf(o.value(QStringLiteral("x")), place, "x");
                if (has("y"))
                    current.y += numberOf(o.value(QStringLiteral("y")), place, "y");
                for (const char *size : {"w", "h"}) {
                    if (!has(size))
                        continue;
                    const double s = numberOf(o.value(QLatin1String(size)), place, size);
                    if (!(s > 0) || s > kMaxSize)
                        refuse(TranslateWith("%1: \"%2\" must lie above 0 and at most 20 keys",
                                             {place.toStdString(), size}));
                    (size[0] == 'w' ? current.w : current.h) = s;
                }
                if (std::fabs(current.x) > kMaxPosition || std::fabs(current.y) > kMaxPosition)
                    refuse(TranslateWith("%1 lies more than %2 keys away", {place.toStdString(), "100"}));
            } else {
                refuse(TranslateWith("%1 is neither legends nor properties", {place.toStdString()}));
            }
        }
        current.y += 1;
        current.x = rowX;
    }
    if (keys.empty())
        refuse(LibraryText("Not keyboard-layout-editor data: the file has no key"));
    return keys;
}

// The key type a legend names ("Backspace", "Shift", ...); 0 for none.
int32_t typeOfLegend(const QString &legend, bool rightHalf)
{
    const QString l = legend.trimmed().toLower();
    using namespace KeyTypes;
    static const std::pair<const char *, int32_t> kNames[] = {
        {"backspace", Backspace}, {"bksp", Backspace}, {"enter", Enter},     {"return", Enter},
        {"caps lock", CapsLock},  {"caps", CapsLock},  {"capslock", CapsLock}, {"delete", Delete},
        {"del", Delete},          {"altgr", AltGr},    {"alt gr", AltGr},    {"alt", Alt},
        {"l alt", Alt},           {"r alt", Alt},
        {"space", Space},
    };
    for (const auto &[name, type] : kNames)
        if (l == QLatin1String(name))
            return type;
    if (l == QLatin1String("shift") || l == QLatin1String("l shift") || l == QLatin1String("r shift"))
        return rightHalf || l.startsWith(QLatin1Char('r')) ? RShift : LShift;
    if (l == QLatin1String("ctrl") || l == QLatin1String("control") || l == QLatin1String("l ctrl")
        || l == QLatin1String("r ctrl"))
        return rightHalf || l.startsWith(QLatin1Char('r')) ? RCtrl : LCtrl;
    return None;
}

// A legend that is one character the code page holds; 0 otherwise.
char32_t heldCharacter(const QString &legend, const CodePage &cp, uint8_t &byte)
{
    const std::u32string s = legend.toStdU32String();
    if (s.size() != 1 || s[0] < 0x20 || !cp.fromUnicode(s[0], byte))
        return 0;
    return s[0];
}

std::vector<std::string> KleRawData::ReadKeyboard(TDataMod &dm, const std::string &bytes, const CodePage &cp) const
{
    QString name;
    const std::vector<KleKey> keys = readKeys(bytes, name);
    std::vector<std::string> warnings;

    double minX = keys.front().x, maxX = keys.front().x + keys.front().w, minY = keys.front().y;
    for (const KleKey &k : keys) {
        minX = std::min(minX, k.x);
        maxX = std::max(maxX, k.x + k.w);
        minY = std::min(minY, k.y);
    }
    const double middle = (minX + maxX) / 2;
    auto px = [](double v) { return pixelsOf(v, kImportUnit); };

    struct Row {
        std::string name;
        int32_t value, type, finger;
        int x, y, w, h;
        std::string hint;
        std::array<uint8_t, 4> chars{}; // by level
    };
    std::vector<Row> rows;
    std::map<std::string, int> names;
    for (const KleKey &k : keys) {
        Row row{};
        row.value = int32_t(rows.size()) + 1;
        row.x = kMargin + px(k.x - std::min(0.0, minX));
        row.y = kMargin + px(k.y - std::min(0.0, minY));
        row.w = std::max(1, px(k.w) - kImportGap);
        row.h = std::max(1, px(k.h) - kImportGap);
        const bool rightHalf = k.x + k.w / 2 > middle;
        const QString &first = !k.legends[UpperLeft].isEmpty() ? k.legends[UpperLeft] : k.legends[LowerLeft];

        // The characters of the levels, from the corners.
        std::array<uint8_t, 4> bytesOf{};
        std::array<char32_t, 4> chars{};
        for (int s = 0; s < 4; ++s) {
            const QString &legend = k.legends[size_t(s)];
            if (legend.isEmpty())
                continue;
            uint8_t b = 0;
            if (const char32_t c = heldCharacter(legend, cp, b)) {
                chars[size_t(kSlotLevel[s])] = c;
                bytesOf[size_t(kSlotLevel[s])] = b;
            }
        }
        // One letter in the upper left alone: the key types it with Shift and
        // its small letter without.
        if (chars[1] && !chars[0] && k.legends[LowerLeft].isEmpty() && QChar::isUpper(chars[1])) {
            const char32_t lower = QChar::toLower(chars[1]);
            uint8_t b = 0;
            if (lower != chars[1] && cp.fromUnicode(lower, b)) {
                chars[0] = lower;
                bytesOf[0] = b;
            }
        } else if (chars[1] && !chars[0] && k.legends[LowerLeft].isEmpty()) {
            chars[0] = chars[1];
            bytesOf[0] = bytesOf[1];
            chars[1] = 0;
            bytesOf[1] = 0;
        }

        const bool blank = std::all_of(k.legends.begin(), k.legends.end(), [](const QString &l) { return l.isEmpty(); });
        row.type = typeOfLegend(first, rightHalf);
        if (row.type == KeyTypes::None && blank && k.w >= 3)
            row.type = KeyTypes::Space;
        if (row.type == KeyTypes::Space) {
            row.chars = {};
            row.chars[0] = ' ';
            row.name = "Space";
        } else if (row.type == KeyTypes::None && chars[0]) {
            const char32_t upper = QChar::toUpper(chars[0]);
            row.type = chars[1] && chars[1] == upper && upper != chars[0] ? KeyTypes::Alpha : KeyTypes::Num;
            row.chars = bytesOf;
            uint8_t b = 0;
            row.name = upper > 0x20 && cp.fromUnicode(upper, b) ? std::string(1, char(b))
                                                                 : std::string(1, char(bytesOf[0]));
        } else {
            row.name = cp.encode(first.left(20));
            if (row.type == KeyTypes::None && !blank)
                warnings.push_back(TranslateWith("%1 (\"%2\"): no character the code page holds, no key of its own",
                                                 {k.place.toStdString(), first.toStdString()}));
        }
        if (row.name.empty())
            row.name = "Key " + std::to_string(row.value);
        if (row.name.size() > 20)
            row.name.resize(20);
        // Names stay apart.
        if (int &seen = names[row.name]; seen++ > 0) {
            std::string numbered = row.name.substr(0, 16) + " " + std::to_string(row.value);
            row.name = numbered;
        }
        QStringList hint;
        for (const QString &l : k.legends)
            if (!l.isEmpty())
                hint << l;
        row.hint = cp.encode(hint.join(QLatin1Char(' ')).left(127));
        row.finger = rightHalf ? Fingers::RLittle : Fingers::LLittle;
        if (row.type == KeyTypes::Space)
            row.finger = Fingers::LThumb;
        rows.push_back(std::move(row));
    }

    auto build = [&rows](TRecordTable &keyTable, TRecordTable &charTable) {
        std::vector<std::vector<TValue>> keyRows, charRows;
        static const char *const kSuffix[] = {" normal", " shifted", " AltGr", " AltGr shifted"};
        for (const Row &r : rows) {
            keyRows.push_back({TValue(r.name), TValue(r.value), TValue(r.type), TValue(), TValue(r.finger), TValue(),
                               TValue(r.w), TValue(r.h), TValue(r.x), TValue(r.y), TValue(r.hint)});
            for (int l = 0; l < 4; ++l) {
                if (!r.chars[size_t(l)])
                    continue;
                std::string charName = r.name + kSuffix[l];
                if (charName.size() > 30)
                    charName.resize(30);
                charRows.push_back({TValue(charName), TValue(int32_t(r.chars[size_t(l)])), TValue(r.value),
                                    TValue((l & 1) != 0), TValue((l & 2) != 0), TValue(0)});
            }
        }
        keyTable.AppendRecords(keyRows);
        charTable.AppendRecords(charRows);
    };

    // Fingers by the touch-typing assignment of the key's place on the main
    // block: a character key by the place it is given, any other key by the
    // place of the block its centre is nearest to.
    {
        TRecordTable keyTable(TDataMod::KeyFieldDefs()), charTable(TDataMod::CharFieldDefs());
        build(keyTable, charTable);
        const TKeyboardView view = TKeyboardView::FromLayout(TKeyLayout::FromTables(keyTable, charTable), cp);
        const std::vector<xkbimport::KeySlot> slots4 = xkbimport::BlockSlots(view.Iso ? KeyBlock::Iso : KeyBlock::Ansi);
        for (size_t i = 0; i < view.Keys.size() && i < rows.size(); ++i) {
            Row &r = rows[i];
            if (r.type == KeyTypes::Space)
                continue;
            const xkbimport::KeySlot *best = nullptr;
            long bestDistance = 0;
            for (const xkbimport::KeySlot &slot : slots4) {
                if (!view.Keys[i].Slot.empty()) {
                    if (view.Keys[i].Slot == slot.xkb)
                        best = &slot;
                    continue;
                }
                const long dx = long(2 * r.x + r.w) - (2 * slot.x + slot.w), dy = long(2 * r.y + r.h) - (2 * slot.y + slot.h);
                const long distance = dx * dx + dy * dy;
                if (!best || distance < bestDistance) {
                    best = &slot;
                    bestDistance = distance;
                }
            }
            if (best)
                r.finger = best->finger;
        }
    }
    TRecordTable keyTable(TDataMod::KeyFieldDefs()), charTable(TDataMod::CharFieldDefs());
    build(keyTable, charTable);

    PackageSettings settings = dm.Settings();
    settings.Author = cp.encode(name.isEmpty() ? QStringLiteral("keyboard-layout-editor") : name);
    settings.misc = cp.encode(QStringLiteral("keyboard-layout-editor file, code page ") + QString::fromStdString(cp.name()));
    dm.ReplaceDefinition(keyTable, charTable, settings);
    return warnings;
}

} // namespace

const TExchangeFormat &KleFormat()
{
    static const KleRawData format;
    return format;
}

} // namespace kf
