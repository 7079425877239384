#pragma once
// Where exported workbooks go and how they are shown.

#include <QString>
#include <functional>

namespace orra::spreadsheet {

// The folder for exported workbooks: ORRA_EXPORT_DIR, else the user's own $XDG_STATE_HOME/orra
// (by default ~/.local/state/orra, the launcher log's folder), made for the user alone.
QString exportDirectory();

// A name in exportDirectory() (made for the user alone when missing) that no file or link
// takes: baseName + a time stamp (+ "-2", "-3", … when taken) + suffix, as an absolute path.
// Nothing is made under it: an export writes beside it and renames its workbook into place
// without replacing what may have taken the name meanwhile. Throws orra::Error when the folder
// cannot be made.
QString freeExportPath(
    const QString& baseName = QStringLiteral("Report"), const QString& suffix = QStringLiteral(".xlsx"));

// True when a workbook may be shown: a display is present (DISPLAY or WAYLAND_DISPLAY set
// and Qt is not on an off-screen platform) and ORRA_NO_OPEN is not set.
bool desktopOpenAllowed();

// Shows the file with the desktop's default application when desktopOpenAllowed(); returns
// whether it was handed over.
bool openWithDesktop(const QString& path);

// Replaces the hand-over to the desktop (tests); an empty function restores the default.
using DesktopOpener = std::function<bool(const QString& path)>;
void setDesktopOpener(DesktopOpener opener);

}   // namespace orra::spreadsheet
