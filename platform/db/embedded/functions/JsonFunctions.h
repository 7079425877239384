#pragma once
// The server's JSON_VALUE and JSON_QUERY (lax and strict paths, the server's errors 13607 …
// 13625) as SQLite functions over SQLite's own json functions.

struct sqlite3;

namespace orra::embedded {

void registerJsonFunctions(sqlite3* db);

}   // namespace orra::embedded
