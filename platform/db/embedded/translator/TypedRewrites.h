#pragma once
// Expressions written for SQLite by their T-SQL types (see ExpressionTyping.h): sums and
// averages of money and decimals computed exactly, the average of integers an integer, ROUND
// of exact values at their scale with negative lengths and truncation, ABS that overflows as
// int does, POWER and ISNULL in their first argument's type.

#include "platform/db/embedded/translator/ExpressionTyping.h"
#include "platform/db/embedded/translator/TranslationContext.h"

#include <optional>

namespace orra::embedded::translator {

// Rewrites the calls and divisions in v (tokens of the batch normalised by ctx) by their
// arguments' types; an expression the server refuses (IIF of two NULL constants) fails ctx.
void rewriteByType(TranslationContext& ctx, Vec& v);

// The operands of a comparison (=, <>, <, >, <=, >=, between, in) compare in the type of
// higher data type precedence: a text compared with a number or a date is converted as CAST to
// that type converts it (DATEPART(mm, d) = N'1', OrderDate >= '20260101'; a text that is no
// number is the server's conversion error), a date with a date of another type as instants.
void compareByPrecedence(const TranslationContext& ctx, const ExpressionTyper& typer, Vec& v);

// Only the arithmetic on dates of rewriteByType: for the defaults and checks of a table's
// columns, which name no other table.
void rewriteDateArithmetic(TranslationContext& ctx, Vec& v);

// @v += x and @v -= x (op '+' or '-', … '*', '/') of a date variable of type target: the
// value the server assigns (datetime arithmetic), self and expr being @v and x as normalised
// and [b, e) x's tokens in the batch; nothing when the variable is no date. An operation the
// server refuses fails ctx.
std::optional<Vec> compoundDateAssignment(
    TranslationContext& ctx, const SqlType& target, QChar op, const Vec& self, const Vec& expr, size_t b, size_t e);

// Money and decimals with more digits than a double carries compare exactly: the operands
// of a comparison in type t (the batch's tokens [b, e)) compare as exact keys when t is
// exact and one of them has such digits, and every operand is typed.
bool comparesByExactKeys(const ExpressionTyper& typer, const std::vector<std::pair<size_t, size_t>>& operands,
    const SqlType& t);
// The tokens [b, e) of v, a value of type t, as its exact key (orra_dec_key).
void wrapInExactKey(Vec& v, size_t b, size_t e, const SqlType& t);
// ORDER BY items of such types sort by their exact keys (the select's order from v[from]);
// MIN and MAX of them compare exactly (the call whose name is v[i]).
void orderByExactKeys(const TranslationContext& ctx, const ExpressionTyper& typer, Vec& v, size_t from);
// The same for the orders of a union's, except's or intersect's rows in the select v, once
// its result columns are named (SQLite orders such rows by their result columns alone).
void orderSetOperationsByExactKeys(const TranslationContext& ctx, Vec& v);
void extremeExactly(const TranslationContext& ctx, const ExpressionTyper& typer, Vec& v, size_t i);
// x IN (SELECT y …) and CASE x WHEN a … compare x with y, a … as exact keys likewise.
void compareOtherFormsExactly(const TranslationContext& ctx, const ExpressionTyper& typer, Vec& v);

// A conversion of the tokens [b, e) of v (of type source) to the type t, as CAST converts them;
// v unchanged for a type whose values SQLite keeps as they come.
void convertTo(Vec& v, size_t b, size_t e, const SqlType& t, const SqlType& source = {});

// Values that insert and update write into date, time, money and decimal columns converted by
// the column's declared type, as CAST to it converts them (WriteConversions.cpp).
// An insert's select goes into a common table expression of this name, whose rows the
// conversions read: the tokens that open and close it are raw ones around the select.
void convertWrittenValues(const TranslationContext& ctx, Vec& v);
// The type of the value in the batch's tokens [b, e) written into a column of type target, as
// far as the write's conversion needs it (Unknown where it converts the value whatever its type).
SqlType writtenValueType(const TranslationContext& ctx, const ExpressionTyper& typer, const SqlType& target, size_t b, size_t e);
inline constexpr const char* kWrittenRows = "orra_written";
// Ends an insert whose values cannot break the target's length rules (see WriteConversions):
// it is prepared with the table's checks left out.
inline constexpr const char* kLengthsFit = " /* orra: lengths fit */";

// The index in v of the batch's token k, or v.size().
size_t placeOf(const TranslationContext& ctx, const Vec& v, size_t k);
// The tokens of v between those that the batch's tokens b - 1 and e became: the expression
// [b, e) whatever its own tokens became (a cast's are written anew); nothing when the two
// are not found.
std::optional<std::pair<size_t, size_t>> placesBetween(const TranslationContext& ctx, const Vec& v, size_t b, size_t e);

// The values of the branches of a union, except or intersect, of the rows of a derived
// table's VALUES, of a CASE, COALESCE and IIF converted to the result's numeric or date type
// where their own type differs (1.5 and 1.50 are then one value to DISTINCT, GROUP BY and a
// union, whatever form they travel in).
void convertBranchesToResultType(const TranslationContext& ctx, const ExpressionTyper& typer, Vec& v);

// An operand SQLite takes a collation from: a column named alone (a, t.a, [t].[a]), the
// batch's tokens [b, e).
bool isBareColumn(const TranslationContext& ctx, size_t b, size_t e);

// The index of t among the batch's tokens (tokens keep their offsets in the text), or the
// number of tokens when t is none of them.
size_t indexOf(const TranslationContext& ctx, const Token& t);
// The first token of the operand that ends at token k (a name, a literal, a call, a group).
size_t operandStart(const TranslationContext& ctx, size_t k);
// The end of the operand that begins at token k.
size_t operandEnd(const TranslationContext& ctx, size_t k);

// The select list of the select at v[at], named as the server names its columns:
// "alias = expression" becomes the expression under that alias. Gives the positions of the
// items that have no name (an expression without an alias).
std::vector<int> nameResultColumns(Vec& v, size_t at = 0);

// The T-SQL declarations of the result columns of the select at token b, one per item of its
// select list ("" for one not typed); empty when a star stands in the list.
QStringList resultTypes(const TranslationContext& ctx, size_t b);

}   // namespace orra::embedded::translator
