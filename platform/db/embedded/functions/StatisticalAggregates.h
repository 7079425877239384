#pragma once
// The server's statistical aggregates STDEV, STDEVP, VAR and VARP (float results, NULLs
// ignored), as SQLite aggregate and window functions of the same names, and PERCENTILE_CONT
// and PERCENTILE_DISC as window functions over a partition.

struct sqlite3;

namespace orra::embedded {

void registerStatisticalAggregates(sqlite3* db);

}   // namespace orra::embedded
