#pragma once
// The server's mathematical and logical scalar functions that SQLite lacks or computes
// differently (LOG with a base, SQUARE, ATN2, COT, RAND with a seed, CHOOSE, GREATEST, LEAST,
// NEWID) and the client's HOST_NAME and APP_NAME, as SQLite functions under the names the translator writes.

struct sqlite3;

namespace orra::embedded {

void registerScalarFunctions(sqlite3* db);

}   // namespace orra::embedded
