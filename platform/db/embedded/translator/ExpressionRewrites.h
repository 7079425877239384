#pragma once
// The expression rewrites every statement goes through: select top N as limit N, divisors
// that refuse zero, and '+' chains evaluated by the values' types.

#include "platform/db/embedded/TsqlTranslator.h"
#include "platform/db/embedded/translator/Rewriting.h"

namespace orra::embedded::translator {

Vec rewriteExpressions(const Vec& input);

// The statement as SQLite runs it: v with its expressions rewritten, as text.
SqlStatement finishedStatement(const Vec& v, bool dml = false);

}   // namespace orra::embedded::translator
