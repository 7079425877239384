// UNION, EXCEPT and INTERSECT as the server binds them. SQLite reads a compound select from the
// left, every operator alike, and takes neither a parenthesized operand nor a LIMIT inside one
// member; the server binds INTERSECT before UNION and EXCEPT, takes ( query ) as an operand and
// gives TOP to the one select that carries it. Each operand SQLite cannot read in its place
// becomes a subquery of its own: select * from ( … ).
#include "platform/db/embedded/translator/ExpressionRewrites.h"

namespace orra::embedded::translator {

namespace {

bool isSetOperator(const Token& t) { return isOneOf(t, {"union", "except", "intersect"}); }

// Where the last operand of a compound ends: the compound's own ORDER BY, OPTION or FOR.
bool endsCompound(const Token& t) { return isOneOf(t, {"order", "option", "for"}) || t.isSymbol(";"); }

// The next index in [k, e) at this level: past a parenthesized group or a case … end.
size_t skipGroup(const Vec& v, size_t k, size_t e)
{
    if (v[k].t.isSymbol("(")) return closeOf(v, k, e);
    if (v[k].t.is("case")) return caseEnd(v, k, e);
    return k;
}

Vec grouped(const Vec& v, size_t b, size_t e);

// [b, e) with the contents of every parenthesized group at this level grouped in turn.
void appendNested(Vec& out, const Vec& v, size_t b, size_t e)
{
    for (size_t k = b; k < e; ++k) {
        if (v[k].t.isSymbol("(")) {
            const size_t close = closeOf(v, k, e);
            out.push_back(v[k]);
            const Vec inner = grouped(v, k + 1, close);
            out.insert(out.end(), inner.begin(), inner.end());
            if (close < e) out.push_back(v[close]);
            k = close;
        } else {
            out.push_back(v[k]);
        }
    }
}

struct Operand {
    size_t b, e;          // the select, or the parentheses around a query expression
    bool parenthesized;
};

bool hasTop(const Vec& v, const Operand& o)
{
    size_t k = o.b + 1;
    if (k < o.e && (v[k].t.is("distinct") || v[k].t.is("all"))) ++k;
    return k < o.e && v[k].t.is("top");
}

void appendSubquery(Vec& out, const Vec& inner)
{
    out.insert(out.end(), {word("select"), symbol("*"), word("from"), symbol("(")});
    out.insert(out.end(), inner.begin(), inner.end());
    out.push_back(symbol(")"));
}

// One operand where SQLite reads it: a select as it stands, unless its TOP must stay its own.
void appendOperand(Vec& out, const Vec& v, const Operand& o)
{
    Vec inner;
    if (o.parenthesized)
        inner = grouped(v, o.b + 1, o.e - 1);
    else
        appendNested(inner, v, o.b, o.e);
    if (o.parenthesized || hasTop(v, o))
        appendSubquery(out, inner);
    else
        out.insert(out.end(), inner.begin(), inner.end());
}

Vec grouped(const Vec& v, size_t b, size_t e)
{
    Vec out;
    std::vector<size_t> ops;   // the set operators at this level
    for (size_t k = b; k < e; ++k) {
        k = skipGroup(v, k, e);
        if (k < e && isSetOperator(v[k].t)) ops.push_back(k);
    }
    if (ops.empty()) {
        // a statement that is one query in parentheses, ( select … ) [order by …]
        size_t inner = b;
        while (b == 0 && inner < e && v[inner].t.isSymbol("(")) ++inner;
        const size_t close = inner > b && inner < e && v[inner].t.is("select") ? closeOf(v, b, e) : e;
        if (close < e && (close + 1 == e || endsCompound(v[close + 1].t))) {
            appendSubquery(out, grouped(v, b + 1, close));
            appendNested(out, v, close + 1, e);
        } else {
            appendNested(out, v, b, e);
        }
        return out;
    }
    // The first operand: the first select at this level, or the parentheses that end just
    // before the first operator.
    std::vector<Operand> operands;
    size_t first = b;
    while (first < ops[0] && !v[first].t.is("select")) first = skipGroup(v, first, ops[0]) + 1;
    if (first < ops[0]) {
        operands.push_back({first, ops[0], false});
    } else if (ops[0] > b && v[ops[0] - 1].t.isSymbol(")")) {
        size_t open = ops[0] - 1;
        for (int depth = 0;; --open) {
            if (v[open].t.isSymbol(")")) ++depth;
            else if (v[open].t.isSymbol("(") && --depth == 0) break;
            if (open == b) break;
        }
        if (v[open].t.isSymbol("(") && closeOf(v, open, e) == ops[0] - 1) operands.push_back({open, ops[0], true});
    }
    if (operands.empty()) {   // not a form of query this reads: SQLite judges it
        appendNested(out, v, b, e);
        return out;
    }
    size_t end = e;   // where the compound's own clauses begin
    for (size_t n = 0; n < ops.size(); ++n) {
        size_t at = ops[n] + 1;
        if (at < e && v[ops[n]].t.is("union") && v[at].t.is("all")) ++at;
        if (at >= e) {
            appendNested(out, v, b, e);
            return out;
        }
        if (v[at].t.isSymbol("(")) {
            const size_t close = closeOf(v, at, e);
            const size_t next = n + 1 < ops.size() ? ops[n + 1] : e;
            if (close >= e || (close + 1 < next && !endsCompound(v[close + 1].t))) {
                appendNested(out, v, b, e);
                return out;
            }
            operands.push_back({at, close + 1, true});
            if (n + 1 == ops.size()) end = close + 1;
        } else if (n + 1 < ops.size()) {
            operands.push_back({at, ops[n + 1], false});
        } else {
            size_t k = at;
            while (k < e && !endsCompound(v[k].t)) k = skipGroup(v, k, e) + 1;
            end = std::min(k, e);
            operands.push_back({at, end, false});
        }
    }
    appendNested(out, v, b, operands[0].b);
    // Runs of INTERSECT bind first; every run after the first, and every operand SQLite cannot
    // read in place, is a subquery.
    size_t n = 0;
    while (n < operands.size()) {
        size_t last = n;
        while (last < ops.size() && v[ops[last]].t.is("intersect")) ++last;
        if (n > 0) {   // the union or except before this run
            const size_t op = ops[n - 1];
            out.push_back(v[op]);
            if (v[op].t.is("union") && v[op + 1].t.is("all")) out.push_back(v[op + 1]);
        }
        Vec run;
        for (size_t k = n; k <= last; ++k) {
            if (k > n) run.push_back(v[ops[k - 1]]);
            appendOperand(run, v, operands[k]);
        }
        if (n > 0 && last > n)
            appendSubquery(out, run);
        else
            out.insert(out.end(), run.begin(), run.end());
        n = last + 1;
    }
    appendNested(out, v, end, e);
    return out;
}

}   // namespace

Vec groupSetOperations(const Vec& v)
{
    bool sets = !v.empty() && v[0].t.isSymbol("(");
    for (const NT& n : v)
        if (isSetOperator(n.t)) {
            sets = true;
            break;
        }
    return sets ? grouped(v, 0, v.size()) : v;
}

}   // namespace orra::embedded::translator
