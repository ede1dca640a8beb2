#include "dbctrls/FocusTreeView.h"

#include "dbctrls/AccessibleItemView.h"

namespace kf {

TFocusTreeView::TFocusTreeView(QWidget *parent) : QTreeView(parent)
{
    UseFocusFollowingCells(this);
}

} // namespace kf
