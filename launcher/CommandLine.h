#pragma once
// The launcher's command line: "/key:value" options, cleaned and decoded.

#include "common/CommandLine.h"

#include <QString>

namespace orra::launcher {

// The options of one run, after decoding.
struct Options {
    QString docid;
    QString schemaid;
    QString db;
    QString server;
    QString userid;
    QString pwd;
    bool debug = false;         // failures go to the log file
    bool exportReport = true;   // "#Report" becomes a workbook
};

// Quoted values lose their quotes; "#" values are decoded by DecodeBitTransposed; others
// are returned as they are. A quoted value is also changed in place.
QString DecodeOptionValue(QString& value);

// Blocks of eight ";"-separated numbers, each block an 8 x 8 bit matrix turned on its side:
// character j of a block collects bit j-1 of its eight numbers, the first number giving the
// lowest bit. Characters with code 0 are left out; a missing or non-numeric number gives no bits.
QString DecodeBitTransposed(const QString& text);

// Parses a whole command line (the program's arguments joined by blanks). Options are read in
// order; a /userid: without /pwd: takes its password from kPasswordVariable. The first faulty
// one throws orra::Error(kSystemError, …) with the launcher's Turkish texts.
// `debugSeen` is set as soon as a "debug:on" option has been read, so that the caller knows
// where to report an error raised by a later option.
Options ParseCommandLine(const QString& commandLine, bool* debugSeen = nullptr);

// The usage text printed for a bad command line (with the exit statuses).
QString UsageText();

}   // namespace orra::launcher
