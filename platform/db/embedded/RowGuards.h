#pragma once
// The server's side of the row guards (Extensions.h): in a session that does not own its
// database, a temporary trigger before each insert, update and delete of a guarded table hands
// the row to the SQL function orra_row_guard, which calls the table's guard with the session.
// A refusal fails the statement with the guard's error (SQLITE_AUTH underneath, so that the
// backend reports the server's message and number).

#include <QHash>
#include <QString>
#include <QStringList>

struct sqlite3;
struct sqlite3_context;
struct sqlite3_value;

namespace orra::embedded {

// Makes the guard triggers on every guarded table of "main" that exists; gives each such
// table's columns by its folded name. Run by the server on its own behalf (a Trusted scope).
QHash<QString, QStringList> installRowGuards(sqlite3* db);

// orra_row_guard(table, action, values…): action 1 insert (the new row), 2 update (the old
// row, then the new), 3 delete (the old row). Its user data is the session's EmbeddedBackend.
void rowGuardFunction(sqlite3_context* context, int argc, sqlite3_value** argv);

}   // namespace orra::embedded
