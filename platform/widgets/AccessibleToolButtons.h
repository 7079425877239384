#pragma once
// Two-state toolbar buttons for screen readers. Qt's accessible button toggles a two-state
// button by setting its state, which leaves a tool button's action untriggered: a screen
// reader's "toggle" would change how a toolbar button looks and nothing else. Here a tool
// button that carries a two-state action reads as a check box whose toggle clicks the button,
// as the mouse does.

class QToolBar;

namespace orra {

// Gives the two-state buttons of toolbar that accessible interface. Call it once the toolbar
// holds its actions: an interface made for a button before (when it was created, without its
// action yet) is replaced.
void makeToggleButtonsClick(QToolBar* toolbar);

}   // namespace orra
