#pragma once
// The typing course generator window.

#include "app/ChildForm.h"

namespace kf {

class TTcgFm : public TChildForm {
    Q_OBJECT
public:
    explicit TTcgFm(QWidget *parent = nullptr);
};

} // namespace kf
