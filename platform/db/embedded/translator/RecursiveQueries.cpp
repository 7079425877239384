// Recursive common table expressions under the server's recursion limit, and the OPTION
// clause of a query. SQLite would run a recursion that never ends for ever; the server stops
// it when it passes its limit (100 levels, or OPTION (MAXRECURSION n); 0 for none) with error
// 530. A recursive expression carries its level in a column of its own:
//     with c (n) as (select 1 union all select n + 1 from c)
// becomes
//     with "orra recursion c" (n, "orra level") as (select 1, 0 union all
//          select n + 1, orra_recursion_level(c."orra level", 100) from "orra recursion c" as c),
//     c (n) as (select n from "orra recursion c")
// so that the statement reads c without the level (see ExpressionFunctions.cpp). A view's
// recursion stops at the limit of the statement that reads the view (orra_statement_recursion_level):
// a query hint holds throughout its statement.
#include "platform/db/embedded/translator/Rewriters.h"

namespace orra::embedded::translator {

namespace {

constexpr int kMaxRecursionAllowed = 32767;
const char kLevelColumn[] = "\"orra level\"";

// The query hints that change no result: the embedded server has no plans to steer.
bool planHint(const std::vector<Token>& h)
{
    const auto at = [&](size_t i, const char* w) { return i < h.size() && h[i].is(w); };
    const auto numberAt = [&](size_t i) { return i < h.size() && h[i].kind == TokenKind::Number; };
    const size_t n = h.size();
    if (n == 1) return isOneOf(h[0], {"recompile", "no_performance_spool", "ignore_nonclustered_columnstore_index"});
    if (n == 2) {
        if (at(1, "group")) return isOneOf(h[0], {"hash", "order"});
        if (at(1, "union")) return isOneOf(h[0], {"concat", "hash", "merge"});
        if (at(1, "join")) return isOneOf(h[0], {"loop", "merge", "hash"});
        if (at(1, "plan")) return isOneOf(h[0], {"keep", "keepfixed", "robust"});
        if (at(0, "expand")) return at(1, "views");
        if (at(0, "force")) return at(1, "order") || at(1, "externalpushdown");
        if (at(0, "disable")) return at(1, "externalpushdown");
        return isOneOf(h[0], {"fast", "maxdop"}) && numberAt(1);
    }
    if (at(0, "optimize") && at(1, "for")) return (n == 3 && at(2, "unknown")) || (h[2].isSymbol("(") && h[n - 1].isSymbol(")"));
    if (isOneOf(h[0], {"max_grant_percent", "min_grant_percent"})) return n == 3 && h[1].isSymbol("=") && numberAt(2);
    if (at(0, "use") && at(1, "hint")) return h[2].isSymbol("(") && h[n - 1].isSymbol(")");
    return false;
}

// The select list of the select at s, up to end: where it ends.
size_t selectListEnd(const Vec& v, size_t s, size_t end)
{
    return firstTopLevel(v, s + 1, end, {"from", "where", "group", "having", "order", "into", "option"});
}

// Whether the name at k reads the table named name: a table source, not a column.
bool readsTable(const Vec& v, size_t k, const QString& name)
{
    if (!v[k].t.isName() || !sameName(v[k].t.text, name)) return false;
    if (k + 1 < v.size() && (v[k + 1].t.isSymbol(".") || v[k + 1].t.isSymbol("("))) return false;
    if (k > 0 && v[k - 1].t.isSymbol(".")) return false;
    return atTablePosition(Vec(v.begin(), v.begin() + long(k)));
}

class RecursionRewriter {
public:
    RecursionRewriter(TranslationContext& ctx, Vec& v, int limit) : m_ctx(ctx), v(v), m_limit(limit) {}

    void run(size_t with)
    {
        Vec out(v.begin(), v.begin() + long(with) + 1);
        size_t i = with + 1;
        for (;;) {
            if (i >= v.size() || !v[i].t.isName()) return syntaxError(i);
            const size_t nameAt = i++;
            size_t listOpen = 0, listClose = 0;
            if (i < v.size() && v[i].t.isSymbol("(")) {
                listOpen = i;
                listClose = closeOf(v, i, v.size());
                i = listClose + 1;
            }
            // (also SQLite's "with recursive c", which would run without a limit)
            if (i >= v.size() || !v[i].t.is("as")) return syntaxError(i);
            if (i + 1 >= v.size() || !v[i + 1].t.isSymbol("(")) return syntaxError(i + 1);
            const size_t open = i + 1;
            const size_t close = closeOf(v, open, v.size());
            if (close >= v.size()) return syntaxError(close);
            if (!expression(out, nameAt, listOpen, listClose, open, close)) {
                if (m_ctx.failed()) return;
                append(out, v, nameAt, close + 1);
            }
            i = close + 1;
            if (i < v.size() && v[i].t.isSymbol(",")) {
                out.push_back(v[i++]);
                continue;
            }
            break;
        }
        append(out, v, i, v.size());
        v = std::move(out);
    }

private:
    void syntaxError(size_t at)
    {
        m_ctx.fail(at < v.size() ? QStringLiteral("Incorrect syntax near '%1'.").arg(v[at].t.text)
                                 : QStringLiteral("Incorrect syntax near the end of the statement."),
            102, m_ctx.size());
    }

    // The common table expression named at nameAt, its body in (open, close): written to out
    // with its level when it is recursive; false (out unchanged) when it is not.
    bool expression(Vec& out, size_t nameAt, size_t listOpen, size_t listClose, size_t open, size_t close)
    {
        const QString name = v[nameAt].t.text;
        // its members, between the set operators
        std::vector<std::pair<size_t, size_t>> members;
        size_t start = open + 1;
        for (size_t k = open + 1; k < close; ++k) {
            if (v[k].t.isSymbol("(")) {
                k = closeOf(v, k, close);
            } else if (v[k].t.is("case")) {
                k = caseEnd(v, k, close);
            } else if (isOneOf(v[k].t, {"union", "except", "intersect"})) {
                members.emplace_back(start, k);
                start = k + 1;
                if (start < close && v[start].t.is("all")) ++start;
            }
        }
        members.emplace_back(start, close);
        std::vector<size_t> self(members.size(), 0);   // the reference to itself in each member, or 0
        bool recursive = false;
        for (size_t m = 0; m < members.size(); ++m)
            for (size_t k = members[m].first; k < members[m].second && !self[m]; ++k)
                if (readsTable(v, k, name)) {
                    self[m] = k;
                    recursive = true;
                }
        if (!recursive) return false;

        QStringList columns;
        if (listOpen) {
            for (size_t k = listOpen + 1; k < listClose; ++k)
                if (!v[k].t.isSymbol(",")) columns << v[k].t.text;
        } else {
            columns = anchorNames(members.front().first, members.front().second, name);
            if (columns.isEmpty()) return false;
        }
        const NT internal = raw(quoteName(QStringLiteral("orra recursion ") + name));

        out.push_back(internal);
        out.push_back(symbol("("));
        for (const QString& c : columns) {
            out.push_back(raw(quoteName(c)));
            out.push_back(symbol(","));
        }
        out.push_back(raw(QString::fromLatin1(kLevelColumn)));
        out.push_back(symbol(")"));
        out.push_back(word("as"));
        out.push_back(symbol("("));
        size_t copied = open + 1;
        for (size_t m = 0; m < members.size(); ++m) {
            const auto [b, e] = members[m];
            const size_t listEnd = v[b].t.is("select") ? selectListEnd(v, b, e) : e;
            if (!self[m]) {
                // an anchor: level 0
                append(out, v, copied, listEnd);
                out.push_back(symbol(","));
                out.push_back(number(QStringLiteral("0")));
                copied = listEnd;
                continue;
            }
            const size_t ref = self[m];
            NT qualifier = v[ref];
            size_t after = ref + 1;
            bool aliased = false;
            if (after + 1 < e && v[after].t.is("as") && v[after + 1].t.isName()) {
                qualifier = v[after + 1];
                aliased = true;
            } else if (after < e && v[after].t.isName() && !isExpressionBoundary(v[after].t)
                && !isOneOf(v[after].t, {"join", "left", "right", "full", "cross", "outer", "inner", "apply", "option"})) {
                qualifier = v[after];
                aliased = true;
            }
            append(out, v, copied, listEnd);
            out.push_back(symbol(","));
            // a view's recursion takes the limit of the statement that reads it
            out.push_back(raw(m_limit < 0
                    ? QStringLiteral("orra_statement_recursion_level(%1.%2)")
                          .arg(qualifier.out, QString::fromLatin1(kLevelColumn))
                    : QStringLiteral("orra_recursion_level(%1.%2, %3)")
                          .arg(qualifier.out, QString::fromLatin1(kLevelColumn))
                          .arg(m_limit)));
            append(out, v, listEnd, ref);
            out.push_back(internal);
            if (!aliased) {
                out.push_back(word("as"));
                out.push_back(v[ref]);
            }
            copied = ref + 1;
        }
        append(out, v, copied, close + 1);
        // the expression as the statement reads it: without its level
        out.push_back(symbol(","));
        out.push_back(v[nameAt]);
        out.push_back(symbol("("));
        QString names;
        for (const QString& c : columns) names += (names.isEmpty() ? QString() : QStringLiteral(", ")) + quoteName(c);
        out.push_back(raw(names));
        out.push_back(symbol(")"));
        out.push_back(word("as"));
        out.push_back(symbol("("));
        out.push_back(raw(QStringLiteral("select %1 from %2").arg(names, internal.out)));
        out.push_back(symbol(")"));
        return true;
    }

    // The names the first anchor [b, e) gives its columns: the expression's own names when it
    // has no column list. Empty (with the error) when one has none.
    QStringList anchorNames(size_t b, size_t e, const QString& name)
    {
        QStringList names;
        if (b >= e || !v[b].t.is("select")) return names;
        const size_t listEnd = selectListEnd(v, b, e);
        for (const auto& [x, y] : selectItems(v, b, listEnd)) {
            if (y - x >= 3 && v[x].t.isName() && v[x + 1].t.isSymbol("=")) {
                names << v[x].t.text;   // alias = expression
                continue;
            }
            const QString item = itemName(v, x, y);
            if (item == u"*") {
                const QStringList star = starColumns(listEnd, e);
                if (star.isEmpty()) return fail(name);
                names << star;
            } else if (item.isEmpty()) {
                return fail(name);
            } else {
                names << item;
            }
        }
        return names;
    }

    // select * from one table: its columns.
    QStringList starColumns(size_t fromAt, size_t e) const
    {
        if (!m_ctx.schema() || fromAt + 1 >= e || !v[fromAt].t.is("from")) return {};
        const size_t next = firstTopLevel(v, fromAt + 2, e, {"join", "apply", "where", "group", "having", "order"});
        for (size_t k = fromAt + 2; k < next; ++k)
            if (v[k].t.isSymbol(",")) return {};
        if (next < e && !isOneOf(v[next].t, {"where", "group", "having", "order"})) return {};
        const auto [database, table] = sqliteTableOf(v[fromAt + 1]);
        return m_ctx.schema()->columns(database, table);
    }

    QStringList fail(const QString& name)
    {
        m_ctx.fail(QStringLiteral("No column name was specified for column of the recursive common table expression "
                                  "'%1': the embedded server needs its columns named in a column list.")
                       .arg(name),
            8155, m_ctx.size());
        return {};
    }

    TranslationContext& m_ctx;
    Vec& v;
    int m_limit;
};

}   // namespace

size_t queryOptions(TranslationContext& ctx, size_t b, size_t e, bool allowed, int& maxRecursion)
{
    const size_t at = ctx.firstAtTopLevel(b, e, [](const Token& t) { return t.is("option"); });
    if (at + 1 >= e || !ctx[at + 1].isSymbol("(") || ctx.matching(at + 1, e) != e - 1) return e;
    if (!allowed) {
        ctx.fail(QStringLiteral("Incorrect syntax near the keyword 'option'."), 156, at);
        return e;
    }
    for (const auto& [hb, he] : ctx.splitTop(at + 2, e - 1, [&](size_t k) { return ctx[k].isSymbol(","); })) {
        const std::vector<Token> hint(ctx.tokens().begin() + long(hb), ctx.tokens().begin() + long(he));
        if (hint.size() == 2 && hint[0].is("maxrecursion") && hint[1].kind == TokenKind::Number) {
            bool ok = false;
            const qlonglong n = hint[1].text.toLongLong(&ok);
            if (!ok || n > kMaxRecursionAllowed) {
                ctx.fail(QStringLiteral("The value %1 specified for the MAXRECURSION option exceeds the allowed maximum "
                                        "of %2.")
                             .arg(hint[1].text)
                             .arg(kMaxRecursionAllowed),
                    310, hb);
                return e;
            }
            maxRecursion = int(n);
            continue;
        }
        if (!hint.empty() && planHint(hint)) continue;
        if (hint.size() >= 2
            && ((hint[0].is("use") && hint[1].is("plan")) || (hint[0].is("table") && hint[1].is("hint")))) {
            ctx.fail(QStringLiteral("The embedded server does not run the query hint '%1 %2'.")
                         .arg(hint[0].text.toUpper(), hint[1].text.toUpper()),
                hb);
            return e;
        }
        // a hint of a number or the like names its faulty part, anything else itself
        const bool known = !hint.empty() && isOneOf(hint[0], {"maxrecursion", "maxdop", "fast"});
        ctx.fail(ctx.near(known && hb + 1 < he ? hb + 1 : hb), 102, hb);
        return e;
    }
    return at;
}

void rewriteRecursion(TranslationContext& ctx, Vec& v, int maxRecursion)
{
    size_t with = v.size();
    if (!v.empty() && v[0].t.is("with")) {
        with = 0;
    } else if (v.size() > 2 && isOneOf(v[0].t, {"create", "alter"})) {
        // create [or alter] | alter view V … as with …: the limit of the statement that reads it
        const size_t as = topLevel(v, 1, {"as"});
        if (as + 1 < v.size() && v[as + 1].t.is("with")) with = as + 1;
        maxRecursion = -1;
    }
    if (with >= v.size()) return;
    RecursionRewriter(ctx, v, maxRecursion).run(with);
}

}   // namespace orra::embedded::translator
