#pragma once
// The virtual keyboard's logic, without any window: the Shift, Caps Lock and
// AltGr state, the pending dead-key accent, which keys play the special roles,
// and what a click on each kind of key does. The keyboard frame holds one
// TKbState, calls it for every click and carries out the visible effects it
// asks for through IKbView.
//
// The state reads the key table (KeyValue, KeyType, KeyType2) and the
// character table (KeyNo, Shift, AltGr, Accent, Code) through the cursors it
// is given, and moves their current rows: the clicked key's row becomes the
// key table's current row, the typed character's row the character table's.

#include "model/KeyCodes.h"
#include "table/RecordTable.h"

#include <QString>

#include <array>
#include <cstdint>
#include <string>
#include <vector>

class QObject;

namespace kf {

// What the keyboard logic needs of its view. Keys are opaque handles chosen
// by the view (the frame uses its buttons); the state never owns them.
class IKbView {
public:
    using TKeyRef = QObject *;

    virtual ~IKbView() = default;
    // Shows the key pressed (down) or released.
    virtual void ShowKeyPressed(TKeyRef key, bool down) = 0;
    // Sets the status text (empty clears it).
    virtual void ShowStatus(const QString &text) = 0;
    // Replaces the target edit's selection with the text (bytes of the user's
    // code page); an empty text deletes the selection.
    virtual void InsertText(const std::string &text) = 0;
    // Deliver a Backspace or Delete key press to the target edit.
    virtual void SendBackspace() = 0;
    virtual void SendDelete() = 0;
};


// The status text of a pending accent ("Grave" ... "Cedilia"); empty for any
// other code.
QString AccentStatusText(int32_t accent);

class TKbState {
public:
    using TKeyRef = IKbView::TKeyRef;

    // What a key yields in the current state.
    struct TResolved {
        int32_t Code = 0;  // effective key code
        std::string Text;  // empty, or the one byte the key types
    };

    // The view must outlive the state. The tables may be given later.
    explicit TKbState(IKbView &view, TRecordTable *keyTable = nullptr,
                      TRecordTable *charTable = nullptr);

    // The key table and the character table the state reads and moves (not
    // owned; null: no key resolves).
    void SetTables(TRecordTable *keyTable, TRecordTable *charTable);
    TRecordTable *KeyTable() const { return m_keys; }
    TRecordTable *CharTable() const { return m_chars; }

    // Records the roles of one key; a later registration replaces an earlier one.
    void RegisterKey(TKeyRef key, int32_t keyType, int32_t keyType2);
    // Drops every key reference; the flags and the pending accent stay.
    void ForgetKeys();

    // The effective code and typed text of the key in key-table row `row`.
    // Moves the key table to that row and, when a character is found, the
    // character table to its row. A row the key table no longer shows
    // (deleted, emptied, reloaded or filtered out) yields code 0 and no text
    // and moves nothing.
    TResolved ResolveKey(const TBookmark &row);
    // The same for the 1-based row number `row` in the key table's current
    // order; a number outside the table yields code 0 and moves nothing.
    TResolved ResolveKey(int row);

    // What the keys in key-table rows `rows` would yield if clicked now, one
    // result per row, moving no cursor: the character is the first match in
    // the character table's current order and filter, as a click finds it.
    // A row the key table no longer shows yields code 0 and no text.
    std::vector<TResolved> PeekKeys(const std::vector<TBookmark> &rows) const;

    // The reaction to a click on `key`, whose key-table row is `row`.
    void PressKey(TKeyRef key, const TBookmark &row);
    void PressKey(TKeyRef key, int row);

    void SetShift(bool on);
    void SetCapsLock(bool on);
    void SetAltGr(bool on);
    // Sets the pending accent (0: none) and shows it. A failure while showing
    // it is reported by a message box and goes no further.
    void SetAccent(int32_t code);

    bool Shift() const { return m_shift; }
    bool CapsLock() const { return m_capsLock; }
    bool AltGr() const { return m_altGr; }
    int32_t Accent() const { return m_accent; }

    TKeyRef LeftShiftKey() const { return m_leftShiftKey; }
    TKeyRef RightShiftKey() const { return m_rightShiftKey; }
    TKeyRef AltGrKey() const { return m_altGrKey; }
    TKeyRef CapsLockKey() const { return m_capsLockKey; }
    // The key that shows accent `code` (2001..2008); null for other codes.
    TKeyRef AccentKey(int32_t code) const;
    TKeyRef ActiveAccentKey() const { return m_activeAccentKey; }

private:
    int32_t EffectiveCode(int32_t keyType, int32_t keyType2) const;

    IKbView &m_view;
    TRecordTable *m_keys = nullptr;  // not owned
    TRecordTable *m_chars = nullptr; // not owned

    bool m_shift = false;
    bool m_capsLock = false;
    bool m_altGr = false;
    int32_t m_accent = 0;

    TKeyRef m_leftShiftKey = nullptr;
    TKeyRef m_rightShiftKey = nullptr;
    TKeyRef m_altGrKey = nullptr;
    TKeyRef m_capsLockKey = nullptr;
    std::array<TKeyRef, 8> m_accentKeys{};
    TKeyRef m_activeAccentKey = nullptr;
};

} // namespace kf
