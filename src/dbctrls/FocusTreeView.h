#pragma once
// A tree view over a flat list (rows and columns, no branches) whose current
// row reports the focus to assistive technology only while the view has the
// keyboard focus, so a filter box above it is the one focused place.

#include <QTreeView>

namespace kf {

class TFocusTreeView : public QTreeView {
    Q_OBJECT
public:
    explicit TFocusTreeView(QWidget *parent = nullptr);
};

} // namespace kf
