#pragma once
// The expression rewrites every statement goes through: select top N as limit N, divisors
// that refuse zero, and '+' chains evaluated by the values' types.

#include "platform/db/embedded/TsqlTranslator.h"
#include "platform/db/embedded/translator/Rewriting.h"

namespace orra::embedded::translator {

Vec rewriteExpressions(const Vec& input);

// Union, except and intersect bound as the server binds them (intersect first, parenthesized
// operands, a select's own TOP), each operand SQLite cannot take in place made a subquery.
Vec groupSetOperations(const Vec& v);

// Subqueries used as values that may give more than one row, made to fail with error 512 when
// they do (ScalarSubqueries.cpp).
Vec guardScalarSubqueries(const Vec& v);

// The statement as SQLite runs it: v with its expressions rewritten, as text.
SqlStatement finishedStatement(const Vec& v, bool dml = false);

}   // namespace orra::embedded::translator
