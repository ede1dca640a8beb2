#pragma once
// The key button of the virtual keyboard: a windowless-looking, non-focusable
// picture button with an optional group, drawn by hand. The picture is drawn
// unscaled and centred; its bottom-left pixel's colour is transparent, so the
// face colour shows through those pixels.
//
// Group rules: buttons with the same nonzero group and the same parent widget
// are mutually exclusive; with allowAllUp a down button can go up again,
// leaving the group with none down. A left click on a button of a nonzero group
// first flips its down state, then emits clicked(); on a button of group 0 it
// emits clicked() only, and such a button is never down.
//
// Assistive technology sees each key as a push button named by its
// accessibleName (the key's name) followed by what it types ("Q: q"),
// described by its tool tip, with its down state as "checked" and a press
// action that clicks it. The keyboard that holds a key may give it its
// keyboard focus: the key is then drawn marked and reported focused, while the
// real focus stays with the keyboard (the key itself never takes it).

#include "table/RecordTable.h"

#include <QAbstractButton>
#include <QColor>
#include <QImage>

namespace kf {

class ButtonType : public QAbstractButton {
    Q_OBJECT
public:
    explicit ButtonType(QWidget *parent = nullptr);
    ~ButtonType() override;

    // Copy of the key's picture, shown when released.
    QImage UpGlyph;
    // Inverted copy of the key's picture, shown when pressed.
    QImage DownGlyph;
    // True: the shown picture never changes with the pressed state.
    bool KeepGlyph = false;
    // The key's row in the key table, given when the keyboard is built. It
    // stays the key's row whatever the table's order or filter becomes; once
    // the row is deleted it names no row.
    TBookmark KeyRow;

    // Shows the key pressed or released: unless KeepGlyph, the picture becomes
    // a copy of DownGlyph or UpGlyph; then the down state is set under the
    // group rules (a button of group 0 stays up).
    void SetPressed(bool down);

    // The picture shown (a null image: no picture).
    const QImage &glyph() const { return m_glyph; }
    void setGlyph(const QImage &picture);

    QColor faceColor() const { return m_faceColor; }
    void setFaceColor(const QColor &color);

    // An integer carried for the program (the key's KeyValue).
    int tag() const { return m_tag; }
    void setTag(int tag) { m_tag = tag; }

    int group() const { return m_group; }
    // Changing the group of a down button to 0 puts it up.
    void setGroup(int group);

    bool allowAllUp() const { return m_allowAllUp; }
    void setAllowAllUp(bool allow) { m_allowAllUp = allow; }

    // The down (pressed) state; always false in group 0.
    bool down() const { return isChecked(); }
    // Sets the down state under the group rules: going down puts the group
    // partners up; going up is refused when allowAllUp is false and this is
    // the group's down button.
    void setDownState(bool down);

    // What the key types in the keyboard's present state (empty: nothing, or
    // a key that types no character); assistive technology hears it after
    // the key's name.
    QString typedText() const { return m_typedText; }
    void setTypedText(const QString &text);
    // The name assistive technology reads: the key's name, then ": " and
    // what it types when it types something.
    QString spokenName() const;

    // The key belongs to a keyboard that moves its keyboard focus between
    // its keys (reported as focusable).
    bool keyFocusable() const { return m_keyFocusable; }
    void setKeyFocusable(bool focusable) { m_keyFocusable = focusable; }
    // The key holds the keyboard's focus: drawn with a focus frame, reported
    // focused. The keyboard announces the focus move itself.
    bool hasKeyFocus() const { return m_keyFocus; }
    void setKeyFocus(bool focus);

    QSize sizeHint() const override;

signals:
    // Raised on every mouse-button press, before the button does anything
    // else. pos is the point within the button; buttons the mouse-button
    // state after the press.
    void mouseDown(kf::ButtonType *sender, Qt::MouseButton button,
                   Qt::KeyboardModifiers modifiers, Qt::MouseButtons buttons, QPoint pos);

protected:
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    // The second press of a double click already came as a press.
    void mouseDoubleClickEvent(QMouseEvent *event) override;
    void nextCheckState() override;

private:
    void putPartnersUp();

    // The picture to draw on face: m_drawn, or its negative when its ink
    // would hardly read on the face (a key coloured dark by use).
    const QImage &drawnOn(const QColor &face);

    QImage m_glyph;
    QImage m_drawn; // m_glyph with its transparent colour cleared, ready to draw
    QColor m_ink;   // the mean colour of m_drawn's opaque pixels (invalid: none)
    QImage m_drawnNegative; // made when first needed
    QColor m_faceColor;
    int m_tag = 0;
    int m_group = 0;
    bool m_allowAllUp = false;
    QString m_typedText;
    bool m_keyFocusable = false;
    bool m_keyFocus = false;
};

// Inverts a picture in place: every pixel's red, green and blue are
// complemented, then the bottom-left pixel becomes mid grey (0x808080), the
// picture's transparent colour. A picture with a palette becomes 32-bit.
void InvertBitmap(QImage &bitmap);

} // namespace kf
