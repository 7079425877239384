#pragma once
// Whether a desktop is present: a display that is named and can be opened. A display named by
// a variable a scheduled job or a service inherited, and gone since, is no desktop.

namespace orra::launcher {

// True when the display Qt would use can be opened now. QT_QPA_PLATFORM "offscreen" means no
// desktop; "xcb" or "wayland" names the one display to try; another platform is trusted. A
// named display that cannot be opened is removed from the process's environment (so that
// nothing the run starts tries it again), and with one of the two left reachable Qt is pointed
// at that one.
bool desktopPresent();

}   // namespace orra::launcher
