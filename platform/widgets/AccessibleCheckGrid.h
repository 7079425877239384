#pragma once
// Grids of tick boxes for screen readers. Qt's accessible table cell has one action, "toggle",
// and it selects or unselects the cell: a screen reader that ticks a box of a grid would move
// the selection and leave the box as it was. A grid handed to makeCheckCellsToggle reads as a
// table whose cells toggle their tick as the mouse and Space do (through the model's check
// state, so the grid's own handling of a changed box runs), and offer the toggle only where
// the user may tick.

class QTableView;

namespace orra {

// Gives grid that accessible interface. Call it before the grid is first shown.
void makeCheckCellsToggle(QTableView* grid);

}   // namespace orra
