#pragma once
// The keyboard frame: draws the keyboard of a keyboard definition as one key
// button per key-table row, at the key's position and size, and types through
// the keyboard logic (TKbState), whose view it is. A host window places the
// frame, attaches a target edit and a status label, builds the buttons and
// hears about every click through OnKeyClick.
//
// The frame is one stop of the Tab chain. While it has the focus one of its
// keys holds the keyboard focus (drawn marked, reported focused to assistive
// technology): the arrow keys move it to the nearest key in their direction,
// Space or Return clicks it, Tab moves on to the next control. Every key's
// accessible name says what it types in the present state.
//
// The buttons live on KeyArea(), a widget inside the frame's scroll area, so
// their positions are KeyArea's client coordinates; scroll bars appear when
// the keys reach beyond the visible part.

#include "keyboard/ButtonType.h"
#include "model/KbState.h"

#include <QAction>
#include <QLabel>
#include <QPointer>
#include <QScrollArea>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>



namespace kf {

class TRecordTable;

class TKbFm : public QScrollArea, public IKbView {
    Q_OBJECT
public:
    using TKeyClickEvent = std::function<void(ButtonType *Sender)>;
    using TColorSource = std::function<uint32_t()>;

    explicit TKbFm(QWidget *parent = nullptr);
    ~TKbFm() override;

    // The keyboard definition the frame draws and types from: the key table,
    // the character table and the keyboard background colour (a colour
    // value). The tables are not owned and must outlive the buttons. A new
    // frame uses DataMod's MainTbl, Ctbl and bkcolor when DataMod exists.
    void SetDefinition(TRecordTable *keyTable, TRecordTable *charTable,
                       TColorSource backgroundColor);

    // Builds one button per key-table row in the table's current order, each
    // holding the bookmark of its row (KeyRow); the table is left on its last
    // row. keepGlyph false: pressed keys show their inverted picture. Call
    // ClearButtons first. Returns true.
    bool BuildButtons(bool keepGlyph);
    // Destroys every button, the last created first, and forgets the keys'
    // roles; the keyboard state's flags and pending accent stay.
    void ClearButtons();
    // Reads every button's name and hint again in the code page in force,
    // from the bytes the button was built from.
    void RereadButtonTexts();

    // The click handler of every key button: the keyboard state reacts to the
    // key in the button's row (KeyRow), then OnKeyClick is raised. A click on
    // a button whose row was deleted since the build is ignored.
    void KeyButtonClick(ButtonType *Sender);

    // Every button whose key row is still there takes the row's place, size
    // and picture again (after an undo or redo changed the rows).
    void FollowKeyRows();

    // Makes the button's key row the key table's current row (a row in edit
    // is posted first); false, moving nothing, when the table no longer shows
    // that row.
    bool GotoKeyRow(const ButtonType *button);

    // The key that holds the keyboard focus while the frame has the focus
    // (null: no key); a click on a key makes it that key.
    ButtonType *FocusKey() const { return m_focusKey; }
    // Gives the keyboard focus to the button (one of Buttons(), or null).
    void SetFocusKey(ButtonType *button);
    // Moves the keyboard focus to the nearest key in the arrow key's
    // direction (Qt::Key_Left, Key_Right, Key_Up or Key_Down); false, moving
    // nothing, when no key lies that way.
    bool MoveFocusKey(int arrowKey);
    // Every button's name for assistive technology says again what its key
    // types now.
    void UpdateTypedTexts();

    // Context menu "Colour keys by use": the keys' faces coloured by the
    // last count of the statistics window (checked), or as their pictures
    // have them.
    QAction *A_ColourKeysByUse;
    void ColourKeysByUse(bool on);

    // Raised after every click on a key, with the clicked button.
    TKeyClickEvent OnKeyClick;

    // Receives typed text and the Backspace/Delete key presses (a QLineEdit,
    // QTextEdit or QPlainTextEdit); not owned.
    QWidget *TargetEdit() const { return m_targetEdit; }
    void SetTargetEdit(QWidget *edit) { m_targetEdit = edit; }
    // Shows the pending accent's name; not owned.
    QLabel *StatusLabel() const { return m_statusLabel; }
    void SetStatusLabel(QLabel *label) { m_statusLabel = label; }

    // The button being set up (read by AttachButtonEvents), else the last built.
    ButtonType *CurrentButton() const { return m_currentButton; }
    // The buttons in creation order.
    const std::vector<ButtonType *> &Buttons() const { return m_buttons; }
    TKbState &KbState() { return m_state; }
    const TKbState &KbState() const { return m_state; }
    TRecordTable *KeyTable() const { return m_keys; }
    // The widget the buttons are placed on.
    QWidget *KeyArea() const { return m_keyArea; }
    // The frame's background colour.
    QColor BackgroundColor() const;
    void SetBackgroundColor(const QColor &color);

    // IKbView
    void ShowKeyPressed(TKeyRef key, bool down) override;
    void ShowStatus(const QString &text) override;
    void InsertText(const std::string &text) override;
    void SendBackspace() override;
    void SendDelete() override;

protected:
    // Called once for each new button (CurrentButton) as the last step of its
    // set-up. The base version connects the button's clicked() to
    // KeyButtonClick; an override that calls it must not connect clicked() again.
    virtual void AttachButtonEvents();

    bool eventFilter(QObject *watched, QEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void focusInEvent(QFocusEvent *event) override;
    void focusOutEvent(QFocusEvent *event) override;

private:
    void UpdateKeyAreaSize();
    void SendKey(int key);
    // The key the keyboard focus starts on: the top row's leftmost key.
    ButtonType *FirstFocusKey() const;

    TKbState m_state;
    TRecordTable *m_keys = nullptr;  // not owned
    TRecordTable *m_chars = nullptr; // not owned
    TColorSource m_backgroundColor;
    QWidget *m_keyArea = nullptr; // owned by the scroll area
    std::vector<ButtonType *> m_buttons; // children of m_keyArea
    struct KeyTexts {
        std::string name, hint; // bytes in the code page
    };
    std::vector<KeyTexts> m_keyTexts; // one per button, in the same order
    ButtonType *m_currentButton = nullptr;
    QPointer<ButtonType> m_focusKey; // one of m_buttons, or null
    TBookmark m_focusRow;            // its key row, kept over a rebuild
    QPointer<QWidget> m_targetEdit;
    QPointer<QLabel> m_statusLabel;
    int m_clickDepth = 0;   // inside KeyButtonClick
    bool m_building = false;
};

} // namespace kf
