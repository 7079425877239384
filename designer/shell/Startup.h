#pragma once
// The designer's start-up (Main): command line, settings fallback, log-on to the catalogue,
// the process-wide state, then the main window loaded and shown.

#include <QString>
#include <QStringList>

namespace morvane {

// What the command line asks for.
struct CommandLineOptions {
    QString server;         // empty when not given
    QString database;       // empty when not given
    bool trusted = false;   // /trustedconnection or /tc was given
};

// Reads a cleaned command line: split on "/", the text before the first "/" ignored; options
// "trustedconnection"/"tc" and "skipcheckversion"/"scv" (trimmed, any case), a piece beginning
// with "server" or "database" (any case) split on ":" into exactly two parts, the second being
// the value as typed (blanks after the colon kept). Anything else is ignored. A server or
// database piece without exactly one colon throws orra::Error(-1) with "Hatalı parametre girisi",
// CR LF and "Parametre:server" or "Parametre:database"; later pieces are not read.
CommandLineOptions ReadCommandLine(const QString& commandLine);

// The program's start-up: arguments are those after the program's own name. Returns 0 when
// the main window is shown (the caller then runs the event loop), non-zero when the program is
// to end: a start-up error (shown in one message box) or a failed or cancelled log-on.
int Main(const QStringList& arguments);

}   // namespace morvane
