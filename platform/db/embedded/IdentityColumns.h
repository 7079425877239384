#pragma once
// Identity columns. An identity counted up by 1 from 1 is SQLite's autoincrementing key, whose
// counter SQLite keeps in sqlite_sequence. Any other seed or increment is counted by the
// server: the column is the table's integer key, and a trigger after each insert gives the row
// the next value (seed, then the last value plus the increment), keeping the last value in the
// table's row of sqlite_sequence (NULL until the first row, and again after truncate table).

#include <QString>
#include <QStringList>

#include <optional>

struct sqlite3;

namespace orra::embedded {

struct IdentityColumn {
    QString column;
    qlonglong seed = 1;
    qlonglong increment = 1;
    bool counted = false;   // counted by the server's trigger, not by SQLite's autoincrement
};

// Whether identity(seed, increment) is SQLite's own autoincrement.
inline bool isAutoincrement(qlonglong seed, qlonglong increment) { return seed == 1 && increment == 1; }

// The statements, after CREATE TABLE, that make the server count the identity column of the
// table (stored name) of the SQLite schema ("main", "temp", an attached database).
QStringList countedIdentityStatements(
    const QString& schema, const QString& table, const QString& column, qlonglong seed, qlonglong increment);

// The identity column of a table, if it has one.
std::optional<IdentityColumn> identityColumnOf(sqlite3* db, const QString& schema, const QString& table);

// The last identity value given in the table: NULL (invalid) before the first row.
std::optional<qlonglong> lastIdentity(sqlite3* db, const QString& schema, const QString& table);

// truncate table: the identity counts again from its seed.
void restartIdentity(sqlite3* db, const QString& schema, const QString& table);

// An insert into a table with an identity column (sql as SQLite runs it, target the table as it
// names it, hasColumnList whether it names its columns) against the identity_insert rules:
// 544 when it writes the identity without identity_insert on, 545 when identity_insert is on
// and it leaves the identity out, 8101 when identity_insert is on and it names no columns.
struct IdentityInsertError {
    long number = 0;   // 0: the insert keeps the rules
    QString message;
};
IdentityInsertError identityInsertError(const IdentityColumn& identity, const QString& sql, const QString& target,
    const QString& table, bool hasColumnList, bool identityInsertOn);

// ident_current, ident_seed and ident_incr as orra_ident_current, orra_ident_seed and
// orra_ident_incr; identityInsert names the table whose identity_insert the session has on
// (as orra_identity_insert(table) reads it in the counting triggers).
void registerIdentityFunctions(sqlite3* db, const QString* identityInsertTable);

}   // namespace orra::embedded
