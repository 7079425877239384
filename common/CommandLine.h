#pragma once
// The command-line cleaning that the designer and the launcher share.

#include <QString>

namespace orra {

// The text with every TAB removed, then every CR LF pair removed.
QString CleanCommandLine(const QString& text);

}   // namespace orra
