#pragma once
// Date and time columns hold their values in the canonical form of their type: every write
// (insert, update, select … into, a procedure's) converts as CAST to the column's type does,
// through triggers the server keeps beside the table, so that a literal is never stored as
// typed and an impossible value fails the statement.

#include <QString>

struct sqlite3;

namespace orra::embedded {

// Adds the conversion triggers for the table's date and time columns (none when it has none).
void addDateConversion(sqlite3* db, const QString& schema, const QString& table);
void addDateConversionToAllTables(sqlite3* db, const QString& schema);

}   // namespace orra::embedded
