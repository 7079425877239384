// In a query that groups its rows (GROUP BY, or an aggregate over all of them), the select list,
// HAVING and ORDER BY read a column only through an aggregate or a GROUP BY expression: SQLite
// would give the column of some row of the group, the server refuses the statement (8118 …
// 8127). Columns are judged only where the translator knows the sources' columns.
#include "platform/db/embedded/translator/ExpressionTyping.h"
#include "platform/db/embedded/translator/Rewriters.h"

#include <algorithm>
#include <optional>

namespace orra::embedded::translator {

namespace {

// Functions whose first argument is a word of their own (a date part, a type), not a column.
bool takesWordFirst(const Token& t)
{
    return isOneOf(t, {"dateadd", "datediff", "datediff_big", "datepart", "datename", "datetrunc", "date_bucket",
                          "convert", "try_convert"});
}

enum class Clause { SelectList, Having, OrderBy };

class GroupedQuery {
public:
    GroupedQuery(TranslationContext& ctx, const ExpressionTyper& typer, size_t select)
        : m_ctx(ctx), T(ctx.tokens()), m_typer(typer), m_select(select)
    {
    }

    // [b, e) of a clause: the first column it reads outside an aggregate and the GROUP BY,
    // refused with the server's error; false then.
    bool check(size_t b, size_t e, Clause clause)
    {
        for (size_t i = b; i < e; ++i) {
            if (const size_t g = groupedAt(i, e); g > i) {
                i = g - 1;
                continue;
            }
            const Token& t = T[i];
            if (t.isSymbol("(") && i + 1 < e && T[i + 1].is("select")) {
                i = m_ctx.matching(i, e);   // a subquery's own columns and the outer row's alike
                continue;
            }
            if (t.is("as") && i + 1 < e) {   // cast (x as type)
                ++i;
                continue;
            }
            if (t.kind == TokenKind::Word && i + 1 < e && T[i + 1].isSymbol("(")) {
                if (isAggregateName(t)) {
                    i = pastCallClauses(T, m_ctx.matching(i + 1, e) + 1, e) - 1;
                } else if (takesWordFirst(t)) {
                    ++i;   // the word after the parenthesis is skipped below
                    if (i + 1 < e && T[i + 1].isName()) ++i;
                }
                continue;
            }
            if (!t.isName() || t.text.startsWith(u'@') || (t.kind == TokenKind::Word && isExpressionBoundary(t)))
                continue;
            // a column, a.b or a.b.c; a call of a schema's function is none
            size_t j = i + 1;
            while (j + 1 < e && T[j].isSymbol(".") && T[j + 1].isName()) j += 2;
            if (j < e && T[j].isSymbol("(")) {
                i = j - 1;
                continue;
            }
            const QString column = T[j - 1].text;
            const QString qualifier = j - i >= 3 ? T[j - 3].text : QString();
            if (!refuses(column, qualifier, clause)) {
                i = j - 1;
                continue;
            }
            return false;
        }
        return true;
    }

    std::vector<std::pair<size_t, size_t>> groups;
    bool grouped = false;
    std::vector<ExpressionTyper::Item> items;

private:
    // The end of the GROUP BY expression that begins at i, or i.
    size_t groupedAt(size_t i, size_t e) const
    {
        for (auto [x, y] : groups)
            if (y - x <= e - i && sameExpression(T, i, i + (y - x), x, y)) return i + (y - x);
        return i;
    }

    bool refuses(const QString& column, const QString& qualifier, Clause clause)
    {
        if (clause == Clause::OrderBy && qualifier.isEmpty())
            for (const auto& item : items)
                if (sameName(item.name, column)) return false;   // the select list's alias
        const std::optional<QString> source = m_typer.sourceOfColumn(m_select, column);
        if (!source || source->isEmpty()) return false;
        for (auto [x, y] : groups) {
            if (!sameName(columnNamed(T, x, y), column)) continue;
            if (qualifier.isEmpty() || y - x < 3 || sameName(T[y - 3].text, qualifier)) return false;
        }
        const QString name = (qualifier.isEmpty() ? *source : qualifier) + u'.' + column;
        const QString tail = grouped ? QStringLiteral("either an aggregate function or the GROUP BY clause.")
                                     : QStringLiteral("an aggregate function and there is no GROUP BY clause.");
        switch (clause) {
        case Clause::SelectList:
            m_ctx.fail(QStringLiteral("Column '%1' is invalid in the select list because it is not contained in %2")
                           .arg(name, tail),
                grouped ? 8120 : 8118, m_select);
            break;
        case Clause::Having:
            m_ctx.fail(QStringLiteral("Column '%1' is invalid in the HAVING clause because it is not contained in %2")
                           .arg(name, tail),
                grouped ? 8121 : 8119, m_select);
            break;
        case Clause::OrderBy:
            m_ctx.fail(QStringLiteral("Column \"%1\" is invalid in the ORDER BY clause because it is not contained in %2")
                           .arg(name, tail),
                grouped ? 8127 : 8126, m_select);
            break;
        }
        return true;
    }

    TranslationContext& m_ctx;
    const std::vector<Token>& T;
    const ExpressionTyper& m_typer;
    size_t m_select;
};

// Whether [b, e) calls an aggregate outside subqueries and windows.
bool aggregates(const TranslationContext& ctx, size_t b, size_t e)
{
    const auto& T = ctx.tokens();
    for (size_t i = b; i + 1 < e; ++i) {
        if (T[i].isSymbol("(") && T[i + 1].is("select")) {
            i = ctx.matching(i, e);
            continue;
        }
        if (!isAggregateName(T[i]) || !T[i + 1].isSymbol("(")) continue;
        const size_t close = ctx.matching(i + 1, e);
        if (close + 1 >= e || !T[close + 1].is("over")) return true;
        i = close;
    }
    return false;
}

}   // namespace

bool aliasesOnlyInOrder(TranslationContext& ctx, size_t b, size_t e)
{
    const auto& T = ctx.tokens();
    std::optional<ExpressionTyper> typer;
    for (size_t s = b; s < e; ++s) {
        // the statement's own selects (a subquery's names may be the outer query's columns)
        if (!T[s].is("select")) continue;
        int depth = 0;
        for (size_t k = b; k < s; ++k) depth += T[k].isSymbol("(") ? 1 : T[k].isSymbol(")") ? -1 : 0;
        if (depth != 0) continue;
        if (!typer) typer.emplace(ctx);
        QStringList aliases;
        for (const auto& item : typer->selectItemRanges(s))
            if (!item.name.isEmpty() && !item.name.startsWith(u'@') && !sameName(item.name, columnNamed(T, item.b, item.e)))
                aliases << item.name;
        if (aliases.isEmpty()) continue;
        auto clauseWord = [](const Token& t) {
            return isOneOf(t, {"where", "group", "having", "order", "union", "except", "intersect", "option", "for",
                                  "select"});
        };
        for (size_t k = ctx.firstAtTopLevel(s + 1, e, clauseWord); k < e; k = ctx.firstAtTopLevel(k + 1, e, clauseWord)) {
            if (!isOneOf(T[k], {"where", "group", "having"})) break;
            const size_t end = ctx.firstAtTopLevel(k + 1, e, clauseWord);
            for (size_t i = k + 1; i < end; ++i) {
                const Token& t = T[i];
                if (t.isSymbol("(") && i + 1 < end && T[i + 1].is("select")) {
                    i = ctx.matching(i, end);
                    continue;
                }
                if (!t.isName() || t.text.startsWith(u'@') || (i > 0 && (T[i - 1].isSymbol(".") || T[i - 1].is("as")))
                    || (i + 1 < end && (T[i + 1].isSymbol("(") || T[i + 1].isSymbol("."))))
                    continue;
                if (i > 1 && T[i - 1].isSymbol("(") && takesWordFirst(T[i - 2])) continue;
                if (!std::any_of(aliases.begin(), aliases.end(), [&](const QString& a) { return sameName(a, t.text); }))
                    continue;
                const std::optional<QString> source = typer->sourceOfColumn(s, t.text);
                if (!source || !source->isEmpty()) continue;
                ctx.fail(QStringLiteral("Invalid column name '%1'.").arg(t.text), 207, i);
                return false;
            }
            k = end - 1;
        }
    }
    return true;
}

bool groupedColumnsOnly(TranslationContext& ctx, size_t b, size_t e)
{
    const auto& T = ctx.tokens();
    std::optional<ExpressionTyper> typer;
    for (size_t s = b; s < e; ++s) {
        if (!T[s].is("select")) continue;
        const size_t scopeEnd = s > b && T[s - 1].isSymbol("(") ? ctx.matching(s - 1, e) : e;
        auto clauseWord = [](const Token& t) {
            return isOneOf(t, {"group", "having", "order", "union", "except", "intersect", "option", "for"});
        };
        const bool compound = ctx.firstAtTopLevel(s + 1, scopeEnd, [](const Token& t) {
            return isOneOf(t, {"union", "except", "intersect"});
        }) < scopeEnd;
        size_t group = scopeEnd, having = scopeEnd, order = scopeEnd;
        for (size_t k = ctx.firstAtTopLevel(s + 1, scopeEnd, clauseWord); k < scopeEnd;
             k = ctx.firstAtTopLevel(k + 1, scopeEnd, clauseWord)) {
            if (T[k].is("group") && group == scopeEnd) group = k;
            else if (T[k].is("having") && having == scopeEnd) having = k;
            else if (T[k].is("order") && order == scopeEnd && !compound) order = k;
            else if (!T[k].is("group") && !T[k].is("having") && !T[k].is("order")) break;
        }
        if (!typer) typer.emplace(ctx);
        GroupedQuery q(ctx, *typer, s);
        q.items = typer->selectItemRanges(s);
        const size_t groupEnd = std::min(having, order);
        const size_t havingEnd = order;
        size_t orderEnd = scopeEnd;
        if (order < scopeEnd)
            orderEnd = ctx.firstAtTopLevel(order + 2, scopeEnd, [](const Token& t) {
                return isOneOf(t, {"offset", "option", "for", "union", "except", "intersect"}) || t.isSymbol(";");
            });
        q.grouped = group < scopeEnd;
        // select *: the translator does not list the columns the star stands for
        if (std::any_of(q.items.begin(), q.items.end(), [&](const auto& it) { return T[it.e - 1].isSymbol("*"); }))
            continue;
        // a HAVING or an aggregate in the select list makes all rows one group
        const bool aggregate = q.grouped || having < scopeEnd
            || std::any_of(q.items.begin(), q.items.end(), [&](const auto& it) { return aggregates(ctx, it.b, it.e); });
        if (!aggregate) continue;
        if (q.grouped) {
            if (group + 1 >= groupEnd || !T[group + 1].is("by")) continue;
            bool plain = true;
            for (size_t k = group + 2; k < groupEnd; ++k)
                if (isOneOf(T[k], {"rollup", "cube", "grouping", "all", "with"})) plain = false;
            if (!plain) continue;
            q.groups = ctx.splitTop(group + 2, groupEnd, [&](size_t k) { return T[k].isSymbol(","); });
        }
        for (const auto& item : q.items)
            if (!q.check(item.b, item.e, Clause::SelectList)) return false;
        if (having < scopeEnd && !q.check(having + 1, havingEnd, Clause::Having)) return false;
        if (order < scopeEnd && order + 2 <= orderEnd && !q.check(order + 2, orderEnd, Clause::OrderBy)) return false;
    }
    return true;
}

}   // namespace orra::embedded::translator
