#pragma once
// orrasql: a client for the embedded server in the manner of sqlcmd.
//
//   orrasql -S server -d database [-U login -P password | -E] -Q "text" [-s sep]
//   orrasql -S server -d database [-U login -P password | -E] -i file [-s sep]
//   orrasql --create-server NAME [-U login -P password] [-d catalogue]
//
// Result sets are printed as aligned columns (or, with -s, as values separated by the given
// text); messages and errors go to stderr and make the exit status non-zero.

#include <QString>
#include <QStringList>
#include <QTextStream>

namespace orra::tools {

struct SqlOptions {
    QString server;
    QString database;
    QString login;
    QString password;
    bool trusted = false;
    QString query;       // -Q
    QString inputFile;   // -i
    QString separator;   // -s: separated values instead of aligned columns
    bool separated = false;
    QString createServer;   // --create-server
    bool help = false;
};

// Parses the arguments after the program name. Returns an error text, empty when fine.
QString parseArguments(const QStringList& args, SqlOptions& options);

// A batch of a script and the number of times it runs ("GO n").
struct ScriptBatch {
    QString text;
    int count = 1;
};

// Splits a script into batches at lines that hold only "GO" (any case), or "GO n".
QList<ScriptBatch> splitBatches(const QString& script);

// Runs what the options ask; returns the process exit status.
int runOrraSql(const SqlOptions& options, QTextStream& out, QTextStream& err);

QString usage();

}   // namespace orra::tools
