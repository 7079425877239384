#pragma once
// What the designer, which writes the launcher's command line, and the launcher, which reads
// it, share.

#include <QString>

namespace orra {

// The text with every TAB removed, then every CR LF pair removed.
QString CleanCommandLine(const QString& text);

// The environment variable that carries the password of /userid: when /pwd: is not given, so
// that no password has to stand on a command line (which other accounts can read).
inline constexpr char kPasswordVariable[] = "ORRA_PASSWORD";

// A value as an option of the command line: as it is, or in the "#" form when it holds what
// the command line would change ("/", outer blanks, TAB, CR LF, a leading "#" or "'").
QString EncodeOptionValue(const QString& value);

}   // namespace orra
