#pragma once
// The layout frame: holds the keyboard frame KbDragFrame and lets the user
// move keys by dragging them with the right mouse button. A dropped key takes
// its new place, snapped to the grid, and its key-table row (the button's
// KeyRow) gets the new X and Y. Ctrl + right button selects a key's row
// without typing. The place shown for a dropped key follows the key when it
// moves again (an undo or redo).

#include "keyboard/KbDragForm.h"

#include <QPixmap>
#include <QPointer>
#include <QWidget>

#include <functional>

class QDrag;
class QMimeData;

namespace kf {

class TDragDropFm : public QWidget {
    Q_OBJECT
public:
    // The MIME type of a key drag; the data names the frame the drag came from.
    static const char *const kKeyMimeType;

    explicit TDragDropFm(QWidget *parent = nullptr);
    ~TDragDropFm() override;

    TKbDragFm *KbDragFrame; // owned (child widget)

    // Horizontal and vertical grid sizes in pixels; 0 or 1: no snapping.
    int GridX = 0;
    int GridY = 0;

    // The key button last pressed with any mouse button (not owned).
    ButtonType *DragButton() const { return m_dragButton; }
    // The grab point of the drag in progress (or of the last one).
    QPoint HotSpot() const { return m_hotSpot; }
    // The drag image of the last drag: a white box of the key's size with a
    // 3-pixel green border.
    const QPixmap &DragImage() const { return m_dragImage; }

    // Gives KbDragFrame's buttons the mouse-down handler and accepts drops on
    // it. DetachDragDrop stops accepting drops.
    void AttachDragDrop();
    void DetachDragDrop();

    // The mouse-down handler of every key button.
    void KeyMouseDown(ButtonType *Sender, Qt::MouseButton Button, Qt::KeyboardModifiers Shift,
                      Qt::MouseButtons Buttons, QPoint Pos);
    // A key drag over the keyboard at point (KbDragFrame's key-area coordinates).
    void DropBMPTarget1DragOver(QPoint point);
    // A key dropped at point.
    void DropBMPTarget1Drop(QPoint point);

    int SnapX(int v) const { return Snap(v, GridX); }
    int SnapY(int v) const { return Snap(v, GridY); }
    static int Snap(int v, int grid);

    // True for the data of a key drag that started on this frame's keyboard;
    // every other drop (a picture from elsewhere, a key of another window) is refused.
    bool AcceptsDrop(const QMimeData *mime) const;

    // Runs a drag to its end. The default runs the platform's drag loop
    // (QDrag::exec); tests may replace it.
    std::function<void(QDrag *)> RunDrag;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void setStatus(int x, int y);
    void sizeToContents();

    QPointer<ButtonType> m_dragButton;
    // The key last dropped, whose place the status label shows as
    // m_statusText until it shows something else. Held as the widget it is
    // to the event filter: a key being destroyed (ClearButtons) is a widget
    // and no longer a ButtonType while it still sends its last events.
    QPointer<QWidget> m_placedButton;
    QString m_statusText;
    QPoint m_hotSpot;
    QPixmap m_dragImage;
    bool m_attached = false;
};

} // namespace kf
