// Select forms SQLite writes differently: "alias = expression" in a select list, OFFSET …
// FETCH paging and VALUES rows with column names as a table source.
#include "platform/db/embedded/translator/Rewriters.h"

namespace orra::embedded::translator {

namespace {

bool endsSelectList(const Token& t)
{
    return isOneOf(t, {"from", "into", "where", "group", "having", "order", "union", "except", "intersect", "option",
                          "for", "window"});
}

// select Total = a + b, … becomes select a + b as Total, …
void aliasAssignments(Vec& v)
{
    for (size_t i = v.size(); i-- > 0;) {
        if (!v[i].t.is("select")) continue;
        std::vector<std::pair<size_t, size_t>> items;
        size_t start = i + 1;
        // past distinct and top n [percent] [with ties]: the first item follows them
        if (start < v.size() && (v[start].t.is("distinct") || v[start].t.is("all"))) ++start;
        if (start + 1 < v.size() && v[start].t.is("top")) {
            start = v[start + 1].t.isSymbol("(") ? closeOf(v, start + 1, v.size()) + 1 : start + 2;
            if (start < v.size() && v[start].t.is("percent")) ++start;
            if (start + 1 < v.size() && v[start].t.is("with") && v[start + 1].t.is("ties")) start += 2;
        }
        size_t k = start;
        for (; k < v.size(); ++k) {
            const Token& t = v[k].t;
            if (t.isSymbol("(")) {
                k = closeOf(v, k, v.size());
                continue;
            }
            if (t.is("case")) {
                k = caseEnd(v, k, v.size());
                continue;
            }
            if (t.isSymbol(")") || endsSelectList(t)) break;
            if (t.isSymbol(",")) {
                items.push_back({start, k});
                start = k + 1;
            }
        }
        items.push_back({start, k});
        for (auto it = items.rbegin(); it != items.rend(); ++it) {
            const auto [b, e] = *it;
            if (e - b < 3 || !v[b].t.isName() || !v[b + 1].t.isSymbol("=") || v[b].t.text.startsWith(u'@')
                || isExpressionBoundary(v[b].t))
                continue;
            NT alias = v[b];
            if (alias.t.kind == TokenKind::QuotedName || alias.out == alias.t.text) alias.out = quoteName(alias.t.text);
            Vec item(v.begin() + long(b) + 2, v.begin() + long(e));
            item.push_back(word("as"));
            item.push_back(alias);
            v.erase(v.begin() + long(b), v.begin() + long(e));
            v.insert(v.begin() + long(b), item.begin(), item.end());
        }
    }
}

// order by … offset N row[s] [fetch first|next M row[s] only] becomes limit M offset N
// (limit -1 when no fetch follows).
void offsetFetch(Vec& v)
{
    for (size_t i = 0; i < v.size(); ++i) {
        if (!v[i].t.is("offset")) continue;
        size_t rows = i + 1;
        while (rows < v.size() && !v[rows].t.is("rows") && !v[rows].t.is("row")) {
            if (v[rows].t.isSymbol("(")) rows = closeOf(v, rows, v.size());
            ++rows;
        }
        if (rows >= v.size()) continue;
        Vec skip(v.begin() + long(i) + 1, v.begin() + long(rows));
        size_t end = rows + 1;
        Vec take{number(QStringLiteral("-1"))};
        if (end + 1 < v.size() && v[end].t.is("fetch") && (v[end + 1].t.is("next") || v[end + 1].t.is("first"))) {
            size_t r = end + 2;
            while (r < v.size() && !v[r].t.is("rows") && !v[r].t.is("row")) {
                if (v[r].t.isSymbol("(")) r = closeOf(v, r, v.size());
                ++r;
            }
            if (r + 1 >= v.size() || !v[r + 1].t.is("only")) continue;
            take.assign(v.begin() + long(end) + 2, v.begin() + long(r));
            end = r + 2;
        }
        Vec out{word("limit")};
        out.insert(out.end(), take.begin(), take.end());
        out.push_back(raw(QStringLiteral("offset")));
        out.insert(out.end(), skip.begin(), skip.end());
        v.erase(v.begin() + long(i), v.begin() + long(end));
        v.insert(v.begin() + long(i), out.begin(), out.end());
        i += out.size() - 1;
    }
}

// Applied rows, which may read the row they are applied to: (values (x.a, 'a'), (x.b, 'b')) t (n, s)
// becomes (select x.a as n, 'a' as s union all select x.b, 'b') as t, since SQLite's VALUES
// cannot read an outer row.
void appliedValues(Vec& v, size_t open, size_t close, size_t aliasAt, size_t namesClose)
{
    std::vector<NT> names;
    for (size_t n = aliasAt + 2; n < namesClose; ++n)
        if (!v[n].t.isSymbol(",")) names.push_back(v[n]);
    Vec out{symbol("(")};
    bool first = true;
    for (size_t k = open + 2; k < close; ++k) {
        if (!v[k].t.isSymbol("(")) continue;
        const size_t rowClose = closeOf(v, k, close);
        if (!first) {
            out.push_back(word("union"));
            out.push_back(word("all"));
        }
        out.push_back(word("select"));
        size_t column = 0, start = k + 1;
        for (size_t x = k + 1; x <= rowClose; ++x) {
            if (x < rowClose && v[x].t.isSymbol("(")) {
                x = closeOf(v, x, rowClose);
                continue;
            }
            if (x < rowClose && v[x].t.is("case")) {
                x = caseEnd(v, x, rowClose);
                continue;
            }
            if (x < rowClose && !v[x].t.isSymbol(",")) continue;
            if (column > 0) out.push_back(symbol(","));
            out.insert(out.end(), v.begin() + long(start), v.begin() + long(x));
            if (first && column < names.size()) {
                out.push_back(word("as"));
                out.push_back(names[column]);
            }
            ++column;
            start = x + 1;
        }
        first = false;
        k = rowClose;
    }
    out.push_back(symbol(")"));
    out.push_back(word("as"));
    out.push_back(v[aliasAt]);
    v.erase(v.begin() + long(open), v.begin() + long(namesClose) + 1);
    v.insert(v.begin() + long(open), out.begin(), out.end());
}

// (values (1, 'a'), (2, 'b')) [as] t (n, s) becomes
// (select column1 as n, column2 as s from (values …)) as t
void valuesTables(Vec& v)
{
    for (size_t i = 0; i + 1 < v.size(); ++i) {
        if (!v[i].t.isSymbol("(") || !v[i + 1].t.is("values")) continue;
        const size_t close = closeOf(v, i, v.size());
        size_t k = close + 1;
        if (k < v.size() && v[k].t.is("as")) ++k;
        if (k + 1 >= v.size() || !v[k].t.isName() || !v[k + 1].t.isSymbol("(")) continue;
        const size_t aliasAt = k;
        const size_t namesClose = closeOf(v, k + 1, v.size());
        if (namesClose >= v.size()) continue;
        if (i > 0 && v[i - 1].t.is("apply")) {
            appliedValues(v, i, close, aliasAt, namesClose);
            continue;
        }
        Vec out{symbol("("), word("select")};
        int column = 0;
        for (size_t n = k + 2; n < namesClose; ++n) {
            if (v[n].t.isSymbol(",")) continue;
            if (column > 0) out.push_back(symbol(","));
            out.push_back(raw(QStringLiteral("column%1").arg(++column)));
            out.push_back(word("as"));
            out.push_back(v[n]);
        }
        out.push_back(word("from"));
        out.insert(out.end(), v.begin() + long(i), v.begin() + long(close) + 1);
        out.push_back(symbol(")"));
        out.push_back(word("as"));
        out.push_back(v[aliasAt]);
        v.erase(v.begin() + long(i), v.begin() + long(namesClose) + 1);
        v.insert(v.begin() + long(i), out.begin(), out.end());
        i += out.size() - 1;
    }
}

// (select …) [as] t (a, b) becomes (select null as a, null as b where 0 union all select * from
// (select …)) as t: the first select of a compound names its columns.
void derivedColumnLists(Vec& v)
{
    for (size_t i = 0; i + 1 < v.size(); ++i) {
        if (!v[i].t.isSymbol("(") || !v[i + 1].t.is("select")) continue;
        if (i > 0 && v[i - 1].t.is("apply")) continue;   // the apply names its columns itself
        const size_t close = closeOf(v, i, v.size());
        size_t k = close + 1;
        if (k < v.size() && v[k].t.is("as")) ++k;
        if (k + 1 >= v.size() || !v[k].t.isName() || isExpressionBoundary(v[k].t) || !v[k + 1].t.isSymbol("("))
            continue;
        const size_t namesClose = closeOf(v, k + 1, v.size());
        if (namesClose >= v.size()) continue;
        Vec out{symbol("("), word("select")};
        bool first = true;
        for (size_t n = k + 2; n < namesClose; ++n) {
            if (v[n].t.isSymbol(",")) continue;
            if (!first) out.push_back(symbol(","));
            first = false;
            out.push_back(word("null"));
            out.push_back(word("as"));
            out.push_back(v[n]);
        }
        // as tokens, so that the rewriters after this one (apply, pivot) read the names
        for (const char* w : {"where", "0", "union", "all", "select", "*", "from"})
            out.push_back(w[0] == '0' ? number(QStringLiteral("0")) : w[0] == '*' ? symbol("*") : word(w));
        out.insert(out.end(), v.begin() + long(i), v.begin() + long(close) + 1);
        out.push_back(symbol(")"));
        out.push_back(word("as"));
        out.push_back(v[k]);
        v.erase(v.begin() + long(i), v.begin() + long(namesClose) + 1);
        v.insert(v.begin() + long(i), out.begin(), out.end());
    }
}

}   // namespace

void rewriteSelectForms(Vec& v)
{
    bool values = false, offset = false, assign = false;
    for (size_t i = 0; i + 1 < v.size(); ++i) {
        if (v[i].t.isSymbol("(") && v[i + 1].t.is("values")) values = true;
        if (v[i].t.is("offset")) offset = true;
        if (v[i + 1].t.isSymbol("=") && v[i].t.isName()) assign = true;
    }
    if (values) valuesTables(v);
    derivedColumnLists(v);
    if (assign) aliasAssignments(v);
    if (offset) offsetFetch(v);
}

}   // namespace orra::embedded::translator
