#pragma once
// What assistive technology reads of a grid or a flat list: a table of cells
// with their titles, in which a cell reports the focus only when it is the
// current cell of a view that has the keyboard focus. (Left to itself, Qt
// reports the current cell of every view as focused, so a window with two
// grids, or a filter box above a list, shows two focused places at once.)
// Views get it through UseFocusFollowingCells before assistive technology
// first asks for them; TDBGrid does so for itself.

class QAbstractItemView;

namespace kf {

// Describes the view (a table view, or a tree view over a flat list) with
// cells that report the focus only while the view has it. Call it before the
// view is first shown.
void UseFocusFollowingCells(QAbstractItemView *view);

// The position assistive technology knows a view's cell by (headers
// included), -1 for none: what a focus event for that cell names.
int AccessibleCellPosition(const QAbstractItemView *view, int row, int column);

} // namespace kf
