#include "model/KeyStrokePlan.h"

#include "model/KeyCodes.h"
#include "model/KeyLayout.h"
#include "model/TextTally.h"

#include <cstdint>

namespace kf {

namespace {

class PlanBuilder {
public:
    explicit PlanBuilder(const TKeyLayout &layout)
        : m_layout(layout), m_altGr(layout.ModifierKey(KeyTypes::AltGr)),
          m_lShift(layout.ModifierKey(KeyTypes::LShift)), m_rShift(layout.ModifierKey(KeyTypes::RShift))
    {
    }

    // The Shift key for a key: that of the other hand; -1: none.
    int shiftFor(int key) const
    {
        const bool left = Fingers::IsLeftHand(m_layout.Keys[size_t(key)].Finger);
        const int preferred = left ? m_rShift : m_lShift, other = left ? m_lShift : m_rShift;
        return preferred >= 0 ? preferred : other;
    }

    // The presses of a key at a level; false when a modifier is missing.
    bool press(int key, TKeyLevel level, bool modifier, std::vector<TKeyPress> &out) const
    {
        const bool shift = level == TKeyLevel::Shift || level == TKeyLevel::ShiftAltGr;
        const bool altGr = level == TKeyLevel::AltGr || level == TKeyLevel::ShiftAltGr;
        if (shift) {
            const int s = shiftFor(key);
            if (s < 0)
                return false;
            out.push_back({s, true});
        }
        if (altGr) {
            if (m_altGr < 0)
                return false;
            out.push_back({m_altGr, true});
        }
        out.push_back({key, modifier});
        return true;
    }

    // The presses that set an accent; false when no key sets it.
    bool accent(int32_t code, std::vector<TKeyPress> &out) const
    {
        std::vector<TKeyPress> best;
        bool found = false;
        for (size_t k = 0; k < m_layout.Keys.size(); ++k) {
            const TLayoutKey &key = m_layout.Keys[k];
            std::vector<TKeyPress> presses;
            bool ok = false;
            if (key.Type == code)
                ok = press(int(k), TKeyLevel::Plain, true, presses);
            else if (KeyTypes::IsAccent(key.Type) && key.Type2 == code)
                ok = press(int(k), TKeyLevel::Shift, true, presses);
            else if (KeyTypes::IsCharType(key.Type) && key.Type2 == code)
                ok = press(int(k), TKeyLevel::AltGr, true, presses);
            if (ok && (!found || presses.size() < best.size())) {
                best = std::move(presses);
                found = true;
            }
        }
        if (found)
            out.insert(out.end(), best.begin(), best.end());
        return found;
    }

    bool row(const TLayoutChar &c, std::vector<TKeyPress> &out) const
    {
        if (c.Key < 0 || c.Code == 0)
            return false;
        if (c.Accent != 0 && !accent(c.Accent, out))
            return false;
        return press(c.Key, LevelOf(c.Shift, c.AltGr), false, out);
    }

private:
    const TKeyLayout &m_layout;
    int m_altGr, m_lShift, m_rShift;
};

} // namespace

TKeyStrokePlan::TKeyStrokePlan(const TKeyLayout &layout)
{
    const PlanBuilder builder(layout);
    std::array<bool, 256> found{};
    for (const TLayoutChar &c : layout.Chars) {
        if (c.Code == '\r' || c.Code == '\n')
            continue; // a line break is the Enter key's
        std::vector<TKeyPress> presses;
        if (!builder.row(c, presses))
            continue;
        std::vector<TKeyPress> &best = m_presses[c.Code];
        if (!found[c.Code] || presses.size() < best.size()) {
            best = std::move(presses);
            found[c.Code] = true;
        }
    }
    for (size_t k = 0; k < layout.Keys.size(); ++k)
        if (layout.Keys[k].Type == KeyTypes::Enter) {
            m_presses[TTextTally::kLineBreak] = {{int(k), false}};
            break;
        }
}

} // namespace kf
