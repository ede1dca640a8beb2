#pragma once
// The keyboard layout window: the drawn keyboard, key dragging and the demo text.

#include "app/ChildForm.h"

namespace kf {

class TKbDemoFm : public TChildForm {
    Q_OBJECT
public:
    explicit TKbDemoFm(QWidget *parent = nullptr);
};

} // namespace kf
