#pragma once
// The keyboard definition window: keys, characters, key pictures, packages.

#include "app/ChildForm.h"

namespace kf {

class TDefineFm : public TChildForm {
    Q_OBJECT
public:
    explicit TDefineFm(QWidget *parent = nullptr);
};

} // namespace kf
