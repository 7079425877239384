#pragma once
// SQL Server's wording for a constraint that refused a statement, which names the constraint
// and the object; SQLite names only the columns ("UNIQUE constraint failed: T.A, T.B") or
// nothing ("FOREIGN KEY constraint failed").

#include <QString>
#include <QStringList>
#include <QVariantList>

struct sqlite3;

namespace orra::embedded {

// Follows a unique key that stands for the table's primary key (a key beside an identity column,
// which is SQLite's integer key itself).
inline constexpr char kPrimaryKeyMark[] = "/*primary key*/";

struct ConstraintMessage {
    QString text;      // empty when the failure is not one of these
    long number = 0;   // the server's error number: 2627, 2601 or 547
    // 2627, 2601 and 1505: the key (SQLite's schema, the table, its columns); for 1505 the
    // repeated value as stored, which the server adds to the text (EmbeddedBackend::keyValueText).
    QString keySchema{};
    QString keyTable{};
    QStringList keyColumns{};
    QVariantList keyValues{};
};

// statementSql is the SQLite text of the statement that failed (insert into / update /
// delete from its target first); database is the name of the connection's database.
ConstraintMessage serverConstraintMessage(
    sqlite3* db, const QString& database, const QString& statementSql, const QString& sqliteMessage);

// A unique index made over rows that repeat its key (create unique index, or a primary key or
// unique constraint added): the index, its table as messages name it ("dbo.T"), and the first
// key value that repeats in keyValues (the text ends before it). sqliteMessage is SQLite's "UNIQUE constraint failed: T.A, …"; the
// rows are read from schema.table.
ConstraintMessage duplicateKeyMessage(sqlite3* db, const QString& schema, const QString& table, const QString& object,
    const QString& index, const QString& sqliteMessage);

}   // namespace orra::embedded
