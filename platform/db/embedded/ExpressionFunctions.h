#pragma once
// SQL functions through which the translator carries the server's expression rules into
// SQLite: '+' chains (orra_add, with orra_list packing long chains), divisors that refuse
// zero (orra_divisor), the levels of a recursion (orra_recursion_level), conversions to the
// integer types (orra_integer).

struct sqlite3;

namespace orra::embedded {

void registerExpressionFunctions(sqlite3* db);

}   // namespace orra::embedded
