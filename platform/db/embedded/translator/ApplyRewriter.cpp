// CROSS APPLY and OUTER APPLY. A table-valued function or a table on the right becomes a join
// (SQLite lets a table-valued function's arguments read the tables to its left). A derived
// table on the right, which may read the columns of the left row, becomes
//     join "orra_apply_rows:<types>"((select orra_apply_pack(a1, …, an)
//                           from (select null as a1, … where 0 union all select * from (Q)))) as x
// (left join for OUTER APPLY): a scalar subquery may read the outer row, and the pack carries
// its rows, with their values exact, into the join. The references to x's columns become
// x.c1 … x.cn (see functions/AppliedRows.h).
#include "platform/db/embedded/functions/AppliedRows.h"
#include "platform/db/embedded/translator/ExpressionTyping.h"
#include "platform/db/embedded/translator/Rewriters.h"
#include "platform/db/embedded/translator/TypedRewrites.h"

namespace orra::embedded::translator {

namespace {


bool endsSelectList(const Token& t)
{
    return isOneOf(t, {"from", "into", "where", "group", "having", "order", "union", "except", "intersect", "option",
                          "for", "window", "limit"});
}

// The select whose from clause holds the token at i, and where it ends (the parenthesis around
// it, the next select of a compound, or the statement's end).
std::pair<size_t, size_t> enclosingSelect(const Vec& v, size_t i)
{
    size_t b = 0;
    int depth = 0;
    for (size_t k = i; k-- > 0;) {
        if (v[k].t.isSymbol(")"))
            ++depth;
        else if (v[k].t.isSymbol("(")) {
            if (depth == 0) {
                b = k + 1;
                break;
            }
            --depth;
        } else if (depth == 0 && v[k].t.is("select")) {
            b = k;
            break;
        }
    }
    depth = 0;
    size_t e = i;
    for (; e < v.size(); ++e) {
        const Token& t = v[e].t;
        if (t.isSymbol("("))
            ++depth;
        else if (t.isSymbol(")")) {
            if (--depth < 0) break;
        } else if (depth == 0 && isOneOf(t, {"union", "except", "intersect"}))
            break;
    }
    return {b, e};
}

class ApplyRewriter {
public:
    ApplyRewriter(TranslationContext& ctx, Vec& v) : m_ctx(ctx), v(v) {}

    // Rewrites the last apply of the statement; false when there is none.
    bool rewriteLast()
    {
        size_t a = v.size();
        for (size_t k = v.size(); k-- > 1;)
            if (v[k].t.is("apply") && (v[k - 1].t.is("cross") || v[k - 1].t.is("outer"))) {
                a = k;
                break;
            }
        if (a >= v.size()) return false;
        const bool outer = v[a - 1].t.is("outer");
        if (a + 1 >= v.size()) {
            fail(m_ctx.near(m_ctx.size()), 102);
            return false;
        }
        if (v[a + 1].t.isSymbol("(") && a + 2 < v.size() && v[a + 2].t.is("select"))
            return derived(a, outer);
        // a table-valued function or a table: a join that may read the tables to its left
        Vec join;
        join.push_back(outer ? word("left") : word("cross"));
        join.push_back(word("join"));
        v.erase(v.begin() + long(a) - 1, v.begin() + long(a) + 1);
        v.insert(v.begin() + long(a) - 1, join.begin(), join.end());
        return true;
    }

private:
    void fail(const QString& message, long number) { m_ctx.fail(message, number, m_ctx.size()); }

    bool derived(size_t a, bool outer)
    {
        const size_t open = a + 1;
        const size_t close = closeOf(v, open, v.size());
        if (close >= v.size()) {
            fail(m_ctx.near(m_ctx.size()), 102);
            return false;
        }
        size_t k = close + 1;
        if (k < v.size() && v[k].t.is("as")) ++k;
        if (k >= v.size() || !v[k].t.isName() || isExpressionBoundary(v[k].t)) {
            fail(k < v.size() ? QStringLiteral("Incorrect syntax near '%1'.").arg(v[k].t.text)
                              : QStringLiteral("Incorrect syntax near ')'."),
                102);
            return false;
        }
        const NT alias = v[k];
        ++k;
        // the select's columns: their names, or the alias's column list
        QStringList names;
        const auto items = selectItems(v, open + 1, close);
        if (k < v.size() && v[k].t.isSymbol("(")) {
            const size_t listClose = closeOf(v, k, v.size());
            for (size_t n = k + 1; n < listClose; ++n)
                if (!v[n].t.isSymbol(",")) names << v[n].t.text;
            k = listClose + 1;
            if (names.size() != qsizetype(items.size())) {
                fail(QStringLiteral("'%1' has %2 columns than were specified in the column list.")
                         .arg(alias.t.text, names.size() < qsizetype(items.size()) ? QStringLiteral("more")
                                                                                 : QStringLiteral("fewer")),
                    names.size() < qsizetype(items.size()) ? 8158 : 8159);
                return false;
            }
        } else {
            for (size_t n = 0; n < items.size(); ++n) {
                const QString name = itemName(v, items[n].first, items[n].second);
                if (name == u"*") {
                    fail(QStringLiteral("The embedded server does not run 'select *' in an applied derived table "
                                        "'%1': name its columns.")
                             .arg(alias.t.text),
                        0);
                    return false;
                }
                if (name.isEmpty()) {
                    fail(QStringLiteral("No column name was specified for column %1 of '%2'.")
                             .arg(n + 1)
                             .arg(alias.t.text),
                        8155);
                    return false;
                }
                names << name;
            }
        }
        for (qsizetype n = 0; n < names.size(); ++n)
            for (qsizetype m = 0; m < n; ++m)
                if (sameName(names[n], names[m])) {
                    fail(QStringLiteral("The column '%1' was specified multiple times for '%2'.")
                             .arg(names[n], alias.t.text),
                        8156);
                    return false;
                }
        // the columns' declared types, as the select types them
        QStringList types;
        const size_t select = indexOf(m_ctx, v[open + 1].t);
        if (select > 0 && select < m_ctx.size() && m_ctx[select - 1].isSymbol("(") && m_ctx.schema()) {
            const std::vector<SqlType> typed = ExpressionTyper(m_ctx).selectTypes(select);
            if (typed.size() == size_t(names.size()))
                for (const SqlType& t : typed) types << t.declaration();
        }
        while (types.size() < names.size()) types << QString();

        // join orra_apply_rows((select orra_apply_pack(a1, …) from (select null as a1, … where 0
        // union all select * from (Q)))) as x
        Vec out{outer ? word("left") : word("cross"), word("join"), raw(quoteName(appliedRowsTable(types))), symbol("("),
            symbol("("), word("select"), raw(QStringLiteral("orra_apply_pack")), symbol("(")};
        QString nulls;
        for (qsizetype n = 0; n < names.size(); ++n) {
            if (n > 0) out.push_back(symbol(","));
            out.push_back(raw(QStringLiteral("a%1").arg(n + 1)));
            nulls += QStringLiteral("%1null as a%2").arg(n > 0 ? QStringLiteral(", ") : QString()).arg(n + 1);
        }
        out.push_back(symbol(")"));
        out.push_back(word("from"));
        out.push_back(symbol("("));
        out.push_back(raw(QStringLiteral("select %1 where 0 union all select * from").arg(nulls)));
        out.insert(out.end(), v.begin() + long(open), v.begin() + long(close) + 1);
        out.push_back(symbol(")"));
        out.push_back(symbol(")"));
        out.push_back(symbol(")"));
        out.push_back(word("as"));
        out.push_back(alias);
        const size_t from = a - 1;
        v.erase(v.begin() + long(from), v.begin() + long(k));
        v.insert(v.begin() + long(from), out.begin(), out.end());
        referencesOf(alias.t.text, names, from, from + out.size());
        return !m_ctx.failed();
    }

    // The column named name of the applied table: x.cN.
    Vec column(const NT& alias, qsizetype n) const
    {
        return {alias, symbol("."), raw(QStringLiteral("c%1").arg(n + 1))};
    }

    // The references to the applied table's columns in the select around it, outside the
    // applied table itself [skipBegin, skipEnd).
    void referencesOf(const QString& alias, const QStringList& names, size_t skipBegin, size_t skipEnd)
    {
        const auto [sb, se] = enclosingSelect(v, skipBegin);
        const NT aliasToken = v[skipEnd - 1];
        const auto indexOf = [&](const QString& name) -> qsizetype {
            for (qsizetype n = 0; n < names.size(); ++n)
                if (sameName(names[n], name)) return n;
            return -1;
        };
        size_t end = se;
        m_skipBegin = skipBegin;
        m_skipEnd = skipEnd;
        expandStar(sb, end, aliasToken, names);
        int depth = 0;   // parentheses of nested selects around the token
        std::vector<bool> nested;   // per open parenthesis: does a select follow it
        for (size_t i = sb; i < end; ++i) {
            if (i == m_skipBegin) {
                i = m_skipEnd - 1;
                continue;
            }
            const Token& t = v[i].t;
            if (t.isSymbol("(")) {
                nested.push_back(i + 1 < end && v[i + 1].t.is("select"));
                if (nested.back()) ++depth;
                continue;
            }
            if (t.isSymbol(")")) {
                if (!nested.empty()) {
                    if (nested.back()) --depth;
                    nested.pop_back();
                }
                continue;
            }
            if (!t.isName() || t.text.startsWith(u'@')) continue;
            const bool dotBefore = i > 0 && v[i - 1].t.isSymbol(".");
            const bool dotAfter = i + 1 < end && v[i + 1].t.isSymbol(".");
            if (!dotBefore && dotAfter && sameName(t.text, alias) && i + 2 < end) {
                // x.name, x.*
                if (v[i + 2].t.kind == TokenKind::Symbol && v[i + 2].out != u"*") continue;   // made here
                if (v[i + 2].t.isSymbol("*")) {
                    Vec all;
                    for (qsizetype n = 0; n < names.size(); ++n) {
                        if (n > 0) all.push_back(symbol(","));
                        const Vec c = column(aliasToken, n);
                        all.insert(all.end(), c.begin(), c.end());
                        all.push_back(word("as"));
                        all.push_back(raw(quoteName(names[n])));
                    }
                    replace(i, i + 3, all, end);
                    i += all.size() - 1;
                    continue;
                }
                const qsizetype n = indexOf(v[i + 2].t.text);
                if (n < 0) {
                    m_ctx.fail(QStringLiteral("Invalid column name '%1'.").arg(v[i + 2].t.text), 207, m_ctx.size());
                    return;
                }
                const bool item = isPlainItem(sb, i, i + 3);
                Vec c = column(aliasToken, n);
                if (item) {
                    c.push_back(word("as"));
                    c.push_back(raw(quoteName(names[n])));
                }
                replace(i, i + 3, c, end);
                i += c.size() - 1;
                continue;
            }
            if (dotBefore || dotAfter || depth > 0 || isExpressionBoundary(t)) continue;
            if (i + 1 < end && v[i + 1].t.isSymbol("(")) continue;   // a function
            if (i > sb && isAlias(i)) continue;
            const qsizetype n = indexOf(t.text);
            if (n < 0) continue;
            const bool item = isPlainItem(sb, i, i + 1);
            Vec c = column(aliasToken, n);
            if (item) {
                c.push_back(word("as"));
                c.push_back(raw(quoteName(names[n])));
            }
            replace(i, i + 1, c, end);
            i += c.size() - 1;
        }
    }

    // Whether the name at i is the alias of what goes before it.
    bool isAlias(size_t i) const
    {
        const Token& p = v[i - 1].t;
        if (p.is("as")) return true;
        if (!endsOperand(p) || p.is("percent") || p.is("ties")) return false;
        // select top 5 name, select top (5) name: the name begins the list
        if (p.kind == TokenKind::Number) return !(i >= 2 && v[i - 2].t.is("top"));
        if (p.isSymbol(")")) {
            int depth = 0;
            for (size_t k = i - 1; k-- > 0;) {
                if (v[k].t.isSymbol(")"))
                    ++depth;
                else if (v[k].t.isSymbol("(") && depth-- == 0)
                    return !(k > 0 && v[k - 1].t.is("top"));
            }
        }
        return true;
    }

    // select * over the applied table: the star becomes each table's columns in the order of
    // the from clause, the applied table's by their names.
    void expandStar(size_t sb, size_t& end, const NT& alias, const QStringList& names)
    {
        if (!v[sb].t.is("select")) return;
        size_t star = end;
        for (const auto& [x, y] : selectItems(v, sb, end))
            if (y == x + 1 && v[x].t.isSymbol("*")) star = x;
        if (star >= end) return;
        // the from clause
        size_t from = end;
        int depth = 0;
        for (size_t k = sb + 1; k < end; ++k) {
            if (v[k].t.isSymbol("("))
                ++depth;
            else if (v[k].t.isSymbol(")"))
                --depth;
            else if (depth == 0 && v[k].t.is("from")) {
                from = k;
                break;
            }
        }
        if (from >= end) return;
        Vec all;
        const auto add = [&](const Vec& item) {
            if (!all.empty()) all.push_back(symbol(","));
            all.insert(all.end(), item.begin(), item.end());
        };
        size_t k = from + 1;
        while (k < end) {
            if (k == m_skipBegin + 2) {
                // the applied table (after "left join" or "cross join")
                for (qsizetype n = 0; n < names.size(); ++n) {
                    Vec c = column(alias, n);
                    c.push_back(word("as"));
                    c.push_back(raw(quoteName(names[n])));
                    add(c);
                }
                k = m_skipEnd;
            } else {
                NT qualifier = v[k];
                if (v[k].t.isSymbol("(")) {
                    k = closeOf(v, k, end) + 1;
                } else {
                    const QString out = v[k].out;
                    const qsizetype dot = out.lastIndexOf(u'.');
                    if (dot >= 0) qualifier = raw(out.mid(dot + 1));
                    ++k;
                    if (k < end && v[k].t.isSymbol("(")) k = closeOf(v, k, end) + 1;
                }
                if (k < end && v[k].t.is("as")) ++k;
                if (k < end && v[k].t.isName() && !isExpressionBoundary(v[k].t)
                    && !isOneOf(v[k].t, {"left", "right", "inner", "outer", "full", "cross", "join", "on", "apply",
                                           "where", "group", "having", "order", "union", "except", "intersect",
                                           "option", "for", "window", "limit"}))
                    qualifier = v[k++];
                add({qualifier, symbol("."), symbol("*")});
            }
            // on to the next table
            int d = 0;
            for (; k < end; ++k) {
                const Token& t = v[k].t;
                if (t.isSymbol("("))
                    ++d;
                else if (t.isSymbol(")"))
                    --d;
                else if (d == 0 && endsSelectList(t))
                    k = end - 1;
                else if (d == 0 && (t.isSymbol(",") || t.is("join") || t.is("apply")))
                    break;
            }
            ++k;
        }
        replace(star, star + 1, all, end);
    }

    // Whether [x, y) is a whole item of the select list of the select at sb (so that its
    // column takes the name of the applied column).
    bool isPlainItem(size_t sb, size_t x, size_t y) const
    {
        if (!v[sb].t.is("select")) return false;
        const auto items = selectItems(v, sb, v.size());
        for (const auto& [b, e] : items)
            if (b == x && e == y) return true;
        return false;
    }

    void replace(size_t b, size_t e, const Vec& with, size_t& end)
    {
        v.erase(v.begin() + long(b), v.begin() + long(e));
        v.insert(v.begin() + long(b), with.begin(), with.end());
        end = end - (e - b) + with.size();
        if (b < m_skipBegin) {
            m_skipBegin = m_skipBegin - (e - b) + with.size();
            m_skipEnd = m_skipEnd - (e - b) + with.size();
        }
    }

    // The applied table's own tokens, which the references leave alone.
    size_t m_skipBegin = 0, m_skipEnd = 0;

    TranslationContext& m_ctx;
    Vec& v;
};

}   // namespace

// The top-level items of the select list of the select at s.
std::vector<std::pair<size_t, size_t>> selectItems(const Vec& v, size_t s, size_t end)
{
    size_t i = s + 1;
    if (i < end && (v[i].t.is("distinct") || v[i].t.is("all"))) ++i;
    if (i < end && v[i].t.is("top")) {
        i += (i + 1 < end && v[i + 1].t.isSymbol("(")) ? 4 : 2;
        if (i < end && v[i].t.is("percent")) ++i;
        if (i + 1 < end && v[i].t.is("with") && v[i + 1].t.is("ties")) i += 2;
    }
    std::vector<std::pair<size_t, size_t>> items;
    size_t start = i;
    size_t k = i;
    for (; k < end; ++k) {
        const Token& t = v[k].t;
        if (t.isSymbol("(")) {
            k = closeOf(v, k, end);
            continue;
        }
        if (t.is("case")) {
            k = caseEnd(v, k, end);
            continue;
        }
        if (t.isSymbol(")") || endsSelectList(t)) break;
        if (t.isSymbol(",")) {
            items.emplace_back(start, k);
            start = k + 1;
        }
    }
    items.emplace_back(start, k);
    return items;
}

// The name an item of a select list gives its column: its alias, or the column it names;
// empty for an expression without one, "*" for a star.
QString itemName(const Vec& v, size_t x, size_t y)
{
    if (x >= y) return {};
    if (v[y - 1].t.isSymbol("*")) return QStringLiteral("*");
    if (y - x >= 2 && v[y - 2].t.is("as") && v[y - 1].t.isName()) return v[y - 1].t.text;
    if (y - x >= 2 && v[y - 1].t.isName() && !isExpressionBoundary(v[y - 1].t) && endsOperand(v[y - 2].t)
        && !v[y - 2].t.isSymbol("."))
        return v[y - 1].t.text;
    bool plain = (y - x) % 2 == 1;
    for (size_t k = x; plain && k < y; ++k)
        plain = (k - x) % 2 == 0 ? v[k].t.isName() && !v[k].t.text.startsWith(u'@') : v[k].t.isSymbol(".");
    return plain ? v[y - 1].t.text : QString();
}


bool rewriteApply(TranslationContext& ctx, Vec& v)
{
    bool any = false;
    ApplyRewriter r(ctx, v);
    for (int guard = 0; guard < 256 && !ctx.failed() && r.rewriteLast(); ++guard) any = true;
    return any;
}

}   // namespace orra::embedded::translator
