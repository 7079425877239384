#pragma once
// Folders the system makes for its output (exported workbooks, the log, the embedded servers)
// are the user's alone: every folder made on the way, not only the last one.

#include <QString>

namespace orra {

// Makes the folder path and each missing folder above it, each with the mode 0700 whatever
// the umask; folders that already exist are left as they are. False when a folder cannot be
// made or a part of the path is not a folder.
bool makePrivateFolder(const QString& path);

}   // namespace orra
