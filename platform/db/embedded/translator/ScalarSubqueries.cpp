// A subquery used as a value gives at most one row: SQLite takes the first row of several, the
// server stops the statement with error 512. Each such subquery that may give more than one row
// reads its rows through orra_single_value, the aggregate that fails on a second row.
#include "platform/db/embedded/translator/ExpressionRewrites.h"

namespace orra::embedded::translator {

namespace {

bool isOperator(const Token& t)
{
    if (t.kind != TokenKind::Symbol) return false;
    for (const char* op : {"=", "<", ">", "<=", ">=", "<>", "!=", "!<", "!>", "+", "-", "*", "/", "%", "&", "|", "^",
             "~", "||"})
        if (t.text == QLatin1String(op)) return true;
    return false;
}

// Whether the comma before `at` separates the items of a select list or the arguments of a
// call (not the tables of a from clause, the rows of values or the items of an order).
bool commaBetweenValues(const Vec& v, size_t at)
{
    int depth = 0;
    for (size_t k = at; k-- > 0;) {
        const Token& t = v[k].t;
        if (t.isSymbol(")")) {
            ++depth;
        } else if (t.isSymbol("(")) {
            if (depth-- > 0) continue;
            return k > 0 && v[k - 1].t.kind == TokenKind::Word && !isExpressionBoundary(v[k - 1].t)
                && !isStatementWord(v[k - 1].t) && !v[k - 1].t.is("values");
        } else if (t.text == u"\x01") {
            return false;   // a clause a rewriter wrote: not read here
        } else if (depth == 0 && (t.is("select") || t.is("distinct"))) {
            return true;
        } else if (depth == 0 && isExpressionBoundary(t) && !isOneOf(t, {"case", "when", "then", "else", "end", "and",
                                                                        "or", "not", "is", "null", "in", "like",
                                                                        "between", "as", "over", "partition", "by"})) {
            return false;
        }
    }
    return false;
}

// Whether the subquery opening at `open` stands where a value does: after an operator, in a
// select list, a condition or a call's arguments; not as a table, an IN or EXISTS list or an
// operand of a set operator.
bool standsForValue(const Vec& v, size_t open)
{
    if (open == 0) return false;
    const Token& p = v[open - 1].t;
    if (isOperator(p)) return true;
    if (p.isSymbol(",")) return commaBetweenValues(v, open - 1);
    if (p.isSymbol("("))   // the first argument of a call
        return open >= 2 && v[open - 2].t.kind == TokenKind::Word && !isExpressionBoundary(v[open - 2].t)
            && !isStatementWord(v[open - 2].t) && !v[open - 2].t.is("values");
    return isOneOf(p, {"select", "when", "then", "else", "case", "and", "or", "not", "between", "like", "return",
                          "print", "if", "while"});
}

// Whether the subquery in (open, close) gives one row at most: top 1 (or 0), an aggregate
// without group by, or no from clause, and no set operator.
bool atMostOneRow(const Vec& v, size_t open, size_t close)
{
    size_t k = open + 1;
    if (k < close && v[k].t.is("distinct")) ++k;
    if (k + 1 < close && v[k].t.is("top")) {
        const NT& n = v[k + 1].t.isSymbol("(") && k + 3 < close && v[k + 3].t.isSymbol(")") ? v[k + 2] : v[k + 1];
        if (n.t.kind == TokenKind::Number && (n.t.text == u"1" || n.t.text == u"0")) return true;
    }
    bool aggregate = false, from = false;
    for (size_t i = open + 1; i < close; ++i) {
        const Token& t = v[i].t;
        if (t.isSymbol("(")) {
            i = closeOf(v, i, close);
            continue;
        }
        if (t.is("case")) {
            i = caseEnd(v, i, close);
            continue;
        }
        if (isOneOf(t, {"group", "union", "except", "intersect"})) return false;
        if (t.is("from")) from = true;
        if (isAggregateName(t) && i + 1 < close && v[i + 1].t.isSymbol("(")) {
            const size_t callEnd = closeOf(v, i + 1, close);
            if (callEnd + 1 >= close || !v[callEnd + 1].t.is("over")) aggregate = true;
        }
    }
    return aggregate || !from;
}

}   // namespace

Vec guardScalarSubqueries(const Vec& input)
{
    Vec v;
    v.reserve(input.size());
    std::vector<size_t> closes;   // where the wrapped subqueries end in input, innermost last
    for (size_t i = 0; i < input.size(); ++i) {
        if (input[i].t.isSymbol("(") && i + 1 < input.size() && input[i + 1].t.is("select") && standsForValue(input, i)) {
            const size_t close = closeOf(input, i, input.size());
            if (close < input.size() && !atMostOneRow(input, i, close)) {
                // (with "scalar subquery" (value) as (select …) select orra_single_value(value) from "scalar subquery")
                for (NT n : {symbol("("), word("with"), raw(QStringLiteral("\"scalar subquery\"")), symbol("("),
                         raw(QStringLiteral("\"value\"")), symbol(")"), word("as")})
                    v.push_back(n);
                closes.push_back(close);
            }
        }
        v.push_back(input[i]);
        if (!closes.empty() && closes.back() == i) {
            closes.pop_back();
            for (NT n : {word("select"), raw(QStringLiteral("orra_single_value")), symbol("("),
                     raw(QStringLiteral("\"value\"")), symbol(")"), word("from"), raw(QStringLiteral("\"scalar subquery\"")),
                     symbol(")")})
                v.push_back(n);
        }
    }
    return v;
}

}   // namespace orra::embedded::translator
