#include "model/KeyStrokeStats.h"

#include "common/Translation.h"
#include "model/KeyCodes.h"
#include "model/KeyLayout.h"

#include <algorithm>

namespace kf {

namespace {

std::string symbolText(int symbol)
{
    return std::string(1, char(uint8_t(symbol)));
}

template <class Item>
void sortByCount(std::vector<Item> &items)
{
    std::stable_sort(items.begin(), items.end(), [](const Item &x, const Item &y) { return x.Count > y.Count; });
}

// Adds presses and pairs of presses to the figures; each press by a finger,
// which is its key's except for the space bar's.
class Tally {
public:
    Tally(const TKeyLayout &layout, TKeyStrokeFigures &fig) : m_layout(layout), m_fig(fig) {}

    int finger(int key) const { return m_layout.Keys[size_t(key)].Finger; }

    void press(int key, int fingerOf, bool modifier, uint64_t n)
    {
        m_fig.Keys[size_t(key)] += n;
        m_fig.Fingers[size_t(fingerOf)] += n;
        m_fig.Hands[Fingers::IsLeftHand(fingerOf) ? 0 : 1] += n;
        if (modifier)
            m_fig.ModifierKeystrokes += n;
    }

    void pair(int k1, int f1, int k2, int f2, uint64_t n, const std::string &text)
    {
        if (n == 0)
            return;
        m_fig.Pairs += n;
        if (f1 == f2 && k1 != k2) {
            m_fig.SameFingerPairs += n;
            m_fig.SameFingerAll[text] += n;
        }
        if (Fingers::IsLeftHand(f1) != Fingers::IsLeftHand(f2))
            m_fig.AlternatingPairs += n;
    }

private:
    const TKeyLayout &m_layout;
    TKeyStrokeFigures &m_fig;
};

// The key of the space bar: the one key that types a space in one press,
// when it is of the space type; -1: none.
int spaceBarOf(const TKeyLayout &layout, const TKeyStrokePlan &plan)
{
    const std::vector<TKeyPress> &presses = plan.Presses(' ');
    if (presses.size() != 1 || layout.Keys[size_t(presses[0].Key)].Type != KeyTypes::Space)
        return -1;
    return presses[0].Key;
}

} // namespace

double TKeyStrokeFigures::RowShareByNumber(int number) const
{
    for (size_t r = 0; r < Rows.size(); ++r)
        if (Rows[r].Number == number)
            return RowShare(r);
    return 0.0;
}

uint64_t TKeyStrokeFigures::MostKeyPresses() const
{
    uint64_t most = 0;
    for (uint64_t n : Keys)
        most = std::max(most, n);
    return most;
}

std::vector<double> TKeyStrokeFigures::KeyUse() const
{
    const uint64_t most = MostKeyPresses();
    std::vector<double> use(Keys.size(), 0.0);
    for (size_t i = 0; i < Keys.size(); ++i)
        use[i] = Share(Keys[i], most);
    return use;
}

uint64_t TKeyStrokeFigures::SameFingerCount(const std::string &pair) const
{
    const auto it = SameFingerAll.find(pair);
    return it == SameFingerAll.end() ? 0 : it->second;
}

TKeyStrokeFigures ComputeKeyStrokes(const TKeyLayout &layout, const TTextTally &tally, size_t topPairs)
{
    const TKeyStrokePlan plan(layout);
    TKeyStrokeFigures fig;
    const size_t keyCount = layout.Keys.size();
    fig.Keys.assign(keyCount, 0);
    for (const TLayoutKey &k : layout.Keys)
        fig.KeyNames.push_back(k.Name);
    Tally count(layout, fig);

    // The space bar's thumb after a symbol (the last one before the space
    // that is not a space).
    const int spaceBar = spaceBarOf(layout, plan);
    const auto thumbAfter = [&](int before) {
        if (before == TTextTally::kNone || !plan.Typeable(before))
            return int(Fingers::RThumb);
        return Fingers::IsLeftHand(count.finger(plan.Presses(before).back().Key)) ? int(Fingers::RThumb)
                                                                                  : int(Fingers::LThumb);
    };

    bool typesAny = false;
    for (int s = 0; s < 256; ++s)
        typesAny = typesAny || (s != TTextTally::kLineBreak && plan.Typeable(s));

    for (int s = 0; s < TTextTally::kSymbols; ++s) {
        const uint64_t n = tally.Count(s);
        if (n == 0)
            continue;
        fig.Characters += n;
        const std::vector<TKeyPress> &presses = plan.Presses(s);
        if (presses.empty()) {
            if (s == TTextTally::kNotInCodePage)
                fig.NotInCodePage += n;
            else {
                fig.NotTypeable += n;
                fig.NotTypeableTop.push_back({symbolText(s), n});
            }
            continue;
        }
        fig.Typed += n;
        if (s == ' ' && spaceBar >= 0) {
            for (int before = 0; before <= TTextTally::kNone; ++before)
                count.press(spaceBar, thumbAfter(before), false, tally.SpacesAfter(before));
            continue;
        }
        for (size_t i = 0; i < presses.size(); ++i) {
            const TKeyPress &p = presses[i];
            count.press(p.Key, count.finger(p.Key), p.Modifier, n);
            if (i > 0) {
                const int k1 = presses[i - 1].Key;
                count.pair(k1, count.finger(k1), p.Key, count.finger(p.Key), n, symbolText(s));
            }
        }
    }
    for (int s1 = 0; s1 < 256; ++s1) {
        if (!plan.Typeable(s1) || tally.Count(s1) == 0)
            continue;
        const int last = plan.Presses(s1).back().Key;
        for (int s2 = 0; s2 < 256; ++s2) {
            const uint64_t n = tally.PairCount(s1, s2);
            if (n == 0 || !plan.Typeable(s2))
                continue;
            const int first = plan.Presses(s2).front().Key;
            const std::string text = symbolText(s1) + symbolText(s2);
            if (s1 == ' ' && spaceBar >= 0) {
                if (s2 == ' ') {
                    count.pair(spaceBar, 0, spaceBar, 0, n, text); // one key, one thumb
                    continue;
                }
                for (int before = 0; before <= TTextTally::kNone; ++before)
                    count.pair(spaceBar, thumbAfter(before), first, count.finger(first),
                               tally.AfterSpaces(before, s2), text);
            } else if (s2 == ' ' && spaceBar >= 0) {
                count.pair(last, count.finger(last), spaceBar, thumbAfter(s1), n, text);
            } else {
                count.pair(last, count.finger(last), first, count.finger(first), n, text);
            }
        }
    }

    bool anyFinger = false;
    uint64_t noRow = 0;
    int keysWithoutRow = 0;
    for (size_t k = 0; k < keyCount; ++k) {
        const TLayoutKey &key = layout.Keys[k];
        anyFinger = anyFinger || key.Finger != 0;
        fig.Keystrokes += fig.Keys[k];
        if (key.Row < 0) {
            noRow += fig.Keys[k];
            if (fig.Keys[k])
                ++keysWithoutRow;
        }
    }
    const int home = layout.HomeRow();
    for (size_t r = 0; r < layout.Rows.size(); ++r) {
        TKeyStrokeFigures::Row row;
        row.Number = int(r) + 1;
        row.Name = "Row " + std::to_string(row.Number);
        row.Home = int(r) == home;
        if (row.Home)
            row.Name += " (home)";
        for (int k : layout.Rows[r])
            row.Keystrokes += fig.Keys[size_t(k)];
        fig.Rows.push_back(row);
    }
    if (noRow > 0)
        fig.Rows.push_back({"No row", noRow, false, 0});

    for (const auto &[text, n] : fig.SameFingerAll)
        fig.SameFingerTop.push_back({text, n});
    sortByCount(fig.SameFingerTop);
    if (fig.SameFingerTop.size() > topPairs)
        fig.SameFingerTop.resize(topPairs);
    sortByCount(fig.NotTypeableTop);
    std::map<char32_t, uint64_t> lacking(tally.NotInCodePage().begin(), tally.NotInCodePage().end());
    fig.NotInCodePageTop.assign(lacking.begin(), lacking.end());
    std::stable_sort(fig.NotInCodePageTop.begin(), fig.NotInCodePageTop.end(),
                     [](const auto &x, const auto &y) { return x.second > y.second; });

    if (keyCount == 0) {
        fig.TypesNothing = true;
        fig.Warnings.push_back(Translate("The keyboard has no keys: it types nothing."));
    } else if (!typesAny) {
        fig.TypesNothing = true;
        fig.Warnings.push_back(Translate("The keyboard has no character keys: it types nothing."));
    } else if (!anyFinger) {
        fig.Warnings.push_back(
            Translate("No key has a finger set: every keystroke counts for the left little finger."));
    }
    if (keysWithoutRow > 0)
        fig.Warnings.push_back(TranslateWith("%1 keys pressed lie in no row (they have no size).",
                                             {std::to_string(keysWithoutRow)}));
    return fig;
}

} // namespace kf
