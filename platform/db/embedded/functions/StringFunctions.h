#pragma once
// The server's string functions (LEFT, CHARINDEX, STUFF, STR, CONCAT, SOUNDEX, …) as SQLite
// functions, the STRING_AGG aggregate, the STRING_SPLIT table and the road TRY_CAST,
// TRY_CONVERT and PARSE take through the server's own conversions. One table names them for
// the translator (T-SQL name, SQLite name, argument counts) and one registers them.

#include <QString>

struct sqlite3;

namespace orra::embedded {

struct StringFunction {
    const char* tsql;     // the name a batch calls it by
    const char* sqlite;   // the name the translator writes
    int minArgs;
    int maxArgs;
};

// The string function a batch names, or nullptr.
const StringFunction* findStringFunction(const QString& tsqlName);

// SQL Server's complaint about a call with the wrong number of arguments (174 or 189), or an
// empty text when the count fits. errorNumber receives the number.
QString argumentCountError(const StringFunction& f, int count, long& errorNumber);
QString argumentCountError(const char* function, int minArgs, int maxArgs, int count, long& errorNumber);

// The SQLite name of the table STRING_SPLIT reads: with the ordinal column or without it.
const char* stringSplitTable(bool ordinal);

void registerStringFunctions(sqlite3* db);

}   // namespace orra::embedded
