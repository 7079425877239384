#pragma once
// What the server knows of a database's objects beyond SQLite's own schema: OBJECT_ID over
// tables, views, procedures and functions by one-, two- and three-part names.

#include <QString>

struct sqlite3;

namespace orra::embedded {

// create schema: a new schema of the main database (the server's own write: the caller has
// checked the right).
void createSchema(sqlite3* db, const QString& name);

// For create table or view of a schema other than dbo (the statement as SQLite runs it): the
// schema when its database has none of that name, else empty.
QString missingSchema(sqlite3* db, const QString& sqliteStatement);

// object_id(name [, type]) as the SQLite function orra_object_id.
void registerObjectFunctions(sqlite3* db);

}   // namespace orra::embedded
