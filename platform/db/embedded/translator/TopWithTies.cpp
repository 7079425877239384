// select top (n) [percent] with ties … order by K: the rows ranked within the first n (by
// rank() over the ORDER BY), so that the rows tying with the last one come too. The select
// keeps its ORDER BY and takes as LIMIT the number of rows whose rank is at most n.
#include "platform/db/embedded/translator/Rewriters.h"
#include "platform/db/embedded/translator/TypedRewrites.h"

namespace orra::embedded::translator {

namespace {

// A select list item: its name (alias or column) and its expression's tokens.
struct Item {
    QString name;
    size_t b = 0, e = 0;
};

Item itemOf(const Vec& v, size_t x, size_t y)
{
    Item it{QString(), x, y};
    if (y - x > 2 && v[x].t.isName() && v[x + 1].t.isSymbol("=") && !v[x].t.text.startsWith(u'@')) {
        it.name = v[x].t.text;
        it.b = x + 2;
    } else if (y - x > 2 && v[y - 2].t.is("as")) {
        it.name = v[y - 1].t.text;
        it.e = y - 2;
    } else if (y - x > 1 && (v[y - 1].t.isName() || v[y - 1].t.kind == TokenKind::String)
        && !isExpressionBoundary(v[y - 1].t) && !v[y - 2].t.isSymbol(".")
        && (v[y - 2].t.isName() || v[y - 2].t.isSymbol(")") || v[y - 2].t.kind != TokenKind::Symbol)) {
        it.name = v[y - 1].t.text;
        it.e = y - 1;
    } else if (v[y - 1].t.isName()) {
        it.name = v[y - 1].t.text;
    }
    if (it.name.size() >= 2 && it.name.startsWith(u'\'')) it.name = it.name.mid(1, it.name.size() - 2);
    return it;
}

// The ORDER BY keys with select list aliases and positions replaced by their expressions (a
// window's ORDER BY knows neither).
Vec resolvedKeys(const Vec& v, size_t listBegin, size_t listEnd, size_t b, size_t e)
{
    std::vector<Item> items;
    for (const auto& [x, y] : splitTopLevel(v, listBegin, listEnd))
        if (x < y) items.push_back(itemOf(v, x, y));
    Vec out;
    for (const auto& [x, y] : splitTopLevel(v, b, e)) {
        if (!out.empty()) out.push_back(symbol(","));
        size_t exprEnd = y;
        while (exprEnd > x && (v[exprEnd - 1].t.is("asc") || v[exprEnd - 1].t.is("desc"))) --exprEnd;
        const Item* found = nullptr;
        if (exprEnd == x + 1 && v[x].t.kind == TokenKind::Number) {
            const int n = v[x].t.text.toInt();
            if (n >= 1 && size_t(n) <= items.size()) found = &items[size_t(n) - 1];
        } else if (exprEnd == x + 1 && v[x].t.isName()) {
            for (const Item& it : items)
                if (it.name.compare(v[x].t.text, Qt::CaseInsensitive) == 0 && !(it.e == it.b + 1 && v[it.b].t.text == v[x].t.text)) {
                    found = &it;
                    break;
                }
        }
        if (found) {
            out.push_back(symbol("("));
            append(out, v, found->b, found->e);
            out.push_back(symbol(")"));
            append(out, v, exprEnd, y);
        } else {
            append(out, v, x, y);
        }
    }
    return out;
}

}   // namespace

void rewriteTopWithTies(TranslationContext& ctx, Vec& v)
{
    bool any = false;
    for (size_t i = 0; i + 1 < v.size(); ++i)
        if (v[i].t.is("with") && v[i + 1].t.is("ties")) any = true;
    if (!any) return;
    for (size_t i = v.size(); i-- > 0;) {
        if (!v[i].t.is("select")) continue;
        size_t k = i + 1;
        const bool distinct = k < v.size() && v[k].t.is("distinct");
        if (k < v.size() && (v[k].t.is("distinct") || v[k].t.is("all"))) ++k;
        if (k + 1 >= v.size() || !v[k].t.is("top")) continue;
        size_t countEnd = 0;
        Vec count;
        if (v[k + 1].t.isSymbol("(")) {
            countEnd = closeOf(v, k + 1, v.size()) + 1;
            append(count, v, k + 1, countEnd);
        } else {
            count.push_back(v[k + 1]);
            countEnd = k + 2;
        }
        const bool percent = countEnd < v.size() && v[countEnd].t.is("percent");
        if (percent) ++countEnd;
        if (countEnd + 1 >= v.size() || !v[countEnd].t.is("with") || !v[countEnd + 1].t.is("ties")) continue;
        const size_t listBegin = countEnd + 2;
        // the select ends at its closing parenthesis, a union, or the end
        int depth = 0;
        size_t end = v.size();
        for (size_t j = listBegin; j < v.size(); ++j) {
            const Token& t = v[j].t;
            if (t.isSymbol("(")) {
                ++depth;
            } else if (t.isSymbol(")")) {
                if (depth-- == 0) {
                    end = j;
                    break;
                }
            } else if (depth == 0 && (isOneOf(t, {"union", "except", "intersect", "option"}) || t.isSymbol(";"))) {
                end = j;
                break;
            }
        }
        const size_t order = firstTopLevel(v, listBegin, end, {"order"});
        if (order >= end) {
            ctx.fail(QStringLiteral("The TOP N WITH TIES clause is not allowed without a corresponding ORDER BY clause."),
                1062, indexOf(ctx, v[k].t));
            return;
        }
        if (distinct) {
            ctx.fail(QStringLiteral("The embedded server does not run TOP … WITH TIES together with DISTINCT."), 102,
                indexOf(ctx, v[k].t));
            return;
        }
        const size_t listEnd = firstTopLevel(v, listBegin, order, {"into", "from", "where", "group", "having"});
        size_t restBegin = listEnd;
        if (listEnd < order && v[listEnd].t.is("into")) restBegin = firstTopLevel(v, listEnd, order, {"from", "where", "group"});
        const size_t keysEnd = firstTopLevel(v, order + 2, end, {"for"});
        Vec rest;
        append(rest, v, restBegin, order);

        Vec ranked{word("select"), word("rank"), symbol("("), symbol(")"), word("over"), symbol("("), word("order"),
            word("by")};
        const Vec keys = resolvedKeys(v, listBegin, listEnd, order + 2, keysEnd);
        ranked.insert(ranked.end(), keys.begin(), keys.end());
        ranked.push_back(symbol(")"));
        ranked.push_back(raw(QStringLiteral("as orra_rank")));
        ranked.insert(ranked.end(), rest.begin(), rest.end());

        Vec threshold;
        if (percent) {
            // n percent of the rows, a fraction counting as a whole row
            threshold.push_back(raw(QStringLiteral("(select cast(c as integer) + (c > cast(c as integer)) from (select "
                                                   "count(*) *")));
            threshold.insert(threshold.end(), count.begin(), count.end());
            threshold.push_back(raw(QStringLiteral("/ 100.0 as c from (select 1")));
            threshold.insert(threshold.end(), rest.begin(), rest.end());
            threshold.push_back(raw(QStringLiteral(")))")));
        } else {
            threshold.push_back(symbol("("));
            threshold.insert(threshold.end(), count.begin(), count.end());
            threshold.push_back(symbol(")"));
        }
        // (the parentheses as tokens: the selects inside are no select of this statement's level)
        Vec limit{word("limit"), symbol("("), raw(QStringLiteral("select count(*) from")), symbol("(")};
        limit.insert(limit.end(), ranked.begin(), ranked.end());
        limit.push_back(symbol(")"));
        limit.push_back(raw(QStringLiteral("where orra_rank <=")));
        limit.insert(limit.end(), threshold.begin(), threshold.end());
        limit.push_back(symbol(")"));
        v.insert(v.begin() + long(keysEnd), limit.begin(), limit.end());
        v.erase(v.begin() + long(k), v.begin() + long(listBegin));
    }
}

}   // namespace orra::embedded::translator
