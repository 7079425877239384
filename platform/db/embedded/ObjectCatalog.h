#pragma once
// What the server knows of a database's objects beyond SQLite's own schema: OBJECT_ID over
// tables, views, procedures and functions by one-, two- and three-part names.

#include <QString>

#include <optional>

struct sqlite3;

namespace orra::embedded {

// create schema: a new schema of the main database (the server's own write: the caller has
// checked the right).
void createSchema(sqlite3* db, const QString& name);

// For create table or view of a schema other than dbo (the statement as SQLite runs it): the
// schema when its database has none of that name, else empty.
QString missingSchema(sqlite3* db, const QString& sqliteStatement);

// Procedures and functions: kept in their database's table sysmodules as the T-SQL text of
// their definition, and translated when they run. Their names share the namespace of tables
// and views (schema.name, dbo by default).
struct StoredModule {
    QString schema;       // "dbo" for the default schema
    QString name;
    QString type;         // "P" procedure, "FN" scalar, "IF" inline table-valued, "TF" table-valued function
    QString definition;   // the statement that made or last altered it, as written
};

enum class ModuleChange { Create, Alter, CreateOrAlter };

// The module of that schema and name in the SQLite schema `database` ("main", "temp", an
// attached name); nothing when there is none.
std::optional<StoredModule> findModule(
    sqlite3* db, const QString& database, const QString& schema, const QString& name);

// Stores a module of the main database (the server's own write: the caller has checked the
// right). Throws orra::Error with SQL Server's number: 2714 when create finds the name taken
// (by a module, table or view), 208 when alter finds no module of the name, 2010 when it names
// a module of another kind. An altered module keeps its object id.
void storeModule(sqlite3* db, const StoredModule& module, ModuleChange change);

// Drops the module of the main database; false when there is none of that kind (types: the
// kinds it may be, "P" or "FN,IF,TF").
bool dropModule(sqlite3* db, const QString& schema, const QString& name, const QString& types);

// For create table or view (the statement as SQLite runs it): the name when a procedure or
// function of its database holds it, else empty.
QString moduleNamedBy(sqlite3* db, const QString& sqliteStatement);

// Whether the main database has the schema (dbo and the other built-in ones always).
bool hasSchema(sqlite3* db, const QString& schema);

// The table a name's text gives ('T', 'dbo.T', 'db..T', 'tempdb..#t', as OBJECT_ID reads it):
// its SQLite schema and its stored name; nothing when the session has no such table.
struct StoredTable {
    QString schema;
    QString name;
};
std::optional<StoredTable> tableNamed(sqlite3* db, const QString& text);

class SessionRights;

// object_id(name [, type]) as the SQLite function orra_object_id: tables and views ('U', 'V'),
// procedures ('P') and functions ('FN', 'IF', 'TF'); object_name, object_schema_name,
// schema_id, schema_name, col_name and col_length. The session's rights let the server read
// the columns of a table for col_name and col_length.
void registerObjectFunctions(sqlite3* db, SessionRights* rights);

}   // namespace orra::embedded
