#pragma once
// NULLs in unique keys. SQL Server holds NULLs equal in a unique constraint or unique index: a
// key takes one row whose key is NULL, one (1, NULL) and so on, where SQLite's unique indexes
// let NULLs repeat. So beside each unique index of a key that may hold NULLs the server keeps a
// companion: a partial unique index over the rows whose key holds a NULL (and that the index's
// own filter takes), keyed by an encoding that tells NULL from every value — ifnull(c, 0) in
// the column's collation and c IS NULL, for each column. SQLite's index keeps the rows without
// NULLs and its lookups; a companion's refusal reads as its index's. A companion is named
// kNullKeyPrefix followed by its index's name.

#include <QString>
#include <QStringList>

#include <optional>

struct sqlite3;

namespace orra::embedded {

inline constexpr char kNullKeyPrefix[] = "orra_nulls$";

// A unique index whose rows repeat a key that holds a NULL: its table, name and columns.
struct NullKeyRepeat {
    QString table;
    QString index;
    QStringList columns;
    // SQLite's wording for the index's own refusal ("UNIQUE constraint failed: T.A, T.B").
    QString sqliteMessage() const;
};

// Makes the companions that the unique indexes of table (of the SQLite schema) lack, makes anew
// those whose index changed, and drops the companions of the schema whose index is gone (all a
// table-less call does). The companion that rows refuse is not made: its index is reported.
std::optional<NullKeyRepeat> keepNullKeysUnique(sqlite3* db, const QString& schema, const QString& table);

// A database file made before unique keys held NULLs equal: once (its user_version below
// kNullKeysFormat, which it then takes), the unique keys of its tables get their companions,
// the server's own tables aside. A key whose rows already repeat a NULL key keeps its rows and
// takes no companion. Nothing happens when the file cannot be written now (read-only, busy):
// the next opening tries again.
inline constexpr int kNullKeysFormat = 1;
void keepNullKeysOfOlderDatabase(sqlite3* db);

// SQLite's message for a companion's refusal, as that of its index; any other message as it is.
QString nullKeyFailure(sqlite3* db, const QString& schema, const QString& sqliteMessage);

}   // namespace orra::embedded
