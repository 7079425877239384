#pragma once
// SQLite's own names, which T-SQL text never reaches: its schema tables and table-valued
// functions, and the functions T-SQL does not have (the server's own, orra_…, included).

#include "platform/db/embedded/TsqlLexer.h"

namespace orra::embedded::translator {

bool isSqliteOwnTable(const Token& t);
bool isSqliteOnlyFunction(const Token& t);

}   // namespace orra::embedded::translator
