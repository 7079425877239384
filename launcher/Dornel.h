#pragma once
// The launcher's run: one catalogue document from the command line to a workbook.

#include "runtime/RunHost.h"

#include <QString>

namespace orra::launcher {

// The process exit statuses (also printed by the usage text).
enum ExitStatus : int {
    ExitFinished = 0,           // the document ran to its end
    ExitFailed = 1,             // any other failure (document, rights, export, …)
    ExitBadCommandLine = 2,     // an option is missing or wrong
    ExitConnectionFailed = 3,   // the catalogue or the document's data server could not be reached
    ExitRunError = 4,           // the run stopped with an error (-100, or an error raised by the run)
    ExitNoSchema = 5,           // the call schema does not exist (-101)
    ExitPaused = 6,             // the run stopped at a station or was paused, and was left so
};

// Runs the launcher for a command line (the program's arguments joined by blanks) and returns
// the exit status. Failures go to standard error, and to the log file (debug on) or a message
// box (only when a person can answer). The run's engine answers to host: its message boxes and
// parameter prompt (a host given nothing: the process's).
int RunLauncher(const QString& commandLine, const RunHost& host = {});

// The catalogue connection text of the options server, db, userid and pwd: a trusted log-on
// without userid, the SQL login userid with its password otherwise.
QString CatalogueConnectionText(const QString& server, const QString& db, const QString& userid, const QString& pwd);

// Where the log file goes: ORRA_LOG_DIR, else the user's own $XDG_STATE_HOME/orra (by default
// ~/.local/state/orra), made for the user alone when missing.
QString LogDirectory();
// The log file in LogDirectory().
QString LogFilePath();

}   // namespace orra::launcher
