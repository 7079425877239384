#pragma once
// SQLite's own names, which T-SQL text never reaches: its schema tables and table-valued
// functions, and the functions T-SQL does not have (the server's own, orra_…, included).

#include "platform/db/embedded/TsqlLexer.h"

namespace orra::embedded::translator {

bool isSqliteOwnTable(const Token& t);
bool isSqliteOnlyFunction(const Token& t);
// date, time and datetime: SQLite's functions, the server's type names.
bool isSqliteDateFunction(const Token& t);

// The argument counts of a built-in function the translator passes on under its own or a
// mapped name (the string and date families check theirs where they are translated); nullptr
// for any other name.
struct BuiltinArity {
    const char* tsql;
    const char* sqlite;   // the name SQLite reports it by
    int minArgs;
    int maxArgs;
};
const BuiltinArity* builtinArity(const QString& name);
// The entry SQLite's name of a function belongs to (ifnull is isnull), or nullptr.
const BuiltinArity* builtinAritySqlite(const QString& sqliteName);

}   // namespace orra::embedded::translator
