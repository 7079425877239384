#pragma once
// SQL functions through which the translator carries the server's expression rules into
// SQLite: '+' chains (orra_add, with orra_list packing long chains), divisors that refuse
// zero (orra_divisor), the levels of a recursion (orra_recursion_level), conversions to the
// integer types (orra_integer).

struct sqlite3;
struct sqlite3_context;

namespace orra::embedded {

void registerExpressionFunctions(sqlite3* db);
// The result of a recursion's next level from a row of the given level: the level, or past
// the limit (0: none) the server's error 530.
void resultRecursionLevel(sqlite3_context* ctx, long long level, long long limit);

}   // namespace orra::embedded
