#pragma once
// The keyboard frame whose key buttons also report every mouse press to a
// handler chosen by the frame's container (the drag-and-drop frame).

#include "keyboard/KbForm.h"

#include <functional>

namespace kf {

class TKbDragFm : public TKbFm {
    Q_OBJECT
public:
    // Sender, the pressed mouse button, the keyboard modifiers, the mouse
    // buttons down after the press, and the point within the button.
    using TMouseDownEvent = std::function<void(ButtonType *Sender, Qt::MouseButton Button,
                                               Qt::KeyboardModifiers Shift, Qt::MouseButtons Buttons,
                                               QPoint Pos)>;

    explicit TKbDragFm(QWidget *parent = nullptr);

    // The handler given to every button built after this call.
    void SetButtonMouseDown(TMouseDownEvent handler) { ButtonMouseDown = std::move(handler); }
    TMouseDownEvent ButtonMouseDown;

protected:
    void AttachButtonEvents() override;
};

} // namespace kf
