#pragma once
// One rewriter per kind of statement handed on to SQLite. Each takes the statement's
// normalised tokens and gives the statement as SQLite runs it, with what the server needs to
// know about it (row counts, insert target, select … into table, result column types).

#include "platform/db/embedded/translator/TranslationContext.h"

#include <optional>

namespace orra::embedded::translator {

// select …, select … into T; [b, e) is the statement's token range (for the result typing).
SqlStatement rewriteSelect(TranslationContext& ctx, Vec v, size_t b, size_t e);
// insert [into] T [(columns)] values … | select …
SqlStatement rewriteInsert(Vec v);
// The value "c op= x" assigns (op "+" … "^"), the compound operator's token at.
Vec compoundValue(const Vec& target, const QString& op, const Token& at, const Vec& x);
// The compound assignments of update's and merge's set clauses ("c += x" … "c ^= x") as the
// plain ones they stand for; false (with the error) for a variable assigned there.
bool rewriteCompoundAssignments(TranslationContext& ctx, Vec& v);
// update t set t.C=… [from D..tb t [inner join …]] [where …]
SqlStatement rewriteUpdate(Vec v);
// delete tb where … | delete from tb … | delete d from … inner join … where …
SqlStatement rewriteDelete(Vec v);
// create table T (…); the table's columns become known to the rest of the batch through declareIn
// counting: when given, an identity the server counts is made so, and the statements that make
// it count after the table is made are put there (see IdentityColumns.h).
SqlStatement rewriteCreateTable(Vec v, TranslationContext* declareIn = nullptr, QStringList* counting = nullptr);
// the same, with identity(seed, 1) starting at its seed
Statement rewriteCreateTable(TranslationContext& ctx, Vec v, size_t at);
// create or alter view, alter view: the view made anew
Statement rewriteViewChange(Vec v);
// alter table T add … | drop column …, one SQLite statement a column
Statement rewriteAlterTable(TranslationContext& ctx, Vec v, size_t at);
// merge [into] T using source on … when …: the statements that carry it out
Statement rewriteMerge(TranslationContext& ctx, Vec v);
// The SQLite database and table a normalised table name stands for ("main", "T").
std::pair<QString, QString> sqliteTableOf(const NT& n);
// pivot, unpivot: the derived tables they stand for
void rewritePivot(TranslationContext& ctx, Vec& v);
// cross apply, outer apply: joins SQLite runs; true when the statement had one
bool rewriteApply(TranslationContext& ctx, Vec& v);
// SELECT DISTINCT … ORDER BY over items of the select list only: false (with error 145) for the
// select statement [b, e) whose select is at b when an item of its order is not one
// (OrderByRules.cpp).
bool orderWithinDistinctList(TranslationContext& ctx, size_t b, size_t e);
// ORDER BY in derived tables, subqueries, common table expressions and views only with TOP,
// OFFSET or FOR XML: false (with error 1033) for the statement [b, e) when one has it without.
bool orderOnlyWithTop(TranslationContext& ctx, size_t b, size_t e);
// The OVER clauses of the statement [b, e) as the server compiles them: false (with error 4112,
// 10752 or 4194) for a ranking or offset function without ORDER BY, a frame where the function
// takes none, or RANGE with a number of rows (WindowClauses.cpp).
bool windowsAsCompiled(TranslationContext& ctx, size_t b, size_t e);
// In a query that groups its rows, the select list, HAVING and ORDER BY read columns only
// through aggregates and GROUP BY expressions: false (with error 8118 … 8127) for the statement
// [b, e) when one does not (GroupedColumns.cpp).
bool groupedColumnsOnly(TranslationContext& ctx, size_t b, size_t e);
// A select list's aliases are names for ORDER BY alone: false (with error 207) for the statement
// [b, e) when its WHERE, GROUP BY or HAVING reads one that names no column (GroupedColumns.cpp).
bool aliasesOnlyInOrder(TranslationContext& ctx, size_t b, size_t e);
// select top (n) [percent] with ties … order by …: the rows tying with the last one too
void rewriteTopWithTies(TranslationContext& ctx, Vec& v);
// select forms SQLite writes otherwise: alias = expression, offset … fetch, values tables
void rewriteSelectForms(Vec& v);
// FOR XML PATH and FOR JSON clauses (ForClauses.cpp): each select that has one becomes the
// one text it shapes; true when the statement's own select had one (shapedSelect then
// finishes it, a select of one nvarchar(max) column).
bool rewriteForClauses(TranslationContext& ctx, Vec& v);
SqlStatement shapedSelect(TranslationContext& ctx, Vec v);
// create index, drop index
Statement rewriteIndexStatement(Vec v);
// create index/view, drop, alter, truncate and statements in parentheses
SqlStatement rewriteSchemaStatement(Vec v);
// The top-level items of the select list of the select at s (ApplyRewriter.cpp).
std::vector<std::pair<size_t, size_t>> selectItems(const Vec& v, size_t s, size_t end);
// The name an item [x, y) of a select list gives its column: its alias, or the column it
// names; empty for an expression without one, "*" for a star.
QString itemName(const Vec& v, size_t x, size_t y);
// OPTION (hint, …) at the end of the statement [b, e) (RecursiveQueries.cpp): where it begins
// (e when there is none), with MAXRECURSION's value in maxRecursion. The hints that change no
// result are taken and left; allowed false (a view) refuses the clause.
size_t queryOptions(TranslationContext& ctx, size_t b, size_t e, bool allowed, int& maxRecursion);
// with … (also in a view): its recursive expressions stopped past maxRecursion levels (0: none)
void rewriteRecursion(TranslationContext& ctx, Vec& v, int maxRecursion);
constexpr int kDefaultMaxRecursion = 100;
// The table a write names (its token as the translator resolved it).
InsertTarget targetTable(const NT& table);
// The table the insert, update, delete or merge in v changes (an update's or delete's alias
// taken from its from clause); nothing when v is none of them (OutputClause.cpp).
std::optional<InsertTarget> changedTable(const Vec& v);

}   // namespace orra::embedded::translator
