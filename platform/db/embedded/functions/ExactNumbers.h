#pragma once
// SQL functions that keep money, smallmoney and decimal(p,s) exact where SQLite would compute
// in doubles: sums and averages (also over windows), conversions to an exact type with the
// server's rounding and overflow, and the integer average of integers.
//
// An exact value travels in SQLite as an INTEGER when it is whole, as a REAL when its digits
// read back from the double exactly (at most 15 significant digits), and otherwise as a BLOB
// holding its decimal text, which no column affinity changes. readExact() reads all three.

#include "platform/db/Decimal.h"

#include <optional>

struct sqlite3;
struct sqlite3_value;
struct sqlite3_context;
struct sqlite3_stmt;

namespace orra::embedded {

void registerExactNumberFunctions(sqlite3* db);

// The value as a decimal at scale (rounded half away from zero); nothing for NULL or a value
// that is no number.
std::optional<db::Decimal> readExact(sqlite3_value* v, int scale);
// Sets the function's result to d in the form described above.
void resultExact(sqlite3_context* ctx, const db::Decimal& d);
// Binds d to the statement's parameter at index in that form.
void bindExact(sqlite3_stmt* st, int index, const db::Decimal& d);

}   // namespace orra::embedded
