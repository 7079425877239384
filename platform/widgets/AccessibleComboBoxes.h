#pragma once
// Drop-down lists named by their label for screen readers. On this platform Qt names a
// drop-down list by its current value, whatever name it was given, so a reader announces
// "Single" where the user wants to hear "Selection Type, Single". Here a non-editable drop-down
// that was given an accessible name reads by that name, with its current value as its value.

class QComboBox;

namespace orra {

// Gives combo that accessible interface. Call it once its accessible name is set; an interface
// made for it before is replaced.
void nameComboBoxByItsLabel(QComboBox* combo);

}   // namespace orra
