#pragma once
// The rows of a table expression evaluated for each row of the table to its left (CROSS and
// OUTER APPLY). SQLite lets no derived table read a column of a table beside it, but a scalar
// subquery may read any outer column, and a table-valued function's arguments may too. So the
// translator packs the rows of the applied select into one value with the aggregate
//     orra_apply_pack(c1, c2, …)          -- a blob holding every row, values exactly as given
// and unpacks them with a table-valued function named by the columns' declared types,
//     "orra_apply_rows:money;varchar(20);"(pack)   -- columns c1 … cn of those types
// (an empty type: the values type the column). Values keep their SQLite type and bytes
// (integers, reals, text, blobs, NULL); text compares under the server's collation.

#include <QString>
#include <QStringList>

struct sqlite3;

namespace orra::embedded {

// The name of the row table whose columns have the declared types given ("" for none).
QString appliedRowsTable(const QStringList& types);
// The row tables the SQL text reads, as appliedRowsTable names them.
QStringList appliedRowsTablesIn(const QString& sql);
// Makes the row table of that name known to db (once per name and connection).
void registerAppliedRowsTable(sqlite3* db, const QString& name);

void registerAppliedRows(sqlite3* db);

}   // namespace orra::embedded
