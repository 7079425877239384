#pragma once
// Fixed-width text columns (char(n), nchar(n)) hold their values blank-padded to the width,
// as the server stores them, so that expressions over them ('[' + Name + ']') see the
// padding too and not only what is read back. SQLite keeps what it is given; triggers made
// here pad each row after it is inserted or its fixed-width columns are updated. They use
// SQLite's own functions only, so the file stays readable by any SQLite tool.

#include <QString>

struct sqlite3;

namespace orra::embedded {

// Adds the padding triggers of one table (schema "main", "temp" or an attached database);
// nothing when the table has no fixed-width text column. Errors are orra::Error.
void addFixedWidthPadding(sqlite3* db, const QString& schema, const QString& table);
// The same for every table of the schema.
void addFixedWidthPaddingToAllTables(sqlite3* db, const QString& schema);

}   // namespace orra::embedded
