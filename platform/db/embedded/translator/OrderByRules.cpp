// Where an ORDER BY may stand and what it may name, as the server checks it before it runs a
// statement: with SELECT DISTINCT only items of the select list (145); in a derived table, a
// subquery, a common table expression or a view only with TOP, OFFSET or FOR XML (1033).
#include "platform/db/embedded/translator/ExpressionTyping.h"
#include "platform/db/embedded/translator/Rewriters.h"

#include <algorithm>

namespace orra::embedded::translator {

namespace {

// The query whose select is at s (to end) orders its rows without TOP, OFFSET or FOR XML.
bool ordersOnlyForShow(const TranslationContext& ctx, size_t s, size_t end)
{
    const auto& T = ctx.tokens();
    size_t k = s + 1;
    if (k < end && (T[k].is("distinct") || T[k].is("all"))) ++k;
    if (k < end && T[k].is("top")) return false;
    const size_t order = ctx.firstAtTopLevel(s + 1, end, [](const Token& t) { return t.is("order"); });
    if (order + 1 >= end || !T[order + 1].is("by")) return false;
    return ctx.firstAtTopLevel(order, end, [](const Token& t) { return isOneOf(t, {"offset", "for"}); }) >= end;
}

}   // namespace

// SELECT DISTINCT … ORDER BY: each item of the order must be one of the select list (an
// expression of it, its alias or column, or its position), since one distinct row may stand
// for rows of other values. False, with error 145, when one is not.
bool orderWithinDistinctList(TranslationContext& ctx, size_t b, size_t e)
{
    const auto& T = ctx.tokens();
    if (b + 1 >= e || !T[b].is("select") || !T[b + 1].is("distinct")) return true;
    auto setOperatorOrOrder = [](const Token& t) { return isOneOf(t, {"union", "except", "intersect", "order"}); };
    const size_t order = ctx.firstAtTopLevel(b, e, setOperatorOrOrder);
    if (order + 2 >= e || !T[order].is("order") || !T[order + 1].is("by")) return true;
    const std::vector<ExpressionTyper::Item> items = ExpressionTyper(ctx).selectItemRanges(b);
    for (const auto& item : items)
        if (item.e > item.b && T[item.e - 1].isSymbol("*")) return true;   // columns the list does not show
    const size_t end = ctx.firstAtTopLevel(
        order + 2, e, [](const Token& t) { return isOneOf(t, {"offset", "for", "option"}) || t.isSymbol(";"); });
    for (auto [x, y] : ctx.splitTop(order + 2, end, [&](size_t k) { return T[k].isSymbol(","); })) {
        if (y > x + 1 && (T[y - 1].is("asc") || T[y - 1].is("desc"))) --y;
        if (y == x + 1 && T[x].kind == TokenKind::Number) continue;   // a position: 108 when out of range
        const QString column = columnNamed(T, x, y);
        const bool listed = std::any_of(items.begin(), items.end(), [&](const ExpressionTyper::Item& item) {
            if (sameExpression(T, x, y, item.b, item.e)) return true;
            if (column.isEmpty()) return false;
            const QString itemColumn = columnNamed(T, item.b, item.e);
            return sameName(column, item.name) || (!itemColumn.isEmpty() && sameName(column, itemColumn));
        });
        if (!listed) {
            ctx.fail(QStringLiteral("ORDER BY items must appear in the select list if SELECT DISTINCT is specified."), 145,
                x);
            return false;
        }
    }
    return true;
}


bool orderOnlyWithTop(TranslationContext& ctx, size_t b, size_t e)
{
    const auto& T = ctx.tokens();
    auto refuse = [&](size_t at) {
        ctx.fail(QStringLiteral("The ORDER BY clause is invalid in views, inline functions, derived tables, subqueries, "
                                "and common table expressions, unless TOP or FOR XML is also specified."),
            1033, at);
        return false;
    };
    for (size_t i = b; i + 1 < e; ++i) {
        if (!T[i].isSymbol("(") || !T[i + 1].is("select")) continue;
        // a query in parentheses that opens the statement or is an operand of a set operator
        // keeps the order of its own TOP or of the whole
        size_t j = i;
        while (j > b && T[j - 1].isSymbol("(")) --j;
        if (j == b || isOneOf(T[j - 1], {"union", "all", "except", "intersect"})) continue;
        if (ordersOnlyForShow(ctx, i + 1, ctx.matching(i, e))) return refuse(i + 1);
    }
    // create | alter | create or alter view … as select …
    if (isOneOf(T[b], {"create", "alter"})) {
        const size_t view = ctx.firstAtTopLevel(b, std::min(e, b + 4), [](const Token& t) { return t.is("view"); });
        const size_t as = view < e ? ctx.firstAtTopLevel(view, e, [](const Token& t) { return t.is("as"); }) : e;
        if (as + 1 < e && T[as + 1].is("select") && ordersOnlyForShow(ctx, as + 1, e)) return refuse(as + 1);
    }
    return true;
}

}   // namespace orra::embedded::translator
