#include "exchange/KeyboardView.h"

#include "common/CodePage.h"
#include "common/Errors.h"
#include "common/Translation.h"
#include "model/KeyCodes.h"
#include "model/KeyLayout.h"
#include "model/MainData.h"

#include <algorithm>
#include <map>

namespace kf {

namespace {

struct AccentNames {
    int32_t code;
    const char *deadSym;
    char32_t spacing;
};

const AccentNames kAccents[] = {
    {KeyTypes::FirstAccent, "dead_grave", U'`'}, {KeyTypes::Acute, "dead_acute", U'\u00B4'},
    {KeyTypes::Circumflex, "dead_circumflex", U'^'}, {KeyTypes::Tilde, "dead_tilde", U'~'},
    {KeyTypes::Umlaut, "dead_diaeresis", U'\u00A8'}, {KeyTypes::Ring, "dead_abovering", U'\u00B0'},
    {KeyTypes::LastAccent, "dead_cedilla", U'\u00B8'},
};

const AccentNames *accentNames(int32_t accent)
{
    for (const AccentNames &a : kAccents)
        if (a.code == accent)
            return &a;
    return nullptr;
}

// The most common of some values; fallback when there are none.
int mostCommon(const std::vector<int> &values, int fallback)
{
    std::map<int, int> count;
    for (int v : values)
        ++count[v];
    int best = fallback, bestCount = 0;
    for (const auto &[v, n] : count)
        if (n > bestCount) {
            best = v;
            bestCount = n;
        }
    return best;
}

std::string toUtf8(const QString &s)
{
    return s.toStdString();
}

QString charText(char32_t c)
{
    return QString::fromUcs4(&c, 1);
}

const char *const kLevelWords[] = {"plain", "Shift", "AltGr", "Shift+AltGr"};

} // namespace

bool TViewKey::IsCharacterKey() const
{
    for (int l = 0; l < 4; ++l)
        if (Chars[size_t(l)] || Dead[size_t(l)])
            return true;
    return false;
}

std::vector<std::vector<std::string>> MainBlockRows(bool iso)
{
    auto numbered = [](const char *prefix, int from, int to) {
        std::vector<std::string> out;
        for (int i = from; i <= to; ++i) {
            char buf[8];
            std::snprintf(buf, sizeof buf, "%s%02d", prefix, i);
            out.emplace_back(buf);
        }
        return out;
    };
    std::vector<std::string> e = numbered("AE", 1, 12);
    e.insert(e.begin(), "TLDE");
    std::vector<std::string> d = numbered("AD", 1, 12);
    std::vector<std::string> c = numbered("AC", 1, 11);
    std::vector<std::string> b = numbered("AB", 1, 10);
    if (iso) {
        c.emplace_back("BKSL");
        b.insert(b.begin(), "LSGT");
    } else {
        d.emplace_back("BKSL");
    }
    return {e, d, c, b};
}

const char *DeadKeysymName(int32_t accent)
{
    const AccentNames *a = accentNames(accent);
    return a ? a->deadSym : nullptr;
}

char32_t AccentCharacter(int32_t accent)
{
    const AccentNames *a = accentNames(accent);
    return a ? a->spacing : 0;
}

TKeyboardView TKeyboardView::FromDataMod(const TDataMod &dm, const CodePage &cp)
{
    TKeyboardView view = FromLayout(TKeyLayout::FromDataMod(dm), cp);
    view.Description = cp.decode(dm.Author);
    if (std::none_of(view.Placed.begin(), view.Placed.end(),
                     [&view](int k) { return view.Keys[size_t(k)].Type != KeyTypes::Space; }))
        throw EConvertError(LibraryText("No character key of the keyboard finds a place on the main block of a PC "
                                        "keyboard: there is nothing to export"));
    return view;
}

TKeyboardView TKeyboardView::FromLayout(const TKeyLayout &layout, const CodePage &cp)
{
    TKeyboardView view;
    view.CodePageName = cp.name();
    view.FingerColors = layout.FingerColors;
    auto decodeByte = [&cp](uint8_t b) -> char32_t {
        if (b == 0)
            return 0;
        const char16_t u = cp.toUnicode(b);
        return u == 0xFFFD ? 0 : char32_t(u);
    };

    // Every key, its four levels as the tutor types them.
    for (size_t i = 0; i < layout.Keys.size(); ++i) {
        const TLayoutKey &k = layout.Keys[i];
        TViewKey v;
        v.Name = cp.decode(k.Name);
        v.Type = k.Type;
        v.Type2 = k.Type2;
        v.Finger = k.Finger;
        v.X = k.X;
        v.Y = k.Y;
        v.Width = k.Width;
        v.Height = k.Height;
        v.Row = k.Row;
        for (int l = 0; l < kKeyLevelCount; ++l) {
            const int32_t code = KeyTypes::EffectiveCode(k.Type, k.Type2, (l & 1) != 0, (l & 2) != 0);
            if (KeyTypes::IsAccent(code))
                v.Dead[size_t(l)] = code;
            else if (KeyTypes::IsCharType(code))
                v.Chars[size_t(l)] = decodeByte(layout.CharAt(int(i), TKeyLevel(l)));
        }
        view.Keys.push_back(std::move(v));
    }

    // The unit: the most common distance between neighbouring keys' left
    // edges in a row; the gap: what the unit has beyond the most common width.
    std::vector<int> steps, widths;
    for (const std::vector<int> &row : layout.Rows)
        for (size_t j = 0; j < row.size(); ++j) {
            widths.push_back(layout.Keys[size_t(row[j])].Width);
            if (j + 1 < row.size()) {
                const int d = layout.Keys[size_t(row[j + 1])].X - layout.Keys[size_t(row[j])].X;
                if (d > 0)
                    steps.push_back(d);
            }
        }
    view.Unit = std::max(1, mostCommon(steps, 42));
    view.Gap = std::clamp(view.Unit - mostCommon(widths, view.Unit), 0, view.Unit / 2);

    // The space bar, and the rows of character keys above it.
    int space = -1;
    for (size_t i = 0; i < view.Keys.size(); ++i)
        if (view.Keys[i].Type == KeyTypes::Space && view.Keys[i].IsCharacterKey() && view.Keys[i].Row >= 0) {
            space = int(i);
            break;
        }
    const int spaceRow = space >= 0 ? view.Keys[size_t(space)].Row : int(layout.Rows.size());
    std::vector<std::vector<int>> rows;
    std::vector<int> unplaced;
    for (int r = 0; r < int(layout.Rows.size()); ++r) {
        std::vector<int> keys;
        for (int k : layout.Rows[size_t(r)])
            if (k != space && view.Keys[size_t(k)].IsCharacterKey())
                keys.push_back(k);
        if (keys.empty())
            continue;
        if (r < spaceRow)
            rows.push_back(std::move(keys));
        else
            unplaced.insert(unplaced.end(), keys.begin(), keys.end());
    }
    // The lowest four rows are the main block's B, C, D and E rows.
    while (rows.size() > 4) {
        unplaced.insert(unplaced.end(), rows.front().begin(), rows.front().end());
        rows.erase(rows.begin());
    }
    std::vector<std::vector<int>> block(4);
    std::copy(rows.begin(), rows.end(), block.begin() + std::ptrdiff_t(4 - rows.size()));
    const std::vector<int> &d = block[1], &c = block[2], &b = block[3];
    // ISO: a twelfth key in the home row or an eleventh in the bottom row;
    // ANSI: a thirteenth in the top letter row.
    view.Iso = !(d.size() >= 13 && c.size() <= 11 && b.size() <= 10);
    const std::vector<std::vector<std::string>> blockNames = MainBlockRows(view.Iso);

    for (size_t r = 0; r < 4; ++r) {
        const std::vector<int> &keys = block[r];
        size_t first = 0;
        if (r == 0 && !keys.empty() && keys.size() < blockNames[0].size()) {
            // A short number row without the key left of 1: its first key
            // stands less than a unit left of the top letter row's first key.
            if (d.empty() || view.Keys[size_t(d.front())].X - view.Keys[size_t(keys.front())].X <= view.Unit)
                first = 1;
        }
        if (r == 3 && view.Iso && keys.size() < blockNames[3].size())
            first = 1; // no key left of Z
        for (size_t j = 0; j < keys.size(); ++j) {
            if (first + j < blockNames[r].size()) {
                view.Keys[size_t(keys[j])].Slot = blockNames[r][first + j];
                view.Placed.push_back(keys[j]);
            } else {
                unplaced.push_back(keys[j]);
            }
        }
    }
    if (space >= 0) {
        view.Keys[size_t(space)].Slot = "SPCE";
        view.Placed.push_back(space);
    }
    // Character keys in no row (no size) have no place either.
    for (size_t i = 0; i < view.Keys.size(); ++i)
        if (view.Keys[i].IsCharacterKey() && view.Keys[i].Row < 0)
            unplaced.push_back(int(i));
    std::sort(unplaced.begin(), unplaced.end());
    for (int k : unplaced)
        view.Warnings.push_back(LibraryText("Key \"%s\" finds no place on the main block of a PC keyboard and is left out",
                                            toUtf8(view.Keys[size_t(k)].Name)));

    // What the package types after each dead key, on the placed keys.
    std::map<std::pair<int32_t, char32_t>, char32_t> composed;
    for (const TLayoutChar &ch : layout.Chars) {
        if (ch.Accent == 0 || ch.Key < 0 || ch.Code == 0 || !KeyTypes::IsAccent(ch.Accent))
            continue;
        const TViewKey &k = view.Keys[size_t(ch.Key)];
        if (k.Slot.empty())
            continue;
        const int level = int(LevelOf(ch.Shift, ch.AltGr));
        const char32_t base = k.Chars[size_t(level)];
        const char32_t result = decodeByte(ch.Code);
        if (result == 0)
            continue;
        if (base == 0) {
            view.Warnings.push_back(TranslateWith("After a dead key, %1 on \"%2\" types \"%3\", but the key types "
                                                  "nothing there without it: left out",
                                                  {kLevelWords[level], toUtf8(k.Name), toUtf8(charText(result))}));
            continue;
        }
        composed.emplace(std::make_pair(ch.Accent, base), result);
    }
    for (const auto &[key, result] : composed)
        view.Compositions.push_back({key.first, key.second, result});
    return view;
}

const TViewKey *TKeyboardView::AtSlot(const std::string &slot) const
{
    for (int k : Placed)
        if (Keys[size_t(k)].Slot == slot)
            return &Keys[size_t(k)];
    return nullptr;
}

bool TKeyboardView::UsesAltGr() const
{
    for (int k : Placed) {
        const TViewKey &v = Keys[size_t(k)];
        for (int l = 2; l < 4; ++l)
            if (v.Chars[size_t(l)] || (v.Dead[size_t(l)] && v.Dead[size_t(l)] != v.Dead[size_t(l - 2)]))
                return true;
    }
    return false;
}

std::vector<int32_t> TKeyboardView::Accents() const
{
    std::vector<int32_t> out;
    for (int k : Placed)
        for (int32_t a : Keys[size_t(k)].Dead)
            if (a && std::find(out.begin(), out.end(), a) == out.end())
                out.push_back(a);
    std::sort(out.begin(), out.end());
    return out;
}

} // namespace kf
