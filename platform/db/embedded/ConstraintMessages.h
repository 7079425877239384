#pragma once
// SQL Server's wording for a constraint that refused a statement, which names the constraint
// and the object; SQLite names only the columns ("UNIQUE constraint failed: T.A, T.B") or
// nothing ("FOREIGN KEY constraint failed").

#include <QString>

struct sqlite3;

namespace orra::embedded {

struct ConstraintMessage {
    QString text;      // empty when the failure is not one of these
    long number = 0;   // the server's error number: 2627, 2601 or 547
};

// statementSql is the SQLite text of the statement that failed (insert into / update /
// delete from its target first); database is the name of the connection's database.
ConstraintMessage serverConstraintMessage(
    sqlite3* db, const QString& database, const QString& statementSql, const QString& sqliteMessage);

}   // namespace orra::embedded
