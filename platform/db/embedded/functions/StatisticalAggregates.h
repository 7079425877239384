#pragma once
// The server's statistical aggregates STDEV, STDEVP, VAR and VARP (float results, NULLs
// ignored), as SQLite aggregate and window functions of the same names.

struct sqlite3;

namespace orra::embedded {

void registerStatisticalAggregates(sqlite3* db);

}   // namespace orra::embedded
