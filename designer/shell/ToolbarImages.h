#pragma once
// The main toolbar's image list (imgtoolBar): one icon per image key, drawn for the project or
// taken from the style's standard icons.

#include <QIcon>
#include <QString>

namespace morvane {

// The icon of an image key ("Save", "Block", "Grid", "Text", …); a null icon for an unknown key.
QIcon toolbarImage(const QString& key);

// The program's own icon (its windows, its document windows and the About box show it).
QIcon programIcon();

}   // namespace morvane
