#include "model/KbState.h"

#include "common/Dialogs.h"
#include "common/Translation.h"
#include "table/RecordTable.h"

#include <unordered_map>

namespace kf {

namespace {

// The one message of the keyboard logic, through the translation catalogue.
QString TemplateWarning()
{
    return TranslateQ("Some bugs in the config of the template.");
}

} // namespace

QString AccentStatusText(int32_t accent)
{
    static const char *const names[8] = {"Grave", "Acute", "Circumflex", "Tilde",
                                         "Umlaut", "Ring", "Ese", "Cedilia"};
    if (!KeyTypes::IsAccent(accent))
        return QString();
    return QString::fromLatin1(names[accent - KeyTypes::FirstAccent]);
}

TKbState::TKbState(IKbView &view, TRecordTable *keyTable, TRecordTable *charTable)
    : m_view(view), m_keys(keyTable), m_chars(charTable)
{
}

void TKbState::SetTables(TRecordTable *keyTable, TRecordTable *charTable)
{
    m_keys = keyTable;
    m_chars = charTable;
}

void TKbState::RegisterKey(TKeyRef key, int32_t keyType, int32_t keyType2)
{
    switch (keyType) {
    case KeyTypes::CapsLock:
        m_capsLockKey = key;
        break;
    case KeyTypes::AltGr:
        m_altGrKey = key;
        break;
    case KeyTypes::LShift:
        m_leftShiftKey = key;
        break;
    case KeyTypes::RShift:
        m_rightShiftKey = key;
        break;
    default:
        if (KeyTypes::IsAccent(keyType))
            m_accentKeys[size_t(keyType - KeyTypes::FirstAccent)] = key;
        break;
    }
    if (KeyTypes::IsAccent(keyType2))
        m_accentKeys[size_t(keyType2 - KeyTypes::FirstAccent)] = key;
}

void TKbState::ForgetKeys()
{
    m_leftShiftKey = nullptr;
    m_rightShiftKey = nullptr;
    m_altGrKey = nullptr;
    m_capsLockKey = nullptr;
    m_accentKeys.fill(nullptr);
    m_activeAccentKey = nullptr;
}

TKbState::TKeyRef TKbState::AccentKey(int32_t code) const
{
    return KeyTypes::IsAccent(code) ? m_accentKeys[size_t(code - KeyTypes::FirstAccent)] : nullptr;
}

int32_t TKbState::EffectiveCode(int32_t t, int32_t t2) const
{
    return KeyTypes::EffectiveCode(t, t2, m_shift, m_altGr);
}

TKbState::TResolved TKbState::ResolveKey(int row)
{
    if (!m_keys || row < 1 || row > m_keys->RecordCount())
        return TResolved();
    return ResolveKey(m_keys->RowAt(row - 1));
}

TKbState::TResolved TKbState::ResolveKey(const TBookmark &row)
{
    TResolved result;
    // Buttons built before the key table lost rows may name a row it no
    // longer has: such a click resolves to nothing.
    if (!m_keys || !m_keys->BookmarkValid(row))
        return result;
    m_keys->CheckBrowseMode(); // a row in edit is posted first
    if (!m_keys->BookmarkValid(row))
        return result; // the post took the row out of the view
    m_keys->GotoBookmark(row);
    const TValue keyValue = m_keys->FieldByName("KeyValue").Value();
    result.Code = EffectiveCode(m_keys->FieldByName("KeyType").AsInteger(),
                                m_keys->FieldByName("KeyType2").AsInteger());

    if (result.Code >= KeyTypes::Backspace || !m_chars || keyValue.IsNull())
        return result;
    // Caps Lock inverts Shift for letters only.
    const bool shift = result.Code == KeyTypes::Alpha ? (m_shift != m_capsLock) : m_shift;
    const std::vector<TValue> wanted{TValue(keyValue.integer()), TValue(shift), TValue(m_altGr),
                                     TValue(m_accent)};
    if (m_chars->Locate("KeyNo;Shift;AltGr;Accent", wanted)) {
        const int32_t code = m_chars->FieldByName("Code").AsInteger();
        result.Text.assign(1, char(uint8_t(code & 0xFF)));
    }
    return result;
}

std::vector<TKbState::TResolved> TKbState::PeekKeys(const std::vector<TBookmark> &rows) const
{
    std::vector<TResolved> results(rows.size());
    if (!m_keys || !m_keys->Active())
        return results;
    const int fKeyValue = m_keys->FindFieldIndex("KeyValue");
    const int fKeyType = m_keys->FindFieldIndex("KeyType");
    const int fKeyType2 = m_keys->FindFieldIndex("KeyType2");
    if (fKeyValue < 0 || fKeyType < 0 || fKeyType2 < 0)
        return results;

    // The characters of the pending accent by key, Shift and AltGr; the first
    // row of the character table's view wins, as Locate finds it.
    std::unordered_map<int64_t, int32_t> typed;
    if (m_chars && m_chars->Active()) {
        const int fKeyNo = m_chars->FindFieldIndex("KeyNo");
        const int fShift = m_chars->FindFieldIndex("Shift");
        const int fAltGr = m_chars->FindFieldIndex("AltGr");
        const int fAccent = m_chars->FindFieldIndex("Accent");
        const int fCode = m_chars->FindFieldIndex("Code");
        if (fKeyNo >= 0 && fShift >= 0 && fAltGr >= 0 && fAccent >= 0 && fCode >= 0) {
            const int count = m_chars->RecordCount();
            for (int i = 0; i < count; ++i) {
                const TValue accent = m_chars->FieldValueAt(i, fAccent);
                if (accent.IsNull() || accent.integer() != m_accent)
                    continue;
                const TValue keyNo = m_chars->FieldValueAt(i, fKeyNo);
                const TValue shift = m_chars->FieldValueAt(i, fShift);
                const TValue altGr = m_chars->FieldValueAt(i, fAltGr);
                const TValue code = m_chars->FieldValueAt(i, fCode);
                if (keyNo.IsNull() || shift.IsNull() || altGr.IsNull() || code.IsNull())
                    continue;
                const int64_t k = (int64_t(keyNo.integer()) << 2) | (shift.boolean() ? 2 : 0)
                                  | (altGr.boolean() ? 1 : 0);
                typed.emplace(k, code.integer());
            }
        }
    }

    for (size_t i = 0; i < rows.size(); ++i) {
        const TBookmark &row = rows[i];
        if (!m_keys->BookmarkValid(row))
            continue;
        const auto number = [&](int field) {
            const TValue v = m_keys->BookmarkValue(row, field);
            return v.IsNull() ? 0 : v.integer();
        };
        TResolved &r = results[i];
        r.Code = EffectiveCode(number(fKeyType), number(fKeyType2));
        const TValue keyValue = m_keys->BookmarkValue(row, fKeyValue);
        if (r.Code >= KeyTypes::Backspace || keyValue.IsNull())
            continue;
        const bool shift = r.Code == KeyTypes::Alpha ? (m_shift != m_capsLock) : m_shift;
        const int64_t k = (int64_t(keyValue.integer()) << 2) | (shift ? 2 : 0) | (m_altGr ? 1 : 0);
        const auto it = typed.find(k);
        if (it != typed.end())
            r.Text.assign(1, char(uint8_t(it->second & 0xFF)));
    }
    return results;
}

void TKbState::PressKey(TKeyRef key, int row)
{
    if (!m_keys || row < 1 || row > m_keys->RecordCount())
        return;
    PressKey(key, m_keys->RowAt(row - 1));
}

void TKbState::PressKey(TKeyRef key, const TBookmark &row)
{
    const TResolved r = ResolveKey(row);
    switch (r.Code) {
    case KeyTypes::Alpha:
    case KeyTypes::Num:
    case KeyTypes::Space:
        m_view.InsertText(r.Text);
        SetShift(false);
        SetAltGr(false);
        SetAccent(0);
        if (key)
            m_view.ShowKeyPressed(key, false);
        break;
    case KeyTypes::Backspace:
        m_view.SendBackspace();
        break;
    case KeyTypes::CapsLock:
        SetCapsLock(!m_capsLock);
        break;
    case KeyTypes::Delete:
        m_view.SendDelete();
        break;
    case KeyTypes::AltGr:
        SetAltGr(!m_altGr);
        break;
    case KeyTypes::LShift:
    case KeyTypes::RShift: {
        SetShift(!m_shift);
        // Only a key registered with this type yields the code, so the role is
        // normally set; it is not when the table changed after the build.
        const TKeyRef shiftKey = r.Code == KeyTypes::LShift ? m_leftShiftKey : m_rightShiftKey;
        if (shiftKey)
            m_view.ShowKeyPressed(shiftKey, m_shift);
        SetAltGr(false);
        break;
    }
    default:
        if (KeyTypes::IsAccent(r.Code)) {
            SetAccent(r.Code);
            SetAltGr(false);
        }
        break;
    }
}

void TKbState::SetShift(bool on)
{
    m_shift = on;
    if (!on && m_leftShiftKey && m_rightShiftKey) {
        m_view.ShowKeyPressed(m_leftShiftKey, false);
        m_view.ShowKeyPressed(m_rightShiftKey, false);
    }
}

void TKbState::SetCapsLock(bool on)
{
    m_capsLock = on;
    if (m_capsLockKey)
        m_view.ShowKeyPressed(m_capsLockKey, on);
}

void TKbState::SetAltGr(bool on)
{
    m_altGr = on;
    if (m_altGrKey)
        m_view.ShowKeyPressed(m_altGrKey, on);
}

void TKbState::SetAccent(int32_t code)
{
    m_accent = code;
    try {
        if (KeyTypes::IsAccent(code)) {
            const TKeyRef entry = AccentKey(code);
            if (!entry)
                return;
            m_view.ShowKeyPressed(entry, true);
            m_activeAccentKey = entry;
            m_view.ShowStatus(AccentStatusText(code));
        } else if (m_activeAccentKey) {
            m_view.ShowKeyPressed(m_activeAccentKey, false);
            m_view.ShowStatus(QString());
        }
    } catch (...) {
        // An empty caption: the box carries the application's title.
        Dialogs().message(QString(), TemplateWarning());
    }
}

} // namespace kf
