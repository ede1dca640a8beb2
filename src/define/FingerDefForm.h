#pragma once
// The finger definition window: length, x value and colour of each finger.

#include "app/ChildForm.h"

namespace kf {

class TFingerDefFm : public TChildForm {
    Q_OBJECT
public:
    explicit TFingerDefFm(QWidget *parent = nullptr);
};

} // namespace kf
