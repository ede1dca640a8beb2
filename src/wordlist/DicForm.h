#pragma once
// The dictionary window: scans text files into a word list and saves it.

#include "app/ChildForm.h"

namespace kf {

class TDicFm : public TChildForm {
    Q_OBJECT
public:
    explicit TDicFm(QWidget *parent = nullptr);
};

} // namespace kf
