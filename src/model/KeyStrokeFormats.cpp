#include "model/KeyStrokeFormats.h"

#include "common/CodePage.h"
#include "common/CodePageDecoder.h"
#include "common/Translation.h"
#include "model/KeyCodes.h"
#include "model/KeyStrokeStats.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QString>

#include <algorithm>
#include <cstdio>
#include <map>

namespace kf {

namespace {

std::string hexByte(uint8_t b)
{
    char buf[8];
    std::snprintf(buf, sizeof buf, "0x%02X", unsigned(b));
    return buf;
}

// A character's key in JSON: the character, or the hexadecimal value of an
// undefined byte.
QString charKey(const std::string &bytes, const CodePage &codePage)
{
    QString out;
    for (char c : bytes) {
        const uint8_t b = uint8_t(c);
        if (codePage.defined(b))
            out += codePage.decode(std::string(1, c));
        else
            out += QString::fromStdString(hexByte(b));
    }
    return out;
}

QString unicodeText(char32_t c)
{
    std::string utf8;
    AppendUtf8(utf8, c);
    return QString::fromStdString(utf8);
}

QJsonObject figuresObject(const TKeyStrokeFigures &f, const CodePage &codePage)
{
    QJsonObject o;
    o.insert("characters", double(f.Characters));
    o.insert("typed", double(f.Typed));
    o.insert("keystrokes", double(f.Keystrokes));
    QJsonArray fingers;
    for (int i = 0; i < Fingers::kCount; ++i)
        fingers.append(f.FingerShare(i));
    o.insert("fingers", fingers);
    o.insert("hands", QJsonArray{f.HandShare(0), f.HandShare(1)});
    QJsonArray rows;
    for (size_t r = 0; r < f.Rows.size(); ++r)
        rows.append(QJsonObject{{"name", QString::fromStdString(f.Rows[r].Name)},
                                {"number", f.Rows[r].Number},
                                {"home", f.Rows[r].Home},
                                {"share", f.RowShare(r)}});
    o.insert("rows", rows);
    QJsonObject keys;
    for (size_t k = 0; k < f.Keys.size(); ++k) {
        QString name = codePage.decode(f.KeyNames[k]);
        // Two keys of one name stay apart.
        for (int n = 2; keys.contains(name); ++n)
            name = codePage.decode(f.KeyNames[k]) + QStringLiteral(" #%1").arg(n);
        keys.insert(name, double(f.Keys[k]));
    }
    o.insert("keys", keys);
    o.insert("same_finger", f.SameFinger());
    QJsonArray top;
    for (const auto &p : f.SameFingerTop)
        top.append(QJsonObject{{"pair", charKey(p.Text, codePage)}, {"count", double(p.Count)}});
    o.insert("same_finger_top", top);
    o.insert("alternation", f.Alternation());
    o.insert("modifiers", f.ModifierLoad());
    QJsonObject notTypeable;
    for (const auto &c : f.NotTypeableTop)
        notTypeable.insert(charKey(c.Text, codePage), double(c.Count));
    o.insert("not_typeable", notTypeable);
    o.insert("not_in_code_page", double(f.NotInCodePage));
    QJsonObject lacking;
    for (const auto &[c, n] : f.NotInCodePageTop)
        lacking.insert(unicodeText(c), double(n));
    o.insert("not_in_code_page_chars", lacking);
    QJsonArray warnings;
    for (const std::string &w : f.Warnings)
        warnings.append(QString::fromStdString(w));
    o.insert("warnings", warnings);
    return o;
}

std::string number(uint64_t n)
{
    return std::to_string(n);
}

std::string difference(uint64_t a, uint64_t b)
{
    if (b >= a)
        return (b > a ? "+" : "") + std::to_string(b - a);
    return "-" + std::to_string(a - b);
}

std::string share(double x, TShareStyle style)
{
    char buf[32];
    if (style == TShareStyle::Percent)
        std::snprintf(buf, sizeof buf, "%.1f %%", x * 100.0);
    else
        std::snprintf(buf, sizeof buf, "%.4f", x);
    return buf;
}

std::string signedShare(double x, TShareStyle style)
{
    char buf[32];
    if (style == TShareStyle::Percent)
        std::snprintf(buf, sizeof buf, "%+.1f %%", x * 100.0);
    else
        std::snprintf(buf, sizeof buf, "%+.4f", x);
    return buf;
}

std::string csvField(const std::string &s)
{
    if (s.find_first_of(",\"\r\n") == std::string::npos)
        return s;
    std::string q = "\"";
    for (char c : s) {
        if (c == '"')
            q += '"';
        q += c;
    }
    return q + '"';
}

} // namespace

std::string PrintableChars(const std::string &bytes, const CodePage &codePage)
{
    std::string out;
    for (char c : bytes) {
        const uint8_t b = uint8_t(c);
        if (c == '\n')
            out += "\u21B5";
        else if (c == '\t')
            out += "\u21E5";
        else if (c == ' ')
            out += "\u2423";
        else if (b < 0x20)
            out += "^" + std::string(1, char(c + 64));
        else if (!codePage.defined(b))
            out += hexByte(b);
        else
            out += codePage.decode(std::string(1, c)).toStdString();
    }
    return out;
}

std::string KeyStrokesToJson(const TKeyStrokeFigures &figures, const CodePage &codePage)
{
    return QJsonDocument(figuresObject(figures, codePage)).toJson(QJsonDocument::Indented).toStdString();
}

std::string KeyStrokesToJson(const TKeyStrokeFigures &a, const TKeyStrokeFigures &b, const CodePage &codePage)
{
    const QJsonObject root{{"a", figuresObject(a, codePage)}, {"b", figuresObject(b, codePage)}};
    return QJsonDocument(root).toJson(QJsonDocument::Indented).toStdString();
}

std::vector<TKeyStrokeLine> KeyStrokeLines(const TKeyStrokeFigures &a, const TKeyStrokeFigures *b,
                                           const CodePage &codePage, TShareStyle shares)
{
    std::vector<TKeyStrokeLine> lines;
    const auto counts = [&](const std::string &what, uint64_t na, uint64_t nb) {
        TKeyStrokeLine l{what, number(na), {}, {}};
        if (b) {
            l.B = number(nb);
            l.Difference = difference(na, nb);
        }
        lines.push_back(l);
    };
    const auto count = [&](const char *what, auto get) { counts(Translate(what), get(a), b ? get(*b) : 0); };
    const auto ratio = [&](const std::string &what, auto get) {
        TKeyStrokeLine l{what, share(get(a), shares), {}, {}};
        if (b) {
            l.B = share(get(*b), shares);
            l.Difference = signedShare(get(*b) - get(a), shares);
        }
        lines.push_back(l);
    };
    count("Characters read", [](const TKeyStrokeFigures &f) { return f.Characters; });
    count("Characters typed", [](const TKeyStrokeFigures &f) { return f.Typed; });
    count("Keystrokes", [](const TKeyStrokeFigures &f) { return f.Keystrokes; });
    for (int i = 0; i < Fingers::kCount; ++i)
        ratio(Translate(Fingers::kNames[i].caption), [i](const TKeyStrokeFigures &f) { return f.FingerShare(i); });
    ratio(Translate("Left hand"), [](const TKeyStrokeFigures &f) { return f.HandShare(0); });
    ratio(Translate("Right hand"), [](const TKeyStrokeFigures &f) { return f.HandShare(1); });
    // Rows by number from the top (the keys in no row last): the two
    // keyboards may have different rows, and different home rows.
    std::vector<int> numbers;
    std::map<int, std::pair<bool, bool>> home; // home row of a, of b
    const auto takeRows = [&](const TKeyStrokeFigures &f, bool second) {
        for (const auto &r : f.Rows) {
            if (std::find(numbers.begin(), numbers.end(), r.Number) == numbers.end())
                numbers.push_back(r.Number);
            (second ? home[r.Number].second : home[r.Number].first) |= r.Home;
        }
    };
    takeRows(a, false);
    if (b)
        takeRows(*b, true);
    std::stable_sort(numbers.begin(), numbers.end(), [](int x, int y) { return (x == 0 ? 1 << 30 : x) < (y == 0 ? 1 << 30 : y); });
    for (int n : numbers) {
        std::string name = n == 0 ? std::string(Translate("No row")) : TranslateWith("Row %1", {std::to_string(n)});
        const auto [homeA, homeB] = home[n];
        if (homeA && (homeB || !b))
            name += std::string(" ") + Translate("(home)");
        else if (homeA)
            name += std::string(" ") + Translate("(home in A)");
        else if (homeB)
            name += std::string(" ") + Translate("(home in B)");
        ratio(name, [n](const TKeyStrokeFigures &f) { return f.RowShareByNumber(n); });
    }
    ratio(Translate("Same-finger pairs"), [](const TKeyStrokeFigures &f) { return f.SameFinger(); });
    ratio(Translate("Hand alternation"), [](const TKeyStrokeFigures &f) { return f.Alternation(); });
    ratio(Translate("Modifier load"), [](const TKeyStrokeFigures &f) { return f.ModifierLoad(); });
    count("Not typeable", [](const TKeyStrokeFigures &f) { return f.NotTypeable; });
    count("Not in the code page", [](const TKeyStrokeFigures &f) { return f.NotInCodePage; });

    // The most frequent items of each keyboard, each item once, with both
    // keyboards' counts of it (an item one keyboard lists may lie further
    // down the other's list, or out of it).
    const auto listBoth = [&](const char *what, const auto &listA, const auto *listB, auto key, auto text,
                              auto countOf) {
        std::vector<decltype(key(listA[0]))> order;
        const auto take = [&](const auto &items) {
            for (size_t i = 0; i < std::min<size_t>(items.size(), 20); ++i)
                if (std::find(order.begin(), order.end(), key(items[i])) == order.end())
                    order.push_back(key(items[i]));
        };
        take(listA);
        if (listB)
            take(*listB);
        for (const auto &k : order)
            counts(TranslateWith(what, {text(k)}), countOf(a, k), b ? countOf(*b, k) : 0);
    };
    const auto charText = [&](const std::string &bytes) { return PrintableChars(bytes, codePage); };
    const auto charKey = [](const TKeyStrokeFigures::CharCount &c) { return c.Text; };
    if (!a.SameFingerTop.empty() || (b && !b->SameFingerTop.empty()))
        listBoth("Same finger: %1", a.SameFingerTop.empty() ? b->SameFingerTop : a.SameFingerTop,
                 a.SameFingerTop.empty() ? nullptr : (b ? &b->SameFingerTop : nullptr), charKey, charText,
                 [](const TKeyStrokeFigures &f, const std::string &pair) { return f.SameFingerCount(pair); });
    const auto notTypeable = [](const TKeyStrokeFigures &f, const std::string &c) {
        for (const auto &item : f.NotTypeableTop)
            if (item.Text == c)
                return item.Count;
        return uint64_t(0);
    };
    if (!a.NotTypeableTop.empty() || (b && !b->NotTypeableTop.empty()))
        listBoth("Not typeable: %1", a.NotTypeableTop.empty() ? b->NotTypeableTop : a.NotTypeableTop,
                 a.NotTypeableTop.empty() ? nullptr : (b ? &b->NotTypeableTop : nullptr), charKey, charText,
                 notTypeable);
    // The characters the code page lacks are the texts', the same for both.
    using Lacking = std::pair<char32_t, uint64_t>;
    if (!a.NotInCodePageTop.empty())
        listBoth("Not in the code page: %1", a.NotInCodePageTop, static_cast<const std::vector<Lacking> *>(nullptr),
                 [](const Lacking &c) { return c.first; },
                 [](char32_t c) { return unicodeText(c).toStdString(); },
                 [](const TKeyStrokeFigures &f, char32_t c) {
                     for (const auto &item : f.NotInCodePageTop)
                         if (item.first == c)
                             return item.second;
                     return uint64_t(0);
                 });
    return lines;
}

std::string KeyStrokesToCsv(const TKeyStrokeFigures &a, const TKeyStrokeFigures *b, const CodePage &codePage)
{
    std::string out = b ? "Figure,A,B,Difference\r\n" : "Figure,Value\r\n";
    for (const TKeyStrokeLine &l : KeyStrokeLines(a, b, codePage)) {
        out += csvField(l.What) + ',' + csvField(l.A);
        if (b)
            out += ',' + csvField(l.B) + ',' + csvField(l.Difference);
        out += "\r\n";
    }
    return out;
}

} // namespace kf
